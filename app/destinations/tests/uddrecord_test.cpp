#include "app/destinations/uddrecord.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ParsedUdd {
    float x = 0;
    float y = 0;
    std::u16string placeLine, streetLine, place, street, extraText = u"old", houseNumber;
    std::uint8_t userDefined = 0;
};

ParsedUdd ParseUdd(std::u16string_view record, std::uint8_t userDefined = 0) {
    ParsedUdd parsed;
    parsed.userDefined = userDefined;
    EXPECT_TRUE(UddRecord::Parse(record, parsed.x, parsed.y, parsed.placeLine, parsed.streetLine,
                                 parsed.place, parsed.street, parsed.extraText, parsed.houseNumber,
                                 parsed.userDefined));
    return parsed;
}

} // namespace

TEST(UddRecordBuild, WritesTheFieldsInOrder) {
    const struct {
        const char* name;
        float x, y;
        const char16_t *place, *street, *number, *placeAddition, *streetAddition, *placeQualifier,
            *streetQualifier;
        bool userDefined;
        std::u16string_view record;
    } cases[] = {
        {"street with number", 8.40365f, 49.00937f, u"Karlsruhe", u"Kaiserstrasse", u"12", nullptr,
         nullptr, nullptr, nullptr, false,
         u"2|8.40365|49.00937|Karlsruhe|Kaiserstrasse 12| | | | |"},
        {"null street drops the number", 8.5f, 49.0f, u"Karlsruhe", nullptr, u"12", nullptr,
         nullptr, nullptr, nullptr, false, u"2|8.50000|49.00000|Karlsruhe|| | | | |"},
        {"empty number", 8.5f, 49.0f, u"K", u"Weg", u"", u"", u"", u"", u"", false,
         u"2|8.50000|49.00000|K|Weg| | | | |"},
        {"additions and qualifiers", 1.0f, 2.0f, u"Karlsruhe", u"Weg", nullptr, u"Baden", u"Nord",
         u"Mitte", u"Ost", false, u"2|1.00000|2.00000|Karlsruhe|Weg|Baden|Nord|Mitte|Ost|"},
        {"user-defined point", -3.25f, -0.5f, nullptr, u"Tankstelle", nullptr, nullptr, nullptr,
         nullptr, nullptr, true, u"2|-3.25000|-0.50000||Tankstelle| | | | |<UDD>|"},
        {"separator inside texts", 0.0f, 0.0f, u"A|B", u"C|D", u"1|2", u"E|", nullptr, nullptr,
         nullptr, false, u"2|0.00000|0.00000|A/B|C/D 1/2|E/| | | |"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UddRecord::Build(c.x, c.y, c.place, c.street, c.number, c.placeAddition,
                                   c.streetAddition, c.placeQualifier, c.streetQualifier,
                                   c.userDefined),
                  c.record);
    }
}

