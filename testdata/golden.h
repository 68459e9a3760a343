#pragma once
// Golden pictures: compares the pixels of a memory DC's bitmap or of a window exactly with a
// committed PNG, <folder>/tests/golden/<name>.png. A missing or differing golden fails; with the
// environment variable NAV_UPDATE_GOLDEN=1 the golden is written instead. On a mismatch the
// actual picture is written to golden-actual/<name>.png in the working (build) folder.

#include "platform/window/windowtypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

// The width x height pixels from the top-left of the bitmap selected into dc.
[[nodiscard]] ::testing::AssertionResult DcMatchesGolden(HDC dc, int width, int height,
                                                         const std::filesystem::path& folder,
                                                         const std::string& name);
// The window as it is on the screen (platform::ScreenshotPng).
[[nodiscard]] ::testing::AssertionResult
WindowMatchesGolden(HWND window, const std::filesystem::path& folder, const std::string& name);
// A PNG file written elsewhere (a frame of a program run); a file that cannot be read fails.
[[nodiscard]] ::testing::AssertionResult PngFileMatchesGolden(const std::filesystem::path& png,
                                                              const std::filesystem::path& folder,
                                                              const std::string& name);

// The width and height of the picture in a PNG file; {0, 0} when it holds none.
[[nodiscard]] std::pair<int, int> PngFileSize(const std::filesystem::path& png);

// The picture of a PNG file: 0x00RRGGBB pixels, rows top-down; all empty when it holds none.
struct PngPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    [[nodiscard]] std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};
[[nodiscard]] PngPicture ReadPngFile(const std::filesystem::path& png);

} // namespace testdata
