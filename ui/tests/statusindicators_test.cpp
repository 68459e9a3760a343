#include "testdata/golden.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/statusindicators.h"
#include "ui/tests/layouttesting.h"
#include "ui/tmcmonitor.h"

#include "platform/gdi/screenshot.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// A message dialog without a window that counts how often it is shown.
class CountingTmcDialog : public TmcMessageDialog {
public:
    explicit CountingTmcDialog(int& shows)
        : shows_(shows) {}
    void SetData(const std::vector<std::u16string>&, const std::vector<UINT>&) override {}
    void SetStatusText(std::u16string_view) override {}
    [[nodiscard]] HWND GetHwnd() const override { return nullptr; }
    void Show() override { ++shows_; }
    void Close() override {}

private:
    int& shows_;
};

using namespace layouttesting;

TEST(StatusIndicatorFaces, TextAndColourFollowTheState) {
    constexpr COLORREF kGreen = 0x39EA84;
    constexpr COLORREF kRed = 0x0000FF;
    const struct {
        StatusIndicator::Face face;
        std::u16string text;
        COLORREF colour;
    } cases[] = {
        {GpsIndicator::FaceFor(2, 7), u"GPS 7", kGreen},
        {GpsIndicator::FaceFor(2, 0), u"GPS 0", kGreen},
        {GpsIndicator::FaceFor(2, GpsFix::kNotDelivered), u"GPS", kGreen}, // no count sent
        {GpsIndicator::FaceFor(1, 7), u"GPS 0", kRed},
        {GpsIndicator::FaceFor(0, 7), u"GPS!", kRed},
        {GpsIndicator::FaceFor(-1, 0), u"GPS!", kRed}, // before any position
        {TmcIndicator::FaceFor(3, 5), u"TMC 5", kGreen},
        {TmcIndicator::FaceFor(2, 5), u"TMC 5", kRed},
        {TmcIndicator::FaceFor(1, 5), u"TMC!", kRed},
        {TmcIndicator::FaceFor(0, 5), u"", 0},
        {TmcIndicator::FaceFor(4, 5), u"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.face.text, c.text);
        EXPECT_EQ(c.face.colour, c.colour);
    }
    EXPECT_EQ(GpsStateMonitor().GetFixClass(), -1);
}

MatchedPosition IndicatorPosition(float hdop, std::uint16_t satellites) {
    MatchedPosition position;
    position.fix.hdop = hdop;
    position.fix.satellites = satellites;
    return position;
}

std::uint32_t PixelOf(COLORREF colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// The page of every control kind with the logo and both indicators, at the screen's size.
class IndicatorPage : public testing::TestWithParam<SIZE> {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.isReady);
        GpsStateMonitor::Instance().OnPosition(IndicatorPosition(1.0f, 7));
        TmcMonitor::Instance().SetReceiverState(3);
        TmcMonitor::Instance().SetMessageCount(12);
        ASSERT_NE(CreatePageWindow(page_, GetParam().cx, GetParam().cy), nullptr);
        CreateControls(page_);
        logo_ = page_.CreateLogoBox();
        tmc_ = page_.CreateTmcIndicator();
        gps_ = page_.CreateGpsIndicator();
        GpsStateMonitor::Instance().SetIndicatorWindow(gps_);
        TmcMonitor::Instance().SetOwnerWindow(tmc_);
        SendMessageW(page_.GetHwnd(), WM_SIZE, 0, MAKELPARAM(GetParam().cx, GetParam().cy));
        InvalidateRect(page_.GetHwnd(), nullptr, TRUE);
        ASSERT_TRUE(driver_.RunUntilIdle());
    }
    void TearDown() override {
        GpsStateMonitor::Instance().SetIndicatorWindow(nullptr);
        TmcMonitor::Instance().SetOwnerWindow(nullptr);
    }
    // The indicator's pixels: black, or the text colour, with at least some text.
    void ExpectPainted(HWND indicator, COLORREF colour, bool hasText) {
        RECT rect{};
        GetWindowRect(indicator, &rect);
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::ReadScreenPixels(&rect, &pixels, &width, &height));
        int textPixels = 0;
        for (std::uint32_t pixel : pixels) {
            if (pixel == PixelOf(colour) && pixel != 0)
                ++textPixels;
            else
                ASSERT_EQ(pixel, 0u);
        }
        EXPECT_EQ(textPixels > 0, hasText);
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    Device device_{static_cast<int>(GetParam().cx), static_cast<int>(GetParam().cy),
                   PageDescription()};
    TestPage page_;
    HWND logo_{};
    HWND gps_{};
    HWND tmc_{};
};

