#pragma once
// The navigation map page: map view, junction schematic and distance bar in "RealArea", the
// current and next street, the switchable distance field and the buttons "Stop", "BlockStreet"
// and "Logging". It follows the server's position, advice and route events, speaks the
// announcements, reports the arrival and blocks streets ahead on request.
//
// Threads: the window, the views and every page operation belong to the user-interface thread.
// The server's handlers (GPS worker, route thread) and the page's two worker threads (the
// announcement and the street block) only keep the newest position, advice and route, the
// pending announcement and the blocked geometries under the page's locks and post messages;
// the user-interface thread does the rest. StopGuidance and the destructor join both workers.

#include "advisor/advice.h"
#include "app/pages/distancefield.h"
#include "junctionview/windows/distancebar.h"
#include "junctionview/windows/schematicwnd.h"
#include "mapdisplay/mapenginefacade.h"
#include "mapdisplay/mapview.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/critsect.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class ModeController;

// Set while a demonstration drive started from the route list runs; the arrival ends it.
[[nodiscard]] std::atomic<bool>& DemonstrationDriveRunning();

// A street name as shown: up to the first "/U".
[[nodiscard]] std::u16string CutStreetName(std::u16string_view name);
// An announcement as spoken: up to the first "@"; arrival tells whether there was one. An
// arrival is always said: where nothing comes before its "@", the words after it, and where
// nothing follows either, the destination reached.
[[nodiscard]] std::u16string CutAnnouncement(std::u16string_view text, bool& arrival);

class CNMapPage final : public PageBase, public IMapViewListener {
public:
    static constexpr UINT kPageId = 420;
    static constexpr int kRealAreaKey = 1057;
    static constexpr UINT kNextStreetId = 1064;
    static constexpr UINT kCurrentStreetId = 1065;
    static constexpr UINT kDistLabelId = 554;
    static constexpr UINT kDistValueId = 1045;
    static constexpr UINT kStopId = 583;
    static constexpr UINT kBlockStreetId = 1121;
    static constexpr UINT kLoggingId = 1122;
    static constexpr UINT_PTR kStopTimer = 1;
    static constexpr UINT kStopDelayMs = 100;

    // Messages of the page.
    static constexpr UINT kRedrawMessage = 0x400;  // the newest position reached the page
    static constexpr UINT kArrivalMessage = 0x402; // the destination is reached
    static constexpr UINT kSayMessage = 0x404;     // speak the pending announcement
    static constexpr UINT kRepeatMessage = 0x405;  // stop the voice, then speak it
    static constexpr UINT kBlockedMessage = 0x406; // the blocked geometries changed
    static constexpr UINT kRouteMessage = 0x408;   // a new route from the server
    static constexpr UINT kAdviceMessage = 0x409;  // a new advice from the server
    static constexpr UINT kProgressOpenMessage = 0x40A;
    static constexpr UINT kProgressCloseMessage = 0x40B;

    // Stop dialog answers.
    static constexpr int kAnswerNewDestination = 534;
    static constexpr int kAnswerMenu = 470;
    static constexpr int kAnswerNextDestination = 1150;
    static constexpr int kAnswerMap = 430;
    static constexpr int kAnswerContinue = 535;

    // Block limits in metres.
    static constexpr double kMinBlockMetres = 100.0;
    static constexpr double kMaxBlockMetres = 100000.0;

    // mode: not owned; facade: the map display facade for the view and the schematic window.
    CNMapPage(ModeController* mode, Onboard::OnboardServerPtr server,
              six::RefCntPtr<MapEngineFacade> facade);
    ~CNMapPage() override;

    [[nodiscard]] UINT GetTitleId() override { return kPageId; }

    // A route calculated by the mode: shown, guidance connected.
    void ShowRoute(const RouteRequestResult& result);
    // Connects the handlers not yet connected; whether advice and route were newly connected.
    bool ConnectServerEvents();
    // Whether the advice and route handlers were connected (and are no longer).
    bool DisconnectGuidanceEvents();
    // Logbook stop, block lifted, all handlers off, workers joined; whether the position handler
    // had been connected.
    bool StopGuidance();
    void StopNavigation(bool confirm);
    void ToggleStreetBlock(bool confirm);
    void StartAnnounceThread();

    // Server handlers (GPS worker and route threads).
    void OnPosition(const MatchedPosition* position);
    void OnAdvice(AdvicePtr advice);
    void OnRouteChanged(const RouteRequestResult* result);

    // IMapViewListener, shared with the schematic window and the distance bar.
    void OnKey(UINT key) override;
    bool OnTap() override;
    void OnMapOpened() override {}
    void OnMapClosed() override {}
    void OnBarButton() override { StartAnnounceThread(); }

