#pragma once
// What a scenario run follows of the navigation server: its newest route (for the drive) and
// the positions the GPS replay publishes, so that a stepped clock does not run ahead of the
// replay thread. The server's handlers run on its threads; the rest on the user-interface
// thread.

#include "app/scenario/scenarioclock.h"
#include "onboard/onboardserver.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A route event of the server as the run saw it: the step it came in, its status and records.
struct ReportedRoute {
    std::string step;
    std::uint32_t status = 0;
    std::int32_t length = 0;
    std::vector<RouteRecord> records;
};

// The routes as the run's "routes.txt" holds them, one a line, fields separated by tabs: the
// step, the status, the length in metres, the end (longitude,latitude: the last record's last
// point, else where it is entered; empty without records) and the records, each
// "link,longitude,latitude,metres", separated by ";".
[[nodiscard]] std::string FormatRoutes(const std::vector<ReportedRoute>& routes);

class ScenarioWatch {
public:
    // Connects to the server's route and position events, once per server (not owned; its
    // events end the connections when it goes).
    void Watch(Onboard::IOnboardServer* server);
    // Drops the route kept (when the program has ended).
    void Forget();
    // Names the step the following route events are reported under.
    void SetStep(const std::string& name);
    // Every route event since the run began, oldest first.
    [[nodiscard]] std::vector<ReportedRoute> Routes() const;
    // The newest route the server reported, when it was found.
    [[nodiscard]] std::optional<RouteRequestResult> CurrentRoute() const;
    // Where the newest fix placed the car, when one had a position.
    [[nodiscard]] std::optional<GeoPoint> CarPosition() const;
    // From now on the stepped clock waits for the replay's fixes: the first a second on, unless a
    // drive is on already (the replay keeps its pace from one file to the next).
    void StartDrive(std::uint64_t tickMs);
    // With a drive on a stepped clock: when a fix is due (the replay's pace after the tick the
    // last one was filled at), waits for the replay thread to publish it and the server to take
    // it up, so that the clock does not run ahead of the replay however busy the machine is.
    // After kMaxMissedFixes fixes that did not come in time, waits no more until one comes.
    // Positions without receiver data (GpsFix::kHdopNoData: another source in the replay's place
    // that hears no receiver) are no fixes: each look that finds only them counts as a miss.
    // True when the wait for a fix ran out.
    bool KeepPace(ScenarioClock& clock);
    // How far a stepped clock may move on from tickMs, at most ms: up to the tick the next fix
    // is due at, so that the replay's fixes are filled at the same ticks in every run.
    [[nodiscard]] std::uint64_t ClockStep(std::uint64_t tickMs, std::uint64_t ms) const;
    // How many of the replay's fixes KeepPace has taken up since the drive started.
    [[nodiscard]] std::uint64_t FixesTakenUp() const { return m_seenPositions - m_drivePositions; }

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnRoute(const RouteRequestResult* result);
    void OnPosition(const MatchedPosition* position);
    // Takes up the positions published since the last look (m_mutex held): the next fix is due
    // a pace after the tick the newest one was filled at.
    void TakeUpFixes(std::uint64_t tickMs);

    mutable std::mutex m_mutex;
    std::condition_variable m_positionArrived;
    std::optional<RouteRequestResult> m_route;
    std::vector<ReportedRoute> m_routes;
    std::string m_step;
    std::uint64_t m_positions = 0;       // with receiver data
    std::uint64_t m_silentPositions = 0; // without
    std::optional<GeoPoint> m_car;
    std::uint32_t m_fixTick = 0; // GetTickCount when the newest position's fix was filled
    // User-interface thread only.
    Onboard::IOnboardServer* m_server = nullptr;
    bool m_isDriving = false;
    std::uint64_t m_seenPositions = 0;
    std::uint64_t m_seenSilentPositions = 0;
    std::uint64_t m_drivePositions = 0; // m_positions when the drive started
    std::uint64_t m_dueTickMs = 0;      // when the next fix is due
    int m_missedFixes = 0;
    // Last, so that the connections end before the members they write go.
    OwnerHandlerList m_handlers;
};
