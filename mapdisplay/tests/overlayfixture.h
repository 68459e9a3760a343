#pragma once
// The traffic overlay over the draw town in a 480 x 640 headless canvas, at the town's centre
// and 2 metres per pixel (a block of 200 m is 100 pixels): a TMC message store over tables
// whose lines run along two streets of the town, the overlay attached in the map view's order,
// and the messages of an ALERT-C encoder.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapcanvas.h"
#include "mapdisplay/parkinglayer.h"
#include "testdata/alertcencoder.h"
#include "testdata/drawtown.h"
#include "testdata/parkingtableswriter.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessagestore.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace overlaytest {

constexpr int kWidth = 480;
constexpr int kHeight = 640;
constexpr std::uint32_t kSignRgb = 0x0000C0; // blue sign squares of 12 pixels

inline std::uint32_t Code(std::uint32_t location) {
    return MakeTmcLocationCode(1, 1, location);
}

inline TmcRawMessage Decoded(const std::string& text) {
    TmcDecoder decoder;
    TmcRawMessage raw{};
    int offset = 0;
    while (offset < static_cast<int>(text.size())) {
        offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            raw = *message;
        }
    }
    return raw;
}

// A street of the town along x in row j from column i0 to i1, as the TMC line of point codes
// first..first + 2 (a point after its second element).
struct TownLine {
    std::vector<std::uint32_t> ids;
    testdata::TmcRoadLine line;
};

class OverlayFixture {
public:
    OverlayFixture() {
        // The arena stays for the whole program, as the application's does.
        if (!MemoryArena::Shared().HoldsMemory()) {
            EXPECT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
        }
        platform::SetScreenSize(kWidth, kHeight);
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        EXPECT_TRUE(town.WriteTo(root, u"\\maps"));
        CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                        kWidth, kHeight, nullptr, nullptr, nullptr, &page);
        EXPECT_TRUE(canvas.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE, false));
        facade = MapEngineFacade::Create(1024);
        EXPECT_TRUE(facade->LoadLevelFile(u"\\maps\\town.lvl"));
        canvas.SetEngine(facade);
        canvas.SetCenter(MapPointToDegrees(town.GetCentre()));
        canvas.SetScale(2.0);
        driver.RunUntilIdle();
    }
    ~OverlayFixture() {
        if (layer) {
            layer->AttachMapView(nullptr);
        }
        layer = nullptr;
        store = nullptr;
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }

    std::uint32_t StreetId(int i, int j, bool isAlongX) const {
        return town.GetDetailIds()[town.GetStreetSegment(i, j, isAlongX)];
    }
    POINT ScreenOf(int i, int j) const {
        return canvas.GeoToScreen(MapPointToDegrees(testdata::DrawTownWriter::GridPoint(i, j)));
    }

    TownLine AddLine(testdata::TmcTablesModel& model, int i0, int i1, int j, std::uint32_t first,
                     const std::string& name) {
        TownLine result;
        std::vector<testdata::TmcRoadElement> road;
        for (int i = i0; i < i1; ++i) {
            const std::uint32_t id = StreetId(i, j, true);
            std::vector<GeoPoint> points;
            six::IntfPtr<MapElement> element = facade->GetMappedElement(id);
            EXPECT_TRUE(element && element->GetPoints(points) && points.size() >= 2);
            road.push_back(
                {id, points.front().x, points.front().y, points.back().x, points.back().y});
            result.ids.push_back(id);
        }
        result.line =
            testdata::TmcLineAlongRoad(model, road, {1}, Code(first), Code(first + 1), name, "1");
        return result;
    }

    // Writes the TMC tables, opens the store over them and creates the overlay in the map
    // view's order, its folder "\App\tmc\" holding the parking tables and sign pictures.
    void Start(const testdata::TmcTablesModel& model,
               const testdata::ParkingTablesModel& parking = {},
               const testdata::ParkingTablesKnobs& knobs = {}) {
        ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(root, u"\\tmc", true));
        ASSERT_TRUE(testdata::ParkingTablesWriter(parking, knobs).WriteFolder(root, u"\\App\\tmc"));
        ASSERT_TRUE(testdata::WriteSignPictures(root, u"\\App\\tmc", {"Sperrung.Bmp", "Stau.Bmp"},
                                                12, kSignRgb));
        store = CreateTmcMessageStore();
        ASSERT_TRUE(store && store->OpenDatabaseWithCache(u"\\tmc", BlockCache::Create(256)));
        layer = CreateParkingLayer();
        ASSERT_TRUE(layer);
        layer->Connect(store);
        layer->AttachMapView(&canvas);
        store->AnnounceAll();
        EXPECT_TRUE(layer->Load(u"\\App\\tmc\\"));
    }

    // The raw message of an event at a point of a line, over `extent` points.
    static TmcRawMessage Message(unsigned event, std::uint32_t point, unsigned extent,
                                 bool isNegative) {
        testdata::AlertCMessage m;
        m.event = event;
        m.location = point % 100000;
        m.extent = extent;
        m.isNegativeDirection = isNegative;
        testdata::AlertCEncoder encoder;
        encoder.AddTable(m.programmeId, 1);
        return Decoded(encoder.AddMessage(m).Build());
    }

    void Repaint() {
        canvas.InvalidateMap();
        driver.RunUntilIdle();
    }
    std::vector<std::uint32_t> Frame() const {
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        const RECT all{0, 0, kWidth, kHeight};
        EXPECT_TRUE(platform::ReadScreenPixels(&all, &pixels, &width, &height));
        return pixels;
    }
    COLORREF ScreenAt(int x, int y) const {
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        const RECT one{x, y, x + 1, y + 1};
        EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &width, &height));
        const std::uint32_t rgb = pixels.empty() ? 0 : pixels[0];
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }

    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    testdata::TempDeviceRoot root;
    testdata::DrawTownWriter town{12, 1};
    OwnerHandlerList handlers;
    WindowHandle page;
    MapCanvas canvas;
    platform::ScreenDriver driver{&clock};
    six::RefCntPtr<MapEngineFacade> facade;
    six::RefCntPtr<TmcMessageStore> store;
    six::RefCntPtr<ParkingLayer> layer;
};

} // namespace overlaytest
