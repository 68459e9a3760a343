// The crossing view end to end: the junction worlds routed by the route service, the advice of
// the real advisor along a simulated drive, pictures drawn into 240 x 200 and compared with
// goldens; scripted advice for the kinds no world gives; the rules of the view around them.
#include "advisor/advicelist.h"
#include "advisor/advisor.h"
#include "advisor/advisorstore.h"
#include "junctionview/paint/crossingview.h"
#include "junctionview/tests/junctionworld.h"
#include "testdata/bitmapwriter.h"
#include "testdata/drawingfilewriter.h"
#include "testdata/golden.h"
#include "testdata/simulateddrive.h"
#include "testdata/testfiles.h"

#include "platform/files/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

namespace {

using junctionworld::RoutedWorld;
using ViewKind = JunctionPrimitive::Kind;

constexpr int kPictureWidth = 240;
constexpr int kPictureHeight = 200;
constexpr RECT kPicture{0, 0, kPictureWidth, kPictureHeight};
constexpr std::int32_t kRouteWidth = 16; // the frame reaches 20 beyond, the model 20 inside
const std::u16string kDataFolder = u"\\JV";
const std::u16string kImages = u"\\JV\\ConfigFiles\\HiWayImages\\";

// Our drawings and two destination bitmaps in the data folder, our advisor data in "\ADV".
void WriteViewData() {
    static bool isWritten = false;
    if (isWritten) {
        return;
    }
    isWritten = true;
    testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(NAV_JUNCTIONVIEW_DIR) / "data")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("Bitmap", 0) == 0) {
            ASSERT_TRUE(root.WriteFile(kImages + std::u16string(name.begin(), name.end()),
                                       testdata::ReadTestFile(entry.path())));
        }
    }
    const auto bitmap = [](int width, int height, std::uint32_t colour) {
        testdata::BitmapSpec spec;
        spec.width = width;
        spec.height = height;
        spec.pixels.assign(static_cast<std::size_t>(width * height), colour);
        for (int x = 0; x < width; ++x) {
            spec.pixels[static_cast<std::size_t>(x)] = 0x000000; // a dark top row
        }
        const auto bytes = testdata::WriteBitmapFile(spec);
        return std::string(bytes.begin(), bytes.end());
    };
    ASSERT_TRUE(root.WriteFile(kImages + u"DestFlag.bmp", bitmap(30, 20, 0xCC2020)));
    ASSERT_TRUE(root.WriteFile(kImages + u"DestAppr.bmp", bitmap(24, 36, 0x20A020)));
    for (const std::string name :
         {"General.properties", "SOA.csv", "SpokenDistances.csv", "RouteNumbers.csv", "SOD.csv",
          "DecisionTables.csv", "encode.properties"}) {
        const std::u16string wide(name.begin(), name.end());
        ASSERT_TRUE(root.WriteFile(
            (name == "encode.properties" ? u"\\ADV\\ConfigFiles\\" : u"\\ADV\\") + wide,
            testdata::ReadTestFile(std::filesystem::path(NAV_ADVISOR_DATA_DIR) / "ConfigFiles" /
                                   name)));
    }
}

// A memory DC on a 32-bit bitmap, filled with a sentinel grey.
class Picture {
public:
    Picture() {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateBitmap(kPictureWidth, kPictureHeight, 1, 32, nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        HBRUSH brush = CreateSolidBrush(RGB(128, 128, 128));
        FillRect(m_dc, &kPicture, brush);
        DeleteObject(brush);
    }
    ~Picture() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    [[nodiscard]] HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

CrossingViewPtr MakeView(const RouteRequestResult& request,
                         const RetrievalEngine::RetrievalEnginePtr& engine,
                         const std::u16string& folder = kDataFolder) {
    CrossingViewPtr view = CreateCrossingView(request, engine, folder.c_str());
    if (view) {
        view->SetAppearance(RGB(30, 80, 220), RGB(250, 250, 235), RGB(90, 90, 90),
                            RGB(210, 210, 210), RGB(230, 160, 160), RGB(0, 0, 0), 0.05, kRouteWidth,
                            200, 10, 8, u"\\module");
    }
    return view;
}

struct DrivenAdvice {
    AdvicePtr advice;
    RouteIteratorPtr route;
    std::int32_t kind = -1;
    double metres = 0.0;
};

// The first advice of every kind along a drive of the world's route in steps of 10 m.
std::map<std::int32_t, DrivenAdvice> DriveAdvice(const RoutedWorld& world) {
    WriteViewData();
    AdvisorStore::Instance().Reset();
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, world.engine, world.result, u"\\ADV", {});
    std::map<std::int32_t, DrivenAdvice> seen;
    if (!advisor) {
        return seen;
    }
    testdata::SimulatedDrive drive(world.result.route, 10.0);
    testdata::DrivePosition at;
    while (drive.Next(at)) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        if (value && seen.count(value->GetKind()) == 0) {
            seen[value->GetKind()] = {advice->Clone(), value->GetRouteIterator(), value->GetKind(),
                                      at.metresDriven};
        }
    }
    return seen;
}

