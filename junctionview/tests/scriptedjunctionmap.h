#pragma once
// A map for the junction model's tests and fuzz target: elements given by the test, an area
// query that answers the road elements whose points' bounds meet the rectangle, in the order
// given, and a log of the rectangles asked for.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "junctionview/model/junctionmap.h"

#include <algorithm>
#include <vector>

class ScriptedJunctionMap final : public JunctionMap {
public:
    explicit ScriptedJunctionMap(std::vector<JunctionMapElement> elements = {})
        : elements(std::move(elements)) {}

    bool GetElement(std::uint32_t id, JunctionMapElement& element) override {
        const auto found = std::find_if(elements.begin(), elements.end(),
                                        [&](const JunctionMapElement& e) { return e.id == id; });
        if (found == elements.end()) {
            return false;
        }
        element = *found;
        return true;
    }

    void QueryRoads(const GeoRect& rect, std::vector<JunctionMapElement>& out) override {
        queries.push_back(rect);
        out.clear();
        for (const JunctionMapElement& element : elements) {
            if (element.typeCode < maprecord::kFirstRoadType ||
                element.typeCode >= maprecord::kRoadTypeEnd || element.points.empty()) {
                continue;
            }
            GeoRect bounds(element.points[0].x, element.points[0].y, element.points[0].x,
                           element.points[0].y);
            for (const GeoPoint& p : element.points) {
                bounds.Extend(p);
            }
            if (bounds.minX <= rect.maxX && rect.minX <= bounds.maxX && bounds.minY <= rect.maxY &&
                rect.minY <= bounds.maxY) {
                out.push_back(element);
            }
        }
    }

    std::vector<JunctionMapElement> elements;
    std::vector<GeoRect> queries;
};
