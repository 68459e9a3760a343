#include "app/startup/receiversupervisor.h"

#include "positioning/gpssettings.h"
#include "traffic/tmcreceiver.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/format.h"
#include "platform/kernel/sync.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Posted to the supervisor's own window while positions wait for the user-interface thread.
constexpr UINT kPositionsMessage = WM_USER + 1;

// The TMC monitor's receiver states.
constexpr int kStateNotAvailable = 1;
constexpr int kStateRunning = 2;
constexpr int kStateTmcReceived = 3;
// The receiver's TMC reception state once TMC data arrives.
constexpr int kTmcReceived = 2;

constexpr std::size_t kStatusTextCapacity = 256;

constexpr char16_t kPreferences[] = u"Preferences";
// The GPS settings file of the navigation server's GPS manager, beside the program.
constexpr char16_t kGpsSettingsFile[] = u"deziv.ini";
constexpr char16_t kLastKnownFrequency[] = u"LastKnownTMCFreq";

// Rewrites the settings file only when the stored value differs: the station is announced
// every few seconds while TMC is received, and a rewrite replaces the whole file.
void StoreFrequency(DWORD frequency) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    const std::u16string value = platform::FormatW(u"%d", static_cast<INT>(frequency));
    if (IniProfile::GetString(kPreferences, kLastKnownFrequency, settings.c_str(), nullptr) ==
        value) {
        return;
    }
    (void)IniProfile::WriteString(kPreferences, kLastKnownFrequency, value.c_str(),
                                  settings.c_str());
}

} // namespace

ReceiverSupervisor::ReceiverSupervisor(Onboard::OnboardServerPtr server,
                                       const CountedPtr<GpsTmcAdapter>& receiver, bool isSimulation)
    : m_server(std::move(server))
    , m_receiver(receiver)
    , m_isSimulation(isSimulation) {
    m_quitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_stopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ConnectMessageHandler(m_window.map, kPositionsMessage, this,
                          &ReceiverSupervisor::OnPositionsPosted);
    (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"ReceiverSupervisor", 0, 0, 0, 1, 1,
                          nullptr, nullptr, platform::ResourceInstance(), &m_window);
    if (m_window.window != nullptr) {
        ShowWindow(m_window.window, SW_HIDE);
    }
    if (m_server) {
        m_server->PositionEvent.Connect(this, &ReceiverSupervisor::OnServerPosition);
    }
    if (m_receiver) {
        m_receiver->GetStationSignal().Connect(this, &ReceiverSupervisor::ShowTmcFrequency);
        m_receiver->GetNotificationSignal().Connect(this, &ReceiverSupervisor::OnReceiverLost);
    }
}

