#include "routing/searchmemory.h"
#include "routing/searchspace.h"
#include "routing/tests/networkfixture.h"

#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(NodeTable, BudgetsAndExhaustion) {
    struct Request {
        std::uint32_t node;
        bool isExhausted;
    };
    struct Case {
        const char* name;
        std::uint32_t budget;
        std::uint32_t nodes;
        std::uint16_t pageBudget;
        std::vector<Request> requests;
    };
    const Case cases[] = {
        {"last page and beyond", 4000, 1000, 1000, {{1023, false}, {1024, true}, {0, false}}},
        {"budget below 4 gives one page",
         3,
         5000,
         1,
         {{600, false}, {700, false}, {0, true}, {2000, true}, {1023, false}}},
        {"budget of 8 gives two pages", 8, 5000, 2, {{0, false}, {600, false}, {1100, true}}},
        {"budget above 0xFFFF saturates", 0x40000, 512, 0x3FFF, {{511, false}, {512, false}}},
        {"no nodes", 100, 0, 25, {{0, true}}},
        {"ids far past the table", 100, 10, 25, {{0xFFFFFFFF, true}, {0x2000000, true}}},
    };
    SearchMemoryReserve reserve(64 * 4096);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NodeTable table(reserve);
        table.Init(c.budget, c.nodes);
        EXPECT_EQ(table.GetPageBudget(), c.pageBudget);
        EXPECT_EQ(table.GetPageCount(), c.nodes == 0 ? 0u : (c.nodes >> 9) + 1);
        for (const Request& r : c.requests) {
            NodeRecord* record = table.GetRecord(r.node);
            ASSERT_EQ(IsExhausted(record), r.isExhausted) << r.node;
            if (!r.isExhausted) {
                EXPECT_EQ(record->flags, 0xF8); // fresh, or as the earlier request left it
                EXPECT_EQ(record->value, 0u);
            }
        }
    }
    EXPECT_EQ(ExhaustedRecord()->flags, 0xF8);
    EXPECT_EQ(ExhaustedRecord()->value, 0u);
}

TEST(NodeTable, PagesComeBackLowestFirst) {
    SearchMemoryReserve reserve(16 * 4096);
    NodeTable table(reserve);
    table.Init(400, 5000);
    NodeRecord* first = table.GetRecord(0);
    NodeRecord* second = table.GetRecord(600);
    NodeRecord* third = table.GetRecord(1200);
    first->SetArrivalIndex(3);
    second->SetCost(2.5f);
    EXPECT_EQ(reserve.GetCommittedPages(), 3u);
    table.Init(400, 5000); // gives all three back
    EXPECT_EQ(table.GetPagesInUse(), 0);
    EXPECT_EQ(reserve.GetCommittedPages(), 0u);
    EXPECT_EQ(reserve.GetPeakCommittedPages(), 3u);
    reserve.ResetPeak();
    EXPECT_EQ(reserve.GetPeakCommittedPages(), 0u);
    EXPECT_EQ(table.GetRecord(4000), first - 0 + (4000 & 511));
    EXPECT_EQ(table.GetRecord(1200), second - (600 & 511) + (1200 & 511));
    EXPECT_EQ(table.GetRecord(0), third - (1200 & 511));
    EXPECT_EQ(table.GetRecord(0)->flags, 0xF8); // committed afresh
    NodeRecord* fresh = table.GetRecord(600) - (600 & 511);
    EXPECT_TRUE(fresh != first && fresh != second - (600 & 511) && fresh != third - (1200 & 511));

    // MoveTo hands the pages over and leaves the source empty.
    table.GetRecord(600)->SetCost(7.0f);
    NodeTable saved(reserve);
    saved.Init(400, 100);
    table.MoveTo(saved);
    EXPECT_EQ(saved.GetRecord(600)->Cost(), 7.0f);
    EXPECT_EQ(saved.GetPagesInUse(), 4);
    EXPECT_EQ(table.GetPageCount(), 0u);
    EXPECT_TRUE(IsExhausted(table.GetRecord(0)));
    saved.Release();
    EXPECT_EQ(saved.GetPagesInUse(), 0);
    EXPECT_TRUE(IsExhausted(saved.GetRecord(0)));
}

