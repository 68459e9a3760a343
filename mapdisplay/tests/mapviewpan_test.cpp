// The map view's labels after a pan over the draw town: the picture is kept and moved, only the
// uncovered strip is drawn anew, and every label shows as a full repaint drew it.

#include "mapdisplay/tests/mapviewfixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace mapviewtest;

// The text colour of the default day sheet's point labels (its street labels have their own).
constexpr std::uint32_t kPointLabelText = 0x000000;
// How far a label's pixels reach beyond its bounds: the halo and the rounding of turned glyphs.
constexpr LONG kPanInkReach = 2;

std::uint32_t PanPixelOf(COLORREF colour) {
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

bool IsLabelInk(std::uint32_t rgb) {
    const LabelFontTable& fonts = LabelFontTable::Instance();
    return rgb == PanPixelOf(fonts.StreetText()) || rgb == PanPixelOf(fonts.StreetHalo()) ||
           rgb == kPointLabelText;
}

// One paint as the screen shows it.
struct PanFrame {
    std::vector<std::uint32_t> pixels; // the client area, 0x00RRGGBB, rows top-down
    std::vector<Label> labels;         // what the label layer holds after the paint
};

// The label of labels with the same text and font at the place of label moved back by offset.
const Label* FindPanLabel(const std::vector<Label>& labels, const Label& label, POINT offset) {
    for (const Label& other : labels) {
        bool isSame = other.text == label.text && other.fontKey == label.fontKey;
        for (std::size_t i = 0; i < 4 && isSame; ++i) {
            isSame = other.corners[i].x + offset.x == label.corners[i].x &&
                     other.corners[i].y + offset.y == label.corners[i].y;
        }
        if (isSame) {
            return &other;
        }
    }
    return nullptr;
}

class MapViewPanTest : public MapViewFixture {
protected:
    void StartTown() {
        Start(240, 320, "[Map]\r\n", false, false);
        ShowWhole();
        RECT client{};
        GetClientRect(view->GetHwnd(), &client);
        m_client = client;
    }
    [[nodiscard]] PanFrame Capture() {
        const POINT origin = OnScreen(POINT{0, 0});
        return {
            Pixels(RECT{origin.x, origin.y, origin.x + m_client.right, origin.y + m_client.bottom}),
            Canvas().GetDrawOptions()->state->labels.Labels()};
    }
    // The view drawn whole: out one step and back, a zoom reuses nothing of the last picture.
    [[nodiscard]] PanFrame RepaintWhole(double scale) {
        Canvas().SetScale(scale * 2);
        driver.RunUntilIdle();
        Canvas().SetScale(scale);
        driver.RunUntilIdle();
        EXPECT_EQ(Canvas().GetDrawOptions()->state->changeCode, 3);
        return Capture();
    }
    // The pixels of the label's bounds that both frames show (reference's moved by offset) and
    // where one of them has label ink while the other differs.
    [[nodiscard]] int InkDifferences(const PanFrame& pan, const Label& label,
                                     const PanFrame& reference, POINT offset) const {
        int differing = 0;
        for (LONG y = label.bounds.top; y < label.bounds.bottom; ++y) {
            for (LONG x = label.bounds.left; x < label.bounds.right; ++x) {
                if (!IsShown(x, y) || !IsShown(x - offset.x, y - offset.y)) {
                    continue;
                }
                const std::uint32_t shown = pan.pixels[At(x, y)];
                const std::uint32_t drawn = reference.pixels[At(x - offset.x, y - offset.y)];
                differing += (IsLabelInk(shown) || IsLabelInk(drawn)) && shown != drawn ? 1 : 0;
            }
        }
        return differing;
    }
    [[nodiscard]] bool IsShown(LONG x, LONG y) const {
        return x >= 0 && y >= 0 && x < m_client.right && y < m_client.bottom;
    }
    [[nodiscard]] std::size_t At(LONG x, LONG y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_client.right) +
               static_cast<std::size_t>(x);
    }
    // One label of the pan's frame, the picture having moved by moved and kept the part kept:
    // one kept with the picture shows as the full repaint before the pan drew it, one drawn in
    // the strip stays out of the kept part and shows as the full repaint after the pan drew it
    // there, if it did. True when it was compared with either.
    bool CheckPannedLabel(const Label& label, const PanFrame& pan, const PanFrame& before,
                          const PanFrame& after, POINT moved, const RECT& kept) const {
        const std::string text(label.text.begin(), label.text.end());
        RECT wasAt = label.bounds;
        OffsetRect(&wasAt, -moved.x, -moved.y);
        RECT wasShown{};
        if (IntersectRect(&wasShown, &wasAt, &m_client) != FALSE &&
            FindPanLabel(before.labels, label, moved) != nullptr) {
            EXPECT_EQ(InkDifferences(pan, label, before, moved), 0) << "kept: " << text;
            return true;
        }
        const RECT& b = label.bounds;
        const RECT halo{b.left - 1, b.top - 1, b.right + 1, b.bottom + 1};
        RECT intoKept{};
        EXPECT_FALSE(IntersectRect(&intoKept, &halo, &kept)) << "reaches the kept part: " << text;
        if (FindPanLabel(after.labels, label, POINT{}) == nullptr) {
            return false;
        }
        EXPECT_EQ(InkDifferences(pan, label, after, POINT{}), 0) << "new: " << text;
        return true;
    }
    // Label pixels of the frame farther than kPanInkReach from every label it holds.
    [[nodiscard]] int StrayInk(const PanFrame& pan) const {
        std::vector<bool> isLabelled(pan.pixels.size());
        for (const Label& label : pan.labels) {
            const RECT& b = label.bounds;
            for (LONG y = b.top - kPanInkReach; y < b.bottom + kPanInkReach; ++y) {
                for (LONG x = b.left - kPanInkReach; x < b.right + kPanInkReach; ++x) {
                    if (IsShown(x, y)) {
                        isLabelled[At(x, y)] = true;
                    }
                }
            }
        }
        int stray = 0;
        for (std::size_t i = 0; i < pan.pixels.size(); ++i) {
            stray += IsLabelInk(pan.pixels[i]) && !isLabelled[i] ? 1 : 0;
        }
        return stray;
    }

    RECT m_client{};
};

