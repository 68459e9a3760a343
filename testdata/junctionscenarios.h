#pragma once
// Small junction worlds for the manoeuvre advisor: named nodes at any map point and roads through
// them, each road with its type code, name, country and the kinds the advisor reads (roundabout,
// connectors, looked-past items, junction kinds, signposts, place names). Written whole: the map
// set with its address index and a road network with additional attributes, so a route service
// routes over them and its iterator hands out the words the advisor reads. Scenarios lie near the
// equator, where a map unit is as long east-west as north-south.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "testdata/mapsetwriter.h"
#include "testdata/roadworld.h"
#include "testdata/tempdir.h"
#include "testdata/worldmapset.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// The road kinds the advisor reads; each shows as one bit (or field) of the route iterator's
// attribute word of a link driven along its points.
struct AdvisorRoadKinds {
    bool isRoundabout = false;       // 0x10
    std::uint32_t connector = 0;     // 0x40, 0x80 or 0x100
    bool isLookedPast = false;       // 0x800
    std::uint8_t junctionByte = 0;   // bits 12-19
    std::uint8_t junctionNibble = 0; // bits 20-23 (0-15)
    bool hasSignposts = false;       // 0x1000000
    bool hasPlaceName = false;       // 0x4000000
};

// Where each kind lives: the network link's extended code (roundabout 2, connectors 3, 4, 5)
// and the element's raw attribute bits (raw 19 looked past, link nibbles A and B the junction
// byte, C the nibble, raw 25 signposts, raw 20 place name, raw 30 the ring).
struct AdvisorLinkFields {
    std::uint8_t extendedCode = 0;
    std::uint32_t rawAttributes = 0;
};
[[nodiscard]] AdvisorLinkFields AdvisorLinkFieldsOf(const AdvisorRoadKinds& kinds);

struct ScenarioRoad {
    std::string nodes; // node names in driving order; one link per consecutive pair
    std::uint16_t typeCode = maprecord::kResidentialType;
    std::string name; // "name/route number/..."
    AdvisorRoadKinds kinds;
    bool isOneWay = false;
    std::uint8_t roadClass = 4;
    std::uint16_t country = 0; // 0: no country record
};

struct ScenarioSignpost {
    std::string from; // two node names: the link carrying the signpost
    std::string to;   // the link it points to
    std::string text;
};

struct JunctionScenario {
    std::map<char, MapPoint> nodes;
    std::vector<ScenarioRoad> roads;
    std::vector<ScenarioSignpost> signposts;
    std::vector<ElementDescription> places; // areas of classes 920-922 and the like
    std::map<std::string, IndexArea> areas; // by a link's two node names: its element's area
    // The route's nodes: it starts in the middle of the first link and ends in the middle of the
    // last.
    std::string route;
};

struct WrittenScenario {
    RoadWorld world;
    WorldMapSet mapSet;
    std::u16string networkPath; // device path of the ".rd" file
    // The element id of the link between two nodes (either direction); 0xFFFFFFFF when none.
    [[nodiscard]] std::uint32_t Element(const std::string& nodes) const;
};

// Writes the map set into folder + "\maps" and the network into folder + "\net"; nullopt when a
// road names an unknown node or a file cannot be written.
[[nodiscard]] std::optional<WrittenScenario> WriteJunctionScenario(const JunctionScenario& scenario,
                                                                   const TempDeviceRoot& root,
                                                                   std::u16string_view folder);

// The scenarios' centre and a point `units` map units from a point at `degrees` counter-clockwise
// from east.
inline constexpr MapPoint kScenarioCentre{1'260'000, 20'000};
[[nodiscard]] MapPoint PolarPoint(const MapPoint& from, double degrees, double units);

// Named scenarios. Arms are about 150 m long; the route arrives from 'S' at the junction 'J'.
// A T junction: the route turns right to 'E', the other street leaves west.
[[nodiscard]] JunctionScenario TJunctionScenario();
// Two streets leave 'J' at `spread` degrees from each other, both residential, the route takes
// the right one; the arriving item has junction byte `arrivingByte`, the right one `leavingByte`.
[[nodiscard]] JunctionScenario SplitScenario(double spread, std::uint8_t arrivingByte = 0,
                                             std::uint8_t leavingByte = 0);
// A one-way ring R1..R4 (anticlockwise seen from above, driven as in right-hand traffic) with an
// exit road at each ring node; the route enters at R1 and leaves at R3 ('X3').
[[nodiscard]] JunctionScenario RoundaboutScenario();
// A four-way crossing: the route from 'S' north to 'N'; 'E' and 'W' the cross street. Type codes
// per arm in the order S, N, E, W.
[[nodiscard]] JunctionScenario CrossingScenario(std::uint16_t south, std::uint16_t north,
                                                std::uint16_t east, std::uint16_t west,
                                                double northDegrees = 90.0);

// A highway ("/A 7") from 'S' north through 'J' to 'N'; a ramp (connector 0x100) leaves 'J' 30
// degrees to the right through 'R' to 'K', where a primary road goes on east to 'P'.
[[nodiscard]] JunctionScenario HighwayExitScenario();
// The highway of the exit scenario; its ramp forks at 'R': straight on through 'Q' to a second
// highway ("/A 8") east to 'G', or right through 'M' to a third highway ("/A 9") east to 'H'.
// The route takes 'S' 'J' 'R' 'Q' 'G'.
[[nodiscard]] JunctionScenario InterchangeScenario();
// The junction view's roundabout: a one-way ring 1 2 3 b a (anticlockwise: '1' south, '2' east,
// '3' north, 'b' and 'a' beside each other west) with a two-way arm 'S' 1, an exit-only arm 2 'E',
// an entry-only arm 'N' 3 and a one-way pair at 'b' and 'a' meeting at 'W' (b 'W' out of the
// ring, 'W' a into it, looked past), which 'V' 'W' continues west. Beside it, no roads: a point
// of interest (5001) on ring node 2 and a city (4000) at the centre. `route` as the scenario's:
// "S12E" enters from the south, "VWa12E" from the west over the looked-past link.
[[nodiscard]] JunctionScenario ArmedRoundaboutScenario(std::string route = "S12E");

// The scenario moved so that its centre (kScenarioCentre) lies at `centre`: nodes and places.
[[nodiscard]] JunctionScenario ScenarioAt(JunctionScenario scenario, const MapPoint& centre);
// kScenarioCentre's longitude at 47.1 degrees north, where a map unit east-west is shorter than
// one north-south by the cosine of the latitude.
inline constexpr MapPoint kNorthScenarioCentre{1'260'000, 35'120'305};

// A dual carriageway of two one-way roads, north along 'S' 'J' 'N' and south along 'M' 'K' 'T',
// with a short looked-past link 'J' 'K' across the median. The route turns back: 'S' 'J' 'K' 'T'.
[[nodiscard]] JunctionScenario MedianUTurnScenario();

} // namespace testdata
