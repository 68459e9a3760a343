#include "positioning/gpsreceiver.h"
#include "positioning/gpssettings.h"
#include "positioning/serialgpsdevice.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/ptyport.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Keys = std::vector<std::pair<std::string, std::string>>;

constexpr std::uint64_t kStartTick = 100000;

std::vector<testdata::DriveSample> Drive(int seconds) {
    testdata::DriveGenerator generator;
    generator.AddPiece(11, {{47.1, 9.52}, {47.1005, 9.5205}});
    testdata::DriveSettings settings;
    settings.startSecondOfDay = 1;
    settings.speedProfile = {{0, 30}};
    settings.maxSamples = seconds;
    return generator.Generate(settings);
}

// A device on "\deziv.ini" whose settings the test writes; Run on its own thread.
class SerialDevice : public ::testing::Test {
protected:
    void SetUp() override { m_clock.SetTick(kStartTick); }
    void TearDown() override { StopRun(); }
    void Start(const testdata::GpsSettingsWriter& settings) { Start(settings.Build()); }
    void Start(const std::string& settings) {
        ASSERT_TRUE(m_root.WriteFile(u"\\deziv.ini", settings));
        m_device = std::make_unique<SerialGpsDevice>(u"\\deziv.ini");
        m_listener = std::make_unique<GpsListener>(*m_device);
    }
    void StartRun() {
        // The thread holds the device itself: a test may destroy it through m_device.
        m_reader = std::thread([device = m_device.get()] { device->Run(); });
    }
    void StopRun() {
        if (m_reader.joinable()) {
            m_device->Stop();
            auto joined = std::async(std::launch::async, [this] { m_reader.join(); });
            while (joined.wait_for(10ms) != std::future_status::ready) {
                m_clock.Advance(SerialGpsDevice::kRetryMs); // ends a wait or a read
            }
        }
    }
    // Lets the device thread reach its next wait (host time), then moves the clock.
    void Advance(std::uint64_t ms) {
        std::this_thread::sleep_for(60ms);
        m_clock.Advance(ms);
    }
    static testdata::GpsSettingsWriter Settings(const std::string& port) {
        testdata::GpsSettingsWriter settings;
        settings.SetDefault("NMEA").AddProtocol(testdata::NmeaProtocol());
        settings.AddDevice("SerialPort", {{"Port", port}, {"Baud Rate", "4800"}, {"Timeout", "5"}});
        return settings;
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    std::unique_ptr<SerialGpsDevice> m_device;
    std::unique_ptr<GpsListener> m_listener;
    std::thread m_reader;
};

TEST_F(SerialDevice, PublishesCyclesBackDatedByTheirTransmissionTime) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Start(Settings("3"));
    StartRun();
    const auto samples = Drive(3);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string cycle = testdata::DriveGenerator::ToNmea({samples[i]});
        ASSERT_TRUE(pty.Send(cycle));
        ASSERT_TRUE(m_listener->WaitForFixes(i + 1));
        const GpsFix fix = m_listener->Fixes()[i];
        const DWORD transmissionMs = static_cast<DWORD>((cycle.size() * 10000 + 4799) / 4800);
        EXPECT_EQ(fix.tick, kStartTick - transmissionMs);
        EXPECT_GE(fix.hdop, 0.0f);
    }
    // Two cycles in one read: both are published, each back-dated from the end of the read by
    // the bytes from its own start on.
    const std::string first = testdata::DriveGenerator::ToNmea({samples[0]});
    const std::string second = testdata::DriveGenerator::ToNmea({samples[1]});
    ASSERT_LT(first.size() + second.size(), SerialGpsDevice::kReadSize);
    ASSERT_TRUE(pty.Send(first + second));
    ASSERT_TRUE(m_listener->WaitForFixes(samples.size() + 2));
    std::this_thread::sleep_for(60ms);
    const std::vector<GpsFix> fixes = m_listener->Fixes();
    ASSERT_EQ(fixes.size(), samples.size() + 2);
    const auto msOf = [](std::size_t bytes) {
        return static_cast<DWORD>((bytes * 10000 + 4799) / 4800);
    };
    EXPECT_NEAR(fixes[samples.size()].latitude, samples[0].reported.latitude, 1e-5);
    EXPECT_LE(fixes[samples.size()].tick, kStartTick - msOf(first.size()));
    EXPECT_GE(fixes[samples.size()].tick, kStartTick - msOf(first.size() + second.size()));
    EXPECT_EQ(fixes[samples.size() + 1].tick, kStartTick - msOf(second.size()));
    EXPECT_NEAR(fixes[samples.size() + 1].latitude, samples[1].reported.latitude, 1e-5);
    EXPECT_TRUE(m_listener->Statuses().empty());
}

