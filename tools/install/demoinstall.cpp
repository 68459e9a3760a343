#include "tools/install/demoinstall.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/traffichandler.h"
#include "routing/routeiterator.h"
#include "routing/routeservice.h"
#include "testdata/alertcencoder.h"
#include "testdata/nmeawriter.h"
#include "testdata/programfolderwriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "tools/osm/osmconvert.h"
#include "traffic/tmcdatabase.h"
#include "traffic/tmcmessage.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <system_error>

namespace demoinstall {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kStartCity[] = u"Schaan";
constexpr char16_t kStartStreet[] = u"Feldkircher Strasse";
constexpr char16_t kDestinationCity[] = u"Vaduz";
constexpr char16_t kDestinationStreet[] = u"\u00C4ulestrasse";
// The closed stretch begins this far into the route, and holds at most this many elements.
constexpr std::int32_t kClosedFromMetres = 1500;
constexpr std::size_t kMaxClosedElements = 3;
// The TMC line and its points, and the area of the country they lie in, in the location table
// of the country found; the station's programme identification without its country code.
constexpr std::uint32_t kLineLocation = 700;
constexpr std::uint32_t kCountryLocation = 1;
constexpr std::uint16_t kProgrammeReference = 0x0301;
constexpr unsigned kClosureEvent = 401; // blocks the road
constexpr unsigned kStationFrequency = 875;
constexpr int kStandingFixCycles = 600;
// The files of an install by which it is recognised, and the user's files that an install laid
// over it keeps: the logbook, and the sections the program writes for the user in its settings
// files (names in lower case): the presettings and the "Recent" and "Personal" lists of the
// settings file, the tour points and, with a map of the same area, the database's map-specific
// list.
constexpr char kProgramFile[] = "navigator";
constexpr char kSettingsFile[] = "PK.ini";
constexpr char kLogbookFile[] = "Fahrtenbuch.txt";
constexpr std::string_view kSettingsSections[] = {"preferences", "recent", "personal"};
constexpr char kTourPointsFile[] = "Routenpunkte.ini";
constexpr std::string_view kTourPointsSections[] = {"destlist"};
constexpr char16_t kMapListFile[] = u"\\data.ini";
constexpr std::string_view kMapListSections[] = {"mapspecific"};
// The network file's section with the map's extent, and the extent's keys.
constexpr char16_t kExtentSection[] = u"Map 0";
constexpr std::u16string_view kExtentKeys[] = {u"x1", u"y1", u"x2", u"y2"};
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A line left out of a kept section is named with at most this many of its first bytes.
constexpr std::size_t kNamedLineBytes = 24;

std::u16string Data(std::u16string_view rest) {
    return std::u16string(kDataFolder) + std::u16string(rest);
}

std::vector<RouteRecord> Records(const RouteRequestResult& result) {
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next())
        records.push_back(it->Current());
    return records;
}

bool DrivesAny(const RouteRequestResult& result, const std::vector<std::uint32_t>& elements) {
    const std::vector<RouteRecord> records = Records(result);
    return std::any_of(records.begin(), records.end(), [&](const RouteRecord& record) {
        return std::find(elements.begin(), elements.end(), record.linkId) != elements.end();
    });
}

// The elements of the streets named `street` in municipality `city` (a street may be found
// several times, in parts), through the street search.
std::vector<std::uint32_t> FindStreet(RetrievalEngineImpl& engine, const std::u16string& city,
                                      const std::u16string& street) {
    std::vector<std::uint32_t> elements;
    auto cities = engine.FindCities(city, 0);
    if (!cities || !cities->IsValid())
        return elements;
    const auto area = static_cast<std::uint32_t>(cities->GetCurrent()->GetAreaId());
    for (auto streets = engine.FindInArea(area, street); streets && streets->IsValid();
         streets->Next()) {
        if (streets->GetCurrent()->GetName() == street) {
            for (const std::uint32_t id : streets->GetCurrent()->GetElementIds())
                elements.push_back(id);
        }
    }
    return elements;
}

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

