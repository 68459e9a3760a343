#include "basiccomp/retrievalengine/code/geometryelement.h"
#include "basiccomp/retrievalengine/code/searchquery.h"
#include "mapsetfixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testdata::ElementDescription;
using testdata::MapSetFault;

// One element in a map set of its own, with its geometry made as the walks make it.
struct OneElement {
    explicit OneElement(const ElementDescription& element, MapSetFault fault = MapSetFault::None) {
        isAdded = map.writer.Add(element).has_value();
        map.writer.SetFault(fault);
        if (isAdded && map.Open() &&
            map.ridFile.GetElementStore().Find(found, map.writer.GetElementIds()[0])) {
            MapCursor dataCursor(map.dat);
            geometry = MakeRecordGeometry(found.GetRecord(), dataCursor);
        }
    }
    std::vector<MapPoint> Points() const {
        std::vector<MapPoint> points;
        MapPoint point;
        for (std::uint32_t i = 0; geometry && geometry->GetPoint(i, point); ++i) {
            points.push_back(point);
        }
        return points;
    }

    MemoryMapSet map;
    bool isAdded = false;
    ElementIterator found;
    GeometryRef geometry;
};

ElementDescription Describe(char letter, const MapRect& bounds, std::vector<MapPoint> points = {}) {
    ElementDescription element;
    element.typeLetter = letter;
    element.bounds = bounds;
    element.points = std::move(points);
    element.typeCode = 1010;
    element.attributes = 0x80000001u;
    return element;
}

TEST(GeometryElement, GivesThePointsOfEveryTypeLetter) {
    const struct {
        ElementDescription element;
        std::vector<MapPoint> points;
    } cases[] = {
        {Describe('l', {10, 20, 30, 40}), {{10, 20}, {30, 40}}},
        {Describe('m', {10, 20, 30, 40}), {{30, 20}, {10, 40}}},
        {Describe('n', {10, 20, 30, 40}), {{30, 40}, {10, 20}}},
        {Describe('o', {10, 20, 30, 40}), {{10, 40}, {30, 20}}},
        {Describe('t', {0, 0, 0, 0}), {{0, 0}}},
        {Describe('t', {-5, 10, 2, 13}), {{-1, 11}}},
        {Describe('r', {1000, 2000, 1007, 2000}, {{5, -3}, {7, 0}}), {{1005, 1997}, {1007, 2000}}},
        {Describe('z', {0, 0, 5, 5}, {{0, 0}, {5, 0}, {5, 5}}), {{0, 0}, {5, 0}, {5, 5}}},
        {Describe('p', {}, {{1, 2}, {-3, 4}, {5, -6}}), {{1, 2}, {-3, 4}, {5, -6}}},
        {Describe('y', {}, {{0, 0}, {9, 0}, {9, 9}}), {{0, 0}, {9, 0}, {9, 9}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.element.typeLetter));
        const OneElement one(c.element);
        ASSERT_TRUE(one.geometry);
        EXPECT_EQ(one.geometry->GetPointCount(), c.points.size());
        EXPECT_EQ(one.Points(), c.points); // GetPoint at the count reads nothing
        EXPECT_EQ(one.geometry->GetTypeCode(), 1010);
        EXPECT_EQ(one.geometry->GetAttributeWord(), 0x80000001u);
        EXPECT_EQ(one.geometry->GetBounds(), testdata::MapSetWriter::RecordBounds(c.element));
    }
}

