// Checks of what the demo install takes from the source resources: the six language sources
// against German's, the voice script against every phrase key the program and the advisor's
// configuration speak, and the page layout against every page and dialog.
#include "testdata/tempdir.h"

#include "platform/kernel/codepage.h"
#include "platform/shell/resourcebundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kChecksSource = NAV_SOURCE_DIR;

platform::ResourceBundle CompiledLanguage(const std::string& name) {
    const auto source = testdata::ReadHostFile(kChecksSource / "resources" / "lang" / name);
    EXPECT_TRUE(source.has_value()) << name;
    std::string message;
    const auto bundle = platform::CompileResourceSource(source.value_or(""), &message);
    EXPECT_TRUE(bundle.has_value()) << name << ": " << message;
    return bundle.value_or(platform::ResourceBundle{});
}

std::size_t PlaceholderCount(const std::u16string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find(u"<@>"); at != std::u16string::npos;
         at = text.find(u"<@>", at + 3))
        ++count;
    return count;
}

// The longest text each string may hold where the program shows it: titles and labels (page
// titles, button captions, the application title) 64 characters, the destination combo's entries
// 62, the route list's prefixes 60.
std::map<UINT, std::size_t> TextLimits() {
    std::map<UINT, std::size_t> limits;
    for (const UINT id :
         {1U,   420U, 430U,  431U,  440U,  450U,  460U,  470U,  471U,  551U,  554U,  555U, 557U,
          560U, 585U, 1047U, 1102U, 1106U, 1110U, 1128U, 1130U, 1186U, 1187U, 1188U, 1500U})
        limits[id] = 64;
    for (const UINT id : {420U, 430U, 510U, 1176U, 1197U, 1219U})
        limits[id] = 62;
    for (const UINT id : {1168U, 1169U})
        limits[id] = 60;
    return limits;
}

TEST(InstallChecks, EveryLanguageHasGermansTextsWithTheirPlaceholdersWithinTheLimits) {
    const platform::ResourceBundle german = CompiledLanguage("ger.txt");
    ASSERT_FALSE(german.strings.empty());
    const std::map<UINT, std::size_t> limits = TextLimits();
    for (const char* name : {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"}) {
        SCOPED_TRACE(name);
        const platform::ResourceBundle bundle = CompiledLanguage(name);
        for (const auto& [id, germanText] : german.strings) {
            const auto found = bundle.strings.find(id);
            if (found == bundle.strings.end()) {
                ADD_FAILURE() << "no string " << id;
                continue;
            }
            EXPECT_EQ(PlaceholderCount(found->second), PlaceholderCount(germanText))
                << "string " << id;
            const auto limit = limits.find(id);
            if (limit != limits.end()) {
                EXPECT_LE(found->second.size(), limit->second)
                    << "string " << id << ": " << platform::Utf16ToUtf8(found->second);
            }
        }
    }
}

// Keys and their six texts, from the voice script "Key;german;...;dutch".
std::map<std::string, std::vector<std::string>> VoiceScript() {
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream lines(
        testdata::ReadHostFile(kChecksSource / "advisor" / "data" / "voices.csv").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ';');)
            cells.push_back(cell);
        const std::string key = cells.empty() ? "" : cells.front();
        cells.erase(cells.begin());
        rows[key] = cells;
    }
    return rows;
}

TEST(InstallChecks, EveryPhraseKeyIsSpokenInSixLanguages) {
    // The keys the program's own code speaks, and every key of the advisor's configuration.
    std::set<std::string> keys = {"Attention",
                                  "DestinationInPedestrianZone",
                                  "DestinationReached",
                                  "TrafficJamCollideWithRoute",
                                  "lauter",
                                  "leiser"};
    // Route numbers are said digit by digit through placeholders ("[x0]" of 27 says "[20]"), so
    // "[x]", "[z00]" ... are no keys.
    const std::regex phrase(R"(\[([A-Za-z0-9][A-Za-z0-9_]*)\])");
    const std::regex placeholder("[xz]0*");
    for (const auto& entry :
         fs::directory_iterator(kChecksSource / "advisor" / "data" / "ConfigFiles")) {
        const std::string text = testdata::ReadHostFile(entry.path()).value_or("");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), phrase);
             it != std::sregex_iterator(); ++it)
            if (!std::regex_match((*it)[1].str(), placeholder))
                keys.insert((*it)[1].str());
    }
    const auto script = VoiceScript();
    for (const std::string& key : keys) {
        SCOPED_TRACE(key);
        const auto row = script.find(key);
        if (row == script.end()) {
            ADD_FAILURE() << "not in the voice script";
            continue;
        }
        ASSERT_EQ(row->second.size(), 6U);
        for (const std::string& text : row->second)
            EXPECT_FALSE(text.empty());
    }
}

// The sections of the page layout and the keys of each.
std::map<std::string, std::set<std::string>> LayoutSections() {
    std::map<std::string, std::set<std::string>> sections;
    std::istringstream lines(
        testdata::ReadHostFile(kChecksSource / "resources" / "screens" / "screendesc.ini")
            .value_or(""));
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            sections[section];
        } else if (!section.empty() && line.find('=') != std::string::npos && line[0] != ';') {
            sections[section].insert(line.substr(0, line.find('=')));
        }
    }
    return sections;
}

TEST(InstallChecks, ThePageLayoutHoldsEveryPageAndDialogWithItsSize) {
    const auto sections = LayoutSections();
    for (const char* name : {"Screen",           "Arrow",
                             "DistanceBar",      "CNMapPage",
                             "NavShowPage",      "RouteCalcPage",
                             "MovingMap",        "RouteList",
                             "MapListDlg",       "TourList",
                             "NavOptPage",       "RouteOptPage",
                             "GpsSimulationDlg", "NavigPage",
                             "MapPage",          "GpsConf",
                             "LogPage",          "VolCntr",
                             "FormatPage",       "ExtContactDlg",
                             "ListDlg",          "TMCDlg",
                             "AddressPage",      "NavigMainPage",
                             "TourMainPage",     "MsgBox",
                             "ConvExcelInfo",    "DestSavedMsgBox",
                             "NoDatasetsMsgBox", "YesNoDlg",
                             "StopNavigDlg",     "DestNotFoundMsgBox",
                             "StopLogDlg",       "NavWithoutGPSDlg",
                             "ValueDlg",         "ValueDlg1",
                             "StreetBlockDlg",   "ProgressDlg",
                             "GpsDlg",           "VersionDlg"}) {
        SCOPED_TRACE(name);
        const auto section = sections.find(name);
        ASSERT_NE(section, sections.end()) << "no section";
        EXPECT_TRUE(section->second.contains("Size") || std::string(name) == "ConvExcelInfo");
    }
}

} // namespace
