#include "positioning/sentenceparser.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpsfixbatches.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testdata::NmeaFault;
using testdata::NmeaFixValues;
using testdata::NmeaWriter;

constexpr char kGgaOnly[] =
    "[NMEA]\nInput1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n";
constexpr char kGgaVtg[] =
    "[NMEA]\nInput1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n"
    "Input2=GPVTG,course,,,,,,speed\n";

// Loads the settings text as the settings file's content.
void LoadText(SentenceParser& parser, const std::string& settings,
              const std::u16string& protocol = u"NMEA") {
    IniProfile::PreloadText(u"\\test\\deziv.ini", settings);
    parser.Load(u"\\test\\deziv.ini", protocol);
}

// Feeds in the reader's 32-byte pieces.
void FeedInPieces(SentenceParser& parser, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
    }
}

std::string ShippedSettings() {
    std::ifstream file(NAV_DEZIV_INI, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

NmeaFixValues Values(double latitude, double longitude) {
    NmeaFixValues values;
    values.latitude = latitude;
    values.longitude = longitude;
    values.hour = 0;
    values.minute = 0;
    values.second = 30;
    values.course = 271.0;
    values.speedKmh = 87.0;
    values.satellites = 7;
    values.hdop = 1.4;
    return values;
}

TEST(SentenceParser, UnescapesCaretCodes) {
    const struct {
        std::u16string in;
        std::u16string out;
    } cases[] = {
        {u"^0D^0A", u"\r\n"}, {u"^0d^0a", u"\r\n"}, {u"a^41b", u"aAb"}, {u"^4", u"^4"},
        {u"x^^41", u"x^^41"}, {u"^41^", u"A^"},     {u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SentenceParser::Unescape(c.in), c.out);
    }
}

// The definition's edge cases and each writer fault, with what the parser makes of it.
TEST(SentenceParser, ParsesTheDefinitionsEdgeCasesAndWriterFaults) {
    const NmeaFixValues values = Values(-48.1173, 11.5);
    const std::string southGga =
        NmeaWriter::Sentence("GPGGA,123519,4807.038,S,01130.000,E,1,08,0.9,545.4,M,46.9,M,,");
    const std::string noFixGga =
        NmeaWriter::Sentence("GPGGA,123519,4807.038,N,01130.000,W,0,03,0.9,545.4,M,46.9,M,,");
    const auto cycles = [&](NmeaFault fault, int count) {
        NmeaWriter writer;
        writer.SetFault(fault).SetRmc(false);
        for (int i = 0; i < count; ++i) {
            writer.AddCycle(values);
        }
        return writer.Build();
    };
    struct Case {
        const char* name;
        std::string settings;
        std::string input;
        bool isComplete;
        std::uint32_t counted;
        std::function<void(SentenceParser&)> check; // may be empty
    };
    const std::vector<Case> cases = {
        {"GGA cycle in the south", kGgaOnly, southGga, true, 1,
         [](SentenceParser& parser) {
             GpsFix fix;
             parser.FillFix(fix);
             EXPECT_NEAR(fix.latitude, -48.1173, 1e-4);
             EXPECT_NEAR(fix.longitude, 11.5, 1e-5);
             EXPECT_EQ(fix.positionStatus, 0);
             EXPECT_EQ(fix.satellites, 8);
             EXPECT_FLOAT_EQ(fix.hdop, 0.9f);
             EXPECT_EQ(fix.courseStatus, GpsFix::kNotDelivered) << "no course field";
             EXPECT_EQ(fix.speedStatus, GpsFix::kNotDelivered);
             EXPECT_EQ(fix.utcTime % 86400, 12u * 3600 + 35 * 60 + 19);
         }},
        {"quality 0", kGgaOnly, noFixGga, true, 1,
         [](SentenceParser& parser) {
             GpsFix fix;
             parser.FillFix(fix);
             EXPECT_EQ(fix.hdop, GpsFix::kHdopNoFix);
             EXPECT_NEAR(fix.longitude, -11.5, 1e-5);
         }},
        {"Input2 before Input1", kGgaVtg, NmeaWriter::Vtg(values) + NmeaWriter::Gga(values), false,
         2, nullptr},
        {"Input1 then Input2", kGgaVtg,
         NmeaWriter::Vtg(values) + NmeaWriter::Gga(values) + NmeaWriter::Vtg(values), true, 3,
         [](SentenceParser& parser) {
             GpsFix fix;
             parser.FillFix(fix);
             EXPECT_EQ(fix.course, 271);
             EXPECT_EQ(fix.speed, 87) << "km/h at VTG position 6";
             EXPECT_EQ(fix.courseStatus, 0);
         }},
        {"CR LF given as ^0D^0A", std::string(kGgaOnly) + "EndDelimiter=^0D^0A\n", southGga, true,
         1, nullptr},
        {"LF given as ^0A", std::string(kGgaOnly) + "EndDelimiter=^0A\n",
         NmeaWriter::Sentence("GPGGA,1,4807.038,S,01130.000,E,1,08,0.9", NmeaFault::LineFeedOnly),
         true, 1, nullptr},
        {"Input2 missing, Input3 present",
         std::string(kGgaOnly) + "Input3=GPVTG,course,,,,,,speed\n", southGga, true, 1,
         [](SentenceParser& parser) { EXPECT_EQ(parser.GetInputCount(), 1u); }},
        {"no definition section", "[Other]\nInput1=GPGGA,utctime\n", southGga, false, 1,
         [](SentenceParser& parser) { EXPECT_EQ(parser.GetInputCount(), 0u); }},
        {"lower-case checksum", kGgaVtg, cycles(NmeaFault::LowerCaseChecksum, 1), true, 2, nullptr},
        {"one-digit checksum", kGgaVtg, cycles(NmeaFault::OneDigitChecksum, 1), true, 2, nullptr},
        {"no checksum delimiter: uncounted", kGgaVtg, cycles(NmeaFault::NoChecksumDelimiter, 2),
         false, 0, nullptr},
        {"wrong checksum: counted, no change", kGgaVtg, cycles(NmeaFault::WrongChecksum, 2), false,
         4, nullptr},
        {"LF-only ends: buffer emptied", kGgaVtg, cycles(NmeaFault::LineFeedOnly, 1), false, 0,
         [](SentenceParser& parser) { EXPECT_LT(parser.GetBufferedLength(), 221u); }},
        {"garbage between sentences", kGgaVtg, cycles(NmeaFault::GarbageBetween, 1), true, 2,
         nullptr},
        {"sentence cut short borrows nothing", kGgaVtg, cycles(NmeaFault::CutShort, 1), false, 1,
         nullptr},
        {"line over 221 characters", kGgaVtg, cycles(NmeaFault::OverlongLine, 1), true, 2, nullptr},
        {"GN talker under GP names", kGgaVtg, cycles(NmeaFault::GnTalker, 1), false, 2, nullptr},
        {"GN talker under NMEA-GN", ShippedSettings(), cycles(NmeaFault::GnTalker, 1), true, 2,
         nullptr},
        {"missing VTG", kGgaVtg, cycles(NmeaFault::MissingVtg, 3), false, 3, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SentenceParser parser;
        LoadText(parser, c.settings,
                 std::string(c.name).find("NMEA-GN") != std::string::npos ? u"NMEA-GN" : u"NMEA");
        FeedInPieces(parser, c.input);
        EXPECT_EQ(parser.IsCycleComplete(), c.isComplete);
        EXPECT_EQ(parser.GetSentenceCount(), c.counted);
        if (c.check) {
            c.check(parser);
        }
    }
}

TEST(SentenceParser, EmptiesAnUnterminatedBufferAt221Characters) {
    SentenceParser parser;
    LoadText(parser, kGgaVtg);
    const std::string line = "$GPTXT," + std::string(212, 'X');
    parser.Feed(line.data(), line.size());
    EXPECT_EQ(parser.GetBufferedLength(), 219u) << "kept below the limit";
    parser.Feed("XX", 2);
    EXPECT_EQ(parser.GetBufferedLength(), 0u);
    parser.Feed("garbage", 7);
    EXPECT_EQ(parser.GetBufferedLength(), 0u) << "no start delimiter";
}

TEST(SentenceParser, LoadsDelimitersInitTextAndRate) {
    SentenceParser parser;
    LoadText(parser,
             "[P]\nStartDelimiter=!\nChecksumDelimiter=#\nEndDelimiter=^0A\n"
             "FieldDelimiter=;\nInput1=AB,speed,course\nInput2=CD,,satellites\n"
             "Input3=AB,satellites\nspeedMultiplier=0.5\ncourseOffset=10\n"
             "Init1=PSRF100,1,4800\nInit2=X^41\n",
             u"P");
    EXPECT_EQ(parser.GetInputCount(), 2u) << "the second AB line is ignored";
    EXPECT_EQ(parser.GetSentenceRate(), 2.0f);
    EXPECT_EQ(parser.GetInitText(), u"!PSRF100,1,4800#1B\n!X^41#03\n")
        << "init texts are framed, not unescaped";
    // The checksums: XOR of "AB;130;45" and of "CD;x;9", the second in lower case.
    unsigned ab = 0;
    for (const char c : std::string("AB;130;45")) {
        ab ^= static_cast<unsigned char>(c);
    }
    unsigned cd = 0;
    for (const char c : std::string("CD;x;9")) {
        cd ^= static_cast<unsigned char>(c);
    }
    char text[64];
    (void)std::snprintf(text, sizeof text, "!AB;130;45#%X\n!CD;x;9#%x\n", ab, cd);
    parser.Feed(text, std::strlen(text));
    ASSERT_TRUE(parser.IsCycleComplete());
    EXPECT_EQ(parser.PacingDelay(), 1000u) << "two sentences at two a second";
    GpsFix fix;
    parser.FillFix(fix);
    EXPECT_EQ(fix.speed, 65);
    EXPECT_EQ(fix.course, 55);
    EXPECT_EQ(fix.satellites, 9);
    EXPECT_EQ(fix.positionStatus, GpsFix::kNotDelivered);
    EXPECT_EQ(fix.hdop, GpsFix::kHdopNotDelivered);
    EXPECT_EQ(fix.utcTime, 0u);
    parser.SetSentenceRate(0.0f);
    EXPECT_EQ(parser.PacingDelay(), 0u);
}

TEST(SentenceParser, FormatsAFixAndReadsItBackInAllHemispheres) {
    SentenceParser parser;
    LoadText(parser, ShippedSettings());
    GpsFix west;
    west.longitude = -1.5f;
    west.latitude = 47.25f;
    std::u16string text;
    parser.FormatFix(west, text);
    EXPECT_NE(text.find(u",4715.0000,N, 130.0000,W,8,"), std::u16string::npos)
        << std::string(text.begin(), text.end());

    for (const auto& [latitude, longitude] :
         {std::pair{47.123456f, 9.654321f}, std::pair{-33.8765f, 151.2093f},
          std::pair{-0.5f, -78.25f}, std::pair{64.1466f, -21.9426f}}) {
        SCOPED_TRACE(latitude);
        GpsFix fix;
        fix.latitude = latitude;
        fix.longitude = longitude;
        fix.course = 123;
        fix.speed = 56;
        fix.satellites = 9;
        fix.hdop = 1.25f;
        std::u16string sentences;
        parser.FormatFix(fix, sentences);
        const std::string bytes(sentences.begin(), sentences.end());
        parser.ResetCycle();
        parser.Feed(bytes.data(), bytes.size());
        ASSERT_TRUE(parser.IsCycleComplete()) << bytes;
        GpsFix back;
        parser.FillFix(back);
        // Four decimals of minutes, read back through a float.
        EXPECT_NEAR(back.latitude, latitude, 1e-5);
        EXPECT_NEAR(back.longitude, longitude, 2e-5);
        EXPECT_EQ(back.course, 123);
        EXPECT_EQ(back.speed, 56);
        EXPECT_EQ(back.satellites, 9);
        EXPECT_FLOAT_EQ(back.hdop, 1.25f);
    }
}

// Fixes just before and after UTC midnight, processed on either side of it, keep their real
// distance in time whatever the local time zone.
TEST(SentenceParser, TakesTheUtcDayNearestToNow) {
    SentenceParser parser;
    LoadText(parser, kGgaOnly);
    const auto utcOf = [&](const char* hhmmss) {
        parser.ResetCycle();
        const std::string gga =
            NmeaWriter::Sentence(std::string("GPGGA,") + hhmmss + ",4807.038,N,01130.000,E,1,08,1");
        parser.Feed(gga.data(), gga.size());
        GpsFix fix;
        parser.FillFix(fix);
        return fix.utcTime;
    };
    // 2000-01-02 00:00:00 UTC.
    constexpr std::uint32_t kMidnight = 946771200;
    for (const int offset : {120, -300, 0}) {
        SCOPED_TRACE(offset);
        for (const int processedAt : {-3000, 1, 3000}) { // ms around midnight
            platform::VirtualClock clock;
            platform::ScopedClock installed(clock);
            clock.SetLocalOffsetMinutes(offset);
            clock.Advance(static_cast<std::uint64_t>(86400000LL + processedAt));
            EXPECT_EQ(utcOf("235959.00"), kMidnight - 1);
            EXPECT_EQ(utcOf("000001"), kMidnight + 1);
        }
    }
    EXPECT_EQ(utcOf("246000"), 0u) << "no such time of day";
}

// A simulated drive's fix batches equal what the parser reads from the drive's sentences, and
// the drive walks its pieces at the profile's speed.
TEST(SentenceParser, ReadsSimulatedDrivesAsTheirFixBatches) {
    testdata::DriveGenerator generator;
    generator.AddPiece(5, {{-33.9, 151.2}, {-33.9, 151.203}});
    generator.AddPiece(6, {{-33.9, 151.203}, {-33.897, 151.203}, {-33.897, 151.2}});
    testdata::DriveSettings settings;
    settings.startSecondOfDay = 86400 - 20;
    settings.speedProfile = {{0, 30}, {20, 90}};
    settings.stops = {{10, 3}};
    settings.outages = {{15, 2}};
    settings.jumps = {{25, 200.0}};
    settings.noiseMetres = 4.0;
    const std::vector<testdata::DriveSample> samples = generator.Generate(settings);
    ASSERT_GT(samples.size(), 30u);
    EXPECT_EQ(samples.back().elementId, 6);
    EXPECT_EQ(samples.front().elementId, 5);
    EXPECT_EQ(generator.Generate(settings).back().reported.latitude,
              samples.back().reported.latitude)
        << "seeded";
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const auto& [before, after] = std::pair{samples[i - 1], samples[i]};
        const double north =
            (after.truePosition.latitude - before.truePosition.latitude) * 111132.9;
        const double east = (after.truePosition.longitude - before.truePosition.longitude) *
                            111132.9 * std::cos(33.9 * 3.14159265 / 180);
        if (before.elementId == after.elementId && before.course == after.course) {
            EXPECT_NEAR(std::hypot(north, east), before.speedKmh / 3.6, 0.05) << i;
        }
    }
    EXPECT_EQ(samples[11].speedKmh, 0.0);
    EXPECT_EQ(samples[11].truePosition.latitude, samples[12].truePosition.latitude);
    EXPECT_FALSE(samples[16].hasFix);
    EXPECT_GT(std::fabs(samples[25].reported.longitude - samples[25].truePosition.longitude),
              0.0019);

    SentenceParser parser;
    LoadText(parser, testdata::GpsSettingsWriter()
                         .SetDefault("NMEA")
                         .AddProtocol(testdata::NmeaProtocol())
                         .Build());
    const std::vector<std::vector<GpsFix>> batches =
        testdata::ToGpsFixBatches(samples, 946684800 - 86400);
    const std::string bytes = testdata::DriveGenerator::ToNmea(samples, true);
    platform::VirtualClock clock; // 2000-01-01 00:00:00 UTC, the drive crosses midnight
    platform::ScopedClock installed(clock);
    std::size_t index = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
        if (!parser.IsCycleComplete()) {
            continue;
        }
        GpsFix fix;
        parser.FillFix(fix);
        parser.ResetCycle();
        ASSERT_LT(index, batches.size());
        const GpsFix& expected = batches[index++].front();
        SCOPED_TRACE(index);
        // Float degrees step by 1.5e-5 beyond 128 degrees; the text is read through a float.
        EXPECT_NEAR(fix.latitude, expected.latitude, 1e-5);
        EXPECT_NEAR(fix.longitude, expected.longitude, 4e-5);
        EXPECT_NEAR(fix.course, expected.course, 1.0);
        EXPECT_NEAR(fix.speed, expected.speed, 1.0);
        EXPECT_EQ(fix.satellites, expected.satellites);
        EXPECT_NEAR(fix.hdop, expected.hdop, 1e-6);
        EXPECT_EQ(fix.utcTime, expected.utcTime);
    }
    EXPECT_EQ(index, batches.size());
}

} // namespace
