#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/mapscrollbars.h"
#include "utilities/usefulcode/windowhandle.h"
#include "utilities/usefulcode/windowhooks.h"

#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Page {
    WindowHandle handle;
    OwnerHandlerList handlers;
    std::vector<UINT> seen;
    HWND windowDuringCreate = nullptr;
    LPARAM lastSize = 0;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void On(UINT message, WPARAM, LPARAM lParam, LRESULT* result, bool* handled) {
        seen.push_back(message);
        if (message == WM_CREATE)
            windowDuringCreate = handle.window;
        if (message == WM_SIZE)
            lastSize = lParam;
        if (message == WM_USER) {
            *result = 7;
            *handled = true;
        }
    }
};

TEST(WindowClassRegistry, NamesTheClassFromItsValuesAndRegistersOnce) {
    const struct {
        WNDCLASSW values;
        std::u16string name;
    } cases[] = {
        {WNDCLASSW{8, nullptr, 0, 0, nullptr, nullptr, nullptr, reinterpret_cast<HBRUSH>(61440),
                   nullptr, nullptr},
         u"Pwc806144000"},
        {WNDCLASSW{11, nullptr, 0, 0, nullptr, reinterpret_cast<HICON>(2),
                   reinterpret_cast<HCURSOR>(7), reinterpret_cast<HBRUSH>(5), nullptr, nullptr},
         u"Pwc117520"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::u16string(WindowClassRegistry::MakeClassName(c.values)), c.name);
    }
    WNDCLASSW values{};
    values.cbWndExtra = 8;
    EXPECT_NE(WindowClassRegistry::Register(values, nullptr), 0);
    EXPECT_EQ(WindowClassRegistry::Register(WNDCLASSW{}, nullptr), 0); // exists already
    EXPECT_EQ(std::u16string(WindowClassRegistry::ClassName()), u"Pwc806144000");
    WNDCLASSW registered{};
    ASSERT_TRUE(GetClassInfoW(nullptr, WindowClassRegistry::ClassName(), &registered));
    EXPECT_EQ(registered.style, CS_DBLCLKS);
    EXPECT_EQ(registered.cbWndExtra, 12);
    EXPECT_EQ(registered.lpfnWndProc, &FrameworkWindowProc);
    EXPECT_EQ(registered.hbrBackground, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(WindowClassRegistry::ExtraIndex(), 8);
}

TEST(ShowPageWindow, CreatesTheWindowWithItsHandleBeforeCreationEnds) {
    Page page;
    for (UINT message : {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_USER, WM_DESTROY}) {
        ConnectMessageHandler(page.handle.map, message, &page, &Page::On);
    }
    ShowPageWindow(page.handle, true);
    ASSERT_NE(page.handle.window, nullptr);
    EXPECT_EQ(page.windowDuringCreate, page.handle.window);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(page.lastSize, MAKELPARAM(work.right - work.left, work.bottom - work.top));
    // WM_NCCREATE came before the window word was set: it went to the fallback procedure.
    EXPECT_EQ(page.seen, (std::vector<UINT>{WM_CREATE, WM_SIZE, WM_SIZE}));
    EXPECT_EQ(SendMessageW(page.handle.window, WM_USER, 0, 0), 7);
    const struct {
        bool show;
        BOOL isVisible;
    } cases[] = {{false, FALSE}, {true, TRUE}};
    for (const auto& c : cases) {
        ShowPageWindow(page.handle, c.show);
        EXPECT_EQ(IsWindowVisible(page.handle.window), c.isVisible);
    }
    HWND window = page.handle.window;
    page.seen.clear();
    page.handle.~WindowHandle();
    new (&page.handle) WindowHandle();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(page.seen.empty()); // no handler ran while the window went
}

struct Hooker {
    Hooker(int hookerId, bool doesHandle, std::vector<int>* callLog)
        : id(hookerId)
        , handles(doesHandle)
        , calls(callLog) {}
    int id;
    bool handles;
    std::vector<int>* calls;
    OwnerHandlerList handlers;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void On(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
        calls->push_back(id);
        if (handles) {
            *result = static_cast<LRESULT>(id) * 10;
            *handled = true;
        }
    }
};

LRESULT BaseProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER || message == WM_CTLCOLORSTATIC)
        return 99;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WindowHooks, TheFirstHookThatHandlesWinsAndTheLastToLeaveRestores) {
    WNDCLASSW values{};
    values.lpfnWndProc = BaseProcedure;
    values.lpszClassName = u"Hooked";
    RegisterClassW(&values);
    HWND window =
        CreateWindowExW(0, u"Hooked", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const struct {
        bool firstHandles;
        bool secondHandles;
        LRESULT result;
        std::vector<int> calls;
    } cases[] = {{true, true, 10, {1}}, {false, true, 20, {1, 2}}, {false, false, 99, {1, 2}}};
    for (const auto& c : cases) {
        std::vector<int> calls;
        Hooker first{1, c.firstHandles, &calls};
        Hooker second{2, c.secondHandles, &calls};
        SubclassHook firstHook;
        SubclassHook secondHook;
        ConnectMessageHandler(firstHook.map, WM_USER, &first, &Hooker::On);
        ConnectMessageHandler(secondHook.map, WM_USER, &second, &Hooker::On);
        firstHook.SetWindow(window);
        secondHook.SetWindow(window);
        EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), c.result);
        EXPECT_EQ(calls, c.calls);
        firstHook.SetWindow(nullptr);
        EXPECT_EQ(GetWindowLongW(window, GWL_WNDPROC),
                  reinterpret_cast<LONG_PTR>(&SubclassRegistry::WindowProc));
        secondHook.SetWindow(nullptr);
        EXPECT_EQ(GetWindowLongW(window, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&BaseProcedure));
    }
    DestroyWindow(window);
}

