// The receiver supervision over the real navigation server (on a written data folder and the map
// engine facade) and the receiver library's stand-in, on a virtual clock. The receiver object is
// process-wide, so every test runs in a process of its own.
#include "app/startup/logbook.h"
#include "app/startup/receiversupervisor.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/datafolderwriter.h"
#include "testdata/freshprocess.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr MapPoint kSupervisedOrigin{1'260'000, 5'300'000};
constexpr char16_t kSupervisedServerSettings[] = u"\\Windows\\Quarn.ini";
constexpr char16_t kSupervisedScenario[] = u"\\Windows\\gpstmc.ini";
constexpr char kSupervisedTrack[] = "\\gps\\track.nmea";

// Waits in host time (threads on the virtual clock need a moment to react).
bool WaitForSupervised(const std::function<bool()>& isDone, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!isDone()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::u16string LastKnownFrequencyText() {
    return IniProfile::GetString(u"Preferences", u"LastKnownTMCFreq",
                                 AppPaths::GetSettingsFilePath().c_str(), u"");
}

void WriteLastKnownFrequency(const char16_t* value) {
    (void)IniProfile::WriteString(u"Preferences", u"LastKnownTMCFreq", value,
                                  AppPaths::GetSettingsFilePath().c_str());
}

testdata::ScenarioStation SupervisedStation(unsigned frequency, int tmcHealth) {
    testdata::ScenarioStation station;
    station.frequency = frequency;
    station.programmeId = 0xD3C2;
    station.name = "SWR3";
    station.rdsHealth = 3;
    station.tmcHealth = tmcHealth;
    return station;
}

// Cycles at the grid's first node; frozen: every cycle at 12:00:00, else a second apart;
// without time: no time or date at all.
std::string SupervisedTrack(bool isFrozen, bool hasTime, int cycles = 10) {
    const GeoPoint start = MapPointToDegrees(kSupervisedOrigin);
    testdata::NmeaWriter nmea;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        testdata::NmeaFixValues values;
        values.second = isFrozen ? 0 : cycle;
        values.hasTime = hasTime;
        values.latitude = start.y + cycle * 0.0001;
        values.longitude = start.x;
        values.satellites = 4 + cycle % 5;
        nmea.AddCycle(values);
    }
    return nmea.Build();
}

