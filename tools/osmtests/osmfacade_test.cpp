// The map display facade on the converted extract: it loads the level file osm2nav wrote and
// draws Vaduz at 2, 10, 50 and 500 metres per pixel by day and by night into a 480 x 640 DC,
// each frame written as a PNG into the build folder (facade-frames/) for people to look at; a
// street found through the engine's search is found again under a small rectangle on it.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapenginefacade.h"
#include "tools/osm/osmmapping.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

class ExtractFacade : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"facade", osm2nav::ConvertOptions{}}}); }
    static std::u16string LevelFile() { return std::u16string(u"\\facade") + osm2nav::kLevelFile; }
};

class LayerRecorder : public DrawHook {
public:
    std::uint32_t BeginDraw(DrawContext&) override { return 4; }
    std::uint32_t BeginLayer(DrawContext&, std::uint32_t code, std::uint32_t&) override {
        codes.push_back(code);
        return 0;
    }
    std::vector<std::uint32_t> codes;
};

void WritePng(HDC dc, const std::filesystem::path& file) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            pixels.push_back((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
        }
    }
    const std::vector<std::uint8_t> png = platform::EncodePng(pixels, kWidth, kHeight);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

TEST_F(ExtractFacade, DrawsVaduzFromTheLevelThatSuitsTheScale) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(LevelFile()));
    // The centre: Vaduz's first street (the municipality's rectangle reaches into the hills).
    RetrievalEngineImpl* detail = facade->GetLevelEngine(2.0F);
    ASSERT_NE(detail, nullptr);
    std::vector<GeoPoint> points;
    const auto street =
        extractplaces::FirstStreetElement(*detail, u"Vaduz", [&](std::uint32_t id, std::int32_t) {
            return detail->GetElementPoints(id, points) && !points.empty();
        });
    ASSERT_TRUE(street);
    const MapPoint centre = DegreesToMapPoint(points[0]);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const auto options = std::make_shared<DrawOptions>();
    for (const bool isNight : {false, true}) {
        for (const double scale : {2.0, 10.0, 50.0, 500.0}) {
            const std::string name = std::string(isNight ? "night" : "day") + "-" +
                                     std::to_string(static_cast<int>(scale));
            SCOPED_TRACE(name);
            ASSERT_TRUE(facade->SelectLevelStyle(static_cast<float>(scale), isNight));
            float levelScale = 0;
            ASSERT_NE(facade->GetLevelEngine(static_cast<float>(scale), &levelScale), nullptr);
            EXPECT_EQ(levelScale, scale < 20.0 ? 20.0F : 100000.0F);
            MapTransform transform(MapRect{0, 0, 1 << 28, 1 << 28});
            transform.SetSize({kWidth, kHeight});
            transform.SetScale(scale);
            transform.SetCenter(centre);
            DrawContext context;
            BeginPaint(context, options, dc, {0, 0, kWidth, kHeight}, transform, dc, true);
            LayerRecorder hook;
            EXPECT_EQ(facade->Draw(context, static_cast<float>(scale), &hook), 1);
            const COLORREF background = context.style->Background();
            EndPaint(context);
            WritePng(dc, std::filesystem::path("facade-frames") / (name + ".png"));
            int mapPixels = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    mapPixels += GetPixel(dc, x, y) != background ? 1 : 0;
            EXPECT_GT(mapPixels, scale < 100 ? 8000 : 40);
            // Layers in ascending order, then the end; the roads (class group 1) lie on their
            // own layer above 0, where the map view's route overlay hooks in.
            ASSERT_GE(hook.codes.size(), 2u);
            EXPECT_EQ(hook.codes.back(), kLayersEnd);
            EXPECT_NE(
                std::find(hook.codes.begin(), hook.codes.end(), 0x10000U | osm2nav::kRoadLayer),
                hook.codes.end());
            for (std::size_t i = 1; i + 1 < hook.codes.size(); ++i)
                EXPECT_LT(hook.codes[i - 1] & 0xFF, hook.codes[i] & 0xFF);
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    platform::SetFontFile({});
}

TEST_F(ExtractFacade, FindsAVaduzStreetUnderASmallRectangleOnIt) {
    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade->LoadLevelFile(LevelFile()));
    RetrievalEngineImpl* detail = facade->GetLevelEngine(2.0F);
    ASSERT_NE(detail, nullptr);
    std::vector<GeoPoint> points;
    const auto street =
        extractplaces::FirstStreetElement(*detail, u"Vaduz", [&](std::uint32_t id, std::int32_t) {
            return detail->GetElementPoints(id, points) && points.size() >= 2;
        });
    ASSERT_TRUE(street);
    const MapPoint a = DegreesToMapPoint(points[0]);
    const MapPoint b = DegreesToMapPoint(points[1]);
    const MapPoint middle{a.x + (b.x - a.x) / 2, a.y + (b.y - a.y) / 2};
    const MapRect around{middle.x - 3, middle.y - 2, middle.x + 4, middle.y + 3};
    const auto hit = facade->FindElementAt(MapUnitsToDegrees(around), 2.0F);
    ASSERT_TRUE(hit);
    const auto found = detail->GetElement(*street);
    ASSERT_TRUE(found);
    EXPECT_EQ(std::u16string(hit->GetName()), std::u16string(found->GetName()));
}

} // namespace
