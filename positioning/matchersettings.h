#pragma once
// The map matcher's tuning values (INI section "Snaping"), their defaults and validity check, and
// the process-wide cap of a street link's weight.

#include <cstdint>

struct MatcherSettings {
    std::uint32_t speedTolerance = 5;                // km/h
    std::uint32_t minIncremental = 200;              // metres, only validated
    std::uint32_t bigThreshold = 30;                 // error points
    std::uint32_t routeTolerance = 5;                // score points
    std::uint32_t trackLength = 300;                 // metres
    std::uint32_t areaSize = 400;                    // metres
    std::uint32_t nearCrossingDistance = 15;         // metres, only validated
    std::uint32_t deceleratePercent = 50;            // percent, only validated
    std::uint32_t courseChangeCriteria = 25;         // degrees
    std::uint32_t calculateErrorStep = 20;           // metres
    std::uint32_t zeroSpeed = 3;                     // km/h
    std::uint32_t courseChangeHeadingTolerance = 60; // degrees
    std::uint32_t normalHeadingTolerance = 40;       // degrees
    std::uint32_t expectedJump = 25;                 // metres
    std::uint32_t nonDigitizedSpeedTolerance = 20;   // km/h
    std::uint32_t maxTunnelRecoverTime = 25;         // seconds
    std::uint32_t tunnelCriteriaTime = 5;            // seconds

    friend bool operator==(const MatcherSettings&, const MatcherSettings&) = default;
};

inline constexpr std::int32_t kDefaultMaxStreetPondering = 3;

// The cap of a street link's weight, one value for the whole process (written by the settings
// reader; tests put the default back with SetMaxStreetPondering).
[[nodiscard]] std::int32_t MaxStreetPondering();
void SetMaxStreetPondering(std::int32_t value);

// The ten range conditions on the values; maxStreetPondering is read as a signed value.
[[nodiscard]] bool SettingsAreValid(const MatcherSettings& settings,
                                    std::int32_t maxStreetPondering);
