#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <climits>

using windowtesting::ClearLog;
using windowtesting::Numbers;
using windowtesting::RegisterRecordingClass;

namespace {

HWND MakeTop(LPCWSTR className, DWORD style = WS_VISIBLE, LPVOID param = nullptr) {
    return CreateWindowExW(0, className, u"top", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, param);
}

HWND MakeChild(HWND parent, int id, RECT rect, DWORD style = WS_CHILD | WS_VISIBLE,
               LPCWSTR className = u"Rec") {
    return CreateWindowExW(0, className, u"", style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr,
                           nullptr);
}

// The window's update region covers the area (client coordinates).
void ExpectDirtyOver(HWND window, RECT area) {
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(window, &dirty, FALSE));
    EXPECT_LE(dirty.left, area.left);
    EXPECT_LE(dirty.top, area.top);
    EXPECT_GE(dirty.right, area.right);
    EXPECT_GE(dirty.bottom, area.bottom);
}

TEST(WindowClasses, RegistrationFailuresLeaveNoHalfClass) {
    platform::DebugOutputCapture capture;
    RegisterRecordingClass(u"Twice");
    WNDCLASSW second{};
    second.lpfnWndProc = DefWindowProcW;
    second.lpszClassName = u"TWICE";
    WNDCLASSW noProcedure{};
    noProcedure.lpszClassName = u"NoProc";
    WNDCLASSW noName{};
    noName.lpfnWndProc = DefWindowProcW;
    const struct {
        const WNDCLASSW* windowClass;
        DWORD error;
        LPCWSTR lookup;
    } cases[] = {{&second, ERROR_CLASS_ALREADY_EXISTS, u"Twice"},
                 {&noProcedure, ERROR_INVALID_PARAMETER, u"NoProc"},
                 {&noName, ERROR_INVALID_PARAMETER, nullptr}};
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(RegisterClassW(c.windowClass), 0);
        EXPECT_EQ(GetLastError(), c.error);
    }
    WNDCLASSW found{};
    ASSERT_TRUE(GetClassInfoW(nullptr, u"twice", &found));
    EXPECT_EQ(found.lpfnWndProc, &windowtesting::RecordingProcedure); // the first one holds
    EXPECT_FALSE(GetClassInfoW(nullptr, u"NoProc", &found));
    EXPECT_TRUE(capture.Contains(u"\"TWICE\" already exists"));
    EXPECT_TRUE(GetClassInfoW(nullptr, u"Static", &found));
    EXPECT_TRUE(GetClassInfoW(nullptr, u"edit", &found));
    EXPECT_FALSE(UnregisterClassW(u"Edit", nullptr)); // system classes stay
    EXPECT_TRUE(UnregisterClassW(u"Twice", nullptr));
    EXPECT_FALSE(GetClassInfoW(nullptr, u"Twice", &found));
}

LPVOID g_paramSeenInCreate = nullptr;
LRESULT CreateParamProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        g_paramSeenInCreate = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
    }
    return windowtesting::RecordingProcedure(window, message, wParam, lParam);
}

