#include "positioning/sentenceparser.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpsfixbatches.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/nmeawriter.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using testdata::NmeaFault;
using testdata::NmeaWriter;

constexpr char kGgaOnly[] =
    "[NMEA]\nInput1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n";
constexpr char kRmcWithStatus[] =
    "[NMEA]\nInput1=GPRMC,utctime,status,latitude,ns,longitude,ew,speed,course\n";
constexpr char kGgaVtg[] =
    "[NMEA]\nInput1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n"
    "Input2=GPVTG,course,,,,,,speed\n";

void Load(SentenceParser& parser, const std::string& settings, const char16_t* name = u"NMEA") {
    IniProfile::PreloadText(u"\\test\\deziv.ini", settings);
    parser.Load(u"\\test\\deziv.ini", name);
}

// Feeds in the reader's 32-byte pieces; the fixes of the cycles completed on the way.
std::vector<GpsFix> Feed(SentenceParser& parser, const std::string& bytes) {
    std::vector<GpsFix> fixes;
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
        while (parser.IsCycleComplete()) {
            parser.FillFix(fixes.emplace_back());
            parser.ResetCycle();
        }
    }
    return fixes;
}

TEST(SentenceParser, UnescapesCaretCodes) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"^0D^0A", u"\r\n"}, {u"^0d^0a", u"\r\n"}, {u"a^41b", u"aAb"},
        {u"^4", u"^4"},       {u"x^^41", u"x^^41"}, {u"^41^", u"A^"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(SentenceParser::Unescape(in), out);
    }
}

