#include "ui/customcombobox.h"

#include "ui/detail/listcontrols.h"

#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>

namespace {

using ui::detail::kBlack;
using ui::detail::kWhite;
using ui::detail::PointOf;

constexpr int kComparedTextLength = 255;
constexpr int kMostRows = 0x7FFF;

LPARAM ToLParam(POINT point) {
    return MAKELPARAM(point.x, point.y);
}

// The screen point in window's client coordinates when it lies in the window's rectangle.
bool IsInWindow(HWND window, POINT screenPoint, POINT* clientPoint) {
    RECT bounds{};
    if (window == nullptr || GetWindowRect(window, &bounds) == FALSE ||
        PtInRect(&bounds, screenPoint) == FALSE) {
        return false;
    }
    *clientPoint = screenPoint;
    ScreenToClient(window, clientPoint);
    return true;
}

void Line(HDC dc, COLORREF colour, POINT from, POINT to) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

// ---- CustomEdit ----

CustomEdit::CustomEdit(HWND parent, UINT id, COLORREF background, DWORD style)
    : CustomControl(parent, id, background, u"Edit", style, kWhite) {
    MessageMapPtr& map = GetMessageMap();
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &CustomEdit::OnButtonDown);
    ConnectMessageHandler(map, WM_LBUTTONUP, this, &CustomEdit::OnButtonUp);
    ConnectMessageHandler(map, WM_MOUSEMOVE, this, &CustomEdit::OnMouseMove);
    ConnectMessageHandler(map, WM_TIMER, this, &CustomEdit::OnTimer);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &CustomEdit::OnKeyDown);
    ConnectMessageHandler(map, WM_KILLFOCUS, this, &CustomEdit::OnKillFocus);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &CustomEdit::OnSetFocus);
    ConnectMessageHandler(map, WM_LBUTTONDBLCLK, this, &CustomEdit::OnDoubleClick);
}

CustomEdit::~CustomEdit() {
    if (GetWindow() != nullptr)
        KillTimer(GetWindow(), kDoubleTapTimer);
}

void CustomEdit::Forward(UINT message, LPARAM lParam) {
    if (owner_ == nullptr)
        return;
    POINT point = PointOf(lParam);
    ClientToScreen(GetWindow(), &point);
    owner_->OnEditStylus(message, point);
}

void CustomEdit::OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                              bool* handled) {
    HWND window = GetWindow();
    const POINT point = PointOf(lParam);
    RECT client{};
    GetClientRect(window, &client);
    if (PtInRect(&client, point) == FALSE) {
        if (owner_ != nullptr) {
            Forward(message, lParam);
            *result = 0;
            *handled = true;
        }
        return;
    }
    if (isClickPending_ && point.x == pendingPoint_.x && point.y == pendingPoint_.y) {
        isClickPending_ = false;
        pendingPoint_ = POINT{-1, -1};
        KillTimer(window, kDoubleTapTimer);
        SendMessageW(window, WM_LBUTTONDBLCLK, wParam, lParam);
        *result = 0;
        *handled = true;
        return;
    }
    isClickPending_ = true;
    pendingPoint_ = point;
    SetTimer(window, kDoubleTapTimer, kDoubleTapMs, nullptr);
}

void CustomEdit::OnButtonUp(UINT message, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    Forward(message, lParam);
}

void CustomEdit::OnMouseMove(UINT message, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    RECT client{};
    GetClientRect(GetWindow(), &client);
    if (PtInRect(&client, PointOf(lParam)) == FALSE)
        Forward(message, lParam);
}

void CustomEdit::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    if (wParam != kDoubleTapTimer)
        return;
    isClickPending_ = false;
    pendingPoint_ = POINT{-1, -1};
    KillTimer(GetWindow(), kDoubleTapTimer);
    *result = 0;
    *handled = true;
}

void CustomEdit::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled) {
    if (wParam == VK_CONTROL)
        return;
    if (wParam == VK_UP || wParam == VK_DOWN) {
        SendMessageW(GetParent(GetWindow()), WM_COMMAND, wParam, lParam);
        *result = 0;
        *handled = true;
    }
    if (owner_ != nullptr)
        owner_->OnEditKey(wParam, lParam);
}

