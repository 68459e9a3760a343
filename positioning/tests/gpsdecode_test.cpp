// Our parser against gpsdecode (gpsd-clients) on the same sentences; runs when it is installed.
#include "positioning/sentenceparser.h"
#include "positioning/tests/gpsdecode.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(GpsdecodeComparison, DecodesTheSameCyclesAsGpsdecode) {
    if (std::system("command -v gpsdecode > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "gpsdecode is not installed";
    }
    // All four hemispheres and a crossing of midnight, two-digit checksums, GGA + VTG + RMC.
    testdata::NmeaWriter writer;
    constexpr int kCycles = 12;
    for (int i = 0; i < kCycles; ++i) {
        testdata::NmeaFixValues values;
        const int seconds = (86400 - 6 + i) % 86400;
        values.hour = seconds / 3600;
        values.minute = seconds / 60 % 60;
        values.second = seconds % 60;
        values.latitude = (i % 4 < 2 ? 1 : -1) * (47.1234567 + i * 0.01);
        values.longitude = (i % 2 == 0 ? 1 : -1) * (9.7654321 + i * 0.37);
        values.course = 10.0 + i * 29.3;
        values.speedKmh = 5.0 + i * 11.7;
        writer.AddCycle(values);
    }
    const std::string bytes = writer.Build();
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\track.nmea", bytes));
    const std::vector<Decoded> reference = RunGpsdecode(root.HostPathOf(u"\\track.nmea"), true);

    IniProfile::PreloadText(u"\\compare\\deziv.ini", ShippedSettings());
    SentenceParser parser;
    parser.Load(u"\\compare\\deziv.ini", u"NMEA");
    std::vector<GpsFix> fixes;
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
        if (parser.IsCycleComplete()) {
            fixes.emplace_back();
            parser.FillFix(fixes.back());
            parser.ResetCycle();
        }
    }
    ASSERT_EQ(fixes.size(), static_cast<std::size_t>(kCycles));
    // gpsdecode reports a cycle once it has seen where cycles begin: all but the first.
    ASSERT_GE(reference.size(), static_cast<std::size_t>(kCycles - 1));
    for (const Decoded& other : reference) {
        SCOPED_TRACE(other.timeOfDay);
        const auto same = std::find_if(fixes.begin(), fixes.end(), [&](const GpsFix& fix) {
            return static_cast<int>(fix.utcTime % 86400) == other.timeOfDay;
        });
        ASSERT_NE(same, fixes.end());
        // GpsFix holds float degrees: about 4e-6 at these latitudes.
        EXPECT_NEAR(same->latitude, other.latitude, 1e-5);
        EXPECT_NEAR(same->longitude, other.longitude, 1e-5);
        // Ours are whole units, truncated; gpsdecode's come from RMC, the speed in knots to 0.1.
        EXPECT_NEAR(same->course, other.track, 1.0);
        EXPECT_NEAR(same->speed, other.speed * 3.6, 1.2);
    }
}

} // namespace
