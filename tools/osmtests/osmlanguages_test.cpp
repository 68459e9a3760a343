// The navigator program on the demo install in the five languages besides German: a copy of the
// install with "Properties"/"Language" set runs that language's scenario script (start, an
// address routed, its first advice, quit); the main menu matches its golden, and the first advice
// is said and sounded from that language's voice archive. The English and the French scripts
// drive on and press 'A' 200 m to 300 m before the roundabout that ends the route: the answer
// names it, said and sounded from the language's archive. The script of every page, button and
// key, resources/scenarios/pages.txt, is played in German and in French. A drive on a copy
// whose advisor files are damaged says what they allow and names the damage. Whole drives are
// framed every second (suite ExtractDrives); street destinations without a house number are
// driven with a logbook trip and told in their town (suite ExtractStreetDestinations). The explorer
// (navigator --explore) plays a fixed list of seeds in each language (suite ExtractExplore).
#include "testdata/golden.h"
#include "testdata/hostprogram.h"
#include "tools/osmtests/installedextract.h"

#include "platform/sfs/sfsformat.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The sanitizer builds play shorter: every test program runs several times slower there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

// The text of the first advice of the scenario's route.
constexpr char kFirstAdvice[] = "[FollowRoad] [ForKilometres]";
// The answer to 'A' pressed 200 m to 300 m before the roundabout that ends the route.
constexpr char kRoundaboutRequest[] =
    "[In] [Metres200] [EnterRoundabout] [TakeExit] [2 geschlossen]";

// Runs the installed navigator on root with the script; the out folder gets the results.
testdata::ProgramRun RunInstalledNavigator(const fs::path& root, const fs::path& script,
                                           const fs::path& out) {
    return testdata::RunHostProgram({(root / "navigator").string(), root.string(), "--script",
                                     script.string(), "--out", out.string()},
                                    {}, fs::path(root).concat(".err"));
}

std::span<const BYTE> LanguageBytes(const std::string& bytes) {
    return {reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()};
}

// The sample data of the text's keys ("[A] [B 1]": "A.wav", then "B 1.wav") in the voice archive.
std::optional<std::vector<BYTE>> ArchiveSamples(const fs::path& archive, const std::string& text) {
    const std::optional<std::string> bytes = testdata::ReadHostFile(archive);
    std::vector<platform::SfsMember> members;
    if (!bytes ||
        platform::ParseSfsArchive(LanguageBytes(*bytes), members) != platform::SfsFormatError::None)
        return std::nullopt;
    std::vector<BYTE> samples;
    for (std::size_t open = text.find('['); open != std::string::npos;
         open = text.find('[', open + 1)) {
        const std::size_t close = text.find(']', open);
        if (close == std::string::npos)
            return std::nullopt;
        const std::string name = text.substr(open + 1, close - open - 1) + ".wav";
        const auto member = std::find_if(members.begin(), members.end(), [&](const auto& m) {
            return m.name == std::u16string(name.begin(), name.end());
        });
        if (member == members.end())
            return std::nullopt;
        const std::optional<platform::WaveImage> wave =
            platform::ParseWaveImage(LanguageBytes(*bytes).subspan(member->offset, member->size));
        if (!wave)
            return std::nullopt;
        samples.insert(samples.end(), wave->data.begin(), wave->data.end());
    }
    return samples;
}

// The lines of a text file, without line ends.
std::vector<std::string> LanguageFileLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::istringstream text(testdata::ReadHostFile(file).value_or(""));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::vector<BYTE>& all, const std::vector<BYTE>& part) {
    return !part.empty() && all.size() >= part.size() &&
           std::equal(part.begin(), part.end(), all.begin());
}

class ExtractLanguages : public InstalledExtract {
protected:
    static void SetUpTestSuite() {
        demoinstall::DemoRoute route;
        ASSERT_EQ(ConvertAndInstall(route), "");
    }

    // A copy of the install named `name` with "Properties"/"Language" set to `language`.
    static fs::path CopyInstall(const std::string& name, int language) {
        const fs::path root = s_root->HostPath() / name;
        fs::copy(s_root->HostPath() / "install", root, fs::copy_options::recursive);
        const fs::path settings = root / "RarUderad.ini";
        std::string text = testdata::ReadHostFile(settings).value_or("");
        const std::size_t at = text.find("Language=0");
        EXPECT_NE(at, std::string::npos) << text;
        if (at != std::string::npos)
            text.replace(at, 10, "Language=" + std::to_string(language));
        std::ofstream(settings, std::ios::binary | std::ios::trunc) << text;
        return root;
    }
};

