#pragma once
// Shared helpers of the GDI tests: a memory DC over a colour bitmap, read back as a picture of
// one character per pixel.

#include "platform/gdi/gdi.h"

#include <string>
#include <vector>

namespace gditesting {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// '.' white, '#' black, 'r' red, 'g' green, 'b' blue, '?' any other colour.
inline char Letter(COLORREF colour) {
    switch (colour) {
    case kWhite:
        return '.';
    case kBlack:
        return '#';
    case kRed:
        return 'r';
    case kGreen:
        return 'g';
    case kBlue:
        return 'b';
    default:
        return '?';
    }
}

inline std::vector<std::string> Picture(HDC dc, int width, int height) {
    POINT origin{};
    SetViewportOrgEx(dc, 0, 0, &origin);
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += Letter(GetPixel(dc, x, y));
        rows.push_back(row);
    }
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    return rows;
}

// A memory DC with a width x height colour bitmap filled with background.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background = kWhite, bool isMono = false)
        : width_(width)
        , height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = isMono ? CreateBitmap(width, height, 1, 1, nullptr)
                         : CreateBitmap(width, height, 1, 32, nullptr);
        old_ = SelectObject(dc_, bitmap_);
        HBRUSH brush = CreateSolidBrush(background);
        RECT all{0, 0, width, height};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    std::vector<std::string> Picture() const { return gditesting::Picture(dc_, width_, height_); }
    // Pixels of the given colour.
    int Count(COLORREF colour) const {
        int count = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x)
                count += GetPixel(dc_, x, y) == colour ? 1 : 0;
        }
        return count;
    }

private:
    int width_;
    int height_;
    HDC dc_{};
    HBITMAP bitmap_{};
    HGDIOBJ old_{};
};

// Selects a new pen and brush into dc for the life of the object.
class Tools {
public:
    Tools(HDC dc, HPEN pen, HBRUSH brush)
        : dc_(dc)
        , pen_(pen)
        , brush_(brush) {
        oldPen_ = SelectObject(dc, pen);
        oldBrush_ = SelectObject(dc, brush);
    }
    ~Tools() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    Tools(const Tools&) = delete;
    Tools& operator=(const Tools&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_{};
    HGDIOBJ oldBrush_{};
};

} // namespace gditesting
