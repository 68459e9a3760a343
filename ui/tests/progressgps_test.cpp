#include "ui/gpsdlg.h"
#include "ui/progressdlg.h"
#include "ui/tests/dialogtesting.h"

#include "platform/window/input.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using dialogtesting::Same;
using platform::ScriptStep;

// Records the shown percentage at each bar drawing.
class RecordingProgress : public ProgressDlg {
public:
    RecordingProgress()
        : ProgressDlg(true) {}
    void DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) override {
        if (id == kBarId)
            bars.push_back(GetShownPercent());
        ProgressDlg::DrawItem(dc, id, rect, text);
    }
    std::vector<int> bars;
};

std::vector<int> Range(int from, int to) {
    std::vector<int> values;
    for (int i = from; i < to; ++i)
        values.push_back(i);
    return values;
}

class ProgressTest : public dialogtesting::DialogPage {};

TEST_F(ProgressTest, StagesMoveTheBarOnePercentADraw) {
    struct Step {
        int percent;
        std::vector<int> bars;
        int shown;
        int base;
    };
    const Step steps[] = {
        {40, Range(0, 40), 40, 0},
        {100, Range(40, 100), 100, 100},
        {100, {}, 100, 200}, // target 200 draws nothing
    };
    RecordingProgress progress;
    progress.SetStages(0); // counts as one
    for (const Step& s : steps) {
        SCOPED_TRACE(s.percent);
        progress.bars.clear();
        progress.SetProgress(s.percent);
        EXPECT_EQ(progress.bars, s.bars);
        EXPECT_EQ(progress.GetShownPercent(), s.shown);
        EXPECT_EQ(progress.GetBasePercent(), s.base);
    }
    RecordingProgress halves;
    halves.SetStages(2);
    halves.SetProgress(50);
    EXPECT_EQ(halves.GetShownPercent(), 25);
    halves.SetProgress(100);
    EXPECT_EQ(halves.GetShownPercent(), 50);
    halves.SetProgress(50);
    EXPECT_EQ(halves.GetShownPercent(), 75);
}

TEST_F(ProgressTest, TheOwnerIsDisabledWhileItLives) {
    HWND window = nullptr;
    {
        ProgressDlg progress(false);
        window = progress.GetWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(progress.GetOwner(), page_);
        EXPECT_FALSE(IsWindowEnabled(page_));
        EXPECT_TRUE(IsWindowVisible(window));
        RECT bounds{};
        GetWindowRect(window, &bounds);
        EXPECT_TRUE(Same(bounds, RECT{20, 72, 220, 172})); // centred, then 38 pixels up
        progress.SetProgress(30);
        GetWindowRect(window, &bounds);
        EXPECT_EQ(bounds.top, 72);
        EXPECT_EQ(DialogBase::FromWindow(window), &progress);
        progress.SetRoute(u"Vaduz", u"Schaan");
    }
    EXPECT_TRUE(IsWindowEnabled(page_));
    EXPECT_EQ(GetActiveWindow(), page_);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(DialogBase::FromWindow(window), nullptr);
}

TEST_F(ProgressTest, PumpDispatchesAndReportsTheStopFlagOnce) {
    struct Step {
        const char* name;
        std::function<void(ProgressDlg&)> before;
        bool result;
        int commands;
        bool isQuitLeft;
    };
    const Step steps[] = {
        {"nothing waiting", [](ProgressDlg&) {}, false, 0, false},
        {"two waiting messages",
         [&](ProgressDlg&) {
             PostMessageW(page_, WM_COMMAND, 9, 0);
             PostMessageW(page_, WM_COMMAND, 10, 0);
         },
         false, 2, false},
        {"stop requested", [](ProgressDlg& p) { p.RequestStop(); }, true, 0, false},
        {"the flag was cleared", [](ProgressDlg&) {}, false, 0, false},
        {"a quit stops the pumping and stays",
         [&](ProgressDlg&) {
             PostQuitMessage(3);
             PostMessageW(page_, WM_COMMAND, 11, 0);
         },
         false, 1, true},
    };
    ProgressDlg progress(true);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        listtesting::Commands().clear();
        s.before(progress);
        EXPECT_EQ(progress.Pump(), s.result);
        int commands = 0;
        for (const auto& command : listtesting::Commands())
            commands += command.id >= 9 ? 1 : 0;
        EXPECT_EQ(commands, s.commands);
        MSG msg{};
        const bool isQuitLeft = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
        EXPECT_EQ(isQuitLeft, s.isQuitLeft);
    }
    driver_.RunUntilIdle();
    EXPECT_TRUE(driver_.HasSeenQuit());
}

class GpsDialogTest : public dialogtesting::DialogPage {};

MatchedPosition Position(float x, float y, std::uint16_t satellites, std::uint32_t time,
                         float hdop) {
    MatchedPosition position;
    position.matched = GeoPoint{x, y};
    position.fix.satellites = satellites;
    position.fix.utcTime = time;
    position.fix.hdop = hdop;
    return position;
}

