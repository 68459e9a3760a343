#include "app/scenario/scenarioscript.h"

#include "platform/kernel/messagebox.h"
#include "platform/window/input.h"

#include <gtest/gtest.h>

namespace {

TEST(ScenarioScript, ReadsEachStepWithItsValuesLineAndName) {
    using Kind = ScenarioStepKind;
    const struct {
        const char* line;
        std::u16string text;
        std::uint64_t ms;
        UINT id;
        UINT modifier;
        Kind kind;
        bool isCancel;
    } cases[] = {
        {"wait page CNMapPage", u"CNMapPage", kDefaultWaitMs, 0, 0, Kind::WaitPage, false},
        {"wait page MsgBox 0", u"MsgBox", 0, 0, 0, Kind::WaitPage, false},
        {"wait text \"\xC3\x84ulestrasse\" 86400000", u"\u00C4ulestrasse", 86'400'000, 0, 0,
         Kind::WaitText, false},
        {"wait said \"[DestinationReached]\"", u"[DestinationReached]", kDefaultWaitMs, 0, 0,
         Kind::WaitSaid, false},
        {"wait fix", u"", kDefaultWaitMs, 0, 0, Kind::WaitFix, false},
        {"wait fix 5000", u"", 5000, 0, 0, Kind::WaitFix, false},
        {"wait tmc 60000", u"", 60000, 0, 0, Kind::WaitTmc, false},
        {"tap 65535", u"", 0, 65535, 0, Kind::Tap, false},
        {"tap 100 \" Formate\"", u" Formate", 0, 100, 0, Kind::Tap, false},
        {"key l", u"", 0, 'L', 0, Kind::Key, false},
        {"key 7", u"", 0, '7', 0, Kind::Key, false},
        {"key Ctrl+Q", u"", 0, 'Q', VK_CONTROL, Kind::Key, false},
        {"key shift+TAB", u"", 0, VK_TAB, VK_SHIFT, Kind::Key, false},
        {"key F12", u"", 0, VK_F12, 0, Kind::Key, false},
        {"key Esc", u"", 0, VK_ESCAPE, 0, Kind::Key, false},
        {"text \"say \"\"hi\"\"\"", u"say \"hi\"", 0, 0, 0, Kind::Text, false},
        {"clock 1", u"", 1, 0, 0, Kind::Clock, false},
        {"frame map-1.day", u"map-1.day", 0, 0, 0, Kind::Frame, false},
        {"messagebox no", u"", 0, IDNO, 0, Kind::MessageBox, false},
        {"messagebox retry", u"", 0, IDRETRY, 0, Kind::MessageBox, false},
        {"openfile \"\\Data\\tmc.txt\"", u"\\Data\\tmc.txt", 0, 0, 0, Kind::OpenFile, false},
        {"openfile cancel", u"", 0, 0, 0, Kind::OpenFile, true},
        {"drive", u"", 0, 0, 0, Kind::Drive, false},
        {"check", u"", 0, 0, 0, Kind::Check, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string text =
            "\xEF\xBB\xBF# a comment\r\n\r\nstep the name \r\n\t" + std::string(c.line) + "  \r\n";
        ScenarioScript script;
        ScriptError error;
        ASSERT_TRUE(ParseScenarioScript(text, script, error)) << error.message;
        ASSERT_EQ(script.steps.size(), 1u);
        const ScenarioStep& step = script.steps[0];
        EXPECT_EQ(step.kind, c.kind);
        EXPECT_EQ(step.text, c.text);
        EXPECT_EQ(step.id, c.id);
        EXPECT_EQ(step.modifier, c.modifier);
        EXPECT_EQ(step.ms, c.ms);
        EXPECT_EQ(step.isCancel, c.isCancel);
        EXPECT_EQ(step.line, 4);
        EXPECT_EQ(step.name, "the name");
        EXPECT_EQ(step.source, c.line);
        EXPECT_EQ(DescribeStep(step), "step \"the name\" (line 4)");
    }
}

// "tap at" names a screen point; "at" quoted is not the word.
TEST(ScenarioScript, ReadsATappedPoint) {
    const struct {
        const char* line;
        int x;
        int y;
    } cases[] = {{"tap at 120 90", 120, 90}, {"tap at 0 32767", 0, 32767}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ScenarioScript script;
        ScriptError error;
        ASSERT_TRUE(ParseScenarioScript(c.line, script, error)) << error.message;
        ASSERT_EQ(script.steps.size(), 1u);
        EXPECT_EQ(script.steps[0].kind, ScenarioStepKind::TapPoint);
        EXPECT_EQ(script.steps[0].x, c.x);
        EXPECT_EQ(script.steps[0].y, c.y);
    }
}

TEST(ScenarioScript, RefusesTheFirstFaultyLineAndKeepsNoStep) {
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"fly", "unknown step \"fly\""},
        {"\"tap\" 1", "a line must begin with a step word"},
        {"step", "\"step\" needs a name"},
        {"wait", "\"wait\" needs what to wait for: page, text, said, fix or tmc"},
        {"wait window Screen", "\"wait\" needs what to wait for: page, text, said, fix or tmc"},
        {"wait page \"Screen\"", "a screen section name is expected"},
        {"wait page Sc-reen", "a screen section name is expected"},
        {"wait page Screen 86400001", "the limit must be 0 to 86400000 milliseconds"},
        {"wait page Screen -1", "the limit must be 0 to 86400000 milliseconds"},
        {"wait page Screen 10 20", "unexpected \"20\""},
        {"wait text Vaduz", "a quoted text is expected"},
        {"wait text \"\"", "the text is empty"},
        {"wait said \"\xC3\"", "the text is not UTF-8"},
        {"text \"open", "a quoted text is not closed"},
        {"text \"a\"b", "a blank must follow a quoted text"},
        {"tap 0", "a control id from 1 to 65535 is expected"},
        {"tap 65536", "a control id from 1 to 65535 is expected"},
        {"tap 1 2", "unexpected \"2\""},
        {"tap 100 \"\"", "the text is empty"},
        {"tap 100 \"a\" 2", "unexpected \"2\""},
        {"tap at 120", "\"tap at\" needs the point's x and y, 0 to 32767"},
        {"tap at 120 32768", "\"tap at\" needs the point's x and y, 0 to 32767"},
        {"tap at -1 5", "\"tap at\" needs the point's x and y, 0 to 32767"},
        {"tap at 1 \"2\"", "\"tap at\" needs the point's x and y, 0 to 32767"},
        {"tap at 1 2 3", "unexpected \"3\""},
        {"tap \"at\" 1 2", "a control id from 1 to 65535 is expected"},
        {"key", "a key is expected: a letter, a digit or a key name, with Ctrl+ or Shift+"},
        {"key Alt+Q", "a key is expected: a letter, a digit or a key name, with Ctrl+ or Shift+"},
        {"key F13", "a key is expected: a letter, a digit or a key name, with Ctrl+ or Shift+"},
        {"key ab", "a key is expected: a letter, a digit or a key name, with Ctrl+ or Shift+"},
        {"clock 0", "the clock step must be 1 to 86400000 milliseconds"},
        {"clock 1s", "the clock step must be 1 to 86400000 milliseconds"},
        {"frame ../up", "a frame name of letters, digits, '_', '-' and '.' is expected"},
        {"frame .hidden", "a frame name of letters, digits, '_', '-' and '.' is expected"},
        {"messagebox maybe", "the answer must be ok, cancel, yes, no, abort, retry or ignore"},
        {"openfile later", "a quoted path or cancel is expected"},
        {"drive now", "unexpected \"now\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ScenarioScript script;
        ScriptError error;
        EXPECT_FALSE(
            ParseScenarioScript("tap 1\n\n" + std::string(c.line) + "\ntap 2\n", script, error));
        EXPECT_EQ(error.line, 3);
        EXPECT_EQ(error.message, c.message);
        EXPECT_TRUE(script.steps.empty());
    }
}

} // namespace
