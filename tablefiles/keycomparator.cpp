#include "tablefiles/keycomparator.h"

#include "tablefiles/collation.h"

#include "platform/littleendian.h"

#include <cstdint>
#include <type_traits>

namespace {

// One number column of both sides, each at least sizeof(T) bytes long.
template <typename T> int CompareNumbers(const std::uint8_t* key, const std::uint8_t* record) {
    const T keyValue = platform::ReadLittleEndian<T>(key);
    const T recordValue = platform::ReadLittleEndian<T>(record);
    if (keyValue < recordValue) {
        return -1;
    }
    if (recordValue < keyValue) {
        return 1;
    }
    return 0; // equal, or unordered floats
}

// Texts by collation weight. Whole texts (primary order): equal weights up to a common
// terminating zero (or the column end) are equal. Prefixes (secondary order): a key text that
// ends matches every record text that continues it.
template <bool kIsPrefix>
int CompareTexts(const CollationTable& weights, const std::uint8_t* key, const std::uint8_t* record,
                 std::uint32_t length) {
    for (std::uint32_t i = 0; i < length; ++i) {
        if (kIsPrefix && key[i] == 0) {
            return 0;
        }
        const auto keyWeight = static_cast<std::int32_t>(weights[key[i]]);
        const auto recordWeight = static_cast<std::int32_t>(weights[record[i]]);
        if (keyWeight < recordWeight) {
            return -1;
        }
        if (keyWeight > recordWeight) {
            return 1;
        }
        if (key[i] == 0) {
            return 0;
        }
    }
    return 0;
}

template <typename T> class NumberComparator final : public KeyComparator {
public:
    constexpr NumberComparator() = default;

    int Compare(ByteSpan key, ByteSpan record) const override {
        if (key.length < sizeof(T) || record.length < sizeof(T)) {
            return 0;
        }
        return CompareNumbers<T>(key.data, record.data);
    }
};

template <bool kIsPrefix> class TextComparator final : public KeyComparator {
public:
    constexpr explicit TextComparator(const CollationTable* weights)
        : m_weights(weights) {}

    int Compare(ByteSpan key, ByteSpan record) const override {
        const std::uint32_t length = key.length < record.length ? key.length : record.length;
        return CompareTexts<kIsPrefix>(*m_weights, key.data, record.data, length);
    }

private:
    const CollationTable* m_weights;
};

template <typename T> constinit const NumberComparator<T> kNumberComparator;

// Whole texts (the primary order) and prefixes (the secondary order).
using TextKeyComparator = TextComparator<false>;
using TextPrefixComparator = TextComparator<true>;

// By collation variant.
template <class Comparator>
constinit const Comparator kTextComparators[kCollationVariantCount] = {
    Comparator(&CodeOrder), Comparator(&CaseFoldOrder), Comparator(&GermanOrder),
    Comparator(&GermanCaseFoldOrder)};

// By type code; null for the text types.
constinit const KeyComparator* const kNumberComparators[kColumnTypeCount] = {
    &kNumberComparator<std::int8_t>,
    &kNumberComparator<std::uint8_t>,
    &kNumberComparator<std::int16_t>,
    &kNumberComparator<std::uint16_t>,
    &kNumberComparator<std::int32_t>,
    &kNumberComparator<std::uint32_t>,
    &kNumberComparator<float>,
    &kNumberComparator<double>,
    nullptr, // Text8 to Text256
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &kNumberComparator<std::int64_t>,
    &kNumberComparator<std::uint64_t>,
};

} // namespace

const KeyComparator* GetKeyComparator(std::uint32_t typeCode, std::uint32_t variant,
                                      bool secondary) {
    if (typeCode >= kColumnTypeCount || variant >= kCollationVariantCount) {
        return nullptr;
    }
    if (IsTextColumnType(typeCode)) {
        return secondary ? static_cast<const KeyComparator*>(
                               &kTextComparators<TextPrefixComparator>[variant])
                         : &kTextComparators<TextKeyComparator>[variant];
    }
    return kNumberComparators[typeCode];
}

KeyComparatorList::KeyComparatorList(CollationVariant variant, const ColumnList& columns,
                                     bool secondary) {
    m_entries.reserve(columns.columns.size());
    for (const ColumnInfo& column : columns.columns) {
        const KeyComparator* comparator =
            GetKeyComparator(column.typeCode, static_cast<std::uint32_t>(variant), secondary);
        if (comparator == nullptr) {
            break;
        }
        Entry entry{comparator, nullptr, column.offset, column.size, ColumnKind::Int8};
        if (IsTextColumnType(column.typeCode)) {
            entry.kind = secondary ? ColumnKind::TextPrefix : ColumnKind::Text;
            entry.weights = &CollationTableOf(variant);
        } else {
            entry.kind = column.typeCode == 14   ? ColumnKind::Int64
                         : column.typeCode == 15 ? ColumnKind::UInt64
                                                 : static_cast<ColumnKind>(column.typeCode);
        }
        m_entries.push_back(entry);
    }
    if (!m_entries.empty()) {
        Specialise(m_entries.front().kind);
    }
}

namespace {

// Whether a column lies whole inside both the key and the record. A column that starts inside
// but runs past either is not compared: reading it would leave the buffer.
template <class Entry> bool IsInside(const Entry& entry, ByteSpan key, ByteSpan record) {
    return entry.offset < key.length && entry.offset < record.length &&
           entry.size <= key.length - entry.offset && entry.size <= record.length - entry.offset;
}

} // namespace

