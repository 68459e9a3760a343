#pragma once
// Key order of the table files: one comparator per column type (numbers by value, texts by the
// weights of a collation), and the list that compares a search key with a record column by
// column. The comparator objects are process-wide constants; lists are immutable once built and
// may be shared between threads. A list picks its comparison when it is built, so that a lookup
// compares its columns without a call per column.

#include "tablefiles/bytespan.h"
#include "tablefiles/collation.h"
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
    int Compare(ByteSpan key, ByteSpan record) const { return m_compare(*this, key, record); }
    // Binary search over `count` views of `length` bytes, `stride` bytes apart from `first`, in
    // key order: the first one the key is not above, or the last one when the key is above them
    // all. 0 for no views.
    std::uint32_t FindLowerBound(ByteSpan key, const std::uint8_t* first, std::uint32_t count,
                                 std::uint32_t stride, std::uint32_t length) const {
        return m_lowerBound(*this, key, first, count, stride, length);
    }
    // The same result as Compare, asking each column's comparator object in turn.
    int CompareEachColumn(ByteSpan key, ByteSpan record) const;

private:
    // How a column compares: the number types by code, then whole texts and text prefixes.
    enum class ColumnKind : std::uint8_t {
        Int8,
        UInt8,
        Int16,
        UInt16,
        Int32,
        UInt32,
        Float32,
        Float64,
        Int64,
        UInt64,
        Text,
        TextPrefix,
    };
    struct Entry {
        const KeyComparator* comparator = nullptr;
        const CollationTable* weights = nullptr; // text columns only
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        ColumnKind kind = ColumnKind::Int8;
    };
    using CompareFunction = int (*)(const KeyComparatorList& list, ByteSpan key, ByteSpan record);
    using LowerBoundFunction = std::uint32_t (*)(const KeyComparatorList& list, ByteSpan key,
                                                 const std::uint8_t* first, std::uint32_t count,
                                                 std::uint32_t stride, std::uint32_t length);

    static int CompareColumn(ColumnKind kind, const Entry& entry, const std::uint8_t* key,
                             const std::uint8_t* record);
    // Compare for a list whose first column is of kind kFirst.
    template <ColumnKind kFirst>
    static int CompareFirstOf(const KeyComparatorList& list, ByteSpan key, ByteSpan record);
    template <ColumnKind kFirst>
    static std::uint32_t FindLowerBoundOf(const KeyComparatorList& list, ByteSpan key,
                                          const std::uint8_t* first, std::uint32_t count,
                                          std::uint32_t stride, std::uint32_t length);
    static int CompareNothing(const KeyComparatorList& list, ByteSpan key, ByteSpan record);
    // Picks both functions for a list whose first column is of this kind.
    void Specialise(ColumnKind first);

    std::vector<Entry> m_entries;
    CompareFunction m_compare = &CompareNothing;
    LowerBoundFunction m_lowerBound = &FindLowerBoundOf<ColumnKind::Int8>;
};
