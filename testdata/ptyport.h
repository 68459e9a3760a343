#pragma once
// A serial fixture: a pseudo-terminal pair whose slave is mapped as "COMn:" while the fixture
// lives; the test plays the receiver on the master side.

#include <chrono>
#include <string>
#include <string_view>
#include <termios.h>

namespace testdata {

class PtyPort {
public:
    // Opens a pair and maps its slave as "COM<port>:"; IsOpen tells whether that worked.
    explicit PtyPort(int port);
    ~PtyPort(); // removes the mapping and closes the master
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_master >= 0; }
    [[nodiscard]] const std::string& SlavePath() const { return m_slavePath; }

    // Sends bytes as the receiver; false when not all of them went out.
    [[nodiscard]] bool Send(std::string_view bytes) const;
    // Bytes the port has written, waiting up to wait (host time) for the first one and 20 ms
    // for more.
    [[nodiscard]] std::string Receive(std::chrono::milliseconds wait) const;
    // Waits up to wait (host time) until the port holds the slave open (the master no longer
    // reports a hang-up); false when it does not by then.
    [[nodiscard]] bool WaitForSlaveOpen(std::chrono::milliseconds wait) const;
    // Waits up to wait (host time) until the port has read every byte sent to it; false when it
    // has not by then.
    [[nodiscard]] bool WaitUntilRead(std::chrono::milliseconds wait) const;
    // The line settings of the slave as the device holds them; false when unreadable.
    [[nodiscard]] bool SlaveSettings(termios& settings) const;
    // Closes the master: the port's next read fails.
    void HangUp();

private:
    int m_port;
    int m_master = -1;
    std::string m_slavePath;
};

} // namespace testdata