TEST_F(ExtractLanguages, EachLanguageRoutesAndSaysItsFirstAdviceFromItsVoiceArchive) {
    struct Case {
        const char* name; // of the script, the voice archive and the golden
        int language;     // "Properties"/"Language"
        bool asks;        // the script drives on to the roundabout and presses 'A' before it
    };
    const Case cases[] = {{"english", 1, true},
                          {"french", 3, true},
                          {"spanish", 4, false},
                          {"italian", 5, false},
                          {"dutch", 6, false}};
    const fs::path install = s_root->HostPath() / "install";
    const std::optional<std::vector<BYTE>> german =
        ArchiveSamples(install / "sound" / "german_waves.sfs", kFirstAdvice);
    ASSERT_TRUE(german);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = CopyInstall(c.name, c.language);
        const fs::path out = s_root->HostPath() / (std::string(c.name) + "-out");

        const testdata::ProgramRun run = RunInstalledNavigator(
            root,
            fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / (std::string(c.name) + ".txt"),
            out);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_TRUE(testdata::PngFileMatchesGolden(out / "main-menu.png",
                                                   fs::path(NAV_SOURCE_DIR) / "app" / "scenario",
                                                   std::string("scenario_mainmenu_") + c.name));
        const std::string said = testdata::ReadHostFile(out / "said.txt").value_or("");
        EXPECT_EQ(said.substr(0, said.find('\n')), kFirstAdvice);

        const std::optional<std::vector<BYTE>> own =
            ArchiveSamples(install / "sound" / (std::string(c.name) + "_waves.sfs"), kFirstAdvice);
        ASSERT_TRUE(own);
        ASSERT_NE(*own, *german);
        const std::optional<std::string> wav = testdata::ReadHostFile(out / "sounds.wav");
        ASSERT_TRUE(wav);
        const std::optional<platform::WaveImage> sounds =
            platform::ParseWaveImage(LanguageBytes(*wav));
        ASSERT_TRUE(sounds);
        const std::vector<BYTE> recorded(sounds->data.begin(), sounds->data.end());
        EXPECT_TRUE(StartsWith(recorded, *own))
            << recorded.size() << " bytes recorded, " << own->size() << " of the advice";
        if (!c.asks)
            continue;
        const std::vector<std::string> lines = LanguageFileLines(out / "said.txt");
        EXPECT_NE(std::find(lines.begin(), lines.end(), kRoundaboutRequest), lines.end()) << said;
        const std::optional<std::vector<BYTE>> request = ArchiveSamples(
            install / "sound" / (std::string(c.name) + "_waves.sfs"), kRoundaboutRequest);
        ASSERT_TRUE(request);
        EXPECT_NE(std::search(recorded.begin(), recorded.end(), request->begin(), request->end()),
                  recorded.end())
            << "the answer's " << request->size() << " bytes not among the sounds";
    }
}

// Every page and dialog the main menu reaches, each of their buttons and each key README.md lists:
// the script runs to its quit in German and in French (the longest texts of the six), so every
// frame passed the runner's repaint check, and each frame is written; the pages speak the
// language chosen, and the language's quit key ends the program as the quit button does (the
// logbook the script used is handed to its converter). What the repaint check cannot see, since
// the page beneath paints the same again: the map pages show their own pixels between the
// caption and the map and around the map, whatever page lies beneath them, and the recent list
// opened after a stopped guidance covers the screen from its top as it does from the
// destination page, under the destination page's caption.
TEST_F(ExtractLanguages, EveryPageButtonAndKeyIsPlayedInGermanAndFrench) {
    struct Case {
        const char* name;
        int language;
        const char* quit;    // the main menu's last button
        const char* quitKey; // its key, in place of the script's Ctrl+B
    };
    const fs::path script = fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "pages.txt";
    const std::vector<std::string> lines = LanguageFileLines(script);
    std::vector<std::string> frames;
    for (const std::string& line : lines) {
        if (line.rfind("frame ", 0) == 0)
            frames.push_back(line.substr(6));
    }
    ASSERT_GE(frames.size(), 100u);
    // The keys README.md lists for the program and its guidance map page.
    for (const char* key : {"Tab", "Enter", "Esc", "Up", "Down", "Left", "Right", "F1", "Ctrl+D",
                            "Ctrl+B", "L", "T", "S", "P", "A", "R", "Plus", "Minus"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("key ") + key), lines.end())
            << key;
    }
    for (const Case& c : {Case{"pages-german", 0, "Beenden", "Ctrl+B"},
                          Case{"pages-french", 3, "Quitter", "Ctrl+Q"}}) {
        SCOPED_TRACE(c.name);
        const fs::path root = CopyInstall(c.name, c.language);
        const fs::path out = s_root->HostPath() / (std::string(c.name) + "-out");
        const fs::path played = s_root->HostPath() / (std::string(c.name) + ".txt");
        std::ofstream copy(played, std::ios::binary);
        for (const std::string& line : lines)
            copy << (line == "key Ctrl+B" ? std::string("key ") + c.quitKey : line) << '\n';
        copy.close();
        const testdata::ProgramRun run = RunInstalledNavigator(root, played, out);
        if (run.exitCode != 0) {
            ADD_FAILURE() << "exit code " << run.exitCode << ": " << run.errors;
            continue;
        }
        for (const std::string& frame : frames) {
            EXPECT_EQ(testdata::PngFileSize(out / (frame + ".png")), std::make_pair(240, 320))
                << frame;
        }
        const std::vector<std::string> menu = LanguageFileLines(out / "menu.txt");
        EXPECT_NE(std::find(menu.begin(), menu.end(), c.quit), menu.end());
        EXPECT_EQ(testdata::ReadHostFile(out / "messageboxes.txt"), std::optional<std::string>(""));
        const std::vector<std::string> launches = LanguageFileLines(out / "launches.txt");
        EXPECT_TRUE(!launches.empty() && launches.back().find("R2U.exe\t") != std::string::npos);

        // Screen rows and columns of the 240 x 294 pages: from below the caption to the map,
        // whose frame (one pixel) lies at (0, 28) - (240, 235).
        const auto differs = [&out](const char* frame, const char* other,
                                    const std::vector<POINT>& points) {
            const testdata::PngPicture a =
                testdata::ReadPngFile(out / (std::string(frame) + ".png"));
            const testdata::PngPicture b =
                testdata::ReadPngFile(out / (std::string(other) + ".png"));
            return std::count_if(points.begin(), points.end(), [&a, &b](const POINT& p) {
                return a.At(p.x, p.y) != b.At(p.x, p.y);
            });
        };
        std::vector<POINT> around;
        for (int y = 24; y < 235; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (y < 29 || y == 234 || x == 0 || x == 239)
                    around.push_back(POINT{x, y});
            }
        }
        // Beneath the moving map lies the main menu, beneath the others the input pages.
        EXPECT_EQ(differs("movingmap", "destination-map", around), 0);
        EXPECT_EQ(differs("tour-input-map", "destination-map", around), 0);
        std::vector<POINT> caption; // the caption, below it the title label down to the list
        std::vector<POINT> title;
        for (int y = 0; y < 46; ++y) {
            for (int x = 0; x < 240; ++x)
                (y < 24 ? caption : title).push_back(POINT{x, y});
        }
        // The list's caption is that of the destination page, the list's title its label.
        EXPECT_EQ(differs("recent-destination", "destination", caption), 0);
        EXPECT_EQ(differs("recent", "recent-destination", caption), 0);
        EXPECT_EQ(differs("recent", "recent-destination", title), 0);
    }
}

