#include "app/scenario/scenariodrive.h"
#include "positioning/geodistance.h"
#include "positioning/sentenceparser.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/nmeawriter.h"
#include "utilities/usefulcode/iniprofile.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Fixes 10 m apart eastwards at 36 km/h, as the demonstration writer spaces them.
constexpr int kTrackFixes = 200;
constexpr double kTrackLatitude = 47.1;
constexpr double kTrackLongitude = 9.5;
const double kTrackStep = 10.0 / SphericalDistance(kTrackLongitude, kTrackLatitude,
                                                   kTrackLongitude + 1.0, kTrackLatitude);

GeoPoint TrackPoint(int i, double northMetres = 0.0) {
    return GeoPoint{static_cast<float>(kTrackLongitude + i * kTrackStep),
                    static_cast<float>(kTrackLatitude + northMetres / 111195.0)};
}

std::string TrackText() {
    testdata::NmeaWriter writer;
    writer.SetRmc(false).SetTimeFraction("");
    for (int i = 0; i < kTrackFixes; ++i) {
        testdata::NmeaFixValues values;
        values.hour = 0;
        values.minute = (i + 1) / 60;
        values.second = (i + 1) % 60;
        values.latitude = kTrackLatitude;
        values.longitude = kTrackLongitude + i * kTrackStep;
        values.speedKmh = 36.0;
        writer.AddCycle(values);
    }
    return writer.Build();
}

// The fixes the receiver's parser takes from the text, with the shipped GGA-then-VTG protocol.
std::vector<GpsFix> ParsedFixes(const std::string& text) {
    IniProfile::PreloadText(u"\\drive\\deziv.ini", testdata::GpsSettingsWriter()
                                                       .SetDefault("NMEA")
                                                       .AddProtocol(testdata::NmeaProtocol())
                                                       .Build());
    SentenceParser parser;
    parser.Load(u"\\drive\\deziv.ini", u"NMEA");
    parser.Feed(text.data(), text.size());
    std::vector<GpsFix> fixes;
    while (parser.IsCycleComplete()) {
        parser.FillFix(fixes.emplace_back());
        parser.ResetCycle();
    }
    return fixes;
}

// A drive goes on from the fix after the car's place near the start; a car elsewhere starts at
// the beginning. Then the car stands at the last fix, a second a fix, at speed 0.
TEST(ScenarioDriveText, BeginsWhereTheCarIsAndStandsAtTheEnd) {
    const struct {
        const char* name;
        std::optional<GeoPoint> car;
        int first; // the track's fix the drive begins with
    } cases[] = {
        {"no car", std::nullopt, 0},
        {"at the start", TrackPoint(0), 1},
        {"300 m on", TrackPoint(30), 31},
        {"between two fixes, 20 m beside", TrackPoint(30, 20.0), 31},
        {"60 m beside", TrackPoint(30, 60.0), 0},
        {"990 m on", TrackPoint(99), 100},
        {"60 m past the first kilometre", TrackPoint(106), 0},
    };
    const std::string track = TrackText();
    constexpr int kParked = 5;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<GpsFix> fixes = ParsedFixes(ShapeDriveText(track, c.car, kParked));
        ASSERT_EQ(fixes.size(), static_cast<std::size_t>(kTrackFixes - c.first + kParked));
        EXPECT_NEAR(fixes.front().longitude, TrackPoint(c.first).x, 1e-6);
        for (std::size_t i = 0; i < fixes.size(); ++i) {
            EXPECT_EQ(fixes[i].positionStatus, 0) << i;
            const bool isParked = i >= fixes.size() - kParked;
            EXPECT_EQ(fixes[i].speed, isParked ? 0 : 36) << i;
            if (i > 0) {
                EXPECT_EQ(fixes[i].utcTime, fixes[i - 1].utcTime + 1) << i;
            }
            if (isParked) {
                EXPECT_EQ(fixes[i].longitude, fixes[i - 1].longitude) << i;
                EXPECT_EQ(fixes[i].latitude, fixes[i - 1].latitude) << i;
            }
        }
    }
}

// Text without a position gives nothing to drive; lines ending in a bare LF are read too, and a
// time without seconds is kept as it was.
TEST(ScenarioDriveText, TextWithoutAPositionAndOtherLineEnds) {
    EXPECT_EQ(ShapeDriveText("", std::nullopt, 3), "");
    EXPECT_EQ(ShapeDriveText("$GPGGA,000001,,,,,0,00,,,M,,M,,*66\r\nnoise\r\n", TrackPoint(0), 3),
              "");
    std::string track = TrackText();
    for (std::size_t at; (at = track.find("\r\n")) != std::string::npos;)
        track.erase(at, 1);
    EXPECT_EQ(ParsedFixes(ShapeDriveText(track, TrackPoint(30), 2)).size(),
              static_cast<std::size_t>(kTrackFixes - 31 + 2));
    const std::string shortTime = ShapeDriveText(
        testdata::NmeaWriter::Sentence("GPGGA,0001,4706.0000,N,00930.0000,E,1"), std::nullopt, 1);
    EXPECT_EQ(std::count(shortTime.begin(), shortTime.end(), '\n'), 2);
    EXPECT_EQ(shortTime.substr(0, shortTime.find('\n')),
              shortTime.substr(shortTime.find('\n') + 1, shortTime.find('\n')));
}

} // namespace
