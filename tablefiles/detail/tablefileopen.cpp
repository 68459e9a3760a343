#include "tablefiles/detail/tablefileopen.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/ifile.h"

#include "platform/kernel/debug.h"

namespace tablefiles::detail {

namespace {

// The header of the file opened on its own, which closes again before the cache opens it.
std::optional<TableBlocks> ReadHeaderAlone(const std::u16string& name, TableFileKind kind,
                                           const TableHeaderReader& readHeader) {
    HandleFile looseFile;
    SfsFile archiveFile;
    IFile& file = kind == TableFileKind::Archived ? static_cast<IFile&>(archiveFile) : looseFile;
    if (!file.Open(name, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                   FileHint::None)) {
        return std::nullopt;
    }
    return readHeader(file);
}

CachedFilePtr AttachFromCache(BlockCache& cache, const std::u16string& name, TableFileKind kind,
                              const TableBlocks& blocks) {
    CachedFilePtr cached;
    switch (kind) {
    case TableFileKind::Mapped:
        cached = cache.GetMappedFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                     FileShare::Read, blocks.blockSize);
        break;
    case TableFileKind::Archived:
        cached = cache.GetArchiveFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                      FileShare::Read, blocks.blockSize);
        break;
    case TableFileKind::Plain:
        cached = cache.GetPlainFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                    FileShare::Read, blocks.blockSize);
        break;
    }
    if (cached) {
        cached->SetBlockCount(blocks.dataBlockCount + 1);
    }
    return cached;
}

} // namespace

CachedFilePtr OpenTableFile(const BlockCachePtr& cache, const std::u16string& name,
                            TableFileKind kind, const TableHeaderReader& readHeader) {
    if (name.empty() || !cache) {
        return {};
    }
    const std::optional<TableBlocks> blocks = ReadHeaderAlone(name, kind, readHeader);
    if (!blocks) {
        return {};
    }
    return AttachFromCache(*cache, name, kind, *blocks);
}

CachedFilePtr AttachTableFile(IFile& headerFile, CachedFilePtr file,
                              const TableHeaderReader& readHeader) {
    if (!file) {
        return {};
    }
    const std::optional<TableBlocks> blocks = readHeader(headerFile);
    if (!blocks) {
        return {};
    }
    file->SetBlockCount(blocks->dataBlockCount + 1);
    return file;
}

void DetachFromCache(const BlockCachePtr& cache, CachedFilePtr& file) {
    if (!file) {
        return;
    }
    if (cache) {
        cache->RemoveFile(file);
    }
    file.Release();
}

void FitBlockInCache(const BlockCachePtr& cache, std::uint32_t blockSize) {
    if (cache && blockSize / 1024 > cache->GetLruList().GetCapacity() / 1024) {
        cache->SetCapacityKB(blockSize / 1024);
    }
}

void ReportRefusal(std::u16string_view kindName, const std::u16string& name,
                   const std::string& reason) {
    std::u16string line = name.empty() ? std::u16string(kindName) + u" refused: " : name + u": ";
    line.append(reason.begin(), reason.end());
    line += u"\n";
    OutputDebugStringW(line.c_str());
}

} // namespace tablefiles::detail
