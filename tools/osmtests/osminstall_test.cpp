// The demo install around the converted extract: the device root holds the program's files, the
// receiver scenario's standing fix lies at the route's start, the RDS file's closure of the TMC
// line turns the server's route away from the stretch 60 s after it arrives, an install that
// cannot be made leaves the old one as it was, and one laid over it keeps the user's files.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "onboard/traffichandler.h"
#include "testdata/destinationwriter.h"
#include "testdata/logbookwriter.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/tablefilewriter.h"
#include "testdata/vcardwriter.h"
#include "tools/install/demoinstall.h"
#include "tools/install/helpviewer.h"
#include "tools/install/installswap.h"
#include "tools/install/userfiles.h"
#include "tools/osmtests/convertedextract.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdatabase.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/mutex.h"
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/receiver/replayfiles.h"
#include "platform/receiver/scenario.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <linux/capability.h>
#include <map>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool InstallPut(const fs::path& path, const std::string& bytes);

class ExtractInstall : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"extract", options}});
        LightDemoData();
    }

    // The demo data the installs take: the build's junction pictures, and a voice archive of a
    // few bytes under each name the build's voices have. The installer copies the voices as they
    // are, and the tests look only at their names; the build's 60 MB, copied and read back at
    // every install, made these tests slow.
    static void LightDemoData() {
        const fs::path from = NAV_DEMO_DATA;
        const fs::path to = DemoData();
        std::error_code error;
        fs::create_directories(to / "sound", error);
        ASSERT_FALSE(error) << to;
        fs::copy(from / "ConfigFiles", to / "ConfigFiles", fs::copy_options::recursive, error);
        ASSERT_FALSE(error) << error.message();
        int voices = 0;
        for (const fs::directory_entry& voice : fs::directory_iterator(from / "sound", error)) {
            ASSERT_TRUE(InstallPut(to / "sound" / voice.path().filename(), "voice"));
            ++voices;
        }
        ASSERT_FALSE(error) << error.message();
        ASSERT_GT(voices, 0) << from / "sound";
    }
    static fs::path DemoData() { return s_root->HostPath() / "demo"; }

    // Options that lay an install at `name` (nothing there yet).
    static demoinstall::InstallOptions InstallAt(const std::string& name) {
        demoinstall::InstallOptions options;
        options.data = s_root->HostPath() / "extract";
        options.programFiles = NAV_LANGUAGES_DIR;
        options.demoData = DemoData();
        options.source = NAV_SOURCE_DIR;
        options.navigator = s_root->HostPath() / "stand-in" / "navigator";
        options.output = s_root->HostPath() / name;
        options.isWrittenThrough = false; // the installs are thrown away
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

    // A whole install at `name` (a copy of one laid once for the suite), and options that lay
    // the new one over it.
    static demoinstall::InstallOptions OverWholeInstall(const std::string& name) {
        demoinstall::InstallOptions options = InstallAt(name);
        const fs::path whole = s_root->HostPath() / "whole";
        if (!fs::exists(whole)) {
            demoinstall::InstallOptions first = InstallAt("whole");
            demoinstall::DemoRoute demo;
            std::ostringstream log;
            EXPECT_EQ(demoinstall::Install(first, demo, log), "");
        }
        std::error_code error;
        fs::copy(whole, options.output, fs::copy_options::recursive, error);
        EXPECT_FALSE(error) << error.message();
        return options;
    }
};

// The installs run as a user runs them (InstallAsUser), a suite of their own.
class ExtractInstallAsUser : public ExtractInstall {};

// The files below a folder (or the file itself) with their bytes; links as links.
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
        files[name] = it->is_symlink()        ? "(link to " + fs::read_symlink(it->path()).string()
                      : it->is_regular_file() ? testdata::ReadHostFile(it->path()).value_or("?")
                                              : std::string("(folder)");
    }
    return files;
}

