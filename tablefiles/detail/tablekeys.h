#pragma once
// The key side of a table file, whatever its record format: the columns, their primary and
// secondary key orders, and the key index with the first key of every data block. No lock of its
// own; the orders and columns are immutable once set and may be shared with cursors.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"
#include "tablefiles/fsrkeyindex.h"
#include "tablefiles/keycomparator.h"

#include <cstdint>
#include <memory>
#include <string>

class IFile;

namespace tablefiles::detail {

class TableKeys {
public:
    // Loads the key index that follows the header block and `blockCount` data blocks of
    // `blockSize` bytes: one key of `keySize` bytes per data block. An empty text when it is
    // loaded, else the reason it is refused, led by `counted` (what the blocks hold, "500
    // records"): the file is too short for it, or it cannot be read.
    [[nodiscard]] std::string LoadKeyIndex(IFile& file, std::uint32_t blockSize,
                                           std::uint32_t blockCount, std::uint32_t keySize,
                                           bool isScrambled, const std::string& counted);
    // Takes the columns and builds both key orders over them.
    void SetColumns(CollationVariant variant, ColumnList columns);
    // Forgets the columns, the orders and the key index.
    void Clear();

    // Null while no columns are set.
    const std::shared_ptr<const ColumnList>& GetColumns() const { return m_columns; }
    // The secondary order finds texts by prefix. Null while no columns are set.
    const std::shared_ptr<const KeyComparatorList>& GetOrder(bool secondary) const {
        return secondary ? m_secondary : m_primary;
    }
    // The data blocks where the key's run may start (see FsrKeyIndex::FindBlocks), by the order
    // asked for. Only while columns are set.
    FsrKeyIndex::BlockRange FindBlocks(ByteSpan key, bool secondary) const {
        return m_keyIndex.FindBlocks(key, *GetOrder(secondary));
    }

private:
    std::shared_ptr<const ColumnList> m_columns;
    std::shared_ptr<const KeyComparatorList> m_primary;
    std::shared_ptr<const KeyComparatorList> m_secondary;
    FsrKeyIndex m_keyIndex;
};

} // namespace tablefiles::detail
