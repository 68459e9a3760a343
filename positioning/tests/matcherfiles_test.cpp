#include "positioning/matcherstate.h"
#include "testdata/matcherstatewriter.h"
#include "tests/matcherfixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Field = std::uint32_t MatcherSettings::*;

struct Key {
    const char* key;
    Field field; // null: not a field of MatcherSettings
};

// The 19 keys in reading order.
const Key kKeys[] = {
    {"Speed tolerance", &MatcherSettings::speedTolerance},
    {"Min incremental", &MatcherSettings::minIncremental},
    {"Big Treshold", &MatcherSettings::bigThreshold},
    {"Route tolerance", &MatcherSettings::routeTolerance},
    {"Track length", &MatcherSettings::trackLength},
    {"Area size", &MatcherSettings::areaSize},
    {"Near crossing distance", &MatcherSettings::nearCrossingDistance},
    {"Decelerate percent criteria", &MatcherSettings::deceleratePercent},
    {"Course change criteria", &MatcherSettings::courseChangeCriteria},
    {"Calculate error step", &MatcherSettings::calculateErrorStep},
    {"Zero speed", &MatcherSettings::zeroSpeed},
    {"Course change heading tolerance", &MatcherSettings::courseChangeHeadingTolerance},
    {"Normal Heading tolerance", &MatcherSettings::normalHeadingTolerance},
    {"Expected jump", &MatcherSettings::expectedJump},
    {"Max street pondering", nullptr},
    {"Non digitized area speed tolerance", &MatcherSettings::nonDigitizedSpeedTolerance},
    {"Max tunnel recover time", &MatcherSettings::maxTunnelRecoverTime},
    {"Tunnel criteria time", &MatcherSettings::tunnelCriteriaTime},
    {"Sa", nullptr},
};

struct SettingsFile {
    std::u16string Write(const std::string& text) {
        EXPECT_TRUE(root.WriteFile(u"\\Snap.ini", text));
        return u"\\Snap.ini";
    }
    ~SettingsFile() { SetMaxStreetPondering(kDefaultMaxStreetPondering); }
    testdata::TempDeviceRoot root;
};

TEST(MatcherSettings, ReadsEveryKeyAsSpelledAndDefaultsWithoutTheSection) {
    SettingsFile file;
    MapMatcher matcher{AreaQueryPtr()};
    EXPECT_TRUE(matcher.ReadSettings(file.Write("[Other]\nSpeed tolerance=9\nSa=0\n")));
    EXPECT_EQ(matcher.Settings(), MatcherSettings{});
    EXPECT_EQ(MaxStreetPondering(), kDefaultMaxStreetPondering);
    EXPECT_TRUE(matcher.IsSimpleMode());

    std::string text = "[Snaping]\n";
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        text += std::string(kKeys[i].key) + "=" + std::to_string(1000 + i) + "\n";
    }
    EXPECT_FALSE(matcher.ReadSettings(file.Write(text)));
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        SCOPED_TRACE(kKeys[i].key);
        if (kKeys[i].field != nullptr) {
            EXPECT_EQ(matcher.Settings().*kKeys[i].field, 1000 + i);
        }
    }
    EXPECT_EQ(MaxStreetPondering(), 1014);
    EXPECT_TRUE(matcher.IsSimpleMode());
    EXPECT_TRUE(matcher.ReadSettings(file.Write("[snaping]\nsa=0\n")));
    EXPECT_FALSE(matcher.IsSimpleMode());
}

TEST(MatcherSettings, EachBrokenConditionAloneFailsAndKeepsTheValue) {
    const struct {
        const char* key;
        int value;
    } cases[] = {
        {"Speed tolerance", 13},
        {"Min incremental", 49},
        {"Min incremental", 401},
        {"Big Treshold", 23},
        {"Big Treshold", 101},
        {"Track length", 99},
        {"Near crossing distance", 51},
        {"Decelerate percent criteria", 101},
        {"Course change criteria", 4},
        {"Course change criteria", 41},
        {"Calculate error step", 9},
        {"Calculate error step", 51},
        {"Zero speed", 6},
        {"Course change heading tolerance", 39},
        {"Normal Heading tolerance", 9},
        {"Normal Heading tolerance", 91},
        {"Expected jump", 9},
        {"Expected jump", 41},
        {"Max street pondering", -1},
        {"Non digitized area speed tolerance", 31},
        {"Max tunnel recover time", 61},
        {"Tunnel criteria time", 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + std::to_string(c.value));
        SettingsFile file;
        MapMatcher matcher{AreaQueryPtr()};
        const std::string text =
            "[Snaping]\n" + std::string(c.key) + "=" + std::to_string(c.value) + "\n";
        EXPECT_FALSE(matcher.ReadSettings(file.Write(text)));
        const auto key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                      [&](const Key& k) { return std::string(k.key) == c.key; });
        ASSERT_NE(key, std::end(kKeys));
        if (key->field != nullptr) {
            EXPECT_EQ(matcher.Settings().*key->field, static_cast<std::uint32_t>(c.value));
        } else {
            EXPECT_EQ(MaxStreetPondering(), c.value);
        }
    }
}

// Records on the first segment of the northern road, matched to it.
MatchRecord OnNorthRoad(const SketchMap& map, const testdata::MatcherSketch& sketch, int east) {
    const GeoPoint a = SketchNode(sketch, 'A');
    const GeoPoint next = SketchNode(sketch, 'B');
    MatchRecord r = RecordAt(Moved(a, east, 4), 30);
    r.snapped = Moved(a, east, 0);
    r.segmentStart = a;
    r.segmentEnd = next;
    r.street = static_cast<std::int32_t>(map.Id(0));
    r.heading = 90;
    r.error = 2.5f;
    r.searchRadius = 40;
    r.time = 500 + static_cast<std::uint32_t>(east);
    return r;
}

