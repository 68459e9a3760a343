#include "testdata/memoryblockfile.h"
#include "townfixture.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <thread>

namespace {

using namespace testdata::town;

const std::string kLange = std::string(59, 'L') + " Strasse 70";

std::vector<std::string> Names(const GeoMoleculeCursorPtr& cursor) {
    std::vector<std::string> names;
    for (bool valid = cursor && cursor->IsValid(); valid && names.size() < 1000;
         valid = cursor->Next()) {
        names.push_back(Narrow(cursor->GetCurrent()->GetName()));
    }
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

GeoRect Block() {
    return TownRect(-100, -1100, 5100, 1100);
}

using Search = std::function<GeoMoleculeCursorPtr(RetrievalEngineImpl&)>;

struct SearchCase {
    const char* name;
    Search search;
    // Sorted names from the area cursor (map data value 14); nullopt: not compared.
    std::optional<std::vector<std::string>> areaNames;
    // Names from the ranked cursor (value 15), in order.
    std::vector<std::string> rankedNames;
    bool isRankedSorted = false; // compare the ranked names sorted
};

std::vector<SearchCase> SearchCases() {
    const std::vector<std::string> blockNames = {
        "Fluss", "Hauptpost", "Hauptstrasse", "Hauptstrasse", "Hauptstrasse", "Kirchweg",
        kLange,  "Postamt",   "Schulgasse",   "Zollweg",      "am Bahnhof"};
    const std::vector<std::string> aroundNames = {
        "Fluss", "Hauptpost", "Hauptstrasse", "Hauptstrasse", "Kirchweg", "Postamt", "am Bahnhof"};
    const std::vector<GeoPoint> road = RoadPoints();
    const std::vector<GeoPoint> firstHalf(road.begin(), road.begin() + 30);
    const std::vector<GeoPoint> secondHalf(road.begin() + 30, road.end());
    return {
        {"rect, any name", [](auto& e) { return e.FindInRect(Block(), u""); }, blockNames,
         Sorted({"Alte Strasse", "Hauptpost", "Hauptstrasse", "Hauptstrasse", "Hauptstrasse",
                 "Kirchweg", kLange, "Postamt", "Schulgasse", "Zollweg", "am Bahnhof"}),
         true},
        {"rect, prefix",
         [](auto& e) { return e.FindInRect(Block(), u"haupt"); },
         blockNames,
         {"Hauptpost", "Hauptstrasse", "Hauptstrasse", "Hauptstrasse"}},
        {"rect, prefix before infix",
         [](auto& e) { return e.FindInRect(Block(), u"post"); },
         blockNames,
         {"Postamt", "Hauptpost"}},
        {"rect, '/Bypass'",
         [](auto& e) { return e.FindInRect(TownRect(-100, 11900, 1100, 12100), u""); },
         std::vector<std::string>{"Bypass"},
         {"Bypass"}},
        {"rect, 'Ring/Ring'",
         [](auto& e) { return e.FindInRect(TownRect(-100, 13900, 1100, 14100), u""); },
         std::vector<std::string>{"Ring"},
         {"Ring"}},
        // The first alternative ranks before a later one; the area cursor's crawl covers the
        // element, so its later alternative is not yielded.
        {"rect, alternatives",
         [](auto& e) { return e.FindInRect(TownRect(-100, 200, 100, 1100), u""); },
         std::vector<std::string>{"Zollweg"},
         {"Zollweg", "Alte Strasse"}},
        // Alternative 16 cannot be named by a molecule id.
        {"rect, 17 alternatives",
         [](auto& e) { return e.FindInRect(TownRect(-100, 15900, 1100, 16100), u""); },
         std::vector<std::string>{"a"},
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p"}},
        {"around, radius 0",
         [](auto& e) { return e.FindAround(TownPoint(1500, 0), 0, u""); },
         std::vector<std::string>{},
         {}},
        {"around, 60 m",
         [](auto& e) { return e.FindAround(TownPoint(1500, 0), 60, u""); },
         aroundNames,
         {"Hauptpost", "Hauptstrasse", "Postamt"}},
        {"along 60 points at 150 m",
         [road](auto& e) { return e.FindAlong({road}, 150, u""); },
         std::vector<std::string>{"Landstrasse", "Tankstelle"},
         {"Landstrasse", "Tankstelle"}},
        {"along in two parts",
         [firstHalf, secondHalf](auto& e) {
             return e.FindAlong({firstHalf, secondHalf}, 150, u"");
         },
         std::vector<std::string>{"Landstrasse", "Tankstelle"},
         {"Landstrasse", "Tankstelle"}},
        {"along, distance 0",
         [road](auto& e) { return e.FindAlong({road}, 0, u""); },
         std::vector<std::string>{},
         {}},
        {"along, no points",
         [](auto& e) { return e.FindAlong({{}}, 150, u""); },
         std::vector<std::string>{},
         {}},
        {"area Neustadt",
         [](auto& e) { return e.FindInArea(kNeustadt, u""); },
         std::nullopt,
         {"Hauptstrasse"}},
        {"area Altstadt, prefix",
         [](auto& e) { return e.FindInArea(kAltstadt, u"haupt"); },
         std::nullopt,
         {"Hauptpost", "Hauptstr.", "Hauptstrasse", "Hauptstrasse"}},
        {"area Stadt: its own and its districts' streets",
         [](auto& e) { return e.FindInArea(kStadt, u"haupt"); },
         std::nullopt,
         {"Hauptpost", "Hauptstr.", "Hauptstrasse", "Hauptstrasse", "Hauptstrasse"}},
        {"unknown area",
         [](auto& e) { return e.FindInArea(99, u""); },
         std::vector<std::string>{},
         {}},
        {"postal code 20095",
         [](auto& e) { return e.FindInPostalCode(u"20095", kPostalValue, u""); },
         std::nullopt,
         {"Hauptstrasse"}},
        {"postal code 10115, prefix before infix",
         [](auto& e) { return e.FindInPostalCode(u"10115", kPostalValue, u"post"); },
         std::nullopt,
         {"Postamt", "Hauptpost"}},
        // A code of all 16 characters a slot holds.
        {"postal code of the Kiosk",
         [](auto& e) { return e.FindInPostalCode(u"KIOSK-0123456789", kPostalValue, u""); },
         std::nullopt,
         {"Kiosk"}},
        {"unknown postal code",
         [](auto& e) { return e.FindInPostalCode(u"99999", kPostalValue, u""); },
         std::vector<std::string>{},
         {}},
    };
}

TEST(Search, FindOperationsOnTheTown) {
    for (const std::uint32_t value : {14u, 15u}) {
        TownMapSet town(value);
        for (const SearchCase& c : SearchCases()) {
            SCOPED_TRACE(testing::Message() << value << ": " << c.name);
            const std::vector<std::string> names = Names(c.search(*town.engine));
            if (value == 15) {
                EXPECT_EQ(c.isRankedSorted ? Sorted(names) : names, c.rankedNames);
            } else if (c.areaNames) {
                EXPECT_EQ(Sorted(names), *c.areaNames);
            } else {
                EXPECT_FALSE(names.empty());
            }
        }
    }
}

TEST(Search, AreaCursorIncludesTheFirstElementOfItsWalk) {
    TownMapSet town(14);
    const std::uint32_t first = town.writer.GetElementIds().at(town.writer.GetTreeOrder().at(0));
    bool isFound = false;
    for (GeoMoleculeCursorPtr cursor =
             town.engine->FindInRect(TownRect(-1000, -3000, 31000, 23000), u"");
         cursor->IsValid(); cursor->Next()) {
        const std::vector<std::uint32_t> ids = cursor->GetCurrent()->GetElementIds();
        isFound = isFound || std::find(ids.begin(), ids.end(), first) != ids.end();
    }
    EXPECT_TRUE(isFound);
}

TEST(Search, MoleculesOfACursorCarryElementAndAlternative) {
    for (const std::uint32_t value : {14u, 15u}) {
        SCOPED_TRACE(value);
        TownMapSet town(value);
        const struct {
            GeoRect rect;
            Element element;
            std::vector<Element> elements;
        } cases[] = {
            {TownRect(-100, 11900, 1100, 12100), Bypass, {Bypass}},
            {TownRect(-100, 13900, 1100, 14100), RingRing, {RingRing}},
        };
        for (const auto& c : cases) {
            const GeoMoleculeCursorPtr cursor = town.engine->FindInRect(c.rect, u"");
            ASSERT_TRUE(cursor && cursor->IsValid());
            EXPECT_EQ(cursor->GetCurrent()->GetId(), town.Id(c.element));
            EXPECT_EQ(cursor->GetCurrent()->GetElementIds(), town.Ids(c.elements));
        }
    }
}

TEST(Search, RankedOrderAndDistances) {
    TownMapSet town(15);
    town.engine->GetQueryDefaultsRef()->typeCodes = {300};
    const struct {
        std::uint8_t hasDistance;
        std::vector<std::string> names;
    } cases[] = {
        {0, {"Hauptpost", "Postamt"}}, // by collation
        {1, {"Postamt", "Hauptpost"}}, // 16 m before 74 m
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.hasDistance));
        town.engine->GetQueryDefaultsRef()->hasDistance = c.hasDistance;
        EXPECT_EQ(Names(town.engine->FindAround(TownPoint(1500, 200), 100, u"")), c.names);
    }
    town.engine->GetQueryDefaultsRef()->typeCodes.clear();
    town.engine->GetQueryDefaultsRef()->isSecondList = 0;
    EXPECT_EQ(Names(town.engine->FindInRect(Block(), u"post")),
              std::vector<std::string>{"Postamt"});
}

// Two ranked searches of different rectangles, read in turns and on two threads: each keeps
// the hits it was made with while the other collects anew.
TEST(Search, RankedCursorsSideBySide) {
    TownMapSet town(15);
    const std::vector<std::string> haupt = {"Hauptpost", "Hauptstrasse", "Hauptstrasse",
                                            "Hauptstrasse"};
    const std::vector<std::string> post = {"Postamt", "Hauptpost"};
    const auto searchHaupt = [&] { return town.engine->FindInRect(Block(), u"haupt"); };
    const auto searchPost = [&] {
        return town.engine->FindInPostalCode(u"10115", kPostalValue, u"post");
    };
    const GeoMoleculeCursorPtr first = searchHaupt();
    const GeoMoleculeCursorPtr second = searchPost();
    std::vector<std::string> firstNames;
    std::vector<std::string> secondNames;
    for (bool a = first->IsValid(), b = second->IsValid(); a || b;) {
        if (a) {
            firstNames.push_back(Narrow(first->GetCurrent()->GetName()));
            a = first->Next();
        }
        if (b) {
            secondNames.push_back(Narrow(second->GetCurrent()->GetName()));
            b = second->Next();
        }
        (void)searchHaupt(); // a third search replaces the engine's last hits
    }
    EXPECT_EQ(firstNames, haupt);
    EXPECT_EQ(secondNames, post);

    std::vector<std::string> results[2];
    std::thread threads[2] = {
        std::thread([&] {
            for (int i = 0; i < 20 && results[0].empty(); ++i) {
                const std::vector<std::string> names = Names(searchHaupt());
                if (names != haupt) {
                    results[0] = names;
                }
            }
        }),
        std::thread([&] {
            for (int i = 0; i < 20 && results[1].empty(); ++i) {
                const std::vector<std::string> names = Names(searchPost());
                if (names != post) {
                    results[1] = names;
                }
            }
        }),
    };
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(results[0].empty());
    EXPECT_TRUE(results[1].empty());
}

// The town's files from memory, without its address index: searches and molecules work on ids
// as they are; a missing stream or a refused map data file opens nothing.
TEST(Search, EngineOverMapSetFilesInMemory) {
    testdata::MapSetWriter writer;
    for (const testdata::ElementDescription& element : TownElements()) {
        ASSERT_TRUE(writer.Add(element));
    }
    testdata::RidHeaderFields header;
    header.mapDataValue = 15;
    const testdata::MapSetFiles files = writer.SetHeader(header).Build();
    const auto memory = [](const std::vector<std::uint8_t>& bytes) {
        return testdata::MakeMemoryBlockFile(bytes, maprecord::kBlockSize);
    };
    EngineDevice device;
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    const struct {
        const char* name;
        CachedFilePtr rid, dat, nam;
        std::vector<std::string> names;
    } cases[] = {
        {"whole",
         memory(files.rid),
         memory(files.dat),
         memory(files.nam),
         {"Hauptpost", "Hauptstrasse", "Hauptstrasse", "Hauptstrasse"}},
        {"no stream", memory(files.rid), nullptr, memory(files.nam), {}},
        {"map data refused", memory(files.dat), memory(files.dat), memory(files.nam), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(engine->Attach(c.rid, c.dat, c.nam), !c.names.empty());
        EXPECT_EQ(engine->IsOpen(), !c.names.empty());
        EXPECT_EQ(Names(engine->FindInRect(Block(), u"haupt")), c.names);
    }
    ASSERT_TRUE(engine->Attach(memory(files.rid), memory(files.dat), memory(files.nam)));
    const GeoMoleculePtr molecule =
        engine->CreateGeoMolecule(writer.GetElementIds()[Haupt0], kNoVariantCode);
    EXPECT_EQ(molecule->GetCrossingWith(writer.GetElementIds()[Kirchweg]),
              (ElementPosition{writer.GetElementIds()[Haupt1], TownPoint(2000, 0)}));
}

TEST(Search, CursorAnswersNothingMoreAfterClose) {
    TownMapSet town(14);
    const GeoMoleculeCursorPtr cursor = town.engine->FindInRect(Block(), u"");
    ASSERT_TRUE(cursor->IsValid());
    town.engine->Close();
    EXPECT_FALSE(cursor->Next());
    EXPECT_FALSE(cursor->IsValid());
    EXPECT_FALSE(town.engine->FindInRect(Block(), u""));
}

} // namespace
