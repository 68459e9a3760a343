#pragma once
// Shared by the owner-drawn list and combo boxes: their plain colours and the client point of a
// mouse message.

#include "platform/window/windowtypes.h"

namespace ui::detail {

inline constexpr COLORREF kWhite = 0xFFFFFF;
inline constexpr COLORREF kBlack = 0x000000;

// The signed client coordinates in a mouse message's lParam.
[[nodiscard]] inline POINT PointOf(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace ui::detail
