#include "ui/progressdlg.h"

#include "platform/gdi/text.h"
#include "platform/window/dialog.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

ProgressDlg::ProgressDlg(bool isRoute)
    : DialogBase(u"ProgressDlg")
    , pen_(CreatePen(PS_SOLID, 1, kBarColour))
    , brush_(CreateSolidBrush(kBarColour)) {
    AddText(u"Desc", isRoute ? 531 : 1188);
    AddText(u"Bar", kBarId);
    AddText(u"RouteFrom", kRouteFromId);
    AddText(u"RouteTo", kRouteToId);
    owner_ = GetActiveWindow();
    if (!CreateModeless(owner_))
        return;
    HWND window = GetWindow();
    GetWindowRect(window, &created_);
    SetWindowPos(window, nullptr, created_.left, created_.top - kRaisePixels, 0, 0,
                 SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(window);
    ShowWindow(window, SW_SHOW);
    SendMessageW(window, WM_PAINT, 0, 0);
    if (owner_ != nullptr)
        EnableWindow(owner_, FALSE);
}

ProgressDlg::~ProgressDlg() {
    DestroyDialogWindow();
    if (owner_ != nullptr && IsWindow(owner_)) {
        EnableWindow(owner_, TRUE);
        SetActiveWindow(owner_);
    }
    DeleteObject(pen_);
    DeleteObject(brush_);
}

void ProgressDlg::PlaceAboveCreation() {
    HWND window = GetWindow();
    RECT bounds{};
    GetWindowRect(window, &bounds);
    SetWindowPos(window, nullptr, bounds.left, created_.top - kRaisePixels, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetForegroundWindow(window);
}

bool ProgressDlg::Pump() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (msg.message == WM_QUIT) {
            // The application is ending: the loop that waits for it must see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND window = GetWindow();
        if (window == nullptr || IsDialogMessageW(window, &msg) == FALSE) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    const bool stop = isStopRequested_;
    isStopRequested_ = false;
    return stop;
}

void ProgressDlg::SetProgress(int percent) {
    int target = base_ + percent / stages_;
    if (percent == 100) {
        base_ += 100 / stages_;
        target = base_;
    }
    if (target > 100)
        return;
    while (shown_ < target) {
        DrawNow(kBarId);
        ++shown_;
    }
}

void ProgressDlg::SetRoute(const std::u16string& start, const std::u16string& destination) {
    start_ = start;
    destination_ = destination;
    DrawNow(kRouteFromId);
    DrawNow(kRouteToId);
}

void ProgressDlg::DrawNow(UINT id) {
    HWND window = GetWindow();
    const DialogItem* item = FindItem(id);
    if (window == nullptr || item == nullptr)
        return;
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return;
    DrawItem(dc, id, item->rect, item->text);
    ReleaseDC(window, dc);
}

void ProgressDlg::DrawBar(HDC dc, const RECT& rect) {
    HGDIOBJ oldPen = SelectObject(dc, pen_);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    const RECT filled{rect.left, rect.top, rect.left + shown_ * (rect.right - rect.left) / 100,
                      rect.bottom};
    FillRect(dc, &filled, brush_);
    PlaceAboveCreation();
}

void ProgressDlg::DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) {
    if (id == kBarId) {
        DrawBar(dc, rect);
        return;
    }
    if (id != kRouteFromId && id != kRouteToId) {
        DialogBase::DrawItem(dc, id, rect, text);
        return;
    }
    HBRUSH background = CreateSolidBrush(kRouteBackground);
    FillRect(dc, &rect, background);
    DeleteObject(background);
    const std::u16string& shown = id == kRouteFromId ? start_ : destination_;
    SetTextColor(dc, 0x000000);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kRouteBackground);
    RECT box = rect;
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box, DT_WORDBREAK);
}
