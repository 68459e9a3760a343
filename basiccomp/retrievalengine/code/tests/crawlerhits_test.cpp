#include "basiccomp/retrievalengine/code/crawlerhits.h"
#include "enginefixture.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using testdata::ElementDescription;
using testdata::MapSetWriter;

std::array<std::uint8_t, 32> Record(char letter, std::uint32_t attributes, std::uint32_t nameRef) {
    std::array<std::uint8_t, 32> record{};
    std::memcpy(&record[16], &attributes, 4);
    record[27] = static_cast<std::uint8_t>(letter);
    std::memcpy(&record[28], &nameRef, 4);
    return record;
}

TEST(IsSearchableElement, NeedsTheBitOrANamedPointAndNoArea) {
    const struct {
        char letter;
        std::uint32_t attributes, nameRef;
        bool searchable;
    } cases[] = {
        {'l', 0x4000, 0xFFFFFFFF, true},
        {'p', 0x4000, 12, true},
        {'l', 0, 12, false},
        {'t', 0, 12, true},
        {'t', 0, 0xFFFFFFFF, false},
        {'y', 0x4000, 12, false},
        {'z', 0x4000, 12, false},
        {'t', 0x4000, 0xFFFFFFFF, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.letter << ' ' << c.attributes << ' ' << c.nameRef);
        EXPECT_EQ(IsSearchableElement(Record(c.letter, c.attributes, c.nameRef).data()),
                  c.searchable);
    }
}

TEST(CorridorChunkLength, FollowsTheRadius) {
    const struct {
        std::int32_t radius;
        std::uint32_t k;
    } cases[] = {{0, 25},    {200, 25},   {201, 35},    {2000, 35},   {2001, 80},
                 {5000, 80}, {5001, 100}, {20000, 100}, {20001, 120}, {-5, 25}};
    for (const auto& c : cases) {
        EXPECT_EQ(CorridorChunkLength(c.radius), c.k) << c.radius;
    }
}

CrawlerHit Hit(const char16_t* name, std::uint32_t id, std::uint8_t later, float distance,
               std::int16_t type = 3) {
    CrawlerHit hit;
    hit.name = name;
    hit.id = id;
    hit.typeCode = type;
    hit.laterAlternative = later;
    hit.distance = distance;
    return hit;
}

TEST(CrawlerHitLess, RanksByDistanceThenFlagThenCollationThenId) {
    const struct {
        const char* name;
        CrawlerHit a, b;
        bool aFirst, bFirst;
    } cases[] = {
        {"both distances", Hit(u"Z", 9, 1, 5.0f), Hit(u"A", 1, 0, 6.0f), true, false},
        {"equal distances are equivalent", Hit(u"Z", 9, 1, 5.0f), Hit(u"A", 1, 0, 5.0f), false,
         false},
        {"one distance falls back", Hit(u"A", 1, 0, 5.0f), Hit(u"B", 2, 0, -1.0f), true, false},
        {"first alternative first", Hit(u"Z", 9, 0, -1.0f), Hit(u"A", 1, 1, -1.0f), true, false},
        {"collation", Hit(u"Bahnhof", 9, 0, -1.0f), Hit(u"Cafe", 1, 0, -1.0f), true, false},
        {"id on equal names", Hit(u"Ring", 4, 1, -1.0f), Hit(u"Ring", 7, 1, -1.0f), true, false},
        {"same hit", Hit(u"Ring", 4, 1, -1.0f), Hit(u"Ring", 4, 1, -1.0f), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CrawlerHitLess(c.a, c.b), c.aFirst);
        EXPECT_EQ(CrawlerHitLess(c.b, c.a), c.bFirst);
        EXPECT_EQ(CrawlerHitHeapOrder(c.b, c.a), c.aFirst);
    }
}

TEST(NamePredicates, TakePrefixesAndInfixesApart) {
    const struct {
        std::u16string text;
        const char16_t* name;
        std::int16_t type;
        bool prefix, infix;
    } cases[] = {
        {u"haupt", u"Hauptstrasse", 3, true, false},
        {u"strasse", u"Hauptstrasse", 3, false, true},
        {u"strae", u"Hauptstraße", 3, false, true},
        {u"", u"Ring", 3, true, false},
        {u"", u"", 3, true, false},
        {u"x", u"Ring", 3, false, false},
        {u"haupt", u"Hauptstrasse", 9, false, false}, // type outside the range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        SearchQuery query;
        query.name = c.text;
        query.defaults.fromLevel = 0;
        query.defaults.toLevel = 5;
        const CrawlerHit hit = Hit(c.name, 1, 0, -1.0f, c.type);
        EXPECT_EQ(NamePrefixPredicate(query)(hit), c.prefix);
        EXPECT_EQ(NameInfixPredicate(query)(hit), c.infix);
    }
}

