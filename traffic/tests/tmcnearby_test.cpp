// Messages of update classes 7 and 8 mark the elements near the point where their location's
// elements meet, found by a growing area query.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "testdata/alertcencoder.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessage.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct NearbyElement {
    std::uint32_t id;
    std::uint16_t kind;
    std::uint32_t word;
    GeoPoint at;
};

// An element with the given points only.
class GeometryElement final : public MapElement {
public:
    GeometryElement(std::uint32_t id, std::vector<GeoPoint> points)
        : MapElement(nullptr, 0, ElementData{}, id)
        , m_points(std::move(points)) {}
    std::uint32_t GetPointCount() override { return static_cast<std::uint32_t>(m_points.size()); }
    void GetPoint(GeoPoint& point, std::uint32_t index) override { point = m_points.at(index); }

private:
    std::vector<GeoPoint> m_points;
};

class ListCursor final : public IElementCursor {
public:
    explicit ListCursor(std::vector<NearbyElement> elements)
        : m_elements(std::move(elements)) {}
    bool MoveNext() override {
        Next();
        return IsValid();
    }
    std::uint32_t GetCurrentId() override { return GetElementId(); }
    bool IsValid() override { return m_index < m_elements.size(); }
    void Next() override { ++m_index; }
    std::uint32_t GetElementId() override { return m_elements[m_index].id; }
    std::uint8_t GetSubtype() override { return 0; }
    std::uint32_t GetGeometryClass() override { return 0; }
    void GetBounds(GeoRect& bounds) override {
        const GeoPoint p = m_elements[m_index].at;
        bounds = GeoRect(p.x, p.y, p.x, p.y);
    }
    std::uint32_t GetPointCount() override { return 1; }
    void GetPoint(GeoPoint& point, std::uint32_t) override { point = m_elements[m_index].at; }
    std::uint16_t GetTypeCode() override { return m_elements[m_index].kind; }
    void GetAttributes(ElementAttributes& attributes) override {
        attributes.word = m_elements[m_index].word;
    }

private:
    std::vector<NearbyElement> m_elements;
    std::size_t m_index = 0;
};

// Answers the mapped-element and area questions from lists; everything else is empty.
class GeometryEngine final : public RetrievalEngine::IRetrievalEngine,
                             public RetrievalEngine::IAreaQuery {
public:
    std::map<std::uint32_t, std::vector<GeoPoint>> geometry;
    std::vector<NearbyElement> nearby;
    int queries = 0;

    RetrievalEngineEvents& GetEngineEvents() override { return *this; }

    ElementCursorPtr QueryArea(const GeoRect& rect, std::uint32_t from, std::uint32_t to) override {
        ++queries;
        std::vector<NearbyElement> found;
        for (const NearbyElement& e : nearby) {
            if (e.kind >= from && e.kind < to && e.at.x >= rect.minX && e.at.x <= rect.maxX &&
                e.at.y >= rect.minY && e.at.y <= rect.maxY) {
                found.push_back(e);
            }
        }
        return ElementCursorPtr(new ListCursor(std::move(found)));
    }
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) override {
        const auto it = geometry.find(id);
        if (it == geometry.end()) {
            return nullptr;
        }
        return six::IntfPtr<MapElement>(
            six::RefCntPtr<MapElement, six::MTModel>(new GeometryElement(id, it->second)));
    }

    bool IsCookie2CountryOpen() override { return false; }
    bool IsOpen() override { return true; }
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t, std::uint16_t) override { return nullptr; }
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t, const std::u16string&,
                                           std::uint16_t) override {
        return nullptr;
    }
    QueryDefaults GetQueryDefaults() override { return {}; }
    QueryDefaults* GetQueryDefaultsRef() override { return &m_defaults; }
    GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>&, float,
                                   const std::u16string&) override {
        return nullptr;
    }
    GeoMoleculeCursorPtr FindInPostalCode(const std::u16string&, std::uint32_t,
                                          const std::u16string&) override {
        return nullptr;
    }
    GeoMoleculeCursorPtr FindInArea(std::uint32_t, const std::u16string&) override {
        return nullptr;
    }
    GeoMoleculeCursorPtr FindAround(const GeoPoint&, float, const std::u16string&) override {
        return nullptr;
    }
    GeoMoleculeCursorPtr FindInRect(const GeoRect&, const std::u16string&) override {
        return nullptr;
    }
    std::u16string LookupArea(std::uint32_t) override { return {}; }
    std::u16string GetETypeName(std::uint16_t) override { return {}; }
    std::vector<CountryPtr> GetCountries(std::uint16_t) override { return {}; }
    AddressCursorPtr FindCities(const std::u16string&, std::uint16_t) override { return nullptr; }
    PostalCodeCursorPtr FindPostalCodes(const std::u16string&, std::uint16_t) override {
        return nullptr;
    }
    TypeCursorPtr GetETypeCursor() override { return nullptr; }
    CountryPtr GetCountry(std::uint16_t, std::uint16_t) override { return nullptr; }
    AddressResultPtr GetAddressOfElement(std::uint32_t, std::uint16_t) override { return nullptr; }
    std::int32_t WalkAreaHierarchy(std::uint32_t, std::uint32_t) override { return -1; }
    bool HasAddressIndex() override { return true; }
    bool HasNameFile() override { return false; }
    bool IsHouseNumbersOpen() override { return false; }
    bool Open(const std::u16string&) override { return false; }
    bool IsMapSetOpen() override { return true; }
    void Close() override {}
    GeoRect GetExtent() override { return {}; }
    BlockCachePtr GetBlockCache() override { return nullptr; }

