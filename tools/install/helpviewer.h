#pragma once
// The host program the demo install names as the help viewer of a visible run, in
// "\Windows\launch.ini" (read by platform::HostViewerLauncher).

#include <string>
#include <string_view>

namespace demoinstall {

inline constexpr char16_t kLaunchFile[] = u"\\Windows\\launch.ini";
// The viewers an install names, the first found first.
inline constexpr const char* kHelpViewers[] = {"xdg-open", "sensible-browser", "x-www-browser"};

// The first of "xdg-open", "sensible-browser" and "x-www-browser" that is an executable file in a
// folder of searchPath (folders separated by ':', as in PATH; an empty folder is the current
// one); empty when none is.
[[nodiscard]] std::string HelpViewerOnHost(std::string_view searchPath);

// The launch file naming viewer; without one it names none and says how to name one.
[[nodiscard]] std::string LaunchFileText(const std::string& viewer);

} // namespace demoinstall
