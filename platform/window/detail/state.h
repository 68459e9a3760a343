#pragma once
// Shared state of the window system: classes, windows, thread queues, focus, activation,
// capture, key states and the screen. One mutex guards all of it; it is a leaf lock, never held
// while a window procedure, a timer procedure or a back end runs.

#include "platform/window/paint.h"
#include "platform/window/windowtypes.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform::window_detail {

struct WindowClass {
    std::u16string name;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCWSTR menuName = nullptr;
    bool isSystem = false;
    int windowCount = 0;
};

struct ThreadQueue;

// A message sent across threads; the sender waits for done.
struct SentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool isDone = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct QueuedMessage {
    MSG msg{};
    bool isInput = false;
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    DWORD elapseMs = 0;
    std::uint64_t dueMs = 0;
    TIMERPROC procedure = nullptr;
};

struct ThreadQueue {
    DWORD threadId = 0;
    HANDLE wake = nullptr; // auto-reset event, signalled when the thread waits and work arrives
    bool isWaiting = false;
    bool isAlive = true;
    std::deque<QueuedMessage> posted; // posted and input messages, in arrival order
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<std::function<void()>> deferred; // calls queued from other threads
    bool isQuitPosted = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7FFF0000;
    unsigned char keyState[256]{}; // keys as of the input messages this thread has taken
    ~ThreadQueue();
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr; // null for top-level windows
    HWND owner = nullptr;  // top-level windows only
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    RECT rect{}; // in the parent's client coordinates, or the screen's
    std::u16string text;
    std::vector<unsigned char> extra;
    std::vector<HWND> children; // z-order, top first
    bool isCreated = false;     // WM_CREATE returned
    bool isDestroying = false;
    bool hasUpdate = false;
    bool isUpdateErase = false;
    RECT update{};             // client coordinates
    bool isFrameDirty = false; // a WS_BORDER frame that showed again waits for the next paint
    SCROLLINFO scroll[2]{};
    std::shared_ptr<void> control; // state of a system control or dialog
    bool isModal = false;          // a dialog or box whose own loop runs while it is up
    HICON icons[2]{};              // ICON_SMALL, ICON_BIG as WM_SETICON gave them
};

struct HotKey {
    HWND window = nullptr;
    int id = 0;
    UINT modifiers = 0;
    UINT key = 0;
};

struct State {
    std::mutex mutex;
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes; // key upper-cased
    std::unordered_map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevel; // z-order, top first
    std::vector<HWND> creationOrder;
    std::uintptr_t nextHandle = 0x10;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> queues;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    int screenWidth = 240;
    int screenHeight = 320;
    bool isTaskBarShown = true;
    bool isSipButtonShown = true;
    bool isSipOn = false;
    HWND menuBar = nullptr;
    unsigned char keyDown[256]{};
    unsigned char keyPressedSinceCall[256]{};
    std::vector<HotKey> hotKeys;
    // Last stylus-down, for double clicks.
    HWND lastDownWindow = nullptr;
    POINT lastDownPoint{};
    DWORD lastDownTime = 0;
    bool isLastDownValid = false;
    std::atomic<void (*)()> inputPump{nullptr};
    // The box of the screen to paint bare again where no shown top-level window lies; empty when
    // there is none.
    RECT bareUpdate{};
    // While a paint watch runs: the thread that started it, and the windows and the part of the
    // bare screen that are to paint again when it ends.
    std::optional<std::thread::id> paintWatcher;
    std::set<HWND> watchedWindows;
    RECT watchedBare{};
};

[[nodiscard]] State& GetState();

// The state locked, with one window looked up; a missing window sets
// ERROR_INVALID_WINDOW_HANDLE.
class WindowLock {
public:
    explicit WindowLock(HWND window);
    [[nodiscard]] explicit operator bool() const { return m_window != nullptr; }
    Window* operator->() const { return m_window; }
    Window& operator*() const { return *m_window; }
    State& state;

private:
    std::unique_lock<std::mutex> m_lock;
    Window* m_window;
};

