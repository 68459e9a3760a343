#pragma once
// The data location: the data folder the user chose (with "/kwa", "/maps", "/db" and "/tmc"),
// remembered as "DB"/"FileName" of the settings file, and the paths of its parts. Made by
// CreateDataLocation, held by a counted pointer; safe from any thread.

#include "six/refcntptr.h"

#include "platform/types.h"

#include <string>

class DataLocation {
public:
    virtual ~DataLocation() = default;

    // Asks the user for the data folder and sets it; false on cancel or when the choice is not
    // a data folder. A file chosen inside the data folder stands for its folder.
    [[nodiscard]] virtual bool SelectDataFolder() = 0;
    // Sets the data folder (one trailing '\' or '/' dropped) and writes it to the settings file.
    // False for an empty path or a folder without "/kwa" or "/maps": the data folder is then
    // empty and the derived paths keep their values.
    [[nodiscard]] virtual bool SetDataFolder(const std::u16string& folder) = 0;

    [[nodiscard]] virtual std::u16string GetDataFolder() const = 0;
    // The first "*.rd" file of "/kwa", as "<folder>/kwa\<name>"; empty when there is none.
    [[nodiscard]] virtual std::u16string GetRoadNetworkFile() const = 0;
    // The first "*.lvl" file of "/maps", as "<folder>/maps\<name>"; empty when there is none.
    [[nodiscard]] virtual std::u16string GetLevelFile() const = 0;
    [[nodiscard]] virtual std::u16string GetDbFolder() const = 0;
    [[nodiscard]] virtual std::u16string GetTmcFolder() const = 0;
    // The settings file the location was made with.
    [[nodiscard]] virtual std::u16string GetIniFile() const = 0;

    // "Sounds"/"Path" of the settings file. While it is empty, asks the user first and writes
    // the choice there (a chosen file stands for its folder).
    [[nodiscard]] virtual std::u16string GetSoundsFolder() = 0;
    // Always null.
    [[nodiscard]] virtual LPCWSTR GetRootText() const = 0;
    // IsDatasetFolder of the data folder.
    [[nodiscard]] virtual bool IsDataFolderValid() const = 0;
};

// settingsFile is the full path of the settings file ("RarUderad.ini"); the data folder and the
// sounds folder are read from it. Null only when memory runs out.
[[nodiscard]] six::RefCntPtr<DataLocation> CreateDataLocation(const std::u16string& settingsFile);
