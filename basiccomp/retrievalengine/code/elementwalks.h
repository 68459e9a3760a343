#pragma once
// The walks of a map data file's block tree for a query: each visits, in tree order, the element
// records whose bounds meet the query rectangle (edges inclusive) and that its record filter
// accepts, and makes the geometry element of the one it stands on. They read the ".dat" stream
// for geometry data; a walk belongs to one thread.

#include "basiccomp/retrievalengine/code/searchquery.h"
#include "utilities/mapgeometry/elementiterator.h"
#include "utilities/mapgeometry/geometrypool.h"
#include "utilities/mapgeometry/mapcursor.h"

#include <cstdint>
#include <functional>

// The shared part of the walks: Next and the current geometry; `Filter` is the record filter,
// a callable taking the 32-byte record.
template <class Filter> class FilteredElementWalk : public ElementIterator {
public:
    // Moves to the next accepted record (and makes its geometry); the walk ends when none is left.
    void Next() {
        Advance();
        Settle();
    }
    // The current record's geometry; empty when there is none (no record, a type letter without
    // geometry, data outside its ".dat" page, a full pool).
    [[nodiscard]] const GeometryRef& GetGeometry() const { return m_geometry; }
    // The record filter, with whatever it gathered on the way.
    [[nodiscard]] const Filter& GetFilter() const { return m_filter; }

protected:
    FilteredElementWalk(CachedFilePtr blockFile, std::uint32_t version, CachedFilePtr dataFile,
                        Filter filter)
        : ElementIterator(std::move(blockFile), version)
        , m_filter(std::move(filter))
        , m_dataCursor(std::move(dataFile)) {}

    void Begin(std::uint32_t root, const MapRect& query) {
        Start(root, query);
        Settle();
    }

private:
    void Settle();

    Filter m_filter;
    MapCursor m_dataCursor; // the ".dat" page of the current record's data
    GeometryRef m_geometry;
};

// Geometry of a record whose data lies at `dataOffset` in the ".dat" stream, read through
// `dataCursor` (moved to the page); from the record alone when the offset is 0.
GeometryRef MakeRecordGeometry(const std::uint8_t* record, MapCursor& dataCursor);

template <class Filter> void FilteredElementWalk<Filter>::Settle() {
    while (IsValid() && !m_filter(GetRecord())) {
        Advance();
    }
    if (!IsValid()) {
        m_geometry.Release();
        m_dataCursor.Reset();
        return;
    }
    m_geometry = MakeRecordGeometry(GetRecord(), m_dataCursor);
}

struct AcceptEveryRecord {
    bool operator()(const std::uint8_t*) const { return true; }
};

struct TypeCodeRange {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    bool operator()(const std::uint8_t* record) const;
};

struct QueryTypeCodes {
    QueryDefaults defaults;
    bool operator()(const std::uint8_t* record) const;
};

// Whether a crawl wants the 32-byte record; empty: every record.
using CrawlRecordTest = std::function<bool(const std::uint8_t*)>;

// The neighbourhood a crawl looks at: a rectangle (normalised when the walk starts), the subtype
// its records must have and the test they must pass besides.
struct CrawlAreaFilter {
    MapRect rect;
    std::uint8_t subtype = 0;
    CrawlRecordTest accepts;
};

struct RecordSubtypeIs {
    std::uint8_t subtype = 0;
    CrawlRecordTest accepts;
    bool operator()(const std::uint8_t* record) const;
};

// Records whose bounds meet the filter's rectangle, whose subtype is the filter's and that pass
// its test; only those get their geometry made.
class CrawlAreaIterator : public FilteredElementWalk<RecordSubtypeIs> {
public:
    CrawlAreaIterator(CachedFilePtr blockFile, std::uint32_t root, const CrawlAreaFilter& filter,
                      std::uint32_t version, CachedFilePtr dataFile);
};

// Every record whose bounds meet the rectangle.
class AreaElementIterator : public FilteredElementWalk<AcceptEveryRecord> {
public:
    AreaElementIterator(CachedFilePtr blockFile, std::uint32_t root, const MapRect& query,
                        std::uint32_t version, CachedFilePtr dataFile);
};

// Records whose bounds meet the rectangle and whose type code lies in [from, to).
class LevelElementIterator : public FilteredElementWalk<TypeCodeRange> {
public:
    LevelElementIterator(CachedFilePtr blockFile, std::uint32_t root, const MapRect& query,
                         std::uint32_t version, CachedFilePtr dataFile, std::uint32_t from,
                         std::uint32_t to);
};

// Records whose bounds meet the query's rectangle and whose type code passes QueryTypeFilter.
class QueryElementIterator : public FilteredElementWalk<QueryTypeCodes> {
public:
    QueryElementIterator(CachedFilePtr blockFile, std::uint32_t root, const SearchQuery& query,
                         std::uint32_t version, CachedFilePtr dataFile);

    [[nodiscard]] const SearchQuery& GetQuery() const { return m_query; }

private:
    SearchQuery m_query;
};
