// The map view over the draw town in a headless page: set-up, parsers, following, speed zoom,
// the destination arrow, the marker, taps and pick, keys, the position dump, the point list and
// night mode.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/pickrecord.h"
#include "mapdisplay/tests/mapviewfixture.h"

#include "platform/window/input.h"
#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace mapviewtest;

constexpr const char* kDefaults = "[Map]\r\n";

class MapViewTest : public MapViewFixture {
protected:
    // A block middle well inside the shown map, with or without a park or building (types 1 to
    // 930) within a pick's reach.
    std::optional<POINT> BlockMiddleOnScreen(bool withArea) {
        const auto hasArea = [&](GeoPoint g) {
            ElementCursorPtr cursor = facade->QueryArea(
                GeoRect(g.x - 0.0003f, g.y - 0.0003f, g.x + 0.0003f, g.y + 0.0003f), 0, 0);
            for (; cursor && cursor->IsValid(); cursor->Next()) {
                if (cursor->GetTypeCode() >= 1 && cursor->GetTypeCode() <= 930) {
                    return true;
                }
            }
            return false;
        };
        std::optional<POINT> found;
        for (int j = 4; j < 8; ++j) {
            for (int i = 4; i < 8; ++i) {
                const MapPoint corner = testdata::DrawTownWriter::GridPoint(i, j);
                const GeoPoint middle =
                    MapPointToDegrees(MapPoint{corner.x + testdata::DrawTownWriter::kBlock / 2,
                                               corner.y + testdata::DrawTownWriter::kBlock / 2});
                const POINT s = Canvas().GeoToScreen(middle);
                if (s.x >= 20 && s.x <= 210 && s.y >= 20 && s.y <= 290 &&
                    hasArea(middle) == withArea) {
                    found = s;
                }
            }
        }
        return found;
    }
};

TEST(MapViewParsers, SpeedTableAndNonScrollMargins) {
    const struct {
        std::u16string text;
        std::vector<SpeedRange> table;
    } tables[] = {
        {u"0-0.5, 20-1, 60-2, 100-5", {{0, 0.5}, {20, 1}, {60, 2}, {100, 5}}},
        {u"x, 10-1, bad, 30-3", {{10, 1}, {10, 1}, {30, 3}}},
        {u"", {}},
        {u"5-", {}},
    };
    for (const auto& c : tables) {
        EXPECT_EQ(ParseSpeedRanges(c.text), c.table);
    }
    const std::vector<SpeedRange> table = ParseSpeedRanges(u"0-0.5, 20-1, 60-2, 100-5");
    const struct {
        int speed;
        double last;
        double width;
    } lookups[] = {{1, 0, 0.5}, {20, 0, 0.5}, {21, 0, 1}, {60, 0, 1}, {61, 0, 2},
                   {100, 0, 2}, {101, 0, 5},  {0, 1, 1},  {0, 0, 0}};
    for (const auto& c : lookups) {
        EXPECT_EQ(LookUpSpeedRange(table, c.speed, c.last), c.width) << c.speed;
    }
    const struct {
        std::u16string text;
        std::array<int, 4> margins;
    } margins[] = {
        {u"20,20,20,20", {20, 20, 20, 20}},
        {u"10,5,30,0", {10, 5, 30, 0}},
        {u"10,x,30,0", {10, 20, 20, 20}},
        {u"", {20, 20, 20, 20}},
    };
    for (const auto& c : margins) {
        EXPECT_EQ(ParseNonScrollMargins(c.text), c.margins);
    }
}

TEST_F(MapViewTest, SetUpInA240x320Page) {
    Start(240, 320, kDefaults, false, true);
    EXPECT_EQ(view->GetHwnd(), nullptr);
    ShowWhole();
    HWND canvas = view->GetHwnd();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(canvas, GWL_STYLE)), 0x54800000u);
    HWND arrow = view->GetArrowWindow().GetWindow();
    ASSERT_NE(arrow, nullptr);
    EXPECT_FALSE(IsWindowVisible(arrow));
    EXPECT_EQ(GetDlgCtrlID(arrow), 1234);
    RECT arrowRect{};
    GetWindowRect(arrow, &arrowRect);
    const POINT origin = OnScreen(POINT{0, 0});
    EXPECT_EQ(arrowRect.left - origin.x, 193);
    EXPECT_EQ(arrowRect.top - origin.y, 0);
    EXPECT_EQ(arrowRect.right - origin.x, 240);
    EXPECT_EQ(arrowRect.bottom - origin.y, 47);
    const RECT nonScroll = view->GetNonScrollRect();
    const RECT target = view->GetTargetRect();
    EXPECT_EQ(nonScroll.left, 48);
    EXPECT_EQ(nonScroll.top, 64);
    EXPECT_EQ(nonScroll.right, 192);
    EXPECT_EQ(nonScroll.bottom, 256);
    EXPECT_EQ(target.left, 84);
    EXPECT_EQ(target.top, 160);
    EXPECT_EQ(target.right, 156);
    EXPECT_EQ(target.bottom, 256);
    EXPECT_EQ(view->GetSpeedTable().size(), 4u);
    EXPECT_EQ(view->GetDumpPath(), u"\\My Documents\\PKPosition.txt");
    EXPECT_TRUE(view->GetOverlay());

    // Destroyed and shown again: a new canvas window.
    view->Destroy();
    EXPECT_EQ(view->GetHwnd(), nullptr);
    EXPECT_FALSE(IsWindow(canvas));
    ShowWhole();
    EXPECT_NE(view->GetHwnd(), nullptr);
}