ReceiverSupervisor::~ReceiverSupervisor() {
    if (m_quitEvent != nullptr) {
        (void)SetEvent(m_quitEvent);
    }
    (void)EndThread();
    if (m_server) {
        m_server->PositionEvent.Disconnect(this);
    }
    if (m_receiver) {
        m_receiver->GetStationSignal().Disconnect(this);
        m_receiver->GetNotificationSignal().Disconnect(this);
    }
    DisconnectMessageHandlers(m_window.map, this);
    {
        ScopedLock locked(&m_receiverLock);
        m_gps.Release();
    }
    for (HANDLE event : {m_quitEvent, m_stopEvent}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

MatchedPosition ReceiverSupervisor::NoReceiverPosition() {
    MatchedPosition position{};
    position.fix.hdop = GpsFix::kHdopNoData;
    return position;
}

void ReceiverSupervisor::SetReceiverLost(bool isLost, int state) {
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.SetReceiverFlag(isLost ? 1 : 0);
    monitor.SetReceiverState(state);
}

int ReceiverSupervisor::ReadTmcHealth() const {
    return m_receiver ? m_receiver->GetTmcHealth() : 0;
}

// ---- Starting the receiver ----

std::vector<std::u16string> ReceiverSupervisor::FindUnusableFiles() const {
    std::vector<std::u16string> files;
    const std::u16string settings = AppPaths::MakeFullPath(kGpsSettingsFile);
    if (m_server && !gpssettings::IsUsable(settings)) {
        files.push_back(settings);
    }
    if (m_isSimulation && m_receiver) {
        std::u16string scenario = m_receiver->GetUnusableScenarioFile();
        if (!scenario.empty()) {
            files.push_back(std::move(scenario));
        }
    }
    return files;
}

bool ReceiverSupervisor::StartReceiver(bool simulation) {
    ScopedLock locked(&m_receiverLock);
    m_isSimulation = simulation;
    GpsReceiverPtr gps;
    if (m_server) {
        m_server->OpenAlternativeGps(gps);
    }
    m_gps = gps;
    if (m_receiver) {
        m_receiver->Close();
    }
    const std::u16string serverSettings = AppPaths::GetServerSettingsFilePath();
    const bool isAutoLog = IniProfile::GetInt(u"GPS", u"AutoLog", serverSettings.c_str(), 0) == 1;
    SetReceiverLost(false, kStateRunning);

    int port = 0;
    int frequency = kLowestFrequency;
    if (!simulation) {
        port = m_comPort.load();
        const std::u16string settings = AppPaths::GetSettingsFilePath();
        frequency = std::max(IniProfile::GetInt(kPreferences, kLastKnownFrequency, settings.c_str(),
                                                kLowestFrequency),
                             kLowestFrequency);
    }
    // Opened before the TMC receiver takes it with supervision: the tuner supervisor checks at
    // once on its own thread, and a check of the receiver still closed would search for another
    // station and leave the one the receiver opens on, or not, as the threads happened to run.
    const bool isOpen = m_receiver && m_receiver->Open(port, kBaudRate, isAutoLog, frequency);
    if (m_server) {
        if (const six::RefCntPtr<TmcReceiver> tmc = m_server->GetTmcReceiver()) {
            tmc->SetReplayRate(kLiveTmcRate);
            tmc->UseReceiverLibrary(true);
        }
    }
    if (isOpen) {
        // In simulation a replayed drive is where the car is: it goes on from where the car
        // stood instead of giving way to the simulated receiver's own fixes.
        if (!simulation || !m_gps || !m_gps->IsReadingHandle()) {
            UseLiveGps();
        }
        if (m_gps && isAutoLog) {
            (void)m_gps->OpenRawLog(AppPaths::MakeGpsLogFileName());
        }
        return true;
    }
    SetReceiverLost(true, kStateNotAvailable);
    StartThreadIfAllowed();
    return false;
}

void ReceiverSupervisor::UseLiveGps() {
    if (m_gps) {
        m_gps->UseReceiverLibrary();
        m_gps->SetSentenceRate(kLiveSentenceRate);
    }
}

GpsReceiverPtr ReceiverSupervisor::GetGpsReceiver() {
    ScopedLock locked(&m_receiverLock);
    return m_gps;
}

void ReceiverSupervisor::OnReceiverLost() {
    SetReceiverLost(true, kStateNotAvailable);
    PublishForMonitor(NoReceiverPosition());
    // This is the user-interface thread: the loss shows at once, the posted message finds
    // nothing left.
    OnPositionsPosted(kPositionsMessage, 0, 0, nullptr, nullptr);
    StartThreadIfAllowed();
}

// ---- The reconnect thread ----

void ReceiverSupervisor::StartThreadIfAllowed() {
    if (m_isSimulation.load() || m_isReconnectSuppressed || m_isThreadRunning.load()) {
        return;
    }
    StartThread();
}

void ReceiverSupervisor::StartThread() {
    JoinThread(); // one that ended by itself
    if (m_stopEvent == nullptr || m_quitEvent == nullptr) {
        return;
    }
    (void)ResetEvent(m_stopEvent);
    m_isThreadRunning = true;
    m_thread = CreateThread(nullptr, 0, &ReceiverSupervisor::ReconnectThreadProc, this, 0, nullptr);
    if (m_thread == nullptr) {
        m_isThreadRunning = false;
    }
}

bool ReceiverSupervisor::EndThread() {
    const bool wasRunning = m_isThreadRunning.load();
    if (wasRunning && m_stopEvent != nullptr) {
        (void)SetEvent(m_stopEvent);
    }
    JoinThread();
    return wasRunning;
}

void ReceiverSupervisor::JoinThread() {
    if (m_thread != nullptr) {
        (void)WaitForSingleObject(m_thread, INFINITE);
        (void)CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

DWORD ReceiverSupervisor::ReconnectThreadProc(LPVOID parameter) {
    auto* supervisor = static_cast<ReceiverSupervisor*>(parameter);
    supervisor->RunReconnectLoop();
    supervisor->m_isThreadRunning = false;
    return 0;
}

void ReceiverSupervisor::RunReconnectLoop() {
    for (;;) {
        if (WaitForSingleObject(m_quitEvent, 0) == WAIT_OBJECT_0) {
            return;
        }
        if (WaitForSingleObject(m_stopEvent, kReconnectWaitMs) != WAIT_TIMEOUT) {
            return;
        }
        ScopedLock locked(&m_receiverLock);
        PublishForMonitor(NoReceiverPosition());
        if (!m_receiver || !m_receiver->Reopen()) {
            continue;
        }
        GpsReceiverPtr gps;
        if (m_server) {
            m_server->OpenAlternativeGps(gps);
        }
        m_gps = gps;
        UseLiveGps();
        if (m_receiver->GetRdsHealth() >= 1) {
            TmcMonitor::Instance().SetReceiverFlag(0);
        }
        return;
    }
}

bool ReceiverSupervisor::IsReconnectWaiting() const {
    return m_stopEvent != nullptr && platform::WaitsInProgress(m_stopEvent) > 0;
}

void ReceiverSupervisor::ControlReconnectThread(bool stop) {
    if (stop) {
        m_isReconnectSuppressed = true;
        if (EndThread()) {
            m_isRestartPending = true;
        }
        return;
    }
    if (!m_isSimulation.load() && m_isRestartPending && !m_isThreadRunning.load()) {
        StartThread();
    }
    m_isRestartPending = false;
    m_isReconnectSuppressed = false;
}

void ReceiverSupervisor::StopReconnectThread() {
    (void)EndThread();
}

// ---- Timers ----

void ReceiverSupervisor::OnReceiverTimer() {
    NoteSilence();
    if (TmcMonitor::Instance().GetReceiverFlag() != 0) {
        if (m_receiver && m_receiver->GetTmcHealth() == kTmcReceived) {
            SetReceiverLost(false, kStateRunning);
        } else {
            SetReceiverLost(true, kStateNotAvailable);
        }
        return;
    }
    if (!m_isSimulation.load()) {
        RunWatchdog();
    }
    if (!m_receiver) {
        return;
    }
    const int health = m_receiver->GetTmcHealth();
    if (health == 0 || health == 1) {
        SetReceiverLost(false, kStateRunning);
    } else if (health == kTmcReceived) {
        SetReceiverLost(false, kStateTmcReceived);
    }
}

void ReceiverSupervisor::RunWatchdog() {
    // A receiver that repeats one fix time has stopped delivering; a time of 0 (none in the
    // sentence) and the first tick say nothing.
    const std::uint32_t current = m_lastPosition.fix.utcTime;
    if (m_lastFixTime != -1 && current != 0) {
        m_watchdogTicks = current == m_lastFixTime ? m_watchdogTicks + 1 : 0;
    }
    m_lastFixTime = current;
    if (m_watchdogTicks >= kWatchdogTicks) {
        m_watchdogTicks = 0;
        StartThreadIfAllowed();
    }
}

void ReceiverSupervisor::NoteSilence() {
    // A source that delivers no position any more (a replay file without a sentence of the
    // protocol, a device that stopped) leaves the last one behind: its fix is no longer true.
    if (m_silentTicks >= kSilentTicks || ++m_silentTicks < kSilentTicks) {
        return;
    }
    const int fixClass = GpsStateMonitor::Instance().GetFixClass();
    if (fixClass == 1 || fixClass == 2) {
        GpsStateMonitor::Instance().OnPosition(NoReceiverPosition());
    }
}

void ReceiverSupervisor::OnClearRouteTimer(HWND window) {
    if (m_server) {
        m_server->ClearRoute();
    }
    (void)KillTimer(window, kClearRouteTimer);
}

// ---- Positions and the tuner ----

void ReceiverSupervisor::OnServerPosition(const MatchedPosition* position) {
    if (position == nullptr) {
        return;
    }
    bool isToPost = false;
    {
        std::lock_guard lock(m_pendingLock);
        m_pending.server = *position;
        m_pending.monitor = *position;
        m_pending.hasServer = true;
        m_pending.hasMonitor = true;
        isToPost = !std::exchange(m_isPosted, true);
    }
    if (isToPost && !PostMessageW(m_window.window, kPositionsMessage, 0, 0)) {
        std::lock_guard lock(m_pendingLock);
        m_isPosted = false;
    }
}

void ReceiverSupervisor::PublishForMonitor(const MatchedPosition& position) {
    bool isToPost = false;
    {
        std::lock_guard lock(m_pendingLock);
        m_pending.monitor = position;
        m_pending.hasMonitor = true;
        isToPost = !std::exchange(m_isPosted, true);
    }
    if (isToPost && !PostMessageW(m_window.window, kPositionsMessage, 0, 0)) {
        std::lock_guard lock(m_pendingLock);
        m_isPosted = false;
    }
}

void ReceiverSupervisor::OnPositionsPosted(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    PendingPositions taken;
    {
        std::lock_guard lock(m_pendingLock);
        taken = std::exchange(m_pending, PendingPositions{});
        m_isPosted = false;
    }
    if (handled != nullptr) {
        *handled = true;
    }
    if (taken.hasServer) {
        m_lastPosition = taken.server;
        m_silentTicks = 0;
    }
    if (taken.hasMonitor) {
        GpsStateMonitor::Instance().OnPosition(taken.monitor);
    }
    if (taken.hasServer && m_distanceHook && taken.server.fix.hdop >= 0.0F &&
        taken.server.street != MatchedPosition::kNoStreet) {
        m_distanceHook(taken.server.matched.x, taken.server.matched.y);
    }
}

// The station signal passes the name by value.
void ReceiverSupervisor::ShowTmcFrequency(
    DWORD frequency, DWORD programmeId,
    std::u16string stationName) { // NOLINT(performance-unnecessary-value-param)
    (void)programmeId;
    if (frequency == 0) {
        return;
    }
    std::array<WCHAR, kStatusTextCapacity + 1> text{};
    (void)swprintf(text.data(), text.size(), u"%s %4.1f MHz", stationName.c_str(), frequency * 0.1);
    TmcMonitor::Instance().SetStatusText(text.data());
    if (ReadTmcHealth() == kTmcReceived) {
        StoreFrequency(frequency);
    }
}

void ReceiverSupervisor::OnQuit() {
    if (m_quitEvent != nullptr) {
        (void)SetEvent(m_quitEvent);
    }
    if (m_stopEvent != nullptr) {
        (void)SetEvent(m_stopEvent);
    }
    JoinThread();
    if (m_receiver) {
        if (m_receiver->GetTmcHealth() == kTmcReceived) {
            StoreFrequency(m_receiver->ReadTunerFrequency());
        }
        m_receiver->Close();
    }
}
