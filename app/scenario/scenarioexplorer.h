#pragma once
// The scenario runner's explorer: from a seed, it plays step after step what a user can do on
// the screen the program shows (a tap on a control or a point, a key, a name typed into the
// field with the focus, a drive, a moment of the clock, a message box answered), each followed by
// a "frame" and a "check" step. Every step is chosen when the program waits for input from what
// the screen offers then, so the same seed on the same install plays the same steps; each is
// written, as the script lines that play it, into a script file before it is played, so that a
// crash or a hang leaves the script behind too. The runner plays the steps: the file replays
// them. User-interface thread (the explorer's choices are pure).

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What a user can reach on the screen as the explorer looks at it.
struct ExploredScreen {
    std::string section;           // of the active window; empty for none of the screen's
    bool isMessageBox = false;     // a message box is the top window
    std::vector<UINT> taps;        // ids a "tap ID" reaches: shown, enabled, not covered
    std::vector<POINT> boxButtons; // a message box's buttons that only a tap at them reaches
    std::vector<RECT> areas;       // shown windows of the active one (lists, maps, labels ...)
    std::vector<std::string> controlKeys; // "Ctrl+D" ...: the main window's commands
    RECT quitArea{};                      // the main menu's quit button: not tapped at
    bool isQuitFocused = false;           // Enter would quit
    bool isTyping = false;                // the focus is an edit field
    UINT typingInto = 0;                  // its id, or its pick list's
    bool isActiveHidden = false;          // the active window is not shown
    bool canDrive = false;                // the map page is shown and the server has a route
};

// What the screen offers now (the active window, its controls, the focus, the main window's
// command keys but the quit); hasRoute: the server has a route to drive.
[[nodiscard]] ExploredScreen LookAtScreen(bool hasRoute);

class ScenarioExplorer {
public:
    ScenarioExplorer(std::uint64_t seed, int steps, std::filesystem::path scriptFile);

    // Writes the script's head and returns it: comments, and for an odd seed the steps to the
    // guidance page of the demo route, where it begins. Empty, with the reason, when the file
    // cannot be written.
    [[nodiscard]] std::string Open(std::string& problem);
    // The next explored step as script text (a "step" line, the action's lines, "frame" and
    // "check"), chosen from the screen and written to the file; empty after the last step.
    [[nodiscard]] std::string Next(const ExploredScreen& screen);
    // Lines of the script file so far (its head included), for the line numbers of the next
    // step's text.
    [[nodiscard]] int LinesWritten() const { return m_lines; }
    [[nodiscard]] int Played() const { return m_played; }
    // Ends the file with a comment (each line of note after "# ") and, when the program ended
    // by itself, a step that a replay fails at in the same way.
    void Close(const std::string& note, bool hasProgramEnded);
    // The chosen actions alone, no file: the pure part, for tests and the file's text.
    [[nodiscard]] std::string Choose(const ExploredScreen& screen);

private:
    [[nodiscard]] UINT ChooseTap(const ExploredScreen& screen);
    // A name to type into the box with the id: a place, or a street of the place typed last.
    [[nodiscard]] std::string ChooseName(UINT box);
    [[nodiscard]] std::uint64_t Random();
    [[nodiscard]] std::size_t Below(std::size_t count);
    void Write(const std::string& text);

    std::uint64_t m_state;
    // What the choices look back at: the taps on each window, the window of the last step, for
    // how many steps it has been and the taps it offered, the name and the place typed last.
    std::map<std::pair<std::string, UINT>, int> m_taps;
    std::string m_section;
    int m_sameSection = 0;
    std::vector<UINT> m_lastTaps; // offered on the window of the last step
    std::string m_typed;
    std::size_t m_place = 0;
    std::uint64_t m_seed;
    int m_steps;
    int m_played = 0;
    int m_lines = 0;
    std::filesystem::path m_scriptFile;
    std::mutex m_fileMutex; // Close may come from the runner's watchdog
    std::ofstream m_file;
};
