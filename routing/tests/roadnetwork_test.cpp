#include "routing/roadnetwork.h"
#include "routing/tests/networkfixture.h"
#include "testdata/tempdir.h"
#include "testdata/worlddescription.h"

#include <gtest/gtest.h>

#include <bit>
#include <optional>
#include <string>

namespace {

using routingtest::SetFreeMemory;
using routingtest::WriteAndLoad;
using routingtest::WrittenNetwork;

bool SameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// A 3-level grid with one-way links and links of the extended class 293.
testdata::RoadWorld TestWorld(std::uint32_t size, std::uint32_t levels) {
    testdata::RoadWorld world =
        testdata::RoadWorld::Grid(size, size, 700, {1000000, 6000000}, levels);
    for (std::size_t i = 0; i < world.links.size(); ++i) {
        if (i % 11 == 0) {
            world.links[i].roadClass = 5;
            world.links[i].extendedBit = true;
            world.links[i].extendedCode = 3;
        }
        world.links[i].isOneWay = i % 5 == 0;
    }
    return world;
}

// The code a link of the world reads as, with the additional attributes on.
std::uint32_t ExpectedClass(const testdata::WorldLink& link) {
    std::uint32_t code = link.roadClass + (link.extendedBit ? 32u : 0u);
    return link.extendedCode >= 1 && link.extendedCode <= 5 ? code + (32u << link.extendedCode)
                                                            : code;
}

// The links of crossing id on a level against the world and the layout.
void ExpectLinksEqualWorld(const WrittenNetwork& net, std::uint32_t level, std::uint32_t id,
                           const NetworkCrossing& crossing) {
    const testdata::RoadWorld& world = net.writer->GetWorld();
    const auto& layout = net.Layout(level);
    ASSERT_EQ(crossing.GetLinkCount(), layout.linksOf[id].size());
    LinkCursorPtr cursor = net.network->CreateCursor(crossing, 0, 0);
    for (const auto& [linkIndex, isFrom] : layout.linksOf[id]) {
        ASSERT_TRUE(cursor->IsValid());
        const testdata::WorldLink& link = world.links[linkIndex];
        const std::uint32_t other = isFrom ? link.to : link.from;
        EXPECT_EQ(cursor->GetTarget(), net.AddressOfNode(level, other));
        EXPECT_EQ(cursor->GetTargetId(), layout.crossingOfNode.at(other));
        EXPECT_EQ(cursor->GetLength(), link.lengthUnits * 5);
        EXPECT_EQ(cursor->GetRoadClass(), ExpectedClass(link));
        EXPECT_EQ(cursor->GetElementId(), link.elementId);
        EXPECT_EQ(cursor->GetDirectionCode(), link.isOneWay ? (isFrom ? 1u : 3u) : 2u);
        const auto& back = layout.linksOf[layout.crossingOfNode.at(other)];
        EXPECT_EQ(back[cursor->GetReverseIndex()], std::pair(linkIndex, !isFrom));
        cursor->Next();
    }
    EXPECT_FALSE(cursor->IsValid());
}

// Every crossing and link of every level against the world and the layout.
void ExpectNetworkEqualsWorld(const WrittenNetwork& net) {
    const testdata::RoadWorld& world = net.writer->GetWorld();
    const std::uint32_t maps = net.writer->GetOptions().maps;
    ASSERT_EQ(net.network->GetMapCount(), maps);
    for (std::uint32_t level = 0; level < maps; ++level) {
        SCOPED_TRACE(level);
        const auto& layout = net.Layout(level);
        const auto count = static_cast<std::uint32_t>(layout.nodeOfCrossing.size());
        const auto level16 = static_cast<std::uint16_t>(level);
        ASSERT_EQ(net.network->GetCrossingCount(level16), count);
        EXPECT_EQ(net.network->GetMapRect(level16), layout.rect);
        // Page order visits every crossing once, by ascending id.
        NetworkCrossingPtr walk =
            net.network->CreateCrossing(net.AddressOfNode(level, layout.nodeOfCrossing[0]));
        for (std::uint32_t id = 0; id < count; ++id, walk->Next()) {
            ASSERT_TRUE(walk->IsValid()) << id;
            ASSERT_EQ(walk->GetId(), id);
            const std::uint32_t node = layout.nodeOfCrossing[id];
            const GeoPoint p = walk->Position();
            EXPECT_TRUE(SameBits(p.x, world.Position(node).x) &&
                        SameBits(p.y, world.Position(node).y))
                << id;
            EXPECT_EQ(walk->GetCrossingValue(), node);
            ExpectLinksEqualWorld(net, level, id, *walk);
            const NetworkCrossingPtr upper = net.network->GetUpperCrossing(*walk);
            const bool hasUpper =
                level + 1 < maps && net.Layout(level + 1).crossingOfNode.contains(node);
            ASSERT_EQ(upper != nullptr, hasUpper);
            if (upper) {
                EXPECT_EQ(upper->GetId(), net.Layout(level + 1).crossingOfNode.at(node));
                EXPECT_EQ(upper->GetLevel(), level + 1);
            }
        }
        EXPECT_FALSE(walk->IsValid());
    }
}

TEST(RoadNetworkLoad, EveryStoreReadsTheWorldAsWritten) {
    const struct {
        const char* name;
        std::uint32_t maps;
        bool isArchived;
        std::vector<bool> separated;
        std::uint32_t size;
        SeparatedPageStore::Kind level0;
    } cases[] = {
        {"one level mapped", 1, false, {false, false, false}, 30, SeparatedPageStore::Kind::Mapped},
        {"two levels mapped, separated",
         2,
         false,
         {true, true, false},
         30,
         SeparatedPageStore::Kind::Mapped},
        {"three levels whole",
         3,
         true,
         {false, false, false},
         30,
         SeparatedPageStore::Kind::WholeMap},
        {"three levels whole, separated",
         3,
         true,
         {true, false, true},
         30,
         SeparatedPageStore::Kind::WholeMap},
        {"cached pages in a small budget",
         3,
         true,
         {false, true, false},
         100,
         SeparatedPageStore::Kind::Separated},
        {"cached separated pages",
         2,
         true,
         {true, false, false},
         100,
         SeparatedPageStore::Kind::Separated},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetFreeMemory(2 << 20);
        testdata::RoadNetworkOptions options;
        options.maps = c.maps;
        options.isArchived = c.isArchived;
        options.separated = c.separated;
        options.hasAdditionalAttributes = true;
        const auto net = WriteAndLoad(TestWorld(c.size, 3), options);
        ASSERT_TRUE(net->isLoaded);
        EXPECT_EQ(GetCacheBudget(), 1536u);
        EXPECT_EQ(net->network->GetStore(0)->GetKind(), c.level0);
        ExpectNetworkEqualsWorld(*net);
    }
    platform::OverrideMemoryStatus(std::nullopt);
}

TEST(RoadNetworkLoad, ReadsTheDemoWorld) {
    const std::optional<std::string> text = testdata::ReadHostFile(NAV_DEMO_WORLD);
    ASSERT_TRUE(text) << testdata::CannotOpen(NAV_DEMO_WORLD);
    const auto parsed = testdata::ParseWorldDescription(*text);
    ASSERT_TRUE(std::holds_alternative<testdata::WorldDescription>(parsed));
    const auto& description = std::get<testdata::WorldDescription>(parsed);
    testdata::MapSetWriter mapSet;
    const auto world = testdata::RoadWorld::FromSketch(description.sketch, mapSet);
    ASSERT_TRUE(world);
    for (const bool isArchived : {false, true}) {
        testdata::RoadNetworkOptions options = description.options;
        options.stem = "Net";
        options.isArchived = isArchived;
        const auto net = WriteAndLoad(*world, options);
        ASSERT_TRUE(net->isLoaded);
        ExpectNetworkEqualsWorld(*net);
    }
}

TEST(RoadNetworkLoad, RefusesBrokenDescriptionsAndFiles) {
    using enum ColumnType;
    const struct {
        const char* name;
        void (*change)(testdata::RoadNetworkOptions&);
        bool isLoaded;
    } cases[] = {
        {"sound", [](testdata::RoadNetworkOptions&) {}, true},
        {"no Format", [](testdata::RoadNetworkOptions& o) { o.faults.rdFormat = -1; }, false},
        {"Format 1", [](testdata::RoadNetworkOptions& o) { o.faults.rdFormat = 1; }, false},
        {"Maps 4", [](testdata::RoadNetworkOptions& o) { o.faults.rdMaps = 4; }, false},
        {"Maps 0", [](testdata::RoadNetworkOptions& o) { o.faults.rdMaps = 0; }, false},
        {"O2S of kind 0 and S2O",
         [](testdata::RoadNetworkOptions& o) {
             o.o2sColumns = {UInt32, UInt32, Float32, Float32, UInt32, Float32, UInt32};
             o.s2oColumns = {UInt32, UInt32};
         },
         true},
        {"O2S of kind 1, archived",
         [](testdata::RoadNetworkOptions& o) {
             o.o2sColumns = {UInt32, UInt32, UInt32};
             o.isArchived = true;
         },
         true},
        {"O2S (u32, u32)",
         [](testdata::RoadNetworkOptions& o) {
             o.o2sColumns = {UInt32, UInt32};
         },
         false},
        {"S2O (u32, u32, u32)",
         [](testdata::RoadNetworkOptions& o) {
             o.s2oColumns = {UInt32, UInt32, UInt32};
         },
         false},
        {"page size 8", [](testdata::RoadNetworkOptions& o) { o.faults.rdPageSize = 8; }, false},
        {"page size 0", [](testdata::RoadNetworkOptions& o) { o.faults.rdPageSize = 0; }, false},
        {"page size 1022", [](testdata::RoadNetworkOptions& o) { o.faults.rdPageSize = 1022; },
         false},
        {"page size 65540", [](testdata::RoadNetworkOptions& o) { o.faults.rdPageSize = 65540; },
         false},
        {"end address past the file, mapped",
         [](testdata::RoadNetworkOptions& o) { o.faults.rdLastPage = 40; }, false},
        {"end address past the file, whole",
         [](testdata::RoadNetworkOptions& o) {
             o.faults.rdLastPage = 40;
             o.isArchived = true;
         },
         false},
        {"last offset past the page",
         [](testdata::RoadNetworkOptions& o) { o.faults.rdLastOffset = 1028; }, false},
        {"crossings past the position file",
         [](testdata::RoadNetworkOptions& o) {
             o.separated = {true, false, false};
             o.faults.rdCrossings = 5000;
         },
         false},
        {"crossings past the page file",
         [](testdata::RoadNetworkOptions& o) { o.faults.rdCrossings = 0x7FFFFFFF; }, false},
        {"no position file, no map data",
         [](testdata::RoadNetworkOptions& o) {
             o.separated = {true, false, false};
             o.faults.withoutPositionFile = true;
         },
         false},
        {"short index", [](testdata::RoadNetworkOptions& o) { o.faults.shortIndex = true; }, true},
        {"Sfs 1 with loose files", [](testdata::RoadNetworkOptions& o) { o.sfs = 1; }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RoadNetworkOptions options;
        c.change(options);
        const auto net = WriteAndLoad(TestWorld(20, 1), options);
        ASSERT_TRUE(net->network);
        EXPECT_EQ(net->isLoaded, c.isLoaded);
        if (c.isLoaded) {
            EXPECT_EQ(net->network->GetStore(0)->GetPageTree().has_value(),
                      !options.faults.shortIndex);
            EXPECT_EQ(net->network->GetO2SKind(), options.o2sColumns.size() == 7   ? 0u
                                                  : options.o2sColumns.size() == 3 ? 1u
                                                                                   : 3u);
        }
    }
}

TEST(RoadNetworkLoad, LeavesAMissingDescriptionUncreated) {
    testdata::TempDeviceRoot root;
    RoadNetwork network;
    EXPECT_FALSE(network.Load(u"\\Net\\Missing.rd", nullptr));
    EXPECT_FALSE(root.Exists(u"\\Net\\Missing.rd"));
    EXPECT_EQ(network.GetMapCount(), 0);
    EXPECT_FALSE(network.CreateCrossing({0, 0, 0xFFFFFFFF, 0}));
}

TEST(CacheBudget, TakesAShareOfFreeMemoryOncePerProcess) {
    const struct {
        DWORD freeBytes;
        std::optional<int> percent;
        std::uint32_t budget;
    } cases[] = {{8 << 20, std::nullopt, 1638},
                 {2 << 20, std::nullopt, 1536},
                 {40 << 20, 20, 4096},
                 {40 << 20, 10, 4096},
                 {20 << 20, 10, 2048}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.freeBytes);
        SetFreeMemory(c.freeBytes);
        testdata::RoadNetworkOptions options;
        options.cacheMaxPercent = c.percent;
        EXPECT_TRUE(WriteAndLoad(TestWorld(5, 1), options)->isLoaded);
        EXPECT_EQ(GetCacheBudget(), c.budget);
        // A second network keeps the budget, whatever memory is free now.
        MEMORYSTATUS status{};
        status.dwAvailPhys = status.dwAvailVirtual = 100 << 20;
        platform::OverrideMemoryStatus(status);
        EXPECT_TRUE(WriteAndLoad(TestWorld(5, 1), options)->isLoaded);
        EXPECT_EQ(GetCacheBudget(), c.budget);
    }
    platform::OverrideMemoryStatus(std::nullopt);
}

TEST(StoreChoice, HoldsAMapWholeWhenItsShareHoldsItsPages) {
    using Kind = SeparatedPageStore::Kind;
    const struct {
        int sfs;
        std::uint16_t level;
        std::uint32_t budget;
        std::uint16_t lastPage;
        std::uint32_t pageSize;
        Kind kind;
    } cases[] = {
        {1, 0, 4096, 127, 8192, Kind::WholeMap},     {1, 1, 4092, 127, 8192, Kind::Separated},
        {1, 2, 4096, 255, 8192, Kind::WholeMap},     {1, 2, 4095, 255, 8192, Kind::Separated},
        {0, 0, 1536, 65535, 65536, Kind::Mapped},    {2, 0, 4096, 0, 12, Kind::Mapped},
        {1, 0, 1536, 65535, 65536, Kind::Separated},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseStoreKind(c.sfs, c.level, c.budget, c.lastPage, c.pageSize), c.kind);
    }
    EXPECT_EQ(MapShare(2, 4096), 2048u);
    EXPECT_EQ(MapShare(1, 4096), 1024u);
    EXPECT_EQ(MapShare(0, 1537), 384u);
}

