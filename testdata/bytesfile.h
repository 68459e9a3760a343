#pragma once
// A read-only IFile over bytes in memory, for readers that take their header from an IFile in
// tests and fuzz targets that keep off the disk. It views the bytes, which must outlive it. Open
// fails: the bytes are given, not a path.

#include "utilities/usefulcode/ifile.h"

#include <cstdint>
#include <span>
#include <string>

namespace testdata {

class BytesFile final : public IFile {
public:
    explicit BytesFile(std::span<const std::uint8_t> bytes);

    [[nodiscard]] bool Open(const std::u16string&, FileAccess, FileShare, FileCreation,
                            FileHint) override {
        return false;
    }
    [[nodiscard]] bool IsOpen() const override { return true; }
    bool Close() override { return true; }
    // A position outside the bytes fails and leaves the position as it was.
    DWORD Seek(LONG offset, SeekOrigin origin) override;
    [[nodiscard]] DWORD Read(void* buffer, DWORD count) override;
    [[nodiscard]] DWORD Write(const void*, DWORD) override { return 0; }
    [[nodiscard]] DWORD GetSize() override { return static_cast<DWORD>(m_bytes.size()); }
    [[nodiscard]] bool Truncate(LONG) override { return false; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

} // namespace testdata
