#include "app/scenario/scenariorunner.h"

#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/scenario/scenariocheck.h"
#include "app/scenario/scenarioclock.h"
#include "app/scenario/scenariodrive.h"
#include "app/scenario/scenarioexplorer.h"
#include "app/scenario/scenariooutput.h"
#include "app/scenario/scenariowatch.h"
#include "app/scenario/scenariowindows.h"
#include "app/startup/mainmenuwnd.h"
#include "app/startup/navapp.h"
#include "app/startup/voicepointer.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tmcmonitor.h"
#include "ui/windowbase.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/openfilewindow.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/kernel/clockwaits.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/dialogs.h"
#include "platform/shell/process.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/programend.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace {

// The demonstration file the drive writes and the map page opens, as the route list names it.
constexpr char kDriveFile[] = "GPSDemoFile.txt";
// How far the clock moves while a wait is not met (stepped clock).
constexpr std::uint64_t kWaitQuantumMs = 100;
// The key code of a key press that carries a character (as an input panel types one).
constexpr UINT kPacketKey = 0xE7;
// Real milliseconds a paced run rests while a wait is not met.
constexpr auto kPacedRest = std::chrono::milliseconds(5);
// Quanta of a wait on a stepped clock that each rest kPacedRest too (1 s of real time at most),
// so that what other threads bring to the screen gets there under load.
constexpr int kMaxRestedQuanta = 200;
// How long a stepped clock waits at most for the threads its last move woke, and how often it
// looks.
constexpr auto kWokenThreadsWait = std::chrono::seconds(2);
constexpr auto kWokenThreadsPoll = std::chrono::microseconds(200);
// A check looks at the followed car once its page has had neither input, nor a new route, nor a
// change of its map, nor a fix lost for the follow suspension and this much more: the time the
// next fixes take to bring the car back into the view.
constexpr std::uint64_t kFollowMarginMs = 4000;
constexpr std::uint64_t kNever = UINT64_MAX;
// The explorer and a frame look at the screen once no message has come for this long (the threads
// that a position or a route wakes post theirs), and at the latest after kSettleLimit.
constexpr auto kSettledMs = std::chrono::milliseconds(3);
constexpr auto kSettleLimit = std::chrono::milliseconds(200);

