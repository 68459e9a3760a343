#pragma once
// The extract's node positions by id: a vector kept sorted by id, filled in the id order in which
// extracts list their nodes (out-of-order ids are inserted in place), searched by halving.

#include "utilities/mapgeometry/mapgeometry.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace osm2nav {

class NodeTable {
public:
    using Entry = std::pair<std::int64_t, MapPoint>;
    using const_iterator = std::vector<Entry>::const_iterator;

    // The position of the id, added when missing.
    MapPoint& operator[](std::int64_t id) {
        if (m_entries.empty() || m_entries.back().first < id) {
            return m_entries.emplace_back(id, MapPoint{}).second;
        }
        const auto at = LowerBound(id);
        if (at != m_entries.end() && at->first == id) {
            return at->second;
        }
        return m_entries.insert(at, Entry{id, MapPoint{}})->second;
    }
    [[nodiscard]] const_iterator find(std::int64_t id) const {
        const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), id, IsBefore);
        return at != m_entries.end() && at->first == id ? at : m_entries.end();
    }
    [[nodiscard]] const_iterator end() const { return m_entries.end(); }
    [[nodiscard]] std::size_t count(std::int64_t id) const { return find(id) != end() ? 1 : 0; }
    // Throws std::out_of_range naming the id when it has no position, as a map would.
    [[nodiscard]] const MapPoint& at(std::int64_t id) const {
        const auto found = find(id);
        if (found == end()) {
            throw std::out_of_range("node " + std::to_string(id) +
                                    " has no position in the extract");
        }
        return found->second;
    }
    [[nodiscard]] std::size_t size() const { return m_entries.size(); }

private:
    static bool IsBefore(const Entry& entry, std::int64_t id) { return entry.first < id; }
    std::vector<Entry>::iterator LowerBound(std::int64_t id) {
        return std::lower_bound(m_entries.begin(), m_entries.end(), id, IsBefore);
    }

    std::vector<Entry> m_entries;
};

} // namespace osm2nav
