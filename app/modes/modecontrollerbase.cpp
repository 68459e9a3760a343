#include "app/modes/modecontrollerbase.h"

#include "app/destinations/addresspage.h"
#include "app/destinations/destinationinputpage.h"
#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/pages/routelist.h"
#include "app/settings/optionspage.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <utility>

namespace {

constexpr UINT_PTR kServerTimer = 13;
constexpr UINT kServerTimerMs = 3000;
constexpr WPARAM kActivateFromMode = 0x10001;
constexpr char16_t kHelpSelect[] = u"ZU_Deridivira.htm#SelectDestination";
constexpr char16_t kHelpImport[] = u"ZU_Deridivira.htm#ImportDestination";

bool IsPointType(std::uint16_t type) {
    return type >= maprecord::kFirstPoiType && type < maprecord::kPoiTypeEnd;
}

} // namespace

ModeControllerBase::ModeControllerBase(const ModeContext& context)
    : m_application(context.application)
    , m_mainWindow(context.mainWindow)
    , m_server(context.server)
    , m_facade(context.facade)
    , m_position(context.lastPosition) {
    ConnectMessageHandler(m_window.map, kReplanMessage, this, &ModeControllerBase::OnReplanMessage);
    (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"Mode", 0, 0, 0, 1, 1, nullptr,
                          nullptr, platform::ResourceInstance(), &m_window);
    if (m_window.window != nullptr)
        ShowWindow(m_window.window, SW_HIDE);
    m_replanWindow.store(m_window.window);
}

ModeControllerBase::~ModeControllerBase() {
    // No handler may run on another thread once the pages and the window go.
    DisconnectTrafficEvent();
    GpsStateMonitor::Instance().GetEvent().Disconnect(this);
    m_replanWindow.store(nullptr);
    m_movingMapPage.reset();
    m_routeListPage.reset();
    m_optionsPage.reset();
    m_mapPage.reset();
    m_routeCalcPage.reset();
    m_mainPage.reset();
    m_destinationMapPage.reset();
    m_contactsPage.reset();
    DisconnectMessageHandlers(m_window.map, this);
    m_window.Destroy();
}

void ModeControllerBase::Activate(int, int) {
    // A closed mode waits for the main window to delete it.
    if (m_isDeactivated)
        return;
    if (!m_isStarted) {
        m_isStarted = true;
        Activate();
    } else {
        OnPageCommand(-1, nullptr);
    }
}

void ModeControllerBase::Deactivate(void*) {
    Deactivate(0);
}

void ModeControllerBase::ConnectFixClass() {
    if (!m_fixClassConnected) {
        GpsStateMonitor::Instance().GetEvent().Connect(this, &ModeControllerBase::OnFixClass);
        m_fixClassConnected = true;
    }
}

void ModeControllerBase::Activate() {
    ShowPage(m_mainPage.get());
    ConnectFixClass();
    m_mainPageShown = true;
    (void)ShowInputPanel(true);
    SetStopIndex(-1);
}

void ModeControllerBase::Deactivate(int arg) {
    (void)ShowInputPanel(false);
    PickedDestination::Instance().Clear();
    GpsStateMonitor::Instance().GetEvent().Disconnect(this);
    m_fixClassConnected = false;
    m_isDeactivated = true;
    if (m_application != nullptr)
        m_application->NotifyModeClosed(arg != 0);
    SetStopIndex(-1);
}

void ModeControllerBase::ShowHelp() {
    OpenHelpFile(m_mainPageShown ? kHelpSelect : kHelpImport);
}

bool ModeControllerBase::OnKey(UINT key) {
    return ForwardKeyToMaps(key);
}

void ModeControllerBase::ForwardMapKey(WPARAM key) {
    (void)ForwardKeyToMaps(key);
}

