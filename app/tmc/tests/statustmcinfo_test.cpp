#include "app/tmc/statustmcinfo.h"
#include "testdata/golden.h"
#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "ui/pagebase.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::filesystem::path kTmcPageFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

testdata::ScreenDescWriter TmcPageDescription() {
    testdata::ScreenDescWriter writer;
    for (const char16_t* section : {u"TMCDlg", u"ListDlg"}) {
        writer.Section(section)
            .Size(240, 320)
            .Rect(u"Status", 10, 5, 230, 30)
            .Rect(u"Title", 10, 32, 230, 50)
            .Rect(u"Items", 10, 52, 230, 240)
            .Rect(u"StatusTmcInfo", 10, 244, 230, 260)
            .Rect(u"Cancel", 10, 264, 110, 284)
            .Rect(u"OK", 130, 264, 230, 284)
            .Rect(u"RealLOGO", 10, 290, 70, 315)
            .Rect(u"RealGPS", 80, 290, 150, 315)
            .Rect(u"RealTMC", 160, 290, 230, 315);
    }
    return writer;
}

// A device with the language library and the page layout, the screen at 240 x 320.
class TmcPageTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile(kTmcPageFont);
        platform::ResourceBundle bundle;
        bundle.strings = {
            {1047, u"OK"},     {1128, u"Titel"},         {1130, u"Abbrechen"},
            {1138, u"GPS"},    {1143, u"TMC"},           {1148, u"Verkehrsmeldungen"},
            {1186, u"Status"}, {1187, u"Aktualisieren"}, {1188, u"Aktuelle Nachrichten"}};
        module_ = windowtesting::LoadLanguage(root_, bundle);
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        ASSERT_TRUE(
            root_.WriteFile(AppPaths::GetScreenDescFilePath(), TmcPageDescription().Build()));
        windowtesting::RegisterRecordingClass(u"TmcLastPage");
        lastPage_ = CreateWindowExW(0, u"TmcLastPage", u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                    nullptr, nullptr, nullptr);
        SetLastActivePageWindow(nullptr);
    }
    void TearDown() override {
        page_.reset();
        TmcMonitor::Instance().SetDialog(nullptr);
        TmcMonitor::Instance().SetOwnerWindow(nullptr);
        while (!TmcMonitor::Instance().GetLineIds().empty())
            TmcMonitor::Instance().RemoveEntry(TmcMonitor::Instance().GetLineIds().front());
        DestroyWindow(lastPage_);
        SetLastActivePageWindow(nullptr);
        ShowTaskBar(nullptr, true);
        platform::SetResourceInstance(nullptr);
        FreeLibrary(module_);
        platform::SetFontFile({});
    }

    StatusTmcInfo& Open(std::vector<std::u16string> lines, StatusTmcInfo::Mode mode,
                        std::vector<UINT> icons = {}) {
        page_ = std::make_unique<StatusTmcInfo>(
            std::move(lines), u"Title", 1148,
            mode == StatusTmcInfo::kTmcMode ? u"TMCDlg" : u"ListDlg", mode, std::move(icons));
        page_->Show();
        driver_.RunUntilIdle();
        page_->RefreshList();
        return *page_;
    }
    // The page layout of the demo install instead of the test's own.
    void UseDemoLayout() {
        const auto demo = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
        ASSERT_TRUE(demo.has_value());
        ASSERT_TRUE(root_.WriteFile(AppPaths::GetScreenDescFilePath(), *demo));
    }
    // Pages without a background picture leave the screen beneath as it is: black first.
    static void ClearScreen(int width, int height) {
        HDC screen = GetDC(nullptr);
        RECT all{0, 0, width, height};
        FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(nullptr, screen);
    }
    std::vector<std::u16string> Shown() const {
        std::vector<std::u16string> texts;
        const CustomListBox* list = page_->GetListBox();
        for (int i = 0; i < list->GetCount(); ++i)
            texts.push_back(list->GetText(i));
        return texts;
    }
    int Selected() const { return page_->GetListBox()->GetCurSel(); }
    void Press(UINT key) {
        SendMessageW(page_->GetHwnd(), WM_KEYDOWN, key, 0);
        driver_.RunUntilIdle();
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    testdata::TempDeviceRoot root_;
    HMODULE module_ = nullptr;
    HWND lastPage_ = nullptr;
    std::unique_ptr<StatusTmcInfo> page_;
};

const std::vector<std::u16string> kRoadLines = {u"FL\nB 3 Vaduz\n", u"FL\nA 66 Schaan\n",
                                                u"FL\nA 3 Balzers\n", u"FL\nL 1 Triesen\n"};

