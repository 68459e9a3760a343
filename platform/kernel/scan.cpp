#include "platform/kernel/codepage.h"
#include "platform/kernel/detail/formatengine.h"
#include "platform/kernel/format.h"
#include "platform/kernel/text.h"

#include <bit>
#include <climits>
#include <cstdarg>
#include <cstring>

namespace platform::detail {
namespace {

bool IsBlank(WCHAR c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(WCHAR c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 99;
}

struct Conversion {
    bool isSuppressed = false;
    std::size_t width = SIZE_MAX; // none
    int bytes = 4;                // integer size: h 2, hh 1, ll/I64 8
    bool isLong = false;          // l: double for f, wide for s and c
    bool isShort = false;         // h: narrow for s and c
    WCHAR type = 0;
};

void ParseConversion(const WCHAR*& p, Conversion& c) {
    if (*p == '*') {
        c.isSuppressed = true;
        ++p;
    }
    if (*p >= '0' && *p <= '9') {
        c.width = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            c.width =
                std::min<std::size_t>(c.width * 10 + static_cast<std::size_t>(*p - '0'), INT_MAX);
        }
    }
    if (p[0] == 'h' && p[1] == 'h') {
        c.bytes = 1;
        p += 2;
    } else if (p[0] == 'l' && p[1] == 'l') {
        c.bytes = 8;
        p += 2;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        c.bytes = 8;
        p += 3;
    } else if (*p == 'h') {
        c.bytes = 2;
        c.isShort = true;
        ++p;
    } else if (*p == 'l' || *p == 'w' || *p == 'L') {
        c.isLong = true;
        ++p;
    }
    c.type = *p;
    if (*p != 0) {
        ++p;
    }
}

// The input available to one conversion: at most width characters.
std::u16string_view Field(const WCHAR* in, std::size_t width) {
    std::size_t length = 0;
    while (length < width && in[length] != 0) {
        ++length;
    }
    return {in, length};
}

// Reads an integer in base (0: prefix decides) from field; returns the characters used, 0 when
// there is no number. The value wraps modulo 2^64.
std::size_t ReadInteger(std::u16string_view field, int base, std::uint64_t& value) {
    std::size_t i = 0;
    bool isNegative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        isNegative = field[i++] == '-';
    }
    const bool hasHexPrefix = i + 2 < field.size() && field[i] == '0' &&
                              (field[i + 1] == 'x' || field[i + 1] == 'X') &&
                              DigitValue(field[i + 2]) < 16;
    if ((base == 16 || base == 0) && hasHexPrefix) {
        i += 2;
        base = 16;
    } else if (base == 0) {
        base = i < field.size() && field[i] == '0' ? 8 : 10;
    }
    const std::size_t digits = i;
    value = 0;
    for (; i < field.size() && DigitValue(field[i]) < base; ++i) {
        value = value * static_cast<std::uint64_t>(base) +
                static_cast<std::uint64_t>(DigitValue(field[i]));
    }
    if (i == digits) {
        return 0;
    }
    if (isNegative) {
        value = 0 - value;
    }
    return i;
}

int BaseOf(WCHAR type) {
    switch (type) {
    case 'd':
    case 'u':
        return 10;
    case 'i':
        return 0;
    case 'o':
        return 8;
    default:
        return 16;
    }
}

enum class Outcome { Stored, Skipped, MatchFailure, InputFailure, Stop };

// Each reader returns the characters it used from field (0: no match) and stores the value
// unless the conversion is suppressed.
std::size_t ReadIntegerField(const Conversion& c, std::u16string_view field, ScanTargets& targets) {
    std::uint64_t value = 0;
    const std::size_t used = ReadInteger(field, BaseOf(c.type), value);
    if (used != 0 && !c.isSuppressed) {
        targets.StoreInteger(c.bytes, value);
    }
    return used;
}

std::size_t ReadRealField(const Conversion& c, std::u16string_view field, ScanTargets& targets) {
    const std::u16string bounded(field);
    WCHAR* end = nullptr;
    const double value = WcsToD(bounded.c_str(), &end);
    const auto used = static_cast<std::size_t>(end - bounded.c_str());
    if (used != 0 && !c.isSuppressed) {
        targets.StoreReal(c.isLong, value);
    }
    return used;
}

// A word (s, S) ends at a blank; characters (c, C) take exactly the width.
Outcome ReadTextField(const Conversion& c, std::u16string_view field, ScanTargets& targets,
                      bool hasSizes, std::size_t& used) {
    const bool isNarrow = !c.isLong && (c.isShort || c.type == 'S' || c.type == 'C');
    const bool isWord = c.type == 's' || c.type == 'S';
    used = 0;
    if (isWord) {
        while (used < field.size() && !IsBlank(field[used])) {
            ++used;
        }
    } else {
        if (field.size() < (c.width == SIZE_MAX ? 1 : c.width)) {
            return Outcome::InputFailure;
        }
        used = field.size();
    }
    if (!c.isSuppressed && !targets.StoreText(isNarrow, field.substr(0, used), isWord, hasSizes)) {
        return Outcome::Stop;
    }
    return Outcome::Stored;
}

// Runs one conversion at in; advances in past what it used.
Outcome Convert(const Conversion& c, const WCHAR* text, const WCHAR*& in, ScanTargets& targets,
                bool hasSizes) {
    if (c.type == 'n') {
        if (!c.isSuppressed) {
            targets.StoreInteger(c.bytes, static_cast<std::uint64_t>(in - text));
        }
        return Outcome::Skipped;
    }
    const bool isCharacters = c.type == 'c' || c.type == 'C';
    if (!isCharacters) {
        while (IsBlank(*in)) {
            ++in;
        }
    }
    const std::u16string_view field = Field(in, isCharacters && c.width == SIZE_MAX ? 1 : c.width);
    if (field.empty()) {
        return Outcome::InputFailure;
    }
    std::size_t used = 0;
    switch (c.type) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        used = ReadIntegerField(c, field, targets);
        break;
    case 'f':
    case 'e':
    case 'g':
    case 'E':
    case 'G':
        used = ReadRealField(c, field, targets);
        break;
    case 's':
    case 'S':
    case 'c':
    case 'C':
        if (const Outcome outcome = ReadTextField(c, field, targets, hasSizes, used);
            outcome != Outcome::Stored) {
            return outcome;
        }
        break;
    default:
        return Outcome::Stop; // %[ and unknown conversions are not supported
    }
    if (used == 0) {
        return Outcome::MatchFailure;
    }
    in += used;
    return c.isSuppressed ? Outcome::Skipped : Outcome::Stored;
}