bool InstallPut(const fs::path& path, const std::string& bytes) {
    return testdata::WriteHostFile(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// A destination record as the lists of the settings files hold it.
std::u16string InstallRecord(const char16_t* place, const char16_t* street, float x, float y) {
    testdata::UddSource source;
    source.x = x;
    source.y = y;
    source.place = place;
    source.street = street;
    return testdata::UddRecordText(source);
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

// An install run in a child process as a user runs it: without the right to override file modes
// or owners (as root, the capabilities to are dropped). `before` runs in the child first, with
// every right, and `after` once the install has ended. The child is killed after `killAfter`, or
// when it runs longer than `hangsAfter`.
struct InstallChild {
    std::string skipped;  // why the child could not run so
    std::string notSetUp; // why `before` could not set the child up
    bool isEnded = false;
    bool isKilledHanging = false;
    std::string problem;
    std::string log;
    std::string after;       // what `after` said
    long grownKilobytes = 0; // how much the child's peak memory grew while it installed
};

bool DropTheRightToOverrideModes() {
    if (::geteuid() != 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER, CAP_CHOWN}) {
        const std::uint32_t bit = 1U << (capability % 32);
        data[capability / 32].effective &= ~bit;
        data[capability / 32].permitted &= ~bit;
        data[capability / 32].inheritable &= ~bit;
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

// The peak memory of the calling process, in kilobytes.
long InstallPeakKilobytes() {
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

InstallChild InstallAsUser(const demoinstall::InstallOptions& options,
                           std::chrono::milliseconds killAfter = std::chrono::milliseconds::max(),
                           const std::function<std::string()>& before = {},
                           std::chrono::seconds hangsAfter = std::chrono::seconds(120),
                           const std::function<std::string()>& after = {}) {
    InstallChild run;
    // A file no one may read: the child must not read it.
    const fs::path probe = fs::path(options.output).concat(".probe");
    if (!InstallPut(probe, "x") || ::chmod(probe.c_str(), 0) != 0) {
        run.skipped = "the probe file cannot be made";
        return run;
    }
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        run.skipped = "no pipe";
        return run;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        std::string out;
        if (std::string message = before ? before() : ""; !message.empty())
            out = "B" + message;
        else if (!DropTheRightToOverrideModes())
            out = "Sthe capabilities to override file modes cannot be dropped";
        else if (::open(probe.c_str(), O_RDONLY | O_CLOEXEC) >= 0)
            out = "Sthe install would still run with the right to override file modes";
        if (out.empty()) {
            demoinstall::DemoRoute demo;
            std::ostringstream log;
            const long peak = InstallPeakKilobytes();
            const std::string problem = demoinstall::Install(options, demo, log);
            const long grown = InstallPeakKilobytes() - peak;
            const std::string said = after ? after() : "";
            const std::string end(1, '\0');
            out = "R" + problem + end + log.str() + end + said + end + std::to_string(grown);
        }
        for (std::size_t at = 0; at < out.size();) {
            const ssize_t written = ::write(pipe[1], out.data() + at, out.size() - at);
            if (written <= 0)
                break;
            at += static_cast<std::size_t>(written);
        }
        std::_Exit(0);
    }
    ::close(pipe[1]);
    const auto start = std::chrono::steady_clock::now();
    std::string out;
    for (bool isOpen = child > 0; isOpen;) {
        const auto ran = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (ran >= killAfter || ran >= hangsAfter) {
            run.isKilledHanging = ran >= hangsAfter;
            ::kill(child, SIGKILL);
            break;
        }
        pollfd wait{pipe[0], POLLIN, 0};
        if (::poll(&wait, 1, 5) <= 0)
            continue;
        char block[4096];
        const ssize_t got = ::read(pipe[0], block, sizeof block);
        isOpen = got > 0;
        if (got > 0)
            out.append(block, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    int status = 0;
    (void)::waitpid(child, &status, 0);
    fs::remove(probe);
    run.isEnded = WIFEXITED(status) && !out.empty();
    if (out.starts_with("S")) {
        run.skipped = out.substr(1);
    } else if (out.starts_with("B")) {
        run.notSetUp = out.substr(1);
    } else if (out.starts_with("R")) {
        std::vector<std::string> fields(1);
        for (const char c : std::string_view(out).substr(1)) {
            if (c == '\0')
                fields.emplace_back();
            else
                fields.back() += c;
        }
        fields.resize(4);
        run.problem = fields[0];
        run.log = fields[1];
        run.after = fields[2];
        run.grownKilobytes = std::atol(fields[3].c_str());
    }
    return run;
}

// A case that cannot run as a user here is skipped; but where CI is set it fails, so that CI never
// passes a case it did not run.
#define INSTALL_AS_USER_SKIP(why)                                                                  \
    do {                                                                                           \
        if (std::getenv("CI") != nullptr)                                                          \
            FAIL() << (why) << " (CI is set: a case that cannot run fails)";                       \
        GTEST_SKIP() << (why);                                                                     \
    } while (false)

#define INSTALL_AS_USER_OR_SKIP(run)                                                               \
    if (!(run).skipped.empty())                                                                    \
    INSTALL_AS_USER_SKIP("an install without the right to override file modes cannot run here: " + \
                         (run).skipped)

// The entries beside an install that the installer leaves: its staging folder, the earlier
// install put aside, and folders it could not remove.
std::vector<std::string> InstallLeftBeside(const fs::path& output) {
    std::vector<std::string> left;
    std::error_code error;
    for (auto it = fs::directory_iterator(output.parent_path(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string base = output.filename().string();
        if (name == base + ".new" || name == base + ".old" ||
            name.starts_with(base + demoinstall::kLeftoverInfix))
            left.push_back(name);
    }
    return left;
}

// Takes the write permission from every file and folder below a folder and itself, as
// "chmod -R a-w" does; back with `isGiven`.
void InstallWritable(const fs::path& folder, bool isGiven) {
    std::error_code error;
    std::vector<fs::path> paths = {folder};
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_symlink())
            paths.push_back(it->path());
    }
    for (const fs::path& path : paths)
        fs::permissions(path,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        isGiven ? fs::perm_options::add : fs::perm_options::remove, error);
}

TEST_F(ExtractInstall, LaysOutTheRootWhoseClosureTurnsTheRouteAway) {
    const demoinstall::InstallOptions options = OverOldInstall("install");
    demoinstall::DemoRoute demo;
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(options, demo, log), "");
    const fs::path root = options.output;
    EXPECT_EQ(testdata::ReadHostFile(root / "old.txt"), "old") << "the user's file is kept";
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
    // The help page of the install's language (German), and the viewer the host has.
    EXPECT_EQ(testdata::ReadHostFile(root / "ZU_Deridivira.htm"),
              testdata::ReadHostFile(fs::path(NAV_SOURCE_DIR) / "resources/help/ger.htm"));
    const char* searchPath = std::getenv("PATH");
    const std::string viewer = demoinstall::HelpViewerOnHost(searchPath ? searchPath : "");
    using Keys = std::vector<std::pair<std::u16string, std::u16string>>;
    const Keys named = viewer.empty() ? Keys{} : Keys{{u"Viewer", platform::Utf8ToUtf16(viewer)}};
    EXPECT_EQ(IniProfile::GetSectionOfText(
                  testdata::ReadHostFile(root / "Windows/launch.ini").value_or(""), u"peghelp.exe"),
              named);

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
    // around the stretch. The server leaves its settings file as laid out, so that a later install
    // finds no change there to name.
    ASSERT_FALSE(demo.closed.empty());
    EXPECT_GE(demo.closedFromMetres, 1500);
    const std::optional<std::string> laidSettings = testdata::ReadHostFile(root / "RarUderad.ini");
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
    EXPECT_EQ(testdata::ReadHostFile(root / "RarUderad.ini"), laidSettings);
}

TEST_F(ExtractInstall, LeavesTheOldInstallWhenTheDataIsNotThere) {
    struct Case {
        const char* name;
        const char* data; // under the device root
        const char* message;
    };
    ASSERT_TRUE(s_root->MakeFolder(u"\\empty"));
    // A converted folder holding what cannot be copied: the message names where it went too.
    std::error_code error;
    fs::copy(s_root->HostPath() / "extract", s_root->HostPath() / "uncopied",
             fs::copy_options::recursive, error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_EQ(::mkfifo((s_root->HostPath() / "uncopied" / "pipe").c_str(), 0600), 0);
    const std::string uncopied =
        (s_root->HostPath() / "kept.new" / "Data" / "Liechtenstein").string() +
        ": cannot be copied from " + (s_root->HostPath() / "uncopied").string();
    const Case cases[] = {
        {"no folder", "missing", "missing: no converted data folder"},
        {"no level file", "empty", "empty: not a folder osm2nav wrote"},
        {"an entry that cannot be copied", "uncopied", uncopied.c_str()},
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
// trailing separators, and its logbook, presettings, "Recent" list and a file of the user's go
// into the new one unless it is laid afresh; anything else at the output, and anything but a
// folder the installer made at "<output>.old" or "<output>.new" beside it (a copy of the
// install the user keeps there, say), is left as it was with a message.
TEST_F(ExtractInstall, ReplacesOnlyAnEarlierInstallAndKeepsItsUserFiles) {
    enum class Before {
        Nothing,
        EarlierInstall,
        EmptyFolder,
        Documents,
        PlainFile,
        DocumentsAside,
        CopyAside,
        CopyStaging
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
        {"the user's copy where the earlier install goes aside", Before::CopyAside, "", false,
         false, false},
        {"the user's copy where the new install is laid", Before::CopyStaging, "", true, false,
         false},
    };
    const std::string logbook = "\r\nEintrag\tZweck\r\nStart\tKundenbesuch\t\t\t01.01.2000\r\n";
    // The install's own settings, the help page it names and the receiver stand-in, and the
    // user's sections after them, as the program writes them.
    const std::string installSettings =
        "[HelpFile]\r\nPath=\\ZU_Deridivira.htm\r\n[Zudav]\r\nSimulation=1\r\n";
    const std::string earlierSettings = testdata::WriteListSection(
        "Recent", {InstallRecord(u"Vaduz", u"\u00C4ulestrasse", 9.5216F, 47.13898F)},
        installSettings + "[Preferences]\r\nDistanceUnitKilometres=0\r\nTimeFormat12h=1\r\n");
    const std::string keptSections = earlierSettings.substr(earlierSettings.find("[Preferences]"));
    const std::string byteOrderMark = "\xEF\xBB\xBF";
    const std::string utf8Settings = byteOrderMark + earlierSettings;
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
        const fs::path staging = fs::path(output).concat(".new");
        std::ostringstream log;
        demoinstall::DemoRoute demo;
        if (c.before != Before::Nothing && c.before != Before::EmptyFolder &&
            c.before != Before::Documents && c.before != Before::PlainFile) {
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
        if (c.before == Before::CopyAside || c.before == Before::CopyStaging) {
            const fs::path copy = c.before == Before::CopyAside ? aside : staging;
            std::error_code error;
            fs::copy(output, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                     error);
            isPut = !error && InstallPut(copy / "My Documents" / "mine.txt", "kept");
        }
        ASSERT_TRUE(isPut);
        const std::map<std::string, std::string> before = InstallFilesAt(output);
        const std::map<std::string, std::string> besideBefore = InstallFilesAt(aside);
        const std::map<std::string, std::string> stagingBefore = InstallFilesAt(staging);

        options.output = output.string() + c.separators;
        options.fresh = c.isFresh;
        const std::string problem = demoinstall::Install(options, demo, log);
        if (c.before == Before::CopyStaging) {
            EXPECT_EQ(InstallFilesAt(staging), stagingBefore);
        } else {
            EXPECT_FALSE(fs::exists(staging));
        }
        EXPECT_FALSE(fs::exists(output / ".new"));
        if (!c.isReplaced) {
            const fs::path refused =
                c.before == Before::CopyStaging                                       ? staging
                : c.before == Before::DocumentsAside || c.before == Before::CopyAside ? aside
                                                                                      : output;
            EXPECT_EQ(problem,
                      refused == output
                          ? output.string() + ": not an earlier demo install nor an empty folder; "
                                              "nothing was changed"
                          : refused.string() +
                                ": not a folder the installer made (a copy of an install, say), "
                                "which it leaves as it is; move it away, then install again; "
                                "nothing was changed");
            EXPECT_EQ(InstallFilesAt(output), before);
            EXPECT_EQ(InstallFilesAt(aside), besideBefore);
            continue;
        }
        ASSERT_EQ(problem, "");
        EXPECT_FALSE(fs::exists(aside));
        EXPECT_TRUE(fs::is_regular_file(output / "navigator"));
        EXPECT_EQ(fs::exists(output / "old.txt"), c.keepsUserFiles);
        const std::string settings = testdata::ReadHostFile(output / "PK.ini").value_or("");
        if (c.keepsUserFiles) {
            EXPECT_EQ(testdata::ReadHostFile(output / "Fahrtenbuch.txt"), logbook);
            EXPECT_EQ(settings, (c.isUtf8 ? byteOrderMark : "") + installSettings + keptSections);
            EXPECT_FALSE(fs::exists(output / "PK.ini.new"));
        } else {
            EXPECT_FALSE(fs::exists(output / "Fahrtenbuch.txt"));
            EXPECT_EQ(settings.rfind(installSettings, 0), 0U) << settings;
            EXPECT_EQ(settings.find("[Recent]"), std::string::npos) << settings;
            EXPECT_EQ(settings.find("[Preferences]"), std::string::npos) << settings;
        }
    }
}

// The key lines of a section of a settings file, as the program reads them; empty when the file
// or the section is missing.
std::vector<std::pair<std::u16string, std::u16string>> InstallSection(const fs::path& file,
                                                                      const char16_t* section) {
    return IniProfile::GetSectionOfText(testdata::ReadHostFile(file).value_or(""), section);
}

// The network file of an install's database with its map's extent moved one degree east.
std::string InstallNetworkElsewhere(std::string text) {
    const std::size_t map = text.find("[Map 0]");
    for (const char* key : {"\nx1=", "\nx2="}) {
        const std::size_t at = text.find(key, map);
        if (map == std::string::npos || at == std::string::npos)
            return "";
        const std::size_t value = at + 4;
        const std::size_t end = text.find('\r', value);
        const double x = std::atof(text.substr(value, end - value).c_str()) + 1.0;
        text.replace(value, end - value, std::to_string(x));
    }
    return text;
}

// An install laid over an earlier one keeps every list the program writes for the user: the
// presettings, the "Recent" and "Personal" lists of the settings file, the tour points and the
// database's map-specific list, this only when the new map covers the area of the earlier one;
// laid afresh it keeps none.
TEST_F(ExtractInstall, KeepsEveryListOfTheUserUnlessLaidAfresh) {
    const std::u16string vaduz = InstallRecord(u"Vaduz", u"\u00C4ulestrasse 3", 9.5216F, 47.13898F);
    const std::u16string schaan =
        InstallRecord(u"Schaan", u"Feldkircher Strasse", 9.5088F, 47.1659F);
    const std::u16string triesen = InstallRecord(u"Triesen", u"Landstrasse 10", 9.5281F, 47.1080F);
    struct List {
        const char* name;
        const char* file; // below the install
        const char16_t* section;
        bool isKeptOverAnotherMap;
    };
    const List lists[] = {
        {"presettings", "PK.ini", u"Preferences", true},
        {"Recent", "PK.ini", u"Recent", true},
        {"Personal", "PK.ini", u"Personal", true},
        {"tour points", "Routenpunkte.ini", u"DestList", true},
        {"map-specific list", "Data/Liechtenstein/data.ini", u"MapSpecific", false},
    };
    // The user's sections, after the install's own lines as the program writes them.
    const std::string settings =
        testdata::WriteListSection("Recent", {vaduz, schaan},
                                   "[Preferences]\r\n"
                                   "DistanceUnitKilometres=0\r\nTimeFormat12h=1\r\n") +
        testdata::WriteListSection("Personal", {triesen, vaduz});
    const std::map<std::string, std::string> files = {
        {"PK.ini", settings},
        {"Routenpunkte.ini", testdata::WriteListSection("DestList", {schaan, triesen, vaduz})},
        {"Data/Liechtenstein/data.ini", testdata::WriteListSection("MapSpecific", {triesen})},
        {"Windows/launch.ini", "[peghelp.exe]\r\nViewer=/opt/viewer/bin/show\r\n"},
    };
    struct Way {
        const char* name;
        bool isFresh;
        bool isOverAnotherMap; // the earlier install's map covers another area
    };
    const Way ways[] = {{"laid again", false, false},
                        {"laid afresh", true, false},
                        {"laid over another map", false, true}};
    int round = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        demoinstall::InstallOptions options = OverWholeInstall("lists" + std::to_string(++round));
        const fs::path earlier =
            s_root->HostPath() / ("lists" + std::to_string(round) + ".earlier");
        // Each list in place of the laid one's section, or after the laid lines.
        for (const auto& [file, bytes] : files) {
            const std::string laid = testdata::ReadHostFile(options.output / file).value_or("");
            const std::string own = laid.substr(0, laid.find(bytes.substr(0, bytes.find('\r'))));
            ASSERT_TRUE(InstallPut(options.output / file, own + bytes)) << file;
        }
        const fs::path network = options.output / "Data/Liechtenstein/kwa/Net.rd";
        if (way.isOverAnotherMap) {
            const std::string elsewhere =
                InstallNetworkElsewhere(testdata::ReadHostFile(network).value_or(""));
            ASSERT_FALSE(elsewhere.empty());
            ASSERT_TRUE(InstallPut(network, elsewhere));
        }
        std::error_code error;
        fs::copy(options.output, earlier, fs::copy_options::recursive, error);
        ASSERT_FALSE(error) << error.message();

        options.fresh = way.isFresh;
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        ASSERT_EQ(demoinstall::Install(options, demo, log), "");
        for (const List& list : lists) {
            SCOPED_TRACE(list.name);
            const auto before = InstallSection(earlier / list.file, list.section);
            ASSERT_FALSE(before.empty());
            const auto after = InstallSection(options.output / list.file, list.section);
            if (!way.isFresh && (!way.isOverAnotherMap || list.isKeptOverAnotherMap))
                EXPECT_EQ(after, before);
            else
                EXPECT_TRUE(after.empty());
        }
        EXPECT_EQ(log.str().find("is not kept") != std::string::npos, way.isOverAnotherMap)
            << log.str();
        EXPECT_EQ(InstallSection(options.output / "PK.ini", u"Zudav"),
                  (std::vector<std::pair<std::u16string, std::u16string>>{{u"Simulation", u"1"}}));
        // The help viewer the user named, over any map.
        EXPECT_EQ(InstallSection(options.output / "Windows/launch.ini", u"peghelp.exe") ==
                      InstallSection(earlier / "Windows/launch.ini", u"peghelp.exe"),
                  !way.isFresh);
    }
}

// The paths of the files the log names ("installdemo: PATH: ...") below `folder`.
std::vector<std::string> InstallNamedFiles(const std::string& log, const fs::path& folder) {
    std::vector<std::string> named;
    std::istringstream lines(log);
    const std::string prefix = "installdemo: " + folder.string() + "/";
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix))
            named.push_back(
                line.substr(prefix.size(), line.find(": ", prefix.size()) - prefix.size()));
    }
    return named;
}

// An install laid over an earlier one keeps the documents folder as the user left it and every
// other file the earlier install did not lay out (by its list of its own files; without one, the
// files the new install does not lay out); a settings file of its own the user changed it keeps
// too, with its own beside it, and another file of its own the user changed it replaces; it
// names both. Laid afresh it keeps nothing of the user's and says what it left behind, an empty
// folder of the user's too, but not the program's lock a run of it left (a file whose name only
// looks like the lock's it names). The socket a killed run left it neither names nor keeps. Laid
// again, it changes nothing.
TEST_F(ExtractInstall, KeepsEveryFileOfTheUserAndNamesTheChangedOnesItReplaces) {
    struct Way {
        const char* name;
        bool hasList; // the earlier install has its list of its own files
        bool isFresh;
        bool removesContacts; // the user removed the contacts file, else added a contact
    };
    const Way ways[] = {{"with its list", true, false, false},
                        {"with its list, the contacts removed", true, false, true},
                        {"without a list", false, false, false},
                        {"afresh", true, true, false}};
    testdata::VCardContact contact;
    contact.familyName = "Marxer";
    contact.givenName = "Anna";
    contact.addresses = {{{"home"}, "Landstrasse 10", "9495", "Triesen", "Liechtenstein"}};
    const std::string addedContact = testdata::WriteVCards({contact}, testdata::VCardVersion::V30);
    // Beside the documents, files at the root whose names only look like the program's lock.
    const std::map<std::string, std::string> userFiles = {
        {".mutex-notes.lock", "Schloss\r\n"},
        {".mutex-0123456789ABCDEF.lock", "Schloss\r\n"},
        {"My Documents/notes.txt", "Reifen wechseln\r\n"},
        {"Windows/GPS Log 1-1-2000 0-00.txt", testdata::WriteLogbook({{{"Start", "Test"}}})},
    };
    int round = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        demoinstall::InstallOptions options =
            OverWholeInstall("userfiles" + std::to_string(++round));
        const fs::path output = options.output;
        const fs::path contacts = output / "My Documents" / "Contacts.vcf";
        const std::string laidContacts = testdata::ReadHostFile(contacts).value_or("");
        const std::string laidDeziv = testdata::ReadHostFile(output / "deziv.ini").value_or("");
        ASSERT_FALSE(laidContacts.empty() || laidDeziv.empty());
        if (!way.hasList) {
            ASSERT_TRUE(fs::remove(output / demoinstall::kManifestFile));
        }
        for (const auto& [file, bytes] : userFiles) {
            fs::create_directories((output / file).parent_path());
            ASSERT_TRUE(InstallPut(output / file, bytes)) << file;
        }
        const std::string userContacts = laidContacts + addedContact;
        ASSERT_TRUE(way.removesContacts ? fs::remove(contacts)
                                        : InstallPut(contacts, userContacts));
        ASSERT_TRUE(fs::create_directories(output / "My Documents/Reisen"));
        const std::string changedDeziv = laidDeziv + "; changed\r\n";
        ASSERT_TRUE(InstallPut(output / "deziv.ini", changedDeziv));
        const std::string laidFix = testdata::ReadHostFile(output / "StandingFix.txt").value_or("");
        ASSERT_TRUE(InstallPut(output / "StandingFix.txt", "$GPGGA,changed\r\n"));
        // A run of the program leaves its single-instance lock at the root, and a killed run the
        // socket of its instance channel too: the program's files.
        const fs::path previousRoot = platform::DeviceRoot();
        platform::SetDeviceRoot(output);
        const HANDLE lock = CreateMutexW(nullptr, FALSE, u"Navigator");
        const fs::path socket = platform::NamedMutexSocketPath(u"Navigator");
        platform::SetDeviceRoot(previousRoot);
        ASSERT_NE(lock, nullptr);
        ASSERT_TRUE(CloseHandle(lock));
        ASSERT_EQ(::mknod(socket.c_str(), S_IFSOCK | 0600, 0), 0);

        options.fresh = way.isFresh;
        const InstallChild run = InstallAsUser(options);
        INSTALL_AS_USER_OR_SKIP(run);
        ASSERT_EQ(run.problem, "");
        for (const auto& [file, bytes] : userFiles) {
            EXPECT_EQ(testdata::ReadHostFile(output / file),
                      way.isFresh ? std::nullopt : std::optional(bytes))
                << file;
        }
        EXPECT_EQ(testdata::ReadHostFile(contacts), way.isFresh ? std::optional(laidContacts)
                                                    : way.removesContacts
                                                        ? std::nullopt
                                                        : std::optional(userContacts));
        EXPECT_EQ(testdata::ReadHostFile(output / "deziv.ini"),
                  way.isFresh ? laidDeziv : changedDeziv);
        // With its list the earlier install laid the same file, which it does not offer again.
        EXPECT_EQ(testdata::ReadHostFile(output / "deziv.ini.new"),
                  way.hasList ? std::nullopt : std::optional(laidDeziv));
        EXPECT_EQ(testdata::ReadHostFile(output / "StandingFix.txt"), laidFix);
        EXPECT_EQ(fs::is_directory(output / "My Documents/Reisen"), !way.isFresh);
        EXPECT_FALSE(fs::exists(fs::symlink_status(socket)));
        const std::vector<std::string> changed = {"StandingFix.txt", "deziv.ini"};
        EXPECT_EQ(InstallNamedFiles(run.log, output),
                  way.isFresh ? std::vector<std::string>() : changed)
            << run.log;
        const std::string leftBehind =
            "installdemo: laid afresh; not kept from the earlier install: "
            ".mutex-0123456789ABCDEF.lock, .mutex-notes.lock, My Documents/Contacts.vcf, My "
            "Documents/Reisen/, My Documents/notes.txt, StandingFix.txt "
            "(changed), Windows/GPS Log 1-1-2000 0-00.txt and deziv.ini (changed)\n";
        EXPECT_EQ(run.log.find(leftBehind) != std::string::npos, way.isFresh) << run.log;
        EXPECT_EQ(run.log.find("laid afresh") != std::string::npos, way.isFresh);

        // Laid again, the kept settings file is named again, while it differs.
        const std::map<std::string, std::string> laid = InstallFilesAt(output);
        options.fresh = false;
        demoinstall::DemoRoute demo;
        std::ostringstream again;
        ASSERT_EQ(demoinstall::Install(options, demo, again), "");
        EXPECT_EQ(InstallFilesAt(output), laid);
        EXPECT_EQ(InstallNamedFiles(again.str(), output),
                  way.isFresh ? std::vector<std::string>() : std::vector<std::string>{"deziv.ini"})
            << again.str();
    }
}

// An install cut short between its two renames leaves the earlier install put aside at
// "<output>.old" and nothing, or an empty folder, at the output: the next install takes that one
// back, with the user's lists and logbook, and says so.
TEST_F(ExtractInstall, TakesBackTheEarlierInstallACutInstallPutAside) {
    struct Cut {
        const char* name;
        bool isOutputFolder; // an empty folder at the output
        bool hasStaging;     // a complete new install beside it
    };
    const Cut cuts[] = {{"nothing at the output", false, false},
                        {"an empty folder at the output", true, false},
                        {"the new install complete beside it", false, true}};
    const std::u16string record = InstallRecord(u"Vaduz", u"\u00C4ulestrasse", 9.5216F, 47.13898F);
    const std::string settings =
        testdata::WriteListSection("Recent", {record}, "[Zudav]\r\nSimulation=1\r\n") +
        testdata::WriteListSection("Personal", {record});
    const std::string logbook =
        testdata::WriteLogbook({{}, {{"Eintrag", "Zweck"}}, {{"Start", "Kundenbesuch"}}});
    int round = 0;
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.name);
        demoinstall::InstallOptions options = OverWholeInstall("cut" + std::to_string(++round));
        options.isWrittenThrough = true;
        const fs::path output = options.output;
        const fs::path aside = fs::path(output).concat(".old");
        ASSERT_TRUE(InstallPut(output / "PK.ini", settings));
        ASSERT_TRUE(InstallPut(output / "Fahrtenbuch.txt", logbook));
        // As the install leaves them: each folder marked as its own before it is moved.
        std::error_code error;
        const fs::path staging = fs::path(output).concat(".new");
        if (cut.hasStaging) {
            fs::copy(output, staging, fs::copy_options::recursive, error);
            ASSERT_EQ(demoinstall::MarkOwnFolder(staging, false), "");
        }
        ASSERT_EQ(demoinstall::MarkOwnFolder(output, false), "");
        fs::rename(output, aside, error);
        if (cut.isOutputFolder)
            fs::create_directory(output, error);
        ASSERT_FALSE(error) << error.message();

        demoinstall::DemoRoute demo;
        std::ostringstream log;
        ASSERT_EQ(demoinstall::Install(options, demo, log), "");
        for (const char16_t* section : {u"Recent", u"Personal"}) {
            EXPECT_EQ(InstallSection(output / "PK.ini", section),
                      IniProfile::GetSectionOfText(settings, section));
        }
        EXPECT_EQ(testdata::ReadHostFile(output / "Fahrtenbuch.txt"), logbook);
        EXPECT_FALSE(fs::exists(aside));
        EXPECT_FALSE(fs::exists(staging));
        EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMark));
        EXPECT_NE(log.str().find("taken back"), std::string::npos) << log.str();
    }
}

