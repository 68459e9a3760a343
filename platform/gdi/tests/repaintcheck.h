#pragma once
// Shared by the tests of the layers with windows: the screen compared with the same screen
// repainted whole at once, as a scenario's frame step compares them.

#include "platform/gdi/screenshot.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace repaintcheck {

// The first rectangle where the screen differs from its whole repaint; nothing when they are
// equal (a failure is added when the screen cannot be read or repainted).
inline std::optional<RECT> DifferenceFromWholeRepaint() {
    std::vector<std::uint32_t> shown;
    std::vector<std::uint32_t> whole;
    int width = 0;
    int height = 0;
    const bool isRead = platform::ReadScreenPixels(nullptr, &shown, &width, &height) &&
                        platform::RepaintShownWindowsNow() &&
                        platform::ReadScreenPixels(nullptr, &whole, &width, &height);
    EXPECT_TRUE(isRead);
    return isRead ? platform::FirstDifference(shown, whole, width) : std::nullopt;
}

} // namespace repaintcheck
