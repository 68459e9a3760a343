#include "testdata/xsession.h"

#include "platform/gdi/detail/gdistate.h"
#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/gdi/visiblescreen.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace gditesting;

// The back end comes from "--screen=" or, without it, from NAV_SCREEN; a value not understood is
// refused, named with the values understood.
TEST(VisibleScreen, RequestFromCommandLineOrEnvironment) {
    struct Case {
        std::vector<const char*> arguments;
        const char* environment; // null: unset
        int scale;               // 0: headless
        const char* refused;     // the value named when refused, else null
    };
    const std::vector<Case> cases = {
        {{"nav"}, nullptr, 0, nullptr},
        {{"nav", "--screen=visible"}, nullptr, 2, nullptr},
        {{"nav", "--screen=visible:3"}, nullptr, 3, nullptr},
        {{"nav", "--screen=visible:99"}, nullptr, 8, nullptr},
        {{"nav", "--screen=visible:99999999999"}, nullptr, 8, nullptr},
        {{"nav", "--screen=headless"}, "visible", 0, nullptr},
        {{"nav"}, "visible:1", 1, nullptr},
        {{"nav"}, "", 0, nullptr},
        {{"nav"}, "something", 0, "\"NAV_SCREEN=something\""},
        {{"nav", "--screen=bogus"}, "visible", 0, "\"--screen=bogus\""},
        {{"nav", "--screen="}, nullptr, 0, "\"--screen=\""},
        {{"nav", "--screen=visible:"}, nullptr, 0, "\"--screen=visible:\""},
        {{"nav", "--screen=visible:2x"}, nullptr, 0, "\"--screen=visible:2x\""},
        {{"nav", "--screen=visibly"}, nullptr, 0, "\"--screen=visibly\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        if (c.environment != nullptr)
            setenv("NAV_SCREEN", c.environment, 1);
        else
            unsetenv("NAV_SCREEN");
        std::string error = "left over";
        const auto request = platform::VisibleScreenRequest(static_cast<int>(c.arguments.size()),
                                                            c.arguments.data(), &error);
        EXPECT_EQ(request ? request->scale : 0, c.scale);
        if (c.refused == nullptr) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_EQ(error.rfind(c.refused, 0), 0U) << error;
            EXPECT_NE(error.find("headless, visible or visible:SCALE"), std::string::npos) << error;
        }
    }
    unsetenv("NAV_SCREEN");
}

namespace {

LRESULT Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// A shown popup at rect (screen coordinates) of a class of its own with the procedure.
HWND ShownPopup(const char16_t* className, WNDPROC procedure, const RECT& rect) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, className, u"", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           nullptr, nullptr);
}

