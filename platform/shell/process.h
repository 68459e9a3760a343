#pragma once
// Starting and ending other programs. Every request is recorded (tests read the records); a
// configurable launcher decides whether the program starts. Headless (the default) nothing runs
// and every launch succeeds. A process handle is signalled once the process was terminated.
// Safe from any thread.

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

// The program started but ended at once with a failure.
constexpr DWORD ERROR_PROCESS_ABORTED = 1067;

constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x40;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x400;

struct SHELLEXECUTEINFOW {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    HANDLE hProcess; // set with SEE_MASK_NOCLOSEPROCESS: the caller closes it
};
using LPSHELLEXECUTEINFOW = SHELLEXECUTEINFOW*;

// Runs lpVerb on lpFile with lpParameters through the launcher, as CreateProcessW does. With
// SEE_MASK_NOCLOSEPROCESS hProcess receives the new process's handle; it is null otherwise and
// on failure. FALSE with
// ERROR_INVALID_PARAMETER for a null record or no file (nothing recorded), or with the
// launcher's error when the launcher refuses (recorded, hProcess null).
[[nodiscard]] BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info);

// Ends the process of a handle from CreateProcessW or ShellExecuteExW: it is recorded and its
// handle becomes signalled. FALSE with ERROR_INVALID_HANDLE for any other handle; terminating an
// ended process again changes nothing and succeeds.
BOOL TerminateProcess(HANDLE process, UINT exitCode);

namespace platform {

struct ProcessLaunch {
    std::u16string imageName;   // CreateProcessW's image, ShellExecuteExW's file
    std::u16string commandLine; // CreateProcessW's command line, ShellExecuteExW's parameters
    DWORD creationFlags = 0;    // CreateProcessW only
    std::u16string verb;        // ShellExecuteExW only
    ULONG mask = 0;             // ShellExecuteExW only
    DWORD processId = 0;        // 0 when the launch failed
};

struct ProcessTermination {
    DWORD processId = 0;
    UINT exitCode = 0;
};

// Returns ERROR_SUCCESS when the program was started, otherwise the error to report.
using ProcessLauncher = std::function<DWORD(const ProcessLaunch&)>;

// Replaces the launcher; an empty function restores the headless one (always succeeds).
void SetProcessLauncher(ProcessLauncher launcher);
// The launcher of a visible run. A launch of "peghelp.exe" (any letter case, any folder) starts
// the host program named by "Viewer" in section "peghelp.exe" of the device's
// "\Windows\launch.ini", detached, with one argument: for a command line "file:" + device path
// (+ "#anchor") the "file://" URL of that file on the host (percent-encoded), else the command
// line as it is. The viewer's standard streams are the null device and it holds no other
// descriptor of this process. A viewer that cannot be started fails the launch with
// ERROR_FILE_NOT_FOUND, and one that ends with a failure (a status other than 0, or a signal)
// within a quarter of a second of its start with ERROR_PROCESS_ABORTED; the launch waits that
// long at most. Without the file or
// the key, and for every other program, the launch is only recorded and succeeds.
[[nodiscard]] ProcessLauncher HostViewerLauncher();
// "Viewer" of that section of "\Windows\launch.ini": the host program HostViewerLauncher starts
// as the help viewer; empty without the file or the key.
[[nodiscard]] std::u16string HostViewerName();

// The launches requested since the last clear, oldest first (also those that failed).
[[nodiscard]] std::vector<ProcessLaunch> RecordedProcessLaunches();
void ClearRecordedProcessLaunches();
// The first TerminateProcess of each process since the last clear, oldest first.
[[nodiscard]] std::vector<ProcessTermination> RecordedProcessTerminations();
void ClearRecordedProcessTerminations();

} // namespace platform
