// The map view's route overlay over the draw town: pieces, extent and areas from scripted
// routes, the partial route of a part without iterator, the polyline batch and the route band
// and line drawn in preview and guidance.

#include "mapdisplay/tests/mapviewfixture.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/golden.h"

#include "platform/gdi/gdi.h"
#include "platform/window/paint.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace {

using namespace mapviewtest;

GeoPoint Grid(int i, int j) {
    return MapPointToDegrees(testdata::DrawTownWriter::GridPoint(i, j));
}

GeoRect BoundsOf(const std::vector<GeoPoint>& points) {
    GeoRect r(180, 180, -180, -180);
    for (const GeoPoint& p : points) {
        r.Extend(p);
    }
    return r;
}

GeoRect Inflated(GeoRect r) {
    r.Inflate((r.maxX - r.minX) * 0.1f, (r.maxY - r.minY) * 0.1f);
    return r;
}

// Route colour magenta, night colour pink.
constexpr const char* kRouteSettings =
    "[Map]\r\nRouteColor=16711935\r\nRouteColorNight=8388863\r\n";
constexpr COLORREF kDayRgb = RGB(255, 0, 255);
constexpr COLORREF kNightRgb = RGB(255, 0, 128);

class MapRouteTest : public MapViewFixture {
protected:
    std::uint32_t StreetId(int i, int j) const {
        return town.GetDetailIds()[town.GetStreetSegment(i, j, true)];
    }
    RouteIteratorPtr Route(std::vector<RouteRecord> records) const {
        return std::make_shared<ScriptedRoute>(std::move(records));
    }
    // The rows of the column x (client) that carry the colour: first and last.
    std::pair<int, int> ColouredRows(int x, COLORREF colour) {
        const RECT column{OnScreen(POINT{x, 0}).x, OnScreen(POINT{x, 0}).y,
                          OnScreen(POINT{x, 0}).x + 1, OnScreen(POINT{x, m_height}).y};
        const std::vector<std::uint32_t> pixels = Pixels(column);
        int first = -1;
        int last = -1;
        for (std::size_t y = 0; y < pixels.size(); ++y) {
            const std::uint32_t rgb = pixels[y];
            if (RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF) == colour) {
                if (first < 0) {
                    first = static_cast<int>(y);
                }
                last = static_cast<int>(y);
            }
        }
        return {first, last};
    }
};

TEST_F(MapRouteTest, SetRouteBuildsPiecesExtentAndAreas) {
    Start(240, 320, kRouteSettings, false, false);
    ShowWhole();
    const GeoPoint a = Grid(1, 1), b = Grid(2, 1), c = Grid(3, 1), d = Grid(4, 1), e = Grid(5, 1),
                   f = Grid(6, 1);
    const GeoPoint none{FLT_MAX, 0};
    const struct {
        const char* name;
        std::vector<RouteRecord> records;
        std::vector<std::vector<GeoPoint>> pieces;
        GeoPoint destination;
    } cases[] = {
        {"one record gives one piece", {ScriptedRecord(a, 7, {a, b})}, {{a, b}}, b},
        {"shaped from the element in its own order",
         {ScriptedRecord(a, 1, {a, b}), ScriptedRecord(b, 2), ScriptedRecord(c, StreetId(3, 1)),
          ScriptedRecord(none, 3), ScriptedRecord(e, 4, {e, f})},
         {{a, b}, {a, c}, {c, d}, {d, e}, {e, f}},
         f},
        {"shaped from the element reversed",
         {ScriptedRecord(a, 1, {a, b}), ScriptedRecord(b, 2), ScriptedRecord(d, StreetId(3, 1)),
          ScriptedRecord(none, 3), ScriptedRecord(e, 4, {e, f})},
         {{a, b}, {a, d}, {d, c}, {c, e}, {e, f}},
         f},
        {"an element that cannot be fetched adds no point",
         {ScriptedRecord(a, 1, {a, b}), ScriptedRecord(b, 2), ScriptedRecord(c, 0xFFFFFFF0u),
          ScriptedRecord(none, 3), ScriptedRecord(e, 4, {e, f})},
         {{a, b}, {a, c}, {c}, {c, e}, {e, f}},
         f},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(view->SetRoute({Route(t.records)}), t.destination);
        const std::vector<RoutePiece> pieces = view->GetRoutePieces();
        ASSERT_EQ(pieces.size(), t.pieces.size());
        std::vector<GeoPoint> all;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_EQ(pieces[i].points, t.pieces[i]) << i;
            all.insert(all.end(), t.pieces[i].begin(), t.pieces[i].end());
        }
        EXPECT_TRUE(view->HasRoute());
        EXPECT_EQ(view->GetRouteStart(), t.pieces.front().front());
        EXPECT_EQ(view->GetDestination(), t.destination);
        EXPECT_EQ(view->GetRouteExtent(), Inflated(BoundsOf(all)));
        EXPECT_EQ(view->GetAreas(), std::vector<GeoRect>{Inflated(BoundsOf(all))});
    }
    view->ClearRoute();
    EXPECT_FALSE(view->HasRoute());
    EXPECT_EQ(view->GetDestination(), GeoPoint{});
}

