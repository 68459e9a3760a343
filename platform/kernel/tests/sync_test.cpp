#include "platform/kernel/clockwaits.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace {

// Runs body on a platform thread; the handle is signalled when it returns its exit code.
HANDLE StartThread(std::function<DWORD()> body) {
    auto* owned = new std::function<DWORD()>(std::move(body));
    HANDLE handle = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<std::function<DWORD()>> run(
                static_cast<std::function<DWORD()>*>(parameter));
            return (*run)();
        },
        owned, 0, nullptr);
    if (handle == nullptr) {
        delete owned;
    }
    return handle;
}

// Spins (yielding) until count waits are blocked on the handle.
void AwaitWaiters(HANDLE handle, std::size_t count) {
    while (platform::WaitsInProgress(handle) != count) {
        std::this_thread::yield();
    }
}

void JoinAndClose(const std::vector<HANDLE>& threads) {
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        ASSERT_TRUE(CloseHandle(thread));
    }
}

DWORD ExitCodeOf(HANDLE thread) {
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

// Keeps a thread from running where it is, a wait included, without waking it: a signal handler
// that returns once told to.
std::atomic<bool> g_isThreadHeld{false};
std::atomic<bool> g_mayHeldThreadGo{false};

void HoldThreadInHandler(int /*signal*/) {
    const int savedErrno = errno;
    g_isThreadHeld.store(true);
    while (!g_mayHeldThreadGo.load()) {
        const timespec pause{0, 1'000'000};
        (void)nanosleep(&pause, nullptr);
    }
    g_isThreadHeld.store(false);
    errno = savedErrno;
}

// Waits (yielding) until done() or, in real time, 5 s have passed.
template <class Done> void AwaitWithin5s(Done done) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
}

class Sync : public ::testing::Test {
protected:
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
};

TEST_F(Sync, AutoResetEventReleasesExactlyOneWaiterAndResets) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    std::vector<HANDLE> threads;
    threads.reserve(4);
    for (int i = 0; i < 4; ++i) {
        threads.push_back(StartThread([event] { return WaitForSingleObject(event, 1000); }));
    }
    AwaitWaiters(event, 4);
    ASSERT_TRUE(SetEvent(event));
    AwaitWaiters(event, 3);
    clock.Advance(1000);
    int released = 0;
    int timedOut = 0;
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        const DWORD result = ExitCodeOf(thread);
        released += result == WAIT_OBJECT_0;
        timedOut += result == WAIT_TIMEOUT;
    }
    EXPECT_EQ(released, 1);
    EXPECT_EQ(timedOut, 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "the release reset the event";
    JoinAndClose(threads);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, ManualResetEventReleasesAllWaitersAndStaysSet) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    threads.reserve(4);
    for (int i = 0; i < 3; ++i) {
        threads.push_back(StartThread([event] { return WaitForSingleObject(event, INFINITE); }));
    }
    AwaitWaiters(event, 3);
    ASSERT_TRUE(EventModify(event, EVENT_SET));
    for (HANDLE thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(thread), WAIT_OBJECT_0);
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(EventModify(event, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    JoinAndClose(threads);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, InitialStateAndKindAreKept) {
    const struct {
        BOOL manualReset;
        BOOL initialState;
        DWORD first;
        DWORD second;
    } cases[] = {
        {TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.manualReset << c.initialState);
        HANDLE event = CreateEventW(nullptr, c.manualReset, c.initialState, u"ignored");
        EXPECT_EQ(WaitForSingleObject(event, 0), c.first);
        EXPECT_EQ(WaitForSingleObject(event, 0), c.second);
        EXPECT_TRUE(CloseHandle(event));
    }
}

TEST_F(Sync, WaitAnyReturnsTheLowestSignalledIndexAndTakesOnlyThatSignal) {
    const struct {
        std::vector<int> signalled;
        DWORD expected;
    } cases[] = {{{1, 2}, WAIT_OBJECT_0 + 1},
                 {{0, 3}, WAIT_OBJECT_0},
                 {{3}, WAIT_OBJECT_0 + 3},
                 {{2, 1, 0}, WAIT_OBJECT_0},
                 {{}, WAIT_TIMEOUT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        HANDLE events[4];
        for (HANDLE& event : events) {
            event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        }
        for (int index : c.signalled) {
            ASSERT_TRUE(SetEvent(events[index]));
        }
        EXPECT_EQ(WaitForMultipleObjects(4, events, FALSE, 0), c.expected);
        for (int index : c.signalled) {
            const bool wasTaken = WAIT_OBJECT_0 + index == c.expected;
            EXPECT_EQ(WaitForSingleObject(events[index], 0),
                      wasTaken ? WAIT_TIMEOUT : WAIT_OBJECT_0)
                << "index " << index;
        }
        for (HANDLE event : events) {
            EXPECT_TRUE(CloseHandle(event));
        }
    }
}

TEST_F(Sync, WaitAnyBlockedIsReleasedByALaterSignal) {
    HANDLE events[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                        CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    HANDLE thread =
        StartThread([&events] { return WaitForMultipleObjects(2, events, FALSE, INFINITE); });
    AwaitWaiters(events[1], 1);
    ASSERT_TRUE(SetEvent(events[1]));
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), WAIT_OBJECT_0 + 1);
    JoinAndClose({thread});
    EXPECT_TRUE(CloseHandle(events[0]));
    EXPECT_TRUE(CloseHandle(events[1]));
}

TEST_F(Sync, WaitAllNeedsEverySignalAtOnceAndTakesThemAll) {
    HANDLE events[2] = {CreateEventW(nullptr, FALSE, TRUE, nullptr),
                        CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0)
        << "a failed wait-all takes nothing";
    ASSERT_TRUE(SetEvent(events[0]));
    ASSERT_TRUE(SetEvent(events[1]));
    EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(events[0]));
    EXPECT_TRUE(CloseHandle(events[1]));
}

