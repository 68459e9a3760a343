#include "basiccomp/retrievalengine/code/rtecrawler.h"
#include "enginefixture.h"

#include "platform/kernel/messagebox.h"

#include <algorithm>

namespace {

using testdata::ElementDescription;
using testdata::MapSetWriter;

ElementDescription Segment(MapRect bounds, std::string name, std::uint8_t subtype = 0) {
    ElementDescription element;
    element.typeLetter = 'l';
    element.bounds = bounds;
    element.typeCode = 3;
    element.subtype = subtype;
    element.name = std::move(name);
    return element;
}

std::vector<ElementDescription> CrawlElements() {
    std::vector<ElementDescription> elements = {
        Segment({0, 0, 1000, 0}, "Hauptstrasse"),                             // 0
        Segment({1000, 0, 2000, 0}, "Hauptstrasse"),                          // 1 touches 0
        Segment({2745, 0, 3500, 0}, "Hauptstrasse"),                          // 2 gap of 745
        Segment({4246, 0, 5000, 0}, "Hauptstrasse"),                          // 3 gap of 746
        Segment({2000, 0, 2500, 100}, "Hauptstrasse", 1),                     // 4 other subtype
        Segment({0, 5000, 1000, 5000}, "A/B"),                                // 5
        Segment({1000, 5000, 2000, 5000}, "B"),                               // 6
        Segment({2000, 5000, 3000, 5000}, "BC/A"),                            // 7
        PointElement(0, 10000, 5, "Markt"),                                   // 8
        PointElement(20, 10000, 5, "Markt"),                                  // 9 beside 8
        Segment({0, 15000, 100, 15000}, "a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q"), // 10
    };
    ElementDescription park;
    park.typeLetter = 'y';
    park.typeCode = 7;
    park.name = "Park";
    park.points = {{0, 20000}, {500, 20000}, {500, 20500}, {0, 20000}};
    elements.push_back(park); // 11
    park.points = {{500, 20000}, {900, 20000}, {900, 20500}, {500, 20000}};
    elements.push_back(park); // 12 shares an edge with 11
    return elements;
}

struct CrawlMap : OpenedMapSet {
    CrawlMap()
        : OpenedMapSet(CrawlElements(), "Town") {}
};

TEST(Crawler, CollectsTheSegmentsOfANamedFeature) {
    CrawlMap map;
    const struct {
        std::size_t start;
        std::u16string text;
        bool collects;
        std::vector<std::size_t> found; // element indexes
        std::vector<std::uint32_t> alternatives;
    } cases[] = {
        {0, u"Hauptstrasse", true, {0, 1, 2}, {0, 0, 0}},
        {2, u"Hauptstrasse", true, {0, 1, 2}, {0, 0, 0}},
        {3, u"Hauptstrasse", true, {3}, {0}},
        {4, u"Hauptstrasse", true, {4}, {0}},
        {5, u"B", true, {5, 6}, {1, 0}},
        {6, u"B", true, {5, 6}, {1, 0}},
        {5, u"A", true, {5}, {0}},
        {7, u"A", true, {7}, {1}},
        {8, u"Markt", true, {8}, {}},
        {11, u"Park", true, {11}, {}},
        {0, u"Haupt", false, {}, {}},
        {0, u"hauptstrasse", false, {}, {}},
        {7, u"B", false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.start << ' ' << std::string(c.text.begin(), c.text.end()));
        ElementAlternativeMap produced;
        Crawler crawler(*map.engine, &produced);
        std::vector<std::uint32_t> ids = {99};
        EXPECT_EQ(crawler.CollectElementIds(map.Id(c.start), c.text, ids), c.collects);
        std::vector<std::uint32_t> expected;
        ElementAlternativeMap expectedProduced;
        for (std::size_t i = 0; i < c.found.size(); ++i) {
            expected.push_back(map.Id(c.found[i]));
            if (i < c.alternatives.size()) {
                expectedProduced.emplace(map.Id(c.found[i]), c.alternatives[i]);
            }
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ids, expected);
        EXPECT_EQ(produced, expectedProduced);
    }
}

TEST(Crawler, OneCrawlerAnswersEachTextByItsOwnNames) {
    CrawlMap map;
    ElementAlternativeMap produced;
    Crawler crawler(*map.engine, &produced);
    // In this order: a name matched by one text must not stand for another text's match.
    const struct {
        std::size_t start;
        std::u16string text;
        std::vector<std::size_t> found;
    } steps[] = {
        {5, u"B", {5, 6}}, {5, u"A", {5}}, {6, u"B", {5, 6}},
        {7, u"BC", {7}},   {7, u"A", {7}}, {0, u"Hauptstrasse", {0, 1, 2}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message()
                     << step.start << ' ' << std::string(step.text.begin(), step.text.end()));
        std::vector<std::uint32_t> ids;
        ASSERT_TRUE(crawler.CollectElementIds(map.Id(step.start), step.text, ids));
        std::vector<std::uint32_t> expected;
        for (const std::size_t index : step.found) {
            expected.push_back(map.Id(index));
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ids, expected);
    }
}

// Segments each within the search margin of the others: every one is reached from each.
std::vector<ElementDescription> ClusterElements() {
    return {
        Segment({0, 0, 400, 0}, "Ring"),           Segment({400, 0, 800, 0}, "Ring"),
        Segment({0, 300, 400, 300}, "Ring"),       Segment({400, 300, 800, 300}, "Ring"),
        Segment({3000, 0, 3400, 0}, "Ring"),       Segment({0, 150, 800, 150}, "Ring/Gasse"),
        Segment({200, 200, 600, 200}, "Nebenweg"),
    };
}

TEST(Crawler, SpreadsFromEachElementOnce) {
    OpenedMapSet map(ClusterElements(), "Cluster");
    const struct {
        std::size_t start;
        std::u16string text;
        std::vector<std::size_t> found;
    } cases[] = {
        {0, u"Ring", {0, 1, 2, 3, 5}},
        {5, u"Ring", {0, 1, 2, 3, 5}},
        {4, u"Ring", {4}},
        {6, u"Nebenweg", {6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start);
        Crawler crawler(*map.engine, nullptr);
        std::vector<std::uint32_t> ids;
        ASSERT_TRUE(crawler.CollectElementIds(map.Id(c.start), c.text, ids));
        std::vector<std::uint32_t> expected;
        for (const std::size_t index : c.found) {
            expected.push_back(map.Id(index));
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ids, expected);
        EXPECT_EQ(crawler.GetWalkCount(), c.found.size());
    }
}

TEST(Crawler, RefusesWithoutTextOrElement) {
    CrawlMap map;
    Crawler crawler(*map.engine, nullptr);
    const struct {
        const char* name;
        std::uint32_t id;
        std::u16string text;
        std::vector<std::uint32_t> left;
    } cases[] = {
        {"empty text leaves the vector", map.Id(0), u"", {7, 8}},
        {"no element", 0x00FFFFFEu, u"Hauptstrasse", {}},
        {"no id", RetrievalEngineImpl::kNoId, u"Hauptstrasse", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint32_t> ids = {7, 8};
        EXPECT_FALSE(crawler.CollectElementIds(c.id, c.text, ids));
        EXPECT_EQ(ids, c.left);
    }
}

TEST(Crawler, AlternativeBeyondFifteenIsReportedAndRecorded) {
    CrawlMap map;
    platform::ClearRecordedMessageBoxes();
    ElementAlternativeMap produced;
    Crawler crawler(*map.engine, &produced);
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(crawler.CollectElementIds(map.Id(10), u"q", ids));
    EXPECT_EQ(produced, (ElementAlternativeMap{{map.Id(10), 16u}}));
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"basiccomp\\retrievalengine\\code\\rtecrawler");
    EXPECT_EQ(boxes[0].caption, u"37");
    ASSERT_TRUE(crawler.CollectElementIds(map.Id(10), u"p", ids));
    EXPECT_EQ(produced.at(map.Id(10)), 16u); // a present id keeps its index
}

TEST(MakeCrawlSearchRect, WidensByTheMarginAndStopsAtTheRange) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        MapRect bounds, widened;
    } cases[] = {
        {{0, 0, 10, 20}, {-745, -745, 755, 765}},
        {{kMin, kMin + 100, kMax - 100, kMax}, {kMin, kMin, kMax, kMax}},
    };
    for (const auto& c : cases) {
        const MapRect r = MakeCrawlSearchRect(c.bounds);
        EXPECT_TRUE(r.x1 == c.widened.x1 && r.y1 == c.widened.y1 && r.x2 == c.widened.x2 &&
                    r.y2 == c.widened.y2);
    }
}

} // namespace
