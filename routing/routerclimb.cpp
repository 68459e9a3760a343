// The router core's search above level 0: climbing from level to level through the crossings
// that also exist on the next level, the destination side's search on the chosen level, the
// start side's join with it, and the rules that end a level.

#include "positioning/geodistance.h"
#include "routing/routercore.h"

#include <algorithm>

namespace {

// Ticks are compared by difference so that the wrap of the 32-bit count does not matter.
bool IsLater(std::uint32_t now, std::uint32_t then, std::uint32_t ms) {
    return static_cast<std::int32_t>(now - then) > static_cast<std::int32_t>(ms);
}

} // namespace

void RouterCore::ClearTransitionMaps(int side) {
    m_upperToLower[side].Clear();
}

void RouterCore::CloseOpenLabels(int level) {
    SearchNodeHeap& heap = *m_heaps[level];
    NodeTable& table = m_tables[level];
    for (std::uint32_t slot = 1; slot <= heap.GetCount(); ++slot) {
        const SearchLabel* label = heap.At(slot);
        NodeRecord* record = table.GetRecord(label->nodeId);
        if (!IsExhausted(record) && record->value == m_pool.HandleOf(label)) {
            // Reached by its arrival link at this cost: a route's cost, never a lower bound.
            record->SetCost(label->cost);
        }
    }
    heap.Clear();
}

bool RouterCore::IsTransitionPoint() {
    if (m_current->HasTurnTable()) {
        return false;
    }
    // What plain cursors on the crossing would see: every link of its record.
    const CrossingRecord* record = m_current->GetRecord();
    const std::uint32_t arrival = m_currentRecord->ArrivalIndex();
    if (record == nullptr || arrival >= record->LinkCount() ||
        !record->Link(arrival).HasPendingPath()) {
        return true;
    }
    int flagged = 0;
    for (std::uint32_t i = 0; i < record->LinkCount(); ++i) {
        flagged += record->Link(i).HasPendingPath() ? 1 : 0;
    }
    return flagged <= 1;
}

std::uint32_t RouterCore::UpperArrivalIndex(const NetworkCrossing& upper) {
    const std::uint32_t arrival = m_currentRecord->ArrivalIndex();
    if (arrival == 31) {
        return 31;
    }
    // Plain cursors of the network's own kind, on the stack: one per settled crossing.
    const LinkCursor lower(*m_current, arrival, SearchTravelMode());
    if (!lower.IsValid()) {
        return 31;
    }
    const std::uint32_t lowerClass = lower.GetRoadClass();
    const std::uint32_t lowerDirection = lower.GetDirectionCode();
    const std::uint32_t lowerLength = lower.GetLength();
    const std::uint32_t lowerElement = lower.GetElementId();
    std::uint32_t index = 31;
    bool hasMatched = false;
    for (LinkCursor link(upper, 0, SearchTravelMode()); link.IsValid(); link.Next()) {
        if (link.GetRoadClass() != lowerClass || link.GetDirectionCode() != lowerDirection ||
            link.GetLength() != lowerLength) {
            continue;
        }
        // Several links alike: only the same element may replace the first one.
        if (!hasMatched || link.GetElementId() == lowerElement) {
            index = link.GetIndex();
            hasMatched = true;
        }
    }
    if (hasMatched) {
        return index;
    }
    // A merged upper link that leaves over the arrival element is the road the route came by:
    // without its index the upper search would turn back along it.
    for (LinkCursor link(upper, 0, SearchTravelMode()); link.IsValid(); link.Next()) {
        const std::uint32_t id = link.GetElementId();
        if (m_network->IsOptimisedId(id) && ElementOfOptimisedLink(id) == lowerElement) {
            return link.GetIndex();
        }
    }
    return 31;
}

std::uint32_t RouterCore::ElementOfOptimisedLink(std::uint32_t id) {
    const auto [at, isNew] = m_elementOfLink.try_emplace(id, 0u);
    if (isNew) {
        at->second = m_network->ElementOfLink(id);
    }
    return at->second;
}

