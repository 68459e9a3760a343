#pragma once
// The schematic window: the framework child window (section "Arrow") of the navigation map page
// that shows the next manoeuvre. In picture mode it renders the junction picture of a new
// crossing view into an off-screen bitmap, again only when the manoeuvre changes or after
// Create, and blits it on every paint; in arrow mode it draws a rounded plate with a two-tone
// arrow from the driving direction towards the crossing point, in steps of 15 degrees. A
// rounded label in the area "Distance" shows the distance to the manoeuvre (picture mode); the
// corner button 910 and a tap go to the owner.
// The setters may run on the server's threads: they take the window's lock, which the whole
// paint holds too, and only invalidate the window. Create and the messages belong to the
// window's thread.

#include "advisor/advice.h"
#include "junctionview/windows/junctionviewowner.h"
#include "mapdisplay/mapenginefacade.h"
#include "positioning/matchedposition.h"
#include "routing/routeservice.h"
#include "ui/bitmapbutton.h"
#include "ui/windowbase.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/fonthandle.h"
#include "utilities/usefulcode/windowhandle.h"

#include <cstdint>
#include <memory>
#include <string>

class CrossingView;

// The colours (COLORREF), widths (device units) and radius (metres) every crossing view of the
// window is given, in the order of CrossingView::SetAppearance.
struct CrossingAppearance {
    COLORREF routeColour = 0x00FF00;
    COLORREF backgroundColour = 0x7B5218;
    COLORREF junctionRoadColour = 0x00B4FF;
    COLORREF sideRoadColour = 0xB28A12;
    COLORREF extraRoadColour = 0x3535FF;
    COLORREF outlineColour = 0x7B5218;
    double radiusFactor = 0.05;
    std::int32_t routeWidth = 16;
    std::int32_t geometryRadius = 40; // "SchematicAttribs"/"Radius" of "PK.ini"
    std::int32_t sideRoadWidth = 10;
    std::int32_t extraRoadWidth = 10;
    std::u16string moduleFolder;

    void ApplyTo(CrossingView& view) const;
};

class ISchematicWnd {
public:
    // Creates the window (and its corner button) when there is none; in every case moves it to
    // rect, places the button in the bottom-right corner and drops the cached picture.
    virtual void Create(const RECT& rect, HWND parent) = 0;
    // The engine every new crossing view reads the map from.
    virtual void SetDataSource(const six::RefCntPtr<MapEngineFacade>& source) = 0;
    virtual void SetRoute(const RouteRequestResult& route) = 0;
    [[nodiscard]] virtual HWND GetHwnd() const = 0;
    // Nothing for a null or invalid advice. The window keeps its own copy.
    virtual void SetAdvice(const AdvicePtr& advice) = 0;
    virtual void SetPosition(const MatchedPosition& position) = 0;
    virtual void SetCrossingPoint(float x, float y) = 0;
    // false: the label in yards and miles.
    virtual void SetMetric(bool isMetric) = 0;
    virtual ~ISchematicWnd() = default;
};

// Holds the window handle so that it is made before the layout bases and goes after them.
struct SchematicWindowHolder {
    WindowHandle schematicHandle;
};

class SchematicWnd final : public ISchematicWnd, private SchematicWindowHolder, public WindowBase {
public:
    static constexpr UINT kButtonId = 910;
    static constexpr int kDistanceAreaKey = 1;
    static constexpr COLORREF kDefaultLabelColour = 0xC8FFFF;
    static constexpr COLORREF kArrowColour = 0x00B4FF;
    static constexpr std::int32_t kDefaultRadius = 40;

    // Reads "CrossColor" of "Arrow" and "SchematicAttribs"/"Radius" of "PK.ini"; owner may be
    // null and is not owned.
    explicit SchematicWnd(JunctionViewOwner* owner);
    // Takes the lock first, so that a setter running on another thread finishes before the
    // window goes.
    ~SchematicWnd() override;

    void Create(const RECT& rect, HWND parent) override;
    void SetDataSource(const six::RefCntPtr<MapEngineFacade>& source) override;
    void SetRoute(const RouteRequestResult& route) override;
    [[nodiscard]] HWND GetHwnd() const override { return schematicHandle.window; }
    void SetAdvice(const AdvicePtr& advice) override;
    void SetPosition(const MatchedPosition& position) override;
    void SetCrossingPoint(float x, float y) override;
    void SetMetric(bool isMetric) override;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    [[nodiscard]] CritSect& GetLock() { return m_lock; }
    [[nodiscard]] const CrossingAppearance& GetAppearance() const { return m_appearance; }
    [[nodiscard]] COLORREF GetLabelColour() const { return m_labelColour; }
    // -1: no label.
    [[nodiscard]] std::int32_t GetLabelDistance();
    [[nodiscard]] std::int32_t GetArrowAngle();
    [[nodiscard]] bool IsPictureMode();
    [[nodiscard]] BitmapButton* GetButton() const { return m_button.get(); }

    // The arrow angle, a multiple of 15 degrees (positive: anticlockwise on screen), for a course
    // in degrees (0 north, clockwise) at position towards the crossing point.
    [[nodiscard]] static std::int32_t ComputeArrowAngle(std::int32_t course, GeoPoint position,
                                                        float crossingX, float crossingY);
    // The plate with the arrow turned by angle degrees over rect.
    static void DrawArrowPlate(HDC dc, const RECT& rect, std::int32_t angle, COLORREF plate);
    // Crossing views made by all schematic windows so far.
    [[nodiscard]] static std::int64_t CrossingViewsMade();

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSizeMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnLButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    // Blits the cached picture (rendering it first when the manoeuvre changed), with the label
    // when it could keep the two together; false when the label is still to be drawn.
    bool PaintPicture(HDC dc, const RECT& client);
    void FillBackground(HDC dc, const RECT& rect) const;
    void DrawLabel(HDC dc);
    // Drops the picture and the picture with the label.
    void ReleaseCache();
    void ReleaseComposition();
    void Invalidate(const RECT* rect) const;

    JunctionViewOwner* m_owner;
    OwnerHandlerList m_handlers;
    CritSect m_lock;
    six::RefCntPtr<MapEngineFacade> m_dataSource;
    RouteRequestResult m_route{1};
    CrossingAppearance m_appearance;
    RouteIteratorPtr m_routeIterator; // our own copy of the advice's
    AdvicePtr m_advice;               // our own copy of the one given
    HBITMAP m_cachedBitmap = nullptr;
    HGDIOBJ m_previousBitmap = nullptr;
    HDC m_memoryDc = nullptr;
    // The picture with the label drawn over it, made again when either changes.
    HBITMAP m_composedBitmap = nullptr;
    HGDIOBJ m_composedPrevious = nullptr;
    HDC m_composedDc = nullptr;
    bool m_isComposed = false;
    std::uint32_t m_cachedLinkId = 0xFFFFFFFF;
    std::int32_t m_cachedKind = -1;
    std::int32_t m_cachedFollowingKind = -1;
    std::u16string m_folder;
    FontHandle m_labelFont;
    COLORREF m_labelColour = kDefaultLabelColour;
    std::int32_t m_labelDistance = -1;
    RECT m_distanceArea{}; // the area "Distance" at the present scale
    bool m_isPictureMode = false;
    float m_crossingX = 0.0f;
    float m_crossingY = 0.0f;
    std::int32_t m_arrowAngle = 0;
    bool m_isMetric = true;
    std::shared_ptr<BitmapButton> m_button;
};

// A new schematic window; null when it cannot be allocated.
[[nodiscard]] ISchematicWnd* CreateSchematicWnd(JunctionViewOwner* owner);
