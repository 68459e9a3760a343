// The shipped GPS settings against the sentence mixes of several kinds of receiver, fed as the
// GPS sources read them: every cycle gives its fix, whatever the size of the pieces.
#include "positioning/sentenceparser.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/drivegenerator.h"
#include "testdata/nmeawriter.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testdata::NmeaMix;

constexpr std::size_t kSerialReadSize = 256; // the serial device's reads

// A field of the sentences: identifier and position after it.
struct MixField {
    const char* sentence = nullptr; // none: the protocol does not deliver the value
    int position = 0;
};

// A receiver's output and where its protocol takes each value from.
struct ReceiverMix {
    const char* name;
    const char16_t* protocol;
    testdata::NmeaWriter writer; // the knobs; no cycles added
    std::vector<testdata::DriveSample> samples;
    MixField time, latitude, longitude, speed, course, satellites;
    MixField validity;     // RMC status ("A" valid) or GGA quality (0 void)
    float speedMultiplier; // to km/h
};

constexpr MixField kRmcTime{"GPRMC", 0}, kRmcStatus{"GPRMC", 1}, kRmcLatitude{"GPRMC", 2},
    kRmcLongitude{"GPRMC", 4}, kRmcSpeed{"GPRMC", 6}, kRmcCourse{"GPRMC", 7};

std::vector<testdata::DriveSample> MixDrive(testdata::DrivePoint from, testdata::DrivePoint to,
                                            const testdata::DriveSettings& settings,
                                            std::size_t every = 1) {
    testdata::DriveGenerator generator;
    generator.AddPiece(1, {from, to});
    const std::vector<testdata::DriveSample> all = generator.Generate(settings);
    std::vector<testdata::DriveSample> kept;
    for (std::size_t i = 0; i < all.size(); i += every) {
        kept.push_back(all[i]);
    }
    return kept;
}

// Mixes of a few minutes each: outages (quality 0, some without time), dead reckoning, fixes
// without satellites, a restart; in all four hemispheres.
std::vector<ReceiverMix> Mixes() {
    std::vector<ReceiverMix> mixes;
    testdata::DriveSettings a;
    a.startSecondOfDay = 11 * 3600 + 22 * 60;
    a.maxSamples = 300;
    a.speedProfile = {{0, 30}, {60, 110}, {120, 50}};
    a.noiseMetres = 3.0;
    a.deadReckoning = {{95, 5}};
    a.outages = {{100, 30}};
    a.restarts = {200};
    a.timelessOutages = {{200, 4}};
    testdata::NmeaWriter gsaRmc;
    gsaRmc.SetMix(NmeaMix::GsaRmc).SetTimeFraction(".041");
    mixes.push_back({"GSA, RMC every second",
                     u"NMEA-GSA-RMC",
                     gsaRmc,
                     MixDrive({47.1, 9.52}, {47.2, 9.62}, a),
                     kRmcTime,
                     kRmcLatitude,
                     kRmcLongitude,
                     kRmcSpeed,
                     kRmcCourse,
                     {},
                     kRmcStatus,
                     1.852f});

    testdata::DriveSettings b;
    b.startSecondOfDay = 86400 - 200; // crosses midnight
    b.maxSamples = 400;
    b.speedProfile = {{0, 80}, {200, 20}};
    b.outages = {{100, 20}};
    b.timelessOutages = {{120, 6}};
    b.coasting = {{150, 8}};
    b.restarts = {300};
    testdata::NmeaWriter rmcRmbGga;
    rmcRmbGga.SetMix(NmeaMix::RmcRmbGga).SetTimeFraction("");
    mixes.push_back({"RMC, RMB, GGA every 2 s",
                     u"NMEA-RMC-RMB-GGA",
                     rmcRmbGga,
                     MixDrive({45.5, -122.6}, {45.6, -122.5}, b, 2),
                     kRmcTime,
                     kRmcLatitude,
                     kRmcLongitude,
                     kRmcSpeed,
                     kRmcCourse,
                     {"GPGGA", 6},
                     {"GPGGA", 5},
                     1.852f});

    testdata::DriveSettings plain;
    plain.maxSamples = 120;
    plain.outages = {{50, 5}};
    testdata::NmeaWriter ggaVtg;
    mixes.push_back({"GGA, VTG, RMC",
                     u"NMEA",
                     ggaVtg,
                     MixDrive({-33.9, 151.2}, {-33.8, 151.3}, plain),
                     {"GPGGA", 0},
                     {"GPGGA", 1},
                     {"GPGGA", 3},
                     {"GPVTG", 6},
                     {"GPVTG", 0},
                     {"GPGGA", 6},
                     {"GPGGA", 5},
                     1.0f});
    testdata::NmeaWriter gn;
    gn.SetFault(testdata::NmeaFault::GnTalker).SetRmc(false);
    mixes.push_back({"GN talker",
                     u"NMEA-GN",
                     gn,
                     MixDrive({64.1, -21.9}, {64.2, -21.8}, plain),
                     {"GNGGA", 0},
                     {"GNGGA", 1},
                     {"GNGGA", 3},
                     {"GNVTG", 6},
                     {"GNVTG", 0},
                     {"GNGGA", 6},
                     {"GNGGA", 5},
                     1.0f});
    return mixes;
}

