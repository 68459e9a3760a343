#include "platform/shell/modulepath.h"

#include "platform/files/modules.h"
#include "platform/kernel/handles.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex g_mutex;
std::u16string g_executablePath; // empty: derived from the program folder

} // namespace

namespace platform {

void SetExecutablePath(std::u16string_view devicePath) {
    std::lock_guard lock(g_mutex);
    g_executablePath = devicePath;
}

std::u16string ExecutablePath() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_executablePath.empty()) {
            return g_executablePath;
        }
    }
    std::u16string path = ProgramFolder();
    if (path.empty() || (path.back() != u'\\' && path.back() != u'/')) {
        path.push_back(u'\\');
    }
    return path + u"Navigator.exe";
}

} // namespace platform

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
    const std::u16string path =
        module == nullptr ? platform::ExecutablePath() : platform::LoadedModulePath(module);
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::size_t count = std::min<std::size_t>(path.size(), size - 1);
    std::copy_n(path.begin(), count, buffer);
    buffer[count] = u'\0';
    if (count < path.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(count);
}
