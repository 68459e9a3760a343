#pragma once
// The position pipeline: one GPS device at a time (the serial device, or the alternative
// receiver that reads a handle, a replay file or the receiver library) read on a device thread,
// its fixes queued without limit, and a worker thread that matches every batch of queued fixes
// and publishes one MatchedPosition per batch. Publishing holds the position source's outer lock
// while the subscribers run. The manager's slots are called from one thread at a time.

#include "positioning/gpsreceiver.h"
#include "positioning/mapmatcherfront.h"
#include "positioning/serialgpsdevice.h"
#include "six/refcntptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include "platform/types.h"

#include <list>
#include <string>

struct RouteRequestResult;

// Runs one device's read loop on a thread of its own and queues the fixes it publishes.
class DeviceRunner {
public:
    DeviceRunner();
    // Stops the device thread.
    ~DeviceRunner();
    DeviceRunner(const DeviceRunner&) = delete;
    DeviceRunner& operator=(const DeviceRunner&) = delete;

    // Attaches the device (null detaches); false, changing nothing, while the device thread runs.
    bool SetDevice(GpsDevice* device);
    // Ends a running device thread, then starts one on the attached device; false when no
    // device is attached or no thread can be started.
    bool StartDevice();
    // Stops the device and waits for its thread to end, then wakes WaitForData.
    void StopDevice();
    // Waits without limit for a fix or a wake; true when a fix ended the wait.
    [[nodiscard]] bool WaitForData();
    // Moves every queued fix, oldest first, to the end of out; true when out is not empty.
    bool TakeAll(std::list<GpsFix>& out);
    // Ends a WaitForData in progress (or the next one) with false.
    void Wake();

    void OnFix(const GpsFix* fix);
    void OnStatus(DWORD status);

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    [[nodiscard]] bool IsRunning() const;
    static DWORD DeviceThread(LPVOID parameter);

    GpsDevice* m_device = nullptr;
    HANDLE m_runEvent = nullptr; // manual reset, set while no device thread runs
    HANDLE m_thread = nullptr;
    OwnerHandlerList m_handlers;
    HANDLE m_dataEvent = nullptr;
    HANDLE m_wakeEvent = nullptr;
    CritSect m_lock; // guards the queue only; never held while calling out
    std::list<GpsFix> m_queue;
};

class GpsManager {
public:
    // The matcher front may be null: then nothing is matched and nothing is published.
    explicit GpsManager(MapMatcherFrontPtr matcher);
    // Stops the worker and the device thread (holding no lock while it waits), then releases the
    // matcher and the devices.
    virtual ~GpsManager();
    GpsManager(const GpsManager&) = delete;
    GpsManager& operator=(const GpsManager&) = delete;

    // Replaces the serial device with a GpsReceiver reading nothing yet, and runs it; a device
    // already open stays. out is the alternative device (null when it cannot be made).
    virtual void OpenAlternativeDevice(GpsReceiverPtr& out);
    // Returns to a new serial device with the last log flag; nothing without an alternative
    // device.
    virtual void CloseAlternativeDevice();
    // The serial device's detection on the port; 0 while the alternative device is open.
    [[nodiscard]] virtual std::int32_t DetectPort(std::int16_t port);
    // A new serial device, run on the device thread; with log, its raw bytes go to the GPS log
    // named by the current UTC minute.
    virtual void OpenSerialDevice(bool log);
    virtual void GetMatchedPosition(MatchedPosition& out);
    // The result's route to the matcher; a result without a route clears it.
    virtual void SetRoute(const RouteRequestResult& result);
    // Starts the worker thread once; false when it cannot be started.
    virtual bool StartWorker();

    // Fired on the worker thread with each batch's result, valid during the call.
    [[nodiscard]] EventSource<const MatchedPosition*>& GetPositionSource() noexcept {
        return m_positionSource;
    }
    [[nodiscard]] const MapMatcherFrontPtr& GetMatcher() const noexcept { return m_matcher; }

private:
    static DWORD WorkerThread(LPVOID parameter);
    void RunWorker();
    // Stops the device thread and detaches the device.
    void DetachDevice();

    EventSource<const MatchedPosition*> m_positionSource;
    six::RefCntPtr<SerialGpsDevice> m_serialDevice;
    GpsReceiverPtr m_alternativeDevice;
    DeviceRunner m_runner;
    MapMatcherFrontPtr m_matcher;
    HANDLE m_worker = nullptr;
    HANDLE m_workerStop = nullptr; // auto reset
    bool m_logEnabled = false;
    std::u16string m_settingsPath;
};

using GpsManagerPtr = six::RefCntPtr<GpsManager>;

// A manager whose matcher queries the holder's engine (the holder may be null); null when it
// cannot be allocated.
void CreateGpsManager(GpsManagerPtr& out, const AreaQueryPtr& areaQuery);
