// The route result of the router core: route records traced back from the meeting of the two
// searches, the fix-ups of the partial links at both ends, and the route's totals.

#include "positioning/geodistance.h"
#include "routing/routercore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

RouteRecord PlaceholderRecord(const GeoPoint& position, float length) {
    RouteRecord record;
    record.x = position.x;
    record.y = position.y;
    record.linkId = kNoLinkId;
    record.length = static_cast<std::int32_t>(length);
    record.attributes = RecordAttributes{0xFFFF};
    record.time = RecordTime(length, 1.0f);
    return record;
}

// (int) of the part, at least 1 m.
std::int32_t PartLength(float metres) {
    const auto length = static_cast<std::int32_t>(metres);
    return std::max(length, 1);
}

} // namespace

const std::vector<RouteRecord>& RouterCore::BuildRecords(std::int32_t /*unused*/, bool keepPoints) {
    if (!m_isRouteValid) {
        m_records.clear();
        return m_records;
    }
    if (!m_records.empty()) {
        return m_records;
    }
    m_destinationPosition = m_destinationEnd.position;
    if (m_isSameLink) {
        const RouteRecord record = MakeEndpointRecord(m_startEnd.reference);
        m_records.push_back(record);
        m_totalLength = static_cast<float>(record.length);
        m_totalTime = static_cast<float>(record.time) / 3600.0f;
        return m_records;
    }
    m_totalLength = 0.0f;
    m_totalTime = 0.0f;
    (void)AssembleRouteRecords(m_records);
    StartFixUp(m_records);
    EndFixUp(m_records);
    // False keeps the records that could not be expanded as they were: the route stays whole.
    (void)m_network->ExpandOptimisedLinks(m_records, keepPoints);
    float length = 0.0f;
    float time = 0.0f;
    for (const RouteRecord& record : m_records) {
        length += static_cast<float>(record.length);
        time += static_cast<float>(record.time);
    }
    m_totalLength = length;
    m_totalTime = time * 0.00027777778f;
    return m_records;
}

bool RouterCore::HasBuiltRoute() {
    if (!m_isRouteValid) {
        return false;
    }
    if (m_records.empty()) {
        (void)BuildRecords(-1, true);
    }
    return true;
}

float RouterCore::GetTravelTime() {
    return HasBuiltRoute() ? m_totalTime : -1.0f;
}

float RouterCore::GetLength() {
    return HasBuiltRoute() ? m_totalLength : -1.0f;
}

void RouterCore::StartFixUp(std::vector<RouteRecord>& list) {
    const std::uint32_t linkId = m_startEnd.linkId;
    if (linkId == kNoLinkId || list.empty() || list.front().linkId != kNoLinkId) {
        return;
    }
    list.front().linkId = linkId;
    if (list.size() > 1 && list[1].linkId == linkId) {
        list.erase(list.begin());
    }
    const RouteRecord endpoint = MakeEndpointRecord(m_startEnd.reference);
    RouteRecord& first = list.front();
    first.attributes = endpoint.attributes;
    const bool isAtReference =
        first.x == m_startEnd.reference.x && first.y == m_startEnd.reference.y;
    first.length =
        PartLength(isAtReference ? m_startEnd.offset : m_startEnd.linkLength - m_startEnd.offset);
    first.time = RecordTime(static_cast<float>(first.length),
                            ClassSpeed(m_options, m_startEnd.attributeCode));
    first.x = m_startEnd.position.x;
    first.y = m_startEnd.position.y;
}

void RouterCore::EndFixUp(std::vector<RouteRecord>& list) {
    const std::uint32_t linkId = m_destinationEnd.linkId;
    if (linkId == kNoLinkId || list.empty() || list.back().linkId != kNoLinkId) {
        return;
    }
    if (linkId == m_startEnd.linkId && list.size() < 3) {
        list.pop_back();
        return;
    }
    RouteRecord& last = list.back();
    last.linkId = linkId;
    last.attributes = RecordAttributes::Make(m_destinationEnd.attributeCode, 0);
    const bool isAtReference =
        last.x == m_destinationEnd.reference.x && last.y == m_destinationEnd.reference.y;
    last.length = PartLength(isAtReference ? m_destinationEnd.offset
                                           : m_destinationEnd.linkLength - m_destinationEnd.offset);
    last.time = RecordTime(static_cast<float>(last.length),
                           ClassSpeed(m_options, m_destinationEnd.attributeCode));
}