TEST(NodeTable, RefusedCommits) {
    platform::ClearRecordedMessageBoxes();
    SearchMemoryReserve reserve(2 * 4096);
    NodeTable table(reserve);
    table.Init(0x10000, 512u * 70000u);
    EXPECT_FALSE(IsExhausted(table.GetRecord(0)));
    EXPECT_FALSE(IsExhausted(table.GetRecord(512)));
    EXPECT_TRUE(IsExhausted(table.GetRecord(1024))); // the reserve is used up
    EXPECT_EQ(reserve.GetPeakCommittedPages(), 2u);  // a refused commit does not count
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"ERROR: No memory");
    EXPECT_EQ(boxes[0].caption, u"Routing");

    // Refused pages keep counting but never wrap round to let new pages in.
    NodeTable small(reserve);
    table.Release();
    small.Init(4, 512u * 70000u);
    EXPECT_FALSE(IsExhausted(small.GetRecord(0)));
    for (std::uint32_t page = 1; page < 70000; ++page) {
        ASSERT_TRUE(IsExhausted(small.GetRecord(page * 512)));
    }
    EXPECT_EQ(small.GetPagesInUse(), 0xFFFF);
    EXPECT_FALSE(IsExhausted(small.GetRecord(5)));

    platform::ClearRecordedMessageBoxes();
    SearchMemoryReserve none(0);
    EXPECT_FALSE(none.IsReserved());
    EXPECT_EQ(none.CommitPage(4096), nullptr);
    const auto failed = platform::RecordedMessageBoxes();
    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0].text, u"ERROR: No memory reserved");
    platform::ClearRecordedMessageBoxes();
}