void CustomEdit::OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (owner_ != nullptr)
        SendMessageW(owner_->GetWindow(), message, wParam, lParam);
}

void CustomEdit::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (owner_ != nullptr)
        owner_->Notify(CBN_SETFOCUS);
}

void CustomEdit::OnDoubleClick(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    SendMessageW(GetWindow(), EM_SETSEL, 0, -1);
    *result = 0;
    *handled = true;
}

// ---- CustomComboBox ----

CustomComboBox::CustomComboBox(HWND parent, UINT id, COLORREF background, DWORD style)
    : CustomControl(parent, id, background, u"CUSTOMCOMBOBOX", style, kWhite)
    , id_(id)
    , background_(background) {
    list_ = std::make_unique<CustomListBox>(parent, id, background, style);
    if (list_->GetWindow() != nullptr) {
        SetParent(list_->GetWindow(), nullptr);
        ShowWindow(list_->GetWindow(), SW_HIDE);
    }
    list_->SetOwner(this);
    list_->SetMinThumb(5);
    buttonColour_ = list_->GetColour(CustomListBox::kScrollBar);
    edit_ = std::make_unique<CustomEdit>(parent, id, background, style | ES_AUTOHSCROLL);
    if (edit_->GetWindow() != nullptr)
        ShowWindow(edit_->GetWindow(), SW_SHOW);
    edit_->SetOwner(this);

    MessageMapPtr& map = GetMessageMap();
    ConnectMessageHandler(map, WM_PAINT, this, &CustomComboBox::OnPaint);
    ConnectMessageHandler(map, WM_SIZE, this, &CustomComboBox::OnSize);
    ConnectMessageHandler(map, WM_SETFONT, this, &CustomComboBox::OnSetFont);
    ConnectMessageHandler(map, WM_GETTEXT, this, &CustomComboBox::OnText);
    ConnectMessageHandler(map, WM_SETTEXT, this, &CustomComboBox::OnText);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &CustomComboBox::OnSetFocus);
    ConnectMessageHandler(map, WM_KILLFOCUS, this, &CustomComboBox::OnKillFocus);
    ConnectMessageHandler(map, WM_ENABLE, this, &CustomComboBox::OnEnable);
    ConnectMessageHandler(map, WM_SHOWWINDOW, this, &CustomComboBox::OnShowWindow);
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &CustomComboBox::OnButtonDown);
    ConnectMessageHandler(map, WM_LBUTTONUP, this, &CustomComboBox::OnButtonUp);
    ConnectMessageHandler(map, WM_MOUSEMOVE, this, &CustomComboBox::OnMouseMove);
    for (UINT message :
         {CB_ADDSTRING, CB_DELETESTRING, CB_GETCOUNT, CB_GETCURSEL, CB_GETLBTEXT, CB_GETLBTEXTLEN,
          CB_RESETCONTENT, CB_SETCURSEL, CB_SHOWDROPDOWN, CB_SETTOPINDEX, CB_SETDROPPEDWIDTH}) {
        ConnectMessageHandler(map, message, this, &CustomComboBox::OnComboMessage);
    }
}

CustomComboBox::~CustomComboBox() {
    // Nothing may call back into this object while its windows go.
    list_->SetOwner(nullptr);
    edit_->SetOwner(nullptr);
    if (GetCapture() == list_->GetWindow() && list_->GetWindow() != nullptr)
        ReleaseCapture();
}

void CustomComboBox::Notify(WORD code) {
    HWND parent = GetParent(GetWindow());
    if (parent == nullptr)
        return;
    PostMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<int>(id_), code),
                 reinterpret_cast<LPARAM>(GetWindow()));
}