TEST_F(TmcPageTest, LinesWithIconsAreGroupedByRoadWithoutIconsKeptAsGiven) {
    for (std::uint32_t id = 1; id <= 4; ++id)
        TmcMonitor::Instance().AddEntry(TmcListEntry{id, u"x", u"y", true});
    const struct {
        const char* name;
        std::vector<UINT> icons;
        std::vector<std::u16string> shown;
    } cases[] = {
        {"with icons", {3, 4, 4, 3}, {kRoadLines[2], kRoadLines[1], kRoadLines[0], kRoadLines[3]}},
        {"without icons", {}, kRoadLines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(kRoadLines, StatusTmcInfo::kTmcMode, c.icons);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Selected(), 0);
    }
}

TEST_F(TmcPageTest, LetterJumpAndArrowsStayWithinTheList) {
    Open({u"Amt", u"Berg", u"Burg", u"Bach", u"Dorf", u"Bad", u"dach"}, StatusTmcInfo::kListMode);
    const struct {
        const char* name;
        int from;
        UINT key;
        int to;
    } cases[] = {
        {"B from the top: first B", 0, 'B', 1},
        {"B on a B followed by a B: the next", 1, 'B', 2},
        {"B on the last of a run: the first B", 3, 'B', 1},
        {"B on the last line: the first B", 5, 'B', 1},
        {"a letter no line begins with: stays", 2, 'Z', 2},
        {"capitals only: D on the last Dorf stays off \"dach\"", 4, 'D', 4},
        {"up on the first line", 0, VK_UP, 0},
        {"up", 3, VK_UP, 2},
        {"down", 3, VK_DOWN, 4},
        {"down on the last line", 6, VK_DOWN, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SendMessageW(page_->GetListBox()->GetWindow(), LB_SETCURSEL, c.from, 0);
        Press(c.key);
        EXPECT_EQ(Selected(), c.to);
    }
}

TEST_F(TmcPageTest, ListDialogRunsEndWithTheChosenLineOrNone) {
    const struct {
        const char* name;
        UINT key;       // 0: the command instead
        UINT commandId; // sent with lParam 0
        int selection;
    } cases[] = {
        {"Escape", VK_ESCAPE, 0, -1},
        {"Enter cancels", VK_RETURN, 0, -1},
        {"OK", 0, StatusTmcInfo::kOkId, 1},
        {"the other accept", 0, StatusTmcInfo::kOtherOkId, 1},
        {"cancel", 0, StatusTmcInfo::kCancelId, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StatusTmcInfo& page = Open({u"one", u"two"}, StatusTmcInfo::kListMode);
        platform::MessageSpy spy(page.GetHwnd(), {WM_CLOSE});
        SendMessageW(page.GetListBox()->GetWindow(), LB_SETCURSEL, 1, 0);
        if (c.key != 0) {
            SendMessageW(page.GetHwnd(), WM_KEYDOWN, c.key, 0);
        } else {
            SendMessageW(page.GetHwnd(), WM_COMMAND, c.commandId, 0);
        }
        EXPECT_EQ(page.GetSelection(), c.selection);
        driver_.RunUntilIdle();
        EXPECT_EQ(spy.Numbers(), std::vector<UINT>{WM_CLOSE}) << "the caller's run ends";
    }
}

TEST_F(TmcPageTest, AcceptInTheTmcDialogHidesItAndActivatesTheLastPage) {
    StatusTmcInfo& page = Open({u"one", u"two"}, StatusTmcInfo::kTmcMode);
    platform::MessageSpy closes(page.GetHwnd(), {WM_CLOSE});
    platform::MessageSpy activations(lastPage_, {WM_ACTIVATE});
    SetLastActivePageWindow(lastPage_);
    Press(VK_RETURN); // refreshes in the TMC dialog
    EXPECT_TRUE(IsWindowVisible(page.GetHwnd()));
    EXPECT_EQ(Selected(), 0);
    SendMessageW(page.GetListBox()->GetWindow(), LB_SETCURSEL, 1, 0);
    SendMessageW(page.GetHwnd(), WM_COMMAND, StatusTmcInfo::kOkId, 0);
    driver_.RunUntilIdle();
    EXPECT_EQ(page.GetSelection(), 1);
    EXPECT_FALSE(IsWindowVisible(page.GetHwnd()));
    EXPECT_EQ(activations.Numbers().size(), 1U);
    EXPECT_TRUE(closes.Numbers().empty());
    // Forced (the monitor's close) or without a last page: the window is closed.
    SendMessageW(page.GetHwnd(), WM_COMMAND, StatusTmcInfo::kOkId, 1);
    driver_.RunUntilIdle();
    EXPECT_EQ(closes.Numbers().size(), 1U);
}

TEST_F(TmcPageTest, TheMonitorsDialogFollowsItsMessages) {
    StatusTmcInfo::CreateDialog();
    TmcMonitor& monitor = TmcMonitor::Instance();
    ASSERT_NE(monitor.GetDialog(), nullptr);
    monitor.AddEntry(TmcListEntry{1, u"Liechtenstein, B 3 Vaduz", u"Stau", true});
    monitor.AddEntry(TmcListEntry{2, u"Liechtenstein, A 13 Schaan", u"Unfall", false});
    monitor.SetStatusText(u"Radio L 87.5 MHz");
    monitor.SetReceiverState(3);
    monitor.ShowMessages();
    driver_.RunUntilIdle();
    auto* dialog = static_cast<StatusTmcInfo*>(monitor.GetDialog());
    ASSERT_NE(dialog->GetHwnd(), nullptr);
    EXPECT_TRUE(monitor.IsDialogVisible());
    EXPECT_FALSE(platform::IsTaskBarShown());
    const CustomListBox* list = dialog->GetListBox();
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetText(0), u"Liechtenstein\nA 13 Schaan Unfall\n");
    EXPECT_EQ(list->GetText(1), u"Liechtenstein\nB 3 Vaduz Stau\n");
    monitor.RemoveEntry(2);
    SendMessageW(dialog->GetHwnd(), WM_COMMAND, StatusTmcInfo::kRefreshId, 0);
    EXPECT_EQ(list->GetCount(), 1);
    HWND window = dialog->GetHwnd();
    StatusTmcInfo::CloseDialog();
    EXPECT_EQ(monitor.GetDialog(), nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(TmcPageTest, GoldenPagesAtBothScreenSizes) {
    UseDemoLayout();
    // The list icons the bundles carry, drawn at build time.
    platform::ResourceBundle bundle;
    bundle.strings = {{1047, u"OK"},
                      {1128, u"Titel"},
                      {1130, u"Abbrechen"},
                      {1148, u"Verkehrsmeldungen"},
                      {1186, u"Status"},
                      {1187, u"Aktualisieren"},
                      {1188, u"Aktuelle Nachrichten"}};
    for (const UINT icon : {3U, 4U}) {
        auto picture = testdata::ReadHostFile(std::string(NAV_SKIN_PICTURE_DIR) + "/b" +
                                              std::to_string(icon) + ".bmp");
        ASSERT_TRUE(picture.has_value()) << icon;
        bundle.bitmaps[icon] = std::vector<std::uint8_t>(picture->begin(), picture->end());
    }
    platform::SetResourceInstance(nullptr);
    FreeLibrary(module_);
    module_ = windowtesting::LoadLanguage(root_, bundle);
    ASSERT_NE(module_, nullptr);
    platform::SetResourceInstance(module_);
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.AddEntry(TmcListEntry{1, u"Liechtenstein, B 3 Vaduz - Triesen", u"Stau, 2 km", true});
    monitor.AddEntry(
        TmcListEntry{2, u"Liechtenstein, A 13 Schaan", u"Unfall; Fahrstreifen gesperrt", false});
    monitor.AddEntry(TmcListEntry{3, u"Liechtenstein, L 1 Balzers", u"Glatteis", true});
    monitor.SetStatusText(u"Radio L  87.5 MHz");
    monitor.SetReceiverState(3);
    for (const auto& size : {std::pair{240, 320}, std::pair{480, 640}}) {
        SCOPED_TRACE(size.first);
        platform::SetScreenSize(size.first, size.second);
        const std::string suffix =
            "_" + std::to_string(size.first) + "x" + std::to_string(size.second);

        ClearScreen(size.first, size.second);
        StatusTmcInfo::CreateDialog();
        monitor.ShowMessages();
        driver_.RunUntilIdle();
        HWND dialog = monitor.GetDialog()->GetHwnd();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(testdata::WindowMatchesGolden(dialog, NAV_APP_TMC_DIR, "tmcdlg" + suffix));
        StatusTmcInfo::CloseDialog();

        // The list dialog's caller has the whole screen already.
        ASSERT_TRUE(SetTaskBarHidden(lastPage_, true));
        ClearScreen(size.first, size.second);
        StatusTmcInfo& list =
            Open({u"Anna Muster", u"Bernd Beispiel", u"Carla Probe"}, StatusTmcInfo::kListMode);
        SendMessageW(list.GetListBox()->GetWindow(), LB_SETCURSEL, 1, 0);
        InvalidateRect(list.GetHwnd(), nullptr, TRUE);
        driver_.RunUntilIdle();
        EXPECT_TRUE(
            testdata::WindowMatchesGolden(list.GetHwnd(), NAV_APP_TMC_DIR, "listdlg" + suffix));
        page_.reset();
        driver_.RunUntilIdle();
    }
    platform::SetScreenSize(240, 320);
}

} // namespace
