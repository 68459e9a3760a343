#pragma once
// What the timed waits of the program's threads owe a clock that moves only when told
// (platform::VirtualClock): a driver that steps such a clock can hold it until every thread that
// its last move woke has done what it woke for, so that the threads' work lands on the same
// ticks however busy the machine is.

#include <cstddef>
#include <thread>

namespace platform {

// Threads, the calling one aside, whose timed wait on a clock that does not follow host time has
// reached its deadline, and that have not yet begun another wait (or ended): those still in the
// wait and those that left it at the deadline and run on; the threads created (CreateThread)
// while such a clock was installed that have not begun their first wait; and those that an event
// set or pulsed while it was installed released from a wait, from the signal on. A program
// thread that only polls (a reader that publishes as fast as it reads) waits by itself once it
// has polled a number of times at one tick. 0 on the host clock.
[[nodiscard]] std::size_t ThreadsWokenByTheClock();

// Whether the thread is blocked in a wait of the kernel now (for objects, or a Sleep): with no
// thread woken by the clock, it waits for the clock or for another waiting thread.
[[nodiscard]] bool IsThreadWaiting(std::thread::id thread);

} // namespace platform
