#include "routing/linkcursor.h"
#include "routing/tests/networkfixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testdata::CrossingExtras;
using testdata::GridSketch;

// The router's history as a list of link values.
class ListHistory final : public ManoeuvreHistory {
public:
    explicit ListHistory(std::vector<std::uint16_t> values)
        : m_values(std::move(values)) {}
    void Reset() override { m_at = 0; }
    bool HasMore() const override { return m_at < m_values.size(); }
    std::uint16_t Current() const override { return m_values[m_at]; }
    void Advance() override { ++m_at; }
    std::vector<PendingPath>& GetPendingPaths() override { return paths; }

    std::vector<PendingPath> paths;

private:
    std::vector<std::uint16_t> m_values;
    std::size_t m_at = 0;
};

// A junction x with its links 0 (to a), 1 (to c), 2 (to b) and 3 (to d).
GridSketch JunctionSketch() {
    GridSketch sketch;
    sketch.rows = {".b.", "axc", ".d."};
    sketch.roads = {{"West", "ax"}, {"East", "xc"}, {"North", "bx"}, {"South", "xd"}};
    sketch.origin = {2000000, 5000000};
    return sketch;
}

struct CursorCase {
    const char* name;
    std::function<void(GridSketch&, CrossingExtras&)> change;
    TravelMode mode;
    bool isForward;
    std::uint32_t fromLink;
    std::vector<std::uint16_t> history;
    std::vector<std::uint32_t> visited;
};

constexpr std::uint32_t kNone = 31;

void NoChange(GridSketch&, CrossingExtras&) {}

