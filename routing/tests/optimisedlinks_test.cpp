#include "routing/georectaround.h"
#include "routing/roadnetwork.h"
#include "routing/tests/networkfixture.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

namespace {

using ColumnType::Float32;
using ColumnType::UInt32;
using routingtest::WriteAndLoad;
using routingtest::WrittenNetwork;

constexpr std::uint32_t kStart1 = 1000000;
constexpr std::uint32_t kStart2 = 2000000;

const std::vector<ColumnType> kO2SColumns[3] = {
    {UInt32, UInt32, Float32, Float32, UInt32, Float32, UInt32},
    {UInt32, UInt32, UInt32},
    {UInt32, UInt32, Float32, Float32, UInt32},
};

// Nodes 0..6 west to east, 500 m apart, and node 7 north of node 3. Links i-(i+1) carry
// element 100 + i; 3-7 carries 106. Links 0-1-2-3 reach level 2, 3-4-5-6 level 1: level 2
// merges 0..3 into 2000000, level 1 merges 3..6 into 1000000.
std::unique_ptr<WrittenNetwork> ChainNetwork(std::uint32_t o2sKind, bool bothDirections,
                                             bool withMapData = false, bool isArchived = false) {
    const GeoPoint origin{10.0f, 50.0f};
    testdata::RoadWorld world;
    for (int i = 0; i < 7; ++i) {
        world.nodes.push_back(DegreesToMapPoint({GeoRectAround(origin, 500.0 * i).maxX, origin.y}));
    }
    world.nodes.push_back(
        DegreesToMapPoint({world.Position(3).x, GeoRectAround(origin, 500.0).maxY}));
    const auto add = [&](std::uint32_t from, std::uint32_t to, std::uint32_t element,
                         std::uint8_t level) {
        testdata::WorldLink link;
        link.from = from;
        link.to = to;
        link.elementId = element;
        link.level = level;
        link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[from], world.nodes[to]);
        world.links.push_back(link);
    };
    for (std::uint32_t i = 0; i < 6; ++i) {
        add(i, i + 1, 100 + i, i < 3 ? 2 : 1);
    }
    add(3, 7, 106, 0);
    testdata::RoadNetworkOptions options;
    options.maps = 3;
    options.optimisationStarts = {-1, kStart1, kStart2};
    options.o2sColumns = kO2SColumns[o2sKind];
    options.s2oColumns = {UInt32, UInt32};
    options.s2oListsBothDirections = bothDirections;
    options.isArchived = isArchived;
    return WriteAndLoad(std::move(world), options, withMapData);
}

struct ExpectedRecord {
    std::uint32_t id;
    int position; // node, -1 unknown
};

TEST(OptimisedLinks, IdsLevelsAndChains) {
    for (std::uint32_t kind : {0u, 1u, 2u}) {
        SCOPED_TRACE(kind);
        auto net = ChainNetwork(kind, true, true);
        ASSERT_TRUE(net->isLoaded);
        RoadNetwork& n = *net->network;
        const auto& world = net->writer->GetWorld();
        ASSERT_EQ(n.GetO2SKind(), kind);
        const MapDataLinkPtr link = n.GetMapDataLink();
        ASSERT_NE(link, nullptr);
        struct IdCase {
            std::uint32_t id;
            int level;
            std::uint32_t element;
        };
        const IdCase ids[] = {{999999, -1, 999999},        {kStart1, 1, 103},
                              {kStart1 + 1, 1, 105},       {kStart2, 2, 100},
                              {kStart2 + 1, 2, 102},       {kStart1 + 10, 1, 0xFFFFFFFF},
                              {0xFFFFFFFF, -1, 0xFFFFFFFF}};
        for (const IdCase& c : ids) {
            EXPECT_EQ(n.LevelOfOptimisedId(c.id), c.level) << c.id;
            EXPECT_EQ(n.IsOptimisedId(c.id), c.level >= 0) << c.id;
            EXPECT_EQ(n.ElementOfLink(c.id), c.element) << c.id;
            EXPECT_EQ(link->ElementOfLink(c.id), c.element) << c.id;
        }
        // The chain (e1, p1), (e2, p2), (0, p3) read forward and backward.
        struct ChainCase {
            std::uint32_t id;
            std::vector<ExpectedRecord> records;
        };
        const ChainCase chains[] = {
            {kStart1, {{103, 3}, {104, 4}, {105, 5}}},
            {kStart1 + 1, {{105, 6}, {104, 5}, {103, 4}}},
            {kStart2 + 1, {{102, 3}, {101, 2}, {100, 1}}},
        };
        for (const ChainCase& c : chains) {
            const std::vector<O2SRecord> records = n.LookupO2S(c.id);
            ASSERT_EQ(records.size(), c.records.size());
            for (std::size_t i = 0; i < records.size(); ++i) {
                EXPECT_EQ(records[i].optimisedId, c.id);
                EXPECT_EQ(records[i].elementId, c.records[i].id);
                const GeoPoint p =
                    world.Position(static_cast<std::uint32_t>(c.records[i].position));
                EXPECT_EQ(records[i].x, kind == 1 ? kUnknownCoordinate : p.x);
                EXPECT_EQ(records[i].y, kind == 1 ? kUnknownCoordinate : p.y);
                EXPECT_EQ(records[i].length,
                          static_cast<float>(world.links[c.records[i].id - 100].lengthUnits * 5));
            }
        }
    }
}

