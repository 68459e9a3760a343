#pragma once
// A read-only RawFile that reads the whole file into memory when it opens and serves reads
// from that copy.

#include "utilities/usefulcode/rawfile.h"

#include <memory>

class MemoryFile final : public RawFile {
public:
    // Files larger than this are not loaded.
    static constexpr DWORD kMaxSize = 0x7FFFFFFF;

    MemoryFile() = default;
    ~MemoryFile() override;

    // Only mode 0: loads the file, which stays closed when it cannot be opened, sized, held in
    // memory or read completely. Other modes leave the file as it is.
    void Open(const std::u16string& path, RawFileMode mode) override;
    // From the beginning, the current position or the end (end + offset); a position outside
    // the loaded bytes fails with -1 and leaves the cursor where it was.
    LONG Seek(LONG offset, int origin) override;
    // Copies count bytes from the cursor; a read past the end copies nothing and fails.
    [[nodiscard]] bool Read(void* buffer, DWORD count) override;
    // Not supported: false, nothing written.
    [[nodiscard]] bool Write(const void* buffer, DWORD count) override;
    [[nodiscard]] bool WriteData(const void* buffer, DWORD count) override;
    [[nodiscard]] bool IsOpen() const override { return m_isOpen; }
    [[nodiscard]] LONG Tell() override;
    int Close() override;

private:
    std::unique_ptr<BYTE[]> m_buffer;
    DWORD m_size = 0;
    DWORD m_cursor = 0;
    bool m_isOpen = false;
};
