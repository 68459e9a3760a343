#include "ui/textface.h"

#include "platform/gdi/text.h"

#include <algorithm>

namespace {

constexpr int kTextIndent = 16;
// Captions are laid out within this distance of the origin: a control placed beyond it (a
// layout can name any coordinate) shows nothing there either, and the arithmetic stays in range.
constexpr LONG kFarthestCoordinate = 1 << 24;

LONG Nearer(LONG value) {
    return std::clamp(value, -kFarthestCoordinate, kFarthestCoordinate);
}

COLORREF TextColour(int state, const FaceTextStyle& style) {
    switch (state) {
    case 1:
        return style.isRadio ? kSkinText : kSkinPressedText;
    case 2:
        return kSkinFocusedText;
    case 3:
        return style.markerStyle != 0 ? kSkinDisabledMarker : kSkinDisabledText;
    default:
        return kSkinText;
    }
}

COLORREF MarkerColour(int state) {
    if (state == 2)
        return kSkinFocusedText;
    return state == 3 ? kSkinDisabledMarker : kSkinPressedText;
}

void DrawRadio(HDC dc, const RECT& line, int state, int d) {
    HPEN pen = CreatePen(PS_SOLID, 2, kSkinBackground);
    HBRUSH fill = state == 3 ? nullptr : CreateSolidBrush(kSkinTitle);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, fill != nullptr ? fill : GetStockObject(LTGRAY_BRUSH));
    Ellipse(dc, line.left, line.top + d, line.left + 6 * d, line.bottom - d);
    HBRUSH inner = nullptr;
    if (state == 1) {
        inner = CreateSolidBrush(kSkinBackground);
        SelectObject(dc, inner);
        Ellipse(dc, line.left + 4, line.top + d + 4, line.left + 6 * d - 4, line.bottom - d - 4);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    if (fill != nullptr)
        DeleteObject(fill);
    if (inner != nullptr)
        DeleteObject(inner);
}

} // namespace

void DrawFaceText(HDC dc, const RECT& rect, const std::u16string& text, int state,
                  const FaceTextStyle& style) {
    SetBkMode(dc, TRANSPARENT);
    const std::size_t lineEnd = text.find_first_of(u"\r\n");
    const bool hasSecondLine = lineEnd != std::u16string::npos;
    const std::u16string first = text.substr(0, lineEnd);
    RECT line{Nearer(rect.left), Nearer(rect.top), Nearer(rect.right), Nearer(rect.bottom)};
    if (hasSecondLine)
        line.bottom = line.top + (line.bottom - line.top) / 2;

    if (style.isRadio) {
        const int d = (line.bottom - line.top) / 8;
        DrawRadio(dc, line, state, d);
        line.left += 6 * d + 8;
    } else if (style.markerStyle != 0) {
        SetTextColor(dc, MarkerColour(state));
        RECT marker = line;
        DrawTextW(dc, u">", 1, &marker, DT_SINGLELINE | DT_VCENTER);
        line.left += kTextIndent;
    } else if (style.isRightAligned) {
        line.right -= kTextIndent;
    } else {
        line.left += kTextIndent;
    }

    SetTextColor(dc, TextColour(state, style));
    const UINT format = DT_SINGLELINE | DT_VCENTER | (style.isRightAligned ? DT_RIGHT : 0);
    RECT firstRect = line;
    DrawTextW(dc, first.c_str(), static_cast<int>(first.size()), &firstRect, format);
    if (hasSecondLine) {
        const std::size_t next = text.find_first_not_of(u"\r\n", lineEnd);
        const std::u16string second =
            next == std::u16string::npos ? std::u16string() : text.substr(next);
        RECT lower = line;
        lower.top = line.bottom;
        lower.bottom = 2 * line.bottom - line.top;
        DrawTextW(dc, second.c_str(), static_cast<int>(second.size()), &lower,
                  DT_SINGLELINE | DT_VCENTER);
    }
}

bool TextFace::Draw(HDC, const RECT&, DWORD, bool) {
    return false;
}

bool TextFace::DrawWithText(HDC dc, const RECT& rect, const std::u16string& text, int state) {
    DrawFaceText(dc, rect, text, state, style_);
    return true;
}

bool BitmapTextFace::Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) {
    return bitmap_.Draw(dc, rect, rop, isTransparent);
}

bool BitmapTextFace::DrawWithText(HDC dc, const RECT& rect, const std::u16string& text, int state) {
    (void)bitmap_.Draw(dc, rect, SRCCOPY, true);
    DrawFaceText(dc, rect, text, state, FaceTextStyle{});
    return true;
}

std::unique_ptr<SkinFace> LoadSkinFace(UINT id, int kind) {
    switch (kind) {
    case 0:
        return std::make_unique<SkinBitmap>(id);
    case 1:
        return std::make_unique<BitmapTextFace>(id);
    case 2:
        return std::make_unique<TextFace>(FaceTextStyle{});
    case 3:
        return std::make_unique<TextFace>(FaceTextStyle{1, false, false});
    case 5:
        return std::make_unique<TextFace>(FaceTextStyle{0, true, false});
    case 7:
        return std::make_unique<TextFace>(FaceTextStyle{2, false, false});
    case 8:
        return std::make_unique<TextFace>(FaceTextStyle{0, false, true});
    default:
        return nullptr;
    }
}
