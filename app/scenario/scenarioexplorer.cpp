#include "app/scenario/scenarioexplorer.h"

#include "app/scenario/scenariowindows.h"
#include "mapdisplay/mapview.h"
#include "ui/dialogbase.h"

#include "platform/gdi/messageboxwindow.h"
#include "platform/kernel/codepage.h"
#include "platform/shell/resources.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace {

// The main window's accelerator table and its quit command, which the explorer leaves out:
// quitting ends the exploration.
constexpr UINT kCommandKeysTable = 225;
constexpr UINT kQuitCommand = 460;
// The main menu, where a tap on the quit command quits too.
constexpr char kMainMenu[] = "Screen";
// The window class of a message box's buttons (platform/gdi/messageboxwindow.cpp).
constexpr char16_t kBoxButtonClass[] = u"SystemMessageBoxButton";

// Places of the demo extract, each with streets of it, typed whole or as their first letters:
// a place into a city box, one of its streets (mostly) into a street box, any into other fields.
const struct {
    std::string_view city;
    std::vector<std::string_view> streets;
} kPlaces[] = {
    {"Vaduz",
     {"\xC3\x84ulestrasse",
      "St\xC3\xA4"
      "dtle",
      "Kirchstrasse"}},
    {"Schaan", {"Landstrasse", "Feldkircher Strasse", "Zollstrasse", "Bahnhofstrasse"}},
    {"Balzers", {"F\xC3\xBCrstenstrasse"}},
    {"Triesen", {"Landstrasse"}},
    {"Eschen", {"Bahnhofstrasse"}},
    {"Triesenberg", {"Landstrasse"}},
    {"Mauren", {"Kirchstrasse"}},
    {"Ruggell", {"Landstrasse"}},
};
// The destination pages' city and street boxes.
constexpr UINT kCityBox = 100;
constexpr UINT kStreetBox = 101;
// The keys a user presses: the hardware keys, the guidance page's keys and the simulation's.
constexpr std::string_view kKeys[] = {"Plus", "Minus", "R",    "N",     "A",     "T",   "L",
                                      "S",    "P",     "V",    "F1",    "Enter", "Esc", "Tab",
                                      "Up",   "Down",  "Left", "Right", "Back",  "End"};
// Pages whose 'T' and 'L' ask for a file.
constexpr std::string_view kFilePages[] = {kMainMenu, "CNMapPage"};
constexpr std::string_view kAnswers[] = {"ok", "cancel", "yes", "no"};
// Where odd seeds begin: the guidance page of the demo route, the scenario's destination typed
// in Vaduz, with its fix (the drives are played there).
constexpr char kGuidancePrologue[] = "step guidance\n"
                                     "wait page MsgBox\n"
                                     "tap 1\n"
                                     "wait page Screen\n"
                                     "wait fix\n"
                                     "clock 1000\n"
                                     "tap 420\n"
                                     "wait page NavigMainPage\n"
                                     "tap 100\n"
                                     "text \"Vaduz\"\n"
                                     "key Enter\n"
                                     "tap 101\n"
                                     "text \"\xC3\x84ulestrasse\"\n"
                                     "key Enter\n"
                                     "tap 501\n"
                                     "wait page NavOptPage\n"
                                     "tap 501\n"
                                     "wait page CNMapPage 60000\n";
// Buttons that go back: "Abbrechen" and its kin, a dialog's Cancel, "Menu".
constexpr UINT kCancelIds[] = {320, 2, 470};
// Points drawn in an area before a tap at it is given up.
constexpr int kPointAttempts = 8;
// Steps on one window (the map pages aside) after which a user goes back from it at times.
constexpr int kStepsBeforeLeaving = 10;
// The clock's steps: 100 ms to a minute.
constexpr double kShortestClockMs = 100.0;
constexpr double kClockRange = 600.0;

bool IsInside(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

bool IsChild(HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
}

// The window's rectangle cut to the screen; empty when nothing of it is left.
std::optional<RECT> OnScreen(HWND window) {
    RECT rect{};
    if (GetWindowRect(window, &rect) == FALSE)
        return std::nullopt;
    rect = RECT{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
                std::min<LONG>(rect.right, GetSystemMetrics(SM_CXSCREEN)),
                std::min<LONG>(rect.bottom, GetSystemMetrics(SM_CYSCREEN))};
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return std::nullopt;
    return rect;
}

void AddTap(ExploredScreen& screen, UINT id) {
    std::string problem;
    if (id != 0 && FindTapPoint(id, problem) &&
        std::find(screen.taps.begin(), screen.taps.end(), id) == screen.taps.end())
        screen.taps.push_back(id);
}

std::vector<std::string> CommandKeys() {
    std::vector<std::string> keys;
    for (const platform::BundleAccelerator& entry :
         platform::LoadAcceleratorEntries(platform::ResourceInstance(), kCommandKeysTable)) {
        if (entry.command != kQuitCommand && entry.key < 128 &&
            std::isalnum(static_cast<unsigned char>(entry.key)) != 0)
            keys.push_back(std::string("Ctrl+") + static_cast<char>(entry.key));
    }
    return keys;
}

} // namespace

