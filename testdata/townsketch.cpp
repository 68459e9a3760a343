#include "testdata/townsketch.h"

#include "testdata/areatreewriter.h"

#include <algorithm>

namespace testdata::town {

namespace {

constexpr std::uint32_t kSearchable = maprecord::kRawSearchable;
constexpr std::uint32_t kInAltstadt = maprecord::RawSlotBits(1, 1); // area and postal-code slot 1
constexpr std::uint32_t kInNeustadt = maprecord::RawSlotBits(2, 2); // slot 2
constexpr std::uint16_t kPointType = 300;

MapPoint At(std::int32_t dx, std::int32_t dy, MapPoint origin) {
    return {origin.x + dx, origin.y + dy};
}

ElementDescription Street(MapPoint origin, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                          std::int32_t y2, std::string name, std::uint16_t typeCode = kStreetType,
                          std::uint8_t subtype = 0) {
    ElementDescription element;
    element.typeLetter = 'l';
    const MapPoint a = At(x1, y1, origin);
    const MapPoint b = At(x2, y2, origin);
    element.bounds = {a.x, a.y, b.x, b.y};
    element.typeCode = typeCode;
    element.subtype = subtype;
    element.attributes = kSearchable | kInAltstadt;
    element.name = std::move(name);
    return element;
}

ElementDescription Point(MapPoint origin, std::int32_t x, std::int32_t y, std::string name) {
    ElementDescription element;
    element.typeLetter = 't';
    const MapPoint a = At(x, y, origin);
    element.bounds = {a.x, a.y, a.x + 10, a.y + 10};
    element.typeCode = kPointType;
    element.attributes = kInAltstadt;
    element.name = std::move(name);
    return element;
}

} // namespace

GeoPoint TownPoint(std::int32_t dx, std::int32_t dy, MapPoint origin) {
    return MapPointToDegrees(At(dx, dy, origin));
}

GeoRect TownRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                 MapPoint origin) {
    const MapPoint a = At(x1, y1, origin);
    const MapPoint b = At(x2, y2, origin);
    return MapUnitsToDegrees(MapRect{a.x, a.y, b.x, b.y});
}

std::vector<GeoPoint> RoadPoints() {
    std::vector<GeoPoint> points;
    for (std::size_t i = 0; i < kRoadPoints; ++i) {
        points.push_back(TownPoint(static_cast<std::int32_t>(i) * kRoadStep, kRoadY));
    }
    return points;
}

std::vector<ElementDescription> TownElements(MapPoint origin) {
    std::vector<ElementDescription> elements(Count);
    elements[Haupt0] = Street(origin, 0, 0, 1000, 0, "Hauptstrasse");
    elements[Haupt1] = Street(origin, 1000, 0, 2000, 0, "Hauptstrasse");
    elements[Haupt2] = Street(origin, 2745, 0, 3500, 0, "Hauptstrasse");
    elements[Haupt3] = Street(origin, 4246, 0, 5000, 0, "Hauptstrasse");
    elements[Haupt3].attributes = kSearchable | kInNeustadt;
    elements[HauptSubtype] = Street(origin, 2000, 0, 2500, 200, "Hauptstrasse", kStreetType, 1);
    elements[Zollweg] =
        Street(origin, 0, 0, 0, 1000, "Zollweg/Alte Strasse", maprecord::kMinorRoadType);
    elements[AmBahnhof] =
        Street(origin, 1000, -1000, 1000, 0, "am Bahnhof", maprecord::kMinorRoadType);
    elements[Kirchweg] =
        Street(origin, 2000, 0, 2000, 1000, "Kirchweg", maprecord::kLivingStreetType);
    elements[Fluss] = Street(origin, 1000, 0, 1000, 1000, "Fluss", 500);
    elements[Fluss].attributes = kInAltstadt;
    elements[Schulgasse] =
        Street(origin, 500, -800, 500, 0, "Schulgasse", maprecord::kMinorRoadType);
    elements[LangeStrasse] = Street(origin, 3500, 0, 3500, 800,
                                    std::string(59, 'L') + " Strasse 70", maprecord::kTertiaryType);
    elements[AltAB] = Street(origin, 0, 5000, 1000, 5000, "A/B");
    elements[AltB] = Street(origin, 1000, 5000, 2000, 5000, "B");
    elements[AltBCA] = Street(origin, 2000, 5000, 3000, 5000, "BC/A");
    elements[NordOstWest] = Street(origin, 0, 8000, 1000, 8000, "Nord/Ost/West");
    elements[Marktplatz] = Street(origin, 0, 10000, 1000, 10000, "Hauptstr./Marktplatz");
    elements[Bypass] = Street(origin, 0, 12000, 1000, 12000, "/Bypass", maprecord::kSecondaryType);
    elements[RingRing] = Street(origin, 0, 14000, 1000, 14000, "Ring/Ring");
    elements[LowerRing] = Street(origin, 3000, 14000, 4000, 14000, "ring");
    elements[Postamt] = Point(origin, 1500, 300, "Postamt");
    elements[Hauptpost] = Point(origin, 1600, -300, "Hauptpost");
    elements[Rathaus] = Point(origin, 1700, 300, "");
    elements[Sackgasse].typeLetter = 'p';
    elements[Sackgasse].points = {At(3000, -2000, origin), At(3000, -2000, origin)};
    elements[Sackgasse].typeCode = kStreetType;
    elements[Sackgasse].attributes = kSearchable | kInAltstadt;
    elements[Sackgasse].name = "Sackgasse";
    elements[Park].typeLetter = 'y';
    elements[Park].typeCode = 700;
    elements[Park].attributes = kSearchable | kInAltstadt;
    elements[Park].name = "Park";
    elements[Park].points = {At(6000, 0, origin), At(7000, 0, origin), At(7000, 1000, origin),
                             At(6000, 0, origin)};
    constexpr auto kMiddle = static_cast<std::int32_t>(kRoadPoints / 2) * kRoadStep;
    elements[Tankstelle] = Point(origin, kMiddle, kRoadY - 600, "Tankstelle");
    elements[Kiosk] = Point(origin, kMiddle + 3 * kRoadStep, kRoadY - 2000, "Kiosk");
    elements[Kiosk].attributes = maprecord::RawSlotBits(1, 3); // Altstadt, postal-code slot 3
    elements[Landstrasse].typeLetter = 'p';
    for (std::size_t i = 0; i < kRoadPoints; ++i) {
        elements[Landstrasse].points.push_back(
            At(static_cast<std::int32_t>(i) * kRoadStep, kRoadY, origin));
    }
    elements[Landstrasse].typeCode = maprecord::kPrimaryType;
    elements[Landstrasse].attributes = kSearchable | kInAltstadt;
    elements[Landstrasse].name = "Landstrasse";
    elements[Seventeen] =
        Street(origin, 0, 16000, 1000, 16000, "a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q");
    return elements;
}

