// The drawing filters and query builders over a writer-made map set held in memory.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapqueries.h"
#include "testdata/mapsetwriter.h"
#include "testdata/memoryblockfile.h"
#include "utilities/mapgeometry/elementrecord.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

constexpr MapPoint kQueriesOrigin{4000000, 3000000};

testdata::ElementDescription Element(char letter, int x, int y, int size, std::uint16_t code,
                                     std::uint8_t layer) {
    testdata::ElementDescription element;
    element.typeLetter = letter;
    element.bounds = {kQueriesOrigin.x + x, kQueriesOrigin.y + y, kQueriesOrigin.x + x + size,
                      kQueriesOrigin.y + y + size};
    if (letter == 'y')
        element.points = {{element.bounds.x1, element.bounds.y1},
                          {element.bounds.x2, element.bounds.y1},
                          {element.bounds.x2, element.bounds.y2}};
    element.typeCode = code;
    element.subtype = layer;
    return element;
}

class MapQueries : public ::testing::Test {
protected:
    void Build(const std::vector<testdata::ElementDescription>& elements) {
        for (const auto& element : elements)
            ASSERT_TRUE(m_writer.Add(element));
        const testdata::MapSetFiles files = m_writer.Build();
        const auto memory = [](const std::vector<std::uint8_t>& bytes) {
            return testdata::MakeMemoryBlockFile(bytes, maprecord::kBlockSize);
        };
        ASSERT_TRUE(m_engine->Attach(memory(files.rid), memory(files.dat), memory(files.nam)));
        m_table.assign(1200, ScaleRow{std::numeric_limits<float>::max(), 0, 0});
    }
    // The type codes of the elements a walk yields, in walk order.
    template <class Cursor> static std::vector<std::uint16_t> Codes(Cursor& cursor) {
        std::vector<std::uint16_t> codes;
        for (; cursor.IsValid(); cursor.Next())
            codes.push_back(maprecord::RecordTypeCode(cursor.GetRecord()));
        return codes;
    }
    MapRect Everything() const {
        return {kQueriesOrigin.x - 100000, kQueriesOrigin.y - 100000, kQueriesOrigin.x + 100000,
                kQueriesOrigin.y + 100000};
    }

    testdata::MapSetWriter m_writer;
    six::RefCntPtr<RetrievalEngineImpl> m_engine =
        RetrievalEngineImpl::CreateEngine(BlockCache::Create(64));
    std::vector<ScaleRow> m_table;
};

// Scale limits are strict; a type code beyond the table is never visible.
TEST_F(MapQueries, ScaleFilterKeepsClassesWhoseLimitLiesAboveTheScale) {
    Build({Element('l', 0, 0, 50, 1010, 1), Element('l', 10, 0, 50, 1020, 1),
           Element('l', 20, 0, 50, 1030, 1), Element('l', 30, 0, 50, 1500, 1)});
    m_table[1010].maxScale = 10.0F;
    m_table[1020].maxScale = 10.5F;
    m_table.resize(1400); // 1500 lies beyond the table
    ScaleFilter filter;
    filter.rect = Everything();
    filter.table = &m_table;
    struct Case {
        float scale;
        std::vector<std::uint16_t> codes;
    };
    for (const Case& c : {Case{9.99F, {1010, 1020, 1030}}, Case{10.0F, {1020, 1030}},
                          Case{10.5F, {1030}}, Case{1e30F, {1030}}}) {
        filter.scale = c.scale;
        auto cursor = QueryElementsByScale(*m_engine, filter);
        ASSERT_NE(cursor, nullptr);
        auto codes = Codes(*cursor);
        std::sort(codes.begin(), codes.end());
        EXPECT_EQ(codes, c.codes) << "scale " << c.scale;
    }
}

// The scan accepts its own layer and remembers the lowest and highest layer above it; on the
// drawing filter a layer above that fails the scale test is not counted.
TEST_F(MapQueries, LayerScanTellsTheLayersAboveItsOwn) {
    Build({Element('l', 0, 0, 50, 1010, 3), Element('l', 10, 0, 50, 1020, 9),
           Element('l', 20, 0, 50, 1030, 5), Element('l', 30, 0, 50, 1040, 2),
           Element('l', 40, 0, 50, 1050, 12)});
    m_table[1050].maxScale = 1.0F; // layer 12 is invisible at scale 2
    MapTransform transform(MapRect{0, 0, 1 << 24, 1 << 24});
    transform.SetSize({100, 100});
    transform.SetScale(0.1);
    transform.SetCenter(kQueriesOrigin);
    struct Case {
        std::uint8_t layer;
        std::uint8_t highest;
        std::uint8_t lowest;
        std::vector<std::uint16_t> codes;
    };
    for (const Case& c : {Case{3, 9, 5, {1010}}, Case{9, 9, 255, {1020}}, Case{1, 9, 2, {}},
                          Case{10, 10, 255, {}}}) {
        DrawFilter filter;
        filter.rect = Everything();
        filter.table = &m_table;
        filter.scale = 2.0F;
        filter.transform = &transform;
        filter.StartScan(c.layer);
        auto cursor = QueryElementsForDrawing(*m_engine, filter);
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(Codes(*cursor), c.codes) << int{c.layer};
        EXPECT_EQ(cursor->GetFilter().highestSeen, c.highest) << int{c.layer};
        EXPECT_EQ(cursor->GetFilter().lowestSeen, c.lowest) << int{c.layer};
    }
    // The plain layer filter takes the layer alone.
    LayerFilter layer;
    layer.rect = Everything();
    layer.layer = 5;
    auto cursor = QueryElementsOnLayer(*m_engine, layer);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(Codes(*cursor), std::vector<std::uint16_t>{1030});
}

