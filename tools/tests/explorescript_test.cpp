// scripts/explore.sh on a build folder of its own, beside a stand-in for the demo install whose
// navigator plays no step of its own: the summary names each failed seed with its reason, a crash
// that left no error output by its signal, and no seed that a signal from outside ended; while a
// seed plays, the progress lines count the steps its script holds so far; a second run on a build
// folder where another plays is refused before it lays or plays anything.
#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
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

// How a row's run of the script is stopped from outside once each of its two slots plays a seed.
enum class Stop {
    None,
    CtrlC,  // SIGINT to the script's process group, as a terminal's Ctrl+C sends it
    SigTerm // SIGTERM to the script alone
};

// A stand-in navigator's end that plays until a SIGTERM (timeout's, passed on from the script's
// stop), which it takes as the program does: said, and exit code 143. Its process id is in
// "<out>.pid" while it plays.
constexpr char kPlaysUntilStopped[] =
    "trap '[ -z \"$!\" ] || kill $!; echo \"navigator: explored 1 steps from seed $3: ended by "
    "SIGTERM before "
    "its 2 steps; the script is $7/explore-$3.txt\" >&2; exit 143' TERM\n"
    "echo $$ > \"$7.pid\"\n"
    "sleep 120 9>&- &\n"
    "wait $!\n";

// Whether the process runs: it is there and no zombie (one whose parent has gone may wait long for
// the first process to take it up).
bool IsRunning(pid_t pid) {
    const std::string stat =
        testdata::ReadHostFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
    const std::size_t name = stat.rfind(')');
    return name != std::string::npos && stat.size() > name + 2 && stat[name + 2] != 'Z';
}