void CustomComboBox::Open() {
    Notify(CBN_DROPDOWN);
    HWND list = list_->GetWindow();
    ShowWindow(list, SW_SHOWNOACTIVATE);
    isDropped_ = true;
    SetWindowPos(list, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CustomComboBox::Close() {
    const bool wasDropped = isDropped_;
    if (GetCapture() == list_->GetWindow())
        ReleaseCapture();
    ShowWindow(list_->GetWindow(), SW_HIDE);
    isDropped_ = false;
    if (wasDropped)
        Notify(CBN_CLOSEUP);
}

void CustomComboBox::CloseWithCancel() {
    if (!isDropped_)
        return;
    list_->SetHotIndex(list_->GetCurSel());
    Notify(CBN_SELENDCANCEL);
    Close();
}

void CustomComboBox::Commit() {
    Close();
    SendMessageW(GetWindow(), CB_SETCURSEL, static_cast<WPARAM>(list_->GetCurSel()), 0);
    InvalidateRect(GetWindow(), nullptr, TRUE);
    Notify(CBN_SELENDOK);
    Notify(CBN_SELCHANGE);
}

void CustomComboBox::Refresh() {
    InvalidateRect(GetWindow(), nullptr, TRUE);
    list_->Redraw();
    selected_ = list_->GetCurSel();
    HWND edit = edit_->GetWindow();
    if (selected_ >= 0 && selected_ < list_->GetCount()) {
        std::array<WCHAR, kComparedTextLength + 1> shown{};
        GetWindowTextW(edit, shown.data(), static_cast<int>(shown.size()));
        const std::u16string text = list_->GetText(selected_);
        if (text.substr(0, kComparedTextLength) != shown.data())
            SetWindowTextW(edit, text.c_str());
    }
    InvalidateRect(edit, nullptr, TRUE);
}

bool CustomComboBox::IsInList(POINT screenPoint, POINT* listPoint) const {
    return isDropped_ && IsInWindow(list_->GetWindow(), screenPoint, listPoint);
}

void CustomComboBox::OnEditKey(WPARAM key, LPARAM lParam) {
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        SendMessageW(list_->GetWindow(), WM_KEYDOWN, key, lParam);
        Notify(CBN_SELCHANGE);
        break;
    case VK_RETURN:
        SendMessageW(list_->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(list_->GetHotIndex()),
                     0);
        Commit();
        break;
    case VK_ESCAPE:
        SendMessageW(GetWindow(), CB_SHOWDROPDOWN, 0, 0);
        break;
    case VK_TAB:
        break;
    default:
        Notify(CBN_EDITUPDATE);
        Notify(CBN_EDITCHANGE);
        break;
    }
}

void CustomComboBox::OnEditStylus(UINT message, POINT screenPoint) {
    HWND combo = GetWindow();
    HWND list = list_->GetWindow();
    HWND edit = edit_->GetWindow();
    POINT point{};
    HWND target = nullptr;
    if (IsInWindow(combo, screenPoint, &point))
        target = combo;
    else if (IsWindowVisible(list) && IsInWindow(list, screenPoint, &point))
        target = list;
    else if (IsInWindow(edit, screenPoint, &point))
        target = edit;
    if (message == WM_LBUTTONDOWN && (target == edit || target == nullptr))
        CloseWithCancel();
    // The edit field forwards every release; one routed back to it stays there.
    if (target != nullptr && !(target == edit && message != WM_LBUTTONDOWN))
        SendMessageW(target, message, message == WM_MOUSEMOVE ? 0 : MK_LBUTTON, ToLParam(point));
    if (message == WM_LBUTTONUP && target != combo) {
        POINT own = screenPoint;
        ScreenToClient(combo, &own);
        SendMessageW(combo, WM_LBUTTONUP, 0, ToLParam(own));
    }
    if (message == WM_LBUTTONDOWN)
        Refresh();
}

void CustomComboBox::PaintButton(HDC dc, const RECT& client) {
    const int u = list_->GetScrollUnit();
    const int width = 3 * u;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        HBRUSH background = CreateSolidBrush(background_);
        const RECT all{0, 0, width, height};
        FillRect(memory, &all, background);
        DeleteObject(background);
        HBRUSH brush = CreateSolidBrush(buttonColour_);
        HPEN pen = CreatePen(PS_SOLID, 1, buttonColour_);
        HGDIOBJ oldBrush = SelectObject(memory, brush);
        HGDIOBJ oldPen = SelectObject(memory, pen);
        const POINT corners[3] = {{0, u}, {2 * u, u}, {u, 2 * u}};
        Polygon(memory, corners, 3);
        SelectObject(memory, oldPen);
        SelectObject(memory, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        const COLORREF lower =
            isButtonPressed_ ? kWhite : list_->GetColour(CustomListBox::kScrollBar);
        const COLORREF upper = isButtonPressed_ ? kBlack : buttonColour_;
        Line(memory, lower, corners[0], corners[2]);
        Line(memory, lower, corners[1], corners[2]);
        Line(memory, upper, corners[0], corners[1]);
        BitBlt(dc, client.right - width, client.top, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (memory != nullptr)
        DeleteDC(memory);
}

// ---- Messages ----

void CustomComboBox::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    HWND window = GetWindow();
    ValidateRect(window, nullptr);
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    if (dc != nullptr) {
        // The edit field ends u before the button's 3u: the strip between them is the combo
        // box's own, in its background.
        const int u = list_->GetScrollUnit();
        const RECT strip{std::max(client.left, client.right - 4 * u), client.top,
                         std::max(client.left, client.right - 3 * u), client.bottom};
        if (strip.left < strip.right) {
            HBRUSH background = CreateSolidBrush(background_);
            FillRect(dc, &strip, background);
            DeleteObject(background);
        }
        PaintButton(dc, client);
        ReleaseDC(window, dc);
    }
    *result = 0;
    *handled = true;
}

void CustomComboBox::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    HWND window = GetWindow();
    RECT bounds{};
    GetWindowRect(window, &bounds);
    const int width = LOWORD(static_cast<DWORD>(lParam));
    const int height = HIWORD(static_cast<DWORD>(lParam));
    const int u = height / 4;
    list_->SetItemHeight(height);
    list_->SetScrollUnit(u);
    listHeight_ = rows_ * height;
    MoveWindow(list_->GetWindow(), bounds.left, bounds.bottom, bounds.right - bounds.left,
               listHeight_, TRUE);
    // The edit field is the parent's child: its place in the parent's client coordinates.
    POINT topLeft{bounds.left, bounds.top};
    if (HWND parent = GetParent(window); parent != nullptr)
        ScreenToClient(parent, &topLeft);
    MoveWindow(edit_->GetWindow(), topLeft.x, topLeft.y, bounds.right - 4 * u - bounds.left, height,
               TRUE);
    // A combo box hidden by its page keeps its edit field hidden through a new layout.
    const bool isShown = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
    ShowWindow(edit_->GetWindow(), isShown ? SW_SHOW : SW_HIDE);
    button_ = RECT{width - 4 * u, 0, width, 4 * u};
    const int selected = list_->GetCurSel();
    if (selected >= 0 && selected < list_->GetCount())
        SetWindowTextW(edit_->GetWindow(), list_->GetText(selected).c_str());
}

void CustomComboBox::OnSetFont(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    SendMessageW(list_->GetWindow(), WM_SETFONT, wParam, lParam);
    SendMessageW(edit_->GetWindow(), WM_SETFONT, wParam, lParam);
}

void CustomComboBox::OnText(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                            bool* handled) {
    HWND edit = edit_->GetWindow();
    if (message == WM_GETTEXT) {
        *result = lParam == 0
                      ? 0
                      : GetWindowTextW(edit, reinterpret_cast<LPWSTR>(lParam),
                                       static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFF)));
    } else {
        *result = SetWindowTextW(edit, lParam != 0 ? reinterpret_cast<LPCWSTR>(lParam) : u"");
    }
    *handled = true;
}

