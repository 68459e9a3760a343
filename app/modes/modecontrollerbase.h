#pragma once
// What the three modes share: the pages they own (one slot each), the page switching behind
// OnPageCommand, the destination the pages compose, the tour stops, the routing choices taken
// from the options page and the route requests to the navigation server. The main window drives
// a mode through MenuMode, the pages through ModeController. User-interface thread only, except
// the traffic handler (server's traffic thread), which only posts to the mode's hidden window,
// and CloseGpsWait, which may be called from any thread.

#include "app/contacts/extcontactdlg.h"
#include "app/modeinterface/modecontroller.h"
#include "app/startup/shellinterfaces.h"
#include "utilities/usefulcode/windowhandle.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CNMapPage;
class DestinationInputPage;
class MovingMap;
class NavShowPage;
class NavWithoutGPSDlg;
class OptionsPage;
class RouteCalcPage;
class RouteList;

class ModeControllerBase : public ModeController, public MenuMode, public ContactPageOwner {
public:
    // Posted by the traffic handler to the mode's hidden window: re-plan on this thread.
    static constexpr UINT kReplanMessage = 0x8050;
    // The dialog a failed route request shows: text id and insert text over owner; returns the
    // answer (1068 "Back", 1069 "ShowMap", anything else changes nothing).
    using FailureDialog = std::function<int(UINT textId, const std::u16string& insert, HWND owner)>;
    // Text ids of the failure dialog and its answers.
    static constexpr UINT kGpsWaitTextId = 1209;
    static constexpr int kAnswerBack = 1068;
    static constexpr int kAnswerShowMap = 1069;
    static constexpr UINT kStartStopTextId = 1166;
    static constexpr UINT kDestinationStopTextId = 1167;
    static constexpr int kRecentListSize = 10;
    static constexpr char16_t kRecentSection[] = u"Recent";

    explicit ModeControllerBase(const ModeContext& context);
    ~ModeControllerBase() override;
    ModeControllerBase(const ModeControllerBase&) = delete;
    ModeControllerBase& operator=(const ModeControllerBase&) = delete;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // MenuMode: the first call starts the mode (Activate), later ones bring the visible page
    // back (page command -1).
    void Activate(int page, int flag) override;
    void Deactivate(void* next) override;
    [[nodiscard]] bool IsDeactivated() const override { return m_isDeactivated; }
    bool OnKey(UINT key) override;

    // ModeController
    void Activate() override;
    void Deactivate(int arg) override;
    void ShowHelp() override;
    void ForwardMapKey(WPARAM key) override;
    bool CalculateRoute(bool addToRecent) override;
    void AddDestinationToList(const std::u16string& section, int maxCount) override;
    bool HasGpsFix() override;
    void OnPageCommand(int code, HWND callerWindow) override;
    bool HasRecent() override;
    bool HasPersonal() override;
    bool HasMapSpecific(const std::u16string& listFile) override;
    void SetText(const std::u16string& text) override { m_text = text; }
    [[nodiscard]] std::u16string GetText() override { return m_text; }
    bool IsStartSideFailure() override { return m_startSideFailure; }
    void DoNothing() override {}
    [[nodiscard]] const MatchedPosition* GetPositionRecord() override { return m_position; }
    bool HasStops() override { return false; }
    void SetStopIndex(int index) override { m_stopIndex = index; }
    int ControlLogbook(HWND window, int stop, int ask) override;
    // value: a leg number; negative shows the whole tour.
    void ForwardRouteCalcValue(float value) override;
    void RefreshMainPage() override;
    bool NextStop(bool queryOnly) override;
    void DisconnectTrafficEvent() override;
    void StartReceiverReconnect(bool stop) override;
    void ArmServerTimer() override;
    void BuildRouteOptions(ExternalRouteOptions& options) override;
    [[nodiscard]] std::u16string FormatStopText(const DestinationEntry& entry,
                                                bool isStart) override;
    int ReportRouteFailure(int code, const DestinationEntry* entryA, const DestinationEntry* entryB,
                           int index) override;

    // Calculates the tour leg by leg between the stops; shows the route calculation page, or
    // reports the first failed leg.
    void CalculateTour();
    // Keeps the server's route: the clearing that guidance armed when it ended is not due.
    void DisarmServerTimer();
    // Puts entry first in the list section of "PK.ini" (at most maxCount records, no duplicate);
    // nothing without a location.
    void AddToDestinationList(const std::u16string& section, int maxCount,
                              const DestinationEntry& entry);
    // Makes the description show entry again: its city, street (or the entry's location as a
    // point destination) and house number.
    void DescriptionFromEntry(const DestinationEntry& entry);
    // A location for the description: the street at its house number, else the city; the entry
    // carries the city name, the street's own name and the number. No location when neither.
    [[nodiscard]] DestinationEntry EntryFromDescription(const DestinationDescription& description);
    // The server's traffic event (its traffic thread): asks this thread for one re-plan.
    void OnTrafficJamOnRoute();
    // Closes the GPS-wait dialog when one is shown (it then ends with -1); any thread.
    void CloseGpsWait();
    // The GPS state monitor's fix class: class 2 closes the GPS-wait dialog.
    void OnFixClass(const int* fixClass);