// A program running on the install holds its single-instance lock (named by the title of its
// language), and an install running on it holds the lock beside it: an install over it, afresh
// too, is refused with a message and changes nothing.
TEST_F(ExtractInstall, RefusesAnInstallARunningProgramOrInstallHolds) {
    struct Held {
        const char* name;
        const char16_t* title; // of the program's lock; null: another install's
        bool isFresh;
    };
    const Held cases[] = {{"laid again", u"Navigator", false},
                          {"laid afresh", u"Navigateur", true},
                          {"another install running", nullptr, false},
                          {"another install running, afresh", nullptr, true}};
    int round = 0;
    for (const Held& held : cases) {
        SCOPED_TRACE(held.name);
        demoinstall::InstallOptions options = OverWholeInstall("held" + std::to_string(++round));
        options.fresh = held.isFresh;
        HANDLE lock = nullptr;
        demoinstall::InstallLock installing;
        std::string refusal;
        if (held.title != nullptr) {
            const fs::path previousRoot = platform::DeviceRoot();
            platform::SetDeviceRoot(options.output);
            lock = CreateMutexW(nullptr, FALSE, held.title);
            platform::SetDeviceRoot(previousRoot);
            ASSERT_NE(lock, nullptr);
            refusal = options.output.string() +
                      ": a program is running on this install (it holds the single-instance "
                      "lock); end it, then install again; nothing was changed";
        } else {
            ASSERT_EQ(installing.Take(options.output), "");
            refusal = options.output.string() + ": another install into it is running (it holds " +
                      options.output.string() +
                      ".lock); let it end, then install again; nothing was changed";
        }
        const std::map<std::string, std::string> before = InstallFilesAt(options.output);
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        EXPECT_EQ(demoinstall::Install(options, demo, log), refusal);
        EXPECT_EQ(InstallFilesAt(options.output), before);
        for (const char* aside : {".new", ".old"})
            EXPECT_FALSE(fs::exists(fs::path(options.output).concat(aside))) << aside;
        EXPECT_TRUE(lock == nullptr || CloseHandle(lock));
    }
}

