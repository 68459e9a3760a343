#include "tablefiles/collation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NamedTable {
    const char* name;
    const CollationTable* weights;
};

const NamedTable kAllTables[] = {
    {"CodeOrder", &CodeOrder},     {"CaseFoldOrder", &CaseFoldOrder},
    {"GermanOrder", &GermanOrder}, {"GermanCaseFoldOrder", &GermanCaseFoldOrder},
    {"LatinOrder", &LatinOrder},   {"LatinCaseFoldOrder", &LatinCaseFoldOrder}};

// Compares two code page 1252 texts character by character by weight, as the text columns do.
int CompareTexts(const CollationTable& weights, const std::string& a, const std::string& b) {
    for (std::size_t i = 0;; ++i) {
        const auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
        const auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
        if (weights[ca] != weights[cb]) {
            return weights[ca] < weights[cb] ? -1 : 1;
        }
        if (ca == 0) {
            return 0;
        }
    }
}

TEST(Collation, CapitalAWeighs2080InEveryTable) {
    for (const NamedTable& table : kAllTables) {
        SCOPED_TRACE(table.name);
        EXPECT_EQ((*table.weights)['A'], 2080u);
        EXPECT_EQ((*table.weights)[0], 0u);
        EXPECT_EQ((*table.weights)['{'], 3936u);
    }
}

TEST(Collation, TellingRowsOfEachTable) {
    const struct {
        const CollationTable* weights;
        unsigned char code;
        std::uint32_t weight;
    } rows[] = {
        {&CodeOrder, 'a', 3104},
        {&CodeOrder, 0xE4, 7296},
        {&CodeOrder, 0xFF, 8160},
        {&CaseFoldOrder, 'a', 2080},
        {&CaseFoldOrder, 0xE4, 6272},
        {&CaseFoldOrder, 0xF7, 7904},
        {&CaseFoldOrder, 0xFD, 8096},
        {&CaseFoldOrder, 0xFF, 8160},
        {&GermanOrder, 0xC4, 2081},
        {&GermanOrder, 'a', 3104},
        {&GermanOrder, 0xE4, 3105},
        {&GermanOrder, 0xD6, 2529},
        {&GermanOrder, 0xFC, 3745},
        {&GermanOrder, 0xDF, 3681},
        {&GermanOrder, 0xC0, 6144},
        {&GermanCaseFoldOrder, 'a', 2080},
        {&GermanCaseFoldOrder, 0xE4, 2081},
        {&GermanCaseFoldOrder, 0xC4, 2081},
        {&GermanCaseFoldOrder, 0xF6, 2529},
        {&GermanCaseFoldOrder, 0xDF, 3681},
        {&GermanCaseFoldOrder, 's', 2656},
        {&LatinOrder, 0xC0, 2081},
        {&LatinOrder, 0xC6, 2087},
        {&LatinOrder, 0xD8, 2534},
        {&LatinOrder, 0xDF, 2657},
        {&LatinOrder, 0xE9, 3234},
        {&LatinOrder, 0xFD, 3873},
        {&LatinOrder, 0xFF, 3874},
        {&LatinOrder, 0xD0, 6656},
        {&LatinOrder, 0xFE, 8128},
        {&LatinCaseFoldOrder, 0xE9, 2210},
        {&LatinCaseFoldOrder, 0xC9, 2210},
        {&LatinCaseFoldOrder, 'e', 2208},
        {&LatinCaseFoldOrder, 0xF8, 2534},
        {&LatinCaseFoldOrder, 0xFF, 2850},
        {&LatinCaseFoldOrder, 0xF0, 7680},
        {&LatinCaseFoldOrder, 0xF7, 7904},
        {&LatinCaseFoldOrder, 0xDE, 7104},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.code));
        EXPECT_EQ((*row.weights)[row.code], row.weight);
    }
}

TEST(Collation, CaseFoldedTablesIgnoreCase) {
    for (const CollationTable* weights :
         {&CaseFoldOrder, &GermanCaseFoldOrder, &LatinCaseFoldOrder}) {
        EXPECT_EQ(CompareTexts(*weights, "hauptstrasse", "HAUPTSTRASSE"), 0);
        EXPECT_EQ(CompareTexts(*weights, "\xe4rger", "\xc4RGER"), 0); // ärger / ÄRGER
    }
    EXPECT_NE(CompareTexts(CodeOrder, "hauptstrasse", "HAUPTSTRASSE"), 0);
    EXPECT_NE(CompareTexts(GermanOrder, "hauptstrasse", "HAUPTSTRASSE"), 0);
}

