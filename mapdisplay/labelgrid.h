#pragma once
// The label layer's index of placed rectangles: each is listed in the cells of a square grid it
// meets, so the rectangles that may meet a new one are found without a scan over all of them.
// The grid wraps (column c is column c mod kCells, rows alike): any coordinates fit, a lookup
// may return rectangles far from the asked one, and never misses one that meets or touches it.
// Not thread-safe: one owner.

#include "platform/window/windowtypes.h"

#include <array>
#include <cstdint>
#include <vector>

class LabelGrid {
public:
    static constexpr long long kCellPixels = 64;
    static constexpr long long kCells = 16; // per side

    void Clear();
    // Lists id in the cells bounds meets (its right and bottom edges included). The same id
    // must not be inserted twice without an Erase with the same bounds between.
    void Insert(std::uint32_t id, const RECT& bounds);
    void Erase(std::uint32_t id, const RECT& bounds);
    // Sets ids to those listed in the cells r meets, each once, in no particular order.
    void Find(const RECT& r, std::vector<std::uint32_t>& ids);

private:
    template <typename Visit> static void ForCells(const RECT& r, Visit visit);

    std::array<std::vector<std::uint32_t>, kCells * kCells> m_cells;
    std::vector<std::uint32_t> m_lastFind; // by id: the Find that returned it last
    std::uint32_t m_finds = 0;
};