// Lines of the earlier install's logbook and settings files that hold NUL bytes (zeroed sectors
// a power loss leaves) are left out of the new install, whose settings can then be written, and
// the log names each such file and line; the other lines are kept.
TEST_F(ExtractInstall, LeavesOutTheLinesHoldingNulBytesOfTheUserFiles) {
    const std::u16string first = InstallRecord(u"Vaduz", u"\u00C4ulestrasse", 9.5216F, 47.13898F);
    const std::u16string second = InstallRecord(u"Vaduz", u"St. Florinsgasse", 9.5216F, 47.13898F);
    const auto list = [&](const char16_t* section, const char* otherLines) {
        return testdata::WriteListSection(platform::Utf16ToUtf8(section), {first, second},
                                          otherLines, testdata::ListSectionFault::ZeroedTail);
    };
    std::vector<testdata::LogbookLine> trips = {
        {}, {{"Eintrag", "Zweck"}}, {{"Start", "Kundenbesuch"}}, {{"Stopp", "Kundenbesuch"}}};
    const std::string keptTrips = testdata::WriteLogbook(trips);
    trips.insert(trips.begin() + 3, {{"Start", "Badline"}, 4});
    struct Damaged {
        const char* file; // below the install
        std::string bytes;
        const char16_t* section;     // whose last record is damaged; null: the logbook's 4th line
        const char16_t* keptSection; // of the other lines
    };
    const Damaged files[] = {
        {"PK.ini", list(u"Personal", "[Preferences]\r\nTimeFormat12h=1\r\n"), u"Personal",
         u"Preferences"},
        {"Routenpunkte.ini", list(u"DestList", ""), u"DestList", nullptr},
        {"Data/Liechtenstein/data.ini", list(u"MapSpecific", ""), u"MapSpecific", nullptr},
        {"Fahrtenbuch.txt", testdata::WriteLogbook(trips), nullptr, nullptr},
    };
    demoinstall::InstallOptions options = OverWholeInstall("damaged");
    for (const Damaged& damaged : files)
        ASSERT_TRUE(InstallPut(options.output / damaged.file, damaged.bytes));
    demoinstall::DemoRoute demo;
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(options, demo, log), "");
    for (const Damaged& damaged : files) {
        SCOPED_TRACE(damaged.file);
        const fs::path path = options.output / damaged.file;
        const std::string text = testdata::ReadHostFile(path).value_or("");
        EXPECT_EQ(text.find('\0'), std::string::npos);
        const std::string named =
            (options.output / damaged.file).string() + " is damaged; left out of the new install";
        const std::size_t at = log.str().find(named);
        ASSERT_NE(at, std::string::npos) << log.str();
        const std::string line = log.str().substr(at, log.str().find('\n', at) - at);
        if (damaged.section == nullptr) {
            EXPECT_EQ(text, keptTrips);
            EXPECT_NE(line.find("line 4 "), std::string::npos) << line;
            continue;
        }
        EXPECT_EQ(InstallSection(path, damaged.section),
                  (std::vector<std::pair<std::u16string, std::u16string>>{{u"0", first}}));
        if (damaged.keptSection != nullptr) {
            EXPECT_FALSE(InstallSection(path, damaged.keptSection).empty());
        }
        EXPECT_NE(line.find("line "), std::string::npos) << line;
        EXPECT_NE(line.find(platform::Utf16ToUtf8(u"[" + std::u16string(damaged.section) + u"]")),
                  std::string::npos)
            << line;

        // The program's writer takes the new file, as it refuses a file holding NUL bytes.
        const fs::path previousRoot = platform::DeviceRoot();
        platform::SetDeviceRoot(options.output);
        std::u16string device = u"\\" + platform::Utf8ToUtf16(damaged.file);
        std::replace(device.begin(), device.end(), u'/', u'\\');
        EXPECT_TRUE(IniProfile::WriteSection(damaged.section, {{u"0", second}}, device.c_str()));
        platform::SetDeviceRoot(previousRoot);
    }
}

// The output replaced wherever it is spelled: a "." at its end, or relative to the working
// folder from inside it; the staging folder and the earlier install lie beside it, never in it.
TEST_F(ExtractInstall, ReplacesTheOutputHoweverItIsSpelled) {
    struct Spelling {
        const char* name;
        const char* output; // "DIR" stands for the output's name
        bool isFromInside;  // the working folder is the output, else its parent
    };
    const Spelling spellings[] = {
        {"with a trailing dot and separator", "DIR/./", false},
        {"with a trailing dot", "DIR/.", false},
        {"through its parent", "DIR/../DIR", false},
        {"as the working folder with a separator", "./", true},
        {"as the working folder", ".", true},
    };
    // The working folder comes back after each case.
    struct WorkingFolder {
        fs::path previous = fs::current_path();
        ~WorkingFolder() { fs::current_path(previous); }
    };
    int round = 0;
    for (const Spelling& spelling : spellings) {
        SCOPED_TRACE(spelling.name);
        const std::string name = "spelled" + std::to_string(++round);
        demoinstall::InstallOptions options = InstallAt(name);
        // The test's own folders are named relative to the build folder.
        for (fs::path* path : {&options.data, &options.programFiles, &options.demoData,
                               &options.navigator, &options.source})
            *path = fs::absolute(*path);
        const fs::path output = fs::absolute(options.output);
        ASSERT_TRUE(fs::create_directories(output));
        std::string spelled = spelling.output;
        for (std::size_t at = spelled.find("DIR"); at != std::string::npos;
             at = spelled.find("DIR", at))
            spelled.replace(at, 3, name);
        options.output = spelled;
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        std::string problem;
        {
            const WorkingFolder working;
            fs::current_path(spelling.isFromInside ? output : output.parent_path());
            problem = demoinstall::Install(options, demo, log);
        }
        EXPECT_EQ(problem, "");
        EXPECT_TRUE(fs::is_regular_file(output / "navigator"));
        for (const fs::path& aside :
             {fs::path(output).concat(".new"), fs::path(output).concat(".old")})
            EXPECT_FALSE(fs::exists(aside)) << aside;
        std::error_code error;
        for (auto it = fs::directory_iterator(output, error);
             !error && it != fs::directory_iterator(); it.increment(error))
            EXPECT_FALSE(it->path().filename().string().ends_with(".new")) << it->path();
    }
}

// The modification times of the files below a folder (or of the file itself), links not followed.
std::map<std::string, fs::file_time_type> InstallTimesAt(const fs::path& path) {
    std::map<std::string, fs::file_time_type> times;
    std::error_code error;
    if (fs::is_regular_file(path, error)) {
        times[""] = fs::last_write_time(path, error);
        return times;
    }
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        times[fs::relative(it->path(), path).string()] = fs::last_write_time(it->path(), error);
    return times;
}

// A link anywhere in an earlier install is the user's: laid again, the install keeps it as the
// link in place of its own; laid afresh, or failing after it carried the link, it removes at
// most the link. What the link leads to is never removed nor written.
TEST_F(ExtractInstall, NeverRemovesOrWritesThroughALink) {
    enum class Way { Again, Fresh, Failing };
    const std::pair<const char*, const char*> links[] = {
        {"the database's parent folder", "Data"},
        {"the database folder", "Data/Liechtenstein"},
        {"the documents folder", "My Documents"},
        {"a settings file", "gpstmc.ini"},
    };
    const std::pair<const char*, Way> ways[] = {
        {"laid again", Way::Again}, {"laid afresh", Way::Fresh}, {"failing", Way::Failing}};
    int round = 0;
    for (const auto& [what, linked] : links) {
        for (const auto& [how, way] : ways) {
            SCOPED_TRACE(std::string(what) + ", " + how);
            const std::string name = "linked" + std::to_string(++round);
            demoinstall::InstallOptions options = OverWholeInstall(name);
            const fs::path output = options.output;
            // Moved to other storage and linked back, the map-specific list in it.
            ASSERT_TRUE(InstallPut(
                output / "Data/Liechtenstein/data.ini",
                testdata::ReadHostFile(output / "Data/Liechtenstein/data.ini").value_or("") +
                    testdata::WriteListSection(
                        "MapSpecific",
                        {InstallRecord(u"Vaduz", u"Kirchstrasse", 9.5216F, 47.13898F)})));
            const fs::path elsewhere =
                s_root->HostPath() / (name + "-elsewhere") / fs::path(linked).filename();
            std::error_code error;
            fs::create_directories(elsewhere.parent_path(), error);
            fs::rename(output / linked, elsewhere, error);
            fs::create_symlink(elsewhere, output / linked, error);
            if (way == Way::Failing) {
                // A file of the user's where the new install lays a folder cannot be carried.
                fs::remove_all(output / "sound", error);
                ASSERT_TRUE(InstallPut(output / "sound", "mine"));
            }
            ASSERT_FALSE(error) << error.message();
            const std::map<std::string, std::string> kept = InstallFilesAt(elsewhere);
            const std::map<std::string, fs::file_time_type> times = InstallTimesAt(elsewhere);
            ASSERT_FALSE(kept.empty());
            const std::map<std::string, std::string> before = InstallFilesAt(output);

            options.fresh = way == Way::Fresh;
            demoinstall::DemoRoute demo;
            std::ostringstream log;
            const std::string problem = demoinstall::Install(options, demo, log);
            EXPECT_EQ(InstallFilesAt(elsewhere), kept);
            EXPECT_EQ(InstallTimesAt(elsewhere), times);
            EXPECT_FALSE(fs::exists(fs::path(output).concat(".new")));
            EXPECT_FALSE(fs::exists(fs::path(output).concat(".old")));
            if (way == Way::Failing) {
                EXPECT_NE(problem, "");
                EXPECT_EQ(InstallFilesAt(output), before);
                continue;
            }
            ASSERT_EQ(problem, "");
            EXPECT_EQ(fs::is_symlink(output / linked), way == Way::Again);
            EXPECT_TRUE(fs::exists(output / linked));
        }
    }
}

// A list of the install's own files that does not read whole is taken as none, and named: the
// files the new install lays are its own again (its program among them), the user's file that it
// does not lay is kept, and the new list is whole. A list of the installer before (without the
// format and end lines) reads as before.
TEST_F(ExtractInstall, TakesAListOfItsFilesThatDoesNotReadWholeAsNone) {
    using Damage = std::string (*)(const std::string&);
    const std::pair<const char*, Damage> damages[] = {
        {"cut right after a line, the program listed",
         [](const std::string& text) {
             const std::string body = text.substr(0, text.rfind(demoinstall::kManifestEnd));
             return body.substr(0, body.rfind('\n', body.size() - 2) + 1);
         }},
        {"of the installer before",
         [](const std::string& text) {
             const std::string body = text.substr(0, text.rfind(demoinstall::kManifestEnd));
             return body.substr(std::string_view(demoinstall::kManifestFormat).size());
         }},
        {"cut to half its lines",
         [](const std::string& text) {
             std::size_t at = 0;
             for (std::size_t lines = std::count(text.begin(), text.end(), '\n') / 2; lines > 0;
                  --lines)
                 at = text.find('\n', at) + 1;
             return text.substr(0, at);
         }},
        {"cut in a line", [](const std::string& text) { return text.substr(0, text.size() / 2); }},
        {"a line that does not read",
         [](const std::string& text) {
             std::string damaged = text;
             damaged.insert(text.rfind('\n', text.size() - 2) + 1, "zz");
             return damaged;
         }},
        {"without the program",
         [](const std::string& text) {
             const std::size_t end = text.find(" navigator\n") + 11;
             const std::size_t start = text.rfind('\n', end - 12) + 1;
             return text.substr(0, start) + text.substr(end);
         }},
    };
    int round = 0;
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        demoinstall::InstallOptions options = OverWholeInstall("listed" + std::to_string(++round));
        const fs::path output = options.output;
        const fs::path list = output / demoinstall::kManifestFile;
        const std::string whole = testdata::ReadHostFile(list).value_or("");
        ASSERT_NE(whole.find(" navigator\n"), std::string::npos);
        ASSERT_TRUE(InstallPut(list, damage(whole)));
        ASSERT_TRUE(InstallPut(output / "navigator", "#!/bin/sh\n# the earlier program\n"));
        ASSERT_TRUE(InstallPut(output / "mine.txt", "mine"));

        demoinstall::DemoRoute demo;
        std::ostringstream log;
        ASSERT_EQ(demoinstall::Install(options, demo, log), "");
        EXPECT_EQ(log.str().find(list.string() + ": the list of the install's own files does not "
                                                 "read whole") != std::string::npos,
                  std::string_view(name) != "of the installer before")
            << log.str();
        EXPECT_EQ(testdata::ReadHostFile(output / "navigator"), "#!/bin/sh\n");
        EXPECT_EQ(testdata::ReadHostFile(output / "mine.txt"), "mine");
        // Whole again: every file but the documents, which without a list are the user's.
        std::istringstream lines(whole);
        const std::string made = testdata::ReadHostFile(list).value_or("");
        EXPECT_TRUE(made.starts_with(demoinstall::kManifestFormat)) << made;
        EXPECT_TRUE(made.ends_with(demoinstall::kManifestEnd)) << made;
        for (std::string line; std::getline(lines, line);) {
            if (line.find(" My Documents/") == std::string::npos) {
                EXPECT_NE(made.find(line + "\n"), std::string::npos) << line;
            }
        }
    }
}

