#include "app/pages/cnmappage.h"

#include "app/modeinterface/modecontroller.h"
#include "app/startup/gpssimulationdlg.h"
#include "app/startup/modalwindow.h"
#include "app/startup/replayfilecheck.h"
#include "app/startup/voicepointer.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/progressdlg.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace {

constexpr COLORREF kTextColour = 0xFFFFFF;
constexpr COLORREF kStreetBackground = 0x7B5218;
constexpr COLORREF kFieldBackground = 0x523110;
constexpr COLORREF kFieldValueColour = 0x00B4FF;
constexpr WORD kFocusNotification = 0x407;
constexpr char16_t kPreferences[] = u"Preferences";
constexpr char16_t kTmcFilter[] = u"Textdateien (*.txt)|*.txt|Alle Dateien (*.*)|*.*||";
constexpr UINT kSpeedTextId = 558;
constexpr UINT kBlockQuestionId = 1127;
constexpr UINT kBlockDistanceId = 1126;
constexpr UINT kBlockTooFarId = 1189;
constexpr float kTmcReplayRate = 0.2f;
constexpr float kReplayRateAfterDemo = 6.0f;
constexpr std::uint32_t kElementIdMask = 0x0FFFFFFF;

int ReadPreference(const char16_t* section, const char16_t* key, int defaultValue) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    return IniProfile::GetInt(section, key, settings.c_str(), defaultValue);
}

// Whether the dialog was confirmed ("OK").
bool RunValueDialog(HWND owner, UINT textId, int& value) {
    GpsSimulationDlg dialog(textId, value);
    if (dialog.DoModal(owner) != 1) {
        return false;
    }
    value = dialog.GetValue();
    return true;
}

// What is said at an arrival that has no words of its own, and at a tour stop that is not the
// last.
constexpr std::u16string_view kDestinationReachedPhrase = u"[DestinationReached]";
constexpr std::u16string_view kStopReachedPhrase = u"[StopReached]";

// The focus cycle of the Tab key, shared by all navigation map pages.
int g_tabState = 1;

class BlockWaitCursor {
public:
    BlockWaitCursor()
        : m_previous(SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)))) {}
    ~BlockWaitCursor() { (void)SetCursor(m_previous); }
    BlockWaitCursor(const BlockWaitCursor&) = delete;
    BlockWaitCursor& operator=(const BlockWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace

std::atomic<bool>& DemonstrationDriveRunning() {
    static std::atomic<bool> running{false};
    return running;
}

std::u16string CutStreetName(std::u16string_view name) {
    return std::u16string(name.substr(0, name.find(u"/U")));
}

std::u16string CutAnnouncement(std::u16string_view text, bool& arrival) {
    const std::size_t at = text.find(u'@');
    arrival = at != std::u16string_view::npos;
    std::u16string_view said = text.substr(0, at);
    if (!arrival || said.find_first_not_of(u' ') != std::u16string_view::npos) {
        return std::u16string(said);
    }
    said = text.substr(at + 1);
    said.remove_prefix(std::min(said.find_first_not_of(u' '), said.size()));
    return std::u16string(said.empty() ? kDestinationReachedPhrase : said);
}

CNMapPage::CNMapPage(ModeController* mode, Onboard::OnboardServerPtr server,
                     six::RefCntPtr<MapEngineFacade> facade)
    : PageBase(u"CNMapPage")
    , m_mode(mode)
    , m_server(std::move(server))
    , m_facade(std::move(facade)) {
    if (m_server && ReadPreference(u"Zudav", u"Simulation", 0) != 0) {
        (void)m_server->OpenAlternativeGps(m_replay);
    }
    m_view.reset(MapView::Create(m_server, this, true, false));
    m_schematic.reset(CreateSchematicWnd(this));
    m_bar.reset(CreateDistanceBar(this));
    if (m_view) {
        m_view->SetMapEngine(m_facade);
    }
    if (m_schematic) {
        m_schematic->SetDataSource(m_facade);
    }
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &CNMapPage::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &CNMapPage::OnSize);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &CNMapPage::OnActivate);
    ConnectMessageHandler(map, WM_SHOWWINDOW, this, &CNMapPage::OnShowWindow);
    ConnectMessageHandler(map, WM_DESTROY, this, &CNMapPage::OnDestroy);
    ConnectMessageHandler(map, WM_TIMER, this, &CNMapPage::OnTimer);
    ConnectMessageHandler(map, WM_COMMAND, this, &CNMapPage::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &CNMapPage::OnKeyDown);
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &CNMapPage::OnLButtonDown);
    ConnectMessageHandler(map, kRedrawMessage, this, &CNMapPage::OnRedraw);
    ConnectMessageHandler(map, kArrivalMessage, this, &CNMapPage::OnArrival);
    ConnectMessageHandler(map, kSayMessage, this, &CNMapPage::OnSay);
    ConnectMessageHandler(map, kRepeatMessage, this, &CNMapPage::OnRepeat);
    ConnectMessageHandler(map, kBlockedMessage, this, &CNMapPage::OnBlocked);
    ConnectMessageHandler(map, kRouteMessage, this, &CNMapPage::OnRouteMessage);
    ConnectMessageHandler(map, kAdviceMessage, this, &CNMapPage::OnAdviceMessage);
    ConnectMessageHandler(map, kProgressOpenMessage, this, &CNMapPage::OnProgressOpen);
    ConnectMessageHandler(map, kProgressCloseMessage, this, &CNMapPage::OnProgressClose);
}

