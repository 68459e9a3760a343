#pragma once
// Map sets on a temporary device for the engine's tests: written loose or packed into an
// archive, named by a level file, read through one block cache.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/archivewriter.h"
#include "testdata/levelfilewriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <string>

enum class Packing { Loose, Archived };

struct EngineDevice {
    EngineDevice() { EXPECT_TRUE(root.InstallModule(u"ziVur.dll")); }

    // Writes the map set as folder\base.rid/.dat/.nam, or packed into folder\maps.sfs.
    [[nodiscard]] bool WriteMapSet(testdata::MapSetWriter& writer, const std::u16string& folder,
                                   const std::string& base, Packing packing) const {
        if (!root.MakeFolder(folder)) {
            return false;
        }
        if (packing == Packing::Loose) {
            return writer.WriteTo(root.HostPathOf(folder + u"\\" + Wide(base)));
        }
        testdata::ArchiveWriter archive;
        return testdata::AddMapSetToArchive(writer.Build(), base, archive) &&
               archive.WriteTo(root.HostPathOf(folder + u"\\maps.sfs"));
    }

    static std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

    testdata::TempDeviceRoot root;
    // Buffers of archived blocks, reserved once for the whole test program.
    struct Arena {
        Arena() {
            if (!MemoryArena::Shared().HoldsMemory()) {
                EXPECT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
            }
        }
    } arena;
    BlockCachePtr cache = BlockCache::Create(1024);
};

inline testdata::ElementDescription PointElement(std::int32_t x, std::int32_t y,
                                                 std::uint16_t typeCode, std::string name,
                                                 std::uint32_t attributes = 0) {
    testdata::ElementDescription element;
    element.typeLetter = 't';
    element.bounds = {x, y, x + 10, y + 10};
    element.typeCode = typeCode;
    element.name = std::move(name);
    element.attributes = attributes;
    return element;
}
