#pragma once
// The component library's per-thread initialisation. No component objects exist on this
// platform (the contact store has an interface of its own); what is kept is the count of
// initialisations of each thread, which CoUninitialize takes back one by one. Any thread.

#include "platform/types.h"

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106);

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// S_OK for the calling thread's first initialisation, S_FALSE for each further one with the same
// model (each counts and needs its CoUninitialize). RPC_E_CHANGED_MODE, not counted, for a model
// other than the thread's; E_INVALIDARG for a reserved argument that is not null or flags other
// than the two models.
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
// Takes back one initialisation of the calling thread; nothing when none is left.
void CoUninitialize();

namespace platform {

// How many initialisations the calling thread has not taken back.
[[nodiscard]] int ComInitializationCount();

} // namespace platform
