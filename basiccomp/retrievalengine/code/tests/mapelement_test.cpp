#include "basiccomp/retrievalengine/code/mapelement.h"
#include "enginefixture.h"

#include <cmath>

namespace {

using testdata::JunctionArm;
using testdata::JunctionSketch;
using testdata::LinkNibble;
using testdata::MapSetWriter;

TEST(UnpackElementAttributes, MovesEachRawFieldToItsPlace) {
    const struct {
        std::uint32_t raw, unpacked;
    } cases[] = {
        {0x00000000, 0x00000400}, {0xFFFFFFFF, 0x07FFF810}, {0x00000001, 0x00000200},
        {0x00000002, 0x00000600}, {0x00000003, 0x00000000}, {1u << 30, 0x00000410},
        {1u << 19, 0x00000C00},   {1u << 15, 0x00001400},   {0xFu << 26, 0x000F0400},
        {1u << 21, 0x00100400},   {1u << 25, 0x01000400},   {1u << 31, 0x02000400},
        {1u << 20, 0x04000400},   {0x000000FC, 0x00000400}, // bits 2-7 stay behind
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(UnpackElementAttributes(c.raw).word, c.unpacked);
    }
    const ElementAttributes all = UnpackElementAttributes(0xFFFFFFFF);
    EXPECT_EQ(all.LinkFlagsAB(), 0xFF);
    EXPECT_EQ(all.LinkFlagsC(), 0xF);
    EXPECT_TRUE(all.HasSign() && all.HasSignposts());
}

TEST(AngleHelpers, ConvertWithTheirPiAndOffsetByMetres) {
    EXPECT_FLOAT_EQ(DegreesToRadians(180.0f), 3.1415925f);
    EXPECT_FLOAT_EQ(RadiansToDegrees(3.1415925f), 180.0f);
    EXPECT_DOUBLE_EQ(RadiansToDegrees(3.14159265359), 180.0);
    // One degree of the earth's radius is 111132.4 m along a meridian and along the equator.
    const struct {
        float longitude, latitude;
        std::int32_t east, north;
        float newLongitude, newLatitude;
    } cases[] = {
        {10.0f, 0.0f, 111132, 0, 11.0f, 0.0f},  {10.0f, 0.0f, 0, 111132, 10.0f, 1.0f},
        {10.0f, 60.0f, 55566, 0, 11.0f, 60.0f}, {-5.0f, -40.0f, 0, -111132, -5.0f, -41.0f},
        {7.0f, 50.0f, 0, 0, 7.0f, 50.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.latitude);
        float longitude = 0.0f;
        float latitude = 0.0f;
        OffsetPositionByMetres(c.longitude, c.latitude, c.east, c.north, longitude, latitude);
        EXPECT_NEAR(longitude, c.newLongitude, 1e-4);
        EXPECT_NEAR(latitude, c.newLatitude, 1e-4);
    }
}

// Nibble flags.
constexpr std::uint8_t b0 = 1, b1 = 2, b2 = 4, b3 = 8;

struct LinkCase {
    const char* what;
    LinkNibble sketchKind;
    std::vector<JunctionArm> arms;            // arm 0 is the element tested, arm 1 its neighbour
    std::optional<std::uint32_t> neighbourId; // instead of arm 1's id
    bool a, b, c;                             // the answers of the three tests
};

TEST(MapElementLinkJunction, CountsTheLinkedLinesAtTheSharedFirstPoint) {
    const LinkCase cases[] = {
        {"three lines, both starting at J",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'E', true, b2}, {'S', false, b1}},
         {},
         true,
         false,
         false},
        {"the same on nibble B",
         LinkNibble::B,
         {{'N', true, b0 | b2}, {'E', true, b2}, {'S', false, b1}},
         {},
         false,
         true,
         false},
        {"the same on nibble C: three is one too many",
         LinkNibble::C,
         {{'N', true, b0 | b2}, {'E', true, b2}, {'S', false, b1}},
         {},
         false,
         false,
         false},
        {"two lines on nibble C",
         LinkNibble::C,
         {{'N', true, b0 | b2}, {'E', true, b2}},
         {},
         false,
         false,
         true},
        {"the third line not linked at J",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'E', true, b2}, {'S', false, b0}},
         {},
         false,
         false,
         false},
        {"neighbour ending at J needs b3 of the element",
         LinkNibble::A,
         {{'N', true, b0 | b3}, {'W', false, b3}, {'S', true, b2}},
         {},
         true,
         false,
         false},
        {"neighbour ending at J without b3 of the element",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'W', false, b3}, {'S', true, b2}},
         {},
         false,
         false,
         false},
        {"neighbour touching only the element's last point",
         LinkNibble::A,
         {{'N', false, b0 | b1 | b2 | b3}, {'E', true, b2}, {'S', false, b1}},
         {},
         false,
         false,
         false},
        {"neighbour without b2 or b3",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'E', true, b0}, {'S', false, b1}},
         {},
         false,
         false,
         false},
        {"neighbour id 0",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'E', true, b2}},
         0u,
         false,
         false,
         false},
        {"neighbour id 0xFFFFFFFF",
         LinkNibble::A,
         {{'N', true, b0 | b2}, {'E', true, b2}},
         0xFFFFFFFFu,
         false,
         false,
         false},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.what);
        EngineDevice device;
        MapSetWriter writer;
        testdata::GridSketch sketch = JunctionSketch(c.sketchKind, c.arms);
        sketch.origin = {10000, 10000};
        ASSERT_TRUE(writer.AddSketch(sketch));
        ASSERT_TRUE(device.WriteMapSet(writer, u"\\maps", "Junction", Packing::Loose));
        const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
        ASSERT_TRUE(engine->Open(u"\\maps\\Junction.rid"));
        const MapElementPtr element = engine->GetElement(writer.GetElementIds()[0]);
        ASSERT_TRUE(element);
        const std::uint32_t neighbour = c.neighbourId.value_or(writer.GetElementIds()[1]);
        EXPECT_EQ(element->IsLinkJunctionA(&neighbour), c.a);
        EXPECT_EQ(element->IsLinkJunctionB(&neighbour), c.b);
        EXPECT_EQ(element->IsLinkJunctionC(&neighbour), c.c);
    }
}

} // namespace
