#pragma once
// The label layer: collects the texts of a map paint (street names along lines, point labels,
// road-number shields), keeps at most 200 without overlaps (the smaller class wins, but never
// over a label kept in the picture by a scroll or a partial repaint) and draws them over the
// finished map, rotated, with a halo or in a box. User-interface thread only.

#include "mapdisplay/gdicache.h"
#include "mapdisplay/labelgrid.h"
#include "mapdisplay/labeltextindex.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The process-wide label fonts: LOGFONTs (compared byte by byte) by key. Key 0 is the street
// font, key 1 the shield font; point-label fonts get keys from 3 on.
class LabelFontTable {
public:
    static LabelFontTable& Instance();

    // The key of the font, registering it on first use.
    std::uint32_t KeyOf(const LOGFONTW& font);
    // The font of a key; nothing for an unknown key.
    [[nodiscard]] std::optional<LOGFONTW> FontOf(std::uint32_t key) const;
    void SetBaseFonts(const LOGFONTW& street, const LOGFONTW& shield);
    // Day: text 0x3C3C3C on halo 0xDCDCDC; night swaps them.
    void SetStreetColours(bool isDay);
    [[nodiscard]] COLORREF StreetText() const { return m_streetText; }
    [[nodiscard]] COLORREF StreetHalo() const { return m_streetHalo; }

private:
    std::vector<std::pair<LOGFONTW, std::uint32_t>> m_fonts;
    std::uint32_t m_counter = 2;
    LOGFONTW m_street{};
    LOGFONTW m_shield{};
    COLORREF m_streetText = 0x3C3C3C;
    COLORREF m_streetHalo = 0xDCDCDC;
};

constexpr std::uint32_t kLabelBoxed = 1;

struct Label {
    RECT bounds{};                  // encloses the corners, device pixels
    std::array<POINT, 4> corners{}; // around the rotated box, from where the text starts
    double angle = 0;               // radians, counter-clockwise, 0 = horizontal
    std::uint32_t flags = 0;        // kLabelBoxed
    std::uint32_t priority = 0;     // the element class; smaller wins
    std::uint32_t fontKey = 0;      // in LabelFontTable
    COLORREF textColour = 0;
    COLORREF haloColour = 0; // a boxed label's box colour
    std::u16string text;
    bool isKept = false; // in the picture a scroll or partial repaint kept: none displaces it
};

// True when the labels overlap: their bounding rectangles share area and an edge of one crosses
// an edge of the other, or one lies wholly inside the other.
[[nodiscard]] bool LabelsOverlap(const Label& a, const Label& b);
// Douglas-Peucker with a tolerance in pixels: the indices of the kept points, first and last
// always. A point beyond a chord's end counts the larger axis distance to that end plus a third
// of the smaller. A negative tolerance counts as 0.
[[nodiscard]] std::vector<std::size_t> SimplifyPolyline(const POINT* points, std::size_t count,
                                                        double tolerance);
// The rotated box of a size centred on anchor at angle (radians), corners truncated to pixels.
[[nodiscard]] std::array<POINT, 4> RotatedBox(double anchorX, double anchorY, SIZE size,
                                              double angle);
// Escapement of an angle in tenths of a degree, in 2-degree steps toward 0.
[[nodiscard]] int LabelEscapement(double angle);

// The process-wide cache of 6 solid brushes by colour.
GdiCache<COLORREF>& LabelBrushCache();

class LabelLayer {
public:
    static constexpr std::size_t kMaxLabels = 200;
    static constexpr std::size_t kFontCacheSize = 90;

    LabelLayer();
    ~LabelLayer();
    LabelLayer(const LabelLayer&) = delete;
    LabelLayer& operator=(const LabelLayer&) = delete;

    // Sizes the fonts for the DC; re-creates them only when the street font's height changes.
    void Begin(HDC dc);
    void Clear();
    // After a scroll: drops the labels whose bounds miss rect, moves the rest by offset. The
    // labels kept are in the kept picture already: until the next Clear, Shift or KeepAround no
    // label displaces them, and no new label reaches, halo included, into the kept picture (rect
    // less the strip the scroll uncovered), so none is drawn over it or cut at the strip's edge.
    void Shift(POINT offset, const RECT& rect);
    // Before a repaint of part of an unchanged view: keeps every label, as Shift keeps those it
    // moves, and the kept picture is view less redrawn. The labels reaching into redrawn are
    // drawn again whole, with the same pixels where the picture kept them. When the labels are
    // those placed over the whole view since the last Clear, the repaint places none: they are
    // what a repaint of the whole view places, and a label offered again now would land where
    // that one refused it (refused by a label displaced later, or offered along only the part
    // of its line the repaint draws). Otherwise (after a scroll or a change of day) new ones
    // stay inside redrawn. When redrawn covers the view, clears instead: the labels are placed
    // anew (an option that changes them repaints the whole view).
    void KeepAround(const RECT& view, const RECT& redrawn);
    // Sets the street colours of the day or the night; on a change also clears the labels and
    // re-creates the fonts.
    void SetDay(bool isDay);
    [[nodiscard]] bool IsDay() const { return m_isDay; }

