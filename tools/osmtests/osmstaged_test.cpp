// The staged calculation on the extract converted with three levels: a route from a road of
// Vaduz to one of Schaan with its first stage of alternatives.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/routeservice.h"
#include "routing/routetree.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

class ExtractStaged : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions three;
        three.levels = 3;
        ConvertOnce({{"staged", three}});
    }
};

// The first road of the municipality that an element position can start on.
std::optional<std::uint32_t> RoadOf(RetrievalEngineImpl& engine, RouteService& service,
                                    const std::u16string& city) {
    return extractplaces::FirstStreetElement(engine, city, [&](std::uint32_t id, std::int32_t) {
        const RoutePositionPtr position = service.CreateElementPosition(&id);
        return position && position->Count() > 0 && position->GetSingleElementId() == id;
    });
}

std::vector<RouteElement*> Elements(const RouteTree& tree) {
    std::vector<RouteElement*> out;
    std::set<RouteElement*> seen;
    std::vector<RouteElement*> open{tree.GetRoot()};
    while (!open.empty()) {
        RouteElement* e = open.back();
        open.pop_back();
        if (e != nullptr && seen.insert(e).second) {
            out.push_back(e);
            open.insert(open.end(), e->GetSuccessors().begin(), e->GetSuccessors().end());
        }
    }
    return out;
}

TEST_F(ExtractStaged, AlternativesThroughVaduz) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\staged") + osm2nav::kLevelFile));
    const RouteServicePtr service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
    ASSERT_TRUE(service);
    ASSERT_TRUE(service->OpenNetwork(std::u16string(u"\\staged") + osm2nav::kNetworkFile));
    ASSERT_EQ(service->GetNetwork()->GetMapCount(), 3);
    const std::optional<std::uint32_t> from = RoadOf(*engine, *service, u"Vaduz");
    const std::optional<std::uint32_t> to = RoadOf(*engine, *service, u"Schaan");
    ASSERT_TRUE(from && to);
    const RoutePositionEntry start = *service->CreateElementPosition(&*from)->Begin();
    const RoutePositionEntry destination = *service->CreateElementPosition(&*to)->Begin();

    RouterCore router;
    router.SetNetwork(service->GetNetwork());
    RouteOptions options = router.GetOptions();
    options.Apply(*service->GetOptions());
    router.SetOptions(options);
    ASSERT_EQ(router.Calculate(start, destination, {}), 6);
    const std::vector<RouteRecord> main = router.BuildRecords(-1, true);

    const auto tree = std::make_shared<RouteTree>();
    ASSERT_EQ(router.CalculateStaged(tree, start, destination, {}, 1, 0.0f), 6);
    const auto lock = tree->Lock();
    // The first branch has the main route's links.
    std::vector<std::uint32_t> links;
    for (const RouteElement* e = tree->GetRoot()->GetSuccessors().at(0);;
         e = e->GetSuccessors().front()) {
        links.push_back(static_cast<std::uint32_t>(e->GetLinkValue()));
        if (e->GetSuccessors().empty() || e->IsSuccessorMarked(0) || links.size() > main.size()) {
            break;
        }
    }
    std::vector<std::uint32_t> mainLinks;
    for (const RouteRecord& record : main) {
        mainLinks.push_back(record.linkId);
    }
    EXPECT_EQ(links, mainLinks);

    // Within each branch every polyline starts where the one before it ends; the encoded size
    // is that of the elements and of the marked slots.
    std::size_t size = RouteTree::kEmptyEncodedSize;
    std::size_t branches = 0;
    for (const RouteElement* e : Elements(*tree)) {
        size += (EncodePolylineDeltas(e->GetPolyline()).size() + 3) * 2;
        const auto& successors = e->GetSuccessors();
        branches += e != tree->GetRoot() && successors.size() > 1 ? successors.size() - 1 : 0;
        for (std::uint32_t k = 0; k < successors.size(); ++k) {
            size += e->IsSuccessorMarked(k) ? 4 : 0;
            if (e == tree->GetRoot() || e->IsSuccessorMarked(k)) {
                continue;
            }
            ASSERT_FALSE(e->GetPolyline().empty());
            ASSERT_FALSE(successors[k]->GetPolyline().empty());
            EXPECT_LT(GeoDistance(e->GetPolyline().back(), successors[k]->GetPolyline().front()),
                      1.0)
                << e->GetLinkValue() << " to " << successors[k]->GetLinkValue();
        }
    }
    EXPECT_GT(branches, 0u);
    EXPECT_EQ(tree->GetEncodedSize(), size);
}

} // namespace
