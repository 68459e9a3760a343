#include "routing/routercore.h"

#include "positioning/geodistance.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr float kFarAway = 3.4028235e38f;
constexpr RoutePositionEntry kNoPosition{
    {kFarAway, kFarAway}, {kFarAway, kFarAway}, 0xFFFFFFFF, 0.0f};

bool IsSamePosition(const RoutePositionEntry& a, const RoutePositionEntry& b) {
    return a.point.x == b.point.x && a.point.y == b.point.y && a.nodePoint.x == b.nodePoint.x &&
           a.nodePoint.y == b.nodePoint.y && a.elementId == b.elementId && a.offset == b.offset;
}

struct LevelParameters {
    float costLevel0;
    float costLevel1;
    float settled;
};

// The climb's cost thresholds are in quickest-route units, metres per km/h. A shortest route costs
// metres / 30, while a quickest one costs metres / (speed + class bonus), about metres / 90 on the
// roads a search climbs through: three times the thresholds climb at about the same distance.
constexpr float kShortestClimbScale = 90.0f / 30.0f;

LevelParameters ParametersOf(std::uint32_t profile) {
    switch (profile) {
    case 0:
        return {150.0f, 600.0f, 500.0f};
    case 1:
        return {120.0f, 600.0f, 300.0f};
    case 2:
        return {100.0f, 400.0f, 200.0f};
    default:
        return {120.0f, 400.0f, 300.0f};
    }
}

} // namespace

bool CrossingAddressLess::operator()(const CrossingAddress& a, const CrossingAddress& b) const {
    if (a.level != b.level) {
        return a.level < b.level;
    }
    if (a.page != b.page) {
        return a.page < b.page;
    }
    return a.offset < b.offset;
}

RouterCore::RouterCore(SearchMemoryReserve& reserve)
    : m_reserve(&reserve)
    , m_tables{NodeTable(reserve), NodeTable(reserve), NodeTable(reserve)}
    , m_saved(reserve)
    , m_startCopy(kNoPosition) {
    for (auto& heap : m_heaps) {
        heap = std::make_unique<SearchNodeHeap>(m_pool);
    }
    m_saved.destination = kNoPosition;
}

RouterCore::~RouterCore() {
    // Labels go back to the pool before it goes.
    for (auto& heap : m_heaps) {
        heap->Clear();
    }
}

void RouterCore::SetNetwork(RoadNetworkPtr network) {
    if (network != m_network) {
        for (auto& space : m_spaces) {
            space.reset();
        }
        m_current.reset();
        m_linkTarget.reset();
        m_upper.reset();
        ForgetTargetFacts();
        m_elementOfLink.clear();
        m_expandCursor.reset();
        m_network = std::move(network);
        // The search's records name crossings of the old network: its route is gone.
        m_isRouteValid = false;
        m_records.clear();
        m_hasPreviousRoute = false;
    }
    m_saved.mustSearchAnew = true;
}

std::int32_t RouterCore::Calculate(const RoutePositionEntry& start,
                                   const RoutePositionEntry& destination,
                                   const CalculationFlags& flags) {
    const std::scoped_lock lock(m_lock);
    return CalculateBody(start, destination, flags);
}

bool RouterCore::FindPositionCrossing(const RoutePositionEntry& position,
                                      CrossingAddress& address) {
    CrossingQuery query;
    query.input = position.elementId != 0xFFFFFFFF ? position.nodePoint : position.point;
    query.radius = 2000.0f;
    query.elementId = position.elementId;
    query.level = 0;
    if (!m_network->FindCrossingNear(query)) {
        return false;
    }
    address = query.address;
    return true;
}

bool RouterCore::IsMotorMode() const {
    switch (m_options.travelMode) {
    case 1:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 10:
    case 11:
        return true;
    default:
        return false;
    }
}

TravelMode RouterCore::SearchTravelMode() const {
    return IsMotorMode() ? 2 : m_options.travelMode;
}

NodeTable& RouterCore::TableOf(bool isSaved, std::uint16_t level) {
    if (isSaved && level < 2) {
        return m_saved.tables[level];
    }
    return m_tables[level < 3 ? level : 2];
}

void RouterCore::ClearHeaps() {
    for (auto& heap : m_heaps) {
        heap->Clear();
    }
}

void RouterCore::ResetSavedSearch(float distance) {
    m_saved.mustSearchAnew = true;
    for (NodeTable& table : m_saved.tables) {
        table.Release();
    }
    m_saved.distance = distance;
    m_saved.progress = 0;
}

