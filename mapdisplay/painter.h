#pragma once
// The painter: turns a style sheet into GDI objects (MapStyle) and draws map elements with them
// (lines joined into batches with outer and inner pens and direction arrows, symbols, areas,
// road-number shields, name labels), and prepares and finishes each paint (back buffer, clip,
// reuse of the last picture when the view only scrolled). User-interface thread only.

#include "mapdisplay/labellayer.h"
#include "mapdisplay/mapstylefile.h"
#include "mapdisplay/maptransform.h"
#include "utilities/mapgeometry/geometrypool.h"

#include "platform/gdi/gdi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PainterState;
struct DrawContext;

// The two texts labels and shields are made of, by the name id of an element.
class INameReader {
public:
    virtual ~INameReader() = default;
    // The element's full name; false when it has none.
    [[nodiscard]] virtual bool GetName(std::uint32_t nameId, std::u16string& text) = 0;
    // The road-number text shields show; false when there is none.
    [[nodiscard]] virtual bool GetRoadNumber(std::uint32_t nameId, std::u16string& text) = 0;
};

struct DrawOptions {
    DrawOptions();
    ~DrawOptions();
    DrawOptions(const DrawOptions&) = delete;
    DrawOptions& operator=(const DrawOptions&) = delete;

    bool halo = true;
    bool backBuffer = true;
    bool names = true;
    bool houseNumbers = false;
    bool streetNames = true;
    bool northArrow = false;
    bool optionFlag = false;
    std::array<COLORREF, 5> highlightColours{};
    float labelScaleFactor = 1.0F; // a street name is placed while label scale > scale / factor
    bool shieldCountry = false;
    bool widen = true;
    float widenScale = 4.0F; // below it lines are drawn wider
    std::unique_ptr<PainterState> state;
};

// The style's GDI objects. Tables are sized first and each entry built in place, so that an
// entry holding GDI objects is never copied; every object that could not be made stays null
// and is never drawn with.
class MapStyle {
public:
    struct PenEntry {
        PenEntry() = default;
        ~PenEntry();
        PenEntry(const PenEntry&) = delete;
        PenEntry& operator=(const PenEntry&) = delete;
        bool hasInner = false;
        std::uint16_t outerWidth = 1;
        std::uint16_t innerWidth = 0;
        COLORREF colour = 0;
        COLORREF innerColour = 0;
        HPEN outer = nullptr;
        HPEN inner = nullptr;
        HPEN widenedInner = nullptr; // cached for the last widening
        HPEN widenedOuter = nullptr;
        HPEN thin = nullptr;
    };
    struct SymbolEntry {
        SymbolEntry() = default;
        ~SymbolEntry();
        SymbolEntry(const SymbolEntry&) = delete;
        SymbolEntry& operator=(const SymbolEntry&) = delete;
        int width = 1;
        int height = 1;
        HBITMAP image = nullptr;
        HBITMAP mask = nullptr; // one bit per pixel, black where transparent
    };
    struct FontEntry {
        LOGFONTW font{};
        COLORREF textColour = 0;
        COLORREF haloColour = 0xFFFFFF;
    };
    struct BrushEntry {
        BrushEntry() = default;
        ~BrushEntry();
        BrushEntry(const BrushEntry&) = delete;
        BrushEntry& operator=(const BrushEntry&) = delete;
        COLORREF colour = 0;
        HBRUSH brush = nullptr;
    };

    // Entries by class: [lowest, lowest + count) map to built entries, others to the default.
    template <typename Entry> class Table {
    public:
        [[nodiscard]] Entry& Get(std::uint32_t elementClass);
        [[nodiscard]] Entry& Default() { return *m_default; }
        void Resize(std::uint32_t lowest, std::size_t entryCount, std::size_t classSpan);
        void Assign(std::uint32_t elementClass, std::size_t entry);
        [[nodiscard]] Entry& EntryAt(std::size_t entry) { return m_entries[entry]; }
        [[nodiscard]] std::size_t EntryCount() const { return m_count; }

    private:
        std::unique_ptr<Entry[]> m_entries;
        std::size_t m_count = 0;
        std::unique_ptr<Entry> m_default = std::make_unique<Entry>();
        std::uint32_t m_lowest = 0;
        std::vector<Entry*> m_byClass; // null: the default entry
    };

    MapStyle() = default;
    MapStyle(const MapStyle&) = delete;
    MapStyle& operator=(const MapStyle&) = delete;

    // Reads the style file and builds every table anew; false (old tables kept) when it does
    // not load.
    [[nodiscard]] bool Load(const std::u16string& path);
    // Builds the tables from a loaded sheet.
    void Build(const MapStyleFile& sheet);
    void FillBackground(const DrawContext& context) const;

