// The advice list: records by index, and finding the records of the next junctions on a route
// that the route service calculated over a small grid world.

#include "advisor/advicelist.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/worldmapset.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t kRouteEnd = 0xFFFFFFFF;

AdviceRecord RecordAt(std::uint32_t element, std::uint32_t next, std::int32_t distance) {
    AdviceRecord record;
    record.elementId = element;
    record.nextElementId = next;
    record.distance = distance;
    return record;
}

TEST(AdviceList, GetsAndReplacesOnlyRecordsInsideTheList) {
    AdviceList list;
    AdviceRecord target = RecordAt(0, 0, -5);
    EXPECT_FALSE(list.GetRecord(0, target));
    list.Append(RecordAt(1, 2, 10));
    list.Append(RecordAt(2, 3, 20));
    list.SetRecord(1, RecordAt(2, 3, 25));
    list.SetRecord(2, RecordAt(9, 9, 90));
    list.SetRecord(-1, RecordAt(9, 9, 90));
    ASSERT_EQ(list.Size(), 2u);
    const struct {
        std::int32_t n;
        bool found;
        std::int32_t distance;
    } cases[] = {{0, true, 10}, {1, true, 25}, {2, false, -5}, {-1, false, -5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        AdviceRecord record = RecordAt(0, 0, -5);
        EXPECT_EQ(list.GetRecord(c.n, record), c.found);
        EXPECT_EQ(record.distance, c.distance);
    }
}

TEST(AdviceListOnARoute, FindsTheNextTwoJunctionsAndFailsWhenTheRouteEndsFirst) {
    testdata::TempDeviceRoot root;
    testdata::RoadWorld world =
        testdata::RoadWorld::Grid(4, 3, 1000, MapPoint{1'260'000, 5'300'000});
    ASSERT_TRUE(testdata::WriteWorldMapSet(world, {}, root, u"\\maps"));
    testdata::RoadNetworkWriter writer(world, {});
    ASSERT_TRUE(writer.WriteTo(root, u"\\Net"));
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    const RetrievalEngine::RetrievalEnginePtr engine =
        RetrievalEngineImpl::Create(BlockCache::Create(256));
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
    std::vector<std::uint32_t> elements;
    for (const RouteIteratorPtr it = GetRouteIterator(result); it->IsValid(); it->Next()) {
        elements.push_back(it->Current().linkId);
    }
    ASSERT_GE(elements.size(), 4u);
    const std::size_t last = elements.size() - 1;

    AdviceList list;
    list.Append(RecordAt(elements[1], elements[3], 1));  // the right element, the wrong next one
    list.Append(RecordAt(elements[1], elements[2], 2));  // the first junction
    list.Append(RecordAt(elements[1], elements[2], 3));  // the same again: the first one wins
    list.Append(RecordAt(elements[last], kRouteEnd, 4)); // the destination
    const RouteIteratorPtr route = GetRouteIterator(result);
    AdviceRecord first;
    AdviceRecord second;
    ASSERT_TRUE(list.FindRecordForRoute(first, *route));
    EXPECT_EQ(first.distance, 2);
    ASSERT_TRUE(list.FindRecordForRoute(second, *route));
    EXPECT_EQ(second.distance, 4);
    EXPECT_FALSE(route->IsValid());

    // From the second item on, the first junction lies behind; junctions off the route are
    // never found.
    const RouteIteratorPtr later = GetRouteIterator(result);
    ASSERT_TRUE(later->Next() && later->Next());
    AdviceList behind;
    behind.Append(RecordAt(elements[1], elements[2], 2));
    behind.Append(RecordAt(elements[last], elements[0], 5));
    AdviceRecord missing = RecordAt(0, 0, -5);
    EXPECT_FALSE(behind.FindRecordForRoute(missing, *later));
    EXPECT_EQ(missing.distance, -5);
    EXPECT_FALSE(later->IsValid());
}

} // namespace
