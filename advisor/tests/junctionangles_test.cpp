// Turn angles and their sectors on chosen geometry. The expected angles are worked out by hand
// with the data's constants (pi taken as 3.142857): a segment's direction is the truncated asin
// of its sine in those degrees (plus 360 when below 1) unless the truncated acos disagrees,
// then 180 minus the sine's; a true 90 degrees reads as 89.96, so north is 89, south 271,
// east 360, west 180 and north-east 44.
#include "advisor/junctionrules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

using Settings = JunctionRules::Settings;

// A route of records whose polylines, and those of its junction streets, are given by element
// id. Valid unless told otherwise.
class PolylineRoute final : public RouteIterator {
public:
    std::map<std::uint32_t, std::vector<GeoPoint>> lines;
    std::vector<RouteRecord> records;
    std::map<std::size_t, std::vector<NeighbourLink>> junctions; // by record index
    std::size_t index = 0;
    bool isValid = true;

    bool Next() override {
        ++index;
        return IsValid();
    }
    const RouteRecord& Current() const override {
        return IsValid() && index < records.size() ? records[index] : m_none;
    }
    bool IsValid() const override { return isValid && (records.empty() || index < records.size()); }
    void GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                            std::vector<NeighbourLink>& forbidden) override {
        const auto found = junctions.find(index);
        allowed = found != junctions.end() ? found->second : std::vector<NeighbourLink>{};
        forbidden.clear();
    }
    bool GetItemPolyline(const RouteItemRef& item, std::vector<GeoPoint>& polyline) override {
        const auto found = lines.find(item.elementId);
        if (found == lines.end()) {
            return false;
        }
        polyline = found->second;
        return true;
    }
    RouteIteratorPtr CreateIterator() const override {
        auto fresh = std::make_shared<PolylineRoute>(*this);
        fresh->index = 0;
        return fresh;
    }
    RouteIteratorPtr Clone() const override { return std::make_shared<PolylineRoute>(*this); }
    bool Previous() override {
        index = index == 0 ? records.size() : index - 1;
        return IsValid();
    }

private:
    RouteRecord m_none;
};

// Points near the equator, where the latitude's cosine is 1 to float precision.
constexpr float kStep = 0.001f;
constexpr GeoPoint kJunction{10.0f, 0.0f};
GeoPoint Offset(float dx, float dy) {
    return {kJunction.x + dx, kJunction.y + dy};
}
// A point `kStep` from the junction at `degrees` counter-clockwise from east (true degrees).
GeoPoint Towards(double degrees) {
    const double radians = degrees * 3.14159265358979 / 180.0;
    return Offset(static_cast<float>(kStep * std::cos(radians)),
                  static_cast<float>(kStep * std::sin(radians)));
}

Settings DefaultSectors() {
    return {{u"minAngleStraightAhead", u"-15"}, {u"maxAngleStraightAhead", u"15"},
            {u"minAngleSlightRight", u"15"},    {u"maxAngleSlightRight", u"45"},
            {u"minAngleToTheRight", u"46"},     {u"maxAngleToTheRight", u"120"},
            {u"minAngleHardRight", u"121"},     {u"maxAngleHardRight", u"160"},
            {u"minAngleReturn", u"-160"},       {u"maxAngleReturn", u"160"},
            {u"minAngleHardLeft", u"-121"},     {u"maxAngleHardLeft", u"-160"},
            {u"minAngleToTheLeft", u"-46"},     {u"maxAngleToTheLeft", u"-120"},
            {u"minAngleSlightLeft", u"-16"},    {u"maxAngleSlightLeft", u"-45"}};
}

struct Rules {
    explicit Rules(const Settings& settings = DefaultSectors()) {
        rules.LoadSectorSettings(settings);
        route = std::make_shared<PolylineRoute>();
    }
    // Arriving item 1 along `in`, leaving item 2 along `out`.
    int Classify(std::vector<GeoPoint> in, std::vector<GeoPoint> out, float& angle,
                 std::u16string& word) {
        route->lines[1] = std::move(in);
        route->lines[2] = std::move(out);
        rules.AttachRoute(route, nullptr);
        return rules.ClassifyTurn(Item(1), Item(2), route.get(), angle, word, false);
    }
    static RouteItem Item(std::uint32_t id) {
        RouteItem item;
        item.linkId = id;
        return item;
    }
    JunctionRules rules;
    std::shared_ptr<PolylineRoute> route;
};

