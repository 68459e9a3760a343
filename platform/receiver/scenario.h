#pragma once
// The scenario that drives the receiver stand-in ("gpstmc.ini" beside the module file): what
// the GPS replays and what the simulated FM tuner finds. Parsed from memory; a plain value.

#include "platform/types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Frequencies in 0.1 MHz. Stations may lie from 875 to 1080.
inline constexpr DWORD kLowestStationFrequency = 875;
inline constexpr DWORD kBandTop = 1080;

struct ReceiverStation {
    DWORD frequency = 0;
    DWORD programmeId = 0;                     // "Pi", hexadecimal
    std::u16string name;                       // "Name" (code page 1252)
    std::u16string radiotext;                  // "Radiotext"
    std::vector<DWORD> alternativeFrequencies; // "Af", comma-separated, as written
    int rdsHealth = 0;                         // "RdsHealth"
    int tmcHealth = 0;                         // "TmcHealth"
    std::u16string groupsPath;                 // "Groups": device path, or relative to the
                                               // scenario's folder; empty: no groups
    DWORD groupsPerSecond = 11;                // "GroupsPerSecond"
};

struct ReceiverScenario {
    std::u16string replayPath;             // [Gps] "Replay"; empty: no GPS data
    DWORD cyclesPerSecond = 1;             // [Gps] "CyclesPerSecond"
    DWORD searchStepMs = 100;              // [Tuner] "SearchStepMs"
    DWORD acquireMs = 2000;                // [Tuner] "AcquireMs"
    std::optional<DWORD> notifyAfterMs;    // [Receiver] "NotifyAfterMs": one notification
    std::vector<ReceiverStation> stations; // [Station NNN], NNN the frequency; ascending

    // The station at that frequency, or null.
    [[nodiscard]] const ReceiverStation* StationAt(DWORD frequency) const;
};

// Limits of the values; a value outside them refuses the scenario.
inline constexpr DWORD kMaxCyclesPerSecond = 100;
inline constexpr DWORD kMaxGroupsPerSecond = 1000;
inline constexpr DWORD kMaxStepOrWaitMs = 3600000;
inline constexpr std::size_t kMaxScenarioFrequencies = 64; // entries of one "Af" list

// Reads a scenario's text. Null with a reason in *problem (naming the section and key) for a
// number that does not parse or lies outside its limits, a station section whose frequency
// lies outside 875..1080 or appears twice, or an "Af" list that is too long.
[[nodiscard]] std::optional<ReceiverScenario> ParseReceiverScenario(std::string_view text,
                                                                    std::string* problem);

} // namespace platform
