// Focus, capture, activation, key states, hot keys, accelerators and injected input.
#include "platform/window/input.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <unordered_map>
#include <vector>

using namespace platform::window_detail;

namespace {

constexpr DWORD kDoubleClickMs = 500;

struct AcceleratorTables {
    std::unordered_map<std::uintptr_t, std::vector<ACCEL>> tables;
    std::uintptr_t next = 1;
};

AcceleratorTables& Accelerators() { // guarded by the window system's mutex
    static AcceleratorTables* tables = new AcceleratorTables;
    return *tables;
}

bool IsKeyHeld(const State& state, UINT key) {
    return state.keyDown[key & 0xFF] != 0;
}

UINT HeldModifiers(const State& state) {
    return (IsKeyHeld(state, VK_MENU) ? MOD_ALT : 0) |
           (IsKeyHeld(state, VK_CONTROL) ? MOD_CONTROL : 0) |
           (IsKeyHeld(state, VK_SHIFT) ? MOD_SHIFT : 0);
}

HWND HitTest(State& state, POINT point) {
    for (HWND top : state.topLevel) {
        Window* w = Find(state, top);
        if (w == nullptr || (w->style & WS_VISIBLE) == 0 || !PtInRect(&w->rect, point) ||
            IsHitTransparentTop(state, top))
            continue;
        HWND hit = top;
        for (bool isDeeper = true; isDeeper;) {
            isDeeper = false;
            Window* current = Find(state, hit);
            const POINT origin = ClientOriginOnScreen(state, *current);
            const POINT local{point.x - origin.x, point.y - origin.y};
            for (HWND child : current->children) {
                Window* c = Find(state, child);
                if (c != nullptr && (c->style & WS_VISIBLE) != 0 && !IsHitTransparent(*c) &&
                    PtInRect(&c->rect, local)) {
                    hit = child;
                    isDeeper = true;
                    break;
                }
            }
        }
        return hit;
    }
    return nullptr;
}

void Enqueue(Window& window, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPoint) {
    window.queue->posted.push_back(QueuedMessage{
        MSG{window.handle, message, wParam, lParam, GetTickCount(), screenPoint}, true});
    WakeQueue(*window.queue);
}

UINT StylusMessage(State& state, Window& target, platform::StylusAction action, POINT screen) {
    using platform::StylusAction;
    switch (action) {
    case StylusAction::Move:
        return WM_MOUSEMOVE;
    case StylusAction::Up:
        return WM_LBUTTONUP;
    case StylusAction::RightDown:
        return WM_RBUTTONDOWN;
    case StylusAction::RightUp:
        return WM_RBUTTONUP;
    case StylusAction::Down:
        break;
    }
    const DWORD now = GetTickCount();
    const int distance = 4 * state.screenWidth / 240;
    const bool isDouble = (target.windowClass->style & CS_DBLCLKS) != 0 && state.isLastDownValid &&
                          state.lastDownWindow == target.handle &&
                          now - state.lastDownTime <= kDoubleClickMs &&
                          std::abs(screen.x - state.lastDownPoint.x) <= distance &&
                          std::abs(screen.y - state.lastDownPoint.y) <= distance;
    state.isLastDownValid = !isDouble;
    state.lastDownWindow = target.handle;
    state.lastDownPoint = screen;
    state.lastDownTime = now;
    return isDouble ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
}

// PC scan codes (set 1) of the keys the system uses; 0 for others.
constexpr std::array<std::pair<UINT, BYTE>, 22> kScanCodes{{
    {VK_ESCAPE, 0x01},  {VK_BACK, 0x0E},      {VK_TAB, 0x0F},   {VK_RETURN, 0x1C},
    {VK_CONTROL, 0x1D}, {VK_SHIFT, 0x2A},     {VK_MENU, 0x38},  {VK_SPACE, 0x39},
    {VK_HOME, 0x47},    {VK_UP, 0x48},        {VK_PRIOR, 0x49}, {VK_LEFT, 0x4B},
    {VK_RIGHT, 0x4D},   {VK_END, 0x4F},       {VK_DOWN, 0x50},  {VK_NEXT, 0x51},
    {VK_DELETE, 0x53},  {VK_MULTIPLY, 0x37},  {VK_ADD, 0x4E},   {VK_SUBTRACT, 0x4A},
    {VK_DECIMAL, 0x53}, {VK_OEM_MINUS, 0x0C},
}};
constexpr BYTE kLetterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                       0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                       0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
constexpr BYTE kNumpadScanCodes[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};

bool IsExtendedKey(UINT key) {
    return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_DELETE;
}

// The window a key goes to while a modal window is up (the shown, enabled one that lies highest):
// the focus when it lies in that window or in a window it owns (a pick list's open list), else
// the modal window itself. Null when no modal window is up.
Window* ModalKeyTarget(State& state) {
    for (HWND top : state.topLevel) {
        Window* w = Find(state, top);
        if (w == nullptr || !w->isModal || w->isDestroying ||
            (w->style & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE)
            continue;
        if (Window* focus = Find(state, state.focus); focus != nullptr) {
            const HWND focusTop = TopLevelOf(state, state.focus);
            if (focusTop == top || IsOwnedBy(state, focusTop, top))
                return focus;
        }
        return w;
    }
    return nullptr;
}

// The window a key or a typed character goes to: while a modal window is up, that window's
// (ModalKeyTarget); otherwise the focus, else the active window. Null when it is disabled.
Window* KeyTarget(State& state) {
    Window* target = ModalKeyTarget(state);
    if (target == nullptr)
        target = Find(state, state.focus != nullptr ? state.focus : state.active);
    return target != nullptr && IsEnabledChain(state, *target) ? target : nullptr;
}

// Activation and focus messages: sent to a window of the calling thread, queued to the thread
// of any other window, so that moving the activation or the focus never waits for another
// thread (which may itself be waiting for the caller, as the user-interface thread waits for a
// worker that shows a message box).
void Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        if (w == nullptr)
            return;
        if (!IsOwnerThread(*w)) {
            w->queue->deferred.push_back(
                [=] { (void)CallProcedure(window, message, wParam, lParam); });
            WakeQueue(*w->queue);
            return;
        }
    }
    SendMessageW(window, message, wParam, lParam);
}

} // namespace

