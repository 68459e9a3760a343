#include "basiccomp/retrievalengine/code/geomolecule.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/enginepolyline.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "basiccomp/retrievalengine/code/rtecrawler.h"
#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/usefulcode/greatcircledistance.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/text.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <new>

using namespace maprecord;

namespace {

const ElementPosition kNoPosition{};

bool IsNoPoint(const GeoPoint& point) {
    return point.x == 0.0f && point.y == 0.0f;
}

std::vector<GeoPoint> ElementPoints(RetrievalEngineImpl& engine, std::uint32_t id) {
    std::vector<GeoPoint> points;
    (void)engine.GetElementPoints(id, points);
    return points;
}

// The element's stored middle point; none for an element without points.
ElementPosition MiddlePoint(std::uint32_t id, const std::vector<GeoPoint>& points) {
    if (points.empty()) {
        return kNoPosition;
    }
    return {id, points[points.size() / 2]};
}

// The area level of a town (a municipality), as the places of addresses are named.
constexpr std::uint32_t kTownAreaLevel = 2;
constexpr std::int32_t kNoTown = -1;

// The town that holds the element; kNoTown when it lies in none.
std::int32_t TownOf(RetrievalEngineImpl& engine, std::uint32_t id) {
    const std::int32_t area = engine.GetAreaOfElement(id);
    return area < 0 ? kNoTown
                    : engine.WalkAreaHierarchy(static_cast<std::uint32_t>(area), kTownAreaLevel);
}

// Part k of the '/'-separated text; false when the text has fewer parts.
bool TextPart(const std::u16string& text, std::uint32_t k, std::u16string& part) {
    std::size_t start = 0;
    for (std::uint32_t i = 0; i < k; ++i) {
        const std::size_t slash = text.find(u'/', start);
        if (slash == std::u16string::npos) {
            return false;
        }
        start = slash + 1;
    }
    part = text.substr(start, text.find(u'/', start) - start);
    return true;
}

} // namespace

std::u16string FirstAlternative(const std::u16string& text) {
    return text.substr(0, text.find(u'/'));
}

bool StartsWithNoCase(std::u16string_view part, std::u16string_view text) {
    if (text.size() > part.size()) {
        return false;
    }
    return std::equal(text.begin(), text.end(), part.begin(),
                      [](char16_t a, char16_t b) { return towupper(a) == towupper(b); });
}

double DistanceToPolyline(const GeoPoint& point, std::span<const GeoPoint> polyline) {
    if (polyline.empty()) {
        return std::numeric_limits<double>::max();
    }
    double best = GreatCircleDistance(point.x, point.y, polyline[0].x, polyline[0].y);
    for (std::size_t i = 1; i < polyline.size(); ++i) {
        const GeoPoint c = ClosestPointOnSegment(point, polyline[i], polyline[i - 1]);
        best = std::min(best, GreatCircleDistance(point.x, point.y, c.x, c.y));
    }
    return best;
}

bool CrossStreetNameLess(const CrossStreetEntry& a, const CrossStreetEntry& b) {
    const int order = _wcsicmp(a.name.c_str(), b.name.c_str());
    return order != 0 ? order < 0 : a.id < b.id;
}

GeoMolecule::GeoMolecule(std::shared_ptr<EngineLink> link, std::uint32_t generation,
                         std::uint32_t id, std::uint16_t code)
    : m_link(std::move(link))
    , m_generation(generation)
    , m_id(id)
    , m_variantCode(code) {}

GeoMolecule::GeoMolecule(std::shared_ptr<EngineLink> link, std::uint32_t generation,
                         std::uint32_t elementId, const std::u16string& text, std::uint16_t code)
    : m_link(std::move(link))
    , m_generation(generation)
    , m_id(elementId & kMoleculeElementMask)
    , m_variantCode(code) {
    const std::int32_t alternative = SelectAlternative(text);
    m_id |= alternative < 0 ? ~kMoleculeElementMask : static_cast<std::uint32_t>(alternative) << 28;
}

