#pragma once
// The skinned push button: three faces (normal, pressed, disabled) of language-library bitmaps,
// or one text face of a face kind that draws the window text. A click posts WM_COMMAND with the
// control identifier to the parent; Enter while focused sends WM_COMMAND (MAKEWPARAM(id, 1),
// button window). A disabled button shows its disabled face and sends no command. WM_GETFONT
// answers the WM_SETFONT font it draws with (null: the DC's own). The owner creates the window as
// a framework child window through GetHandle. User-interface thread only.

#include "ui/skinface.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include <memory>

class BitmapButton {
public:
    // Faces of bitmaps id (normal), id + 1 (pressed) and alternativeId (disabled; id + 3 when
    // alternativeId is 0).
    BitmapButton(UINT id, bool isToggleOnClick, bool isTransparent, UINT alternativeId);
    // One text face of kind (`LoadSkinFace`) for identifier id; kind 5 toggles on click.
    BitmapButton(UINT id, int kind);
    virtual ~BitmapButton();
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    virtual void Click();
    virtual void OnPaint();
    [[nodiscard]] virtual SkinFace* GetDisabledFace() { return disabled_.get(); }

    // Stores the toggle state and repaints without erasing.
    void SetState(BYTE state);
    [[nodiscard]] BYTE GetState() const { return state_; }
    // 3 disabled, 2 focused, 1 on or pressed, 0 otherwise.
    [[nodiscard]] int GetStateIndex() const;
    // True for a text face, which draws the window text as the button's caption.
    [[nodiscard]] bool DrawsCaption() const { return isTextMode_; }

    [[nodiscard]] WindowHandle& GetHandle() { return handle_; }
    [[nodiscard]] HWND GetWindow() const { return handle_.window; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return handlers_; }

private:
    void Connect();
    [[nodiscard]] SkinFace* ChooseFace();
    void Redraw();
    // Makes the button dirty; update RDW_UPDATENOW paints it at once. A caption or transparent
    // face makes the parent's area under it dirty instead, painted with the parent's next paint.
    void Invalidate(UINT update);
    void OnPaintMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonUp(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFont(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnGetFont(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEnable(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    WindowHandle handle_;
    OwnerHandlerList handlers_;
    HFONT font_{};
    std::unique_ptr<SkinFace> normal_;
    std::unique_ptr<SkinFace> pressed_;
    std::unique_ptr<SkinFace> disabled_;
    BYTE state_ = 0;
    bool isToggleOnClick_ = false;
    bool isPressed_ = false;
    bool isFocused_ = false;
    bool isTextMode_ = false;
    bool isTransparent_ = false;
    UINT id_ = 0;
};
