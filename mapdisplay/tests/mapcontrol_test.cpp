#include "mapdisplay/mapcontrol.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

const GeoRect kControlExtent(10.0f, 50.0f, 11.0f, 51.0f);

std::vector<std::uint32_t> Screen() {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    EXPECT_TRUE(platform::ReadScreenPixels(nullptr, &pixels, &width, &height));
    return pixels;
}

// A 240 x 320 page holding a map control over its whole client area, and a log of the
// signals of both.
struct MapPage {
    WindowHandle page;
    MapControl map;
    OwnerHandlerList handlers;
    std::vector<std::string> log;
    std::vector<POINT> buttonUps;
    std::function<void()> onCommand;
    std::function<void()> onButtonUp;

    explicit MapPage(DWORD extraStyle, bool erase = true, bool hasExtent = true) {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        240, 320, nullptr, nullptr, nullptr, &page);
        EXPECT_TRUE(map.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE | extraStyle, erase));
        map.LeftButtonDown.ConnectUnlocked(this, &MapPage::OnDown);
        map.LeftButtonUp.ConnectUnlocked(this, &MapPage::OnUp);
        map.KeyDown.ConnectUnlocked(this, &MapPage::OnKey);
        map.VerticalScroll.ConnectUnlocked(this, &MapPage::OnVerticalScroll);
        map.Command.ConnectUnlocked(this, &MapPage::OnCommand);
        if (hasExtent)
            SetExtent();
        driver.RunUntilIdle();
    }
    void SetExtent() {
        map.SetExtent(kControlExtent);
        MapViewport* v = map.GetViewport();
        v->Changed.ConnectUnlocked(this, &MapPage::OnChanged);
        v->ScaleChanged.ConnectUnlocked(this, &MapPage::OnScale);
        v->ScrollInfoChanged.ConnectUnlocked(this, &MapPage::OnScroll);
        v->CenterChanged.ConnectUnlocked(this, &MapPage::OnCenter);
        v->RotationChanged.ConnectUnlocked(this, &MapPage::OnScale);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnDown(MapControlMessage) { log.emplace_back("LeftButtonDown"); }
    void OnUp(MapControlMessage m) {
        log.emplace_back("LeftButtonUp");
        buttonUps.push_back(POINT{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)});
        if (onButtonUp)
            onButtonUp();
    }
    void OnKey(KeyEvent) { log.emplace_back("KeyDown"); }
    void OnVerticalScroll(MapControlMessage) { log.emplace_back("VerticalScroll"); }
    void OnCommand(MapControlMessage) {
        if (onCommand)
            onCommand();
    }
    void OnChanged() { log.emplace_back("Changed"); }
    void OnScale(double) { log.emplace_back("ScaleChanged"); }
    void OnScroll(DWORD, DWORD) { log.emplace_back("ScrollInfoChanged"); }
    void OnCenter(std::int32_t, std::int32_t) { log.emplace_back("CenterChanged"); }

    [[nodiscard]] MapPoint Center() const { return map.GetTransform()->GetCenter(); }
    [[nodiscard]] MapPoint At(POINT p) const { return map.GetTransform()->ScreenToWorld(p); }
    [[nodiscard]] SCROLLINFO Bar(int bar) const {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        EXPECT_TRUE(GetScrollInfo(map.GetHwnd(), bar, &info));
        return info;
    }

    platform::ScreenDriver driver;
};