TEST_P(IndicatorPage, IndicatorsFloatAtTheirEntriesAndPaintTheirState) {
    const int scale = GetParam().cx / 240;
    const struct {
        HWND window;
        RECT design;
        int id;
    } placed[] = {{logo_, {10, 280, 70, 310}, 0},
                  {gps_, {80, 280, 150, 310}, 1138},
                  {tmc_, {160, 280, 230, 310}, 1143}};
    for (const auto& p : placed) {
        ASSERT_NE(p.window, nullptr);
        EXPECT_TRUE(IsWindowVisible(p.window)) << "shown after the page's painting";
        RECT rect{};
        GetWindowRect(p.window, &rect);
        EXPECT_EQ(rect.left, p.design.left * scale);
        EXPECT_EQ(rect.bottom, p.design.bottom * scale);
        EXPECT_EQ(GetDlgCtrlID(p.window), p.id);
    }
    EXPECT_NE(page_.FindControl(1138), nullptr);
    const struct {
        HWND window;
        std::u16string text;
    } texts[] = {{gps_, u"GPS"}, {tmc_, u"TMC"}, {logo_, u""}};
    for (const auto& t : texts) {
        WCHAR text[16] = {};
        GetWindowTextW(t.window, text, 16);
        EXPECT_EQ(std::u16string(text), t.text);
    }
    ExpectPainted(gps_, 0x39EA84, true);
    ExpectPainted(tmc_, 0x39EA84, true);

    const struct {
        float hdop;
        COLORREF colour;
    } fixes[] = {{-1.0f, 0x0000FF}, {-2.0f, 0x0000FF}, {0.4f, 0x39EA84}};
    for (const auto& f : fixes) {
        SCOPED_TRACE(f.hdop);
        GpsStateMonitor::Instance().OnPosition(IndicatorPosition(f.hdop, 4)); // posts WM_PAINT
        ASSERT_TRUE(driver_.RunUntilIdle());
        ExpectPainted(gps_, f.colour, true);
    }
    const struct {
        int state;
        COLORREF colour;
        bool hasText;
    } states[] = {{0, 0, false}, {1, 0x0000FF, true}, {2, 0x0000FF, true}, {3, 0x39EA84, true}};
    for (const auto& s : states) {
        SCOPED_TRACE(s.state);
        TmcMonitor::Instance().SetReceiverState(s.state);
        TmcMonitor::Instance().GetEvent().Emit();
        ASSERT_TRUE(driver_.RunUntilIdle()) << "the indicator validates what it paints";
        ExpectPainted(tmc_, s.colour, s.hasText);
    }
}

TEST_P(IndicatorPage, PageOfEveryControlKindMatchesItsGolden) {
    GpsStateMonitor::Instance().OnPosition(IndicatorPosition(1.0f, 7));
    TmcMonitor::Instance().SetReceiverState(3);
    TmcMonitor::Instance().GetEvent().Emit();
    ASSERT_TRUE(driver_.RunUntilIdle());
    const std::string name =
        "page_" + std::to_string(GetParam().cx) + "x" + std::to_string(GetParam().cy);
    EXPECT_TRUE(testdata::WindowMatchesGolden(page_.GetHwnd(), NAV_UI_DIR, name));
}

