#pragma once
// The window framework: a framework window object embeds a WindowHandle, which owns the
// window's MessageMap. All framework windows share one window class, registered on first use,
// whose procedure dispatches each message to the window's map and gives what no handler
// handled to the class's fallback procedure. User-interface thread only.

#include "utilities/usefulcode/messagemap.h"
#include "utilities/usefulcode/windowhooks.h"

#include "platform/window/window.h"

#include <string>

struct WindowHandle {
    // Window 0 and an empty map; registers the framework class with the resource module.
    WindowHandle();
    // Destroys the map first, then the window: no handler runs while the window goes.
    ~WindowHandle();
    WindowHandle(const WindowHandle&) = delete;
    WindowHandle& operator=(const WindowHandle&) = delete;

    // Destroys the window when there is one and clears the handle; the map and its handlers
    // stay for a window made later.
    void Destroy();

    HWND window = nullptr; // set while the window is being created (WM_CREATE)
    MessageMapPtr map;
};

class WindowClassRegistry {
public:
    // Registers the framework class from windowClass the first time: style with CS_DBLCLKS,
    // FrameworkWindowProc as procedure (the caller's procedure, or DefWindowProcW, becomes the
    // fallback), 4 more extra bytes (the caller's count is the index of the WindowHandle
    // pointer), the white stock brush when none is given, module as instance. Returns 0 without
    // registering when the class exists, otherwise RegisterClassW's result.
    static ATOM Register(WNDCLASSW windowClass, HINSTANCE module);
    // "Pwc" followed by style, cursor, background brush, icon and menu name as unsigned
    // decimal numbers, into the class-name buffer; returns the buffer.
    static LPCWSTR MakeClassName(const WNDCLASSW& windowClass);
    // The class name of every framework window (empty before the first registration).
    [[nodiscard]] static LPCWSTR ClassName();
    [[nodiscard]] static int ExtraIndex();
};

// The framework class's window procedure.
LRESULT FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// MoveWindow to rect (width and height from its edges, held within the int range); true when
// MoveWindow succeeds.
bool MoveWindowToRect(HWND window, const RECT& rect, bool repaint);

// Shows or hides a page's window, creating it on the first show: a visible top-level window of
// the framework class filling the work area, followed by WM_SIZE with its client size.
void ShowPageWindow(WindowHandle& page, bool show);