TEST(MapControl, WithoutExtentAnswersZeroButStillSignals) {
    MapPage page(0, true, false);
    EXPECT_EQ(page.map.GetTransform(), nullptr);
    EXPECT_EQ(page.map.ScreenToGeo(POINT{5, 5}), GeoPoint{});
    const POINT p = page.map.GeoToScreen(GeoPoint{10.5f, 50.5f});
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(page.map.GetScale(), 0.0);
    EXPECT_EQ(page.map.GetRotation(), 0.0);
    EXPECT_EQ(page.map.GetVisibleGeoRect(), GeoRect{});
    page.map.SetScale(5.0);
    page.map.ZoomTo(kControlExtent);
    page.map.ShowWhole();
    SetFocus(page.map.GetHwnd());
    page.driver.Key(VK_ADD);
    page.driver.Tap(POINT{50, 50});
    SendMessageW(page.map.GetHwnd(), WM_VSCROLL, SB_LINEUP, 0);
    // The release reaches the control as a message of its own: no drag without a viewport.
    EXPECT_EQ(page.log, (std::vector<std::string>{"KeyDown", "LeftButtonDown", "LeftButtonUp"}));
}

TEST(MapControl, SetExtentCentresTheViewAndSetsItsScrollBars) {
    for (DWORD style : {DWORD{0}, WS_HSCROLL | WS_VSCROLL}) {
        SCOPED_TRACE(style);
        MapPage page(style);
        IMapTransform* t = page.map.GetTransform();
        ASSERT_NE(t, nullptr);
        const POINT middle = t->WorldToScreen(t->GetCenter());
        EXPECT_EQ(middle.x, 120);
        EXPECT_EQ(middle.y, 160);
        EXPECT_EQ(t->GetCenter(), DegreesToMapUnits(kControlExtent).GetCenter());
        EXPECT_NEAR(page.map.GetScale(), 10.0, 1e-9);
        const DWORD h = page.map.GetViewport()->GetHorizontalScrollInfo();
        const DWORD v = page.map.GetViewport()->GetVerticalScrollInfo();
        const bool hasBars = style != 0;
        EXPECT_EQ(page.Bar(SB_HORZ).nMax, hasBars ? 32768 : 0);
        EXPECT_EQ(page.Bar(SB_HORZ).nPage, hasBars ? HIWORD(h) : 0u);
        EXPECT_EQ(page.Bar(SB_HORZ).nPos, hasBars ? LOWORD(h) : 0);
        EXPECT_EQ(page.Bar(SB_VERT).nPage, hasBars ? HIWORD(v) : 0u);
        EXPECT_EQ(page.Bar(SB_VERT).nPos, hasBars ? LOWORD(v) : 0);
        if (!hasBars)
            continue;
        // The whole extent: a page over the whole horizontal range.
        page.map.ShowWhole();
        EXPECT_EQ(page.Bar(SB_HORZ).nPage, 32768u);
        EXPECT_EQ(page.Bar(SB_HORZ).nPos, 0);
        // The thumb at the far end moves the centre onto the extent's edge.
        page.map.SetScale(10.0);
        SendMessageW(page.map.GetHwnd(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 32768), 0);
        EXPECT_EQ(page.Center().x, DegreesToMapUnits(kControlExtent).x2);
        EXPECT_EQ(page.Bar(SB_HORZ).nPos + static_cast<int>(page.Bar(SB_HORZ).nPage), 32767);
        // A centre outside the extent: nothing in view.
        page.map.SetCenter(GeoPoint{20.0f, 20.0f});
        EXPECT_EQ(page.Bar(SB_HORZ).nPage, 0u);
        EXPECT_EQ(page.Bar(SB_VERT).nPage, 0u);
    }
}

