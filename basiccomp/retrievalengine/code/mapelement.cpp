#include "basiccomp/retrievalengine/code/mapelement.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "utilities/mapgeometry/elementrecord.h"

#include <bit>
#include <cmath>
#include <utility>

using namespace maprecord;

namespace {

constexpr float kPi = 3.1415925f;
constexpr double kPiDouble = 3.14159265359;
constexpr double kEarthRadius = 6367444.0;

// Link nibble flags.
constexpr std::uint8_t kB0 = 1;
constexpr std::uint8_t kB1 = 2;
constexpr std::uint8_t kB2 = 4;
constexpr std::uint8_t kB3 = 8;

struct Bit {
    std::uint32_t from; // raw bit
    std::uint32_t to;   // unpacked bit
    std::uint32_t width;
};
constexpr std::uint32_t BitOf(std::uint32_t flag) {
    return static_cast<std::uint32_t>(std::countr_zero(flag));
}
constexpr Bit kMovedBits[] = {
    {BitOf(kRawRing), BitOf(kRing), 1}, {BitOf(kRawLookedPast), BitOf(kLookedPast), 1},
    {kRawLinkAShift, kLinkAShift, 4},   {kRawLinkBShift, kLinkBShift, 4},
    {kRawLinkCShift, kLinkCShift, 4},   {BitOf(kRawSignpost), BitOf(kSignpost), 1},
    {BitOf(kRawSign), BitOf(kSign), 1}, {BitOf(kRawFlag20), BitOf(kFlag26), 1}};
// Direction codes by raw direction code.
constexpr std::uint32_t kDirectionCodes[] = {kBothWays, kOneWayAlong, kOneWayAgainst, kNotDriven};

bool GeometryPoint(const GeometryRef& geometry, std::uint32_t index, MapPoint& point) {
    return geometry && geometry->GetPoint(index, point);
}

bool FirstAndLast(const GeometryRef& geometry, MapPoint& first, MapPoint& last) {
    const std::uint32_t count = geometry ? geometry->GetPointCount() : 0;
    return count != 0 && GeometryPoint(geometry, 0, first) &&
           GeometryPoint(geometry, count - 1, last);
}

} // namespace

ElementAttributes UnpackElementAttributes(std::uint32_t raw) {
    std::uint32_t word = kDirectionCodes[raw & kRawDirectionMask] << kDirectionShift;
    for (const Bit& bit : kMovedBits) {
        const std::uint32_t mask = (1u << bit.width) - 1u;
        word |= ((raw >> bit.from) & mask) << bit.to;
    }
    return {word};
}

float DegreesToRadians(float degrees) {
    return degrees * kPi / 180.0f;
}

float RadiansToDegrees(float radians) {
    return radians * 180.0f / kPi;
}

double RadiansToDegrees(double radians) {
    return radians * 180.0 / kPiDouble;
}

void OffsetPositionByMetres(float longitude, float latitude, std::int32_t east, std::int32_t north,
                            float& newLongitude, float& newLatitude) {
    const double cosine = std::cos(static_cast<double>(DegreesToRadians(latitude)));
    newLongitude = static_cast<float>(RadiansToDegrees(
        static_cast<double>(DegreesToRadians(longitude)) + east / (kEarthRadius * cosine)));
    newLatitude = RadiansToDegrees(DegreesToRadians(latitude) +
                                   static_cast<float>(north) / static_cast<float>(kEarthRadius));
}

MapElement::MapElement(std::shared_ptr<EngineLink> link, std::uint32_t generation, ElementData data,
                       std::uint32_t id)
    : m_link(std::move(link))
    , m_generation(generation)
    , m_data(std::move(data))
    , m_id(id) {}

MapElement::~MapElement() = default;

std::uint32_t MapElement::GetId() {
    return m_id;
}

std::uint8_t MapElement::GetSubtype() {
    return RecordSubtype(Record());
}

std::uint32_t MapElement::GetGeometryClass() {
    return ElementGeometryClass(Record());
}

void MapElement::ReadName() {
    if (m_isNameRead) {
        return;
    }
    m_isNameRead = true;
    const std::uint32_t offset = RecordNameReference(Record());
    m_name = m_link->ReadEngine(m_generation, std::u16string(), [&](RetrievalEngineImpl& engine) {
        std::u16string text;
        return engine.ReadName(offset, text, false, true) ? text : std::u16string();
    });
}

const char16_t* MapElement::GetName() {
    ReadName();
    return m_name.c_str() + (!m_name.empty() && m_name[0] == u'/' ? 1 : 0);
}

void MapElement::GetBounds(GeoRect& bounds) {
    bounds = MapUnitsToDegrees(RecordBounds(Record()));
}

std::uint32_t MapElement::GetPointCount() {
    return m_data.geometry ? m_data.geometry->GetPointCount() : 0;
}

void MapElement::GetPoint(GeoPoint& point, std::uint32_t index) {
    MapPoint mapPoint;
    if (GeometryPoint(m_data.geometry, index, mapPoint)) {
        point = MapPointToDegrees(mapPoint);
    }
}

std::uint16_t MapElement::GetTypeCode() {
    return RecordTypeCode(Record());
}

std::int32_t MapElement::WalkAreas(std::uint32_t value) {
    return m_link->ReadEngine(m_generation, std::int32_t{-1}, [&](RetrievalEngineImpl& engine) {
        const std::int32_t area = engine.GetAreaOfElement(m_id);
        return area == -1 ? -1 : engine.WalkAreaHierarchy(static_cast<std::uint32_t>(area), value);
    });
}

std::int32_t MapElement::GetAreaId() {
    return m_link->ReadEngine(m_generation, std::int32_t{-1}, [&](RetrievalEngineImpl& engine) {
        return engine.GetAreaOfElement(m_id);
    });
}

