// The main menu window's commands, activation, mode bookkeeping and keys.
#include "app/startup/gpssimulationdlg.h"
#include "app/startup/mainmenuwnd.h"
#include "app/startup/modalwindow.h"
#include "app/startup/replayfilecheck.h"
#include "positioning/gpstmcadapter.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/pagebase.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"

#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <cmath>
#include <optional>

namespace {

constexpr char16_t kGermanReplayFilter[] = u"Textdateien (*.txt)|*.txt|Alle Dateien (*.*)|*.*||";

// The command after id in the focus ring; 0 for an id outside it.
UINT NextInRing(UINT id) {
    switch (id) {
    case 585:
        return 420;
    case 420:
        return 430;
    case 430:
        return 1102;
    case 1102:
        return 440;
    case 440:
        return 450;
    case 450:
        return 460;
    case 460:
        return 420;
    default:
        return 0;
    }
}

std::u16string ReplayFilter() {
    WCHAR text[128] = {};
    const int length =
        LoadStringW(platform::ResourceInstance(), MainMenuWnd::kReplayFilterText, text, 128);
    return length > 0 ? std::u16string(text, static_cast<std::size_t>(length))
                      : std::u16string(kGermanReplayFilter);
}

void InvalidateChild(HWND parent, UINT id) {
    HWND child = GetDlgItem(parent, static_cast<int>(id));
    if (child == nullptr)
        return;
    RECT rect{};
    GetWindowRect(child, &rect);
    ScreenRectToClient(parent, &rect);
    InvalidateRect(parent, &rect, FALSE);
}

} // namespace

void MainMenuWnd::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool* handled) {
    if (SendFocusMove(mainHandle.window, wParam, lParam)) {
        *handled = true;
        return;
    }
    if (wParam == VK_F1)
        OpenOnlineHelp();
    else
        OnDebugKey(static_cast<UINT>(wParam));
    *handled = true;
}

void MainMenuWnd::MoveFocus(UINT from) {
    const UINT next = NextInRing(from);
    if (next == 0)
        return;
    HWND window = mainHandle.window;
    InvalidateChild(window, from);
    InvalidateChild(window, next);
    // From 430 the moving-map button is skipped while it is disabled, so that the focus ring
    // goes on at 440 as the focused command does.
    const UINT target = (next == 1102 && !IsControlEnabled(1102)) ? 440 : next;
    InvalidateChild(window, target);
    HWND child = GetDlgItem(window, static_cast<int>(target));
    if (child != nullptr)
        SetFocus(child);
    m_focusedCommand = target;
}

void MainMenuWnd::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    ScopedWaitCursor wait;
    const UINT id = LOWORD(wParam);
    if (HIWORD(wParam) == kFocusMoveNotification) {
        MoveFocus(id);
        *handled = true;
        return;
    }
    if (NextInRing(id) == 0)
        return;
    m_focusedCommand = id;
    switch (id) {
    case 585:
        RunMapList();
        break;
    case 420:
        if (m_server)
            OpenMode(m_navigationMode, GetShellFactories().navigationMode,
                     {&m_tourMode, &m_movingMapMode}, true);
        break;
    case 430:
        OpenMode(m_tourMode, GetShellFactories().tourMode, {&m_navigationMode, &m_movingMapMode},
                 true);
        break;
    case 1102:
        OpenMode(m_movingMapMode, GetShellFactories().movingMapMode, {&m_navigationMode}, true);
        break;
    case 440:
        OpenPresettings();
        break;
    case 450:
        OpenOnlineHelp();
        break;
    case 460:
        if (m_supervisor)
            m_supervisor->OnQuit();
        ConvertLogbook();
        Quit();
        break;
    default:
        break;
    }
    if (id != 430 && id != 1102) {
        *result = 0;
        *handled = true;
    }
}

void MainMenuWnd::OpenMode(std::unique_ptr<MenuMode>& slot, const ShellFactories::ModeFactory& make,
                           std::initializer_list<std::unique_ptr<MenuMode>*> others,
                           bool deactivateSheet) {
    if (deactivateSheet && m_presettings)
        m_presettings->Deactivate();
    for (std::unique_ptr<MenuMode>* other : others) {
        if (*other)
            (*other)->Deactivate(nullptr);
    }
    // A mode of the same kind goes first, so that nothing leaks and the later WM_USER+1 cannot
    // delete the new one.
    if (slot) {
        if (!slot->IsDeactivated())
            slot->Deactivate(nullptr);
        slot.reset();
    }
    if (!make)
        return;
    slot = make(MakeContext());
    if (slot)
        slot->Activate(-1, 0);
}