// Each file and folder of the user's carried over or merged keeps its mode and group; a file of
// the install's own that replaces one is readable by no one who could not read that one.
TEST_F(ExtractInstall, KeepsTheModesAndGroupsOfTheUsersFiles) {
    demoinstall::InstallOptions options = OverWholeInstall("modes");
    const fs::path output = options.output;
    ASSERT_TRUE(InstallPut(output / "Fahrtenbuch.txt",
                           testdata::WriteLogbook({{}, {{"Start", "Kundenbesuch"}}})));
    ASSERT_TRUE(fs::create_directories(output / "My Documents/private"));
    ASSERT_TRUE(InstallPut(output / "My Documents/private/note.txt", "note"));
    constexpr gid_t kGroup = 4242;
    const struct {
        const char* path; // below the install
        unsigned mode;    // before and after
        bool isOfTheGroup = false;
    } rows[] = {
        {"", 0750},
        {"Fahrtenbuch.txt", 0600, true},
        {"PK.ini", 0600},
        {"My Documents", 0700, true},
        {"My Documents/private", 0700},
        {"My Documents/private/note.txt", 0600},
        // The install's own, replaced by the new install's, no more open than they were.
        {"deziv.ini", 0600},
        {"gpstmc.ini", 0640},
        {"navigator", 0700},
        {"StandingFix.txt", 0604},
    };
    for (const auto& row : rows) {
        const fs::path path = output / row.path;
        ASSERT_EQ(::chmod(path.c_str(), row.mode), 0) << row.path;
        if (row.isOfTheGroup) {
            ASSERT_EQ(::chown(path.c_str(), static_cast<uid_t>(-1), kGroup), 0) << row.path;
        }
    }
    demoinstall::DemoRoute demo;
    std::ostringstream log;
    ASSERT_EQ(demoinstall::Install(options, demo, log), "");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        struct stat status {};
        ASSERT_EQ(::lstat((output / row.path).c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, row.mode);
        if (row.isOfTheGroup) {
            EXPECT_EQ(status.st_gid, kGroup);
        }
    }
}

// The viewer the install names is the first of the known ones that is an executable file in a
// folder of the search path; none when there is none.
TEST(InstallHelpViewer, NamesTheFirstKnownViewerTheSearchPathHolds) {
    testdata::TempDeviceRoot root;
    const fs::path host = root.HostPath();
    for (const char* file : {"both/xdg-open", "both/x-www-browser", "browser/x-www-browser",
                             "plain/xdg-open", "folder/xdg-open/inside"}) {
        fs::create_directories((host / file).parent_path());
        ASSERT_TRUE(InstallPut(host / file, "#!/bin/sh\n")) << file;
        if (std::string_view(file).starts_with("plain/") ||
            std::string_view(file).starts_with("folder/"))
            continue;
        fs::permissions(host / file, fs::perms::owner_all);
    }
    const std::string at = host.string() + "/";
    const struct {
        std::string searchPath;
        const char* viewer;
    } cases[] = {
        {at + "both", "xdg-open"},
        {at + "browser:" + at + "both", "xdg-open"},
        {at + "browser", "x-www-browser"},
        {at + "plain:" + at + "folder", ""},
        {at + "missing::" + at + "plain", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.searchPath);
        EXPECT_EQ(demoinstall::HelpViewerOnHost(c.searchPath), c.viewer);
    }
}

// A language the user picked in the server settings survives a new install, which lays its own
// settings beside them and the help page of that language; laid afresh, the install's own.
TEST_F(ExtractInstall, KeepsTheLanguageTheUserPickedWithItsHelpPage) {
    const struct {
        const char* name;
        const char* language;
        bool isFresh;
        const char* page; // in resources/help
    } cases[] = {
        {"as laid", "0", false, "ger.htm"},
        {"English picked", "1", false, "eng.htm"},
        {"Dutch picked", "6", false, "dut.htm"},
        {"English picked, laid afresh", "1", true, "ger.htm"},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        demoinstall::InstallOptions options =
            OverWholeInstall("language" + std::to_string(++round));
        const fs::path settings = options.output / "RarUderad.ini";
        std::string text = testdata::ReadHostFile(settings).value_or("");
        const std::size_t at = text.find("Language=0");
        ASSERT_NE(at, std::string::npos) << text;
        text.replace(at, 10, std::string("Language=") + c.language);
        ASSERT_TRUE(InstallPut(settings, text));
        options.fresh = c.isFresh;
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        ASSERT_EQ(demoinstall::Install(options, demo, log), "");
        const bool isKept = !c.isFresh && std::string_view(c.language) != "0";
        const std::string after = testdata::ReadHostFile(settings).value_or("");
        EXPECT_NE(after.find(std::string("Language=") + (isKept ? c.language : "0")),
                  std::string::npos)
            << after;
        // The new install's is the one the earlier install laid: not offered again.
        EXPECT_FALSE(fs::exists(fs::path(settings).concat(".new")));
        EXPECT_EQ(testdata::ReadHostFile(options.output / "ZU_Deridivira.htm"),
                  testdata::ReadHostFile(fs::path(NAV_SOURCE_DIR) / "resources" / "help" / c.page));
    }
}

