#include "platform/window/testdriver.h"

#include "platform/window/detail/state.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

namespace {

std::mutex g_spyMutex;
std::map<HWND, MessageSpy*>& Spies() {
    static std::map<HWND, MessageSpy*> spies;
    return spies;
}

void AddShown(window_detail::State& state, HWND handle, std::vector<HWND>& shown) {
    const window_detail::Window* window = window_detail::Find(state, handle);
    if (window == nullptr || (window->style & WS_VISIBLE) == 0)
        return;
    shown.push_back(handle);
    for (HWND child : window->children)
        AddShown(state, child, shown);
}

} // namespace

std::vector<HWND> ShownWindows() {
    window_detail::State& state = window_detail::GetState();
    std::lock_guard lock(state.mutex);
    std::vector<HWND> shown;
    for (HWND top : state.topLevel)
        AddShown(state, top, shown);
    return shown;
}

bool RepaintShownWindowsNow() {
    constexpr int kMaxPaints = 10000;
    constexpr auto kOtherThreadsWait = std::chrono::seconds(2);
    const std::vector<HWND> shown = ShownWindows();
    for (HWND window : shown)
        InvalidateRect(window, nullptr, TRUE);
    {
        window_detail::State& state = window_detail::GetState();
        std::lock_guard lock(state.mutex);
        window_detail::InvalidateBareScreen(state,
                                            RECT{0, 0, state.screenWidth, state.screenHeight});
    }
    window_detail::PaintBareScreen();
    MSG msg{};
    int paints = 0;
    while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) != FALSE) {
        if (++paints > kMaxPaints)
            return false;
        DispatchMessageW(&msg);
    }
    const auto deadline = std::chrono::steady_clock::now() + kOtherThreadsWait;
    for (HWND window : shown) {
        while (GetUpdateRect(window, nullptr, FALSE) != FALSE && IsWindowVisible(window)) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

ScreenDriver::ScreenDriver(VirtualClock* clock)
    : m_clock(clock) {}

ScreenDriver::~ScreenDriver() {
    if (!m_script.empty())
        SetIdleHook({});
}

void ScreenDriver::PlayWhenIdle(std::vector<ScriptStep> steps) {
    m_script = std::move(steps);
    m_nextStep = 0;
    m_hasRunOut = false;
    SetIdleHook([this] { return PlayNextStep(); });
}

bool ScreenDriver::PlayNextStep() {
    if (m_nextStep >= m_script.size()) {
        if (m_hasRunOut)
            return false;
        m_hasRunOut = true;
        PostQuitMessage(0);
        return true;
    }
    const ScriptStep step = m_script[m_nextStep++];
    switch (step.kind) {
    case ScriptStep::Kind::Tap:
        InjectStylus(StylusAction::Down, step.point);
        InjectStylus(StylusAction::Up, step.point);
        break;
    case ScriptStep::Kind::Down:
        InjectStylus(StylusAction::Down, step.point);
        break;
    case ScriptStep::Kind::Move:
        InjectStylus(StylusAction::Move, step.point);
        break;
    case ScriptStep::Kind::Up:
        InjectStylus(StylusAction::Up, step.point);
        break;
    case ScriptStep::Kind::Key:
        InjectKey(step.key, true);
        InjectKey(step.key, false);
        break;
    case ScriptStep::Kind::Text:
        for (char16_t c : step.text)
            InjectChar(c);
        break;
    case ScriptStep::Kind::Clock:
        if (m_clock != nullptr)
            m_clock->Advance(step.ms);
        break;
    case ScriptStep::Kind::Call:
        if (step.call)
            step.call();
        break;
    }
    return true;
}

bool ScreenDriver::RunUntilIdle(int maxMessages) {
    MSG msg{};
    for (int count = 0; count < maxMessages; ++count) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) == FALSE)
            return true;
        if (msg.message == WM_QUIT) {
            m_hasSeenQuit = true;
            continue;
        }
        if (m_accelerators != nullptr &&
            TranslateAcceleratorW(m_acceleratorWindow, m_accelerators, &msg) != 0) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return false;
}

void ScreenDriver::SetAccelerators(HWND window, HACCEL table) {
    m_acceleratorWindow = window;
    m_accelerators = table;
}

bool ScreenDriver::StepClock(std::uint64_t ms) {
    if (m_clock != nullptr)
        m_clock->Advance(ms);
    return RunUntilIdle();
}

void ScreenDriver::Tap(POINT screenPoint) {
    InjectStylus(StylusAction::Down, screenPoint);
    InjectStylus(StylusAction::Up, screenPoint);
    RunUntilIdle();
}

void ScreenDriver::Drag(POINT from, POINT to, int steps) {
    InjectStylus(StylusAction::Down, from);
    steps = std::max(1, steps);
    for (int i = 1; i <= steps; ++i) {
        InjectStylus(StylusAction::Move, POINT{from.x + (to.x - from.x) * i / steps,
                                               from.y + (to.y - from.y) * i / steps});
    }
    InjectStylus(StylusAction::Up, to);
    RunUntilIdle();
}

void ScreenDriver::Key(UINT key) {
    InjectKey(key, true);
    InjectKey(key, false);
    RunUntilIdle();
}

void ScreenDriver::KeyWith(UINT modifierKey, UINT key) {
    InjectKey(modifierKey, true);
    InjectKey(key, true);
    InjectKey(key, false);
    InjectKey(modifierKey, false);
    RunUntilIdle();
}

void ScreenDriver::Text(std::u16string_view text) {
    for (char16_t c : text)
        InjectChar(c);
    RunUntilIdle();
}

MessageSpy::MessageSpy(HWND window, std::vector<UINT> keep)
    : m_window(window)
    , m_keep(std::move(keep)) {
    {
        std::lock_guard lock(g_spyMutex);
        Spies()[window] = this;
    }
    m_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SpyProcedure)));
}

MessageSpy::~MessageSpy() {
    if (IsWindow(m_window) &&
        GetWindowLongW(m_window, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(&SpyProcedure)) {
        SetWindowLongW(m_window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    }
    std::lock_guard lock(g_spyMutex);
    Spies().erase(m_window);
}

std::vector<UINT> MessageSpy::Numbers() const {
    std::vector<UINT> numbers;
    for (const SpiedMessage& m : m_messages)
        numbers.push_back(m.message);
    return numbers;
}

LRESULT MessageSpy::SpyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageSpy* spy = nullptr;
    {
        std::lock_guard lock(g_spyMutex);
        auto it = Spies().find(window);
        if (it != Spies().end())
            spy = it->second;
    }
    if (spy == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (spy->m_keep.empty() ||
        std::find(spy->m_keep.begin(), spy->m_keep.end(), message) != spy->m_keep.end()) {
        spy->m_messages.push_back(SpiedMessage{message, wParam, lParam});
    }
    return CallWindowProcW(spy->m_previous, window, message, wParam, lParam);
}

} // namespace platform
