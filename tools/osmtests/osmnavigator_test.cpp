// The application started on the converted extract as its only database: the main menu shows.
// With a second database beside it, the menu's map list switches between the two, and the next
// route is calculated on the one chosen. A damaged file of the database is named to the user,
// never called missing map data, and every file cut short either changes nothing or is named.
#include "advisor/advisorstore.h"
#include "app/modes/modes.h"
#include "app/pages/maplistdlg.h"
#include "app/startup/shellinterfaces.h"
#include "app/startup/tests/shelltesting.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapenginefacade.h"
#include "onboard/onboardserver.h"
#include "onboard/serverconfig.h"
#include "testdata/alertcencoder.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/testfiles.h"
#include "testdata/tmctableswriter.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcmessagestore.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class ExtractNavigator : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"Extract", options}, {"Storage Card/maps/Europe", options}});
    }
};

// The program's files (the build's bundles and page layout, its German voice, no safety notice)
// on the root around the database in "\<folder>"; false when they cannot be written.
bool WriteProgramAround(const testdata::TempDeviceRoot& root, const std::string& folder) {
    const std::string database = "\\" + folder;
    testdata::DataFolderWriter data(platform::AnsiToWide(database));
    data.Setting("Properties", "ConfigFilesDir", database + "\\ConfigFiles");
    data.Setting("GPS", "AutoLog", "0");
    testdata::ProgramFolderWriter program(std::move(data));
    program.HostFiles(NAV_LANGUAGES_DIR).Pk("Zudav", "NoWarning", "1");
    program.ScreenDescription(testdata::ReadHostFile(NAV_SCREEN_DESC_FILE).value_or(""));
    const std::optional<std::string> voice =
        testdata::ReadHostFile(std::filesystem::path(NAV_DEMO_DATA) / "sound" / "german_waves.sfs");
    return voice && program.WriteTo(root).has_value() &&
           root.WriteFile(u"\\sound\\german_waves.sfs", *voice);
}

TEST_F(ExtractNavigator, StartsToTheMainMenuAndQuits) {
    ASSERT_TRUE(WriteProgramAround(*s_root, "Extract"));
    std::vector<int> buttons;
    bool isMovingMapEnabled = true;
    shelltesting::ShellRun run({[&](shelltesting::ShellRun&) {
        HWND menu = shelltesting::ShellRun::MainWindow();
        ASSERT_NE(menu, nullptr);
        for (int id : {585, 420, 430, 1102, 440, 450, 460}) {
            if (IsWindowVisible(GetDlgItem(menu, id)))
                buttons.push_back(id);
        }
        isMovingMapEnabled = IsWindowEnabled(GetDlgItem(menu, 1102)) != FALSE;
        PostMessageW(menu, WM_COMMAND, 460, 0);
    }});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.ranOutOfScript);
    EXPECT_TRUE(run.boxes.empty()) << platform::WideToAnsi(run.boxes.front().text);
    EXPECT_EQ(buttons, (std::vector<int>{585, 420, 430, 1102, 440, 450, 460}));
    EXPECT_FALSE(isMovingMapEnabled);
}

// Ends of a route in Schaan and Vaduz on the extract.
std::vector<GeoPoint> RouteEndsOnTheExtract(const std::u16string& folder) {
    std::vector<GeoPoint> ends;
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    if (!engine->Open(folder + osm2nav::kLevelFile)) {
        return ends;
    }
    for (const char16_t* town : {u"Schaan", u"Vaduz"}) {
        const auto road = extractplaces::FirstTownRoad(*engine, town);
        std::vector<GeoPoint> points;
        if (road && engine->GetElementPoints(*road, points) && !points.empty()) {
            ends.push_back(points[0]);
        }
    }
    return ends;
}

// The status of a route between the two points on the server's current database (0 when a
// point is not near its roads).
std::uint32_t RouteStatusBetween(Onboard::IOnboardServer& server,
                                 const std::vector<GeoPoint>& ends) {
    const std::uint32_t none = 0xFFFFFFFFu;
    RoutePositionPtr from;
    RoutePositionPtr to;
    (void)server.CreatePositionDestination(from, &none, &ends[0]);
    (void)server.CreatePositionDestination(to, &none, &ends[1]);
    if (!from || !to) {
        return 0;
    }
    RouteRequestResult route;
    (void)server.RequestRouteBetween(route, from, to);
    return route.status;
}

