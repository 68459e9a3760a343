#include "testdata/ptyport.h"

#include "platform/serial/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace testdata {

PtyPort::PtyPort(int port)
    : m_port(port) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return;
    }
    const char* name = ::ptsname(master);
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || name == nullptr) {
        ::close(master);
        return;
    }
    m_master = master;
    m_slavePath = name;
    // Raw from the start, so that bytes sent before the port is opened arrive unchanged.
    if (const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC); slave >= 0) {
        termios settings{};
        if (::tcgetattr(slave, &settings) == 0) {
            ::cfmakeraw(&settings);
            (void)::tcsetattr(slave, TCSANOW, &settings);
        }
        ::close(slave);
    }
    platform::SetComPortMapping(port, m_slavePath);
}

PtyPort::~PtyPort() {
    platform::SetComPortMapping(m_port, {});
    HangUp();
}

bool PtyPort::Send(std::string_view bytes) const {
    std::size_t sent = 0;
    while (m_master >= 0 && sent < bytes.size()) {
        const ssize_t put = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (put <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(put);
    }
    return m_master >= 0;
}

std::string PtyPort::Receive(std::chrono::milliseconds wait) const {
    std::string bytes;
    // While nobody has the slave open the master reports a hang-up: keep looking until the
    // time is up, and once bytes came take what follows within 20 ms.
    auto deadline = std::chrono::steady_clock::now() + wait;
    char chunk[512];
    while (m_master >= 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{m_master, POLLIN, 0};
        if (::poll(&entry, 1, 5) > 0 && (entry.revents & POLLIN) != 0) {
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got > 0) {
                bytes.append(chunk, static_cast<std::size_t>(got));
                deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
                continue;
            }
        }
        if ((entry.revents & POLLIN) == 0 && (entry.revents & POLLHUP) != 0) {
            ::usleep(5000);
        }
    }
    return bytes;
}

bool PtyPort::WaitForSlaveOpen(std::chrono::milliseconds wait) const {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (m_master >= 0) {
        pollfd entry{m_master, 0, 0};
        if (::poll(&entry, 1, 0) >= 0 && (entry.revents & POLLHUP) == 0) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        ::usleep(2000);
    }
    return false;
}

bool PtyPort::WaitUntilRead(std::chrono::milliseconds wait) const {
    // The bytes waiting in the slave's input queue, seen through a descriptor of our own.
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    bool isRead = false;
    for (;;) {
        int pending = 0;
        if (::ioctl(slave, FIONREAD, &pending) != 0) {
            break;
        }
        if (pending == 0) {
            isRead = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        ::usleep(1000);
    }
    ::close(slave);
    return isRead;
}

bool PtyPort::SlaveSettings(termios& settings) const {
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        return false;
    }
    const bool isRead = ::tcgetattr(slave, &settings) == 0;
    ::close(slave);
    return isRead;
}

void PtyPort::HangUp() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace testdata
