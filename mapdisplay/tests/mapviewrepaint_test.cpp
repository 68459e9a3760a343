// The map view's labels after a repaint of part of the draw town's picture: a pan keeps the
// picture, moved, and draws the uncovered strip anew; the marker's old patch erased or a rectangle
// invalidated draws that part of an unchanged view anew. Every label shows as a full repaint drew
// it.

#include "mapdisplay/tests/mapviewfixture.h"

#include "platform/gdi/tests/repaintcheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace mapviewtest;

// The text colour of the default day sheet's point labels (its street labels have their own).
constexpr std::uint32_t kPointLabelText = 0x000000;
// How far a label's pixels reach beyond its bounds: the halo and the rounding of turned glyphs.
constexpr LONG kFrameInkReach = 2;

std::uint32_t FramePixelOf(COLORREF colour) {
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 |
           static_cast<std::uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
}

bool IsLabelInk(std::uint32_t rgb) {
    const LabelFontTable& fonts = LabelFontTable::Instance();
    return rgb == FramePixelOf(fonts.StreetText()) || rgb == FramePixelOf(fonts.StreetHalo()) ||
           rgb == kPointLabelText;
}

// One paint as the screen shows it.
struct ViewFrame {
    std::vector<std::uint32_t> pixels; // the client area, 0x00RRGGBB, rows top-down
    std::vector<Label> labels;         // what the label layer holds after the paint
};

