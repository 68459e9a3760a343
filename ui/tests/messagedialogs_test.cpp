#include "ui/messagedialogs.h"
#include "ui/tests/dialogtesting.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/window/input.h"
#include "platform/window/shell.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using dialogtesting::ButtonPoint;
using dialogtesting::Same;
using platform::ScriptStep;

class MessageDialogTest : public dialogtesting::DialogPage {};

TEST_F(MessageDialogTest, ResultsOfTheQuestionDialogs) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<ResultDialog>()> make;
        // Built once the dialog exists.
        std::function<std::vector<ScriptStep>(ResultDialog&)> steps;
        INT_PTR ended;
        int result;
    };
    const POINT up{20, 72}; // YesNoDlg sits 38 pixels above the centre
    auto post = [](ResultDialog& d, UINT message, WPARAM wParam) {
        return ScriptStep::Run(
            [&d, message, wParam] { PostMessageW(d.GetWindow(), message, wParam, 0); });
    };
    const Case cases[] = {
        {"yes", [] { return std::make_unique<YesNoDlg>(701); },
         [&](ResultDialog&) { return std::vector{ScriptStep::TapAt(ButtonPoint(0, up))}; }, 1, 1},
        {"no", [] { return std::make_unique<YesNoDlg>(701); },
         [&](ResultDialog&) { return std::vector{ScriptStep::TapAt(ButtonPoint(1, up))}; }, 2, 2},
        {"yes as command 1", [] { return std::make_unique<YesNoDlg>(701); },
         [&](ResultDialog& d) { return std::vector{post(d, WM_COMMAND, 1)}; }, 1, 1},
        {"next destination", [] { return std::make_unique<StopNavigDlg>(true); },
         [&](ResultDialog&) { return std::vector{ScriptStep::TapAt(ButtonPoint(4))}; }, 2, 1150},
        {"stop navigation: 2 counts as continue",
         [] { return std::make_unique<StopNavigDlg>(false); },
         [&](ResultDialog& d) { return std::vector{post(d, WM_COMMAND, 2)}; }, 2, 535},
        {"not found: show the map",
         [] { return std::make_unique<DestNotFoundMsgBox>(700, u"Vaduz"); },
         [&](ResultDialog&) { return std::vector{ScriptStep::TapAt(ButtonPoint(1))}; }, 1, 1069},
        {"not found: 1 counts as back",
         [] { return std::make_unique<DestNotFoundMsgBox>(700, u"Vaduz"); },
         [&](ResultDialog& d) { return std::vector{post(d, WM_COMMAND, 1)}; }, 1, 1068},
        {"stop log: other commands are only stored",
         [] { return std::make_unique<StopLogDlg>(701); },
         [&](ResultDialog& d) {
             return std::vector{post(d, WM_COMMAND, 5),
                                ScriptStep::Run([&d] { EXPECT_EQ(d.GetResult(), 5); }),
                                ScriptStep::TapAt(ButtonPoint(1))};
         },
         2, 2},
        {"without GPS: cancel", [] { return std::make_unique<NavWithoutGPSDlg>(); },
         [&](ResultDialog&) { return std::vector{ScriptStep::TapAt(ButtonPoint(0))}; }, 2, 2},
        {"without GPS: another command", [] { return std::make_unique<NavWithoutGPSDlg>(); },
         [&](ResultDialog& d) { return std::vector{post(d, WM_COMMAND, 5)}; }, 2, 0},
        {"without GPS: closed", [] { return std::make_unique<NavWithoutGPSDlg>(); },
         [&](ResultDialog& d) { return std::vector{post(d, WM_CLOSE, 0)}; }, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dialog = c.make();
        driver_.PlayWhenIdle(c.steps(*dialog));
        EXPECT_EQ(dialog->DoModal(page_), c.ended);
        EXPECT_EQ(dialog->GetResult(), c.result);
        EXPECT_FALSE(driver_.RanOutOfScript());
        driver_.RunUntilIdle();
    }
}

