#pragma once
// The device file system: one host folder (the device root) stands for it. Device paths use '\'
// or '/' as separators, have no drive and no current folder (a path without a leading separator
// starts at the root too), and every component is found without letter case (Latin-1 folding),
// as on the device. Host names are UTF-8. Safe from any thread.

#include "platform/types.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Sets the host folder that stands for the device. Until set it is $NAV_DEVICE_ROOT, or
// "./device" of the working folder at first use.
void SetDeviceRoot(const std::filesystem::path& hostFolder);
[[nodiscard]] std::filesystem::path DeviceRoot();

enum class PathStatus {
    Exists,        // the whole path names an existing file or folder
    MissingLeaf,   // all folders exist, the last component does not
    MissingFolder, // a folder on the way is missing or is a file
    BadName,       // a component has a character the device does not allow in names
};

struct ResolvedPath {
    PathStatus status = PathStatus::BadName;
    std::filesystem::path host; // for Exists and MissingLeaf: the host path to use
    bool isRoot = false;        // the path names the root itself
};

// Resolves a device path against the device root. Existing components take their stored case;
// a missing last component keeps the caller's case (so a new file gets the name as written).
// "." components are dropped and ".." goes up (never above the root).
[[nodiscard]] ResolvedPath ResolveDevicePath(std::u16string_view devicePath);

// The components of a device path after "." and ".." are applied.
[[nodiscard]] std::vector<std::u16string> DevicePathComponents(std::u16string_view devicePath);

// "\A\b" with single backslashes and the caller's case; "\" for the root.
[[nodiscard]] std::u16string NormalizeDevicePath(std::u16string_view devicePath);

// Two names (or normalised paths) equal without letter case.
[[nodiscard]] bool DeviceNamesEqual(std::u16string_view a, std::u16string_view b);

// True for a single file or folder name the device allows: 1..255 characters, no control
// characters and none of \ / : * ? " < > |.
[[nodiscard]] bool IsValidDeviceName(std::u16string_view name);

// The Win32 error for a status that is not Exists (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_INVALID_NAME).
[[nodiscard]] DWORD PathStatusError(PathStatus status);

} // namespace platform
