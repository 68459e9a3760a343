#include "mapdisplay/mapqueries.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "utilities/mapgeometry/elementrecord.h"

#include <algorithm>

using namespace maprecord;

bool ScaleFilter::operator()(const std::uint8_t* record) const {
    const std::uint16_t code = RecordTypeCode(record);
    return table != nullptr && code < table->size() && (*table)[code].maxScale > scale;
}

bool LayerFilter::operator()(const std::uint8_t* record) const {
    return RecordSubtype(record) == layer;
}

bool LayerScanFilter::operator()(const std::uint8_t* record) {
    const std::uint8_t recordLayer = RecordSubtype(record);
    if (recordLayer == layer)
        return true;
    if (recordLayer > layer) {
        highestSeen = std::max(highestSeen, recordLayer);
        lowestSeen = std::min(lowestSeen, recordLayer);
    }
    return false;
}

bool DrawFilter::operator()(const std::uint8_t* record) {
    if (!ScaleFilter::operator()(record) || !LayerScanFilter::operator()(record))
        return false;
    if (ElementGeometryClass(record) == 0 || transform == nullptr)
        return true;
    const MapRect bounds = RecordBounds(record);
    const POINT a = transform->WorldToScreen({bounds.x2, bounds.y2});
    const POINT b = transform->WorldToScreen({bounds.x1, bounds.y1});
    return a.x != b.x || a.y != b.y;
}

namespace {

template <class Filter>
std::unique_ptr<MapQueryCursor<Filter>> Query(RetrievalEngineImpl& engine, const Filter& filter) {
    if (!engine.IsMapSetOpenUnlocked())
        return nullptr;
    const ElementStore store = engine.GetElementStore();
    return std::make_unique<MapQueryCursor<Filter>>(
        store.GetBlockFile(), store.GetRoot(), store.GetVersion(), engine.GetDataStream(), filter);
}

} // namespace

std::unique_ptr<ScaleCursor> QueryElementsByScale(RetrievalEngineImpl& engine,
                                                  const ScaleFilter& filter) {
    return Query(engine, filter);
}

std::unique_ptr<LayerCursor> QueryElementsOnLayer(RetrievalEngineImpl& engine,
                                                  const LayerFilter& filter) {
    return Query(engine, filter);
}

std::unique_ptr<DrawCursor> QueryElementsForDrawing(RetrievalEngineImpl& engine,
                                                    const DrawFilter& filter) {
    return Query(engine, filter);
}

RecordGeometry LoadElementGeometry(const CachedFilePtr& dataFile, const std::uint8_t* record) {
    RecordGeometry result;
    if (record == nullptr)
        return result;
    result.data = MapCursor(dataFile);
    result.geometry = MakeRecordGeometry(record, result.data);
    return result;
}
