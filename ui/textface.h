#pragma once
// Button faces that draw the button's caption: `TextFace` (text only, with an optional ">"
// marker, radio circle or right alignment) and `BitmapTextFace` (a language-library bitmap
// under the caption), and `LoadSkinFace`, which makes the face of a face kind.
// User-interface thread only.

#include "ui/skinface.h"

#include <memory>
#include <string>

// Skin colours.
constexpr COLORREF kSkinBackground = 0x78571E;
constexpr COLORREF kSkinTitle = 0xC3B08B;
constexpr COLORREF kSkinPressedText = 0x06AFF4;
constexpr COLORREF kSkinFocusedText = 0x00B4FF;
constexpr COLORREF kSkinDisabledMarker = 0x6E6E6E;
constexpr COLORREF kSkinDisabledText = 0xC0C0C0;
constexpr COLORREF kSkinText = 0xFFFFFF;

struct FaceTextStyle {
    int markerStyle = 0; // 0 none; 1 and 2 draw ">" at the left
    bool isRadio = false;
    bool isRightAligned = false;
};

// Draws text into rect in the colour of state (0 normal, 1 on or pressed, 2 focused, 3
// disabled), transparent, in the DC's font. A CR or LF splits it into an upper and a lower
// line.
void DrawFaceText(HDC dc, const RECT& rect, const std::u16string& text, int state,
                  const FaceTextStyle& style);

class TextFace : public SkinFace {
public:
    explicit TextFace(const FaceTextStyle& style)
        : style_(style) {}
    // Draws nothing: the face is only its caption.
    bool Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) override;
    bool DrawWithText(HDC dc, const RECT& rect, const std::u16string& text, int state) override;
    [[nodiscard]] SIZE GetSize() override { return SIZE{0, 0}; }

private:
    FaceTextStyle style_;
};

class BitmapTextFace : public SkinFace {
public:
    explicit BitmapTextFace(UINT resourceId)
        : bitmap_(resourceId) {}
    bool Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) override;
    // The bitmap drawn transparent, then the caption.
    bool DrawWithText(HDC dc, const RECT& rect, const std::u16string& text, int state) override;
    [[nodiscard]] SIZE GetSize() override { return bitmap_.GetSize(); }

private:
    SkinBitmap bitmap_;
};

// Kind 0: the language-library bitmap id; 1: that bitmap under the caption; 2: caption only;
// 3 and 7: with a ">" marker; 5: radio; 8: right-aligned. Null for kinds 4, 6 and above 8.
[[nodiscard]] std::unique_ptr<SkinFace> LoadSkinFace(UINT id, int kind);
