#pragma once
// Layout values of the screen-description file (AppPaths::GetScreenDescFilePath), read through
// IniProfile: comma-separated integers per key. A missing key reads as an empty value.

#include "platform/types.h"

#include <string>

struct ScreenDescSize {
    INT width = 0;
    INT height = 0;
};

struct ScreenDescRect {
    INT left = 0;
    INT top = 0;
    INT right = 0;
    INT bottom = 0;
};

struct ScreenDescItem {
    ScreenDescRect rect;
    // 1..8 for a fifth value of 1, 2, 4 ... 128 (low byte), 0 for another or no fifth value,
    // 9 for an empty value.
    INT kind = 0;
};

class ScreenDesc {
public:
    // The text before the first ',' and the text after it, each read like _wtol.
    [[nodiscard]] static ScreenDescSize GetSize(LPCWSTR section, LPCWSTR key);
    // Four integers separated by ','; missing ones read as 0.
    [[nodiscard]] static ScreenDescRect GetRect(LPCWSTR section, LPCWSTR key);
    [[nodiscard]] static ScreenDescItem GetRectAndFlag(LPCWSTR section, LPCWSTR key);
    // Key "Bitmap", empty when missing.
    [[nodiscard]] static std::u16string GetBitmapName(LPCWSTR section);
    // Key "Htp", "ZU_Deridivira.htc" when missing.
    [[nodiscard]] static std::u16string GetHelpFile(LPCWSTR section);

    // A value read as GetSize and GetRectAndFlag read it, for readers of a layout's text.
    [[nodiscard]] static ScreenDescSize ParseSize(const std::u16string& value);
    [[nodiscard]] static ScreenDescItem ParseRectAndFlag(const std::u16string& value);
};
