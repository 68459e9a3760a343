#include "mapdisplay/labelgrid.h"

#include <algorithm>
#include <bit>

namespace {

static_assert((LabelGrid::kCellPixels & (LabelGrid::kCellPixels - 1)) == 0 &&
                  (LabelGrid::kCells & (LabelGrid::kCells - 1)) == 0,
              "cells and grid sides are powers of two: floors and wraps are bit operations");

// The cell column (or row) of a coordinate: the floor of v / kCellPixels.
long long FloorCell(long long v) {
    return v >> std::countr_zero(static_cast<unsigned long long>(LabelGrid::kCellPixels));
}

// The grid column (or row) of a cell: cell mod kCells, 0 to kCells - 1 for negative cells too.
long long Wrap(long long cell) {
    return cell & (LabelGrid::kCells - 1);
}

} // namespace

template <typename Visit> void LabelGrid::ForCells(const RECT& r, Visit visit) {
    const long long left = FloorCell(std::min(r.left, r.right));
    const long long top = FloorCell(std::min(r.top, r.bottom));
    // A rectangle as wide or high as the grid meets every column or row of it.
    const long long columns = std::min(FloorCell(std::max(r.left, r.right)) - left + 1, kCells);
    const long long rows = std::min(FloorCell(std::max(r.top, r.bottom)) - top + 1, kCells);
    for (long long row = 0; row < rows; ++row) {
        const long long base = Wrap(top + row) * kCells;
        for (long long column = 0; column < columns; ++column)
            visit(static_cast<std::size_t>(base + Wrap(left + column)));
    }
}

void LabelGrid::Clear() {
    for (auto& cell : m_cells)
        cell.clear();
}

void LabelGrid::Insert(std::uint32_t id, const RECT& bounds) {
    ForCells(bounds, [&](std::size_t cell) { m_cells[cell].push_back(id); });
}

void LabelGrid::Erase(std::uint32_t id, const RECT& bounds) {
    ForCells(bounds, [&](std::size_t cell) {
        std::vector<std::uint32_t>& ids = m_cells[cell];
        const auto at = std::find(ids.begin(), ids.end(), id);
        if (at != ids.end()) {
            *at = ids.back();
            ids.pop_back();
        }
    });
}

void LabelGrid::Find(const RECT& r, std::vector<std::uint32_t>& ids) {
    ids.clear();
    if (++m_finds == 0) { // the stamps wrapped: none may look current
        std::fill(m_lastFind.begin(), m_lastFind.end(), 0);
        m_finds = 1;
    }
    ForCells(r, [&](std::size_t cell) {
        for (const std::uint32_t id : m_cells[cell]) {
            if (id >= m_lastFind.size())
                m_lastFind.resize(id + 1, 0);
            if (m_lastFind[id] != m_finds) {
                m_lastFind[id] = m_finds;
                ids.push_back(id);
            }
        }
    });
}
