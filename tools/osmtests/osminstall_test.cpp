// The demo install around the converted extract: the device root holds the program's files, the
// receiver scenario's standing fix lies at the route's start, the RDS file's closure of the TMC
// line turns the server's route away from the stretch 60 s after it arrives, and an install that
// cannot be made leaves the old one as it was.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "testdata/destinationwriter.h"
#include "testdata/matchedpositionbuilder.h"
#include "tools/install/demoinstall.h"
#include "tools/osmtests/convertedextract.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdatabase.h"
#include "utilities/usefulcode/datalocation.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/time.h"
#include "platform/receiver/replayfiles.h"
#include "platform/receiver/scenario.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ExtractInstall : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"extract", options}});
    }

    // Options that lay an install at `name` (nothing there yet).
    static demoinstall::InstallOptions InstallAt(const std::string& name) {
        demoinstall::InstallOptions options;
        options.data = s_root->HostPath() / "extract";
        options.programFiles = NAV_LANGUAGES_DIR;
        options.demoData = NAV_DEMO_DATA;
        options.source = NAV_SOURCE_DIR;
        options.navigator = s_root->HostPath() / "stand-in" / "navigator";
        options.output = s_root->HostPath() / name;
        EXPECT_TRUE(s_root->WriteFile(u"\\stand-in\\navigator", "#!/bin/sh\n"));
        return options;
    }

    // An old install (its program, settings file and database folder) with one more file in
    // it, and options that lay the new one over it.
    static demoinstall::InstallOptions OverOldInstall(const std::string& name) {
        const demoinstall::InstallOptions options = InstallAt(name);
        const std::u16string folder = u"\\" + platform::Utf8ToUtf16(name);
        EXPECT_TRUE(s_root->WriteFile(folder + u"\\navigator", "#!/bin/sh\n"));
        EXPECT_TRUE(s_root->WriteFile(folder + u"\\PK.ini", "[Zudav]\r\nSimulation=1\r\n"));
        EXPECT_TRUE(s_root->MakeFolder(folder + demoinstall::kDataFolder));
        EXPECT_TRUE(s_root->WriteFile(folder + u"\\old.txt", "old"));
        return options;
    }
};

// The files below a folder (or the file itself) with their bytes.
std::map<std::string, std::string> InstallFilesAt(const fs::path& path) {
    std::map<std::string, std::string> files;
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        files[""] = testdata::ReadHostFile(path).value_or("(unreadable)");
        return files;
    }
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = fs::relative(it->path(), path).string();
        files[name] = it->is_regular_file() ? testdata::ReadHostFile(it->path()).value_or("?")
                                            : std::string("(folder)");
    }
    return files;
}

std::vector<RouteRecord> InstallRecords(const RouteRequestResult& result) {
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next())
        records.push_back(it->Current());
    return records;
}

bool DrivesAnyOf(const RouteRequestResult& result, const std::vector<std::uint32_t>& elements) {
    const std::vector<RouteRecord> records = InstallRecords(result);
    return std::any_of(records.begin(), records.end(), [&](const RouteRecord& r) {
        return std::find(elements.begin(), elements.end(), r.linkId) != elements.end();
    });
}

// Field `index` of a GGA sentence, (d)ddmm.mmmm, in degrees.
double InstallGgaDegrees(const std::string& gga, int index) {
    std::size_t at = 0;
    for (int i = 0; i < index && at != std::string::npos; ++i)
        at = gga.find(',', at + 1);
    const double value = at == std::string::npos ? 0.0 : std::atof(gga.c_str() + at + 1);
    const double degrees = std::floor(value / 100.0);
    return degrees + (value - degrees * 100.0) / 60.0;
}

