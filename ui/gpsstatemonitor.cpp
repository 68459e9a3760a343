#include "ui/gpsstatemonitor.h"

#include "ui/gpsdlg.h"

#include "platform/window/message.h"

#include <cmath>
#include <new>

GpsStateMonitor& GpsStateMonitor::Instance() {
    static GpsStateMonitor monitor;
    return monitor;
}

GpsStateMonitor::GpsStateMonitor() = default;

GpsStateMonitor::~GpsStateMonitor() = default;

int GpsStateMonitor::ClassifyFix(float hdop) {
    // Only values that truncate to -2 or -1 are tested, so anything outside (-3, 0) is class 2
    // without a conversion that could be undefined.
    if (!(hdop > -3.0f && hdop < 0.0f))
        return 2;
    const int truncated = static_cast<int>(hdop);
    if (truncated == -2)
        return 0;
    if (truncated == -1)
        return 1;
    return 2;
}

void GpsStateMonitor::OnPosition(const MatchedPosition& position) {
    const int fixClass = ClassifyFix(position.fix.hdop);
    const int satellites = position.fix.satellites;
    bool hasChanged = false;
    {
        std::lock_guard lock(m_lock);
        if (!m_hasReported) {
            m_reportedClass = m_fixClass;
            m_reportedSatellites = m_satellites;
            m_hasReported = true;
        }
        m_fixClass = fixClass;
        m_satellites = satellites;
        hasChanged = fixClass != m_reportedClass || satellites != m_reportedSatellites;
        m_reportedClass = fixClass;
        m_reportedSatellites = satellites;
    }
    if (hasChanged) {
        m_event.Emit(&fixClass);
        HWND indicator = m_indicatorWindow.load();
        if (indicator != nullptr)
            PostMessageW(indicator, WM_PAINT, 0, 0);
    }
    if (GpsDlg* dialog = GetDialog())
        dialog->Update(position);
}

GpsDlg* GpsStateMonitor::GetDialog() {
    std::lock_guard lock(m_dialogLock);
    if (m_dialog == nullptr)
        m_dialog.reset(new (std::nothrow) GpsDlg);
    return m_dialog.get();
}

void GpsStateMonitor::ShowDialog(HWND parent) {
    GpsDlg* dialog = GetDialog();
    if (dialog != nullptr && dialog->GetWindow() == nullptr)
        dialog->DoModal(parent);
}

HWND GpsStateMonitor::GetDialogWindow() const {
    std::lock_guard lock(m_dialogLock);
    return m_dialog != nullptr ? m_dialog->GetWindow() : nullptr;
}

int GpsStateMonitor::GetFixClass() const {
    std::lock_guard lock(m_lock);
    return m_fixClass;
}

int GpsStateMonitor::GetSatelliteCount() const {
    std::lock_guard lock(m_lock);
    return m_satellites;
}
