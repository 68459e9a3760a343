#include "platform/shell/process.h"

#include "platform/kernel/detail/waitcore.h"
#include "platform/kernel/handles.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace {

// The kernel objects behind the handles of a launched program. Headless a process never ends by
// itself: its handle is signalled once it was terminated. The thread handle is not waitable.
struct ProcessObject : platform::detail::Waitable {
    bool IsSignalledLocked() const override { return hasEnded; }
    DWORD processId = 0;
    bool hasEnded = false; // under KernelMutex
};
struct ProcessThreadObject : platform::KernelObject {
    DWORD threadId = 0;
};

struct LaunchState {
    std::mutex mutex;
    platform::ProcessLauncher launcher;
    std::vector<platform::ProcessLaunch> launches;
    std::vector<platform::ProcessTermination> terminations;
};

LaunchState& SharedLaunchState() {
    static LaunchState state;
    return state;
}

std::atomic<DWORD> g_lastProcessId{0x1000};

// Asks the launcher, records the launch and makes the handles. False with the last error set.
bool Launch(platform::ProcessLaunch launch, LPPROCESS_INFORMATION processInformation) {
    platform::ProcessLauncher launcher;
    {
        LaunchState& state = SharedLaunchState();
        std::lock_guard lock(state.mutex);
        launcher = state.launcher;
    }
    const DWORD result = launcher ? launcher(launch) : ERROR_SUCCESS;
    auto record = [&launch] {
        LaunchState& state = SharedLaunchState();
        std::lock_guard lock(state.mutex);
        state.launches.push_back(launch);
    };
    if (result != ERROR_SUCCESS) {
        record();
        SetLastError(result);
        return false;
    }
    auto process = std::make_shared<ProcessObject>();
    process->processId = ++g_lastProcessId;
    launch.processId = process->processId;
    record();
    if (processInformation != nullptr) {
        auto thread = std::make_shared<ProcessThreadObject>();
        thread->threadId = ++g_lastProcessId;
        HANDLE processHandle = platform::RegisterHandle(process);
        HANDLE threadHandle = platform::RegisterHandle(thread);
        if (processHandle == nullptr || threadHandle == nullptr) {
            if (processHandle != nullptr) {
                CloseHandle(processHandle);
            }
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        *processInformation =
            PROCESS_INFORMATION{processHandle, threadHandle, process->processId, thread->threadId};
    }
    return true;
}

} // namespace

BOOL CreateProcessW(LPCWSTR imageName, LPCWSTR commandLine, void* /*processSecurity*/,
                    void* /*threadSecurity*/, BOOL /*inheritHandles*/, DWORD creationFlags,
                    LPVOID /*environment*/, LPCWSTR /*currentDirectory*/,
                    STARTUPINFOW* /*startupInfo*/, LPPROCESS_INFORMATION processInformation) {
    if ((imageName == nullptr || *imageName == u'\0') &&
        (commandLine == nullptr || *commandLine == u'\0')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::ProcessLaunch launch;
    launch.imageName = imageName != nullptr ? imageName : u"";
    launch.commandLine = commandLine != nullptr ? commandLine : u"";
    launch.creationFlags = creationFlags;
    return Launch(std::move(launch), processInformation) ? TRUE : FALSE;
}

BOOL ShellExecuteExW(LPSHELLEXECUTEINFOW info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    if (info->lpFile == nullptr || *info->lpFile == u'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    platform::ProcessLaunch launch;
    launch.imageName = info->lpFile;
    launch.commandLine = info->lpParameters != nullptr ? info->lpParameters : u"";
    launch.verb = info->lpVerb != nullptr ? info->lpVerb : u"";
    launch.mask = info->fMask;
    PROCESS_INFORMATION created{};
    if (!Launch(std::move(launch), &created)) {
        return FALSE;
    }
    CloseHandle(created.hThread);
    if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        info->hProcess = created.hProcess;
    } else {
        CloseHandle(created.hProcess);
    }
    return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    const auto object = platform::LookupHandleAs<ProcessObject>(process);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard kernelLock(platform::detail::KernelMutex());
    if (object->hasEnded) {
        return TRUE;
    }
    {
        LaunchState& state = SharedLaunchState();
        std::lock_guard lock(state.mutex);
        state.terminations.push_back(platform::ProcessTermination{object->processId, exitCode});
    }
    object->hasEnded = true;
    platform::detail::KernelCondition().notify_all();
    return TRUE;
}

namespace platform {

void SetProcessLauncher(ProcessLauncher launcher) {
    LaunchState& state = SharedLaunchState();
    std::lock_guard lock(state.mutex);
    state.launcher = std::move(launcher);
}

std::vector<ProcessLaunch> RecordedProcessLaunches() {
    LaunchState& state = SharedLaunchState();
    std::lock_guard lock(state.mutex);
    return state.launches;
}

void ClearRecordedProcessLaunches() {
    LaunchState& state = SharedLaunchState();
    std::lock_guard lock(state.mutex);
    state.launches.clear();
}

std::vector<ProcessTermination> RecordedProcessTerminations() {
    LaunchState& state = SharedLaunchState();
    std::lock_guard lock(state.mutex);
    return state.terminations;
}

void ClearRecordedProcessTerminations() {
    LaunchState& state = SharedLaunchState();
    std::lock_guard lock(state.mutex);
    state.terminations.clear();
}

} // namespace platform
