#include "tablefiles/keycomparator.h"

#include "tablefiles/collation.h"

#include "platform/littleendian.h"

#include <cstdint>
#include <type_traits>

namespace {

template <typename T> class NumberComparator final : public KeyComparator {
public:
    constexpr NumberComparator() = default;

    int Compare(ByteSpan key, ByteSpan record) const override {
        if (key.length < sizeof(T) || record.length < sizeof(T)) {
            return 0;
        }
        const T keyValue = platform::ReadLittleEndian<T>(key.data);
        const T recordValue = platform::ReadLittleEndian<T>(record.data);
        if (keyValue < recordValue) {
            return -1;
        }
        if (recordValue < keyValue) {
            return 1;
        }
        return 0; // equal, or unordered floats
    }
};

// Texts by collation weight. Whole texts (primary order): equal weights up to a common
// terminating zero (or the column end) are equal. Prefixes (secondary order): a key text that
// ends matches every record text that continues it.
template <bool kIsPrefix> class TextComparator final : public KeyComparator {
public:
    constexpr explicit TextComparator(const CollationTable* weights)
        : m_weights(weights) {}

    int Compare(ByteSpan key, ByteSpan record) const override {
        const std::uint32_t length = key.length < record.length ? key.length : record.length;
        for (std::uint32_t i = 0; i < length; ++i) {
            if (kIsPrefix && key.data[i] == 0) {
                return 0;
            }
            const auto keyWeight = static_cast<std::int32_t>((*m_weights)[key.data[i]]);
            const auto recordWeight = static_cast<std::int32_t>((*m_weights)[record.data[i]]);
            if (keyWeight < recordWeight) {
                return -1;
            }
            if (keyWeight > recordWeight) {
                return 1;
            }
            if (key.data[i] == 0) {
                return 0;
            }
        }
        return 0;
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
        m_entries.push_back({comparator, column.offset, column.size});
    }
}

int KeyComparatorList::Compare(ByteSpan key, ByteSpan record) const {
    for (const Entry& entry : m_entries) {
        if (entry.offset >= key.length || entry.offset >= record.length) {
            return 0;
        }
        // A column that starts inside but runs past the key or the record is not compared:
        // reading it would leave the buffer.
        if (entry.size > key.length - entry.offset || entry.size > record.length - entry.offset) {
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
