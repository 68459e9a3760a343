#include "basiccomp/retrievalengine/code/crawlerhits.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "basiccomp/retrievalengine/code/rtecrawler.h"
#include "basiccomp/retrievalengine/code/searchfold.h"
#include "tablefiles/collation.h"
#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include "platform/kernel/text.h"

#include <algorithm>
#include <limits>

using namespace maprecord;

namespace {

// The position (centre of the bounds) of the searchable element the walk stands on; false for
// elements that give no hits and for elements without geometry.
bool SearchablePosition(const AreaElementIterator& walk, GeoPoint& position) {
    if (!IsSearchableElement(walk.GetRecord()) || !walk.GetGeometry()) {
        return false;
    }
    position = MapPointToDegrees(walk.GetGeometry()->GetBounds().GetCenter());
    return true;
}

bool PassesTypeFilter(const SearchQuery& query, std::int16_t typeCode) {
    return QueryTypeFilter(query.defaults, static_cast<std::uint16_t>(typeCode));
}

bool PassesPostalCode(RetrievalEngineImpl& engine, std::uint32_t id, std::u16string wanted) {
    (void)_wcsupr(wanted.data());
    char16_t postalCode[17] = {};
    return engine.GetPostalCodeText(id, postalCode) != 0 && wanted == postalCode;
}

void CollectArea(RetrievalEngineImpl& engine, CrawlerHitList& list, const SearchQuery& query) {
    const auto walk = engine.WalkMapArea(query.rect);
    if (!walk) {
        return;
    }
    const GeoPoint centre = MapPointToDegrees(query.rect.GetCenter());
    std::int64_t lastArea = 0;
    for (; walk->IsValid(); walk->Next()) {
        GeoPoint position;
        if (!SearchablePosition(*walk, position)) {
            continue;
        }
        const std::uint32_t id = walk->GetElementId();
        if (query.radiusFlag != 0 &&
            GreatCircleDistance(centre.x, centre.y, position.x, position.y) > query.radiusMetres) {
            continue;
        }
        if (!query.areaIds.empty()) {
            const std::int64_t area = engine.GetAreaOfElement(id);
            if (area != lastArea) {
                if (area < 0 || !std::binary_search(query.areaIds.begin(), query.areaIds.end(),
                                                    static_cast<std::uint32_t>(area))) {
                    continue;
                }
                lastArea = area;
            }
        }
        if (!query.postalCode.empty() && !PassesPostalCode(engine, id, query.postalCode)) {
            continue;
        }
        AddCrawlerHits(engine, list, walk->GetRecord(), id, position);
    }
}

void CollectCorridor(RetrievalEngineImpl& engine, CrawlerHitList& list, const SearchQuery& query) {
    const std::vector<GeoPoint>& points = query.points;
    const std::size_t n = points.size();
    std::size_t k = CorridorChunkLength(query.radiusMetres);
    const std::int32_t r = query.radiusMetres;
    ElementAlternativeMap taken;
    for (std::size_t i = 0; i < n; i += k) {
        std::size_t count = k + 1;
        if (i + 2 * k >= n) {
            k = n - i;
            count = k;
        }
        GeoRect box(std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    -std::numeric_limits<float>::max(), -std::numeric_limits<float>::max());
        for (std::size_t j = i; j < i + count; ++j) {
            box.Extend(points[j]);
        }
        // Every chunk is widened on every side; the distance test below decides.
        OffsetPositionByMetres(box.minX, box.minY, -r, -r, box.minX, box.minY);
        OffsetPositionByMetres(box.maxX, box.maxY, r, r, box.maxX, box.maxY);
        const auto walk = engine.WalkMapArea(DegreesToMapUnits(box));
        for (; walk && walk->IsValid(); walk->Next()) {
            GeoPoint position;
            if (!SearchablePosition(*walk, position)) {
                continue;
            }
            const std::uint32_t id = walk->GetElementId();
            if (DistanceToPolyline(position, std::span(points).subspan(i, count)) > r) {
                continue;
            }
            if (taken.emplace(id, 0).second) {
                AddCrawlerHits(engine, list, walk->GetRecord(), id, position);
            }
        }
    }
}

} // namespace

