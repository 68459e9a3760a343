#pragma once
// The label layer's index of placed labels by font key and text, so that a repeated text is found
// by a hash lookup. It keeps ids and hashes only: the caller keeps each id's key and confirms a
// candidate against it. Not thread-safe: one owner.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class LabelTextIndex {
public:
    [[nodiscard]] static std::uint64_t Hash(std::uint32_t fontKey, std::u16string_view text);

    void Clear();
    // Lists id under hash. An id may be listed once at a time.
    void Insert(std::uint32_t id, std::uint64_t hash);
    // Takes id out, listed under hash; nothing when it is not listed.
    void Erase(std::uint32_t id, std::uint64_t hash);
    // True when isMatch(id) holds for an id listed under hash; asks only such ids.
    template <typename IsMatch> [[nodiscard]] bool Any(std::uint64_t hash, IsMatch isMatch) const {
        for (std::size_t at = Home(hash);; at = Next(at)) {
            const Entry& entry = m_entries[at];
            if (!entry.isUsed) {
                return false;
            }
            if (entry.hash == hash && isMatch(entry.id)) {
                return true;
            }
        }
    }
    [[nodiscard]] std::size_t Count() const { return m_count; }

private:
    struct Entry {
        std::uint64_t hash = 0;
        std::uint32_t id = 0;
        bool isUsed = false;
    };
    [[nodiscard]] std::size_t Home(std::uint64_t hash) const {
        return hash & (m_entries.size() - 1);
    }
    [[nodiscard]] std::size_t Next(std::size_t at) const {
        return (at + 1) & (m_entries.size() - 1);
    }
    void Grow();

    // Open addressing with linear probing, at most half full; the size is a power of two.
    std::vector<Entry> m_entries = std::vector<Entry>(512);
    std::size_t m_count = 0;
};