bool GeoMolecule::ReadNameText(RetrievalEngineImpl& engine, std::u16string& text) {
    ElementIterator handle;
    if (!engine.GetElementHandle(handle, ElementId())) {
        return false;
    }
    const std::uint32_t reference = RecordNameReference(handle.GetRecord());
    if (m_variantCode == kNoVariantCode) {
        return engine.ReadName(reference, text, false, false);
    }
    auto code = static_cast<std::int16_t>(m_variantCode);
    std::u16string mainText;
    if (!engine.ReadNameForCode(reference, text, mainText, code)) {
        return false;
    }
    m_secondName = std::move(mainText);
    m_variantCode = static_cast<std::uint16_t>(code);
    return true;
}

void GeoMolecule::LoadNamesLocked() {
    std::u16string text;
    if (!WithEngine(false,
                    [&](RetrievalEngineImpl& engine) { return ReadNameText(engine, text); })) {
        return;
    }
    if (!TextPart(text, m_id >> 28, m_name)) {
        m_name.clear();
        return;
    }
    if (m_variantCode == kNoVariantCode) {
        m_secondName = m_name;
    }
}

std::int32_t GeoMolecule::SelectAlternative(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    std::u16string name;
    if (!WithEngine(false,
                    [&](RetrievalEngineImpl& engine) { return ReadNameText(engine, name); })) {
        return -1;
    }
    std::size_t start = 0;
    for (std::int32_t index = 0;; ++index) {
        const std::size_t slash = name.find(u'/', start);
        const std::u16string_view part = std::u16string_view(name).substr(
            start, slash == std::u16string::npos ? std::u16string::npos : slash - start);
        if (StartsWithNoCase(part, text)) {
            m_name = part;
            if (m_variantCode == kNoVariantCode) {
                m_secondName = m_name;
            }
            return index;
        }
        if (slash == std::u16string::npos) {
            return -1;
        }
        start = slash + 1;
    }
}

std::u16string GeoMolecule::GetName() {
    std::lock_guard lock(m_mutex);
    if (m_name.empty()) {
        LoadNamesLocked();
    }
    return m_name;
}

std::u16string GeoMolecule::GetSecondName() {
    std::lock_guard lock(m_mutex);
    if (m_secondName.empty()) {
        LoadNamesLocked();
    }
    return m_secondName;
}

std::int32_t GeoMolecule::GetVariantCode() {
    std::lock_guard lock(m_mutex);
    if (m_name.empty() && m_secondName.empty()) {
        LoadNamesLocked();
    }
    return m_variantCode == kNoVariantCode ? -1 : m_variantCode;
}

void GeoMolecule::SetName(const std::u16string& name) {
    std::lock_guard lock(m_mutex);
    m_name = name;
    if (m_variantCode == kNoVariantCode) {
        m_secondName = name;
    }
}

std::u16string GeoMolecule::GetPostalCode() {
    std::lock_guard lock(m_mutex);
    if (m_postalCode[0] == u'@') {
        m_postalCode.fill(0);
        WithEngine(0u, [&](RetrievalEngineImpl& engine) {
            return engine.GetPostalCodeText(ElementId(), m_postalCode.data());
        });
        m_postalCode.back() = 0;
    }
    return m_postalCode.data();
}

std::int32_t GeoMolecule::GetTypeLocked() {
    return WithEngine(std::int32_t{0}, [&](RetrievalEngineImpl& engine) {
        ElementIterator handle;
        return engine.GetElementHandle(handle, ElementId())
                   ? std::int32_t{RecordTypeCode(handle.GetRecord())}
                   : std::int32_t{0};
    });
}

std::int32_t GeoMolecule::GetType() {
    return GetTypeLocked();
}

std::u16string GeoMolecule::GetTypeName() {
    std::lock_guard lock(m_mutex);
    if (m_typeName.empty()) {
        const auto type = static_cast<std::uint16_t>(GetTypeLocked());
        m_typeName = WithEngine(std::u16string(), [type](RetrievalEngineImpl& engine) {
            return engine.GetETypeName(type);
        });
    }
    return m_typeName;
}

std::int32_t GeoMolecule::GetAreaId() {
    return WithEngine(std::int32_t{-1}, [&](RetrievalEngineImpl& engine) {
        return engine.GetAreaOfElement(ElementId());
    });
}

std::int32_t GeoMolecule::WalkAreaHierarchy(std::int32_t level) {
    return WithEngine(std::int32_t{-1}, [&](RetrievalEngineImpl& engine) {
        const std::int32_t area = engine.GetAreaOfElement(ElementId());
        return area < 0 ? -1
                        : engine.WalkAreaHierarchy(static_cast<std::uint32_t>(area),
                                                   static_cast<std::uint32_t>(level));
    });
}

