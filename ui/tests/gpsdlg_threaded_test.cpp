#include "ui/gpsdlg.h"
#include "ui/tests/dialogtesting.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::ScriptStep;

MatchedPosition Position(float x, std::uint16_t satellites) {
    MatchedPosition position;
    position.matched = GeoPoint{x, 47.0f};
    position.fix.satellites = satellites;
    return position;
}

class GpsDialogThreads : public dialogtesting::DialogPage {};

TEST_F(GpsDialogThreads, UpdatesFromAnotherThreadInvalidateTheChangedItems) {
    struct Case {
        MatchedPosition position;
        UINT item;
    };
    const Case cases[] = {
        {Position(9.0f, 6), GpsDlg::kSatellitesId},
        {Position(9.5f, 6), GpsDlg::kLongitudeId},
    };
    GpsDlg dialog;
    dialog.Update(Position(9.0f, 5));
    std::vector<ScriptStep> steps;
    for (const Case& c : cases) {
        steps.push_back(ScriptStep::Run([&] {
            HWND window = dialog.GetWindow();
            ValidateRect(window, nullptr);
            std::thread receiver([&] { dialog.Update(c.position); });
            receiver.join();
            RECT update{};
            GetUpdateRect(window, &update, FALSE);
            EXPECT_TRUE(dialogtesting::Same(update, dialog.FindItem(c.item)->rect));
        }));
    }
    // Many updates racing with the drawing of the dialog.
    steps.push_back(ScriptStep::Run([&] {
        std::thread receiver([&] {
            for (int i = 0; i < 200; ++i)
                dialog.Update(Position(static_cast<float>(i % 7), static_cast<std::uint16_t>(i)));
        });
        for (int i = 0; i < 20; ++i)
            UpdateWindow(dialog.GetWindow());
        receiver.join();
    }));
    steps.push_back(ScriptStep::TapAt(POINT{20 + 170, 110 + 85}));
    driver_.PlayWhenIdle(steps);
    EXPECT_EQ(dialog.DoModal(page_), 1);
    EXPECT_FALSE(driver_.RanOutOfScript());
}

} // namespace
