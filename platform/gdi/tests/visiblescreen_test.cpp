#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/visiblescreen.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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

} // namespace

// Under a display (the test runs under Xvfb), the window shows the framebuffer scaled, and a
// click reaches the window under it as the stylus.
TEST(VisibleScreen, ShowsTheFramebufferAndTakesTheStylus) {
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
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

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = u"GdiTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"GdiTarget", u"", WS_POPUP | WS_VISIBLE, 10, 10, 20, 20,
                                  nullptr, nullptr, nullptr, nullptr);
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
    platform::StopVisibleScreen();
    EXPECT_FALSE(platform::CaptureVisibleScreen(&pixels, &width, &height));
    DestroyWindow(window);
}

// The window takes the big icon of the topmost window that has one as its own icon.
TEST(VisibleScreen, ShowsTheBigIconOfTheTopWindow) {
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
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
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = u"IconTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"IconTarget", u"", WS_POPUP | WS_VISIBLE, 0, 0, 60, 40,
                                  nullptr, nullptr, nullptr, nullptr);
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