TEST_F(ExtractInstall, LaysOutTheRootWhoseClosureTurnsTheRouteAway) {
    const demoinstall::InstallOptions options = OverOldInstall("install");
    demoinstall::DemoRoute demo;
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(options, demo, log), "");
    const fs::path root = options.output;
    EXPECT_FALSE(fs::exists(root / "old.txt")) << "the old install was replaced whole";
    EXPECT_FALSE(fs::exists(fs::path(root).concat(".new")));
    EXPECT_FALSE(fs::exists(fs::path(root).concat(".old")));

    std::vector<std::string> files = {"navigator",
                                      "deziv.ini",
                                      "PK.ini",
                                      "RarUderad.ini",
                                      "Vaza2Dazav.ini",
                                      "ZU_Deridivira.htm",
                                      "gpstmc.ini",
                                      "gpstmc.dll",
                                      "ziVur.dll",
                                      "pimstore.dll",
                                      "My Documents/Contacts.vcf",
                                      "Bitmaps/Splash.bmp",
                                      "Data/Liechtenstein/ConfigFiles/Advisor.sfs",
                                      "Data/Liechtenstein/ConfigFiles/HiWayImages/DestFlag.bmp",
                                      "ConfigFiles/HiWayImages/DestFlag.bmp",
                                      "ConfigFiles/HiWayImages/Bitmap1.txt",
                                      "Data/Liechtenstein/tmc/tmc.sfs"};
    for (const char* language : {"Ger", "Eng", "Fre", "Spa", "Ita", "Dut"}) {
        files.push_back(std::string("Lang") + language + "CE.dll");
        files.push_back(std::string("ScreenDesc") + language + "CE.dat");
        files.push_back(std::string("Poi") + language + ".bin");
    }
    for (const char* voice : {"german", "english", "french", "spanish", "italian", "dutch"})
        files.push_back(std::string("sound/") + voice + "_waves.sfs");
    for (const std::string& file : files)
        EXPECT_TRUE(fs::is_regular_file(root / file)) << file;
    EXPECT_NE(fs::status(root / "navigator").permissions() & fs::perms::owner_exec,
              fs::perms::none);
    EXPECT_NE(testdata::ReadHostFile(root / "PK.ini").value_or("").find("Simulation=1"),
              std::string::npos);

    // The receiver: one station at 87.5 MHz with TMC health 2, replaying the standing fix.
    std::string problem;
    const auto scenario = platform::ParseReceiverScenario(
        testdata::ReadHostFile(root / "gpstmc.ini").value_or(""), &problem);
    ASSERT_TRUE(scenario) << problem;
    ASSERT_EQ(scenario->stations.size(), 1U);
    EXPECT_EQ(scenario->stations[0].frequency, 875U);
    EXPECT_EQ(scenario->stations[0].tmcHealth, 2);
    const auto cycles = platform::ParseNmeaCycles(
        testdata::ReadHostFile(root / platform::Utf16ToUtf8(scenario->replayPath.substr(1)))
            .value_or(""));
    ASSERT_FALSE(cycles.empty());
    for (const auto& cycle : {cycles.front(), cycles.back()}) {
        SCOPED_TRACE(cycle.gga);
        EXPECT_NEAR(InstallGgaDegrees(cycle.gga, 2), demo.start.y, 1e-5);
        EXPECT_NEAR(InstallGgaDegrees(cycle.gga, 4), demo.start.x, 1e-5);
    }

    // The server on the install as the program opens it: the route from the fix drives the
    // stretch 1.5 km on, the RDS file's closure is announced 60 s later, and the next route goes
    // around the stretch.
    ASSERT_FALSE(demo.closed.empty());
    EXPECT_GE(demo.closedFromMetres, 1500);
    const fs::path previousRoot = platform::DeviceRoot();
    platform::SetDeviceRoot(root);
    platform::SetExecutablePath(u"\\navigator");
    {
        platform::VirtualClock clock;
        platform::ScopedClock installed(clock);
        clock.Advance(5000);
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        Onboard::OnboardServerPtr server = CreateIOnboardServer(
            RetrievalEngine::RetrievalEnginePtr(engine), CreateDataLocation(u"\\RarUderad.ini"));
        ASSERT_TRUE(server);
        servertest::EventLog events;
        events.Connect(*server);
        std::vector<GeoPoint> points;
        ASSERT_TRUE(engine->GetElementPoints(demo.startElement, points) && points.size() >= 2);
        const MatchedPosition start =
            testdata::MatchedPositionBuilder()
                .Fix(demo.start)
                .OnStreet(demo.startElement, demo.start, points[0], points[1])
                .Build();
        RoutePositionPtr destination;
        server->CreateElementDestination(destination, &demo.destinationElement);
        Onboard::RouteRequest request;
        request.destination = destination;
        RouteRequestResult route;
        server->RequestRoute(route, &start, request);
        ASSERT_EQ(route.status, routestatus::kFound);
        EXPECT_TRUE(DrivesAnyOf(route, demo.closed));

        const TmcRawMessage closure =
            DecodeLastTmcMessage(testdata::ReadHostFile(root / "TmcClosure.txt").value_or(""));
        ASSERT_TRUE(server->GetTmcMessageStore()->AddRawMessage(&closure));
        clock.Advance(TrafficHandler::kNotifyDelayMs + 1000);
        EXPECT_TRUE(events.WaitFor('T', 1));
        server->RequestRoute(route, &start, request);
        ASSERT_EQ(route.status, routestatus::kFound);
        EXPECT_FALSE(DrivesAnyOf(route, demo.closed));
        server.Release();

        // The tables place the line in the map set's country: each of its points lies in an area
        // of that name, and no location of the sample tables' German areas is left.
        const auto countries = engine->GetCountries(0);
        ASSERT_EQ(countries.size(), 1U);
        const TmcDatabasePtr tables = CreateTmcDatabase(engine->GetBlockCache());
        ASSERT_TRUE(tables && tables->Load(std::u16string(demoinstall::kDataFolder) + u"\\tmc"));
        for (const std::uint32_t code : demo.pointCodes) {
            const TmcLocationPtr point = tables->FindLocation(code);
            ASSERT_TRUE(point) << code;
            EXPECT_EQ(platform::AnsiToWide(point->GetAreaName()), countries[0]->GetName()) << code;
        }
        const std::uint32_t country = demo.pointCodes.front() / 10000000;
        const std::uint32_t table = demo.pointCodes.front() / 100000 % 100;
        for (const std::uint32_t sample : {300U, 301U, 302U})
            EXPECT_FALSE(tables->FindLocation(MakeTmcLocationCode(country, table, sample)));
        tables->Unload();
    }
    platform::SetExecutablePath(u"");
    platform::SetDeviceRoot(previousRoot);
}

