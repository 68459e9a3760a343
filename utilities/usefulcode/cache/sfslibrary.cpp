#include "utilities/usefulcode/cache/sfslibrary.h"

#include "platform/files/modules.h"

#include <atomic>
#include <vector>

namespace {

std::atomic<SfsLibrary*> g_library{nullptr};

std::mutex& CreationMutex() {
    static std::mutex mutex;
    return mutex;
}

template <class Function> bool Resolve(HMODULE module, const WCHAR* name, Function& function) {
    function = reinterpret_cast<Function>(GetProcAddressW(module, name));
    return function != nullptr;
}

// All eight entry points, in the library's order; false at the first one missing.
bool ResolveAll(HMODULE module, SfsEntryPoints& functions) {
    return Resolve(module, u"SFS_CreateFile", functions.createFile) &&
           Resolve(module, u"SFS_ReadFile", functions.readFile) &&
           Resolve(module, u"SFS_WriteFile", functions.writeFile) &&
           Resolve(module, u"SFS_SetFilePointer", functions.setFilePointer) &&
           Resolve(module, u"SFS_CloseHandle", functions.closeHandle) &&
           Resolve(module, u"SFS_Mount", functions.mount) &&
           Resolve(module, u"SFS_UnMount", functions.unmount) &&
           Resolve(module, u"SFS_GetLastError", functions.getLastError);
}

} // namespace

std::u16string_view ArchiveFolderOf(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == std::u16string_view::npos ? path : path.substr(0, separator);
}

SfsLibrary::SfsLibrary(HMODULE module, const SfsEntryPoints& functions)
    : m_module(module)
    , m_functions(functions) {}

bool SfsLibrary::EnsureLoaded() {
    if (g_library.load(std::memory_order_acquire) != nullptr) {
        return true;
    }
    std::lock_guard lock(CreationMutex());
    if (g_library.load(std::memory_order_relaxed) != nullptr) {
        return true;
    }
    HMODULE module = LoadLibraryW(platform::kSfsModuleName);
    if (module == nullptr) {
        return false;
    }
    SfsEntryPoints functions;
    if (!ResolveAll(module, functions)) {
        FreeLibrary(module);
        return false;
    }
    // Kept for the life of the process, like the loaded library itself.
    g_library.store(new SfsLibrary(module, functions), std::memory_order_release);
    return true;
}

SfsLibrary* SfsLibrary::Get() {
    return g_library.load(std::memory_order_acquire);
}

int SfsLibrary::Mount(const std::u16string& archivePath, const std::u16string& folder, DWORD flags,
                      DWORD value1, DWORD value2) {
    std::lock_guard lock(m_mutex);
    if (!m_mountedPaths.insert(archivePath).second) {
        return 0;
    }
    const int result =
        m_functions.mount(archivePath.c_str(), folder.c_str(), flags, value1, value2);
    if (result != 1) {
        m_mountedPaths.erase(archivePath); // a failed mount must not look mounted
    }
    return result;
}

bool SfsLibrary::Unmount(const std::u16string& folder) {
    std::lock_guard lock(m_mutex);
    std::vector<std::u16string> atFolder;
    for (const std::u16string& path : m_mountedPaths) {
        if (ArchiveFolderOf(path) == folder) {
            atFolder.push_back(path);
        }
    }
    if (atFolder.empty() || m_functions.unmount(folder.c_str()) == 0) {
        return false;
    }
    for (const std::u16string& path : atFolder) {
        m_mountedPaths.erase(path);
    }
    return true;
}

bool SfsLibrary::IsPathMounted(std::u16string_view archivePath) const {
    std::lock_guard lock(m_mutex);
    return m_mountedPaths.find(archivePath) != m_mountedPaths.end();
}
