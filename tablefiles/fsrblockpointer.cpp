#include "tablefiles/fsrblockpointer.h"

#include <utility>

FsrBlockPointer::FsrBlockPointer(CachedFilePtr file, std::uint32_t blockSize)
    : m_file(std::move(file))
    , m_blockSize(blockSize) {
    if (m_file && m_blockSize != 0) {
        const std::uint64_t viewBytes = m_file->GetBlockSize();
        const std::uint64_t perView = (viewBytes + m_blockSize - 1) / m_blockSize;
        m_blocksPerView = perView == 0 ? 1 : static_cast<std::uint32_t>(perView);
    }
}

void FsrBlockPointer::End() {
    m_view.Release();
    m_block = -1;
    m_data = nullptr;
    m_length = 0;
}

bool FsrBlockPointer::MoveTo(std::uint32_t block) {
    if (!m_file || m_blockSize == 0 || block >= m_file->GetBlockCount()) {
        End();
        return false;
    }
    const std::uint32_t view = block / m_blocksPerView;
    const bool isInView =
        m_view && m_block >= 0 && static_cast<std::uint32_t>(m_block) / m_blocksPerView == view;
    if (!isInView) {
        m_view = m_file->GetBlock(view);
        if (!m_view || m_view->GetData() == nullptr) {
            End();
            return false;
        }
    }
    // The view holds GetBlockSize() bytes; a block it cuts short is only readable up to there.
    const std::uint64_t viewBytes = m_file->GetBlockSize();
    const std::uint64_t offset = std::uint64_t{block % m_blocksPerView} * m_blockSize;
    if (offset >= viewBytes) {
        End();
        return false;
    }
    const std::uint64_t available = viewBytes - offset;
    m_block = block;
    m_data = m_view->GetData() + offset;
    m_length = static_cast<std::uint32_t>(available < m_blockSize ? available : m_blockSize);
    return true;
}
