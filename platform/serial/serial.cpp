#include "platform/serial/serial.h"

#include "platform/files/files.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/receiver/inireader.h"
#include "platform/serial/detail/lineconfig.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <set>
#include <string_view>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kMaxPort = 255;
// Under a clock that does not follow host time, waits look at it this often.
constexpr int kVirtualPollMs = 2;

struct PortTable {
    std::mutex mutex;
    std::map<int, std::string> mappings;
    std::set<int> openPorts;
};

PortTable& Ports() {
    static PortTable* table = new PortTable; // never destroyed: handles may close at exit
    return *table;
}

// The port number of "COMn:" (letters without case), or nullopt.
std::optional<int> PortNumber(std::u16string_view name) {
    if (name.size() < 5 || name.back() != u':') {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        const char16_t c = name[i] >= u'a' && name[i] <= u'z' ? name[i] - 32 : name[i];
        if (c != u"COM"[i]) {
            return std::nullopt;
        }
    }
    int port = 0;
    for (std::size_t i = 3; i + 1 < name.size(); ++i) {
        if (name[i] < u'0' || name[i] > u'9' || port > kMaxPort) {
            return std::nullopt;
        }
        port = port * 10 + (name[i] - u'0');
    }
    if (port < 1 || port > kMaxPort) {
        return std::nullopt;
    }
    return port;
}

// The host device of port n from "\Windows\comports.ini", any section or none.
std::string MappingFromFile(int port) {
    HANDLE file = CreateFileW(u"\\Windows\\comports.ini", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    constexpr DWORD kMaxBytes = 64 * 1024; // a handful of lines
    std::string text = "[Ports]\n";
    std::string chunk(4096, '\0');
    DWORD got = 0;
    while (text.size() < kMaxBytes &&
           ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) &&
           got > 0) {
        text.append(chunk.data(), got);
    }
    CloseHandle(file);
    const std::string key = "COM" + std::to_string(port);
    for (const IniSection& section : ParseIni(text).sections) {
        if (auto value = FindIniValue(section, key); value && !value->empty()) {
            return *value;
        }
    }
    return {};
}

class SerialPortObject : public StreamObject {
public:
    SerialPortObject(int port, int descriptor)
        : m_port(port)
        , m_descriptor(descriptor) {
        m_dcb = detail::InitialDcb();
    }
    ~SerialPortObject() override {
        ::close(m_descriptor);
        std::lock_guard lock(Ports().mutex);
        Ports().openPorts.erase(m_port);
    }
    SerialPortObject(const SerialPortObject&) = delete;
    SerialPortObject& operator=(const SerialPortObject&) = delete;

    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override;
    DWORD Write(const void* buffer, DWORD count, DWORD& transferred) override;

    // A fresh port reports what the device holds; after SetCommState the settings set, since a
    // device may not hold all of them (a pty keeps neither byte size nor parity).
    DWORD GetState(DCB& dcb) {
        std::lock_guard lock(m_settingsMutex);
        if (!m_isSet) {
            termios settings{};
            if (::tcgetattr(m_descriptor, &settings) != 0) {
                return ERROR_INVALID_HANDLE;
            }
            m_dcb = detail::DcbFromTermios(settings, m_dcb);
        }
        dcb = m_dcb;
        return ERROR_SUCCESS;
    }

    DWORD SetState(const DCB& dcb) {
        std::lock_guard lock(m_settingsMutex);
        termios settings{};
        if (::tcgetattr(m_descriptor, &settings) != 0) {
            return ERROR_INVALID_HANDLE;
        }
        if (!detail::TermiosFromDcb(dcb, settings)) {
            return ERROR_INVALID_PARAMETER;
        }
        // EINVAL means none of the changes could be made: the device holds what it can.
        if (::tcsetattr(m_descriptor, TCSANOW, &settings) != 0 && errno != EINVAL) {
            return ERROR_INVALID_HANDLE;
        }
        SetModemLine(TIOCM_DTR, dcb.fDtrControl);
        SetModemLine(TIOCM_RTS, dcb.fRtsControl);
        m_dcb = dcb;
        m_dcb.DCBlength = sizeof(DCB);
        m_dcb.fBinary = 1;
        m_isSet = true;
        return ERROR_SUCCESS;
    }

