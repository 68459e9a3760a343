#include "testdata/tempdir.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"

#include <fstream>
#include <stdlib.h>

namespace testdata {

std::optional<std::string> ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    // One read of the size the file system gives (plus one byte, to meet the end at once), then
    // blocks until the end, for a file that grew or reports no size.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::size_t block = error ? std::size_t{1} << 16 : static_cast<std::size_t>(size) + 1;
    std::string bytes;
    while (in) {
        const std::size_t at = bytes.size();
        bytes.resize(at + block);
        in.read(bytes.data() + at, static_cast<std::streamsize>(block));
        bytes.resize(at + static_cast<std::size_t>(in.gcount()));
        block = std::size_t{1} << 16;
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

std::string CannotOpen(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return "cannot open " + path.string() + " from " + (error ? "?" : here.string()) +
           " (run the test program from its build folder)";
}

TempDeviceRoot::TempDeviceRoot()
    : m_previousRoot(platform::DeviceRoot()) {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "navdevice-XXXXXX").string();
    // Without a folder the root names one that cannot exist, so tests fail instead of writing
    // somewhere else.
    m_root = ::mkdtemp(pattern.data()) != nullptr ? std::filesystem::path(pattern)
                                                  : std::filesystem::path("/proc/navdevice-none");
    platform::SetDeviceRoot(m_root);
}

TempDeviceRoot::TempDeviceRoot(std::filesystem::path folder, bool keep)
    : m_previousRoot(platform::DeviceRoot())
    , m_keep(keep) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    const bool isMade = !error && std::filesystem::create_directories(folder, error) && !error;
    m_root = isMade ? std::move(folder) : std::filesystem::path("/proc/navdevice-none");
    platform::SetDeviceRoot(m_root);
}

TempDeviceRoot::~TempDeviceRoot() {
    platform::SetDeviceRoot(m_previousRoot);
    if (m_keep)
        return;
    std::error_code error;
    std::filesystem::remove_all(m_root, error);
}

std::filesystem::path TempDeviceRoot::HostPathOf(std::u16string_view devicePath) const {
    std::filesystem::path host = m_root;
    std::size_t at = 0;
    while (at <= devicePath.size()) {
        std::size_t end = devicePath.find_first_of(u"\\/", at);
        if (end == devicePath.npos) {
            end = devicePath.size();
        }
        if (end > at) {
            host /= platform::Utf16ToUtf8(devicePath.substr(at, end - at));
        }
        at = end + 1;
    }
    return host;
}

bool TempDeviceRoot::WriteFile(std::u16string_view devicePath, std::string_view bytes) const {
    const std::filesystem::path host = HostPathOf(devicePath);
    std::error_code error;
    std::filesystem::create_directories(host.parent_path(), error);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool TempDeviceRoot::WriteFile(std::u16string_view devicePath,
                               const std::vector<std::uint8_t>& bytes) const {
    return WriteFile(devicePath,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool TempDeviceRoot::MakeFolder(std::u16string_view devicePath) const {
    std::error_code error;
    std::filesystem::create_directories(HostPathOf(devicePath), error);
    return !error;
}

std::optional<std::string> TempDeviceRoot::ReadFile(std::u16string_view devicePath) const {
    return ReadHostFile(HostPathOf(devicePath));
}

bool TempDeviceRoot::Exists(std::u16string_view devicePath) const {
    std::error_code error;
    return std::filesystem::exists(HostPathOf(devicePath), error);
}

bool TempDeviceRoot::InstallModule(std::u16string_view fileName, std::u16string_view folder) const {
    std::u16string path(folder);
    path += u'\\';
    path += fileName;
    return WriteFile(path, std::string_view());
}

} // namespace testdata