std::string Narrow(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

// For each shown map of a map page, a line "map LEFT,TOP,RIGHT,BOTTOM" with the map's client
// rectangle on the screen, then the longitude,latitude at its top left, top right and bottom
// left corners: where the map shows a place.
std::vector<std::string> ShownMapLines() {
    std::vector<std::string> lines;
    for (HWND window : platform::ShownWindows()) {
        const WindowBase* page = WindowBase::FromWindow(window);
        MapView* view = nullptr;
        if (const auto* guidance = dynamic_cast<const CNMapPage*>(page))
            view = guidance->GetMapView();
        else if (const auto* shown = dynamic_cast<const NavShowPage*>(page))
            view = shown->GetMapView();
        HWND map = view != nullptr ? view->GetHwnd() : nullptr;
        RECT client{};
        if (map == nullptr || IsWindowVisible(map) == FALSE || GetClientRect(map, &client) == FALSE)
            continue;
        POINT origin{0, 0};
        (void)ClientToScreen(map, &origin);
        std::string text = "map " + std::to_string(origin.x) + ',' + std::to_string(origin.y) +
                           ',' + std::to_string(origin.x + client.right) + ',' +
                           std::to_string(origin.y + client.bottom);
        for (const POINT corner : {POINT{0, 0}, POINT{client.right, 0}, POINT{0, client.bottom}}) {
            const GeoPoint place = view->GetCanvas()->ScreenToGeo(corner);
            char line[64] = {};
            (void)std::snprintf(line, sizeof line, " %.6f,%.6f", place.x, place.y);
            text += line;
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

// A message box of the run: the step it came in, what it said and how it was answered.
struct RunBox {
    std::string step;
    platform::MessageBoxRecord record; // answer 0: not (yet) answered
    bool isScripted = false;           // answered ahead by a "messagebox" step, not shown
};

// A field of a line of kMessageBoxesFile: each tab and line break (CR LF, LF or CR) a blank.
std::string BoxField(const std::u16string& text) {
    std::string field = Narrow(text);
    for (std::size_t at = field.find("\r\n"); at != std::string::npos; at = field.find("\r\n", at))
        field.erase(at, 1);
    std::replace_if(
        field.begin(), field.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; },
        ' ');
    return field;
}

class Runner;

// The runner whose program runs on this thread (its input pump holds that thread only).
thread_local Runner* t_heldRunner = nullptr;

class Runner {
public:
    Runner(const ScenarioScript& script, const ScenarioOptions& options, std::FILE* errors);
    int Run();
    // After Run: whether a step failed (or an out file could not be written), and the end asked
    // from outside, when one was (after a failure too).
    [[nodiscard]] bool HasFailed() const { return m_hasFailed; }
    [[nodiscard]] std::optional<int> EndedFromOutside() const { return m_endedFromOutside; }

private:
    void OnIdle();
    // Plays the step, or the next part of it; arms the driver for the next idle.
    void PlayStep(const ScenarioStep& step);
    void Arm(std::vector<platform::ScriptStep> input = {});
    void Fail(const ScenarioStep& step, const std::string& reason);
    void Next();
    // Each returns an empty text when the step went on, otherwise why it failed.
    [[nodiscard]] std::string Tap(const ScenarioStep& step);
    [[nodiscard]] std::string Key(const ScenarioStep& step);
    [[nodiscard]] std::string Wait(const ScenarioStep& step);
    [[nodiscard]] std::string Drive();
    [[nodiscard]] std::string Frame(const ScenarioStep& step);
    [[nodiscard]] std::string Check();
    // Takes up what a check of the followed car waits for: the active window, the followed map
    // and the fix, each with the tick it changed at.
    void NoteScreen();
    // Before the explorer looks at the screen and before a frame: true once the threads the last
    // steps woke have done their work and no message they posted waits (real time: kSettledMs
    // without one, kSettleLimit in all); false while one waits, which the loop dispatches first.
    [[nodiscard]] bool IsSettled();
    // Appends the explorer's next step to the steps, when it has one.
    void Explore();
    // Ends the run when a step takes longer than the options allow (watchdog thread).
    void Watch();
    // The step at m_next began (for the watchdog).
    void NoteStepStart();
    // True when the wait's condition holds; what was seen instead otherwise.
    [[nodiscard]] bool IsMet(const ScenarioStep& step, std::string& seen) const;
    // Moves the stepped clock on by at most ms (up to the replay's next fix during a drive); the
    // paced clock moves by itself.
    void MoveClock(std::uint64_t ms);
    // Before a stepped clock moves, and before a step looks at the program: waits (in real time,
    // kWokenThreadsWait at most) until the threads that its last move woke from their timed
    // waits, or that input released, wait again, so that what they do (a receiver's message, a
    // timer's event) lands on the tick they woke at in every run. False when the wait ran out.
    bool LetWokenThreadsRun();
    // At each get and peek of the program's thread (input pump), from a step's input to the next
    // look: holds the thread while threads that the input released or started are at work, so
    // that it takes what they post at once, not in one batch in one run and in two in another.
    static void HoldAfterInputPump();
    void HoldAfterInput();
    void WrapVoice();
    // Takes up the arrival messages the map pages got since the last idle.
    void NoteArrivals();
    // Ends the named step's timing when the step at m_next has another name (or none).
    void NoteStepTime();
    [[nodiscard]] std::size_t MapFrames() const;
    // Shows a message box of the program (any thread) as a window that the steps see and
    // answer, unless a "messagebox" step answered it ahead; notes it for kMessageBoxesFile.
    int ShowMessageBox(const platform::MessageBoxRecord& record);
    [[nodiscard]] std::string FormatMessageBoxes();
    [[nodiscard]] bool WriteOutputs();

    ScenarioScript m_script; // the explorer's steps join it
    ScenarioOptions m_options;
    std::FILE* m_errors;
    ScenarioClock m_clock;
    platform::ScreenDriver m_driver;
    ScenarioWatch m_watch;
    std::shared_ptr<SaidTexts> m_said = std::make_shared<SaidTexts>();
    std::size_t m_next = 0;
    bool m_isStepStarted = false;
    bool m_isListOpened = false;        // a tap on a pick-list entry has opened the list
    int m_restedQuanta = 0;             // of the current step's wait
    bool m_hasRunOutBeforeStep = false; // the threads at work before this look ran out their wait
    bool m_isHoldingAfterInput = false; // a step's input played, not looked at since
    std::uint64_t m_stepStartMs = 0;
    std::function<std::string()> m_afterInput;
    bool m_hasFailed = false;
    std::optional<int> m_endedFromOutside;
    bool m_isVoiceWrapped = false;
    int m_drives = 0; // the drive steps played
    // The map pages driven on, each watched for its arrival message; the step each came in.
    std::vector<std::unique_ptr<platform::MessageSpy>> m_arrivalSpies;
    std::vector<std::string> m_arrivals;
    // Their maps, each watched for its paints.
    std::vector<std::unique_ptr<platform::MessageSpy>> m_paintSpies;
    // The named steps' times: where the current one began.
    std::string m_stepTimes;
    std::chrono::steady_clock::time_point m_namedStart = std::chrono::steady_clock::now();
    std::uint64_t m_namedStartMs = 0;
    std::size_t m_namedStartFrames = 0;
    std::size_t m_namedStartRunOutWaits = 0;
    // The message boxes: the step they come in, the answers given ahead, every box of the run.
    std::mutex m_boxMutex;
    std::string m_boxStep;
    std::deque<int> m_boxAnswers;
    std::vector<RunBox> m_boxes;
    bool m_isOver = false; // the steps are done: a box comes too late to be answered
    // The screen at a frame and repainted whole, kept from frame to frame.
    std::vector<std::uint32_t> m_screen;
    std::vector<std::uint32_t> m_repainted;
    // What a check of the followed car waits for (ticks of the clock).
    std::uint64_t m_lastInputMs = 0;
    HWND m_active = nullptr;
    HWND m_followedMap = nullptr;
    std::uint64_t m_screenSinceMs = 0;
    std::uint64_t m_fixSinceMs = kNever;
    std::size_t m_routesSeen = 0;
    std::uint64_t m_routeSinceMs = 0;
    // The failure reported, and whether the runner ended the program (not the program itself).
    std::string m_failure;
    bool m_isEnding = false;
    bool m_isSettling = false;
    std::chrono::steady_clock::time_point m_settleStart;
    // The watchdog: the step it times, from when (steady clock), and its stop.
    std::mutex m_watchMutex;
    std::condition_variable m_watchStop;
    bool m_isWatchStopping = false;
    // The waits of the stepped clock that ran out their limit: for the threads its last move woke
    // (kWokenThreadsWait) and for a fix the replay was due to publish (ScenarioWatch::KeepPace).
    std::size_t m_runOutWaits = 0;
    std::string m_watchedStep;
    std::chrono::steady_clock::time_point m_watchedSince = std::chrono::steady_clock::now();
};

Runner::Runner(const ScenarioScript& script, const ScenarioOptions& options, std::FILE* errors)
    : m_script(script)
    , m_options(options)
    , m_errors(errors)
    , m_clock(options.speed)
    , m_driver(&m_clock.Virtual()) {}

void Runner::Arm(std::vector<platform::ScriptStep> input) {
    input.push_back(platform::ScriptStep::Run([this] { OnIdle(); }));
    m_driver.PlayWhenIdle(std::move(input));
}

void Runner::Fail(const ScenarioStep& step, const std::string& reason) {
    m_failure = DescribeStep(step) + " failed: " + step.source + ": " + reason;
    (void)std::fprintf(m_errors, "navigator: %s\n", m_failure.c_str());
    m_hasFailed = true;
}

void Runner::Next() {
    ++m_next;
    m_isStepStarted = false;
    m_isListOpened = false;
    NoteStepTime();
    NoteStepStart();
    if (m_next < m_script.steps.size()) {
        m_watch.SetStep(m_script.steps[m_next].name);
        std::lock_guard lock(m_boxMutex);
        m_boxStep = m_script.steps[m_next].name;
    }
}

void Runner::NoteStepStart() {
    std::lock_guard lock(m_watchMutex);
    m_watchedSince = std::chrono::steady_clock::now();
    if (m_next < m_script.steps.size()) {
        const ScenarioStep& step = m_script.steps[m_next];
        m_watchedStep = DescribeStep(step) + " failed: " + step.source + ": the step";
    } else if (m_next > 0) {
        m_watchedStep = "the end of the steps after " + DescribeStep(m_script.steps[m_next - 1]);
    } else {
        m_watchedStep = "the program's start";
    }
}

void Runner::Watch() {
    const auto limit = std::chrono::seconds(m_options.stepSeconds);
    std::unique_lock lock(m_watchMutex);
    while (!m_watchStop.wait_for(lock, std::chrono::seconds(1),
                                 [this] { return m_isWatchStopping; })) {
        if (std::chrono::steady_clock::now() - m_watchedSince < limit)
            continue;
        // The program no longer comes back to its loop, or a step never ends: nothing on this
        // thread can end the run in order; what is there to keep is written first.
        const std::string failure = m_watchedStep +
                                    " has not ended, and the program has not come back to its "
                                    "loop for " +
                                    std::to_string(m_options.stepSeconds) +
                                    " s of real time (it hangs)";
        (void)std::fprintf(m_errors, "navigator: %s\n", failure.c_str());
        if (m_options.explorer != nullptr)
            m_options.explorer->Close(failure, false);
        std::_Exit(static_cast<int>(ScenarioExit::StepFailed));
    }
}

void Runner::NoteScreen() {
    const std::uint64_t now = m_clock.Virtual().TickMs();
    HWND active = ActiveWindow();
    HWND map = FollowingMapOfActivePage();
    if (active != m_active || map != m_followedMap) {
        m_active = active;
        m_followedMap = map;
        m_screenSinceMs = now;
    }
    if (GpsStateMonitor::Instance().GetFixClass() != 2)
        m_fixSinceMs = kNever;
    else if (m_fixSinceMs == kNever)
        m_fixSinceMs = now;
}

bool Runner::IsSettled() {
    const auto now = std::chrono::steady_clock::now();
    if (!m_isSettling) {
        m_isSettling = true;
        m_settleStart = now;
    }
    LetWokenThreadsRun();
    MSG message{};
    for (auto quiet = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - quiet < kSettledMs;) {
        if (std::chrono::steady_clock::now() - m_settleStart > kSettleLimit)
            break;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE)
            return false;
        std::this_thread::sleep_for(kWokenThreadsPoll);
        if (platform::ThreadsWokenByTheClock() != 0)
            quiet = std::chrono::steady_clock::now();
    }
    m_isSettling = false;
    return true;
}

void Runner::Explore() {
    const int lines = m_options.explorer->LinesWritten();
    const std::string text =
        m_options.explorer->Next(LookAtScreen(m_watch.CurrentRoute().has_value()));
    if (text.empty())
        return;
    ScenarioScript steps;
    ScriptError error;
    if (!ParseScenarioScript(text, steps, error)) {
        m_failure = "the explorer wrote a step that does not parse: " + error.message;
        (void)std::fprintf(m_errors, "navigator: %s\n", m_failure.c_str());
        m_hasFailed = true;
        return;
    }
    for (ScenarioStep& step : steps.steps) {
        step.line += lines;
        m_script.steps.push_back(std::move(step));
    }
    m_watch.SetStep(m_script.steps[m_next].name);
    {
        std::lock_guard lock(m_boxMutex);
        m_boxStep = m_script.steps[m_next].name;
    }
    NoteStepStart();
}

std::size_t Runner::MapFrames() const {
    std::size_t frames = 0;
    for (const auto& spy : m_paintSpies)
        frames += spy->Messages().size();
    return frames;
}

void Runner::NoteStepTime() {
    if (m_next == 0 || m_next > m_script.steps.size())
        return;
    const std::string& name = m_script.steps[m_next - 1].name;
    if (m_next < m_script.steps.size() && m_script.steps[m_next].name == name)
        return;
    const auto now = std::chrono::steady_clock::now();
    const std::uint64_t tick = m_clock.Virtual().TickMs();
    const std::size_t frames = MapFrames();
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_namedStart);
    m_stepTimes += name + '\t' + std::to_string(wall.count()) + '\t' +
                   std::to_string(tick - m_namedStartMs) + '\t' +
                   std::to_string(frames - m_namedStartFrames) + '\t' +
                   std::to_string(m_runOutWaits - m_namedStartRunOutWaits) + '\n';
    m_namedStart = now;
    m_namedStartMs = tick;
    m_namedStartFrames = frames;
    m_namedStartRunOutWaits = m_runOutWaits;
}

void Runner::WrapVoice() {
    if (m_isVoiceWrapped)
        return;
    six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput();
    if (!voice)
        return;
    m_isVoiceWrapped = true;
    SetVoiceOutput(six::RefCntPtr<IVoiceOutput>(new SaidTextRecorder(voice, m_said)));
}

void Runner::NoteArrivals() {
    std::size_t count = 0;
    for (const auto& spy : m_arrivalSpies)
        count += spy->Messages().size();
    const std::string step = m_next < m_script.steps.size() ? m_script.steps[m_next].name : "";
    while (m_arrivals.size() < count)
        m_arrivals.push_back(step);
}

void Runner::OnIdle() {
    {
        // A step that moves the clock comes back here at each of its moves: only a program that
        // no longer comes back to its loop hangs.
        std::lock_guard lock(m_watchMutex);
        m_watchedSince = std::chrono::steady_clock::now();
    }
    m_clock.NoteIdle();
    // The threads at work since the last look (woken by the clock's move, released by input)
    // finish first, and the loop dispatches what they posted, before a step looks at the
    // program: otherwise it would see their work on this tick in one run and on the next in
    // another. A wait that ran out lets the step play.
    if (!m_clock.IsPaced() && !m_hasRunOutBeforeStep && platform::ThreadsWokenByTheClock() != 0) {
        m_hasRunOutBeforeStep = !LetWokenThreadsRun();
        Arm();
        return;
    }
    m_hasRunOutBeforeStep = false;
    m_isHoldingAfterInput = false;
    NoteArrivals();
    if (const auto* menu = dynamic_cast<MainMenuWnd*>(
            WindowBase::FromWindow(FindWindowW(nullptr, LoadAppTitle().c_str())))) {
        WrapVoice();
        m_watch.Watch(menu->GetServer().Get());
    }
    NoteScreen();
    if (!m_hasFailed && m_next >= m_script.steps.size() && m_options.explorer != nullptr) {
        if (!IsSettled()) {
            Arm();
            return;
        }
        Explore();
    }
    if (m_hasFailed || m_next >= m_script.steps.size()) {
        // Done or failed: end the program, modal loops first (message boxes of other threads
        // too, which the program may wait for; later ones are not shown).
        m_isEnding = true;
        PostQuitMessage(0);
        {
            std::lock_guard lock(m_boxMutex);
            m_isOver = true;
        }
        platform::EndMessageBoxWindows();
        Arm();
        return;
    }
    const ScenarioStep& step = m_script.steps[m_next];
    if (m_afterInput) {
        const std::function<std::string()> check = std::move(m_afterInput);
        m_afterInput = nullptr;
        if (std::string problem = check(); !problem.empty())
            Fail(step, problem);
        else
            Next();
        Arm();
        return;
    }
    if (!m_isStepStarted) {
        m_isStepStarted = true;
        m_stepStartMs = m_clock.Virtual().TickMs();
        m_restedQuanta = 0;
    }
    if (m_watch.KeepPace(m_clock))
        ++m_runOutWaits;
    PlayStep(step);
}

void Runner::PlayStep(const ScenarioStep& step) {
    std::string problem;
    if (step.kind == ScenarioStepKind::Tap || step.kind == ScenarioStepKind::TapPoint ||
        step.kind == ScenarioStepKind::Key || step.kind == ScenarioStepKind::Text ||
        step.kind == ScenarioStepKind::Drive) {
        m_lastInputMs = m_clock.Virtual().TickMs();
        m_isHoldingAfterInput = true;
    }
    switch (step.kind) {
    case ScenarioStepKind::Tap:
        problem = Tap(step);
        break;
    case ScenarioStepKind::TapPoint: {
        const POINT point{step.x, step.y};
        Next();
        Arm({platform::ScriptStep::TapAt(point)});
        return;
    }
    case ScenarioStepKind::Key:
        problem = Key(step);
        break;
    case ScenarioStepKind::Text: {
        // Typed as the input panel types: each character a key press carrying it, so that the
        // controls that follow key presses (the combo boxes' completion) see it too.
        std::vector<platform::ScriptStep> input;
        for (const char16_t character : step.text) {
            input.push_back(platform::ScriptStep::Run([character] {
                platform::InjectKey(kPacketKey, true);
                platform::InjectChar(character);
                platform::InjectKey(kPacketKey, false);
            }));
        }
        Next();
        Arm(std::move(input));
        return;
    }
    case ScenarioStepKind::Clock: {
        const std::uint64_t moved = m_clock.Virtual().TickMs() - m_stepStartMs;
        if (moved >= step.ms) {
            Next();
            Arm();
        } else {
            MoveClock(std::min(step.ms - moved, kWaitQuantumMs));
        }
        return;
    }
    case ScenarioStepKind::WaitPage:
    case ScenarioStepKind::WaitText:
    case ScenarioStepKind::WaitSaid:
    case ScenarioStepKind::WaitFix:
    case ScenarioStepKind::WaitTmc:
        problem = Wait(step);
        break;
    case ScenarioStepKind::Frame:
        problem = Frame(step);
        break;
    case ScenarioStepKind::MessageBox: {
        {
            std::lock_guard lock(m_boxMutex);
            m_boxAnswers.push_back(static_cast<int>(step.id));
        }
        Next();
        break;
    }
    case ScenarioStepKind::OpenFile:
        platform::PushOpenFileAnswer(step.isCancel ? std::nullopt
                                                   : std::optional<std::u16string>(step.text));
        Next();
        break;
    case ScenarioStepKind::Drive:
        problem = Drive();
        break;
    case ScenarioStepKind::Check:
        problem = Check();
        if (problem.empty())
            Next();
        break;
    }
    if (!problem.empty())
        Fail(step, problem);
    // The steps that played input or moved the clock have armed the driver themselves.
    if (!problem.empty() || !m_driver.StepsLeft())
        Arm();
}

void Runner::MoveClock(std::uint64_t ms) {
    if (m_clock.IsPaced()) {
        std::this_thread::sleep_for(kPacedRest);
        Arm();
    } else {
        LetWokenThreadsRun();
        // Not past a fix that the replay is due to publish: it is taken up at its tick. The
        // threads the move wakes do their work before this thread dispatches anything, so that
        // what they bring and what it does on that tick meet in the same order in every run.
        const std::uint64_t step = m_watch.ClockStep(m_clock.Virtual().TickMs(), ms);
        Arm({platform::ScriptStep::Run([this, step] {
            m_clock.Virtual().Advance(step);
            (void)LetWokenThreadsRun();
        })});
    }
}

void Runner::HoldAfterInputPump() {
    if (Runner* runner = t_heldRunner)
        runner->HoldAfterInput();
}

void Runner::HoldAfterInput() {
    if (!m_isHoldingAfterInput || m_clock.IsPaced() || platform::ThreadsWokenByTheClock() == 0)
        return;
    // A wait that ran out is not waited again until the next input.
    if (!LetWokenThreadsRun())
        m_isHoldingAfterInput = false;
}

bool Runner::LetWokenThreadsRun() {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (platform::ThreadsWokenByTheClock() == 0)
            return true;
        if (std::chrono::steady_clock::now() - start >= kWokenThreadsWait) {
            ++m_runOutWaits;
            return false;
        }
        std::this_thread::sleep_for(kWokenThreadsPoll);
        m_clock.NoteIdle();
    }
}

