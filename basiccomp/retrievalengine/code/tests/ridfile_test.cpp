#include "basiccomp/retrievalengine/code/ridfile.h"
#include "mapsetfixture.h"
#include "tablefiles/namefile.h"
#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using testdata::ElementDescription;
using testdata::MapSetFault;
using testdata::MapSetWriter;
using testdata::RidHeaderFields;

ElementDescription Point(std::int32_t x, std::int32_t y, std::uint16_t typeCode = 1) {
    ElementDescription element;
    element.typeLetter = 't';
    element.bounds = {x, y, x + 2, y + 2};
    element.typeCode = typeCode;
    return element;
}

// A grid of n x n points, 100 units apart.
void AddGrid(MapSetWriter& writer, std::int32_t n) {
    for (std::int32_t i = 0; i < n * n; ++i) {
        ASSERT_TRUE(writer.Add(Point(100 * (i % n), 100 * (i / n))));
    }
}

TEST(RidFilePath, AppendsRidUnlessTheExtensionIsExactlyRid) {
    const struct {
        std::u16string path, result;
    } cases[] = {
        {u"\\maps\\Europe.RID", u"\\maps\\Europe.RID"},
        {u"\\maps\\Europe.rid", u"\\maps\\Europe.rid"},
        {u"\\maps\\Europe", u"\\maps\\Europe.rid"},
        {u"\\maps\\Europe.Rid", u"\\maps\\Europe.Rid.rid"},
        {u"\\maps\\Eu.rope", u"\\maps\\Eu.rope.rid"},
        {u"", u".rid"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RidFilePath(c.path), c.result);
    }
}

TEST(RidFileOpen, RefusesBrokenHeadersAndWritesNothing) {
    const auto with = [](auto change) {
        RidHeaderFields fields;
        fields.mapKind = 2;
        fields.mapDataValue = 15;
        change(fields);
        return fields;
    };
    const struct {
        const char* what;
        RidHeaderFields header;
        MapSetFault fault;
        std::uint32_t version;
        bool opens;
    } cases[] = {
        {"sound, version 3", with([](auto&) {}), MapSetFault::None, 3, true},
        {"sound, version 2", with([](auto&) {}), MapSetFault::None, 2, true},
        {"format word 2", with([](auto& f) { f.formatWord = 2; }), MapSetFault::None, 3, true},
        {"version 4", with([](auto& f) { f.version = 4; }), MapSetFault::None, 3, false},
        {"block size 4096", with([](auto& f) { f.blockSize = 4096; }), MapSetFault::None, 3, false},
        {"format word 1", with([](auto& f) { f.formatWord = 1; }), MapSetFault::None, 3, false},
        {"bad magic", with([](auto& f) { f.magic = 0x4C444953; }), MapSetFault::None, 3, false},
        {"count 70000", with([](auto& f) { f.blockCount = 70000; }), MapSetFault::None, 3, false},
        {"root 0x00010002", with([](auto& f) { f.root = 0x00010002; }), MapSetFault::None, 3,
         false},
        {"root at the count", with([](auto& f) { f.root = 7; }), MapSetFault::None, 3, false},
        {"file shorter than its count", with([](auto&) {}), MapSetFault::RidShorterThanHeader, 3,
         false},
    };
    testdata::TempDeviceRoot root;
    BlockCachePtr cache = BlockCache::Create(256);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MapSetWriter writer;
        AddGrid(writer, 5); // 25 points: the header, a root and 5 leaves
        writer.SetVersion(c.version).SetDepth(2).SetHeader(c.header).SetFault(c.fault);
        const auto files = writer.Build();
        ASSERT_TRUE(root.WriteFile(u"\\maps\\Europe.rid", files.rid));
        RidFile rid(cache);
        ASSERT_EQ(rid.Open(u"\\maps\\Europe"), c.opens);
        EXPECT_EQ(rid.IsOpen(), c.opens);
        if (c.opens) {
            EXPECT_EQ(rid.GetVersion(), c.version);
            EXPECT_EQ(rid.GetRoot(), writer.GetRoot());
            EXPECT_EQ(rid.GetBlockCount(), writer.GetBlockCount());
            EXPECT_EQ(rid.GetMapKind(), RidFile::kMapKindWithAddressIndex);
            EXPECT_EQ(rid.GetMapDataValue(), 15u);
        }
        EXPECT_TRUE(rid.Close());
        EXPECT_FALSE(rid.IsOpen());
        EXPECT_EQ(cache->GetFileCount(), 0u);
        const auto after = root.ReadFile(u"\\maps\\Europe.rid");
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(*after, std::string(files.rid.begin(), files.rid.end()));
    }
    RidFile missing(cache);
    EXPECT_FALSE(missing.Open(u"\\maps\\Asia"));
}

