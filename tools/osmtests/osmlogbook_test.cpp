// The trip logbook on the extract converted with three levels: the GPS demo drives from Vaduz to
// Schaan and back feed the logbook as the main window does (matched positions with a fix, on a
// street), a trip is started, checked and stopped on a fixed clock and date, and the file reads
// as a logbook: the header, the lines with the municipality and the street, one status line
// replaced in place, and a total within 2 % of the route's length.
#include "app/startup/logbook.h"
#include "app/startup/receiversupervisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/testfiles.h"
#include "tools/gpsdemosteps.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include "platform/kernel/time.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

class ExtractLogbook : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions three;
        three.levels = 3;
        ConvertOnce({{"logbook", three}});
    }
};

// The middle of the first segment of the municipality's first street of a drivable type.
std::optional<GeoPoint> DrivableStreetIn(RetrievalEngineImpl& engine, const std::u16string& city) {
    GeoPoint middle{};
    const auto found =
        extractplaces::FirstStreetElement(engine, city, [&](std::uint32_t id, std::int32_t) {
            const MapElementPtr element = engine.GetElement(id);
            std::vector<GeoPoint> line;
            if (!element || !element->GetPoints(line) || line.size() < 2 ||
                element->GetTypeCode() < maprecord::kSecondaryType ||
                element->GetTypeCode() > maprecord::kResidentialType) {
                return false;
            }
            middle = {(line[0].x + line[1].x) / 2.0f, (line[0].y + line[1].y) / 2.0f};
            return true;
        });
    return found ? std::optional<GeoPoint>(middle) : std::nullopt;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos;
         at = tab + 1, tab = line.find('\t', at)) {
        fields.push_back(line.substr(at, tab - at));
    }
    fields.push_back(line.substr(at));
    return fields;
}