std::string Runner::Tap(const ScenarioStep& step) {
    std::string problem;
    if (!step.text.empty() && !m_isListOpened) {
        // A pick-list entry: as a stylus does, first the drop-down button opens the list.
        const std::optional<POINT> button = FindDropButtonPoint(step.id, problem);
        if (!button)
            return problem;
        m_isListOpened = true;
        Arm({platform::ScriptStep::TapAt(*button)});
        return {};
    }
    const std::optional<POINT> point = step.text.empty()
                                           ? FindTapPoint(step.id, problem)
                                           : FindListEntryPoint(step.id, step.text, problem);
    if (!point)
        return problem;
    Next();
    Arm({platform::ScriptStep::TapAt(*point)});
    return {};
}

std::string Runner::Key(const ScenarioStep& step) {
    std::vector<platform::ScriptStep> input;
    const UINT modifier = step.modifier;
    if (modifier != 0)
        input.push_back(
            platform::ScriptStep::Run([modifier] { platform::InjectKey(modifier, true); }));
    input.push_back(platform::ScriptStep::Press(step.id));
    if (modifier != 0)
        input.push_back(
            platform::ScriptStep::Run([modifier] { platform::InjectKey(modifier, false); }));
    Next();
    Arm(std::move(input));
    return {};
}

