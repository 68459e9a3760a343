// The traffic overlay while the message store changes on its reader and timer threads: messages
// added, replaced and expired while the user-interface thread pans, paints and hovers. Nothing
// crashes or races, and once the last messages are in, the frame equals the one a new overlay
// draws from scratch.

#include "mapdisplay/tests/overlayfixture.h"

#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace overlaytest;

TEST(OverlayThreads, FollowsTheStoreWhileTheViewChanges) {
    OverlayFixture f;
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    model.events.push_back({402, "gesperrt", false, 5, 0, 0, {}});
    const TownLine blocked = f.AddLine(model, 4, 8, 6, 600, "Talweg");
    const TownLine slow = f.AddLine(model, 4, 8, 4, 700, "Bergweg");
    f.Start(model);
    f.driver.RunUntilIdle();
    const GeoPoint centre = MapPointToDegrees(f.town.GetCentre());

    std::atomic<bool> isDone{false};
    std::thread reader([&] {
        for (int i = 0; i < 40; ++i) {
            const bool isNegative = i % 3 == 0;
            // A closure, then its replacement by the other closing event; a queue elsewhere.
            const TmcRawMessage closure = OverlayFixture::Message(
                i % 2 == 0 ? 401 : 402, blocked.line.points[1 + i % 2], 1, isNegative);
            const TmcRawMessage queue =
                OverlayFixture::Message(115, slow.line.points[i % 3], 1, isNegative);
            (void)f.store->AddRawMessage(&closure);
            (void)f.store->AddRawMessage(&queue);
            if (i % 10 == 9) {
                f.clock.Advance(950 * 1000); // every message expires on the timer thread
            }
            std::this_thread::yield();
        }
        // Everything expires; then one closure and one queue that share no element stay.
        f.clock.Advance(24 * 3600 * 1000);
        for (int wait = 0; wait < 5000 && f.store->GetCount() != 0; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const TmcRawMessage closure =
            OverlayFixture::Message(401, blocked.line.points[2], 2, false);
        const TmcRawMessage queue = OverlayFixture::Message(115, slow.line.points[2], 2, false);
        EXPECT_TRUE(f.store->AddRawMessage(&closure));
        EXPECT_TRUE(f.store->AddRawMessage(&queue));
        isDone = true;
    });
    int step = 0;
    while (!isDone) {
        const float dx = static_cast<float>((step % 5) - 2) * 0.0005f;
        f.canvas.SetCenter(GeoPoint{centre.x + dx, centre.y});
        f.canvas.InvalidateMap();
        f.driver.RunUntilIdle();
        const POINT on = f.ScreenOf(5 + step % 3, 6);
        SendMessageW(f.canvas.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(on.x, on.y));
        ++step;
    }
    reader.join();
    f.driver.StepClock(3100); // the last hover's hint hides
    EXPECT_FALSE(IsWindowVisible(f.layer->GetHintWindow().GetWindow()));
    f.canvas.SetCenter(centre);
    f.Repaint();
    f.Repaint(); // the street labels settle after the panning
    const std::vector<std::uint32_t> followed = f.Frame();
    const std::vector<std::uint32_t> entries = f.layer->GetEntryIds();
    const std::multiset<std::uint32_t> roads = f.layer->GetElementIds();
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(f.store->GetCount(), 2u);

    // A new overlay told of the stored messages draws the same frame.
    f.layer->AttachMapView(nullptr);
    f.layer = CreateParkingLayer();
    ASSERT_TRUE(f.layer);
    f.layer->Connect(f.store);
    f.layer->AttachMapView(&f.canvas);
    f.store->AnnounceAll();
    EXPECT_TRUE(f.layer->Load(u"\\App\\tmc\\"));
    f.Repaint();
    EXPECT_EQ(f.layer->GetEntryIds(), entries);
    EXPECT_EQ(f.layer->GetElementIds(), roads);
    EXPECT_EQ(f.Frame(), followed);
}

} // namespace
