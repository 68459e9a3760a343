#pragma once
// A pick-list of three windows (window class "CUSTOMCOMBOBOX"): its own window, which paints
// the drop-down button and the narrow strip between it and the edit field, a CustomEdit over its
// left part and a CustomListBox shown below it as a top-most window without parent. The edit
// field is shown, hidden and enabled with the combo box's window. It answers the combo-box
// messages the pages send (CB_*) and posts the CBN_ codes to its parent. CustomEdit is the edit
// field ("Edit" class) that forwards keys and stylus input to its combo box and selects its text
// on a double tap. User-interface thread only.

#include "ui/customcontrol.h"
#include "ui/customlistbox.h"

#include <memory>

class CustomComboBox;

class CustomEdit : public CustomControl {
public:
    static constexpr UINT_PTR kDoubleTapTimer = 1;
    static constexpr UINT kDoubleTapMs = 1000;

    CustomEdit(HWND parent, UINT id, COLORREF background, DWORD style);
    ~CustomEdit() override;

    void SetOwner(CustomComboBox* owner) { owner_ = owner; }

private:
    void OnButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonUp(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnMouseMove(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKillFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDoubleClick(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void Forward(UINT message, LPARAM lParam);

    CustomComboBox* owner_ = nullptr;
    bool isClickPending_ = false;
    POINT pendingPoint_{-1, -1};
};

class CustomComboBox : public CustomControl {
public:
    CustomComboBox(HWND parent, UINT id, COLORREF background, DWORD style);
    // Releases the capture of an open list; the edit field and the list go with it.
    ~CustomComboBox() override;

    [[nodiscard]] CustomListBox* GetList() const { return list_.get(); }
    [[nodiscard]] CustomEdit* GetEdit() const { return edit_.get(); }
    [[nodiscard]] bool IsDropped() const { return isDropped_; }
    [[nodiscard]] int GetDropRows() const { return rows_; }
    [[nodiscard]] const RECT& GetButtonRect() const { return button_; }
    [[nodiscard]] bool IsButtonPressed() const { return isButtonPressed_; }

    // Posts WM_COMMAND(MAKEWPARAM(id, code), combo window) to the parent.
    void Notify(WORD code);
    void Open();
    void Close();
    void CloseWithCancel();
    void Commit();
    // After a selection change: the edit shows the list's selected text.
    void Refresh();
    // Input the edit field forwards: a key, or a stylus message with a screen point.
    void OnEditKey(WPARAM key, LPARAM lParam);
    void OnEditStylus(UINT message, POINT screenPoint);

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFont(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnText(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKillFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEnable(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowWindow(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonUp(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnMouseMove(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnComboMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    // The screen point in the list's client coordinates when it lies in the open list.
    bool IsInList(POINT screenPoint, POINT* listPoint) const;
    void PaintButton(HDC dc, const RECT& client);

    UINT id_;
    RECT button_{};
    std::unique_ptr<CustomListBox> list_;
    std::unique_ptr<CustomEdit> edit_;
    COLORREF background_;
    bool isDropped_ = false;
    int selected_ = -1;
    bool isButtonPressed_ = false;
    int listHeight_ = 0;
    int rows_ = 3;
    COLORREF buttonColour_;
};
