#include "platform/kernel/text.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>

namespace {

std::size_t Length(const WCHAR* text) {
    std::size_t length = 0;
    if (text != nullptr) {
        while (text[length] != 0) {
            ++length;
        }
    }
    return length;
}

const WCHAR* OrEmpty(const WCHAR* text) {
    return text != nullptr ? text : u"";
}

template <class Fold> int Compare(const WCHAR* a, const WCHAR* b, std::size_t count, Fold fold) {
    a = OrEmpty(a);
    b = OrEmpty(b);
    for (std::size_t i = 0; i < count; ++i) {
        const int ca = fold(a[i]);
        const int cb = fold(b[i]);
        if (ca != cb || ca == 0) {
            return ca - cb;
        }
    }
    return 0;
}

int Same(WCHAR c) {
    return c;
}
int Lower(WCHAR c) {
    return TowLower(c);
}

bool IsBlank(WCHAR c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(WCHAR c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

// Parses the strtol-style integer at text; the magnitude saturates at limit (isOverflow set).
struct ParsedInteger {
    std::uint64_t magnitude = 0;
    bool isNegative = false;
    bool isOverflow = false;
    const WCHAR* end = nullptr; // text when there is no number
};

ParsedInteger ParseInteger(const WCHAR* text, int base, std::uint64_t limit) {
    ParsedInteger result;
    result.end = text;
    if (text == nullptr || base < 0 || base == 1 || base > 36) {
        return result;
    }
    const WCHAR* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    if (*p == '+' || *p == '-') {
        result.isNegative = *p++ == '-';
    }
    const bool hasHexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16;
    if ((base == 0 || base == 16) && hasHexPrefix) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == '0' ? 8 : 10;
    }
    const WCHAR* digits = p;
    for (; DigitValue(*p) < base; ++p) {
        const auto digit = static_cast<std::uint64_t>(DigitValue(*p));
        if (result.magnitude > (limit - digit) / static_cast<std::uint64_t>(base)) {
            result.isOverflow = true;
            result.magnitude = limit;
        } else if (!result.isOverflow) {
            result.magnitude = result.magnitude * static_cast<std::uint64_t>(base) + digit;
        }
    }
    if (p != digits) {
        result.end = p;
    }
    return result;
}

LONG ToLong(const ParsedInteger& parsed) {
    if (parsed.isNegative) {
        return parsed.magnitude >= std::uint64_t{1} << 31 ? MINLONG
                                                          : -static_cast<LONG>(parsed.magnitude);
    }
    return parsed.magnitude > 0x7FFFFFFF ? MAXLONG : static_cast<LONG>(parsed.magnitude);
}

void StoreEnd(WCHAR** end, const WCHAR* at) {
    if (end != nullptr) {
        *end = const_cast<WCHAR*>(at);
    }
}

// The decimal exponent of the first significant digit of a decimal number text (used to tell
// overflow from underflow when the value is out of range).
long Magnitude(const std::string& number) {
    long exponent = 0;
    const std::size_t e = number.find_first_of("eE");
    if (e != std::string::npos) {
        const char* first = number.c_str() + e + 1;
        if (*first == '+') {
            ++first;
        }
        const auto parsed = std::from_chars(first, number.c_str() + number.size(), exponent);
        if (parsed.ec == std::errc::result_out_of_range) {
            exponent = *first == '-' ? LONG_MIN / 2 : LONG_MAX / 2;
        }
    }
    const std::string mantissa = number.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const std::size_t firstDigit = mantissa.find_first_of("123456789");
    const std::size_t integerEnd = point == std::string::npos ? mantissa.size() : point;
    if (firstDigit == std::string::npos) {
        return LONG_MIN;
    }
    const long position = firstDigit < integerEnd ? static_cast<long>(integerEnd - firstDigit - 1)
                                                  : -static_cast<long>(firstDigit - integerEnd);
    return exponent > LONG_MAX / 2 ? LONG_MAX
                                   : (exponent < LONG_MIN / 2 ? LONG_MIN : exponent + position);
}

} // namespace

std::size_t WcsLen(const WCHAR* text) {
    return Length(text);
}

int WcsCmp(const WCHAR* a, const WCHAR* b) {
    return Compare(a, b, SIZE_MAX, Same);
}

int WcsNCmp(const WCHAR* a, const WCHAR* b, std::size_t count) {
    return Compare(a, b, count, Same);
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
    return Compare(a, b, SIZE_MAX, Lower);
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, std::size_t count) {
    return Compare(a, b, count, Lower);
}

WCHAR TowUpper(WCHAR c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<WCHAR>(c - 0x20);
    }
    switch (c) {
    case 0xFF:
        return 0x178;
    case 0x161:
        return 0x160;
    case 0x153:
        return 0x152;
    case 0x17E:
        return 0x17D;
    default:
        return c;
    }
}

WCHAR TowLower(WCHAR c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<WCHAR>(c + 0x20);
    }
    switch (c) {
    case 0x178:
        return 0xFF;
    case 0x160:
        return 0x161;
    case 0x152:
        return 0x153;
    case 0x17D:
        return 0x17E;
    default:
        return c;
    }
}

WCHAR* _wcsupr(WCHAR* text) {
    for (WCHAR* p = text; p != nullptr && *p != 0; ++p) {
        *p = TowUpper(*p);
    }
    return text;
}

WCHAR* _wcslwr(WCHAR* text) {
    for (WCHAR* p = text; p != nullptr && *p != 0; ++p) {
        *p = TowLower(*p);
    }
    return text;
}

