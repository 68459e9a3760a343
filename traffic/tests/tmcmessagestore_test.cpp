// The TMC message store end to end: ALERT-C groups decoded into raw messages, handed over by the
// receiver's message signal, merged over generated TMC tables, expiring on the virtual clock.
#include "testdata/alertcencoder.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessagestore.h"
#include "traffic/tmcreceiver.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// Records the store's events as "+id", "-id", "old>new" and "=id" (ids in decimal).
class EventLog {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void Connect(TmcMessageStore& store) {
        store.Added.Connect(this, &EventLog::OnAdded);
        store.Removed.Connect(this, &EventLog::OnRemoved);
        store.Replaced.Connect(this, &EventLog::OnReplaced);
        store.Listed.Connect(this, &EventLog::OnListed);
    }
    void OnAdded(TmcMessagePtr m) { Record("+" + Id(m)); }
    void OnRemoved(TmcMessagePtr m) { Record("-" + Id(m)); }
    void OnReplaced(TmcMessagePtr old, TmcMessagePtr m) { Record(Id(old) + ">" + Id(m)); }
    void OnListed(TmcMessagePtr m) { Record("=" + Id(m)); }

    // The events so far, once there are at least `count` (or after a generous guard).
    Log Wait(std::size_t count) {
        std::unique_lock lock(m_mutex);
        (void)m_changed.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return m_log.size() >= count; });
        return m_log;
    }
    Log Take() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_log, {});
    }

private:
    static std::string Id(const TmcMessagePtr& m) {
        return std::to_string(m->GetId() >> 16) + "@" + std::to_string(m->GetId() & 0xFFFF);
    }
    void Record(std::string entry) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(std::move(entry));
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Log m_log;
    OwnerHandlerList m_handlers; // last: disconnects before the log goes
};

testdata::AlertCMessage Message(unsigned event, unsigned location, unsigned duration = 0,
                                std::vector<testdata::AlertCLabel> labels = {}) {
    testdata::AlertCMessage m;
    m.event = event;
    m.location = location;
    m.duration = duration;
    m.labels = std::move(labels);
    return m;
}

class TmcMessageStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
        testdata::TmcTablesModel model = testdata::TmcSampleTables();
        testdata::TmcLocationRow all;
        all.code = MakeTmcLocationCode(1, 1, 65535);
        all.firstName = "Alle";
        model.locations.push_back(all);
        ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(m_root, u"\\Data", true));
        ASSERT_TRUE(m_receiver && m_store);
        m_receiver->GetMessageSignal().Connect(m_store.Get(), &TmcMessageStore::OnRawMessage);
        ASSERT_TRUE(m_store->OpenDatabaseWithCache(u"\\Data", BlockCache::Create(256)));
        m_log.Connect(*m_store);
    }
    void TearDown() override { m_store->Added.Disconnect(&m_log); }

    // The message's groups decoded and handed over by the receiver's message signal.
    void Receive(const testdata::AlertCMessage& message) {
        m_receiver->GetMessageSignal().Emit(&Raw(message));
    }
    static const TmcRawMessage& Raw(const testdata::AlertCMessage& message) {
        static thread_local TmcRawMessage raw{};
        testdata::AlertCEncoder encoder;
        encoder.AddTable(message.programmeId, 1).AddMessage(message);
        const std::string text = encoder.Build();
        TmcDecoder decoder;
        for (int offset = 0; offset < static_cast<int>(text.size());) {
            offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
            if (const TmcRawMessage* decoded = decoder.TakeMessage()) {
                raw = *decoded;
            }
        }
        return raw;
    }
    void AdvanceSeconds(std::uint64_t seconds) { m_clock.Advance(seconds * 1000); }

    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    testdata::TempDeviceRoot m_root;
    six::RefCntPtr<TmcReceiver> m_receiver = CreateTmcReceiver();
    EventLog m_log;
    six::RefCntPtr<TmcMessageStore> m_store = CreateTmcMessageStore();
};

