#pragma once
// Street sketches written as map sets and opened by the engine, their elements read back through
// the area query, and matchers set up around a point, for the matcher's tests.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/mapmatcher.h"
#include "testdata/matchersketches.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A map element as the area query hands it out.
struct ReadElement {
    std::uint32_t id = 0;
    std::vector<GeoPoint> points;
    std::uint32_t direction = 0;

    [[nodiscard]] StreetElement View() const { return {id, points, direction}; }
};

inline std::vector<ReadElement> ReadElements(RetrievalEngine::IAreaQuery& query,
                                             const GeoRect& rect) {
    std::vector<ReadElement> elements;
    for (auto cursor = query.QueryArea(rect, 1001, 1100); cursor && cursor->IsValid();
         cursor->Next()) {
        ReadElement element;
        element.id = cursor->GetElementId();
        element.points.resize(cursor->GetPointCount());
        for (std::uint32_t i = 0; i < element.points.size(); ++i) {
            cursor->GetPoint(element.points[i], i);
        }
        ElementAttributes attributes;
        cursor->GetAttributes(attributes);
        element.direction = attributes.DirectionCode();
        elements.push_back(std::move(element));
    }
    return elements;
}

// A sketch written into a temporary device and opened by an engine.
struct SketchMap {
    explicit SketchMap(const testdata::MatcherSketch& sketch) {
        static int count = 0;
        const std::u16string base = u"\\maps\\Sketch" + Wide(std::to_string(++count));
        const auto added = testdata::AddMatcherSketch(writer, sketch);
        EXPECT_TRUE(added && root.MakeFolder(u"\\maps") && writer.WriteTo(root.HostPathOf(base)));
        if (added) {
            indexes = *added;
        }
        engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        path = base + u".rid";
        EXPECT_TRUE(engine->Open(path));
        query = AreaQueryPtr(engine);
    }
    static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }
    // The element id of the sketch's k-th element (grid segments first, then polylines).
    [[nodiscard]] std::uint32_t Id(std::size_t k) const {
        return writer.GetElementIds()[indexes[k]];
    }
    [[nodiscard]] std::vector<ReadElement> All() const {
        // Roads along the extent's edges have boxes of no height: widen it to be sure of them.
        GeoRect extent = engine->GetExtent();
        extent.Inflate(0.01f, 0.01f);
        return ReadElements(*query, extent);
    }

    testdata::TempDeviceRoot root;
    testdata::MapSetWriter writer;
    std::vector<std::size_t> indexes;
    std::u16string path;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    AreaQueryPtr query;
};

inline GeoPoint SketchNode(const testdata::MatcherSketch& sketch, char node) {
    return MapPointToDegrees(*testdata::MapSetWriter::NodePosition(sketch.grid, node));
}

// A processed record at the position, with the search area of a matcher set around it.
inline MatchRecord RecordAt(const GeoPoint& position, std::uint16_t speed = 30) {
    MatchRecord record;
    record.raw = position;
    record.snapped = position;
    record.predicted = position;
    record.speed = speed;
    record.spareStatus = 0xFFFF;
    record.flags = MatchRecord::kProcessed;
    return record;
}

// A point `east` and `north` metres from p. Float degrees hold a latitude near 47 degrees only to
// about 0.4 m, so north-south positions are that coarse.
inline GeoPoint Moved(const GeoPoint& p, std::int32_t east, std::int32_t north) {
    GeoPoint moved;
    OffsetPositionByMetres(p.x, p.y, east, north, moved.x, moved.y);
    return moved;
}
