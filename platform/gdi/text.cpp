// Fonts and text over FreeType. A font instance is one face file at one pixel size and angle,
// with its glyphs cached; instances live as long as the process.
#include "platform/gdi/text.h"

#include "platform/gdi/detail/gdistate.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

using namespace platform::gdi_detail;

namespace {

constexpr double kDegreesPerTenth = 0.1;

struct FaceFiles {
    const char* regular;
    const char* bold;
    const char* italic;
    const char* boldItalic;
};

constexpr FaceFiles kDejaVuSans = {"dejavu/DejaVuSans.ttf", "dejavu/DejaVuSans-Bold.ttf",
                                   "dejavu/DejaVuSans-Oblique.ttf",
                                   "dejavu/DejaVuSans-BoldOblique.ttf"};
constexpr FaceFiles kLiberationSans = {
    "liberation/LiberationSans-Regular.ttf", "liberation/LiberationSans-Bold.ttf",
    "liberation/LiberationSans-Italic.ttf", "liberation/LiberationSans-BoldItalic.ttf"};
constexpr FaceFiles kLiberationSerif = {
    "liberation/LiberationSerif-Regular.ttf", "liberation/LiberationSerif-Bold.ttf",
    "liberation/LiberationSerif-Italic.ttf", "liberation/LiberationSerif-BoldItalic.ttf"};
constexpr FaceFiles kLiberationMono = {
    "liberation/LiberationMono-Regular.ttf", "liberation/LiberationMono-Bold.ttf",
    "liberation/LiberationMono-Italic.ttf", "liberation/LiberationMono-BoldItalic.ttf"};

struct FaceName {
    const char16_t* name;
    const FaceFiles* files;
};
// The default face is the first; an empty name with FF_SWISS is "Arial".
constexpr FaceName kFaces[] = {
    {u"DejaVu Sans", &kDejaVuSans},
    {u"Arial", &kLiberationSans},
    {u"Microsoft Sans Serif", &kLiberationSans},
    {u"MS Sans Serif", &kLiberationSans},
    {u"Tahoma", &kLiberationSans},
    {u"Times New Roman", &kLiberationSerif},
    {u"Courier New", &kLiberationMono},
};

const std::filesystem::path kFontFolder = "/usr/share/fonts/truetype";

std::filesystem::path& OverrideFile() {
    static std::filesystem::path file;
    return file;
}

std::filesystem::path Pick(const FaceFiles& files, bool isBold, bool isItalic) {
    const char* name = isBold ? (isItalic ? files.boldItalic : files.bold)
                              : (isItalic ? files.italic : files.regular);
    return kFontFolder / name;
}

std::u16string FaceOf(const LOGFONTW& font) {
    std::u16string face;
    for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i] != 0; ++i)
        face += font.lfFaceName[i];
    return face;
}

// What a font description resolves to: the file and the styles the file lacks.
struct Resolved {
    std::filesystem::path file;
    bool isSyntheticBold = false;
    bool isSyntheticItalic = false;
};

Resolved Resolve(const LOGFONTW& font) {
    const bool isBold = font.lfWeight >= 600;
    const bool isItalic = font.lfItalic != 0;
    if (!OverrideFile().empty())
        return Resolved{OverrideFile(), isBold, isItalic};
    const std::u16string face = FaceOf(font);
    const FaceFiles* files = nullptr;
    if (face.empty() && (font.lfPitchAndFamily & 0xF0) == FF_SWISS)
        files = &kLiberationSans;
    for (const FaceName& entry : kFaces) {
        if (!face.empty() && _wcsicmp(face.c_str(), entry.name) == 0)
            files = entry.files;
    }
    if (files != nullptr) {
        std::filesystem::path file = Pick(*files, isBold, isItalic);
        std::error_code error;
        if (std::filesystem::exists(file, error))
            return Resolved{file, false, false};
    }
    if (!face.empty() || files != nullptr) {
        const std::u16string line = u"Font \"" + face + u"\" not found; the default face is used";
        OutputDebugStringW(line.c_str());
    }
    std::filesystem::path file = Pick(kDejaVuSans, isBold, isItalic);
    std::error_code error;
    if (std::filesystem::exists(file, error))
        return Resolved{file, false, false};
    return Resolved{kFontFolder / kDejaVuSans.regular, isBold, isItalic};
}

// The coverage of the eight pixels of a byte of a 1-bit bitmap row, leftmost pixel in the top bit.
constexpr auto kSpreadBits = [] {
    std::array<std::array<std::uint8_t, 8>, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        for (std::size_t bit = 0; bit < 8; ++bit)
            table[byte][bit] = (byte & (0x80u >> bit)) != 0 ? 255 : 0;
    }
    return table;
}();

// Columns [from, to) of a glyph row whose pixels are all covered: wholly (255 each, painted
// as a block) or in part (blended one by one).
struct GlyphSpan {
    int row = 0;
    int from = 0;
    int to = 0;
    bool isOpaque = false;
};

// A rasterised glyph: coverage bytes, 255 opaque, row after row, and the covered spans of each
// row (row r's are spans[rowSpans[r]] up to spans[rowSpans[r + 1]]).
struct Glyph {
    int left = 0; // bitmap offset from the pen position, x right
    int top = 0;  // bitmap offset from the pen position, y up
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;
    std::vector<GlyphSpan> spans;
    std::vector<std::uint32_t> rowSpans;
};

