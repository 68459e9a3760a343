#pragma once
// Writes X authority files (the file XAUTHORITY names, ~/.Xauthority by default), where X
// clients find the authorisation a display asks of them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testdata {

// One entry: the display it is for (its address family, address and number in decimal) and the
// authorisation for it.
struct XauthorityEntry {
    static constexpr std::uint16_t kLocal = 256; // a display of this host, by the host's name
    std::uint16_t family = kLocal;
    std::string address;
    std::string number;
    std::string name = "MIT-MAGIC-COOKIE-1"; // the authorisation protocol
    std::string data;                        // its cookie
};

// Writes entries as an X authority file, replacing it: each its family (16 bits, most
// significant byte first), then its address, number, name and data, each a 16-bit length in the
// same order and its bytes. False when it cannot be written.
[[nodiscard]] bool WriteXauthorityFile(const std::filesystem::path& file,
                                       const std::vector<XauthorityEntry>& entries);

} // namespace testdata
