#pragma once
// What the list pages' tests read of a list's rows: how high each item's lines are in the
// list's own font, as its rows draw them.

#include "ui/customlistbox.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/paint.h"

#include <algorithm>
#include <string>

// The height of the item with the most lines in the list's font; 0 for an empty list.
inline int TallestItemText(const CustomListBox& list) {
    HWND window = list.GetWindow();
    HDC dc = GetDC(window);
    HGDIOBJ old = list.GetFont() != nullptr ? SelectObject(dc, list.GetFont()) : nullptr;
    int tallest = 0;
    for (int index = 0; index < list.GetCount(); ++index) {
        const std::u16string item = list.GetText(index);
        RECT text{0, 0, 1000, 0};
        DrawTextW(dc, item.c_str(), -1, &text, DT_CALCRECT);
        tallest = std::max(tallest, static_cast<int>(text.bottom));
    }
    if (old != nullptr)
        SelectObject(dc, old);
    ReleaseDC(window, dc);
    return tallest;
}