// The definition's edge cases and each writer fault, with what the parser makes of it.
TEST(SentenceParser, ParsesTheDefinitionsEdgeCasesAndWriterFaults) {
    testdata::NmeaFixValues values;
    values.course = 271.0;
    values.speedKmh = 87.0;
    const std::string south =
        NmeaWriter::Sentence("GPGGA,123519,4807.038,S,01130.000,E,1,08,0.9,545.4,M,46.9,M,,");
    const std::string noFix = NmeaWriter::Sentence("GPGGA,1,4807.038,N,01130.000,W,0,03,0.9");
    const std::string gga = NmeaWriter::Gga(values);
    const std::string vtg = NmeaWriter::Vtg(values);
    const auto cycles = [&](NmeaFault fault, int count) {
        NmeaWriter writer;
        writer.SetFault(fault).SetRmc(false);
        for (int i = 0; i < count; ++i) {
            writer.AddCycle(values);
        }
        return writer.Build();
    };
    // A cycle of GGA, GSA, GSV, RMC and PSRF sentences; RMC status V when quality is 0.
    const auto rmcCycle = [&](int quality) {
        testdata::NmeaFixValues rmcValues = values;
        rmcValues.quality = quality;
        return NmeaWriter().SetMix(testdata::NmeaMix::GsaRmc).AddCycle(rmcValues).Build();
    };
    struct Case {
        const char* name;
        std::string settings;
        std::string input;
        std::size_t fixes;
        std::uint32_t counted; // sentences counted since the last fix
        std::function<void(const GpsFix&)> check;
    };
    const std::vector<Case> cases = {
        {"GGA cycle, south", kGgaOnly, south, 1, 0,
         [](const GpsFix& fix) {
             EXPECT_NEAR(fix.latitude, -48.1173, 1e-4);
             EXPECT_NEAR(fix.longitude, 11.5, 1e-5);
             EXPECT_EQ(fix.positionStatus, 0);
             EXPECT_EQ(fix.spareStatus, GpsFix::kNotDelivered);
             EXPECT_EQ(fix.satellites, 8);
             EXPECT_FLOAT_EQ(fix.hdop, 0.9f);
             EXPECT_EQ(fix.courseStatus & fix.speedStatus, 0xFFFF) << "no course, no speed";
             EXPECT_EQ(fix.utcTime % 86400, 12u * 3600 + 35 * 60 + 19);
         }},
        {"quality 0, west", kGgaOnly, noFix, 1, 0,
         [](const GpsFix& fix) {
             EXPECT_EQ(fix.hdop, GpsFix::kHdopNoFix);
             EXPECT_NEAR(fix.longitude, -11.5, 1e-5);
         }},
        {"hdop text nan reads as 0", kGgaOnly,
         NmeaWriter::Sentence("GPGGA,1,4807.038,N,1e999,E,1,08,nan"), 1, 0,
         [](const GpsFix& fix) { EXPECT_EQ(fix.hdop + fix.longitude, 0.0f); }},
        {"Input2 before Input1", kGgaVtg, vtg + gga, 0, 2, nullptr},
        {"Input1 then Input2", kGgaVtg, vtg + gga + vtg, 1, 0,
         [](const GpsFix& fix) {
             EXPECT_EQ(fix.course, 271);
             EXPECT_EQ(fix.speed, 87) << "km/h at VTG position 6";
             EXPECT_EQ(fix.courseStatus | fix.speedStatus, 0);
         }},
        {"CR LF as ^0D^0A", std::string(kGgaOnly) + "EndDelimiter=^0D^0A\n", south, 1, 0, nullptr},
        {"LF as ^0A", std::string(kGgaOnly) + "EndDelimiter=^0A\n",
         NmeaWriter::Sentence("GPGGA,1,4807.038,S", NmeaFault::LineFeedOnly), 1, 0, nullptr},
        {"Input2 missing, Input3 present", std::string(kGgaOnly) + "Input3=GPVTG,course\n", south,
         1, 0, nullptr},
        {"no definition section", "[Other]\nInput1=GPGGA,utctime\n", south, 0, 1, nullptr},
        {"lower-case checksum", kGgaVtg, cycles(NmeaFault::LowerCaseChecksum, 1), 1, 0, nullptr},
        {"one-digit checksum", kGgaVtg, cycles(NmeaFault::OneDigitChecksum, 1), 1, 0, nullptr},
        {"no checksum delimiter: uncounted", kGgaVtg, cycles(NmeaFault::NoChecksumDelimiter, 2), 0,
         0, nullptr},
        {"wrong checksum: counted", kGgaVtg, cycles(NmeaFault::WrongChecksum, 2), 0, 4, nullptr},
        {"LF-only ends: emptied at 221", kGgaVtg, cycles(NmeaFault::LineFeedOnly, 3), 0, 0,
         nullptr},
        {"garbage between sentences", kGgaVtg, cycles(NmeaFault::GarbageBetween, 1), 1, 0, nullptr},
        {"cut short: borrows no checksum", kGgaVtg, cycles(NmeaFault::CutShort, 1), 0, 1, nullptr},
        {"line over 221 characters", kGgaVtg, cycles(NmeaFault::OverlongLine, 1), 1, 0, nullptr},
        {"GN talker, GP definition", kGgaVtg, cycles(NmeaFault::GnTalker, 1), 0, 2, nullptr},
        {"GN talker, NMEA-GN", ShippedSettings(), cycles(NmeaFault::GnTalker, 1), 1, 0, nullptr},
        {"missing VTG", kGgaVtg, cycles(NmeaFault::MissingVtg, 3), 0, 3, nullptr},
        {"RMC status V", kRmcWithStatus, rmcCycle(0), 1, 1,
         [](const GpsFix& fix) { EXPECT_EQ(fix.hdop, GpsFix::kHdopNoFix); }},
        {"RMC status A", kRmcWithStatus, rmcCycle(1), 1, 1,
         [](const GpsFix& fix) {
             EXPECT_EQ(fix.hdop, GpsFix::kHdopNotDelivered);
             EXPECT_EQ(fix.speed, 46) << "knots";
             EXPECT_EQ(fix.course, 271);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SentenceParser parser;
        Load(parser, c.settings,
             std::string_view(c.name).ends_with("NMEA-GN") ? u"NMEA-GN" : u"NMEA");
        const std::vector<GpsFix> fixes = Feed(parser, c.input);
        ASSERT_EQ(fixes.size(), c.fixes);
        EXPECT_EQ(parser.GetSentenceCount(), c.counted);
        EXPECT_LT(parser.GetBufferedLength(), SentenceParser::kMaxUnterminated);
        if (c.check) {
            c.check(fixes.front());
        }
    }
}

TEST(SentenceParser, LoadsDelimitersInputsMultipliersAndInitText) {
    testdata::GpsProtocolSection protocol;
    protocol.name = "P";
    protocol.startDelimiter = "!";
    protocol.checksumDelimiter = "#";
    protocol.endDelimiter = "^0A";
    protocol.fieldDelimiter = ";";
    protocol.inputs = {"AB,speed,course", "CD,,satellites", "AB,satellites"};
    protocol.inits = {"PSRF100,1,4800", "X^41"};
    protocol.multipliers = {{"speed", "0.5"}};
    protocol.offsets = {{"course", "10"}};
    SentenceParser parser;
    Load(parser, testdata::GpsSettingsWriter().AddProtocol(protocol).Build(), u"P");
    EXPECT_EQ(parser.GetInputCount(), 2u) << "the second AB line is ignored";
    EXPECT_EQ(parser.GetSentenceRate(), 2.0f);
    EXPECT_EQ(parser.GetInitText(), u"!PSRF100,1,4800#1B\n!X^41#03\n") << "framed, not unescaped";
    // XOR of "AB;130;45" is 0x30, of "CD;x;9" 0x46.
    const std::string cycle = "!AB;130;45#30\n!CD;x;9#46\n";
    parser.Feed(cycle.data(), cycle.size());
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
    Load(parser, ShippedSettings());
    GpsFix west;
    west.longitude = -1.5f;
    west.latitude = 47.25f;
    std::u16string text;
    parser.FormatFix(west, text);
    EXPECT_NE(text.find(u",4715.0000,N, 130.0000,W,8,"), std::u16string::npos);

    // Every shipped protocol, those with speed in knots and a status field included.
    for (const char16_t* protocol : {u"NMEA", u"NMEA-GN", u"NMEA-RMC-RMB-GGA", u"NMEA-GSA-RMC"}) {
        SCOPED_TRACE(
            std::string(protocol, protocol + std::char_traits<char16_t>::length(protocol)));
        Load(parser, ShippedSettings(), protocol);
        const bool hasSatellites = std::u16string_view(protocol) != u"NMEA-GSA-RMC";
        const bool isKnots =
            std::u16string_view(protocol).find(u"RMC") != std::u16string_view::npos;
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
            const std::vector<GpsFix> back =
                Feed(parser, std::string(sentences.begin(), sentences.end()));
            ASSERT_EQ(back.size(), 1u);
            // Four decimals of minutes, read through a float (1.5e-5 steps beyond 128 degrees).
            EXPECT_NEAR(back[0].latitude, latitude, 1e-5);
            EXPECT_NEAR(back[0].longitude, longitude, 2e-5);
            EXPECT_EQ(back[0].course, 123);
            // 56 km/h are written as 30 whole knots, read as 55.56 km/h.
            EXPECT_EQ(back[0].speed, isKnots ? 55 : 56);
            EXPECT_EQ(back[0].satellites, hasSatellites ? 9 : GpsFix::kNotDelivered);
            EXPECT_FLOAT_EQ(back[0].hdop, 1.25f) << "a valid fix";
        }
    }
}

// A stream's first fix takes the UTC day that puts it nearest to now, each later one the day
// nearest to the fix before it: fixes just before and after UTC midnight keep their real
// distance in time whatever the local time zone, and a drive fed while the clock passes its
// time plus 12 hours keeps its date. A new start, or more than 12 hours without a fix, goes by
// the clock again. An empty time field (a receiver without a fix) delivers no time.
TEST(SentenceParser, DatesAStreamFromTheClockThenFromItsPreviousFix) {
    struct Step {
        std::uint64_t advanceMs; // the clock, before the sentence
        bool isLoaded;           // the definition loaded again, before the sentence
        std::string sentences;   // of one cycle
        std::uint32_t utcTime;
    };
    struct Row {
        std::string name;
        int offsetMinutes;   // local time zone
        std::uint64_t nowMs; // since 2000-01-01 00:00:00 UTC
        std::vector<Step> steps;
        std::string settings = kGgaOnly;
    };
    const auto gga = [](const char* hhmmss) {
        return NmeaWriter::Sentence(std::string("GPGGA,") + hhmmss);
    };
    // A handheld receiver's cycle (RMC, RMB, GGA, GSA, GSV, GLL and its own sentences) at the
    // second of the day; without a fix its RMC is "GPRMC,,V,..." and its GGA "GPGGA,,,,,,0,...".
    const auto handheld = [](int secondOfDay, bool hasFix) {
        testdata::NmeaFixValues values;
        values.hour = secondOfDay / 3600;
        values.minute = secondOfDay / 60 % 60;
        values.second = secondOfDay % 60;
        values.hasTime = hasFix;
        values.quality = hasFix ? 1 : 0;
        values.satellites = hasFix ? 7 : 0;
        return NmeaWriter().SetMix(testdata::NmeaMix::RmcRmbGga).AddCycle(values).Build();
    };
    constexpr std::uint32_t kMidnight = 946771200; // 2000-01-02 00:00:00 UTC
    constexpr std::uint64_t kDayMs = 86400000;
    constexpr std::uint64_t kHourMs = 3600000;
    std::vector<Row> rows;
    for (const int offset : {120, -300}) {
        for (const int processedAt : {-3000, 1, 3000}) { // ms around midnight
            rows.push_back(
                {"midnight " + std::to_string(offset) + " " + std::to_string(processedAt),
                 offset,
                 static_cast<std::uint64_t>(86400000LL + processedAt),
                 {{0, false, gga("235959.00"), kMidnight - 1},
                  {0, false, gga("000001"), kMidnight + 1}}});
        }
    }
    rows.push_back({"no such time of day", 0, kDayMs, {{0, false, gga("246000"), 0}}});
    // 12:06:14 and 12:06:15 fed at 00:06:14.5 the next day: nearest to now they would lie a day
    // apart, the second first.
    const std::uint64_t flipMs = kDayMs + (6 * 60 + 14) * 1000 + 500;
    const std::uint32_t fix = kMidnight + 12 * 3600 + 6 * 60 + 14;
    rows.push_back({"the clock at the flip",
                    0,
                    flipMs,
                    {{0, false, gga("120614"), fix}, {0, false, gga("120615"), fix + 1}}});
    rows.push_back({"a new start",
                    0,
                    flipMs,
                    {{0, false, gga("120614"), fix}, {0, true, gga("120615"), fix + 1 - 86400}}});
    // 23:30 is nearer to the fix before on its day, nearer to now the day before.
    rows.push_back({"11 hours without a fix",
                    0,
                    flipMs,
                    {{0, false, gga("120614"), fix},
                     {11 * kHourMs, false, gga("233000"), kMidnight + 84600}}});
    rows.push_back({"13 hours without a fix",
                    0,
                    flipMs,
                    {{0, false, gga("120614"), fix},
                     {13 * kHourMs, false, gga("010000"), kMidnight + 86400 + 3600}}});
    // The clock held: an empty time field is neither midnight nor a time that dates the next fix
    // (11:30 is nearer to 12:06:14 on its day, nearer to midnight the day after).
    rows.push_back({"an empty time between",
                    0,
                    flipMs,
                    {{0, false, gga("120614"), fix},
                     {0, false, gga(""), 0},
                     {0, false, gga("113000"), kMidnight + 41400}}});
    // Fixes at 17:00 fed at 00:06:14.5 the next day; the empty time read as midnight would lie
    // seven hours after them.
    const std::uint32_t evening = kMidnight - 7 * 3600;
    for (const auto& [sentence, settings] :
         {std::pair{"RMC", kRmcWithStatus}, std::pair{"GGA", kGgaOnly}}) {
        rows.push_back({std::string("a receiver without a fix, ") + sentence,
                        0,
                        flipMs,
                        {{0, false, handheld(17 * 3600, true), evening},
                         {0, false, handheld(17 * 3600 + 1, false), 0},
                         {0, false, handheld(17 * 3600 + 2, false), 0},
                         {0, false, handheld(17 * 3600 + 3, true), evening + 3}},
                        settings});
    }
    rows.push_back({"a receiver without a fix from the start",
                    0,
                    flipMs,
                    {{0, false, handheld(17 * 3600, false), 0},
                     {0, false, handheld(17 * 3600 + 1, true), evening + 1}}});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform::VirtualClock clock; // starts 2000-01-01 00:00:00 UTC
        platform::ScopedClock installed(clock);
        clock.SetLocalOffsetMinutes(row.offsetMinutes);
        clock.Advance(row.nowMs);
        SentenceParser parser;
        Load(parser, row.settings);
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            SCOPED_TRACE(i);
            clock.Advance(step.advanceMs);
            if (step.isLoaded) {
                Load(parser, row.settings);
            }
            const auto fixes = Feed(parser, step.sentences);
            ASSERT_EQ(fixes.size(), 1u);
            EXPECT_EQ(fixes[0].utcTime, step.utcTime);
        }
    }
}

