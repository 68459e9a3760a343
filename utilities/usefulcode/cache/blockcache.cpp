#include "utilities/usefulcode/cache/blockcache.h"

#include "utilities/usefulcode/cache/blockfile.h"
#include "utilities/usefulcode/cache/mappedfile.h"

#include "platform/kernel/text.h"

#include <limits>
#include <new>

namespace {

DWORD KilobytesToBytes(DWORD kilobytes) {
    constexpr DWORD kMaxKilobytes = std::numeric_limits<DWORD>::max() >> 10;
    return kilobytes > kMaxKilobytes ? std::numeric_limits<DWORD>::max() : kilobytes << 10;
}

} // namespace

BlockCache::BlockCache(DWORD capacityBytes)
    : m_list(std::make_shared<CacheLruList>(capacityBytes)) {}

BlockCache::~BlockCache() {
    ScopedLock fileSetLock(&m_fileSetLock);
    m_list->Flush();
    for (auto& [name, entry] : m_files) {
        m_list->RemoveFileEntries(*entry.file);
    }
    m_files.clear();
}

BlockCachePtr BlockCache::Create(DWORD capacityKb) {
    auto* cache = new (std::nothrow) BlockCache(KilobytesToBytes(capacityKb));
    return BlockCachePtr(cache);
}

CachedFilePtr BlockCache::GetMappedFile(const std::u16string& name, FileCreation creation,
                                        FileAccess access, FileShare share, DWORD blockSize) {
    return GetFile(FileKind::Mapped, name, creation, access, share, blockSize);
}

CachedFilePtr BlockCache::GetArchiveFile(const std::u16string& name, FileCreation creation,
                                         FileAccess access, FileShare share, DWORD blockSize) {
    return GetFile(FileKind::Archive, name, creation, access, share, blockSize);
}

CachedFilePtr BlockCache::GetPlainFile(const std::u16string& name, FileCreation creation,
                                       FileAccess access, FileShare share, DWORD blockSize) {
    return GetFile(FileKind::Plain, name, creation, access, share, blockSize);
}

CachedFilePtr BlockCache::GetFile(FileKind kind, const std::u16string& name, FileCreation creation,
                                  FileAccess access, FileShare share, DWORD blockSize) {
    ScopedLock fileSetLock(&m_fileSetLock);
    if (const auto found = m_files.find(name); found != m_files.end()) {
        ++found->second.openings;
        return found->second.file;
    }
    CachedFilePtr file;
    switch (kind) {
    case FileKind::Mapped:
        file = MakeCachedFile<MappedFile>(m_list, name, share, blockSize);
        break;
    case FileKind::Archive:
        file = MakeCachedFile<ArchiveBlockFile>(m_list, name, creation, access, share, blockSize);
        break;
    case FileKind::Plain:
        file = MakeCachedFile<PlainBlockFile>(m_list, name, creation, access, share, blockSize);
        break;
    }
    if (!file || !file->IsOpen()) {
        return CachedFilePtr();
    }
    m_files.emplace(name, FileEntry{file, 1});
    return file;
}

void BlockCache::RemoveFile(const CachedFilePtr& file) {
    if (!file) {
        return;
    }
    ScopedLock fileSetLock(&m_fileSetLock);
    const auto found = m_files.find(file->GetName());
    if (found == m_files.end() || found->second.file.Get() != file.Get()) {
        return;
    }
    if (found->second.openings > 1) {
        --found->second.openings;
        return;
    }
    m_list->RemoveFileEntries(*file);
    m_files.erase(found);
}

void BlockCache::Flush() {
    m_list->Flush();
}

void BlockCache::SetCapacityKB(DWORD capacityKb) {
    ScopedLock fileSetLock(&m_fileSetLock);
    (void)m_list->SetCapacity(KilobytesToBytes(capacityKb));
}

std::size_t BlockCache::GetFileCount() const {
    ScopedLock fileSetLock(&m_fileSetLock);
    return m_files.size();
}
