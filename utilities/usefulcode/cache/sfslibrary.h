#pragma once
// The loader of the archive library "ziVur.dll" and the process-wide record of the archive
// paths mounted through it. Loaded on the first successful EnsureLoaded and kept loaded until
// the process ends. Safe from any thread: creation and the mounted set are guarded.

#include "platform/sfs/sfs.h"
#include "platform/types.h"

#include <mutex>
#include <set>
#include <string>
#include <string_view>

// The library's entry points, all present once the library counts as loaded.
struct SfsEntryPoints {
    platform::SfsCreateFileFunction createFile = nullptr;
    platform::SfsReadFileFunction readFile = nullptr;
    platform::SfsWriteFileFunction writeFile = nullptr;
    platform::SfsSetFilePointerFunction setFilePointer = nullptr;
    platform::SfsCloseHandleFunction closeHandle = nullptr;
    platform::SfsMountFunction mount = nullptr;
    platform::SfsUnMountFunction unmount = nullptr;
    platform::SfsGetLastErrorFunction getLastError = nullptr;
};

class SfsLibrary {
public:
    // True when the library is loaded, loading it first when needed. A missing library or a
    // missing entry point gives false silently; the next call tries again.
    [[nodiscard]] static bool EnsureLoaded();

    // The loaded library, or null while it is not loaded (this never loads it).
    [[nodiscard]] static SfsLibrary* Get();

    [[nodiscard]] const SfsEntryPoints& Functions() const { return m_functions; }
    [[nodiscard]] HMODULE GetModule() const { return m_module; }

    // Mounts an archive at a folder unless the same path (compared exactly) is mounted already.
    // The library's result (1 = mounted) comes back; 0 when the path was mounted before. A path
    // whose mount fails is not kept as mounted.
    [[nodiscard]] int Mount(const std::u16string& archivePath, const std::u16string& folder,
                            DWORD flags, DWORD value1, DWORD value2);

    // Unmounts every archive mounted at the folder (compared exactly with the text of each
    // mounted path before its last '\' or '/'). False, with nothing changed, when no mounted
    // path lies there or the library refuses.
    [[nodiscard]] bool Unmount(const std::u16string& folder);

    // Whether the path (compared exactly) is mounted, by any owner.
    [[nodiscard]] bool IsPathMounted(std::u16string_view archivePath) const;

    SfsLibrary(const SfsLibrary&) = delete;
    SfsLibrary& operator=(const SfsLibrary&) = delete;

private:
    SfsLibrary(HMODULE module, const SfsEntryPoints& functions);
    ~SfsLibrary() = default;

    HMODULE m_module;
    SfsEntryPoints m_functions;
    mutable std::mutex m_mutex; // guards m_mountedPaths and the mount calls
    std::set<std::u16string, std::less<>> m_mountedPaths;
};

// The text before the last '\' or '/', or the whole path when it has neither.
[[nodiscard]] std::u16string_view ArchiveFolderOf(std::u16string_view path);