// Two databases under "\Storage Card\maps": a generated grid far from the extract ("Alps", the
// first, so the current one at start) and the extract ("Europe"). The menu's map list, by its
// command and by its key, shows both; OK on the extract makes it current, recorded in the
// server's settings, and the next route between two of its towns is found on it.
TEST_F(ExtractNavigator, MapListFromTheMenuSwitchesTheDatabase) {
    const std::u16string europe = u"\\Storage Card\\maps\\Europe";
    const std::vector<GeoPoint> ends = RouteEndsOnTheExtract(europe);
    ASSERT_EQ(ends.size(), 2u);
    shelltesting::RunIsolated([&] {
        testdata::DataFolderWriter data(u"\\Storage Card\\maps");
        testdata::DataFolderDatabase grid;
        grid.folder = u"\\Storage Card\\maps\\Alps";
        grid.world = testdata::RoadWorld::Grid(3, 2, 2000, {1'260'000, 5'300'000});
        data.AddDatabase(std::move(grid));
        data.Setting("Properties", "ConfigFilesDir", "\\Storage Card\\maps\\Europe\\ConfigFiles");
        data.Setting("GPS", "AutoLog", "0");
        testdata::ProgramFolderWriter program(std::move(data));
        program.HostFiles(NAV_LANGUAGES_DIR).Pk("Zudav", "NoWarning", "1");
        program.ScreenDescription(testdata::ReadHostFile(NAV_SCREEN_DESC_FILE).value_or(""));
        ASSERT_TRUE(program.WriteTo(*s_root));
        // The map list the menu makes, seen with the server it is given.
        InstallMapListDlg();
        const auto make = GetShellFactories().mapList;
        ASSERT_TRUE(make);
        Onboard::OnboardServerPtr server;
        MapListDlg* dialog = nullptr;
        GetShellFactories().mapList = [&](Onboard::OnboardServerPtr given) {
            server = given;
            std::unique_ptr<ModalPage> made = make(std::move(given));
            dialog = dynamic_cast<MapListDlg*>(made.get());
            return made;
        };
        std::vector<std::vector<std::u16string>> shown;
        std::vector<int> selected;
        std::vector<std::uint32_t> statuses;
        const auto look = [&] {
            std::vector<std::u16string> items;
            const CustomListBox* list = dialog != nullptr ? dialog->GetListBox() : nullptr;
            for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
                items.push_back(list->GetText(i));
            }
            shown.push_back(items);
            selected.push_back(list != nullptr ? list->GetCurSel() : -2);
            statuses.push_back(server ? RouteStatusBetween(*server, ends) : 99u);
        };
        shelltesting::ShellRun run({
            [](shelltesting::ShellRun&) {
                PostMessageW(shelltesting::ShellRun::MainWindow(), WM_COMMAND, 585, 0);
            },
            [&](shelltesting::ShellRun&) {
                look();
                ASSERT_NE(dialog, nullptr);
                SendMessageW(dialog->GetListBox()->GetWindow(), LB_SETCURSEL, 1, 0);
                PostMessageW(dialog->GetHwnd(), WM_COMMAND, MapListDlg::kOkId, 0);
            },
            [](shelltesting::ShellRun&) { shelltesting::PressWithControl('D'); },
            [&](shelltesting::ShellRun&) {
                look();
                ASSERT_NE(dialog, nullptr);
                PostMessageW(dialog->GetHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
            },
            [](shelltesting::ShellRun&) {
                PostMessageW(shelltesting::ShellRun::MainWindow(), WM_COMMAND, 460, 0);
            },
        });
        GetShellFactories().mapList = nullptr;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
        const std::vector<std::u16string> items = {u"\\Storage Card\\maps\nAlps",
                                                   u"\\Storage Card\\maps\nEurope"};
        EXPECT_EQ(shown, (std::vector<std::vector<std::u16string>>{items, items}));
        EXPECT_EQ(selected, (std::vector<int>{0, 1}));
        // Before the switch the grid has no route between the towns.
        ASSERT_EQ(statuses.size(), 2u);
        EXPECT_NE(statuses[0], routestatus::kFound);
        EXPECT_EQ(statuses[1], routestatus::kFound);
        EXPECT_EQ(IniProfile::GetString(u"Properties", ServerConfig::kLastDatabaseKey,
                                        AppPaths::GetServerSettingsFilePath().c_str(), u""),
                  europe);
    });
}

// The extract converted once more, into a folder whose files the test damages one at a time:
// three levels and TMC tables, as the demo install has them.
class ExtractDamagedFile : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        options.levels = 3;
        ConvertOnce({{"Intact", options}});
        ASSERT_TRUE(testdata::TmcTablesWriter(testdata::TmcSampleTables())
                        .WriteFolder(*s_root, u"\\Intact\\tmc", true));
    }
};

