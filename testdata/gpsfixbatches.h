#pragma once
// Simulated drives (testdata/drivegenerator.h) as the GpsFix records a GPS source publishes:
// one batch per sample, fields as the sentence parser fills them from the NMEA text.

#include "positioning/matchedposition.h"
#include "testdata/drivegenerator.h"

#include <cstdint>
#include <vector>

namespace testdata {

// utcDayStart: seconds since 1970 of the drive's UTC day; tick of the first fix, then +1000.
[[nodiscard]] std::vector<std::vector<GpsFix>>
ToGpsFixBatches(const std::vector<DriveSample>& samples, std::uint32_t utcDayStart,
                std::uint32_t firstTick = 1000);

} // namespace testdata
