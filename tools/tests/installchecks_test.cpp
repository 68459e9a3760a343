// Checks of what the demo install takes from the source resources: the six language sources
// against German's, the voice script against every phrase key the program and the advisor's
// configuration speak, the page layout against every page and dialog, and the captions of the
// pages' buttons and labels against their rectangles.
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/codepage.h"
#include "platform/shell/resourcebundle.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The sections of the page layout, each key with its value.
std::map<std::string, std::map<std::string, std::string>> LayoutSections() {
    std::map<std::string, std::map<std::string, std::string>> sections;
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
            const std::size_t equals = line.find('=');
            sections[section][line.substr(0, equals)] = line.substr(equals + 1);
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

// The first four (or two) comma-separated integers of a layout value; missing ones read as 0.
std::vector<int> LayoutNumbers(const std::string& value) {
    std::vector<int> numbers(4, 0);
    (void)std::sscanf(value.c_str(), "%d,%d,%d,%d", &numbers[0], &numbers[1], &numbers[2],
                      &numbers[3]);
    return numbers;
}

// Width in pixels of text in the font every page gives its buttons and labels ("Arial",
// character height 11, bold, antialiased; not scaled with the page).
int CaptionWidth(const std::u16string& text) {
    LOGFONTW description{};
    description.lfHeight = -11;
    description.lfWeight = 700;
    description.lfQuality = 4;
    const std::u16string face = u"Arial";
    std::copy(face.begin(), face.end(), description.lfFaceName);
    HFONT font = CreateFontIndirectW(&description);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    const BOOL measured =
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    EXPECT_TRUE(measured) << platform::Utf16ToUtf8(text);
    return size.cx;
}

TEST(InstallChecks, EveryCaptionFitsItsRectangleAtBothScreenSizesInEveryLanguage) {
    // Text-face buttons draw their caption 16 pixels in from the left; labels from the left edge.
    constexpr int kButton = 16;
    constexpr int kLabel = 0;
    const struct {
        const char* section;
        const char* entry;
        UINT text;
        int indent;
    } captions[] = {
        {"CNMapPage", "Stop", 583, kButton},
        {"CNMapPage", "BlockStreet", 1121, kButton},
        {"CNMapPage", "Logging", 1122, kButton},
        {"CNMapPage", "DistBtnTxt", 554, kLabel},
        {"CNMapPage", "DistBtnTxt", 557, kLabel},
        {"CNMapPage", "DistBtnTxt", 555, kLabel},
        {"NavShowPage", "StartNavigation", 501, kButton},
        {"NavShowPage", "Cancel", 320, kButton},
        {"RouteCalcPage", "Dist", 554, kLabel},
        {"RouteCalcPage", "Duration", 557, kLabel},
        {"RouteCalcPage", "ShowRouteList", 1108, kButton},
        {"RouteCalcPage", "Cancel", 320, kButton},
        {"RouteCalcPage", "MainMenu", 561, kButton},
        {"MovingMap", "Logging", 1122, kButton},
        {"MovingMap", "Cancel", 320, kButton},
    };
    // The screen sizes of the device and of the tests; the frames' font and the installed one.
    const struct {
        int width;
        int height;
    } screens[] = {{240, 320}, {480, 640}};
    const char* const fonts[] = {"", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
    const auto sections = LayoutSections();
    for (const char* language :
         {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"}) {
        const platform::ResourceBundle bundle = CompiledLanguage(language);
        for (const char* font : fonts) {
            platform::SetFontFile(font);
            for (const auto& caption : captions) {
                SCOPED_TRACE(std::string(language) + " " + font + " " + caption.section + "/" +
                             caption.entry);
                const auto text = bundle.strings.find(caption.text);
                ASSERT_NE(text, bundle.strings.end()) << "no string " << caption.text;
                const auto section = sections.find(caption.section);
                ASSERT_NE(section, sections.end());
                ASSERT_TRUE(section->second.contains(caption.entry));
                const std::vector<int> size = LayoutNumbers(section->second.at("Size"));
                const std::vector<int> rect = LayoutNumbers(section->second.at(caption.entry));
                ASSERT_GT(size[0], 0);
                const int width = CaptionWidth(text->second);
                for (const auto& screen : screens) {
                    const float scale =
                        static_cast<float>(screen.width) / static_cast<float>(size[0]);
                    const int room = static_cast<int>(static_cast<float>(rect[2]) * scale + 0.5f) -
                                     static_cast<int>(static_cast<float>(rect[0]) * scale + 0.5f) -
                                     caption.indent;
                    EXPECT_LE(width, room) << screen.width << "x" << screen.height << ": \""
                                           << platform::Utf16ToUtf8(text->second) << "\"";
                }
            }
        }
    }
    platform::SetFontFile({});
}

} // namespace