TEST(WindowHooks, ReflectedMessagesReachOnlyTheHookOfTheirControl) {
    WNDCLASSW values{};
    values.lpfnWndProc = BaseProcedure;
    values.lpszClassName = u"Hooked";
    RegisterClassW(&values);
    HWND parent =
        CreateWindowExW(0, u"Hooked", u"", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExW(0, u"Static", u"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                   nullptr, nullptr);
    std::vector<int> calls;
    Hooker owner{3, true, &calls};
    ReflectHook hook;
    ConnectMessageHandler(hook.map, WM_CTLCOLORSTATIC, &owner, &Hooker::On);
    hook.SetWindows(control, parent);
    const struct {
        LPARAM lParam;
        LRESULT result;
        size_t calls;
    } cases[] = {{reinterpret_cast<LPARAM>(control), 30, 1}, {12345, 99, 1}, {0, 99, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(SendMessageW(parent, WM_CTLCOLORSTATIC, 0, c.lParam), c.result);
        EXPECT_EQ(calls.size(), c.calls);
    }
    hook.SetWindows(nullptr, nullptr);
    EXPECT_EQ(GetWindowLongW(parent, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&BaseProcedure));
    DestroyWindow(parent);
}

TEST(MapScrollBars, SetsBothBarsFromTheViewportWords) {
    WNDCLASSW values{};
    values.lpfnWndProc = DefWindowProcW;
    values.lpszClassName = u"MapControl";
    RegisterClassW(&values);
    HWND window = CreateWindowExW(0, u"MapControl", u"", WS_HSCROLL | WS_VSCROLL, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    MapScrollBars bars(window);
    SingleThreadedEventSource<DWORD, DWORD> viewport;
    viewport.ConnectUnlocked(&bars, &MapScrollBars::SetBars);
    const struct {
        DWORD horizontal;
        DWORD vertical;
        UINT page[2];
        int position[2];
    } cases[] = {
        {MAKELPARAM(100, 4000), MAKELPARAM(200, 8000), {4000, 8000}, {100, 200}},
        {MAKELPARAM(5, 0xFFFF), MAKELPARAM(7, 3000), {4000, 3000}, {100, 7}}, // page too large
        {MAKELPARAM(5, 32769), MAKELPARAM(9, 3000), {4000, 3000}, {100, 9}},
        {MAKELPARAM(0, 32768), MAKELPARAM(0, 32768), {32768, 32768}, {0, 0}}, // whole extent
        {MAKELPARAM(32768, 0), MAKELPARAM(32768, 0), {0, 0}, {32768, 32768}}, // far end
        {MAKELPARAM(-20, 1000), MAKELPARAM(32000, 1000), {1000, 1000}, {31769, 31769}},
    };
    for (const auto& c : cases) {
        viewport.Emit(c.horizontal, c.vertical);
        for (int bar : {SB_HORZ, SB_VERT}) {
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_ALL;
            ASSERT_TRUE(GetScrollInfo(window, bar, &info));
            EXPECT_EQ(info.nMin, 0);
            EXPECT_EQ(info.nMax, 32768);
            EXPECT_EQ(info.nPage, c.page[bar]);
            EXPECT_EQ(info.nPos, c.position[bar]);
        }
    }
    DestroyWindow(window);
}

} // namespace
