#pragma once
// A bitmap drawn with one colour keyed out: an image with the key pixels black and a
// monochrome mask, combined with the destination off-screen. User-interface thread only.

#include "platform/gdi/gdi.h"

// Key colour that means "the colour of the bitmap's pixel (0, 0)".
constexpr COLORREF kKeyTopLeftPixel = 0x13131313;

class TransparentBitmap {
public:
    // Copies bitmap (which stays the caller's). A bitmap without pixels gives an empty object
    // that draws nothing.
    TransparentBitmap(HBITMAP bitmap, COLORREF key);
    ~TransparentBitmap();
    TransparentBitmap(const TransparentBitmap&) = delete;
    TransparentBitmap& operator=(const TransparentBitmap&) = delete;

    [[nodiscard]] bool IsEmpty() const { return image_ == nullptr; }
    [[nodiscard]] SIZE GetSize() const { return SIZE{width_, height_}; }
    // Unscaled, centred on point (top-left = point - size / 2).
    void DrawCentred(HDC dc, POINT point) const;
    void DrawStretched(HDC dc, const RECT& rect) const;

private:
    HBITMAP image_{};
    HBITMAP mask_{};
    int width_ = 0;
    int height_ = 0;
};