// The label of labels with the same text and font at the place of label moved back by offset.
const Label* FindFrameLabel(const std::vector<Label>& labels, const Label& label, POINT offset) {
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

class MapViewRepaintTest : public MapViewFixture {
protected:
    // isTracking: the view follows the position, erasing the marker's old patch on each move.
    void StartTown(bool isTracking) {
        Start(240, 320, "[Map]\r\n", false, isTracking);
        ShowWhole();
        RECT client{};
        GetClientRect(view->GetHwnd(), &client);
        m_client = client;
    }
    [[nodiscard]] ViewFrame Capture() {
        const POINT origin = OnScreen(POINT{0, 0});
        return {
            Pixels(RECT{origin.x, origin.y, origin.x + m_client.right, origin.y + m_client.bottom}),
            Canvas().GetDrawOptions()->state->labels.Labels()};
    }
    // The view drawn whole: out one step and back, a zoom reuses nothing of the last picture.
    [[nodiscard]] ViewFrame RepaintWhole(double scale) {
        Canvas().SetScale(scale * 2);
        driver.RunUntilIdle();
        Canvas().SetScale(scale);
        driver.RunUntilIdle();
        EXPECT_EQ(Canvas().GetDrawOptions()->state->changeCode, 3);
        return Capture();
    }
    // The pixels of the label's bounds that both frames show (reference's moved by offset) and
    // where one of them has label ink while the other differs.
    [[nodiscard]] int InkDifferences(const ViewFrame& pan, const Label& label,
                                     const ViewFrame& reference, POINT offset) const {
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
    bool CheckPannedLabel(const Label& label, const ViewFrame& pan, const ViewFrame& before,
                          const ViewFrame& after, POINT moved, const RECT& kept) const {
        const std::string text(label.text.begin(), label.text.end());
        RECT wasAt = label.bounds;
        OffsetRect(&wasAt, -moved.x, -moved.y);
        RECT wasShown{};
        if (IntersectRect(&wasShown, &wasAt, &m_client) != FALSE &&
            FindFrameLabel(before.labels, label, moved) != nullptr) {
            EXPECT_EQ(InkDifferences(pan, label, before, moved), 0) << "kept: " << text;
            return true;
        }
        const RECT& b = label.bounds;
        const RECT halo{b.left - 1, b.top - 1, b.right + 1, b.bottom + 1};
        RECT intoKept{};
        EXPECT_FALSE(IntersectRect(&intoKept, &halo, &kept)) << "reaches the kept part: " << text;
        if (FindFrameLabel(after.labels, label, POINT{}) == nullptr) {
            return false;
        }
        EXPECT_EQ(InkDifferences(pan, label, after, POINT{}), 0) << "new: " << text;
        return true;
    }
    // Label pixels of the frame farther than kFrameInkReach from every label it holds.
    [[nodiscard]] int StrayInk(const ViewFrame& pan) const {
        std::vector<bool> isLabelled(pan.pixels.size());
        for (const Label& label : pan.labels) {
            const RECT& b = label.bounds;
            for (LONG y = b.top - kFrameInkReach; y < b.bottom + kFrameInkReach; ++y) {
                for (LONG x = b.left - kFrameInkReach; x < b.right + kFrameInkReach; ++x) {
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
    // The rectangle's pixels (the marker's, drawn on the window alone) left out of comparisons.
    void Mask(ViewFrame& frame, const RECT& rect) const {
        for (LONG y = rect.top; y < rect.bottom; ++y) {
            for (LONG x = rect.left; x < rect.right; ++x) {
                if (IsShown(x, y)) {
                    frame.pixels[At(x, y)] = kMaskedPixel;
                }
            }
        }
    }
    // The frame after a repaint of redrawn, part of the view the full repaint before showed:
    // every label before is held and shows as it was, a new label lies inside redrawn, no label
    // pixel lies outside the labels held. Returns how many labels before lay in redrawn or
    // crossed its edge.
    int CheckRepaintedFrame(const ViewFrame& frame, const ViewFrame& before,
                            const RECT& redrawn) const {
        int touched = 0;
        for (const Label& label : before.labels) {
            const std::string text(label.text.begin(), label.text.end());
            RECT common{};
            touched += IntersectRect(&common, &label.bounds, &redrawn) != FALSE ? 1 : 0;
            EXPECT_NE(FindFrameLabel(frame.labels, label, POINT{}), nullptr) << "lost: " << text;
            EXPECT_EQ(InkDifferences(frame, label, before, POINT{}), 0) << "changed: " << text;
        }
        for (const Label& label : frame.labels) {
            if (FindFrameLabel(before.labels, label, POINT{}) != nullptr) {
                continue;
            }
            RECT halo{label.bounds.left - 1, label.bounds.top - 1, label.bounds.right + 1,
                      label.bounds.bottom + 1};
            (void)IntersectRect(&halo, &halo, &m_client);
            RECT inside{};
            (void)IntersectRect(&inside, &halo, &redrawn);
            const bool isInside = inside.left == halo.left && inside.top == halo.top &&
                                  inside.right == halo.right && inside.bottom == halo.bottom;
            EXPECT_TRUE(isInside) << "new and beyond the redrawn part: "
                                  << std::string(label.text.begin(), label.text.end());
        }
        EXPECT_EQ(StrayInk(frame), 0) << "label pixels of no label shown";
        return touched;
    }

    static constexpr std::uint32_t kMaskedPixel = 0xFF000000; // no colour the screen shows
    RECT m_client{};
};

// A pan keeps the labels of the picture it moves and adds only labels wholly inside the strip it
// uncovers: each label is shown pixel for pixel as the full repaint of the view before the pan
// (moved with it) or after it drew it, no label pixel lies outside the labels shown, and no new
// label reaches into the kept picture. Vertical street labels of small classes beside point
// labels, long and short pans both ways along both axes.
TEST_F(MapViewRepaintTest, StripRepaintDrawsNoLabelOverAnotherOrCut) {
    StartTown(false);
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
        const ViewFrame before = RepaintWhole(c.scale);
        MapViewport& viewport = *Canvas().GetViewport();
        viewport.SetCenter(
            viewport.ScreenToWorld(POINT{m_client.right / 2 + c.dx, m_client.bottom / 2 + c.dy}));
        // The pan's own paint: the paint after it draws the view whole.
        UpdateWindow(Canvas().GetHwnd());
        const PainterState& state = *Canvas().GetDrawOptions()->state;
        ASSERT_EQ(state.changeCode, 5) << "the picture is kept";
        const POINT moved = state.scrollOffset;
        const ViewFrame pan = Capture();
        const ViewFrame after = RepaintWhole(c.scale);

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

// A repaint of part of an unchanged view, as the marker's old patch is erased on each move of the
// position or a rectangle of the window is invalidated, keeps the picture around it with its
// labels: every label of the full repaint before is still held and shows pixel for pixel as it
// drew it, those inside the repainted part and those crossing its edge alike, a label drawn anew
// lies inside the repainted part, and no label pixel lies outside the labels held. Marker moves
// over street and point labels, rectangles from one pixel to all but one row of the view.
TEST_F(MapViewRepaintTest, PartRepaintOfUnchangedViewDrawsLabelsAsBefore) {
    StartTown(true);
    // The part of the view each paint draws.
    struct DrawnPart {
        OwnerHandlerList handlers;
        OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
        void OnBeginDraw(std::uint32_t*, DrawContext* context) { rect = context->rect; }
        RECT rect{};
    } drawn;
    Canvas().BeginDraw.ConnectUnlocked(&drawn, &DrawnPart::OnBeginDraw);
    const struct {
        double scale;   // metres per pixel
        POINT from;     // the marker moves from here to there, client pixels,
        POINT to;       // unless invalid is set
        RECT invalid{}; // the client rectangle invalidated
    } cases[] = {
        {3.0, {70, 160}, {90, 175}},        {3.0, {140, 120}, {150, 140}},
        {3.0, {135, 245}, {120, 230}},      {5.0, {75, 165}, {90, 170}},
        {5.0, {130, 125}, {110, 100}},      {2.5, {100, 95}, {130, 95}},
        {3.0, {}, {}, {60, 150, 80, 170}},  {3.0, {}, {}, {0, 0, 238, 40}},
        {3.0, {}, {}, {100, 0, 130, 318}},  {3.0, {}, {}, {115, 100, 155, 130}},
        {3.0, {}, {}, {10, 140, 100, 200}}, {3.0, {}, {}, {130, 120, 131, 121}},
        {5.0, {}, {}, {150, 40, 238, 60}},  {5.0, {}, {}, {0, 0, 238, 317}},
        {2.5, {}, {}, {20, 250, 120, 300}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.scale) + " m/px, marker " + std::to_string(c.from.x) + "," +
                     std::to_string(c.from.y) + " to " + std::to_string(c.to.x) + "," +
                     std::to_string(c.to.y) + ", invalid " + std::to_string(c.invalid.left) + "," +
                     std::to_string(c.invalid.top) + "," + std::to_string(c.invalid.right) + "," +
                     std::to_string(c.invalid.bottom));
        Canvas().SetScale(c.scale);
        Canvas().SetCenter(TownCentre());
        const bool isMarkerMove = IsRectEmpty(&c.invalid) != FALSE;
        if (isMarkerMove) {
            view->SetPosition(Position(Canvas().ScreenToGeo(c.from), 90, 0));
            view->UpdateFollow();
        }
        ViewFrame before = RepaintWhole(c.scale);
        const RECT markerBefore = view->GetMarkerRect();
        if (isMarkerMove) {
            view->SetPosition(Position(Canvas().ScreenToGeo(c.to), 90, 0));
            view->UpdateFollow();
        } else {
            InvalidateRect(view->GetHwnd(), &c.invalid, FALSE);
            driver.RunUntilIdle();
            EXPECT_TRUE(drawn.rect.left == c.invalid.left && drawn.rect.top == c.invalid.top &&
                        drawn.rect.right == c.invalid.right &&
                        drawn.rect.bottom == c.invalid.bottom);
        }
        ASSERT_EQ(Canvas().GetDrawOptions()->state->changeCode, 6) << "the view is unchanged";
        ViewFrame frame = Capture();
        // The marker with its shadow, before and after.
        for (const RECT& marker : {markerBefore, view->GetMarkerRect()}) {
            const RECT around{marker.left - 3, marker.top - 3, marker.right + 3, marker.bottom + 3};
            Mask(before, around);
            Mask(frame, around);
        }
        EXPECT_GT(CheckRepaintedFrame(frame, before, drawn.rect), 0) << "no label repainted";
    }
}

// A repaint of the whole unchanged view, as an option that changes the labels asks for, places
// the labels anew: street names turned off leave no street label, turned on bring them back.
TEST_F(MapViewRepaintTest, WholeViewRepaintPlacesTheLabelsAnew) {
    StartTown(false);
    Canvas().SetScale(3.0);
    Canvas().SetCenter(TownCentre());
    const ViewFrame before = RepaintWhole(3.0);
    const auto streetLabels = [](const std::vector<Label>& labels) {
        return std::count_if(labels.begin(), labels.end(), [](const Label& label) {
            return label.fontKey == 0 &&
                   label.textColour == LabelFontTable::Instance().StreetText();
        });
    };
    ASSERT_GT(streetLabels(before.labels), 0);
    for (const bool isOn : {false, true}) {
        SCOPED_TRACE(isOn);
        Canvas().SetOptionFlag(isOn);
        driver.RunUntilIdle();
        ASSERT_EQ(Canvas().GetDrawOptions()->state->changeCode, 6) << "the view is unchanged";
        const ViewFrame frame = Capture();
        EXPECT_EQ(streetLabels(frame.labels), isOn ? streetLabels(before.labels) : 0);
        EXPECT_EQ(StrayInk(frame), 0);
    }
}

} // namespace

namespace {

// After a pan, whatever its length and direction, after a repaint of a part of the view, and
// after a switch to the night sheet while a window covers part of the view (whose paints then
// draw the rest only), the screen is what the view drawn whole at once shows: the scrolled
// picture is drawn whole once the view stays, a wide road whose line lies outside the repainted
// part but whose pen reaches into it is drawn there too, and the night's labels are placed over
// the whole view.
TEST_F(MapViewRepaintTest, ThePictureAfterAPanOrAPartialRepaintIsTheViewDrawnWhole) {
    StartTown(false);
    const struct {
        const char* name;
        int dx; // the view's move in pixels, right and down
        int dy;
        RECT part;      // invalidated after the move, client coordinates
        RECT covered{}; // a window over the view from before the move, screen coordinates
        bool isNight{}; // the night sheet switched on after the move
    } cases[] = {
        {"down", 0, 52, {}},
        {"up", 0, -47, {}},
        {"right", 31, 0, {}},
        {"a little left", -2, 0, {}},
        {"a part", 0, 0, {50, 50, 120, 90}},
        {"a strip", 0, 0, {0, 100, 240, 104}},
        {"night, the left covered", 0, 0, {}, {0, 0, 40, 320}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas().SetScale(2.5);
        Canvas().SetCenter(TownCentre());
        driver.RunUntilIdle();
        HWND cover = IsRectEmpty(&c.covered) != FALSE
                         ? nullptr
                         : repaintcheck::MakeFilledPopup(c.covered, GRAY_BRUSH);
        driver.RunUntilIdle();
        MapViewport& viewport = *Canvas().GetViewport();
        viewport.SetCenter(
            viewport.ScreenToWorld(POINT{m_client.right / 2 + c.dx, m_client.bottom / 2 + c.dy}));
        InvalidateRect(Canvas().GetHwnd(), &c.part, FALSE);
        if (c.isNight) {
            view->ToggleNightMode();
        }
        driver.RunUntilIdle();
        const std::optional<RECT> differs = repaintcheck::DifferenceFromWholeRepaint();
        EXPECT_FALSE(differs) << differs.value_or(RECT{}).left << ", "
                              << differs.value_or(RECT{}).top;
        const ViewFrame shown = Capture();
        const ViewFrame anew = RepaintWhole(2.5);
        const std::optional<RECT> apart =
            platform::FirstDifference(shown.pixels, anew.pixels, m_client.right);
        EXPECT_FALSE(apart) << "drawn anew: " << apart.value_or(RECT{}).left << ", "
                            << apart.value_or(RECT{}).top;
        if (c.isNight) {
            view->ToggleNightMode();
        }
        if (cover != nullptr) {
            DestroyWindow(cover);
        }
        driver.RunUntilIdle();
    }
}

} // namespace
