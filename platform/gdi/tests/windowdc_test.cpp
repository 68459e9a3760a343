#include "platform/gdi/tests/gditesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

using namespace gditesting;

namespace {

LRESULT Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

// Window DCs draw into the screen at the window's place, clipped to the client area, to the
// update region in BeginPaint, and without the children under WS_CLIPCHILDREN.
TEST(WindowDc, ClipsToVisibleRegion) {
    platform::SetScreenSize(40, 30);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = u"GdiPlain";
    RegisterClassW(&windowClass);
    HWND parent = CreateWindowExW(0, u"GdiPlain", u"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10,
                                  5, 20, 15, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, u"GdiPlain", u"", WS_CHILD | WS_VISIBLE, 2, 2, 4, 3, parent,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);

    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 40, 30};
    FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    HDC dc = GetDC(parent);
    const RECT huge{-100, -100, 100, 100};
    EXPECT_TRUE(FillRect(dc, &huge, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
    RECT box{};
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    EXPECT_EQ((std::vector<LONG>{box.left, box.top, box.right, box.bottom}),
              (std::vector<LONG>{0, 0, 20, 15}));
    ReleaseDC(parent, dc);

    struct Probe {
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {{10, 5, kBlack},  {29, 19, kBlack}, {9, 5, kWhite},  {30, 19, kWhite},
                            {10, 20, kWhite}, {12, 7, kWhite},  {15, 9, kWhite}, {16, 9, kBlack}};
    for (const Probe& p : probes)
        EXPECT_EQ(GetPixel(screen, p.x, p.y), p.colour) << p.x << "," << p.y;

    InvalidateRect(parent, nullptr, FALSE);
    ValidateRect(parent, nullptr);
    const RECT part{0, 0, 3, 2};
    InvalidateRect(parent, &part, FALSE);
    PAINTSTRUCT paint{};
    HDC paintDc = BeginPaint(parent, &paint);
    FillRect(paintDc, &huge, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    EndPaint(parent, &paint);
    EXPECT_EQ(GetPixel(screen, 12, 6), RGB(192, 192, 192));
    EXPECT_EQ(GetPixel(screen, 13, 6), kBlack);
    EXPECT_EQ(GetPixel(screen, 12, 7), kWhite);
    ReleaseDC(nullptr, screen);
    DestroyWindow(parent);
}

// WS_CLIPSIBLINGS keeps a child's drawing off the siblings above it; without it the child draws
// over them.
TEST(WindowDc, ClipSiblings) {
    platform::SetScreenSize(40, 30);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = u"GdiSibling";
    RegisterClassW(&windowClass);
    for (DWORD clip : {DWORD{WS_CLIPSIBLINGS}, DWORD{0}}) {
        HWND parent = CreateWindowExW(0, u"GdiSibling", u"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30,
                                      nullptr, nullptr, nullptr, nullptr);
        HWND lower = CreateWindowExW(0, u"GdiSibling", u"", WS_CHILD | WS_VISIBLE | clip, 0, 0, 20,
                                     20, parent, nullptr, nullptr, nullptr);
        HWND upper = CreateWindowExW(0, u"GdiSibling", u"", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20,
                                     parent, nullptr, nullptr, nullptr);
        HDC upperDc = GetDC(upper);
        const RECT all{0, 0, 20, 20};
        FillRect(upperDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(upper, upperDc);
        HDC lowerDc = GetDC(lower);
        FillRect(lowerDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(lower, lowerDc);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetPixel(screen, 5, 5), kBlack) << clip;
        EXPECT_EQ(GetPixel(screen, 15, 15), clip != 0 ? kWhite : kBlack) << clip;
        ReleaseDC(nullptr, screen);
        DestroyWindow(parent);
    }
}

// A child draws under the windows that cover its parent: a top-level window above the parent's
// own, and the siblings above a parent that clips them; a parent that does not clip its siblings
// lets its child draw over them.
TEST(WindowDc, ChildClippedByWhatCoversItsParent) {
    platform::SetScreenSize(40, 30);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Plain;
    windowClass.lpszClassName = u"GdiCovered";
    RegisterClassW(&windowClass);
    const struct {
        bool isTopLevel;  // the covered parent and its cover are top-level windows
        DWORD parentClip; // the covered parent's style when it is a child
        COLORREF covered; // what the screen shows where the cover lies over the child
    } cases[] = {{true, 0, kWhite}, {false, WS_CLIPSIBLINGS, kWhite}, {false, 0, kBlack}};
    for (const auto& c : cases) {
        HWND root = c.isTopLevel ? nullptr
                                 : CreateWindowExW(0, u"GdiCovered", u"", WS_POPUP | WS_VISIBLE, 0,
                                                   0, 40, 30, nullptr, nullptr, nullptr, nullptr);
        const DWORD kind = c.isTopLevel ? WS_POPUP : WS_CHILD | c.parentClip;
        HWND lower = CreateWindowExW(0, u"GdiCovered", u"", kind | WS_VISIBLE, 0, 0, 20, 20, root,
                                     nullptr, nullptr, nullptr);
        HWND child = CreateWindowExW(0, u"GdiCovered", u"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20,
                                     lower, nullptr, nullptr, nullptr);
        HWND upper = CreateWindowExW(0, u"GdiCovered", u"",
                                     (c.isTopLevel ? WS_POPUP : WS_CHILD) | WS_VISIBLE, 10, 10, 20,
                                     20, root, nullptr, nullptr, nullptr);
        const RECT all{0, 0, 20, 20};
        HDC upperDc = GetDC(upper);
        FillRect(upperDc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(upper, upperDc);
        HDC childDc = GetDC(child);
        FillRect(childDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(child, childDc);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetPixel(screen, 5, 5), kBlack) << c.isTopLevel << c.parentClip;
        EXPECT_EQ(GetPixel(screen, 15, 15), c.covered) << c.isTopLevel << c.parentClip;
        ReleaseDC(nullptr, screen);
        DestroyWindow(upper);
        DestroyWindow(lower);
        if (root != nullptr)
            DestroyWindow(root);
    }
}

// The default WM_ERASEBKGND fills the client area with the class brush; a class without one
// leaves the screen as it was.
TEST(WindowDc, EraseWithClassBrush) {
    platform::SetScreenSize(40, 30);
    HBRUSH blue = CreateSolidBrush(kBlue);
    struct Case {
        const char16_t* name;
        HBRUSH brush;
        COLORREF inside;
    };
    for (const Case& c : {Case{u"GdiBlue", blue, kBlue}, Case{u"GdiBare", nullptr, kRed}}) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Plain;
        windowClass.lpszClassName = c.name;
        windowClass.hbrBackground = c.brush;
        RegisterClassW(&windowClass);
        HDC screen = GetDC(nullptr);
        const RECT all{0, 0, 40, 30};
        HBRUSH red = CreateSolidBrush(kRed);
        FillRect(screen, &all, red);
        DeleteObject(red);
        HWND window = CreateWindowExW(0, c.name, u"", WS_POPUP | WS_VISIBLE, 5, 5, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
        EXPECT_EQ(GetPixel(screen, 5, 5), c.inside);
        EXPECT_EQ(GetPixel(screen, 14, 14), c.inside);
        EXPECT_EQ(GetPixel(screen, 15, 15), kRed);
        ReleaseDC(nullptr, screen);
        DestroyWindow(window);
    }
    DeleteObject(blue);
}

// A window with WS_BORDER gets its one-pixel frame painted black as it paints, and again when
// only the frame shows again, as when a window that covered it goes.
TEST(WindowDc, BorderFramePaintedWithTheWindow) {
    platform::SetScreenSize(40, 30);
    HBRUSH blue = CreateSolidBrush(kBlue);
    HBRUSH green = CreateSolidBrush(kGreen);
    for (const auto& [name, brush] :
         {std::pair{u"GdiFramed", green}, std::pair{u"GdiUnder", blue}}) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Plain;
        windowClass.lpszClassName = name;
        windowClass.hbrBackground = brush;
        RegisterClassW(&windowClass);
    }
    HDC screen = GetDC(nullptr);
    const RECT all{0, 0, 40, 30};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(screen, &all, red);
    HWND parent = CreateWindowExW(0, u"GdiUnder", u"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                  0, 40, 30, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(CreateWindowExW(0, u"GdiFramed", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, 5, 5, 15, 10,
                              parent, nullptr, nullptr, nullptr),
              nullptr);
    const auto paintAll = [] {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) != FALSE)
            DispatchMessageW(&msg);
    };
    paintAll();
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {{4, 4, kBlue},   {5, 5, kBlack}, {19, 14, kBlack}, {12, 5, kBlack},
                            {5, 10, kBlack}, {6, 6, kGreen}, {18, 13, kGreen}, {20, 15, kBlue}};
    for (const Probe& p : probes)
        EXPECT_EQ(GetPixel(screen, p.x, p.y), p.colour) << p.x << "," << p.y;
    // A pop-up over the frame's top row alone; under it the screen is red when it goes.
    HWND cover = CreateWindowExW(0, u"GdiUnder", u"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 6, nullptr,
                                 nullptr, nullptr, nullptr);
    paintAll();
    const RECT top{0, 0, 40, 6};
    FillRect(screen, &top, red);
    DestroyWindow(cover);
    paintAll();
    for (const Probe& p : probes)
        EXPECT_EQ(GetPixel(screen, p.x, p.y), p.colour) << p.x << "," << p.y;
    DeleteObject(red);
    ReleaseDC(nullptr, screen);
    DestroyWindow(parent);
    DeleteObject(green);
    DeleteObject(blue);
}
