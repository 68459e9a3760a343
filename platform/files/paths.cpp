#include "platform/files/paths.h"

#include "platform/files/detail/fileshare.h"
#include "platform/files/errors.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace platform {
namespace {

struct RootState {
    std::mutex mutex;
    std::filesystem::path root;
    bool isSet = false;
};

RootState& Root() {
    static RootState* state = new RootState; // never destroyed: used by exit-time code
    return *state;
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsFolder(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The host name of an existing entry of folder that equals name without letter case: the exact
// spelling when it exists, else the first match in host order of names (deterministic).
std::optional<std::string> FindEntry(const std::filesystem::path& folder,
                                     std::u16string_view name) {
    std::string exact = Utf16ToUtf8(name);
    if (Exists(folder / exact)) {
        return exact;
    }
    std::optional<std::string> best;
    for (std::string& hostName : detail::HostFolderEntries(folder)) {
        if (DeviceNamesEqual(Utf8ToUtf16(hostName), name) && (!best || hostName < *best)) {
            best = std::move(hostName);
        }
    }
    return best;
}

} // namespace

void SetDeviceRoot(const std::filesystem::path& hostFolder) {
    RootState& state = Root();
    std::lock_guard lock(state.mutex);
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(hostFolder, error);
    state.root = error ? hostFolder : absolute.lexically_normal();
    state.isSet = true;
}

std::filesystem::path DeviceRoot() {
    RootState& state = Root();
    std::lock_guard lock(state.mutex);
    if (!state.isSet) {
        const char* fromEnvironment = std::getenv("NAV_DEVICE_ROOT");
        std::filesystem::path chosen =
            fromEnvironment != nullptr && *fromEnvironment != 0 ? fromEnvironment : "device";
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(chosen, error);
        state.root = error ? chosen : absolute.lexically_normal();
        state.isSet = true;
    }
    return state.root;
}

std::vector<std::u16string> DevicePathComponents(std::u16string_view devicePath) {
    std::vector<std::u16string> components;
    std::size_t at = 0;
    while (at < devicePath.size()) {
        std::size_t end = at;
        while (end < devicePath.size() && !IsSeparator(devicePath[end])) {
            ++end;
        }
        const std::u16string_view part = devicePath.substr(at, end - at);
        if (part == u"..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!part.empty() && part != u".") {
            components.emplace_back(part);
        }
        at = end + 1;
    }
    return components;
}

std::u16string NormalizeDevicePath(std::u16string_view devicePath) {
    std::u16string normalized;
    for (const std::u16string& component : DevicePathComponents(devicePath)) {
        normalized += u'\\';
        normalized += component;
    }
    return normalized.empty() ? std::u16string(u"\\") : normalized;
}

bool DeviceNamesEqual(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool IsValidDeviceName(std::u16string_view name) {
    if (name.empty() || name.size() > 255) {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
    });
}

ResolvedPath ResolveDevicePath(std::u16string_view devicePath) {
    ResolvedPath resolved;
    const std::vector<std::u16string> components = DevicePathComponents(devicePath);
    if (!std::all_of(components.begin(), components.end(), IsValidDeviceName)) {
        return resolved; // BadName
    }
    std::filesystem::path host = DeviceRoot();
    if (!IsFolder(host)) {
        resolved.status = PathStatus::MissingFolder;
        return resolved;
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
        const bool isLast = i + 1 == components.size();
        std::optional<std::string> found = FindEntry(host, components[i]);
        if (!found) {
            resolved.status = isLast ? PathStatus::MissingLeaf : PathStatus::MissingFolder;
            resolved.host = isLast ? host / Utf16ToUtf8(components[i]) : std::filesystem::path();
            return resolved;
        }
        host /= *found;
        if (!isLast && !IsFolder(host)) {
            resolved.status = PathStatus::MissingFolder;
            return resolved;
        }
    }
    resolved.status = PathStatus::Exists;
    resolved.host = std::move(host);
    resolved.isRoot = components.empty();
    return resolved;
}

DWORD PathStatusError(PathStatus status) {
    switch (status) {
    case PathStatus::Exists:
        return ERROR_SUCCESS;
    case PathStatus::MissingLeaf:
        return ERROR_FILE_NOT_FOUND;
    case PathStatus::MissingFolder:
        return ERROR_PATH_NOT_FOUND;
    case PathStatus::BadName:
        break;
    }
    return ERROR_INVALID_NAME;
}

namespace detail {

std::vector<std::string> HostFolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(listing);
    return names;
}

} // namespace detail
} // namespace platform
