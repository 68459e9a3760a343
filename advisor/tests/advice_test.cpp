// Advices over their own copy of a list, and the display and spoken texts of their values.

#include "advisor/advice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::string Narrow(std::u16string_view text) {
    return {text.begin(), text.end()};
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
    EXPECT_EQ(none->Current()->GetKind(), -1); // an empty record's values

    AdviceList list;
    for (const std::int32_t distance : {100, 200, 300}) {
        AdviceRecord record;
        record.distance = distance;
        record.travelTime = 17.8f;
        record.SetText(u" [TakeExit] #3# ");
        list.Append(record);
    }
    const auto table = std::make_shared<const PhraseTable>(PhraseTable{{u"x", u"[x]"}});
    const AdvicePtr advice = MakeAdvice(list, table);
    list.Clear(); // the advice keeps its own copy
    ASSERT_TRUE(advice->IsValid());
    const AdviceValuePtr value = advice->Current();
    EXPECT_EQ(std::u16string(value->GetSpeechText()), u"[TakeExit] [3 geschlossen]");
    EXPECT_EQ(std::u16string(value->GetDisplayText()), u" TakeExit 3 ");
    EXPECT_EQ(value->GetTravelTime(), 17u);
    EXPECT_TRUE(advice->Next());
    const AdvicePtr clone = advice->Clone();
    ASSERT_TRUE(clone);
    EXPECT_TRUE(advice->Next());
    EXPECT_FALSE(advice->Next());
    EXPECT_FALSE(advice->Next());
    EXPECT_FALSE(advice->IsValid());
    EXPECT_EQ(DistanceOf(*advice), 300);
    // The clone stayed where it was made and walks on by itself.
    EXPECT_EQ(DistanceOf(*clone), 200);
    EXPECT_TRUE(clone->Next());
    EXPECT_EQ(DistanceOf(*clone), 300);

    // Times summed on the way may fall below zero at the route's end: none is left.
    AdviceRecord past;
    past.travelTime = -0.4f;
    past.remainingTime = -1.0f;
    AdviceList end;
    end.Append(past);
    const AdviceValuePtr last = MakeAdvice(end, table)->Current();
    EXPECT_EQ(last->GetTravelTime(), 0u);
    EXPECT_EQ(last->GetRemainingTime(), 0u);
}

TEST(AdviceText, SpellsMarkedNumbersAsPhraseKeys) {
    const PhraseTable table = {
        {u"x", u"[x]"}, {u"xx", u"[x0][x]"},       {u"x0x", u"[x00][x]"}, {u"z00", u"[z00]"},
        {u"0", u"[0]"}, {u"xxx", u"[x][x][x][x]"}, {u"xxxx", u"[x][x]"},  {u"zz", u"[z] [z]"},
    };
    const struct {
        std::u16string text;
        std::u16string spoken;
        std::u16string display;
    } cases[] = {
        {u"#B3#", u"[B][3 geschlossen]", u"B3"},
        {u"#107#", u"[100][7 geschlossen]", u"107"},
        {u"[Onto] #A 27# [Now]", u"[Onto] [A][20][7] [Now]", u"Onto A 27 Now"},
        {u"#E-4# #3a# #3a#", u"[E][4] [3][a] [3][a geschlossen]", u"E-4 3a 3a"},
        {u"#AB# #0#", u"[A][B] [0 geschlossen]", u"AB 0"},
        {u"##", u"", u""},
        // More placeholders than digits keep the rest, fewer drop digits; no template: the
        // pattern with the digits in it.
        {u"#123# #1234# x", u"[1][2][3][x] [1][2] x", u"123 1234 x"},
        {u"#12345#", u"1234 geschlossen5", u"12345"},
        {u"(5 0 0) #1# (15)", u"[500] [1] [1] [5 geschlossen]", u"5 0 0 1 15"},
        // "#" segments first: this "(" is inside one and never pairs with the ")".
        {u"#(5#)", u"[5])", u"5"},
        {u"  Hello  World ", u"Hello  World", u"  Hello  World "},
        // Marks without their partner stay as they stand.
        {u"#1# #2 (25 $1*2", u"[1] #2 (25 $1*2", u"1 2 25 1*2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(Narrow(AdviceSpokenText(c.text, table)), Narrow(c.spoken));
        EXPECT_EQ(Narrow(AdviceDisplayText(c.text)), Narrow(c.display));
    }
}

} // namespace
