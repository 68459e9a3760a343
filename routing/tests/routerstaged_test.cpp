#include "positioning/geodistance.h"
#include "routing/routercore.h"
#include "routing/routetree.h"
#include "routing/tests/serviceworld.h"
#include "testdata/bentlinks.h"
#include "testdata/randomworld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

// A world written with bent link polylines and a router on its network with the service's
// options.
struct StagedWorld {
    std::unique_ptr<servicetest::ServiceWorld> world;
    RouterCore router;

    StagedWorld(std::u16string folder, testdata::RoadWorld roads) {
        testdata::WorldMapSetOptions options;
        options.bends = testdata::BendWorldLinks(roads, 29, 60);
        world = servicetest::MakeWorld(std::move(folder), std::move(roads), {}, options);
        if (world) {
            router.SetNetwork(world->service->GetNetwork());
            RouteOptions routerOptions = router.GetOptions();
            routerOptions.Apply(*world->service->GetOptions());
            router.SetOptions(routerOptions);
        }
    }
    // On the world link at the fraction t from its `from` node (the offset counts from there).
    [[nodiscard]] RoutePositionEntry On(std::uint32_t link, double t) const {
        const testdata::WorldLink& l = world->world.links[link];
        const RoutePositionPtr position = world->Position(l.from, l.to, t);
        return position && position->Count() > 0 ? *position->Begin() : RoutePositionEntry{};
    }
    [[nodiscard]] std::uint32_t LastLink() const {
        return static_cast<std::uint32_t>(world->world.links.size()) - 1;
    }
};

StagedWorld& RandomWorld() {
    static StagedWorld w = [] {
        testdata::RandomWorldOptions options;
        options.seed = 29;
        options.columns = 7;
        options.rows = 7;
        options.missingPercent = 10;
        options.oneWayPercent = 10;
        return StagedWorld(u"\\random", testdata::MakeRandomWorld(options).world);
    }();
    return w;
}

// Four nodes in a row with a dead-end spur down from node 1 (link 3).
StagedWorld& SpurWorld() {
    static StagedWorld w = [] {
        testdata::RoadWorld roads = testdata::RoadWorld::Grid(4, 1, 1000, servicetest::kOrigin);
        roads.nodes.push_back({roads.nodes[1].x, roads.nodes[1].y - 1000});
        testdata::WorldLink spur;
        spur.from = 1;
        spur.to = 4;
        spur.lengthUnits = testdata::FlatWorldLengthUnits(roads.nodes[1], roads.nodes[4]);
        roads.links.push_back(spur);
        return StagedWorld(u"\\spur", std::move(roads));
    }();
    return w;
}

// Every element reachable from the root.
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

// The elements from `first` along slot 0 up to one whose slot 0 is marked or that has none.
std::vector<RouteElement*> Branch(RouteElement* first, std::size_t bound) {
    std::vector<RouteElement*> out{first};
    while (out.size() <= bound && !out.back()->GetSuccessors().empty() &&
           !out.back()->IsSuccessorMarked(0)) {
        out.push_back(out.back()->GetSuccessors().front());
    }
    return out;
}

bool Joins(const RouteElement& a, const RouteElement& b) {
    return !a.GetPolyline().empty() && !b.GetPolyline().empty() &&
           GeoDistance(a.GetPolyline().back(), b.GetPolyline().front()) < 1.0;
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

class RecordingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override { return false; }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }
    std::vector<std::int32_t> reports;
};

