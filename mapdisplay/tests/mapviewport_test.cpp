#include "mapdisplay/mapviewport.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

// One degree square at 50 degrees north, in map units.
const MapRect kExtent = DegreesToMapUnits(GeoRect(10.0f, 50.0f, 11.0f, 51.0f));

struct Recorder {
    OwnerHandlerList handlers;
    std::vector<std::string> names;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnChanged() { names.emplace_back("Changed"); }
    void OnScale(double) { names.emplace_back("ScaleChanged"); }
    void OnScroll(DWORD, DWORD) { names.emplace_back("ScrollInfoChanged"); }
    void OnCenter(std::int32_t, std::int32_t) { names.emplace_back("CenterChanged"); }
    void Watch(MapViewport& v) {
        v.Changed.ConnectUnlocked(this, &Recorder::OnChanged);
        v.ScaleChanged.ConnectUnlocked(this, &Recorder::OnScale);
        v.ScrollInfoChanged.ConnectUnlocked(this, &Recorder::OnScroll);
        v.CenterChanged.ConnectUnlocked(this, &Recorder::OnCenter);
    }
};

std::unique_ptr<MapViewport> MakeViewport(SIZE size) {
    auto viewport = std::make_unique<MapViewport>(kExtent);
    viewport->FitExtent();
    viewport->SetSize(size);
    return viewport;
}

int ClassOfRect(const MapViewport& v, const MapRect& r) {
    const std::array<POINT, 4> corners = {
        v.WorldToScreen({r.x1, r.y1}), v.WorldToScreen({r.x1, r.y2}), v.WorldToScreen({r.x2, r.y1}),
        v.WorldToScreen({r.x2, r.y2})};
    return ClassifyScreenPoints(corners.data(), 4, v.GetSize());
}

TEST(ClassifyScreenPoint, SeparatesOutsideBorderAndInside) {
    const SIZE size{240, 320};
    const struct {
        POINT p;
        int expected;
    } cases[] = {
        {{240, 5}, kScreenPointOnBorder}, {{241, 5}, kScreenPointOutside},
        {{0, 0}, kScreenPointOnBorder},   {{-1, 5}, kScreenPointOutside},
        {{5, 320}, kScreenPointOnBorder}, {{5, 321}, kScreenPointOutside},
        {{1, 319}, kScreenPointInside},   {{120, 160}, kScreenPointInside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p.x << ", " << c.p.y);
        EXPECT_EQ(ClassifyScreenPoint(c.p, size), c.expected);
    }
    const POINT mixed[] = {{5, 5}, {0, 5}, {241, 5}};
    EXPECT_EQ(ClassifyScreenPoints(mixed, 1, size), kScreenPointInside);
    EXPECT_EQ(ClassifyScreenPoints(mixed, 2, size), kScreenPointOnBorder);
    EXPECT_EQ(ClassifyScreenPoints(mixed, 3, size), kScreenPointOutside);
}

TEST(MapViewportZoomToRect, LeavesEveryCornerInsideOrOnTheBorder) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> coordinate(kExtent.x1 - 200000, kExtent.x2);
    std::uniform_int_distribution<std::int32_t> span(0, 900000);
    std::uniform_int_distribution<LONG> side(2, 800);
    std::uniform_int_distribution<int> angle(0, 3);
    for (int i = 0; i < 300; ++i) {
        auto v = MakeViewport(SIZE{side(random), side(random)});
        v->SetRotation(angle(random) * 30.0);
        const std::int32_t x = coordinate(random);
        const std::int32_t y = kExtent.y1 + span(random);
        const MapRect r{x, y, x + span(random), y + span(random) / 4};
        Recorder recorder;
        recorder.Watch(*v);
        v->ZoomToRect(r);
        ASSERT_NE(ClassOfRect(*v, r), kScreenPointOutside) << i;
        ASSERT_EQ(recorder.names, (std::vector<std::string>{"Changed", "ScaleChanged",
                                                            "ScrollInfoChanged", "CenterChanged"}));
    }
}

TEST(MapViewportZoomToRect, EdgeCases) {
    const std::int32_t cx = kExtent.GetCenter().x;
    const std::int32_t cy = kExtent.GetCenter().y;
    // At 1 m/px (kx 2701 at this latitude) half widths of 1267 to 1276 map units reach the
    // left and right borders exactly.
    const MapRect inside{cx - 1000, cy - 100, cx + 1000, cy + 100};
    const MapRect onBorder{cx - 1270, cy - 100, cx + 1270, cy + 100};
    {
        SCOPED_TRACE("already inside: bisection from half the scale down to the border");
        auto v = MakeViewport(SIZE{240, 320});
        v->SetScale(1.0);
        v->ZoomToRect(inside);
        EXPECT_LT(v->GetScale(), 1.0);
        EXPECT_EQ(ClassOfRect(*v, inside), kScreenPointOnBorder);
    }
    {
        SCOPED_TRACE("on the border: doubles once more, then settles on it");
        auto v = MakeViewport(SIZE{240, 320});
        v->SetScale(1.0);
        ASSERT_EQ(ClassOfRect(*v, onBorder), kScreenPointOnBorder);
        v->ZoomToRect(onBorder);
        EXPECT_NEAR(v->GetScale(), 1.0, 1e-9);
        EXPECT_EQ(ClassOfRect(*v, onBorder), kScreenPointOnBorder);
    }
    for (const SIZE size : {SIZE{1, 320}, SIZE{240, 1}, SIZE{0, 0}}) {
        SCOPED_TRACE("window too small");
        auto v = MakeViewport(size);
        Recorder recorder;
        recorder.Watch(*v);
        const MapPoint center = v->GetCenter();
        v->ZoomToRect(inside);
        EXPECT_EQ(v->GetCenter(), center);
        EXPECT_DOUBLE_EQ(v->GetScale(), 10.0 * kMapUnitsPerMetre * kMetresPerMapUnit);
        EXPECT_TRUE(recorder.names.empty());
    }
}