// Splits each row of the coverage into its runs of wholly and partly covered pixels.
void FindSpans(Glyph& glyph) {
    glyph.spans.clear();
    glyph.rowSpans.assign(1, 0);
    for (int y = 0; y < glyph.rows; ++y) {
        const std::uint8_t* row = glyph.coverage.data() + static_cast<std::size_t>(y) * glyph.width;
        int x = 0;
        while (x < glyph.width) {
            if (row[x] == 0) {
                ++x;
                continue;
            }
            const bool isOpaque = row[x] == 255;
            const int from = x;
            while (x < glyph.width && row[x] != 0 && (row[x] == 255) == isOpaque)
                ++x;
            glyph.spans.push_back(GlyphSpan{y, from, x, isOpaque});
        }
        glyph.rowSpans.push_back(static_cast<std::uint32_t>(glyph.spans.size()));
    }
}

// What the text calls did since the process started (under the GDI lock).
platform::GlyphCounts& Counts() {
    static platform::GlyphCounts counts;
    return counts;
}

using FontData = std::shared_ptr<const std::vector<FT_Byte>>;

class FontInstance {
public:
    FontInstance(FT_Library library, const Resolved& resolved, FontData data, const LOGFONTW& font)
        : m_resolved(resolved)
        , m_data(std::move(data)) {
        if (!m_data || m_data->empty() ||
            FT_New_Memory_Face(library, m_data->data(), static_cast<FT_Long>(m_data->size()), 0,
                               &m_face) != 0) {
            m_face = nullptr;
            return;
        }
        m_isMono = font.lfQuality != ANTIALIASED_QUALITY;
        m_angle = font.lfEscapement % 3600;
        const double unitsPerEm = m_face->units_per_EM;
        double winAscent = m_face->ascender;
        double winDescent = -m_face->descender;
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
            os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            winAscent = os2->usWinAscent;
            winDescent = os2->usWinDescent;
        }
        double em = 12;
        if (font.lfHeight < 0)
            em = -static_cast<double>(font.lfHeight);
        else if (font.lfHeight > 0)
            em = font.lfHeight * unitsPerEm / (winAscent + winDescent);
        em = std::clamp(em, 1.0, 2000.0);
        FT_Set_Char_Size(m_face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
        m_ascent = static_cast<int>(std::lround(winAscent * em / unitsPerEm));
        m_descent = static_cast<int>(std::lround(winDescent * em / unitsPerEm));
        const double lineGap = m_face->height - (m_face->ascender - m_face->descender);
        m_externalLeading = std::max(0, static_cast<int>(std::lround(lineGap * em / unitsPerEm)));
        m_internalLeading = std::max(0, m_ascent + m_descent - static_cast<int>(std::lround(em)));
        SetRotation();
    }
    ~FontInstance() {
        if (m_face != nullptr)
            FT_Done_Face(m_face);
    }
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;

    bool IsValid() const { return m_face != nullptr; }
    int Ascent() const { return m_ascent; }
    int Descent() const { return m_descent; }
    int Height() const { return m_ascent + m_descent; }
    int ExternalLeading() const { return m_externalLeading; }
    int InternalLeading() const { return m_internalLeading; }
    int Angle() const { return m_angle; }

    // The advance of a character in whole pixels along the baseline, measured without rotation
    // so that extents do not depend on the angle; 0 for a glyph the face cannot load. Only the
    // outline is loaded (and hinted), never rasterised: measuring costs no bitmap, whatever the
    // size.
    int Advance(char32_t code) {
        if (code < kDirectCodes && m_directAdvances[code] >= 0)
            return m_directAdvances[code];
        auto it = m_advances.find(code);
        if (it != m_advances.end())
            return it->second;
        int advance = 0;
        if (m_angle != 0)
            FT_Set_Transform(m_face, nullptr, nullptr);
        if (FT_Load_Glyph(m_face, FT_Get_Char_Index(m_face, code),
                          FT_LOAD_DEFAULT | LoadTarget()) == 0)
            advance = static_cast<int>((m_face->glyph->advance.x + 32) >> 6);
        if (m_angle != 0)
            SetRotation();
        RememberAdvance(code, advance);
        return advance;
    }

