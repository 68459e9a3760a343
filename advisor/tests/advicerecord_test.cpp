// Advice records: construction, head copies, and the remaining distance along a polyline.

#include "advisor/advicerecord.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(AdviceRecord, StartsEmptyAndHeadCopiesLeaveJunctionAndTextAlone) {
    AdviceRecord record;
    EXPECT_EQ(record.manoeuvreCode, -1);
    EXPECT_EQ(record.progress, 0);
    EXPECT_EQ(record.combined, 0);
    EXPECT_FALSE(record.HasText());
    EXPECT_FALSE(record.route);
    record.distance = 420;
    record.toStreet.Set(std::u16string(80, u'x')); // cut to 63 characters
    record.junction.junctionId = 7;
    record.SetText(u"TurnRight");
    AdviceRecord target;
    target.SetText(u"KeepLeft");
    target.junction.junctionId = 3;
    target.AssignHead(record);
    EXPECT_EQ(target.distance, 420);
    EXPECT_EQ(target.toStreet.View(), std::u16string(63, u'x'));
    EXPECT_EQ(target.text, u"KeepLeft");
    EXPECT_EQ(target.junction.junctionId, 3);
    const AdviceRecord headOnly(static_cast<const AdviceRecordHead&>(record));
    EXPECT_EQ(headOnly.distance, 420);
    EXPECT_FALSE(headOnly.HasText());
    EXPECT_EQ(headOnly.junction.junctionId, 0);
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
        {"second of three",
         {1.1f, 0.5f},
         {{0, 0}, {1, 0}, {1, 1}, {2, 1}},
         Along({{1, 0.5f}, {1, 1}, {2, 1}})},
        // Equally near to (0,0)-(0.5,0) and (0.5,0)-(0.5,0.5): measured from the later one.
        {"equally near",
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
