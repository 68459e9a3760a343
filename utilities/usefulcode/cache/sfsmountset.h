#pragma once
// The archives one owner mounted: each ".sfs" archive is mounted at its own folder, so that its
// members open as that folder, a backslash and the member's name. Destruction unmounts them.
// Safe from any thread.

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

class SfsMountSet {
public:
    SfsMountSet() = default;
    ~SfsMountSet();
    SfsMountSet(const SfsMountSet&) = delete;
    SfsMountSet& operator=(const SfsMountSet&) = delete;

    // Loads the archive library when needed and mounts the archive at its folder. True only
    // when this call mounted it; false for an empty path (which only loads the library), a
    // missing library, an archive mounted already by anybody, or a refused archive.
    [[nodiscard]] bool Mount(std::u16string_view archivePath);

    // Unmounts the folders of this owner (each unmount releases every archive at that folder,
    // whoever mounted it) and forgets those that unmounted; true when at least one did.
    bool UnmountAll();

    // False when the library cannot be loaded. An empty path asks whether this owner holds any
    // folder; any other path whether that archive is mounted by anybody.
    [[nodiscard]] bool IsMounted(std::u16string_view archivePath) const;

    // The folders this owner mounted, in order.
    [[nodiscard]] std::set<std::u16string> GetFolders() const;

private:
    mutable std::mutex m_mutex;
    std::set<std::u16string> m_folders;
};

// Mounts every "*.sfs" file of the folder (folders skipped) through set.Mount; the number of
// archives this call mounted.
std::uint32_t MountSfsArchivesInFolder(SfsMountSet& set, std::u16string_view folder);