// A drive between two municipalities, fed as the main window does, directly or through the
// receiver supervisor's distance hook (which takes the server's positions and keeps only matched
// fixes itself).
void DriveBetween(testdata::TempDeviceRoot& root, const std::string& fromTown,
                  const std::string& toTown, bool isThroughTheHook) {
    ASSERT_TRUE(root.WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\logbook") + osm2nav::kLevelFile));
    const std::optional<GeoPoint> from =
        DrivableStreetIn(*engine, std::u16string(fromTown.begin(), fromTown.end()));
    const std::optional<GeoPoint> to =
        DrivableStreetIn(*engine, std::u16string(toTown.begin(), toTown.end()));
    ASSERT_TRUE(from && to);

    gpsdemo::Options options;
    options.mapSet = std::u16string(u"\\logbook") + osm2nav::kLevelFile;
    options.network = std::u16string(u"\\logbook") + osm2nav::kNetworkFile;
    options.programFolder = u"\\Nav";
    options.from = *from;
    options.to = *to;
    options.out = "\\logbook\\GPSDemoFile.txt";
    std::string error;
    const gpsdemo::Outcome outcome = gpsdemo::Run(options, error);
    ASSERT_EQ(error, "");
    ASSERT_GE(outcome.positions.size(), 100u);
    ASSERT_GT(outcome.route.length, 0);

    // A fixed date and a tick that moves one second per position.
    platform::VirtualClock clock;
    ASSERT_TRUE(clock.SetTime(SYSTEMTIME{2026, 12, 2, 8, 9, 0, 0, 0}));
    clock.SetLocalOffsetMinutes(60);
    clock.SetTick(5000);
    const platform::ScopedClock installed(clock);
    platform::ScreenDriver driver(&clock);

    Logbook logbook(u"\\logbook\\Fahrtenbuch.txt");
    std::filesystem::remove(root.HostPathOf(logbook.GetFilePath()));
    std::unique_ptr<ReceiverSupervisor> supervisor;
    if (isThroughTheHook) {
        supervisor = std::make_unique<ReceiverSupervisor>(Onboard::OnboardServerPtr(),
                                                          CountedPtr<GpsTmcAdapter>(), false);
        supervisor->SetDistanceHook([&logbook](double longitude, double latitude) {
            (void)logbook.AccumulateDistance(longitude, latitude);
        });
    }
    const std::vector<MatchedPosition>& positions = outcome.positions;
    std::size_t first = 0;
    while (first < positions.size() && positions[first].street == MatchedPosition::kNoStreet) {
        ++first;
    }
    ASSERT_LT(first, positions.size());
    logbook.Reset();
    logbook.WriteEntry(&positions[first], engine.Get(), false, u"Kunde", Logbook::StartPrefix(),
                       false);
    logbook.SetRunning(true);
    const std::size_t checkpoint = positions.size() / 2;
    const MatchedPosition* last = &positions[first];
    for (std::size_t i = first; i < positions.size(); ++i) {
        const MatchedPosition& position = positions[i];
        clock.Advance(1000);
        if (supervisor) {
            // The server's position event on its worker; the hook runs on this thread.
            supervisor->OnServerPosition(&position);
            (void)driver.RunUntilIdle();
        }
        if (position.fix.hdop >= 0.0F && position.street != MatchedPosition::kNoStreet) {
            if (!supervisor) {
                (void)logbook.AccumulateDistance(position.matched.x, position.matched.y);
            }
            last = &position;
        }
        if (i % 20 == 10) {
            logbook.WriteStatusEntry(last, engine.Get()); // timer 1
        }
        if (i == checkpoint) {
            logbook.WriteEntry(last, engine.Get(), false, u"Pause", u"Halt", true);
            logbook.WriteStatusEntry(last, engine.Get());
        }
    }
    logbook.WriteEntry(last, engine.Get(), false, u"", u"Ende", true);
    logbook.SetRunning(false);

    const std::vector<std::string> lines =
        Lines(root.ReadFile(u"\\logbook\\Fahrtenbuch.txt").value_or(""));
    // Empty line, titles, start, checkpoint, stop: the status lines were replaced.
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(Fields(lines[1]).size(), 10u);
    const std::vector<std::string> start = Fields(lines[2]);
    const std::vector<std::string> check = Fields(lines[3]);
    const std::vector<std::string> stop = Fields(lines[4]);
    ASSERT_EQ(start.size(), 10u);
    ASSERT_EQ(check.size(), 10u);
    ASSERT_EQ(stop.size(), 10u);
    EXPECT_EQ(start[1], "Kunde");
    EXPECT_EQ(check[0], "Halt");
    EXPECT_EQ(check[1], "Pause");
    EXPECT_EQ(stop[0], "Ende");
    // Place and street of the matched element at start and stop: the place is the municipality.
    EXPECT_EQ(start[2], fromTown);
    EXPECT_EQ(stop[2], toTown);
    EXPECT_FALSE(start[3].empty());
    EXPECT_FALSE(stop[3].empty());
    EXPECT_EQ(start[4], "08.12.2026");
    EXPECT_EQ(start[5], "10:00:00");
    EXPECT_EQ(start[7], "00:00:00");
    // The stop's total: every second counted, the distance within 2 % of the route.
    const auto seconds = static_cast<std::uint32_t>(positions.size() - first);
    const std::u16string duration = Logbook::FormatDuration(seconds);
    EXPECT_EQ(stop[7], std::string(duration.begin(), duration.end()));
    std::string total = stop[9].substr(0, stop[9].find(' '));
    const std::size_t comma = total.find(',');
    ASSERT_NE(comma, std::string::npos) << lines[4];
    total[comma] = '.';
    const double kilometres = std::stod(total);
    EXPECT_NEAR(kilometres * 1000.0, outcome.route.length, outcome.route.length * 0.02)
        << "logbook " << kilometres << " km, route " << outcome.route.length << " m";
    // The checkpoint's leg and the stop's leg add up to the total.
    EXPECT_NEAR(logbook.GetTotalDistance(), kilometres * 1000.0, 50.0);
}

TEST_F(ExtractLogbook, DrivesBetweenVaduzAndSchaanReadAsALogbook) {
    const struct {
        const char* label;
        std::string from;
        std::string to;
        bool isThroughTheHook;
    } drives[] = {{"to Schaan, direct", "Vaduz", "Schaan", false},
                  {"to Vaduz, through the distance hook", "Schaan", "Vaduz", true}};
    for (const auto& drive : drives) {
        SCOPED_TRACE(drive.label);
        ASSERT_NO_FATAL_FAILURE(
            DriveBetween(*s_root, drive.from, drive.to, drive.isThroughTheHook));
    }
}

} // namespace