// Whole drives with a frame, and so the runner's repaint check, at every second from the start
// to the arrival: the demo route in Vaduz and a longer one to Balzers whose road ahead is blocked
// a minute in and driven on around the block, in heading-up and in north-up, with the value box
// of 'N' left open over the map or not; the demo route again with the RDS file's closure received
// 30 s in, framed every fifth second. A route to Triesen's Landstrasse runs on Vaduz's own
// Landstrasse first, and a tour of three stops is started from its route list and driven through
// its stops; both are framed every minute. The sanitizer builds frame ten times less often.
// Every drive reports its arrivals (a tour's stop and its destination) and says the last as the
// destination reached.
struct FramedDrive {
    const char* name;
    int language;
    const char* city;
    const char* street;
    bool isNorthUp;
    bool isBoxOpen;
    int blockAt;       // seconds into the drive the road ahead is blocked; 0: never
    int seconds;       // framed, past the arrival (of a tour's last leg)
    int closureAt = 0; // seconds into the drive the RDS file's closure is received; 0: never
    int every = 1;     // seconds between frames (ten times as many under the sanitizers)
    // A tour of the city's street, Triesen's Landstrasse and the contact Anna Beck's home in
    // Schaan: the route list's first leg started, guided to its second stop, then on to its last.
    bool isTour = false;
};

// The tour's second stop, and what a stop reached that is not the last is told with.
constexpr char kTourStopCity[] = "Triesen";
constexpr char kTourStopStreet[] = "Landstrasse";
constexpr char kStopReached[] = "[StopReached]";
constexpr char kArrivalSaid[] = "[Now] [DestinationReached] ";

void PrintTo(const FramedDrive& drive, std::ostream* stream) {
    *stream << drive.name;
}

// The script: the destination typed and routed, north-up chosen on the map's side bar (opened, its
// compass tapped; the bar stays open), the drive, the block and the drive on, the box of 'N'
// opened and left.
std::string FramedDriveScript(const FramedDrive& drive, int every) {
    std::ostringstream script;
    script << "step start\nwait page MsgBox\ntap 1\nwait page Screen\nwait fix\n";
    if (drive.isTour) {
        // The stops typed, and the contact taken, each into the tour list; the tour calculated
        // and its first leg started from the route list.
        script << "step destination\ntap 430\n";
        for (const auto& [city, street] :
             {std::pair{drive.city, drive.street}, std::pair{kTourStopCity, kTourStopStreet}}) {
            script << "wait page TourMainPage\ntap 100\ntext \"" << city
                   << "\"\nkey Enter\ntap 101\ntext \"" << street
                   << "\"\nkey Enter\ntap 473\nwait page TourList\ntap 472\n";
        }
        script << "wait page TourMainPage\ntap 1110\nwait page ExtContactDlg\ntap 210\ntap 1047\n"
               << "wait page TourMainPage\ntap 473\nwait page TourList\ntap 581\n"
               << "wait page RouteOptPage\ntap 562\nwait page RouteCalcPage 60000\ntap 1108\n"
               << "wait page RouteList\ntap 501\nwait page CNMapPage 60000\nclock 2000\n"
               << "step drive\ndrive\nwait said \"" << kStopReached << "\" 2400000\nclock 2000\n"
               << "frame stop\nstep next\n";
    } else {
        script << "step destination\ntap 420\nwait page NavigMainPage\ntap 100\ntext \""
               << drive.city << "\"\nkey Enter\ntap 101\ntext \"" << drive.street
               << "\"\nkey Enter\ntap 501\n"
               << "wait page NavOptPage\ntap 501\nwait page CNMapPage 60000\nclock 2000\n";
    }
    if (drive.isNorthUp)
        script << "tap 890\ntap 894\n";
    script << (drive.isTour ? "drive\n" : "step drive\ndrive\n");
    for (int second = 1; second <= drive.seconds; ++second) {
        if (second == drive.blockAt + 1 && drive.blockAt > 0)
            script
                << "tap 1121\nwait page StreetBlockDlg\ntap 1\nwait page CNMapPage 60000\ndrive\n";
        if (second == (drive.blockAt > 0 ? drive.blockAt + 1 : 1) && drive.isBoxOpen)
            script << "key N\n";
        if (second == drive.closureAt + 1 && drive.closureAt > 0)
            script << "openfile \"\\TmcClosure.txt\"\nkey T\nwait tmc 30000\n";
        script << "clock 1000\n";
        if (second % every == 0)
            script << "frame d" << second << '\n';
    }
    script << "wait said \"" << kArrivalSaid << "\" 120000\n";
    return script.str();
}