const char16_t* MapElement::GetPostalCode() {
    if (!m_isPostalCodeRead) {
        m_isPostalCodeRead = true;
        m_link->ReadEngine(m_generation, std::uint32_t{0}, [&](RetrievalEngineImpl& engine) {
            return engine.GetPostalCodeText(m_id, m_postalCode.data());
        });
    }
    return m_postalCode.data();
}

bool MapElement::GetPrimaryNames(std::vector<std::u16string>& names) {
    ReadName();
    SplitPrimaryName(m_name, names);
    return !names.empty();
}

bool MapElement::GetAlternativeNames(std::vector<std::u16string>& names) {
    ReadName();
    SplitAlternativeNames(m_name, names);
    return !names.empty();
}

void MapElement::GetAttributes(ElementAttributes& attributes) {
    attributes = UnpackElementAttributes(RecordAttributeWord(Record()));
}

bool MapElement::GetSignposts(std::vector<Signpost>& signposts) {
    if ((RecordAttributeWord(Record()) & kRawSignpost) == 0) {
        return false;
    }
    return m_link->ReadEngine(m_generation, false, [&](RetrievalEngineImpl& engine) {
        return engine.GetSignposts(m_id, signposts);
    });
}

bool MapElement::GetEntryPoints(std::vector<GeoPoint>& points) {
    return m_link->ReadEngine(m_generation, false, [&](RetrievalEngineImpl& engine) {
        return engine.GetEntryPoints(m_id, points);
    });
}

bool MapElement::GetPoints(std::vector<GeoPoint>& points) {
    points.clear();
    const std::uint32_t count = GetPointCount();
    for (std::uint32_t i = 0; i < count; ++i) {
        GeoPoint point;
        GetPoint(point, i);
        points.push_back(point);
    }
    return !points.empty();
}

bool MapElement::IsLinkJunctionA(const std::uint32_t* neighbourId) {
    return IsLinkJunction(LinkKind::A, neighbourId);
}

bool MapElement::IsLinkJunctionB(const std::uint32_t* neighbourId) {
    return IsLinkJunction(LinkKind::B, neighbourId);
}

bool MapElement::IsLinkJunctionC(const std::uint32_t* neighbourId) {
    return IsLinkJunction(LinkKind::C, neighbourId);
}

bool MapElement::IsLinkJunction(LinkKind kind, const std::uint32_t* neighbourId) {
    const auto nibble = [kind](std::uint32_t raw) {
        const ElementAttributes attributes = UnpackElementAttributes(raw);
        switch (kind) {
        case LinkKind::A:
            return attributes.LinkFlagsA();
        case LinkKind::B:
            return attributes.LinkFlagsB();
        default:
            return attributes.LinkFlagsC();
        }
    };
    const std::uint8_t own = nibble(RecordAttributeWord(Record()));
    if ((own & (kB1 | kB0)) == 0 || neighbourId == nullptr || *neighbourId == 0 ||
        *neighbourId == RetrievalEngineImpl::kNoId) {
        return false;
    }
    MapPoint first;
    MapPoint last;
    if (!FirstAndLast(m_data.geometry, first, last)) {
        return false;
    }
    const std::uint32_t wanted = kind == LinkKind::C ? 2 : 3;
    return m_link->ReadEngine(m_generation, false, [&](RetrievalEngineImpl& engine) {
        const ElementData neighbour = engine.GetElementGeometry(*neighbourId);
        MapPoint neighbourFirst;
        MapPoint neighbourLast;
        if (!neighbour.record.IsValid() ||
            (nibble(RecordAttributeWord(neighbour.record.GetRecord())) & (kB3 | kB2)) == 0 ||
            !FirstAndLast(neighbour.geometry, neighbourFirst, neighbourLast)) {
            return false;
        }
        if (neighbourFirst != first && neighbourLast != first) {
            return false;
        }
        const MapPoint junction = first;
        if ((own & kB0) == 0 || (own & (neighbourFirst == junction ? kB2 : kB3)) == 0) {
            return false;
        }
        std::uint32_t count = 0;
        for (ElementCursorPtr cursor =
                 engine.QueryMapArea({junction.x, junction.y, junction.x, junction.y});
             cursor && cursor->IsValid(); cursor->Next()) {
            if (cursor->GetGeometryClass() != 1) {
                continue;
            }
            ElementData line = engine.GetElementGeometry(cursor->GetElementId());
            MapPoint lineFirst;
            MapPoint lineLast;
            if (!FirstAndLast(line.geometry, lineFirst, lineLast)) {
                continue;
            }
            const std::uint8_t flags = nibble(RecordAttributeWord(line.record.GetRecord()));
            if (lineFirst == junction && (flags & (kB0 | kB2)) != 0) {
                ++count;
            } else if (lineLast == junction && (flags & (kB1 | kB3)) != 0) {
                ++count;
            }
        }
        return count == wanted;
    });
}

bool MapElement::GetHouseNumberInfo(HouseNumberInfo& info) {
    return m_link->ReadEngine(m_generation, false, [&](RetrievalEngineImpl& engine) {
        return engine.FillHouseNumberInfo(m_id, info);
    });
}

void MapElement::GetSignInfo(SignInfoPtr& info) {
    info = SignInfoPtr();
    if ((RecordAttributeWord(Record()) & kRawSign) == 0) {
        return;
    }
    m_link->ReadEngine(m_generation, 0, [&](RetrievalEngineImpl& engine) {
        engine.GetSignInfo(m_id, info);
        return 0;
    });
}

std::int16_t MapElement::GetCountry() {
    return m_link->ReadEngine(m_generation, std::int16_t{0}, [&](RetrievalEngineImpl& engine) {
        return engine.GetCountryOfElement(m_id);
    });
}