TEST_F(MapViewTest, NorthUpReCentresWhenLeavingTheNonScrollRect) {
    StartOverTown(kDefaults, false, true);
    const GeoPoint centre = TownCentre();
    const GeoPoint step = Canvas().ScreenToGeo(POINT{120 + 30, 160}) - centre; // 30 px east
    const struct {
        int steps;      // positions 30 px apart from the centre
        bool reCentred; // the map centre moved onto the position
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        Canvas().SetCenter(centre);
        const GeoPoint at{centre.x + step.x * static_cast<float>(c.steps), centre.y};
        view->SetPosition(Position(at, 90, 0));
        view->UpdateFollow();
        const POINT s = Canvas().GeoToScreen(at);
        if (c.reCentred) {
            EXPECT_NEAR(s.x, 120, 1);
            EXPECT_NEAR(s.y, 160, 1);
        } else {
            EXPECT_NEAR(s.x, 120 + 30 * c.steps, 1);
        }
    }
}

TEST_F(MapViewTest, HeadingUpTurnsPastTheAngleAndMovesToTheTarget) {
    StartOverTown(kDefaults, false, true);
    const GeoPoint centre = TownCentre();
    view->SetPosition(Position(centre, 0, 0));
    view->SetHeadingUp(true);
    EXPECT_DOUBLE_EQ(Canvas().GetRotation(), 360.0);
    view->UpdateFollow();
    // The centre lies outside the target: the position goes to its lower middle.
    const POINT s = Canvas().GeoToScreen(centre);
    EXPECT_NEAR(s.x, 120, 1);
    EXPECT_NEAR(s.y, 256, 1);
    const struct {
        int heading;
        double rotation;
    } turns[] = {{15, 360.0}, {16, 344.0}, {30, 344.0}, {33, 327.0}};
    for (const auto& c : turns) {
        view->SetPosition(Position(centre, c.heading, 0));
        view->UpdateFollow();
        EXPECT_DOUBLE_EQ(Canvas().GetRotation(), c.rotation) << c.heading;
    }
    view->SetHeadingUp(false);
    EXPECT_DOUBLE_EQ(Canvas().GetRotation(), 0.0);
}

TEST_F(MapViewTest, ArrowKeySuspendsFollowingAndZoomFor20Seconds) {
    StartOverTown(kDefaults, false, true);
    const GeoPoint far = Canvas().ScreenToGeo(POINT{230, 160});
    clock.Advance(1000);
    view->OnKey(VK_LEFT);
    const double scale = Canvas().GetScale();
    const struct {
        std::uint64_t ms; // after the key
        bool follows;
    } cases[] = {{0, false}, {19999, false}, {20000, true}};
    std::uint64_t now = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        clock.Advance(c.ms - now);
        now = c.ms;
        const POINT before = Canvas().GeoToScreen(far);
        view->SetPosition(Position(far, 0, 101));
        view->UpdateFollow();
        const POINT after = Canvas().GeoToScreen(far);
        if (c.follows) {
            EXPECT_TRUE(PtInRect(&view->GetNonScrollRect(), after));
            EXPECT_NE(after.x, before.x);
            EXPECT_NE(Canvas().GetScale(), scale);
        } else {
            EXPECT_EQ(after.x, before.x);
            EXPECT_EQ(Canvas().GetScale(), scale);
        }
    }
}

