#include "routing/crossingrecord.h"

#include <cstring>

std::uint32_t CrossingRecord::LinkCountAt(const std::uint8_t* data, std::uint32_t available) {
    if (data == nullptr || available < 4) {
        return 0;
    }
    return (ReadU32At(data) >> 24) & 15u;
}

std::optional<CrossingRecord> CrossingRecord::Parse(const std::uint8_t* data,
                                                    std::uint32_t available, bool isSeparated) {
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

std::uint32_t CrossingRecord::ElementId(std::uint32_t i) const {
    return ReadU32At(m_data + m_elementOffset + std::size_t{4} * i);
}

std::uint32_t CrossingRecord::TurnCount() const {
    return HasTurnTable() ? m_data[m_turnOffset] : 0u;
}

std::uint8_t CrossingRecord::TurnEntry(std::uint32_t j) const {
    return m_data[m_turnOffset + 4 * (j / 3) + 1 + j % 3];
}

std::uint16_t CrossingRecord::UpperPage() const {
    return ReadU16At(m_data + m_upperOffset);
}
std::uint16_t CrossingRecord::UpperOffset() const {
    return ReadU16At(m_data + m_upperOffset + 2);
}

std::optional<CrossingPositionEntry> CrossingRecord::InlinePosition() const {
    if (m_positionOffset == 0) {
        return std::nullopt;
    }
    CrossingPositionEntry entry;
    std::memcpy(&entry.x, m_data + m_positionOffset, 4);
    std::memcpy(&entry.y, m_data + m_positionOffset + 4, 4);
    entry.value = ReadU32At(m_data + m_positionOffset + 8);
    return entry;
}
