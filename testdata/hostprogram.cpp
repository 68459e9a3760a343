#include "testdata/hostprogram.h"

#include "testdata/tempdir.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace testdata {

namespace {

// The name of an environment entry, with its "=".
std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('=') + 1);
}

} // namespace

ProgramRun RunHostProgram(std::vector<std::string> words,
                          const std::vector<std::string>& environment,
                          const std::filesystem::path& errorFile) {
    ProgramRun run;
    if (words.empty())
        return run;
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
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : entries)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        if (waitpid(child, &status, 0) == child && WIFEXITED(status))
            run.exitCode = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.errors = ReadHostFile(errorFile).value_or("");
    std::error_code error;
    std::filesystem::remove(errorFile, error);
    return run;
}

} // namespace testdata