    // The bitmap of a character at this instance's angle (empty when the face cannot load or
    // render it), rasterised on first use.
    const Glyph& Bitmap(char32_t code) {
        if (code < kDirectCodes && m_directGlyphs[code] != nullptr) {
            ++Counts().cacheHits;
            return *m_directGlyphs[code];
        }
        auto it = m_glyphs.find(code);
        if (it != m_glyphs.end()) {
            ++Counts().cacheHits;
            return it->second;
        }
        ++Counts().rasterised;
        Glyph& glyph = m_glyphs[code];
        if (code < kDirectCodes)
            m_directGlyphs[code] = &glyph; // map nodes stay where they are
        const FT_UInt index = FT_Get_Char_Index(m_face, code);
        // A turned glyph is not hinted: hinting works along the axes.
        const FT_Int32 hinting = m_angle == 0 ? FT_LOAD_DEFAULT : FT_LOAD_NO_HINTING;
        if (FT_Load_Glyph(m_face, index, hinting | LoadTarget()) != 0)
            return glyph;
        if (m_angle == 0) // the load measured it too
            RememberAdvance(code, static_cast<int>((m_face->glyph->advance.x + 32) >> 6));
        FT_GlyphSlot slot = m_face->glyph;
        if (m_resolved.isSyntheticBold)
            FT_GlyphSlot_Embolden(slot);
        if (m_resolved.isSyntheticItalic)
            FT_GlyphSlot_Oblique(slot);
        if (FT_Render_Glyph(slot, m_isMono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
            return glyph;
        CopyCoverage(slot, glyph);
        FindSpans(glyph);
        return glyph;
    }

private:
    // Codes below this are found by index, the rest in the maps.
    static constexpr char32_t kDirectCodes = 256;

    // Keeps the first advance measured for a code.
    void RememberAdvance(char32_t code, int advance) {
        if (!m_advances.emplace(code, advance).second)
            return;
        if (code < kDirectCodes)
            m_directAdvances[code] = advance;
    }

    FT_Int32 LoadTarget() const {
        return m_isMono ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : FT_LOAD_TARGET_NORMAL;
    }

    // Turns every glyph loaded after it by this instance's angle (none for angle 0).
    void SetRotation() {
        if (m_angle == 0)
            return;
        const double radians = m_angle * kDegreesPerTenth * std::numbers::pi / 180;
        FT_Matrix matrix;
        matrix.xx = static_cast<FT_Fixed>(std::lround(std::cos(radians) * 65536));
        matrix.xy = static_cast<FT_Fixed>(std::lround(-std::sin(radians) * 65536));
        matrix.yx = static_cast<FT_Fixed>(std::lround(std::sin(radians) * 65536));
        matrix.yy = matrix.xx;
        FT_Set_Transform(m_face, &matrix, nullptr);
    }

    // The slot's rendered bitmap as coverage bytes: 8-bit grey rows as they are, 1-bit rows
    // spread to 0 or 255 a byte at a time (a glyph of the largest size has millions of pixels).
    static void CopyCoverage(FT_GlyphSlot slot, Glyph& glyph) {
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.rows, 0);
        if (glyph.coverage.empty())
            return;
        const bool isMonoBitmap = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
        for (int y = 0; y < glyph.rows; ++y) {
            const unsigned char* row =
                bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            std::uint8_t* out = glyph.coverage.data() + static_cast<std::size_t>(y) * glyph.width;
            if (!isMonoBitmap) {
                std::memcpy(out, row, static_cast<std::size_t>(glyph.width));
                continue;
            }
            for (int x = 0; x < glyph.width; x += 8) {
                const std::size_t count = static_cast<std::size_t>(std::min(8, glyph.width - x));
                std::memcpy(out + x, kSpreadBits[row[x / 8]].data(), count);
            }
        }
    }

    Resolved m_resolved;
    FontData m_data; // FreeType reads the face from it for the face's whole life
    FT_Face m_face = nullptr;
    bool m_isMono = true;
    int m_angle = 0;
    int m_ascent = 0;
    int m_descent = 0;
    int m_externalLeading = 0;
    int m_internalLeading = 0;
    std::map<char32_t, int> m_advances;
    std::map<char32_t, Glyph> m_glyphs;
    std::array<int, kDirectCodes> m_directAdvances = MakeUnknownAdvances();
    std::array<const Glyph*, kDirectCodes> m_directGlyphs{};

    static std::array<int, kDirectCodes> MakeUnknownAdvances() {
        std::array<int, kDirectCodes> advances{};
        advances.fill(-1);
        return advances;
    }
};

// Guarded by the GDI lock.
class FontEngine {
public:
    FontEngine() {
        if (FT_Init_FreeType(&m_library) != 0)
            m_library = nullptr;
    }

    // The instance for a description; the one used longest ago goes when there are too many,
    // so a pointer is good until the next call.
    FontInstance* Instance(const LOGFONTW& font) {
        if (m_library == nullptr)
            return nullptr;
        // Text calls come in runs with one font (a label and its halo): the last one is kept.
        if (m_hasLast && std::memcmp(&font, &m_lastFont, sizeof(font)) == 0) {
            m_last->second.lastUse = ++m_uses;
            return m_last->second.instance->IsValid() ? m_last->second.instance.get() : nullptr;
        }
        std::string key(reinterpret_cast<const char*>(&font), sizeof(font));
        key += OverrideFile().string();
        auto it = m_instances.find(key);
        if (it == m_instances.end()) {
            if (m_instances.size() >= kMaxInstances) {
                auto oldest = std::min_element(m_instances.begin(), m_instances.end(),
                                               [](const auto& a, const auto& b) {
                                                   return a.second.lastUse < b.second.lastUse;
                                               });
                m_instances.erase(oldest);
                m_hasLast = false;
            }
            const Resolved resolved = Resolve(font);
            Cached cached{
                std::make_unique<FontInstance>(m_library, resolved, Data(resolved.file), font), 0};
            it = m_instances.emplace(key, std::move(cached)).first;
        }
        it->second.lastUse = ++m_uses;
        m_last = it;
        m_lastFont = font;
        m_hasLast = true;
        return it->second.instance->IsValid() ? it->second.instance.get() : nullptr;
    }

