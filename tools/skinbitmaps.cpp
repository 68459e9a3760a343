// skinbitmaps FOLDER [SKINFOLDER] [--layout SCREENDESC] [--png]: draws the pictures every language
// bundle carries with our GDI and writes them as bitmap files into FOLDER, with "pictures.txt",
// the [bitmaps] and [icons] lines that name them (docs/resources.md), which rescompile adds to
// each bundle. The program's own skin files, which the page layout names ("Splash.bmp", the
// splash, and "Background.bmp", the main menu's background), go into SKINFOLDER (FOLDER without
// one); with --layout, so do the backgrounds of the layout's dialogs: each section of SCREENDESC
// that names a "Bitmap" gets that picture drawn from its own entries. With --png a PNG of each
// picture is written beside it, for people to look at.
//
// The pictures: the logo (bitmap 1184), the program's icon (icon 1), the traffic list's icons
// (bitmaps 3, a message, and 4, a message with a location), the map's twelve direction arrows
// (930 to 941), position marker (390) and destination flag (1089), and for each skinned button its
// normal (id), pressed (id + 1) and disabled (id + 3) faces: the main menu's buttons on wide
// plates, the map bar's buttons on square plates. Every button face keys out its top-left
// colour, so the plates have round corners on any background. A wide plate carries its symbol
// at the right: the menu draws the button's caption from the left over it.
//
// A dialog's background has the section's "Size": a light panel, on which the dialog's black
// texts read, in a dark frame with round corners, and a dark plate under each button (an entry
// with a face kind), on which the faces' white captions read. The dialog keys out the picture's
// top-left colour: only the corners outside the frame have it.
#include "testdata/bitmapwriter.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255); // keyed out where a face is drawn

// The colours of one state of a face.
struct Palette {
    COLORREF plate;
    COLORREF rim;
    COLORREF symbol;
    COLORREF accent;
};
constexpr Palette kNormal{RGB(24, 70, 104), RGB(120, 170, 205), RGB(255, 255, 255),
                          RGB(250, 200, 40)};
constexpr Palette kPressed{RGB(10, 34, 56), RGB(250, 180, 10), RGB(255, 200, 60),
                           RGB(255, 255, 255)};
constexpr Palette kDisabled{RGB(70, 74, 78), RGB(110, 114, 118), RGB(150, 150, 150),
                            RGB(130, 130, 130)};

// Draws in a 32 x 32 design grid placed at (left, top) with `scale` pixels per unit.
class Pen {
public:
    Pen(HDC dc, int left, int top, double scale)
        : m_dc(dc)
        , m_left(left)
        , m_top(top)
        , m_scale(scale) {}

    [[nodiscard]] POINT At(double x, double y) const {
        return POINT{m_left + static_cast<int>(std::lround(x * m_scale)),
                     m_top + static_cast<int>(std::lround(y * m_scale))};
    }
    [[nodiscard]] int Width(double units) const {
        return std::max(1, static_cast<int>(std::lround(units * m_scale)));
    }