TEST_F(Sync, TimedWaitEndsOnlyWhenTheVirtualClockPassesTheDeadline) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = StartThread([event] { return WaitForSingleObject(event, 500); });
    AwaitWaiters(event, 1);
    clock.Advance(499);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ExitCodeOf(thread), STILL_ACTIVE);
    clock.Advance(1);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), WAIT_TIMEOUT);
    JoinAndClose({thread});
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, TimedWaitAcrossTheTickWrap) {
    clock.SetTick(0xFFFFFF00u);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = StartThread([event] { return WaitForSingleObject(event, 0x200); });
    AwaitWaiters(event, 1);
    clock.Advance(0x100);
    EXPECT_EQ(GetTickCount(), 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    clock.Advance(0x100);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), WAIT_TIMEOUT);
    JoinAndClose({thread});
    EXPECT_TRUE(CloseHandle(event));
}

// A wait for a tick ends at that tick however late it starts: a clock move between reading the
// tick and waiting must not push the deadline back.
TEST_F(Sync, WaitForATickEndsAtThatTick) {
    const struct {
        const char* name;
        DWORD startTick;
        std::int32_t dueFromStart;
        std::uint64_t movedBeforeWaiting;
        std::uint64_t stillToGo; // advanced while waiting until the wait ends
    } cases[] = {
        {"the clock moved to the tick before the wait", 1000, 100, 100, 0},
        {"the clock moved part of the way", 1000, 100, 60, 40},
        {"the tick had passed", 1000, -5, 0, 0},
        {"the tick lies across the wrap", 0xFFFFFFF0u, 0x20, 0x10, 0x10},
    };
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock.SetTick(c.startTick);
        const DWORD dueTick = GetTickCount() + static_cast<DWORD>(c.dueFromStart);
        clock.Advance(c.movedBeforeWaiting);
        HANDLE thread = StartThread(
            [event, dueTick] { return platform::WaitForSingleObjectUntilTick(event, dueTick); });
        if (c.stillToGo != 0) {
            AwaitWaiters(event, 1);
            clock.Advance(c.stillToGo - 1);
            EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
            clock.Advance(1);
        }
        ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(thread), WAIT_TIMEOUT);
        JoinAndClose({thread});
    }
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(platform::WaitForSingleObjectUntilTick(event, GetTickCount()), WAIT_OBJECT_0);
    EXPECT_EQ(platform::WaitForSingleObjectUntilTick(nullptr, 0), WAIT_FAILED);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, ZeroTimeoutPollsWithoutTheClockMoving) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(1, &event, TRUE, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(clock.TickMs(), 0u);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, PulseReleasesTheWaitsInProgressAndLeavesTheEventReset) {
    const struct {
        BOOL manualReset;
        int released;
    } cases[] = {{TRUE, 3}, {FALSE, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manualReset);
        HANDLE event = CreateEventW(nullptr, c.manualReset, FALSE, nullptr);
        ASSERT_TRUE(PulseEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "a pulse without waits is lost";
        std::vector<HANDLE> threads;
        threads.reserve(3);
        for (int i = 0; i < 3; ++i) {
            threads.push_back(StartThread([event] { return WaitForSingleObject(event, 100); }));
        }
        AwaitWaiters(event, 3);
        ASSERT_TRUE(EventModify(event, EVENT_PULSE));
        AwaitWaiters(event, static_cast<std::size_t>(3 - c.released));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        clock.Advance(100);
        int released = 0;
        for (HANDLE thread : threads) {
            ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
            released += ExitCodeOf(thread) == WAIT_OBJECT_0;
        }
        EXPECT_EQ(released, c.released);
        JoinAndClose(threads);
        EXPECT_TRUE(CloseHandle(event));
    }
}

TEST_F(Sync, ReplacingTheClockCarriesTheRemainingTimeOver) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = StartThread([event] { return WaitForSingleObject(event, 1000); });
    AwaitWaiters(event, 1);
    clock.Advance(400);
    platform::VirtualClock other;
    other.SetTick(50000);
    {
        platform::ScopedClock swap(other);
        other.Advance(599);
        EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
        other.Advance(1);
        ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    }
    EXPECT_EQ(ExitCodeOf(thread), WAIT_TIMEOUT);
    JoinAndClose({thread});
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, BadArgumentsFailWithTheirCodes) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE twice[2] = {event, event};
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    std::fill(std::begin(many), std::end(many), event);
    HANDLE stale = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(stale));

    const struct {
        const char* what;
        std::function<DWORD()> call;
        DWORD error;
    } cases[] = {
        {"closed handle", [&] { return WaitForSingleObject(stale, 0); }, ERROR_INVALID_HANDLE},
        {"null handle", [&] { return WaitForSingleObject(nullptr, 0); }, ERROR_INVALID_HANDLE},
        {"no handles", [&] { return WaitForMultipleObjects(0, twice, FALSE, 0); },
         ERROR_INVALID_PARAMETER},
        {"too many",
         [&] { return WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, 0); },
         ERROR_INVALID_PARAMETER},
        {"same handle in wait-all", [&] { return WaitForMultipleObjects(2, twice, TRUE, 0); },
         ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.call(), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_TIMEOUT)
        << "wait-any allows repeats";
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, FALSE, 0), WAIT_TIMEOUT);

    EXPECT_FALSE(EventModify(event, 4));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetEvent(stale));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Sync, ThreadHandleIsSignalledAtTheEndWithTheExitCode) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD seenId = 0;
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<std::pair<HANDLE, DWORD*>> state(
                static_cast<std::pair<HANDLE, DWORD*>*>(parameter));
            *state->second = GetCurrentThreadId();
            return WaitForSingleObject(state->first, INFINITE) == WAIT_OBJECT_0 ? 42 : 1;
        },
        new std::pair<HANDLE, DWORD*>(go, &seenId), 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ExitCodeOf(thread), STILL_ACTIVE);
    AwaitWaiters(go, 1);
    ASSERT_TRUE(SetEvent(go));
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), 42u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    EXPECT_EQ(seenId, id);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(go));
}

