#include "routing/optimisedlinks.h"

#include "positioning/geodistance.h"
#include "routing/georectaround.h"
#include "routing/roadnetwork.h"

#include "platform/kernel/messagebox.h"

#include <algorithm>
#include <array>
#include <optional>

void LinkAnnotation::Resize(std::uint16_t level, std::uint32_t pages) {
    if (level < 3) {
        m_levels[level].slots.resize(pages);
    }
}

void LinkAnnotation::Add(std::uint16_t level, std::uint16_t page, const Entry& entry) {
    if (level >= 3 || page >= m_levels[level].slots.size()) {
        return;
    }
    auto& slot = m_levels[level].slots[page];
    if (!slot) {
        slot = std::make_unique<Slot>();
    }
    slot->insert(entry);
    ++m_levels[level].count;
}

void LinkAnnotation::Remove(std::uint16_t level, std::uint16_t page, const Entry& key,
                            const AnnotationValuePtr& value) {
    if (level >= 3 || page >= m_levels[level].slots.size() || !m_levels[level].slots[page]) {
        return;
    }
    Slot& slot = *m_levels[level].slots[page];
    for (auto [it, end] = slot.equal_range(key); it != end; ++it) {
        if (!value || it->value == value) {
            slot.erase(it);
            --m_levels[level].count;
            return;
        }
    }
}

const LinkAnnotation::Slot* LinkAnnotation::GetSlot(std::uint16_t level, std::uint16_t page) const {
    if (level >= 3 || page >= m_levels[level].slots.size()) {
        return nullptr;
    }
    return m_levels[level].slots[page].get();
}

std::uint32_t LinkAnnotation::GetCount(std::uint16_t level) const {
    return level < 3 ? m_levels[level].count : 0u;
}

std::vector<O2SRecord> ChainOfRows(std::span<const O2SRecord> rows, std::uint32_t id) {
    std::vector<O2SRecord> chain;
    if ((id & 1u) == 0) {
        for (const O2SRecord& row : rows) {
            if (row.elementId == 0) {
                break;
            }
            chain.push_back(row);
        }
        return chain;
    }
    for (std::size_t r = rows.size(); r-- > 1;) {
        O2SRecord record = rows[r];
        record.elementId = rows[r - 1].elementId;
        record.field5 = rows[r - 1].field5;
        record.length = rows[r - 1].length;
        record.optimisedId = id;
        chain.push_back(record);
    }
    return chain;
}

namespace {

constexpr GeoPoint kUnknown{kUnknownCoordinate, kUnknownCoordinate};

std::uint32_t U32(const FieldValue& value) {
    return static_cast<std::uint32_t>(value.AsInteger());
}

float F32(const FieldValue& value) {
    return static_cast<float>(value.AsDouble());
}

FsrRowRange RowsOf(const FsrTable& table, std::uint32_t key) {
    std::array<std::uint8_t, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(key >> (8 * i));
    }
    return table.FindRows(FieldValue(static_cast<std::uint32_t>(ColumnType::UInt32), bytes.data()),
                          false);
}

} // namespace

bool RoadNetwork::IsOptimisedId(std::uint32_t id) const {
    return LevelOfOptimisedId(id) >= 0;
}

int RoadNetwork::LevelOfOptimisedId(std::uint32_t id) const {
    if (id == 0xFFFFFFFF) {
        return -1;
    }
    int level = -1;
    std::uint32_t best = 0;
    for (std::uint16_t map = 0; map < m_mapCount; ++map) {
        const SeparatedPageStore* store = GetStore(map);
        const std::uint32_t start = store != nullptr ? store->GetOptimisationStart() : 0xFFFFFFFF;
        if (start != 0xFFFFFFFF && start <= id && (level < 0 || start >= best)) {
            level = map;
            best = start;
        }
    }
    return level;
}

