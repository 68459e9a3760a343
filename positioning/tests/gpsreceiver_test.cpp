#include "positioning/gpsreceiver.h"
#include "testdata/drivegenerator.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using testdata::NmeaFixValues;
using testdata::NmeaWriter;

constexpr std::uint32_t kYear2000 = 946684800; // 2000-01-01 00:00:00 UTC, the virtual clock's start

// A handle's stream for tests: a file (with a position) or a port (scripted chunks, "" for a
// read that returns nothing, then read failures). Counts its reads.
class ScriptedStream final : public platform::StreamObject {
public:
    static HANDLE File(std::string bytes, std::shared_ptr<ScriptedStream>* keep = nullptr) {
        auto stream = std::make_shared<ScriptedStream>();
        stream->m_bytes = std::move(bytes);
        stream->m_hasPosition = true;
        if (keep != nullptr) {
            *keep = stream;
        }
        return platform::RegisterHandle(stream);
    }
    static HANDLE Port(std::vector<std::string> chunks) {
        auto stream = std::make_shared<ScriptedStream>();
        stream->m_chunks = std::move(chunks);
        return platform::RegisterHandle(stream);
    }

    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override {
        std::lock_guard locked(m_mutex);
        ++m_reads;
        transferred = 0;
        if (m_hasPosition) {
            const std::size_t take = std::min<std::size_t>(
                count, m_position < m_bytes.size() ? m_bytes.size() - m_position : 0);
            std::memcpy(buffer, m_bytes.data() + m_position, take);
            m_position += take;
            transferred = static_cast<DWORD>(take);
            return ERROR_SUCCESS;
        }
        if (m_chunks.empty()) {
            return ERROR_READ_FAULT;
        }
        std::string& chunk = m_chunks.front();
        const std::size_t take = std::min<std::size_t>(count, chunk.size());
        std::memcpy(buffer, chunk.data(), take);
        transferred = static_cast<DWORD>(take);
        chunk.erase(0, take);
        if (chunk.empty()) {
            m_chunks.erase(m_chunks.begin());
        }
        return ERROR_SUCCESS;
    }
    DWORD Write(const void*, DWORD, DWORD& transferred) override {
        transferred = 0;
        return ERROR_ACCESS_DENIED;
    }
    DWORD Seek(std::int64_t distance, DWORD moveMethod, std::uint64_t& position) override {
        if (!m_hasPosition) {
            return StreamObject::Seek(distance, moveMethod, position);
        }
        std::lock_guard locked(m_mutex);
        const std::int64_t base = moveMethod == FILE_BEGIN     ? 0
                                  : moveMethod == FILE_CURRENT ? std::int64_t(m_position)
                                                               : std::int64_t(m_bytes.size());
        m_position = static_cast<std::size_t>(base + distance);
        position = m_position;
        return ERROR_SUCCESS;
    }
    DWORD Size(std::uint64_t& size) override {
        if (!m_hasPosition) {
            return StreamObject::Size(size);
        }
        std::lock_guard locked(m_mutex);
        size = m_bytes.size();
        return ERROR_SUCCESS;
    }

    [[nodiscard]] int Reads() {
        std::lock_guard locked(m_mutex);
        return m_reads;
    }

private:
    std::mutex m_mutex;
    std::string m_bytes;
    std::size_t m_position = 0;
    bool m_hasPosition = false;
    std::vector<std::string> m_chunks;
    int m_reads = 0;
};

// Records the receiver's signals.
struct Listener {
    OwnerHandlerList handlers;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<GpsFix> fixes;
    std::vector<DWORD> statuses;