TEST_F(Sync, ThreadRunsToItsEndAfterItsHandleIsClosed) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = StartThread([go, done] {
        const DWORD result = WaitForSingleObject(go, INFINITE);
        return SetEvent(done) ? result : 1;
    });
    ASSERT_TRUE(CloseHandle(thread));
    ASSERT_TRUE(SetEvent(go));
    EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(go));
    EXPECT_TRUE(CloseHandle(done));
}

TEST(Threads, CreateThreadRefusesWhatItCannotDo) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        CreateThread(
            nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, CREATE_SUSPENDED, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

// The sections of these tests live on the heap: ThreadSanitizer never sees the host mutex inside
// destroyed, so a mutex of a later test at the same stack address would count as the same one,
// and the order in which it is taken with the kernel's lock as a potential deadlock.
TEST(CriticalSection, IsRecursiveForTheOwnerAndExcludesOthers) {
    const auto owned = std::make_unique<CRITICAL_SECTION>();
    CRITICAL_SECTION& section = *owned;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    ASSERT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);

    auto tryFromOtherThread = [&section] {
        HANDLE thread = StartThread([&section] {
            if (!TryEnterCriticalSection(&section)) {
                return DWORD{0};
            }
            LeaveCriticalSection(&section);
            return DWORD{1};
        });
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        const DWORD entered = ExitCodeOf(thread);
        EXPECT_TRUE(CloseHandle(thread));
        return entered;
    };
    EXPECT_EQ(tryFromOtherThread(), 0u) << "still held once";

    // A thread that does not own the section cannot release it.
    HANDLE intruder = StartThread([&section] {
        LeaveCriticalSection(&section);
        return DWORD{0};
    });
    ASSERT_EQ(WaitForSingleObject(intruder, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(intruder));
    EXPECT_EQ(tryFromOtherThread(), 0u);

    LeaveCriticalSection(&section);
    EXPECT_EQ(tryFromOtherThread(), 1u);
    DeleteCriticalSection(&section);
}

TEST(CriticalSection, SerialisesUpdatesUnderContention) {
    struct Shared {
        CRITICAL_SECTION section;
        long long total = 0;
    };
    const auto owned = std::make_unique<Shared>();
    Shared& shared = *owned;
    InitializeCriticalSection(&shared.section);
    std::vector<HANDLE> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.push_back(StartThread([&shared] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&shared.section);
                EnterCriticalSection(&shared.section);
                shared.total += 1;
                LeaveCriticalSection(&shared.section);
                LeaveCriticalSection(&shared.section);
            }
            return DWORD{0};
        }));
    }
    JoinAndClose(threads);
    EXPECT_EQ(shared.total, 80000);
    DeleteCriticalSection(&shared.section);
}

