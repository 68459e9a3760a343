#include "routing/attributelists.h"
#include "routing/crossingrecord.h"
#include "routing/routerecord.h"
#include "routing/tests/networkfixture.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Bytes(const std::vector<std::uint32_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t w : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<std::uint8_t>(w >> shift));
        }
    }
    return bytes;
}

TEST(CrossingRecordParse, NeedsEveryPartInsideThePage) {
    // Header: id 7, one link, then its link entry and element id (separated: no position).
    const std::vector<std::uint32_t> oneLink{7u | 1u << 24, 0x00030002, 0x00108001, 99};
    const struct {
        const char* name;
        std::vector<std::uint32_t> words;
        bool isSeparated;
        std::uint32_t available;
        std::optional<std::uint32_t> size;
    } cases[] = {
        {"one link, separated", oneLink, true, 16, 16},
        {"one link needs its position entry", oneLink, false, 16, std::nullopt},
        {"cut before the element id", oneLink, true, 15, std::nullopt},
        {"three bytes", oneLink, true, 3, std::nullopt},
        {"15 links on a short page", {7u | 15u << 24, 0, 0, 0}, true, 16, std::nullopt},
        {"turn table of 255 entries", {1u << 24 | 1u << 29, 0, 0, 255, 0}, true, 20, std::nullopt},
        {"turn table of 0 entries", {1u << 24 | 1u << 29, 0, 0, 0, 5}, true, 20, 20},
        {"attribute block past the page",
         {1u << 24 | 1u << 31, 0, 0, 200, 0},
         true,
         20,
         std::nullopt},
        {"upper reference", {1u << 24 | 1u << 30, 0, 0, 0x00050004, 5}, true, 20, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> bytes = Bytes(c.words);
        const auto record = CrossingRecord::Parse(bytes.data(), c.available, c.isSeparated);
        ASSERT_EQ(record.has_value(), c.size.has_value());
        if (record) {
            EXPECT_EQ(record->Size(), *c.size);
        }
    }
    const std::vector<std::uint8_t> bytes = Bytes(oneLink);
    const auto record = CrossingRecord::Parse(bytes.data(), 16, true);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->Id(), 7u);
    EXPECT_EQ(record->Link(0).targetPage, 2);
    EXPECT_EQ(record->Link(0).targetOffset, 3);
    EXPECT_EQ(record->Link(0).LengthMetres(), 5u); // 0x8001: bit 15 is not read
    EXPECT_EQ(record->Link(0).Direction(), 0u);
    EXPECT_EQ(record->Link(0).ReverseIndex(), 2u);
    EXPECT_EQ(record->ElementId(0), 99u);
}

TEST(CrossingRecordParse, ARecordClaimingLinksPastItsPageIsNoRecord) {
    testdata::RoadNetworkOptions options;
    options.pageSize = 128;
    options.faults.countPastPage = true;
    const auto net =
        routingtest::WriteAndLoad(testdata::RoadWorld::Grid(6, 6, 500, {0, 0}), options);
    ASSERT_TRUE(net->isLoaded);
    const auto& layout = net->Layout(0);
    std::uint32_t last = 0;
    while (layout.addresses[last + 1].page == 0) {
        ++last;
    }
    const NetworkCrossingPtr broken = net->network->CreateCrossing(
        {layout.addresses[last].page, layout.addresses[last].offset, 0xFFFFFFFF, 0});
    EXPECT_FALSE(broken->IsValid());
    EXPECT_EQ(broken->GetId(), 0xFFFFFFFFu);
    EXPECT_EQ(broken->GetLinkCount(), 0u);
    EXPECT_EQ(broken->Position().x, 3.4028235e38f);
    EXPECT_FALSE(net->network->CreateCursor(*broken, 0, 0)->IsValid());
    const NetworkCrossingPtr next = net->network->CreateCrossing({1, 0, 0xFFFFFFFF, 0});
    EXPECT_EQ(next->GetId(), last + 1);
}

