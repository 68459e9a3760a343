#include "testdata/golden.h"
#include "ui/customlistbox.h"
#include "ui/tests/listtesting.h"
#include "ui/textface.h"

#include "platform/gdi/tests/gditesting.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using listtesting::Commands;
using listtesting::DrawnItems;

constexpr UINT kId = 77;
constexpr COLORREF kBar = 0xAB9567;

std::vector<std::u16string> Items(int count, const std::u16string& text = u"Item") {
    std::vector<std::u16string> items;
    for (int i = 0; i < count; ++i)
        items.push_back(text + u" " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    return items;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class ListTest : public listtesting::Page {
protected:
    // A stand-alone list of count items at (10, 10), 100 x 100 pixels, drawn once.
    std::unique_ptr<CustomListBox> MakeList(int count, DWORD style = 0) {
        auto list = std::make_unique<CustomListBox>(page_, kId, kSkinBackground, style);
        for (const std::u16string& item : Items(count))
            SendMessageW(list->GetWindow(), LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(item.c_str()));
        MoveWindow(list->GetWindow(), 10, 10, 100, 100, TRUE);
        SendMessageW(list->GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        driver_.RunUntilIdle();
        Commands().clear();
        return list;
    }
    void Draw(CustomListBox& list, gditesting::Canvas& canvas) {
        list.DrawInto(canvas.dc(), 100, 100);
    }
};

TEST_F(ListTest, ScrollBarGeometryIsExact) {
    struct Case {
        int count;
        int first;
        RECT up, down, track, thumb;
    };
    // u = 4: track pixels 8..88 (80), visible rows 100 / 12 = 8.
    const Case cases[] = {
        {8, 0, {}, {}, {}, {}},
        {10, 0, {84, 0, 100, 16}, {84, 84, 100, 100}, {84, 16, 100, 84}, {88, 8, 96, 72}},
        {10, 2, {84, 0, 100, 16}, {84, 84, 100, 100}, {84, 16, 100, 84}, {88, 24, 96, 88}},
        // 1000 items: the thumb of length 0 takes the minimum of 5, but not below 88.
        {1000, 0, {84, 0, 100, 16}, {84, 84, 100, 100}, {84, 16, 100, 84}, {88, 8, 96, 13}},
        {1000, 992, {84, 0, 100, 16}, {84, 84, 100, 100}, {84, 16, 100, 84}, {88, 87, 96, 88}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " items from " << c.first);
        auto list = MakeList(c.count);
        ASSERT_TRUE(c.first == 0 || list->SetFirstVisible(c.first));
        gditesting::Canvas canvas(100, 100);
        Draw(*list, canvas);
        EXPECT_TRUE(Same(list->GetUpRect(), c.up));
        EXPECT_TRUE(Same(list->GetDownRect(), c.down));
        EXPECT_TRUE(Same(list->GetTrackRect(), c.track));
        const bool hasBar = c.count > 8;
        if (hasBar) {
            EXPECT_TRUE(Same(list->GetThumbRect(), c.thumb));
        }
        // Arrows: apex (92, 4) / (92, 96), bases at y 8 / 92 from x 88 to 96; the separating
        // line at x 84.
        struct Pixel {
            int x, y;
            bool isBar;
        };
        const Pixel pixels[] = {
            {92, 4, true},  {92, 3, false},  {92, 96, true},  {92, 97, false},
            {88, 92, true}, {96, 92, true},  {87, 92, false}, {97, 92, false},
            {84, 50, true}, {83, 50, false}, {98, 50, false},
        };
        for (const Pixel& p : pixels) {
            SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
            EXPECT_EQ(GetPixel(canvas.dc(), p.x, p.y), hasBar && p.isBar ? kBar : kSkinBackground);
        }
    }
}

TEST_F(ListTest, HeldScrollPartsRepeatEvery150Ms) {
    struct Step {
        std::uint64_t ms;
        int first;
    };
    struct Case {
        const char* name;
        POINT press; // list client
        int startFirst;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"down button until the last item shows",
         {92, 92},
         0,
         {{0, 1}, {149, 1}, {1, 2}, {150, 2}}},
        {"up button", {92, 4}, 2, {{0, 1}, {150, 0}, {150, 0}}},
        {"track below the thumb stops at the point", {92, 80}, 0, {{0, 1}, {150, 2}, {150, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto list = MakeList(10);
        list->SetFirstVisible(c.startFirst);
        list->Redraw();
        platform::InjectStylus(platform::StylusAction::Down, POINT{10 + c.press.x, 10 + c.press.y});
        for (const Step& s : c.steps) {
            driver_.StepClock(s.ms);
            EXPECT_EQ(list->GetFirstVisible(), s.first);
        }
        platform::InjectStylus(platform::StylusAction::Up, POINT{10 + c.press.x, 10 + c.press.y});
        driver_.StepClock(300);
        EXPECT_EQ(list->GetFirstVisible(), c.steps.back().first);
    }
}

TEST_F(ListTest, ThumbDragScrollsByWholeItems) {
    // 20 items: 4 pixels per item, thumb (88, 8, 96, 40).
    struct Move {
        int y;
        int first;
    };
    const Move moves[] = {{29, 2}, {31, 2}, {23, 1}, {84, 1}, {60, 10}, {83, 12}, {10, 12}};
    auto list = MakeList(20);
    list->Redraw();
    SendMessageW(list->GetWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(92, 20));
    for (const Move& m : moves) {
        SCOPED_TRACE(m.y);
        SendMessageW(list->GetWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(92, m.y));
        EXPECT_EQ(list->GetFirstVisible(), m.first);
    }
    SendMessageW(list->GetWindow(), WM_LBUTTONUP, 0, MAKELPARAM(92, 10));
}

TEST_F(ListTest, ItemHeightFollowsTheLargestLineCount) {
    struct Case {
        const char16_t* text;
        int height;
    };
    const Case cases[] = {
        {u"one line", 12},           {u"two\nlines", 36}, {u"also\ntwo", 36},
        {u"three\nlines\nhere", 48}, {u"one", 48},
    };
    auto list = MakeList(0);
    for (const Case& c : cases) {
        SendMessageW(list->GetWindow(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.text));
        EXPECT_EQ(list->GetItemHeight(), c.height);
    }
}

// Rows fitted to the lines of the list's font: the tallest item's lines, each a line of the
// font; the scroll bar follows the new height; an empty list keeps its rows.
TEST_F(ListTest, FittedRowsAreAsHighAsTheLinesOfTheTallestItem) {
    auto list = MakeList(0);
    HDC dc = GetDC(list->GetWindow());
    HGDIOBJ old = SelectObject(dc, list->GetFont());
    TEXTMETRICW metrics{};
    ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
    SelectObject(dc, old);
    ReleaseDC(list->GetWindow(), dc);
    const int line = metrics.tmHeight;
    ASSERT_GT(line, 0);
    struct Case {
        std::vector<std::u16string> items;
        int height;
        bool hasScrollBar; // in the client 100 pixels high
    };
    // Each case refills the list left by the one before.
    const Case cases[] = {
        {{}, 12, false},
        {{u"one"}, line, false},
        {{u"one", u"three\nlines\nhere", u"two\r\nlines"}, 3 * line, false},
        {{u"a\rb\nc\r\nd", u"x", u"y"}, 4 * line, 3 * (4 * line + 1) > 100},
        {std::vector<std::u16string>(2, u"a\nb"), 2 * line, false},
        // The height stays: the scroll bar comes with the items.
        {std::vector<std::u16string>(9, u"a\nb"), 2 * line, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.items.size());
        SendMessageW(list->GetWindow(), LB_RESETCONTENT, 0, 0);
        for (const std::u16string& item : c.items)
            SendMessageW(list->GetWindow(), LB_INSERTSTRING, static_cast<WPARAM>(list->GetCount()),
                         reinterpret_cast<LPARAM>(item.c_str()));
        list->FitItemHeightToLines();
        EXPECT_EQ(list->GetItemHeight(), c.height);
        EXPECT_EQ(!Same(list->GetUpRect(), RECT{}), c.hasScrollBar);
    }
}

TEST_F(ListTest, ListMessagesAnswerAndRefuseBadIndexes) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        const char16_t* text; // lParam when not null
        LRESULT result;
        int count;
        int selected;
        int itemHeight;
    };
    const WPARAM minusOne = static_cast<WPARAM>(-1);
    const Case cases[] = {
        {"count", LB_GETCOUNT, 0, nullptr, 3, 3, -1, 12},
        {"length", LB_GETTEXTLEN, 1, nullptr, 6, 3, -1, 12},
        {"length past the end", LB_GETTEXTLEN, 5, nullptr, 0, 3, -1, 12},
        {"length of -1", LB_GETTEXTLEN, minusOne, nullptr, LB_ERR, 3, -1, 12},
        {"insert past the end", LB_INSERTSTRING, 4, u"x", LB_ERR, 3, -1, 12},
        {"insert -1", LB_INSERTSTRING, minusOne, u"x", LB_ERR, 3, -1, 12},
        {"insert at the end", LB_INSERTSTRING, 3, u"Item D", 3, 4, -1, 12},
        {"select", LB_SETCURSEL, 2, nullptr, 2, 4, 2, 12},
        {"select past the end", LB_SETCURSEL, 4, nullptr, LB_ERR, 4, -1, 12},
        {"select again", LB_SETCURSEL, 3, nullptr, 3, 4, 3, 12},
        {"insert before the selection", LB_INSERTSTRING, 0, u"first", 0, 5, 4, 12},
        {"delete past the end", LB_DELETESTRING, 9, nullptr, LB_ERR, 5, 4, 12},
        {"delete -1", LB_DELETESTRING, minusOne, nullptr, LB_ERR, 5, 4, 12},
        {"delete before the selection", LB_DELETESTRING, 0, nullptr, 4, 4, 3, 12},
        {"delete the selection", LB_DELETESTRING, 3, nullptr, 3, 3, -1, 12},
        {"item height 0", LB_SETITEMHEIGHT, 0, nullptr, 0, 3, -1, 1},
        {"selected index", LB_GETCURSEL, 0, nullptr, -1, 3, -1, 1},
        {"reset", LB_RESETCONTENT, 0, nullptr, 0, 0, -1, 1},
    };
    auto list = MakeList(3);
    HWND window = list->GetWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LPARAM lParam = c.text != nullptr ? reinterpret_cast<LPARAM>(c.text) : 0;
        EXPECT_EQ(SendMessageW(window, c.message, c.wParam, lParam), c.result);
        EXPECT_EQ(SendMessageW(window, LB_GETCOUNT, 0, 0), c.count);
        EXPECT_EQ(list->GetCurSel(), c.selected);
        EXPECT_EQ(list->GetItemHeight(), c.itemHeight);
    }
    // Item height below 0 also gives 1.
    SendMessageW(window, LB_SETITEMHEIGHT, 0, -5);
    EXPECT_EQ(list->GetItemHeight(), 1);
}

TEST_F(ListTest, TextsCopyOutOnlyForIndexesInTheList) {
    struct Case {
        WPARAM index;
        LRESULT result;
        std::u16string buffer;
    };
    const Case cases[] = {
        {0, 6, u"Item A"},
        {2, 6, u"Item C"},
        {3, 0, u""},
        {static_cast<WPARAM>(-1), LB_ERR, u"untouched"},
    };
    auto list = MakeList(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        std::array<char16_t, 32> buffer{};
        std::u16string(u"untouched").copy(buffer.data(), 9);
        EXPECT_EQ(SendMessageW(list->GetWindow(), LB_GETTEXT, c.index,
                               reinterpret_cast<LPARAM>(buffer.data())),
                  c.result);
        EXPECT_EQ(std::u16string(buffer.data()), c.buffer);
        EXPECT_EQ(list->GetText(static_cast<int>(c.index)), c.result > 0 ? c.buffer : u"");
    }
}

TEST_F(ListTest, SelectingScrollsIntoViewAndMinusOneOnlyClears) {
    struct Case {
        WPARAM index;
        int first;
        int hot;
    };
    const Case cases[] = {
        {9, 2, 9},
        {static_cast<WPARAM>(-1), 2, -1},
        {4, 0, 4},
        {8, 1, 8},
    };
    auto list = MakeList(10);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.index));
        SendMessageW(list->GetWindow(), LB_SETCURSEL, c.index, 0);
        EXPECT_EQ(list->GetFirstVisible(), c.first);
        EXPECT_EQ(list->GetHotIndex(), c.hot);
    }
}

