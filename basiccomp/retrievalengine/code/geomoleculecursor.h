#pragma once
// The result cursors of the engine's searches: each yields one geo-molecule per named thing
// found, each street once although it consists of many elements. The area cursor walks the
// query's elements in tree order and yields every alternative of their names; the ranked cursor
// yields the hits of a collected hit list, names beginning with the text first, best first. A
// cursor stands on its first result when made. It reads the map set through the engine's link
// under the engine lock, so it answers nothing more once that map set is closed. A cursor
// belongs to one thread at a time; the hit list it holds is never changed, so searches on
// several threads share nothing else.

#include "basiccomp/retrievalengine/code/crawlerhits.h"
#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/enginelink.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/rtecrawler.h"
#include "tablefiles/addressinterfaces.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class RetrievalEngineImpl;

class GeoMoleculeCursor : public IGeoMoleculeCursor {
public:
    GeoMoleculePtr GetCurrent() override { return m_current; }
    bool IsValid() override { return static_cast<bool>(m_current); }

protected:
    GeoMoleculeCursor(std::shared_ptr<EngineLink> link, std::uint32_t generation);

    // Makes the molecule of the element's alternative current, named `name`; with elements, the
    // crawler collects its element ids and marks them covered. Call under the engine lock.
    void EmitWithElements(RetrievalEngineImpl& engine, const std::u16string& name, std::uint32_t id,
                          std::uint32_t alternative);
    void Emit(const std::u16string& name, std::uint32_t id, std::uint32_t alternative);
    // Runs step(engine) under the engine lock while the map set of the cursor is open; false
    // (and no current molecule) otherwise.
    template <class Step> bool WithEngine(Step step) {
        const bool isValid = m_link->ReadEngine(m_generation, false, step);
        if (!isValid) {
            m_current = nullptr;
        }
        return isValid;
    }

    std::shared_ptr<EngineLink> m_link;
    std::uint32_t m_generation;
    GeoMoleculePtr m_current;
    ElementAlternativeMap m_covered; // elements of the molecules already yielded
};

// The molecules of the elements of the query's area in tree order, every name alternative of
// each element once; the first element of the walk included.
class GeoMoleculeAreaCursor final : public GeoMoleculeCursor {
public:
    // Call under the engine lock.
    GeoMoleculeAreaCursor(std::shared_ptr<EngineLink> link, std::uint32_t generation,
                          RetrievalEngineImpl& engine, std::unique_ptr<QueryElementIterator> walk);

    bool Next() override;

private:
    struct Part {
        std::u16string text;
        std::uint32_t alternative = 0;
    };
    bool NextLocked(RetrievalEngineImpl& engine);
    // Queues the non-empty alternatives of the element the walk stands on.
    void QueueNames(RetrievalEngineImpl& engine);

    std::unique_ptr<QueryElementIterator> m_walk;
    std::deque<Part> m_pending;
    std::u16string m_currentName;
};

// The hits of a hit list that the query's name predicates pass, prefix matches before infix
// matches, each group best first by CrawlerHitLess; distances set for point hits when the query
// asks for them.
class GeoMoleculeRankedCursor final : public GeoMoleculeCursor {
public:
    // Call under the engine lock.
    GeoMoleculeRankedCursor(std::shared_ptr<EngineLink> link, std::uint32_t generation,
                            RetrievalEngineImpl& engine, const SearchQuery& query,
                            std::shared_ptr<const CrawlerHitList> hits);

    bool Next() override;

private:
    void FillRankedHeaps(const SearchQuery& query);
    bool NextLocked(RetrievalEngineImpl& engine);
    // The best hit left: from the first heap while it has any; false when both are empty.
    bool PopHit(CrawlerHit& hit);

    std::shared_ptr<const CrawlerHitList> m_hits; // the names the heaps point into
    std::vector<CrawlerHit> m_firstHeap;
    std::vector<CrawlerHit> m_secondHeap;
};
