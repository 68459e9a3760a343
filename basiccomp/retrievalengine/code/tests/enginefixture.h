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

// The elements written loose as \maps\<base> and opened by an engine.
struct OpenedMapSet {
    OpenedMapSet(const std::vector<testdata::ElementDescription>& elements,
                 const std::string& base) {
        for (const auto& element : elements) {
            EXPECT_TRUE(writer.Add(element));
        }
        EXPECT_TRUE(device.WriteMapSet(writer, u"\\maps", base, Packing::Loose));
        EXPECT_TRUE(engine->Open(u"\\maps\\" + EngineDevice::Wide(base) + u".rid"));
    }
    // The id of the element added at `index`.
    std::uint32_t Id(std::size_t index) const { return writer.GetElementIds().at(index); }

    EngineDevice device;
    testdata::MapSetWriter writer;
    six::RefCntPtr<RetrievalEngineImpl> engine = RetrievalEngineImpl::CreateEngine(device.cache);
};