// A grid database, the server over the facade, the process-wide receiver object and the
// supervisor; the test's thread is the user-interface thread.
class SupervisedWorld {
public:
    explicit SupervisedWorld(MapPoint origin = kSupervisedOrigin) {
        testdata::DataFolderDatabase database;
        database.folder = u"\\Data\\Grid";
        database.world = testdata::RoadWorld::Grid(4, 3, 2000, origin);
        auto written = testdata::DataFolderWriter(u"\\Data")
                           .AddDatabase(std::move(database))
                           .Setting("Properties", "Language", "0")
                           .Setting("GPS", "AutoLog", "0")
                           .AdvisorFiles(std::string(NAV_ADVISOR_DATA_DIR) + "/ConfigFiles")
                           .WriteTo(root, kSupervisedServerSettings);
        EXPECT_TRUE(written.has_value());
        if (written) {
            world = written->back().world;
        }
        EXPECT_TRUE(root.InstallModule(u"ziVur.dll"));
        EXPECT_TRUE(root.InstallModule(platform::kGpsTmcModuleName));
        EXPECT_TRUE(root.WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        facade = MapEngineFacade::Create(512);
        server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
        receiver = GpsTmcAdapter::Instance();
        EXPECT_TRUE(server);
        EXPECT_TRUE(facade && facade->IsMapSetOpen()) << "the server opens the map set";
        EXPECT_TRUE(receiver);
        if (server) {
            QuietSerialDevice();
        }
    }
    ~SupervisedWorld() {
        supervisor.reset();
        if (receiver) {
            receiver->Close();
        }
        server.Release();
        facade.Release();
        platform::SetExecutablePath(u"");
    }
    SupervisedWorld(const SupervisedWorld&) = delete;
    SupervisedWorld& operator=(const SupervisedWorld&) = delete;

    // The supervisor on the simulated receiver's port 0.
    ReceiverSupervisor& Make(bool isSimulation = false) {
        supervisor = std::make_unique<ReceiverSupervisor>(server, receiver, isSimulation);
        supervisor->SetComPort(0);
        return *supervisor;
    }

    // The receiver's scenario with the track; stations as given.
    void WriteScenario(const std::string& track,
                       const std::vector<testdata::ScenarioStation>& stations,
                       int notifyAfterMs = -1) {
        ASSERT_TRUE(root.WriteFile(u"\\gps\\track.nmea", track));
        testdata::ReceiverScenarioWriter scenario;
        scenario.SetReplay(kSupervisedTrack, 1).SetTuner(100, 2000);
        if (notifyAfterMs >= 0) {
            scenario.SetNotifyAfter(static_cast<unsigned>(notifyAfterMs));
        }
        for (const testdata::ScenarioStation& station : stations) {
            scenario.AddStation(station);
        }
        ASSERT_TRUE(root.WriteFile(kSupervisedScenario, scenario.Build()));
    }

    // Moves the clock on; the library catches up and this thread handles what arrived.
    void Step(std::uint64_t ms) {
        clock.Advance(ms);
        platform::WaitForGpsTmcCatchUp();
        std::this_thread::sleep_for(1ms);
        (void)driver.RunUntilIdle();
    }
    // Steps 100 ms at a time until isDone; false when it never was within maxMs of virtual time.
    bool StepUntil(const std::function<bool()>& isDone, std::uint64_t maxMs = 60000) {
        for (std::uint64_t ms = 0; !isDone(); ms += 100) {
            if (ms >= maxMs) {
                return false;
            }
            Step(100);
        }
        return true;
    }
    // Until the reconnect thread waits out its 3000 ms.
    [[nodiscard]] bool WaitUntilReconnectWaits() const {
        return WaitForSupervised([this] { return supervisor->IsReconnectWaiting(); });
    }
    [[nodiscard]] bool WaitUntilReconnectEnds() const {
        return WaitForSupervised([this] { return !supervisor->IsReconnecting(); });
    }

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    testdata::TempDeviceRoot root;
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    platform::ScreenDriver driver{&clock};
    testdata::RoadWorld world;
    six::RefCntPtr<MapEngineFacade> facade;
    Onboard::OnboardServerPtr server;
    CountedPtr<GpsTmcAdapter> receiver;
    std::unique_ptr<ReceiverSupervisor> supervisor;

private:
    // The server's serial device finds no port: it publishes an empty fix at its start and one
    // as it stops. It gives way to the alternative device (reading nothing until the receiver
    // starts) before the test begins, and its empty fixes are published by then.
    void QuietSerialDevice() {
        server->PositionEvent.Connect(this, &SupervisedWorld::CountPosition);
        GpsReceiverPtr alternative;
        server->OpenAlternativeGps(alternative);
        EXPECT_TRUE(alternative);
        EXPECT_TRUE(WaitForSupervised([this] { return m_positions.load() > 0; }));
        for (int seen = -1; seen != m_positions.load();) {
            seen = m_positions.load();
            std::this_thread::sleep_for(100ms);
        }
        server->PositionEvent.Disconnect(this);
    }
    void CountPosition(const MatchedPosition*) { ++m_positions; }

    std::atomic<int> m_positions{0};
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// A window whose timer 13 goes to the supervisor, as the main window's does.
class ClearRouteTimerWindow {
public:
    explicit ClearRouteTimerWindow(ReceiverSupervisor& supervisor)
        : m_supervisor(supervisor) {
        ConnectMessageHandler(m_window.map, WM_TIMER, this, &ClearRouteTimerWindow::OnTimer);
        (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"Main", 0, 0, 0, 1, 1, nullptr,
                              nullptr, platform::ResourceInstance(), &m_window);
    }
    [[nodiscard]] HWND Get() const { return m_window.window; }
    [[nodiscard]] int Ticks() const { return m_ticks; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
        if (wParam == ReceiverSupervisor::kClearRouteTimer) {
            ++m_ticks;
            m_supervisor.OnClearRouteTimer(m_window.window);
            *handled = true;
        }
    }

    ReceiverSupervisor& m_supervisor;
    OwnerHandlerList m_handlers;
    WindowHandle m_window;
    int m_ticks = 0;
};

// What the GPS indicator's monitor told, and on which thread.
class FixClassRecorder {
public:
    FixClassRecorder() {
        GpsStateMonitor::Instance().GetEvent().Connect(this, &FixClassRecorder::On);
    }
    ~FixClassRecorder() { GpsStateMonitor::Instance().GetEvent().Disconnect(this); }
    FixClassRecorder(const FixClassRecorder&) = delete;
    FixClassRecorder& operator=(const FixClassRecorder&) = delete;

    void On(const int* fixClass) {
        std::lock_guard lock(m_mutex);
        satellites.push_back(GpsStateMonitor::Instance().GetSatelliteCount());
        classes.push_back(*fixClass);
        threads.push_back(GetCurrentThreadId());
    }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    std::mutex m_mutex;
    std::vector<int> satellites;
    std::vector<int> classes;
    std::vector<DWORD> threads;

private:
    OwnerHandlerList m_handlers;
};

TEST(ReceiverSupervision, RetriesEvery3000MsUntilTheReceiverOpensThenReadsItLive) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        ReceiverSupervisor& supervisor = w.Make();
        TmcMonitor& monitor = TmcMonitor::Instance();
        EXPECT_FALSE(supervisor.StartReceiver(false)) << "no gpstmc.ini: the library fails";
        EXPECT_EQ(monitor.GetReceiverState(), 1);
        EXPECT_EQ(monitor.GetReceiverFlag(), 1);
        ASSERT_TRUE(supervisor.IsReconnecting());
        GpsStateMonitor& gpsState = GpsStateMonitor::Instance();
        for (int attempt = 0; attempt < 3; ++attempt) {
            SCOPED_TRACE(attempt);
            ASSERT_TRUE(w.WaitUntilReconnectWaits());
            MatchedPosition fix{};
            fix.fix.hdop = 1.0F;
            gpsState.OnPosition(fix);
            ASSERT_EQ(gpsState.GetFixClass(), 2);
            w.clock.Advance(ReceiverSupervisor::kReconnectWaitMs);
            ASSERT_TRUE(WaitForSupervised([&] {
                (void)w.driver.RunUntilIdle();
                return gpsState.GetFixClass() == 0;
            })) << "each attempt shows the missing receiver";
            EXPECT_TRUE(supervisor.IsReconnecting());
        }
        ASSERT_TRUE(w.WaitUntilReconnectWaits());
        w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(875, 2)});
        w.clock.Advance(ReceiverSupervisor::kReconnectWaitMs - 1);
        std::this_thread::sleep_for(20ms);
        EXPECT_TRUE(supervisor.IsReconnectWaiting()) << "the wait is not over yet";
        w.clock.Advance(1);
        ASSERT_TRUE(w.WaitUntilReconnectEnds());
        EXPECT_EQ(monitor.GetReceiverFlag(), 0) << "RDS is received";
        const GpsReceiverPtr gps = supervisor.GetGpsReceiver();
        ASSERT_TRUE(gps);
        EXPECT_EQ(gps->GetSentenceRate(), ReceiverSupervisor::kLiveSentenceRate);
        EXPECT_EQ(w.receiver->ReadTunerFrequency(), 875U);
        // The replayed sentences come in as positions on this thread.
        EXPECT_TRUE(w.StepUntil([&] { return supervisor.GetLastPosition()->fix.utcTime != 0; }));
        EXPECT_GT(supervisor.GetLastPosition()->fix.hdop, 0.0F);
    });
}

