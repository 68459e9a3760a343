#include "positioning/geodistance.h"
#include "positioning/nmeademowriter.h"
#include "positioning/sentenceparser.h"
#include "positioning/tests/gpsdecode.h"
#include "positioning/tests/gpstestsupport.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

RouteRecord Record(std::int32_t length, std::vector<GeoPoint> polyline) {
    RouteRecord record;
    record.length = length;
    record.polyline = std::move(polyline);
    return record;
}

RouteRequestResult Route(std::vector<RouteRecord> records) {
    RouteRequestResult result(8);
    result.route = std::make_shared<ScriptedRoute>(std::move(records));
    return result;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "every line ends in CR LF";
    return lines;
}

// The n-th comma-separated field of a sentence.
std::string Field(const std::string& line, std::size_t n) {
    std::stringstream in(line);
    std::string field;
    for (std::size_t i = 0; i <= n; ++i) {
        std::getline(in, field, ',');
    }
    return field;
}

double Haversine(double lon1, double lat1, double lon2, double lat2) {
    const double r = 0.017453292519943295;
    const double a =
        std::pow(std::sin((lat2 - lat1) * r / 2), 2) +
        std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
    return 2 * 6367444.0 * std::asin(std::sqrt(a));
}

TEST(SphericalDistance, AgreesWithAHaversineOnTheSameSphere) {
    const struct {
        double lon1, lat1, lon2, lat2, tolerance;
    } cases[] = {
        {0, 0, 0.0009, 0.0, 0.01}, // below the shortcut's 0.004 rad: still exact here
        {0, 0, 0.1, 0.2, 0.05},    // above it
        {9.52, 47.14, 9.53, 47.16, 0.05}, {-11.25, 48.5, 2.0, 41.0, 1.0}, {10, 0, 10, 0, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(SphericalDistance(c.lon1, c.lat1, c.lon2, c.lat2),
                    Haversine(c.lon1, c.lat1, c.lon2, c.lat2), c.tolerance)
            << c.lon2 << "," << c.lat2;
    }
    EXPECT_GE(SphericalDistance(1, 1, 1, 1), 0.0);
}

class DemoWriter : public ::testing::Test {
protected:
    // The lines written for the records; fails the test when Write does not give 0.
    std::vector<std::string> Written(std::vector<RouteRecord> records) {
        NmeaDemoWriter writer("\\demo.txt", Route(std::move(records)));
        EXPECT_EQ(writer.Write(), 0);
        return Lines(m_root.ReadFile(u"\\demo.txt").value_or(""));
    }
    testdata::TempDeviceRoot m_root;
};

TEST_F(DemoWriter, WritesTheFieldsOfTheEdgeCases) {
    // Interpolated at 10 m/s: 100.5 m (as the writer measures) gives ten steps.
    const float dx = static_cast<float>(100.5 / 6367444.0 / 0.017453292519944444);
    const std::vector<std::string> lines = Written({
        Record(5, {{0.0f, 0.0f}, {1.0f, -1.0f}, {1.0f, -1.1f}, {1.0f, -1.2f}}),
        Record(50, {{1.0f, -1.2f}, {-11.25f, 48.5f}, {-11.25f + dx, 48.5f}}),
    });
    ASSERT_EQ(lines.size(), 2u * (3 + 11 + 1));
    // The S = 5 record is not interpolated: its first point at 18 km/h, the later at 36 km/h.
    EXPECT_EQ(Field(lines[1], 7), "0018.0");
    EXPECT_EQ(Field(lines[3], 7), "0036.0");
    EXPECT_EQ(Field(lines[5], 7), "0036.0");
    EXPECT_EQ(lines[0].substr(0, 42), "$GPGGA,000001,100.000000,S,00100.0000,E,1,")
        << "below 10 degrees, no leading zero";
    EXPECT_TRUE(lines[6].starts_with("$GPGGA,000004,4830.000000,N,01115.0000,W,1,08,1.1,203.9,M"))
        << lines[6];
    EXPECT_EQ(lines[7].substr(0, 13), "$GPVTG,090.0,");
    const auto longitude = [&](std::size_t point) {
        const double value = std::stod(Field(lines[2 * point], 4));
        return -(std::floor(value / 100) + std::fmod(value, 100) / 60);
    };
    for (std::size_t i = 3; i < 13; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(SphericalDistance(0, 0, std::fabs(longitude(i + 1) - longitude(i)), 0), 10.05,
                    0.3); // the field holds 0.0001 minutes
        EXPECT_EQ(Field(lines[2 * i + 1], 5), "0019.5");
        EXPECT_EQ(Field(lines[2 * i + 1], 7), "0036.0");
    }
    for (const std::string& line : lines) {
        const std::size_t star = line.find('*');
        ASSERT_NE(star, std::string::npos);
        unsigned checksum = 0;
        for (std::size_t i = 1; i < star; ++i) {
            checksum ^= static_cast<unsigned char>(line[i]);
        }
        char expected[8];
        std::snprintf(expected, sizeof expected, "%X", checksum);
        EXPECT_EQ(line.substr(star + 1), expected) << line;
    }
}

TEST_F(DemoWriter, CountsTimeAsHoursMinutesSeconds) {
    std::vector<GeoPoint> points(3602, GeoPoint{9.5f, 47.1f});
    const std::vector<std::string> lines = Written({Record(5, points)});
    ASSERT_EQ(lines.size(), 2u * 3601);
    const struct {
        std::size_t point;
        const char* time;
    } cases[] = {{0, "000001"},    {58, "000059"},   {59, "000100"},
                 {3598, "005959"}, {3599, "010000"}, {3600, "010001"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Field(lines[2 * c.point], 1), c.time);
    }
}

TEST_F(DemoWriter, FailsWithoutRouteOrPointsOrFile) {
    const struct {
        const char* name;
        RouteRequestResult route;
    } cases[] = {
        {"no route", RouteRequestResult(1)},
        {"no points", Route({Record(50, {{9.5f, 47.1f}})})},
        {"", Route({Record(50, {{9.5f, 47.1f}, {9.6f, 47.1f}})})},
        {"\\missing\\folder\\demo.txt", Route({Record(50, {{9.5f, 47.1f}, {9.6f, 47.1f}})})},
    };
    for (const auto& c : cases) {
        const std::string name = c.name[0] == '\\' || c.name[0] == 0 ? c.name : "\\x.txt";
        NmeaDemoWriter writer(name, c.route);
        EXPECT_EQ(writer.Write(), 1) << c.name;
    }
}

// gpsdecode reads the same positions (and the speed, when it reports one) as our parser.
TEST_F(DemoWriter, DecodesAsGpsdecodeDecodesIt) {
    if (std::system("command -v gpsdecode > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "gpsdecode is not installed";
    }
    // Southern and western, then interpolated (the record of 5 m/s runs to the next record).
    const std::vector<std::string> lines =
        Written({Record(5, {{-0.5f, -33.2f}, {-0.5f, -33.2f}, {-0.501f, -33.2f}}),
                 Record(50, {{9.5f, 47.1f}, {9.5f, 47.1f}, {9.503f, 47.102f}})});
    ASSERT_FALSE(lines.empty());
    const std::vector<Decoded> reference = RunGpsdecode(m_root.HostPathOf(u"\\demo.txt"), false);

    IniProfile::PreloadText(u"\\compare\\deziv.ini", ShippedSettings());
    SentenceParser parser;
    parser.Load(u"\\compare\\deziv.ini", u"NMEA");
    const std::string bytes = m_root.ReadFile(u"\\demo.txt").value_or("");
    std::vector<GpsFix> fixes;
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
        if (parser.IsCycleComplete()) {
            fixes.emplace_back();
            parser.FillFix(fixes.back());
            parser.ResetCycle();
        }
    }
    ASSERT_EQ(fixes.size() * 2, lines.size());
    for (const GpsFix& fix : fixes) {
        EXPECT_TRUE(fix.speed == 18 || fix.speed == 36) << fix.speed;
    }
    // gpsdecode reports a cycle once it has seen where cycles begin: all but the first.
    ASSERT_GE(reference.size() + 1, fixes.size());
    const std::size_t offset = fixes.size() - std::min(fixes.size(), reference.size());
    for (std::size_t i = 0; i < reference.size() && i + offset < fixes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(fixes[i + offset].latitude, reference[i].latitude, 1e-5);
        EXPECT_NEAR(fixes[i + offset].longitude, reference[i].longitude, 1e-5);
        if (!std::isnan(reference[i].speed)) {
            EXPECT_NEAR(fixes[i + offset].speed, reference[i].speed * 3.6, 1.2);
        }
    }
}

} // namespace
