#include "ui/windowbase.h"

#include "platform/gdi/gdi.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <map>

namespace {

// Which object a window handle belongs to; the framework procedure keeps the handle's address
// in the window's extra words.
std::map<const WindowHandle*, WindowBase*>& WindowObjects() {
    static std::map<const WindowHandle*, WindowBase*> objects;
    return objects;
}

} // namespace

WindowBase::WindowBase(WindowHandle* handle, const std::u16string& sectionName)
    : WindowLayout(sectionName)
    , m_windowHandle(handle) {
    ConnectMessageHandler(m_windowHandle->map, WM_SIZE, this, &WindowBase::OnSizeMessage);
    WindowObjects()[handle] = this;
}

// The handler list's destructor removes the handlers from the map (or the map already did).
WindowBase::~WindowBase() {
    auto& objects = WindowObjects();
    const auto it = objects.find(m_windowHandle);
    if (it != objects.end() && it->second == this)
        objects.erase(it);
}

WindowBase* WindowBase::FromWindow(HWND window) {
    const LPCWSTR frameworkClass = WindowClassRegistry::ClassName();
    WCHAR className[64] = {};
    if (window == nullptr || frameworkClass[0] == 0 || GetClassNameW(window, className, 64) <= 0 ||
        std::u16string_view(className) != std::u16string_view(frameworkClass))
        return nullptr;
    const auto* handle = reinterpret_cast<const WindowHandle*>(
        GetWindowLongW(window, WindowClassRegistry::ExtraIndex()));
    const auto& objects = WindowObjects();
    const auto it = objects.find(handle);
    return it != objects.end() && it->first->window == window ? it->second : nullptr;
}

void WindowBase::OnSizeMessage(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    const auto size = static_cast<DWORD>(lParam);
    OnSize(LOWORD(size), HIWORD(size));
}

BitmapWindow::BitmapWindow(WindowHandle* handle, const std::u16string& sectionName)
    : WindowBase(handle, sectionName)
    , m_background(CreateSkinBitmap(ScreenDesc::GetBitmapName(sectionName.c_str()))) {
    ConnectMessageHandler(GetWindowHandle().map, WM_ERASEBKGND, this,
                          &BitmapWindow::OnEraseBackground);
}

BitmapWindow::~BitmapWindow() = default;

void BitmapWindow::DrawBackground(HDC dc) {
    HideOverlayChildrenQuietly();
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    // A DC of this window made before the floating children were hidden still leaves out their
    // rectangles, so a caption drawn over the background there later (a text button paints no
    // background of its own) would stand on whatever the screen held before. A DC made now, cut
    // to the same box, covers them too.
    HDC target = dc;
    HDC fresh = nullptr;
    RECT box{};
    if (WindowFromDC(dc) == GetHwnd() && GetClipBox(dc, &box) != ERROR_REGION) {
        fresh = GetDC(GetHwnd());
        if (fresh != nullptr) {
            (void)IntersectClipRect(fresh, box.left, box.top, box.right, box.bottom);
            target = fresh;
        }
    }
    // Without a picture that draws, the client is filled black: otherwise the page would keep
    // whatever the screen held there, such as rows a child drew before the page was resized.
    if (m_background == nullptr || !m_background->Draw(target, client, SRCCOPY, false))
        FillRect(target, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (fresh != nullptr)
        (void)ReleaseDC(GetHwnd(), fresh);
}

void BitmapWindow::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}