// Lines and areas whose corners fall on one pixel are dropped, point symbols never are; a
// reversed query rectangle finds what its normal form finds.
TEST_F(MapQueries, DrawFilterDropsSinglePixelElementsButNotSymbols) {
    Build({Element('l', 0, 0, 2, 1010, 1), Element('y', 100, 0, 2, 1020, 1),
           Element('t', 200, 0, 2, 1030, 1), Element('l', 300, 0, 5000, 1040, 1),
           Element('y', 400, 0, 5000, 1050, 1)});
    MapTransform transform(MapRect{0, 0, 1 << 24, 1 << 24});
    transform.SetSize({100, 100});
    transform.SetScale(10.0);
    transform.SetCenter(kQueriesOrigin);
    const MapRect all = Everything();
    for (const MapRect& rect : {all, MapRect{all.x2, all.y2, all.x1, all.y1}}) {
        DrawFilter filter;
        filter.rect = rect;
        filter.table = &m_table;
        filter.scale = 10.0F;
        filter.transform = &transform;
        filter.StartScan(1);
        auto cursor = QueryElementsForDrawing(*m_engine, filter);
        ASSERT_NE(cursor, nullptr);
        auto codes = Codes(*cursor);
        std::sort(codes.begin(), codes.end());
        EXPECT_EQ(codes, (std::vector<std::uint16_t>{1030, 1040, 1050}));
    }
    // A closed engine gives no cursor.
    m_engine->Close();
    DrawFilter filter;
    EXPECT_EQ(QueryElementsForDrawing(*m_engine, filter), nullptr);
}

// A record's geometry comes from its ".dat" data; with every pool slot in use it is empty and
// the walk still moves on.
TEST_F(MapQueries, RecordGeometryIsEmptyWhileThePoolIsFull) {
    testdata::ElementDescription line = Element('p', 0, 0, 50, 1010, 1);
    line.points = {{kQueriesOrigin.x, kQueriesOrigin.y},
                   {kQueriesOrigin.x + 50, kQueriesOrigin.y + 50}};
    Build({line, Element('l', 10, 0, 50, 1020, 1)});
    LayerFilter filter;
    filter.rect = Everything();
    filter.layer = 1;
    auto cursor = QueryElementsOnLayer(*m_engine, filter);
    ASSERT_TRUE(cursor && cursor->IsValid());
    std::vector<const std::uint8_t*> records;
    for (; cursor->IsValid(); cursor->Next())
        records.push_back(cursor->GetRecord());
    ASSERT_EQ(records.size(), 2u);
    for (const std::uint8_t* record : records) {
        const RecordGeometry loaded = LoadElementGeometry(m_engine->GetDataStream(), record);
        ASSERT_TRUE(loaded.geometry);
        EXPECT_EQ(loaded.geometry->GetTypeCode(), maprecord::RecordTypeCode(record));
    }
    EXPECT_FALSE(LoadElementGeometry(m_engine->GetDataStream(), nullptr).geometry);

    std::vector<GeometryRef> hold;
    while (true) {
        RecordGeometry loaded = LoadElementGeometry(m_engine->GetDataStream(), records[1]);
        if (!loaded.geometry)
            break;
        hold.push_back(std::move(loaded.geometry));
    }
    EXPECT_EQ(GeometryPool::GetLiveCount(), GeometryPool::kSlotCount);
    EXPECT_FALSE(LoadElementGeometry(m_engine->GetDataStream(), records[0]).geometry);
    std::vector<bool> hasGeometry;
    for (auto walk = QueryElementsOnLayer(*m_engine, filter); walk->IsValid(); walk->Next())
        hasGeometry.push_back(static_cast<bool>(walk->GetGeometry()));
    EXPECT_EQ(hasGeometry, (std::vector<bool>{false, false}));
    hold.clear();
}

} // namespace
