// The launcher of a visible run: the help viewer becomes a host program named in
// "\Windows\launch.ini".
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/shell/process.h"

#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char16_t kHelpViewer[] = u"peghelp.exe";

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
        anchor = path.substr(hash);
        path.resize(hash);
    }
    const platform::ResolvedPath resolved = platform::ResolveDevicePath(path);
    if (resolved.status != platform::PathStatus::Exists &&
        resolved.status != platform::PathStatus::MissingLeaf) {
        return platform::Utf16ToUtf8(commandLine);
    }
    return "file://" + resolved.host.string() + platform::Utf16ToUtf8(anchor);
}

DWORD StartViewer(const std::string& viewer, const std::string& argument) {
    std::string program = viewer;
    std::string parameter = argument;
    char* argv[] = {program.data(), parameter.data(), nullptr};
    pid_t child = -1;
    if (::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        const std::u16string line =
            u"launcher: cannot start the viewer " + platform::Utf8ToUtf16(viewer) + u"\n";
        OutputDebugStringW(line.c_str());
        return ERROR_FILE_NOT_FOUND;
    }
    // The viewer lives on its own; its exit status is collected so that it leaves no zombie.
    try {
        std::thread([child] {
            int status = 0;
            (void)::waitpid(child, &status, 0);
        }).detach();
    } catch (const std::system_error&) {
        // Without a thread the ended viewer stays a zombie until this process ends.
    }
    return ERROR_SUCCESS;
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

} // namespace platform
