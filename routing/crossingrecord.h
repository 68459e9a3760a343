#pragma once
// The binary crossing record of a road-network page (little-endian, 4-byte aligned), decoded in
// place. Every read is bounded by the bytes left on the record's page: a record whose parts would
// run past them is no record. Value code; safe from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

// A crossing's place in the network: page and offset on one level (map index). The reserved word
// is -1 unless a search stores an element id there.
struct CrossingAddress {
    std::uint16_t page = 0xFFFF;
    std::uint16_t offset = 0xFFFF;
    std::uint32_t reserved = 0xFFFFFFFF;
    std::uint16_t level = 0;

    friend bool operator==(const CrossingAddress& a, const CrossingAddress& b) {
        return a.page == b.page && a.offset == b.offset && a.level == b.level;
    }
};

// True when (page, offset) lies before the end address (page first, offset exclusive).
[[nodiscard]] inline bool IsBeforeEnd(std::uint16_t page, std::uint16_t offset,
                                      std::uint16_t endPage, std::uint16_t endOffset) {
    return page < endPage || (page == endPage && offset < endOffset);
}

struct CrossingPositionEntry {
    float x = 3.4028235e38f; // degrees
    float y = 3.4028235e38f;
    std::uint32_t value = 0xFFFFFFFF;
};
inline constexpr std::uint32_t kPositionEntrySize = 12;

// The bytes of a record as a store hands them out: up to the end of its page (or of the data),
// with the page kept alive for as long as the holder keeps `pin`.
struct RecordBytes {
    const std::uint8_t* data = nullptr;
    std::uint32_t available = 0;
    std::shared_ptr<const void> pin;

    explicit operator bool() const { return data != nullptr; }
};

// One link entry of a record (8 bytes).
struct LinkEntry {
    std::uint16_t targetPage = 0;
    std::uint16_t targetOffset = 0;
    std::uint16_t lengthField = 0; // bits 0-14: units of 5 m
    std::uint16_t flags = 0;       // D bits 0-1, pending bit 2, R bits 3-6, C bits 7-11, E12, X

    [[nodiscard]] std::uint32_t LengthMetres() const { return (lengthField & 0x7FFFu) * 5u; }
    [[nodiscard]] std::uint32_t Direction() const { return flags & 3u; }
    [[nodiscard]] bool HasPendingPath() const { return (flags & 4u) != 0; }
    [[nodiscard]] std::uint32_t ReverseIndex() const { return (flags >> 3) & 15u; }
    [[nodiscard]] std::uint32_t Class() const { return (flags >> 7) & 31u; }
    [[nodiscard]] bool E12() const { return (flags & 0x1000u) != 0; }
    [[nodiscard]] std::uint32_t ExtendedCode() const { return flags >> 13; }
};

inline constexpr std::uint32_t kHeaderTurnTable = 1u << 29;
inline constexpr std::uint32_t kHeaderUpperReference = 1u << 30;
inline constexpr std::uint32_t kHeaderAttributes = 1u << 31;

// The offsets of a record's parts, found once by Parse.
class CrossingRecord {
public:
    // Nullopt when fewer than 4 bytes remain, or the record's parts (links, turn table, attribute
    // block, upper reference, position entry unless separated, element ids) need more bytes than
    // `available`.
    [[nodiscard]] static std::optional<CrossingRecord>
    Parse(const std::uint8_t* data, std::uint32_t available, bool isSeparated);
    // The header's link count of the bytes, 0 when fewer than 4 bytes remain.
    [[nodiscard]] static std::uint32_t LinkCountAt(const std::uint8_t* data,
                                                   std::uint32_t available);

    [[nodiscard]] const std::uint8_t* Data() const { return m_data; }
    [[nodiscard]] std::uint32_t Header() const { return m_header; }
    [[nodiscard]] std::uint32_t Id() const { return m_header & 0xFFFFFFu; }
    [[nodiscard]] std::uint32_t LinkCount() const { return (m_header >> 24) & 15u; }
    [[nodiscard]] bool HasTurnTable() const { return (m_header & kHeaderTurnTable) != 0; }
    [[nodiscard]] bool HasUpperReference() const { return (m_header & kHeaderUpperReference) != 0; }
    [[nodiscard]] bool HasAttributes() const { return (m_header & kHeaderAttributes) != 0; }
    [[nodiscard]] std::uint32_t Size() const { return m_size; }

