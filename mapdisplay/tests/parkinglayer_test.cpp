// The traffic and parking overlay over the draw town, driven by a real TMC message store: the
// roads of messages, a blocked stretch with its arrows and signs, hover texts, cancellation,
// parking occupancy from the parking tables, the element multiset and the mode.

#include "mapdisplay/tests/overlayfixture.h"

#include "testdata/golden.h"
#include "mapdisplay/overlaygeometry.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace overlaytest;

constexpr COLORREF kRed = 0x000000FF;
constexpr COLORREF kOrange = 0x004080FF;
constexpr COLORREF kBlack = 0x00000000;

class Overlay : public ::testing::Test {
protected:
    OverlayFixture f;
};

TEST_F(Overlay, DrawsMessagesFromTheStore) {
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const TownLine blocked = f.AddLine(model, 4, 8, 6, 600, "Talweg");
    const TownLine slow = f.AddLine(model, 4, 8, 4, 700, "Bergweg");
    f.Start(model);
    f.driver.RunUntilIdle();
    const std::vector<std::uint32_t> before = f.Frame();

    const TmcRawMessage closure = OverlayFixture::Message(401, blocked.line.points[2], 2, false);
    const TmcRawMessage queue = OverlayFixture::Message(115, slow.line.points[2], 2, false);
    std::thread reader([&] {
        EXPECT_TRUE(f.store->AddRawMessage(&closure));
        EXPECT_TRUE(f.store->AddRawMessage(&queue));
    });
    reader.join();
    for (bool neg : {false, true}) {
        const TmcRawMessage m = OverlayFixture::Message(401, blocked.line.points[2], 2, neg);
        TmcDatabasePtr db = CreateTmcDatabase(BlockCache::Create(64));
        ASSERT_TRUE(db->Load(u"\\tmc"));
        TmcMessage probe(m, *db, nullptr, 0);
        probe.BuildText();
        std::vector<StretchElement> els;
        for (auto id : probe.GetElementIds()) {
            std::vector<GeoPoint> p2;
            f.facade->GetMappedElement(id & 0x0FFFFFFF)->GetPoints(p2);
            els.push_back({p2, id >> 30, id & 0x0FFFFFFF});
        }
        auto pcs = BuildPieces(els);
        for (auto& pc : pcs) printf("piece %zu fwd %d %a -> %a\n", pc.element, pc.isForward, pc.start.x, pc.end.x);
        for (auto& q : ChainPieces(pcs, els)) printf("chain %a\n", q.x);
        for (auto id : probe.GetElementIds()) {
            std::vector<GeoPoint> pts;
            f.facade->GetMappedElement(id & 0x0FFFFFFF)->GetPoints(pts);
            printf("neg %d id %x top %u first %a,%a last %a,%a n %zu\n", neg, id & 0x0FFFFFFF, id >> 28, pts.front().x, pts.front().y, pts.back().x, pts.back().y, pts.size());
        }
    }
    for (auto id : blocked.ids) printf("line id %x\n", id);
    f.driver.RunUntilIdle();
    (void)platform::SaveScreenshot(f.canvas.GetHwnd(), "/tmp/ovl/frame.png");
    f.Repaint();
    (void)platform::SaveScreenshot(f.canvas.GetHwnd(), "/tmp/ovl/frame2.png");
    EXPECT_EQ(f.layer->GetEntryIds().size(), 1u);
    EXPECT_EQ(f.layer->GetElementIds().size(), 4u);
}

} // namespace
