#include "mapdisplay/mapstylefile.h"

#include "utilities/usefulcode/handlefile.h"

#include "platform/gdi/dib.h"
#include "platform/kernel/debug.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr std::size_t kHeaderBytes = 40;
constexpr std::size_t kOldColourTableBytes = 64; // 16 colours
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;
constexpr std::int16_t kMaxFaceNameLength = 2 * kMaxFaceNameCharacters + 1;

void Report(const std::string& what) {
    const std::u16string text = u"style sheet: " + std::u16string(what.begin(), what.end()) + u"\n";
    OutputDebugStringW(text.c_str());
}

// Whole reads only: a short read counts as failed.
bool ReadExact(IFile& stream, void* buffer, std::size_t count) {
    return stream.Read(buffer, static_cast<DWORD>(count)) == count;
}

template <typename T> bool ReadValue(IFile& stream, T& value) {
    std::array<std::uint8_t, sizeof(T)> bytes{};
    if (!ReadExact(stream, bytes.data(), bytes.size())) {
        return false;
    }
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        raw |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    if constexpr (std::is_same_v<T, float>) {
        value = std::bit_cast<float>(raw);
    } else {
        value = static_cast<T>(raw);
    }
    return true;
}

// Reads count bytes in chunks, so that a count larger than the stream allocates no more than the
// stream holds.
bool ReadBlock(IFile& stream, std::uint64_t count, std::vector<std::uint8_t>& out) {
    out.clear();
    while (out.size() < count) {
        const std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, count - out.size()));
        const std::size_t at = out.size();
        out.resize(at + step);
        if (!ReadExact(stream, out.data() + at, step)) {
            Report("a block of " + std::to_string(count) + " bytes runs past the end");
            return false;
        }
    }
    return true;
}

bool WriteExact(IFile& stream, const void* buffer, std::size_t count) {
    return count == 0 || stream.Write(buffer, static_cast<DWORD>(count)) == count;
}

template <typename T> bool WriteValue(IFile& stream, T value) {
    std::uint32_t raw = 0;
    if constexpr (std::is_same_v<T, float>) {
        raw = std::bit_cast<std::uint32_t>(value);
    } else {
        raw = static_cast<std::uint32_t>(value);
    }
    std::array<std::uint8_t, sizeof(T)> bytes{};
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
    }
    return WriteExact(stream, bytes.data(), bytes.size());
}

bool ReadHeader(IFile& stream, int version, StyleHeader& header) {
    if (!ReadValue(stream, header.elementClass) || !ReadValue(stream, header.order) ||
        !ReadValue(stream, header.reserved)) {
        return false;
    }
    if (version >= 3 && !ReadValue(stream, header.maxScale)) {
        return false;
    }
    if (version >= 5 && !ReadValue(stream, header.labelScale)) {
        return false;
    }
    if (header.labelScale == 0) {
        header.labelScale = header.maxScale / 2;
    }
    return true;
}