TEST_F(SerialDevice, ReportsSilenceAndCyclelessBytesWithEmptyFixesAndReopens) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Start(Settings("3"));
    StartRun();
    Advance(5000); // the read waits the whole time-out: silent
    ASSERT_TRUE(m_listener->WaitForFixes(2));
    // Reopened after a retry: the bytes must reach the read that waits for the time-out, not
    // come before it (a retry missed by a busy device thread is given again).
    bool isReopened = false;
    for (int i = 0; i < 20 && !isReopened; ++i) {
        Advance(SerialGpsDevice::kRetryMs);
        isReopened = pty.WaitForSlaveOpen(250ms);
    }
    ASSERT_TRUE(isReopened);
    // Bytes without a cycle, read on either side of the 5 s time-out of the cycle but never
    // after a read waited it out: each waits until the device has read the one before, and no
    // time passes between the reopening and the first, so that every order of the two threads
    // gives the same reports.
    ASSERT_TRUE(pty.Send("$GPTXT,no cycle*00\r\n"));
    ASSERT_TRUE(pty.WaitUntilRead(5s));
    Advance(3000);
    ASSERT_TRUE(pty.Send("$GPTXT,still no cycle*00\r\n"));
    ASSERT_TRUE(pty.WaitUntilRead(5s));
    Advance(2500);
    ASSERT_TRUE(pty.Send("garbage\r\n"));
    ASSERT_TRUE(m_listener->WaitForFixes(4));
    const std::vector<DWORD> expected = {
        SerialGpsDevice::kStatusSilent, SerialGpsDevice::kStatusPortNotOpened,
        SerialGpsDevice::kStatusNoCycle, SerialGpsDevice::kStatusPortNotOpened};
    for (int i = 0; i < 100 && m_listener->Statuses().size() < expected.size(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(m_listener->Statuses(), expected);
    for (const GpsFix& fix : m_listener->Fixes()) {
        EXPECT_EQ(fix.hdop, GpsFix::kHdopNoData);
    }
}

TEST_F(SerialDevice, RetriesAnUnmappedPortOnceASecondUntilStopped) {
    Start(Settings("4"));
    StartRun();
    ASSERT_TRUE(m_listener->WaitForFixes(1));
    Advance(SerialGpsDevice::kRetryMs); // the first retry goes on to the loop
    ASSERT_TRUE(m_listener->WaitForFixes(2));
    Advance(SerialGpsDevice::kRetryMs);
    ASSERT_TRUE(m_listener->WaitForFixes(3));
    EXPECT_EQ(m_listener->Statuses(), std::vector<DWORD>(3, SerialGpsDevice::kStatusPortNotOpened));
    m_device->Stop();
    m_reader.join();
    EXPECT_EQ(m_listener->Fixes().size(), 3u);
    EXPECT_EQ(m_device->GetState(), SerialGpsDevice::kStateClosed);
}

TEST_F(SerialDevice, StopWhileThePortNeverOpenedPublishesOneMoreEmptyFix) {
    Start(Settings("4"));
    StartRun();
    ASSERT_TRUE(m_listener->WaitForFixes(1));
    m_device->Stop();
    m_reader.join();
    EXPECT_EQ(m_listener->Fixes().size(), 2u);
    EXPECT_EQ(m_listener->Statuses(), std::vector<DWORD>{SerialGpsDevice::kStatusPortNotOpened});
}

TEST_F(SerialDevice, DestroyingTheDeviceWaitsForTheReadInProgress) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Start(Settings("3"));
    StartRun();
    std::this_thread::sleep_for(60ms); // Run is in its read
    auto destroyed = std::async(std::launch::async, [this] { m_device.reset(); });
    EXPECT_EQ(destroyed.wait_for(60ms), std::future_status::timeout);
    while (destroyed.wait_for(10ms) != std::future_status::ready) {
        m_clock.Advance(1000); // the read ends within its time-out
    }
    m_reader.join();
    EXPECT_EQ(m_listener->Fixes().size(), 1u);
}