    void SetTimeouts(const COMMTIMEOUTS& timeouts) {
        std::lock_guard lock(m_settingsMutex);
        m_timeouts = timeouts;
    }
    COMMTIMEOUTS Timeouts() {
        std::lock_guard lock(m_settingsMutex);
        return m_timeouts;
    }

private:
    // Enable and disable set the line; handshake and toggle leave it to the driver. A device
    // without modem lines (a pty) refuses the call, which is not an error here.
    void SetModemLine(int line, DWORD control) const {
        if (control == DTR_CONTROL_ENABLE) {
            (void)::ioctl(m_descriptor, TIOCMBIS, &line);
        } else if (control == DTR_CONTROL_DISABLE) {
            (void)::ioctl(m_descriptor, TIOCMBIC, &line);
        }
    }
    bool StripsNulls() {
        std::lock_guard lock(m_settingsMutex);
        return m_dcb.fNull != 0;
    }
    enum class Wait { kReady, kTimedOut, kHungUp };
    // Waits for the descriptor on the installed clock until deadline (nullopt: no limit).
    [[nodiscard]] Wait WaitFor(short events, std::optional<std::uint64_t> deadline) const;

    int m_port;
    int m_descriptor;
    std::mutex m_settingsMutex;
    DCB m_dcb{};
    bool m_isSet = false;
    COMMTIMEOUTS m_timeouts{};
};

SerialPortObject::Wait SerialPortObject::WaitFor(short events,
                                                 std::optional<std::uint64_t> deadline) const {
    for (;;) {
        int sliceMs = -1;
        if (deadline) {
            const std::uint64_t now = CurrentClock().TickMs();
            if (now >= *deadline) {
                return Wait::kTimedOut;
            }
            sliceMs = CurrentClock().FollowsHostTime()
                          ? static_cast<int>(std::min<std::uint64_t>(*deadline - now, 1000))
                          : kVirtualPollMs;
        } else if (!CurrentClock().FollowsHostTime()) {
            sliceMs = kVirtualPollMs;
        }
        pollfd entry{m_descriptor, events, 0};
        const int ready = ::poll(&entry, 1, sliceMs);
        // A line whose other side is gone reads as empty without end: only poll tells. The
        // callers wait only after finding nothing to read, so a hang-up is final.
        if (ready > 0) {
            return (entry.revents & (POLLHUP | POLLERR)) != 0 ? Wait::kHungUp : Wait::kReady;
        }
        if (ready < 0 && errno != EINTR) {
            return Wait::kHungUp;
        }
    }
}

DWORD SerialPortObject::Read(void* buffer, DWORD count, DWORD& transferred) {
    transferred = 0;
    if (count == 0) {
        return ERROR_SUCCESS;
    }
    const COMMTIMEOUTS timeouts = Timeouts();
    std::optional<std::uint64_t> deadline;
    const std::uint64_t start = CurrentClock().TickMs();
    if (timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
        timeouts.ReadTotalTimeoutConstant == 0) {
        deadline = start;
    } else if (timeouts.ReadIntervalTimeout == MAXDWORD &&
               timeouts.ReadTotalTimeoutMultiplier == MAXDWORD) {
        deadline = start + timeouts.ReadTotalTimeoutConstant;
    } else if (timeouts.ReadTotalTimeoutMultiplier != 0 || timeouts.ReadTotalTimeoutConstant != 0) {
        deadline = start + std::uint64_t{timeouts.ReadTotalTimeoutMultiplier} * count +
                   timeouts.ReadTotalTimeoutConstant;
    }
    auto* bytes = static_cast<char*>(buffer);
    for (;;) {
        const ssize_t got = ::read(m_descriptor, bytes, count);
        if (got > 0) {
            auto end = bytes + got;
            if (StripsNulls()) {
                end = std::remove(bytes, end, '\0');
            }
            transferred = static_cast<DWORD>(end - bytes);
            if (transferred > 0) {
                return ERROR_SUCCESS;
            }
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            return ERROR_READ_FAULT; // hung up (a pty whose other side closed gives EIO)
        }
        const Wait wait = WaitFor(POLLIN, deadline);
        if (wait != Wait::kReady) {
            return wait == Wait::kTimedOut ? ERROR_SUCCESS : ERROR_READ_FAULT;
        }
    }
}

