#pragma once
// The visible back end: an SDL2 window that shows the screen framebuffer at a chosen scale,
// with the mouse as the stylus and the keyboard as the hardware keys (PC scan codes). It runs
// on a thread of its own; headless stays the default. Start and stop from one thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct VisibleScreenOptions {
    int scale = 2; // window pixels per screen pixel, 1..8
};

// The back end asked for by a command-line option "--screen=VALUE" or, without one, by the
// environment variable NAV_SCREEN (unset or empty: headless). VALUE is "headless" (nullopt),
// "visible" or "visible:SCALE" (a larger scale is taken as 8, 0 as 1). Any other value gives
// nullopt and, in *error (not null), a message naming it and the values understood; *error is
// empty otherwise.
[[nodiscard]] std::optional<VisibleScreenOptions>
VisibleScreenRequest(int argc, const char* const* argv, std::string* error);
// Opens the window; false when no display can be reached (unless SDL_VIDEODRIVER names a driver:
// no WAYLAND_DISPLAY, and no DISPLAY or none whose X server accepts a connection, a DISPLAY the
// X library connects nowhere with, or one naming a screen its server lacks, checked before SDL2
// starts its video; a display slow to answer is waited for, and told once on the error output
// as slow), when SDL2 finds no display (it would draw to a driver that
// shows nothing, unless SDL_VIDEODRIVER names that driver) or a window is open already, with
// the reason in *whyNot when given.
[[nodiscard]] bool StartVisibleScreen(const VisibleScreenOptions& options,
                                      std::string* whyNot = nullptr);
// Closes the window. False when its connection to the display was lost: the program was then
// asked to end (WM_QUIT to the thread that opened the window), and its end must not wait for
// the window; the process ends within 10 seconds of the loss whatever it still does. False too
// when the display does not answer for 4 seconds while the window closes (a frozen link): that
// is said on the error output, and the window is left to the end of the process.
bool StopVisibleScreen();
// The window's pixels (0x00RRGGBB, rows top-down) as next presented; false when no window is
// open or no frame came within a second.
[[nodiscard]] bool CaptureVisibleScreen(std::vector<std::uint32_t>* pixels, int* width,
                                        int* height);

// The icon the window was last given (0x00RRGGBB, rows top-down): the screen's big icon
// (platform::ScreenIcon), taken up within a frame of its change. False when no window is open or
// it was given none.
[[nodiscard]] bool VisibleScreenIcon(std::vector<std::uint32_t>* pixels, int* width, int* height);

} // namespace platform
