#include "platform/kernel/text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

TEST(CaseMapping, FollowsCodePage1252LetterPairs) {
    const struct {
        WCHAR lower;
        WCHAR upper;
    } pairs[] = {{u'a', u'A'}, {u'z', u'Z'},  {u'ä', u'Ä'}, {u'ö', u'Ö'}, {u'ü', u'Ü'},
                 {u'à', u'À'}, {u'é', u'É'},  {u'ç', u'Ç'}, {u'ñ', u'Ñ'}, {u'ø', u'Ø'},
                 {u'þ', u'Þ'}, {u'ÿ', 0x178}, {u'š', u'Š'}, {u'œ', u'Œ'}, {u'ž', u'Ž'}};
    for (const auto& p : pairs) {
        SCOPED_TRACE(static_cast<int>(p.lower));
        EXPECT_EQ(TowUpper(p.lower), p.upper);
        EXPECT_EQ(TowLower(p.upper), p.lower);
        EXPECT_EQ(towupper(p.lower), p.upper);
        EXPECT_EQ(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(p.lower))),
                  reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(p.upper)));
        EXPECT_EQ(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(p.upper))),
                  reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(p.lower)));
    }
    // No single-letter partner in 1252, or not a letter at all: unchanged both ways.
    for (WCHAR c : {u'ß', u'µ', u'÷', u'×', u'1', u'_', u'@', u'[', u'€', u'ƒ', u'Ω', u'ω'}) {
        SCOPED_TRACE(static_cast<int>(c));
        EXPECT_EQ(TowUpper(c), c);
        EXPECT_EQ(TowLower(c), c);
    }
}

TEST(CaseMapping, StringFormsConvertInPlace) {
    WCHAR text[] = u"Straße über Ÿvoir";
    EXPECT_EQ(CharUpperW(text), text);
    EXPECT_EQ(std::u16string(text), u"STRAßE ÜBER ŸVOIR");
    EXPECT_EQ(CharLowerW(text), text);
    EXPECT_EQ(std::u16string(text), u"straße über ÿvoir");
    EXPECT_EQ(std::u16string(_wcsupr(text)), u"STRAßE ÜBER ŸVOIR");
    EXPECT_EQ(std::u16string(_wcslwr(text)), u"straße über ÿvoir");
    EXPECT_EQ(_wcsupr(nullptr), nullptr);
    EXPECT_EQ(platform::ToUpper(u"köln"), u"KÖLN");
    EXPECT_EQ(platform::ToLower(u"KÖLN"), u"köln");
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(Compare, CaseInsensitiveFoldsToLowerCase) {
    const struct {
        const WCHAR* a;
        const WCHAR* b;
        int sign;
    } cases[] = {{u"abc", u"ABC", 0}, {u"Äpfel", u"äPFEL", 0},
                 {u"Ÿ", u"ÿ", 0},     {u"JOHN_HENRY", u"JOHNSTON", -1},
                 {u"_", u"A", -1},    {u"abc", u"abd", -1},
                 {u"abc", u"ab", 1},  {u"", u"a", -1},
                 {nullptr, u"", 0},   {u"Straße", u"STRASSE", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sign);
        EXPECT_EQ(Sign(_wcsicmp(c.a, c.b)), c.sign);
        EXPECT_EQ(Sign(_wcsicmp(c.b, c.a)), -c.sign);
        if (c.a != nullptr) {
            EXPECT_EQ(Sign(platform::CompareNoCase(c.a, c.b)), c.sign);
            EXPECT_EQ(platform::LessNoCase()(c.b, c.a), c.sign > 0);
        }
    }
    EXPECT_EQ(_wcsnicmp(u"Hauptstraße 1", u"HAUPTSTRASSE", 5), 0);
    EXPECT_GT(_wcsnicmp(u"Hauptstraße 1", u"HAUPTSTRASSE", 10), 0); // ß after s
    EXPECT_EQ(_wcsnicmp(u"abc", u"abd", 0), 0);
}

TEST(Compare, CaseSensitiveByCodeUnit) {
    EXPECT_EQ(WcsCmp(u"abc", u"abc"), 0);
    EXPECT_LT(WcsCmp(u"ABC", u"abc"), 0);
    EXPECT_GT(WcsCmp(u"ä", u"z"), 0);
    EXPECT_LT(wcscmp(u"ab", u"abc"), 0);
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);
    EXPECT_EQ(WcsCmp(nullptr, u""), 0);
    EXPECT_EQ(WcsLen(u"Grüße"), 5u);
    EXPECT_EQ(wcslen(u""), 0u);
    EXPECT_EQ(WcsLen(nullptr), 0u);
}