TEST(SerialPortSettingsDcb, FollowsTheKeysAndLeavesUnknownTexts) {
    const struct {
        const char* what;
        std::function<void(SerialPortSettings&)> change;
        std::function<bool(const DCB&)> holds;
    } cases[] = {
        {"14400 keeps the rate", [](auto& s) { s.baudRate = 14400; },
         [](const DCB& d) { return d.BaudRate == 2400; }},
        {"9600", [](auto& s) { s.baudRate = 9600; },
         [](const DCB& d) { return d.BaudRate == 9600; }},
        {"mark", [](auto& s) { s.parity = u"Mark"; },
         [](const DCB& d) { return d.Parity == MARKPARITY; }},
        {"unknown parity", [](auto& s) { s.parity = u"X"; },
         [](const DCB& d) { return d.Parity == ODDPARITY; }},
        {"1.5", [](auto& s) { s.stopBits = u"1.5"; },
         [](const DCB& d) { return d.StopBits == ONE5STOPBITS; }},
        {"stop 3", [](auto& s) { s.stopBits = u"3"; },
         [](const DCB& d) { return d.StopBits == TWOSTOPBITS; }},
        {"RTS enable", [](auto& s) { s.rtsControl = u"enable"; },
         [](const DCB& d) { return d.fRtsControl == RTS_CONTROL_HANDSHAKE; }},
        {"RTS ENABLE", [](auto& s) { s.rtsControl = u"ENABLE"; },
         [](const DCB& d) { return d.fRtsControl == RTS_CONTROL_ENABLE; }},
        {"RTS toggle", [](auto& s) { s.rtsControl = u"toggle"; },
         [](const DCB& d) { return d.fRtsControl == RTS_CONTROL_TOGGLE; }},
        {"DTR disable", [](auto& s) { s.dtrControl = u"disable"; },
         [](const DCB& d) { return d.fDtrControl == DTR_CONTROL_DISABLE; }},
        {"DTR DISABLE", [](auto& s) { s.dtrControl = u"DISABLE"; },
         [](const DCB& d) { return d.fDtrControl == DTR_CONTROL_HANDSHAKE; }},
        {"odd error character", [](auto& s) { s.errorChar = 0x41; },
         [](const DCB& d) { return d.fErrorChar == 0 && d.ErrorChar == 0x41; }},
        {"error replacement",
         [](auto& s) {
             s.errorReplacement = 1;
             s.errorChar = 0x3F;
         },
         [](const DCB& d) { return d.fErrorChar == 1 && d.ErrorChar == 0x3F; }},
        {"flags",
         [](auto& s) {
             s.xonXoffOut = 1;
             s.nullStripping = 7;
             s.xonChar = 17;
             s.xoffThreshold = 9;
         },
         [](const DCB& d) {
             return d.fOutX == 1 && d.fNull == 1 && d.XonChar == 17 && d.XoffLim == 9 &&
                    d.fBinary == 1;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DCB dcb{};
        dcb.BaudRate = 2400;
        dcb.Parity = ODDPARITY;
        dcb.StopBits = TWOSTOPBITS;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
        SerialPortSettings settings;
        settings.baudRate = 0;
        settings.parity = u"";
        settings.stopBits = u"";
        settings.rtsControl = u"";
        settings.dtrControl = u"";
        c.change(settings);
        BuildDcb(settings, dcb);
        EXPECT_TRUE(c.holds(dcb));
    }
}

TEST(SerialPortSettingsDcb, ReachTheLineThroughTheComPort) {
    testdata::TempDeviceRoot root;
    testdata::PtyPort pty(2);
    ASSERT_TRUE(pty.IsOpen());
    const struct {
        const char* what;
        Keys keys;
        std::function<bool(const termios&)> holds;
    } cases[] = {
        {"19200",
         {{"Baud Rate", "19200"}},
         [](const termios& t) { return cfgetospeed(&t) == B19200; }},
        {"14400 keeps it",
         {{"Baud Rate", "14400"}},
         [](const termios& t) { return cfgetospeed(&t) == B19200; }},
        {"space, 2 stop",
         {{"Parity", "S"}, {"StopBits", "2"}},
         [](const termios& t) {
             return (t.c_cflag & (CMSPAR | PARODD | CSTOPB)) == (CMSPAR | CSTOPB);
         }},
        {"RTS handshake",
         {{"RTS flow control", "handshake"}},
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        {"XON/XOFF",
         {{"XON/XOFF in flow control", "1"}, {"Tx and Rx XOFF character", "19"}},
         [](const termios& t) { return (t.c_iflag & IXOFF) != 0 && t.c_cc[VSTOP] == 19; }},
    };
    ComPort port;
    ASSERT_TRUE(port.Open(2));
    int caseNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testdata::GpsSettingsWriter writer;
        writer.AddDevice("Line", c.keys);
        const std::u16string file = u"\\line" + std::u16string(1, u'a' + caseNumber++) + u".ini";
        ASSERT_TRUE(root.WriteFile(file, writer.Build()));
        SerialPortSettings settings;
        settings.baudRate = 19200;
        settings.Read(u"Line", file);
        ASSERT_TRUE(port.Configure(settings));
        termios line{};
        ASSERT_TRUE(pty.SlaveSettings(line));
        EXPECT_TRUE(c.holds(line));
    }
}

// Each key read from the device section, the first of a repeated one; a missing key keeps the
// value the settings held.
TEST(SerialPortSettingsRead, TakesEachKeyOrKeepsTheValueHeld) {
    testdata::TempDeviceRoot root;
    const struct {
        const char* what;
        Keys keys;
        std::function<bool(const SerialPortSettings&)> holds;
    } cases[] = {
        {"none",
         {},
         [](const SerialPortSettings& s) {
             return s.port == 7 && s.baudRate == 19200 && s.timeout == 3 && s.parity == u"N";
         }},
        {"numbers",
         {{"Port", "2"},
          {"Timeout", "9"},
          {"Received event character", "13"},
          {"End of input character", "26"}},
         [](const SerialPortSettings& s) {
             return s.port == 2 && s.timeout == 9 && s.eventChar == 13 && s.eofChar == 26 &&
                    s.baudRate == 19200;
         }},
        {"texts",
         {{"Parity", "E"},
          {"StopBits", "1.5"},
          {"DTR flow control type", "disable"},
          {"RTS flow control", "toggle"}},
         [](const SerialPortSettings& s) {
             return s.parity == u"E" && s.stopBits == u"1.5" && s.dtrControl == u"disable" &&
                    s.rtsControl == u"toggle" && s.port == 7;
         }},
        {"first of two, any case",
         {{"baud rate", "4800"}, {"Baud Rate", "9600"}, {"byte size", "7"}},
         [](const SerialPortSettings& s) { return s.baudRate == 4800 && s.byteSize == 7; }},
        {"not a number",
         {{"Port", "x"}, {"Parity", ""}},
         [](const SerialPortSettings& s) { return s.port == 0 && s.parity.empty(); }},
    };
    int caseNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testdata::GpsSettingsWriter writer;
        writer.AddDevice("Other", {{"Port", "5"}, {"Parity", "O"}});
        writer.AddDevice("Line", c.keys);
        const std::u16string file = u"\\read" + std::u16string(1, u'a' + caseNumber++) + u".ini";
        ASSERT_TRUE(root.WriteFile(file, writer.Build()));
        SerialPortSettings settings;
        settings.port = 7;
        settings.baudRate = 19200;
        settings.timeout = 3;
        settings.parity = u"N";
        settings.Read(u"Line", file);
        EXPECT_TRUE(c.holds(settings));
    }
}

} // namespace

