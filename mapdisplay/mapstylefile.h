#pragma once
// Style sheets: how each map element class is drawn (pen, bitmap symbol, label font, area brush)
// and up to which view scale, read from and written to "MPL1".."MPL6" streams. Draws nothing; the
// painter turns a loaded sheet into GDI objects. One user at a time.

#include "utilities/usefulcode/ifile.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Common head of every entry. A fresh header has class 0xFFFF, order 0, reserved 0xFFFF.
struct StyleHeader {
    std::uint16_t elementClass = 0xFFFF; // the map element type the entry styles
    std::int16_t order = 0;              // entries with a negative order are not saved
    std::uint16_t reserved = 0xFFFF;
    float maxScale = 0;   // drawn while the view scale is below it; 0 = at every scale
    float labelScale = 0; // labels drawn below it; 0 after reading = half of maxScale
};

struct PenStyle {
    StyleHeader header;
    std::uint16_t width = 0;
    std::uint32_t colour = 0;
    std::uint16_t innerWidth = 0; // 0 = no inner line
    std::uint32_t innerColour = 0;
    void Reset();
};

// A packed DIB (header, colour table, pixels), owned or only borrowed (then the caller keeps the
// bytes alive as long as the entry uses them).
class PackedDibImage {
public:
    void Own(std::vector<std::uint8_t> bytes);
    void Borrow(std::span<const std::uint8_t> bytes);
    void Clear();
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const;
    [[nodiscard]] bool IsEmpty() const { return Bytes().empty(); }
    [[nodiscard]] bool IsBorrowed() const { return m_isBorrowed; }

private:
    std::vector<std::uint8_t> m_owned;
    std::span<const std::uint8_t> m_borrowed;
    bool m_isBorrowed = false;
};

struct SymbolStyle {
    StyleHeader header;
    PackedDibImage image;
    PackedDibImage mask; // only with an image
    void Reset();
};

// Bytes of a packed DIB by its header: 40 + 4 x colours + rows x stride, colours being biClrUsed,
// or 2^bits for up to 8 bits when biClrUsed is 0, or 0 above 8 bits. Nothing for a header of
// fewer than 40 bytes.
[[nodiscard]] std::optional<std::uint64_t> PackedDibSize(std::span<const std::uint8_t> packed);

// Style flags of a font.
constexpr std::uint32_t kFontBold = 1;
constexpr std::uint32_t kFontItalic = 2;
constexpr std::uint32_t kFontThirdFlag = 4;

struct FontStyle {
    StyleHeader header;
    std::u16string faceName; // at most kMaxFaceNameCharacters
    float size = 0;
    std::uint32_t styleFlags = 0;
    std::uint32_t fieldC = 0; // 16 bits used
    std::uint32_t textColour = 0;
    std::uint32_t haloColour = 0xFFFFFF;
    std::uint32_t fieldA = 1; // 3 bits used
    std::uint32_t fieldB = 0; // 5 bits used
    void Reset();
};
constexpr std::size_t kMaxFaceNameCharacters = 64;

struct BrushStyle {
    StyleHeader header;
    std::uint32_t colour = 0;
    // Rows from the top; bit x (least significant first) set for a white pixel at column x.
    std::optional<std::array<std::uint8_t, 8>> pattern;
    void Reset();
};

// Entries of one kind in stream order, a default entry for classes without one, and an index by
// class rebuilt after every change.
template <typename Entry> class StyleList {
public:
    [[nodiscard]] std::size_t Count() const { return m_entries.size(); }
    [[nodiscard]] std::uint16_t GetClassAt(std::size_t position) const {
        return m_entries.at(position).header.elementClass;
    }
    // The entry of the class, or the default entry.
    [[nodiscard]] const Entry& Get(std::uint32_t elementClass) const;
    // False on a short or refused entry; entries read whole before it are kept.
    [[nodiscard]] bool Read(IFile& stream, int version);
    [[nodiscard]] bool Write(IFile& stream, int version) const;
    // The largest order of the entries; -1 for an empty list.
    [[nodiscard]] int GetMaxOrder() const;
    // Grows the list with fresh entries when position lies beyond the end.
    void SetClassAt(std::size_t position, std::uint16_t elementClass);
    void Remove(std::size_t position);

    void Add(const Entry& entry);
    [[nodiscard]] const Entry& At(std::size_t position) const { return m_entries.at(position); }
    [[nodiscard]] Entry& DefaultEntry() { return m_default; }
    [[nodiscard]] const Entry& DefaultEntry() const { return m_default; }
    // The classes the index covers: [LowestClass, LowestClass + IndexSize).
    [[nodiscard]] std::uint32_t LowestClass() const { return m_lowestClass; }
    [[nodiscard]] std::size_t IndexSize() const { return m_index.size(); }

private:
    void Reindex();

    std::vector<Entry> m_entries;
    Entry m_default;
    std::uint32_t m_lowestClass = 0;
    std::vector<int> m_index; // position by class - m_lowestClass; -1 = none
};

using PenStyleList = StyleList<PenStyle>;
using SymbolStyleList = StyleList<SymbolStyle>;
using FontStyleList = StyleList<FontStyle>;
using BrushStyleList = StyleList<BrushStyle>;

class MapStyleFile {
public:
    virtual ~MapStyleFile() = default;
    // Empty lists, background 0xFFFFFF.
    virtual void Clear();
    // Reads a whole stream positioned at its start. False on a bad tag or when the pen, symbol
    // or font list cannot be read; the object is then partly filled and should be discarded. A
    // missing background or brush list still gives true (older streams end there).
    [[nodiscard]] virtual bool Load(IFile& stream);
    // Writes version 1 to 6 (0 = 6). Versions 1 to 5 cannot hold symbols: false at the symbol
    // list. False on any short write.
    [[nodiscard]] virtual bool Save(IFile& stream, int version) const;
    // Opens the file for reading and loads it; false when it cannot be opened.
    [[nodiscard]] bool LoadFile(const std::u16string& path);

    PenStyleList pens;
    SymbolStyleList symbols;
    FontStyleList fonts;
    BrushStyleList brushes;
    std::uint32_t background = 0xFFFFFF; // COLORREF
};

// One row of the scale table, by class.
struct ScaleRow {
    float maxScale;
    float labelScale;
    float doubleLabelScale;
    bool operator==(const ScaleRow&) const = default;
};

// Fills the painter's scale table from the sheet's symbol, pen and brush lists in that order (a
// later list overrides an earlier one for the same class). A max scale of 0 becomes the largest
// finite float; classes no entry names get {largest float, 0, 0}. The table holds one row more
// than the highest indexed class and never shrinks.
void BuildScaleTable(const MapStyleFile& sheet, std::vector<ScaleRow>& table);