    // The font file override changed: a description may resolve to another instance.
    void ForgetLast() { m_hasLast = false; }

private:
    static constexpr std::size_t kMaxInstances = 64;
    static constexpr std::uintmax_t kMaxFontFileBytes = 64u << 20;

    struct Cached {
        std::unique_ptr<FontInstance> instance;
        std::uint64_t lastUse;
    };

    // A font file's bytes, read once and shared by every instance of that file.
    FontData Data(const std::filesystem::path& file) {
        auto it = m_files.find(file);
        if (it != m_files.end())
            return it->second;
        auto bytes = std::make_shared<std::vector<FT_Byte>>();
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (!error && size <= kMaxFontFileBytes) {
            std::ifstream in(file, std::ios::binary);
            bytes->resize(static_cast<std::size_t>(size));
            in.read(reinterpret_cast<char*>(bytes->data()), static_cast<std::streamsize>(size));
            if (!in)
                bytes->clear();
        }
        m_files.emplace(file, bytes);
        return bytes;
    }

    FT_Library m_library = nullptr;
    std::map<std::string, Cached> m_instances;
    std::map<std::filesystem::path, FontData> m_files;
    std::uint64_t m_uses = 0;
    bool m_hasLast = false;
    LOGFONTW m_lastFont{};
    std::map<std::string, Cached>::iterator m_last;
};

FontEngine& Engine() {
    static auto* engine = new FontEngine;
    return *engine;
}

LOGFONTW FontOf(const Dc& dc) {
    return dc.fontObject ? dc.fontObject->font : LOGFONTW{};
}

std::vector<int> Advances(FontInstance& font, std::u16string_view text) {
    std::vector<int> advances;
    advances.reserve(text.size());
    for (char16_t c : text)
        advances.push_back(font.Advance(c));
    return advances;
}

// The advances of the text's characters, in a list kept for the next call (under the GDI lock).
std::span<const int> KeptAdvances(FontInstance& font, std::u16string_view text);

void Blend(std::uint32_t& pixel, std::uint32_t colour, int coverage) {
    auto channel = [&](int shift) {
        const int d = static_cast<int>((pixel >> shift) & 0xFF);
        const int s = static_cast<int>((colour >> shift) & 0xFF);
        return static_cast<std::uint32_t>(d + (s - d) * coverage / 255) << shift;
    };
    pixel = channel(16) | channel(8) | channel(0);
}

struct Run {
    std::u16string_view text;
    std::span<const int> advances;
    int underline = -1; // index of a character to underline, or -1
    // A halo pass, painted in this colour and noted as no text: the text drawn over it is
    // noted on it.
    std::optional<COLORREF> halo;
};

// Rounds half away from zero as std::lround does, for |v| up to 2^52, without the library call:
// the fraction v - trunc(v) is exact.
long long RoundHalfAway(double v) {
    const auto whole = static_cast<long long>(v);
    const double fraction = v - static_cast<double>(whole);
    return whole + (fraction >= 0.5 ? 1 : 0) - (fraction <= -0.5 ? 1 : 0);
}

// A clip rectangle in surface coordinates, 64-bit so that glyph boxes far out stay exact.
struct ClipBox {
    long long left, top, right, bottom;
};

// The clip as IsVisible walks it: the walk stops at the first rectangle below the row, so a
// rectangle counts from the lowest row at which every rectangle up to it has begun (its own top
// in a clip sorted by top, as GetTarget leaves it). Empty rectangles are left out.
void ReachedClip(const Region& clip, std::vector<ClipBox>& reached) {
    reached.clear();
    long long reach = std::numeric_limits<long long>::min();
    for (const RECT& r : clip) {
        reach = std::max<long long>(reach, r.top);
        if (r.left < r.right && reach < r.bottom)
            reached.push_back(ClipBox{r.left, reach, r.right, r.bottom});
    }
}

// The glyph painter's working lists, kept from call to call; used under the GDI lock only.
struct PainterLists {
    std::vector<ClipBox> clip;
    std::vector<ClipBox> band;
    std::vector<ClipBox> parts;
    std::vector<std::pair<long long, long long>> spans;
    std::vector<int> advances;
    // While drawn texts are kept: the run's glyph pixels and what they covered.
    std::vector<POINT> ink;
    std::vector<std::uint32_t> under;
};

PainterLists& Lists() {
    static auto* lists = new PainterLists;
    return *lists;
}

std::span<const int> KeptAdvances(FontInstance& font, std::u16string_view text) {
    std::vector<int>& advances = Lists().advances;
    advances.clear();
    for (const char16_t c : text)
        advances.push_back(font.Advance(c));
    return advances;
}

// Paints the visible pixels of a glyph whose pen position is (baseX, baseY): a glyph inside one
// clip rectangle in one pass, one outside every rectangle not at all, any other row by row over
// the spans of the rectangles that row meets. The rectangles are looked up in a band of rows
// around the last glyph, taken again when a glyph leaves it.
class GlyphPainter {
public:
    GlyphPainter(const Target& target, std::uint32_t colour, bool isNoted)
        : m_target(target)
        , m_clip(Lists().clip)
        , m_colour(colour)
        , m_isMono(target.surface->isMono)
        , m_opaque(m_isMono ? ToMono(colour) : colour)
        , m_band(Lists().band)
        , m_parts(Lists().parts)
        , m_spans(Lists().spans)
        , m_isNoting(isNoted && !m_isMono && IsKeepingTexts()) {
        ReachedClip(target.clip, m_clip);
        m_band.clear();
        Lists().ink.clear();
        Lists().under.clear();
    }

