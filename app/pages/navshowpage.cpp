#include "app/pages/navshowpage.h"

#include "app/destinations/addresspage.h"
#include "app/modeinterface/modecontroller.h"
#include "ui/gpsstatemonitor.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <utility>

namespace {

constexpr UINT kNumpad1 = VK_NUMPAD0 + 1;
constexpr UINT kNumpad2 = VK_NUMPAD0 + 2;
constexpr COLORREF kFieldLabelColour = 0xFFFFFF;
constexpr COLORREF kNavShowValueColour = 0xB4FF;
constexpr COLORREF kNavShowFieldBackground = 0x78571E;
constexpr char16_t kNavShowPreferences[] = u"Preferences";

// Page commands of the modes.
constexpr int kCommandClose = 0;
constexpr int kCommandStart = 2;
constexpr int kCommandStartTour = 4;
constexpr int kCommandRouteList = 9;

int ReadPreference(const char16_t* key, int defaultValue) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    return IniProfile::GetInt(kNavShowPreferences, key, settings.c_str(), defaultValue);
}

} // namespace

std::atomic<bool>& StartNavigationRequested() {
    static std::atomic<bool> requested{false};
    return requested;
}

// ---- NavShowPage ----

NavShowPage::NavShowPage(Onboard::OnboardServerPtr server, const std::u16string& sectionName,
                         ModeController* mode, six::RefCntPtr<MapEngineFacade> facade,
                         bool withStartButton, UINT titleId, bool follow)
    : PageBase(sectionName)
    , m_mode(mode)
    , m_titleId(titleId)
    , m_follow(follow)
    , m_startButton(withStartButton)
    , m_server(std::move(server))
    , m_facade(std::move(facade)) {
    m_view.reset(MapView::Create(m_server, this, false, follow));
    if (m_view) {
        m_view->SetMapEngine(m_facade);
    }
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &NavShowPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &NavShowPage::OnCommand);
    ConnectMessageHandler(map, WM_SIZE, this, &NavShowPage::OnSize);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &NavShowPage::OnActivate);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &NavShowPage::OnKeyDown);
    ConnectMessageHandler(map, WM_SHOWWINDOW, this, &NavShowPage::OnShowWindow);
    ConnectMessageHandler(map, WM_DESTROY, this, &NavShowPage::OnDestroy);
    ConnectMessageHandler(map, WM_TIMER, this, &NavShowPage::OnTimer);
}

NavShowPage::~NavShowPage() {
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
    m_view.reset();
}

void NavShowPage::ShowDestination(float x, float y, six::IntfPtr<MapElement> element,
                                  std::int32_t value) {
    if (!m_view) {
        return;
    }
    m_view->SetPickMode(true);
    m_view->ShowObject(std::move(element));
    m_view->HighlightElement(value);
    m_view->ShowPointAt(x, y);
    LoadPreferences();
}

void NavShowPage::PlaceMapView() {
    if (m_view && GetHwnd() != nullptr) {
        m_view->Show(GetAreaRect(kRealAreaKey), GetHwnd());
    }
}

void NavShowPage::LoadPreferences() {
    if (!m_view) {
        return;
    }
    m_view->SetDrawSuppression(ReadPreference(u"ShowPoiInNavigMode", 1) != 0,
                               ReadPreference(u"ShowPoiInMapMode", 1) != 0);
    m_view->SetOptionFlag(true);
}

void NavShowPage::HandleCommand(UINT id) {
    switch (id) {
    case kCancelId:
        if (m_view) {
            m_view->Destroy();
        }
        m_mode->OnPageCommand(kCommandClose, GetHwnd());
        break;
    case kStartNavigationId:
    case kOtherStartId:
        StartNavigationRequested() = true;
        EnableCommandButtons(false);
        m_mode->OnPageCommand(kCommandStart, GetHwnd());
        EnableCommandButtons(true);
        break;
    default:
        break;
    }
}

void NavShowPage::BuildFocusList() {
    m_focusList = {kStartNavigationId, kCancelId};
}

