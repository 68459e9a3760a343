#include "testdata/bitmapwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/gditesting.h"
#include "platform/shell/resourcebundle.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace gditesting;

namespace {

constexpr std::uint32_t kRedPixel = 0xFF0000, kGreenPixel = 0x00FF00, kBluePixel = 0x0000FF;

// A 3 x 2 picture: red green blue / blue black white, in the writer's own encoding.
testdata::BitmapSpec Spec(int bitCount, bool isTopDown = false) {
    testdata::BitmapSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.bitCount = bitCount;
    spec.isTopDown = isTopDown;
    const std::vector<std::uint32_t> colours = {kRedPixel,  kGreenPixel, kBluePixel,
                                                kBluePixel, 0x000000,    0xFFFFFF};
    if (bitCount == 1) {
        spec.palette = {0x000000, 0xFFFFFF};
        spec.pixels = {1, 0, 1, 0, 0, 1};
    } else if (bitCount <= 8) {
        spec.palette = {kRedPixel, kGreenPixel, kBluePixel, 0x000000, 0xFFFFFF};
        spec.pixels = {0, 1, 2, 2, 3, 4};
    } else {
        spec.pixels = colours;
    }
    return spec;
}

std::vector<std::string> Show(HBITMAP bitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    std::vector<std::string> picture = Picture(dc, info.bmWidth, info.bmHeight);
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture;
}

} // namespace

// Packed DIBs and files of each bit count, bottom-up and top-down, give the same picture.
TEST(Dib, EachBitCount) {
    struct Case {
        int bitCount;
        bool isTopDown;
        std::vector<std::string> picture;
    };
    const std::vector<std::string> colour = {"rgb", "b#."};
    const std::vector<Case> cases = {
        {1, false, {".#.", "##."}}, {2, false, {"rgb", "bb#"}}, {4, false, colour},
        {8, false, colour},         {8, true, colour},          {16, false, colour},
        {24, false, colour},        {24, true, colour},         {32, false, colour},
    };
    for (const Case& c : cases) {
        testdata::BitmapSpec spec = Spec(c.bitCount, c.isTopDown);
        if (c.bitCount == 2)
            spec.palette.resize(4); // four colours at most: white becomes black
        if (c.bitCount == 2)
            spec.pixels = {0, 1, 2, 2, 2, 3};
        for (bool isFile : {false, true}) {
            const auto data =
                isFile ? testdata::WriteBitmapFile(spec) : testdata::WritePackedDib(spec);
            HBITMAP bitmap =
                isFile ? platform::CreateDibFromFile(data) : platform::CreateDibFromPacked(data);
            ASSERT_NE(bitmap, nullptr) << c.bitCount;
            BITMAP info{};
            GetObjectW(bitmap, sizeof(info), &info);
            EXPECT_EQ(info.bmBitsPixel, c.bitCount);
            EXPECT_EQ(Show(bitmap), c.picture) << c.bitCount << " " << isFile;
            DeleteObject(bitmap);
        }
    }
    testdata::BitmapSpec spec = Spec(16);
    spec.isBitfields = true;
    HBITMAP bitmap = platform::CreateDibFromPacked(testdata::WritePackedDib(spec));
    EXPECT_EQ(Show(bitmap), (std::vector<std::string>{"rgb", "b#."}));
    DeleteObject(bitmap);
}

// Data whose parts disagree with its length or with each other are refused.
TEST(Dib, RefusesInconsistentData) {
    using testdata::BitmapFault;
    const BitmapFault faults[] = {BitmapFault::PixelsShort,    BitmapFault::PaletteTooLong,
                                  BitmapFault::PalettePastEnd, BitmapFault::HeaderPastEnd,
                                  BitmapFault::BadBitCount,    BitmapFault::HugeSize};
    for (BitmapFault fault : faults) {
        for (int bitCount : {4, 8}) {
            EXPECT_EQ(
                platform::CreateDibFromPacked(testdata::WritePackedDib(Spec(bitCount), fault)),
                nullptr)
                << static_cast<int>(fault);
            EXPECT_EQ(platform::CreateDibFromFile(testdata::WriteBitmapFile(Spec(bitCount), fault)),
                      nullptr)
                << static_cast<int>(fault);
        }
    }
    for (BitmapFault fault : {BitmapFault::PixelOffsetInside, BitmapFault::PixelOffsetPastEnd}) {
        EXPECT_EQ(platform::CreateDibFromFile(testdata::WriteBitmapFile(Spec(8), fault)), nullptr);
    }
    std::vector<std::uint8_t> file = testdata::WriteBitmapFile(Spec(8));
    file[0] = 'X';
    EXPECT_EQ(platform::CreateDibFromFile(file), nullptr);
    for (std::size_t cut = 0; cut < 60; cut += 7) {
        EXPECT_EQ(platform::CreateDibFromPacked(std::span(file).subspan(14, cut)), nullptr) << cut;
    }
}

