#pragma once
// A generated three-level world of the router benchmark, written with its map set and network
// into a device root and opened by a route service, with a router alone on the service's network
// under the options the service applies: the two sides the service benchmarks compare.

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routercore.h"
#include "routing/routeservice.h"
#include "testdata/randomworld.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "testdata/worldmapset.h"

#include <memory>
#include <string>

struct BenchServiceWorld {
    testdata::TempDeviceRoot root;
    testdata::RandomWorld random;
    RetrievalEngine::RetrievalEnginePtr engine;
    RouteServicePtr service;
    std::unique_ptr<RouterCore> router;
    std::string error;
};

// Writes and opens `w.random`'s world; on failure `w.error` says what failed.
inline void OpenBenchServiceWorld(BenchServiceWorld& w) {
    // The map set gives the links their element ids, which the network then names.
    const auto mapSet = testdata::WriteWorldMapSet(w.random.world, {}, w.root, u"\\maps");
    if (!mapSet) {
        w.error = "the map set cannot be written";
        return;
    }
    testdata::RoadNetworkOptions network = testdata::RandomWorldNetworkOptions(w.random, true);
    network.pageSize = 4096;
    {
        testdata::RoadNetworkWriter writer(w.random.world, network);
        if (!writer.WriteTo(w.root, u"\\Net") || !w.root.InstallModule(u"ziVur.dll")) {
            w.error = "the network cannot be written";
            return;
        }
    }
    w.engine = RetrievalEngineImpl::Create(BlockCache::Create(4096));
    if (!w.engine->Open(mapSet->ridPath)) {
        w.error = "the map set does not open";
        return;
    }
    w.service = CreateRouteService(w.engine);
    if (!w.service || !w.service->OpenNetwork(u"\\Net\\Net.rd")) {
        w.error = "the network does not open";
        return;
    }
    w.router = std::make_unique<RouterCore>();
    w.router->SetNetwork(w.service->GetNetwork());
    RouteOptions routerOptions = w.router->GetOptions();
    routerOptions.Apply(*w.service->GetOptions());
    w.router->SetOptions(routerOptions);
}