// What this process writes to its error output while `run` runs.
std::string ErrorOutputOf(const std::function<void()>& run) {
    (void)std::fflush(stderr);
    char name[] = "/tmp/visiblescreen-errors-XXXXXX";
    const int file = ::mkstemp(name);
    if (file < 0)
        return "(no file for the error output)";
    const int kept = ::dup(2);
    (void)::dup2(file, 2);
    run();
    (void)std::fflush(stderr);
    (void)::dup2(kept, 2);
    ::close(kept);
    std::string said;
    char buffer[512];
    (void)::lseek(file, 0, SEEK_SET);
    for (ssize_t count = 0; (count = ::read(file, buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(count));
    ::close(file);
    (void)::unlink(name);
    return said;
}

} // namespace

// Under a display (the test runs under Xvfb), the window shows the framebuffer scaled, and a
// click reaches the window under it as the stylus. An X error on the display is told on the error
// output in the program's words, once for each kind (the request refused and why), and the window
// goes on.
TEST(VisibleScreen, ShowsTheFramebufferTakesTheStylusAndGoesOnAfterXErrors) {
    NAV_SKIP_WITHOUT_DISPLAY();
    platform::SetScreenSize(60, 40);
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 60, 40};
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 3, kRed);
    HGDIOBJ old = SelectObject(screen, pen);
    Ellipse(screen, 5, 5, 50, 35);
    SelectObject(screen, old);
    DeleteObject(pen);

    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{3}));
    EXPECT_FALSE(platform::StartVisibleScreen(platform::VisibleScreenOptions{}));
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::CaptureVisibleScreen(&pixels, &width, &height));
    ASSERT_EQ(width, 180);
    ASSERT_EQ(height, 120);
    int differences = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF expected = GetPixel(screen, x / 3, y / 3);
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            differences += RGB(p >> 16, p >> 8, p) != expected ? 1 : 0;
        }
    }
    EXPECT_EQ(differences, 0);
    ReleaseDC(nullptr, screen);

    HWND window = ShownPopup(u"GdiTarget", Plain, RECT{10, 10, 30, 30});
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = 45; // screen (15, 16)
    click.button.y = 48;
    ASSERT_EQ(SDL_PushEvent(&click), 1);
    MSG msg{};
    bool isClicked = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!isClicked && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE) != 0) {
            if (msg.message == WM_LBUTTONDOWN) {
                isClicked = true;
                EXPECT_EQ(GET_X_LPARAM(msg.lParam), 5);
                EXPECT_EQ(GET_Y_LPARAM(msg.lParam), 6);
            }
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(isClicked);

    bool isMade = false;
    const std::string said = ErrorOutputOf([&] { isMade = testdata::MakeRefusedXRequests("", 2); });
    EXPECT_TRUE(isMade);
    const std::string refused = std::string(program_invocation_short_name) +
                                ": the X server refused a request of the window: BadWindow "
                                "(invalid Window parameter) (request ";
    EXPECT_EQ(said,
              refused + "8.0); the window goes on\n" + refused + "20.0); the window goes on\n");
    EXPECT_TRUE(platform::CaptureVisibleScreen(&pixels, &width, &height));

    platform::StopVisibleScreen();
    EXPECT_FALSE(platform::CaptureVisibleScreen(&pixels, &width, &height));
    DestroyWindow(window);
}

// The window takes the big icon of the topmost window that has one as its own icon.
TEST(VisibleScreen, ShowsTheBigIconOfTheTopWindow) {
    NAV_SKIP_WITHOUT_DISPLAY();
    platform::SetScreenSize(60, 40);
    HBITMAP icon = CreateBitmap(4, 3, 1, 32, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, icon);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            SetPixel(dc, x, y, RGB(40 * x, 60 * y, 200));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    HWND window = ShownPopup(u"IconTarget", Plain, RECT{0, 0, 60, 40});
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));

    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::CaptureVisibleScreen(&pixels, &width, &height)); // a frame went by
    ASSERT_TRUE(platform::VisibleScreenIcon(&pixels, &width, &height));
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 3);
    ASSERT_EQ(pixels.size(), 12u);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const std::uint32_t expected = static_cast<std::uint32_t>(40 * x) << 16 |
                                           static_cast<std::uint32_t>(60 * y) << 8 | 200;
            EXPECT_EQ(pixels[static_cast<std::size_t>(y) * 4 + x], expected) << x << "," << y;
        }
    }
    platform::StopVisibleScreen();
    EXPECT_FALSE(platform::VisibleScreenIcon(&pixels, &width, &height));
    DestroyWindow(window);
    DeleteObject(icon);
}

