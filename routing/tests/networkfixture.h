#pragma once
// Road networks for the routing tests: a world written by the network writer into a temporary
// device folder and loaded, with its layout at hand.

#include "routing/roadnetwork.h"
#include "testdata/recordingengine.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"

#include "platform/files/memory.h"

#include <memory>
#include <optional>
#include <string>

namespace routingtest {

// Free memory for the budget: 2 MB gives the minimum of 1536 KB.
inline void SetFreeMemory(DWORD bytes) {
    MEMORYSTATUS status{};
    status.dwAvailPhys = bytes;
    status.dwAvailVirtual = bytes;
    platform::OverrideMemoryStatus(status);
    ResetCacheBudget();
}

struct WrittenNetwork {
    testdata::TempDeviceRoot root;
    std::unique_ptr<testdata::RoadNetworkWriter> writer;
    std::unique_ptr<RoadNetwork> network;
    testdata::RecordingEnginePtr engine;
    bool isLoaded = false;

    [[nodiscard]] const testdata::RoadNetworkLevelLayout& Layout(std::uint32_t level) const {
        return writer->GetLayout()[level];
    }
    [[nodiscard]] CrossingAddress AddressOfNode(std::uint32_t level, std::uint32_t node) const {
        const auto& layout = Layout(level);
        const testdata::WrittenAddress a = layout.addresses[layout.crossingOfNode.at(node)];
        return {a.page, a.offset, 0xFFFFFFFF, static_cast<std::uint16_t>(level)};
    }
    [[nodiscard]] NetworkCrossingPtr CrossingOf(std::uint32_t level, std::uint32_t node) const {
        return network->CreateCrossing(AddressOfNode(level, node));
    }
};

// Writes the world into "\Net" and loads "\Net\Net.rd" (with a recording engine that reports
// map data when withMapData is set).
inline std::unique_ptr<WrittenNetwork> WriteAndLoad(testdata::RoadWorld world,
                                                    testdata::RoadNetworkOptions options,
                                                    bool withMapData = false) {
    auto written = std::make_unique<WrittenNetwork>();
    written->writer =
        std::make_unique<testdata::RoadNetworkWriter>(std::move(world), std::move(options));
    if (!written->writer->WriteTo(written->root, u"\\Net") ||
        !written->root.InstallModule(u"ziVur.dll")) {
        return written;
    }
    written->network = std::make_unique<RoadNetwork>();
    RetrievalEngine::RetrievalEnginePtr engine;
    if (withMapData) {
        written->engine = testdata::MakeRecordingEngine();
        written->engine->script.flag = true;
        engine = testdata::EngineInterface(written->engine);
    }
    written->isLoaded = written->network->Load(u"\\Net\\Net.rd", engine);
    return written;
}

} // namespace routingtest
