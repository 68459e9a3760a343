// The traffic overlay on the converted extract: TMC tables with a line along the longest chained
// street of Vaduz, a blocking message over the whole line fed to a real store, and the map canvas
// over the street: the stretch is red along exactly those elements (sampled around their
// projected midpoints) with the arrow's tip at the stretch's end. The frame is written as a PNG
// into the build folder (overlay-frames/) for people to look at.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapcanvas.h"
#include "mapdisplay/parkinglayer.h"
#include "testdata/alertcencoder.h"
#include "testdata/tmctableswriter.h"
#include "tools/osmtests/convertedextract.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessagestore.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

class ExtractOverlay : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"overlay", osm2nav::ConvertOptions{}}}); }
};

struct Piece {
    std::uint32_t id = 0;
    std::vector<GeoPoint> line;
};

bool Same(const GeoPoint& a, const GeoPoint& b) {
    return std::fabs(a.x - b.x) < 1e-6f && std::fabs(a.y - b.y) < 1e-6f;
}

bool Touch(const Piece& a, const Piece& b) {
    return Same(a.line.front(), b.line.front()) || Same(a.line.front(), b.line.back()) ||
           Same(a.line.back(), b.line.front()) || Same(a.line.back(), b.line.back());
}

// The longest chain of the pieces, each piece extended greedily at both open ends.
std::vector<Piece> LongestChain(const std::vector<Piece>& pieces) {
    std::vector<Piece> best;
    for (std::size_t start = 0; start < pieces.size(); ++start) {
        std::vector<Piece> chain = {pieces[start]};
        std::set<std::uint32_t> used = {pieces[start].id};
        for (bool grew = true; grew;) {
            grew = false;
            for (const Piece& p : pieces) {
                if (used.contains(p.id)) {
                    continue;
                }
                const bool atBack = Touch(chain.back(), p) &&
                                    (chain.size() == 1 || !Touch(chain[chain.size() - 2], p));
                const bool atFront = !atBack && Touch(chain.front(), p) &&
                                     (chain.size() == 1 || !Touch(chain[1], p));
                if (atBack) {
                    chain.push_back(p);
                } else if (atFront) {
                    chain.insert(chain.begin(), p);
                } else {
                    continue;
                }
                used.insert(p.id);
                grew = true;
            }
        }
        if (chain.size() > best.size()) {
            best = chain;
        }
    }
    return best;
}

// The chain's end that is no joint with its neighbour.
GeoPoint OpenEnd(const Piece& end, const Piece& neighbour) {
    return Same(end.line.front(), neighbour.line.front()) ||
                   Same(end.line.front(), neighbour.line.back())
               ? end.line.back()
               : end.line.front();
}