TEST(CrossingPosition, ComesFromTheMapGeometryWithoutAPositionFile) {
    testdata::RoadWorld world = TestWorld(12, 1);
    testdata::RoadNetworkOptions options;
    options.separated = {true, false, false};
    options.faults.withoutPositionFile = true;
    const auto net = WriteAndLoad(world, options, true);
    ASSERT_TRUE(net->isLoaded);
    const MapDataLinkPtr link = net->network->GetMapDataLink();
    ASSERT_TRUE(link);
    std::uint32_t unknown = 0;
    for (std::uint32_t node = 0; node < world.nodes.size(); ++node) {
        EXPECT_EQ(net->CrossingOf(0, node)->Position().x, 3.4028235e38f);
    }
    link->SetPolylineReader([&](std::uint32_t id, std::vector<GeoPoint>& points) {
        if (id == 0 || id > world.links.size()) {
            return false;
        }
        const testdata::WorldLink& l = world.links[id - 1];
        points = {world.Position(l.from), world.Position(l.to)};
        ++unknown;
        return true;
    });
    for (std::uint32_t node = 0; node < world.nodes.size(); ++node) {
        EXPECT_EQ(net->CrossingOf(0, node)->Position(), world.Position(node)) << node;
    }
    EXPECT_GT(unknown, world.nodes.size());
}

} // namespace
