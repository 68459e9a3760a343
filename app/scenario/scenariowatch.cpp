#include "app/scenario/scenariowatch.h"

namespace {

// The replay's pace: one fix a second of the clock.
constexpr std::uint64_t kFixIntervalMs = 1000;
// Real time a due fix is waited for, and how many misses end the waiting until fixes come again.
constexpr auto kFixWait = std::chrono::milliseconds(200);
constexpr int kMaxMissedFixes = 3;

} // namespace

void ScenarioWatch::Watch(Onboard::IOnboardServer* server) {
    if (server == nullptr || server == m_server)
        return;
    m_server = server;
    server->RouteEvent.Connect(this, &ScenarioWatch::OnRoute);
    server->PositionEvent.Connect(this, &ScenarioWatch::OnPosition);
}

void ScenarioWatch::Forget() {
    std::lock_guard lock(m_mutex);
    m_route.reset();
    m_server = nullptr;
    m_isDriving = false;
}

std::optional<RouteRequestResult> ScenarioWatch::CurrentRoute() const {
    std::lock_guard lock(m_mutex);
    return m_route;
}

void ScenarioWatch::OnRoute(const RouteRequestResult* result) {
    std::lock_guard lock(m_mutex);
    if (result != nullptr && result->status == routestatus::kFound && result->route)
        m_route = *result;
    else
        m_route.reset();
}

void ScenarioWatch::OnPosition(const MatchedPosition*) {
    {
        std::lock_guard lock(m_mutex);
        ++m_positions;
    }
    m_positionArrived.notify_all();
}

void ScenarioWatch::StartDrive(std::uint64_t tickMs) {
    m_isDriving = true;
    m_lastFixTickMs = tickMs;
    m_missedFixes = 0;
    std::lock_guard lock(m_mutex);
    m_seenPositions = m_positions;
    m_drivePositions = m_positions;
}

void ScenarioWatch::KeepPace(ScenarioClock& clock) {
    if (!m_isDriving || clock.IsPaced())
        return;
    const std::uint64_t tick = clock.Virtual().TickMs();
    std::unique_lock lock(m_mutex);
    if (m_positions != m_seenPositions) {
        m_seenPositions = m_positions;
        m_missedFixes = 0;
        m_lastFixTickMs = tick;
        return;
    }
    if (tick - m_lastFixTickMs < kFixIntervalMs || m_missedFixes >= kMaxMissedFixes)
        return;
    m_lastFixTickMs = tick;
    if (m_positionArrived.wait_for(lock, kFixWait,
                                   [this] { return m_positions != m_seenPositions; })) {
        m_seenPositions = m_positions;
        m_missedFixes = 0;
    } else {
        ++m_missedFixes;
    }
}
