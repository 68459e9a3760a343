#include "platform/serial/detail/lineconfig.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform::detail {
namespace {

constexpr std::array<std::pair<DWORD, speed_t>, 8> kRates = {{{1200, B1200},
                                                              {2400, B2400},
                                                              {4800, B4800},
                                                              {9600, B9600},
                                                              {19200, B19200},
                                                              {38400, B38400},
                                                              {57600, B57600},
                                                              {115200, B115200}}};

constexpr std::array<std::pair<BYTE, tcflag_t>, 4> kSizes = {
    {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}}};

} // namespace

DCB InitialDcb() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fTXContinueOnXoff = 1;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

DCB DcbFromTermios(const termios& settings, const DCB& kept) {
    DCB dcb = kept;
    const speed_t speed = cfgetospeed(&settings);
    for (const auto& [rate, code] : kRates) {
        if (code == speed) {
            dcb.BaudRate = rate;
        }
    }
    for (const auto& [size, code] : kSizes) {
        if ((settings.c_cflag & CSIZE) == code) {
            dcb.ByteSize = size;
        }
    }
    const tcflag_t c = settings.c_cflag;
    if ((c & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((c & CMSPAR) != 0) {
        dcb.Parity = (c & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (c & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    if ((c & CSTOPB) == 0) {
        dcb.StopBits = ONESTOPBIT;
    } else if (kept.StopBits != ONE5STOPBITS) {
        dcb.StopBits = TWOSTOPBITS;
    }
    dcb.fParity = (settings.c_iflag & INPCK) != 0 ? 1 : 0;
    dcb.fOutxCtsFlow = (c & CRTSCTS) != 0 ? 1 : 0;
    dcb.fOutX = (settings.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (settings.c_iflag & IXOFF) != 0 ? 1 : 0;
    dcb.XonChar = static_cast<char>(settings.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(settings.c_cc[VSTOP]);
    dcb.fBinary = 1;
    return dcb;
}

bool TermiosFromDcb(const DCB& dcb, termios& settings) {
    const auto rate = std::find_if(kRates.begin(), kRates.end(),
                                   [&](const auto& entry) { return entry.first == dcb.BaudRate; });
    const auto size = std::find_if(kSizes.begin(), kSizes.end(),
                                   [&](const auto& entry) { return entry.first == dcb.ByteSize; });
    if (rate == kRates.end() || size == kSizes.end() || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS) {
        return false;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, rate->second);
    cfsetospeed(&settings, rate->second);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= size->second | CREAD | CLOCAL;
    if (dcb.Parity != NOPARITY) {
        settings.c_cflag |= PARENB;
    }
    if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY) {
        settings.c_cflag |= PARODD;
    }
    if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY) {
        settings.c_cflag |= CMSPAR;
    }
    // termios has no one and a half stop bits; two is the nearer safe choice.
    if (dcb.StopBits != ONESTOPBIT) {
        settings.c_cflag |= CSTOPB;
    }
    if (dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        settings.c_cflag |= CRTSCTS;
    }
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (dcb.fParity != 0) {
        settings.c_iflag |= INPCK;
    }
    if (dcb.fOutX != 0) {
        settings.c_iflag |= IXON;
    }
    if (dcb.fInX != 0) {
        settings.c_iflag |= IXOFF;
    }
    settings.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    settings.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return true;
}

} // namespace platform::detail
