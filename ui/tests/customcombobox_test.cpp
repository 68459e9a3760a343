#include "testdata/golden.h"
#include "ui/customcombobox.h"
#include "ui/tests/listtesting.h"
#include "ui/textface.h"

#include "platform/window/controls.h"
#include "platform/window/input.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace {

using listtesting::Commands;

constexpr UINT kComboId = 55;

bool SameComboRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::u16string EditText(const CustomComboBox& combo) {
    std::array<char16_t, 64> text{};
    GetWindowTextW(combo.GetEdit()->GetWindow(), text.data(), 64);
    return text.data();
}

// A combo box at (20, 40), 150 x 20 pixels: u = 5, the button (130, 0, 150, 20), the list of
// three rows (20, 60, 170, 120) on the screen.
class ComboTest : public listtesting::Page {
protected:
    std::unique_ptr<CustomComboBox> MakeCombo(int count) {
        auto combo = std::make_unique<CustomComboBox>(page_, kComboId, kSkinBackground, 0);
        for (int i = 0; i < count; ++i) {
            const std::u16string item =
                u"Item " + std::u16string(1, static_cast<char16_t>(u'A' + i));
            SendMessageW(combo->GetWindow(), CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(item.c_str()));
        }
        MoveWindow(combo->GetWindow(), 20, 40, 150, 20, TRUE);
        SendMessageW(combo->GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        driver_.RunUntilIdle();
        Commands().clear();
        return combo;
    }
    std::vector<WORD> Codes(const CustomComboBox& combo) {
        driver_.RunUntilIdle();
        auto codes = listtesting::CodesFrom(combo.GetWindow());
        Commands().clear();
        return codes;
    }
};

TEST_F(ComboTest, OpeningShowsTheListTopMostUnderTheCombo) {
    auto combo = MakeCombo(5);
    HWND list = combo->GetList()->GetWindow();
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_TRUE(SameComboRect(combo->GetButtonRect(), RECT{130, 0, 150, 20}));
    driver_.Tap(POINT{160, 50}); // the button
    EXPECT_EQ(Codes(*combo), (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN}));
    EXPECT_TRUE(combo->IsDropped());
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_NE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetParent(list), nullptr);
    EXPECT_EQ(GetCapture(), list);
    RECT bounds{};
    GetWindowRect(list, &bounds);
    EXPECT_TRUE(SameComboRect(bounds, RECT{20, 60, 170, 120}));
    EXPECT_EQ(combo->GetList()->GetItemHeight(), 20);
    EXPECT_EQ(combo->GetList()->GetScrollUnit(), 5);
    RECT edit{};
    GetWindowRect(combo->GetEdit()->GetWindow(), &edit);
    EXPECT_TRUE(SameComboRect(edit, RECT{20, 40, 150, 60}));
}

TEST_F(ComboTest, ClosingCommitsOrCancelsInOrder) {
    struct Case {
        const char* name;
        std::function<void(platform::ScreenDriver&, CustomComboBox&)> action;
        std::vector<WORD> codes;
        int selected;
        std::u16string text;
    };
    const Case cases[] = {
        {"Return takes the highlighted item",
         [](platform::ScreenDriver& t, CustomComboBox&) {
             t.Key(VK_DOWN);
             t.Key(VK_RETURN);
         },
         {CBN_SELCHANGE, CBN_CLOSEUP, CBN_SELENDOK, CBN_SELCHANGE},
         2,
         u"Item C"},
        {"Escape keeps the selection",
         [](platform::ScreenDriver& t, CustomComboBox& c) {
             SendMessageW(c.GetList()->GetWindow(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 45));
             t.Key(VK_ESCAPE);
         },
         {CBN_SELENDCANCEL, CBN_CLOSEUP},
         1,
         u"Item B"},
        {"a tap outside the three windows cancels",
         [](platform::ScreenDriver& t, CustomComboBox&) {
             t.Tap(POINT{200, 300});
         },
         {CBN_SELENDCANCEL, CBN_CLOSEUP},
         1,
         u"Item B"},
        {"a tap on a row commits it",
         [](platform::ScreenDriver& t, CustomComboBox&) {
             t.Tap(POINT{40, 105});
         },
         {CBN_CLOSEUP, CBN_SELENDOK, CBN_SELCHANGE},
         2,
         u"Item C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto combo = MakeCombo(5);
        SendMessageW(combo->GetWindow(), CB_SETCURSEL, 1, 0);
        SendMessageW(combo->GetWindow(), CB_SHOWDROPDOWN, 1, 0);
        ASSERT_EQ(GetFocus(), combo->GetEdit()->GetWindow());
        Codes(*combo);
        c.action(driver_, *combo);
        EXPECT_EQ(Codes(*combo), c.codes);
        EXPECT_FALSE(combo->IsDropped());
        EXPECT_FALSE(IsWindowVisible(combo->GetList()->GetWindow()));
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_GETCURSEL, 0, 0), c.selected);
        EXPECT_EQ(combo->GetList()->GetHotIndex(), c.selected);
        EXPECT_EQ(EditText(*combo), c.text);
    }
}

