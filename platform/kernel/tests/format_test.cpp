#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using platform::FormatW;

TEST(FormatW, FormatsUsedByTheProgramMatchTheDevice) {
    const struct {
        std::u16string actual;
        std::u16string_view expected;
    } cases[] = {
        {FormatW(u"%d", 42), u"42"},
        {FormatW(u"%d", -7), u"-7"},
        {FormatW(u"%u", 4294967295u), u"4294967295"},
        {FormatW(u"%5X", 0xABu), u"   AB"},
        {FormatW(u"%5X", 0x123456u), u"123456"},
        {FormatW(u"%04X%04X%04X%04X\n", 0x1u, 0xABCDu, 0x12u, 0xFFFFu), u"0001ABCD0012FFFF\n"},
        {FormatW(u"%.1f", 12.34), u"12.3"},
        {FormatW(u"%.1f", 0.25), u"0.3"}, // exact half: away from zero
        {FormatW(u"%.1f", -0.25), u"-0.3"},
        {FormatW(u"%.1f", 0.35), u"0.3"}, // 0.34999999999999997...
        {FormatW(u"%.1f", 2.45), u"2.5"}, // 2.4500000000000001...
        {FormatW(u"%.1lf", 3.14159), u"3.1"},
        {FormatW(u"%lf", 1.5), u"1.500000"},
        {FormatW(u"%0.1f", 7.0), u"7.0"},
        {FormatW(u"%4.1f", 9.96), u"10.0"},
        {FormatW(u"%4.1f", 1.5), u" 1.5"},
        {FormatW(u"%d:%02d", 5, 7), u"5:07"},
        {FormatW(u"Pwc%u%u%u%u%u", 1u, 2u, 3u, 4u, 5u), u"Pwc12345"},
        {FormatW(u"COM %d", 1), u"COM 1"},
        {FormatW(u"%s %4.1f MHz", u"SWR3", 101.5), u"SWR3 101.5 MHz"},
        {FormatW(u"%s %4.1f MHz", u"HR1", 87.6), u"HR1 87.6 MHz"},
        {FormatW(u"%ld", LONG{-123456}), u"-123456"},
        {FormatW(u"%d°%d´%d´´ %s", 48, 8, 30, u"N"), u"48°8´30´´ N"},
        {FormatW(u"%06.1f", -2.5), u"-002.5"},
        {FormatW(u"%010.4f", 3.14159265), u"00003.1416"},
        {FormatW(u"%.5f", 0.000005), u"0.00001"},
        {FormatW(u"%.6d", 42), u"000042"},
        {FormatW(u"%.2f", 1e21), u"1000000000000000000000.00"},
        {FormatW(u"%9.4f", 0.0), u"   0.0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(FormatW, WideFormatTakesWideSAndNarrowCapitalS) {
    const struct {
        std::u16string actual;
        std::u16string_view expected;
    } cases[] = {
        {FormatW(u"%s|%S", u"wide", "narrow"), u"wide|narrow"},
        {FormatW(u"%S", "\xC4pfel \x80"), u"Äpfel €"},
        {FormatW(u"%hs|%ls|%ws", "h", u"l", u"w"), u"h|l|w"},
        {FormatW(u"%c%C%hc%lc", u'Ä', '\x80', 'x', u'ß'), u"Ä€xß"},
        {FormatW(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcdef"), u"[   ab][ab   ][ab]"},
        {FormatW(u"[%.3S]", "abcdef"), u"[abc]"},
        {FormatW(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)"},
        {FormatW(u"%S", static_cast<const char*>(nullptr)), u"(null)"},
        {FormatW(u"100%%"), u"100%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(FormatW, FlagsWidthsAndLengths) {
    const struct {
        std::u16string actual;
        std::u16string_view expected;
    } cases[] = {
        {FormatW(u"[%-5d]", 12), u"[12   ]"},
        {FormatW(u"[%+d][% d][%+d]", 5, 5, -5), u"[+5][ 5][-5]"},
        {FormatW(u"[%#x][%#X][%#o][%#x]", 255u, 255u, 8u, 0u), u"[0xff][0XFF][010][0]"},
        {FormatW(u"[%.0d][%.0u]", 0, 0u), u"[][]"},
        {FormatW(u"[%05d][%05.3d]", -42, 7), u"[-0042][  007]"},
        {FormatW(u"[%*d][%-*d]", 4, 1, 3, 2), u"[   1][2  ]"},
        {FormatW(u"[%*d]", -3, 9), u"[9  ]"},
        {FormatW(u"[%.*f]", 2, 1.005), u"[1.00]"}, // 1.00499999999999989...
        {FormatW(u"%hd %hu %hhd", 70000, 70000, 200), u"4464 4464 -56"},
        {FormatW(u"%lld", std::numeric_limits<long long>::min()), u"-9223372036854775808"},
        {FormatW(u"%I64u %I64X", 18446744073709551615ull, 0xABCDEF0123ull),
         u"18446744073709551615 ABCDEF0123"},
        {FormatW(u"%o", 8u), u"10"},
        {FormatW(u"%i", -3), u"-3"},
        {FormatW(u"%e", 1234.5), u"1.234500e+003"},
        {FormatW(u"%.2E", 0.000123456), u"1.23E-004"},
        {FormatW(u"%e", 0.0), u"0.000000e+000"},
        {FormatW(u"%g|%g|%g", 0.0001, 0.00001, 123456789.0), u"0.0001|1e-005|1.23457e+008"},
        {FormatW(u"%g|%G|%.3g|%#g", 100000.0, 1e-10, 2.5, 1.0), u"100000|1E-010|2.5|1.00000"},
        {FormatW(u"%g|%.0g|%g", 0.0, 0.5, 999999.5), u"0|0.5|1e+006"},
        {FormatW(u"%f|%F|%e", INFINITY, -INFINITY, NAN), u"inf|-INF|nan"},
        {FormatW(u"%.0f|%#.0f|%.0f", 2.5, 3.0, 0.4), u"3|3.|0"},
        {FormatW(u"%f", -0.0), u"-0.000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(FormatW, PointerIsSixteenUpperCaseHexDigits) {
    const auto* pointer = reinterpret_cast<const void*>(std::uintptr_t{0x12AB});
    EXPECT_EQ(FormatW(u"%p", pointer), u"00000000000012AB");
}

TEST(FormatW, RefusedFormatsGiveEmptyTextAndADebugLine) {
    platform::DebugOutputCapture capture;
    int count = 0;
    for (const WCHAR* format : {u"%n", u"abc %", u"%y", u"%99999999d", u"%.99999999f"}) {
        SCOPED_TRACE(testing::Message() << count);
        EXPECT_EQ(FormatW(format, &count), u"");
    }
    EXPECT_EQ(capture.Texts().size(), 5u);
    EXPECT_TRUE(capture.Contains(u"%y"));
    WCHAR buffer[8] = u"xxxxxxx";
    EXPECT_EQ(_snwprintf(buffer, 8, u"%n", &count), -1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(swprintf(buffer, 8, u"%q"), -1);
    EXPECT_EQ(count, 0) << "nothing was stored through %n";
}

TEST(BoundedFormat, SnwprintfTerminatesOnlyWhenThereIsRoom) {
    const struct {
        int value;
        int result;
        std::u16string_view written;
        bool isTerminated;
    } cases[] = {
        {1234, 4, u"1234", true}, {12345, 5, u"12345", false}, {123456, -1, u"12345", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WCHAR buffer[7] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
        EXPECT_EQ(_snwprintf(buffer, 5, u"%d", c.value), c.result);
        EXPECT_EQ(std::u16string_view(buffer, c.written.size()), c.written);
        EXPECT_EQ(buffer[c.written.size()], c.isTerminated ? u'\0' : u'#');
        EXPECT_EQ(buffer[5], u'#') << "nothing beyond count";
    }
}

TEST(BoundedFormat, SwprintfAlwaysTerminates) {
    const struct {
        int value;
        int result;
        std::u16string_view text;
    } cases[] = {{1234, 4, u"1234"}, {12345, -1, u"1234"}, {-1, 2, u"-1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        WCHAR buffer[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
        EXPECT_EQ(swprintf(buffer, 5, u"%d", c.value), c.result);
        EXPECT_EQ(std::u16string_view(buffer), c.text);
        EXPECT_EQ(buffer[5], u'#');
    }
    WCHAR one[1] = {u'#'};
    EXPECT_EQ(swprintf(one, 1, u"x"), -1);
    EXPECT_EQ(one[0], 0);
}

TEST(Scan, ReadsNumbersWordsAndLiterals) {
    int a = 0;
    int b = 0;
    EXPECT_EQ(swscanf(u"  42 -7", u"%d %d", &a, &b), 2);
    EXPECT_EQ(a, 42);
    EXPECT_EQ(b, -7);

    double d = 0;
    float f = 0;
    EXPECT_EQ(swscanf(u"12.5 km 3e2", u"%lf km %f", &d, &f), 2);
    EXPECT_EQ(d, 12.5);
    EXPECT_EQ(f, 300.0f);

    EXPECT_EQ(swscanf(u"x=10,y=20", u"x=%d,y=%d", &a, &b), 2);
    EXPECT_EQ(a + b, 30);

    WCHAR map[16];
    WCHAR style[16];
    WCHAR alternate[16] = u"unchanged";
    int scale = 0;
    EXPECT_EQ(
        swscanf(u"Europa\tstyle.sty 25000", u"%15s %15s %d %15s", map, style, &scale, alternate),
        3);
    EXPECT_EQ(std::u16string(map), u"Europa");
    EXPECT_EQ(std::u16string(style), u"style.sty");
    EXPECT_EQ(scale, 25000);
    EXPECT_EQ(std::u16string(alternate), u"unchanged");

    char narrow[8];
    EXPECT_EQ(swscanf(u"Äpfel", u"%S", narrow), 1);
    EXPECT_EQ(std::string(narrow), "\xC4pfel");
}

TEST(Scan, WidthsLengthsAndBases) {
    int a = 0;
    WCHAR rest[8];
    EXPECT_EQ(swscanf(u"12345ab", u"%3d%7s", &a, rest), 2);
    EXPECT_EQ(a, 123);
    EXPECT_EQ(std::u16string(rest), u"45ab");

    unsigned hex = 0;
    unsigned upper = 0;
    int automatic = 0;
    EXPECT_EQ(swscanf(u"0x1F ff 010", u"%x %X %i", &hex, &upper, &automatic), 3);
    EXPECT_EQ(hex, 31u);
    EXPECT_EQ(upper, 255u);
    EXPECT_EQ(automatic, 8);

    LONG l = 0;
    short s = 0;
    long long ll = 0;
    signed char c = 0;
    EXPECT_EQ(swscanf(u"-5 70000 -9000000000 300", u"%ld %hd %lld %hhd", &l, &s, &ll, &c), 4);
    EXPECT_EQ(l, -5);
    EXPECT_EQ(s, 4464);
    EXPECT_EQ(ll, -9000000000LL);
    EXPECT_EQ(c, 44);

    int skipped = 0;
    int consumed = 0;
    EXPECT_EQ(swscanf(u"1 2", u"%*d %d%n", &skipped, &consumed), 1);
    EXPECT_EQ(skipped, 2);
    EXPECT_EQ(consumed, 3);

    WCHAR two[2];
    EXPECT_EQ(swscanf(u" xy", u"%2c", two), 1);
    EXPECT_EQ(two[0], u' ');
    EXPECT_EQ(two[1], u'x');

    WCHAR text[16];
    EXPECT_EQ(swscanf(u"50% off", u"%d%% %s", &a, text), 2);
    EXPECT_EQ(std::u16string(text), u"off");
}

TEST(Scan, FailuresReturnTheFieldsStoredOrEof) {
    int a = -1;
    int b = -1;
    const struct {
        const WCHAR* text;
        const WCHAR* format;
        int result;
    } cases[] = {{u"abc", u"%d", 0},    {u"", u"%d", -1},      {u"   ", u"%d", -1},
                 {u"5", u"%d %d", 1},   {u"5 x", u"%d %d", 1}, {u"", u"abc", -1},
                 {u"abd", u"abc%d", 0}, {u"-", u"%d", 0},      {u"1", u"%[a]", 0},
                 {nullptr, u"%d", -1},  {u"1", nullptr, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        EXPECT_EQ(swscanf(c.text, c.format, &a, &b), c.result);
    }
    double value = 7.0;
    EXPECT_EQ(swscanf(u"", u"%lf", &value), -1);
    EXPECT_EQ(value, 7.0) << "a failed scan leaves the target alone";
}

TEST(Scan, SecureFormStopsAtAWordThatDoesNotFit) {
    WCHAR small[4] = u"zzz";
    WCHAR large[16];
    int number = 0;
    EXPECT_EQ(swscanf_s(u"abc defgh 3", u"%s %s %d", large, 16u, small, 4u, &number), 1);
    EXPECT_EQ(std::u16string(large), u"abc");
    EXPECT_EQ(small[0], 0) << "the word did not fit";
    EXPECT_EQ(number, 0);
    EXPECT_EQ(swscanf_s(u"abc 3", u"%s %d", small, 4u, &number), 2);
    EXPECT_EQ(std::u16string(small), u"abc");
    EXPECT_EQ(number, 3);
}

} // namespace