void MainMenuWnd::OpenPresettings() {
    for (std::unique_ptr<MenuMode>* mode : {&m_navigationMode, &m_tourMode, &m_movingMapMode}) {
        if (*mode)
            (*mode)->Deactivate(nullptr);
    }
    const auto& make = GetShellFactories().presettings;
    if (m_presettings || !make)
        return;
    std::vector<int> ports;
    for (int port = 1; port <= 16; ++port)
        ports.push_back(port);
    m_presettings = make(MakeContext(), ports, LoadPreferences());
    if (m_presettings)
        m_presettings->Start();
}

void MainMenuWnd::RunMapList() {
    const auto& make = GetShellFactories().mapList;
    if (!make)
        return;
    std::unique_ptr<ModalPage> dialog = make(m_server);
    if (!dialog)
        return;
    m_mapList = dialog.get();
    RunModalWindow(dialog->GetWindowHandle());
    m_mapList = nullptr;
}

ModeContext MainMenuWnd::MakeContext() {
    ModeContext context;
    context.server = m_server;
    context.lastPosition = m_supervisor ? m_supervisor->GetLastPosition() : nullptr;
    context.facade = m_facade;
    context.application = this;
    context.mainWindow = mainHandle.window;
    return context;
}

bool MainMenuWnd::RunLogbookDialog(HWND owner, bool end, bool interactive) {
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    return ::RunLogbookDialog(m_logbook, *m_logbookDialogs, owner, end, interactive,
                              m_supervisor ? m_supervisor->GetLastPosition() : nullptr,
                              engine.Get());
}

void MainMenuWnd::ConvertLogbook() {
    if (m_logbook.IsUsed())
        RunLogbookConversion(mainHandle.window, *m_logbookDialogs, m_logbookConverter);
}

void MainMenuWnd::Quit() {
    HWND window = mainHandle.window;
    KillTimer(window, ReceiverSupervisor::kReceiverTimer);
    TmcMonitor::Instance().CloseDialog();
    if (m_menuBar != nullptr) {
        DestroyWindow(m_menuBar);
        m_menuBar = nullptr;
    }
    if (m_hasHotKeys) {
        for (int id = 1; id <= 4; ++id)
            UnregisterHotKey(m_hotKeyWindow, id);
        m_hasHotKeys = false;
    }
    mainHandle.Destroy();
    PostQuitMessage(0);
}

void MainMenuWnd::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    const UINT state = LOWORD(wParam);
    HWND window = mainHandle.window;
    if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        HWND mapList = m_mapList != nullptr ? m_mapList->GetWindowHandle().window : nullptr;
        if (mapList != nullptr && IsWindowVisible(mapList)) {
            SendMessageW(mapList, WM_ACTIVATE, 0x10001, 0);
            SetForegroundWindow(mapList);
            *result = 0;
            *handled = true;
            return;
        }
        ShowTaskBar(window, false);
        // The window was made while the task bar showed; fitted to the work area it covers the
        // bar's strip too, which would otherwise keep what a closed page drew there.
        (void)FitWindowToWorkArea(window);
        if (m_presettings)
            m_presettings->ReActivate(-1);
        else if (m_navigationMode)
            m_navigationMode->Activate(-1, 0);
        else if (m_tourMode)
            m_tourMode->Activate(-1, 0);
        else if (m_movingMapMode)
            m_movingMapMode->Activate(-1, 0);
        *result = 0;
        *handled = true;
    } else if (state == WA_INACTIVE) {
        ShowTaskBar(window, true);
        SetLastActivePageWindow(window);
    }
    if (state == WA_ACTIVE) {
        TmcMonitor& monitor = TmcMonitor::Instance();
        // A mode's page brought forward above took the indicators for its own as it came: the
        // menu's take the monitors' notices only while the menu itself shows.
        if (GetActiveWindow() == window) {
            if (HWND tmc = GetDlgItem(window, 1143))
                monitor.SetOwnerWindow(tmc);
            if (HWND gps = GetDlgItem(window, 1138))
                GpsStateMonitor::Instance().SetIndicatorWindow(gps);
        }
        if (HWND page = monitor.GetVisibleDialogWindow()) {
            SendMessageW(page, WM_ACTIVATE, 0x10001, 0);
            SetForegroundWindow(page);
        }
    }
}

void MainMenuWnd::OnModeClosed(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    if (m_presettings) {
        if (wParam != 0) {
            if (m_supervisor)
                m_supervisor->StopReconnectThread();
            m_preferences = m_presettings->GetPreferences();
            SavePreferences(m_preferences);
            ApplyPreferences(*this, m_server, m_preferences);
        }
        m_presettings.reset();
    }
    {
        ScopedWaitCursor wait;
        for (std::unique_ptr<MenuMode>* mode : {&m_navigationMode, &m_tourMode, &m_movingMapMode}) {
            if (*mode && (*mode)->IsDeactivated())
                mode->reset();
        }
    }
    EnableWindow(mainHandle.window, TRUE);
    SetActiveWindow(mainHandle.window);
}