TEST_F(ListTest, TapsKeysAndDoubleTapsNotifyTheParent) {
    struct Step {
        const char* name;
        UINT message;
        WPARAM wParam;
        POINT point;
        int selected;
        std::vector<WORD> codes;
    };
    const Step steps[] = {
        {"tap on the third row", WM_LBUTTONDOWN, MK_LBUTTON, {20, 30}, 2, {LBN_SELCHANGE}},
        {"release", WM_LBUTTONUP, 0, {20, 30}, 2, {}},
        {"tap below the last item", WM_LBUTTONDOWN, MK_LBUTTON, {20, 90}, 2, {}},
        {"double tap", WM_LBUTTONDBLCLK, MK_LBUTTON, {20, 30}, 2, {LBN_DBLCLK}},
        {"key down", WM_KEYDOWN, VK_DOWN, {}, 3, {}},
        {"key up", WM_KEYDOWN, VK_UP, {}, 2, {}},
    };
    auto list = MakeList(4);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        Commands().clear();
        const LPARAM lParam = s.message == WM_KEYDOWN ? 1 : MAKELPARAM(s.point.x, s.point.y);
        SendMessageW(list->GetWindow(), s.message, s.wParam, lParam);
        driver_.RunUntilIdle();
        EXPECT_EQ(list->GetCurSel(), s.selected);
        EXPECT_EQ(listtesting::CodesFrom(list->GetWindow()), s.codes);
        for (const auto& command : Commands())
            EXPECT_EQ(command.id, kId);
    }
}