std::vector<CursorCase> Cases() {
    using Item = testdata::ManoeuvreItemDescription;
    using Entry = testdata::LinkEntryDescription;
    return {
        {"mode 0 visits all", NoChange, 0, true, kNone, {}, {0, 1, 2, 3}},
        // A link that may not be left by is passed over; the links after it may be taken.
        {"mode 0 passes over D = 3",
         [](GridSketch&, CrossingExtras& e) {
             e.directionOverrides = {{2, 3}};
         },
         0,
         true,
         kNone,
         {},
         {0, 1, 3}},
        {"mode 1 passes over a first link with D = 3",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].direction = GridSketch::Direction::OneWay;
         },
         1,
         true,
         kNone,
         {},
         {1, 2, 3}},
        {"one-way links forward",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].direction = GridSketch::Direction::OneWay; // a -> x: D = 3 at x
             s.roads[3].direction = GridSketch::Direction::OneWay; // x -> d: D = 1 at x
         },
         2,
         true,
         kNone,
         {},
         {1, 2, 3}},
        {"one-way links backward",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].direction = GridSketch::Direction::OneWay;
             s.roads[3].direction = GridSketch::Direction::OneWay;
         },
         2,
         false,
         kNone,
         {},
         {2, 1, 0}},
        {"U-turn", NoChange, 2, true, 1, {}, {0, 2, 3}},
        {"empty turn table",
         [](GridSketch&, CrossingExtras& e) { e.hasTurnTable = true; },
         2,
         true,
         0,
         {},
         {1, 2, 3}},
        {"turn table of four entries",
         [](GridSketch&, CrossingExtras& e) {
             e.prohibitedTurns = {{0, 1}, {0, 2}, {1, 3}, {2, 3}};
         },
         2,
         true,
         2,
         {},
         {0, 1}},
        {"turn table backward",
         [](GridSketch&, CrossingExtras& e) {
             e.prohibitedTurns = {{0, 1}, {2, 1}};
         },
         2,
         false,
         1,
         {},
         {3}},
        {"mode 12 prohibits nothing",
         [](GridSketch&, CrossingExtras& e) {
             e.prohibitedTurns = {{0, 1}};
         },
         12,
         true,
         0,
         {},
         {0, 1, 2, 3}},
        {"list-2 pair",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 2, {0}}};
         },
         2,
         true,
         0,
         {},
         {1, 3}},
        {"list-2 pair of kind 15 in mode 4",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{15, 2, {0}}};
         },
         4,
         true,
         0,
         {},
         {1, 3}},
        {"list-2 pair of kind 15 in mode 2",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{15, 2, {0}}};
         },
         2,
         true,
         0,
         {},
         {1, 2, 3}},
        {"list-2 item of kind 3 in mode 2",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{3, 2, {0}}};
         },
         2,
         true,
         0,
         {},
         {1, 2, 3}},
        {"list-2 path matching the history",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 2, {0, 5}}};
         },
         2,
         true,
         0,
         {0, 5, 7},
         {1, 3}},
        {"list-2 value of nibble 9",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 2, {0, -7}}};
         },
         2,
         true,
         0,
         {0, 9},
         {1, 2, 3}},
        {"list-2 path not matching the history",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 2, {0, 5, 4}}};
         },
         2,
         true,
         0,
         {0, 5, 3},
         {1, 2, 3}},
        {"list-2 path longer than the history",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 2, {0, 5, 4}}};
         },
         2,
         true,
         0,
         {0, 5},
         {1, 2, 3}},
        {"list-2 path of seven values",
         [](GridSketch&, CrossingExtras& e) {
             e.list2 = {Item{0, 1, {0, 1, 2, 3, 4, 5, 6}}, Item{0, 2, {0}}};
         },
         2,
         true,
         0,
         {0, 1, 2, 3, 4, 5, 6},
         {3}},
        {"list-1 mandatory turn forward",
         [](GridSketch&, CrossingExtras& e) {
             e.list1 = {Item{0, 3, {0}}};
         },
         2,
         true,
         0,
         {},
         {3}},
        {"list-1 two allowed turns",
         [](GridSketch&, CrossingExtras& e) {
             e.list1 = {Item{1, 3, {0}}, Item{2, 1, {0}}};
         },
         2,
         true,
         0,
         {},
         {1, 3}},
        {"list-1 of another mode",
         [](GridSketch&, CrossingExtras& e) {
             e.list1 = {Item{4, 3, {0}}};
         },
         2,
         true,
         0,
         {},
         {1, 2, 3}},
        {"list-1 backward into its from-link",
         [](GridSketch&, CrossingExtras& e) {
             e.list1 = {Item{0, 3, {0}}};
         },
         2,
         false,
         3,
         {},
         {2, 1, 0}},
        {"list-1 backward from another link",
         [](GridSketch&, CrossingExtras& e) {
             e.list1 = {Item{0, 3, {0}}};
         },
         2,
         false,
         2,
         {},
         {3, 1}},
        {"list-3 blocks a link",
         [](GridSketch&, CrossingExtras& e) {
             e.list3 = {Entry{2, 1, 0, 0, true}};
         },
         2,
         true,
         kNone,
         {},
         {0, 1, 3}},
        {"list-3 of another mode",
         [](GridSketch&, CrossingExtras& e) {
             e.list3 = {Entry{2, 3, 4, 5, true}};
         },
         2,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"list-3 second mode code",
         [](GridSketch&, CrossingExtras& e) {
             e.list3 = {Entry{2, 3, 4, 2, true}};
         },
         2,
         true,
         kNone,
         {},
         {0, 1, 3}},
        {"list-3 padding slot is not visited",
         [](GridSketch&, CrossingExtras& e) {
             e.list3 = {Entry{0, 2, 0, 0, true}, Entry{2, 1, 0, 0, false}};
         },
         2,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"list-3 ignored in mode 0",
         [](GridSketch&, CrossingExtras& e) {
             e.list3 = {Entry{2, 1, 0, 0, true}};
         },
         0,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"list-4 one-way for mode 3",
         [](GridSketch&, CrossingExtras& e) {
             e.list4 = {Entry{1, 3, 3, 0, true}};
         },
         3,
         true,
         kNone,
         {},
         {0, 2, 3}},
        {"list-4 fallback for mode 4",
         [](GridSketch&, CrossingExtras& e) {
             e.list4 = {Entry{1, 3, 2, 0, true}};
         },
         4,
         true,
         kNone,
         {},
         {0, 2, 3}},
        {"list-4 fallback not for mode 5",
         [](GridSketch&, CrossingExtras& e) {
             e.list4 = {Entry{1, 3, 2, 0, true}};
         },
         5,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"class 24 in mode 2 (D 0) and mode 3",
         [](GridSketch& s, CrossingExtras& e) {
             s.roads[1].roadClass = 24;
             e.directionOverrides = {{1, 0}};
         },
         2,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"class 24, mode 2",
         [](GridSketch& s, CrossingExtras&) { s.roads[1].roadClass = 24; },
         2,
         true,
         kNone,
         {},
         {0, 2, 3}},
        {"class 24, mode 3",
         [](GridSketch& s, CrossingExtras&) { s.roads[1].roadClass = 24; },
         3,
         true,
         kNone,
         {},
         {0, 1, 2, 3}},
        {"D 0 of another class",
         [](GridSketch&, CrossingExtras& e) {
             e.directionOverrides = {{1, 0}};
         },
         2,
         true,
         kNone,
         {},
         {0, 2, 3}},
        {"classes 25, 26 and 0 in mode 9",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].roadClass = 25;
             s.roads[1].roadClass = 26;
             s.roads[2].roadClass = 0;
         },
         9,
         true,
         kNone,
         {},
         {1, 3}},
        {"classes 25, 26 and 8 in mode 12",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].roadClass = 25;
             s.roads[1].roadClass = 26;
             s.roads[2].roadClass = 8;
         },
         12,
         true,
         kNone,
         {},
         {0, 1, 3}},
        {"classes 28 and 8 in mode 2",
         [](GridSketch& s, CrossingExtras&) {
             s.roads[0].roadClass = 28;
             s.roads[2].roadClass = 8;
         },
         2,
         true,
         kNone,
         {},
         {1, 2, 3}},
    };
}

