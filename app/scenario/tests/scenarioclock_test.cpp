#include "app/scenario/scenarioclock.h"

#include "platform/kernel/sync.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// A timed wait on the thread that runs the program ends: paced, as the clock follows real time
// once the program has waited for input; stepped, when that thread has been busy for a second.
// (Without the keeper either wait would never end.)
TEST(ScenarioClock, EndsATimedWaitOfTheProgramsThread) {
    const struct {
        double speed;
        DWORD waitMs;
    } cases[] = {{20.0, 2000}, {0.0, 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        ScenarioClock clock(c.speed);
        EXPECT_EQ(clock.IsPaced(), c.speed > 0.0);
        std::uint64_t startMs = 0;
        std::uint64_t endMs = 0;
        std::chrono::steady_clock::duration realTime{};
        const int result = clock.Run([&] {
            HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            clock.NoteIdle();
            startMs = clock.Virtual().TickMs();
            const auto realStart = std::chrono::steady_clock::now();
            const DWORD waited = WaitForSingleObject(never, c.waitMs);
            realTime = std::chrono::steady_clock::now() - realStart;
            endMs = clock.Virtual().TickMs();
            CloseHandle(never);
            return static_cast<int>(waited);
        });
        EXPECT_EQ(result, static_cast<int>(WAIT_TIMEOUT));
        EXPECT_GE(endMs - startMs, c.waitMs);
        // Paced, the clock ran many times faster than real time (20 times, give or take the
        // keeper's rests); only the busy guard would have made it run at real time.
        const auto realMs = std::chrono::duration_cast<std::chrono::milliseconds>(realTime);
        if (clock.IsPaced()) {
            EXPECT_LT(realMs.count() * 4, static_cast<long long>(c.waitMs));
        }
    }
}

} // namespace