TEST_F(ComboTest, HoldingTheListsDownButtonSelectsTheLastItemAtTheEnd) {
    auto combo = MakeCombo(10); // 3 rows visible: the end is first visible 7
    SendMessageW(combo->GetWindow(), CB_SHOWDROPDOWN, 1, 0);
    Codes(*combo);
    platform::InjectStylus(platform::StylusAction::Down, POINT{165, 115});
    driver_.RunUntilIdle();
    for (int first = 2; first <= 7; ++first) {
        EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_GETCURSEL, 0, 0), -1);
        driver_.StepClock(CustomListBox::kRepeatDelayMs);
        EXPECT_EQ(combo->GetList()->GetFirstVisible(), first);
    }
    EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_GETCURSEL, 0, 0), 9);
    EXPECT_EQ(EditText(*combo), u"Item J");
    EXPECT_EQ(Codes(*combo), std::vector<WORD>{CBN_SELCHANGE});
    driver_.StepClock(1000); // the timer is gone
    EXPECT_TRUE(Codes(*combo).empty());
    platform::InjectStylus(platform::StylusAction::Up, POINT{165, 115});
    driver_.RunUntilIdle();
    EXPECT_TRUE(combo->IsDropped());
}

TEST_F(ComboTest, EditDoubleTapSelectsAllWithinASecond) {
    struct Case {
        const char* name;
        std::uint64_t pauseMs;
        POINT second;
        bool isAllSelected;
    };
    const Case cases[] = {
        {"at once", 0, {30, 10}, true},
        {"within the second", 999, {30, 10}, true},
        {"after the second", 1000, {30, 10}, false},
        {"elsewhere", 0, {31, 10}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto combo = MakeCombo(0);
        SetWindowTextW(combo->GetWindow(), u"Hello");
        HWND edit = combo->GetEdit()->GetWindow();
        SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 10));
        SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(30, 10));
        driver_.StepClock(c.pauseMs);
        SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.second.x, c.second.y));
        DWORD from = 0;
        DWORD to = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(from == 0 && to == 5, c.isAllSelected);
    }
}

TEST_F(ComboTest, EditKeysReachTheComboAndTheParent) {
    struct Case {
        UINT key;
        std::vector<WORD> codes;
        bool isParentCommand; // WM_COMMAND with wParam = the key
    };
    const Case cases[] = {
        {'A', {CBN_EDITUPDATE, CBN_EDITCHANGE}, false},
        {VK_DOWN, {CBN_SELCHANGE}, true},
        {VK_UP, {CBN_SELCHANGE}, true},
        {VK_TAB, {}, false},
    };
    auto combo = MakeCombo(3);
    SetFocus(combo->GetEdit()->GetWindow());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Codes(*combo);
        driver_.Key(c.key);
        const bool sawKey = std::any_of(Commands().begin(), Commands().end(), [&](const auto& m) {
            return m.id == c.key && m.code == 0;
        });
        EXPECT_EQ(sawKey, c.isParentCommand);
        EXPECT_EQ(Codes(*combo), c.codes);
    }
    EXPECT_EQ(EditText(*combo), u"Item A"); // down then up: the first item
}

