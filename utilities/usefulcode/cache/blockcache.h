#pragma once
// The shared cache of table-file blocks: the files opened through it (one per name, letter case
// ignored) and a least-recently-used list of their loaded blocks within a byte capacity. Shared
// by counted pointer; safe from any thread. Lock order: the file set, then the list.

#include "utilities/usefulcode/cache/cachedfile.h"
#include "utilities/usefulcode/cache/cachelrulist.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ifile.h"

#include "platform/kernel/text.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class BlockCache;
using BlockCachePtr = six::RefCntPtr<BlockCache, six::MTModel>;

class BlockCache {
public:
    // A cache of capacityKb kilobytes; null when it cannot be allocated.
    [[nodiscard]] static BlockCachePtr Create(DWORD capacityKb);

    // Releases the cache's references to its files and blocks. Files and blocks still held
    // elsewhere stay usable for reading what is loaded; they cannot load more.
    ~BlockCache();
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // The cached file of this name. A name already open (letter case ignored) gives that file,
    // whatever the other arguments and kind; otherwise a new file of the kind asked for, null
    // when it does not open. Each successful call must be matched by one RemoveFile.
    [[nodiscard]] CachedFilePtr GetMappedFile(const std::u16string& name, FileCreation creation,
                                              FileAccess access, FileShare share, DWORD blockSize);
    [[nodiscard]] CachedFilePtr GetArchiveFile(const std::u16string& name, FileCreation creation,
                                               FileAccess access, FileShare share, DWORD blockSize);
    [[nodiscard]] CachedFilePtr GetPlainFile(const std::u16string& name, FileCreation creation,
                                             FileAccess access, FileShare share, DWORD blockSize);

    // Gives back one opening of the file. When none remains, its blocks leave the list and
    // the file leaves the set; it closes once nobody (table, cursor, block) holds it any more.
    // A file not in the set is ignored.
    void RemoveFile(const CachedFilePtr& file);

    // Evicts every block that nobody else holds; the capacity stays.
    void Flush();

    // Sets the capacity to capacityKb kilobytes and evicts down to it.
    void SetCapacityKB(DWORD capacityKb);

    [[nodiscard]] CacheLruList& GetLruList() { return *m_list; }
    [[nodiscard]] std::size_t GetFileCount() const;

private:
    enum class FileKind { Mapped, Archive, Plain };
    struct FileEntry {
        CachedFilePtr file;
        std::uint32_t openings = 0;
    };

    explicit BlockCache(DWORD capacityBytes);

    [[nodiscard]] CachedFilePtr GetFile(FileKind kind, const std::u16string& name,
                                        FileCreation creation, FileAccess access, FileShare share,
                                        DWORD blockSize);

    mutable CritSect m_fileSetLock;
    std::map<std::u16string, FileEntry, platform::LessNoCase> m_files;
    // Files see the list weakly: one that outlives the cache keeps its loaded blocks but loads
    // no more.
    std::shared_ptr<CacheLruList> m_list;
};
