#include "basiccomp/retrievalengine/code/arealistfile.h"
#include "basiccomp/retrievalengine/code/areatree.h"
#include "testdata/areatreewriter.h"
#include "testdata/memoryblockfile.h"
#include "testdata/memorybytefile.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using testdata::AreaTreeFault;
using testdata::AreaTreeWriter;

// Country 7 (level 10) with a region and two cities; the region has a district.
AreaTreeWriter Hierarchy() {
    AreaTreeWriter writer;
    const std::int32_t country = writer.Add({"7", 10, -1, 700, {-2.0f, 40.0f, 3.0f, 50.0f}});
    const std::int32_t region = writer.Add({"Nord", 8, country, 800, {0.0f, 45.0f, 3.0f, 50.0f}});
    writer.Add({"Ahrweiler", 4, region, 401, {1.0f, 46.0f, 2.0f, 47.0f}});
    writer.Add({"Bonn", 4, country, 402, {-1.0f, 41.0f, 0.0f, 42.0f}});
    writer.Add({"Altstadt", 2, region + 1, 201, {1.5f, 46.5f, 1.6f, 46.6f}});
    return writer;
}

AreaTreeCursor CursorOver(const std::vector<std::uint8_t>& bytes) {
    return AreaTreeCursor(testdata::MakeMemoryBlockFile(bytes, AreaTreeCursor::kBlockSize,
                                                        AreaTreeCursor::kBlockSize));
}

TEST(AreaTree, WalksUpToTheLevelAndStopsOnEveryBrokenChain) {
    const AreaTreeWriter writer = Hierarchy();
    const std::uint32_t country = writer.GetId(0);
    const std::uint32_t region = writer.GetId(1);
    const std::uint32_t district = writer.GetId(4);
    const struct {
        AreaTreeFault fault;
        std::uint32_t start;
        std::uint32_t level;
        std::int32_t expected;
    } cases[] = {
        {AreaTreeFault::None, country, 10, static_cast<std::int32_t>(country)},
        {AreaTreeFault::None, country, 11, -1}, // no parent above the country
        {AreaTreeFault::None, region, 4, -1},   // below the area's own level
        {AreaTreeFault::None, district, 8, static_cast<std::int32_t>(region)},
        {AreaTreeFault::None, district, 10, static_cast<std::int32_t>(country)},
        {AreaTreeFault::None, district, 9, -1}, // passes 8, then meets 10
        {AreaTreeFault::None, 0, 0, -1},        // the nameless node has no id
        {AreaTreeFault::None, 0xFFFFFFFF, 0, -1},
        {AreaTreeFault::None, country + 3, 10, -1}, // inside a node
        {AreaTreeFault::ParentCycle, district, 11, -1},
        {AreaTreeFault::NoNameTerminator, district, 10, -1},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        AreaTreeCursor cursor = CursorOver(writer.Build(c.fault));
        cursor.Seek(c.start);
        EXPECT_EQ(cursor.WalkUpTo(c.level), c.expected);
    }
}

