#pragma once
// The process-wide GPS state: every position the application hands it is classified into a fix
// class; when the class or the satellite count changes, the subscribers are told (on the calling
// thread) and the GPS indicator window gets a posted WM_PAINT. OnPosition may be called from any
// thread (the user-interface thread and the receiver's reconnect thread); the values are kept
// under the monitor's lock, which is never held while the event fires. Every position also goes
// to the GPS status dialog, which the monitor makes on first use and owns.

#include "positioning/matchedposition.h"
#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <atomic>
#include <memory>
#include <mutex>

class GpsDlg;

class GpsStateMonitor {
public:
    // The one monitor of the process.
    [[nodiscard]] static GpsStateMonitor& Instance();

    GpsStateMonitor();
    // Deletes the GPS dialog.
    ~GpsStateMonitor();
    GpsStateMonitor(const GpsStateMonitor&) = delete;
    GpsStateMonitor& operator=(const GpsStateMonitor&) = delete;

    // hdop truncated toward zero: -2 gives 0 (receiver silent), -1 gives 1 (no fix), anything
    // else 2 (a usable fix), NaN and values beyond the int range included.
    [[nodiscard]] static int ClassifyFix(float hdop);

    // Stores the position's fix class and satellite count; when either differs from the values
    // reported last (the monitor's start values before the first call), fires the event with a
    // pointer to the new class and posts WM_PAINT to the indicator window. Then hands the
    // position to the GPS dialog (GpsDlg::Update).
    void OnPosition(const MatchedPosition& position);

    // The GPS dialog, made on first use (from any thread); null when it cannot be made.
    [[nodiscard]] GpsDlg* GetDialog();
    // Runs the GPS dialog modally over parent unless its window exists already. User-interface
    // thread.
    void ShowDialog(HWND parent);
    // The GPS dialog's window; null while it is not shown.
    [[nodiscard]] HWND GetDialogWindow() const;

    // The event's argument points to the new fix class, valid during the call.
    [[nodiscard]] EventSource<const int*>& GetEvent() { return m_event; }
    // -1 before the first position, then 0, 1 or 2.
    [[nodiscard]] int GetFixClass() const;
    [[nodiscard]] int GetSatelliteCount() const;

    void SetIndicatorWindow(HWND window) { m_indicatorWindow.store(window); }
    [[nodiscard]] HWND GetIndicatorWindow() const { return m_indicatorWindow.load(); }

private:
    EventSource<const int*> m_event;
    mutable std::mutex m_lock;
    int m_fixClass = -1;
    int m_satellites = 0;
    bool m_hasReported = false;
    int m_reportedClass = -1;
    int m_reportedSatellites = 0;
    std::atomic<HWND> m_indicatorWindow{nullptr};
    mutable std::mutex m_dialogLock;
    std::unique_ptr<GpsDlg> m_dialog;
};
