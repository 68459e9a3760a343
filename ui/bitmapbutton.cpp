#include "ui/bitmapbutton.h"

#include "ui/shellhelpers.h"
#include "ui/textface.h"

#include "platform/gdi/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"

#include <array>

namespace {

constexpr int kMaxCaption = 64;

} // namespace

BitmapButton::BitmapButton(UINT id, bool isToggleOnClick, bool isTransparent, UINT alternativeId)
    : normal_(LoadSkinFace(id, 0))
    , pressed_(LoadSkinFace(id + 1, 0))
    , disabled_(LoadSkinFace(alternativeId != 0 ? alternativeId : id + 3, 0))
    , isToggleOnClick_(isToggleOnClick)
    , isTransparent_(isTransparent)
    , id_(id) {
    Connect();
}

BitmapButton::BitmapButton(UINT id, int kind)
    : normal_(LoadSkinFace(id, kind))
    , isToggleOnClick_(kind == 5)
    , isTextMode_(true)
    , id_(id) {
    Connect();
}

BitmapButton::~BitmapButton() {
    // The handlers leave the map before the faces they draw go.
    handle_.map.Reset();
}

void BitmapButton::Connect() {
    ConnectMessageHandler(handle_.map, WM_PAINT, this, &BitmapButton::OnPaintMessage);
    ConnectMessageHandler(handle_.map, WM_LBUTTONDOWN, this, &BitmapButton::OnButtonDown);
    // The framework class takes double clicks: a quick second tap must press the button too.
    ConnectMessageHandler(handle_.map, WM_LBUTTONDBLCLK, this, &BitmapButton::OnButtonDown);
    ConnectMessageHandler(handle_.map, WM_LBUTTONUP, this, &BitmapButton::OnButtonUp);
    ConnectMessageHandler(handle_.map, WM_ERASEBKGND, this, &BitmapButton::OnEraseBackground);
    ConnectMessageHandler(handle_.map, WM_SETFONT, this, &BitmapButton::OnSetFont);
    ConnectMessageHandler(handle_.map, WM_GETFONT, this, &BitmapButton::OnGetFont);
    ConnectMessageHandler(handle_.map, WM_ENABLE, this, &BitmapButton::OnEnable);
    ConnectMessageHandler(handle_.map, WM_SETFOCUS, this, &BitmapButton::OnFocus);
    ConnectMessageHandler(handle_.map, WM_KILLFOCUS, this, &BitmapButton::OnFocus);
    ConnectMessageHandler(handle_.map, WM_KEYDOWN, this, &BitmapButton::OnKeyDown);
}

void BitmapButton::Click() {
    PostMessageW(GetParent(handle_.window), WM_COMMAND, id_, 0);
}

void BitmapButton::SetState(BYTE state) {
    state_ = state;
    if (handle_.window != nullptr)
        Invalidate(0);
}

int BitmapButton::GetStateIndex() const {
    if (!IsWindowEnabled(handle_.window))
        return 3;
    if (isFocused_)
        return 2;
    return state_ != 0 || isPressed_ ? 1 : 0;
}

SkinFace* BitmapButton::ChooseFace() {
    if (!IsWindowEnabled(handle_.window))
        return GetDisabledFace();
    if (state_ != 0 || isPressed_)
        return pressed_.get();
    return normal_.get();
}

void BitmapButton::Redraw() {
    Invalidate(RDW_UPDATENOW);
}

void BitmapButton::Invalidate(UINT update) {
    // A caption or a transparent face draws over what lies beneath the button: repainted alone,
    // it would draw over its own last picture. The parent paints its area under it first.
    HWND parent = GetParent(handle_.window);
    RECT area{};
    if ((isTextMode_ || isTransparent_) && parent != nullptr &&
        GetWindowRect(handle_.window, &area) != FALSE) {
        ScreenRectToClient(parent, &area);
        RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return;
    }
    RedrawWindow(handle_.window, nullptr, nullptr, RDW_INVALIDATE | update);
}

void BitmapButton::OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(handle_.window, &paint);
    if (dc == nullptr)
        return;
    HGDIOBJ oldFont = font_ != nullptr ? SelectObject(dc, font_) : nullptr;
    RECT client{};
    GetClientRect(handle_.window, &client);
    if (isTextMode_) {
        std::array<WCHAR, kMaxCaption + 1> caption{};
        const int length = GetWindowTextW(handle_.window, caption.data(), kMaxCaption + 1);
        if (normal_ != nullptr) {
            normal_->DrawWithText(dc, client,
                                  std::u16string(caption.data(), length > 0 ? length : 0),
                                  GetStateIndex());
        }
    } else if (SkinFace* face = ChooseFace(); face != nullptr) {
        face->Draw(dc, client, SRCCOPY, isTransparent_);
    }
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
    EndPaint(handle_.window, &paint);
}

void BitmapButton::OnPaintMessage(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    OnPaint();
    *result = 0;
    *handled = true;
}

void BitmapButton::OnButtonDown(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    if (IsWindowEnabled(handle_.window)) {
        isPressed_ = true;
        SetCapture(handle_.window);
        Redraw();
    }
    *result = 0;
    *handled = true;
}

void BitmapButton::OnButtonUp(UINT, WPARAM, LPARAM lParam, LRESULT* result, bool* handled) {
    *result = 0;
    *handled = true;
    if (!isPressed_)
        return;
    isPressed_ = false;
    ReleaseCapture();
    RECT client{};
    GetClientRect(handle_.window, &client);
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const bool isInside = PtInRect(&client, point) != FALSE;
    if (isInside)
        state_ = isToggleOnClick_ && state_ == 0 ? 1 : 0;
    Redraw();
    if (isInside)
        Click();
}

void BitmapButton::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}

void BitmapButton::OnSetFont(UINT, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled) {
    font_ = reinterpret_cast<HFONT>(wParam);
    if (lParam != 0)
        Invalidate(0);
    *result = 0;
    *handled = true;
}

void BitmapButton::OnGetFont(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = reinterpret_cast<LRESULT>(font_);
    *handled = true;
}

void BitmapButton::OnEnable(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    // A press begun before the button was disabled must not end in a click.
    if (wParam == FALSE && isPressed_) {
        isPressed_ = false;
        if (GetCapture() == handle_.window)
            ReleaseCapture();
    }
    Redraw();
    *result = 0;
    *handled = true;
}

void BitmapButton::OnFocus(UINT message, WPARAM, LPARAM, LRESULT*, bool*) {
    isFocused_ = message == WM_SETFOCUS;
    Redraw();
}

void BitmapButton::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled) {
    HWND parent = GetParent(handle_.window);
    const bool isControlDown = GetKeyState(VK_CONTROL) < 0;
    if (HIWORD(static_cast<DWORD>(lParam)) == kTabScanCode && !isControlDown) {
        // The button shows the focus it gives up, also where the focus stays with it.
        if (isFocused_) {
            isFocused_ = false;
            Redraw();
        }
    } else if (isFocused_ && wParam == VK_RETURN && IsWindowEnabled(handle_.window)) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id_, 1),
                     reinterpret_cast<LPARAM>(handle_.window));
    }
    SendMessageW(parent, WM_KEYDOWN, wParam, lParam);
    *result = 0;
    *handled = true;
}