namespace {

class Cancelled final : public DetectionCancel {
public:
    bool IsCancelled() override { return true; }
};

class SnapshotListener {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnSettings(const PortSnapshot* snapshot) { snapshots.push_back(*snapshot); }
    std::vector<PortSnapshot> snapshots;

private:
    OwnerHandlerList m_handlers;
};

testdata::GpsSettingsWriter DetectionSettings(const std::string& devicePort, int portCount,
                                              int testCount) {
    testdata::GpsProtocolSection nmea = testdata::NmeaProtocol();
    nmea.inits = {"PSRF100,1,4800,8,1,0"};
    testdata::GpsSettingsWriter settings;
    settings.SetDefault("NMEA").AddProtocol(nmea);
    settings.AddDevice("SerialPort", {{"Port", devicePort}});
    settings.AddDevice("Trials", {{"Timeout", "1"}, {"Baud Rate", "9600"}});
    settings.SetDetection("Trials", portCount, testCount);
    settings.AddTrial(1, {{"Baud Rate", "2400"}});
    settings.AddTrial(2, {{"Baud Rate", "4800"}, {"Parity", "E"}});
    return settings;
}

std::string Cycle(int second) {
    return testdata::DriveGenerator::ToNmea({Drive(second + 1).back()});
}

} // namespace

