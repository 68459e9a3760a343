#pragma once
// A file read block by block through a BlockCache, and the counted block of its data. A file
// stays alive while the cache, a table or any block of it holds a reference; blocks may be held
// and released on any thread.

#include "six/refcntptr.h"

#include "platform/types.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <utility>

class CachedFile;
class CachedBlock;
class CacheLruList;

template <> struct TFactory<CachedBlock, six::MTModel>;

using CachedFilePtr = six::RefCntPtr<CachedFile, six::MTModel>;
using CachedBlockPtr = six::RefCntPtr<CachedBlock, six::MTModel>;

// Sees every block of a file right after it is loaded and right before it is released.
class BlockFilter {
public:
    virtual ~BlockFilter() = default;
    virtual void OnLoad(BYTE* data, CachedFile& file, DWORD blockIndex) = 0;
    virtual void OnRelease(BYTE* data, CachedFile& file, DWORD blockIndex) = 0;
};

// Set only while the owning table is being opened, so it is counted without interlocking.
using BlockFilterPtr = six::RefCntPtr<BlockFilter, six::STModel>;

// The filter every file starts with: it does nothing.
class NullBlockFilter final : public BlockFilter {
public:
    void OnLoad(BYTE*, CachedFile&, DWORD) override {}
    void OnRelease(BYTE*, CachedFile&, DWORD) override {}
};

// Marks every released block as modified (the byte after its data), so that a file opened for
// writing writes it back.
class WriteBackFilter final : public BlockFilter {
public:
    explicit WriteBackFilter(DWORD blockSize)
        : m_blockSize(blockSize) {}
    void OnLoad(BYTE*, CachedFile&, DWORD) override {}
    void OnRelease(BYTE* data, CachedFile&, DWORD) override;

private:
    DWORD m_blockSize;
};

// One loaded block. The last reference hands the data back to its file (which stays alive
// until then).
class CachedBlock {
public:
    CachedBlock(CachedFile& file, BYTE* data, DWORD blockIndex);
    ~CachedBlock();
    CachedBlock(const CachedBlock&) = delete;
    CachedBlock& operator=(const CachedBlock&) = delete;

    [[nodiscard]] BYTE* GetData() const { return m_data; }
    [[nodiscard]] CachedFile& GetFile() const { return *m_file; }
    [[nodiscard]] DWORD GetIndex() const { return m_blockIndex; }

private:
    CachedFile* m_file;
    CachedFilePtr m_fileReference; // empty for a file that is not counted
    BYTE* m_data;
    DWORD m_blockIndex;
};

// A block and its count share one allocation, so that loading a block allocates once. Blocks are
// counted only as MakeBlock makes them: wrapping a block made otherwise does not compile.
template <> struct TFactory<CachedBlock, six::MTModel> {
    using Rep = six::RefCntRep<CachedBlock, six::MTModel>;

    // A new block of data with a count of 1, or null when it cannot be allocated (the data then
    // stays the caller's).
    [[nodiscard]] static Rep* MakeBlock(CachedFile& file, BYTE* data, DWORD blockIndex) noexcept;
    // Destroys the block (which hands its data back to its file) and frees the allocation.
    static void DeallocRep(Rep* rep) noexcept;
};

class CachedFile {
public:
    virtual ~CachedFile();
    CachedFile(const CachedFile&) = delete;
    CachedFile& operator=(const CachedFile&) = delete;

    // Bytes of one block (for a mapped file: the whole file).
    [[nodiscard]] DWORD GetBlockSize() const { return m_blockSize; }
    // The record unit the file was opened with (a mapped file's table block size).
    [[nodiscard]] DWORD GetUnitSize() const { return m_unitSize; }
    [[nodiscard]] const std::u16string& GetName() const { return m_name; }

    // Loads one block's data; null on failure (see LastLoadLackedMemory). Called by the cache
    // with its list locked.
    [[nodiscard]] virtual BYTE* LoadBlock(DWORD blockIndex) = 0;
    // Hands back the data of a block whose last reference went; any thread.
    virtual void ReleaseBlock(BYTE* data, DWORD blockIndex) = 0;
    virtual void Close() = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    [[nodiscard]] virtual DWORD GetBlockCount() const = 0;
    virtual void SetBlockCount(DWORD count) = 0;
    // The block, loaded when needed, with the caller's own reference; null when it cannot be
    // had (file closed, block beyond a read-only file's end, cache gone, no memory).
    [[nodiscard]] virtual CachedBlockPtr GetBlock(DWORD blockIndex) = 0;
    // Bytes one loaded block counts against the cache's capacity.
    [[nodiscard]] virtual DWORD GetEntrySize() const = 0;

    void SetFilter(BlockFilterPtr filter);
    [[nodiscard]] BlockFilter& GetFilter() const { return *m_filter; }

    // True when the last failed LoadBlock failed for want of block memory, so that freeing
    // blocks may let it succeed.
    [[nodiscard]] bool LastLoadLackedMemory() const {
        return m_didLastLoadLackMemory.load(std::memory_order_relaxed);
    }

    // A new counted reference to this file; empty when the file was not made by MakeCachedFile.
    [[nodiscard]] CachedFilePtr AddReference();

    template <class File, class... Arguments>
    friend CachedFilePtr MakeCachedFile(Arguments&&... arguments);

protected:
    CachedFile(std::weak_ptr<CacheLruList> list, std::u16string name, DWORD blockSize,
               DWORD unitSize);

    // Asks the cache's list for the block (loading it through LoadBlock when needed).
    [[nodiscard]] CachedBlockPtr GetListedBlock(DWORD blockIndex);
    void SetBlockSize(DWORD blockSize) { m_blockSize = blockSize; }
    void SetLastLoadLackedMemory(bool didLack) {
        m_didLastLoadLackMemory.store(didLack, std::memory_order_relaxed);
    }

private:
    std::weak_ptr<CacheLruList> m_list;
    DWORD m_blockSize;
    DWORD m_unitSize;
    std::u16string m_name;
    BlockFilterPtr m_filter;
    CachedFilePtr::Rep* m_ownRep = nullptr; // not counted: the rep that counts this file
    std::atomic<bool> m_didLastLoadLackMemory{false};
};

// Makes a counted file of the given kind; null when it cannot be allocated.
template <class File, class... Arguments> CachedFilePtr MakeCachedFile(Arguments&&... arguments) {
    auto* file = new (std::nothrow) File(std::forward<Arguments>(arguments)...);
    if (file == nullptr) {
        return CachedFilePtr();
    }
    CachedFilePtr::Rep* rep = TFactory<CachedFile, six::MTModel>::AllocRep(file);
    if (rep == nullptr) {
        delete file;
        return CachedFilePtr();
    }
    static_cast<CachedFile*>(file)->m_ownRep = rep;
    return CachedFilePtr(rep);
}