namespace platform::window_detail {

void Activate(HWND top, WORD how) {
    HWND old = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        const Window* wanted = Find(state, top);
        if (top != nullptr && wanted == nullptr)
            return;
        // A window disabled under a dialog it owns hands the activation to that dialog: the
        // dialog, not the disabled window, takes the keys and stays in front.
        if (wanted != nullptr && wanted->parent == nullptr && (wanted->style & WS_DISABLED) != 0)
            top = LastActivePopupOf(state, top);
        old = state.active;
        if (old == top)
            return;
        state.active = top;
        BringToFront(state, top);
    }
    if (old != nullptr)
        Notify(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(top));
    if (top != nullptr) {
        Notify(top, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(old));
    } else {
        SetFocus(nullptr);
    }
}

void ActivateNext(HWND leaving) {
    HWND next = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        auto isEligible = [&](HWND h) {
            const Window* w = Find(state, h);
            return w != nullptr && h != leaving && !w->isDestroying && w->parent == nullptr &&
                   (w->style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
        };
        if (const Window* w = Find(state, leaving); w != nullptr && isEligible(w->owner)) {
            next = w->owner;
        } else {
            auto it = std::find_if(state.topLevel.begin(), state.topLevel.end(), isEligible);
            next = it != state.topLevel.end() ? *it : nullptr;
            // Owned windows lie above their owner (the menu bar above the main window): the
            // owner takes the activation while it can, as it would have from the window that
            // went.
            for (std::size_t depth = 0; next != nullptr && depth < state.windows.size(); ++depth) {
                const Window* n = Find(state, next);
                if (n == nullptr || !isEligible(n->owner))
                    break;
                next = n->owner;
            }
        }
    }
    Activate(next, WA_ACTIVE);
}