// Finds the places, the route between them and a stretch from kClosedFromMetres on that the
// route service can drive around.
std::string FindRoute(RetrievalEngineImpl& engine, RouteService& service, DemoRoute& route) {
    const std::vector<std::uint32_t> startStreet = FindStreet(engine, kStartCity, kStartStreet);
    if (startStreet.empty())
        return "no street \"" + Utf8(kStartStreet) + "\" in " + Utf8(kStartCity);
    const std::vector<std::uint32_t> destinationStreet =
        FindStreet(engine, kDestinationCity, kDestinationStreet);
    if (destinationStreet.empty())
        return "no street \"" + Utf8(kDestinationStreet) + "\" in " + Utf8(kDestinationCity);
    // The lowest house number the address index holds on the street and its element; without
    // any, the street's middle element.
    std::optional<HouseNumber> house;
    route.destinationElement = destinationStreet[destinationStreet.size() / 2];
    for (const std::uint32_t id : destinationStreet) {
        HouseNumberInfo info;
        if (!engine.FillHouseNumberInfo(id, info))
            continue;
        for (const HouseNumberArray* side : {&info.firstSide, &info.secondSide}) {
            for (const HouseNumber& number : side->GetNumbers()) {
                if (number.IsValid() && (!house || number < *house)) {
                    house = number;
                    route.destinationElement = id;
                }
            }
        }
    }
    route.houseNumber = house ? house->GetNumber() : 0;

    route.startElement = startStreet.front();
    std::vector<GeoPoint> points;
    if (!engine.GetElementPoints(route.startElement, points) || points.size() < 2)
        return "the start street has no geometry";
    route.start = {(points[0].x + points[1].x) / 2, (points[0].y + points[1].y) / 2};

    const RoutePositionPtr start = service.CreatePosition(&route.startElement, &route.start);
    const RoutePositionPtr end = service.CreateElementPosition(&route.destinationElement);
    const RouteRequestResult found = service.RequestRoute(start, end, nullptr);
    if (found.status != routestatus::kFound)
        return "no route from " + Utf8(kStartStreet) + " to " + Utf8(kDestinationStreet);
    const std::vector<RouteRecord> records = Records(found);

    std::int32_t metres = 0;
    for (std::size_t i = 0; i + 1 < records.size(); metres += records[i].length, ++i) {
        if (metres < kClosedFromMetres)
            continue;
        // The longest run of elements from here (never the route's last) that can be avoided.
        for (std::size_t count = std::min(kMaxClosedElements, records.size() - 1 - i); count > 0;
             --count) {
            std::vector<std::uint32_t> stretch;
            std::vector<std::uint32_t> keys;
            for (std::size_t k = i; k < i + count; ++k) {
                if (records[k].linkId == 0xFFFFFFFF ||
                    std::find(stretch.begin(), stretch.end(), records[k].linkId) != stretch.end())
                    break;
                stretch.push_back(records[k].linkId);
                keys.push_back(records[k].linkId | 0x80000000U);
            }
            if (stretch.size() != count ||
                !service.AddFlaggedElementPercent(keys, TrafficHandler::kAvoidanceFlag))
                continue;
            const RouteRequestResult around = service.RequestRoute(start, end, nullptr);
            (void)service.RemoveFlaggedElement(keys);
            if (around.status == routestatus::kFound && !DrivesAny(around, stretch)) {
                route.closed = std::move(stretch);
                route.closedFromMetres = metres;
                return "";
            }
        }
    }
    return "no stretch of the route from " + std::to_string(kClosedFromMetres) +
           " m on can be driven around";
}

// A country code and location table of TMC for the messages of the install, and the name of the
// map set's country at the route's start.
struct TmcCountry {
    std::uint8_t code = 0;
    std::uint8_t table = 0;
    std::u16string name;
};

