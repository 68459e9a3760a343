#pragma once
// Starting other programs. Every request is recorded (tests read the records); a configurable
// launcher decides whether the program starts. Headless (the default) nothing runs and every
// launch succeeds. Safe from any thread.

#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

struct STARTUPINFOW; // not used: callers pass null

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Starts imageName with commandLine (either may be null, not both). On success fills
// processInformation (when given) with new process and thread handles, which the caller closes
// with CloseHandle. FALSE with ERROR_INVALID_PARAMETER for no image and no command line, or with
// the launcher's error code when the launcher refuses.
[[nodiscard]] BOOL CreateProcessW(LPCWSTR imageName, LPCWSTR commandLine, void* processSecurity,
                                  void* threadSecurity, BOOL inheritHandles, DWORD creationFlags,
                                  LPVOID environment, LPCWSTR currentDirectory,
                                  STARTUPINFOW* startupInfo,
                                  LPPROCESS_INFORMATION processInformation);

namespace platform {

struct ProcessLaunch {
    std::u16string imageName;
    std::u16string commandLine;
    DWORD creationFlags = 0;
};

// Returns ERROR_SUCCESS when the program was started, otherwise the error to report.
using ProcessLauncher = std::function<DWORD(const ProcessLaunch&)>;

// Replaces the launcher; an empty function restores the headless one (always succeeds).
void SetProcessLauncher(ProcessLauncher launcher);
// The launches requested since the last clear, oldest first (also those that failed).
[[nodiscard]] std::vector<ProcessLaunch> RecordedProcessLaunches();
void ClearRecordedProcessLaunches();

} // namespace platform