TEST_F(GpsDialogTest, ItemFormats) {
    struct Case {
        UINT id;
        MatchedPosition position;
        std::u16string text;
    };
    const Case cases[] = {
        {GpsDlg::kLongitudeId, Position(-7.5f, 0, 0, 0, 0), u"7\u00B030\u00B40\u00B4\u00B4 W"},
        {GpsDlg::kLongitudeId, Position(9.25f, 0, 0, 0, 0), u"9\u00B015\u00B40\u00B4\u00B4 E"},
        {GpsDlg::kLongitudeId, Position(180.0f, 0, 0, 0, 0), u"180\u00B00\u00B40\u00B4\u00B4 "},
        {GpsDlg::kLatitudeId, Position(0, 47.125f, 0, 0, 0), u"47\u00B07\u00B430\u00B4\u00B4 N"},
        {GpsDlg::kLatitudeId, Position(0, -33.5f, 0, 0, 0), u"33\u00B030\u00B40\u00B4\u00B4 S"},
        {GpsDlg::kLatitudeId, Position(0, 90.0f, 0, 0, 0), u"90\u00B00\u00B40\u00B4\u00B4 "},
        {GpsDlg::kSatellitesId, Position(0, 0, 7, 0, 0), u"7"},
        {GpsDlg::kSatellitesId, Position(0, 0, GpsFix::kNotDelivered, 0, 0), u""},
        {GpsDlg::kTimeId, Position(0, 0, 0, 5 * 86400 + 3723, 0), u"1:2:3 "},
        {GpsDlg::kTimeId, Position(0, 0, 0, 86399, 0), u"23:59:59 "},
        {GpsDlg::kTimeId, Position(0, 0, 0, 0, -1.0f), u""}, // no time delivered: not midnight
        {GpsDlg::kHdopId, Position(0, 0, 0, 0, 1.4f), u"1.4"},
        {GpsDlg::kHdopId, Position(0, 0, 0, 0, -1.0f), u"-1.0"},
        {GpsDlg::kQualityId, Position(0, 0, 0, 0, 1.4f), u"1"},
        {GpsDlg::kQualityId, Position(0, 0, 0, 0, 0.0f), u"0"},
    };
    GpsDlg dialog;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(dialog.FormatItem(c.id, c.position), c.text);
    }
}

TEST_F(GpsDialogTest, UpdateInvalidatesTheChangedItems) {
    struct Case {
        const char* name;
        MatchedPosition position;
        std::vector<UINT> items;
    };
    // From satellites 5, time 100, hdop 1.5 at (9.5, 47.1).
    const Case cases[] = {
        {"the same", Position(9.5f, 47.1f, 5, 100, 1.5f), {}},
        {"longitude", Position(9.6f, 47.1f, 5, 100, 1.5f), {GpsDlg::kLongitudeId}},
        {"latitude and time",
         Position(9.5f, 47.2f, 5, 101, 1.5f),
         {GpsDlg::kLatitudeId, GpsDlg::kTimeId}},
        {"satellites", Position(9.5f, 47.1f, 6, 100, 1.5f), {GpsDlg::kSatellitesId}},
        {"hdop", Position(9.5f, 47.1f, 5, 100, 2.5f), {GpsDlg::kHdopId}},
        {"hdop to no fix",
         Position(9.5f, 47.1f, 5, 100, -1.0f),
         {GpsDlg::kHdopId, GpsDlg::kQualityId}},
    };
    GpsDlg dialog;
    dialog.Update(Position(9.5f, 47.1f, 5, 100, 1.5f)); // no window yet: nothing invalidated
    std::vector<ScriptStep> steps;
    for (const Case& c : cases) {
        steps.push_back(ScriptStep::Run([&] {
            SCOPED_TRACE(c.name);
            HWND window = dialog.GetWindow();
            dialog.Update(Position(9.5f, 47.1f, 5, 100, 1.5f));
            ValidateRect(window, nullptr);
            dialog.Update(c.position);
            RECT expected{};
            for (UINT id : c.items)
                UnionRect(&expected, &expected, &dialog.FindItem(id)->rect);
            RECT update{};
            GetUpdateRect(window, &update, FALSE);
            EXPECT_TRUE(Same(update, expected));
        }));
    }
    steps.push_back(ScriptStep::TapAt(POINT{20 + 170, 110 + 85}));
    driver_.PlayWhenIdle(steps);
    EXPECT_EQ(dialog.DoModal(page_), 1);
    EXPECT_FALSE(driver_.RanOutOfScript());
    // Run again: the object outlives its window.
    driver_.PlayWhenIdle({ScriptStep::TapAt(POINT{20 + 170, 110 + 85})});
    EXPECT_EQ(dialog.DoModal(page_), 1);
}

} // namespace
