#pragma once
// A serial port of the GPS receiver and the line settings it is opened with, read from and
// written to a device section of the GPS settings file. Not locked: its owner serialises calls.

#include "platform/serial/serial.h"
#include "platform/types.h"

#include <string>

// The 26 keys of a device section, with their initial values.
struct SerialPortSettings {
    DWORD port = 1;
    DWORD timeout = 5; // seconds
    DWORD baudRate = 4800;
    DWORD binary = 0;
    DWORD parityCheck = 0;
    DWORD ctsFlow = 0;
    DWORD dsrFlow = 0;
    std::u16string dtrControl = u"enable";
    DWORD dsrSensitivity = 0;
    DWORD xoffContinues = 0;
    DWORD xonXoffOut = 0;
    DWORD xonXoffIn = 0;
    DWORD errorReplacement = 0;
    DWORD nullStripping = 0;
    std::u16string rtsControl = u"enable";
    DWORD abortOnError = 0;
    DWORD xonThreshold = 0;
    DWORD xoffThreshold = 0;
    DWORD byteSize = 8;
    std::u16string parity = u"N";
    std::u16string stopBits = u"1";
    DWORD xonChar = 0;
    DWORD xoffChar = 0;
    DWORD errorChar = 0;
    DWORD eofChar = 0;
    DWORD eventChar = 0;

    // Takes each key of the section that is present; the others keep their values.
    void Read(const std::u16string& section, const std::u16string& settingsPath);
    // Writes every key but "Timeout".
    void Write(const std::u16string& section, const std::u16string& settingsPath) const;
};

// Puts the settings into a DCB taken from the port: the binary flag always; rates 1200 to 115200,
// the parity letters N O E M S, stop bits "1", "1.5", "2" and the DTR and RTS texts (exact,
// case included) only when recognised, else the port's value stays.
void BuildDcb(const SerialPortSettings& settings, DCB& dcb);

class ComPort {
public:
    static constexpr DWORD kStatusGood = 0;
    static constexpr DWORD kStatusClosed = 1;
    static constexpr DWORD kStatusShort = 2; // a read without bytes or a short write
    static constexpr DWORD kStatusFailed = 4;

    ComPort() = default;
    ~ComPort() { Close(); }
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // Opens "COM<port>:" when closed (read and write, not shared); false when it cannot.
    [[nodiscard]] bool Open(DWORD port);
    // Sets the line and the time-outs; false (status failed) when the port refuses them.
    [[nodiscard]] bool Configure(const SerialPortSettings& settings);
    // A read returns at once with the bytes there, else after at most seconds with none.
    [[nodiscard]] bool SetTimeouts(DWORD seconds);
    // Up to capacity bytes: the count, 0 when nothing came, -1 when the read failed.
    [[nodiscard]] int Read(char* buffer, DWORD capacity);
    // True only when every byte went out.
    [[nodiscard]] bool Write(const char* bytes, DWORD count);
    void Close();

    [[nodiscard]] bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    [[nodiscard]] DWORD GetStatus() const { return m_status; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DCB m_portDcb{}; // as the port had it when configured
    DCB m_dcb{};     // as set
    DWORD m_status = kStatusClosed;
};