// The fields of a line whose fields a tab separates.
std::vector<std::string> TabFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');)
        fields.push_back(cell);
    return fields;
}

// The end of a line of the out folder's "routes.txt" ("step<TAB>status<TAB>length<TAB>end<TAB>
// records"), with its step.
std::pair<std::string, std::string> RouteEventEnd(const std::string& line) {
    const std::vector<std::string> fields = TabFields(line);
    return fields.size() < 4 ? std::pair<std::string, std::string>{}
                             : std::pair{fields[0], fields[3]};
}

// The places at the top left, top right and bottom left corners of each map a frame shows (the
// "map" lines of its texts), in degrees.
struct MapCorners {
    double left = 0;
    double top = 0;
    double rightX = 0;
    double rightY = 0;
    double bottomX = 0;
    double bottomY = 0;
};

std::vector<MapCorners> FrameMapCorners(const fs::path& texts) {
    std::vector<MapCorners> maps;
    for (const std::string& line : LanguageFileLines(texts)) {
        MapCorners c;
        if (std::sscanf(line.c_str(), "map %*d,%*d,%*d,%*d %lf,%lf %lf,%lf %lf,%lf", &c.left,
                        &c.top, &c.rightX, &c.rightY, &c.bottomX, &c.bottomY) == 6)
            maps.push_back(c);
    }
    return maps;
}

// North-up: the map's top edge runs east along a parallel, its left edge south along a meridian
// (to a metre or so).
bool IsNorthUp(const MapCorners& c) {
    constexpr double kTolerance = 1e-5;
    return std::fabs(c.rightY - c.top) < kTolerance && std::fabs(c.bottomX - c.left) < kTolerance &&
           c.rightX > c.left && c.bottomY < c.top;
}

class ExtractDrives : public ExtractLanguages, public ::testing::WithParamInterface<FramedDrive> {};

TEST_P(ExtractDrives, EverySecondOfTheDriveIsDrawnAsAWholeRepaintDrawsIt) {
    const FramedDrive& drive = GetParam();
    const int every = kUnderAddressSanitizer ? 10 * drive.every : drive.every;
    const fs::path root = CopyInstall(drive.name, drive.language);
    const fs::path script = s_root->HostPath() / (std::string(drive.name) + ".txt");
    std::ofstream(script, std::ios::binary) << FramedDriveScript(drive, every);
    const fs::path out = s_root->HostPath() / (std::string(drive.name) + "-out");
    const testdata::ProgramRun run = RunInstalledNavigator(root, script, out);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    const int last = drive.seconds - drive.seconds % every; // the last second framed
    EXPECT_EQ(testdata::PngFileSize(out / ("d" + std::to_string(last) + ".png")),
              std::make_pair(240, 320));

    // The map of every frame is north-up in a north-up drive; heading-up, it turns with the road
    // in most of them (where ten frames or more tell).
    int maps = 0;
    int northUp = 0;
    std::string firstTurned; // the first frame whose map is not north-up
    for (int second = every; second <= drive.seconds; second += every) {
        const std::string frame = "d" + std::to_string(second);
        for (const MapCorners& map : FrameMapCorners(out / (frame + ".txt"))) {
            ++maps;
            if (IsNorthUp(map))
                ++northUp;
            else if (firstTurned.empty())
                firstTurned = frame;
        }
    }
    EXPECT_GE(maps, drive.seconds / every);
    if (drive.isNorthUp) {
        EXPECT_EQ(northUp, maps) << "the first turned map: " << firstTurned;
    } else if (maps >= 10) {
        EXPECT_LT(2 * northUp, maps) << northUp << " of " << maps << " maps north-up";
    }

    // Each stop reached is reported and told, the next leg planned and guided on to the
    // destination, which is reached last.
    const std::vector<std::string> arrivals = drive.isTour
                                                  ? std::vector<std::string>{"drive", "next"}
                                                  : std::vector<std::string>{"drive"};
    EXPECT_EQ(LanguageFileLines(out / "arrivals.txt"), arrivals);
    const std::vector<std::string> said = LanguageFileLines(out / "said.txt");
    ASSERT_FALSE(said.empty());
    EXPECT_EQ(said.back(), kArrivalSaid);
    const auto stop = std::find(said.begin(), said.end(), kStopReached);
    EXPECT_EQ(std::count(said.begin(), said.end(), kStopReached), drive.isTour ? 1 : 0);
    if (!drive.isTour)
        return;
    ASSERT_NE(stop, said.end());
    EXPECT_EQ(std::count(said.begin(), stop, kArrivalSaid), 0);
    EXPECT_GE(said.end() - stop, 3) << "the last leg's advice between the stop and the arrival";
    // The tour's legs are calculated in step "destination": the first to the second stop, the
    // second to the last; guidance begins with the first, and the stop reached (step "drive")
    // plans the route to the last, which is then driven (step "next").
    std::vector<std::pair<std::string, std::string>> ends;
    for (const std::string& line : LanguageFileLines(out / "routes.txt"))
        ends.push_back(RouteEventEnd(line));
    ASSERT_EQ(ends.size() >= 4 ? ends[0].first : std::string(), "destination");
    const std::string& second = ends[0].second;
    const std::string& destination = ends[1].second;
    EXPECT_NE(second, destination);
    EXPECT_EQ(ends[2], std::pair(std::string("destination"), second));
    EXPECT_EQ(ends[3], std::pair(std::string("drive"), destination));
    for (std::size_t i = 3; i < ends.size(); ++i)
        EXPECT_EQ(ends[i].second, destination) << ends[i].first;
}

