#pragma once
// The names of the demo install that the parts of its installer share: the files by which an
// install is recognised and the host paths of device paths below a root.

#include "tools/install/demoinstall.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace demoinstall {

inline constexpr char kProgramFile[] = "navigator";
inline constexpr char kSettingsFile[] = "PK.ini";

// Whether anything is at a host path (a link not followed).
inline bool IsThere(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// The text in lower case (ASCII letters).
inline std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Why a copy to `to` from `from` failed, naming both; empty without an error.
inline std::string CopyProblem(const std::filesystem::path& to, const std::filesystem::path& from,
                               const std::error_code& error) {
    return error ? to.string() + ": cannot be copied from " + from.string() + ": " + error.message()
                 : "";
}

// A device path in the database folder.
inline std::u16string Data(std::u16string_view rest) {
    return std::u16string(kDataFolder) + std::u16string(rest);
}

// The host path below a root of a device path ("\Data\Liechtenstein" gives
// "Data/Liechtenstein").
inline std::filesystem::path HostRelative(std::u16string_view devicePath) {
    std::filesystem::path path;
    for (std::size_t at = 0; at < devicePath.size();) {
        std::size_t end = devicePath.find(u'\\', at);
        end = end == std::u16string_view::npos ? devicePath.size() : end;
        if (end > at)
            path /= platform::Utf16ToUtf8(std::u16string(devicePath.substr(at, end - at)));
        at = end + 1;
    }
    return path;
}

} // namespace demoinstall
