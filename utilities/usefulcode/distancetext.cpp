#include "utilities/usefulcode/distancetext.h"

#include "platform/kernel/format.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kTextCapacity = 32;

std::u16string FormatInt(const char16_t* format, long long value) {
    // Values come from float products that can exceed 32 bits for absurd distances; they are
    // shown saturated rather than overflowing.
    const long long clamped = std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max());
    WCHAR buffer[kTextCapacity] = {};
    const int length = swprintf(buffer, kTextCapacity, format, static_cast<int>(clamped));
    return length < 0 ? std::u16string() : std::u16string(buffer, static_cast<std::size_t>(length));
}

std::u16string FormatDouble(const char16_t* format, double value) {
    WCHAR buffer[kTextCapacity] = {};
    const int length = swprintf(buffer, kTextCapacity, format, value);
    return length < 0 ? std::u16string() : std::u16string(buffer, static_cast<std::size_t>(length));
}

std::u16string FormatMetric(std::int32_t metres, int mode) {
    const bool isNumber = mode == kDistanceNumber;
    if (metres < 200) {
        return FormatInt(isNumber ? u"%d" : u"%dm", static_cast<long long>(metres / 10) * 10);
    }
    if (metres < 1000) {
        return FormatInt(isNumber ? u"%d" : u"%dm", static_cast<long long>(metres / 100) * 100);
    }
    if (metres < 10000) {
        if (isNumber) {
            return FormatInt(u"%d", metres / 1000);
        }
        return FormatDouble(u"%.1fkm", metres * 0.001);
    }
    return FormatInt(isNumber ? u"%d" : u"%dkm", metres / 1000);
}

std::u16string FormatYards(float yards, int mode) {
    const char16_t* format = mode == kDistanceNumber ? u"%d" : u"%dyd";
    if (mode == kDistanceExact) {
        return FormatInt(format, static_cast<long long>(yards * 0.01f) * 100);
    }
    // Up to 200 yd in steps of 10 yd, then in steps of 100 yd up to the cap of 900 yd.
    yards = std::min(yards, 900.0f);
    const auto tens = static_cast<long long>(yards * 0.1f);
    if (tens * 10 < 201) {
        return FormatInt(format, tens * 10);
    }
    return FormatInt(format, static_cast<long long>(yards * 0.01f) * 100);
}

std::u16string FormatImperial(std::int32_t metres, int mode) {
    const float miles = static_cast<float>(metres) * 0.0006214f;
    const float yardLimit = mode == kDistanceExact ? 0.5f : 1.0f;
    if (miles < yardLimit) {
        return FormatYards(static_cast<float>(metres) * 1.0936f, mode);
    }
    const auto wholeMiles = static_cast<long long>(miles);
    if (miles >= 5.0f) {
        return FormatInt(mode == kDistanceNumber ? u"%d" : u"%dmls", wholeMiles);
    }
    switch (mode) {
    case kDistanceNumber:
        return FormatInt(u"%d", wholeMiles);
    case kDistanceRounded:
        return FormatDouble(u"%.1fmls", static_cast<double>(wholeMiles));
    default:
        return FormatDouble(u"%.1fmls", static_cast<double>(miles));
    }
}

std::int32_t CutToWholeKilometres(std::int32_t metres, bool imperial) {
    if (!imperial && metres >= 1000 && metres <= 10000) {
        return metres / 1000 * 1000;
    }
    return metres;
}

} // namespace

std::u16string FormatDistance(std::int32_t metres, int mode, bool imperial) {
    if (mode != kDistanceNumber && mode != kDistanceRounded) {
        mode = kDistanceExact;
    }
    return imperial ? FormatImperial(metres, mode) : FormatMetric(metres, mode);
}

std::u16string FormatDistanceText(std::int32_t metres, bool imperial) {
    return FormatDistance(metres, kDistanceExact, imperial);
}

std::u16string FormatRoundedDistance(std::int32_t metres, bool imperial) {
    return FormatDistance(CutToWholeKilometres(metres, imperial), kDistanceRounded, imperial);
}

std::u16string FormatRoundedDistanceNumber(std::int32_t metres, bool imperial) {
    return FormatDistance(CutToWholeKilometres(metres, imperial), kDistanceNumber, imperial);
}