bool Runner::IsMet(const ScenarioStep& step, std::string& seen) const {
    switch (step.kind) {
    case ScenarioStepKind::WaitPage: {
        HWND active = ActiveWindow();
        const std::u16string section = SectionOf(active);
        if (platform::IsMessageBoxWindow(active)) {
            seen = "the active window is the message box \"" +
                   Narrow(platform::WindowTextOf(active)) + "\"";
        } else if (platform::IsOpenFileDialogWindow(active)) {
            seen = "the active window is the open-file dialog \"" +
                   Narrow(platform::WindowTextOf(active)) + "\"";
        } else {
            seen = "the active window is " +
                   (section.empty() ? std::string("none of the screen's") : Narrow(section));
        }
        return section == step.text;
    }
    case ScenarioStepKind::WaitText:
        seen = "no shown window has the text";
        return IsTextShown(step.text);
    case ScenarioStepKind::WaitFix:
        seen = "the GPS state has no fix";
        return GpsStateMonitor::Instance().GetFixClass() == 2; // a usable fix
    case ScenarioStepKind::WaitTmc:
        seen = "the TMC monitor holds no message";
        return TmcMonitor::Instance().GetMessageCount() > 0;
    default: {
        const std::vector<std::u16string> said = m_said->Texts();
        seen = said.empty() ? "nothing was said"
                            : "the last text said is \"" + Narrow(said.back()) + "\"";
        return m_said->Contains(step.text);
    }
    }
}

