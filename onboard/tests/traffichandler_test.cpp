// The traffic handler over the route service of a generated grid: flags of blocking messages,
// the messages on the route, and the 60 s notification on the virtual clock.
#include "onboard/traffichandler.h"
#include "routing/tests/serviceworld.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace servicetest;
using Ids = std::set<std::uint32_t>;
using Log = std::vector<std::string>;

constexpr std::uint32_t kBothWays = 2U << 30;

// A message with the given id, element keys and blockage (word, values), without tables.
class FakeMessage final : public TmcMessage {
public:
    FakeMessage(TmcDatabase& tables, std::uint32_t id, std::vector<std::uint32_t> keys,
                bool isBlocking, std::uint16_t word = 0xFFFF)
        : TmcMessage(TmcRawMessage{}, tables, nullptr, 0)
        , m_id(id)
        , m_keys(std::move(keys)) {
        if (isBlocking) {
            m_impact.SetBlocking()->word = word;
        }
    }
    const TmcRouteImpact& GetRouteImpact() const override { return m_impact; }
    const std::vector<std::uint32_t>& GetElementIds() const override { return m_keys; }
    std::uint32_t GetId() const override { return m_id; }

private:
    std::uint32_t m_id;
    std::vector<std::uint32_t> m_keys;
    TmcRouteImpact m_impact;
};

// A store whose messages are whatever the test puts in.
class FakeStore final : public TmcMessageStore {
public:
    TmcMessagePtr FindById(std::uint32_t id) override {
        std::lock_guard lock(m_mutex);
        const auto found = m_messages.find(id);
        return found != m_messages.end() ? found->second : nullptr;
    }
    void Put(const TmcMessagePtr& message) {
        std::lock_guard lock(m_mutex);
        m_messages[message->GetId()] = message;
    }

private:
    std::mutex m_mutex;
    std::map<std::uint32_t, TmcMessagePtr> m_messages;
};

// Records "Jam!" and "clear".
class NotificationLog {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnJam(const char* text, bool replan) { Record(std::string(text) + (replan ? "+" : "")); }
    void OnClear(bool replan) { Record(replan ? "clear+" : "clear"); }
    Log Wait(std::size_t count) {
        std::unique_lock lock(m_mutex);
        (void)m_changed.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return m_log.size() >= count; });
        return m_log;
    }

private:
    void Record(std::string entry) {
        std::lock_guard lock(m_mutex);
        m_log.push_back(std::move(entry));
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Log m_log;
    OwnerHandlerList m_handlers;
};

class TrafficHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_world.service && m_tables && m_service && m_store);
        ASSERT_TRUE(m_service->OpenNetwork(m_world.Net()));
        // Along the grid's first row: elements (0,1), (1,2), (2,3).
        m_route = m_world.service->RequestRoute(m_world.Position(0, 1, 0.5),
                                                m_world.Position(2, 3, 0.5), nullptr);
        ASSERT_EQ(m_route.status, routestatus::kFound);
    }
    std::unique_ptr<TrafficHandler> MakeHandler(NotificationLog& log) {
        auto handler = std::make_unique<TrafficHandler>(m_service, m_store);
        handler->jamSource.Connect(&log, &NotificationLog::OnJam);
        handler->clearSource.Connect(&log, &NotificationLog::OnClear);
        return handler;
    }
    TmcMessagePtr Message(std::uint32_t id, std::uint32_t from, std::uint32_t to,
                          bool isBlocking = true, std::uint16_t word = 0xFFFF) {
        TmcMessagePtr message(new FakeMessage(
            *m_tables, id, {m_world.ElementBetween(from, to) | kBothWays}, isBlocking, word));
        static_cast<FakeStore&>(*m_store).Put(message);
        return message;
    }
    void Advance(std::uint64_t seconds) { m_clock.Advance(seconds * 1000); }

    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    ServiceWorld& m_world = SmallWorld();
    TmcDatabasePtr m_tables = CreateTmcDatabase(BlockCache::Create(16));
    RouteServicePtr m_service = CreateRouteService(m_world.engine); // flags of its own
    six::RefCntPtr<TmcMessageStore> m_store{new FakeStore()};
    RouteRequestResult m_route;
};

TEST(TrafficHandlerMatch, KeysMatchRecordsByDirectionCode) {
    const struct {
        std::uint32_t key;
        bool withFlagClear, withFlagSet;
    } cases[] = {
        {7, false, false},
        {7 | 1U << 30, true, false},
        {7 | 2U << 30, true, true},
        {7 | 3U << 30, false, true},
        {8 | 2U << 30, false, false},          // another element
        {7 | 2U << 30 | 3U << 28, true, true}, // bits 28-29 not looked at
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        RouteRecord record;
        record.linkId = 7;
        EXPECT_EQ(TrafficHandler::MatchesRouteRecord(c.key, record), c.withFlagClear);
        record.elementAttributes = 1U << 28;
        EXPECT_EQ(TrafficHandler::MatchesRouteRecord(c.key, record), c.withFlagSet);
    }
}