RouteRecord Record(std::uint32_t id, GeoPoint at, std::int32_t length, std::int32_t time) {
    RouteRecord r;
    r.x = at.x;
    r.y = at.y;
    r.linkId = id;
    r.length = length;
    r.time = time;
    r.attributes = RecordAttributes::Make(5, 2);
    return r;
}

TEST(OptimisedLinks, ExpandIntoElements) {
    for (std::uint32_t kind : {0u, 1u, 2u}) {
        auto net = ChainNetwork(kind, true);
        ASSERT_TRUE(net->isLoaded);
        const auto& world = net->writer->GetWorld();
        const auto at = [&](std::uint32_t node) { return world.Position(node); };
        const auto metres = [&](std::uint32_t element) {
            return static_cast<float>(world.links[element - 100].lengthUnits * 5);
        };
        struct Case {
            const char* name;
            std::vector<RouteRecord> input;
            bool withPositions;
            bool expected;
            std::vector<ExpectedRecord> output;
            float speed;       // km/h of the optimised records
            std::size_t plain; // leading records copied as they are
        };
        const Case cases[] = {
            {"plain ids, repeats and -1 dropped",
             {Record(5, at(0), 10, 1), Record(5, at(1), 10, 1), Record(0xFFFFFFFF, at(1), 1, 1),
              Record(7, at(2), 10, 1)},
             true,
             true,
             {{5, 0}, {7, 2}},
             0.0f,
             2},
            {"level 1 forward, 1000 m in 36 s",
             {Record(kStart1, at(3), 1000, 36)},
             true,
             true,
             {{103, 3}, {104, 4}, {105, 5}},
             97.2f,
             0},
            {"level 1 reverse, time 0",
             {Record(kStart1 + 1, at(6), 1000, 0)},
             true,
             true,
             {{105, 6}, {104, 5}, {103, 4}},
             100.0f,
             0},
            {"level 2 forward, time above length",
             {Record(kStart2, at(0), 10, 20)},
             true,
             true,
             {{100, 0}, {101, 1}, {102, 2}},
             1.8f,
             0},
            {"without positions",
             {Record(kStart2 + 1, at(3), 1000, 36)},
             false,
             true,
             {{102, -1}, {101, -1}, {100, -1}},
             97.2f,
             0},
            {"the previous element is not repeated",
             {Record(103, at(3), 500, 18), Record(kStart1, at(3), 1000, 36)},
             true,
             true,
             {{103, 3}, {104, 4}, {105, 5}},
             97.2f,
             1},
            {"unknown optimised id kept as it is",
             {Record(103, at(3), 500, 18), Record(kStart1 + 10, at(3), 1000, 36)},
             true,
             false,
             {{103, 3}, {kStart1 + 10, 3}},
             0.0f,
             2},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(kind) + " " + c.name);
            std::vector<RouteRecord> records = c.input;
            platform::ClearRecordedMessageBoxes();
            ASSERT_EQ(net->network->ExpandOptimisedLinks(records, c.withPositions), c.expected);
            EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
            ASSERT_EQ(records.size(), c.output.size());
            for (std::size_t i = 0; i < records.size(); ++i) {
                const ExpectedRecord& e = c.output[i];
                EXPECT_EQ(records[i].linkId, e.id);
                const GeoPoint p = e.position < 0 ? GeoPoint{kUnknownCoordinate, kUnknownCoordinate}
                                                  : at(static_cast<std::uint32_t>(e.position));
                EXPECT_EQ(records[i].x, p.x);
                EXPECT_EQ(records[i].y, p.y);
                if (i >= c.plain) {
                    EXPECT_EQ(records[i].length, static_cast<std::int32_t>(metres(e.id)));
                    EXPECT_EQ(records[i].time, RecordTime(metres(e.id), c.speed));
                    EXPECT_EQ(records[i].attributes.value, RecordAttributes::Make(5, 2).value);
                    EXPECT_TRUE(records[i].polyline.empty());
                }
            }
        }
    }
}

