#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CodePage1252, EveryByteRoundTrips) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
    }
    WCHAR wide[256];
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes.data(), 256, wide, 256), 256);
    char back[256];
    BOOL usedDefault = TRUE;
    ASSERT_EQ(WideCharToMultiByte(1252, 0, wide, 256, back, 256, nullptr, &usedDefault), 256);
    EXPECT_FALSE(usedDefault);
    EXPECT_EQ(std::string(back, 256), bytes);

    const struct {
        unsigned char byte;
        WCHAR wide;
    } table[] = {{0x41, u'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160}, {0x8D, 0x008D},
                 {0x8F, 0x008F}, {0x90, 0x0090}, {0x92, 0x2019}, {0x9D, 0x009D}, {0x9F, 0x0178},
                 {0xA0, 0x00A0}, {0xDF, u'ß'},   {0xE4, u'ä'},   {0xFF, u'ÿ'}};
    for (const auto& entry : table) {
        SCOPED_TRACE(static_cast<int>(entry.byte));
        EXPECT_EQ(wide[entry.byte], entry.wide);
    }
    EXPECT_EQ(GetACP(), 1252u);
}

TEST(CodePage1252, MinusOneCountsTheTerminatingZero) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "B\xE4r", -1, nullptr, 0), 4);
    WCHAR wide[8] = {u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "B\xE4r", -1, wide, 8), 4);
    EXPECT_EQ(std::u16string(wide), u"Bär");

    // An explicit length converts exactly those bytes and adds no zero.
    WCHAR noZero[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, noZero, 4), 3);
    EXPECT_EQ(noZero[3], u'x');

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Bär", -1, nullptr, 0, nullptr, nullptr), 4);
    char narrow[4];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Bär", -1, narrow, 4, nullptr, nullptr), 4);
    EXPECT_EQ(std::string(narrow), "B\xE4r");
}

TEST(CodePage1252, TooSmallBufferFailsWithInsufficientBuffer) {
    WCHAR wide[3];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char narrow[2];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage1252, BadArgumentsFailWithInvalidParameter) {
    WCHAR wide[8];
    const struct {
        const char* what;
        const char* text;
        UINT codePage;
        int count;
    } cases[] = {{"empty count", "abc", CP_ACP, 0},
                 {"count below -1", "abc", CP_ACP, -2},
                 {"null text", nullptr, CP_ACP, -1},
                 {"other code page", "abc", 437, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.text, c.count, wide, 8), 0);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    char narrow[8];
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, narrow, 8, "?", &usedDefault), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePage1252, UnmappableCharactersBecomeTheDefault) {
    const struct {
        std::u16string_view wide;
        const char* defaultChar;
        std::string narrow;
    } cases[] = {{u"a\u4E2Db", nullptr, "a?b"},
                 {u"a\u4E2Db", "#", "a#b"},
                 {u"x\U0001D11Ey", nullptr, "x?y"}, // a surrogate pair is one character
                 {u"\xD800z", nullptr, "?z"},       // a lone surrogate
                 {u"\u0080", nullptr, "?"},         // C1 control that 1252 does not hold
                 {u"€‚ƒ„…†‡ˆ‰Š‹ŒŽ\u2018\u2019\u201C\u201D•–—˜™š›œžŸ", nullptr,
                  "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96"
                  "\x97\x98\x99\x9A\x9B\x9C\x9E\x9F"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.narrow);
        char out[64];
        BOOL usedDefault = FALSE;
        const int size =
            WideCharToMultiByte(CP_ACP, 0, c.wide.data(), static_cast<int>(c.wide.size()), out, 64,
                                c.defaultChar, &usedDefault);
        EXPECT_EQ(std::string(out, static_cast<std::size_t>(size)), c.narrow);
        EXPECT_EQ(usedDefault != FALSE, c.narrow.find_first_of("?#") != std::string::npos);
    }
}

TEST(Utf8, RoundTripsAndReplacesMalformedInput) {
    const std::u16string text = u"Grüße € \U0001D11E";
    const std::string utf8 = platform::Utf16ToUtf8(text);
    EXPECT_EQ(utf8, "Gr\xC3\xBC\xC3\x9F"
                    "e \xE2\x82\xAC \xF0\x9D\x84\x9E");
    EXPECT_EQ(platform::Utf8ToUtf16(utf8), text);

    const struct {
        std::string utf8;
        std::u16string wide;
    } malformed[] = {{"a\xFFz", u"a\uFFFDz"},
                     {"\xC3", u"\uFFFD"},
                     {"\xC0\xAF", u"\uFFFD\uFFFD"},
                     {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                     {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                     {"\xE2\x82", u"\uFFFD"}};
    for (const auto& c : malformed) {
        SCOPED_TRACE(c.utf8.size());
        EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.wide);
    }
    EXPECT_EQ(platform::Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");

    WCHAR wide[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA4", -1, wide, 8), 2);
    EXPECT_EQ(wide[0], u'ä');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", -1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    char narrow[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"ä", 1, narrow, 8, nullptr, nullptr), 2);
}

TEST(CrtConversions, WcstombsStopsAtTheCountAndTerminatesWhenThereIsRoom) {
    const struct {
        std::size_t count;
        std::size_t result;
        std::string written;
    } cases[] = {{16, 5, std::string("K\xF6ln?\0", 6)}, {5, 5, "K\xF6ln?"}, {3, 3, "K\xF6l"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        std::vector<char> out(c.count, 'x');
        EXPECT_EQ(wcstombs(out.data(), u"Köln\u4E2D", c.count), c.result);
        EXPECT_EQ(std::string(out.data(), c.written.size()), c.written);
    }
    EXPECT_EQ(wcstombs(static_cast<char*>(nullptr), u"Köln", 0), 4u);
    EXPECT_EQ(wcstombs(static_cast<char*>(nullptr), static_cast<const WCHAR*>(nullptr), 0), 0u);
}

TEST(CrtConversions, MbstowcsReadsNoFurtherThanTheCount) {
    // Exactly four bytes, no terminating zero: the conversion must not look beyond them.
    const std::vector<char> field = {'S', '\xFC', 'd', '\x80'};
    std::vector<WCHAR> out(4);
    EXPECT_EQ(mbstowcs(out.data(), field.data(), 4), 4u);
    EXPECT_EQ(std::u16string(out.data(), 4), u"Süd€");

    WCHAR terminated[8];
    EXPECT_EQ(mbstowcs(terminated, "ab", 8), 2u);
    EXPECT_EQ(std::u16string(terminated), u"ab");
    EXPECT_EQ(mbstowcs(static_cast<WCHAR*>(nullptr), "abc", 0), 3u);
    EXPECT_EQ(platform::AnsiToWide("\xC4rger"), u"Ärger");
    EXPECT_EQ(platform::WideToAnsi(u"Ärger\u4E2D"), "\xC4rger?");
}

} // namespace
