// The label-setting search of the router core on level 0: settling, expanding, the meeting of
// the start side with the saved destination search, and the link costs the search uses.

#include "routing/routercore.h"

#include <algorithm>
#include <optional>

namespace {

// The search's path history as the link cursor walks it. With a first link, the path arrives
// by that link from the space's crossing (a link the search has not taken into its table).
class SearchHistory final : public ManoeuvreHistory {
public:
    SearchHistory(SearchSpace& space, std::vector<PendingPath>& paths,
                  std::optional<std::uint16_t> firstLink = std::nullopt)
        : m_space(&space)
        , m_paths(&paths)
        , m_firstLink(firstLink)
        , m_isAtFirst(firstLink.has_value()) {}

    void Reset() override {
        m_space->Rewind();
        m_isAtFirst = m_firstLink.has_value();
    }
    [[nodiscard]] bool HasMore() const override { return m_isAtFirst || m_space->IsUsable(); }
    [[nodiscard]] std::uint16_t Current() const override {
        return m_isAtFirst ? *m_firstLink : static_cast<std::uint16_t>(m_space->ArrivalIndex());
    }
    void Advance() override {
        if (m_isAtFirst) {
            m_isAtFirst = false;
        } else {
            m_space->Refresh();
        }
    }
    [[nodiscard]] std::vector<PendingPath>& GetPendingPaths() override { return *m_paths; }

private:
    SearchSpace* m_space;
    std::vector<PendingPath>* m_paths;
    std::optional<std::uint16_t> m_firstLink;
    bool m_isAtFirst;
};

} // namespace

void RouterCore::PrepareSearch() {
    ClearHeaps();
    const std::uint16_t maps = m_network->GetMapCount();
    if (maps == 0) {
        return;
    }
    const auto own = [this](std::uint16_t level) {
        return static_cast<std::uint32_t>(
            (std::uint64_t{m_network->GetCrossingCount(level)} * 8u) >> 9);
    };
    std::array<std::uint32_t, 3> budgets{};
    if (maps == 1) {
        budgets = {own(0), 0, 0};
    } else if (maps == 2) {
        budgets = {384, own(1), 0};
    } else {
        budgets = {384, 512, own(2)};
    }
    for (std::uint16_t level = 0; level < 3; ++level) {
        m_budgets[level] = static_cast<std::uint16_t>(std::min(budgets[level], 0xFFFFu));
        m_tables[level].Init(budgets[level], m_network->GetCrossingCount(level));
        if (!m_spaces[level]) {
            m_spaces[level] = std::make_unique<SearchSpace>(m_network, m_tables[level]);
        }
        m_spaces[level]->GetList().clear();
        m_pendingPaths[level].clear();
    }
}

SearchLabel* RouterCore::LabelOf(const NodeRecord& record) const {
    return m_pool.FromHandle(record.value);
}

bool RouterCore::PushLabel(int level, const CrossingAddress& address, std::uint32_t nodeId,
                           float cost, NodeRecord& record) {
    if (SearchLabel* existing = LabelOf(record); existing != nullptr && record.value != 0) {
        if (cost < existing->cost) {
            existing->cost = cost;
            m_heaps[level]->DecreaseKey(existing->heapIndex);
        }
        return true;
    }
    SearchLabel* label = m_pool.Allocate();
    if (label == nullptr) {
        return false;
    }
    *label = {address, nodeId, cost, 0};
    if (!m_heaps[level]->Push(label)) {
        m_pool.Release(label);
        return false;
    }
    record.value = m_pool.HandleOf(label);
    return true;
}

int RouterCore::SettleNext(int side, int level) {
    PoppedLabel label = m_heaps[level]->PopMin();
    m_currentCost = label->cost;
    m_current->MoveTo(label->crossing);
    NodeRecord* record = m_tables[level].GetRecord(label->nodeId);
    if (IsExhausted(record)) {
        return searchcode::kExhausted;
    }
    record->flags = static_cast<std::uint8_t>(record->flags | kSettledFlagOfSide[side]);
    record->SetCost(m_currentCost);
    m_currentRecord = record;
    ++m_statistics.settled[side][level];
    if ((record->flags & kSettledFlagOfSide[1 - side]) != 0) {
        m_meetingAddress = m_current->GetAddress();
        m_metTick = ProgressMeter::Now();
        m_isTimingArmed = true;
    }
    return searchcode::kGoOn;
}

