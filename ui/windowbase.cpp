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
    // Registered before every derived class's handler, so it runs before their BeginPaint.
    ConnectMessageHandler(m_windowHandle->map, WM_PAINT, this, &WindowBase::OnPaintMessage);
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

void WindowBase::OnPaintMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    RECT box{};
    m_paintBox.reset();
    if (GetUpdateRect(GetHwnd(), &box, FALSE) != FALSE)
        m_paintBox = box;
}

WindowBase::BackgroundDc::BackgroundDc(WindowBase& window, HDC eraseDc)
    : m_window(window.GetHwnd())
    , m_eraseDc(eraseDc) {
    RECT box{};
    const bool isWindowDc = m_window != nullptr && WindowFromDC(eraseDc) == m_window &&
                            GetClipBox(eraseDc, &box) != ERROR_REGION;
    // The paint's own box; an erase DC that came without a paint has only its clip box.
    if (isWindowDc && window.m_paintBox)
        box = *window.m_paintBox;
    window.m_paintBox.reset();
    window.HideOverlayChildrenQuietly(isWindowDc ? &box : nullptr);
    if (isWindowDc)
        m_under = GetDC(m_window);
    if (m_under != nullptr)
        IntersectClipRect(m_under, box.left, box.top, box.right, box.bottom);
}

WindowBase::BackgroundDc::~BackgroundDc() {
    if (m_under != nullptr)
        ReleaseDC(m_window, m_under);
}

BitmapWindow::BitmapWindow(WindowHandle* handle, const std::u16string& sectionName)
    : WindowBase(handle, sectionName)
    , m_background(CreateSkinBitmap(ScreenDesc::GetBitmapName(sectionName.c_str()))) {
    ConnectMessageHandler(GetWindowHandle().map, WM_ERASEBKGND, this,
                          &BitmapWindow::OnEraseBackground);
}

BitmapWindow::~BitmapWindow() = default;

void BitmapWindow::DrawBackground(HDC dc) {
    const BackgroundDc target(*this, dc);
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    // Without a picture that draws, the client is filled black: otherwise the page would keep
    // whatever the screen held there, such as rows a child drew before the page was resized.
    if (m_background == nullptr || !m_background->Draw(target.Get(), client, SRCCOPY, false))
        FillRect(target.Get(), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void BitmapWindow::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}
