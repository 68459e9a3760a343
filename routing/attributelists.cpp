#include "routing/attributelists.h"

#include "routing/crossingrecord.h"

#include <algorithm>

ManoeuvreListReader::ManoeuvreListReader(const std::uint8_t* list, std::uint32_t words)
    : m_list(list)
    , m_bytes(words * 4) {
    if (m_bytes >= 2) {
        m_count = ReadU16At(m_list) & 15u;
    }
}

std::uint16_t ManoeuvreListReader::Word() const {
    return ReadU16At(m_list + m_at);
}

std::uint32_t ManoeuvreListReader::ItemSize() const {
    const std::uint32_t values = ValueCount();
    return values > 5 ? 4 + 4 * ((values - 6) / 4 + 1) : 4;
}

bool ManoeuvreListReader::HasMore() const {
    return m_index < m_count && m_at + 4 <= m_bytes && m_at + ItemSize() <= m_bytes;
}

void ManoeuvreListReader::Next() {
    if (HasMore()) {
        m_at += ItemSize();
        ++m_index;
    }
}

int ManoeuvreListReader::Value(std::uint32_t i) const {
    if (i == 0) {
        return static_cast<int>(Word() >> 12);
    }
    const std::uint32_t byte = 4 * ((i - 1) / 4) + 2 + ((i - 1) % 4) / 2;
    if (byte >= ItemSize()) {
        return -8;
    }
    const std::uint32_t nibble =
        (i - 1) % 2 == 0 ? m_list[m_at + byte] & 15u : m_list[m_at + byte] >> 4;
    return nibble >= 8 ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble);
}

bool ManoeuvreListReader::IsExempt(std::uint32_t mode) const {
    const std::uint32_t kind = ModeKind();
    if (kind == 0 || kind == mode) {
        return false;
    }
    if (kind == 15) {
        return !(mode == 1 || mode == 4 || mode == 5 || mode == 7 || mode == 10 || mode == 11);
    }
    return true;
}

LinkListReader::LinkListReader(const std::uint8_t* list, std::uint32_t words)
    : m_list(list)
    , m_slots(words * 2) {}

std::uint16_t LinkListReader::Slot() const {
    return ReadU16At(m_list + std::size_t{2} * m_index);
}

bool LinkListReader::HasMore() const {
    return m_index + 1 < m_slots || (m_index + 1 == m_slots && IsInUse());
}

std::uint32_t LinkListReader::ModeCode() const {
    return m_isSecondVisit ? CodeB() : CodeA();
}

void LinkListReader::Next() {
    if (!HasMore()) {
        return;
    }
    if (!m_isSecondVisit && CodeB() != 0) {
        m_isSecondVisit = true;
        return;
    }
    m_isSecondVisit = false;
    ++m_index;
}

AttributeAccessor::AttributeAccessor(const std::uint8_t* block, std::uint32_t words)
    : m_block(block)
    , m_words(words)
    , m_header(ReadU32At(block)) {}

std::uint32_t AttributeAccessor::ListWords(int list) const {
    switch (list) {
    case 1:
        return (m_header >> 12) & 15u;
    case 2:
        return 16 * ((m_header >> 28) & 3u) + ((m_header >> 16) & 15u);
    case 3:
        return (m_header >> 20) & 15u;
    default:
        return (m_header >> 8) & 15u;
    }
}

void AttributeAccessor::ListSpan(int list, const std::uint8_t*& start, std::uint32_t& words) const {
    std::uint32_t before = 0;
    for (int earlier = 1; earlier < list; ++earlier) {
        before += ListWords(earlier);
    }
    start = m_block + 4 + std::size_t{4} * std::min(before, m_words);
    words = before >= m_words ? 0 : std::min(ListWords(list), m_words - before);
}

std::shared_ptr<ManoeuvreListReader> AttributeAccessor::CreateList1Reader() const {
    const std::uint8_t* start = nullptr;
    std::uint32_t words = 0;
    ListSpan(1, start, words);
    return std::make_shared<ManoeuvreListReader>(start, words);
}

std::shared_ptr<ManoeuvreListReader> AttributeAccessor::CreateList2Reader() const {
    const std::uint8_t* start = nullptr;
    std::uint32_t words = 0;
    ListSpan(2, start, words);
    return std::make_shared<ManoeuvreListReader>(start, words);
}

std::shared_ptr<LinkListReader> AttributeAccessor::CreateList3Reader() const {
    const std::uint8_t* start = nullptr;
    std::uint32_t words = 0;
    ListSpan(3, start, words);
    return std::make_shared<LinkListReader>(start, words);
}

std::shared_ptr<LinkListReader> AttributeAccessor::CreateList4Reader() const {
    const std::uint8_t* start = nullptr;
    std::uint32_t words = 0;
    ListSpan(4, start, words);
    return std::make_shared<LinkListReader>(start, words);
}
