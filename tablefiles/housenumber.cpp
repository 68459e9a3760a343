#include "tablefiles/housenumber.h"

#include "platform/kernel/text.h"
#include "platform/littleendian.h"

namespace {

constexpr unsigned short kNoNumber = 0xFFFF;

enum class ArrayMode {
    RangeStepTwo = 0, // one side of the street: every second number
    RangeStepOne = 1, // mixed numbering: every number
    Exact = 2,
};

bool IsDigit(WCHAR c) {
    return c >= u'0' && c <= u'9';
}

// Letters of code page 1252: characters with a case mapping, and the Latin-1 letters without one.
bool IsLetter(WCHAR c) {
    return TowUpper(c) != c || TowLower(c) != c || c == u'\u00df' || c == u'\u00b5' ||
           c == u'\u00aa' || c == u'\u00ba';
}

// The first two entries give the range when both are valid, else the last two.
bool FindRange(const HouseNumberArray& numbers, HouseNumber& low, HouseNumber& high,
               bool& isAscending) {
    const std::size_t size = numbers.GetSize();
    for (const std::size_t first : {std::size_t{0}, size - 2}) {
        const HouseNumber& a = numbers[first];
        const HouseNumber& b = numbers[first + 1];
        if (a.IsValid() && b.IsValid()) {
            low = HouseNumber::Min(a, b);
            high = HouseNumber::Max(a, b);
            isAscending = !(a > b);
            return true;
        }
    }
    return false;
}

bool MatchArray(const HouseNumber& number, const HouseNumberArray& numbers,
                HouseNumberPosition& position, std::uint32_t rangeFlag, ArrayMode mode) {
    position = {};
    if (numbers.IsEmpty()) {
        return false;
    }
    if (numbers.GetSize() == 1) {
        return number == numbers[0];
    }
    if (rangeFlag == 0) { // breakpoints: any two neighbours enclose the number
        for (std::size_t i = 1; i < numbers.GetSize(); ++i) {
            const HouseNumber& low = HouseNumber::Min(numbers[i - 1], numbers[i]);
            const HouseNumber& high = HouseNumber::Max(numbers[i - 1], numbers[i]);
            if (low <= number && number <= high) {
                return true;
            }
        }
        return false;
    }
    if (mode == ArrayMode::Exact) {
        for (std::size_t i = 0; i < numbers.GetSize(); ++i) {
            if (numbers[i].IsValid() && numbers[i] == number) {
                position = {static_cast<std::uint32_t>(i),
                            static_cast<std::uint32_t>(numbers.GetSize())};
                return true;
            }
        }
        return false;
    }
    HouseNumber low;
    HouseNumber high;
    bool isAscending = true;
    if (!FindRange(numbers, low, high, isAscending) || number < low || high < number) {
        return false;
    }
    const int step =
        mode == ArrayMode::RangeStepTwo && low.GetSuffix() == 0 && high.GetSuffix() == 0 ? 2 : 1;
    const int index = isAscending ? HouseNumber::Distance(number, low) / step
                                  : HouseNumber::Distance(high, number) / step;
    position = {static_cast<std::uint32_t>(index),
                static_cast<std::uint32_t>(HouseNumber::Distance(high, low) / step + 1)};
    return true;
}

bool MatchSide(std::uint32_t scheme, const HouseNumber& number, const HouseNumberArray& numbers,
               HouseNumberPosition& position, std::uint32_t rangeFlag) {
    switch (scheme) {
    case 2:
    case 12:
    case 14:
        return number.IsEven() &&
               MatchArray(number, numbers, position, rangeFlag, ArrayMode::RangeStepTwo);
    case 3:
    case 13:
        return number.IsOdd() &&
               MatchArray(number, numbers, position, rangeFlag, ArrayMode::RangeStepTwo);
    case 4:
        return MatchArray(number, numbers, position, rangeFlag, ArrayMode::RangeStepOne) ||
               MatchArray(number, numbers, position, rangeFlag, ArrayMode::Exact);
    case 5:
    case 15:
        return MatchArray(number, numbers, position, rangeFlag, ArrayMode::Exact);
    default:
        return false;
    }
}

// A side takes numbers of one parity when it has numbers and none valid of the other parity.
bool SideTakesParity(const HouseNumberArray& numbers, bool isEven) {
    if (numbers.IsEmpty()) {
        return false;
    }
    for (const HouseNumber& number : numbers.GetNumbers()) {
        if (number.IsValid() && number.IsEven() != isEven) {
            return false;
        }
    }
    return true;
}

} // namespace