private:
    QueryDefaults m_defaults;
};

TmcRawMessage Raw(unsigned event, unsigned location) {
    testdata::AlertCMessage m;
    m.event = event;
    m.location = location;
    m.isNegativeDirection = true;
    m.duration = 1;
    testdata::AlertCEncoder encoder;
    return DecodeLastTmcMessage(encoder.AddTable(m.programmeId, 1).AddMessage(m).Build());
}

TEST(TmcNearbyElements, GrowTheMarginAroundTheCommonPointUpToOneHundredthDegree) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
    }
    testdata::TempDeviceRoot root;
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    // One direction, so that only the rows of the driven side count.
    for (testdata::TmcEventRow& event : model.events) {
        event.directionality = 1;
    }
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(root, u"\\D", true));
    const TmcDatabasePtr database = CreateTmcDatabase(BlockCache::Create(256));
    ASSERT_TRUE(database && database->Load(u"\\D"));
    // Point 102 (elements 1010-1013) to 103 (1020-1023) meet at (10.001, 50).
    const GeoPoint meet{10.001f, 50.0f};
    constexpr std::uint32_t kBit26 = 0x4000000;
    const auto near = [&](float dx) { return GeoPoint{meet.x + dx, meet.y}; };
    const struct {
        const char* name;
        unsigned event, location;
        std::vector<NearbyElement> nearby;
        std::vector<std::uint32_t> ids;
    } cases[] = {
        {"class 7, first ring found",
         701,
         102,
         {{5001, 1040, kBit26, near(0.00025f)},
          {5002, 1040, 0, near(0.00005f)},
          {5003, 1080, kBit26, near(0.00005f)},
          {5004, 1050, kBit26, near(0.0005f)}},
         {5001 | 0x80000000U}},
        {"class 8, against the direction",
         803,
         103,
         {{5005, 1030, kBit26, near(-0.002f)}},
         {5005 | 0x80000000U}},
        {"kinds 1030 and 1070 both",
         701,
         102,
         {{5006, 1030, kBit26, near(0.0001f)}, {5007, 1070, kBit26, near(-0.00005f)}},
         {5006 | 0x80000000U, 5007 | 0x80000000U}},
        {"within 0.01", 701, 102, {{5008, 1040, kBit26, near(0.0099f)}}, {5008 | 0x80000000U}},
        {"beyond 0.01", 701, 102, {{5009, 1040, kBit26, near(0.0102f)}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const six::RefCntPtr<GeometryEngine> engine(new GeometryEngine);
        const RetrievalEngine::RetrievalEnginePtr pointer{engine};
        engine->geometry[1012] = {{10.0f, 50.0f}, meet};
        engine->geometry[1010] = {{9.99f, 50.0f}, meet};
        engine->geometry[1022] = {meet, {10.003f, 50.0f}};
        engine->nearby = c.nearby;
        TmcMessage message(Raw(c.event, c.location), *database, pointer, 0);
        ASSERT_TRUE(message.IsValid());
        message.BuildText();
        EXPECT_EQ(message.GetElementIds(), c.ids);
        EXPECT_LE(engine->queries, 100);
    }
    // Without an engine nothing is collected for these classes.
    TmcMessage alone(Raw(701, 102), *database, nullptr, 0);
    alone.BuildText();
    EXPECT_TRUE(alone.GetElementIds().empty());
}

} // namespace