// A car that stands while the user zooms: the fixes repeat its place, yet once the suspension is
// over the next one calls for the following step that brings it back into the view.
TEST_F(MapViewTest, StandingCarComesBackWhenTheSuspensionEnds) {
    StartOverTown(kDefaults, true, false);
    const GeoPoint car = TownCentre();
    view->SetPosition(Position(car, 0, 0));
    view->UpdateFollow();
    Canvas().SetCenter(Canvas().ScreenToGeo(POINT{120, 160 - 100}));
    clock.Advance(1000);
    view->ZoomIn();
    view->ZoomIn();
    ASSERT_FALSE(PtInRect(&view->GetNonScrollRect(), Canvas().GeoToScreen(car)));
    const struct {
        std::uint64_t ms; // after the zoom
        bool given;       // a position comes
        bool changed;     // SetPosition calls for a following step
        bool held;        // the zoom still holds the view where it put it
    } cases[] = {{1000, true, false, true},
                 {19999, true, false, true},
                 {20000, false, false, true},
                 {20000, true, true, false},
                 {21000, true, false, false}};
    std::uint64_t now = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.ms) + (c.given ? " with a position" : ""));
        clock.Advance(c.ms - now);
        now = c.ms;
        if (c.given) {
            EXPECT_EQ(view->SetPosition(Position(car, 0, 0)), c.changed);
        }
        if (c.changed) {
            view->UpdateFollow();
        }
        EXPECT_EQ(view->IsFollowHeld(), c.held);
    }
    EXPECT_TRUE(PtInRect(&view->GetNonScrollRect(), Canvas().GeoToScreen(car)));
}

