// Puts arbitrary bytes, from memory, in place of a logbook whose last line is a status line and
// writes the next status line, which replaces the file's last line in place: the scan for that
// line stays inside the file, the new line covers the old one and the file ends with a line.
#include "app/startup/logbook.h"
#include "testdata/tempdir.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

constexpr char16_t kFuzzLogbook[] = u"\\Fahrtenbuch.txt";

const testdata::TempDeviceRoot& FuzzRoot() {
    // The device root lives in memory where the host offers it.
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) {
        (void)setenv("TMPDIR", "/dev/shm", 1);
    }
    static const testdata::TempDeviceRoot root;
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const testdata::TempDeviceRoot& root = FuzzRoot();
    Logbook logbook(kFuzzLogbook);
    (void)root.WriteFile(kFuzzLogbook, "");
    logbook.WriteStatusEntry(nullptr, nullptr);
    const std::string before(reinterpret_cast<const char*>(data), size);
    if (!root.WriteFile(kFuzzLogbook, before)) {
        return 0;
    }
    logbook.WriteStatusEntry(nullptr, nullptr);
    const std::optional<std::string> after = root.ReadFile(kFuzzLogbook);
    if (!after || after->size() < before.size() || after->size() < 2 ||
        after->compare(after->size() - 2, 2, "\r\n") != 0) {
        __builtin_trap();
    }
    return 0;
}