TEST(ReceiverSupervision, OpensAtTheLastKnownFrequencyOfAtLeast875) {
    const struct {
        const char16_t* stored;
        DWORD opened;
    } cases[] = {{u"870", 875}, {u"", 875}, {u"abc", 875}, {u"875", 875}, {u"1012", 1012}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "opens at " << c.opened);
        testdata::RunInFreshProcess([&c] {
            SupervisedWorld w;
            w.WriteScenario(SupervisedTrack(false, true), {});
            if (*c.stored != 0) {
                WriteLastKnownFrequency(c.stored);
            }
            ReceiverSupervisor& supervisor = w.Make();
            ASSERT_TRUE(supervisor.StartReceiver(false));
            EXPECT_EQ(w.receiver->ReadTunerFrequency(), c.opened);
            EXPECT_EQ(TmcMonitor::Instance().GetReceiverState(), 2);
            EXPECT_FALSE(supervisor.IsReconnecting());
        });
    }
}

// At the first start and at a restart (the presettings saved), the tuner supervisor's check,
// which comes at once on its own thread, finds the station the receiver opened on: it starts no
// search that would leave it. A check made just as the library opens (the thread's, had it been
// started then) finds the supervisor not yet supervising, or what it found undone once it is.
TEST(ReceiverSupervision, ShowsTheStationAndStoresItsFrequencyOnceTmcIsReceived) {
    for (const int starts : {1, 2}) {
        SCOPED_TRACE(testing::Message() << starts << " starts");
        testdata::RunInFreshProcess([starts] {
            SupervisedWorld w;
            w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(875, 2)});
            WriteLastKnownFrequency(u"870");
            ReceiverSupervisor& supervisor = w.Make();
            const six::RefCntPtr<TmcReceiver> tmc = w.server->GetTmcReceiver();
            ASSERT_TRUE(tmc);
            TunerSupervisor& tuner = tmc->GetSupervisor();
            for (int start = 0; start < starts; ++start) {
                std::uint32_t checks = tuner.GetCheckCount();
                platform::SetGpsTmcInitCall([&tuner, &checks] {
                    (void)tuner.Check();
                    checks = tuner.GetCheckCount();
                });
                const bool isStarted = supervisor.StartReceiver(false);
                platform::SetGpsTmcInitCall({});
                ASSERT_TRUE(isStarted);
                // The thread's first check after the library opened.
                ASSERT_TRUE(WaitForSupervised([&] { return tuner.GetCheckCount() > checks; }));
                EXPECT_EQ(tuner.GetLastResult(), 0) << "start " << start;
            }
            w.Step(0);
            TmcMonitor& monitor = TmcMonitor::Instance();
            EXPECT_EQ(monitor.GetStatusText(), u"Swr3 87.5 MHz");
            EXPECT_EQ(LastKnownFrequencyText(), u"870") << "TMC is still being acquired";
            // Timer 2 follows the TMC reception: acquiring (1) is "running", received (2) is 3.
            supervisor.OnReceiverTimer();
            EXPECT_EQ(monitor.GetReceiverState(), 2);
            ASSERT_TRUE(w.StepUntil([&] { return LastKnownFrequencyText() == u"875"; }, 6000))
                << "the station is announced again every 5 s";
            supervisor.OnReceiverTimer();
            EXPECT_EQ(monitor.GetReceiverState(), 3);
            EXPECT_EQ(monitor.GetReceiverFlag(), 0);
        });
    }
}

