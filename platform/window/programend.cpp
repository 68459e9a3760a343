// The end of the program asked by a signal or by the loss of its display.
#include "platform/window/programend.h"

#include "platform/window/message.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

struct ProgramEndState {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<int> asked;
    bool hasBegun = false;
    int generation = 0; // a reset ends the backstop of what was asked before
    platform::ProgramEndBackstop backstop;
};

void EndProcessUnfinished(int exitCode, bool hasBegun) {
    (void)std::fprintf(stderr, "%s: the program did not end within %s; it ends now\n",
                       program_invocation_short_name,
                       hasBegun ? "a minute of its end" : "10 seconds");
    ::_exit(exitCode);
}

// Never destroyed: a backstop thread may still wait on it while the process ends.
ProgramEndState& EndState() {
    static auto* state = [] {
        auto* made = new ProgramEndState;
        made->backstop.onTimeOut = EndProcessUnfinished;
        return made;
    }();
    return *state;
}

// Waits for the loop to end and then for the end itself, each within its time.
void RunProgramEndBackstop(int generation) {
    ProgramEndState& state = EndState();
    std::unique_lock lock(state.mutex);
    const auto isReset = [&] { return state.generation != generation; };
    const bool hasLoopEnded = state.changed.wait_for(lock, state.backstop.loopTime,
                                                     [&] { return state.hasBegun || isReset(); });
    if (hasLoopEnded && !isReset())
        (void)state.changed.wait_for(lock, state.backstop.endingTime, isReset);
    if (isReset())
        return;
    const int exitCode = state.asked.value_or(platform::kLostSessionExitCode);
    const bool hasBegun = state.hasBegun;
    const auto onTimeOut = state.backstop.onTimeOut;
    lock.unlock();
    onTimeOut(exitCode, hasBegun);
}

// The signals' way out of their handler: the number of each as a byte.
int g_signalPipe[2] = {-1, -1};
std::atomic<DWORD> g_loopThread{0};

void PassEndSignalOn(int number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    (void)!::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

void PassBrokenPipeOver(int) {}

int ExitCodeOfSignal(int number) {
    if (number == SIGINT)
        return platform::kInterruptExitCode;
    if (number == SIGTERM)
        return platform::kTerminateExitCode;
    return platform::kLostSessionExitCode;
}

void ReadEndSignals() {
    unsigned char byte = 0;
    for (;;) {
        const ssize_t count = ::read(g_signalPipe[0], &byte, 1);
        if (count == 1)
            (void)platform::AskProgramEnd(g_loopThread.load(), ExitCodeOfSignal(byte));
        else if (count == 0 || errno != EINTR)
            return;
    }
}

void Catch(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    (void)sigemptyset(&action.sa_mask);
    (void)::sigaction(number, &action, nullptr);
}

} // namespace

namespace platform {

void KeepBrokenPipesFromEndingTheProcess() {
    // A handler, not SIG_IGN: an ignored signal stays ignored in the programs the process starts.
    Catch(SIGPIPE, PassBrokenPipeOver);
}

void EndInOrderOnSignals(DWORD loopThread) {
    g_loopThread = loopThread;
    static const bool isReading = [] {
        if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
            return false;
        (void)::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
        std::thread(ReadEndSignals).detach();
        return true;
    }();
    if (!isReading)
        return;
    for (const int number : {SIGHUP, SIGINT, SIGTERM}) {
        // A signal the program was started with ignored (nohup, a background job of a shell)
        // stays ignored, as whoever started it asked.
        struct sigaction started {};
        if (::sigaction(number, nullptr, &started) == 0 && started.sa_handler == SIG_IGN)
            continue;
        Catch(number, PassEndSignalOn);
    }
}

bool AskProgramEnd(DWORD loopThread, int exitCode) {
    ProgramEndState& state = EndState();
    int generation = 0;
    {
        std::lock_guard lock(state.mutex);
        // A loop thread without a message queue cannot be told: the end is not asked then, and
        // a later ask may still be.
        if (state.asked ||
            PostThreadMessageW(loopThread, WM_QUIT, static_cast<WPARAM>(exitCode), 0) == FALSE)
            return false;
        state.asked = exitCode;
        generation = state.generation;
    }
    std::thread(RunProgramEndBackstop, generation).detach();
    return true;
}

std::optional<int> AskedProgramEnd() {
    ProgramEndState& state = EndState();
    std::lock_guard lock(state.mutex);
    return state.asked;
}

const char* DescribeProgramEnd(int exitCode) {
    if (exitCode == kInterruptExitCode)
        return "SIGINT";
    if (exitCode == kTerminateExitCode)
        return "SIGTERM";
    return "a hang-up or the display lost";
}

void NoteProgramEndBegun() {
    ProgramEndState& state = EndState();
    std::lock_guard lock(state.mutex);
    state.hasBegun = true;
    state.changed.notify_all();
}

void ResetProgramEndForTests(ProgramEndBackstop backstop) {
    ProgramEndState& state = EndState();
    std::lock_guard lock(state.mutex);
    ++state.generation;
    state.asked.reset();
    state.hasBegun = false;
    if (!backstop.onTimeOut)
        backstop.onTimeOut = EndProcessUnfinished;
    state.backstop = std::move(backstop);
    state.changed.notify_all();
}

} // namespace platform
