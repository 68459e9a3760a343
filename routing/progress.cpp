#include "routing/progress.h"

#include "platform/kernel/time.h"

#include <algorithm>

namespace {

// The share as a whole percent; -1 when it cannot be told.
std::int32_t Percent(float cost, float estimate) {
    const float percent = cost / estimate * 100.0f;
    if (!(percent >= 0.0f)) {
        return -1;
    }
    return percent < 2147483520.0f ? static_cast<std::int32_t>(percent) : 2147483647;
}

} // namespace

void ProgressMeter::Start(float estimatedCost) {
    m_estimate = estimatedCost;
    m_lastReported = 0;
}

std::uint32_t ProgressMeter::Now() {
    return GetTickCount();
}

int ProgressMeter::Check(std::uint32_t& lastTick, float currentCost) {
    // Without an observer the answer is 6 whatever the time: the clock is not read.
    if (m_observer == nullptr) {
        return 6;
    }
    const std::uint32_t now = Now();
    if (static_cast<std::int32_t>(now - lastTick) <= static_cast<std::int32_t>(kIntervalMs)) {
        return 6;
    }
    if (m_observer->IsCancelled()) {
        return 0;
    }
    const std::int32_t percent = Percent(currentCost, m_estimate);
    if (percent > m_lastReported) {
        m_lastReported = percent;
        m_observer->ReportProgress(std::min(percent, 99));
    }
    lastTick = now;
    return 6;
}

void ProgressMeter::Finish() {
    if (m_observer != nullptr) {
        m_observer->ReportProgress(100);
    }
}
