#include "basiccomp/retrievalengine/code/reservedregion.h"

#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(ReservedRegion, CommitOnlyGrowsAndRefusesMoreThanFourMegabytes) {
    constexpr std::uint32_t kFourMegabytes = ReservedRegion::kReservedSize;
    const struct {
        std::uint32_t size;
        std::uint32_t committed;
        bool keepsMarker; // the byte written after the previous step is still there
        bool showsBox;
    } steps[] = {
        {100, 100, false, false},
        {50, 100, true, false}, // smaller: the larger stays, with its content
        {100, 100, true, false},
        {8192, 8192, false, false}, // larger: committed anew
        {kFourMegabytes, kFourMegabytes, false, false},
        {kFourMegabytes + 1, 0, false, true}, // nothing committed then
        {10, 10, false, false},
    };
    platform::ClearRecordedMessageBoxes();
    ReservedRegionPtr region = ReservedRegion::Create();
    ASSERT_TRUE(region);
    int row = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(row++);
        region->Commit(step.size);
        EXPECT_EQ(region->GetCommittedSize(), step.committed);
        const auto boxes = platform::RecordedMessageBoxes();
        if (step.showsBox) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, u"ERROR: No memory");
            EXPECT_EQ(boxes[0].caption, u"RE");
            EXPECT_EQ(boxes[0].type, 0x40010u);
            EXPECT_EQ(boxes[0].owner, nullptr);
            EXPECT_EQ(region->GetBuffer(), nullptr);
            platform::ClearRecordedMessageBoxes();
            continue;
        }
        EXPECT_TRUE(boxes.empty());
        std::uint8_t* buffer = region->GetBuffer();
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(buffer[step.committed - 1] == 0x5A, step.keepsMarker);
        buffer[step.committed - 1] = 0x5A;
    }
    region->Clear();
    EXPECT_EQ(region->GetBuffer()[9], 0);
}

TEST(ReservedRegion, ReportsEachChangeOfOwner) {
    const int first = 0;
    const int second = 0;
    const struct {
        const void* owner;
        bool changed;
    } steps[] = {{&first, true}, {&first, false}, {&second, true}, {&first, true}, {nullptr, true}};
    CountedPtr<ReservedRegion> region = ReservedRegion::Instance();
    ASSERT_TRUE(region);
    EXPECT_EQ(ReservedRegion::Instance().Get(), region.Get());
    int row = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(row++);
        EXPECT_EQ(region->SetOwner(step.owner), step.changed);
    }
}

} // namespace
