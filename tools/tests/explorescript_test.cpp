// scripts/explore.sh on a build folder of its own, beside a stand-in for the demo install whose
// navigator plays no step of its own: the summary names each failed seed with its reason, a crash
// that left no error output by its signal, and no seed that a signal from outside ended; while a
// seed plays, the progress lines count the steps its script holds so far; a second run on a build
// folder where another plays is refused before it lays or plays anything.
#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The demo install's stand-in, laid where the script asks (its --out): the settings file whose
// language the script sets, and the navigator beside the stand-in.
constexpr char kStandInInstall[] =
    "out=\n"
    "while [ $# -gt 0 ]; do\n"
    "  case \"$1\" in --out) out=\"$2\"; shift 2 ;; *) shift ;; esac\n"
    "done\n"
    "mkdir -p \"$out\"\n"
    "printf '[Properties]\\r\\nLanguage=0\\r\\n' > \"$out/RarUderad.ini\"\n"
    "cp \"$(dirname \"$0\")/navigator\" \"$out/navigator\"\n";

// The navigator's words: ROOT --explore SEED --steps N --out OUT. Each stand-in writes the script
// of two steps the explorer would, then ends as its row says.
std::string StandInNavigator(const std::string& end) {
    return "#!/bin/sh\n"
           "mkdir -p \"$7\"\n"
           "printf 'step 1 on Screen\\ntap 1\\nstep 2 on Screen\\nkey Esc\\n' > "
           "\"$7/explore-$3.txt\"\n" +
           end;
}

// The files below a folder with their bytes and modification times, the lock left out (a run
// opens it to ask for it).
std::map<std::string, std::string> ExploreFilesAt(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = fs::relative(it->path(), folder).string();
        if (name == "explore/explore.lock") {
            continue;
        }
        files[name] = !it->is_regular_file()
                          ? std::string("(folder)")
                          : testdata::ReadHostFile(it->path()).value_or("?") + " @" +
                                std::to_string(it->last_write_time().time_since_epoch().count());
    }
    return files;
}

TEST(ExploreScript, NamesEachFailedSeedWithItsReasonAndPlaysOneRunAtATimeInABuildFolder) {
    testdata::TempDeviceRoot root;
    const fs::path tree = root.HostPath() / "tree";
    const fs::path build = root.HostPath() / "build";
    fs::create_directories(tree / "scripts");
    fs::create_directories(build / "explore");
    fs::copy_file(fs::path(NAV_SOURCE_DIR) / "scripts" / "explore.sh",
                  tree / "scripts" / "explore.sh");
    ASSERT_TRUE(root.WriteFile(u"\\tree\\scripts\\install-demo.sh", kStandInInstall));
    const struct {
        const char* name;
        std::string end; // how the stand-in navigator ends
        bool isLocked;   // another run plays in the build folder
        std::string said;
        std::string progress = {}; // a line told while the seed plays ("@" for the seconds)
    } rows[] = {
        // Killed by its own fault, without a word: the kept script's note says why.
        {"a navigator that crashes", "ulimit -c 0\nkill -SEGV $$\n", false,
         "  german seed @ (exit 139): # crashed: signal 11\n"},
        {"a navigator that fails a check",
         "echo 'navigator: frame e2 differs from the whole repaint' >&2\n"
         "echo \"navigator: explored 2 steps from seed $3: failed\" >&2\nexit 1\n",
         false, "  german seed @ (exit 1): navigator: frame e2 differs from the whole repaint\n"},
        // Progress is told every second (--progress 1) while the seed plays longer.
        {"a navigator that plays for a while",
         "sleep 2\necho 'navigator: the screen check failed' >&2\nexit 1\n", false,
         "  german seed @ (exit 1): navigator: the screen check failed\n",
         "explore.sh: @ s: 0 seeds played, 2 steps, 0 failed"},
        {"while another run plays", "exit 0\n", true,
         "explore.sh: another run plays in " + (build / "explore").string() + "\n"},
        // Ended from outside, as the navigator says: no failure, and nothing kept.
        {"a navigator that a signal ended",
         "echo \"navigator: explored 2 steps from seed $3: ended by SIGTERM before its 2 steps; "
         "the script is $7/explore-$3.txt\" >&2\nexit 143\n",
         false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(root.WriteFile(u"\\tree\\scripts\\navigator", StandInNavigator(row.end)));
        fs::permissions(tree / "scripts" / "navigator", fs::perms::owner_exec,
                        fs::perm_options::add);
        const int lock = ::open((build / "explore" / "explore.lock").c_str(),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, row.isLocked ? LOCK_EX : LOCK_UN), 0);
        const auto before = ExploreFilesAt(build);
        const auto kept = [&build] {
            std::size_t count = 0;
            std::error_code error;
            for (auto it = fs::directory_iterator(build / "explore-failures", error);
                 !error && it != fs::directory_iterator(); it.increment(error))
                ++count;
            return count;
        };
        const std::size_t keptBefore = kept();
        const testdata::PipedProgramRun run = testdata::RunHostProgramThroughPipe(
            {"bash", (tree / "scripts" / "explore.sh").string(), "--seconds", "1", "--build",
             build.string(), "--languages", "german", "--steps", "2", "--progress", "1"},
            {}, std::chrono::seconds(60));
        ::close(lock);
        EXPECT_EQ(run.exitCode, row.said.empty() ? 0 : 1) << run.output;
        if (row.isLocked) {
            EXPECT_EQ(run.output, row.said);
            EXPECT_EQ(ExploreFilesAt(build), before);
            continue;
        }
        // Every seed failed, each named once with the reason of its row; or none did.
        std::istringstream lines(run.output);
        std::size_t failed = 0;
        std::size_t named = 0;
        bool isProgressTold = false;
        for (std::string line; std::getline(lines, line);) {
            // "explore.sh: S s: N seeds played, M steps, F failed"
            if (const std::size_t seconds = line.find(" s: ");
                line.starts_with("explore.sh: ") && seconds != std::string::npos) {
                isProgressTold =
                    isProgressTold || "explore.sh: @" + line.substr(seconds) == row.progress;
            }
            // "explore.sh: N seeds, M steps in S s; F failed (scripts in ...)"
            if (line.starts_with("explore.sh: ") && line.find(" seeds, ") != std::string::npos) {
                failed = std::stoul(line.substr(line.find(" s; ") + 4));
                const std::string seeds = line.substr(12, line.find(' ', 12) - 12);
                EXPECT_EQ(seeds, row.said.empty() ? seeds : std::to_string(failed));
                EXPECT_NE(seeds, "0");
            }
            if (line.starts_with("  german seed ")) {
                ++named;
                const std::size_t seed = line.find(' ', 14);
                EXPECT_EQ(line.substr(0, 14) + "@" + line.substr(seed) + "\n", row.said);
            }
        }
        // Every seed of a row that fails, none of one that does not.
        EXPECT_EQ(failed > 0, !row.said.empty()) << run.output;
        EXPECT_EQ(named, failed) << run.output;
        if (row.said.empty()) {
            EXPECT_EQ(kept(), keptBefore) << run.output;
        }
        EXPECT_EQ(isProgressTold, !row.progress.empty()) << run.output;
    }
}

} // namespace