TEST(MapControl, KeysAndScrollCodesMoveScaleAndTurnTheView) {
    enum class Expect { PanX, PanY, Scale, Rotation, Nothing };
    const struct {
        const char* name;
        std::function<void(MapPage&)> action;
        Expect what;
        double value; // tenths of the visible span, metres per pixel or degrees
        std::vector<std::string> signals;
        double rotation = 0.0; // set before the action
    } cases[] = {
        {"plus",
         [](MapPage& p) { p.driver.Key(VK_ADD); },
         Expect::Scale,
         5.0,
         {"KeyDown", "Changed", "ScaleChanged", "ScrollInfoChanged"}},
        {"minus", [](MapPage& p) { p.driver.Key(VK_SUBTRACT); }, Expect::Scale, 20.0, {}},
        {"plus at the minimum",
         [](MapPage& p) {
             p.map.SetScaleLimits(8.0, 100000.0);
             p.driver.Key(VK_ADD);
         },
         Expect::Scale,
         8.0,
         {}},
        {"minus at the maximum",
         [](MapPage& p) {
             p.map.SetScaleLimits(0.0, 15.0);
             p.driver.Key(VK_SUBTRACT);
         },
         Expect::Scale,
         15.0,
         {}},
        {"left",
         [](MapPage& p) { p.driver.Key(VK_LEFT); },
         Expect::PanX,
         -1.0,
         {"KeyDown", "Changed", "CenterChanged", "ScrollInfoChanged"}},
        {"up", [](MapPage& p) { p.driver.Key(VK_UP); }, Expect::PanY, 1.0, {}},
        {"ctrl right",
         [](MapPage& p) { p.driver.KeyWith(VK_CONTROL, VK_RIGHT); },
         Expect::PanX,
         9.0,
         {}},
        {"ctrl down",
         [](MapPage& p) { p.driver.KeyWith(VK_CONTROL, VK_DOWN); },
         Expect::PanY,
         -9.0,
         {}},
        {"shift left at 0",
         [](MapPage& p) { p.driver.KeyWith(VK_SHIFT, VK_LEFT); },
         Expect::Rotation,
         -10.0,
         {}},
        {"shift right at 355",
         [](MapPage& p) {
             p.map.SetRotation(355.0);
             p.driver.KeyWith(VK_SHIFT, VK_RIGHT);
         },
         Expect::Rotation,
         5.0,
         {}},
        {"shift right at 12.5",
         [](MapPage& p) {
             p.map.SetRotation(12.5);
             p.driver.KeyWith(VK_SHIFT, VK_RIGHT);
         },
         Expect::Rotation,
         22.0,
         {}},
        {"shift up",
         [](MapPage& p) { p.driver.KeyWith(VK_SHIFT, VK_UP); },
         Expect::Nothing,
         0,
         {"KeyDown", "KeyDown"}}, // Shift itself, then the arrow
        {"line right",
         [](MapPage& p) { SendMessageW(p.map.GetHwnd(), WM_HSCROLL, SB_LINERIGHT, 0); },
         Expect::PanX,
         1.0,
         {"Changed", "CenterChanged", "ScrollInfoChanged"}},
        {"page left",
         [](MapPage& p) { SendMessageW(p.map.GetHwnd(), WM_HSCROLL, SB_PAGELEFT, 0); },
         Expect::PanX,
         -9.0,
         {}},
        {"thumb track",
         [](MapPage& p) {
             SendMessageW(p.map.GetHwnd(), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
             SendMessageW(p.map.GetHwnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), 0);
             SendMessageW(p.map.GetHwnd(), WM_VSCROLL, SB_ENDSCROLL, 0);
         },
         Expect::Nothing,
         0,
         {}},
        {"line down",
         [](MapPage& p) { SendMessageW(p.map.GetHwnd(), WM_VSCROLL, SB_LINEDOWN, 0); },
         Expect::PanY,
         -1.0,
         {"Changed", "CenterChanged", "ScrollInfoChanged", "VerticalScroll"}},
        {"up at 90 degrees: to the left of the map",
         [](MapPage& p) { p.driver.Key(VK_UP); },
         Expect::PanX,
         -1.0,
         {},
         90.0},
        {"right at 90 degrees: up the map",
         [](MapPage& p) { p.driver.Key(VK_RIGHT); },
         Expect::PanY,
         1.0,
         {},
         90.0},
        {"page up",
         [](MapPage& p) { SendMessageW(p.map.GetHwnd(), WM_VSCROLL, SB_PAGEUP, 0); },
         Expect::PanY,
         9.0,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapPage page(WS_HSCROLL | WS_VSCROLL);
        SetFocus(page.map.GetHwnd());
        page.map.SetRotation(c.rotation);
        const MapPoint before = page.Center();
        // The pans move by a share of the map span the window's corners cover.
        MapRect corners{page.At({0, 0}).x, page.At({0, 0}).y, page.At({0, 0}).x, page.At({0, 0}).y};
        for (POINT corner : {POINT{240, 0}, POINT{0, 320}, POINT{240, 320}})
            corners.Extend(page.At(corner));
        const std::int32_t width = corners.x2 - corners.x1;
        const std::int32_t height = corners.y2 - corners.y1;
        page.log.clear();
        c.action(page);
        const MapPoint after = page.Center();
        const auto tenths = static_cast<std::int32_t>(c.value);
        EXPECT_EQ(after.x - before.x, c.what == Expect::PanX ? width * tenths / 10 : 0);
        EXPECT_EQ(after.y - before.y, c.what == Expect::PanY ? height * tenths / 10 : 0);
        EXPECT_NEAR(page.map.GetScale(), c.what == Expect::Scale ? c.value : 10.0, 1e-9);
        EXPECT_EQ(page.map.GetRotation(), c.what == Expect::Rotation ? c.value : c.rotation);
        if (!c.signals.empty()) {
            EXPECT_EQ(page.log, c.signals);
        }
        const DWORD h = page.map.GetViewport()->GetHorizontalScrollInfo();
        EXPECT_EQ(page.Bar(SB_HORZ).nPos, static_cast<int>(LOWORD(h)));
    }
}

TEST(MapControl, ThumbPositionsSpanTheExtent) {
    const MapRect e = DegreesToMapUnits(kControlExtent);
    const std::int64_t w = static_cast<std::int64_t>(e.x2) - e.x1;
    const std::int64_t h = static_cast<std::int64_t>(e.y2) - e.y1;
    const struct {
        UINT message;
        WORD position;
        std::int64_t x; // -1: unchanged
        std::int64_t y;
    } cases[] = {
        {WM_HSCROLL, 0, e.x1, -1},
        {WM_HSCROLL, 16384, e.x1 + w / 2, -1},
        {WM_HSCROLL, 32768, e.x2, -1},
        {WM_VSCROLL, 0, -1, e.y2},
        {WM_VSCROLL, 8192, -1, e.y1 + 24576 * h / 32768},
        {WM_VSCROLL, 32768, -1, e.y1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.message << " " << c.position);
        MapPage page(WS_HSCROLL | WS_VSCROLL);
        const MapPoint before = page.Center();
        SendMessageW(page.map.GetHwnd(), c.message, MAKEWPARAM(SB_THUMBPOSITION, c.position), 0);
        EXPECT_EQ(page.Center().x, c.x < 0 ? before.x : c.x);
        EXPECT_EQ(page.Center().y, c.y < 0 ? before.y : c.y);
    }
}

TEST(MapControl, SizeAndEraseMessages) {
    for (bool erase : {false, true}) {
        SCOPED_TRACE(erase);
        MapPage page(0, erase);
        HWND window = page.map.GetHwnd();
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(0, 100));
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(100, 0));
        EXPECT_EQ(page.map.GetViewport()->GetSize().cx, 240);
        EXPECT_EQ(page.map.GetViewport()->GetSize().cy, 320);
        HDC dc = GetDC(window);
        RECT box{0, 0, 10, 10};
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FillRect(dc, &box, black);
        DeleteObject(black);
        const LRESULT result = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        EXPECT_EQ(GetPixel(dc, 5, 5), erase ? RGB(255, 255, 255) : RGB(0, 0, 0));
        EXPECT_NE(result, 0);
        ReleaseDC(window, dc);
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(120, 80));
        EXPECT_EQ(page.map.GetViewport()->GetSize().cx, 120);
        EXPECT_EQ(page.map.GetViewport()->GetSize().cy, 80);
    }
}

