// The schematic window: the arrow angles, the label, the owner's calls, the cached picture and
// when it is rendered again, the failures it survives, its settings and its pictures.

#include "junctionview/paint/crossingview.h"
#include "junctionview/tests/schematictesting.h"
#include "testdata/golden.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace schematictesting;

// The crossing point at bearing degrees (0 east, anticlockwise) from position.
GeoPoint TowardsBearing(GeoPoint position, double degrees) {
    const double radians = degrees * 3.14159265358979 / 180.0;
    return GeoPoint{position.x + static_cast<float>(std::cos(radians) * 0.01),
                    position.y + static_cast<float>(std::sin(radians) * 0.01)};
}

TEST(SchematicArrowAngle, RoundsToWholeDegreesThenTruncatesToFifteens) {
    const GeoPoint here{9.5f, 47.1f};
    const struct {
        std::int32_t course; // 0 north, clockwise
        double bearing;      // 0 east, anticlockwise
        std::int32_t angle;
    } cases[] = {
        // Heading north, the course lies at 90 degrees.
        {0, 90.0, 0},
        {0, 90.0 + 22.4, 15},
        {0, 90.0 - 22.4, -15},
        {0, 90.0 + 14.4, 0},
        {0, 90.0 + 14.6, 15},
        {0, 180.0, 90}, // west of a northward course: left
        // East: right. Rounding at the half degree: exactly 90 degrees gives -89, so -75.
        {0, 0.0, -75},
        {359, 0.0, -90},
        {90, 90.0, 90}, // heading east, north lies to the left
        {360, 180.0, 90},
        // Across the wrap: the course at 10 degrees, the bearing at 350: no folding to +-180.
        {80, -10.0, 330},
        // The course at 170 degrees, the bearing at 10.
        {280, 10.0, -150},
        {180, 270.0 - 46.0, -45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.course << " " << c.bearing);
        const GeoPoint target = TowardsBearing(here, c.bearing);
        EXPECT_EQ(SchematicWnd::ComputeArrowAngle(c.course, here, target.x, target.y), c.angle);
    }
}

class SchematicWindow : public SchematicFixture {};

TEST_F(SchematicWindow, ThePositionSwitchesModesAndTurnsTheArrowInArrowModeOnly) {
    Open(testdata::TJunctionScenario());
    const GeoPoint here{9.5f, 47.1f};
    const GeoPoint west = TowardsBearing(here, 180.0);
    MatchedPosition position;
    position.matched = here;
    position.heading = 0;
    const struct {
        std::uint8_t streetsNear;
        GeoPoint crossing;
        bool isPicture;
        std::int32_t angle;
    } steps[] = {
        // Picture mode leaves the angle.
        {1, west, true, 0},
        {0, west, false, 90},
        // A zero crossing coordinate leaves the angle as it was.
        {0, GeoPoint{0.0f, west.y}, false, 90},
        {0, GeoPoint{west.x, 0.0f}, false, 90},
        {0, TowardsBearing(here, 0.0), false, -75},
        {2, west, true, -75},
    };
    for (const auto& s : steps) {
        window->SetCrossingPoint(s.crossing.x, s.crossing.y);
        position.streetsNear = s.streetsNear;
        window->SetPosition(position);
        EXPECT_EQ(window->IsPictureMode(), s.isPicture);
        EXPECT_EQ(window->GetArrowAngle(), s.angle);
    }
}

// The arrow of angle 90 points left, of -90 right: the left half's colour lies on that side of
// the plate's centre, the plate's colour on the other. Outside the plate's round corners lies the
// background, whatever the screen showed there before.
TEST_F(SchematicWindow, ArrowModeDrawsThePlateTurnedTowardsTheCrossing) {
    Open(testdata::TJunctionScenario());
    MatchedPosition position;
    position.matched = GeoPoint{9.5f, 47.1f};
    const struct {
        std::uint16_t heading;
        double bearing;
        std::int32_t angle;
        int dx; // from the centre towards the tip
        int dy;
    } cases[] = {
        {0, 90.0, 0, 0, -30},   // up
        {0, 180.0, 90, -30, 0}, // left
        {359, 0.0, -90, 30, 0}, // right
    };
    RECT client{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bearing);
        const GeoPoint target = TowardsBearing(position.matched, c.bearing);
        window->SetCrossingPoint(target.x, target.y);
        position.heading = c.heading;
        window->SetPosition(position);
        EXPECT_EQ(window->GetArrowAngle(), c.angle);
        RECT bounds{};
        GetWindowRect(window->GetHwnd(), &bounds);
        HDC screen = GetDC(nullptr);
        FillRect(screen, &bounds, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(nullptr, screen);
        Repaint();
        GetClientRect(window->GetHwnd(), &client);
        EXPECT_EQ(At(0, 0), window->GetAppearance().backgroundColour);
        EXPECT_EQ(At(client.right - 1, 0), window->GetAppearance().backgroundColour);
        const POINT centre{client.right / 2, client.bottom / 2};
        // Towards the tip, just on the left half's side of the axis (left of it when the arrow
        // points up): the left half's colour; beyond the tail: the plate.
        const int sideX = c.dy != 0 ? -3 : 0;
        const int sideY = c.dx < 0 ? 3 : (c.dx > 0 ? -3 : 0);
        EXPECT_EQ(At(centre.x + c.dx + sideX, centre.y + c.dy + sideY), SchematicWnd::kArrowColour);
        EXPECT_EQ(At(centre.x - c.dx * 2, centre.y - c.dy * 2), kLabelColour);
    }
    EXPECT_TRUE(testdata::WindowMatchesGolden(window->GetHwnd(), NAV_JUNCTIONVIEW_DIR,
                                              "schematic_arrow_right"));
}

