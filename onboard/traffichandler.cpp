#include "onboard/traffichandler.h"

#include <utility>
#include <vector>

namespace {

const TmcBlockage* BlockageOf(const TmcMessage& message) {
    const TmcBlockagePtr blockage = message.GetRouteImpact().GetBlockage();
    return blockage.Get();
}

} // namespace

TrafficHandler::TrafficHandler(RouteServicePtr routeService, six::RefCntPtr<TmcMessageStore> store)
    : m_routeService(std::move(routeService))
    , m_store(std::move(store)) {}

TrafficHandler::~TrafficHandler() {
    // m_handlers would drop these connections only after every other member is gone, while the
    // store keeps firing. Each Disconnect waits until no call of ours runs on another thread.
    if (m_store) {
        m_store->Added.Disconnect(this);
        m_store->Removed.Disconnect(this);
        m_store->Replaced.Disconnect(this);
    }
}

bool TrafficHandler::MatchesRouteRecord(std::uint32_t key, const RouteRecord& record) {
    if (record.linkId != (key & kElementKeyIdMask)) {
        return false;
    }
    const bool isAgainst = (record.elementAttributes >> 28 & 1U) != 0;
    switch (key >> 30) {
    case 1:
        return !isAgainst;
    case 2:
        return true;
    case 3:
        return isAgainst;
    default:
        return false;
    }
}

bool TrafficHandler::LiesOnRoute(const RouteIterator& from, const TmcMessage& message) {
    const std::vector<std::uint32_t>& keys = message.GetElementIds();
    for (const RouteIteratorPtr walk = from.Clone(); walk && walk->IsValid(); walk->Next()) {
        for (const std::uint32_t key : keys) {
            if (MatchesRouteRecord(key, walk->Current())) {
                return true;
            }
        }
    }
    return false;
}

void TrafficHandler::Flag(const TmcMessage& message, const TmcBlockage& blockage) {
    const std::vector<std::uint32_t>& keys = message.GetElementIds();
    const auto word = static_cast<std::int16_t>(blockage.word);
    // The service's results are ignored: nothing here can act on them.
    if (word < 0) {
        const int a = blockage.values[0];
        const int b = blockage.values[1];
        (void)m_routeService->AddFlaggedElementPercent(keys,
                                                       static_cast<std::uint8_t>(a + (b - a) / 2));
    } else {
        (void)m_routeService->AddFlaggedElementSpeed(keys, static_cast<std::uint8_t>(word));
    }
}

void TrafficHandler::OnMessageAdded(TmcMessagePtr message) {
    const TmcBlockage* blockage = message ? BlockageOf(*message) : nullptr;
    if (blockage == nullptr) {
        return;
    }
    const std::uint32_t id = message->GetId();
    {
        ScopedLock setLock(&m_setLock);
        m_knownMessages.insert(id);
    }
    if (!m_isAvoiding || !m_routeService) {
        return;
    }
    Flag(*message, *blockage);
    bool isOnRoute = false;
    {
        ScopedLock lock(&m_lock);
        ScopedLock setLock(&m_setLock);
        if (m_route && m_route->IsValid() && LiesOnRoute(*m_route, *message)) {
            m_onRoute.insert(id);
            isOnRoute = true;
        }
    }
    if (isOnRoute) {
        Arm(kJam);
    }
}

void TrafficHandler::OnMessageRemoved(TmcMessagePtr message) {
    if (!message || BlockageOf(*message) == nullptr) {
        return;
    }
    const std::uint32_t id = message->GetId();
    {
        ScopedLock setLock(&m_setLock);
        m_knownMessages.erase(id);
    }
    if (!m_isAvoiding || !m_routeService) {
        return;
    }
    (void)m_routeService->RemoveFlaggedElement(message->GetElementIds());
    bool wasOnRoute = false;
    {
        ScopedLock lock(&m_lock);
        ScopedLock setLock(&m_setLock);
        wasOnRoute = m_onRoute.erase(id) != 0;
    }
    if (wasOnRoute) {
        Arm(kCleared);
    }
}