void CustomComboBox::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SetFocus(edit_->GetWindow());
}

void CustomComboBox::OnKillFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SendMessageW(GetWindow(), CB_SHOWDROPDOWN, 0, 0);
    Notify(CBN_KILLFOCUS);
}

void CustomComboBox::OnEnable(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    EnableWindow(edit_->GetWindow(), wParam != 0 ? TRUE : FALSE);
    EnableWindow(list_->GetWindow(), wParam != 0 ? TRUE : FALSE);
}

void CustomComboBox::OnShowWindow(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    ShowWindow(edit_->GetWindow(), wParam != 0 ? SW_SHOW : SW_HIDE);
}

void CustomComboBox::OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    HWND window = GetWindow();
    const POINT point = PointOf(lParam);
    POINT screen = point;
    ClientToScreen(window, &screen);
    POINT inner{};
    if (IsInList(screen, &inner)) {
        SendMessageW(list_->GetWindow(), message, wParam, ToLParam(inner));
        return;
    }
    if (PtInRect(&button_, point) != FALSE) {
        SetFocus(edit_->GetWindow());
        isButtonPressed_ = true;
        Refresh();
        if (!isDropped_) {
            Open();
            return;
        }
    }
    if (!isDropped_ && IsInWindow(edit_->GetWindow(), screen, &inner)) {
        SendMessageW(edit_->GetWindow(), message, wParam, ToLParam(inner));
        return;
    }
    CloseWithCancel();
}

