#pragma once
// Writer of device data folders for the navigation server's tests: one or more databases, each
// a folder with "kwa" (the road network, whose ".rd" carries the extent in "[Map 0]"), "db" (the
// address datasets), "maps" (the map set and its ".lvl" level file) and, when given tables,
// "tmc"; the settings file naming the data folder ("Properties", "Quarn", "GPS"); and the
// advisor's configuration files copied loose into "\ConfigFiles". Composes the writers of each
// part. Not thread-safe.

#include "testdata/datasetfolderwriter.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "testdata/worldmapset.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

struct DataFolderDatabase {
    std::u16string folder; // device path, say u"\\Data\\North"
    RoadWorld world;
    RoadNetworkOptions network;
    WorldMapSetOptions mapSet;
    DatasetFolderWriter datasets;
    // The TMC tables for the written world (its element ids set); none: no "tmc" folder.
    std::function<TmcTablesModel(const RoadWorld&)> tmc;
    bool withoutNetworkFile = false; // "kwa" without its ".rd"
};

// Where one database went.
struct WrittenDatabase {
    std::u16string folder;
    std::u16string networkFile; // "<folder>\kwa\<stem>.rd"
    std::u16string levelFile;   // "<folder>\maps\<base>.lvl"
    std::u16string tmcFolder;   // "<folder>\tmc"
    RoadWorld world;            // with the map set's element ids
};

// The grid town the page and mode tests share, in the folder "\Data\Town": a 3 x 2 grid of links
// 400 map units apart from 8.40 E 49.00 N, inside one tree area "Karlsruhe" of level areaLevel
// (100 map units beyond the grid) that holds every link, all in country 1 "Deutschland"; the
// searchable streets "Kaiserstrasse" (link 0, house numbers 1-21 and 2-20), "Waldstrasse" (link
// 5) and "Am Bahnhof" (link 6); the city point "Karlsruhe" 0.0001 degrees east of the middle of
// the link from node 1 to node 4, in the area, and the city of that point.
[[nodiscard]] DataFolderDatabase GridTownDatabase(std::uint32_t areaLevel);

class DataFolderWriter {
public:
    explicit DataFolderWriter(std::u16string dataFolder)
        : m_dataFolder(std::move(dataFolder)) {}

    DataFolderWriter& AddDatabase(DataFolderDatabase database);
    // A settings key; "Quarn"/"DB" is the data folder unless set here.
    DataFolderWriter& Setting(const std::string& section, const std::string& key,
                              const std::string& value);
    // The advisor's configuration files: every file of the host folder, loose.
    DataFolderWriter& AdvisorFiles(std::filesystem::path hostFolder);

    // Writes the databases, the settings file (a device path) and the advisor files; nullopt
    // when a part cannot be written.
    [[nodiscard]] std::optional<std::vector<WrittenDatabase>>
    WriteTo(const TempDeviceRoot& root, const std::u16string& settingsFile);

private:
    std::u16string m_dataFolder;
    std::vector<DataFolderDatabase> m_databases;
    std::map<std::string, std::map<std::string, std::string>> m_settings;
    std::optional<std::filesystem::path> m_advisorFiles;
};

} // namespace testdata
