#include "tablefiles/fsrkeyindex.h"

#include "utilities/usefulcode/ifile.h"

#include <limits>
#include <new>

bool FsrKeyIndex::Load(IFile& file, std::uint32_t offset, std::uint32_t count,
                       std::uint32_t keySize, bool isScrambled) {
    Clear();
    const std::uint64_t length = std::uint64_t{count} * keySize;
    if (offset > static_cast<std::uint32_t>(std::numeric_limits<LONG>::max()) ||
        length > std::numeric_limits<DWORD>::max()) {
        return false;
    }
    if (file.Seek(static_cast<LONG>(offset), SeekOrigin::Begin) != offset) {
        return false;
    }
    std::vector<std::uint8_t> keys;
    try {
        keys.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (length > 0 && file.Read(keys.data(), static_cast<DWORD>(length)) != length) {
        return false;
    }
    if (isScrambled) {
        Descramble(keys.data(), keys.size());
    }
    m_keys = std::move(keys);
    m_keySize = keySize;
    m_count = count;
    return true;
}

void FsrKeyIndex::Clear() {
    m_keys.clear();
    m_keys.shrink_to_fit();
    m_keySize = 0;
    m_count = 0;
}

void FsrKeyIndex::Descramble(std::uint8_t* bytes, std::size_t length) {
    std::uint32_t state = kKeyStreamSeed;
    for (std::size_t at = 0; at + 4 <= length; at += 4) {
        state = state * kKeyStreamMultiplier + kKeyStreamIncrement;
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(bytes[at + i] ^ (state >> (8 * i)));
        }
    }
}

ByteSpan FsrKeyIndex::GetKey(std::uint32_t block) const {
    if (block >= m_count) {
        return {};
    }
    return {m_keys.data() + std::size_t{block} * m_keySize, m_keySize};
}

FsrKeyIndex::BlockRange FsrKeyIndex::FindBlocks(ByteSpan key,
                                                const KeyComparatorList& comparators) const {
    if (m_count == 0 || m_keySize == 0) {
        return {};
    }
    if (comparators.Compare(key, GetKey(0)) < 0) {
        return {};
    }
    const std::uint32_t first =
        comparators.FindLowerBound(key, m_keys.data(), m_count, m_keySize, m_keySize);
    // first: the lowest block whose first key is not below the key, or the last block.
    if (first == 0) {
        return {true, 0, 0};
    }
    if (first == m_count - 1 && comparators.Compare(key, GetKey(first)) > 0) {
        return {true, first, first};
    }
    const std::uint32_t last = comparators.Compare(key, GetKey(first)) == 0 ? first : first - 1;
    return {true, first - 1, last};
}