// Each file of the map set and road network cut to half its size (the geometry stream emptied):
// the run shows one file-check box naming it with the device's separators, and the destination
// page, although it has nothing to fill its boxes from, does not call the data missing.
TEST_F(ExtractDamagedFile, IsNamedOnceAndNeverCalledMissingMapData) {
    const struct {
        const char* file; // below the database folder
        bool isEmptied;   // else cut to half its size
    } cases[] = {{"maps/Map.rid", false}, {"maps/Overview.rid", false}, {"maps/MAP.LVL", false},
                 {"kwa/Net0.pag", false}, {"kwa/Net.rd", false},        {"maps/Map.dat", true}};
    namespace fs = std::filesystem;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path database = s_root->HostPath() / "Damaged";
        fs::remove_all(database);
        fs::copy(s_root->HostPath() / "Intact", database, fs::copy_options::recursive);
        const fs::path file = database / c.file;
        const std::uintmax_t size = c.isEmptied ? 0 : fs::file_size(file) / 2;
        fs::resize_file(file, size);
        std::u16string name = u"\\Damaged\\" + platform::AnsiToWide(c.file);
        std::replace(name.begin(), name.end(), u'/', u'\\');
        const std::u16string expected = u"Error code 1006 File name: " + name + u", file size: " +
                                        platform::AnsiToWide(std::to_string(size)) + u" bytes";
        shelltesting::RunIsolated([&] {
            ASSERT_TRUE(WriteProgramAround(*s_root, "Damaged"));
            InstallModes();
            std::vector<std::u16string> dialogs;
            shelltesting::ShellRun run({
                [](shelltesting::ShellRun&) {
                    PostMessageW(shelltesting::ShellRun::MainWindow(), WM_COMMAND, 420, 0);
                },
                [&](shelltesting::ShellRun&) {
                    HWND active = GetActiveWindow();
                    if (const DialogBase* dialog = DialogBase::FromWindow(active)) {
                        dialogs.push_back(dialog->GetSection());
                        PostMessageW(active, WM_COMMAND, IDOK, 0);
                    }
                },
                [](shelltesting::ShellRun&) {
                    PostMessageW(shelltesting::ShellRun::MainWindow(), WM_COMMAND, 460, 0);
                },
            });
            EXPECT_EQ(run.exitCode, 0);
            ASSERT_EQ(run.boxes.size(), 1u);
            EXPECT_EQ(platform::WideToAnsi(run.boxes[0].text), platform::WideToAnsi(expected));
            EXPECT_EQ(dialogs, std::vector<std::u16string>{});
        });
    }
}

// What the program makes of a database as the main menu opens it: the server on the map engine
// facade and the data location, a city search, the city's streets, a route with its spoken
// guidance, and every message box that came up.
struct DatabaseOutcome {
    bool isEngineOpen = false;
    std::size_t databases = 0;
    std::size_t cities = 0;
    std::size_t streets = 0;
    std::uint32_t route = 0;
    std::size_t trafficMessages = 0; // held after a closure on the TMC tables
    std::vector<std::u16string> boxes;
    bool operator==(const DatabaseOutcome&) const = default;
};

struct DamageRoute {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    GeoPoint start{};
    GeoPoint next{};
};

// A road in Schaan to one in Vaduz on the intact folder; from and to alike when not found.
DamageRoute RouteOnTheIntactExtract() {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    if (!engine->Open(u"\\Intact" + std::u16string(osm2nav::kLevelFile))) {
        return {};
    }
    const auto from = extractplaces::FirstTownRoad(*engine, u"Schaan");
    const auto to = extractplaces::FirstTownRoad(*engine, u"Vaduz");
    std::vector<GeoPoint> points;
    if (!from || !to || !engine->GetElementPoints(*from, points) || points.size() < 2) {
        return {};
    }
    return {*from, *to, points[0], points[1]};
}

