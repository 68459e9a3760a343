#include "app/settings/presettingspages.h"
#include "app/settings/volcntr.h"
#include "app/tests/pagedevice.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tests/layouttesting.h"
#include "ui/tmcmonitor.h"

#include "platform/sound/sound.h"
#include "platform/window/input.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using layouttesting::Device;

// Records what the pages ask of their sheet.
class RecordingSheet : public SettingsSheet {
public:
    void Close(bool apply) override { closes.push_back(apply); }
    void ShowPage(int index) override { shownPages.push_back(index); }
    std::vector<bool> closes;
    std::vector<int> shownPages;
};

// Every page's section: the common controls and the page's own buttons in a column.
testdata::ScreenDescWriter PresettingsDescription() {
    testdata::ScreenDescWriter writer;
    const std::vector<std::pair<const char16_t*, std::vector<const char16_t*>>> pages = {
        {u"NavigPage",
         {u"YesArrow", u"NoArrow", u"StaticYesArrow", u"StaticNoArrow", u"YesNorth", u"NoNorth",
          u"StaticYesNorth", u"StaticNoNorth", u"YesPoi", u"NoPoi", u"StaticYesPoi", u"StaticNoPoi",
          u"YesStreetInMap", u"NoStreetInMap", u"StaticYesStreetInMap", u"StaticNoStreetInMap"}},
        {u"MapPage", {u"YesPoi", u"NoPoi", u"statTextYesPoi", u"statTextNoPoi"}},
        {u"LogPage", {u"LogNav", u"UseLogNav", u"LogMoveMap", u"UseLogMoveMap"}},
        {u"FormatPage",
         {u"Kilometres", u"Miles", u"StaticKilometres", u"StaticMiles", u"12h", u"24h",
          u"Static12h", u"Static24h"}},
        {u"GpsConf", {u"TMCReceiver", u"statTMCReceiver"}},
        {u"VolCntr", {u"TurnUp", u"TurnDown"}},
    };
    for (const auto& [section, buttons] : pages) {
        writer.Section(section)
            .Size(240, 320)
            .Rect(u"Status", 10, 5, 230, 30)
            .Item(u"Combo", 10, 32, 230, 50, 8)
            .Item(u"ComboPorts", 10, 52, 230, 70, 8)
            .Item(u"Ok", 10, 250, 110, 270, 2)
            .Item(u"Cancel", 120, 250, 230, 270, 2)
            .Rect(u"RealLOGO", 10, 280, 70, 310)
            .Rect(u"RealGPS", 80, 280, 150, 310)
            .Rect(u"RealTMC", 160, 280, 230, 310);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            const int left = i % 2 == 0 ? 10 : 120;
            const int top = 75 + static_cast<int>(i / 2) * 20;
            writer.Item(buttons[i], left, top, left + 100, top + 18, 2);
        }
        if (std::u16string_view(section) == u"VolCntr") {
            writer.Rect(u"VolumeArea", 10, 120, 230, 160)
                .Rect(u"VolumeBar", 20, 130, 60, 150)
                .Rect(u"Loudness", 10, 100, 230, 118);
        }
    }
    writer.Section(u"Screen").Rect(u"RealGPS", 0, 0, 50, 14).Rect(u"RealTMC", 0, 0, 50, 14);
    return writer;
}

// One step on a page and what must hold afterwards.
struct PageStep {
    const char* name;
    UINT id;          // WM_COMMAND from this control; 0: a key; 1: SetInitialFocus
    WORD code;        // the notification, or the virtual key
    UINT focusBefore; // recorded as focused first; 0 keeps it
    UINT focusAfter;  // the recorded focused control afterwards
    std::vector<int> values;
    std::vector<std::pair<UINT, int>> states; // state buttons and their states
};

class PresettingsPageTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device_.isReady); }
    void TearDown() override { SetPresettingsPageIndex(0); }

    HWND Create(SettingsPage& page) {
        HWND window = layouttesting::CreatePageWindow(page, 240, 320);
        EXPECT_NE(window, nullptr);
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(240, 320));
        driver_.RunUntilIdle();
        return window;
    }

    void Run(SettingsPage& page, const std::vector<PageStep>& steps,
             const std::function<std::vector<int>()>& values) {
        HWND window = Create(page);
        for (const PageStep& step : steps) {
            SCOPED_TRACE(step.name);
            if (step.focusBefore != 0) {
                page.SetFocusId(step.focusBefore);
            }
            if (step.id == 0) {
                SendMessageW(window, WM_KEYDOWN, step.code, 0);
            } else if (step.id == 1) {
                page.SetInitialFocus();
            } else {
                SendMessageW(
                    window, WM_COMMAND, MAKEWPARAM(step.id, step.code),
                    reinterpret_cast<LPARAM>(GetDlgItem(window, static_cast<int>(step.id))));
            }
            driver_.RunUntilIdle();
            EXPECT_EQ(page.GetFocusId(), step.focusAfter);
            EXPECT_EQ(values(), step.values);
            for (const auto& [id, state] : step.states) {
                const auto button = page.FindControl(id);
                ASSERT_NE(button, nullptr) << id;
                EXPECT_EQ(button->GetState(), state) << id;
            }
        }
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    Device device_{240, 320, PresettingsDescription()};
    RecordingSheet sheet_;
};

TEST_F(PresettingsPageTest, NavigPageChoosesMovesGroupByGroupAndSwapsPartners) {
    NavigPage page(&sheet_, true, true, false, true);
    const auto values = [&page] {
        return std::vector<int>{page.GetArrow(), page.GetNorth(), page.GetPoi(), page.GetStreets()};
    };
    Run(page,
        {
            {"initial focus from the combo", 1, 0, 100, 547, {1, 1, 0, 1}, {{1053, 1}, {1055, 0}}},
            {"arrow off", 1055, 0, 0, 548, {0, 1, 0, 1}, {{1053, 0}, {1055, 1}}},
            {"arrow on by its text", 547, 0, 0, 547, {1, 1, 0, 1}, {{1053, 1}, {1055, 0}}},
            {"tab to north", 548, kFocusMoveNotification, 0, 549, {1, 1, 0, 1}, {}},
            {"tab to the chosen poi", 1047, kFocusMoveNotification, 0, 546, {1, 1, 0, 1}, {}},
            {"tab to streets", 1049, kFocusMoveNotification, 0, 1103, {1, 1, 0, 1}, {}},
            {"tab to OK", 1108, kFocusMoveNotification, 0, 542, {1, 1, 0, 1}, {}},
            {"down swaps poi", 0, VK_DOWN, 546, 545, {1, 1, 1, 1}, {{1049, 1}, {1051, 0}}},
            {"up swaps north", 0, VK_UP, 549, 550, {1, 0, 1, 1}, {{1045, 0}, {1047, 1}}},
            {"north off stays", 1047, 0, 0, 550, {1, 0, 1, 1}, {{1045, 0}, {1047, 1}}},
            {"street names off", 1104, 0, 0, 1104, {1, 0, 1, 0}, {{1106, 0}, {1108, 1}}},
            {"initial focus of streets", 1, 0, 1103, 1104, {1, 0, 1, 0}, {}},
            {"initial focus elsewhere", 1, 0, 542, 542, {1, 0, 1, 0}, {}},
            {"up on OK does nothing", 0, VK_UP, 542, 542, {1, 0, 1, 0}, {}},
        },
        values);
}

