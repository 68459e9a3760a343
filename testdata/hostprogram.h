#pragma once
// Runs a host program from a test or a benchmark (the navigator program on a device root, or it
// under xvfb-run) and waits for it, its error output kept.

#include "testdata/xauthoritywriter.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <string>
#include <thread>
#include <vector>

namespace testdata {

struct ProgramRun {
    int exitCode = -1;  // -1 when it could not be started or did not end normally
    int signal = 0;     // the signal that ended it, 0 when none did
    std::string errors; // what it wrote to its error output
};

// Runs words (the program first, looked up in PATH when it names no folder). Its environment is
// this process's without "NAV_SCREEN" (headless unless the words ask otherwise), with
// "SDL_AUDIODRIVER=dummy" and the entries of environment, each replacing one of the same name.
// Its error output goes through errorFile, which is removed afterwards. With terminateAfter
// given, a program still running then is sent SIGTERM, and SIGKILL when it runs on ten seconds
// more.
[[nodiscard]] ProgramRun
RunHostProgram(std::vector<std::string> words, const std::vector<std::string>& environment,
               const std::filesystem::path& errorFile,
               std::chrono::milliseconds terminateAfter = std::chrono::milliseconds::max());

// Starts words as RunHostProgram does (the program looked up in PATH, its environment made the
// same way) with the file actions given, without waiting: the process id, -1 when it cannot be
// started. The caller waits for it.
[[nodiscard]] int StartHostProgram(std::vector<std::string> words,
                                   const std::vector<std::string>& environment,
                                   const posix_spawn_file_actions_t& actions);

// Waits up to limit for the process to catch signal, a handler of its own in place (its bit in
// "SigCgt" of /proc/PID/status), looking as often as it can so as to find the moment it is put
// in place; false when it is not within limit or the process ended first.
[[nodiscard]] bool AwaitSignalCaught(int process, int signal, std::chrono::milliseconds limit);

// An X display of this host whose server does not answer as a server does. Silent, Busy and
// StoppedAfterAnswering listen on the display's abstract local socket, where X clients look
// first: Silent takes connections and never replies, as a stopped server; Busy keeps its queue
// of connections full for busyFor, then takes each and refuses it with a set-up reply as a
// server does (an answer, and a failure to the X library); StoppedAfterAnswering lets the first
// in with a success reply, and is silent from then on. Forwarding and Http listen on the
// display's TCP port at the loopback address, named "localhost:N": Forwarding reads each set-up
// request and, as ssh's X11 forwarding does, closes without a byte one that lacks the cookie
// (counted), and refuses one that carries it as Busy does; Http answers whatever comes with an
// HTTP error and closes its side, as a web proxy on that port would. SilentBesideForwarding is
// Silent on ":N" with, on the TCP port of the same number, a peer that closes each connection
// without a byte (counted). AnswersLate is Busy's refusal to each connection busyFor after it
// came, as a display over a slow link answers. ClosesTheFirstConnection closes its first
// connection without a byte (counted), as a server that is resetting does, and refuses each
// later one as Busy does. The display's number, the first from 200 on, is one that no other
// display of this host has in any of the ways a client connects (the socket file, the abstract
// socket, the TCP port at 127.0.0.1 and ::1) nor by a server's lock file; the stand-in holds it
// in all of them, and its lock file, while it lives. None when no number could be had.
class StandInXDisplay {
public:
    enum class Kind {
        Silent,
        Busy,
        StoppedAfterAnswering,
        Forwarding,
        Http,
        SilentBesideForwarding,
        EndsAtTheSecondClient,
        AnswersLate,
        ClosesTheFirstConnection
    };
    // ClosesTheFirstConnection closes or refuses each connection busyFor after it came (at once
    // for 0), as AnswersLate answers.
    StandInXDisplay(Kind kind, std::chrono::milliseconds busyFor, std::string cookie = {});
    ~StandInXDisplay();
    StandInXDisplay(const StandInXDisplay&) = delete;
    StandInXDisplay& operator=(const StandInXDisplay&) = delete;

    // "DISPLAY=:N" ("DISPLAY=localhost:N" over TCP); empty when there is none.
    [[nodiscard]] std::string DisplayEntry() const;
    // The entry of an X authority file that gives a client of this host the display's cookie.
    [[nodiscard]] XauthorityEntry Authorisation() const;
    // How many set-up requests a forwarding closed for want of its cookie, or connections the
    // TCP peer of SilentBesideForwarding or ClosesTheFirstConnection closed; those waiting to be
    // taken count too.
    [[nodiscard]] int RequestsRefused();
    // When the stand-in took each connection it served, in the order taken (not those of
    // SilentBesideForwarding's TCP peer).
    [[nodiscard]] std::vector<std::chrono::steady_clock::time_point> ConnectionTimes() const;
    // EndsAtTheSecondClient's: 1 when its first client was still connected as the second came,
    // 0 when it had left, -1 before a second came.
    [[nodiscard]] int IsFirstClientKept() const { return m_isFirstClientKept; }

private:
    // Takes the number in every way a client connects to it, and its lock file; false (nothing
    // held) when another display has it.
    bool Reserve(int number, Kind kind);
    void Serve(Kind kind, std::chrono::milliseconds busyFor);
    // Takes the connections waiting at the TCP peer of SilentBesideForwarding and closes them.
    void CloseWaitingTcpConnections();
    // Whether the client's set-up request carries the cookie; false when it is cut short.
    bool CarriesCookie(int client) const;

    int m_socket = -1;           // where the stand-in serves
    int m_closingPeer = -1;      // SilentBesideForwarding's TCP port, not blocking
    std::vector<int> m_reserved; // the number's other ways, bound and not listening
    std::string m_lockFile;
    int m_stop[2] = {-1, -1}; // written to end the serving thread
    int m_queued = -1;        // the connection that fills a busy server's queue
    int m_number = -1;
    bool m_isTcp = false;
    std::string m_cookie;
    std::atomic<int> m_refused = 0;
    std::atomic<int> m_isFirstClientKept = -1;
    mutable std::mutex m_timesLock; // guards m_connectionTimes
    std::vector<std::chrono::steady_clock::time_point> m_connectionTimes;
    std::thread m_thread;
};

struct PipedProgramRun {
    int exitCode = -1;          // as ProgramRun's
    std::string output;         // what it wrote to its standard output and error
    bool isOutputEnded = false; // every writer closed the pipe within the limit
};

// Runs words as RunHostProgram does, with its standard output and error into one pipe that is
// read until every writer has closed it (the program and whatever it started that kept the pipe)
// or until limit has passed since the start; then waits for the program to end.
[[nodiscard]] PipedProgramRun RunHostProgramThroughPipe(std::vector<std::string> words,
                                                        const std::vector<std::string>& environment,
                                                        std::chrono::milliseconds limit);

// The report of the test viewer "viewerprobe" (platform/shell/tests): the URL it was given, its
// process id and a line "N TARGET" for each descriptor it held. Empty when none came.
struct ViewerProbeReport {
    std::string url;
    long processId = 0;
    std::vector<std::string> descriptors;
};

// Waits up to five seconds (host time) for the report at file, and reads it.
[[nodiscard]] ViewerProbeReport AwaitViewerProbeReport(const std::filesystem::path& file);

} // namespace testdata