DatabaseOutcome OpenAsTheProgramDoes(const DamageRoute& route) {
    ForgetFileCheckMessages();
    AdvisorStore::Instance().Reset();
    platform::ClearRecordedMessageBoxes();
    DatabaseOutcome outcome;
    {
        const auto facade = MapEngineFacade::Create(2048);
        const auto server = CreateIOnboardServer(
            RetrievalEngine::RetrievalEnginePtr(facade),
            CreateDataLocation(std::u16string(AppPaths::GetServerSettingsFilePath())));
        if (facade && server) {
            outcome.isEngineOpen = facade->IsOpen();
            DatabaseListPtr databases;
            server->GetDatabases(databases);
            outcome.databases = databases ? databases->size() : 0;
            for (auto city = facade->FindCities(u"Vaduz", 0); city && city->IsValid();
                 city->Next()) {
                ++outcome.cities;
                const AddressResultPtr found = city->GetCurrent();
                const auto area = static_cast<std::uint32_t>(found ? found->GetAreaId() : -1);
                for (auto street = facade->FindInArea(area, u""); street && street->IsValid();
                     street->Next()) {
                    ++outcome.streets;
                }
            }
            const MatchedPosition start =
                testdata::MatchedPositionBuilder()
                    .Fix(route.start)
                    .OnStreet(route.from, route.start, route.start, route.next)
                    .Speed(50)
                    .Build();
            Onboard::RouteRequest request;
            server->CreateElementDestination(request.destination, &route.to);
            RouteRequestResult result;
            outcome.route = server->RequestRoute(result, &start, request).status;
            testdata::AlertCMessage closure;
            closure.programmeId = 0x1301;
            closure.event = 401;
            closure.location = 102;
            closure.extent = 1;
            testdata::AlertCEncoder encoder;
            encoder.AddTable(closure.programmeId, 1);
            const TmcRawMessage raw = DecodeLastTmcMessage(encoder.AddMessage(closure).Build());
            if (const auto store = server->GetTmcMessageStore();
                store && store->AddRawMessage(&raw)) {
                outcome.trafficMessages = store->GetCount();
            }
        }
    }
    for (const auto& box : platform::RecordedMessageBoxes()) {
        outcome.boxes.push_back(box.text);
    }
    return outcome;
}

// "\<folder>" afresh as a copy of the intact folder with the program's files around it, the route
// on it, and what the program does with it whole: the route found, no message.
void CopyIntactAround(const testdata::TempDeviceRoot& root, const std::string& folder,
                      DamageRoute& route, DatabaseOutcome& whole) {
    namespace fs = std::filesystem;
    const fs::path database = root.HostPath() / folder;
    fs::remove_all(database);
    fs::copy(root.HostPath() / "Intact", database, fs::copy_options::recursive);
    ASSERT_TRUE(WriteProgramAround(root, folder));
    route = RouteOnTheIntactExtract();
    ASSERT_NE(route.from, route.to);
    whole = OpenAsTheProgramDoes(route);
    ASSERT_EQ(whole.route, routestatus::kFound);
    ASSERT_TRUE(whole.boxes.empty()) << platform::WideToAnsi(whole.boxes.front());
}

// The regular files below folder, sorted.
std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// One message box, and every box names the file (its path's "/" read as "\", case aside).
void ExpectNamedAlone(const std::vector<std::u16string>& boxes, std::u16string name,
                      const std::string& outcome = {}) {
    std::replace(name.begin(), name.end(), u'/', u'\\');
    EXPECT_EQ(boxes.size(), 1u) << outcome;
    for (const std::u16string& box : boxes) {
        EXPECT_NE(platform::ToLower(box).find(platform::ToLower(name)), std::u16string::npos)
            << platform::WideToAnsi(box);
    }
}

// Every file of a converted folder cut to half its size, to nothing and zeroed, one at a time: the
// program does with it what it does with the whole file, or it names that file, once and alone.
// A test for each damage.
enum class FileDamage { CutToHalf, CutToNothing, Zeroed };

const char* FileDamageName(FileDamage damage) {
    return damage == FileDamage::CutToHalf      ? "CutToHalf"
           : damage == FileDamage::CutToNothing ? "CutToNothing"
                                                : "Zeroed";
}

void PrintTo(FileDamage damage, std::ostream* out) {
    *out << FileDamageName(damage);
}

class ExtractDamagedFiles : public ExtractDamagedFile,
                            public ::testing::WithParamInterface<FileDamage> {};

