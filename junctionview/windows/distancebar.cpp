#include "junctionview/windows/distancebar.h"

#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/gdi.h"
#include "platform/shell/resources.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <new>

namespace {

constexpr DWORD kBarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER;

// The colour of key, where 0 (read or defaulted) stands for the default.
COLORREF ReadBarColour(const std::u16string& file, LPCWSTR key, COLORREF fallback) {
    const INT value =
        IniProfile::GetInt(u"DistanceBar", key, file.c_str(), static_cast<INT>(fallback));
    return value == 0 ? fallback : static_cast<COLORREF>(value);
}

// The bar's top in a client area from top to bottom for value.
LONG BarTop(LONG top, LONG bottom, double value) {
    const LONG innerBottom = bottom - DistanceBar::kMargin;
    const LONG innerTop = top + DistanceBar::kMargin;
    return innerBottom - static_cast<LONG>(static_cast<double>(innerBottom - innerTop) * value);
}

// Draws rect with a solid pen of width and colour and brush (a null brush: outline only); both
// are given back.
void DrawBox(HDC dc, const RECT& rect, int width, COLORREF penColour, HBRUSH brush) {
    HPEN pen = CreatePen(PS_SOLID, width, penColour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    if (pen != nullptr)
        DeleteObject(pen);
}

void FillBox(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    DrawBox(dc, rect, 1, colour, brush);
    if (brush != nullptr)
        DeleteObject(brush);
}

} // namespace

DistanceBar::DistanceBar(JunctionViewOwner* owner)
    : WindowBase(&barHandle, u"DistanceBar")
    , m_owner(owner) {
    const std::u16string file = AppPaths::GetScreenDescFilePath();
    m_backColour = ReadBarColour(file, u"BackColor", kDefaultBackColour);
    m_barColour = ReadBarColour(file, u"BarColor", kDefaultBarColour);
    m_frameColour = ReadBarColour(file, u"FrameColor", kDefaultFrameColour);
    ConnectMessageHandler(barHandle.map, WM_PAINT, this, &DistanceBar::OnPaint);
    ConnectMessageHandler(barHandle.map, WM_ERASEBKGND, this, &DistanceBar::OnEraseBackground);
    ConnectMessageHandler(barHandle.map, WM_LBUTTONDOWN, this, &DistanceBar::OnLButtonDown);
}

DistanceBar::~DistanceBar() {
    ScopedLock lock(&m_lock);
    if (barHandle.window != nullptr) {
        DestroyWindow(barHandle.window);
        barHandle.window = nullptr;
    }
}

void DistanceBar::Create(const RECT& rect, HWND parent) {
    if (barHandle.window == nullptr) {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", kBarStyle, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                        platform::ResourceInstance(), &barHandle);
    }
    MoveWindowToRect(barHandle.window, rect, true);
    SetWindowPos(barHandle.window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

BOOL DistanceBar::SetInsertAfter(HWND after) {
    return SetWindowPos(barHandle.window, after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void DistanceBar::SetFraction(double value) {
    ScopedLock lock(&m_lock);
    if (value == m_fraction)
        return;
    m_fraction = value;
    HWND window = barHandle.window;
    if (value <= 0.0) {
        ShowWindow(window, SW_HIDE);
        m_isVisible = false;
        return;
    }
    ShowWindow(window, SW_SHOW);
    m_isVisible = true;
    RECT client{};
    GetClientRect(window, &client);
    const LONG innerBottom = client.bottom - kMargin;
    const LONG newTop = BarTop(client.top, client.bottom, value);
    const LONG oldTop = m_barTop;
    m_barTop = newTop;
    if (newTop <= oldTop) {
        // Only the part the bar grew by: from the new top down to the old one.
        const RECT strip{client.left + kMargin, newTop, client.right - kMargin,
                         oldTop + 1 < innerBottom ? oldTop + 1 : innerBottom};
        InvalidateRect(window, &strip, FALSE);
    } else {
        InvalidateRect(window, nullptr, FALSE);
    }
}

void DistanceBar::RefreshVisibility() {
    ScopedLock lock(&m_lock);
    ShowWindow(barHandle.window, m_isVisible ? SW_SHOW : SW_HIDE);
}

std::int32_t DistanceBar::GetBarTop() {
    ScopedLock lock(&m_lock);
    return m_barTop;
}

bool DistanceBar::IsBarVisible() {
    ScopedLock lock(&m_lock);
    return m_isVisible;
}

void DistanceBar::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(barHandle.window, &paint);
    if (dc != nullptr) {
        RECT client{};
        GetClientRect(barHandle.window, &client);
        FillBox(dc, client, m_backColour);
        double fraction = 0.0;
        {
            ScopedLock lock(&m_lock);
            fraction = m_fraction;
        }
        const LONG top = BarTop(client.top, client.bottom, fraction);
        FillBox(dc, RECT{client.left, top, client.right, client.bottom - kMargin}, m_barColour);
        DrawBox(dc, client, 2 * kMargin, m_frameColour,
                static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    }
    EndPaint(barHandle.window, &paint);
    *result = 0;
    *handled = true;
}

void DistanceBar::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}

void DistanceBar::OnLButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_owner != nullptr)
        (void)m_owner->OnTap();
}

IDistanceBar* CreateDistanceBar(JunctionViewOwner* owner) {
    return new (std::nothrow) DistanceBar(owner);
}
