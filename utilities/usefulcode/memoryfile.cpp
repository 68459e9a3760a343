#include "utilities/usefulcode/memoryfile.h"

#include "utilities/usefulcode/stdiofile.h"

#include <cstring>
#include <new>

MemoryFile::~MemoryFile() {
    Close();
}

void MemoryFile::Open(const std::u16string& path, RawFileMode mode) {
    if (mode != RawFileMode::Read) {
        return;
    }
    Close();
    StdioFile stream;
    stream.Open(path, RawFileMode::Read);
    if (!stream.IsOpen()) {
        return;
    }
    const LONG size = stream.Seek(0, kRawSeekEnd);
    if (size < 0 || static_cast<DWORD>(size) > kMaxSize || stream.Seek(0, kRawSeekBegin) != 0) {
        return;
    }
    std::unique_ptr<BYTE[]> buffer;
    if (size > 0) {
        buffer.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(size)]);
        if (!buffer || !stream.Read(buffer.get(), static_cast<DWORD>(size))) {
            return;
        }
    }
    m_buffer = std::move(buffer);
    m_size = static_cast<DWORD>(size);
    m_cursor = 0;
    m_isOpen = true;
}

LONG MemoryFile::Seek(LONG offset, int origin) {
    if (!m_isOpen) {
        return -1;
    }
    std::int64_t base = m_size;
    if (origin == kRawSeekBegin) {
        base = 0;
    } else if (origin == kRawSeekCurrent) {
        base = m_cursor;
    }
    const std::int64_t position = base + offset;
    if (position < 0 || position > m_size) {
        return -1;
    }
    m_cursor = static_cast<DWORD>(position);
    return static_cast<LONG>(position);
}

bool MemoryFile::Read(void* buffer, DWORD count) {
    if (!m_isOpen || count > m_size - m_cursor) {
        return false;
    }
    if (count > 0) {
        std::memcpy(buffer, m_buffer.get() + m_cursor, count);
        m_cursor += count;
    }
    return true;
}

bool MemoryFile::Write(const void*, DWORD) {
    return false;
}

bool MemoryFile::WriteData(const void*, DWORD) {
    return false;
}

LONG MemoryFile::Tell() {
    return m_isOpen ? static_cast<LONG>(m_cursor) : -1;
}

int MemoryFile::Close() {
    m_buffer.reset();
    m_size = 0;
    m_cursor = 0;
    m_isOpen = false;
    return 1;
}
