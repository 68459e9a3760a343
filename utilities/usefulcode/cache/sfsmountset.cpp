#include "utilities/usefulcode/cache/sfsmountset.h"

#include "utilities/usefulcode/cache/sfslibrary.h"

namespace {

constexpr DWORD kMountFlags = 0x80000000u;
constexpr DWORD kMountValue1 = 1;
constexpr DWORD kMountValue2 = 0;

} // namespace

SfsMountSet::~SfsMountSet() {
    UnmountAll();
}

bool SfsMountSet::Mount(std::u16string_view archivePath) {
    if (!SfsLibrary::EnsureLoaded() || archivePath.empty()) {
        return false;
    }
    SfsLibrary* library = SfsLibrary::Get();
    const std::u16string path(archivePath);
    const std::u16string folder(ArchiveFolderOf(archivePath));
    std::lock_guard lock(m_mutex);
    if (library->Mount(path, folder, kMountFlags, kMountValue1, kMountValue2) != 1) {
        return false;
    }
    m_folders.insert(folder);
    return true;
}

bool SfsMountSet::UnmountAll() {
    SfsLibrary* library = SfsLibrary::Get();
    std::lock_guard lock(m_mutex);
    if (library == nullptr) {
        return false; // nothing can have been mounted without the library
    }
    bool didUnmount = false;
    for (auto folder = m_folders.begin(); folder != m_folders.end();) {
        if (library->Unmount(*folder)) {
            folder = m_folders.erase(folder);
            didUnmount = true;
        } else {
            ++folder;
        }
    }
    return didUnmount;
}

bool SfsMountSet::IsMounted(std::u16string_view archivePath) const {
    if (!SfsLibrary::EnsureLoaded()) {
        return false;
    }
    if (archivePath.empty()) {
        std::lock_guard lock(m_mutex);
        return !m_folders.empty();
    }
    return SfsLibrary::Get()->IsPathMounted(archivePath);
}

std::set<std::u16string> SfsMountSet::GetFolders() const {
    std::lock_guard lock(m_mutex);
    return m_folders;
}