INSTANTIATE_TEST_SUITE_P(
    , ExtractDrives,
    ::testing::Values(
        FramedDrive{"vaduz_heading_up", 0, "Vaduz", "\u00C4ulestrasse", false, false, 0, 880},
        FramedDrive{"vaduz_north_up_box", 0, "Vaduz", "\u00C4ulestrasse", true, true, 0, 880},
        FramedDrive{"balzers_heading_up_box", 5, "Balzers", "F\u00FCrstenstrasse", false, true, 60,
                    1950},
        FramedDrive{"balzers_north_up", 1, "Balzers", "F\u00FCrstenstrasse", true, false, 60, 1950},
        // The car meets the closure's arrow and sign: it lies over them in every paint.
        FramedDrive{"vaduz_closure", 0, "Vaduz", "\u00C4ulestrasse", false, false, 0, 880, 30, 5},
        // Vaduz's own Landstrasse is on the way: the destination is Triesen's.
        FramedDrive{"triesen_landstrasse", 0, "Triesen", "Landstrasse", false, false, 0, 1300, 0,
                    60},
        FramedDrive{"triesen_landstrasse_dutch", 6, "Triesen", "Landstrasse", false, false, 0, 1300,
                    0, 60},
        FramedDrive{"tour", 0, "Vaduz", "\u00C4ulestrasse", false, false, 0, 900, 0, 60, true},
        FramedDrive{"tour_english", 1, "Vaduz", "\u00C4ulestrasse", false, false, 0, 900, 0, 60,
                    true}),
    [](const ::testing::TestParamInfo<FramedDrive>& info) { return info.param.name; });

// Street destinations without a house number, typed and driven in English with a logbook trip
// running from the standing fix in Schaan: every drive ends with the arrival told, and the
// trip stopped at that moment names the town the street was chosen in. A street's name may go
// on into the next town (Landstrasse from Schaan through Vaduz and Triesen into Balzers): the
// street chosen is its part in that town. Each instance drives a few streets of some towns.
struct StreetDestination {
    const char* town;
    const char* street;
};

struct TownDrives {
    const char* name;
    std::vector<StreetDestination> destinations;
};

void PrintTo(const TownDrives& drives, std::ostream* stream) {
    *stream << drives.name;
}

std::string StreetDestinationScript(const StreetDestination& d) {
    std::ostringstream script;
    script << "wait page MsgBox\ntap 1\nwait page Screen\nwait fix\nclock 1000\n"
           << "step destination\ntap 420\nwait page NavigMainPage\ntap 100\ntext \"" << d.town
           << "\"\nkey End\nkey Enter\ntap 101\ntext \"" << d.street
           << "\"\nkey End\nkey Enter\ntap 501\nwait page NavOptPage\ntap 501\n"
           << "wait page CNMapPage 60000\nclock 2000\n"
           << "step logbook\ntap 1122\nwait text \"Purpose of the trip:\"\ntext \"Visit\"\ntap 1\n"
           << "wait page CNMapPage\n"
           << "step drive\ndrive\nwait said \"" << kArrivalSaid << "\" 2400000\n"
           << "step stop\ntap 1122\nwait page ValueDlg1\ntap 1124\nwait page CNMapPage\n";
    return script.str();
}

class ExtractStreetDestinations : public ExtractLanguages,
                                  public ::testing::WithParamInterface<TownDrives> {};