using platform::InjectKey;
using platform::InjectStylus;
using platform::StylusAction;

// A gesture: stylus and key input queued before the loop runs; a WM_COMMAND posted in
// between reaches the control while its drag loop runs.
struct Step {
    enum Kind { Down, Move, Up, RightDown, Escape, Command, Quit, DownWhileHeld } kind;
    POINT p{};
};

// True when a pixel within one of p differs between the two screens (240 pixels a row).
bool HasInvertedNear(const std::vector<std::uint32_t>& before,
                     const std::vector<std::uint32_t>& during, POINT p) {
    for (int y = p.y - 1; y <= p.y + 1; ++y) {
        for (int x = p.x - 1; x <= p.x + 1; ++x) {
            const auto i = static_cast<std::size_t>(y * 240 + x);
            if (x >= 0 && y >= 0 && x < 240 && i < before.size() && before[i] != during[i])
                return true;
        }
    }
    return false;
}

void Play(MapPage& page, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        switch (s.kind) {
        case Step::Down:
            InjectStylus(StylusAction::Down, s.p);
            break;
        case Step::Move:
            InjectStylus(StylusAction::Move, s.p);
            break;
        case Step::Up:
            InjectStylus(StylusAction::Up, s.p);
            break;
        case Step::RightDown:
            InjectStylus(StylusAction::RightDown, s.p);
            break;
        case Step::Escape:
            InjectKey(VK_ESCAPE, true);
            break;
        case Step::Command:
            PostMessageW(page.map.GetHwnd(), WM_COMMAND, 0, 0);
            break;
        case Step::Quit:
            PostQuitMessage(3);
            break;
        case Step::DownWhileHeld:
            SendMessageW(page.map.GetHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(s.p.x, s.p.y));
            break;
        }
    }
    page.driver.RunUntilIdle();
}

