// The demo install around the converted extract: the device root holds the program's files, the
// receiver scenario's standing fix lies at the route's start, the RDS file's closure of the TMC
// line turns the server's route away from the stretch 60 s after it arrives, and an install that
// cannot be made leaves the old one as it was.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "testdata/matchedpositionbuilder.h"
#include "tools/install/demoinstall.h"
#include "tools/osmtests/convertedextract.h"
#include "traffic/tests/decodedmessage.h"
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

    // An old install with one file in it, and options that lay the new one over it.
    static demoinstall::InstallOptions OverOldInstall(const std::string& name) {
        demoinstall::InstallOptions options;
        options.data = s_root->HostPath() / "extract";
        options.programFiles = NAV_LANGUAGES_DIR;
        options.demoData = NAV_DEMO_DATA;
        options.source = NAV_SOURCE_DIR;
        options.navigator = s_root->HostPath() / "stand-in" / "navigator";
        options.output = s_root->HostPath() / name;
        EXPECT_TRUE(s_root->WriteFile(u"\\stand-in\\navigator", "#!/bin/sh\n"));
        EXPECT_TRUE(s_root->WriteFile(u"\\" + platform::Utf8ToUtf16(name) + u"\\old.txt", "old"));
        return options;
    }
};

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
        EXPECT_NE(demoinstall::Install(options, demo, log).find(c.message), std::string::npos);
        EXPECT_EQ(testdata::ReadHostFile(options.output / "old.txt"), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(options.output), fs::directory_iterator()),
                  1);
        EXPECT_FALSE(fs::exists(fs::path(options.output).concat(".new")));
    }
}

} // namespace
