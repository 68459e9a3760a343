#include "basiccomp/retrievalengine/code/mapelement.h"
#include "enginefixture.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include <algorithm>
#include <set>

namespace {

using testdata::ElementDescription;
using testdata::LevelFileWriter;
using testdata::MapSetWriter;

// Five elements of type codes 2..6 with names of every shape, and a polyline.
MapSetWriter SampleWriter(std::uint32_t mapKind) {
    MapSetWriter writer;
    writer.Add(PointElement(1000, 1000, 2, "Hauptstrasse"));
    writer.Add(PointElement(2000, 1000, 3, "/Bypass", 0xFFFFFFFF));
    writer.Add(PointElement(3000, 1000, 4, "Ring/Nord/Sued"));
    writer.Add(PointElement(4000, 1000, 5, "Ring//Sued/"));
    ElementDescription line;
    line.typeLetter = 'p';
    line.points = {{500, 500}, {1500, 2500}, {5000, 1500}};
    line.typeCode = 6;
    writer.Add(line);
    testdata::RidHeaderFields header;
    header.mapKind = mapKind;
    writer.SetHeader(header);
    return writer;
}

std::vector<std::uint32_t> CursorIds(ElementCursorPtr cursor) {
    std::vector<std::uint32_t> ids;
    for (; cursor && cursor->IsValid(); cursor->Next()) {
        EXPECT_EQ(cursor->GetCurrentId(), cursor->GetElementId());
        ids.push_back(cursor->GetElementId());
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::vector<std::uint32_t> IdsOf(const MapSetWriter& writer, std::set<std::size_t> indexes) {
    std::vector<std::uint32_t> ids;
    for (const std::size_t index : indexes) {
        ids.push_back(writer.GetElementIds()[index]);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

TEST(RetrievalEngine, OpensAMapSetNamedByALevelFileLooseAndPacked) {
    for (const Packing packing : {Packing::Loose, Packing::Archived}) {
        SCOPED_TRACE(packing == Packing::Loose ? "loose" : "archived");
        EngineDevice device;
        MapSetWriter writer = SampleWriter(RidFile::kMapKindWithAddressIndex);
        ASSERT_TRUE(device.WriteMapSet(writer, u"\\maps", "Europe", packing));
        ASSERT_TRUE(LevelFileWriter()
                        .SetCrLf(true)
                        .AddIsoLine("Other.rid")
                        .AddBlankLine()
                        .AddMapLine("Europe.rid", "Europe", 3, "x")
                        .WriteTo(device.root.HostPathOf(u"\\maps\\EUROPE.LVL")));
        const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
        ASSERT_TRUE(engine->Open(u"\\maps\\EUROPE.LVL"));
        EXPECT_TRUE(engine->IsOpen());
        EXPECT_TRUE(engine->IsMapSetOpen());
        EXPECT_TRUE(engine->HasNameFile());
        EXPECT_TRUE(engine->HasAddressIndex());
        MapRect extent{500, 500, 5000, 2500};
        EXPECT_EQ(engine->GetExtent(), MapUnitsToDegrees(extent));

        const GeoRect everywhere(-1.0f, -1.0f, 1.0f, 1.0f);
        const struct {
            std::uint32_t from, to;
            std::set<std::size_t> indexes;
        } queries[] = {
            {0, 0, {0, 1, 2, 3, 4}},
            {3, 5, {1, 2}},
            {5, 3, {0, 1, 2, 3, 4}},
            {6, 100, {4}},
        };
        for (const auto& query : queries) {
            SCOPED_TRACE(query.from);
            EXPECT_EQ(CursorIds(engine->QueryArea(everywhere, query.from, query.to)),
                      IdsOf(writer, query.indexes));
        }
        // Bounds that only touch the rectangle count.
        EXPECT_EQ(CursorIds(engine->QueryMapArea({1010, 1010, 1500, 1500})), IdsOf(writer, {0, 4}));
        // The cursor reads the record in place.
        const ElementCursorPtr first = engine->QueryArea(everywhere, 2, 3);
        ASSERT_TRUE(first && first->IsValid());
        EXPECT_EQ(first->GetElementId(), writer.GetElementIds()[0]);
        EXPECT_EQ(first->GetTypeCode(), 2);
        EXPECT_EQ(first->GetGeometryClass(), 0u);
        GeoRect bounds;
        first->GetBounds(bounds);
        EXPECT_EQ(bounds, MapUnitsToDegrees({1000, 1000, 1010, 1010}));
        ElementAttributes attributes;
        first->GetAttributes(attributes);
        EXPECT_EQ(attributes.word, 0x400u);
        EXPECT_FALSE(first->MoveNext());
        EXPECT_FALSE(first->IsValid());

        const six::IntfPtr<MapElement> line = engine->GetMappedElement(writer.GetElementIds()[4]);
        ASSERT_TRUE(line.Get() != nullptr);
        std::vector<GeoPoint> points;
        EXPECT_TRUE(line->GetPoints(points));
        EXPECT_EQ(points, (std::vector<GeoPoint>{MapPointToDegrees({500, 500}),
                                                 MapPointToDegrees({1500, 2500}),
                                                 MapPointToDegrees({5000, 1500})}));
        EXPECT_EQ(line->GetGeometryClass(), 1u);
        std::vector<GeoPoint> enginePoints;
        EXPECT_TRUE(engine->GetElementPoints(writer.GetElementIds()[4], enginePoints));
        EXPECT_EQ(enginePoints, points);
        engine->Close();
        EXPECT_FALSE(engine->IsOpen());
    }
}

TEST(RetrievalEngine, ElementNamesSplitAtSlashes) {
    EngineDevice device;
    MapSetWriter writer = SampleWriter(0);
    ASSERT_TRUE(device.WriteMapSet(writer, u"\\maps", "Europe", Packing::Loose));
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    ASSERT_TRUE(engine->Open(u"\\maps\\Europe.rid"));
    const struct {
        std::size_t index;
        std::u16string name;
        std::vector<std::u16string> primaries, alternatives;
    } cases[] = {
        {0, u"Hauptstrasse", {u"Hauptstrasse"}, {}},
        {1, u"Bypass", {}, {u"Bypass"}},
        {2, u"Ring/Nord/Sued", {u"Ring"}, {u"Nord", u"Sued"}},
        {3, u"Ring//Sued/", {u"Ring"}, {u"", u"Sued"}},
        {4, u"", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        const std::uint32_t id = writer.GetElementIds()[c.index];
        const MapElementPtr element = engine->GetElement(id);
        ASSERT_TRUE(element);
        EXPECT_EQ(std::u16string(element->GetName()), c.name);
        std::vector<std::u16string> primaries;
        std::vector<std::u16string> alternatives;
        EXPECT_EQ(element->GetPrimaryNames(primaries), !c.primaries.empty());
        EXPECT_EQ(element->GetAlternativeNames(alternatives), !c.alternatives.empty());
        EXPECT_EQ(primaries, c.primaries);
        EXPECT_EQ(alternatives, c.alternatives);
        std::vector<std::u16string> enginePrimaries;
        std::vector<std::u16string> engineAlternatives;
        engine->GetPrimaryNames(id, enginePrimaries);
        engine->GetAlternativeNames(id, engineAlternatives);
        EXPECT_EQ(enginePrimaries, c.primaries);
        EXPECT_EQ(engineAlternatives, c.alternatives);
    }
    // Every raw attribute bit set: signposts and sign information are asked for, and answer none.
    const MapElementPtr flagged = engine->GetElement(writer.GetElementIds()[1]);
    ASSERT_TRUE(flagged);
    ElementAttributes attributes;
    flagged->GetAttributes(attributes);
    EXPECT_EQ(attributes.word, 0x07FFF810u);
    std::vector<Signpost> signposts{{}};
    EXPECT_FALSE(flagged->GetSignposts(signposts));
    EXPECT_TRUE(signposts.empty());
    SignInfoPtr signInfo;
    flagged->GetSignInfo(signInfo);
    EXPECT_FALSE(signInfo);
    // A map set without address index maps no ids.
    EXPECT_FALSE(engine->GetMappedElement(writer.GetElementIds()[0]).Get());
    EXPECT_FALSE(engine->HasAddressIndex());
    for (const std::uint32_t id : {0u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(engine->GetElement(id));
        EXPECT_FALSE(engine->GetMappedElement(id).Get());
        std::vector<GeoPoint> points{{1, 1}};
        EXPECT_FALSE(engine->GetElementPoints(id, points));
        EXPECT_EQ(points.size(), 1u);
    }
}

// Which files a map set case leaves out or breaks.
struct MapSetCase {
    const char* what;
    std::u16string path;
    bool hasDat = true;
    bool hasRid = true;
    bool hasName = true;
    bool isRidBad = false;
    std::string level; // written to \maps\Europe.lvl when not empty
    bool opens = true;
    bool hasNameFile = true;
};

TEST(RetrievalEngine, OpenFindsTheMapSetFilesOrFailsLeavingNothingOpen) {
    const std::string usable = LevelFileWriter().AddMapLine("Europe.rid").Build();
    const std::string unusable =
        LevelFileWriter().AddBlankLine().AddIsoLine("Europe.rid").AddLine("\r").Build();
    const MapSetCase cases[] = {
        {"named by its .rid", u"\\maps\\Europe.rid", true, true, true, false, ""},
        {"path without '.'", u"\\maps\\Europe", true, true, true, false, ""},
        {"upper-case .LVL", u"\\maps\\Europe.LVL", true, true, true, false, usable},
        {"level file missing", u"\\maps\\Asia.lvl", true, true, true, false, "", false, false},
        {"no usable line", u"\\maps\\Europe.lvl", true, true, true, false, unusable, false, false},
        {".dat missing", u"\\maps\\Europe", false, true, true, false, "", false, false},
        {".rid missing", u"\\maps\\Europe", true, false, true, false, "", false, false},
        {".rid bad", u"\\maps\\Europe", true, true, true, true, "", false, false},
        {".nam missing", u"\\maps\\Europe", true, true, false, false, "", true, false},
    };
    for (const MapSetCase& c : cases) {
        SCOPED_TRACE(c.what);
        EngineDevice device;
        MapSetWriter writer = SampleWriter(0);
        if (c.isRidBad) {
            testdata::RidHeaderFields header;
            header.magic = 0x12345678;
            writer.SetHeader(header);
        }
        const testdata::MapSetFiles files = writer.Build();
        ASSERT_TRUE(device.root.MakeFolder(u"\\maps"));
        if (c.hasDat) {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\Europe.dat", files.dat));
        }
        if (c.hasRid) {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\Europe.rid", files.rid));
        }
        if (c.hasName) {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\Europe.nam", files.nam));
        }
        if (!c.level.empty()) {
            ASSERT_TRUE(device.root.WriteFile(u"\\maps\\Europe.lvl", c.level));
        }
        const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
        EXPECT_EQ(engine->Open(c.path), c.opens);
        EXPECT_EQ(engine->IsOpen(), c.opens);
        EXPECT_EQ(engine->HasNameFile(), c.hasNameFile);
        if (!c.opens) {
            EXPECT_EQ(device.cache->GetFileCount(), 0u);
        }
        engine->Close();
        EXPECT_EQ(device.cache->GetFileCount(), 0u);
    }
}

TEST(RetrievalEngine, AFourCharacterPathIsNoLevelFile) {
    EngineDevice device;
    MapSetWriter writer = SampleWriter(0);
    // Base path "" names the files ".rid" and ".dat" at the root.
    const testdata::MapSetFiles files = writer.Build();
    ASSERT_TRUE(device.root.WriteFile(u"\\.rid", files.rid));
    ASSERT_TRUE(device.root.WriteFile(u"\\.dat", files.dat));
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    EXPECT_TRUE(engine->Open(u".lvl"));
}

TEST(RetrievalEngine, ASecondMapSetClosesAndUnmountsTheFirst) {
    EngineDevice device;
    MapSetWriter first = SampleWriter(RidFile::kMapKindWithAddressIndex);
    MapSetWriter second = SampleWriter(0);
    second.Add(PointElement(9000, 9000, 7, "Extra"));
    ASSERT_TRUE(device.WriteMapSet(first, u"\\a", "First", Packing::Archived));
    ASSERT_TRUE(device.WriteMapSet(second, u"\\b", "Second", Packing::Loose));
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    const std::shared_ptr<SfsMountSet> mounts = GetSharedSfsMountSet();
    ASSERT_TRUE(engine->Open(u"\\a\\First.rid"));
    EXPECT_TRUE(mounts->IsMounted(u"\\a\\maps.sfs"));
    const six::IntfPtr<MapElement> kept = engine->GetMappedElement(first.GetElementIds()[2]);
    ASSERT_TRUE(engine->Open(u"\\b\\Second.rid"));
    // The second map set has no address index: no ids are mapped.
    EXPECT_FALSE(engine->GetMappedElement(second.GetElementIds()[2]).Get());
    EXPECT_FALSE(mounts->IsMounted(u"\\a\\maps.sfs"));
    EXPECT_FALSE(mounts->IsMounted(u""));
    const GeoRect everywhere(-1.0f, -1.0f, 1.0f, 1.0f);
    EXPECT_EQ(CursorIds(engine->QueryArea(everywhere, 7, 8)), IdsOf(second, {5}));
    // The element of the first map set still reads its record, but no more names.
    ASSERT_TRUE(kept.Get() != nullptr);
    EXPECT_EQ(kept->GetTypeCode(), 4);
    EXPECT_EQ(std::u16string(kept->GetName()), u"");
    engine->Close();
    EXPECT_EQ(kept->GetPointCount(), 1u);
}

struct Listener {
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnOpened() {
        ++opened;
        isOpenInHandler = engine->IsOpen();
        extentInHandler = engine->GetExtent();
    }
    void OnClosed() { ++closed; }
    OwnerHandlerList handlers;
    RetrievalEngineImpl* engine = nullptr;
    int opened = 0;
    int closed = 0;
    bool isOpenInHandler = false;
    GeoRect extentInHandler;
};

TEST(RetrievalEngine, ClosedEngineAnswersEmptyAndSignalsFireOutsideTheLock) {
    EngineDevice device;
    MapSetWriter writer = SampleWriter(RidFile::kMapKindWithAddressIndex);
    ASSERT_TRUE(device.WriteMapSet(writer, u"\\maps", "Europe", Packing::Loose));
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    Listener listener;
    listener.engine = engine.Get();
    engine->Opened().ConnectUnlocked(&listener, &Listener::OnOpened);
    engine->Closed().ConnectUnlocked(&listener, &Listener::OnClosed);

    const auto expectEmpty = [&] {
        const GeoRect everywhere(-1.0f, -1.0f, 1.0f, 1.0f);
        EXPECT_FALSE(engine->IsOpen());
        EXPECT_FALSE(engine->IsMapSetOpen());
        EXPECT_FALSE(engine->IsCookie2CountryOpen());
        EXPECT_FALSE(engine->HasNameFile());
        EXPECT_FALSE(engine->IsHouseNumbersOpen());
        EXPECT_EQ(engine->GetExtent(), GeoRect());
        EXPECT_FALSE(engine->QueryArea(everywhere, 0, 0));
        EXPECT_FALSE(engine->QueryArea(everywhere, 3, 5));
        EXPECT_FALSE(engine->GetElement(writer.GetElementIds()[0]));
        EXPECT_FALSE(engine->GetMappedElement(writer.GetElementIds()[0]).Get());
        EXPECT_FALSE(engine->CreateGeoMolecule(writer.GetElementIds()[0], 0));
        EXPECT_FALSE(engine->FindInRect(everywhere, u""));
        EXPECT_FALSE(engine->FindAround({0, 0}, 0.0f, u""));
        EXPECT_EQ(engine->WalkAreaHierarchy(1, 0), -1);
        EXPECT_TRUE(engine->GetCountries(0).empty());
        EXPECT_EQ(engine->GetQueryDefaults(), QueryDefaults());
        EXPECT_EQ(engine->GetBlockCache().Get(), device.cache.Get());
    };
    expectEmpty();
    const RetrievalEngine::RetrievalEnginePtr byInterface =
        RetrievalEngineImpl::Create(device.cache);
    ASSERT_TRUE(byInterface.Get() != nullptr);
    EXPECT_FALSE(byInterface->IsOpen());
    EXPECT_TRUE(byInterface->Open(u"\\maps\\Europe"));
    engine->Close();
    EXPECT_EQ(listener.opened, 0);
    EXPECT_EQ(listener.closed, 1);
    ASSERT_TRUE(engine->Open(u"\\maps\\Europe"));
    EXPECT_EQ(listener.opened, 1);
    EXPECT_TRUE(listener.isOpenInHandler);
    EXPECT_EQ(listener.extentInHandler, engine->GetExtent());
    EXPECT_NE(listener.extentInHandler, GeoRect());
    EXPECT_FALSE(engine->Open(u"\\maps\\Missing"));
    EXPECT_EQ(listener.opened, 1);
    expectEmpty();
    ASSERT_TRUE(engine->Open(u"\\maps\\Europe"));
    engine->Close();
    EXPECT_EQ(listener.closed, 2);
    expectEmpty();
}

TEST(RetrievalEngine, ElementsAndCursorsOutliveCloseAndTheEngine) {
    EngineDevice device;
    MapSetWriter writer = SampleWriter(0);
    ASSERT_TRUE(device.WriteMapSet(writer, u"\\maps", "Europe", Packing::Archived));
    auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    ASSERT_TRUE(engine->Open(u"\\maps\\Europe"));
    const MapElementPtr line = engine->GetElement(writer.GetElementIds()[4]);
    const ElementCursorPtr cursor = engine->QueryArea(GeoRect(-1.0f, -1.0f, 1.0f, 1.0f), 0, 0);
    ASSERT_TRUE(line && cursor);
    engine->Close();
    engine = nullptr;
    EXPECT_EQ(line->GetPointCount(), 3u);
    EXPECT_EQ(std::u16string(line->GetName()), u"");
    EXPECT_EQ(std::u16string(line->GetPostalCode()), u"");
    EXPECT_EQ(line->WalkAreas(0), -1);
    const std::uint32_t neighbour = writer.GetElementIds()[0];
    EXPECT_FALSE(line->IsLinkJunctionA(&neighbour));
    std::size_t count = 0;
    for (; cursor->IsValid(); cursor->Next()) {
        ++count;
    }
    EXPECT_EQ(count, 5u);
}

} // namespace
