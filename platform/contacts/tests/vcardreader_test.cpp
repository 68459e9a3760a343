#include "testdata/vcardwriter.h"

#include "platform/contacts/vcardreader.h"
#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

namespace {

using platform::ContactFields;
using platform::ReadVCardContacts;
using testdata::VCardContact;
using testdata::VCardStyle;
using testdata::VCardVersion;

std::u16string Wide(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// The fields the reader must give for a written contact with at most one address of each kind:
// work, home and other ones in their slots.
ContactFields ExpectedFields(const VCardContact& contact) {
    ContactFields fields;
    fields.familyName = Wide(contact.familyName);
    fields.givenName = Wide(contact.givenName);
    fields.organisation = Wide(contact.organisation);
    for (const testdata::VCardAddress& address : contact.addresses) {
        std::size_t slot = 2;
        for (const std::string& type : address.types) {
            if (type == "work") {
                slot = 0;
            } else if (type == "home" && slot == 2) {
                slot = 1;
            }
        }
        fields.addresses[slot] = {Wide(address.street), Wide(address.postalCode),
                                  Wide(address.locality)};
    }
    return fields;
}

void ExpectSameFields(const ContactFields& actual, const ContactFields& expected) {
    EXPECT_EQ(actual.familyName, expected.familyName);
    EXPECT_EQ(actual.givenName, expected.givenName);
    EXPECT_EQ(actual.organisation, expected.organisation);
    for (std::size_t slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(actual.addresses[slot].street, expected.addresses[slot].street);
        EXPECT_EQ(actual.addresses[slot].postalCode, expected.addresses[slot].postalCode);
        EXPECT_EQ(actual.addresses[slot].locality, expected.addresses[slot].locality);
    }
}

template <class List>
void ExpectContacts(const List& read, const std::vector<VCardContact>& written) {
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSameFields(read[i], ExpectedFields(written[i]));
    }
}

// Contacts as exports hold them: 8-bit letters in names and streets, a long street whose
// quoted-printable line wraps between plain letters, escapes of every kind and a line break, a
// photo.
std::vector<VCardContact> ExportContacts() {
    std::vector<VCardContact> contacts = testdata::DemoContacts();
    contacts[0].photoBytes = 3000;
    contacts.push_back({"Sch\xC3\xA4"
                        "dler",
                        "J\xC3\xBCrg",
                        "",
                        {{{"home"},
                          "Obere Landstrasse bei der alten M\xC3\xBChle und dem Gasthaus Sonne 31",
                          "9496",
                          "Balzers",
                          "Liechtenstein"}}});
    contacts.push_back({"Wolf; Sohn",
                        "Ida\\Maria",
                        "A, B",
                        {{{"postal"}, "Zollstrasse 2\nHinterhaus", "9490", "Vaduz", ""}}});
    return contacts;
}

TEST(VCardReading, ReadsTheShapesPhonesAndAddressBooksExport) {
    const auto style = [](VCardVersion version, auto&& change) {
        VCardStyle s;
        s.version = version;
        change(s);
        return s;
    };
    const struct {
        const char* name;
        VCardStyle style;
    } cases[] = {
        {"3.0 folded", style(VCardVersion::V30, [](VCardStyle&) {})},
        {"4.0 unfolded", style(VCardVersion::V40, [](VCardStyle& s) { s.foldAt = 0; })},
        {"4.0 folded after 13 octets",
         style(VCardVersion::V40, [](VCardStyle& s) { s.foldAt = 13; })},
        {"2.1 quoted-printable with soft breaks",
         style(VCardVersion::V21,
               [](VCardStyle& s) {
                   s.foldAt = 0;
                   s.text = testdata::VCardText::QuotedPrintable;
               })},
        {"2.1 Windows-1252 named",
         style(VCardVersion::V21,
               [](VCardStyle& s) { s.text = testdata::VCardText::Windows1252; })},
        {"3.0 ISO-8859-1",
         style(VCardVersion::V30, [](VCardStyle& s) { s.text = testdata::VCardText::Latin1; })},
        {"3.0 8-bit without charset",
         style(VCardVersion::V30,
               [](VCardStyle& s) { s.text = testdata::VCardText::Windows1252Unnamed; })},
        {"folds inside UTF-8 sequences", style(VCardVersion::V30,
                                               [](VCardStyle& s) {
                                                   s.foldAt = 3;
                                                   s.foldInsideCharacters = true;
                                               })},
        {"CR-only line ends",
         style(VCardVersion::V30, [](VCardStyle& s) { s.lineEnd = testdata::VCardLineEnd::Cr; })},
        {"LF line ends",
         style(VCardVersion::V40, [](VCardStyle& s) { s.lineEnd = testdata::VCardLineEnd::Lf; })},
        {"byte-order mark",
         style(VCardVersion::V30, [](VCardStyle& s) { s.byteOrderMark = true; })},
        {"groups and repeated type parameters", style(VCardVersion::V30,
                                                      [](VCardStyle& s) {
                                                          s.groups = true;
                                                          s.types = testdata::VCardTypes::Repeated;
                                                      })},
        {"4.0 quoted type lists",
         style(VCardVersion::V40,
               [](VCardStyle& s) { s.types = testdata::VCardTypes::QuotedList; })},
    };
    const std::vector<VCardContact> contacts = ExportContacts();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectContacts(ReadVCardContacts(testdata::WriteVCards(contacts, c.style)), contacts);
    }
}