std::string Runner::Wait(const ScenarioStep& step) {
    std::string seen;
    if (IsMet(step, seen)) {
        Next();
        return {};
    }
    const std::uint64_t waited = m_clock.Virtual().TickMs() - m_stepStartMs;
    if (waited >= step.ms)
        return seen + " after " + std::to_string(waited) + " ms";
    // The receivers' threads and what they post run in real time: a stepped clock gives them a
    // moment each quantum (a wait for the receivers every quantum, the others their first ones).
    if (!m_clock.IsPaced() &&
        (step.kind == ScenarioStepKind::WaitFix || step.kind == ScenarioStepKind::WaitTmc ||
         m_restedQuanta < kMaxRestedQuanta)) {
        ++m_restedQuanta;
        std::this_thread::sleep_for(kPacedRest);
    }
    MoveClock(std::min(step.ms - waited, kWaitQuantumMs));
    return {};
}

std::string Runner::Frame(const ScenarioStep& step) {
    // The screen as the user sees it once the program has done what the last step started: the
    // threads the clock's last move woke (a traffic message drawn into the map's data on the
    // receiver's thread) have done their work and what they asked for is painted. Taken earlier,
    // the whole repaint would show what the screen is only about to.
    if (!IsSettled())
        return {};
    const std::filesystem::path file = m_options.outFolder / (Narrow(step.text) + ".png");
    int width = 0;
    int height = 0;
    if (!platform::ReadScreenPixels(nullptr, &m_screen, &width, &height))
        return "cannot read the screen";
    if (m_options.writeFrames) {
        if (!platform::SavePng(m_screen, width, height, file))
            return "cannot write " + file.string();
        // Beside the picture, the texts it shows, one a line.
        std::filesystem::path textFile = file;
        textFile.replace_extension(".txt");
        std::ofstream texts(textFile, std::ios::binary);
        for (const std::u16string& text : ShownTexts())
            texts << Narrow(text) << '\n';
        for (const std::string& line : ShownMapLines())
            texts << line << '\n';
        texts.close();
        if (!texts)
            return "cannot write " + textFile.string();
    }
    // What the frame shows must be what the program paints when it paints the screen whole at
    // this moment; pixels left behind by a window that went away differ.
    if (std::string problem = CompareWithWholeRepaint(m_screen, width, m_repainted);
        !problem.empty()) {
        // Both pictures of a failing frame are kept, also where frames are not written.
        std::filesystem::path whole = file;
        whole.replace_filename(Narrow(step.text) + "-whole.png");
        if (!m_options.writeFrames && !platform::SavePng(m_screen, width, height, file))
            problem += "; cannot write " + file.string();
        if (!platform::SavePng(m_repainted, width, height, whole))
            problem += "; cannot write " + whole.string();
        return problem;
    }
    Next();
    return {};
}

