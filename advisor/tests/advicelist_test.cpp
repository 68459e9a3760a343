// The advice list over a route that the route service calculated on a small grid world: records
// by index, copies sharing the route iterator, and the records of the next junctions.

#include "advisor/advice.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/worldmapset.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

AdviceRecord RecordAt(std::uint32_t element, std::uint32_t next, std::int32_t distance) {
    AdviceRecord record;
    record.elementId = element;
    record.nextElementId = next;
    record.distance = distance;
    return record;
}

TEST(AdviceListOnARoute, FindsTheNextTwoJunctionsAndFailsWhenTheRouteEndsFirst) {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world = testdata::RoadWorld::Grid(4, 3, 1000, {1'260'000, 5'300'000});
    ASSERT_TRUE(testdata::WriteWorldMapSet(world, {}, root, u"\\maps"));
    ASSERT_TRUE(testdata::RoadNetworkWriter(world, {}).WriteTo(root, u"\\Net"));
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    const auto engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
    ASSERT_TRUE(engine->Open(u"\\maps\\World.rid"));
    const RouteServicePtr service = CreateRouteService(engine);
    ASSERT_TRUE(service && service->OpenNetwork(u"\\Net\\Net.rd"));
    const auto position = [&](std::uint32_t from, std::uint32_t to, double t) {
        const std::uint32_t id = world.ElementBetween(from, to);
        const GeoPoint point = world.PointAlong(from, to, t);
        return service->CreatePosition(&id, &point);
    };
    const RouteRequestResult result =
        service->RequestRoute(position(0, 1, 0.3), position(10, 11, 0.6), nullptr);
    ASSERT_EQ(result.status, routestatus::kFound);
    std::vector<std::uint32_t> ids;
    for (const RouteIteratorPtr it = GetRouteIterator(result); it->IsValid(); it->Next()) {
        ids.push_back(it->Current().linkId);
    }
    ASSERT_GE(ids.size(), 4u);
    const std::uint32_t last = ids.back();

    // Copies share the record's iterator; the list keeps records only at their indexes.
    AdviceList list;
    AdviceRecord first = RecordAt(ids[1], ids[2], 2);
    first.route = GetRouteIterator(result);
    list.Append(RecordAt(ids[1], ids[3], 1)); // the right element, the wrong next one
    list.Append(first);
    list.Append(RecordAt(ids[1], ids[2], 3)); // the same again: the first one wins
    list.Append(RecordAt(last, 0xFFFFFFFF, 4));
    list.SetRecord(4, RecordAt(last, 0, 9));
    list.SetRecord(-1, RecordAt(last, 0, 9));
    AdviceRecord& alias = first;
    first = alias;
    EXPECT_EQ(first.route.use_count(), 2); // first and its copy in the list
    AdviceRecord found = RecordAt(0, 0, -5);
    EXPECT_FALSE(list.GetRecord(4, found) || list.GetRecord(-1, found));
    EXPECT_EQ(found.distance, -5);
    const AdvicePtr advice = MakeAdvice(list, nullptr);
    ASSERT_TRUE(advice->Next());
    EXPECT_EQ(advice->Current()->GetRouteIterator(), first.route);

    const RouteIteratorPtr route = GetRouteIterator(result);
    AdviceRecord second;
    ASSERT_TRUE(list.FindRecordForRoute(found, *route));
    EXPECT_EQ(found.distance, 2);
    ASSERT_TRUE(list.FindRecordForRoute(second, *route));
    EXPECT_EQ(second.distance, 4);
    EXPECT_FALSE(route->IsValid());

    // From the third item on the first junction lies behind; the others are off the route.
    const RouteIteratorPtr later = GetRouteIterator(result);
    ASSERT_TRUE(later->Next() && later->Next());
    AdviceList behind;
    behind.Append(RecordAt(ids[1], ids[2], 2));
    behind.Append(RecordAt(last, ids[0], 5));
    found = RecordAt(0, 0, -5);
    EXPECT_FALSE(behind.FindRecordForRoute(found, *later));
    EXPECT_EQ(found.distance, -5);
    EXPECT_FALSE(later->IsValid());
}

} // namespace