void NavShowPage::EnableCommandButtons(bool enable) {
    EnableControl(kStartNavigationId, enable);
    EnableControl(kCancelId, enable);
}

void NavShowPage::OnKey(UINT key) {
    if (!m_view) {
        return;
    }
    switch (key) {
    case VK_OEM_PLUS:
    case VK_ADD:
        m_view->ZoomIn();
        break;
    case VK_OEM_MINUS:
    case VK_SUBTRACT:
        m_view->ZoomOut();
        break;
    case VK_F5:
    case 'T':
        m_view->ToggleNightMode();
        break;
    case VK_LEFT:
        m_view->PanLeft();
        break;
    case VK_RIGHT:
        m_view->PanRight();
        break;
    case VK_UP:
        m_view->PanUp();
        break;
    case VK_DOWN:
        m_view->PanDown();
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_ESCAPE:
        m_delayedDetach = true;
        m_mode->OnPageCommand(kCommandClose, GetHwnd());
        break;
    default:
        break;
    }
}

void NavShowPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (!m_follow && m_startButton) {
        (void)CreateControl(u"StartNavigation", kStartNavigationId, true, false, 0, 0);
    }
    (void)CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
    m_tmcIndicator = CreateTmcIndicator();
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    (void)CreateLogoBox();
    AddArea(u"RealArea", kRealAreaKey);
    CreatePageControls();
    BuildFocusList();
}

void NavShowPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const auto id = static_cast<UINT>(LOWORD(static_cast<DWORD>(wParam)));
    if (HIWORD(static_cast<DWORD>(wParam)) == kFocusNotification) {
        MoveFocusNext(id);
        return;
    }
    HandleCommand(id);
}

void NavShowPage::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (LOWORD(static_cast<DWORD>(lParam)) == 0 || HIWORD(static_cast<DWORD>(lParam)) == 0) {
        return;
    }
    OnSizeHook();
    PlaceMapView();
}

void NavShowPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_ACTIVE) {
        PlaceMapView();
    }
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
    }
    if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
        if (!m_follow && m_view) {
            m_view->WritePosition(m_position, true);
        }
    }
    OnActivateHook(state);
}

void NavShowPage::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    OnKey(static_cast<UINT>(wParam));
    *handled = true;
}

void NavShowPage::OnShowWindow(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (lParam != 0 || !m_view) {
        return;
    }
    if (wParam != 0) {
        PlaceMapView();
        m_view->SetFocus();
    } else if (m_delayedDetach) {
        (void)SetTimer(GetHwnd(), kDetachTimer, kDetachDelayMs, nullptr);
        m_delayedDetach = false;
    } else {
        m_view->Destroy();
    }
}

void NavShowPage::OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_view) {
        m_view->Destroy();
    }
}

void NavShowPage::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam != kDetachTimer) {
        return;
    }
    (void)KillTimer(GetHwnd(), kDetachTimer);
    if (m_view) {
        m_view->Destroy();
    }
    m_delayedDetach = false;
}

// ---- RouteCalcPage ----

RouteCalcPage::RouteCalcPage(ModeController* mode, Onboard::OnboardServerPtr server,
                             six::RefCntPtr<MapEngineFacade> facade)
    : NavShowPage(std::move(server), u"RouteCalcPage", mode, std::move(facade), false, kTitleId,
                  false) {}

void RouteCalcPage::SetTour(const std::vector<RouteIteratorPtr>& legs, std::int32_t metres,
                            std::int32_t seconds) {
    m_viewPoints.clear();
    // The map view draws the legs up to the first one without a route, one area each: the view
    // points stop there too, so that view point n and area n are the same leg.
    bool isCut = false;
    for (const RouteIteratorPtr& leg : legs) {
        if (!leg || !leg->IsValid()) {
            isCut = true;
            break;
        }
        const RouteRecord& record = leg->Current();
        const GeoPoint point{record.x, record.y};
        if (m_viewPoints.empty()) {
            m_firstViewPoint = point;
        }
        m_viewPoints.push_back(point);
    }
    MapView* view = GetMapView();
    if (view != nullptr) {
        PlaceMapView();
        m_routePoint = view->SetRoute(legs);
        // A cut route has no end to show.
        if (!isCut) {
            m_viewPoints.push_back(m_routePoint);
        }
        view->SetPointList(m_viewPoints);
        view->SetPickMode(false);
    }
    LoadPreferences();
    (void)m_field.Update(metres, seconds);
    // A page already made shows the totals now, as its activation would.
    if (GetHwnd() != nullptr) {
        OnActivateHook(WA_ACTIVE);
    }
    if (view != nullptr) {
        view->ZoomToRoute();
    }
}

