#pragma once
// Record cursors of a table file. Cursors point into cached blocks (records are never copied);
// copies share the block view and the comparator list. A cursor is used by one
// thread at a time and not after its table was closed.

#include "tablefiles/bytespan.h"
#include "tablefiles/columntype.h"
#include "tablefiles/fieldvalue.h"
#include "tablefiles/fsrblockpointer.h"
#include "tablefiles/keycomparator.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Where a cursor's records lie: records per block and the record size of its table.
struct FsrRecordLayout {
    std::uint32_t recordSize = 0;
    std::uint32_t recordsPerBlock = 0;
    std::uint32_t lastRecord = 0; // record count - 1
};

class FsrRecord {
public:
    // An ended cursor.
    FsrRecord() = default;
    // A cursor on record `number`, whose block the pointer holds; ended when the record does not
    // lie whole inside that block.
    FsrRecord(FsrBlockPointer block, const FsrRecordLayout& layout, std::uint32_t number,
              std::shared_ptr<const KeyComparatorList> comparators);

    bool IsValid() const { return m_record != nullptr && m_block.IsValid(); }
    // Steps to the following record; at the last record, or when its block cannot be reached,
    // the cursor ends.
    void Next();

    // The current record's bytes (record size long); null when ended.
    const std::uint8_t* GetRecord() const { return IsValid() ? m_record : nullptr; }
    ByteSpan GetRecordBytes() const;
    std::uint32_t GetRecordNumber() const { return m_number; }

protected:
    const KeyComparatorList* GetComparators() const { return m_comparators.get(); }
    void End();

private:
    bool PlaceRecord(std::uint32_t indexInBlock);

    FsrBlockPointer m_block;
    const std::uint8_t* m_record = nullptr;
    FsrRecordLayout m_layout;
    std::uint32_t m_number = 0;
    std::shared_ptr<const KeyComparatorList> m_comparators;
};

// A cursor's own copy of its search key: short keys are held in place, so that a lookup does not
// allocate; longer ones on the heap.
class SearchKey {
public:
    static constexpr std::uint32_t kInPlaceSize = 32;

    SearchKey() = default;
    explicit SearchKey(ByteSpan key);

    ByteSpan GetBytes() const;

private:
    std::array<std::uint8_t, kInPlaceSize> m_inPlace{};
    std::vector<std::uint8_t> m_onHeap;
    std::uint32_t m_length = 0;
};

// The run of records equal to a search key, from its first record on.
class FsrKeyRange : public FsrRecord {
public:
    FsrKeyRange() = default;
    FsrKeyRange(FsrRecord first, ByteSpan key);

    // Steps to the following record and ends at the first one that is not equal to the key.
    void Next();

private:
    SearchKey m_key;
};

// A key range whose fields can be read by column.
class FsrRowRange : public FsrKeyRange {
public:
    FsrRowRange() = default;
    FsrRowRange(FsrKeyRange range, std::shared_ptr<const ColumnList> columns);

    // Column i of the current record; an invalid value when the cursor has ended or i is not
    // below the column count.
    FieldValue GetValue(std::uint32_t column) const;

private:
    std::shared_ptr<const ColumnList> m_columns;
};