// While TMC is received the station is announced every 5 s; the settings file is rewritten only
// when the frequency it holds differs.
TEST(ReceiverSupervision, RewritesTheSettingsFileOnlyForAnotherTmcFrequency) {
    const struct {
        const char* name;
        const char16_t* stored; // null: the key is missing
        bool isRewritten;
    } cases[] = {
        {"the same frequency", u"875", false},
        {"another frequency", u"870", true},
        {"none stored", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RunInFreshProcess([&c] {
            SupervisedWorld w;
            w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(875, 2)});
            const std::u16string settings = AppPaths::GetSettingsFilePath();
            (void)IniProfile::WriteString(u"Preferences", u"Units", u"1", settings.c_str());
            if (c.stored != nullptr) {
                WriteLastKnownFrequency(c.stored);
            }
            const std::filesystem::path file = w.root.HostPathOf(settings);
            const auto markedTime = std::chrono::floor<std::chrono::seconds>(
                std::filesystem::file_time_type::clock::now() - 24h);
            // The file's time moves on with every rewrite.
            const auto isRewrittenSinceMarked = [&] {
                return std::filesystem::last_write_time(file) != markedTime;
            };
            ReceiverSupervisor& supervisor = w.Make();
            ASSERT_TRUE(supervisor.StartReceiver(false));
            w.Step(0);
            std::filesystem::last_write_time(file, markedTime);
            ASSERT_TRUE(w.StepUntil([] { return TmcMonitor::Instance().GetStatusText() != u""; }));
            w.Step(16000); // three announcements at least, TMC received
            EXPECT_EQ(w.receiver->GetTmcHealth(), 2);
            EXPECT_EQ(LastKnownFrequencyText(), u"875");
            EXPECT_EQ(isRewrittenSinceMarked(), c.isRewritten);
            std::filesystem::last_write_time(file, markedTime);
            w.Step(16000);
            EXPECT_FALSE(isRewrittenSinceMarked()) << "the frequency is stored by now";
        });
    }
}

TEST(ReceiverSupervision, StartsAGpsLogEachTimeWithAutoLog) {
    for (const int autoLog : {0, 1, 2}) {
        SCOPED_TRACE(autoLog);
        testdata::RunInFreshProcess([autoLog] {
            SupervisedWorld w;
            w.WriteScenario(SupervisedTrack(false, true), {});
            (void)IniProfile::WriteInt(u"GPS", u"AutoLog", autoLog,
                                       AppPaths::GetServerSettingsFilePath().c_str());
            ReceiverSupervisor& supervisor = w.Make();
            ASSERT_TRUE(supervisor.StartReceiver(false));
            const std::u16string log = AppPaths::MakeGpsLogFileName();
            EXPECT_EQ(w.root.Exists(log), autoLog == 1);
            w.clock.Advance(60000);
            ASSERT_TRUE(supervisor.StartReceiver(false));
            EXPECT_NE(AppPaths::MakeGpsLogFileName(), log);
            EXPECT_EQ(w.root.Exists(AppPaths::MakeGpsLogFileName()), autoLog == 1);
        });
    }
}

TEST(ReceiverSupervision, SimulationOpensPort0At875AndNeverReconnects) {
    for (const bool hasScenario : {true, false}) {
        SCOPED_TRACE(hasScenario);
        testdata::RunInFreshProcess([hasScenario] {
            SupervisedWorld w;
            if (hasScenario) {
                w.WriteScenario(SupervisedTrack(false, true), {});
            }
            WriteLastKnownFrequency(u"1012");
            ReceiverSupervisor& supervisor = w.Make(true);
            supervisor.SetComPort(3); // no such port: only port 0 opens
            EXPECT_EQ(supervisor.StartReceiver(true), hasScenario);
            if (hasScenario) {
                EXPECT_EQ(w.receiver->ReadTunerFrequency(), 875U);
            }
            EXPECT_EQ(TmcMonitor::Instance().GetReceiverState(), hasScenario ? 2 : 1);
            EXPECT_FALSE(supervisor.IsReconnecting());
            supervisor.OnReceiverLost();
            EXPECT_FALSE(supervisor.IsReconnecting());
            supervisor.ControlReconnectThread(true);
            supervisor.ControlReconnectThread(false);
            EXPECT_FALSE(supervisor.IsReconnecting());
        });
    }
}

// Saving the presettings in simulation restarts the receiver while a drive is replayed (the
// 'L' key): the drive goes on from where the car stood, north of all the receiver's own fixes.
TEST(ReceiverSupervision, ARestartInSimulationLeavesTheReplayedDriveGoingOn) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        w.WriteScenario(SupervisedTrack(false, true, 60), {});
        const GeoPoint start = MapPointToDegrees(kSupervisedOrigin);
        testdata::NmeaWriter drive;
        for (int cycle = 0; cycle < 60; ++cycle) {
            testdata::NmeaFixValues values;
            values.second = cycle;
            values.latitude = start.y + 0.01 + cycle * 0.0001;
            values.longitude = start.x;
            drive.AddCycle(values);
        }
        ASSERT_TRUE(w.root.WriteFile(u"\\drive.nmea", drive.Build()));
        ReceiverSupervisor& supervisor = w.Make(true);
        ASSERT_TRUE(supervisor.StartReceiver(true));
        const GpsReceiverPtr gps = supervisor.GetGpsReceiver();
        ASSERT_TRUE(gps);
        gps->OpenReplayFile(u"\\drive.nmea");
        const auto latitude = [&supervisor] { return supervisor.GetLastPosition()->fix.latitude; };
        ASSERT_TRUE(w.StepUntil([&] { return latitude() > start.y + 0.0105F; }));
        const float stood = latitude();
        ASSERT_TRUE(supervisor.StartReceiver(true));
        float lowest = stood;
        for (int step = 0; step < 50; ++step) {
            w.Step(100);
            lowest = std::min(lowest, latitude());
        }
        EXPECT_EQ(lowest, stood) << "the car never moved back";
        EXPECT_GT(latitude(), stood) << "the drive went on";
    });
}

