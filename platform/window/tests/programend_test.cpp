#include "platform/kernel/sync.h"
#include "platform/window/message.h"
#include "platform/window/programend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

// The exit code of the WM_QUIT this thread's queue gets within limit; nullopt when none came.
std::optional<int> QuitCodeWithin(milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    MSG msg{};
    while (std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            if (msg.message == WM_QUIT)
                return static_cast<int>(msg.wParam);
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    return std::nullopt;
}

// What the backstop did, from its own thread.
struct BackstopRecord {
    std::mutex mutex;
    std::condition_variable changed;
    bool isCut = false;
    int exitCode = -1;
    bool hasBegun = false;

    // True when the backstop cut the end within limit.
    bool AwaitCut(milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [this] { return isCut; });
    }
};

// An end asked posts WM_QUIT with its exit code to the loop's thread, and only the first end
// asked counts. The backstop ends a program whose loop has not ended within the loop's time; an
// end begun in time is left to run, and cut only when it outlasts the end's own time (a file its
// end writes stalled longer than the loop's time is still written).
TEST(ProgramEnd, QuitsTheLoopAndCutsOnlyAnEndThatOutlastsItsTime) {
    constexpr milliseconds kShort{50};
    constexpr milliseconds kLong{60000};
    const struct {
        const char* what;
        milliseconds loopTime;
        milliseconds endingTime;
        bool begins; // the program says its end is under way
        bool isCut;  // the backstop ends the process
    } rows[] = {
        {"a loop that does not end in its time", kShort, kLong, false, true},
        {"an end begun that runs past the loop's time", kShort, kLong, true, false},
        {"an end begun that runs past its own time", kLong, kShort, true, true},
    };
    // A thread without a message queue cannot be told: nothing is asked, and a later end may be.
    DWORD queueless = 0;
    std::thread([&queueless] { queueless = GetCurrentThreadId(); }).join();
    platform::ResetProgramEndForTests({});
    EXPECT_FALSE(platform::AskProgramEnd(queueless, platform::kTerminateExitCode));
    EXPECT_EQ(platform::AskedProgramEnd(), std::nullopt);
    MSG msg{};
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto record = std::make_shared<BackstopRecord>();
        platform::ResetProgramEndForTests(
            {row.loopTime, row.endingTime, [record](int exitCode, bool hasBegun) {
                 std::lock_guard lock(record->mutex);
                 record->isCut = true;
                 record->exitCode = exitCode;
                 record->hasBegun = hasBegun;
                 record->changed.notify_all();
             }});
        EXPECT_EQ(platform::AskedProgramEnd(), std::nullopt);
        EXPECT_TRUE(platform::AskProgramEnd(GetCurrentThreadId(), platform::kTerminateExitCode));
        EXPECT_FALSE(platform::AskProgramEnd(GetCurrentThreadId(), platform::kLostSessionExitCode));
        EXPECT_EQ(platform::AskedProgramEnd(), platform::kTerminateExitCode);
        EXPECT_EQ(QuitCodeWithin(milliseconds(10000)), platform::kTerminateExitCode);
        if (row.begins)
            platform::NoteProgramEndBegun();
        // An end left to run is looked at for six times the short time it outlasts.
        EXPECT_EQ(record->AwaitCut(row.isCut ? milliseconds(10000) : 6 * kShort), row.isCut);
        std::lock_guard lock(record->mutex);
        if (row.isCut) {
            EXPECT_EQ(record->exitCode, platform::kTerminateExitCode);
            EXPECT_EQ(record->hasBegun, row.begins);
        }
    }
    platform::ResetProgramEndForTests({});
}

// SIGHUP, SIGINT and SIGTERM become an end asked of the loop's thread with the exit code of their
// kind, unless the process was started with the signal ignored (nohup, a background job), and a
// write to a pipe whose reader is gone fails with EPIPE instead of ending the process.
TEST(ProgramEnd, SignalsAskTheEndAndABrokenPipeFailsItsWrite) {
    const struct {
        int number;
        int exitCode;
        bool isIgnoredAtStart = false;
    } rows[] = {
        {SIGHUP, platform::kLostSessionExitCode},
        {SIGINT, platform::kInterruptExitCode},
        {SIGTERM, platform::kTerminateExitCode},
        {SIGHUP, platform::kLostSessionExitCode, true},
        {SIGINT, platform::kInterruptExitCode, true},
    };
    MSG msg{};
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.number) + (row.isIgnoredAtStart ? " ignored" : ""));
        for (const int number : {SIGHUP, SIGINT, SIGTERM})
            (void)std::signal(number,
                              number == row.number && row.isIgnoredAtStart ? SIG_IGN : SIG_DFL);
        platform::EndInOrderOnSignals(GetCurrentThreadId());
        platform::ResetProgramEndForTests({milliseconds(60000), milliseconds(60000), {}});
        ASSERT_EQ(::kill(::getpid(), row.number), 0);
        const std::optional<int> quit =
            QuitCodeWithin(milliseconds(row.isIgnoredAtStart ? 300 : 10000));
        EXPECT_EQ(quit, row.isIgnoredAtStart ? std::nullopt : std::optional<int>(row.exitCode));
        EXPECT_EQ(platform::AskedProgramEnd(), quit);
    }
    platform::ResetProgramEndForTests({});
    for (const int number : {SIGHUP, SIGINT, SIGTERM})
        (void)std::signal(number, SIG_DFL);

    platform::KeepBrokenPipesFromEndingTheProcess();
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const char byte = 'x';
    EXPECT_EQ(::write(ends[1], &byte, 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(ends[1]);
    (void)std::signal(SIGPIPE, SIG_DFL);
}

} // namespace
