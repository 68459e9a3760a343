#include "app/settings/presettingssheet.h"
#include "ui/tests/layouttesting.h"

#include "platform/window/input.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The main window as the sheet sees it: it records the closing reports.
class RecordingApplication : public ApplicationInterface {
public:
    void NotifyModeClosed(bool apply) override { closes.push_back(apply); }
    bool RunLogbookDialog(HWND, bool, bool) override { return false; }
    void ControlReconnectThread(bool) override {}
    std::vector<bool> closes;
};

class PresettingsSheetTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.isReady);
        record_.arrowMode = 0;
        record_.showLastMap = 7;
        record_.comPort = 3;
        record_.nav = 0;
        record_.volume = 40;
        record_.kilometres = 1;
    }
    void TearDown() override { SetPresettingsPageIndex(0); }

    void Command(SettingsPage* page, UINT id, WORD code = 0) {
        ASSERT_NE(page, nullptr);
        ASSERT_NE(page->GetHwnd(), nullptr);
        SendMessageW(page->GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), 0);
        driver_.RunUntilIdle();
    }
    // The page combo of page selecting entry index, as the user picks it.
    void Pick(SettingsPage* page, int index) {
        SendMessageW(page->GetPageCombo(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        Command(page, SettingsPage::kComboId, CBN_SELCHANGE);
    }
    [[nodiscard]] static bool Visible(SettingsPage* page) {
        return page->GetHwnd() != nullptr && IsWindowVisible(page->GetHwnd()) != FALSE;
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    layouttesting::Device device_{240, 320, PresettingsDescriptionForSheet()};
    RecordingApplication application_;
    PreferencesRecord record_;

    static testdata::ScreenDescWriter PresettingsDescriptionForSheet();
};

testdata::ScreenDescWriter PresettingsSheetTest::PresettingsDescriptionForSheet() {
    testdata::ScreenDescWriter writer;
    for (const char16_t* section :
         {u"NavigPage", u"MapPage", u"GpsConf", u"LogPage", u"VolCntr", u"FormatPage"}) {
        writer.Section(section)
            .Size(240, 320)
            .Rect(u"Status", 10, 5, 230, 30)
            .Item(u"Combo", 10, 32, 230, 50, 8)
            .Item(u"Ok", 10, 250, 110, 270, 2)
            .Item(u"Cancel", 120, 250, 230, 270, 2)
            .Item(u"YesArrow", 10, 75, 110, 93, 2)
            .Item(u"StaticYesArrow", 120, 75, 230, 93, 2)
            .Item(u"LogNav", 10, 95, 110, 113, 2)
            .Item(u"UseLogNav", 120, 95, 230, 113, 2);
    }
    return writer;
}

TEST_F(PresettingsSheetTest, KeepsEveryPagesEditsAndHandsTheRecordBackOnOk) {
    SetPresettingsPageIndex(0);
    PresettingsSheet sheet(record_, &application_, nullptr, {1, 2, 3, 4});
    sheet.Start();
    driver_.RunUntilIdle();
    SettingsPage* navig = sheet.GetPage(0);
    ASSERT_TRUE(Visible(navig));
    EXPECT_EQ(sheet.GetPage(3)->GetHwnd(), nullptr); // made when first shown
    Command(navig, 1053);                            // arrow on

    Pick(navig, 3);
    SettingsPage* log = sheet.GetPage(3);
    EXPECT_TRUE(Visible(log));
    EXPECT_FALSE(Visible(navig));
    EXPECT_EQ(GetPresettingsPageIndex(), 3);
    Command(log, 1177); // navigation trips logged

    Pick(log, 0);
    EXPECT_TRUE(Visible(navig));
    EXPECT_EQ(SendMessageW(navig->GetPageCombo(), CB_GETCURSEL, 0, 0), 0);
    Command(navig, SettingsPage::kOkId);

    EXPECT_EQ(application_.closes, std::vector<bool>{true});
    EXPECT_EQ(GetPresettingsPageIndex(), 0);
    PreferencesRecord expected = record_;
    expected.arrowMode = 1; // NavigPage's edit, kept while the logbook page was shown
    expected.nav = 1;       // LogPage's edit
    // Pages never shown hand back what they were made with: show-last-map 7, port 3, volume 40.
    EXPECT_TRUE(sheet.GetPreferences() == expected);
}

TEST_F(PresettingsSheetTest, CancelKeepsTheRecordAndStartsTheNextOpeningOnTheFirstPage) {
    PresettingsSheet sheet(record_, &application_, nullptr, {1, 2, 3, 4});
    sheet.Start();
    driver_.RunUntilIdle();
    Pick(sheet.GetPage(0), 3);
    Command(sheet.GetPage(3), 1177);
    Command(sheet.GetPage(3), SettingsPage::kCancelId);
    EXPECT_EQ(application_.closes, std::vector<bool>{false});
    EXPECT_TRUE(sheet.GetPreferences() == record_);
    EXPECT_EQ(GetPresettingsPageIndex(), 0);
    // Other indexes show nothing; -1 brings the visible page to the front.
    sheet.ShowPage(6);
    EXPECT_TRUE(Visible(sheet.GetPage(3)));
    sheet.ShowPage(-1);
    EXPECT_TRUE(Visible(sheet.GetPage(3)));
}

} // namespace
