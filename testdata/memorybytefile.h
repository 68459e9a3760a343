#pragma once
// An IFile over bytes in memory, for readers' and writers' tests and fuzz targets. Writing
// overwrites at the position and grows the bytes; a write limit makes writes fail after that
// many bytes, as on a full disk.

#include "utilities/usefulcode/ifile.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace testdata {

class MemoryByteFile final : public IFile {
public:
    MemoryByteFile() = default;
    explicit MemoryByteFile(std::vector<std::uint8_t> bytes)
        : m_bytes(std::move(bytes)) {}
    explicit MemoryByteFile(std::string_view bytes)
        : m_bytes(bytes.begin(), bytes.end()) {}

    bool Open(const std::u16string&, FileAccess, FileShare, FileCreation, FileHint) override {
        return false;
    }
    bool IsOpen() const override { return true; }
    bool Close() override { return true; }
    DWORD Seek(LONG offset, SeekOrigin origin) override {
        const std::int64_t from =
            origin == SeekOrigin::Current ? static_cast<std::int64_t>(m_position)
            : origin == SeekOrigin::End   ? static_cast<std::int64_t>(m_bytes.size())
                                          : 0;
        const std::int64_t target = from + offset;
        if (target < 0 || target > static_cast<std::int64_t>(m_bytes.size())) {
            return kInvalidFilePosition;
        }
        m_position = static_cast<std::size_t>(target);
        return static_cast<DWORD>(m_position);
    }
    DWORD Read(void* buffer, DWORD count) override {
        const std::size_t n = std::min<std::size_t>(count, m_bytes.size() - m_position);
        std::copy_n(m_bytes.data() + m_position, n, static_cast<std::uint8_t*>(buffer));
        m_position += n;
        return static_cast<DWORD>(n);
    }
    DWORD Write(const void* buffer, DWORD count) override {
        const std::size_t room = m_writeLimit > m_written ? m_writeLimit - m_written : 0;
        const std::size_t n = std::min<std::size_t>(count, room);
        if (m_position + n > m_bytes.size()) {
            m_bytes.resize(m_position + n);
        }
        std::copy_n(static_cast<const std::uint8_t*>(buffer), n, m_bytes.data() + m_position);
        m_position += n;
        m_written += n;
        return static_cast<DWORD>(n);
    }
    DWORD GetSize() override { return static_cast<DWORD>(m_bytes.size()); }
    bool Truncate(LONG) override { return false; }

    // Writes stop after this many bytes in all (counted from now on).
    void SetWriteLimit(std::size_t bytes) {
        m_writeLimit = bytes;
        m_written = 0;
    }
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    std::size_t m_writeLimit = static_cast<std::size_t>(-1);
    std::size_t m_written = 0;
};

} // namespace testdata