bool RouterCore::MustSearchAnew(int level, float distance,
                                const RoutePositionEntry& destination) const {
    const bool canReuse = !m_saved.mustSearchAnew && level != 0 && level == m_saved.level &&
                          m_wasRouteValid &&
                          std::memcmp(&m_options, &m_saved.options, sizeof(RouteOptions)) == 0 &&
                          IsSamePosition(destination, m_saved.destination) &&
                          distance <= 1.2f * m_saved.distance && distance >= 5000.0f;
    return !canReuse;
}

int RouterCore::RunDestinationSearch() {
    for (int side = 0; side < 2; ++side) {
        ClearTransitionMaps(side);
    }
    // The stop rule of the chosen level belongs to this search, not to one of a failed level.
    m_referenceCost = -1.0f;
    m_isReferencePending = true;
    m_isTimingArmed = false;
    int result = searchcode::kHeapEmpty;
    if (m_chosenLevel == 0) {
        result = SearchLevel0(kDestinationSide);
        m_heaps[0]->Clear();
    } else {
        result = ClimbLevels(kDestinationSide, 0, 1, false);
        if (result == searchcode::kLevelDone) {
            result = SearchTopLevel(kDestinationSide, m_chosenLevel);
            if (result == searchcode::kHeapEmpty) {
                result = 35;
            }
        }
        // The start side joins the chosen level's records, settled or still open.
        CloseOpenLabels(m_chosenLevel);
        ClearHeaps();
    }
    if (result == searchcode::kFinished) {
        m_saved.mustSearchAnew = false;
        m_saved.options = m_options;
        m_saved.level = m_chosenLevel;
        m_tables[0].MoveTo(m_saved.tables[0]);
        if (m_chosenLevel == 2) {
            m_tables[1].MoveTo(m_saved.tables[1]);
        }
    }
    return result;
}

int RouterCore::RunStartSearch() {
    if (m_chosenLevel == 0) {
        return SearchLevel0(kStartSide);
    }
    const int climbed = ClimbLevels(kStartSide, 0, 1, true);
    if (climbed != searchcode::kLevelDone) {
        return climbed;
    }
    return JoinAtTopLevel(true, m_chosenLevel);
}

void RouterCore::ForgetTargetFacts() {
    if (++m_memoGeneration == 0) {
        std::fill(m_targetMemo.begin(), m_targetMemo.end(), TargetMemo{});
        m_memoGeneration = 1;
    }
}

void RouterCore::ForgetClassCosts() {
    if (++m_classCostGeneration == 0) {
        std::fill(m_classCosts.begin(), m_classCosts.end(), ClassCost{});
        m_classCostGeneration = 1;
    }
}

std::int32_t RouterCore::CalculateBody(const RoutePositionEntry& start,
                                       const RoutePositionEntry& destination,
                                       const CalculationFlags& flags) {
    m_statistics = {};
    ForgetTargetFacts();
    ForgetClassCosts();
    std::uint32_t growths = 0;
    for (const auto& heap : m_heaps) {
        heap->ResetPeak();
        growths += heap->GetGrowths();
    }
    m_reserve->ResetPeak();
    const std::int32_t result = RunCalculation(start, destination, flags);
    for (const auto& heap : m_heaps) {
        m_statistics.peakHeapLabels = std::max(m_statistics.peakHeapLabels, heap->GetPeakCount());
        m_statistics.heapGrowths += heap->GetGrowths();
    }
    m_statistics.heapGrowths -= growths;
    m_statistics.peakReservePages = m_reserve->GetPeakCommittedPages();
    return result;
}

