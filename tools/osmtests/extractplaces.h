#pragma once
// Places on the converted extract that tests start from: the street elements of a municipality
// found through the city search, and points beside a road.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <string>

namespace extractplaces {

inline constexpr double kMetresPerDegree = 6367444.0 * std::numbers::pi / 180.0;

// The point `metres` to the left of the middle of the segment from a to b.
inline GeoPoint BesideMiddle(const GeoPoint& a, const GeoPoint& b, double metres) {
    const double scale = std::cos(a.y * std::numbers::pi / 180.0);
    const double east = (b.x - a.x) * scale * kMetresPerDegree;
    const double north = (b.y - a.y) * kMetresPerDegree;
    const double length = std::hypot(east, north);
    const double left = -north / length * metres;
    const double up = east / length * metres;
    return {static_cast<float>((a.x + b.x) / 2.0 + left / (scale * kMetresPerDegree)),
            static_cast<float>((a.y + b.y) / 2.0 + up / kMetresPerDegree)};
}

// The first element of the streets of municipality `city` for which `accept(id, area)` holds,
// in the order the street search gives them; none when the city is unknown or nothing is
// accepted.
template <typename Accept>
std::optional<std::uint32_t> FirstStreetElement(RetrievalEngineImpl& engine,
                                                const std::u16string& city, Accept&& accept) {
    auto found = engine.FindCities(city, 0);
    if (!found || !found->IsValid()) {
        return std::nullopt;
    }
    const std::int32_t area = found->GetCurrent()->GetAreaId();
    for (auto streets = engine.FindInArea(static_cast<std::uint32_t>(area), u"");
         streets && streets->IsValid(); streets->Next()) {
        for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
            if (accept(id, area)) {
                return id;
            }
        }
    }
    return std::nullopt;
}

// The first street element of municipality `city` that is a road between a secondary and a
// residential one: where the benchmarks' and tests' routes between municipalities start and end.
inline std::optional<std::uint32_t> FirstTownRoad(RetrievalEngineImpl& engine,
                                                  const std::u16string& city) {
    return FirstStreetElement(engine, city, [&](std::uint32_t id, std::int32_t) {
        const MapElementPtr element = engine.GetElement(id);
        return element && element->GetTypeCode() >= maprecord::kSecondaryType &&
               element->GetTypeCode() <= maprecord::kResidentialType;
    });
}

} // namespace extractplaces
