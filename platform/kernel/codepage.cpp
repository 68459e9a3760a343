#include "platform/kernel/codepage.h"

#include "platform/kernel/handles.h"

#include <algorithm>
#include <array>

namespace {

// Bytes 0x80..0x9F of code page 1252; the five bytes it leaves undefined keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Decodes one code point of UTF-8 at data[pos]; advances pos; false for a malformed sequence
// (pos then skips its longest valid prefix, at least one byte).
bool DecodeUtf8(std::string_view data, std::size_t& pos, char32_t& out) {
    const auto lead = static_cast<unsigned char>(data[pos++]);
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    int extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        out = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        out = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        out = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return false;
    }
    for (int i = 0; i < extra; ++i) {
        if (pos >= data.size()) {
            return false;
        }
        const auto next = static_cast<unsigned char>(data[pos]);
        if (next < low || next > high) {
            return false;
        }
        low = 0x80;
        high = 0xBF;
        out = (out << 6) | (next & 0x3Fu);
        ++pos;
    }
    return true;
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads the code point at text[pos] (a surrogate pair counts as one); a lone surrogate is
// returned as itself.
char32_t NextCodePoint(std::u16string_view text, std::size_t& pos) {
    const char32_t c = text[pos++];
    if (IsHighSurrogate(c) && pos < text.size() && IsLowSurrogate(text[pos])) {
        return 0x10000 + ((c - 0xD800) << 10) + (text[pos++] - 0xDC00);
    }
    return c;
}

bool IsAnsiCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == 1252;
}

bool Utf8ToUtf16Checked(std::string_view utf8, std::u16string& out, bool isStrict) {
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t c = 0;
        if (!DecodeUtf8(utf8, pos, c)) {
            if (isStrict) {
                return false;
            }
            c = kReplacement;
        }
        AppendUtf16(out, c);
    }
    return true;
}

// The source of a Win32 conversion call: count -1 means up to and including the zero.
template <class Char>
bool SourceView(const Char* text, int count, std::basic_string_view<Char>& out) {
    if (text == nullptr || count == 0 || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (count == -1) {
        std::size_t length = 0;
        while (text[length] != 0) {
            ++length;
        }
        out = std::basic_string_view<Char>(text, length + 1);
    } else {
        out = std::basic_string_view<Char>(text, static_cast<std::size_t>(count));
    }
    return true;
}

// Copies a converted text out under the Win32 size rules.
template <class Char, class String> int CopyOut(const String& converted, Char* out, int outCount) {
    if (outCount < 0 || (outCount > 0 && out == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (converted.size() > 0x7FFFFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    const int size = static_cast<int>(converted.size());
    if (outCount == 0) {
        return size;
    }
    if (size > outCount) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(converted.begin(), converted.end(), out);
    return size;
}

} // namespace

namespace platform {

WCHAR AnsiToWideChar(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : WCHAR{byte};
}

bool WideCharToAnsi(WCHAR character, unsigned char& byte) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        byte = static_cast<unsigned char>(character);
        return true;
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == character) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

std::u16string AnsiToWide(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (const char c : ansi) {
        out.push_back(AnsiToWideChar(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string WideToAnsi(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    std::size_t pos = 0;
    while (pos < wide.size()) {
        const char32_t c = NextCodePoint(wide, pos);
        unsigned char byte = '?';
        if (c > 0xFFFF || !WideCharToAnsi(static_cast<WCHAR>(c), byte)) {
            byte = '?';
        }
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    Utf8ToUtf16Checked(utf8, out, false);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    std::size_t pos = 0;
    while (pos < utf16.size()) {
        const char32_t c = NextCodePoint(utf16, pos);
        AppendUtf8(out, IsHighSurrogate(c) || IsLowSurrogate(c) ? kReplacement : c);
    }
    return out;
}

} // namespace platform

UINT GetACP() {
    return 1252;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount,
                        LPWSTR wide, int wideCount) {
    std::string_view source;
    if (!SourceView(multiByte, multiByteCount, source)) {
        return 0;
    }
    std::u16string converted;
    if (IsAnsiCodePage(codePage)) {
        converted = platform::AnsiToWide(source);
    } else if (codePage == CP_UTF8) {
        if (!Utf8ToUtf16Checked(source, converted, (flags & MB_ERR_INVALID_CHARS) != 0)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return CopyOut(converted, wide, wideCount);
}

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR wide, int wideCount,
                        LPSTR multiByte, int multiByteCount, LPCSTR defaultChar,
                        BOOL* usedDefaultChar) {
    std::u16string_view source;
    if (!SourceView(wide, wideCount, source)) {
        return 0;
    }
    std::string converted;
    if (IsAnsiCodePage(codePage)) {
        const char replacement = defaultChar != nullptr ? *defaultChar : '?';
        bool isDefaultUsed = false;
        std::size_t pos = 0;
        while (pos < source.size()) {
            const char32_t c = NextCodePoint(source, pos);
            unsigned char byte = 0;
            if (c <= 0xFFFF && platform::WideCharToAnsi(static_cast<WCHAR>(c), byte)) {
                converted.push_back(static_cast<char>(byte));
            } else {
                converted.push_back(replacement);
                isDefaultUsed = true;
            }
        }
        if (usedDefaultChar != nullptr) {
            *usedDefaultChar = isDefaultUsed ? TRUE : FALSE;
        }
    } else if (codePage == CP_UTF8 && defaultChar == nullptr && usedDefaultChar == nullptr) {
        converted = platform::Utf16ToUtf8(source);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return CopyOut(converted, multiByte, multiByteCount);
}

std::size_t wcstombs(char* multiByte, const WCHAR* wide, std::size_t count) {
    if (wide == nullptr) {
        return 0;
    }
    std::size_t written = 0;
    for (std::size_t pos = 0; wide[pos] != 0; ++pos) {
        if (multiByte != nullptr && written == count) {
            return written;
        }
        char32_t c = wide[pos];
        if (IsHighSurrogate(c) && IsLowSurrogate(wide[pos + 1])) {
            c = 0x10000; // one '?' for the pair
            ++pos;
        }
        unsigned char byte = '?';
        if (c > 0xFFFF || !platform::WideCharToAnsi(static_cast<WCHAR>(c), byte)) {
            byte = '?';
        }
        if (multiByte != nullptr) {
            multiByte[written] = static_cast<char>(byte);
        }
        ++written;
    }
    if (multiByte != nullptr && written < count) {
        multiByte[written] = 0;
    }
    return written;
}

std::size_t mbstowcs(WCHAR* wide, const char* multiByte, std::size_t count) {
    if (multiByte == nullptr) {
        return 0;
    }
    std::size_t written = 0;
    while (wide == nullptr || written < count) {
        const auto byte = static_cast<unsigned char>(multiByte[written]);
        if (byte == 0) {
            if (wide != nullptr) {
                wide[written] = 0;
            }
            break;
        }
        if (wide != nullptr) {
            wide[written] = platform::AnsiToWideChar(byte);
        }
        ++written;
    }
    return written;
}
