#pragma once
// The sign information of an element's ADAS record: presence flags, a value word of bit fields
// and an area of text entries. Reads a copy of the record, so it stays valid after its table
// closed; fields beyond a short record read as absent. Belongs to the thread that asked for it.

#include "basiccomp/retrievalengine/code/isigninfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SignInfo final : public ISignInfo {
public:
    // The record's bytes (from the element id on) and the sign text of the element.
    SignInfo(std::vector<std::uint8_t> record, std::u16string signText);
    ~SignInfo() override = default;

    std::uint32_t GetValue1() override { return Field(0, 10); }
    std::uint32_t GetValue2() override { return Field(10, 4); }
    std::uint32_t GetValue3() override { return Field(14, 2); }
    std::uint32_t GetValue4() override { return Field(16, 3); }
    bool HasSignedValue() override { return Field(19, 1) == 1; }
    std::int32_t GetSignedValue() override;
    std::vector<SignNote>& GetNotes(std::vector<SignNote>& notes) override;
    void GetTextEntries(SignTextIteratorPtr& entries) override;

private:
    [[nodiscard]] std::uint32_t Field(std::uint32_t low, std::uint32_t width) const {
        return (m_value >> low) & ((1u << width) - 1u);
    }

    std::shared_ptr<const std::vector<std::uint8_t>> m_record;
    std::u16string m_signText;
    std::uint32_t m_value = 0;    // 0 when the record has no value word
    std::uint32_t m_entries = 0;  // offset of the text-entry area
    std::uint32_t m_entryEnd = 0; // its end (inside the record)
};

// Walks text entries {u32 head; i16 length n; 2 bytes; n text bytes ending in a terminator}.
// Ends at an entry whose head does not fit, whose length is negative or runs past the area.
class SignTextIterator final : public ISignTextIterator {
public:
    SignTextIterator(std::shared_ptr<const std::vector<std::uint8_t>> bytes, std::uint32_t begin,
                     std::uint32_t end);

    void Next() override;
    SignTextEntry GetCurrent() override;
    bool IsValid() override { return m_length >= 0; }

private:
    void Place(std::uint32_t offset);

    std::shared_ptr<const std::vector<std::uint8_t>> m_bytes;
    std::uint32_t m_current = 0;
    std::uint32_t m_end = 0;
    std::int32_t m_length = -1; // text length of the current entry; -1: ended
};
