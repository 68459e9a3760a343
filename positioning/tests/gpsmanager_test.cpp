#include "positioning/gpsmanager.h"
#include "positioning/tests/gpstestsupport.h"
#include "routing/routeservice.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/nmeawriter.h"
#include "testdata/ptyport.h"
#include "testdata/tempdir.h"

#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A front that records the batches and routes it is given.
class RecordingFront final : public MapMatcherFront {
public:
    RecordingFront()
        : MapMatcherFront(AreaQueryPtr()) {}
    bool Update(const std::vector<GpsFix>& fixes) override {
        {
            std::lock_guard locked(m_mutex);
            m_batches.push_back(fixes);
        }
        return MapMatcherFront::Update(fixes);
    }
    void SetRoute(const RouteIteratorPtr& route) override {
        m_routes.push_back(route != nullptr);
        MapMatcherFront::SetRoute(route);
    }
    std::vector<std::vector<GpsFix>> Batches() {
        std::lock_guard locked(m_mutex);
        return m_batches;
    }
    std::vector<bool> m_routes;

private:
    std::mutex m_mutex;
    std::vector<std::vector<GpsFix>> m_batches;
};

// Counts the manager's publications and keeps the last one.
class PositionListener {
public:
    explicit PositionListener(GpsManager& manager) {
        manager.GetPositionSource().Connect(this, &PositionListener::OnPosition);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    std::vector<MatchedPosition> Positions() {
        std::lock_guard locked(m_mutex);
        return m_positions;
    }
    // Waits (host time, up to 5 s) for count publications.
    bool WaitFor(std::size_t count) {
        for (int i = 0; i < 5000 && Positions().size() < count; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        return Positions().size() >= count;
    }
    // The same for publications of fixes with a position (not a device's empty fix).
    bool WaitForPositions(std::size_t count) {
        const auto real = [this] {
            const auto positions = Positions();
            return static_cast<std::size_t>(
                std::count_if(positions.begin(), positions.end(),
                              [](const MatchedPosition& p) { return p.fix.hdop >= 0.0f; }));
        };
        for (int i = 0; i < 5000 && real() < count; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        return real() >= count;
    }

private:
    void OnPosition(const MatchedPosition* position) {
        std::lock_guard locked(m_mutex);
        m_positions.push_back(*position);
    }
    std::mutex m_mutex;
    std::vector<MatchedPosition> m_positions;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// Receiver cycles of a drive, one a second.
std::string Cycle(int second) {
    testdata::DriveGenerator generator;
    generator.AddPiece(11, {{47.1, 9.52}, {47.1005, 9.5205}});
    testdata::DriveSettings settings;
    settings.startSecondOfDay = 1;
    settings.speedProfile = {{0, 30}};
    settings.maxSamples = second + 1;
    return testdata::DriveGenerator::ToNmea({generator.Generate(settings).back()});
}

GpsFix Fix(float latitude) {
    GpsFix fix;
    fix.longitude = 9.5f;
    fix.latitude = latitude;
    fix.positionStatus = 0;
    fix.hdop = 1.0f;
    return fix;
}

// A manager over a recording front, the settings in the program folder "\Nav", on the virtual
// clock at 5 March 2026 07:04 UTC.
class Manager : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        ASSERT_TRUE(m_clock.SetTime({2026, 3, 4, 5, 7, 4, 30, 0}));
        m_clock.SetTick(100000);
        testdata::GpsSettingsWriter settings;
        settings.SetDefault("NMEA").AddProtocol(testdata::NmeaProtocol());
        settings.AddDevice("SerialPort", {{"Port", "4"}, {"Baud Rate", "4800"}, {"Timeout", "5"}});
        ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\deziv.ini", settings.Build()));
        m_front = new RecordingFront;
        m_manager = std::make_unique<GpsManager>(MapMatcherFrontPtr(m_front));
        m_listener = std::make_unique<PositionListener>(*m_manager);
        ASSERT_TRUE(m_manager->StartWorker());
    }
    void TearDown() override { Destroy(); }
    // Runs the call, moving the clock on so that a serial read waiting for its time-out ends.
    template <class Call> void WhileAdvancing(Call call) {
        auto done = std::async(std::launch::async, call);
        while (done.wait_for(10ms) != std::future_status::ready) {
            m_clock.Advance(SerialGpsDevice::kRetryMs);
        }
    }
    void Destroy() {
        if (!m_manager) {
            return;
        }
        WhileAdvancing([this] { m_manager.reset(); });
        m_listener.reset();
        platform::SetExecutablePath(u"");
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    RecordingFront* m_front = nullptr;
    std::unique_ptr<GpsManager> m_manager;
    std::unique_ptr<PositionListener> m_listener;
};

TEST_F(Manager, MatchesTheFixesQueuedWhileTheMatcherIsHeldInOneBatch) {
    GpsReceiverPtr receiver;
    m_manager->OpenAlternativeDevice(receiver);
    ASSERT_TRUE(receiver);
    m_front->Lock();
    const GpsFix first = Fix(47.0f);
    receiver->GetFixSignal().Emit(&first);
    for (int i = 0; i < 5000 && m_front->Batches().empty(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    for (const float latitude : {47.1f, 47.2f, 47.3f}) {
        const GpsFix fix = Fix(latitude);
        receiver->GetFixSignal().Emit(&fix);
    }
    m_front->Unlock();
    ASSERT_TRUE(m_listener->WaitFor(2));
    const auto batches = m_front->Batches();
    ASSERT_EQ(batches.size(), 2u);
    ASSERT_EQ(batches[1].size(), 3u);
    EXPECT_EQ(batches[1][0].latitude, 47.1f);
    EXPECT_EQ(batches[1][2].latitude, 47.3f);
    EXPECT_EQ(m_listener->Positions().back().fix.latitude, 47.3f);

    receiver->GetStatusSignal().Emit(GpsDevice::kStatusReadFailed);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_listener->Positions().size(), 2u) << "a status alone publishes nothing";
    const GpsFix next = Fix(47.4f);
    receiver->GetFixSignal().Emit(&next);
    ASSERT_TRUE(m_listener->WaitFor(3));
    EXPECT_EQ(m_front->Batches().back().size(), 1u);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_listener->Positions().size(), 3u);
}

TEST_F(Manager, SwitchesBetweenTheSerialAndTheAlternativeDevice) {
    m_manager->CloseAlternativeDevice(); // none open: nothing happens
    EXPECT_FALSE(m_root.ReadFile(u"/Windows/GPS Log 5-3-2026 7-4.txt"));
    testdata::PtyPort pty(4);
    ASSERT_TRUE(pty.IsOpen());
    ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\keep", ""));
    m_manager->OpenSerialDevice(true);
    const std::string first = Cycle(0);
    ASSERT_TRUE(pty.Send(first));
    ASSERT_TRUE(m_listener->WaitForPositions(1));
    // Opened again in the same minute, while its thread reads: the same name, the new device
    // attached (it publishes), the log holding exactly the bytes it read.
    WhileAdvancing([this] { m_manager->OpenSerialDevice(true); });
    const std::string second = Cycle(1);
    ASSERT_TRUE(pty.Send(second));
    ASSERT_TRUE(m_listener->WaitForPositions(2));

    GpsReceiverPtr receiver;
    WhileAdvancing([&] { m_manager->OpenAlternativeDevice(receiver); });
    ASSERT_TRUE(receiver);
    EXPECT_EQ(m_manager->DetectPort(4), 0) << "not while the alternative device is open";
    EXPECT_EQ(m_root.ReadFile(u"/Windows/GPS Log 5-3-2026 7-4.txt"), second);

    m_clock.Advance(60000);
    m_manager->CloseAlternativeDevice(); // back to the serial device, logging
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(pty.Send(first));
    ASSERT_TRUE(m_listener->WaitForPositions(3));
    Destroy();
    EXPECT_EQ(m_root.ReadFile(u"/Windows/GPS Log 5-3-2026 7-5.txt"), first);
}

TEST_F(Manager, RunnerRefusesAnotherDeviceWhileItsThreadRuns) {
    GpsReceiver first(u"\\Nav\\deziv.ini");
    GpsReceiver second(u"\\Nav\\deziv.ini");
    DeviceRunner runner;
    EXPECT_FALSE(runner.StartDevice()) << "no device";
    ASSERT_TRUE(runner.SetDevice(&first));
    ASSERT_TRUE(runner.StartDevice());
    EXPECT_FALSE(runner.SetDevice(&second));
    const GpsFix fix = Fix(47.5f);
    second.GetFixSignal().Emit(&fix); // not connected
    first.GetFixSignal().Emit(&fix);
    ASSERT_TRUE(runner.WaitForData());
    std::list<GpsFix> taken;
    ASSERT_TRUE(runner.TakeAll(taken));
    EXPECT_EQ(taken.size(), 1u);
    runner.StopDevice();
    EXPECT_FALSE(runner.WaitForData()) << "stopping wakes the waiter";
    EXPECT_TRUE(runner.SetDevice(&second));
}

TEST_F(Manager, GivesTheRouteOfAResultAndClearsItForAnEmptyOne) {
    RouteRequestResult found(routestatus::kFound);
    found.route = std::make_shared<ScriptedRoute>(std::vector<RouteRecord>(2));
    m_manager->SetRoute(found);
    m_manager->SetRoute(RouteRequestResult(routestatus::kFailed));
    EXPECT_EQ(m_front->m_routes, (std::vector<bool>{true, false}));
    MatchedPosition position;
    position.street = 7;
    m_manager->GetMatchedPosition(position);
    EXPECT_EQ(position.street, MatchedPosition::kNoStreet);
}

TEST_F(Manager, DestructionEndsBothThreadsDuringAReplayAndASerialRead) {
    for (const bool isSerial : {false, true}) {
        SCOPED_TRACE(isSerial);
        if (!m_manager) {
            SetUp();
        }
        testdata::PtyPort pty(4);
        ASSERT_TRUE(pty.IsOpen());
        if (isSerial) {
            m_manager->OpenSerialDevice(false);
            ASSERT_TRUE(pty.Send("$GPGGA,1")); // a part sentence: the read waits for more
        } else {
            const std::string cycle = testdata::NmeaWriter::Gga({}) + testdata::NmeaWriter::Vtg({});
            ASSERT_TRUE(m_root.WriteFile(u"\\demo.txt", cycle + cycle));
            GpsReceiverPtr receiver;
            m_manager->OpenAlternativeDevice(receiver);
            receiver->OpenReplayFile(u"\\demo.txt");
            for (int i = 0; i < 100 && m_listener->Positions().empty(); ++i) {
                m_clock.Advance(1000);
                std::this_thread::sleep_for(5ms);
            }
            ASSERT_FALSE(m_listener->Positions().empty());
        }
        std::this_thread::sleep_for(20ms);
        Destroy();
        EXPECT_FALSE(m_manager);
    }
}

} // namespace
