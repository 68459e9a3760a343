#pragma once
// The crossing view: draws the picture of the next manoeuvre of a route into a rectangle of a
// device context. The destination's flag and approach bitmaps for the manoeuvres that mark it,
// a predefined highway drawing (two joined when a second highway manoeuvre follows closely) for
// the highway manoeuvres and motorway elements, otherwise the junction model computed from the
// map; a frame in the background colour around it. It keeps its model between draws and builds
// it again when the junction or the manoeuvre changes. It owns an optional small distance bar.
// One thread at a time.

#include "advisor/advice.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "junctionview/model/crossingmodel.h"
#include "junctionview/paint/crossingdistancebar.h"
#include "junctionview/paint/junctioncanvas.h"
#include "junctionview/paint/junctionpainter.h"
#include "routing/routeservice.h"
#include "six/refcntptr.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CrossingViewBase {
public:
    virtual ~CrossingViewBase() = default;
};

class CrossingView : public CrossingViewBase, public CrossingModel {
public:
    // Manoeuvre kinds the view tests.
    static constexpr std::int32_t kDestinationReached = 31; // the flag bitmap
    static constexpr std::int32_t kDestinationAhead = 36;   // the approach bitmap
    static constexpr std::int32_t kRoadAhead = 37;          // highway drawing 0
    static constexpr std::int32_t kUTurn = 5;               // drawing 5, never joined
    static constexpr std::int32_t kReversedArcAbove = 200;  // kinds above: the arc runs reversed
    // The element type whose route positions take the drawing of their manoeuvre kind.
    static constexpr std::int32_t kMotorwayType = 1010;

    // The destination street's elements are those of routeRequest's destination; engine may be
    // null (no element lookups then).
    CrossingView(std::u16string dataFolder, const RouteRequestResult& routeRequest,
                 RetrievalEngine::RetrievalEnginePtr engine);
    ~CrossingView() override;

    // No effect.
    virtual void Update(AdvicePtr advice, std::u16string text);
    // Draws the picture of adviceIterator's manoeuvre at routeIterator's junction into rect
    // {left, top, right, bottom} of dc; *result: 1 model ready, 0 nothing to paint, -1 a drawing
    // file missing (only the frame is drawn then). Nothing without a found route or a valid
    // route iterator; the destination bitmaps leave *result unwritten.
    virtual void Draw(RouteIteratorPtr routeIterator, AdvicePtr adviceIterator, const RECT& rect,
                      HDC dc, std::int32_t* result);
    // The same onto any canvas.
    void Draw(const RouteIteratorPtr& routeIterator, const AdvicePtr& adviceIterator,
              const RECT& rect, JunctionCanvas& canvas, std::int32_t* result);
    // Colours as COLORREF, kept as red, green and blue; widths in device units, geometryRadius
    // in metres.
    virtual void SetAppearance(COLORREF routeColour, COLORREF backgroundColour,
                               COLORREF junctionRoadColour, COLORREF sideRoadColour,
                               COLORREF extraRoadColour, COLORREF outlineColour,
                               double radiusFactor, std::int32_t routeWidth,
                               std::int32_t geometryRadius, std::int32_t sideRoadWidth,
                               std::int32_t extraRoadWidth, std::u16string moduleFolder);
    virtual void CreateDistanceBar(std::int32_t orientation);
    // Nothing before CreateDistanceBar.
    virtual void DrawDistanceBar(HDC dc, const RECT& rect, double fraction);
    void DrawDistanceBar(JunctionCanvas& canvas, const RECT& rect, double fraction);

    // 1, 0 or -1 as Draw's result; rect is the model's rectangle.
    std::int32_t BuildJunctionModel(const AdvicePtr& adviceIterator, const JunctionRect& rect);
    // The straight distance to the following manoeuvre, when there is one.
    void MeasureNextManoeuvre(const AdvicePtr& adviceIterator);
    // Maps the drawing into rect, centred, keeping its proportions.
    void FitDrawingToRect(const JunctionRect& rect);
    void PaintJunction(JunctionCanvas& canvas) const;

    [[nodiscard]] std::int32_t DrawingKind() const { return m_drawingKind; }
    [[nodiscard]] std::int32_t SecondDrawingKind() const { return m_secondDrawingKind; }
    [[nodiscard]] std::int32_t GeometryRadius() const { return m_geometryRadius; }
    [[nodiscard]] std::int32_t NextManoeuvreDistance() const { return m_nextManoeuvreDistance; }
    [[nodiscard]] bool HasSecondJunction() const { return m_hasSecondJunction; }
    [[nodiscard]] bool IsArcReversed() const { return m_reverseArc; }
    [[nodiscard]] const std::vector<std::uint32_t>& RouteElementIds() const {
        return m_routeElementIds;
    }
    [[nodiscard]] JunctionStyle Style() const;

private:
    using Colour = std::array<std::uint32_t, 3>; // red, green, blue

    // Reads the drawing files of the two numbers; false (with a debug line) when one is missing.
    bool LoadDrawings(const JunctionRect& rect);
    // The destination bitmap centred on rect at its own size; nothing when it cannot be loaded.
    void DrawDestinationBitmap(const char16_t* name, const RECT& rect, JunctionCanvas& canvas);
    static Colour Split(COLORREF colour);
    static COLORREF Join(const Colour& colour);

    std::u16string m_dataFolder;
    RouteRequestResult m_routeRequest;
    RetrievalEngine::RetrievalEnginePtr m_engine;
    std::int32_t m_drawingKind = -1;
    std::int32_t m_secondDrawingKind = -1;
    std::int32_t m_geometryRadius = 0;
    Colour m_sideRoadColour{255, 255, 255};
    Colour m_extraRoadColour{255, 0, 0};
    Colour m_junctionRoadColour{0, 0, 0};
    Colour m_outlineColour{0, 0, 0};
    Colour m_backgroundColour{255, 255, 255};
    Colour m_routeColour{0, 0, 255};
    std::unique_ptr<CrossingDistanceBar> m_distanceBar;
    std::u16string m_moduleFolder;
    std::int32_t m_routeWidth = 10;
    std::int32_t m_sideRoadWidth = 10;
    std::int32_t m_extraRoadWidth = 10;
    bool m_reverseArc = false;
};

using CrossingViewPtr = six::RefCntPtr<CrossingView>;

// A new crossing view; empty when it cannot be allocated.
[[nodiscard]] CrossingViewPtr CreateCrossingView(const RouteRequestResult& routeRequest,
                                                 const RetrievalEngine::RetrievalEnginePtr& engine,
                                                 const char16_t* dataFolder);