// Its layout section (with the background drawn from it) holds an entry for each button the
// stop dialog has and no other: the next destination's only on a tour.
TEST_F(MessageDialogTest, TheStopDialogsSectionHoldsTheButtonsItHas) {
    const std::pair<const char16_t*, UINT> buttons[] = {
        {u"Continue", 535}, {u"Menu", 470}, {u"Map", 430}, {u"NewDest", 534}, {u"NextDest", 1150}};
    for (const bool hasNextDestination : {false, true}) {
        SCOPED_TRACE(hasNextDestination);
        const StopNavigDlg dialog(hasNextDestination);
        for (const auto& [entry, id] : buttons) {
            const ScreenDescItem described =
                ScreenDesc::GetRectAndFlag(dialog.GetSection().c_str(), entry);
            EXPECT_EQ(described.kind == 2, dialog.FindItem(id) != nullptr) << id;
        }
    }
}

TEST_F(MessageDialogTest, TabRedrawsTheQuestionDialogs) {
    YesNoDlg dialog(701);
    RECT update{};
    driver_.PlayWhenIdle({
        ScriptStep::Run([&] { ValidateRect(dialog.GetWindow(), nullptr); }),
        ScriptStep::Run([&] {
            MSG key{};
            key.hwnd = dialog.GetWindow();
            key.message = WM_KEYDOWN;
            key.wParam = VK_TAB;
            key.lParam = MAKELPARAM(1, 15);
            EXPECT_EQ(SendMessageW(dialog.GetWindow(), WM_GETDLGCODE, VK_TAB,
                                   reinterpret_cast<LPARAM>(&key)),
                      1);
            GetUpdateRect(dialog.GetWindow(), &update, FALSE);
        }),
        ScriptStep::TapAt(ButtonPoint(0, POINT{20, 72})),
    });
    EXPECT_EQ(dialog.DoModal(page_), 1);
    EXPECT_TRUE(Same(update, RECT{0, 0, 200, 100}));
}

TEST_F(MessageDialogTest, VersionDialogSwitchesTheInputPanelOff) {
    auto isPanelOn = [] {
        SIPINFO info{};
        info.cbSize = 48;
        SHSipInfo(SPI_GETSIPINFO, 0, &info, 0);
        return (info.fdwFlags & SIPF_ON) != 0;
    };
    SIPINFO on{};
    on.cbSize = 48; // the size the shell expects
    on.fdwFlags = SIPF_ON;
    ASSERT_TRUE(SHSipInfo(SPI_SETSIPINFO, 0, &on, 0));
    ASSERT_TRUE(isPanelOn());
    VersionDlg dialog;
    EXPECT_FALSE(isPanelOn());
    EXPECT_EQ(dialog.FindItem(600)->text, u"About");
}

