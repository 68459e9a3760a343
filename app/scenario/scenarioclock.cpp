#include "app/scenario/scenarioclock.h"

#include "platform/kernel/clockwaits.h"

#include <thread>

namespace {

// How often the keeper looks, how long the user-interface thread may stay away from its idle
// loop before the stepped clock moves by itself while that thread waits, and by how much.
constexpr auto kKeeperStep = std::chrono::milliseconds(10);
constexpr std::int64_t kBusyLimitMs = 1000;
constexpr std::uint64_t kHeldStepMs = 100;

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

ScenarioClock::ScenarioClock(double speed)
    : m_speed(speed) {}

void ScenarioClock::NoteIdle() {
    m_lastIdleMs.store(SteadyMs());
    m_hasBeenIdle.store(true);
}

void ScenarioClock::Keep() {
    std::int64_t last = SteadyMs();
    double owed = 0.0; // virtual milliseconds not yet moved
    std::unique_lock lock(m_mutex);
    while (!m_stop.wait_for(lock, kKeeperStep, [this] { return m_isStopping; })) {
        const std::int64_t now = SteadyMs();
        const auto elapsed = static_cast<double>(now - last);
        last = now;
        // The start-up runs unpaced, so that it ends at the same time of the clock however long
        // it takes.
        if (IsPaced() && m_hasBeenIdle.load()) {
            owed += elapsed * m_speed;
        } else if (now - m_lastIdleMs.load() > kBusyLimitMs && IsHeldByTheClock()) {
            // Moved only while the thread waits and no other works: the waits end on the same
            // ticks however long the thread took to get there.
            m_clock.Advance(kHeldStepMs);
        }
        if (owed >= 1.0) {
            const auto whole = static_cast<std::uint64_t>(owed);
            owed -= static_cast<double>(whole);
            m_clock.Advance(whole);
        }
    }
}

bool ScenarioClock::IsHeldByTheClock() const {
    return platform::IsThreadWaiting(m_userInterfaceThread) &&
           platform::ThreadsWokenByTheClock() == 0;
}

int ScenarioClock::Run(const std::function<int()>& body) {
    const platform::ScopedClock installed(m_clock);
    m_userInterfaceThread = std::this_thread::get_id();
    m_lastIdleMs.store(SteadyMs());
    std::thread keeper([this] { Keep(); });
    const int result = body();
    {
        std::lock_guard lock(m_mutex);
        m_isStopping = true;
    }
    m_stop.notify_all();
    keeper.join();
    return result;
}
