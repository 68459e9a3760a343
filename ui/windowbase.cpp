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
    // The erase DC was made while the floating children showed and leaves their rectangles
    // out, so the screen under them (another window, an earlier page) would stay there and show
    // through their transparent faces. A DC taken once they are hidden reaches under them; it
    // keeps to the erase DC's box, so a partial repaint leaves the rest of the page alone.
    HWND window = GetHwnd();
    RECT box{};
    const bool isWindowDc =
        window != nullptr && WindowFromDC(dc) == window && GetClipBox(dc, &box) != ERROR_REGION;
    if (isWindowDc && m_paintBox)
        box = *m_paintBox;
    m_paintBox.reset();
    HideOverlayChildrenQuietly(isWindowDc ? &box : nullptr);
    HDC under = isWindowDc ? GetDC(window) : nullptr;
    if (under != nullptr)
        IntersectClipRect(under, box.left, box.top, box.right, box.bottom);
    HDC target = under != nullptr ? under : dc;
    RECT client{};
    GetClientRect(window, &client);
    // Without a picture that draws, the client is filled black: otherwise the page would keep
    // whatever the screen held there, such as rows a child drew before the page was resized.
    if (m_background == nullptr || !m_background->Draw(target, client, SRCCOPY, false))
        FillRect(target, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (under != nullptr)
        ReleaseDC(window, under);
}

void BitmapWindow::NotePaintBox() {
    RECT box{};
    m_paintBox.reset();
    if (GetUpdateRect(GetHwnd(), &box, FALSE) != FALSE)
        m_paintBox = box;
}

void BitmapWindow::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}
