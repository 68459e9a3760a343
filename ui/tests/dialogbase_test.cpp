#include "testdata/golden.h"
#include "ui/dialogbase.h"
#include "ui/messagedialogs.h"
#include "ui/tests/dialogtesting.h"

#include "platform/window/dialog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using dialogtesting::ButtonPoint;
using dialogtesting::Same;
using platform::ScriptStep;

// A default dialog that records the commands it gets.
class RecordingDialog : public DialogBase {
public:
    explicit RecordingDialog(const std::u16string& section)
        : DialogBase(section) {
        AddText(u"Msg", 532);
        AddButton(u"OK", 1);
    }
    BOOL OnCommand(UINT id, HWND control, UINT code) override {
        commands.push_back(id);
        return DialogBase::OnCommand(id, control, code);
    }
    std::vector<UINT> commands;
};

class DialogBaseTest : public dialogtesting::DialogPage {};

TEST_F(DialogBaseTest, SizeBecomesTemplateUnitsAndWindowPixels) {
    struct Case {
        const char16_t* section;
        SIZE units;
    };
    const Case cases[] = {
        {u"MsgBox", {100, 50}},
        {u"Huge", {32767, 0}}, // too large is cut, negative is 0
        {u"Missing", {0, 0}},
    };
    for (const Case& c : cases) {
        RecordingDialog dialog(c.section);
        EXPECT_EQ(dialog.GetUnits().cx, c.units.cx);
        EXPECT_EQ(dialog.GetUnits().cy, c.units.cy);
        const std::vector<std::uint8_t> bytes = dialog.MakeTemplate();
        ASSERT_EQ(bytes.size(), 1024u);
        const std::vector<std::uint8_t> style(bytes.begin(), bytes.begin() + 4);
        EXPECT_EQ(style, (std::vector<std::uint8_t>{0x00, 0x02, 0x00, 0x82}));
        std::int16_t cx = 0;
        std::int16_t cy = 0;
        std::memcpy(&cx, bytes.data() + 14, 2);
        std::memcpy(&cy, bytes.data() + 16, 2);
        EXPECT_EQ(cx, c.units.cx);
        EXPECT_EQ(cy, c.units.cy);
    }
    RecordingDialog dialog(u"MsgBox");
    RECT bounds{};
    driver_.PlayWhenIdle({ScriptStep::Run([&] { bounds = Bounds(dialog.GetWindow()); }),
                          ScriptStep::TapAt(ButtonPoint(0))});
    EXPECT_EQ(dialog.DoModal(page_), 1);
    EXPECT_TRUE(Same(bounds, RECT{20, 110, 220, 210}));
    EXPECT_EQ(dialog.GetWindow(), nullptr);
}