// A simulated drive's fix batches equal what the parser reads from the drive's sentences.
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
    EXPECT_EQ(samples.front().elementId, 5);
    EXPECT_EQ(samples.back().elementId, 6);
    EXPECT_EQ(samples[11].truePosition.latitude, samples[12].truePosition.latitude) << "stop";
    EXPECT_GT(std::fabs(samples[25].reported.longitude - samples[25].truePosition.longitude),
              0.0019)
        << "200 m jump";

    SentenceParser parser;
    Load(parser, testdata::GpsSettingsWriter().AddProtocol(testdata::NmeaProtocol()).Build());
    platform::VirtualClock clock; // 2000-01-01 00:00:00 UTC: the drive crosses midnight
    platform::ScopedClock installed(clock);
    const std::vector<GpsFix> fixes = Feed(parser, testdata::DriveGenerator::ToNmea(samples, true));
    const auto batches = testdata::ToGpsFixBatches(samples, 946684800 - 86400);
    ASSERT_EQ(fixes.size(), batches.size());
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        SCOPED_TRACE(i);
        const GpsFix& expected = batches[i].front();
        EXPECT_NEAR(fixes[i].latitude, expected.latitude, 1e-5);
        EXPECT_NEAR(fixes[i].longitude, expected.longitude, 4e-5);
        EXPECT_NEAR(fixes[i].course, expected.course, 1.0);
        EXPECT_NEAR(fixes[i].speed, expected.speed, 1.0);
        EXPECT_EQ(fixes[i].satellites, expected.satellites);
        EXPECT_NEAR(fixes[i].hdop, expected.hdop, 1e-6);
        EXPECT_EQ(fixes[i].utcTime, expected.utcTime);
    }
}

} // namespace
