#include "ui/customcontrol.h"

#include "ui/shellhelpers.h"
#include "ui/textface.h"

#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <string_view>

namespace {

constexpr UINT kControlClassStyle = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE | CS_GLOBALCLASS;

void RegisterControlClass(LPCWSTR className) {
    const std::u16string_view name(className);
    if (name != u"CUSTOMLISTBOX" && name != u"CUSTOMCOMBOBOX")
        return;
    WNDCLASSW windowClass{};
    windowClass.style = kControlClassStyle;
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = platform::ResourceInstance();
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // The class keeps this brush for the life of the process.
    windowClass.hbrBackground = CreateSolidBrush(kSkinBackground);
    windowClass.lpszClassName = className;
    // A second registration fails and changes nothing.
    if (RegisterClassW(&windowClass) == 0)
        DeleteObject(windowClass.hbrBackground);
}

} // namespace

CustomControl::CustomControl(HWND parent, UINT id, COLORREF background, LPCWSTR className,
                             DWORD extraStyle, COLORREF textColour)
    : background_(background)
    , textColour_(textColour)
    , id_(id) {
    if (background != kTransparentBackground)
        brush_ = CreateSolidBrush(background);
    RegisterControlClass(className);
    window_ = CreateWindowExW(0, className, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | extraStyle, 0,
                              0, 0, 0, parent, reinterpret_cast<HMENU>(std::uintptr_t{id}),
                              platform::ResourceInstance(), nullptr);
    ConnectMessageHandler(reflect_.map, WM_CTLCOLOREDIT, this, &CustomControl::OnColour);
    ConnectMessageHandler(reflect_.map, WM_CTLCOLORLISTBOX, this, &CustomControl::OnColour);
    ConnectMessageHandler(reflect_.map, WM_CTLCOLORSTATIC, this, &CustomControl::OnColour);
    ConnectMessageHandler(reflect_.map, kSetTextColourMessage, this,
                          &CustomControl::OnSetTextColour);
    ConnectMessageHandler(subclass_.map, WM_KEYDOWN, this, &CustomControl::OnKeyDown);
    ConnectMessageHandler(subclass_.map, WM_CHAR, this, &CustomControl::OnChar);
    if (window_ != nullptr) {
        subclass_.SetWindow(window_);
        reflect_.SetWindows(window_, parent);
    }
}

CustomControl::~CustomControl() {
    subclass_.SetWindow(nullptr);
    reflect_.SetWindows(nullptr, nullptr);
    if (window_ != nullptr)
        DestroyWindow(window_);
    if (brush_ != nullptr)
        DeleteObject(brush_);
}

void CustomControl::OnColour(UINT message, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour_);
    HBRUSH brush = brush_;
    if (background_ != kTransparentBackground)
        SetBkColor(dc, background_);
    if (message == WM_CTLCOLORSTATIC && background_ == kTransparentBackground)
        brush = GetStockObject(NULL_BRUSH);
    if (brush == nullptr)
        brush = GetStockObject(NULL_BRUSH);
    *result = reinterpret_cast<LRESULT>(brush);
    *handled = true;
}

void CustomControl::OnSetTextColour(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    textColour_ = static_cast<COLORREF>(wParam);
}

void CustomControl::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled) {
    const bool isCtrlTab =
        HIWORD(static_cast<DWORD>(lParam)) == kTabScanCode && GetKeyState(VK_CONTROL) < 0;
    if (wParam == VK_RETURN || wParam == VK_F1 || isCtrlTab) {
        SendMessageW(GetParent(window_), WM_KEYDOWN, wParam, lParam);
        *result = 0;
        *handled = true;
    }
}

void CustomControl::OnChar(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    if (wParam == VK_TAB || wParam == VK_RETURN) {
        *result = 0;
        *handled = true;
    }
}
