#pragma once
// A table file mapped read-only as a whole: its one block is the whole file, and a loaded view
// counts only kEntrySize bytes against the cache's capacity. Safe from any thread, like the
// block files.

#include "utilities/usefulcode/cache/cachedfile.h"
#include "utilities/usefulcode/ifile.h"

#include "platform/types.h"

#include <atomic>
#include <mutex>

class MappedFile final : public CachedFile {
public:
    static constexpr DWORD kEntrySize = 12;

    // Opens and maps the file for reading with the archive share table; unitSize is the table's
    // block size. When the mapping cannot be made (a 0-byte file among others) the file stays
    // closed and the file-check box names it (once a run, filecheck.h).
    MappedFile(std::weak_ptr<CacheLruList> list, const std::u16string& name, FileShare share,
               DWORD unitSize);
    ~MappedFile() override;

    // The view of the whole file, whatever the index; null (after a box with the system's text
    // of the error) when it cannot be mapped.
    [[nodiscard]] BYTE* LoadBlock(DWORD blockIndex) override;
    void ReleaseBlock(BYTE* data, DWORD blockIndex) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override;
    // Whole units of the file (size / unit size) until set otherwise.
    [[nodiscard]] DWORD GetBlockCount() const override { return m_wholeUnits; }
    void SetBlockCount(DWORD count) override { m_wholeUnits = count; }
    // Always the one view (block 0).
    [[nodiscard]] CachedBlockPtr GetBlock(DWORD blockIndex) override;
    [[nodiscard]] DWORD GetEntrySize() const override { return kEntrySize; }

    // Units with a partial last one counted: (size + unit size - 1) / unit size.
    [[nodiscard]] DWORD GetRoundedUpUnits() const { return m_roundedUpUnits; }

private:
    mutable std::mutex m_mutex; // the mapping
    HANDLE m_mapping = nullptr;
    std::atomic<DWORD> m_wholeUnits{0};
    DWORD m_roundedUpUnits = 0;
};
