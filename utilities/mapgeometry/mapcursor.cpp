#include "utilities/mapgeometry/mapcursor.h"

#include <utility>

MapCursor::MapCursor(CachedFilePtr file)
    : m_file(std::move(file)) {
    if (m_file) {
        // Records per page: the ceiling of page size / record size.
        m_recordSize = m_file->GetUnitSize();
        const DWORD pageSize = m_file->GetBlockSize();
        if (m_recordSize != 0) {
            m_recordsPerPage =
                static_cast<DWORD>((std::uint64_t{pageSize} + m_recordSize - 1) / m_recordSize);
        }
        if (m_recordsPerPage == 0) {
            m_recordsPerPage = 1;
        }
    }
}

MapCursor::MapCursor(CachedFilePtr file, DWORD index)
    : MapCursor(std::move(file)) {
    Seek(index);
}

bool MapCursor::Seek(DWORD n, bool append) {
    if (m_data != nullptr && n == m_index) {
        return true;
    }
    if (!m_file || m_recordSize == 0) {
        Reset();
        return false;
    }
    const DWORD page = n / m_recordsPerPage;
    const bool isOnHeldPage = m_page && m_index != kNoIndex && page == m_index / m_recordsPerPage;
    m_index = n;
    if (n >= m_file->GetBlockCount() && !append) {
        Reset();
        return false;
    }
    if (!isOnHeldPage) {
        m_data = nullptr;
        m_page = m_file->GetBlock(page);
        // A mapped file answers every page with its one view: only page 0 is really there.
        if (m_page && m_page->GetIndex() != page) {
            m_page.Release();
        }
    }
    const std::uint64_t offset = std::uint64_t{n % m_recordsPerPage} * m_recordSize;
    if (!m_page || offset + m_recordSize > m_file->GetBlockSize()) {
        Reset();
        return false;
    }
    m_data = m_page->GetData() + offset;
    return true;
}

void MapCursor::Reset() {
    m_page.Release();
    m_data = nullptr;
}