void MainMenuWnd::OnHotKey(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const UINT keys[] = {VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT};
    if (wParam < 1 || wParam > 4)
        return;
    const UINT key = keys[wParam - 1];
    bool isTaken = false;
    for (std::unique_ptr<MenuMode>* mode : {&m_navigationMode, &m_tourMode, &m_movingMapMode}) {
        if (*mode && (*mode)->OnKey(key))
            isTaken = true;
    }
    // The hot keys catch the arrows everywhere: where no map takes one (a list page, the map
    // list, the presettings), the window with the focus gets it as the key itself.
    if (!isTaken) {
        if (HWND focus = GetFocus(); focus != nullptr && focus != mainHandle.window)
            SendMessageW(focus, WM_KEYDOWN, key, 0);
    }
    *handled = true;
}

void MainMenuWnd::OnHelpMessage(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    if (m_presettings)
        m_presettings->ShowHelp();
    else if (m_navigationMode)
        m_navigationMode->ShowHelp();
    *handled = true;
}

void MainMenuWnd::OnFlushCache(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    FlushCache(m_server);
    *result = 0;
    *handled = true;
}

void MainMenuWnd::OnShowHelp(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    OpenOnlineHelp();
    *result = 0;
    *handled = true;
}

void MainMenuWnd::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (!m_supervisor)
        return;
    if (wParam == kLogbookTimer) {
        const RetrievalEngine::RetrievalEnginePtr engine =
            m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
        m_logbook.WriteStatusEntry(m_supervisor->GetLastPosition(), engine.Get());
        return;
    }
    if (wParam == ReceiverSupervisor::kReceiverTimer)
        m_supervisor->OnReceiverTimer();
    else if (wParam == ReceiverSupervisor::kClearRouteTimer)
        m_supervisor->OnClearRouteTimer(mainHandle.window);
}

void MainMenuWnd::ControlReconnectThread(bool stop) {
    if (m_supervisor)
        m_supervisor->ControlReconnectThread(stop);
}

bool MainMenuWnd::StartReceiverLocked(bool simulation) {
    if (!m_supervisor)
        return false;
    ScopedLock lock(&m_supervisor->GetReceiverLock());
    return m_supervisor->StartReceiver(simulation);
}

void MainMenuWnd::CloseReceiverObject() {
    GpsTmcAdapter::Instance()->Close();
}

// key is a key-down message's virtual key: letters come upper case only ('v' would be F7).
void MainMenuWnd::OnDebugKey(UINT key) {
    if (key == 'V' && (GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0) {
        VersionDlg version;
        (void)version.DoModal(mainHandle.window);
        return;
    }
    if (!HasGpsReceiver() || !m_isSimulation || !m_server)
        return;
    switch (key) {
    case 'L':
        ReplayFileKey(false);
        break;
    case 'R':
        m_server->CloseAlternativeGps();
        break;
    case 'P':
        PositionKey();
        break;
    case 'S':
        SpeedKey();
        break;
    case 'T':
        ReplayFileKey(true);
        break;
    default:
        break;
    }
}

void MainMenuWnd::ReplayFileKey(bool isTmc) {
    const std::optional<std::u16string> path = RequestOpenFile(mainHandle.window, ReplayFilter());
    if (!path)
        return;
    if (isTmc) {
        if (!m_tmcReceiver)
            return;
        m_tmcReceiver->SetReplayRate(0.2f);
        (void)m_tmcReceiver->OpenReplayFile(*path);
        (void)TellUnusableReplayFile(mainHandle.window, ReplayFileKind::Tmc, *path);
        return;
    }
    GpsReceiverPtr receiver;
    m_server->OpenAlternativeGps(receiver);
    if (receiver) {
        receiver->OpenReplayFile(*path);
        (void)TellUnusableReplayFile(mainHandle.window, ReplayFileKind::Gps, *path);
    }
}

void MainMenuWnd::PositionKey() {
    const GpsReceiverPtr receiver = m_supervisor->GetGpsReceiver();
    if (!receiver)
        return;
    AskReplayFilePosition(mainHandle.window, *receiver);
}

void MainMenuWnd::SpeedKey() {
    const GpsReceiverPtr receiver = m_supervisor->GetGpsReceiver();
    if (!receiver)
        return;
    GpsSimulationDlg dialog(558, static_cast<int>(receiver->GetSentenceRate()));
    if (dialog.DoModal(mainHandle.window) != 1)
        return;
    receiver->SetSentenceRate(static_cast<float>(dialog.GetValue()));
}