TEST_F(MapRouteTest, PartsGiveAreasAndAMissingIteratorKeepsThePiecesBuilt) {
    Start(240, 320, kRouteSettings, false, false);
    ShowWhole();
    const GeoPoint a = Grid(1, 1), b = Grid(2, 1), c = Grid(2, 3), d = Grid(4, 4);
    const struct {
        const char* name;
        std::vector<RouteIteratorPtr> parts;
        bool hadRoute;
        GeoPoint result;
        std::size_t pieces;
        std::size_t areas;
        bool invalidated;
    } cases[] = {
        {"two parts",
         {Route({ScriptedRecord(a, 1, {a, b})}), Route({ScriptedRecord(c, 1, {c, d})})},
         false,
         d,
         2,
         2,
         true},
        {"second part not valid",
         {Route({ScriptedRecord(a, 1, {a, b})}), Route({})},
         false,
         {},
         1,
         1,
         true},
        {"second part missing",
         {Route({ScriptedRecord(a, 1, {a, b})}), nullptr},
         false,
         {},
         1,
         1,
         true},
        {"nothing before nor now", {Route({})}, false, {}, 0, 0, false},
        {"a route before, none now", {Route({})}, true, {}, 0, 0, true},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        view->ClearRoute();
        if (t.hadRoute) {
            (void)view->SetRoute({Route({ScriptedRecord(a, 1, {a, b})})});
        }
        driver.RunUntilIdle();
        RECT update{};
        ASSERT_FALSE(GetUpdateRect(view->GetHwnd(), &update, FALSE));
        EXPECT_EQ(view->SetRoute(t.parts), t.result);
        EXPECT_EQ(view->GetRoutePieces().size(), t.pieces);
        EXPECT_EQ(view->GetAreas().size(), t.areas);
        EXPECT_EQ(GetUpdateRect(view->GetHwnd(), &update, FALSE) != FALSE, t.invalidated);
    }
    // Two parts: one inflated area each, the extent over both.
    (void)view->SetRoute(
        {Route({ScriptedRecord(a, 1, {a, b})}), Route({ScriptedRecord(c, 1, {c, d})})});
    EXPECT_EQ(view->GetAreas(),
              (std::vector<GeoRect>{Inflated(BoundsOf({a, b})), Inflated(BoundsOf({c, d}))}));
    EXPECT_EQ(view->GetRouteExtent(), Inflated(BoundsOf({a, b, c, d})));
    const GeoRect before = Canvas().GetVisibleGeoRect();
    view->ZoomToArea(2);
    EXPECT_NE(Canvas().GetVisibleGeoRect(), before);
    const GeoRect shown = Canvas().GetVisibleGeoRect();
    EXPECT_LE(shown.minX, a.x);
    EXPECT_GE(shown.maxX, d.x);
}

