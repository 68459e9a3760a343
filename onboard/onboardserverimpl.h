#pragma once
// The navigation server's implementation and the runner of the TMC receiver's reader loop.
// Lock order: the server's lock before the tracker's, the traffic handler's and the GPS
// manager's. The destructor holds no server lock while it stops the threads that call back into
// the server (the GPS worker, the receiver runner, the traffic handler's timer).

#include "onboard/onboardserver.h"
#include "onboard/routetracker.h"
#include "onboard/serverconfig.h"
#include "onboard/traffichandler.h"
#include "positioning/gpsmanager.h"
#include "tablefiles/datasetsimpl.h"

#include "platform/types.h"

#include <memory>
#include <optional>

namespace Onboard {

// Runs one TMC receiver's reader loop on a thread of its own. The event is set while no thread
// runs.
class TmcReceiverRunner {
public:
    TmcReceiverRunner();
    // Stops the thread; closes the event.
    ~TmcReceiverRunner();
    TmcReceiverRunner(const TmcReceiverRunner&) = delete;
    TmcReceiverRunner& operator=(const TmcReceiverRunner&) = delete;

    // False, changing nothing, while the thread runs.
    bool SetReceiver(six::RefCntPtr<TmcReceiver> receiver);
    // Stops a running thread, then starts one on the receiver; false without a receiver or when
    // no thread can be started.
    bool Start();
    // Asks the receiver to stop when the thread runs and waits for the thread without limit.
    void Stop();
    // Releases the receiver (after Stop).
    void Release();
    [[nodiscard]] bool IsRunning() const;

private:
    static DWORD ThreadProc(LPVOID parameter);

    six::RefCntPtr<TmcReceiver> m_receiver;
    HANDLE m_event = nullptr; // manual reset; set while no thread runs
    HANDLE m_thread = nullptr;
};

class OnboardServerImpl final : public IOnboardServer {
public:
    OnboardServerImpl(const RetrievalEngine::RetrievalEnginePtr& engine,
                      const six::RefCntPtr<DataLocation>& dataLocation);
    ~OnboardServerImpl() override;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    std::int32_t Reserved() override { return 0; }
    RouteRequestResult& RequestRoute(RouteRequestResult& out, const MatchedPosition* start,
                                     const RouteRequest& request) override;
    std::vector<RouteRequestResult>&
    RequestTour(std::vector<RouteRequestResult>& out,
                std::vector<RoutePositionPtr> destinations) override;
    RouteRequestResult& RequestRouteBetween(RouteRequestResult& out, const RoutePositionPtr& start,
                                            const RoutePositionPtr& destination,
                                            ProgressObserver* observer = nullptr) override;
    RoutePositionPtr& CreateStreetDestination(RoutePositionPtr& out, ILocatedAddress& address,
                                              const std::int16_t* houseNumber) override;
    RoutePositionPtr& CreateElementSetDestination(RoutePositionPtr& out,
                                                  ElementCursorPtr elements) override;
    RoutePositionPtr& CreatePositionDestination(RoutePositionPtr& out,
                                                const std::uint32_t* elementId,
                                                const GeoPoint* point) override;
    RoutePositionPtr& CreateElementDestination(RoutePositionPtr& out,
                                               const std::uint32_t* elementId) override;
    void SetRoutingOptions(const ExternalRouteOptions* options) override;
    const ExternalRouteOptions* GetRoutingOptions() override;
    bool AddFlaggedElementsMarked(std::span<const std::uint32_t> keys, std::uint8_t flag) override;
    bool AddFlaggedElements(std::span<const std::uint32_t> keys, std::uint8_t flag) override;
    bool RemoveFlaggedElements(std::span<const std::uint32_t> keys) override;
    six::IntfPtr<IDatasets> GetDatasets() override;
    RetrievalEngine::RetrievalEnginePtr GetRetrievalEngine() override;
    six::RefCntPtr<TmcMessageStore> GetTmcMessageStore() override;
    AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) override;
    void GetDatabases(DatabaseListPtr& out) override;
    GpsReceiverPtr& OpenAlternativeGps(GpsReceiverPtr& out) override;
    void CloseAlternativeGps() override;
    six::RefCntPtr<TmcReceiver> GetTmcReceiver() override;
    std::int32_t DetectGpsPort(std::int16_t port) override;
    const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t distance, bool replan) override;
    void EnableTrafficAvoidance(bool isOn) override;
    std::int32_t GetLanguage() override;
    void SetAdvisorSettings(const AdviceSettings* settings) override;
    void ClearRoute() override;

    // Handlers of the parts' events.
    void OpenDatabases();
    void OnGpsPosition(const MatchedPosition* position);
    void OnRouteProgress(RouteIteratorPtr cursor, const MatchedPosition* position);
    void Reroute();
    void OnTrafficDecision(const char* text, bool replan);
    void OnTrafficDecisionFlag(bool replan);

    // The sum of the records' lengths from the cursor on; -1 without a cursor or at its end.
    [[nodiscard]] static std::int32_t RemainingLength(RouteIteratorPtr cursor);
    // Metres from the matched point to the end of its road element in the direction of travel;
    // 0 when the element, its geometry or the matched segment in it is not found.
    [[nodiscard]] static double DistanceToElementEnd(const MatchedPosition& position,
                                                     const std::vector<GeoPoint>& points);

private:
    // The route request's body, under the lock.
    RouteRequestResult RequestRouteLocked(const MatchedPosition& start,
                                          const RoutePositionPtr& destination, std::uint8_t flag,
                                          ProgressObserver* observer);
    // Message 1404 for each advisor file of the new route's advisor that could not be used whole.
    void TellUnusableAdvisorFiles();
    // Message 1407 for each country's driving side in the general settings that is no side word,
    // where roads of the route belong to that country.
    void TellUnusableDrivingSides(const RouteRequestResult& result);
    // An empty route to the tracker, the traffic handler and the GPS manager; no advisor.
    void SetEmptyRoute();
    void Replan();

    OwnerHandlerList m_handlers;
    CritSect m_lock;
    RetrievalEngine::RetrievalEnginePtr m_engine;
    DatasetsPtr m_datasets;
    RouteServicePtr m_routeService;
    six::RefCntPtr<TmcMessageStore> m_tmcStore;
    six::RefCntPtr<TmcReceiver> m_tmcReceiver;
    TmcReceiverRunner m_receiverRunner;
    std::unique_ptr<RouteTracker> m_tracker;
    std::vector<std::uint32_t> m_flaggedElements;
    std::unique_ptr<TrafficHandler> m_trafficHandler;
    AdvisorPtr m_advisor;
    AdviceSettings m_advisorSettings{};
    std::optional<ServerConfig> m_config;
    GpsManagerPtr m_gps;
    DWORD m_lastReroute = 0;
};

} // namespace Onboard