CNMapPage::~CNMapPage() {
    if (m_streetFont != nullptr) {
        (void)DeleteObject(m_streetFont);
        m_streetFont = nullptr;
    }
    (void)StopGuidance();
    JoinWorkers();
    m_progress.reset();
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
    m_replay = nullptr;
    m_server = nullptr;
    m_bar.reset();
    m_schematic.reset();
    m_view.reset();
}

HWND CNMapPage::Item(UINT id) const {
    return GetHwnd() != nullptr ? GetDlgItem(GetHwnd(), static_cast<int>(id)) : nullptr;
}

// ---- layout ----

void CNMapPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    AddArea(u"RealArea", kRealAreaKey);
    HWND next = CreateLabel(u"NextStreet", kNextStreetId, kTextColour, kStreetBackground);
    HWND current = CreateLabel(u"CurrentStreet", kCurrentStreetId, kTextColour, kStreetBackground);
    (void)CreateLabel(u"DistBtnTxt", kDistLabelId, kTextColour, kFieldBackground);
    (void)CreateLabel(u"DistData", kDistValueId, kFieldValueColour, kFieldBackground);
    LOGFONTW font{};
    font.lfHeight = 20;
    font.lfWeight = 700;
    font.lfQuality = 4;
    const char16_t face[] = u"Arial";
    for (std::size_t i = 0; i < std::size(face); ++i) {
        font.lfFaceName[i] = face[i];
    }
    m_streetFont = CreateFontIndirectW(&font);
    for (HWND text : {next, current}) {
        if (text != nullptr && m_streetFont != nullptr) {
            SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(m_streetFont), 1);
        }
    }
    (void)CreateControl(u"Stop", kStopId, true, false, 0, 0);
    m_tmcIndicator = CreateTmcIndicator();
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    (void)CreateLogoBox();
    (void)CreateControl(u"BlockStreet", kBlockStreetId, true, false, 0, 0);
    (void)CreateControl(u"Logging", kLoggingId, true, false, 0, 0);
    m_focusList = {kStopId, kLoggingId, kBlockStreetId};
    SetFocusId(kLoggingId);
    (void)ConnectServerEvents();
    ScopedLock lock(&m_redrawLock);
    m_redrawAllowed = true;
}

void CNMapPage::PlaceViews() {
    HWND page = GetHwnd();
    if (page == nullptr) {
        return;
    }
    const RECT area = GetAreaRect(kRealAreaKey);
    if (m_view) {
        m_view->Show(area, page);
    }
    ApplyKeptRoute();
    if (m_schematic) {
        m_schematic->Create(area, page);
    }
    if (m_bar) {
        const LONG width = area.right - area.left;
        m_bar->Create(RECT{area.left, area.top, area.left + width / 25 + 30, area.bottom}, page);
    }
}

void CNMapPage::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (LOWORD(static_cast<DWORD>(lParam)) == 0 || HIWORD(static_cast<DWORD>(lParam)) == 0) {
        return;
    }
    if (!m_firstSizeDone) {
        m_firstSizeDone = true;
        (void)SetSipButtonVisible(GetHwnd(), true);
        (void)SetTaskBarHidden(GetHwnd(), true);
        (void)FitWindowToWorkArea(GetHwnd());
    }
    PlaceViews();
    ApplyPreferences();
    RefreshDistanceTexts();
    ApplyArrowLayout();
}

void CNMapPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    (void)SetSipButtonVisible(GetHwnd(), true);
    (void)SetTaskBarHidden(GetHwnd(), true);
    if (!m_firstActivationDone) {
        m_firstActivationDone = true;
        ApplyPreferences();
    }
    if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
    }
}

