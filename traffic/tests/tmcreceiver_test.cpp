#include "testdata/alertcencoder.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "traffic/tmcreceiver.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using testdata::AlertCEncoder;
using testdata::AlertCMessage;

template <class Predicate>
bool WaitUntil(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Records what the receiver's signals carry, with the tick of each message.
struct Recorder {
    OwnerHandlerList handlers;
    mutable std::mutex mutex;
    std::vector<unsigned> events;
    std::vector<DWORD> ticks;
    std::vector<std::uint32_t> statuses;

    explicit Recorder(TmcReceiver& receiver) {
        receiver.GetMessageSignal().Connect(this, &Recorder::OnMessage);
        receiver.GetStatusSignal().Connect(this, &Recorder::OnStatus);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnMessage(const TmcRawMessage* message) {
        std::lock_guard lock(mutex);
        events.push_back((message->blockC[0] & 0x07U) << 8 | message->blockC[1]);
        ticks.push_back(GetTickCount());
    }
    void OnStatus(std::uint32_t code) {
        std::lock_guard lock(mutex);
        statuses.push_back(code);
    }
    std::size_t MessageCount() const {
        std::lock_guard lock(mutex);
        return events.size();
    }
};

// A handle whose reads come from a string, or fail.
class ScriptedStream final : public platform::StreamObject {
public:
    ScriptedStream(std::string content, bool fails)
        : m_content(std::move(content))
        , m_fails(fails) {}
    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override {
        transferred = 0;
        if (m_fails) {
            return ERROR_READ_FAULT;
        }
        const std::size_t left = m_content.size() - std::min(m_position, m_content.size());
        transferred = static_cast<DWORD>(std::min<std::size_t>(count, left));
        std::memcpy(buffer, m_content.data() + m_position, transferred);
        m_position += transferred;
        return ERROR_SUCCESS;
    }
    DWORD Write(const void*, DWORD, DWORD& transferred) override {
        transferred = 0;
        return ERROR_ACCESS_DENIED;
    }
    DWORD Seek(std::int64_t distance, DWORD moveMethod, std::uint64_t& position) override {
        if (moveMethod == FILE_BEGIN) {
            m_position = static_cast<std::size_t>(distance);
        }
        position = m_position;
        return ERROR_SUCCESS;
    }

private:
    std::string m_content;
    std::size_t m_position = 0;
    bool m_fails;
};

std::string Messages(std::initializer_list<unsigned> events) {
    AlertCEncoder encoder;
    for (const unsigned event : events) {
        AlertCMessage message;
        message.event = event;
        message.location = 1000 + event;
        encoder.AddMessage(message);
    }
    return encoder.Build();
}

class TmcReceiving : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_receiver.Get(), nullptr); }
    void TearDown() override { StopRun(); }

    void StartRun() {
        m_runner = std::thread([this] { m_receiver->Run(); });
    }
    void StopRun() {
        if (m_runner.joinable()) {
            m_receiver->Stop();
            m_runner.join();
        }
    }
    // Waits until the reader has made reads reads in all and waits again.
    ::testing::AssertionResult SettleAt(std::uint32_t reads) {
        const bool isSettled = WaitUntil(
            [&] { return m_receiver->GetReadStats().count >= reads && m_receiver->IsWaiting(); });
        const std::uint32_t made = m_receiver->GetReadStats().count;
        if (!isSettled || made != reads) {
            return ::testing::AssertionFailure() << made << " reads, expected " << reads;
        }
        return ::testing::AssertionSuccess();
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    six::RefCntPtr<TmcReceiver> m_receiver = CreateTmcReceiver();
    Recorder m_recorder{*m_receiver};
    std::thread m_runner;
};