// Folders the user made read-only in an install, as a user without the right to override file
// modes meets them: the installer gives itself the write permission it needs in its own folders
// before it removes in them, and sets the modes it keeps after its own writes; each install
// reports success only with nothing of its own left, and the next install goes the same way.
TEST_F(ExtractInstallAsUser, InstallsOverFoldersTheUserMadeReadOnly) {
    enum class ReadOnly { Documents, WholeInstall, StagingLeft };
    const std::pair<const char*, ReadOnly> cases[] = {
        {"My Documents (chmod 555)", ReadOnly::Documents},
        {"the whole install (chmod -R a-w)", ReadOnly::WholeInstall},
        {"a staging folder an earlier install left (chmod -R a-w)", ReadOnly::StagingLeft},
    };
    int round = 0;
    for (const auto& [name, readOnly] : cases) {
        SCOPED_TRACE(name);
        demoinstall::InstallOptions options =
            OverWholeInstall("readonly" + std::to_string(++round));
        const fs::path output = options.output;
        ASSERT_TRUE(InstallPut(output / "My Documents/notes.txt", "Reifen wechseln\r\n"));
        if (readOnly == ReadOnly::Documents) {
            ASSERT_EQ(::chmod((output / "My Documents").c_str(), 0555), 0);
        } else if (readOnly == ReadOnly::WholeInstall) {
            InstallWritable(output, false);
        } else {
            const fs::path staging = fs::path(output).concat(".new");
            std::error_code error;
            fs::copy(output, staging, fs::copy_options::recursive, error);
            ASSERT_FALSE(error) << error.message();
            ASSERT_EQ(demoinstall::MarkOwnFolder(staging, false), "");
            InstallWritable(staging, false);
        }
        for (int install = 1; install <= 2; ++install) {
            SCOPED_TRACE("install " + std::to_string(install));
            const InstallChild run = InstallAsUser(options);
            INSTALL_AS_USER_OR_SKIP(run);
            ASSERT_TRUE(run.isEnded);
            EXPECT_EQ(run.problem, "");
            EXPECT_EQ(InstallLeftBeside(output), std::vector<std::string>());
            EXPECT_EQ(testdata::ReadHostFile(output / "My Documents/notes.txt"),
                      "Reifen wechseln\r\n");
            EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMark));
            struct stat status {};
            ASSERT_EQ(::lstat((output / "My Documents").c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, readOnly == ReadOnly::StagingLeft ? 0755U : 0555U);
            ASSERT_EQ(::lstat(output.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, readOnly == ReadOnly::WholeInstall ? 0555U : 0755U);
        }
    }
    // A folder of the user's that no one may read cannot be carried over, nor can what it holds
    // be named among what an install laid afresh leaves behind; nor can the lines of a logbook or
    // the user's sections of a settings file no one may read: named, with the reason and what to
    // do for a folder (for another user's folder, whose it is and that its owner must do it), and
    // the user's files beside it kept.
    demoinstall::InstallOptions options = OverWholeInstall("unreadable");
    const fs::path secret = options.output / "My Documents/secret";
    const fs::path notes = options.output / "My Documents/notes.txt";
    const fs::path logbook = options.output / "Fahrtenbuch.txt";
    const fs::path settings = options.output / "PK.ini";
    const fs::path mapList = options.output / "Data/Liechtenstein/data.ini";
    ASSERT_TRUE(fs::create_directories(secret));
    ASSERT_TRUE(InstallPut(notes, "Reifen wechseln\r\n"));
    ASSERT_TRUE(InstallPut(logbook, testdata::WriteLogbook({{{"Start", "Kundenbesuch"}}})));
    ASSERT_TRUE(InstallPut(mapList, testdata::WriteListSection(
                                        "MapSpecific", {InstallRecord(u"Triesen", u"Landstrasse 10",
                                                                      9.5281F, 47.1080F)})));
    const fs::path network = options.output / "Data/Liechtenstein/kwa/Net.rd";
    const std::string laidNetwork = testdata::ReadHostFile(network).value_or("");
    // Another user's (only root can give a folder away) as the installer names it.
    constexpr uid_t kOtherUser = 65534;
    const passwd* const otherUser = ::getpwuid(kOtherUser);
    const std::string otherOwner =
        otherUser != nullptr ? "user \"" + std::string(otherUser->pw_name) + "\" (uid 65534)"
                             : std::string("uid 65534, which names no user");
    bool isOtherUserLeftOut = false;
    const struct {
        fs::path unreadable;
        std::string problem;
        bool isMapElsewhere; // the earlier install's map covers another area than the new one's
        bool isOtherUsers = false; // it belongs to kOtherUser
    } unreadables[] = {
        {secret,
         secret.string() + ": cannot be read: Permission denied; so the installer cannot tell "
                           "what of yours it holds; give yourself read permission to it (chmod "
                           "u+rx) or move it out of the install, then install again; nothing was "
                           "changed",
         false},
        {secret,
         secret.string() +
             ": cannot be read: Permission denied; so the installer cannot tell "
             "what of yours it holds; it belongs to " +
             otherOwner +
             ", not to you: its owner or an administrator must make it readable to you or move "
             "it out of the install, then install again; nothing was changed",
         false, true},
        {logbook, logbook.string() + ": cannot be read", false},
        {settings, settings.string() + ": cannot be read", false},
        {mapList, mapList.string() + ": cannot be read", false},
        {mapList, mapList.string() + ": cannot be read", true},
    };
    for (const auto& [unreadable, problem, isMapElsewhere, isOtherUsers] : unreadables) {
        SCOPED_TRACE(unreadable.string() + (isMapElsewhere ? ", map elsewhere" : "") +
                     (isOtherUsers ? ", another user's" : ""));
        if (isOtherUsers && ::geteuid() != 0) {
            isOtherUserLeftOut = true;
            continue;
        }
        ASSERT_TRUE(InstallPut(network, isMapElsewhere ? InstallNetworkElsewhere(laidNetwork)
                                                       : laidNetwork));
        struct stat status {};
        ASSERT_EQ(::stat(unreadable.c_str(), &status), 0);
        if (isOtherUsers) {
            ASSERT_EQ(::chown(unreadable.c_str(), kOtherUser, kOtherUser), 0);
        }
        ASSERT_EQ(::chmod(unreadable.c_str(), 0), 0);
        for (const bool isFresh : {false, true}) {
            SCOPED_TRACE(isFresh ? "laid afresh" : "laid again");
            options.fresh = isFresh;
            const std::map<std::string, std::string> before = InstallFilesAt(options.output);
            const InstallChild run = InstallAsUser(options);
            EXPECT_EQ(run.problem, problem);
            EXPECT_EQ(InstallFilesAt(options.output), before);
            EXPECT_EQ(testdata::ReadHostFile(notes), "Reifen wechseln\r\n");
            EXPECT_EQ(InstallLeftBeside(options.output), std::vector<std::string>());
        }
        ASSERT_EQ(::chown(unreadable.c_str(), status.st_uid, status.st_gid), 0);
        ASSERT_EQ(::chmod(unreadable.c_str(), status.st_mode & 07777), 0);
    }
    options.fresh = false;
    // Nor a staging folder it cannot tell as its own: named, and what to do.
    const fs::path staging = fs::path(options.output).concat(".new");
    ASSERT_TRUE(fs::create_directories(staging));
    ASSERT_EQ(::chmod(staging.c_str(), 0), 0);
    EXPECT_EQ(InstallAsUser(options).problem,
              staging.string() + ": cannot be read: Permission denied; so the installer cannot "
                                 "tell whether it made it; give yourself read permission to it "
                                 "(chmod u+rx), then install again; nothing was changed");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(staging.c_str(), kOtherUser, kOtherUser), 0);
        EXPECT_EQ(InstallAsUser(options).problem,
                  staging.string() +
                      ": cannot be read: Permission denied; so the installer "
                      "cannot tell whether it made it; it belongs to " +
                      otherOwner +
                      ", not to you: its owner or an administrator must make it readable to you "
                      "or move it away, then install again; nothing was changed");
        ASSERT_EQ(::chown(staging.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(::chmod(staging.c_str(), 0755), 0);
    if (isOtherUserLeftOut)
        INSTALL_AS_USER_SKIP("only root can give a folder in the install to another user");
}

// Folders of its own the installer cannot remove even so (one inside belongs to another user) are
// named with each entry left, the system's reason and what the user can do, and moved out of the
// way, with all else in them removed: the install is in place but not reported as a success, the
// next install goes on while they are there, and the one after the user's fix removes them. A
// leftover's name that an entry of the user's holds is passed over for the next free one.
TEST_F(ExtractInstallAsUser, NamesAFolderOfItsOwnItCannotRemoveAndGoesOn) {
    if (::geteuid() != 0)
        INSTALL_AS_USER_SKIP("only root can give a folder in the install to another user");
    const struct {
        const char* name;
        std::vector<std::string> theirs; // folders of another user's in the install
        bool isNameTaken; // a file of the user's holds the name the leftover would take
    } cases[] = {
        {"a folder of another user's", {"My Documents/theirs"}, false},
        {"two, the leftover's name taken by a file of the user's",
         {"My Documents/theirs", "Windows/theirs"},
         true},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        demoinstall::InstallOptions options = OverWholeInstall("theirs" + std::to_string(++round));
        const fs::path output = options.output;
        // What a leftover holds: the entries left, their folders and its mark.
        std::set<std::string> held = {demoinstall::kOwnFolderMark};
        // Two entries in each, so that the removal goes on past the first it cannot remove in a
        // folder, not only past the folder.
        const char* const files[] = {"note.txt", "plan.txt"};
        for (const std::string& folder : c.theirs) {
            ASSERT_TRUE(fs::create_directories(output / folder));
            for (const char* file : files) {
                ASSERT_TRUE(InstallPut(output / folder / file, "theirs"));
                held.insert(folder + "/" + file);
            }
            ASSERT_EQ(::chown((output / folder).c_str(), 65534, 65534), 0);
            ASSERT_EQ(::chmod((output / folder).c_str(), 0555), 0);
            for (fs::path path = folder; !path.empty(); path = path.parent_path())
                held.insert(path.string());
        }
        const fs::path named = demoinstall::LeftoverPath(output, output);
        if (c.isNameTaken) {
            ASSERT_TRUE(InstallPut(named, "mine"));
        }
        const fs::path leftover = c.isNameTaken ? fs::path(named).concat("-2") : named;
        std::vector<std::string> beside = {leftover.filename().string()};
        if (c.isNameTaken)
            beside.insert(beside.begin(), named.filename().string());
        std::string entries;
        for (const std::string& folder : c.theirs) {
            for (const char* file : files)
                entries += (entries.empty() ? "" : "; ") + (leftover / folder / file).string() +
                           ": cannot be removed: Permission denied";
        }
        const std::string advice =
            "; give yourself write permission to it and remove it (chmod -R u+w, then rm -rf), "
            "or ask its owner to; later installs try again";
        for (int install = 1; install <= 3; ++install) {
            SCOPED_TRACE("install " + std::to_string(install));
            if (install == 3) {
                // The user's fix: the folders given back.
                for (const std::string& folder : c.theirs)
                    ASSERT_EQ(::chown((leftover / folder).c_str(), 0, 0), 0);
            }
            const InstallChild run = InstallAsUser(options);
            INSTALL_AS_USER_OR_SKIP(run);
            ASSERT_TRUE(run.isEnded);
            EXPECT_TRUE(fs::is_regular_file(output / "navigator"));
            for (const std::string& folder : c.theirs) {
                for (const char* file : files)
                    EXPECT_EQ(testdata::ReadHostFile(output / folder / file), "theirs");
            }
            EXPECT_EQ(testdata::ReadHostFile(named),
                      c.isNameTaken ? std::optional<std::string>("mine") : std::nullopt);
            std::vector<std::string> left = InstallLeftBeside(output);
            std::sort(left.begin(), left.end());
            if (install == 3) {
                EXPECT_EQ(run.problem, "");
                EXPECT_EQ(left, std::vector<std::string>(beside.begin(), beside.end() - 1));
                continue;
            }
            EXPECT_EQ(left, beside);
            std::set<std::string> holds;
            for (const auto& [path, bytes] : InstallFilesAt(leftover))
                holds.insert(path);
            EXPECT_EQ(holds, held);
            const std::string passedOver =
                install == 1 && c.isNameTaken
                    ? ", as " + named.string() + " is taken by an entry that is not the installer's"
                    : "";
            EXPECT_EQ(run.problem,
                      output.string() +
                          ": installed, but folders of the installer's own are left: " +
                          leftover.string() + passedOver + " (" + entries + ")" + advice);
        }
    }
}

// What is not a regular file in the earlier install (a FIFO, or a link to one) never makes the
// installer wait: it is the user's, carried as it is and named, or named among what a fresh
// install does not keep; one where the installer keeps its list stops the install, named.
TEST_F(ExtractInstallAsUser, NeverWaitsOnAFifoInTheEarlierInstall) {
    struct Case {
        const char* file; // below the install
        bool isLink;      // a link to a FIFO elsewhere
        bool isFresh;
    };
    const Case cases[] = {
        {"Fahrtenbuch.txt", false, false},    {"Fahrtenbuch.txt", false, true},
        {"Routenpunkte.ini", false, false},   {"Routenpunkte.ini", false, true},
        {"Fahrtenbuch.txt", true, false},     {"Fahrtenbuch.txt", true, true},
        {"InstalledFiles.txt", false, false}, {"InstalledFiles.txt", false, true},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.isLink ? ", a link" : "") +
                     (c.isFresh ? ", afresh" : ""));
        demoinstall::InstallOptions options = OverWholeInstall("fifo" + std::to_string(++round));
        const fs::path output = options.output;
        const fs::path fifo = c.isLink ? fs::path(output).concat(".fifo") : output / c.file;
        std::error_code error;
        fs::remove(output / c.file, error);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0640), 0);
        if (c.isLink) {
            fs::create_symlink(fifo, output / c.file);
        }
        options.fresh = c.isFresh;
        const std::map<std::string, std::string> before = InstallFilesAt(output);
        const InstallChild run =
            InstallAsUser(options, std::chrono::milliseconds::max(), {}, std::chrono::seconds(30));
        INSTALL_AS_USER_OR_SKIP(run);
        ASSERT_FALSE(run.isKilledHanging) << "the install hangs";
        ASSERT_TRUE(run.isEnded);
        const std::string what = c.isLink ? "a link" : "a FIFO";
        const std::string named = (output / c.file).string() + ": not a regular file but " + what;
        if (std::string_view(c.file) == demoinstall::kManifestFile && !c.isFresh) {
            EXPECT_EQ(run.problem, named + ", where the installer keeps the list of its own files; "
                                           "move it away, then install again; nothing was "
                                           "changed");
            EXPECT_EQ(InstallFilesAt(output), before);
            continue;
        }
        ASSERT_EQ(run.problem, "");
        struct stat status {};
        const bool isThere = ::lstat((output / c.file).c_str(), &status) == 0;
        if (c.isFresh) {
            EXPECT_EQ(isThere && !S_ISREG(status.st_mode), false);
            EXPECT_NE(run.log.find("laid afresh; not kept from the earlier install: "),
                      std::string::npos)
                << run.log;
            EXPECT_NE(run.log.find(std::string(" ") + c.file), std::string::npos) << run.log;
            continue;
        }
        EXPECT_TRUE(isThere && (c.isLink ? S_ISLNK(status.st_mode) : S_ISFIFO(status.st_mode)));
        if (!c.isLink) {
            EXPECT_EQ(status.st_mode & 0777, 0640U);
            EXPECT_NE(run.log.find("installdemo: " + named + "; the user's, carried as it is"),
                      std::string::npos)
                << run.log;
        }
    }
}

