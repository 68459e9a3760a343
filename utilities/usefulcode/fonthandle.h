#pragma once
// An owned GDI font: one HFONT, 0 when none, deleted when re-created and by the destructor.
// User-interface thread only.

#include "platform/window/windowtypes.h"

class FontHandle {
public:
    FontHandle() = default;
    ~FontHandle() { Delete(); }
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;

    // Deletes the held font, then creates one from an all-zero description with the height (as
    // LOGFONTW's lfHeight: negative for a character height), weight 700 when bold (0 otherwise),
    // italic, quality 4 when antialiased (0 otherwise) and the face (cut to 31 characters).
    // Returns the new font, 0 when it could not be created.
    HFONT Create(LPCWSTR faceName, INT height, bool isBold, bool isItalic, bool isAntialiased);
    // top - bottom as a font height (a negative character height), held within the int range.
    [[nodiscard]] static INT HeightBetween(LONG top, LONG bottom);
    void Delete();
    [[nodiscard]] HFONT Get() const { return m_font; }

private:
    HFONT m_font = nullptr;
};
