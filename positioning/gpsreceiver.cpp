#include "positioning/gpsreceiver.h"

#include "positioning/gpssettings.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <new>

namespace {

// Rate of a handle or replay file: a GGA and a VTG sentence a second.
constexpr float kHandleRate = 2.0f;

} // namespace

GpsReceiver::GpsReceiver(const std::u16string& settingsPath)
    : m_changeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_stopEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_settingsPath(settingsPath) {
    const std::u16string protocol =
        gpssettings::GetString(u"Default GPS", u"GPS", m_settingsPath, u"NMEA");
    m_parser.Load(m_settingsPath, protocol);
}

GpsReceiver::~GpsReceiver() {
    CloseCurrentHandle();
    m_source.Release();
    m_parser.CloseRawLog();
    for (HANDLE event : {m_changeEvent, m_stopEvent}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

void GpsReceiver::CloseCurrentHandle() {
    ScopedLock locked(&m_lock);
    if (m_handle != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
}

void GpsReceiver::Stop() {
    (void)SetEvent(m_stopEvent);
}

void GpsReceiver::SetSentenceRate(float sentencesPerSecond) {
    m_parser.SetSentenceRate(sentencesPerSecond);
}

float GpsReceiver::GetSentenceRate() {
    return m_parser.GetSentenceRate();
}

bool GpsReceiver::OpenRawLog(const std::u16string& path) {
    return m_parser.OpenRawLog(path);
}

void GpsReceiver::CloseRawLog() {
    m_parser.CloseRawLog();
}

void GpsReceiver::AttachHandle(HANDLE handle) {
    {
        ScopedLock locked(&m_lock);
        m_source.Release();
    }
    SetSentenceRate(kHandleRate);
    ScopedLock locked(&m_lock);
    if (m_handle != INVALID_HANDLE_VALUE && m_handle != handle) {
        (void)CloseHandle(m_handle);
    }
    m_handle = handle;
    (void)SetEvent(m_changeEvent);
}

void GpsReceiver::OpenReplayFile(const std::u16string& path) {
    {
        ScopedLock locked(&m_lock);
        m_source.Release();
    }
    SetSentenceRate(kHandleRate);
    bool isOpen = false;
    {
        ScopedLock locked(&m_lock);
        if (m_handle != INVALID_HANDLE_VALUE) {
            (void)CloseHandle(m_handle);
        }
        m_handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        isOpen = m_handle != INVALID_HANDLE_VALUE;
        if (isOpen) {
            (void)SetEvent(m_changeEvent);
        }
    }
    if (!isOpen) {
        m_statusSignal.Emit(kStatusReplayFileMissing);
    }
}

void GpsReceiver::UseReceiverLibrary() {
    CloseCurrentHandle();
    CountedPtr<GpsTmcAdapter> adapter = GpsTmcAdapter::Instance();
    {
        ScopedLock locked(&m_lock);
        m_source = adapter;
    }
    SetSentenceRate(0.0f);
    (void)SetEvent(m_changeEvent);
}

bool GpsReceiver::IsReadingHandle() {
    ScopedLock locked(&m_lock);
    return m_handle != INVALID_HANDLE_VALUE;
}

bool GpsReceiver::SetFilePosition(DWORD offset) {
    ScopedLock locked(&m_lock);
    // The file's end as it is now, under the lock Run reads with: a file shortened since it was
    // opened keeps its position rather than take one where Run would find neither data nor end.
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(m_handle, &sizeHigh);
    if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) ||
        (sizeHigh == 0 && offset > size)) {
        return false;
    }
    LONG high = 0;
    (void)SetFilePointer(m_handle, static_cast<LONG>(offset), &high, FILE_BEGIN);
    return true;
}

DWORD GpsReceiver::GetFilePosition() {
    ScopedLock locked(&m_lock);
    LONG high = 0;
    return SetFilePointer(m_handle, 0, &high, FILE_CURRENT);
}

DWORD GpsReceiver::GetFileLength() {
    ScopedLock locked(&m_lock);
    DWORD high = 0;
    const DWORD size = GetFileSize(m_handle, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        return 0;
    }
    return high != 0 ? MAXDWORD : size;
}

void GpsReceiver::FormatFix(const GpsFix& fix, std::u16string& out) {
    m_parser.FormatFix(fix, out);
}

int GpsReceiver::ReadHandle(char* buffer, bool& isAtEnd) {
    DWORD count = 0;
    if (!ReadFile(m_handle, buffer, kReadChunk, &count, nullptr)) {
        return -1;
    }
    if (count == 0) {
        // A handle without a position (a port) counts as being at its end.
        LONG high = 0;
        const DWORD position = SetFilePointer(m_handle, 0, &high, FILE_CURRENT);
        DWORD sizeHigh = 0;
        const DWORD size = GetFileSize(m_handle, &sizeHigh);
        isAtEnd = position == INVALID_SET_FILE_POINTER || size == INVALID_FILE_SIZE ||
                  (position == size && static_cast<DWORD>(high) == sizeHigh);
    }
    return static_cast<int>(count);
}

bool GpsReceiver::PublishCompletedCycles(GpsFix& fix, DWORD& lastFixTick, bool& hasPublished) {
    while (m_parser.IsCycleComplete()) {
        const auto wait =
            static_cast<std::int32_t>(m_parser.PacingDelay() - (GetTickCount() - lastFixTick));
        if (wait > 0 &&
            WaitForSingleObject(m_stopEvent, static_cast<DWORD>(wait)) == WAIT_OBJECT_0) {
            return false;
        }
        lastFixTick = GetTickCount();
        m_parser.FillFix(fix);
        m_parser.ResetCycle();
        hasPublished = true;
        m_fixSignal.Emit(&fix);
    }
    return true;
}

void GpsReceiver::Run() {
    GpsFix fix;
    DWORD lastFixTick = GetTickCount();
    bool hasPublishedSinceRewind = false;
    for (;;) {
        char buffer[kReadChunk];
        int count = 0;
        bool hasSource = false;
        {
            ScopedLock locked(&m_lock);
            if (m_source) {
                hasSource = true;
                count = m_source->ReadNmea(buffer, static_cast<int>(kReadChunk));
                if (count < 0) {
                    m_source.Release();
                    continue;
                }
            }
        }
        if (hasSource && count == 0) {
            if (WaitForSingleObject(m_stopEvent, 100) == WAIT_OBJECT_0) {
                return;
            }
        } else if (!hasSource) {
            if (WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) {
                return;
            }
            ScopedLock locked(&m_lock);
            if (m_handle == INVALID_HANDLE_VALUE) {
                locked.Unlock();
                const HANDLE events[] = {m_stopEvent, m_changeEvent};
                if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                    return;
                }
                m_parser.ResetCycle();
                hasPublishedSinceRewind = false;
                continue;
            }
            bool isAtEnd = false;
            count = ReadHandle(buffer, isAtEnd);
            if (count == 0 && isAtEnd) {
                (void)SetFilePosition(0);
                m_parser.ResetCycle();
                locked.Unlock();
                // A file without a whole cycle would otherwise be read again at full speed.
                if (!hasPublishedSinceRewind &&
                    WaitForSingleObject(m_stopEvent, kIdleRewindMs) == WAIT_OBJECT_0) {
                    return;
                }
                hasPublishedSinceRewind = false;
                continue;
            }
            if (count < 1) {
                (void)CloseHandle(m_handle);
                m_handle = INVALID_HANDLE_VALUE;
                locked.Unlock();
                m_statusSignal.Emit(kStatusReadFailed);
                continue;
            }
        }
        if (count > 0) {
            m_parser.LogBytes(buffer, static_cast<std::size_t>(count));
            m_parser.Feed(buffer, static_cast<std::size_t>(count));
        }
        // Every cycle these bytes completed is published, in order, each at its pace.
        if (!PublishCompletedCycles(fix, lastFixTick, hasPublishedSinceRewind)) {
            return;
        }
    }
}

GpsReceiverPtr CreateGpsReceiver(const std::u16string& settingsPath) {
    return GpsReceiverPtr(new (std::nothrow) GpsReceiver(settingsPath));
}
