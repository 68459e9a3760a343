#pragma once
// World descriptions: a text form of a grid sketch with the road network's options, read by the
// data tools. Lines (a '#' starts a comment):
//   stem NAME | spacing N | origin X Y | maps N | pagesize N | separated B B B | archived B
//   additional B | grid ... end (the sketch rows between) |
//   road NAME NODES [class=N] [extended=B] [code=N] [level=N] [type=N] [oneway]

#include "testdata/mapsetwriter.h"
#include "testdata/roadnetworkwriter.h"

#include <string>
#include <string_view>
#include <variant>

namespace testdata {

struct WorldDescription {
    GridSketch sketch;
    RoadNetworkOptions options;
};

// The description, or the 1-based number of the first line that cannot be read.
[[nodiscard]] std::variant<WorldDescription, std::size_t>
ParseWorldDescription(std::string_view text);

} // namespace testdata
