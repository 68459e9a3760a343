#include "positioning/serialgpsdevice.h"

#include "positioning/gpssettings.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/format.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <algorithm>

namespace {

constexpr char16_t kDefaultGps[] = u"Default GPS";
constexpr char16_t kDetection[] = u"SerialPort Detection";

DWORD StateOfStatus(DWORD status) {
    switch (status) {
    case ComPort::kStatusGood:
        return SerialGpsDevice::kStateReceiving;
    case ComPort::kStatusShort:
        return SerialGpsDevice::kStateNoBytes;
    case ComPort::kStatusFailed:
        return SerialGpsDevice::kStatePortError;
    default:
        return SerialGpsDevice::kStateClosed;
    }
}

// Milliseconds the bytes took on the line: ten bits a byte.
DWORD TransmissionMs(DWORD bytes, DWORD baudRate) {
    if (baudRate == 0) {
        return 0;
    }
    return static_cast<DWORD>((std::uint64_t{bytes} * 10000 + baudRate - 1) / baudRate);
}

} // namespace

SerialGpsDevice::SerialGpsDevice(const std::u16string& settingsPath)
    : m_changeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_stopEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_idleEvent(CreateEventW(nullptr, TRUE, TRUE, nullptr))
    , m_settingsPath(settingsPath) {
    const std::u16string protocol = Protocol();
    m_name = gpssettings::GetString(protocol.c_str(), u"Name", m_settingsPath, protocol.c_str());
    m_parser.Load(m_settingsPath, protocol);
}