bool RouterCore::IsPreviousRouteJoinable() const {
    // The old tail leads to the old destination as the old options priced it.
    return m_hasPreviousRoute && m_chosenLevel > 0 &&
           m_previousDestination.point.x == m_destinationCopy.point.x &&
           m_previousDestination.point.y == m_destinationCopy.point.y &&
           m_previousDestination.nodePoint.x == m_destinationCopy.nodePoint.x &&
           m_previousDestination.nodePoint.y == m_destinationCopy.nodePoint.y &&
           m_previousDestination.elementId == m_destinationCopy.elementId &&
           m_previousDestination.offset == m_destinationCopy.offset &&
           std::memcmp(&m_previousOptions, &m_options, sizeof(RouteOptions)) == 0;
}

bool RouterCore::AssembleRouteRecords(std::vector<RouteRecord>& list) {
    std::vector<RouteRecord> working;
    std::vector<RouteRecord> scratch;
    CrossingAddress address = m_meetingAddress;
    m_hasJoinedPrevious = false;
    if (m_chosenLevel == 0) {
        // On level 0 the whole route is traced, so a route meeting where the last one met is
        // not taken for it.
        (void)TraceLabelPath(scratch, address, false, true);
        working.assign(scratch.rbegin(), scratch.rend());
        scratch.clear();
        if (m_meetingLinkId != kNoLinkId) {
            working.push_back(m_meetingLinkRecord);
            address = m_meetingLinkAddress;
        } else {
            address = m_meetingAddress;
        }
        (void)TraceLabelPath(scratch, address, true, false);
        working.insert(working.end(), scratch.begin(), scratch.end());
        m_hasPreviousRoute = false;
        list.insert(list.end(), working.begin(), working.end());
        return !list.empty();
    }
    // The start part: from the meeting crossing down the start side's climbs, each level's
    // piece traced back to where the start search entered that level.
    std::vector<RouteRecord> front;
    for (const CrossingAddress* lower = m_upperToLower[kStartSide].FindLower(address);
         lower != nullptr; lower = m_upperToLower[kStartSide].FindLower(address)) {
        address = *lower;
        scratch.clear();
        (void)TraceLabelPath(scratch, address, false, true);
        front.insert(front.begin(), scratch.rbegin(), scratch.rend());
    }
    list.insert(list.end(), front.begin(), front.end());

    const bool isJoinable = IsPreviousRouteJoinable();
    if (isJoinable && m_meetingAddress == m_previousMeeting) {
        list.insert(list.end(), m_previousRecords.begin(), m_previousRecords.end());
        m_hasJoinedPrevious = true;
        return !list.empty();
    }
    std::set<std::uint32_t> previousLinks;
    if (isJoinable) {
        for (const RouteRecord& record : m_previousRecords) {
            if (record.linkId != kNoLinkId) {
                previousLinks.insert(record.linkId);
            }
        }
    }
    const std::set<std::uint32_t>* joinable = isJoinable ? &previousLinks : nullptr;
    // The destination part: down the destination side's climbs over the saved tables.
    address = m_meetingAddress;
    int traced = TraceLabelPath(working, address, false, false, joinable);
    while (traced != 2) {
        const CrossingAddress* lower = m_upperToLower[kDestinationSide].FindLower(address);
        if (lower == nullptr) {
            break;
        }
        address = *lower;
        traced = TraceLabelPath(working, address, true, false, joinable);
    }
    m_hasJoinedPrevious = traced == 2;
    m_previousRecords = working;
    m_previousMeeting = m_meetingAddress;
    m_previousDestination = m_destinationCopy;
    m_previousOptions = m_options;
    m_hasPreviousRoute = true;
    list.insert(list.end(), working.begin(), working.end());
    return !list.empty();
}

