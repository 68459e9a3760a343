#pragma once
// The map pages without guidance, each a full-screen page around one map view in the area
// "RealArea": NavShowPage shows a destination or the map around it, RouteCalcPage a calculated
// tour with its distance, duration and legs, MovingMap follows the GPS position. The map view
// and every page operation belong to the user-interface thread; only MovingMap's position
// handler runs on the server's GPS worker and reaches the page under its locks and by posting
// kRedrawMessage.

#include "app/pages/distancefield.h"
#include "mapdisplay/mapenginefacade.h"
#include "mapdisplay/mapview.h"
#include "onboard/onboardserver.h"
#include "routing/routeiterator.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/critsect.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ModeController;

// Set when the driver asked to start navigating from a map page; the modes read and clear it.
[[nodiscard]] std::atomic<bool>& StartNavigationRequested();

class NavShowPage : public PageBase, public IMapViewListener {
public:
    static constexpr UINT kStartNavigationId = 501;
    static constexpr UINT kOtherStartId = 581;
    static constexpr UINT kCancelId = 320;
    static constexpr int kRealAreaKey = 1057;
    static constexpr UINT_PTR kDetachTimer = 1;
    static constexpr UINT kDetachDelayMs = 100;
    static constexpr WORD kFocusNotification = 0x407;

    // facade: handed to the map view; titleId: the page's title text; follow: the view follows
    // the position (no start button then).
    NavShowPage(Onboard::OnboardServerPtr server, const std::u16string& sectionName,
                ModeController* mode, six::RefCntPtr<MapEngineFacade> facade, bool withStartButton,
                UINT titleId, bool follow);
    ~NavShowPage() override;

    [[nodiscard]] UINT GetTitleId() override { return m_titleId; }

    // Shows a destination: pick mode on, the element (null: none) as the view's shown object,
    // the element value to highlight (-1: none), and the flag point; the map is centred on
    // (x, y) in degrees, or at (0, 0) on the element's place.
    void ShowDestination(float x, float y, six::IntfPtr<MapElement> element, std::int32_t value);

    // The map view; null when it could not be made.
    [[nodiscard]] MapView* GetMapView() const { return m_view.get(); }

    // IMapViewListener: keys of the page and those the view passes on.
    void OnKey(UINT key) override;
    bool OnTap() override { return false; }
    void OnMapOpened() override {}
    void OnMapClosed() override {}
    void OnBarButton() override {}

protected:
    virtual void LoadPreferences();
    virtual void CreatePageControls() {}
    virtual void HandleCommand(UINT id);
    virtual void BuildFocusList();
    virtual void EnableCommandButtons(bool enable);
    virtual void OnActivateHook(WORD state) { (void)state; }
    virtual void OnSizeHook() {}

    [[nodiscard]] ModeController* GetMode() const { return m_mode; }
    [[nodiscard]] const Onboard::OnboardServerPtr& GetServer() const { return m_server; }
    void SetDelayedDetach() { m_delayedDetach = true; }
    // The map view placed into "RealArea" with the page as parent.
    void PlaceMapView();

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowWindow(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    ModeController* m_mode;
    std::unique_ptr<MapView> m_view;
    UINT m_titleId;
    bool m_follow;
    bool m_startButton;
    Onboard::OnboardServerPtr m_server;
    six::RefCntPtr<MapEngineFacade> m_facade;
    bool m_delayedDetach = false;
    MatchedPosition m_position{};
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
};

// The tour after its calculation: total distance and duration, view points per leg.
class RouteCalcPage final : public NavShowPage {
public:
    static constexpr UINT kTitleId = 560;
    static constexpr UINT kDistLabelId = 554;
    static constexpr UINT kDurationLabelId = 557;
    static constexpr UINT kDistValueId = 1045;
    static constexpr UINT kDurationValueId = 1046;
    static constexpr UINT kRouteListId = 1108;
    static constexpr UINT kMainMenuId = 561;

    RouteCalcPage(ModeController* mode, Onboard::OnboardServerPtr server,
                  six::RefCntPtr<MapEngineFacade> facade);

    // legs: the calculated legs in order; metres and seconds: the tour's totals.
    void SetTour(const std::vector<RouteIteratorPtr>& legs, std::int32_t metres,
                 std::int32_t seconds);
    // The extent of leg n; n equal to the number of legs shows the whole tour.
    void ShowLeg(std::size_t n);

    void OnKey(UINT key) override;

    [[nodiscard]] const std::vector<GeoPoint>& GetViewPoints() const { return m_viewPoints; }
    [[nodiscard]] DistanceField& GetDistanceField() { return m_field; }

private:
    void LoadPreferences() override;
    void CreatePageControls() override;
    void HandleCommand(UINT id) override;
    void BuildFocusList() override;
    void OnActivateHook(WORD state) override;

    DistanceField m_field;
    std::vector<GeoPoint> m_viewPoints;
    GeoPoint m_firstViewPoint;
    GeoPoint m_routePoint;
    HWND m_distValue = nullptr;
    HWND m_durationValue = nullptr;
};

// The moving-map page: follows the GPS position without a route.
class MovingMap final : public NavShowPage {
public:
    static constexpr UINT kTitleId = 1102;
    static constexpr UINT kLoggingId = 1122;
    static constexpr UINT kRedrawMessage = 0x407;

    // start: the position to centre on at Start (degrees).
    MovingMap(ModeController* mode, Onboard::OnboardServerPtr server,
              six::RefCntPtr<MapEngineFacade> facade, GeoPoint start);
    ~MovingMap() override;

    // On the mode's activation: input panel off, heading up, centred on the start position, the
    // preferences, and the logbook control when "MoveMap" is set.
    void Start();

    void OnKey(UINT key) override;

    // GPS worker: the server's position event.
    void OnPosition(const MatchedPosition* position);
    [[nodiscard]] bool IsFollowing();

private:
    void LoadPreferences() override;
    void CreatePageControls() override;
    void HandleCommand(UINT id) override;
    void BuildFocusList() override;
    void OnActivateHook(WORD state) override;
    void OnSizeHook() override;
    void OnRedraw(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void StartFollowing();
    void StopFollowing();
    // Cancel and Esc: the logbook's stop question; when it declines, following ends and the mode
    // closes.
    void Leave();

    GeoPoint m_start;
    CritSect m_redrawLock;
    bool m_mayPostRedraw = false;
    // The newest position with a fix, handed to the view on the user-interface thread.
    MatchedPosition m_latest{};
    bool m_hasLatest = false;
    CritSect m_subscriptionLock;
    bool m_subscribed = false;
    bool m_fullScreenDone = false;
    bool m_moveMap = false;
};