namespace {

// The device key of the first key message that reaches window within three seconds; 0 for none.
UINT NextKeyDown(HWND window) {
    MSG msg{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE) != 0) {
            DispatchMessageW(&msg);
            if (msg.message == WM_KEYDOWN)
                return static_cast<UINT>(msg.wParam);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

bool PushKey(SDL_Keycode key, SDL_Scancode scancode, Uint16 modifiers, bool isDown) {
    SDL_Event event{};
    event.type = isDown ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = isDown ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = scancode;
    event.key.keysym.mod = modifiers;
    return SDL_PushEvent(&event) == 1;
}

} // namespace

// Every key that a page acts on reaches it from the window, as the keyboard layouts a user has
// give it: '+' on a key of its own or typed with Shift on '=', '-' where the layout has it, and
// the keypad by where its keys lie, with or without Num Lock.
TEST(VisibleScreen, EveryKeyThePagesTakeReachesThemFromTheWindow) {
    NAV_SKIP_WITHOUT_DISPLAY();
    const struct {
        const char* what;
        SDL_Keycode key;
        SDL_Scancode scancode;
        Uint16 modifiers;
        UINT expected;
    } rows[] = {
        {"'+' of its own key (German layout)", SDLK_PLUS, SDL_SCANCODE_RIGHTBRACKET, KMOD_NONE,
         VK_OEM_PLUS},
        {"'+' as Shift and '=' (US layout)", SDLK_EQUALS, SDL_SCANCODE_EQUALS, KMOD_LSHIFT,
         VK_OEM_PLUS},
        {"'-'", SDLK_MINUS, SDL_SCANCODE_MINUS, KMOD_NONE, VK_OEM_MINUS},
        {"'-' on the '6' key (French layout)", SDLK_MINUS, SDL_SCANCODE_6, KMOD_NONE, VK_OEM_MINUS},
        {"keypad '+'", SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, KMOD_NUM, VK_ADD},
        {"keypad '-'", SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, KMOD_NUM, VK_SUBTRACT},
        {"keypad '.'", SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NUM, VK_DECIMAL},
        {"keypad ',' (German layout)", SDLK_KP_COMMA, SDL_SCANCODE_KP_PERIOD, KMOD_NUM, VK_DECIMAL},
        {"keypad '.' without Num Lock", SDLK_DELETE, SDL_SCANCODE_KP_PERIOD, KMOD_NONE, VK_DECIMAL},
        {"keypad 0", SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NUM, VK_NUMPAD0},
        {"keypad 1", SDLK_KP_1, SDL_SCANCODE_KP_1, KMOD_NUM, VK_NUMPAD0 + 1},
        {"keypad 2 without Num Lock", SDLK_DOWN, SDL_SCANCODE_KP_2, KMOD_NONE, VK_NUMPAD0 + 2},
        {"keypad 9", SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NUM, VK_NUMPAD0 + 9},
        {"keypad Enter", SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, KMOD_NONE, VK_RETURN},
        {"'A'", SDLK_a, SDL_SCANCODE_A, KMOD_NONE, 'A'},
        {"'R'", SDLK_r, SDL_SCANCODE_R, KMOD_NONE, 'R'},
        {"'Z' on the 'Y' key (German layout)", SDLK_z, SDL_SCANCODE_Y, KMOD_NONE, 'Z'},
        {"'0'", SDLK_0, SDL_SCANCODE_0, KMOD_NONE, '0'},
        {"'9'", SDLK_9, SDL_SCANCODE_9, KMOD_NONE, '9'},
        {"F1", SDLK_F1, SDL_SCANCODE_F1, KMOD_NONE, VK_F1},
        {"F3", SDLK_F3, SDL_SCANCODE_F3, KMOD_NONE, VK_F3},
        {"F5", SDLK_F5, SDL_SCANCODE_F5, KMOD_NONE, VK_F5},
        {"F12", SDLK_F12, SDL_SCANCODE_F12, KMOD_NONE, VK_F12},
        {"left", SDLK_LEFT, SDL_SCANCODE_LEFT, KMOD_NONE, VK_LEFT},
        {"right", SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, VK_RIGHT},
        {"up", SDLK_UP, SDL_SCANCODE_UP, KMOD_NONE, VK_UP},
        {"down", SDLK_DOWN, SDL_SCANCODE_DOWN, KMOD_NONE, VK_DOWN},
        {"Enter", SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, VK_RETURN},
        {"Esc", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE, VK_ESCAPE},
        {"Tab", SDLK_TAB, SDL_SCANCODE_TAB, KMOD_NONE, VK_TAB},
        {"Backspace", SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_NONE, VK_BACK},
        {"space", SDLK_SPACE, SDL_SCANCODE_SPACE, KMOD_NONE, VK_SPACE},
        {"Delete", SDLK_DELETE, SDL_SCANCODE_DELETE, KMOD_NONE, VK_DELETE},
        {"Home", SDLK_HOME, SDL_SCANCODE_HOME, KMOD_NONE, VK_HOME},
        {"End", SDLK_END, SDL_SCANCODE_END, KMOD_NONE, VK_END},
        {"Page Up", SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, KMOD_NONE, VK_PRIOR},
        {"Page Down", SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, KMOD_NONE, VK_NEXT},
        {"Shift", SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_NONE, VK_SHIFT},
        {"Ctrl", SDLK_RCTRL, SDL_SCANCODE_RCTRL, KMOD_NONE, VK_CONTROL},
    };
    platform::SetScreenSize(60, 40);
    HWND window = ShownPopup(u"KeyTarget", Plain, RECT{0, 0, 60, 40});
    SetFocus(window);
    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(PushKey(row.key, row.scancode, row.modifiers, true));
        ASSERT_TRUE(PushKey(row.key, row.scancode, row.modifiers, false));
        EXPECT_EQ(NextKeyDown(window), row.expected);
    }
    platform::StopVisibleScreen();
    DestroyWindow(window);
}