    // A filled shape outlined in `line` (width in units; 0: no outline).
    void Shape(const std::vector<std::pair<double, double>>& points, COLORREF fill,
               COLORREF line = 0, double lineWidth = 0) {
        std::vector<POINT> at;
        at.reserve(points.size());
        for (const auto& [x, y] : points)
            at.push_back(At(x, y));
        Use(fill, line, lineWidth, [&] { Polygon(m_dc, at.data(), static_cast<int>(at.size())); });
    }
    void Line(const std::vector<std::pair<double, double>>& points, COLORREF colour,
              double lineWidth) {
        std::vector<POINT> at;
        at.reserve(points.size());
        for (const auto& [x, y] : points)
            at.push_back(At(x, y));
        Use(kKey, colour, lineWidth,
            [&] { Polyline(m_dc, at.data(), static_cast<int>(at.size())); });
    }
    void Circle(double x, double y, double radius, COLORREF fill, COLORREF line = 0,
                double lineWidth = 0, bool isHollow = false) {
        const POINT a = At(x - radius, y - radius);
        const POINT b = At(x + radius, y + radius);
        Use(
            fill, line, lineWidth, [&] { Ellipse(m_dc, a.x, a.y, b.x, b.y); }, isHollow);
    }
    void Box(double left, double top, double right, double bottom, COLORREF fill) {
        const POINT a = At(left, top);
        const POINT b = At(right, bottom);
        Use(fill, 0, 0, [&] { Rectangle(m_dc, a.x, a.y, b.x + 1, b.y + 1); });
    }

private:
    void Use(COLORREF fill, COLORREF line, double lineWidth, const std::function<void()>& draw,
             bool isHollow = false) {
        HBRUSH brush = CreateSolidBrush(fill);
        HPEN pen =
            lineWidth > 0 ? CreatePen(PS_SOLID, Width(lineWidth), line) : CreatePen(PS_NULL, 0, 0);
        HGDIOBJ oldBrush =
            SelectObject(m_dc, isHollow ? GetStockObject(NULL_BRUSH) : static_cast<HGDIOBJ>(brush));
        HGDIOBJ oldPen = SelectObject(m_dc, pen);
        draw();
        SelectObject(m_dc, oldPen);
        SelectObject(m_dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }

    HDC m_dc;
    int m_left;
    int m_top;
    double m_scale;
};

using Symbol = std::function<void(Pen&, const Palette&)>;

// ---- Symbols in the 32 x 32 grid ----

void ArrowSymbol(Pen& pen, const Palette& p) { // navigation: the heading arrow
    pen.Shape({{16, 3}, {27, 28}, {16, 22}, {5, 28}}, p.symbol, p.accent, 1);
}

void MapSymbol(Pen& pen, const Palette& p) { // a folded map with a route
    pen.Shape({{3, 7}, {11, 4}, {21, 7}, {29, 4}, {29, 25}, {21, 28}, {11, 25}, {3, 28}}, p.symbol);
    pen.Line({{11, 4}, {11, 25}}, p.plate, 1);
    pen.Line({{21, 7}, {21, 28}}, p.plate, 1);
    pen.Line({{6, 22}, {13, 14}, {19, 18}, {26, 9}}, p.accent, 2);
}

void DatasetSymbol(Pen& pen, const Palette& p) { // stacked map sheets
    for (int sheet = 2; sheet >= 0; --sheet) {
        const double d = sheet * 4.0;
        pen.Shape({{4 + d, 12 - d}, {22 + d, 12 - d}, {22 + d, 28 - d}, {4 + d, 28 - d}},
                  sheet == 0 ? p.symbol : p.rim, p.plate, 1);
    }
    pen.Line({{7, 23}, {12, 17}, {16, 20}, {20, 15}}, p.accent, 2);
}

void MovingMapSymbol(Pen& pen, const Palette& p) { // a map under the heading arrow
    MapSymbol(pen, p);
    pen.Shape({{16, 9}, {22, 24}, {16, 20}, {10, 24}}, p.accent, p.plate, 1);
}

void GearSymbol(Pen& pen, const Palette& p) { // presettings
    std::vector<std::pair<double, double>> teeth;
    for (int i = 0; i < 16; ++i) {
        const double angle = i * 3.14159265358979 / 8;
        const double radius = (i % 2 == 0) ? 14 : 10;
        for (const double side : {-0.18, 0.18}) {
            teeth.emplace_back(16 + radius * std::cos(angle + side),
                               16 + radius * std::sin(angle + side));
        }
    }
    pen.Shape(teeth, p.symbol);
    pen.Circle(16, 16, 5, p.plate);
}

void HelpSymbol(Pen& pen, const Palette& p) { // an "i" in a ring
    pen.Circle(16, 16, 13, p.plate, p.symbol, 2.5, true);
    pen.Circle(16, 9, 2.5, p.symbol);
    pen.Box(14, 13, 18, 24, p.symbol);
    pen.Box(12, 23, 20, 25, p.symbol);
}

void QuitSymbol(Pen& pen, const Palette& p) { // the power sign
    pen.Circle(16, 17, 11, p.plate, p.symbol, 3, true);
    pen.Box(12, 2, 20, 14, p.plate);
    pen.Box(14.5, 3, 17.5, 17, p.accent);
}

void PlusSymbol(Pen& pen, const Palette& p) {
    pen.Box(14, 6, 18, 26, p.symbol);
    pen.Box(6, 14, 26, 18, p.symbol);
}

void MinusSymbol(Pen& pen, const Palette& p) {
    pen.Box(6, 14, 26, 18, p.symbol);
}

void ExpandSymbol(Pen& pen, const Palette& p) { // two chevrons to the left
    pen.Line({{16, 6}, {7, 16}, {16, 26}}, p.symbol, 3);
    pen.Line({{26, 6}, {17, 16}, {26, 26}}, p.symbol, 3);
}

void NorthUpSymbol(Pen& pen, const Palette& p) { // a compass needle, north red
    pen.Circle(16, 16, 13, p.plate, p.rim, 1.5, true);
    pen.Shape({{16, 4}, {20, 16}, {12, 16}}, p.accent);
    pen.Shape({{12, 16}, {20, 16}, {16, 28}}, p.symbol);
}

void HeadingUpSymbol(Pen& pen, const Palette& p) { // the needle turned, the arrow ahead
    pen.Circle(16, 16, 13, p.plate, p.rim, 1.5, true);
    pen.Shape({{24, 7}, {19, 19}, {13, 13}}, p.accent);
    pen.Shape({{16, 9}, {22, 24}, {16, 20}, {10, 24}}, p.symbol);
}

void NamesSymbol(Pen& pen, const Palette& p) { // a street sign with lines of text
    pen.Shape({{3, 9}, {24, 9}, {29, 16}, {24, 23}, {3, 23}}, p.symbol);
    pen.Box(6, 12, 20, 14, p.plate);
    pen.Box(6, 18, 16, 20, p.plate);
}

void BarSymbol(Pen& pen, const Palette& p) { // the button bar: three rows
    for (const double top : {7.0, 14.0, 21.0})
        pen.Box(6, top, 26, top + 4, p.symbol);
}

void ZoomToRouteSymbol(Pen& pen, const Palette& p) { // a route inside a frame
    pen.Line({{4, 10}, {4, 4}, {10, 4}}, p.symbol, 2);
    pen.Line({{22, 4}, {28, 4}, {28, 10}}, p.symbol, 2);
    pen.Line({{28, 22}, {28, 28}, {22, 28}}, p.symbol, 2);
    pen.Line({{10, 28}, {4, 28}, {4, 22}}, p.symbol, 2);
    pen.Line({{9, 23}, {14, 13}, {19, 19}, {23, 9}}, p.accent, 2.5);
}

void PreviousSymbol(Pen& pen, const Palette& p) {
    pen.Shape({{22, 5}, {22, 27}, {7, 16}}, p.symbol);
}

void NextSymbol(Pen& pen, const Palette& p) {
    pen.Shape({{10, 5}, {10, 27}, {25, 16}}, p.symbol);
}

void NightSymbol(Pen& pen, const Palette& p) { // a crescent moon
    pen.Circle(15, 16, 11, p.accent);
    pen.Circle(20, 12, 10, p.plate);
}

void PickSymbol(Pen& pen, const Palette& p) { // cross hairs
    pen.Circle(16, 16, 9, p.plate, p.symbol, 2, true);
    pen.Box(15, 3, 17, 12, p.symbol);
    pen.Box(15, 20, 17, 29, p.symbol);
    pen.Box(3, 15, 12, 17, p.symbol);
    pen.Box(20, 15, 29, 17, p.symbol);
    pen.Circle(16, 16, 2, p.accent);
}

void SwitchOffSymbol(Pen& pen, const Palette& p) { // an empty ring
    pen.Circle(16, 16, 10, p.plate, p.symbol, 3, true);
}

void SwitchOnSymbol(Pen& pen, const Palette& p) { // the ring, ticked
    pen.Circle(16, 16, 10, p.plate, p.symbol, 3, true);
    pen.Line({{9, 16}, {14, 22}, {25, 7}}, p.accent, 4);
}

void Speaker(Pen& pen, const Palette& p) {
    pen.Shape({{3, 12}, {8, 12}, {15, 5}, {15, 27}, {8, 20}, {3, 20}}, p.symbol);
}

void LouderSymbol(Pen& pen, const Palette& p) {
    Speaker(pen, p);
    pen.Box(22, 10, 25, 22, p.accent);
    pen.Box(18, 14.5, 29, 17.5, p.accent);
}

void QuieterSymbol(Pen& pen, const Palette& p) {
    Speaker(pen, p);
    pen.Box(18, 14.5, 29, 17.5, p.accent);
}

// ---- Pictures ----

struct Picture {
    std::string file;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows top-down
};

// 0x00RRGGBB of a colour.
std::uint32_t PixelOf(COLORREF colour) {
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

Picture Draw(const std::string& file, int width, int height, COLORREF background,
             const std::function<void(HDC)>& draw) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(width, height, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    Picture picture{file, width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.pixels.push_back(PixelOf(GetPixel(dc, x, y)));
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return picture;
}

// A rounded plate of the state's colours with the symbol in a square at its right (wide plates)
// or in its middle (square plates).
Picture Face(UINT id, int width, int height, const Symbol& symbol, const Palette& palette) {
    return Draw("b" + std::to_string(id) + ".bmp", width, height, kKey, [&](HDC dc) {
        HBRUSH brush = CreateSolidBrush(palette.plate);
        HPEN pen = CreatePen(PS_SOLID, 2, palette.rim);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        RoundRect(dc, 1, 1, width - 1, height - 1, 12, 12);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        const int side = height - 8;
        const int left = width > height ? width - side - 8 : (width - side) / 2;
        Pen grid(dc, left, 4, side / 32.0);
        symbol(grid, palette);
    });
}

// The three faces of a button.
void AddButton(std::vector<Picture>& pictures, UINT id, int width, int height, const Symbol& symbol,
               const Symbol& pressedSymbol = {}) {
    pictures.push_back(Face(id, width, height, symbol, kNormal));
    pictures.push_back(
        Face(id + 1, width, height, pressedSymbol ? pressedSymbol : symbol, kPressed));
    pictures.push_back(Face(id + 3, width, height, symbol, kDisabled));
}

Picture Logo() { // a road running to the horizon under the heading arrow
    return Draw("b1184.bmp", 128, 52, RGB(16, 44, 70), [](HDC dc) {
        Pen pen(dc, 0, 0, 52 / 32.0);
        pen.Shape({{30, 32}, {48, 6}, {52, 6}, {70, 32}}, RGB(90, 96, 104));
        pen.Line({{50, 9}, {50, 13}}, RGB(255, 255, 255), 1);
        pen.Line({{50, 17}, {50, 23}}, RGB(255, 255, 255), 1.3);
        pen.Line({{50, 27}, {50, 32}}, RGB(255, 255, 255), 1.6);
        Pen arrow(dc, 8, 6, 40 / 32.0);
        ArrowSymbol(arrow, kNormal);
        Pen map(dc, 84, 10, 32 / 32.0);
        MapSymbol(map, kNormal);
    });
}

Picture ProgramIcon() { // the heading arrow on a round badge
    return Draw("i1.bmp", 32, 32, RGB(255, 255, 255), [](HDC dc) {
        Pen pen(dc, 0, 0, 1.0);
        pen.Circle(16, 16, 15.5, RGB(24, 70, 104), RGB(120, 170, 205), 1);
        Pen arrow(dc, 5, 4, 22 / 32.0);
        ArrowSymbol(arrow, kNormal);
    });
}

// The traffic list's icons: a warning triangle, and with a location pin for a message whose
// location is known.
Picture TrafficIcon(UINT id, bool hasLocation) {
    return Draw("b" + std::to_string(id) + ".bmp", 20, 16, kKey, [hasLocation](HDC dc) {
        Pen pen(dc, 0, 0, 0.5);
        pen.Shape({{16, 2}, {30, 29}, {2, 29}}, RGB(255, 255, 255), RGB(210, 20, 20), 4);
        pen.Box(14.5, 11, 17.5, 21, RGB(0, 0, 0));
        pen.Box(14.5, 24, 17.5, 26, RGB(0, 0, 0));
        if (hasLocation) {
            pen.Shape({{29, 30}, {24, 22}, {34, 22}}, RGB(30, 90, 220));
            pen.Circle(29, 20, 5, RGB(30, 90, 220));
            pen.Circle(29, 20, 2, RGB(255, 255, 255));
        }
    });
}

// The map's direction arrow to the destination, turned by `index` times 30 degrees to the left
// of straight up (index 0: straight ahead), on a square plate: it is copied as it is.
Picture DirectionArrow(UINT id, int index) {
    return Draw("b" + std::to_string(id) + ".bmp", 47, 47, kNormal.plate, [index](HDC dc) {
        Pen pen(dc, 0, 0, 47 / 32.0);
        pen.Shape({{0.5, 0.5}, {31.5, 0.5}, {31.5, 31.5}, {0.5, 31.5}}, kNormal.plate, kNormal.rim,
                  1);
        const double angle = index * 30.0 * 3.14159265358979 / 180.0;
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        std::vector<std::pair<double, double>> turned;
        for (const auto& [x, y] : std::vector<std::pair<double, double>>{
                 {0, -12}, {9, -1}, {3.5, -1}, {3.5, 11}, {-3.5, 11}, {-3.5, -1}, {-9, -1}})
            turned.emplace_back(16 + x * c + y * s, 16 - x * s + y * c);
        pen.Shape(turned, kNormal.symbol, kNormal.accent, 1);
    });
}

// The position marker of a map that does not follow the car: a red disc with a white middle on
// blue, the colour the map keys out.
Picture PositionMarker() {
    return Draw("b390.bmp", 20, 20, RGB(0, 0, 255), [](HDC dc) {
        Pen pen(dc, 0, 0, 20 / 32.0);
        pen.Circle(16, 16, 13, RGB(230, 20, 20), RGB(90, 0, 0), 2);
        pen.Circle(16, 16, 5, RGB(255, 255, 255));
    });
}

// The destination flag on white, the colour the map keys out: its pole stands at the lower left.
Picture DestinationFlag() {
    return Draw("b1089.bmp", 16, 16, RGB(255, 255, 255), [](HDC dc) {
        Pen pen(dc, 0, 0, 0.5);
        pen.Box(0, 2, 3, 31, RGB(40, 40, 40));
        pen.Shape({{4, 1}, {30, 1}, {24, 8}, {30, 15}, {4, 15}}, RGB(220, 30, 30), RGB(120, 0, 0),
                  1);
    });
}

// A colour between a (at 0) and b (at 1).
COLORREF Blend(COLORREF a, COLORREF b, double at) {
    const auto mix = [at](int from, int to) {
        return static_cast<BYTE>(std::lround(from + (to - from) * at));
    };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
               mix(GetBValue(a), GetBValue(b)));
}

// Fills rows top to bottom - 1 in `bands` bands from colour `from` to colour `to`.
void Gradient(Pen& pen, int width, int top, int bottom, int bands, COLORREF from, COLORREF to) {
    for (int band = 0; band < bands; ++band) {
        const int bandTop = top + (bottom - top) * band / bands;
        const int bandBottom = top + (bottom - top) * (band + 1) / bands - 1;
        pen.Box(0, bandTop, width - 1, bandBottom,
                Blend(from, to, bands > 1 ? static_cast<double>(band) / (bands - 1) : 0));
    }
}

// The splash: the heading arrow over a road running to the horizon, in a framed card.
Picture Splash() {
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 150;
    static constexpr int kHorizon = 78;
    return Draw("Splash.bmp", kWidth, kHeight, RGB(16, 44, 70), [](HDC dc) {
        Pen pixels(dc, 0, 0, 1.0);
        Gradient(pixels, kWidth, 0, kHorizon, 13, RGB(12, 36, 62), RGB(92, 144, 184));
        Gradient(pixels, kWidth, kHorizon, kHeight, 12, RGB(30, 62, 58), RGB(18, 40, 40));
        pixels.Shape({{54, kHeight}, {97, kHorizon}, {103, kHorizon}, {146, kHeight}},
                     RGB(90, 96, 104));
        pixels.Line({{100, 84}, {100, 92}}, RGB(255, 255, 255), 2);
        pixels.Line({{100, 102}, {100, 114}}, RGB(255, 255, 255), 3);
        pixels.Line({{100, 126}, {100, kHeight}}, RGB(255, 255, 255), 4);
        Pen arrow(dc, 70, 12, 60 / 32.0);
        ArrowSymbol(arrow, kNormal);
        Pen frame(dc, 0, 0, 1.0);
        frame.Line({{1, 1}, {kWidth - 2, 1}, {kWidth - 2, kHeight - 2}, {1, kHeight - 2}, {1, 1}},
                   kNormal.rim, 2);
    });
}

// The main menu's background at the layout's 240 x 320: a dark band under the title, faint roads
// in the margins beside the buttons and a band under the logo and indicators.
Picture MenuBackground() {
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 320;
    return Draw("Background.bmp", kWidth, kHeight, RGB(16, 44, 70), [](HDC dc) {
        Pen pixels(dc, 0, 0, 1.0);
        Gradient(pixels, kWidth, 0, kHeight, 20, RGB(12, 34, 56), RGB(30, 72, 104));
        static constexpr COLORREF kRoad = RGB(36, 82, 116);
        static constexpr COLORREF kRoadLine = RGB(58, 108, 144);
        const std::vector<std::vector<std::pair<double, double>>> roads = {
            {{-10, 60}, {14, 96}, {10, 160}, {18, 230}, {-10, 290}},
            {{250, 70}, {226, 120}, {232, 190}, {222, 250}, {250, 300}},
            {{-10, 300}, {60, 288}, {140, 296}, {250, 284}},
        };
        for (const auto& road : roads) {
            pixels.Line(road, kRoad, 7);
            pixels.Line(road, kRoadLine, 1);
        }
        pixels.Box(0, 0, kWidth - 1, 41, RGB(8, 24, 42));
        pixels.Box(0, 42, kWidth - 1, 42, kNormal.rim);
        pixels.Box(0, 286, kWidth - 1, kHeight - 1, RGB(8, 24, 42));
        pixels.Box(0, 285, kWidth - 1, 285, kNormal.rim);
    });
}

// Whether the middle of pixel (x, y) lies in the box [left, right) x [top, bottom) with corners
// rounded to radius.
bool InRoundBox(int x, int y, const RECT& box, int radius) {
    if (x < box.left || x >= box.right || y < box.top || y >= box.bottom)
        return false;
    const double centreX = std::clamp(x + 0.5, static_cast<double>(box.left + radius),
                                      static_cast<double>(box.right - radius));
    const double centreY = std::clamp(y + 0.5, static_cast<double>(box.top + radius),
                                      static_cast<double>(box.bottom - radius));
    return std::hypot(x + 0.5 - centreX, y + 0.5 - centreY) <= radius;
}

RECT Inflated(const RECT& box, int by) {
    return RECT{box.left - by, box.top - by, box.right + by, box.bottom + by};
}

using LayoutSection = std::vector<std::pair<std::u16string, std::u16string>>;

// The value of the section's first key of that name (without letter case, as the program reads
// the layout); none when it is missing.
std::optional<std::u16string> LayoutValue(const LayoutSection& section, LPCWSTR key) {
    for (const auto& [name, value] : section) {
        if (platform::CompareNoCase(name, key) == 0)
            return value;
    }
    return std::nullopt;
}

// A dialog's background from its layout section, in file.
Picture DialogBackground(const std::string& file, const LayoutSection& section) {
    static constexpr COLORREF kDialogPanel = RGB(234, 239, 244);
    static constexpr COLORREF kDialogDark = 0x78571E; // the pages' colour
    static constexpr int kFrameRadius = 6;
    static constexpr int kPlateRadius = 4;
    const ScreenDescSize size = ScreenDesc::ParseSize(LayoutValue(section, u"Size").value_or(u""));
    std::vector<RECT> plates;
    for (const auto& [key, value] : section) {
        const ScreenDescItem item = ScreenDesc::ParseRectAndFlag(value);
        if (item.kind >= 1 && item.kind <= 8)
            plates.push_back(Inflated(
                RECT{item.rect.left, item.rect.top, item.rect.right, item.rect.bottom}, 2));
    }
    Picture picture{file, size.width, size.height, {}};
    if (size.width <= 0 || size.height <= 0)
        return picture;
    const RECT outer{0, 0, size.width, size.height};
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            COLORREF colour = kKey;
            if (InRoundBox(x, y, Inflated(outer, -3), kFrameRadius - 3))
                colour = kDialogPanel;
            else if (InRoundBox(x, y, Inflated(outer, -2), kFrameRadius - 2))
                colour = kNormal.rim;
            else if (InRoundBox(x, y, outer, kFrameRadius))
                colour = kDialogDark;
            for (const RECT& plate : plates) {
                if (InRoundBox(x, y, Inflated(plate, -1), kPlateRadius - 1))
                    colour = kDialogDark;
                else if (InRoundBox(x, y, plate, kPlateRadius))
                    colour = kNormal.rim;
            }
            picture.pixels.push_back(PixelOf(colour));
        }
    }
    return picture;
}