// A mark cut short (the install killed while it marked a folder, or its write failing) leaves
// nothing that counts: a staging folder holding only it is taken as empty, and an earlier install
// holding it is laid over as any other, the part left out of the new install. No mark is ever
// under its name before it is whole: an install whose write of the mark fails (no room for a
// byte) leaves nothing, and the next install goes on.
TEST_F(ExtractInstallAsUser, TakesAMarkCutShortForNone) {
    enum class Cut { InTheStagingFolder, InTheEarlierInstall, WriteFailing };
    const std::pair<const char*, Cut> cases[] = {
        {"in the staging folder", Cut::InTheStagingFolder},
        {"in the earlier install", Cut::InTheEarlierInstall},
        {"its write failing", Cut::WriteFailing},
    };
    int round = 0;
    for (const auto& [name, cut] : cases) {
        SCOPED_TRACE(name);
        demoinstall::InstallOptions options = OverWholeInstall("marked" + std::to_string(++round));
        const fs::path output = options.output;
        const fs::path staging = fs::path(output).concat(".new");
        if (cut == Cut::WriteFailing) {
            const InstallChild failing =
                InstallAsUser(options, std::chrono::milliseconds::max(), [] {
                    const rlimit none{0, 0};
                    return std::string(::signal(SIGXFSZ, SIG_IGN) != SIG_ERR &&
                                               ::setrlimit(RLIMIT_FSIZE, &none) == 0
                                           ? ""
                                           : "no file size limit");
                });
            INSTALL_AS_USER_OR_SKIP(failing);
            EXPECT_EQ(failing.problem, (staging / demoinstall::kOwnFolderMarkPart).string() +
                                           ": cannot be written: File too large");
            EXPECT_FALSE(fs::exists(staging / demoinstall::kOwnFolderMark));
        } else {
            const fs::path folder = cut == Cut::InTheStagingFolder ? staging : output;
            fs::create_directories(folder);
            ASSERT_TRUE(InstallPut(folder / demoinstall::kOwnFolderMarkPart, "installdemo 6"));
        }
        const InstallChild run = InstallAsUser(options);
        INSTALL_AS_USER_OR_SKIP(run);
        EXPECT_EQ(run.problem, "");
        EXPECT_EQ(InstallLeftBeside(output), std::vector<std::string>());
        EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMarkPart));
        EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMark));
    }
    // Written whole, the mark is there under its name only.
    const fs::path marked = s_root->HostPath() / "marked-whole";
    ASSERT_TRUE(fs::create_directories(marked));
    ASSERT_EQ(demoinstall::MarkOwnFolder(marked, false), "");
    EXPECT_TRUE(demoinstall::IsOwnFolder(marked));
    EXPECT_FALSE(fs::exists(marked / demoinstall::kOwnFolderMarkPart));
}

// A file of the earlier install is never held whole, whatever its size: its digest is taken block
// by block, laid again or afresh, so that the installer's memory does not grow with it (here a
// sparse file of 256 MiB in place of one of the install's own, which the new install replaces).
TEST_F(ExtractInstallAsUser, NeverHoldsAFileOfTheEarlierInstallWhole) {
    constexpr off_t kBigFileBytes = off_t{256} << 20;
    for (const bool isFresh : {false, true}) {
        SCOPED_TRACE(isFresh ? "laid afresh" : "laid again");
        demoinstall::InstallOptions options = OverWholeInstall(isFresh ? "big-afresh" : "big");
        const fs::path big = options.output / "StandingFix.txt";
        ASSERT_EQ(::truncate(big.c_str(), kBigFileBytes), 0);
        options.fresh = isFresh;
        const InstallChild run = InstallAsUser(options);
        INSTALL_AS_USER_OR_SKIP(run);
        ASSERT_EQ(run.problem, "");
        EXPECT_LT(run.grownKilobytes, kBigFileBytes / 1024 / 2);
        const std::string named =
            isFresh
                ? " StandingFix.txt (changed)"
                : big.string() + ": changed since it was installed; the new install's replaces it";
        EXPECT_NE(run.log.find(named), std::string::npos) << run.log;
        EXPECT_LT(fs::file_size(big), static_cast<std::uintmax_t>(kBigFileBytes));
    }
}

// A settings file of the install's own that the user changed is kept, with the new install's
// beside it only when that one differs from the one the earlier install laid or offered last: a
// ".new" the user removed is not laid again.
TEST_F(ExtractInstall, OffersANewSettingsFileOnlyWhenItIsNew) {
    demoinstall::InstallOptions options = OverWholeInstall("offered");
    const fs::path output = options.output;
    const fs::path list = output / demoinstall::kManifestFile;
    const std::string laid = testdata::ReadHostFile(output / "deziv.ini").value_or("");
    ASSERT_TRUE(InstallPut(output / "deziv.ini", laid + "; changed\r\n"));
    // As if an earlier installer had laid another file: its list names other bytes.
    std::string text = testdata::ReadHostFile(list).value_or("");
    const std::size_t at = text.find(" deziv.ini\n");
    ASSERT_NE(at, std::string::npos);
    demoinstall::Digest other;
    other.Add("[Default GPS]\r\n");
    const std::size_t start = text.rfind('\n', at) + 1;
    text.replace(start, at + 11 - start, demoinstall::ManifestLine(other, "deziv.ini"));
    ASSERT_TRUE(InstallPut(list, text));
    const struct {
        const char* name;
        bool isNewLaid;
        bool removesNew; // the user removes the ".new" after the install
    } installs[] = {
        {"the new install's is new", true, true},
        {"the one offered, removed", false, false},
        {"the one offered, removed, again", false, false},
    };
    for (const auto& install : installs) {
        SCOPED_TRACE(install.name);
        demoinstall::DemoRoute demo;
        std::ostringstream log;
        ASSERT_EQ(demoinstall::Install(options, demo, log), "");
        EXPECT_EQ(testdata::ReadHostFile(output / "deziv.ini"), laid + "; changed\r\n");
        EXPECT_EQ(testdata::ReadHostFile(output / "deziv.ini.new"),
                  install.isNewLaid ? std::optional(laid) : std::nullopt);
        EXPECT_EQ(InstallNamedFiles(log.str(), output), std::vector<std::string>{"deziv.ini"})
            << log.str();
        if (install.removesNew) {
            ASSERT_TRUE(fs::remove(output / "deziv.ini.new"));
        }
    }
}

// A help viewer installed on the host after the earlier install is named by the new one: the
// earlier install's line saying it found none is not the user's, nor its line naming a viewer the
// host no longer has.
TEST_F(ExtractInstall, TakesUpAHelpViewerInstalledSinceTheEarlierInstall) {
    const fs::path bin = s_root->HostPath() / "viewer-bin";
    ASSERT_TRUE(fs::create_directories(bin));
    ASSERT_TRUE(InstallPut(bin / "xdg-open", "#!/bin/sh\n"));
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    const std::pair<const char*, const char*> cases[] = {
        {"none found then", ""},
        {"one the host no longer has", "sensible-browser"},
    };
    int round = 0;
    for (const auto& [name, earlier] : cases) {
        SCOPED_TRACE(name);
        demoinstall::InstallOptions options = OverWholeInstall("viewer" + std::to_string(++round));
        const fs::path launch = options.output / "Windows/launch.ini";
        ASSERT_TRUE(InstallPut(launch, demoinstall::LaunchFileText(earlier)));
        const char* path = std::getenv("PATH");
        const std::string previousPath = path != nullptr ? path : "";
        ::setenv("PATH", bin.c_str(), 1);
        const InstallChild run = InstallAsUser(options);
        ::setenv("PATH", previousPath.c_str(), 1);
        INSTALL_AS_USER_OR_SKIP(run);
        ASSERT_EQ(run.problem, "");
        EXPECT_EQ(
            InstallSection(launch, u"peghelp.exe"),
            (std::vector<std::pair<std::u16string, std::u16string>>{{u"Viewer", u"xdg-open"}}));
    }
}

// A file system mounted at the output or in the earlier install (a memory card) is never entered:
// the install is refused before anything is laid, with what to do; so it is where a folder of the
// earlier install cannot be read (the user may search it, not list it), below which a mount
// cannot be seen, named with the reason. One mounted in a staging folder an earlier install left
// is named where that folder is moved out of the way. The card's file stays as it was. (Where
// nothing can be mounted, InstallFileSystem tests the device check.)
TEST_F(ExtractInstallAsUser, NeverEntersAMountedFileSystem) {
    enum class Mounted {
        OnTheOutput,
        InTheInstall,
        InTheInstallAfresh,
        BelowAnUnreadFolderAfresh,
        InAStagingFolder
    };
    const std::pair<const char*, Mounted> cases[] = {
        {"on the output", Mounted::OnTheOutput},
        {"in the earlier install", Mounted::InTheInstall},
        {"in the earlier install, laid afresh", Mounted::InTheInstallAfresh},
        {"below a folder of the earlier install that cannot be read, laid afresh",
         Mounted::BelowAnUnreadFolderAfresh},
        {"in a staging folder an earlier install left", Mounted::InAStagingFolder},
    };
    // Whether the install in the child reached a step: it marked its staging folder to lay it.
    static bool isLaying = false;
    int round = 0;
    for (const auto& [name, mounted] : cases) {
        SCOPED_TRACE(name);
        const std::string folder = "mounted" + std::to_string(++round);
        demoinstall::InstallOptions options =
            mounted == Mounted::OnTheOutput ? InstallAt(folder) : OverWholeInstall(folder);
        options.fresh =
            mounted == Mounted::InTheInstallAfresh || mounted == Mounted::BelowAnUnreadFolderAfresh;
        options.reached = [](std::string_view) { isLaying = true; };
        const fs::path output = options.output;
        const fs::path staging = fs::path(output).concat(".new");
        const fs::path unread = output / "My Documents/Privat";
        const fs::path card = mounted == Mounted::OnTheOutput        ? output
                              : mounted == Mounted::InAStagingFolder ? staging / "card"
                              : mounted == Mounted::BelowAnUnreadFolderAfresh
                                  ? unread / "card"
                                  : output / "My Documents/card";
        ASSERT_TRUE(fs::create_directories(card));
        if (mounted == Mounted::BelowAnUnreadFolderAfresh) {
            ASSERT_EQ(::chmod(unread.c_str(), 0111), 0);
        }
        if (mounted == Mounted::InAStagingFolder) {
            ASSERT_EQ(demoinstall::MarkOwnFolder(staging, false), "");
        }
        // The card's file; none on the output, which must be empty to be installed in.
        const std::string route = mounted == Mounted::OnTheOutput ? "" : "Gotthard";
        const std::map<std::string, std::string> before = InstallFilesAt(output);
        const InstallChild run = InstallAsUser(
            options, std::chrono::milliseconds::max(),
            [&] {
                if (::unshare(CLONE_NEWNS) != 0 ||
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    ::mount("none", card.c_str(), "tmpfs", 0, nullptr) != 0)
                    return std::string("no file system can be mounted (") + std::strerror(errno) +
                           ")";
                const bool isWritten = route.empty() || InstallPut(card / "Route.txt", route);
                return std::string(isWritten ? "" : "the card is not written");
            },
            std::chrono::seconds(120),
            [&] {
                // Where the card lies once the install has ended, and whether it laid anything.
                const std::string laid = isLaying ? "laid; " : "";
                for (const std::string& beside : InstallLeftBeside(output)) {
                    if (fs::exists(output.parent_path() / beside / "card"))
                        return laid + testdata::ReadHostFile(output.parent_path() / beside /
                                                             "card" / "Route.txt")
                                          .value_or("");
                }
                return laid + testdata::ReadHostFile(card / "Route.txt").value_or("");
            });
        (void)::chmod(unread.c_str(), 0755);
        if (!run.notSetUp.empty())
            GTEST_SKIP() << run.notSetUp;
        INSTALL_AS_USER_OR_SKIP(run);
        EXPECT_EQ(run.after, (mounted == Mounted::InAStagingFolder ? "laid; " : "") + route);
        if (mounted == Mounted::OnTheOutput) {
            EXPECT_EQ(run.problem,
                      output.string() +
                          ": a file system is mounted here; the installer lays the new install "
                          "beside it and puts it in its place by a rename, which a mount point "
                          "does not allow; install into a folder in it (--out " +
                          (output / "install").string() + ") or unmount it; nothing was changed");
            EXPECT_FALSE(fs::exists(fs::path(output).concat(".lock")));
        } else if (mounted == Mounted::InAStagingFolder) {
            const std::vector<std::string> left = InstallLeftBeside(output);
            ASSERT_EQ(left.size(), 1U);
            const std::string leftover = (output.parent_path() / left[0]).string();
            EXPECT_EQ(run.problem,
                      output.string() +
                          ": installed, but folders of the installer's own are left: " + leftover +
                          " (" + leftover +
                          "/card: a file system is mounted here); unmount what is mounted in it "
                          "first (umount), then give yourself write permission to it and remove "
                          "it (chmod -R u+w, then rm -rf), or ask its owner to; later installs "
                          "try again");
            continue;
        } else if (mounted == Mounted::BelowAnUnreadFolderAfresh) {
            EXPECT_EQ(run.problem,
                      unread.string() +
                          ": cannot be read: Permission denied; so the installer cannot tell "
                          "what of yours it holds; give yourself read permission to it (chmod "
                          "u+rx) or move it out of the install, then install again; nothing was "
                          "changed");
        } else {
            EXPECT_EQ(run.problem,
                      output.string() + ": a file system is mounted in it at " + card.string() +
                          ", which the installer neither removes nor carries into the new "
                          "install; unmount it (umount) or move it out of the install (mount "
                          "--move), then install again; nothing was changed");
        }
        EXPECT_EQ(InstallFilesAt(output), before);
        EXPECT_EQ(InstallLeftBeside(output), std::vector<std::string>());
    }
}

