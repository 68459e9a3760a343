#include "positioning/mapmatcher.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "positioning/candidates.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::int32_t kFetchBoxMetres = 60;
constexpr std::uint16_t kMaxSearchRadius = 150;
constexpr std::uint16_t kSimpleSearchRadius = 40;
constexpr std::size_t kRecentRecords = 10;
constexpr std::uint16_t kRoadTypeFrom = 1001;
constexpr std::uint16_t kRoadTypeTo = 1100;

} // namespace

void HistoryRing::Append(const MatchRecord& record) {
    ++m_index;
    if (m_index >= kSize) {
        m_index = 0;
        m_wrapped = true;
    }
    m_records[static_cast<std::size_t>(m_index)] = record;
}

void HistoryRing::Clear() {
    m_index = -1;
    m_wrapped = false;
}

void HistoryRing::Restore(std::int32_t index, bool wrapped) {
    m_index = index;
    m_wrapped = wrapped;
}

std::size_t HistoryRing::WalkLength() const {
    if (m_wrapped) {
        return kSize;
    }
    return m_index <= 0 ? 0 : static_cast<std::size_t>(m_index) + 1;
}

const MatchRecord& HistoryRing::NewestFirst(std::size_t i) const {
    const std::int32_t slot = ((m_index - static_cast<std::int32_t>(i)) % kSize + kSize) % kSize;
    return m_records[static_cast<std::size_t>(slot)];
}

const MatchRecord& HistoryRing::Newest() const {
    return m_records[static_cast<std::size_t>(std::max(m_index, 0))];
}

int HeadingDifference(int a, int b) {
    const int d = std::abs(a - b) % 360;
    return d > 180 ? 360 - d : d;
}

GeoRect Box(const GeoPoint& position, std::int32_t metres) {
    GeoRect box;
    OffsetPositionByMetres(position.x, position.y, -metres, -metres, box.minX, box.minY);
    OffsetPositionByMetres(position.x, position.y, metres, metres, box.maxX, box.maxY);
    return box;
}

MapMatcher::MapMatcher(AreaQueryPtr areaQuery)
    : m_areaQuery(std::move(areaQuery)) {
    m_graph.Reserve(128);
    m_routeMarks.reserve(1024);
    m_hypotheses.reserve(16);
}

float MapMatcher::Distance(const GeoPoint& a, const GeoPoint& b) const {
    const auto scale = static_cast<float>(m_areaSize);
    return ScaledDistance(a, b, m_graph.GetSearchArea(), scale, scale);
}

float MapMatcher::Bearing(const GeoPoint& a, const GeoPoint& b) const {
    const auto scale = static_cast<float>(m_areaSize);
    return ScaledBearing(a, b, m_graph.GetSearchArea(), scale, scale);
}

void MapMatcher::SetSearchArea(const MatchRecord& record) {
    m_graph.SetSearchArea(Box(record.raw, static_cast<std::int32_t>(m_settings.areaSize / 2)));
    m_areaSize = m_settings.areaSize;
}

float MapMatcher::LargestRecentOffset() const {
    float largest = -1.0f;
    const std::size_t count = std::min(m_history.WalkLength(), kRecentRecords);
    for (std::size_t i = 0; i < count; ++i) {
        const MatchRecord& h = m_history.NewestFirst(i);
        if (h.IsProcessed() && h.HasStreet()) {
            largest = std::max(largest, Distance(h.raw, h.snapped));
        }
    }
    return largest;
}

std::uint16_t MapMatcher::SearchRadius(const MatchRecord& record) const {
    if (m_simpleMode) {
        return kSimpleSearchRadius;
    }
    const float largest = LargestRecentOffset();
    if (largest < 0.0f) {
        return std::min(record.spareStatus, kMaxSearchRadius);
    }
    return static_cast<std::uint16_t>(std::min(largest + 50.0f, float{kMaxSearchRadius}));
}

GeoRect MapMatcher::FetchBox(const MatchRecord& record) const {
    GeoRect box = Box(record.raw, kFetchBoxMetres);
    if (m_history.IsShort()) {
        return box;
    }
    for (std::size_t i = 0; i < m_history.WalkLength(); ++i) {
        const MatchRecord& h = m_history.NewestFirst(i);
        if (!h.IsProcessed()) {
            continue;
        }
        if (ContainsPoint(box, h.raw)) {
            return box;
        }
        if (Distance(record.raw, h.raw) < static_cast<float>(m_settings.areaSize)) {
            box.Extend(h.raw);
            return box;
        }
        return Box(record.raw, 2 * std::int32_t{record.searchRadius});
    }
    return box;
}

void MapMatcher::FetchCandidates(const MatchRecord& record) {
    const GeoRect box = FetchBox(record);
    m_graph.Purge();
    if (m_areaQuery) {
        std::vector<GeoPoint> points;
        for (ElementCursorPtr cursor = m_areaQuery->QueryArea(box, kRoadTypeFrom, kRoadTypeTo);
             cursor && cursor->IsValid(); cursor->Next()) {
            points.resize(cursor->GetPointCount());
            for (std::uint32_t i = 0; i < points.size(); ++i) {
                cursor->GetPoint(points[i], i);
            }
            if (std::none_of(points.begin(), points.end(),
                             [&box](const GeoPoint& p) { return ContainsPoint(box, p); })) {
                continue;
            }
            ElementAttributes attributes;
            cursor->GetAttributes(attributes);
            m_graph.AddElement({cursor->GetElementId(), points, attributes.DirectionCode()});
        }
    }
    if (!m_simpleMode && m_routeMarks.size() >= 2) {
        AlignRouteMarks(*this);
    }
}
