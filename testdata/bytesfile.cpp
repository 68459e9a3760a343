#include "testdata/bytesfile.h"

#include <algorithm>
#include <cstring>

namespace testdata {

BytesFile::BytesFile(std::span<const std::uint8_t> bytes)
    : m_bytes(bytes) {}

DWORD BytesFile::Seek(LONG offset, SeekOrigin origin) {
    std::int64_t from = 0;
    if (origin == SeekOrigin::Current) {
        from = static_cast<std::int64_t>(m_position);
    } else if (origin == SeekOrigin::End) {
        from = static_cast<std::int64_t>(m_bytes.size());
    }
    const std::int64_t target = from + offset;
    if (target < 0 || target > static_cast<std::int64_t>(m_bytes.size())) {
        return kInvalidFilePosition;
    }
    m_position = static_cast<std::size_t>(target);
    return static_cast<DWORD>(m_position);
}

DWORD BytesFile::Read(void* buffer, DWORD count) {
    const std::size_t n = std::min<std::size_t>(count, m_bytes.size() - m_position);
    if (n > 0) {
        std::memcpy(buffer, m_bytes.data() + m_position, n);
    }
    m_position += n;
    return static_cast<DWORD>(n);
}

} // namespace testdata