std::vector<std::uint32_t>& GeoMolecule::ElementIdsLocked() {
    if (m_elementIds.empty()) {
        if (m_name.empty()) {
            LoadNamesLocked();
        }
        WithEngine(false, [&](RetrievalEngineImpl& engine) {
            Crawler crawler(engine, nullptr);
            return crawler.CollectElementIds(ElementId(), m_name, m_elementIds);
        });
    }
    return m_elementIds;
}

std::vector<std::uint32_t> GeoMolecule::GetElementIds() {
    std::lock_guard lock(m_mutex);
    return ElementIdsLocked();
}

GeoPoint GeoMolecule::FindCommonEndPoint(RetrievalEngineImpl& engine, std::uint32_t first,
                                         std::uint32_t second, std::uint32_t index) {
    const std::vector<GeoPoint> a = ElementPoints(engine, first);
    const std::vector<GeoPoint> b = ElementPoints(engine, second);
    if (a.empty() || b.empty()) {
        return {};
    }
    if (index != kAnyEndPoint) {
        if (index >= a.size() || (a[index] != b.front() && a[index] != b.back())) {
            return {};
        }
        return a[index];
    }
    for (const GeoPoint& p : {a.front(), a.back()}) {
        if (p == b.front() || p == b.back()) {
            return p;
        }
    }
    return {};
}

std::vector<std::uint32_t> GeoMolecule::GetCrossStreets() {
    std::lock_guard lock(m_mutex);
    if (!IsStreetType(static_cast<std::uint16_t>(GetTypeLocked()))) {
        return {};
    }
    const std::vector<std::uint32_t> elements = ElementIdsLocked();
    std::vector<CrossStreetEntry> entries;
    WithEngine(false, [&](RetrievalEngineImpl& engine) {
        for (const std::uint32_t e : elements) {
            const std::vector<GeoPoint> points = ElementPoints(engine, e);
            std::u16string ownName;
            ElementIterator handle;
            if (!engine.GetElementHandle(handle, e) ||
                !engine.ReadName(RecordNameReference(handle.GetRecord()), ownName, false, false)) {
                ownName.clear();
            }
            ownName = FirstAlternative(ownName);
            const std::size_t count = points.size();
            for (std::size_t i = 0; i < count; i += std::max<std::size_t>(count - 1, 1)) {
                const MapRect probe =
                    DegreesToMapUnits(GeoRect(points[i].x, points[i].y, points[i].x, points[i].y));
                const auto walk = engine.WalkMapArea(probe);
                for (; walk && walk->IsValid(); walk->Next()) {
                    const std::uint32_t f = walk->GetElementId();
                    const std::uint8_t* record = walk->GetRecord();
                    std::u16string name;
                    if (f == e ||
                        !engine.ReadName(RecordNameReference(record), name, false, false) ||
                        name.empty() || name == ownName) {
                        continue;
                    }
                    name = FirstAlternative(name);
                    if (name.empty() || name == ownName || !IsStreetType(RecordTypeCode(record)) ||
                        IsNoPoint(
                            FindCommonEndPoint(engine, e, f, static_cast<std::uint32_t>(i)))) {
                        continue;
                    }
                    const GeoMoleculePtr crossing =
                        engine.CreateMappedGeoMolecule(f, name, kNoVariantCode);
                    if (!crossing) {
                        continue;
                    }
                    const std::uint32_t id = crossing->GetId();
                    if (std::none_of(entries.begin(), entries.end(),
                                     [id](const CrossStreetEntry& x) { return x.id == id; })) {
                        entries.push_back({id, name.substr(0, kCrossStreetNameLength)});
                    }
                }
            }
        }
        return true;
    });
    std::sort(entries.begin(), entries.end(), CrossStreetNameLess);
    std::vector<std::uint32_t> ids;
    ids.reserve(entries.size());
    for (const CrossStreetEntry& entry : entries) {
        ids.push_back(entry.id);
    }
    return ids;
}

bool GeoMolecule::HasHouseNumbers() {
    std::lock_guard lock(m_mutex);
    const std::vector<std::uint32_t>& ids = ElementIdsLocked();
    return WithEngine(false, [&](RetrievalEngineImpl& engine) {
        HouseNumberInfo info;
        return std::any_of(ids.begin(), ids.end(),
                           [&](std::uint32_t id) { return engine.FillHouseNumberInfo(id, info); });
    });
}