std::int32_t RouterCore::RunCalculation(const RoutePositionEntry& start,
                                        const RoutePositionEntry& destination,
                                        const CalculationFlags& flags) {
    // Whatever happens below, no earlier route answers for this calculation.
    m_wasRouteValid = m_isRouteValid;
    m_isRouteValid = false;
    m_wasReused = false;
    m_records.clear();
    m_startLinkEnds.clear();
    if (IsSamePosition(start, destination)) {
        return 30;
    }
    if (!m_network) {
        return 21;
    }
    m_useAnnotations = flags.useAnnotations != 0;

    if (!FindPositionCrossing(start, m_startAddress)) {
        return 21;
    }
    const NetworkCrossingPtr startCrossing = m_network->CreateCrossing(m_startAddress);
    if (!startCrossing || !startCrossing->IsValid()) {
        return 21;
    }
    m_startZone.clear();
    if (IsMotorMode() && IsRestricted(*startCrossing, start.elementId)) {
        m_startZone = BuildRestrictedZone(*startCrossing);
    }

    if (!FindPositionCrossing(destination, m_destinationAddress)) {
        return 22;
    }
    const NetworkCrossingPtr destinationCrossing = m_network->CreateCrossing(m_destinationAddress);
    if (!destinationCrossing || !destinationCrossing->IsValid()) {
        return 22;
    }
    m_current = m_network->CreateCrossing(m_destinationAddress);
    m_destinationZone.clear();
    if (IsMotorMode() && IsRestricted(*destinationCrossing, destination.elementId)) {
        m_destinationZone = BuildRestrictedZone(*destinationCrossing);
    }

    const auto distance =
        static_cast<float>(GeoDistance(startCrossing->Position(), destinationCrossing->Position()));
    const float estimate = CostPerMetre(m_options, ClassSpeed(m_options, 2)) * distance;
    m_progress.Start(estimate);
    m_referenceCost = -1.0f;
    m_isReferencePending = true;
    m_startCopy = start;
    m_destinationCopy = destination;
    m_forcedLevel = -1;
    m_isSameLink = false;
    m_isTimingArmed = false;
    m_chosenLevel = LevelForDistance(distance, m_network->GetMapCount());
    m_meetingLinkId = 0xFFFFFFFF;
    for (auto& space : m_spaces) {
        if (space) {
            space->GetList().clear();
        }
    }

    int searched = searchcode::kHeapEmpty;
    for (;;) {
        const int found = SearchDestinationSide(start, destination, flags, distance);
        if (found != searchcode::kFinished) {
            return found;
        }
        const int seeded = SeedStartSide(start, destination, flags);
        if (seeded != searchcode::kFinished) {
            return seeded;
        }
        m_startEnd = {start.point,  start.nodePoint,   start.elementId,
                      start.offset, m_startLinkLength, m_startLinkClass};
        m_destinationEnd = {destination.point,  destination.nodePoint,   destination.elementId,
                            destination.offset, m_destinationLinkLength, m_destinationLinkClass};
        searched = RunStartSearch();
        // Above level 0 the start's roads may reach no crossing the destination search went
        // through, while a search on a lower level finds the route.
        if (searched != searchcode::kHeapEmpty || m_chosenLevel == 0) {
            break;
        }
        ResetSavedSearch(distance);
        m_forcedLevel = m_chosenLevel - 1;
    }
    if (searched == searchcode::kHeapEmpty) {
        return 20;
    }
    if (searched == searchcode::kExhausted) {
        return 19;
    }
    if (searched != searchcode::kFinished) {
        return searched;
    }
    m_progress.Finish();
    m_isRouteValid = true;
    return 6;
}

int RouterCore::SearchDestinationSide(const RoutePositionEntry& start,
                                      const RoutePositionEntry& destination,
                                      const CalculationFlags& flags, float distance) {
    for (;;) {
        if (flags.allowReuse == 0 || MustSearchAnew(m_chosenLevel, distance, destination)) {
            ResetSavedSearch(distance);
            const LevelParameters parameters = ParametersOf(m_options.searchProfile);
            const float scale = m_options.routeType == 0 ? kShortestClimbScale : 1.0f;
            m_costThreshold = {parameters.costLevel0 * scale, parameters.costLevel1 * scale};
            m_settledThreshold = {parameters.settled, parameters.settled};
            m_startLinkEnds.clear();
            const int seeded = SeedDestinationSide(start, destination, flags);
            if (seeded != searchcode::kFinished) {
                return seeded;
            }
        }
        m_saved.destination = destination;
        ClearTransitionMaps(kStartSide);
        if (!m_saved.mustSearchAnew) {
            m_wasReused = true;
            if (m_progress.GetObserver() != nullptr) {
                m_progress.SetLastReported(std::min(m_saved.progress, 80));
                m_progress.GetObserver()->ReportProgress(m_progress.GetLastReported());
            }
            return searchcode::kFinished;
        }
        const int searched = RunDestinationSearch();
        // Above level 0 a search that runs dry was given places whose roads reach no usable
        // crossing of the chosen level: a lower level may still find the route.
        const bool isRetried = searched == searchcode::kTouchedBelow || searched == 35 ||
                               (searched == searchcode::kHeapEmpty && m_chosenLevel > 0);
        if (!isRetried) {
            m_saved.progress = m_progress.GetLastReported();
            switch (searched) {
            case searchcode::kHeapEmpty:
                return 20;
            case searchcode::kCancelled:
                return 0;
            case searchcode::kExhausted:
                return 10;
            default:
                return searchcode::kFinished;
            }
        }
        PrepareSearch();
        m_forcedLevel = m_chosenLevel - 1;
        if (m_forcedLevel < 0) {
            return 35;
        }
    }
}
