#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/routeservice.h"
#include "routing/routetree.h"
#include "routing/tests/serviceworld.h"
#include "testdata/bentlinks.h"
#include "testdata/randomworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using servicetest::ServiceWorld;

// A world written with bent link polylines, a service with it open, and a router on its network
// with the service's options.
struct StagedWorld {
    std::unique_ptr<ServiceWorld> world;
    std::unique_ptr<RouterCore> router;

    [[nodiscard]] bool IsReady() const { return world && router; }
    // A position on the world link at the fraction t from its `from` node.
    [[nodiscard]] RoutePositionEntry On(std::uint32_t link, double t) const {
        const testdata::WorldLink& l = world->world.links[link];
        const RoutePositionPtr position = world->Position(l.from, l.to, t);
        return position && position->Count() > 0 ? *position->Begin() : RoutePositionEntry{};
    }
};

std::unique_ptr<StagedWorld> MakeStagedWorld(std::u16string folder, testdata::RoadWorld roads,
                                             std::uint32_t seed) {
    auto out = std::make_unique<StagedWorld>();
    auto world = std::make_unique<ServiceWorld>();
    world->folder = std::move(folder);
    world->world = std::move(roads);
    testdata::WorldMapSetOptions options;
    options.bends = testdata::BendWorldLinks(world->world, seed, 60);
    testdata::TempDeviceRoot& root = servicetest::Root();
    if (!testdata::WriteWorldMapSet(world->world, options, root, world->Path(u"\\maps"))) {
        return out;
    }
    testdata::RoadNetworkWriter writer(world->world, testdata::RoadNetworkOptions{});
    if (!writer.WriteTo(root, world->Path(u"\\Net")) || !root.InstallModule(u"ziVur.dll")) {
        return out;
    }
    world->engine = RetrievalEngineImpl::Create(BlockCache::Create(256));
    if (!world->engine->Open(world->Path(u"\\maps\\World.rid"))) {
        return out;
    }
    world->service = CreateRouteService(world->engine);
    if (!world->service || !world->service->OpenNetwork(world->Net())) {
        return out;
    }
    out->router = std::make_unique<RouterCore>();
    out->router->SetNetwork(world->service->GetNetwork());
    RouteOptions routerOptions = out->router->GetOptions();
    routerOptions.Apply(*world->service->GetOptions());
    out->router->SetOptions(routerOptions);
    out->world = std::move(world);
    return out;
}

// A perturbed grid with gaps and one-way links, many junctions.
StagedWorld& RandomStagedWorld() {
    static const std::unique_ptr<StagedWorld> world = [] {
        testdata::RandomWorldOptions options;
        options.seed = 29;
        options.columns = 7;
        options.rows = 7;
        options.missingPercent = 10;
        options.oneWayPercent = 10;
        return MakeStagedWorld(u"\\random", testdata::MakeRandomWorld(options).world, 29);
    }();
    return *world;
}

// Four nodes in a row with a dead-end spur down from node 1 (link 3).
StagedWorld& SpurWorld() {
    static const std::unique_ptr<StagedWorld> world = [] {
        testdata::RoadWorld roads = testdata::RoadWorld::Grid(4, 1, 1000, servicetest::kOrigin);
        const MapPoint below{roads.nodes[1].x, roads.nodes[1].y - 1000};
        roads.nodes.push_back(below);
        testdata::WorldLink spur;
        spur.from = 1;
        spur.to = 4;
        spur.lengthUnits = testdata::FlatWorldLengthUnits(roads.nodes[1], below);
        roads.links.push_back(spur);
        return MakeStagedWorld(u"\\spur", std::move(roads), 3);
    }();
    return *world;
}

double Metres(const GeoPoint& a, const GeoPoint& b) {
    return GeoDistance(a, b);
}

// Every element reachable from the root.
std::vector<RouteElement*> Elements(const RouteTree& tree) {
    std::vector<RouteElement*> out;
    std::set<RouteElement*> seen;
    std::vector<RouteElement*> open{tree.GetRoot()};
    while (!open.empty()) {
        RouteElement* e = open.back();
        open.pop_back();
        if (e == nullptr || !seen.insert(e).second) {
            continue;
        }
        out.push_back(e);
        for (RouteElement* s : e->GetSuccessors()) {
            open.push_back(s);
        }
    }
    return out;
}

