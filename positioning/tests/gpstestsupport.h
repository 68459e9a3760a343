#pragma once
// Shared by the GPS tests: the shipped settings text and a recorder of a device's signals.

#include "positioning/gpsdevice.h"
#include "testdata/testfiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

inline std::string ShippedSettings() {
    return testdata::ReadTestFile(NAV_DEZIV_INI);
}

class GpsListener {
public:
    explicit GpsListener(GpsDevice& device) {
        device.GetFixSignal().Connect(this, &GpsListener::OnFix);
        device.GetStatusSignal().Connect(this, &GpsListener::OnStatus);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // Waits (real time, up to limit) until there are count fixes.
    bool WaitForFixes(std::size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock locked(m_mutex);
        return m_changed.wait_for(locked, limit, [&] { return m_fixes.size() >= count; });
    }
    std::vector<GpsFix> Fixes() {
        std::lock_guard locked(m_mutex);
        return m_fixes;
    }
    std::vector<DWORD> Statuses() {
        std::lock_guard locked(m_mutex);
        return m_statuses;
    }

private:
    void OnFix(const GpsFix* fix) {
        std::lock_guard locked(m_mutex);
        m_fixes.push_back(*fix);
        m_changed.notify_all();
    }
    void OnStatus(DWORD status) {
        std::lock_guard locked(m_mutex);
        m_statuses.push_back(status);
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<GpsFix> m_fixes;
    std::vector<DWORD> m_statuses;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};