TEST(AreaTree, ReadsNodesAndWalksThemAcrossBlocks) {
    AreaTreeWriter writer = Hierarchy();
    // Enough long-named towns to spill into further blocks.
    for (int i = 0; i < 60; ++i) {
        writer.Add({std::string(200, static_cast<char>('a' + i % 26)),
                    3,
                    1,
                    static_cast<std::uint32_t>(1000 + i),
                    {}});
    }
    const struct {
        AreaTreeFault fault;
        std::size_t nodesWalked; // after the nameless node
        bool lastValid;
    } cases[] = {
        {AreaTreeFault::None, 65, true},
        {AreaTreeFault::NodeCrossesBlock, 64, false},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        const std::vector<std::uint8_t> bytes = writer.Build(c.fault);
        ASSERT_GE(bytes.size(), 2u * AreaTreeCursor::kBlockSize);
        AreaTreeCursor cursor = CursorOver(bytes);
        cursor.Next(); // from no position to the nameless node
        ASSERT_TRUE(cursor.IsValid());
        EXPECT_EQ(cursor.GetId(), -1);
        std::vector<std::uint32_t> elements;
        for (cursor.Next(); cursor.IsValid(); cursor.Next()) {
            EXPECT_EQ(static_cast<std::uint32_t>(cursor.GetId()),
                      writer.GetId(static_cast<std::int32_t>(elements.size())));
            elements.push_back(cursor.GetElementId());
        }
        EXPECT_EQ(elements.size(), c.nodesWalked);
        cursor.Seek(writer.GetId(64));
        EXPECT_EQ(cursor.IsValid(), c.lastValid);
    }

    AreaTreeCursor cursor = CursorOver(writer.Build());
    cursor.Seek(writer.GetId(1));
    EXPECT_EQ(cursor.GetLevel(), 8u);
    EXPECT_EQ(cursor.GetParent(), writer.GetId(0));
    EXPECT_EQ(cursor.GetElementId(), 800u);
    EXPECT_EQ(cursor.GetName(), "Nord");
    const GeoRect rect = cursor.GetRect();
    EXPECT_EQ(rect.minX, 0.0f);
    EXPECT_EQ(rect.maxY, 50.0f);
    std::vector<std::uint32_t> expected{writer.GetId(2)};
    for (int i = 0; i < 60; ++i) {
        expected.push_back(writer.GetId(5 + i));
    }
    EXPECT_EQ(cursor.GetChildren(), expected);
    cursor.Seek(writer.GetId(3));
    EXPECT_TRUE(cursor.GetChildren().empty());
}

TEST(AreaTree, IndexOpensTheTreeFileOfAFolder) {
    const testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\maps\\a\\EAreaI.tre", Hierarchy().Build()));
    BlockCachePtr cache = BlockCache::Create(64);
    AreaTreeIndex index(cache);
    const struct {
        const char16_t* folder;
        bool opens;
    } cases[] = {{u"\\maps\\a", true}, {u"\\maps\\b", false}, {u"\\maps\\a", true}};
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        EXPECT_EQ(index.Open(c.folder), c.opens);
        EXPECT_EQ(index.IsOpen(), c.opens);
        EXPECT_EQ(index.GetNode(Hierarchy().GetId(3)).GetName(), c.opens ? "Bonn" : "");
        EXPECT_EQ(index.WalkToLevel(Hierarchy().GetId(3), 10),
                  c.opens ? static_cast<std::int32_t>(Hierarchy().GetId(0)) : -1);
    }
    index.Close();
    EXPECT_FALSE(index.IsOpen());
    EXPECT_EQ(cache->GetFileCount(), 0u);
}

TEST(AreaListFile, LoadsRecordsAndRefusesCutOnes) {
    using testdata::AreaListFault;
    const std::vector<testdata::AreaListEntry> entries{{5, {6, 7}}, {6, {}}, {5, {9}}, {7, {8}}};
    const AreaListMap whole{{5, {6, 7}}, {6, {}}, {7, {8}}};
    const AreaListMap cut{{5, {6, 7}}, {6, {}}};
    const struct {
        std::vector<std::uint8_t> bytes;
        bool loads;
        AreaListMap map;
    } cases[] = {
        {testdata::WriteAreaList(entries), true, whole}, // a repeated key keeps its first list
        {{}, true, {}},
        {testdata::WriteAreaList(entries, AreaListFault::IdsCut), false, cut},
        {testdata::WriteAreaList(entries, AreaListFault::CountPastEnd), false, cut},
        {{1, 0, 0}, false, {}},
        {{1, 0, 0, 0, 0, 0, 0}, false, {}},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(row++);
        testdata::MemoryByteFile file(c.bytes);
        AreaListMap map{{99, {1}}};
        EXPECT_EQ(AreaListFile::Load(file, map), c.loads);
        EXPECT_EQ(map, c.map);
    }
    AreaListMap map{{99, {1}}};
    EXPECT_FALSE(AreaListFile::LoadPlain(u"\\no\\EAreaP.fsr", map));
    EXPECT_TRUE(map.empty());
}

} // namespace