// The first country code and table whose messages the program places in the map set's country
// (their country text, with this engine, is its name); without one, country code 1 and table 1.
void FindTmcCountry(RetrievalEngineImpl& engine, const DemoRoute& route, TmcCountry& found) {
    const std::vector<CountryPtr> countries = engine.GetCountries(0);
    CountryPtr country = countries.size() == 1 ? countries.front() : CountryPtr();
    for (const CountryPtr& candidate : countries) {
        const GeoRect rect = candidate->GetRect();
        if (route.start.x >= rect.minX && route.start.x <= rect.maxX &&
            route.start.y >= rect.minY && route.start.y <= rect.maxY)
            country = candidate;
    }
    found = {1, 1, country ? country->GetName() : u""};
    for (std::uint8_t code = 1; country && code <= 15; ++code) {
        for (std::uint8_t table = 1; table <= 63; ++table) {
            const TmcCountryName name = TmcCountryNameOf(code, table);
            const CountryPtr named =
                name.engineCountry ? engine.GetCountry(*name.engineCountry, 0) : CountryPtr();
            if ((named ? named->GetName() : name.fixedName) == found.name) {
                found = {code, table, found.name};
                return;
            }
        }
    }
}

// The TMC tables along the stretch, in the database's "tmc" folder, and the RDS group file
// with the closing message: the sample tables' events and sign names, and the line's locations
// in the country of the map set, whose name the area enclosing them bears.
std::string WriteTraffic(RetrievalEngineImpl& engine, const testdata::TempDeviceRoot& root,
                         DemoRoute& route) {
    TmcCountry country;
    FindTmcCountry(engine, route, country);
    std::vector<testdata::TmcRoadElement> elements;
    std::vector<std::size_t> crossings;
    for (const std::uint32_t id : route.closed) {
        std::vector<GeoPoint> points;
        if (!engine.GetElementPoints(id, points) || points.size() < 2)
            return "an element of the closed stretch has no geometry";
        if (!elements.empty())
            crossings.push_back(elements.size() - 1);
        elements.push_back(
            {id, points.front().x, points.front().y, points.back().x, points.back().y});
    }
    const MapElementPtr first = engine.GetElement(route.closed.front());
    const char16_t* name = first ? first->GetName() : nullptr;
    const testdata::TmcTablesModel sample = testdata::TmcSampleTables();
    testdata::TmcTablesModel model;
    model.events = sample.events;
    model.signNames = sample.signNames;
    const auto code = [&country](std::uint32_t location) {
        return MakeTmcLocationCode(country.code, country.table, location);
    };
    testdata::TmcLocationRow area;
    area.code = code(kCountryLocation);
    area.typeClass = 2;
    area.firstName = platform::WideToAnsi(country.name);
    if (!country.name.empty())
        model.locations.push_back(area);
    const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
        model, elements, crossings, code(kLineLocation), code(kLineLocation + 1),
        name != nullptr && *name != 0 ? platform::WideToAnsi(name) : "Route", "");
    for (testdata::TmcLocationRow& location : model.locations) {
        if (location.code != area.code && !country.name.empty())
            location.area = area.code;
    }
    route.pointCodes = line.points;
    if (!testdata::TmcTablesWriter(model).WriteFolder(root, Data(u"\\tmc"), true))
        return "the TMC tables cannot be written";

    const auto programmeId = static_cast<std::uint16_t>(country.code << 12 | kProgrammeReference);
    route.programmeId = programmeId;
    testdata::AlertCMessage closure;
    closure.programmeId = programmeId;
    closure.event = kClosureEvent;
    closure.location = line.points.back() % 100000;
    closure.extent = static_cast<unsigned>(line.points.size() - 1);
    testdata::AlertCEncoder encoder;
    encoder.AddTable(programmeId, country.table).AddMessage(closure);
    testdata::RdsGroupFileWriter groups;
    for (const auto& group : encoder.Groups())
        groups.Add(group);
    if (!root.WriteFile(kClosureFile, groups.Build()))
        return "the RDS group file cannot be written";
    return "";
}

// The receiver stand-in's scenario: the standing fix replayed, one station with TMC.
std::string ReceiverScenario(const DemoRoute& route) {
    testdata::ScenarioStation station;
    station.frequency = kStationFrequency;
    station.programmeId = route.programmeId;
    station.name = "Radio FL";
    station.tmcHealth = 2;
    testdata::ReceiverScenarioWriter writer;
    writer.SetReplay(Utf8(kStandingFixFile)).AddStation(station);
    return writer.Build();
}