// The watchdog counts receiver ticks that see the last fix time of the one before: the first
// tick and a time of 0 never count, and neither does a tick while the receiver is marked lost
// (then only the TMC reception acts) or one in simulation. Where no reconnection comes, the GPS
// state keeps its fix while positions come, and loses it when none has come for kSilentTicks
// ticks (a replay file that holds RDS groups instead of sentences).
TEST(ReceiverSupervision, WatchdogReopensAfter30TicksOfOneFixTime) {
    enum class Fixes { FrozenTrack, AdvancingTrack, WithoutTime, RdsGroupReplay };
    const struct {
        const char* name;
        Fixes fixes;
        bool isSimulation;
        bool isMarkedLost;
        bool reconnects;
        int fixClass; // after kSilentTicks ticks, unless it reconnects
    } cases[] = {
        {"frozen", Fixes::FrozenTrack, false, false, true, 2},
        {"advancing", Fixes::AdvancingTrack, false, false, false, 2},
        {"no time in the sentences", Fixes::WithoutTime, false, false, false, 2},
        {"simulation", Fixes::FrozenTrack, true, false, false, 2},
        {"marked lost", Fixes::FrozenTrack, false, true, false, 2},
        {"replay of RDS groups", Fixes::RdsGroupReplay, true, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RunInFreshProcess([&c] {
            SupervisedWorld w;
            // Sentences whose time fields are empty deliver fixes without a time.
            const bool isTimeless = c.fixes == Fixes::WithoutTime;
            w.WriteScenario(SupervisedTrack(c.fixes == Fixes::FrozenTrack, !isTimeless, 60), {});
            ReceiverSupervisor& supervisor = w.Make(c.isSimulation);
            ASSERT_TRUE(supervisor.StartReceiver(c.isSimulation));
            ASSERT_TRUE(w.StepUntil([&] { return supervisor.GetLastPosition()->fix.hdop > 0.0F; }));
            EXPECT_EQ(supervisor.GetLastPosition()->fix.utcTime != 0, !isTimeless);
            if (c.fixes == Fixes::RdsGroupReplay) {
                const std::string groups = testdata::RdsGroupFileWriter()
                                               .Add({0xD3C2, 0x8506, 0x4C21, 0x1234})
                                               .SetCopies(40)
                                               .Build();
                ASSERT_TRUE(w.root.WriteFile(u"\\groups.txt", groups));
                const GpsReceiverPtr gps = supervisor.GetGpsReceiver();
                ASSERT_TRUE(gps);
                gps->OpenReplayFile(u"\\groups.txt");
                w.Step(ReceiverSupervisor::kReceiverTimerMs); // a position on its way lands
            }
            TmcMonitor& monitor = TmcMonitor::Instance();
            if (c.isMarkedLost) {
                monitor.SetReceiverFlag(1);
            }
            for (int tick = 1; tick <= ReceiverSupervisor::kWatchdogTicks; ++tick) {
                SCOPED_TRACE(tick);
                supervisor.OnReceiverTimer();
                ASSERT_FALSE(supervisor.IsReconnecting());
                w.Step(ReceiverSupervisor::kReceiverTimerMs);
            }
            supervisor.OnReceiverTimer();
            EXPECT_EQ(supervisor.IsReconnecting(), c.reconnects);
            // No station: no TMC reception, so a receiver marked lost stays so.
            EXPECT_EQ(monitor.GetReceiverState(), c.isMarkedLost ? 1 : 2);
            EXPECT_EQ(monitor.GetReceiverFlag(), c.isMarkedLost ? 1 : 0);
            if (c.reconnects) {
                return;
            }
            for (int tick = ReceiverSupervisor::kWatchdogTicks + 2;
                 tick <= ReceiverSupervisor::kSilentTicks; ++tick) {
                w.Step(ReceiverSupervisor::kReceiverTimerMs);
                supervisor.OnReceiverTimer();
            }
            EXPECT_EQ(GpsStateMonitor::Instance().GetFixClass(), c.fixClass);
        });
    }
}

TEST(ReceiverSupervision, AReceiverMarkedLostRecoversThroughTmcReceptionAlone) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(875, 2)});
        ReceiverSupervisor& supervisor = w.Make();
        ASSERT_TRUE(supervisor.StartReceiver(false));
        w.Step(2000); // TMC acquired
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetReceiverFlag(1);
        monitor.SetReceiverState(1);
        supervisor.OnReceiverTimer();
        EXPECT_EQ(monitor.GetReceiverFlag(), 0);
        EXPECT_EQ(monitor.GetReceiverState(), 2) << "nothing more in this tick";
        supervisor.OnReceiverTimer();
        EXPECT_EQ(monitor.GetReceiverState(), 3);
    });
}