TEST_F(TmcReceiving, PacesAReplayByItsRateAndRepeatsIt) {
    const std::string text = Messages({11, 12, 13});
    ASSERT_TRUE(m_root.WriteFile(u"\\tmc\\replay.txt", text));
    EXPECT_EQ(m_receiver->GetSettingsFile(), u"TMC.ini");
    m_receiver->SetReplayRate(2.0F);
    EXPECT_EQ(m_receiver->GetReplayRate(), 2.0F);
    ASSERT_TRUE(m_receiver->OpenRawLog(u"\\tmc\\raw.log"));
    ASSERT_TRUE(m_receiver->OpenReplayFile(u"\\tmc\\replay.txt"));
    StartRun();
    for (std::size_t count = 1; count <= 7; ++count) {
        ASSERT_TRUE(WaitUntil([&] { return m_receiver->IsWaiting(); }));
        m_clock.Advance(500);
        ASSERT_TRUE(WaitUntil(
            [&] { return m_recorder.MessageCount() >= count && m_receiver->IsWaiting(); }));
        ASSERT_EQ(m_recorder.MessageCount(), count);
    }
    StopRun();
    m_receiver->CloseRawLog();
    EXPECT_EQ(m_recorder.events, (std::vector<unsigned>{11, 12, 13, 11, 12, 13, 11}));
    for (std::size_t index = 1; index < m_recorder.ticks.size(); ++index) {
        EXPECT_GE(m_recorder.ticks[index] - m_recorder.ticks[index - 1], 500U);
    }
    EXPECT_TRUE(m_recorder.statuses.empty());
    const std::optional<std::string> log = m_root.ReadFile(u"\\tmc\\raw.log");
    ASSERT_TRUE(log.has_value());
    ASSERT_GE(log->size(), 2 * text.size());
    for (std::size_t index = 0; index < log->size(); ++index) {
        ASSERT_EQ((*log)[index], text[index % text.size()]) << "byte " << index;
    }
}

