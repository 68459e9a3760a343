#include "traffic/tunersupervisor.h"

#include "platform/kernel/sync.h"

#include <algorithm>

TunerSupervisor::TunerSupervisor()
    : m_stopEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_wakeEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr))
    , m_threadDone(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

TunerSupervisor::~TunerSupervisor() {
    StopThread();
    SetTuner(CountedPtr<GpsTmcAdapter>());
    for (HANDLE event : {m_stopEvent, m_wakeEvent, m_threadDone}) {
        if (event != nullptr) {
            (void)CloseHandle(event);
        }
    }
}

void TunerSupervisor::SetTuner(const CountedPtr<GpsTmcAdapter>& tuner) {
    // The handlers take the supervisor lock while the signal holds its own, so connections
    // change outside the supervisor lock.
    GpsTmcAdapter* former = nullptr;
    {
        ScopedLock lock(&m_lock);
        former = m_tuner.Get();
    }
    if (former != nullptr) {
        former->GetStationSignal().Disconnect(this);
        former->GetAlternativeFrequencySignal().Disconnect(this);
    }
    {
        ScopedLock lock(&m_lock);
        m_lastResult = -1;
        m_isTmcGood = 0;
        m_isSearching = 0;
        m_history.clear();
        m_alternativeFrequencies.clear();
        m_tuner = tuner;
    }
    if (tuner.Get() != nullptr) {
        tuner->GetStationSignal().Connect(this, &TunerSupervisor::OnStation);
        tuner->GetAlternativeFrequencySignal().Connect(this,
                                                       &TunerSupervisor::OnAlternativeFrequencies);
        (void)SetEvent(m_wakeEvent);
    }
}

bool TunerSupervisor::StartThread() {
    StopThread();
    if (m_stopEvent == nullptr || m_wakeEvent == nullptr || m_threadDone == nullptr) {
        return false;
    }
    (void)ResetEvent(m_threadDone);
    m_thread = CreateThread(nullptr, 0, &TunerSupervisor::ThreadMain, this, 0, nullptr);
    if (m_thread == nullptr) {
        (void)SetEvent(m_threadDone);
        return false;
    }
    return true;
}

void TunerSupervisor::StopThread() {
    if (m_threadDone != nullptr && WaitForSingleObject(m_threadDone, 0) != WAIT_OBJECT_0) {
        (void)SetEvent(m_stopEvent);
        (void)WaitForSingleObject(m_threadDone, INFINITE);
    }
    if (m_thread != nullptr) {
        (void)WaitForSingleObject(m_thread, INFINITE);
        (void)CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

bool TunerSupervisor::IsThreadRunning() const {
    return m_threadDone != nullptr && WaitForSingleObject(m_threadDone, 0) != WAIT_OBJECT_0;
}

DWORD TunerSupervisor::ThreadMain(LPVOID parameter) {
    auto* supervisor = static_cast<TunerSupervisor*>(parameter);
    supervisor->Loop();
    (void)SetEvent(supervisor->m_threadDone);
    return 0;
}

void TunerSupervisor::Loop() {
    (void)SetEvent(m_wakeEvent); // the first check comes at once
    DWORD waitMs = kCheckMs;
    const HANDLE events[2] = {m_stopEvent, m_wakeEvent};
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, waitMs);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
            return;
        }
        waitMs = Check();
    }
}

DWORD TunerSupervisor::Check() {
    ScopedLock lock(&m_lock);
    if (m_tuner.Get() == nullptr) {
        return INFINITE;
    }
    const int result = Evaluate();
    m_lastResult = result;
    ++m_checkCount;
    if (result == 0) {
        return kCheckMs;
    }
    if (result == 1) {
        const DWORD frequency = m_alternativeFrequencies.front();
        m_alternativeFrequencies.erase(m_alternativeFrequencies.begin());
        (void)m_tuner->Tune(kTuneCommand, static_cast<int>(frequency));
        m_history.clear();
        return kCheckMs;
    }
    (void)m_tuner->Tune(kSearchCommand, 0);
    m_alternativeFrequencies.clear();
    m_history.clear();
    m_isSearching = 1;
    return kSearchRepeatMs;
}

int TunerSupervisor::Evaluate() {
    if (m_isSearching != 0) {
        (void)m_tuner->GetCurrentFrequency();
        return 2;
    }
    const int rdsHealth = m_tuner->GetRdsHealth();
    const int tmcHealth = m_tuner->GetTmcHealth();
    std::size_t bad = 0;
    std::size_t badOldest = 0;
    if (tmcHealth == 2) {
        m_history.push_back(rdsHealth);
        if (m_history.size() > kHistorySize) {
            m_history.pop_front();
        }
        const auto isBad = [](int health) { return health < 3; };
        bad = static_cast<std::size_t>(std::count_if(m_history.begin(), m_history.end(), isBad));
        const std::size_t oldest = std::min(kOldestCount, m_history.size());
        badOldest = static_cast<std::size_t>(std::count_if(
            m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(oldest), isBad));
    }
    m_isTmcGood = 0;
    if (tmcHealth != 0 && badOldest < kOldestCount && bad < kMaxBad) {
        m_isTmcGood = tmcHealth == 2 ? 1 : 0;
        return 0;
    }
    m_history.clear();
    return m_alternativeFrequencies.empty() ? 2 : 1;
}

void TunerSupervisor::OnStation(DWORD frequency, DWORD stationId, std::u16string /*name*/) {
    ScopedLock lock(&m_lock);
    if (stationId == 0 && frequency < kSearchEnd) {
        return;
    }
    m_isSearching = 0;
    (void)SetEvent(m_wakeEvent);
}

void TunerSupervisor::OnAlternativeFrequencies(std::vector<DWORD> frequencies) {
    ScopedLock lock(&m_lock);
    if (m_isTmcGood != 0 && !frequencies.empty()) {
        m_alternativeFrequencies = std::move(frequencies);
    }
}

int TunerSupervisor::GetLastResult() const {
    ScopedLock lock(&m_lock);
    return m_lastResult;
}

std::uint32_t TunerSupervisor::GetCheckCount() const {
    ScopedLock lock(&m_lock);
    return m_checkCount;
}

bool TunerSupervisor::IsWaiting() const {
    return platform::WaitsInProgress(m_stopEvent) > 0;
}

std::vector<DWORD> TunerSupervisor::GetAlternativeFrequencies() const {
    ScopedLock lock(&m_lock);
    return m_alternativeFrequencies;
}