TEST(ReceiverSupervision, TheReceiverReportingItsLossIsReopened) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(875, 2)}, 50);
        ReceiverSupervisor& supervisor = w.Make();
        FixClassRecorder recorder;
        ASSERT_TRUE(supervisor.StartReceiver(false));
        ASSERT_TRUE(w.StepUntil([&] { return supervisor.IsReconnecting(); }, 1000));
        TmcMonitor& monitor = TmcMonitor::Instance();
        EXPECT_EQ(monitor.GetReceiverFlag(), 1);
        EXPECT_EQ(monitor.GetReceiverState(), 1);
        EXPECT_EQ(GpsStateMonitor::Instance().GetFixClass(), 0) << "the GPS indicator shows it";
        ASSERT_TRUE(w.WaitUntilReconnectWaits());
        w.clock.Advance(ReceiverSupervisor::kReconnectWaitMs);
        ASSERT_TRUE(w.WaitUntilReconnectEnds());
        EXPECT_EQ(monitor.GetReceiverFlag(), 0);
        EXPECT_EQ(supervisor.GetGpsReceiver()->GetSentenceRate(),
                  ReceiverSupervisor::kLiveSentenceRate);
        std::lock_guard lock(recorder.m_mutex);
        for (const DWORD thread : recorder.threads) {
            EXPECT_EQ(thread, GetCurrentThreadId());
        }
    });
}

// Suppression ends a running thread and remembers it; lifting it restarts only what it ended.
TEST(ReceiverSupervision, ControlReconnectThreadRestartsOnlyAThreadItStopped) {
    for (const bool wasRunning : {true, false}) {
        SCOPED_TRACE(wasRunning);
        testdata::RunInFreshProcess([wasRunning] {
            SupervisedWorld w;
            ReceiverSupervisor& supervisor = w.Make();
            if (wasRunning) {
                EXPECT_FALSE(supervisor.StartReceiver(false));
                ASSERT_TRUE(w.WaitUntilReconnectWaits());
            }
            ASSERT_EQ(supervisor.IsReconnecting(), wasRunning);
            const DWORD tick = GetTickCount();
            supervisor.ControlReconnectThread(true);
            EXPECT_FALSE(supervisor.IsReconnecting()) << "ended and waited for";
            supervisor.OnReceiverLost();
            EXPECT_FALSE(supervisor.IsReconnecting()) << "suppressed";
            EXPECT_FALSE(supervisor.StartReceiver(false));
            EXPECT_FALSE(supervisor.IsReconnecting()) << "suppressed";
            supervisor.ControlReconnectThread(false);
            EXPECT_EQ(supervisor.IsReconnecting(), wasRunning);
            EXPECT_EQ(GetTickCount(), tick);
            supervisor.ControlReconnectThread(false);
            supervisor.OnReceiverLost();
            EXPECT_TRUE(supervisor.IsReconnecting()) << "no longer suppressed";
        });
    }
}

TEST(ReceiverSupervision, QuitEndsTheWaitAtOnceAndEveryLaterThreadAtItsStart) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        ReceiverSupervisor& supervisor = w.Make();
        EXPECT_FALSE(supervisor.StartReceiver(false));
        ASSERT_TRUE(w.WaitUntilReconnectWaits());
        const DWORD tick = GetTickCount();
        supervisor.OnQuit();
        EXPECT_FALSE(supervisor.IsReconnecting());
        supervisor.OnReceiverLost();
        EXPECT_TRUE(w.WaitUntilReconnectEnds()) << "the quit event ends it before its wait";
        supervisor.StopReconnectThread();
        EXPECT_EQ(GetTickCount(), tick);
    });
}

TEST(ReceiverSupervision, QuitStoresTheTunedFrequencyOnlyWithTmcAndClosesTheReceiver) {
    for (const int tmcHealth : {2, 1}) {
        SCOPED_TRACE(tmcHealth);
        testdata::RunInFreshProcess([tmcHealth] {
            SupervisedWorld w;
            w.WriteScenario(SupervisedTrack(false, true), {SupervisedStation(1012, tmcHealth)});
            WriteLastKnownFrequency(u"1012");
            ReceiverSupervisor& supervisor = w.Make();
            ASSERT_TRUE(supervisor.StartReceiver(false));
            w.Step(2000);
            WriteLastKnownFrequency(u"0");
            supervisor.OnQuit();
            EXPECT_EQ(LastKnownFrequencyText(), tmcHealth == 2 ? u"1012" : u"0");
            EXPECT_EQ(w.receiver->ReadTunerFrequency(), 0U) << "closed";
        });
    }
}

