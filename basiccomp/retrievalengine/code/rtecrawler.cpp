#include "basiccomp/retrievalengine/code/rtecrawler.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/kernel/messagebox.h"

#include <algorithm>
#include <limits>

using namespace maprecord;

namespace {

// Bounds from a damaged file may lie anywhere: the widening stops at the ends of the range.
std::int32_t Widen(std::int32_t value, std::int32_t by) {
    const std::int64_t wide = static_cast<std::int64_t>(value) + by;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        wide, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

MapRect MakeCrawlSearchRect(const MapRect& bounds) {
    return {Widen(bounds.x1, -kCrawlSearchMargin), Widen(bounds.y1, -kCrawlSearchMargin),
            Widen(bounds.x2, kCrawlSearchMargin), Widen(bounds.y2, kCrawlSearchMargin)};
}

void CrawlAssertAlternative(ElementAlternativeMap& produced, std::uint32_t id,
                            std::uint32_t alternative) {
    if (alternative > kLargestCrawlAlternative) {
        (void)MessageBoxW(nullptr, u"basiccomp\\retrievalengine\\code\\rtecrawler", u"37", MB_OK);
    }
    produced.emplace(id, alternative);
}

Crawler::Crawler(RetrievalEngineImpl& engine, ElementAlternativeMap* produced)
    : m_engine(engine)
    , m_produced(produced) {}

std::int32_t Crawler::FindNameAlternative(const std::uint8_t* record, const std::u16string& text) {
    std::u16string name;
    if (!m_engine.ReadName(RecordNameReference(record), name, false, false)) {
        return -2;
    }
    const std::size_t n = text.size();
    for (std::size_t p = name.find(text); p != std::u16string::npos; p = name.find(text, p + n)) {
        const bool starts = p == 0 || name[p - 1] == u'/';
        const bool ends = p + n == name.size() || name[p + n] == u'/';
        if (starts && ends) {
            std::int32_t index = 0;
            for (std::size_t i = 0; i < p; ++i) {
                index += name[i] == u'/' ? 1 : 0;
            }
            return index;
        }
        if (n == 0) {
            break;
        }
    }
    return -1;
}

bool Crawler::CollectElementIds(std::uint32_t id, const std::u16string& text,
                                std::vector<std::uint32_t>& ids) {
    if (text.empty()) {
        return false;
    }
    ids.clear();
    const ElementData start = m_engine.GetElementGeometry(id);
    if (!start.geometry) {
        return false;
    }
    const std::uint8_t* record = start.record.GetRecord();
    const std::int32_t alternative = FindNameAlternative(record, text);
    if (alternative == -1) {
        return false;
    }
    if (ElementGeometryClass(record) != 1) {
        ids.push_back(id);
        return true;
    }
    m_name = text;
    m_alternatives.clear();
    m_result.clear();
    m_subtype = RecordSubtype(record);
    std::deque<CrawlRecord> stack{{id, alternative, start.geometry->GetBounds()}};
    Expand(stack, m_subtype);
    ids.reserve(m_result.size());
    for (const auto& entry : m_result) {
        ids.push_back(entry.first);
    }
    return true;
}

std::int32_t Crawler::CrawlNameAlternative(const std::uint8_t* record) {
    const auto [entry, isNew] = m_alternatives.try_emplace(RecordNameReference(record), 0);
    if (isNew) {
        entry->second = FindNameAlternative(record, m_name);
    }
    return entry->second;
}

void Crawler::Expand(std::deque<CrawlRecord>& stack, std::uint8_t subtype) {
    while (!stack.empty()) {
        const CrawlRecord r = stack.back();
        stack.pop_back();
        // An element reached twice before it was spread from is on the stack twice: its
        // neighbourhood was pushed when it was first recorded.
        const auto alternative = static_cast<std::uint32_t>(r.alternative);
        if (!m_result.emplace(r.id, alternative).second) {
            continue;
        }
        if (m_produced != nullptr) {
            CrawlAssertAlternative(*m_produced, r.id, alternative);
        }
        ++m_walks;
        // Only records of the name get their geometry made.
        const auto walk = m_engine.CrawlArea(
            {MakeCrawlSearchRect(r.bounds), subtype,
             [this](const std::uint8_t* record) { return CrawlNameAlternative(record) >= 0; }});
        if (!walk) {
            continue;
        }
        for (; walk->IsValid(); walk->Next()) {
            const GeometryRef& geometry = walk->GetGeometry();
            if (!geometry) {
                continue; // no geometry, no neighbourhood to spread from
            }
            const std::uint32_t id = walk->GetElementId();
            const std::int32_t b = CrawlNameAlternative(walk->GetRecord());
            if (b >= 0 && !m_result.contains(id)) {
                stack.push_back({id, b, geometry->GetBounds()});
            }
        }
    }
}
