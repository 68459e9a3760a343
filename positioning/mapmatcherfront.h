#pragma once
// The map matcher's thread-safe front: owns one MapMatcher, serialises every call through one
// critical section, caches the last MatchedPosition and resets the matcher when the engine opens
// a map set. Lock order: the front's lock is taken after the server's and the tracker's.

#include "positioning/mapmatcher.h"
#include "six/refcntptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include <atomic>
#include <memory>

class RetrievalEngineEvents;

class MapMatcherFront {
public:
    // Clones the holder for the matcher; connects to the engine's opened signal.
    explicit MapMatcherFront(const AreaQueryPtr& areaQuery);
    // Disconnects first (waiting for a firing in progress, without holding the front's lock),
    // then deletes the matcher under the lock.
    virtual ~MapMatcherFront();
    MapMatcherFront(const MapMatcherFront&) = delete;
    MapMatcherFront& operator=(const MapMatcherFront&) = delete;

    // Matches and caches the result; whether the newest fix got a street.
    virtual bool Update(const std::vector<GpsFix>& fixes);
    // The cached result, valid while the front lives; copy it between Lock and Unlock.
    [[nodiscard]] virtual const MatchedPosition* GetResult();
    virtual void SetRoute(const RouteIteratorPtr& route);
    virtual void ReadSettings(const std::u16string& path);
    virtual int SaveState(const std::u16string& path);
    virtual int LoadState(const std::u16string& path);
    // Enters the lock and leaves it held; the matcher may be used until Unlock.
    virtual MapMatcher* Lock();
    virtual void Unlock();

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    class Entry;
    void OnMapOpened();

    std::unique_ptr<MapMatcher> m_matcher;
    MatchedPosition m_cached;
    std::atomic<std::int32_t> m_nesting{0};
    CritSect m_lock;
    RetrievalEngineEvents* m_events = nullptr;
    OwnerHandlerList m_handlers;
};

using MapMatcherFrontPtr = six::RefCntPtr<MapMatcherFront>;

// A counted front over the area query (which may be null: then nothing is ever matched); null
// when it cannot be allocated.
[[nodiscard]] MapMatcherFrontPtr CreateMapMatcherFront(const AreaQueryPtr& areaQuery);