TEST(PolylineBatch, FullBatchesContinueWithoutAGap) {
    const struct { int points; } cases[] = {{1}, {2}, {2048}, {2049}, {4100}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.points);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateBitmap(4200, 3, 1, 32, nullptr);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        const RECT all{0, 0, 4200, 3};
        HBRUSH white = CreateSolidBrush(0xFFFFFF);
        FillRect(dc, &all, white);
        DeleteObject(white);
        HPEN pen = CreatePen(PS_SOLID, 1, 0x0000FF);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        PolylineBatch batch(dc);
        for (int x = 0; x < t.points; ++x) {
            batch.Add(POINT{x, 1});
        }
        batch.Flush();
        // Polyline leaves out the last point of each call; one point draws nothing.
        const int drawn = t.points > 1 ? t.points - 1 : 0;
        for (int x = 0; x < 4200; ++x) {
            ASSERT_EQ(GetPixel(dc, x, 1), x < drawn ? COLORREF{0x0000FF} : COLORREF{0xFFFFFF}) << x;
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBitmap);
        DeleteObject(pen);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

TEST_F(MapRouteTest, BandInPreviewAndLineInGuidanceWidths) {
    const struct {
        const char* name;
        bool guidance;
        double scale;
        bool night;
        int width;
    } cases[] = {
        {"preview at 10 m per pixel", false, 10.0, false, 16},
        {"preview at 1 m per pixel", false, 1.0, false, 32},
        {"guidance", true, 2.0, false, 8},
        // The first paint after the first following step, at the view of the skipped paints.
        {"guidance at 1 m per pixel", true, 1.0, false, 8},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        Start(240, 320, kRouteSettings, t.guidance, false);
        ShowWhole();
        // Row 5: the motorway between rows 6 and 7 is drawn over the band where it comes near.
        const GeoPoint from = Grid(3, 5);
        const GeoPoint to = Grid(9, 5);
        const GeoPoint centre{(from.x + to.x) / 2, from.y};
        ASSERT_EQ(view->SetRoute({Route({ScriptedRecord(from, 1, {from, to})})}), to);
        if (IsMapNightMode() != t.night) {
            view->ToggleNightMode();
        }
        Canvas().SetScale(t.scale);
        Canvas().SetCenter(centre);
        if (t.guidance) {
            (void)view->SetPosition(Position(centre, 90, 0));
            view->UpdateFollow();
        }
        driver.RunUntilIdle();
        const POINT c = Canvas().GeoToScreen(centre);
        const COLORREF colour = t.night ? kNightRgb : kDayRgb;
        const auto [first, last] = ColouredRows(c.x + 30, colour);
        ASSERT_GE(first, 0);
        EXPECT_EQ(last - first + 1, t.width);
        if (IsMapNightMode()) {
            view->ToggleNightMode();
        }
        EndRound();
    }
}

// A white memory DC of the view's size with a one-pixel black pen, for DrawRoute.
class RouteCanvas {
public:
    RouteCanvas(int width, int height)
        : m_dc(CreateCompatibleDC(nullptr))
        , m_bitmap(CreateBitmap(width, height, 1, 32, nullptr))
        , m_pen(CreatePen(PS_SOLID, 1, 0)) {
        m_oldBitmap = SelectObject(m_dc, m_bitmap);
        m_oldPen = SelectObject(m_dc, m_pen);
        const RECT all{0, 0, width, height};
        HBRUSH white = CreateSolidBrush(0xFFFFFF);
        FillRect(m_dc, &all, white);
        DeleteObject(white);
    }
    ~RouteCanvas() {
        SelectObject(m_dc, m_oldPen);
        SelectObject(m_dc, m_oldBitmap);
        DeleteObject(m_pen);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    RouteCanvas(const RouteCanvas&) = delete;
    RouteCanvas& operator=(const RouteCanvas&) = delete;
    [[nodiscard]] HDC Dc() const { return m_dc; }
    [[nodiscard]] bool Black(int x, int y) const { return GetPixel(m_dc, x, y) == 0; }
    // Any black pixel within one pixel of (x, y): screen and degrees round trips may move a
    // point by one.
    [[nodiscard]] bool BlackNear(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (Black(x + dx, y + dy)) {
                    return true;
                }
            }
        }
        return false;
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HPEN m_pen;
    HGDIOBJ m_oldBitmap = nullptr;
    HGDIOBJ m_oldPen = nullptr;
};

TEST_F(MapRouteTest, SmallPiecesAreDrawnAsTheirEndPoints) {
    Start(240, 320, kRouteSettings, false, false);
    ShowWhole();
    Canvas().SetScale(10.0);
    Canvas().SetCenter(TownCentre());
    driver.RunUntilIdle();
    const struct {
        const char* name;
        int size; // pixels of the L's legs
        bool cornerDrawn;
    } cases[] = {{"smaller than the route width", 6, false}, {"wider", 20, true}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        const POINT s{100, 100};
        const POINT corner{s.x, s.y + t.size};
        const POINT end{s.x + t.size, s.y + t.size};
        const std::vector<GeoPoint> shape = {Canvas().ScreenToGeo(s), Canvas().ScreenToGeo(corner),
                                             Canvas().ScreenToGeo(end)};
        ASSERT_NE(view->SetRoute({Route({ScriptedRecord(shape.front(), 1, shape)})}), GeoPoint{});
        RouteCanvas canvas(240, 320);
        view->DrawRoute(canvas.Dc());
        EXPECT_EQ(canvas.BlackNear(corner.x, corner.y - 1), t.cornerDrawn);
        // The diagonal from the first to the last point passes its middle.
        EXPECT_EQ(canvas.BlackNear(s.x + t.size / 2, s.y + t.size / 2), !t.cornerDrawn);
    }
}

TEST_F(MapRouteTest, TheVehicleCutBeginsTheRouteAtTheMarker) {
    const struct {
        const char* name;
        bool guidance;
        bool cut;
    } cases[] = {{"guidance", true, true}, {"preview", false, false}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        StartOverTown(kRouteSettings, t.guidance, false);
        driver.RunUntilIdle();
        const POINT c = Canvas().GeoToScreen(TownCentre());
        (void)view->SetPosition(Position(Canvas().ScreenToGeo(c), 90, 0));
        view->UpdateFollow();
        driver.RunUntilIdle();
        const POINT at = Canvas().GeoToScreen(Canvas().ScreenToGeo(c));
        std::vector<GeoPoint> line;
        for (int x = 20; x <= 220; x += 10) {
            line.push_back(Canvas().ScreenToGeo(POINT{x, at.y}));
        }
        ASSERT_NE(view->SetRoute({Route({ScriptedRecord(line.front(), 1, line)})}), GeoPoint{});
        // The cut moves at the follow steps only, and only forward: a position behind it (a
        // jump back of the matched position) keeps it.
        for (const int back : {0, 40}) {
            SCOPED_TRACE(back);
            (void)view->SetPosition(
                Position(Canvas().ScreenToGeo(POINT{at.x + 1 - back, at.y}), 90, 0));
            view->UpdateFollow();
            RouteCanvas canvas(240, 320);
            view->DrawRoute(canvas.Dc());
            EXPECT_EQ(canvas.Black(25, at.y), !t.cut);
            EXPECT_EQ(canvas.Black(at.x - 30, at.y), !t.cut);
            EXPECT_TRUE(canvas.Black(at.x + 30, at.y));
            EXPECT_TRUE(canvas.Black(210, at.y));
        }
        EndRound();
    }
}

TEST_F(MapRouteTest, FlagsStandOnTheirPoints) {
    StartOverTown(kRouteSettings, false, false);
    driver.RunUntilIdle();
    const POINT s{120, 160};
    view->SetPointList({Canvas().ScreenToGeo(s)});
    Canvas().InvalidateMap();
    driver.RunUntilIdle();
    const POINT p = Canvas().GeoToScreen(Canvas().ScreenToGeo(s));
    const COLORREF flag = RGB(0x00, 0xFF, 0xFF);
    const struct {
        POINT at;
        bool isFlag;
    } cases[] = {{{p.x, p.y - 1}, true},
                 {{p.x + 9, p.y - 10}, true},
                 {{p.x - 1, p.y - 1}, false},
                 {{p.x, p.y}, false},
                 {{p.x + 10, p.y - 1}, false}};
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.at.x << "," << t.at.y);
        EXPECT_EQ(ScreenAt(OnScreen(t.at)) == flag, t.isFlag);
    }
}