TEST_F(SerialDevice, DetectsTheReceiverOnItsPortAndSecondTrialAndWritesItBack) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Start(DetectionSettings("1", 3, 2));
    SnapshotListener snapshots;
    m_device->GetSettingsSource().ConnectUnlocked(&snapshots, &SnapshotListener::OnSettings);
    auto detection = std::async(std::launch::async, [this] {
        return m_device->DetectPort(nullptr, SerialGpsDevice::kAllPorts, nullptr, nullptr);
    });
    const std::string firstInit = pty.Receive(5s); // trial 1: the receiver stays silent
    Advance(1000);
    const std::string secondInit = pty.Receive(5s); // trial 2: it answers
    ASSERT_TRUE(pty.Send(Cycle(0)));
    ASSERT_EQ(detection.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(detection.get(), 1);
    EXPECT_EQ(firstInit, "$PSRF100,1,4800,8,1,0*0E\r\n");
    EXPECT_EQ(secondInit, firstInit);
    ASSERT_EQ(snapshots.snapshots.size(), 2u);
    EXPECT_EQ(snapshots.snapshots[0].port, 3u);
    EXPECT_EQ(snapshots.snapshots[0].baudRate, 2400u);
    EXPECT_EQ(snapshots.snapshots[1].baudRate, 4800u);
    EXPECT_EQ(snapshots.snapshots[1].parity, u"E");
    EXPECT_EQ(snapshots.snapshots[1].name, u"Serial Port GPS");
    EXPECT_EQ(m_device->GetState(), SerialGpsDevice::kStateDetected);
    const struct {
        const char16_t* section;
        const char16_t* key;
        const char16_t* value;
    } written[] = {{u"Default GPS", u"GPS", u"NMEA"}, {u"NMEA", u"Device", u"SerialPort"},
                   {u"SerialPort", u"Port", u"3"},    {u"SerialPort", u"Baud Rate", u"4800"},
                   {u"SerialPort", u"Parity", u"E"},  {u"SerialPort", u"Timeout", u"none"}};
    for (const auto& w : written) {
        SCOPED_TRACE(std::u16string(w.key).size());
        EXPECT_EQ(IniProfile::GetString(w.section, w.key, u"\\deziv.ini", u"none"), w.value);
    }
}

