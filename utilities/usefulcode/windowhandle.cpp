#include "utilities/usefulcode/windowhandle.h"

#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <climits>
#include <string>

void WindowHandle::Destroy() {
    HWND old = window;
    if (old == nullptr)
        return;
    DestroyWindow(old);
    window = nullptr;
}

namespace {

// Fixed by the first registration for the whole process.
struct FrameworkClass {
    std::u16string name;
    WNDPROC fallback = DefWindowProcW;
    int extraIndex = 0;
};

FrameworkClass& Framework() {
    static FrameworkClass framework;
    return framework;
}

std::u16string Decimal(std::uintptr_t value) {
    const std::string digits = std::to_string(static_cast<std::uint32_t>(value));
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

WindowHandle::WindowHandle() {
    WindowClassRegistry::Register(WNDCLASSW{}, platform::ResourceInstance());
}

WindowHandle::~WindowHandle() {
    map.Reset();
    if (window != nullptr) {
        // Later messages of the window go to the fallback procedure.
        SetWindowLongW(window, WindowClassRegistry::ExtraIndex(), 0);
        DestroyWindow(window);
    }
    window = nullptr;
}

namespace {

// b - a, held within the int range.
int Extent(LONG a, LONG b) {
    const long long extent = static_cast<long long>(b) - a;
    return static_cast<int>(std::clamp<long long>(extent, INT_MIN, INT_MAX));
}

} // namespace

bool MoveWindowToRect(HWND window, const RECT& rect, bool repaint) {
    return MoveWindow(window, rect.left, rect.top, Extent(rect.left, rect.right),
                      Extent(rect.top, rect.bottom), repaint ? TRUE : FALSE) != FALSE;
}

LPCWSTR WindowClassRegistry::MakeClassName(const WNDCLASSW& windowClass) {
    Framework().name = u"Pwc" + Decimal(windowClass.style) +
                       Decimal(reinterpret_cast<std::uintptr_t>(windowClass.hCursor)) +
                       Decimal(reinterpret_cast<std::uintptr_t>(windowClass.hbrBackground)) +
                       Decimal(reinterpret_cast<std::uintptr_t>(windowClass.hIcon)) +
                       Decimal(reinterpret_cast<std::uintptr_t>(windowClass.lpszMenuName));
    return Framework().name.c_str();
}

ATOM WindowClassRegistry::Register(WNDCLASSW windowClass, HINSTANCE module) {
    FrameworkClass& framework = Framework();
    WNDCLASSW existing{};
    if (!framework.name.empty() &&
        GetClassInfoW(module, framework.name.c_str(), &existing) != FALSE) {
        return 0;
    }
    windowClass.style |= CS_DBLCLKS;
    framework.fallback =
        windowClass.lpfnWndProc != nullptr ? windowClass.lpfnWndProc : &DefWindowProcW;
    windowClass.lpfnWndProc = &FrameworkWindowProc;
    framework.extraIndex = windowClass.cbWndExtra;
    windowClass.cbWndExtra += 4;
    if (windowClass.hbrBackground == nullptr) {
        windowClass.hbrBackground = GetStockObject(WHITE_BRUSH);
    }
    windowClass.hInstance = module;
    windowClass.lpszClassName = MakeClassName(windowClass);
    return RegisterClassW(&windowClass);
}

LPCWSTR WindowClassRegistry::ClassName() {
    return Framework().name.c_str();
}

int WindowClassRegistry::ExtraIndex() {
    return Framework().extraIndex;
}

LRESULT FrameworkWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = Framework().extraIndex;
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* handle = static_cast<WindowHandle*>(create->lpCreateParams);
        SetWindowLongW(window, index, reinterpret_cast<LONG_PTR>(handle));
        if (handle != nullptr)
            handle->window = window;
    }
    auto* handle = reinterpret_cast<WindowHandle*>(GetWindowLongW(window, index));
    if (handle != nullptr && handle->map.Get() != nullptr) {
        LRESULT result = 0;
        bool handled = false;
        MessageArgs args{wParam, lParam, &result, &handled};
        handle->map.Get()->Dispatch(message, &args);
        if (handled)
            return result;
    }
    return CallWindowProcW(Framework().fallback, window, message, wParam, lParam);
}

void ShowPageWindow(WindowHandle& page, bool show) {
    if (page.window != nullptr) {
        ShowWindow(page.window, show ? SW_SHOW : SW_HIDE);
        return;
    }
    if (!show)
        return;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_VISIBLE | WS_CLIPCHILDREN, 0,
                    0, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, platform::ResourceInstance(),
                    &page);
    if (page.window == nullptr)
        return;
    RECT client{};
    GetClientRect(page.window, &client);
    SendMessageW(page.window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
}