TEST(ReceiverSupervision, Timer13ClearsTheRouteOnce) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        ReceiverSupervisor& supervisor = w.Make();
        const GeoPoint start = w.world.PointAlong(0, 1, 0.1);
        const GeoPoint end = w.world.PointAlong(2, 3, 0.9);
        const std::uint32_t startId = w.world.ElementBetween(0, 1);
        const std::uint32_t endId = w.world.ElementBetween(2, 3);
        const MatchedPosition here =
            testdata::MatchedPositionBuilder()
                .Fix(start)
                .OnStreet(startId, start, w.world.Position(0), w.world.Position(1))
                .Build();
        RoutePositionPtr destination;
        (void)w.server->CreatePositionDestination(destination, &endId, &end);
        Onboard::RouteRequest request;
        request.destination = destination;
        RouteRequestResult route;
        ASSERT_EQ(w.server->RequestRoute(route, &here, request).status, routestatus::kFound);
        const auto flaggedAhead = [&] {
            const std::vector<std::uint32_t>* flagged = w.server->AvoidRoadAhead(100000, false);
            return flagged != nullptr ? flagged->size() : 0U;
        };
        ASSERT_GT(flaggedAhead(), 0U) << "the route lies ahead";
        ClearRouteTimerWindow window(supervisor);
        ASSERT_NE(SetTimer(window.Get(), ReceiverSupervisor::kClearRouteTimer, 3000, nullptr), 0U);
        (void)w.driver.StepClock(2999);
        EXPECT_EQ(window.Ticks(), 0);
        for (int step = 0; step < 4; ++step) {
            (void)w.driver.StepClock(3000);
        }
        EXPECT_EQ(window.Ticks(), 1);
        EXPECT_EQ(flaggedAhead(), 0U) << "no route any more";
    });
}

// Positions that the GPS worker publishes at 20 Hz reach the GPS state monitor, the last
// position and the distance hook on the user-interface thread, newest last, however the
// posted messages were merged.
TEST(ReceiverSupervision, WorkerPositionsReachTheMonitorOnTheUserInterfaceThreadLatestLast) {
    testdata::RunInFreshProcess([] {
        SupervisedWorld w;
        ReceiverSupervisor& supervisor = w.Make();
        FixClassRecorder recorder;
        std::vector<double> hookedLongitudes;
        std::vector<DWORD> hookThreads;
        supervisor.SetDistanceHook([&](double longitude, double) {
            hookedLongitudes.push_back(longitude);
            hookThreads.push_back(GetCurrentThreadId());
        });
        constexpr int kPositions = 200;
        constexpr int kBurst = 4; // 4 positions every 200 ms
        std::atomic<bool> isDone{false};
        std::thread worker([&] {
            for (int i = 1; i <= kPositions; ++i) {
                MatchedPosition position =
                    testdata::MatchedPositionBuilder()
                        .Fix({static_cast<float>(i), 47.0F})
                        .OnStreet(7, {static_cast<float>(i), 47.0F}, {0.0F, 47.0F}, {300.0F, 47.0F})
                        .Build();
                position.fix.hdop = 1.0F;
                position.fix.satellites = static_cast<std::uint16_t>(i);
                w.server->PositionEvent.Emit(&position);
                if (i % kBurst == 0) {
                    Sleep(200);
                }
            }
            isDone = true;
        });
        while (!isDone) {
            w.clock.Advance(50);
            std::this_thread::sleep_for(200us);
            (void)w.driver.RunUntilIdle();
        }
        worker.join();
        (void)w.driver.RunUntilIdle();

        const DWORD uiThread = GetCurrentThreadId();
        std::lock_guard lock(recorder.m_mutex);
        ASSERT_FALSE(recorder.satellites.empty());
        EXPECT_EQ(recorder.satellites.back(), kPositions);
        for (std::size_t k = 0; k < recorder.satellites.size(); ++k) {
            EXPECT_EQ(recorder.threads[k], uiThread);
            if (k > 0) {
                EXPECT_GT(recorder.satellites[k], recorder.satellites[k - 1]);
            }
        }
        EXPECT_EQ(supervisor.GetLastPosition()->fix.satellites, kPositions);
        ASSERT_FALSE(hookedLongitudes.empty());
        EXPECT_EQ(hookedLongitudes.back(), kPositions);
        for (std::size_t k = 0; k < hookedLongitudes.size(); ++k) {
            EXPECT_EQ(hookThreads[k], uiThread);
            if (k > 0) {
                EXPECT_GT(hookedLongitudes[k], hookedLongitudes[k - 1]);
            }
        }
    });
}

