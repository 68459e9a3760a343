#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

using namespace gditesting;

namespace {

constexpr COLORREF kNavy = RGB(0, 0, 128);

// The parent's answer to the colour messages: this brush (null: NULL_BRUSH), transparent text.
HBRUSH g_answer = nullptr;
int g_maxTextNotes = 0;

LRESULT Parent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kBlack);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(g_answer != nullptr ? g_answer
                                                             : GetStockObject(NULL_BRUSH));
    }
    if (message == WM_COMMAND && HIWORD(wParam) == EN_MAXTEXT)
        ++g_maxTextNotes;
    return DefWindowProcW(window, message, wParam, lParam);
}

class ControlPaint : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        platform::SetScreenSize(120, 80);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Parent;
        windowClass.lpszClassName = u"GdiParent";
        RegisterClassW(&windowClass);
        m_parent = CreateWindowExW(0, u"GdiParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 120, 80,
                                   nullptr, nullptr, nullptr, nullptr);
        LOGFONTW font{};
        font.lfHeight = -12;
        m_font = CreateFontIndirectW(&font);
        m_screen = GetDC(nullptr);
        const RECT all{0, 0, 120, 80};
        HBRUSH red = CreateSolidBrush(kRed);
        FillRect(m_screen, &all, red);
        DeleteObject(red);
    }
    void TearDown() override {
        ReleaseDC(nullptr, m_screen);
        DestroyWindow(m_parent);
        DeleteObject(m_font);
        platform::SetFontFile({});
        g_answer = nullptr;
    }

    HWND Make(LPCWSTR className, LPCWSTR text, DWORD style, RECT place) {
        HWND control =
            CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left,
                            place.top, place.right - place.left, place.bottom - place.top, m_parent,
                            nullptr, nullptr, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
        m_driver.RunUntilIdle();
        return control;
    }

    // The screen in place, and what DrawTextW draws into a canvas of its size over background.
    std::pair<std::vector<std::string>, std::vector<std::string>>
    Compare(RECT place, LPCWSTR text, UINT format, COLORREF background) {
        std::vector<std::string> shown;
        for (LONG y = place.top; y < place.bottom; ++y) {
            std::string row;
            for (LONG x = place.left; x < place.right; ++x)
                row += Letter(GetPixel(m_screen, x, y));
            shown.push_back(row);
        }
        Canvas canvas(place.right - place.left, place.bottom - place.top, background);
        HGDIOBJ old = SelectObject(canvas.dc(), m_font);
        SetBkMode(canvas.dc(), TRANSPARENT);
        RECT rect{0, 0, place.right - place.left, place.bottom - place.top};
        DrawTextW(canvas.dc(), text, -1, &rect, format);
        SelectObject(canvas.dc(), old);
        return {shown, canvas.Picture()};
    }

    platform::ScreenDriver m_driver;
    HWND m_parent = nullptr;
    HFONT m_font = nullptr;
    HDC m_screen = nullptr;
};

} // namespace

// A label draws its text with its font over the parent's brush, by its alignment style; a
// NULL_BRUSH answer leaves the background as it was.
TEST_F(ControlPaint, StaticDrawsTextOverTheParentsBrush) {
    struct Case {
        DWORD style;
        bool hasBrush;
        UINT format;
        COLORREF background;
    };
    const Case cases[] = {
        {SS_LEFT, true, DT_WORDBREAK, kBlue},
        {SS_CENTER, true, DT_WORDBREAK | DT_CENTER, kBlue},
        {SS_RIGHT, false, DT_WORDBREAK | DT_RIGHT, kRed},
    };
    for (const Case& c : cases) {
        const RECT all{0, 0, 120, 80};
        HBRUSH red = CreateSolidBrush(kRed);
        FillRect(m_screen, &all, red);
        DeleteObject(red);
        HBRUSH blue = CreateSolidBrush(kBlue);
        g_answer = c.hasBrush ? blue : nullptr;
        const RECT place{10, 10, 90, 50};
        HWND label = Make(u"Static", u"Noch 300 m bis zur Ausfahrt", c.style, place);
        const auto [shown, expected] =
            Compare(place, u"Noch 300 m bis zur Ausfahrt", c.format, c.background);
        EXPECT_EQ(shown, expected) << c.style;
        EXPECT_EQ(GetPixel(m_screen, 9, 9), kRed);
        DestroyWindow(label);
        DeleteObject(blue);
    }
}