struct WrittenJunction {
    std::unique_ptr<routingtest::WrittenNetwork> net;
    std::uint32_t x = 0;
};

WrittenJunction WriteJunction(const std::function<void(GridSketch&, CrossingExtras&)>& change,
                              bool hasAdditionalAttributes = false) {
    GridSketch sketch = JunctionSketch();
    CrossingExtras extras;
    change(sketch, extras);
    testdata::MapSetWriter mapSet;
    auto world = testdata::RoadWorld::FromSketch(sketch, mapSet);
    WrittenJunction junction;
    if (!world) {
        return junction;
    }
    junction.x = *world->NodeNamed('x');
    testdata::RoadNetworkOptions options;
    options.hasAdditionalAttributes = hasAdditionalAttributes;
    options.extras[0][junction.x] = extras;
    junction.net = routingtest::WriteAndLoad(*world, options);
    return junction;
}

TEST(LinkCursorRules, VisitsTheLinksATravelModeMayTake) {
    for (const CursorCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const WrittenJunction junction = WriteJunction(c.change);
        ASSERT_TRUE(junction.net && junction.net->isLoaded);
        const NetworkCrossingPtr x = junction.net->CrossingOf(0, junction.x);
        ASSERT_EQ(x->GetLinkCount(), 4u);
        ListHistory history(c.history);
        const LinkCursorPtr cursor = junction.net->network->CreateRestrictedCursor(
            *x, c.isForward, c.fromLink, c.mode, &history);
        std::vector<std::uint32_t> visited;
        for (; cursor->IsValid() && visited.size() < 8; cursor->Next()) {
            visited.push_back(cursor->GetIndex());
        }
        EXPECT_EQ(visited, c.visited);
    }
}

// A line b - x - y - z (links 0: x-b, 1: x-y, 2: y-z; x's links 0 to b and 1 to y, y's links 0
// to x and 1 to z) whose item at y prohibits driving b -> x -> y -> z, with the pending-path flag
// on the item's links; x-b has the road class given.
std::unique_ptr<routingtest::WrittenNetwork> WriteLine(std::uint8_t roadClass) {
    testdata::RoadWorld world;
    world.nodes = {{2000000, 5001000}, {2000000, 5000000}, {2001000, 5000000}, {2002000, 5000000}};
    const auto add = [&](std::uint32_t from, std::uint32_t to) {
        testdata::WorldLink link;
        link.from = from;
        link.to = to;
        link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
        link.lengthUnits = 30;
        world.links.push_back(link);
    };
    add(1, 0);
    add(1, 2);
    add(2, 3);
    world.links[0].roadClass = roadClass;
    testdata::RoadNetworkOptions options;
    options.extras[0][2].list2 = {testdata::ManoeuvreItemDescription{0, 1, {0, 0}}};
    options.extras[0][2].pendingPathLinks = {0};
    options.extras[0][1].pendingPathLinks = {0, 1};
    options.extras[0][0].pendingPathLinks = {0};
    return routingtest::WriteAndLoad(std::move(world), std::move(options));
}

