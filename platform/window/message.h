#pragma once
// Message queues: one per thread, made when the thread first uses one. A thread gets, in this
// order: messages sent to it from other threads (handled inside the get or peek), posted and
// input messages in arrival order (a character TranslateMessage posts goes ahead of the input
// still queued), WM_QUIT, WM_PAINT for a window with an update region, and WM_TIMER last.
// PostMessageW and PostThreadMessageW are safe from any thread and never block.

#include "platform/window/windowtypes.h"

#include <functional>

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Waits for the next message of the calling thread for window (null: any) within
// first..last (0, 0: all). 0 on WM_QUIT, -1 for an unknown window, otherwise non-zero.
BOOL GetMessageW(MSG* msg, HWND window, UINT first, UINT last);
// Like GetMessageW without waiting; FALSE when nothing matches. The screen back end is asked
// for fresh input first.
BOOL PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
// Posts WM_CHAR (and nothing else) for a WM_KEYDOWN that types a character.
BOOL TranslateMessage(const MSG* msg);
// Calls the window's procedure (or a WM_TIMER's timer procedure); 0 for a gone window.
LRESULT DispatchMessageW(const MSG* msg);

// FALSE with ERROR_INVALID_WINDOW_HANDLE for an unknown window or a window whose thread ended.
// A null window posts to the calling thread.
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// FALSE with ERROR_INVALID_THREAD_ID for a thread without a queue.
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// On the window's thread a direct call. From another thread it waits until the owner has
// handled it, answering meanwhile the messages other threads send to the caller. 0 for an
// unknown window or one that is destroyed or whose thread ends before it answers.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Timers run on the installed clock (platform/kernel/time.h). Re-setting an id of a window
// restarts it. With a null window the id is chosen and returned. 0 for an unknown window.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;

namespace platform {

// Called at the start of every get and peek, on the getting thread, so that a visible back end
// can move host events into the queues. Null removes it.
void SetInputPump(void (*pump)());
// Called on the calling thread when a GetMessageW finds nothing to take and would wait; true
// when it did something (the get looks again). One per thread; empty removes it. Tests play
// input through it from inside modal loops.
void SetIdleHook(std::function<bool()> hook);

} // namespace platform
