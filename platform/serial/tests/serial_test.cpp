#include "testdata/ptyport.h"
#include "testdata/tempdir.h"

#include "platform/files/files.h"
#include "platform/kernel/time.h"
#include "platform/serial/serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

HANDLE OpenPort(const char16_t* name) {
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(SerialPortOpen, FindsMappedPortsOnlyAndNeverShares) {
    testdata::TempDeviceRoot root;
    testdata::PtyPort mapped(3);
    testdata::PtyPort fromFile(9); // mapped here, then unmapped in favour of the file
    ASSERT_TRUE(mapped.IsOpen() && fromFile.IsOpen());
    platform::SetComPortMapping(9, {});
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\comports.ini",
                               "; ports of this machine\r\nCOM7=" + fromFile.SlavePath() + "\r\n"));

    HANDLE first = OpenPort(u"COM3:");
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    const struct {
        const char16_t* name;
        DWORD error; // ERROR_SUCCESS: opens
    } cases[] = {{u"COM3:", ERROR_ACCESS_DENIED},  {u"COM4:", ERROR_FILE_NOT_FOUND},
                 {u"COM9:", ERROR_FILE_NOT_FOUND}, {u"com7:", ERROR_SUCCESS},
                 {u"COM0:", ERROR_FILE_NOT_FOUND}, {u"COMX:", ERROR_FILE_NOT_FOUND}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::u16string(c.name).size());
        HANDLE handle = OpenPort(c.name);
        EXPECT_EQ(handle != INVALID_HANDLE_VALUE, c.error == ERROR_SUCCESS);
        EXPECT_EQ(GetLastError(), c.error);
        if (handle != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(handle));
        }
    }
    EXPECT_EQ(SetFilePointer(first, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(CloseHandle(first));
    HANDLE again = OpenPort(u"COM3:");
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST(SerialLineSettings, ReachTheDeviceAndReadBack) {
    testdata::PtyPort pty(2);
    ASSERT_TRUE(pty.IsOpen());
    HANDLE port = OpenPort(u"COM2:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    termios fresh{};
    ASSERT_TRUE(pty.SlaveSettings(fresh));
    DCB base{};
    ASSERT_TRUE(GetCommState(port, &base));
    EXPECT_EQ((fresh.c_cflag & CSIZE) == CS8, base.ByteSize == 8);
    EXPECT_EQ(base.fBinary, 1u);

    const struct {
        const char* what;
        std::function<void(DCB&)> change;
        bool isTaken;
        std::function<bool(const termios&)> holds;
    } cases[] = {
        {"4800", [](DCB& d) { d.BaudRate = 4800; }, true,
         [](const termios& t) { return cfgetospeed(&t) == B4800; }},
        {"14400 refused", [](DCB& d) { d.BaudRate = 14400; }, false,
         [](const termios& t) { return cfgetospeed(&t) == B4800; }},
        {"115200", [](DCB& d) { d.BaudRate = 115200; }, true,
         [](const termios& t) { return cfgetospeed(&t) == B115200; }},
        {"7 bits", [](DCB& d) { d.ByteSize = 7; }, true, [](const termios&) { return true; }},
        {"9 bits", [](DCB& d) { d.ByteSize = 9; }, false, [](const termios&) { return true; }},
        {"odd", [](DCB& d) { d.Parity = ODDPARITY; }, true,
         [](const termios& t) { return (t.c_cflag & (PARODD | CMSPAR)) == PARODD; }},
        {"even", [](DCB& d) { d.Parity = EVENPARITY; }, true,
         [](const termios& t) { return (t.c_cflag & (PARODD | CMSPAR)) == 0; }},
        {"mark", [](DCB& d) { d.Parity = MARKPARITY; }, true,
         [](const termios& t) { return (t.c_cflag & (PARODD | CMSPAR)) == (PARODD | CMSPAR); }},
        {"space", [](DCB& d) { d.Parity = SPACEPARITY; }, true,
         [](const termios& t) { return (t.c_cflag & (PARODD | CMSPAR)) == CMSPAR; }},
        {"parity 5", [](DCB& d) { d.Parity = 5; }, false,
         [](const termios& t) { return (t.c_cflag & (PARODD | CMSPAR)) == 0; }},
        {"1.5 stop", [](DCB& d) { d.StopBits = ONE5STOPBITS; }, true,
         [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
        {"1 stop", [](DCB& d) { d.StopBits = ONESTOPBIT; }, true,
         [](const termios& t) { return (t.c_cflag & CSTOPB) == 0; }},
        {"CTS flow", [](DCB& d) { d.fOutxCtsFlow = 1; }, true,
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        {"RTS handshake", [](DCB& d) { d.fRtsControl = RTS_CONTROL_HANDSHAKE; }, true,
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        {"no flow", [](DCB&) {}, true, [](const termios& t) { return (t.c_cflag & CRTSCTS) == 0; }},
        {"XON/XOFF",
         [](DCB& d) {
             d.fOutX = 1;
             d.fInX = 1;
             d.XonChar = 0x21;
             d.XoffChar = 0x22;
         },
         true,
         [](const termios& t) {
             return (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF) && t.c_cc[VSTART] == 0x21 &&
                    t.c_cc[VSTOP] == 0x22;
         }},
        {"parity check", [](DCB& d) { d.fParity = 1; }, true,
         [](const termios& t) { return (t.c_iflag & INPCK) != 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DCB dcb = base;
        dcb.BaudRate = 4800;
        dcb.fOutX = dcb.fInX = dcb.fOutxCtsFlow = dcb.fParity = 0;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        ASSERT_TRUE(SetCommState(port, &dcb));
        c.change(dcb);
        dcb.EvtChar = 'E';
        dcb.XonLim = 77;
        EXPECT_EQ(SetCommState(port, &dcb) != FALSE, c.isTaken);
        if (!c.isTaken) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        }
        termios now{};
        ASSERT_TRUE(pty.SlaveSettings(now));
        EXPECT_TRUE(c.holds(now));
        DCB back{};
        ASSERT_TRUE(GetCommState(port, &back));
        if (c.isTaken) {
            EXPECT_EQ(back.BaudRate, dcb.BaudRate);
            EXPECT_EQ(back.Parity, dcb.Parity);
            EXPECT_EQ(back.ByteSize, dcb.ByteSize);
            EXPECT_EQ(back.StopBits, dcb.StopBits);
            EXPECT_EQ(back.EvtChar, 'E');
            EXPECT_EQ(back.XonLim, 77);
        }
    }
    EXPECT_TRUE(CloseHandle(port));
}

// A read on another thread under the virtual clock; the test moves the clock.
TEST(SerialReadTimeout, ReturnsBytesAtOnceOrNothingAfterTheTimeout) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    testdata::PtyPort pty(5);
    ASSERT_TRUE(pty.IsOpen());
    HANDLE port = OpenPort(u"COM5:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 3000, 0, 3000};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.fNull = 1;
    dcb.fOutX = dcb.fInX = 0;
    ASSERT_TRUE(SetCommState(port, &dcb));

    const auto read = [&] {
        return std::async(std::launch::async, [&] {
            char buffer[256];
            DWORD got = 0;
            const BOOL isRead = ReadFile(port, buffer, sizeof buffer, &got, nullptr);
            return std::make_pair(isRead, std::string(buffer, got));
        });
    };
    const struct {
        const char* what;
        std::string sent;     // before the read starts
        DWORD advanceFirstMs; // the read must still wait after this
        DWORD advanceThenMs;  // the read must end after this
        BOOL isRead;
        std::string got;
    } cases[] = {
        {"bytes there", std::string("$GP\0GGA", 7), 0, 0, TRUE, "$GPGGA"},
        {"silence", "", 2999, 1, TRUE, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(pty.Send(c.sent));
        std::this_thread::sleep_for(20ms); // let the bytes cross the pty
        auto pending = read();
        std::this_thread::sleep_for(50ms); // the read has taken its start time
        if (c.advanceFirstMs > 0) {
            clock.Advance(c.advanceFirstMs);
            EXPECT_EQ(pending.wait_for(50ms), std::future_status::timeout);
            clock.Advance(c.advanceThenMs);
        }
        ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
        const auto [isRead, got] = pending.get();
        EXPECT_EQ(isRead, c.isRead);
        EXPECT_EQ(got, c.got);
    }
    pty.HangUp();
    char buffer[16];
    DWORD got = 1;
    EXPECT_FALSE(ReadFile(port, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(CloseHandle(port));
}

TEST(SerialWrite, ReportsAShortWriteThroughItsCount) {
    testdata::PtyPort pty(6);
    ASSERT_TRUE(pty.IsOpen());
    HANDLE port = OpenPort(u"COM6:");
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 10, 0, 10};
    ASSERT_TRUE(SetCommTimeouts(port, &timeouts));
    const std::string init = "$PSRF100,1,4800,8,1,0*0E\r\n";
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(port, init.data(), static_cast<DWORD>(init.size()), &put, nullptr));
    EXPECT_EQ(put, init.size());
    EXPECT_EQ(pty.Receive(1s), init);
    const std::string flood(1 << 20, 'x'); // more than the line holds while nobody reads
    EXPECT_TRUE(WriteFile(port, flood.data(), static_cast<DWORD>(flood.size()), &put, nullptr));
    EXPECT_LT(put, flood.size());
    EXPECT_TRUE(CloseHandle(port));
}

} // namespace