    // Pen choice for the outer line of a class at a scale (the selected pen is kept while the
    // class stays the same). False when there is no pen to draw with.
    bool SelectOuterPen(HDC dc, std::uint16_t elementClass, float scale,
                        const DrawOptions& options);
    // The inner line's pen: false when the class has none at this scale.
    bool SelectInnerPen(HDC dc, std::uint16_t elementClass, float scale,
                        const DrawOptions& options);
    void ClearSelectedClass() { m_selectedClass = 0; }
    // How many pixels beyond a line's centre its widest pen at the scale may ink: half the
    // widest pen of the classes drawn at the scale, and one for rounding. A line farther than
    // this outside a part of the view leaves that part as it is.
    [[nodiscard]] int PenReach(float scale, const DrawOptions& options);

    [[nodiscard]] float LabelScale(std::uint16_t elementClass) const;
    [[nodiscard]] float MaxScale(std::uint16_t elementClass) const;
    [[nodiscard]] COLORREF Background() const { return m_background; }
    [[nodiscard]] const std::vector<ScaleRow>& ScaleTable() const { return m_scales; }

    Table<PenEntry> pens;
    Table<SymbolEntry> symbols;
    Table<FontEntry> fonts;
    Table<BrushEntry> brushes;

private:
    COLORREF m_background = 0xFFFFFF;
    std::uint16_t m_selectedClass = 0;
    HPEN m_selectedPen = nullptr;
    HDC m_selectedDc = nullptr;
    std::vector<ScaleRow> m_scales;
    // The last PenReach and what it was for (none while pixels is 0).
    struct Reach {
        float scale = 0;
        bool widen = false;
        float widenScale = 0;
        int pixels = 0;
    } m_reach;
};

// Consecutive lines of one class, direction and continuity joined into one polyline.
class LineBatch {
public:
    static constexpr std::size_t kMaxPoints = 1024;
    static constexpr int kArrowSpacing = 600;

    // Adds a line's map points; flushes first when the class or direction differs, the line
    // does not continue the batch or the batch would be full. Segments outside the view end a
    // visible run. Returns the visible runs' device points (for labels), valid until the next
    // Add; RunStarts tells where each run begins.
    const std::vector<POINT>& Add(DrawContext& context, const MapPoint* points, std::size_t count,
                                  std::uint16_t elementClass, int direction, int pass);
    // Pass 0 draws the outer line, pass 1 the inner line and the arrows, any other both.
    void Flush(DrawContext& context, int pass);
    void SetArrows(bool isOn) { m_arrows = isOn; }
    [[nodiscard]] std::size_t PointCount() const { return m_points.size(); }
    [[nodiscard]] const std::vector<std::size_t>& RunStarts() const { return m_runStarts; }

private:
    std::vector<POINT> m_points;
    std::vector<POINT> m_device;  // the line being added
    std::vector<POINT> m_visible; // its visible points
    std::vector<std::size_t> m_runStarts;
    std::uint16_t m_class = 0;
    int m_direction = 0;
    bool m_arrows = false;
};

// The 7-point arrow at m pointing along (direction 1) or against (2) the segment a to b.
[[nodiscard]] std::array<POINT, 7> DirectionArrow(POINT a, POINT b, POINT m, int direction);
// Arrows along the polyline every kArrowSpacing pixels of running length.
void DrawDirectionArrows(HDC dc, const std::vector<POINT>& points, int direction);

struct DrawContext {
    std::shared_ptr<DrawOptions> options;
    HDC dc = nullptr;
    RECT rect{};
    MapStyle* style = nullptr;
    // Keeps the style alive while the context refers to it, when its owner may replace it (a
    // level file loaded on another thread between the drawing pass and EndPaint).
    std::shared_ptr<MapStyle> styleHolder;
    const IMapTransform* transform = nullptr;
    float scale = 0;
    bool depthDiffers = false;
    bool clipActive = false;
    bool fillBackground = false;
    std::uint32_t screenPpiX = 96;
    std::uint32_t screenPpiY = 96;
    std::uint32_t targetPpiX = 96;
    std::uint32_t targetPpiY = 96;
    std::shared_ptr<INameReader> nameReader;
    LineBatch* lineBatch = nullptr;
    LabelLayer* labels = nullptr;
};

// An off-screen bitmap the paint draws into and copies to the real DC at the end.
struct BackBuffer {
    BackBuffer() = default;
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    // Null when the DC or bitmap cannot be made.
    [[nodiscard]] static std::shared_ptr<BackBuffer> Create(HDC compatible, int width, int height);

    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    int width = 0;
    int height = 0;
    RECT rect{};
    HDC realDc = nullptr; // while painting
};