void TrafficHandler::OnMessageReplaced(TmcMessagePtr old, TmcMessagePtr replacing) {
    const bool isOldBlocking = old && BlockageOf(*old) != nullptr;
    const bool isNewBlocking = replacing && BlockageOf(*replacing) != nullptr;
    if (isOldBlocking && isNewBlocking) {
        const std::uint32_t oldId = old->GetId();
        const std::uint32_t newId = replacing->GetId();
        const bool isTracked = m_isAvoiding && m_routeService;
        ScopedLock lock(&m_lock);
        ScopedLock setLock(&m_setLock);
        if (m_knownMessages.erase(oldId) != 0) {
            m_knownMessages.insert(newId);
        }
        if (isTracked && m_onRoute.erase(oldId) != 0) {
            m_onRoute.insert(newId);
        }
    } else if (isOldBlocking) {
        OnMessageRemoved(std::move(old));
    } else if (isNewBlocking) {
        OnMessageAdded(std::move(replacing));
    }
}

void TrafficHandler::SetRouteCursor(RouteIteratorPtr cursor, const MatchedPosition* position) {
    (void)position;
    ScopedLock lock(&m_lock);
    m_route = std::move(cursor);
}

void TrafficHandler::SetRoute(const RouteRequestResult& result) {
    const RouteIteratorPtr route = GetRouteIterator(result);
    std::vector<std::uint32_t> ids;
    {
        ScopedLock lock(&m_lock);
        ScopedLock setLock(&m_setLock);
        m_route = route;
        ids.assign(m_knownMessages.begin(), m_knownMessages.end());
    }
    if (!m_isAvoiding || result.status != routestatus::kFound || !route || !route->IsValid()) {
        return;
    }
    // The store is asked with no lock of ours held: its events reach us with its lock held.
    std::vector<TmcMessagePtr> messages;
    for (const std::uint32_t id : ids) {
        if (TmcMessagePtr message = m_store ? m_store->FindById(id) : nullptr) {
            messages.push_back(std::move(message));
        }
    }
    ScopedLock lock(&m_lock);
    ScopedLock setLock(&m_setLock);
    if (m_route != route) {
        return; // a newer route or cursor came meanwhile
    }
    for (const TmcMessagePtr& message : messages) {
        if (LiesOnRoute(*route, *message)) {
            m_onRoute.insert(message->GetId());
        }
    }
}

void TrafficHandler::SetAvoidance(bool isOn) {
    m_isAvoiding = isOn;
    if (!m_routeService) {
        return;
    }
    std::vector<std::uint32_t> ids;
    {
        ScopedLock setLock(&m_setLock);
        ids.assign(m_knownMessages.begin(), m_knownMessages.end());
    }
    for (const std::uint32_t id : ids) {
        const TmcMessagePtr message = m_store ? m_store->FindById(id) : nullptr;
        if (!message) {
            continue;
        }
        if (isOn) {
            (void)m_routeService->AddFlaggedElementPercent(message->GetElementIds(),
                                                           kAvoidanceFlag);
        } else {
            (void)m_routeService->RemoveFlaggedElement(message->GetElementIds());
        }
    }
    ScopedLock setLock(&m_setLock);
    m_onRoute.clear();
}

void TrafficHandler::Arm(Kind kind) {
    std::lock_guard guard(m_timerMutex);
    // A timer that already fired cannot be moved: a new one keeps the notification.
    if (m_timerId != 0 && m_timers.Reschedule(m_timerId, kNotifyDelayMs)) {
        return;
    }
    ++m_generation;
    m_timerId = m_timers.AddTimer(this, kNotifyDelayMs, &TrafficHandler::OnNotifyTimer,
                                  m_generation << 1 | kind);
}

void TrafficHandler::OnNotifyTimer(std::uintptr_t argument) {
    {
        std::lock_guard guard(m_timerMutex);
        // Only the pending timer clears the id; one re-armed meanwhile stays pending.
        if (argument >> 1 == m_generation) {
            m_timerId = 0;
        }
    }
    if ((argument & 1U) == kJam) {
        jamSource.Emit("Jam!", false);
    } else {
        clearSource.Emit(false);
    }
}

std::set<std::uint32_t> TrafficHandler::GetKnownMessages() {
    ScopedLock setLock(&m_setLock);
    return m_knownMessages;
}

std::set<std::uint32_t> TrafficHandler::GetMessagesOnRoute() {
    ScopedLock setLock(&m_setLock);
    return m_onRoute;
}
