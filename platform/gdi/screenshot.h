#pragma once
// Screenshots of the screen framebuffer as PNG images (RGB, 8 bits per channel), for tests and
// for people. Safe from any thread.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace platform {

// The screen's pixels (0x00RRGGBB, rows top-down) within rect (screen coordinates; null: the
// whole screen), cut to the screen. False when nothing is left.
[[nodiscard]] bool ReadScreenPixels(const RECT* rect, std::vector<std::uint32_t>* pixels,
                                    int* width, int* height);
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