std::string Runner::Check() {
    if (std::string problem = FindUnfilledText(); !problem.empty())
        return problem;
    const std::size_t routes = m_watch.Routes().size();
    const std::uint64_t now = m_clock.Virtual().TickMs();
    if (routes != m_routesSeen) {
        m_routesSeen = routes;
        m_routeSinceMs = now;
    }
    NoteScreen();
    // The car is followed again once the suspension that the last input, a new route or a
    // change of the page may have started is over, while the receiver has a fix.
    const std::uint64_t quietSince =
        std::max({m_lastInputMs, m_screenSinceMs, m_fixSinceMs, m_routeSinceMs});
    if (m_followedMap == nullptr || quietSince == kNever ||
        (now - quietSince < FollowSuspensionMs() + kFollowMarginMs))
        return {};
    int width = 0;
    int height = 0;
    if (!platform::ReadScreenPixels(nullptr, &m_screen, &width, &height))
        return "cannot read the screen";
    return CheckFollowedCar(m_followedMap, m_screen, width);
}

std::string Runner::Drive() {
    const std::optional<RouteRequestResult> route = m_watch.CurrentRoute();
    if (!route)
        return "the server has no route";
    HWND page = ActiveWindow();
    if (SectionOf(page) != u"CNMapPage")
        return "the map page is not shown";
    // The replay keeps the file it reads open: a later drive writes a file of its own.
    std::string file = kDriveFile;
    if (m_drives > 0)
        file.insert(file.rfind('.'), std::to_string(m_drives + 1));
    if (std::string problem = WriteDriveFile(file, *route, m_watch.CarPosition());
        !problem.empty()) {
        return problem;
    }
    ++m_drives;
    if (std::none_of(m_arrivalSpies.begin(), m_arrivalSpies.end(),
                     [page](const auto& spy) { return spy->Window() == page; })) {
        m_arrivalSpies.push_back(std::make_unique<platform::MessageSpy>(
            page, std::vector<UINT>{CNMapPage::kArrivalMessage}));
    }
    if (const auto* mapPage = dynamic_cast<const CNMapPage*>(WindowBase::FromWindow(page));
        mapPage != nullptr && mapPage->GetMapView() != nullptr) {
        HWND map = mapPage->GetMapView()->GetHwnd();
        if (map != nullptr &&
            std::none_of(m_paintSpies.begin(), m_paintSpies.end(),
                         [map](const auto& spy) { return spy->Window() == map; })) {
            m_paintSpies.push_back(
                std::make_unique<platform::MessageSpy>(map, std::vector<UINT>{WM_PAINT}));
        }
    }
    const std::size_t asked = platform::RecordedOpenFileRequests().size();
    platform::PushOpenFileAnswer(std::u16string(file.begin(), file.end()));
    m_afterInput = [this, asked]() -> std::string {
        if (platform::RecordedOpenFileRequests().size() == asked) {
            platform::ClearOpenFileDialogs();
            return "the map page asked for no replay file (is \"Simulation\" set?)";
        }
        m_watch.StartDrive(m_clock.Virtual().TickMs());
        return {};
    };
    Arm({platform::ScriptStep::Run([page] { PostMessageW(page, WM_KEYDOWN, 'L', 0); })});
    return {};
}

int Runner::ShowMessageBox(const platform::MessageBoxRecord& record) {
    std::size_t index = 0;
    int answer = 0;
    bool isScripted = false;
    {
        std::lock_guard lock(m_boxMutex);
        isScripted = !m_boxAnswers.empty();
        if (isScripted) {
            answer = m_boxAnswers.front();
            m_boxAnswers.pop_front();
        }
        index = m_boxes.size();
        m_boxes.push_back(RunBox{m_boxStep, record, isScripted});
        m_boxes.back().record.answer = answer;
        if (m_isOver && !isScripted)
            return 0;
    }
    if (isScripted)
        return answer;
    answer = platform::ShowMessageBoxWindow(record);
    std::lock_guard lock(m_boxMutex);
    m_boxes[index].record.answer = answer;
    return answer;
}