void CustomComboBox::OnButtonUp(UINT message, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    HWND window = GetWindow();
    const POINT point = PointOf(lParam);
    isButtonPressed_ = false;
    POINT screen = point;
    ClientToScreen(window, &screen);
    POINT inner{};
    if (IsInList(screen, &inner)) {
        SendMessageW(list_->GetWindow(), message, wParam, ToLParam(inner));
        return;
    }
    if (!IsInWindow(edit_->GetWindow(), screen, &inner)) {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }
    if (PtInRect(&button_, point) != FALSE && IsWindowVisible(list_->GetWindow()))
        SetCapture(list_->GetWindow());
}

void CustomComboBox::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    POINT screen = PointOf(lParam);
    ClientToScreen(GetWindow(), &screen);
    POINT inner{};
    if (IsInList(screen, &inner))
        SendMessageW(list_->GetWindow(), message, wParam, ToLParam(inner));
}

void CustomComboBox::OnComboMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                    bool* handled) {
    HWND list = list_->GetWindow();
    const int index = static_cast<int>(wParam);
    *handled = true;
    *result = 0;
    switch (message) {
    case CB_ADDSTRING:
        *result = SendMessageW(list, LB_ADDSTRING, 0, lParam);
        break;
    case CB_DELETESTRING:
        *result = SendMessageW(list, LB_DELETESTRING, wParam, 0);
        selected_ = list_->GetCurSel();
        break;
    case CB_RESETCONTENT:
        selected_ = -1;
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        break;
    case CB_GETCOUNT:
        *result = list != nullptr ? SendMessageW(list, LB_GETCOUNT, 0, 0) : -1;
        break;
    case CB_GETCURSEL:
        *result = selected_;
        break;
    case CB_SETCURSEL:
        if (index != -1 && (index < 0 || index >= list_->GetCount())) {
            // An index outside the list changes nothing.
            *result = CB_ERR;
            break;
        }
        selected_ = index;
        SendMessageW(list, LB_SETCURSEL, wParam, 0);
        if (index == -1)
            SetWindowTextW(edit_->GetWindow(), u"");
        Refresh();
        *result = index;
        break;
    case CB_GETLBTEXT:
        *result = index < 0 ? CB_ERR : SendMessageW(list, LB_GETTEXT, wParam, lParam);
        break;
    case CB_GETLBTEXTLEN:
        *result = index < 0 ? CB_ERR : SendMessageW(list, LB_GETTEXTLEN, wParam, 0);
        break;
    case CB_SHOWDROPDOWN:
        if (wParam == 0) {
            CloseWithCancel();
        } else {
            if (!isDropped_)
                Open();
            SetFocus(edit_->GetWindow());
            SetCapture(list);
        }
        *result = TRUE;
        break;
    case CB_SETDROPPEDWIDTH:
        rows_ = static_cast<int>(std::min<WPARAM>(wParam, kMostRows));
        *result = rows_;
        break;
    case CB_SETTOPINDEX:
        if (!list_->SetFirstVisible(index)) {
            *result = CB_ERR;
            break;
        }
        list_->Redraw();
        break;
    default:
        *handled = false;
        break;
    }
}
