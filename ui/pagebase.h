#pragma once
// The base of the full-screen pages: a `BitmapWindow` with its own `WindowHandle`, the page
// title drawn in the area "Status", the skin's colours, full screen while active, keyboard focus
// stepping through a list of control identifiers, and online help on F1. Also the focus helper
// the pages call from WM_KEYDOWN and the process-wide last active page window.
// User-interface thread only.

#include "ui/windowbase.h"

#include <vector>

// Holds the page's WindowHandle so that it is made before the layout bases and goes after them.
struct PageWindowHolder {
    WindowHandle pageHandle;
};

class PageBase : private PageWindowHolder, public BitmapWindow {
public:
    static constexpr COLORREF kBackgroundColour = 0x78571E;
    static constexpr COLORREF kTitleColour = 0xC3B08B;
    static constexpr int kTitleAreaKey = 1;

    // pageName is the page's section of the screen description.
    explicit PageBase(const std::u16string& pageName);
    ~PageBase() override;

    // The string identifier of the page title.
    [[nodiscard]] virtual UINT GetTitleId() = 0;

    // The handle to create the page window with (the framework class's creation parameter).
    [[nodiscard]] WindowHandle& GetPageHandle() { return pageHandle; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // From the control id that has the focus to the next enabled one of the focus list,
    // wrapping to the first entry (taken even when it is disabled). Both are repainted.
    void MoveFocusNext(UINT id);
    [[nodiscard]] UINT GetFocusId() const { return m_focusId; }
    void SetFocusId(UINT id) { m_focusId = id; }
    // Invalidates, with erasing, the rectangle of parent's child with id; nothing without one.
    static void InvalidateControl(HWND parent, UINT id);

    [[nodiscard]] const std::u16string& GetTitle() const { return m_title; }
    [[nodiscard]] HFONT GetTitleFont() const { return m_titleFont.Get(); }
    [[nodiscard]] HBRUSH GetBackgroundBrush() const { return m_backgroundBrush; }

protected:
    // Control identifiers in focus order; the page fills it.
    std::vector<UINT> m_focusList;

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSizeMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void FocusEntry(UINT id);

    OwnerHandlerList m_handlers;
    FontHandle m_titleFont;
    HBRUSH m_backgroundBrush{};
    std::u16string m_title;
    UINT m_focusId = 0;
};

// Starts the help viewer on the "PK.ini" help file ("HelpFile", "Path"), first terminating the
// one started before when it is still recorded. A viewer that cannot start is not recorded; the
// first one of a run is told in a message box naming it (text 1406).
void OpenOnlineHelp();
// Terminates the help viewer started last, when it is still recorded.
void CloseOnlineHelp();

// For a page's WM_KEYDOWN: a key with scan code 15 (a Tab that a button forwards, a Ctrl+Tab
// that a skinned control forwards) while the focus is on a child of page is sent to page as
// WM_COMMAND(MAKEWPARAM(child id, 1031), child window); true then, false for any other key.
bool SendFocusMove(HWND page, WPARAM wParam, LPARAM lParam);
constexpr WORD kFocusMoveNotification = 1031;

// The window of the page (or main window) deactivated last; null at first.
[[nodiscard]] HWND GetLastActivePageWindow();
void SetLastActivePageWindow(HWND window);