std::string Runner::FormatMessageBoxes() {
    std::lock_guard lock(m_boxMutex);
    std::string text;
    for (const RunBox& box : m_boxes) {
        const std::u16string answer = platform::MessageBoxButtonText(box.record.answer);
        text += box.step + '\t' + BoxField(box.record.caption) + '\t' + BoxField(box.record.text) +
                '\t' + Narrow(answer) + '\t' + (box.isScripted ? "scripted" : "shown") + '\n';
        if (answer.empty()) {
            (void)std::fprintf(m_errors,
                               "navigator: the message box \"%s\" (step \"%s\") was left "
                               "unanswered: %s\n",
                               Narrow(box.record.caption).c_str(), box.step.c_str(),
                               BoxField(box.record.text).c_str());
        }
    }
    return text;
}

bool Runner::WriteOutputs() {
    bool isWritten = true;
    std::ofstream said(m_options.outFolder / kSaidTextsFile, std::ios::binary);
    for (const std::u16string& text : m_said->Texts())
        said << Narrow(text) << '\n';
    said.close();
    if (!said) {
        (void)std::fprintf(m_errors, "navigator: cannot write %s\n", kSaidTextsFile);
        isWritten = false;
    }
    std::string launched;
    for (const platform::ProcessLaunch& launch : platform::RecordedProcessLaunches())
        launched += Narrow(launch.imageName) + '\t' + Narrow(launch.commandLine) + '\n';
    std::string arrivals;
    for (const std::string& step : m_arrivals)
        arrivals += step + '\n';
    for (const auto& [name, text] :
         {std::pair{kRoutesFile, FormatRoutes(m_watch.Routes())},
          std::pair{kLaunchesFile, launched}, std::pair{kArrivalsFile, arrivals},
          std::pair{kStepTimesFile, m_stepTimes},
          std::pair{kMessageBoxesFile, FormatMessageBoxes()}}) {
        std::ofstream file(m_options.outFolder / name, std::ios::binary);
        file << text;
        file.close();
        if (!file) {
            (void)std::fprintf(m_errors, "navigator: cannot write %s\n", name);
            isWritten = false;
        }
    }
    std::size_t skipped = 0;
    const std::vector<std::uint8_t> wave = EncodeSounds(platform::RecordedSounds(), skipped);
    if (skipped > 0) {
        (void)std::fprintf(m_errors, "navigator: %zu sounds of another format are not in %s\n",
                           skipped, kSoundsFile);
    }
    std::ofstream sounds(m_options.outFolder / kSoundsFile, std::ios::binary);
    sounds.write(reinterpret_cast<const char*>(wave.data()),
                 static_cast<std::streamsize>(wave.size()));
    sounds.close();
    if (!sounds) {
        (void)std::fprintf(m_errors, "navigator: cannot write %s\n", kSoundsFile);
        isWritten = false;
    }
    return isWritten;
}

int Runner::Run() {
    platform::ClearRecordedSounds();
    platform::ClearRecordedMessageBoxes();
    platform::ClearOpenFileDialogs();
    platform::ClearRecordedProcessLaunches();
    if (!m_script.steps.empty()) {
        m_watch.SetStep(m_script.steps.front().name);
        m_boxStep = m_script.steps.front().name;
    }
    platform::SetMessageBoxSink(
        [this](const platform::MessageBoxRecord& record) { return ShowMessageBox(record); });
    // A dialog no openfile step answered ahead is shown, for the steps to answer.
    platform::SetOpenFilePresenter(platform::ShowOpenFileDialogWindow);
    m_namedStart = std::chrono::steady_clock::now();
    m_namedStartMs = m_clock.Virtual().TickMs();
    NoteStepStart();
    std::thread watchdog;
    if (m_options.stepSeconds > 0)
        watchdog = std::thread([this] { Watch(); });
    Arm();
    t_heldRunner = this;
    platform::SetInputPump(&Runner::HoldAfterInputPump);
    const int result = m_clock.Run([] { return WinMain(nullptr, nullptr, nullptr, 1); });
    platform::SetInputPump(nullptr);
    t_heldRunner = nullptr;
    if (watchdog.joinable()) {
        {
            std::lock_guard lock(m_watchMutex);
            m_isWatchStopping = true;
        }
        m_watchStop.notify_all();
        watchdog.join();
    }
    // Boxes after the program's end (static destructors) are answered unseen.
    platform::SetMessageBoxSink(nullptr);
    platform::SetOpenFilePresenter({});
    m_watch.Forget();
    NoteArrivals();
    m_arrivalSpies.clear();
    m_paintSpies.clear();
    // An end asked from outside (a signal, the display lost) is the user's, not a failure of the
    // program: it is told, and the steps not played are left unjudged.
    const std::optional<int> endedFromOutside = platform::AskedProgramEnd();
    if (!m_hasFailed && m_next < m_script.steps.size()) {
        const ScenarioStep& step = m_script.steps[m_next];
        if (endedFromOutside) {
            (void)std::fprintf(m_errors, "navigator: %s ended the program at %s: %s\n",
                               platform::DescribeProgramEnd(*endedFromOutside),
                               DescribeStep(step).c_str(), step.source.c_str());
        } else {
            Fail(step, "the program ended before it");
        }
    }
    if (ScenarioExplorer* explorer = m_options.explorer) {
        // The program ended by itself between the explorer's steps: the script ends with a
        // step that a replay fails at in the same way.
        const bool hasEnded = !m_hasFailed && !m_isEnding && !endedFromOutside;
        if (hasEnded) {
            m_failure = "the program ended after step " + std::to_string(explorer->Played());
            (void)std::fprintf(m_errors, "navigator: %s\n", m_failure.c_str());
            m_hasFailed = true;
        }
        const std::string played = std::to_string(explorer->Played());
        explorer->Close(m_hasFailed ? m_failure
                        : endedFromOutside
                            ? std::string(platform::DescribeProgramEnd(*endedFromOutside)) +
                                  " ended the program after step " + played
                            : "all " + played + " steps passed",
                        hasEnded);
    }
    const bool isWritten = WriteOutputs();
    m_endedFromOutside = endedFromOutside;
    if (m_hasFailed || !isWritten) {
        m_hasFailed = true;
        return static_cast<int>(ScenarioExit::StepFailed);
    }
    return endedFromOutside.value_or(result);
}

