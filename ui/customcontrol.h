#pragma once
// Skinned child controls over a window of a given class: their own background and text colours
// answered to the parent's colour messages, keys the page acts on forwarded to the parent, Tab
// and Return characters swallowed. `CustomStatic` is the text label. User-interface thread only.

#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhooks.h"

#include "platform/gdi/gdi.h"

// Background colour that leaves the parent's background showing (labels only).
constexpr COLORREF kTransparentBackground = 0xFFFFFFFF;
// Sent to the parent with lParam = the control: the control's text colour becomes wParam.
constexpr UINT kSetTextColourMessage = WM_USER + 5;

class CustomControl {
public:
    // Creates the control window (class className, no text, zero size, WS_CHILD | WS_VISIBLE |
    // WS_TABSTOP | extraStyle). "CUSTOMLISTBOX" and "CUSTOMCOMBOBOX" are registered on first use.
    CustomControl(HWND parent, UINT id, COLORREF background, LPCWSTR className, DWORD extraStyle,
                  COLORREF textColour);
    virtual ~CustomControl();
    CustomControl(const CustomControl&) = delete;
    CustomControl& operator=(const CustomControl&) = delete;

    [[nodiscard]] HWND GetWindow() const { return window_; }
    [[nodiscard]] COLORREF GetTextColour() const { return textColour_; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return handlers_; }

protected:
    // The control window's own messages, for handlers of derived controls (asked after the
    // base's own handlers of the same number).
    [[nodiscard]] MessageMapPtr& GetMessageMap() { return subclass_.map; }

private:
    void OnColour(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetTextColour(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnChar(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList handlers_;
    HWND window_{};
    COLORREF background_;
    HBRUSH brush_{};
    COLORREF textColour_;
    SubclassHook subclass_;
    ReflectHook reflect_;
    UINT id_;
};

class CustomStatic : public CustomControl {
public:
    // A "Static" label; background kTransparentBackground leaves the parent's background.
    CustomStatic(HWND parent, UINT id, COLORREF background, DWORD extraStyle, COLORREF textColour)
        : CustomControl(parent, id, background, u"Static", extraStyle, textColour) {}
};