std::vector<O2SRecord> RoadNetwork::LookupO2S(std::uint32_t id) const {
    std::vector<O2SRecord> rows;
    if (m_o2sKind > 2 || !m_o2s.IsOpen()) {
        return rows;
    }
    // A chain is never longer than the table; the bound only stops a table without end rows.
    const std::uint32_t limit = m_o2s.GetRecordCount();
    for (FsrRowRange range = RowsOf(m_o2s, id & ~1u); range.IsValid() && rows.size() < limit;
         range.Next()) {
        O2SRecord r;
        r.optimisedId = U32(range.GetValue(0));
        r.elementId = U32(range.GetValue(1));
        if (m_o2sKind == 0) {
            r.x = F32(range.GetValue(2));
            r.y = F32(range.GetValue(3));
            r.field5 = U32(range.GetValue(4));
            r.length = F32(range.GetValue(5));
            r.field7 = U32(range.GetValue(6));
        } else if (m_o2sKind == 2) {
            r.x = F32(range.GetValue(2));
            r.y = F32(range.GetValue(3));
            r.length = static_cast<float>(U32(range.GetValue(4)));
        } else {
            r.length = static_cast<float>(U32(range.GetValue(2)));
        }
        rows.push_back(r);
    }
    return ChainOfRows(rows, id);
}

std::uint32_t RoadNetwork::ElementOfLink(std::uint32_t id) const {
    if (!IsOptimisedId(id)) {
        return id;
    }
    const std::vector<O2SRecord> chain = LookupO2S(id);
    return chain.empty() ? 0xFFFFFFFFu : chain.front().elementId;
}

NetworkCrossingPtr RoadNetwork::CrossingNear(const GeoPoint& position, float radius,
                                             std::uint32_t elementId, std::uint16_t level) {
    CrossingQuery query;
    query.input = position;
    query.radius = radius;
    query.elementId = elementId;
    query.level = level;
    if (!FindCrossingNear(query)) {
        return nullptr;
    }
    return CreateCrossing(query.address);
}

LinkCursorPtr RoadNetwork::FindLink(const NetworkCrossing& crossing, std::uint32_t elementId) {
    for (LinkCursorPtr cursor = CreateCursor(crossing, 0, 0); cursor->IsValid(); cursor->Next()) {
        if (cursor->GetElementId() == elementId) {
            return cursor;
        }
    }
    return nullptr;
}

