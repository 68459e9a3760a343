#pragma once
// A map set built by the writer and read from memory: the ".rid" and ".dat" files as cached
// files over the writer's bytes.

#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "testdata/mapsetwriter.h"
#include "testdata/memoryblockfile.h"

#include <cstdint>
#include <vector>

struct MemoryMapSet {
    // Builds the files and opens the map data file; false when its header is refused.
    [[nodiscard]] bool Open() {
        files = writer.Build();
        rid = testdata::MakeMemoryBlockFile(files.rid, maprecord::kBlockSize);
        dat = testdata::MakeMemoryBlockFile(files.dat, maprecord::kBlockSize);
        return ridFile.Attach(rid);
    }

    // The ids an area walk yields.
    [[nodiscard]] std::vector<std::uint32_t> AreaIds(const MapRect& query) const {
        std::vector<std::uint32_t> ids;
        for (AreaElementIterator walk(rid, ridFile.GetRoot(), query, ridFile.GetVersion(), dat);
             walk.IsValid() && ids.size() < 100000; walk.Next()) {
            ids.push_back(walk.GetElementId());
        }
        return ids;
    }

    testdata::MapSetWriter writer;
    testdata::MapSetFiles files;
    CachedFilePtr rid;
    CachedFilePtr dat;
    RidFile ridFile{BlockCachePtr()};
};
