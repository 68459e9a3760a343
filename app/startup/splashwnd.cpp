#include "app/startup/splashwnd.h"

#include "platform/gdi/gdi.h"
#include "platform/shell/resources.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

SplashWnd::SplashWnd(const std::u16string& fileName)
    : m_bitmap(std::make_unique<SkinBitmap>(fileName)) {
    ConnectMessageHandler(m_shown.map, WM_PAINT, this, &SplashWnd::OnPaint);
    const SIZE size = m_bitmap->GetSize();
    const int left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
    HINSTANCE instance = platform::ResourceInstance();
    CreateWindowExW(WS_EX_TOPMOST, WindowClassRegistry::ClassName(), u"", WS_POPUP, left, top,
                    size.cx, size.cy, nullptr, nullptr, instance, &m_owner);
    CreateWindowExW(WS_EX_TOPMOST, WindowClassRegistry::ClassName(), u"", WS_POPUP, left, top,
                    size.cx, size.cy, m_owner.window, nullptr, instance, &m_shown);
    if (m_shown.window != nullptr) {
        ShowWindow(m_shown.window, SW_SHOWNOACTIVATE);
        UpdateWindow(m_shown.window);
    }
}

SplashWnd::~SplashWnd() {
    DisconnectMessageHandlers(m_shown.map, this);
    m_shown.Destroy();
    m_owner.Destroy();
    m_bitmap.reset();
}

void SplashWnd::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_shown.window, &paint);
    RECT client{};
    GetClientRect(m_shown.window, &client);
    m_bitmap->Draw(dc, client, SRCCOPY, false);
    EndPaint(m_shown.window, &paint);
    *result = 0;
    *handled = true;
}