void CheckPendingPathsOnLine(std::uint8_t roadClass) {
    const auto line = WriteLine(roadClass);
    ASSERT_TRUE(line && line->isLoaded);
    const NetworkCrossingPtr y = line->CrossingOf(0, 2);
    ListHistory stored({});
    const LinkCursorPtr storing = line->network->CreateRestrictedCursor(*y, false, 1, 2, &stored);
    ASSERT_TRUE(storing->IsValid());
    EXPECT_EQ(storing->GetIndex(), 0u); // the item only begins at b
    ASSERT_EQ(stored.paths.size(), 1u);
    EXPECT_EQ(stored.paths[0].at, line->AddressOfNode(0, 0));
    // x's link to b, then the search's arrival indexes at x (from y) and at y (from z).
    EXPECT_EQ(stored.paths[0].values, (std::vector<std::uint16_t>{0, 1, 1}));

    const std::vector<std::uint16_t> otherLinkFirst{1, 1, 1};
    const struct {
        const char* name;
        std::vector<std::vector<std::uint16_t>> paths;
        std::vector<std::uint16_t> history;
        bool isPassable;
    } cases[] = {
        {"the stored path, history along it", {stored.paths[0].values}, {1, 1}, false},
        {"the stored path, history longer", {stored.paths[0].values}, {1, 1, 4}, false},
        {"the stored path, y left by another link", {stored.paths[0].values}, {1, 0}, true},
        {"history too short", {stored.paths[0].values}, {1}, true},
        {"a path of another link first", {otherLinkFirst, stored.paths[0].values}, {1, 1}, false},
        {"only a path of another link", {otherLinkFirst}, {1, 1}, true},
    };
    const NetworkCrossingPtr x = line->CrossingOf(0, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListHistory check(c.history);
        for (const auto& values : c.paths) {
            check.paths.push_back({line->AddressOfNode(0, 0), values});
        }
        const LinkCursorPtr cursor = line->network->CreateRestrictedCursor(*x, false, 1, 2, &check);
        std::vector<std::uint32_t> visited;
        for (; cursor->IsValid(); cursor->Next()) {
            visited.push_back(cursor->GetIndex());
        }
        EXPECT_EQ(visited,
                  c.isPassable ? std::vector<std::uint32_t>{0} : std::vector<std::uint32_t>{});
    }
}

// A backward cursor stores the path of an item over several links under the crossing where it
// begins, and a backward cursor at the crossing before refuses the path's first link when the
// search's history there runs along the rest of it, whatever the class of that link.
TEST(LinkCursorRules, BackwardCursorsStoreAndRecognisePendingPaths) {
    for (const std::uint8_t roadClass : {4, 0, 8}) {
        SCOPED_TRACE(static_cast<int>(roadClass));
        CheckPendingPathsOnLine(roadClass);
    }
}

TEST(LinkCursorRules, DeliversDirectionCodesAndAttributesPerMode) {
    using Entry = testdata::LinkEntryDescription;
    const WrittenJunction junction = WriteJunction(
        [](GridSketch& s, CrossingExtras& e) {
            s.roads[0].direction = GridSketch::Direction::OneWay;
            s.roads[1].roadClass = 5;
            s.roads[1].extendedBit = true;
            s.roads[1].extendedCode = 3;
            s.roads[2].roadClass = 24;
            s.roads[3].roadClass = 17;
            s.roads[3].extendedCode = 5;
            e.list4 = {Entry{3, 1, 4, 6, true}, Entry{3, 3, 0, 2, false}, Entry{3, 2, 0, 0, false}};
        },
        true);
    ASSERT_TRUE(junction.net && junction.net->isLoaded);
    const NetworkCrossingPtr x = junction.net->CrossingOf(0, junction.x);
    const struct {
        TravelMode mode;
        std::uint32_t codes[4];
    } cases[] = {{0, {3, 2, 2, 2}}, {1, {3, 2, 2, 2}}, {2, {3, 2, 2, 3}},
                 {3, {3, 2, 2, 3}}, {4, {3, 2, 2, 1}}, {5, {3, 2, 2, 2}},
                 {6, {3, 2, 2, 1}}, {9, {2, 2, 2, 2}}, {12, {2, 2, 2, 2}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const LinkCursorPtr cursor = junction.net->network->CreateCursor(*x, 0, c.mode);
        for (std::uint32_t i = 0; i < 4; ++i, cursor->Next()) {
            EXPECT_EQ(cursor->GetDirectionCode(), c.codes[i]) << i;
        }
    }
    const struct {
        std::uint32_t link;
        std::uint32_t roadClass;
        LinkAttributeWord word;
    } links[] = {{0, 4, 4u << 29},
                 {1, 293, (5u << 29) | 4u | 0x40u},
                 {2, 24, 1u | (0u << 29) | 0u},
                 {3, 17 + 1024, 2u | (1u << 29) | 0x100u}};
    const LinkCursorPtr cursor = junction.net->network->CreateCursor(*x, 0, 0);
    for (const auto& l : links) {
        SCOPED_TRACE(l.link);
        ASSERT_EQ(cursor->GetIndex(), l.link);
        EXPECT_EQ(cursor->GetRoadClass(), l.roadClass);
        EXPECT_EQ(cursor->GetAttributeWord(), l.word);
        cursor->Next();
    }
}

} // namespace
