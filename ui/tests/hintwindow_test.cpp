#include "ui/hintwindow.h"

#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::filesystem::path kHintFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The DT_CALCRECT size of text in a 12-point Swiss font.
SIZE MeasuredSize(const std::u16string& text) {
    HDC screen = GetDC(nullptr);
    LOGFONTW description{};
    description.lfHeight = 12 * GetDeviceCaps(screen, LOGPIXELSY) / 72;
    description.lfPitchAndFamily = FF_SWISS;
    HFONT font = CreateFontIndirectW(&description);
    HGDIOBJ old = SelectObject(screen, font);
    RECT rect{0, 0, 1000, 1000};
    DrawTextW(screen, text.c_str(), -1, &rect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOCLIP | DT_EXTERNALLEADING | DT_NOPREFIX);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

class HintPage : public testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile(kHintFont);
        page_ = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 10, 20, 200, 200, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(page_);
        platform::SetFontFile({});
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    HWND page_{};
};

TEST_F(HintPage, PlacedAtThePointAndSizedToTheText) {
    struct Case {
        POINT point;
        const char16_t* text;
        bool isCentred;
    };
    const Case cases[] = {
        {{30, 40}, u"Hello", false},
        {{5, 5}, u"A longer hint text", false},
        {{-100, 60}, u"Centred", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text)));
        HintWindow hint(page_, RGB(255, 255, 200));
        ASSERT_TRUE(hint.Show(c.point, c.text, 0));
        driver_.RunUntilIdle();
        EXPECT_TRUE(IsWindowVisible(hint.GetWindow()));
        RECT bounds{};
        GetWindowRect(hint.GetWindow(), &bounds);
        const SIZE text = MeasuredSize(c.text);
        EXPECT_EQ(bounds.right - bounds.left, text.cx + 6);
        EXPECT_EQ(bounds.bottom - bounds.top, text.cy + 4);
        POINT expected = c.point;
        ClientToScreen(page_, &expected);
        if (c.isCentred)
            expected.x = -expected.x - (text.cx + 6) / 2;
        EXPECT_EQ(bounds.left, expected.x);
        EXPECT_EQ(bounds.top, expected.y);
    }
}

TEST_F(HintPage, HidesAfterItsDelay) {
    struct Step {
        const char* name;
        std::function<bool(HintWindow&)> action; // returns what Show returned
        bool result;
        std::uint64_t stepMs;
        bool isVisible;
    };
    const POINT at{10, 10};
    const Step steps[] = {
        {"shown", [&](HintWindow& h) { return h.Show(at, u"Hint", 0); }, true, 1499, true},
        {"hidden at 1500 ms", [](HintWindow&) { return false; }, false, 1, false},
        {"shown again", [&](HintWindow& h) { return h.Show(at, u"Hint", 0); }, true, 1000, true},
        {"the same text keeps the timer", [&](HintWindow& h) { return h.Show(at, u"Hint", 0); },
         false, 500, false},
        {"new text", [&](HintWindow& h) { return h.Show(at, u"Other", 0); }, true, 0, true},
        {"empty text only hides", [&](HintWindow& h) { return h.Show(at, u"", 0); }, false, 0,
         false},
    };
    HintWindow hint(page_, RGB(255, 255, 200));
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.action(hint), s.result);
        driver_.StepClock(s.stepMs);
        EXPECT_EQ(IsWindowVisible(hint.GetWindow()) != FALSE, s.isVisible);
    }
}

TEST_F(HintPage, NothingShowsWithoutAWindow) {
    HintWindow hint(nullptr, RGB(255, 255, 200));
    EXPECT_EQ(hint.GetWindow(), nullptr);
    EXPECT_FALSE(hint.Show(POINT{1, 1}, u"Hint", 0));
    hint.Create(page_, u"Arial", 10);
    EXPECT_TRUE(hint.Show(POINT{1, 1}, u"Hint", 0));
}

} // namespace
