#include "mapdisplay/pickrecord.h"

#include <gtest/gtest.h>

namespace {

TEST(PickRecordTest, KeepsTheLastPickWithTheStreetNameCutAtTheFirstSlash) {
    const struct {
        const char* name;
        std::uint32_t id;
        std::u16string elementName;
        std::u16string areaName;
        GeoPoint point;
        std::u16string street;
    } cases[] = {
        {"plain name", 17, u"Hauptstrasse", u"Lindau", {9.5f, 47.5f}, u"Hauptstrasse"},
        {"cut at the first slash", 930, u"B 31/Seestrasse/Ufer", u"", {9.0f, 48.0f}, u"B 31"},
        {"slash first", 1, u"/A 96", u"Wangen", {-1.0f, -2.0f}, u""},
        {"no area", 5, u"Ring", u"", {0.0f, 0.0f}, u"Ring"},
    };
    pickrecord::Clear();
    EXPECT_FALSE(pickrecord::Get().valid);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pickrecord::Set(c.id, c.elementName, c.areaName, c.point);
        const PickRecord record = pickrecord::Get();
        EXPECT_TRUE(record.valid);
        EXPECT_EQ(record.elementId, c.id);
        EXPECT_EQ(record.streetName, c.street);
        EXPECT_EQ(record.areaName, c.areaName);
        EXPECT_EQ(record.point, c.point);
    }
    pickrecord::Clear();
    const PickRecord cleared = pickrecord::Get();
    EXPECT_FALSE(cleared.valid);
    EXPECT_EQ(cleared.elementId, 0u);
    EXPECT_TRUE(cleared.streetName.empty());
}

} // namespace