// The dialog backgrounds the layout text names, one for each section with a "Bitmap"; none
// (with a message) when such a section has no size.
std::optional<std::vector<Picture>> DialogBackgrounds(const std::string& layout) {
    std::vector<Picture> pictures;
    std::set<std::u16string> sections;
    std::istringstream lines(layout);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t close = line.find(']');
        if (line.empty() || line[0] != '[' || close == std::string::npos)
            continue;
        const std::u16string name = platform::AnsiToWide(line.substr(1, close - 1));
        if (!sections.insert(platform::ToLower(name)).second)
            continue; // the settings reader takes a section's first header only
        const LayoutSection section = IniProfile::GetSectionOfText(layout, name.c_str());
        const std::optional<std::u16string> file = LayoutValue(section, u"Bitmap");
        if (!file.has_value())
            continue;
        pictures.push_back(DialogBackground(platform::WideToAnsi(*file), section));
        if (pictures.back().pixels.empty()) {
            (void)std::fprintf(stderr, "skinbitmaps: section [%s] has no size for %s\n",
                               platform::WideToAnsi(name).c_str(), pictures.back().file.c_str());
            return std::nullopt;
        }
    }
    return pictures;
}

std::vector<Picture> AllPictures() {
    std::vector<Picture> pictures = {Logo(), ProgramIcon(), TrafficIcon(3, false),
                                     TrafficIcon(4, true)};
    constexpr int kMenuWidth = 200;
    constexpr int kMenuHeight = 32; // the menu's buttons at the layout's 240 x 320
    const std::pair<UINT, Symbol> menu[] = {
        {585, DatasetSymbol}, {420, ArrowSymbol}, {430, MapSymbol},  {1102, MovingMapSymbol},
        {440, GearSymbol},    {450, HelpSymbol},  {460, QuitSymbol},
    };
    for (const auto& [id, symbol] : menu)
        AddButton(pictures, id, kMenuWidth, kMenuHeight, symbol);
    constexpr int kBarSide = 40;
    // North-up toggles: its pressed face (895) is also the disabled one, showing heading-up.
    pictures.push_back(Face(894, kBarSide, kBarSide, NorthUpSymbol, kNormal));
    pictures.push_back(Face(895, kBarSide, kBarSide, HeadingUpSymbol, kPressed));
    const std::pair<UINT, Symbol> bar[] = {
        {890, ExpandSymbol}, {898, PlusSymbol},        {902, MinusSymbol},    {906, NamesSymbol},
        {910, BarSymbol},    {946, ZoomToRouteSymbol}, {950, PreviousSymbol}, {954, NextSymbol},
        {1075, NightSymbol}, {1097, PickSymbol},
    };
    for (const auto& [id, symbol] : bar)
        AddButton(pictures, id, kBarSide, kBarSide, symbol);
    // The map's direction arrows in the order of their index.
    const UINT arrows[] = {941, 937, 940, 930, 931, 932, 933, 934, 935, 936, 938, 939};
    for (int index = 0; index < 12; ++index)
        pictures.push_back(DirectionArrow(arrows[index], index));
    pictures.push_back(PositionMarker());
    pictures.push_back(DestinationFlag());
    AddButton(pictures, 974, kBarSide, kBarSide, LouderSymbol);
    AddButton(pictures, 970, kBarSide, kBarSide, QuieterSymbol);
    // The settings pages' state buttons show a switch off (id) or on (id + 1). Their ids lie
    // two apart, so one button's faces can fall on another's: an off face comes before an on
    // face, which comes before a disabled one.
    const UINT switches[] = {1045, 1047, 1049, 1051, 1053, 1055, 1058, 1061, 1069, 1082, 1092,
                             1106, 1108, 1132, 1177, 1179, 1191, 1222, 1224, 1226, 1228};
    for (const UINT id : switches)
        pictures.push_back(Face(id, kBarSide, kBarSide, SwitchOffSymbol, kNormal));
    for (const UINT id : switches)
        pictures.push_back(Face(id + 1, kBarSide, kBarSide, SwitchOnSymbol, kPressed));
    for (const UINT id : switches)
        pictures.push_back(Face(id + 3, kBarSide, kBarSide, SwitchOffSymbol, kDisabled));
    std::vector<Picture> unique;
    for (Picture& picture : pictures) {
        const bool isTaken = std::any_of(unique.begin(), unique.end(), [&](const Picture& kept) {
            return kept.file == picture.file;
        });
        if (!isTaken)
            unique.push_back(std::move(picture));
    }
    return unique;
}

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Writes the picture into folder as a bitmap file, with a PNG beside it when asked.
bool WritePicture(const Picture& picture, const std::string& folder, bool isPng) {
    testdata::BitmapSpec spec;
    spec.width = picture.width;
    spec.height = picture.height;
    spec.pixels = picture.pixels;
    const std::string path = folder + "/" + picture.file;
    if (!WriteBytes(path, testdata::WriteBitmapFile(spec)) ||
        (isPng && !WriteBytes(path + ".png", platform::EncodePng(picture.pixels, picture.width,
                                                                 picture.height)))) {
        (void)std::fprintf(stderr, "skinbitmaps: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The layout file's bytes; none (with a message) when it cannot be read.
std::optional<std::string> ReadLayout(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        (void)std::fprintf(stderr, "skinbitmaps: cannot read %s\n", path.c_str());
        return std::nullopt;
    }
    return std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program's skin files: the splash, the menu's background and the layout's dialog
// backgrounds; none (with a message) when a name is not a bitmap file's in the skin folder or
// names two pictures.
std::optional<std::vector<Picture>> SkinPictures(const std::optional<std::string>& layout) {
    std::vector<Picture> pictures = {Splash(), MenuBackground()};
    if (layout.has_value()) {
        auto dialogs = DialogBackgrounds(*layout);
        if (!dialogs.has_value())
            return std::nullopt;
        std::move(dialogs->begin(), dialogs->end(), std::back_inserter(pictures));
    }
    std::set<std::string> names;
    for (const Picture& picture : pictures) {
        const std::string name =
            platform::WideToAnsi(platform::ToLower(platform::AnsiToWide(picture.file)));
        const bool isPlainBitmap = name.size() > 4 && name.ends_with(".bmp") &&
                                   name.find_first_of("/\\") == std::string::npos;
        if (!isPlainBitmap || !names.insert(name).second) {
            (void)std::fprintf(stderr,
                               "skinbitmaps: \"%s\" is no bitmap file of the skin folder or is "
                               "named twice\n",
                               picture.file.c_str());
            return std::nullopt;
        }
    }
    return pictures;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> folders;
    std::optional<std::string> layout;
    bool isPng = false;
    bool isUsage = true;
    for (int i = 1; i < argc && isUsage; ++i) {
        const std::string argument = argv[i];
        if (argument == "--png") {
            isPng = true;
        } else if (argument == "--layout") {
            isUsage = i + 1 < argc;
            if (isUsage) {
                layout = ReadLayout(argv[++i]);
                if (!layout.has_value())
                    return 1;
            }
        } else {
            folders.push_back(argument);
        }
    }
    if (!isUsage || folders.empty() || folders.size() > 2) {
        (void)std::fprintf(
            stderr, "usage: skinbitmaps FOLDER [SKINFOLDER] [--layout SCREENDESC] [--png]\n");
        return 2;
    }
    const std::string folder = folders[0];
    const std::string skinFolder = folders.back();
    const auto skinPictures = SkinPictures(layout);
    if (!skinPictures.has_value())
        return 1;
    for (const Picture& picture : *skinPictures) {
        if (!WritePicture(picture, skinFolder, isPng))
            return 1;
    }
    std::string bitmapLines;
    std::string iconLines;
    for (const Picture& picture : AllPictures()) {
        if (!WritePicture(picture, folder, isPng))
            return 1;
        const bool isIcon = picture.file[0] == 'i';
        (isIcon ? iconLines : bitmapLines) +=
            picture.file.substr(1, picture.file.size() - 5) + "\t" + picture.file + "\n";
    }
    const std::string source =
        "; The pictures every language bundle carries, drawn by skinbitmaps.\n"
        "[bitmaps]\n" +
        bitmapLines + "[icons]\n" + iconLines;
    if (!WriteBytes(folder + "/pictures.txt",
                    std::vector<std::uint8_t>(source.begin(), source.end()))) {
        (void)std::fprintf(stderr, "skinbitmaps: cannot write %s/pictures.txt\n", folder.c_str());
        return 1;
    }
    return 0;
}