TEST_F(ExtractInstall, LeavesTheOldInstallWhenTheDataIsNotThere) {
    struct Case {
        const char* name;
        const char* data; // under the device root
        const char* message;
    };
    ASSERT_TRUE(s_root->MakeFolder(u"\\empty"));
    const Case cases[] = {
        {"no folder", "missing", "missing: no converted data folder"},
        {"no level file", "empty", "empty: not a folder osm2nav wrote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        demoinstall::InstallOptions options = OverOldInstall("kept");
        options.data = s_root->HostPath() / c.data;
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        const std::map<std::string, std::string> before = InstallFilesAt(options.output);
        EXPECT_NE(demoinstall::Install(options, demo, log).find(c.message), std::string::npos);
        EXPECT_EQ(InstallFilesAt(options.output), before);
        EXPECT_FALSE(fs::exists(fs::path(options.output).concat(".new")));
    }
}

// Only an earlier install (or an empty folder) is replaced, wherever the output is named with
// trailing separators, and its logbook, presettings and "Recent" list go into the new one
// unless it is laid afresh; anything else at the output, or at "<output>.old" beside it, is
// left as it was with a message.
TEST_F(ExtractInstall, ReplacesOnlyAnEarlierInstallAndKeepsItsUserFiles) {
    enum class Before {
        Nothing,
        EarlierInstall,
        EmptyFolder,
        Documents,
        PlainFile,
        DocumentsAside
    };
    struct Case {
        const char* name;
        Before before;
        const char* separators; // after the output's name
        bool isFresh;
        bool isReplaced;
        bool keepsUserFiles;
        bool isUtf8 = false; // the earlier settings file: UTF-8 with a byte-order mark
    };
    const Case cases[] = {
        {"nothing there", Before::Nothing, "", false, true, false},
        {"an earlier install", Before::EarlierInstall, "", false, true, true},
        {"an earlier install named with separators", Before::EarlierInstall, "//", false, true,
         true},
        {"an earlier install with a UTF-8 settings file", Before::EarlierInstall, "", false, true,
         true, true},
        {"an earlier install, afresh", Before::EarlierInstall, "/", true, true, false},
        {"an empty folder", Before::EmptyFolder, "/", false, true, false},
        {"a folder of documents", Before::Documents, "", false, false, false},
        {"a folder of documents named with a separator", Before::Documents, "/", true, false,
         false},
        {"a plain file", Before::PlainFile, "", false, false, false},
        {"documents where the earlier install goes aside", Before::DocumentsAside, "", false, false,
         false},
    };
    const std::string logbook = "\r\nEintrag\tZweck\r\nStart\tKundenbesuch\t\t\t01.01.2000\r\n";
    testdata::UddSource recent;
    recent.x = 9.5216F;
    recent.y = 47.13898F;
    recent.place = u"Vaduz";
    recent.street = u"\u00C4ulestrasse";
    const std::string earlierSettings = testdata::WriteListSection(
        "Recent", {testdata::UddRecordText(recent)},
        "[Zudav]\r\nSimulation=1\r\n[Preferences]\r\nDistanceUnitKilometres=0\r\n"
        "TimeFormat12h=1\r\n");
    const std::string keptSections = earlierSettings.substr(earlierSettings.find("[Preferences]"));
    const std::string byteOrderMark = "\xEF\xBB\xBF";
    const std::string utf8Settings = byteOrderMark + keptSections;
    const auto put = [](const std::string& path, const std::string& bytes) {
        return s_root->WriteFile(u"\\" + platform::Utf8ToUtf16(path), bytes);
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "over" + std::to_string(++round);
        demoinstall::InstallOptions options = InstallAt(name);
        const fs::path output = options.output;
        const fs::path aside = fs::path(output).concat(".old");
        std::ostringstream log;
        demoinstall::DemoRoute demo;
        if (c.before == Before::EarlierInstall || c.before == Before::DocumentsAside) {
            ASSERT_EQ(demoinstall::Install(options, demo, log), "");
            ASSERT_TRUE(put(name + "/Fahrtenbuch.txt", logbook));
            ASSERT_TRUE(put(name + "/PK.ini", c.isUtf8 ? utf8Settings : earlierSettings));
            ASSERT_TRUE(put(name + "/old.txt", "old"));
        }
        bool isPut = true;
        if (c.before == Before::EmptyFolder)
            isPut = fs::create_directories(output);
        if (c.before == Before::Documents)
            isPut = put(name + "/Letter.txt", "Dear");
        if (c.before == Before::PlainFile)
            isPut = put(name, "plain");
        if (c.before == Before::DocumentsAside)
            isPut = put(name + ".old/Letter.txt", "Dear");
        ASSERT_TRUE(isPut);
        const std::map<std::string, std::string> before = InstallFilesAt(output);
        const std::map<std::string, std::string> besideBefore = InstallFilesAt(aside);

        options.output = output.string() + c.separators;
        options.fresh = c.isFresh;
        const std::string problem = demoinstall::Install(options, demo, log);
        EXPECT_FALSE(fs::exists(fs::path(output).concat(".new")));
        EXPECT_FALSE(fs::exists(output / ".new"));
        if (!c.isReplaced) {
            const fs::path refused = c.before == Before::DocumentsAside ? aside : output;
            EXPECT_EQ(problem, refused.string() + ": not " +
                                   (c.before == Before::DocumentsAside ? "a" : "an earlier") +
                                   " demo install nor an empty folder; nothing was changed");
            EXPECT_EQ(InstallFilesAt(output), before);
            EXPECT_EQ(InstallFilesAt(aside), besideBefore);
            continue;
        }
        ASSERT_EQ(problem, "");
        EXPECT_FALSE(fs::exists(aside));
        EXPECT_TRUE(fs::is_regular_file(output / "navigator"));
        EXPECT_FALSE(fs::exists(output / "old.txt"));
        const std::string settings = testdata::ReadHostFile(output / "PK.ini").value_or("");
        if (c.keepsUserFiles) {
            EXPECT_EQ(testdata::ReadHostFile(output / "Fahrtenbuch.txt"), logbook);
            EXPECT_EQ(settings, (c.isUtf8 ? byteOrderMark : "") + "[Zudav]\r\nSimulation=1\r\n" +
                                    keptSections);
        } else {
            EXPECT_FALSE(fs::exists(output / "Fahrtenbuch.txt"));
            EXPECT_EQ(settings.rfind("[Zudav]\r\nSimulation=1\r\n", 0), 0U) << settings;
            EXPECT_EQ(settings.find("[Recent]"), std::string::npos) << settings;
            EXPECT_EQ(settings.find("[Preferences]"), std::string::npos) << settings;
        }
    }
}

} // namespace
