#include "ui/hintwindow.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <array>

namespace {

constexpr UINT kMeasureFormat =
    DT_CALCRECT | DT_WORDBREAK | DT_NOCLIP | DT_EXTERNALLEADING | DT_NOPREFIX;
constexpr UINT kPaintFormat =
    DT_WORDBREAK | DT_VCENTER | DT_NOCLIP | DT_EXTERNALLEADING | DT_NOPREFIX;
constexpr int kMaxPaintedText = 1024;
constexpr BYTE kClipStrokePrecision = 2;

} // namespace

HintWindow::HintWindow(HWND parent, COLORREF background) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS | CS_GLOBALCLASS;
    windowClass.hbrBackground = CreateSolidBrush(background);
    // Only the first registration of the framework class keeps its brush.
    if (WindowClassRegistry::Register(windowClass, platform::ResourceInstance()) == 0)
        DeleteObject(windowClass.hbrBackground);
    ConnectMessageHandler(handle_.map, WM_TIMER, this, &HintWindow::OnTimer);
    ConnectMessageHandler(handle_.map, WM_PAINT, this, &HintWindow::OnPaint);
    ConnectMessageHandler(handle_.map, WM_SETTEXT, this, &HintWindow::OnSetText);
    if (parent != nullptr)
        Create(parent, nullptr, 0);
}

HintWindow::~HintWindow() {
    Destroy();
}

void HintWindow::Create(HWND parent, LPCWSTR faceName, int pointSize) {
    if (handle_.window != nullptr)
        return;
    parent_ = parent;
    CreateWindowExW(WS_EX_TOPMOST, WindowClassRegistry::ClassName(), u"",
                    WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER, 0, 0, 0, 0, parent, nullptr,
                    platform::ResourceInstance(), &handle_);
    if (pointSize == 0)
        pointSize = -12;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONTW description{};
    description.lfHeight = -(pointSize * dpi / 72);
    description.lfClipPrecision = kClipStrokePrecision;
    if (faceName != nullptr && faceName[0] != 0) {
        for (int i = 0; i < LF_FACESIZE - 1 && faceName[i] != 0; ++i)
            description.lfFaceName[i] = faceName[i];
    } else {
        description.lfPitchAndFamily = FF_SWISS;
    }
    if (font_ != nullptr)
        DeleteObject(font_);
    font_ = CreateFontIndirectW(&description);
}

bool HintWindow::Show(POINT point, const std::u16string& text, UINT format) {
    HWND window = handle_.window;
    if (window == nullptr)
        return false;
    std::array<WCHAR, kMaxPaintedText + 1> shown{};
    GetWindowTextW(window, shown.data(), static_cast<int>(shown.size()));
    if (IsWindowVisible(window) && text == shown.data())
        return false;
    Hide();
    UpdateWindow(window);
    if (text.empty())
        return false;
    format_ = format;
    SetWindowTextW(window, text.c_str());
    ClientToScreen(parent_, &point);
    if (point.x < 0) {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        point.x = -point.x - (bounds.right - bounds.left) / 2;
    }
    SetWindowPos(window, nullptr, point.x, point.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    if (SetTimer(window, kHideTimer, hideDelayMs_, nullptr) == 0)
        return false;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return true;
}

void HintWindow::Hide() {
    if (handle_.window == nullptr)
        return;
    KillTimer(handle_.window, kHideTimer);
    ShowWindow(handle_.window, SW_HIDE);
}

void HintWindow::Destroy() {
    if (handle_.window != nullptr) {
        Hide();
        DestroyWindow(handle_.window);
        handle_.window = nullptr;
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
        font_ = nullptr;
    }
}

void HintWindow::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    if (wParam != kHideTimer)
        return;
    Hide();
    *result = 0;
    *handled = true;
}

void HintWindow::OnSetText(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    const auto* text = reinterpret_cast<LPCWSTR>(lParam);
    if (text == nullptr)
        return;
    HWND window = handle_.window;
    RECT bounds{};
    GetWindowRect(window, &bounds);
    RECT measured{0, 0, bounds.right - bounds.left + 1000, bounds.bottom - bounds.top + 1000};
    HDC dc = GetDC(window);
    HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
    DrawTextW(dc, text, -1, &measured, format_ | kMeasureFormat);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    SetWindowPos(window, nullptr, 0, 0, measured.right - measured.left + 6,
                 measured.bottom - measured.top + 4, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    // Not handled: the default processing stores the text.
}

void HintWindow::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    HWND window = handle_.window;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr) {
        RECT client{};
        GetClientRect(window, &client);
        HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
        std::array<WCHAR, kMaxPaintedText + 1> text{};
        const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text.data(), length, &client, format_ | kPaintFormat);
        if (oldFont != nullptr)
            SelectObject(dc, oldFont);
        EndPaint(window, &paint);
    }
    *result = 0;
    *handled = true;
}