TEST(OptimisedLinks, ExpandWithoutStoredPositions) {
    auto net = ChainNetwork(1, false);
    ASSERT_TRUE(net->isLoaded);
    const auto& world = net->writer->GetWorld();
    const auto at = [&](std::uint32_t node) { return world.Position(node); };
    struct Case {
        const char* name;
        std::vector<RouteRecord> input;
        bool expected;
        std::vector<ExpectedRecord> output;
        std::size_t messages;
    };
    const Case cases[] = {
        {"first element beside the other crossing: walked back, then lost",
         {Record(kStart1, at(4), 1000, 36)},
         true,
         {{103, 4}, {104, 3}, {105, 3}},
         1},
        {"first element not within 20 m and nothing output",
         {Record(kStart1 + 1, at(3), 1, 1)},
         false,
         {},
         0},
        {"placed from the last output record",
         {Record(103, at(3), 500, 18), Record(kStart1, at(0), 1000, 36)},
         true,
         {{103, 3}, {104, 4}, {105, 5}},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RouteRecord> records = c.input;
        platform::ClearRecordedMessageBoxes();
        ASSERT_EQ(net->network->ExpandOptimisedLinks(records, true), c.expected);
        const auto boxes = platform::RecordedMessageBoxes();
        ASSERT_EQ(boxes.size(), c.messages);
        for (const auto& box : boxes) {
            EXPECT_EQ(box.text, u"Cannot find id inside optim id");
        }
        if (!c.expected) {
            EXPECT_EQ(records.size(), c.input.size()); // left as they were
            continue;
        }
        ASSERT_EQ(records.size(), c.output.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].linkId, c.output[i].id);
            EXPECT_EQ(records[i].x, at(static_cast<std::uint32_t>(c.output[i].position)).x);
        }
    }
}

} // namespace

