// Classes, creation and destruction, window words and the default procedure.
#include "platform/window/window.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/text.h"
#include "platform/window/detail/state.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <cstring>

using namespace platform::window_detail;

namespace {

std::u16string ClassKey(LPCWSTR name) {
    return platform::ToUpper(name != nullptr ? name : u"");
}

std::u16string TextOrEmpty(LPCWSTR text) {
    return text != nullptr ? std::u16string(text) : u"";
}

RECT InitialRect(const State& state, bool isChild, int x, int y, int width, int height) {
    if (isChild) {
        const int left = x == CW_USEDEFAULT ? 0 : x;
        const int top = x == CW_USEDEFAULT ? 0 : y;
        const int w = width == CW_USEDEFAULT ? 0 : width;
        const int h = width == CW_USEDEFAULT ? 0 : height;
        return RECT{left, top, left + w, top + h};
    }
    const RECT work = WorkArea(state);
    if (width == CW_USEDEFAULT)
        return work;
    const int left = x == CW_USEDEFAULT ? work.left : x;
    const int top = x == CW_USEDEFAULT ? work.top : y;
    return RECT{left, top, left + width, top + height};
}

void SendSizeAndMove(HWND window) {
    RECT client{};
    RECT rect{};
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return;
        client = ClientRectOf(*w);
        rect = w->rect;
        rect.left += BorderOf(*w);
        rect.top += BorderOf(*w);
    }
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
}

void CollectTree(State& state, HWND window, std::vector<HWND>& out) {
    Window* w = Find(state, window);
    if (w == nullptr)
        return;
    out.push_back(window);
    for (HWND child : w->children)
        CollectTree(state, child, out);
}

void SendDestroyMessages(HWND window) {
    std::vector<HWND> children;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return;
        children = w->children;
    }
    SendMessageW(window, WM_DESTROY, 0, 0);
    for (HWND child : children)
        SendDestroyMessages(child);
    SendMessageW(window, WM_NCDESTROY, 0, 0);
}

void FreeWindows(State& state, HWND window) {
    std::vector<HWND> tree;
    CollectTree(state, window, tree);
    if (Window* w = Find(state, window)) {
        if (Window* parent = Find(state, w->parent))
            std::erase(parent->children, window);
    }
    for (HWND h : tree) {
        Window* w = Find(state, h);
        // Messages sent to the window that its thread has not served yet are answered now:
        // their senders must not wait for a window that is gone.
        AnswerSentTo(*w->queue, h);
        std::erase_if(w->queue->timers, [&](const Timer& t) { return t.window == h; });
        std::erase_if(state.hotKeys, [&](const HotKey& k) { return k.window == h; });
        std::erase(state.topLevel, h);
        std::erase(state.creationOrder, h);
        if (state.focus == h)
            state.focus = nullptr;
        if (state.capture == h)
            state.capture = nullptr;
        if (state.active == h)
            state.active = nullptr;
        if (state.menuBar == h)
            state.menuBar = nullptr;
        w->windowClass->windowCount -= 1;
        state.windows.erase(reinterpret_cast<std::uintptr_t>(h));
    }
}