TEST_F(TmcReceiving, ReportsAMissingFileAndClosesAHandleThatFails) {
    EXPECT_FALSE(m_receiver->OpenReplayFile(u"\\tmc\\missing.txt"));
    EXPECT_EQ(m_recorder.statuses, std::vector<std::uint32_t>{3});
    HANDLE failing =
        platform::RegisterHandle(std::make_shared<ScriptedStream>(std::string(), true));
    ASSERT_NE(failing, nullptr);
    m_receiver->AttachHandle(failing);
    StartRun();
    ASSERT_TRUE(SettleAt(1)) << "then it waits for another source";
    EXPECT_EQ(m_recorder.statuses, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_EQ(platform::LookupHandle(failing), nullptr) << "closed";
}

// A replay moved by the user refuses a position past the end of the file as it is at that moment
// (shortened since it was opened, say): the replay stays open where it was. Without a file
// nothing moves.
TEST_F(TmcReceiving, MovesAReplayOnlyWithinTheFileAsItIsNow) {
    const std::string text = Messages({11, 12, 13, 14, 15, 16, 17, 18});
    ASSERT_GT(text.size(), 100u);
    constexpr DWORD kStart = 20;
    const auto size = static_cast<DWORD>(text.size());
    const struct {
        const char* what;
        bool hasFile;
        DWORD shrunkTo; // the file cut to this many bytes after it was opened; 0: left whole
        DWORD offset;
        bool isMoved;
    } rows[] = {
        {"past its end", true, 0, size + 1, false},
        {"far past its end", true, 0, 0xFFFFFFF0, false},
        {"within the file before it was cut short", true, 60, 90, false},
        {"without a file", false, 0, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(m_root.WriteFile(u"\\tmc\\replay.txt", text));
        EXPECT_EQ(
            m_receiver->OpenReplayFile(row.hasFile ? u"\\tmc\\replay.txt" : u"\\tmc\\missing.txt"),
            row.hasFile);
        EXPECT_EQ(m_receiver->SetFilePosition(kStart), row.hasFile);
        if (row.shrunkTo != 0) {
            ASSERT_TRUE(m_root.WriteFile(u"\\tmc\\replay.txt", text.substr(0, row.shrunkTo)));
        }
        EXPECT_EQ(m_receiver->SetFilePosition(row.offset), row.isMoved);
        const DWORD kept = row.hasFile ? kStart : INVALID_SET_FILE_POINTER;
        EXPECT_EQ(m_receiver->GetFilePosition(), row.isMoved ? row.offset : kept);
        EXPECT_EQ(m_receiver->GetFileLength(),
                  row.hasFile ? (row.shrunkTo != 0 ? row.shrunkTo : size) : 0U);
    }
}

// A replay file of which a whole pass gives no group is read once, then closed and left alone.
TEST_F(TmcReceiving, WaitsAfterARewindThatBroughtNoMessage) {
    const struct {
        const char* name;
        std::string content;
        bool isReplayFile;           // else a handle
        std::uint32_t readsPerRound; // reads up to and including the one at the end
        bool isLeftAlone;            // after the first round
    } cases[] = {
        {"empty file", "", false, 1, false},
        {"no whole message", "D301840D", false, 2, false},
        {"a replay file of a group without a message", "D3010408D3012020\n", true, 4, false},
        {"a replay file of blocks apart", "D301 0408 D301 2020\n", true, 4, true},
        {"an empty replay file", "", true, 1, true},
        {"a replay file of a group on a line without its end", "D3010408D3012020", true, 3, false},
    };
    bool wasLeftAlone = false; // the former file: the reader waits for a source, not the clock
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t before = m_receiver->GetReadStats().count;
        if (c.isReplayFile) {
            ASSERT_TRUE(m_root.WriteFile(u"\\tmc\\replay.txt", c.content));
            ASSERT_TRUE(m_receiver->OpenReplayFile(u"\\tmc\\replay.txt"));
        } else {
            m_receiver->AttachHandle(
                platform::RegisterHandle(std::make_shared<ScriptedStream>(c.content, false)));
        }
        if (!m_runner.joinable()) {
            StartRun();
        } else if (!wasLeftAlone) {
            m_clock.Advance(TmcReceiver::kEmptyRewindMs); // ends the former file's wait
        }
        wasLeftAlone = c.isLeftAlone;
        ASSERT_TRUE(SettleAt(before + c.readsPerRound));
        EXPECT_EQ(m_receiver->GetFilePosition(), c.isLeftAlone ? INVALID_SET_FILE_POINTER : 0U)
            << "closed, or rewound";
        // A handle without a size (a port) has no length either.
        EXPECT_EQ(m_receiver->GetFileLength(),
                  c.isReplayFile && !c.isLeftAlone ? c.content.size() : 0U);
        for (std::uint32_t round = 2; round <= 10; ++round) {
            m_clock.Advance(TmcReceiver::kEmptyRewindMs);
            ASSERT_TRUE(SettleAt(before + (c.isLeftAlone ? 1 : round) * c.readsPerRound));
        }
    }
}

class TmcLibrarySource : public TmcReceiving {
protected:
    // The suite runs whole in one process as well: a test after one that took the process's
    // adapter finds its library closed and nothing of the earlier scenario queued.
    void SetUp() override {
        TmcReceiving::SetUp();
        if (s_isAdapterTaken)
            ExpectAdapterClosedAndEmpty("by an earlier test");
    }
    void TearDown() override {
        TmcReceiving::TearDown();
        ReleaseAdapter();
    }
    void ExpectAdapterClosedAndEmpty(const char* when) {
        const CountedPtr<GpsTmcAdapter> adapter = GpsTmcAdapter::Instance();
        EXPECT_EQ(adapter->ReadTunerFrequency(), 0U) << "the library is open, " << when;
        char buffer[256];
        EXPECT_LE(adapter->ReadTmc(buffer, sizeof buffer), 0) << "groups are queued, " << when;
    }
    // The adapter is the process's own: the library a test opened stops with the test, and the
    // groups it delivered and no reader took are dropped, so that nothing of its scenario reaches
    // the tests after it.
    void ReleaseAdapter() {
        if (m_adapter.Get() == nullptr)
            return;
        s_isAdapterTaken = true;
        m_adapter->Close();
        Pump();
        char buffer[256];
        while (m_adapter->ReadTmc(buffer, sizeof buffer) > 0 ||
               m_adapter->ReadNmea(buffer, sizeof buffer) > 0) {
        }
    }
    void OpenLibrary(const std::string& groups) {
        ASSERT_TRUE(m_root.InstallModule(platform::kGpsTmcModuleName));
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\groups.txt", groups));
        testdata::ScenarioStation station;
        station.frequency = 880;
        station.programmeId = 0xD301;
        station.groups = groups.empty() ? "" : "groups.txt";
        station.groupsPerSecond = 10;
        testdata::ReceiverScenarioWriter scenario;
        scenario.SetTuner(100, 0).AddStation(station);
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\gpstmc.ini", scenario.Build()));
        m_adapter = GpsTmcAdapter::Instance();
        ASSERT_TRUE(m_adapter->Open(0, 38400, false, 880));
        Pump();
    }
    void Pump() {
        platform::WaitForGpsTmcCatchUp();
        ASSERT_TRUE(m_driver.RunUntilIdle());
    }

    platform::ScreenDriver m_driver{&m_clock};
    CountedPtr<GpsTmcAdapter> m_adapter;
    // Whether a test of this process took the process's adapter.
    static inline bool s_isAdapterTaken = false;
};

TEST_F(TmcLibrarySource, TurnsTheQueuedGroupsIntoMessages) {
    OpenLibrary(Messages({21, 22, 23}));
    m_receiver->UseReceiverLibrary(false);
    EXPECT_FALSE(m_receiver->GetSupervisor().IsThreadRunning());
    StartRun();
    // The reader thread may lag behind the clock on a loaded machine: the clock goes on until
    // the messages are in or, in real time, the wait has lasted too long.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (m_recorder.MessageCount() < 4 && std::chrono::steady_clock::now() < giveUp) {
        m_clock.Advance(100);
        Pump();
    }
    ASSERT_GE(m_recorder.MessageCount(), 4u);
    StopRun();
    EXPECT_EQ(std::vector<unsigned>(m_recorder.events.begin(), m_recorder.events.begin() + 4),
              (std::vector<unsigned>{21, 22, 23, 21}));
    // With no reader the library's groups stay queued; releasing the adapter drops them.
    m_clock.Advance(1000);
    Pump();
    char line[17];
    ASSERT_EQ(m_adapter->ReadTmc(line, sizeof line), 17)
        << "groups queued after the reader stopped";
    ReleaseAdapter();
    ExpectAdapterClosedAndEmpty("once released");
}