bool GeoMolecule::HasHouseNumber(const HouseNumber& number) {
    std::lock_guard lock(m_mutex);
    const std::vector<std::uint32_t>& ids = ElementIdsLocked();
    if (ids.empty() || !number.IsValid()) {
        return false;
    }
    return WithEngine(false, [&](RetrievalEngineImpl& engine) {
        return std::any_of(ids.begin(), ids.end(), [&](std::uint32_t id) {
            HouseNumberInfo info;
            HouseNumberPosition position;
            return engine.FillHouseNumberInfo(id, info) && info.Match(number, position);
        });
    });
}

ElementPosition GeoMolecule::GetHouseNumberPosition(const HouseNumber& number) {
    std::lock_guard lock(m_mutex);
    return GetHouseNumberPositionLocked(number);
}

ElementPosition GeoMolecule::GetHouseNumberPositionLocked(const HouseNumber& number) {
    const std::vector<std::uint32_t>& ids = ElementIdsLocked();
    if (ids.empty()) {
        return kNoPosition;
    }
    return WithEngine(kNoPosition, [&](RetrievalEngineImpl& engine) {
        if (number.IsValid()) {
            for (const std::uint32_t id : ids) {
                HouseNumberInfo info;
                HouseNumberPosition position;
                if (!engine.FillHouseNumberInfo(id, info) || !info.Match(number, position)) {
                    continue;
                }
                const std::vector<GeoPoint> points = ElementPoints(engine, id);
                if (info.rangeFlag != 1) {
                    return MiddlePoint(id, points);
                }
                if (points.empty() || position.index >= position.count) {
                    return kNoPosition;
                }
                EnginePolyline polyline(points);
                std::vector<GeoPoint> samples;
                polyline.GetPoints(position.count, samples, 0);
                // An element of zero length has no samples: its points coincide.
                return position.index < samples.size()
                           ? ElementPosition{id, samples[position.index]}
                           : MiddlePoint(id, points);
            }
        }
        // Without a number the street is its part in the molecule's own town: the name may go
        // on into other towns, whose elements the crawl reaches too.
        std::vector<std::uint32_t> own;
        if (const std::int32_t town = TownOf(engine, ElementId()); town != kNoTown) {
            std::copy_if(ids.begin(), ids.end(), std::back_inserter(own),
                         [&](std::uint32_t id) { return TownOf(engine, id) == town; });
        }
        if (own.empty()) {
            own = ids;
        }
        if (own.size() == 1) {
            return MiddlePoint(own[0], ElementPoints(engine, own[0]));
        }
        std::vector<std::vector<GeoPoint>> lines;
        double sumX = 0.0;
        double sumY = 0.0;
        std::size_t total = 0;
        for (const std::uint32_t id : own) {
            lines.push_back(ElementPoints(engine, id));
            for (const GeoPoint& p : lines.back()) {
                sumX += p.x;
                sumY += p.y;
                ++total;
            }
        }
        if (total == 0) {
            return kNoPosition;
        }
        const GeoPoint centroid{static_cast<float>(sumX / static_cast<double>(total)),
                                static_cast<float>(sumY / static_cast<double>(total))};
        std::size_t best = 0;
        double bestDistance = std::numeric_limits<double>::max();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const double distance = DistanceToPolyline(centroid, lines[i]);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return MiddlePoint(own[best], lines[best]);
    });
}

ElementPosition GeoMolecule::GetCrossingWith(std::uint32_t otherId) {
    std::lock_guard lock(m_mutex);
    const std::vector<std::uint32_t> own = ElementIdsLocked();
    return WithEngine(kNoPosition, [&](RetrievalEngineImpl& engine) {
        const GeoMoleculePtr other = engine.CreateGeoMolecule(otherId, 0);
        if (!other) {
            return kNoPosition;
        }
        const std::vector<std::uint32_t> others = other->GetElementIds();
        for (const std::uint32_t e : own) {
            for (const std::uint32_t f : others) {
                const GeoPoint p = FindCommonEndPoint(engine, e, f, kAnyEndPoint);
                if (!IsNoPoint(p)) {
                    return ElementPosition{e, p};
                }
            }
        }
        return kNoPosition;
    });
}
