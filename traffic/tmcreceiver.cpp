#include "traffic/tmcreceiver.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr double kLongestWaitMs = 0xFFFFFFFE; // below INFINITE

// truncate(ms), 0 below 1 (also for a negative or not-a-number value), at most kLongestWaitMs.
DWORD WaitMs(double ms) {
    if (!(ms >= 1.0)) {
        return 0;
    }
    return static_cast<DWORD>(std::min(std::trunc(ms), kLongestWaitMs));
}

} // namespace

TmcReceiver::TmcReceiver(std::u16string settingsFile)
    : m_changeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_stopEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_handle(INVALID_HANDLE_VALUE)
    , m_settingsFile(std::move(settingsFile)) {}

TmcReceiver::~TmcReceiver() {
    {
        ScopedLock lock(&m_lock);
        if (m_handle != INVALID_HANDLE_VALUE) {
            (void)CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
        }
        m_supervisor.StopThread();
        m_supervisor.SetTuner(CountedPtr<GpsTmcAdapter>());
        DropSource();
    }
    m_decoder.CloseLog();
    for (HANDLE event : {m_changeEvent, m_stopEvent}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

bool TmcReceiver::WaitForStop(DWORD ms) const {
    const DWORD result = WaitForSingleObject(m_stopEvent, ms);
    return result == WAIT_OBJECT_0 || result == WAIT_FAILED;
}

void TmcReceiver::Run() {
    m_decoder.Reset();
    m_hasMessageSinceRewind = false;
    DWORD lastMessageTick = GetTickCount();
    char buffer[kReadSize];
    for (;;) {
        int count = 0;
        bool hasSource = false;
        {
            ScopedLock lock(&m_lock);
            hasSource = m_source.Get() != nullptr;
        }
        const Step step =
            hasSource ? ReadFromLibrary(buffer, count) : ReadFromHandle(buffer, count);
        if (step == Step::Stopped) {
            return;
        }
        if (step == Step::Ended && EndPass(lastMessageTick) == Step::Stopped) {
            return;
        }
        if (count > 0 && DecodeAndFire(buffer, count, lastMessageTick) == Step::Stopped) {
            return;
        }
    }
}

TmcReceiver::Step TmcReceiver::ReadFromLibrary(char* buffer, int& count) {
    {
        ScopedLock lock(&m_lock);
        if (m_source.Get() == nullptr) {
            return Step::Continue; // switched away meanwhile
        }
        count = m_source->ReadTmc(buffer, kReadSize);
    }
    CountRead();
    if (count > 0) {
        return Step::Continue;
    }
    DWORD waitMs = kLibraryRetryMs;
    if (count == 0) {
        const float rate = GetReplayRate();
        waitMs = rate != 0.0F ? WaitMs(1000.0 / static_cast<double>(rate)) : kIdlePollMs;
    }
    count = 0;
    return WaitForStop(waitMs) ? Step::Stopped : Step::Continue;
}

TmcReceiver::Step TmcReceiver::ReadFromHandle(char* buffer, int& count) {
    if (WaitForStop(0)) {
        return Step::Stopped;
    }
    bool hasFailed = false;
    {
        ScopedLock lock(&m_lock);
        if (m_source.Get() != nullptr) {
            return Step::Continue;
        }
        if (m_handle == INVALID_HANDLE_VALUE) {
            lock.Unlock();
            const HANDLE events[2] = {m_stopEvent, m_changeEvent};
            const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (woken != WAIT_OBJECT_0 + 1) {
                return Step::Stopped;
            }
            m_decoder.Reset();
            m_hasMessageSinceRewind = false;
            return Step::Continue;
        }
        if (m_readHandleNumber != m_handleNumber) {
            // Another file or handle: its pass starts here.
            m_readHandleNumber = m_handleNumber;
            m_groupsBeforePass = m_decoder.GetGroupCount();
        }
        DWORD read = 0;
        const BOOL isRead = ReadFile(m_handle, buffer, kReadSize, &read, nullptr);
        CountRead();
        if (!isRead) {
            (void)CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
            hasFailed = true;
        } else if (read == 0) {
            return Step::Ended;
        } else {
            count = static_cast<int>(read);
        }
    }
    if (hasFailed) {
        GetStatusSignal().Emit(static_cast<std::uint32_t>(TmcReceiverStatus::ReadFailed));
    }
    return Step::Continue;
}

TmcReceiver::Step TmcReceiver::EndPass(DWORD& lastMessageTick) {
    // The end of the input ends its last line: a group on it without its line end is taken.
    if (m_decoder.EndInput() && FireReady(lastMessageTick) == Step::Stopped) {
        return Step::Stopped;
    }
    const std::uint64_t groups = m_decoder.GetGroupCount();
    const bool hasGroups = groups != m_groupsBeforePass;
    m_groupsBeforePass = groups;
    {
        ScopedLock lock(&m_lock);
        if (m_handleNumber != m_readHandleNumber || m_handle == INVALID_HANDLE_VALUE) {
            return Step::Continue; // another source came meanwhile: it starts its own pass
        }
        m_decoder.Reset();
        const bool isPassWhole = m_isPassWhole;
        m_isPassWhole = true;
        if (m_isReplayFile && isPassWhole && !hasGroups) {
            // A whole pass of the file gave no group: nothing in it can be read, and it is not
            // read again. The receiver waits for another source.
            (void)CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
            m_hasMessageSinceRewind = false;
            return Step::Continue;
        }
        LONG high = 0;
        (void)SetFilePointer(m_handle, 0, &high, FILE_BEGIN);
    }
    // A file without a whole message would otherwise be re-read at full speed.
    const bool isEmpty = !m_hasMessageSinceRewind;
    m_hasMessageSinceRewind = false;
    if (isEmpty && WaitForStop(kEmptyRewindMs)) {
        return Step::Stopped;
    }
    return Step::Continue;
}

TmcReceiver::Step TmcReceiver::DecodeAndFire(const char* buffer, int count,
                                             DWORD& lastMessageTick) {
    m_decoder.LogBytes(buffer, count);
    int offset = 0;
    while (offset < count) {
        offset += m_decoder.Decode(buffer + offset, count - offset);
        if (m_decoder.IsMessageReady() && FireReady(lastMessageTick) == Step::Stopped) {
            return Step::Stopped;
        }
    }
    return Step::Continue;
}

TmcReceiver::Step TmcReceiver::FireReady(DWORD& lastMessageTick) {
    const float rate = GetReplayRate();
    if (rate != 0.0F) {
        const double sinceLast = static_cast<double>(GetTickCount() - lastMessageTick);
        if (WaitForStop(WaitMs(1000.0 / static_cast<double>(rate) - sinceLast))) {
            return Step::Stopped;
        }
    }
    lastMessageTick = GetTickCount();
    m_hasMessageSinceRewind = true;
    const TmcRawMessage* message = m_decoder.TakeMessage();
    if (message != nullptr) {
        GetMessageSignal().Emit(message);
    }
    return Step::Continue;
}

void TmcReceiver::Stop() {
    (void)SetEvent(m_stopEvent);
}

bool TmcReceiver::OpenRawLog(const std::u16string& path) {
    return m_decoder.OpenLog(path);
}

void TmcReceiver::CloseRawLog() {
    m_decoder.CloseLog();
}

void TmcReceiver::DropSource() {
    m_source = CountedPtr<GpsTmcAdapter>();
}

void TmcReceiver::AttachHandle(HANDLE handle) {
    ScopedLock lock(&m_lock);
    m_supervisor.StopThread();
    m_supervisor.SetTuner(CountedPtr<GpsTmcAdapter>());
    DropSource();
    if (m_handle != INVALID_HANDLE_VALUE && m_handle != handle) {
        (void)CloseHandle(m_handle); // the receiver owns the handles it was given
    }
    m_handle = handle;
    m_isReplayFile = false;
    m_isPassWhole = true;
    ++m_handleNumber;
    (void)SetEvent(m_changeEvent);
}

bool TmcReceiver::OpenReplayFile(const std::u16string& path) {
    {
        ScopedLock lock(&m_lock);
        m_supervisor.StopThread();
        m_supervisor.SetTuner(CountedPtr<GpsTmcAdapter>());
        DropSource();
        if (m_handle != INVALID_HANDLE_VALUE) {
            (void)CloseHandle(m_handle);
        }
        m_handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        m_isReplayFile = true;
        m_isPassWhole = true;
        ++m_handleNumber;
        if (m_handle != INVALID_HANDLE_VALUE) {
            (void)SetEvent(m_changeEvent);
            return true;
        }
    }
    GetStatusSignal().Emit(static_cast<std::uint32_t>(TmcReceiverStatus::ReplayFileMissing));
    return false;
}

bool TmcReceiver::SetFilePosition(DWORD offset) {
    ScopedLock lock(&m_lock);
    // The file's end as it is now, under the lock Run reads with: a file shortened since it was
    // opened keeps its position rather than take one past its end, which the caller can then
    // tell with the length.
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(m_handle, &sizeHigh);
    if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) ||
        (sizeHigh == 0 && offset > size)) {
        return false;
    }
    LONG high = 0;
    (void)SetFilePointer(m_handle, static_cast<LONG>(offset), &high, FILE_BEGIN);
    m_isPassWhole = m_isPassWhole && offset == 0; // a pass from within the file judges none
    return true;
}