TEST_F(DialogBaseTest, ButtonsCommandOnlyWhenReleasedOnThemselves) {
    struct Case {
        const char* name;
        std::vector<ScriptStep> steps;
        INT_PTR result;
        std::vector<UINT> commands;
    };
    const POINT ok = ButtonPoint(0);
    const POINT outside{ok.x + 100, ok.y};
    const Case cases[] = {
        {"press and release on the face", {ScriptStep::TapAt(ok)}, 1, {1}},
        {"release outside, then a tap",
         {ScriptStep::DownAt(ok), ScriptStep::UpAt(outside), ScriptStep::TapAt(ok)},
         1,
         {1}},
        {"press outside every face", {ScriptStep::TapAt(outside), ScriptStep::TapAt(ok)}, 1, {1}},
        {"a command 9 does not end it", {ScriptStep::Run([] {}), ScriptStep::TapAt(ok)}, 1, {9, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDialog dialog(u"MsgBox");
        std::vector<ScriptStep> steps = c.steps;
        if (c.commands.size() == 2) {
            steps[0] = ScriptStep::Run([&] { PostMessageW(dialog.GetWindow(), WM_COMMAND, 9, 0); });
        }
        driver_.PlayWhenIdle(steps);
        EXPECT_EQ(dialog.DoModal(page_), c.result);
        EXPECT_EQ(dialog.commands, c.commands);
        EXPECT_FALSE(driver_.RanOutOfScript());
        driver_.RunUntilIdle();
        EXPECT_TRUE(IsWindowEnabled(page_));
    }
}

TEST_F(DialogBaseTest, PlaceholderReplacesOnlyTheFirstMark) {
    DestNotFoundMsgBox notFound(700, u"Vaduz");
    ASSERT_NE(notFound.FindItem(700), nullptr);
    EXPECT_EQ(notFound.FindItem(700)->text, u"Not found: Vaduz and <@>");
    MsgBox box(700, u"Schaan", u"OtherBox");
    EXPECT_EQ(box.GetSection(), u"OtherBox");
    EXPECT_EQ(box.FindItem(700)->text, u"Not found: Schaan and <@>");
    MsgBox plain(700);
    EXPECT_EQ(plain.FindItem(700)->text, u"Not found: <@> and <@>");
    EXPECT_EQ(plain.FindItem(1)->text, u"O.K.");
    ASSERT_NE(plain.FindItem(1)->face, nullptr);
}

TEST_F(DialogBaseTest, DestroyingAnOpenDialogLeavesTheMap) {
    auto dialog = std::make_unique<RecordingDialog>(u"MsgBox");
    RecordingDialog* running = dialog.get();
    HWND window = nullptr;
    driver_.PlayWhenIdle({ScriptStep::Run([&] {
        window = running->GetWindow();
        EXPECT_EQ(DialogBase::FromWindow(window), running);
        dialog.reset();
    })});
    // The loop ends when its window goes; nothing of the object is used afterwards.
    EXPECT_EQ(running->DoModal(page_), 0);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(DialogBase::FromWindow(window), nullptr);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(page_));
    EXPECT_FALSE(driver_.RanOutOfScript());
}

class DialogGolden : public dialogtesting::DialogPage, public testing::WithParamInterface<SIZE> {
protected:
    void SetUp() override {
        platform::ResourceBundle bundle = dialogtesting::Strings();
        SetUpPage(GetParam().cx, GetParam().cy, bundle);
        const int scale = GetParam().cx / 240;
        testdata::ScreenDescWriter writer;
        writer.Section(u"MsgBox")
            .Size(200 * scale, 100 * scale)
            .Bitmap(u"dialog.bmp")
            .Rect(u"Msg", 10 * scale, 10 * scale, 190 * scale, 50 * scale)
            .Item(u"OK", 70 * scale, 60 * scale, 130 * scale, 90 * scale, 2);
        ASSERT_TRUE(root_.WriteFile(AppPaths::GetScreenDescFilePath(), writer.Build()));
        // A 200 x 100 background whose key pixel (0, 0) alone is see-through.
        testdata::BitmapSpec spec;
        spec.width = 200;
        spec.height = 100;
        for (int i = 0; i < 200 * 100; ++i)
            spec.pixels.push_back(i == 0 ? 0xFF00FF : (i / 200) % 20 == 0 ? 0x4070A0 : 0x6890B8);
        ASSERT_TRUE(
            root_.WriteFile(GetSkinFolder() + u"dialog.bmp", testdata::WriteBitmapFile(spec)));
    }
};

TEST_P(DialogGolden, MessageBox) {
    MsgBox box(532);
    const std::string size = std::to_string(GetParam().cx) + "x" + std::to_string(GetParam().cy);
    testing::AssertionResult matches = testing::AssertionFailure();
    const int scale = GetParam().cx / 240;
    driver_.PlayWhenIdle(
        {ScriptStep::Run([&] {
             matches = testdata::WindowMatchesGolden(box.GetWindow(), NAV_UI_DIR, "msgbox_" + size);
         }),
         ScriptStep::TapAt(POINT{20 * scale + 100 * scale, 110 * scale + 75 * scale})});
    EXPECT_EQ(box.DoModal(page_), 1);
    EXPECT_TRUE(matches);
}

INSTANTIATE_TEST_SUITE_P(Screens, DialogGolden, testing::Values(SIZE{240, 320}, SIZE{480, 640}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" +
                                    std::to_string(info.param.cy);
                         });

} // namespace
