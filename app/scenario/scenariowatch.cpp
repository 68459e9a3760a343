#include "app/scenario/scenariowatch.h"

#include "routing/routeiterator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// The replay's pace: one fix a second of the clock.
constexpr std::uint64_t kFixIntervalMs = 1000;
// Real time a due fix is waited for: slices, after each of which the clock's keeper hears that
// the user-interface thread is not stuck (it would move the stepped clock on by itself), and
// how many of them. A loaded machine may take its time with the replay's and the server's
// threads; the wait ends as soon as the fix is there.
constexpr auto kFixWaitSlice = std::chrono::milliseconds(100);
constexpr int kFixWaitSlices = 20;
// Fixes that do not come in time end the waiting for the rest of the drive (a replay that
// stopped, or a source of another pace), so that a run is slowed down by them once only.
constexpr int kMaxMissedFixes = 3;

} // namespace

std::string FormatRoutes(const std::vector<ReportedRoute>& routes) {
    const auto point = [](float x, float y) {
        char text[48];
        (void)std::snprintf(text, sizeof text, "%.6f,%.6f", static_cast<double>(x),
                            static_cast<double>(y));
        return std::string(text);
    };
    std::string out;
    for (const ReportedRoute& route : routes) {
        out += route.step + '\t' + std::to_string(route.status) + '\t' +
               std::to_string(route.length) + '\t';
        if (!route.records.empty()) {
            const RouteRecord& last = route.records.back();
            out += last.polyline.empty() ? point(last.x, last.y)
                                         : point(last.polyline.back().x, last.polyline.back().y);
        }
        out += '\t';
        for (std::size_t i = 0; i < route.records.size(); ++i) {
            const RouteRecord& record = route.records[i];
            out += (i == 0 ? "" : ";") + std::to_string(record.linkId) + ',' +
                   point(record.x, record.y) + ',' + std::to_string(record.length);
        }
        out += '\n';
    }
    return out;
}

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

void ScenarioWatch::SetStep(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_step = name;
}

std::vector<ReportedRoute> ScenarioWatch::Routes() const {
    std::lock_guard lock(m_mutex);
    return m_routes;
}

void ScenarioWatch::OnRoute(const RouteRequestResult* result) {
    ReportedRoute reported;
    if (result != nullptr) {
        reported.status = result->status;
        reported.length = result->length;
        for (RouteIteratorPtr it = GetRouteIterator(*result); it && it->IsValid(); it->Next())
            reported.records.push_back(it->Current());
    }
    std::lock_guard lock(m_mutex);
    reported.step = m_step;
    m_routes.push_back(std::move(reported));
    if (result != nullptr && result->status == routestatus::kFound && result->route)
        m_route = *result;
    else
        m_route.reset();
}

std::optional<GeoPoint> ScenarioWatch::CarPosition() const {
    std::lock_guard lock(m_mutex);
    return m_car;
}

void ScenarioWatch::OnPosition(const MatchedPosition* position) {
    {
        std::lock_guard lock(m_mutex);
        if (position != nullptr && position->fix.hdop == GpsFix::kHdopNoData) {
            // The source hears no receiver: no fix of a replay.
            ++m_silentPositions;
        } else {
            ++m_positions;
            if (position != nullptr) {
                m_fixTick = position->fix.tick;
                if (position->fix.positionStatus == 0)
                    m_car = GeoPoint{position->fix.longitude, position->fix.latitude};
            }
        }
    }
    m_positionArrived.notify_all();
}

void ScenarioWatch::TakeUpFixes(std::uint64_t tickMs) {
    const bool isSilent = m_silentPositions != m_seenSilentPositions;
    m_seenSilentPositions = m_silentPositions;
    if (m_positions == m_seenPositions) {
        // Positions without receiver data and no fix: another source (the serial device hearing
        // no receiver) has taken the replay's place. They count as fixes missed, so that the
        // clock soon no longer waits for the replay's.
        if (isSilent && m_missedFixes < kMaxMissedFixes) {
            ++m_missedFixes;
            m_dueTickMs = tickMs + kFixIntervalMs;
        }
        return;
    }
    // The tick the newest fix was filled at, from its low 32 bits; a tick ahead of the clock
    // (none of the replay's) counts as now.
    const std::uint32_t back = static_cast<std::uint32_t>(tickMs) - m_fixTick;
    const std::uint64_t fixMs = back <= tickMs && back < (1U << 31) ? tickMs - back : tickMs;
    m_seenPositions = m_positions;
    if (m_missedFixes < kMaxMissedFixes)
        m_missedFixes = 0;
    m_dueTickMs = fixMs + kFixIntervalMs;
}

void ScenarioWatch::StartDrive(std::uint64_t tickMs) {
    std::lock_guard lock(m_mutex);
    TakeUpFixes(tickMs);
    // The replay's first fix comes a second after it was given the file; a replay that drives
    // already keeps its pace with the next one.
    if (!m_isDriving || m_missedFixes >= kMaxMissedFixes)
        m_dueTickMs = tickMs + kFixIntervalMs;
    m_isDriving = true;
    m_missedFixes = 0;
    m_drivePositions = m_positions;
}

bool ScenarioWatch::KeepPace(ScenarioClock& clock) {
    if (!m_isDriving || clock.IsPaced())
        return false;
    const std::uint64_t tick = clock.Virtual().TickMs();
    std::unique_lock lock(m_mutex);
    if (m_positions == m_seenPositions && tick >= m_dueTickMs && m_missedFixes < kMaxMissedFixes) {
        const auto hasCome = [this] {
            return m_positions != m_seenPositions || m_silentPositions != m_seenSilentPositions;
        };
        for (int slice = 0; slice < kFixWaitSlices && !hasCome(); ++slice) {
            (void)m_positionArrived.wait_for(lock, kFixWaitSlice, hasCome);
            clock.NoteIdle();
        }
        if (!hasCome()) {
            ++m_missedFixes;
            m_dueTickMs = tick + kFixIntervalMs;
            return true;
        }
    }
    TakeUpFixes(tick);
    return false;
}

std::uint64_t ScenarioWatch::ClockStep(std::uint64_t tickMs, std::uint64_t ms) const {
    if (!m_isDriving || m_missedFixes >= kMaxMissedFixes || m_dueTickMs <= tickMs)
        return ms;
    return std::min(ms, m_dueTickMs - tickMs);
}
