#pragma once
// The GPS source of a receiver on a serial port: opens and configures the port from the device
// section of the GPS settings file, reads it on the GPS manager's device thread (Run), publishes
// a fix per complete cycle and an empty fix (hdop -2.0) whenever it has nothing to give, and
// keeps reopening a failed port once a second. DetectPort searches ports, line settings and
// protocols for a receiver and may run on another thread while Run waits; it holds the device
// lock for the whole search.

#include "positioning/comport.h"
#include "positioning/gpsdevice.h"
#include "positioning/sentenceparser.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <string>
#include <vector>

// The line settings being applied or tried, as announced by the settings source.
struct PortSnapshot {
    DWORD port = 0;
    DWORD timeout = 0;
    DWORD baudRate = 0;
    std::u16string parity;
    std::u16string stopBits;
    std::u16string name;
    DWORD state = 0;
};

// Asked before each trial of a detection; true ends the search.
class DetectionCancel {
public:
    virtual ~DetectionCancel() = default;
    [[nodiscard]] virtual bool IsCancelled() = 0;
};

class SerialGpsDevice : public GpsDevice {
public:
    // Device states.
    static constexpr DWORD kStateReceiving = 0;
    static constexpr DWORD kStateDetected = 1;
    static constexpr DWORD kStateNoBytes = 2;
    static constexpr DWORD kStateClosed = 3;
    static constexpr DWORD kStatePortError = 4;
    // Status codes of the status signal.
    static constexpr DWORD kStatusSilent = 2;
    static constexpr DWORD kStatusPortNotOpened = 3;
    static constexpr DWORD kStatusPortFailed = 4;
    static constexpr DWORD kStatusNoCycle = 5;
    // Milliseconds between attempts to reopen the port.
    static constexpr DWORD kRetryMs = 1000;
    static constexpr DWORD kReadSize = 256;
    // DetectPort's port arguments.
    static constexpr int kDevicePort = -2;
    static constexpr int kAllPorts = -1;

    // Loads the protocol named by "Default GPS"/"GPS" (default "NMEA").
    explicit SerialGpsDevice(const std::u16string& settingsPath);
    // Closes the port under the lock (waiting for a read in progress).
    ~SerialGpsDevice() override;

    // Reads until Stop; on the device thread.
    void Run() override;
    void Stop() override;
    virtual void SetSentenceRate(float sentencesPerSecond);
    [[nodiscard]] virtual float GetSentenceRate();
    // Every byte read goes to path ("w+b"); false when it cannot be opened.
    virtual bool OpenRawLog(const std::u16string& path);
    virtual void CloseRawLog();
    // Port: kDevicePort (the device section's), kAllPorts (1 to "PortCount") or one port.
    // protocol and defaults may be null. 1 when a receiver was found (and written back), else 0.
    [[nodiscard]] virtual int DetectPort(DetectionCancel* cancel, int port,
                                         const char16_t* protocol, const char16_t* defaults);

    // Fired (on the detecting thread) with each set of line settings tried.
    [[nodiscard]] SingleThreadedEventSource<const PortSnapshot*>& GetSettingsSource() noexcept {
        return m_settingsSource;
    }
    [[nodiscard]] DWORD GetState();
    [[nodiscard]] std::u16string GetName();
    [[nodiscard]] PortSnapshot GetApplied();

private:
    void Apply();    // under m_lock
    void OpenPort(); // under m_lock: read the device section, open, configure, apply
    void PublishEmptyFix();
    // Waits up to kRetryMs for stop (true) or change.
    [[nodiscard]] bool WaitForRetry();
    [[nodiscard]] std::u16string Protocol() const;
    [[nodiscard]] std::u16string DeviceSection(const std::u16string& protocol) const;
    enum class Probe { kPassed, kFailed, kWriteFailed };
    [[nodiscard]] Probe TestProtocol(const std::u16string& protocol);
    [[nodiscard]] std::vector<std::u16string> Candidates(const char16_t* protocol) const;
    // Publishes every completed cycle's fix in order, its tick back-dated by the transmission
    // time of its bytes; bytes (read since the cycle before) becomes those of the next cycle.
    void PublishCompletedCycles(DWORD& bytes, DWORD baudRate);
    // The loop of Run after the port was first tried.
    void ReadLoop();

    SingleThreadedEventSource<const PortSnapshot*> m_settingsSource;
    HANDLE m_changeEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    HANDLE m_idleEvent = nullptr; // set while Run is not running: the destructor waits for it
    CritSect m_lock;
    ComPort m_port;
    SerialPortSettings m_settings;
    PortSnapshot m_applied;
    std::u16string m_name;
    DWORD m_state = kStateClosed;
    std::u16string m_settingsPath;
    SentenceParser m_parser;
};
