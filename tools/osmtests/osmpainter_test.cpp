// The painter on the converted extract: the writer's day style, a 480 x 640 view centred on
// Vaduz at 2, 10 and 50 metres per pixel; what the area query finds is drawn (areas, lines in
// both passes, symbols) between BeginPaint and EndPaint and each frame is written as a PNG into
// the build folder (painter-frames/) for people to look at.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/enginenamereader.h"
#include "mapdisplay/painter.h"
#include "testdata/stylesheetwriter.h"
#include "tools/osmtests/convertedextract.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 640;

class ExtractPainter : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"painter", osm2nav::ConvertOptions{}}}); }
};

// True when the convex quadrilaterals share area (separating axes over both polygons' edges).
bool QuadsOverlap(const std::array<POINT, 4>& a, const std::array<POINT, 4>& b) {
    for (const auto* polygon : {&a, &b}) {
        for (std::size_t i = 0; i < 4; ++i) {
            const POINT p = (*polygon)[i];
            const POINT q = (*polygon)[(i + 1) % 4];
            const double nx = -(static_cast<double>(q.y) - p.y);
            const double ny = static_cast<double>(q.x) - p.x;
            double minA = 1e300, maxA = -1e300, minB = 1e300, maxB = -1e300;
            for (const POINT& c : a) {
                minA = std::min(minA, c.x * nx + c.y * ny);
                maxA = std::max(maxA, c.x * nx + c.y * ny);
            }
            for (const POINT& c : b) {
                minB = std::min(minB, c.x * nx + c.y * ny);
                maxB = std::max(maxB, c.x * nx + c.y * ny);
            }
            if (maxA <= minB || maxB <= minA)
                return false;
        }
    }
    return true;
}

void WritePng(HDC dc, const std::filesystem::path& file) {
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(kWidth) * kHeight);
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

TEST_F(ExtractPainter, VaduzFramesLookLikeAMap) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\painter") + osm2nav::kLevelFile));
    const testdata::StyleSheetWriter sheet = testdata::DefaultStyleSheet(false);
    const std::vector<std::uint8_t> bytes = sheet.Write();
    ASSERT_TRUE(s_root->WriteFile(std::u16string(u"\\painter") + osm2nav::kMapFolder + u"\\day.mpl",
                                  bytes));
    MapStyle style;
    ASSERT_TRUE(style.Load(std::u16string(u"\\painter") + osm2nav::kMapFolder + u"\\day.mpl"));
    std::set<COLORREF> roadColours;
    for (const testdata::PenSpec& pen : sheet.pens) {
        roadColours.insert(pen.colour);
        roadColours.insert(pen.innerColour);
    }
    const auto vaduz = engine->FindCities(u"Vaduz", 0);
    ASSERT_TRUE(vaduz && vaduz->IsValid());
    // The town's place point; the municipality's rectangle reaches far into the mountains.
    MapPoint centre = DegreesToMapPoint(vaduz->GetCurrent()->GetRect().GetCenter());
    const ElementData place = engine->GetElementGeometry(vaduz->GetCurrent()->GetElementId());
    if (place.geometry) {
        ASSERT_TRUE(place.geometry->GetPoint(0, centre));
    }

    HDC screen = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(screen, bitmap);
    auto options = std::make_shared<DrawOptions>();
    for (const double scale : {2.0, 10.0, 50.0}) {
        SCOPED_TRACE(scale);
        MapTransform transform(DegreesToMapUnits(engine->GetExtent()));
        transform.SetSize({kWidth, kHeight});
        transform.SetScale(scale);
        transform.SetCenter(centre);
        DrawContext context;
        BeginPaint(context, options, screen, {0, 0, kWidth, kHeight}, transform, screen, true);
        context.style = &style;
        context.nameReader = MakeEngineNameReader(engine);
        style.FillBackground(context);
        style.ClearSelectedClass();

        const MapRect view = {
            transform.ScreenToWorld({0, kHeight}).x, transform.ScreenToWorld({0, kHeight}).y,
            transform.ScreenToWorld({kWidth, 0}).x, transform.ScreenToWorld({kWidth, 0}).y};
        std::vector<std::uint32_t> areas, lines, symbols;
        for (auto cursor = engine->QueryArea(MapUnitsToDegrees(view), 0, 0xFFFF);
             cursor && cursor->IsValid(); cursor->Next()) {
            const std::uint32_t id = cursor->GetElementId();
            const ElementData data = engine->GetElementGeometry(id);
            if (!data.geometry || style.MaxScale(data.geometry->GetTypeCode()) <= scale)
                continue;
            const char letter = static_cast<char>(data.geometry->GetRecord()[27 - 16]);
            (letter == 't'                    ? symbols
             : letter == 'y' || letter == 'z' ? areas
                                              : lines)
                .push_back(id);
        }
        const auto draw = [&](const std::vector<std::uint32_t>& ids, int pass) {
            std::vector<std::uint32_t> again;
            for (const std::uint32_t id : ids) {
                const ElementData data = engine->GetElementGeometry(id);
                if (DrawElement(context, *data.geometry.Get(), pass, 0) == 1)
                    again.push_back(id);
            }
            context.lineBatch->Flush(context, pass);
            return again;
        };
        draw(areas, 0);
        draw(draw(lines, 0), 1);

        // Every visible road vertex in the view's inner part lies on a road colour (a thin
        // polyline leaves its last pixel out, so the vertex's neighbours count too).
        std::size_t vertices = 0, onRoad = 0;
        for (const std::uint32_t id : lines) {
            const ElementData data = engine->GetElementGeometry(id);
            const std::uint16_t type = data.geometry->GetTypeCode();
            if (type < 1001 || type > 1100)
                continue;
            MapPoint p;
            for (std::uint32_t i = 0; data.geometry->GetPoint(i, p); ++i) {
                const POINT d = transform.WorldToScreen(p);
                if (d.x < 2 || d.y < 2 || d.x >= kWidth - 2 || d.y >= kHeight - 2)
                    continue;
                ++vertices;
                bool isOnRoad = false;
                for (int dy = -1; dy <= 1 && !isOnRoad; ++dy) {
                    for (int dx = -1; dx <= 1 && !isOnRoad; ++dx)
                        isOnRoad = roadColours.count(GetPixel(context.dc, d.x + dx, d.y + dy)) > 0;
                }
                onRoad += isOnRoad ? 1 : 0;
            }
        }
        EXPECT_GT(vertices, 20U);
        EXPECT_EQ(onRoad, vertices);

        draw(symbols, 0);
        const std::vector<Label> labels = options->state->labels.Labels();
        EndPaint(context);
        WritePng(screen, std::filesystem::current_path() / "painter-frames" /
                             ("vaduz-" + std::to_string(static_cast<int>(scale)) + ".png"));

        EXPECT_LE(labels.size(), 200U);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            for (std::size_t k = i + 1; k < labels.size(); ++k)
                EXPECT_FALSE(QuadsOverlap(labels[i].corners, labels[k].corners))
                    << std::string(labels[i].text.begin(), labels[i].text.end()) << " / "
                    << std::string(labels[k].text.begin(), labels[k].text.end());
        }
        if (scale == 2.0) {
            const auto streets = std::count_if(labels.begin(), labels.end(), [](const Label& l) {
                return l.priority >= 1001 && l.priority <= 1100 && (l.flags & kLabelBoxed) == 0;
            });
            EXPECT_GE(streets, 10);
        }
    }
    SelectObject(screen, old);
    DeleteObject(bitmap);
    DeleteDC(screen);
    platform::SetFontFile({});
}

} // namespace