TEST_F(PresettingsPageTest, FormatPageSwitchesUnitsAndClockAtOnce) {
    FormatPage page(&sheet_, true, false);
    const auto values = [&page] {
        return std::vector<int>{page.GetKilometres(), page.GetTwelveHours()};
    };
    Run(page,
        {
            {"initial focus from the combo", 1, 0, 100, 1215, {1, 0}, {{1222, 1}, {1228, 1}}},
            {"down gives miles", 0, VK_DOWN, 1215, 1216, {0, 0}, {{1222, 0}, {1224, 1}}},
            {"tab to the time", 1224, kFocusMoveNotification, 0, 1218, {0, 0}, {}},
            {"12 hours", 1226, 0, 0, 1217, {0, 1}, {{1226, 1}, {1228, 0}}},
            {"tab to OK", 1217, kFocusMoveNotification, 0, 542, {0, 1}, {}},
            {"kilometres", 1215, 0, 0, 1215, {1, 1}, {{1222, 1}, {1224, 0}}},
        },
        values);
}

TEST_F(PresettingsPageTest, MapPageMovesOnlyToOkAndKeepsTheLastMapValue) {
    MapPage page(&sheet_, 7, true);
    const auto values = [&page] { return std::vector<int>{page.GetPoi(), page.GetShowLastMap()}; };
    Run(page,
        {
            {"initial focus", 1, 0, 100, 545, {1, 7}, {{1058, 1}, {1061, 0}}},
            {"off by click: focus not recorded", 1061, 0, 0, 545, {0, 7}, {{1058, 0}, {1061, 1}}},
            {"tab from anywhere to OK", 545, kFocusMoveNotification, 0, 542, {0, 7}, {}},
            {"up chooses the other", 0, VK_UP, 546, 545, {1, 7}, {{1058, 1}, {1061, 0}}},
            {"initial focus follows the value", 1, 0, 0, 545, {1, 7}, {}},
        },
        values);
}

TEST_F(PresettingsPageTest, LogPageTogglesAndMovesToOk) {
    LogPage page(&sheet_, false, true);
    const auto values = [&page] {
        return std::vector<int>{page.GetNavigation(), page.GetMovingMap()};
    };
    Run(page,
        {
            {"initial focus", 1, 0, 100, 1174, {0, 1}, {{1177, 0}, {1179, 1}}},
            {"navigation on", 1177, 0, 0, 1174, {1, 1}, {{1177, 1}}},
            {"moving map off", 1175, 0, 0, 1175, {1, 0}, {{1179, 0}}},
            {"tab from navigation", 1174, kFocusMoveNotification, 0, 1175, {1, 0}, {}},
            {"tab from moving map", 1179, kFocusMoveNotification, 0, 542, {1, 0}, {}},
            {"initial focus of moving map", 1, 0, 1179, 1175, {1, 0}, {}},
            {"keys do nothing", 0, VK_UP, 1175, 1175, {1, 0}, {}},
        },
        values);
}

TEST_F(PresettingsPageTest, GpsConfSelectsPortsByValue) {
    std::vector<int> oneToSixteen;
    for (int port = 1; port <= 16; ++port) {
        oneToSixteen.push_back(port);
    }
    const struct {
        const char* name;
        std::vector<int> ports;
        int port;
        int selectedAtStart;
        int choose;         // entry chosen by the user; -1: none
        int selectedAfter6; // after notification 6
        int portAfter;
    } cases[] = {
        {"1 to 16, port 3", oneToSixteen, 3, 2, -1, 2, 3},
        {"2 to 5, port 3", {2, 3, 4, 5}, 3, 1, -1, 1, 3},
        {"2 to 5, choose COM 5", {2, 3, 4, 5}, 3, 1, 3, 3, 5},
        {"port not listed", {2, 3, 4, 5}, 9, 0, -1, 0, 9},
        {"empty list", {}, 1, -1, -1, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GpsConf page(&sheet_, c.port, true, c.ports);
        HWND window = Create(page);
        HWND combo = page.GetPortsCombo();
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(c.ports.size()));
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selectedAtStart);
        if (c.choose >= 0) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(c.choose), 0);
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(GpsConf::kPortsId, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
        }
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(GpsConf::kPortsId, 6),
                     reinterpret_cast<LPARAM>(combo));
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selectedAfter6);
        EXPECT_EQ(page.GetPort(), c.port == 9 || c.choose < 0 ? c.port : c.portAfter);
        EXPECT_EQ(page.GetFocusId(), GpsConf::kTmcTextId);
        // The TMC receiver toggles by either button; Tab then leads to OK.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(GpsConf::kTmcStateId, 0), 0);
        EXPECT_FALSE(page.GetTmcReceiver());
        EXPECT_EQ(page.FindControl(GpsConf::kTmcStateId)->GetState(), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(GpsConf::kTmcTextId, kFocusMoveNotification),
                     0);
        EXPECT_EQ(page.GetFocusId(), GpsConf::kTmcTextId);
        page.SetFocusId(SettingsPage::kOkId);
        page.SetInitialFocus();
        EXPECT_EQ(page.GetFocusId(), GpsConf::kPortsId);
        driver_.RunUntilIdle();
    }
}

