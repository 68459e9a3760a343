#pragma once
// Reads the junction model's fuzz input (layout in testdata/junctionmodelinput.h) into a scripted
// route and map.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/tests/scriptedjunctionmap.h"
#include "routing/tests/scriptedroute.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

struct DecodedJunctionInput {
    std::shared_ptr<ScriptedRoute> route;
    std::shared_ptr<ScriptedJunctionMap> map;
    std::size_t cursor = 0;
    double radius = 0.0;
    JunctionRect rect;
    bool hasSecondJunction = false;
    std::int32_t secondDistance = 0;
    double radiusFactor = 0.0;
};

class JunctionInputReader {
public:
    JunctionInputReader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size) {}

    std::uint8_t U8() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint16_t U16() {
        const std::uint8_t low = U8();
        return static_cast<std::uint16_t>(low | U8() << 8);
    }
    std::size_t Count(std::size_t limit) { return std::min<std::size_t>(U8(), limit); }
    std::uint32_t Id() {
        const std::uint8_t id = U8();
        return id == 255 ? 0xFFFFFFFF : id;
    }
    static float Coordinate(std::uint8_t g, double origin) {
        if (g == 0) {
            return 3e38f;
        }
        if (g == 255) {
            return std::numeric_limits<float>::quiet_NaN();
        }
        return static_cast<float>(origin + (g - 128) / 8192.0);
    }
    std::vector<GeoPoint> Points() {
        std::vector<GeoPoint> points(Count(16));
        for (GeoPoint& p : points) {
            p.x = Coordinate(U8(), 9.5);
            p.y = Coordinate(U8(), 47.1);
        }
        return points;
    }
    std::vector<ScriptedStreet> Streets() {
        std::vector<ScriptedStreet> streets(Count(8));
        for (ScriptedStreet& s : streets) {
            s.link.elementId = Id();
            s.polyline = Points();
            if (!s.polyline.empty()) {
                s.link.position = s.polyline.front();
            }
        }
        return streets;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

inline DecodedJunctionInput DecodeJunctionModelInput(const std::uint8_t* data, std::size_t size) {
    JunctionInputReader in(data, size);
    DecodedJunctionInput out;
    out.cursor = in.U8();
    out.radius = in.U16();
    const auto left = static_cast<std::int16_t>(in.U16());
    const auto top = static_cast<std::int16_t>(in.U16());
    const std::uint16_t width = in.U16();
    const std::uint16_t height = in.U16();
    out.rect = {left, top, left + width, top + height};
    out.secondDistance = in.U16();
    out.hasSecondJunction = out.secondDistance != 0;
    out.radiusFactor = in.U8() / 100.0;
    std::vector<RouteRecord> records(in.Count(32));
    ScriptedRoute::Junctions junctions;
    for (std::size_t i = 0; i < records.size(); ++i) {
        RouteRecord& r = records[i];
        r.linkId = in.Id();
        const std::uint8_t flags = in.U8();
        r.elementAttributes = ((flags & 1) != 0 ? maprecord::kRing : 0) |
                              ((flags & 2) != 0 ? maprecord::kLookedPast : 0);
        r.polyline = in.Points();
        if (!r.polyline.empty()) {
            r.x = r.polyline.front().x;
            r.y = r.polyline.front().y;
        }
        ScriptedJunction junction;
        junction.allowed = in.Streets();
        junction.forbidden = in.Streets();
        if (!junction.allowed.empty() || !junction.forbidden.empty()) {
            junctions[i] = std::move(junction);
        }
    }
    std::vector<JunctionMapElement> elements(in.Count(48));
    for (JunctionMapElement& e : elements) {
        e.id = in.Id();
        const std::uint8_t word = in.U8();
        e.attributes = ((word & 1) != 0 ? maprecord::kRing : 0) |
                       static_cast<std::uint32_t>((word >> 1) & 3) << maprecord::kDirectionShift;
        const std::uint8_t type = in.U8();
        static constexpr std::int32_t kTypes[] = {1070, 1100, 5001, 200};
        e.typeCode = type < 4 ? kTypes[type] : 1001 + type;
        e.points = in.Points();
    }
    out.route = ScriptedRoute::WithJunctions(std::move(records), std::move(junctions));
    out.map = std::make_shared<ScriptedJunctionMap>(std::move(elements));
    return out;
}

// Builds, turns, maps and trims the model of the input as the crossing view does; false when a
// device coordinate came out not finite.
inline bool RunJunctionModel(const DecodedJunctionInput& input, bool* isBuilt = nullptr,
                             bool* isRoundabout = nullptr) {
    CrossingModel model(input.route, input.map, {2});
    RouteIteratorPtr cursor = input.route->Clone();
    for (std::size_t i = 0; i < input.cursor && cursor->IsValid(); ++i) {
        (void)cursor->Next();
    }
    model.SetRouteCursor(cursor);
    model.SetSecondJunction(input.hasSecondJunction, input.secondDistance);
    model.SetRadiusFactor(input.radiusFactor);
    const bool built = model.BuildComputedJunction(input.radius);
    if (isBuilt != nullptr) {
        *isBuilt = built;
    }
    if (isRoundabout != nullptr) {
        *isRoundabout = model.IsRoundabout();
    }
    if (!built) {
        return true;
    }
    model.OrientModel();
    model.MapModelToRect(input.rect);
    const JunctionRect& r = input.rect;
    model.TrimToRect(r.left, r.top, r.right, r.bottom);
    for (const auto* list : {&model.ScreenRouteSegments(), &model.ScreenSideSegments(),
                             &model.ScreenExtraSegments()}) {
        for (const JunctionSegment& s : *list) {
            if (!std::isfinite(s.x1) || !std::isfinite(s.y1) || !std::isfinite(s.x2) ||
                !std::isfinite(s.y2)) {
                return false;
            }
        }
    }
    const JunctionSegment& arrow = model.ArrowSegment();
    return std::isfinite(arrow.x1) && std::isfinite(arrow.y1) && std::isfinite(arrow.x2) &&
           std::isfinite(arrow.y2);
}