// The main route is the first branch, trimmed at both ends; each alternative leaves a junction
// over a link of its own, joins up, and ends on the destination link or in a marked slot; the
// encoded size is that of the elements and of 4 per marked slot.
TEST(CalculateStaged, BranchesOfGeneratedWorlds) {
    StagedWorld& w = RandomWorld();
    ASSERT_TRUE(w.world);
    const std::uint32_t last = w.LastLink();
    for (const auto& [from, to, stages] :
         {std::tuple{0u, last, 1}, {last, 2u, 1}, {last / 2, 1u, 2}}) {
        SCOPED_TRACE(testing::Message() << from << " -> " << to);
        const RoutePositionEntry start = w.On(from, 0.5);
        const RoutePositionEntry destination = w.On(to, 0.5);
        RouterCore reference;
        reference.SetNetwork(w.router.GetNetwork());
        reference.SetOptions(w.router.GetOptions());
        ASSERT_EQ(reference.Calculate(start, destination, {}), 6);
        const std::vector<RouteRecord> main = reference.BuildRecords(-1, true);
        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(w.router.CalculateStaged(tree, start, destination, {}, stages, 0.0f), 6);
        const auto lock = tree->Lock();
        const auto first = Branch(tree->GetRoot()->GetSuccessors().at(0), main.size());
        ASSERT_EQ(first.size(), main.size());
        for (std::size_t i = 0; i < main.size(); ++i) {
            EXPECT_EQ(static_cast<std::uint32_t>(first[i]->GetLinkValue()), main[i].linkId);
            EXPECT_TRUE(i == 0 || Joins(*first[i - 1], *first[i])) << i;
        }
        EXPECT_EQ(first.front()->GetPolyline().front(), (GeoPoint{main[0].x, main[0].y}));
        EXPECT_EQ(first.back()->GetPolyline().back(), reference.GetDestinationPosition());

        std::size_t alternatives = 0;
        std::size_t intoTree = 0;
        std::size_t size = RouteTree::kEmptyEncodedSize;
        std::uint32_t largestLevel = 0;
        for (RouteElement* e : Elements(*tree)) {
            largestLevel = std::max(largestLevel, e->GetLevel());
            size += (EncodePolylineDeltas(e->GetPolyline()).size() + 3) * 2;
            const auto& successors = e->GetSuccessors();
            for (std::uint32_t k = 0; k < successors.size(); ++k) {
                size += e->IsSuccessorMarked(k) ? 4 : 0;
                if (k == 0 || e == tree->GetRoot() || e->IsSuccessorMarked(k)) {
                    continue;
                }
                ++alternatives;
                EXPECT_GE(successors[k]->GetLevel(), 1u);
                EXPECT_NE(successors[k]->GetLinkValue(), successors[0]->GetLinkValue());
                const auto branch = Branch(successors[k], tree->GetElementCount());
                ASSERT_LE(branch.size(), tree->GetElementCount());
                EXPECT_TRUE(Joins(*e, *branch.front()));
                for (std::size_t i = 1; i < branch.size(); ++i) {
                    EXPECT_TRUE(Joins(*branch[i - 1], *branch[i]));
                }
                if (branch.back()->GetSuccessors().empty()) {
                    EXPECT_EQ(static_cast<std::uint32_t>(branch.back()->GetLinkValue()),
                              main.back().linkId);
                } else {
                    ++intoTree;
                    EXPECT_TRUE(Joins(*branch.back(), *branch.back()->GetSuccessors()[0]));
                }
            }
        }
        EXPECT_GT(alternatives, 0u);
        EXPECT_GT(intoTree, 0u);
        EXPECT_EQ(largestLevel, static_cast<std::uint32_t>(stages));
        EXPECT_EQ(tree->GetEncodedSize(), size);
        EXPECT_EQ(tree->GetLevel0Count(), main.size() + 2);
    }
}

// The maximum stage count, the short start link and the near distance bound the stages.
TEST(CalculateStaged, StageLimits) {
    StagedWorld& w = RandomWorld();
    ASSERT_TRUE(w.world);
    struct Case {
        const char* name;
        double t; // where the start lies on the inner link
        std::int32_t maxStages;
        float near;
        std::uint32_t lowestLargestLevel;
        std::uint32_t largestLevel;
        bool onlyAtFirstJunction;
    };
    const Case cases[] = {
        {"stage 0, far start", 0.5, 0, 0.0f, 0, 0, false},
        {"stage 0, start within 49 m of the junction", 0.05, 0, 0.0f, 1, 1, true},
        {"stage 0, always near", 0.5, 0, 1e9f, 2, 7, false},
        {"stage 1", 0.5, 1, 0.0f, 1, 1, false},
    };
    const std::uint32_t inner = InnerLink(w.world->world);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RoutePositionEntry start = w.On(inner, c.t);
        ASSERT_EQ(start.offset < 49.0f, c.t < 0.1);
        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(
            w.router.CalculateStaged(tree, start, w.On(w.LastLink(), 0.5), {}, c.maxStages, c.near),
            6);
        const auto lock = tree->Lock();
        std::uint32_t largestLevel = 0;
        std::set<const RouteElement*> parents;
        for (RouteElement* e : Elements(*tree)) {
            largestLevel = std::max(largestLevel, e->GetLevel());
            if (e != tree->GetRoot() && e->GetSuccessors().size() > 1) {
                parents.insert(e);
            }
        }
        EXPECT_GE(largestLevel, c.lowestLargestLevel);
        EXPECT_LE(largestLevel, c.largestLevel);
        if (c.onlyAtFirstJunction) {
            EXPECT_EQ(parents, std::set<const RouteElement*>{tree->GetRoot()->GetSuccessors()[0]});
        }
    }
}