AddressIndexWriter TownAddressIndex(const std::vector<std::uint32_t>& ids, MapPoint origin) {
    AddressIndexWriter writer;
    const auto first = static_cast<std::int32_t>(*std::min_element(ids.begin(), ids.end()));
    const auto last = static_cast<std::int32_t>(*std::max_element(ids.begin(), ids.end()));
    const GeoRect whole = TownRect(-1000, -3000, 31000, 23000, origin);
    const std::array<float, 4> rect{whole.minX, whole.minY, whole.maxX, whole.maxY};
    writer.AddCookieAreas(first, {0, kAltstadt, kNeustadt})
        .AddCookiePostalCodes(first, {"", std::string(kAltstadtCode), std::string(kNeustadtCode),
                                      std::string(kKioskCode)})
        .SetCookieEnd(last + 1)
        .AddArea({static_cast<std::int32_t>(kStadt), -1, "Stadt", 2, rect})
        .AddArea({static_cast<std::int32_t>(kAltstadt), static_cast<std::int32_t>(kStadt),
                  "Altstadt", 1, rect})
        .AddArea({static_cast<std::int32_t>(kNeustadt), static_cast<std::int32_t>(kStadt),
                  "Neustadt", 1, rect})
        .AddPostalCode(kPostalValue, std::string(kAltstadtCode), rect)
        .AddPostalCode(kPostalValue, std::string(kNeustadtCode), rect)
        .AddPostalCode(kPostalValue, std::string(kKioskCode), rect)
        .AddType(static_cast<std::int16_t>(kStreetType), "STRASSE")
        .AddType(static_cast<std::int16_t>(kPointType), "POST");
    const auto id = [&](Element element) { return static_cast<std::int32_t>(ids.at(element)); };
    // Scheme 4 on both sides: breakpoints; schemes 12 and 13: even and odd ranges.
    writer.AddHouseNumbers({id(Haupt0), 4, 4, 30, 40, 0, 0})
        .AddHouseNumbers({id(Haupt1), 12, 13, 2, 1, 0, 0})
        .AddHouseNumbers({id(Haupt1), 12, 13, 20, 19, 0, 0})
        .AddHouseNumbers({id(Sackgasse), 12, 13, 2, 1, 0, 0})
        .AddHouseNumbers({id(Sackgasse), 12, 13, 20, 19, 0, 0});
    return writer;
}

bool WriteTown(const TempDeviceRoot& root, std::u16string_view folder, const std::string& base,
               std::uint32_t mapDataValue, MapSetWriter& writer, MapPoint origin) {
    for (const ElementDescription& element : TownElements(origin)) {
        if (!writer.Add(element)) {
            return false;
        }
    }
    RidHeaderFields header;
    header.mapKind = 2; // with an address index
    header.mapDataValue = mapDataValue;
    writer.SetHeader(header);
    const std::u16string folderPath(folder);
    const std::u16string basePath = folderPath + u"\\" + std::u16string(base.begin(), base.end());
    // The area list: Stadt holds Altstadt and Neustadt.
    const std::vector<std::uint8_t> lists = WriteAreaList({{kStadt, {kAltstadt, kNeustadt}}});
    return root.MakeFolder(folderPath) && writer.WriteTo(root.HostPathOf(basePath)) &&
           TownAddressIndex(writer.GetElementIds(), origin).WriteTo(root, folderPath) &&
           root.WriteFile(folderPath + u"\\EAreaP.fsr", lists);
}

} // namespace testdata::town
