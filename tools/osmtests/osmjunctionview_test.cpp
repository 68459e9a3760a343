// The computed junction model for every advice of a simulated drive across the converted extract:
// every advice builds with finite coordinates, every roundabout advice gives a roundabout whose
// exit spoke is on the route, every turn an unbroken route line arriving from below. The crossing
// view over the map engine facade: drawings only for the kinds that take them, and the pictures
// of the first roundabout and the first turn.
#include "advisor/advisor.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/paint/crossingview.h"
#include "mapdisplay/mapenginefacade.h"
#include "routing/routeservice.h"
#include "testdata/golden.h"
#include "testdata/simulateddrive.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace {

class ExtractJunctionView : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"junctions", options}});
    }

    void SetUp() override {
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(m_engine->Open(std::u16string(u"\\junctions") + osm2nav::kLevelFile));
        m_service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_service &&
                    m_service->OpenNetwork(std::u16string(u"\\junctions") + osm2nav::kNetworkFile));
    }
    void TearDown() override { m_engine->Close(); }

    RoutePositionPtr PositionIn(const std::u16string& name) {
        const auto id = extractplaces::FirstTownRoad(*m_engine, name);
        return id ? m_service->CreateElementPosition(&*id) : nullptr;
    }

    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    RouteServicePtr m_service;
};

bool IsFinite(const JunctionSegment& s) {
    return std::isfinite(s.x1) && std::isfinite(s.y1) && std::isfinite(s.x2) && std::isfinite(s.y2);
}

TEST_F(ExtractJunctionView, BuildsEveryAdviceOfADriveFromRuggellToBalzers) {
    const RouteRequestResult route =
        m_service->RequestRoute(PositionIn(u"Ruggell"), PositionIn(u"Balzers"), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(m_engine), route,
                        u"\\junctions\\ConfigFiles", {});
    ASSERT_TRUE(advisor);
    const JunctionMapPtr map =
        CreateEngineJunctionMap(RetrievalEngine::RetrievalEnginePtr(m_engine));
    ASSERT_TRUE(map);

    std::set<std::pair<std::uint32_t, std::int32_t>> seen; // advice junction and kind
    std::size_t roundabouts = 0;
    std::size_t turns = 0;
    testdata::SimulatedDrive drive(route.route, 10.0);
    testdata::DrivePosition at;
    while (drive.Next(at)) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        ASSERT_TRUE(value);
        const RouteIteratorPtr cursor = value->GetRouteIterator();
        const std::int32_t kind = value->GetKind();
        if (!cursor || !cursor->IsValid() ||
            !seen.insert({cursor->Current().linkId, kind}).second) {
            continue;
        }
        SCOPED_TRACE(testing::Message() << "kind " << kind << " at " << cursor->Current().linkId
                                        << ", " << at.metresDriven << " m");
        const RouteIteratorPtr next = cursor->Clone();
        const bool hasNext = next->Next() && next->IsValid();
        CrossingModel model(route.route, map);
        model.SetRouteCursor(cursor);
        ASSERT_EQ(model.BuildComputedJunction(200.0), hasNext);
        if (!hasNext) {
            continue; // the destination
        }
        // Where the approach arrives, before the model is turned.
        const auto& beforeTurn = model.RouteSegments();
        const auto approach =
            std::find(beforeTurn.begin(), beforeTurn.end(), model.ApproachSegment());
        const std::size_t approachIndex = static_cast<std::size_t>(approach - beforeTurn.begin());
        model.OrientModel();
        model.MapModelToRect({0, 0, 200, 200});
        for (const auto* list : {&model.ScreenRouteSegments(), &model.ScreenSideSegments(),
                                 &model.ScreenExtraSegments()}) {
            for (const JunctionSegment& s : *list) {
                ASSERT_TRUE(IsFinite(s));
            }
        }
        if (kind >= 21 && kind <= 28) {
            ++roundabouts;
            ASSERT_TRUE(model.IsRoundabout());
            const auto& routeList = model.RouteSegments();
            EXPECT_TRUE(junctionview::IsSegmentSet(model.ExitSpoke()));
            EXPECT_NE(std::find(routeList.begin(), routeList.end(), model.ExitSpoke()),
                      routeList.end());
            continue;
        }
        if (model.IsRoundabout()) {
            continue;
        }
        ++turns;
        const auto& screen = model.ScreenRouteSegments();
        for (std::size_t i = 1; i < screen.size(); ++i) {
            ASSERT_EQ(screen[i].x1, screen[i - 1].x2);
            ASSERT_EQ(screen[i].y1, screen[i - 1].y2);
        }
        // The arriving segment points up, up to the floats' resolution at this latitude.
        ASSERT_LT(approachIndex, model.RouteSegments().size());
        const JunctionSegment& arriving = model.RouteSegments()[approachIndex];
        const double dx = static_cast<double>(arriving.x2) - arriving.x1;
        const double dy = static_cast<double>(arriving.y2) - arriving.y1;
        const double length = std::hypot(dx, dy);
        const double resolution = 4.0 * 4e-6 / std::max(length, 1e-9);
        EXPECT_LT(std::fabs(std::atan2(dy, dx) - junctionview::kPi / 2), 1e-3 + resolution)
            << length * 108000.0 << " m";
        model.TrimToRect(0, 0, 200, 200);
    }
    EXPECT_GT(roundabouts, 0u);
    EXPECT_GT(turns, 5u);
}

