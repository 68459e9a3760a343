#pragma once
// The key index of a table file: the key of the first record of every data block, kept in memory,
// and the search for the one or two blocks where a key's run of equal records may start.

#include "tablefiles/bytespan.h"
#include "tablefiles/keycomparator.h"

#include <cstdint>
#include <vector>

class IFile;

class FsrKeyIndex {
public:
    // The keystream of scrambled key indexes: state = state x multiplier + increment (mod 2^32)
    // before each word, starting from the seed.
    static constexpr std::uint32_t kKeyStreamSeed = 0x5A17C0DEu;
    static constexpr std::uint32_t kKeyStreamMultiplier = 0x0019660Du;
    static constexpr std::uint32_t kKeyStreamIncrement = 0x3C6EF35Fu;

    // Reads `count` keys of `keySize` bytes from file offset `offset` and descrambles them when
    // asked. False (index empty) on a failed seek or a short read.
    [[nodiscard]] bool Load(IFile& file, std::uint32_t offset, std::uint32_t count,
                            std::uint32_t keySize, bool isScrambled);
    void Clear();

    // XORs the keystream over the whole little-endian 32-bit words of the bytes; a tail of 1 to
    // 3 bytes stays unchanged. Applying it twice restores the bytes.
    static void Descramble(std::uint8_t* bytes, std::size_t length);

    struct BlockRange {
        bool isFound = false;
        std::uint32_t first = 0;
        std::uint32_t last = 0;
    };
    // The data blocks to search for the first record equal to the key: one block, or two when the
    // key equals a block's first key and its run may begin in the block before. Not found when the
    // index is empty or the key lies below the first block's key. Only the columns inside the key
    // size take part in the comparisons.
    BlockRange FindBlocks(ByteSpan key, const KeyComparatorList& comparators) const;

    std::uint32_t GetCount() const { return m_count; }
    std::uint32_t GetKeySize() const { return m_keySize; }
    ByteSpan GetKey(std::uint32_t block) const;

private:
    std::vector<std::uint8_t> m_keys;
    std::uint32_t m_keySize = 0;
    std::uint32_t m_count = 0;
};
