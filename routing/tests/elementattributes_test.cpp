// The element attribute word as the writers write it and every reader reads it back: the
// engine's unpacked word (cursor and element), the area and postal-code slots, the searchable
// bit, the area of a point, the nearest-road acceptance, and the route iterator's word (the
// unpacked word with the route record's network bits, reversed when driven against the points).
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "routing/routeposition.h"
#include "routing/routesnapshot.h"
#include "testdata/addressindexwriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace {

using namespace maprecord;
using testdata::LinkAttributeBits;
using testdata::LinkNibble;

constexpr std::int32_t kFirstArea = 11;
constexpr std::int32_t kSecondArea = 12;

struct Row {
    std::string name;
    char letter;
    std::uint16_t typeCode;
    std::uint32_t raw;
    std::uint32_t unpacked;
    std::int32_t areaId; // of the element, through its area slot
    std::u16string postalCode;
    bool isSearchable;
    bool isNearestRoad; // found by the road query and accepted
    // Lines: a one-record route over the element with these record attributes (low byte class
    // bits, high byte direction and extended codes), driven against its points when isAgainst.
    std::uint16_t record;
    bool isAgainst;
    std::uint32_t routed; // the iterator's word
};

// The word the route iterator gives the only record of a route over the element.
std::uint32_t RoutedWord(const six::RefCntPtr<RetrievalEngineImpl>& engine, std::uint32_t id,
                         const Row& row) {
    std::vector<GeoPoint> points;
    const MapElementPtr element = engine->GetElement(id);
    if (!element || !element->GetPoints(points) || points.size() < 2) {
        ADD_FAILURE() << "no line";
        return 0;
    }
    const GeoPoint start = row.isAgainst ? points.back() : points.front();
    const GeoPoint destination = row.isAgainst ? points.front() : points.back();
    RouteRecord record;
    record.x = start.x;
    record.y = start.y;
    record.linkId = id;
    record.attributes.value = row.record;
    const auto snapshot = RouteSnapshot::FromRecords(
        {record}, destination, nullptr, RetrievalEngine::RetrievalEnginePtr(engine), 1, false);
    SnapshotRouteIterator it(snapshot);
    EXPECT_EQ(it.Current().polyline.front(), start);
    EXPECT_EQ(it.Current().polyline.back(), destination);
    return it.Current().elementAttributes;
}