DWORD SerialPortObject::Write(const void* buffer, DWORD count, DWORD& transferred) {
    transferred = 0;
    const COMMTIMEOUTS timeouts = Timeouts();
    std::optional<std::uint64_t> deadline;
    if (timeouts.WriteTotalTimeoutMultiplier != 0 || timeouts.WriteTotalTimeoutConstant != 0) {
        deadline = CurrentClock().TickMs() +
                   std::uint64_t{timeouts.WriteTotalTimeoutMultiplier} * count +
                   timeouts.WriteTotalTimeoutConstant;
    }
    const auto* bytes = static_cast<const char*>(buffer);
    while (transferred < count) {
        const ssize_t put = ::write(m_descriptor, bytes + transferred, count - transferred);
        if (put > 0) {
            transferred += static_cast<DWORD>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return ERROR_WRITE_FAULT;
        }
        const Wait wait = WaitFor(POLLOUT, deadline);
        if (wait == Wait::kHungUp) {
            return ERROR_WRITE_FAULT;
        }
        if (wait == Wait::kTimedOut) {
            break; // the count tells the caller how much went out
        }
    }
    return ERROR_SUCCESS;
}

HANDLE OpenPort(std::u16string_view deviceName, DWORD, DWORD, DWORD, DWORD) {
    const std::optional<int> port = PortNumber(deviceName);
    if (!port) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string host;
    {
        std::lock_guard lock(Ports().mutex);
        if (Ports().openPorts.contains(*port)) {
            SetLastError(ERROR_ACCESS_DENIED); // ports are never shared
            return INVALID_HANDLE_VALUE;
        }
        if (const auto it = Ports().mappings.find(*port); it != Ports().mappings.end()) {
            host = it->second;
        }
    }
    if (host.empty()) {
        host = MappingFromFile(*port);
    }
    if (host.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const int descriptor = ::open(host.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0 || ::isatty(descriptor) == 0) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        OutputDebugStringW(u"serial: the mapped device cannot be opened as a terminal\n");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    {
        std::lock_guard lock(Ports().mutex);
        if (!Ports().openPorts.insert(*port).second) {
            ::close(descriptor);
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
    }
    // A port passes bytes as they are: no echo, no line editing, no CR LF translation.
    termios settings{};
    if (::tcgetattr(descriptor, &settings) == 0) {
        cfmakeraw(&settings);
        settings.c_cflag |= CREAD | CLOCAL;
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        (void)::tcsetattr(descriptor, TCSANOW, &settings);
    }
    // The object now owns the descriptor and the port's entry in the open set.
    HANDLE handle = RegisterHandle(std::make_shared<SerialPortObject>(*port, descriptor));
    if (handle == nullptr) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

// Installed when this layer is linked in: every program that sets up a port links this file.
[[maybe_unused]] const bool g_isInstalled = [] {
    SetDeviceOpener(&OpenPort);
    return true;
}();

} // namespace

void SetComPortMapping(int port, const std::string& hostPath) {
    std::lock_guard lock(Ports().mutex);
    if (hostPath.empty()) {
        Ports().mappings.erase(port);
    } else {
        Ports().mappings[port] = hostPath;
    }
}

void ClearComPortMappings() {
    std::lock_guard lock(Ports().mutex);
    Ports().mappings.clear();
}

} // namespace platform

namespace {

BOOL Finish(DWORD error) {
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

std::shared_ptr<platform::SerialPortObject> PortOf(HANDLE file) {
    return platform::LookupHandleAs<platform::SerialPortObject>(file);
}

} // namespace

BOOL GetCommState(HANDLE file, LPDCB dcb) {
    const auto port = PortOf(file);
    if (!port || dcb == nullptr) {
        return Finish(port ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    return Finish(port->GetState(*dcb));
}

BOOL SetCommState(HANDLE file, LPDCB dcb) {
    const auto port = PortOf(file);
    if (!port || dcb == nullptr) {
        return Finish(port ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    return Finish(port->SetState(*dcb));
}

BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    const auto port = PortOf(file);
    if (!port || timeouts == nullptr) {
        return Finish(port ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    port->SetTimeouts(*timeouts);
    return Finish(ERROR_SUCCESS);
}

BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) {
    const auto port = PortOf(file);
    if (!port || timeouts == nullptr) {
        return Finish(port ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    *timeouts = port->Timeouts();
    return Finish(ERROR_SUCCESS);
}
