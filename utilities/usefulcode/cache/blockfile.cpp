#include "utilities/usefulcode/cache/blockfile.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"

#include <algorithm>
#include <cstring>

namespace {

// Block offsets are seeked as signed 32-bit values.
constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF;

// Buffers are asked for in whole cache lines, so that each one starts on a line: the system copies
// a block read into a misaligned buffer far more slowly (a miss took about 1.5 times as long).
constexpr DWORD kBufferGranule = 64;

DWORD BufferSize(DWORD blockSize) {
    return (blockSize + kBufferGranule) & ~(kBufferGranule - 1); // the block and its mark byte
}

} // namespace

BlockFile::BlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                     std::unique_ptr<IFile> file, bool canGrowOnDisk, FileCreation creation,
                     FileAccess access, FileShare share, DWORD blockSize)
    : CachedFile(std::move(list), name, blockSize, blockSize)
    , m_file(std::move(file))
    , m_arena(&MemoryArena::Shared())
    , m_canGrowOnDisk(canGrowOnDisk)
    , m_isWritable(access != FileAccess::Read) {
    if (!m_file->Open(name, access, share, creation, FileHint::RandomAccess)) {
        return;
    }
    const DWORD size = m_file->GetSize();
    if (blockSize == 0 || blockSize > kMaxFileSize - kBufferGranule ||
        size == kInvalidFilePosition) {
        m_file->Close();
        return;
    }
    if (m_isWritable) {
        SetFilter(BlockFilterPtr(new WriteBackFilter(blockSize)));
    }
    m_logicalSize = size;
    if (size < blockSize) {
        // A short file still has its first block; only a writable file is extended to it.
        std::lock_guard lock(m_mutex);
        if (!GrowLocked(blockSize)) {
            m_file->Close();
            return;
        }
    }
    m_blockCount = m_logicalSize / blockSize;
}

BlockFile::~BlockFile() {
    BlockFile::Close();
}

bool BlockFile::GrowLocked(std::uint64_t sizeBytes) {
    if (sizeBytes > kMaxFileSize) {
        return false;
    }
    if (m_isWritable && m_canGrowOnDisk && !m_file->Truncate(static_cast<LONG>(sizeBytes))) {
        return false;
    }
    m_logicalSize = static_cast<DWORD>(sizeBytes);
    return true;
}

void BlockFile::Close() {
    std::lock_guard lock(m_mutex);
    m_file->Close();
}

bool BlockFile::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file->IsOpen();
}

DWORD BlockFile::GetBlockCount() const {
    std::lock_guard lock(m_mutex);
    return m_blockCount;
}

void BlockFile::SetBlockCount(DWORD count) {
    std::lock_guard lock(m_mutex);
    m_blockCount = count;
}

DWORD BlockFile::GetLogicalSize() const {
    std::lock_guard lock(m_mutex);
    return m_logicalSize;
}

CachedBlockPtr BlockFile::GetBlock(DWORD blockIndex) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_file->IsOpen()) {
            return CachedBlockPtr();
        }
        const std::uint64_t blockSize = GetBlockSize();
        if (m_logicalSize <= blockSize * blockIndex) {
            // Growing is for files opened for writing; for a data file a block past the end
            // is a bad block number, which must not change the file.
            if (!m_isWritable || !GrowLocked((std::uint64_t{blockIndex} + 1) * blockSize)) {
                return CachedBlockPtr();
            }
        }
        m_blockCount = std::max(m_blockCount, blockIndex + 1);
    }
    return GetListedBlock(blockIndex);
}

BYTE* BlockFile::LoadBlock(DWORD blockIndex) {
    const DWORD blockSize = GetBlockSize();
    const std::uint64_t offset = std::uint64_t{blockSize} * blockIndex;
    SetLastLoadLackedMemory(false);
    if (offset > kMaxFileSize) {
        return nullptr;
    }
    auto* data = static_cast<BYTE*>(m_arena->Alloc(BufferSize(blockSize)));
    if (data == nullptr) {
        // Worth a retry after flushing only when such a block can fit at all.
        SetLastLoadLackedMemory(m_arena->HoldsMemory() &&
                                BufferSize(blockSize) <= m_arena->GetLimit());
        return nullptr;
    }
    std::unique_lock lock(m_mutex);
    if (m_file->Seek(static_cast<LONG>(offset), SeekOrigin::Begin) == kInvalidFilePosition) {
        lock.unlock();
        m_arena->Free(data);
        return nullptr;
    }
    DWORD filled = 0;
    while (filled < blockSize) {
        const DWORD read = m_file->Read(data + filled, blockSize - filled);
        if (read == 0) {
            break; // the end of the file, or a failed read
        }
        filled += read;
    }
    // A read that stops short of the file's end failed: the block fails instead of reading as
    // zeros. Past the end (a short last block, a grown file) the rest reads as zeros.
    if (filled < blockSize) {
        const DWORD fileSize = m_file->GetSize();
        if (fileSize == kInvalidFilePosition || offset + filled < fileSize) {
            lock.unlock();
            m_arena->Free(data);
            OutputDebugStringW(
                platform::FormatW(u"%s: reading block %u failed\n", GetName().c_str(), blockIndex)
                    .c_str());
            return nullptr;
        }
    }
    lock.unlock();
    if (filled < blockSize) {
        std::memset(data + filled, 0, blockSize - filled);
    }
    data[blockSize] = 0;
    GetFilter().OnLoad(data, *this, blockIndex);
    return data;
}

void BlockFile::ReleaseBlock(BYTE* data, DWORD blockIndex) {
    GetFilter().OnRelease(data, *this, blockIndex);
    if (data == nullptr) {
        return;
    }
    const DWORD blockSize = GetBlockSize();
    if (data[blockSize] != 0 && m_isWritable) {
        std::lock_guard lock(m_mutex);
        const std::uint64_t offset = std::uint64_t{blockSize} * blockIndex;
        if (m_file->IsOpen() && offset <= kMaxFileSize &&
            m_file->Seek(static_cast<LONG>(offset), SeekOrigin::Begin) != kInvalidFilePosition) {
            (void)m_file->Write(data, blockSize);
        }
    }
    m_arena->Free(data);
}

ArchiveBlockFile::ArchiveBlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                                   FileCreation creation, FileAccess access, FileShare share,
                                   DWORD blockSize)
    : BlockFile(std::move(list), name, std::make_unique<SfsFile>(), false, creation, access, share,
                blockSize) {}

PlainBlockFile::PlainBlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                               FileCreation creation, FileAccess access, FileShare share,
                               DWORD blockSize)
    : BlockFile(std::move(list), name, std::make_unique<HandleFile>(), true, creation, access,
                share, blockSize) {}