    // Each returns true when the label was placed.
    bool AddStreetLabel(const POINT* points, int count, std::u16string_view text,
                        std::uint32_t elementClass);
    // font null: the street font (key 0).
    bool AddPointLabel(POINT corner1, POINT corner2, std::u16string_view text,
                       std::uint32_t elementClass, const LOGFONTW* font, COLORREF textColour,
                       COLORREF haloColour);
    bool AddShield(const POINT* points, int count, std::u16string_view text, COLORREF boxColour,
                   COLORREF textColour, std::uint32_t elementClass);
    // Draws the labels but those kept wholly in one part of the kept picture (after Shift or
    // KeepAround), which hold their pixels there already.
    void Draw(HDC dc, bool halo);

    // What placing cost since the layer was made: the labels offered for a place (after the
    // text checks) and the placed labels each was tested against.
    struct PlacementCounts {
        std::uint64_t candidates = 0;
        std::uint64_t tests = 0;
    };

    // Ordered by font key, then text.
    [[nodiscard]] const std::vector<Label>& Labels() const;
    [[nodiscard]] const PlacementCounts& Counts() const { return m_counts; }
    [[nodiscard]] std::size_t CachedFontCount() const { return m_fontCache.Count(); }

private:
    using FontKey = std::pair<std::uint32_t, int>; // font key, escapement
    HGDIOBJ CreateFontFor(const FontKey& key) const;
    void CreateFonts(int logPixelsY);
    void DeleteFonts();
    std::optional<SIZE> Measure(std::uint32_t fontKey, std::u16string_view text);
    bool IsAdmitted(std::uint32_t fontKey, std::u16string_view text, bool skipDuplicates) const;
    // Places label with text (label.text is left empty: the slot's text buffer is reused).
    bool Place(Label& label, std::u16string_view text);
    // True for a kept label whose pixels, halo included, lie wholly in one part of the kept
    // picture: drawing it again would change none of them.
    [[nodiscard]] bool IsWithinKeptPicture(const Label& label) const;
    // Sorts m_order by font key, text and placement when a change left it unsorted.
    void Order() const;
    // Forgets every label.
    void DropLabels();
    // Forgets the label of an id (taken out of the order already).
    void FreeSlot(std::uint32_t id);
    bool PlaceOnSegment(POINT a, POINT b, std::u16string_view text, std::uint32_t elementClass,
                        std::uint32_t fontKey, COLORREF textColour, COLORREF haloColour,
                        bool isRotated);

    GdiCache<FontKey> m_fontCache;
    HDC m_measureDc = nullptr;
    HGDIOBJ m_measureFont = nullptr; // selected into m_measureDc
    HFONT m_streetFont = nullptr;
    HFONT m_shieldFont = nullptr;
    LONG m_streetHeight = 0;
    std::uint32_t m_pointSize = 10;
    // The placed labels by id (the grid's); the slots from m_slotCount on, and those of m_freeIds,
    // are free, and keep their text buffers for the next labels. By id also: each label's text
    // hash and the count of placements when it was placed.
    std::vector<Label> m_slots;
    std::size_t m_slotCount = 0;
    std::vector<std::uint64_t> m_textHashes;
    std::vector<std::uint64_t> m_placedAs;
    std::uint64_t m_placements = 0;
    // The ids of the placed labels. Ordered by font key, then text, then placement (the order
    // in which they are drawn and listed) when m_isOrdered; sorted when that order is asked for.
    mutable std::vector<std::uint32_t> m_order;
    mutable bool m_isOrdered = true;
    std::vector<std::uint32_t> m_freeIds;
    LabelGrid m_grid;
    LabelTextIndex m_texts;
    mutable std::vector<Label> m_labels; // Labels(), made again after a change
    mutable bool m_isListed = true;
    std::vector<std::uint32_t> m_found;
    std::vector<std::size_t> m_kept; // the points a street's simplified line keeps
    PlacementCounts m_counts;
    // The kept picture (empty but after a scroll or a partial repaint) in up to four parts.
    std::array<RECT, 4> m_keptPicture{};
    std::size_t m_keptParts = 0;
    // The labels are those placed over the whole view since the last Clear; while a repaint of
    // part of that view keeps them (a kept picture), none is placed.
    bool m_isWholePlacement = false;
    bool m_isDay = true;
};