std::string MixBytes(const ReceiverMix& mix) {
    return testdata::DriveGenerator::ToNmea(mix.samples, mix.writer);
}

// Feeds in pieces of size bytes (0: line by line) and takes every completed cycle's fix after
// each piece, as the GPS sources do.
std::vector<GpsFix> FeedInPieces(SentenceParser& parser, const std::string& bytes,
                                 std::size_t size) {
    std::vector<GpsFix> fixes;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t line = bytes.find('\n', at);
        const std::size_t end = size > 0 ? std::min(bytes.size(), at + size)
                                         : (line == std::string::npos ? bytes.size() : line + 1);
        parser.Feed(bytes.data() + at, end - at);
        at = end;
        while (parser.IsCycleComplete()) {
            parser.FillFix(fixes.emplace_back());
            parser.ResetCycle();
        }
    }
    return fixes;
}

// The fields of the first sentence with this identifier in text.
std::vector<std::string> FieldsOf(const std::string& text, const char* identifier) {
    const std::size_t at = text.find(std::string("$") + identifier + ",");
    std::vector<std::string> fields;
    if (at == std::string::npos) {
        return fields;
    }
    const std::string body = text.substr(at, text.find('*', at) - at);
    for (std::size_t start = body.find(',') + 1;;) {
        const std::size_t comma = body.find(',', start);
        fields.push_back(body.substr(start, comma - start));
        if (comma == std::string::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

// Degrees of a ddmm.mmmm (or dddmm.mmmm) text with its hemisphere letter.
double DegreesOfText(const std::string& text, const std::string& hemisphere) {
    const double value = std::strtod(text.c_str(), nullptr);
    const double degrees = std::floor(value / 100.0);
    const double signedDegrees = degrees + (value - degrees * 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -signedDegrees : signedDegrees;
}

// The float precision of such a text read into float degrees: the step of the text's value as a
// float (in minutes) plus the step of the result.
double FloatPrecision(const std::string& text, double degrees) {
    const auto step = [](double value) {
        const float f = static_cast<float>(std::fabs(value));
        return static_cast<double>(std::nextafter(f, INFINITY) - f);
    };
    return step(std::strtod(text.c_str(), nullptr)) / 60.0 + step(degrees);
}

// Checks a fix against the sentences of its cycle.
void ExpectFixOfCycle(const ReceiverMix& mix, const std::string& cycle, const GpsFix& fix) {
    const auto field = [&](const MixField& f, int next = 0) {
        const std::vector<std::string> fields = FieldsOf(cycle, f.sentence);
        return f.position + next < static_cast<int>(fields.size()) ? fields[f.position + next]
                                                                   : std::string("?");
    };
    const std::string validity = field(mix.validity);
    const bool isValid =
        mix.validity.position == 1 ? validity == "A" : std::atoi(validity.c_str()) != 0;
    ASSERT_EQ(fix.hdop == GpsFix::kHdopNoFix, !isValid) << "a void cycle gives no valid fix";
    if (!isValid) {
        return;
    }
    EXPECT_GE(fix.hdop, 0.0f);
    EXPECT_EQ(fix.positionStatus, 0);
    const std::string time = field(mix.time);
    const int hhmmss = std::atoi(time.c_str());
    EXPECT_EQ(
        fix.utcTime % 86400,
        static_cast<std::uint32_t>(hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100));
    const double latitude = DegreesOfText(field(mix.latitude), field(mix.latitude, 1));
    const double longitude = DegreesOfText(field(mix.longitude), field(mix.longitude, 1));
    EXPECT_NEAR(fix.latitude, latitude, FloatPrecision(field(mix.latitude), latitude));
    EXPECT_NEAR(fix.longitude, longitude, FloatPrecision(field(mix.longitude), longitude));
    // The whole units of the text, times the multiplier, truncated.
    EXPECT_EQ(fix.speed, static_cast<int>(std::atoi(field(mix.speed).c_str()) *
                                          static_cast<double>(mix.speedMultiplier)));
    EXPECT_EQ(fix.course, std::atoi(field(mix.course).c_str()));
    EXPECT_EQ(fix.speedStatus | fix.courseStatus, 0);
    if (mix.satellites.sentence != nullptr) {
        EXPECT_EQ(fix.satellites, std::atoi(field(mix.satellites).c_str()));
    } else {
        EXPECT_EQ(fix.satellites, GpsFix::kNotDelivered);
    }
}

class ReceiverMixes : public ::testing::Test {
protected:
    void Load(SentenceParser& parser, const char16_t* protocol) {
        IniProfile::PreloadText(u"\\mixes\\deziv.ini", ShippedSettings());
        parser.Load(u"\\mixes\\deziv.ini", protocol);
    }

    platform::VirtualClock m_clock; // 2000-01-01 00:00:00 UTC
    platform::ScopedClock m_installed{m_clock};
};

// Each kind of receiver gives one fix per cycle from its shipped protocol: the valid ones with
// the position, speed and course of that cycle's sentences, the void ones marked as no fix.
TEST_F(ReceiverMixes, ShippedProtocolsGiveEveryCycleItsFix) {
    for (const ReceiverMix& mix : Mixes()) {
        SCOPED_TRACE(mix.name);
        SentenceParser parser;
        Load(parser, mix.protocol);
        const std::vector<GpsFix> fixes = FeedInPieces(parser, MixBytes(mix), kSerialReadSize);
        ASSERT_EQ(fixes.size(), mix.samples.size());
        std::size_t valid = 0;
        std::size_t outages = 0;
        for (std::size_t i = 0; i < fixes.size(); ++i) {
            SCOPED_TRACE(i);
            testdata::NmeaWriter one = mix.writer;
            const std::string cycle =
                one.AddCycle(testdata::DriveGenerator::ToNmeaValues(mix.samples[i])).Build();
            ExpectFixOfCycle(mix, cycle, fixes[i]);
            valid += fixes[i].hdop != GpsFix::kHdopNoFix ? 1 : 0;
            outages += mix.samples[i].hasFix ? 0 : 1;
        }
        EXPECT_EQ(valid, mix.samples.size() - outages);
        EXPECT_GT(outages, 0u);
    }
}

// The fields of two fixes that the parser fills.
auto FixFields(const GpsFix& f) {
    return std::tuple(f.longitude, f.latitude, f.positionStatus, f.spareStatus, f.satellites,
                      f.course, f.courseStatus, f.speed, f.speedStatus, f.hdop, f.utcTime, f.tick);
}

// Bytes fed line by line or in pieces of any size, a whole log at once included, give the same
// fixes: one per cycle.
TEST_F(ReceiverMixes, AnyPieceSizeGivesTheSameFixes) {
    for (const ReceiverMix& mix : Mixes()) {
        SCOPED_TRACE(mix.name);
        const std::string bytes = MixBytes(mix);
        SentenceParser lines;
        Load(lines, mix.protocol);
        const std::vector<GpsFix> expected = FeedInPieces(lines, bytes, 0);
        ASSERT_EQ(expected.size(), mix.samples.size());
        for (const std::size_t size : {std::size_t{1}, std::size_t{7}, std::size_t{32},
                                       kSerialReadSize, std::size_t{4096}, bytes.size()}) {
            SCOPED_TRACE(size);
            SentenceParser parser;
            Load(parser, mix.protocol);
            const std::vector<GpsFix> fixes = FeedInPieces(parser, bytes, size);
            ASSERT_EQ(fixes.size(), expected.size());
            for (std::size_t i = 0; i < fixes.size(); ++i) {
                ASSERT_EQ(FixFields(fixes[i]), FixFields(expected[i])) << i;
            }
            EXPECT_EQ(parser.GetBufferedLength(), 0u);
        }
    }
}

} // namespace
