#include "junctionview/paint/crossingview.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "junctionview/paint/drawingfile.h"

#include "platform/gdi/dib.h"
#include "platform/kernel/debug.h"

#include <new>
#include <utility>

namespace {

constexpr std::int32_t kHighwayKinds[] = {16, 17, 29, 30, 34, 35};

bool IsHighwayKind(std::int32_t kind) {
    for (const std::int32_t k : kHighwayKinds) {
        if (k == kind) {
            return true;
        }
    }
    return false;
}

// The destination street's element ids: the elements of its named street, then its own.
std::vector<std::uint32_t> DestinationElements(const RouteRequestResult& request,
                                               const RetrievalEngine::RetrievalEnginePtr& engine) {
    std::vector<std::uint32_t> ids;
    const RoutePositionPtr& destination = request.destination;
    if (!destination || destination->Count() == 0 || destination->Begin() == nullptr) {
        return ids;
    }
    const std::uint32_t id = destination->Begin()->elementId;
    if (engine) {
        const six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
        std::vector<std::u16string> names;
        if (element && element->GetPrimaryNames(names) && !names.empty()) {
            const GeoMoleculePtr molecule = engine->CreateMappedGeoMolecule(id, names.front(), 0);
            if (molecule) {
                ids = molecule->GetElementIds();
            }
        }
    }
    ids.push_back(id);
    return ids;
}

void DebugLine(const std::u16string& text) {
    OutputDebugStringW((text + u"\n").c_str());
}

// The advice's values; null (as not valid) when the iterator is not valid or has none.
AdviceValuePtr CurrentValue(const AdvicePtr& advice) {
    return advice && advice->IsValid() ? advice->Current() : AdviceValuePtr();
}

} // namespace

CrossingView::CrossingView(std::u16string dataFolder, const RouteRequestResult& routeRequest,
                           RetrievalEngine::RetrievalEnginePtr engine)
    : CrossingModel(routeRequest.route, engine ? CreateEngineJunctionMap(engine) : nullptr,
                    DestinationElements(routeRequest, engine))
    , m_dataFolder(std::move(dataFolder))
    , m_routeRequest(routeRequest)
    , m_engine(std::move(engine)) {}

CrossingView::~CrossingView() {
    m_distanceBar.reset();
    m_routeSegments.clear();
    m_sideSegments.clear();
    m_extraSegments.clear();
    m_drawingKind = -1;
    m_secondDrawingKind = -1;
    m_hasSecondJunction = false;
    m_reverseArc = false;
}

void CrossingView::Update(AdvicePtr /*advice*/, std::u16string /*text*/) {}