bool RoadNetwork::ExpandOptimisedLinks(std::vector<RouteRecord>& records, bool withPositions) {
    std::vector<RouteRecord> out;
    bool result = true;
    std::uint32_t previous = 0xFFFFFFFF;
    for (const RouteRecord& r : records) {
        if (r.linkId == 0xFFFFFFFF || r.linkId == previous) {
            continue;
        }
        if (!IsOptimisedId(r.linkId)) {
            out.push_back(r);
            previous = r.linkId;
            continue;
        }
        // km/h from the record; the float quotient where the whole-number one is 0.
        float speed = 100.0f;
        if (r.time > 0) {
            const std::int32_t quotient = r.length / r.time;
            speed = quotient != 0
                        ? 3.6f * static_cast<float>(quotient)
                        : 3.6f * static_cast<float>(r.length) / static_cast<float>(r.time);
        }
        const std::vector<O2SRecord> chain = LookupO2S(r.linkId);
        if (chain.empty()) {
            // No rows (an unknown id, or a table that cannot be read): the record stays as it
            // is, so the route keeps its length and time and has no gap.
            out.push_back(r);
            previous = r.linkId;
            result = false;
            continue;
        }
        GeoPoint current = withPositions ? GeoPoint{r.x, r.y} : kUnknown;
        NetworkCrossingPtr crossing;
        bool isFirstUnknown = true;
        std::size_t produced = 0;
        for (const O2SRecord& o : chain) {
            if (o.elementId == previous) {
                continue;
            }
            if (withPositions) {
                if (o.x != kUnknownCoordinate) {
                    current = {o.x, o.y};
                } else {
                    if (isFirstUnknown) {
                        isFirstUnknown = false;
                        crossing = CrossingNear(current, 20.0f, o.elementId, 0);
                        if (!crossing && out.empty()) {
                            return false; // the caller's records stay as they were
                        }
                        if (!crossing) {
                            const RouteRecord& last = out.back();
                            crossing = CrossingNear({last.x, last.y}, 2000.0f, last.linkId, 0);
                            if (crossing) {
                                if (const LinkCursorPtr link = FindLink(*crossing, last.linkId)) {
                                    crossing->MoveTo(link->GetTarget());
                                }
                            }
                        }
                    } else {
                        const LinkCursorPtr link =
                            crossing ? FindLink(*crossing, previous) : nullptr;
                        if (link) {
                            crossing->MoveTo(link->GetTarget());
                        } else {
                            MessageBoxW(nullptr, u"Cannot find id inside optim id", nullptr,
                                        MB_ICONEXCLAMATION);
                        }
                    }
                    current = crossing && crossing->IsValid() ? crossing->Position() : kUnknown;
                }
            }
            RouteRecord element;
            element.x = current.x;
            element.y = current.y;
            element.linkId = o.elementId;
            element.length = o.length >= 0.0f && o.length < 2147483648.0f
                                 ? static_cast<std::int32_t>(o.length)
                                 : 0;
            element.time = RecordTime(o.length, speed);
            element.attributes = r.attributes;
            out.push_back(std::move(element));
            previous = o.elementId;
            ++produced;
        }
        if (produced == 0) {
            result = false;
        }
    }
    records = std::move(out);
    return result;
}

void RoadNetwork::Annotate(const LinkCursor& link, const FlaggedElementList& list, bool isAdding) {
    const CrossingAddress target = link.GetTarget();
    const std::uint32_t back = link.GetReverseIndex();
    const auto entry = [&](std::uint32_t r, std::uint32_t direction) {
        LinkAnnotation::Entry e;
        e.targetOffset = 0;
        e.packed = static_cast<std::uint16_t>((r & 63u) | ((direction & 3u) << 6));
        e.value = list.value;
        return e;
    };
    const auto apply = [&](const CrossingAddress& at, LinkAnnotation::Entry e) {
        e.targetOffset = at.offset;
        if (isAdding) {
            m_annotations.Add(at.level, at.page, e);
        } else {
            m_annotations.Remove(at.level, at.page, e, list.value);
        }
    };
    // The link itself, keyed by its target and its index there; then that reverse link, keyed by
    // this crossing and this link's index.
    apply(target, entry(back, SwapDirection(list.direction)));
    NetworkCrossingPtr there = CreateCrossing(target);
    if (!there || !there->IsValid()) {
        return;
    }
    LinkCursorPtr reverse = CreateCursor(*there, back, 0);
    if (reverse->IsValid()) {
        apply(reverse->GetTarget(), entry(reverse->GetReverseIndex(), list.direction));
    }
}

bool RoadNetwork::FlagLink(std::uint32_t id, const GeoPoint& position, std::uint16_t level,
                           const FlaggedElementList& list, bool isAdding,
                           NetworkCrossingPtr& crossing) {
    // The item's point says which end of the element the link leaves, and so which direction
    // is flagged: the crossing there comes first. The previous item's crossing may hold the same
    // element leaving from its other end (one item per end closes an element both ways), so it
    // serves only when no crossing lies near the point.
    NetworkCrossingPtr near = CrossingNear(position, 100.0f, id, level);
    LinkCursorPtr link = near ? FindLink(*near, id) : nullptr;
    if (link) {
        crossing = std::move(near);
    } else if (crossing) {
        link = FindLink(*crossing, id);
    }
    if (!link) {
        crossing.reset();
        return false;
    }
    Annotate(*link, list, isAdding);
    return true;
}