// An install killed at any point, timed or at each step of putting it in place, or killed or
// failing at each step of each mark it writes (with the root read-only, three: the staging
// folder's, the new install's with the root's mode, the earlier install's), leaves what the next
// one takes up: it installs, with the user's files, logbook and lists of the earlier install, over
// an install made read-only ("chmod -R a-w") with its modes, and leaves nothing of its own beside
// the output.
TEST_F(ExtractInstallAsUser, InstallsAfterAnInstallKilledAtAnyPoint) {
    const std::u16string record = InstallRecord(u"Vaduz", u"\u00C4ulestrasse", 9.5216F, 47.13898F);
    const std::string logbook =
        testdata::WriteLogbook({{}, {{"Eintrag", "Zweck"}}, {{"Start", "Kundenbesuch"}}});
    demoinstall::InstallOptions options = OverWholeInstall("killed");
    const fs::path output = options.output;
    ASSERT_TRUE(InstallPut(output / "Fahrtenbuch.txt", logbook));
    ASSERT_TRUE(InstallPut(
        output / "PK.ini",
        testdata::WriteListSection("Recent", {record},
                                   testdata::ReadHostFile(output / "PK.ini").value_or(""))));
    ASSERT_TRUE(InstallPut(output / "My Documents/notes.txt", "Reifen wechseln\r\n"));
    InstallWritable(output, false);
    const std::pair<const char*, unsigned> modes[] = {
        {"", 0555}, {"My Documents", 0555}, {"My Documents/notes.txt", 0444}};
    const auto recent = InstallSection(output / "PK.ini", u"Recent");
    ASSERT_FALSE(recent.empty());
    // How long a whole install takes, then kills spread over that time, and at each step.
    const auto start = std::chrono::steady_clock::now();
    const InstallChild whole = InstallAsUser(options);
    INSTALL_AS_USER_OR_SKIP(whole);
    ASSERT_EQ(whole.problem, "");
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    // What stops the install at a step: a kill, or, at a mark's steps, its write failing (no room
    // for a byte) or its rename (the folder made read-only).
    enum class Stop { Kill, WriteFails, RenameFails };
    struct Kill {
        std::string name;
        std::chrono::milliseconds after;
        const char* step; // null: after the time
        int time = 1;     // the step's time: a mark's steps come once for each mark
        Stop stop = Stop::Kill;
        fs::path marked{}; // the folder a mark's step marks
    };
    std::vector<Kill> kills;
    constexpr int kTimedKills = 6;
    for (int kill = 1; kill <= kTimedKills; ++kill) {
        const auto after = took * kill / (kTimedKills + 1);
        kills.push_back({"after " + std::to_string(after.count()) + " ms", after, nullptr});
    }
    for (const char* step : {demoinstall::kStepNewMarked, demoinstall::kStepRootOpened,
                             demoinstall::kStepEarlierMarked, demoinstall::kStepInPlace,
                             demoinstall::kStepUnmarked, demoinstall::kStepModeGiven})
        kills.push_back({std::string("once ") + step, std::chrono::milliseconds::max(), step});
    // The marks written again while the root is read-only: the new install's, its staging folder
    // marked since it was made, with the root's mode (the second mark), and the earlier install's
    // (the third). The first, in a folder just made, TakesAMarkCutShortForNone stops.
    const fs::path staging = fs::path(output).concat(".new");
    const auto max = std::chrono::milliseconds::max();
    const std::string written = std::string("once ") + demoinstall::kStepMarkWritten;
    kills.push_back({written + ", the new install's", max, demoinstall::kStepMarkWritten, 2,
                     Stop::Kill, staging});
    kills.push_back({"writing the new install's mark", max, demoinstall::kStepMarking, 2,
                     Stop::WriteFails, staging});
    kills.push_back({"renaming the new install's mark", max, demoinstall::kStepMarkWritten, 2,
                     Stop::RenameFails, staging});
    kills.push_back({written + ", the earlier install's", max, demoinstall::kStepMarkWritten, 3,
                     Stop::Kill, output});
    kills.push_back({"writing the earlier install's mark", max, demoinstall::kStepMarking, 3,
                     Stop::WriteFails, output});
    for (const Kill& kill : kills) {
        SCOPED_TRACE((kill.stop == Stop::Kill ? "killed " : "failing at ") + kill.name);
        demoinstall::InstallOptions killed = options;
        if (kill.step != nullptr) {
            killed.reached = [&kill, times = 0](std::string_view reached) mutable {
                if (reached != kill.step || ++times != kill.time)
                    return;
                const rlimit none{0, 0};
                if (kill.stop == Stop::Kill)
                    ::raise(SIGKILL);
                else if (kill.stop == Stop::WriteFails)
                    (void)(::signal(SIGXFSZ, SIG_IGN) != SIG_ERR &&
                           ::setrlimit(RLIMIT_FSIZE, &none) == 0);
                else
                    (void)::chmod(kill.marked.c_str(), 0555);
            };
        }
        const InstallChild cut = InstallAsUser(killed, kill.after);
        if (kill.stop != Stop::Kill) {
            // Failing, it says why and leaves the earlier install as it was.
            const bool isWrite = kill.stop == Stop::WriteFails;
            EXPECT_EQ(cut.problem, (kill.marked / (isWrite ? demoinstall::kOwnFolderMarkPart
                                                           : demoinstall::kOwnFolderMark))
                                           .string() +
                                       ": cannot be written: " +
                                       (isWrite ? "File too large" : "Permission denied"));
            EXPECT_EQ(InstallLeftBeside(output), std::vector<std::string>());
            EXPECT_TRUE(!isWrite || !fs::exists(output / demoinstall::kOwnFolderMarkPart));
        } else {
            EXPECT_TRUE(kill.step == nullptr || !cut.isEnded) << "the step is never reached";
        }
        const InstallChild next = InstallAsUser(options);
        ASSERT_EQ(next.problem, "");
        EXPECT_EQ(InstallLeftBeside(output), std::vector<std::string>());
        EXPECT_EQ(testdata::ReadHostFile(output / "Fahrtenbuch.txt"), logbook);
        EXPECT_EQ(InstallSection(output / "PK.ini", u"Recent"), recent);
        EXPECT_EQ(testdata::ReadHostFile(output / "My Documents/notes.txt"), "Reifen wechseln\r\n");
        for (const auto& [path, mode] : modes) {
            struct stat status {};
            ASSERT_EQ(::lstat((output / path).c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, mode) << path;
        }
        const std::string list =
            testdata::ReadHostFile(output / demoinstall::kManifestFile).value_or("");
        EXPECT_TRUE(list.starts_with(demoinstall::kManifestFormat) &&
                    list.ends_with(demoinstall::kManifestEnd));
        EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMark));
        EXPECT_FALSE(fs::exists(output / demoinstall::kOwnFolderMarkPart));
    }
}

// The installer compares the device of each folder it enters with the install's, as "rm
// --one-file-system" does: taken as lying on another device, each folder below is a mount point,
// found and left as it is with what is on it, while the files beside are removed. (A real mount:
// ExtractInstallAsUser.NeverEntersAMountedFileSystem.)
TEST(InstallFileSystem, NeverEntersAFolderOnAnotherDevice) {
    testdata::TempDeviceRoot root;
    const fs::path folder = root.HostPath() / "own";
    for (const char* file : {"navigator", "card/Route.txt", "Data/Liechtenstein/kwa/Net.rd"}) {
        fs::create_directories((folder / file).parent_path());
        ASSERT_TRUE(InstallPut(folder / file, "bytes")) << file;
    }
    ASSERT_EQ(demoinstall::MarkOwnFolder(folder, false), "");
    struct stat status {};
    ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
    const dev_t another = status.st_dev + 1;
    EXPECT_EQ(demoinstall::MountPointsBelow(folder), std::vector<fs::path>());
    const std::vector<fs::path> below = {folder / "Data", folder / "card"};
    EXPECT_EQ(demoinstall::MountPointsBelow(folder, another), below);
    EXPECT_EQ(demoinstall::RemoveInstallFolder(folder, another),
              below[0].string() + ": a file system is mounted here; " + below[1].string() +
                  ": a file system is mounted here");
    std::set<std::string> left;
    for (const auto& [path, bytes] : InstallFilesAt(folder))
        left.insert(path);
    EXPECT_EQ(left,
              (std::set<std::string>{demoinstall::kOwnFolderMark, "Data", "Data/Liechtenstein",
                                     "Data/Liechtenstein/kwa", "Data/Liechtenstein/kwa/Net.rd",
                                     "card", "card/Route.txt"}));
    EXPECT_EQ(demoinstall::RemoveInstallFolder(folder), "");
    EXPECT_FALSE(fs::exists(folder));
}

// The list of an install's own files reads whole only with its end line when it begins with its
// format line; a list of the installer before, with neither, reads as before.
TEST(InstallFileList, ReadsWholeOnlyWithItsEndLine) {
    demoinstall::Digest program;
    program.Add("#!/bin/sh\n");
    const std::string lines = "# comment\n" + demoinstall::ManifestLine(program, "navigator");
    const std::string format = demoinstall::kManifestFormat;
    const std::string end = demoinstall::kManifestEnd;
    const struct {
        const char* name;
        std::string text;
        const char* damage; // empty: reads whole
    } cases[] = {
        {"whole", format + lines + end, ""},
        {"whole, CR LF",
         format + "# comment\r\n" + demoinstall::ManifestLine(program, "navigator") +
             "# end of the list\r\n",
         ""},
        {"cut right after a line", format + lines, "it ends before its end line (cut short)"},
        {"a line after its end line", format + lines + end + lines, "line 5 follows its end line"},
        {"of the installer before", lines, ""},
        {"of the installer before, cut in a line", lines.substr(0, lines.size() - 3),
         "its last line is cut short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const demoinstall::ParsedManifest parsed = demoinstall::ParseManifest(c.text);
        EXPECT_EQ(parsed.damage, c.damage);
        EXPECT_EQ(parsed.files.has_value(), *c.damage == 0);
        if (parsed.files) {
            EXPECT_EQ(*parsed.files, (demoinstall::Manifest{{"navigator", program}}));
        }
    }
}

} // namespace
