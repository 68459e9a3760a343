// navigator FOLDER [--size WxH] [--screen=visible[:scale]] [--script FILE --out OUT
// [--speed N]] [--explore SEED --steps N --out OUT]: runs the application on the device root
// FOLDER, whose root folder holds the program's files (language bundles, page layouts,
// "PK.ini", "RarUderad.ini"). Headless unless the visible screen is asked for (also by
// NAV_SCREEN); a visible run starts the help viewer that "\Windows\launch.ini" names, a headless
// one only records it. With a script the scenario runner plays it, with a seed its explorer
// plays steps of its own choice (docs/scenario-scripts.md). The exit code is the program's, 0, or
// the runner's; 2 for a command line it cannot run with (what is wrong is named on the error
// output, with the usage), 1 when the visible screen cannot be opened or its display is lost (or
// stops answering as the window closes). SIGHUP, SIGINT and SIGTERM end the program as a quit
// does, with exit code 1, 130 and 143 (a script or an exploration whose step failed before
// keeps its 1); one the program was started with ignored stays ignored.
#include "app/modes/modes.h"
#include "app/pages/maplistdlg.h"
#include "app/scenario/scenariorunner.h"
#include "app/settings/presettingssheet.h"
#include "app/startup/headlessanswers.h"
#include "app/startup/navapp.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/openfilewindow.h"
#include "platform/gdi/visiblescreen.h"
#include "platform/kernel/sync.h"
#include "platform/shell/process.h"
#include "platform/window/message.h"
#include "platform/window/programend.h"
#include "platform/window/window.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

struct NavigatorOptions {
    std::filesystem::path folder;
    int width = 240;
    int height = 320;
    std::filesystem::path script;
    std::filesystem::path out;
    double speed = 0.0; // 0: not given
    std::optional<std::uint64_t> seed;
    int steps = 0;
};

constexpr int kMaxExploreSteps = 1000000;

constexpr double kMaxSpeed = 1000.0;

// The scenario options; false for a malformed or out-of-range one.
bool ParseScenarioOption(int argc, char** argv, int& index, NavigatorOptions& options) {
    const char* argument = argv[index];
    if (index + 1 >= argc)
        return false;
    const char* value = argv[++index];
    char rest = 0;
    if (std::strcmp(argument, "--script") == 0) {
        options.script = value;
    } else if (std::strcmp(argument, "--out") == 0) {
        options.out = value;
    } else if (std::strcmp(argument, "--explore") == 0) {
        unsigned long long seed = 0;
        if (value[0] < '0' || value[0] > '9' || std::sscanf(value, "%llu%c", &seed, &rest) != 1)
            return false;
        options.seed = seed;
    } else if (std::strcmp(argument, "--steps") == 0) {
        if (std::sscanf(value, "%d%c", &options.steps, &rest) != 1 || options.steps < 1 ||
            options.steps > kMaxExploreSteps)
            return false;
    } else {
        if (std::sscanf(value, "%lf%c", &options.speed, &rest) != 1 || !(options.speed > 0.0) ||
            options.speed > kMaxSpeed)
            return false;
    }
    return value[0] != 0;
}

bool ParseSize(const char* value, NavigatorOptions& options) {
    char rest = 0;
    return std::sscanf(value, "%dx%d%c", &options.width, &options.height, &rest) == 2 &&
           options.width >= 1 && options.height >= 1 && options.width <= 4096 &&
           options.height <= 4096;
}

// What is wrong with the folder given; empty when it is an existing folder.
std::string CheckFolder(const std::filesystem::path& folder) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(folder, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return "the folder \"" + folder.string() + "\" does not exist";
    if (error)
        return "the folder \"" + folder.string() + "\" cannot be read: " + error.message();
    if (status.type() != std::filesystem::file_type::directory)
        return "\"" + folder.string() + "\" is not a folder";
    return {};
}

// The options, or nullopt with what is wrong with the command line in *error.
std::optional<NavigatorOptions> ParseNavigatorOptions(int argc, char** argv, std::string* error) {
    NavigatorOptions options;
    bool hasFolder = false;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (std::strcmp(argument, "--size") == 0) {
            if (index + 1 >= argc || !ParseSize(argv[++index], options)) {
                *error = "--size takes WxH, each from 1 to 4096";
                return std::nullopt;
            }
        } else if (std::strncmp(argument, "--screen=", 9) == 0) {
            continue; // read by VisibleScreenRequest
        } else if (std::strcmp(argument, "--script") == 0 || std::strcmp(argument, "--out") == 0 ||
                   std::strcmp(argument, "--speed") == 0 ||
                   std::strcmp(argument, "--explore") == 0 ||
                   std::strcmp(argument, "--steps") == 0) {
            if (!ParseScenarioOption(argc, argv, index, options)) {
                const std::string name = argument;
                *error = name + (name == "--speed"     ? " takes a number above 0, at most 1000"
                                 : name == "--explore" ? " takes a seed, a number from 0"
                                 : name == "--steps"   ? " takes a number from 1 to 1000000"
                                                       : " takes a path");
                return std::nullopt;
            }
        } else if (!hasFolder && argument[0] != '-') {
            options.folder = argument;
            hasFolder = true;
        } else {
            *error = "\"" + std::string(argument) + "\" is not understood";
            return std::nullopt;
        }
    }
    *error = hasFolder ? CheckFolder(options.folder) : "no FOLDER is given";
    if (!error->empty())
        return std::nullopt;
    // The out folder and the speed belong to a script, the out folder and the steps to an
    // exploration, whose clock the steps move.
    if (options.seed) {
        if (!options.script.empty() || options.speed > 0.0 || options.out.empty() ||
            options.steps == 0) {
            *error = "--explore takes --steps and --out, and neither --script nor --speed";
            return std::nullopt;
        }
        return options;
    }
    if (options.steps > 0) {
        *error = "--steps belongs to --explore";
        return std::nullopt;
    }
    if (options.script.empty() != options.out.empty() ||
        (options.script.empty() && options.speed > 0.0)) {
        *error = "--out and --speed belong to --script, which needs --out";
        return std::nullopt;
    }
    return options;
}

