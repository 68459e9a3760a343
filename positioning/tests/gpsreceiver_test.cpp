#include "positioning/gpsreceiver.h"
#include "positioning/tests/gpstestsupport.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testdata::NmeaWriter;

constexpr std::uint32_t kYear2000 = 946684800; // the virtual clock's start, UTC

// A handle's stream: a file (with a position) or a port (chunks in turn, "" reads nothing, then
// reads fail). Counts its reads.
class ScriptedStream final : public platform::StreamObject {
public:
    ScriptedStream(std::vector<std::string> chunks, bool isFile)
        : m_chunks(std::move(chunks))
        , m_isFile(isFile) {}
    static HANDLE Open(std::shared_ptr<ScriptedStream> stream) {
        return platform::RegisterHandle(std::move(stream));
    }

    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override {
        std::lock_guard locked(m_mutex);
        ++m_reads;
        if (!m_isFile && m_chunks.empty()) {
            return ERROR_READ_FAULT;
        }
        const std::string& data = m_chunks.front();
        const std::size_t start = m_isFile ? std::min(m_position, data.size()) : 0;
        transferred = static_cast<DWORD>(std::min<std::size_t>(count, data.size() - start));
        std::memcpy(buffer, data.data() + start, transferred);
        m_position = start + transferred;
        if (!m_isFile) {
            m_chunks.front().erase(0, transferred);
            if (m_chunks.front().empty()) {
                m_chunks.erase(m_chunks.begin());
            }
        }
        return ERROR_SUCCESS;
    }
    DWORD Write(const void*, DWORD, DWORD& transferred) override {
        transferred = 0;
        return ERROR_ACCESS_DENIED;
    }
    DWORD Seek(std::int64_t distance, DWORD method, std::uint64_t& position) override {
        std::lock_guard locked(m_mutex);
        if (!m_isFile) {
            return ERROR_INVALID_FUNCTION;
        }
        const std::size_t base = method == FILE_BEGIN     ? 0
                                 : method == FILE_CURRENT ? m_position
                                                          : m_chunks.front().size();
        position = m_position = base + static_cast<std::size_t>(distance);
        return ERROR_SUCCESS;
    }
    DWORD Size(std::uint64_t& size) override {
        std::lock_guard locked(m_mutex);
        size = m_isFile ? m_chunks.front().size() : 0;
        return m_isFile ? ERROR_SUCCESS : ERROR_INVALID_FUNCTION;
    }
    int Reads() {
        std::lock_guard locked(m_mutex);
        return m_reads;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_chunks; // a file: one chunk, its bytes
    bool m_isFile;
    std::size_t m_position = 0;
    int m_reads = 0;
};

class Receiver : public ::testing::Test {
protected:
    [[nodiscard]] virtual std::string Settings() const { return ShippedSettings(); }
    void SetUp() override {
        ASSERT_TRUE(m_root.WriteFile(u"\\deziv.ini", Settings()));
        m_receiver = CreateGpsReceiver(u"\\deziv.ini");
        ASSERT_TRUE(m_receiver);
        m_listener = std::make_unique<GpsListener>(*m_receiver);
        m_reader = std::thread([this] { m_receiver->Run(); });
    }
    void TearDown() override { StopReader(); }
    void StopReader() {
        if (m_reader.joinable()) {
            m_receiver->Stop();
            m_reader.join();
        }
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    GpsReceiverPtr m_receiver;
    std::unique_ptr<GpsListener> m_listener;
    std::thread m_reader;
};

// A drive along two road pieces, with noise, a stop and an outage.
std::vector<testdata::DriveSample> Drive() {
    testdata::DriveGenerator generator;
    generator.AddPiece(11, {{47.1, 9.52}, {47.1005, 9.5205}});
    generator.AddPiece(12, {{47.1005, 9.5205}, {47.1005, 9.5215}});
    testdata::DriveSettings settings;
    settings.startSecondOfDay = 1;
    settings.speedProfile = {{0, 20}, {5, 60}};
    settings.stops = {{3, 2}};
    settings.outages = {{7, 1}};
    settings.noiseMetres = 3.0;
    return generator.Generate(settings);
}

TEST_F(Receiver, ReplaysAFileAtOneFixASecondAndRepeatsIt) {
    const std::vector<testdata::DriveSample> samples = Drive();
    ASSERT_GE(samples.size(), 10u);
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", testdata::DriveGenerator::ToNmea(samples)));

    m_receiver->OpenReplayFile(u"\\missing.nmea");
    EXPECT_EQ(m_listener->Statuses(), std::vector<DWORD>{GpsDevice::kStatusReplayFileMissing});
    EXPECT_EQ(m_receiver->GetFilePosition(), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(m_receiver->GetFileLength(), 0U);
    m_receiver->OpenReplayFile(u"\\track.nmea");
    EXPECT_EQ(m_receiver->GetSentenceRate(), 2.0f);
    EXPECT_EQ(m_receiver->GetFileLength(), m_root.ReadFile(u"\\track.nmea").value_or("").size());
    for (std::size_t i = 0; i < samples.size() + 3; ++i) {
        SCOPED_TRACE(i);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(m_listener->Fixes().size(), i) << "paced: nothing before the second is over";
        // A second that passes before the replay thread has set its next time is not seen by
        // it: another second lets it go on. Pacing is what counts, not the seconds taken.
        bool isDelivered = false;
        for (int seconds = 0; seconds < 10 && !isDelivered; ++seconds) {
            m_clock.Advance(1000);
            isDelivered = m_listener->WaitForFixes(i + 1, 500ms);
        }
        ASSERT_TRUE(isDelivered);
        ASSERT_EQ(m_listener->Fixes().size(), i + 1) << "one fix a second";
        const GpsFix fix = m_listener->Fixes()[i];
        const testdata::DriveSample& sample = samples[i % samples.size()];
        EXPECT_NEAR(fix.latitude, sample.reported.latitude, 1e-5);
        EXPECT_NEAR(fix.longitude, sample.reported.longitude, 1e-5);
        EXPECT_NEAR(fix.course, sample.course, 1.0); // written to 0.1, read as whole units
        EXPECT_NEAR(fix.speed, sample.speedKmh, 1.0);
        EXPECT_EQ(fix.satellites, sample.satellites);
        EXPECT_NEAR(fix.hdop, sample.hasFix ? sample.hdop : GpsFix::kHdopNoFix, 1e-6);
        EXPECT_EQ(fix.utcTime, kYear2000 + static_cast<std::uint32_t>(sample.secondOfDay));
    }
}

// A replay moved by the user refuses a position past the end of the file as it is at that moment
// (shortened since it was opened, say): the replay stays open where it was. Without a file
// nothing moves.
TEST_F(Receiver, MovesAReplayOnlyWithinTheFileAsItIsNow) {
    StopReader(); // the positions are the test's alone
    const std::string bytes = testdata::DriveGenerator::ToNmea(Drive());
    ASSERT_GT(bytes.size(), 1000u);
    constexpr DWORD kStart = 50;
    const auto size = static_cast<DWORD>(bytes.size());
    const struct {
        const char* what;
        bool hasFile;
        DWORD shrunkTo; // the file cut to this many bytes after it was opened; 0: left whole
        DWORD offset;
        bool isMoved;
    } rows[] = {
        {"past its end", true, 0, size + 1, false},
        {"far past its end", true, 0, 0xFFFFFFF0, false},
        {"within the file before it was cut short", true, 100, 700, false},
        {"without a file", false, 0, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", bytes));
        m_receiver->OpenReplayFile(row.hasFile ? u"\\track.nmea" : u"\\missing.nmea");
        EXPECT_EQ(m_receiver->SetFilePosition(kStart), row.hasFile);
        if (row.shrunkTo != 0) {
            ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", bytes.substr(0, row.shrunkTo)));
        }
        EXPECT_EQ(m_receiver->SetFilePosition(row.offset), row.isMoved);
        const DWORD kept = row.hasFile ? kStart : INVALID_SET_FILE_POINTER;
        EXPECT_EQ(m_receiver->GetFilePosition(), row.isMoved ? row.offset : kept);
        EXPECT_EQ(m_receiver->IsReadingHandle(), row.hasFile);
    }
}

// A file without a whole cycle is read again only after a rest, not in a tight loop.
TEST_F(Receiver, RestsBetweenRereadsOfAFileWithoutACycle) {
    bool isResting = false; // after the last pass over the previous file
    for (const std::string& bytes : {std::string(), NmeaWriter::Gga({})}) {
        SCOPED_TRACE(bytes.size());
        auto stream = std::make_shared<ScriptedStream>(std::vector{bytes}, true);
        m_receiver->AttachHandle(ScriptedStream::Open(stream));
        const int readsPerPass = static_cast<int>((bytes.size() + 31) / 32 + 1);
        for (int pass = 1; pass <= 3; ++pass) {
            if (pass > 1 || isResting) {
                m_clock.Advance(GpsReceiver::kIdleRewindMs);
            }
            for (int wait = 0; wait < 2000 && stream->Reads() < pass * readsPerPass; ++wait) {
                std::this_thread::sleep_for(1ms);
            }
            std::this_thread::sleep_for(30ms);
            EXPECT_EQ(stream->Reads(), pass * readsPerPass);
        }
        isResting = true;
    }
    EXPECT_TRUE(m_listener->Fixes().empty());
}

// A port has no position: a read of nothing counts as its end and keeps what it sent before; a
// failed read closes it with status 4.
TEST_F(Receiver, KeepsBufferedBytesOfAPortAndDropsItOnAFailedRead) {
    const std::string cycle = NmeaWriter::Gga({}) + NmeaWriter::Vtg({});
    const std::vector<std::string> chunks = {cycle.substr(0, 20), "", cycle.substr(20)};
    m_receiver->AttachHandle(ScriptedStream::Open(std::make_shared<ScriptedStream>(chunks, false)));
    m_receiver->SetSentenceRate(0.0f);
    for (int step = 0; step < 500 && m_listener->Statuses().empty(); ++step) {
        m_clock.Advance(GpsReceiver::kIdleRewindMs);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(m_listener->Fixes().size(), 1u);
    EXPECT_NEAR(m_listener->Fixes()[0].latitude, 47.1, 1e-5);
    EXPECT_EQ(m_listener->Statuses(), std::vector<DWORD>{GpsDevice::kStatusReadFailed});
}

// A receiver whose cycle is one short sentence: one read of 32 bytes completes two or three.
class ShortCycleReceiver : public Receiver {
protected:
    [[nodiscard]] std::string Settings() const override {
        testdata::GpsProtocolSection zda;
        zda.inputs = {"GPZDA,utctime"};
        return testdata::GpsSettingsWriter().AddProtocol(zda).Build();
    }
};

TEST_F(ShortCycleReceiver, PublishesEveryCycleThatOneReadCompletes) {
    NmeaWriter writer;
    constexpr int kCycles = 30;
    for (int second = 1; second <= kCycles; ++second) {
        writer.AddSentence("GPZDA," + std::to_string(second));
    }
    m_receiver->AttachHandle(
        ScriptedStream::Open(std::make_shared<ScriptedStream>(std::vector{writer.Build()}, false)));
    m_receiver->SetSentenceRate(0.0f);
    for (int step = 0; step < 500 && m_listener->Statuses().empty(); ++step) {
        m_clock.Advance(GpsReceiver::kIdleRewindMs);
        std::this_thread::sleep_for(1ms);
    }
    const std::vector<GpsFix> fixes = m_listener->Fixes();
    ASSERT_EQ(fixes.size(), static_cast<std::size_t>(kCycles));
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        EXPECT_EQ(fixes[i].utcTime % 86400, i + 1) << "in order";
    }
}

TEST_F(Receiver, StopDuringThePacingWaitPublishesNothing) {
    const std::string cycle = NmeaWriter::Gga({}) + NmeaWriter::Vtg({});
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", cycle + cycle));
    m_receiver->OpenReplayFile(u"\\track.nmea");
    for (int wait = 0; wait < 2000 && m_receiver->GetFilePosition() < cycle.size(); ++wait) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    m_clock.Advance(999);
    StopReader();
    m_clock.Advance(10000);
    EXPECT_TRUE(m_listener->Fixes().empty());
}

// Sources switched from another thread while Run reads: each fix is one of the data's, each
// status a defined code, and Stop still ends Run.
TEST_F(Receiver, SwitchesSourcesWhileRunReads) {
    const std::vector<testdata::DriveSample> samples = Drive();
    const std::string bytes = testdata::DriveGenerator::ToNmea(samples, true);
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", bytes));
    std::atomic<bool> isDone{false};
    std::thread clockMover([&] {
        while (!isDone) {
            m_clock.Advance(250);
            std::this_thread::sleep_for(100us);
        }
    });
    for (int round = 0; round < 60; ++round) {
        if (round % 3 == 1) {
            const std::vector<std::string> chunks = {bytes, "", bytes};
            m_receiver->AttachHandle(
                ScriptedStream::Open(std::make_shared<ScriptedStream>(chunks, false)));
        } else {
            m_receiver->OpenReplayFile(round % 3 == 0 ? u"\\track.nmea" : u"\\missing.nmea");
        }
        m_receiver->SetSentenceRate(round % 2 == 0 ? 0.0f : 2.0f);
        std::this_thread::sleep_for(2ms);
    }
    m_receiver->OpenReplayFile(u"\\track.nmea");
    EXPECT_TRUE(m_listener->WaitForFixes(m_listener->Fixes().size() + 2));
    StopReader();
    isDone = true;
    clockMover.join();
    for (const GpsFix& fix : m_listener->Fixes()) {
        // Position and time come from one sentence; course and speed may be another cycle's.
        const auto second = static_cast<std::size_t>(fix.utcTime - kYear2000);
        ASSERT_LT(second - 1, samples.size());
        EXPECT_NEAR(fix.latitude, samples[second - 1].reported.latitude, 1e-5);
    }
    for (const DWORD status : m_listener->Statuses()) {
        EXPECT_TRUE(status == GpsDevice::kStatusReplayFileMissing ||
                    status == GpsDevice::kStatusReadFailed);
    }
}

} // namespace