namespace {

// The characters that reach window, each key message that comes translated as the program's
// loop translates it, until the key up of `last` and every message after it; within five
// seconds.
std::u16string CharsTypedUntilKeyUp(HWND window, UINT last) {
    std::u16string typed;
    MSG msg{};
    bool isLastUp = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        bool hadMessage = false;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE) != 0) {
            hadMessage = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (msg.message == WM_CHAR)
                typed += static_cast<char16_t>(msg.wParam);
            isLastUp = isLastUp || (msg.message == WM_KEYUP && msg.wParam == last);
        }
        if (isLastUp && !hadMessage)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return typed;
}

} // namespace

// Keys typed on the X server's own keyboard reach the window as a user types them: what a device
// key types comes once with its key press, what none does ('\', '.', ':') once from the host's
// text input; F5, which types nothing, ends each row.
TEST(VisibleScreen, KeysTypedOnTheXServersKeyboardTypeOnce) {
    NAV_SKIP_WITHOUT_DISPLAY();
    const struct {
        const char* what;
        std::vector<unsigned long> keys; // X keysyms
        std::vector<unsigned long> held;
        std::u16string typed;
    } rows[] = {
        {"a letter", {XK_a}, {}, u"a"},
        {"a capital", {XK_a}, {XK_Shift_L}, u"A"},
        {"a digit", {XK_7}, {}, u"7"},
        {"a space", {XK_space}, {}, u" "},
        {"'-'", {XK_minus}, {}, u"-"},
        {"a backslash", {XK_backslash}, {}, u"\\"},
        {"a full stop", {XK_period}, {}, u"."},
        {"a colon", {XK_semicolon}, {XK_Shift_L}, u":"},
        {"a device path", {XK_backslash, XK_t, XK_period, XK_t, XK_x, XK_t}, {}, u"\\t.txt"},
    };
    platform::SetScreenSize(60, 40);
    HWND window = ShownPopup(u"TypedTarget", Plain, RECT{0, 0, 60, 40});
    SetFocus(window);
    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    const unsigned long shown =
        testdata::AwaitDrawnXWindow("", "", "Navigator", 0, std::chrono::seconds(10));
    ASSERT_NE(shown, 0UL);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<unsigned long> keys = row.keys;
        ASSERT_TRUE(testdata::TypeInXWindow("", "", shown, keys, row.held));
        ASSERT_TRUE(testdata::TypeInXWindow("", "", shown, {XK_F5}));
        EXPECT_EQ(CharsTypedUntilKeyUp(window, VK_F5), row.typed);
    }
    platform::StopVisibleScreen();
    DestroyWindow(window);
}

namespace {

// A window that, each time it paints, first takes what the window on the display shows.
struct CapturingPaint {
    static inline std::vector<std::uint32_t> shown;
    static inline int captures = 0;

    static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_PAINT)
            return DefWindowProcW(window, message, wParam, lParam);
        int width = 0;
        int height = 0;
        captures += platform::CaptureVisibleScreen(&shown, &width, &height) ? 1 : 0;
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
};

} // namespace