testdata::JunctionScenario InEngland(testdata::JunctionScenario scenario) {
    for (auto& road : scenario.roads) {
        road.country = 48;
    }
    return scenario;
}

std::string KindsOf(const std::map<std::int32_t, DrivenAdvice>& seen) {
    std::string text;
    for (const auto& [kind, advice] : seen) {
        text += std::to_string(kind) + " ";
    }
    return text;
}

TEST(CrossingViewWorlds, DrawsTheAdvisorsManoeuvres) {
    const struct {
        const char* golden;
        testdata::JunctionScenario scenario;
        std::int32_t kind;
        std::int32_t drawingKind;
        bool isRoundabout;
    } cases[] = {
        {"t_junction_right", testdata::TJunctionScenario(), 4, -1, false},
        {"roundabout", testdata::RoundaboutScenario(), 22, -1, true},
        {"roundabout_left_hand", InEngland(testdata::RoundaboutScenario()), 222, -1, true},
        {"armed_roundabout", testdata::ArmedRoundaboutScenario(), 21, -1, true},
        // Slight right off the motorway (type 1010): the drawing of kind 3.
        {"highway_exit", testdata::HighwayExitScenario(), 3, 3, false},
        // Straight on at the ramp's fork: the ramp is no motorway, so the model is computed.
        {"interchange_fork", testdata::InterchangeScenario(), 0, -1, false},
        {"median_u_turn", testdata::MedianUTurnScenario(), 5, 5, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        const auto world = junctionworld::RouteWorld(c.scenario);
        ASSERT_TRUE(world);
        const auto seen = DriveAdvice(*world);
        const auto found = seen.find(c.kind);
        if (found == seen.end()) {
            ADD_FAILURE() << "kinds: " << KindsOf(seen);
            continue;
        }
        const DrivenAdvice& driven = found->second;

        RecordingJunctionCanvas recording;
        const CrossingViewPtr recorded = MakeView(world->result, world->engine);
        ASSERT_TRUE(recorded);
        std::int32_t result = 99;
        recorded->Draw(driven.route, driven.advice, kPicture, recording, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(recorded->DrawingKind(), c.drawingKind);
        EXPECT_EQ(recorded->IsRoundabout(), c.isRoundabout);
        EXPECT_EQ(recorded->IsArcReversed(), c.kind > 200);
        ASSERT_FALSE(recording.Primitives().empty());
        const JunctionPrimitive& frame = recording.Primitives().front();
        EXPECT_EQ(frame.kind, ViewKind::Rectangle);
        EXPECT_EQ(frame.points.front().x, -20);
        EXPECT_EQ(frame.points.front().y, -20);
        EXPECT_EQ(frame.points.back().x, kPictureWidth + 20);
        EXPECT_EQ(frame.points.back().y, kPictureHeight + 20);
        EXPECT_GT(recording.Primitives().size(), 3u) << "bands beside the frame";

        Picture picture;
        const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
        const CrossingViewPtr view = MakeView(world->result, world->engine);
        result = 99;
        view->Draw(driven.route, driven.advice, kPicture, picture.Dc(), &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(platform::CountLiveGdiObjects(), before);
        EXPECT_TRUE(testdata::DcMatchesGolden(picture.Dc(), kPictureWidth, kPictureHeight,
                                              NAV_JUNCTIONVIEW_DIR, c.golden));
    }
}

// An advice over scripted records: each a kind at a position, the first linked to the next.
AdvicePtr ScriptedAdvice(const std::vector<std::int32_t>& kinds, bool isLinked,
                         const std::vector<GeoPoint>& positions) {
    AdviceList list;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        AdviceRecord record;
        record.manoeuvreCode = kinds[i];
        record.position = i < positions.size() ? positions[i] : GeoPoint{};
        record.combined = i == 0 && isLinked ? 1 : 0;
        list.Append(record);
    }
    return MakeAdvice(list, nullptr);
}

// Valid, but without values (as when they cannot be allocated).
class ValuelessAdvice final : public IAdvice {
public:
    bool Next() override { return true; }
    [[nodiscard]] AdviceValuePtr Current() const override { return {}; }
    [[nodiscard]] bool IsValid() const override { return true; }
    [[nodiscard]] AdvicePtr Clone() const override { return AdvicePtr(new ValuelessAdvice); }
};

RECT CornersOf(const JunctionPrimitive& p) {
    return {p.points.front().x, p.points.front().y, p.points.back().x, p.points.back().y};
}

class CrossingViewScripted : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_world = junctionworld::RouteWorld(testdata::TJunctionScenario()).release();
        WriteViewData();
        testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
        // A folder with drawing 16 only and no bitmaps.
        ASSERT_TRUE(root.WriteFile(u"\\SPARSE\\ConfigFiles\\HiWayImages\\Bitmap16.txt",
                                   testdata::WriteDrawingFile({{0, 10, 0, 0, 1}})));
    }
    static void TearDownTestSuite() {
        delete s_world;
        s_world = nullptr;
    }
    static RoutedWorld* s_world;
};
RoutedWorld* CrossingViewScripted::s_world = nullptr;

