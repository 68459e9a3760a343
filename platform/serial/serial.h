#pragma once
// Serial ports "COM1:" ... "COM255:" over termios. CreateFileW hands every "COMn:" name to this
// layer; a port exists only while a host device is mapped to it, by SetComPortMapping (tests) or
// by a line "COMn=/dev/ttyUSB0" in "\Windows\comports.ini". Handles close with CloseHandle and
// are served by ReadFile and WriteFile; SetFilePointer on them fails (ERROR_INVALID_FUNCTION).
// Safe from any thread; one reader and one writer may use a port at once.

#include "platform/types.h" // MAXDWORD

#include <string>

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;

constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// Line settings of a port.
struct DCB {
    DWORD DCBlength;
    DWORD BaudRate;
    DWORD fBinary : 1;
    DWORD fParity : 1;
    DWORD fOutxCtsFlow : 1;
    DWORD fOutxDsrFlow : 1;
    DWORD fDtrControl : 2;
    DWORD fDsrSensitivity : 1;
    DWORD fTXContinueOnXoff : 1;
    DWORD fOutX : 1;
    DWORD fInX : 1;
    DWORD fErrorChar : 1;
    DWORD fNull : 1;
    DWORD fRtsControl : 2;
    DWORD fAbortOnError : 1;
    DWORD fDummy2 : 17;
    WORD wReserved;
    WORD XonLim;
    WORD XoffLim;
    BYTE ByteSize;
    BYTE Parity;
    BYTE StopBits;
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    WORD wReserved1;
};
using LPDCB = DCB*;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
using LPCOMMTIMEOUTS = COMMTIMEOUTS*;

// The line settings in force: rate, byte size, parity, stop bits, CTS flow and XON/XOFF come from
// the device (termios); the other fields are those last set. ERROR_INVALID_HANDLE for a handle
// that is not a port.
[[nodiscard]] BOOL GetCommState(HANDLE file, LPDCB dcb);

// Rates 1200 to 115200 (the standard steps); ByteSize 5-8; Parity NOPARITY to SPACEPARITY (mark
// and space through CMSPAR); StopBits one, one and a half (taken as two) or two. CTS flow or RTS
// handshake turn on hardware flow control, fOutX/fInX XON/XOFF with XonChar/XoffChar. DTR and RTS
// enable/disable set the modem lines where the device has them. fNull strips NUL bytes from
// reads. Anything else out of range fails with ERROR_INVALID_PARAMETER and changes nothing.
[[nodiscard]] BOOL SetCommState(HANDLE file, LPDCB dcb);

// Read time-outs on the installed clock (platform/time.h). With ReadIntervalTimeout and
// ReadTotalTimeoutMultiplier MAXDWORD and 0 < ReadTotalTimeoutConstant < MAXDWORD, a read returns
// at once with the bytes there, else waits up to the constant for the first byte and then
// succeeds with 0 bytes. Interval MAXDWORD with zero totals returns at once. Otherwise a read
// waits up to multiplier x count + constant (no limit when both are 0) for its first byte and
// returns what is there then. A write waits up to its multiplier x count + constant (no limit
// when both are 0) and reports a short write through its count.
[[nodiscard]] BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);
[[nodiscard]] BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts);

namespace platform {

// Maps port n (1-255) to a host device path; an empty path removes the mapping. Mappings made
// here take precedence over "\Windows\comports.ini", which is read at every open.
void SetComPortMapping(int port, const std::string& hostPath);
void ClearComPortMappings();

} // namespace platform