    // The glyph pixels painted since the painter was made and the colours they covered (while
    // drawn texts are kept).
    bool IsNoting() const { return m_isNoting; }

    void Paint(const Glyph& glyph, int baseX, int baseY) {
        ++Counts().drawn;
        const long long left = static_cast<long long>(baseX) + glyph.left;
        const long long top = static_cast<long long>(baseY) - glyph.top;
        if (IsInsideOnlyClip(glyph, left, top)) {
            PaintWhole(glyph, left, top);
            return;
        }
        const ClipBox box{left, std::max<long long>(top, m_target.box.top), left + glyph.width,
                          std::min<long long>(top + glyph.rows, m_target.box.bottom)};
        if (box.left >= box.right || box.top >= box.bottom)
            return;
        if (box.top < m_bandTop || box.bottom > m_bandBottom)
            TakeBand(box.top - glyph.rows, box.bottom + glyph.rows);
        m_parts.clear();
        for (const ClipBox& r : m_band) {
            const ClipBox part{std::max(r.left, box.left), std::max(r.top, box.top),
                               std::min(r.right, box.right), std::min(r.bottom, box.bottom)};
            if (part.left < part.right && part.top < part.bottom)
                m_parts.push_back(part);
        }
        if (m_parts.empty())
            return;
        if (m_parts.size() == 1) {
            const ClipBox& only = m_parts.front();
            for (long long y = only.top; y < only.bottom; ++y)
                PaintSpan(glyph, left, top, y, only.left, only.right);
            return;
        }
        for (long long y = box.top; y < box.bottom; ++y) {
            m_spans.clear();
            for (const ClipBox& part : m_parts) {
                if (part.top <= y && y < part.bottom)
                    m_spans.emplace_back(part.left, part.right);
            }
            std::sort(m_spans.begin(), m_spans.end());
            // Overlapping spans are painted once: blending twice would darken the pixel.
            long long done = std::numeric_limits<long long>::min();
            for (const auto& [from, to] : m_spans) {
                const long long start = std::max(from, done);
                if (start < to) {
                    PaintSpan(glyph, left, top, y, start, to);
                    done = to;
                }
            }
        }
    }

private:
    // Wholly inside the only clip rectangle, the common case: no row is cut.
    bool IsInsideOnlyClip(const Glyph& glyph, long long left, long long top) const {
        return m_clip.size() == 1 && left >= m_clip[0].left && top >= m_clip[0].top &&
               left + glyph.width <= m_clip[0].right && top + glyph.rows <= m_clip[0].bottom;
    }

    // Every covered pixel of the glyph whose bitmap starts at (left, top), all inside the clip.
    void PaintWhole(const Glyph& glyph, long long left, long long top) {
        for (const GlyphSpan& span : glyph.spans) {
            std::uint32_t* row = m_target.surface->Row(static_cast<int>(top + span.row)) + left;
            if (m_isNoting) {
                Note(row - left, top + span.row, left + span.from, left + span.to,
                     span.isOpaque
                         ? nullptr
                         : glyph.coverage.data() +
                               static_cast<std::size_t>(span.row) * glyph.width + span.from);
            }
            if (span.isOpaque) {
                std::fill(row + span.from, row + span.to, m_opaque);
                continue;
            }
            const std::uint8_t* coverage =
                glyph.coverage.data() + static_cast<std::size_t>(span.row) * glyph.width;
            for (int x = span.from; x < span.to; ++x) {
                if (m_isMono)
                    row[x] = coverage[x] >= 128 ? m_opaque : row[x];
                else
                    Blend(row[x], m_colour, coverage[x]);
            }
        }
    }

    // Surface row y, columns [x0, x1), of the glyph whose bitmap starts at (left, top): the
    // wholly covered spans in one block (blending at 255 gives the colour itself), the others
    // pixel by pixel.
    void PaintSpan(const Glyph& glyph, long long left, long long top, long long y, long long x0,
                   long long x1) {
        const auto glyphRow = static_cast<std::size_t>(y - top);
        const std::uint8_t* coverage = glyph.coverage.data() + glyphRow * glyph.width;
        std::uint32_t* row = m_target.surface->Row(static_cast<int>(y));
        const GlyphSpan* end = glyph.spans.data() + glyph.rowSpans[glyphRow + 1];
        for (const GlyphSpan* span = glyph.spans.data() + glyph.rowSpans[glyphRow]; span != end;
             ++span) {
            const long long from = std::max(left + span->from, x0);
            const long long to = std::min(left + span->to, x1);
            if (from >= to)
                continue;
            if (m_isNoting)
                Note(row, y, from, to, span->isOpaque ? nullptr : coverage + (from - left));
            if (span->isOpaque) {
                std::fill(row + from, row + to, m_opaque);
                continue;
            }
            for (long long x = from; x < to; ++x) {
                const int value = coverage[x - left];
                if (m_isMono)
                    row[x] = value >= 128 ? m_opaque : row[x];
                else
                    Blend(row[x], m_colour, value);
            }
        }
    }