bool WriteHeader(IFile& stream, int version, const StyleHeader& header) {
    return WriteValue(stream, header.elementClass) && WriteValue(stream, header.order) &&
           WriteValue(stream, header.reserved) &&
           (version < 3 || WriteValue(stream, header.maxScale)) &&
           (version < 5 || WriteValue(stream, header.labelScale));
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint64_t ColourCount(std::span<const std::uint8_t> header) {
    const std::uint32_t bitCount = Get32(header, 14) & 0xFFFF;
    const std::uint32_t used = Get32(header, 32);
    if (used != 0) {
        return used;
    }
    return bitCount <= 8 ? std::uint64_t{1} << bitCount : 0;
}

// A packed DIB is kept only when its byte count matches its header and the bitmap reader accepts
// it.
bool AcceptPackedDib(std::vector<std::uint8_t> bytes, PackedDibImage& image) {
    const std::optional<std::uint64_t> expected = PackedDibSize(bytes);
    platform::PackedDib dib;
    if (!expected || *expected != bytes.size() || !platform::ReadPackedDib(bytes, &dib)) {
        Report("a packed bitmap of " + std::to_string(bytes.size()) +
               " bytes disagrees with its header");
        return false;
    }
    image.Own(std::move(bytes));
    return true;
}

bool ReadPackedImage(IFile& stream, PackedDibImage& image) {
    std::uint32_t count = 0;
    if (!ReadValue(stream, count)) {
        return false;
    }
    image.Clear();
    if (count == 0) {
        return true;
    }
    std::vector<std::uint8_t> bytes;
    return ReadBlock(stream, count, bytes) && AcceptPackedDib(std::move(bytes), image);
}

// The version 1 to 5 form: header, a 16-colour table, a u16 pixel count and the pixels.
bool ReadOldImage(IFile& stream, PackedDibImage& image) {
    std::vector<std::uint8_t> bytes(kHeaderBytes);
    if (!ReadExact(stream, bytes.data(), kHeaderBytes)) {
        return false;
    }
    image.Clear();
    if ((Get32(bytes, 14) & 0xFFFF) == 0) {
        return true;
    }
    std::array<std::uint8_t, kOldColourTableBytes> table{};
    if (!ReadExact(stream, table.data(), table.size())) {
        return false;
    }
    const std::uint64_t colours = ColourCount(bytes);
    if (colours > kOldColourTableBytes / 4) {
        Report(std::to_string(colours) + " colours do not fit the 16-colour table");
        return false;
    }
    bytes.insert(bytes.end(), table.begin(), table.begin() + static_cast<long>(colours * 4));
    std::uint16_t pixelCount = 0;
    std::vector<std::uint8_t> pixels;
    if (!ReadValue(stream, pixelCount) || !ReadBlock(stream, pixelCount, pixels)) {
        return false;
    }
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return AcceptPackedDib(std::move(bytes), image);
}

bool WritePackedImage(IFile& stream, const PackedDibImage& image) {
    const std::span<const std::uint8_t> bytes = image.Bytes();
    if (!bytes.empty() && PackedDibSize(bytes) != bytes.size()) {
        Report("a symbol's packed bitmap disagrees with its header");
        return false;
    }
    return WriteValue(stream, static_cast<std::uint32_t>(bytes.size())) &&
           WriteExact(stream, bytes.data(), bytes.size());
}

bool ReadEntry(IFile& stream, int version, PenStyle& pen) {
    return ReadHeader(stream, version, pen.header) && ReadValue(stream, pen.width) &&
           ReadValue(stream, pen.colour) && ReadValue(stream, pen.innerWidth) &&
           ReadValue(stream, pen.innerColour);
}

bool WriteEntry(IFile& stream, int version, const PenStyle& pen) {
    return WriteHeader(stream, version, pen.header) && WriteValue(stream, pen.width) &&
           WriteValue(stream, pen.colour) && WriteValue(stream, pen.innerWidth) &&
           WriteValue(stream, pen.innerColour);
}

bool ReadEntry(IFile& stream, int version, SymbolStyle& symbol) {
    if (!ReadHeader(stream, version, symbol.header)) {
        return false;
    }
    const auto readImage = version >= 6 ? ReadPackedImage : ReadOldImage;
    if (!readImage(stream, symbol.image)) {
        return false;
    }
    symbol.mask.Clear();
    return symbol.image.IsEmpty() || readImage(stream, symbol.mask);
}

bool WriteEntry(IFile& stream, int version, const SymbolStyle& symbol) {
    if (!WriteHeader(stream, version, symbol.header)) {
        return false;
    }
    if (version < 6) {
        Report("symbols cannot be written in version " + std::to_string(version));
        return false;
    }
    return WritePackedImage(stream, symbol.image) &&
           (symbol.image.IsEmpty() || WritePackedImage(stream, symbol.mask));
}

bool ReadFaceName(IFile& stream, std::u16string& faceName) {
    std::int16_t length = 0;
    if (!ReadValue(stream, length)) {
        return false;
    }
    if (length < 0 || length > kMaxFaceNameLength) {
        Report("face name length " + std::to_string(length) + " outside 0 to " +
               std::to_string(kMaxFaceNameLength));
        return false;
    }
    if (length == 0) {
        return true;
    }
    std::array<std::uint8_t, kMaxFaceNameLength + 1> bytes{};
    if (!ReadExact(stream, bytes.data(), static_cast<std::size_t>(length) + 1)) {
        return false;
    }
    faceName.clear();
    for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(length) + 1; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        faceName.push_back(unit);
    }
    return true;
}

