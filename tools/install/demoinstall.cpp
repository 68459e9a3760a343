#include "tools/install/demoinstall.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/serverconfig.h"
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
#include "tools/install/helpviewer.h"
#include "tools/install/installlayout.h"
#include "tools/install/installswap.h"
#include "tools/install/userfiles.h"
#include "tools/osm/osmconvert.h"
#include "traffic/tmcdatabase.h"
#include "traffic/tmcmessage.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/mutex.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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
        return root.HostPathOf(Data(u"\\tmc")).string() + ": the TMC tables cannot be written";

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
        return root.HostPathOf(kClosureFile).string() + ": cannot be written";
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
    if (!error)
        fs::copy(from, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
                 error);
    return CopyProblem(target, from, error);
}

std::string CopyFile(const fs::path& from, const testdata::TempDeviceRoot& root,
                     const std::u16string& to) {
    const std::optional<std::string> bytes = testdata::ReadHostFile(from);
    if (!bytes)
        return from.string() + ": cannot be read";
    return root.WriteFile(to, *bytes) ? "" : root.HostPathOf(to).string() + ": cannot be written";
}

// The help page the install lays at its root; "PK.ini" names it for the help viewer.
constexpr char16_t kHelpPage[] = u"\\ZU_Deridivira.htm";
// The language "RarUderad.ini" names (0: German), whose help page is laid.
constexpr INT kLanguage = 0;

// The source of the help page of a language: "resources/help/<lang>.htm" ("ger.htm").
std::string HelpPageSource(INT language) {
    return Lower(Utf8(AppPaths::LanguageSuffix(language))) + ".htm";
}

// The server settings at an install's root, whose "Language" of [Properties] picks the bundle.
constexpr char kServerSettingsFile[] = "RarUderad.ini";

// The help page of the language the new install's server settings name, where it is not the one
// laid: the user's language, kept from the earlier install. A page of the user's is left alone.
std::string LayHelpOfLanguage(const InstallOptions& options, const fs::path& staging,
                              const UserFiles& userFiles) {
    const std::string page = HostRelative(kHelpPage).generic_string();
    if (std::find(userFiles.kept.begin(), userFiles.kept.end(), page) != userFiles.kept.end())
        return "";
    INT language = kLanguage;
    const std::string text = ReadRegularFile(staging / kServerSettingsFile).bytes.value_or("");
    for (const auto& [key, value] : IniProfile::GetSectionOfText(text, u"Properties")) {
        const std::string number = Utf8(value);
        if (platform::CompareNoCase(key, u"Language") == 0)
            (void)std::from_chars(number.data(), number.data() + number.size(), language);
    }
    if (HelpPageSource(language) == HelpPageSource(kLanguage))
        return "";
    const fs::path from = options.source / "resources" / "help" / HelpPageSource(language);
    std::error_code error;
    fs::copy_file(from, staging / page, fs::copy_options::overwrite_existing, error);
    return CopyProblem(staging / page, from, error);
}

