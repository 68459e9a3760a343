#include "positioning/comport.h"

#include "positioning/gpssettings.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

struct NumberKey {
    const char16_t* key;
    DWORD SerialPortSettings::*field;
};

// Every integer key but "Timeout", in file order (the texts are written between them).
constexpr std::array<NumberKey, 20> kNumberKeys = {{
    {u"Port", &SerialPortSettings::port},
    {u"Baud Rate", &SerialPortSettings::baudRate},
    {u"Binary mode, no EOF check", &SerialPortSettings::binary},
    {u"Enable parity checking", &SerialPortSettings::parityCheck},
    {u"CTS output flow control", &SerialPortSettings::ctsFlow},
    {u"DSR output flow control", &SerialPortSettings::dsrFlow},
    {u"DSR sensitivity", &SerialPortSettings::dsrSensitivity},
    {u"XOFF continues Tx", &SerialPortSettings::xoffContinues},
    {u"XON/XOFF out flow control", &SerialPortSettings::xonXoffOut},
    {u"XON/XOFF in flow control", &SerialPortSettings::xonXoffIn},
    {u"Enable error replacement", &SerialPortSettings::errorReplacement},
    {u"Enable null stripping", &SerialPortSettings::nullStripping},
    {u"Abort reads/writes on error", &SerialPortSettings::abortOnError},
    {u"Transmit XON threshold", &SerialPortSettings::xonThreshold},
    {u"Transmit XOFF threshold", &SerialPortSettings::xoffThreshold},
    {u"Byte size", &SerialPortSettings::byteSize},
    {u"Tx and Rx XON character", &SerialPortSettings::xonChar},
    {u"Tx and Rx XOFF character", &SerialPortSettings::xoffChar},
    {u"Error replacement character", &SerialPortSettings::errorChar},
    {u"End of input character", &SerialPortSettings::eofChar},
}};

struct TextKey {
    const char16_t* key;
    std::u16string SerialPortSettings::*field;
};

constexpr std::array<TextKey, 4> kTextKeys = {{
    {u"DTR flow control type", &SerialPortSettings::dtrControl},
    {u"RTS flow control", &SerialPortSettings::rtsControl},
    {u"Parity", &SerialPortSettings::parity},
    {u"StopBits", &SerialPortSettings::stopBits},
}};

constexpr char16_t kTimeoutKey[] = u"Timeout";
constexpr char16_t kEventCharKey[] = u"Received event character";

constexpr std::array<DWORD, 8> kRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

DWORD Flag(DWORD value) {
    return value != 0 ? 1 : 0;
}

} // namespace

void SerialPortSettings::Read(const std::u16string& section, const std::u16string& settingsPath) {
    // Every key in one scan of the file; each value is the one a read of its key alone finds.
    std::array<LPCWSTR, kNumberKeys.size() + 2 + kTextKeys.size()> keys{};
    std::size_t at = 0;
    for (const NumberKey& entry : kNumberKeys) {
        keys[at++] = entry.key;
    }
    keys[at++] = kTimeoutKey;
    keys[at++] = kEventCharKey;
    for (const TextKey& entry : kTextKeys) {
        keys[at++] = entry.key;
    }
    const std::vector<std::optional<std::u16string>> values =
        gpssettings::GetStrings(section.c_str(), keys, settingsPath);
    at = 0;
    const auto number = [&values, &at](DWORD& field) {
        if (const std::optional<std::u16string>& value = values[at++]) {
            field = static_cast<DWORD>(_wtol(value->c_str()));
        }
    };
    for (const NumberKey& entry : kNumberKeys) {
        number(this->*entry.field);
    }
    number(timeout);
    number(eventChar);
    for (const TextKey& entry : kTextKeys) {
        if (const std::optional<std::u16string>& value = values[at++]) {
            this->*entry.field = *value;
        }
    }
}

void SerialPortSettings::Write(const std::u16string& section,
                               const std::u16string& settingsPath) const {
    const char16_t* file = settingsPath.c_str();
    for (const NumberKey& entry : kNumberKeys) {
        IniProfile::WriteInt(section.c_str(), entry.key, static_cast<INT>(this->*entry.field),
                             file);
    }
    IniProfile::WriteInt(section.c_str(), kEventCharKey, static_cast<INT>(eventChar), file);
    for (const TextKey& entry : kTextKeys) {
        IniProfile::WriteString(section.c_str(), entry.key, (this->*entry.field).c_str(), file);
    }
}

