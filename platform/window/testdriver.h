#pragma once
// Drives the headless screen for tests: taps, drags, keys and text, running the calling
// thread's message loop until nothing is left, stepping a virtual clock so that due timers
// fire, and recording the messages that reach a window.

#include "platform/kernel/time.h"
#include "platform/window/input.h"
#include "platform/window/windowtypes.h"

#include <string_view>
#include <vector>

namespace platform {

class ScreenDriver {
public:
    // clock may be null when no test step moves time.
    explicit ScreenDriver(VirtualClock* clock = nullptr);

    // Gets, translates and dispatches every message of the calling thread until none is left,
    // WM_QUIT included (it is consumed). False when maxMessages were dispatched first (a window
    // that never validates, a timer storm).
    bool RunUntilIdle(int maxMessages = 10000);
    // Moves the clock on by ms and runs the loop, so timers due meanwhile fire (each once).
    bool StepClock(std::uint64_t ms);

    void Tap(POINT screenPoint);
    void Drag(POINT from, POINT to, int steps);
    void Key(UINT key);
    void KeyWith(UINT modifierKey, UINT key);
    // Each character as WM_CHAR to the focus window.
    void Text(std::u16string_view text);

    // Offers every message to TranslateAcceleratorW(window, table) first, as a main loop does.
    void SetAccelerators(HWND window, HACCEL table);

    [[nodiscard]] bool HasSeenQuit() const { return m_hasSeenQuit; }

private:
    VirtualClock* m_clock;
    HWND m_acceleratorWindow = nullptr;
    HACCEL m_accelerators = nullptr;
    bool m_hasSeenQuit = false;
};

struct SpiedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Subclasses a window for its lifetime and records each message that reaches it before passing
// it on. Filters are message numbers to keep (empty: all). Same thread as the window.
class MessageSpy {
public:
    explicit MessageSpy(HWND window, std::vector<UINT> keep = {});
    ~MessageSpy();
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

    [[nodiscard]] const std::vector<SpiedMessage>& Messages() const { return m_messages; }
    [[nodiscard]] std::vector<UINT> Numbers() const;
    void Clear() { m_messages.clear(); }

private:
    static LRESULT SpyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window;
    std::vector<UINT> m_keep;
    WNDPROC m_previous = nullptr;
    std::vector<SpiedMessage> m_messages;
};

} // namespace platform
