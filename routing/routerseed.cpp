// Seeding the two searches of the router core at the start and destination positions, and the
// restricted zones around them.

#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/seedends.h"

namespace {

constexpr std::uint32_t kMaxZoneLinks = 100;

// The first link of the crossing with the element id; null when there is none.
LinkCursorPtr FindLinkOf(RoadNetwork& network, const NetworkCrossing& crossing,
                         std::uint32_t elementId, TravelMode mode, std::uint32_t first = 0) {
    for (std::uint32_t i = first; i < crossing.GetLinkCount(); ++i) {
        LinkCursorPtr link = network.CreateCursor(crossing, i, mode);
        if (link && link->IsValid() && link->GetElementId() == elementId) {
            return link;
        }
    }
    return nullptr;
}

// The crossing at the link's other end; null when it cannot be read.
NetworkCrossingPtr FarCrossingOf(RoadNetwork& network, const LinkCursor& link) {
    NetworkCrossingPtr far = network.CreateCrossing(link.GetTarget());
    return far && far->IsValid() ? far : nullptr;
}

SameLinkPlaces PlacesOf(const RoutePositionEntry& start, const RoutePositionEntry& destination,
                        float length) {
    SameLinkPlaces places;
    places.areNodePointsApart = GeoDistance(start.nodePoint, destination.nodePoint) >= 5.0;
    places.length = length;
    places.startOffset = start.offset;
    places.destinationOffset = destination.offset;
    return places;
}

// The crossing's record marked as a seed reached by its link `arrival`; null when exhausted.
NodeRecord* SeedRecord(NodeTable& table, const NetworkCrossing& crossing, std::uint32_t arrival) {
    NodeRecord* record = table.GetRecord(crossing.GetId());
    if (IsExhausted(record)) {
        return nullptr;
    }
    record->flags = static_cast<std::uint8_t>(record->flags | NodeRecord::kSeeded);
    record->SetArrivalIndex(arrival);
    return record;
}

} // namespace

bool RouterCore::IsLinkBlocked(const LinkCursor& link, std::uint32_t direction) const {
    const AnnotationValuePtr annotation = LinkAnnotationFor(link, direction);
    return annotation && (*annotation & 0x7Fu) == 0 &&
           ClassSpeed(m_options, link.GetRoadClass()) != 0.0f;
}

SeedLinkFacts RouterCore::StartLinkFacts(const LinkCursor& link, const CalculationFlags& flags) {
    m_startLinkClass = link.GetRoadClass();
    m_startLinkLength = static_cast<float>(link.GetLength());
    return {link.GetDirectionCode(), link.GetList3Code(),    m_startLinkClass,
            IsLinkBlocked(link, 1),  IsLinkBlocked(link, 2), flags.keepStartHeading != 0};
}