void CNMapPage::OnShowWindow(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (lParam != 0 || !m_view) {
        return;
    }
    if (wParam != 0) {
        m_view->Show(GetAreaRect(kRealAreaKey), GetHwnd());
        m_view->SetFocus();
    } else if (m_delayedStop) {
        (void)SetTimer(GetHwnd(), kStopTimer, kStopDelayMs, nullptr);
        m_delayedStop = false;
    } else {
        m_view->Destroy();
    }
}

void CNMapPage::OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_view) {
        m_view->Destroy();
    }
}

void CNMapPage::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam != kStopTimer) {
        return;
    }
    (void)KillTimer(GetHwnd(), kStopTimer);
    if (m_view) {
        m_view->Destroy();
    }
    m_delayedStop = false;
}

void CNMapPage::ApplyPreferences() {
    const bool kilometres = ReadPreference(kPreferences, u"DistanceUnitKilometres", 1) != 0;
    m_alwaysNorth = ReadPreference(kPreferences, u"AlwaysNorth", 0) != 0;
    m_arrowMode = ReadPreference(kPreferences, u"ArrowMode", 0) != 0;
    if (m_view) {
        m_view->SetDrawSuppression(ReadPreference(kPreferences, u"ShowPoiInNavigMode", 1) != 0,
                                   ReadPreference(kPreferences, u"ShowPoiInMapMode", 1) != 0);
        m_view->SetHeadingUp(!m_alwaysNorth);
        m_view->SetOptionFlag(ReadPreference(kPreferences, u"StreetDisp", 0) != 0);
        m_view->SetMetric(kilometres);
    }
    if (m_schematic) {
        m_schematic->SetMetric(kilometres);
    }
    m_field.SetKilometres(kilometres);
    m_field.SetTwelveHour(ReadPreference(kPreferences, u"TimeFormat12h", 0) != 0);
}

void CNMapPage::ApplyArrowLayout() {
    if (m_view && m_view->GetHwnd() != nullptr) {
        ShowWindow(m_view->GetHwnd(), m_arrowMode ? SW_HIDE : SW_SHOW);
    }
    if (m_schematic && m_schematic->GetHwnd() != nullptr) {
        ShowWindow(m_schematic->GetHwnd(), m_arrowMode ? SW_SHOW : SW_HIDE);
    }
    if (m_bar) {
        m_bar->RefreshVisibility();
    }
    if (!m_arrowMode && m_view) {
        std::int32_t scale = 0;
        {
            ScopedLock lock(&m_positionLock);
            scale = m_scaleValue;
        }
        m_view->ApplySpeedZoom(scale);
    }
}

bool CNMapPage::OnTap() {
    m_arrowMode = !m_arrowMode;
    ApplyArrowLayout();
    return true;
}

void CNMapPage::RefreshDistanceTexts() {
    m_field.Refresh(Item(kDistLabelId), Item(kDistValueId));
}

void CNMapPage::OnLButtonDown(UINT, WPARAM, LPARAM lParam, LRESULT*, bool* handled) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    for (UINT id : {kDistLabelId, kDistValueId}) {
        HWND control = Item(id);
        if (control == nullptr) {
            continue;
        }
        const RECT rect = GetChildRect(control);
        if (PtInRect(&rect, point)) {
            m_field.Advance();
            RefreshDistanceTexts();
            *handled = true;
            return;
        }
    }
}

// ---- commands and keys ----

void CNMapPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const auto id = static_cast<UINT>(LOWORD(static_cast<DWORD>(wParam)));
    if (HIWORD(static_cast<DWORD>(wParam)) == kFocusNotification) {
        MoveFocusNext(id);
        return;
    }
    switch (id) {
    case kStopId:
        StopNavigation(true);
        break;
    case kBlockStreetId:
        ToggleStreetBlock(true);
        break;
    case kLoggingId:
        (void)m_mode->ControlLogbook(GetHwnd(), 0, 1);
        break;
    default:
        break;
    }
}

void CNMapPage::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    if (wParam == VK_TAB) {
        static constexpr UINT kCycle[] = {kStopId, kBlockStreetId, kLoggingId};
        const UINT id = kCycle[(g_tabState - 1) % 3];
        g_tabState = g_tabState % 3 + 1;
        if (HWND control = Item(id)) {
            SetFocus(control);
        }
        SetFocusId(id);
    } else {
        OnKey(static_cast<UINT>(wParam));
    }
    *handled = true;
}