// Our highway drawings in the extract's data folder.
void WriteExtractDrawings(testdata::TempDeviceRoot& root) {
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(NAV_JUNCTIONVIEW_DIR) / "data")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string name = entry.path().filename().string();
        ASSERT_TRUE(root.WriteFile(u"\\junctions\\ConfigFiles\\HiWayImages\\" +
                                       std::u16string(name.begin(), name.end()),
                                   bytes.str()));
    }
}

// A memory DC of 240 x 200 on a 32-bit bitmap.
class ExtractPicture {
public:
    ExtractPicture()
        : m_dc(CreateCompatibleDC(nullptr))
        , m_bitmap(CreateBitmap(240, 200, 1, 32, nullptr))
        , m_old(SelectObject(m_dc, m_bitmap)) {}
    ~ExtractPicture() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    ExtractPicture(const ExtractPicture&) = delete;
    ExtractPicture& operator=(const ExtractPicture&) = delete;
    [[nodiscard]] HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

TEST_F(ExtractJunctionView, PicturesTheFirstRoundaboutAndTurnFromRuggellToBalzers) {
    WriteExtractDrawings(*s_root);
    const RouteRequestResult route =
        m_service->RequestRoute(PositionIn(u"Ruggell"), PositionIn(u"Balzers"), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(m_engine), route,
                        u"\\junctions\\ConfigFiles", {});
    ASSERT_TRUE(advisor);
    const auto facade = MapEngineFacade::Create(2048);
    ASSERT_TRUE(facade &&
                facade->LoadLevelFile(std::u16string(u"\\junctions") + osm2nav::kLevelFile));
    const RetrievalEngine::RetrievalEnginePtr engine(facade);

    const std::set<std::int32_t> drawn = {37, 5, 16, 17, 29, 30, 34, 35};
    bool hasRoundabout = false;
    bool hasTurn = false;
    std::size_t roadAhead = 0;
    testdata::SimulatedDrive drive(route.route, 10.0);
    testdata::DrivePosition at;
    while (drive.Next(at)) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        ASSERT_TRUE(value);
        const std::int32_t kind = value->GetKind();
        SCOPED_TRACE(testing::Message() << "kind " << kind << " at " << at.metresDriven << " m");
        const CrossingViewPtr view = CreateCrossingView(route, engine, u"\\junctions");
        ASSERT_TRUE(view);
        view->SetAppearance(RGB(30, 80, 220), RGB(250, 250, 235), RGB(90, 90, 90),
                            RGB(210, 210, 210), RGB(230, 160, 160), RGB(0, 0, 0), 0.05, 16, 200, 10,
                            8, u"");
        RecordingJunctionCanvas canvas;
        std::int32_t result = 99;
        view->Draw(value->GetRouteIterator(), advice, {0, 0, 240, 200}, canvas, &result);
        if (kind == 31 || kind == 36) {
            continue; // the destination bitmaps (none in this folder)
        }
        // No motorways: drawings only for the qualifier kinds, the U-turn and the road ahead.
        EXPECT_EQ(view->DrawingKind() != -1, drawn.count(kind) != 0);
        roadAhead += kind == 37 && view->DrawingKind() == 0 && result == 1 ? 1 : 0;
        const bool isRoundabout = kind >= 21 && kind <= 28;
        const bool isTurn = kind >= 1 && kind <= 4;
        if ((isRoundabout && !hasRoundabout) || (isTurn && !hasTurn)) {
            ASSERT_EQ(result, 1);
            EXPECT_EQ(view->IsRoundabout(), isRoundabout);
            ExtractPicture picture;
            view->Draw(value->GetRouteIterator(), advice, {0, 0, 240, 200}, picture.Dc(), &result);
            ASSERT_EQ(result, 1);
            EXPECT_TRUE(testdata::DcMatchesGolden(picture.Dc(), 240, 200, NAV_JUNCTIONVIEW_DIR,
                                                  isRoundabout ? "extract_first_roundabout"
                                                               : "extract_first_turn"))
                << value->GetPosition().x << ", " << value->GetPosition().y;
            (isRoundabout ? hasRoundabout : hasTurn) = true;
        }
    }
    EXPECT_TRUE(hasRoundabout);
    EXPECT_TRUE(hasTurn);
    EXPECT_GT(roadAhead, 0u);
}

} // namespace