TEST_P(ExtractStreetDestinations, AreToldOnArrivalInTheirTown) {
    const fs::path root = CopyInstall(GetParam().name, 1);
    // The sanitizer builds drive the first two of each.
    const std::vector<StreetDestination>& all = GetParam().destinations;
    const std::size_t count =
        kUnderAddressSanitizer ? std::min<std::size_t>(2, all.size()) : all.size();
    for (const StreetDestination& d : std::span(all).first(count)) {
        const std::string name = std::string(d.town) + ", " + d.street;
        SCOPED_TRACE(name);
        const fs::path script = s_root->HostPath() / "street-destination.txt";
        std::ofstream(script, std::ios::binary | std::ios::trunc) << StreetDestinationScript(d);
        const fs::path out = s_root->HostPath() / (std::string(GetParam().name) + "-out");
        fs::remove_all(out);
        const fs::path logbook = root / "Fahrtenbuch.txt";
        fs::remove(logbook);
        const testdata::ProgramRun run = RunInstalledNavigator(root, script, out);
        EXPECT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(LanguageFileLines(out / "arrivals.txt"), std::vector<std::string>{"drive"});
        // A stop's place is the third field of its logbook line.
        std::string place = "<no stop>";
        for (const std::string& line : LanguageFileLines(logbook)) {
            if (const std::vector<std::string> fields = TabFields(line);
                !fields.empty() && fields[0] == "Stop")
                place = fields.size() > 2 ? fields[2] : "<no place>";
        }
        EXPECT_EQ(place, d.town);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , ExtractStreetDestinations,
    ::testing::Values(
        // Landstrasse runs from Schaan into Vaduz, and again from Vaduz through Triesen into
        // Balzers; Vaduz's Meierhofstrasse goes on into Triesen.
        TownDrives{"landstrasse",
                   {{"Triesen", "Landstrasse"},
                    {"Vaduz", "Landstrasse"},
                    {"Balzers", "Landstrasse"},
                    {"Vaduz", "Meierhofstrasse"}}},
        // Gatterbach ends a few metres past a turn, where the drive's last fixes report speeds
        // unlike their moves before the car stands; at Donatsweg's end the car's segment goes
        // on past the route's.
        TownDrives{"south",
                   {{"Balzers", "Gatterbach"},
                    {"Balzers", "Donatsweg"},
                    {"Triesen", "Dr\u00f6schistrasse"},
                    {"Triesenberg", "Gafleistrasse"}}},
        // The destinations on a point of their element's shape: the route ended there twice.
        TownDrives{"middle",
                   {{"Schaan", "In der Fina"},
                    {"Schaan", "Torkelgass"},
                    {"Planken", "Dorfstrasse"},
                    {"Vaduz", "Im Rietle"}}},
        TownDrives{"north",
                   {{"Schellenberg", "Noflerstrasse"},
                    {"Ruggell", "Ruggeller Strasse"},
                    {"Gamprin", "Frauhofer"},
                    {"Eschen", "Benderer Strasse"},
                    {"Mauren", "Fallsgass"}}}),
    [](const ::testing::TestParamInfo<TownDrives>& info) { return info.param.name; });

// The demo drive on a copy whose advisor files are damaged. With the decision tables cut short,
// in the middle of a row (half their size) or at a line end (half their lines, every row whole),
// German: the route is found and driven, message 1404 names the file once, and nothing at all
// is said. With a driving side that is no side word (English): Germany's, whose roads the map's
// are as the advisor counts them (they carry no country code), keeps the roundabout's
// announcements untold and everything else said, the stretch before it too, and message 1407
// tells the line as the file holds it; Liechtenstein's, whose roads the map has none of, keeps
// nothing untold and is not told.
TEST_F(ExtractLanguages, ADriveWithADamagedAdvisorFileSaysWhatItCanAndNamesTheDamage) {
    enum class Said { Whole, WithoutTheRoundabout, Nothing };
    const auto cutInHalf = [](const std::string& whole) {
        return whole.substr(0, whole.size() / 2);
    };
    const auto cutAtALineEnd = [](const std::string& whole) {
        const auto lines = static_cast<std::size_t>(std::count(whole.begin(), whole.end(), '\n'));
        std::size_t cut = 0;
        for (std::size_t i = 0; i < lines / 2; ++i) {
            cut = whole.find('\n', cut) + 1;
        }
        EXPECT_EQ(whole.substr(cut - 2, 2), "\r\n");
        return whole.substr(0, cut);
    };
    const auto withLine = [](const char* line) {
        return [line](const std::string& whole) { return whole + line; };
    };
    const struct {
        const char* name;
        int language;
        const char* file; // below the data's "ConfigFiles"; null: none changed
        std::function<std::string(const std::string&)> change;
        const char* told; // the start of the one message box; null: none
        Said said;
    } cases[] = {
        {"whole-files", 1, nullptr, nullptr, nullptr, Said::Whole},
        {"cut-decisions", 0, "DecisionTables.csv", cutInHalf,
         "Keine Sprachansagen: Die Datei \\Data\\Liechtenstein\\ConfigFiles\\DecisionTables.csv",
         Said::Nothing},
        {"cut-decision-rows", 0, "DecisionTables.csv", cutAtALineEnd,
         "Keine Sprachansagen: Die Datei \\Data\\Liechtenstein\\ConfigFiles\\DecisionTables.csv",
         Said::Nothing},
        {"germany-side", 1, "General.properties", withLine("Germany.Drivingside;Left \r\n"),
         "Roundabouts and U-turns in Germany are not announced: the line "
         "\"Germany.Drivingside;Left \" of the file "
         "\\Data\\Liechtenstein\\ConfigFiles\\General.properties gives no driving side",
         Said::WithoutTheRoundabout},
        {"liechtenstein-side", 1, "General.properties",
         withLine("Liechtenstein.Drivingside;Left \r\n"), nullptr, Said::Whole},
    };
    std::vector<std::string> whole; // said with the whole files, the first case
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = CopyInstall(c.name, c.language);
        if (c.file != nullptr) {
            const fs::path file = root / "Data" / "Liechtenstein" / "ConfigFiles" / c.file;
            const std::string text = testdata::ReadHostFile(file).value_or("");
            ASSERT_FALSE(text.empty());
            std::ofstream(file, std::ios::binary | std::ios::trunc) << c.change(text);
        }
        // Driven to the arrival, or where nothing is said, to the destination street and on.
        const std::string arrival =
            c.said == Said::Nothing ? "wait text \"Äulestrasse\" 900000\nclock 60000\n"
                                    : "wait said \"" + std::string(kArrivalSaid) + "\" 900000\n";
        const fs::path script = s_root->HostPath() / (std::string(c.name) + ".txt");
        std::ofstream(script, std::ios::binary) << "wait page MsgBox\ntap 1\nwait page Screen\n"
                                                   "clock 3000\nstep route\ntap 420\n"
                                                   "wait page NavigMainPage\ntap 100\n"
                                                   "text \"Vaduz\"\nkey End\nkey Enter\n"
                                                   "text \"Äulestrasse\"\nkey End\nkey Enter\n"
                                                   "tap 501\nwait page NavOptPage\nmessagebox ok\n"
                                                   "tap 501\nwait page CNMapPage 60000\n"
                                                   "step drive\ndrive\n"
                                                << arrival
                                                << "step quit\ntap 583\n"
                                                   "wait page StopNavigDlg\ntap 470\n"
                                                   "wait page Screen\ntap 460\n";
        const fs::path out = s_root->HostPath() / (std::string(c.name) + "-out");
        const testdata::ProgramRun run = RunInstalledNavigator(root, script, out);
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        const std::vector<std::string> boxes = LanguageFileLines(out / "messageboxes.txt");
        if (c.told == nullptr) {
            EXPECT_EQ(boxes, std::vector<std::string>{});
        } else {
            EXPECT_EQ(boxes.size(), 1u);
            const std::string told = boxes.empty() ? std::string() : boxes[0];
            EXPECT_NE(told.find(c.told), std::string::npos) << told;
        }
        const std::vector<std::string> said = LanguageFileLines(out / "said.txt");
        switch (c.said) {
        case Said::Whole:
            if (whole.empty()) {
                whole = said;
                EXPECT_EQ(std::count(said.begin(), said.end(), kFirstAdvice), 2);
                EXPECT_EQ(said.empty() ? std::string() : said.back(), kArrivalSaid);
            }
            EXPECT_EQ(said, whole);
            break;
        case Said::WithoutTheRoundabout: {
            std::vector<std::string> expected;
            std::copy_if(whole.begin(), whole.end(), std::back_inserter(expected),
                         [](const std::string& line) {
                             return line.find("Roundabout") == std::string::npos &&
                                    line.find("TakeExit") == std::string::npos;
                         });
            EXPECT_LT(expected.size(), whole.size());
            EXPECT_EQ(said, expected);
            break;
        }
        case Said::Nothing:
            EXPECT_EQ(said, std::vector<std::string>{});
            break;
        }
    }
}

