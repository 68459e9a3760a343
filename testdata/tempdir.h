#pragma once
// A temporary device root for tests: creates an empty host folder, makes it the device root
// (platform/paths.h) and, when destroyed, restores the previous root and removes the folder with
// everything in it. Files are placed with their names exactly as written (host case).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

// The bytes of a host file, read in whole blocks, or nullopt when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadHostFile(const std::filesystem::path& path);

// A test's message for a data file or folder it could not open: test programs name theirs
// relative to their build folder, so the message names the folder the program runs in too.
[[nodiscard]] std::string CannotOpen(const std::filesystem::path& path);

class TempDeviceRoot {
public:
    TempDeviceRoot();
    // A root at a host folder of the caller's choice, made anew (whatever lay there is removed
    // first); with `keep` the folder stays when the root is destroyed (an install's staging
    // folder). Without a folder the root names one that cannot exist, as above.
    TempDeviceRoot(std::filesystem::path folder, bool keep);
    ~TempDeviceRoot();
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    [[nodiscard]] const std::filesystem::path& HostPath() const { return m_root; }

    // The host path of a device path taken literally ('\' and '/' as separators, no case
    // matching): where WriteFile puts it.
    [[nodiscard]] std::filesystem::path HostPathOf(std::u16string_view devicePath) const;

    // Creates the file (and its folders) with these bytes, replacing it; false on failure.
    [[nodiscard]] bool WriteFile(std::u16string_view devicePath, std::string_view bytes) const;
    [[nodiscard]] bool WriteFile(std::u16string_view devicePath,
                                 const std::vector<std::uint8_t>& bytes) const;
    [[nodiscard]] bool MakeFolder(std::u16string_view devicePath) const;
    // The bytes of a file, or nullopt when it cannot be read.
    [[nodiscard]] std::optional<std::string> ReadFile(std::u16string_view devicePath) const;
    [[nodiscard]] bool Exists(std::u16string_view devicePath) const;

    // Puts an empty file of a built-in module's name ("ziVur.dll") into a folder ("\Windows" by
    // default), so that LoadLibraryW finds the module.
    [[nodiscard]] bool InstallModule(std::u16string_view fileName,
                                     std::u16string_view folder = u"\\Windows") const;

private:
    std::filesystem::path m_root;
    std::filesystem::path m_previousRoot;
    bool m_keep = false;
};

} // namespace testdata
