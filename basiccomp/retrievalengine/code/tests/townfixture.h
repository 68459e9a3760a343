#pragma once
// The town map set (testdata/townsketch.h) with its address index, opened by an engine.

#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "enginefixture.h"
#include "testdata/townsketch.h"

#include <string>
#include <vector>

using testdata::town::Element;

struct TownMapSet {
    explicit TownMapSet(std::uint32_t mapDataValue = 15,
                        MapPoint origin = testdata::town::kOrigin) {
        EXPECT_TRUE(testdata::town::WriteTown(device.root, u"\\maps", "Town", mapDataValue, writer,
                                              origin));
        EXPECT_TRUE(engine->Open(u"\\maps\\Town.rid"));
        EXPECT_TRUE(engine->HasAddressIndex());
    }
    std::uint32_t Id(Element element) const { return writer.GetElementIds().at(element); }
    std::vector<std::uint32_t> Ids(std::vector<Element> elements) const {
        std::vector<std::uint32_t> ids;
        for (const Element element : elements) {
            ids.push_back(Id(element));
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    GeoMoleculePtr Molecule(Element element, std::uint32_t alternative = 0) {
        return engine->CreateGeoMolecule(Id(element) | (alternative << 28), kNoVariantCode);
    }

    EngineDevice device;
    testdata::MapSetWriter writer;
    six::RefCntPtr<RetrievalEngineImpl> engine = RetrievalEngineImpl::CreateEngine(device.cache);
};

inline std::string Narrow(const std::u16string& text) {
    return {text.begin(), text.end()};
}
