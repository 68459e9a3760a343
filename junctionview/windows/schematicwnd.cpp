#include "junctionview/windows/schematicwnd.h"

#include "junctionview/paint/crossingview.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/distancetext.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/debug.h"
#include "platform/shell/resources.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <atomic>
#include <cmath>
#include <new>

namespace {

constexpr DWORD kSchematicStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER;
constexpr int kButtonWidth = 33;
constexpr int kButtonHeight = 30;
constexpr double kTwoPi = 6.28318530718;
constexpr double kDegreesPerRadian = 57.29577951307855;
constexpr double kRadiansPerDegree = 0.017453292519944444;

std::atomic<std::int64_t> g_crossingViewsMade{0};

// A solid pen of width and colour and a solid brush selected into a DC for a scope; both are
// given back and deleted at its end.
class ScopedPenAndBrush {
public:
    ScopedPenAndBrush(HDC dc, int penWidth, COLORREF penColour, COLORREF brushColour)
        : m_dc(dc)
        , m_brush(CreateSolidBrush(brushColour))
        , m_pen(CreatePen(PS_SOLID, penWidth, penColour)) {
        m_oldPen = SelectObject(dc, m_pen);
        m_oldBrush = SelectObject(dc, m_brush);
    }
    ~ScopedPenAndBrush() {
        SelectObject(m_dc, m_oldBrush);
        SelectObject(m_dc, m_oldPen);
        if (m_pen != nullptr)
            DeleteObject(m_pen);
        if (m_brush != nullptr)
            DeleteObject(m_brush);
    }
    ScopedPenAndBrush(const ScopedPenAndBrush&) = delete;
    ScopedPenAndBrush& operator=(const ScopedPenAndBrush&) = delete;

private:
    HDC m_dc;
    HBRUSH m_brush;
    HPEN m_pen;
    HGDIOBJ m_oldPen = nullptr;
    HGDIOBJ m_oldBrush = nullptr;
};

double IntoFullTurn(double angle) {
    while (angle < 0.0)
        angle += kTwoPi;
    while (angle > kTwoPi)
        angle -= kTwoPi;
    return angle;
}

} // namespace

void CrossingAppearance::ApplyTo(CrossingView& view) const {
    view.SetAppearance(routeColour, backgroundColour, junctionRoadColour, sideRoadColour,
                       extraRoadColour, outlineColour, radiusFactor, routeWidth, geometryRadius,
                       sideRoadWidth, extraRoadWidth, moduleFolder);
}

SchematicWnd::SchematicWnd(JunctionViewOwner* owner)
    : WindowBase(&schematicHandle, u"Arrow")
    , m_owner(owner)
    , m_folder(AppPaths::GetModuleDirectory()) {
    const INT colour =
        IniProfile::GetInt(u"Arrow", u"CrossColor", AppPaths::GetScreenDescFilePath().c_str(),
                           static_cast<INT>(kDefaultLabelColour));
    // A colour of 0 stands for the default.
    m_labelColour = colour == 0 ? kDefaultLabelColour : static_cast<COLORREF>(colour);
    const INT radius = IniProfile::GetInt(u"SchematicAttribs", u"Radius",
                                          AppPaths::GetSettingsFilePath().c_str(), kDefaultRadius);
    if (radius < 1) {
        OutputDebugStringW(u"SchematicAttribs/Radius below 1: 40 metres taken\n");
        m_appearance.geometryRadius = kDefaultRadius;
    } else {
        m_appearance.geometryRadius = radius;
    }
    ConnectMessageHandler(schematicHandle.map, WM_PAINT, this, &SchematicWnd::OnPaint);
    ConnectMessageHandler(schematicHandle.map, WM_SIZE, this, &SchematicWnd::OnSizeMessage);
    ConnectMessageHandler(schematicHandle.map, WM_ERASEBKGND, this,
                          &SchematicWnd::OnEraseBackground);
    ConnectMessageHandler(schematicHandle.map, WM_LBUTTONDOWN, this, &SchematicWnd::OnLButtonDown);
    ConnectMessageHandler(schematicHandle.map, WM_COMMAND, this, &SchematicWnd::OnCommand);
}

SchematicWnd::~SchematicWnd() {
    ScopedLock lock(&m_lock);
    ReleaseCache();
    if (m_button != nullptr && m_button->GetWindow() != nullptr)
        DestroyWindow(m_button->GetWindow());
    m_button.reset();
    if (schematicHandle.window != nullptr) {
        DestroyWindow(schematicHandle.window);
        schematicHandle.window = nullptr;
    }
}

