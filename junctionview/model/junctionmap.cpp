#include "junctionview/model/junctionmap.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"

#include <new>
#include <utility>

namespace {

class EngineJunctionMap final : public JunctionMap {
public:
    explicit EngineJunctionMap(RetrievalEngine::RetrievalEnginePtr engine)
        : m_engine(std::move(engine)) {}

    bool GetElement(std::uint32_t id, JunctionMapElement& element) override {
        const six::IntfPtr<MapElement> mapped = m_engine->GetMappedElement(id);
        if (!mapped) {
            return false;
        }
        element.id = id;
        (void)mapped->GetPoints(element.points);
        ElementAttributes attributes;
        mapped->GetAttributes(attributes);
        element.attributes = attributes.word;
        element.typeCode = mapped->GetTypeCode();
        return true;
    }

    void QueryRoads(const GeoRect& rect, std::vector<JunctionMapElement>& elements) override {
        elements.clear();
        auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(m_engine.Get());
        if (query == nullptr) {
            return;
        }
        for (ElementCursorPtr cursor =
                 query->QueryArea(rect, maprecord::kFirstRoadType, maprecord::kRoadTypeEnd);
             cursor && cursor->IsValid(); cursor->Next()) {
            JunctionMapElement element;
            element.id = cursor->GetElementId();
            if (element.id == 0xFFFFFFFF) {
                break;
            }
            element.points.resize(cursor->GetPointCount());
            for (std::uint32_t i = 0; i < element.points.size(); ++i) {
                cursor->GetPoint(element.points[i], i);
            }
            ElementAttributes attributes;
            cursor->GetAttributes(attributes);
            element.attributes = attributes.word;
            element.typeCode = cursor->GetTypeCode();
            elements.push_back(std::move(element));
        }
    }

private:
    RetrievalEngine::RetrievalEnginePtr m_engine;
};

} // namespace

JunctionMapPtr CreateEngineJunctionMap(RetrievalEngine::RetrievalEnginePtr engine) {
    if (!engine) {
        return nullptr;
    }
    try {
        return std::make_shared<EngineJunctionMap>(std::move(engine));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
