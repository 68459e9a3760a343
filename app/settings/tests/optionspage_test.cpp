#include "app/settings/gpssimulationfloatdlg.h"
#include "app/settings/optionspage.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "testdata/golden.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/dialogbase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

struct Choices {
    bool quickest, highways, ferries, tolls, dynamic;
    friend bool operator==(const Choices&, const Choices&) = default;
};

Choices ChoicesOf(const OptionsPage& page) {
    return {page.IsQuickest(), page.AllowsHighways(), page.AllowsFerries(), page.AllowsTolls(),
            page.IsDynamic()};
}

// The options pages on the demo layout over a recording mode.
class OptionsPageTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ResourceBundle bundle;
        bundle.strings = {
            {558, u"Value:"},   {320, u"Cancel"},         {420, u"Navigation"}, {501, u"Start"},
            {560, u"Tour"},     {561, u"Menu"},           {562, u"Map"},        {563, u"Motorways"},
            {564, u"Ferries"},  {565, u"Toll roads"},     {579, u"Quickest"},   {580, u"Shortest"},
            {1023, u"Options"}, {1058, u"not a picture"}, {1100, u"Allow"},     {1131, u"Dynamic"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
    }
    void TearDown() override {
        OptionsPage::SetValueDialog(nullptr);
        apptesting::RemovePageDevice(m_module);
    }
    template <typename Page> std::unique_ptr<Page> Open() {
        auto page = std::make_unique<Page>(false, false, false, false, true);
        page->SetMode(&m_mode);
        ShowPageWindow(page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        m_mode.ClearCalls();
        return page;
    }
    static void Command(OptionsPage& page, UINT id, WORD code) {
        SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
    }
    static void Focus(OptionsPage& page, UINT id) {
        SetFocus(GetDlgItem(page.GetHwnd(), static_cast<int>(id)));
    }
    static UINT FocusedId() { return static_cast<UINT>(GetDlgCtrlID(GetFocus())); }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    RecordingMode m_mode;
};

TEST_F(OptionsPageTest, ClicksChooseTheRouteKindAndToggleTheSwitches) {
    struct Row {
        std::vector<UINT> clicks;
        Choices expected;
        UINT focused;
    };
    const Row rows[] = {
        {{}, {false, false, false, false, true}, 501},
        {{579}, {true, false, false, false, false}, 579},
        {{1058, 1131}, {true, false, false, false, true}, 1131},
        {{1131, 580}, {false, false, false, false, false}, 580},
        {{1061, 1132}, {false, false, false, false, true}, 1131},
        {{563}, {false, true, false, false, true}, 563},
        {{1069, 563}, {false, false, false, false, true}, 563},
        {{564, 1092}, {false, false, true, true, true}, 565},
        {{1082, 565, 565}, {false, false, true, false, true}, 565},
    };
    for (const Row& row : rows) {
        auto page = Open<NavOptPage>();
        for (const UINT id : row.clicks) {
            Command(*page, id, 0);
        }
        EXPECT_EQ(ChoicesOf(*page), row.expected) << row.clicks.size();
        EXPECT_EQ(FocusedId(), row.focused);
        EXPECT_EQ(page->GetFocusId(), row.focused);
        EXPECT_TRUE(m_mode.Calls().empty());
    }
}

TEST_F(OptionsPageTest, StateButtonsShowTheChoicesAsPicturesOnly) {
    auto page = Open<NavOptPage>();
    Command(*page, 579, 0);
    Command(*page, 564, 0);
    const struct {
        UINT id;
        BYTE state;
    } rows[] = {{1058, 1}, {1061, 0}, {1132, 0}, {1069, 0}, {1082, 1}, {1092, 0}};
    for (const auto& row : rows) {
        const auto button = page->FindControl(row.id);
        ASSERT_NE(button, nullptr) << row.id;
        EXPECT_EQ(button->GetState(), row.state) << row.id;
        char16_t text[32] = {};
        GetWindowTextW(GetDlgItem(page->GetHwnd(), static_cast<int>(row.id)), text, 32);
        EXPECT_EQ(std::u16string(text), u"") << row.id;
    }
}

TEST_F(OptionsPageTest, FocusMovesFollowTheirOwnRules) {
    struct Row {
        UINT from;
        UINT to;
    };
    // 579/580 jump past the route kinds; Cancel returns to the chosen kind (dynamic here).
    const Row rows[] = {{579, 563},  {1061, 563}, {1131, 563}, {563, 564}, {565, 501},
                        {320, 1131}, {501, 561},  {561, 320},  {1092, 501}};
    for (const Row& row : rows) {
        auto page = Open<NavOptPage>();
        Command(*page, row.from, kFocusMoveNotification);
        EXPECT_EQ(page->GetFocusId(), row.to) << row.from;
        EXPECT_EQ(ChoicesOf(*page), (Choices{false, false, false, false, true}));
    }
}

TEST_F(OptionsPageTest, UpAndDownRunThroughTheRouteKindsWithoutWrapping) {
    struct Row {
        UINT focused;
        UINT key;
        UINT focusAfter;
        Choices expected;
    };
    const Row rows[] = {
        {1131, VK_UP, 1131, {false, false, false, false, true}},
        {1131, VK_DOWN, 579, {true, false, false, false, false}},
        {579, VK_DOWN, 580, {false, false, false, false, false}},
        {579, VK_UP, 1131, {false, false, false, false, true}},
        {580, VK_UP, 579, {true, false, false, false, false}},
        {563, VK_UP, 563, {false, false, false, false, true}},
    };
    for (const Row& row : rows) {
        auto page = Open<NavOptPage>();
        Focus(*page, row.focused);
        if (row.focused == 580) {
            Command(*page, 580, 0);
        }
        SendMessageW(page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        EXPECT_EQ(FocusedId(), row.focusAfter) << row.focused << " " << row.key;
        EXPECT_EQ(ChoicesOf(*page), row.expected) << row.focused << " " << row.key;
    }
    // Down from shortest changes nothing.
    auto page = Open<NavOptPage>();
    Command(*page, 580, 0);
    SendMessageW(page->GetHwnd(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(FocusedId(), 580u);
    EXPECT_EQ(ChoicesOf(*page), (Choices{false, false, false, false, false}));
}

TEST_F(OptionsPageTest, SetFocusEnablesAllAndReturnsToTheRecordedOrChosenControl) {
    struct Row {
        UINT recorded;
        bool quickest;
        UINT focused;
    };
    const Row rows[] = {{565, false, 565},
                        {320, false, 320},
                        {1058, true, 579},
                        {1023, false, 1131},
                        {0, false, 1131}};
    for (const Row& row : rows) {
        auto page = Open<NavOptPage>();
        if (row.quickest) {
            Command(*page, 579, 0);
        }
        SendMessageW(page->GetHwnd(), WM_COMMAND, MAKEWPARAM(501, 0), 0); // disables all
        ASSERT_FALSE(page->IsControlEnabled(563));
        page->SetFocusId(row.recorded);
        SendMessageW(page->GetHwnd(), WM_SETFOCUS, 0, 0);
        EXPECT_TRUE(page->IsControlEnabled(563));
        EXPECT_TRUE(page->IsControlEnabled(501));
        EXPECT_EQ(FocusedId(), row.focused) << row.recorded;
    }
}

TEST_F(OptionsPageTest, ClosingTellsTheModeByPageAndSetting) {
    struct Row {
        bool isRoutePage;
        UINT click;
        const char* navSetting; // null: no "Nav" key
        bool startSideFailure;
        Calls calls;
        bool hidden;
    };
    const Row rows[] = {
        {false, 501, nullptr, false, {"OnPageCommand(4)"}, false},
        {false, 501, "0", false, {"OnPageCommand(4)"}, false},
        {false, 501, "1", false, {"ControlLogbook(0, 1)", "OnPageCommand(4)"}, false},
        {false, 320, "1", false, {"Activate()"}, true},
        {false, 561, nullptr, false, {"Deactivate(1)"}, false},
        {true, 562, "1", false, {"OnPageCommand(3)"}, true},
        {true, 320, nullptr, false, {"IsStartSideFailure()", "OnPageCommand(1)"}, true},
        {true, 320, nullptr, true, {"IsStartSideFailure()", "OnPageCommand(0)"}, true},
        {true, 561, nullptr, false, {"Deactivate(1)"}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.isRoutePage << " " << row.click);
        const std::string settings =
            row.navSetting != nullptr
                ? std::string("[Preferences]\r\nNav=") + row.navSetting + "\r\n"
                : std::string("[Preferences]\r\nLastKnownCountry=2\r\n");
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(), settings));
        m_mode.script.isStartSideFailure = row.startSideFailure;
        std::unique_ptr<OptionsPage> page;
        if (row.isRoutePage) {
            page = Open<RouteOptPage>();
        } else {
            page = Open<NavOptPage>();
        }
        Command(*page, row.click, 0);
        EXPECT_EQ(m_mode.Calls(), row.calls);
        EXPECT_EQ(IsWindowVisible(page->GetHwnd()) == FALSE, row.hidden);
        const bool proceeded = row.click == 501 || row.click == 562;
        EXPECT_EQ(page->IsControlEnabled(579), !proceeded);
        if (!row.calls.empty() && row.calls.back().rfind("OnPageCommand", 0) == 0) {
            EXPECT_EQ(m_mode.LastCaller(), page->GetHwnd());
        }
    }
}

TEST_F(OptionsPageTest, CtrlShiftRTakesTheValueOnlyWhenConfirmed) {
    struct Row {
        bool control, shift;
        WPARAM key;
        bool confirms;
        bool runs;
        float expected;
    };
    const Row rows[] = {
        {true, true, 'R', true, true, 2.5f},
        {true, true, 'R', false, true, -1.0f},
        {true, false, 'R', true, false, -1.0f},
        {false, true, 'R', true, false, -1.0f},
        {true, true, 'S', true, false, -1.0f},
        // The code of 'r' is F3's: a key-down message gives the letter upper case only.
        {true, true, VK_F3, true, false, -1.0f}};
    for (const Row& row : rows) {
        std::vector<float> shown;
        OptionsPage::SetValueDialog([&](HWND, float& value) {
            shown.push_back(value);
            value = 2.5f;
            return row.confirms;
        });
        auto page = Open<NavOptPage>();
        if (row.control) {
            platform::InjectKey(VK_CONTROL, true);
        }
        if (row.shift) {
            platform::InjectKey(VK_SHIFT, true);
        }
        m_driver.RunUntilIdle();
        SendMessageW(page->GetHwnd(), WM_KEYDOWN, row.key, 0);
        platform::InjectKey(VK_CONTROL, false);
        platform::InjectKey(VK_SHIFT, false);
        m_driver.RunUntilIdle();
        EXPECT_FLOAT_EQ(page->GetSimulationValue(), row.expected) << row.key;
        // The dialog starts from the page's value.
        EXPECT_EQ(shown, row.runs ? std::vector<float>{-1.0f} : std::vector<float>{});
    }
}

TEST_F(OptionsPageTest, TheValueDialogShowsTheValueAndReadsANumberOnOk) {
    struct Row {
        const char16_t* typed; // null: left as shown
        const char16_t* keyed; // typed on the keys as the dialog opens
        UINT command;
        float expected;
        const char16_t* shownSecond; // what the dialog shows the second time
    };
    const Row rows[] = {{u"2.5", u"", 1, 2.5f, u"2.500000"},
                        {u"abc", u"", 1, 0.0f, u"0.000000"},
                        {u"-3.25e1xyz", u"", 1, -32.5f, u"-32.500000"},
                        {u"7", u"", 2, -1.0f, u"-1.000000"},
                        {nullptr, u"", 1, -1.0f, u"-1.000000"},
                        // The field has the focus with its value selected: keys replace it.
                        {nullptr, u"3", 1, 3.0f, u"3.000000"}};
    for (const Row& row : rows) {
        auto page = Open<NavOptPage>();
        std::vector<std::u16string> shown;
        GpsSimulationFloatDlg* dialog = nullptr;
        const auto answer = [&](bool type, UINT command) {
            std::vector<platform::ScriptStep> steps{platform::ScriptStep::Run([&, type] {
                dialog = dynamic_cast<GpsSimulationFloatDlg*>(
                    DialogBase::FromWindow(FindWindowW(u"Dialog", nullptr)));
                ASSERT_NE(dialog, nullptr);
                HWND edit = dialog->GetEdit()->GetWindow();
                char16_t text[64] = {};
                GetWindowTextW(edit, text, 64);
                shown.emplace_back(text);
                if (type && row.typed != nullptr) {
                    SetWindowTextW(edit, row.typed);
                }
            })};
            if (type && row.keyed[0] != u'\0') {
                steps.push_back(platform::ScriptStep::Type(row.keyed));
            }
            steps.push_back(platform::ScriptStep::Run([&, command] {
                if (dialog != nullptr) {
                    PostMessageW(dialog->GetWindow(), WM_COMMAND, command, 0);
                }
            }));
            return steps;
        };
        const auto press = [&](std::vector<platform::ScriptStep> steps) {
            platform::InjectKey(VK_CONTROL, true);
            platform::InjectKey(VK_SHIFT, true);
            m_driver.RunUntilIdle();
            m_driver.PlayWhenIdle(std::move(steps));
            SendMessageW(page->GetHwnd(), WM_KEYDOWN, 'R', 0);
            platform::InjectKey(VK_CONTROL, false);
            platform::InjectKey(VK_SHIFT, false);
            m_driver.RunUntilIdle();
        };
        press(answer(true, row.command));
        EXPECT_FLOAT_EQ(page->GetSimulationValue(), row.expected);
        press(answer(false, 2));
        EXPECT_EQ(shown, (std::vector<std::u16string>{u"-1.000000", row.shownSecond}));
    }
}

// Both pages at the demo layout with the English bundle: quickest chosen, ferries allowed.
// An options page that becomes active while the TMC message page is shown activates that page
// again and leaves it in front.
TEST_F(OptionsPageTest, ActivationLeavesTheShownTmcPageInFront) {
    for (const bool tmcPageShown : {true, false}) {
        SCOPED_TRACE(tmcPageShown);
        auto page = Open<NavOptPage>();
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(page->GetHwnd(), tmcPageShown);
        EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, tmcPageShown);
    }
}

TEST_F(OptionsPageTest, GoldenPagesOfBothPages) {
    const auto english =
        testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGE_DIR) / "LangEngCE.dll");
    ASSERT_TRUE(english && m_root.WriteFile(u"\\Windows\\LangEngCE.dll", *english));
    platform::SetResourceInstance(nullptr);
    (void)FreeLibrary(m_module);
    m_module = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(m_module, nullptr);
    platform::SetResourceInstance(m_module);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    for (const bool isRoutePage : {false, true}) {
        HDC screen = GetDC(nullptr);
        RECT all{0, 0, 240, 320};
        FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(nullptr, screen);
        std::unique_ptr<OptionsPage> page;
        if (isRoutePage) {
            page = Open<RouteOptPage>();
        } else {
            page = Open<NavOptPage>();
        }
        Command(*page, OptionsPage::kQuickestId, 0);
        Command(*page, OptionsPage::kFerriesId, 0);
        InvalidateRect(page->GetHwnd(), nullptr, TRUE);
        m_driver.RunUntilIdle();
        EXPECT_TRUE(testdata::WindowMatchesGolden(page->GetHwnd(), NAV_APP_SETTINGS_DIR,
                                                  isRoutePage ? "routeoptpage" : "navoptpage"));
        page.reset();
        m_driver.RunUntilIdle();
    }
    platform::SetFontFile({});
}

} // namespace
