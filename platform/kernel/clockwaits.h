#pragma once
// What the timed waits of the program's threads owe a clock that moves only when told
// (platform::VirtualClock): a driver that steps such a clock can hold it until every thread that
// its last move woke has done what it woke for, so that the threads' work lands on the same
// ticks however busy the machine is.

#include <cstddef>

namespace platform {

// Threads, the calling one aside, whose timed wait on a clock that does not follow host time has
// reached its deadline, and that have not yet begun another wait (or ended): those still in the
// wait and those that left it at the deadline and run on; the threads created (CreateThread)
// while such a clock was installed that have not begun their first wait; and those that an event
// set or pulsed while it was installed released from a wait, from the signal on. Threads set
// aside (SetAsideWokenThreads) do not count. 0 on the host clock.
[[nodiscard]] std::size_t ThreadsWokenByTheClock();

// Sets aside the threads that ThreadsWokenByTheClock counts now, the calling one aside (a thread
// that runs on without waiting, such as a reader that publishes as fast as it reads): each counts
// no more until it waits again, nor does a thread that one of them releases by an event until
// that one waits again, so that the work such a thread keeps setting off is not waited for at
// every move of the clock. Threads that the clock or another thread wakes later count as before.
void SetAsideWokenThreads();

} // namespace platform
