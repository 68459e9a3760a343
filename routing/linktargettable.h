#pragma once
// For one network level: the id of each link's target crossing and whether that crossing has
// list-4 data, read from the store once, so that a search learns them without reading the
// target's record. Built whole or not at all; immutable afterwards and safe from any thread.

#include "routing/pagestore.h"

#include <cstdint>
#include <optional>
#include <vector>

// What a search needs of a link's target crossing.
struct LinkTargetFacts {
    std::uint32_t id = 0xFFFFFFFF; // -1 when no record lies at the target address
    bool hasList4 = false;         // the target's attribute block has list-4 words
};

class LinkTargetTable {
public:
    // Bytes a table of `crossings` ids and `links` links takes.
    [[nodiscard]] static std::uint64_t BytesFor(std::uint32_t crossings, std::uint64_t links);

    // Reads the store's records in page order. Nullopt when the table would take more than
    // maxBytes or the store has no records. A record whose id is not below crossingCount, or
    // whose id another record has too, is left out: Find knows nothing of it.
    [[nodiscard]] static std::optional<LinkTargetTable>
    Build(SeparatedPageStore& store, std::uint32_t crossingCount, std::uint64_t maxBytes);

    // The links of one crossing the table holds; none when it holds no such crossing.
    class Row {
    public:
        Row() = default;
        Row(const std::uint32_t* entries, std::uint32_t count)
            : m_entries(entries)
            , m_count(count) {}
        // The facts of link `index`; nullopt past the crossing's links.
        [[nodiscard]] std::optional<LinkTargetFacts> Facts(std::uint32_t index) const {
            return Holds(index) ? std::optional<LinkTargetFacts>(At(index)) : std::nullopt;
        }
        // Facts without the optional, for a search's inner loop: whether the row holds link
        // `index`, and the facts of a link it holds.
        [[nodiscard]] bool Holds(std::uint32_t index) const { return index < m_count; }
        [[nodiscard]] LinkTargetFacts At(std::uint32_t index) const {
            const std::uint32_t entry = m_entries[index];
            if ((entry & kHasRecord) == 0) {
                return LinkTargetFacts{};
            }
            return LinkTargetFacts{entry & kIdMask, (entry & kHasList4) != 0};
        }

    private:
        const std::uint32_t* m_entries = nullptr;
        std::uint32_t m_count = 0;
    };

    // The links of the crossing with `id` at (page, offset).
    [[nodiscard]] Row RowOf(std::uint32_t id, std::uint16_t page, std::uint16_t offset) const {
        if (id >= m_addresses.size() || m_addresses[id] != (std::uint32_t{page} << 16 | offset)) {
            return {};
        }
        return {m_entries.data() + m_first[id], m_first[id + 1] - m_first[id]};
    }
    // The facts of link `index` of the crossing with `id` at (page, offset), as reading the
    // link's target record gives them; nullopt when the table holds no such crossing or link.
    [[nodiscard]] std::optional<LinkTargetFacts>
    Find(std::uint32_t id, std::uint16_t page, std::uint16_t offset, std::uint32_t index) const {
        return RowOf(id, page, offset).Facts(index);
    }

    [[nodiscard]] std::uint64_t GetBytes() const {
        return BytesFor(static_cast<std::uint32_t>(m_addresses.size()), m_entries.size());
    }
    // Crossings the table holds.
    [[nodiscard]] std::uint32_t GetCrossingCount() const { return m_held; }

private:
    static constexpr std::uint32_t kIdMask = 0xFFFFFF;
    static constexpr std::uint32_t kHasRecord = 1u << 24;
    static constexpr std::uint32_t kHasList4 = 1u << 25;
    static constexpr std::uint32_t kNoAddress = 0xFFFFFFFF;

    // The entry of a link whose target record is `target` (null: none there).
    [[nodiscard]] static std::uint32_t EntryOf(const CrossingRecord* target);

    // By id: the address (page << 16 | offset), -1 for none, and the first entry; one entry
    // per link: the target's id and the two flags.
    std::vector<std::uint32_t> m_addresses;
    std::vector<std::uint32_t> m_first;
    std::vector<std::uint32_t> m_entries;
    std::uint32_t m_held = 0;
};
