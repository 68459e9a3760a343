#pragma once
// The navigator program's scenario runner: runs the program (WinMain) on the device root set
// up by the caller and plays a script's steps whenever one of its message loops, a modal one
// too (a message box's), would wait. The program's message boxes are shown as windows that the
// steps wait for and answer. The program runs on a virtual clock that the steps move on, or
// that follows real time at a chosen speed. What the voice was given, the sounds played, the
// message boxes and the frames land in the out folder. User-interface thread (the caller's),
// once per process.

#include "app/scenario/scenarioscript.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

class ScenarioExplorer;

struct ScenarioOptions {
    std::filesystem::path outFolder;
    // 0: the clock moves only as the steps move it; above 0: virtual milliseconds per real one.
    double speed = 0.0;
    // False: the frames are checked but not written (their pictures and texts).
    bool writeFrames = true;
    // Not null: when the script's steps are done, the explorer's steps follow (not owned).
    ScenarioExplorer* explorer = nullptr;
    // Real seconds the program may stay away from its loop within a step: longer ends the run at
    // once as a hang (exit code 1). 0: no limit.
    int stepSeconds = 300;
};

// Files the runner writes into the out folder besides the frames ("<name>.png").
inline constexpr char kSaidTextsFile[] = "said.txt"; // one text given to the voice a line, UTF-8
inline constexpr char kSoundsFile[] = "sounds.wav";  // every sound played, one after another
inline constexpr char kRoutesFile[] = "routes.txt";  // every route event (FormatRoutes)
// Every program the run asked to start, one a line: the program, a tab, its command line (UTF-8).
inline constexpr char kLaunchesFile[] = "launches.txt";
// The map page's arrival messages, one a line: the name of the step in which each came.
inline constexpr char kArrivalsFile[] = "arrivals.txt";
// One line a named step, in order, fields separated by tabs: the name, the real and the virtual
// milliseconds it took, the frames the map pages driven on drew in it (their map's paints), and
// the waits of the stepped clock in it that ran out their limit (for the threads a move woke, or
// for a fix the replay was due to publish).
inline constexpr char kStepTimesFile[] = "steps.txt";
// Every message box of the run, one a line, fields separated by tabs: the step it came in, its
// caption, its text (tabs and line breaks as blanks), the answer ("OK", "Cancel", "Yes", "No",
// "Abort", "Retry", "Ignore"; empty when the run ended while it was up) and "shown" (a window
// the steps answered) or "scripted" (answered ahead by a "messagebox" step, not shown).
inline constexpr char kMessageBoxesFile[] = "messageboxes.txt";

// Exit codes of a run.
enum class ScenarioExit { Passed = 0, StepFailed = 1, BadScript = 2 };

// Runs the program with the script. The program's exit code when every step passed; 1 when a
// step failed (reported on errors with its name, the steps after it are not played and the
// program is ended), when the program ended before the last step (with an explorer: before its
// last step), when a step hung, or when an out file cannot be written; ended from outside (a
// signal, the display lost) before any of these, the exit code of that end.
[[nodiscard]] int RunScenario(const ScenarioScript& script, const ScenarioOptions& options,
                              std::FILE* errors);

// Reads and parses the script file, makes the out folder and runs it; 2, with the faulty line
// named on errors, when the script cannot be read or parsed or the folder cannot be made
// (nothing is run then).
[[nodiscard]] int RunScenarioFile(const std::filesystem::path& scriptFile,
                                  const ScenarioOptions& options, std::FILE* errors);

// The script an exploration writes into its out folder: "explore-<seed>.txt".
[[nodiscard]] std::filesystem::path ExploreScriptFile(const std::filesystem::path& outFolder,
                                                      std::uint64_t seed);

// Plays steps steps that an explorer chooses from seed (scenarioexplorer.h) after the script's
// (none, or the lines that lead to where the exploration begins), makes the out folder and
// writes every step into ExploreScriptFile as it is played, so that `--script` replays them;
// the frames are checked but not written, and a step that takes a minute of real time hangs.
// 0 when every step passed, 1 on a failure (reported on errors and at the end of the script)
// also when a signal came after it, the exit code of an end asked from outside before any step
// failed, 2 when the out folder or the script cannot be made.
[[nodiscard]] int ExploreScenario(std::uint64_t seed, int steps, ScenarioOptions options,
                                  std::FILE* errors);