bool ModeControllerBase::ForwardKeyToMaps(WPARAM key) {
    bool isTaken = false;
    const auto forward = [key, &isTaken](PageBase* page, MapView* view) {
        if (view != nullptr && IsVisible(page)) {
            view->OnKey(static_cast<UINT>(key));
            isTaken = true;
        }
    };
    if (m_mapPage)
        forward(m_mapPage.get(), m_mapPage->GetMapView());
    for (NavShowPage* page :
         {m_destinationMapPage.get(), static_cast<NavShowPage*>(m_routeCalcPage.get()),
          static_cast<NavShowPage*>(m_movingMapPage.get())}) {
        if (page != nullptr)
            forward(page, page->GetMapView());
    }
    return isTaken;
}

bool ModeControllerBase::HasGpsFix() {
    return GpsStateMonitor::Instance().GetFixClass() == 2;
}

bool ModeControllerBase::HasListEntry(const std::u16string& file, const std::u16string& section) {
    return !IniProfile::GetString(section.c_str(), u"0", file.c_str(), u"").empty();
}

bool ModeControllerBase::HasRecent() {
    return HasListEntry(AppPaths::GetSettingsFilePath(), u"Recent");
}

bool ModeControllerBase::HasPersonal() {
    return HasListEntry(AppPaths::GetSettingsFilePath(), u"Personal");
}

bool ModeControllerBase::HasMapSpecific(const std::u16string& listFile) {
    return HasListEntry(listFile, u"MapSpecific");
}

int ModeControllerBase::ControlLogbook(HWND window, int stop, int ask) {
    if (m_application == nullptr)
        return 0;
    return m_application->RunLogbookDialog(window, stop != 0, ask != 0) ? 1 : 0;
}

void ModeControllerBase::ForwardRouteCalcValue(float value) {
    if (!m_routeCalcPage)
        return;
    std::size_t leg = value >= 0.0f ? static_cast<std::size_t>(value) : 0;
    if (value < 0.0f)
        leg = m_routeListPage ? m_routeListPage->GetLegs().size() : 0;
    m_routeCalcPage->ShowLeg(leg);
}

void ModeControllerBase::RefreshMainPage() {
    if (m_mainPage)
        m_mainPage->ShowSelection();
}

void ModeControllerBase::DisconnectTrafficEvent() {
    if (m_trafficConnected) {
        if (m_server)
            m_server->TrafficEvent.Disconnect(this);
        m_trafficConnected = false;
    }
    // A re-plan posted or deferred before now is for guidance that has ended.
    m_replanDeferred = false;
    m_replanPending.store(false);
}

void ModeControllerBase::StartReceiverReconnect(bool stop) {
    if (m_application != nullptr)
        m_application->ControlReconnectThread(stop);
}

void ModeControllerBase::ArmServerTimer() {
    SetTimer(m_mainWindow, kServerTimer, kServerTimerMs, nullptr);
}

void ModeControllerBase::DisarmServerTimer() {
    (void)KillTimer(m_mainWindow, kServerTimer);
}

HWND ModeControllerBase::WindowOf(PageBase* page) {
    return page != nullptr ? page->GetPageHandle().window : nullptr;
}

bool ModeControllerBase::IsVisible(PageBase* page) {
    HWND window = WindowOf(page);
    return window != nullptr && IsWindowVisible(window);
}

void ModeControllerBase::ShowPage(PageBase* page) {
    if (page != nullptr) {
        ShowPageWindow(page->GetPageHandle(), true);
        m_lastShown = WindowOf(page);
    }
}

bool ModeControllerBase::RunAndLeave(HWND caller, const std::function<void()>& request) {
    m_lastShown = nullptr;
    request();
    if (m_lastShown == nullptr)
        return false;
    if (caller != m_lastShown)
        HideWindow(caller);
    // "Back" after a failure returns to the input with its panel on.
    if (m_lastShown != WindowOf(m_mainPage.get()))
        (void)ShowInputPanel(false);
    return true;
}

void ModeControllerBase::HideWindow(HWND window) {
    if (window != nullptr)
        ShowWindow(window, SW_HIDE);
}

