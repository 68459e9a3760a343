// The German scenario, resources/scenarios/german.txt, played headless by the navigator program
// on the demo install around the converted extract; its checks by step read the program's out
// folder (frames, texts said, sounds, route events, launches) and the files the install holds
// after the quit.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/golden.h"
#include "testdata/hostprogram.h"
#include "testdata/stylesheetwriter.h"
#if defined(NAV_HAS_XSESSION)
#include "testdata/xsession.h"
#endif
#include "tools/osmtests/installedextract.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_THREAD__)
constexpr bool kScenarioUnderThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kScenarioUnderThreadSanitizer = true;
#else
constexpr bool kScenarioUnderThreadSanitizer = false;
#endif
#else
constexpr bool kScenarioUnderThreadSanitizer = false;
#endif

struct ScenarioRecord {
    std::uint32_t link = 0;
    double x = 0.0;
    double y = 0.0;
    int metres = 0;
};

// One line of the out folder's "routes.txt".
struct ScenarioRoute {
    std::string step;
    unsigned status = 0;
    int length = 0;
    double endX = 0.0;
    double endY = 0.0;
    std::vector<ScenarioRecord> records;
};

std::vector<std::string> SplitScenarioText(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find(separator, at), text.size());
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

// The lines of a text, without their line ends; no last empty line.
std::vector<std::string> ScenarioLines(const std::string& text) {
    std::vector<std::string> lines = SplitScenarioText(text, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    for (std::string& line : lines) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
    }
    return lines;
}

std::vector<ScenarioRoute> ReadScenarioRoutes(const std::string& text) {
    std::vector<ScenarioRoute> routes;
    for (const std::string& line : ScenarioLines(text)) {
        const std::vector<std::string> fields = SplitScenarioText(line, '\t');
        if (fields.size() != 5)
            continue;
        ScenarioRoute route;
        route.step = fields[0];
        route.status = static_cast<unsigned>(std::stoul(fields[1]));
        route.length = std::stoi(fields[2]);
        (void)std::sscanf(fields[3].c_str(), "%lf,%lf", &route.endX, &route.endY);
        for (const std::string& item : SplitScenarioText(fields[4], ';')) {
            ScenarioRecord record;
            unsigned long link = 0;
            if (std::sscanf(item.c_str(), "%lu,%lf,%lf,%d", &link, &record.x, &record.y,
                            &record.metres) == 4) {
                record.link = static_cast<std::uint32_t>(link);
                route.records.push_back(record);
            }
        }
        routes.push_back(std::move(route));
    }
    return routes;
}

// Metres between two points in degrees (flat earth: a few kilometres).
double ScenarioMetres(double x1, double y1, double x2, double y2) {
    constexpr double kMetresPerDegree = 111195.0;
    const double dx = (x2 - x1) * std::cos((y1 + y2) / 2.0 * 3.14159265358979 / 180.0);
    return std::hypot(dx, y2 - y1) * kMetresPerDegree;
}

// Metres from a point to a polyline.
double ScenarioMetresToLine(double x, double y, const std::vector<GeoPoint>& line) {
    double best = 1e12;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const GeoPoint& a = line[i];
        const GeoPoint& b = i + 1 < line.size() ? line[i + 1] : line[i];
        const double abx = b.x - a.x;
        const double aby = b.y - a.y;
        const double square = abx * abx + aby * aby;
        double t = square > 0 ? ((x - a.x) * abx + (y - a.y) * aby) / square : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        best = std::min(best, ScenarioMetres(x, y, a.x + t * abx, a.y + t * aby));
    }
    return best;
}

// Where the place (degrees) lies in the map a frame's texts name: the share of the way across
// the map from its left to its right edge and down from its top to its bottom edge, from the
// places at three of its corners (the "map" line); nullopt when the frame shows no map.
std::optional<std::pair<double, double>> ScenarioPlaceInMap(const std::vector<std::string>& texts,
                                                            double x, double y) {
    for (const std::string& text : texts) {
        double left = 0, top = 0, rightX = 0, rightY = 0, bottomX = 0, bottomY = 0;
        if (std::sscanf(text.c_str(), "map %*d,%*d,%*d,%*d %lf,%lf %lf,%lf %lf,%lf", &left, &top,
                        &rightX, &rightY, &bottomX, &bottomY) != 6)
            continue;
        // (x, y) = top left + u * (top right - top left) + v * (bottom left - top left)
        const double ax = rightX - left;
        const double ay = rightY - top;
        const double bx = bottomX - left;
        const double by = bottomY - top;
        const double determinant = ax * by - ay * bx;
        if (determinant == 0.0)
            return std::nullopt;
        return std::pair{((x - left) * by - (y - top) * bx) / determinant,
                         (ax * (y - top) - ay * (x - left)) / determinant};
    }
    return std::nullopt;
}