std::string StandingFix(const DemoRoute& route) {
    testdata::NmeaWriter writer;
    for (int i = 0; i < kStandingFixCycles; ++i) {
        testdata::NmeaFixValues fix;
        fix.hour = 12 + i / 3600;
        fix.minute = i / 60 % 60;
        fix.second = i % 60;
        fix.latitude = route.start.y;
        fix.longitude = route.start.x;
        fix.speedKmh = 0;
        fix.course = 0;
        writer.AddCycle(fix);
    }
    return writer.Build();
}

// Copies a host folder's files into a device folder, keeping its subfolders.
std::string CopyFolder(const fs::path& from, const testdata::TempDeviceRoot& root,
                       const std::u16string& to) {
    std::error_code error;
    if (!fs::is_directory(from, error))
        return from.string() + ": no such folder";
    const fs::path target = root.HostPathOf(to);
    fs::create_directories(target, error);
    fs::copy(from, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             error);
    return error ? from.string() + ": " + error.message() : "";
}

std::string CopyFile(const fs::path& from, const testdata::TempDeviceRoot& root,
                     const std::u16string& to) {
    const std::optional<std::string> bytes = testdata::ReadHostFile(from);
    if (!bytes)
        return from.string() + ": cannot be read";
    return root.WriteFile(to, *bytes) ? "" : Utf8(to) + ": cannot be written";
}

// The help page the install lays at its root; "PK.ini" names it for the help viewer.
constexpr char16_t kHelpPage[] = u"\\ZU_Deridivira.htm";

// Everything but the rename, into the root.
std::string Lay(const InstallOptions& options, const testdata::TempDeviceRoot& root,
                DemoRoute& route, std::ostream& log) {
    if (std::string error = CopyFolder(options.data, root, kDataFolder); !error.empty())
        return error;
    if (!root.Exists(Data(osm2nav::kLevelFile)) || !root.Exists(Data(osm2nav::kNetworkFile)))
        return options.data.string() + ": not a folder osm2nav wrote (no level or network file)";
    {
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        if (!engine->Open(Data(osm2nav::kLevelFile)))
            return "the map set of " + options.data.string() + " does not open";
        const RouteServicePtr service =
            CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
        if (!service || !service->OpenNetwork(Data(osm2nav::kNetworkFile)))
            return "the road network of " + options.data.string() + " does not open";
        if (std::string error = FindRoute(*engine, *service, route); !error.empty())
            return error;
        if (std::string error = WriteTraffic(*engine, root, route); !error.empty())
            return error;
    }
    log << "installdemo: destination " << Utf8(kDestinationStreet) << " "
        << (route.houseNumber != 0 ? std::to_string(route.houseNumber) : "(no house number)")
        << " in " << Utf8(kDestinationCity) << "; the TMC line runs along " << route.closed.size()
        << " elements from " << route.closedFromMetres << " m into the route\n";

    // The junction pictures (destination bitmaps and numbered drawings) are read from the
    // program's own folder.
    for (const auto& [from, to] :
         {std::pair{options.demoData / "ConfigFiles", Data(u"\\ConfigFiles")},
          std::pair{options.demoData / "ConfigFiles" / "HiWayImages",
                    std::u16string(u"\\ConfigFiles\\HiWayImages")},
          std::pair{options.demoData / "sound", std::u16string(u"\\sound")}}) {
        if (std::string error = CopyFolder(from, root, to); !error.empty())
            return error;
    }
    const fs::path screens = options.source / "resources" / "screens" / "screendesc.ini";
    const std::optional<std::string> layout = testdata::ReadHostFile(screens);
    if (!layout)
        return screens.string() + ": cannot be read";
    testdata::DataFolderWriter data(kDataFolder);
    data.Setting("Properties", "ConfigFilesDir", Utf8(Data(u"\\ConfigFiles")))
        .Setting("Properties", "Language", "0")
        .Setting("GPS", "AutoLog", "0");
    testdata::ProgramFolderWriter program(std::move(data));
    program.HostFiles(options.programFiles)
        .ScreenDescription(*layout)
        .Pk("Zudav", "Simulation", "1")
        .Pk("HelpFile", "Path", Utf8(kHelpPage))
        .ReceiverScenario(ReceiverScenario(route));
    if (!program.WriteTo(root))
        return "the program's files cannot be written";

    for (const auto& [from, to] :
         {std::pair{options.source / "positioning" / "data" / "deziv.ini",
                    std::u16string(u"\\deziv.ini")},
          std::pair{options.source / "resources" / "contacts" / "Contacts.vcf",
                    std::u16string(u"\\My Documents\\Contacts.vcf")},
          std::pair{options.navigator, std::u16string(u"\\navigator")}}) {
        if (std::string error = CopyFile(from, root, to); !error.empty())
            return error;
    }
    std::error_code error;
    fs::permissions(root.HostPathOf(u"\\navigator"),
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, error);
    if (error)
        return "navigator: " + error.message();
    const bool isWritten =
        root.WriteFile(kStandingFixFile, StandingFix(route)) &&
        root.WriteFile(u"\\Vaza2Dazav.ini", "[File]\r\nIn=.\\Fahrtenbuch.txt\r\n") &&
        root.WriteFile(kHelpPage,
                       "<html><body><h1 id=\"Presettings\">Presettings</h1>"
                       "<p>Units, clock and voice of the navigator.</p></body></html>\r\n") &&
        root.InstallModule(u"ziVur.dll", u"\\") && root.InstallModule(u"pimstore.dll", u"\\");
    return isWritten ? "" : "the settings files cannot be written";
}