// Runs the script; hasFailed and endedFromOutside tell the caller what the exit code alone
// cannot (SIGHUP's code is a failure's too).
int PlayScenario(const ScenarioScript& script, const ScenarioOptions& options, std::FILE* errors,
                 bool& hasFailed, std::optional<int>& endedFromOutside) {
    // Each frame's check reads the texts drawn, into bitmaps too, from the program's start.
    platform::KeepDrawnTexts(std::getenv("NAV_NO_TEXTS") == nullptr);
    Runner runner(script, options, errors);
    const int result = runner.Run();
    platform::KeepDrawnTexts(false);
    hasFailed = runner.HasFailed();
    endedFromOutside = runner.EndedFromOutside();
    return result;
}

} // namespace

int RunScenario(const ScenarioScript& script, const ScenarioOptions& options, std::FILE* errors) {
    bool hasFailed = false;
    std::optional<int> endedFromOutside;
    return PlayScenario(script, options, errors, hasFailed, endedFromOutside);
}

int RunScenarioFile(const std::filesystem::path& scriptFile, const ScenarioOptions& options,
                    std::FILE* errors) {
    constexpr std::uintmax_t kMaxScriptBytes = 1 << 20;
    std::error_code code;
    const std::uintmax_t size = std::filesystem::file_size(scriptFile, code);
    std::ifstream file(scriptFile, std::ios::binary);
    if (code || !file || size > kMaxScriptBytes) {
        (void)std::fprintf(errors, "navigator: cannot read the script %s%s\n",
                           scriptFile.string().c_str(),
                           size > kMaxScriptBytes && !code ? " (over 1 MiB)" : "");
        return static_cast<int>(ScenarioExit::BadScript);
    }
    std::stringstream text;
    text << file.rdbuf();
    ScenarioScript script;
    ScriptError error;
    if (!ParseScenarioScript(text.str(), script, error)) {
        (void)std::fprintf(errors, "navigator: %s line %d: %s\n", scriptFile.string().c_str(),
                           error.line, error.message.c_str());
        return static_cast<int>(ScenarioExit::BadScript);
    }
    std::filesystem::create_directories(options.outFolder, code);
    if (code || !std::filesystem::is_directory(options.outFolder)) {
        (void)std::fprintf(errors, "navigator: cannot make the out folder %s\n",
                           options.outFolder.string().c_str());
        return static_cast<int>(ScenarioExit::BadScript);
    }
    return RunScenario(script, options, errors);
}

std::filesystem::path ExploreScriptFile(const std::filesystem::path& outFolder,
                                        std::uint64_t seed) {
    return outFolder / ("explore-" + std::to_string(seed) + ".txt");
}

int ExploreScenario(std::uint64_t seed, int steps, ScenarioOptions options, std::FILE* errors) {
    constexpr int kExploreStepSeconds = 60;
    std::error_code code;
    std::filesystem::create_directories(options.outFolder, code);
    const std::filesystem::path file = ExploreScriptFile(options.outFolder, seed);
    ScenarioExplorer explorer(seed, steps, file);
    std::string problem;
    const std::string head = code ? std::string() : explorer.Open(problem);
    ScenarioScript script;
    ScriptError error;
    if (head.empty() || !ParseScenarioScript(head, script, error)) {
        (void)std::fprintf(errors, "navigator: cannot make the out folder %s or the script in it\n",
                           options.outFolder.string().c_str());
        return static_cast<int>(ScenarioExit::BadScript);
    }
    options.writeFrames = false;
    options.explorer = &explorer;
    options.stepSeconds = kExploreStepSeconds;
    bool hasFailed = false;
    std::optional<int> endedFromOutside;
    const int result = PlayScenario(script, options, errors, hasFailed, endedFromOutside);
    // A step that failed fails the exploration, whatever ended it afterwards; ended from outside
    // (the user, a time limit) before any failed, the steps played are not judged as a whole.
    const bool isFailed = hasFailed || (!endedFromOutside && result != 0);
    const std::string verdict = isFailed ? "failed"
                                : endedFromOutside
                                    ? std::string("ended by ") +
                                          platform::DescribeProgramEnd(*endedFromOutside) +
                                          " before its " + std::to_string(steps) + " steps"
                                    : "passed";
    (void)std::fprintf(errors,
                       "navigator: explored %d steps from seed %llu: %s; the script is %s\n",
                       explorer.Played(), static_cast<unsigned long long>(seed), verdict.c_str(),
                       file.string().c_str());
    if (isFailed)
        return static_cast<int>(ScenarioExit::StepFailed);
    return endedFromOutside.value_or(0);
}
