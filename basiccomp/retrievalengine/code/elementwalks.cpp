#include "basiccomp/retrievalengine/code/elementwalks.h"

#include "basiccomp/retrievalengine/code/geometryelement.h"
#include "utilities/mapgeometry/elementrecord.h"

using namespace maprecord;

bool QueryTypeFilter(const QueryDefaults& defaults, std::uint16_t typeCode) {
    const auto code = static_cast<std::int16_t>(typeCode);
    if (!defaults.typeCodes.empty()) {
        return defaults.typeCodes.contains(typeCode);
    }
    if (defaults.fromLevel == -1) {
        return true;
    }
    return defaults.fromLevel <= code && code < defaults.toLevel;
}

GeometryRef MakeRecordGeometry(const std::uint8_t* record, MapCursor& dataCursor) {
    const std::uint32_t offset = RecordDataOffset(record);
    if (offset == 0) {
        return CreateGeometryElement(record, nullptr, 0);
    }
    if (!dataCursor.Seek(offset / kBlockSize)) {
        return GeometryRef();
    }
    const std::uint32_t inPage = offset % kBlockSize;
    return CreateGeometryElement(record, dataCursor.GetData() + inPage, kBlockSize - inPage);
}

bool TypeCodeRange::operator()(const std::uint8_t* record) const {
    const std::uint32_t code = RecordTypeCode(record);
    return code >= from && code < to;
}

bool QueryTypeCodes::operator()(const std::uint8_t* record) const {
    return QueryTypeFilter(defaults, RecordTypeCode(record));
}

bool RecordSubtypeIs::operator()(const std::uint8_t* record) const {
    return RecordSubtype(record) == subtype && (!accepts || accepts(record));
}

CrawlAreaIterator::CrawlAreaIterator(CachedFilePtr blockFile, std::uint32_t root,
                                     const CrawlAreaFilter& filter, std::uint32_t version,
                                     CachedFilePtr dataFile)
    : FilteredElementWalk(std::move(blockFile), version, std::move(dataFile),
                          {filter.subtype, filter.accepts}) {
    MapRect rect = filter.rect;
    rect.Normalize();
    Begin(root, rect);
}

AreaElementIterator::AreaElementIterator(CachedFilePtr blockFile, std::uint32_t root,
                                         const MapRect& query, std::uint32_t version,
                                         CachedFilePtr dataFile)
    : FilteredElementWalk(std::move(blockFile), version, std::move(dataFile), {}) {
    Begin(root, query);
}

LevelElementIterator::LevelElementIterator(CachedFilePtr blockFile, std::uint32_t root,
                                           const MapRect& query, std::uint32_t version,
                                           CachedFilePtr dataFile, std::uint32_t from,
                                           std::uint32_t to)
    : FilteredElementWalk(std::move(blockFile), version, std::move(dataFile), {from, to}) {
    Begin(root, query);
}

QueryElementIterator::QueryElementIterator(CachedFilePtr blockFile, std::uint32_t root,
                                           const SearchQuery& query, std::uint32_t version,
                                           CachedFilePtr dataFile)
    : FilteredElementWalk(std::move(blockFile), version, std::move(dataFile),
                          QueryTypeCodes{query.defaults})
    , m_query(query) {
    m_query.rect.Normalize();
    Begin(root, m_query.rect);
}