// The keys are virtual keys of key-down messages: a letter comes as its upper-case code, and the
// lower-case codes are other keys' (0x70 is F1, 0x61 keypad 1, 0x6E the keypad's decimal point).
bool CNMapPage::HandleSimulationKey(UINT key) {
    if (!m_replay) {
        return false;
    }
    switch (key) {
    case 'L': {
        const auto path = RequestOpenFile(GetHwnd(), u"");
        if (!path) {
            return true; // cancelled: nothing more
        }
        m_replay->OpenReplayFile(*path);
        (void)TellUnusableReplayFile(GetHwnd(), ReplayFileKind::Gps, *path);
        return true;
    }
    case 'P':
        AskReplayFilePosition(GetHwnd(), *m_replay);
        return true;
    case 'S': {
        int value = static_cast<int>(m_replay->GetSentenceRate());
        if (!RunValueDialog(GetHwnd(), kSpeedTextId, value)) {
            return true; // cancelled: no stop asked
        }
        m_replay->SetSentenceRate(static_cast<float>(value));
        return true;
    }
    case 'T': {
        const auto path = RequestOpenFile(GetHwnd(), kTmcFilter);
        if (!path) {
            return true; // cancelled: no night or day
        }
        if (six::RefCntPtr<TmcReceiver> receiver = m_server->GetTmcReceiver()) {
            receiver->SetReplayRate(kTmcReplayRate);
            (void)receiver->OpenReplayFile(*path);
            (void)TellUnusableReplayFile(GetHwnd(), ReplayFileKind::Tmc, *path);
        }
        return true;
    }
    case 'N': {
        six::RefCntPtr<TmcReceiver> receiver = m_server->GetTmcReceiver();
        if (!receiver) {
            return false;
        }
        // Cancelled or refused: no north-up either.
        AskReplayFilePosition(GetHwnd(), *receiver);
        return true;
    }
    default:
        return false;
    }
}

void CNMapPage::OnKey(UINT key) {
    if (HandleSimulationKey(key) || !m_view) {
        return;
    }
    switch (key) {
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
    case 'S':
        m_delayedStop = true;
        StopNavigation(true);
        break;
    case 'R':
        m_view->ZoomToRoute();
        break;
    case 'T':
        m_view->ToggleNightMode();
        break;
    case 'A':
        StartAnnounceThread();
        break;
    case VK_ADD:
    case VK_OEM_PLUS:
        m_view->ZoomIn();
        break;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
        m_view->ZoomOut();
        break;
    case 'N':
    case VK_DECIMAL:
        m_alwaysNorth = !m_alwaysNorth;
        m_view->SetHeadingUp(!m_alwaysNorth);
        break;
    default:
        break;
    }
}

// ---- guidance ----

void CNMapPage::ShowRoute(const RouteRequestResult& result) {
    if (m_view && GetHwnd() != nullptr) {
        m_view->Show(GetAreaRect(kRealAreaKey), GetHwnd());
        m_view->SetFocus();
    }
    if (m_view) {
        if (RouteIteratorPtr first = GetRouteIterator(result); first && first->IsValid()) {
            const RouteRecord& record = first->Current();
            m_view->ShowPointAt(record.x, record.y);
        }
        if (result.destination) {
            m_view->SetFlagPoint(result.destination->GetSinglePoint());
        }
        m_view->SetPickMode(false);
    }
    // The route is applied even when the events were connected already: it may have been
    // calculated before they were (the page made after the request).
    (void)ConnectServerEvents();
    m_initialRoute = true;
    ApplyRoute(result);
    if (!m_routeShown && GetHwnd() == nullptr) {
        // Shown before the page was made: the view takes it once it has its window.
        m_keptRoute = std::make_unique<RouteRequestResult>(result);
        m_keptRoute->route = GetRouteIterator(result);
    }
    ApplyPreferences();
    (void)m_field.Update(result.length, result.travelTime);
    RefreshDistanceTexts();
}

bool CNMapPage::ConnectServerEvents() {
    if (!m_server) {
        return false;
    }
    ScopedLock lock(&m_eventLock);
    if (!m_positionConnected) {
        m_server->PositionEvent.Connect(this, &CNMapPage::OnPosition);
        m_positionConnected = true;
    }
    if (m_guidanceConnected) {
        return false;
    }
    m_server->AdviceEvent.Connect(this, &CNMapPage::OnAdvice);
    m_server->RouteEvent.Connect(this, &CNMapPage::OnRouteChanged);
    m_guidanceConnected = true;
    return true;
}