TEST(RidFileOpen, OpensMappedAndFromAnArchiveAlike) {
    testdata::TempDeviceRoot root;
    MapSetWriter writer;
    AddGrid(writer, 20);
    const auto files = writer.Build();
    testdata::ArchiveWriter archive;
    ASSERT_TRUE(archive.AddMember("Asia.rid", files.rid));
    ASSERT_TRUE(root.MakeFolder(u"\\maps"));
    ASSERT_TRUE(archive.WriteTo(root.HostPathOf(u"\\maps\\maps.sfs")));
    ASSERT_TRUE(root.WriteFile(u"\\maps\\Europe.rid", files.rid));
    ASSERT_TRUE(root.WriteFile(u"\\maps\\Europe.dat", files.dat));
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    SfsMountSet mounts;
    ASSERT_TRUE(mounts.Mount(u"\\maps\\maps.sfs"));
    // Buffers of the archive's blocks; the arena stays for the whole program.
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(1 << 20));
    }
    BlockCachePtr cache = BlockCache::Create(256);
    CachedFilePtr dat =
        cache->GetMappedFile(u"\\maps\\Europe.dat", FileCreation::OpenExisting, FileAccess::Read,
                             FileShare::Read, maprecord::kBlockSize);
    RidFile mapped(cache);
    RidFile archived(cache);
    ASSERT_TRUE(mapped.Open(u"\\maps\\Europe"));
    ASSERT_TRUE(archived.OpenArchived(u"\\maps\\Asia"));
    EXPECT_FALSE(RidFile(cache).OpenArchived(u"\\maps\\Africa"));
    std::vector<std::vector<std::uint32_t>> walks;
    for (const RidFile* rid : {&mapped, &archived}) {
        EXPECT_EQ(rid->GetBlockFile()->GetBlockCount(), writer.GetBlockCount());
        std::vector<std::uint32_t> ids;
        for (AreaElementIterator walk(rid->GetBlockFile(), rid->GetRoot(), {0, 0, 900, 900},
                                      rid->GetVersion(), dat);
             walk.IsValid(); walk.Next()) {
            ids.push_back(walk.GetElementId());
        }
        walks.push_back(ids);
    }
    EXPECT_EQ(walks[0].size(), 100u);
    EXPECT_EQ(walks[0], walks[1]);
    cache->RemoveFile(dat);
}

