#include "tablefiles/columntype.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, kColumnTypeCount> kColumnWidths = {
    1, 1, 2, 2, 4, 4, 4, 8, 8, 16, 32, 64, 128, 256, 8, 8};

} // namespace

std::uint32_t ColumnTypeSize(std::uint32_t typeCode) {
    return typeCode < kColumnTypeCount ? kColumnWidths[typeCode] : 0;
}

bool ColumnList::Append(std::uint32_t typeCode) {
    const std::uint32_t size = ColumnTypeSize(typeCode);
    if (size == 0) {
        return false;
    }
    columns.push_back({typeCode, size, GetWidth()});
    return true;
}

std::uint32_t ColumnList::GetWidth() const {
    return columns.empty() ? 0 : columns.back().offset + columns.back().size;
}
