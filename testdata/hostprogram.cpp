#include "testdata/hostprogram.h"

#include "testdata/tempdir.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testdata {

namespace {

// The name of an environment entry, with its "=".
std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('=') + 1);
}

// This process's environment without "NAV_SCREEN", with "SDL_AUDIODRIVER=dummy" and the
// entries given, each replacing one of the same name.
std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& environment) {
    std::vector<std::string> entries = {"SDL_AUDIODRIVER=dummy"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = NameOf(text);
        const bool isReplaced =
            name == "NAV_SCREEN=" || name == "SDL_AUDIODRIVER=" ||
            std::any_of(environment.begin(), environment.end(),
                        [&name](const std::string& given) { return NameOf(given) == name; });
        if (!isReplaced)
            entries.push_back(text);
    }
    entries.insert(entries.end(), environment.begin(), environment.end());
    return entries;
}

// Starts words with the environment's entries and the file actions; -1 when it cannot start.
pid_t SpawnHostProgram(std::vector<std::string>& words, std::vector<std::string> environment,
                       const posix_spawn_file_actions_t& actions) {
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return child;
}

int AwaitExitCode(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

} // namespace

ProgramRun RunHostProgram(std::vector<std::string> words,
                          const std::vector<std::string>& environment,
                          const std::filesystem::path& errorFile) {
    ProgramRun run;
    if (words.empty())
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (const pid_t child = SpawnHostProgram(words, ProgramEnvironment(environment), actions);
        child != -1)
        run.exitCode = AwaitExitCode(child);
    posix_spawn_file_actions_destroy(&actions);
    run.errors = ReadHostFile(errorFile).value_or("");
    std::error_code error;
    std::filesystem::remove(errorFile, error);
    return run;
}

PipedProgramRun RunHostProgramThroughPipe(std::vector<std::string> words,
                                          const std::vector<std::string>& environment,
                                          std::chrono::milliseconds limit) {
    PipedProgramRun run;
    int output[2] = {-1, -1};
    if (words.empty() || pipe2(output, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    const pid_t child = SpawnHostProgram(words, ProgramEnvironment(environment), actions);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (child != -1) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{output[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[4096];
        const ssize_t count = read(output[0], buffer, sizeof buffer);
        if (count <= 0) {
            run.isOutputEnded = count == 0;
            break;
        }
        run.output.append(buffer, static_cast<std::size_t>(count));
    }
    close(output[0]);
    if (child != -1)
        run.exitCode = AwaitExitCode(child);
    return run;
}

ViewerProbeReport AwaitViewerProbeReport(const std::filesystem::path& file) {
    ViewerProbeReport report;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::error_code error;
    while (!std::filesystem::exists(file, error) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // The probe writes its report under another name and renames it: it is whole once there.
    std::ifstream in(file);
    std::string line;
    for (int number = 0; std::getline(in, line); ++number) {
        if (number == 0)
            report.url = line;
        else if (number == 1 && line.rfind("pid ", 0) == 0)
            report.processId = std::strtol(line.c_str() + 4, nullptr, 10);
        else if (number > 1)
            report.descriptors.push_back(line);
    }
    return report;
}

} // namespace testdata