// The elements from `first` along slot 0, up to the element whose slot 0 is marked or that has
// no successors.
std::vector<RouteElement*> Branch(RouteElement* first, std::size_t bound) {
    std::vector<RouteElement*> out{first};
    while (out.size() <= bound && !out.back()->GetSuccessors().empty() &&
           !out.back()->IsSuccessorMarked(0)) {
        out.push_back(out.back()->GetSuccessors().front());
    }
    return out;
}

std::uint32_t LargestLevel(const RouteTree& tree) {
    std::uint32_t level = 0;
    for (const RouteElement* e : Elements(tree)) {
        level = std::max(level, e->GetLevel());
    }
    return level;
}

// The encoded size from the elements: the empty tree's, each element's header and steps, and 4
// per marked successor slot (a missing element stands for each).
std::uint32_t EncodedSizeOf(const RouteTree& tree) {
    std::size_t size = RouteTree::kEmptyEncodedSize;
    for (const RouteElement* e : Elements(tree)) {
        size += (EncodePolylineDeltas(e->GetPolyline()).size() + 3) * 2;
        for (std::uint32_t k = 0; k < e->GetSuccessors().size(); ++k) {
            size += e->IsSuccessorMarked(k) ? 4 : 0;
        }
    }
    return static_cast<std::uint32_t>(size);
}

class RecordingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override { return false; }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }
    std::vector<std::int32_t> reports;
};

// The main route is the first branch; each alternative leaves a junction over a link of its
// own, is continuous, and ends on the destination link or in a marked slot of the tree.
TEST(CalculateStaged, BranchesOfGeneratedWorlds) {
    StagedWorld& w = RandomStagedWorld();
    ASSERT_TRUE(w.IsReady());
    const std::uint32_t links = static_cast<std::uint32_t>(w.world->world.links.size());
    struct Case {
        std::uint32_t startLink;
        std::uint32_t destinationLink;
        std::int32_t maxStages;
    };
    const std::vector<Case> cases = {{0, links - 1, 1}, {links - 1, 2, 1}, {links / 2, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.startLink << " -> " << c.destinationLink);
        const RoutePositionEntry start = w.On(c.startLink, 0.5);
        const RoutePositionEntry destination = w.On(c.destinationLink, 0.5);
        ASSERT_NE(start.elementId, 0xFFFFFFFFu);
        RouterCore reference;
        reference.SetNetwork(w.router->GetNetwork());
        reference.SetOptions(w.router->GetOptions());
        ASSERT_EQ(reference.Calculate(start, destination, {}), 6);
        const std::vector<RouteRecord> main = reference.BuildRecords(-1, true);

        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(w.router->CalculateStaged(tree, start, destination, {}, c.maxStages, 0.0f), 6);
        const auto lock = tree->Lock();
        const std::vector<RouteElement*> first =
            Branch(tree->GetRoot()->GetSuccessors().at(0), tree->GetElementCount());
        ASSERT_EQ(first.size(), main.size());
        for (std::size_t i = 0; i < main.size(); ++i) {
            EXPECT_EQ(static_cast<std::uint32_t>(first[i]->GetLinkValue()), main[i].linkId);
            EXPECT_EQ(first[i]->GetLevel(), 0u);
            ASSERT_GE(first[i]->GetPolyline().size(), 2u);
            if (i > 0) {
                EXPECT_LT(
                    Metres(first[i - 1]->GetPolyline().back(), first[i]->GetPolyline().front()),
                    1.0);
            }
        }
        // Trimmed at the start and at the destination.
        EXPECT_EQ(first.front()->GetPolyline().front(), (GeoPoint{main[0].x, main[0].y}));
        EXPECT_EQ(first.back()->GetPolyline().back(), reference.GetDestinationPosition());

        std::size_t alternatives = 0;
        std::size_t intoTree = 0;
        for (RouteElement* e : Elements(*tree)) {
            const auto& successors = e->GetSuccessors();
            for (std::uint32_t k = 1; k < successors.size(); ++k) {
                if (e == tree->GetRoot() || e->IsSuccessorMarked(k)) {
                    continue;
                }
                RouteElement* j = successors[k];
                ++alternatives;
                EXPECT_GE(j->GetLevel(), 1u);
                EXPECT_NE(j->GetLinkValue(), successors[0]->GetLinkValue());
                EXPECT_LT(Metres(e->GetPolyline().back(), j->GetPolyline().front()), 1.0);
                const std::vector<RouteElement*> branch = Branch(j, tree->GetElementCount());
                ASSERT_LE(branch.size(), tree->GetElementCount());
                for (std::size_t i = 1; i < branch.size(); ++i) {
                    EXPECT_LT(Metres(branch[i - 1]->GetPolyline().back(),
                                     branch[i]->GetPolyline().front()),
                              1.0);
                }
                const RouteElement* end = branch.back();
                if (!end->GetSuccessors().empty()) {
                    ++intoTree;
                    EXPECT_TRUE(end->IsSuccessorMarked(0));
                    EXPECT_LT(Metres(end->GetPolyline().back(),
                                     end->GetSuccessors()[0]->GetPolyline().front()),
                              1.0);
                } else {
                    EXPECT_EQ(static_cast<std::uint32_t>(end->GetLinkValue()), main.back().linkId);
                }
            }
        }
        EXPECT_GT(alternatives, 0u);
        EXPECT_GT(intoTree, 0u);
        EXPECT_LE(LargestLevel(*tree), static_cast<std::uint32_t>(c.maxStages));
        EXPECT_EQ(tree->GetEncodedSize(), EncodedSizeOf(*tree));
        EXPECT_EQ(tree->GetLevel0Count(), main.size() + 2);
    }
}