TEST_F(ListTest, IconsSitAtTheRowStartAndShiftTheText) {
    // Row tops 1, 14, 27; icon 3 is 6 pixels square and blue, icon 4 is 8 and green; icon 9
    // does not exist.
    auto list = MakeList(0);
    for (int i = 0; i < 3; ++i)
        SendMessageW(list->GetWindow(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"III"));
    list->SetIcons({3, 4, 9});
    gditesting::Canvas canvas(100, 100);
    Draw(*list, canvas);
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    const Pixel pixels[] = {
        {4, 4, kSkinBackground},  {5, 4, 0xFF0000},  {9, 9, 0xFF0000},   {10, 9, kSkinBackground},
        {4, 16, kSkinBackground}, {5, 16, 0x00FF00}, {11, 23, 0x00FF00}, {12, 23, kSkinBackground},
    };
    for (const Pixel& p : pixels) {
        SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
        EXPECT_EQ(GetPixel(canvas.dc(), p.x, p.y), p.colour);
    }
    // The first white text column of each row.
    auto textStart = [&](int top) {
        for (int x = 0; x < 80; ++x) {
            for (int y = top; y < top + 12; ++y) {
                if (GetPixel(canvas.dc(), x, y) == 0xFFFFFF)
                    return x;
            }
        }
        return -1;
    };
    const int plain = textStart(27);
    ASSERT_GE(plain, 4);
    EXPECT_EQ(textStart(1), plain + 6 + 4);
    EXPECT_EQ(textStart(14), plain + 8 + 4);
}