bool CNMapPage::DisconnectGuidanceEvents() {
    {
        ScopedLock lock(&m_eventLock);
        if (!m_guidanceConnected || !m_server) {
            return false;
        }
        m_server->AdviceEvent.Disconnect(this);
        m_server->RouteEvent.Disconnect(this);
        m_guidanceConnected = false;
    }
    m_mode->DisconnectTrafficEvent();
    m_mode->ArmServerTimer();
    return true;
}

bool CNMapPage::IsGuidanceConnected() {
    ScopedLock lock(&m_eventLock);
    return m_guidanceConnected;
}

bool CNMapPage::IsPositionConnected() {
    ScopedLock lock(&m_eventLock);
    return m_positionConnected;
}

void CNMapPage::JoinWorkers() {
    JoinAnnounceThread();
    JoinStreetBlockThread();
}

bool CNMapPage::StopGuidance() {
    (void)m_mode->ControlLogbook(GetHwnd(), 1, 0);
    JoinWorkers();
    if (m_streetBlocked && m_server) {
        (void)m_server->AvoidRoadAhead(0, false);
        {
            ScopedLock lock(&m_blockLock);
            m_blockedLines.clear();
        }
        if (m_view) {
            m_view->SetHighlightLines({});
        }
        m_streetBlocked = false;
    }
    bool wasConnected = false;
    {
        ScopedLock lock(&m_eventLock);
        wasConnected = m_positionConnected;
        if (m_positionConnected && m_server) {
            m_server->PositionEvent.Disconnect(this);
        }
        m_positionConnected = false;
    }
    (void)DisconnectGuidanceEvents();
    DropPendingGuidance();
    return wasConnected;
}

void CNMapPage::DropPendingGuidance() {
    {
        ScopedLock lock(&m_announceLock);
        m_announcements.clear();
        m_repeat.clear();
        m_arrivalWords.clear();
    }
    ScopedLock lock(&m_routeLock);
    m_pendingAdvice = nullptr;
}

void CNMapPage::OnPosition(const MatchedPosition* position) {
    if (position == nullptr || position->fix.hdop < 0.0f) {
        return;
    }
    {
        ScopedLock lock(&m_positionLock);
        m_position = *position;
        m_hasPosition = true;
        m_scaleValue = position->speed;
    }
    if (position->street != MatchedPosition::kNoStreet && m_facade) {
        six::IntfPtr<MapElement> element =
            m_facade->GetMappedElement(static_cast<std::uint32_t>(position->street));
        const char16_t* name = element ? element->GetName() : nullptr;
        if (name != nullptr) {
            ScopedLock lock(&m_streetLock);
            if (m_currentStreet != name) {
                m_currentStreet = name;
                m_currentStreetChanged = true;
            }
        }
    }
    ScopedLock lock(&m_redrawLock);
    if (m_redrawAllowed) {
        m_redrawAllowed = false;
        (void)PostMessageW(GetHwnd(), kRedrawMessage, 0, 0);
    }
}

void CNMapPage::OnRedraw(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    MatchedPosition position{};
    bool hasPosition = false;
    {
        ScopedLock lock(&m_positionLock);
        position = m_position;
        hasPosition = m_hasPosition;
        m_hasPosition = false;
    }
    if (hasPosition) {
        if (m_schematic) {
            m_schematic->SetPosition(position);
        }
        if (m_view && m_view->SetPosition(position)) {
            m_view->UpdateFollow();
        }
    }
    std::u16string street;
    bool changed = false;
    {
        ScopedLock lock(&m_streetLock);
        changed = m_currentStreetChanged;
        m_currentStreetChanged = false;
        street = m_currentStreet;
    }
    if (changed) {
        (void)SetWindowTextW(Item(kCurrentStreetId), CutStreetName(street).c_str());
    }
    ScopedLock lock(&m_redrawLock);
    m_redrawAllowed = true;
}

void CNMapPage::OnAdvice(AdvicePtr advice) {
    if (!m_routeShown || !advice) {
        return;
    }
    AdvicePtr copy = advice->Clone();
    AdvicePtr handed = advice->Clone();
    if (!copy || !handed) {
        return;
    }
    // The advice goes to the user-interface thread (a copy of its own) before its announcement
    // and the arrival, so the junction view shows the destination's picture before the arrival
    // clears the route.
    {
        ScopedLock lock(&m_routeLock);
        m_pendingAdvice = std::move(handed);
        if (!m_advicePosted) {
            m_advicePosted = true;
            (void)PostMessageW(GetHwnd(), kAdviceMessage, 0, 0);
        }
    }
    if (copy->IsValid()) {
        if (AdviceValuePtr value = copy->Current()) {
            const char16_t* speech = value->GetSpeechText();
            bool arrival = false;
            const std::u16string text = CutAnnouncement(speech != nullptr ? speech : u"", arrival);
            if (arrival) {
                // Said by the arrival: at a tour stop other words are said.
                {
                    ScopedLock lock(&m_announceLock);
                    m_arrivalWords = text;
                }
                (void)PostMessageW(GetHwnd(), kArrivalMessage, 0, 0);
            } else if (!text.empty()) {
                {
                    ScopedLock lock(&m_announceLock);
                    m_announcements.push_back(text);
                }
                (void)PostMessageW(GetHwnd(), kSayMessage, 0, 0);
            }
        }
    }
}

