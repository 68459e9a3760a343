#pragma once
// The navigation server: the one object through which the application reaches the navigation
// core. Made by CreateIOnboardServer from the retrieval engine (and the application's data
// location), held by a six::RefCntPtr. It takes route requests, keeps the current route and its
// manoeuvre advisor, follows the matched GPS position along the route, re-plans when the driver
// leaves it or asks to avoid the road ahead, lets the traffic handler flag blocked roads, and
// reports routes, positions, advice and traffic changes through its four event sources.
//
// Threads: the user-interface thread calls the operations; AdviceEvent and PositionEvent arrive
// on the GPS worker thread; RouteEvent on the thread whose request or re-plan made the route;
// TrafficEvent on the traffic handler's timer thread. RouteEvent from RequestRoute and from
// re-planning, and every AdviceEvent, fire with the server's (re-entrant) lock held: their
// handlers may call the server on the same thread, another thread's call waits.

#include "advisor/advice.h"
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "onboard/serverconfig.h"
#include "positioning/gpsreceiver.h"
#include "positioning/matchedposition.h"
#include "routing/routeservice.h"
#include "six/intfptr.h"
#include "six/refcntptr.h"
#include "tablefiles/datasets.h"
#include "tablefiles/housenumber.h"
#include "traffic/tmcmessagestore.h"
#include "traffic/tmcreceiver.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/eventsource.h"

#include <cstdint>
#include <span>
#include <vector>

namespace Onboard {

// A route request: where to, whether the route service may keep the heading first (flag), and
// the observer of the calculation's progress (may be null).
struct RouteRequest {
    RoutePositionPtr destination;
    std::uint8_t flag = 0;
    ProgressObserver* observer = nullptr;
};

class IOnboardServer {
public:
    IOnboardServer() = default;
    virtual ~IOnboardServer() = default;
    IOnboardServer(const IOnboardServer&) = delete;
    IOnboardServer& operator=(const IOnboardServer&) = delete;

    EventSource<AdvicePtr> AdviceEvent;                // the next manoeuvre advice
    EventSource<const MatchedPosition*> PositionEvent; // valid during the call
    EventSource<const RouteRequestResult*> RouteEvent; // valid during the call
    EventSource<> TrafficEvent;                        // traffic on the route changed

    // 1: always 0.
    virtual std::int32_t Reserved() = 0;
    // 2: a route from start to the request's destination; it becomes the current route (status
    // 6, "no road network", and no event without an engine).
    virtual RouteRequestResult& RequestRoute(RouteRequestResult& out, const MatchedPosition* start,
                                             const RouteRequest& request) = 0;
    // 3: one route per consecutive pair of destinations; RouteEvent for each, in order.
    virtual std::vector<RouteRequestResult>&
    RequestTour(std::vector<RouteRequestResult>& out,
                std::vector<RoutePositionPtr> destinations) = 0;
    // 4: a route between two positions; RouteEvent with it. The observer, when given, hears the
    // search's progress and may cancel it (status 0).
    virtual RouteRequestResult& RequestRouteBetween(RouteRequestResult& out,
                                                    const RoutePositionPtr& start,
                                                    const RoutePositionPtr& destination,
                                                    ProgressObserver* observer = nullptr) = 0;
    // 5 to 8: route positions made by the route service (null without one).
    virtual RoutePositionPtr& CreateStreetDestination(RoutePositionPtr& out,
                                                      ILocatedAddress& address,
                                                      const std::int16_t* houseNumber) = 0;
    virtual RoutePositionPtr& CreateElementSetDestination(RoutePositionPtr& out,
                                                          ElementCursorPtr elements) = 0;
    virtual RoutePositionPtr& CreatePositionDestination(RoutePositionPtr& out,
                                                        const std::uint32_t* elementId,
                                                        const GeoPoint* point) = 0;
    virtual RoutePositionPtr& CreateElementDestination(RoutePositionPtr& out,
                                                       const std::uint32_t* elementId) = 0;
    // 9, 10: the route service's options (null without one).
    virtual void SetRoutingOptions(const ExternalRouteOptions* options) = 0;
    [[nodiscard]] virtual const ExternalRouteOptions* GetRoutingOptions() = 0;
    // 11 to 13: flagged elements of the route service; false without one.
    virtual bool AddFlaggedElementsMarked(std::span<const std::uint32_t> keys,
                                          std::uint8_t flag) = 0;
    virtual bool AddFlaggedElements(std::span<const std::uint32_t> keys, std::uint8_t flag) = 0;
    virtual bool RemoveFlaggedElements(std::span<const std::uint32_t> keys) = 0;
    // 14 to 16: the parts the server holds (null without an engine).
    [[nodiscard]] virtual six::IntfPtr<IDatasets> GetDatasets() = 0;
    [[nodiscard]] virtual RetrievalEngine::RetrievalEnginePtr GetRetrievalEngine() = 0;
    [[nodiscard]] virtual six::RefCntPtr<TmcMessageStore> GetTmcMessageStore() = 0;
    // 17: the advice at the current matched position; null off the streets or without a route.
    virtual AdvicePtr& GetAdviceAtPosition(AdvicePtr& out) = 0;
    // 18: the databases found under the data folder.
    virtual void GetDatabases(DatabaseListPtr& out) = 0;
    // 19, 20: the alternative GPS device (to be given its source), and back to the serial one.
    virtual GpsReceiverPtr& OpenAlternativeGps(GpsReceiverPtr& out) = 0;
    virtual void CloseAlternativeGps() = 0;
    // 21: the TMC receiver, made and run on a thread of its own on the first call.
    [[nodiscard]] virtual six::RefCntPtr<TmcReceiver> GetTmcReceiver() = 0;
    // 22: the serial device's port detection.
    virtual std::int32_t DetectGpsPort(std::int16_t port) = 0;
    // 23: flags the route's records within distance metres ahead (flag 5) in place of the ones
    // flagged before; with replan, calculates the route again and fires its advice.
    virtual const std::vector<std::uint32_t>* AvoidRoadAhead(std::int32_t distance,
                                                             bool replan) = 0;
    // 24: the traffic handler's flags on or off (never re-plans by itself).
    virtual void EnableTrafficAvoidance(bool isOn) = 0;
    // 25: the language index of the configuration.
    [[nodiscard]] virtual std::int32_t GetLanguage() = 0;
    // 26: the settings every later advisor is made with.
    virtual void SetAdvisorSettings(const AdviceSettings* settings) = 0;
    // 27: no route any more.
    virtual void ClearRoute() = 0;
};

using OnboardServerPtr = six::RefCntPtr<IOnboardServer>;

} // namespace Onboard

// A server over the engine (may be null: then it has no route service, store or GPS manager);
// null when it cannot be allocated.
[[nodiscard]] Onboard::OnboardServerPtr
CreateIOnboardServer(const RetrievalEngine::RetrievalEnginePtr& engine);
// The same with the application's data location, which names the settings file and the data
// folder (may be null).
[[nodiscard]] Onboard::OnboardServerPtr
CreateIOnboardServer(const RetrievalEngine::RetrievalEnginePtr& engine,
                     const six::RefCntPtr<DataLocation>& dataLocation);