// The output as an absolute, lexically normal path without trailing separators, so that ".new"
// and ".old" name folders beside it however it is spelled ("DIR/./", "./", "DIR/sub/..").
fs::path NormalOutput(const fs::path& output) {
    std::error_code error;
    const fs::path absolute = fs::absolute(output, error);
    std::string text = (error ? output : absolute).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

fs::path HostRelative(std::u16string_view devicePath) {
    fs::path path;
    for (std::size_t at = 0; at < devicePath.size();) {
        std::size_t end = devicePath.find(u'\\', at);
        end = end == std::u16string_view::npos ? devicePath.size() : end;
        if (end > at)
            path /= Utf8(std::u16string(devicePath.substr(at, end - at)));
        at = end + 1;
    }
    return path;
}

// Whether a folder may be replaced: there is nothing at the path, an empty folder, or a folder
// of ours. A whole install holds the program, its settings file and the database folder; a
// staging folder or one put aside holds the database folder from the first step on.
bool IsReplaceable(const fs::path& path, bool isWhole) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return true;
    if (!fs::is_directory(status))
        return false;
    if (fs::is_empty(path, error))
        return !error;
    return fs::is_directory(path / HostRelative(kDataFolder), error) &&
           (!isWhole || (fs::is_regular_file(path / kProgramFile, error) &&
                         fs::is_regular_file(path / kSettingsFile, error)));
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The header's section name of a settings file's line ("[Recent]" gives "recent", any case);
// nullopt for other lines. `header` takes the header as written.
std::optional<std::string> SectionName(std::string_view line, std::string* header = nullptr) {
    const std::size_t open = line.find_first_not_of(" \t");
    const std::size_t close = line.find(']');
    if (open == std::string_view::npos || line[open] != '[' || close == std::string_view::npos ||
        close < open)
        return std::nullopt;
    if (header != nullptr)
        *header = line.substr(open, close - open + 1);
    return Lower(line.substr(open + 1, close - open - 1));
}

bool IsOneOf(const std::optional<std::string>& name, std::span<const std::string_view> sections) {
    return name && std::find(sections.begin(), sections.end(), *name) != sections.end();
}

// A line left out for its NUL bytes, as a message names it: its number, its section's header
// and the first bytes before the first NUL.
std::string LeftOutLine(std::string_view line, std::size_t number, const std::string& header) {
    std::string named = "line " + std::to_string(number);
    if (!header.empty())
        named += " of " + header;
    std::string_view text = line.substr(0, line.find('\0'));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty())
        return named + " (NUL bytes only)";
    const bool isCut = text.size() > kNamedLineBytes;
    return named + " (\"" + std::string(text.substr(0, kNamedLineBytes)) + (isCut ? "..." : "") +
           "\" and NUL bytes)";
}

