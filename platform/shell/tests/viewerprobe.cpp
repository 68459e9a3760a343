// viewerprobe URL: a help viewer for the launcher's tests. It writes into the file named by
// NAV_VIEWER_PROBE_OUT (whole, under another name first, then renamed to it): the URL, its
// process id, and a line "N TARGET" for each descriptor it holds open (where /proc/self/fd/N
// leads). With NAV_VIEWER_PROBE_STAY set to a number of seconds it then stays that long, as a
// viewer the user keeps open. Exit code 0, or 2 when it cannot write its file.
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* out = std::getenv("NAV_VIEWER_PROBE_OUT");
    if (argc != 2 || out == nullptr)
        return 2;
    std::string text = std::string(argv[1]) + "\npid " + std::to_string(::getpid()) + "\n";
    // Read before the report file is opened, so that it lists only what the viewer was given.
    std::map<int, std::string> descriptors;
    if (DIR* folder = ::opendir("/proc/self/fd"); folder != nullptr) {
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || std::atoi(name.c_str()) == ::dirfd(folder))
                continue;
            char target[4096] = {};
            const ssize_t length =
                ::readlink(("/proc/self/fd/" + name).c_str(), target, sizeof target - 1);
            descriptors[std::atoi(name.c_str())] = std::string(target, length > 0 ? length : 0);
        }
        ::closedir(folder);
    }
    for (const auto& [number, target] : descriptors)
        text += std::to_string(number) + " " + target + "\n";
    const std::string part = std::string(out) + ".part";
    {
        std::ofstream file(part, std::ios::binary);
        if (!(file << text))
            return 2;
    }
    if (std::rename(part.c_str(), out) != 0)
        return 2;
    if (const char* stay = std::getenv("NAV_VIEWER_PROBE_STAY"); stay != nullptr)
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(stay)));
    return 0;
}