void SchematicWnd::Create(const RECT& rect, HWND parent) {
    if (schematicHandle.window == nullptr) {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", kSchematicStyle, rect.left,
                        rect.top, rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                        platform::ResourceInstance(), &schematicHandle);
        AddArea(u"Distance", kDistanceAreaKey);
        {
            ScopedLock lock(&m_lock);
            m_distanceArea = GetAreaRect(kDistanceAreaKey);
        }
        m_button = std::shared_ptr<BitmapButton>(new (std::nothrow)
                                                     BitmapButton(kButtonId, false, true, 0));
        if (m_button != nullptr) {
            CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_CHILD | WS_VISIBLE, 0, 0,
                            0, 0, schematicHandle.window,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kButtonId)),
                            platform::ResourceInstance(), &m_button->GetHandle());
        }
    }
    MoveWindowToRect(schematicHandle.window, rect, true);
    RECT client{};
    GetClientRect(schematicHandle.window, &client);
    if (m_button != nullptr && m_button->GetWindow() != nullptr) {
        MoveWindow(m_button->GetWindow(), client.right - kButtonWidth,
                   client.bottom - kButtonHeight, kButtonWidth, kButtonHeight, TRUE);
    }
    ScopedLock lock(&m_lock);
    ReleaseCache();
}

void SchematicWnd::SetDataSource(const six::RefCntPtr<MapEngineFacade>& source) {
    ScopedLock lock(&m_lock);
    if (source.Get() != m_dataSource.Get())
        m_dataSource = source;
}

void SchematicWnd::SetRoute(const RouteRequestResult& route) {
    ScopedLock lock(&m_lock);
    m_route = route;
}

void SchematicWnd::SetAdvice(const AdvicePtr& advice) {
    if (!advice || !advice->IsValid())
        return;
    // Our own copies: the thread that gave the advice goes on with it.
    AdvicePtr copy = advice->Clone();
    const AdviceValuePtr value = copy ? copy->Current() : AdviceValuePtr();
    RouteIteratorPtr route;
    if (value) {
        const RouteIteratorPtr given = value->GetRouteIterator();
        route = given ? given->Clone() : nullptr;
    }
    ScopedLock lock(&m_lock);
    if (value && value->GetApproachPercent() <= 0) {
        if (value->GetDistance() != m_labelDistance) {
            m_labelDistance = value->GetDistance();
            m_isComposed = false;
            Invalidate(&m_distanceArea);
        }
    } else if (m_labelDistance != -1) {
        m_labelDistance = -1;
        m_isComposed = false;
    }
    m_advice = value ? copy : AdvicePtr();
    m_routeIterator = route;
    Invalidate(nullptr);
}

void SchematicWnd::SetPosition(const MatchedPosition& position) {
    ScopedLock lock(&m_lock);
    const bool isPicture = position.streetsNear != 0;
    if (isPicture != m_isPictureMode) {
        m_isPictureMode = isPicture;
        Invalidate(nullptr);
    }
    if (!m_isPictureMode && m_crossingX != 0.0f && m_crossingY != 0.0f) {
        const std::int32_t angle =
            ComputeArrowAngle(position.heading, position.matched, m_crossingX, m_crossingY);
        if (angle != m_arrowAngle) {
            m_arrowAngle = angle;
            Invalidate(nullptr);
        }
    }
}

void SchematicWnd::SetCrossingPoint(float x, float y) {
    ScopedLock lock(&m_lock);
    m_crossingX = x;
    m_crossingY = y;
}

void SchematicWnd::SetMetric(bool isMetric) {
    ScopedLock lock(&m_lock);
    if (isMetric != m_isMetric)
        m_isComposed = false;
    m_isMetric = isMetric;
}

std::int32_t SchematicWnd::GetLabelDistance() {
    ScopedLock lock(&m_lock);
    return m_labelDistance;
}

std::int32_t SchematicWnd::GetArrowAngle() {
    ScopedLock lock(&m_lock);
    return m_arrowAngle;
}

bool SchematicWnd::IsPictureMode() {
    ScopedLock lock(&m_lock);
    return m_isPictureMode;
}

std::int32_t SchematicWnd::ComputeArrowAngle(std::int32_t course, GeoPoint position,
                                             float crossingX, float crossingY) {
    const auto courseAngle = static_cast<float>((450.0 - course) * kRadiansPerDegree);
    const double bearing = std::atan2(static_cast<double>(crossingY - position.y),
                                      static_cast<double>(crossingX - position.x));
    const double b = IntoFullTurn(bearing);
    const double c = IntoFullTurn(courseAngle);
    const auto degrees = static_cast<std::int32_t>((b - c) * kDegreesPerRadian + 0.5);
    return degrees / 15 * 15;
}

