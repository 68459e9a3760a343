#pragma once
// The attribute block of a crossing record and readers of its four lists: lists 1 and 2 hold
// manoeuvre items (signed nibble values), lists 3 and 4 16-bit link entries. Reads stay inside
// the block. Readers borrow the record's bytes: keep the crossing or cursor alive meanwhile.

#include <cstdint>
#include <memory>

// Manoeuvre items of list 1 or 2: the item count is the low nibble of the first item's word.
class ManoeuvreListReader {
public:
    ManoeuvreListReader(const std::uint8_t* list, std::uint32_t words);

    [[nodiscard]] bool HasMore() const;
    void Next();
    [[nodiscard]] std::uint32_t ModeKind() const { return (Word() >> 4) & 15u; }
    [[nodiscard]] std::uint32_t ValueCount() const { return (Word() >> 8) & 15u; }
    // Value 0: bits 12-15 (unsigned); value i >= 1: the signed nibble i; -8 outside the item.
    [[nodiscard]] int Value(std::uint32_t i) const;
    // Whether the item does not apply to the mode (list 2): kinds 1-14 apply only to their own
    // mode, kind 0 to every mode, kind 15 to the modes 1, 4, 5, 7, 10 and 11.
    [[nodiscard]] bool IsExempt(std::uint32_t mode) const;

private:
    [[nodiscard]] std::uint16_t Word() const;
    [[nodiscard]] std::uint32_t ItemSize() const;

    const std::uint8_t* m_list;
    std::uint32_t m_bytes;
    std::uint32_t m_count = 0;
    std::uint32_t m_index = 0;
    std::uint32_t m_at = 0;
};

// Link entries of list 3 or 4: each visited with mode code A, then again with B when B is not 0.
class LinkListReader {
public:
    LinkListReader(const std::uint8_t* list, std::uint32_t words);

    [[nodiscard]] bool HasMore() const;
    void Next();
    [[nodiscard]] std::uint32_t ModeCode() const;
    [[nodiscard]] std::uint32_t Code() const { return (Slot() >> 4) & 3u; }
    [[nodiscard]] std::uint32_t LinkIndex() const { return Slot() & 15u; }
    [[nodiscard]] bool IsInUse() const { return (Slot() & 0x4000u) != 0; }
    [[nodiscard]] std::uint32_t CodeA() const { return (Slot() >> 6) & 15u; }
    [[nodiscard]] std::uint32_t CodeB() const { return (Slot() >> 10) & 15u; }

private:
    [[nodiscard]] std::uint16_t Slot() const;

    const std::uint8_t* m_list;
    std::uint32_t m_slots;
    std::uint32_t m_index = 0;
    bool m_isSecondVisit = false;
};

class AttributeAccessor {
public:
    // block: the header word H; words: the block's words after H.
    AttributeAccessor(const std::uint8_t* block, std::uint32_t words);

    [[nodiscard]] std::shared_ptr<ManoeuvreListReader> CreateList1Reader() const;
    [[nodiscard]] std::shared_ptr<ManoeuvreListReader> CreateList2Reader() const;
    [[nodiscard]] std::shared_ptr<LinkListReader> CreateList3Reader() const;
    [[nodiscard]] std::shared_ptr<LinkListReader> CreateList4Reader() const;

    // Words of list n (1-4) as H states them.
    [[nodiscard]] std::uint32_t ListWords(int list) const;

private:
    // Start (bytes from the block) and words of list n, clipped to the block.
    void ListSpan(int list, const std::uint8_t*& start, std::uint32_t& words) const;

    const std::uint8_t* m_block;
    std::uint32_t m_words;
    std::uint32_t m_header;
};
using AttributeAccessorPtr = std::shared_ptr<AttributeAccessor>;