// A DIB section's bits are what GDI draws from and into.
TEST(Dib, SectionBitsAreShared) {
    struct Info {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    };
    Info info{};
    info.header = BITMAPINFOHEADER{40, 4, -2, 1, 8, BI_RGB, 0, 0, 0, 2, 0};
    info.colours[0] = RGBQUAD{0, 0, 255, 0}; // red
    info.colours[1] = RGBQUAD{255, 0, 0, 0}; // blue
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    auto* bytes = static_cast<std::uint8_t*>(bits);
    bytes[1] = 1;
    EXPECT_EQ(Show(bitmap), (std::vector<std::string>{"rbrr", "rrrr"}));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT right{2, 0, 4, 2};
    HBRUSH blue = CreateSolidBrush(kBlue);
    FillRect(dc, &right, blue);
    DeleteObject(blue);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ((std::vector<int>{bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[7]}),
              (std::vector<int>{0, 1, 1, 1, 0, 1}));
    DeleteObject(bitmap);
    info.header.biBitCount = 3;
    EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                               &bits, nullptr, 0),
              nullptr);
    EXPECT_EQ(bits, nullptr);
}

// 32-bit sections read each colour through its mask, whatever the masks' width and order; the
// fourth byte of the usual layout is left out.
TEST(Dib, ThirtyTwoBitSectionsReadThroughTheirMasks) {
    struct Case {
        DWORD compression;
        std::uint32_t masks[3];
        std::uint32_t pixel; // as stored, little-endian
        COLORREF expected;
    };
    const std::vector<Case> cases = {
        {BI_RGB, {0, 0, 0}, 0xAB302010, RGB(0x30, 0x20, 0x10)},
        {BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0x00302010, RGB(0x30, 0x20, 0x10)},
        {BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}, 0x00332211, RGB(0x11, 0x22, 0x33)},
        {BI_BITFIELDS, {0x3FF00000, 0xFFC00, 0x3FF}, 0x3FF80000, RGB(255, 127, 0)},
        {BI_BITFIELDS, {0xFF000000, 0xFF0000, 0xFF00}, 0x40804000, RGB(0x40, 0x80, 0x40)},
    };
    struct Info {
        BITMAPINFOHEADER header;
        std::uint32_t masks[3];
    };
    for (const Case& c : cases) {
        Info info{};
        info.header = BITMAPINFOHEADER{40, 1, 1, 1, 32, c.compression, 0, 0, 0, 0, 0};
        std::memcpy(info.masks, c.masks, sizeof(info.masks));
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                          DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        std::memcpy(bits, &c.pixel, sizeof(c.pixel));
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(GetPixel(dc, 0, 0), c.expected) << std::hex << c.pixel;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

// A true-colour picture blitted onto the screen gives exactly its colours, whatever the bytes
// around each pixel: rows of odd and even widths, bottom-up and top-down.
TEST(Dib, TrueColourPicturesGiveExactlyTheirColours) {
    platform::SetScreenSize(16, 8);
    const std::vector<std::uint32_t> colours = {0xFFFFFF, 0x000000, 0x123456, 0xFFFFFF, 0xABCDEF,
                                                0x0000FF, 0xFF0000, 0x00FF00, 0x808080, 0xFEFDFC};
    for (const int bitCount : {24, 32}) {
        for (const int width : {5, 2, 1}) {
            for (const bool isTopDown : {false, true}) {
                SCOPED_TRACE(std::to_string(bitCount) + " bits, width " + std::to_string(width));
                testdata::BitmapSpec spec;
                spec.width = width;
                spec.height = 2;
                spec.bitCount = bitCount;
                spec.isTopDown = isTopDown;
                spec.pixels.assign(colours.begin(), colours.begin() + 2 * width);
                HBITMAP bitmap = platform::CreateDibFromPacked(testdata::WritePackedDib(spec));
                ASSERT_NE(bitmap, nullptr);
                HDC dc = CreateCompatibleDC(nullptr);
                HGDIOBJ old = SelectObject(dc, bitmap);
                HDC screen = GetDC(nullptr);
                ASSERT_TRUE(BitBlt(screen, 0, 0, width, 2, dc, 0, 0, SRCCOPY));
                ReleaseDC(nullptr, screen);
                const RECT area{0, 0, width, 2};
                std::vector<std::uint32_t> pixels;
                int shownWidth = 0, shownHeight = 0;
                ASSERT_TRUE(platform::ReadScreenPixels(&area, &pixels, &shownWidth, &shownHeight));
                EXPECT_EQ(pixels, spec.pixels);
                SelectObject(dc, old);
                DeleteDC(dc);
                DeleteObject(bitmap);
            }
        }
    }
}

// SHLoadDIBitmap loads ".bmp" and ".2bp" files by full path without adding an extension.
TEST(Dib, LoadsBitmapFilesByPath) {
    testdata::TempDeviceRoot root;
    testdata::BitmapSpec twoBits = Spec(2);
    twoBits.palette.resize(4);
    twoBits.pixels = {0, 1, 2, 2, 2, 3};
    const std::vector<std::uint8_t> broken =
        testdata::WriteBitmapFile(Spec(8), testdata::BitmapFault::PixelsShort);
    ASSERT_TRUE(root.WriteFile(u"\\Bitmaps\\Logo.bmp", testdata::WriteBitmapFile(Spec(24))));
    ASSERT_TRUE(root.WriteFile(u"\\signs\\Sign.2bp", testdata::WriteBitmapFile(twoBits)));
    ASSERT_TRUE(root.WriteFile(u"\\Bitmaps\\Broken.bmp", broken));
    ASSERT_TRUE(root.WriteFile(u"\\Bitmaps\\Empty.bmp", std::string_view()));
    struct Case {
        const char16_t* path;
        std::vector<std::string> picture; // empty: no bitmap
    };
    const std::vector<Case> cases = {
        {u"\\bitmaps\\logo.BMP", {"rgb", "b#."}},
        {u"/Signs/sign.2bp", {"rgb", "bb#"}},
        {u"\\Bitmaps\\Logo", {}},
        {u"\\Bitmaps\\Broken.bmp", {}},
        {u"\\Bitmaps\\Missing.bmp", {}},
        {u"\\Bitmaps\\Empty.bmp", {}},
    };
    for (const Case& c : cases) {
        HBITMAP bitmap = SHLoadDIBitmap(c.path);
        EXPECT_EQ(bitmap != nullptr, !c.picture.empty());
        if (bitmap != nullptr) {
            EXPECT_EQ(Show(bitmap), c.picture);
            DeleteObject(bitmap);
        }
    }
}

// LoadBitmapW reads bitmaps of the language library by id masked to 16 bits.
TEST(Dib, LoadsBitmapsOfTheLanguageLibrary) {
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.bitmaps[390] = testdata::WriteBitmapFile(Spec(8));
    bundle.bitmaps[391] = {'B', 'M', 0, 0};
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(module, nullptr);
    struct Case {
        std::uintptr_t name;
        bool isFound;
    };
    for (const Case& c :
         {Case{390, true}, Case{0x10000 + 390, true}, Case{391, false}, Case{392, false}}) {
        HBITMAP bitmap = LoadBitmapW(module, reinterpret_cast<LPCWSTR>(c.name));
        EXPECT_EQ(bitmap != nullptr, c.isFound) << c.name;
        if (bitmap != nullptr) {
            EXPECT_EQ(Show(bitmap), (std::vector<std::string>{"rgb", "b#."}));
            DeleteObject(bitmap);
        }
    }
    FreeLibrary(module);
    EXPECT_EQ(LoadBitmapW(nullptr, reinterpret_cast<LPCWSTR>(390)), nullptr);
}

// LoadIconW reads the icons of the language library, which are apart from its bitmaps; an icon
// is a bitmap object whose pixels the visible back end reads.
TEST(Dib, LoadsIconsOfTheLanguageLibraryApartFromItsBitmaps) {
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.icons[1] = testdata::WriteBitmapFile(Spec(24, true));
    bundle.icons[2] = {'B', 'M', 0, 0};
    bundle.bitmaps[3] = testdata::WriteBitmapFile(Spec(8));
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(module, nullptr);
    const struct {
        std::uintptr_t name;
        bool isFound;
    } cases[] = {{1, true}, {0x10001, true}, {2, false}, {3, false}, {4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HICON icon = LoadIconW(module, reinterpret_cast<LPCWSTR>(c.name));
        EXPECT_EQ(icon != nullptr, c.isFound);
        if (icon == nullptr)
            continue;
        std::vector<std::uint32_t> pixels;
        int width = 0, height = 0;
        ASSERT_TRUE(platform::ReadIconPixels(icon, &pixels, &width, &height));
        EXPECT_EQ(width, 3);
        EXPECT_EQ(height, 2);
        EXPECT_EQ(pixels, (std::vector<std::uint32_t>{kRedPixel, kGreenPixel, kBluePixel,
                                                      kBluePixel, 0x000000, 0xFFFFFF}));
        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_FALSE(DestroyIcon(icon));
        EXPECT_FALSE(platform::ReadIconPixels(icon, &pixels, &width, &height));
    }
    HPEN pen = CreatePen(PS_SOLID, 1, 0);
    EXPECT_FALSE(DestroyIcon(pen));
    DeleteObject(pen);
    FreeLibrary(module);
    EXPECT_EQ(LoadIconW(module, reinterpret_cast<LPCWSTR>(1)), nullptr);
}
