#pragma once
// The end of the program asked from outside its message loop: by a signal that ends a process
// (SIGHUP, SIGINT, SIGTERM) or by the loss of its display. The thread that runs the program's
// message loop gets WM_QUIT, which ends every message loop, and the program then ends as after a
// quit: its windows closed, what it keeps written, the instance channel closed. A backstop ends
// the process when the loop has not ended within ten seconds, or when the end, begun, is still
// running a minute later; it says so on the error output. A write to a pipe or socket whose
// reader is gone (an error output that went with an ssh session) fails with EPIPE instead of
// ending the process. Safe from any thread, but not from a signal handler.

#include "platform/types.h"

#include <chrono>
#include <functional>
#include <optional>

namespace platform {

// The exit codes of an end asked: the session or the display lost (SIGHUP too), and SIGINT and
// SIGTERM as a shell reports a program that such a signal ended (128 + its number).
inline constexpr int kLostSessionExitCode = 1;
inline constexpr int kInterruptExitCode = 130;
inline constexpr int kTerminateExitCode = 143;

// From now on a write to a pipe or socket whose reader is gone fails with EPIPE instead of
// ending the process. Programs the process starts get the default again.
void KeepBrokenPipesFromEndingTheProcess();

// Turns SIGHUP, SIGINT and SIGTERM into an end asked of loopThread, with the exit codes above;
// one that the process was started with ignored (nohup, a background job) stays ignored. Until
// this is called they end the process at once, as nothing of the program needs ending yet.
// loopThread must have its message queue by then (PeekMessageW makes it), so that an end asked
// at any moment reaches the first message loop that runs.
void EndInOrderOnSignals(DWORD loopThread);

// Asks the end of the program whose message loop runs on loopThread: WM_QUIT is posted to it and
// the backstop starts. Only the first end asked counts; false for a later one, and false, with
// nothing asked, when loopThread has no message queue.
bool AskProgramEnd(DWORD loopThread, int exitCode);

// The exit code of the end asked, nullopt when none was.
[[nodiscard]] std::optional<int> AskedProgramEnd();

// What asks an end of that exit code, for a message: "SIGINT", "SIGTERM", or "a hang-up or the
// display lost" (SIGHUP and a lost session or display alike).
[[nodiscard]] const char* DescribeProgramEnd(int exitCode);

// Said by the program when its message loop has ended and its end is under way: the backstop then
// waits for the end's own time instead of the loop's.
void NoteProgramEndBegun();

// Test seam: the backstop's two times and what it does when one runs out (by default: says so
// and ends the process with the exit code asked). Resets what was asked. Not for a program.
struct ProgramEndBackstop {
    std::chrono::milliseconds loopTime{10000};   // for the message loop to end
    std::chrono::milliseconds endingTime{60000}; // for the end, once begun
    std::function<void(int exitCode, bool hasBegun)> onTimeOut;
};
void ResetProgramEndForTests(ProgramEndBackstop backstop);

} // namespace platform
