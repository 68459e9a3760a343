// The painting of the system classes "Static" and "Edit": after the parent has set the DC's
// colours and answered the colour message with a brush, the control fills its client area with
// that brush (a NULL_BRUSH leaves it as it is) and draws its text with its WM_SETFONT font. An
// edit field shows its selection highlighted and, while it has the focus, its caret.
#include "platform/gdi/detail/gdistate.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <vector>

namespace {

constexpr COLORREF kHighlight = RGB(0, 0, 128);
constexpr COLORREF kHighlightText = RGB(255, 255, 255);
constexpr COLORREF kGrayText = RGB(128, 128, 128);

// A disabled field's text: greyed, halfway from the colour its parent gave to grey, so that it
// still reads on the background that colour was chosen for (white on a dark field becomes a light
// grey, black on a white one a dark grey).
COLORREF GreyedText(COLORREF text) {
    const auto half = [](BYTE value, BYTE grey) { return static_cast<BYTE>((value + grey) / 2); };
    return RGB(half(GetRValue(text), GetRValue(kGrayText)),
               half(GetGValue(text), GetGValue(kGrayText)),
               half(GetBValue(text), GetBValue(kGrayText)));
}

void PaintStatic(HWND control, HDC dc, const std::u16string& text, RECT client) {
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    UINT format = DT_WORDBREAK;
    if ((style & 3) == SS_CENTER)
        format |= DT_CENTER;
    else if ((style & 3) == SS_RIGHT)
        format |= DT_RIGHT;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, format);
}

void PaintEdit(HWND control, HDC dc, const std::u16string& text, const RECT& client) {
    const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    DWORD from = 0, to = 0;
    SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    from = std::min<DWORD>(from, static_cast<DWORD>(text.size()));
    to = std::min<DWORD>(std::max(to, from), static_cast<DWORD>(text.size()));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int count = static_cast<int>(text.size());
    std::vector<int> extents(text.size() + 1, 0);
    SIZE size{};
    GetTextExtentExPointW(dc, text.c_str(), count, 0, nullptr, extents.data() + 1, &size);
    const int width = client.right - client.left;
    const int top = std::max(0, (client.bottom - client.top - metrics.tmHeight) / 2);
    // One pixel of margin; the text scrolls so that the caret stays inside.
    int left = 1;
    if (size.cx < width - 2 && (style & 3) == ES_CENTER)
        left = (width - size.cx) / 2;
    else if (size.cx < width - 2 && (style & 3) == ES_RIGHT)
        left = width - 1 - size.cx;
    const int caretX = left + extents[to];
    if (caretX > width - 2)
        left -= caretX - (width - 2);
    const COLORREF oldText = IsWindowEnabled(control) != FALSE
                                 ? GetTextColor(dc)
                                 : SetTextColor(dc, GreyedText(GetTextColor(dc)));
    ExtTextOutW(dc, left, top, ETO_CLIPPED, &client, text.c_str(), static_cast<UINT>(count),
                nullptr);
    if (from < to) {
        const COLORREF previousText = SetTextColor(dc, kHighlightText);
        const COLORREF previousBk = SetBkColor(dc, kHighlight);
        const int previousMode = SetBkMode(dc, OPAQUE);
        ExtTextOutW(dc, left + extents[from], top, ETO_CLIPPED, &client, text.c_str() + from,
                    to - from, nullptr);
        SetBkMode(dc, previousMode);
        SetBkColor(dc, previousBk);
        SetTextColor(dc, previousText);
    } else if (GetFocus() == control) {
        HBRUSH caret = CreateSolidBrush(GetTextColor(dc));
        const RECT line{left + extents[to], top, left + extents[to] + 1, top + metrics.tmHeight};
        FillRect(dc, &line, caret);
        DeleteObject(caret);
    }
    SetTextColor(dc, oldText);
}

} // namespace

namespace platform::gdi_detail {

bool TextExtents(HFONT font, const WCHAR* text, int count, int* extents) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr)
        return false;
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    const BOOL isMeasured = GetTextExtentExPointW(dc, text, count, 0, nullptr, extents, &size);
    if (old != nullptr)
        SelectObject(dc, old);
    DeleteDC(dc);
    return isMeasured != FALSE;
}

void PaintControl(HWND control, HDC dc, UINT colourMessage, HBRUSH brush) {
    RECT client{};
    GetClientRect(control, &client);
    if (brush != nullptr)
        FillRect(dc, &client, brush);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    const std::u16string text = WindowTextOf(control);
    if (colourMessage == WM_CTLCOLOREDIT)
        PaintEdit(control, dc, text, client);
    else
        PaintStatic(control, dc, text, client);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
}

} // namespace platform::gdi_detail
