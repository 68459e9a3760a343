// The map view's button bar over the draw town: the buttons of each mode, the collapsed and
// expanded layouts, the commands, the "Distance" label and hiding.

#include "mapdisplay/tests/mapviewfixture.h"
#include "testdata/screendescwriter.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/distancetext.h"

#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace mapviewtest;
using Bar = MapButtonBar;

constexpr const char* kBarSettings = "[Map]\r\n";
const std::vector<UINT> kAllIds = {Bar::kExpand,  Bar::kNames,     Bar::kNorthUp,    Bar::kZoomIn,
                                   Bar::kZoomOut, Bar::kBarButton, Bar::kNight,      Bar::kPick,
                                   Bar::kNext,    Bar::kPrevious,  Bar::kZoomToRoute};

enum class Mode { kGuidance, kPreview, kTracking, kNeither };

class MapButtonBarTest : public MapViewFixture {
protected:
    void StartIn(Mode mode, const char* settings = kBarSettings, int height = 320) {
        Start(240, height, settings, mode == Mode::kGuidance, mode == Mode::kTracking);
        if (mode == Mode::kPreview) {
            // A route before the window exists makes the view a route preview.
            (void)view->GetCanvas();
            const GeoPoint a = TownCentre();
            (void)view->SetRoute({ScriptedLine(a, GeoPoint{a.x + 0.01f, a.y + 0.005f})});
        }
        ShowWhole();
    }
    [[nodiscard]] std::vector<UINT> Created() {
        std::vector<UINT> ids;
        for (const UINT id : kAllIds) {
            if (view->GetButtonBar().GetButton(id) != nullptr) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    // The button's rectangle in the map window's client coordinates.
    [[nodiscard]] RECT Where(UINT id) {
        RECT r{};
        GetWindowRect(view->GetButtonBar().GetButton(id)->GetWindow(), &r);
        POINT topLeft{r.left, r.top};
        ScreenToClient(view->GetHwnd(), &topLeft);
        return RECT{topLeft.x, topLeft.y, topLeft.x + r.right - r.left,
                    topLeft.y + r.bottom - r.top};
    }
    [[nodiscard]] std::vector<UINT> Visible() {
        std::vector<UINT> ids;
        for (const UINT id : kAllIds) {
            BitmapButton* button = view->GetButtonBar().GetButton(id);
            if (button != nullptr && IsWindowVisible(button->GetWindow())) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    [[nodiscard]] RECT Client() {
        RECT client{};
        GetClientRect(view->GetHwnd(), &client);
        return client;
    }
    void Command(UINT id) { SendMessageW(view->GetHwnd(), WM_COMMAND, id, 0); }
    [[nodiscard]] static POINT Middle(const RECT& r) {
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

TEST_F(MapButtonBarTest, ButtonsAndLayoutsOfEachMode) {
    const std::vector<UINT> base = {Bar::kExpand,  Bar::kNames,     Bar::kNorthUp, Bar::kZoomIn,
                                    Bar::kZoomOut, Bar::kBarButton, Bar::kNight};
    auto with = [&base](std::vector<UINT> more) {
        std::vector<UINT> ids = base;
        ids.insert(ids.end(), more.begin(), more.end());
        std::vector<UINT> ordered;
        for (const UINT id : kAllIds) {
            if (std::find(ids.begin(), ids.end(), id) != ids.end()) {
                ordered.push_back(id);
            }
        }
        return ordered;
    };
    const struct {
        const char* name;
        Mode mode;
        std::vector<UINT> created;
        int height; // of the open column, standing on the map's bottom
        std::vector<UINT> order;
        bool label;
        int mapHeight = 320;
        int firstStep = 20; // from 890's top to the next button's
        int step = 29;      // from a button's top to the next one's, a row less than its height
    } cases[] = {
        {"guidance",
         Mode::kGuidance,
         with({Bar::kZoomToRoute}),
         195,
         {Bar::kExpand, Bar::kNight, Bar::kBarButton, Bar::kNorthUp, Bar::kZoomIn, Bar::kZoomOut,
          Bar::kZoomToRoute},
         true},
        {"preview",
         Mode::kPreview,
         with({Bar::kNext, Bar::kPrevious, Bar::kZoomToRoute}),
         224,
         {Bar::kExpand, Bar::kNight, Bar::kNames, Bar::kZoomIn, Bar::kZoomOut, Bar::kNext,
          Bar::kPrevious, Bar::kZoomToRoute},
         false},
        {"tracking",
         Mode::kTracking,
         with({}),
         166,
         {Bar::kExpand, Bar::kNight, Bar::kNames, Bar::kNorthUp, Bar::kZoomIn, Bar::kZoomOut},
         false},
        {"neither",
         Mode::kNeither,
         with({Bar::kPick}),
         166,
         {Bar::kExpand, Bar::kPick, Bar::kNight, Bar::kNames, Bar::kZoomIn, Bar::kZoomOut},
         false},
        // Maps lower than the column (the guidance page's, the route's when shown again from the
        // route list): the column fits the map, its buttons lower.
        {"guidance on a lower map",
         Mode::kGuidance,
         with({Bar::kZoomToRoute}),
         168,
         {Bar::kExpand, Bar::kNight, Bar::kBarButton, Bar::kNorthUp, Bar::kZoomIn, Bar::kZoomOut,
          Bar::kZoomToRoute},
         true,
         171,
         17,
         25},
        {"preview on a lower map",
         Mode::kPreview,
         with({Bar::kNext, Bar::kPrevious, Bar::kZoomToRoute}),
         170,
         {Bar::kExpand, Bar::kNight, Bar::kNames, Bar::kZoomIn, Bar::kZoomOut, Bar::kNext,
          Bar::kPrevious, Bar::kZoomToRoute},
         false,
         172,
         15,
         22},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        StartIn(t.mode, kBarSettings, t.mapHeight);
        EXPECT_EQ(Created(), t.created);
        EXPECT_EQ(view->GetButtonBar().IsRoutePreview(), t.mode == Mode::kPreview);
        EXPECT_EQ(IsWindowVisible(view->GetButtonBar().GetLabel()->GetWindow()) != FALSE, t.label);
        // Collapsed: only 890 at the bottom right corner.
        EXPECT_EQ(Visible(), std::vector<UINT>{Bar::kExpand});
        const RECT collapsed = Where(Bar::kExpand);
        EXPECT_EQ(collapsed.left, Client().right - 33);
        EXPECT_EQ(collapsed.top, Client().bottom - 21);
        EXPECT_EQ(collapsed.right - collapsed.left, 33);
        EXPECT_EQ(collapsed.bottom - collapsed.top, 21);

        // Opened and closed by taps on 890, wherever it stands: every button lies on the map.
        driver.Tap(OnScreen(Middle(collapsed)));
        driver.RunUntilIdle();
        EXPECT_TRUE(view->GetButtonBar().IsExpanded());
        std::vector<UINT> visible = Visible();
        std::vector<UINT> expected = t.order;
        std::sort(visible.begin(), visible.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(visible, expected);
        const int bottom = Client().bottom;
        int top = bottom - t.height;
        for (std::size_t i = 0; i < t.order.size(); ++i) {
            SCOPED_TRACE(t.order[i]);
            const RECT r = Where(t.order[i]);
            EXPECT_EQ(r.top, top);
            EXPECT_EQ(r.bottom - r.top, (i == 0 ? t.firstStep : t.step) + 1);
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.bottom, bottom);
            top += i == 0 ? t.firstStep : t.step;
        }
        EXPECT_EQ(Where(t.order.back()).bottom, bottom);
        driver.Tap(OnScreen(Middle(Where(Bar::kExpand))));
        driver.RunUntilIdle();
        EXPECT_FALSE(view->GetButtonBar().IsExpanded());
        EXPECT_EQ(Visible(), std::vector<UINT>{Bar::kExpand});

        view->HideButtons();
        EXPECT_TRUE(Visible().empty());
        EXPECT_FALSE(IsWindowVisible(view->GetButtonBar().GetLabel()->GetWindow()));
        EXPECT_FALSE(IsWindowVisible(view->GetArrowWindow().GetWindow()));
        EndRound();
    }
}

TEST_F(MapButtonBarTest, CommandsZoomSwitchAndStep) {
    StartIn(Mode::kNeither);
    // Zoom in and out within the limits.
    Canvas().SetScale(1.0);
    Command(Bar::kZoomIn);
    const double zoomedIn = Canvas().GetScale();
    EXPECT_LT(zoomedIn, 1.0);
    Command(Bar::kZoomOut);
    EXPECT_GT(Canvas().GetScale(), zoomedIn);
    Canvas().SetScale(0.05);
    EXPECT_GE(Canvas().GetScale(), 0.1);
    Canvas().SetScale(5000.0);
    EXPECT_LE(Canvas().GetScale(), 3000.0);

    // Names and pick on tap exclude each other.
    BitmapButton* names = view->GetButtonBar().GetButton(Bar::kNames);
    BitmapButton* pick = view->GetButtonBar().GetButton(Bar::kPick);
    const struct {
        UINT pressed;
        BYTE namesState;
        BYTE pickState;
    } toggles[] = {{Bar::kNames, 1, 0}, {Bar::kPick, 0, 1}, {Bar::kNames, 1, 0}};
    for (const auto& t : toggles) {
        SCOPED_TRACE(t.pressed);
        view->GetButtonBar().GetButton(t.pressed)->SetState(1);
        Command(t.pressed);
        EXPECT_EQ(names->GetState(), t.namesState);
        EXPECT_EQ(pick->GetState(), t.pickState);
    }

    // Night mode flips; the bar button reaches the listener.
    const bool night = IsMapNightMode();
    Command(Bar::kNight);
    EXPECT_NE(IsMapNightMode(), night);
    Command(Bar::kNight);
    EXPECT_EQ(IsMapNightMode(), night);
    Command(Bar::kBarButton);
    EXPECT_EQ(listener.barButtons, 1);
    Command(4711); // not a bar button
    EXPECT_EQ(listener.barButtons, 1);
}

TEST_F(MapButtonBarTest, NorthUpAndPointSteps) {
    StartIn(Mode::kPreview);
    BitmapButton* northUp = view->GetButtonBar().GetButton(Bar::kNorthUp);
    (void)view->SetPosition(Position(TownCentre(), 90, 0));
    const struct {
        BYTE state;
        double rotation;
    } cases[] = {{0, 270.0}, {1, 0.0}};
    for (const auto& t : cases) {
        northUp->SetState(t.state);
        Command(Bar::kNorthUp);
        EXPECT_DOUBLE_EQ(Canvas().GetRotation(), t.rotation) << int{t.state};
    }
    const GeoPoint a = TownCentre();
    const GeoPoint b{a.x + 0.001f, a.y};
    view->SetPointList({a, b});
    Command(Bar::kNext);
    EXPECT_EQ(view->GetPointCursor(), 1u);
    Command(Bar::kPrevious);
    EXPECT_EQ(view->GetPointCursor(), 0u);
}

TEST_F(MapButtonBarTest, DistanceLabel) {
    Start(240, 320, kBarSettings, true, false);
    // Designed for 480 x 640: the label lands at half its design rectangle.
    testdata::ScreenDescWriter desc;
    desc.Section(u"Arrow").Size(480, 640).Rect(u"Distance", 10, 20, 110, 61);
    ASSERT_TRUE(root.WriteFile(AppPaths::GetScreenDescFilePath(), desc.Build()));
    ShowWhole();
    HWND label = view->GetButtonBar().GetLabel()->GetWindow();
    RECT r{};
    GetWindowRect(label, &r);
    POINT topLeft{r.left, r.top};
    ScreenToClient(view->GetHwnd(), &topLeft);
    EXPECT_EQ(topLeft.x, 5);
    EXPECT_EQ(topLeft.y, 10);
    EXPECT_EQ(r.right - r.left, 50);
    EXPECT_EQ(r.bottom - r.top, 21); // trunc(30.5 + 0.5) - 10
    auto text = [label] {
        char16_t buffer[64] = {};
        GetWindowTextW(label, buffer, 64);
        return std::u16string(buffer);
    };
    const struct {
        MapRouteStatus status;
        bool metric;
        bool shown;
        std::u16string text;
    } cases[] = {
        {{true, 0, 1234}, true, true, FormatDistanceText(1234, false)},
        {{true, 1, 1500}, true, false, FormatDistanceText(1500, false)},
        {{true, 0, 800}, false, true, FormatDistanceText(800, true)},
        {{false, 5, 99}, true, true, FormatDistanceText(800, true)},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(testing::Message() << t.status.distance);
        view->SetMetric(t.metric);
        view->UpdateRouteStatus(t.status);
        EXPECT_EQ(IsWindowVisible(label) != FALSE, t.shown);
        EXPECT_EQ(text(), t.text);
    }
}

TEST_F(MapButtonBarTest, MovingCommandsWriteThePositionDump) {
    StartIn(Mode::kPreview, "[Position]\r\nWriteInFile=1\r\n");
    const struct {
        UINT id;
        bool writes;
    } cases[] = {{Bar::kNorthUp, true},     {Bar::kZoomIn, true},   {Bar::kZoomOut, true},
                 {Bar::kZoomToRoute, true}, {Bar::kPrevious, true}, {Bar::kNext, true},
                 {Bar::kNight, false},      {Bar::kExpand, false},  {Bar::kNames, false}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.id);
        ASSERT_TRUE(root.WriteFile(u"\\My Documents\\PKPosition.txt", "old"));
        Command(t.id);
        const std::optional<std::string> dump = root.ReadFile(u"\\My Documents\\PKPosition.txt");
        ASSERT_TRUE(dump);
        // A preview neither guides nor tracks: the dump has no GPS section.
        EXPECT_EQ(dump->rfind("[MapCoordinates]", 0) == 0, t.writes) << *dump;
    }
}

} // namespace