// A pan keeps the labels of the picture it moves and adds only labels wholly inside the strip it
// uncovers: each label is shown pixel for pixel as the full repaint of the view before the pan
// (moved with it) or after it drew it, no label pixel lies outside the labels shown, and no new
// label reaches into the kept picture. Vertical street labels of small classes beside point
// labels, long and short pans both ways along both axes.
TEST_F(MapViewPanTest, StripRepaintDrawsNoLabelOverAnotherOrCut) {
    StartTown();
    const struct {
        double scale; // metres per pixel
        int dx;       // the view's move in pixels, right and down
        int dy;
    } cases[] = {{2.5, 0, -12}, {2.5, 0, -47}, {2.5, 0, 80},  {2.5, 0, -150}, {3.0, 0, 33},
                 {3.0, 0, 110}, {5.0, 0, 61},  {5.5, -12, 0}, {5.5, -20, 0},  {3.0, 47, 0},
                 {2.5, -61, 0}, {7.0, 12, 0},  {2.0, 0, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.scale) + " m/px, pan " + std::to_string(c.dx) + "," +
                     std::to_string(c.dy));
        Canvas().SetScale(c.scale);
        Canvas().SetCenter(TownCentre());
        const PanFrame before = RepaintWhole(c.scale);
        MapViewport& viewport = *Canvas().GetViewport();
        viewport.SetCenter(
            viewport.ScreenToWorld(POINT{m_client.right / 2 + c.dx, m_client.bottom / 2 + c.dy}));
        driver.RunUntilIdle();
        const PainterState& state = *Canvas().GetDrawOptions()->state;
        ASSERT_EQ(state.changeCode, 5) << "the picture is kept";
        const POINT moved = state.scrollOffset;
        const PanFrame pan = Capture();
        const PanFrame after = RepaintWhole(c.scale);

        RECT kept = m_client;
        OffsetRect(&kept, moved.x, moved.y);
        (void)IntersectRect(&kept, &kept, &m_client);
        int compared = 0;
        for (const Label& label : pan.labels) {
            compared += CheckPannedLabel(label, pan, before, after, moved, kept) ? 1 : 0;
        }
        EXPECT_GT(compared, 0);
        EXPECT_EQ(StrayInk(pan), 0) << "label pixels of no label shown";
    }
}

} // namespace