void RouteCalcPage::ShowLeg(std::size_t n) {
    if (MapView* view = GetMapView()) {
        view->ZoomToArea(n);
    }
}

void RouteCalcPage::OnKey(UINT key) {
    MapView* view = GetMapView();
    switch (key) {
    case kNumpad1:
    case 'A':
        if (view != nullptr) {
            (void)view->PreviousPoint();
        }
        break;
    case kNumpad2:
    case 'B':
        if (view != nullptr) {
            (void)view->NextPoint();
        }
        break;
    case VK_F3:
    case 'R':
        if (view != nullptr) {
            view->ZoomToRoute();
        }
        break;
    case VK_ESCAPE:
        SetDelayedDetach();
        GetMode()->OnPageCommand(kCommandStart, GetHwnd());
        break;
    default:
        NavShowPage::OnKey(key);
        break;
    }
}

void RouteCalcPage::LoadPreferences() {
    m_field.SetKilometres(ReadPreference(u"DistanceUnitKilometres", 1) != 0);
    m_field.SetTwelveHour(false);
    NavShowPage::LoadPreferences();
}

void RouteCalcPage::CreatePageControls() {
    (void)CreateLabel(u"Dist", kDistLabelId, kFieldLabelColour, kNavShowFieldBackground);
    (void)CreateLabel(u"Duration", kDurationLabelId, kFieldLabelColour, kNavShowFieldBackground);
    m_distValue =
        CreateLabel(u"DistData", kDistValueId, kNavShowValueColour, kNavShowFieldBackground);
    m_durationValue = CreateLabel(u"DurationData", kDurationValueId, kNavShowValueColour,
                                  kNavShowFieldBackground);
    (void)CreateControl(u"ShowRouteList", kRouteListId, true, false, 0, 0);
    (void)CreateControl(u"MainMenu", kMainMenuId, true, false, 0, 0);
}

void RouteCalcPage::HandleCommand(UINT id) {
    ScopedWaitCursor wait;
    switch (id) {
    case kMainMenuId:
        GetMode()->Deactivate(1);
        break;
    case kCancelId:
        GetMode()->OnPageCommand(kCommandStart, GetHwnd());
        break;
    case kStartNavigationId:
        StartNavigationRequested() = false;
        PickedDestination::Instance().pending = 0;
        GetMode()->OnPageCommand(kCommandStartTour, GetHwnd());
        break;
    case kRouteListId:
        GetMode()->OnPageCommand(kCommandRouteList, GetHwnd());
        break;
    default:
        NavShowPage::HandleCommand(id);
        break;
    }
}

void RouteCalcPage::BuildFocusList() {
    m_focusList = {kRouteListId, kCancelId};
}

void RouteCalcPage::OnActivateHook(WORD) {
    if (m_field.GetValue(DistanceField::kDistanceMode).empty()) {
        return;
    }
    m_field.SetMode(DistanceField::kDistanceMode);
    if (m_distValue != nullptr) {
        (void)SetWindowTextW(m_distValue, m_field.GetValue(DistanceField::kDistanceMode).c_str());
    }
    m_field.Advance();
    if (m_durationValue != nullptr) {
        (void)SetWindowTextW(m_durationValue, m_field.GetValue(m_field.GetMode()).c_str());
    }
}

// ---- MovingMap ----

