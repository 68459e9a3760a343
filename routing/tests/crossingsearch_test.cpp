#include "positioning/geodistance.h"
#include "routing/crossingsearch.h"
#include "routing/georectaround.h"
#include "routing/roadnetwork.h"
#include "routing/tests/networkfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

namespace {

using routingtest::WriteAndLoad;
using routingtest::WrittenNetwork;

std::set<std::uint32_t> IteratedIds(RoadNetwork& network, const GeoRect& rect) {
    std::set<std::uint32_t> ids;
    NetworkCrossingPtr it = network.CreateCrossingIterator(rect, 0);
    for (std::uint32_t guard = 0; it && it->IsValid() && guard < 100000; it->Next(), ++guard) {
        EXPECT_TRUE(ids.insert(it->GetId()).second) << "crossing visited twice";
    }
    return ids;
}

std::set<std::uint32_t> ScannedIds(const WrittenNetwork& net, const GeoRect& rect) {
    std::set<std::uint32_t> ids;
    const auto& layout = net.Layout(0);
    for (std::uint32_t id = 0; id < layout.nodeOfCrossing.size(); ++id) {
        const GeoPoint p = net.writer->GetWorld().Position(layout.nodeOfCrossing[id]);
        if (rect.minX <= p.x && p.x <= rect.maxX && rect.minY <= p.y && p.y <= rect.maxY) {
            ids.insert(id);
        }
    }
    return ids;
}

TEST(CrossingRectIterator, EqualsScanOfTheWorld) {
    struct Case {
        const char* name;
        std::uint32_t size;
        std::uint32_t pageSize;
        bool isSeparated;
    };
    const Case cases[] = {
        {"one page, whole map", 4, 4096, false},
        {"many pages", 25, 256, false},
        {"many pages, separated", 25, 256, true},
        {"small pages", 12, 128, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RoadNetworkOptions options;
        options.pageSize = c.pageSize;
        options.separated = {c.isSeparated, false, false};
        // Jittered, so that crossings lie off the page tree's split lines.
        testdata::RoadWorld world =
            testdata::RoadWorld::Grid(c.size, c.size, 700, {1000000, 6000000});
        std::mt19937 jitter(c.size);
        std::uniform_int_distribution<std::int32_t> shift(-300, 300);
        for (MapPoint& node : world.nodes) {
            node.x += shift(jitter);
            node.y += shift(jitter);
        }
        auto net = WriteAndLoad(std::move(world), options);
        ASSERT_TRUE(net->isLoaded);
        const GeoRect bounds = net->writer->GetWorld().Bounds();
        std::mt19937 random(c.size * 31 + c.pageSize);
        std::uniform_real_distribution<float> x(bounds.minX - 0.01f, bounds.maxX + 0.01f);
        std::uniform_real_distribution<float> y(bounds.minY - 0.01f, bounds.maxY + 0.01f);
        std::vector<GeoRect> rects{bounds, {0, 0, 1, 1}};
        for (int i = 0; i < 150; ++i) {
            GeoRect r{x(random), y(random), x(random), y(random)};
            r.Normalize();
            rects.push_back(r);
        }
        // Bounds on crossings themselves count as inside.
        const auto& written = net->writer->GetWorld();
        for (std::uint32_t node = 0; node + c.size + 1 < written.nodes.size(); node += 7) {
            const GeoPoint a = written.Position(node);
            const GeoPoint b = written.Position(node + c.size + 1);
            rects.push_back(
                {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)});
        }
        for (const GeoRect& r : rects) {
            EXPECT_EQ(IteratedIds(*net->network, r), ScannedIds(*net, r))
                << r.minX << " " << r.minY << " " << r.maxX << " " << r.maxY;
        }
        EXPECT_EQ(net->network->CreateCrossingIterator(bounds, 1), nullptr);
    }
}

// Crossings west to east on one parallel; element ids of the links between neighbours.
struct LineWorld {
    std::unique_ptr<WrittenNetwork> net;
    std::vector<GeoPoint> positions;
};

LineWorld MakeLine(const std::vector<double>& eastMetres) {
    const GeoPoint origin{10.0f, 50.0f};
    testdata::RoadWorld world;
    for (double metres : eastMetres) {
        const GeoRect r = GeoRectAround(origin, std::abs(metres));
        world.nodes.push_back(DegreesToMapPoint({metres < 0 ? r.minX : r.maxX, origin.y}));
    }
    for (std::uint32_t i = 0; i + 1 < world.nodes.size(); ++i) {
        testdata::WorldLink link;
        link.from = i;
        link.to = i + 1;
        link.elementId = 100 + i;
        link.lengthUnits = testdata::FlatWorldLengthUnits(world.nodes[i], world.nodes[i + 1]);
        world.links.push_back(link);
    }
    LineWorld line;
    for (std::uint32_t i = 0; i < world.nodes.size(); ++i) {
        line.positions.push_back(world.Position(i));
    }
    line.net = WriteAndLoad(std::move(world), {});
    return line;
}

// The point `metres` west of p.
GeoPoint West(const GeoPoint& p, double metres) {
    return {GeoRectAround(p, metres).minX, p.y};
}

TEST(FindCrossingNear, RadiusStepsAndElementFilter) {
    // Crossings at 0, 3000 and 9000 m: links 100 (0-1) and 101 (1-2).
    LineWorld line = MakeLine({0.0, 3000.0, 9000.0});
    ASSERT_TRUE(line.net->isLoaded);
    struct Case {
        const char* name;
        std::uint32_t node; // the query point lies west of this crossing
        double metresWest;
        float radius;
        std::uint32_t element;
        int expected; // node found, -1 none
    };
    const Case cases[] = {
        {"within 20 m", 0, 19.5, 20.0f, 0xFFFFFFFF, 0},
        {"truncated distance equals the radius", 0, 20.5, 20.0f, 0xFFFFFFFF, -1},
        {"second search finds 1200 m", 0, 1200.0, 2000.0f, 0xFFFFFFFF, 0},
        {"1200 m lies past the first search of 1400", 0, 1200.0, 1400.0f, 0xFFFFFFFF, -1},
        {"1200 m within 1500", 0, 1200.0, 1500.0f, 0xFFFFFFFF, 0},
        {"nearer crossing lacks the element", 0, 100.0, 4000.0f, 101, 1},
        {"element only beyond the radius", 0, 100.0, 3000.0f, 101, -1},
        {"unknown element", 1, 0.0, 5000.0f, 999, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CrossingQuery query;
        query.input = West(line.positions[c.node], c.metresWest);
        query.radius = c.radius;
        query.elementId = c.element;
        const bool found = line.net->network->FindCrossingNear(query);
        ASSERT_EQ(found, c.expected >= 0);
        if (found) {
            EXPECT_EQ(query.address, line.net->AddressOfNode(0, c.expected));
            EXPECT_EQ(query.address.reserved, c.element);
            EXPECT_EQ(query.output, line.positions[c.expected]);
        } else {
            EXPECT_EQ(query.address.page, 0xFFFF);
        }
    }
    CrossingQuery exact;
    exact.input = line.positions[1];
    exact.radius = 10.0f;
    exact.elementId = 100;
    EXPECT_TRUE(line.net->network->FindCrossingNear(exact));
    EXPECT_EQ(exact.address, line.net->AddressOfNode(0, 1));
    exact.level = 1;
    EXPECT_FALSE(line.net->network->FindCrossingNear(exact));
}

TEST(FindCrossingNear, EqualDistancesKeepTheFirstInIterationOrder) {
    LineWorld line = MakeLine({-1000.5, 1000.5});
    ASSERT_TRUE(line.net->isLoaded);
    CrossingQuery query;
    query.input = {(line.positions[0].x + line.positions[1].x) / 2.0f, line.positions[0].y};
    query.radius = 2000.0f;
    ASSERT_EQ(static_cast<int>(GeoDistance(query.input, line.positions[0])),
              static_cast<int>(GeoDistance(query.input, line.positions[1])));
    NetworkCrossingPtr first =
        line.net->network->CreateCrossingIterator(GeoRectAround(query.input, 1500.0), 0);
    ASSERT_TRUE(first && first->IsValid());
    ASSERT_TRUE(line.net->network->FindCrossingNear(query));
    EXPECT_EQ(query.address, first->GetAddress());
}

TEST(LocateElementLink, SplitsNeighboursAsTheRestrictedCursorAllows) {
    // A star: centre 0 with arms to 1..4 (elements 200..203); turns from arm 200 into 202 are
    // prohibited at the centre.
    const GeoPoint centre{10.0f, 50.0f};
    testdata::RoadWorld world;
    world.nodes.push_back(DegreesToMapPoint(centre));
    const GeoRect around = GeoRectAround(centre, 500.0);
    const GeoPoint arms[] = {{around.minX, centre.y},
                             {around.maxX, centre.y},
                             {centre.x, around.minY},
                             {centre.x, around.maxY}};
    for (std::uint32_t i = 0; i < 4; ++i) {
        world.nodes.push_back(DegreesToMapPoint(arms[i]));
        testdata::WorldLink link;
        link.from = 0;
        link.to = i + 1;
        link.elementId = 200 + i;
        link.roadClass = static_cast<std::uint8_t>(i == 3 ? 27 : 4);
        link.lengthUnits = 100;
        world.links.push_back(link);
    }
    testdata::RoadNetworkOptions options;
    options.extras[0][0].hasTurnTable = true;
    options.extras[0][0].prohibitedTurns = {{0, 2}};
    auto net = WriteAndLoad(std::move(world), options);
    ASSERT_TRUE(net->isLoaded);

    struct Case {
        const char* name;
        bool isAddressKnown;
        GeoPoint position;
        std::uint32_t arriving;
        std::uint32_t leaving;
        bool expected;
        std::vector<std::uint32_t> allowed;
        std::vector<std::uint32_t> forbidden;
    };
    const Case cases[] = {
        {"address known", true, {0, 0}, 200, 201, true, {203}, {202}},
        {"found near the position", false, centre, 200, 203, true, {201}, {202}},
        {"other arriving link", false, centre, 201, 200, true, {202, 203}, {}},
        {"nothing within 10 m", false, {10.1f, 50.0f}, 200, 201, false, {}, {}},
        {"arriving element not at the crossing", true, {0, 0}, 999, 201, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<NeighbourLink> allowed;
        std::vector<NeighbourLink> forbidden;
        ElementLinkRequest request;
        request.position = c.position;
        if (c.isAddressKnown) {
            request.address = net->AddressOfNode(0, 0);
        }
        request.arrivingElement = c.arriving;
        request.leavingElement = c.leaving;
        request.allowed = &allowed;
        request.forbidden = &forbidden;
        ASSERT_EQ(net->network->LocateElementLink(request, 1), c.expected);
        if (!c.expected) {
            continue;
        }
        EXPECT_EQ(request.address, net->AddressOfNode(0, 0));
        EXPECT_EQ(request.leavingTarget, net->AddressOfNode(0, c.leaving - 200 + 1));
        const auto ids = [](const std::vector<NeighbourLink>& links) {
            std::vector<std::uint32_t> out;
            for (const NeighbourLink& link : links) {
                out.push_back(link.elementId);
            }
            return out;
        };
        EXPECT_EQ(ids(allowed), c.allowed);
        EXPECT_EQ(ids(forbidden), c.forbidden);
        for (const NeighbourLink& link : allowed) {
            EXPECT_EQ(link.position, net->writer->GetWorld().Position(0));
            EXPECT_EQ(link.classWord,
                      link.elementId == 203 ? (3u << 29) | 3u : (4u << 29)); // 27 = 0b11011
        }
    }
}

TEST(NeighbourClassWord, PacksClassAndExtendedCodes) {
    struct Case {
        std::uint32_t roadClass;
        std::uint32_t word;
    };
    const Case cases[] = {
        {0, 0},
        {7, 7u << 29},
        {8, 1},
        {16, 2},
        {31, (7u << 29) | 3u},
        {4 + 32, 4u << 29},
        {4 + 128, (4u << 29) | (1u << 4)},
        {4 + 256, (4u << 29) | (1u << 6)},
        {4 + 512, (4u << 29) | (1u << 7)},
        {4 + 1024, (4u << 29) | (1u << 8)},
        {4 + 64, 4u << 29},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NeighbourClassWord(c.roadClass), c.word) << c.roadClass;
    }
}

} // namespace
