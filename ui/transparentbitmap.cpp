#include "ui/transparentbitmap.h"

namespace {

// Destination AND NOT source: clears what the image will paint.
constexpr DWORD kMaskOut = 0x00220326;

// A memory DC with one bitmap selected for the life of the object.
class SelectedDc {
public:
    SelectedDc(HDC compatible, HBITMAP bitmap)
        : dc_(CreateCompatibleDC(compatible)) {
        if (dc_ != nullptr)
            old_ = SelectObject(dc_, bitmap);
    }
    ~SelectedDc() {
        if (dc_ != nullptr) {
            SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
    }
    SelectedDc(const SelectedDc&) = delete;
    SelectedDc& operator=(const SelectedDc&) = delete;
    [[nodiscard]] HDC dc() const { return dc_; }
    [[nodiscard]] bool IsValid() const { return dc_ != nullptr && old_ != nullptr; }

private:
    HDC dc_{};
    HGDIOBJ old_{};
};

} // namespace

TransparentBitmap::TransparentBitmap(HBITMAP bitmap, COLORREF key) {
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0)
        return;
    width_ = info.bmWidth;
    height_ = info.bmHeight;
    mask_ = CreateBitmap(width_, height_, 1, 1, nullptr);
    image_ = CreateBitmap(width_, height_, 1, 32, nullptr);
    SelectedDc source(nullptr, bitmap);
    SelectedDc mask(nullptr, mask_);
    SelectedDc image(nullptr, image_);
    if (mask_ == nullptr || image_ == nullptr || !source.IsValid() || !mask.IsValid() ||
        !image.IsValid()) {
        DeleteObject(mask_);
        DeleteObject(image_);
        mask_ = image_ = nullptr;
        return;
    }
    if (key == kKeyTopLeftPixel)
        key = GetPixel(source.dc(), 0, 0);
    SetBkColor(source.dc(), key);
    BitBlt(mask.dc(), 0, 0, width_, height_, source.dc(), 0, 0, NOTSRCCOPY);
    BitBlt(image.dc(), 0, 0, width_, height_, source.dc(), 0, 0, SRCCOPY);
    SetTextColor(image.dc(), RGB(0, 0, 0));
    SetBkColor(image.dc(), RGB(255, 255, 255));
    BitBlt(image.dc(), 0, 0, width_, height_, mask.dc(), 0, 0, SRCAND);
}

TransparentBitmap::~TransparentBitmap() {
    if (image_ != nullptr)
        DeleteObject(image_);
    if (mask_ != nullptr)
        DeleteObject(mask_);
}

void TransparentBitmap::DrawCentred(HDC dc, POINT point) const {
    const int left = point.x - width_ / 2;
    const int top = point.y - height_ / 2;
    DrawStretched(dc, RECT{left, top, left + width_, top + height_});
}

void TransparentBitmap::DrawStretched(HDC dc, const RECT& rect) const {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (IsEmpty() || width <= 0 || height <= 0)
        return;
    HBITMAP scratch = CreateBitmap(width, height, 1, 32, nullptr);
    if (scratch == nullptr)
        return;
    {
        SelectedDc off(dc, scratch);
        SelectedDc mask(dc, mask_);
        SelectedDc image(dc, image_);
        if (off.IsValid() && mask.IsValid() && image.IsValid()) {
            BitBlt(off.dc(), 0, 0, width, height, dc, rect.left, rect.top, SRCCOPY);
            SetTextColor(off.dc(), RGB(0, 0, 0));
            SetBkColor(off.dc(), RGB(255, 255, 255));
            StretchBlt(off.dc(), 0, 0, width, height, mask.dc(), 0, 0, width_, height_, kMaskOut);
            StretchBlt(off.dc(), 0, 0, width, height, image.dc(), 0, 0, width_, height_, SRCPAINT);
            BitBlt(dc, rect.left, rect.top, width, height, off.dc(), 0, 0, SRCCOPY);
        }
    }
    DeleteObject(scratch);
}