// The positions of the GGA sentences of a replay file, in degrees.
std::vector<GeoPoint> ScenarioReplayFixes(const std::string& text) {
    std::vector<GeoPoint> fixes;
    for (const std::string& line : ScenarioLines(text)) {
        const std::vector<std::string> fields = SplitScenarioText(line, ',');
        if (fields.size() < 6 || fields[0] != "$GPGGA" || fields[2].empty() || fields[4].empty())
            continue;
        const double latitude = std::atof(fields[2].c_str());
        const double longitude = std::atof(fields[4].c_str());
        const double y = std::floor(latitude / 100.0) + std::fmod(latitude, 100.0) / 60.0;
        const double x = std::floor(longitude / 100.0) + std::fmod(longitude, 100.0) / 60.0;
        fixes.push_back(GeoPoint{static_cast<float>(fields[5] == "W" ? -x : x),
                                 static_cast<float>(fields[3] == "S" ? -y : y)});
    }
    return fixes;
}

// Metres along the fixes from the first to the one nearest (x, y).
double ScenarioMetresAlongFixes(const std::vector<GeoPoint>& fixes, double x, double y) {
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < fixes.size(); ++i) {
        if (ScenarioMetres(fixes[i].x, fixes[i].y, x, y) <
            ScenarioMetres(fixes[nearest].x, fixes[nearest].y, x, y))
            nearest = i;
    }
    double metres = 0.0;
    for (std::size_t i = 1; i <= nearest && i < fixes.size(); ++i)
        metres += ScenarioMetres(fixes[i - 1].x, fixes[i - 1].y, fixes[i].x, fixes[i].y);
    return metres;
}

std::uint32_t ScenarioLe32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::string ScenarioFile(const fs::path& file) {
    return testdata::ReadHostFile(file).value_or("");
}

// Metres from a point to the nearest element of the street named `street` in `city`.
double ScenarioMetresToStreet(RetrievalEngineImpl& engine, const std::u16string& city,
                              const std::u16string& street, double x, double y) {
    double nearest = 1e12;
    auto cities = engine.FindCities(city, 0);
    if (!cities || !cities->IsValid())
        return nearest;
    const auto area = static_cast<std::uint32_t>(cities->GetCurrent()->GetAreaId());
    for (auto streets = engine.FindInArea(area, street); streets && streets->IsValid();
         streets->Next()) {
        for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
            std::vector<GeoPoint> points;
            if (engine.GetElementPoints(id, points))
                nearest = std::min(nearest, ScenarioMetresToLine(x, y, points));
        }
    }
    return nearest;
}

class ExtractScenario : public InstalledExtract {
protected:
    static void SetUpTestSuite() {
        s_installProblem = ConvertAndInstall(s_route);
        if (!s_installProblem.empty())
            return;
        std::error_code error;
        fs::remove_all(Out(), error);
        s_exitCode = RunScenario(
            Installed("navigator"), s_root->HostPath() / "install",
            fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "german.txt", s_errors);
        s_routes = ReadScenarioRoutes(ScenarioFile(Out() / "routes.txt"));
    }

    // Runs the installed program on its root with the script; its error output into `errors`.
    static int RunScenario(const fs::path& program, const fs::path& root, const fs::path& script,
                           std::string& errors) {
        return RunProgram(
            {program.string(), root.string(), "--script", script.string(), "--out", Out().string()},
            "", errors);
    }

    // Runs the words as a command with one more environment entry (when not empty); its exit
    // code, -1 when it did not end normally.
    static int RunProgram(std::vector<std::string> words, const std::string& extra,
                          std::string& errors) {
        testdata::ProgramRun run = testdata::RunHostProgram(
            std::move(words),
            extra.empty() ? std::vector<std::string>{} : std::vector<std::string>{extra},
            s_root->HostPath() / "scenario.err");
        errors = std::move(run.errors);
        return run.exitCode;
    }

    static six::RefCntPtr<RetrievalEngineImpl> OpenInstalledMaps() {
        auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        EXPECT_TRUE(engine->Open(std::u16string(u"\\install") + demoinstall::kDataFolder +
                                 osm2nav::kLevelFile));
        return engine;
    }