void ClickActivate(HWND window) {
    HWND top = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        // Input that the capture window takes activates nothing (a drop-down list keeps the
        // focus where it is).
        if (window == state.capture)
            return;
        top = TopLevelOf(state, window);
        if (top == state.active)
            return;
    }
    Activate(top, WA_CLICKACTIVE);
}

} // namespace platform::window_detail

SHORT GetKeyState(int key) {
    auto queue = CurrentQueue();
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return static_cast<SHORT>(queue->keyState[static_cast<UINT>(key) & 0xFF] != 0 ? 0x8000 : 0);
}

SHORT GetAsyncKeyState(int key) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const UINT index = static_cast<UINT>(key) & 0xFF;
    const bool wasPressed = state.keyPressedSinceCall[index] != 0;
    state.keyPressedSinceCall[index] = 0;
    return static_cast<SHORT>((IsKeyHeld(state, index) ? 0x8000 : 0) | (wasPressed ? 1 : 0));
}

HWND SetFocus(HWND window) {
    HWND old = nullptr;
    HWND top = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        if (window != nullptr && Find(state, window) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        old = state.focus;
        if (old == window)
            return old;
        state.focus = window;
        top = TopLevelOf(state, window);
    }
    if (top != nullptr)
        Activate(top, WA_ACTIVE);
    if (old != nullptr)
        Notify(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (window != nullptr && GetFocus() == window)
        Notify(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.focus;
}

HWND SetCapture(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    HWND previous = state.capture;
    if (Find(state, window) != nullptr)
        state.capture = window;
    return previous;
}

BOOL ReleaseCapture() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    state.capture = nullptr;
    return TRUE;
}

HWND GetCapture() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.capture;
}

HWND SetActiveWindow(HWND window) {
    HWND old = GetActiveWindow();
    HWND top = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        top = TopLevelOf(state, window);
    }
    if (top == nullptr)
        return nullptr;
    Activate(top, WA_ACTIVE);
    return old;
}

HWND GetLastActivePopup(HWND window) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const Window* w = Find(state, window);
    if (w == nullptr || w->parent != nullptr)
        return w == nullptr ? nullptr : window;
    return LastActivePopupOf(state, window);
}

BOOL SetForegroundWindow(HWND window) {
    HWND top = nullptr;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        top = TopLevelOf(state, window);
        const Window* w = Find(state, top);
        if (w == nullptr)
            return FALSE;
        if ((w->style & WS_DISABLED) != 0)
            top = LastActivePopupOf(state, top);
        if (state.active == top) {
            // The active window comes to the front all the same: another window may have been
            // placed above it since it was activated.
            BringToFront(state, top);
            return TRUE;
        }
    }
    Activate(top, WA_ACTIVE);
    return GetActiveWindow() == top ? TRUE : FALSE;
}

HWND GetActiveWindow() {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return state.active;
}