TEST_F(MessageDialogTest, ValueDialogsTakeTheEditText) {
    struct Case {
        const char* name;
        bool isFirstKind;
        std::vector<ScriptStep> steps;
        INT_PTR ended;
        int result;
        std::u16string value;
    };
    const Case cases[] = {
        {"OK stores 1125",
         true,
         {ScriptStep::Type(u"42"), ScriptStep::TapAt(ButtonPoint(1))},
         1,
         1125,
         u"427"},
        {"cancel keeps the value",
         true,
         {ScriptStep::Type(u"42"), ScriptStep::TapAt(ButtonPoint(0))},
         2,
         2,
         u"7"},
        {"stop log",
         false,
         {ScriptStep::Type(u"9"), ScriptStep::TapAt(ButtonPoint(0))},
         1124,
         1124,
         u"97"},
        {"check", false, {ScriptStep::TapAt(ButtonPoint(1))}, 1125, 1125, u"7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<ValueDlg> dialog = c.isFirstKind
                                               ? std::make_unique<ValueDlg>(701, u"7")
                                               : std::make_unique<ValueDlg1>(true, 701, u"7");
        RECT edit{};
        HWND focus = nullptr;
        std::vector<ScriptStep> steps{ScriptStep::Run([&] {
            HWND field = dialog->GetEdit()->GetWindow();
            edit = Bounds(field);
            focus = GetFocus();
            EXPECT_EQ(GetDlgCtrlID(field), 2000);
        })};
        steps.insert(steps.end(), c.steps.begin(), c.steps.end());
        driver_.PlayWhenIdle(steps);
        EXPECT_EQ(dialog->DoModal(page_), c.ended);
        EXPECT_EQ(dialog->GetResult(), c.result);
        EXPECT_EQ(dialog->GetValue(), c.value);
        EXPECT_FALSE(driver_.RanOutOfScript());
        driver_.RunUntilIdle();
        EXPECT_TRUE(Same(edit, RECT{40, 130, 225, 147})); // (20, 20), 185 x 17 in the dialog
        EXPECT_NE(focus, nullptr);
    }
}

TEST_F(MessageDialogTest, StreetBlockStepsInSinglePrecision) {
    struct Step {
        float from;
        bool isUp;
        float to;
    };
    const Step steps[] = {
        {4.9f, true, 5.5f},  {5.0f, false, 4.5f},  {0.0f, true, 0.1f},    {100.0f, false, 99.0f},
        {9.5f, true, 11.0f}, {0.05f, true, 0.05f}, {12.0f, false, 11.0f},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.from << (s.isUp ? " up" : " down"));
        EXPECT_EQ(s.isUp ? StreetBlockDlg::StepUp(s.from) : StreetBlockDlg::StepDown(s.from), s.to);
    }
}

TEST_F(MessageDialogTest, StreetBlockDialogShowsAndStoresTenths) {
    struct Case {
        const char* name;
        float initial;
        std::function<std::vector<ScriptStep>(StreetBlockDlg&)> steps;
        INT_PTR ended;
        double value;
        std::u16string shown;
    };
    const POINT origin{20, 72};
    auto setText = [](StreetBlockDlg& d, const char16_t* text) {
        return ScriptStep::Run([&d, text] { SetWindowTextW(d.GetEdit()->GetWindow(), text); });
    };
    const Case cases[] = {
        {"up", 4.9f,
         [&](StreetBlockDlg&) {
             return std::vector{ScriptStep::TapAt(ButtonPoint(2, origin, 80)),
                                ScriptStep::TapAt(ButtonPoint(1, origin, 80))};
         },
         1, 5.5, u"5.5"},
        {"the down key", 5.0f,
         [&](StreetBlockDlg&) {
             return std::vector{ScriptStep::Press(VK_DOWN),
                                ScriptStep::TapAt(ButtonPoint(1, origin, 80))};
         },
         1, 4.5, u"4.5"},
        {"a bad character", 1.0f,
         [&](StreetBlockDlg& d) {
             return std::vector{setText(d, u"4.x"), ScriptStep::Run([&d] {
                                    PostMessageW(d.GetWindow(), WM_COMMAND, 7, 0);
                                }),
                                ScriptStep::TapAt(ButtonPoint(1, origin, 80))};
         },
         1, 4.0, u"4.0"},
        {"cancel", 3.0f,
         [&](StreetBlockDlg&) {
             return std::vector{ScriptStep::TapAt(ButtonPoint(0, origin, 80))};
         },
         2, 3.0, u"3.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreetBlockDlg dialog(701, c.initial);
        std::u16string shown;
        std::vector<ScriptStep> steps = c.steps(dialog);
        steps.insert(steps.end() - 1, ScriptStep::Run([&] {
                         WCHAR text[32] = {};
                         GetWindowTextW(dialog.GetEdit()->GetWindow(), text, 32);
                         shown = text;
                     }));
        driver_.PlayWhenIdle(steps);
        EXPECT_EQ(dialog.DoModal(page_), c.ended);
        EXPECT_FALSE(driver_.RanOutOfScript());
        driver_.RunUntilIdle();
        EXPECT_FLOAT_EQ(static_cast<float>(dialog.GetValue()), static_cast<float>(c.value));
        if (c.ended == 1) {
            EXPECT_EQ(shown, c.shown);
        }
    }
}

} // namespace
