#include "app/scenario/scenariowatch.h"

#include "routing/routeiterator.h"

#include <cstdio>

namespace {

// The replay's pace: one fix a second of the clock.
constexpr std::uint64_t kFixIntervalMs = 1000;
// Real time a due fix is waited for, and how many misses end the waiting until fixes come again.
constexpr auto kFixWait = std::chrono::milliseconds(200);
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
        ++m_positions;
        if (position != nullptr && position->fix.positionStatus == 0)
            m_car = GeoPoint{position->fix.longitude, position->fix.latitude};
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
