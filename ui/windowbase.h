#pragma once
// Framework windows laid out from the screen description. `WindowBase` ties a `WindowLayout` to
// the window's `WindowHandle` (owned by the derived class) and rescales on every WM_SIZE;
// `BitmapWindow` adds the section's background picture ("Bitmap") and suppresses the default
// erase. Each class level registers its handlers in its constructor and removes them in its
// destructor; a base's handler of a message runs before a derived one's. User-interface thread
// only.

#include "ui/skinface.h"
#include "ui/windowlayout.h"
#include "utilities/usefulcode/windowhandle.h"

#include <memory>
#include <optional>

class WindowBase : public WindowLayout {
public:
    // handle must outlive this object.
    WindowBase(WindowHandle* handle, const std::u16string& sectionName);
    ~WindowBase() override;

    [[nodiscard]] HWND GetHwnd() const override { return m_windowHandle->window; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // The object of a framework window (a page, the main window); null for any other window
    // and after the object has gone.
    [[nodiscard]] static WindowBase* FromWindow(HWND window);

protected:
    [[nodiscard]] WindowHandle& GetWindowHandle() const { return *m_windowHandle; }

private:
    void OnSizeMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    WindowHandle* m_windowHandle;
};

class BitmapWindow : public WindowBase {
public:
    // The picture is loaded on its first drawing.
    BitmapWindow(WindowHandle* handle, const std::u16string& sectionName);
    ~BitmapWindow() override;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    // Hides the floating children, then stretches the picture over the client area with SRCCOPY;
    // fills the client area black when there is no picture or it cannot be drawn. When dc is
    // this window's (the erase DC), the drawing goes through a DC taken after the hiding, so it
    // reaches under those children, and keeps within dc's clip box.
    void DrawBackground(HDC dc);
    // Notes the box of the update region before BeginPaint: the erase DC's clip box leaves out
    // the children that show, so the background drawn under the hidden floating children keeps
    // to this box instead (once; the next erase takes dc's clip box again unless noted anew).
    void NotePaintBox();

private:
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    std::unique_ptr<SkinBitmap> m_background;
    std::optional<RECT> m_paintBox;
};
