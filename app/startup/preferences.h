#pragma once
// The user's presettings (section "Preferences" of "PK.ini"), the map cache budget computed from
// the same section, and the application of a preferences record to the navigation server and the
// receiver. Loading and saving are safe from any thread; ApplyPreferences and FlushCache belong
// to the user-interface thread.

#include "onboard/onboardserver.h"

#include "platform/types.h"

#include <cstdint>

// Booleans hold 0 or 1.
struct PreferencesRecord {
    BYTE poiInNavigation = 1;
    BYTE poiInMapModes = 1;
    BYTE arrowMode = 0;
    BYTE alwaysNorth = 0;
    BYTE showLastMap = 1;
    BYTE streetDisplay = 0;
    BYTE tmcReceiver = 1;
    BYTE volumeFlag1 = 0; // not persisted
    BYTE volumeFlag2 = 0; // not persisted
    BYTE nav = 0;
    BYTE moveMap = 0;
    INT comPort = 1;
    INT volume = -1; // percent; -1 leaves the device volume alone
    BYTE kilometres = 1;
    BYTE twelveHourClock = 0;

    friend bool operator==(const PreferencesRecord&, const PreferencesRecord&) = default;
};

// An integer setting of an INI file; the default when the key is missing or its value does not
// begin with a number (an optional sign, then a digit).
[[nodiscard]] INT ReadIntSetting(LPCWSTR section, LPCWSTR key, LPCWSTR file, INT defaultValue);
// True when "Simulation" of section "Zudav" of "PK.ini" is 1.
[[nodiscard]] bool IsSimulationSet();

// The record from "PK.ini"; a missing file or key gives the field's default, and a boolean is 1
// for any value other than 0.
[[nodiscard]] PreferencesRecord LoadPreferences();
// Writes the thirteen persisted keys as decimal integers, in the order LoadPreferences reads them.
void SavePreferences(const PreferencesRecord& record);

// The map cache budget in KB: the smaller of the free physical memory and the free address space
// times "CacheMaxPercent" (default 50, above 100 counts as 100), lowered to "CacheMaxSize"
// (16384), then raised to "CacheMinSize" (4096), so the minimum wins over the maximum.
[[nodiscard]] DWORD ComputeCacheSizeKB();
// The memory arena's size for a budget: (budgetKb + 500) KB in bytes, without wrapping; a size
// past the 32-bit range is cut to the largest whole number of KB that fits.
[[nodiscard]] std::uint32_t ArenaBytesForBudget(DWORD budgetKb);

// The display language code the server's language index stands for: 1 -> 1, 2 -> 0, 3 -> 3,
// 4 -> 2, 5 -> 4, 6 -> 5, any other 0.
[[nodiscard]] std::int32_t DisplayLanguageCode(std::int32_t languageIndex);

// Empties the server's map cache down to 64 KB of blocks nobody else holds, keeping its
// capacity. Nothing without a server, engine or cache.
void FlushCache(const Onboard::OnboardServerPtr& server);

// What applying a preferences record changes besides the server: the main window's copies of
// the values and its receiver supervision.
class PreferencesTarget {
public:
    virtual ~PreferencesTarget() = default;
    virtual void SetPreferredValues(INT comPort, INT volume, bool isTmcReceiverWanted) = 0;
    // Starts the receiver (in its simulation form when asked) under the receiver lock; false
    // when it did not start.
    virtual bool StartReceiverLocked(bool simulation) = 0;
    // Closes the process-wide GPS/TMC receiver object.
    virtual void CloseReceiverObject() = 0;
    // True while the main window holds a GPS receiver of the server.
    [[nodiscard]] virtual bool HasGpsReceiver() const = 0;
};

// Copies the values to the target; with a server: starts the receiver (simulation, or
// "TMCReceiver" 1; a failed start marks the TMC receiver as not available) or switches to the
// serial GPS receiver on the COM port, then gives the server the display settings (language
// code and miles flag).
void ApplyPreferences(PreferencesTarget& target, const Onboard::OnboardServerPtr& server,
                      const PreferencesRecord& record);