namespace {
template <class Convert> LPWSTR ConvertCharOrString(LPWSTR textOrChar, Convert convert) {
    const auto bits = reinterpret_cast<std::uintptr_t>(textOrChar);
    if ((bits >> 16) == 0) {
        return reinterpret_cast<LPWSTR>(
            static_cast<std::uintptr_t>(convert(static_cast<WCHAR>(bits))));
    }
    for (WCHAR* p = textOrChar; *p != 0; ++p) {
        *p = convert(*p);
    }
    return textOrChar;
}
} // namespace

LPWSTR CharUpperW(LPWSTR textOrChar) {
    return ConvertCharOrString(textOrChar, TowUpper);
}

LPWSTR CharLowerW(LPWSTR textOrChar) {
    return ConvertCharOrString(textOrChar, TowLower);
}

int platform::CompareNoCase(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        const int ca = Lower(a[i]);
        const int cb = Lower(b[i]);
        if (ca != cb) {
            return ca - cb;
        }
    }
    return (a.size() > b.size()) - (a.size() < b.size());
}

std::u16string platform::ToUpper(std::u16string_view text) {
    std::u16string out(text);
    for (WCHAR& c : out) {
        c = TowUpper(c);
    }
    return out;
}

std::u16string platform::ToLower(std::u16string_view text) {
    std::u16string out(text);
    for (WCHAR& c : out) {
        c = TowLower(c);
    }
    return out;
}

LONG _wtol(const WCHAR* text) {
    return ToLong(ParseInteger(text, 10, std::uint64_t{1} << 32));
}

int _wtoi(const WCHAR* text) {
    return _wtol(text);
}

LONG WcsToL(const WCHAR* text, WCHAR** end, int base) {
    const ParsedInteger parsed = ParseInteger(text, base, std::uint64_t{1} << 32);
    StoreEnd(end, parsed.end);
    const LONG value = ToLong(parsed);
    const bool isOutOfRange = parsed.isNegative ? parsed.magnitude > (std::uint64_t{1} << 31)
                                                : parsed.magnitude > 0x7FFFFFFF;
    if (isOutOfRange) {
        errno = ERANGE;
    }
    return value;
}

ULONG WcsToUL(const WCHAR* text, WCHAR** end, int base) {
    const ParsedInteger parsed = ParseInteger(text, base, 0xFFFFFFFFu);
    StoreEnd(end, parsed.end);
    if (parsed.isOverflow) {
        errno = ERANGE;
        return 0xFFFFFFFFu;
    }
    const auto value = static_cast<ULONG>(parsed.magnitude);
    return parsed.isNegative ? static_cast<ULONG>(0u - value) : value;
}

namespace {
// Copies the C-notation number at p (after blanks and sign) as ASCII into number and returns the
// position after it; p itself when there are no digits. An exponent without digits is not used.
const WCHAR* ScanDecimal(const WCHAR* p, std::string& number) {
    const WCHAR* start = p;
    std::size_t digitCount = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digitCount) {
        number.push_back(static_cast<char>(*p));
    }
    if (*p == '.') {
        number.push_back('.');
        for (++p; *p >= '0' && *p <= '9'; ++p, ++digitCount) {
            number.push_back(static_cast<char>(*p));
        }
    }
    if (digitCount == 0) {
        return start;
    }
    if (*p != 'e' && *p != 'E') {
        return p;
    }
    const WCHAR* q = p + 1;
    std::string exponent = "e";
    if (*q == '+' || *q == '-') {
        exponent.push_back(static_cast<char>(*q++));
    }
    if (*q < '0' || *q > '9') {
        return p;
    }
    for (; *q >= '0' && *q <= '9'; ++q) {
        exponent.push_back(static_cast<char>(*q));
    }
    number += exponent;
    return q;
}
} // namespace

double WcsToD(const WCHAR* text, WCHAR** end) {
    StoreEnd(end, text);
    if (text == nullptr) {
        return 0.0;
    }
    const WCHAR* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool isNegative = false;
    if (*p == '+' || *p == '-') {
        isNegative = *p++ == '-';
    }
    std::string number;
    const WCHAR* after = ScanDecimal(p, number);
    if (after == p) {
        return 0.0;
    }
    StoreEnd(end, after);
    double value = 0.0;
    const auto parsed = std::from_chars(number.data(), number.data() + number.size(), value);
    if (parsed.ec == std::errc::result_out_of_range) {
        errno = ERANGE;
        value = Magnitude(number) > 0 ? HUGE_VAL : 0.0;
    }
    return isNegative ? -value : value;
}

WCHAR* _itow(int value, WCHAR* buffer, int radix) {
    if (buffer == nullptr) {
        return buffer;
    }
    if (radix < 2 || radix > 36) {
        buffer[0] = 0;
        return buffer;
    }
    const bool isNegative = radix == 10 && value < 0;
    auto magnitude = static_cast<std::uint32_t>(value);
    if (isNegative) {
        magnitude = 0u - magnitude;
    }
    WCHAR digits[34];
    int count = 0;
    do {
        const auto digit = static_cast<int>(magnitude % static_cast<std::uint32_t>(radix));
        digits[count++] = static_cast<WCHAR>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= static_cast<std::uint32_t>(radix);
    } while (magnitude != 0);
    WCHAR* out = buffer;
    if (isNegative) {
        *out++ = '-';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    *out = 0;
    return buffer;
}