    // Notes columns [from, to) of surface row y, about to be painted: those the glyph covers at
    // least half (coverage of column from on; null: wholly) and the colours they hold.
    static void Note(const std::uint32_t* row, long long y, long long from, long long to,
                     const std::uint8_t* coverage) {
        PainterLists& lists = Lists();
        for (long long x = from; x < to; ++x) {
            if (coverage != nullptr && coverage[x - from] < 128)
                continue;
            lists.ink.push_back(POINT{static_cast<LONG>(x), static_cast<LONG>(y)});
            lists.under.push_back(row[x]);
        }
    }

    // The clip rectangles that meet rows [top, bottom); the reached tops never decrease, so the
    // walk ends at the first one below the band.
    void TakeBand(long long top, long long bottom) {
        m_bandTop = top;
        m_bandBottom = bottom;
        m_band.clear();
        for (const ClipBox& r : m_clip) {
            if (r.top >= bottom)
                break;
            if (r.bottom > top)
                m_band.push_back(r);
        }
    }

    const Target& m_target;
    std::vector<ClipBox>& m_clip;
    std::uint32_t m_colour;
    bool m_isMono;
    std::uint32_t m_opaque; // a wholly covered pixel's value
    std::vector<ClipBox>& m_band;
    long long m_bandTop = 0;
    long long m_bandBottom = 0; // no band yet
    std::vector<ClipBox>& m_parts;
    std::vector<std::pair<long long, long long>>& m_spans;
    bool m_isNoting;
};

// Draws a run with its cell's top-left corner (before rotation) at the surface point origin,
// turning about pivot.
void DrawRun(const Dc& dc, const Target& target, FontInstance& font, const Run& run, double originX,
             double originY, bool isOpaque) {
    const double radians = font.Angle() * kDegreesPerTenth * std::numbers::pi / 180;
    const double dirX = std::cos(radians), dirY = -std::sin(radians);
    const double downX = std::sin(radians), downY = std::cos(radians);
    double width = 0;
    for (int advance : run.advances)
        width += advance;
    if (isOpaque && width > 0) {
        Paint background;
        background.colour = ToPixel(dc.bkColour);
        const double h = font.Height();
        const PointD cell[4] = {
            {originX, originY},
            {originX + dirX * width, originY + dirY * width},
            {originX + dirX * width + downX * h, originY + dirY * width + downY * h},
            {originX + downX * h, originY + downY * h}};
        SpanSet spans(target, background, R2_COPYPEN);
        AddConvex(spans, cell, 4);
        spans.Paint();
    }
    const std::uint32_t colour = ToPixel(run.halo.value_or(dc.textColour));
    GlyphPainter painter(target, colour, !run.halo);
    double penX = originX + downX * font.Ascent();
    double penY = originY + downY * font.Ascent();
    for (std::size_t i = 0; i < run.text.size(); ++i) {
        if (std::abs(penX) > kCoordinateLimit || std::abs(penY) > kCoordinateLimit) {
            penX += dirX * run.advances[i];
            penY += dirY * run.advances[i];
            continue; // far outside every surface
        }
        const int baseX = static_cast<int>(RoundHalfAway(penX));
        const int baseY = static_cast<int>(RoundHalfAway(penY));
        painter.Paint(font.Bitmap(run.text[i]), baseX, baseY);
        if (static_cast<int>(i) == run.underline && font.Angle() == 0) {
            Paint line;
            line.colour = colour;
            FillSpan(target, baseY + 1, baseX, baseX + run.advances[i], line, R2_COPYPEN);
        }
        penX += dirX * run.advances[i];
        penY += dirY * run.advances[i];
    }
    if (painter.IsNoting()) {
        NoteText(*target.surface, run.text, colour,
                 POINT{static_cast<LONG>(RoundHalfAway(originX)),
                       static_cast<LONG>(RoundHalfAway(originY))},
                 Lists().ink, Lists().under);
    }
}

// Draws a run placed at the logical point (x, y) by the DC's text alignment.
void DrawAligned(const Dc& dc, const Target& target, FontInstance& font, const Run& run,
                 long long x, long long y, bool isOpaque) {
    double width = 0;
    for (int advance : run.advances)
        width += advance;
    const double radians = font.Angle() * kDegreesPerTenth * std::numbers::pi / 180;
    const double dirX = std::cos(radians), dirY = -std::sin(radians);
    const double downX = std::sin(radians), downY = std::cos(radians);
    double along = 0;
    if ((dc.textAlign & TA_CENTER) == TA_CENTER)
        along = -width / 2;
    else if ((dc.textAlign & TA_RIGHT) != 0)
        along = -width;
    double down = 0;
    if ((dc.textAlign & TA_BASELINE) == TA_BASELINE)
        down = -font.Ascent();
    else if ((dc.textAlign & TA_BOTTOM) != 0)
        down = -font.Height();
    const double originX =
        static_cast<double>(Clamp(x + SurfaceX(dc, target, 0))) + dirX * along + downX * down;
    const double originY =
        static_cast<double>(Clamp(y + SurfaceY(dc, target, 0))) + dirY * along + downY * down;
    DrawRun(dc, target, font, run, originX, originY, isOpaque);
}

// Runs call(dc, target, font) for text calls; FALSE when the DC or a font is missing.
template <typename Call> BOOL WithFont(HDC handle, Call call) {
    return Draw(handle, [&](Dc& dc, Target& target) {
        FontInstance* font = Engine().Instance(FontOf(dc));
        return font == nullptr ? FALSE : call(dc, target, *font);
    });
}

std::u16string_view TextView(LPCWSTR text, int count) {
    if (text == nullptr)
        return {};
    if (count < 0)
        return std::u16string_view(text);
    return std::u16string_view(text, static_cast<std::size_t>(count));
}

} // namespace

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (font == nullptr)
        return nullptr;
    auto object = std::make_shared<Object>();
    object->type = OBJ_FONT;
    object->font = *font;
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return AddObject(state, std::move(object));
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    if (metrics == nullptr)
        return FALSE;
    return WithFont(dc, [&](Dc& d, Target&, FontInstance& font) {
        *metrics = TEXTMETRICW{};
        metrics->tmHeight = font.Height();
        metrics->tmAscent = font.Ascent();
        metrics->tmDescent = font.Descent();
        metrics->tmInternalLeading = font.InternalLeading();
        metrics->tmExternalLeading = font.ExternalLeading();
        metrics->tmAveCharWidth = font.Advance(u'x');
        metrics->tmMaxCharWidth = font.Advance(u'W');
        metrics->tmWeight = FontOf(d).lfWeight;
        return TRUE;
    });
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* widths) {
    if (text == nullptr && count != 0)
        return FALSE;
    return WithFont(handle, [&](Dc& dc, Target& target, FontInstance& font) {
        const long long shiftX = SurfaceX(dc, target, 0);
        const long long shiftY = SurfaceY(dc, target, 0);
        if (rect != nullptr && (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0) {
            const RECT surfaceRect{static_cast<LONG>(Clamp(rect->left + shiftX)),
                                   static_cast<LONG>(Clamp(rect->top + shiftY)),
                                   static_cast<LONG>(Clamp(rect->right + shiftX)),
                                   static_cast<LONG>(Clamp(rect->bottom + shiftY))};
            if ((options & ETO_OPAQUE) != 0) {
                Paint background;
                background.colour = ToPixel(dc.bkColour);
                const int top = std::max<int>(surfaceRect.top, target.box.top);
                const int bottom = std::min<int>(surfaceRect.bottom, target.box.bottom);
                for (int row = top; row < bottom; ++row)
                    FillSpan(target, row, surfaceRect.left, surfaceRect.right, background,
                             R2_COPYPEN);
            }
            if ((options & ETO_CLIPPED) != 0) {
                target.clip = IntersectRegion(target.clip, surfaceRect);
                target.box = RegionBox(target.clip);
            }
        }
        Run run;
        run.text = std::u16string_view(text == nullptr ? u"" : text, count);
        run.advances =
            widths != nullptr ? std::span<const int>(widths, count) : KeptAdvances(font, run.text);
        DrawAligned(dc, target, font, run, x, y, dc.bkMode == OPAQUE);
        return TRUE;
    });
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    return count < 0 ? FALSE
                     : ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* extents,
                           SIZE* size) {
    if (count < 0 || (text == nullptr && count > 0))
        return FALSE;
    return WithFont(dc, [&](Dc&, Target&, FontInstance& font) {
        const std::vector<int> advances = Advances(font, TextView(text, count));
        int total = 0;
        int fitting = 0;
        for (int i = 0; i < count; ++i) {
            total += advances[static_cast<std::size_t>(i)];
            if (extents != nullptr)
                extents[i] = total;
            if (total <= maxExtent && fitting == i)
                fitting = i + 1;
        }
        if (fit != nullptr)
            *fit = fitting;
        if (size != nullptr)
            *size = SIZE{total, font.Height()};
        return TRUE;
    });
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
    return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

namespace {

struct Line {
    std::u16string text;
    int underline = -1;
    int width = 0;
};

int Width(FontInstance& font, std::u16string_view text) {
    int width = 0;
    for (char16_t c : text)
        width += font.Advance(c);
    return width;
}

// Splits text into lines: line breaks (unless single-line), '&' prefixes (unless none), and
// word breaks at the given width.
std::vector<Line> Layout(FontInstance& font, std::u16string_view text, UINT format, int maxWidth) {
    std::vector<Line> lines(1);
    const bool isSingle = (format & DT_SINGLELINE) != 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (!isSingle) {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                lines.emplace_back();
            }
            continue;
        }
        if (c == u'&' && (format & DT_NOPREFIX) == 0 && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&')
                lines.back().underline = static_cast<int>(lines.back().text.size());
        }
        lines.back().text += text[i];
    }
    if ((format & DT_WORDBREAK) == 0 || isSingle) {
        for (Line& line : lines)
            line.width = Width(font, line.text);
        return lines;
    }
    std::vector<Line> broken;
    for (Line& line : lines) {
        std::size_t start = 0;
        do {
            // The longest run of whole words from start that fits; at least one word.
            std::size_t end = start;
            std::size_t fitEnd = std::u16string::npos;
            while (end < line.text.size()) {
                std::size_t wordEnd = line.text.find(u' ', end);
                if (wordEnd == std::u16string::npos)
                    wordEnd = line.text.size();
                const int width =
                    Width(font, std::u16string_view(line.text).substr(start, wordEnd - start));
                if (width > maxWidth && fitEnd != std::u16string::npos)
                    break;
                fitEnd = wordEnd;
                end = wordEnd;
                while (end < line.text.size() && line.text[end] == u' ')
                    ++end;
                if (width > maxWidth)
                    break;
            }
            if (fitEnd == std::u16string::npos)
                fitEnd = line.text.size();
            Line part;
            part.text = line.text.substr(start, fitEnd - start);
            if (line.underline >= static_cast<int>(start) &&
                line.underline < static_cast<int>(fitEnd))
                part.underline = line.underline - static_cast<int>(start);
            part.width = Width(font, part.text);
            broken.push_back(std::move(part));
            start = end;
        } while (start < line.text.size());
    }
    return broken;
}

} // namespace

