#include "tablefiles/tests/datasetfixture.h"

#include <atomic>
#include <thread>

namespace datasettest {
namespace {

// Counts what a cursor yields, reading every street it hands out.
std::size_t WalkStreets(GeoMoleculeCursorPtr cursor) {
    std::size_t count = 0;
    for (; cursor && cursor->IsValid(); cursor->Next()) {
        if (GeoMoleculePtr street = cursor->GetCurrent()) {
            (void)street->GetName();
            (void)street->GetHouseNumberPosition(HouseNumber(8, 0));
        }
        ++count;
    }
    return count;
}

TEST_F(DatasetFolder, QueriesThatMeetCloseFinishOnTheTablesTheyBeganWith) {
    DatasetsImpl& datasets = OpenFolder(StandardFolder());
    std::atomic<bool> isDone{false};
    const auto query = [&]() {
        std::size_t walks = 0;
        while (!isDone.load() || walks < 50) {
            const std::size_t streets = WalkStreets(datasets.FindInArea(7, u""));
            EXPECT_TRUE(streets == 0 || streets == 3) << streets;
            const std::vector<std::string> cities = Cities(datasets.FindCities(u"MUEN", 0));
            EXPECT_TRUE(cities.empty() || cities.size() == 2) << cities.size();
            if (GeoMoleculePtr street = datasets.CreateGeoMolecule(500, 0)) {
                (void)street->GetPostalCode();
                (void)street->HasHouseNumber(HouseNumber(34, 0));
            }
            ++walks;
        }
    };
    std::thread first(query);
    std::thread second(query);
    for (int i = 0; i < 200; ++i) {
        datasets.Close();
        EXPECT_TRUE(datasets.Open(u"\\db", u""));
    }
    isDone = true;
    first.join();
    second.join();
}

} // namespace
} // namespace datasettest