TmcRawMessage Decoded(const std::string& text) {
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

COLORREF ScreenAt(int x, int y) {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    const RECT one{x, y, x + 1, y + 1};
    if (!platform::ReadScreenPixels(&one, &pixels, &width, &height) || pixels.empty()) {
        return CLR_INVALID;
    }
    return RGB((pixels[0] >> 16) & 0xFF, (pixels[0] >> 8) & 0xFF, pixels[0] & 0xFF);
}

// Whether a pixel of the colour lies within `radius` pixels of the point.
bool HasColourNear(POINT p, int radius, COLORREF colour) {
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (ScreenAt(p.x + dx, p.y + dy) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(ExtractOverlay, DrawsAClosureAlongTheMainStreetOfVaduz) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(8 << 20));
    }
    platform::SetScreenSize(kWidth, kHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(std::u16string(u"\\overlay") + osm2nav::kLevelFile));
    RetrievalEngineImpl* engine = facade->GetLevelEngine(2.0F);
    ASSERT_NE(engine, nullptr);
    auto city = engine->FindCities(u"Vaduz", 0);
    ASSERT_TRUE(city && city->IsValid());
    const auto area = static_cast<std::uint32_t>(city->GetCurrent()->GetAreaId());
    std::vector<Piece> chain;
    for (auto streets = engine->FindInArea(area, u""); streets && streets->IsValid();
         streets->Next()) {
        std::vector<Piece> pieces;
        for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
            Piece piece{id, {}};
            if (engine->GetElementPoints(id, piece.line) && piece.line.size() >= 2) {
                pieces.push_back(piece);
            }
        }
        std::vector<Piece> longest = LongestChain(pieces);
        if (longest.size() > chain.size()) {
            chain = std::move(longest);
        }
    }
    ASSERT_GE(chain.size(), 3U);
    std::vector<testdata::TmcRoadElement> road;
    GeoRect extent(chain[0].line[0].x, chain[0].line[0].y, chain[0].line[0].x, chain[0].line[0].y);
    for (const Piece& p : chain) {
        road.push_back(
            {p.id, p.line.front().x, p.line.front().y, p.line.back().x, p.line.back().y});
        for (const GeoPoint& point : p.line) {
            extent.Extend(point);
        }
    }
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line =
        testdata::TmcLineAlongRoad(model, road, {}, MakeTmcLocationCode(1, 1, 600),
                                   MakeTmcLocationCode(1, 1, 601), "Hauptstrasse", "28");
    ASSERT_EQ(line.points.size(), 2U);
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(*s_root, u"\\overlaytmc", true));

    OwnerHandlerList handlers;
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                    kWidth, kHeight, nullptr, nullptr, nullptr, &page);
    MapCanvas canvas;
    ASSERT_TRUE(canvas.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE, false));
    platform::ScreenDriver driver;
    canvas.SetEngine(facade);
    GeoRect view = extent;
    view.Inflate((extent.maxX - extent.minX) * 0.2f + 0.001f,
                 (extent.maxY - extent.minY) * 0.2f + 0.001f);
    canvas.ZoomTo(view);
    driver.RunUntilIdle();

    const auto store = CreateTmcMessageStore();
    ASSERT_TRUE(store && store->OpenDatabase(u"\\overlaytmc", canvas.GetEngineIntf(), 0));
    const auto layer = CreateParkingLayer();
    ASSERT_TRUE(layer);
    layer->Connect(store);
    layer->AttachMapView(&canvas);
    store->AnnounceAll();
    EXPECT_TRUE(layer->Load(u"\\overlaytmc\\"));
    testdata::AlertCMessage m;
    m.event = 401;
    m.location = line.points[1] % 100000;
    m.extent = 1;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    const TmcRawMessage closure = Decoded(encoder.AddMessage(m).Build());
    ASSERT_TRUE(store->AddRawMessage(&closure));
    driver.RunUntilIdle();
    ASSERT_EQ(layer->GetEntryIds().size(), 1U);
    const std::filesystem::path png = std::filesystem::path("overlay-frames") / "vaduz.png";
    std::filesystem::create_directories(png.parent_path());
    EXPECT_TRUE(platform::SaveScreenshot(canvas.GetHwnd(), png));

    // Red around the middle of every element of the street (the road itself is drawn over the
    // middle of the overlay's line).
    const int half = std::max(static_cast<int>(std::lround(4.0 / canvas.GetScale())) * 10, 20) / 2;
    for (const Piece& p : chain) {
        // The middle of the element's middle segment.
        const std::size_t k = (p.line.size() - 1) / 2;
        const GeoPoint& a = p.line[k];
        const GeoPoint& b = p.line[k + 1];
        const GeoPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
        EXPECT_TRUE(HasColourNear(canvas.GeoToScreen(mid), half - 1, 0x000000FF)) << p.id;
    }
    // The arrow's tip at one open end of the street: the end the stretch runs to.
    const POINT ends[2] = {canvas.GeoToScreen(OpenEnd(chain.front(), chain[1])),
                           canvas.GeoToScreen(OpenEnd(chain.back(), chain[chain.size() - 2]))};
    EXPECT_TRUE(HasColourNear(ends[0], 3, 0) || HasColourNear(ends[1], 3, 0));
    // Far from the street nothing is red: the window's corners.
    EXPECT_NE(ScreenAt(2, 2), 0x000000FFu);
    EXPECT_NE(ScreenAt(kWidth - 3, kHeight - 3), 0x000000FFu);
    layer->AttachMapView(nullptr);
    platform::SetFontFile({});
    platform::SetScreenSize(240, 320);
}

} // namespace