int RouterCore::SeedDestinationSide(const RoutePositionEntry& start,
                                    const RoutePositionEntry& destination,
                                    const CalculationFlags& flags) {
    PrepareSearch();
    NodeTable& table = m_tables[0];
    const TravelMode mode = SearchTravelMode();
    const NetworkCrossingPtr startCrossing = m_network->CreateCrossing(m_startAddress);
    if (start.elementId != kNoLinkId) {
        const LinkCursorPtr link = FindLinkOf(*m_network, *startCrossing, start.elementId, mode);
        if (!link) {
            return 33;
        }
        const NetworkCrossingPtr far = FarCrossingOf(*m_network, *link);
        if (!far) {
            return 33;
        }
        if (flags.keepStartHeading != 0 && far->GetLinkCount() == 1) {
            return 23;
        }
        const SeedLinkFacts facts = StartLinkFacts(*link, flags);
        const SeedEnds ends = UsableSeedEnds(SeedUse::StartMarks, facts);
        if (!ends.far && !ends.near) {
            return ends.code;
        }
        // A marked end that the start side does not seed is never left from the start link, so
        // the turn off that link is not asked there: it would cut the end off needlessly.
        const SeedEnds seeds = UsableSeedEnds(SeedUse::StartSeeds, facts);
        const auto mark = [&](const NetworkCrossing& crossing, std::uint32_t arrival, bool isSeed) {
            NodeRecord* record = table.GetRecord(crossing.GetId());
            if (IsExhausted(record)) {
                return false;
            }
            record->flags = static_cast<std::uint8_t>(record->flags | NodeRecord::kStartSettled);
            if (isSeed) {
                const CrossingAddress at = crossing.GetAddress();
                m_startLinkEnds.push_back(
                    {at.page, at.offset, static_cast<std::uint16_t>(arrival)});
            }
            return true;
        };
        if (ends.far && !mark(*far, link->GetReverseIndex(), seeds.far)) {
            return 10;
        }
        if (ends.near && !mark(*startCrossing, link->GetIndex(), seeds.near)) {
            return 10;
        }
    } else {
        NodeRecord* record = table.GetRecord(startCrossing->GetId());
        if (IsExhausted(record)) {
            return 10;
        }
        record->flags = static_cast<std::uint8_t>(record->flags | NodeRecord::kStartSettled);
    }

    const NetworkCrossingPtr destinationCrossing = m_network->CreateCrossing(m_destinationAddress);
    if (destination.elementId == kNoLinkId) {
        NodeRecord* record = table.GetRecord(destinationCrossing->GetId());
        if (IsExhausted(record)) {
            return 10;
        }
        record->flags = static_cast<std::uint8_t>(record->flags | NodeRecord::kSeeded);
        if (!PushLabel(0, m_destinationAddress, destinationCrossing->GetId(), 0.0f, *record)) {
            return 10;
        }
    } else {
        if (!destinationCrossing->HasLinks()) {
            return 34;
        }
        const LinkCursorPtr link =
            FindLinkOf(*m_network, *destinationCrossing, destination.elementId, mode);
        if (!link) {
            return 34;
        }
        m_destinationLinkClass = link->GetRoadClass();
        m_destinationLinkLength = static_cast<float>(link->GetLength());
        const NetworkCrossingPtr far = FarCrossingOf(*m_network, *link);
        if (!far) {
            return 34;
        }
        // Each seed's part is driven in direction 1 as seen from the seeded crossing.
        const LinkCursorPtr fromFar = m_network->CreateCursor(*far, link->GetReverseIndex(), mode);
        const bool isFarBlocked = fromFar && fromFar->IsValid() && IsLinkBlocked(*fromFar, 1);
        const std::uint32_t direction = link->GetDirectionCode();
        const SeedEnds ends = UsableSeedEnds(
            SeedUse::DestinationSeeds, {direction, link->GetList3Code(), m_destinationLinkClass,
                                        isFarBlocked, IsLinkBlocked(*link, 1), false});
        if (!ends.far && !ends.near) {
            return ends.code;
        }
        const float speed = LinkSpeed(*link, kDestinationSide);
        const bool isSameLink = start.elementId == destination.elementId;
        SameLinkPlaces places = PlacesOf(start, destination, m_destinationLinkLength);
        const auto seed = [&](const NetworkCrossing& crossing, std::uint32_t arrival, float metres,
                              LinkEnd end) {
            NodeRecord* record = SeedRecord(table, crossing, arrival);
            if (record == nullptr) {
                return false;
            }
            places.seed = end;
            const std::uint32_t oneWay = end == LinkEnd::Near ? 1u : 3u;
            if (isSameLink && direction == oneWay && IsStartBehindDestinationSeed(places)) {
                record->flags =
                    static_cast<std::uint8_t>(record->flags | NodeRecord::kStartSettled);
            }
            return PushLabel(0, crossing.GetAddress(), crossing.GetId(),
                             SeedCost(m_options, speed, metres), *record);
        };
        if (ends.far && !seed(*far, link->GetReverseIndex(),
                              m_destinationLinkLength - destination.offset, LinkEnd::Far)) {
            return 10;
        }
        if (ends.near &&
            !seed(*destinationCrossing, link->GetIndex(), destination.offset, LinkEnd::Near)) {
            return 10;
        }
    }

    const auto distance =
        static_cast<float>(GeoDistance(startCrossing->Position(), destinationCrossing->Position()));
    m_chosenLevel =
        m_forcedLevel != -1 ? m_forcedLevel : LevelForDistance(distance, m_network->GetMapCount());
    CrossingQuery anchor;
    anchor.input = startCrossing->Position();
    anchor.radius = 100000.0f;
    anchor.level = static_cast<std::uint16_t>(m_chosenLevel);
    if (m_network->FindCrossingNear(anchor)) {
        m_hasAnchor = true;
        m_anchorLevel = anchor.level;
        m_anchorPage = anchor.address.page;
        m_anchorPosition = startCrossing->Position();
    }
    return searchcode::kFinished;
}