SerialGpsDevice::~SerialGpsDevice() {
    // Run may be inside a read: let it end before the members go.
    (void)SetEvent(m_stopEvent);
    (void)WaitForSingleObject(m_idleEvent, INFINITE);
    {
        ScopedLock locked(&m_lock);
        m_port.Close();
    }
    m_parser.CloseRawLog();
    for (HANDLE event : {m_changeEvent, m_stopEvent, m_idleEvent}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

std::u16string SerialGpsDevice::Protocol() const {
    return gpssettings::GetString(kDefaultGps, u"GPS", m_settingsPath, u"NMEA");
}

std::u16string SerialGpsDevice::DeviceSection(const std::u16string& protocol) const {
    return gpssettings::GetString(protocol.c_str(), u"Device", m_settingsPath, u"SerialPort");
}

void SerialGpsDevice::Stop() {
    (void)SetEvent(m_stopEvent);
}

void SerialGpsDevice::SetSentenceRate(float sentencesPerSecond) {
    m_parser.SetSentenceRate(sentencesPerSecond);
}

float SerialGpsDevice::GetSentenceRate() {
    return m_parser.GetSentenceRate();
}

bool SerialGpsDevice::OpenRawLog(const std::u16string& path) {
    return m_parser.OpenRawLog(path);
}

void SerialGpsDevice::CloseRawLog() {
    m_parser.CloseRawLog();
}

DWORD SerialGpsDevice::GetState() {
    ScopedLock locked(&m_lock);
    return m_state;
}

std::u16string SerialGpsDevice::GetName() {
    ScopedLock locked(&m_lock);
    return m_name;
}

PortSnapshot SerialGpsDevice::GetApplied() {
    ScopedLock locked(&m_lock);
    return m_applied;
}

void SerialGpsDevice::Apply() {
    m_applied = {m_settings.port,
                 m_settings.timeout,
                 m_settings.baudRate,
                 m_settings.parity,
                 m_settings.stopBits,
                 m_name,
                 m_state};
    m_state = StateOfStatus(m_port.GetStatus());
}

void SerialGpsDevice::OpenPort() {
    m_settings.Read(DeviceSection(Protocol()), m_settingsPath);
    if (m_port.Open(m_settings.port) && !m_port.Configure(m_settings)) {
        m_port.Close(); // a port we cannot set up is no better than none
    }
    Apply();
}

void SerialGpsDevice::PublishEmptyFix() {
    GpsFix fix;
    fix.hdop = GpsFix::kHdopNoData;
    m_fixSignal.Emit(&fix);
}

bool SerialGpsDevice::WaitForRetry() {
    const HANDLE events[] = {m_stopEvent, m_changeEvent};
    return WaitForMultipleObjects(2, events, FALSE, kRetryMs) == WAIT_OBJECT_0;
}

void SerialGpsDevice::Run() {
    (void)ResetEvent(m_idleEvent);
    m_lock.Enter();
    if (!m_port.IsOpen()) {
        OpenPort();
        if (!m_port.IsOpen()) {
            m_lock.Leave();
            m_statusSignal.Emit(kStatusPortNotOpened);
            PublishEmptyFix();
            if (WaitForRetry()) {
                PublishEmptyFix();
                (void)SetEvent(m_idleEvent);
                return;
            }
            m_lock.Enter();
        }
    }
    Apply();
    m_lock.Leave();
    ReadLoop();
    (void)SetEvent(m_idleEvent);
}

void SerialGpsDevice::PublishCompletedCycles(DWORD& bytes, DWORD baudRate) {
    // A cycle began where the one before it ended: its bytes run from there to the end of the
    // last read, and those after its end belong to the next.
    while (m_parser.IsCycleComplete()) {
        const auto later =
            static_cast<DWORD>(std::min<std::uint64_t>(m_parser.GetCharactersAfterCycle(), bytes));
        GpsFix fix;
        m_parser.FillFix(fix);
        fix.tick -= TransmissionMs(bytes, baudRate);
        m_parser.ResetCycle();
        bytes = later;
        {
            ScopedLock locked(&m_lock);
            m_state = kStateReceiving;
        }
        m_fixSignal.Emit(&fix);
    }
}

void SerialGpsDevice::ReadLoop() {
    DWORD silenceMs = 0;
    DWORD baudRate = 0;
    const auto restartCycle = [&](DWORD& cycleStart, DWORD& bytes) {
        m_parser.ResetCycle();
        cycleStart = GetTickCount();
        bytes = 0;
    };
    {
        ScopedLock locked(&m_lock);
        silenceMs = m_settings.timeout * 1000;
        baudRate = m_settings.baudRate;
    }
    DWORD cycleStart = 0;
    DWORD bytes = 0;
    restartCycle(cycleStart, bytes);
    while (WaitForSingleObject(m_stopEvent, 0) != WAIT_OBJECT_0) {
        m_lock.Enter();
        if (m_state != kStateReceiving) {
            if (m_state != kStateNoBytes) {
                const bool isClosed = m_state == kStateClosed;
                m_lock.Leave();
                if (isClosed) {
                    m_statusSignal.Emit(kStatusPortNotOpened);
                    PublishEmptyFix();
                }
                const HANDLE events[] = {m_stopEvent, m_changeEvent};
                const DWORD woken = WaitForMultipleObjects(2, events, FALSE, kRetryMs);
                if (woken == WAIT_OBJECT_0) {
                    return;
                }
                m_lock.Enter();
                if (woken == WAIT_TIMEOUT && !m_port.IsOpen()) {
                    OpenPort();
                }
                if (!m_port.IsOpen()) {
                    m_lock.Leave(); // not opened: report it at the next pass, once a second
                    continue;
                }
            }
            restartCycle(cycleStart, bytes);
            silenceMs = m_settings.timeout * 1000;
            baudRate = m_settings.baudRate;
        }
        char buffer[kReadSize];
        const DWORD before = GetTickCount();
        const int count = m_port.Read(buffer, kReadSize);
        const DWORD waitedMs = GetTickCount() - before;
        Apply();
        if (count <= 0) {
            m_port.Close();
            Apply();
            m_lock.Leave();
            DWORD status = kStatusPortFailed;
            if (count == 0 && waitedMs >= silenceMs) {
                status = kStatusSilent;
                cycleStart = GetTickCount();
            }
            m_statusSignal.Emit(status);
            PublishEmptyFix();
            continue;
        }
        m_lock.Leave();
        m_parser.LogBytes(buffer, static_cast<std::size_t>(count));
        bytes += static_cast<DWORD>(count);
        m_parser.Feed(buffer, static_cast<std::size_t>(count));
        if (m_parser.IsCycleComplete()) {
            PublishCompletedCycles(bytes, baudRate);
            cycleStart = GetTickCount();
        } else if (GetTickCount() - cycleStart > silenceMs) {
            cycleStart = GetTickCount();
            PublishEmptyFix();
            ScopedLock locked(&m_lock);
            if (m_state != kStateDetected) {
                m_port.Close();
                Apply();
                locked.Unlock();
                m_statusSignal.Emit(kStatusNoCycle);
            }
        }
    }
}

std::vector<std::u16string> SerialGpsDevice::Candidates(const char16_t* protocol) const {
    if (protocol != nullptr) {
        return {protocol};
    }
    std::vector<std::u16string> candidates;
    constexpr int kMaxCandidates = 99; // a guard against a file that numbers without end
    for (int number = 1; number <= kMaxCandidates; ++number) {
        const std::u16string key = platform::FormatW(u"%s%d", u"GPS", number);
        std::u16string value =
            gpssettings::GetString(kDefaultGps, key.c_str(), m_settingsPath, u"");
        if (value.empty()) {
            break;
        }
        candidates.push_back(std::move(value));
    }
    if (candidates.empty()) {
        std::u16string value = gpssettings::GetString(kDefaultGps, u"GPS", m_settingsPath, u"");
        if (!value.empty()) {
            candidates.push_back(std::move(value));
        }
    }
    return candidates;
}

SerialGpsDevice::Probe SerialGpsDevice::TestProtocol(const std::u16string& protocol) {
    SentenceParser test;
    test.Load(m_settingsPath, protocol);
    const std::u16string init = test.GetInitText();
    if (!init.empty()) {
        std::string bytes;
        for (const char16_t c : init) {
            bytes += static_cast<char>(c < 256 ? c : '?');
        }
        if (!m_port.Write(bytes.data(), static_cast<DWORD>(bytes.size()))) {
            return Probe::kWriteFailed;
        }
    }
    const DWORD start = GetTickCount();
    const DWORD limitMs = m_settings.timeout * 1000;
    while (GetTickCount() - start < limitMs) {
        char buffer[kReadSize];
        const int count = m_port.Read(buffer, kReadSize);
        if (count <= 0) {
            return Probe::kFailed;
        }
        test.Feed(buffer, static_cast<std::size_t>(count));
        if (test.IsCycleComplete()) {
            return Probe::kPassed;
        }
    }
    return Probe::kFailed;
}

int SerialGpsDevice::DetectPort(DetectionCancel* cancel, int port, const char16_t* protocol,
                                const char16_t* defaults) {
    ScopedLock locked(&m_lock);
    const char16_t* file = m_settingsPath.c_str();
    const std::u16string device = DeviceSection(protocol != nullptr ? protocol : Protocol());
    const std::vector<std::u16string> candidates = Candidates(protocol);
    const std::u16string defaultsSection =
        defaults != nullptr
            ? std::u16string(defaults)
            : gpssettings::GetString(kDetection, u"Defaults", m_settingsPath, u"SerialPort");
    int first = port;
    int last = port;
    if (port == kDevicePort) {
        m_settings.Read(device, m_settingsPath);
        first = last = static_cast<int>(m_settings.port);
    } else if (port == kAllPorts) {
        first = 1;
        last = gpssettings::GetInt(kDetection, u"PortCount", m_settingsPath, 6);
    }
    const int trials = gpssettings::GetInt(kDetection, u"TestCount", m_settingsPath, 4);
    if (m_state == kStateReceiving && first == static_cast<int>(m_settings.port)) {
        return 1;
    }
    m_name = u"Serial Port GPS";
    std::u16string found;
    bool isCancelled = false;
    for (int number = first; number <= last && found.empty() && !isCancelled; ++number) {
        m_port.Close();
        if (!m_port.Open(static_cast<DWORD>(number))) {
            continue;
        }
        for (int trial = 1; trial <= trials && found.empty(); ++trial) {
            if (cancel != nullptr && cancel->IsCancelled()) {
                isCancelled = true;
                break;
            }
            m_settings.Read(defaultsSection, m_settingsPath);
            m_settings.Read(platform::FormatW(u"SerialPort Try%d", trial), m_settingsPath);
            m_settings.port = static_cast<DWORD>(number);
            Apply();
            m_settingsSource.Emit(&m_applied);
            if (!m_port.Configure(m_settings)) {
                continue;
            }
            for (const std::u16string& candidate : candidates) {
                const Probe probe = TestProtocol(candidate);
                if (probe == Probe::kPassed) {
                    found = candidate;
                }
                // A failed write says nothing of the other line settings: next trial.
                if (probe != Probe::kFailed) {
                    break;
                }
            }
        }
    }
    Apply();
    if (found.empty()) {
        m_state = kStateClosed;
        m_port.Close();
        return 0;
    }
    m_state = kStateDetected;
    (void)SetEvent(m_changeEvent);
    m_parser.Load(m_settingsPath, found);
    IniProfile::WriteString(kDefaultGps, u"GPS", found.c_str(), file);
    IniProfile::WriteString(found.c_str(), u"Device", device.c_str(), file);
    m_settings.Write(device, m_settingsPath);
    return 1;
}