HWND GetForegroundWindow() {
    return GetActiveWindow();
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT key) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (Find(state, window) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (const HotKey& hotKey : state.hotKeys) {
        if (hotKey.key == key && hotKey.modifiers == modifiers &&
            !(hotKey.window == window && hotKey.id == id)) {
            SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return FALSE;
        }
    }
    std::erase_if(state.hotKeys, [&](const HotKey& k) { return k.window == window && k.id == id; });
    state.hotKeys.push_back(HotKey{window, id, modifiers, key});
    return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (std::erase_if(state.hotKeys,
                      [&](const HotKey& k) { return k.window == window && k.id == id; }) == 0) {
        SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
        return FALSE;
    }
    return TRUE;
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
    if (entries == nullptr || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    AcceleratorTables& tables = Accelerators();
    const std::uintptr_t handle = tables.next++;
    tables.tables.emplace(handle, std::vector<ACCEL>(entries, entries + count));
    return reinterpret_cast<HACCEL>(handle);
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name) {
    const auto id = reinterpret_cast<UINT_PTR>(name);
    if (id > 0xFFFF) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const std::vector<platform::BundleAccelerator> loaded =
        platform::LoadAcceleratorEntries(instance, static_cast<UINT>(id));
    if (loaded.empty()) {
        return nullptr;
    }
    std::vector<ACCEL> entries;
    for (const platform::BundleAccelerator& entry : loaded) {
        entries.push_back(ACCEL{entry.flags, entry.key, entry.command});
    }
    return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    return Accelerators().tables.erase(reinterpret_cast<std::uintptr_t>(table)) != 0 ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND window, HACCEL table, const MSG* msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return 0;
    }
    WORD command = 0;
    bool isMatch = false;
    {
        State& state = GetState();
        std::lock_guard lock(state.mutex);
        Window* w = Find(state, window);
        auto it = Accelerators().tables.find(reinterpret_cast<std::uintptr_t>(table));
        if (w == nullptr || it == Accelerators().tables.end() || (w->style & WS_DISABLED) != 0) {
            return 0;
        }
        const unsigned char* keys = w->queue->keyState;
        const BYTE held = (keys[VK_SHIFT] != 0 ? FSHIFT : 0) |
                          (keys[VK_CONTROL] != 0 ? FCONTROL : 0) | (keys[VK_MENU] != 0 ? FALT : 0);
        for (const ACCEL& entry : it->second) {
            if (entry.key == msg->wParam && (entry.fVirt & (FSHIFT | FCONTROL | FALT)) == held) {
                command = entry.cmd;
                isMatch = true;
                break;
            }
        }
    }
    if (!isMatch)
        return 0;
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(command, 1), 0);
    return 1;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || msg->message != WM_KEYDOWN)
        return FALSE;
    const UINT key = static_cast<UINT>(msg->wParam);
    const bool isShift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    WCHAR character = 0;
    if (key >= 'A' && key <= 'Z') {
        character = static_cast<WCHAR>(isShift ? key : key - 'A' + 'a');
    } else if (key >= '0' && key <= '9') {
        character = static_cast<WCHAR>(key);
    } else if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) {
        character = static_cast<WCHAR>('0' + key - VK_NUMPAD0);
    } else {
        switch (key) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
        case VK_SPACE:
            character = static_cast<WCHAR>(key);
            break;
        case VK_ADD:
        case VK_OEM_PLUS:
            character = isShift && key == VK_OEM_PLUS ? u'+' : (key == VK_ADD ? u'+' : u'=');
            break;
        case VK_SUBTRACT:
        case VK_OEM_MINUS:
            character = u'-';
            break;
        case VK_MULTIPLY:
            character = u'*';
            break;
        case VK_DECIMAL:
            character = u'.';
            break;
        default:
            return FALSE;
        }
    }
    // Ahead of the input still queued, as a message posted while the keys pressed after this
    // one wait as input: the characters of keys typed in quick succession, and those the host's
    // text input gives between them, keep the order they were typed in.
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* target = Find(state, msg->hwnd);
    if (target == nullptr || !target->queue->isAlive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::deque<QueuedMessage>& posted = target->queue->posted;
    const auto firstInput = std::find_if(
        posted.begin(), posted.end(), [](const QueuedMessage& queued) { return queued.isInput; });
    posted.insert(
        firstInput,
        QueuedMessage{MSG{msg->hwnd, WM_CHAR, character, msg->lParam, GetTickCount(), {}}, false});
    WakeQueue(*target->queue);
    return TRUE;
}

