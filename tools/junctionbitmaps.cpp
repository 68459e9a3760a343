// junctionbitmaps <folder>: draws the junction view's destination pictures with our GDI and
// writes them as bitmap files into the folder: "DestFlag.bmp" (a chequered flag, the destination
// reached) and "DestAppr.bmp" (a pin, the destination ahead).
#include "testdata/bitmapwriter.h"

#include "platform/gdi/gdi.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 48;

void Fill(HDC dc, COLORREF colour, int left, int top, int right, int bottom) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT rect{left, top, right, bottom};
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void DrawFlag(HDC dc) {
    Fill(dc, RGB(96, 64, 32), 6, 4, 10, 46); // the pole
    constexpr int kSquare = 6;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            const bool isDark = (row + column) % 2 == 0;
            const int left = 10 + column * kSquare;
            const int top = 4 + row * kSquare;
            Fill(dc, isDark ? RGB(0, 0, 0) : RGB(255, 255, 255), left, top, left + kSquare,
                 top + kSquare);
        }
    }
}

void DrawPin(HDC dc) {
    HBRUSH brush = CreateSolidBrush(RGB(200, 30, 30));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(120, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const POINT point[3] = {{11, 22}, {29, 22}, {20, 44}};
    Polygon(dc, point, 3);
    Ellipse(dc, 8, 4, 32, 28);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
    brush = CreateSolidBrush(RGB(255, 255, 255));
    SelectObject(dc, brush);
    Ellipse(dc, 15, 11, 25, 21);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

// The picture drawn on white, as a 24-bit bitmap file.
std::vector<std::uint8_t> Picture(const std::function<void(HDC)>& draw) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Fill(dc, RGB(255, 255, 255), 0, 0, kWidth, kHeight);
    draw(dc);
    testdata::BitmapSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            spec.pixels.push_back(static_cast<std::uint32_t>(GetRValue(c)) << 16 |
                                  static_cast<std::uint32_t>(GetGValue(c)) << 8 | GetBValue(c));
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return testdata::WriteBitmapFile(spec);
}

bool Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: junctionbitmaps <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (!Write(folder + "/DestFlag.bmp", Picture(DrawFlag)) ||
        !Write(folder + "/DestAppr.bmp", Picture(DrawPin))) {
        std::fprintf(stderr, "junctionbitmaps: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
