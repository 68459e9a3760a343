#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "mapsetfixture.h"
#include "testdata/tempdir.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

using testdata::ElementDescription;
using testdata::MapSetFault;
using testdata::MapSetWriter;

constexpr char kLetters[] = {'t', 'l', 'm', 'n', 'o', 'p', 'r', 'y', 'z'};

// Elements of every type letter spread over a 100000-unit square, with type codes 1000 to 1029
// and a few negative ones (as signed 16 bits).
void AddElements(MapSetWriter& writer, int count) {
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::int32_t range) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::int32_t>((seed >> 8) % static_cast<std::uint32_t>(range));
    };
    for (int i = 0; i < count; ++i) {
        ElementDescription element;
        element.typeLetter = kLetters[i % 9];
        const std::int32_t x = next(100000);
        const std::int32_t y = next(100000);
        element.bounds = {x, y, x + next(3000), y + next(3000)};
        if (element.typeLetter == 'p' || element.typeLetter == 'y') {
            element.points = {{x, y}, {x + next(2000), y + 500}, {x + 100, y + next(2000)}};
        } else if (element.typeLetter == 'r' || element.typeLetter == 'z') {
            element.points = {{0, 0}, {static_cast<std::int16_t>(next(3000)), -50}};
        }
        element.typeCode = static_cast<std::uint16_t>(i % 17 == 0 ? 0xFFFE : 1000 + i % 30);
        element.name = "Street " + std::to_string(i) + "/Alt";
        ASSERT_TRUE(writer.Add(element));
    }
}

// The ids of the writer's records in tree order that the predicate keeps.
std::vector<std::uint32_t> BruteForce(const MapSetWriter& writer, MapRect query,
                                      const std::function<bool(const ElementDescription&)>& keep) {
    query.Normalize();
    std::vector<std::uint32_t> ids;
    for (const std::size_t index : writer.GetTreeOrder()) {
        const ElementDescription& element = writer.GetElements()[index];
        if (MapRect::Intersects(query, MapSetWriter::RecordBounds(element)) && keep(element)) {
            ids.push_back(writer.GetElementIds()[index]);
        }
    }
    return ids;
}

template <class Walk> std::vector<std::uint32_t> Collect(Walk walk, bool& hasAllGeometry) {
    std::vector<std::uint32_t> ids;
    for (; walk.IsValid() && ids.size() < 100000; walk.Next()) {
        ids.push_back(walk.GetElementId());
        hasAllGeometry =
            hasAllGeometry && walk.GetGeometry() &&
            walk.GetGeometry()->GetBounds() == maprecord::RecordBounds(walk.GetRecord());
    }
    return ids;
}

TEST(ElementWalks, YieldExactlyTheRecordsOfABruteForceScanInTreeOrder) {
    const MapRect queries[] = {
        {0, 0, 200000, 200000},                                     // the whole map
        {20000, 30000, 45000, 60000}, {45000, 60000, 20000, 30000}, // both corners swapped
        {20000, 60000, 45000, 30000},                               // y1 > y2
        {-5000, -5000, -1, -1},       // beside the map: every subtree pruned
        {70000, 10000, 70000, 90000}, // a line
    };
    const struct {
        std::uint32_t version, depth, emptyLeaves;
    } layouts[] = {{3, 3, 0}, {2, 3, 2}, {3, 4, 1}, {2, 5, 0}};
    for (const auto& layout : layouts) {
        MemoryMapSet map;
        AddElements(map.writer, 400);
        map.writer.SetVersion(layout.version)
            .SetDepth(layout.depth)
            .SetEmptyLeaves(layout.emptyLeaves);
        ASSERT_TRUE(map.Open());
        ASSERT_GE(map.writer.GetLevels(), 3u);
        const CachedFilePtr& rid = map.rid;
        const std::uint32_t root = map.ridFile.GetRoot();
        const std::uint32_t version = map.ridFile.GetVersion();
        // Rectangles that touch one element's bounds at an edge and at a corner only.
        const MapRect touched = MapSetWriter::RecordBounds(map.writer.GetElements()[7]);
        std::vector<MapRect> all(std::begin(queries), std::end(queries));
        all.push_back({touched.x2, touched.y1, touched.x2 + 10, touched.y2});
        all.push_back({touched.x1 - 10, touched.y1 - 10, touched.x1, touched.y1});
        for (const MapRect& query : all) {
            SCOPED_TRACE(testing::Message()
                         << "version " << layout.version << " depth " << layout.depth << " query "
                         << query.x1 << "," << query.y1 << "," << query.x2 << "," << query.y2);
            bool hasAllGeometry = true;
            const auto area =
                Collect(AreaElementIterator(rid, root, query, version, map.dat), hasAllGeometry);
            EXPECT_EQ(area, BruteForce(map.writer, query, [](const auto&) { return true; }));
            const auto level =
                Collect(LevelElementIterator(rid, root, query, version, map.dat, 1005, 1015),
                        hasAllGeometry);
            EXPECT_EQ(level, BruteForce(map.writer, query, [](const ElementDescription& e) {
                          return e.typeCode >= 1005 && e.typeCode < 1015;
                      }));
            SearchQuery search;
            search.rect = query;
            search.defaults.typeCodes = {1003, 0xFFFE};
            search.defaults.fromLevel = 0;
            search.defaults.toLevel = 5000;
            const auto inSet =
                Collect(QueryElementIterator(rid, root, search, version, map.dat), hasAllGeometry);
            EXPECT_EQ(inSet, BruteForce(map.writer, query, [](const ElementDescription& e) {
                          return e.typeCode == 1003 || e.typeCode == 0xFFFE;
                      }));
            search.defaults.typeCodes.clear();
            search.defaults.fromLevel = -1;
            EXPECT_EQ(
                Collect(QueryElementIterator(rid, root, search, version, map.dat), hasAllGeometry),
                area);
            search.defaults.fromLevel = -3;
            search.defaults.toLevel = 1002;
            EXPECT_EQ(
                Collect(QueryElementIterator(rid, root, search, version, map.dat), hasAllGeometry),
                BruteForce(map.writer, query, [](const ElementDescription& e) {
                    return e.typeCode == 0xFFFE || e.typeCode == 1000 || e.typeCode == 1001;
                }));
            const auto crawled =
                Collect(CrawlAreaIterator(rid, root,
                                          {query, 0,
                                           [](const std::uint8_t* record) {
                                               return maprecord::RecordTypeCode(record) < 1010;
                                           }},
                                          version, map.dat),
                        hasAllGeometry);
            EXPECT_EQ(crawled, BruteForce(map.writer, query, [](const ElementDescription& e) {
                          return e.typeCode < 1010;
                      }));
            EXPECT_EQ(Collect(CrawlAreaIterator(rid, root, {query, 0, {}}, version, map.dat),
                              hasAllGeometry),
                      area);
            EXPECT_TRUE(Collect(CrawlAreaIterator(rid, root, {query, 1, {}}, version, map.dat),
                                hasAllGeometry)
                            .empty());
            EXPECT_TRUE(hasAllGeometry);
        }
        EXPECT_EQ(map.AreaIds(all[1]), map.AreaIds(all[2]));
    }
}

