#include "testdata/bitmapwriter.h"

#include "platform/gdi/dib.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <png.h>

using namespace gditesting;

namespace {

// Decodes a PNG image to 0x00RRGGBB pixels; empty on failure.
std::vector<std::uint32_t> Decode(const std::vector<std::uint8_t>& png, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0)
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr) == 0)
        return {};
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<std::uint32_t> pixels;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3)
        pixels.push_back((bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2]);
    return pixels;
}

LRESULT ScenePaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HPEN road = CreatePen(PS_SOLID, 5, RGB(200, 120, 0));
    HGDIOBJ oldPen = SelectObject(dc, road);
    const POINT line[] = {{10, 150}, {60, 110}, {120, 130}, {190, 60}};
    Polyline(dc, line, 4);
    SelectObject(dc, oldPen);
    DeleteObject(road);
    HBRUSH lake = CreateSolidBrush(RGB(80, 140, 230));
    HGDIOBJ oldBrush = SelectObject(dc, lake);
    const POINT shore[] = {{20, 40}, {80, 30}, {90, 80}, {40, 95}};
    Polygon(dc, shore, 4);
    SelectObject(dc, oldBrush);
    DeleteObject(lake);
    Ellipse(dc, 140, 120, 180, 160);
    LOGFONTW font{};
    font.lfHeight = -16;
    font.lfWeight = FW_BOLD;
    const char16_t face[] = u"Arial";
    std::copy(std::begin(face), std::end(face), font.lfFaceName);
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ oldFont = SelectObject(dc, handle);
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 100, 10, u"Hauptstra\u00dfe", 11);
    SelectObject(dc, oldFont);
    DeleteObject(handle);
    testdata::BitmapSpec flag;
    flag.width = 12;
    flag.height = 8;
    flag.bitCount = 4;
    flag.palette = {0xFF0000, 0xFFFF00, 0x000000};
    for (int i = 0; i < 96; ++i)
        flag.pixels.push_back(static_cast<std::uint32_t>((i % 12) / 4));
    HBITMAP bitmap = platform::CreateDibFromFile(testdata::WriteBitmapFile(flag));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    StretchBlt(dc, 20, 160, 36, 24, memory, 0, 0, 12, 8, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
    DeleteObject(bitmap);
    EndPaint(window, &paint);
    return 0;
}

} // namespace

// A PNG of the screen or of a window holds exactly the framebuffer's pixels.
TEST(Screenshot, PngEqualsFramebuffer) {
    platform::SetScreenSize(240, 320);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ScenePaint;
    windowClass.lpszClassName = u"GdiScene";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, u"GdiScene", u"", WS_POPUP | WS_VISIBLE, 20, 30, 200, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    UpdateWindow(window);
    struct Case {
        HWND window;
        RECT area;
    };
    for (const Case& c :
         {Case{nullptr, RECT{0, 0, 240, 320}}, Case{window, RECT{20, 30, 220, 230}}}) {
        const std::vector<std::uint8_t> png = platform::ScreenshotPng(c.window);
        int width = 0, height = 0;
        const std::vector<std::uint32_t> decoded = Decode(png, &width, &height);
        std::vector<std::uint32_t> expected;
        int expectedWidth = 0, expectedHeight = 0;
        ASSERT_TRUE(
            platform::ReadScreenPixels(&c.area, &expected, &expectedWidth, &expectedHeight));
        EXPECT_EQ(width, c.area.right - c.area.left);
        EXPECT_EQ(height, c.area.bottom - c.area.top);
        EXPECT_EQ(decoded, expected);
    }
    // The scene is there: the lake's colour at its middle and the bitmap's first stripe.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, 20 + 55, 30 + 60), RGB(80, 140, 230));
    EXPECT_EQ(GetPixel(screen, 20 + 21, 30 + 161), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(screen, 20 + 45, 30 + 161), RGB(0, 0, 0));
    ReleaseDC(nullptr, screen);
    if (const char* folder = std::getenv("NAV_SCREENSHOT_DIR")) {
        EXPECT_TRUE(platform::SaveScreenshot(window, std::filesystem::path(folder) / "scene.png"));
    }
    EXPECT_TRUE(platform::ScreenshotPng(reinterpret_cast<HWND>(0x7777)).empty());
    DestroyWindow(window);
}

namespace {

void FillBlack(HDC dc, RECT rect) {
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

constexpr RECT kOnBare{60, 250, 70, 260};

} // namespace

// Pixels that no paint accounts for are where a whole repaint at once differs from the screen:
// the first differing rectangle names them; a screen painted as its windows ask has none.
TEST(Screenshot, AWholeRepaintFindsWhatNoPaintAccountsFor) {
    platform::SetScreenSize(240, 320);
    const struct {
        const char* name;
        std::function<void(HWND back, HWND popup)> change;
        std::optional<RECT> differs;
    } cases[] = {
        {"nothing", [](HWND, HWND) {}, std::nullopt},
        {"drawn on the screen over a window",
         [](HWND, HWND) {
             HDC screen = GetDC(nullptr);
             FillBlack(screen, RECT{30, 40, 50, 60});
             ReleaseDC(nullptr, screen);
         },
         RECT{30, 40, 50, 60}},
        {"a popup hidden without repainting what it uncovered",
         [](HWND, HWND popup) {
             SetWindowPos(popup, nullptr, 0, 0, 0, 0,
                          SWP_HIDEWINDOW | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         },
         RECT{100, 100, 140, 130}},
        {"drawn on the bare screen where no window lies",
         [](HWND back, HWND) {
             ShowWindow(back, SW_HIDE);
             platform::ScreenDriver().RunUntilIdle();
             HDC screen = GetDC(nullptr);
             FillRect(screen, &kOnBare, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
             ReleaseDC(nullptr, screen);
         },
         kOnBare},
        // The bare screen shows again where the windows were, not their pictures.
        {"the windows hidden from the bare screen",
         [](HWND back, HWND popup) {
             ShowWindow(back, SW_HIDE);
             SetWindowPos(popup, nullptr, 0, 0, 0, 0,
                          SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         },
         std::nullopt},
        {"a hidden popup drawing through its DC",
         [](HWND back, HWND popup) {
             // Above the window it leaves, as a drop-down list is.
             SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0,
                          SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
             ShowWindow(popup, SW_HIDE);
             UpdateWindow(back);
             HDC dc = GetDC(popup);
             FillBlack(dc, RECT{0, 0, 40, 30});
             ReleaseDC(popup, dc);
         },
         std::nullopt},
    };
    platform::ScreenDriver driver;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND back = repaintcheck::MakeFilledPopup(RECT{0, 0, 240, 320}, WHITE_BRUSH);
        HWND popup = repaintcheck::MakeFilledPopup(RECT{100, 100, 140, 130}, GRAY_BRUSH);
        ASSERT_TRUE(driver.RunUntilIdle());
        c.change(back, popup);
        ASSERT_TRUE(driver.RunUntilIdle());
        const std::optional<RECT> differs = repaintcheck::DifferenceFromWholeRepaint();
        ASSERT_EQ(differs.has_value(), c.differs.has_value());
        if (differs) {
            EXPECT_EQ(differs->left, c.differs->left);
            EXPECT_EQ(differs->top, c.differs->top);
            EXPECT_EQ(differs->right, c.differs->right);
            EXPECT_EQ(differs->bottom, c.differs->bottom);
        }
        DestroyWindow(popup);
        DestroyWindow(back);
    }
}
