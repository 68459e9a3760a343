#pragma once
// The route service: the one object through which the navigation server reaches routing. It owns
// the open road network and a persistent router for requests from the current position, makes
// route positions, and calculates routes into results that each own a snapshot of their records.
// Every calculation runs under the service's lock, so option and flagged-element changes wait
// for it and the reverse.

#include "basiccomp/retrievalengine/code/ielementcursor.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "positioning/matchedposition.h"
#include "routing/flaggedelements.h"
#include "routing/progress.h"
#include "routing/routeiterator.h"
#include "routing/routeoptions.h"
#include "routing/routeposition.h"
#include "routing/routepositionimpl.h"
#include "routing/routercore.h"

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

using RoutePositionPtr = std::shared_ptr<RoutePosition>;
using RouterCorePtr = std::shared_ptr<RouterCore>;

// Route statuses of a request's result.
namespace routestatus {
inline constexpr std::uint32_t kCancelled = 0;
inline constexpr std::uint32_t kFailed = 1;
inline constexpr std::uint32_t kNoStart = 2;
inline constexpr std::uint32_t kNoDestination = 3;
inline constexpr std::uint32_t kStartIsDestination = 5;
inline constexpr std::uint32_t kNoNetwork = 6;
inline constexpr std::uint32_t kFound = 8;
} // namespace routestatus

// The route status of a router result code; statuses 5 and 8 carry a route.
[[nodiscard]] std::uint32_t RouteStatusOf(std::int32_t routerCode);
[[nodiscard]] constexpr bool StatusHasRoute(std::uint32_t status) {
    return status == routestatus::kStartIsDestination || status == routestatus::kFound;
}

struct RouteRequestResult {
    explicit RouteRequestResult(std::uint32_t status = routestatus::kFailed)
        : status(status) {}

    std::uint32_t status;
    RouteIteratorPtr route;      // null when no route was built
    std::int32_t length = 0;     // metres
    std::int32_t travelTime = 0; // seconds
    RoutePositionPtr start;
    RoutePositionPtr destination;
};

// The network of a ".rd" or ".RD" file (no other spelling); null when the path has another or no
// extension or the network cannot be loaded.
[[nodiscard]] RoadNetworkPtr LoadNetworkFile(const std::u16string& path,
                                             const RetrievalEngine::RetrievalEnginePtr& engine);
// A new router core; null when it cannot be allocated.
[[nodiscard]] RouterCorePtr CreateRouterCore();

class RouteService;
using RouteServicePtr = std::shared_ptr<RouteService>;

// A route service over the engine; null when it cannot be allocated.
[[nodiscard]] RouteServicePtr CreateRouteService(RetrievalEngine::RetrievalEnginePtr engine);

class RouteService {
public:
    explicit RouteService(RetrievalEngine::RetrievalEnginePtr engine);
    RouteService(const RouteService&) = delete;
    RouteService& operator=(const RouteService&) = delete;

    // Drops the persistent router and the previous network; true when the new one loaded. The
    // flagged elements kept are placed on the new network.
    bool OpenNetwork(const std::u16string& path);
    // A route from the current position (kind 3), keeping its heading first; calculated again
    // without keeping it when that route failed or looks like a detour. previousLength is the
    // length of the caller's current route, -1 without one.
    [[nodiscard]] RouteRequestResult
    RequestRouteFromCurrentPosition(const MatchedPosition& here,
                                    const RoutePositionPtr& destination, bool allowReuse,
                                    ProgressObserver* observer, std::int32_t previousLength);
    // One result per consecutive pair of positions; none for fewer than two.
    [[nodiscard]] std::vector<RouteRequestResult>
    RequestTourRoutes(std::vector<RoutePositionPtr> positions, ProgressObserver* observer);
    // A route from the first start candidate to the destination candidate with the shortest
    // route under the service's options.
    [[nodiscard]] RouteRequestResult RequestRoute(const RoutePositionPtr& start,
                                                  const RoutePositionPtr& destination,
                                                  ProgressObserver* observer);

    // Position factories; null when a position cannot be allocated.
    [[nodiscard]] RoutePositionPtr CreateAddressPosition(ILocatedAddress& address,
                                                         const std::int16_t* houseNumber);
    [[nodiscard]] RoutePositionPtr CreateElementSetPosition(IElementCursor& elements);
    [[nodiscard]] RoutePositionPtr CreatePosition(const std::uint32_t* elementId,
                                                  const GeoPoint* point);
    [[nodiscard]] RoutePositionPtr CreateElementPosition(const std::uint32_t* elementId);

    void SetOptions(const ExternalRouteOptions* options);
    [[nodiscard]] const ExternalRouteOptions* GetOptions() const { return &m_options; }
    [[nodiscard]] RoadNetworkPtr GetNetwork() const;

    // Flags the roads of the keys' elements (see flaggedelements.h) with a speed in km/h that caps
    // their speed, or with a percentage of their speed; values 0 and 1 close them. A stretch
    // flagged before keeps its one entry and takes the new value. True when the stretch was
    // flagged before or the network placed it; false without a network or when no key names an
    // element.
    [[nodiscard]] bool AddFlaggedElementSpeed(std::span<const std::uint32_t> keys,
                                              std::uint8_t value);
    [[nodiscard]] bool AddFlaggedElementPercent(std::span<const std::uint32_t> keys,
                                                std::uint8_t value);
    // Removes the stretch's flags. Always false: callers take no action on the result.
    bool RemoveFlaggedElement(std::span<const std::uint32_t> keys);

    // One calculation on the router under the service's lock with the service's options applied
    // to the router's own; the result owns a snapshot of the route's records.
    [[nodiscard]] RouteRequestResult
    CalculateAndBuild(RouterCore& router, const RoutePositionEntry& startCandidate,
                      const RoutePositionPtr& start, const RoutePositionEntry& destinationCandidate,
                      const RoutePositionPtr& destination, CalculationFlags flags,
                      ProgressObserver* observer);

private:
    // The router's options with the service's applied, and the flags' annotation switch.
    void ApplyOptions(RouterCore& router, CalculationFlags& flags) const;
    [[nodiscard]] bool AddFlaggedElement(std::span<const std::uint32_t> keys, std::uint8_t value,
                                         bool isAbsolute);
    // The entry of the stretch; end() when none. Under the lock.
    [[nodiscard]] std::list<FlaggedElementEntry>::iterator FindStretch(const FlaggedPoints& points);

    RetrievalEngine::RetrievalEnginePtr m_engine;
    RoadNetworkPtr m_network;
    RouterCorePtr m_persistentRouter;
    ExternalRouteOptions m_options{1, 1};
    mutable std::recursive_mutex m_lock;
    std::list<FlaggedElementEntry> m_flagged; // in the order they were added
};