DWORD TmcReceiver::GetFilePosition() {
    ScopedLock lock(&m_lock);
    return SetFilePointer(m_handle, 0, nullptr, FILE_CURRENT);
}

DWORD TmcReceiver::GetFileLength() {
    ScopedLock lock(&m_lock);
    DWORD high = 0;
    const DWORD size = GetFileSize(m_handle, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
        return 0;
    }
    return high != 0 ? MAXDWORD : size;
}

void TmcReceiver::UseReceiverLibrary(bool supervise) {
    ScopedLock lock(&m_lock);
    if (m_handle != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    ++m_handleNumber;
    m_source = GpsTmcAdapter::Instance();
    if (supervise) {
        m_supervisor.SetTuner(m_source);
        (void)m_supervisor.StartThread();
    } else {
        m_supervisor.StopThread();
        m_supervisor.SetTuner(CountedPtr<GpsTmcAdapter>());
    }
    (void)SetEvent(m_changeEvent);
}

void TmcReceiver::SetReplayRate(float rate) {
    ScopedLock lock(&m_rateLock);
    m_replayRate = rate;
}

float TmcReceiver::GetReplayRate() {
    ScopedLock lock(&m_rateLock);
    return m_replayRate;
}

void TmcReceiver::CountRead() {
    m_lastReadTick = GetTickCount();
    ++m_readCount;
}

TmcReceiver::ReadStats TmcReceiver::GetReadStats() const {
    return ReadStats{m_readCount.load(), m_lastReadTick.load()};
}

bool TmcReceiver::IsWaiting() const {
    return platform::WaitsInProgress(m_stopEvent) > 0;
}

six::RefCntPtr<TmcReceiver> CreateTmcReceiver() {
    return six::RefCntPtr<TmcReceiver>(new (std::nothrow) TmcReceiver(u"TMC.ini"));
}
