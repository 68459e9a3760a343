#pragma once
// The router core: calculates one route at a time over a road network with a two-sided
// label-setting search (destination side first, its marks kept, then the start side until it
// joins them) and turns the finished search into route records with total length and time.
// Calculate holds the core's lock for the whole calculation on the caller's thread; the other
// operations take no lock. The network must outlive every calculation that uses it.

#include "routing/linkcosts.h"
#include "routing/progress.h"
#include "routing/roadnetwork.h"
#include "routing/routeoptions.h"
#include "routing/routeposition.h"
#include "routing/routerecord.h"
#include "routing/searchheap.h"
#include "routing/searchmemory.h"
#include "routing/searchspace.h"
#include "routing/seedends.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

using RoadNetworkPtr = std::shared_ptr<RoadNetwork>;
class RouteTree;
using RouteTreePtr = std::shared_ptr<RouteTree>;

class IRouter {
public:
    virtual ~IRouter() = default;
    // 6 when a route was found; 0 cancelled; else a failure code 10 or 17..35.
    [[nodiscard]] virtual std::int32_t Calculate(const RoutePositionEntry& start,
                                                 const RoutePositionEntry& destination,
                                                 const CalculationFlags& flags) = 0;
    // The records of the last successful calculation in driving order (built on first use);
    // empty after a failed one. `unused` has no effect (callers pass -1).
    virtual const std::vector<RouteRecord>& BuildRecords(std::int32_t unused, bool keepPoints) = 0;
    // Hours; -1.0 without a valid route.
    [[nodiscard]] virtual float GetTravelTime() = 0;
    // Metres; -1.0 without a valid route.
    [[nodiscard]] virtual float GetLength() = 0;
    virtual void SetOptions(const RouteOptions& options) = 0;
    [[nodiscard]] virtual const RouteOptions& GetOptions() const = 0;
    // Not owned; null for none.
    virtual void SetProgressObserver(ProgressObserver* observer) = 0;
    [[nodiscard]] virtual ProgressObserver* GetProgressObserver() const = 0;
    // The saved destination search becomes invalid in every case; another network also ends
    // the last route.
    virtual void SetNetwork(RoadNetworkPtr network) = 0;
    [[nodiscard]] virtual RoadNetworkPtr GetNetwork() const = 0;
    // The route and, stage by stage, the routes from its junctions over their other links,
    // into the tree: 6, 36 without a tree, 21 when the route's first link cannot be placed,
    // else the main calculation's code. Progress 0, 1, then 2 to 100.
    [[nodiscard]] virtual std::int32_t
    CalculateStaged(const RouteTreePtr& tree, const RoutePositionEntry& start,
                    const RoutePositionEntry& destination, const CalculationFlags& flags,
                    std::int32_t maxStageCount, float nearDistance) = 0;
};

// Search codes between the search steps.
namespace searchcode {
inline constexpr int kCancelled = 0;
inline constexpr int kHeapEmpty = 1;
inline constexpr int kFinished = 6;
inline constexpr int kGoOn = 7;
inline constexpr int kTouchedBelow = 9;
inline constexpr int kExhausted = 10;
inline constexpr int kLevelDone = 15;
} // namespace searchcode

// Search sides.
inline constexpr int kDestinationSide = 0;
inline constexpr int kStartSide = 1;
// The node record flag that marks a node settled, by search side.
inline constexpr std::uint8_t kSettledFlagOfSide[2] = {NodeRecord::kDestinationSettled,
                                                       NodeRecord::kStartSettled};
// The link or element id that stands for none.
inline constexpr std::uint32_t kNoLinkId = 0xFFFFFFFF;

// One usable end of the start link: the end crossing and the start link's index there.
struct StartLinkEnd {
    std::uint16_t page = 0;
    std::uint16_t offset = 0;
    std::uint16_t arrivalIndex = 31;
};

// Orders crossing addresses by level, page and offset.
struct CrossingAddressLess {
    [[nodiscard]] bool operator()(const CrossingAddress& a, const CrossingAddress& b) const;
};
using CrossingSet = std::set<CrossingAddress, CrossingAddressLess>;

// A route end as the route result keeps it.
struct RouteEndpoint {
    GeoPoint position{3.4028235e38f, 3.4028235e38f};
    GeoPoint reference{3.4028235e38f, 3.4028235e38f};
    std::uint32_t linkId = 0xFFFFFFFF;
    float offset = 0.0f;
    float linkLength = 0.0f;
    std::uint32_t attributeCode = 0; // the link's 11-bit code
};

