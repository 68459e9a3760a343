#pragma once
// Shared helpers of the window-system tests: a class whose procedure records every message, and
// a language library on a temporary device.

#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/window/detail/state.h"
#include "platform/window/window.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace windowtesting {

struct Logged {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}
inline std::vector<Logged>& Log() {
    static std::vector<Logged> log;
    return log;
}
// Messages of window (null: all windows), optionally only the numbers given.
inline std::vector<UINT> Numbers(HWND window, const std::vector<UINT>& keep = {}) {
    std::lock_guard lock(LogMutex());
    std::vector<UINT> numbers;
    for (const Logged& entry : Log()) {
        const bool isKept =
            keep.empty() || std::find(keep.begin(), keep.end(), entry.message) != keep.end();
        if ((window == nullptr || entry.window == window) && isKept)
            numbers.push_back(entry.message);
    }
    return numbers;
}
inline void ClearLog() {
    std::lock_guard lock(LogMutex());
    Log().clear();
}

inline void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(LogMutex());
    Log().push_back(Logged{window, message, wParam, lParam});
}

inline LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

inline void RegisterRecordingClass(LPCWSTR name, UINT style = 0, int extra = 0,
                                   WNDPROC procedure = RecordingProcedure) {
    WNDCLASSW windowClass{};
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = extra;
    windowClass.lpszClassName = name;
    (void)RegisterClassW(&windowClass);
}

// Waits up to ten seconds, serving nothing, until a message another thread sent waits in the
// calling thread's queue; false when none came.
inline bool WaitForSentMessage() {
    namespace detail = platform::window_detail;
    const auto queue = detail::CurrentQueue();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(detail::GetState().mutex);
            if (!queue->sent.empty())
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Puts the bundle on the root's device as "LangEngCE.dll" and loads that library.
inline HMODULE LoadLanguage(const testdata::TempDeviceRoot& root,
                            const platform::ResourceBundle& bundle) {
    if (!root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle))) {
        return nullptr;
    }
    return LoadLibraryW(u"LangEngCE.dll");
}

} // namespace windowtesting