TEST_F(MapRouteTest, PreviewAndGuidanceFrames) {
    const struct {
        const char* golden;
        bool guidance;
    } cases[] = {{"route_preview", false}, {"route_guidance", true}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.golden);
        Start(240, 320, kRouteSettings, t.guidance, false);
        ShowWhole();
        const std::vector<GeoPoint> shape = {Grid(3, 3), Grid(6, 3), Grid(6, 8)};
        ASSERT_EQ(view->SetRoute({Route({ScriptedRecord(shape.front(), 1, shape)})}), shape.back());
        view->SetFlagPoint(shape.back());
        Canvas().SetScale(4.0);
        Canvas().SetCenter(Grid(5, 5));
        if (t.guidance) {
            (void)view->SetPosition(Position(Grid(5, 3), 90, 0));
            view->UpdateFollow();
            (void)view->SetPosition(Position(Grid(5, 3), 90, 0));
        }
        Canvas().InvalidateMap();
        driver.RunUntilIdle();
        EXPECT_TRUE(testdata::WindowMatchesGolden(view->GetHwnd(), NAV_MAPDISPLAY_DIR, t.golden));
        EndRound();
    }
}

// Outside guidance the route is drawn whether the traffic and parking overlay asks for the layer
// calls, asks for nothing (its mode 1) or is not there.
TEST_F(MapRouteTest, PreviewDrawsTheRouteWithOrWithoutTheOverlay) {
    enum class Overlay { Drawing, ModeOne, Absent };
    const struct {
        const char* name;
        Overlay overlay;
    } cases[] = {{"overlay drawing", Overlay::Drawing},
                 {"overlay in mode 1", Overlay::ModeOne},
                 {"no overlay", Overlay::Absent}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        Start(240, 320, kRouteSettings, false, false);
        ShowWhole();
        const six::RefCntPtr<ParkingLayer> overlay = view->GetOverlay();
        ASSERT_TRUE(overlay);
        if (t.overlay == Overlay::ModeOne) {
            overlay->SetMode(1);
        } else if (t.overlay == Overlay::Absent) {
            overlay->AttachMapView(nullptr);
        }
        const GeoPoint from = Grid(3, 6);
        const GeoPoint to = Grid(9, 6);
        const GeoPoint centre{(from.x + to.x) / 2, from.y};
        ASSERT_EQ(view->SetRoute({Route({ScriptedRecord(from, 1, {from, to})})}), to);
        Canvas().SetScale(2.0);
        Canvas().SetCenter(centre);
        Canvas().InvalidateMap();
        driver.RunUntilIdle();
        EXPECT_GE(ColouredRows(Canvas().GeoToScreen(centre).x + 30, kDayRgb).first, 0);
        EndRound();
    }
}