std::string HostSearchPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "";
}

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
    // The database the server records as the last used one at each start, set already, so that
    // the program leaves the file as laid out and a later install finds it unchanged.
    testdata::DataFolderWriter data(kDataFolder);
    data.Setting("Properties", "ConfigFilesDir", Utf8(Data(u"\\ConfigFiles")))
        .Setting("Properties", "Language", std::to_string(kLanguage))
        .Setting("Properties", Utf8(ServerConfig::kLastDatabaseKey), Utf8(kDataFolder))
        .Setting("GPS", "AutoLog", "0");
    testdata::ProgramFolderWriter program(std::move(data));
    program.HostFiles(options.programFiles)
        .ScreenDescription(*layout)
        .Pk("Zudav", "Simulation", "1")
        .Pk("HelpFile", "Path", Utf8(kHelpPage))
        .ReceiverScenario(ReceiverScenario(route));
    if (!program.WriteTo(root))
        return root.HostPath().string() + ": the program's files cannot be written there";

    for (const auto& [from, to] :
         {std::pair{options.source / "positioning" / "data" / "deziv.ini",
                    std::u16string(u"\\deziv.ini")},
          std::pair{options.source / "resources" / "contacts" / "Contacts.vcf",
                    std::u16string(u"\\My Documents\\Contacts.vcf")},
          std::pair{options.source / "resources" / "help" / HelpPageSource(kLanguage),
                    std::u16string(kHelpPage)},
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
        root.WriteFile(kLaunchFile, LaunchFileText(HelpViewerOnHost(HostSearchPath()))) &&
        root.InstallModule(u"ziVur.dll", u"\\") && root.InstallModule(u"pimstore.dll", u"\\");
    return isWritten ? ""
                     : root.HostPath().string() + ": the settings files cannot be written there";
}

// Why a folder of the install cannot be replaced now: a program running on it holds its
// single-instance lock, which would stay with the replaced folder and let a second start run
// beside it. Empty when no program holds either.
std::string HeldByProgram(const fs::path& output, const fs::path& previous) {
    for (const fs::path& folder : {output, previous}) {
        if (platform::IsAnyNamedMutexHeld(folder))
            return folder.string() +
                   ": a program is running on this install (it holds the single-instance lock); "
                   "end it, then install again; nothing was changed";
    }
    return "";
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

// Why the output cannot be put in place by a rename, found before anything is laid: a file system
// is mounted on it. Empty when none is.
std::string MountedOn(const fs::path& output) {
    if (!IsMountPoint(output))
        return "";
    return output.string() +
           ": a file system is mounted here; the installer lays the new install beside it and puts "
           "it in its place by a rename, which a mount point does not allow; install into a "
           "folder in it (--out " +
           (output / "install").string() + ") or unmount it; nothing was changed";
}

// What to do about a folder the installer may not read: `yours` when it is the user's own (or its
// owner cannot be told); else whose it is, a user's name or only a number, and that its owner or
// an administrator must make it readable to the user, followed by `other` (" or move it away").
std::string WhoMakesReadable(const fs::path& folder, const std::string& yours,
                             const std::string& other) {
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || status.st_uid == ::geteuid())
        return yours;
    const std::string uid = std::to_string(status.st_uid);
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> names(16384);
    const bool isNamed =
        ::getpwuid_r(status.st_uid, &entry, names.data(), names.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr && *found->pw_name != '\0';
    return "it belongs to " +
           (isNamed ? "user \"" + std::string(found->pw_name) + "\" (uid " + uid + ")"
                    : "uid " + uid + ", which names no user") +
           ", not to you: its owner or an administrator must make it readable to you" + other;
}

// Why an earlier install at `folder` cannot be replaced, found before anything is laid: a file
// system is mounted in it (a memory card, say), whose files the installer never removes nor
// carries, or, with `isEveryFolderRead`, a folder in it cannot be read, so that neither what of
// the user's it holds nor what is mounted below it can be told; each with what to do. Empty when
// neither is so.
std::string MountedIn(const fs::path& folder, bool isEveryFolderRead) {
    std::string unread;
    fs::path unreadFolder;
    const std::vector<fs::path> mounts =
        MountPointsBelow(folder, std::nullopt, &unread, &unreadFolder);
    if (mounts.empty() && isEveryFolderRead && !unread.empty())
        return unread + "; so the installer cannot tell what of yours it holds; " +
               WhoMakesReadable(unreadFolder,
                                "give yourself read permission to it (chmod u+rx) or move it out "
                                "of the install",
                                " or move it out of the install") +
               ", then install again; nothing was changed";
    if (mounts.empty())
        return "";
    std::string words;
    for (std::size_t i = 0; i < mounts.size(); ++i)
        words += (i == 0 ? "" : i + 1 == mounts.size() ? " and " : ", ") + mounts[i].string();
    const char* const it = mounts.size() == 1 ? "it" : "them";
    return folder.string() + ": " +
           (mounts.size() == 1 ? "a file system is mounted in it at "
                               : "file systems are mounted in it at ") +
           words +
           ", which the installer neither removes nor carries into the new install; unmount " + it +
           " (umount) or move " + it +
           " out of the install (mount --move), then install again; nothing was changed";
}

// Why the installer cannot tell whether a folder beside the output is its own: it may not read it.
// Empty when it may, or when nothing or no folder is there.
std::string UnreadableFolder(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return "";
    }
    if (errno != EACCES)
        return "";
    const std::string unread = Failed(path, "cannot be read");
    return unread + "; so the installer cannot tell whether it made it; " +
           WhoMakesReadable(path, "give yourself read permission to it (chmod u+rx)",
                            " or move it away") +
           ", then install again; nothing was changed";
}

// Removes `folders` of the installer's own (a staging folder or an earlier install put aside), and
// with `isLeftoverCleared` its folders beside the output that earlier installs could not remove;
// one of `folders` it cannot remove it moves out of the way. Each folder still left is named in
// `left` with each entry left in it and why. Empty, or why one of `folders` is still in the way.
std::string ClearOwnFolders(const fs::path& output, std::initializer_list<fs::path> folders,
                            bool isLeftoverCleared, std::vector<std::string>& left) {
    for (const fs::path& leftover :
         isLeftoverCleared ? Leftovers(output) : std::vector<fs::path>()) {
        if (std::string problem = RemoveInstallFolder(leftover); !problem.empty())
            left.push_back(leftover.string() + " (" + problem + ")");
    }
    for (const fs::path& folder : folders) {
        std::string problem = RemoveInstallFolder(folder);
        if (problem.empty())
            continue;
        const fs::path first = LeftoverPath(output, folder);
        fs::path leftover;
        if (std::string stuck = PutOutOfTheWay(folder, output, leftover); !stuck.empty())
            return folder.string() + ": a folder of the installer's own that cannot be removed (" +
                   problem + ") nor moved out of the way (" + stuck + ")";
        // The entries named where they lie now.
        const std::string was = folder.string() + "/";
        for (std::size_t at = problem.find(was); at != std::string::npos;
             at = problem.find(was, at + leftover.string().size() + 1))
            problem.replace(at, was.size(), leftover.string() + "/");
        const std::string passedOver =
            leftover != first
                ? ", as " + first.string() + " is taken by an entry that is not the installer's"
                : "";
        left.push_back(leftover.string() + passedOver + " (" + problem + ")");
    }
    return "";
}

// What the user can do about one folder of the installer's own it could not remove, or several;
// first, where a file system is mounted in one, unmount it, so that nothing goes down into it.
std::string RemovalAdvice(bool isOne, const std::string& left) {
    const std::string it = isOne ? "it" : "them";
    const std::string unmount = left.find(kMountedHere) != std::string::npos
                                    ? "unmount what is mounted in " + it + " first (umount), then "
                                    : "";
    return unmount + "give yourself write permission to " + it + " and remove " + it +
           " (chmod -R u+w, then rm -rf), or ask " + (isOne ? "its owner" : "their owners") + " to";
}

} // namespace