TEST_F(PresettingsPageTest, CommonControlsSwitchPagesCloseAndRingTheFocus) {
    SetPresettingsPageIndex(0);
    LogPage page(&sheet_, false, false);
    HWND window = Create(page);
    HWND combo = page.GetPageCombo();
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 6);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kComboId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(GetPresettingsPageIndex(), 3);
    EXPECT_EQ(sheet_.shownPages, std::vector<int>{3});
    // A Tab a button forwards (scan code 15) moves on from the focused button.
    HWND navigation = GetDlgItem(window, 1174);
    ASSERT_NE(navigation, nullptr);
    SetFocus(navigation);
    SendMessageW(window, WM_KEYDOWN, VK_TAB, MAKELPARAM(1, 15));
    EXPECT_EQ(page.GetFocusId(), 1175U);
    EXPECT_EQ(GetFocus(), GetDlgItem(window, 1175));
    // The focus ring: OK -> Cancel -> combo.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kOkId, kFocusMoveNotification), 0);
    EXPECT_EQ(page.GetFocusId(), SettingsPage::kCancelId);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kCancelId, kFocusMoveNotification),
                 0);
    EXPECT_EQ(page.GetFocusId(), SettingsPage::kComboId);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kComboId, kFocusMoveNotification), 0);
    EXPECT_EQ(page.GetFocusId(), 1174U);
    // Cancel and OK close the sheet and start the next opening on the first page.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kCancelId, 0), 0);
    EXPECT_EQ(GetPresettingsPageIndex(), 0);
    SetPresettingsPageIndex(4);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(SettingsPage::kOkId, 0), 0);
    EXPECT_EQ(GetPresettingsPageIndex(), 0);
    EXPECT_EQ(sheet_.closes, (std::vector<bool>{false, true}));
    driver_.RunUntilIdle();
}

// Says nothing itself; records what it is asked to say.
class RecordingVoice : public IVoiceOutput {
public:
    explicit RecordingVoice(std::vector<std::u16string>* said)
        : m_said(said) {}
    bool Init(const std::u16string&, const std::u16string&) override { return true; }
    bool Say(const std::u16string& text) override {
        m_said->push_back(text);
        return true;
    }
    const char* GetStatusText() const override { return "OK"; }
    bool Stop() override { return true; }
    bool Shutdown() override { return true; }

private:
    std::vector<std::u16string>* m_said;
};