// Steps a seed plays; fewer under the sanitizers, where the program runs several times slower.
constexpr int kExploredSteps = kUnderAddressSanitizer ? 80 : 250;

// The explorer's runs, each on a fresh copy of the install (a run changes the settings and the
// lists it keeps, and a seed plays the same steps on the same install only, as far as the program's
// threads allow).
class ExtractExplore : public ExtractLanguages {
protected:
    struct Explored {
        testdata::ProgramRun run;
        std::string script; // the steps it played, as it wrote them
    };

    static Explored Explore(const std::string& name, int language, std::uint64_t seed) {
        const fs::path root = CopyInstall(name, language);
        const fs::path out = s_root->HostPath() / (name + "-out");
        Explored explored;
        explored.run = testdata::RunHostProgram(
            {(root / "navigator").string(), root.string(), "--explore", std::to_string(seed),
             "--steps", std::to_string(kExploredSteps), "--out", out.string()},
            {}, fs::path(root).concat(".err"));
        explored.script =
            testdata::ReadHostFile(out / ("explore-" + std::to_string(seed) + ".txt")).value_or("");
        std::error_code error;
        fs::remove_all(root, error);
        return explored;
    }

    static std::string Played(std::uint64_t seed) {
        return "navigator: explored " + std::to_string(kExploredSteps) + " steps from seed " +
               std::to_string(seed) + ": passed";
    }
};

// Fixed seeds in each language play every step with each frame and screen check passing: the
// odd ones from the guidance page of the demo route, where they drive, the even ones from the
// start. Under the sanitizers one seed in German.
struct ExploredSeeds {
    const char* name;
    int language;
    std::vector<std::uint64_t> seeds;
};

void PrintTo(const ExploredSeeds& seeds, std::ostream* out) {
    *out << seeds.name;
}

class ExtractExploreSeeds : public ExtractExplore,
                            public ::testing::WithParamInterface<ExploredSeeds> {};

TEST_P(ExtractExploreSeeds, PlayEveryStep) {
    const ExploredSeeds& c = GetParam();
    if (kUnderAddressSanitizer && c.language != 0)
        GTEST_SKIP() << "under the sanitizers one seed in German";
    for (const std::uint64_t seed : c.seeds) {
        SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(seed));
        const Explored explored = Explore(
            std::string("explore-") + c.name + "-" + std::to_string(seed), c.language, seed);
        EXPECT_EQ(explored.run.exitCode, 0) << explored.run.errors;
        EXPECT_NE(explored.run.errors.find(Played(seed)), std::string::npos) << explored.run.errors;
        if (kUnderAddressSanitizer)
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(, ExtractExploreSeeds,
                         ::testing::Values(ExploredSeeds{"german", 0, {1, 4, 17}},
                                           ExploredSeeds{"english", 1, {25, 6, 14}},
                                           ExploredSeeds{"french", 3, {17, 8, 16}},
                                           ExploredSeeds{"spanish", 4, {1, 22, 24}},
                                           ExploredSeeds{"italian", 5, {25, 32, 34}},
                                           ExploredSeeds{"dutch", 6, {17, 36, 38}}),
                         [](const ::testing::TestParamInfo<ExploredSeeds>& info) {
                             return info.param.name;
                         });

// Scripts of seeds that found a fault (resources/scenarios/explored/, the fault named in each),
// replayed on a fresh install of their language: every frame and check passes. Where a named step
// is given, at most so many waits of the stepped clock in it ran out (steps.txt: the fifth field).
// Where replays are given, the script is played so many times at once, each on a fresh install,
// and every run leaves what the first left: its frames' texts, said.txt, routes.txt and steps.txt
// but for its real-time field.
struct FoundScript {
    const char* name;
    int language;
    const char* step = nullptr;
    int mostRunOutWaits = 0;
    int replays = 1;
};

// What a run left that does not depend on real time: the frames' texts, said.txt, routes.txt and
// steps.txt without each line's second field, each file named before its lines.
std::string FoundRunResults(const fs::path& out) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::string results;
    for (const fs::path& file : files) {
        results += "== " + file.filename().string() + "\n";
        for (std::string line : LanguageFileLines(file)) {
            if (file.filename() == "steps.txt") {
                const std::size_t first = line.find('\t');
                const std::size_t second =
                    first == std::string::npos ? first : line.find('\t', first + 1);
                if (second != std::string::npos)
                    line.erase(first, second - first);
            }
            results += line + "\n";
        }
    }
    return results;
}