// ---- With the lock held ----
[[nodiscard]] Window* Find(State& state, HWND window);
[[nodiscard]] int BorderOf(const Window& window);
[[nodiscard]] RECT ClientRectOf(const Window& window); // (0, 0, w, h)
[[nodiscard]] POINT ClientOriginOnScreen(State& state, const Window& window);
[[nodiscard]] bool IsVisibleChain(State& state, const Window& window);
[[nodiscard]] bool IsEnabledChain(State& state, const Window& window);
// A "Static" label without SS_NOTIFY lets the stylus through to what lies beneath it (its
// parent), as the system's hit test does; WindowFromPoint passes it over too.
[[nodiscard]] bool IsHitTransparent(const Window& window);
// A top-level window that taps pass through: the empty menu bar.
[[nodiscard]] bool IsHitTransparentTop(const State& state, HWND top);
[[nodiscard]] HWND TopLevelOf(State& state, HWND window);
// True when the top-level window is owned by owner, directly or through other owned windows.
[[nodiscard]] bool IsOwnedBy(State& state, HWND window, HWND owner);
// The visible, enabled window owned by top (directly or not) that lies highest in the z-order,
// which is the one activated last; top itself when it owns none.
[[nodiscard]] HWND LastActivePopupOf(State& state, HWND top);
// Puts the top-level window top in front of the windows of its band (topmost or ordinary).
void PlaceAtFrontOfBand(State& state, HWND top);
// Brings the top-level window top to the front as activation does: its root owner with the
// windows it owns, then top above them and the windows top owns above it. The windows raised
// over others repaint what those covered.
void BringToFront(State& state, HWND top);
// Moves the windows owned by the top-level window top (in their order, each within its topmost
// band) directly above it: an owner never lies above a window it owns.
void RaiseOwnedWindows(State& state, HWND top);
[[nodiscard]] RECT WorkArea(const State& state);
void WakeQueue(ThreadQueue& queue);
// Completes a sent message that will never be served; its sender gets 0.
void AnswerUnserved(SentMessage& message);
// Completes the messages waiting in queue that were sent to window, which is gone; their
// senders get 0.
void AnswerSentTo(ThreadQueue& queue, HWND window);
void InvalidateLocked(State& state, Window& window, const RECT* rect, bool erase);
// Which children an invalidation reaches where they lie in the area: all, none, or all unless
// the window has WS_CLIPCHILDREN (a parent that paints over its children repaints them).
enum class ChildRule { ByStyle, All, None };
void InvalidateArea(State& state, Window& window, const RECT* rect, bool erase, ChildRule children);
void InvalidateTree(State& state, Window& window);
// Makes the area of a window (screen coordinates) dirty in whatever lies beneath it, the bare
// screen included.
void InvalidateBeneath(State& state, const Window& window, const RECT& screenRect);
// After a list of siblings (top first) changed its order from before: where a shown window now
// lies above a shown sibling that lay above it before, it repaints what the sibling covered.
void InvalidateReordered(State& state, const std::vector<HWND>& before,
                         const std::vector<HWND>& after);
// Adds the rectangle (screen coordinates) to the part of the bare screen, where no window lies,
// that is to be painted again.
void InvalidateBareScreen(State& state, const RECT& screenRect);
[[nodiscard]] RECT ScreenRectOf(State& state, const Window& window);
[[nodiscard]] bool IsOwnerThread(const Window& window);

// ---- Without the lock ----
// The calling thread's queue, made on first use.
[[nodiscard]] std::shared_ptr<ThreadQueue> CurrentQueue();
// Calls the window's procedure on this thread; 0 for a window that is gone.
LRESULT CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Handles the sent messages and deferred calls waiting for this thread. True when any ran.
bool ServeIncoming(ThreadQueue& queue);
// Makes top the active top-level window (null: none), sending WM_ACTIVATE pairs.
void Activate(HWND top, WORD how);
// Picks a new active window after window stopped being eligible.
void ActivateNext(HWND leaving);
void SetFocusCore(HWND window);
// Activation and focus for a stylus-down taken from the queue of window's thread.
void ClickActivate(HWND window);
// Registers "Static", "Edit" and the dialog class once.
void RegisterSystemClasses();
void RegisterStaticClass();
// A system control's paint: validates and asks the parent for colours with colourMessage.
LRESULT PaintAskingParent(HWND control, UINT colourMessage);
void RegisterEditClass();
void RegisterDialogClass();
// SPI_GETSIPINFO / SPI_SETSIPINFO on a SIPINFO.
BOOL SipParameters(bool isSet, void* sipInfo);
// What the screen shows where no window lies: the stock brush it is painted with.
constexpr int kBareScreenBrush = BLACK_BRUSH;
// The stock brush the one-pixel frame of a WS_BORDER window is painted with.
constexpr int kFrameBrush = BLACK_BRUSH;
// Paints the bare screen where it was invalidated and no shown top-level window lies now.
void PaintBareScreen();
// Removes the next message for the calling thread (GetMessageW's work); wait false polls.
bool TakeMessage(MSG* msg, HWND window, UINT first, UINT last, bool remove, bool wait);

} // namespace platform::window_detail