void SchematicWnd::DrawArrowPlate(HDC dc, const RECT& rect, std::int32_t angle, COLORREF plate) {
    const LONG corner = (rect.bottom - rect.top) * 15 / 100;
    {
        HBRUSH brush = CreateSolidBrush(plate);
        HGDIOBJ old = SelectObject(dc, brush);
        RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, corner, corner);
        SelectObject(dc, old);
        if (brush != nullptr)
            DeleteObject(brush);
    }
    const LONG qx = (rect.right - rect.left) / 4;
    const LONG qy = (rect.bottom - rect.top) / 4;
    const LONG x0 = rect.left + qx + 15;
    const LONG x1 = rect.right - qx - 15;
    const LONG y0 = rect.top + qy;
    const LONG y1 = rect.bottom - qy;
    const LONG cx = (x0 + x1) / 2;
    const LONG third = (y1 - y0) / 3;
    const LONG px = x0 + (x1 - x0) / 2;
    const LONG py = y0 + (y1 - y0) / 2;
    const double a = -static_cast<double>(angle) * kRadiansPerDegree;
    const double cosA = std::cos(a);
    const double sinA = std::sin(a);
    auto turn = [&](LONG x, LONG y) {
        const auto dx = static_cast<double>(x - px);
        const auto dy = static_cast<double>(y - py);
        return POINT{static_cast<LONG>(dx * cosA - dy * sinA + static_cast<double>(px)),
                     static_cast<LONG>(dy * cosA + dx * sinA + static_cast<double>(py))};
    };
    const POINT tip = turn(cx, y0);
    const POINT notch = turn(cx, y1 - third);
    const POINT left[4] = {tip, turn(x0, y1), notch, tip};
    const POINT right[4] = {tip, turn(x1, y1), notch, tip};
    {
        ScopedPenAndBrush tools(dc, 2, kArrowColour, kArrowColour);
        Polygon(dc, left, 4);
    }
    ScopedPenAndBrush tools(dc, 2, kArrowColour, plate);
    Polygon(dc, right, 4);
}

std::int64_t SchematicWnd::CrossingViewsMade() {
    return g_crossingViewsMade.load();
}

void SchematicWnd::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    ScopedLock lock(&m_lock);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(schematicHandle.window, &paint);
    if (dc != nullptr) {
        RECT client{};
        GetClientRect(schematicHandle.window, &client);
        if (!m_isPictureMode) {
            // The plate's round corners lie on the background, as in picture mode.
            FillBackground(dc, client);
            DrawArrowPlate(dc, client, m_arrowAngle, m_labelColour);
        } else {
            if (!PaintPicture(dc, client))
                DrawLabel(dc);
        }
    }
    EndPaint(schematicHandle.window, &paint);
    *result = 0;
    *handled = true;
}

bool SchematicWnd::PaintPicture(HDC dc, const RECT& client) {
    const AdviceValuePtr value = m_advice ? m_advice->Current() : AdviceValuePtr();
    if (!value || !m_routeIterator || !m_routeIterator->IsValid()) {
        FillBackground(dc, client);
        DrawArrowPlate(dc, client, m_arrowAngle, m_labelColour);
        return false;
    }
    const LONG w = client.right - client.left;
    const LONG h = client.bottom - client.top;
    const RECT picture{client.left + w / 40 + 40,
                       client.top + h / 40 + (m_distanceArea.bottom - m_distanceArea.top),
                       client.right - w / 40, client.bottom - h / 40};
    const std::uint32_t linkId = m_routeIterator->Current().linkId;
    const std::int32_t kind = value->GetKind();
    std::int32_t following = -1;
    if (value->IsLinkedToNext() != 0) {
        const AdvicePtr next = m_advice->Clone();
        if (next && next->Next()) {
            const AdviceValuePtr nextValue = next->Current();
            if (nextValue)
                following = nextValue->GetKind();
        }
    }
    const bool isCached = m_cachedBitmap != nullptr && linkId == m_cachedLinkId &&
                          kind == m_cachedKind && following == m_cachedFollowingKind;
    if (!isCached) {
        ReleaseCache();
        m_memoryDc = CreateCompatibleDC(dc);
        m_cachedBitmap = m_memoryDc != nullptr ? CreateCompatibleBitmap(dc, w, h) : nullptr;
        if (m_cachedBitmap == nullptr) {
            // Nothing to draw into: the background now, a new try on the next paint.
            ReleaseCache();
            FillBackground(dc, client);
            return false;
        }
        m_cachedLinkId = linkId;
        m_cachedKind = kind;
        m_cachedFollowingKind = following;
        m_previousBitmap = SelectObject(m_memoryDc, m_cachedBitmap);
        FillBackground(m_memoryDc, RECT{0, 0, w, h});
        const CrossingViewPtr view = CreateCrossingView(
            m_route, RetrievalEngine::RetrievalEnginePtr(m_dataSource), m_folder.c_str());
        if (view) {
            ++g_crossingViewsMade;
            m_appearance.ApplyTo(*view);
            std::int32_t drawn = 0;
            view->Draw(m_routeIterator, m_advice, picture, m_memoryDc, &drawn);
        }
    }
    // The picture with the label over it is kept too, so that a repaint is one blit.
    if (!m_isComposed) {
        if (m_composedDc == nullptr) {
            m_composedDc = CreateCompatibleDC(dc);
            m_composedBitmap = m_composedDc != nullptr ? CreateCompatibleBitmap(dc, w, h) : nullptr;
            if (m_composedBitmap != nullptr)
                m_composedPrevious = SelectObject(m_composedDc, m_composedBitmap);
            else
                ReleaseComposition();
        }
        if (m_composedDc != nullptr) {
            BitBlt(m_composedDc, 0, 0, w, h, m_memoryDc, 0, 0, SRCCOPY);
            DrawLabel(m_composedDc);
            m_isComposed = true;
        }
    }
    if (m_isComposed) {
        BitBlt(dc, 0, 0, w, h, m_composedDc, 0, 0, SRCCOPY);
        return true;
    }
    BitBlt(dc, 0, 0, w, h, m_memoryDc, 0, 0, SRCCOPY);
    return false;
}