const WCHAR* SkipBlanks(const WCHAR* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

// Matches one literal character of the format ("%%" is a '%' after optional blanks).
Outcome MatchLiteral(const WCHAR*& p, const WCHAR*& in) {
    if (*p == '%') {
        ++p;
        in = SkipBlanks(in);
    }
    if (*in == 0) {
        return Outcome::InputFailure;
    }
    if (*in != *p) {
        return Outcome::MatchFailure;
    }
    ++in;
    ++p;
    return Outcome::Skipped;
}

} // namespace

int ScanFrom(const WCHAR* text, const WCHAR* format, ScanTargets& targets, bool hasSizes) {
    if (text == nullptr || format == nullptr) {
        return -1;
    }
    const WCHAR* in = text;
    int stored = 0;
    int completed = 0; // conversions done, stored or skipped
    for (const WCHAR* p = format; *p != 0;) {
        Outcome outcome = Outcome::Skipped;
        if (IsBlank(*p)) {
            p = SkipBlanks(p);
            in = SkipBlanks(in);
            continue;
        }
        if (*p != '%' || p[1] == '%') {
            outcome = MatchLiteral(p, in);
        } else {
            ++p;
            Conversion c;
            ParseConversion(p, c);
            outcome = Convert(c, text, in, targets, hasSizes);
            completed += outcome == Outcome::Stored || outcome == Outcome::Skipped ? 1 : 0;
            stored += outcome == Outcome::Stored ? 1 : 0;
        }
        if (outcome == Outcome::InputFailure) {
            return completed == 0 ? -1 : stored;
        }
        if (outcome == Outcome::MatchFailure || outcome == Outcome::Stop) {
            return stored;
        }
    }
    return stored;
}

} // namespace platform::detail

namespace {

class VaTargets final : public platform::detail::ScanTargets {
public:
    explicit VaTargets(va_list args)
        : m_args(args) {}

    void StoreInteger(int bytes, std::uint64_t value) override {
        auto* target = m_args.Next<void*>();
        if (target == nullptr) {
            return;
        }
        const auto size = static_cast<std::size_t>(bytes);
        static_assert(std::endian::native == std::endian::little, "stores the low bytes");
        std::memcpy(target, &value, size);
    }
    void StoreReal(bool isDouble, double value) override {
        if (isDouble) {
            if (auto* target = m_args.Next<double*>()) {
                *target = value;
            }
        } else if (auto* target = m_args.Next<float*>()) {
            *target = static_cast<float>(value);
        }
    }
    bool StoreText(bool isNarrow, std::u16string_view text, bool isTerminated,
                   bool hasSizes) override {
        auto* target = m_args.Next<void*>();
        const std::size_t size = hasSizes ? m_args.Next<unsigned>() : SIZE_MAX;
        const std::size_t needed = text.size() + (isTerminated ? 1 : 0);
        if (target == nullptr) {
            return false;
        }
        if (needed > size) {
            if (size > 0 && isTerminated) {
                if (isNarrow) {
                    static_cast<char*>(target)[0] = 0;
                } else {
                    static_cast<WCHAR*>(target)[0] = 0;
                }
            }
            return false;
        }
        if (isNarrow) {
            const std::string narrow = platform::WideToAnsi(text);
            std::memcpy(target, narrow.c_str(), narrow.size() + (isTerminated ? 1 : 0));
        } else {
            auto* out = static_cast<WCHAR*>(target);
            std::copy(text.begin(), text.end(), out);
            if (isTerminated) {
                out[text.size()] = 0;
            }
        }
        return true;
    }

private:
    platform::detail::VaListCopy m_args;
};

int ScanVa(const WCHAR* text, const WCHAR* format, va_list args, bool hasSizes) {
    VaTargets targets(args);
    return platform::detail::ScanFrom(text, format, targets, hasSizes);
}

} // namespace

int swscanf(const WCHAR* text, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = ScanVa(text, format, args, false);
    va_end(args);
    return result;
}

int swscanf_s(const WCHAR* text, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = ScanVa(text, format, args, true);
    va_end(args);
    return result;
}
