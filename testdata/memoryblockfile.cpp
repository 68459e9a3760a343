#include "testdata/memoryblockfile.h"

#include <utility>

namespace testdata {
namespace {

DWORD PageSize(const std::vector<std::uint8_t>& bytes, DWORD pageSize) {
    return pageSize == MemoryBlockFile::kWholeFile ? static_cast<DWORD>(bytes.size()) : pageSize;
}

} // namespace

MemoryBlockFile::MemoryBlockFile(std::vector<std::uint8_t> bytes, DWORD recordSize, DWORD pageSize)
    : CachedFile({}, u"memory", PageSize(bytes, pageSize), recordSize)
    , m_bytes(std::move(bytes))
    , m_isOnePage(pageSize == kWholeFile)
    , m_count(recordSize == 0 ? 0 : static_cast<DWORD>(m_bytes.size() / recordSize)) {}

BYTE* MemoryBlockFile::LoadBlock(DWORD blockIndex) {
    const std::uint64_t offset = std::uint64_t{GetBlockSize()} * blockIndex;
    if (GetBlockSize() == 0 || offset + GetBlockSize() > m_bytes.size()) {
        return nullptr;
    }
    return m_bytes.data() + offset;
}

CachedBlockPtr MemoryBlockFile::GetBlock(DWORD blockIndex) {
    m_requests.fetch_add(1);
    const DWORD page = m_isOnePage ? 0 : blockIndex;
    BYTE* data = LoadBlock(page);
    if (data == nullptr) {
        return CachedBlockPtr();
    }
    return CachedBlockPtr(TFactory<CachedBlock, six::MTModel>::MakeBlock(*this, data, page));
}

CachedFilePtr MakeMemoryBlockFile(std::vector<std::uint8_t> bytes, DWORD recordSize,
                                  DWORD pageSize) {
    return MakeCachedFile<MemoryBlockFile>(std::move(bytes), recordSize, pageSize);
}

} // namespace testdata