// What one calculation used: plain counts the search keeps anyway, read after it.
struct RouterStatistics {
    std::array<std::array<std::uint32_t, 3>, 2> settled{}; // crossings by side and level
    std::uint32_t peakHeapLabels = 0;   // the most labels one level's heap held at once
    std::uint32_t heapGrowths = 0;      // heap slot arrays grown past their first 4000 labels
    std::uint32_t peakReservePages = 0; // the most 4096-byte blocks committed in the reserve
};

class RouterCore final : public IRouter {
public:
    // Search memory comes from the reserve, which must outlive the core.
    explicit RouterCore(SearchMemoryReserve& reserve = SearchMemoryReserve::Shared());
    ~RouterCore() override;
    RouterCore(const RouterCore&) = delete;
    RouterCore& operator=(const RouterCore&) = delete;

    std::int32_t Calculate(const RoutePositionEntry& start, const RoutePositionEntry& destination,
                           const CalculationFlags& flags) override;
    const std::vector<RouteRecord>& BuildRecords(std::int32_t unused, bool keepPoints) override;
    float GetTravelTime() override;
    float GetLength() override;
    void SetOptions(const RouteOptions& options) override { m_options = options; }
    const RouteOptions& GetOptions() const override { return m_options; }
    void SetProgressObserver(ProgressObserver* observer) override {
        m_progress.SetObserver(observer);
    }
    ProgressObserver* GetProgressObserver() const override { return m_progress.GetObserver(); }
    void SetNetwork(RoadNetworkPtr network) override;
    RoadNetworkPtr GetNetwork() const override { return m_network; }
    std::int32_t CalculateStaged(const RouteTreePtr& tree, const RoutePositionEntry& start,
                                 const RoutePositionEntry& destination,
                                 const CalculationFlags& flags, std::int32_t maxStageCount,
                                 float nearDistance) override;

    // The calculation without the lock.
    [[nodiscard]] std::int32_t CalculateBody(const RoutePositionEntry& start,
                                             const RoutePositionEntry& destination,
                                             const CalculationFlags& flags);
    // False (reuse) only when the saved destination search fits this calculation.
    [[nodiscard]] bool MustSearchAnew(int level, float distance,
                                      const RoutePositionEntry& destination) const;

    // Search steps; each returns a search code.
    void PrepareSearch();
    [[nodiscard]] int SettleNext(int side, int level);
    [[nodiscard]] int ExpandNode(int side, int level, bool meetingChecks);
    [[nodiscard]] int SearchLevel0(int side);
    // Searches from `level` upwards, climbing through crossings that exist on the next level,
    // until the chosen level is seeded (15). On the start side's last step (lastStepJoins) only
    // the destination search's crossings of the chosen level are seeded.
    [[nodiscard]] int ClimbLevels(int side, int level, int next, bool lastStepJoins);
    // The destination side's search on the chosen level until its stop rule holds.
    [[nodiscard]] int SearchTopLevel(int side, int level);
    // Takes the cheapest of the level's labels whose crossing the side of `isDestinationBit`
    // settled as the meeting crossing: 6, 1 without one, 10 on exhausted search memory.
    [[nodiscard]] int JoinAtTopLevel(bool isDestinationBit, int level);
    // The stop rule of a climbing level (isClimbing) or of the chosen level.
    [[nodiscard]] bool ShouldStopSearch(int level, bool isClimbing);

    // Seeding; 6 or a result code.
    [[nodiscard]] int SeedDestinationSide(const RoutePositionEntry& start,
                                          const RoutePositionEntry& destination,
                                          const CalculationFlags& flags);
    [[nodiscard]] int SeedStartSide(const RoutePositionEntry& start,
                                    const RoutePositionEntry& destination,
                                    const CalculationFlags& flags);
    // Whether the direction code of the link (the first link without an id) differs between
    // travel modes 1 and 2.
    [[nodiscard]] bool IsRestricted(const NetworkCrossing& crossing, std::uint32_t linkId);
    // The restricted crossings around a position's crossing, at most 100 restricted links.
    [[nodiscard]] CrossingSet BuildRestrictedZone(const NetworkCrossing& crossing);
    // 2 inside a restricted zone at level 0, else the options' travel mode.
    [[nodiscard]] TravelMode ZoneTravelMode(int side, int level) const;

