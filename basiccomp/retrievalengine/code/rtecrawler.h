#pragma once
// The crawler: from one element and one name, every element of the same named feature. A street
// is stored as many segment elements carrying its name, often among '/'-separated alternatives;
// the crawler spreads from the start element through the neighbourhood of each element it finds
// and keeps those of the same subtype that have the name as one whole alternative.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class RetrievalEngineImpl;

// Element id -> index of the name alternative that matched; inserting a present id keeps its
// index. Iterates in ascending id order.
using ElementAlternativeMap = std::map<std::uint32_t, std::uint32_t>;

struct CrawlRecord {
    std::uint32_t id = 0;
    std::int32_t alternative = 0;
    MapRect bounds;
};

// How far around an element the crawl looks: 0.001 degrees in map units.
inline constexpr std::int32_t kCrawlSearchMargin =
    static_cast<std::int32_t>(0.001 / 1.341104507446289e-6);
// The largest alternative index a produced set takes without complaint.
inline constexpr std::uint32_t kLargestCrawlAlternative = 15;

// The bounds widened by the search margin on every side.
MapRect MakeCrawlSearchRect(const MapRect& bounds);
// Inserts the pair into the produced set; an index above 15 first shows an assertion box.
void CrawlAssertAlternative(ElementAlternativeMap& produced, std::uint32_t id,
                            std::uint32_t alternative);

class Crawler {
public:
    // `produced` (may be null) receives every element the crawler records; not owned.
    Crawler(RetrievalEngineImpl& engine, ElementAlternativeMap* produced);

    // Replaces `ids` with the ids of the feature of the element that has `text` as a name
    // alternative, in ascending order. False when the text is empty (ids untouched), when the
    // element has no geometry or the text is not one of its alternatives (ids cleared).
    bool CollectElementIds(std::uint32_t id, const std::u16string& text,
                           std::vector<std::uint32_t>& ids);
    // The index of the alternative of the record's name that equals `text`; -1 when none does,
    // -2 when the name cannot be read. `record` is a 32-byte element record.
    std::int32_t FindNameAlternative(const std::uint8_t* record, const std::u16string& text);
    // Records the stack's elements and spreads from each until the stack is empty; an element
    // already recorded is not spread from again.
    void Expand(std::deque<CrawlRecord>& stack, std::uint8_t subtype);
    // How many neighbourhood walks the crawler has made so far.
    [[nodiscard]] std::size_t GetWalkCount() const { return m_walks; }

private:
    // FindNameAlternative with the crawl's name, read once per name reference of the crawl.
    std::int32_t CrawlNameAlternative(const std::uint8_t* record);

    RetrievalEngineImpl& m_engine;
    ElementAlternativeMap* m_produced;
    ElementAlternativeMap m_result;
    std::uint8_t m_subtype = 0;
    std::u16string m_name;
    // Name reference -> FindNameAlternative(record, m_name) for the current crawl.
    std::unordered_map<std::uint32_t, std::int32_t> m_alternatives;
    std::size_t m_walks = 0;
};