int RouterCore::ClimbStep(int side, int level, int next) {
    if (!IsTransitionPoint()) {
        return searchcode::kGoOn;
    }
    // The upper crossing as the network's GetUpperCrossing gives it, in one handle moved from
    // climb to climb.
    const std::optional<CrossingAddress> upperAt = RoadNetwork::UpperAddressOf(*m_current);
    if (upperAt) {
        if (!m_upper) {
            m_upper = m_network->CreateCrossing(*upperAt);
        } else {
            m_upper->MoveTo(*upperAt);
        }
    }
    const NetworkCrossing* const upper = upperAt ? m_upper.get() : nullptr;
    if (upper == nullptr || !upper->IsValid()) {
        const NodeTable& table = m_tables[level];
        const bool isTableFull = table.GetPagesInUse() + 1 >= table.GetPageBudget();
        return m_transitions > 0 && isTableFull ? searchcode::kLevelDone : searchcode::kGoOn;
    }
    if (const CrossingRecord* here = m_current->GetRecord();
        here != nullptr && here->AttributeBlock() != nullptr) {
        const AttributeAccessor attributes(here->AttributeBlock(), here->AttributeWords());
        if (attributes.ListWords(1) != 0 || attributes.ListWords(2) != 0) {
            return searchcode::kGoOn;
        }
    }
    NodeRecord* upperRecord = m_tables[next].GetRecord(upper->GetId());
    if (IsExhausted(upperRecord)) {
        return searchcode::kExhausted;
    }
    upperRecord->flags = static_cast<std::uint8_t>(upperRecord->flags | kSettledFlagOfSide[side]);
    const CrossingAddress upperAddress = upper->GetAddress();
    const std::uint32_t upperArrival = UpperArrivalIndex(*upper);
    if (!m_isLastClimbStep) {
        if ((upperRecord->flags & kSettledFlagOfSide[1 - side]) == 0) {
            upperRecord->SetArrivalIndex(upperArrival);
        }
        upperRecord->flags = static_cast<std::uint8_t>(upperRecord->flags | NodeRecord::kSeeded);
        if (!PushLabel(next, upperAddress, upper->GetId(), m_currentCost, *upperRecord)) {
            return searchcode::kExhausted;
        }
    } else {
        // Joining the destination search: only where it went, and never back over the link
        // by which the two searches both reached the crossing.
        if ((upperRecord->flags & NodeRecord::kDestinationSettled) == 0) {
            return searchcode::kGoOn;
        }
        const std::uint32_t ownArrival = upperRecord->ArrivalIndex();
        if (ownArrival == 31) {
            const NodeRecord* saved =
                TableOf(true, static_cast<std::uint16_t>(level)).GetRecord(m_current->GetId());
            if (IsExhausted(saved) || (saved->ArrivalIndex() != 31 &&
                                       saved->ArrivalIndex() == m_currentRecord->ArrivalIndex())) {
                return searchcode::kGoOn;
            }
        } else if (upperArrival == ownArrival) {
            return searchcode::kGoOn;
        }
        // The record keeps the destination search's cost for the join.
        SearchLabel* label = m_pool.Allocate();
        if (label == nullptr) {
            return searchcode::kExhausted;
        }
        *label = {upperAddress, upper->GetId(), m_currentCost, 0};
        if (!m_heaps[next]->Push(label)) {
            m_pool.Release(label);
            return searchcode::kExhausted;
        }
    }
    m_upperToLower[side].Add(upperAddress, m_current->GetAddress());
    ++m_transitions;
    return ShouldStopSearch(level, true) ? searchcode::kLevelDone : searchcode::kGoOn;
}

int RouterCore::ClimbLevels(int side, int level, int next, bool lastStepJoins) {
    std::uint32_t tick = ProgressMeter::Now();
    if (m_heaps[level]->IsEmpty()) {
        return searchcode::kHeapEmpty;
    }
    m_transitions = 0;
    m_climbSettled = 0;
    m_isLastClimbStep = lastStepJoins && m_chosenLevel == next;
    for (;;) {
        if (SettleNext(side, level) == searchcode::kExhausted) {
            return searchcode::kExhausted;
        }
        // A crossing dropped for want of search memory would give a worse route unnoticed.
        int step = ClimbStep(side, level, next);
        if (step == searchcode::kExhausted) {
            return searchcode::kExhausted;
        }
        if (step == searchcode::kGoOn) {
            const int expanded = ExpandNode(side, level, false);
            if (expanded == searchcode::kExhausted) {
                return searchcode::kExhausted;
            }
            ++m_climbSettled;
            if (expanded == searchcode::kTouchedBelow) {
                return searchcode::kTouchedBelow;
            }
            // A level searched to its end has made every climb it can: the next level's seeds
            // hold the route.
            if (m_heaps[level]->IsEmpty() && m_transitions > 0) {
                step = searchcode::kLevelDone;
            }
        }
        if (step == searchcode::kLevelDone) {
            CloseOpenLabels(level);
            level = next;
            next = level + 1;
            m_transitions = 0;
            m_climbSettled = 0;
            m_isLastClimbStep = lastStepJoins && m_chosenLevel == next;
            if (m_chosenLevel < next) {
                return searchcode::kLevelDone;
            }
        }
        if (m_heaps[level]->IsEmpty()) {
            return searchcode::kHeapEmpty;
        }
        if (m_progress.Check(tick, m_currentCost) == 0) {
            return searchcode::kCancelled;
        }
    }
}

