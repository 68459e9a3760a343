#pragma once
// Drives the headless screen for tests: taps, drags, keys and text, running the calling
// thread's message loop until nothing is left, stepping a virtual clock so that due timers
// fire, and recording the messages that reach a window.

#include "platform/kernel/time.h"
#include "platform/window/input.h"
#include "platform/window/windowtypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One step of input that a ScreenDriver plays when the thread's loop, a modal loop included,
// finds nothing to do.
struct ScriptStep {
    enum class Kind { Tap, Down, Move, Up, Key, Text, Clock, Call };
    Kind kind = Kind::Call;
    POINT point{};        // screen point of Tap, Down, Move, Up
    UINT key = 0;         // Key: down and up
    std::u16string text;  // Text: each character as WM_CHAR
    std::uint64_t ms = 0; // Clock: moves the driver's clock on
    std::function<void()> call;

    static ScriptStep At(Kind kind, POINT at) {
        ScriptStep step;
        step.kind = kind;
        step.point = at;
        return step;
    }
    static ScriptStep TapAt(POINT at) { return At(Kind::Tap, at); }
    static ScriptStep DownAt(POINT at) { return At(Kind::Down, at); }
    static ScriptStep MoveTo(POINT at) { return At(Kind::Move, at); }
    static ScriptStep UpAt(POINT at) { return At(Kind::Up, at); }
    static ScriptStep Press(UINT key) {
        ScriptStep step;
        step.kind = Kind::Key;
        step.key = key;
        return step;
    }
    static ScriptStep Type(std::u16string text) {
        ScriptStep step;
        step.kind = Kind::Text;
        step.text = std::move(text);
        return step;
    }
    static ScriptStep Wait(std::uint64_t ms) {
        ScriptStep step;
        step.kind = Kind::Clock;
        step.ms = ms;
        return step;
    }
    static ScriptStep Run(std::function<void()> call) {
        ScriptStep step;
        step.call = std::move(call);
        return step;
    }
};

class ScreenDriver {
public:
    // clock may be null when no test step moves time.
    explicit ScreenDriver(VirtualClock* clock = nullptr);
    ~ScreenDriver();
    ScreenDriver(const ScreenDriver&) = delete;
    ScreenDriver& operator=(const ScreenDriver&) = delete;

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

    // Plays the steps one by one, each time a GetMessageW of the calling thread (a modal
    // dialog's loop, for instance) would wait. When a loop waits after the last step, WM_QUIT is
    // posted once so that it ends instead of hanging; RanOutOfScript then tells. A Call step may
    // replace the script by calling this again: the new steps play from the next wait on.
    void PlayWhenIdle(std::vector<ScriptStep> steps);
    [[nodiscard]] std::size_t StepsLeft() const { return m_script.size() - m_nextStep; }
    [[nodiscard]] bool RanOutOfScript() const { return m_hasRunOut; }

private:
    bool PlayNextStep();

    VirtualClock* m_clock;
    HWND m_acceleratorWindow = nullptr;
    HACCEL m_accelerators = nullptr;
    bool m_hasSeenQuit = false;
    std::vector<ScriptStep> m_script;
    std::size_t m_nextStep = 0;
    bool m_hasRunOut = false;
};

// Every shown window (it and all its ancestors visible): top-level windows from the top of the
// z-order down, each followed by its children, the top one first, depth first. Any thread.
[[nodiscard]] std::vector<HWND> ShownWindows();

// Paints the whole screen again at once, as a program's own loop would: the bare screen where no
// window lies, every shown window invalidated whole with its background erased, then the calling
// thread's paints dispatched in the loop's order (windows of other threads paint on their own
// threads, waited for up to 2 s). Nothing else is dispatched and the clock is not moved. False
// when a window kept asking for paints (10000 dispatched) or another thread's window was not
// painted in time.
[[nodiscard]] bool RepaintShownWindowsNow();

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

    [[nodiscard]] HWND Window() const { return m_window; }
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