bool IsInTree(State& state, HWND root, HWND window) {
    for (Window* w = Find(state, window); w != nullptr; w = Find(state, w->parent)) {
        if (w->handle == root)
            return true;
    }
    return false;
}

} // namespace

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        windowClass->lpszClassName[0] == 0 || windowClass->lpfnWndProc == nullptr ||
        windowClass->cbWndExtra < 0 || windowClass->cbClsExtra < 0) {
        OutputDebugStringW(u"RegisterClassW: class without name or procedure refused\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const std::u16string key = ClassKey(windowClass->lpszClassName);
    if (state.classes.contains(key)) {
        OutputDebugStringW((u"RegisterClassW: class \"" + TextOrEmpty(windowClass->lpszClassName) +
                            u"\" already exists\n")
                               .c_str());
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto entry = std::make_shared<WindowClass>();
    entry->name = windowClass->lpszClassName;
    entry->style = windowClass->style;
    entry->procedure = windowClass->lpfnWndProc;
    entry->classExtra = windowClass->cbClsExtra;
    entry->windowExtra = windowClass->cbWndExtra;
    entry->instance = windowClass->hInstance;
    entry->icon = windowClass->hIcon;
    entry->cursor = windowClass->hCursor;
    entry->background = windowClass->hbrBackground;
    entry->menuName = windowClass->lpszMenuName;
    state.classes.emplace(key, entry);
    return static_cast<ATOM>(0xC000 + state.classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    auto it = state.classes.find(ClassKey(className));
    if (it == state.classes.end() || it->second->isSystem) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (it->second->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    state.classes.erase(it);
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* windowClass) {
    platform::window_detail::RegisterSystemClasses();
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    auto it = state.classes.find(ClassKey(className));
    if (it == state.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (windowClass != nullptr) {
        const WindowClass& c = *it->second;
        *windowClass = WNDCLASSW{c.style, c.procedure, c.classExtra, c.windowExtra, c.instance,
                                 c.icon,  c.cursor,    c.background, c.menuName,    className};
    }
    return TRUE;
}

int GetClassNameW(HWND window, LPWSTR buffer, int bufferMax) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    if (w == nullptr || buffer == nullptr || bufferMax <= 0) {
        SetLastError(w == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto count = std::min<std::size_t>(w->windowClass->name.size(), bufferMax - 1);
    std::copy_n(w->windowClass->name.data(), count, buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    platform::window_detail::RegisterSystemClasses();
    auto queue = CurrentQueue();
    HWND handle = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        auto it = state.classes.find(ClassKey(className));
        if (it == state.classes.end()) {
            OutputDebugStringW(
                (u"CreateWindowExW: no class \"" + TextOrEmpty(className) + u"\"\n").c_str());
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        const bool isChild = (style & WS_CHILD) != 0;
        Window* parentWindow = Find(state, parent);
        if ((isChild && parentWindow == nullptr) ||
            (parent != nullptr && parentWindow == nullptr)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        auto window = std::make_unique<Window>();
        handle = reinterpret_cast<HWND>(state.nextHandle++);
        window->handle = handle;
        window->queue = queue;
        window->windowClass = it->second;
        window->procedure = it->second->procedure;
        window->style = style & ~WS_VISIBLE;
        window->exStyle = exStyle;
        window->text = TextOrEmpty(windowName);
        window->extra.assign(static_cast<std::size_t>(it->second->windowExtra) + 4, 0);
        window->rect = InitialRect(state, isChild, x, y, width, height);
        if (isChild) {
            window->parent = parent;
            window->id = reinterpret_cast<LONG_PTR>(menu);
            parentWindow->children.insert(parentWindow->children.begin(), handle);
        } else {
            window->owner = TopLevelOf(state, parent);
        }
        it->second->windowCount += 1;
        Window& stored = *window;
        state.windows.emplace(reinterpret_cast<std::uintptr_t>(handle), std::move(window));
        state.creationOrder.push_back(handle);
        if (!isChild)
            PlaceAtFrontOfBand(state, stored.handle);
    }
    CREATESTRUCTW create{
        param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    if (SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0 ||
        SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1 ||
        !IsWindow(handle)) {
        DestroyWindow(handle);
        return nullptr;
    }
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        if (Window* w = Find(state, handle))
            w->isCreated = true;
    }
    SendSizeAndMove(handle);
    if ((style & WS_VISIBLE) != 0 && IsWindow(handle)) {
        ShowWindow(handle, SW_SHOW);
    }
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND window) {
    std::vector<HWND> owned;
    {
        WindowLock w(window);
        if (!w)
            return FALSE;
        State& state = w.state;
        if (!IsOwnerThread(*w)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->isDestroying)
            return TRUE;
        w->isDestroying = true;
        if (IsVisibleChain(state, *w))
            InvalidateBeneath(state, *w, ScreenRectOf(state, *w));
        for (HWND h : state.creationOrder) {
            if (const Window* o = Find(state, h); o != nullptr && o->owner == window) {
                owned.push_back(h);
            }
        }
        if (state.capture != nullptr && IsInTree(state, window, state.capture)) {
            state.capture = nullptr;
        }
    }
    for (HWND h : owned)
        DestroyWindow(h);
    bool wasActive = false;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        wasActive = state.active == window;
    }
    if (wasActive)
        ActivateNext(window);
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        if (state.focus != nullptr && IsInTree(state, window, state.focus))
            state.focus = nullptr;
    }
    SendDestroyMessages(window);
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    FreeWindows(state, window);
    return TRUE;
}

BOOL IsWindow(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return Find(state, window) != nullptr ? TRUE : FALSE;
}

LONG_PTR GetWindowLongW(HWND window, int index) {
    WindowLock w(window);
    if (!w)
        return 0;
    switch (index) {
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->procedure);
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWL_ID:
        return w->id;
    case GWL_USERDATA:
        return w->userData;
    default:
        break;
    }
    if (index < 0 || index + 4 > w->windowClass->windowExtra) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongW(HWND window, int index, LONG_PTR value) {
    WindowLock w(window);
    if (!w)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWL_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(w->procedure);
        if (value != 0)
            w->procedure = reinterpret_cast<WNDPROC>(value);
        return previous;
    case GWL_STYLE:
        previous = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        return previous;
    case GWL_EXSTYLE:
        previous = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return previous;
    case GWL_ID:
        std::swap(previous, w->id);
        w->id = value;
        return previous;
    case GWL_USERDATA:
        previous = w->userData;
        w->userData = value;
        return previous;
    default:
        break;
    }
    if (index < 0 || index + 4 > w->windowClass->windowExtra) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::memcpy(&previous, w->extra.data() + index, sizeof previous);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return previous;
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State& state = GetState();
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return FALSE;
        w->text = TextOrEmpty(reinterpret_cast<LPCWSTR>(lParam));
        return TRUE;
    }
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        if (buffer == nullptr || wParam == 0)
            return 0;
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        const std::u16string text = w != nullptr ? w->text : u"";
        const auto count = std::min<std::size_t>(text.size(), wParam - 1);
        std::copy_n(text.data(), count, buffer);
        buffer[count] = 0;
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        return w != nullptr ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SETICON:
    case WM_GETICON: {
        // The window keeps the icons it is given; it does not own them.
        if (wParam != ICON_SMALL && wParam != ICON_BIG)
            return 0;
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return 0;
        const HICON previous = w->icons[wParam];
        if (message == WM_SETICON)
            w->icons[wParam] = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush = nullptr;
        RECT client{};
        {
            std::lock_guard lock(state.mutex);
            Window* w = Find(state, window);
            if (w != nullptr && w->windowClass)
                brush = w->windowClass->background;
        }
        const platform::DcHooks hooks = platform::GetDcHooks();
        if (brush != nullptr && hooks.fillRect != nullptr && GetClientRect(window, &client))
            hooks.fillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            bool isInside = false;
            {
                std::lock_guard lock(state.mutex);
                isInside = focus != nullptr && TopLevelOf(state, focus) == window;
            }
            if (!isInside)
                SetFocus(window);
        }
        return 0;
    default:
        return 0;
    }
}

BOOL IsWindowEnabled(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    return w != nullptr && (w->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    return w != nullptr && IsVisibleChain(state, *w) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
    bool wasDisabled = false;
    bool losesFocus = false;
    {
        WindowLock w(window);
        if (!w)
            return FALSE;
        State& state = w.state;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == (enable == FALSE))
            return wasDisabled ? TRUE : FALSE;
        w->style = enable != FALSE ? (w->style & ~WS_DISABLED) : (w->style | WS_DISABLED);
        if (enable == FALSE) {
            losesFocus = state.focus != nullptr && IsInTree(state, window, state.focus);
            if (state.capture != nullptr && IsInTree(state, window, state.capture)) {
                state.capture = nullptr;
            }
        }
    }
    if (losesFocus)
        SetFocus(nullptr);
    SendMessageW(window, WM_ENABLE, enable != FALSE ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    if (w == nullptr)
        return nullptr;
    return w->parent != nullptr ? w->parent : w->owner;
}

HWND SetParent(HWND window, HWND newParent) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    Window* parent = Find(state, newParent);
    if (w == nullptr || (newParent != nullptr && parent == nullptr) ||
        (newParent != nullptr && IsInTree(state, window, newParent))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND previous = w->parent;
    // What lay beneath the window at its old place shows there again.
    if (IsVisibleChain(state, *w))
        InvalidateBeneath(state, *w, ScreenRectOf(state, *w));
    if (Window* old = Find(state, previous))
        std::erase(old->children, window);
    std::erase(state.topLevel, window);
    w->parent = newParent;
    if (parent != nullptr) {
        w->style = (w->style & ~WS_POPUP) | WS_CHILD;
        parent->children.insert(parent->children.begin(), window);
    } else {
        w->style = (w->style & ~WS_CHILD) | WS_POPUP;
        PlaceAtFrontOfBand(state, window);
    }
    if (IsVisibleChain(state, *w))
        InvalidateTree(state, *w);
    return previous;
}

HWND GetDlgItem(HWND parent, int id) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, parent);
    if (w == nullptr)
        return nullptr;
    for (HWND child : w->children) {
        if (const Window* c = Find(state, child); c != nullptr && c->id == id)
            return child;
    }
    return nullptr;
}

int GetDlgCtrlID(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    return w != nullptr ? static_cast<int>(w->id) : 0;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int bufferMax) {
    if (buffer == nullptr || bufferMax <= 0)
        return 0;
    buffer[0] = 0;
    return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(bufferMax),
                                         reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
    return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const std::u16string key = ClassKey(className);
    for (HWND h : state.creationOrder) {
        const Window* w = Find(state, h);
        if (w == nullptr || w->parent != nullptr)
            continue;
        if (className != nullptr && platform::ToUpper(w->windowClass->name) != key)
            continue;
        if (windowName != nullptr && w->text != windowName)
            continue;
        return h;
    }
    return nullptr;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    WindowLock w(window);
    if (!w || rect == nullptr)
        return FALSE;
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    WindowLock w(window);
    if (!w || rect == nullptr)
        return FALSE;
    State& state = w.state;
    *rect = ScreenRectOf(state, *w);
    return TRUE;
}

namespace {

BOOL MapClientPoint(HWND window, POINT* point, int sign) {
    WindowLock w(window);
    if (!w || point == nullptr)
        return FALSE;
    const POINT origin = ClientOriginOnScreen(w.state, *w);
    point->x += sign * origin.x;
    point->y += sign * origin.y;
    return TRUE;
}

} // namespace

BOOL ClientToScreen(HWND window, POINT* point) {
    return MapClientPoint(window, point, 1);
}

BOOL ScreenToClient(HWND window, POINT* point) {
    return MapClientPoint(window, point, -1);
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    if (processId != nullptr)
        *processId = w != nullptr ? 1 : 0;
    return w != nullptr ? w->queue->threadId : 0;
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL) {
    if (info == nullptr || info->cbSize != sizeof(SCROLLINFO) ||
        (bar != SB_HORZ && bar != SB_VERT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowLock w(window);
    if (!w)
        return 0;
    SCROLLINFO& kept = w->scroll[bar];
    kept.cbSize = sizeof(SCROLLINFO);
    if ((info->fMask & SIF_RANGE) != 0) {
        kept.nMin = info->nMin;
        kept.nMax = std::max(info->nMin, info->nMax);
    }
    if ((info->fMask & SIF_PAGE) != 0)
        kept.nPage = info->nPage;
    if ((info->fMask & SIF_POS) != 0)
        kept.nPos = info->nPos;
    const auto span = static_cast<std::int64_t>(kept.nMax) - kept.nMin + 1;
    kept.nPage = static_cast<UINT>(std::min<std::int64_t>(kept.nPage, span));
    const std::int64_t highest =
        kept.nMax - std::max<std::int64_t>(static_cast<std::int64_t>(kept.nPage) - 1, 0);
    kept.nPos = static_cast<int>(std::clamp<std::int64_t>(kept.nPos, kept.nMin, highest));
    return kept.nPos;
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info) {
    if (info == nullptr || (bar != SB_HORZ && bar != SB_VERT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WindowLock w(window);
    if (!w)
        return FALSE;
    const UINT mask = info->fMask;
    const SCROLLINFO& kept = w->scroll[bar];
    if ((mask & SIF_RANGE) != 0) {
        info->nMin = kept.nMin;
        info->nMax = kept.nMax;
    }
    if ((mask & SIF_PAGE) != 0)
        info->nPage = kept.nPage;
    if ((mask & SIF_POS) != 0)
        info->nPos = kept.nPos;
    return TRUE;
}

namespace platform {

std::u16string WindowTextOf(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* w = Find(state, window);
    return w != nullptr ? w->text : std::u16string();
}

HICON ScreenIcon() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    for (HWND handle : state.topLevel) {
        const Window* w = Find(state, handle);
        if (w != nullptr && (w->style & WS_VISIBLE) != 0 && w->icons[ICON_BIG] != nullptr)
            return w->icons[ICON_BIG];
    }
    return nullptr;
}

} // namespace platform