TEST(Interlocked, ReturnNewOrPreviousValuesAsWin32) {
    LONG volatile value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&value, 10), 5);
    EXPECT_EQ(value, 15);
    EXPECT_EQ(InterlockedExchange(&value, -3), 15);
    EXPECT_EQ(InterlockedCompareExchange(&value, 7, 99), -3) << "no match: unchanged";
    EXPECT_EQ(value, -3);
    EXPECT_EQ(InterlockedCompareExchange(&value, 7, -3), -3);
    EXPECT_EQ(value, 7);

    int a = 0;
    int b = 0;
    PVOID volatile pointer = &a;
    EXPECT_EQ(InterlockedExchangePointer(&pointer, &b), &a);
    EXPECT_EQ(InterlockedCompareExchangePointer(&pointer, &a, &a), &b);
    EXPECT_EQ(pointer, &b);
    EXPECT_EQ(InterlockedCompareExchangePointer(&pointer, &a, &b), &b);
    EXPECT_EQ(pointer, &a);
}

TEST(Interlocked, CountsExactlyUnderContention) {
    LONG volatile counter = 0;
    LONG volatile reachedZero = 0;
    std::vector<HANDLE> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.push_back(StartThread([&counter, &reachedZero] {
            for (int i = 0; i < 50000; ++i) {
                InterlockedIncrement(&counter);
            }
            for (int i = 0; i < 50000; ++i) {
                if (InterlockedDecrement(&counter) == 0) {
                    InterlockedIncrement(&reachedZero);
                }
            }
            return DWORD{0};
        }));
    }
    JoinAndClose(threads);
    EXPECT_EQ(counter, 0);
    EXPECT_GE(reachedZero, 1) << "exactly the last decrement of a round sees zero";
}