void CNMapPage::OnAdviceMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    AdvicePtr advice;
    {
        ScopedLock lock(&m_routeLock);
        advice = m_pendingAdvice;
        m_pendingAdvice = nullptr;
        m_advicePosted = false;
    }
    ShowAdvice(advice);
}

void CNMapPage::ShowAdvice(const AdvicePtr& advice) {
    if (!advice || !m_view || !m_view->HasRoute()) {
        return;
    }
    if (m_schematic) {
        m_schematic->SetAdvice(advice);
    }
    AdviceValuePtr value = advice->IsValid() ? advice->Current() : AdviceValuePtr();
    MapRouteStatus status;
    if (value) {
        status.isValid = true;
        status.value = value->GetApproachPercent();
        status.distance = value->GetDistance();
    }
    m_view->UpdateRouteStatus(status);
    if (!value) {
        return;
    }
    if (m_bar) {
        m_bar->SetFraction(value->GetApproachPercent() * 0.01);
    }
    const char16_t* street = value->GetStreetName();
    const std::u16string name = street != nullptr ? street : u"";
    bool changed = false;
    {
        ScopedLock lock(&m_streetLock);
        if (name != m_nextStreet) {
            m_nextStreet = name;
            changed = true;
        }
    }
    if (changed) {
        (void)SetWindowTextW(Item(kNextStreetId), CutStreetName(name).c_str());
    }
    // Most advice leaves the shown text as it is: the texts are set again only when it changed.
    if (m_field.Update(static_cast<std::int32_t>(value->GetRemainingDistance()),
                       static_cast<std::int32_t>(value->GetRemainingTime()))) {
        RefreshDistanceTexts();
    }
}

void CNMapPage::OnRouteChanged(const RouteRequestResult* result) {
    if (result == nullptr) {
        return;
    }
    auto copy = std::make_unique<RouteRequestResult>(*result);
    copy->route = GetRouteIterator(*result);
    ScopedLock lock(&m_routeLock);
    const bool post = !m_pendingRoute;
    m_pendingRoute = std::move(copy);
    if (post) {
        (void)PostMessageW(GetHwnd(), kRouteMessage, 0, 0);
    }
}

void CNMapPage::OnRouteMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    std::unique_ptr<RouteRequestResult> route;
    {
        ScopedLock lock(&m_routeLock);
        route = std::move(m_pendingRoute);
    }
    if (route) {
        ApplyRoute(*route);
    }
}

void CNMapPage::ApplyRoute(const RouteRequestResult& result) {
    m_keptRoute.reset();
    if (!m_initialRoute) {
        ScopedLock lock(&m_announceLock);
        if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput()) {
            (void)voice->Stop();
        }
    }
    m_initialRoute = false;
    GeoPoint point;
    if (m_view) {
        point = m_view->SetRoute({GetRouteIterator(result)});
        m_routeShown = m_view->HasRoute();
    }
    if (m_schematic) {
        m_schematic->SetRoute(result);
        if (point.x != 0.0f && point.y != 0.0f) {
            m_schematic->SetCrossingPoint(point.x, point.y);
        }
    }
    ShowAdviceAtPosition();
}

void CNMapPage::ShowAdviceAtPosition() {
    // Advice comes as the car moves along the route: a car that stands still brings none, and
    // the route's first picture would lack the distance to its first manoeuvre. The advice at
    // the position is asked for as the driver's request asks for it; nothing of it is said. A
    // position matched to no street has none.
    if (!m_server || !m_routeShown || GetHwnd() == nullptr) {
        return;
    }
    AdvicePtr advice;
    (void)m_server->GetAdviceAtPosition(advice);
    ShowAdvice(advice);
}

void CNMapPage::ApplyKeptRoute() {
    if (!m_keptRoute) {
        return;
    }
    const std::unique_ptr<RouteRequestResult> route = std::move(m_keptRoute);
    m_initialRoute = true;
    ApplyRoute(*route);
}