ExploredScreen LookAtScreen(bool hasRoute) {
    ExploredScreen screen;
    HWND active = ActiveWindow();
    screen.section = platform::Utf16ToUtf8(SectionOf(active));
    const std::vector<HWND> shown = platform::ShownWindows();
    // With no window active, or a hidden one, the top window is what a user taps at; no tap by
    // id reaches it.
    HWND tapped = active;
    if ((active == nullptr || IsWindowVisible(active) == FALSE) && !shown.empty()) {
        tapped = TopLevelOf(shown.front());
        screen.isActiveHidden = active != nullptr;
    }
    if (!shown.empty() && platform::IsMessageBoxWindow(TopLevelOf(shown.front()))) {
        // A box of another thread is not the active window: only a tap at its buttons reaches it.
        HWND box = TopLevelOf(shown.front());
        screen.isMessageBox = true;
        for (HWND window : shown) {
            const auto id = static_cast<UINT>(GetDlgCtrlID(window));
            if (GetParent(window) != box || id == 0 || !HasClass(window, kBoxButtonClass))
                continue;
            if (box == active) {
                AddTap(screen, id);
            } else if (const std::optional<RECT> rect = OnScreen(window)) {
                screen.boxButtons.push_back(
                    POINT{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2});
            }
        }
        return screen;
    }
    for (HWND window : shown) {
        // The direction arrow comes and goes with the positions, which the receiver stand-in
        // delivers in its own time: a step chosen by it would not be chosen again.
        if (window == tapped || GetDlgCtrlID(window) == DirectionArrowWindow::kControlId)
            continue;
        if (TopLevelOf(window) == tapped) {
            AddTap(screen, static_cast<UINT>(GetDlgCtrlID(window)));
            if (const std::optional<RECT> rect = OnScreen(window))
                screen.areas.push_back(*rect);
        } else if (!IsChild(window) && HasClass(window, kListClass)) {
            // An open drop-down list: its entries are what a user taps next, mostly.
            if (const std::optional<RECT> rect = OnScreen(window))
                screen.areas.insert(screen.areas.end(), 3, *rect);
        }
    }
    if (const DialogBase* dialog = DialogBase::FromWindow(active)) {
        for (const auto& [id, item] : dialog->GetItems()) {
            if (item.face != nullptr)
                AddTap(screen, id);
        }
    }
    if (tapped != nullptr) {
        if (const std::optional<RECT> rect = OnScreen(tapped))
            screen.areas.push_back(*rect);
    }
    // The main menu's quit button, under whatever window is active.
    HWND focus = GetFocus();
    for (HWND window : shown) {
        if (GetDlgCtrlID(window) != static_cast<int>(kQuitCommand) ||
            platform::Utf16ToUtf8(SectionOf(TopLevelOf(window))) != kMainMenu)
            continue;
        if (const std::optional<RECT> rect = OnScreen(window))
            screen.quitArea = *rect;
        if (TopLevelOf(window) == active)
            std::erase(screen.taps, kQuitCommand);
        screen.isQuitFocused = window == focus;
    }
    std::sort(screen.taps.begin(), screen.taps.end());
    screen.controlKeys = CommandKeys();
    screen.isTyping = focus != nullptr && HasClass(focus, kEditClass);
    if (screen.isTyping) {
        // A pick list's edit field is a child of the pick list, which has the id.
        HWND box = HasClass(GetParent(focus), kPickListClass) ? GetParent(focus) : focus;
        screen.typingInto = static_cast<UINT>(GetDlgCtrlID(box));
    }
    screen.canDrive = hasRoute && screen.section == "CNMapPage";
    return screen;
}

ScenarioExplorer::ScenarioExplorer(std::uint64_t seed, int steps, std::filesystem::path scriptFile)
    : m_state(seed)
    , m_seed(seed)
    , m_steps(steps)
    , m_scriptFile(std::move(scriptFile)) {}

