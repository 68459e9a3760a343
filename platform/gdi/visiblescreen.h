#pragma once
// The visible back end: an SDL2 window that shows the screen framebuffer at a chosen scale,
// with the mouse as the stylus and the keyboard as the hardware keys (PC scan codes). It runs
// on a thread of its own; headless stays the default. Start and stop from one thread.

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

struct VisibleScreenOptions {
    int scale = 2; // window pixels per screen pixel, 1..8
};

// The back end asked for by a command-line option "--screen=visible[:scale]" or, without
// one, by the environment variable NAV_SCREEN ("visible[:scale]"); nullopt for headless.
[[nodiscard]] std::optional<VisibleScreenOptions> VisibleScreenRequest(int argc,
                                                                       const char* const* argv);
// Opens the window; false when SDL2 has no display or a window is open already.
[[nodiscard]] bool StartVisibleScreen(const VisibleScreenOptions& options);
void StopVisibleScreen();
// The window's pixels (0x00RRGGBB, rows top-down) as next presented; false when no window is
// open or no frame came within a second.
[[nodiscard]] bool CaptureVisibleScreen(std::vector<std::uint32_t>* pixels, int* width,
                                        int* height);

// The icon the window was last given (0x00RRGGBB, rows top-down): the screen's big icon
// (platform::ScreenIcon), taken up within a frame of its change. False when no window is open or
// it was given none.
[[nodiscard]] bool VisibleScreenIcon(std::vector<std::uint32_t>* pixels, int* width, int* height);

} // namespace platform