// The distance hook gets a delivered position only with a fix (0 or more) matched to a street.
TEST(ReceiverSupervision, TheDistanceHookTakesMatchedFixesOnly) {
    const struct {
        float hdop;
        bool isMatched;
        bool isHooked;
    } cases[] = {{1.2F, true, true},
                 {0.0F, true, true},
                 {-1.0F, true, false},
                 {-2.0F, true, false},
                 {1.2F, false, false}};
    testdata::RunInFreshProcess([&cases] {
        SupervisedWorld w;
        ReceiverSupervisor& supervisor = w.Make();
        std::vector<std::pair<double, double>> hooked;
        supervisor.SetDistanceHook(
            [&](double longitude, double latitude) { hooked.emplace_back(longitude, latitude); });
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.hdop << " " << c.isMatched);
            hooked.clear();
            testdata::MatchedPositionBuilder builder;
            builder.Fix({9.5F, 47.1F});
            if (c.isMatched) {
                builder.OnStreet(11, {9.25F, 47.5F}, {9.0F, 47.5F}, {9.5F, 47.5F});
            }
            MatchedPosition position = builder.Build();
            position.fix.hdop = c.hdop;
            w.server->PositionEvent.Emit(&position);
            EXPECT_TRUE(hooked.empty()) << "not before the user-interface thread takes it";
            (void)w.driver.RunUntilIdle();
            EXPECT_EQ(supervisor.GetLastPosition()->fix.hdop, c.hdop);
            if (c.isHooked) {
                ASSERT_EQ(hooked.size(), 1U);
                EXPECT_EQ(hooked[0].first, 9.25);
                EXPECT_EQ(hooked[0].second, 47.5);
            } else {
                EXPECT_TRUE(hooked.empty());
            }
        }
    });
}

// The kilometres of a logbook line's total ("12,3 km"); -1 when the field is missing.
double SupervisedLogbookKilometres(const std::string& line) {
    std::size_t at = 0;
    for (int field = 0; field < 9 && at != std::string::npos; ++field) {
        at = line.find('\t', at);
        at = at == std::string::npos ? at : at + 1;
    }
    if (at == std::string::npos) {
        return -1.0;
    }
    std::string total = line.substr(at, line.find(' ', at) - at);
    const std::size_t comma = total.find(',');
    if (comma == std::string::npos) {
        return -1.0;
    }
    total[comma] = '.';
    return std::stod(total);
}

// A trip logged on a generated world: the server's matched positions along the grid's streets
// reach the logbook through the distance hook, and the stop line's total comes within 2 % of the
// way driven, measured here on a sphere of the mean earth radius by the flat approximation.
TEST(ReceiverSupervision, ALoggedTripCountsItsWayWhereverTheWorldLies) {
    const struct {
        const char* name;
        MapPoint origin;
    } cases[] = {{"west of Greenwich", {-370'000, 4'040'000}},
                 {"across Greenwich", {-3'000, 5'150'000}},
                 {"east of Greenwich", kSupervisedOrigin}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RunInFreshProcess([&c] {
            SupervisedWorld w(c.origin);
            ReceiverSupervisor& supervisor = w.Make();
            Logbook logbook(u"\\Nav\\Fahrtenbuch.txt");
            supervisor.SetDistanceHook([&logbook](double longitude, double latitude) {
                (void)logbook.AccumulateDistance(longitude, latitude);
            });
            logbook.Reset();
            logbook.WriteEntry(LogbookAddress{}, false, u"Kunde", Logbook::StartPrefix(), false);
            logbook.SetRunning(true);

            // East along the first row, then north up the last column: 4 x 3 nodes.
            const std::uint32_t way[] = {0, 1, 2, 3, 7, 11};
            constexpr int kSteps = 25;
            constexpr double kMetresPerDegree = 6371000.0 * 3.14159265358979323846 / 180.0;
            double expected = 0.0;
            for (std::size_t leg = 0; leg + 1 < std::size(way); ++leg) {
                const std::uint32_t from = way[leg];
                const std::uint32_t to = way[leg + 1];
                const GeoPoint a = w.world.Position(from);
                const GeoPoint b = w.world.Position(to);
                const double midLatitude = (a.y + b.y) / 2.0 * 3.14159265358979323846 / 180.0;
                expected +=
                    std::hypot((b.x - a.x) * std::cos(midLatitude), b.y - a.y) * kMetresPerDegree;
                for (int step = leg == 0 ? 0 : 1; step <= kSteps; ++step) {
                    const GeoPoint at = w.world.PointAlong(from, to, double(step) / kSteps);
                    MatchedPosition position =
                        testdata::MatchedPositionBuilder()
                            .Fix(at)
                            .OnStreet(w.world.ElementBetween(from, to), at, a, b)
                            .Build();
                    position.fix.hdop = 1.0F;
                    w.server->PositionEvent.Emit(&position);
                    (void)w.driver.RunUntilIdle();
                }
            }
            logbook.WriteEntry(LogbookAddress{}, false, u"", u"Ende", true);
            logbook.SetRunning(false);

            const std::string text = w.root.ReadFile(u"\\Nav\\Fahrtenbuch.txt").value_or("");
            const std::size_t lastLine = text.rfind("\r\n", text.size() - 3);
            ASSERT_NE(lastLine, std::string::npos) << text;
            const std::string stop = text.substr(lastLine + 2);
            ASSERT_EQ(stop.rfind("Ende", 0), 0U) << stop;
            const double kilometres = SupervisedLogbookKilometres(stop);
            EXPECT_NEAR(logbook.GetTotalDistance(), expected, expected * 0.02);
            EXPECT_NEAR(kilometres * 1000.0, expected, expected * 0.02) << stop;
        });
    }
}

} // namespace