int RouterCore::SeedStartSide(const RoutePositionEntry& start,
                              const RoutePositionEntry& destination,
                              const CalculationFlags& flags) {
    ClearHeaps();
    m_tables[0].Init(m_budgets[0], m_network->GetCrossingCount(0));
    if (m_chosenLevel == 2) {
        m_tables[1].Init(m_budgets[1], m_network->GetCrossingCount(1));
    } else if (m_chosenLevel == 1) {
        m_tables[2].Init(0, m_network->GetCrossingCount(2));
    }
    for (auto& paths : m_pendingPaths) {
        paths.clear();
    }
    m_openStartSeeds.clear();
    NodeTable& table = m_tables[0];
    const NetworkCrossingPtr startCrossing = m_network->CreateCrossing(m_startAddress);
    if (!startCrossing || !startCrossing->IsValid()) {
        return 33;
    }
    if (start.elementId == kNoLinkId) {
        NodeRecord* record = table.GetRecord(startCrossing->GetId());
        if (IsExhausted(record)) {
            return 10;
        }
        record->flags = static_cast<std::uint8_t>(record->flags | NodeRecord::kSeeded);
        return PushLabel(0, m_startAddress, startCrossing->GetId(), 0.0f, *record)
                   ? searchcode::kFinished
                   : 10;
    }
    const TravelMode mode = SearchTravelMode();
    const bool isSameLink = start.elementId == destination.elementId;
    bool isPushed = false;
    int code = 0;
    for (LinkCursorPtr link = FindLinkOf(*m_network, *startCrossing, start.elementId, mode); link;
         link =
             FindLinkOf(*m_network, *startCrossing, start.elementId, mode, link->GetIndex() + 1)) {
        const NetworkCrossingPtr far = FarCrossingOf(*m_network, *link);
        if (!far) {
            continue;
        }
        if (flags.keepStartHeading != 0 && far->GetLinkCount() == 1) {
            return 23;
        }
        const SeedEnds ends = UsableSeedEnds(SeedUse::StartSeeds, StartLinkFacts(*link, flags));
        if (!ends.far && !ends.near) {
            if (ends.code == 31) {
                return code != 0 ? code : 31;
            }
            code = code != 0 ? code : ends.code;
            continue;
        }
        const float speed = LinkSpeed(*link, kStartSide);
        SameLinkPlaces places = PlacesOf(start, destination, m_startLinkLength);
        const auto seed = [&](const NetworkCrossing& crossing, std::uint32_t arrival, float metres,
                              LinkEnd end) {
            NodeRecord* record = SeedRecord(table, crossing, arrival);
            if (record == nullptr) {
                return false;
            }
            places.seed = end;
            if (isSameLink && IsDestinationAheadOfStartSeed(places)) {
                m_isSameLink = true;
            }
            m_openStartSeeds.push_back(crossing.GetAddress());
            return PushLabel(0, crossing.GetAddress(), crossing.GetId(),
                             SeedCost(m_options, speed, metres), *record);
        };
        if (ends.far &&
            !seed(*far, link->GetReverseIndex(), m_startLinkLength - start.offset, LinkEnd::Far)) {
            return 10;
        }
        if (ends.near && !seed(*startCrossing, link->GetIndex(), start.offset, LinkEnd::Near)) {
            return 10;
        }
        isPushed = true;
    }
    if (isPushed) {
        return searchcode::kFinished;
    }
    return code != 0 ? code : 33;
}

bool RouterCore::IsRestricted(const NetworkCrossing& crossing, std::uint32_t linkId) {
    const auto directionOf = [&](TravelMode mode) -> std::optional<std::uint32_t> {
        for (std::uint32_t i = 0; i < crossing.GetLinkCount(); ++i) {
            const LinkCursorPtr link = m_network->CreateCursor(crossing, i, mode);
            if (link && link->IsValid() &&
                (linkId == kNoLinkId || link->GetElementId() == linkId)) {
                return link->GetDirectionCode();
            }
        }
        return std::nullopt;
    };
    const std::uint32_t inMode1 = directionOf(1).value_or(0);
    const std::optional<std::uint32_t> inMode2 = directionOf(2);
    if (!inMode2) {
        return inMode1 != 0;
    }
    return inMode1 != *inMode2;
}

CrossingSet RouterCore::BuildRestrictedZone(const NetworkCrossing& crossing) {
    CrossingSet work{crossing.GetAddress()};
    CrossingSet seen;
    CrossingSet zone;
    std::uint32_t counted = 0;
    while (!work.empty() && counted < kMaxZoneLinks) {
        const CrossingAddress address = *work.begin();
        work.erase(work.begin());
        seen.insert(address);
        const NetworkCrossingPtr at = m_network->CreateCrossing(address);
        if (!at || !at->IsValid()) {
            continue;
        }
        for (std::uint32_t i = 0; i < at->GetLinkCount() && counted < kMaxZoneLinks; ++i) {
            const LinkCursorPtr link = m_network->CreateCursor(*at, i, 2);
            if (!link || !link->IsValid()) {
                continue;
            }
            const CrossingAddress target = link->GetTarget();
            if (link->GetDirectionCode() == 0 || seen.contains(target)) {
                continue;
            }
            if (!IsRestricted(*at, link->GetElementId())) {
                break;
            }
            work.insert(target);
            ++counted;
        }
        zone.insert(address);
    }
    return zone;
}

TravelMode RouterCore::ZoneTravelMode(int side, int level) const {
    if (level == 0 && m_current) {
        const CrossingAddress at = m_current->GetAddress();
        if (m_startZone.contains(at) ||
            (side == kDestinationSide && m_destinationZone.contains(at))) {
            return 2;
        }
    }
    return m_options.travelMode;
}
