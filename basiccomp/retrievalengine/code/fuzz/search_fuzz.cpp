// Map sets (".rid", ".dat", ".nam") from arbitrary bytes, read from memory: the town with the
// input's patches applied to one of its files, or the input as that file. One search of the
// engine runs, or a molecule is made, named and crawled from each element: all must stay inside
// the data and end.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"
#include "testdata/townsketch.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

testdata::MapSetFiles TownFiles(std::uint32_t mapDataValue) {
    testdata::MapSetWriter writer;
    for (const testdata::ElementDescription& element : testdata::town::TownElements()) {
        (void)writer.Add(element);
    }
    testdata::RidHeaderFields header;
    header.mapDataValue = mapDataValue;
    return writer.SetHeader(header).Build();
}

// Reads at most `limit` molecules of the cursor.
void Drain(const GeoMoleculeCursorPtr& cursor, int limit) {
    for (bool valid = cursor && cursor->IsValid(); valid && limit > 0; valid = cursor->Next()) {
        --limit;
        (void)cursor->GetCurrent()->GetName();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Map data value 14 searches with the area cursor, 15 with the ranked cursor.
    static const testdata::MapSetFiles bases[2] = {TownFiles(14), TownFiles(15)};
    static const BlockCachePtr cache = BlockCache::Create(256);
    if (size < 3) {
        return 0;
    }
    // First byte: bits 0-1 pick the file the rest patches (".rid", ".dat", ".nam"), bit 2 the
    // map data value; the second byte picks the search, so that each input runs one.
    const testdata::MapSetFiles& base = bases[(data[0] >> 2) & 1];
    std::vector<std::uint8_t> files[3] = {base.rid, base.dat, base.nam};
    const std::size_t chosen = (data[0] & 3) % 3;
    const std::uint8_t search = data[1];
    files[chosen] = testdata::FileFromFuzzInput(files[chosen], data + 2, size - 2);
    const auto engine = RetrievalEngineImpl::CreateEngine(cache);
    if (!engine || !engine->Attach(
                       testdata::MakeMemoryBlockFile(std::move(files[0]), maprecord::kBlockSize),
                       testdata::MakeMemoryBlockFile(std::move(files[1]), maprecord::kBlockSize),
                       testdata::MakeMemoryBlockFile(std::move(files[2]), maprecord::kBlockSize))) {
        return 0;
    }
    const GeoRect extent = engine->GetExtent();
    const GeoPoint centre = extent.GetCenter();
    switch (search % 7) {
    case 0:
        Drain(engine->FindInRect(extent, u""), 200);
        break;
    case 1:
        Drain(engine->FindInRect(extent, u"a"), 200);
        break;
    case 2:
        Drain(engine->FindAround(centre, 500, u""), 200);
        break;
    case 3:
        Drain(engine->FindAlong({{{extent.minX, extent.minY}, centre, {extent.maxX, extent.maxY}}},
                                150, u""),
              200);
        break;
    case 4:
        Drain(engine->FindInArea(1, u""), 200);
        break;
    case 5:
        Drain(engine->FindInPostalCode(u"10115", 1, u""), 200);
        break;
    default: {
        const auto walk = engine->WalkMapArea(DegreesToMapUnits(extent));
        for (int steps = 0; walk && walk->IsValid() && steps < 100; walk->Next(), ++steps) {
            const GeoMoleculePtr molecule = engine->CreateGeoMolecule(
                walk->GetElementId(), static_cast<std::uint16_t>(steps % 2));
            if (!molecule) {
                continue;
            }
            (void)molecule->GetName();
            (void)molecule->GetElementIds();
            if (steps % 8 == 0) {
                (void)molecule->GetCrossStreets();
                (void)molecule->GetHouseNumberPosition(HouseNumber(2, 0));
                (void)molecule->GetCrossingWith(walk->GetElementId());
            }
        }
        break;
    }
    }
    return 0;
}
