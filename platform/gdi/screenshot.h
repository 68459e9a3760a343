#pragma once
// Screenshots of the screen framebuffer as PNG images (RGB, 8 bits per channel), for tests and
// for people. Safe from any thread.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

// The screen's pixels (0x00RRGGBB, rows top-down) within rect (screen coordinates; null: the
// whole screen), cut to the screen. False when nothing is left.
[[nodiscard]] bool ReadScreenPixels(const RECT* rect, std::vector<std::uint32_t>* pixels,
                                    int* width, int* height);
// What the visible window shows: the screen's pixels as ReadScreenPixels reads them whole, or,
// while a ScreenHold lives, the screen as it was when the hold began.
[[nodiscard]] bool ReadShownPixels(std::vector<std::uint32_t>* pixels, int* width, int* height);

// For tests of a read that meets a hold beginning: called by ReadShownPixels, on the reading
// thread, once it has looked for a hold and found none, right before it reads the screen (with
// GDI's lock held: the hook must not draw). An empty function: none. Set it while no other thread
// reads.
void SetShownReadHook(std::function<void()> hook);

// Keeps the screen as it is in what the window shows while it lives, and puts that picture back
// on the screen when it ends: a check may paint the screen for its own purposes meanwhile (fill
// it, repaint it whole) without the user ever seeing it, and leaves the screen as it found it,
// but for what windows of other threads painted meanwhile (a box that came up), which paints
// again after it. One hold at a time; a hold made while another lives does nothing.
class ScreenHold {
public:
    ScreenHold();
    ~ScreenHold();
    ScreenHold(const ScreenHold&) = delete;
    ScreenHold& operator=(const ScreenHold&) = delete;

private:
    bool m_isHolding = false;
};

// Where two pictures of the same size (width pixels a row) differ first: from the first row that
// differs down through the differing rows that follow it, across the columns that differ in
// them. Nothing when they are equal; the whole picture when their sizes differ.
[[nodiscard]] std::optional<RECT> FirstDifference(const std::vector<std::uint32_t>& before,
                                                  const std::vector<std::uint32_t>& after,
                                                  int width);
// A PNG image of the screen (window null) or of a window's rectangle as it is on the screen;
// empty on failure.
[[nodiscard]] std::vector<std::uint8_t> ScreenshotPng(HWND window);
// Writes ScreenshotPng to a host file; false when there is no image or the file cannot be
// written.
[[nodiscard]] bool SaveScreenshot(HWND window, const std::filesystem::path& hostFile);
// Writes pixels as read by ReadScreenPixels to a host file as PNG; false when they cannot be
// encoded or the file cannot be written.
[[nodiscard]] bool SavePng(const std::vector<std::uint32_t>& pixels, int width, int height,
                           const std::filesystem::path& hostFile);
// Encodes pixels (0x00RRGGBB, rows top-down) as PNG; empty on failure.
[[nodiscard]] std::vector<std::uint8_t> EncodePng(const std::vector<std::uint32_t>& pixels,
                                                  int width, int height);

} // namespace platform
