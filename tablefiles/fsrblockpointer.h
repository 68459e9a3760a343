#pragma once
// A position in the block store of a table file: the block's data inside a view that the block
// cache holds. Copies share the view and the file. A pointer never gives bytes outside its view.

#include "utilities/usefulcode/cache/cachedfile.h"

#include <cstdint>

class FsrBlockPointer {
public:
    FsrBlockPointer() = default;
    // A pointer on no block of the file; blockSize is the file's record unit (the table's block
    // size).
    FsrBlockPointer(CachedFilePtr file, std::uint32_t blockSize);

    // Moves to file block `block`, keeping the current view when the block lies in it. False
    // (and the pointer ends: view dropped, no data) past the file's last block or when the
    // block cannot be loaded.
    [[nodiscard]] bool MoveTo(std::uint32_t block);
    // Drops the view; the pointer holds no data afterwards.
    void End();

    bool IsValid() const { return m_data != nullptr; }
    const std::uint8_t* GetData() const { return m_data; }
    // Bytes of the current block inside the view: the block size, less for a block that the end
    // of the file cuts.
    std::uint32_t GetLength() const { return m_length; }
    std::int64_t GetBlockIndex() const { return m_block; }
    std::uint32_t GetBlockSize() const { return m_blockSize; }

private:
    CachedBlockPtr m_view;
    CachedFilePtr m_file;
    std::int64_t m_block = -1;
    const std::uint8_t* m_data = nullptr;
    std::uint32_t m_length = 0;
    std::uint32_t m_blocksPerView = 1;
    std::uint32_t m_blockSize = 0;
};