TEST(MapViewport, VisibleRectPansAndZoomOutLimitStayOnTheExtent) {
    auto v = MakeViewport(SIZE{240, 320});
    // Near the top edge: the visible rectangle is cut there.
    v->SetCenter(MapPoint{kExtent.GetCenter().x, kExtent.y2 - 5000});
    const MapRect visible = v->GetVisibleRect();
    EXPECT_EQ(visible.y2, kExtent.y2);
    EXPECT_EQ(visible.y1, v->ScreenToWorld(POINT{0, 320}).y);
    EXPECT_EQ(visible.x1, v->ScreenToWorld(POINT{0, 0}).x);
    const MapPoint atTop = v->GetCenter();
    v->PanVertical(10, 1);
    EXPECT_EQ(v->GetCenter(), atTop);
    // Just below the edge a pan overshoots it, and the next one is refused.
    const std::int32_t top = v->ScreenToWorld(POINT{0, 0}).y - atTop.y;
    const std::int32_t span = top - (v->ScreenToWorld(POINT{0, 320}).y - atTop.y);
    const MapPoint below{atTop.x, kExtent.y2 - top - 10};
    v->SetCenter(below);
    v->PanVertical(10, 1);
    EXPECT_EQ(v->GetCenter().y, below.y + span / 10);
    const MapPoint overshot = v->GetCenter();
    v->PanVertical(10, 1);
    EXPECT_EQ(v->GetCenter(), overshot);
    v->PanVertical(10, -1); // away from the edge
    EXPECT_EQ(v->GetCenter().y, overshot.y - span / 10);
    // Zooming out until the extent lies inside re-centres on it.
    v->SetCenter(MapPoint{kExtent.x1, kExtent.y1});
    for (int i = 0; i < 12; ++i)
        v->ZoomOut();
    EXPECT_EQ(v->GetCenter(), (MapPoint{kExtent.x1 + (kExtent.x2 - kExtent.x1) / 2,
                                        kExtent.y1 + (kExtent.y2 - kExtent.y1) / 2}));
    EXPECT_EQ(ClassOfRect(*v, kExtent), kScreenPointInside);
}

TEST(MapViewport, PacksScrollInfoWithinTheRange) {
    const auto page = [](DWORD word) { return word >> 16; };
    const auto position = [](DWORD word) { return word & 0xFFFFu; };
    auto v = MakeViewport(SIZE{240, 320});
    v->ShowWhole();
    // The height fits to the border pixels, each mapping back up to a pixel inside the extent.
    EXPECT_EQ(page(v->GetHorizontalScrollInfo()), 32768u);
    EXPECT_EQ(position(v->GetHorizontalScrollInfo()), 0u);
    EXPECT_GE(page(v->GetVerticalScrollInfo()), 32768u - 2 * 32768u / 320);
    // Zoomed in at the right and bottom edges: the thumb reaches the end of the range.
    v->SetScale(10.0);
    v->SetCenter(MapPoint{kExtent.x2, kExtent.y1});
    const DWORD h = v->GetHorizontalScrollInfo();
    const DWORD vert = v->GetVerticalScrollInfo();
    // Position and page are truncated apart: together they fall short by at most one.
    EXPECT_EQ(position(h), 32767u - page(h));
    EXPECT_EQ(position(vert), 32767u - page(vert));
    EXPECT_GT(page(h), 0u);
    // A centre outside the extent: nothing of it in view.
    v->SetCenter(MapPoint{kExtent.x2 + 500000, kExtent.y1 - 500000});
    EXPECT_EQ(v->GetHorizontalScrollInfo(), 32768u);
    EXPECT_EQ(page(v->GetVerticalScrollInfo()), 0u);
    // An extent without width or height shows all of itself.
    MapViewport flat(MapRect{100, 100, 100, 100});
    flat.SetSize(SIZE{0, -5});
    EXPECT_EQ(flat.GetSize().cx, 1);
    EXPECT_EQ(flat.GetSize().cy, 1);
    EXPECT_EQ(flat.GetHorizontalScrollInfo(), 32768u << 16);
    EXPECT_EQ(flat.GetVerticalScrollInfo(), 32768u << 16);
}

} // namespace