TEST_P(ExtractDamagedFiles, EachFileIsNamedOrChangesNothing) {
    namespace fs = std::filesystem;
    const FileDamage damage = GetParam();
    const std::string folder = "Damaged" + std::to_string(static_cast<int>(damage));
    const fs::path database = s_root->HostPath() / folder;
    DamageRoute route;
    DatabaseOutcome whole;
    ASSERT_NO_FATAL_FAILURE(CopyIntactAround(*s_root, folder, route, whole));
    ASSERT_GT(whole.streets, 0u);
    ASSERT_EQ(whole.trafficMessages, 1u);
    for (const fs::path& file : FilesBelow(database)) {
        const std::string bytes = testdata::ReadTestFile(file);
        const std::u16string name = u"\\" + platform::AnsiToWide(folder) + u"\\" +
                                    platform::AnsiToWide(fs::relative(file, database).string());
        // Cut to half its size, to nothing, or zeroed at its size as a power loss leaves it.
        const std::string damaged =
            damage == FileDamage::CutToHalf      ? bytes.substr(0, bytes.size() / 2)
            : damage == FileDamage::CutToNothing ? std::string()
                                                 : std::string(bytes.size(), '\0');
        SCOPED_TRACE(fs::relative(file, database).string() +
                     (damage == FileDamage::Zeroed ? " zeroed"
                                                   : " cut to " + std::to_string(damaged.size())));
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        const DatabaseOutcome cut = OpenAsTheProgramDoes(route);
        if (cut != whole) {
            ExpectNamedAlone(cut.boxes, name,
                             "engine " + std::to_string(cut.isEngineOpen) + ", databases " +
                                 std::to_string(cut.databases) + ", cities " +
                                 std::to_string(cut.cities) + ", streets " +
                                 std::to_string(cut.streets) + ", route " +
                                 std::to_string(cut.route) + ", traffic messages " +
                                 std::to_string(cut.trafficMessages));
        }
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
}

INSTANTIATE_TEST_SUITE_P(, ExtractDamagedFiles,
                         ::testing::Values(FileDamage::CutToHalf, FileDamage::CutToNothing,
                                           FileDamage::Zeroed),
                         [](const ::testing::TestParamInfo<FileDamage>& info) {
                             return std::string(FileDamageName(info.param));
                         });

// The advisor's files and voices of a converted folder, the program's voice archive and its GPS
// settings files, each missing in turn: the program does with the rest what it does with them
// all, or it names the file, once and alone (a file of the folder as the database opens and a
// route is found with its spoken guidance, the program's own files as the menu shows).
TEST_F(ExtractDamagedFile, EachFileMissingIsNamedOrChangesNothing) {
    namespace fs = std::filesystem;
    const fs::path database = s_root->HostPath() / "Missing";
    DamageRoute route;
    DatabaseOutcome whole;
    ASSERT_NO_FATAL_FAILURE(CopyIntactAround(*s_root, "Missing", route, whole));
    std::vector<fs::path> files = FilesBelow(database / "ConfigFiles");
    for (fs::path& file : FilesBelow(database / "sound")) {
        files.push_back(std::move(file));
    }
    for (const fs::path& file : files) {
        const std::string relative = fs::relative(file, database).string();
        SCOPED_TRACE(relative + " missing");
        const std::string bytes = testdata::ReadTestFile(file);
        fs::remove(file);
        const DatabaseOutcome missing = OpenAsTheProgramDoes(route);
        if (missing != whole) {
            ExpectNamedAlone(missing.boxes, u"\\missing\\" + platform::AnsiToWide(relative));
        }
        std::ofstream(file, std::ios::binary) << bytes;
    }
    const struct {
        const char16_t* file;
        bool isSimulation; // the receiver stand-in's scenario is read only then
    } programFiles[] = {
        {u"\\sound\\german_waves.sfs", false}, {u"\\deziv.ini", false}, {u"\\gpstmc.ini", true}};
    for (const auto& c : programFiles) {
        SCOPED_TRACE(platform::WideToAnsi(c.file) + " missing");
        shelltesting::RunIsolated([&] {
            ASSERT_TRUE(WriteProgramAround(*s_root, "Missing"));
            if (c.isSimulation) {
                ASSERT_TRUE(
                    s_root->WriteFile(u"\\PK.ini", "[Zudav]\r\nNoWarning=1\r\nSimulation=1\r\n"));
                ASSERT_TRUE(s_root->InstallModule(u"gpstmc.dll", u"\\"));
            }
            fs::remove(s_root->HostPathOf(c.file));
            InstallModes();
            shelltesting::ShellRun run({[](shelltesting::ShellRun&) {
                PostMessageW(shelltesting::ShellRun::MainWindow(), WM_COMMAND, 460, 0);
            }});
            EXPECT_EQ(run.exitCode, 0);
            std::vector<std::u16string> boxes;
            for (const auto& box : run.boxes) {
                boxes.push_back(box.text);
            }
            ExpectNamedAlone(boxes, c.file);
        });
    }
}

} // namespace