const StartLinkEnd* RouterCore::FindStartLinkEnd(const CrossingAddress& address) const {
    for (const StartLinkEnd& end : m_startLinkEnds) {
        if (end.page == address.page && end.offset == address.offset && address.level == 0) {
            return &end;
        }
    }
    return nullptr;
}

int RouterCore::ExpandNode(int side, int level, bool meetingChecks) {
    SearchSpace& space = *m_spaces[level];
    space.SetPosition(*m_current);
    const std::uint32_t arrival = m_currentRecord->ArrivalIndex();
    m_turnClass.reset();
    if (m_options.routeType == 2 && arrival < 31) {
        // Cursors of the network's own kind, on the stack here and below: the search makes
        // them for each crossing it settles.
        const LinkCursor turn(*m_current, arrival, 0);
        if (turn.IsValid()) {
            m_turnClass = turn.GetRoadClass();
        }
    }
    SearchHistory history(space, m_pendingPaths[level]);
    if (m_expandCursor) {
        m_expandCursor->Restart(*m_current, side == kStartSide, arrival, SearchTravelMode(),
                                &history);
    } else {
        m_expandCursor.emplace(*m_current, side == kStartSide, arrival, SearchTravelMode(),
                               &history);
    }
    LinkCursor* const link = &*m_expandCursor;
    NodeTable& table = m_tables[level];
    // The crossing's row of the link target table, looked up once for all its links.
    const LinkTargetTable* targets =
        m_useLinkTargets ? m_network->GetLinkTargetTable(m_current->GetLevel()) : nullptr;
    const CrossingAddress here = m_current->GetAddress();
    const LinkTargetTable::Row row =
        targets != nullptr && m_current->IsValid()
            ? targets->RowOf(m_current->GetId(), here.page, here.offset)
            : LinkTargetTable::Row{};
    for (; link->IsValid(); link->Next()) {
        const std::uint32_t index = link->GetIndex();
        const LinkTargetFacts facts = row.Holds(index) ? row.At(index) : TargetFacts(*link);
        const float cost = LinkCost(*link, side, facts);
        if (cost == kImpassableCost || link->GetList3Code() == 2) {
            continue;
        }
        const std::uint32_t targetId = facts.id;
        NodeRecord* target = table.GetRecord(targetId);
        if (IsExhausted(target)) {
            return searchcode::kExhausted;
        }
        if ((target->flags & kSettledFlagOfSide[side]) != 0) {
            if (meetingChecks) {
                MeetOverLink(*link);
            }
            continue;
        }
        if (m_chosenLevel != 0 && (target->flags & kSettledFlagOfSide[1 - side]) != 0) {
            return searchcode::kTouchedBelow;
        }
        const std::uint32_t reverse = link->GetReverseIndex();
        const float reached = m_currentCost + cost;
        const CrossingAddress targetAddress = link->GetTarget();
        if (side == kDestinationSide && m_chosenLevel == 0 &&
            (target->flags & NodeRecord::kStartSettled) != 0 &&
            m_startCopy.elementId != 0xFFFFFFFF) {
            if (const StartLinkEnd* end = FindStartLinkEnd(targetAddress)) {
                const NetworkCrossingPtr at = m_network->CreateCrossing(targetAddress);
                if (at && at->IsTurnProhibited(end->arrivalIndex, reverse)) {
                    continue;
                }
                // The start link's part is counted once, by the start side's seed.
            }
        }
        if (target->value != 0) {
            SearchLabel* label = LabelOf(*target);
            if (label != nullptr && label->cost > reached) {
                label->cost = reached;
                target->SetArrivalIndex(reverse);
                // Reached better than from its position: no longer a seed of the route.
                target->flags = static_cast<std::uint8_t>(target->flags & ~NodeRecord::kSeeded);
                m_heaps[level]->DecreaseKey(label->heapIndex);
            }
            continue;
        }
        if (!PushLabel(level, targetAddress, targetId, reached, *target)) {
            return searchcode::kExhausted;
        }
        target->SetArrivalIndex(reverse);
    }
    return searchcode::kGoOn;
}

