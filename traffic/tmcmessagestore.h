#pragma once
// The TMC messages in force: raw messages from the receiver merged into a set ordered by their
// first 22 bytes, each expiring after its lifetime on the store's timer queue. Events fire with
// the store lock held, on the thread that caused them (the receiver's reader, the timer waiter,
// or the caller); handlers must not wait for another thread that takes the store lock.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "traffic/tmcdatabase.h"
#include "traffic/tmcmessage.h"
#include "traffic/tmcrawmessage.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/timerqueue.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

// A message handed out by the store stays valid while the caller holds it.
using TmcMessagePtr = six::RefCntPtr<TmcMessage, six::MTModel>;

class TmcMessageStore {
public:
    using MessageSignal = EventSource<TmcMessagePtr>;
    using ReplacedSignal = EventSource<TmcMessagePtr, TmcMessagePtr>; // old, new

    TmcMessageStore() = default;
    // Drops the remaining messages without events; waits for a running expiry.
    virtual ~TmcMessageStore();
    TmcMessageStore(const TmcMessageStore&) = delete;
    TmcMessageStore& operator=(const TmcMessageStore&) = delete;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    MessageSignal Added;
    MessageSignal Removed;
    ReplacedSignal Replaced;
    MessageSignal Unused4; // never fired
    MessageSignal Unused5; // never fired
    MessageSignal Listed;

    // A database over the engine's table-file cache in place of the held one; the engine and
    // the language go to every new message. Returns the database's Load result; a database
    // that failed to load stays attached and refuses every message. Without an engine (or a
    // cache) no database is held and the result is false.
    [[nodiscard]] virtual bool OpenDatabase(const std::u16string& path,
                                            RetrievalEngine::RetrievalEnginePtr engine,
                                            std::uint32_t language);
    // The same over the given cache; the engine and language stay as they are.
    [[nodiscard]] virtual bool OpenDatabaseWithCache(const std::u16string& path,
                                                     BlockCachePtr cache);
    // Unloads and releases the database; stored messages stay.
    virtual void CloseDatabase();
    // Merges one received message; false without a loaded database or when the message's events
    // or location are unknown, or when a repeat's timer could not be armed again.
    [[nodiscard]] virtual bool AddRawMessage(const TmcRawMessage* raw);
    // Fires Added (AnnounceAll) or Listed (ListAll) for every message in set order.
    virtual void AnnounceAll();
    virtual void ListAll();
    // The first message with this id (TmcMessage::GetId), or null. Takes the store lock.
    [[nodiscard]] virtual TmcMessagePtr FindById(std::uint32_t id);

    // For the receiver's message signal: AddRawMessage without its result.
    void OnRawMessage(const TmcRawMessage* raw) { (void)AddRawMessage(raw); }
    // Number of stored messages.
    [[nodiscard]] std::size_t GetCount();

private:
    using Key = std::array<std::uint8_t, 22>;
    struct Entry {
        TmcMessagePtr message;
        TmcDatabasePtr database; // the one the message reads from, kept while it is stored
    };
    using Set = std::map<Key, Entry>;

    [[nodiscard]] static Key KeyOf(const TmcRawMessage& raw);
    bool InsertMessage(const TmcMessagePtr& message, bool isQuiet);
    bool RefreshMessage(TmcMessage& message);
    bool RemoveMessage(Set::iterator found);
    void OnExpired(std::uintptr_t timerId);
    bool ReplaceMatching(const TmcMessagePtr& replacing);
    bool HandleControlMessage(const TmcMessage& control);
    bool RemoveIf(const std::function<bool(const TmcMessage&)>& test,
                  const TmcMessagePtr& replacing);
    bool RemoveMatching(std::uint16_t location, const TmcMessagePtr& replacing);
    [[nodiscard]] DWORD ArmTimer(const TmcMessage& message);
    void FireAll(MessageSignal& signal);

    OwnerHandlerList m_handlers;
    CritSect m_lock;
    Set m_messages;
    TmcDatabasePtr m_database;
    RetrievalEngine::RetrievalEnginePtr m_engine;
    std::uint32_t m_language = 0;
    TimerQueue m_timers; // last member but the handlers: destroyed first, before the set
};

// A new store; null when it cannot be allocated.
[[nodiscard]] six::RefCntPtr<TmcMessageStore> CreateTmcMessageStore();
