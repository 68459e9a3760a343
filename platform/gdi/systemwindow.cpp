// The look the system's own windows share.
#include "platform/gdi/detail/systemwindow.h"

#include "platform/gdi/detail/savedscreen.h"
#include "platform/kernel/sync.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>

namespace platform::gdi_detail {

int SystemScale() {
    return std::max(1, GetSystemMetrics(SM_CXSCREEN) / 240);
}

HFONT MakeSystemFont(int height, bool isBold) {
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = isBold ? FW_BOLD : FW_NORMAL;
    const std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), font.lfFaceName);
    return CreateFontIndirectW(&font);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void DrawSystemText(HDC dc, const std::u16string& text, RECT rect, UINT format, COLORREF colour) {
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_NOPREFIX);
}

void DrawSystemButton(HDC dc, const RECT& client, const std::u16string& label, HFONT font,
                      int scale, bool isPressed, bool isDefault) {
    FillSolid(dc, client, kSystemInk);
    const int frame = scale * (isDefault ? 2 : 1);
    const RECT face{client.left + frame, client.top + frame, client.right - frame,
                    client.bottom - frame};
    FillSolid(dc, face, isPressed ? kSystemButtonShadow : kSystemButtonFace);
    HGDIOBJ oldFont = SelectObject(dc, font);
    DrawSystemText(dc, label, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                   isPressed ? RGB(255, 255, 255) : kSystemInk);
    SelectObject(dc, oldFont);
}

SIZE MeasureSystemText(HFONT font, const std::u16string& text, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rect{0, 0, width > 0 ? width : 0x7FFF, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : 0));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return SIZE{rect.right - rect.left, std::max<LONG>(rect.bottom - rect.top, metrics.tmHeight)};
}

HWND TopLevelWindowOf(HWND window) {
    while (window != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0)
        window = GetParent(window);
    return window;
}

int PlaceCentred(int size, int overFrom, int overTo, int workFrom, int workTo) {
    const int centred = overFrom + (overTo - overFrom - size) / 2;
    return std::max(workFrom, std::min(centred, workTo - size));
}

RECT SystemWorkArea() {
    RECT work{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) == FALSE || IsRectEmpty(&work) != FALSE)
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return work;
}

std::optional<LRESULT> TrackSystemButton(HWND button, UINT message, LPARAM lParam, int& pressed,
                                         const std::function<void()>& clicked) {
    const int id = GetDlgCtrlID(button);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(button);
        pressed = id;
        InvalidateRect(button, nullptr, FALSE);
        return 0;
    case WM_LBUTTONUP: {
        if (pressed != id)
            return 0;
        ReleaseCapture();
        pressed = 0;
        InvalidateRect(button, nullptr, FALSE);
        RECT client{};
        GetClientRect(button, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&client, at) != FALSE)
            clicked();
        return 0;
    }
    default:
        return std::nullopt;
    }
}

void RegisterSystemClasses(std::initializer_list<std::pair<const char16_t*, WNDPROC>> classes) {
    for (const auto& [name, procedure] : classes) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.lpszClassName = name;
        (void)RegisterClassW(&windowClass);
    }
}

SystemPlacement PlaceSystemWindow(HWND askedOwner) {
    SystemPlacement placement;
    HWND over = TopLevelWindowOf(IsWindow(askedOwner) != FALSE ? askedOwner : nullptr);
    if (over == nullptr)
        over = GetActiveWindow();
    placement.work = SystemWorkArea();
    if (over == nullptr || GetWindowRect(over, &placement.over) == FALSE ||
        IsRectEmpty(&placement.over) != FALSE)
        placement.over = placement.work;
    placement.owner =
        over != nullptr && GetWindowThreadProcessId(over, nullptr) == GetCurrentThreadId()
            ? over
            : nullptr;
    return placement;
}

void RunSystemModal(HWND window, HWND owner, HWND focus, const bool& isEnded, std::mutex& openMutex,
                    std::set<HWND>& open, const std::function<bool(const MSG&)>& preview) {
    {
        std::lock_guard lock(openMutex);
        open.insert(window);
    }
    RECT rect{};
    GetWindowRect(window, &rect);
    const SavedScreen beneath(rect);
    const bool disablesOwner = owner != nullptr && IsWindowEnabled(owner) != FALSE;
    if (disablesOwner)
        EnableWindow(owner, FALSE);
    // Every key goes to the window while it is up, whatever the windows beneath registered.
    SetModalWindow(window, true);
    ShowWindow(window, SW_SHOW);
    SetActiveWindow(window);
    if (focus != nullptr)
        SetFocus(focus);
    MSG msg{};
    while (!isEnded && IsWindow(window) != FALSE) {
        if (GetMessageW(&msg, nullptr, 0, 0) == FALSE) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (preview && preview(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    SetModalWindow(window, false);
    if (disablesOwner && IsWindow(owner) != FALSE)
        EnableWindow(owner, TRUE);
    {
        std::lock_guard lock(openMutex);
        open.erase(window);
    }
    if (IsWindow(window) != FALSE) {
        beneath.Restore(); // the window still covers it: nothing beneath paints meanwhile
        DestroyWindow(window);
    }
}

} // namespace platform::gdi_detail
