#include "tablefiles/fsrrecord.h"

#include <algorithm>
#include <utility>

FsrRecord::FsrRecord(FsrBlockPointer block, const FsrRecordLayout& layout, std::uint32_t number,
                     std::shared_ptr<const KeyComparatorList> comparators)
    : m_block(std::move(block))
    , m_layout(layout)
    , m_number(number)
    , m_comparators(std::move(comparators)) {
    if (m_layout.recordsPerBlock == 0 || !PlaceRecord(number % m_layout.recordsPerBlock)) {
        End();
    }
}

bool FsrRecord::PlaceRecord(std::uint32_t indexInBlock) {
    const std::uint64_t end = std::uint64_t{indexInBlock + 1} * m_layout.recordSize;
    if (!m_block.IsValid() || end > m_block.GetLength()) {
        return false;
    }
    m_record = m_block.GetData() + std::uint64_t{indexInBlock} * m_layout.recordSize;
    return true;
}

void FsrRecord::End() {
    m_block.End();
    m_record = nullptr;
}

ByteSpan FsrRecord::GetRecordBytes() const {
    return IsValid() ? ByteSpan(m_record, m_layout.recordSize) : ByteSpan();
}

void FsrRecord::Next() {
    if (!IsValid()) {
        return;
    }
    if (m_number >= m_layout.lastRecord) {
        End();
        return;
    }
    ++m_number;
    const std::uint32_t indexInBlock = m_number % m_layout.recordsPerBlock;
    if (indexInBlock == 0) {
        const auto next = static_cast<std::uint32_t>(m_block.GetBlockIndex() + 1);
        if (!m_block.MoveTo(next)) {
            End();
            return;
        }
    }
    if (!PlaceRecord(indexInBlock)) {
        End();
    }
}

SearchKey::SearchKey(ByteSpan key)
    : m_length(key.data == nullptr ? 0 : key.length) {
    if (m_length <= kInPlaceSize) {
        std::copy_n(key.data, m_length, m_inPlace.begin());
    } else {
        m_onHeap = key.Duplicate();
    }
}

ByteSpan SearchKey::GetBytes() const {
    return {m_length <= kInPlaceSize ? m_inPlace.data() : m_onHeap.data(), m_length};
}

FsrKeyRange::FsrKeyRange(FsrRecord first, ByteSpan key)
    : FsrRecord(std::move(first))
    , m_key(key) {}

void FsrKeyRange::Next() {
    FsrRecord::Next();
    if (IsValid() &&
        (!GetComparators() || GetComparators()->Compare(m_key.GetBytes(), GetRecordBytes()) != 0)) {
        End();
    }
}

FsrRowRange::FsrRowRange(FsrKeyRange range, std::shared_ptr<const ColumnList> columns)
    : FsrKeyRange(std::move(range))
    , m_columns(std::move(columns)) {}

FieldValue FsrRowRange::GetValue(std::uint32_t column) const {
    if (!IsValid() || !m_columns || column >= m_columns->columns.size()) {
        return {};
    }
    const ColumnInfo& info = m_columns->columns[column];
    if (std::uint64_t{info.offset} + info.size > GetRecordBytes().length) {
        return {};
    }
    return FieldValue(info.typeCode, GetRecord() + info.offset);
}
