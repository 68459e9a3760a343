#pragma once
// Readers of the receiver stand-in's replay files, from memory: RDS group files (one group as
// hexadecimal text per line) and NMEA 0183 byte files cut into cycles. Pure functions.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Blocks A, B, C and D of one RDS group.
using RdsGroup = std::array<std::uint16_t, 4>;

struct RdsGroupList {
    std::vector<RdsGroup> groups; // in file order
    std::size_t refusedLines = 0; // lines of neither form (blank lines are not counted)
};

// One group per line (LF or CR LF; the last line may lack its end): 16 hexadecimal digits of
// either case give A, B, C, D; 10 digits give a group 8A without programme identification
// (A = 0, B = 0x8000 | the first two digits, then C and D), the short form of RDS-TMC logs.
// Blanks and tabs around the digits are ignored; any other line is refused.
[[nodiscard]] RdsGroupList ParseRdsGroups(std::string_view text);

// The latest sentence of each kind the stand-in reports; empty when a cycle has none.
struct NmeaCycle {
    std::string gga;
    std::string vtg;
    std::string rmc;

    friend bool operator==(const NmeaCycle&, const NmeaCycle&) = default;
};

// Sentences longer than this (with "$", checksum and CR LF) are dropped: the library's callers
// read them into 255-byte buffers.
inline constexpr std::size_t kMaxNmeaSentence = 254;

// Cuts an NMEA byte stream into cycles, each from one GGA sentence to the next (sentences
// before the first GGA belong to the first cycle). Of each cycle it keeps the last GGA, VTG and
// RMC sentence (any talker), each as "$", the text, "*", a checksum and CR LF: a sentence
// without checksum gets its two upper-case hexadecimal digits, one with a checksum keeps it as
// written. Other sentences and bytes outside sentences are ignored. No cycle without a GGA,
// VTG or RMC sentence.
[[nodiscard]] std::vector<NmeaCycle> ParseNmeaCycles(std::string_view bytes);

} // namespace platform
