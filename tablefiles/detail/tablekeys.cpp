#include "tablefiles/detail/tablekeys.h"

#include "utilities/usefulcode/ifile.h"

#include <utility>

namespace tablefiles::detail {

std::string TableKeys::LoadKeyIndex(IFile& file, std::uint32_t blockSize, std::uint32_t blockCount,
                                    std::uint32_t keySize, bool isScrambled,
                                    const std::string& counted) {
    // In 64 bits: with one record per block, blockCount + 1 overflows 32 bits for the largest
    // counts.
    const std::uint64_t keyIndexAt = std::uint64_t{blockSize} * (std::uint64_t{blockCount} + 1);
    const std::uint64_t needed = keyIndexAt + std::uint64_t{blockCount} * keySize;
    const DWORD fileSize = file.GetSize();
    if (fileSize == kInvalidFilePosition || needed > fileSize) {
        return counted + " need " + std::to_string(needed) + " bytes, file has " +
               std::to_string(fileSize);
    }
    if (!m_keyIndex.Load(file, static_cast<std::uint32_t>(keyIndexAt), blockCount, keySize,
                         isScrambled)) {
        return "key index unreadable";
    }
    return {};
}

void TableKeys::SetColumns(CollationVariant variant, ColumnList columns) {
    auto shared = std::make_shared<const ColumnList>(std::move(columns));
    m_primary = std::make_shared<const KeyComparatorList>(variant, *shared, false);
    m_secondary = std::make_shared<const KeyComparatorList>(variant, *shared, true);
    m_columns = std::move(shared);
}

void TableKeys::Clear() {
    m_columns.reset();
    m_primary.reset();
    m_secondary.reset();
    m_keyIndex.Clear();
}

} // namespace tablefiles::detail
