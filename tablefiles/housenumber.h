#pragma once
// House numbers: a number with an optional upper-case letter, the numbers of one side of a street
// element, and the numbering of both sides with the test whether a house number lies on the
// element and where along its numbered range. Value types; no locks.

#include "platform/types.h"

#include <cstdint>
#include <vector>

// Number 0 and 0xFFFF mean no valid number; the suffix is an upper-case letter or 0. Stored byte
// by byte (4 bytes, alignment 1), so that it may lie unaligned inside records.
class HouseNumber {
public:
    HouseNumber() = default;
    HouseNumber(unsigned short number, unsigned short suffix);
    HouseNumber(const HouseNumber& other) = default;
    HouseNumber& operator=(const HouseNumber& other);

    unsigned short GetNumber() const { return Load(0); }
    unsigned short GetSuffix() const { return Load(2); }

    bool IsValid() const;
    bool IsEven() const { return GetNumber() % 2 == 0; }
    bool IsOdd() const { return !IsEven(); }

    // Reads a decimal number at `text` (leading blanks and a sign as wcstol takes them) and
    // returns the position after its digits. A value from 1 to 65534 is kept, anything else
    // stores the invalid number 0xFFFF (0 when there are no digits or the value is 0). When the
    // number is valid and a letter follows, the suffix becomes that letter in upper case; the
    // letter is not consumed. Otherwise the suffix is left as it was.
    const WCHAR* Parse(const WCHAR* text);

    // Equal numbers with both suffixes: the suffix difference; with exactly one suffix: 1;
    // otherwise the number difference (0 for equal numbers without suffixes).
    static int Distance(const HouseNumber& a, const HouseNumber& b);

    friend bool operator==(const HouseNumber& a, const HouseNumber& b) {
        return a.GetNumber() == b.GetNumber() && a.GetSuffix() == b.GetSuffix();
    }
    // By number, then by suffix (no suffix first).
    friend bool operator<(const HouseNumber& a, const HouseNumber& b);
    friend bool operator>(const HouseNumber& a, const HouseNumber& b) { return b < a; }
    friend bool operator<=(const HouseNumber& a, const HouseNumber& b) { return !(b < a); }
    friend bool operator>=(const HouseNumber& a, const HouseNumber& b) { return !(a < b); }

    static const HouseNumber& Min(const HouseNumber& a, const HouseNumber& b);
    static const HouseNumber& Max(const HouseNumber& a, const HouseNumber& b);

private:
    unsigned short Load(int at) const;
    void Store(int at, unsigned short value);

    std::uint8_t m_bytes[4] = {0, 0, 0, 0};
};

// The house numbers of one side of a street element.
class HouseNumberArray {
public:
    HouseNumberArray();
    HouseNumberArray(const HouseNumberArray& other);
    HouseNumberArray& operator=(const HouseNumberArray& other);
    ~HouseNumberArray();

    void Append(const HouseNumber& number) { m_numbers.push_back(number); }
    void Clear() { m_numbers.clear(); }
    std::size_t GetSize() const { return m_numbers.size(); }
    bool IsEmpty() const { return m_numbers.empty(); }
    const HouseNumber& operator[](std::size_t i) const { return m_numbers[i]; }
    const std::vector<HouseNumber>& GetNumbers() const { return m_numbers; }

    // Reads every number of the text and appends the smallest valid one and then the largest
    // when it is greater; the array is unchanged when the text holds no valid number.
    void ParseRange(const WCHAR* text);

private:
    std::vector<HouseNumber> m_numbers;
};

// Where a matched house number lies along a numbered range: index / count.
struct HouseNumberPosition {
    std::uint32_t index = 0;
    std::uint32_t count = 1;
};

// The numbering of one street element.
struct HouseNumberInfo {
    HouseNumberInfo();
    HouseNumberInfo(const HouseNumberInfo& other);
    HouseNumberInfo& operator=(const HouseNumberInfo& other);
    ~HouseNumberInfo();

    // True when the number lies on the element; `position` then tells where along the range.
    [[nodiscard]] bool Match(const HouseNumber& number, HouseNumberPosition& position) const;

    std::uint32_t bothSidesScheme = 0; // 0: each side has a scheme of its own
    std::uint32_t firstSideScheme = 0;
    std::uint32_t secondSideScheme = 0;
    HouseNumberArray firstSide;
    HouseNumberArray secondSide;
    // 1: the arrays give numbered ranges (interpolation); 0: consecutive breakpoints.
    std::uint32_t rangeFlag = 1;
};
