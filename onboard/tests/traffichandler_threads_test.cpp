// Store events reaching the traffic handler on the caller's and the store's timer thread while
// another thread sets routes and switches avoidance: no deadlock, and a clear-all leaves the
// handler knowing no message. Handlers destroyed while the store's timer thread expires their
// messages.
#include "onboard/traffichandler.h"
#include "routing/tests/serviceworld.h"
#include "testdata/alertcencoder.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace servicetest;

TmcRawMessage Raw(unsigned event, unsigned location) {
    testdata::AlertCMessage message;
    message.event = event;
    message.location = location;
    testdata::AlertCEncoder encoder;
    const std::string text = encoder.AddTable(message.programmeId, 1).AddMessage(message).Build();
    TmcDecoder decoder;
    TmcRawMessage raw{};
    for (int offset = 0; offset < static_cast<int>(text.size());) {
        offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
        if (const TmcRawMessage* decoded = decoder.TakeMessage()) {
            raw = *decoded;
        }
    }
    return raw;
}

// The sample tables with the location of a clear-all written once to the device root, and a
// store over them; null when either fails.
six::RefCntPtr<TmcMessageStore> OpenThreadsStore() {
    if (!MemoryArena::Shared().HoldsMemory() && !MemoryArena::Shared().Reserve(4 << 20)) {
        return nullptr;
    }
    static const bool isWritten = [] {
        testdata::TmcTablesModel model = testdata::TmcSampleTables();
        testdata::TmcLocationRow all;
        all.code = MakeTmcLocationCode(1, 1, 65535);
        all.firstName = "Alle";
        model.locations.push_back(all);
        return testdata::TmcTablesWriter(model).WriteFolder(Root(), u"\\tmcthreads", true);
    }();
    six::RefCntPtr<TmcMessageStore> store = CreateTmcMessageStore();
    if (!isWritten || !store ||
        !store->OpenDatabaseWithCache(u"\\tmcthreads", BlockCache::Create(64))) {
        return nullptr;
    }
    return store;
}

TEST(TrafficHandlerThreads, StoreEventsRaceRouteAndAvoidanceChanges) {
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const six::RefCntPtr<TmcMessageStore> store = OpenThreadsStore();
    ASSERT_TRUE(store);
    const RouteServicePtr service = CreateRouteService(w.engine);
    ASSERT_TRUE(service && service->OpenNetwork(w.Net()));
    TrafficHandler handler(service, store);
    store->Added.Connect(&handler, &TrafficHandler::OnMessageAdded);
    store->Removed.Connect(&handler, &TrafficHandler::OnMessageRemoved);
    store->Replaced.Connect(&handler, &TrafficHandler::OnMessageReplaced);
    const RouteRequestResult route =
        w.service->RequestRoute(w.Position(0, 1, 0.5), w.Position(2, 3, 0.5), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);

    const std::vector<TmcRawMessage> messages = {Raw(401, 101), Raw(401, 102), Raw(101, 103),
                                                 Raw(401, 104), Raw(701, 105)};
    ASSERT_TRUE(store->AddRawMessage(&messages[0]));
    ASSERT_EQ(handler.GetKnownMessages().size(), 1U); // blocking: known to the handler
    std::atomic<bool> isDone{false};
    std::thread reader([&] {
        for (int round = 0; round < 300; ++round) {
            for (const TmcRawMessage& raw : messages) {
                (void)store->AddRawMessage(&raw);
            }
            clock.Advance(1200 * 1000); // the waiter expires some while the next arrive
        }
        isDone = true;
    });
    std::thread server([&] {
        for (int round = 0; !isDone; ++round) {
            handler.SetRoute(round % 3 == 0 ? RouteRequestResult{} : route);
            handler.SetAvoidance(round % 2 == 0);
        }
        handler.SetAvoidance(true);
    });
    reader.join();
    server.join();
    const TmcRawMessage clearAll = Raw(2047, 65535);
    ASSERT_TRUE(store->AddRawMessage(&clearAll));
    EXPECT_EQ(store->GetCount(), 0U);
    EXPECT_TRUE(handler.GetKnownMessages().empty());
    store->Added.Disconnect(&handler);
}

TEST(TrafficHandlerThreads, HandlerDestroyedWhileItsMessagesExpireIsNoLongerCalled) {
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    ServiceWorld& w = SmallWorld();
    ASSERT_TRUE(w.service);
    const six::RefCntPtr<TmcMessageStore> store = OpenThreadsStore();
    ASSERT_TRUE(store);
    const RouteServicePtr service = CreateRouteService(w.engine);
    ASSERT_TRUE(service && service->OpenNetwork(w.Net()));
    const RouteRequestResult route =
        w.service->RequestRoute(w.Position(0, 1, 0.5), w.Position(2, 3, 0.5), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);
    std::vector<TmcRawMessage> messages;
    for (unsigned location = 101; location <= 105; ++location) {
        messages.push_back(Raw(401, location));
    }
    constexpr std::uint64_t kDayMs = 24ULL * 3600 * 1000; // beyond every message's lifetime

    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        auto handler = std::make_unique<TrafficHandler>(service, store);
        store->Added.Connect(handler.get(), &TrafficHandler::OnMessageAdded);
        store->Removed.Connect(handler.get(), &TrafficHandler::OnMessageRemoved);
        store->Replaced.Connect(handler.get(), &TrafficHandler::OnMessageReplaced);
        handler->SetRoute(route);
        for (const TmcRawMessage& raw : messages) {
            ASSERT_TRUE(store->AddRawMessage(&raw));
        }
        ASSERT_EQ(handler->GetKnownMessages().size(), messages.size());
        clock.Advance(kDayMs);
        // Once the timer thread has removed the first message, the handler goes while it
        // removes the others.
        while (handler->GetKnownMessages().size() == messages.size()) {
            std::this_thread::yield();
        }
        handler.reset(); // sanitizers report a call reaching its freed members
        while (store->GetCount() != 0) {
            std::this_thread::yield();
        }
    }
}

} // namespace