    // Costs of a link under the cursor, as the search prices it.
    [[nodiscard]] float LinkCost(const LinkCursor& link, int side);
    // The link's target crossing in m_linkTarget, read only when it moved: pricing a link and
    // looking up its target's node record read one record; null without a store.
    [[nodiscard]] const NetworkCrossing* PlaceLinkTarget(const LinkCursor& link);
    // The facts of a link's target crossing (LinkTargetFacts): from the network's link target
    // table when it holds the link, else read and remembered for the calculation, so that a
    // crossing reached by several links is read once for them.
    [[nodiscard]] LinkTargetFacts TargetFacts(const LinkCursor& link);
    // Each calculation and network starts with nothing remembered.
    void ForgetTargetFacts();
    // Whether TargetFacts may use the network's link target tables (on by default); off, every
    // target is read from its record. Routes are the same either way.
    void SetLinkTargetTableUse(bool isUsed) { m_useLinkTargets = isUsed; }
    // LinkCost with the target's facts at hand.
    [[nodiscard]] float LinkCost(const LinkCursor& link, int side, const LinkTargetFacts& target);
    // Each calculation starts with no class cost known: the options may have changed.
    void ForgetClassCosts();
    [[nodiscard]] float LinkSpeed(const LinkCursor& link, int side) const;
    // The network's annotation for the direction (1 or 2) when annotations are on, else null.
    [[nodiscard]] AnnotationValuePtr LinkAnnotationFor(const LinkCursor& link,
                                                       std::uint32_t direction) const;

    // Route assembly.
    [[nodiscard]] bool AssembleRouteRecords(std::vector<RouteRecord>& list);
    // Walks from the crossing back along the arrival links to a seed: 1 done, 0 broken chain.
    // With `previousLinks` above level 0, a link of the previous route ends the walk with its
    // records from there on (2).
    [[nodiscard]] int TraceLabelPath(std::vector<RouteRecord>& list, CrossingAddress& address,
                                     bool isSaved, bool isForward,
                                     const std::set<std::uint32_t>* previousLinks = nullptr);
    [[nodiscard]] RouteRecord MakeEndpointRecord(const GeoPoint& reference);

    // The node table of a level: the current search's, or the saved destination search's.
    [[nodiscard]] NodeTable& TableOf(bool isSaved, std::uint16_t level);
    // Read-outs for tests and the route service.
    [[nodiscard]] bool IsRouteValid() const { return m_isRouteValid; }
    [[nodiscard]] bool IsSameLink() const { return m_isSameLink; }
    [[nodiscard]] const CrossingSet& GetStartZone() const { return m_startZone; }
    [[nodiscard]] int GetDestinationSettled() const { return m_destinationSettled; }
    [[nodiscard]] int GetChosenLevel() const { return m_chosenLevel; }
    // Crossings settled in the last calculation by side and level.
    [[nodiscard]] const std::array<std::array<std::uint32_t, 3>, 2>& GetSettledCounts() const {
        return m_statistics.settled;
    }
    // The last calculation's counts (the reserve's peak counts every router sharing it).
    [[nodiscard]] const RouterStatistics& GetStatistics() const { return m_statistics; }
    // Whether the last calculation used the saved destination search instead of its own.
    [[nodiscard]] bool WasSearchReused() const { return m_wasReused; }
    // Whether the last built route took its tail from the route before it.
    [[nodiscard]] bool HasJoinedPreviousRoute() const { return m_hasJoinedPrevious; }
    [[nodiscard]] const CrossingAddress& GetMeetingAddress() const { return m_meetingAddress; }
    // Calculations the last staged calculation ran, the main one included.
    [[nodiscard]] std::uint32_t GetStagedCalculationCount() const { return m_stagedCalculations; }
    // Where the last built route ends (set by BuildRecords).
    [[nodiscard]] const GeoPoint& GetDestinationPosition() const { return m_destinationPosition; }

private:
    struct SavedSearch {
        explicit SavedSearch(SearchMemoryReserve& reserve)
            : tables{NodeTable(reserve), NodeTable(reserve)} {}

        bool mustSearchAnew = true;
        std::array<NodeTable, 2> tables;
        RouteOptions options;
        int level = 0;
        RoutePositionEntry destination;
        float distance = 0.0f;
        std::int32_t progress = 0;
    };

