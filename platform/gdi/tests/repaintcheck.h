#pragma once
// Shared by the tests of the layers with windows: the screen compared with the same screen
// repainted whole at once, as a scenario's frame step compares them.

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

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

inline LRESULT FilledPopupProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    const auto brush = static_cast<int>(GetWindowLongW(window, GWL_USERDATA));
    FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(brush)));
    EndPaint(window, &paint);
    return 0;
}

// A shown popup at rect (screen coordinates) of the class, registered with the procedure on
// first use, holding userData as its GWL_USERDATA.
inline HWND MakePopup(const RECT& rect, LPCWSTR className, WNDPROC procedure, LONG_PTR userData) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    (void)RegisterClassW(&windowClass); // once; later registrations fail and change nothing
    HWND window =
        CreateWindowExW(0, className, u"", WS_POPUP, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongW(window, GWL_USERDATA, userData);
    ShowWindow(window, SW_SHOWNA);
    return window;
}

// A shown popup at rect (screen coordinates) that paints itself with the stock brush.
inline HWND MakeFilledPopup(const RECT& rect, int stockBrush) {
    return MakePopup(rect, u"RepaintCheckFilled", FilledPopupProcedure, stockBrush);
}

} // namespace repaintcheck