// Into a dead end: the calculation over it gives 23 and the tree gets the way there and back
// onto the route; the walk follows that way back through the dead end.
TEST(CalculateStaged, TurnBackAtDeadEnd) {
    StagedWorld& w = SpurWorld();
    ASSERT_TRUE(w.world);
    const testdata::WorldLink& spur = w.world->world.links[3];
    for (const auto& [stages, near, beyondDeadEnd] :
         {std::tuple{1, 0.0f, false}, {0, 1e9f, true}}) {
        SCOPED_TRACE(stages);
        const auto tree = std::make_shared<RouteTree>();
        ASSERT_EQ(w.router.CalculateStaged(tree, w.On(0, 0.5), w.On(2, 0.5), {}, stages, near), 6);
        const auto lock = tree->Lock();
        const RouteElement* first = tree->GetRoot()->GetSuccessors().at(0);
        ASSERT_EQ(first->GetSuccessors().size(), 2u);
        const auto* onward = dynamic_cast<const RouteTreeElement*>(first->GetSuccessors()[0]);
        const auto* into = dynamic_cast<const RouteTreeElement*>(first->GetSuccessors()[1]);
        ASSERT_TRUE(onward && into && into->GetSuccessors().size() == 1);
        const RouteElement* back = into->GetSuccessors()[0];
        EXPECT_EQ(static_cast<std::uint32_t>(into->GetLinkValue()), spur.elementId);
        EXPECT_EQ(static_cast<std::uint32_t>(back->GetLinkValue()), spur.elementId);
        EXPECT_TRUE(back->IsSuccessorMarked(0));
        EXPECT_EQ(back->GetSuccessors()[0], onward);
        EXPECT_FLOAT_EQ(into->SecondExtra(),
                        onward->SecondExtra() + 2.0f * static_cast<float>(spur.lengthUnits * 5));
        EXPECT_GT(into->FirstExtra(), onward->FirstExtra());
        const auto& after = back->GetSuccessors();
        EXPECT_EQ(std::any_of(after.begin(), after.end(),
                              [](const RouteElement* s) { return s->GetLevel() == 2; }),
                  beyondDeadEnd);
    }
}

// Codes, the second main calculation, progress and the observer on every way out.
TEST(CalculateStaged, CodesProgressAndObserver) {
    StagedWorld& w = RandomWorld();
    ASSERT_TRUE(w.world);
    const RoutePositionEntry start = w.On(0, 0.5);
    const RoutePositionEntry destination = w.On(w.LastLink(), 0.5);
    struct Case {
        const char* name;
        bool withTree;
        RoutePositionEntry start;
        std::int32_t code;
        bool secondMain;
    };
    const Case cases[] = {
        {"no tree", false, start, 36, false},
        {"start is the destination", true, destination, 30, false},
        {"start on an element", true, start, 6, true},
        {"start without element", true, {start.point, start.point, 0xFFFFFFFF, 0.0f}, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingObserver observer;
        w.router.SetProgressObserver(&observer);
        const auto tree = c.withTree ? std::make_shared<RouteTree>() : nullptr;
        EXPECT_EQ(w.router.CalculateStaged(tree, c.start, destination, {}, 1, 0.0f), c.code);
        EXPECT_EQ(w.router.GetProgressObserver(), &observer);
        w.router.SetProgressObserver(nullptr);
        if (c.code != 6) {
            const std::vector<std::int32_t> before{0, 1};
            EXPECT_EQ(observer.reports, c.withTree ? before : std::vector<std::int32_t>());
            continue;
        }
        ASSERT_GE(observer.reports.size(), 3u);
        EXPECT_EQ(observer.reports[0], 0);
        EXPECT_EQ(observer.reports[1], 1);
        EXPECT_EQ(observer.reports.back(), 100);
        EXPECT_TRUE(std::is_sorted(observer.reports.begin(), observer.reports.end()));
        EXPECT_EQ(std::adjacent_find(observer.reports.begin(), observer.reports.end()),
                  observer.reports.end());
        // The second main calculation adds a branch at the root or runs into the first at once.
        const auto lock = tree->Lock();
        const RouteElement* root = tree->GetRoot();
        EXPECT_EQ(root->GetSuccessors().size() > 1 || root->IsSuccessorMarked(0), c.secondMain);
        EXPECT_EQ(observer.reports[2] == 2, c.secondMain);
    }
}

} // namespace