    [[nodiscard]] bool FindPositionCrossing(const RoutePositionEntry& position,
                                            CrossingAddress& address);
    [[nodiscard]] TravelMode SearchTravelMode() const;
    [[nodiscard]] bool IsMotorMode() const;
    [[nodiscard]] SearchLabel* LabelOf(const NodeRecord& record) const;
    [[nodiscard]] bool PushLabel(int level, const CrossingAddress& address, std::uint32_t nodeId,
                                 float cost, NodeRecord& record);
    void ClearHeaps();
    void ResetSavedSearch(float distance);
    [[nodiscard]] int RunDestinationSearch();
    // Seeds and runs the destination search, or reuses the saved one, retrying lower levels:
    // 6 or the calculation's result code.
    [[nodiscard]] int SearchDestinationSide(const RoutePositionEntry& start,
                                            const RoutePositionEntry& destination,
                                            const CalculationFlags& flags, float distance);
    // The start side's search; 6 with a meeting, else the calculation's code or a search code.
    [[nodiscard]] int RunStartSearch();
    // Writes the open labels' costs into their records (they stay reached by the labels' links)
    // and gives the labels back.
    void CloseOpenLabels(int level);
    // Whether the settled crossing may be left for the next level.
    [[nodiscard]] bool IsTransitionPoint();
    // The index at the upper crossing of the link by which the current crossing was reached.
    [[nodiscard]] std::uint32_t UpperArrivalIndex(const NetworkCrossing& upper);
    // The network's ElementOfLink for an optimised id, remembered while the network is set.
    [[nodiscard]] std::uint32_t ElementOfOptimisedLink(std::uint32_t id);
    // One climb step at the settled crossing: 7 go on (expand), 15 level done, 10 exhausted.
    [[nodiscard]] int ClimbStep(int side, int level, int next);
    void ClearTransitionMaps(int side);
    // Whether the previous route may be joined: it was built towards this destination with
    // these options.
    [[nodiscard]] bool IsPreviousRouteJoinable() const;
    // The start link's facts for its usable ends; keeps its class and length.
    [[nodiscard]] SeedLinkFacts StartLinkFacts(const LinkCursor& link,
                                               const CalculationFlags& flags);
    [[nodiscard]] bool IsLinkBlocked(const LinkCursor& link, std::uint32_t direction) const;
    // The node form of the meeting test; true when the search stops at once.
    [[nodiscard]] bool MeetAtNode();
    void MeetOverLink(const LinkCursor& link);
    // With a history (the path that arrives by `from`), manoeuvres over several links count too.
    [[nodiscard]] bool IsManoeuvrePossible(const NetworkCrossing& crossing, std::uint32_t from,
                                           std::uint32_t to, TravelMode mode,
                                           ManoeuvreHistory* history = nullptr);
    [[nodiscard]] bool IsProhibitedAhead(std::uint32_t savedArrival, TravelMode mode);
    [[nodiscard]] const StartLinkEnd* FindStartLinkEnd(const CrossingAddress& address) const;
    [[nodiscard]] RouteRecord LinkRecord(const LinkCursor& link, const GeoPoint& position,
                                         std::uint32_t linkId) const;
    // Builds the records when needed; false without a valid route.
    [[nodiscard]] bool HasBuiltRoute();
    void StartFixUp(std::vector<RouteRecord>& list);
    void EndFixUp(std::vector<RouteRecord>& list);

    // The calculation's steps; CalculateBody adds the statistics.
    [[nodiscard]] std::int32_t RunCalculation(const RoutePositionEntry& start,
                                              const RoutePositionEntry& destination,
                                              const CalculationFlags& flags);

    mutable std::recursive_mutex m_lock;
    SearchMemoryReserve* m_reserve;
    RoadNetworkPtr m_network;
    ProgressMeter m_progress;
    RouteOptions m_options;

