// Checks of what the demo install takes from the source resources: the six language sources
// against German's, the voice script against every phrase key the program and the advisor's
// configuration speak, the page layout against every page and dialog, the captions of the pages'
// and dialogs' titles, buttons and labels against their rectangles, the dialogs' backgrounds
// against their texts and buttons, and every button's caption against what is drawn under it.
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/shellhelpers.h"
#include "ui/textface.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/files/modules.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/codepage.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <span>
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

// In French, Spanish, Italian and Dutch two strings of different German texts never share their
// translation, which would tell them apart nowhere (the logbook's stop and the arrival, say).
TEST(InstallChecks, EveryLanguageHasGermansTextsWithTheirPlaceholdersWithinTheLimits) {
    const platform::ResourceBundle german = CompiledLanguage("ger.txt");
    ASSERT_FALSE(german.strings.empty());
    const std::map<UINT, std::size_t> limits = TextLimits();
    const std::set<std::string> apart = {"fre.txt", "spa.txt", "ita.txt", "dut.txt"};
    for (const char* name : {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"}) {
        SCOPED_TRACE(name);
        const platform::ResourceBundle bundle = CompiledLanguage(name);
        std::map<std::u16string, UINT> firstOfText; // a translation -> the first id that has it
        for (const auto& [id, germanText] : german.strings) {
            const auto found = bundle.strings.find(id);
            if (found == bundle.strings.end()) {
                ADD_FAILURE() << "no string " << id;
                continue;
            }
            const auto [first, isFirst] = firstOfText.emplace(found->second, id);
            if (apart.contains(name) && !isFirst &&
                german.strings.at(first->second) != germanText) {
                ADD_FAILURE() << "strings " << first->second << " and " << id << " are both "
                              << platform::Utf16ToUtf8(found->second);
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
    std::set<std::string> keys = {
        "Attention",   "DestinationInPedestrianZone", "DestinationReached",
        "StopReached", "TrafficJamCollideWithRoute",  "lauter",
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

const char* const kPageSections[] = {
    "Screen",        "Arrow",     "DistanceBar", "CNMapPage",   "NavShowPage",   "RouteCalcPage",
    "MovingMap",     "RouteList", "MapListDlg",  "TourList",    "NavOptPage",    "RouteOptPage",
    "NavigPage",     "MapPage",   "GpsConf",     "LogPage",     "VolCntr",       "FormatPage",
    "ExtContactDlg", "ListDlg",   "TMCDlg",      "AddressPage", "NavigMainPage", "TourMainPage"};

// The sections of the dialogs (the skinned dialogs of the toolkit and the application).
const char* const kDialogSections[] = {"MsgBox",           "LogoBox",
                                       "ConvExcelInfo",    "DestSavedMsgBox",
                                       "NoDatasetsMsgBox", "GpsSimulationDlg",
                                       "YesNoDlg",         "StopNavigDlg",
                                       "StopNavigTourDlg", "DestNotFoundMsgBox",
                                       "StopLogDlg",       "NavWithoutGPSDlg",
                                       "ValueDlg",         "ValueDlg1",
                                       "StreetBlockDlg",   "ProgressDlg",
                                       "GpsDlg",           "VersionDlg"};

TEST(InstallChecks, ThePageLayoutHoldsEveryPageAndDialogWithItsSize) {
    const auto sections = LayoutSections();
    for (const auto& names : {std::span<const char* const>(kPageSections),
                              std::span<const char* const>(kDialogSections)}) {
        for (const char* name : names) {
            SCOPED_TRACE(name);
            const auto section = sections.find(name);
            ASSERT_NE(section, sections.end()) << "no section";
            EXPECT_TRUE(section->second.contains("Size"));
        }
    }
}

// The first four (or two) comma-separated integers of a layout value; missing ones read as 0.
std::vector<int> LayoutNumbers(const std::string& value) {
    std::vector<int> numbers(4, 0);
    (void)std::sscanf(value.c_str(), "%d,%d,%d,%d", &numbers[0], &numbers[1], &numbers[2],
                      &numbers[3]);
    return numbers;
}

// A 32-bit picture to draw on, its pixels (0x00RRGGBB, rows top-down) given.
class PixelCanvas {
public:
    // Pixels past those given are black.
    PixelCanvas(int width, int height, std::vector<std::uint32_t> pixels)
        : width_(width)
        , height_(height) {
        pixels.resize(std::size_t(width) * height);
        bitmap_ = CreateBitmap(width, height, 1, 32, pixels.data());
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~PixelCanvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    [[nodiscard]] HDC dc() const { return dc_; }
    // Its pixels (0x00RRGGBB, rows top-down), copied at once into a DIB section.
    [[nodiscard]] std::vector<std::uint32_t> Pixels() const {
        BITMAPINFOHEADER header{};
        header.biSize = sizeof(header);
        header.biWidth = width_;
        header.biHeight = -height_;
        header.biPlanes = 1;
        header.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP copy = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header),
                                        DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC to = CreateCompatibleDC(nullptr);
        HGDIOBJ oldTo = SelectObject(to, copy);
        BitBlt(to, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
        const auto* first = static_cast<const std::uint32_t*>(bits);
        std::vector<std::uint32_t> pixels(first, first + std::size_t(width_) * height_);
        for (std::uint32_t& pixel : pixels)
            pixel &= 0xFFFFFF;
        SelectObject(to, oldTo);
        DeleteDC(to);
        DeleteObject(copy);
        return pixels;
    }

private:
    int width_;
    int height_;
    HBITMAP bitmap_{};
    HDC dc_{};
    HGDIOBJ old_{};
};

// The pixels (0x00RRGGBB, rows top-down) of a bitmap file as the program loads it; none when
// it is refused.
std::vector<std::uint32_t> PicturePixels(const std::string& file, int* width, int* height) {
    HBITMAP picture = platform::CreateDibFromFile(
        std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    BITMAP info{};
    if (picture == nullptr || GetObjectW(picture, sizeof(info), &info) == 0)
        return {};
    const PixelCanvas copy(info.bmWidth, info.bmHeight, {});
    HDC from = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, picture);
    BitBlt(copy.dc(), 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    DeleteDC(from);
    DeleteObject(picture);
    *width = info.bmWidth;
    *height = info.bmHeight;
    return copy.Pixels();
}

// Contrast ratio of a pixel against black (text) or white (a button's caption): (lighter
// luminance + 0.05) / (darker + 0.05) of the sRGB relative luminances.
double Contrast(std::uint32_t pixel, bool isAgainstWhite) {
    const auto linear = [pixel](int shift) {
        const double c = ((pixel >> shift) & 0xFF) / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * linear(16) + 0.7152 * linear(8) + 0.0722 * linear(0);
    return isAgainstWhite ? 1.05 / (luminance + 0.05) : (luminance + 0.05) / 0.05;
}

// Every dialog's section names its background, a picture of the install's skin folder at the
// dialog's size: under each text the black text reads, under each button (an entry with a face
// kind) the white caption, both at the contrast of 4.5 : 1 asked of body text; the top-left
// colour, which the dialog keys out, lies only in the round corners.
TEST(InstallChecks, EveryDialogBackgroundShowsItsTextsAndButtonCaptions) {
    constexpr double kReadableContrast = 4.5;
    constexpr int kCornerSide = 8;
    const auto sections = LayoutSections();
    for (const char* name : kDialogSections) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(sections.contains(name));
        const auto& section = sections.at(name);
        ASSERT_TRUE(section.contains("Bitmap"));
        const auto bytes = testdata::ReadHostFile(fs::path(NAV_SKIN_DIR) / section.at("Bitmap"));
        ASSERT_TRUE(bytes.has_value()) << section.at("Bitmap") << " is not in the skin folder";
        int width = 0;
        int height = 0;
        const std::vector<std::uint32_t> pixels = PicturePixels(*bytes, &width, &height);
        const std::vector<int> size = LayoutNumbers(section.at("Size"));
        ASSERT_EQ(width, size[0]);
        ASSERT_EQ(height, size[1]);
        const auto at = [&](int x, int y) { return pixels[y * width + x]; };
        int keyedOutsideCorners = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool isCorner = std::min(x, width - 1 - x) < kCornerSide &&
                                      std::min(y, height - 1 - y) < kCornerSide;
                keyedOutsideCorners += !isCorner && at(x, y) == at(0, 0);
            }
        }
        EXPECT_EQ(keyedOutsideCorners, 0);
        for (const auto& [entry, value] : section) {
            int rect[5] = {};
            const int fields = std::sscanf(value.c_str(), "%d,%d,%d,%d,%d", &rect[0], &rect[1],
                                           &rect[2], &rect[3], &rect[4]);
            if (fields < 4)
                continue;
            const bool isButton = fields == 5 && rect[4] != 0;
            int unreadable = 0;
            for (int y = std::max(rect[1], 0); y < std::min(rect[3], height); ++y) {
                for (int x = std::max(rect[0], 0); x < std::min(rect[2], width); ++x)
                    unreadable += Contrast(at(x, y), isButton) < kReadableContrast;
            }
            EXPECT_EQ(unreadable, 0) << entry << (isButton ? " (white caption)" : " (black text)");
        }
    }
}

// How a caption is drawn, which gives its font, its indent and whether its rectangle scales with
// the screen.
enum class CaptionKind {
    kButton,       // text face (kinds 1, 2): "Arial" 11 bold, 16 pixels in, rectangle scaled
    kLabel,        // page label: the same font from the left edge, rectangle scaled
    kPageTitle,    // page title ("Status") or main menu title: "Arial" bold whose lines are as
                   // high as the scaled rectangle
    kTitleLabel,   // a page's title line ("Title"): the page title's font, from the left edge
    kDialogButton, // dialog text face: the DC's own font, 16 pixels in, rectangle not scaled
    kDialogLabel,  // dialog text: the DC's own font from the left edge, rectangle not scaled
    kLeftOut,      // not measured: the reason says why
};

// Extent in pixels of text in a bold "Arial" of the height (negative: character height,
// positive: line height, as LOGFONTW takes them), or in the DC's own font when height is 0.
SIZE CaptionExtent(const std::u16string& text, int height) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = nullptr;
    HGDIOBJ old = nullptr;
    if (height != 0) {
        font = CreateListFont(height);
        old = SelectObject(dc, font);
    }
    SIZE size{};
    const BOOL measured =
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    if (font != nullptr) {
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    EXPECT_TRUE(measured) << platform::Utf16ToUtf8(text);
    return size;
}

// A layout coordinate at the scale: the float product plus 0.5, truncated (as the layout does).
int ScaledCoordinate(int value, float scale) {
    return static_cast<int>(
        std::floor(static_cast<double>(static_cast<float>(value) * scale) + 0.5));
}

// A dialog item with this identifier is captioned "O.K." rather than by a text of the bundles.
constexpr UINT kDialogOkId = 1;

const char* const kNoBundleString = "the bundles hold no such string: nothing is drawn";

struct CaptionRow {
    const char* section;
    const char* entry;
    UINT text;
    CaptionKind kind;
    const char* leftOutBecause = nullptr;
};

// Every layout entry that shows a text of the bundles, with the string the program gives it (an
// entry showing one of several strings has a row for each); and every entry the layout gives a
// text face, measured or left out with the reason.
std::vector<CaptionRow> CaptionRows() {
    using enum CaptionKind;
    const char* const wraps = "wraps over the lines of its rectangle on purpose";
    const char* const noText = "a picture face (kind 0): the text is never drawn";
    const char* const filledIn = "names are put into its placeholders: its width is not fixed";
    return {
        {"Screen", "RealTitle", 470, kPageTitle},
        {"Screen", "RealDataset", 585, kButton},
        {"Screen", "RealNavig", 420, kButton},
        {"Screen", "RealMap", 430, kButton},
        {"Screen", "RealMovingMap", 1102, kButton},
        {"Screen", "RealPref", 440, kButton},
        {"Screen", "RealHelp", 450, kButton},
        {"Screen", "RealQuit", 460, kButton},
        {"TMCDlg", "Status", 1148, kPageTitle},
        {"TMCDlg", "Title", 1188, kLabel},
        {"TMCDlg", "Cancel", 1187, kButton},
        {"TMCDlg", "OK", 1047, kButton},
        {"ListDlg", "Status", 420, kPageTitle},
        {"ListDlg", "Status", 431, kPageTitle},
        {"ListDlg", "Title", 1128, kLeftOut, filledIn},
        {"ListDlg", "Title", 1129, kLeftOut, filledIn},
        {"ListDlg", "Cancel", 1130, kButton},
        {"ListDlg", "OK", 1047, kButton},
        {"AddressPage", "Status", 420, kPageTitle},
        {"AddressPage", "Status", 431, kPageTitle},
        {"AddressPage", "Title", 103, kLabel},
        {"AddressPage", "Title", 521, kLabel},
        {"AddressPage", "Title", 525, kLabel},
        {"AddressPage", "Delete", 528, kButton},
        {"AddressPage", "Cancel", 320, kButton},
        {"AddressPage", "OK", 1047, kButton},
        {"ExtContactDlg", "Status", 420, kPageTitle},
        {"ExtContactDlg", "Status", 431, kPageTitle},
        {"ExtContactDlg", "Title", 1110, kLabel},
        {"ExtContactDlg", "Cancel", 320, kButton},
        {"ExtContactDlg", "OK", 1047, kButton},
        {"NavOptPage", "Status", 420, kPageTitle},
        {"NavOptPage", "RoutingOptions", 1023, kLabel},
        {"NavOptPage", "statTextDynamicRoute", 1131, kButton},
        {"NavOptPage", "statTextQuickest", 579, kButton},
        {"NavOptPage", "statTextShortest", 580, kButton},
        {"NavOptPage", "OptPossible", 1100, kLabel},
        {"NavOptPage", "UseHighWays", 563, kButton},
        {"NavOptPage", "UseFerries", 564, kButton},
        {"NavOptPage", "UseMaudStreets", 565, kButton},
        {"NavOptPage", "Cancel", 320, kButton},
        {"NavOptPage", "MainMenu", 561, kButton},
        {"NavOptPage", "NavStart", 501, kButton},
        {"RouteOptPage", "Status", 560, kPageTitle},
        {"RouteOptPage", "RoutingOptions", 1023, kLabel},
        {"RouteOptPage", "statTextDynamicRoute", 1131, kButton},
        {"RouteOptPage", "statTextQuickest", 579, kButton},
        {"RouteOptPage", "statTextShortest", 580, kButton},
        {"RouteOptPage", "OptPossible", 1100, kLabel},
        {"RouteOptPage", "UseHighWays", 563, kButton},
        {"RouteOptPage", "UseFerries", 564, kButton},
        {"RouteOptPage", "UseMaudStreets", 565, kButton},
        {"RouteOptPage", "Cancel", 320, kButton},
        {"RouteOptPage", "MainMenu", 561, kButton},
        {"RouteOptPage", "ShowInMap", 562, kButton},
        {"NavigPage", "Status", 551, kPageTitle},
        {"NavigPage", "ShowMap", 1026, kLabel},
        {"NavigPage", "StaticYesArrow", 547, kButton},
        {"NavigPage", "StaticNoArrow", 548, kButton},
        {"NavigPage", "ShowNorth", 1025, kLabel},
        {"NavigPage", "StaticYesNorth", 549, kButton},
        {"NavigPage", "StaticNoNorth", 550, kButton},
        {"NavigPage", "Points", 590, kLabel},
        {"NavigPage", "StaticYesPoi", 545, kButton},
        {"NavigPage", "StaticNoPoi", 546, kButton},
        {"NavigPage", "ShowStreetNames", 1105, kLabel},
        {"NavigPage", "StaticYesStreetInMap", 1103, kButton},
        {"NavigPage", "StaticNoStreetInMap", 1104, kButton},
        {"NavigPage", "Ok", 542, kButton},
        {"NavigPage", "Cancel", 320, kButton},
        {"MapPage", "Status", 551, kPageTitle},
        {"MapPage", "Points", 590, kLabel},
        {"MapPage", "statTextYesPoi", 545, kButton},
        {"MapPage", "statTextNoPoi", 546, kButton},
        {"MapPage", "Ok", 542, kButton},
        {"MapPage", "Cancel", 320, kButton},
        {"GpsConf", "Status", 551, kPageTitle},
        {"GpsConf", "Choose port", 589, kLabel},
        {"GpsConf", "statTMCReceiver", 1190, kButton},
        {"GpsConf", "Ok", 542, kButton},
        {"GpsConf", "Cancel", 320, kButton},
        {"LogPage", "Status", 551, kPageTitle},
        {"LogPage", "AutoStartLog", 1173, kLabel},
        {"LogPage", "UseLogNav", 1174, kButton},
        {"LogPage", "UseLogMoveMap", 1175, kButton},
        {"LogPage", "Ok", 542, kButton},
        {"LogPage", "Cancel", 320, kButton},
        {"VolCntr", "Status", 551, kPageTitle},
        {"VolCntr", "Loudness", 1206, kLabel},
        {"VolCntr", "TurnUp", 1199, kLeftOut, noText},
        {"VolCntr", "TurnDown", 1201, kLeftOut, noText},
        {"VolCntr", "Ok", 542, kButton},
        {"VolCntr", "Cancel", 320, kButton},
        {"FormatPage", "Status", 551, kPageTitle},
        {"FormatPage", "StaticUnitLength", 1220, kLabel},
        {"FormatPage", "StaticKilometres", 1215, kButton},
        {"FormatPage", "StaticMiles", 1216, kButton},
        {"FormatPage", "StaticTimeFormat", 1221, kLabel},
        {"FormatPage", "Static12h", 1217, kButton},
        {"FormatPage", "Static24h", 1218, kButton},
        {"FormatPage", "Ok", 542, kButton},
        {"FormatPage", "Cancel", 320, kButton},
        {"NavigMainPage", "Status", 420, kPageTitle},
        {"NavigMainPage", "CountryStatic", 1214, kLabel},
        {"NavigMainPage", "CityStatic", 586, kLabel},
        {"NavigMainPage", "TypeStatic", 587, kLabel},
        {"NavigMainPage", "StreetStatic", 588, kLabel},
        {"NavigMainPage", "HNumStatic", 592, kLabel},
        {"NavigMainPage", "Recent", 503, kButton},
        {"NavigMainPage", "Personal", 522, kButton},
        {"NavigMainPage", "MapSpec", 526, kButton},
        {"NavigMainPage", "SaveAs", 582, kButton},
        {"NavigMainPage", "ExtContact", 1110, kButton},
        {"NavigMainPage", "Ziel", 593, kLabel},
        {"NavigMainPage", "Finish", 501, kButton},
        {"NavigMainPage", "ShowOnMap", 552, kButton},
        {"NavigMainPage", "Cancel", 470, kButton},
        {"TourMainPage", "Status", 431, kPageTitle},
        {"TourMainPage", "CountryStatic", 1214, kLabel},
        {"TourMainPage", "CityStatic", 586, kLabel},
        {"TourMainPage", "TypeStatic", 587, kLabel},
        {"TourMainPage", "StreetStatic", 588, kLabel},
        {"TourMainPage", "HNumStatic", 592, kLabel},
        {"TourMainPage", "Recent", 503, kButton},
        {"TourMainPage", "Personal", 522, kButton},
        {"TourMainPage", "MapSpec", 526, kButton},
        {"TourMainPage", "SaveAs", 582, kButton},
        {"TourMainPage", "ExtContact", 1110, kButton},
        {"TourMainPage", "Ziel", 593, kLabel},
        {"TourMainPage", "TakeOn", 473, kButton},
        {"TourMainPage", "CurrentPos", 1109, kButton},
        {"TourMainPage", "ShowOnMap", 552, kButton},
        {"TourMainPage", "Cancel", 320, kButton},
        {"NavShowPage", "Status", 420, kPageTitle},
        {"NavShowPage", "Status", 431, kPageTitle},
        {"NavShowPage", "StartNavigation", 501, kButton},
        {"NavShowPage", "Cancel", 320, kButton},
        {"MapListDlg", "Status", 585, kPageTitle},
        {"MapListDlg", "Title", 585, kTitleLabel},
        {"MapListDlg", "Cancel", 320, kButton},
        {"MapListDlg", "OK", 1047, kButton},
        {"RouteCalcPage", "Status", 560, kPageTitle},
        {"RouteCalcPage", "Dist", 554, kLabel},
        {"RouteCalcPage", "Duration", 557, kLabel},
        {"RouteCalcPage", "ShowRouteList", 1108, kButton},
        {"RouteCalcPage", "Cancel", 320, kButton},
        {"RouteCalcPage", "MainMenu", 561, kButton},
        {"MovingMap", "Status", 1102, kPageTitle},
        {"MovingMap", "Logging", 1122, kButton},
        {"MovingMap", "Cancel", 320, kButton},
        {"TourList", "Status", 431, kPageTitle},
        {"TourList", "Title", 471, kTitleLabel},
        {"TourList", "MoveUp", 1111, kButton},
        {"TourList", "MoveDown", 1113, kButton},
        {"TourList", "Calculate", 581, kButton},
        {"TourList", "NavStart", 501, kButton},
        {"TourList", "Input", 472, kButton},
        {"TourList", "Delete", 528, kButton},
        {"TourList", "DeleteAll", 1119, kButton},
        {"TourList", "MainMenu", 561, kButton},
        {"CNMapPage", "DistBtnTxt", 554, kLabel},
        {"CNMapPage", "DistBtnTxt", 557, kLabel},
        {"CNMapPage", "DistBtnTxt", 555, kLabel},
        {"CNMapPage", "BlockStreet", 1121, kButton},
        {"CNMapPage", "Logging", 1122, kButton},
        {"CNMapPage", "Stop", 583, kButton},
        {"RouteList", "Status", 420, kPageTitle},
        {"RouteList", "Status", 431, kPageTitle},
        {"RouteList", "Title", 1106, kTitleLabel},
        {"RouteList", "ShowMap", 1107, kButton},
        {"RouteList", "StartNavigation", 501, kButton},
        {"RouteList", "StartSimulation", 1096, kButton},
        {"RouteList", "Cancel", 320, kButton},
        {"RouteList", "MainMenu", 561, kButton},
        {"GpsSimulationDlg", "Msg", 558, kLeftOut, wraps},
        {"GpsSimulationDlg", "Cancel", 320, kDialogButton},
        {"GpsSimulationDlg", "OK", 1, kDialogButton},
        {"DestSavedMsgBox", "Msg", 532, kLeftOut, wraps},
        {"MsgBox", "OK", 1, kDialogButton},
        {"LogoBox", "OK", 1, kDialogButton},
        {"NoDatasetsMsgBox", "Msg", 594, kLeftOut, wraps},
        {"NoDatasetsMsgBox", "OK", 1, kDialogButton},
        {"ConvExcelInfo", "OK", 1, kDialogButton},
        {"DestSavedMsgBox", "OK", 1, kDialogButton},
        {"YesNoDlg", "Yes", 538, kDialogButton},
        {"YesNoDlg", "No", 539, kDialogButton},
        {"StopNavigDlg", "Msg2", 992, kLeftOut, wraps},
        {"StopNavigDlg", "Continue", 535, kDialogButton},
        {"StopNavigDlg", "Menu", 470, kDialogButton},
        {"StopNavigDlg", "Map", 430, kDialogButton},
        {"StopNavigDlg", "NewDest", 534, kDialogButton},
        {"StopNavigTourDlg", "Msg2", 992, kLeftOut, wraps},
        {"StopNavigTourDlg", "Continue", 535, kDialogButton},
        {"StopNavigTourDlg", "Menu", 470, kDialogButton},
        {"StopNavigTourDlg", "Map", 430, kDialogButton},
        {"StopNavigTourDlg", "NewDest", 534, kDialogButton},
        {"StopNavigTourDlg", "NextDest", 1150, kDialogButton},
        {"DestNotFoundMsgBox", "Continue", 1067, kLeftOut, wraps},
        {"DestNotFoundMsgBox", "Back", 1068, kDialogButton},
        {"DestNotFoundMsgBox", "ShowMap", 1069, kDialogButton},
        {"StopLogDlg", "OK", 1, kDialogButton},
        {"StopLogDlg", "Cancel", 320, kDialogButton},
        {"NavWithoutGPSDlg", "Msg", 1209, kLeftOut, wraps},
        {"NavWithoutGPSDlg", "Cancel", 320, kDialogButton},
        {"ValueDlg", "Cancel", 320, kDialogButton},
        {"ValueDlg", "OK", 1, kDialogButton},
        {"ValueDlg1", "Continue", 1067, kLeftOut, wraps},
        {"ValueDlg1", "StopLog", 1124, kDialogButton},
        {"ValueDlg1", "EnterCheck", 1125, kDialogButton},
        {"ValueDlg1", "Cancel", 320, kDialogButton},
        {"StreetBlockDlg", "UP", 978, kDialogButton},
        {"StreetBlockDlg", "DOWN", 982, kDialogButton},
        {"StreetBlockDlg", "Cancel", 320, kDialogButton},
        {"StreetBlockDlg", "OK", 1, kDialogButton},
        {"ProgressDlg", "Desc", 531, kDialogLabel},
        {"ProgressDlg", "Desc", 1188, kDialogLabel},
        {"GpsDlg", "GMT", 568, kDialogLabel},
        {"GpsDlg", "LONGITUDE", 569, kDialogLabel},
        {"GpsDlg", "LATITUDE", 570, kDialogLabel},
        {"GpsDlg", "Satelites", 529, kDialogLabel},
        {"GpsDlg", "H-DOP", 571, kDialogLabel},
        {"GpsDlg", "QUALITY", 572, kDialogLabel},
        {"GpsDlg", "OK", 1, kDialogButton},
        {"VersionDlg", "TITLE", 600, kDialogLabel},
        {"VersionDlg", "VERSION", 596, kDialogLabel},
        {"VersionDlg", "BUILD", 597, kDialogLabel},
        {"VersionDlg", "DATE", 598, kDialogLabel},
        {"VersionDlg", "COPYRIGHT", 599, kLeftOut, wraps},
        {"VersionDlg", "OK", 1, kDialogButton},
    };
}

// The room in pixels a caption has at the scale, and the height of the font it is measured in
// (negative: character height; positive: line height; 0: the DC's own font).
struct CaptionRoom {
    int width;
    int fontHeight;
};

// The scaled height of a layout rectangle (left, top, right, bottom).
int ScaledHeight(const std::vector<int>& rect, float scaleY) {
    return ScaledCoordinate(rect[3], scaleY) - ScaledCoordinate(rect[1], scaleY);
}

// status: the section's "Status" rectangle, whose height gives the page title's font.
CaptionRoom RoomFor(CaptionKind kind, const std::vector<int>& rect, const std::vector<int>& status,
                    float scaleX, float scaleY) {
    constexpr int kButtonIndent = 16;
    constexpr int kFixedHeight = -11;
    const int left = ScaledCoordinate(rect[0], scaleX);
    const int right = ScaledCoordinate(rect[2], scaleX);
    const int height = ScaledHeight(rect, scaleY);
    switch (kind) {
    case CaptionKind::kButton:
        return {right - left - kButtonIndent, kFixedHeight};
    case CaptionKind::kLabel:
        return {right - left, kFixedHeight};
    case CaptionKind::kPageTitle:
        return {right - left, height};
    case CaptionKind::kTitleLabel:
        return {right - left, ScaledHeight(status, scaleY)};
    case CaptionKind::kDialogButton:
        return {rect[2] - rect[0] - kButtonIndent, 0};
    default:
        return {rect[2] - rect[0], 0};
    }
}

// Whether the layout value gives its entry a face that draws a caption (ScreenDesc's reading).
bool IsTextFace(const std::string& value) {
    const int kind = ScreenDesc::ParseRectAndFlag(platform::AnsiToWide(value)).kind;
    return kind != 0 && LoadSkinFace(0, kind) != nullptr;
}

// The entries the layout gives a text face that have no row, as "section/entry".
std::vector<std::string>
TextFacesWithoutRow(const std::map<std::string, std::map<std::string, std::string>>& sections,
                    const std::vector<CaptionRow>& captions) {
    std::set<std::string> rows;
    for (const CaptionRow& row : captions)
        rows.insert(std::string(row.section) + "/" + row.entry);
    std::vector<std::string> missing;
    for (const auto& [section, entries] : sections) {
        for (const auto& [entry, value] : entries) {
            std::string name = section;
            name.append("/").append(entry);
            if (IsTextFace(value) && !rows.contains(name))
                missing.push_back(name);
        }
    }
    return missing;
}

// Measures one row's text against its rectangle at both screen sizes.
void ExpectCaptionFits(const CaptionRow& caption, const std::u16string& text,
                       const std::map<std::string, std::string>& section) {
    constexpr int kMenuBarHeight = 26;
    // The screen sizes of the device and of the tests.
    const struct {
        int width;
        int height;
    } screens[] = {{240, 320}, {480, 640}};
    const std::vector<int> size = LayoutNumbers(section.at("Size"));
    const std::vector<int> rect = LayoutNumbers(section.at(caption.entry));
    ASSERT_GT(size[0], 0);
    ASSERT_GT(size[1], 0);
    for (const auto& screen : screens) {
        // The main menu leaves the menu bar (26 pixels high at 240 wide) below it.
        const int clientHeight =
            screen.height -
            (std::string(caption.section) == "Screen" ? kMenuBarHeight * screen.width / 240 : 0);
        const float scaleY = static_cast<float>(clientHeight) / static_cast<float>(size[1]);
        const std::vector<int> status =
            section.contains("Status") ? LayoutNumbers(section.at("Status")) : rect;
        const CaptionRoom room =
            RoomFor(caption.kind, rect, status,
                    static_cast<float>(screen.width) / static_cast<float>(size[0]), scaleY);
        const SIZE extent = CaptionExtent(text, room.fontHeight);
        EXPECT_LE(extent.cx, room.width) << screen.width << "x" << screen.height << ": \""
                                         << platform::Utf16ToUtf8(text) << "\"";
        // A title's line, descenders included, within its rectangle.
        if (caption.kind == CaptionKind::kPageTitle || caption.kind == CaptionKind::kTitleLabel) {
            EXPECT_LE(extent.cy, ScaledHeight(rect, scaleY))
                << screen.width << "x" << screen.height << ": \"" << platform::Utf16ToUtf8(text)
                << "\"";
        }
    }
}

TEST(InstallChecks, EveryCaptionFitsItsRectangleAtBothScreenSizesInEveryLanguage) {
    const std::vector<CaptionRow> captions = CaptionRows();
    const auto sections = LayoutSections();
    EXPECT_EQ(TextFacesWithoutRow(sections, captions), std::vector<std::string>{});
    // The frames' font and the installed one.
    const char* const fonts[] = {"", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"};
    for (const char* language :
         {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"}) {
        const platform::ResourceBundle bundle = CompiledLanguage(language);
        for (const char* font : fonts) {
            platform::SetFontFile(font);
            for (const CaptionRow& caption : captions) {
                SCOPED_TRACE(std::string(language) + " " + font + " " + caption.section + "/" +
                             caption.entry);
                const auto section = sections.find(caption.section);
                ASSERT_NE(section, sections.end());
                ASSERT_TRUE(section->second.contains(caption.entry));
                const auto text = bundle.strings.find(caption.text);
                if (caption.text == kDialogOkId) {
                    // A dialog's button 1 shows the fixed "O.K.", in every language.
                    ExpectCaptionFits(caption, u"O.K.", section->second);
                    continue;
                }
                if (caption.kind == CaptionKind::kLeftOut) {
                    EXPECT_NE(caption.leftOutBecause, nullptr);
                    if (caption.leftOutBecause == kNoBundleString) {
                        EXPECT_EQ(text, bundle.strings.end()) << caption.text;
                    }
                    continue;
                }
                ASSERT_NE(text, bundle.strings.end()) << "no string " << caption.text;
                ExpectCaptionFits(caption, text->second, section->second);
            }
        }
    }
    platform::SetFontFile({});
}

// The text of a help page with each run of white space made one blank.
std::string HelpPageText(const std::string& name) {
    const std::string page =
        testdata::ReadHostFile(kChecksSource / "resources" / "help" / name).value_or("");
    std::string text;
    for (const char c : page) {
        const bool isSpace = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (!isSpace || (!text.empty() && text.back() != ' '))
            text += isSpace ? ' ' : c;
    }
    return text;
}

// Each language's help page names its language and holds the places the program opens it at
// once each, every link leads to a place on it, and it names the captions of the main menu,
// the destination pages, the contact and list pages and the presettings as the language's texts
// give them (without a trailing colon).
TEST(InstallChecks, EveryHelpPageHoldsTheProgramsPlacesAndCaptions) {
    constexpr UINT kHelpCaptions[] = {420,  430,  440,  450,  470,  551,  1214, 586,  587,  588,
                                      592,  593,  501,  552,  582,  503,  522,  526,  1110, 521,
                                      1047, 320,  528,  1023, 579,  580,  1131, 1132, 1133, 1177,
                                      510,  1176, 1197, 1219, 542,  1026, 1025, 590,  1105, 589,
                                      1190, 1173, 1174, 1175, 1199, 1201, 1220, 1221};
    const std::regex idPattern(R"re(id="([^"]*)")re");
    const std::regex linkPattern(R"re(href="#([^"]*)")re");
    for (const auto& [name, code] :
         {std::pair{"ger", "de"}, std::pair{"eng", "en"}, std::pair{"fre", "fr"},
          std::pair{"spa", "es"}, std::pair{"ita", "it"}, std::pair{"dut", "nl"}}) {
        SCOPED_TRACE(name);
        const std::string page = HelpPageText(std::string(name) + ".htm");
        EXPECT_NE(page.find("<html lang=\"" + std::string(code) + "\">"), std::string::npos);
        std::multiset<std::string> places;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), idPattern);
             it != std::sregex_iterator(); ++it)
            places.insert((*it)[1]);
        for (const char* place : {"Presettings", "SelectDestination", "ImportDestination"})
            EXPECT_EQ(places.count(place), 1U) << place;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), linkPattern);
             it != std::sregex_iterator(); ++it)
            EXPECT_EQ(places.count((*it)[1]), 1U) << (*it)[1];
        const platform::ResourceBundle bundle = CompiledLanguage(std::string(name) + ".txt");
        for (const UINT id : kHelpCaptions) {
            const auto found = bundle.strings.find(id);
            ASSERT_NE(found, bundle.strings.end()) << id;
            std::string caption = platform::Utf16ToUtf8(found->second);
            while (!caption.empty() && (caption.back() == ' ' || caption.back() == ':'))
                caption.pop_back();
            EXPECT_NE(page.find(caption), std::string::npos) << id << ": " << caption;
        }
    }
}

// What a section's buttons lie on: its background picture (a dialog's "Bitmap", the main menu's
// "RealBackgroundBmp") from the skin folder at its size, or the black of the pages without one.
std::vector<std::uint32_t> ButtonGround(const std::map<std::string, std::string>& section,
                                        int width, int height) {
    for (const char* key : {"Bitmap", "RealBackgroundBmp"}) {
        if (!section.contains(key))
            continue;
        const auto bytes = testdata::ReadHostFile(fs::path(NAV_SKIN_DIR) / section.at(key));
        int pictureWidth = 0;
        int pictureHeight = 0;
        std::vector<std::uint32_t> pixels =
            PicturePixels(bytes.value_or(""), &pictureWidth, &pictureHeight);
        EXPECT_TRUE(pictureWidth == width && pictureHeight == height) << section.at(key);
        if (pictureWidth == width && pictureHeight == height)
            return pixels;
    }
    return std::vector<std::uint32_t>(std::size_t(width) * height, 0);
}

// Makes a language library of the pictures skinbitmaps drew for every bundle (the faces of
// kind 1 draw them) the resource module; false when it cannot.
bool LoadBundlePictures(const testdata::TempDeviceRoot& root) {
    const fs::path folder = NAV_SKIN_PICTURE_DIR;
    std::string message;
    const auto bundle = platform::CompileResourceSource(
        testdata::ReadHostFile(folder / "pictures.txt").value_or(""), &message,
        [&folder](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
            const auto bytes = testdata::ReadHostFile(folder / name);
            if (!bytes.has_value())
                return std::nullopt;
            return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
        });
    EXPECT_TRUE(bundle.has_value()) << message;
    if (!bundle.has_value() || bundle->bitmaps.empty() ||
        !root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(*bundle)))
        return false;
    platform::SetResourceInstance(LoadLibraryW(u"LangEngCE.dll"));
    return platform::ResourceInstance() != nullptr;
}

// A button's face (of its id and kind, at the item's rectangle) drawn over the ground (the
// section's pixels, `width` wide): what it puts under a caption, and where a caption lies (drawn
// by a face of the kind without a picture, on black).
class CaptionProbe {
public:
    CaptionProbe(const std::vector<std::uint32_t>& ground, int width, UINT id,
                 const ScreenDescItem& item, HFONT font)
        : kind_(item.kind)
        , width_(item.rect.right - item.rect.left)
        , height_(item.rect.bottom - item.rect.top)
        , font_(font) {
        std::vector<std::uint32_t> underButton;
        for (int y = item.rect.top; y < item.rect.bottom; ++y) {
            const auto row = ground.begin() + std::ptrdiff_t(y) * width + item.rect.left;
            underButton.insert(underButton.end(), row, row + width_);
        }
        bare_ = Drawn(id, underButton, u"");
        plain_ = Drawn(0, {}, u"");
    }

    // The bare face's pixel at each pixel the caption covers.
    [[nodiscard]] std::vector<std::uint32_t> Under(const std::u16string& caption) const {
        const std::vector<std::uint32_t> captioned = Drawn(0, {}, caption);
        std::vector<std::uint32_t> under;
        for (std::size_t i = 0; i < captioned.size(); ++i) {
            if (captioned[i] != plain_[i])
                under.push_back(bare_[i]);
        }
        return under;
    }

private:
    [[nodiscard]] std::vector<std::uint32_t> Drawn(UINT id, std::vector<std::uint32_t> ground,
                                                   const std::u16string& caption) const {
        const PixelCanvas canvas(width_, height_, std::move(ground));
        const HGDIOBJ old = font_ != nullptr ? SelectObject(canvas.dc(), font_) : nullptr;
        LoadSkinFace(id, kind_)->DrawWithText(canvas.dc(), RECT{0, 0, width_, height_}, caption, 0);
        if (old != nullptr)
            SelectObject(canvas.dc(), old);
        return canvas.Pixels();
    }

    int kind_;
    int width_;
    int height_;
    HFONT font_;
    std::vector<std::uint32_t> bare_;
    std::vector<std::uint32_t> plain_;
};

// Every button of every section, of every face kind that draws a caption, shows its white caption
// (in its normal state, in every language) on what its face and the section's background put
// under it at the contrast of 4.5 : 1 asked of body text: the faces of kind 1 draw the bundles'
// picture of the button's id under the caption, a dialog its background's plates.
TEST(InstallChecks, EveryButtonsCaptionReadsOnWhatItIsDrawnOver) {
    constexpr double kCaptionContrast = 4.5;
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(LoadBundlePictures(root));
    const auto sections = LayoutSections();
    std::map<std::string, std::vector<std::uint32_t>> grounds;
    std::vector<platform::ResourceBundle> languages;
    for (const char* language : {"ger.txt", "eng.txt", "fre.txt", "spa.txt", "ita.txt", "dut.txt"})
        languages.push_back(CompiledLanguage(language));
    HFONT pageFont = CreateListFont(-11);
    for (const CaptionRow& row : CaptionRows()) {
        const auto& section = sections.at(row.section);
        const std::string& value = section.at(row.entry);
        if (!IsTextFace(value))
            continue;
        SCOPED_TRACE(std::string(row.section) + "/" + row.entry);
        const ScreenDescItem item = ScreenDesc::ParseRectAndFlag(platform::AnsiToWide(value));
        const std::vector<int> size = LayoutNumbers(section.at("Size"));
        ASSERT_TRUE(item.rect.left >= 0 && item.rect.top >= 0 && item.rect.right <= size[0] &&
                    item.rect.bottom <= size[1]);
        if (!grounds.contains(row.section))
            grounds[row.section] = ButtonGround(section, size[0], size[1]);
        const bool isDialog = row.kind == CaptionKind::kDialogButton || row.text == 1;
        const CaptionProbe probe(grounds[row.section], size[0], row.text, item,
                                 isDialog ? nullptr : pageFont);
        for (const platform::ResourceBundle& bundle : languages) {
            const auto text = bundle.strings.find(row.text);
            const std::u16string caption = row.text == 1                  ? u"O.K."
                                           : text != bundle.strings.end() ? text->second
                                                                          : u"";
            const std::vector<std::uint32_t> under = probe.Under(caption);
            EXPECT_FALSE(under.empty()) << "no caption for " << row.text;
            EXPECT_EQ(std::count_if(under.begin(), under.end(),
                                    [](std::uint32_t pixel) {
                                        return Contrast(pixel, true) < kCaptionContrast;
                                    }),
                      0)
                << "pixels of " << under.size() << " under \"" << platform::Utf16ToUtf8(caption)
                << "\" that the white caption does not stand out from";
        }
    }
    DeleteObject(pageFont);
    platform::SetResourceInstance(nullptr);
}

} // namespace