TEST(Collation, GermanOrderPlacesUmlautsAfterTheirBaseLetter) {
    // Äpfel after Apfel, before Birne; every upper-case word before any lower-case or ä word.
    EXPECT_LT(CompareTexts(GermanOrder, "Apfel", "\xc4pfel"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "\xc4pfel", "Birne"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "Zug", "apfel"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "Zug", "\xe4pfel"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "apfel", "\xe4pfel"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "\xe4pfel", "birne"), 0);
    // In code order Ä (196) sorts after every ASCII letter.
    EXPECT_GT(CompareTexts(CodeOrder, "\xc4pfel", "Birne"), 0);
}

TEST(Collation, SharpSSortsAfterZButBeforeBraceWhenCaseFolded) {
    EXPECT_GT(CompareTexts(GermanCaseFoldOrder, "\xdf", "Z"), 0);
    EXPECT_GT(CompareTexts(GermanCaseFoldOrder, "\xdf", "z"), 0);
    EXPECT_GT(CompareTexts(GermanCaseFoldOrder, "\xdf", "`"), 0);
    EXPECT_LT(CompareTexts(GermanCaseFoldOrder, "\xdf", "{"), 0);
    // Case-sensitive German: ß right after s.
    EXPECT_LT(CompareTexts(GermanOrder, "s", "\xdf"), 0);
    EXPECT_LT(CompareTexts(GermanOrder, "\xdf", "t"), 0);
}

TEST(Collation, LatinOrderPutsYDiaeresisAfterYAcute) {
    EXPECT_LT(CompareTexts(LatinOrder, "y", "\xfd"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "\xfd", "\xff"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "\xff", "z"), 0);
    // Accented letters in code order after their base letter, Ø after Ö.
    EXPECT_LT(CompareTexts(LatinOrder, "E", "\xc8"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "\xcb", "F"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "\xd6", "\xd8"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "\xd8", "P"), 0);
    EXPECT_LT(CompareTexts(LatinOrder, "Z", "a"), 0); // case significant
}

TEST(Collation, WideTextsCompareByLatinCaseFoldedWeights) {
    const struct {
        const char16_t* a;
        const char16_t* b;
        int sign;
    } rows[] = {{u"Marktplatz", u"Marktplatz", 0},
                {u"marktplatz", u"MARKTPLATZ", 0},
                {u"Markt", u"Marktplatz", -1},
                {u"Marktplatz", u"Markt", 1},
                {u"", u"a", -1},
                {u"", u"", 0},
                {u"Ecole", u"\u00e9cole", -1},
                {u"\u00e9cole", u"\u00c9COLE", 0},
                {u"\u00e9cole", u"Fcole", -1},
                {u"y", u"\u00ff", -1},
                {u"\u00ff", u"z", -1},
                {u"\u20ac", u"\u0081", -1},
                {u"z", u"\u0100", -1},
                {u"\u0100", u"\u0101", -1}};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const int result = CompareByCollation(rows[i].a, rows[i].b);
        EXPECT_EQ((result > 0) - (result < 0), rows[i].sign);
    }
    // The result is the weight difference of the first unequal characters.
    EXPECT_EQ(CompareByCollation(u"A", u"\u00c1"), -2); // Á = A + 2
    EXPECT_EQ(CompareByCollation(nullptr, u""), 0);
}

TEST(Collation, VariantsSelectTheirTables) {
    EXPECT_EQ(&CollationTableOf(CollationVariant::CodeOrder), &CodeOrder);
    EXPECT_EQ(&CollationTableOf(CollationVariant::CaseFolded), &CaseFoldOrder);
    EXPECT_EQ(&CollationTableOf(CollationVariant::German), &GermanOrder);
    EXPECT_EQ(&CollationTableOf(CollationVariant::GermanCaseFolded), &GermanCaseFoldOrder);
}

} // namespace
