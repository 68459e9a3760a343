#include "platform/kernel/format.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/detail/formatengine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace platform::detail {
namespace {

constexpr int kMaxField = 65536; // larger widths and precisions are refused

enum class Length { None, Char, Short, Long, LongLong, Pointer, LongDouble, Wide };

struct Spec {
    bool isLeft = false;
    bool hasPlus = false;
    bool hasSpace = false;
    bool isAlternate = false;
    bool isZeroPadded = false;
    int width = 0;
    int precision = -1; // none
    Length length = Length::None;
    WCHAR type = 0;
};

bool IsDigit(WCHAR c) {
    return c >= '0' && c <= '9';
}

// Reads a decimal field at p; false when it exceeds kMaxField.
bool ReadNumber(const WCHAR*& p, int& value) {
    value = 0;
    while (IsDigit(*p)) {
        value = value * 10 + (*p++ - '0');
        if (value > kMaxField) {
            return false;
        }
    }
    return true;
}

bool ReadLength(const WCHAR*& p, Length& length) {
    const std::u16string_view rest(p, std::min<std::size_t>(3, std::char_traits<WCHAR>::length(p)));
    const struct {
        std::u16string_view text;
        Length length;
    } table[] = {{u"hh", Length::Char},   {u"h", Length::Short},      {u"ll", Length::LongLong},
                 {u"l", Length::Long},    {u"L", Length::LongDouble}, {u"I64", Length::LongLong},
                 {u"I32", Length::Long},  {u"I", Length::Pointer},    {u"w", Length::Wide},
                 {u"z", Length::Pointer}, {u"j", Length::LongLong},   {u"t", Length::Pointer}};
    for (const auto& entry : table) {
        if (rest.substr(0, entry.text.size()) == entry.text) {
            p += entry.text.size();
            length = entry.length;
            return true;
        }
    }
    length = Length::None;
    return true;
}

void ReadFlags(const WCHAR*& p, Spec& spec) {
    for (;; ++p) {
        switch (*p) {
        case '-':
            spec.isLeft = true;
            break;
        case '+':
            spec.hasPlus = true;
            break;
        case ' ':
            spec.hasSpace = true;
            break;
        case '#':
            spec.isAlternate = true;
            break;
        case '0':
            spec.isZeroPadded = true;
            break;
        default:
            return;
        }
    }
}

// Width and precision, each given in the format or taken from the arguments by '*'.
bool ReadWidthAndPrecision(const WCHAR*& p, FormatArgs& args, Spec& spec) {
    if (*p == '*') {
        ++p;
        const auto width = static_cast<std::int32_t>(args.NextInteger(4));
        if (width < -kMaxField || width > kMaxField) {
            return false;
        }
        spec.isLeft = spec.isLeft || width < 0;
        spec.width = width < 0 ? -width : width;
    } else if (!ReadNumber(p, spec.width)) {
        return false;
    }
    if (*p != '.') {
        return true;
    }
    ++p;
    if (*p != '*') {
        return ReadNumber(p, spec.precision);
    }
    ++p;
    const auto precision = static_cast<std::int32_t>(args.NextInteger(4));
    spec.precision = precision < 0 ? -1 : precision;
    return precision <= kMaxField;
}

bool ParseSpec(const WCHAR*& p, FormatArgs& args, Spec& spec) {
    ReadFlags(p, spec);
    if (!ReadWidthAndPrecision(p, args, spec)) {
        return false;
    }
    ReadLength(p, spec.length);
    spec.type = *p;
    if (spec.type != 0) {
        ++p;
    }
    return true;
}

// Writes prefix and body padded to the width: spaces outside, or zeros between prefix and body.
void Emit(std::u16string& out, const Spec& spec, std::u16string_view prefix,
          std::u16string_view body, bool mayZeroPad) {
    const std::size_t size = prefix.size() + body.size();
    const std::size_t padding = static_cast<std::size_t>(spec.width) > size ? spec.width - size : 0;
    if (spec.isLeft) {
        out.append(prefix).append(body).append(padding, u' ');
    } else if (spec.isZeroPadded && mayZeroPad) {
        out.append(prefix).append(padding, u'0').append(body);
    } else {
        out.append(padding, u' ').append(prefix).append(body);
    }
}

std::u16string_view SignOf(bool isNegative, const Spec& spec) {
    if (isNegative) {
        return u"-";
    }
    return spec.hasPlus ? u"+" : (spec.hasSpace ? u" " : u"");
}

// The argument cut to its size, then widened with or without its sign.
std::int64_t IntegerArgument(const Spec& spec, bool isSigned, FormatArgs& args) {
    const bool isWide = spec.length == Length::LongLong || spec.length == Length::Pointer;
    std::uint64_t raw = args.NextInteger(isWide ? 8 : 4);
    int bits = isWide ? 64 : 32;
    if (spec.length == Length::Char) {
        bits = 8;
    } else if (spec.length == Length::Short) {
        bits = 16;
    }
    if (bits < 64) {
        raw &= (std::uint64_t{1} << bits) - 1;
        if (isSigned && ((raw >> (bits - 1)) & 1u) != 0) {
            raw |= ~std::uint64_t{0} << bits;
        }
    }
    return static_cast<std::int64_t>(raw);
}

std::u16string Digits(std::uint64_t magnitude, unsigned base, bool isUpper, int precision) {
    const char* digitSet = isUpper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string digits;
    for (std::uint64_t rest = magnitude; rest != 0; rest /= base) {
        digits.push_back(static_cast<WCHAR>(digitSet[rest % base]));
    }
    const std::size_t minimum = precision < 0 ? 1 : static_cast<std::size_t>(precision);
    if (digits.size() < minimum) {
        digits.append(minimum - digits.size(), u'0');
    }
    return {digits.rbegin(), digits.rend()};
}

void FormatInteger(std::u16string& out, const Spec& spec, FormatArgs& args) {
    const bool isSigned = spec.type == 'd' || spec.type == 'i';
    const std::int64_t value = IntegerArgument(spec, isSigned, args);
    const bool isNegative = isSigned && value < 0;
    const std::uint64_t magnitude =
        isNegative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const unsigned base = spec.type == 'o' ? 8 : (spec.type == 'x' || spec.type == 'X' ? 16 : 10);
    std::u16string digits = Digits(magnitude, base, spec.type == 'X', spec.precision);
    std::u16string_view prefix = isSigned ? SignOf(isNegative, spec) : u"";
    if (spec.isAlternate && base == 8 && (digits.empty() || digits[0] != '0')) {
        digits.insert(digits.begin(), u'0');
    } else if (spec.isAlternate && base == 16 && magnitude != 0) {
        prefix = spec.type == 'X' ? u"0X" : u"0x";
    }
    Emit(out, spec, prefix, digits, spec.precision < 0);
}

void FormatCharacter(std::u16string& out, const Spec& spec, FormatArgs& args) {
    const auto raw = static_cast<std::uint32_t>(args.NextInteger(4));
    const bool isNarrow =
        spec.length == Length::Short ||
        (spec.type == 'C' && spec.length != Length::Long && spec.length != Length::Wide);
    const WCHAR c = isNarrow ? platform::AnsiToWideChar(static_cast<unsigned char>(raw))
                             : static_cast<WCHAR>(raw);
    Emit(out, spec, u"", std::u16string_view(&c, 1), true);
}

void FormatString(std::u16string& out, const Spec& spec, FormatArgs& args) {
    const bool isNarrow =
        spec.length == Length::Short ||
        (spec.type == 'S' && spec.length != Length::Long && spec.length != Length::Wide);
    const std::size_t limit =
        spec.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(spec.precision);
    std::u16string text;
    if (isNarrow) {
        const char* narrow = args.NextNarrowString();
        if (narrow == nullptr) {
            narrow = "(null)";
        }
        for (std::size_t i = 0; i < limit && narrow[i] != 0; ++i) {
            text.push_back(platform::AnsiToWideChar(static_cast<unsigned char>(narrow[i])));
        }
    } else {
        const WCHAR* wide = args.NextWideString();
        if (wide == nullptr) {
            wide = u"(null)";
        }
        for (std::size_t i = 0; i < limit && wide[i] != 0; ++i) {
            text.push_back(wide[i]);
        }
    }
    Emit(out, spec, u"", text, true);
}

void FormatPointer(std::u16string& out, const Spec& spec, FormatArgs& args) {
    auto value = reinterpret_cast<std::uintptr_t>(args.NextPointer());
    std::u16string digits(2 * sizeof(void*), u'0');
    for (std::size_t i = digits.size(); i-- > 0; value >>= 4) {
        digits[i] = static_cast<WCHAR>("0123456789ABCDEF"[value & 0xF]);
    }
    Emit(out, spec, u"", digits, false);
}

void FormatFloat(std::u16string& out, const Spec& spec, FormatArgs& args) {
    const double value = args.NextDouble();
    const bool isUpper = spec.type == 'E' || spec.type == 'G' || spec.type == 'F';
    std::u16string body;
    if (std::isnan(value)) {
        body = isUpper ? u"NAN" : u"nan";
    } else if (std::isinf(value)) {
        body = isUpper ? u"INF" : u"inf";
    } else {
        body = FloatDigits(std::fabs(value), spec.type, spec.precision, spec.isAlternate);
    }
    Emit(out, spec, SignOf(std::signbit(value), spec), body, std::isfinite(value));
}

bool FormatOne(std::u16string& out, const Spec& spec, FormatArgs& args) {
    switch (spec.type) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        FormatInteger(out, spec, args);
        return true;
    case 'c':
    case 'C':
        FormatCharacter(out, spec, args);
        return true;
    case 's':
    case 'S':
        FormatString(out, spec, args);
        return true;
    case 'p':
        FormatPointer(out, spec, args);
        return true;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        FormatFloat(out, spec, args);
        return true;
    default:
        return false; // %n, unknown letters and a format ending in '%'
    }
}

} // namespace

