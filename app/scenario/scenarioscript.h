#pragma once
// Scenario scripts for the navigator program's runner: one step a line (docs/scenario-scripts.md),
// parsed whole before anything runs. Pure text functions; safe from any thread.

#include "platform/types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class ScenarioStepKind {
    WaitPage,   // text: screen section of the active window; ms: limit
    WaitText,   // text: a shown window's or dialog item's text; ms: limit
    WaitSaid,   // text: a text the voice was given; ms: limit
    WaitFix,    // ms: limit
    WaitTmc,    // ms: limit
    Tap,        // id: control or dialog button of the active window; text: the entry chosen
                // from the pick list of that id, or empty
    TapPoint,   // x, y: the screen point tapped
    Key,        // id: virtual key; modifier: VK_CONTROL, VK_SHIFT or 0
    Text,       // text: characters typed into the focus window
    Clock,      // ms: how far the clock moves on
    Frame,      // text: file name without ".png"
    MessageBox, // id: the answer of the next message box
    OpenFile,   // text: the path the next open-file dialog chooses; isCancel: it is cancelled
    Drive,      // the current route replayed through the map page
    Check,      // what the screen shows: no blank or unfilled text, the followed car in view
};

struct ScenarioStep {
    ScenarioStepKind kind = ScenarioStepKind::Clock;
    int line = 0;       // 1-based line of the script
    std::string name;   // of the "step" line before it; empty before the first
    std::string source; // the line as written, for reports
    std::u16string text;
    UINT id = 0;
    UINT modifier = 0;
    int x = 0;
    int y = 0;
    std::uint64_t ms = 0;
    bool isCancel = false;
};

struct ScenarioScript {
    std::vector<ScenarioStep> steps;
};

struct ScriptError {
    int line = 0; // 0: the script as a whole
    std::string message;
};

// Longest wait or clock step accepted, in milliseconds (one day).
constexpr std::uint64_t kMaxScenarioMs = 86'400'000;
// Largest screen coordinate a tap may name.
constexpr int kMaxScenarioCoordinate = 32767;
// A wait without a limit of its own gives up after this many milliseconds of the clock.
constexpr std::uint64_t kDefaultWaitMs = 10'000;

// Parses UTF-8 text (an optional byte-order mark, LF or CR LF lines). False with the first
// faulty line and what is wrong with it; script is then left empty.
[[nodiscard]] bool ParseScenarioScript(std::string_view text, ScenarioScript& script,
                                       ScriptError& error);

// "line 7" or "step \"menu\" (line 7)": how reports name a step.
[[nodiscard]] std::string DescribeStep(const ScenarioStep& step);