MovingMap::MovingMap(ModeController* mode, Onboard::OnboardServerPtr server,
                     six::RefCntPtr<MapEngineFacade> facade, GeoPoint start)
    : NavShowPage(std::move(server), u"MovingMap", mode, std::move(facade), false, kTitleId, true)
    , m_start(start) {
    ConnectMessageHandler(GetPageHandle().map, kRedrawMessage, this, &MovingMap::OnRedraw);
}

MovingMap::~MovingMap() {
    StopFollowing();
}

void MovingMap::Start() {
    (void)ShowInputPanel(false);
    if (MapView* view = GetMapView()) {
        view->SetHeadingUp(true);
        view->ShowPoint(m_start);
    }
    LoadPreferences();
    if (m_moveMap) {
        (void)GetMode()->ControlLogbook(GetHwnd(), 0, 1);
    }
}

void MovingMap::OnKey(UINT key) {
    if (key == VK_ESCAPE) {
        Leave();
        return;
    }
    NavShowPage::OnKey(key);
}

void MovingMap::OnPosition(const MatchedPosition* position) {
    if (position == nullptr || position->fix.hdop < 0.0f) {
        return;
    }
    ScopedLock lock(&m_redrawLock);
    m_latest = *position;
    m_hasLatest = true;
    if (m_mayPostRedraw) {
        m_mayPostRedraw = false;
        (void)PostMessageW(GetHwnd(), kRedrawMessage, 0, 0);
    }
}

bool MovingMap::IsFollowing() {
    ScopedLock lock(&m_subscriptionLock);
    return m_subscribed;
}

void MovingMap::OnRedraw(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    MatchedPosition latest{};
    bool hasLatest = false;
    {
        ScopedLock lock(&m_redrawLock);
        latest = m_latest;
        hasLatest = m_hasLatest;
        m_hasLatest = false;
        m_mayPostRedraw = true;
    }
    MapView* view = GetMapView();
    if (hasLatest && view != nullptr && view->SetPosition(latest)) {
        view->UpdateFollow();
    }
}

void MovingMap::StartFollowing() {
    {
        ScopedLock lock(&m_subscriptionLock);
        if (!m_subscribed && GetServer()) {
            GetServer()->PositionEvent.Connect(this, &MovingMap::OnPosition);
            m_subscribed = true;
        }
    }
    ScopedLock lock(&m_redrawLock);
    m_mayPostRedraw = true;
}

void MovingMap::StopFollowing() {
    ScopedLock lock(&m_subscriptionLock);
    if (m_subscribed) {
        GetServer()->PositionEvent.Disconnect(this);
        m_subscribed = false;
    }
}

void MovingMap::Leave() {
    if (!GetMode()->ControlLogbook(GetHwnd(), 1, 1)) {
        StopFollowing();
        GetMode()->Deactivate(1);
    }
}

void MovingMap::LoadPreferences() {
    m_moveMap = ReadPreference(u"MoveMap", 0) != 0;
}

void MovingMap::CreatePageControls() {
    (void)CreateControl(u"Logging", kLoggingId, true, false, 0, 0);
    StartFollowing();
}

void MovingMap::HandleCommand(UINT id) {
    ScopedWaitCursor wait;
    switch (id) {
    case kCancelId:
        Leave();
        break;
    case kLoggingId:
        (void)GetMode()->ControlLogbook(GetHwnd(), 0, 1);
        break;
    default:
        NavShowPage::HandleCommand(id);
        break;
    }
}

void MovingMap::BuildFocusList() {
    m_focusList = {kLoggingId, kCancelId};
    SetFocusId(kLoggingId);
    OnSizeHook();
}

void MovingMap::OnActivateHook(WORD state) {
    if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        (void)SetSipButtonVisible(GetHwnd(), true);
        (void)SetTaskBarHidden(GetHwnd(), true);
    }
}

void MovingMap::OnSizeHook() {
    if (m_fullScreenDone) {
        return;
    }
    m_fullScreenDone = true;
    HWND foreground = GetForegroundWindow();
    (void)SetSipButtonVisible(foreground != nullptr ? foreground : GetHwnd(), true);
    (void)SetTaskBarHidden(GetHwnd(), true);
    (void)FitWindowToWorkArea(GetHwnd());
}