TEST(MapControlRubberBand, ZoomsToTheDraggedRectangleAndLeavesTheScreenAsItWas) {
    HWND other = nullptr;
    enum class Zoom { In, Out, None };
    const struct {
        const char* name;
        double rotation;
        std::vector<Step> steps;
        Zoom zoom;
        POINT end;
        std::function<void(MapPage&)> onCommand;
    } cases[] = {
        {"drag",
         0.0,
         {{Step::Down, {40, 60}},
          {Step::Move, {120, 160}},
          {Step::Command},
          {Step::Move, {200, 260}},
          {Step::Up, {200, 260}}},
         Zoom::In,
         {200, 260},
         nullptr},
        {"rotated drag",
         30.0,
         {{Step::Down, {40, 60}},
          {Step::Move, {120, 160}},
          {Step::Command},
          {Step::Move, {200, 260}},
          {Step::Up, {200, 260}}},
         Zoom::In,
         {200, 260},
         nullptr},
        {"up and left",
         0.0,
         {{Step::Down, {200, 260}}, {Step::Move, {40, 60}}, {Step::Up, {40, 60}}},
         Zoom::Out,
         {40, 60},
         nullptr},
        {"tap",
         0.0,
         {{Step::Down, {100, 100}}, {Step::Move, {104, 96}}, {Step::Up, {104, 96}}},
         Zoom::None,
         {104, 96},
         nullptr},
        {"escape",
         0.0,
         {{Step::Down, {40, 60}}, {Step::Move, {200, 260}}, {Step::Escape}, {Step::Up, {200, 260}}},
         Zoom::None,
         {200, 260},
         nullptr},
        {"right button",
         0.0,
         {{Step::Down, {40, 60}},
          {Step::Move, {200, 260}},
          {Step::RightDown, {200, 260}},
          {Step::Up, {200, 260}}},
         Zoom::None,
         {200, 260},
         nullptr},
        {"capture taken",
         0.0,
         {{Step::Down, {40, 60}},
          {Step::Move, {200, 260}},
          {Step::Command},
          {Step::Up, {200, 260}}},
         Zoom::None,
         {200, 260},
         [&](MapPage&) { SetCapture(other); }},
        {"capture held elsewhere",
         0.0,
         {{Step::DownWhileHeld, {40, 60}}},
         Zoom::None,
         {40, 60},
         nullptr},
        {"quit",
         0.0,
         {{Step::Down, {40, 60}}, {Step::Move, {200, 260}}, {Step::Quit}},
         Zoom::None,
         {200, 260},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapPage page(0);
        const bool isHeld = c.steps[0].kind == Step::DownWhileHeld;
        other = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
        page.map.SetRotation(c.rotation);
        page.driver.RunUntilIdle();
        const double scale = page.map.GetScale();
        const MapPoint a = page.At({40, 60});
        const MapPoint b = page.At({200, 260});
        const MapRect dragged{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                              std::max(a.y, b.y)};
        const MapPoint now = page.At({120, 160});
        const POINT topMiddle = page.map.GetTransform()->WorldToScreen(
            MapPoint{a.x + (now.x - a.x) / 2, std::max(a.y, now.y)});
        const std::vector<std::uint32_t> before = Screen();
        std::vector<std::uint32_t> during;
        page.onCommand = [&] {
            during = Screen();
            if (c.onCommand)
                c.onCommand(page);
        };
        bool isRestored = false;
        page.onButtonUp = [&] { isRestored = isRestored || Screen() == before; };
        page.log.clear();
        SetFocus(page.map.GetHwnd()); // keys go where the focus is when they are queued
        if (isHeld)
            SetCapture(other);
        Play(page, c.steps);
        ReleaseCapture();
        ASSERT_FALSE(page.buttonUps.empty());
        EXPECT_EQ(page.buttonUps[0].x, c.end.x);
        EXPECT_EQ(page.buttonUps[0].y, c.end.y);
        EXPECT_TRUE(isRestored);
        EXPECT_EQ(page.log[0], "LeftButtonDown");
        if (isHeld) {
            EXPECT_EQ(page.log, (std::vector<std::string>{"LeftButtonDown", "LeftButtonUp"}));
        }
        if (c.zoom == Zoom::In) {
            EXPECT_EQ(page.Center(), (MapPoint{dragged.x1 + (dragged.x2 - dragged.x1) / 2,
                                               dragged.y1 + (dragged.y2 - dragged.y1) / 2}));
            const IMapTransform* t = page.map.GetTransform();
            const POINT corners[] = {t->WorldToScreen({dragged.x1, dragged.y1}),
                                     t->WorldToScreen({dragged.x1, dragged.y2}),
                                     t->WorldToScreen({dragged.x2, dragged.y1}),
                                     t->WorldToScreen({dragged.x2, dragged.y2})};
            EXPECT_NE(ClassifyScreenPoints(corners, 4, SIZE{240, 320}), kScreenPointOutside);
            // Unrotated the rectangle fills the window at a finer scale.
            EXPECT_EQ(page.map.GetScale() < scale, c.rotation == 0.0);
        } else if (c.zoom == Zoom::Out) {
            EXPECT_GT(page.map.GetScale(), scale);
        } else {
            EXPECT_EQ(page.map.GetScale(), scale);
        }
        EXPECT_EQ(page.driver.HasSeenQuit(), std::string(c.name) == "quit");
        if (std::string(c.name).find("drag") == std::string::npos)
            continue;
        // Mid-drag the outline runs along the rectangle spanned so far, through the
        // transform: under rotation it is the rotated rectangle.
        ASSERT_EQ(during.size(), before.size());
        EXPECT_TRUE(HasInvertedNear(before, during, topMiddle));
        EXPECT_EQ(HasInvertedNear(before, during, POINT{80, 60}), c.rotation == 0.0);
    }
}

} // namespace
