// The crossing view's distance bar: the frame and the filled share by orientation.
#include "junctionview/paint/crossingdistancebar.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using BarKind = JunctionPrimitive::Kind;

JunctionPrimitive BarRectangle(RECT r, JunctionPen pen, COLORREF brush) {
    JunctionPrimitive p;
    p.kind = BarKind::Rectangle;
    p.points = {{r.left, r.top}, {r.right, r.bottom}};
    p.pen = pen;
    p.brush = brush;
    return p;
}

TEST(CrossingDistanceBar, FrameAndFilledShare) {
    const JunctionPen framePen{PS_SOLID, 2, RGB(0, 0, 0)};
    const JunctionPen barPen{PS_SOLID, 0, 0x00FF0000};
    const RECT frame{10, 20, 110, 60};
    const struct {
        const char* name;
        std::int32_t orientation;
        double fraction;
        std::vector<RECT> rectangles; // frame, fill
    } cases[] = {
        {"nothing at 0", 0, 0.0, {}},
        {"nothing at 0, upright", 1, 0.0, {}},
        {"whole", 0, 1.0, {frame, frame}},
        {"a quarter from the left", 0, 0.25, {frame, {10, 20, 35, 60}}},
        {"0.999 truncates", 0, 0.999, {frame, {10, 20, 109, 60}}},
        {"upper half", 1, 0.5, {frame, {10, 20, 110, 40}}},
        {"orientation 2: empty rectangle at 0, 0, 0, 0", 2, 0.5, {frame, {0, 0, 0, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CrossingDistanceBar bar(c.orientation);
        bar.SetRect(frame.left, frame.top, frame.right, frame.bottom);
        bar.SetFraction(c.fraction);
        RecordingJunctionCanvas canvas;
        bar.Paint(canvas);
        std::vector<JunctionPrimitive> expected;
        if (!c.rectangles.empty()) {
            expected = {BarRectangle(c.rectangles[0], framePen, 0x00C0C0C0),
                        BarRectangle(c.rectangles[1], barPen, 0x00FF0000)};
        }
        EXPECT_EQ(canvas.Primitives(), expected);
    }
}

TEST(CrossingDistanceBar, GdiPaintGivesObjectsBack) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(120, 80, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    CrossingDistanceBar bar(0);
    bar.SetRect(10, 20, 110, 60);
    bar.SetFraction(0.5);
    bar.Paint(dc);
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    COLORREF inside = GetPixel(dc, 30, 40);
    EXPECT_EQ(inside, 0x00FF0000u) << "the filled part in the bar colour";
    EXPECT_EQ(GetPixel(dc, 90, 40), 0x00C0C0C0u) << "the rest of the frame";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