bool FormatTo(std::u16string& out, const WCHAR* format, FormatArgs& args) {
    if (format == nullptr) {
        return false;
    }
    for (const WCHAR* p = format; *p != 0;) {
        if (*p != '%') {
            out.push_back(*p++);
            continue;
        }
        ++p;
        if (*p == '%') {
            out.push_back(*p++);
            continue;
        }
        Spec spec;
        if (!ParseSpec(p, args, spec) || !FormatOne(out, spec, args)) {
            return false;
        }
    }
    return true;
}

} // namespace platform::detail

namespace {

class VaArgs final : public platform::detail::FormatArgs {
public:
    explicit VaArgs(va_list args)
        : m_args(args) {}

    std::uint64_t NextInteger(int bytes) override {
        return bytes == 8 ? m_args.Next<unsigned long long>() : m_args.Next<unsigned int>();
    }
    double NextDouble() override { return m_args.Next<double>(); }
    const WCHAR* NextWideString() override { return m_args.Next<const WCHAR*>(); }
    const char* NextNarrowString() override { return m_args.Next<const char*>(); }
    const void* NextPointer() override { return m_args.Next<const void*>(); }

private:
    platform::detail::VaListCopy m_args;
};

// Formats into text; false when the format is refused.
bool FormatVa(std::u16string& text, const WCHAR* format, va_list args) {
    VaArgs source(args);
    return platform::detail::FormatTo(text, format, source);
}

} // namespace

