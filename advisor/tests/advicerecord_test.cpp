// Advice records: construction, copies that share the route iterator, head copies, and the
// remaining distance along a polyline.

#include "advisor/advicerecord.h"
#include "app/greatcircledistance.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// An iterator that is never walked: the records only carry it.
class IdleIterator final : public RouteIterator {
public:
    bool Next() override { return false; }
    [[nodiscard]] const RouteRecord& Current() const override { return m_record; }
    [[nodiscard]] bool IsValid() const override { return false; }
    void GetJunctionStreets(std::vector<NeighbourLink>&, std::vector<NeighbourLink>&) override {}
    [[nodiscard]] bool GetItemPolyline(const RouteItemRef&, std::vector<GeoPoint>&) override {
        return false;
    }
    [[nodiscard]] RouteIteratorPtr CreateIterator() const override { return nullptr; }
    [[nodiscard]] RouteIteratorPtr Clone() const override { return nullptr; }
    bool Previous() override { return false; }

private:
    RouteRecord m_record;
};

AdviceRecord FilledRecord(const RouteIteratorPtr& route) {
    AdviceRecord record;
    record.distance = 420;
    record.manoeuvreCode = 4;
    record.toStreet.Set(u"Ringstrasse");
    record.route = route;
    record.junction.junctionId = 7;
    record.junction.manoeuvre.Set(u"T_Street");
    record.SetText(u"TurnRight");
    return record;
}

TEST(AdviceRecord, StartsEmptyAndCopiesShareTheRouteIterator) {
    const AdviceRecord empty;
    EXPECT_EQ(empty.manoeuvreCode, -1);
    EXPECT_EQ(empty.progress, 0);
    EXPECT_EQ(empty.combined, 0);
    EXPECT_FALSE(empty.HasText());
    EXPECT_FALSE(empty.route);
    EXPECT_TRUE(empty.toStreet.IsEmpty());
    EXPECT_EQ(empty.junction.flags & 3u, 0u);

    const auto route = std::make_shared<IdleIterator>();
    AdviceRecord record = FilledRecord(route);
    EXPECT_EQ(route.use_count(), 2);
    {
        const AdviceRecord copy = record; // NOLINT(performance-unnecessary-copy-initialization)
        EXPECT_EQ(route.use_count(), 3);
        EXPECT_EQ(copy.route, route);
        EXPECT_EQ(copy.text, u"TurnRight");
        EXPECT_EQ(copy.junction.junctionId, 7);
    }
    EXPECT_EQ(route.use_count(), 2);
    AdviceRecord& alias = record;
    record = alias; // assignment to itself
    EXPECT_EQ(route.use_count(), 2);
    EXPECT_EQ(record.route, route);
    EXPECT_EQ(record.text, u"TurnRight");

    // A head copy takes the head and leaves the junction and the text as they were.
    AdviceRecord target;
    target.SetText(u"KeepLeft");
    target.junction.junctionId = 3;
    target.AssignHead(record);
    EXPECT_EQ(route.use_count(), 3);
    EXPECT_EQ(target.distance, 420);
    EXPECT_EQ(target.toStreet.View(), u"Ringstrasse");
    EXPECT_EQ(target.text, u"KeepLeft");
    EXPECT_EQ(target.junction.junctionId, 3);
    const AdviceRecord headOnly(static_cast<const AdviceRecordHead&>(record));
    EXPECT_EQ(headOnly.manoeuvreCode, 4);
    EXPECT_FALSE(headOnly.HasText());
    EXPECT_EQ(headOnly.junction.junctionId, 0);
}

TEST(AdviceRecord, FixedTextsKeepAtMostTheirCapacityLessOne) {
    AdviceText text;
    text.Set(std::u16string(80, u'x'));
    EXPECT_EQ(text.View(), std::u16string(63, u'x'));
    FixedText<3> roadClass(u"Bt!");
    EXPECT_EQ(roadClass.View(), u"Bt");
}

double Along(const std::vector<GeoPoint>& points) {
    double sum = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        sum += GreatCircleDistance(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    return sum;
}

TEST(RemainingPolylineDistance, MeasuresFromTheProjectionOntoTheNearestLaterSegment) {
    const struct {
        const char* name;
        GeoPoint point;
        std::vector<GeoPoint> polyline;
        double metres;
    } cases[] = {
        {"two points", {0.25f, 0.1f}, {{0, 0}, {1, 0}}, Along({{0.25f, 0}, {1, 0}})},
        {"before the start", {-1, 0}, {{0, 0}, {1, 0}}, Along({{0, 0}, {1, 0}})},
        {"on the second of three segments",
         {1.1f, 0.5f},
         {{0, 0}, {1, 0}, {1, 1}, {2, 1}},
         Along({{1, 0.5f}, {1, 1}, {2, 1}})},
        // Equally near to (0,0)-(0.5,0) and (0.5,0)-(0.5,0.5): measured from the later one.
        {"between two equally near segments",
         {0.25f, 0.25f},
         {{0, 0}, {0.5f, 0}, {0.5f, 0.5f}},
         Along({{0.5f, 0.25f}, {0.5f, 0.5f}})},
        {"past the end", {3, 0}, {{0, 0}, {1, 0}}, 0.0},
        {"one point", {0, 1}, {{0, 0}}, Along({{0, 1}, {0, 0}})},
        {"no points", {0, 1}, {}, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(RemainingPolylineDistance(c.point, c.polyline), c.metres);
    }
}

} // namespace
