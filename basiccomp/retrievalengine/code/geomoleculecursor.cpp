#include "basiccomp/retrievalengine/code/geomoleculecursor.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include "platform/kernel/messagebox.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::int16_t kFirstLineType = 1000;

// An alternative index the molecule id's four bits can name.
bool FitsMoleculeId(std::uint32_t alternative) {
    return alternative <= kLargestCrawlAlternative;
}

} // namespace

GeoMoleculeCursor::GeoMoleculeCursor(std::shared_ptr<EngineLink> link, std::uint32_t generation)
    : m_link(std::move(link))
    , m_generation(generation) {}

void GeoMoleculeCursor::Emit(const std::u16string& name, std::uint32_t id,
                             std::uint32_t alternative) {
    auto* molecule = new (std::nothrow)
        GeoMolecule(m_link, m_generation, id | (alternative << 28), kNoVariantCode);
    m_current = GeoMoleculePtr(molecule);
    if (molecule != nullptr) {
        molecule->SetName(name);
    }
}

void GeoMoleculeCursor::EmitWithElements(RetrievalEngineImpl& engine, const std::u16string& name,
                                         std::uint32_t id, std::uint32_t alternative) {
    auto* molecule = new (std::nothrow)
        GeoMolecule(m_link, m_generation, id | (alternative << 28), kNoVariantCode);
    m_current = GeoMoleculePtr(molecule);
    if (molecule == nullptr) {
        return;
    }
    Crawler crawler(engine, &m_covered);
    if (!crawler.CollectElementIds(id, name, molecule->ElementIdsForFill())) {
        (void)MessageBoxW(nullptr, u"basiccomp\\retrievalengine\\code\\geomoleculeimpl", u"163",
                          MB_OK);
    }
    molecule->SetName(name);
}

GeoMoleculeAreaCursor::GeoMoleculeAreaCursor(std::shared_ptr<EngineLink> link,
                                             std::uint32_t generation, RetrievalEngineImpl& engine,
                                             std::unique_ptr<QueryElementIterator> walk)
    : GeoMoleculeCursor(std::move(link), generation)
    , m_walk(std::move(walk)) {
    if (m_walk && m_walk->IsValid()) {
        QueueNames(engine);
    }
    (void)NextLocked(engine);
}

void GeoMoleculeAreaCursor::QueueNames(RetrievalEngineImpl& engine) {
    std::u16string name;
    if (!engine.ReadName(maprecord::RecordNameReference(m_walk->GetRecord()), name, false, false)) {
        return;
    }
    std::size_t start = 0;
    for (std::uint32_t alternative = 0;; ++alternative) {
        const std::size_t slash = name.find(u'/', start);
        const std::size_t end = slash == std::u16string::npos ? name.size() : slash;
        if (end > start) {
            m_pending.push_back({name.substr(start, end - start), alternative});
        }
        if (slash == std::u16string::npos) {
            return;
        }
        start = slash + 1;
    }
}

bool GeoMoleculeAreaCursor::Next() {
    return WithEngine([this](RetrievalEngineImpl& engine) { return NextLocked(engine); });
}

bool GeoMoleculeAreaCursor::NextLocked(RetrievalEngineImpl& engine) {
    while (m_walk && m_walk->IsValid()) {
        const std::uint32_t id = m_walk->GetElementId();
        while (!m_pending.empty()) {
            const Part part = std::move(m_pending.front());
            m_pending.pop_front();
            if (part.text != m_currentName && !m_covered.contains(id) &&
                FitsMoleculeId(part.alternative)) {
                m_currentName = part.text;
                EmitWithElements(engine, part.text, id, part.alternative);
                return true;
            }
        }
        m_walk->Next();
        m_currentName.clear();
        if (m_walk->IsValid()) {
            QueueNames(engine);
        }
    }
    m_current = nullptr;
    return false;
}

GeoMoleculeRankedCursor::GeoMoleculeRankedCursor(std::shared_ptr<EngineLink> link,
                                                 std::uint32_t generation,
                                                 RetrievalEngineImpl& engine,
                                                 const SearchQuery& query,
                                                 std::shared_ptr<const CrawlerHitList> hits)
    : GeoMoleculeCursor(std::move(link), generation)
    , m_hits(std::move(hits)) {
    FillRankedHeaps(query);
    (void)NextLocked(engine);
}

void GeoMoleculeRankedCursor::FillRankedHeaps(const SearchQuery& query) {
    if (!m_hits) {
        return;
    }
    const GeoPoint centre = MapPointToDegrees(query.rect.GetCenter());
    const auto fill = [&](std::vector<CrawlerHit>& heap, const auto& predicate) {
        std::copy_if(m_hits->hits.begin(), m_hits->hits.end(), std::back_inserter(heap), predicate);
        if (query.defaults.hasDistance != 0) {
            for (CrawlerHit& hit : heap) {
                if (hit.typeCode >= kFirstLineType) {
                    continue;
                }
                hit.distance = static_cast<float>(
                    query.points.size() < 2
                        ? GreatCircleDistance(centre.x, centre.y, hit.position.x, hit.position.y)
                        : DistanceToPolyline(hit.position, query.points));
            }
        }
        std::make_heap(heap.begin(), heap.end(), CrawlerHitHeapOrder);
    };
    fill(m_firstHeap, NamePrefixPredicate(query));
    if (query.defaults.isSecondList != 0) {
        fill(m_secondHeap, NameInfixPredicate(query));
    }
}

bool GeoMoleculeRankedCursor::PopHit(CrawlerHit& hit) {
    std::vector<CrawlerHit>& heap = m_firstHeap.empty() ? m_secondHeap : m_firstHeap;
    if (heap.empty()) {
        return false;
    }
    std::pop_heap(heap.begin(), heap.end(), CrawlerHitHeapOrder);
    hit = heap.back();
    heap.pop_back();
    return true;
}

bool GeoMoleculeRankedCursor::Next() {
    return WithEngine([this](RetrievalEngineImpl& engine) { return NextLocked(engine); });
}

bool GeoMoleculeRankedCursor::NextLocked(RetrievalEngineImpl& engine) {
    CrawlerHit hit;
    do {
        if (!PopHit(hit)) {
            m_current = nullptr;
            return false;
        }
    } while (m_covered.contains(hit.id) || hit.alternative < 0 ||
             !FitsMoleculeId(static_cast<std::uint32_t>(hit.alternative)));
    const std::vector<CrawlerHit>& next = m_firstHeap.empty() ? m_secondHeap : m_firstHeap;
    const auto alternative = static_cast<std::uint32_t>(hit.alternative);
    if (!next.empty() && _wcsicmp(next.front().name, hit.name) == 0) {
        EmitWithElements(engine, hit.name, hit.id, alternative);
    } else {
        Emit(hit.name, hit.id, alternative);
    }
    return true;
}