TEST_F(MapRouteTest, HighlightLinesInGuidance) {
    Start(240, 320, kRouteSettings, true, false);
    ShowWhole();
    const GeoPoint from = Grid(3, 6);
    const GeoPoint to = Grid(9, 6);
    const GeoPoint centre{(from.x + to.x) / 2, from.y};
    Canvas().SetScale(2.0);
    Canvas().SetCenter(centre);
    (void)view->SetPosition(Position(centre, 90, 0));
    view->UpdateFollow();
    view->SetHighlightLines({{from, to}});
    Canvas().InvalidateMap();
    driver.RunUntilIdle();
    const POINT c = Canvas().GeoToScreen(centre);
    // k = trunc(4 / 2 + 0.5) = 2: max(2 x 8, 2.5 x 8) = 20 pixels in "DestPointColor".
    const auto [first, last] = ColouredRows(c.x + 30, RGB(255, 0, 0));
    ASSERT_GE(first, 0);
    EXPECT_EQ(last - first + 1, 20);
}

// The route takes the night colour while the night flag is set, and the day colour again after.
TEST_F(MapRouteTest, NightColourFollowsTheNightFlag) {
    for (const bool night : {true, false}) {
        SCOPED_TRACE(night);
        Start(240, 320, kRouteSettings, false, false);
        ShowWhole();
        const GeoPoint from = Grid(3, 6);
        const GeoPoint to = Grid(9, 6);
        const GeoPoint centre{(from.x + to.x) / 2, from.y};
        ASSERT_EQ(view->SetRoute({Route({ScriptedRecord(from, 1, {from, to})})}), to);
        if (IsMapNightMode() != night) {
            view->ToggleNightMode();
        }
        Canvas().SetScale(1.0);
        Canvas().SetCenter(centre);
        driver.RunUntilIdle();
        const POINT c = Canvas().GeoToScreen(centre);
        EXPECT_EQ(ColouredRows(c.x + 30, kNightRgb).first >= 0, night);
        EXPECT_EQ(ColouredRows(c.x + 30, kDayRgb).first >= 0, !night);
        EndRound();
    }
}

} // namespace