TEST(WindowCreation, SendsMessagesInOrderWithCreateParamsBeforeReturning) {
    RegisterRecordingClass(u"Create", 0, 0, CreateParamProcedure);
    int marker = 0;
    const struct {
        DWORD style;
        std::vector<UINT> expected;
    } cases[] = {
        {0, {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}},
        {WS_VISIBLE,
         {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE, WM_SETFOCUS}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        ClearLog();
        g_paramSeenInCreate = nullptr;
        HWND window = MakeTop(u"Create", c.style, &marker);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(g_paramSeenInCreate, &marker);
        EXPECT_EQ(Numbers(window), c.expected);
        DestroyWindow(window);
    }
}

TEST(WindowCreation, PlacesWindowsByStyle) {
    RegisterRecordingClass(u"Rec");
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, 26);
    EXPECT_EQ(work.bottom, 320);
    HWND top = MakeTop(u"Rec");
    HWND bordered = MakeChild(top, 7, RECT{10, 20, 60, 50},
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER);
    const struct {
        HWND window;
        RECT windowRect;
        RECT clientRect;
    } cases[] = {
        {top, work, RECT{0, 0, 240, 294}},
        {bordered, RECT{10, 46, 60, 76}, RECT{0, 0, 48, 28}},
    };
    for (const auto& c : cases) {
        RECT windowRect{};
        RECT clientRect{};
        ASSERT_TRUE(GetWindowRect(c.window, &windowRect));
        ASSERT_TRUE(GetClientRect(c.window, &clientRect));
        EXPECT_EQ(std::vector<LONG>(
                      {windowRect.left, windowRect.top, windowRect.right, windowRect.bottom}),
                  std::vector<LONG>({c.windowRect.left, c.windowRect.top, c.windowRect.right,
                                     c.windowRect.bottom}));
        EXPECT_EQ(clientRect.right, c.clientRect.right);
        EXPECT_EQ(clientRect.bottom, c.clientRect.bottom);
    }
    POINT point{0, 0};
    ASSERT_TRUE(ClientToScreen(bordered, &point));
    EXPECT_EQ(point.x, 11);
    EXPECT_EQ(point.y, 47);
    ASSERT_TRUE(ScreenToClient(bordered, &point));
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(GetDlgItem(top, 7), bordered);
    EXPECT_EQ(GetDlgItem(top, 8), nullptr);
    EXPECT_EQ(GetParent(bordered), top);
    EXPECT_EQ(FindWindowW(nullptr, u"top"), top);
    EXPECT_EQ(FindWindowW(u"REC", u"none"), nullptr);
    DestroyWindow(top);
    EXPECT_EQ(
        CreateWindowExW(0, u"Unknown", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

WNDPROC g_previous = nullptr;
std::vector<int> g_chain;
LRESULT OuterSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER)
        g_chain.push_back(2);
    return CallWindowProcW(g_previous, window, message, wParam, lParam);
}
LRESULT InnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        g_chain.push_back(1);
        return 42;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WindowWords, SubclassChainsAndPointerSizedExtraWords) {
    RegisterRecordingClass(u"Words", 0, 4, InnerProcedure);
    HWND window = MakeTop(u"Words", 0);
    g_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterSubclass)));
    EXPECT_EQ(g_previous, &InnerProcedure);
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 42);
    EXPECT_EQ(g_chain, (std::vector<int>{2, 1}));

    int object = 0;
    const auto pointer = reinterpret_cast<LONG_PTR>(&object);
    static_assert(sizeof(LONG_PTR) == 8);
    const struct {
        int index;
        LONG_PTR value;
        bool isValid;
    } cases[] = {{0, pointer, true},
                 {4, 0, false},
                 {-100, 0, false},
                 {GWL_USERDATA, pointer, true},
                 {GWL_ID, 99, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        SetLastError(0);
        SetWindowLongW(window, c.index, c.value);
        EXPECT_EQ(GetWindowLongW(window, c.index), c.value);
        EXPECT_EQ(GetLastError(), c.isValid ? 0u : ERROR_INVALID_INDEX);
    }
    DestroyWindow(window);
}

HWND g_destroyFromChild = nullptr;
LRESULT DestroyingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER && g_destroyFromChild != nullptr) {
        DestroyWindow(g_destroyFromChild);
        return 1;
    }
    if (message == WM_USER + 1) {
        DestroyWindow(window);
        return 2;
    }
    return windowtesting::RecordingProcedure(window, message, wParam, lParam);
}