TEST(RidFile, RecordsReferToTheirNamesInTheNameFile) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.MakeFolder(u"\\maps"));
    MapSetWriter writer;
    const std::string names[] = {"Hauptstrasse/B 27", "", "Ring", "A 8/E 52/Salzburger Autobahn"};
    for (std::int32_t i = 0; i < 40; ++i) {
        ElementDescription element = Point(i * 10, 0);
        element.name = names[i % 4];
        ASSERT_TRUE(writer.Add(element));
    }
    ASSERT_TRUE(writer.WriteTo(root.HostPathOf(u"\\maps\\Europe")));
    BlockCachePtr cache = BlockCache::Create(256);
    RidFile rid(cache);
    NameFile nameFile(cache, nullptr);
    ASSERT_TRUE(rid.Open(u"\\maps\\Europe"));
    ASSERT_TRUE(nameFile.Open(u"\\maps\\Europe"));
    for (std::size_t i = 0; i < writer.GetElementIds().size(); ++i) {
        SCOPED_TRACE(i);
        ElementIterator found;
        ASSERT_TRUE(rid.GetElementStore().Find(found, writer.GetElementIds()[i]));
        std::u16string text = u"unchanged";
        const bool hasName = !names[i % 4].empty();
        EXPECT_EQ(nameFile.GetRawName(maprecord::RecordNameReference(found.GetRecord()), text),
                  hasName);
        EXPECT_EQ(text, hasName ? std::u16string(names[i % 4].begin(), names[i % 4].end())
                                : u"unchanged");
    }
    nameFile.Close();
}

TEST(RidFile, ReadsTheExtentAsTheUnionOfTheRootEntries) {
    const struct {
        const char* what;
        std::int32_t gridSize;
        std::uint32_t depth;
        std::optional<MapRect> extent;
    } cases[] = {
        {"three levels", 12, 3, MapRect{0, 0, 1102, 1102}},
        {"leaf root", 3, 1, MapRect{0, 0, 202, 202}},
        {"empty map", 0, 3, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryMapSet map;
        AddGrid(map.writer, c.gridSize);
        map.writer.SetDepth(c.depth);
        ASSERT_TRUE(map.Open());
        MapRect extent{1, 2, 3, 4};
        EXPECT_EQ(map.ridFile.ReadExtent(extent), c.extent.has_value());
        EXPECT_EQ(extent, c.extent.value_or(MapRect{1, 2, 3, 4}));
    }
    RidFile closed{BlockCachePtr()};
    MapRect extent;
    EXPECT_FALSE(closed.ReadExtent(extent));
}

TEST(ElementStore, FindsEveryIdAndRefusesIdsWithoutARecord) {
    for (const std::uint32_t version : {2u, 3u}) {
        SCOPED_TRACE(version);
        MemoryMapSet map;
        AddGrid(map.writer, 6); // 36 points in 6 leaves of 6 (blocks 2 to 7) under root 1
        map.writer.SetVersion(version).SetDepth(2);
        ASSERT_TRUE(map.Open());
        const ElementStore store = map.ridFile.GetElementStore();
        const auto& ids = map.writer.GetElementIds();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ElementIterator found;
            ASSERT_TRUE(store.Find(found, ids[i]));
            EXPECT_EQ(found.GetElementId(), ids[i]);
            EXPECT_EQ(maprecord::RecordBounds(found.GetRecord()),
                      MapSetWriter::RecordBounds(map.writer.GetElements()[i]));
        }
        // Slot 5 of block 3.
        const std::uint32_t id = version == 3 ? 0x305 : 0x1805;
        ElementIterator found;
        ASSERT_TRUE(store.Find(found, id));
        EXPECT_EQ(found.GetElementId(), id);

        const std::uint32_t blockUnit = version == 3 ? 256 : 2048;
        const std::uint32_t badIds[] = {
            0,
            0xFFFFFFFF,
            1,                                     // the header block
            blockUnit * 1,                         // the root, an inner block
            blockUnit * 3 + 6,                     // past the leaf's records
            blockUnit * 3 + (blockUnit - 1),       // the last slot the id can name
            blockUnit * map.writer.GetBlockCount() // beyond the file
        };
        for (const std::uint32_t bad : badIds) {
            SCOPED_TRACE(bad);
            ElementIterator none;
            EXPECT_FALSE(store.Find(none, bad));
            EXPECT_FALSE(none.IsValid());
            EXPECT_EQ(none.GetElementId(), kNoElementId);
        }
    }
}

} // namespace