int RouterCore::SearchLevel0(int side) {
    std::uint32_t tick = ProgressMeter::Now();
    SearchNodeHeap& heap = *m_heaps[0];
    if (heap.IsEmpty()) {
        return searchcode::kHeapEmpty;
    }
    m_meetingCount = 0;
    m_bestMeeting = kImpassableCost;
    m_isMet = false;
    m_meetingLinkId = 0xFFFFFFFF;
    m_startSettled = 0;
    if (side == kDestinationSide) {
        m_destinationSettled = 0;
    }
    for (;;) {
        if (SettleNext(side, 0) == searchcode::kExhausted) {
            return searchcode::kExhausted;
        }
        if (side == kDestinationSide) {
            ++m_meetingCount;
            ++m_destinationSettled;
            if ((m_currentRecord->flags & NodeRecord::kStartSettled) != 0) {
                m_isMet = true;
            }
            if ((m_isMet && m_meetingCount > 100) || m_meetingCount > 5000) {
                return searchcode::kFinished;
            }
        } else {
            ++m_startSettled;
            if (m_startSettled == 1 && m_isSameLink) {
                m_meetingAddress = m_current->GetAddress();
                m_meetingLinkId = 0xFFFFFFFF;
                ++m_meetingCount;
                return searchcode::kFinished;
            }
            if (MeetAtNode()) {
                return searchcode::kFinished;
            }
            std::erase(m_openStartSeeds, m_current->GetAddress());
            // Every route leaves through a start seed, so the search goes on until each has
            // been met: else a far end of the start link that leads straight to the
            // destination would lose to the first meeting found around the near end.
            if ((m_isMet || m_startSettled > 25) && m_meetingCount > 0 &&
                m_openStartSeeds.empty()) {
                return searchcode::kFinished;
            }
        }
        if (ExpandNode(side, 0, side == kStartSide) == searchcode::kExhausted) {
            return searchcode::kExhausted;
        }
        if (side == kDestinationSide && m_progress.Check(tick, m_currentCost) == 0) {
            return searchcode::kCancelled;
        }
        if (heap.IsEmpty()) {
            // The start side's met flag only tells a destination seed apart: any meeting it
            // accepted is a route, even when its search runs dry before the stop rule holds,
            // and without one there is no route, whatever seed it saw.
            const bool hasRoute = side == kStartSide ? m_meetingCount > 0 : m_isMet;
            return hasRoute ? searchcode::kFinished : searchcode::kHeapEmpty;
        }
    }
}

bool RouterCore::IsManoeuvrePossible(const NetworkCrossing& crossing, std::uint32_t from,
                                     std::uint32_t to, TravelMode mode, ManoeuvreHistory* history) {
    if (from == 31 || to == 31) {
        return true;
    }
    const LinkCursor into(crossing, to, mode);
    if (!into.IsValid()) {
        return false;
    }
    const std::uint32_t element = into.GetElementId();
    for (LinkCursor link(crossing, true, from, mode, history); link.IsValid(); link.Next()) {
        if (link.GetElementId() == element) {
            return true;
        }
    }
    return false;
}

bool RouterCore::IsProhibitedAhead(std::uint32_t savedArrival, TravelMode mode) {
    NetworkCrossing at = *m_current;
    std::uint32_t index = savedArrival;
    NodeTable& saved = m_saved.tables[0];
    // Bounded by the level's crossings so that inconsistent records cannot loop.
    for (std::uint32_t steps = 0; steps <= saved.GetNodeCount(); ++steps) {
        const LinkCursor link(at, index, 0);
        if (!link.IsValid() || !link.HasPendingPathFlag()) {
            return false;
        }
        at.MoveTo(link.GetTarget());
        if (!at.IsValid()) {
            return false;
        }
        const NodeRecord* record = saved.GetRecord(at.GetId());
        if (IsExhausted(record) || record->ArrivalIndex() == 31) {
            return false;
        }
        index = record->ArrivalIndex();
        const AttributeAccessorPtr attributes = at.GetAttributes();
        if (attributes && attributes->ListWords(2) != 0) {
            const auto item = attributes->CreateList2Reader();
            for (; item->HasMore(); item->Next()) {
                const std::uint32_t kind = item->ModeKind();
                if ((kind == 0 || kind == mode) && item->Value(0) == static_cast<int>(index)) {
                    return true;
                }
            }
        }
        // A destination seed is left by the destination link, which may end a manoeuvre too;
        // the walk ends there.
        if ((record->flags & NodeRecord::kSeeded) != 0) {
            return false;
        }
    }
    return false;
}