// What the painter keeps from one paint to the next.
class PainterState {
public:
    PainterState() = default;
    ~PainterState();
    PainterState(const PainterState&) = delete;
    PainterState& operator=(const PainterState&) = delete;

    struct View {
        RECT rect{};
        double scale = 0;
        double rotation = 0;
        MapPoint centre;
        std::array<MapPoint, 4> corners{};
        POINT residual{}; // pixels by which the picture lags the view (below 3 per axis)
    };
    std::shared_ptr<BackBuffer> backBuffer;
    std::optional<View> lastView; // the view the picture shows
    POINT scrollOffset{};
    HRGN savedClip = nullptr;
    RECT fullRect{};
    LabelLayer labels;
    LineBatch lineBatch;
    COLORREF lastBackground = 0xFFFFFF;
    int changeCode = 0;
    // A scroll's picture is the old one moved by whole pixels: the view drawn whole differs from
    // it where the move was no exact translation (a fraction of a pixel, a latitude that changes
    // the horizontal scale), so the next paint of the same view draws it whole.
    bool isScrolled = false;
    bool isSettling = false; // this paint draws a scrolled picture whole
};

// Fills the context and prepares the DC: back buffer, the view change code (0-9) and, for a
// scroll, the reuse of the last picture with only the uncovered strip left to draw, the clip.
void BeginPaint(DrawContext& context, std::shared_ptr<DrawOptions> options, HDC dc,
                const RECT& rect, const IMapTransform& transform, HDC targetDc, bool isFullRedraw);
// After a drawing pass that was skipped or stopped early: the back buffer holds no whole picture
// of the view, so the next paint draws the view whole instead of reusing it.
void DiscardPicture(DrawContext& context);
// Sets the labels' day or night before the drawing pass. A change drops the labels: a paint of
// part of the view (a scroll's strip, the clip box) then draws the view whole, so that its labels
// are those a paint of the whole view places, not those that fit in the part.
void SetPaintDay(DrawContext& context, bool isDay);
// Restores the clip and draws the collected labels; nothing once done.
void FinishLabels(DrawContext& context);
// Finishes the labels, copies the back buffer to the real DC, draws the north arrow.
void EndPaint(DrawContext& context);
// A needle of radii 50 and 70 turned by the angle (degrees), centred 75 pixels left of and
// above the corner, with a letter N, in a black 3-pixel pen.
void DrawNorthArrow(HDC dc, POINT corner, double angle);

// Shield prefixes and colours of a country: the 1010 entry and the 1020/1030 entry.
struct ShieldStyle {
    std::optional<std::u16string_view> prefix;
    COLORREF background = 0;
    COLORREF text = 0;
};
struct ShieldRow {
    int country = 0;
    ShieldStyle motorway;
    ShieldStyle primary;
};
// The rows in their fixed order.
[[nodiscard]] const std::vector<ShieldRow>& ShieldTable();
// The row's style for the class (country 17's row for a country without one); none for a class
// outside 1010..1030.
[[nodiscard]] std::optional<ShieldStyle> ShieldStyleFor(int country, std::uint16_t elementClass);
// The shield text of a road-number text; empty for no shield.
[[nodiscard]] std::u16string ShieldText(std::u16string_view roadNumber,
                                        std::optional<std::u16string_view> prefix);
// The label of a full name: cut before the character that precedes the road-number text; none
// when that cut falls before the start, the whole name when the road number does not occur.
[[nodiscard]] std::optional<std::u16string> LabelText(const std::u16string& fullName,
                                                      const std::u16string& roadNumber);

// Element routines. Each returns 0 when the element must come back in the second pass.
int DrawLine(MapStyle& style, DrawContext& context, const GeometryElement& element, int pass,
             int country);
int DrawPolyline(MapStyle& style, DrawContext& context, const GeometryElement& element, int pass,
                 int country);
void DrawSymbol(MapStyle& style, DrawContext& context, const GeometryElement& element);
void DrawArea(MapStyle& style, DrawContext& context, const GeometryElement& element);
void DrawShield(DrawContext& context, std::uint32_t nameId, const POINT* points, int count,
                int country, std::uint16_t elementClass);
// By the element's kind letter; 1 when it must be drawn again in the second pass.
int DrawElement(DrawContext& context, const GeometryElement& element, int pass, int country);
// The grey a one-bit device fills an area of the colour with.
[[nodiscard]] COLORREF OneBitGrey(COLORREF colour);