bool RoadNetwork::FlagElements(const FlaggedElementList& list, bool isAdding) {
    for (std::uint16_t level = 0; level < m_mapCount; ++level) {
        if (list.items.empty()) {
            return false;
        }
        std::vector<FlaggedElement> items = list.items;
        std::stable_sort(
            items.begin(), items.end(), [](const FlaggedElement& a, const FlaggedElement& b) {
                return GeoDistance({0, 0}, {a.x, a.y}) < GeoDistance({0, 0}, {b.x, b.y});
            });
        // A merged link is flagged from its first crossing; an item whose element runs against
        // the link's stored direction flags the other way. The flipped bit (bit 0, free in the
        // stored ids) keeps the two ends of an element closed both ways apart.
        FlaggedElementList flipped;
        flipped.value = list.value;
        flipped.direction = SwapDirection(list.direction);
        std::array<std::uint32_t, 2> remembered{0xFFFFFFFF, 0xFFFFFFFF};
        NetworkCrossingPtr crossing;
        for (const FlaggedElement& item : items) {
            bool isHandled = false;
            if (level > 0) {
                std::vector<std::uint32_t> handled;
                for (const std::uint32_t o : OptimisedIdsOf(item.elementId)) {
                    // Both direction ids name the one stored link.
                    const std::uint32_t id = o & ~1u;
                    const bool isFlipped = list.direction != 0 &&
                                           RunsAgainstLink(id, item.elementId, {item.x, item.y});
                    const std::uint32_t mark = id | (isFlipped ? 1u : 0u);
                    if (LevelOfOptimisedId(id) != level ||
                        std::find(remembered.begin(), remembered.end(), mark) != remembered.end() ||
                        std::find(handled.begin(), handled.end(), mark) != handled.end()) {
                        continue;
                    }
                    handled.push_back(mark);
                    if (!FlagLink(id, OptimisedLinkPosition(id, level), level,
                                  isFlipped ? flipped : list, isAdding, crossing)) {
                        return false;
                    }
                }
                if (!handled.empty()) {
                    remembered = {handled[0], handled.size() > 1 ? handled[1] : 0xFFFFFFFF};
                    isHandled = true;
                }
            }
            if (!isHandled &&
                !FlagLink(item.elementId, {item.x, item.y}, level, list, isAdding, crossing) &&
                level == 0) {
                return false;
            }
        }
    }
    return true;
}

std::vector<std::uint32_t> RoadNetwork::OptimisedIdsOf(std::uint32_t elementId) const {
    std::vector<std::uint32_t> ids;
    if (!m_s2o.IsOpen()) {
        return ids;
    }
    const std::uint32_t limit = m_s2o.GetRecordCount();
    for (FsrRowRange range = RowsOf(m_s2o, elementId); range.IsValid() && ids.size() < limit;
         range.Next()) {
        ids.push_back(U32(range.GetValue(1)));
    }
    return ids;
}

bool RoadNetwork::RunsAgainstLink(std::uint32_t id, std::uint32_t elementId,
                                  const GeoPoint& position) const {
    // The element's start along the link from the even chain, its end from the odd one; the
    // item's point lies at one of them. Tables without positions keep the stored direction.
    const auto startOf = [&](std::uint32_t chainId) -> std::optional<GeoPoint> {
        for (const O2SRecord& r : LookupO2S(chainId)) {
            if (r.elementId == elementId && r.x != kUnknownCoordinate) {
                return GeoPoint{r.x, r.y};
            }
        }
        return std::nullopt;
    };
    const std::optional<GeoPoint> start = startOf(id & ~1u);
    const std::optional<GeoPoint> end = startOf(id | 1u);
    return start && end && GeoDistance(position, *end) < GeoDistance(position, *start);
}

