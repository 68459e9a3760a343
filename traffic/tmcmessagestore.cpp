#include "traffic/tmcmessagestore.h"

#include "platform/kernel/debug.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr std::uint16_t kAllLocations = 0xFFFF;

DWORD LifetimeMs(const TmcMessage& message) {
    const std::uint64_t ms = std::uint64_t{message.GetLifetime()} * 1000;
    return static_cast<DWORD>(std::min<std::uint64_t>(ms, TimerQueue::kMaxDelayMs));
}

// The expiry of one message. The id only becomes known once the queue has the timer, so it
// goes into a cell that the store writes and the callback reads, both under the store lock.
class ExpiryCallback final : public TimerCallback {
public:
    using Handler = void (*)(void* store, std::uintptr_t timerId);
    ExpiryCallback(void* store, Handler handler, std::shared_ptr<DWORD> id)
        : m_store(store)
        , m_handler(handler)
        , m_id(std::move(id)) {}
    void Invoke() override { m_handler(m_store, reinterpret_cast<std::uintptr_t>(m_id.get())); }

private:
    void* m_store;
    Handler m_handler;
    std::shared_ptr<DWORD> m_id;
};

} // namespace

TmcMessageStore::~TmcMessageStore() {
    // The queue goes first, so that no expiry runs while the set is destroyed.
    m_timers.Clear();
}

TmcMessageStore::Key TmcMessageStore::KeyOf(const TmcRawMessage& raw) {
    static_assert(sizeof(TmcRawMessage) >= sizeof(Key));
    Key key{};
    std::memcpy(key.data(), &raw, key.size());
    return key;
}

bool TmcMessageStore::OpenDatabase(const std::u16string& path,
                                   RetrievalEngine::RetrievalEnginePtr engine,
                                   std::uint32_t language) {
    ScopedLock lock(&m_lock);
    m_engine = std::move(engine);
    m_language = language;
    return OpenDatabaseWithCache(path, m_engine ? m_engine->GetBlockCache() : nullptr);
}

bool TmcMessageStore::OpenDatabaseWithCache(const std::u16string& path, BlockCachePtr cache) {
    ScopedLock lock(&m_lock);
    if (!cache) {
        OutputDebugStringW(
            u"TmcMessageStore: no table-file cache (no engine) for the TMC tables\n");
        m_database.Release();
        return false;
    }
    m_database = CreateTmcDatabase(std::move(cache));
    return m_database && m_database->Load(path);
}

void TmcMessageStore::CloseDatabase() {
    ScopedLock lock(&m_lock);
    if (m_database) {
        // Stored messages keep their own reference to the tables they read from.
        m_database->Unload();
        m_database.Release();
    }
}

DWORD TmcMessageStore::ArmTimer(const TmcMessage& message) {
    auto cell = std::make_shared<DWORD>(0);
    const DWORD id = m_timers.AddTimer(
        LifetimeMs(message), std::make_unique<ExpiryCallback>(
                                 this,
                                 [](void* store, std::uintptr_t cell) {
                                     static_cast<TmcMessageStore*>(store)->OnExpired(cell);
                                 },
                                 cell));
    *cell = id;
    return id;
}

bool TmcMessageStore::AddRawMessage(const TmcRawMessage* raw) {
    if (raw == nullptr) {
        return false;
    }
    ScopedLock lock(&m_lock);
    if (!m_database || !m_database->IsLoaded()) {
        return false;
    }
    const auto found = m_messages.find(KeyOf(*raw));
    if (found != m_messages.end()) {
        return RefreshMessage(*found->second.message);
    }
    TmcMessagePtr message;
    try {
        message = TmcMessagePtr(new TmcMessage(*raw, *m_database, m_engine, m_language));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!message || !message->IsValid()) {
        return false;
    }
    if (message->IsControl()) {
        return HandleControlMessage(*message);
    }
    if (!ReplaceMatching(message)) {
        message->ComputeLifetime();
        (void)InsertMessage(message, false);
    }
    return true;
}

bool TmcMessageStore::InsertMessage(const TmcMessagePtr& message, bool isQuiet) {
    const auto [at, isNew] =
        m_messages.insert_or_assign(KeyOf(message->GetRaw()), Entry{message, m_database});
    (void)at;
    (void)isNew;
    message->BuildText();
    if (!isQuiet) {
        Added.Emit(message);
    }
    message->SetTimerId(ArmTimer(*message));
    return true;
}

