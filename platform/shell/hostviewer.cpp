// The launcher of a visible run: the help viewer becomes a host program named in
// "\Windows\launch.ini".
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/shell/process.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char16_t kHelpViewer[] = u"peghelp.exe";
// How long a started viewer is watched: one that ends with a failure within this time (a
// browser launcher that finds no browser) failed to start; one still running then has started.
constexpr auto kViewerStartWatch = std::chrono::milliseconds(250);

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool EqualNoCase(const std::string& a, std::string_view b) {
    return platform::DeviceNamesEqual(platform::Utf8ToUtf16(a), platform::Utf8ToUtf16(b));
}

// "Viewer" of section "peghelp.exe" of the launch file; empty when there is none.
std::string ViewerProgram() {
    const platform::ResolvedPath file = platform::ResolveDevicePath(u"\\Windows\\launch.ini");
    if (file.status != platform::PathStatus::Exists) {
        return {};
    }
    std::ifstream in(file.host);
    std::string line;
    bool isInSection = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line.front() == '[') {
            isInSection =
                line.back() == ']' && EqualNoCase(line.substr(1, line.size() - 2), "peghelp.exe");
            continue;
        }
        const std::size_t equals = line.find('=');
        if (isInSection && equals != std::string::npos &&
            EqualNoCase(Trim(line.substr(0, equals)), "Viewer")) {
            return Trim(line.substr(equals + 1));
        }
    }
    return {};
}

// The file name at the end of a device path or plain name.
std::u16string_view LastComponent(std::u16string_view path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

// The bytes of text with every one but the unreserved characters of a URL and those of `keep`
// written as "%XX", so that a '#', '%' or '?' of a folder's name stays part of the path.
std::string PercentEncoded(const std::string& text, std::string_view keep) {
    constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool isUnreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                  (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                  byte == '_' || byte == '~';
        if (isUnreserved || keep.find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHexDigits[byte >> 4];
            encoded += kHexDigits[byte & 0xF];
        }
    }
    return encoded;
}

// "file:" + device path (+ "#anchor") becomes the host file's URL; anything else stays.
std::string ViewerArgument(const std::u16string& commandLine) {
    constexpr std::u16string_view kScheme = u"file:";
    if (commandLine.size() <= kScheme.size() ||
        !platform::DeviceNamesEqual(std::u16string_view(commandLine).substr(0, kScheme.size()),
                                    kScheme)) {
        return platform::Utf16ToUtf8(commandLine);
    }
    std::u16string path = commandLine.substr(kScheme.size());
    std::u16string anchor;
    if (const std::size_t hash = path.find(u'#'); hash != std::u16string::npos) {
        anchor = path.substr(hash + 1);
        path.resize(hash);
    }
    const platform::ResolvedPath resolved = platform::ResolveDevicePath(path);
    if (resolved.status != platform::PathStatus::Exists &&
        resolved.status != platform::PathStatus::MissingLeaf) {
        return platform::Utf16ToUtf8(commandLine);
    }
    std::string url = "file://" + PercentEncoded(resolved.host.string(), "/");
    if (!anchor.empty()) {
        url += "#" + PercentEncoded(platform::Utf16ToUtf8(anchor), "");
    }
    return url;
}

// Its standard streams on the null device and no other descriptor of this program's: a caller
// reading the program's output through a pipe sees it end with the program, not with the viewer,
// and the viewer holds none of the program's files open.
DWORD StartViewer(const std::string& viewer, const std::string& argument) {
    std::string program = viewer;
    std::string parameter = argument;
    char* argv[] = {program.data(), parameter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    pid_t child = -1;
    const bool isStarted =
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
        ::posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
        ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv, environ) == 0;
    (void)::posix_spawn_file_actions_destroy(&actions);
    if (!isStarted) {
        const std::u16string line =
            u"launcher: cannot start the viewer " + platform::Utf8ToUtf16(viewer) + u"\n";
        OutputDebugStringW(line.c_str());
        return ERROR_FILE_NOT_FOUND;
    }
    // The viewer lives on its own; its exit status is collected so that it leaves no zombie, and
    // handed over in case it comes within the watch.
    auto ended = std::make_shared<std::promise<int>>();
    std::future<int> exitStatus = ended->get_future();
    try {
        std::thread([child, ended] {
            int status = 0;
            pid_t reaped = -1;
            do {
                reaped = ::waitpid(child, &status, 0);
            } while (reaped < 0 && errno == EINTR);
            // Not reaped here (the status went elsewhere): taken as a success.
            ended->set_value(reaped == child ? status : 0);
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the ended viewer stays a zombie until this process ends, unwatched.
        return ERROR_SUCCESS;
    }
    if (exitStatus.wait_for(kViewerStartWatch) != std::future_status::ready) {
        return ERROR_SUCCESS;
    }
    const int status = exitStatus.get();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return ERROR_SUCCESS;
    }
    const std::string how = WIFEXITED(status) ? "with status " + std::to_string(WEXITSTATUS(status))
                                              : "by signal " + std::to_string(WTERMSIG(status));
    const std::u16string line = u"launcher: the viewer " + platform::Utf8ToUtf16(viewer) +
                                u" ended at once " + platform::Utf8ToUtf16(how) + u"\n";
    OutputDebugStringW(line.c_str());
    return ERROR_PROCESS_ABORTED;
}

} // namespace

namespace platform {

ProcessLauncher HostViewerLauncher() {
    return [](const ProcessLaunch& launch) -> DWORD {
        if (!DeviceNamesEqual(LastComponent(launch.imageName), kHelpViewer)) {
            return ERROR_SUCCESS;
        }
        const std::string viewer = ViewerProgram();
        if (viewer.empty()) {
            return ERROR_SUCCESS;
        }
        return StartViewer(viewer, ViewerArgument(launch.commandLine));
    };
}

std::u16string HostViewerName() {
    return Utf8ToUtf16(ViewerProgram());
}

} // namespace platform