namespace {

AnnotationValuePtr Value(std::uint8_t speed) {
    return std::make_shared<const std::uint8_t>(speed);
}

FlaggedElementList List(std::vector<std::pair<std::uint32_t, GeoPoint>> items,
                        AnnotationValuePtr value, std::uint32_t direction) {
    FlaggedElementList list;
    for (const auto& [element, at] : items) {
        list.items.push_back({element, at.x, at.y});
    }
    list.value = std::move(value);
    list.direction = direction;
    return list;
}

// The speed code on the link with the element at a node's crossing, -1 for none.
int SpeedAt(const WrittenNetwork& net, std::uint32_t level, std::uint32_t node,
            std::uint32_t element, std::uint32_t direction) {
    NetworkCrossingPtr crossing = net.CrossingOf(level, node);
    for (LinkCursorPtr c = net.network->CreateCursor(*crossing, 0, 0); c->IsValid(); c->Next()) {
        if (c->GetElementId() == element) {
            const AnnotationValuePtr value = net.network->GetLinkAnnotation(*c, direction);
            return value ? (*value & 127) : -1;
        }
    }
    ADD_FAILURE() << "no link " << element << " at node " << node;
    return -2;
}

struct Query {
    std::uint32_t level;
    std::uint32_t node;
    std::uint32_t element;
    std::uint32_t direction;
    int speed;
};

void ExpectSpeeds(const WrittenNetwork& net, const std::vector<Query>& queries) {
    for (const Query& q : queries) {
        EXPECT_EQ(SpeedAt(net, q.level, q.node, q.element, q.direction), q.speed)
            << "level " << q.level << " node " << q.node << " element " << q.element
            << " direction " << q.direction;
    }
}

TEST(LinkAnnotations, AddQueryAndRemoveOnAllLevels) {
    for (bool bothDirections : {true, false}) {
        SCOPED_TRACE(bothDirections);
        auto net = ChainNetwork(0, bothDirections);
        ASSERT_TRUE(net->isLoaded);
        RoadNetwork& n = *net->network;
        const auto at = [&](std::uint32_t node) { return net->writer->GetWorld().Position(node); };
        AnnotationValuePtr slow = Value(0x80 | 20);
        AnnotationValuePtr slower = Value(5);
        const AnnotationValuePtr closed = Value(0);
        ASSERT_TRUE(n.AddFlaggedElements(List({{104, at(4)}}, slow, 1)));
        ASSERT_TRUE(n.AddFlaggedElements(List({{104, at(5)}}, slower, 0)));
        ASSERT_TRUE(n.AddFlaggedElements(List({{101, at(1)}, {105, at(6)}}, closed, 0)));
        // The owner lets go of a value: the annotation keeps it.
        slow.reset();
        ExpectSpeeds(*net, {
                               // Level 0: both directions of 104, filtered by direction.
                               {0, 4, 104, 0, 5},
                               {0, 5, 104, 0, 5},
                               {0, 4, 104, 2, 5}, // the code-2 entry of 20 is filtered out
                               {0, 3, 103, 0, -1},
                               {0, 1, 101, 0, 0},
                               {0, 2, 101, 0, 0},
                               // Level 1: the chain 3..6 holding 104 and 105, both ends
                               // (its id seen from its end names the reverse direction).
                               {1, 3, kStart1, 0, 0},
                               {1, 6, kStart1 + 1, 0, 0},
                               {1, 3, 102, 0, -1},
                               // Level 2: the chain 0..3 holding 101.
                               {2, 0, kStart2, 0, 0},
                               {2, 3, kStart2 + 1, 0, 0},
                           });
        ASSERT_TRUE(n.RemoveFlaggedElements(List({{104, at(5)}}, slower, 0)));
        ASSERT_TRUE(n.RemoveFlaggedElements(List({{101, at(1)}, {105, at(6)}}, closed, 0)));
        ExpectSpeeds(*net, {
                               {0, 4, 104, 0, 20},
                               {0, 4, 104, 1, 20}, // entry code 2 on 4 -> 5
                               {0, 4, 104, 2, -1},
                               {0, 5, 104, 2, 20}, // entry code 1 on 5 -> 4
                               {0, 5, 104, 1, -1},
                               {0, 1, 101, 0, -1},
                               {1, 3, kStart1, 0, 20},
                               {2, 0, kStart2, 0, -1},
                           });
        // Removal without a value takes any.
        ASSERT_TRUE(n.RemoveFlaggedElements(List({{104, at(4)}}, nullptr, 0)));
        ExpectSpeeds(*net, {{0, 4, 104, 0, -1}, {1, 6, kStart1 + 1, 0, -1}});
    }
}

// A directed item flags the travel from its point onwards on every level: on a merged link
// whose stored direction runs the other way, the link seen from its far end.
TEST(LinkAnnotations, DirectedItemsFlagTheirTravelOnMergedLinks) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> items; // element, node
        std::vector<Query> expected;
    };
    const Case cases[] = {
        {"along the stored direction",
         {{104, 4}},
         {{0, 4, 104, 1, 9},
          {0, 5, 104, 1, -1},
          {1, 3, kStart1, 1, 9},
          {1, 6, kStart1 + 1, 2, 9},
          {1, 3, kStart1, 2, -1},
          {1, 6, kStart1 + 1, 1, -1}}},
        {"against the stored direction",
         {{104, 5}},
         {{0, 5, 104, 1, 9},
          {0, 4, 104, 1, -1},
          {1, 6, kStart1 + 1, 1, 9},
          {1, 3, kStart1, 2, 9},
          {1, 3, kStart1, 1, -1},
          {1, 6, kStart1 + 1, 2, -1}}},
        {"both ends of one element",
         {{104, 4}, {104, 5}},
         {{1, 3, kStart1, 1, 9}, {1, 6, kStart1 + 1, 1, 9}}},
        {"two elements of a chain, one way",
         {{101, 2}, {102, 3}},
         {{2, 3, kStart2 + 1, 1, 9}, {2, 0, kStart2, 1, -1}, {0, 2, 101, 1, 9}}},
    };
    for (const std::uint32_t kind : {0u, 2u}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << ": " << c.name);
            auto net = ChainNetwork(kind, true);
            ASSERT_TRUE(net->isLoaded);
            std::vector<std::pair<std::uint32_t, GeoPoint>> items;
            for (const auto& [element, node] : c.items) {
                items.emplace_back(element, net->writer->GetWorld().Position(node));
            }
            const FlaggedElementList list = List(items, Value(9), 1);
            ASSERT_TRUE(net->network->AddFlaggedElements(list));
            ExpectSpeeds(*net, c.expected);
            ASSERT_TRUE(net->network->RemoveFlaggedElements(list));
            ExpectSpeeds(
                *net,
                {{1, 3, kStart1, 1, -1}, {1, 6, kStart1 + 1, 1, -1}, {2, 3, kStart2 + 1, 1, -1}});
        }
    }
}