int DrawTextW(HDC handle, LPCWSTR text, int count, RECT* rect, UINT format) {
    if (rect == nullptr || (text == nullptr && count != 0))
        return 0;
    int result = 0;
    WithFont(handle, [&](Dc& dc, Target& target, FontInstance& font) {
        // Rectangles of any size: positions are worked out in 64 bits.
        const long long rectLeft = rect->left, rectTop = rect->top;
        const long long rectWidth = static_cast<long long>(rect->right) - rect->left;
        const long long rectHeight = static_cast<long long>(rect->bottom) - rect->top;
        const std::vector<Line> lines =
            Layout(font, TextView(text, count), format,
                   static_cast<int>(
                       std::clamp<long long>(rectWidth, -kCoordinateLimit, kCoordinateLimit)));
        const int lineHeight =
            font.Height() + ((format & DT_EXTERNALLEADING) != 0 ? font.ExternalLeading() : 0);
        const int height =
            lineHeight * static_cast<int>(std::min<std::size_t>(lines.size(), 1u << 20));
        if ((format & DT_CALCRECT) != 0) {
            int width = 0;
            for (const Line& line : lines)
                width = std::max(width, line.width);
            rect->right = static_cast<LONG>(std::min<long long>(rectLeft + width, MAXLONG));
            rect->bottom = static_cast<LONG>(std::min<long long>(rectTop + height, MAXLONG));
            result = height;
            return TRUE;
        }
        const long long shiftX = SurfaceX(dc, target, 0);
        const long long shiftY = SurfaceY(dc, target, 0);
        if ((format & DT_NOCLIP) == 0) {
            target.clip =
                IntersectRegion(target.clip, RECT{static_cast<LONG>(Clamp(rect->left + shiftX)),
                                                  static_cast<LONG>(Clamp(rect->top + shiftY)),
                                                  static_cast<LONG>(Clamp(rect->right + shiftX)),
                                                  static_cast<LONG>(Clamp(rect->bottom + shiftY))});
            target.box = RegionBox(target.clip);
        }
        long long top = rectTop;
        if ((format & DT_SINGLELINE) != 0) {
            if ((format & DT_VCENTER) != 0)
                top = rectTop + (rectHeight - lineHeight) / 2;
            else if ((format & DT_BOTTOM) != 0)
                top = rectTop + rectHeight - lineHeight;
        }
        for (const Line& line : lines) {
            long long left = rectLeft;
            if ((format & DT_CENTER) != 0)
                left = rectLeft + (rectWidth - line.width) / 2;
            else if ((format & DT_RIGHT) != 0)
                left = rectLeft + rectWidth - line.width;
            Run run;
            run.text = line.text;
            const std::vector<int> advances = Advances(font, line.text);
            run.advances = advances;
            run.underline = line.underline;
            DrawRun(dc, target, font, run, static_cast<double>(Clamp(left + shiftX)),
                    static_cast<double>(Clamp(top + shiftY)), dc.bkMode == OPAQUE);
            top += lineHeight;
        }
        result = height;
        return TRUE;
    });
    return result;
}

namespace platform {

BOOL TextOutWithHalo(HDC handle, int x, int y, LPCWSTR text, UINT count, COLORREF halo) {
    if (text == nullptr && count != 0)
        return FALSE;
    return WithFont(handle, [&](Dc& dc, Target& target, FontInstance& font) {
        Run run;
        run.text = std::u16string_view(text == nullptr ? u"" : text, count);
        run.advances = KeptAdvances(font, run.text);
        run.halo = halo;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx != 0 || dy != 0)
                    DrawAligned(dc, target, font, run, static_cast<long long>(x) + dx,
                                static_cast<long long>(y) + dy, false);
            }
        }
        run.halo.reset();
        DrawAligned(dc, target, font, run, x, y, false);
        return TRUE;
    });
}

GlyphCounts CountGlyphs() {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return Counts();
}

void SetFontFile(const std::filesystem::path& file) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    OverrideFile() = file;
    Engine().ForgetLast();
}

std::filesystem::path FontFileFor(const LOGFONTW& font) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    Resolved resolved = Resolve(font);
    std::error_code error;
    return std::filesystem::exists(resolved.file, error) ? resolved.file : std::filesystem::path{};
}

} // namespace platform
