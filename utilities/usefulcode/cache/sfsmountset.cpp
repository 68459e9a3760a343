#include "utilities/usefulcode/cache/sfsmountset.h"

#include "utilities/usefulcode/cache/sfslibrary.h"

#include "platform/files/files.h"

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

std::uint32_t MountSfsArchivesInFolder(SfsMountSet& set, std::u16string_view folder) {
    std::u16string prefix(folder);
    if (!prefix.empty() && prefix.back() != u'\\' && prefix.back() != u'/') {
        prefix += u'\\';
    }
    WIN32_FIND_DATAW entry{};
    HANDLE find = FindFirstFileW((prefix + u"*.sfs").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::uint32_t mounted = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            set.Mount(prefix + entry.cFileName)) {
            ++mounted;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return mounted;
}