TEST_F(SchematicWindow, TheLabelShowsTheDistanceOnceTheApproachHasBegun) {
    Open(testdata::TJunctionScenario());
    const RouteIteratorPtr route = world->At(world->IndexOf("JE"));
    const struct {
        std::uint16_t progress;
        std::int32_t distance;
        std::int32_t label;
    } steps[] = {
        {5, 300, -1}, {0, 300, 300}, {0, 180, 180}, {100, 0, -1}, {0, 0, 0},
    };
    for (const auto& s : steps) {
        window->SetAdvice(ScriptAdvice({{4, route, s.distance, s.progress}}));
        EXPECT_EQ(window->GetLabelDistance(), s.label);
    }
    // The label's text: "%dm", then yards after SetMetric(false); gone above 0 per cent.
    window->SetAdvice(ScriptAdvice({{4, route, 1234, 0}}));
    driver.RunUntilIdle();
    EXPECT_EQ(At(64, 7), kLabelColour) << "the label's plate";
    const RECT label{64, 8, 176, 30};
    const auto metric = PixelsOf(label);
    // A new distance for the same manoeuvre: a new label over the kept picture.
    const std::int64_t renders = SchematicWnd::CrossingViewsMade();
    window->SetAdvice(ScriptAdvice({{4, route, 1000, 0}}));
    driver.RunUntilIdle();
    EXPECT_NE(PixelsOf(label), metric);
    EXPECT_EQ(SchematicWnd::CrossingViewsMade(), renders);
    window->SetAdvice(ScriptAdvice({{4, route, 1234, 0}}));
    driver.RunUntilIdle();
    EXPECT_EQ(PixelsOf(label), metric);
    window->SetMetric(false);
    Repaint();
    const auto imperial = PixelsOf(label);
    window->SetAdvice(ScriptAdvice({{4, route, 1234, 3}}));
    driver.RunUntilIdle();
    const auto hidden = PixelsOf(label);
    EXPECT_NE(metric, imperial);
    EXPECT_NE(metric, hidden);
    EXPECT_TRUE(std::find(metric.begin(), metric.end(), 0xFFFFFFu) != metric.end()) << "white text";
}

TEST(SchematicWindowOwner, TheButtonAndTapsReachTheOwnerOnly) {
    junctionwindowtesting::CountingOwner owner;
    const struct {
        JunctionViewOwner* owner;
        UINT command;
        bool tap;
        int barButtons;
        int taps;
    } cases[] = {
        {&owner, 910, false, 1, 0},
        {&owner, 911, false, 0, 0},
        {&owner, MAKEWPARAM(910, 1), false, 1, 0},
        {&owner, 0, true, 0, 1},
        {nullptr, 910, true, 0, 0},
    };
    for (const auto& c : cases) {
        junctionwindowtesting::JunctionDevice device(240, 320, SchematicDescription(u""),
                                                     SchematicBundle());
        ASSERT_TRUE(device.isReady);
        platform::ScreenDriver driver;
        std::unique_ptr<SchematicWnd> window(
            static_cast<SchematicWnd*>(CreateSchematicWnd(c.owner)));
        window->Create(kSchematicRect, device.page.window);
        driver.RunUntilIdle();
        const int barButtons = owner.barButtons;
        const int taps = owner.taps;
        if (c.command != 0)
            SendMessageW(window->GetHwnd(), WM_COMMAND, c.command, 0);
        if (c.tap) {
            POINT middle{100, 100};
            ClientToScreen(window->GetHwnd(), &middle);
            driver.Tap(middle);
        }
        driver.RunUntilIdle();
        EXPECT_EQ(owner.barButtons - barButtons, c.barButtons) << c.command;
        EXPECT_EQ(owner.taps - taps, c.taps) << c.command;
        EXPECT_EQ(owner.others.load(), 0);
    }
    // A click on the corner button.
    junctionwindowtesting::JunctionDevice device(240, 320, SchematicDescription(u""),
                                                 SchematicBundle());
    platform::ScreenDriver driver;
    std::unique_ptr<SchematicWnd> window(static_cast<SchematicWnd*>(CreateSchematicWnd(&owner)));
    window->Create(kSchematicRect, device.page.window);
    driver.RunUntilIdle();
    RECT button{};
    GetWindowRect(window->GetButton()->GetWindow(), &button);
    RECT client{};
    GetClientRect(window->GetHwnd(), &client);
    EXPECT_EQ(button.right - button.left, 33);
    EXPECT_EQ(button.bottom - button.top, 30);
    const int before = owner.barButtons;
    driver.Tap(POINT{button.left + 5, button.top + 5});
    driver.RunUntilIdle();
    EXPECT_EQ(owner.barButtons - before, 1);
}