void CNMapPage::OnSay(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    ScopedLock lock(&m_announceLock);
    if (m_announcements.empty()) {
        return;
    }
    const std::u16string text = std::move(m_announcements.front());
    m_announcements.pop_front();
    if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput()) {
        (void)voice->Say(text);
    }
}

void CNMapPage::OnRepeat(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    ScopedLock lock(&m_announceLock);
    if (m_repeat.empty()) {
        return;
    }
    if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput()) {
        (void)voice->Stop();
        (void)voice->Say(m_repeat);
    }
}

void CNMapPage::EndDemonstrationDrive() {
    if (!DemonstrationDriveRunning().exchange(false)) {
        return;
    }
    if (ReadPreference(kPreferences, u"TMCReceiver", 1) == 0) {
        if (m_server) {
            m_server->CloseAlternativeGps();
        }
        return;
    }
    m_mode->StartReceiverReconnect(false);
    if (m_replay) {
        m_replay->UseReceiverLibrary();
        m_replay->SetSentenceRate(kReplayRateAfterDemo);
    }
}

void CNMapPage::OnArrival(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_bar && m_bar->GetHwnd() != nullptr) {
        ShowWindow(m_bar->GetHwnd(), SW_HIDE);
    }
    EndDemonstrationDrive();
    if (m_view) {
        m_view->ClearRoute();
    }
    m_routeShown = false;
    {
        ScopedLock lock(&m_streetLock);
        m_nextStreet.clear();
    }
    (void)SetWindowTextW(Item(kNextStreetId), u"");
    if (HWND dialog = GpsStateMonitor::Instance().GetDialogWindow()) {
        SendMessageW(dialog, WM_COMMAND, 1, 0);
    }
    if (!DisconnectGuidanceEvents()) {
        return; // guidance ended before: nothing more to tell
    }
    // A tour goes on as its route list shows it: a stop reached is told and the next one guided;
    // the last is the destination.
    const bool isStop = m_mode->NextStop(true);
    {
        ScopedLock lock(&m_announceLock);
        std::u16string words = std::move(m_arrivalWords);
        m_arrivalWords.clear();
        if (isStop) {
            words = kStopReachedPhrase;
        }
        if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput(); voice && !words.empty()) {
            (void)voice->Say(words);
        }
    }
    if (isStop) {
        GuideToNextStop();
    }
}

void CNMapPage::GuideToNextStop() {
    if (m_view) {
        m_view->ClearRoute();
    }
    m_routeShown = false;
    (void)m_mode->NextStop(false);
    ToggleStreetBlock(false);
    if (m_server) {
        if (six::RefCntPtr<TmcMessageStore> store = m_server->GetTmcMessageStore()) {
            store->AnnounceAll();
        }
    }
}

void CNMapPage::StartAnnounceThread() {
    ScopedLock lock(&m_eventLock);
    if (!m_guidanceConnected || !m_server) {
        return;
    }
    JoinAnnounceThread();
    m_announceThread = CreateThread(nullptr, 0, &CNMapPage::AnnounceThreadStart, this, 0, nullptr);
}

void CNMapPage::JoinAnnounceThread() {
    if (m_announceThread != nullptr) {
        (void)WaitForSingleObject(m_announceThread, INFINITE);
        CloseHandle(m_announceThread);
        m_announceThread = nullptr;
    }
}

DWORD CNMapPage::AnnounceThreadStart(LPVOID page) {
    static_cast<CNMapPage*>(page)->AnnounceThreadProc();
    return 0;
}

void CNMapPage::AnnounceThreadProc() {
    AdvicePtr advice;
    (void)m_server->GetAdviceAtPosition(advice);
    if (!advice || !advice->IsValid()) {
        return;
    }
    AdviceValuePtr value = advice->Current();
    const char16_t* speech = value ? value->GetSpeechText() : nullptr;
    if (speech == nullptr || *speech == u'\0') {
        return;
    }
    bool arrival = false;
    const std::u16string text = CutAnnouncement(speech, arrival);
    {
        ScopedLock lock(&m_announceLock);
        m_repeat = text;
    }
    (void)PostMessageW(GetHwnd(), kRepeatMessage, 0, 0);
}