    // Blocked geometries kept for the map view.
    [[nodiscard]] std::vector<std::vector<GeoPoint>> GetBlockedLines();
    [[nodiscard]] bool IsStreetBlocked() const { return m_streetBlocked; }
    [[nodiscard]] bool IsArrowMode() const { return m_arrowMode; }
    [[nodiscard]] bool IsGuidanceConnected();
    [[nodiscard]] bool IsPositionConnected();
    [[nodiscard]] MapView* GetMapView() const { return m_view.get(); }
    [[nodiscard]] ISchematicWnd* GetSchematic() const { return m_schematic.get(); }
    [[nodiscard]] IDistanceBar* GetDistanceBar() const { return m_bar.get(); }
    [[nodiscard]] DistanceField& GetDistanceField() { return m_field; }
    [[nodiscard]] GpsReceiverPtr GetReplayDevice() const { return m_replay; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowWindow(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnLButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnRedraw(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnArrival(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    // The mode's next tour stop routed and guided; the route shown before is cleared and a
    // block lifted.
    void GuideToNextStop();
    void OnSay(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnRepeat(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnBlocked(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnRouteMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnAdviceMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    // The advice on the map, the junction view, the distance bar, the next street and the
    // distance field (user-interface thread).
    void ShowAdvice(const AdvicePtr& advice);
    // The advice at the position now, as the route is applied.
    void ShowAdviceAtPosition();
    void OnProgressOpen(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnProgressClose(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    // Simulation and replay keys; true when the key was one (its box or dialog shown), whether
    // the user confirmed or cancelled it: a cancelled box leaves the page as it was, and the
    // key's meaning on the page ('S' stop, 'T' night, 'N' north-up) does not follow it.
    bool HandleSimulationKey(UINT key);
    void ApplyPreferences();
    void ApplyArrowLayout();
    void PlaceViews();
    void RefreshDistanceTexts();
    void ApplyRoute(const RouteRequestResult& result);
    // The route ShowRoute was given before the page had its window, once the view has one.
    void ApplyKeptRoute();
    void EndDemonstrationDrive();
    void StartStreetBlockThread(std::int32_t metres);
    void JoinWorkers();
    void AnnounceThreadProc();
    static DWORD AnnounceThreadStart(LPVOID page);
    void JoinAnnounceThread();
    // Once the guidance handlers and the workers are gone: the announcements waiting for their
    // 0x404, the text waiting for its 0x405 and the advice waiting for its message are dropped,
    // so that nothing is said or shown for guidance that has ended.
    void DropPendingGuidance();
    void StreetBlockThreadProc(std::int32_t metres);
    static DWORD StreetBlockThreadStart(LPVOID page);
    void JoinStreetBlockThread();
    [[nodiscard]] HWND Item(UINT id) const;

    ModeController* m_mode;
    Onboard::OnboardServerPtr m_server;
    six::RefCntPtr<MapEngineFacade> m_facade;
    GpsReceiverPtr m_replay;
    std::unique_ptr<MapView> m_view;
    std::unique_ptr<ISchematicWnd> m_schematic;
    std::unique_ptr<IDistanceBar> m_bar;
    DistanceField m_field;
    // Threads of the platform's: a clock stepped by a script waits for each to end, as for the
    // other threads a step sets off, before it moves.
    HANDLE m_announceThread = nullptr;
    HANDLE m_blockThread = nullptr;
    std::int32_t m_blockMetres = 0; // the block thread's distance (0: lift the block)
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
    HFONT m_streetFont = nullptr;
    bool m_arrowMode = false;
    bool m_alwaysNorth = true;
    bool m_firstSizeDone = false;
    bool m_firstActivationDone = false;
    bool m_initialRoute = false;
    bool m_streetBlocked = false;
    bool m_delayedStop = false;
    std::atomic<bool> m_routeShown{false};

    CritSect m_positionLock; // the newest position and the scale value
    MatchedPosition m_position{};
    bool m_hasPosition = false;
    std::int32_t m_scaleValue = 0;

    CritSect m_redrawLock;
    bool m_redrawAllowed = false;

    CritSect m_eventLock;
    bool m_positionConnected = false;
    bool m_guidanceConnected = false;

    CritSect m_streetLock;
    std::u16string m_currentStreet;
    std::u16string m_nextStreet;
    bool m_currentStreetChanged = false;

    // Announcements waiting for their 0x404, in order (two may arrive before the first is
    // said), and the one the announcement thread asked to repeat.
    CritSect m_announceLock;
    std::deque<std::u16string> m_announcements;
    std::u16string m_repeat;
    std::u16string m_arrivalWords; // said by the arrival's 0x402

    CritSect m_blockLock;
    std::vector<std::vector<GeoPoint>> m_blockedLines;

    CritSect m_routeLock; // route and advice handed over to the user-interface thread
    std::unique_ptr<RouteRequestResult> m_pendingRoute;
    // User-interface thread: a route shown before the map view could draw it.
    std::unique_ptr<RouteRequestResult> m_keptRoute;
    AdvicePtr m_pendingAdvice;
    bool m_advicePosted = false;

    std::unique_ptr<class ProgressDlg> m_progress;
};