TEST(LinkAnnotations, FailuresKeepEarlierItems) {
    auto net = ChainNetwork(2, true);
    ASSERT_TRUE(net->isLoaded);
    RoadNetwork& n = *net->network;
    const auto at = [&](std::uint32_t node) { return net->writer->GetWorld().Position(node); };
    struct Case {
        const char* name;
        FlaggedElementList list;
        bool isAdding;
        bool expected;
        std::vector<Query> after;
    };
    const Case cases[] = {
        {"empty list", List({}, Value(3), 0), true, false, {{0, 4, 104, 0, -1}}},
        {"unknown element after a known one",
         List({{104, at(4)}, {999, {at(6).x + 1.0f, at(6).y}}}, Value(3), 0),
         true,
         false,
         {{0, 4, 104, 0, 3}, {1, 3, kStart1, 0, -1}}},
        {"element far from its position",
         List({{105, at(0)}}, Value(7), 0),
         true,
         false,
         {{0, 5, 105, 0, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.isAdding ? n.AddFlaggedElements(c.list) : n.RemoveFlaggedElements(c.list),
                  c.expected);
        ExpectSpeeds(*net, c.after);
    }
}

TEST(FindNearestCrossing, SkipsClosedCrossings) {
    auto net = ChainNetwork(0, true);
    ASSERT_TRUE(net->isLoaded);
    RoadNetwork& n = *net->network;
    const auto at = [&](std::uint32_t node) { return net->writer->GetWorld().Position(node); };
    // Close every link at node 0 (only 100) and 100 itself.
    ASSERT_TRUE(n.AddFlaggedElements(List({{100, at(0)}}, Value(0), 0)));
    struct Case {
        const char* name;
        GeoPoint position;
        std::uint32_t element;
        bool expected;
        int node; // found position, -1 none
    };
    const Case cases[] = {
        {"nearest is closed: the next one", {at(0).x - 0.0001f, at(0).y}, 0xFFFFFFFF, true, 1},
        {"open crossing", {at(4).x + 0.0001f, at(4).y}, 0xFFFFFFFF, true, 4},
        {"far from everything", {at(0).x - 1.0f, at(0).y}, 0xFFFFFFFF, false, -1},
        {"closed element", at(1), 100, false, -1},
        {"open element", at(1), 101, true, -1},
        {"element not near", at(6), 100, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NearestCrossingRequest request;
        request.position = c.position;
        request.secondPosition = c.position;
        request.elementId = c.element;
        request.result = 7;
        EXPECT_EQ(n.FindNearestCrossing(request), c.expected);
        EXPECT_EQ(request.result, 0u);
        if (c.node >= 0) {
            EXPECT_EQ(request.position, at(static_cast<std::uint32_t>(c.node)));
            EXPECT_EQ(request.secondPosition, at(static_cast<std::uint32_t>(c.node)));
        }
    }
}

// An archived network reads its id tables through the shared arena; without it the chains
// cannot be read, and the route keeps its optimised record instead of losing it.
TEST(OptimisedLinks, ExpandKeepsWhatTheTablesCannotGive) {
    MemoryArena& arena = MemoryArena::Shared();
    struct Case {
        const char* name;
        bool withArena;
        bool expected;
        std::vector<std::uint32_t> ids;
    };
    const Case cases[] = {
        {"tables readable", true, true, {103, 104, 105, 106}},
        {"tables unreadable", false, false, {103, kStart1, 106}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (arena.HoldsMemory()) {
            ASSERT_TRUE(arena.Release());
        }
        if (c.withArena) {
            ASSERT_TRUE(arena.Reserve(1u << 20));
        }
        {
            auto net = ChainNetwork(1, true, false, true);
            ASSERT_TRUE(net->isLoaded);
            const auto& world = net->writer->GetWorld();
            const auto at = [&](std::uint32_t node) { return world.Position(node); };
            std::vector<RouteRecord> records = {Record(103, at(3), 500, 18),
                                                Record(kStart1, at(3), 1000, 36),
                                                Record(106, at(6), 500, 18)};
            ASSERT_EQ(net->network->ExpandOptimisedLinks(records, true), c.expected);
            std::vector<std::uint32_t> ids;
            for (const RouteRecord& r : records) {
                ids.push_back(r.linkId);
            }
            EXPECT_EQ(ids, c.ids);
            if (!c.expected) {
                EXPECT_EQ(records[1].length, 1000); // the route's length and time stay whole
                EXPECT_EQ(records[1].time, 36);
            }
        }
        if (arena.HoldsMemory()) {
            ASSERT_TRUE(arena.Release());
        }
    }
}

} // namespace
