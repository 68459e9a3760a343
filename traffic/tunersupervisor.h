#pragma once
// Watches TMC reception while the receiver library is the TMC source: on its own thread it
// reads the tuner's RDS and TMC health every second, retunes to the next alternative frequency
// when TMC reception fails, and starts a station search, repeated every 60 s, when none is left.
// Its station and alternative-frequency handlers run on the thread that fires the tuner's
// signals, under the supervisor lock. Start, stop and SetTuner come from one thread at a time.

#include "positioning/gpstmcadapter.h"
#include "six/countedptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include "platform/types.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class TunerSupervisor {
public:
    static constexpr std::size_t kHistorySize = 300;
    static constexpr std::size_t kOldestCount = 30;
    static constexpr std::size_t kMaxBad = 90;
    static constexpr DWORD kCheckMs = 1000;
    static constexpr DWORD kSearchRepeatMs = 60000;
    static constexpr int kSearchCommand = 48;
    static constexpr int kTuneCommand = 1;
    static constexpr DWORD kSearchEnd = 1076; // 107.6 MHz

    TunerSupervisor();
    // Stops the thread and disconnects from the tuner.
    ~TunerSupervisor();
    TunerSupervisor(const TunerSupervisor&) = delete;
    TunerSupervisor& operator=(const TunerSupervisor&) = delete;

    // Gives the supervisor a tuner, or none (null): forgets the history, the alternative
    // frequencies and the search, and connects the handlers to the new tuner's signals.
    void SetTuner(const CountedPtr<GpsTmcAdapter>& tuner);
    // Stops any running thread, then starts a new one; false when it cannot be started.
    [[nodiscard]] bool StartThread();
    // Ends the thread and waits for it; nothing when it is not running.
    void StopThread();
    [[nodiscard]] bool IsThreadRunning() const;

    // One check as the thread makes it, under the supervisor lock: evaluates and retunes or
    // searches. Returns the wait until the next check (INFINITE without a tuner).
    DWORD Check();
    // The last evaluation: 0 reception good, 1 retuned, 2 searching; -1 before the first.
    [[nodiscard]] int GetLastResult() const;
    // Evaluations made so far (for tests that advance a virtual clock).
    [[nodiscard]] std::uint32_t GetCheckCount() const;
    // True while the thread waits for its next check.
    [[nodiscard]] bool IsWaiting() const;
    [[nodiscard]] std::vector<DWORD> GetAlternativeFrequencies() const;

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() noexcept { return m_handlers; }

private:
    static DWORD ThreadMain(LPVOID parameter);
    void Loop();
    // 0 good, 1 retune, 2 search; with the lock held.
    int Evaluate();
    void OnStation(DWORD frequency, DWORD stationId, std::u16string name);
    void OnAlternativeFrequencies(std::vector<DWORD> frequencies);

    OwnerHandlerList m_handlers;
    CountedPtr<GpsTmcAdapter> m_tuner;
    mutable CritSect m_lock;
    HANDLE m_stopEvent = nullptr;
    HANDLE m_wakeEvent = nullptr;
    HANDLE m_threadDone = nullptr; // manual reset, set while no thread runs
    HANDLE m_thread = nullptr;
    std::vector<DWORD> m_alternativeFrequencies;
    std::deque<int> m_history; // RDS health, oldest first
    int m_lastResult = -1;
    std::uint32_t m_checkCount = 0;
    std::uint8_t m_isTmcGood = 0;
    std::uint8_t m_isSearching = 0;
};