TEST_F(TmcLibrarySource, RetriesAClosedReceiverEveryFiveSeconds) {
    // Its last Open failed, whatever an earlier test made of the process's adapter: no library
    // or no scenario in this root. Reads fail.
    m_adapter = GpsTmcAdapter::Instance();
    ASSERT_FALSE(m_adapter->Open(0, 38400, false, 880));
    m_receiver->UseReceiverLibrary(false);
    StartRun();
    for (std::uint32_t round = 1; round <= 3; ++round) {
        ASSERT_TRUE(SettleAt(round));
        EXPECT_EQ(m_receiver->GetReadStats().lastTick, (round - 1) * TmcReceiver::kLibraryRetryMs);
        m_clock.Advance(TmcReceiver::kLibraryRetryMs - 1);
        m_clock.Advance(1);
    }
}

TEST_F(TmcLibrarySource, PollsAnEmptyQueueByTheRate) {
    const struct {
        float rate;
        DWORD intervalMs;
    } cases[] = {{2.0F, 500}, {0.0F, TmcReceiver::kIdlePollMs}};
    OpenLibrary("");
    m_receiver->UseReceiverLibrary(false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        m_receiver->SetReplayRate(c.rate);
        StartRun();
        ASSERT_TRUE(WaitUntil([&] { return m_receiver->IsWaiting(); }));
        std::uint32_t reads = m_receiver->GetReadStats().count;
        for (int round = 0; round < 3; ++round) {
            const DWORD start = GetTickCount();
            m_clock.Advance(c.intervalMs - 1);
            m_clock.Advance(1);
            ASSERT_TRUE(SettleAt(++reads));
            EXPECT_EQ(m_receiver->GetReadStats().lastTick, start + c.intervalMs);
        }
        StopRun();
    }
}

TEST_F(TmcLibrarySource, OtherSourcesAndTheDestructorStopTheSupervisor) {
    OpenLibrary("");
    ASSERT_TRUE(m_root.WriteFile(u"\\tmc\\replay.txt", Messages({1})));
    const std::size_t handles = platform::OpenHandleCount();
    enum class Switch { Handle, ReplayFile, MissingFile, Unsupervised, Destructor };
    for (const Switch change : {Switch::Handle, Switch::ReplayFile, Switch::MissingFile,
                                Switch::Unsupervised, Switch::Destructor}) {
        SCOPED_TRACE(static_cast<int>(change));
        six::RefCntPtr<TmcReceiver> receiver = CreateTmcReceiver();
        receiver->UseReceiverLibrary(true);
        ASSERT_TRUE(receiver->GetSupervisor().IsThreadRunning());
        switch (change) {
        case Switch::Handle:
            receiver->AttachHandle(
                platform::RegisterHandle(std::make_shared<ScriptedStream>("", false)));
            break;
        case Switch::ReplayFile:
            EXPECT_TRUE(receiver->OpenReplayFile(u"\\tmc\\replay.txt"));
            break;
        case Switch::MissingFile:
            EXPECT_FALSE(receiver->OpenReplayFile(u"\\tmc\\none.txt"));
            break;
        case Switch::Unsupervised:
            receiver->UseReceiverLibrary(false);
            break;
        case Switch::Destructor:
            break;
        }
        if (change != Switch::Destructor) {
            EXPECT_FALSE(receiver->GetSupervisor().IsThreadRunning());
        }
        receiver = nullptr;
        EXPECT_EQ(platform::OpenHandleCount(), handles) << "events, thread and files closed";
    }
}

} // namespace
