#pragma once
// Reads of the GPS settings file ("deziv.ini") that leave a missing file missing: a read of a
// missing settings file would create it empty, and an empty file then looks as if it held
// settings. Each read gives its default when the file is not there. Safe from any thread.

#include "platform/types.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace gpssettings {

[[nodiscard]] std::u16string GetString(LPCWSTR section, LPCWSTR key, const std::u16string& file,
                                       LPCWSTR defaultValue);
[[nodiscard]] INT GetInt(LPCWSTR section, LPCWSTR key, const std::u16string& file,
                         INT defaultValue);
[[nodiscard]] std::vector<std::optional<std::u16string>>
GetStrings(LPCWSTR section, std::span<const LPCWSTR> keys, const std::u16string& file);

// True when the file is there and defines the protocol that "Default GPS"/"GPS" names (default
// "NMEA") with at least one input sentence, so that positions can be read with it.
[[nodiscard]] bool IsUsable(const std::u16string& file);

} // namespace gpssettings
