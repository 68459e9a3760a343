#pragma once
// Runs a host program from a test or a benchmark (the navigator program on a device root, or it
// under xvfb-run) and waits for it, its error output kept.

#include <filesystem>
#include <string>
#include <vector>

namespace testdata {

struct ProgramRun {
    int exitCode = -1;  // -1 when it could not be started or did not end normally
    std::string errors; // what it wrote to its error output
};

// Runs words (the program first, looked up in PATH when it names no folder). Its environment is
// this process's without "NAV_SCREEN" (headless unless the words ask otherwise), with
// "SDL_AUDIODRIVER=dummy" and the entries of environment, each replacing one of the same name.
// Its error output goes through errorFile, which is removed afterwards.
[[nodiscard]] ProgramRun RunHostProgram(std::vector<std::string> words,
                                        const std::vector<std::string>& environment,
                                        const std::filesystem::path& errorFile);

} // namespace testdata