void SchematicWnd::FillBackground(HDC dc, const RECT& rect) const {
    ScopedPenAndBrush tools(dc, 1, m_appearance.backgroundColour, m_appearance.backgroundColour);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void SchematicWnd::DrawLabel(HDC dc) {
    if (m_labelDistance < 0)
        return;
    RECT area = GetAreaRect(kDistanceAreaKey);
    const LONG corner = (area.bottom - area.top) * 15 / 100;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0xFFFFFF);
    HBRUSH brush = CreateSolidBrush(m_labelColour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldFont = SelectObject(dc, m_labelFont.Get());
    RoundRect(dc, area.left, area.top, area.right, area.bottom, corner, corner);
    const std::u16string text = FormatDistanceText(m_labelDistance, !m_isMetric);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBrush);
    if (brush != nullptr)
        DeleteObject(brush);
}

void SchematicWnd::ReleaseComposition() {
    if (m_composedDc != nullptr && m_composedPrevious != nullptr)
        SelectObject(m_composedDc, m_composedPrevious);
    m_composedPrevious = nullptr;
    if (m_composedBitmap != nullptr)
        DeleteObject(m_composedBitmap);
    m_composedBitmap = nullptr;
    if (m_composedDc != nullptr)
        DeleteDC(m_composedDc);
    m_composedDc = nullptr;
    m_isComposed = false;
}

void SchematicWnd::ReleaseCache() {
    ReleaseComposition();
    if (m_memoryDc != nullptr && m_previousBitmap != nullptr)
        SelectObject(m_memoryDc, m_previousBitmap);
    m_previousBitmap = nullptr;
    if (m_cachedBitmap != nullptr)
        DeleteObject(m_cachedBitmap);
    m_cachedBitmap = nullptr;
    if (m_memoryDc != nullptr)
        DeleteDC(m_memoryDc);
    m_memoryDc = nullptr;
}

void SchematicWnd::Invalidate(const RECT* rect) const {
    if (schematicHandle.window != nullptr)
        InvalidateRect(schematicHandle.window, rect, FALSE);
}

void SchematicWnd::OnSizeMessage(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0)
        return;
    const auto height = static_cast<INT>(GetScaleY() * 40.5f - 0.5f);
    ScopedLock lock(&m_lock);
    m_labelFont.Create(u"Arial", -height, true, false, false);
    m_isComposed = false;
    m_distanceArea = GetAreaRect(kDistanceAreaKey);
}

void SchematicWnd::OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 1;
    *handled = true;
}

void SchematicWnd::OnLButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_owner != nullptr)
        (void)m_owner->OnTap();
}

void SchematicWnd::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (m_owner != nullptr && LOWORD(static_cast<DWORD>(wParam)) == kButtonId)
        m_owner->OnBarButton();
}

ISchematicWnd* CreateSchematicWnd(JunctionViewOwner* owner) {
    return new (std::nothrow) SchematicWnd(owner);
}