TEST(ElementAttributeWord, EachMeaningReadsBackThroughEveryReader) {
    const std::uint32_t links = LinkAttributeBits(LinkNibble::A, 0b0001) |
                                LinkAttributeBits(LinkNibble::B, 0b0010) |
                                LinkAttributeBits(LinkNibble::C, 0b0100);
    const Row rows[] = {
        // Record bit 3 -> word bit 0; direction 0 replaces the element's two ways.
        {"Two", 'l', kResidentialType, kRawBothWays | kRawSearchable | RawSlotBits(1, 1), 0x400,
         kFirstArea, u"9490", true, true, 0x0008, false, 0x1},
        // Bit 4 of a class below 0x18 -> bit 1; direction 1.
        {"Along", 'l', kPrimaryType, kRawOneWayAlong | RawSlotBits(2, 2), 0x200, kSecondArea,
         u"9494", false, true, 0x0110, false, 0x202},
        // Class 0x18: bit 4 does not count, bit 3 does; direction 3.
        {"Against", 'l', kTertiaryType, kRawOneWayAgainst | RawSlotBits(1, 2), 0x600, kFirstArea,
         u"9494", false, true, 0x0318, false, 0x601},
        // Bit 5 -> bit 2; high bit 2 -> bit 5.
        {"Undriven", 'l', kMinorRoadType, kRawNotDriven, 0, -1, u"", false, false, 0x0420, false,
         0x24},
        // The ring bit (4) comes from the record: bit 6 -> bit 3, high bit 3 -> bit 6.
        {"Ring", 'l', kSecondaryType, kRawOneWayAlong | kRawRing | kRawSearchable, 0x210, -1, u"",
         true, true, 0x0840, false, 0x48},
        // Bit 7 -> bit 4; high bit 4 -> bit 7.
        {"Ramp", 'l', kRampType, kRawOneWayAlong, 0x200, -1, u"", false, true, 0x1080, false, 0x90},
        // Bits 0-2 -> 29-31; high bit 5 -> bit 8.
        {"Ferry", 'l', kFerryType, kRawBothWays, 0x400, -1, u"", false, true, 0x2007, false,
         0xE0000100},
        // Driven against: bit 28 set, two ways stays two ways.
        {"Service", 'l', kServiceRoadType, kRawBothWays, 0x400, -1, u"", false, true, 0x0205, true,
         0xB0000400},
        {"Zone", 'l', kPedestrianZoneType, kRawNotDriven, 0, -1, u"", false, true, 0, false, 0},
        {"Unattached", 'l', kUnattachedType, kRawBothWays, 0x400, -1, u"", false, false, 0x011F,
         false, 0xE0000201},
        // Driven against: the nibbles' bit pairs swap (12 -> 13, 17 -> 16, 22 -> 23), bits 11 and
        // 24-26 stay, direction 1 becomes 3.
        {"Flags", 'l', kMotorwayType, links | kRawLookedPast | kRawFlag20 | kRawSignpost | kRawSign,
         0x07421C00, -1, u"", false, true, 0x0100, true, 0x17812E00},
        // A point's bit 0 names its area through its slot (and unpacks as a direction code);
        // points are outside the road query.
        {"City", 't', kCityType, kRawAreaFromCookie | RawSlotBits(2, 1), 0x200, kSecondArea,
         u"9490", true, false, 0, false, 0},
        {"Fuel", 't', kFirstPoiType, kRawBothWays, 0x400, -1, u"", true, false, 0, false, 0},
    };
    testdata::MapSetWriter writer;
    std::map<std::uint32_t, const Row*> rowsById;
    std::int32_t x = 1'260'000;
    for (const Row& row : rows) {
        testdata::ElementDescription element;
        element.typeLetter = row.letter;
        element.bounds = {x, 5'300'000, x + (row.letter == 't' ? 1 : 500), 5'300'500};
        element.typeCode = row.typeCode;
        element.attributes = row.raw;
        element.name = row.name;
        ASSERT_TRUE(writer.Add(element));
        x += 1000;
    }
    testdata::RidHeaderFields header;
    header.mapKind = RidFile::kMapKindWithAddressIndex;
    header.mapDataValue = 15; // the searches keep to searchable elements, as the data tool's
    writer.SetHeader(header);
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.MakeFolder(u"\\maps"));
    ASSERT_TRUE(writer.WriteTo(root.HostPathOf(u"\\maps\\Codes")));
    const auto& ids = writer.GetElementIds();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        rowsById[ids[i]] = &rows[i];
    }
    const GeoRect whole = MapUnitsToDegrees(MapRect{1'259'000, 5'299'000, x, 5'301'000});
    const std::array<float, 4> rect{whole.minX, whole.minY, whole.maxX, whole.maxY};
    testdata::AddressIndexWriter index;
    index.AddCookieAreas(0, {0, kFirstArea, kSecondArea})
        .AddCookiePostalCodes(0, {"", "9490", "9494"})
        .SetCookieEnd(static_cast<std::int32_t>(*std::max_element(ids.begin(), ids.end())) + 1)
        .AddArea({kFirstArea, -1, "Vaduz", 1, rect})
        .AddArea({kSecondArea, -1, "Schaan", 1, rect});
    ASSERT_TRUE(index.WriteTo(root, u"\\maps"));

    auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
    ASSERT_TRUE(engine->Open(u"\\maps\\Codes.rid"));
    ASSERT_TRUE(engine->HasAddressIndex());
    std::set<std::uint32_t> inRoadQuery;
    std::map<std::uint32_t, ElementAttributes> fromCursor;
    for (auto cursor = engine->QueryArea(whole, kFirstRoadType, kRoadTypeEnd);
         cursor && cursor->IsValid(); cursor->Next()) {
        ElementAttributes attributes;
        cursor->GetAttributes(attributes);
        fromCursor[cursor->GetElementId()] = attributes;
        if (IsNearestRoadCandidate(cursor->GetTypeCode(), cursor->GetElementId(), attributes)) {
            inRoadQuery.insert(cursor->GetElementId());
        }
    }
    std::set<std::u16string> searchable;
    for (auto cursor = engine->FindInRect(whole, u""); cursor && cursor->IsValid();
         cursor->Next()) {
        searchable.insert(cursor->GetCurrent()->GetName());
    }
    for (const auto& [id, row] : rowsById) {
        SCOPED_TRACE(row->name);
        const MapElementPtr element = engine->GetElement(id);
        ASSERT_TRUE(element);
        ElementAttributes attributes;
        element->GetAttributes(attributes);
        EXPECT_EQ(attributes.word, row->unpacked);
        if (IsRoadType(row->typeCode)) {
            EXPECT_EQ(fromCursor.at(id).word, row->unpacked);
        }
        EXPECT_EQ(inRoadQuery.contains(id), row->isNearestRoad);
        EXPECT_EQ(searchable.contains(std::u16string(row->name.begin(), row->name.end())),
                  row->isSearchable);
        EXPECT_EQ(std::u16string(element->GetPostalCode()), row->postalCode);
        if (row->letter == 'l') {
            EXPECT_EQ(RoutedWord(engine, id, *row), row->routed);
        }
        if (row->letter == 't') {
            const AddressResultPtr address = engine->GetAddressOfElement(id, 0);
            ASSERT_TRUE(address);
            EXPECT_EQ(address->GetAreaId(), row->areaId);
        } else {
            EXPECT_EQ(engine->GetAreaOfElement(id), row->areaId);
        }
    }
}

} // namespace
