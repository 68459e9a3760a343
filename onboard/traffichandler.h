#pragma once
// Flags the road elements of blocking TMC messages in the route service, keeps which of them lie
// on the current route, and 60 s after that set last changed fires a jam or clear event on its
// own timer thread. Store events arrive with the store lock held; the handler never takes the
// store lock while holding its own (lock order: store, then `lock`, then `setLock`).

#include "positioning/matchedposition.h"
#include "routing/routeiterator.h"
#include "routing/routeservice.h"
#include "traffic/tmcmessagestore.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/timerqueue.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>

class TrafficHandler {
public:
    static constexpr DWORD kNotifyDelayMs = 60000;
    // The flag every known message gets when avoidance is switched on again.
    static constexpr std::uint8_t kAvoidanceFlag = 2;

    TrafficHandler(RouteServicePtr routeService, six::RefCntPtr<TmcMessageStore> store);
    // Disconnects from the store's Added, Removed and Replaced first, waiting for a call of this
    // handler running on another thread (the store's timer thread expiring a message).
    ~TrafficHandler();
    TrafficHandler(const TrafficHandler&) = delete;
    TrafficHandler& operator=(const TrafficHandler&) = delete;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // {text "Jam!", replan false}: messages on the route changed, the last one a new one.
    EventSource<const char*, bool> jamSource;
    // {replan false}: a message on the route went away.
    EventSource<bool> clearSource;

    // For the store's Added, Removed and Replaced (old, new) events.
    void OnMessageAdded(TmcMessagePtr message);
    void OnMessageRemoved(TmcMessagePtr message);
    void OnMessageReplaced(TmcMessagePtr old, TmcMessagePtr replacing);
    // For the route tracker's on-route event: the cursor on the driver's record.
    void SetRouteCursor(RouteIteratorPtr cursor, const MatchedPosition* position);
    // A new or cleared route; messages known to lie on a found route are remembered silently.
    void SetRoute(const RouteRequestResult& result);
    // Off removes every flag the handler set; on flags every known message again.
    void SetAvoidance(bool isOn);

    // Element key (bits 0-27 id, bits 30-31 direction code) against a route record: d = 0
    // never, 1 where the record's direction flag is clear, 2 always, 3 where it is set.
    [[nodiscard]] static bool MatchesRouteRecord(std::uint32_t key, const RouteRecord& record);

    // For tests: the ids of blocking messages known, and of those on the route.
    [[nodiscard]] std::set<std::uint32_t> GetKnownMessages();
    [[nodiscard]] std::set<std::uint32_t> GetMessagesOnRoute();

private:
    enum Kind : std::uintptr_t { kJam = 0, kCleared = 1 };

    void Flag(const TmcMessage& message, const TmcBlockage& blockage);
    // True when some record from the iterator's position on matches a key of the message.
    [[nodiscard]] static bool LiesOnRoute(const RouteIterator& from, const TmcMessage& message);
    void Arm(Kind kind);
    void OnNotifyTimer(std::uintptr_t argument);

    OwnerHandlerList m_handlers;
    CritSect m_lock; // m_route
    RouteServicePtr m_routeService;
    RouteIteratorPtr m_route;
    six::RefCntPtr<TmcMessageStore> m_store;
    CritSect m_setLock; // m_knownMessages, m_onRoute
    std::set<std::uint32_t> m_knownMessages;
    std::set<std::uint32_t> m_onRoute;
    std::atomic<bool> m_isAvoiding{true};
    std::mutex m_timerMutex; // m_timerId, m_generation; never held while firing
    DWORD m_timerId = 0;     // 0: none pending
    std::uintptr_t m_generation = 0;
    TimerQueue m_timers; // last: destroyed first, before what its callback uses
};
