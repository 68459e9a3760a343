#include "platform/shell/process.h"

#include "platform/kernel/handles.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace {

// The kernel objects behind the handles of a launched program. Headless they never end, so
// they are not waitable.
struct ProcessObject : platform::KernelObject {
    DWORD processId = 0;
};
struct ProcessThreadObject : platform::KernelObject {
    DWORD threadId = 0;
};

struct LaunchState {
    std::mutex mutex;
    platform::ProcessLauncher launcher;
    std::vector<platform::ProcessLaunch> launches;
};

LaunchState& State() {
    static LaunchState state;
    return state;
}

std::atomic<DWORD> g_lastProcessId{0x1000};

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

    platform::ProcessLauncher launcher;
    {
        LaunchState& state = State();
        std::lock_guard lock(state.mutex);
        state.launches.push_back(launch);
        launcher = state.launcher;
    }
    const DWORD result = launcher ? launcher(launch) : ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) {
        SetLastError(result);
        return FALSE;
    }
    if (processInformation != nullptr) {
        auto process = std::make_shared<ProcessObject>();
        auto thread = std::make_shared<ProcessThreadObject>();
        process->processId = ++g_lastProcessId;
        thread->threadId = ++g_lastProcessId;
        HANDLE processHandle = platform::RegisterHandle(process);
        HANDLE threadHandle = platform::RegisterHandle(thread);
        if (processHandle == nullptr || threadHandle == nullptr) {
            if (processHandle != nullptr) {
                CloseHandle(processHandle);
            }
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        *processInformation =
            PROCESS_INFORMATION{processHandle, threadHandle, process->processId, thread->threadId};
    }
    return TRUE;
}

namespace platform {

void SetProcessLauncher(ProcessLauncher launcher) {
    LaunchState& state = State();
    std::lock_guard lock(state.mutex);
    state.launcher = std::move(launcher);
}

std::vector<ProcessLaunch> RecordedProcessLaunches() {
    LaunchState& state = State();
    std::lock_guard lock(state.mutex);
    return state.launches;
}

void ClearRecordedProcessLaunches() {
    LaunchState& state = State();
    std::lock_guard lock(state.mutex);
    state.launches.clear();
}

} // namespace platform
