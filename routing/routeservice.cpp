#include "routing/routeservice.h"

#include "positioning/geodistance.h"
#include "routing/routesnapshot.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

std::uint32_t RouteStatusOf(std::int32_t routerCode) {
    switch (routerCode) {
    case 0:
        return 0;
    case 2:
    case 21:
        return 2;
    case 3:
    case 22:
        return 3;
    case 4:
    case 12:
        return 4;
    case 5:
    case 30:
        return 5;
    case 8:
    case 9:
        return 6;
    case 10:
    case 11:
        return 7;
    case 6:
        return 8;
    case 17:
        return 9;
    case 18:
        return 10;
    case 33:
        return 11;
    case 34:
        return 12;
    case 19:
        return 13;
    case 20:
        return 14;
    case 23:
        return 15;
    case 24: // the start link's kinds give 16..18, the destination link's 19..21
    case 25:
    case 26:
    case 27:
    case 28:
    case 29:
        return static_cast<std::uint32_t>(routerCode) - 8;
    case 31:
        return 22;
    case 32:
        return 23;
    default: // 1, 7, 13..16, above 34 and anything unknown
        return routestatus::kFailed;
    }
}

RoadNetworkPtr LoadNetworkFile(const std::u16string& path,
                               const RetrievalEngine::RetrievalEnginePtr& engine) {
    const std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos) {
        return nullptr;
    }
    const std::u16string_view extension = std::u16string_view(path).substr(dot + 1);
    if (extension != u"rd" && extension != u"RD") {
        return nullptr;
    }
    try {
        auto network = std::make_shared<RoadNetwork>();
        if (!network->Load(path, engine)) {
            return nullptr;
        }
        return network;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

RouterCorePtr CreateRouterCore() {
    try {
        return std::make_shared<RouterCore>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

RouteServicePtr CreateRouteService(RetrievalEngine::RetrievalEnginePtr engine) {
    try {
        return std::make_shared<RouteService>(std::move(engine));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

template <class... Args> RoutePositionPtr MakePosition(Args&&... args) {
    try {
        return std::make_shared<RoutePositionImpl>(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool HasCandidate(const RoutePositionPtr& position) {
    return position && position->Count() >= 1;
}

} // namespace

RouteService::RouteService(RetrievalEngine::RetrievalEnginePtr engine)
    : m_engine(std::move(engine)) {}

bool RouteService::OpenNetwork(const std::u16string& path) {
    RoadNetworkPtr network = LoadNetworkFile(path, m_engine);
    const std::lock_guard lock(m_lock);
    m_persistentRouter.reset();
    m_network = std::move(network);
    if (m_network) {
        // Entries kept from the previous network take effect on this one too; one that it
        // cannot place stays listed, as after a failed registration.
        for (const FlaggedElementEntry& entry : m_flagged) {
            (void)m_network->AddFlaggedElements(entry.ToList());
        }
    }
    return m_network != nullptr;
}

RoadNetworkPtr RouteService::GetNetwork() const {
    const std::lock_guard lock(m_lock);
    return m_network;
}

bool RouteService::AddFlaggedElementSpeed(std::span<const std::uint32_t> keys, std::uint8_t value) {
    return AddFlaggedElement(keys, value, true);
}

bool RouteService::AddFlaggedElementPercent(std::span<const std::uint32_t> keys,
                                            std::uint8_t value) {
    return AddFlaggedElement(keys, value, false);
}

std::list<FlaggedElementEntry>::iterator RouteService::FindStretch(const FlaggedPoints& points) {
    return std::find_if(m_flagged.begin(), m_flagged.end(), [&](const FlaggedElementEntry& entry) {
        return entry.IsSameStretch(points);
    });
}

bool RouteService::AddFlaggedElement(std::span<const std::uint32_t> keys, std::uint8_t value,
                                     bool isAbsolute) {
    if (!GetNetwork() || !m_engine) {
        return false;
    }
    FlaggedPoints points = BuildFlaggedPoints(*m_engine, keys);
    if (points.points.empty()) {
        return false;
    }
    const std::lock_guard lock(m_lock);
    if (!m_network) {
        return false;
    }
    const std::uint8_t byte = FlaggedValueByte(value, isAbsolute);
    if (const auto found = FindStretch(points); found != m_flagged.end()) {
        // The network reads the shared byte; it need not be told again.
        *found->speedByte = byte;
        return true;
    }
    try {
        FlaggedElementEntry entry{std::move(points.points), std::make_shared<std::uint8_t>(byte),
                                  points.directionKey};
        m_flagged.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return m_network->AddFlaggedElements(m_flagged.back().ToList());
}

bool RouteService::RemoveFlaggedElement(std::span<const std::uint32_t> keys) {
    if (!GetNetwork() || !m_engine) {
        return false;
    }
    const FlaggedPoints points = BuildFlaggedPoints(*m_engine, keys);
    if (points.points.empty()) {
        return false;
    }
    const std::lock_guard lock(m_lock);
    if (const auto found = FindStretch(points); found != m_flagged.end()) {
        // The network lets go of the byte before the entry that owns it goes.
        if (m_network) {
            (void)m_network->RemoveFlaggedElements(found->ToList());
        }
        m_flagged.erase(found);
    }
    return false;
}

void RouteService::SetOptions(const ExternalRouteOptions* options) {
    if (options == nullptr) {
        return;
    }
    const std::lock_guard lock(m_lock);
    m_options = *options;
}

RoutePositionPtr RouteService::CreateAddressPosition(ILocatedAddress& address,
                                                     const std::int16_t* houseNumber) {
    return MakePosition(m_engine, address, houseNumber);
}

RoutePositionPtr RouteService::CreateElementSetPosition(IElementCursor& elements) {
    return MakePosition(m_engine, elements);
}

RoutePositionPtr RouteService::CreatePosition(const std::uint32_t* elementId,
                                              const GeoPoint* point) {
    if (point == nullptr) {
        return nullptr;
    }
    return MakePosition(m_engine, elementId ? *elementId : RoutePositionImpl::kNoElement, *point);
}

RoutePositionPtr RouteService::CreateElementPosition(const std::uint32_t* elementId) {
    if (elementId == nullptr) {
        return nullptr;
    }
    return MakePosition(m_engine, *elementId);
}

void RouteService::ApplyOptions(RouterCore& router, CalculationFlags& flags) const {
    RouteOptions options = router.GetOptions();
    options.Apply(m_options);
    router.SetOptions(options);
    flags.useAnnotations = m_options.useAnnotations;
}

RouteRequestResult RouteService::CalculateAndBuild(
    RouterCore& router, const RoutePositionEntry& startCandidate, const RoutePositionPtr& start,
    const RoutePositionEntry& destinationCandidate, const RoutePositionPtr& destination,
    CalculationFlags flags, ProgressObserver* observer) {
    // The options are read and applied under the lock so that a concurrent SetOptions cannot
    // split a calculation's settings.
    const std::lock_guard lock(m_lock);
    ApplyOptions(router, flags);
    router.SetProgressObserver(observer);

    const std::int32_t code = router.Calculate(startCandidate, destinationCandidate, flags);
    RouteRequestResult result(RouteStatusOf(code));
    result.start = start;
    result.destination = destination;
    if (!StatusHasRoute(result.status)) {
        return result;
    }

    const std::vector<RouteRecord>& records = router.BuildRecords(-1, true);
    const bool startCorrection =
        start && start->GetKind() == RoutePosition::kCurrent && records.size() >= 3 &&
        records[1].x == startCandidate.nodePoint.x && records[1].y == startCandidate.nodePoint.y;

    const RouteSnapshotPtr snapshot = RouteSnapshot::Create(
        router, m_engine, static_cast<TravelMode>(m_options.travelMode), startCorrection);
    if (snapshot) {
        try {
            result.route = std::make_shared<SnapshotRouteIterator>(snapshot);
        } catch (const std::bad_alloc&) {
            result.route = nullptr;
        }
    }
    // Start equals destination leaves the router without a route: an empty one of no length.
    if (router.IsRouteValid()) {
        result.length = static_cast<std::int32_t>(router.GetLength());
        result.travelTime = static_cast<std::int32_t>(router.GetTravelTime() * 3600.0);
    }
    // Only a record that the snapshot really inserted adds its way there and back.
    if (snapshot && snapshot->WasStartCorrected() && result.route) {
        const RouteIteratorPtr copy = result.route->Clone();
        if (copy && copy->IsValid()) {
            result.length += 2 * copy->Current().length;
            result.travelTime += 2 * copy->Current().time;
        }
    }
    return result;
}

RouteRequestResult RouteService::RequestRoute(const RoutePositionPtr& start,
                                              const RoutePositionPtr& destination,
                                              ProgressObserver* observer) {
    if (!HasCandidate(start) || !HasCandidate(destination)) {
        RouteRequestResult result(HasCandidate(start) ? routestatus::kNoDestination
                                                      : routestatus::kNoStart);
        result.start = start;
        result.destination = destination;
        return result;
    }
    RouteRequestResult result;
    result.start = start;
    result.destination = destination;
    const RouterCorePtr router = CreateRouterCore();
    const RoadNetworkPtr network = GetNetwork();
    if (!network) {
        result.status = routestatus::kNoNetwork;
        return result;
    }
    if (!router) {
        return result;
    }
    CalculationFlags flags;
    flags.allowReuse = 1;
    flags.useAnnotations = 1;
    router->SetNetwork(network);

    const RoutePositionEntry& from = *start->Begin();
    if (destination->Count() == 1) {
        return CalculateAndBuild(*router, from, start, *destination->Begin(), destination, flags,
                                 observer);
    }
    // Each candidate is tried as CalculateAndBuild would calculate it: under the lock with the
    // service's options, so the choice matches the route that is built.
    const RoutePositionEntry* chosen = nullptr;
    float best = std::numeric_limits<float>::max();
    for (const RoutePositionEntry* candidate = destination->Begin();
         candidate != destination->End(); ++candidate) {
        const std::lock_guard lock(m_lock);
        CalculationFlags candidateFlags = flags;
        ApplyOptions(*router, candidateFlags);
        router->SetProgressObserver(observer);
        const std::int32_t code = router->Calculate(from, *candidate, candidateFlags);
        if (code == 0) {
            result.status = routestatus::kCancelled;
            return result;
        }
        if (code == 6 && router->GetLength() < best) {
            best = router->GetLength();
            chosen = candidate;
        }
    }
    if (chosen == nullptr) {
        return result;
    }
    return CalculateAndBuild(*router, from, start, *chosen, destination, flags, observer);
}

std::vector<RouteRequestResult>
RouteService::RequestTourRoutes(std::vector<RoutePositionPtr> positions,
                                ProgressObserver* observer) {
    std::vector<RouteRequestResult> results;
    for (std::size_t i = 1; i < positions.size(); ++i) {
        results.push_back(RequestRoute(positions[i - 1], positions[i], observer));
    }
    return results;
}

RouteRequestResult RouteService::RequestRouteFromCurrentPosition(
    const MatchedPosition& here, const RoutePositionPtr& destination, bool allowReuse,
    ProgressObserver* observer, std::int32_t previousLength) {
    if (!HasCandidate(destination)) {
        RouteRequestResult result(routestatus::kNoDestination);
        result.destination = destination;
        return result;
    }
    RouterCorePtr router;
    RoadNetworkPtr network;
    {
        const std::lock_guard lock(m_lock);
        if (!m_persistentRouter) {
            m_persistentRouter = CreateRouterCore();
            if (m_persistentRouter && m_network) {
                m_persistentRouter->SetNetwork(m_network);
            }
        }
        router = m_persistentRouter;
        network = m_network;
    }
    RouteRequestResult result;
    result.destination = destination;
    if (!network) {
        result.status = routestatus::kNoNetwork;
        return result;
    }
    const RoutePositionPtr start = MakePosition(m_engine, here);
    result.start = start;
    if (!router || !start) {
        return result;
    }
    if (!HasCandidate(start)) {
        result.status = routestatus::kNoStart;
        return result;
    }

    CalculationFlags flags;
    flags.keepStartHeading = 1;
    flags.allowReuse = allowReuse ? 1 : 0;
    flags.useAnnotations = 1;
    const double airDistance = GeoDistance(destination->GetSinglePoint(), start->GetSinglePoint());

    result = CalculateAndBuild(*router, *start->Begin(), start, *destination->Begin(), destination,
                               flags, observer);
    bool again = true;
    if (result.status == routestatus::kCancelled ||
        result.status == routestatus::kStartIsDestination) {
        again = false;
    } else if (result.status == routestatus::kFound) {
        const bool longerThanBefore =
            previousLength > 5000 && result.length > previousLength + 2000;
        again = longerThanBefore || static_cast<double>(result.length) > 2.0 * airDistance;
    }
    if (again) {
        flags.keepStartHeading = 0;
        result = CalculateAndBuild(*router, *start->Begin(), start, *destination->Begin(),
                                   destination, flags, observer);
    }
    return result;
}