// A two-way link whose ends each join at least three links.
std::uint32_t InnerLink(const testdata::RoadWorld& roads) {
    std::vector<std::uint32_t> degree(roads.nodes.size());
    for (const testdata::WorldLink& l : roads.links) {
        ++degree[l.from];
        ++degree[l.to];
    }
    for (std::uint32_t i = 0; i < roads.links.size(); ++i) {
        const testdata::WorldLink& l = roads.links[i];
        if (!l.isOneWay && degree[l.from] >= 3 && degree[l.to] >= 3) {
            return i;
        }
    }
    return 0;
}

// The maximum stage count, the short start link and the near distance bound the stages.
TEST(CalculateStaged, StageLimits) {
    StagedWorld& w = RandomStagedWorld();
    ASSERT_TRUE(w.IsReady());
    const std::uint32_t last = static_cast<std::uint32_t>(w.world->world.links.size()) - 1;
    struct Case {
        const char* name;
        double t; // where the start lies on link 0
        std::int32_t maxStages;
        float near;
        std::uint32_t largestLevel; // at most
        bool branches;
        bool onlyAtFirstJunction;
    };
    const std::vector<Case> cases = {
        {"stage 0, far start", 0.5, 0, 0.0f, 0, false, false},
        {"stage 0, start within 49 m of the junction", 0.05, 0, 0.0f, 1, true, true},
        {"stage 0, always near", 0.5, 0, 1e9f, 7, true, false},
        {"stage 1", 0.5, 1, 0.0f, 1, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RoutePositionEntry start = w.On(InnerLink(w.world->world), c.t);
        const RoutePositionEntry destination = w.On(last, 0.5);
        ASSERT_EQ(start.offset < 49.0f, c.t < 0.1);
        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(w.router->CalculateStaged(tree, start, destination, {}, c.maxStages, c.near), 6);
        const auto lock = tree->Lock();
        EXPECT_LE(LargestLevel(*tree), c.largestLevel);
        std::vector<const RouteElement*> parents;
        for (RouteElement* e : Elements(*tree)) {
            if (e != tree->GetRoot() && e->GetSuccessors().size() > 1) {
                parents.push_back(e);
            }
        }
        EXPECT_EQ(!parents.empty(), c.branches);
        if (c.onlyAtFirstJunction) {
            const RouteElement* first = tree->GetRoot()->GetSuccessors().at(0);
            for (const RouteElement* parent : parents) {
                EXPECT_EQ(parent, first);
            }
        }
    }
}

// Into a dead end: the calculation over it fails with 23 and the tree gets the way there and
// back onto the route; the walk then follows the way back through the dead end.
TEST(CalculateStaged, TurnBackAtDeadEnd) {
    StagedWorld& w = SpurWorld();
    ASSERT_TRUE(w.IsReady());
    const testdata::RoadWorld& roads = w.world->world;
    const std::uint32_t spur = roads.links[3].elementId;
    const std::int32_t spurMetres = static_cast<std::int32_t>(roads.links[3].lengthUnits * 5);
    struct Case {
        std::int32_t maxStages;
        float near;
        bool beyondDeadEnd; // an alternative found after coming back from the dead end
    };
    for (const Case& c : {Case{1, 0.0f, false}, Case{0, 1e9f, true}}) {
        SCOPED_TRACE(c.maxStages);
        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(
            w.router->CalculateStaged(tree, w.On(0, 0.5), w.On(2, 0.5), {}, c.maxStages, c.near),
            6);
        const auto lock = tree->Lock();
        const RouteElement* first = tree->GetRoot()->GetSuccessors().at(0);
        ASSERT_EQ(first->GetSuccessors().size(), 2u);
        const RouteElement* onward = first->GetSuccessors()[0];
        auto* into = dynamic_cast<RouteTreeElement*>(first->GetSuccessors()[1]);
        ASSERT_NE(into, nullptr);
        EXPECT_EQ(static_cast<std::uint32_t>(into->GetLinkValue()), spur);
        ASSERT_EQ(into->GetSuccessors().size(), 1u);
        const RouteElement* back = into->GetSuccessors()[0];
        EXPECT_EQ(static_cast<std::uint32_t>(back->GetLinkValue()), spur);
        EXPECT_TRUE(back->IsSuccessorMarked(0));
        EXPECT_EQ(back->GetSuccessors()[0], onward);
        const auto* onwardExtras = dynamic_cast<const RouteTreeElement*>(onward);
        ASSERT_NE(onwardExtras, nullptr);
        EXPECT_FLOAT_EQ(into->SecondExtra(), onwardExtras->SecondExtra() + 2.0f * spurMetres);
        EXPECT_GT(into->FirstExtra(), onwardExtras->FirstExtra());
        bool beyond = false;
        for (const RouteElement* s : back->GetSuccessors()) {
            beyond = beyond || s->GetLevel() == 2;
        }
        EXPECT_EQ(beyond, c.beyondDeadEnd);
    }
}

// Codes, the second main calculation, progress and the observer on every way out.
TEST(CalculateStaged, CodesProgressAndObserver) {
    StagedWorld& w = RandomStagedWorld();
    ASSERT_TRUE(w.IsReady());
    const std::uint32_t last = static_cast<std::uint32_t>(w.world->world.links.size()) - 1;
    const RoutePositionEntry start = w.On(0, 0.5);
    const RoutePositionEntry destination = w.On(last, 0.5);
    const RoutePositionEntry pointOnly{start.point, start.point, 0xFFFFFFFF, 0.0f};
    struct Case {
        const char* name;
        bool withTree;
        RoutePositionEntry start;
        std::int32_t code;
        bool secondMain;
    };
    const std::vector<Case> cases = {
        {"no tree", false, start, 36, false},
        {"start is the destination", true, destination, 30, false},
        {"start on an element", true, start, 6, true},
        {"start without element", true, pointOnly, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingObserver observer;
        w.router->SetProgressObserver(&observer);
        const auto tree = c.withTree ? std::make_shared<RouteTree>() : nullptr;
        EXPECT_EQ(w.router->CalculateStaged(tree, c.start, destination, {}, 1, 0.0f), c.code);
        EXPECT_EQ(w.router->GetProgressObserver(), &observer);
        w.router->SetProgressObserver(nullptr);
        if (c.code != 6) {
            EXPECT_TRUE(c.withTree ? observer.reports == std::vector<std::int32_t>({0, 1})
                                   : observer.reports.empty());
            continue;
        }
        ASSERT_GE(observer.reports.size(), 3u);
        EXPECT_EQ(observer.reports[0], 0);
        EXPECT_EQ(observer.reports[1], 1);
        EXPECT_EQ(observer.reports.back(), 100);
        for (std::size_t i = 2; i < observer.reports.size(); ++i) {
            EXPECT_LT(observer.reports[i - 1], observer.reports[i]);
        }
        // The second main calculation from the start's point alone adds a branch at the root or
        // runs into the first one at once.
        const auto lock = tree->Lock();
        const RouteElement* root = tree->GetRoot();
        const bool second = root->GetSuccessors().size() > 1 || root->IsSuccessorMarked(0);
        EXPECT_EQ(second, c.secondMain);
        EXPECT_EQ(observer.reports[2] == 2, c.secondMain);
    }
}

} // namespace