bool ReadEntry(IFile& stream, int version, FontStyle& font) {
    if (!ReadHeader(stream, version, font.header) || !ReadFaceName(stream, font.faceName) ||
        !ReadValue(stream, font.size)) {
        return false;
    }
    if (version == 1) {
        std::uint16_t bold = 0;
        std::uint16_t italic = 0;
        if (!ReadValue(stream, bold) || !ReadValue(stream, italic)) {
            return false;
        }
        font.styleFlags = (bold & 1u) | (italic & 1u) << 1;
        font.fieldA = 1;
        font.fieldB = 0;
    } else {
        std::uint16_t packed = 0;
        if (!ReadValue(stream, packed)) {
            return false;
        }
        font.styleFlags = packed & 7u;
        font.fieldB = (packed >> 3) & 31u;
        font.fieldA = (packed >> 8) & 7u;
    }
    std::uint16_t fieldC = 0;
    if (!ReadValue(stream, fieldC) || !ReadValue(stream, font.textColour)) {
        return false;
    }
    font.fieldC = fieldC;
    font.haloColour = 0xFFFFFF;
    return version < 2 || ReadValue(stream, font.haloColour);
}

bool WriteEntry(IFile& stream, int version, const FontStyle& font) {
    if (font.faceName.size() > kMaxFaceNameCharacters) {
        Report("face name longer than 64 characters");
        return false;
    }
    std::vector<std::uint8_t> name;
    for (const char16_t unit : font.faceName) {
        name.push_back(static_cast<std::uint8_t>(unit));
        name.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    name.insert(name.end(), {0, 0});
    if (!WriteHeader(stream, version, font.header) ||
        !WriteValue(stream, static_cast<std::int16_t>(name.size() - 1)) ||
        !WriteExact(stream, name.data(), name.size()) || !WriteValue(stream, font.size)) {
        return false;
    }
    const bool flagsWritten =
        version == 1
            ? WriteValue(stream, static_cast<std::uint16_t>(font.styleFlags & 1u)) &&
                  WriteValue(stream, static_cast<std::uint16_t>((font.styleFlags >> 1) & 1u))
            : WriteValue(stream, static_cast<std::uint16_t>((font.styleFlags & 7u) |
                                                            (font.fieldB & 31u) << 3 |
                                                            (font.fieldA & 7u) << 8));
    return flagsWritten && WriteValue(stream, static_cast<std::uint16_t>(font.fieldC)) &&
           WriteValue(stream, font.textColour) &&
           (version < 2 || WriteValue(stream, font.haloColour));
}

bool ReadEntry(IFile& stream, int version, BrushStyle& brush) {
    if (!ReadHeader(stream, version, brush.header) || !ReadValue(stream, brush.colour)) {
        return false;
    }
    brush.pattern.reset();
    if (version < 4) {
        return true;
    }
    std::uint32_t hasPattern = 0;
    if (!ReadValue(stream, hasPattern)) {
        return false;
    }
    if (hasPattern == 0) {
        return true;
    }
    std::array<std::uint8_t, 8> rows{};
    if (!ReadExact(stream, rows.data(), rows.size())) {
        return false;
    }
    brush.pattern = rows;
    return true;
}

bool WriteEntry(IFile& stream, int version, const BrushStyle& brush) {
    if (!WriteHeader(stream, version, brush.header) || !WriteValue(stream, brush.colour)) {
        return false;
    }
    if (version < 4) {
        return true;
    }
    if (!brush.pattern) {
        return WriteValue(stream, std::uint32_t{0});
    }
    return WriteValue(stream, std::uint32_t{1}) &&
           WriteExact(stream, brush.pattern->data(), brush.pattern->size());
}

} // namespace

