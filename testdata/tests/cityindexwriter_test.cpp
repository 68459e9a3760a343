#include "testdata/cityindexwriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using testdata::CityIndexFault;
using Bytes = std::vector<std::uint8_t>;

TEST(CityIndexWriter, WritesFoldedSortedRecordsInCountrySections) {
    testdata::CityIndexWriter writer;
    writer.Add({"Bad", 1, false, 5, 49}).Add({"Aue", 2, true, std::nullopt, 43});
    // "AU" (element 2: number 5, no value), then "BAD" (node 1: number 2, value 5).
    const Bytes aue = {'A', 'U', 0x85};
    const Bytes aueSixGroups = {'A', 'U', 0x85, 0x80, 0x80, 0x80, 0x80, 0x80};
    const Bytes bad = {'B', 'A', 'D', 0x82, 0x40, 0x85};
    const Bytes badSixGroups = {'B', 'A', 'D', 0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x40, 0x85};
    const auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    const Bytes section43 = {'|', 0xAB};
    const Bytes section49 = {'|', 0xB1};
    const struct {
        CityIndexFault fault;
        Bytes byName;
        Bytes byCountry;
        std::size_t size; // 0: as long as the bytes above
    } cases[] = {
        {CityIndexFault::None, join({aue, bad, {0}}), join({section43, aue, section49, bad, {0}}),
         0},
        {CityIndexFault::SixGroupNumber, join({aueSixGroups, bad, {0}}),
         join({section43, aueSixGroups, section49, badSixGroups, {0}}), 0},
        {CityIndexFault::NoFinalZero, join({aue, bad}), join({section43, aue, section49, bad}), 0},
        {CityIndexFault::FourMegabytes, join({aue, bad, {'Z'}}),
         join({section43, aue, section49, bad, {'Z'}}), 0x400000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const Bytes byName = writer.BuildByName(c.fault);
        const Bytes byCountry = writer.BuildByCountry(c.fault);
        if (c.size == 0) {
            EXPECT_EQ(byName, c.byName);
            EXPECT_EQ(byCountry, c.byCountry);
            continue;
        }
        for (const auto* file : {&byName, &byCountry}) {
            ASSERT_EQ(file->size(), c.size);
            EXPECT_EQ(Bytes(file->end() - 3, file->end()), (Bytes{'Z', 0x81, 0}));
        }
        EXPECT_EQ(Bytes(byName.begin(), byName.begin() + c.byName.size()), c.byName);
        EXPECT_EQ(Bytes(byCountry.begin(), byCountry.begin() + c.byCountry.size()), c.byCountry);
    }
}

} // namespace