const GeoPoint kSouth = Offset(0.0f, -kStep);
const GeoPoint kNorth = Offset(0.0f, kStep);
const GeoPoint kEast = Offset(kStep, 0.0f);
const GeoPoint kWest = Offset(-kStep, 0.0f);

TEST(JunctionTurnAngle, MeasuresWholeDegreesWithTheDataConstants) {
    struct Case {
        const char* name;
        GeoPoint leaveTo;
        float angle;
        int sector;
        std::u16string_view word;
    };
    // Arriving northwards (direction 89): angle = 89 - leaving direction, folded into
    // (-180, 180].
    const Case cases[] = {
        {"north: 89 - 89", kNorth, 0.0f, turnsector::kStraightAhead, u"StraightAhead"},
        // north-east: asin(0.7071) = 0.7854 rad x 57.2727 = 44.98 -> 44
        {"north-east: 89 - 44", Towards(45.0), 45.0f, turnsector::kSlightRight, u"SlightRight"},
        {"east: 89 - 360 + 360", kEast, 89.0f, turnsector::kRight, u"Right"},
        {"west: 89 - 180", kWest, -91.0f, turnsector::kLeft, u"Left"},
        // north-west: s = 44, c = acos(-0.7071) = 134.9 -> 134; |44 - 134| and |44 - 226| are
        // both far, so 180 - 44 = 136
        {"north-west: 89 - 136", Towards(135.0), -47.0f, turnsector::kLeft, u"Left"},
        // south-east: s = -44 -> 316, c = 44; |316 - (360 - 44)| = 0
        {"south-east: 89 - 316 + 360", Towards(-45.0), 133.0f, turnsector::kHardRight,
         u"HardRight"},
        // south-west: s = -44 -> 316, c = 134; neither agrees: 180 + 44 = 224
        {"south-west: 89 - 224 + 360", Towards(-135.0), -135.0f, turnsector::kHardLeft,
         u"HardLeft"},
        // back south: s = -89 -> 271, c = 89; |271 - 271| = 0; 89 - 271 + 360 = 178
        {"south: 89 - 271 + 360", kSouth, 178.0f, turnsector::kReturn, u"UTurn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rules r;
        float angle = 999.0f;
        std::u16string word = u"unchanged";
        EXPECT_EQ(r.Classify({kSouth, kJunction}, {kJunction, c.leaveTo}, angle, word), c.sector);
        EXPECT_EQ(angle, c.angle);
        EXPECT_EQ(word, c.word);
        // TurnAngle itself gives the same and names the side.
        std::u16string side = u"none";
        ASSERT_TRUE(r.rules.TurnAngle(kSouth, kJunction, kJunction, c.leaveTo, angle, side));
        EXPECT_EQ(angle, c.angle);
        EXPECT_EQ(side, c.angle > 0 ? u"Right" : c.angle < 0 ? u"Left" : u"none");
    }
}

TEST(JunctionTurnAngle, OrientsEachItemByItsSharedEnd) {
    // The same right turn (north, then east) however the two polylines are stored.
    struct Case {
        const char* name;
        std::vector<GeoPoint> in;
        std::vector<GeoPoint> out;
    };
    const Case cases[] = {
        {"end to start", {kSouth, kJunction}, {kJunction, kEast}},
        {"start to end", {kJunction, kSouth}, {kEast, kJunction}},
        {"start to start", {kJunction, kSouth}, {kJunction, kEast}},
        {"end to end", {kSouth, kJunction}, {kEast, kJunction}},
        {"several points",
         {Offset(0, -3 * kStep), kSouth, kJunction},
         {kJunction, kEast, Offset(2 * kStep, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rules r;
        float angle = 0.0f;
        std::u16string word;
        EXPECT_EQ(r.Classify(c.in, c.out, angle, word), turnsector::kRight);
        EXPECT_EQ(angle, 89.0f);
    }
}

TEST(JunctionTurnAngle, SectorBordersGoToTheEarlierSectorAndZeroKeepsAnEmptySide) {
    // Angles chosen with sector bounds on them: arriving east (360), leaving north-east (44)
    // turns -... left by 44, i.e. angle 360 - 44 = 316 -> -44.
    Settings borders = DefaultSectors();
    struct Case {
        const char* name;
        Settings changes;
        std::vector<GeoPoint> out;
        int sector;
        std::u16string_view word;
    };
    const Case cases[] = {
        // 0 lies in straight ahead and in the slight-right sector that starts at -15 here:
        // straight ahead is tested first.
        {"0 on two sectors",
         {{u"minAngleSlightRight", u"-15"}},
         {kJunction, kNorth},
         turnsector::kStraightAhead,
         u"StraightAhead"},
        // Without a straight-ahead sector, 0 falls in slight right with no side: "Slight".
        {"0 in a slight sector",
         {{u"minAngleStraightAhead", u"5"}, {u"minAngleSlightRight", u"-5"}},
         {kJunction, kNorth},
         turnsector::kSlightRight,
         u"Slight"},
        // 45 = max slight right = min right: slight right wins.
        {"45 on slight right and right",
         {{u"minAngleToTheRight", u"45"}},
         {kJunction, Towards(45.0)},
         turnsector::kSlightRight,
         u"SlightRight"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings = borders;
        for (const auto& [key, value] : c.changes) {
            settings[key] = value;
        }
        Rules r(settings);
        float angle = 0.0f;
        std::u16string word = u"unchanged";
        EXPECT_EQ(r.Classify({kSouth, kJunction}, c.out, angle, word), c.sector);
        EXPECT_EQ(word, c.word);
    }
}

TEST(JunctionTurnAngle, WithoutSectorKeysOnlyZeroIsStraightAhead) {
    struct Case {
        GeoPoint leaveTo;
        int sector;
    };
    const Case cases[] = {{kNorth, turnsector::kStraightAhead},
                          {Towards(45.0), turnsector::kReturn},
                          {kEast, turnsector::kReturn},
                          {kWest, turnsector::kReturn}};
    for (const Case& c : cases) {
        Rules r(Settings{});
        float angle = 0.0f;
        std::u16string word;
        EXPECT_EQ(r.Classify({kSouth, kJunction}, {kJunction, c.leaveTo}, angle, word), c.sector);
        EXPECT_EQ(word, c.sector == turnsector::kReturn ? u"UTurn" : u"StraightAhead");
    }
}

TEST(JunctionTurnAngle, OppositeRoadsMakeAHardTurnAUTurnOnlyWithThePassedIterator) {
    // Arriving north (bearing 0 of its first segment, direction 89). Leaving 20 degrees west of
    // south (true -110): s = trunc(-69.97) = -69 -> 291, c = trunc(109.96) = 109; neither
    // agrees, so 180 + 69 = 249 and the angle 89 - 249 = -160, hard left. Its bearing is 200:
    // opposite. Leaving south-west (true -135, direction 224, angle -135) has bearing 225: not.
    struct Case {
        const char* name;
        double leaving;
        bool fromPassed;
        int sector;
        std::u16string_view word;
    };
    const Case cases[] = {
        {"opposite, own iterator", -110.0, false, turnsector::kHardLeft, u"HardLeft"},
        {"opposite, passed iterator", -110.0, true, turnsector::kReturn, u"UTurn"},
        {"not opposite, passed iterator", -135.0, true, turnsector::kHardLeft, u"HardLeft"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rules r;
        r.route->lines[1] = {kSouth, kJunction};
        r.route->lines[2] = {kJunction, Towards(c.leaving)};
        r.rules.AttachRoute(r.route, nullptr);
        const auto passed = std::make_shared<PolylineRoute>(*r.route);
        float angle = 0.0f;
        std::u16string word;
        EXPECT_EQ(r.rules.ClassifyTurn(Rules::Item(1), Rules::Item(2), passed.get(), angle, word,
                                       c.fromPassed),
                  c.sector);
        EXPECT_EQ(word, c.word);
    }
}

TEST(JunctionTStreet, NeedsBothStreetsWithinHalfTheAngleOfARightAngleOnOppositeSides) {
    // "T-Street_Angle" 31: h = 15, so a right turn lies in (75, 105) and the other street must
    // lie in (-105, -75). The other street leaves west: 89 - 180 = -91.
    // Leaving at true -15.5 degrees: s = trunc(-15.49) = -15 -> 345, c = 15, |345 - 345| = 0:
    // direction 345, angle 89 - 345 + 360 = 104. At true -16.5: 344, angle 105.
    struct Case {
        const char* name;
        double leaving;    // true degrees from east, from geometry
        float directAngle; // or the turn angle set directly (when not 0)
        bool isTStreet;
    };
    const Case cases[] = {
        {"104 from geometry", -15.5, 0.0f, true},
        {"105 from geometry", -16.5, 0.0f, false},
        {"104.9 set directly", -15.5, 104.9f, true},
        {"105 set directly", -15.5, 105.0f, false},
        {"75 set directly", -15.5, 75.0f, false},
        {"other street on the same side", -15.5, 0.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings settings = DefaultSectors();
        settings[u"T-Street_Angle"] = u"31";
        Rules r(settings);
        const bool isSameSide = std::string(c.name) == "other street on the same side";
        r.route->lines[1] = {kSouth, kJunction};
        r.route->lines[2] = {kJunction, Towards(c.leaving)};
        r.route->lines[3] = {kJunction, isSameSide ? kEast : kWest};
        r.route->records.resize(2);
        r.route->records[0].linkId = 1;
        r.route->records[1].linkId = 2;
        r.route->records[1].x = kJunction.x;
        r.route->records[1].y = kJunction.y;
        NeighbourLink other;
        other.position = kJunction;
        other.elementId = 3;
        r.route->junctions[1] = {other};
        r.rules.AttachRoute(r.route, nullptr);
        (void)r.rules.AnalyseJunction(RouteItem::Of(r.route->records[0]));
        if (c.directAngle != 0.0f) {
            r.rules.SetTurnAngle(c.directAngle);
        }
        EXPECT_EQ(r.rules.IsTStreet(RouteItem::Of(r.route->records[0])), c.isTStreet);
    }
}

TEST(JunctionTurnAngle, UnmeasurableGeometryGivesMinusOneAndLeavesTheAngle) {
    struct Case {
        const char* name;
        std::vector<GeoPoint> in;
        std::vector<GeoPoint> out;
        bool isPassedValid;
        int sector;
    };
    const Case cases[] = {
        {"arriving first segment of no length",
         {kJunction, kJunction, kEast},
         {kJunction, kNorth},
         true,
         -1},
        {"arriving last segment of no length",
         {kSouth, kJunction, kJunction},
         {kJunction, kNorth},
         true,
         -1},
        {"leaving segment of no length",
         {kSouth, kJunction},
         {kJunction, kJunction, kNorth},
         true,
         -1},
        {"one-point arriving polyline", {kJunction}, {kJunction, kNorth}, true, -1},
        {"one-point leaving polyline", {kSouth, kJunction}, {kJunction}, true, -1},
        {"empty leaving polyline", {kSouth, kJunction}, {}, true, -1},
        {"passed iterator not valid", {kSouth, kJunction}, {kJunction, kNorth}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rules r;
        r.route->lines[1] = c.in;
        r.route->lines[2] = c.out;
        r.rules.AttachRoute(r.route, nullptr);
        const auto passed = std::make_shared<PolylineRoute>(*r.route);
        passed->isValid = c.isPassedValid;
        float angle = 999.0f;
        std::u16string word = u"unchanged";
        EXPECT_EQ(
            r.rules.ClassifyTurn(Rules::Item(1), Rules::Item(2), passed.get(), angle, word, false),
            c.sector);
        EXPECT_EQ(angle, 999.0f);
        EXPECT_EQ(word, u"unchanged");
    }
    // TurnAngle alone refuses a segment of no length on either side.
    JunctionRules rules;
    float angle = 1.0f;
    std::u16string side;
    EXPECT_FALSE(rules.TurnAngle(kJunction, kJunction, kJunction, kNorth, angle, side));
    EXPECT_FALSE(rules.TurnAngle(kSouth, kJunction, kNorth, kNorth, angle, side));
    EXPECT_EQ(angle, 1.0f);
}

} // namespace

namespace {

// A route of two records on elements `first` and `second`, with the polylines given.
std::shared_ptr<PolylineRoute> TwoItemRoute(std::uint32_t first, std::uint32_t second,
                                            std::vector<GeoPoint> in, std::vector<GeoPoint> out) {
    auto route = std::make_shared<PolylineRoute>();
    route->lines[first] = std::move(in);
    route->lines[second] = std::move(out);
    route->records.resize(2);
    route->records[0].linkId = first;
    route->records[1].linkId = second;
    return route;
}

TEST(JunctionAnalysis, WithoutAMeasurableAngleOrAMapTheJunctionIsIgnoredOrDispatched) {
    struct Case {
        const char* name;
        std::shared_ptr<PolylineRoute> route;
        std::u16string_view module;
    };
    const Case cases[] = {
        {"zero-length arriving segment",
         TwoItemRoute(1, 2, {kSouth, kJunction, kJunction}, {kJunction, kNorth}),
         u"IgnoreJunction"},
        {"zero-length leaving segment",
         TwoItemRoute(1, 2, {kSouth, kJunction}, {kJunction, kJunction, kEast}), u"IgnoreJunction"},
        {"one-point polyline", TwoItemRoute(1, 2, {kSouth, kJunction}, {kJunction}),
         u"IgnoreJunction"},
        // Turning back onto the same element where no country can be found is no special
        // situation: the dispatch decides (no other street, the next item equal: setting 2).
        {"back onto the same element, no country",
         TwoItemRoute(1, 1, {kSouth, kJunction}, {kSouth, kJunction}), u"Geometric_Setting_2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionRules rules;
        rules.LoadSectorSettings(DefaultSectors());
        rules.AttachRoute(c.route, nullptr);
        EXPECT_EQ(rules.GetEndOfRoute(), -1);
        EXPECT_EQ(rules.AnalyseJunction(RouteItem::Of(c.route->records[0])), c.module);
        EXPECT_EQ(rules.GetConditionValue(u"TS_Is_DeadEndStreet"), u"");
        // The last item ends the route: its module is the destination and the end field 31.
        EXPECT_EQ(rules.AnalyseJunction(RouteItem::Of(c.route->records[1])), u"Destination");
        EXPECT_EQ(rules.GetConditionValue(u"Kind_Of_Approaching_Destination"), u"IS_Is_Part_Of_DS");
        EXPECT_EQ(rules.GetEndOfRoute(), 31);
    }
}

} // namespace

namespace {

TEST(JunctionSettings, ReadsTheThresholdSignpostSwitchAndRectanglesUpToTheFirstGap) {
    struct Case {
        const char* name;
        Settings settings;
        std::int32_t threshold;
        std::vector<float> rectangles;
    };
    const Case cases[] = {
        {"none", {}, 0, {}},
        {"threshold with trailing text", {{u"ThresholdLenghtForAngleCalculation", u"30m"}}, 30, {}},
        {"one rectangle and half of the next",
         {{u"Rectangle0.Coordinates.1", u"9.5"},
          {u"Rectangle0.Coordinates.2", u"47.25"},
          {u"Rectangle0.Coordinates.3", u"9.75"},
          {u"Rectangle0.Coordinates.4", u"47.5"},
          {u"Rectangle1.Coordinates.1", u"-1"},
          {u"Rectangle1.Coordinates.2", u"2"},
          {u"Rectangle1.Coordinates.4", u"4"},
          {u"Rectangle2.Coordinates.1", u"5"}},
         0,
         {9.5f, 47.25f, 9.75f, 47.5f, -1.0f, 2.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionRules rules;
        rules.LoadSectorSettings(c.settings);
        EXPECT_EQ(rules.GetAngleThresholdLength(), c.threshold);
        EXPECT_EQ(rules.GetRectangles(), c.rectangles);
    }
}

} // namespace
