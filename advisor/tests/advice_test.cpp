// Advices over their own copy of a list, their values, and the display and spoken texts.

#include "advisor/advice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string Narrow(std::u16string_view text) {
    return {text.begin(), text.end()};
}

AdviceList ListOfDistances(std::initializer_list<std::int32_t> distances) {
    AdviceList list;
    for (const std::int32_t distance : distances) {
        AdviceRecord record;
        record.distance = distance;
        record.SetText(u"#A" + std::u16string(1, static_cast<char16_t>(u'0' + distance % 10)) +
                       u"#");
        list.Append(record);
    }
    return list;
}

std::int32_t DistanceOf(const IAdvice& advice) {
    const AdviceValuePtr value = advice.Current();
    return value ? value->GetDistance() : -999;
}

TEST(Advice, WalksItsOwnCopyAndKeepsTheLastValuesPastTheEnd) {
    const AdvicePtr none = MakeAdvice(AdviceList(), nullptr);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->IsValid());
    EXPECT_FALSE(none->Next());
    EXPECT_FALSE(none->IsValid());
    EXPECT_EQ(none->Current()->GetKind(), -1); // the values of an empty record

    AdviceList list = ListOfDistances({100, 200, 300});
    const AdvicePtr advice = MakeAdvice(list, nullptr);
    list.Clear(); // the advice keeps its own copy
    ASSERT_TRUE(advice->IsValid());
    EXPECT_EQ(DistanceOf(*advice), 100);
    EXPECT_TRUE(advice->Next());
    const AdvicePtr clone = advice->Clone();
    ASSERT_TRUE(clone);
    EXPECT_TRUE(advice->Next());
    EXPECT_EQ(DistanceOf(*advice), 300);
    EXPECT_FALSE(advice->Next());
    EXPECT_FALSE(advice->Next());
    EXPECT_FALSE(advice->IsValid());
    EXPECT_EQ(DistanceOf(*advice), 300);
    // The clone stayed where it was made and walks on by itself.
    EXPECT_TRUE(clone->IsValid());
    EXPECT_EQ(DistanceOf(*clone), 200);
    EXPECT_TRUE(clone->Next());
    EXPECT_EQ(DistanceOf(*clone), 300);
    EXPECT_FALSE(advice->IsValid());
}

TEST(AdviceValue, CarriesTheRecordHeadAndBothTexts) {
    class NoRoute final : public RouteIterator {
    public:
        bool Next() override { return false; }
        [[nodiscard]] const RouteRecord& Current() const override { return m_record; }
        [[nodiscard]] bool IsValid() const override { return false; }
        void GetJunctionStreets(std::vector<NeighbourLink>&, std::vector<NeighbourLink>&) override {
        }
        [[nodiscard]] bool GetItemPolyline(const RouteItemRef&, std::vector<GeoPoint>&) override {
            return false;
        }
        [[nodiscard]] RouteIteratorPtr CreateIterator() const override { return nullptr; }
        [[nodiscard]] RouteIteratorPtr Clone() const override { return nullptr; }
        bool Previous() override { return false; }

    private:
        RouteRecord m_record;
    };
    const auto route = std::make_shared<NoRoute>();
    AdviceRecord record;
    record.remainingDistance = 5000;
    record.remainingTime = 301.9f;
    record.fromStreet.Set(u"Hauptstrasse");
    record.toStreet.Set(u"Ringstrasse");
    record.distance = 250;
    record.travelTime = 17.8f;
    record.manoeuvreCode = 21;
    record.propertyText.Set(u"Zone 30");
    record.placeName.Set(u"Altstadt");
    record.position = {8.5f, 50.25f};
    record.route = route;
    record.progress = 40;
    record.combined = 1;
    record.SetText(u" [Now] [TakeExit] #3# ");
    AdviceList list;
    list.Append(record);
    const auto table = std::make_shared<const PhraseTable>(PhraseTable{{u"x", u"[x]"}});
    const AdviceValuePtr value = MakeAdvice(list, table)->Current();
    ASSERT_TRUE(value);
    EXPECT_EQ(std::u16string(value->GetFromStreet()), u"Hauptstrasse");
    EXPECT_EQ(std::u16string(value->GetStreetName()), u"Ringstrasse");
    EXPECT_EQ(value->GetDistance(), 250);
    EXPECT_EQ(value->GetTravelTime(), 17u);
    EXPECT_EQ(value->GetKind(), 21);
    EXPECT_EQ(value->GetRemainingDistance(), 5000u);
    EXPECT_EQ(value->GetRemainingTime(), 301u);
    EXPECT_EQ(std::u16string(value->GetDisplayText()), u" Now TakeExit 3 ");
    EXPECT_EQ(std::u16string(value->GetSpeechText()), u"[Now] [TakeExit] [3 geschlossen]");
    EXPECT_EQ(value->GetPosition(), (GeoPoint{8.5f, 50.25f}));
    EXPECT_EQ(std::u16string(value->GetPropertyText()), u"Zone 30");
    EXPECT_EQ(std::u16string(value->GetPlaceName()), u"Altstadt");
    EXPECT_EQ(value->GetRouteIterator(), route);
    EXPECT_EQ(value->GetApproachPercent(), 40);
    EXPECT_EQ(value->IsLinkedToNext(), 1);
    // The record, the list and the value each hold the iterator once more.
    EXPECT_EQ(route.use_count(), 4);
}