bool IsSearchableElement(const std::uint8_t* record) {
    const bool named =
        (RecordAttributeWord(record) & kRawSearchable) != 0 ||
        (RecordTypeLetter(record) == 't' && RecordNameReference(record) != 0xFFFFFFFFu);
    return named && ElementGeometryClass(record) != 2;
}

std::uint32_t CorridorChunkLength(std::int32_t radiusMetres) {
    if (radiusMetres <= 200) {
        return 25;
    }
    if (radiusMetres <= 2000) {
        return 35;
    }
    if (radiusMetres <= 5000) {
        return 80;
    }
    return radiusMetres <= 20000 ? 100 : 120;
}

void CollectCrawlerHits(RetrievalEngineImpl& engine, CrawlerHitList& list,
                        const SearchQuery& query) {
    list.hits.clear();
    list.names.clear();
    list.smallestId = 0xFFFFFFFFu;
    list.largestId = 0;
    if (query.points.empty()) {
        CollectArea(engine, list, query);
    } else {
        CollectCorridor(engine, list, query);
    }
    list.rect = query.rect;
    list.radiusFlag = query.radiusFlag;
}

bool CollectsAlike(const SearchQuery& a, const SearchQuery& b) {
    return a.rect == b.rect && a.radiusFlag == b.radiusFlag && a.radiusMetres == b.radiusMetres &&
           a.areaIds == b.areaIds && a.postalCode == b.postalCode && a.points == b.points;
}

void AddCrawlerHits(RetrievalEngineImpl& engine, CrawlerHitList& list, const std::uint8_t* record,
                    std::uint32_t id, const GeoPoint& position) {
    list.largestId = std::max(list.largestId, id);
    list.smallestId = std::min(list.smallestId, id);
    std::u16string& text = list.names.emplace_back();
    // The text as stored: the plain read drops a leading '/', which marks the first part as a
    // later alternative.
    if (!engine.ReadName(RecordNameReference(record), text, false, true)) {
        text.clear();
    }
    const auto typeCode = static_cast<std::int16_t>(RecordTypeCode(record));
    std::size_t p = 0;
    std::uint8_t later = 0;
    if (!text.empty() && text[0] == u'/') {
        p = 1;
        later = 1;
    }
    for (std::int16_t alternative = 0;; ++alternative) {
        std::size_t q = text.find(u'/', p);
        if (q == std::u16string::npos) {
            q = text.size();
        }
        if (q > p) {
            list.hits.push_back(
                {text.c_str() + p, id, typeCode, alternative, later, position, -1.0f});
        }
        if (q == text.size()) {
            break;
        }
        text[q] = 0;
        p = q + 1;
        later = 1;
    }
}

bool NamePrefixPredicate::operator()(const CrawlerHit& hit) const {
    return PassesTypeFilter(*m_query, hit.typeCode) &&
           MatchNamePrefix(hit.name, m_query->name.c_str());
}

bool NameInfixPredicate::operator()(const CrawlerHit& hit) const {
    if (!PassesTypeFilter(*m_query, hit.typeCode) || hit.name[0] == 0 ||
        MatchNamePrefix(hit.name, m_query->name.c_str())) {
        return false;
    }
    for (const char16_t* from = hit.name + 1; *from != 0; ++from) {
        if (MatchNamePrefix(from, m_query->name.c_str())) {
            return true;
        }
    }
    return false;
}

bool CrawlerHitLess(const CrawlerHit& a, const CrawlerHit& b) {
    if (a.distance != -1.0f && b.distance != -1.0f) {
        return a.distance < b.distance;
    }
    if ((a.laterAlternative == 0) != (b.laterAlternative == 0)) {
        return a.laterAlternative == 0;
    }
    const int order = CompareByCollation(a.name, b.name);
    return order != 0 ? order < 0 : a.id < b.id;
}