HouseNumber::HouseNumber(unsigned short number, unsigned short suffix) {
    Store(0, number);
    Store(2, suffix);
}

HouseNumber& HouseNumber::operator=(const HouseNumber& other) {
    if (this != &other) {
        for (int i = 0; i < 4; ++i) {
            m_bytes[i] = other.m_bytes[i];
        }
    }
    return *this;
}

unsigned short HouseNumber::Load(int at) const {
    return platform::ReadU16(m_bytes + at);
}

void HouseNumber::Store(int at, unsigned short value) {
    m_bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    m_bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

bool HouseNumber::IsValid() const {
    return GetNumber() != 0 && GetNumber() != kNoNumber;
}

const WCHAR* HouseNumber::Parse(const WCHAR* text) {
    if (text == nullptr) {
        return text;
    }
    WCHAR* end = nullptr;
    const long value = wcstol(text, &end, 10);
    // Values that do not fit a house number are invalid, not cut to 16 bits.
    const unsigned short number =
        value == 0
            ? 0
            : (value > 0 && value < kNoNumber ? static_cast<unsigned short>(value) : kNoNumber);
    Store(0, number);
    if (IsValid() && *end != 0 && IsLetter(*end)) {
        Store(2, static_cast<unsigned short>(towupper(*end)));
    }
    return end;
}

int HouseNumber::Distance(const HouseNumber& a, const HouseNumber& b) {
    if (a.GetNumber() == b.GetNumber()) {
        const bool aHasSuffix = a.GetSuffix() != 0;
        const bool bHasSuffix = b.GetSuffix() != 0;
        if (aHasSuffix && bHasSuffix) {
            return a.GetSuffix() - b.GetSuffix();
        }
        return aHasSuffix != bHasSuffix ? 1 : 0;
    }
    return a.GetNumber() - b.GetNumber();
}

bool operator<(const HouseNumber& a, const HouseNumber& b) {
    return a.GetNumber() < b.GetNumber() ||
           (a.GetNumber() == b.GetNumber() && a.GetSuffix() < b.GetSuffix());
}

const HouseNumber& HouseNumber::Min(const HouseNumber& a, const HouseNumber& b) {
    return b < a ? b : a;
}

const HouseNumber& HouseNumber::Max(const HouseNumber& a, const HouseNumber& b) {
    return a < b ? b : a;
}

HouseNumberArray::HouseNumberArray() = default;
HouseNumberArray::HouseNumberArray(const HouseNumberArray& other) = default;
HouseNumberArray& HouseNumberArray::operator=(const HouseNumberArray& other) = default;
HouseNumberArray::~HouseNumberArray() = default;

void HouseNumberArray::ParseRange(const WCHAR* text) {
    if (text == nullptr) {
        return;
    }
    bool hasValid = false;
    HouseNumber low;
    HouseNumber high;
    const WCHAR* position = text;
    while (*position != 0) {
        HouseNumber number;
        const WCHAR* next = number.Parse(position);
        if (number.IsValid()) {
            low = hasValid ? HouseNumber::Min(low, number) : number;
            high = hasValid ? HouseNumber::Max(high, number) : number;
            hasValid = true;
        }
        position = next == position ? position + 1 : next;
        while (*position != 0 && !IsDigit(*position)) {
            ++position;
        }
    }
    if (hasValid) {
        Append(low);
        if (low < high) {
            Append(high);
        }
    }
}

HouseNumberInfo::HouseNumberInfo() = default;
HouseNumberInfo::HouseNumberInfo(const HouseNumberInfo& other) = default;
HouseNumberInfo& HouseNumberInfo::operator=(const HouseNumberInfo& other) = default;
HouseNumberInfo::~HouseNumberInfo() = default;

bool HouseNumberInfo::Match(const HouseNumber& number, HouseNumberPosition& position) const {
    position = {};
    if (bothSidesScheme != 0) {
        switch (bothSidesScheme) {
        case 2:
        case 4:
            return MatchArray(number, firstSide, position, rangeFlag, ArrayMode::RangeStepTwo) ||
                   MatchArray(number, secondSide, position, rangeFlag, ArrayMode::RangeStepTwo);
        case 3:
            for (const HouseNumberArray* side : {&firstSide, &secondSide}) {
                if (SideTakesParity(*side, number.IsEven()) &&
                    MatchArray(number, *side, position, rangeFlag, ArrayMode::RangeStepTwo)) {
                    return true;
                }
            }
            return false;
        default:
            return false;
        }
    }
    return MatchSide(firstSideScheme, number, firstSide, position, rangeFlag) ||
           MatchSide(secondSideScheme, number, secondSide, position, rangeFlag);
}