void PrintTo(const FoundScript& script, std::ostream* out) {
    *out << script.name;
}

class ExtractExploreFound : public ExtractExplore,
                            public ::testing::WithParamInterface<FoundScript> {};

TEST_P(ExtractExploreFound, ScriptReplays) {
    const FoundScript& c = GetParam();
    const fs::path root = CopyInstall(std::string("found-") + c.name, c.language);
    const fs::path script = fs::path(NAV_SOURCE_DIR) / "resources" / "scenarios" / "explored" /
                            (std::string(c.name) + ".txt");
    const fs::path out = s_root->HostPath() / (std::string(c.name) + "-out");
    std::vector<fs::path> againRoots;
    std::vector<std::thread> again;
    std::vector<testdata::ProgramRun> againRuns(static_cast<std::size_t>(c.replays - 1));
    for (std::size_t k = 0; k < againRuns.size(); ++k) {
        const std::string name = std::string(c.name) + "-again-" + std::to_string(k + 1);
        againRoots.push_back(CopyInstall("found-" + name, c.language));
        again.emplace_back([&, k, name] {
            againRuns[k] =
                RunInstalledNavigator(againRoots[k], script, s_root->HostPath() / (name + "-out"));
        });
    }
    const testdata::ProgramRun run = RunInstalledNavigator(root, script, out);
    for (std::thread& replay : again)
        replay.join();
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (std::size_t k = 0; k < againRuns.size(); ++k) {
        SCOPED_TRACE("replay " + std::to_string(k + 1));
        EXPECT_EQ(againRuns[k].exitCode, 0) << againRuns[k].errors;
        EXPECT_EQ(FoundRunResults(s_root->HostPath() / (std::string(c.name) + "-again-" +
                                                        std::to_string(k + 1) + "-out")),
                  FoundRunResults(out));
    }
    if (c.step == nullptr)
        return;
    int runOutWaits = -1;
    for (const std::string& line : LanguageFileLines(out / "steps.txt")) {
        std::istringstream fields(line);
        std::string name;
        long long wallMs = 0;
        long long virtualMs = 0;
        long long frames = 0;
        if (fields >> name >> wallMs >> virtualMs >> frames && name == c.step)
            fields >> runOutWaits;
    }
    EXPECT_GE(runOutWaits, 0) << "step " << c.step;
    EXPECT_LE(runOutWaits, c.mostRunOutWaits) << "step " << c.step;
}

INSTANTIATE_TEST_SUITE_P(
    , ExtractExploreFound,
    ::testing::Values(
        FoundScript{"french-1093251061", 3}, FoundScript{"spanish-2828231466", 4},
        FoundScript{"dutch-4162891489", 6}, FoundScript{"spanish-1738261556", 4},
        FoundScript{"english-6029", 1}, FoundScript{"german-5032", 0},
        FoundScript{"spanish-3158554376", 4}, FoundScript{"german-rds-groups-as-gps-replay", 0},
        FoundScript{"italian-1000913857", 5}, FoundScript{"french-1720914804", 3},
        FoundScript{"french-3067577243", 3, "serial", 0}, FoundScript{"dutch-2417673040", 6},
        FoundScript{"german-unpaced-replay", 0, "unpaced", 0}, FoundScript{"french-1632929123", 3},
        FoundScript{"german-street-block", 0, nullptr, 0, 3}),
    [](const ::testing::TestParamInfo<FoundScript>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// The script a seed wrote replays its steps as a scenario on a fresh install, its frames passing
// the same checks (and written), and the seed played again writes the same script. (A seed played
// again chooses the same steps only where the program's other threads bring the same to the screen
// at each step: a control that a receiver's message shows a moment later offers one step more.
// This seed's do not depend on them.)
TEST_F(ExtractExplore, ASeedsScriptReplays) {
    constexpr std::uint64_t kSeed = 1;
    const Explored first = Explore("again-1", 0, kSeed);
    ASSERT_EQ(first.run.exitCode, 0) << first.run.errors;
    // This seed's steps do not wait on the program's threads: played again, it repeats them.
    const Explored second = Explore("again-2", 0, kSeed);
    EXPECT_EQ(second.run.exitCode, 0) << second.run.errors;
    EXPECT_EQ(second.script, first.script);
    const fs::path script = s_root->HostPath() / "again.txt";
    std::ofstream(script, std::ios::binary) << first.script;
    const fs::path root = CopyInstall("replay", 0);
    const fs::path out = s_root->HostPath() / "replay-out";
    const testdata::ProgramRun replay = RunInstalledNavigator(root, script, out);
    EXPECT_EQ(replay.exitCode, 0) << replay.errors;
    const std::string last = "e" + std::to_string(kExploredSteps);
    EXPECT_EQ(testdata::PngFileSize(out / (last + ".png")), std::make_pair(240, 320));
}

} // namespace