int RouterCore::TraceLabelPath(std::vector<RouteRecord>& list, CrossingAddress& address,
                               bool isSaved, bool isForward,
                               const std::set<std::uint32_t>* previousLinks) {
    NetworkCrossingPtr at = m_network->CreateCrossing(address);
    if (!at || !at->IsValid()) {
        return 0;
    }
    NodeTable& table = TableOf(isSaved, address.level);
    const NodeRecord* record = table.GetRecord(at->GetId());
    if (IsExhausted(record)) {
        return 0;
    }
    if ((record->flags & NodeRecord::kSeeded) != 0) {
        // Above level 0, seeds of upper levels are where a search climbed, not a route's end;
        // a level-0 seed owes its link's piece as after a walk.
        const bool isEnd = m_chosenLevel == 0 || (address.level == 0 && record->Cost() > 0.001f);
        if (isEnd) {
            list.push_back(PlaceholderRecord(at->Position(), 1.0f));
        }
        return 1;
    }
    // Each step settles one node, so a chain longer than the level's nodes is broken. The
    // crossings and cursors are of the network's own kind, on the stack: one pair per link.
    NetworkCrossing crossings[2] = {*at, *at};
    NetworkCrossing* here = &crossings[0];
    NetworkCrossing* previous = &crossings[1];
    for (std::uint32_t steps = 0;; ++steps) {
        const std::uint32_t arrival = record->ArrivalIndex();
        if (arrival == 31 || steps >= table.GetNodeCount()) {
            return 0;
        }
        const LinkCursor link(*here, arrival, 0);
        if (!link.IsValid()) {
            return 0;
        }
        previous->MoveTo(link.GetTarget());
        if (!previous->IsValid()) {
            return 0;
        }
        if (isForward) {
            const LinkCursor back(*previous, link.GetReverseIndex(), 0);
            if (!back.IsValid()) {
                return 0;
            }
            list.push_back(LinkRecord(back, previous->Position(), back.GetElementId()));
        } else {
            const GeoPoint position = here->Position();
            const std::uint32_t linkId = link.GetElementId();
            if (previousLinks != nullptr && previousLinks->contains(linkId)) {
                // The previous route drove this link from here on: its tail is this one's.
                const auto joined = std::ranges::find_if(m_previousRecords, [&](const auto& r) {
                    return r.linkId == linkId && r.x == position.x && r.y == position.y;
                });
                if (joined != m_previousRecords.end()) {
                    list.insert(list.end(), joined, m_previousRecords.end());
                    return 2;
                }
            }
            list.push_back(LinkRecord(link, position, linkId));
        }
        std::swap(here, previous);
        record = table.GetRecord(here->GetId());
        if (IsExhausted(record)) {
            return 0;
        }
        if ((record->flags & NodeRecord::kSeeded) != 0) {
            break;
        }
    }
    address = here->GetAddress();
    if (address.level == 0 && record->Cost() > 0.001f) {
        list.push_back(PlaceholderRecord(here->Position(), record->Cost()));
    }
    return 1;
}

RouteRecord RouterCore::MakeEndpointRecord(const GeoPoint& reference) {
    RouteRecord fallback;
    fallback.x = reference.x;
    fallback.y = reference.y;
    fallback.linkId = m_startEnd.linkId;
    fallback.length = static_cast<std::int32_t>(m_startEnd.offset);
    fallback.time = RecordTime(m_startEnd.offset, 1.0f);

    CrossingQuery query;
    query.input = reference;
    query.radius = 5000.0f;
    query.elementId = m_startEnd.linkId;
    query.level = 0;
    if (!m_network->FindCrossingNear(query)) {
        return fallback;
    }
    const NetworkCrossingPtr crossing = m_network->CreateCrossing(query.address);
    if (!crossing || !crossing->IsValid()) {
        return fallback;
    }
    LinkCursorPtr link;
    for (std::uint32_t i = 0; i < crossing->GetLinkCount() && !link; ++i) {
        LinkCursorPtr candidate = m_network->CreateCursor(*crossing, i, 0);
        if (candidate && candidate->IsValid() && candidate->GetElementId() == m_startEnd.linkId) {
            link = candidate;
        }
    }
    if (!link) {
        return fallback;
    }
    float speed = LinkSpeed(*link, kDestinationSide);
    if (speed == 0.0f) {
        speed = LinkSpeed(*link, kStartSide);
    }
    float length = 5000.0f;
    if (m_isSameLink) {
        const float startOffset = m_startEnd.offset;
        const float destinationOffset = m_destinationEnd.offset;
        length = GeoDistance(m_startEnd.reference, m_destinationEnd.reference) < 5.0
                     ? std::fabs(destinationOffset - startOffset)
                     : std::fabs(static_cast<float>(link->GetLength()) - startOffset -
                                 destinationOffset);
    }
    length = std::max(length, 1.0f);
    RouteRecord record;
    record.x = m_startEnd.position.x;
    record.y = m_startEnd.position.y;
    record.linkId = m_startEnd.linkId;
    record.length = static_cast<std::int32_t>(length);
    record.attributes = RecordAttributes::FromCursor(*link);
    record.time = RecordTime(length, speed);
    return record;
}