TEST(ElementWalks, EndOnAnEmptyTree) {
    MemoryMapSet map;
    ASSERT_TRUE(map.Open());
    EXPECT_EQ(map.ridFile.GetRoot(), 0u);
    AreaElementIterator walk(map.rid, 0, {0, 0, 10, 10}, 3, map.dat);
    EXPECT_FALSE(walk.IsValid());
    EXPECT_FALSE(walk.GetGeometry());
    EXPECT_EQ(walk.GetElementId(), kNoElementId);
}

TEST(ElementWalks, EndBelowSixtyFourLevels) {
    const struct {
        std::uint32_t depth;
        std::size_t found;
    } cases[] = {{64, 20}, {65, 0}, {80, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        MemoryMapSet map;
        AddElements(map.writer, 20);
        map.writer.SetDepth(c.depth);
        ASSERT_TRUE(map.Open());
        ASSERT_EQ(map.writer.GetLevels(), c.depth);
        platform::DebugOutputCapture debug;
        EXPECT_EQ(map.AreaIds({0, 0, 200000, 200000}).size(), c.found);
        EXPECT_EQ(debug.Contains(u"deeper than 64 levels"), c.found == 0);
    }
}

TEST(ElementWalks, SurviveBrokenTreesWithoutChangingTheFiles) {
    const struct {
        MapSetFault fault;
        bool findsAll;   // the walk still reaches every element
        bool reportsEnd; // a debug line tells that the walk was cut short
    } cases[] = {
        {MapSetFault::LeafCountAbove255, false, false},
        {MapSetFault::InnerCountAbove409, false, false},
        {MapSetFault::ChildZero, false, false},
        {MapSetFault::ChildBeyondCount, false, false},
        {MapSetFault::ChildIsAncestor, false, true},
        {MapSetFault::SharedChildren, false, true},
        {MapSetFault::PointsPastPageEnd, true, false},
        {MapSetFault::DataPastStreamEnd, true, false},
    };
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.MakeFolder(u"\\maps"));
    BlockCachePtr cache = BlockCache::Create(512);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        MapSetWriter writer;
        AddElements(writer, 300);
        writer.SetFault(c.fault);
        ASSERT_TRUE(writer.WriteTo(root.HostPathOf(u"\\maps\\Broken")));
        const auto ridBefore = root.ReadFile(u"\\maps\\Broken.rid");
        const auto datBefore = root.ReadFile(u"\\maps\\Broken.dat");
        {
            RidFile rid(cache);
            ASSERT_TRUE(rid.Open(u"\\maps\\Broken"));
            CachedFilePtr dat =
                cache->GetMappedFile(u"\\maps\\Broken.dat", FileCreation::OpenExisting,
                                     FileAccess::Read, FileShare::Read, maprecord::kBlockSize);
            ASSERT_TRUE(dat);
            platform::DebugOutputCapture debug;
            std::size_t count = 0;
            std::size_t withGeometry = 0;
            std::set<std::uint32_t> distinct;
            const std::set<std::uint32_t> real(writer.GetElementIds().begin(),
                                               writer.GetElementIds().end());
            for (AreaElementIterator walk(rid.GetBlockFile(), rid.GetRoot(),
                                          {-1, -1, 200000, 200000}, rid.GetVersion(), dat);
                 walk.IsValid() && count < 100000; walk.Next()) {
                ++count;
                withGeometry += walk.GetGeometry() ? 1 : 0;
                EXPECT_TRUE(real.contains(walk.GetElementId()));
                distinct.insert(walk.GetElementId());
            }
            EXPECT_LT(count, 100000u); // the walk ended by itself
            EXPECT_EQ(debug.Contains(u"walk ended"), c.reportsEnd);
            EXPECT_EQ(distinct.size() == real.size(), c.findsAll);
            EXPECT_EQ(withGeometry, c.findsAll ? 299u : count);
            cache->RemoveFile(dat);
        }
        EXPECT_EQ(root.ReadFile(u"\\maps\\Broken.rid"), ridBefore);
        EXPECT_EQ(root.ReadFile(u"\\maps\\Broken.dat"), datBefore);
    }
}

} // namespace
