#include "routing/routetree.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Degrees for encoding units (2^25 / 360 per degree), exact in floats for small values.
GeoPoint Units(double x, double y) {
    constexpr double kDegreesPerUnit = 360.0 / 33554432.0;
    return {static_cast<float>(x * kDegreesPerUnit), static_cast<float>(y * kDegreesPerUnit)};
}

RouteRecord Record(std::uint32_t linkId, GeoPoint at, std::int32_t length) {
    RouteRecord record;
    record.linkId = linkId;
    record.x = at.x;
    record.y = at.y;
    record.length = length;
    record.time = length / 10;
    record.attributes = RecordAttributes::Make(4, 2);
    return record;
}

TEST(RouteTreeTest, EncodedSizeCountsHeadersAndSplitSteps) {
    struct Case {
        const char* name;
        std::vector<GeoPoint> polyline;
        std::size_t pairs;
    };
    const std::vector<Case> cases = {
        {"none", {}, 0},
        {"short step", {Units(0, 0), Units(127, -128)}, 1},
        {"300 by 10", {Units(0, 0), Units(300, 10)}, 3},
        {"two short, one long", {Units(0, 0), Units(5, 5), Units(10, 0), Units(10, 400)}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto pairs = EncodePolylineDeltas(c.polyline);
        ASSERT_EQ(pairs.size(), c.pairs);
        // The pairs walk from the first point to the last, whatever the split.
        if (!c.polyline.empty()) {
            std::int64_t x = 0;
            std::int64_t y = 0;
            for (const auto& [dx, dy] : pairs) {
                x += dx;
                y += dy;
            }
            const GeoPoint a = c.polyline.front();
            const GeoPoint b = c.polyline.back();
            constexpr double kUnits = 33554432.0 / 360.0;
            EXPECT_EQ(x, static_cast<std::int64_t>(b.x * kUnits) -
                             static_cast<std::int64_t>(a.x * kUnits));
            EXPECT_EQ(y, static_cast<std::int64_t>(b.y * kUnits) -
                             static_cast<std::int64_t>(a.y * kUnits));
        }
        RouteTree tree;
        RouteElement element(7, 0, c.polyline);
        tree.AppendEncodedSize(&element);
        EXPECT_EQ(tree.GetEncodedSize(), RouteTree::kEmptyEncodedSize + (c.pairs + 3) * 2);
    }
    const auto split = EncodePolylineDeltas({Units(0, 0), Units(300, 10)});
    EXPECT_EQ(split.back().first, 48);
    RouteTree tree;
    tree.AppendEncodedSize(nullptr);
    EXPECT_EQ(tree.GetEncodedSize(), RouteTree::kEmptyEncodedSize + 4);
}

TEST(RouteTreeTest, LinkValuesLevelsAndMarks) {
    for (const std::int32_t v : {0, 1, -1, -0x7FFFFFF, 0x7FFFFFF}) {
        RouteElement element(v, 5, {});
        element.SetDirectionFlag(true);
        element.SetLevel(9); // three bits
        EXPECT_EQ(element.GetLinkValue(), v);
        EXPECT_EQ(element.GetLevel(), 1u);
        EXPECT_TRUE(element.GetDirectionFlag());
    }
    RouteElement element(3, 0, {});
    EXPECT_TRUE(element.MarkSuccessor(15));
    EXPECT_TRUE(element.IsSuccessorMarked(15 + 256)); // taken modulo 256
    platform::DebugOutputCapture capture;
    EXPECT_FALSE(element.MarkSuccessor(16));
    EXPECT_FALSE(element.IsSuccessorMarked(16));
    EXPECT_FALSE(capture.Texts().empty());
}

TEST(RouteTreeTest, ElementOrderIsStrictWithEmptyPolylines) {
    const RouteElement empty1(5, 0, {});
    const RouteElement empty2(5, 1, {});
    const RouteElement low(5, 0, {{9.0f, 9.0f}, {1.0f, 2.0f}});
    const RouteElement high(5, 0, {{1.0f, 3.0f}});
    const RouteElement negative(-1, 0, {}); // 0xFFFFFFFF as unsigned: after every other
    const std::vector<const RouteElement*> ordered = {&empty1, &low, &high, &negative};
    const RouteElementLess less;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        EXPECT_FALSE(less(ordered[i], ordered[i]));
        for (std::size_t j = i + 1; j < ordered.size(); ++j) {
            EXPECT_TRUE(less(ordered[i], ordered[j])) << i << " " << j;
            EXPECT_FALSE(less(ordered[j], ordered[i])) << i << " " << j;
        }
    }
    EXPECT_FALSE(less(&empty1, &empty2));
    EXPECT_FALSE(less(&empty2, &empty1));
}