    // The run's out folder: the build's, kept as the run's artefacts, while no other run of this
    // test holds it; else one of this run's own.
    static fs::path Out() {
        static const fs::path out = [] {
            const fs::path kept(NAV_SCENARIO_OUT);
            std::error_code error;
            fs::create_directories(kept.parent_path(), error);
            // Held to the end of the process.
            const int lock =
                ::open((kept.string() + ".lock").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            if (lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0)
                return kept;
            if (lock >= 0)
                ::close(lock);
            return s_root->HostPath() / "scenario-out";
        }();
        return out;
    }
    static fs::path Installed(const char* name) { return s_root->HostPath() / "install" / name; }

    // The routes the server reported in a step.
    static std::vector<ScenarioRoute> RoutesOf(const std::string& step) {
        std::vector<ScenarioRoute> routes;
        for (const ScenarioRoute& route : s_routes) {
            if (route.step == step)
                routes.push_back(route);
        }
        return routes;
    }

    static bool DrivesClosedStretch(const ScenarioRoute& route) {
        return std::any_of(route.records.begin(), route.records.end(), [](const auto& record) {
            return std::find(s_route.closed.begin(), s_route.closed.end(), record.link) !=
                   s_route.closed.end();
        });
    }

    void SetUp() override {
        ASSERT_EQ(s_installProblem, "");
        ASSERT_EQ(s_exitCode, 0) << s_errors;
    }

    static inline std::string s_installProblem;
    static inline demoinstall::DemoRoute s_route;
    static inline int s_exitCode = -1;
    static inline std::string s_errors;
    static inline std::vector<ScenarioRoute> s_routes;
};

// The route typed in: found (8), from the standing fix to Äulestrasse, which has no house
// numbers in the extract (the street alone is the destination).
TEST_F(ExtractScenario, RouteFromTheStandingFixToAeulestrasse) {
    const std::vector<ScenarioRoute> routes = RoutesOf("route");
    ASSERT_EQ(routes.size(), 1u);
    const ScenarioRoute& route = routes.front();
    EXPECT_EQ(route.status, 8u);
    ASSERT_FALSE(route.records.empty());
    EXPECT_LT(ScenarioMetres(route.records.front().x, route.records.front().y, s_route.start.x,
                             s_route.start.y),
              50.0);
    EXPECT_EQ(s_route.houseNumber, 0u);

    const auto engine = OpenInstalledMaps();
    EXPECT_LT(
        ScenarioMetresToStreet(*engine, u"Vaduz", u"\u00C4ulestrasse", route.endX, route.endY),
        25.0);
}

// After the arrival: the "Recent" list's first entry and a contact's home in Schaan, each routed
// from where the drive ended.
TEST_F(ExtractScenario, TheRecentListAndAContactAreRouted) {
    const std::vector<ScenarioRoute> recent = RoutesOf("recent");
    const std::vector<ScenarioRoute> contact = RoutesOf("contact");
    ASSERT_EQ(recent.size(), 1u);
    ASSERT_EQ(contact.size(), 1u);
    EXPECT_EQ(recent.front().status, 8u);
    EXPECT_EQ(contact.front().status, 8u);
    const auto engine = OpenInstalledMaps();
    EXPECT_LT(ScenarioMetresToStreet(*engine, u"Vaduz", u"\u00C4ulestrasse", recent.front().endX,
                                     recent.front().endY),
              25.0);
    EXPECT_LT(ScenarioMetresToStreet(*engine, u"Schaan", u"Landstrasse", contact.front().endX,
                                     contact.front().endY),
              25.0);
}

// Before the message the route runs along the closed stretch; the traffic event turns it away
// once, said once, and no route after it goes back onto the stretch.
TEST_F(ExtractScenario, TheClosureIsDrivenAroundOnce) {
    ASSERT_FALSE(s_route.closed.empty());
    const std::vector<ScenarioRoute> first = RoutesOf("route");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(DrivesClosedStretch(first.front()));
    const std::vector<ScenarioRoute> around = RoutesOf("traffic");
    ASSERT_EQ(around.size(), 1u);
    EXPECT_EQ(around.front().status, 8u);
    EXPECT_FALSE(around.front().records.empty());
    EXPECT_FALSE(DrivesClosedStretch(around.front()));
    // The drive on the new route goes on from where the car is: no route is planned again
    // until the arrival.
    EXPECT_EQ(RoutesOf("drive").size(), 0u);
    EXPECT_EQ(RoutesOf("arrival").size(), 0u);
    const std::vector<std::string> said = ScenarioLines(ScenarioFile(Out() / "said.txt"));
    EXPECT_EQ(std::count(said.begin(), said.end(), "[TrafficJamCollideWithRoute]"), 1);
}

// The map page got its arrival message once, while the drive to Äulestrasse ended; the routes
// after it are not driven. The map was drawn on while the car drove.
TEST_F(ExtractScenario, TheMapPageReportsOneArrival) {
    const std::vector<std::string> arrivals = ScenarioLines(ScenarioFile(Out() / "arrivals.txt"));
    EXPECT_EQ(arrivals, std::vector<std::string>{"arrival"});
    std::map<std::string, long long> frames;
    for (const std::string& line : ScenarioLines(ScenarioFile(Out() / "steps.txt"))) {
        const std::vector<std::string> fields = SplitScenarioText(line, '\t');
        ASSERT_EQ(fields.size(), 5u) << line;
        frames[fields[0]] = std::atoll(fields[3].c_str());
    }
    for (const char* step : {"drive", "traffic", "arrival"})
        EXPECT_GT(frames[step], 0) << step;
    EXPECT_EQ(frames["start"], 0);
}

// The drive ends with the arrival's phrase; the WAV holds the sounds played, one after another.
TEST_F(ExtractScenario, TheLastTextSaidIsTheArrivalAndTheWaveHoldsTheSounds) {
    const std::vector<std::string> said = ScenarioLines(ScenarioFile(Out() / "said.txt"));
    const auto warning = std::find(said.begin(), said.end(), "[TrafficJamCollideWithRoute]");
    ASSERT_NE(warning, said.end());
    // The drive's last text: the arrival's announcement ("@" cut off), after the announcement
    // of the destination ahead (the last manoeuvre's "Now" may come between); what follows
    // belongs to the routes after the arrival.
    const auto arrival = std::find(warning, said.end(), "[Now] [DestinationReached] ");
    ASSERT_NE(arrival, said.end());
    EXPECT_TRUE(std::any_of(warning, arrival, [](const std::string& text) {
        return text.find("[DestinationReached]") != std::string::npos ||
               text.find("[AndThenDestination]") != std::string::npos;
    }));

    const std::string wave = ScenarioFile(Out() / "sounds.wav");
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(ScenarioLe32(wave, 4), wave.size() - 8);
    EXPECT_EQ(wave.substr(36, 4), "data");
    EXPECT_EQ(ScenarioLe32(wave, 40), wave.size() - 44);
    const std::uint32_t blockAlign = ScenarioLe32(wave, 32) & 0xFFFF;
    ASSERT_GT(blockAlign, 0u);
    EXPECT_EQ((wave.size() - 44) % blockAlign, 0u);
}

// The logbook: an empty line, the titles, the start with the typed purpose and the stop in Vaduz,
// the municipality the trip ended in, whose total is the distance the replayed fixes cover: the
// first drive's file up to where the second begins, then the second up to where the car stood at
// the stop (the start of the route from the "Recent" list). The routes' lengths are an upper bound
// only: the first route begins at the unmatched standing fix, some 70 m before the replay's first
// fix, and the arrival comes some 100 m before the route's end.
TEST_F(ExtractScenario, TheLogbookHoldsTheTripWithTheDistanceDriven) {
    const std::vector<std::string> lines =
        ScenarioLines(ScenarioFile(Installed("Fahrtenbuch.txt")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1].rfind("Eintrag\t", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Start\tKundenbesuch\t", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3].rfind("Ende\t", 0), 0u) << lines[3];
    const std::vector<std::string> fields = SplitScenarioText(lines[3], '\t');
    ASSERT_EQ(fields.size(), 10u) << lines[3];
    EXPECT_EQ(fields[2], "Vaduz") << lines[3];
    std::string total = fields.back();
    std::replace(total.begin(), total.end(), ',', '.');
    const double loggedMetres = std::atof(total.c_str()) * 1000.0;

    const std::vector<ScenarioRoute> first = RoutesOf("route");
    const std::vector<ScenarioRoute> around = RoutesOf("traffic");
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(around.size(), 1u);
    ASSERT_FALSE(around.front().records.empty());
    // Where the new route begins along the first one: its start projected onto the line through
    // the points where the first route's records are entered.
    const ScenarioRecord& turn = around.front().records.front();
    const std::vector<ScenarioRecord>& records = first.front().records;
    double along = 0.0;
    double best = 1e12;
    double before = 0.0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const GeoPoint from{static_cast<float>(records[i].x), static_cast<float>(records[i].y)};
        const GeoPoint to = i + 1 < records.size()
                                ? GeoPoint{static_cast<float>(records[i + 1].x),
                                           static_cast<float>(records[i + 1].y)}
                                : GeoPoint{static_cast<float>(first.front().endX),
                                           static_cast<float>(first.front().endY)};
        const double off = ScenarioMetresToLine(turn.x, turn.y, {from, to});
        if (off < best) {
            best = off;
            const double chord = ScenarioMetres(from.x, from.y, to.x, to.y);
            const double part = ScenarioMetres(from.x, from.y, turn.x, turn.y);
            along = before + (chord > 0 ? std::min(part / chord, 1.0) * records[i].metres : 0.0);
        }
        before += records[i].metres;
    }
    ASSERT_LT(best, 1e12);
    EXPECT_LE(loggedMetres, along + around.front().length)
        << lines[3] << ": " << along << " m of the first route, then " << around.front().length
        << " m";

    const std::vector<GeoPoint> firstFixes =
        ScenarioReplayFixes(ScenarioFile(Installed("GPSDemoFile.txt")));
    const std::vector<GeoPoint> aroundFixes =
        ScenarioReplayFixes(ScenarioFile(Installed("GPSDemoFile2.txt")));
    const std::vector<ScenarioRoute> recent = RoutesOf("recent");
    ASSERT_FALSE(firstFixes.empty());
    ASSERT_FALSE(aroundFixes.empty());
    ASSERT_EQ(recent.size(), 1u);
    ASSERT_FALSE(recent.front().records.empty());
    const ScenarioRecord& stop = recent.front().records.front();
    const double covered =
        ScenarioMetresAlongFixes(firstFixes, aroundFixes.front().x, aroundFixes.front().y) +
        ScenarioMetresAlongFixes(aroundFixes, stop.x, stop.y);
    EXPECT_NEAR(loggedMetres, covered, covered * 0.02) << lines[3];
}

// At the quit: the "Recent" list holds the two destinations, the station's frequency is kept,
// the help viewer was started on the installed help page and then the logbook's converter, no
// message box came up, the program ended with 0 (SetUp). The run's out folder is its own: no
// other run can take the build's folder while this one holds it, or while another that plays
// there does (this run then plays into a folder of its own).
TEST_F(ExtractScenario, TheFilesAtTheQuit) {
    const int otherRun = ::open((std::string(NAV_SCENARIO_OUT) + ".lock").c_str(),
                                O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(otherRun, 0);
    EXPECT_NE(::flock(otherRun, LOCK_EX | LOCK_NB), 0) << "the build's out folder is not held";
    ::close(otherRun);
    const std::string settings = ScenarioFile(Installed("PK.ini"));
    const std::size_t recent = settings.find("[Recent]");
    ASSERT_NE(recent, std::string::npos) << settings;
    // The first route put the Äulestrasse record at key 0; taken again from the list it stays
    // one entry, below the contact's home routed last. Neither names an area: the municipality
    // that holds each is its place, and no part of a municipality holds either street.
    const std::string list = settings.substr(recent, settings.find("\r\n[", recent) - recent);
    EXPECT_EQ(list, "[Recent]\r\n0=2|9.50970|47.16669|Schaan|Landstrasse 5| | | | |\r\n"
                    "1=2|9.52160|47.13898|Vaduz|\xC4ulestrasse| | | | |\r\n");
    EXPECT_NE(settings.find("LastKnownTMCFreq=875\r\n"), std::string::npos) << settings;
    const std::vector<std::string> launches = ScenarioLines(ScenarioFile(Out() / "launches.txt"));
    ASSERT_EQ(launches.size(), 2u);
    const std::string help = "peghelp.exe\tfile:\\";
    ASSERT_EQ(launches.front().substr(0, help.size()), help) << launches.front();
    EXPECT_TRUE(fs::is_regular_file(Installed(launches.front().substr(help.size()).c_str())))
        << launches.front();
    EXPECT_NE(launches.back().find("R2U.exe\t"), std::string::npos) << launches.back();
    EXPECT_EQ(testdata::ReadHostFile(Out() / "messageboxes.txt"), std::optional<std::string>(""));
}

// Miles and the 12-hour clock chosen on the presettings' formats page are kept and seen on the
// guidance page: the distance in miles to one decimal, then the arrival time on the 12-hour
// clock; the map list shows the database's folder and name.
TEST_F(ExtractScenario, MilesAndTheTwelveHourClockOnTheGuidancePageAndTheMapList) {
    const std::string settings = ScenarioFile(Installed("PK.ini"));
    EXPECT_NE(settings.find("DistanceUnitKilometres=0\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("TimeFormat12h=1\r\n"), std::string::npos) << settings;
    const std::vector<ScenarioRoute> guidance = RoutesOf("guidance");
    // The mode's only: after the arrival the car stands at the destination.
    ASSERT_EQ(guidance.size(), 1u);
    EXPECT_EQ(guidance.front().status, 8u);
    const auto shows = [](const char* frame, const std::regex& pattern) {
        const std::vector<std::string> texts =
            ScenarioLines(ScenarioFile(Out() / (std::string(frame) + ".txt")));
        return std::any_of(texts.begin(), texts.end(), [&pattern](const std::string& text) {
            return std::regex_match(text, pattern);
        });
    };
    EXPECT_TRUE(shows("guidance-distance", std::regex(R"([0-9]+\.[0-9]mls)")));
    EXPECT_FALSE(shows("guidance-distance", std::regex(R"([0-9.]+k?m)")));
    EXPECT_TRUE(shows("guidance-arrival", std::regex(R"((1[0-2]|[1-9]):[0-5][0-9] (am|pm))")));
    const std::vector<std::string> maps = ScenarioLines(ScenarioFile(Out() / "map-list.txt"));
    EXPECT_NE(std::find(maps.begin(), maps.end(), "\\Data"), maps.end());
    EXPECT_NE(std::find(maps.begin(), maps.end(), "Liechtenstein"), maps.end());
}

// Saving the presettings restarts the receiver; the car stays at the arrival on Äulestrasse, so
// the guidance route begins there and both guidance frames follow the car along it: they name
// the street it begins on and one further on.
TEST_F(ExtractScenario, TheGuidanceAfterThePresettingsFollowsTheCarFromWhereItStood) {
    const std::vector<ScenarioRoute> guidance = RoutesOf("guidance");
    ASSERT_EQ(guidance.size(), 1u);
    const std::vector<ScenarioRecord>& records = guidance.front().records;
    ASSERT_FALSE(records.empty());
    const auto engine = OpenInstalledMaps();
    EXPECT_LT(ScenarioMetresToStreet(*engine, u"Vaduz", u"\u00C4ulestrasse", records.front().x,
                                     records.front().y),
              25.0);
    std::vector<std::string> streets; // the route's, each once, in order
    for (const ScenarioRecord& record : records) {
        std::vector<std::u16string> names;
        if (engine->GetPrimaryNames(record.link, names) && !names.empty() &&
            std::find(streets.begin(), streets.end(), platform::Utf16ToUtf8(names.front())) ==
                streets.end())
            streets.push_back(platform::Utf16ToUtf8(names.front()));
    }
    ASSERT_GE(streets.size(), 2u);
    for (const char* frame : {"guidance-distance", "guidance-arrival"}) {
        SCOPED_TRACE(frame);
        const std::vector<std::string> texts =
            ScenarioLines(ScenarioFile(Out() / (std::string(frame) + ".txt")));
        const auto shows = [&texts](const std::string& street) {
            return std::find(texts.begin(), texts.end(), street) != texts.end();
        };
        EXPECT_TRUE(shows(streets.front()));
        EXPECT_TRUE(std::any_of(streets.begin() + 1, streets.end(), shows));
    }
}

// The zoom scenario, resources/scenarios/zoom.txt, on an install of its own: every zoom step's
// frame on each map page shows roads in the map's area, and the frames of the pages that follow
// the car (taken once the follow suspension is over) the car's marker; 'R' shows the route, both
// its ends in the map's view. From 819 m a pixel on, the converted extract around the car spans
// no more pixels than the marker and the destination's flag beside it, which cover it where the
// drive has brought the car.
TEST_F(ExtractScenario, ZoomThroughTheWholeRangeOnEveryMapPage) {
    demoinstall::DemoRoute zoomRoute;
    const demoinstall::InstallOptions install = InstallOptionsFor("zoom-install");
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(install, zoomRoute, log), "") << log.str();
    const fs::path script = fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "zoom.txt";
    const fs::path out = s_root->HostPath() / "zoom-out";
    std::string errors;
    ASSERT_EQ(RunProgram({(install.output / "navigator").string(), install.output.string(),
                          "--script", script.string(), "--out", out.string()},
                         "", errors),
              0)
        << errors;

    const auto rgb = [](std::uint32_t colorref) {
        return (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
    };
    std::set<std::uint32_t> roadColours;
    for (const testdata::PenSpec& pen : testdata::DefaultStyleSheet(false).pens) {
        roadColours.insert(rgb(pen.colour));
        roadColours.insert(rgb(pen.innerColour));
    }
    const std::vector<ScenarioRoute> routes = ReadScenarioRoutes(ScenarioFile(out / "routes.txt"));
    ASSERT_EQ(routes.size(), 1u);
    ASSERT_FALSE(routes.front().records.empty());
    constexpr std::uint32_t kMarkerRed = 0xFF0000; // the following marker, COLORREF 0x0000FF
    constexpr std::uint32_t kRouteBlue = 0x0000FF; // "RouteColor" 0xFF0000
    std::size_t frames = 0;
    for (const std::string& line : ScenarioLines(ScenarioFile(script))) {
        if (line.rfind("frame ", 0) != 0)
            continue;
        const std::string name = line.substr(6);
        SCOPED_TRACE(name);
        ++frames;
        const std::string page = name.substr(0, name.find('-'));
        const bool isGuidance = page == "stand" || page == "drive";
        const bool isFollowing = page != "dest";
        // The map's area: "RealArea" of the guidance page, else of the map display pages.
        const RECT area = isGuidance ? RECT{0, 0, 240, 188} : RECT{0, 30, 240, 256};
        const testdata::PngPicture picture = testdata::ReadPngFile(out / (name + ".png"));
        ASSERT_EQ(picture.width, 240);
        ASSERT_EQ(picture.height, 320);
        int roads = 0;
        int marker = 0;
        int route = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                const std::uint32_t pixel = picture.At(x, y);
                roads += roadColours.contains(pixel) ? 1 : 0;
                marker += pixel == kMarkerRed ? 1 : 0;
                route += pixel == kRouteBlue ? 1 : 0;
            }
        }
        const std::size_t at = name.find("-out");
        const int outStep = at == std::string::npos ? 0 : std::stoi(name.substr(at + 4));
        if (!isFollowing || outStep < 13) {
            EXPECT_GT(roads, 0);
        }
        if (name.ends_with("-route")) {
            EXPECT_GT(route, 200);
            const std::vector<std::string> texts =
                ScenarioLines(ScenarioFile(out / (name + ".txt")));
            const ScenarioRoute& shown = routes.front();
            for (const auto& [x, y] : {std::pair{shown.records.front().x, shown.records.front().y},
                                       std::pair{shown.endX, shown.endY}}) {
                const std::optional<std::pair<double, double>> at = ScenarioPlaceInMap(texts, x, y);
                ASSERT_TRUE(at.has_value());
                EXPECT_TRUE(at->first >= 0.0 && at->first <= 1.0 && at->second >= 0.0 &&
                            at->second <= 1.0)
                    << x << "," << y << " lies at " << at->first << ", " << at->second;
            }
        } else if (isFollowing) {
            EXPECT_GT(marker, 100);
        }
    }
    EXPECT_GE(frames, 4u * 24u);
}

// Every frame of the script is written; the stable ones equal their goldens (NAV_UPDATE_GOLDEN=1
// writes them), the others are kept in the out folder.
TEST_F(ExtractScenario, EveryFrameIsWrittenAndTheStableOnesMatchTheirGoldens) {
    const std::string script =
        ScenarioFile(fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "german.txt");
    std::vector<std::string> frames;
    for (const std::string& line : ScenarioLines(script)) {
        if (line.rfind("frame ", 0) == 0)
            frames.push_back(line.substr(6));
    }
    ASSERT_GE(frames.size(), 10u);
    for (const std::string& frame : frames) {
        EXPECT_EQ(testdata::PngFileSize(Out() / (frame + ".png")), std::make_pair(240, 320))
            << frame;
    }
    // Goldens only where nothing another thread does shows: the map pages follow the replay.
    // The TMC dialog is taken once its list, filled from the receiver's thread, is whole; the
    // arrival shows the junction view's flag, which stays until the guidance is stopped.
    for (const char* stable : {"main-menu", "options", "tmc-dialog", "arrived", "presettings"}) {
        EXPECT_TRUE(testdata::PngFileMatchesGolden(Out() / (std::string(stable) + ".png"),
                                                   fs::path(NAV_SOURCE_DIR) / "app" / "scenario",
                                                   std::string("scenario_german_") + stable));
    }
    // The junction pictures far from the turn show its distance in white on their label (the
    // frame check measures it against the plate), the only white over the picture.
    const testdata::PngPicture ahead = testdata::ReadPngFile(Out() / "junction-ahead.png");
    ASSERT_EQ(ahead.width, 240);
    int white = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 40; x < 200; ++x)
            white += ahead.At(x, y) == 0xFFFFFFu ? 1 : 0;
    }
    EXPECT_GT(white, 40);
}

// The whole script in the SDL2 window on a virtual X display at 20 times real time: the stable
// frames are drawn as headless.
TEST_F(ExtractScenario, VisibleFramesEqualHeadlessOnes) {
    std::string xvfbRun;
    for (const char* folder : {"/usr/bin", "/usr/local/bin", "/bin"}) {
        if (xvfbRun.empty() && fs::exists(fs::path(folder) / "xvfb-run"))
            xvfbRun = (fs::path(folder) / "xvfb-run").string();
    }
    if (xvfbRun.empty())
        GTEST_SKIP() << "no xvfb-run";
    if (kScenarioUnderThreadSanitizer)
        GTEST_SKIP() << "the window's run is paced by real time; ThreadSanitizer checks the "
                        "headless one";
    const std::string script =
        ScenarioFile(fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "german.txt");
    const fs::path copy = s_root->HostPath() / "visible.txt";
    std::ofstream(copy, std::ios::binary) << script;
    const fs::path visible = s_root->HostPath() / "visible";
    // The window's run starts the help viewer the install names for the host, which fails at once
    // where the host has no browser, and Help then tells it in a message box the script does not
    // expect: a viewer that starts on every host keeps the run the same everywhere.
    std::ofstream(s_root->HostPath() / "install" / "Windows" / "launch.ini", std::ios::binary)
        << "[peghelp.exe]\r\nViewer=true\r\n";
    std::vector<std::string> words = {xvfbRun,
                                      "-a",
                                      Installed("navigator").string(),
                                      (s_root->HostPath() / "install").string(),
                                      "--script",
                                      copy.string(),
                                      "--out",
                                      visible.string(),
                                      "--screen=visible:1",
                                      "--speed",
                                      "20"};
    std::string errors;
    EXPECT_EQ(RunProgram(words, "ASAN_OPTIONS=detect_leaks=0", errors), 0) << errors;
    // The arrival's frame is left out: in real time the fix at which the arrival comes, and so
    // the distance shown, depends on the machine's load.
    for (const char* stable : {"main-menu", "options", "tmc-dialog", "presettings"}) {
        SCOPED_TRACE(stable);
        const std::string name = std::string(stable) + ".png";
        const std::string shown = ScenarioFile(visible / name);
        EXPECT_FALSE(shown.empty());
        const bool isEqual = shown == ScenarioFile(Out() / name);
        EXPECT_TRUE(isEqual) << "the window's frame is kept as visible-" << name;
        if (!isEqual)
            std::ofstream(Out() / ("visible-" + name), std::ios::binary) << shown;
    }
}

#if defined(NAV_HAS_XSESSION)
// The process id of the program running on root, found among this host's processes; -1 when none
// runs there.
int ScenarioProgramOn(const fs::path& program, const fs::path& root) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const std::vector<std::string> words =
            SplitScenarioText(ScenarioFile(entry.path() / "cmdline"), '\0');
        if (words.size() > 1 && words[0] == program.string() && words[1] == root.string())
            return std::stoi(name);
    }
    return -1;
}

