// The highway drawings from memory: one or two drawing files read, joined, moved to the origin,
// fitted into a small picture and painted into a raster (and onto a recording canvas), as a
// roundabout when the header says so. Input: testdata/drawingfilewriter.h, WriteDrawingFuzzInput.
#include "junctionview/paint/drawingfile.h"
#include "junctionview/paint/junctionpainter.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Feeds the bytes; false when the file is refused as too long.
bool Parse(junctionview::Drawing& drawing, junctionview::DrawingParser& parser,
           const std::uint8_t* begin, const std::uint8_t* end) {
    for (const std::uint8_t* p = begin; p != end; ++p) {
        if (!parser.Feed(*p)) {
            return false;
        }
    }
    (void)drawing;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const int width = 1 + data[0] % 128;
    const int height = 1 + data[1] % 128;
    const std::int32_t routeWidth = data[2] % 64;
    const std::uint8_t flags = data[3];
    const std::uint8_t* end = data + size;
    const std::uint8_t* split = std::find(data + 4, end, std::uint8_t{0});

    junctionview::Drawing drawing;
    junctionview::DrawingParser first(drawing, 0);
    if (!Parse(drawing, first, data + 4, split)) {
        return 0;
    }
    if (split != end) {
        const std::size_t routes = drawing.route.size();
        const std::size_t sides = drawing.side.size();
        junctionview::DrawingParser second(drawing, first.NextId());
        if (!Parse(drawing, second, split + 1, end)) {
            return 0;
        }
        junctionview::JoinDrawing(drawing, routes, sides);
    }
    junctionview::NormaliseDrawing(drawing);
    const std::int32_t m = routeWidth * 5 / 4;
    const JunctionRect rect{m, m, width - m, height - m};
    std::vector<JunctionSegment> route;
    std::vector<JunctionSegment> side;
    junctionview::FitDrawing(drawing.route, drawing.side, drawing.extent, rect, route, side);

    JunctionScene scene;
    scene.screenRoute = route;
    scene.screenSide = side;
    scene.isModelEmpty = drawing.route.empty() && drawing.side.empty();
    scene.isRoundabout = (flags & 1) != 0;
    scene.reverseArc = (flags & 2) != 0;
    scene.targetRect = rect;
    if (!route.empty()) {
        scene.arrowSegment = route.back();
        scene.approachSegment = route.front();
    }
    JunctionStyle style;
    style.routeWidth = routeWidth;
    style.sideRoadWidth = routeWidth / 2;
    const std::vector<std::uint32_t> routeIds{0, 1};

    RecordingJunctionCanvas recording;
    JunctionPainter(style, routeIds, recording).PaintJunction(scene);

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(width, height, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    {
        GdiJunctionCanvas canvas(dc);
        JunctionPainter(style, routeIds, canvas).PaintJunction(scene);
    }
    if (!(platform::CountLiveGdiObjects() == before)) {
        std::abort();
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return 0;
}
