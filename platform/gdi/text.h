#pragma once
// Fonts and text, rendered with FreeType from the host's font files. Face names map to files
// by a small table ("Arial", "Microsoft Sans Serif", "MS Sans Serif", an empty face with
// FF_SWISS ...); a face the table does not know, or whose file is missing, falls back to the
// default face with a debug line. Glyphs are cached per font. Safe from any thread.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

constexpr int LF_FACESIZE = 32;
struct LOGFONTW {
    LONG lfHeight; // < 0: character height; > 0: cell height; 0: a default size
    LONG lfWidth;
    LONG lfEscapement;  // tenths of a degree, counter-clockwise
    LONG lfOrientation; // tenths of a degree; the text direction follows lfEscapement
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
};

// Null for a null description.
[[nodiscard]] HFONT CreateFontIndirectW(const LOGFONTW* font);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);

constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
UINT SetTextAlign(HDC dc, UINT align);
[[nodiscard]] UINT GetTextAlign(HDC dc);

constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;
// Draws count characters at (x, y) by the DC's text alignment, font, text colour and
// background mode (OPAQUE fills the text's cell). ETO_OPAQUE fills rect with the background
// colour first; ETO_CLIPPED keeps the text inside rect. widths, when given, are the advances
// of the characters. A rotated font turns the text about (x, y).
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* widths);
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// The size of the text's cells. With fit non-null, *fit is the count of leading characters
// whose extent is at most maxExtent; extents, when given, receive the extent of each prefix
// (of all count characters).
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* extents,
                           SIZE* size);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);

constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_EXTERNALLEADING = 0x0200;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
// Draws text (count -1: up to its terminator) into rect; returns the height of the text, 0 on
// failure. DT_CALCRECT draws nothing and sets rect's right and bottom to the text's extent.
// Without DT_SINGLELINE, CR LF, CR and LF start new lines; DT_WORDBREAK breaks lines between
// words that do not fit the width. Without DT_NOPREFIX '&' underlines the next character and
// "&&" shows one '&'.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

namespace platform {

// Every face resolves to this one font file while it is set (tests keep their pixels
// independent of the installed fonts); an empty path restores the table.
void SetFontFile(const std::filesystem::path& file);
// The font file a description resolves to; empty when neither it nor the default exists.
[[nodiscard]] std::filesystem::path FontFileFor(const LOGFONTW& font);

// Glyphs painted by the text calls since the process started, and how many of the bitmaps they
// needed came from the glyph cache or were rasterised; any thread.
struct GlyphCounts {
    std::uint64_t drawn = 0;
    std::uint64_t cacheHits = 0;
    std::uint64_t rasterised = 0;
};
[[nodiscard]] GlyphCounts CountGlyphs();

// Draws count characters with a halo: in the halo colour at the eight points one pixel around
// (x, y), then in the DC's text colour at (x, y), each placed as ExtTextOutW places it, with no
// background whatever the DC's background mode. Drawn texts note it as one text, on the colour
// most of its glyph pixels covered (its halo where the halo lies under it); the halo is no text
// of its own. FALSE when the DC or a font is missing.
BOOL TextOutWithHalo(HDC dc, int x, int y, LPCWSTR text, UINT count, COLORREF halo);

// Drawn texts, for a check of what the screen shows. While they are kept, each text call notes
// every line it paints into a colour surface (the screen or a bitmap): the text, its colour, the
// colour most of its glyph pixels covered and where they lie; a blit that copies a bitmap's
// pixels unscaled carries the texts it copies along. Off by default; any thread.
struct DrawnText {
    std::u16string text;
    COLORREF colour = 0;
    COLORREF background = 0;
    RECT box{}; // screen pixels of its glyphs
};
// Turning it off forgets every text noted.
void KeepDrawnTexts(bool isOn);
// Forgets the texts noted on the screen.
void ForgetScreenTexts();
// The texts noted on the screen since it last forgot them that it still shows: most of their
// glyph pixels are as they painted them.
[[nodiscard]] std::vector<DrawnText> ShownDrawnTexts();

} // namespace platform