TEST(AdviceText, SpellsMarkedNumbersAsPhraseKeys) {
    const PhraseTable table = {
        {u"x", u"[x]"}, {u"xx", u"[x0][x]"}, {u"x0x", u"[x00][x]"}, {u"xxx", u"[x][x][x][x]"},
        {u"z", u"[z]"}, {u"z00", u"[z00]"},  {u"xxxx", u"[x][x]"},  {u"0", u"[0]"},
    };
    const struct {
        std::u16string text;
        std::u16string spoken;
        std::u16string display;
    } cases[] = {
        {u"#B3#", u"[B][3 geschlossen]", u"B3"},
        {u"#107#", u"[100][7 geschlossen]", u"107"},
        {u"[Onto] #A 27# [Now]", u"[Onto] [A][20][7] [Now]", u"Onto A 27 Now"},
        {u"#A 27#", u"[A][20][7 geschlossen]", u"A 27"},
        {u"#E-4#", u"[E][4 geschlossen]", u"E-4"},
        {u"#3a#", u"[3][a geschlossen]", u"3a"},
        {u"#3a# [X]", u"[3][a] [X]", u"3a X"},
        {u"#AB#", u"[A][B geschlossen]", u"AB"},
        {u"#0#", u"[0 geschlossen]", u"0"},
        {u"##", u"", u""},
        // Templates: more placeholders than digits keep the rest, an unknown pattern is itself.
        {u"#123#", u"[1][2][3][x geschlossen]", u"123"},
        {u"#1234# x", u"[1][2] x", u"1234 x"},
        {u"#12345#", u"1234 geschlossen5", u"12345"},
        // Every "#" segment before any "(" segment, left to right.
        {u"(500) #1# (3)", u"[500] [1] [3 geschlossen]", u"500 1 3"},
        {u"  Hello  World ", u"Hello  World", u"  Hello  World "},
        // Marks without their partner stay as they stand.
        {u"#B3", u"#B3", u"B3"},
        {u"#1# #2", u"[1] #2", u"1 2"},
        {u"(25", u"(25", u"25"},
        {u"25)", u"25)", u"25"},
        {u"$1*2", u"$1*2", u"1*2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(AdviceSpokenText(c.text, table), c.spoken);
        EXPECT_EQ(AdviceDisplayText(c.text), c.display);
    }
    // "#" segments first: this "(" is inside one and never pairs with the ")".
    EXPECT_EQ(AdviceSpokenText(u"#(5#)", table), u"[5])");
}

TEST(ExpandNumberSegment, BuildsThePatternFromTheDigitsInTheSegmentsMode) {
    const PhraseTable none;
    const struct {
        std::u16string segment;
        char16_t mode;
        bool isLast;
        std::u16string expansion;
    } cases[] = {
        {u"107", u'x', false, u"107"}, // pattern x0x, digits 1 and 7, no template
        {u"107", u'z', true, u"10 geschlossen7"},
        {u"B 1 0 7", u'x', false, u"[B]107"},
        {u"1.5", u'z', false, u"15[.]"},
        {u"", u'x', true, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.segment));
        EXPECT_EQ(ExpandNumberSegment(c.segment, c.mode, none, c.isLast), c.expansion);
    }
    EXPECT_EQ(ExpandNumberSegment(u"107", u'x', {{u"x0x", u"[x] [x]"}}, false), u"[1] [7]");
    EXPECT_EQ(ExpandNumberSegment(u"107", u'z', {{u"x0x", u"[x] [x]"}}, false), u"107");
}

} // namespace