// The picture is rendered by a new crossing view only when the manoeuvre's link, its kind or
// the following kind changes, or after Create.
TEST_F(SchematicWindow, RendersAgainOnlyWhenTheManoeuvreChangesOrAfterCreate) {
    Open(testdata::TJunctionScenario());
    const RouteIteratorPtr first = world->At(world->IndexOf("SJ"));
    const RouteIteratorPtr second = world->At(world->IndexOf("JE"));
    ASSERT_TRUE(first && second);
    const struct {
        const char* what;
        std::vector<ScriptedManoeuvre> advice;
        RECT createAt; // non-empty: Create again with it
        int renders;
    } steps[] = {
        {"first advice", {{4, first}}, {}, 1},
        {"same manoeuvre nearer", {{4, first, 120}}, {}, 0},
        {"Create, same rectangle", {{4, first, 100}}, kSchematicRect, 1},
        {"Create, new rectangle", {{4, first, 90}}, RECT{0, 0, 200, 180}, 1},
        {"other kind", {{3, first, 80}}, {}, 1},
        {"linked, following 16", {{3, first, 70, 0, true}, {16, second}}, {}, 1},
        {"linked, following 16 again", {{3, first, 60, 0, true}, {16, second}}, {}, 0},
        {"linked, following 17", {{3, first, 50, 0, true}, {17, second}}, {}, 1},
        {"not linked any more", {{3, first, 40}, {17, second}}, {}, 1},
        {"next link", {{3, second, 40}}, {}, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        const std::int64_t before = SchematicWnd::CrossingViewsMade();
        if (s.createAt.right != 0)
            window->Create(s.createAt, device->page.window);
        window->SetAdvice(ScriptAdvice(s.advice));
        driver.RunUntilIdle();
        // Repaints from the cache.
        Repaint();
        EXPECT_EQ(SchematicWnd::CrossingViewsMade() - before, s.renders);
    }
}

TEST_F(SchematicWindow, WithoutAPictureBitmapItPaintsTheBackgroundAndTriesAgain) {
    Open(testdata::TJunctionScenario());
    const RouteIteratorPtr route = world->At(world->IndexOf("SJ"));
    window->SetAdvice(ScriptAdvice({{4, route, 300, 0}}));
    const std::int64_t before = SchematicWnd::CrossingViewsMade();
    // The memory DC fails.
    platform::FailNextGdiCreations(1);
    driver.RunUntilIdle();
    platform::FailNextGdiCreations(0);
    EXPECT_EQ(SchematicWnd::CrossingViewsMade(), before);
    EXPECT_EQ(At(200, 150), window->GetAppearance().backgroundColour);
    EXPECT_EQ(At(64, 7), kLabelColour) << "the label is drawn";
    Repaint();
    EXPECT_EQ(SchematicWnd::CrossingViewsMade(), before + 1);
}

TEST_F(SchematicWindow, AnAdviceWithoutValuesPaintsAsNoAdvice) {
    Open(testdata::TJunctionScenario());
    const std::int64_t before = SchematicWnd::CrossingViewsMade();
    window->SetAdvice(AdvicePtr(new ValuelessAdvice));
    driver.RunUntilIdle();
    // The background with the plate over it, no picture and no label.
    EXPECT_EQ(SchematicWnd::CrossingViewsMade(), before);
    EXPECT_EQ(window->GetLabelDistance(), -1);
    EXPECT_EQ(At(2, 2), window->GetAppearance().backgroundColour);
    EXPECT_EQ(At(119, 60), SchematicWnd::kArrowColour);
    // A null or invalid advice changes nothing.
    window->SetAdvice(ScriptAdvice({{4, world->At(0), 75, 0}}));
    window->SetAdvice(AdvicePtr());
    window->SetAdvice(ScriptAdvice({}));
    EXPECT_EQ(window->GetLabelDistance(), 75);
}

TEST_F(SchematicWindow, TheRadiusSettingFallsBackTo40BelowOne) {
    const struct {
        const char* settings;
        std::int32_t radius;
    } cases[] = {
        {"[SchematicAttribs]\r\nRadius=25\r\n", 25},
        {"[SchematicAttribs]\r\nRadius=0\r\n", 40},
        {"[SchematicAttribs]\r\nRadius=-3\r\n", 40},
        {"[SchematicAttribs]\r\nRadius=wide\r\n", 40},
        {"[Other]\r\n", 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        Open(testdata::TJunctionScenario(), nullptr, c.settings);
        EXPECT_EQ(window->GetAppearance().geometryRadius, c.radius);
        EXPECT_EQ(window->GetLabelColour(), kLabelColour);
        TearDown();
    }
}

// Picture mode over the advisor's manoeuvres and the destination flag.
TEST_F(SchematicWindow, PictureModeOfEachKindOfManoeuvre) {
    const struct {
        const char* golden;
        testdata::JunctionScenario scenario;
        std::int32_t kind;
    } cases[] = {
        {"schematic_t_junction", testdata::TJunctionScenario(), 4},
        {"schematic_roundabout", testdata::RoundaboutScenario(), 22},
        {"schematic_highway_exit", testdata::HighwayExitScenario(), 3},
        {"schematic_flag", testdata::TJunctionScenario(), CrossingView::kDestinationReached},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        Open(c.scenario);
        AdvicePtr advice;
        if (c.kind == CrossingView::kDestinationReached) {
            advice = ScriptAdvice({{c.kind, world->At(world->records.size() - 1), 0, 0}});
        } else {
            // The first of the kind, once its approach has begun when it has.
            for (const DrivenAdvice& driven : DriveAlong(*world)) {
                if (driven.kind != c.kind)
                    continue;
                if (!advice || driven.advice->Current()->GetApproachPercent() <= 0)
                    advice = driven.advice;
                if (driven.advice->Current()->GetApproachPercent() <= 0)
                    break;
            }
        }
        ASSERT_TRUE(advice);
        window->SetAdvice(advice);
        driver.RunUntilIdle();
        EXPECT_TRUE(
            testdata::WindowMatchesGolden(window->GetHwnd(), NAV_JUNCTIONVIEW_DIR, c.golden));
        TearDown();
    }
}

} // namespace

namespace {

TEST(SchematicLabelColour, ZeroOrNoneTakesTheDefault) {
    const struct {
        const char16_t* value;
        COLORREF colour;
    } cases[] = {{u"", 0xC8FFFF}, {u"0", 0xC8FFFF}, {u"255", 0x0000FF}};
    for (const auto& c : cases) {
        junctionwindowtesting::JunctionDevice device(240, 320, SchematicDescription(c.value));
        ASSERT_TRUE(device.isReady);
        std::unique_ptr<SchematicWnd> window(
            static_cast<SchematicWnd*>(CreateSchematicWnd(nullptr)));
        EXPECT_EQ(window->GetLabelColour(), c.colour);
    }
}

// The page layout of the demo install gives both windows their settings: the plate takes the
// bar's teal, on which the label's white reads.
TEST(SchematicDemoLayout, GivesBothWindowsTheirColoursAndTheLabelArea) {
    junctionwindowtesting::JunctionDevice device(240, 320, testdata::ScreenDescWriter(),
                                                 SchematicBundle());
    ASSERT_TRUE(device.isReady);
    ASSERT_TRUE(device.root.WriteFile(AppPaths::GetScreenDescFilePath(),
                                      testdata::ReadTestFile(NAV_SCREENDESC_SOURCE)));
    platform::ScreenDriver driver;
    std::unique_ptr<SchematicWnd> window(static_cast<SchematicWnd*>(CreateSchematicWnd(nullptr)));
    window->Create(RECT{0, 0, 240, 160}, device.page.window);
    std::unique_ptr<DistanceBar> bar(static_cast<DistanceBar*>(CreateDistanceBar(nullptr)));
    bar->Create(RECT{0, 160, 40, 320}, device.page.window);
    driver.RunUntilIdle();
    EXPECT_EQ(window->GetLabelColour(), 0xB28A12u);
    const RECT area = window->GetAreaRect(SchematicWnd::kDistanceAreaKey);
    RECT client{};
    GetClientRect(window->GetHwnd(), &client);
    EXPECT_GT(area.right - area.left, client.right / 3);
    EXPECT_GT(area.bottom - area.top, 15);
    EXPECT_LT(area.bottom, client.bottom / 4);
    EXPECT_EQ(bar->GetBackColour(), 0xB28A12u);
    EXPECT_EQ(bar->GetBarColour(), 0x00B4FFu);
    EXPECT_EQ(bar->GetFrameColour(), 0x7B5218u);
    EXPECT_GT(bar->GetScaleY(), 0.9f);
}

} // namespace