std::string Install(const InstallOptions& options, DemoRoute& route, std::ostream& log) {
    std::error_code error;
    if (!fs::is_directory(options.data, error))
        return options.data.string() + ": no converted data folder";
    const fs::path output = NormalOutput(options.output);
    const fs::path staging = fs::path(output).concat(".new");
    const fs::path previous = fs::path(output).concat(".old");
    const std::string notInstall =
        output.string() + ": not an earlier demo install nor an empty folder; nothing was changed";
    // Asked again once the lock is held; a folder of the user's gets no lock file beside it.
    if (!IsReplaceable(output, true))
        return notInstall;
    if (std::string mounted = MountedOn(output); !mounted.empty())
        return mounted;
    InstallLock lock;
    if (std::string problem = lock.Take(output); !problem.empty())
        return problem;
    if (!IsReplaceable(output, true))
        return notInstall;
    for (const fs::path& path : {staging, previous}) {
        if (std::string unread = UnreadableFolder(path); !unread.empty())
            return unread;
        if (!IsReplaceable(path, false))
            return path.string() +
                   ": not a folder the installer made (a copy of an install, say), which it "
                   "leaves as it is; move it away, then install again; nothing was changed";
    }
    if (std::string held = HeldByProgram(output, previous); !held.empty())
        return held;
    // The earlier install put aside is removed or taken back; removing, the installer gives itself
    // the permissions it needs in its own folders, and taken back, it is looked at as the output.
    for (const fs::path& path : {output, previous}) {
        if (std::string mounted = MountedIn(path, path == output); !mounted.empty())
            return mounted;
    }
    if (std::string problem = TakeBackPutAside(output, previous, log); !problem.empty())
        return problem;
    RestoreRootMode(output, {staging, previous}, log);
    const bool isEarlierInstall = IsThere(output) && !fs::is_empty(output, error);
    const bool isKeeping = isEarlierInstall && !options.fresh;
    // The user's lines and sections are kept, or, laid afresh or over a map of another area, named
    // as left behind; one of their files it cannot read would be dropped unnamed.
    if (isEarlierInstall) {
        if (std::string unread = UnreadableKeptFile(output); !unread.empty())
            return unread;
    }
    if (isKeeping) {
        // The new list takes its place, so an entry of the user's there cannot be kept.
        const FileRead list = ReadRegularFile(output / kManifestFile);
        if (list.isThere && !list.bytes && list.problem.starts_with("not a regular file"))
            return (output / kManifestFile).string() + ": " + list.problem +
                   ", where the installer keeps the list of its own files; move it away, then "
                   "install again; nothing was changed";
    }
    std::vector<std::string> left;
    std::string problem = ClearOwnFolders(output, {staging, previous}, true, left);
    if (!problem.empty())
        return problem + "; " + RemovalAdvice(true, problem) + "; nothing was changed";
    {
        // Marked before anything is laid, the staging folder is known as the installer's own
        // wherever the install stops.
        testdata::TempDeviceRoot root(staging, true);
        problem = root.HostPath() != staging
                      ? staging.string() + ": cannot be made"
                      : MarkOwnFolder(staging, options.isWrittenThrough, {}, options.reached);
        if (problem.empty())
            problem = Lay(options, root, route, log);
    }
    UserFiles userFiles;
    if (problem.empty() && isKeeping)
        problem = KeepUserFiles(output, staging, userFiles, log);
    if (problem.empty())
        problem = LayHelpOfLanguage(options, staging, userFiles);
    if (problem.empty())
        problem = WriteManifest(staging, userFiles);
    // The modes kept from the earlier install, once the installer's own writes are done.
    const std::optional<mode_t> rootMode =
        problem.empty() && isKeeping ? KeepModes(output, staging, userFiles) : std::nullopt;
    // A program may have started on the install meanwhile.
    if (problem.empty())
        problem = HeldByProgram(output, previous);
    std::string leftBehind;
    if (problem.empty() && isEarlierInstall && options.fresh)
        leftBehind = UserFilesLeftBehind(output, staging, problem);
    if (problem.empty())
        problem = SwapIntoPlace(staging, output, previous, options.isWrittenThrough, rootMode,
                                options.reached);
    if (!problem.empty()) {
        if (std::string stuck = RemoveInstallFolder(staging); !stuck.empty())
            problem += "; and " + staging.string() + ", the new install, is left: " + stuck;
        return problem;
    }
    if (!leftBehind.empty())
        log << "installdemo: laid afresh; not kept from the earlier install: " << leftBehind
            << "\n";
    // The earlier install, now at one of these.
    if (std::string stuck = ClearOwnFolders(output, {staging, previous}, false, left);
        !stuck.empty())
        left.push_back(stuck);
    std::string words;
    for (const std::string& folder : left)
        words += (words.empty() ? "" : "; ") + folder;
    if (!left.empty())
        return output.string() +
               ": installed, but folders of the installer's own are left: " + words + "; " +
               RemovalAdvice(left.size() == 1, words) + "; later installs try again";
    return "";
}

} // namespace demoinstall
