#pragma once
// The map display's queries over an open map set: record filters for the element walk (scale
// limits of a style's scale table, one layer, the layer scan that tells which layers lie above,
// and the drawing filter that also drops elements covering a single pixel), the three query
// builders and the geometry of a single record. Queries run under the engine's reader group,
// which the caller holds; a cursor belongs to one thread.

#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "mapdisplay/mapstylefile.h"
#include "mapdisplay/maptransform.h"

#include <cstdint>
#include <memory>
#include <vector>

class RetrievalEngineImpl;

// The query rectangle in map units; the walk normalises it before it starts.
struct RectFilter {
    MapRect rect;
};

// Elements whose class is visible at the scale: the scale table's limit for the record's type
// code is strictly above the scale. A type code at or beyond the table is rejected.
struct ScaleFilter : virtual RectFilter {
    float scale = 0;
    const std::vector<ScaleRow>* table = nullptr;
    bool operator()(const std::uint8_t* record) const;
};

// Elements of one layer (the record's layer byte).
struct LayerFilter : RectFilter {
    std::uint8_t layer = 0;
    bool operator()(const std::uint8_t* record) const;
};

// Elements of its layer; of the layers above it met on the way it keeps the highest and the
// lowest (255 while none was met).
struct LayerScanFilter : virtual RectFilter {
    std::uint8_t layer = 0;
    std::uint8_t highestSeen = 0;
    std::uint8_t lowestSeen = 255;
    // A scan of `layer` with nothing seen yet.
    void StartScan(std::uint8_t scanLayer) {
        layer = scanLayer;
        highestSeen = scanLayer;
        lowestSeen = 255;
    }
    bool operator()(const std::uint8_t* record);
};

// What the drawing pass draws of one layer: visible at the scale, on the layer (layers above
// counted only when visible), and, except for point symbols, not collapsing to one pixel
// through the view transform.
struct DrawFilter : LayerScanFilter, ScaleFilter {
    const IMapTransform* transform = nullptr;
    bool operator()(const std::uint8_t* record);
};

// A walk over an open map set with one of the filters above.
template <class Filter> class MapQueryCursor : public FilteredElementWalk<Filter> {
public:
    MapQueryCursor(CachedFilePtr blockFile, std::uint32_t root, std::uint32_t version,
                   CachedFilePtr dataFile, const Filter& filter)
        : FilteredElementWalk<Filter>(std::move(blockFile), version, std::move(dataFile), filter) {
        this->Begin(root, filter.rect);
    }
};

using ScaleCursor = MapQueryCursor<ScaleFilter>;
using LayerCursor = MapQueryCursor<LayerFilter>;
using DrawCursor = MapQueryCursor<DrawFilter>;

// The builders: the walk settled on the first accepted element (invalid when there is none);
// null while the engine has no map set open.
[[nodiscard]] std::unique_ptr<ScaleCursor> QueryElementsByScale(RetrievalEngineImpl& engine,
                                                                const ScaleFilter& filter);
[[nodiscard]] std::unique_ptr<LayerCursor> QueryElementsOnLayer(RetrievalEngineImpl& engine,
                                                                const LayerFilter& filter);
[[nodiscard]] std::unique_ptr<DrawCursor> QueryElementsForDrawing(RetrievalEngineImpl& engine,
                                                                  const DrawFilter& filter);

// The geometry of one element record, with the ".dat" page it reads (released after it).
struct RecordGeometry {
    MapCursor data;
    GeometryRef geometry; // empty when the pool is full or the record has no geometry
};
[[nodiscard]] RecordGeometry LoadElementGeometry(const CachedFilePtr& dataFile,
                                                 const std::uint8_t* record);