ElementDescription Named(char letter, MapRect bounds, std::string name, std::uint32_t attributes) {
    ElementDescription element;
    element.typeLetter = letter;
    element.bounds = bounds;
    element.typeCode = 3;
    element.name = std::move(name);
    element.attributes = attributes;
    return element;
}

struct HitMap : OpenedMapSet {
    explicit HitMap(const std::vector<ElementDescription>& elements)
        : OpenedMapSet(elements, "Hits") {}
};

std::vector<std::u16string> Texts(const CrawlerHitList& list) {
    std::vector<std::u16string> texts;
    for (const auto& hit : list.hits) {
        texts.push_back(std::u16string(hit.name) + u"#" + char16_t(u'0' + hit.alternative) +
                        char16_t(u'0' + hit.laterAlternative));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

TEST(CollectCrawlerHits, SplitsNamesOfSearchableElementsInTheArea) {
    HitMap map({
        Named('l', {0, 0, 100, 0}, "A//B", 0x4000),      // 0
        Named('l', {200, 0, 300, 0}, "/Bypass", 0x4000), // 1
        Named('l', {400, 0, 500, 0}, "Plain", 0),        // 2 not searchable
        Named('t', {600, 0, 610, 10}, "Kirche/", 0),     // 3
        Named('l', {700, 0, 800, 0}, "", 0x4000),        // 4 no name: no hit, still counted
        Named('l', {90000, 0, 90100, 0}, "Far", 0x4000), // 5 outside
        Named('l', {900, 0, 950, 0}, "//Zweig", 0x4000), // 6 an empty first part
    });
    CrawlerHitList list;
    SearchQuery query;
    query.rect = {-10, -10, 1000, 1000};
    query.radiusFlag = 0;
    CollectCrawlerHits(*map.engine, list, query);
    // A name that begins with '/' has no first alternative: its first part is a later one.
    EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"A#00", u"B#21", u"Bypass#01",
                                                        u"Kirche#00", u"Zweig#11"}));
    EXPECT_EQ(list.smallestId, std::min({map.Id(0), map.Id(1), map.Id(3), map.Id(4), map.Id(6)}));
    EXPECT_EQ(list.largestId, std::max({map.Id(0), map.Id(1), map.Id(3), map.Id(4), map.Id(6)}));
    EXPECT_EQ(list.rect.x2, 1000);

    // Within a radius of the rectangle's centre only.
    query.rect = {-1000, -1000, 1000, 1000};
    query.radiusFlag = 1;
    query.radiusMetres = 20; // about 134 map units
    CollectCrawlerHits(*map.engine, list, query);
    EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"A#00", u"B#21"}));
    EXPECT_EQ(list.radiusFlag, 1u);

    // Without an address index no element passes an area or postal-code filter.
    query.radiusFlag = 0;
    query.areaIds = {1};
    CollectCrawlerHits(*map.engine, list, query);
    EXPECT_TRUE(list.hits.empty());
    query.areaIds.clear();
    query.postalCode = u"80331";
    CollectCrawlerHits(*map.engine, list, query);
    EXPECT_TRUE(list.hits.empty());
}

TEST(CollectCrawlerHits, FollowsACorridorOnce) {
    // A route of 60 points west of Greenwich and south of the equator; radius 150 m gives chunks
    // of 25 points. One element lies beside the route's middle, one beside its end, one away.
    std::vector<GeoPoint> route;
    for (int i = 0; i < 60; ++i) {
        route.push_back({-3.0f + 0.001f * static_cast<float>(i), -10.0f});
    }
    auto near = [](GeoPoint p, float northMetres) {
        const MapPoint m = DegreesToMapPoint(GeoPoint{p.x, p.y + northMetres / 111132.0f});
        return MapRect{m.x, m.y, m.x + 1, m.y};
    };
    HitMap map({
        Named('l', near(route[30], 100.0f), "Middle", 0x4000),
        Named('l', near(route[59], -120.0f), "End", 0x4000),
        Named('l', near(route[10], 400.0f), "Away", 0x4000),
    });
    CrawlerHitList list;
    SearchQuery query;
    query.points = route;
    query.radiusMetres = 150;
    CollectCrawlerHits(*map.engine, list, query);
    EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"End#00", u"Middle#00"}));
}

} // namespace
