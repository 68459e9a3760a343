#include "app/modes/modes.h"

#include "app/destinations/addresspage.h"
#include "app/destinations/destinationinputpage.h"
#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/pages/routelist.h"
#include "app/pages/tourlist.h"
#include "app/settings/optionspage.h"
#include "ui/gpsstatemonitor.h"
#include "ui/shellhelpers.h"

#include "platform/window/input.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <new>

namespace {

// The options pages start with the shortest route, every road kind avoided and dynamic routing.
constexpr bool kInitialQuickest = false;
constexpr bool kInitialHighways = false;
constexpr bool kInitialFerries = false;
constexpr bool kInitialTolls = false;
constexpr bool kInitialDynamic = true;

template <class Page> std::unique_ptr<Page> MakeOptionsPage(ModeController* mode) {
    auto page = std::make_unique<Page>(kInitialQuickest, kInitialHighways, kInitialFerries,
                                       kInitialTolls, kInitialDynamic);
    page->SetMode(mode);
    return page;
}

template <class Mode> std::unique_ptr<MenuMode> MakeMode(const ModeContext& context) {
    return std::unique_ptr<MenuMode>(new (std::nothrow) Mode(context));
}

} // namespace

NavigationMode::NavigationMode(const ModeContext& context)
    : ModeControllerBase(context) {
    m_mainPage = std::make_unique<NavigMainPage>(GetServer(), &m_description, this, kPageId);
    GpsStateMonitor::Instance().GetEvent().Connect(m_mainPage.get(),
                                                   &DestinationInputPage::OnFixClass);
    m_mapPage = std::make_unique<CNMapPage>(this, GetServer(), GetFacade());
    m_optionsPage = MakeOptionsPage<NavOptPage>(this);
    m_destinationMapPage = std::make_unique<NavShowPage>(GetServer(), u"NavShowPage", this,
                                                         GetFacade(), true, kPageId, false);
    m_contactsPage = CreateContactPage(GetServer(), *this, m_description, kPageId);
}

NavigationMode::~NavigationMode() = default;

TourMode::TourMode(const ModeContext& context)
    : ModeControllerBase(context) {
    m_mainPage = std::make_unique<TourMainPage>(GetServer(), &m_description, this, kPageId);
    GpsStateMonitor::Instance().GetEvent().Connect(m_mainPage.get(),
                                                   &DestinationInputPage::OnFixClass);
    m_mapPage = std::make_unique<CNMapPage>(this, GetServer(), GetFacade());
    m_routeCalcPage = std::make_unique<RouteCalcPage>(this, GetServer(), GetFacade());
    m_optionsPage = MakeOptionsPage<RouteOptPage>(this);
    m_destinationMapPage = std::make_unique<NavShowPage>(GetServer(), u"NavShowPage", this,
                                                         GetFacade(), false, kPageId, false);
    m_routeListPage = std::make_unique<RouteList>(GetServer(), this, kPageId);
    m_routeListPage->SetLegViewer(
        [this](int leg) { ForwardRouteCalcValue(static_cast<float>(leg)); });
    m_tourList = std::make_unique<TourList>(GetServer(), this, &m_stops);
    m_tourOptionsPage = MakeOptionsPage<NavOptPage>(this);
    m_contactsPage = CreateContactPage(GetServer(), *this, m_description, kPageId);
}

TourMode::~TourMode() {
    m_tourOptionsPage.reset();
    m_tourList.reset();
}

void TourMode::Activate() {
    ConnectFixClass();
    if (m_routeListPage && m_routeListPage->HasStartedGuidance()) {
        m_routeListPage->ClearStartedGuidance();
        ShowPage(m_routeListPage.get());
    } else if (m_tourList && HasStoredTourPoints()) {
        ShowPage(m_tourList.get());
        m_tourList->LoadTourPoints();
    } else {
        ShowPage(m_mainPage.get());
        (void)ShowInputPanel(true);
    }
    SetStopIndex(-1);
}

void TourMode::OnPageCommand(int code, HWND caller) {
    ScopedWaitCursor wait;
    OptionsPage* source = m_optionsPage.get();
    if (m_tourOptions && m_tourOptionsPage) {
        source = m_tourOptionsPage.get();
        m_tourOptions = false;
    }
    if (source != nullptr) {
        m_optionsTaken = true;
        TakeOptions(*source);
    }
    const auto leaveFor = [caller](PageBase* shown) {
        if (caller != WindowOf(shown))
            HideWindow(caller);
    };
    switch (code) {
    case 3:
        (void)RunAndLeave(caller, [this] { CalculateTour(); });
        return;
    case 5: {
        const PickedDestination& picked = PickedDestination::Instance();
        int position = -1;
        if (picked.pending != 0 && !picked.placeName.empty() && !picked.nameText.empty() &&
            m_failingIndex != -1) {
            position = m_failingIndex - 1;
        } else if (m_backChosen && m_failingIndex != -1) {
            m_backChosen = false;
            position = m_failingIndex - 1;
        }
        ShowPage(m_tourList.get());
        if (m_tourList)
            (void)m_tourList->AddTourPoint(m_description, position);
        leaveFor(m_tourList.get());
        return;
    }
    case 6:
        if (m_mainPage)
            m_mainPage->ClearSelection();
        ShowPage(m_mainPage.get());
        leaveFor(m_mainPage.get());
        return;
    case 11:
        m_backChosen = false;
        m_failingIndex = -1;
        ShowPage(m_tourList.get());
        leaveFor(m_tourList.get());
        return;
    case 12:
        m_tourOptions = true;
        ShowPage(m_tourOptionsPage.get());
        m_mainPageShown = false;
        leaveFor(m_tourOptionsPage.get());
        return;
    default:
        break;
    }
    (void)BringToFront(m_tourList.get());
    (void)BringToFront(m_tourOptionsPage.get());
    if ((code == 0 || code == 1) &&
        (caller == nullptr || caller != WindowOf(m_destinationMapPage.get()))) {
        ShowPage(m_tourList.get());
        leaveFor(m_tourList.get());
        return;
    }
    HandlePageCommand(code, caller);
}

MovingMapMode::MovingMapMode(const ModeContext& context)
    : ModeControllerBase(context) {
    const GeoPoint start =
        context.lastPosition != nullptr ? context.lastPosition->matched : GeoPoint{};
    m_movingMapPage = std::make_unique<MovingMap>(this, GetServer(), GetFacade(), start);
    m_movingMap = m_movingMapPage.get();
}

MovingMapMode::~MovingMapMode() = default;

void MovingMapMode::Activate() {
    ShowPage(m_movingMap);
    if (m_movingMap != nullptr)
        m_movingMap->Start();
}

void MovingMapMode::OnPageCommand(int code, HWND caller) {
    ScopedWaitCursor wait;
    (void)BringToFront(m_movingMap);
    ModeControllerBase::OnPageCommand(code, caller);
}

void InstallModes() {
    ShellFactories& factories = GetShellFactories();
    factories.navigationMode = MakeMode<NavigationMode>;
    factories.tourMode = MakeMode<TourMode>;
    factories.movingMapMode = MakeMode<MovingMapMode>;
}
