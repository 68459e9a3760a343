#include "ui/tmcmonitor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TextCase {
    const char* name;
    std::u16string text;
    std::u16string expected;
};

void ExpectFormatted(const TextCase& c) {
    SCOPED_TRACE(c.name);
    std::u16string text = c.text;
    TmcMonitor::FormatMessageText(text);
    EXPECT_EQ(text, c.expected);
}

TEST(TmcMessageText, EachRuleAlone) {
    const TextCase cases[] = {
        {"first comma breaks, second goes, further ones break", u"a, b, c, d, e", u"a\nb c\nd\ne"},
        {"a comma at the start is not looked for", u",a, b", u",a, b"},
        {"first colon breaks and trims", u"Vaduz:  Stau: lang", u"Vaduz\nStau: lang"},
        {"a colon at the start is not looked for", u":a: b", u":a: b"},
        {"a semicolon goes, a break follows the next character", u"Stau; Unfall; Glatteis",
         u"Stau \nUnfall \nGlatteis"},
        {"a semicolon at the end goes alone", u"Stau;", u"Stau"},
        {"a semicolon at the start is not looked for", u";a;b", u";a;b"},
        {"'<' gets a blank before it and loses the character after it", u"x<-y", u"x <y"},
        {"'<' at the end only gets its blank", u"x<", u"x <"},
        {"'>' gets a blank after it and a '-' before it becomes a blank", u"x->y", u"x > y"},
        {"'>' at the end", u"x>", u"x> "},
        {"plain text stays", u"Stau 3 km", u"Stau 3 km"},
        {"empty text stays", u"", u""},
    };
    for (const TextCase& c : cases) {
        ExpectFormatted(c);
    }
}

TEST(TmcMessageText, TrimmingAfterABreakJoinsANumberWithItsUnitOnly) {
    const TextCase cases[] = {
        {"blanks before a word go", u"Vaduz,   Stau", u"Vaduz\nStau"},
        {"a number loses the blank after it", u"Vaduz, 3 km Stau", u"Vaduz\n3km Stau"},
        {"two numbers are joined up to the unit", u"Vaduz, 12 500 m", u"Vaduz\n12500m"},
        {"a blank after a number inside a line stays", u"Vaduz, Stau 3 km", u"Vaduz\nStau 3 km"},
        {"a break with nothing after it", u"Vaduz,", u"Vaduz\n"},
        {"digits without a blank after them", u"Vaduz, 12", u"Vaduz\n12"},
        {"a letter beyond ASCII stops the trimming", u"Vaduz, \u00dcberholverbot 2 km",
         u"Vaduz\n\u00dcberholverbot 2 km"},
    };
    for (const TextCase& c : cases) {
        ExpectFormatted(c);
    }
    std::u16string text = u"ab 1 2";
    TmcMonitor::TrimAfterBreak(text, 6); // at the end: nothing to look at
    EXPECT_EQ(text, u"ab 1 2");
    TmcMonitor::TrimAfterBreak(text, 3);
    EXPECT_EQ(text, u"ab 12");
}

TEST(TmcMessageText, LongLinesAfterTheFirstAreBrokenOnceAtTheirLastBlankWithin28) {
    const std::u16string first = u"a first line far longer than twenty-eight characters";
    const TextCase cases[] = {
        // 28 characters: broken at its last blank.
        {"28 characters", first + u", abcdefghij klmnopqrst uvwxyz\n",
         first + u"\nabcdefghij klmnopqrst\nuvwxyz\n"},
        {"27 characters stay", first + u", abcdefghij klmnopqrst uvwxy\n",
         first + u"\nabcdefghij klmnopqrst uvwxy\n"},
        {"broken once only", first + u", ab cd ef gh ij kl mn op qr st uv wx yz ab cd ef gh\n",
         first + u"\nab cd ef gh ij kl mn op qr\nst uv wx yz ab cd ef gh\n"},
        {"no blank among the first 28 stays whole",
         first + u", abcdefghijklmnopqrstuvwxyzabcd efg\n",
         first + u"\nabcdefghijklmnopqrstuvwxyzabcd efg\n"},
        {"a last line without a break stays", first + u", abcdefghij klmnopqrst uvwxyz",
         first + u"\nabcdefghij klmnopqrst uvwxyz"},
    };
    for (const TextCase& c : cases) {
        ExpectFormatted(c);
    }
}

TEST(TmcMessageText, MessageLinesCombineTheRules) {
    const struct {
        const char* name;
        TmcListEntry entry;
        std::u16string expected;
    } cases[] = {
        {"location without commas, event with one",
         {1, u"Vaduz", u"Stau, 2 km", true},
         u"Vaduz\nStau 2 km\n"},
        {"country, road and event list",
         {2, u"Liechtenstein, A 13 Vaduz-Nord - Vaduz-S\u00fcd", u"Stau; Unfall", true},
         u"Liechtenstein\nA 13 Vaduz-Nord - Vaduz-S\u00fcd\nStau \nUnfall\n"},
        {"arrows and a colon",
         {3, u"A 13, Vaduz->Schaan", u"Richtung <-Feldkirch: gesperrt", false},
         u"A 13\nVaduz > Schaan Richtung \n<Feldkirch\ngesperrt\n"},
        {"a long second line",
         {4, u"Liechtenstein", u"Bauarbeiten auf der ganzen Strecke zwischen den Orten", true},
         u"Liechtenstein\nBauarbeiten auf der ganzen\nStrecke zwischen den Orten\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TmcMonitor::MakeLineText(c.entry), c.expected);
    }
}

} // namespace
