#pragma once
// Shared by the address dataset sources: the id that stands for none, and names read from the
// tables as the address lists show them.

#include "utilities/usefulcode/widetext.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tablefiles::detail {

inline constexpr std::uint32_t kNoDatasetId = 0xFFFFFFFF;

// An ANSI name from a table, widened and in title case.
[[nodiscard]] inline std::u16string TitleFromAnsi(std::string_view text) {
    return TitleCaseCopy(AnsiToWide(std::string(text).c_str()).c_str());
}

} // namespace tablefiles::detail