int _vsnwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args) {
    std::u16string text;
    if (!FormatVa(text, format, args) || buffer == nullptr) {
        if (buffer != nullptr && count > 0) {
            buffer[0] = 0;
        }
        return -1;
    }
    const std::size_t copied = std::min(text.size(), count);
    std::copy_n(text.begin(), copied, buffer);
    if (text.size() < count) {
        buffer[text.size()] = 0;
        return static_cast<int>(text.size());
    }
    return text.size() == count && count <= 0x7FFFFFFF ? static_cast<int>(count) : -1;
}

int _snwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = _vsnwprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

int vswprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args) {
    std::u16string text;
    const bool isFormatted = FormatVa(text, format, args);
    if (buffer == nullptr || count == 0) {
        return -1;
    }
    if (!isFormatted) {
        buffer[0] = 0;
        return -1;
    }
    const std::size_t copied = std::min(text.size(), count - 1);
    std::copy_n(text.begin(), copied, buffer);
    buffer[copied] = 0;
    return text.size() < count ? static_cast<int>(text.size()) : -1;
}

int swprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = vswprintf(buffer, count, format, args);
    va_end(args);
    return result;
}

std::u16string platform::FormatWV(const WCHAR* format, va_list args) {
    std::u16string text;
    if (!FormatVa(text, format, args)) {
        std::u16string line = u"FormatW: refused format \"";
        line += format != nullptr ? format : u"(null)";
        line += u"\"\n";
        OutputDebugStringW(line.c_str());
        return {};
    }
    return text;
}

std::u16string platform::FormatW(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string text = FormatWV(format, args);
    va_end(args);
    return text;
}