int RouterCore::SearchTopLevel(int side, int level) {
    std::uint32_t tick = ProgressMeter::Now();
    SearchNodeHeap& heap = *m_heaps[level];
    if (heap.IsEmpty()) {
        return searchcode::kHeapEmpty;
    }
    for (;;) {
        if (SettleNext(side, level) == searchcode::kExhausted) {
            return searchcode::kExhausted;
        }
        if (ShouldStopSearch(level, false)) {
            return searchcode::kFinished;
        }
        if (m_isTimingArmed && IsLater(ProgressMeter::Now(), m_metTick, 100)) {
            return searchcode::kFinished;
        }
        const int expanded = ExpandNode(side, level, false);
        if (expanded == searchcode::kExhausted || expanded == searchcode::kTouchedBelow) {
            return expanded;
        }
        if (m_progress.Check(tick, m_currentCost) == 0) {
            return searchcode::kCancelled;
        }
        if (heap.IsEmpty()) {
            return searchcode::kHeapEmpty;
        }
    }
}

int RouterCore::JoinAtTopLevel(bool isDestinationBit, int level) {
    SearchNodeHeap& heap = *m_heaps[level];
    const std::uint8_t bit =
        isDestinationBit ? NodeRecord::kDestinationSettled : NodeRecord::kStartSettled;
    float best = kImpassableCost;
    bool isFound = false;
    while (!heap.IsEmpty()) {
        const PoppedLabel label = heap.PopMin();
        const NodeRecord* record = m_tables[level].GetRecord(label->nodeId);
        if (IsExhausted(record)) {
            // No meeting was chosen: a route from the last one would be stale.
            return searchcode::kExhausted;
        }
        if ((record->flags & bit) == 0) {
            continue;
        }
        const float sum = label->cost + record->Cost();
        if (sum < best) {
            best = sum;
            m_meetingAddress = label->crossing;
            m_meetingLinkId = 0xFFFFFFFF;
            isFound = true;
        }
    }
    return isFound ? searchcode::kFinished : searchcode::kHeapEmpty;
}

bool RouterCore::ShouldStopSearch(int level, bool isClimbing) {
    if (m_chosenLevel == 0) {
        return false;
    }
    const NodeTable& table = m_tables[level];
    const bool hasRoom = table.GetPageBudget() > table.GetPagesInUse() + 1;
    const bool hasAnchor = m_hasAnchor && m_anchorLevel == m_chosenLevel;
    // Without an anchor every crossing counts as far from it.
    const double fromAnchor =
        hasAnchor ? GeoDistance(m_anchorPosition, m_current->Position()) : 1.0e30;
    if (isClimbing) {
        if (!hasRoom) {
            return m_transitions > 0;
        }
        const std::size_t index = std::min(level, 1);
        if (!(static_cast<float>(m_climbSettled) > m_settledThreshold[index])) {
            return false;
        }
        if (m_transitions > 200) {
            return true;
        }
        if (!(m_currentCost > m_costThreshold[index])) {
            return false;
        }
        return fromAnchor < 25000.0 ? m_transitions > 10 : m_transitions > 20;
    }
    if (hasAnchor && m_isReferencePending && m_current->GetAddress().page == m_anchorPage) {
        m_referenceCost = m_currentCost;
        if (fromAnchor < 10000.0) {
            m_referenceCost = std::max(m_referenceCost, 250.0f);
            m_isReferencePending = false;
        }
    }
    if (!m_heaps[level]->IsEmpty()) {
        if (hasRoom) {
            return !m_isReferencePending &&
                   static_cast<double>(m_currentCost) > 1.2 * static_cast<double>(m_referenceCost);
        }
        return !m_isReferencePending;
    }
    return m_referenceCost >= 0.0f;
}
