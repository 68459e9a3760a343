// Decimal digits of doubles for the formatting engine. The value's exact decimal expansion is
// rounded by hand, so exact halves go away from zero as in the device's C runtime (the host's
// printf rounds them to even).

#include "platform/kernel/detail/formatengine.h"

#include <charconv>
#include <string>

namespace platform::detail {
namespace {

// value = 0.digits × 10^pointPos; no leading or trailing zeros; digits empty for zero.
struct Decimal {
    std::string digits;
    int pointPos = 0;
};

Decimal ExactDecimal(double magnitude) {
    // Every double has at most 1074 decimal places and 309 integer digits.
    char buffer[1500];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, 1074);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    std::string all(text.substr(0, point));
    if (point != std::string_view::npos) {
        all.append(text.substr(point + 1));
    }
    Decimal decimal;
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) {
        return decimal;
    }
    const std::size_t integerDigits = point == std::string_view::npos ? text.size() : point;
    decimal.pointPos = static_cast<int>(integerDigits) - static_cast<int>(first);
    const std::size_t last = all.find_last_not_of('0');
    decimal.digits = all.substr(first, last - first + 1);
    return decimal;
}

// Keeps `keep` significant digits, rounding an exact half (or more) up.
void RoundTo(Decimal& decimal, int keep) {
    if (decimal.digits.empty() || keep >= static_cast<int>(decimal.digits.size())) {
        return;
    }
    if (keep < 0) {
        decimal = Decimal{};
        return;
    }
    const bool isRoundingUp = decimal.digits[static_cast<std::size_t>(keep)] >= '5';
    decimal.digits.resize(static_cast<std::size_t>(keep));
    if (isRoundingUp) {
        int i = keep - 1;
        for (; i >= 0 && decimal.digits[static_cast<std::size_t>(i)] == '9'; --i) {
            decimal.digits[static_cast<std::size_t>(i)] = '0';
        }
        if (i < 0) {
            decimal.digits.insert(decimal.digits.begin(), '1');
            ++decimal.pointPos;
        } else {
            ++decimal.digits[static_cast<std::size_t>(i)];
        }
    }
    const std::size_t last = decimal.digits.find_last_not_of('0');
    decimal.digits.resize(last == std::string::npos ? 0 : last + 1);
}

char DigitAt(const Decimal& decimal, int index) {
    return index >= 0 && index < static_cast<int>(decimal.digits.size())
               ? decimal.digits[static_cast<std::size_t>(index)]
               : '0';
}

std::string Fixed(Decimal decimal, int precision, bool isAlternate) {
    RoundTo(decimal, decimal.pointPos + precision);
    std::string out;
    if (decimal.digits.empty() || decimal.pointPos <= 0) {
        out = "0";
    } else {
        for (int i = 0; i < decimal.pointPos; ++i) {
            out.push_back(DigitAt(decimal, i));
        }
    }
    if (precision > 0 || isAlternate) {
        out.push_back('.');
    }
    for (int i = 0; i < precision; ++i) {
        out.push_back(decimal.digits.empty() ? '0' : DigitAt(decimal, decimal.pointPos + i));
    }
    return out;
}

std::string Scientific(Decimal decimal, int precision, bool isAlternate, char e) {
    RoundTo(decimal, precision + 1);
    const int exponent = decimal.digits.empty() ? 0 : decimal.pointPos - 1;
    std::string out(1, DigitAt(decimal, 0));
    if (precision > 0 || isAlternate) {
        out.push_back('.');
    }
    for (int i = 1; i <= precision; ++i) {
        out.push_back(DigitAt(decimal, i));
    }
    out.push_back(e);
    out.push_back(exponent < 0 ? '-' : '+');
    const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    out.append(digits.size() < 3 ? 3 - digits.size() : 0, '0').append(digits);
    return out;
}

void StripTrailingZeros(std::string& text) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos) {
        return;
    }
    const std::size_t exponent = text.find_first_of("eE");
    const std::size_t end = exponent == std::string::npos ? text.size() : exponent;
    std::size_t cut = end;
    while (cut > point + 1 && text[cut - 1] == '0') {
        --cut;
    }
    if (cut == point + 1) {
        cut = point;
    }
    text.erase(cut, end - cut);
}

std::string General(const Decimal& decimal, int precision, bool isAlternate, char e) {
    const int significant = precision == 0 ? 1 : precision;
    Decimal rounded = decimal;
    RoundTo(rounded, significant);
    const int exponent = rounded.digits.empty() ? 0 : rounded.pointPos - 1;
    std::string out = exponent < -4 || exponent >= significant
                          ? Scientific(decimal, significant - 1, isAlternate, e)
                          : Fixed(decimal, significant - 1 - exponent, isAlternate);
    if (!isAlternate) {
        StripTrailingZeros(out);
    }
    return out;
}

} // namespace

std::u16string FloatDigits(double magnitude, WCHAR type, int precision, bool isAlternate) {
    const Decimal decimal = ExactDecimal(magnitude);
    const int digits = precision < 0 ? 6 : precision;
    const char e = type == 'E' || type == 'G' ? 'E' : 'e';
    std::string text;
    if (type == 'e' || type == 'E') {
        text = Scientific(decimal, digits, isAlternate, e);
    } else if (type == 'g' || type == 'G') {
        text = General(decimal, digits, isAlternate, e);
    } else {
        text = Fixed(decimal, digits, isAlternate);
    }
    return std::u16string(text.begin(), text.end());
}

} // namespace platform::detail