// While the screen is held, what a check paints for itself (a fill, then the windows painted again
// over it) never reaches the window on the display, which shows the screen as it was; at the end
// of the hold the screen is as it was too.
TEST(VisibleScreen, AHeldScreenKeepsTheShownPictureWhileACheckPaints) {
    NAV_SKIP_WITHOUT_DISPLAY();
    platform::SetScreenSize(60, 40);
    HWND window = ShownPopup(u"CapturingPaint", CapturingPaint::Procedure, RECT{10, 10, 40, 30});
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 60, 40};
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::vector<std::uint32_t> before;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &before, &width, &height));
    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    constexpr COLORREF kFill = RGB(243, 13, 229);
    {
        const platform::ScreenHold hold;
        HBRUSH fill = CreateSolidBrush(kFill);
        FillRect(screen, &all, fill);
        DeleteObject(fill);
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        std::vector<std::uint32_t> painted;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &painted, &width, &height));
        EXPECT_NE(platform::FirstDifference(before, painted, width), std::nullopt)
            << "the screen itself holds what the check painted";
    }
    EXPECT_EQ(CapturingPaint::captures, 1);
    EXPECT_EQ(platform::FirstDifference(before, CapturingPaint::shown, 60), std::nullopt)
        << "the window showed what the check painted";
    std::vector<std::uint32_t> after;
    ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &after, &width, &height));
    EXPECT_EQ(platform::FirstDifference(before, after, width), std::nullopt);
    platform::StopVisibleScreen();
    ReleaseDC(nullptr, screen);
    DestroyWindow(window);
}

namespace {

constexpr COLORREF kCheckFill = RGB(243, 13, 229);

std::uint32_t ScreenPixel(COLORREF colour) {
    return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

} // namespace

// The window reads what it shows, as its thread does at every frame, while a check takes a hold
// and fills the screen: the read never gives the check's fill. The read is caught right after it
// has looked for a hold and found none; a check that begins then must wait for the read to end
// (the look and the read are one step under GDI's lock), else the read takes its fill.
TEST(VisibleScreen, AReadWhileChecksHoldTheScreenNeverGivesTheirPainting) {
    platform::SetScreenSize(16, 8);
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 16, 8};
    HBRUSH fill = CreateSolidBrush(kCheckFill);
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::mutex mutex;
    std::condition_variable changed;
    bool hasLooked = false;
    bool mayRead = false;
    platform::SetShownReadHook([&] {
        std::unique_lock lock(mutex);
        hasLooked = true;
        changed.notify_all();
        changed.wait(lock, [&] { return mayRead; });
    });
    std::vector<std::uint32_t> pixels;
    bool isRead = false;
    std::thread reader([&] {
        int width = 0;
        int height = 0;
        isRead = platform::ReadShownPixels(&pixels, &width, &height);
    });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return hasLooked; });
    }
    // The check begins while the read has GDI's lock free: its hold, then its fill.
    std::optional<platform::ScreenHold> hold;
    std::recursive_mutex& gdi = platform::gdi_detail::State().mutex;
    if (gdi.try_lock()) {
        gdi.unlock();
        hold.emplace();
        FillRect(screen, &all, fill);
    }
    {
        std::lock_guard lock(mutex);
        mayRead = true;
        changed.notify_all();
    }
    reader.join();
    hold.reset();
    platform::SetShownReadHook({});
    EXPECT_TRUE(isRead);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ScreenPixel(kCheckFill)), 0);
    DeleteObject(fill);
    ReleaseDC(nullptr, screen);
}

// Before anything draws on a screen of a new size, a read of what is shown and a hold both take
// the screen at that size: a hold of the old picture would not fit, and the window would show
// the check's painting.
TEST(VisibleScreen, AReadOrAHoldBeforeAnyDrawingTakesTheScreenAtItsNewSize) {
    platform::SetScreenSize(12, 6);
    HDC screen = GetDC(nullptr);
    const RECT small{0, 0, 12, 6};
    FillRect(screen, &small, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(nullptr, screen);
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    platform::SetScreenSize(20, 10);
    ASSERT_TRUE(platform::ReadShownPixels(&pixels, &width, &height));
    EXPECT_EQ(width, 20);
    EXPECT_EQ(height, 10);
    platform::SetScreenSize(14, 7);
    {
        const platform::ScreenHold hold;
        screen = GetDC(nullptr);
        const RECT all{0, 0, 14, 7};
        HBRUSH fill = CreateSolidBrush(kCheckFill);
        FillRect(screen, &all, fill);
        DeleteObject(fill);
        ReleaseDC(nullptr, screen);
        ASSERT_TRUE(platform::ReadShownPixels(&pixels, &width, &height));
        EXPECT_EQ(width, 14);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ScreenPixel(kCheckFill)), 0);
    }
}

