#pragma once
// Files read in fixed-size blocks into buffers from the memory arena: ArchiveBlockFile over a
// member of a mounted archive, PlainBlockFile over a loose file. A file opened for reading is
// never written or grown: a block past its end fails. A file opened for writing grows to any
// block asked for and writes every released block back.

#include "utilities/usefulcode/cache/cachedfile.h"
#include "utilities/usefulcode/ifile.h"

#include <memory>
#include <mutex>

class MemoryArena;

class BlockFile : public CachedFile {
public:
    ~BlockFile() override;

    // A buffer of block size + 1 bytes (rounded up to 64, starting on a 64-byte line) from the
    // arena; the byte after the data marks the block modified (0 here).
    [[nodiscard]] BYTE* LoadBlock(DWORD blockIndex) override;
    // Writes a block marked modified back, then returns its buffer to the arena.
    void ReleaseBlock(BYTE* data, DWORD blockIndex) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override;
    [[nodiscard]] DWORD GetBlockCount() const override;
    void SetBlockCount(DWORD count) override;
    [[nodiscard]] CachedBlockPtr GetBlock(DWORD blockIndex) override;
    [[nodiscard]] DWORD GetEntrySize() const override { return GetBlockSize(); }

    [[nodiscard]] DWORD GetLogicalSize() const;

protected:
    // Opens the file with random access; closed when it cannot be opened or sized, or when the
    // block size is 0 or too large for a buffer.
    BlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
              std::unique_ptr<IFile> file, bool canGrowOnDisk, FileCreation creation,
              FileAccess access, FileShare share, DWORD blockSize);

private:
    // Sets the logical size (and the file's size when it can grow on disk); false on failure.
    [[nodiscard]] bool GrowLocked(std::uint64_t sizeBytes);

    mutable std::mutex m_mutex; // the file position, logical size and block count
    std::unique_ptr<IFile> m_file;
    MemoryArena* m_arena;
    bool m_canGrowOnDisk;
    bool m_isWritable;
    DWORD m_logicalSize = 0;
    DWORD m_blockCount = 0;
};

class ArchiveBlockFile final : public BlockFile {
public:
    // The archive library must be loaded (by a mount); otherwise the file stays closed.
    ArchiveBlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                     FileCreation creation, FileAccess access, FileShare share, DWORD blockSize);
};

class PlainBlockFile final : public BlockFile {
public:
    PlainBlockFile(std::weak_ptr<CacheLruList> list, const std::u16string& name,
                   FileCreation creation, FileAccess access, FileShare share, DWORD blockSize);
};