// A thread whose timed wait on a stepped clock reached its deadline counts from the clock move
// that woke it, through the work it does after the wait, until it waits again or ends; so does a
// thread created under such a clock until its first wait, and one that an event releases (of the
// waits an auto-reset event may release, each until it finds the signal taken). A wait whose
// deadline is ahead and the calling thread's own timed-out wait do not count, nor does anything
// on the host clock.
TEST(Threads, CountWokenByAStepOfTheClockUntilTheyWaitAgain) {
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "host clock";
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::mutex work; // held here: the threads' work outside their waits
    std::unique_lock holding(work);
    const auto waitsAgain = [&] {
        return WaitForSingleObject(release, INFINITE) != WAIT_OBJECT_0 ? 2 : 0;
    };
    const auto runs = [&](bool isWaitingAgain) {
        return StartThread([&, isWaitingAgain]() -> DWORD {
            if (WaitForSingleObject(never, 500) != WAIT_TIMEOUT)
                return 1;
            { const std::lock_guard working(work); }
            return isWaitingAgain ? waitsAgain() : 0;
        });
    };
    HANDLE startsBusy = StartThread([&]() -> DWORD {
        { const std::lock_guard working(work); }
        return waitsAgain();
    });
    HANDLE wakesAndWaits = runs(true);
    HANDLE wakesAndEnds = runs(false);
    ASSERT_NE(startsBusy, nullptr);
    ASSERT_NE(wakesAndWaits, nullptr);
    ASSERT_NE(wakesAndEnds, nullptr);
    AwaitWaiters(never, 2);
    clock.Advance(499);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 1u) << "deadlines ahead; one not yet waiting";
    clock.Advance(1);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 3u) << "woken, in their waits or past them";
    AwaitWaiters(never, 0);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 3u) << "at their work";
    // The calling thread's own wait that ends at its deadline does not count.
    EXPECT_EQ(platform::WaitForSingleObjectUntilTick(never, GetTickCount()), WAIT_TIMEOUT);
    holding.unlock();
    AwaitWaiters(release, 2);
    EXPECT_EQ(WaitForSingleObject(wakesAndEnds, INFINITE), WAIT_OBJECT_0);
    // The ended thread leaves the count as its thread-local state goes, just after its handle
    // is signalled.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (platform::ThreadsWokenByTheClock() != 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::yield();
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "two wait again, one ended";
    // A thread that an event releases counts from the signal on, before it has run, through its
    // work, until it waits again.
    holding.lock();
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE wokenBySignal = StartThread([&]() -> DWORD {
        if (WaitForSingleObject(wake, INFINITE) != WAIT_OBJECT_0)
            return 1;
        { const std::lock_guard working(work); }
        return waitsAgain();
    });
    ASSERT_NE(wokenBySignal, nullptr);
    AwaitWaiters(wake, 1);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "waiting for the event";
    EXPECT_TRUE(SetEvent(wake));
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 1u) << "released by the event";
    holding.unlock();
    AwaitWaiters(release, 3);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "released, and waiting again";
    // Of several waits on an auto-reset event, each that its signal may release counts from the
    // signal on: the one that takes it through its work until it waits again, each other one
    // until it finds the signal taken and waits on. The oldest wait is held where it is (its
    // thread in a signal handler), so that a younger one takes the signal.
    holding.lock();
    HANDLE contested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> isContestOver{false};
    std::atomic<int> taken{0};
    pthread_t oldestContender{};
    const auto contends = [&](bool isOldest) {
        return StartThread([&, isOldest]() -> DWORD {
            if (isOldest)
                oldestContender = pthread_self();
            while (WaitForSingleObject(contested, INFINITE) == WAIT_OBJECT_0 &&
                   !isContestOver.load()) {
                taken.fetch_add(1);
                { const std::lock_guard working(work); }
            }
            return 0;
        });
    };
    std::vector<HANDLE> contenders{contends(true)};
    AwaitWaiters(contested, 1);
    contenders.push_back(contends(false));
    contenders.push_back(contends(false));
    AwaitWaiters(contested, 3);
    EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "contenders waiting";
    struct sigaction hold {};
    hold.sa_handler = HoldThreadInHandler;
    sigemptyset(&hold.sa_mask);
    struct sigaction previousAction {};
    ASSERT_EQ(sigaction(SIGUSR1, &hold, &previousAction), 0);
    g_mayHeldThreadGo.store(false);
    ASSERT_EQ(pthread_kill(oldestContender, SIGUSR1), 0);
    AwaitWithin5s([] { return g_isThreadHeld.load(); });
    EXPECT_TRUE(g_isThreadHeld.load()) << "the oldest contender held";
    EXPECT_TRUE(SetEvent(contested));
    const auto woken = [] { return platform::ThreadsWokenByTheClock(); };
    AwaitWithin5s([&] { return taken.load() == 1 && woken() <= 2; });
    EXPECT_EQ(taken.load(), 1);
    EXPECT_EQ(woken(), 2u) << "the younger one at its work and the held one, not yet looking";
    g_mayHeldThreadGo.store(true);
    AwaitWithin5s([&] { return !g_isThreadHeld.load() && woken() <= 1; });
    EXPECT_EQ(woken(), 1u) << "the held one found the signal taken";
    EXPECT_EQ(sigaction(SIGUSR1, &previousAction, nullptr), 0);
    holding.unlock();
    AwaitWaiters(contested, 3);
    EXPECT_EQ(woken(), 0u) << "the one that took the signal waiting again";
    isContestOver.store(true);
    for (std::size_t left = contenders.size(); left-- > 0;) {
        EXPECT_TRUE(SetEvent(contested));
        AwaitWaiters(contested, left);
    }
    JoinAndClose(contenders);
    EXPECT_TRUE(CloseHandle(contested));
    // A program thread that runs on without ever waiting, only polling (a replay without pace),
    // takes turns: each of its polls returns once the thread that its event released has done
    // its work and waits again, and after a number of polls at one tick it waits until the clock
    // moves, counting no more; so it does as much at every move, however fast the machine.
    HANDLE data = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> isStopping{false};
    std::atomic<int> published{0};
    std::atomic<int> consumed{0};
    std::atomic<int> overtaken{0}; // polls that returned before the consumer was done
    HANDLE consumer = StartThread([&]() -> DWORD {
        while (WaitForSingleObject(data, INFINITE) == WAIT_OBJECT_0 && !isStopping.load())
            consumed.fetch_add(1);
        return 0;
    });
    HANDLE publisher = StartThread([&]() -> DWORD {
        while (!isStopping.load()) {
            published.fetch_add(1);
            (void)SetEvent(data);
            if (WaitForSingleObject(never, 0) != WAIT_TIMEOUT)
                return 1;
            if (consumed.load() != published.load())
                overtaken.fetch_add(1);
        }
        return 0;
    });
    ASSERT_NE(consumer, nullptr);
    ASSERT_NE(publisher, nullptr);
    const auto publishedAtRest = [&] {
        const auto restGiveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (platform::ThreadsWokenByTheClock() != 0 &&
               std::chrono::steady_clock::now() < restGiveUp)
            std::this_thread::yield();
        EXPECT_EQ(platform::ThreadsWokenByTheClock(), 0u) << "the publisher waits for the clock";
        return published.load();
    };
    const int firstMove = publishedAtRest();
    EXPECT_GT(firstMove, 1);
    clock.Advance(1);
    EXPECT_EQ(publishedAtRest(), 2 * firstMove) << "as many at the next move";
    EXPECT_EQ(consumed.load(), published.load());
    EXPECT_EQ(overtaken.load(), 0) << "every poll after the consumer's work";
    isStopping.store(true);
    clock.Advance(1);
    EXPECT_TRUE(SetEvent(data));
    EXPECT_TRUE(SetEvent(release));
    for (HANDLE thread :
         {startsBusy, wakesAndWaits, wakesAndEnds, wokenBySignal, publisher, consumer}) {
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(thread), 0u);
    }
    JoinAndClose({startsBusy, wakesAndWaits, wakesAndEnds, wokenBySignal, publisher, consumer});
    EXPECT_TRUE(CloseHandle(data));
    EXPECT_TRUE(CloseHandle(wake));
    EXPECT_TRUE(CloseHandle(never));
    EXPECT_TRUE(CloseHandle(release));
}

} // namespace
