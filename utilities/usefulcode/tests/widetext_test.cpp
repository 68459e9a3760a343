#include "utilities/usefulcode/widetext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TitleCaseName, UpperCaseStartsWordsAfterSeparators) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"bad homburg v.d.h.", u"Bad Homburg V.D.H."},
        {u"FRANKFURT (ODER)", u"Frankfurt (Oder)"},
        {u"st.-johann;x,y/z", u"St.-Johann;X,Y/Z"},
        {u"MÜLLER-LÜDENSCHEID", u"Müller-Lüdenscheid"},
        {u"GROßE STRAßE", u"Große Straße"},
        {u"o'brien  road", u"O'brien  Road"},
        {u"as nord", u"AS Nord"},
        {u"ad x", u"AD X"},
        {u"AK BERLIN", u"AK Berlin"},
        {u"am markt", u"Am Markt"}, // only d, k and s
        {u"bs nord", u"Bs Nord"},   // only after 'A'
        {u"asnord", u"Asnord"},     // the third character must be a blank
        {u"as ", u"As "},           // fewer than four characters
        {u"ak", u"Ak"},
        {u"a", u"A"},
        {u"", u""},
    };
    for (const auto& c : cases) {
        std::u16string text = c.in;
        TitleCaseName(text.data());
        EXPECT_EQ(text, c.out);
    }
}

TEST(TitleCaseName, StopsAtTheEndPointer) {
    std::u16string text = u"HELLO WORLD";
    TitleCaseName(text.data(), text.data() + 5);
    EXPECT_EQ(text, u"Hello WORLD");

    // The rule for "As ..." counts only the characters up to the end.
    std::u16string shortRange = u"as nord";
    TitleCaseName(shortRange.data(), shortRange.data() + 3);
    EXPECT_EQ(shortRange, u"As nord");

    TitleCaseName(nullptr);
}

TEST(TitleCaseCopy, CopiesUpToTheEndOrZero) {
    const char16_t* text = u"bad homburg v.d.h.";
    EXPECT_EQ(TitleCaseCopy(text), u"Bad Homburg V.D.H.");
    EXPECT_EQ(TitleCaseCopy(text, text + 11), u"Bad Homburg");
    EXPECT_EQ(TitleCaseCopy(text, text), u"");
    EXPECT_EQ(TitleCaseCopy(u"as x"), u"AS X");
    EXPECT_EQ(TitleCaseCopy(nullptr), u"");
    EXPECT_EQ(std::u16string(text), u"bad homburg v.d.h."); // the source is untouched
}

TEST(AnsiToWide, ConvertsCodePage1252) {
    EXPECT_EQ(AnsiToWide("M\xFCller Stra\xDF"
                         "e"),
              u"Müller Straße");
    EXPECT_EQ(AnsiToWide("\x80 5, \x9F"), u"€ 5, Ÿ");
    EXPECT_EQ(AnsiToWide(""), u"");
    EXPECT_EQ(AnsiToWide(nullptr), u"");
}

} // namespace