TEST(RouteTreeTest, PolylineHelpers) {
    using Line = std::vector<GeoPoint>;
    struct OrientCase {
        Line line;
        GeoPoint p;
        bool toward;
        bool reversed;
    };
    const Line ab = {{0, 0}, {1, 0}};
    const std::vector<OrientCase> orient = {
        {ab, {1, 0}, true, false},       {ab, {0, 0}, true, true},     {ab, {0, 0}, false, false},
        {ab, {1, 0}, false, true},       {ab, {0.5f, 1}, false, true}, // a tie counts as not nearer
        {{{2, 2}}, {0, 0}, true, false}, {{}, {0, 0}, false, false},
    };
    for (const OrientCase& c : orient) {
        Line line = c.line;
        OrientPolyline(line, c.p, c.toward);
        Line expected = c.line;
        if (c.reversed) {
            expected.assign(c.line.rbegin(), c.line.rend());
        }
        EXPECT_EQ(line, expected);
    }
    struct TrimCase {
        const char* name;
        Line line;
        GeoPoint p;
        Line start;
        Line end;
    };
    const Line zigzag = {{0, 0}, {2, 0}, {2, 2}, {4, 2}};
    const std::vector<TrimCase> trims = {
        {"empty", {}, {1, 1}, {}, {}},
        {"one point", {{3, 3}}, {1, 1}, {{1, 1}}, {{3, 3}, {1, 1}}},
        {"middle segment",
         zigzag,
         {2.5f, 1},
         {{2.5f, 1}, {2, 2}, {4, 2}},
         {{0, 0}, {2, 0}, {2.5f, 1}}},
        {"before the start", zigzag, {-1, 0}, {{-1, 0}, {2, 0}, {2, 2}, {4, 2}}, {{0, 0}, {-1, 0}}},
        // (2, 0) is as near to the first segment as to the second: the later one wins.
        {"tie at a corner", zigzag, {2, 0}, {{2, 0}, {2, 2}, {4, 2}}, {{0, 0}, {2, 0}, {2, 0}}},
    };
    for (const TrimCase& c : trims) {
        SCOPED_TRACE(c.name);
        Line start = c.line;
        TrimPolylineStart(c.p, start);
        EXPECT_EQ(start, c.start);
        Line end = c.line;
        TrimPolylineEnd(c.p, end);
        EXPECT_EQ(end, c.end);
    }
}

TEST(RouteTreeTest, BranchesShareElementsAndStageElementsStopAtUnnumbered) {
    RouteTree tree;
    const GeoPoint destination{3.0f, 0.0f};
    const std::vector<RouteRecord> main = {Record(1, {0, 0}, 100), Record(2, {1, 0}, 100),
                                           Record(3, {2, 0}, 100)};
    RouteTreeElement* first =
        tree.BuildBranch(nullptr, main, 0, 0, nullptr, 1.0f, 300.0f, RouteOptions{}, destination);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(tree.GetRoot(), nullptr);
    EXPECT_EQ(tree.GetRoot()->GetNumber(), 1u);
    EXPECT_EQ(first->GetNumber(), 2u);
    EXPECT_EQ(first->GetLinkValue(), 1);
    EXPECT_EQ(tree.GetElementCount(), 3u);
    EXPECT_EQ(tree.GetRecordCountPlus2(), 5u);
    EXPECT_EQ(first->FirstExtra(), 1.0f);

    // The same first link (same end point, no map data: empty polylines) runs into the tree.
    EXPECT_EQ(
        tree.BuildBranch(nullptr, main, 0, 0, nullptr, 1.0f, 300.0f, RouteOptions{}, destination),
        nullptr);
    ASSERT_EQ(tree.GetRoot()->GetSuccessors().size(), 1u);
    EXPECT_TRUE(tree.GetRoot()->IsSuccessorMarked(0));

    // An alternative from the first element over link 9, back onto link 3.
    const std::vector<RouteRecord> alternative = {Record(9, {1, 0}, 50), Record(3, {2, 0}, 100)};
    RouteTreeElement* branch = tree.BuildBranch(first, alternative, 0, 1, nullptr, 0.5f, 150.0f,
                                                RouteOptions{}, destination);
    ASSERT_NE(branch, nullptr);
    EXPECT_EQ(branch->GetLevel(), 1u);
    ASSERT_EQ(first->GetSuccessors().size(), 2u);
    EXPECT_FALSE(first->IsSuccessorMarked(1));
    ASSERT_EQ(branch->GetSuccessors().size(), 1u);
    EXPECT_TRUE(branch->IsSuccessorMarked(0));
    EXPECT_EQ(branch->GetSuccessors()[0]->GetLinkValue(), 3);

    // A branch's first element is numbered; the first element's slot 0 (link 2) is not yet, so
    // the walk stops there and nothing is appended.
    EXPECT_NE(branch->GetNumber(), 0u);
    StageElementList list = {{first, 0}, {nullptr, 0}};
    const std::uint32_t before = tree.GetEncodedSize();
    EXPECT_EQ(tree.AppendStageElements(list, 5), 0u);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(tree.GetEncodedSize(), before);
    (void)tree.NumberElement(first->GetSuccessors()[0]);
    // Both successors numbered: the element's size and then the missing entry's 4 bytes.
    EXPECT_EQ(tree.AppendStageElements(list, 3), 0u); // limit: stage + 2 < 3
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(tree.GetEncodedSize(), before + 6 + 4);
    EXPECT_EQ(tree.GetLastAppended(), first->GetNumber());
    StageElementList marked = {{branch, 0}};
    (void)tree.NumberElement(branch->GetSuccessors()[0]);
    EXPECT_EQ(tree.AppendStageElements(marked, 1), 0u); // stage 0 + 2 is not below 1
    EXPECT_EQ(tree.AppendStageElements(marked, 3), 1u);
}

} // namespace
