#include "testdata/datafolderwriter.h"

#include "testdata/levelfilewriter.h"
#include "testdata/stylesheetwriter.h"

#include "platform/kernel/codepage.h"

#include <fstream>
#include <iterator>

namespace testdata {

DataFolderDatabase GridTownDatabase(std::uint32_t areaLevel) {
    constexpr std::int32_t kSpacing = 400;
    const MapPoint origin = DegreesToMapPoint(GeoPoint{8.40f, 49.00f});
    DataFolderDatabase database;
    database.folder = u"\\Data\\Town";
    database.world = RoadWorld::Grid(3, 2, kSpacing, origin);
    WorldMapSetOptions& map = database.mapSet;
    const GeoPoint low = MapPointToDegrees({origin.x - 100, origin.y - 100});
    const GeoPoint high =
        MapPointToDegrees({origin.x + 2 * kSpacing + 100, origin.y + kSpacing + 100});
    map.treeAreas = {{"Karlsruhe", areaLevel, -1, 0, {low.x, low.y, high.x, high.y}}};
    for (std::uint32_t link = 0; link < database.world.links.size(); ++link) {
        map.linkTreeAreas[link] = 0;
        map.countries[link] = 1;
    }
    for (const auto& [link, name] : {std::pair<std::uint32_t, const char*>{0, "Kaiserstrasse"},
                                     {5, "Waldstrasse"},
                                     {6, "Am Bahnhof"}}) {
        map.names[link] = name;
        map.attributes[link] =
            DefaultLinkAttributes(database.world.links[link]) | maprecord::kRawSearchable;
    }
    map.houseNumbers[0] = {1, 21, 2, 20};
    const GeoPoint city = database.world.PointAlong(1, 4, 0.5);
    map.points = {{DegreesToMapPoint({city.x + 0.0001f, city.y}), maprecord::kCityType,
                   std::nullopt, "Karlsruhe"}};
    map.pointTreeAreas = {{0, 0}};
    map.cities = {{"Karlsruhe", 0, 0, 1}};
    map.countryNames = {{1, 0, "Deutschland"}};
    return database;
}

namespace {

std::string Narrow(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

} // namespace

DataFolderWriter& DataFolderWriter::AddDatabase(DataFolderDatabase database) {
    m_databases.push_back(std::move(database));
    return *this;
}

DataFolderWriter& DataFolderWriter::Setting(const std::string& section, const std::string& key,
                                            const std::string& value) {
    m_settings[section][key] = value;
    return *this;
}

DataFolderWriter& DataFolderWriter::AdvisorFiles(std::filesystem::path hostFolder) {
    m_advisorFiles = std::move(hostFolder);
    return *this;
}

std::optional<std::vector<WrittenDatabase>>
DataFolderWriter::WriteTo(const TempDeviceRoot& root, const std::u16string& settingsFile) {
    std::vector<WrittenDatabase> written;
    for (DataFolderDatabase& database : m_databases) {
        WrittenDatabase out;
        out.folder = database.folder;
        out.world = database.world;
        const std::optional<WorldMapSet> mapSet =
            WriteWorldMapSet(out.world, database.mapSet, root, database.folder + u"\\maps");
        if (!mapSet) {
            return std::nullopt;
        }
        const std::string base = database.mapSet.baseName;
        // The default day and night style sheets beside the level file, so that the map display
        // facade opens the level too.
        const std::u16string maps = database.folder + u"\\maps\\";
        out.levelFile = maps + platform::Utf8ToUtf16(base) + u".lvl";
        if (!root.WriteFile(maps + u"day.mpl", DefaultStyleSheet(false).Write()) ||
            !root.WriteFile(maps + u"night.mpl", DefaultStyleSheet(true).Write()) ||
            !root.WriteFile(
                out.levelFile,
                LevelFileWriter().AddMapLine(base + ".rid", "day.mpl", 0, "night.mpl").Build())) {
            return std::nullopt;
        }
        RoadNetworkWriter network(out.world, database.network);
        if (!network.WriteTo(root, database.folder + u"\\kwa")) {
            return std::nullopt;
        }
        out.networkFile =
            database.folder + u"\\kwa\\" + platform::Utf8ToUtf16(database.network.stem) + u".rd";
        if (database.withoutNetworkFile &&
            !std::filesystem::remove(root.HostPathOf(out.networkFile))) {
            return std::nullopt;
        }
        if (!database.datasets.WriteTo(root, database.folder + u"\\db")) {
            return std::nullopt;
        }
        if (database.tmc) {
            out.tmcFolder = database.folder + u"\\tmc";
            if (!TmcTablesWriter(database.tmc(out.world)).WriteFolder(root, out.tmcFolder, true)) {
                return std::nullopt;
            }
        }
        written.push_back(std::move(out));
    }
    auto settings = m_settings;
    if (!settings["Quarn"].contains("DB")) {
        settings["Quarn"]["DB"] = Narrow(m_dataFolder);
    }
    std::string text;
    for (const auto& [section, keys] : settings) {
        text += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys) {
            text += key + "=" + value + "\r\n";
        }
    }
    if (!root.WriteFile(settingsFile, text)) {
        return std::nullopt;
    }
    if (m_advisorFiles) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(*m_advisorFiles, error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
            if (!in.good() && !in.eof()) {
                return std::nullopt;
            }
            if (!root.WriteFile(u"\\ConfigFiles\\" +
                                    platform::Utf8ToUtf16(entry.path().filename().string()),
                                bytes)) {
                return std::nullopt;
            }
        }
        if (error) {
            return std::nullopt;
        }
    }
    return written;
}

} // namespace testdata
