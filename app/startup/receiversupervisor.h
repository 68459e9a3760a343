#pragma once
// Keeps the combined GPS/TMC receiver running for the main window: starts it with the user's
// port and the last known TMC frequency, notices its loss (the receiver's own signal, or a
// watchdog on the UTC times of the positions), reopens it from a reconnect thread every 3000 ms,
// shows its state through the TmcMonitor and the GpsStateMonitor and remembers the tuned
// frequency.
//
// Make, call and destroy it on the user-interface thread, except GetReceiverLock. The
// constructor connects the server's position event to OnServerPosition (GPS worker thread) and
// the receiver's station and notification signals to ShowTmcFrequency and OnReceiverLost; the
// destructor ends the reconnect thread and removes the connections. Positions from the worker
// and the reconnect thread are kept under a lock and handed on by one posted message at a time
// to the supervisor's own hidden window: the latest one reaches the GpsStateMonitor, the last
// position and the distance hook on the user-interface thread.

#include "onboard/onboardserver.h"
#include "positioning/gpsreceiver.h"
#include "positioning/gpstmcadapter.h"
#include "positioning/matchedposition.h"
#include "six/countedptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class ReceiverSupervisor {
public:
    // The main window's timers that belong here: the 1000 ms receiver tick and the one-shot
    // 3000 ms timer that the modes set to clear the route.
    static constexpr UINT_PTR kReceiverTimer = 2;
    static constexpr UINT kReceiverTimerMs = 1000;
    static constexpr UINT_PTR kClearRouteTimer = 13;
    static constexpr DWORD kReconnectWaitMs = 3000;
    // Receiver ticks with one unchanged fix time after which the receiver is reopened.
    static constexpr std::int32_t kWatchdogTicks = 30;
    // Receiver ticks without any position after which the GPS indicator no longer shows the
    // last one's fix (or its "no fix" from a talking receiver) but a receiver that is silent:
    // as late as a receiver stuck on one fix time shows its loss (the watchdog's ticks, then
    // the reconnect thread's first wait).
    static constexpr std::int32_t kSilentTicks =
        kWatchdogTicks + static_cast<std::int32_t>(kReconnectWaitMs / kReceiverTimerMs);
    // The lowest tuner frequency opened, in 0.1 MHz (87.5 MHz).
    static constexpr int kLowestFrequency = 875;
    static constexpr int kBaudRate = 38400;
    // Sentences a second asked of the GPS receiver when it reads the live receiver.
    static constexpr float kLiveSentenceRate = 6.0F;
    // Messages a second of the TMC receiver on live input.
    static constexpr float kLiveTmcRate = 1.0F;

    // Longitude and latitude in degrees of a delivered position with a fix that is matched to a
    // street; the logbook decides itself whether it runs.
    using DistanceHook = std::function<void(double longitude, double latitude)>;

    // server and receiver may be null (then nothing is started or connected for them).
    ReceiverSupervisor(Onboard::OnboardServerPtr server, const CountedPtr<GpsTmcAdapter>& receiver,
                       bool isSimulation);
    ~ReceiverSupervisor();
    ReceiverSupervisor(const ReceiverSupervisor&) = delete;
    ReceiverSupervisor& operator=(const ReceiverSupervisor&) = delete;

    // The port the receiver opens on (default 1) and the "TMC receiver wanted" preference
    // (kept here for the main window, default true).
    void SetComPort(int port) { m_comPort.store(port); }
    [[nodiscard]] int GetComPort() const { return m_comPort.load(); }
    void SetTmcReceiverWanted(bool isWanted) { m_isTmcReceiverWanted.store(isWanted); }
    [[nodiscard]] bool IsTmcReceiverWanted() const { return m_isTmcReceiverWanted.load(); }
    void SetDistanceHook(DistanceHook hook) { m_distanceHook = std::move(hook); }

    // The files that keep the receiver from giving positions, as device paths: the GPS settings
    // file "deziv.ini" when it is missing or does not define the protocol it names, and in
    // simulation the receiver's scenario file when the receiver could not start for it.
    [[nodiscard]] std::vector<std::u16string> FindUnusableFiles() const;

    // Serialises starting the receiver and the reconnect thread's attempts; any thread.
    [[nodiscard]] CritSect& GetReceiverLock() { return m_receiverLock; }

    // Opens the receiver (port 0 at 87.5 MHz in simulation, otherwise the COM port at
    // "LastKnownTMCFreq", at least 87.5 MHz) and makes it the GPS and TMC source (in simulation
    // a GPS replay that runs keeps the GPS: the car stays where the replay put it); true when it
    // opened. On failure the TMC indicator shows "not available" and, outside simulation and
    // unless suppressed, the reconnect thread starts. Takes the receiver lock (callers may hold
    // it).
    bool StartReceiver(bool simulation);
    // The receiver reported its loss: "not available", a no-receiver position for the GPS
    // indicator, and the reconnect thread.
    void OnReceiverLost();
    // The next two wait for the reconnect thread: call them without holding the receiver lock.
    // stop: suppresses automatic reconnection and ends a running reconnect thread (waiting for
    // it), remembering to restart it. !stop: restarts it when that was remembered (not in
    // simulation), then lifts the suppression.
    void ControlReconnectThread(bool stop);
    // Ends a running reconnect thread and waits for it (before preferences are applied).
    void StopReconnectThread();
    // Timer 2: a silent source, the lost flag, the watchdog and the TMC indicator.
    void OnReceiverTimer();
    // Timer 13: clears the route and kills the timer on window.
    void OnClearRouteTimer(HWND window);
    // The server's position event (GPS worker thread): kept for the user-interface thread.
    void OnServerPosition(const MatchedPosition* position);
    // The receiver's station signal: "<name> <MHz> MHz" as the TMC status text for a frequency
    // above 0 (0.1 MHz), stored as "LastKnownTMCFreq" once TMC data is received.
    void ShowTmcFrequency(DWORD frequency, DWORD programmeId, std::u16string stationName);
    // The receiver part of the quit command: ends the reconnect thread at once, stores the tuned
    // frequency when TMC data is received, closes the receiver. Later threads end at once. Call
    // it without holding the receiver lock.
    void OnQuit();

    // The last position of the server, updated on this thread; the address stays valid for the
    // supervisor's life (handed to the modes).
    [[nodiscard]] const MatchedPosition* GetLastPosition() const { return &m_lastPosition; }
    // The server's GPS receiver once the receiver was started; null before.
    [[nodiscard]] GpsReceiverPtr GetGpsReceiver();
    [[nodiscard]] bool IsReconnecting() const { return m_isThreadRunning.load(); }
    // True while the reconnect thread waits out its 3000 ms (for tests on a virtual clock).
    [[nodiscard]] bool IsReconnectWaiting() const;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    struct PendingPositions {
        MatchedPosition server{};  // the latest server position
        MatchedPosition monitor{}; // the latest position of any kind, for the GPS indicator
        bool hasServer = false;
        bool hasMonitor = false;
    };

    [[nodiscard]] static MatchedPosition NoReceiverPosition();
    void SetReceiverLost(bool isLost, int state);
    // Starts the reconnect thread unless in simulation, suppressed or already running.
    void StartThreadIfAllowed();
    void StartThread();
    // Sets the stop event and waits for the thread when one runs; true when one ran.
    bool EndThread();
    // Waits for an ended thread and closes its handle.
    void JoinThread();
    static DWORD ReconnectThreadProc(LPVOID parameter);
    void RunReconnectLoop();
    // Makes the server's GPS receiver read the receiver; under the receiver lock.
    void UseLiveGps();
    void PublishForMonitor(const MatchedPosition& position);
    void OnPositionsPosted(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                           bool* handled);
    void RunWatchdog();
    // Counts the ticks since the last position; at kSilentTicks the GPS indicator shows the
    // silence.
    void NoteSilence();
    [[nodiscard]] int ReadTmcHealth() const;

    OwnerHandlerList m_handlers;
    WindowHandle m_window; // receives the posted positions
    Onboard::OnboardServerPtr m_server;
    CountedPtr<GpsTmcAdapter> m_receiver;
    CritSect m_receiverLock; // guards m_gps and the receiver's opening
    GpsReceiverPtr m_gps;

    std::atomic<bool> m_isSimulation;
    std::atomic<int> m_comPort{1};
    std::atomic<bool> m_isTmcReceiverWanted{true};
    DistanceHook m_distanceHook;

    // The reconnect thread: its handle belongs to the user-interface thread, the running state
    // is cleared by the thread as it ends.
    HANDLE m_quitEvent = nullptr; // manual reset, never reset
    HANDLE m_stopEvent = nullptr; // auto reset
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_isThreadRunning{false};
    bool m_isRestartPending = false;
    bool m_isReconnectSuppressed = false;

    std::int64_t m_lastFixTime = -1;
    std::int32_t m_watchdogTicks = 0;
    std::int32_t m_silentTicks = 0; // receiver ticks since the last server position
    MatchedPosition m_lastPosition{};

    std::mutex m_pendingLock;
    PendingPositions m_pending;
    bool m_isPosted = false;
};