bool TmcMessageStore::RefreshMessage(TmcMessage& message) {
    if (m_timers.Reschedule(message.GetTimerId(), LifetimeMs(message))) {
        return true;
    }
    // The timer fired (its callback waits for this lock, and finds the id changed): a live
    // message was received again, so it gets a new lifetime rather than expiring.
    const DWORD id = ArmTimer(message);
    message.SetTimerId(id);
    return id != 0;
}

void TmcMessageStore::OnExpired(std::uintptr_t timerIdCell) {
    ScopedLock lock(&m_lock);
    const DWORD id = *reinterpret_cast<const DWORD*>(timerIdCell);
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (id != 0 && it->second.message->GetTimerId() == id) {
            (void)RemoveMessage(it);
            return;
        }
    }
    // Replaced, cancelled or received again since the timer fired: nothing to do.
}

bool TmcMessageStore::RemoveMessage(Set::iterator found) {
    const Entry entry = found->second; // keeps the message and its tables through the event
    entry.message->BuildText();
    Removed.Emit(entry.message);
    m_messages.erase(KeyOf(entry.message->GetRaw()));
    return true;
}

bool TmcMessageStore::ReplaceMatching(const TmcMessagePtr& replacing) {
    const TmcMessage& incoming = *replacing;
    return RemoveIf(
        [&incoming](const TmcMessage& stored) { return stored.SameSituation(incoming); },
        replacing);
}

bool TmcMessageStore::RemoveMatching(std::uint16_t location, const TmcMessagePtr& replacing) {
    return RemoveIf(
        [location](const TmcMessage& stored) { return stored.GetLocation() == location; },
        replacing);
}

bool TmcMessageStore::RemoveIf(const std::function<bool(const TmcMessage&)>& test,
                               const TmcMessagePtr& replacing) {
    // Keys first: the walk must survive what the event handlers do.
    std::vector<Key> matching;
    for (const auto& [key, entry] : m_messages) {
        if (test(*entry.message)) {
            matching.push_back(key);
        }
    }
    bool isRemoved = false;
    for (const Key& key : matching) {
        const auto found = m_messages.find(key);
        if (found == m_messages.end()) {
            continue;
        }
        const Entry stored = found->second;
        m_timers.Cancel(stored.message->GetTimerId());
        if (replacing) {
            replacing->ComputeLifetime();
            replacing->BuildText();
            Replaced.Emit(stored.message, replacing);
        } else {
            stored.message->BuildText();
            Removed.Emit(stored.message);
        }
        m_messages.erase(key);
        isRemoved = true;
    }
    if (isRemoved && replacing) {
        (void)InsertMessage(replacing, true);
    }
    return isRemoved;
}

bool TmcMessageStore::HandleControlMessage(const TmcMessage& control) {
    const bool cancelsAll = control.CancelsAllEvents();
    const bool isForAll = control.GetLocation() == kAllLocations;
    if (cancelsAll && !isForAll) {
        (void)RemoveMatching(control.GetLocation(), nullptr);
    } else if (!cancelsAll && !isForAll) {
        (void)RemoveIf([&control](const TmcMessage& s) { return s.SameSituation(control); },
                       nullptr);
    } else if (!cancelsAll) {
        (void)RemoveIf([&control](const TmcMessage& s) { return s.SharesUpdateClass(control); },
                       nullptr);
    } else {
        // Callbacks already popped find no message with their id once the set is empty.
        m_timers.Clear();
        while (!m_messages.empty()) {
            (void)RemoveMessage(m_messages.begin());
        }
    }
    return true;
}

void TmcMessageStore::FireAll(MessageSignal& signal) {
    ScopedLock lock(&m_lock);
    // A copy: a handler may change the set through the store (the lock is recursive).
    std::vector<TmcMessagePtr> messages;
    messages.reserve(m_messages.size());
    for (const auto& [key, entry] : m_messages) {
        messages.push_back(entry.message);
    }
    for (const TmcMessagePtr& message : messages) {
        message->BuildText();
        signal.Emit(message);
    }
}

void TmcMessageStore::AnnounceAll() {
    FireAll(Added);
}

void TmcMessageStore::ListAll() {
    FireAll(Listed);
}

TmcMessagePtr TmcMessageStore::FindById(std::uint32_t id) {
    ScopedLock lock(&m_lock);
    for (const auto& [key, entry] : m_messages) {
        if (entry.message->GetId() == id) {
            return entry.message;
        }
    }
    return nullptr;
}

std::size_t TmcMessageStore::GetCount() {
    ScopedLock lock(&m_lock);
    return m_messages.size();
}

six::RefCntPtr<TmcMessageStore> CreateTmcMessageStore() {
    try {
        return six::RefCntPtr<TmcMessageStore>(new TmcMessageStore());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
