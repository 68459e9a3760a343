#pragma once
// A read-only IFile over bytes in memory, for the line readers' tests and fuzz target.

#include "utilities/usefulcode/ifile.h"

#include <algorithm>
#include <string>

class MemoryIFile final : public IFile {
public:
    explicit MemoryIFile(std::string bytes)
        : m_bytes(std::move(bytes)) {}

    bool Open(const std::u16string&, FileAccess, FileShare, FileCreation, FileHint) override {
        return false;
    }
    bool IsOpen() const override { return true; }
    bool Close() override { return true; }
    DWORD Seek(LONG offset, SeekOrigin origin) override {
        (void)offset;
        (void)origin;
        return kInvalidFilePosition;
    }
    DWORD Read(void* buffer, DWORD count) override {
        const std::size_t n = std::min<std::size_t>(count, m_bytes.size() - m_position);
        std::copy_n(m_bytes.data() + m_position, n, static_cast<char*>(buffer));
        m_position += n;
        return static_cast<DWORD>(n);
    }
    DWORD Write(const void*, DWORD) override { return 0; }
    DWORD GetSize() override { return static_cast<DWORD>(m_bytes.size()); }
    bool Truncate(LONG) override { return false; }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
};