void CNMapPage::StopNavigation(bool confirm) {
    int answer = kAnswerMenu;
    if (confirm) {
        StopNavigDlg dialog(m_mode->NextStop(true));
        (void)dialog.DoModal(GetHwnd());
        answer = dialog.GetResult();
    }
    switch (answer) {
    case kAnswerNewDestination:
    case kAnswerMenu:
        EndDemonstrationDrive();
        if (answer == kAnswerNewDestination) {
            ShowPageWindow(GetPageHandle(), false);
        }
        if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput()) {
            ScopedLock lock(&m_announceLock);
            (void)voice->Stop();
        }
        (void)StopGuidance();
        // The page gives up the full screen before the mode's page or the main menu comes
        // back, so that the window shown takes the screen as its activation sets it: the task
        // bar shown afterwards would lie over it and leave the pages it opens below the bar.
        (void)SetSipButtonVisible(GetHwnd(), false);
        (void)SetTaskBarHidden(GetHwnd(), false);
        if (answer == kAnswerNewDestination) {
            m_mode->Activate();
        } else {
            m_mode->Deactivate(0);
        }
        break;
    case kAnswerNextDestination:
        (void)ConnectServerEvents();
        GuideToNextStop();
        break;
    default:
        break;
    }
}

void CNMapPage::ToggleStreetBlock(bool confirm) {
    if (m_streetBlocked) {
        if (confirm) {
            YesNoDlg question(kBlockQuestionId);
            if (question.DoModal(GetHwnd()) != 1) {
                return;
            }
        }
        BlockWaitCursor wait;
        StartStreetBlockThread(0);
        m_streetBlocked = false;
        return;
    }
    if (!confirm) {
        return;
    }
    (void)ShowInputPanel(true);
    StreetBlockDlg dialog(kBlockDistanceId, 5.0f);
    if (dialog.DoModal(GetHwnd()) == 1) {
        // Checked as a double: a huge entry does not fit an integer.
        const double metres = dialog.GetValue() * 1000.0;
        if (!(metres >= kMinBlockMetres)) {
            // below 100 m (or not a number): nothing
        } else if (metres > kMaxBlockMetres) {
            MsgBox message(kBlockTooFarId);
            (void)message.DoModal(GetHwnd());
        } else {
            BlockWaitCursor wait;
            StartStreetBlockThread(static_cast<std::int32_t>(metres));
            m_streetBlocked = true;
        }
    }
    (void)ShowInputPanel(false);
}

void CNMapPage::StartStreetBlockThread(std::int32_t metres) {
    if (!m_server) {
        return;
    }
    JoinStreetBlockThread();
    m_blockMetres = metres;
    m_blockThread = CreateThread(nullptr, 0, &CNMapPage::StreetBlockThreadStart, this, 0, nullptr);
    if (m_blockThread == nullptr) {
        // No thread to be had: the block is set (or lifted) all the same, here.
        StreetBlockThreadProc(metres);
    }
}

void CNMapPage::JoinStreetBlockThread() {
    if (m_blockThread != nullptr) {
        (void)WaitForSingleObject(m_blockThread, INFINITE);
        CloseHandle(m_blockThread);
        m_blockThread = nullptr;
    }
}

DWORD CNMapPage::StreetBlockThreadStart(LPVOID page) {
    auto* self = static_cast<CNMapPage*>(page);
    self->StreetBlockThreadProc(self->m_blockMetres);
    return 0;
}

void CNMapPage::StreetBlockThreadProc(std::int32_t metres) {
    (void)PostMessageW(GetHwnd(), kProgressOpenMessage, 0, 0);
    const std::vector<std::uint32_t>* ids = m_server->AvoidRoadAhead(metres, metres != 0);
    std::vector<std::vector<GeoPoint>> lines;
    if (ids != nullptr && m_facade) {
        for (std::uint32_t id : *ids) {
            six::IntfPtr<MapElement> element = m_facade->GetMappedElement(id & kElementIdMask);
            std::vector<GeoPoint> points;
            if (element && element->GetPoints(points)) {
                lines.push_back(std::move(points));
            }
        }
    }
    {
        ScopedLock lock(&m_blockLock);
        m_blockedLines = std::move(lines);
    }
    (void)PostMessageW(GetHwnd(), kBlockedMessage, 0, 0);
    (void)PostMessageW(GetHwnd(), kProgressCloseMessage, 0, 0);
}

std::vector<std::vector<GeoPoint>> CNMapPage::GetBlockedLines() {
    ScopedLock lock(&m_blockLock);
    return m_blockedLines;
}

void CNMapPage::OnBlocked(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    ScopedLock lock(&m_blockLock);
    if (m_view) {
        m_view->SetHighlightLines(m_blockedLines);
    }
}

void CNMapPage::OnProgressOpen(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (!m_progress) {
        // Made over the active window, shown at once.
        m_progress = std::make_unique<ProgressDlg>(false);
    }
}

void CNMapPage::OnProgressClose(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_progress.reset();
}
