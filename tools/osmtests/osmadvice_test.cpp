// The junction analysis on routes between the municipalities of the converted extract: every
// item gets a module, the last the destination, and every roundabout passage is a roundabout
// whose exit number counts the exits passed, counted here from the network's links.
#include "advisor/junctionrules.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeposition.h"
#include "routing/routeservice.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

class ExtractAdvice : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"advice", osm2nav::ConvertOptions{}}}); }

    void SetUp() override {
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(m_engine->Open(std::u16string(u"\\advice") + osm2nav::kLevelFile));
        m_service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_service &&
                    m_service->OpenNetwork(std::u16string(u"\\advice") + osm2nav::kNetworkFile));
    }
    void TearDown() override { m_engine->Close(); }

    // A road of the municipality that the network holds: its first drivable street element.
    RoutePositionPtr PositionIn(const std::u16string& name) {
        const auto id = extractplaces::FirstTownRoad(*m_engine, name);
        return id ? m_service->CreateElementPosition(&*id) : nullptr;
    }

    // The crossing where `item` begins has a link other than the ring's that a car may leave by.
    bool HasExit(const RouteRecord& item, const std::set<std::uint32_t>& ring) {
        const RoadNetworkPtr network = m_service->GetNetwork();
        ElementLinkRequest request;
        request.position = {item.x, item.y};
        request.arrivingElement = item.linkId;
        std::vector<NeighbourLink> ignored;
        request.allowed = &ignored;
        request.forbidden = &ignored;
        if (!network->LocateElementLink(request, 1)) {
            ADD_FAILURE() << "no crossing for " << item.linkId;
            return false;
        }
        const auto crossing = network->CreateCrossing(request.address);
        for (auto cursor = network->CreateCursor(*crossing, 0, 0); cursor->IsValid();
             cursor->Next()) {
            // Direction code 3: one-way towards the crossing.
            if (ring.count(cursor->GetElementId()) == 0 && cursor->GetDirectionCode() != 3) {
                return true;
            }
        }
        return false;
    }

    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    RouteServicePtr m_service;
};

JunctionRules::Settings Settings() {
    return {{u"minAngleStraightAhead", u"-15"}, {u"maxAngleStraightAhead", u"15"},
            {u"minAngleSlightRight", u"16"},    {u"maxAngleSlightRight", u"45"},
            {u"minAngleToTheRight", u"46"},     {u"maxAngleToTheRight", u"120"},
            {u"minAngleHardRight", u"121"},     {u"maxAngleHardRight", u"160"},
            {u"minAngleReturn", u"-160"},       {u"maxAngleReturn", u"160"},
            {u"minAngleHardLeft", u"-121"},     {u"maxAngleHardLeft", u"-160"},
            {u"minAngleToTheLeft", u"-46"},     {u"maxAngleToTheLeft", u"-120"},
            {u"minAngleSlightLeft", u"-16"},    {u"maxAngleSlightLeft", u"-45"}};
}

TEST_F(ExtractAdvice, EveryItemHasAModuleAndRoundaboutsCountTheirExits) {
    const std::u16string names[] = {u"Vaduz",       u"Schaan",       u"Balzers", u"Triesen",
                                    u"Triesenberg", u"Eschen",       u"Mauren",  u"Gamprin",
                                    u"Ruggell",     u"Schellenberg", u"Planken"};
    std::vector<RoutePositionPtr> places;
    for (const std::u16string& name : names) {
        places.push_back(PositionIn(name));
        ASSERT_TRUE(places.back()) << std::string(name.begin(), name.end());
    }
    std::size_t routes = 0;
    std::size_t passages = 0;
    for (std::size_t from = 0; from < places.size(); ++from) {
        for (std::size_t to = 0; to < places.size(); ++to) {
            if (from == to) {
                continue;
            }
            SCOPED_TRACE(std::string(names[from].begin(), names[from].end()) + " to " +
                         std::string(names[to].begin(), names[to].end()));
            const RouteRequestResult result =
                m_service->RequestRoute(places[from], places[to], nullptr);
            ASSERT_TRUE(result.route);
            ++routes;
            std::vector<RouteRecord> records;
            for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
                records.push_back(it->Current());
            }
            ASSERT_FALSE(records.empty());
            JunctionRules rules;
            rules.LoadSectorSettings(Settings());
            rules.SetElementSource(RetrievalEngine::RetrievalEnginePtr(m_engine));
            rules.AttachRoute(result.route, result.destination.get());
            RouteIteratorPtr at = GetRouteIterator(result);
            for (std::size_t i = 0; i < records.size(); ++i, at->Next()) {
                const RouteItem item = RouteItem::Of(records[i]);
                const std::u16string module = rules.AnalyseJunction(item);
                EXPECT_FALSE(module.empty()) << i;
                if (i + 1 == records.size()) {
                    EXPECT_EQ(module, u"Destination");
                    continue;
                }
                const bool isRing = (item.flags & junctionflags::kRoundabout) != 0;
                const bool leavesRing =
                    isRing && (records[i + 1].elementAttributes & junctionflags::kRoundabout) == 0;
                if (!leavesRing) {
                    continue;
                }
                // The last ring item: count the exits passed since the ring was entered.
                std::size_t entry = i;
                while (entry > 0 &&
                       (records[entry - 1].elementAttributes & junctionflags::kRoundabout)) {
                    --entry;
                }
                std::set<std::uint32_t> ring;
                for (std::size_t k = entry; k <= i; ++k) {
                    ring.insert(records[k].linkId);
                }
                std::int32_t exits = 0;
                for (std::size_t k = entry + 1; k <= i; ++k) {
                    exits += HasExit(records[k], ring) ? 1 : 0;
                }
                ++passages;
                EXPECT_EQ(module, u"Roundabouts") << i;
                EXPECT_EQ(rules.GetAdviceAttribute(at.get(), u"exit_number"),
                          std::u16string(1, static_cast<char16_t>(u'1' + exits)))
                    << i;
            }
        }
    }
    EXPECT_EQ(routes, 110u);
    EXPECT_GT(passages, 100u); // 276 on the shared extract
}

} // namespace