TEST_F(ListTest, OwnerDrawnRowsAreDrawnByTheParent) {
    auto list = MakeList(10, LBS_OWNERDRAWFIXED);
    SendMessageW(list->GetWindow(), LB_SETCURSEL, 3, 0);
    DrawnItems().clear();
    list->Redraw();
    ASSERT_EQ(DrawnItems().size(), 8u); // rows at 1, 14, ... 92
    for (std::size_t i = 0; i < DrawnItems().size(); ++i) {
        SCOPED_TRACE(i);
        const DRAWITEMSTRUCT& item = DrawnItems()[i];
        EXPECT_EQ(item.CtlType, ODT_LISTBOX);
        EXPECT_EQ(item.CtlID, kId);
        EXPECT_EQ(item.itemID, i);
        EXPECT_EQ(item.itemAction, ODA_DRAWENTIRE);
        EXPECT_EQ(item.itemState, i == 3 ? ODS_SELECTED : 0u);
        EXPECT_EQ(item.hwndItem, list->GetWindow());
        const int top = 1 + static_cast<int>(i) * 13;
        EXPECT_TRUE(Same(item.rcItem, RECT{4, top, 84, top + 12}));
    }
}

TEST_F(ListTest, SetRedrawHoldsTheDrawingUntilItIsOnAgain) {
    auto list = MakeList(3, LBS_OWNERDRAWFIXED);
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        std::size_t drawn; // rows drawn by the message
    } steps[] = {
        {"off", WM_SETREDRAW, FALSE, 0},
        {"an added row", LB_ADDSTRING, 0, 0},
        {"a selection", LB_SETCURSEL, 1, 0},
        {"on again: drawn at the next paint", WM_SETREDRAW, TRUE, 4},
        {"an added row, drawn", LB_ADDSTRING, 0, 5},
    };
    const std::u16string text = u"row";
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        DrawnItems().clear();
        SendMessageW(list->GetWindow(), step.message, step.wParam,
                     step.message == LB_ADDSTRING ? reinterpret_cast<LPARAM>(text.c_str()) : 0);
        driver_.RunUntilIdle();
        EXPECT_EQ(DrawnItems().size(), step.drawn);
    }
}