TEST(MatcherState, RoundTripsAndRaisesTheWeightsOfTheRestoredHistory) {
    const testdata::MatcherSketch sketch = testdata::ParallelRoadsSketch();
    const SketchMap map(sketch);
    MapMatcher matcher(map.query);
    for (const int east : {2, 6, 10}) {
        matcher.History().Append(OnNorthRoad(map, sketch, east));
    }
    ASSERT_EQ(matcher.SaveState(u"\\state.bin"), 1);
    const auto bytes = map.root.ReadFile(u"\\state.bin");
    ASSERT_TRUE(bytes);
    const MatchRecord& newest = matcher.History().Newest();
    const auto parsed = ParseMatcherState(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->index, 2);
    EXPECT_EQ(parsed->record.time, newest.time);
    EXPECT_EQ(parsed->record.raw, newest.raw);
    EXPECT_EQ(parsed->record.segmentEnd, newest.segmentEnd);
    EXPECT_EQ(parsed->record.street, newest.street);
    EXPECT_EQ(parsed->record.error, newest.error);
    EXPECT_EQ(parsed->record.searchRadius, newest.searchRadius);
    EXPECT_EQ(parsed->record.flags, MatchRecord::kProcessed);

    ASSERT_EQ(matcher.LoadState(u"\\state.bin"), 1);
    EXPECT_EQ(matcher.History().Index(), 2);
    EXPECT_FALSE(matcher.History().IsWrapped());
    const GraphLookup node = matcher.Graph().FindNode(newest.segmentStart);
    ASSERT_TRUE(node.found);
    const GraphNode& start = matcher.Graph().Node(node.index);
    ASSERT_EQ(start.links.size(), 1u);
    EXPECT_EQ(start.links[0].weight, 3);
    EXPECT_EQ(start.links[0].elementId, map.Id(0));
}

TEST(MatcherState, EmptyHistorySavesIndexMinusOneAndLoads) {
    testdata::TempDeviceRoot root;
    MapMatcher matcher{AreaQueryPtr()};
    ASSERT_EQ(matcher.SaveState(u"\\empty.bin"), 1);
    const auto bytes = root.ReadFile(u"\\empty.bin");
    ASSERT_TRUE(bytes && bytes->size() == kMatcherStateSize);
    const auto state = ParseMatcherState(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->index, -1);
    EXPECT_FALSE(state->wrapped);
    EXPECT_EQ(matcher.LoadState(u"\\empty.bin"), 1);
    EXPECT_TRUE(matcher.History().IsShort());
    EXPECT_EQ(matcher.History().Index(), -1);
}

TEST(MatcherState, RefusesEveryFaultyFileLeavingTheMatcherUnchanged) {
    const testdata::MatcherSketch sketch = testdata::ParallelRoadsSketch();
    const SketchMap map(sketch);
    testdata::MatcherStateFields far;
    far.raw = Moved(SketchNode(sketch, 'A'), 0, 3000); // a fetch there would empty the graph
    far.index = 5;
    const struct {
        const char* name;
        testdata::MatcherStateWriter writer;
    } cases[] = {
        {"wrong magic", testdata::MatcherStateWriter().SetFields(far).SetMagic(
                            testdata::MatcherStateMagic::Wrong)},
        {"byte-swapped magic", testdata::MatcherStateWriter().SetFields(far).SetMagic(
                                   testdata::MatcherStateMagic::ByteSwapped)},
        {"80 bytes", testdata::MatcherStateWriter().SetFields(far).SetLength(80)},
        {"4 bytes", testdata::MatcherStateWriter().SetFields(far).SetLength(4)},
        {"empty", testdata::MatcherStateWriter().SetFields(far).SetLength(0)},
        {"index 384", testdata::MatcherStateWriter().SetFields([&] {
             auto f = far;
             f.index = 384;
             return f;
         }())},
        {"index -2", testdata::MatcherStateWriter().SetFields([&] {
             auto f = far;
             f.index = -2;
             return f;
         }())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher(map.query);
        for (const int east : {2, 6}) {
            matcher.History().Append(OnNorthRoad(map, sketch, east));
        }
        const MatchRecord here = matcher.History().Newest();
        matcher.SetSearchArea(here);
        matcher.FetchCandidates(here);
        const std::size_t nodes = matcher.Graph().NodeCount();
        ASSERT_GT(nodes, 0u);
        ASSERT_TRUE(c.writer.WriteTo(map.root, u"\\bad.bin"));
        EXPECT_EQ(matcher.LoadState(u"\\bad.bin"), 0);
        EXPECT_EQ(matcher.LoadState(u"\\missing.bin"), 0);
        EXPECT_EQ(matcher.History().Index(), 1);
        EXPECT_EQ(matcher.Graph().NodeCount(), nodes);
        EXPECT_EQ(matcher.Graph().GetSearchArea(), Box(here.raw, 200));
    }
    // The same file with the sound magic, length and index is taken.
    MapMatcher matcher(map.query);
    ASSERT_TRUE(testdata::MatcherStateWriter().SetFields(far).WriteTo(map.root, u"\\good.bin"));
    EXPECT_EQ(matcher.LoadState(u"\\good.bin"), 1);
    EXPECT_EQ(matcher.History().Index(), 5);
}

} // namespace
