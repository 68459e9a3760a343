#pragma once
// Where the program's files lie. The module folder is the folder of the loaded language library
// (platform::ResourceInstance, the executable while none is set): "PK.ini", "Routenpunkte.ini",
// the screen-description file, the logbook and its converter lie there. Bare names passed to
// MakeFullPath ("RarUderad.ini" ...) lie next to the executable. Paths are device paths; the
// folders are looked up again on every call. Safe from any thread.

#include "platform/types.h"

#include <string>

class AppPaths {
public:
    // The module folder with its trailing '\'; empty when the module's path is unknown.
    [[nodiscard]] static std::u16string GetModuleDirectory();
    // Module folder + "PK.ini".
    [[nodiscard]] static std::u16string GetSettingsFilePath();
    // Module folder + "Routenpunkte.ini".
    [[nodiscard]] static std::u16string GetRoutePointsFilePath();
    // MakeFullPath("RarUderad.ini").
    [[nodiscard]] static std::u16string GetServerSettingsFilePath();
    // name unchanged when it holds a '\' or '/'; otherwise the executable's folder, '\', name.
    [[nodiscard]] static std::u16string MakeFullPath(const std::u16string& name);
    // "Logbook"/"Path" of "PK.ini", or module folder + "Fahrtenbuch.txt" when that is empty.
    [[nodiscard]] static std::u16string GetLogbookFilePath();
    // "Vaza2Dazav"/"Path" of "PK.ini", or module folder + "R2U.exe" when that is empty.
    [[nodiscard]] static std::u16string GetConverterPath();
    // Module folder + "Zudav"/"ConfFile" of "PK.ini" (default "ScreenDesc" + LanguageSuffix of
    // "Properties"/"Language" of "RarUderad.ini" + "CE.dat"). Worked out on the first call and
    // kept for the life of the process.
    [[nodiscard]] static std::u16string GetScreenDescFilePath();
    // "/Windows/GPS Log <day>-<month>-<year> <hour>-<minute>.txt" of the current UTC time.
    [[nodiscard]] static std::u16string MakeGpsLogFileName();

    // "Eng" for 1, "Fre" 3, "Spa" 4, "Ita" 5, "Dut" 6, "Ger" for any other language number.
    [[nodiscard]] static std::u16string LanguageSuffix(INT language);
};

// String 1 of the language library (the application title), at most 64 characters; empty when
// the library has none.
[[nodiscard]] std::u16string LoadAppTitle();

// Starts the help viewer "peghelp.exe" with the command line "file:" + anchor; whether it
// started is not reported.
void OpenHelpFile(const std::u16string& anchor);