TEST(Numbers, WtolReadsSignAndDigitsAndSaturates) {
    const struct {
        const WCHAR* text;
        LONG value;
    } cases[] = {{u"123", 123},
                 {u"  -42abc", -42},
                 {u"\t+7", 7},
                 {u"abc", 0},
                 {u"", 0},
                 {u"- 5", 0},
                 {u"0x1F", 0},
                 {u"2147483647", 2147483647},
                 {u"-2147483648", MINLONG},
                 {u"2147483648", MAXLONG},
                 {u"99999999999999999999999", MAXLONG},
                 {u"-99999999999999999999999", MINLONG},
                 {nullptr, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(_wtol(c.text), c.value);
        EXPECT_EQ(_wtoi(c.text), c.value);
    }
}

TEST(Numbers, WcstolFollowsBaseRulesAndReportsTheEnd) {
    const struct {
        const WCHAR* text;
        int base;
        LONG value;
        std::size_t used;
    } cases[] = {{u"0x1A!", 0, 26, 4},
                 {u"017", 0, 15, 3},
                 {u"089", 0, 0, 1},
                 {u"ff", 16, 255, 2},
                 {u"0XfF", 16, 255, 4},
                 {u"0x", 16, 0, 1},
                 {u"zZ", 36, 35 * 36 + 35, 2},
                 {u"  -101", 2, -5, 6},
                 {u"12", 1, 0, 0},
                 {u"x", 10, 0, 0},
                 {u"", 10, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.base << " " << c.value);
        WCHAR* end = nullptr;
        EXPECT_EQ(WcsToL(c.text, &end, c.base), c.value);
        EXPECT_EQ(static_cast<std::size_t>(end - c.text), c.used);
    }
    errno = 0;
    EXPECT_EQ(wcstol(u"4294967296", nullptr, 10), MAXLONG);
    EXPECT_EQ(errno, ERANGE);
    errno = 0;
    EXPECT_EQ(wcstol(u"-2147483648", nullptr, 10), MINLONG);
    EXPECT_EQ(errno, 0);
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 0xFFFFFFFFu);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 0xFFFFFFFFu);
    errno = 0;
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 0xFFFFFFFFu);
    EXPECT_EQ(errno, ERANGE);
}

TEST(Numbers, WcstodReadsCNotationOnly) {
    const struct {
        const WCHAR* text;
        double value;
        std::size_t used;
    } cases[] = {{u"3.25", 3.25, 4},
                 {u" -1.5e3x", -1500.0, 7},
                 {u"1e", 1.0, 1},
                 {u"2E+2", 200.0, 4},
                 {u".5", 0.5, 2},
                 {u"7.", 7.0, 2},
                 {u".", 0.0, 0},
                 {u"12,5", 12.0, 2},
                 {u"+0.1", 0.1, 4},
                 {u"inf", 0.0, 0},
                 {u"0x10", 0.0, 1},
                 {u"", 0.0, 0},
                 {u"48.1234567", 48.1234567, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WCHAR* end = nullptr;
        EXPECT_EQ(WcsToD(c.text, &end), c.value);
        EXPECT_EQ(static_cast<std::size_t>(end - c.text), c.used);
    }
    errno = 0;
    EXPECT_EQ(wcstod(u"1e400", nullptr), HUGE_VAL);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(wcstod(u"-1e99999999999999999999", nullptr), -HUGE_VAL);
    errno = 0;
    EXPECT_EQ(wcstod(u"1e-400", nullptr), 0.0);
    EXPECT_EQ(errno, ERANGE);
}

TEST(Numbers, ItowWritesEveryRadix) {
    const struct {
        int value;
        int radix;
        std::u16string_view text;
    } cases[] = {{0, 10, u"0"},
                 {-123, 10, u"-123"},
                 {INT_MIN, 10, u"-2147483648"},
                 {255, 16, u"ff"},
                 {-1, 16, u"ffffffff"},
                 {5, 2, u"101"},
                 {-1, 2, u"11111111111111111111111111111111"},
                 {35, 36, u"z"},
                 {10, 1, u""},
                 {10, 37, u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WCHAR buffer[34];
        EXPECT_EQ(_itow(c.value, buffer, c.radix), buffer);
        EXPECT_EQ(std::u16string_view(buffer), c.text);
    }
}

} // namespace