    // Link i below LinkCount().
    [[nodiscard]] LinkEntry Link(std::uint32_t i) const;
    [[nodiscard]] std::uint32_t ElementId(std::uint32_t i) const;
    // K, and entry j (low nibble from-link, high nibble to-link) below K.
    [[nodiscard]] std::uint32_t TurnCount() const;
    [[nodiscard]] std::uint8_t TurnEntry(std::uint32_t j) const;
    // The attribute block from H on, and its number of words after H; null without a block.
    [[nodiscard]] const std::uint8_t* AttributeBlock() const {
        return HasAttributes() ? m_data + m_attributeOffset : nullptr;
    }
    [[nodiscard]] std::uint32_t AttributeWords() const { return m_attributeWords; }
    // The upper level's address (page, offset); only with an upper reference.
    [[nodiscard]] std::uint16_t UpperPage() const;
    [[nodiscard]] std::uint16_t UpperOffset() const;
    // The position entry inside the record; nullopt for a separated map.
    [[nodiscard]] std::optional<CrossingPositionEntry> InlinePosition() const;

private:
    const std::uint8_t* m_data = nullptr;
    std::uint32_t m_header = 0;
    std::uint32_t m_turnOffset = 0;
    std::uint32_t m_attributeOffset = 0;
    std::uint32_t m_attributeWords = 0;
    std::uint32_t m_upperOffset = 0;
    std::uint32_t m_positionOffset = 0; // 0: separated
    std::uint32_t m_elementOffset = 0;
    std::uint32_t m_size = 0;
};

[[nodiscard]] inline std::uint16_t ReadU16At(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
[[nodiscard]] inline std::uint32_t ReadU32At(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

inline LinkEntry CrossingRecord::Link(std::uint32_t i) const {
    const std::uint8_t* p = m_data + 4 + std::size_t{8} * i;
    return {ReadU16At(p), ReadU16At(p + 2), ReadU16At(p + 4), ReadU16At(p + 6)};
}

inline std::optional<CrossingRecord>
CrossingRecord::Parse(const std::uint8_t* data, std::uint32_t available, bool isSeparated) {
    if (data == nullptr || available < 4) {
        return std::nullopt;
    }
    CrossingRecord record;
    record.m_data = data;
    record.m_header = ReadU32At(data);
    const std::uint32_t links = record.LinkCount();
    std::uint64_t at = 4 + 8ull * links;
    const auto fits = [&](std::uint64_t end) { return end <= available; };
    if (!fits(at)) {
        return std::nullopt;
    }
    if (record.HasTurnTable()) {
        if (!fits(at + 1)) {
            return std::nullopt;
        }
        record.m_turnOffset = static_cast<std::uint32_t>(at);
        const int count = data[at];
        at += 4ull * static_cast<std::uint32_t>((count - 1) / 3 + 1);
    }
    if (record.HasAttributes()) {
        if (!fits(at + 4)) {
            return std::nullopt;
        }
        record.m_attributeOffset = static_cast<std::uint32_t>(at);
        record.m_attributeWords = ReadU32At(data + at) & 0xFFu;
        at += 4 + 4ull * record.m_attributeWords;
    }
    if (record.HasUpperReference()) {
        record.m_upperOffset = static_cast<std::uint32_t>(at);
        at += 4;
    }
    if (!isSeparated) {
        record.m_positionOffset = static_cast<std::uint32_t>(at);
        at += kPositionEntrySize;
    }
    record.m_elementOffset = static_cast<std::uint32_t>(at);
    at += 4ull * links;
    if (!fits(at)) {
        return std::nullopt;
    }
    record.m_size = static_cast<std::uint32_t>(at);
    return record;
}
