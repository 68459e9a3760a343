#include "tools/install/helpviewer.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace demoinstall {

std::string HelpViewerOnHost(std::string_view searchPath) {
    for (const char* program : kHelpViewers) {
        std::string_view rest = searchPath;
        while (true) {
            const std::size_t colon = rest.find(':');
            const std::string_view folder = rest.substr(0, colon);
            const std::string file =
                (folder.empty() ? std::string(".") : std::string(folder)) + "/" + program;
            std::error_code error;
            if (std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0)
                return program;
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
    }
    return "";
}

std::string LaunchFileText(const std::string& viewer) {
    std::string text =
        "; The host program that shows the help pages in a visible run, started with\r\n"
        "; the page's file:// URL.\r\n[peghelp.exe]\r\n";
    if (viewer.empty())
        return text + "; No viewer was found on this host: name one as Viewer=PROGRAM.\r\n";
    return text + "Viewer=" + viewer + "\r\n";
}

} // namespace demoinstall
