#include "basiccomp/retrievalengine/code/signinfo.h"
#include "basiccomp/retrievalengine/code/signtables.h"
#include "testdata/addressindexwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testdata::SignTableText;

TEST(SignTables, ReadsTabSeparatedLinesWhole) {
    SignTables tables;
    // Cookie 12 -> sign 7 -> kind 3 -> text; a cookie above 65535 keeps its value, a sign number
    // above 65535 is cut; a line without TAB is skipped; the first line of a key wins.
    tables.ReadCookie2Sign(SignTableText({{"12", "7"}, {"70000", "65543"}, {"13", "9"}}, true) +
                           "no tab here\n12\t9\n");
    tables.ReadSign2Enum(SignTableText({{"7", "3"}, {"9", "4"}, {"0", "5"}}));
    tables.ReadEnum2Info(
        SignTableText({{"3", " Stop  "}, {"4", "Vorfahrt \xE4"}, {"5", "none"}}, true, false));
    const struct {
        std::uint32_t cookie;
        const char16_t* text;
    } cases[] = {
        {12, u" Stop  "},         // blanks kept, no line break
        {70000, u" Stop  "},      // sign 65543 cut to 7
        {13, u"Vorfahrt \u00E4"}, // last line without its break, code page 1252
        {99, u"none"},            // no sign: sign 0
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        EXPECT_EQ(tables.GetSignText(c.cookie), c.text);
    }
    tables.ReadSign2Enum("");
    EXPECT_EQ(tables.GetSignText(12), u"");
}

TEST(SignTables, LoadNeedsTheCookieAndTextFiles) {
    const struct {
        bool hasCookie2Sign, hasSign2Enum, hasEnum2Info;
        const char16_t* folder;
        bool loads;
        const char16_t* text;
    } cases[] = {
        {true, true, true, u"\\adas", true, u"Stop"}, {true, false, true, u"\\adas", true, u""},
        {false, true, true, u"\\adas", false, u""},   {true, true, false, u"\\adas", false, u""},
        {true, true, true, u"", false, u""},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.MakeFolder(u"\\adas"));
        if (c.hasCookie2Sign) {
            ASSERT_TRUE(root.WriteFile(u"\\adas\\Cookie2Sign.txt", SignTableText({{"12", "7"}})));
        }
        if (c.hasSign2Enum) {
            ASSERT_TRUE(root.WriteFile(u"\\adas\\Sign2Enum.txt", SignTableText({{"7", "3"}})));
        }
        if (c.hasEnum2Info) {
            ASSERT_TRUE(root.WriteFile(u"\\adas\\Enum2Info.txt", SignTableText({{"3", "Stop"}})));
        }
        SignTables tables;
        EXPECT_EQ(tables.Load(c.folder), c.loads);
        EXPECT_EQ(tables.GetSignText(12), c.text);
    }
}

SignInfo Info(const testdata::AdasRecord& record) {
    return SignInfo(testdata::EncodeAdasRecord(5, record), u"Stop");
}

TEST(SignInfo, ReadsTheValueWordFields) {
    const struct {
        std::uint32_t presence;
        std::uint32_t value;
        std::vector<std::uint32_t> fields; // values 1-4
        bool hasSigned;
        std::int32_t signedValue;
        std::size_t notes;
        const char16_t* noteText;
    } cases[] = {
        {0, 0xFFFFFFFF, {0, 0, 0, 0}, false, 0, 0, u""}, // no value word
        {1, 0x3FF | (0xF << 10) | (3 << 14) | (7 << 16), {1023, 15, 3, 7}, false, 0, 0, u""},
        {1, 1u << 19, {0, 0, 0, 0}, true, -100, 0, u""},
        {1, (1u << 19) | (100u << 20), {0, 0, 0, 0}, true, 0, 0, u""},
        {1, (255u << 20), {0, 0, 0, 0}, false, 0, 0, u""},
        {1, (3u << 30), {0, 0, 0, 0}, false, 0, 0, u""}, // note kind 0: no note
        {1, (2u << 28) | (1u << 31), {0, 0, 0, 0}, false, 0, 1, u"Stop"},
        {1, (1u << 28) | (1u << 30), {0, 0, 0, 0}, false, 0, 1, u""},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        SignInfo info = Info({c.presence, c.value, {}, {}});
        EXPECT_EQ((std::vector<std::uint32_t>{info.GetValue1(), info.GetValue2(), info.GetValue3(),
                                              info.GetValue4()}),
                  c.fields);
        EXPECT_EQ(info.HasSignedValue(), c.hasSigned);
        EXPECT_EQ(info.GetSignedValue(), c.signedValue);
        std::vector<SignNote> notes;
        EXPECT_EQ(info.GetNotes(notes).size(), c.notes);
        if (!notes.empty()) {
            EXPECT_EQ(notes[0].text, c.noteText);
        }
    }
    // Fields beyond a short record read as absent.
    EXPECT_EQ(Info({1, 0x3FF, {}, 10}).GetValue1(), 0u);
}

TEST(SignInfo, WalksTextEntriesAndEndsAtBrokenOnes) {
    using testdata::AdasTextEntry;
    const std::uint32_t head = 2 | (513u << 2) | (5u << 12);
    const struct {
        std::vector<AdasTextEntry> entries;
        std::uint32_t presence;
        std::optional<std::size_t> cutTo;
        std::vector<std::u16string> texts;
    } cases[] = {
        {{{head, "A1", true, {}},
          {head, "", true, {}},
          {head, "", false, {}},
          {head, "x", true, {}}},
         3,
         {},
         {u"A1", u"", u"", u"x"}}, // lengths 3, 1 (empty text), 0 (no text, 8 bytes on), 2
        {{{head, "A1", true, {}}}, 1, {}, {}},                             // no entry area
        {{{head, "A1", true, std::int16_t{-3}}}, 3, {}, {}},               // negative length
        {{{head, "A1", true, {}}, {head, "B", true, 40}}, 3, {}, {u"A1"}}, // past the area
        {{{head, "A1", true, {}}}, 3, 20, {}}, // record cut inside the entry
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        SignInfo info = Info({c.presence, 0, c.entries, c.cutTo});
        SignTextIteratorPtr entries;
        info.GetTextEntries(entries);
        ASSERT_TRUE(entries);
        std::vector<std::u16string> texts;
        for (; entries->IsValid(); entries->Next()) {
            const SignTextEntry entry = entries->GetCurrent();
            EXPECT_EQ(entry.kind, 2u);
            EXPECT_EQ(entry.value, 513u);
            EXPECT_EQ(entry.entryClass, 5u);
            texts.push_back(entry.text);
        }
        EXPECT_EQ(texts, c.texts);
    }
}

} // namespace
