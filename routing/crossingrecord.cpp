#include "routing/crossingrecord.h"

#include <cstring>

std::uint32_t CrossingRecord::LinkCountAt(const std::uint8_t* data, std::uint32_t available) {
    if (data == nullptr || available < 4) {
        return 0;
    }
    return (ReadU32At(data) >> 24) & 15u;
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
