#pragma once
// A cached file over bytes in memory, for tests and fuzz targets that read without touching the
// disk: either one page holding every record (as a mapped file) or one record per page (as a
// block file), or pages of any size. It counts the pages asked of it.

#include "utilities/usefulcode/cache/cachedfile.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace testdata {

class MemoryBlockFile final : public CachedFile {
public:
    static constexpr DWORD kWholeFile = 0;

    // Records of `recordSize` bytes in pages of `pageSize` bytes (kWholeFile: one page); the
    // record count is the number of whole records.
    MemoryBlockFile(std::vector<std::uint8_t> bytes, DWORD recordSize, DWORD pageSize);

    [[nodiscard]] BYTE* LoadBlock(DWORD blockIndex) override;
    void ReleaseBlock(BYTE*, DWORD) override {}
    void Close() override {}
    [[nodiscard]] bool IsOpen() const override { return true; }
    [[nodiscard]] DWORD GetBlockCount() const override { return m_count; }
    void SetBlockCount(DWORD count) override { m_count = count; }
    // The page (page 0 for any index when the file is one page); null past the end.
    [[nodiscard]] CachedBlockPtr GetBlock(DWORD blockIndex) override;
    [[nodiscard]] DWORD GetEntrySize() const override { return GetBlockSize(); }

    [[nodiscard]] std::uint32_t GetPageRequests() const { return m_requests.load(); }
    [[nodiscard]] const std::vector<std::uint8_t>& GetBytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_isOnePage;
    DWORD m_count;
    std::atomic<std::uint32_t> m_requests{0};
};

// A counted MemoryBlockFile (null when it cannot be allocated).
CachedFilePtr MakeMemoryBlockFile(std::vector<std::uint8_t> bytes, DWORD recordSize,
                                  DWORD pageSize = MemoryBlockFile::kWholeFile);

} // namespace testdata