TEST_P(IndicatorPage, ClicksOpenWhatTheStateNames) {
    int shownMessages = 0;
    TmcMonitor::Instance().SetDialog(std::make_unique<CountingTmcDialog>(shownMessages));
    auto gps = [](float hdop) {
        return [hdop] { GpsStateMonitor::Instance().OnPosition(IndicatorPosition(hdop, 5)); };
    };
    auto tmc = [](int state) {
        return [state] { TmcMonitor::Instance().SetReceiverState(state); };
    };
    // Dialogs are owned by top-level windows (a child given as owner stands for its page): two
    // windows of their own show whose window each click takes.
    HWND gpsOwner = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                    nullptr, nullptr);
    HWND tmcOwner = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                    nullptr, nullptr);
    GpsStateMonitor::Instance().SetIndicatorWindow(gpsOwner);
    TmcMonitor::Instance().SetOwnerWindow(tmcOwner);
    HWND page = page_.GetHwnd();
    const struct {
        const char* name;
        HWND* target;
        std::function<void()> setState;
        std::u16string section; // empty: no dialog
        UINT textId;
        HWND* owner;
        int shownMessages;
    } cases[] = {
        {"GPS class 1", &gps_, gps(-1.0f), u"MsgBox", 1180, &gpsOwner, 0},
        {"GPS class 0", &gps_, gps(-2.0f), u"MsgBox", 1181, &gpsOwner, 0},
        {"GPS class 2", &gps_, gps(0.4f), u"GpsDlg", 0, &gpsOwner, 0},
        {"TMC state 1", &tmc_, tmc(1), u"MsgBox", 1178, &tmcOwner, 0},
        {"TMC state 2", &tmc_, tmc(2), u"MsgBox", 1179, &tmcOwner, 1},
        {"TMC state 3", &tmc_, tmc(3), u"", 0, nullptr, 1},
        {"TMC state 0", &tmc_, tmc(0), u"", 0, nullptr, 0},
        {"logo", &logo_, [] {}, u"LogoBox", 1182, &page, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.setState();
        ASSERT_TRUE(driver_.RunUntilIdle());
        shownMessages = 0;
        std::u16string section;
        bool hasText = false;
        HWND owner = nullptr;
        if (!c.section.empty()) {
            driver_.PlayWhenIdle({platform::ScriptStep::Run([&] {
                HWND dialog = GetActiveWindow();
                if (const DialogBase* open = DialogBase::FromWindow(dialog)) {
                    section = open->GetSection();
                    hasText = c.textId == 0 || open->FindItem(c.textId) != nullptr;
                    owner = GetParent(dialog);
                }
                if (c.section == u"GpsDlg") {
                    // Shown already: a second request runs no second dialog.
                    EXPECT_EQ(GpsStateMonitor::Instance().GetDialogWindow(), dialog);
                    GpsStateMonitor::Instance().ShowDialog(nullptr);
                }
                PostMessageW(dialog, WM_COMMAND, 1, 0);
            })});
        }
        RECT rect{};
        GetWindowRect(*c.target, &rect);
        driver_.Tap(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
        ASSERT_TRUE(driver_.RunUntilIdle());
        EXPECT_FALSE(driver_.RanOutOfScript());
        EXPECT_EQ(section, c.section);
        EXPECT_TRUE(hasText || c.section.empty());
        EXPECT_EQ(owner, c.owner != nullptr ? *c.owner : nullptr);
        EXPECT_EQ(shownMessages, c.shownMessages);
    }
    EXPECT_EQ(GpsStateMonitor::Instance().GetDialogWindow(), nullptr) << "closed again";
    TmcMonitor::Instance().SetDialog(nullptr);
    DestroyWindow(gpsOwner);
    DestroyWindow(tmcOwner);
}

INSTANTIATE_TEST_SUITE_P(Sizes, IndicatorPage, testing::Values(SIZE{240, 320}, SIZE{480, 640}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" +
                                    std::to_string(info.param.cy);
                         });

} // namespace
