#pragma once
// NameSearchCursor: the cities of one city index file (or one country's section of it) whose
// folded name begins with a search text, in file order, then those whose name holds it further
// inside, each once. A value that holds its file by counted reference; one thread at a time per
// cursor, any number of cursors at once.

#include "basiccomp/retrievalengine/code/cityindexfile.h"

#include <cstdint>
#include <string>
#include <string_view>

class NameSearchCursor {
public:
    // A cursor without results.
    NameSearchCursor() = default;

    // Folds text (its first 63 bytes in the system code page) and stands on the first match.
    // Country 0 searches the whole file, another country its section ("|" and the country's
    // number); a country without a section, an empty folded text or a file without content
    // give no results.
    NameSearchCursor(CityIndexFilePtr file, std::u16string_view text, std::uint16_t country);

    // Whether the cursor stands on a record.
    [[nodiscard]] bool HasNext() const;
    // Moves to the next match unless the end was reached; then HasNext tells whether one was
    // found.
    void Next();

    // The current record's number: bit 0 clear, number >> 1 is an area node; bit 0 set, it is
    // an element id.
    [[nodiscard]] std::uint32_t GetRecordNumber() const { return m_recordNumber; }
    // The last 16-bit value read (a record without one keeps the one before; 0 at first).
    [[nodiscard]] std::uint16_t GetRecordValue() const { return m_recordValue; }

private:
    enum class Phase : std::uint8_t { None, Prefix, Infix };
    static constexpr std::uint32_t kNotComputed = 0xFFFFFFFF;

    [[nodiscard]] bool Advance();
    [[nodiscard]] bool NextPrefixMatch();
    [[nodiscard]] bool NextInfixMatch();
    [[nodiscard]] std::uint32_t GetRangeStart();
    [[nodiscard]] std::uint32_t GetRangeEnd();
    // The last position a range may reach: the file's last byte (its stored 0 byte).
    [[nodiscard]] std::uint32_t GetBound() const;
    // Reads the record whose name holds position; the cursor then rests on its last byte.
    [[nodiscard]] bool ReadRecord(std::uint32_t position);

    CityIndexFilePtr m_file;
    const std::uint8_t* m_data = nullptr; // the file's bytes, kept alive by m_file
    std::uint32_t m_size = 0;
    Phase m_phase = Phase::None;
    std::string m_text;
    std::uint32_t m_current = 0;
    std::uint32_t m_rangeStart = kNotComputed;
    std::uint32_t m_rangeEnd = kNotComputed;
    bool m_hasPrefixMatches = false;
    std::uint32_t m_firstPrefixMatch = 0;
    std::uint32_t m_lastPrefixMatch = 0;
    // The value the run of prefix matches leaves, when one of them has a value.
    bool m_hasPrefixValue = false;
    std::uint16_t m_prefixValue = 0;
    bool m_recordHadValue = false;
    std::uint32_t m_recordNumber = 0;
    std::uint16_t m_recordValue = 0;
    std::uint16_t m_country = 0;
};