TEST_F(CrossingViewScripted, PicturesByKind) {
    ASSERT_TRUE(s_world);
    const GeoPoint j = s_world->Node('J');
    const GeoPoint e = s_world->Node('E');
    const std::int32_t distance = junctionview::ClampToInt(HaversineDistance(j.x, j.y, e.x, e.y));
    const RECT frame{-20, -20, kPictureWidth + 20, kPictureHeight + 20};
    const struct {
        const char* name;
        std::u16string folder;
        std::vector<std::int32_t> kinds; // empty: no advice
        bool isLinked;
        std::int32_t result; // 99: not written
        std::int32_t drawingKind;
        std::int32_t secondDrawingKind;
        std::vector<RECT> rectangles; // frames and bitmaps; empty: not checked
        bool isFrameOnly;
        bool hasSecondJunction = false;
        bool isRadiusScaled = false; // geometryRadius = d * 1.05 (d the distance J to E)
    } cases[] = {
        // Centred at their own size (30 x 20, 24 x 36), no frame, the result unwritten.
        {"destination reached", kDataFolder, {31}, false, 99, -1, -1, {{105, 90, 135, 110}}, true},
        {"destination ahead", kDataFolder, {36}, false, 99, -1, -1, {{108, 82, 132, 118}}, true},
        {"destination bitmap missing: nothing", u"\\SPARSE", {31}, false, 99, -1, -1, {}, true},
        {"road ahead: drawing 0", kDataFolder, {37}, false, 1, 0, -1, {frame}, false},
        // Linked advice measures the distance, so the radius grows, without a second drawing.
        {"U-turn never takes a second drawing",
         kDataFolder,
         {5, 16},
         true,
         1,
         5,
         -1,
         {frame},
         false,
         false,
         true},
        {"16 joined with 17", kDataFolder, {16, 17}, true, 1, 16, 17, {frame}, false, true, true},
        {"16 followed by a turn: alone", kDataFolder, {16, 4}, true, 1, 16, -1, {frame}, false},
        {"16 not linked: alone", kDataFolder, {16, 17}, false, 1, 16, -1, {frame}, false},
        {"second drawing missing: the frame only",
         u"\\SPARSE",
         {16, 29},
         true,
         -1,
         16,
         29,
         {frame},
         true,
         true},
        {"first drawing missing: the frame only",
         u"\\SPARSE",
         {30},
         false,
         -1,
         30,
         -1,
         {frame},
         true},
        {"no advice: the frame only", kDataFolder, {}, false, 0, -1, -1, {frame}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CrossingViewPtr view = MakeView(s_world->result, s_world->engine, c.folder);
        const AdvicePtr advice =
            c.kinds.empty() ? AdvicePtr() : ScriptedAdvice(c.kinds, c.isLinked, {j, e});
        RecordingJunctionCanvas canvas;
        std::int32_t result = 99;
        view->Draw(s_world->At(s_world->IndexOf("SJ")), advice, kPicture, canvas, &result);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(view->DrawingKind(), c.drawingKind);
        EXPECT_EQ(view->SecondDrawingKind(), c.secondDrawingKind);
        const auto& primitives = canvas.Primitives();
        if (c.isFrameOnly) {
            ASSERT_EQ(primitives.size(), c.rectangles.size());
        }
        for (std::size_t i = 0; i < c.rectangles.size() && i < primitives.size(); ++i) {
            const RECT r = CornersOf(primitives[i]);
            EXPECT_EQ(r.left, c.rectangles[i].left);
            EXPECT_EQ(r.top, c.rectangles[i].top);
            EXPECT_EQ(r.right, c.rectangles[i].right);
            EXPECT_EQ(r.bottom, c.rectangles[i].bottom);
        }
        EXPECT_EQ(view->HasSecondJunction(), c.hasSecondJunction);
        EXPECT_EQ(view->GeometryRadius(),
                  c.isRadiusScaled ? static_cast<std::int32_t>(distance + distance * 0.05) : 200);
        if (c.result == 1) {
            // The model lies m = 20 inside the picture.
            for (const JunctionSegment& s : view->ScreenRouteSegments()) {
                for (const float x : {s.x1, s.x2}) {
                    EXPECT_GE(x, 20.0f);
                    EXPECT_LE(x, kPictureWidth - 20.0f);
                }
                for (const float y : {s.y1, s.y2}) {
                    EXPECT_GE(y, 20.0f);
                    EXPECT_LE(y, kPictureHeight - 20.0f);
                }
            }
        }
    }
}

TEST_F(CrossingViewScripted, JoinedDrawingsContinueTheRoute) {
    ASSERT_TRUE(s_world);
    const CrossingViewPtr view = MakeView(s_world->result, s_world->engine);
    RecordingJunctionCanvas canvas;
    std::int32_t result = 0;
    view->Draw(s_world->At(0), ScriptedAdvice({16, 17}, true, {}), kPicture, canvas, &result);
    ASSERT_EQ(result, 1);
    // Drawing 16's lines are 0 to 2 (its route ends with line 1), drawing 17's start at 3.
    const auto& route = view->RouteSegments();
    const auto line = [&](std::uint32_t id) {
        return *std::find_if(route.begin(), route.end(),
                             [&](const JunctionSegment& s) { return s.streetId == id; });
    };
    ASSERT_EQ(route.size(), 4u);
    EXPECT_LT(std::fabs(line(3).x1 - line(1).x2), 1.0f);
    EXPECT_LT(std::fabs(line(3).y1 - line(1).y2), 1.0f);
}

TEST_F(CrossingViewScripted, RoadAheadIsReadOnEveryDrawOtherDrawingsOnce) {
    ASSERT_TRUE(s_world);
    testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
    const std::u16string images = u"\\CHANGING\\ConfigFiles\\HiWayImages\\";
    const struct {
        const char* name;
        std::int32_t kind;
        std::u16string file;
        bool isReadAgain;
    } cases[] = {
        {"37: drawing 0 every time", 37, images + u"Bitmap0.txt", true},
        {"16: once for its junction", 16, images + u"Bitmap16.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(root.WriteFile(c.file, testdata::WriteDrawingFile({{0, 10, 0, 0, 1}})));
        const CrossingViewPtr view = MakeView(s_world->result, s_world->engine, u"\\CHANGING");
        const AdvicePtr advice = ScriptedAdvice({c.kind}, false, {});
        const RouteIteratorPtr route = s_world->At(0);
        RecordingJunctionCanvas canvas;
        std::int32_t result = 0;
        view->Draw(route, advice, kPicture, canvas, &result);
        ASSERT_EQ(result, 1);
        const std::size_t before = view->RouteSegments().size();
        ASSERT_TRUE(root.WriteFile(
            c.file, testdata::WriteDrawingFile({{0, 10, 0, 5, 1}, {0, 5, 0, 0, 1}})));
        view->Draw(route, advice, kPicture, canvas, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(view->RouteSegments().size(), c.isReadAgain ? 2u : before);
        ASSERT_TRUE(DeleteFileW(c.file.c_str()));
        canvas.Clear();
        view->Draw(route, advice, kPicture, canvas, &result);
        EXPECT_EQ(result, c.isReadAgain ? -1 : 1);
        if (c.isReadAgain) {
            EXPECT_EQ(canvas.Primitives().size(), 1u) << "the frame only, not the last picture";
        }
    }
}

TEST_F(CrossingViewScripted, MissingDrawingAfterAPictureDrawsTheFrameOnly) {
    ASSERT_TRUE(s_world);
    ASSERT_TRUE(junctionworld::WorldRoot().WriteFile(
        u"\\SPARSE\\ConfigFiles\\HiWayImages\\Bitmap17.txt",
        testdata::WriteDrawingFile({{0, 10, 0, 0, 1}, {0, 5, 5, 0, 0}})));
    const CrossingViewPtr view = MakeView(s_world->result, s_world->engine, u"\\SPARSE");
    const RouteIteratorPtr route = s_world->At(0);
    RecordingJunctionCanvas canvas;
    std::int32_t result = 0;
    view->Draw(route, ScriptedAdvice({16, 17}, true, {}), kPicture, canvas, &result);
    ASSERT_EQ(result, 1);
    ASSERT_GT(canvas.Primitives().size(), 1u);
    canvas.Clear();
    // Drawing 16 is read again, 29 is missing: the lists hold part of a picture.
    view->Draw(route, ScriptedAdvice({16, 29}, true, {}), kPicture, canvas, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(canvas.Primitives().size(), 1u) << "the frame only";
}

TEST_F(CrossingViewScripted, RouteRequestAndDestination) {
    ASSERT_TRUE(s_world);
    const std::uint32_t destination = s_world->result.destination->Begin()->elementId;
    const CrossingViewPtr view = MakeView(s_world->result, s_world->engine);
    ASSERT_FALSE(view->RouteElementIds().empty());
    EXPECT_EQ(view->RouteElementIds().back(), destination);
    EXPECT_TRUE(view->ContainsRouteElement(destination));

    RouteRequestResult withoutDestination = s_world->result;
    withoutDestination.destination = nullptr;
    EXPECT_TRUE(MakeView(withoutDestination, s_world->engine)->RouteElementIds().empty());

    RouteRequestResult failed = s_world->result;
    failed.status = routestatus::kFailed;
    RecordingJunctionCanvas canvas;
    std::int32_t result = 99;
    MakeView(failed, s_world->engine)
        ->Draw(s_world->At(0), ScriptedAdvice({4}, false, {}), kPicture, canvas, &result);
    EXPECT_TRUE(canvas.Primitives().empty()) << "no route: nothing";
    EXPECT_EQ(result, 99);
    view->Draw(nullptr, ScriptedAdvice({4}, false, {}), kPicture, canvas, &result);
    EXPECT_TRUE(canvas.Primitives().empty()) << "no route iterator: nothing";
    view->Draw(s_world->At(0), AdvicePtr(new ValuelessAdvice), kPicture, canvas, &result);
    EXPECT_EQ(result, 0) << "an advice without values counts as not valid";
    EXPECT_EQ(canvas.Primitives().size(), 1u) << "the frame only";
    canvas.Clear();

    // The distance bar exists only once created.
    view->DrawDistanceBar(canvas, {0, 0, 100, 10}, 0.5);
    EXPECT_TRUE(canvas.Primitives().empty());
    view->CreateDistanceBar(0);
    view->DrawDistanceBar(canvas, {0, 0, 100, 10}, 0.5);
    EXPECT_EQ(canvas.Primitives().size(), 2u);

    // A bitmap drawn through GDI gives every object back.
    Picture picture;
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    view->Draw(s_world->At(0), ScriptedAdvice({31}, false, {}), kPicture, picture.Dc(), &result);
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    EXPECT_EQ(GetPixel(picture.Dc(), 120, 100), RGB(0xCC, 0x20, 0x20));
}

} // namespace