TEST(GeometryElement, MeetsARectangleByItsClassRule) {
    const MapRect box{0, 0, 10, 10};
    const struct {
        const char* what;
        ElementDescription element;
        MapRect rect;
        bool meets;
    } cases[] = {
        {"point inside", Describe('t', {0, 0, 0, 0}), box, true},
        {"point on the upper edges", Describe('t', {0, 0, 0, 0}), {-10, -10, 0, 0}, false},
        {"point on the lower edges", Describe('t', {10, 10, 10, 10}), {10, 10, 20, 20}, true},
        {"segment crossing", Describe('l', {-5, 5, 5, 6}), box, true},
        {"segment inside", Describe('n', {2, 2, 8, 8}), box, false},
        {"segment outside", Describe('m', {20, 20, 30, 30}), box, false},
        {"polyline inside", Describe('p', {}, {{2, 2}, {4, 4}, {6, 2}}), box, false},
        {"polyline crossing the left edge", Describe('p', {}, {{2, 2}, {-4, 4}}), box, true},
        {"offset polyline crossing", Describe('r', {5, 5, 25, 5}, {{0, 0}, {20, 0}}), box, true},
        {"polygon around", Describe('y', {}, {{-5, -5}, {20, -5}, {20, 20}}), box, false},
        {"offset polygon", Describe('z', {-5, -5, 20, 20}, {{0, 0}, {25, 0}, {25, 25}}), box,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const OneElement one(c.element);
        ASSERT_TRUE(one.geometry);
        EXPECT_EQ(one.geometry->Intersects(c.rect), c.meets);
    }
}

TEST(GeometryElement, IsEmptyForUnknownLettersAndDataOutsideItsPage) {
    const struct {
        const char* what;
        ElementDescription element;
        MapSetFault fault;
    } cases[] = {
        {"points past the page end", Describe('p', {}, {{1, 1}, {2, 2}}),
         MapSetFault::PointsPastPageEnd},
        {"offsets past the page end", Describe('r', {0, 0, 1, 1}, {{1, 1}}),
         MapSetFault::PointsPastPageEnd},
        {"page beyond the stream", Describe('y', {}, {{1, 1}, {2, 2}}),
         MapSetFault::DataPastStreamEnd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const OneElement one(c.element, c.fault);
        ASSERT_TRUE(one.found.IsValid());
        EXPECT_FALSE(one.geometry);
    }
    const OneElement sound(Describe('p', {}, {{1, 1}, {2, 2}}));
    ASSERT_TRUE(sound.found.IsValid());
    EXPECT_FALSE(CreateGeometryElement(sound.found.GetRecord(), nullptr, 0)); // no data
    EXPECT_TRUE(
        CreateGeometryElement(sound.found.GetRecord(), sound.map.files.dat.data() + 8, 4 + 8 * 2));
    EXPECT_FALSE(CreateGeometryElement(sound.found.GetRecord(), sound.map.files.dat.data() + 8,
                                       4 + 8 * 2 - 1));
    EXPECT_FALSE(CreateGeometryElement(nullptr, nullptr, 0));
}

TEST(SegmentsCross, NeedsBothPairsOfEndsOnOppositeSides) {
    const struct {
        const char* what;
        MapPoint p0, p1, p2, p3;
        bool crosses;
    } cases[] = {
        {"crossing", {0, 0}, {10, 10}, {0, 10}, {10, 0}, true},
        {"apart", {0, 0}, {10, 10}, {20, 0}, {30, 10}, false},
        {"touching at an end", {0, 0}, {10, 0}, {10, 0}, {10, 10}, false},
        {"T on the middle", {0, 0}, {10, 0}, {5, 0}, {5, 10}, false},
        {"collinear", {0, 0}, {10, 0}, {20, 0}, {30, 0}, true},
        {"parallel", {0, 0}, {10, 0}, {0, 1}, {10, 1}, false},
        // The orientation products exceed 32 bits here.
        {"large crossing", {100000, 100000}, {300000, 100001}, {200000, 0}, {200000, 300000}, true},
        {"large apart",
         {-2000000000, 0},
         {-1000000000, 1},
         {2000000000, -5},
         {2000000000, 5},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SegmentsCross(c.p0, c.p1, c.p2, c.p3), c.crosses);
    }
}

TEST(QueryTypeFilter, TakesTheSetThenTheWildcardThenTheSignedRange) {
    QueryDefaults setAndRange;
    setAndRange.typeCodes = {1010};
    setAndRange.fromLevel = 0;
    setAndRange.toLevel = 5000;
    QueryDefaults everything; // lower -1
    QueryDefaults signedRange;
    signedRange.fromLevel = -5;
    signedRange.toLevel = 1015;
    const struct {
        const QueryDefaults* defaults;
        std::uint16_t code;
        bool passes;
    } cases[] = {
        {&setAndRange, 1010, true},   {&setAndRange, 1011, false},   {&setAndRange, 4, false},
        {&everything, 0, true},       {&everything, 0xFFFF, true},   {&signedRange, 0xFFFE, true},
        {&signedRange, 0xFFFB, true}, {&signedRange, 0xFFFA, false}, {&signedRange, 1014, true},
        {&signedRange, 1015, false},  {&signedRange, 0x8000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(QueryTypeFilter(*c.defaults, c.code), c.passes);
    }
}

} // namespace
