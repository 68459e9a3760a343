#include "basiccomp/retrievalengine/code/leveltextfile.h"
#include "testdata/levelfilewriter.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(LevelTextFile, TakesTheFirstFieldOfTheFirstUsableLine) {
    const std::string longLine(300, 'a');
    const struct {
        const char* what;
        std::string text;
        std::optional<std::u16string> name;
    } cases[] = {
        {"one line", "Europe.rid Europe 3 x\n", u"Europe.rid"},
        {"skipped lines, CR LF",
         testdata::LevelFileWriter()
             .SetCrLf(true)
             .AddBlankLine()
             .AddIsoLine("Other.rid")
             .AddMapLine("Europe.rid")
             .Build(),
         u"Europe.rid"},
        {"first field alone, no LF", "Europe.rid", u"Europe.rid"},
        {"tabs and leading blanks", "\t Europe.rid\tx 1 y\n", u"Europe.rid"},
        {"a line of blanks is usable", "  \nEurope.rid\n", u""},
        {"bytes widened with their sign", "\xE4.rid x 1 y\n", u"\xFFE4.rid"},
        {"a long line continues as the next", longLine + "\n", std::u16string(254, u'a')},
        {"a long line of .iso at its end", longLine + ".iso\nEurope.rid\n",
         std::u16string(254, u'a')},
        {"no usable line", "\n\r\nOther.rid Map.iso 0 x\n", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LevelTextFile file;
        file.Attach(Bytes(c.text));
        EXPECT_EQ(file.ReadMapFileName(), c.name);
    }
}

TEST(LevelTextFile, ReadLineKeepsItsLfAndStopsAtItsCapacity) {
    LevelTextFile file;
    file.Attach(Bytes("abcdef\nxy"));
    EXPECT_EQ(file.ReadLine(4), u"abc");
    EXPECT_EQ(file.ReadLine(), u"def\n");
    EXPECT_EQ(file.ReadLine(), u"xy");
    EXPECT_TRUE(file.IsAtEnd());
    EXPECT_EQ(file.ReadLine(), u"");
    EXPECT_FALSE(LevelTextFile().Open(u"\\missing.lvl"));
}

} // namespace
