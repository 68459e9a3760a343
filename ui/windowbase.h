#pragma once
// Framework windows laid out from the screen description. `WindowBase` ties a `WindowLayout` to
// the window's `WindowHandle` (owned by the derived class), rescales on every WM_SIZE and notes
// each paint's box for the background an erase draws under the floating children (`BackgroundDc`);
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

    // The DC an erase draws the background with, under the floating children that are drawn
    // over it. Hides those children (without repainting what they uncover) and, when eraseDc is
    // this window's, gives a DC taken after the hiding that reaches under them, clipped to the
    // box of the paint's update region; any other DC is drawn on as it is. The erase DC and its
    // clip box leave out the children that showed at BeginPaint, so a box from them would leave
    // the screen under their keyed-out corners as it was where they lie along the update's
    // edges. A child the box cuts through is repainted whole, its background with it.
    class BackgroundDc {
    public:
        BackgroundDc(WindowBase& window, HDC eraseDc);
        ~BackgroundDc();
        BackgroundDc(const BackgroundDc&) = delete;
        BackgroundDc& operator=(const BackgroundDc&) = delete;

        [[nodiscard]] HDC Get() const { return m_under != nullptr ? m_under : m_eraseDc; }

    private:
        HWND m_window = nullptr;
        HDC m_eraseDc = nullptr;
        HDC m_under = nullptr;
    };

protected:
    [[nodiscard]] WindowHandle& GetWindowHandle() const { return *m_windowHandle; }

private:
    void OnSizeMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    // Notes the box of the update region as WM_PAINT arrives, before any handler's BeginPaint
    // empties it: the erase that BeginPaint sends draws within it.
    void OnPaintMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    WindowHandle* m_windowHandle;
    std::optional<RECT> m_paintBox;
};

class BitmapWindow : public WindowBase {
public:
    // The picture is loaded on its first drawing.
    BitmapWindow(WindowHandle* handle, const std::u16string& sectionName);
    ~BitmapWindow() override;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    // Stretches the picture over the client area with SRCCOPY through a BackgroundDc of dc;
    // fills the client area black when there is no picture or it cannot be drawn.
    void DrawBackground(HDC dc);

private:
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    std::unique_ptr<SkinBitmap> m_background;
};
