#include "basiccomp/retrievalengine/code/addressindex.h"

#include <utility>

AddressIndex::AddressIndex(BlockCachePtr cache)
    : m_cache(std::move(cache)) {}

void AddressIndex::Open(const std::u16string& basePath, bool isFull,
                        std::shared_ptr<SfsMountSet> mountSet) {
    m_basePath = basePath;
    m_isFull = isFull;
    m_mountSet = std::move(mountSet);
}

void AddressIndex::Close() {
    m_isFull = false;
}

std::uint32_t AddressIndex::LookupS2C(std::uint32_t id) const {
    return m_isFull ? id : 0;
}
