#include "positioning/gpsmanager.h"

#include "routing/routeservice.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/kernel/sync.h"

#include <new>
#include <vector>

DeviceRunner::DeviceRunner()
    : m_runEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    , m_dataEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_wakeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

DeviceRunner::~DeviceRunner() {
    StopDevice();
    for (const HANDLE event : {m_runEvent, m_dataEvent, m_wakeEvent}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

bool DeviceRunner::IsRunning() const {
    return WaitForSingleObject(m_runEvent, 0) == WAIT_TIMEOUT;
}

bool DeviceRunner::SetDevice(GpsDevice* device) {
    if (IsRunning()) {
        return false;
    }
    if (m_device != nullptr) {
        m_device->GetFixSignal().Disconnect(this);
        m_device->GetStatusSignal().Disconnect(this);
    }
    m_device = device;
    if (m_device != nullptr) {
        m_device->GetFixSignal().Connect(this, &DeviceRunner::OnFix);
        m_device->GetStatusSignal().Connect(this, &DeviceRunner::OnStatus);
    }
    return true;
}

bool DeviceRunner::StartDevice() {
    StopDevice();
    if (m_device == nullptr || m_runEvent == nullptr) {
        return false;
    }
    (void)ResetEvent(m_runEvent);
    m_thread = CreateThread(nullptr, 0, &DeviceRunner::DeviceThread, this, 0, nullptr);
    if (m_thread == nullptr) {
        (void)SetEvent(m_runEvent);
        return false;
    }
    return true;
}

void DeviceRunner::StopDevice() {
    if (IsRunning() && m_device != nullptr) {
        m_device->Stop();
        (void)WaitForSingleObject(m_runEvent, INFINITE);
    }
    if (m_thread != nullptr) {
        (void)WaitForSingleObject(m_thread, INFINITE);
        (void)CloseHandle(m_thread);
        m_thread = nullptr;
    }
    Wake();
}

DWORD DeviceRunner::DeviceThread(LPVOID parameter) {
    auto* runner = static_cast<DeviceRunner*>(parameter);
    runner->m_device->Run();
    (void)SetEvent(runner->m_runEvent);
    return 0;
}

bool DeviceRunner::WaitForData() {
    const HANDLE events[] = {m_dataEvent, m_wakeEvent};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0;
}

bool DeviceRunner::TakeAll(std::list<GpsFix>& out) {
    ScopedLock locked(&m_lock);
    out.splice(out.end(), m_queue);
    return !out.empty();
}

void DeviceRunner::Wake() {
    (void)SetEvent(m_wakeEvent);
}

void DeviceRunner::OnFix(const GpsFix* fix) {
    if (fix == nullptr) {
        return;
    }
    {
        ScopedLock locked(&m_lock);
        m_queue.push_back(*fix);
    }
    (void)SetEvent(m_dataEvent);
}

void DeviceRunner::OnStatus(DWORD /*status*/) {
    // The empty fix published with the status travels the normal way.
    Wake();
}

GpsManager::GpsManager(MapMatcherFrontPtr matcher)
    : m_matcher(std::move(matcher))
    , m_workerStop(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_settingsPath(AppPaths::MakeFullPath(u"deziv.ini")) {}

GpsManager::~GpsManager() {
    (void)SetEvent(m_workerStop);
    m_runner.StopDevice(); // also wakes the worker
    if (m_worker != nullptr) {
        (void)WaitForSingleObject(m_worker, INFINITE);
        (void)CloseHandle(m_worker);
    }
    if (m_workerStop != nullptr) {
        (void)CloseHandle(m_workerStop);
    }
    m_matcher.Release();
    (void)m_runner.SetDevice(nullptr);
    m_alternativeDevice.Release();
    m_serialDevice.Release();
}

void GpsManager::DetachDevice() {
    m_runner.StopDevice();
    (void)m_runner.SetDevice(nullptr);
}

void GpsManager::OpenAlternativeDevice(GpsReceiverPtr& out) {
    if (!m_alternativeDevice) {
        DetachDevice();
        m_serialDevice.Release();
        m_alternativeDevice = CreateGpsReceiver(m_settingsPath);
        if (m_alternativeDevice && m_runner.SetDevice(m_alternativeDevice.Get())) {
            (void)m_runner.StartDevice();
        }
    }
    out = m_alternativeDevice;
}

void GpsManager::CloseAlternativeDevice() {
    if (!m_alternativeDevice) {
        return;
    }
    DetachDevice();
    m_alternativeDevice.Release();
    OpenSerialDevice(m_logEnabled);
}

std::int32_t GpsManager::DetectPort(std::int16_t port) {
    if (m_alternativeDevice || !m_serialDevice) {
        return 0;
    }
    return m_serialDevice->DetectPort(nullptr, port, nullptr, nullptr);
}

void GpsManager::OpenSerialDevice(bool log) {
    m_logEnabled = log;
    // The device may be attached only while no thread reads it: stop the old one first, so that
    // it is not released under its own running thread.
    DetachDevice();
    m_serialDevice =
        six::RefCntPtr<SerialGpsDevice>(new (std::nothrow) SerialGpsDevice(m_settingsPath));
    if (!m_serialDevice || !m_runner.SetDevice(m_serialDevice.Get())) {
        return;
    }
    if (log) {
        (void)m_serialDevice->OpenRawLog(AppPaths::MakeGpsLogFileName());
    }
    (void)m_runner.StartDevice();
}

void GpsManager::GetMatchedPosition(MatchedPosition& out) {
    if (!m_matcher) {
        return;
    }
    m_matcher->Lock();
    if (const MatchedPosition* result = m_matcher->GetResult()) {
        out = *result;
    }
    m_matcher->Unlock();
}

void GpsManager::SetRoute(const RouteRequestResult& result) {
    if (m_matcher) {
        m_matcher->SetRoute(GetRouteIterator(result));
    }
}

bool GpsManager::StartWorker() {
    if (m_worker != nullptr) {
        return true;
    }
    m_worker = CreateThread(nullptr, 0, &GpsManager::WorkerThread, this, 0, nullptr);
    return m_worker != nullptr;
}

DWORD GpsManager::WorkerThread(LPVOID parameter) {
    static_cast<GpsManager*>(parameter)->RunWorker();
    return 0;
}

void GpsManager::RunWorker() {
    std::list<GpsFix> taken;
    std::vector<GpsFix> batch;
    while (WaitForSingleObject(m_workerStop, 0) == WAIT_TIMEOUT) {
        if (!m_runner.WaitForData()) {
            continue;
        }
        taken.clear();
        if (!m_runner.TakeAll(taken) || !m_matcher) {
            continue;
        }
        batch.assign(taken.begin(), taken.end());
        (void)m_matcher->Update(batch);
        MatchedPosition position;
        m_matcher->Lock();
        const MatchedPosition* result = m_matcher->GetResult();
        if (result != nullptr) {
            position = *result;
        }
        m_matcher->Unlock();
        if (result != nullptr) {
            m_positionSource.Emit(&position);
        }
    }
}

void CreateGpsManager(GpsManagerPtr& out, const AreaQueryPtr& areaQuery) {
    out = GpsManagerPtr(new (std::nothrow) GpsManager(CreateMapMatcherFront(areaQuery)));
}
