#include "testdata/junctionmodelinput.h"

#include <algorithm>

namespace testdata {

namespace {

void U8(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
}

void U16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Points(std::vector<std::uint8_t>& out, const std::vector<JunctionInputPoint>& points) {
    const std::size_t n = std::min(points.size(), kJunctionInputPoints);
    U8(out, n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(points[i].gx);
        out.push_back(points[i].gy);
    }
}

void Streets(std::vector<std::uint8_t>& out, const std::vector<JunctionInputStreet>& streets) {
    const std::size_t n = std::min(streets.size(), kJunctionInputStreets);
    U8(out, n);
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(streets[i].id);
        Points(out, streets[i].points);
    }
}

} // namespace

std::vector<std::uint8_t> EncodeJunctionModelInput(const JunctionModelInput& input) {
    std::vector<std::uint8_t> out;
    out.push_back(input.cursor);
    U16(out, input.radius);
    U16(out, static_cast<std::uint16_t>(input.left));
    U16(out, static_cast<std::uint16_t>(input.top));
    U16(out, input.width);
    U16(out, input.height);
    U16(out, input.secondDistance);
    out.push_back(input.radiusFactor);
    const std::size_t records = std::min(input.records.size(), kJunctionInputRecords);
    U8(out, records);
    for (std::size_t i = 0; i < records; ++i) {
        const JunctionInputRecord& r = input.records[i];
        out.push_back(r.id);
        out.push_back(r.flags);
        Points(out, r.points);
        Streets(out, r.allowed);
        Streets(out, r.forbidden);
    }
    const std::size_t elements = std::min(input.elements.size(), kJunctionInputElements);
    U8(out, elements);
    for (std::size_t i = 0; i < elements; ++i) {
        const JunctionInputElement& e = input.elements[i];
        out.push_back(e.id);
        out.push_back(e.word);
        out.push_back(e.type);
        Points(out, e.points);
    }
    return out;
}

JunctionModelInput JunctionInputTJunction() {
    // From the south to the junction at the centre, on east; a street west.
    JunctionModelInput input;
    input.records = {{1, 0, {{128, 118}, {128, 128}}, {}, {}},
                     {2, 0, {{128, 128}, {138, 128}}, {{3, {{128, 128}, {118, 128}}}}, {}}};
    return input;
}

JunctionModelInput JunctionInputRoundabout() {
    // A one-way ring of four elements around the centre; arms south (two-way, the route's
    // entry), east (out), north (in); the route leaves east.
    JunctionModelInput input;
    const std::uint8_t ring = 1 | 1 << 1; // ring, one-way along
    const JunctionInputPoint s{128, 126}, e{130, 128}, n{128, 130}, w{126, 128};
    input.records = {
        {1, 0, {{128, 118}, s}, {}, {}}, {10, 1, {s, e}, {}, {}}, {2, 0, {e, {138, 128}}, {}, {}}};
    input.elements = {{10, ring, 0, {s, e}},           {11, ring, 0, {e, n}},
                      {12, ring, 0, {n, w}},           {13, ring, 0, {w, s}},
                      {1, 2 << 1, 0, {{128, 118}, s}}, {2, 1 << 1, 0, {e, {138, 128}}},
                      {3, 1 << 1, 0, {{128, 138}, n}}, {9, 0, 2, {e}}};
    return input;
}

} // namespace testdata
