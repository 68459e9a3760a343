#include "routing/linktargettable.h"
#include "routing/tests/networkfixture.h"
#include "testdata/randomworld.h"

#include <gtest/gtest.h>

namespace {

// What reading the target record of link `index` of the crossing gives.
LinkTargetFacts FactsReadFromRecord(RoadNetwork& network, const NetworkCrossing& crossing,
                                    std::uint32_t index) {
    const LinkEntry link = crossing.GetRecord()->Link(index);
    const NetworkCrossing target(
        network, {link.targetPage, link.targetOffset, 0xFFFFFFFF, crossing.GetLevel()});
    LinkTargetFacts facts;
    facts.id = target.GetId();
    const AttributeAccessorPtr attributes = target.GetAttributes();
    facts.hasList4 = attributes && attributes->ListWords(4) != 0;
    return facts;
}

// On every level, the table gives each link of each crossing it holds what reading the link's
// target record gives (list-4 data, turn tables and list-2 items on level 0), and knows nothing
// of a link past the crossing's last or of a crossing at another address. It holds every
// crossing but those whose id another record has too.
TEST(LinkTargetTable, GivesWhatTheTargetRecordsGive) {
    const struct {
        const char* name;
        std::uint32_t levels;
        std::uint32_t side; // grid nodes per row and column
        bool isArchived;
        bool repeatedId;
    } cases[] = {
        {"one level mapped", 1, 30, false, false},
        {"three levels mapped", 3, 30, false, false},
        {"three levels archived, separated positions", 3, 30, true, false},
        {"one level, the last record repeats the first one's id", 1, 30, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        routingtest::SetFreeMemory(2u << 20);
        testdata::RandomWorldOptions worldOptions;
        worldOptions.seed = 7;
        worldOptions.columns = c.side;
        worldOptions.rows = c.side;
        worldOptions.levels = c.levels;
        worldOptions.list4Percent = 20;
        worldOptions.turnTablePercent = 20;
        worldOptions.listItemPercent = 20;
        const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
        testdata::RoadNetworkOptions options = testdata::RandomWorldNetworkOptions(random, false);
        options.pageSize = 4096;
        options.isArchived = c.isArchived;
        options.separated = {c.isArchived, c.isArchived, c.isArchived};
        options.faults.repeatedId = c.repeatedId;
        const auto net = routingtest::WriteAndLoad(random.world, options);
        ASSERT_TRUE(net->isLoaded);
        RoadNetwork& network = *net->network;
        int withList4 = 0;
        for (std::uint16_t level = 0; level < c.levels; ++level) {
            SCOPED_TRACE(level);
            const LinkTargetTable* table = network.GetLinkTargetTable(level);
            ASSERT_NE(table, nullptr);
            const std::uint32_t crossings = network.GetCrossingCount(level);
            EXPECT_EQ(table->GetCrossingCount(), c.repeatedId ? crossings - 2 : crossings);
            for (std::uint32_t node = 0; node < crossings; ++node) {
                const testdata::WrittenAddress at = net->Layout(level).addresses[node];
                const NetworkCrossing crossing(network, {at.page, at.offset, 0xFFFFFFFF, level});
                ASSERT_TRUE(crossing.IsValid());
                const std::uint32_t id = crossing.GetId();
                const std::uint32_t links = crossing.GetLinkCount();
                const bool isHeld = !(c.repeatedId && id == 0);
                for (std::uint32_t i = 0; i < links; ++i) {
                    const auto found = table->Find(id, at.page, at.offset, i);
                    ASSERT_EQ(found.has_value(), isHeld) << "crossing " << id << " link " << i;
                    if (found) {
                        const LinkTargetFacts read = FactsReadFromRecord(network, crossing, i);
                        EXPECT_EQ(found->id, read.id);
                        EXPECT_EQ(found->hasList4, read.hasList4);
                        withList4 += found->hasList4 ? 1 : 0;
                    }
                }
                EXPECT_FALSE(table->Find(id, at.page, at.offset, links).has_value());
                EXPECT_FALSE(table->Find(id, at.page, at.offset + 4, 0).has_value());
            }
        }
        EXPECT_GT(withList4, 0);
    }
    platform::OverrideMemoryStatus(std::nullopt);
}

// A table is built only within its bytes: one byte fewer than it needs gives none.
TEST(LinkTargetTable, IsBuiltOnlyWithinItsBytes) {
    testdata::RandomWorldOptions worldOptions;
    worldOptions.seed = 8;
    const testdata::RandomWorld random = testdata::MakeRandomWorld(worldOptions);
    const auto net =
        routingtest::WriteAndLoad(random.world, testdata::RandomWorldNetworkOptions(random, false));
    ASSERT_TRUE(net->isLoaded);
    SeparatedPageStore& store = *net->network->GetStore(0);
    const std::uint32_t crossings = net->network->GetCrossingCount(0);
    const LinkTargetTable* loaded = net->network->GetLinkTargetTable(0);
    ASSERT_NE(loaded, nullptr);
    const std::uint64_t bytes = loaded->GetBytes();
    const struct {
        std::uint64_t maxBytes;
        std::uint32_t crossingCount;
        bool isBuilt;
    } cases[] = {
        {bytes, crossings, true},
        {bytes - 1, crossings, false},
        {LinkTargetTable::BytesFor(crossings, 0) - 1, crossings, false},
        {bytes, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxBytes);
        const auto table = LinkTargetTable::Build(store, c.crossingCount, c.maxBytes);
        ASSERT_EQ(table.has_value(), c.isBuilt);
        if (table) {
            EXPECT_EQ(table->GetBytes(), bytes);
        }
    }
}

} // namespace
