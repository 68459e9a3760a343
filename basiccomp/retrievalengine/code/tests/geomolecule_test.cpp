#include "townfixture.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <cmath>
#include <limits>

namespace {

using namespace testdata::town;

TEST(GeoMolecule, NamesFollowTheAlternativeBits) {
    TownMapSet town;
    const struct {
        Element element;
        std::uint32_t alternative;
        std::uint16_t code;
        std::u16string name;
        std::u16string secondName;
        std::int32_t variantCode;
    } cases[] = {
        {NordOstWest, 0, kNoVariantCode, u"Nord", u"Nord", -1},
        {NordOstWest, 1, kNoVariantCode, u"Ost", u"Ost", -1},
        {NordOstWest, 2, kNoVariantCode, u"West", u"West", -1},
        {NordOstWest, 3, kNoVariantCode, u"", u"", -1},
        {Bypass, 0, kNoVariantCode, u"Bypass", u"Bypass", -1},
        {Marktplatz, 1, kNoVariantCode, u"Marktplatz", u"Marktplatz", -1},
        {NordOstWest, 2, 0, u"West", u"Nord/Ost/West", 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << ' ' << c.alternative << ' ' << c.code);
        const GeoMoleculePtr molecule =
            town.engine->CreateGeoMolecule(town.Id(c.element) | (c.alternative << 28), c.code);
        ASSERT_TRUE(molecule);
        EXPECT_EQ(molecule->GetName(), c.name);
        EXPECT_EQ(molecule->GetSecondName(), c.secondName);
        EXPECT_EQ(molecule->GetVariantCode(), c.variantCode);
    }
}

TEST(GeoMolecule, MappedMoleculeSelectsTheAlternativeATextBegins) {
    TownMapSet town;
    const std::uint32_t id = town.Id(Marktplatz);
    const struct {
        std::u16string text;
        std::uint32_t moleculeId;
        std::u16string name;
    } cases[] = {
        {u"ma", id | (1u << 28), u"Marktplatz"},
        {u"HAUPT", id, u"Hauptstr."},
        {u"", id, u"Hauptstr."},
        {u"x", id | 0xF0000000u, u""},
        {u"Marktplatzes", id | 0xF0000000u, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const GeoMoleculePtr molecule = town.engine->CreateMappedGeoMolecule(id, c.text, 0xFFFF);
        ASSERT_TRUE(molecule);
        EXPECT_EQ(molecule->GetId(), c.moleculeId);
        EXPECT_EQ(molecule->GetName(), c.name);
    }
}

TEST(GeoMolecule, EngineMakesNoMoleculeForNoElementOrClosedMapSet) {
    TownMapSet town;
    EXPECT_FALSE(town.engine->CreateGeoMolecule(0, 0));
    EXPECT_FALSE(town.engine->CreateGeoMolecule(0xFFFFFFFFu, 0));
    EXPECT_FALSE(town.engine->CreateMappedGeoMolecule(0, u"A", 0));
    EXPECT_FALSE(town.engine->CreateMappedGeoMolecule(0xFFFFFFFFu, u"A", 0));
    const GeoMoleculePtr kept = town.Molecule(Haupt0);
    town.engine->Close();
    EXPECT_FALSE(town.Molecule(Haupt0));
    // What a molecule has not read by the Close stays empty.
    EXPECT_EQ(kept->GetName(), u"");
    EXPECT_TRUE(kept->GetElementIds().empty());
    EXPECT_EQ(kept->GetHouseNumberPosition(HouseNumber(2, 0)), ElementPosition());
}

TEST(GeoMolecule, CollectsTheElementsOfItsStreet) {
    TownMapSet town;
    const struct {
        Element element;
        std::uint32_t alternative;
        std::vector<Element> elements;
    } cases[] = {
        {Haupt0, 0, {Haupt0, Haupt1, Haupt2}},
        {Haupt2, 0, {Haupt0, Haupt1, Haupt2}},
        {Haupt3, 0, {Haupt3}},
        {HauptSubtype, 0, {HauptSubtype}},
        {AltAB, 1, {AltAB, AltB}},
        {AltBCA, 0, {AltBCA}},
        {Postamt, 0, {Postamt}},
        {Park, 0, {Park}},
        {NordOstWest, 3, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << ' ' << c.alternative);
        EXPECT_EQ(town.Molecule(c.element, c.alternative)->GetElementIds(), town.Ids(c.elements));
    }
}

TEST(GeoMolecule, CrossStreetsInNameOrderWithoutSameNameOrOtherTypes) {
    TownMapSet town;
    const std::vector<std::uint32_t> hauptAtKirchweg = town.Ids({Haupt1, HauptSubtype});
    const struct {
        Element element;
        std::vector<std::uint32_t> crossStreets;
    } cases[] = {
        // Case-insensitive order: "am Bahnhof" first; the name of 70 characters is kept whole
        // enough to order; "Fluss" is no street, "Schulgasse" meets no end point.
        {Haupt0, {town.Id(AmBahnhof), town.Id(Kirchweg), town.Id(LangeStrasse), town.Id(Zollweg)}},
        {Kirchweg, hauptAtKirchweg},
        {Fluss, {}},
        {Schulgasse, {}},
        {Postamt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        EXPECT_EQ(town.Molecule(c.element)->GetCrossStreets(), c.crossStreets);
    }
}

TEST(GeoMolecule, CrossingWithAnotherStreetIsASharedEndPoint) {
    TownMapSet town;
    const struct {
        Element element;
        Element other;
        ElementPosition crossing;
    } cases[] = {
        {Haupt0, Kirchweg, {town.Id(Haupt1), TownPoint(2000, 0)}},
        {Haupt0, Zollweg, {town.Id(Haupt0), TownPoint(0, 0)}},
        {Kirchweg, Haupt2, {town.Id(Kirchweg), TownPoint(2000, 0)}},
        {Haupt0, Schulgasse, {}}, // touches the middle of a segment only
        {Haupt0, Marktplatz, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << ' ' << c.other);
        EXPECT_EQ(town.Molecule(c.element)->GetCrossingWith(town.Id(c.other)), c.crossing);
    }
}

TEST(GeoMolecule, HouseNumberTestsAndPositions) {
    TownMapSet town;
    const HouseNumber none;
    const struct {
        Element element;
        std::uint32_t alternative;
        HouseNumber number;
        bool hasNumbers, hasNumber;
        ElementPosition position;
    } cases[] = {
        // Ranges 2-20 (even) and 1-19 (odd) on Haupt1: ten places each side, half a step in.
        {Haupt0, 0, HouseNumber(2, 0), true, true, {town.Id(Haupt1), TownPoint(1050, 0)}},
        {Haupt0, 0, HouseNumber(20, 0), true, true, {town.Id(Haupt1), TownPoint(1950, 0)}},
        {Haupt0, 0, HouseNumber(11, 0), true, true, {town.Id(Haupt1), TownPoint(1550, 0)}},
        // Breakpoints on Haupt0: its stored middle point.
        {Haupt0, 0, HouseNumber(30, 0), true, true, {town.Id(Haupt0), TownPoint(1000, 0)}},
        // No match: the middle point of the element nearest the centroid (x 1707.5).
        {Haupt0, 0, HouseNumber(99, 0), true, false, {town.Id(Haupt1), TownPoint(2000, 0)}},
        {Haupt0, 0, none, true, false, {town.Id(Haupt1), TownPoint(2000, 0)}},
        // Zero length: the stored middle point.
        {Sackgasse, 0, HouseNumber(4, 0), true, true, {town.Id(Sackgasse), TownPoint(3000, -2000)}},
        {Kirchweg, 0, HouseNumber(2, 0), false, false, {town.Id(Kirchweg), TownPoint(2000, 1000)}},
        {NordOstWest, 3, HouseNumber(2, 0), false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.element << ' ' << c.number.GetNumber());
        const GeoMoleculePtr molecule = town.Molecule(c.element, c.alternative);
        EXPECT_EQ(molecule->HasHouseNumbers(), c.hasNumbers);
        EXPECT_EQ(molecule->HasHouseNumber(c.number), c.hasNumber);
        const ElementPosition position = molecule->GetHouseNumberPosition(c.number);
        EXPECT_EQ(position.elementId, c.position.elementId);
        // Float degrees resolve about 0.4 m here; the places lie 7.5 m apart.
        EXPECT_LT(GreatCircleDistance(position.point.x, position.point.y, c.position.point.x,
                                      c.position.point.y),
                  1.0);
    }
}

// The town laid out so that Haupt1 (offsets 1000 to 2000, about 96 m at 50 N) has its middle
// on a meridian where 3-degree grid zones meet: in WGS 84, and where the DHDN grid's zones meet
// (its datum lies about 0.001 degrees east of WGS 84 there). The house numbers lie where they
// lie west of Greenwich, at the same offsets.
TEST(GeoMolecule, HouseNumberPositionsOnAStreetAcrossAZoneEdge) {
    constexpr double kUnitsPerDegree = 745654.0444444445;
    const auto across = [&](double longitude) {
        return MapPoint{static_cast<std::int32_t>(std::lround(longitude * kUnitsPerDegree)) - 1500,
                        static_cast<std::int32_t>(std::lround(50.0 * kUnitsPerDegree))};
    };
    const struct {
        const char* name;
        MapPoint origin;
    } origins[] = {
        {"west of Greenwich", kOrigin},
        {"across 7.5 E", across(7.5)},
        {"across the DHDN grid's 7.5 E", across(7.4992)},
        {"across 10.5 E", across(10.5)},
        {"across the DHDN grid's 10.5 E", across(10.4988)},
        {"across 13.5 E", across(13.5)},
        {"across the DHDN grid's 13.5 E", across(13.4983)},
    };
    const struct {
        HouseNumber number;
        std::int32_t dx; // of the place on Haupt1
    } numbers[] = {
        {HouseNumber(2, 0), 1050}, {HouseNumber(20, 0), 1950}, {HouseNumber(11, 0), 1550}};
    for (const auto& o : origins) {
        SCOPED_TRACE(o.name);
        TownMapSet town(15, o.origin);
        const GeoMoleculePtr molecule = town.Molecule(Haupt0);
        ASSERT_TRUE(molecule);
        for (const auto& n : numbers) {
            SCOPED_TRACE(n.number.GetNumber());
            const ElementPosition position = molecule->GetHouseNumberPosition(n.number);
            EXPECT_EQ(position.elementId, town.Id(Haupt1));
            const GeoPoint expected = TownPoint(n.dx, 0, o.origin);
            EXPECT_LT(
                GreatCircleDistance(position.point.x, position.point.y, expected.x, expected.y),
                1.0);
        }
    }
}

TEST(GeoMolecule, AddressTextsFromTheAddressIndex) {
    TownMapSet town;
    const struct {
        Element element;
        std::u16string postalCode, typeName;
        std::int32_t type, areaId;
    } cases[] = {
        {Haupt0, u"10115", u"Strasse", testdata::town::kStreetType, 1},
        {Haupt3, u"20095", u"Strasse", testdata::town::kStreetType, 2},
        {Postamt, u"10115", u"Post", 300, 1},
        {Fluss, u"10115", u"", 500, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        const GeoMoleculePtr molecule = town.Molecule(c.element);
        EXPECT_EQ(molecule->GetPostalCode(), c.postalCode);
        EXPECT_EQ(molecule->GetTypeName(), c.typeName);
        EXPECT_EQ(molecule->GetType(), c.type);
        EXPECT_EQ(molecule->GetAreaId(), c.areaId);
    }
}

TEST(GeoMoleculeHelpers, TextsAndDistances) {
    const struct {
        std::u16string part, text;
        bool starts;
    } prefixes[] = {
        {u"Marktplatz", u"ma", true},   {u"Marktplatz", u"", true},  {u"Ma", u"Mar", false},
        {u"Hauptstr.", u"HAUPT", true}, {u"Hauptstr.", u"x", false},
    };
    for (const auto& c : prefixes) {
        EXPECT_EQ(StartsWithNoCase(c.part, c.text), c.starts) << Narrow(c.part + u"|" + c.text);
    }
    const struct {
        std::u16string text, first;
    } firsts[] = {{u"A/B", u"A"}, {u"A", u"A"}, {u"/B", u""}, {u"", u""}};
    for (const auto& c : firsts) {
        EXPECT_EQ(FirstAlternative(c.text), c.first) << Narrow(c.text);
    }
    const GeoPoint a{-1.0f, 51.0f};
    const GeoPoint b{-0.99f, 51.0f};
    const GeoPoint north{-0.995f, 51.001f};
    const struct {
        const char* name;
        GeoPoint point;
        std::vector<GeoPoint> polyline;
        double expected;
    } distances[] = {
        {"empty polyline", a, {}, std::numeric_limits<double>::max()},
        {"one point", north, {a}, GreatCircleDistance(north.x, north.y, a.x, a.y)},
        {"beside a segment", north, {a, b}, GreatCircleDistance(north.x, north.y, north.x, 51.0)},
        {"on a vertex", b, {a, b, north}, 0.0},
    };
    for (const auto& c : distances) {
        EXPECT_NEAR(DistanceToPolyline(c.point, c.polyline), c.expected, 0.01) << c.name;
    }
}

} // namespace