// Runs the script as a terminal's foreground job (a process group of its own), its output into a
// file, and stops it as stop says once both slots' stand-ins play (their "<out>.pid" files in
// work). Whatever still runs 30 s after the stop, or 60 s after the start, is killed.
testdata::PipedProgramRun RunStoppedExplore(const std::vector<std::string>& words, Stop stop,
                                            const fs::path& work) {
    using Clock = std::chrono::steady_clock;
    testdata::PipedProgramRun run;
    const fs::path players[] = {work / "out-1.pid", work / "out-2.pid"};
    for (const fs::path& player : players)
        fs::remove(player);
    const fs::path output = work.parent_path() / "stopped-explore.out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // SIGINT at its default, as a terminal's shell starts a foreground job: this test may run in
    // the background of a shell, with it ignored.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<std::string> arguments = words;
    std::vector<char*> argv;
    for (std::string& word : arguments)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t script = -1;
    const bool isStarted =
        posix_spawnp(&script, argv[0], &actions, &attributes, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (!isStarted)
        return run;
    const auto startLimit = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < startLimit && !(fs::exists(players[0]) && fs::exists(players[1])))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<pid_t> played;
    for (const fs::path& player : players) {
        if (const auto pid = testdata::ReadHostFile(player); pid && !pid->empty())
            played.push_back(static_cast<pid_t>(std::stol(*pid)));
    }
    (void)(stop == Stop::CtrlC ? ::kill(-script, SIGINT) : ::kill(script, SIGTERM));
    int status = 0;
    const auto endLimit = Clock::now() + std::chrono::seconds(30);
    while (waitpid(script, &status, WNOHANG) == 0) {
        if (Clock::now() >= endLimit) {
            (void)::kill(-script, SIGKILL);
            (void)waitpid(script, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (status != -1 && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.output = testdata::ReadHostFile(output).value_or("");
    // The seeds it started are over with it.
    for (const pid_t pid : played) {
        const bool isRunning = IsRunning(pid);
        EXPECT_FALSE(isRunning) << "the seed of process " << pid << " still plays\n" << run.output;
        // Its process group ended, once it is known to be the seed's (its number is not yet
        // another process's).
        const std::string command =
            testdata::ReadHostFile("/proc/" + std::to_string(pid) + "/cmdline").value_or("");
        if (const pid_t group = getpgid(pid);
            isRunning && group > 1 && command.find(work.string()) != std::string::npos)
            (void)::kill(-group, SIGKILL);
    }
    (void)::kill(-script, SIGKILL);
    fs::remove(output);
    return run;
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

// The "seq" the script would run.
std::string RealSeq() {
    const testdata::PipedProgramRun found = testdata::RunHostProgramThroughPipe(
        {"sh", "-c", "command -v seq"}, {}, std::chrono::seconds(10));
    return found.output.substr(0, found.output.find('\n'));
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
        Stop stop = Stop::None;
        int exitCode = -1; // when not the failure's 1 or 0
        // A "seq" of its own before the real one takes a second: the slots first look at the
        // clock after the whole second of --seconds 1 has turned.
        bool isSlotStartLate = false;
    } rows[] = {
        // Killed by its own fault, without a word: the kept script's note says why.
        {"a navigator that crashes", "ulimit -c 0\nkill -SEGV $$\n", false,
         "  german seed @ (exit 139): # crashed: signal 11\n"},
        {"a navigator that fails a check",
         "echo 'navigator: frame e2 differs from the whole repaint' >&2\n"
         "echo \"navigator: explored 2 steps from seed $3: failed\" >&2\nexit 1\n",
         false, "  german seed @ (exit 1): navigator: frame e2 differs from the whole repaint\n"},
        // Progress is told every second (--progress 1) while the seed plays three, which leaves
        // a tick or two on a busy machine.
        {"a navigator that plays for a while",
         "sleep 3\necho 'navigator: the screen check failed' >&2\nexit 1\n", false,
         "  german seed @ (exit 1): navigator: the screen check failed\n",
         "explore.sh: @ s: 0 seeds played, 2 steps, 0 failed"},
        {"while another run plays", "exit 0\n", true,
         "explore.sh: another run plays in " + (build / "explore").string() + "\n"},
        // Ended from outside, as the navigator says: no failure, and nothing kept.
        {"a navigator that a signal ended",
         "echo \"navigator: explored 2 steps from seed $3: ended by SIGTERM before its 2 steps; "
         "the script is $7/explore-$3.txt\" >&2\nexit 143\n",
         false, ""},
        // Ended by the time limit's SIGTERM (timeout's 124): the hang is kept and named.
        {"a navigator that hangs until the limit",
         "echo \"navigator: SIGTERM ended the program at step \\\"2 on Screen\\\" (line 4): key "
         "Esc\" >&2\necho \"navigator: explored 2 steps from seed $3: ended by SIGTERM before its "
         "2 steps; the script is $7/explore-$3.txt\" >&2\nexit 124\n",
         false, "  german seed @ (exit 124): did not end within 900 s\n"},
        // Stopped while two seeds play: both end with the script, which tells what they played
        // and keeps neither.
        {"Ctrl+C while two seeds play", kPlaysUntilStopped, false, "", {}, Stop::CtrlC, 130},
        {"SIGTERM while two seeds play", kPlaysUntilStopped, false, "", {}, Stop::SigTerm, 143},
        {"slots that first look at the clock after its second",
         "exit 0\n",
         false,
         "",
         {},
         Stop::None,
         -1,
         true},
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
        const fs::path late = root.HostPath() / "late";
        fs::create_directories(late);
        if (row.isSlotStartLate) {
            ASSERT_TRUE(root.WriteFile(u"\\late\\seq",
                                       "#!/bin/sh\nsleep 1.2\nexec " + RealSeq() + " \"$@\"\n"));
            fs::permissions(late / "seq", fs::perms::owner_exec, fs::perm_options::add);
        }
        std::vector<std::string> words = {"bash",        (tree / "scripts" / "explore.sh").string(),
                                          "--seconds",   row.stop == Stop::None ? "1" : "600",
                                          "--build",     build.string(),
                                          "--languages", "german",
                                          "--steps",     "2",
                                          "--progress",  "1"};
        if (row.stop != Stop::None)
            words.insert(words.end(), {"--jobs", "2"});
        const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        const testdata::PipedProgramRun run =
            row.stop != Stop::None
                ? RunStoppedExplore(words, row.stop, build / "explore")
                : testdata::RunHostProgramThroughPipe(words, {"PATH=" + late.string() + ":" + path},
                                                      std::chrono::seconds(60));
        fs::remove_all(late);
        ::close(lock);
        EXPECT_EQ(run.exitCode, row.exitCode != -1 ? row.exitCode
                                : row.said.empty() ? 0
                                                   : 1)
            << run.output;
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
