#pragma once
// The base of every GPS source: a fix signal and a status signal, both fired on the source's
// reader thread.

#include "positioning/matchedposition.h"
#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

class GpsDevice {
public:
    // Status codes of the status signal.
    static constexpr DWORD kStatusReplayFileMissing = 3;
    static constexpr DWORD kStatusReadFailed = 4;

    GpsDevice() = default;
    virtual ~GpsDevice() = default;
    GpsDevice(const GpsDevice&) = delete;
    GpsDevice& operator=(const GpsDevice&) = delete;

    // The read loop, on the device thread; returns after Stop.
    virtual void Run() = 0;
    // Ends Run; safe from any thread.
    virtual void Stop() = 0;

    // Carries the new fix; the record is valid only during the call.
    [[nodiscard]] EventSource<const GpsFix*>& GetFixSignal() noexcept { return m_fixSignal; }
    [[nodiscard]] EventSource<DWORD>& GetStatusSignal() noexcept { return m_statusSignal; }

protected:
    EventSource<const GpsFix*> m_fixSignal;
    EventSource<DWORD> m_statusSignal;
};