TEST(SearchMemoryReserve, TablesOnSeveralThreadsGetPagesOfTheirOwn) {
    SearchMemoryReserve reserve(64 * 4096);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (std::uint32_t t = 0; t < 4; ++t) {
        threads.emplace_back([&reserve, &failures, t] {
            NodeTable table(reserve);
            for (int round = 0; round < 200; ++round) {
                table.Init(400, 5000);
                for (std::uint32_t node = 0; node < 5000; node += 700) {
                    NodeRecord* record = table.GetRecord(node);
                    failures[t] += record == ExhaustedRecord() || record->value != 0 ? 1 : 0;
                    record->value = t + 1;
                }
                for (std::uint32_t node = 0; node < 5000; node += 700) {
                    failures[t] += table.GetRecord(node)->value != t + 1 ? 1 : 0;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(SearchMemoryReserve, BlocksGivenBackStayCommittedUpToTheRetainedCount) {
    struct Case {
        const char* name;
        std::uint32_t retained; // the reserve's retained count
        std::uint32_t blocks;   // committed, dirtied and given back
        std::uint32_t size;     // of the commits that follow
    };
    const Case cases[] = {
        {"all retained", 8, 3, 4096},
        {"more than the retained count", 2, 5, 4096},
        {"none retained", 0, 3, 4096},
        {"a larger block over a retained one", 8, 1, 3 * 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SearchMemoryReserve reserve(16 * 4096, c.retained);
        std::vector<std::uint8_t*> blocks;
        for (std::uint32_t i = 0; i < c.blocks; ++i) {
            blocks.push_back(static_cast<std::uint8_t*>(reserve.CommitPage(4096)));
            ASSERT_NE(blocks.back(), nullptr);
            std::fill(blocks.back(), blocks.back() + 4096, std::uint8_t{0x5A});
        }
        for (std::uint8_t* block : blocks) {
            reserve.DecommitPage(block);
        }
        EXPECT_EQ(reserve.GetCommittedPages(), 0u);
        EXPECT_EQ(reserve.GetRetainedBlocks(), std::min(c.retained, c.blocks));
        // The same addresses come back lowest first, zero-filled whether retained or not.
        for (std::uint8_t* block : blocks) {
            auto* again = static_cast<std::uint8_t*>(reserve.CommitPage(c.size));
            ASSERT_EQ(again, block);
            EXPECT_EQ(std::count(again, again + c.size, std::uint8_t{0}), c.size);
            std::fill(again, again + c.size, std::uint8_t{0x5A}); // writable throughout
        }
        EXPECT_EQ(reserve.GetRetainedBlocks(), 0u);
        EXPECT_EQ(reserve.GetCommittedPages(), c.blocks);
    }
}

TEST(SearchSpace, WalksBackAlongArrivalIndexes) {
    // A line of crossings 0-1-2-3; the search reached 3 from 2, 2 from 1, and 1 is a seed.
    auto net =
        routingtest::WriteAndLoad(testdata::RoadWorld::Grid(4, 1, 700, {1000000, 6000000}), {});
    ASSERT_TRUE(net->isLoaded);
    const auto& layout = net->Layout(0);
    SearchMemoryReserve reserve(16 * 4096);
    NodeTable table(reserve);
    table.Init(400, static_cast<std::uint32_t>(layout.nodeOfCrossing.size()));
    const auto id = [&](std::uint32_t node) { return layout.crossingOfNode.at(node); };
    // The index at `node` of its link towards `from`.
    const auto indexTowards = [&](std::uint32_t node, std::uint32_t from) {
        const auto& links = layout.linksOf[id(node)];
        for (std::uint32_t i = 0; i < links.size(); ++i) {
            const auto& link = net->writer->GetWorld().links[links[i].first];
            if (link.from == from || link.to == from) {
                return i;
            }
        }
        return 31u;
    };
    table.GetRecord(id(3))->SetArrivalIndex(indexTowards(3, 2));
    table.GetRecord(id(2))->SetArrivalIndex(indexTowards(2, 1));
    table.GetRecord(id(1))->flags |= NodeRecord::kSeeded;

    SearchSpace space(std::shared_ptr<RoadNetwork>(net->network.get(), [](RoadNetwork*) {}), table);
    EXPECT_FALSE(space.GetCrossing());
    space.SetPosition(net->AddressOfNode(0, 3));
    struct Step {
        std::uint32_t node;
        bool isUsable;
    };
    const Step steps[] = {{3, true}, {2, true}, {1, false}};
    for (const Step& step : steps) {
        EXPECT_EQ(space.GetCrossing()->GetAddress(), net->AddressOfNode(0, step.node));
        EXPECT_EQ(space.IsUsable(), step.isUsable) << step.node;
        if (step.isUsable) {
            space.Refresh();
        }
    }
    EXPECT_EQ(space.ArrivalIndex(), 31u);
    space.Refresh(); // no link 31: stays
    EXPECT_EQ(space.GetCrossing()->GetAddress(), net->AddressOfNode(0, 1));
    space.Rewind();
    EXPECT_EQ(space.GetCrossing()->GetAddress(), net->AddressOfNode(0, 3));
    EXPECT_EQ(space.ArrivalIndex(), indexTowards(3, 2));
    // A crossing handed over is read when the walk starts, and walks the same way.
    space.SetPosition(*net->network->CreateCrossing(net->AddressOfNode(0, 3)));
    EXPECT_TRUE(space.IsUsable());
    space.Refresh();
    EXPECT_EQ(space.GetCrossing()->GetAddress(), net->AddressOfNode(0, 2));
    space.SetPosition(*net->network->CreateCrossing(net->AddressOfNode(0, 1)));
    space.Rewind();
    EXPECT_EQ(space.GetCrossing()->GetAddress(), net->AddressOfNode(0, 1));
    EXPECT_FALSE(space.IsUsable());
    space.GetList().push_back(1);
    EXPECT_EQ(space.GetList().size(), 1u);
    space.SetPosition({0xFFFF, 0, 0xFFFFFFFF, 0});
    EXPECT_FALSE(space.IsUsable());
}

} // namespace
