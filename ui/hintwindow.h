#pragma once
// A pop-up hint: a topmost bordered window sized to its text, shown without taking the
// activation and hidden again after a delay. User-interface thread only.

#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/gdi/gdi.h"

#include <string>

class HintWindow {
public:
    static constexpr UINT_PTR kHideTimer = 2012;

    // With a parent, creates the window at once with the default font.
    HintWindow(HWND parent, COLORREF background);
    ~HintWindow();
    HintWindow(const HintWindow&) = delete;
    HintWindow& operator=(const HintWindow&) = delete;

    // Creates the window and its font (point size 0: 12 points; no face: a Swiss face) unless
    // the window exists.
    void Create(HWND parent, LPCWSTR faceName, int pointSize);
    // Shows text at point (parent client coordinates; a negative x centres the window on -x).
    // false when the window is missing, already shows this text, the text is empty (the hint
    // only hides) or the hide timer cannot start.
    bool Show(POINT point, const std::u16string& text, UINT format);
    void Hide();
    void Destroy();

    void SetHideDelay(UINT ms) { hideDelayMs_ = ms; }
    [[nodiscard]] HWND GetWindow() const { return handle_.window; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return handlers_; }

private:
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetText(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList handlers_;
    WindowHandle handle_;
    HWND parent_{};
    HFONT font_{};
    UINT hideDelayMs_ = 1500;
    UINT format_ = 0;
};
