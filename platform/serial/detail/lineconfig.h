#pragma once
// Conversion between the port's DCB and the host's termios settings.

#include "platform/serial/serial.h"

#include <termios.h>

namespace platform::detail {

// The settings of a freshly opened port before the device is asked: binary, DTR and RTS on,
// 8N1 at 9600.
[[nodiscard]] DCB InitialDcb();

// The device's rate, byte size, parity, stop bits and flow control over the kept fields.
[[nodiscard]] DCB DcbFromTermios(const termios& settings, const DCB& kept);

// Puts the DCB into settings as a raw line; false (settings partly changed) for an unsupported
// rate, byte size, parity or stop-bit value.
[[nodiscard]] bool TermiosFromDcb(const DCB& dcb, termios& settings);

} // namespace platform::detail
