#pragma once
// Progress of a route calculation: the caller's observer, and the meter that asks it for
// cancellation and reports the share of the estimated cost reached, at most every 200 ms of the
// installed clock. One calculation at a time, on the calculating thread.

#include <cstdint>

class ProgressObserver {
public:
    virtual ~ProgressObserver() = default;
    // True to abandon the calculation.
    [[nodiscard]] virtual bool IsCancelled() = 0;
    virtual void ReportProgress(std::int32_t percent) = 0;
};

class ProgressMeter {
public:
    static constexpr std::uint32_t kIntervalMs = 200;

    void SetObserver(ProgressObserver* observer) { m_observer = observer; }
    [[nodiscard]] ProgressObserver* GetObserver() const { return m_observer; }
    // Starts a calculation: the cost that counts as 100 %, nothing reported yet.
    void Start(float estimatedCost);
    void SetLastReported(std::int32_t percent) { m_lastReported = percent; }
    [[nodiscard]] std::int32_t GetLastReported() const { return m_lastReported; }

    // Notes the tick a search loop starts at.
    [[nodiscard]] static std::uint32_t Now();
    // After a settled node at `currentCost`: 0 when the observer cancels, else 6. Once more
    // than 200 ms after `lastTick` it asks the observer, reports a higher share (below 100)
    // and moves `lastTick` on.
    [[nodiscard]] int Check(std::uint32_t& lastTick, float currentCost);
    // Reports the end of a successful calculation.
    void Finish();

private:
    ProgressObserver* m_observer = nullptr;
    float m_estimate = 0.0f;
    std::int32_t m_lastReported = 0;
};