inline int KeyComparatorList::CompareColumn(ColumnKind kind, const Entry& entry,
                                            const std::uint8_t* key, const std::uint8_t* record) {
    switch (kind) {
    case ColumnKind::Int8:
        return CompareNumbers<std::int8_t>(key, record);
    case ColumnKind::UInt8:
        return CompareNumbers<std::uint8_t>(key, record);
    case ColumnKind::Int16:
        return CompareNumbers<std::int16_t>(key, record);
    case ColumnKind::UInt16:
        return CompareNumbers<std::uint16_t>(key, record);
    case ColumnKind::Int32:
        return CompareNumbers<std::int32_t>(key, record);
    case ColumnKind::UInt32:
        return CompareNumbers<std::uint32_t>(key, record);
    case ColumnKind::Float32:
        return CompareNumbers<float>(key, record);
    case ColumnKind::Float64:
        return CompareNumbers<double>(key, record);
    case ColumnKind::Int64:
        return CompareNumbers<std::int64_t>(key, record);
    case ColumnKind::UInt64:
        return CompareNumbers<std::uint64_t>(key, record);
    case ColumnKind::Text:
        return CompareTexts<false>(*entry.weights, key, record, entry.size);
    case ColumnKind::TextPrefix:
        return CompareTexts<true>(*entry.weights, key, record, entry.size);
    }
    return 0;
}

template <KeyComparatorList::ColumnKind kFirst>
int KeyComparatorList::CompareFirstOf(const KeyComparatorList& list, ByteSpan key,
                                      ByteSpan record) {
    const Entry& first = list.m_entries.front();
    if (!IsInside(first, key, record)) {
        return 0;
    }
    // The first column's kind is known here; the further columns look theirs up.
    const int result =
        CompareColumn(kFirst, first, key.data + first.offset, record.data + first.offset);
    if (result != 0) {
        return result;
    }
    for (std::size_t i = 1; i < list.m_entries.size(); ++i) {
        const Entry& entry = list.m_entries[i];
        if (!IsInside(entry, key, record)) {
            return 0;
        }
        const int further =
            CompareColumn(entry.kind, entry, key.data + entry.offset, record.data + entry.offset);
        if (further != 0) {
            return further;
        }
    }
    return 0;
}

template <KeyComparatorList::ColumnKind kFirst>
std::uint32_t KeyComparatorList::FindLowerBoundOf(const KeyComparatorList& list, ByteSpan key,
                                                  const std::uint8_t* first, std::uint32_t count,
                                                  std::uint32_t stride, std::uint32_t length) {
    std::uint32_t low = 0;
    std::uint32_t high = count == 0 ? 0 : count - 1;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        // Both views the next step may compare are fetched while this one compares, so that
        // the misses of a search through a block overlap instead of following each other.
        __builtin_prefetch(first + std::size_t{low + (middle - low) / 2} * stride);
        __builtin_prefetch(first + std::size_t{middle + 1 + (high - middle - 1) / 2} * stride);
        const ByteSpan view(first + std::size_t{middle} * stride, length);
        if (list.m_entries.empty() || CompareFirstOf<kFirst>(list, key, view) <= 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

int KeyComparatorList::CompareNothing(const KeyComparatorList&, ByteSpan, ByteSpan) {
    return 0;
}

void KeyComparatorList::Specialise(ColumnKind first) {
    switch (first) {
    case ColumnKind::Int8:
        m_compare = &CompareFirstOf<ColumnKind::Int8>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Int8>;
        break;
    case ColumnKind::UInt8:
        m_compare = &CompareFirstOf<ColumnKind::UInt8>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::UInt8>;
        break;
    case ColumnKind::Int16:
        m_compare = &CompareFirstOf<ColumnKind::Int16>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Int16>;
        break;
    case ColumnKind::UInt16:
        m_compare = &CompareFirstOf<ColumnKind::UInt16>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::UInt16>;
        break;
    case ColumnKind::Int32:
        m_compare = &CompareFirstOf<ColumnKind::Int32>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Int32>;
        break;
    case ColumnKind::UInt32:
        m_compare = &CompareFirstOf<ColumnKind::UInt32>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::UInt32>;
        break;
    case ColumnKind::Float32:
        m_compare = &CompareFirstOf<ColumnKind::Float32>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Float32>;
        break;
    case ColumnKind::Float64:
        m_compare = &CompareFirstOf<ColumnKind::Float64>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Float64>;
        break;
    case ColumnKind::Int64:
        m_compare = &CompareFirstOf<ColumnKind::Int64>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Int64>;
        break;
    case ColumnKind::UInt64:
        m_compare = &CompareFirstOf<ColumnKind::UInt64>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::UInt64>;
        break;
    case ColumnKind::Text:
        m_compare = &CompareFirstOf<ColumnKind::Text>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::Text>;
        break;
    case ColumnKind::TextPrefix:
        m_compare = &CompareFirstOf<ColumnKind::TextPrefix>;
        m_lowerBound = &FindLowerBoundOf<ColumnKind::TextPrefix>;
        break;
    }
}

int KeyComparatorList::CompareEachColumn(ByteSpan key, ByteSpan record) const {
    for (const Entry& entry : m_entries) {
        if (!IsInside(entry, key, record)) {
            return 0;
        }
        const int result = entry.comparator->Compare({key.data + entry.offset, entry.size},
                                                     {record.data + entry.offset, entry.size});
        if (result != 0) {
            return result;
        }
    }
    return 0;
}