CrossingView::Colour CrossingView::Split(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

COLORREF CrossingView::Join(const Colour& colour) {
    return RGB(static_cast<int>(colour[0]), static_cast<int>(colour[1]),
               static_cast<int>(colour[2]));
}

void CrossingView::SetAppearance(COLORREF routeColour, COLORREF backgroundColour,
                                 COLORREF junctionRoadColour, COLORREF sideRoadColour,
                                 COLORREF extraRoadColour, COLORREF outlineColour,
                                 double radiusFactor, std::int32_t routeWidth,
                                 std::int32_t geometryRadius, std::int32_t sideRoadWidth,
                                 std::int32_t extraRoadWidth, std::u16string moduleFolder) {
    m_routeColour = Split(routeColour);
    m_backgroundColour = Split(backgroundColour);
    m_junctionRoadColour = Split(junctionRoadColour);
    m_sideRoadColour = Split(sideRoadColour);
    m_extraRoadColour = Split(extraRoadColour);
    m_outlineColour = Split(outlineColour);
    SetRadiusFactor(radiusFactor);
    m_routeWidth = routeWidth;
    m_geometryRadius = geometryRadius;
    m_sideRoadWidth = sideRoadWidth;
    m_extraRoadWidth = extraRoadWidth;
    m_moduleFolder = std::move(moduleFolder);
}

JunctionStyle CrossingView::Style() const {
    JunctionStyle style;
    style.routeColour = Join(m_routeColour);
    style.junctionRoadColour = Join(m_junctionRoadColour);
    style.sideRoadColour = Join(m_sideRoadColour);
    style.extraRoadColour = Join(m_extraRoadColour);
    style.outlineColour = Join(m_outlineColour);
    style.backgroundColour = Join(m_backgroundColour);
    style.routeWidth = m_routeWidth;
    style.sideRoadWidth = m_sideRoadWidth;
    style.extraRoadWidth = m_extraRoadWidth;
    return style;
}

void CrossingView::CreateDistanceBar(std::int32_t orientation) {
    m_distanceBar = std::make_unique<CrossingDistanceBar>(orientation);
}

void CrossingView::DrawDistanceBar(HDC dc, const RECT& rect, double fraction) {
    GdiJunctionCanvas canvas(dc);
    DrawDistanceBar(canvas, rect, fraction);
}

void CrossingView::DrawDistanceBar(JunctionCanvas& canvas, const RECT& rect, double fraction) {
    if (!m_distanceBar) {
        return;
    }
    m_distanceBar->SetRect(rect.left, rect.top, rect.right, rect.bottom);
    m_distanceBar->SetFraction(fraction);
    m_distanceBar->Paint(canvas);
}

void CrossingView::Draw(RouteIteratorPtr routeIterator, AdvicePtr adviceIterator, const RECT& rect,
                        HDC dc, std::int32_t* result) {
    GdiJunctionCanvas canvas(dc);
    Draw(routeIterator, adviceIterator, rect, canvas, result);
}

void CrossingView::Draw(const RouteIteratorPtr& routeIterator, const AdvicePtr& adviceIterator,
                        const RECT& rect, JunctionCanvas& canvas, std::int32_t* result) {
    std::int32_t local = 0;
    std::int32_t& outcome = result != nullptr ? *result : local;
    if (m_routeRequest.status != routestatus::kFound || !routeIterator ||
        !routeIterator->IsValid()) {
        return;
    }
    SetRouteCursor(routeIterator);
    const std::int32_t m = m_routeWidth * 5 / 4;
    const auto grow = [](LONG value, double by) { return junctionview::ClampToInt(value + by); };
    const JunctionRect modelRect{grow(rect.left, m), grow(rect.top, m), grow(rect.right, -m),
                                 grow(rect.bottom, -m)};
    const AdviceValuePtr value = CurrentValue(adviceIterator);
    if (value) {
        const std::int32_t kind = value->GetKind();
        if (kind == kDestinationReached || kind == kDestinationAhead) {
            DrawDestinationBitmap(kind == kDestinationReached ? u"DestFlag.bmp" : u"DestAppr.bmp",
                                  rect, canvas);
            return;
        }
        if (value->IsLinkedToNext() != 0) {
            MeasureNextManoeuvre(adviceIterator);
        }
        outcome = BuildJunctionModel(adviceIterator, modelRect);
    } else {
        outcome = 0;
    }
    const COLORREF background = Join(m_backgroundColour);
    canvas.SetBrush(background);
    canvas.SetPen({PS_SOLID, 1, background});
    canvas.DrawRectangle(grow(rect.left, -m), grow(rect.top, -m), grow(rect.right, m),
                         grow(rect.bottom, m));
    if (outcome == 1) {
        PaintJunction(canvas);
    }
}

void CrossingView::DrawDestinationBitmap(const char16_t* name, const RECT& rect,
                                         JunctionCanvas& canvas) {
    const std::u16string path = m_dataFolder + u"\\ConfigFiles\\HiWayImages\\" + name;
    HBITMAP bitmap = SHLoadDIBitmap(path.c_str());
    BITMAP size{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0) {
        DebugLine(u"Crossing view: cannot load " + path);
        if (bitmap != nullptr) {
            (void)DeleteObject(bitmap);
        }
        return;
    }
    const auto half = [](LONG a, LONG b) {
        return junctionview::ClampToInt((static_cast<double>(a) + b) / 2);
    };
    const std::int32_t x = half(rect.left, rect.right) - size.bmWidth / 2;
    const std::int32_t y = half(rect.top, rect.bottom) - size.bmHeight / 2;
    canvas.CopyBitmap(bitmap, x, y, size.bmWidth, size.bmHeight);
    (void)DeleteObject(bitmap);
}

void CrossingView::MeasureNextManoeuvre(const AdvicePtr& adviceIterator) {
    const AdviceValuePtr value = CurrentValue(adviceIterator);
    if (!value) {
        return;
    }
    const AdvicePtr next = adviceIterator->Clone();
    if (!next || !next->Next() || !next->IsValid()) {
        return;
    }
    const AdviceValuePtr following = next->Current();
    if (!following) {
        return;
    }
    const GeoPoint a = value->GetPosition();
    const GeoPoint b = following->GetPosition();
    m_nextManoeuvreDistance = junctionview::ClampToInt(HaversineDistance(a.x, a.y, b.x, b.y));
}

std::int32_t CrossingView::BuildJunctionModel(const AdvicePtr& adviceIterator,
                                              const JunctionRect& rect) {
    const RouteIteratorPtr cursor = m_routeCursor ? m_routeCursor->Clone() : nullptr;
    const AdviceValuePtr value = CurrentValue(adviceIterator);
    if (!cursor || !cursor->IsValid() || !value) {
        return 0;
    }
    const RouteRecord step = cursor->Current();
    JunctionMapElement element;
    const std::int32_t typeCode =
        m_map && m_map->GetElement(step.linkId, element) ? element.typeCode : 0;

    const std::int32_t kind = value->GetKind();
    if (kind > kReversedArcAbove) {
        m_reverseArc = true;
    }
    std::int32_t second = -1;
    if (value->IsLinkedToNext() != 0) {
        const AdvicePtr next = adviceIterator->Clone();
        if (next && next->Next() && next->IsValid()) {
            const AdviceValuePtr following = next->Current();
            if (following && IsHighwayKind(following->GetKind())) {
                second = following->GetKind();
            }
        }
    }
    if (kind == kUTurn) {
        second = -1;
    }

    const bool isRebuilt = step.linkId != m_junctionRecord.linkId || kind != m_drawingKind ||
                           second != m_secondDrawingKind;
    if (isRebuilt) {
        m_routeSegments.clear();
        m_sideSegments.clear();
        m_extraSegments.clear();
        m_junctionRecord = step;
        m_drawingKind = -1;
        m_secondDrawingKind = -1;
        if (kind == kRoadAhead) {
            m_drawingKind = 0;
            m_targetRect = rect;
        } else if (kind == kUTurn) {
            m_drawingKind = kUTurn;
        } else if (typeCode == kMotorwayType || IsHighwayKind(kind)) {
            m_drawingKind = kind;
            if (second == -1) {
                m_nextManoeuvreDistance = 0;
            } else {
                m_secondDrawingKind = second;
                MeasureNextManoeuvre(adviceIterator);
                m_hasSecondJunction = true;
            }
        }
        if ((m_drawingKind != -1 || m_secondDrawingKind != -1) && !LoadDrawings(rect)) {
            return -1;
        }
    }
    if (m_nextManoeuvreDistance != 0) {
        const double d = m_nextManoeuvreDistance;
        m_geometryRadius = junctionview::ClampToInt(d + d * m_radiusFactor);
    }
    if (m_drawingKind == -1 && m_secondDrawingKind == -1) {
        if (isRebuilt) {
            if (!BuildComputedJunction(m_geometryRadius)) {
                return 0;
            }
            OrientModel();
        }
        MapModelToRect(rect);
    } else {
        FitDrawingToRect(rect);
    }
    TrimToRect(rect.left, rect.top, rect.right, rect.bottom);
    if (!m_isRoundabout && !m_screenRouteSegments.empty()) {
        m_arrowSegment = m_screenRouteSegments.back();
    }
    return 1;
}

bool CrossingView::LoadDrawings(const JunctionRect& rect) {
    junctionview::Drawing drawing;
    std::uint32_t nextId = 0;
    const std::int32_t numbers[2] = {m_drawingKind, m_secondDrawingKind};
    for (std::size_t i = 0; i < 2; ++i) {
        if (numbers[i] == -1) {
            continue;
        }
        const std::size_t firstRoute = drawing.route.size();
        const std::size_t firstSide = drawing.side.size();
        const std::u16string path = junctionview::DrawingFilePath(m_dataFolder, numbers[i]);
        const junctionview::DrawingRead read =
            junctionview::ReadDrawingFile(path, drawing, nextId, &nextId);
        if (read != junctionview::DrawingRead::Read) {
            DebugLine((read == junctionview::DrawingRead::TooLong
                           ? u"Crossing view: drawing too long: "
                           : u"Crossing view: no drawing ") +
                      path);
            m_routeSegments = std::move(drawing.route);
            m_sideSegments = std::move(drawing.side);
            return false;
        }
        if (i == 1 && firstRoute + firstSide > 0) {
            junctionview::JoinDrawing(drawing, firstRoute, firstSide);
        }
    }
    junctionview::NormaliseDrawing(drawing);
    m_routeSegments = std::move(drawing.route);
    m_sideSegments = std::move(drawing.side);
    m_modelExtent = drawing.extent;
    m_targetRect = rect;
    return true;
}

void CrossingView::FitDrawingToRect(const JunctionRect& rect) {
    m_screenExtraSegments.clear();
    junctionview::FitDrawing(m_routeSegments, m_sideSegments, m_modelExtent, rect,
                             m_screenRouteSegments, m_screenSideSegments);
}

void CrossingView::PaintJunction(JunctionCanvas& canvas) const {
    JunctionScene scene;
    scene.screenRoute = m_screenRouteSegments;
    scene.screenSide = m_screenSideSegments;
    scene.screenExtra = m_screenExtraSegments;
    scene.isModelEmpty =
        m_routeSegments.empty() && m_sideSegments.empty() && m_extraSegments.empty();
    scene.isRoundabout = m_isRoundabout;
    scene.targetRect = m_targetRect;
    scene.arrowSegment = m_arrowSegment;
    scene.approachSegment = m_approachSegment;
    scene.reverseArc = m_reverseArc;
    const JunctionStyle style = Style();
    JunctionPainter painter(style, m_routeElementIds, canvas);
    painter.PaintJunction(scene);
}

CrossingViewPtr CreateCrossingView(const RouteRequestResult& routeRequest,
                                   const RetrievalEngine::RetrievalEnginePtr& engine,
                                   const char16_t* dataFolder) {
    return CrossingViewPtr(new (std::nothrow) CrossingView(dataFolder != nullptr ? dataFolder : u"",
                                                           routeRequest, engine));
}