TEST_F(PresettingsPageTest, VolumeStepsSayTheDirectionAndShowTheDeviceLevel) {
    const struct {
        const char* name;
        unsigned deviceSteps;      // 0: exact device
        DWORD deviceVolume;        // before the page is made
        std::vector<UINT> presses; // Up (974, 1199) or Down (970, 1201)
        std::vector<std::int32_t> levels;
        std::vector<std::u16string> said; // after each press; "" for silence
    } cases[] = {
        // Levels are read back: n % is set as n x 655.35 and reads as n - 1 for most n.
        {"95 % up to full, then silent",
         0,
         0xF333F333,
         {974, 1199, 970},
         {100, 100, 89},
         {u"[lauter]", u"", u"[leiser]"}},
        {"5 % down to 0, silent",
         0,
         0x0CCD0CCD,
         {970, 1201, 1199},
         {0, 0, 9},
         {u"", u"", u"[lauter]"}},
        {"louder channel counts", 0, 0x0000F333, {1201}, {84}, {u"[leiser]"}},
        {"rounding device", 4, 0xFFFFFFFF, {970, 970}, {100, 100}, {u"[leiser]", u"[leiser]"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::SetVolumeSteps(c.deviceSteps);
        ASSERT_EQ(waveOutSetVolume(nullptr, c.deviceVolume), MMSYSERR_NOERROR);
        std::vector<std::u16string> said;
        VolCntr page(&sheet_, 1, 1, 42, six::RefCntPtr<IVoiceOutput>(new RecordingVoice(&said)));
        HWND window = Create(page);
        EXPECT_EQ(page.FindControl(VolCntr::kUpId)->GetState(), 0);
        EXPECT_EQ(page.FindControl(VolCntr::kDownId)->GetState(), 0);
        for (std::size_t i = 0; i < c.presses.size(); ++i) {
            SCOPED_TRACE(i);
            said.clear();
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(c.presses[i], 0), 0);
            EXPECT_EQ(page.GetCurrentLevel(), c.levels[i]);
            EXPECT_EQ(page.GetVolume(), c.levels[i]);
            EXPECT_EQ(said, c.said[i].empty() ? std::vector<std::u16string>{}
                                              : std::vector<std::u16string>{c.said[i]});
            const RECT bar = page.GetBarRect();
            EXPECT_EQ(bar.left, 20);
            EXPECT_EQ(bar.right - bar.left, static_cast<int>(c.levels[i] * 0.01 * 124.0));
        }
        driver_.RunUntilIdle();
    }
    platform::SetVolumeSteps(0);
    ASSERT_EQ(waveOutSetVolume(nullptr, 0xFFFFFFFF), MMSYSERR_NOERROR);
}

TEST_F(PresettingsPageTest, VolumeFocusMovesFromUpToOk) {
    VolCntr page(&sheet_, 0, 0, 50, six::RefCntPtr<IVoiceOutput>());
    const auto values = [] { return std::vector<int>{}; };
    Run(page,
        {
            {"initial focus", 1, 0, 100, VolCntr::kUpTextId, {}, {}},
            {"tab on up", VolCntr::kUpId, kFocusMoveNotification, 0, VolCntr::kUpTextId, {}, {}},
            {"tab on down", VolCntr::kDownTextId, kFocusMoveNotification, 0, 542, {}, {}},
            {"initial focus of down", 1, 0, VolCntr::kDownId, VolCntr::kDownTextId, {}, {}},
            {"silent without a voice", VolCntr::kDownTextId, 0, 0, VolCntr::kDownTextId, {}, {}},
        },
        values);
}

// A presettings page that becomes active takes the indicators over and, while the TMC message
// page is shown, activates that page again and leaves it in front.
TEST_F(PresettingsPageTest, ActivationLeavesTheShownTmcPageInFront) {
    const struct {
        const char* name;
        bool tmcPageShown;
    } cases[] = {{"TMC page shown", true}, {"TMC page hidden", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FormatPage page(&sheet_, true, false);
        HWND window = Create(page);
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(window, c.tmcPageShown);
        EXPECT_EQ(seen.pageActivations, c.tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, c.tmcPageShown);
        EXPECT_EQ(TmcMonitor::Instance().GetOwnerWindow(), GetDlgItem(window, 1143));
        EXPECT_EQ(GpsStateMonitor::Instance().GetIndicatorWindow(), GetDlgItem(window, 1138));
    }
    TmcMonitor::Instance().SetOwnerWindow(nullptr);
    GpsStateMonitor::Instance().SetIndicatorWindow(nullptr);
}

} // namespace