class ListGolden : public listtesting::Page, public testing::WithParamInterface<SIZE> {
protected:
    void SetUp() override { SetUpPage(GetParam().cx, GetParam().cy, {}); }
};

TEST_P(ListGolden, ListWithScrollBarAndIcons) {
    const int scale = GetParam().cx / 240;
    CustomListBox list(page_, kId, kSkinBackground, 0);
    MoveWindow(list.GetWindow(), 20 * scale, 20 * scale, 200 * scale, 150 * scale, TRUE);
    SendMessageW(list.GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SendMessageW(list.GetWindow(), LB_SETITEMHEIGHT, 0, 16 * scale);
    for (const std::u16string& item : Items(14, u"Destination"))
        SendMessageW(list.GetWindow(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    list.SetIcons({3, 4, 3});
    SendMessageW(list.GetWindow(), LB_SETCURSEL, 1, 0);
    driver_.RunUntilIdle();
    list.Redraw();
    EXPECT_TRUE(testdata::WindowMatchesGolden(page_, NAV_UI_DIR,
                                              "list_" + std::to_string(GetParam().cx) + "x" +
                                                  std::to_string(GetParam().cy)));
}

INSTANTIATE_TEST_SUITE_P(Screens, ListGolden, testing::Values(SIZE{240, 320}, SIZE{480, 640}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" +
                                    std::to_string(info.param.cy);
                         });

} // namespace