void PenStyle::Reset() {
    header.reserved = 100;
    width = 1;
}

void SymbolStyle::Reset() {
    header.reserved = 100;
}

void FontStyle::Reset() {
    header.reserved = 100;
    faceName = u"Arial";
    size = 1.0F;
}

void BrushStyle::Reset() {
    header.reserved = 100;
}

void PackedDibImage::Own(std::vector<std::uint8_t> bytes) {
    m_owned = std::move(bytes);
    m_borrowed = {};
    m_isBorrowed = false;
}

void PackedDibImage::Borrow(std::span<const std::uint8_t> bytes) {
    m_owned.clear();
    m_borrowed = bytes;
    m_isBorrowed = true;
}

void PackedDibImage::Clear() {
    Own({});
}

std::span<const std::uint8_t> PackedDibImage::Bytes() const {
    return m_isBorrowed ? m_borrowed : std::span<const std::uint8_t>(m_owned);
}

std::optional<std::uint64_t> PackedDibSize(std::span<const std::uint8_t> packed) {
    if (packed.size() < kHeaderBytes) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(Get32(packed, 4));
    const auto height = static_cast<std::int32_t>(Get32(packed, 8));
    const std::uint64_t bitCount = Get32(packed, 14) & 0xFFFF;
    const std::uint64_t rows = height < 0 ? 0 - static_cast<std::int64_t>(height) : height;
    const std::uint64_t columns = width < 0 ? 0 - static_cast<std::int64_t>(width) : width;
    const std::uint64_t stride = (bitCount * columns + 31) / 32 * 4;
    return kHeaderBytes + 4 * ColourCount(packed) + rows * stride;
}

template <typename Entry> const Entry& StyleList<Entry>::Get(std::uint32_t elementClass) const {
    if (elementClass < m_lowestClass || elementClass - m_lowestClass >= m_index.size()) {
        return m_default;
    }
    const int position = m_index[elementClass - m_lowestClass];
    return position < 0 ? m_default : m_entries[static_cast<std::size_t>(position)];
}

template <typename Entry> bool StyleList<Entry>::Read(IFile& stream, int version) {
    Entry entry;
    if (!ReadEntry(stream, version, entry)) {
        return false;
    }
    m_default = entry;
    std::uint16_t count = 0;
    if (!ReadValue(stream, count)) {
        return false;
    }
    bool isWhole = true;
    for (std::uint16_t i = 0; i < count; ++i) {
        entry = Entry{};
        if (!ReadEntry(stream, version, entry)) {
            isWhole = false; // an entry read in part is dropped
            break;
        }
        m_entries.push_back(std::move(entry));
    }
    Reindex();
    return isWhole;
}

template <typename Entry> bool StyleList<Entry>::Write(IFile& stream, int version) const {
    const auto count = std::count_if(m_entries.begin(), m_entries.end(),
                                     [](const Entry& e) { return e.header.order >= 0; });
    if (count > std::numeric_limits<std::uint16_t>::max()) {
        Report("more than 65535 entries in one list");
        return false;
    }
    if (!WriteEntry(stream, version, m_default) ||
        !WriteValue(stream, static_cast<std::uint16_t>(count))) {
        return false;
    }
    return std::all_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.header.order < 0 || WriteEntry(stream, version, e);
    });
}

template <typename Entry> int StyleList<Entry>::GetMaxOrder() const {
    int maxOrder = -1;
    for (const Entry& e : m_entries) {
        maxOrder = std::max<int>(maxOrder, e.header.order);
    }
    return maxOrder;
}

template <typename Entry>
void StyleList<Entry>::SetClassAt(std::size_t position, std::uint16_t elementClass) {
    if (position >= m_entries.size()) {
        m_entries.resize(position + 1);
    }
    m_entries[position].header.elementClass = elementClass;
    Reindex();
}

template <typename Entry> void StyleList<Entry>::Remove(std::size_t position) {
    if (position < m_entries.size()) {
        m_entries.erase(m_entries.begin() + static_cast<long>(position));
        Reindex();
    }
}

