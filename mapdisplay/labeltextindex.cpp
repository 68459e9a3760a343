#include "mapdisplay/labeltextindex.h"

#include <algorithm>
#include <functional>
#include <utility>

std::uint64_t LabelTextIndex::Hash(std::uint32_t fontKey, std::u16string_view text) {
    const std::uint64_t textHash = std::hash<std::u16string_view>{}(text);
    // The font key is mixed in by a multiply whose high bits reach the low bits the table uses.
    std::uint64_t h = textHash ^ (static_cast<std::uint64_t>(fontKey) * 0x9E3779B97F4A7C15ULL);
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ULL;
    return h ^ (h >> 32);
}

void LabelTextIndex::Clear() {
    if (m_count != 0) {
        std::fill(m_entries.begin(), m_entries.end(), Entry{});
        m_count = 0;
    }
}

void LabelTextIndex::Insert(std::uint32_t id, std::uint64_t hash) {
    if ((m_count + 1) * 2 > m_entries.size()) {
        Grow();
    }
    std::size_t at = Home(hash);
    while (m_entries[at].isUsed) {
        at = Next(at);
    }
    m_entries[at] = Entry{hash, id, true};
    ++m_count;
}

void LabelTextIndex::Erase(std::uint32_t id, std::uint64_t hash) {
    std::size_t hole = Home(hash);
    for (;; hole = Next(hole)) {
        const Entry& entry = m_entries[hole];
        if (!entry.isUsed) {
            return;
        }
        if (entry.id == id && entry.hash == hash) {
            break;
        }
    }
    // Backward shift: each later entry of the run moves into the hole unless its home lies
    // cyclically after the hole, where a lookup starting at that home would miss it.
    for (std::size_t at = Next(hole); m_entries[at].isUsed; at = Next(at)) {
        const std::size_t home = Home(m_entries[at].hash);
        const std::size_t mask = m_entries.size() - 1;
        if (((at - home) & mask) >= ((at - hole) & mask)) {
            m_entries[hole] = m_entries[at];
            hole = at;
        }
    }
    m_entries[hole] = Entry{};
    --m_count;
}

void LabelTextIndex::Grow() {
    std::vector<Entry> old(m_entries.size() * 2);
    std::swap(old, m_entries);
    m_count = 0;
    for (const Entry& entry : old) {
        if (entry.isUsed) {
            Insert(entry.id, entry.hash);
        }
    }
}