GeoPoint RoadNetwork::OptimisedLinkPosition(std::uint32_t id, std::uint16_t level) {
    const std::vector<O2SRecord> chain = LookupO2S(id);
    if (chain.empty()) {
        return kUnknown;
    }
    if (chain.front().x != kUnknownCoordinate) {
        return {chain.front().x, chain.front().y};
    }
    std::vector<GeoPoint> points;
    if (!m_mapDataLink || !m_mapDataLink->GetElementPolyline(chain.front().elementId, points) ||
        points.empty()) {
        return kUnknown;
    }
    for (const GeoPoint& end : {points.front(), points.back()}) {
        CrossingQuery query;
        query.input = end;
        query.radius = 1000.0f;
        query.elementId = id;
        query.level = level;
        if (FindCrossingNear(query)) {
            return query.output;
        }
    }
    return kUnknown;
}

bool RoadNetwork::AddFlaggedElements(const FlaggedElementList& list) {
    return FlagElements(list, true);
}

bool RoadNetwork::RemoveFlaggedElements(const FlaggedElementList& list) {
    return FlagElements(list, false);
}

AnnotationValuePtr RoadNetwork::GetLinkAnnotation(const LinkCursor& cursor,
                                                  std::uint32_t direction) const {
    const CrossingAddress target = cursor.GetTarget();
    if (m_annotations.GetCount(target.level) == 0) {
        return nullptr;
    }
    const LinkAnnotation::Slot* slot = m_annotations.GetSlot(target.level, target.page);
    if (slot == nullptr) {
        return nullptr;
    }
    const std::uint32_t d = SwapDirection(direction);
    LinkAnnotation::Entry key;
    key.targetOffset = target.offset;
    key.packed = static_cast<std::uint16_t>(cursor.GetReverseIndex() & 63u);
    AnnotationValuePtr best;
    for (auto [it, end] = slot->equal_range(key); it != end; ++it) {
        const std::uint32_t code = (it->packed >> 6) & 3u;
        if ((d == 1 && code == 2) || (d == 2 && code == 1) || !it->value) {
            continue;
        }
        if (!best || (*it->value & 127u) < (*best & 127u)) {
            best = it->value;
        }
    }
    return best;
}

bool RoadNetwork::IsDrivable(const NetworkCrossing& crossing) const {
    for (LinkCursor cursor(crossing, 0, 0); cursor.IsValid(); cursor.Next()) {
        const AnnotationValuePtr value = GetLinkAnnotation(cursor, 0);
        if (!value || (*value & 127u) != 0) {
            return true;
        }
    }
    return false;
}

bool RoadNetwork::FindNearestCrossing(NearestCrossingRequest& request) {
    if (m_mapCount == 0 || GetStore(0) == nullptr) {
        return false;
    }
    request.result = 0;
    if (request.elementId == 0xFFFFFFFF) {
        for (std::uint32_t radius = 500; radius <= 4500; radius += 1000) {
            const GeoPoint at = request.position;
            std::uint64_t best = radius;
            bool isFound = false;
            for (NetworkCrossingPtr c = CreateCrossingIterator(GeoRectAround(at, radius), 0);
                 c && c->IsValid(); c->Next()) {
                const GeoPoint p = c->Position();
                const double distance = GeoDistance(at, p);
                if (!(distance >= 0.0 && distance < static_cast<double>(best)) || !IsDrivable(*c)) {
                    continue;
                }
                best = static_cast<std::uint64_t>(distance);
                request.position = p;
                request.secondPosition = p;
                isFound = true;
            }
            if (isFound) {
                return true;
            }
        }
        return false;
    }
    for (NetworkCrossingPtr c =
             CreateCrossingIterator(GeoRectAround(request.secondPosition, 100.0), 0);
         c && c->IsValid(); c->Next()) {
        if (const LinkCursorPtr link = FindLink(*c, request.elementId)) {
            const AnnotationValuePtr value = GetLinkAnnotation(*link, 0);
            return !value || (*value & 127u) != 0;
        }
    }
    return false;
}