// The file in pieces of any size reads as the whole: lines, folds, soft breaks, CR LF pairs and
// the byte-order mark cut anywhere.
TEST(VCardReading, ReadsAFileInPiecesAsAWhole) {
    const std::vector<VCardContact> contacts = ExportContacts();
    VCardStyle qp;
    qp.version = VCardVersion::V21;
    qp.text = testdata::VCardText::QuotedPrintable;
    qp.byteOrderMark = true;
    VCardStyle folded;
    folded.foldAt = 5;
    folded.foldInsideCharacters = true;
    folded.byteOrderMark = true;
    VCardStyle cr;
    cr.lineEnd = testdata::VCardLineEnd::Cr;
    for (const VCardStyle& style : {qp, folded, cr}) {
        const std::string text = testdata::WriteVCards(contacts, style);
        for (const std::size_t piece : {1u, 2u, 3u, 7u, 64u}) {
            SCOPED_TRACE(piece);
            platform::VCardReader reader;
            for (std::size_t at = 0; at < text.size(); at += piece) {
                reader.Read(std::string_view(text).substr(at, piece));
            }
            reader.Finish();
            ExpectContacts(reader.Contacts(), contacts);
            const platform::ContactList taken = reader.TakeContacts();
            ExpectContacts(taken, contacts);
            EXPECT_TRUE(reader.Contacts().empty());
            EXPECT_EQ(reader.KeptBytes(), 0u);
        }
    }
}