// The timer queue fires in due order on one thread, so the expiry of a marker message (513 at
// 105, 900 s; 401 at 105, 3600 s) shows that nothing due before it was left out of the log.
TEST_F(TmcMessageStoreTest, MergesRepeatsReplacementsAndCancellations) {
    const struct Step {
        const char* name;
        std::vector<testdata::AlertCMessage> received;
        std::uint64_t advanceSeconds; // then
        Log events;
        std::size_t count;
    } steps[] = {
        {"new message", {Message(101, 101)}, 300, {"+101@101"}, 1},
        {"marker", {Message(513, 105)}, 300, {"+513@105"}, 2},
        // The repeat at 600 s restarts the 900 s lifetime: alive when the marker expires.
        {"repeat", {Message(101, 101)}, 600, {"-513@105"}, 1},
        {"expiry of the repeat", {}, 300, {"-101@101"}, 0},
        {"two of other update classes",
         {Message(101, 102), Message(401, 102)},
         0,
         {"+101@102", "+401@102"},
         2},
        // Update classes 1 and 5: both are the same situation, one insertion.
        {"a match of both",
         {Message(101, 102, 0, {{9, 401}})},
         0,
         {"101@102>101@102", "401@102>101@102"},
         1},
        // Shares class 1; duration 3 makes 3600 s, so it outlives the marker.
        {"new event of a shared class",
         {Message(115, 102, 3), Message(513, 105)},
         900,
         {"101@102>115@102", "+513@105", "-513@105"},
         1},
        {"the new lifetime", {}, 2700, {"-115@102"}, 0},
        {"unknown location", {Message(101, 9999)}, 0, {}, 0},
        {"three for the clear",
         {Message(101, 101), Message(401, 103), Message(701, 104)},
         0,
         {"+101@101", "+401@103", "+701@104"},
         3},
        {"cancel all at every location",
         {Message(2047, 65535)},
         0,
         {"-101@101", "-401@103", "-701@104"},
         0},
        // No timer of the cleared messages fires an event.
        {"after the clear", {Message(401, 105)}, 3600, {"+401@105", "-401@105"}, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        for (const auto& message : s.received) {
            Receive(message);
        }
        AdvanceSeconds(s.advanceSeconds);
        EXPECT_EQ(m_log.Wait(s.events.size()), s.events);
        EXPECT_EQ(m_store->GetCount(), s.count);
        (void)m_log.Take();
    }
}

TEST_F(TmcMessageStoreTest, ReportsRefusedMessagesAndFindsById) {
    EXPECT_FALSE(m_store->AddRawMessage(&Raw(Message(101, 9999)))); // unknown location
    EXPECT_FALSE(m_store->AddRawMessage(nullptr));
    ASSERT_TRUE(m_store->AddRawMessage(&Raw(Message(401, 103))));
    EXPECT_TRUE(m_store->AddRawMessage(&Raw(Message(401, 103)))); // a repeat
    EXPECT_FALSE(m_store->FindById(401U << 16 | 104));
    const TmcMessagePtr found = m_store->FindById(401U << 16 | 103);
    ASSERT_TRUE(found);
    // Announced again and listed in set order.
    ASSERT_TRUE(m_store->AddRawMessage(&Raw(Message(101, 101))));
    (void)m_log.Take();
    m_store->AnnounceAll();
    m_store->ListAll();
    EXPECT_EQ(m_log.Take(), (Log{"+101@101", "+401@103", "=101@101", "=401@103"}));
    // The message handed out outlives its expiry (900 s and, for a longer-lasting event, 3600 s).
    AdvanceSeconds(3600);
    EXPECT_EQ(m_log.Wait(2), (Log{"-101@101", "-401@103"}));
    EXPECT_EQ(found->GetId(), 401U << 16 | 103);
    EXPECT_FALSE(found->GetText().empty());
    // Closing the database refuses new messages; a failed open keeps refusing them.
    m_store->CloseDatabase();
    EXPECT_FALSE(m_store->AddRawMessage(&Raw(Message(101, 101))));
    EXPECT_FALSE(m_store->OpenDatabaseWithCache(u"\\Missing", BlockCache::Create(16)));
    EXPECT_FALSE(m_store->AddRawMessage(&Raw(Message(101, 101))));
    EXPECT_FALSE(m_store->OpenDatabase(u"\\Data", nullptr, 0)); // no engine, no cache
    EXPECT_FALSE(m_store->AddRawMessage(&Raw(Message(101, 101))));
    EXPECT_FALSE(CreateTmcMessageStore()->AddRawMessage(&Raw(Message(101, 101))));
    EXPECT_EQ(m_store->GetCount(), 0U);
}

TEST_F(TmcMessageStoreTest, ARepeatArrivingAsTheMessageExpiresIsNeverLost) {
    const TmcRawMessage raw = Raw(Message(101, 101));
    ASSERT_TRUE(m_store->AddRawMessage(&raw));
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        // The last second of the lifetime passes while the repeat arrives: whichever comes
        // first, the repeat keeps the message.
        AdvanceSeconds(899);
        std::thread repeat([&] { EXPECT_TRUE(m_store->AddRawMessage(&raw)); });
        AdvanceSeconds(1);
        repeat.join();
        ASSERT_TRUE(m_store->FindById(101U << 16 | 101));
    }
    (void)m_log.Take();
    AdvanceSeconds(900);
    EXPECT_EQ(m_log.Wait(1), Log{"-101@101"});
}

} // namespace