bool RouterCore::MeetAtNode() {
    const NodeRecord* saved = m_saved.tables[0].GetRecord(m_current->GetId());
    const std::uint32_t arrival = m_currentRecord->ArrivalIndex();
    if (IsExhausted(saved) || (saved->flags & NodeRecord::kDestinationSettled) == 0 ||
        saved->ArrivalIndex() == arrival) {
        return false;
    }
    const TravelMode mode = ZoneTravelMode(kStartSide, 0);
    const std::uint32_t savedArrival = saved->ArrivalIndex();
    // A start on a link arrives at its first crossing by that link, so even a destination
    // seed there is only met when the turn onto the seed's link is allowed. The start side's
    // path here decides manoeuvres over several links that end with that turn.
    SearchSpace& space = *m_spaces[0];
    space.SetPosition(*m_current);
    SearchHistory history(space, m_pendingPaths[0]);
    if (!IsManoeuvrePossible(*m_current, arrival, savedArrival, mode, &history)) {
        return false;
    }
    if ((saved->flags & NodeRecord::kSeeded) != 0) {
        m_isMet = true;
        // Another end of the start link may still lead to the destination more cheaply.
        const CrossingAddress here = m_current->GetAddress();
        const bool isOnlySeed = std::ranges::all_of(
            m_openStartSeeds, [&](const CrossingAddress& seed) { return seed == here; });
        if (m_startSettled == 1 && isOnlySeed) {
            m_meetingAddress = m_current->GetAddress();
            m_meetingLinkId = 0xFFFFFFFF;
            ++m_meetingCount;
            return true;
        }
    }
    const float candidate = m_currentCost + saved->Cost();
    if (candidate > m_bestMeeting) {
        return false;
    }
    if (arrival < 31 && savedArrival < 31) {
        const LinkCursor in(*m_current, arrival, 0);
        if (in.IsValid() && in.HasPendingPathFlag() && IsProhibitedAhead(savedArrival, mode)) {
            return false;
        }
    }
    m_bestMeeting = candidate;
    m_meetingAddress = m_current->GetAddress();
    m_meetingLinkId = 0xFFFFFFFF;
    ++m_meetingCount;
    return false;
}

void RouterCore::MeetOverLink(const LinkCursor& link) {
    const CrossingAddress targetAddress = link.GetTarget();
    const NetworkCrossing target(*m_network, targetAddress);
    if (!target.IsValid()) {
        return;
    }
    const NodeRecord* saved = m_saved.tables[0].GetRecord(target.GetId());
    const std::uint32_t reverse = link.GetReverseIndex();
    if (IsExhausted(saved) || (saved->flags & NodeRecord::kDestinationSettled) == 0 ||
        saved->ArrivalIndex() == reverse) {
        return;
    }
    if ((saved->flags & NodeRecord::kSeeded) != 0) {
        m_isMet = true;
    }
    const float candidate = m_currentRecord->Cost() + saved->Cost() + LinkCost(link, kStartSide);
    if (candidate > m_bestMeeting) {
        return;
    }
    const std::uint32_t savedArrival = saved->ArrivalIndex();
    if (savedArrival < 31) {
        const LinkCursor here(target, reverse, 0);
        const LinkCursor there(target, savedArrival, 0);
        if (here.IsValid() && here.HasPendingPathFlag() && there.IsValid() &&
            there.HasPendingPathFlag()) {
            return;
        }
    }
    // The start side's path, then the link, decides manoeuvres that end with the turn there.
    SearchHistory history(*m_spaces[0], m_pendingPaths[0], static_cast<std::uint16_t>(reverse));
    if (!IsManoeuvrePossible(target, reverse, savedArrival, ZoneTravelMode(kStartSide, 0),
                             &history)) {
        return;
    }
    m_bestMeeting = candidate;
    m_meetingAddress = m_current->GetAddress();
    m_meetingLinkId = link.GetElementId();
    ++m_meetingCount;
    m_meetingLinkAddress = targetAddress;
    m_meetingLinkRecord = LinkRecord(link, m_current->Position(), link.GetElementId());
}

AnnotationValuePtr RouterCore::LinkAnnotationFor(const LinkCursor& link,
                                                 std::uint32_t direction) const {
    if (!m_useAnnotations || !m_network) {
        return nullptr;
    }
    return m_network->GetLinkAnnotation(link, direction);
}

float RouterCore::LinkSpeed(const LinkCursor& link, int side) const {
    const AnnotationValuePtr annotation = LinkAnnotationFor(link, side == kStartSide ? 1 : 2);
    return ::LinkSpeed(m_options, link.GetRoadClass(),
                       annotation ? std::optional<std::uint8_t>(*annotation) : std::nullopt);
}