std::uint64_t ScenarioExplorer::Random() {
    // splitmix64: the same numbers from a seed with any standard library.
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::size_t ScenarioExplorer::Below(std::size_t count) {
    return count == 0 ? 0 : static_cast<std::size_t>(Random() % count);
}

std::string ScenarioExplorer::Open(std::string& problem) {
    m_file.open(m_scriptFile, std::ios::binary | std::ios::trunc);
    std::string text = "# Explored from seed " + std::to_string(m_seed) + ", " +
                       std::to_string(m_steps) +
                       " steps: each what a user can do on the screen at that moment, then its\n"
                       "# frame and check. Replays with: navigator ROOT --script THIS-FILE --out "
                       "FOLDER\n";
    if (m_seed % 2 == 1)
        text += kGuidancePrologue;
    Write(text);
    if (!m_file) {
        problem = "cannot write the script " + m_scriptFile.string();
        return {};
    }
    return text;
}

void ScenarioExplorer::Write(const std::string& text) {
    std::lock_guard lock(m_fileMutex);
    if (!m_file.is_open())
        return;
    m_file << text;
    m_file.flush();
    m_lines += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string ScenarioExplorer::Next(const ExploredScreen& screen) {
    if (m_played >= m_steps)
        return {};
    ++m_played;
    const std::string number = std::to_string(m_played);
    // The step is named by its number and the window it was chosen on.
    const std::string on = (screen.section.empty() ? "" : " on " + screen.section) +
                           (screen.isActiveHidden ? " (hidden)" : "");
    const std::string text =
        "step " + number + on + "\n" + Choose(screen) + "frame e" + number + "\ncheck\n";
    Write(text);
    return text;
}

void ScenarioExplorer::Close(const std::string& note, bool hasProgramEnded) {
    std::string text;
    for (std::size_t at = 0; at < note.size();) {
        const std::size_t end = std::min(note.find('\n', at), note.size());
        text += "# " + note.substr(at, end - at) + "\n";
        at = end + 1;
    }
    if (hasProgramEnded)
        text += "step ended\nclock 100\n";
    Write(text);
    std::lock_guard lock(m_fileMutex);
    m_file.close();
}

std::string ScenarioExplorer::Choose(const ExploredScreen& screen) {
    const std::string typed = std::exchange(m_typed, {});
    if (screen.isMessageBox) {
        const std::size_t pick = Below(10);
        if (pick < 6 && !screen.taps.empty())
            return "tap " + std::to_string(screen.taps[Below(screen.taps.size())]) + "\n";
        if (pick < 6 && !screen.boxButtons.empty()) {
            const POINT point = screen.boxButtons[Below(screen.boxButtons.size())];
            return "tap at " + std::to_string(point.x) + " " + std::to_string(point.y) + "\n";
        }
        return pick < 8 ? "key Enter\n" : "key Esc\n";
    }
    // A name typed into a field is mostly taken with Enter, as its list offers it.
    if (!typed.empty() && screen.isTyping && Below(2) == 0)
        return "key Enter\n";
    m_sameSection = screen.section == m_section ? m_sameSection + 1 : 0;
    m_section = screen.section;
    // A control that has just come up on the window (a button enabled by what was typed) is
    // what a user takes next, often.
    std::vector<UINT> fresh;
    if (m_sameSection > 0) {
        std::set_difference(screen.taps.begin(), screen.taps.end(), m_lastTaps.begin(),
                            m_lastTaps.end(), std::back_inserter(fresh));
    }
    m_lastTaps = screen.taps;
    if (!fresh.empty() && Below(2) == 0) {
        const UINT id = fresh[Below(fresh.size())];
        ++m_taps[{screen.section, id}];
        return "tap " + std::to_string(id) + "\n";
    }
    enum class Action { Tap, TapAt, Key, CommandKey, Text, Clock, Drive, Answer, Leave };
    const bool isFollowing = screen.section == "CNMapPage" || screen.section == "MovingMap";
    const struct {
        Action action;
        int weight;
    } options[] = {
        {Action::Tap, screen.taps.empty() ? 0 : 30},
        {Action::TapAt, screen.areas.empty() ? 0 : 12},
        {Action::Key, 22},
        {Action::CommandKey, screen.controlKeys.empty() ? 0 : 3},
        {Action::Text, screen.isTyping ? 30 : 0},
        {Action::Clock, isFollowing ? 45 : 14},
        {Action::Drive, screen.canDrive ? 5 : 0},
        {Action::Answer, 1},
        // Long on one page or dialog: a user goes back from it at last.
        {Action::Leave, isFollowing || m_sameSection < kStepsBeforeLeaving ? 0 : 12},
    };
    int total = 0;
    for (const auto& option : options)
        total += option.weight;
    auto pick = static_cast<int>(Below(static_cast<std::size_t>(total)));
    Action action = Action::Clock;
    for (const auto& option : options) {
        if (pick < option.weight) {
            action = option.action;
            break;
        }
        pick -= option.weight;
    }
    switch (action) {
    case Action::Tap:
        return "tap " + std::to_string(ChooseTap(screen)) + "\n";
    case Action::TapAt: {
        const RECT& area = screen.areas[Below(screen.areas.size())];
        // A point on the main menu's quit button is drawn again (a few times): quitting ends
        // the exploration.
        for (int attempt = 0; attempt < kPointAttempts; ++attempt) {
            const POINT point{
                area.left +
                    static_cast<LONG>(Below(static_cast<std::size_t>(area.right - area.left))),
                area.top +
                    static_cast<LONG>(Below(static_cast<std::size_t>(area.bottom - area.top)))};
            if (!IsInside(screen.quitArea, point))
                return "tap at " + std::to_string(point.x) + " " + std::to_string(point.y) + "\n";
        }
        return "clock 100\n";
    }
    case Action::Key: {
        const std::string key(kKeys[Below(std::size(kKeys))]);
        const bool asksForFile = std::find(std::begin(kFilePages), std::end(kFilePages),
                                           screen.section) != std::end(kFilePages);
        // 'T' opens the closure's RDS groups or nothing, 'L' no replay (a drive replays one).
        if (asksForFile && key == "T")
            return (Below(2) == 0 ? "openfile \"\\TmcClosure.txt\"\n" : "openfile cancel\n") +
                   std::string("key T\n");
        if (asksForFile && key == "L")
            return "openfile cancel\nkey L\n";
        // Enter on the main menu's quit button quits.
        if (key == "Enter" && screen.isQuitFocused)
            return "key Tab\n";
        return "key " + key + "\n";
    }
    case Action::CommandKey:
        return "key " + screen.controlKeys[Below(screen.controlKeys.size())] + "\n";
    case Action::Text: {
        std::string name = ChooseName(screen.typingInto);
        if (Below(4) == 0) {
            // The first letters alone (whole UTF-8 characters), as a user who lets the field
            // complete them.
            std::size_t length = 1 + Below(name.size() - 1);
            while (length < name.size() &&
                   (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
                ++length;
            name.resize(length);
        }
        m_typed = name;
        return "text \"" + name + "\"\n";
    }
    case Action::Clock: {
        // Mostly short moments; on the map pages that follow the car also long ones, after
        // which the car is checked.
        const double fraction = static_cast<double>(Random() >> 11) / 9007199254740992.0;
        const auto ms = static_cast<std::uint64_t>(
            isFollowing && Below(2) == 0 ? kShortestClockMs * kClockRange * fraction
                                         : kShortestClockMs * std::pow(kClockRange, fraction));
        return "clock " + std::to_string(std::max<std::uint64_t>(ms / 100 * 100, 100)) + "\n";
    }
    case Action::Drive:
        return "drive\n";
    case Action::Answer:
        return "messagebox " + std::string(kAnswers[Below(std::size(kAnswers))]) + "\n";
    case Action::Leave: {
        const auto cancel = std::find_first_of(screen.taps.begin(), screen.taps.end(),
                                               std::begin(kCancelIds), std::end(kCancelIds));
        if (cancel != screen.taps.end() && Below(2) == 0)
            return "tap " + std::to_string(*cancel) + "\n";
        return "key Esc\n";
    }
    }
    return "clock 100\n";
}

std::string ScenarioExplorer::ChooseName(UINT box) {
    if (box == kCityBox || Below(4) == 0) {
        m_place = Below(std::size(kPlaces));
        if (box == kCityBox || Below(2) == 0)
            return std::string(kPlaces[m_place].city);
    }
    const auto& streets =
        kPlaces[box == kStreetBox && Below(5) != 0 ? m_place : Below(std::size(kPlaces))].streets;
    return std::string(streets[Below(streets.size())]);
}

UINT ScenarioExplorer::ChooseTap(const ExploredScreen& screen) {
    // Mostly a control tapped least often on this window yet, so that every one is reached.
    std::vector<UINT> least;
    int fewest = INT_MAX;
    for (const UINT id : screen.taps) {
        const int count = m_taps[{screen.section, id}];
        if (count < fewest)
            least.clear();
        if (count <= fewest) {
            fewest = count;
            least.push_back(id);
        }
    }
    const std::vector<UINT>& from = Below(3) == 0 ? screen.taps : least;
    const UINT id = from[Below(from.size())];
    ++m_taps[{screen.section, id}];
    return id;
}