namespace platform {

BYTE ScanCodeOf(UINT key) {
    if (key >= 'A' && key <= 'Z')
        return kLetterScanCodes[key - 'A'];
    if (key >= '1' && key <= '9')
        return static_cast<BYTE>(0x02 + key - '1');
    if (key == '0')
        return 0x0B;
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return kNumpadScanCodes[key - VK_NUMPAD0];
    if (key >= VK_F1 && key <= VK_F1 + 9)
        return static_cast<BYTE>(0x3B + key - VK_F1);
    if (key == VK_F1 + 10)
        return 0x57;
    if (key == VK_F12)
        return 0x58;
    if (key == VK_OEM_PLUS)
        return 0x0D;
    for (const auto& [code, scan] : kScanCodes) {
        if (code == key)
            return scan;
    }
    return 0;
}

void InjectStylus(StylusAction action, POINT screenPoint) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* target = Find(state, state.capture);
    if (target == nullptr) {
        target = Find(state, HitTest(state, screenPoint));
        if (target == nullptr || !IsEnabledChain(state, *target))
            return;
    }
    if (action == StylusAction::Down || action == StylusAction::Up) {
        state.keyDown[VK_LBUTTON] = action == StylusAction::Down ? 1 : 0;
    }
    if (action == StylusAction::RightDown || action == StylusAction::RightUp) {
        state.keyDown[VK_RBUTTON] = action == StylusAction::RightDown ? 1 : 0;
    }
    const UINT message = StylusMessage(state, *target, action, screenPoint);
    const POINT origin = ClientOriginOnScreen(state, *target);
    const WPARAM flags = (IsKeyHeld(state, VK_LBUTTON) ? MK_LBUTTON : 0) |
                         (IsKeyHeld(state, VK_RBUTTON) ? MK_RBUTTON : 0) |
                         (IsKeyHeld(state, VK_SHIFT) ? MK_SHIFT : 0) |
                         (IsKeyHeld(state, VK_CONTROL) ? MK_CONTROL : 0);
    Enqueue(*target, message, flags, MAKELPARAM(screenPoint.x - origin.x, screenPoint.y - origin.y),
            screenPoint);
}

void InjectKey(UINT key, bool isDown) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    const UINT index = key & 0xFF;
    const bool wasDown = state.keyDown[index] != 0;
    state.keyDown[index] = isDown ? 1 : 0;
    if (isDown)
        state.keyPressedSinceCall[index] = 1;
    // A modal window that is up takes every key: no hot key reaches the windows beneath it.
    if (isDown && ModalKeyTarget(state) == nullptr) {
        const UINT modifiers = HeldModifiers(state);
        for (const HotKey& hotKey : state.hotKeys) {
            Window* w = Find(state, hotKey.window);
            if (w != nullptr && hotKey.key == key && hotKey.modifiers == modifiers) {
                Enqueue(*w, WM_HOTKEY, static_cast<WPARAM>(hotKey.id),
                        MAKELPARAM(static_cast<int>(modifiers), static_cast<int>(key)), POINT{});
                return;
            }
        }
    }
    Window* target = KeyTarget(state);
    if (target == nullptr)
        return;
    DWORD data = 1 | (DWORD{ScanCodeOf(key)} << 16) | (IsExtendedKey(key) ? 0x01000000u : 0);
    if (!isDown)
        data |= 0xC0000000u;
    else if (wasDown)
        data |= 0x40000000u;
    Enqueue(*target, isDown ? WM_KEYDOWN : WM_KEYUP, key, static_cast<LPARAM>(data), POINT{});
}

void InjectChar(WCHAR character) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    Window* target = KeyTarget(state);
    if (target == nullptr)
        return;
    Enqueue(*target, WM_CHAR, character, 1, POINT{});
}

void SetModalWindow(HWND window, bool isModal) {
    State& state = GetState();
    std::lock_guard lock(state.mutex);
    if (Window* w = Find(state, window); w != nullptr && w->parent == nullptr)
        w->isModal = isModal;
}

} // namespace platform