void BuildDcb(const SerialPortSettings& s, DCB& dcb) {
    dcb.fBinary = 1;
    if (std::find(kRates.begin(), kRates.end(), s.baudRate) != kRates.end()) {
        dcb.BaudRate = s.baudRate;
    }
    dcb.ByteSize = static_cast<BYTE>(s.byteSize);
    dcb.fParity = Flag(s.parityCheck);
    const std::u16string_view letters = u"NOEMS";
    if (const auto at = s.parity.empty() ? letters.npos : letters.find(s.parity[0]);
        at != letters.npos) {
        dcb.Parity = static_cast<BYTE>(at);
    }
    if (s.stopBits == u"1") {
        dcb.StopBits = ONESTOPBIT;
    } else if (s.stopBits == u"1.5") {
        dcb.StopBits = ONE5STOPBITS;
    } else if (s.stopBits == u"2") {
        dcb.StopBits = TWOSTOPBITS;
    }
    if (s.dtrControl == u"enable") {
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
    } else if (s.dtrControl == u"disable") {
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
    } else if (s.dtrControl == u"handshake") {
        dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    }
    // The upper-case enable is what the settings files have always used for RTS.
    if (s.rtsControl == u"ENABLE") {
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
    } else if (s.rtsControl == u"disable") {
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
    } else if (s.rtsControl == u"handshake") {
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else if (s.rtsControl == u"toggle") {
        dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    }
    dcb.fOutxCtsFlow = Flag(s.ctsFlow);
    dcb.fOutxDsrFlow = Flag(s.dsrFlow);
    dcb.fDsrSensitivity = Flag(s.dsrSensitivity);
    dcb.fTXContinueOnXoff = Flag(s.xoffContinues);
    dcb.fOutX = Flag(s.xonXoffOut);
    dcb.fInX = Flag(s.xonXoffIn);
    // Its own key switches replacement; taking bit 0 of the character would turn it on for
    // every odd character.
    dcb.fErrorChar = Flag(s.errorReplacement);
    dcb.fNull = Flag(s.nullStripping);
    dcb.fAbortOnError = Flag(s.abortOnError);
    dcb.XonLim = static_cast<WORD>(s.xonThreshold);
    dcb.XoffLim = static_cast<WORD>(s.xoffThreshold);
    dcb.XonChar = static_cast<char>(s.xonChar);
    dcb.XoffChar = static_cast<char>(s.xoffChar);
    dcb.ErrorChar = static_cast<char>(s.errorChar);
    dcb.EofChar = static_cast<char>(s.eofChar);
    dcb.EvtChar = static_cast<char>(s.eventChar);
}

bool ComPort::Open(DWORD port) {
    if (IsOpen()) {
        return false;
    }
    std::u16string name = u"COM";
    for (const char digit : std::to_string(port)) {
        name += static_cast<char16_t>(digit);
    }
    name += u':';
    m_handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (!IsOpen()) {
        return false;
    }
    m_status = kStatusGood;
    return true;
}

bool ComPort::Configure(const SerialPortSettings& settings) {
    if (!IsOpen()) {
        return false;
    }
    if (!GetCommState(m_handle, &m_portDcb)) {
        m_status = kStatusFailed;
        return false;
    }
    m_dcb = m_portDcb;
    BuildDcb(settings, m_dcb);
    if (!SetCommState(m_handle, &m_dcb)) {
        m_status = kStatusFailed;
        return false;
    }
    return SetTimeouts(settings.timeout);
}

bool ComPort::SetTimeouts(DWORD seconds) {
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, seconds * 1000, 0, seconds * 1000};
    if (!SetCommTimeouts(m_handle, &timeouts)) {
        m_status = kStatusFailed;
        return false;
    }
    return true;
}

int ComPort::Read(char* buffer, DWORD capacity) {
    DWORD got = 0;
    if (!ReadFile(m_handle, buffer, capacity, &got, nullptr)) {
        m_status = kStatusFailed;
        return -1;
    }
    if (got == 0) {
        m_status = kStatusShort;
    }
    return static_cast<int>(got);
}

bool ComPort::Write(const char* bytes, DWORD count) {
    DWORD put = 0;
    if (!WriteFile(m_handle, bytes, count, &put, nullptr)) {
        m_status = kStatusFailed;
        return false;
    }
    if (put != count) {
        m_status = kStatusShort;
        return false;
    }
    return true;
}

void ComPort::Close() {
    if (IsOpen()) {
        (void)CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    m_status = kStatusClosed;
}