// The program in its window over a real ssh session with X11 forwarding (-X), on an install of
// its own, guiding a logged trip, ended from outside: the ssh client killed, without a terminal
// and with one (-tt, as a user at a prompt has), or SIGHUP, SIGINT or SIGTERM sent to it, SIGTERM
// also while its logbook's file stalls and while the forwarding answers nothing. Each
// ends it as a quit does, within seconds: the trip's end written ("Ende"), the instance
// channel's socket removed, and the exit code of its kind (1 for a session or display lost,
// SIGHUP too; 130 and 143 for SIGINT and SIGTERM), though its error output went with the
// session.
TEST_F(ExtractScenario, EndsInOrderWhenItsSessionGoesOrASignalComes) {
    if (kScenarioUnderThreadSanitizer)
        GTEST_SKIP() << "the window's run is paced by real time; ThreadSanitizer checks the "
                        "headless one";
    const fs::path folder = s_root->HostPath() / "ends";
    fs::create_directories(folder / "home");
    demoinstall::DemoRoute route;
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(InstallOptionsFor("ends/install"), route, log), "") << log.str();
    const fs::path root = folder / "install";
    const fs::path script = folder / "trip.txt";
    // A logged trip on the guidance page, held there.
    std::ofstream(script, std::ios::binary)
        << "step notice\nwait page MsgBox\ntap 1\n"
           "step start\nwait page Screen\nwait fix\n"
           "step destination\ntap 420\nwait page NavigMainPage\ntap 100\ntext \"Vaduz\"\n"
           "key Enter\ntap 101\ntext \"\xC3\x84ulestrasse\"\nkey Enter\ntap 501\n"
           "wait page NavOptPage\n"
           "step route\ntap 501\nwait page CNMapPage 60000\n"
           "step logbook\ntap 1122\nwait text \"Zweck der Fahrt:\"\ntext \"Kundenbesuch\"\ntap 1\n"
           "wait page CNMapPage\n"
           "step hold\nwait text \"nie gezeigt\" 3600000\n";
    testdata::TestXServer server(folder);
    ASSERT_EQ(server.Failure(), "");
    const testdata::TestSshServer ssh(folder);
    ASSERT_EQ(ssh.Failure(), "");
    ASSERT_TRUE(server.AwaitAnswerAndHold(std::chrono::seconds(20)));
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    const fs::path program = Installed("navigator");
    const fs::path logbook = root / "Fahrtenbuch.txt";
    const fs::path status = folder / "status";
    const struct {
        const char* what;
        bool hasTerminal;
        int signal; // sent to the program; 0: the ssh client is killed
        int exitCode;
        // The logbook's file a pipe that is kept full for this long after the end is asked:
        // longer than the 10 s the program's loop has to end.
        std::chrono::seconds stall = std::chrono::seconds(0);
        // The ssh client stopped before the signal, as a suspended laptop or a dead link leaves
        // the forwarding: the display answers nothing from then on.
        bool isFrozen = false;
    } rows[] = {
        {"the ssh client killed", false, 0, 1},
        {"the ssh client killed, with a terminal", true, 0, 1},
        {"SIGHUP", false, SIGHUP, 1},
        {"SIGINT", false, SIGINT, 130},
        {"SIGTERM", false, SIGTERM, 143},
        {"SIGTERM, the logbook's file stalled", false, SIGTERM, 143, std::chrono::seconds(12)},
        {"SIGTERM, the forwarding frozen", false, SIGTERM, 143, {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::error_code error;
        fs::remove(logbook, error);
        fs::remove(status, error);
        // What the program wrote to the logbook: the file, or what was read of the pipe.
        std::string written;
        int pipeEnd = -1;
        if (row.stall.count() > 0) {
            ASSERT_EQ(::mkfifo(logbook.c_str(), 0600), 0);
            pipeEnd = ::open(logbook.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            ASSERT_GE(pipeEnd, 0);
        }
        const auto readLogbook = [&] {
            if (pipeEnd < 0) {
                written = ScenarioFile(logbook);
                return;
            }
            char buffer[4096];
            for (ssize_t count = 0; (count = ::read(pipeEnd, buffer, sizeof buffer)) > 0;)
                written.append(buffer, static_cast<std::size_t>(count));
        };
        // The session's shell keeps the program's exit code, staying through a hang-up itself (a
        // trap, which the program does not inherit).
        std::vector<std::string> words = ssh.ClientWords(
            "-X",
            {"sh", "-c", "trap : HUP; \"$@\"; echo $? > \"$0\"", status.string(), "env",
             "SDL_AUDIODRIVER=dummy", asan, program.string(), root.string(), "--screen=visible:1",
             "--script", script.string(), "--out", (folder / "out").string(), "--speed", "1"});
        if (row.hasTerminal)
            words.insert(words.begin() + 1, "-tt");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, (folder / "ssh.err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int client = testdata::StartHostProgram(
            words, {server.DisplayEntry(), "XAUTHORITY=" + server.AuthorityFile().string()},
            actions);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_GT(client, 0);
        // The trip is logged once the guidance page is up.
        const auto started = std::chrono::steady_clock::now();
        for (readLogbook(); written.find("Start\tKundenbesuch\t") == std::string::npos &&
                            std::chrono::steady_clock::now() - started < std::chrono::seconds(120);
             readLogbook())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int running = ScenarioProgramOn(program, root);
        EXPECT_GT(running, 0) << ScenarioFile(folder / "ssh.err");
        // A full pipe: the program's next write to its logbook waits until it is read.
        if (pipeEnd >= 0) {
            const std::string lines(4096, '\n');
            while (::write(pipeEnd, lines.data(), lines.size()) > 0) {
            }
        }
        if (row.isFrozen) {
            (void)::kill(client, SIGSTOP);
            // A frame or two drawn meanwhile leaves the window's thread waiting for a reply.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        const auto ended = std::chrono::steady_clock::now();
        if (row.signal == 0)
            (void)::kill(client, SIGKILL);
        else if (running > 0)
            (void)::kill(running, row.signal);
        std::this_thread::sleep_for(row.stall);
        for (readLogbook(); ScenarioFile(status).empty() &&
                            std::chrono::steady_clock::now() - ended < std::chrono::seconds(60);
             readLogbook())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        readLogbook();
        if (pipeEnd >= 0)
            ::close(pipeEnd);
        const auto took = std::chrono::steady_clock::now() - ended;
        if (row.isFrozen)
            (void)::kill(client, SIGCONT);
        int clientStatus = 0;
        if (row.signal != 0 && ScenarioFile(status).empty())
            (void)::kill(client, SIGKILL);
        (void)::waitpid(client, &clientStatus, 0);
        EXPECT_EQ(ScenarioFile(status), std::to_string(row.exitCode) + "\n");
        // A frozen display is given a few seconds to close the window.
        EXPECT_LT(took, row.stall + std::chrono::seconds(row.isFrozen ? 15 : 10));
        const std::vector<std::string> lines = ScenarioLines(written);
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NE(written.find("\nStart\tKundenbesuch\t"), std::string::npos) << written;
        EXPECT_EQ(lines.back().rfind("Ende\t", 0), 0u) << lines.back();
        for (const auto& entry : fs::directory_iterator(root))
            EXPECT_FALSE(entry.path().extension() == ".sock") << entry.path();
        if (running > 0) {
            ASSERT_EQ(ScenarioProgramOn(program, root), -1) << "the program still runs";
        }
    }
}
#endif

} // namespace