TEST(WindowDestruction, ReachesChildrenAndSurvivesDestructionInsideHandlers) {
    RegisterRecordingClass(u"Destroy", 0, 0, DestroyingProcedure);
    HWND top = MakeTop(u"Destroy", 0);
    HWND child = MakeChild(top, 1, RECT{0, 0, 10, 10}, WS_CHILD, u"Destroy");
    HWND grandChild = MakeChild(child, 2, RECT{0, 0, 5, 5}, WS_CHILD, u"Destroy");
    ClearLog();
    // A child destroys its own parent inside its handler.
    g_destroyFromChild = top;
    EXPECT_EQ(SendMessageW(child, WM_USER, 0, 0), 1);
    g_destroyFromChild = nullptr;
    const std::vector<UINT> destroys = Numbers(nullptr, {WM_DESTROY});
    ASSERT_EQ(destroys.size(), 3u);
    {
        std::lock_guard lock(windowtesting::LogMutex());
        std::vector<HWND> order;
        for (const auto& e : windowtesting::Log()) {
            if (e.message == WM_DESTROY)
                order.push_back(e.window);
        }
        EXPECT_EQ(order, (std::vector<HWND>{top, child, grandChild}));
    }
    const struct { HWND window; } gone[] = {{top}, {child}, {grandChild}};
    for (const auto& g : gone) {
        EXPECT_FALSE(IsWindow(g.window));
        SetLastError(0);
        EXPECT_EQ(SendMessageW(g.window, WM_USER, 0, 0), 0);
        EXPECT_FALSE(PostMessageW(g.window, WM_USER, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    }
    HWND self = MakeTop(u"Destroy", 0);
    EXPECT_EQ(SendMessageW(self, WM_USER + 1, 0, 0), 2); // destroyed in its own handler
    EXPECT_FALSE(IsWindow(self));
}

TEST(WindowPosition, ShowMoveAndSizeSendTheirMessages) {
    RegisterRecordingClass(u"Rec");
    HWND top = MakeTop(u"Rec");
    HWND child = MakeChild(top, 1, RECT{0, 0, 20, 20}, WS_CHILD);
    const struct {
        std::function<void()> action;
        std::vector<UINT> expected;
        bool isVisible;
    } cases[] = {
        {[&] { ShowWindow(child, SW_SHOW); }, {WM_SHOWWINDOW}, true},
        {[&] { ShowWindow(child, SW_SHOW); }, {}, true},
        {[&] { MoveWindow(child, 5, 5, 30, 40, TRUE); }, {WM_SIZE, WM_MOVE}, true},
        {[&] { SetWindowPos(child, nullptr, 9, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER); },
         {WM_MOVE},
         true},
        {[&] { SetWindowPos(child, nullptr, 0, 0, 1, 2, SWP_NOMOVE | SWP_NOZORDER); },
         {WM_SIZE},
         true},
        {[&] { ShowWindow(child, SW_HIDE); }, {WM_SHOWWINDOW}, false},
        {[&] { EnableWindow(child, FALSE); }, {WM_ENABLE}, false},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        ClearLog();
        c.action();
        EXPECT_EQ(Numbers(child), c.expected);
        EXPECT_EQ(IsWindowVisible(child) != FALSE, c.isVisible);
    }
    EXPECT_FALSE(IsWindowEnabled(child));
    RECT rect{};
    // Far-off positions and sizes are held within +-2^29.
    RECT origin{};
    GetWindowRect(top, &origin);
    MoveWindow(child, INT_MIN, INT_MAX, INT_MAX, -5, FALSE);
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect.left - origin.left, -(1 << 29));
    EXPECT_EQ(rect.top - origin.top, 1 << 29);
    EXPECT_EQ(rect.right - rect.left, 1 << 29);
    EXPECT_EQ(rect.bottom - rect.top, 0);
    SetWindowPos(child, nullptr, 9, 9, 1, 2, SWP_NOZORDER);
    GetWindowRect(child, &rect);
    EXPECT_EQ(rect.left, 9);
    EXPECT_EQ(rect.right - rect.left, 1);
    EXPECT_EQ(rect.bottom - rect.top, 2);
    SetWindowTextW(child, u"label");
    EXPECT_EQ(platform::WindowTextOf(child), u"label");
    WCHAR buffer[4];
    EXPECT_EQ(GetWindowTextW(child, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"lab");
    DestroyWindow(top);
}

TEST(WindowPosition, HidingRepaintsWhatItUncoversUnlessNoRedrawIsAsked) {
    RegisterRecordingClass(u"Rec");
    const struct {
        std::function<void(HWND)> hide;
        bool isParentDirty;
    } cases[] = {
        {[](HWND child) { ShowWindow(child, SW_HIDE); }, true},
        {[](HWND child) {
             SetWindowPos(child, nullptr, 0, 0, 0, 0,
                          SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         },
         true},
        {[](HWND child) {
             SetWindowPos(child, nullptr, 0, 0, 0, 0,
                          SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         },
         false},
    };
    for (const auto& c : cases) {
        HWND top = MakeTop(u"Rec");
        HWND child = MakeChild(top, 1, RECT{0, 0, 20, 20});
        platform::ScreenDriver driver;
        ASSERT_TRUE(driver.RunUntilIdle());
        ClearLog();
        c.hide(child);
        EXPECT_FALSE(IsWindowVisible(child));
        EXPECT_EQ(Numbers(child, {WM_SHOWWINDOW}), std::vector<UINT>{WM_SHOWWINDOW});
        RECT dirty{};
        EXPECT_EQ(GetUpdateRect(top, &dirty, FALSE) != FALSE, c.isParentDirty);
        DestroyWindow(top);
    }
}

// A window that goes away from over a child of a parent that clips its children leaves the
// child to repaint what it uncovered: a child window over it or a top-level window over its
// parent, hidden, destroyed, moved away or shrunk.
TEST(WindowPosition, UncoveringDirtiesTheChildrenBeneathUnderAClippingParent) {
    RegisterRecordingClass(u"Rec");
    const struct {
        const char* name;
        bool isTopLevel;
        std::function<void(HWND)> uncover;
    } cases[] = {
        {"hidden", false, [](HWND cover) { ShowWindow(cover, SW_HIDE); }},
        {"destroyed", false, [](HWND cover) { DestroyWindow(cover); }},
        {"moved away", false,
         [](HWND cover) { SetWindowPos(cover, nullptr, 100, 100, 0, 0, SWP_NOSIZE); }},
        {"shrunk", false, [](HWND cover) { SetWindowPos(cover, nullptr, 0, 0, 5, 5, SWP_NOMOVE); }},
        {"top-level hidden", true, [](HWND cover) { ShowWindow(cover, SW_HIDE); }},
        {"top-level destroyed", true, [](HWND cover) { DestroyWindow(cover); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND top = MakeTop(u"Rec", WS_VISIBLE | WS_CLIPCHILDREN);
        HWND beneath = MakeChild(top, 1, RECT{0, 0, 40, 40});
        HWND cover = nullptr;
        if (c.isTopLevel) {
            POINT origin{10, 10};
            ClientToScreen(top, &origin);
            cover = CreateWindowExW(0, u"Rec", u"", WS_POPUP | WS_VISIBLE, origin.x, origin.y, 20,
                                    20, nullptr, nullptr, nullptr, nullptr);
        } else {
            cover = MakeChild(top, 2, RECT{10, 10, 30, 30});
        }
        platform::ScreenDriver driver;
        ASSERT_TRUE(driver.RunUntilIdle());
        c.uncover(cover);
        ExpectDirtyOver(beneath, RECT{10, 10, 30, 30});
        if (IsWindow(cover))
            DestroyWindow(cover);
        DestroyWindow(top);
    }
}

// A change of the z-order that brings a window above one that covered part of it makes that
// part dirty in the window (lowered, placed after, activated, raised with the popup it owns,
// brought to the foreground while active already); one that leaves it beneath dirties nothing,
// nor does one asked not to redraw.
TEST(WindowPosition, AWindowThatComesAboveItsCoverRepaintsWhatTheCoverHid) {
    RegisterRecordingClass(u"Rec");
    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    struct Scene {
        HWND lower;
        HWND cover;
        HWND owned; // a hidden popup of lower's, away from the cover
    };
    const struct {
        const char* name;
        std::function<void(const Scene&)> prepare;
        std::function<void(const Scene&)> change;
        bool isInFront; // the lower one, afterwards
        bool isDirty;
    } cases[] = {
        {"cover lowered to the bottom", [](const Scene&) {},
         [](const Scene& s) { SetWindowPos(s.cover, HWND_BOTTOM, 0, 0, 0, 0, kKeep); }, true, true},
        {"cover placed after the lower one", [](const Scene&) {},
         [](const Scene& s) { SetWindowPos(s.cover, s.lower, 0, 0, 0, 0, kKeep); }, true, true},
        {"lower one activated", [](const Scene&) {},
         [](const Scene& s) { SetActiveWindow(s.lower); }, true, true},
        {"a popup of the lower one activated", [](const Scene&) {},
         [](const Scene& s) {
             ShowWindow(s.owned, SW_SHOWNA);
             SetActiveWindow(s.owned);
         },
         true, true},
        {"the active lower one brought to the foreground",
         [](const Scene& s) {
             SetActiveWindow(s.lower);
             SetWindowPos(s.cover, HWND_TOP, 0, 0, 0, 0, kKeep);
         },
         [](const Scene& s) { EXPECT_TRUE(SetForegroundWindow(s.lower)); }, true, true},
        {"cover raised", [](const Scene&) {},
         [](const Scene& s) { SetWindowPos(s.cover, HWND_TOP, 0, 0, 0, 0, kKeep); }, false, false},
        {"cover lowered without redrawing", [](const Scene&) {},
         [](const Scene& s) {
             SetWindowPos(s.cover, HWND_BOTTOM, 0, 0, 0, 0, kKeep | SWP_NOREDRAW);
         },
         true, false},
    };
    auto popup = [](RECT r, HWND owner, DWORD style) {
        return CreateWindowExW(0, u"Rec", u"", WS_POPUP | style, r.left, r.top, r.right - r.left,
                               r.bottom - r.top, owner, nullptr, nullptr, nullptr);
    };
    platform::ScreenDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene{};
        scene.lower = popup(RECT{0, 0, 100, 100}, nullptr, WS_VISIBLE);
        scene.cover = popup(RECT{10, 10, 30, 30}, nullptr, WS_VISIBLE);
        scene.owned = popup(RECT{150, 150, 170, 170}, scene.lower, 0);
        c.prepare(scene);
        ASSERT_EQ(WindowFromPoint(POINT{20, 20}), scene.cover);
        ASSERT_TRUE(driver.RunUntilIdle());
        c.change(scene);
        EXPECT_EQ(WindowFromPoint(POINT{20, 20}), c.isInFront ? scene.lower : scene.cover);
        if (c.isDirty)
            ExpectDirtyOver(scene.lower, RECT{10, 10, 30, 30});
        else
            EXPECT_FALSE(GetUpdateRect(scene.lower, nullptr, FALSE));
        for (HWND window : {scene.owned, scene.cover, scene.lower})
            DestroyWindow(window);
    }
}

// Children too: a sibling lowered beneath another one, or a shown child given to another
// parent, leaves what it covered to repaint; so does a child made a top-level window.
TEST(WindowPosition, AChildLoweredOrGivenAwayLeavesItsPlaceToRepaint) {
    RegisterRecordingClass(u"Rec");
    const struct {
        const char* name;
        std::function<void(HWND child, HWND other)> change;
    } cases[] = {
        {"lowered beneath its sibling",
         [](HWND child, HWND) {
             SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
         }},
        {"given to another parent", [](HWND child, HWND other) { SetParent(child, other); }},
        {"made a top-level window", [](HWND child, HWND) { SetParent(child, nullptr); }},
    };
    platform::ScreenDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND top = MakeTop(u"Rec", WS_VISIBLE | WS_CLIPCHILDREN);
        HWND other = MakeTop(u"Rec", 0);
        HWND beneath =
            MakeChild(top, 1, RECT{0, 0, 40, 40}, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
        HWND child =
            MakeChild(top, 2, RECT{10, 10, 30, 30}, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
        ASSERT_TRUE(driver.RunUntilIdle());
        c.change(child, other);
        ExpectDirtyOver(beneath, RECT{10, 10, 30, 30});
        DestroyWindow(child);
        DestroyWindow(other);
        DestroyWindow(top);
    }
}

} // namespace

namespace {

TEST(DefaultProcedure, KeepsTextErasesAndClosesByDefault) {
    RegisterRecordingClass(u"Rec");
    HWND window = MakeTop(u"Rec", 0);
    WCHAR buffer[8] = u"";
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
    } cases[] = {
        {WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Navi"), TRUE},
        {WM_GETTEXTLENGTH, 0, 0, 4},
        {WM_GETTEXT, 3, reinterpret_cast<LPARAM>(buffer), 2},
        {WM_ERASEBKGND, 0, 0, 1},
        {WM_CTLCOLORSTATIC, 0, 0, reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH))},
        {WM_CLOSE, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(SendMessageW(window, c.message, c.wParam, c.lParam), c.result);
    }
    EXPECT_EQ(std::u16string(buffer), u"Na");
    EXPECT_FALSE(IsWindow(window)); // WM_CLOSE destroyed it
}

TEST(DefaultProcedure, KeepsIconsAndTheScreenShowsTheTopBigIcon) {
    RegisterRecordingClass(u"Rec");
    auto top = [](DWORD style) {
        return CreateWindowExW(0, u"Rec", u"", WS_POPUP | style, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
    };
    HWND lower = top(WS_VISIBLE);
    HWND upper = top(WS_VISIBLE);
    HWND hidden = top(0);
    const auto big = reinterpret_cast<HICON>(std::uintptr_t{0x51});
    const auto small = reinterpret_cast<HICON>(std::uintptr_t{0x52});
    const auto other = reinterpret_cast<HICON>(std::uintptr_t{0x53});
    const auto asParam = [](HICON icon) { return reinterpret_cast<LPARAM>(icon); };
    const struct {
        HWND window;
        UINT message;
        WPARAM which;
        HICON icon;
        HICON result;
        HICON screen; // ScreenIcon afterwards
    } steps[] = {
        {lower, WM_GETICON, ICON_BIG, nullptr, nullptr, nullptr},
        {lower, WM_SETICON, ICON_BIG, big, nullptr, big},
        {lower, WM_SETICON, ICON_SMALL, small, nullptr, big},
        {lower, WM_GETICON, ICON_BIG, nullptr, big, big},
        {lower, WM_GETICON, ICON_SMALL, nullptr, small, big},
        {lower, WM_SETICON, 2, other, nullptr, big}, // no such icon
        {upper, WM_SETICON, ICON_SMALL, other, nullptr, big},
        {hidden, WM_SETICON, ICON_BIG, other, nullptr, big},  // not shown
        {upper, WM_SETICON, ICON_BIG, other, nullptr, other}, // above the lower one
        {upper, WM_SETICON, ICON_BIG, nullptr, other, big},
        {lower, WM_SETICON, ICON_BIG, other, big, other},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const auto& step = steps[i];
        EXPECT_EQ(SendMessageW(step.window, step.message, step.which, asParam(step.icon)),
                  asParam(step.result));
        EXPECT_EQ(platform::ScreenIcon(), step.screen);
    }
    DestroyWindow(lower);
    EXPECT_EQ(platform::ScreenIcon(), nullptr);
    ShowWindow(hidden, SW_SHOW);
    EXPECT_EQ(platform::ScreenIcon(), other);
    DestroyWindow(upper);
    DestroyWindow(hidden);
}

} // namespace

namespace {

TEST(ZOrder, TopmostWindowsStayAboveAndInsertAfterPlacesWindows) {
    RegisterRecordingClass(u"Rec");
    auto popup = [](DWORD exStyle) {
        return CreateWindowExW(exStyle, u"Rec", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
    };
    HWND topmost = popup(WS_EX_TOPMOST);
    HWND first = popup(0);
    HWND second = popup(0);
    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    const struct {
        std::function<void()> change;
        HWND onTop;
    } cases[] = {
        {[] {}, topmost},
        {[&] { SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, kKeep); }, topmost},
        {[&] { SetWindowPos(topmost, HWND_NOTOPMOST, 0, 0, 0, 0, kKeep); }, topmost},
        {[&] { SetWindowPos(topmost, HWND_BOTTOM, 0, 0, 0, 0, kKeep); }, first},
        {[&] { SetWindowPos(first, second, 0, 0, 0, 0, kKeep); }, second},
        {[&] { ShowWindow(second, SW_HIDE); }, first},
        {[&] { SetForegroundWindow(topmost); }, topmost},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        c.change();
        EXPECT_EQ(WindowFromPoint(POINT{50, 50}), c.onTop);
    }
    for (HWND window : {topmost, first, second})
        DestroyWindow(window);
}

} // namespace
