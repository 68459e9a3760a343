// The facade across threads: a load on a worker waits for a running drawing pass and the
// canvas learns of it on its own thread; a matcher front over the facade forgets its street
// when a level file is loaded.

#include "mapdisplay/mapcanvas.h"
#include "positioning/mapmatcherfront.h"
#include "testdata/drawtown.h"
#include "testdata/tempdir.h"

#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct Page {
    Page() {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        240, 320, nullptr, nullptr, nullptr, &window);
        EXPECT_TRUE(canvas.Create(window.window, nullptr, WS_CHILD | WS_VISIBLE, false));
        canvas.MapOpened.ConnectUnlocked(this, &Page::OnOpened);
        canvas.BeginLayer.ConnectUnlocked(this, &Page::OnBeginLayer);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnOpened() { openedOn.push_back(GetCurrentThreadId()); }
    void OnBeginLayer(std::uint32_t*, DrawContext*, std::uint32_t, std::uint32_t*) {
        if (onLayer)
            onLayer();
    }

    OwnerHandlerList handlers;
    WindowHandle window;
    MapCanvas canvas;
    platform::ScreenDriver driver;
    std::vector<DWORD> openedOn;
    std::function<void()> onLayer;
};

TEST(FacadeThreads, LoadOnAWorkerWaitsForTheDrawAndTheCanvasHearsOfItOnItsThread) {
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town(4, 3);
    ASSERT_TRUE(town.WriteTo(root, u"\\maps"));
    ASSERT_TRUE(town.WriteTo(root, u"\\other"));
    Page page;
    auto facade = page.canvas.GetEngine();
    ASSERT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
    page.driver.RunUntilIdle();
    ASSERT_EQ(page.openedOn.size(), 1u);

    // The pass asks for layer announcements; on the first one a worker starts loading another
    // level file and the pass holds until the worker is under way.
    std::atomic<bool> isStarted{false};
    std::atomic<bool> isLoaded{false};
    std::atomic<bool> wasLoadedDuringDraw{false};
    std::thread worker;
    page.onLayer = [&] {
        if (isStarted)
            return;
        worker = std::thread([&] {
            isStarted = true;
            EXPECT_TRUE(facade->LoadLevelFile(u"\\other\\town.lvl"));
            isLoaded = true;
        });
        while (!isStarted)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        wasLoadedDuringDraw = isLoaded.load();
    };
    struct Flags {
        OwnerHandlerList handlers;
        OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
        void OnBeginDraw(std::uint32_t* result, DrawContext*) { *result |= 4; }
    } flags;
    page.canvas.BeginDraw.ConnectUnlocked(&flags, &Flags::OnBeginDraw);
    page.canvas.InvalidateMap();
    page.driver.RunUntilIdle();
    ASSERT_TRUE(worker.joinable());
    worker.join();
    EXPECT_FALSE(wasLoadedDuringDraw);
    EXPECT_TRUE(isLoaded);
    page.driver.RunUntilIdle();
    ASSERT_EQ(page.openedOn.size(), 2u);
    EXPECT_EQ(page.openedOn[1], GetCurrentThreadId());
}

TEST(FacadeThreads, MatcherFrontForgetsItsStreetWhenALevelFileLoads) {
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town(4, 3);
    ASSERT_TRUE(town.WriteTo(root, u"\\maps"));
    ASSERT_TRUE(town.WriteTo(root, u"\\other"));
    auto facade = MapEngineFacade::Create(1024);
    ASSERT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    const MapMatcherFrontPtr front = CreateMapMatcherFront(AreaQueryPtr(facade));
    ASSERT_TRUE(front);
    // Eastwards along the street of the grid's second row, 8 m a second.
    const MapPoint west = testdata::DrawTownWriter::GridPoint(0, 1);
    bool matched = false;
    for (std::uint32_t second = 0; second < 10; ++second) {
        GpsFix fix;
        const GeoPoint p =
            MapPointToDegrees({west.x + 100 + static_cast<std::int32_t>(second * 54), west.y});
        fix.longitude = p.x;
        fix.latitude = p.y;
        fix.positionStatus = 0;
        fix.satellites = 8;
        fix.course = 90;
        fix.courseStatus = 0;
        fix.speed = 30;
        fix.speedStatus = 0;
        fix.hdop = 1.0F;
        fix.utcTime = 946684800 + 12 * 3600 + second;
        fix.tick = 1000 * (second + 1);
        clock.SetTick(fix.tick);
        matched = front->Update({fix});
    }
    ASSERT_TRUE(matched);
    EXPECT_NE(front->GetResult()->street, -1);
    ASSERT_TRUE(facade->LoadLevelFile(u"\\other\\town.lvl"));
    EXPECT_EQ(front->GetResult()->street, -1);
}

} // namespace
