#include "positioning/matchersettings.h"

#include <atomic>

namespace {

std::atomic<std::int32_t> s_maxStreetPondering{kDefaultMaxStreetPondering};

bool Within(std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return value >= low && value <= high;
}

} // namespace

std::int32_t MaxStreetPondering() {
    return s_maxStreetPondering.load(std::memory_order_relaxed);
}

void SetMaxStreetPondering(std::int32_t value) {
    s_maxStreetPondering.store(value, std::memory_order_relaxed);
}

bool SettingsAreValid(const MatcherSettings& s, std::int32_t maxStreetPondering) {
    return Within(s.speedTolerance, 1, 12) && s.minIncremental >= 50 &&
           s.minIncremental <= s.areaSize && Within(s.bigThreshold, 24, 100) &&
           s.trackLength >= 100 && s.areaSize >= 200 && s.nearCrossingDistance <= 50 &&
           s.deceleratePercent <= 100 && Within(s.courseChangeCriteria, 5, 40) &&
           Within(s.calculateErrorStep, 10, 50) && s.zeroSpeed <= s.speedTolerance &&
           s.courseChangeHeadingTolerance >= s.courseChangeCriteria &&
           s.courseChangeHeadingTolerance >= s.normalHeadingTolerance &&
           Within(s.normalHeadingTolerance, 10, 90) && Within(s.expectedJump, 10, 40) &&
           maxStreetPondering >= 0 && s.nonDigitizedSpeedTolerance <= 30 &&
           s.maxTunnelRecoverTime <= 60 && s.tunnelCriteriaTime <= 15;
}
