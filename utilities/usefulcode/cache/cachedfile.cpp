#include "utilities/usefulcode/cache/cachedfile.h"

#include "utilities/usefulcode/cache/cachelrulist.h"

namespace {

struct CountedBlock : TFactory<CachedBlock, six::MTModel>::Rep {
    CachedBlock block;
};

} // namespace

TFactory<CachedBlock, six::MTModel>::Rep*
TFactory<CachedBlock, six::MTModel>::MakeBlock(CachedFile& file, BYTE* data,
                                               DWORD blockIndex) noexcept {
    auto* counted = new (std::nothrow) CountedBlock{{1, nullptr}, {file, data, blockIndex}};
    if (counted == nullptr) {
        return nullptr;
    }
    counted->object = &counted->block;
    return counted;
}

void TFactory<CachedBlock, six::MTModel>::DeallocRep(Rep* rep) noexcept {
    delete static_cast<CountedBlock*>(rep);
}

void WriteBackFilter::OnRelease(BYTE* data, CachedFile&, DWORD) {
    if (data != nullptr) {
        data[m_blockSize] = 1;
    }
}

CachedBlock::CachedBlock(CachedFile& file, BYTE* data, DWORD blockIndex)
    : m_file(&file)
    , m_fileReference(file.AddReference())
    , m_data(data)
    , m_blockIndex(blockIndex) {}

CachedBlock::~CachedBlock() {
    if (m_data != nullptr) {
        m_file->ReleaseBlock(m_data, m_blockIndex);
    }
    // m_fileReference goes last, so the file outlives the release of its data.
}

CachedFile::CachedFile(std::weak_ptr<CacheLruList> list, std::u16string name, DWORD blockSize,
                       DWORD unitSize)
    : m_list(std::move(list))
    , m_blockSize(blockSize)
    , m_unitSize(unitSize)
    , m_name(std::move(name))
    , m_filter(new NullBlockFilter()) {}

CachedFile::~CachedFile() = default;

void CachedFile::SetFilter(BlockFilterPtr filter) {
    if (filter) {
        m_filter = std::move(filter);
    }
}

CachedFilePtr CachedFile::AddReference() {
    if (m_ownRep == nullptr) {
        return CachedFilePtr();
    }
    six::MTModel::Increment(m_ownRep->count);
    return CachedFilePtr(m_ownRep);
}

CachedBlockPtr CachedFile::GetListedBlock(DWORD blockIndex) {
    const std::shared_ptr<CacheLruList> list = m_list.lock();
    if (!list) {
        return CachedBlockPtr(); // the cache is gone
    }
    return list->GetBlock(*this, blockIndex);
}