    explicit Listener(GpsDevice& device) {
        device.GetFixSignal().Connect(this, &Listener::OnFix);
        device.GetStatusSignal().Connect(this, &Listener::OnStatus);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnFix(const GpsFix* fix) {
        std::lock_guard locked(mutex);
        fixes.push_back(*fix);
        changed.notify_all();
    }
    void OnStatus(DWORD status) {
        std::lock_guard locked(mutex);
        statuses.push_back(status);
        changed.notify_all();
    }
    // Waits (real time) until there are count fixes; false after 5 s.
    bool WaitForFixes(std::size_t count) {
        std::unique_lock locked(mutex);
        return changed.wait_for(locked, 5s, [&] { return fixes.size() >= count; });
    }
    std::size_t FixCount() {
        std::lock_guard locked(mutex);
        return fixes.size();
    }
    GpsFix Fix(std::size_t index) {
        std::lock_guard locked(mutex);
        return fixes.at(index);
    }
    std::size_t StatusCount() {
        std::lock_guard locked(mutex);
        return statuses.size();
    }
};

std::string ShippedSettings() {
    std::ifstream file(NAV_DEZIV_INI, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Samples one second apart from 00:00:01 UTC, moving north-east.
std::vector<NmeaFixValues> Samples(int count) {
    std::vector<NmeaFixValues> samples;
    for (int i = 0; i < count; ++i) {
        NmeaFixValues values;
        values.hour = 0;
        values.minute = 0;
        values.second = i + 1;
        values.latitude = 47.1 + i * 0.0001;
        values.longitude = 9.52 + i * 0.00015;
        values.course = 40.0 + i;
        values.speedKmh = 50.0 + i;
        values.satellites = 5 + i;
        values.hdop = 0.8 + 0.1 * i;
        samples.push_back(values);
    }
    return samples;
}

class Receiver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.WriteFile(u"\\deziv.ini", ShippedSettings()));
        m_receiver = CreateGpsReceiver(u"\\deziv.ini");
        ASSERT_TRUE(m_receiver);
        m_listener = std::make_unique<Listener>(*m_receiver);
        m_reader = std::thread([this] { m_receiver->Run(); });
    }
    void TearDown() override {
        StopReader();
        m_listener.reset();
    }
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
    std::unique_ptr<Listener> m_listener;
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
    settings.seed = 7;
    return generator.Generate(settings);
}

TEST_F(Receiver, ReplaysAFileAtOneFixASecondAndRepeatsIt) {
    const std::vector<testdata::DriveSample> samples = Drive();
    ASSERT_GE(samples.size(), 10u);
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", testdata::DriveGenerator::ToNmea(samples)));

    m_receiver->OpenReplayFile(u"\\missing.nmea");
    EXPECT_EQ(m_listener->statuses, std::vector<DWORD>{GpsDevice::kStatusReplayFileMissing});
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m_listener->FixCount(), 0u) << "waits for another source";

    m_receiver->OpenReplayFile(u"\\track.nmea");
    EXPECT_EQ(m_receiver->GetSentenceRate(), 2.0f);
    const std::size_t rounds = samples.size() + 3;
    for (std::size_t i = 0; i < rounds; ++i) {
        SCOPED_TRACE(i);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(m_listener->FixCount(), i) << "paced: nothing before the second is over";
        m_clock.Advance(1000);
        ASSERT_TRUE(m_listener->WaitForFixes(i + 1));
        const GpsFix fix = m_listener->Fix(i);
        const testdata::DriveSample& sample = samples[i % samples.size()];
        EXPECT_NEAR(fix.latitude, sample.reported.latitude, 1e-5);
        EXPECT_NEAR(fix.longitude, sample.reported.longitude, 1e-5);
        // Written to 0.1, read as whole units.
        EXPECT_NEAR(fix.course, sample.course, 1.0);
        EXPECT_NEAR(fix.speed, sample.speedKmh, 1.0);
        EXPECT_EQ(fix.satellites, sample.satellites);
        EXPECT_NEAR(fix.hdop, sample.hasFix ? sample.hdop : GpsFix::kHdopNoFix, 1e-6);
        EXPECT_EQ(fix.utcTime, kYear2000 + static_cast<std::uint32_t>(sample.secondOfDay));
        EXPECT_EQ(fix.positionStatus | fix.courseStatus | fix.speedStatus, 0);
    }
}

