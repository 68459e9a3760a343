#include "routing/routesnapshot.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "positioning/geodistance.h"
#include "routing/routepolyline.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

constexpr double kVertexTolerance = 5.0; // metres
constexpr std::uint32_t kRecordBits = 0x7FFu | 0xE0000000u;
constexpr std::uint32_t kNeighbourBits = 0x1D7u | 0xE0000000u;

GeoPoint PointOf(const RouteRecord& record) {
    return {record.x, record.y};
}

bool IsSamePoint(const GeoPoint& a, const GeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

std::uint32_t RecordAttributeWord(std::uint32_t elementWord, RecordAttributes attributes) {
    const std::uint32_t a = attributes.value & 0xFFu;
    const std::uint32_t b = attributes.value >> 8;
    std::uint32_t word = elementWord & ~kRecordBits;
    word |= (a >> 3) & 1u;
    // Bit 4 counts only for the lower codes of the five-bit class.
    if ((a & 0x10u) != 0 && (a & 0x1Fu) < 0x18u) {
        word |= 2u;
    }
    word |= ((a >> 5) & 7u) << 2; // bits 2-4 from bits 5-7
    word |= ((b >> 2) & 0xFu) << 5;
    word |= (b & 3u) << 9;
    word |= (a & 7u) << 29;
    return word;
}

std::uint32_t NeighbourAttributeWord(std::uint32_t elementWord, std::uint32_t classWord) {
    return (elementWord & ~kNeighbourBits) | (classWord & kNeighbourBits);
}

std::uint32_t ReverseDirectionBits(std::uint32_t word) {
    constexpr std::uint32_t kEven = 0x555000u; // bits 12, 14, ..., 22
    constexpr std::uint32_t kOdd = 0xAAA000u;
    std::uint32_t out = (word & ~(kEven | kOdd)) | ((word & kEven) << 1) | ((word & kOdd) >> 1);
    out ^= 1u << 28;
    const std::uint32_t code = (out >> 9) & 3u;
    if (code == 1u || code == 3u) {
        out = (out & ~(3u << 9)) | ((code ^ 2u) << 9);
    }
    return out;
}

RouteSnapshot::RouteSnapshot(std::vector<RouteRecord> records, const GeoPoint& destination,
                             RoadNetworkPtr network, RetrievalEngine::RetrievalEnginePtr engine,
                             TravelMode travelMode)
    : m_records(std::move(records))
    , m_destination(destination)
    , m_network(std::move(network))
    , m_engine(std::move(engine))
    , m_travelMode(travelMode) {}

RouteSnapshotPtr RouteSnapshot::Create(RouterCore& router,
                                       RetrievalEngine::RetrievalEnginePtr engine,
                                       TravelMode travelMode, bool startCorrection) {
    std::vector<RouteRecord> records = router.BuildRecords(-1, true);
    return FromRecords(std::move(records), router.GetDestinationPosition(), router.GetNetwork(),
                       std::move(engine), travelMode, startCorrection);
}

RouteSnapshotPtr RouteSnapshot::FromRecords(std::vector<RouteRecord> records,
                                            const GeoPoint& destination, RoadNetworkPtr network,
                                            RetrievalEngine::RetrievalEnginePtr engine,
                                            TravelMode travelMode, bool startCorrection) {
    RouteSnapshotPtr snapshot;
    try {
        snapshot.reset(new RouteSnapshot(std::move(records), destination, std::move(network),
                                         std::move(engine), travelMode));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Not shared yet: no lock needed.
    if (startCorrection) {
        snapshot->m_wasStartCorrected = snapshot->ApplyStartCorrection();
    }
    snapshot->m_isComplete.assign(snapshot->m_records.size(), 0);
    return snapshot;
}

std::uint32_t RouteSnapshot::ElementWord(std::uint32_t elementId) {
    if (!m_engine || elementId == 0xFFFFFFFF) {
        return 0;
    }
    const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(elementId);
    if (!element) {
        return 0;
    }
    ElementAttributes attributes;
    element->GetAttributes(attributes);
    return attributes.word;
}

bool RouteSnapshot::ReadPolyline(std::uint32_t elementId, std::vector<GeoPoint>& polyline) {
    polyline.clear();
    if (!m_engine || elementId == 0xFFFFFFFF) {
        return false;
    }
    const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(elementId);
    return element && element->GetPoints(polyline) && !polyline.empty();
}

const RouteRecord& RouteSnapshot::Complete(std::size_t index) {
    const std::lock_guard lock(m_lock);
    RouteRecord& record = m_records[index];
    if (m_isComplete[index] == 0) {
        record.elementAttributes =
            RecordAttributeWord(ElementWord(record.linkId), record.attributes);
        // Without the element the record keeps an empty polyline.
        (void)LoadRecordPolyline(PointOf(record), record.linkId, true, record.elementAttributes,
                                 record.polyline);
        m_isComplete[index] = 1;
    }
    return record;
}

bool RouteSnapshot::LoadRecordPolyline(const GeoPoint& point, std::uint32_t elementId,
                                       bool isRouteRecord, std::uint32_t& word,
                                       std::vector<GeoPoint>& polyline) {
    if (!ReadPolyline(elementId, polyline)) {
        return false;
    }
    const auto reverse = [&] {
        std::reverse(polyline.begin(), polyline.end());
        word = ReverseDirectionBits(word);
    };
    const RouteRecord& first = m_records.front();
    if (isRouteRecord && elementId == first.linkId && IsSamePoint(point, PointOf(first))) {
        if (m_records.size() > 1) {
            const GeoPoint next = PointOf(m_records[1]);
            if (GeoDistance(next, polyline.front()) < GeoDistance(next, polyline.back())) {
                reverse();
            }
            CutHeadAt(point, polyline);
        } else {
            // The start lies nearer the last vertex than the destination: driven against the
            // points.
            if (LengthFromProjection(point, polyline) <
                LengthFromProjection(m_destination, polyline)) {
                reverse();
            }
            CutHeadAt(point, polyline);
            CutTailAt(m_destination, polyline);
        }
    } else {
        if (GeoDistance(point, polyline.back()) < GeoDistance(point, polyline.front())) {
            reverse();
        }
        // Junction streets are never cut: only the route ends at the destination.
        if (isRouteRecord && elementId == m_records.back().linkId) {
            CutTailAt(m_destination, polyline);
        }
    }
    return GeoDistance(point, polyline.front()) < kVertexTolerance;
}

bool RouteSnapshot::ApplyStartCorrection() {
    if (m_records.size() < 2) {
        return false;
    }
    RouteRecord& first = m_records.front();
    // The speed of the first record sets both new times: undefined without time or length.
    if (first.time <= 0 || first.length <= 0) {
        return false;
    }
    std::vector<GeoPoint> line;
    if (!ReadPolyline(first.linkId, line) || line.size() < 2) {
        return false;
    }
    const GeoPoint next = PointOf(m_records[1]);
    const double toFront = GeoDistance(next, line.front());
    const double toBack = GeoDistance(next, line.back());
    if (!(std::min(toFront, toBack) < kVertexTolerance)) {
        return false;
    }
    if (toFront < toBack) {
        std::reverse(line.begin(), line.end());
    }
    const auto whole = static_cast<std::int32_t>(LengthFromProjection(line.front(), line));
    const double speed = static_cast<double>(first.length) / static_cast<double>(first.time);
    RouteRecord inserted = first;
    inserted.length = whole - first.length;
    inserted.time = static_cast<std::int32_t>(static_cast<double>(inserted.length) / speed);
    first.x = line.front().x;
    first.y = line.front().y;
    first.length = whole;
    first.time = static_cast<std::int32_t>(static_cast<double>(whole) / speed);
    m_records.insert(m_records.begin(), std::move(inserted));
    return true;
}

bool RouteSnapshot::LoadJunction(ElementLinkRequest& request,
                                 std::vector<std::vector<GeoPoint>>& allowedLines,
                                 std::vector<std::vector<GeoPoint>>& forbiddenLines) {
    const std::lock_guard lock(m_lock);
    if (!m_network || !m_network->LocateElementLink(request, m_travelMode)) {
        return false;
    }
    const auto load = [&](std::vector<NeighbourLink>* links,
                          std::vector<std::vector<GeoPoint>>& lines) {
        if (links == nullptr) {
            return;
        }
        for (NeighbourLink& link : *links) {
            link.classWord = NeighbourAttributeWord(ElementWord(link.elementId), link.classWord);
            std::vector<GeoPoint> line;
            (void)LoadRecordPolyline(link.position, link.elementId, false, link.classWord, line);
            lines.push_back(std::move(line));
        }
    };
    load(request.allowed, allowedLines);
    load(request.forbidden, forbiddenLines);
    return true;
}