// The lines of a settings file, each with its line end, byte for byte, that lie in `sections`
// (`isUser`) or in the others. A line holding NUL bytes (zeroed sectors after a power loss) is
// never taken: a settings file holding one is never rewritten by the program. Those of the
// chosen sections are named in `leftOut`.
std::string SectionsOf(std::string_view text, std::span<const std::string_view> sections,
                       bool isUser, std::vector<std::string>* leftOut = nullptr) {
    std::string kept;
    std::string header;
    bool isInUser = false;
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string_view line = text.substr(at, end - at);
        at = end;
        ++number;
        if (line.find('\0') != std::string_view::npos) {
            if (isInUser == isUser && leftOut != nullptr)
                leftOut->push_back(LeftOutLine(line, number, header));
            continue;
        }
        if (const std::optional<std::string> name = SectionName(line, &header))
            isInUser = IsOneOf(name, sections);
        if (isInUser == isUser)
            kept += line;
    }
    return kept;
}

// The text of a settings file without its UTF-8 byte-order mark; `isUtf8` tells whether it had one.
std::string_view WithoutMark(std::string_view text, bool& isUtf8) {
    isUtf8 = text.starts_with(kByteOrderMark);
    if (isUtf8)
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

// The user's sections of a file of the earlier install, without the lines that hold NUL bytes
// (named in a line to `log`) and without a byte-order mark (`isUtf8` tells whether the file had
// one). Empty when the file is not there; nullopt when it is but cannot be read.
std::optional<std::string> EarlierSections(const fs::path& path,
                                           std::span<const std::string_view> sections, bool& isUtf8,
                                           std::ostream& log) {
    isUtf8 = false;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(path, error)))
        return std::string();
    const std::optional<std::string> text = testdata::ReadHostFile(path);
    if (!text)
        return std::nullopt;
    std::vector<std::string> leftOut;
    std::string kept = SectionsOf(WithoutMark(*text, isUtf8), sections, true, &leftOut);
    if (!leftOut.empty()) {
        log << "installdemo: " << path.string() << " is damaged; left out of the new install, as "
            << (leftOut.size() == 1 ? "it holds" : "they hold") << " NUL bytes:";
        for (std::size_t i = 0; i < leftOut.size(); ++i)
            log << (i == 0 ? " " : ", ") << leftOut[i];
        log << "\n";
    }
    return kept;
}

// Puts the user's sections of a settings file of the earlier install (`file` below both roots)
// in place of those of the staging folder's file; the file is made when only the earlier install
// had it. A file in UTF-8 (with its byte-order mark) stays one. Empty, or why a file cannot be
// read or written.
std::string KeepSections(const fs::path& earlier, const fs::path& staging, const fs::path& file,
                         std::span<const std::string_view> sections, std::ostream& log) {
    bool isUtf8 = false;
    const std::optional<std::string> kept = EarlierSections(earlier / file, sections, isUtf8, log);
    if (!kept)
        return (earlier / file).string() + ": cannot be read";
    std::error_code error;
    const bool isMade = fs::exists(fs::symlink_status(staging / file, error));
    if (!isMade && kept->empty())
        return "";
    const std::optional<std::string> made =
        isMade ? testdata::ReadHostFile(staging / file) : std::string();
    if (!made)
        return (staging / file).string() + ": cannot be read";
    bool isMadeUtf8 = false;
    std::string merged = SectionsOf(WithoutMark(*made, isMadeUtf8), sections, false);
    if (!merged.empty() && merged.back() != '\n')
        merged += "\r\n";
    merged += *kept;
    if (isUtf8 || isMadeUtf8)
        merged.insert(0, kByteOrderMark);
    std::ofstream out(staging / file, std::ios::binary | std::ios::trunc);
    out << merged;
    out.close();
    return out ? "" : (staging / file).string() + ": cannot be written";
}