TEST_F(ComboTest, IndexMessagesKeepTheStateOnBadIndexes) {
    struct Case {
        const char* name;
        int count;
        UINT message;
        WPARAM wParam;
        LRESULT result;
        int selected;
        int first;
    };
    const WPARAM minusOne = static_cast<WPARAM>(-1);
    const Case cases[] = {
        {"select in an empty list", 0, CB_SETCURSEL, 0, CB_ERR, -1, 0},
        {"select", 10, CB_SETCURSEL, 1, 1, 1, 0},
        {"select past the end", 10, CB_SETCURSEL, 10, CB_ERR, -1, 0},
        {"top index clamps", 10, CB_SETTOPINDEX, 9, 0, -1, 7},
        {"top index in the middle", 10, CB_SETTOPINDEX, 4, 0, -1, 4},
        {"top index past the end", 10, CB_SETTOPINDEX, 10, CB_ERR, -1, 0},
        {"top index -1", 10, CB_SETTOPINDEX, minusOne, CB_ERR, -1, 0},
        {"text length of -1", 10, CB_GETLBTEXTLEN, minusOne, CB_ERR, -1, 0},
        {"text length", 10, CB_GETLBTEXTLEN, 3, 6, -1, 0},
        {"count", 10, CB_GETCOUNT, 0, 10, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto combo = MakeCombo(c.count);
        EXPECT_EQ(SendMessageW(combo->GetWindow(), c.message, c.wParam, 0), c.result);
        EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_GETCURSEL, 0, 0), c.selected);
        EXPECT_EQ(combo->GetList()->GetFirstVisible(), c.first);
    }
    auto combo = MakeCombo(3);
    SendMessageW(combo->GetWindow(), CB_SETCURSEL, 2, 0);
    EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_SETCURSEL, 7, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo->GetWindow(), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(EditText(*combo), u"Item C");
    SendMessageW(combo->GetWindow(), CB_SETCURSEL, minusOne, 0);
    EXPECT_EQ(EditText(*combo), u"");
}

TEST_F(ComboTest, DestroyedWhileOpenLeavesNoCaptureOrList) {
    auto combo = MakeCombo(3);
    SendMessageW(combo->GetWindow(), CB_SHOWDROPDOWN, 1, 0);
    HWND list = combo->GetList()->GetWindow();
    ASSERT_EQ(GetCapture(), list);
    combo.reset();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(IsWindow(list));
}

class ComboGolden : public listtesting::Page, public testing::WithParamInterface<SIZE> {
protected:
    void SetUp() override { SetUpPage(GetParam().cx, GetParam().cy, {}); }
};

TEST_P(ComboGolden, OpenCombo) {
    const int scale = GetParam().cx / 240;
    CustomComboBox combo(page_, kComboId, kSkinBackground, 0);
    for (const char16_t* item : {u"Vaduz", u"Schaan", u"Triesen", u"Balzers", u"Eschen"})
        SendMessageW(combo.GetWindow(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(combo.GetWindow(), CB_SETDROPPEDWIDTH, 4, 0);
    MoveWindow(combo.GetWindow(), 20 * scale, 30 * scale, 180 * scale, 20 * scale, TRUE);
    SendMessageW(combo.GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SendMessageW(combo.GetWindow(), CB_SETCURSEL, 1, 0);
    SendMessageW(combo.GetWindow(), CB_SHOWDROPDOWN, 1, 0);
    driver_.RunUntilIdle();
    combo.GetList()->Redraw();
    const std::string size = std::to_string(GetParam().cx) + "x" + std::to_string(GetParam().cy);
    EXPECT_TRUE(testdata::WindowMatchesGolden(page_, NAV_UI_DIR, "combo_page_" + size));
    EXPECT_TRUE(testdata::WindowMatchesGolden(combo.GetList()->GetWindow(), NAV_UI_DIR,
                                              "combo_list_" + size));
}

INSTANTIATE_TEST_SUITE_P(Screens, ComboGolden, testing::Values(SIZE{240, 320}, SIZE{480, 640}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" +
                                    std::to_string(info.param.cy);
                         });

} // namespace