bool ModeControllerBase::BringToFront(PageBase* page) {
    if (!IsVisible(page))
        return false;
    HWND window = WindowOf(page);
    SendMessageW(window, WM_ACTIVATE, kActivateFromMode,
                 reinterpret_cast<LPARAM>(GetActiveWindow()));
    SetForegroundWindow(window);
    return true;
}

void ModeControllerBase::TakeOptions(const OptionsPage& page) {
    m_quickest = page.IsQuickest();
    m_optionsValue = page.GetSimulationValue();
    m_dynamicRoute = page.IsDynamic();
    m_avoidHighways = !page.AllowsHighways();
    m_avoidFerries = !page.AllowsFerries();
    m_avoidTolls = !page.AllowsTolls();
}

void ModeControllerBase::RefreshOptions() {
    if (!m_optionsTaken && !m_tourOptions && m_optionsPage)
        TakeOptions(*m_optionsPage);
}

void ModeControllerBase::OnPageCommand(int code, HWND callerWindow) {
    ScopedWaitCursor wait;
    RefreshOptions();
    HandlePageCommand(code, callerWindow);
}

void ModeControllerBase::HandlePageCommand(int code, HWND caller) {
    ScopedWaitCursor wait;
    // Leaves the caller for the page now shown: hidden unless it is that page.
    const auto leave = [caller](PageBase* shown) {
        if (caller != WindowOf(shown))
            HideWindow(caller);
        (void)ShowInputPanel(false);
    };
    switch (code) {
    case -1: {
        if (TmcMonitor::Instance().GetVisibleDialogWindow() != nullptr)
            return;
        PageBase* const order[] = {m_mainPage.get(),      m_optionsPage.get(),
                                   m_routeCalcPage.get(), m_destinationMapPage.get(),
                                   m_mapPage.get(),       m_routeListPage.get(),
                                   m_contactsPage.get()};
        for (PageBase* page : order) {
            if (BringToFront(page))
                break;
        }
        HideWindow(caller);
        (void)ShowInputPanel(false);
        return;
    }
    case 0:
    case 1:
    case 13:
        if (caller != nullptr && caller == WindowOf(m_mainPage.get()))
            return;
        ShowPage(m_mainPage.get());
        m_mainPageShown = true;
        leave(m_mainPage.get());
        return;
    case 2:
        if (m_routeListPage)
            m_routeListPage->ClearLegs();
        ShowPage(m_optionsPage.get());
        m_mainPageShown = false;
        leave(m_optionsPage.get());
        return;
    case 4: {
        if (!HasGpsFix()) {
            bool cancelled = false;
            ShowGpsWait(cancelled);
            if (cancelled)
                return;
        }
        // A failed request leaves the caller on screen unless the user chose another page.
        (void)RunAndLeave(caller, [this] { (void)CalculateRoute(true); });
        return;
    }
    case 7: {
        RetrievalEngine::RetrievalEnginePtr engine =
            m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
        const DestinationDescription& d = m_description;
        if (d.location) {
            const std::uint32_t id = d.location->GetSingleElementId();
            GeoPoint at = d.location->GetSinglePoint();
            six::IntfPtr<MapElement> element = engine ? engine->GetMappedElement(id) : nullptr;
            if (element && IsPointType(element->GetTypeCode()) && element->GetPointCount() == 1)
                element->GetPoint(at, 0);
            ShowDestinationMap(at.x, at.y, id);
        } else if (d.street) {
            HouseNumber number;
            (void)number.Parse(reinterpret_cast<const WCHAR*>(d.houseNumber.c_str()));
            if (IsPointType(static_cast<std::uint16_t>(d.street->GetType())) ||
                d.street->HasHouseNumber(number)) {
                const ElementPosition at = d.street->GetHouseNumberPosition(number);
                ShowDestinationMap(at.point.x, at.point.y, at.elementId);
            } else {
                const std::vector<std::uint32_t> ids = d.street->GetElementIds();
                ShowDestinationMap(0.0f, 0.0f, ids.empty() ? d.street->GetId() : ids.front());
            }
        } else if (d.city) {
            const std::uint32_t id = d.city->GetElementId();
            six::IntfPtr<MapElement> element = engine ? engine->GetMappedElement(id) : nullptr;
            GeoPoint at{};
            if (element && element->GetPointCount() > 0) {
                element->GetPoint(at, 0);
            } else {
                const GeoRect rect = d.city->GetRect();
                at = {(rect.minX + rect.maxX) / 2.0f, (rect.minY + rect.maxY) / 2.0f};
            }
            ShowDestinationMap(at.x, at.y, id);
        } else {
            return;
        }
        m_mainPageShown = false;
        leave(m_destinationMapPage.get());
        return;
    }
    case 9:
        ShowPage(m_routeListPage.get());
        m_mainPageShown = false;
        leave(m_routeListPage.get());
        return;
    case 10:
        ShowPage(m_routeCalcPage.get());
        m_mainPageShown = false;
        leave(m_routeCalcPage.get());
        return;
    case 14:
        ShowPage(m_contactsPage.get());
        m_mainPageShown = false;
        leave(m_contactsPage.get());
        return;
    default:
        return;
    }
}

