#pragma once
// The receiver library, built in as the module "gpstmc.dll": a GPS receiver and FM/RDS/TMC
// tuner simulated from a scenario ("gpstmc.ini" in the folder the module file was found in;
// platform/receiver/scenario.h). Callers reach it through LoadLibraryW and GetProcAddressW, so
// that it can be missing; this header names the module, its entry points' types and the
// messages it posts. Every entry point is safe from any thread. After GpsTmc_Init the
// library's own thread replays the scenario on the installed clock and posts to the window.

#include "platform/types.h"

#include <functional>
#include <string>

namespace platform {

inline constexpr char16_t kGpsTmcModuleName[] = u"gpstmc.dll";
inline constexpr char16_t kGpsTmcScenarioName[] = u"gpstmc.ini";

// Messages posted to the window given to GpsTmc_Init.
inline constexpr UINT kGpsTmcFrequencyChanged = 0x9001; // read GpsTmc_GetTunerFrequency
inline constexpr UINT kGpsTmcNotification = 0x9002;
inline constexpr UINT kGpsTmcRdsGroup = 0x9018; // wParam = A | B << 16, lParam = C | D << 16
inline constexpr UINT kGpsTmcRadiotext = 0x9020;
inline constexpr UINT kGpsTmcStation = 0x9023; // repeated every 5 s while on a station
inline constexpr UINT kGpsTmcAlternativeFrequencies = 0x9024;
inline constexpr UINT kGpsTmcNmeaReady = 0x9030; // one per NMEA cycle

// Tuner commands of GpsTmc_ControlTuner.
inline constexpr int kTunerRefresh = 0; // posts kGpsTmcFrequencyChanged
inline constexpr int kTunerTune = 1;    // value: frequency in 0.1 MHz, 875..1080
inline constexpr int kTunerSearch = 48; // steps up by 0.1 MHz to the next station or 1080

// Results of GpsTmc_Init.
enum class GpsTmcInitResult : int {
    Success = 0,
    NoScenario = 1,       // module not loaded, or the scenario or a file it names is unreadable
    BadScenario = 2,      // the scenario has a bad value (debug output names it)
    PortNotSupported = 3, // "COMn:" of port n > 0 cannot be opened at the rate
    NoWindow = 4,
    NoThread = 5,
};

// "GpsTmc_Init" (window, port | 0x20, rate, 0x32F00): reads the scenario and starts the
// library's thread. Port 0 replays the scenario's NMEA file; port n reads "COMn:" at the rate
// (8N1) instead and posts one NMEA message per GGA, VTG, RMC cycle. The 0x20 bit and the fourth
// value are ignored. A second Init restarts the library with the new values; a replay whose
// cycles are unchanged goes on with the cycle after the last one posted, as the car has not
// moved back.
using GpsTmcInitFunction = int (*)(HWND window, DWORD port, DWORD rate, DWORD value);
// "GpsTmc_Uninit": stops and joins the thread; nothing is posted after it returns.
using GpsTmcUninitFunction = void (*)();
// "GpsTmc_ControlTuner" (command, value): 0 when done; -1 when not open, for an unknown
// command, or a frequency outside 875..1080.
using GpsTmcControlTunerFunction = int (*)(int command, int value);
// "GpsTmc_GetTunerFrequency": the current frequency (0 before the first tune after Init).
using GpsTmcGetTunerFrequencyFunction = void (*)(DWORD* frequency);
// "GpsTmc_GetRdsStation": the station's PI and name (8 characters and a zero); 0 and "" away
// from a station.
using GpsTmcGetRdsStationFunction = void (*)(DWORD* programmeId, WCHAR* name);
// "GpsTmc_GetRdsAF": at most 25 frequencies, then 0.
using GpsTmcGetRdsAfFunction = void (*)(DWORD* frequencies);
// "GpsTmc_GetRdsHealth" / "GpsTmc_GetTmcHealth": 0 away from a station; on a station the
// scenario's values, TMC health 1 until AcquireMs after the tune.
using GpsTmcGetHealthFunction = int (*)();
// "GpsTmc_GetRadiotext": 64 characters and a zero.
using GpsTmcGetRadiotextFunction = void (*)(WCHAR* text);
// "GpsTmc_GetRdsTime": does nothing.
using GpsTmcGetRdsTimeFunction = void (*)(void* time);
// "GpsTmc_ReadRawGGA" / "...VTG" / "...RMC": the latest sentence of the kind ("$" to CR LF),
// at most capacity - 1 bytes and a zero; returns the bytes written without the zero.
using GpsTmcReadRawFunction = int (*)(char* buffer, int capacity);

// The device path of the file that keeps the library from giving positions since its last
// GpsTmc_Init: the scenario or a file it names that is missing, not a regular file or
// unreadable, a scenario with a bad value (those fail the Init), and on port 0 the replay file
// that holds no NMEA cycle, or the scenario when it names none (the Init succeeds: the tuner
// works). Empty when there is none.
[[nodiscard]] std::u16string GpsTmcFileAtFault();

// For tests on a virtual clock: returns once the library's thread has handled everything due
// at the clock's current tick (at once when the library is not open).
void WaitForGpsTmcCatchUp();

// For tests that put something of their own at the moment the receiver is being opened: `call`
// runs at the start of every GpsTmc_Init, on the calling thread, before the library stops or
// reads anything, with no lock of the library held. An empty one (the default) runs nothing.
void SetGpsTmcInitCall(std::function<void()> call);

} // namespace platform