namespace {

// A thread that shows a message box, ended with its box (EndMessageBoxWindows) and joined however
// the test leaves.
class BoxThread {
public:
    explicit BoxThread(platform::MessageBoxRecord record)
        : m_thread([this, record] {
            (void)platform::ShowMessageBoxWindow(record);
            m_isDone = true;
        }) {}
    BoxThread(const BoxThread&) = delete;
    BoxThread& operator=(const BoxThread&) = delete;
    ~BoxThread() { End(); }

    // Ends the box, also one that is only coming up, and waits for the thread.
    void End() {
        while (!m_isDone) {
            platform::EndMessageBoxWindows();
            std::this_thread::yield();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_isDone{false};
    std::thread m_thread;
};

} // namespace

// A box that a worker thread brings up while a check holds the screen is painted on the screen
// the check paints; when the hold ends and puts the picture from its start back, the box paints
// again over it: the screen shows the box, not the picture from before it. Once the box goes, the
// screen it kept beneath it is put back: the picture the user saw, never the check's fill.
TEST(VisibleScreen, ABoxThatComesUpDuringAHoldIsShownAfterIt) {
    platform::SetScreenSize(240, 320);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 240, 320};
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const auto isPainted = [](HWND window) {
        return GetUpdateRect(window, nullptr, FALSE) == FALSE;
    };
    const auto boxOnScreen = [] {
        for (HWND window : platform::ShownWindows()) {
            if (platform::IsMessageBoxWindow(window))
                return window;
        }
        return static_cast<HWND>(nullptr);
    };
    // The screen and the font as other tests want them, however this one leaves.
    const std::shared_ptr<void> restore(nullptr, [screen](void*) {
        ReleaseDC(nullptr, screen);
        platform::SetFontFile({});
    });
    std::optional<BoxThread> worker;
    HWND box = nullptr;
    {
        const platform::ScreenHold hold;
        HBRUSH fill = CreateSolidBrush(kCheckFill);
        FillRect(screen, &all, fill);
        DeleteObject(fill);
        platform::MessageBoxRecord record;
        record.caption = u"Memory";
        record.text = u"Not enough memory to plan the route.";
        record.type = MB_OK | MB_ICONERROR;
        worker.emplace(record);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        for (;;) {
            box = boxOnScreen();
            bool isWhole = box != nullptr && isPainted(box);
            for (HWND window : platform::ShownWindows())
                isWhole = isWhole && (GetParent(window) != box || isPainted(window));
            if (isWhole || std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_NE(box, nullptr);
    }
    RECT boxRect{};
    GetWindowRect(box, &boxRect);
    // The box's frame is black: seen once the box has painted again after the hold.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    COLORREF corner = GetPixel(screen, boxRect.left, boxRect.top);
    while (corner != RGB(0, 0, 0) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        corner = GetPixel(screen, boxRect.left, boxRect.top);
    }
    EXPECT_EQ(corner, RGB(0, 0, 0)) << "the box is up but the screen does not show it";
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(platform::ReadShownPixels(&pixels, &width, &height));
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ScreenPixel(kCheckFill)), 0);
    // Gone with its thread (nothing has painted the bare screen since): what lies where it lay is
    // what the box kept, the white from before the check.
    worker->End();
    ASSERT_TRUE(platform::ReadScreenPixels(&boxRect, &pixels, &width, &height));
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ScreenPixel(kCheckFill)), 0)
        << "the screen kept beneath the box holds the check's fill";
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), ScreenPixel(RGB(255, 255, 255))),
              static_cast<std::ptrdiff_t>(pixels.size()));
}
