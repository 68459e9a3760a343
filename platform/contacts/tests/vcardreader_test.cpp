#include "testdata/vcardwriter.h"

#include "platform/contacts/vcardreader.h"
#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

namespace {

using platform::ContactFields;
using platform::ReadVCardContacts;

std::u16string Wide(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// The fields the reader must give for a written contact: work, home and the first other address.
ContactFields ExpectedFields(const testdata::VCardContact& contact) {
    ContactFields fields;
    fields.familyName = Wide(contact.familyName);
    fields.givenName = Wide(contact.givenName);
    fields.organisation = Wide(contact.organisation);
    std::array<bool, 3> taken = {};
    for (const testdata::VCardAddress& address : contact.addresses) {
        std::size_t slot = 2;
        for (const std::string& type : address.types) {
            if (type == "work") {
                slot = 0;
            } else if (type == "home" && slot == 2) {
                slot = 1;
            }
        }
        if (!taken[slot]) {
            taken[slot] = true;
            fields.addresses[slot] = {Wide(address.street), Wide(address.postalCode),
                                      Wide(address.locality)};
        }
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

TEST(VCardReading, GivesTheSameFieldsForVersionThreeAndFourFoldedOrNot) {
    std::vector<testdata::VCardContact> contacts = testdata::DemoContacts();
    // Escapes of every kind, a line break in a street and two other addresses (the first counts).
    contacts.push_back({"Wolf; Sohn",
                        "Ida\\Maria",
                        "A, B",
                        {{{"postal"}, "Zollstrasse 2\nHinterhaus", "9490", "Vaduz", ""},
                         {{"dom"}, "Second 1", "9494", "Schaan", ""},
                         {{"home"}, "Home 3", "", "Triesen", ""},
                         {{"home"}, "Later home 4", "", "Balzers", ""}}});
    const struct {
        testdata::VCardVersion version;
        std::size_t foldAt;
    } cases[] = {{testdata::VCardVersion::V30, 75},
                 {testdata::VCardVersion::V40, 75},
                 {testdata::VCardVersion::V30, 0},
                 {testdata::VCardVersion::V40, 13}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.foldAt);
        const std::vector<ContactFields> read =
            ReadVCardContacts(testdata::WriteVCards(contacts, c.version, c.foldAt));
        ASSERT_EQ(read.size(), contacts.size());
        for (std::size_t i = 0; i < contacts.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectSameFields(read[i], ExpectedFields(contacts[i]));
        }
    }
}

TEST(VCardReading, KeepsTheWholeCardsBeforeACutAndSkipsTextOutsideCards) {
    const std::vector<testdata::VCardContact> contacts = testdata::DemoContacts();
    const std::string text = testdata::WriteVCards(contacts, testdata::VCardVersion::V30);
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
        {"not a contacts file\r\n", 0},
        {"garbage\r\n" + text + "END:VCARD\r\nBEGIN:VCARD\r\nN:Cut", contacts.size()},
        {std::string("BEGIN:VCARD\r\nN:A\0B;C\r\nEND:VCARD\r\n", 33), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        EXPECT_EQ(ReadVCardContacts(c.text).size(), c.cards);
    }
}

TEST(VCardReading, CutsLongPropertiesAt1023Characters) {
    const struct {
        std::size_t length;
        std::size_t kept;
    } cases[] = {{1022, 1022}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        testdata::VCardContact contact{std::string(c.length, 'x'), "Given", "", {}};
        contact.addresses.push_back({{"work"}, std::string(c.length, 's'), "1", "City", ""});
        const std::vector<ContactFields> read =
            ReadVCardContacts(testdata::WriteVCards({contact}, testdata::VCardVersion::V40));
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].familyName, std::u16string(c.kept, u'x'));
        EXPECT_EQ(read[0].addresses[0].street, std::u16string(c.kept, u's'));
    }
}

} // namespace