TEST_F(SerialDevice, DetectionWakesAWaitingRunAtOnce) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Start(DetectionSettings("4", 6, 1));
    StartRun();
    ASSERT_TRUE(m_listener->WaitForFixes(1)); // port 4 does not exist: Run waits
    auto detection = std::async(
        std::launch::async, [this] { return m_device->DetectPort(nullptr, 3, nullptr, nullptr); });
    EXPECT_FALSE(pty.Receive(5s).empty());
    ASSERT_TRUE(pty.Send(Cycle(0)));
    ASSERT_EQ(detection.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(detection.get(), 1);
    ASSERT_TRUE(pty.Send(Cycle(1))); // read by Run without the clock moving
    ASSERT_TRUE(m_listener->WaitForFixes(2));
    EXPECT_GE(m_listener->Fixes()[1].hdop, 0.0f);
    // Receiving on the port asked for: found at once, nothing sent.
    auto again = std::async(std::launch::async,
                            [this] { return m_device->DetectPort(nullptr, 3, nullptr, nullptr); });
    // Each cycle ends a read of Run, which holds the lock; the lock is not fair, so it may take
    // a few before detection gets it.
    for (int second = 2; second < 100 && again.wait_for(50ms) != std::future_status::ready;
         ++second) {
        ASSERT_TRUE(pty.Send(Cycle(second)));
    }
    ASSERT_EQ(again.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(again.get(), 1);
    EXPECT_TRUE(pty.Receive(100ms).empty());
}

// With the shipped settings each kind of receiver is found: the candidates that do not fit it
// listen in vain until their time-out, the one that fits completes a cycle.
TEST_F(SerialDevice, DetectionFindsTheShippedProtocolOfEachKindOfReceiver) {
    const auto cycles = [](testdata::NmeaWriter& writer) {
        for (const testdata::DriveSample& sample : Drive(4)) {
            writer.AddCycle(testdata::DriveGenerator::ToNmeaValues(sample));
        }
        return writer.Build();
    };
    testdata::NmeaWriter ggaVtg;
    testdata::NmeaWriter gn;
    testdata::NmeaWriter rmcRmbGga;
    testdata::NmeaWriter gsaRmc;
    const struct {
        const char16_t* protocol;
        std::string bytes;
    } cases[] = {
        {u"NMEA", cycles(ggaVtg.SetRmc(false))},
        {u"NMEA-GN", cycles(gn.SetFault(testdata::NmeaFault::GnTalker))},
        {u"NMEA-RMC-RMB-GGA",
         cycles(rmcRmbGga.SetMix(testdata::NmeaMix::RmcRmbGga).SetTimeFraction(""))},
        {u"NMEA-GSA-RMC", cycles(gsaRmc.SetMix(testdata::NmeaMix::GsaRmc).SetTimeFraction(".041"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::u16string(c.protocol).size());
        testdata::PtyPort pty(3); // a fresh line: nothing left of the case before
        ASSERT_TRUE(pty.IsOpen());
        Start(ShippedSettings());
        auto detection = std::async(std::launch::async, [this] {
            return m_device->DetectPort(nullptr, 3, nullptr, nullptr);
        });
        // Each round a candidate listens; a search that finds nothing ends within 4 trials of 4.
        for (int round = 0; round < 20; ++round) {
            std::this_thread::sleep_for(60ms);
            ASSERT_TRUE(pty.Send(c.bytes));
            if (detection.wait_for(200ms) == std::future_status::ready) {
                break;
            }
            m_clock.Advance(5000); // its time-out: the next candidate
        }
        ASSERT_EQ(detection.wait_for(5s), std::future_status::ready);
        EXPECT_EQ(detection.get(), 1);
        EXPECT_EQ(IniProfile::GetString(u"Default GPS", u"GPS", u"\\deziv.ini", u""), c.protocol);
        m_device.reset();
    }
}

TEST_F(SerialDevice, DetectionWithoutCandidatesPortsOrTimeFindsNothing) {
    testdata::PtyPort pty(3);
    ASSERT_TRUE(pty.IsOpen());
    Cancelled cancelled;
    const struct {
        const char* what;
        testdata::GpsSettingsWriter settings;
        DetectionCancel* cancel;
        int port;
    } cases[] = {
        {"device port 4", DetectionSettings("4", 6, 2), nullptr, SerialGpsDevice::kDevicePort},
        {"PortCount 0", DetectionSettings("3", 0, 2), nullptr, SerialGpsDevice::kAllPorts},
        {"cancelled", DetectionSettings("3", 6, 2), &cancelled, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.settings);
        EXPECT_EQ(m_device->DetectPort(c.cancel, c.port, nullptr, nullptr), 0);
        EXPECT_EQ(m_device->GetState(), SerialGpsDevice::kStateClosed);
        EXPECT_TRUE(pty.Receive(50ms).empty());
        EXPECT_EQ(IniProfile::GetString(u"SerialPort", u"Baud Rate", u"\\deziv.ini", u"none"),
                  u"none");
    }
}

namespace {

// The GPS settings file gives positions only when it defines the protocol it names; a missing
// one stays missing when the receiver and the serial device are made on it and run.
TEST(GpsSettingsFile, IsUsableOnlyWithItsProtocolAndIsNeverMadeEmpty) {
    testdata::TempDeviceRoot root;
    const std::string shipped = ShippedSettings();
    const struct {
        const char* name;
        std::optional<std::string> text; // nullopt: none
        bool isUsable;
    } cases[] = {
        {"shipped", shipped, true},
        {"none", std::nullopt, false},
        {"empty", "", false},
        {"zeroed", std::string(shipped.size(), '\0'), false},
        {"other protocol", "[Default GPS]\r\nGPS=RMC\r\n" + shipped, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string path = u"\\Settings\\deziv.ini";
        (void)std::filesystem::remove(root.HostPathOf(path));
        if (c.text) {
            ASSERT_TRUE(root.WriteFile(path, *c.text));
        }
        EXPECT_EQ(gpssettings::IsUsable(path), c.isUsable);
        {
            const GpsReceiverPtr receiver = CreateGpsReceiver(path);
            SerialGpsDevice device(path);
            std::thread run([&device] { device.Run(); });
            device.Stop();
            run.join();
        }
        EXPECT_EQ(std::filesystem::exists(root.HostPathOf(path)), c.text.has_value());
    }
}

} // namespace