// The extent of the map of an install's database ("x1", "y1", "x2", "y2" of its network file's
// "[Map 0]"), by which the navigation server tells databases apart; empty when the file cannot
// be read or a value is missing.
std::vector<double> MapExtent(const fs::path& root) {
    const std::optional<std::string> text =
        testdata::ReadHostFile(root / HostRelative(Data(osm2nav::kNetworkFile)));
    if (!text)
        return {};
    const auto keys = IniProfile::GetSectionOfText(*text, kExtentSection);
    std::vector<double> extent;
    for (const std::u16string_view key : kExtentKeys) {
        const auto found = std::find_if(keys.begin(), keys.end(), [key](const auto& line) {
            return platform::CompareNoCase(line.first, key) == 0;
        });
        const std::string value = found != keys.end() ? Utf8(found->second) : "";
        double number = 0;
        if (value.empty() ||
            std::from_chars(value.data(), value.data() + value.size(), number).ec != std::errc())
            return {};
        extent.push_back(number);
    }
    return extent;
}

// The user's files of the earlier install into the staging folder: the logbook as it is, and the
// user's sections of the settings files in place of the new files' own; the database's
// map-specific list only when the new map covers the same area (a list of another map's
// destinations is left behind, and `log` says so).
std::string KeepUserFiles(const fs::path& earlier, const fs::path& staging, std::ostream& log) {
    std::error_code error;
    if (fs::exists(earlier / kLogbookFile, error)) {
        fs::copy_file(earlier / kLogbookFile, staging / kLogbookFile,
                      fs::copy_options::overwrite_existing, error);
        if (error)
            return (earlier / kLogbookFile).string() + ": " + error.message();
    }
    for (const auto& [file, sections] :
         {std::pair<fs::path, std::span<const std::string_view>>{kSettingsFile, kSettingsSections},
          std::pair<fs::path, std::span<const std::string_view>>{kTourPointsFile,
                                                                 kTourPointsSections}}) {
        if (std::string problem = KeepSections(earlier, staging, file, sections, log);
            !problem.empty())
            return problem;
    }
    const fs::path mapList = HostRelative(Data(kMapListFile));
    const std::vector<double> extent = MapExtent(earlier);
    if (extent.empty() || extent != MapExtent(staging)) {
        // Its destinations lie elsewhere, or nothing tells where its map lies.
        std::ostringstream ignored;
        bool isUtf8 = false;
        const std::optional<std::string> list =
            EarlierSections(earlier / mapList, kMapListSections, isUtf8, ignored);
        if (list && !list->empty())
            log << "installdemo: " << (earlier / mapList).string()
                << ": its map-specific list is not kept, as the new map does not cover the area of "
                   "the earlier one\n";
        return "";
    }
    return KeepSections(earlier, staging, mapList, kMapListSections, log);
}

} // namespace

std::string Install(const InstallOptions& options, DemoRoute& route, std::ostream& log) {
    std::error_code error;
    if (!fs::is_directory(options.data, error))
        return options.data.string() + ": no converted data folder";
    const fs::path output = NormalOutput(options.output);
    const fs::path staging = fs::path(output).concat(".new");
    const fs::path previous = fs::path(output).concat(".old");
    for (const auto& [path, isWhole] :
         {std::pair{output, true}, std::pair{staging, false}, std::pair{previous, false}}) {
        if (!IsReplaceable(path, isWhole))
            return path.string() + ": not " + (isWhole ? "an earlier" : "a") +
                   " demo install nor an empty folder; nothing was changed";
    }
    const bool hadOne = fs::exists(fs::symlink_status(output, error));
    const bool isEarlierInstall = hadOne && !fs::is_empty(output, error);
    std::string problem;
    {
        testdata::TempDeviceRoot root(staging, true);
        problem = root.HostPath() == staging ? Lay(options, root, route, log)
                                             : staging.string() + ": cannot be made";
    }
    if (problem.empty() && isEarlierInstall && !options.fresh)
        problem = KeepUserFiles(output, staging, log);
    if (problem.empty()) {
        fs::remove_all(previous, error);
        if (hadOne)
            fs::rename(output, previous, error);
        if (!error)
            fs::rename(staging, output, error);
        if (error) {
            problem = output.string() + ": " + error.message();
            std::error_code ignored;
            if (hadOne && !fs::exists(output, ignored))
                fs::rename(previous, output, ignored);
        }
    }
    if (!problem.empty()) {
        fs::remove_all(staging, error);
        return problem;
    }
    fs::remove_all(previous, error);
    return "";
}

} // namespace demoinstall
