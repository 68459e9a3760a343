#include "positioning/mapmatcherfront.h"

#include "utilities/mapgeometry/retrievalengineevents.h"

#include <new>

// Holds the front's lock and counts the nesting for the scope of one call.
class MapMatcherFront::Entry {
public:
    explicit Entry(MapMatcherFront& front)
        : m_front(front) {
        m_front.m_lock.Enter();
        ++m_front.m_nesting;
    }
    ~Entry() {
        --m_front.m_nesting;
        m_front.m_lock.Leave();
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

private:
    MapMatcherFront& m_front;
};

MapMatcherFront::MapMatcherFront(const AreaQueryPtr& areaQuery)
    : m_matcher(new (std::nothrow) MapMatcher(areaQuery)) {
    if (areaQuery) {
        m_events = &areaQuery->GetEngineEvents();
        m_events->Opened().Connect(this, &MapMatcherFront::OnMapOpened);
    }
}

MapMatcherFront::~MapMatcherFront() {
    if (m_events != nullptr) {
        m_events->Opened().Disconnect(this);
    }
    Entry entry(*this);
    m_matcher.reset();
}

void MapMatcherFront::OnMapOpened() {
    Entry entry(*this);
    if (m_matcher) {
        m_matcher->OnMapChanged();
        m_cached.street = MatchedPosition::kNoStreet;
    }
}

bool MapMatcherFront::Update(const std::vector<GpsFix>& fixes) {
    Entry entry(*this);
    if (!m_matcher) {
        return false;
    }
    const int matched = m_matcher->Update(fixes);
    m_cached = m_matcher->GetResult();
    return (matched & 0xFF) != 0;
}

const MatchedPosition* MapMatcherFront::GetResult() {
    Entry entry(*this);
    return m_matcher ? &m_cached : nullptr;
}

void MapMatcherFront::SetRoute(const RouteIteratorPtr& route) {
    Entry entry(*this);
    if (m_matcher) {
        m_matcher->SetRoute(route);
    }
}

void MapMatcherFront::ReadSettings(const std::u16string& path) {
    Entry entry(*this);
    if (m_matcher) {
        static_cast<void>(m_matcher->ReadSettings(path));
    }
}

int MapMatcherFront::SaveState(const std::u16string& path) {
    Entry entry(*this);
    return m_matcher ? m_matcher->SaveState(path) : 0;
}

int MapMatcherFront::LoadState(const std::u16string& path) {
    Entry entry(*this);
    return m_matcher ? m_matcher->LoadState(path) : 0;
}

MapMatcher* MapMatcherFront::Lock() {
    m_lock.Enter();
    ++m_nesting;
    return m_matcher.get();
}

void MapMatcherFront::Unlock() {
    --m_nesting;
    m_lock.Leave();
}

MapMatcherFrontPtr CreateMapMatcherFront(const AreaQueryPtr& areaQuery) {
    return MapMatcherFrontPtr(new (std::nothrow) MapMatcherFront(areaQuery));
}