template <typename Entry> void StyleList<Entry>::Add(const Entry& entry) {
    m_entries.push_back(entry);
    Reindex();
}

template <typename Entry> void StyleList<Entry>::Reindex() {
    m_index.clear();
    m_lowestClass = 0;
    if (m_entries.empty()) {
        return;
    }
    std::uint32_t lowest = 0xFFFF;
    std::uint32_t highest = 0;
    for (const Entry& e : m_entries) {
        lowest = std::min<std::uint32_t>(lowest, e.header.elementClass);
        highest = std::max<std::uint32_t>(highest, e.header.elementClass);
    }
    m_lowestClass = lowest;
    m_index.assign(highest - lowest + 1, -1);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_index[m_entries[i].header.elementClass - lowest] = static_cast<int>(i);
    }
}

template class StyleList<PenStyle>;
template class StyleList<SymbolStyle>;
template class StyleList<FontStyle>;
template class StyleList<BrushStyle>;

void MapStyleFile::Clear() {
    pens = {};
    symbols = {};
    fonts = {};
    brushes = {};
    background = 0xFFFFFF;
}

bool MapStyleFile::Load(IFile& stream) {
    Clear();
    std::array<char, 4> tag{};
    if (!ReadExact(stream, tag.data(), tag.size())) {
        Report("no tag");
        return false;
    }
    if (tag[0] != 'M' || tag[1] != 'P' || tag[2] != 'L' || tag[3] < '1' || tag[3] > '6') {
        Report("the tag is not MPL1 to MPL6");
        return false;
    }
    const int version = tag[3] - '0';
    if (!pens.Read(stream, version) || !symbols.Read(stream, version) ||
        !fonts.Read(stream, version)) {
        return false;
    }
    // Older streams may end here: the background and the brushes are optional.
    std::uint32_t colour = 0;
    if (ReadValue(stream, colour)) {
        background = colour;
    }
    (void)brushes.Read(stream, version);
    return true;
}

bool MapStyleFile::Save(IFile& stream, int version) const {
    if (version == 0) {
        version = 6;
    }
    if (version < 1 || version > 6) {
        Report("no version " + std::to_string(version));
        return false;
    }
    const std::array<char, 4> tag = {'M', 'P', 'L', static_cast<char>('0' + version)};
    return WriteExact(stream, tag.data(), tag.size()) && pens.Write(stream, version) &&
           symbols.Write(stream, version) && fonts.Write(stream, version) &&
           WriteValue(stream, background) && brushes.Write(stream, version);
}

bool MapStyleFile::LoadFile(const std::u16string& path) {
    HandleFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::SequentialScan);
    if (!file.IsOpen()) {
        return false;
    }
    return Load(file);
}

void BuildScaleTable(const MapStyleFile& sheet, std::vector<ScaleRow>& table) {
    constexpr float kLargest = std::numeric_limits<float>::max();
    std::size_t rows = table.size();
    const auto grow = [&rows](std::uint32_t lowest, std::size_t indexSize) {
        if (indexSize != 0) {
            rows = std::max<std::size_t>(rows, lowest + indexSize);
        }
    };
    grow(sheet.symbols.LowestClass(), sheet.symbols.IndexSize());
    grow(sheet.pens.LowestClass(), sheet.pens.IndexSize());
    grow(sheet.brushes.LowestClass(), sheet.brushes.IndexSize());
    table.assign(rows, ScaleRow{kLargest, 0, 0});
    const auto apply = [&table](const StyleHeader& header) {
        table[header.elementClass] = {header.maxScale == 0 ? kLargest : header.maxScale,
                                      header.labelScale, 2 * header.labelScale};
    };
    for (std::size_t i = 0; i < sheet.symbols.Count(); ++i) {
        apply(sheet.symbols.At(i).header);
    }
    for (std::size_t i = 0; i < sheet.pens.Count(); ++i) {
        apply(sheet.pens.At(i).header);
    }
    for (std::size_t i = 0; i < sheet.brushes.Count(); ++i) {
        apply(sheet.brushes.At(i).header);
    }
}