    // Search state.
    SearchLabelPool m_pool;
    std::array<NodeTable, 3> m_tables;
    std::array<std::unique_ptr<SearchNodeHeap>, 3> m_heaps;
    std::array<std::unique_ptr<SearchSpace>, 3> m_spaces;
    std::array<std::uint16_t, 3> m_budgets{};
    std::array<std::vector<PendingPath>, 3> m_pendingPaths;
    std::optional<std::uint32_t> m_turnClass; // class of the arrival link (mixed routes)
    NetworkCrossingPtr m_current;
    NetworkCrossingPtr m_linkTarget; // LinkCost's look at the target crossing
    NetworkCrossingPtr m_upper;      // ClimbStep's look at the upper crossing, moved each time
    // TargetFacts' memory: direct-mapped by level, page and offset; entries of an earlier
    // calculation (another generation) count as empty.
    struct TargetMemo {
        std::uint64_t key = 0;
        std::uint32_t generation = 0;
        LinkTargetFacts facts;
    };
    std::vector<TargetMemo> m_targetMemo;
    std::uint32_t m_memoGeneration = 1;
    // LinkCost's cost per metre by road class word, for links without annotation or restriction
    // priced by their own class; entries of another generation are not known yet.
    struct ClassCost {
        std::uint32_t generation = 0;
        bool isPassable = false;
        float perMetre = 0.0f;
    };
    static constexpr std::uint32_t kClassCosts = 2048;
    std::vector<ClassCost> m_classCosts;
    std::uint32_t m_classCostGeneration = 1;
    std::optional<LinkCursor> m_expandCursor; // ExpandNode's, restarted per crossing
    NodeRecord* m_currentRecord = nullptr;
    float m_currentCost = 0.0f;
    float m_bestMeeting = kImpassableCost;
    int m_meetingCount = 0;
    bool m_isMet = false;
    std::uint32_t m_meetingLinkId = 0xFFFFFFFF;
    CrossingAddress m_meetingAddress;
    CrossingAddress m_meetingLinkAddress;
    RouteRecord m_meetingLinkRecord;
    int m_startSettled = 0;
    int m_destinationSettled = 0;
    bool m_isSameLink = false;
    std::uint32_t m_metTick = 0;
    bool m_isTimingArmed = false;
    float m_referenceCost = -1.0f;
    bool m_isReferencePending = true;
    bool m_hasAnchor = false; // no anchor counts as far away
    std::uint16_t m_anchorLevel = 0;
    std::uint16_t m_anchorPage = 0xFFFF;
    GeoPoint m_anchorPosition{3.4028235e38f, 3.4028235e38f};
    std::array<float, 2> m_costThreshold{120.0f, 600.0f};
    std::array<float, 2> m_settledThreshold{300.0f, 300.0f};
    std::uint32_t m_climbSettled = 0; // at the climbing level
    int m_transitions = 0;            // to the next level
    bool m_isLastClimbStep = false;
    RouterStatistics m_statistics;
    // Per side: each upper crossing climbed to, with the lower crossing it was first climbed
    // from, in climbing order (a route has a few climbs to look up).
    class TransitionList {
    public:
        void Add(const CrossingAddress& upper, const CrossingAddress& lower) {
            m_pairs.emplace_back(upper, lower);
        }
        // The lower crossing of the first climb to `upper`; null without one.
        [[nodiscard]] const CrossingAddress* FindLower(const CrossingAddress& upper) const {
            for (const auto& [climbedTo, from] : m_pairs) {
                if (climbedTo == upper) {
                    return &from;
                }
            }
            return nullptr;
        }
        void Clear() { m_pairs.clear(); }

    private:
        std::vector<std::pair<CrossingAddress, CrossingAddress>> m_pairs;
    };
    std::array<TransitionList, 2> m_upperToLower;
    // The first element of each optimised link id asked for, kept while the network is set.
    std::unordered_map<std::uint32_t, std::uint32_t> m_elementOfLink;
    std::vector<StartLinkEnd> m_startLinkEnds;
    std::vector<CrossingAddress> m_openStartSeeds; // start seeds not settled yet
    CrossingSet m_startZone;
    CrossingSet m_destinationZone;
    std::uint32_t m_startLinkClass = 0;
    float m_startLinkLength = 0.0f;
    std::uint32_t m_destinationLinkClass = 0;
    float m_destinationLinkLength = 0.0f;

    // Calculation state.
    bool m_isRouteValid = false;
    bool m_wasRouteValid = false; // of the calculation before this one
    SavedSearch m_saved;
    RoutePositionEntry m_startCopy;
    CrossingAddress m_startAddress;
    CrossingAddress m_destinationAddress;
    int m_chosenLevel = 0;
    int m_forcedLevel = -1;
    bool m_useAnnotations = true;
    bool m_useLinkTargets = true;
    bool m_wasReused = false;
    std::uint32_t m_stagedCalculations = 0;

    // Route result.
    std::vector<RouteRecord> m_records;
    GeoPoint m_destinationPosition{0.0f, 0.0f};
    float m_totalLength = 0.0f;
    float m_totalTime = 0.0f;
    RouteEndpoint m_startEnd;
    RouteEndpoint m_destinationEnd;
    // The destination part of the last route above level 0, with what it was built for.
    std::vector<RouteRecord> m_previousRecords;
    CrossingAddress m_previousMeeting;
    bool m_hasPreviousRoute = false;
    bool m_hasJoinedPrevious = false;
    RoutePositionEntry m_previousDestination;
    RouteOptions m_previousOptions;
    RoutePositionEntry m_destinationCopy;
};
