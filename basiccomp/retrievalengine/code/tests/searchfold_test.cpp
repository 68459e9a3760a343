#include "basiccomp/retrievalengine/code/searchfold.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kItself = -1;
constexpr int kUpperCase = -2;

TEST(SearchFoldTable, FoldsEveryCodeAsItsRowSays) {
    const struct {
        int first;
        int last;
        int folded;
    } rows[] = {
        {0, 31, kItself},  {32, 47, ' '},   {48, 57, kItself},     {58, 64, ' '},
        {65, 90, kItself}, {91, 96, ' '},   {97, 122, kUpperCase}, {123, 127, ' '},
        {128, 191, ' '},   {192, 198, 'A'}, {224, 230, 'A'},       {199, 199, 'C'},
        {231, 231, 'C'},   {200, 203, 'E'}, {232, 235, 'E'},       {204, 207, 'I'},
        {236, 239, 'I'},   {208, 208, ' '}, {240, 240, ' '},       {209, 209, 'N'},
        {241, 241, 'N'},   {210, 214, 'O'}, {242, 246, 'O'},       {215, 215, ' '},
        {247, 247, ' '},   {216, 216, 'O'}, {248, 248, 'O'},       {217, 220, 'U'},
        {249, 252, 'U'},   {221, 221, 'Y'}, {253, 253, 'Y'},       {222, 222, ' '},
        {254, 254, ' '},   {223, 223, 'S'}, {255, 255, 'Y'},
    };
    SearchFoldTableType built{};
    BuildSearchFoldTable(built);
    int covered = 0;
    for (const auto& row : rows) {
        for (int code = row.first; code <= row.last; ++code) {
            SCOPED_TRACE(code);
            const int expected = row.folded == kItself      ? code
                                 : row.folded == kUpperCase ? code - 32
                                                            : row.folded;
            EXPECT_EQ(SearchFoldTable[code], static_cast<std::uint32_t>(expected));
            EXPECT_EQ(built[code], static_cast<std::uint32_t>(expected));
            EXPECT_EQ(NameFoldBytes[code], expected);
            ++covered;
        }
    }
    EXPECT_EQ(covered, 256);
}

TEST(FoldSearchText, UpperCasesBaseLettersJoinsSeparatorsAndReducesDigraphs) {
    const struct {
        const char* text;
        std::string folded;
    } cases[] = {
        {"", ""},
        {" .-,/ ", ""}, // separators only
        {"-", ""},
        {"  Bad..Homburg -", " BAD HOMBURG "}, // leading and trailing runs give one space
        {"St.-Gallen", "ST GALLEN"},
        {"SSS", "SS"},
        {"Stra\xDF"
         "e",
         "STRASE"},
        {"Strasse", "STRASE"},
        {"s\xDF", "S"},
        {"M\xFCnchen", "MUNCHEN"},
        {"Muenchen", "MUNCHEN"},
        {"Munchen", "MUNCHEN"},
        {"Koeln", "KOLN"},
        {"K\xF6ln", "KOLN"},
        {"Michael", "MICHAL"}, // AE inside a word
        {"UEE", "UE"},
        {"\xC6"
         "e",
         "A"},
        {"\xC9"
         "cole \xD0\xDE",
         "ECOLE "},
        {"a\x01z", "A\x01Z"},
        {"Zell 2", "ZELL 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FoldSearchText(c.text), c.folded);
    }
    EXPECT_EQ(FoldSearchText(nullptr), "");
}

TEST(MatchNamePrefix, ComparesFoldedLettersAndSkipsDigraphTailsOnEitherSide) {
    const struct {
        const char16_t* name;
        const char16_t* pattern;
        bool matches;
    } cases[] = {
        {u"Berlin", u"", true},
        {u"", u"", true},
        {u"", u"A", false},
        {u"berlin", u"BER", true},
        {u"Bern", u"Berlin", false},
        {u"Bad", u"Baden", false},
        {u"M\u00FCnchen", u"Muen", true},
        {u"M\u00FCnchen", u"Muenchen", true},
        {u"Muenchen", u"M\u00FCn", true},
        {u"Stra\u00DFe", u"Strasse", true},
        {u"Strasse", u"Stra\u00DFe", true},
        {u"Koeln", u"Kol", true},
        {u"Kiel", u"Kil", false},
        {u"Aachen", u"\u0141a", true}, // U+0141 folds by its low 8 bits: 'A'
        {u"St. Gallen", u"ST.-G", true},
        {u"St. Gallen", u"ST-G", false}, // separator runs are not joined here
        {u"Hamburg", u"Hb", false},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        EXPECT_EQ(MatchNamePrefix(c.name, c.pattern), c.matches);
    }
    EXPECT_EQ(FoldNameChar(u'\u0141'), 'A');
    EXPECT_EQ(FoldNameChar(u'\u00E9'), 'E');
}

TEST(IsDigraphTail, KnowsAeOeUeAndSs) {
    const struct {
        const char16_t* pair;
        bool isTail;
    } cases[] = {
        {u"AE", true},  {u"oe", true},  {u"Ue", true},  {u"SS", true},      {u"\u00DFs", true},
        {u"IE", false}, {u"ES", false}, {u"EE", false}, {u"S\u00DF", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.pair[0]));
        EXPECT_EQ(IsDigraphTail(c.pair + 1), c.isTail);
    }
}

} // namespace
