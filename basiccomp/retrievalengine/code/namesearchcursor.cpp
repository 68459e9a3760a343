#include "basiccomp/retrievalengine/code/namesearchcursor.h"

#include "basiccomp/retrievalengine/code/searchfold.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::uint8_t kNumberBit = 0x80;
constexpr std::uint8_t kValueMark = 0x40;
constexpr std::uint8_t kSectionMark = '|';
constexpr std::size_t kMaxTextBytes = 63;

bool IsNumberByte(std::uint8_t byte) {
    return (byte & kNumberBit) != 0;
}

// The first position from position on, below end, that holds a number byte; end when none does.
// Steps eight bytes at a time while none of them has bit 7 set.
std::uint32_t SkipToNumberByte(const std::uint8_t* data, std::uint32_t position,
                               std::uint32_t end) {
    constexpr std::uint64_t kNumberBits = 0x8080808080808080u;
    while (end - position >= sizeof(std::uint64_t)) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + position, sizeof word);
        if ((word & kNumberBits) != 0) {
            break;
        }
        position += sizeof(std::uint64_t);
    }
    while (position < end && !IsNumberByte(data[position])) {
        ++position;
    }
    return position;
}

// The first position of text (not empty) in [from, end), or end.
std::uint32_t FindText(const std::uint8_t* data, std::uint32_t from, std::uint32_t end,
                       const std::string& text) {
    const std::size_t length = text.size();
    while (end - from >= length) {
        const void* hit = std::memchr(data + from, text[0], end - from - length + 1);
        if (hit == nullptr) {
            break;
        }
        const auto position =
            static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(hit) - data);
        std::size_t same = 1;
        while (same < length && data[position + same] == static_cast<std::uint8_t>(text[same])) {
            ++same;
        }
        if (same == length) {
            return position;
        }
        from = position + 1;
    }
    return end;
}

} // namespace

NameSearchCursor::NameSearchCursor(CityIndexFilePtr file, std::u16string_view text,
                                   std::uint16_t country)
    : m_file(std::move(file))
    , m_country(country) {
    std::u16string wide(text);
    std::array<char, kMaxTextBytes + 1> narrow{};
    (void)wcstombs(narrow.data(), wide.c_str(), kMaxTextBytes);
    m_text = FoldSearchText(narrow.data());
    if (!m_file || m_file->GetData() == nullptr) {
        return;
    }
    m_data = m_file->GetData();
    m_size = m_file->GetSize();
    m_phase = Phase::Prefix;
    if (m_text.empty()) {
        m_current = GetRangeEnd();
        return;
    }
    m_current = GetRangeStart();
    (void)Advance();
}

bool NameSearchCursor::HasNext() const {
    return m_phase != Phase::None && m_current != m_rangeEnd;
}

void NameSearchCursor::Next() {
    if (HasNext()) {
        (void)Advance();
    }
}

bool NameSearchCursor::Advance() {
    switch (m_phase) {
    case Phase::Prefix:
        return NextPrefixMatch();
    case Phase::Infix:
        return NextInfixMatch();
    default:
        return false;
    }
}

std::uint32_t NameSearchCursor::GetBound() const {
    return m_size > 0 ? m_size - 1 : 0;
}

std::uint32_t NameSearchCursor::GetRangeStart() {
    if (m_country == 0) {
        return 0;
    }
    if (m_rangeStart != kNotComputed) {
        return m_rangeStart;
    }
    const std::uint8_t* data = m_data;
    const std::uint32_t bound = GetBound();
    std::uint32_t position = 0;
    m_rangeStart = bound;
    while (position < bound) {
        const std::uint8_t* bar = std::find(data + position, data + bound, kSectionMark);
        if (bar == data + bound) {
            break;
        }
        position = static_cast<std::uint32_t>(bar - data) + 1;
        std::uint32_t number = 0;
        if (!ReadVarUInt(data, m_size, position, number)) {
            break;
        }
        if (number == m_country) {
            m_rangeStart = position - 1; // the section's number's last byte
            break;
        }
    }
    return m_rangeStart;
}

