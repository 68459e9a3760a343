#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

using namespace gditesting;

// SelectObject hands back what was selected, so a caller can restore it; deleting a selected
// object leaves it usable in that DC; stock objects survive DeleteObject.
TEST(Objects, SelectRestoreAndDelete) {
    Canvas canvas(4, 1);
    HPEN red = CreatePen(PS_SOLID, 1, kRed);
    EXPECT_EQ(SelectObject(canvas.dc(), red), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(red));
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    LineTo(canvas.dc(), 2, 0);
    EXPECT_EQ(canvas.Picture(), (std::vector<std::string>{"rr.."}));
    EXPECT_EQ(SelectObject(canvas.dc(), GetStockObject(WHITE_PEN)), red);
    EXPECT_EQ(GetObjectType(red), 0u);

    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(SelectObject(canvas.dc(), nullptr), nullptr);
    EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_PEN)), nullptr);
}

// Stock objects the program uses, by colour.
TEST(Objects, StockObjects) {
    struct Case {
        int index;
        int type;
        COLORREF colour;
    };
    const Case cases[] = {
        {WHITE_BRUSH, OBJ_BRUSH, kWhite},
        {BLACK_BRUSH, OBJ_BRUSH, kBlack},
        {LTGRAY_BRUSH, OBJ_BRUSH, RGB(192, 192, 192)},
        {WHITE_PEN, OBJ_PEN, kWhite},
        {BLACK_PEN, OBJ_PEN, kBlack},
    };
    for (const Case& c : cases) {
        HGDIOBJ object = GetStockObject(c.index);
        EXPECT_EQ(GetObjectType(object), static_cast<DWORD>(c.type)) << c.index;
        if (c.type == OBJ_BRUSH) {
            LOGBRUSH brush{};
            EXPECT_EQ(GetObjectW(object, sizeof(brush), &brush), static_cast<int>(sizeof(brush)));
            EXPECT_EQ(brush.lbColor, c.colour) << c.index;
        } else {
            LOGPEN pen{};
            EXPECT_EQ(GetObjectW(object, sizeof(pen), &pen), static_cast<int>(sizeof(pen)));
            EXPECT_EQ(pen.lopnColor, c.colour) << c.index;
        }
    }
    LOGBRUSH hollow{};
    GetObjectW(GetStockObject(NULL_BRUSH), sizeof(hollow), &hollow);
    EXPECT_EQ(hollow.lbStyle, BS_NULL);
}

// Bitmaps describe themselves; a fresh memory DC is monochrome, so bitmaps compatible with
// it are too, while the screen's are colour.
TEST(Objects, BitmapsAndDeviceCaps) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    struct Case {
        HDC dc;
        int bitsPerPixel;
    };
    for (const Case& c : {Case{screen, 32}, Case{memory, 1}}) {
        EXPECT_EQ(GetDeviceCaps(c.dc, BITSPIXEL), c.bitsPerPixel);
        EXPECT_EQ(GetDeviceCaps(c.dc, PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(c.dc, LOGPIXELSX), 96);
        EXPECT_EQ(GetDeviceCaps(c.dc, LOGPIXELSY), 96);
        EXPECT_EQ(GetDeviceCaps(c.dc, HORZRES), GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(GetDeviceCaps(c.dc, VERTRES), GetSystemMetrics(SM_CYSCREEN));
        HBITMAP bitmap = CreateCompatibleBitmap(c.dc, 30, 20);
        BITMAP info{};
        EXPECT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
        EXPECT_EQ(info.bmWidth, 30);
        EXPECT_EQ(info.bmHeight, 20);
        EXPECT_EQ(info.bmBitsPixel, c.bitsPerPixel);
        EXPECT_EQ(GetObjectW(bitmap, 4, &info), 0);
        DeleteObject(bitmap);
    }
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(memory)), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_FALSE(DeleteDC(memory));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(CreateBitmap(0, 5, 1, 32, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(5, 5, 1, 8, nullptr), nullptr);
    EXPECT_EQ(CreateBitmap(100000, 100000, 1, 32, nullptr), nullptr);
}

// A memory DC's screen capabilities follow the screen size, however many memory-DC calls came
// after the change.
TEST(Objects, MemoryDcCapabilitiesFollowTheScreenSize) {
    const SIZE original{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    HDC memory = CreateCompatibleDC(nullptr);
    for (const SIZE size : {SIZE{320, 240}, SIZE{480, 640}, original}) {
        SCOPED_TRACE(size.cx);
        platform::SetScreenSize(size.cx, size.cy);
        EXPECT_TRUE(PatBlt(memory, 0, 0, 1, 1, WHITENESS));
        EXPECT_EQ(GetDeviceCaps(memory, HORZRES), size.cx);
        EXPECT_EQ(GetDeviceCaps(memory, VERTRES), size.cy);
    }
    DeleteDC(memory);
}

// The test switch fails exactly the next n creations, each with ERROR_NOT_ENOUGH_MEMORY and one
// debug line, and the live counts follow creation and deletion.
TEST(Objects, FailureSwitchAndLiveCounts) {
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    platform::DebugOutputCapture capture;
    platform::FailNextGdiCreations(3);
    const LOGFONTW font{};
    EXPECT_EQ(CreateSolidBrush(kRed), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
    EXPECT_EQ(CreateFontIndirectW(&font), nullptr);
    EXPECT_EQ(capture.Texts().size(), 3u);
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);

    HBRUSH brush = CreateSolidBrush(kRed);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(brush, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(capture.Texts().size(), 3u);
    const platform::GdiObjectCounts during = platform::CountLiveGdiObjects();
    EXPECT_EQ(during.objects, before.objects + 1);
    EXPECT_EQ(during.memoryDcs, before.memoryDcs + 1);
    DeleteObject(brush);
    DeleteDC(dc);
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);
}