TEST_F(TrafficHandlerTest, FlagsTheRoadsOfBlockingMessagesWhileAvoiding) {
    NotificationLog log;
    const auto handler = MakeHandler(log);
    const std::uint32_t element = m_world.ElementBetween(5, 6);
    enum class Op { Add, Remove, Off, On };
    const struct {
        const char* name;
        Op op;
        TmcMessagePtr message;
        int value; // at node 5
        Ids known;
    } steps[] = {
        {"no blockage", Op::Add, Message(1, 5, 6, false), -1, {}},
        {"blockage: percent 0 + (5 - 0) / 2", Op::Add, Message(2, 5, 6), 1, {2}},
        {"removed", Op::Remove, Message(2, 5, 6), -1, {}},
        {"word 40: speed", Op::Add, Message(3, 5, 6, true, 40), 0x80 | 20, {3}},
        {"avoidance off", Op::Off, nullptr, -1, {3}},
        {"avoidance on: flag 2", Op::On, nullptr, 1, {3}},
        {"removed again", Op::Remove, Message(3, 5, 6, true, 40), -1, {}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        switch (s.op) {
        case Op::Add:
            handler->OnMessageAdded(s.message);
            break;
        case Op::Remove:
            handler->OnMessageRemoved(s.message);
            break;
        case Op::Off:
        case Op::On:
            handler->SetAvoidance(s.op == Op::On);
            break;
        }
        EXPECT_EQ(ValueAt(m_world, *m_service, 5, element), s.value);
        EXPECT_EQ(handler->GetKnownMessages(), s.known);
    }
}

// Most scenarios end with a removal, whose "clear" comes after anything armed before it: the
// handler's timers fire in due order on one thread.
TEST_F(TrafficHandlerTest, NotifiesOnceSixtySecondsAfterTheMessagesOnTheRouteChanged) {
    const struct {
        const char* name;
        Log expected;
        std::size_t onRouteAtEnd;
    } scenarios[] = {
        {"two 30 s apart, one jam 60 s after the second", {"Jam!", "clear"}, 1},
        {"added and removed within 60 s: one of the first kind", {"Jam!"}, 0},
        {"replaced: the count kept, nothing fired", {"Jam!", "clear"}, 0},
        {"a new route: known messages on it silently", {"clear"}, 0},
        {"off the route: nothing", {"Jam!", "clear"}, 0},
    };
    for (std::size_t i = 0; i < std::size(scenarios); ++i) {
        const auto& s = scenarios[i];
        SCOPED_TRACE(s.name);
        NotificationLog log;
        auto handler = MakeHandler(log);
        handler->SetRoute(m_route);
        const TmcMessagePtr a = Message(10, 1, 2);
        const TmcMessagePtr b = Message(11, 2, 3);
        switch (i) {
        case 0:
            handler->OnMessageAdded(a);
            Advance(30);
            handler->OnMessageAdded(b);
            Advance(59);
            EXPECT_EQ(handler->GetMessagesOnRoute(), (Ids{10, 11}));
            Advance(1);
            EXPECT_EQ(log.Wait(1), Log{"Jam!"});
            handler->OnMessageRemoved(a);
            break;
        case 1:
            handler->OnMessageAdded(a);
            Advance(30);
            handler->OnMessageRemoved(a);
            break;
        case 2: {
            handler->OnMessageAdded(a);
            Advance(60);
            EXPECT_EQ(log.Wait(1), Log{"Jam!"});
            const TmcMessagePtr updated = Message(12, 1, 2);
            handler->OnMessageReplaced(a, updated);
            EXPECT_EQ(handler->GetMessagesOnRoute(), Ids{12});
            EXPECT_EQ(handler->GetKnownMessages(), Ids{12});
            Advance(30);
            handler->OnMessageRemoved(updated);
            break;
        }
        case 3:
            handler->SetAvoidance(false);
            handler->OnMessageAdded(a); // known, not flagged, not on the route
            handler->SetAvoidance(true);
            handler->SetRoute(m_route);
            EXPECT_EQ(handler->GetMessagesOnRoute(), Ids{10});
            handler->OnMessageRemoved(a);
            break;
        case 4:
            handler->OnMessageAdded(Message(13, 5, 6));
            EXPECT_EQ(handler->GetMessagesOnRoute(), Ids{});
            handler->OnMessageAdded(a);
            Advance(60);
            EXPECT_EQ(log.Wait(1), Log{"Jam!"});
            handler->OnMessageRemoved(a);
            break;
        }
        Advance(60);
        EXPECT_EQ(log.Wait(s.expected.size()), s.expected);
        EXPECT_EQ(handler->GetMessagesOnRoute().size(), s.onRouteAtEnd);
        handler->SetAvoidance(false); // leaves the shared service unflagged
    }
}

TEST_F(TrafficHandlerTest, AvoidanceOffForgetsTheRoutesMessagesAndOnFlagsAgain) {
    NotificationLog log;
    const auto handler = MakeHandler(log);
    handler->SetRoute(m_route);
    handler->OnMessageAdded(Message(20, 1, 2, true, 40));
    ASSERT_EQ(handler->GetMessagesOnRoute(), Ids{20});
    const std::uint32_t element = m_world.ElementBetween(1, 2);
    EXPECT_EQ(ValueAt(m_world, *m_service, 1, element), 0x80 | 20);
    handler->SetAvoidance(false);
    EXPECT_EQ(ValueAt(m_world, *m_service, 1, element), -1);
    EXPECT_EQ(handler->GetMessagesOnRoute(), Ids{});
    handler->SetAvoidance(true);
    EXPECT_EQ(ValueAt(m_world, *m_service, 1, element), 1);
    EXPECT_EQ(handler->GetMessagesOnRoute(), Ids{});
    EXPECT_EQ(handler->GetKnownMessages(), Ids{20});
    handler->SetAvoidance(false);
}

} // namespace