TEST(VCardReading, TakesTheNameFromFormattedNameElseOrganisation) {
    const struct {
        const char* name;
        testdata::VCardNameLine nameLine;
        std::string formattedName;
        std::string organisation;
        std::u16string family;
        std::u16string given;
    } cases[] = {
        {"N", testdata::VCardNameLine::Full, "Dr. Anna Beck", "Amt", u"Beck", u"Anna"},
        {"N empty, FN", testdata::VCardNameLine::Empty, "Dr. Anna Beck", "Amt", u"Dr. Anna Beck",
         u""},
        {"no N, FN", testdata::VCardNameLine::None, "Anna Beck", "", u"Anna Beck", u""},
        {"N empty, no FN, ORG", testdata::VCardNameLine::Empty, "", "Hilti AG", u"Hilti AG", u""},
        {"no N, FN, ORG", testdata::VCardNameLine::None, "Beck", "Amt", u"Beck", u""},
        {"nothing", testdata::VCardNameLine::None, "", "", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VCardContact contact{"Beck", "Anna", c.organisation, {}};
        contact.nameLine = c.nameLine;
        contact.formattedName = c.formattedName;
        if (c.nameLine != testdata::VCardNameLine::Full && c.formattedName.empty()) {
            contact.familyName.clear(); // no FN made of the names either
            contact.givenName.clear();
        }
        for (const VCardVersion version : {VCardVersion::V30, VCardVersion::V40}) {
            const std::vector<ContactFields> read =
                ReadVCardContacts(testdata::WriteVCards({contact}, version));
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(read[0].familyName, c.family);
            EXPECT_EQ(read[0].givenName, c.given);
        }
    }
}

TEST(VCardReading, PutsFurtherAddressesOfATypeIntoFreeSlots) {
    const struct {
        const char* name;
        std::vector<std::vector<std::string>> types; // of streets "A", "B", ...
        std::array<std::u16string, 3> streets;       // work, home, other
    } cases[] = {
        {"two home", {{"home"}, {"home"}}, {u"", u"A", u"B"}},
        {"three work", {{"work"}, {"work"}, {"work"}}, {u"A", u"C", u"B"}},
        {"a later type keeps its slot",
         {{"home"}, {"home"}, {"home"}, {"work"}},
         {u"D", u"A", u"B"}},
        {"two other", {{"postal"}, {"dom"}}, {u"B", u"", u"A"}},
        {"four kinds", {{"work"}, {"home"}, {}, {"work"}}, {u"A", u"B", u"C"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VCardContact contact{"Beck", "Anna", "", {}};
        for (std::size_t i = 0; i < c.types.size(); ++i) {
            contact.addresses.push_back(
                {c.types[i], std::string(1, static_cast<char>('A' + i)), "9490", "Vaduz", ""});
        }
        const std::vector<ContactFields> read =
            ReadVCardContacts(testdata::WriteVCards({contact}, VCardVersion::V30));
        ASSERT_EQ(read.size(), 1u);
        for (std::size_t slot = 0; slot < 3; ++slot) {
            SCOPED_TRACE(slot);
            EXPECT_EQ(read[0].addresses[slot].street, c.streets[slot]);
            EXPECT_EQ(read[0].addresses[slot].locality, c.streets[slot].empty() ? u"" : u"Vaduz");
        }
    }
}

TEST(VCardReading, KeepsTheWholeCardsBeforeACutAndSkipsTextOutsideCards) {
    const std::vector<VCardContact> contacts = testdata::DemoContacts();
    const std::string text = testdata::WriteVCards(contacts, VCardVersion::V30);
    const std::size_t secondEnd = text.find("END:VCARD", text.find("END:VCARD") + 1);
    const std::string half = text.substr(0, text.size() / 2);
    std::size_t endsInHalf = 0;
    for (std::size_t at = half.find("END:VCARD\r\n"); at != std::string::npos;
         at = half.find("END:VCARD\r\n", at + 1)) {
        ++endsInHalf;
    }
    const struct {
        std::string text;
        std::size_t cards;
    } cases[] = {
        {half, endsInHalf},
        {text.substr(0, secondEnd + 4), 1},
        {text.substr(0, 11), 0},
        {"", 0},
        {"\xEF\xBB", 0},
        {"not a contacts file\r\n", 0},
        {"garbage\r\n" + text + "END:VCARD\r\nBEGIN:VCARD\r\nN:Cut", contacts.size()},
        {std::string("BEGIN:VCARD\r\nN:A\0B;C\r\nEND:VCARD\r\n", 33), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(ReadVCardContacts(c.text).size(), c.cards);
    }
}

// Zero bytes, a folded value ending in a lone backslash right before them (which once made the
// reader run past the card) and a value ending in one: bytes like any other, and nothing read
// past the text.
TEST(VCardReading, ReadsZeroBytesAndLoneBackslashesAsText) {
    VCardContact contact{std::string("Be\0ck", 5), "Anna\\", "", {}};
    contact.otherLines = {"NOTE:" + std::string(80, 'x') + "\\" + std::string("\0\0end", 5),
                          "ORG:Amt\\"};
    contact.addresses.push_back({{"home"}, "Landstrasse 5", "9494", "Schaan", ""});
    const std::string text = testdata::WriteVCards({contact}, VCardVersion::V30, 40);
    for (std::size_t cut = text.size() - 12; cut <= text.size(); cut += 12) {
        SCOPED_TRACE(cut);
        // A copy of exactly the bytes read, so that a read past them is found.
        const std::vector<char> exact(text.begin(), text.begin() + static_cast<long>(cut));
        const std::vector<ContactFields> read =
            ReadVCardContacts(std::string_view(exact.data(), exact.size()));
        ASSERT_EQ(read.size(), cut == text.size() ? 1u : 0u);
        if (!read.empty()) {
            EXPECT_EQ(read[0].familyName, std::u16string(u"Be\0ck", 5));
            EXPECT_EQ(read[0].givenName, u"Anna\\");
            EXPECT_EQ(read[0].organisation, u"Amt\\");
            EXPECT_EQ(read[0].addresses[1].street, u"Landstrasse 5");
        }
    }
}

// A line with far more components than its property has is cut after them, in time linear in
// its length; the lines are counted once each.
TEST(VCardReading, CutsLinesWithMoreComponentsThanTheirProperty) {
    const struct {
        const char* name;
        std::string line;
        std::size_t cut;
        std::u16string street;
    } cases[] = {
        {"seven", "ADR;TYPE=WORK:;;Street 1;Vaduz;;9490;LI", 0, u"Street 1"},
        {"eight", "ADR;TYPE=WORK:;;Street 1;Vaduz;;9490;LI;", 1, u"Street 1"},
        {"100,000 separators", "ADR;TYPE=WORK:;;Street 1;Vaduz;;9490;LI" + std::string(100000, ';'),
         1, u"Street 1"},
        {"N with six", "N:a;b;c;d;e;f", 1, u""},
        {"ORG with many", "ORG:a" + std::string(1000, ';'), 0, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VCardContact contact{"Beck", "Anna", "", {}};
        contact.nameLine = testdata::VCardNameLine::None;
        contact.otherLines = {c.line};
        platform::VCardReader reader;
        reader.Read(testdata::WriteVCards({contact}, VCardVersion::V30));
        reader.Finish();
        ASSERT_EQ(reader.Contacts().size(), 1u);
        EXPECT_EQ(reader.CutLines(), c.cut);
        EXPECT_EQ(reader.Contacts()[0].addresses[0].street, c.street);
    }
}

// Below what the contacts need (their records alone, nothing) the reader keeps nothing; at
// what an unbounded reader keeps of them it keeps them all; at any bound it keeps all or
// nothing, and never more than the bound.
TEST(VCardReading, StopsAndKeepsNothingPastTheBoundOnWhatItKeeps) {
    const std::vector<VCardContact> contacts = testdata::DemoContacts();
    const std::string text = testdata::WriteVCards(contacts, VCardVersion::V30);
    platform::VCardReader unbounded(static_cast<std::size_t>(-1));
    unbounded.Read(text);
    unbounded.Finish();
    const std::size_t records = contacts.size() * sizeof(ContactFields);
    const struct {
        std::size_t bound;
        bool passed;
    } cases[] = {{unbounded.KeptBytes(), false}, {records, true}, {0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bound);
        platform::VCardReader reader(c.bound);
        reader.Read(text);
        reader.Finish();
        EXPECT_EQ(reader.PassedBound(), c.passed);
        EXPECT_EQ(reader.Contacts().size(), c.passed ? 0u : contacts.size());
    }
    for (std::size_t bound = 0; bound < 2 * unbounded.KeptBytes(); bound += 61) {
        SCOPED_TRACE(bound);
        platform::VCardReader reader(bound);
        reader.Read(text);
        reader.Finish();
        EXPECT_EQ(reader.Contacts().size(), reader.PassedBound() ? 0u : contacts.size());
        EXPECT_LE(reader.KeptBytes(), bound);
    }
}

TEST(VCardReading, CutsLongPropertiesAt1023Characters) {
    const struct {
        std::size_t length;
        std::size_t kept;
    } cases[] = {{1022, 1022}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        VCardContact contact{std::string(c.length, 'x'), "Given", "", {}};
        contact.addresses.push_back({{"work"}, std::string(c.length, 's'), "1", "City", ""});
        const std::vector<ContactFields> read =
            ReadVCardContacts(testdata::WriteVCards({contact}, VCardVersion::V40));
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].familyName, std::u16string(c.kept, u'x'));
        EXPECT_EQ(read[0].addresses[0].street, std::u16string(c.kept, u's'));
    }
}

} // namespace
