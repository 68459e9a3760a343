#pragma once
// The splash: a topmost popup centred on the screen showing one skin bitmap, painted at once
// (no message loop runs while it shows), for as long as the object lives. User-interface thread.

#include "ui/skinface.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include <memory>
#include <string>

class SplashWnd {
public:
    // fileName names a file of the skin folder; a missing one shows an empty popup of size 0.
    explicit SplashWnd(const std::u16string& fileName);
    ~SplashWnd();
    SplashWnd(const SplashWnd&) = delete;
    SplashWnd& operator=(const SplashWnd&) = delete;

    [[nodiscard]] HWND GetHwnd() const { return m_shown.window; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    WindowHandle m_shown;
    OwnerHandlerList m_handlers;
    std::unique_ptr<SkinBitmap> m_bitmap;
    WindowHandle m_owner;
};