    // Seams and views for the tests.
    static void SetFailureDialog(FailureDialog dialog);
    [[nodiscard]] HWND GetGpsWaitWindow();
    [[nodiscard]] DestinationDescription& GetDescription() { return m_description; }
    [[nodiscard]] std::vector<DestinationEntry>& GetStops() { return m_stops; }
    [[nodiscard]] int GetStopIndex() const { return m_stopIndex; }
    [[nodiscard]] int GetFailingIndex() const { return m_failingIndex; }
    [[nodiscard]] bool IsBackChosen() const { return m_backChosen; }
    [[nodiscard]] bool IsMainPageShown() const { return m_mainPageShown; }
    [[nodiscard]] DestinationInputPage* GetMainPage() const { return m_mainPage.get(); }
    [[nodiscard]] CNMapPage* GetMapPage() const { return m_mapPage.get(); }
    [[nodiscard]] NavShowPage* GetDestinationMapPage() const { return m_destinationMapPage.get(); }
    [[nodiscard]] OptionsPage* GetOptionsPage() const { return m_optionsPage.get(); }
    [[nodiscard]] RouteCalcPage* GetRouteCalcPage() const { return m_routeCalcPage.get(); }
    [[nodiscard]] RouteList* GetRouteListPage() const { return m_routeListPage.get(); }
    [[nodiscard]] ExtContactDlg* GetContactsPage() const { return m_contactsPage.get(); }
    [[nodiscard]] MovingMap* GetMovingMapPage() const { return m_movingMapPage.get(); }

    // The routing choices of an options page: the road kinds are the negations of its switches.
    void TakeOptions(const OptionsPage& page);

protected:
    // Refreshes the routing choices from the options page, unless they were taken already.
    void RefreshOptions();
    // The page switching shared by the modes (without the options refresh).
    void HandlePageCommand(int code, HWND callerWindow);
    // Shows page and remembers it as the page shown last.
    void ShowPage(PageBase* page);
    static void HideWindow(HWND window);
    [[nodiscard]] static HWND WindowOf(PageBase* page);
    [[nodiscard]] static bool IsVisible(PageBase* page);
    // Sends WM_ACTIVATE (0x10001) to page and brings it to the front; false when it is hidden.
    static bool BringToFront(PageBase* page);
    // Shows the destination map page centred on the point (element id or 0).
    void ShowDestinationMap(float x, float y, std::uint32_t elementId);
    void ConnectFixClass();
    // The server's options with BuildRouteOptions applied, handed back to the server.
    void ApplyRouteOptions();
    // Runs request and then hides caller when request showed another page; true when it showed
    // one.
    bool RunAndLeave(HWND caller, const std::function<void()>& request);
    [[nodiscard]] const Onboard::OnboardServerPtr& GetServer() const { return m_server; }
    [[nodiscard]] const six::RefCntPtr<MapEngineFacade>& GetFacade() const { return m_facade; }
    [[nodiscard]] HWND GetMainWindow() const { return m_mainWindow; }

    // Page slots, in their order.
    std::unique_ptr<ExtContactDlg> m_contactsPage;
    std::unique_ptr<NavShowPage> m_destinationMapPage;
    std::unique_ptr<DestinationInputPage> m_mainPage;
    std::unique_ptr<RouteCalcPage> m_routeCalcPage;
    std::unique_ptr<CNMapPage> m_mapPage;
    std::unique_ptr<OptionsPage> m_optionsPage;
    std::unique_ptr<RouteList> m_routeListPage;
    std::unique_ptr<MovingMap> m_movingMapPage;

    HWND m_lastShown = nullptr;
    bool m_mainPageShown = false;
    int m_stopIndex = -1;
    bool m_optionsTaken = false;
    bool m_tourOptions = false;
    bool m_backChosen = false;
    int m_failingIndex = -1;
    DestinationDescription m_description;
    std::vector<DestinationEntry> m_stops;

private:
    // Passes the key to the map view of each shown map page; true when there was one.
    bool ForwardKeyToMaps(WPARAM key);
    // The destination of the next request: the current stop, the picked point, a location made
    // from the description, or the description's location.
    [[nodiscard]] DestinationEntry CurrentDestination();
    void OnReplanMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void Replan();
    // Plans the route to the current destination and shows it; the status of the request. A tour
    // stop that lies where the car is (status 5) is no failure but reached: nothing is shown.
    std::uint32_t PlanRoute(bool addToRecent, bool isTourStop);
    // Around each route request: a re-plan asked for meanwhile (the progress dialog dispatches
    // messages while the server calculates) waits until the request has returned.
    void BeginRequest() { ++m_requestDepth; }
    void EndRequest();
    [[nodiscard]] bool HasListEntry(const std::u16string& file, const std::u16string& section);
    void ShowGpsWait(bool& cancelled);

    OwnerHandlerList m_handlers;
    WindowHandle m_window; // hidden; receives kReplanMessage
    std::atomic<HWND> m_replanWindow{nullptr};
    std::atomic<bool> m_replanPending{false};
    int m_requestDepth = 0;
    bool m_replanDeferred = false;
    ApplicationInterface* m_application = nullptr;
    bool m_trafficConnected = false;
    bool m_fixClassConnected = false;
    bool m_dynamicRoute = false;
    bool m_avoidHighways = false;
    bool m_avoidFerries = false;
    bool m_avoidTolls = false;
    bool m_quickest = false;
    float m_optionsValue = -1.0f;
    int m_busy = 0;
    std::mutex m_gpsWaitLock;
    NavWithoutGPSDlg* m_gpsWait = nullptr;
    HWND m_mainWindow = nullptr;
    Onboard::OnboardServerPtr m_server;
    six::RefCntPtr<MapEngineFacade> m_facade;
    std::u16string m_text;
    bool m_startSideFailure = false;
    const MatchedPosition* m_position = nullptr;
    bool m_isStarted = false;
    bool m_isDeactivated = false;
};