// An edit field draws its text, its caret while it has the focus, and its selection
// highlighted; changes repaint it.
TEST_F(ControlPaint, EditShowsTextCaretAndSelection) {
    g_answer = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const RECT place{10, 20, 110, 40};
    HWND edit = Make(u"Edit", u"Weg", ES_AUTOHSCROLL, place);
    HDC dc = GetDC(edit);
    SelectObject(dc, m_font);
    SIZE size{};
    GetTextExtentPoint32W(dc, u"Weg", 3, &size);
    ReleaseDC(edit, dc);
    const int top = 20 + (20 - size.cy) / 2;
    auto column = [&](int x) {
        std::string letters;
        for (int y = top; y < top + size.cy; ++y)
            letters += Letter(GetPixel(m_screen, x, y));
        return letters;
    };
    const std::string blank(static_cast<std::size_t>(size.cy), '.');
    const std::string line(static_cast<std::size_t>(size.cy), '#');

    struct Step {
        const char* name;
        void (*act)(HWND);
        int caretAt; // screen x of a full-height caret line, or 0 for none
        bool isHighlighted;
    };
    const int endX = 10 + 1 + size.cx;
    const Step steps[] = {
        {"without focus", [](HWND) {}, 0, false},
        {"with focus", [](HWND e) { SetFocus(e); }, 11, false},
        {"all selected", [](HWND e) { SendMessageW(e, EM_SETSEL, 0, -1); }, 0, true},
        {"caret at the end", [](HWND e) { SendMessageW(e, EM_SETSEL, 3, 3); }, endX, false},
    };
    for (const Step& step : steps) {
        step.act(edit);
        m_driver.RunUntilIdle();
        if (step.caretAt != 0) {
            EXPECT_EQ(column(step.caretAt), line) << step.name;
        }
        EXPECT_EQ(column(endX), step.caretAt == endX ? line : blank) << step.name;
        EXPECT_EQ(GetPixel(m_screen, 12, top + 1) == kNavy, step.isHighlighted) << step.name;
    }
    m_driver.Text(u" Alt");
    SetFocus(m_parent);
    m_driver.RunUntilIdle();
    const auto [shown, expected] = Compare(RECT{11, top, 11 + 50, top + size.cy}, u"Weg Alt",
                                           DT_SINGLELINE | DT_NOPREFIX, kWhite);
    EXPECT_EQ(shown, expected);
    DestroyWindow(edit);
}

namespace {

// Extents of the prefixes of text in font, as the edit field lays them out.
std::vector<int> Extents(HFONT font, const std::u16string& text) {
    Canvas canvas(1, 1);
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    std::vector<int> extents(text.size() + 1, 0);
    SIZE size{};
    GetTextExtentExPointW(canvas.dc(), text.c_str(), static_cast<int>(text.size()), 0, nullptr,
                          extents.data() + 1, &size);
    SelectObject(canvas.dc(), old);
    return extents;
}

TEST_F(ControlPaint, EditWithoutAutoScrollTakesOnlyWhatFitsItsWidth) {
    struct Case {
        const char* name;
        DWORD style;
        int width;
        bool isCut;
    };
    const Case cases[] = {
        {"narrow field", 0, 40, true},
        {"wide field", 0, 118, false},
        {"scrolling field", ES_AUTOHSCROLL, 40, false},
    };
    const std::u16string typed = u"WWWWWWWW";
    const std::vector<int> extents = Extents(m_font, typed);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND edit = Make(u"Edit", u"", c.style, RECT{1, 1, 1 + c.width, 21});
        SetFocus(edit);
        g_maxTextNotes = 0;
        m_driver.Text(typed);
        std::size_t expected = typed.size();
        if (c.isCut) {
            while (extents[expected] > c.width - 2)
                --expected;
        }
        ASSERT_LT(expected, c.isCut ? typed.size() : typed.size() + 1);
        EXPECT_EQ(static_cast<std::size_t>(GetWindowTextLengthW(edit)), expected);
        EXPECT_EQ(g_maxTextNotes, c.isCut ? static_cast<int>(typed.size() - expected) : 0);
        DestroyWindow(edit);
    }
}

TEST_F(ControlPaint, EditTapPutsTheCaretAtTheNearestBoundary) {
    const std::u16string text = u"Weg Alt";
    const std::vector<int> extents = Extents(m_font, text);
    HWND edit = Make(u"Edit", text.c_str(), 0, RECT{10, 10, 110, 30});
    struct Case {
        int x;
        DWORD caret;
    };
    // The text starts one pixel in.
    const Case cases[] = {
        {0, 0},
        {1 + extents[2], 2},
        {1 + (extents[3] + extents[4]) / 2 + 1, 4},
        {1 + extents[4] + 1, 4},
        {99, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, 5));
        DWORD from = 99;
        DWORD to = 99;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(from, c.caret);
        EXPECT_EQ(to, c.caret);
    }
    DestroyWindow(edit);
}

} // namespace
