#pragma once
// The candidates of one name search: every '/'-separated alternative of the names of the
// searchable elements in a query's area, or along a corridor of its points, as one hit; the two
// name predicates and the ranking order the search cursors apply to them.

#include "basiccomp/retrievalengine/code/searchquery.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class RetrievalEngineImpl;

struct CrawlerHit {
    const char16_t* name = nullptr; // one alternative, inside a name the hit list owns
    std::uint32_t id = 0;
    std::int16_t typeCode = 0;
    std::int16_t alternative = 0;
    std::uint8_t laterAlternative = 0; // 0 for the first alternative of a name
    GeoPoint position;                 // the centre of the element's bounds
    float distance = -1.0f;            // metres; -1 for none
};

struct CrawlerHitList {
    MapRect rect;
    std::vector<CrawlerHit> hits; // in the order of collection
    std::uint32_t smallestId = 0xFFFFFFFFu;
    std::uint32_t largestId = 0;
    std::list<std::u16string> names; // never moves its texts: the hits point into them
    std::uint32_t radiusFlag = 0;
};

// Whether the record's element can give hits: attribute bit 14 set, or a named point; never an
// area.
bool IsSearchableElement(const std::uint8_t* record);
// Points of a corridor chunk for a radius in metres.
std::uint32_t CorridorChunkLength(std::int32_t radiusMetres);
// Refills the list with the hits of the query's area (no points) or corridor.
void CollectCrawlerHits(RetrievalEngineImpl& engine, CrawlerHitList& list,
                        const SearchQuery& query);
// Whether the two queries collect the same hits (rectangle, radius flag and radius, area ids,
// postal code, points); their names and type filters may differ.
bool CollectsAlike(const SearchQuery& a, const SearchQuery& b);
// Adds one hit per non-empty alternative of the element's name.
void AddCrawlerHits(RetrievalEngineImpl& engine, CrawlerHitList& list, const std::uint8_t* record,
                    std::uint32_t id, const GeoPoint& position);

// Hits of a type the query's filter passes whose name begins with the query's name text.
class NamePrefixPredicate {
public:
    explicit NamePrefixPredicate(const SearchQuery& query)
        : m_query(&query) {}
    bool operator()(const CrawlerHit& hit) const;

private:
    const SearchQuery* m_query;
};

// Hits of a type the query's filter passes whose name holds the text after its first character
// but does not begin with it.
class NameInfixPredicate {
public:
    explicit NameInfixPredicate(const SearchQuery& query)
        : m_query(&query) {}
    bool operator()(const CrawlerHit& hit) const;

private:
    const SearchQuery* m_query;
};

// Best first: by distance when both have one, else first alternatives, collation, id.
bool CrawlerHitLess(const CrawlerHit& a, const CrawlerHit& b);
// The comparison for the standard heap operations: the heap's top is the best hit. Equivalent
// hits compare false both ways, as the heap operations require.
inline bool CrawlerHitHeapOrder(const CrawlerHit& a, const CrawlerHit& b) {
    return CrawlerHitLess(b, a);
}
