#pragma once
// Text helpers shared by the sources of the spoken advice builder.

#include <string>
#include <string_view>

namespace advisor::detail {

// The value in decimal digits, with a '-' when negative.
[[nodiscard]] inline std::u16string Decimal(long long value) {
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

// The advice name of an advice text: everything before its first ';'.
[[nodiscard]] inline std::u16string AdviceName(const std::u16string& text) {
    return text.substr(0, text.find(u';'));
}

[[nodiscard]] inline bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

// True when a phrase says something: a text of blanks only, or none, gives no sample to play.
[[nodiscard]] inline bool IsWorded(std::u16string_view text) {
    return text.find_first_not_of(u' ') != std::u16string_view::npos;
}

} // namespace advisor::detail