// A command line the program cannot run with: what is wrong, then the usage; exit code 2.
int RefuseCommandLine(const std::string& error) {
    (void)std::fprintf(stderr,
                       "navigator: %s\n"
                       "usage: navigator FOLDER [--size WxH] [--screen=visible[:scale]]\n"
                       "                 [--script FILE --out OUT [--speed N]]\n"
                       "                 [--explore SEED --steps N --out OUT]\n"
                       "  FOLDER: an existing device root with the program's files\n"
                       "  --screen (or NAV_SCREEN): headless (the default), visible or "
                       "visible:SCALE (SCALE 1 to 8)\n"
                       "  FILE: a scenario script; OUT: the folder for its frames, texts "
                       "said and sounds\n"
                       "  N: the clock at N times real time (visible: 1, headless: moved by "
                       "the steps)\n"
                       "  SEED: plays N steps of the explorer's choice from the seed, writing "
                       "them to OUT/explore-SEED.txt\n",
                       error.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // An error output gone with an ssh session fails its writes; it never ends the program.
    platform::KeepBrokenPipesFromEndingTheProcess();
    std::string error;
    const std::optional<NavigatorOptions> options = ParseNavigatorOptions(argc, argv, &error);
    if (!options)
        return RefuseCommandLine(error);
    const auto visible = platform::VisibleScreenRequest(argc, argv, &error);
    if (!error.empty())
        return RefuseCommandLine(error);
    // The message queue of the thread that runs the program, from the start: an end asked at any
    // moment from here on (a signal, the display lost) waits there for the first loop that runs.
    MSG queued{};
    (void)PeekMessageW(&queued, nullptr, 0, 0, PM_NOREMOVE);
    platform::SetDeviceRoot(std::filesystem::absolute(options->folder));
    platform::SetProgramFolder(u"\\");
    platform::SetScreenSize(options->width, options->height);
    if (visible && !platform::StartVisibleScreen(*visible, &error)) {
        (void)std::fprintf(stderr, "navigator: the visible screen cannot be opened: %s\n",
                           error.c_str());
        return 1;
    }
    // Until here a signal ends the process at once: nothing of the program runs yet.
    platform::EndInOrderOnSignals(GetCurrentThreadId());
    InstallPresettingsSheet();
    InstallMapListDlg();
    InstallModes();
    // The visible screen shows the message boxes and the open-file dialog, and the help viewer
    // is a program of the host ("\Windows\launch.ini"); headless a script's runner shows the
    // boxes and dialogs to its steps, without a script nobody answers them, and programs are
    // only recorded.
    if (visible) {
        platform::ShowMessageBoxesAsWindows();
        platform::ShowOpenFileDialogsAsWindows();
        platform::SetProcessLauncher(platform::HostViewerLauncher());
    } else {
        AnswerUnseenBoxesAndDialogs(stderr);
    }
    int result = 0;
    // A script's or an exploration's result is its runner's, which tells an end asked from
    // outside from a failure: a step that failed before the end was asked keeps its exit code.
    bool isRunnersResult = true;
    if (options->seed) {
        ScenarioOptions scenario;
        scenario.outFolder = std::filesystem::absolute(options->out);
        scenario.speed = visible ? 1.0 : 0.0;
        result = ExploreScenario(*options->seed, options->steps, scenario, stderr);
    } else if (!options->script.empty()) {
        ScenarioOptions scenario;
        scenario.outFolder = std::filesystem::absolute(options->out);
        scenario.speed = options->speed > 0.0 ? options->speed : (visible ? 1.0 : 0.0);
        result = RunScenarioFile(options->script, scenario, stderr);
    } else {
        result = WinMain(nullptr, nullptr, nullptr, 1);
        isRunnersResult = false;
    }
    const bool hasRunFailed =
        isRunnersResult && result == static_cast<int>(ScenarioExit::StepFailed);
    // A window whose display was lost ended the program: exit code 1, as where none opens; a
    // signal ended it with the exit code of its kind, unless a step had failed before.
    if (visible && !platform::StopVisibleScreen())
        result = platform::kLostSessionExitCode;
    if (const std::optional<int> asked = platform::AskedProgramEnd(); asked && !hasRunFailed)
        result = *asked;
    return result;
}
