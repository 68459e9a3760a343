#pragma once
// The input of the junction model's fuzz target: a scripted route (records with polylines and
// the streets at their crossings) and a scripted map, on a grid of 1/8192 degree (about 14 m)
// around 9.5 E 47.1 N, with the build's radius and the device rectangle.
//
// Layout (integers little-endian; a count beyond its limit reads as the limit, missing bytes
// as 0):
//   u8 cursor record, u16 radius metres, i16 left, i16 top, u16 width, u16 height,
//   u16 distance of a second junction (0: none), u8 radius factor in hundredths,
//   u8 record count (<= 32), records: u8 id, u8 flags (1 ring, 2 looked past), points,
//       u8 allowed count (<= 8), streets, u8 forbidden count (<= 8), streets;
//   u8 element count (<= 48), elements: u8 id, u8 word (1 ring, bits 1-2 direction code),
//       u8 type (0 1070, 1 1100, 2 5001, 3 200, n 1001 + n), points.
// points: u8 count (<= 16), then per point u8 gx, u8 gy: degrees 9.5 + (gx - 128) / 8192 and
// 47.1 + (gy - 128) / 8192; 0 is a huge value (3e38) and 255 not a number. street: u8 id,
// points. Ids: 0 is link 0, 255 link 0xFFFFFFFF.

#include <cstdint>
#include <vector>

namespace testdata {

struct JunctionInputPoint {
    std::uint8_t gx = 128;
    std::uint8_t gy = 128;
};

struct JunctionInputStreet {
    std::uint8_t id = 1;
    std::vector<JunctionInputPoint> points;
};

struct JunctionInputRecord {
    std::uint8_t id = 1;
    std::uint8_t flags = 0;
    std::vector<JunctionInputPoint> points;
    std::vector<JunctionInputStreet> allowed;
    std::vector<JunctionInputStreet> forbidden;
};

struct JunctionInputElement {
    std::uint8_t id = 1;
    std::uint8_t word = 4; // both ways
    std::uint8_t type = 0;
    std::vector<JunctionInputPoint> points;
};

struct JunctionModelInput {
    std::uint8_t cursor = 0;
    std::uint16_t radius = 200;
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::uint16_t width = 200;
    std::uint16_t height = 200;
    std::uint16_t secondDistance = 0;
    std::uint8_t radiusFactor = 0;
    std::vector<JunctionInputRecord> records;
    std::vector<JunctionInputElement> elements;
};

inline constexpr std::size_t kJunctionInputRecords = 32;
inline constexpr std::size_t kJunctionInputStreets = 8;
inline constexpr std::size_t kJunctionInputElements = 48;
inline constexpr std::size_t kJunctionInputPoints = 16;

[[nodiscard]] std::vector<std::uint8_t> EncodeJunctionModelInput(const JunctionModelInput& input);

// The seeds: a T junction with a street each side and a roundabout entered from the south.
[[nodiscard]] JunctionModelInput JunctionInputTJunction();
[[nodiscard]] JunctionModelInput JunctionInputRoundabout();

} // namespace testdata
