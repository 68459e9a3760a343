#pragma once
// Writer of the program's files on a device root: the language bundles, the page layout under
// the six "ScreenDesc<Lang>CE.dat" names, "PK.ini", the server settings "RarUderad.ini" naming a
// data folder written by a DataFolderWriter, the GPS settings "deziv.ini" and the receiver
// stand-in ("gpstmc.dll" with its "gpstmc.ini"), all in the root folder, where the program's
// executable stands.

#include "testdata/datafolderwriter.h"
#include "testdata/tempdir.h"

#include "platform/shell/resourcebundle.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

class ProgramFolderWriter {
public:
    // The data folder around the program; without one "RarUderad.ini" names no databases.
    explicit ProgramFolderWriter(DataFolderWriter data);

    // A language library, say u"LangGerCE.dll"; the bytes as they stand (a broken bundle too).
    ProgramFolderWriter& Bundle(const std::u16string& fileName,
                                const platform::ResourceBundle& bundle);
    ProgramFolderWriter& BundleBytes(const std::u16string& fileName, std::string bytes);
    // Every file of a host folder (the build's compiled bundles and page layouts), its
    // subfolders (the skin folder "Bitmaps") as folders of the root.
    ProgramFolderWriter& HostFiles(std::filesystem::path hostFolder);
    // The page layout, written under the six language names.
    ProgramFolderWriter& ScreenDescription(const std::string& text);
    // A key of "PK.ini".
    ProgramFolderWriter& Pk(const std::string& section, const std::string& key,
                            const std::string& value);
    // "PK.ini" ends in zero bytes after its keys, as sectors zeroed by a power loss leave it.
    ProgramFolderWriter& ZeroedPkTail(std::size_t bytes);
    // A key of "RarUderad.ini" ("Properties"/"Language" ...).
    ProgramFolderWriter& ServerSetting(const std::string& section, const std::string& key,
                                       const std::string& value);
    // The GPS settings "deziv.ini": the shipped NMEA definition unless set here; nullopt leaves
    // the file out.
    ProgramFolderWriter& GpsSettings(std::optional<std::string> text);
    // The receiver stand-in's scenario; without one no "gpstmc.dll" is installed.
    ProgramFolderWriter& ReceiverScenario(std::string text);

    // Writes everything; nullopt when a part cannot be written.
    [[nodiscard]] std::optional<std::vector<WrittenDatabase>> WriteTo(const TempDeviceRoot& root);

private:
    DataFolderWriter m_data;
    std::map<std::u16string, std::string> m_files;
    std::vector<std::filesystem::path> m_hostFolders;
    std::map<std::string, std::map<std::string, std::string>> m_pk;
    std::optional<std::string> m_scenario;
    std::optional<std::string> m_gpsSettings;
    std::size_t m_zeroedPkTail = 0;
};

} // namespace testdata
