#pragma once
// Key order of the table files: one comparator per column type (numbers by value, texts by the
// weights of a collation), and the list that compares a search key with a record column by
// column. The comparator objects are process-wide constants; lists are immutable once built and
// may be shared between threads.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"

#include <cstdint>
#include <vector>

// Compares one column of a key with the same column of a record: -1 key below, 0 equal,
// 1 key above. Both views hold that column; neither is read beyond its length.
class KeyComparator {
public:
    virtual ~KeyComparator() = default;
    virtual int Compare(ByteSpan key, ByteSpan record) const = 0;

protected:
    constexpr KeyComparator() = default;
    KeyComparator(const KeyComparator&) = default;
    KeyComparator& operator=(const KeyComparator&) = default;
};

// The comparator of a column type under a collation variant: for the primary list text columns
// compare as whole texts, for the secondary list a key text matches every record text that
// begins with it. Null for a type code above 15 or a variant above 3.
const KeyComparator* GetKeyComparator(std::uint32_t typeCode, std::uint32_t variant,
                                      bool secondary);

class KeyComparatorList {
public:
    KeyComparatorList() = default;
    // One entry per column in record order. Columns without a comparator (an unknown type code
    // or variant) end the list there.
    KeyComparatorList(CollationVariant variant, const ColumnList& columns, bool secondary);

    // Compares the key with the record column by column; the first difference decides. Only the
    // columns that lie whole inside both the key and the record take part, so a key of the first
    // k columns is a prefix key and a record that ends early compares equal on the missing ones.
    int Compare(ByteSpan key, ByteSpan record) const;

private:
    struct Entry {
        const KeyComparator* comparator = nullptr;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };

    std::vector<Entry> m_entries;
};
