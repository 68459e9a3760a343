// The drive file's shaping over arbitrary replay text and car positions: it never crashes, and
// what it gives is whole lines, each ending in CR LF, with at least one GGA sentence for each
// parked second.
#include "app/scenario/scenariodrive.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

// Input: a flags byte (bits 0-1 the parked seconds, bit 2 a car), the car's longitude and
// latitude as two floats, then the replay text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 1 + 2 * sizeof(float);
    if (size < kHeader)
        return 0;
    const int parked = data[0] & 3;
    std::optional<GeoPoint> car;
    if ((data[0] & 4) != 0) {
        GeoPoint point{};
        std::memcpy(&point.x, data + 1, sizeof(float));
        std::memcpy(&point.y, data + 1 + sizeof(float), sizeof(float));
        car = point;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
    const std::string shaped = ShapeDriveText(text, car, parked);
    if (shaped.empty())
        return 0;
    if (shaped.size() < 2 || shaped.compare(shaped.size() - 2, 2, "\r\n") != 0)
        std::abort();
    std::size_t sentences = 0;
    for (std::size_t at = 0; (at = shaped.find("GGA", at)) != std::string::npos; at += 3)
        ++sentences;
    if (sentences < static_cast<std::size_t>(parked))
        std::abort();
    return 0;
}