const NetworkCrossing* RouterCore::PlaceLinkTarget(const LinkCursor& link) {
    const CrossingAddress address = link.GetTarget();
    if (!m_linkTarget) {
        m_linkTarget = m_network->CreateCrossing(address);
    } else if (!(m_linkTarget->GetAddress() == address)) {
        m_linkTarget->MoveTo(address);
    }
    return m_linkTarget.get();
}

LinkTargetFacts RouterCore::TargetFacts(const LinkCursor& link) {
    const NetworkCrossing& from = link.GetCrossing();
    if (const LinkTargetTable* table = m_useLinkTargets && from.IsValid()
                                           ? m_network->GetLinkTargetTable(from.GetLevel())
                                           : nullptr) {
        const CrossingAddress at = from.GetAddress();
        if (const auto facts = table->Find(from.GetId(), at.page, at.offset, link.GetIndex())) {
            return *facts;
        }
    }
    constexpr std::size_t kMemoBits = 12;
    if (m_targetMemo.empty()) {
        m_targetMemo.resize(std::size_t{1} << kMemoBits);
    }
    const CrossingAddress address = link.GetTarget();
    const std::uint64_t key =
        (std::uint64_t{address.level} << 32) | (std::uint64_t{address.page} << 16) | address.offset;
    TargetMemo& memo = m_targetMemo[(key * 0x9E3779B97F4A7C15ull) >> (64 - kMemoBits)];
    if (memo.generation == m_memoGeneration && memo.key == key) {
        return memo.facts;
    }
    // One handle, moved from target to target, spares two allocations per link.
    LinkTargetFacts facts;
    if (const NetworkCrossing* target = PlaceLinkTarget(link)) {
        facts.id = target->GetId();
        const CrossingRecord* record = target->GetRecord();
        facts.hasList4 =
            record != nullptr && record->AttributeBlock() != nullptr &&
            AttributeAccessor(record->AttributeBlock(), record->AttributeWords()).ListWords(4) != 0;
    }
    memo = {key, m_memoGeneration, facts};
    return facts;
}

float RouterCore::LinkCost(const LinkCursor& link, int side) {
    return LinkCost(link, side, TargetFacts(link));
}

float RouterCore::LinkCost(const LinkCursor& link, int side, const LinkTargetFacts& target) {
    LinkCostInput input;
    input.roadClass = link.GetRoadClass();
    input.costClass = input.roadClass;
    if (side == kDestinationSide && m_options.routeType == 2 && m_turnClass) {
        input.costClass = *m_turnClass;
    }
    input.lengthMetres = static_cast<float>(link.GetLength());
    const std::uint32_t mode = m_options.travelMode;
    const bool usesZones = !(mode == 2 || mode == 3 || mode == 4 || mode == 9 || mode == 12);
    if (usesZones) {
        // Only list-4 data make the modes differ, so crossings without them are skipped.
        if (target.hasList4 && PlaceLinkTarget(link) != nullptr) {
            input.isRestricted = IsRestricted(*m_linkTarget, link.GetElementId());
        }
    }
    const AnnotationValuePtr annotation = LinkAnnotationFor(link, side == kStartSide ? 1 : 2);
    if (annotation) {
        input.annotation = *annotation;
    } else if (!input.isRestricted && input.costClass == input.roadClass &&
               input.roadClass < kClassCosts) {
        // The class decides all but the length: its cost per metre is worked out once.
        if (m_classCosts.empty()) {
            m_classCosts.resize(kClassCosts);
        }
        ClassCost& known = m_classCosts[input.roadClass];
        if (known.generation != m_classCostGeneration) {
            const std::optional<float> perMetre = PlainLinkCostPerMetre(m_options, input.roadClass);
            known = {m_classCostGeneration, perMetre.has_value(), perMetre.value_or(0.0f)};
        }
        return known.isPassable ? input.lengthMetres * known.perMetre : kImpassableCost;
    }
    return ::LinkCost(m_options, input);
}

RouteRecord RouterCore::LinkRecord(const LinkCursor& link, const GeoPoint& position,
                                   std::uint32_t linkId) const {
    RouteRecord record;
    record.x = position.x;
    record.y = position.y;
    record.linkId = linkId;
    record.length = static_cast<std::int32_t>(link.GetLength());
    record.attributes = RecordAttributes::FromCursor(link);
    record.time = RecordTime(static_cast<float>(record.length), LinkSpeed(link, kDestinationSide));
    return record;
}
