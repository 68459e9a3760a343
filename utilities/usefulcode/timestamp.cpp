#include "utilities/usefulcode/timestamp.h"

namespace {

constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;

} // namespace

std::uint64_t LocalTimeSince1970(std::uint32_t* lowWord) {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME fileTime{};
    std::uint64_t seconds = 0;
    // A local time that does not convert, or one before 1970, counts as the epoch itself rather
    // than wrapping to a time far in the future.
    if (SystemTimeToFileTime(&local, &fileTime)) {
        const std::uint64_t value = platform::FileTimeValue(fileTime);
        if (value > UnixEpochFileTime()) {
            seconds = (value - UnixEpochFileTime()) / kFileTimeUnitsPerSecond;
        }
    }
    if (lowWord != nullptr) {
        *lowWord = static_cast<std::uint32_t>(seconds);
    }
    return seconds;
}

double AbsDifference(std::uint32_t a, std::uint32_t b) {
    return static_cast<double>(a > b ? a - b : b - a);
}
