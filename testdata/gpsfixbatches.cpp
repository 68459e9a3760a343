#include "testdata/gpsfixbatches.h"

namespace testdata {

std::vector<std::vector<GpsFix>> ToGpsFixBatches(const std::vector<DriveSample>& samples,
                                                 std::uint32_t utcDayStart,
                                                 std::uint32_t firstTick) {
    std::vector<std::vector<GpsFix>> batches;
    std::uint32_t tick = firstTick;
    std::uint32_t day = utcDayStart;
    int previousSecond = -1;
    for (const DriveSample& sample : samples) {
        if (sample.secondOfDay < previousSecond) {
            day += 86400;
        }
        previousSecond = sample.secondOfDay;
        GpsFix fix;
        fix.longitude = static_cast<float>(sample.reported.longitude);
        fix.latitude = static_cast<float>(sample.reported.latitude);
        fix.positionStatus = 0;
        fix.satellites = static_cast<std::uint16_t>(sample.satellites);
        fix.course = static_cast<std::uint16_t>(sample.course);
        fix.courseStatus = 0;
        fix.speed = static_cast<std::uint16_t>(sample.speedKmh);
        fix.speedStatus = 0;
        fix.hdop = sample.hasFix ? static_cast<float>(sample.hdop) : GpsFix::kHdopNoFix;
        fix.utcTime = day + static_cast<std::uint32_t>(sample.secondOfDay);
        fix.tick = tick;
        tick += 1000;
        batches.push_back({fix});
    }
    return batches;
}

} // namespace testdata