void ModeControllerBase::ShowDestinationMap(float x, float y, std::uint32_t elementId) {
    if (!m_destinationMapPage)
        return;
    ShowPage(m_destinationMapPage.get());
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    six::IntfPtr<MapElement> element = engine ? engine->GetMappedElement(elementId) : nullptr;
    m_destinationMapPage->ShowDestination(x, y, std::move(element), -1);
}

void ModeControllerBase::ShowGpsWait(bool& cancelled) {
    NavWithoutGPSDlg dialog;
    {
        std::lock_guard<std::mutex> lock(m_gpsWaitLock);
        ++m_busy;
        m_gpsWait = &dialog;
    }
    const INT_PTR ended = dialog.DoModal(m_mainWindow);
    {
        std::lock_guard<std::mutex> lock(m_gpsWaitLock);
        m_gpsWait = nullptr;
        --m_busy;
    }
    cancelled = ended == 2;
}

void ModeControllerBase::CloseGpsWait() {
    std::lock_guard<std::mutex> lock(m_gpsWaitLock);
    if (m_gpsWait != nullptr && m_gpsWait->GetWindow() != nullptr)
        PostMessageW(m_gpsWait->GetWindow(), WM_CLOSE, 0, 0);
}

HWND ModeControllerBase::GetGpsWaitWindow() {
    std::lock_guard<std::mutex> lock(m_gpsWaitLock);
    return m_gpsWait != nullptr ? m_gpsWait->GetWindow() : nullptr;
}

void ModeControllerBase::OnFixClass(const int* fixClass) {
    if (fixClass != nullptr && *fixClass == 2)
        CloseGpsWait();
}

void ModeControllerBase::OnTrafficJamOnRoute() {
    if (m_replanPending.exchange(true))
        return;
    HWND window = m_replanWindow.load();
    if (window == nullptr || !PostMessageW(window, kReplanMessage, 0, 0))
        m_replanPending.store(false);
}

void ModeControllerBase::OnReplanMessage(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    // Only a re-plan still pending, for guidance still following the traffic: a message posted
    // before the traffic event was disconnected is dropped (and so is the pending mark a jam
    // reported while it was being disconnected may have left).
    if (!m_trafficConnected) {
        m_replanPending.store(false);
        return;
    }
    if (!m_replanPending.load())
        return;
    if (m_requestDepth > 0) {
        m_replanDeferred = true;
        return;
    }
    m_replanPending.store(false);
    Replan();
}

void ModeControllerBase::EndRequest() {
    if (--m_requestDepth > 0 || !m_replanDeferred)
        return;
    m_replanDeferred = false;
    HWND window = m_replanWindow.load();
    if (window == nullptr || !PostMessageW(window, kReplanMessage, 0, 0))
        m_replanPending.store(false);
}