// The owner acts on the zoom and arrow keys itself (the pages zoom and pan with the follow
// suspension); the map control does not repeat the step. Other keys keep its own handling.
TEST_F(MapViewTest, ZoomAndArrowKeysAreTheOwners) {
    StartOverTown(kDefaults, false, false);
    const POINT start = Canvas().GeoToScreen(TownCentre());
    for (const UINT key : {VK_ADD, VK_SUBTRACT, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
        SCOPED_TRACE(key);
        listener.keys.clear();
        SendMessageW(view->GetHwnd(), WM_KEYDOWN, key, 0);
        EXPECT_EQ(listener.keys, std::vector<UINT>{key});
        EXPECT_EQ(Canvas().GetScale(), 2.0);
        const POINT centre = Canvas().GeoToScreen(TownCentre());
        EXPECT_EQ(centre.x, start.x);
        EXPECT_EQ(centre.y, start.y);
    }
}

TEST_F(MapViewTest, SpeedTableSetsTheScale) {
    Start(240, 320, kDefaults, false, true);
    ShowWhole();
    RECT client{};
    GetClientRect(view->GetHwnd(), &client);
    const double width = client.right;
    const struct {
        int speed;
        double km;
    } cases[] = {{10, 0.5}, {50, 1}, {0, 1}, {70, 2}, {101, 5}};
    for (const auto& c : cases) {
        view->SetPosition(Position(TownCentre(), 0, c.speed));
        EXPECT_NEAR(Canvas().GetScale(), c.km * 1000.0 / width, 1e-9) << c.speed;
    }
}

TEST_F(MapViewTest, DestinationArrowPointsOffTheRoad) {
    Start(240, 320, kDefaults, false, true);
    ShowWhole();
    const GeoPoint here = TownCentre();
    HWND arrow = view->GetArrowWindow().GetWindow();
    const double pi = std::acos(-1.0);
    const struct {
        double degreesRight; // where the destination lies from the driving direction (north)
        int index;
    } cases[] = {{0, 0}, {-40, 1}, {40, 0}, {50, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degreesRight);
        const double a = c.degreesRight * pi / 180;
        const GeoPoint destination{here.x + static_cast<float>(0.01 * std::sin(a)),
                                   here.y + static_cast<float>(0.01 * std::cos(a))};
        ASSERT_EQ(view->SetRoute({ScriptedLine(here, destination)}), destination);
        view->SetPosition(Position(here, 0, 30, false));
        driver.RunUntilIdle();
        EXPECT_TRUE(IsWindowVisible(arrow));
        EXPECT_EQ(view->GetArrowWindow().GetIndex(), c.index);
        RECT r{};
        GetWindowRect(arrow, &r);
        const std::uint32_t rgb = ArrowRgb(static_cast<std::size_t>(c.index));
        EXPECT_EQ(ScreenAt(POINT{r.left + 20, r.top + 20}),
                  RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        // Back on the road: hidden.
        view->SetPosition(Position(here, 0, 30, true));
        EXPECT_FALSE(IsWindowVisible(arrow));
    }
}

// In a view lower than the expanded bar's column, the column's top buttons reach into the
// arrow's corner: they stay on top there, also when the arrow turns and paints again.
TEST_F(MapViewTest, ExpandedBarButtonsCoverTheArrow) {
    extraBitmaps[MapButtonBar::kNight] = testdata::WriteKeyedPlate(33, 30, 0x20C020);
    Start(240, 172, kDefaults, true, false);
    ShowWhole();
    const GeoPoint here = TownCentre();
    const GeoPoint destination{here.x, here.y + 0.01f};
    ASSERT_EQ(view->SetRoute({ScriptedLine(here, destination)}), destination);
    view->SetPosition(Position(here, 0, 30, false));
    view->UpdateFollow();
    view->GetButtonBar().Expand();
    driver.RunUntilIdle();
    HWND arrow = view->GetArrowWindow().GetWindow();
    ASSERT_TRUE(IsWindowVisible(arrow));
    HWND night = view->GetButtonBar().GetButton(MapButtonBar::kNight)->GetWindow();
    RECT shared{};
    RECT arrowRect{};
    RECT nightRect{};
    GetWindowRect(arrow, &arrowRect);
    GetWindowRect(night, &nightRect);
    ASSERT_TRUE(IntersectRect(&shared, &arrowRect, &nightRect));
    const POINT probe{(shared.left + shared.right) / 2, (shared.top + shared.bottom) / 2};
    const COLORREF face = RGB(0x20, 0xC0, 0x20);
    EXPECT_EQ(ScreenAt(probe), face);
    // The destination to the right: the arrow turns and repaints.
    view->SetRoute({ScriptedLine(here, GeoPoint{here.x + 0.01f, here.y})});
    view->SetPosition(Position(here, 0, 31, false));
    driver.RunUntilIdle();
    EXPECT_EQ(view->GetArrowWindow().GetIndex(), 10);
    EXPECT_EQ(ScreenAt(probe), face);
    // And when the whole map is painted again.
    RedrawWindow(view->GetHwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    driver.RunUntilIdle();
    EXPECT_EQ(ScreenAt(probe), face);
}

TEST_F(MapViewTest, ArrowStaysHiddenAfterHideButtons) {
    Start(240, 320, kDefaults, false, true);
    ShowWhole();
    view->HideButtons();
    const GeoPoint destination{TownCentre().x, TownCentre().y + 0.01f};
    ASSERT_EQ(view->SetRoute({ScriptedLine(TownCentre(), destination)}), destination);
    view->SetPosition(Position(TownCentre(), 0, 30, false));
    driver.RunUntilIdle();
    EXPECT_FALSE(IsWindowVisible(view->GetArrowWindow().GetWindow()));
}

TEST_F(MapViewTest, GuidanceDrawsNothingBeforeItsFirstFollowingStep) {
    StartOverTown(kDefaults, true, false);
    driver.RunUntilIdle();
    const RECT area{OnScreen(POINT{20, 20}).x, OnScreen(POINT{20, 20}).y,
                    OnScreen(POINT{220, 300}).x, OnScreen(POINT{220, 300}).y};
    const auto isPlain = [](const std::vector<std::uint32_t>& pixels) {
        return std::all_of(pixels.begin(), pixels.end(),
                           [&](std::uint32_t p) { return p == pixels.front(); });
    };
    EXPECT_TRUE(isPlain(Pixels(area)));
    view->SetPosition(Position(TownCentre(), 0, 0));
    view->UpdateFollow();
    Canvas().InvalidateMap();
    driver.RunUntilIdle();
    EXPECT_FALSE(isPlain(Pixels(area)));
}

TEST_F(MapViewTest, MarkerIsDrawnAndErased) {
    StartOverTown(kDefaults, false, true);
    // The middle of a block, away from streets and their labels.
    const POINT middle = Canvas().GeoToScreen(TownCentre());
    const GeoPoint centre = Canvas().ScreenToGeo(POINT{middle.x + 100, middle.y + 50});
    Canvas().SetCenter(centre);
    driver.RunUntilIdle();
    const RECT area{OnScreen(POINT{90, 130}).x, OnScreen(POINT{90, 130}).y,
                    OnScreen(POINT{150, 190}).x, OnScreen(POINT{150, 190}).y};
    const std::vector<std::uint32_t> without = Pixels(area);

    // North-up, heading 0: the red arrow points up from P, its black and white copies lie
    // 2 pixels lower (the black one also 2 to the right).
    view->SetPosition(Position(centre, 0, 0));
    view->UpdateFollow();
    const POINT p = OnScreen(Canvas().GeoToScreen(centre));
    EXPECT_EQ(ScreenAt(POINT{p.x, p.y}), RGB(255, 0, 0));
    EXPECT_EQ(ScreenAt(POINT{p.x, p.y - 10}), RGB(255, 0, 0)) << "the tip";
    EXPECT_NE(ScreenAt(POINT{p.x, p.y - 11}), RGB(255, 0, 0));
    EXPECT_EQ(ScreenAt(POINT{p.x + 2, p.y - 8}), RGB(0, 0, 0)) << "the black copy's edge";
    EXPECT_EQ(ScreenAt(POINT{p.x + 11, p.y + 12}), RGB(0, 0, 0));
    EXPECT_EQ(ScreenAt(POINT{p.x - 10, p.y + 11}), RGB(255, 255, 255)) << "the white copy";
    EXPECT_EQ(ScreenAt(POINT{p.x - 10, p.y + 10}), RGB(255, 0, 0));
    const RECT bounds = view->GetMarkerRect();
    EXPECT_EQ(bounds.left, p.x - 10 - (p.x - Canvas().GeoToScreen(centre).x));
    EXPECT_EQ(bounds.bottom - bounds.top, 20);

    // The heading alone changes: the arrow drawn with the old heading is erased.
    view->SetPosition(Position(centre, 90, 0));
    view->UpdateFollow();
    EXPECT_NE(ScreenAt(POINT{p.x, p.y - 10}), RGB(255, 0, 0)) << "the old tip";
    EXPECT_EQ(ScreenAt(POINT{p.x + 9, p.y}), RGB(255, 0, 0));

    // Heading 90 north-up points right; the old marker's erase rectangle is the plain map
    // again (left of the new marker).
    const GeoPoint next = Canvas().ScreenToGeo(
        POINT{Canvas().GeoToScreen(centre).x + 10, Canvas().GeoToScreen(centre).y});
    view->SetPosition(Position(next, 90, 0));
    view->UpdateFollow();
    const POINT q = OnScreen(Canvas().GeoToScreen(next));
    EXPECT_EQ(ScreenAt(POINT{q.x + 9, q.y}), RGB(255, 0, 0));
    EXPECT_NE(ScreenAt(POINT{q.x, q.y - 9}), RGB(255, 0, 0));
    const RECT erased{p.x - 14, p.y - 14, p.x - 1, p.y + 16};
    std::vector<std::uint32_t> plain;
    const int w = area.right - area.left;
    for (int y = erased.top; y < erased.bottom; ++y) {
        for (int x = erased.left; x < erased.right; ++x) {
            plain.push_back(
                without[static_cast<std::size_t>((y - area.top) * w + (x - area.left))]);
        }
    }
    EXPECT_EQ(Pixels(erased), plain);

    // Heading-up: the arrow points up whatever the heading.
    view->SetHeadingUp(true);
    view->UpdateFollow();
    const POINT u = OnScreen(Canvas().GeoToScreen(next));
    EXPECT_EQ(ScreenAt(POINT{u.x, u.y - 9}), RGB(255, 0, 0));
}

TEST_F(MapViewTest, NoMarkerBeyond16384PixelsOrBeforeAPosition) {
    StartOverTown(kDefaults, false, false);
    const struct {
        std::optional<int> pixels; // east of the centre; none: no position given yet
        bool drawn;
    } cases[] = {{std::nullopt, false}, {100, true}, {16000, true}, {16500, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixels.value_or(-1));
        if (c.pixels) {
            const POINT centre = Canvas().GeoToScreen(TownCentre());
            const GeoPoint at = Canvas().ScreenToGeo(POINT{centre.x + *c.pixels, centre.y});
            EXPECT_FALSE(view->SetPosition(Position(at, 0, 0)))
                << "the view neither guides nor tracks";
        } else {
            // Shown where a position never given would put the car.
            Canvas().SetCenter(GeoPoint{});
        }
        Canvas().InvalidateMap();
        driver.RunUntilIdle();
        EXPECT_EQ(view->IsMarkerDrawn(), c.drawn);
        EXPECT_EQ(view->HasCarPosition(), c.pixels.has_value());
        Canvas().SetCenter(TownCentre());
    }
}

TEST_F(MapViewTest, TapsPanNameAndReachTheListener) {
    StartOverTown(kDefaults, false, false);
    RECT client{};
    GetClientRect(view->GetHwnd(), &client);
    const GeoPoint before = Canvas().ScreenToGeo(POINT{120, 160});
    driver.Tap(OnScreen(POINT{120, 2}));
    driver.RunUntilIdle();
    const GeoPoint after = Canvas().ScreenToGeo(POINT{120, 160});
    EXPECT_GT(after.y, before.y) << "panned up";
    EXPECT_TRUE(listener.keys.empty());
    EXPECT_EQ(listener.taps, 0);
    driver.Tap(OnScreen(POINT{120, 160}));
    driver.RunUntilIdle();
    EXPECT_EQ(listener.taps, 1);

    // Names on tap: a named street shows its name; an empty spot shows nothing, no pan.
    view->SetNamesOnTap(true);
    const POINT street =
        Canvas().GeoToScreen(MapPointToDegrees(testdata::DrawTownWriter::GridPoint(6, 6)));
    const GeoPoint still = Canvas().ScreenToGeo(POINT{120, 160});
    driver.Tap(OnScreen(POINT{170, 2}));
    driver.RunUntilIdle();
    EXPECT_EQ(Canvas().ScreenToGeo(POINT{120, 160}), still);
    EXPECT_FALSE(IsWindowVisible(view->GetHintWindow()->GetWindow()));
    driver.Tap(OnScreen(POINT{street.x + 30, street.y}));
    driver.RunUntilIdle();
    EXPECT_TRUE(IsWindowVisible(view->GetHintWindow()->GetWindow()));
    EXPECT_EQ(listener.taps, 1);
}

TEST_F(MapViewTest, PickFillsThePickRecord) {
    Start(240, 320, kDefaults, false, false);
    ShowWhole();
    Canvas().SetScale(8.0);
    Canvas().SetCenter(TownCentre());
    view->SetPickMode(true);
    view->SetPickOnTap(true);
    const std::uint32_t streetId = town.GetDetailIds()[town.GetStreetSegment(6, 6, true)];
    six::IntfPtr<MapElement> street = facade->GetMappedElement(streetId);
    ASSERT_TRUE(street);
    const std::u16string name = street->GetName();
    scripted->nearestRoad = std::make_shared<ScriptedPosition>(streetId, TownCentre());

    const std::optional<POINT> withArea = BlockMiddleOnScreen(true);
    const std::optional<POINT> withoutArea = BlockMiddleOnScreen(false);
    ASSERT_TRUE(withArea && withoutArea);

    const struct {
        const char* name;
        POINT at;
        std::uint32_t nearest; // the scripted nearest road
        bool picked;
        int serverCalls;
    } cases[] = {
        {"nearest road", *withoutArea, streetId, true, 1},
        {"unnamed nearest road", *withoutArea, 0xFFFFFFFEu, false, 1},
        {"unnamed area", *withArea, streetId, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pickrecord::Clear();
        Canvas().SetScale(8.0); // a pick shows its point at "PointResolution"
        Canvas().SetCenter(TownCentre());
        scripted->positionCalls = 0;
        scripted->nearestRoad = std::make_shared<ScriptedPosition>(c.nearest, TownCentre());
        const int taps = listener.taps;
        driver.StepClock(2000); // no double tap
        driver.Tap(OnScreen(c.at));
        driver.RunUntilIdle();
        const PickRecord record = pickrecord::Get();
        EXPECT_EQ(record.valid, c.picked);
        EXPECT_EQ(scripted->positionCalls, c.serverCalls);
        EXPECT_EQ(listener.taps, taps + (c.picked ? 1 : 0)) << "a declined pick ends the tap";
        if (c.picked) {
            EXPECT_EQ(record.elementId, streetId);
            EXPECT_EQ(record.streetName, name.substr(0, name.find(u'/')));
            EXPECT_EQ(scripted->askedElement, 0xFFFFFFFFu);
            EXPECT_EQ(view->GetFlagPoint(), TownCentre()) << "shown with ShowPoint";
        }
    }
}

// The shown object zooms to "PointResolution" and centres on its place (a point element's point,
// a street's middle); it stays through a repaint, and a pick clears it.
TEST_F(MapViewTest, ShownObjectCentresTheMapUntilAPick) {
    Start(240, 320, "[Map]\r\nPointResolution=5\r\n", false, false);
    ShowWhole();
    const std::vector<testdata::ElementDescription>& elements = town.GetDetailElements();
    const auto point = std::find_if(elements.begin(), elements.end(), [](const auto& e) {
        return e.typeLetter == 't' && e.typeCode >= 5001 && e.typeCode <= 5004;
    });
    ASSERT_NE(point, elements.end());
    const std::uint32_t streetId = town.GetDetailIds()[town.GetStreetSegment(6, 6, true)];
    six::IntfPtr<MapElement> street = facade->GetMappedElement(streetId);
    six::IntfPtr<MapElement> poi = facade->GetMappedElement(
        town.GetDetailIds()[static_cast<std::size_t>(point - elements.begin())]);
    ASSERT_TRUE(street && poi);
    GeoRect bounds;
    street->GetBounds(bounds);
    GeoPoint poiPoint;
    poi->GetPoint(poiPoint, 0);
    const GeoPoint before{TownCentre().x + 0.004f, TownCentre().y - 0.004f};
    const struct {
        const char* name;
        six::IntfPtr<MapElement> object;
        GeoPoint centre;
    } cases[] = {
        {"a point element", poi, poiPoint},
        {"a street", street, bounds.GetCenter()},
        {"none keeps the centre", nullptr, before},
    };
    const auto expectCentre = [&](GeoPoint centre) {
        const GeoPoint shown = MapPointToDegrees(Canvas().GetTransform()->GetCenter());
        EXPECT_NEAR(shown.x, centre.x, 1e-5);
        EXPECT_NEAR(shown.y, centre.y, 1e-5);
        EXPECT_DOUBLE_EQ(Canvas().GetScale(), 5.0);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas().SetScale(20.0);
        Canvas().SetCenter(before);
        view->ShowObject(c.object);
        EXPECT_EQ(view->GetShownObject().Get(), c.object.Get());
        expectCentre(c.centre);
        Canvas().InvalidateMap();
        driver.RunUntilIdle();
        expectCentre(c.centre);
        EXPECT_EQ(view->GetShownObject().Get(), c.object.Get()) << "kept through the repaint";
    }

    // A pick shows the picked point and lets the shown object go.
    view->ShowObject(street);
    view->SetPickMode(true);
    view->SetPickOnTap(true);
    scripted->nearestRoad = std::make_shared<ScriptedPosition>(streetId, TownCentre());
    Canvas().SetScale(8.0);
    Canvas().SetCenter(TownCentre());
    driver.RunUntilIdle();
    const std::optional<POINT> free = BlockMiddleOnScreen(false);
    ASSERT_TRUE(free);
    pickrecord::Clear();
    driver.StepClock(2000);
    driver.Tap(OnScreen(*free));
    driver.RunUntilIdle();
    ASSERT_TRUE(pickrecord::Get().valid);
    EXPECT_FALSE(view->GetShownObject());
    EXPECT_EQ(view->GetFlagPoint(), pickrecord::Get().point);
}

// The TMC message dialog as far as the map view sees it: a window.
class WindowOnlyTmcDialog : public TmcMessageDialog {
public:
    explicit WindowOnlyTmcDialog(HWND window)
        : window_(window) {}
    void SetData(const std::vector<std::u16string>&, const std::vector<UINT>&) override {}
    void SetStatusText(std::u16string_view) override {}
    [[nodiscard]] HWND GetHwnd() const override { return window_; }
    void Show() override {}
    void Close() override {}

private:
    HWND window_;
};

TEST_F(MapViewTest, KeysGoToTheTmcDialogWhileItIsShown) {
    Start(240, 320, kDefaults, false, false);
    ShowWhole();
    WindowHandle dialog;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0, 50,
                    50, nullptr, nullptr, nullptr, &dialog);
    platform::MessageSpy spy(dialog.window, {WM_KEYDOWN});
    SetFocus(view->GetHwnd());
    driver.Key(VK_RETURN);
    driver.RunUntilIdle();
    EXPECT_EQ(listener.keys, std::vector<UINT>{VK_RETURN});
    TmcMonitor::Instance().SetDialog(std::make_unique<WindowOnlyTmcDialog>(dialog.window));
    SetFocus(view->GetHwnd());
    driver.Key(VK_RETURN);
    driver.RunUntilIdle();
    SendMessageW(view->GetHwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    SendMessageW(view->GetHwnd(), WM_VSCROLL, SB_LINEUP, 0);
    SendMessageW(view->GetHwnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
    driver.RunUntilIdle();
    EXPECT_EQ(listener.keys, std::vector<UINT>{VK_RETURN});
    std::vector<WPARAM> keys;
    for (const auto& m : spy.Messages()) {
        keys.push_back(m.wParam);
    }
    EXPECT_EQ(keys, (std::vector<WPARAM>{VK_RETURN, VK_DOWN, VK_UP}));
    EXPECT_EQ(GetForegroundWindow(), dialog.window);
}

std::string Lf(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return buffer;
}

class MapViewDump : public MapViewFixture {
protected:
    // Shows a view with the settings, hands it a position when it tracks, presses VK_UP and
    // returns the file (the bytes written before the pan).
    std::optional<std::string> Dump(const char* settings, bool tracking, std::string& expected) {
        Start(240, 320, settings, false, tracking);
        ShowWhole();
        EXPECT_TRUE(root.WriteFile(u"\\My Documents\\PKPosition.txt", "old"));
        Canvas().SetScale(2.0);
        const GeoPoint at = TownCentre();
        Canvas().SetCenter(at);
        if (tracking) {
            (void)view->SetPosition(Position(at, 45, 50));
        }
        RECT client{};
        GetClientRect(view->GetHwnd(), &client);
        const GeoPoint tl = Canvas().ScreenToGeo(POINT{0, 0});
        const GeoPoint tr = Canvas().ScreenToGeo(POINT{client.right, 0});
        const GeoPoint br = Canvas().ScreenToGeo(POINT{client.right, client.bottom});
        if (tracking) {
            expected = "[GPSPosition]\r\nLon = " + Lf(at.x) + "\r\nLat = " + Lf(at.y) +
                       "\r\nSpeed = 50.0\r\nCourse = 45.0\r\nValid = 1\r\n\r\n";
        }
        expected += "[MapCoordinates]\r\nLonTopLeft = " + Lf(tl.x) +
                    "\r\nLatTopLeft = " + Lf(tl.y) + "\r\nLonTopRight = " + Lf(tr.x) +
                    "\r\nLatTopRight = " + Lf(tr.y) + "\r\nLonBottomRight = " + Lf(br.x) +
                    "\r\nLatBottomRight = " + Lf(br.y) + "\r\n\r\n";
        view->OnKey(VK_UP);
        EXPECT_NE(Canvas().ScreenToGeo(POINT{0, 0}), tl) << "panned after the dump";
        return root.ReadFile(u"\\My Documents\\PKPosition.txt");
    }
};

TEST_F(MapViewDump, OffWritesNothing) {
    std::string expected;
    EXPECT_EQ(Dump("[Position]\r\nWriteInFile=0\r\n", true, expected), "old");
}

TEST_F(MapViewDump, TrackingWritesTheGpsSection) {
    std::string expected;
    EXPECT_EQ(Dump("[Position]\r\nWriteInFile=1\r\n", true, expected), expected);
}

TEST_F(MapViewDump, BrowsingStartsWithTheMapCoordinates) {
    std::string expected;
    EXPECT_EQ(Dump("[Position]\r\nWriteInFile=1\r\n", false, expected), expected);
}

TEST_F(MapViewTest, PointListAndAreas) {
    Start(240, 320, kDefaults, false, false);
    ShowWhole();
    const GeoPoint gap{-1.0f, -1.0f};
    const GeoPoint a{9.1f, 47.1f};
    const GeoPoint b{9.2f, 47.2f};
    const GeoPoint c{9.3f, 47.3f};
    const struct {
        const char* name;
        std::vector<GeoPoint> list;
        std::vector<int> steps; // +1 next, -1 previous
        std::size_t cursor;
        GeoPoint shown; // (0, 0): nothing shown
    } cases[] = {
        {"next", {a, b, c}, {1}, 1, b},
        {"next at the end shows the last again", {a, b}, {1, 1, 1}, 1, b},
        {"gap passed over", {a, gap, c}, {1}, 2, c},
        {"gap at the end shows nothing", {a, gap}, {1}, 1, {}},
        {"previous passes a gap", {a, gap, c}, {1, -1}, 0, a},
        {"previous at the start", {a, b}, {-1}, 0, a},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        view->SetPointList(t.list);
        view->SetFlagPoint(GeoPoint{});
        for (const int step : t.steps) {
            EXPECT_EQ(step > 0 ? view->NextPoint() : view->PreviousPoint(), 1);
        }
        EXPECT_EQ(view->GetPointCursor(), t.cursor);
        EXPECT_EQ(view->GetFlagPoint(), t.shown);
    }
    view->SetPointList({});
    EXPECT_EQ(view->NextPoint(), 1);

    // Two route parts: a proper area and one without width; the extent after them.
    (void)view->SetRoute({ScriptedLine(GeoPoint{9.5f, 47.2f}, GeoPoint{9.52f, 47.22f}),
                          ScriptedLine(GeoPoint{9.5f, 47.2f}, GeoPoint{9.5f, 47.3f})});
    const struct {
        std::size_t index;
        bool zooms;
    } areas[] = {{1, false}, {3, false}, {0, true}, {2, true}};
    for (const auto& t : areas) {
        SCOPED_TRACE(t.index);
        const GeoRect before = Canvas().GetVisibleGeoRect();
        view->ZoomToArea(t.index);
        EXPECT_EQ(Canvas().GetVisibleGeoRect() != before, t.zooms);
    }
}

TEST_F(MapViewTest, NightModeSelectsTheNightSheet) {
    Start(240, 320, kDefaults, false, false);
    ShowWhole();
    driver.RunUntilIdle();
    const POINT corner = OnScreen(POINT{3, 3});
    const COLORREF day = ScreenAt(corner);
    const bool before = IsMapNightMode();
    view->ToggleNightMode();
    driver.RunUntilIdle();
    EXPECT_NE(IsMapNightMode(), before);
    EXPECT_NE(ScreenAt(corner), day);
    view->ToggleNightMode();
    driver.RunUntilIdle();
    EXPECT_EQ(IsMapNightMode(), before);
    EXPECT_EQ(ScreenAt(corner), day);
}

} // namespace