TEST(UddRecordBuild, CutsTheLongestTextsToStayWithinTheLimit) {
    const std::u16string longPlace(400, u'P');
    const std::u16string longStreet(400, u'S');
    const std::u16string longerStreet(600, u'S');
    const std::u16string shortText(10, u'a');
    const struct {
        const char* name;
        const std::u16string* place;
        const std::u16string* street;
        bool userDefined;
    } cases[] = {
        {"two long texts", &longPlace, &longStreet, false},
        {"one long text, marked", &shortText, &longerStreet, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string record =
            UddRecord::Build(1.0f, 2.0f, c.place->c_str(), c.street->c_str(), u"12", u"Baden",
                             nullptr, nullptr, nullptr, c.userDefined);
        EXPECT_EQ(record.size(), UddRecord::kMaxLength);
        const ParsedUdd parsed = ParseUdd(record);
        EXPECT_EQ(parsed.userDefined, c.userDefined ? 1 : 0);
        EXPECT_EQ(parsed.placeLine.substr(parsed.place.size()), u", Baden");
        // The short text stays whole; the long ones are cut from their ends.
        if (c.place->size() < 100) {
            EXPECT_EQ(parsed.place, *c.place);
        } else {
            EXPECT_EQ(parsed.place, c.place->substr(0, parsed.place.size()));
            EXPECT_LT(parsed.place.size(), c.place->size());
        }
        const std::u16string streetField = *c.street + u" 12";
        EXPECT_EQ(parsed.street, streetField.substr(0, parsed.street.size()));
        EXPECT_GT(parsed.street.size(), 100u);
        EXPECT_LT(parsed.street.size(), c.street->size());
    }
}

TEST(UddRecordParse, PresentsTheFieldsToTheCaller) {
    const struct {
        const char* name;
        std::u16string_view record;
        std::uint8_t userDefinedBefore;
        float x, y;
        std::u16string_view placeLine, streetLine, place, street, houseNumber;
        std::uint8_t userDefined;
    } cases[] = {
        {"street with number", u"2|8.40365|49.00937|Karlsruhe|Kaiserstrasse 12| | | | |", 0,
         8.40365f, 49.00937f, u"Karlsruhe", u"Kaiserstrasse 12", u"Karlsruhe", u"Kaiserstrasse 12",
         u"12", 0},
        {"additions and qualifiers", u"2|1|2|Karlsruhe|Weg|Baden|Nord|Mitte|Ost|", 0, 1.0f, 2.0f,
         u"Karlsruhe (Mitte), Baden", u"Weg (Ost), Nord", u"Karlsruhe", u"Weg", u"", 0},
        {"number in the place is dropped", u"2|1|2|Berlin 3|Avenue 13| | | | |", 0, 1.0f, 2.0f,
         u"Berlin", u"Avenue 13", u"Berlin", u"Avenue 13", u"13", 0},
        {"marker", u"2|-3.25|-0.5||Tankstelle| | | | |<UDD>|", 0, -3.25f, -0.5f, u"", u"Tankstelle",
         u"", u"Tankstelle", u"", 1},
        {"other text in field 9 leaves the flag", u"2|0|0|A|B| | | | |x|", 1, 0.0f, 0.0f, u"A",
         u"B", u"A", u"B", u"", 1},
        {"three fields", u"2|5|6", 0, 5.0f, 6.0f, u"", u"", u"", u"", u"", 0},
        {"empty text", u"", 0, 0.0f, 0.0f, u"", u"", u"", u"", u"", 0},
        {"twelve fields", u"2|1|1|A|B|C|D|E|F|<UDD>|G|H|", 0, 1.0f, 1.0f, u"A (E), C", u"B (F), D",
         u"A", u"B", u"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedUdd parsed = ParseUdd(c.record, c.userDefinedBefore);
        EXPECT_FLOAT_EQ(parsed.x, c.x);
        EXPECT_FLOAT_EQ(parsed.y, c.y);
        EXPECT_EQ(parsed.placeLine, c.placeLine);
        EXPECT_EQ(parsed.streetLine, c.streetLine);
        EXPECT_EQ(parsed.place, c.place);
        EXPECT_EQ(parsed.street, c.street);
        EXPECT_EQ(parsed.houseNumber, c.houseNumber);
        EXPECT_EQ(parsed.extraText, u"");
        EXPECT_EQ(parsed.userDefined, c.userDefined);
    }
}

TEST(SplitTrailingNumber, SplitsOnlyALastWordStartingWithADigit) {
    const struct {
        std::u16string_view name, number, rest;
    } cases[] = {
        {u"Kaiserstrasse 12", u"12", u"Kaiserstrasse"},
        {u"Kaiserstrasse 12a", u"12a", u"Kaiserstrasse"},
        {u"B 3", u"3", u"B"},
        {u"Weg 7  ", u"7  ", u"Weg"},
        {u"12 Rue X", u"", u"12 Rue X"},
        {u"Zone 5 Nord", u"", u"Zone 5 Nord"},
        {u"   ", u"", u"   "},
        {u"", u"", u""},
        {u"  12", u"", u"  12"},
        {u"12", u"", u"12"},
        {u"Weg\t\u00B2", u"\u00B2", u"Weg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        std::u16string name(c.name);
        EXPECT_EQ(SplitTrailingNumber(name), c.number);
        EXPECT_EQ(name, c.rest);
    }
}