// A file that never completes a cycle is read again only after a rest, not in a tight loop.
TEST_F(Receiver, RestsBetweenRereadsOfAFileWithoutACycle) {
    const std::string halfCycle = NmeaWriter::Gga(NmeaFixValues{});
    bool isResting = false; // in the rest after the last pass of the previous file
    for (const std::string& bytes : {std::string(), halfCycle}) {
        SCOPED_TRACE(bytes.size());
        std::shared_ptr<ScriptedStream> stream;
        m_receiver->AttachHandle(ScriptedStream::File(bytes, &stream));
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
    EXPECT_EQ(m_listener->FixCount(), 0u);
}

// A port has no position: a read of nothing counts as its end, and what it sent before stays
// buffered; a failed read closes it with status 4.
TEST_F(Receiver, KeepsBufferedBytesOfAPortAndDropsItOnAFailedRead) {
    const std::string cycle = NmeaWriter::Gga(NmeaFixValues{}) + NmeaWriter::Vtg(NmeaFixValues{});
    m_receiver->AttachHandle(ScriptedStream::Port({cycle.substr(0, 20), "", cycle.substr(20)}));
    m_receiver->SetSentenceRate(0.0f);
    for (int step = 0; step < 500 && m_listener->StatusCount() == 0; ++step) {
        m_clock.Advance(GpsReceiver::kIdleRewindMs);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(m_listener->WaitForFixes(1));
    EXPECT_EQ(m_listener->FixCount(), 1u);
    EXPECT_NEAR(m_listener->Fix(0).latitude, 47.1, 1e-5);
    std::lock_guard locked(m_listener->mutex);
    EXPECT_EQ(m_listener->statuses, std::vector<DWORD>{GpsDevice::kStatusReadFailed});
}

TEST_F(Receiver, StopDuringThePacingWaitPublishesNothing) {
    const std::string cycle = NmeaWriter::Gga(NmeaFixValues{}) + NmeaWriter::Vtg(NmeaFixValues{});
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", cycle + cycle));
    m_receiver->OpenReplayFile(u"\\track.nmea");
    for (int wait = 0; wait < 2000 && m_receiver->GetFilePosition() < cycle.size(); ++wait) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    m_clock.Advance(999);
    m_receiver->Stop();
    m_reader.join();
    m_clock.Advance(10000);
    EXPECT_EQ(m_listener->FixCount(), 0u);
}

// Sources switched from another thread while Run reads: every fix is a whole one of the data,
// every status a defined code, and Stop still ends Run.
TEST_F(Receiver, SwitchesSourcesWhileRunReads) {
    const std::vector<NmeaFixValues> samples = Samples(3);
    NmeaWriter writer;
    for (const NmeaFixValues& values : samples) {
        writer.AddCycle(values);
    }
    const std::string bytes = writer.Build();
    ASSERT_TRUE(m_root.WriteFile(u"\\track.nmea", bytes));
    std::atomic<bool> isDone{false};
    std::thread clockMover([&] {
        while (!isDone) {
            m_clock.Advance(250);
            std::this_thread::sleep_for(100us);
        }
    });
    for (int round = 0; round < 60; ++round) {
        switch (round % 3) {
        case 0:
            m_receiver->OpenReplayFile(u"\\track.nmea");
            break;
        case 1:
            m_receiver->AttachHandle(ScriptedStream::Port({bytes, "", bytes}));
            break;
        default:
            m_receiver->OpenReplayFile(u"\\missing.nmea");
            break;
        }
        m_receiver->SetSentenceRate(round % 2 == 0 ? 0.0f : 2.0f);
        std::this_thread::sleep_for(2ms);
    }
    m_receiver->OpenReplayFile(u"\\track.nmea");
    EXPECT_TRUE(m_listener->WaitForFixes(m_listener->FixCount() + 2));
    StopReader();
    isDone = true;
    clockMover.join();
    std::lock_guard locked(m_listener->mutex);
    for (const GpsFix& fix : m_listener->fixes) {
        const auto second = static_cast<int>(fix.utcTime % 60);
        ASSERT_TRUE(second >= 1 && second <= 3) << fix.utcTime;
        // Position and time come from one sentence; course and speed may be another cycle's.
        EXPECT_NEAR(fix.latitude, samples[second - 1].latitude, 1e-5);
    }
    for (const DWORD status : m_listener->statuses) {
        EXPECT_TRUE(status == GpsDevice::kStatusReplayFileMissing ||
                    status == GpsDevice::kStatusReadFailed);
    }
}

} // namespace