std::uint32_t NameSearchCursor::GetRangeEnd() {
    if (m_country == 0) {
        m_rangeEnd = GetBound();
        return m_rangeEnd;
    }
    if (m_rangeEnd == kNotComputed) {
        const std::uint8_t* data = m_data;
        const std::uint32_t bound = GetBound();
        const std::uint32_t start = GetRangeStart();
        const std::uint8_t* bar = std::find(data + start, data + bound, kSectionMark);
        m_rangeEnd = static_cast<std::uint32_t>(bar - data);
    }
    return m_rangeEnd;
}

bool NameSearchCursor::NextPrefixMatch() {
    const std::uint8_t* data = m_data;
    const std::uint32_t end = GetRangeEnd();
    const auto length = static_cast<std::uint32_t>(m_text.size());
    std::uint32_t match = end;
    if (!m_hasPrefixMatches) {
        // A name begins behind a number byte (or at the start of the file).
        for (std::uint32_t from = m_current;;) {
            const std::uint32_t found = FindText(data, from, end, m_text);
            if (found == end) {
                break;
            }
            if (found == 0 || IsNumberByte(data[found - 1])) {
                match = found;
                break;
            }
            from = found + 1;
        }
    } else if (m_current + 1 < end && length <= end - (m_current + 1) &&
               std::memcmp(data + m_current + 1, m_text.data(), length) == 0) {
        // Names are sorted, so the names that begin with the text follow one another. (In a
        // file that is not sorted, later ones come in the second phase.)
        match = m_current + 1;
    }
    if (match < end) {
        if (!m_hasPrefixMatches) {
            m_hasPrefixMatches = true;
            m_firstPrefixMatch = match;
        }
        if (!ReadRecord(match)) {
            return false;
        }
        m_lastPrefixMatch = m_current;
        if (m_recordHadValue) {
            m_hasPrefixValue = true;
            m_prefixValue = m_recordValue;
        }
        return true;
    }
    m_current = GetRangeStart();
    m_phase = Phase::Infix;
    return NextInfixMatch();
}

bool NameSearchCursor::NextInfixMatch() {
    const std::uint8_t* data = m_data;
    const std::uint32_t end = GetRangeEnd();
    while (true) {
        if (m_current >= end) {
            m_current = end;
            return false;
        }
        const std::uint32_t found = FindText(data, m_current, end, m_text);
        if (found == end) {
            m_current = end;
            return false;
        }
        if (m_hasPrefixMatches && found >= m_firstPrefixMatch && found <= m_lastPrefixMatch) {
            // Inside the run of prefix matches, all given already: read past them at once,
            // leaving the value as reading them one by one would.
            m_current = m_lastPrefixMatch;
            if (m_hasPrefixValue) {
                m_recordValue = m_prefixValue;
            }
            continue;
        }
        return ReadRecord(found);
    }
}

bool NameSearchCursor::ReadRecord(std::uint32_t position) {
    const std::uint8_t* data = m_data;
    const std::uint32_t size = m_size;
    position = SkipToNumberByte(data, position, size);
    std::uint32_t number = 0;
    bool isRead = ReadVarUInt(data, size, position, number);
    m_recordHadValue = false;
    if (isRead) {
        m_recordNumber = number;
        if (position < size && data[position] == kValueMark) {
            ++position;
            std::uint32_t value = 0;
            isRead = ReadVarUInt(data, size, position, value);
            m_recordValue = static_cast<std::uint16_t>(value);
            m_recordHadValue = true;
        }
    }
    const std::uint32_t end = GetRangeEnd();
    if (!isRead || position - 1 >= end) {
        // A number the file cannot hold, or a record reaching past the range, ends the search.
        m_current = end;
        return false;
    }
    m_current = position - 1;
    return true;
}