TEST(TurnTable, ProhibitsUTurnsAndListedTurns) {
    testdata::CrossingExtras withTable;
    withTable.prohibitedTurns = {{0, 1}, {1, 2}, {2, 0}, {3, 1}};
    const auto world = testdata::RoadWorld::Grid(3, 3, 500, {0, 0});
    const struct {
        bool hasTable;
        std::uint32_t from;
        std::uint32_t to;
        bool isProhibited;
    } cases[] = {{false, 3, 3, true},  {false, 2, 15, false}, {false, 0, 1, false},
                 {true, 0, 1, true},   {true, 1, 0, false},   {true, 3, 1, true},
                 {true, 15, 1, false}, {true, 1, 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hasTable << " " << c.from << "->" << c.to);
        testdata::RoadNetworkOptions options;
        if (c.hasTable) {
            options.extras[0][4] = withTable; // the centre node, four links
        }
        const auto net = routingtest::WriteAndLoad(world, options);
        ASSERT_TRUE(net->isLoaded);
        const NetworkCrossingPtr centre = net->CrossingOf(0, 4);
        EXPECT_EQ(centre->HasTurnTable(), c.hasTable);
        EXPECT_EQ(centre->IsTurnProhibited(c.from, c.to), c.isProhibited);
    }
}

TEST(AttributeLists, ReadLongListsAndItemsWithFurtherWords) {
    using Item = testdata::ManoeuvreItemDescription;
    testdata::CrossingExtras extras;
    const std::vector<std::int8_t> thirteen{1, -2, 3, -4, 5, -6, 7, -8, 0, 1, 2, 3, 4};
    extras.list1 = {Item{3, 4, {1}}};
    for (int i = 0; i < 5; ++i) {
        extras.list2.push_back(Item{static_cast<std::uint8_t>(i), 9, thirteen});
    }
    extras.list3 = {{1, 2, 3, 4, true}};
    extras.list4 = {{5, 1, 6, 0, true}, {7, 3, 8, 0, true}};
    const std::vector<std::uint8_t> block = Bytes(testdata::EncodeAttributeBlock(extras));
    const AttributeAccessor attributes(block.data(),
                                       static_cast<std::uint32_t>(block.size() / 4 - 1));
    EXPECT_EQ(attributes.ListWords(1), 1u);
    EXPECT_EQ(attributes.ListWords(2), 20u); // five items of four words
    EXPECT_EQ(attributes.ListWords(3), 1u);
    EXPECT_EQ(attributes.ListWords(4), 1u);
    const auto list2 = attributes.CreateList2Reader();
    for (std::uint32_t item = 0; item < 5; ++item, list2->Next()) {
        ASSERT_TRUE(list2->HasMore());
        EXPECT_EQ(list2->ModeKind(), item);
        EXPECT_EQ(list2->ValueCount(), 14u);
        EXPECT_EQ(list2->Value(0), 9);
        for (std::uint32_t v = 1; v < 14; ++v) {
            EXPECT_EQ(list2->Value(v), thirteen[v - 1]) << v;
        }
        EXPECT_EQ(list2->Value(17), -8); // outside the item
    }
    EXPECT_FALSE(list2->HasMore());
    const auto list1 = attributes.CreateList1Reader();
    ASSERT_TRUE(list1->HasMore());
    EXPECT_EQ(list1->Value(0), 4);
    EXPECT_EQ(list1->Value(1), 1);
    const auto list4 = attributes.CreateList4Reader();
    std::vector<std::uint32_t> visits;
    for (; list4->HasMore(); list4->Next()) {
        visits.push_back(list4->LinkIndex() * 100 + list4->Code() * 10 + list4->ModeCode());
    }
    EXPECT_EQ(visits, (std::vector<std::uint32_t>{516, 738}));
    const auto list3 = attributes.CreateList3Reader();
    visits.clear();
    for (; list3->HasMore(); list3->Next()) {
        visits.push_back(list3->LinkIndex() * 100 + list3->Code() * 10 + list3->ModeCode());
    }
    EXPECT_EQ(visits, (std::vector<std::uint32_t>{123, 124}));
}

TEST(RecordAttributes, PackTheAttributeCodeAndDirection) {
    const struct {
        std::uint32_t code;
        std::uint32_t direction;
        std::uint16_t value;
    } cases[] = {{293, 2, 0x0A25}, {5, 3, 0x0305}, {17 + 1024, 1, 0x2111}, {0x7FF, 7, 0x3BFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const RecordAttributes attributes = RecordAttributes::Make(c.code, c.direction);
        EXPECT_EQ(attributes.value, c.value);
        EXPECT_EQ(attributes.AttributeCode(), c.code);
        EXPECT_EQ(attributes.DirectionCode(), c.direction & 3u);
    }
    EXPECT_EQ(RecordTime(1000.0f, 36.0f), 100);
    EXPECT_EQ(RecordTime(1000.0f, 0.0f), 0);
}

} // namespace
