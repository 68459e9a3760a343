#include "ui/emfplayer.h"

#include "platform/files/files.h"
#include "platform/gdi/text.h"
#include "platform/kernel/handles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <string>

namespace {

constexpr std::size_t kMaxFileSize = 16u * 1024 * 1024;
constexpr std::uint32_t kSignature = 0x464D4520;
constexpr std::uint32_t kEndOfFile = 14;
constexpr std::size_t kHandlerCount = 120;
// Larger indexes are refused: the table would grow to any size a file names.
constexpr std::int32_t kMaxObjectIndex = 65535;
constexpr std::size_t kLogFontBytes = 92;
constexpr int kNullBrush = 5;

std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int16_t Read16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

// One record of the buffer, its size already checked against the buffer.
struct Record {
    const std::uint8_t* data;
    std::size_t size;
    [[nodiscard]] bool Has(std::size_t bytes) const { return size >= bytes; }
    // Callers check Has first.
    [[nodiscard]] std::int32_t Word(std::size_t index) const {
        return static_cast<std::int32_t>(Read32(data + 4 * index));
    }
};

struct CreatedObject {
    HGDIOBJ handle;
    bool isDeleted;
};

struct PlayContext {
    HDC dc{};
    std::vector<HGDIOBJ> objects;
    std::vector<CreatedObject> created;
    std::int64_t originX = 0;
    std::int64_t originY = 0;
    std::int64_t extentX = 0;
    std::int64_t extentY = 0;
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    POINT current{};
    std::uint32_t textAlign = 0;
};

int Clamp(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

// Kept within 32 bits so that the product with a width stays inside 64 bits.
std::int64_t Offset(std::int64_t v, std::int64_t origin) {
    return std::clamp<std::int64_t>(v - origin, std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max());
}

// Without an extent (none set yet, or 0) logical units map 1:1 from the target's top-left.
int MapX(const PlayContext& c, std::int64_t x) {
    if (c.extentX == 0)
        return Clamp(Offset(x, c.originX) + c.left);
    return Clamp(Offset(x, c.originX) * c.width / c.extentX + c.left);
}

int MapY(const PlayContext& c, std::int64_t y) {
    if (c.extentY == 0)
        return Clamp(Offset(y, c.originY) + c.top);
    return Clamp(Offset(y, c.originY) * c.height / c.extentY + c.top);
}

std::int64_t ScaleHeight(const PlayContext& c, std::int64_t value) {
    return c.extentY == 0 ? value : value * c.height / c.extentY;
}

RECT MapBox(const PlayContext& c, const Record& r, std::size_t firstWord) {
    return RECT{MapX(c, r.Word(firstWord)), MapY(c, r.Word(firstWord + 1)),
                MapX(c, r.Word(firstWord + 2)), MapY(c, r.Word(firstWord + 3))};
}

// Stores a new object at the record's index; false (and the object deleted) when the index is
// out of range.
void StoreObject(PlayContext& c, std::int32_t index, HGDIOBJ object, bool isOwned) {
    if (object == nullptr)
        return;
    if (index < 0 || index > kMaxObjectIndex) {
        if (isOwned)
            DeleteObject(object);
        return;
    }
    if (static_cast<std::size_t>(index) >= c.objects.size())
        c.objects.resize(static_cast<std::size_t>(index) + 1, nullptr);
    c.objects[static_cast<std::size_t>(index)] = object;
    if (isOwned)
        c.created.push_back({object, false});
}

using Handler = void (*)(PlayContext&, const Record&);

void SetExtent(PlayContext& c, const Record& r) {
    if (!r.Has(16))
        return;
    c.extentX = r.Word(2);
    c.extentY = r.Word(3);
}

void SetOrigin(PlayContext& c, const Record& r) {
    if (!r.Has(16))
        return;
    c.originX = r.Word(2);
    c.originY = r.Word(3);
}

void SetBackgroundMode(PlayContext& c, const Record& r) {
    if (r.Has(12))
        SetBkMode(c.dc, r.Word(2));
}

void SetAlignment(PlayContext& c, const Record& r) {
    if (r.Has(12))
        c.textAlign = static_cast<std::uint32_t>(r.Word(2));
}

void MoveTo(PlayContext& c, const Record& r) {
    if (r.Has(16))
        c.current = POINT{MapX(c, r.Word(2)), MapY(c, r.Word(3))};
}

void LineTo(PlayContext& c, const Record& r) {
    if (!r.Has(16))
        return;
    const POINT points[2] = {c.current, POINT{MapX(c, r.Word(2)), MapY(c, r.Word(3))}};
    Polyline(c.dc, points, 2);
    c.current = points[1];
}

void Select(PlayContext& c, const Record& r) {
    if (!r.Has(12))
        return;
    const std::int32_t index = r.Word(2);
    if (index < 0) {
        SelectObject(c.dc, GetStockObject(index & 255));
    } else if (static_cast<std::size_t>(index) < c.objects.size() &&
               c.objects[static_cast<std::size_t>(index)] != nullptr) {
        SelectObject(c.dc, c.objects[static_cast<std::size_t>(index)]);
    }
}

void CreatePenRecord(PlayContext& c, const Record& r) {
    if (!r.Has(28) || r.Word(2) < 0 || r.Word(2) > kMaxObjectIndex)
        return;
    LOGPEN pen{};
    pen.lopnStyle = static_cast<UINT>(r.Word(3));
    pen.lopnWidth = POINT{Clamp(ScaleHeight(c, r.Word(4))), 0};
    pen.lopnColor = static_cast<COLORREF>(r.Word(6));
    StoreObject(c, r.Word(2), CreatePenIndirect(&pen), true);
}

void CreateBrushRecord(PlayContext& c, const Record& r) {
    if (!r.Has(20) || r.Word(2) < 0 || r.Word(2) > kMaxObjectIndex)
        return;
    if (r.Word(3) == 0) {
        StoreObject(c, r.Word(2), CreateSolidBrush(static_cast<COLORREF>(r.Word(4))), true);
    } else {
        // A pattern brush's bits are not in this record: every other style, pattern included,
        // draws no fill.
        StoreObject(c, r.Word(2), GetStockObject(kNullBrush), false);
    }
}

void DeleteRecord(PlayContext& c, const Record& r) {
    if (!r.Has(12))
        return;
    const std::int32_t index = r.Word(2);
    if (index < 0 || static_cast<std::size_t>(index) >= c.objects.size())
        return;
    HGDIOBJ object = c.objects[static_cast<std::size_t>(index)];
    for (CreatedObject& owned : c.created) {
        if (owned.handle == object && !owned.isDeleted) {
            owned.isDeleted = true;
            DeleteObject(object);
            return;
        }
    }
}

void EllipseRecord(PlayContext& c, const Record& r) {
    if (!r.Has(24))
        return;
    const RECT box = MapBox(c, r, 2);
    Ellipse(c.dc, box.left, box.top, box.right, box.bottom);
}

void RectangleRecord(PlayContext& c, const Record& r) {
    if (!r.Has(24))
        return;
    const RECT box = MapBox(c, r, 2);
    Rectangle(c.dc, box.left, box.top, box.right, box.bottom);
}

void CreateFontRecord(PlayContext& c, const Record& r) {
    if (!r.Has(12 + kLogFontBytes) || r.Word(2) < 0 || r.Word(2) > kMaxObjectIndex)
        return;
    const std::uint8_t* p = r.data + 12;
    LOGFONTW font{};
    font.lfHeight = Clamp(ScaleHeight(c, static_cast<std::int32_t>(Read32(p))));
    font.lfWidth = static_cast<LONG>(Read32(p + 4));
    font.lfEscapement = static_cast<LONG>(Read32(p + 8));
    font.lfOrientation = static_cast<LONG>(Read32(p + 12));
    font.lfWeight = static_cast<LONG>(Read32(p + 16));
    font.lfItalic = p[20];
    font.lfUnderline = p[21];
    font.lfStrikeOut = p[22];
    font.lfCharSet = p[23];
    font.lfOutPrecision = p[24];
    font.lfClipPrecision = p[25];
    font.lfQuality = p[26];
    font.lfPitchAndFamily = p[27];
    for (int i = 0; i < LF_FACESIZE; ++i)
        font.lfFaceName[i] = static_cast<WCHAR>(p[28 + 2 * i] | (p[29 + 2 * i] << 8));
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    StoreObject(c, r.Word(2), CreateFontIndirectW(&font), true);
}

void TextOutRecord(PlayContext& c, const Record& r) {
    if (!r.Has(56))
        return;
    const std::int64_t count = static_cast<std::uint32_t>(r.Word(11));
    const std::int64_t offset = static_cast<std::uint32_t>(r.Word(12));
    if (offset + 2 * count > static_cast<std::int64_t>(r.size))
        return;
    std::u16string text(static_cast<std::size_t>(count), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(Read16(r.data + offset + 2 * i));
    // In 64 bits: a reference point at the edge of the int range minus the text size.
    std::int64_t x = MapX(c, r.Word(9));
    std::int64_t y = MapY(c, r.Word(10));
    const RECT bounds = MapBox(c, r, 2);
    SIZE size{};
    GetTextExtentExPointW(c.dc, text.data(), static_cast<int>(text.size()), 0, nullptr, nullptr,
                          &size);
    const bool isRight = (c.textAlign & 2) != 0;
    const bool isCentreBit = (c.textAlign & 4) != 0;
    if (isRight && isCentreBit) {
        x -= size.cx / 2;
        y -= size.cy / 2;
    } else if (isRight) {
        x -= size.cx;
    } else if (isCentreBit) {
        x -= size.cx / 2;
        y -= size.cy / 2;
    } else if ((c.textAlign & 8) != 0) {
        y -= size.cy;
    }
    ExtTextOutW(c.dc, Clamp(x), Clamp(y), static_cast<UINT>(r.Word(13)), &bounds, text.data(),
                static_cast<UINT>(text.size()), nullptr);
}

// Points of a 16-bit record from byte `at`; empty when they do not fit the record.
std::vector<POINT> ReadPoints(const PlayContext& c, const Record& r, std::size_t at,
                              std::int64_t count) {
    if (count < 0 || static_cast<std::int64_t>(at) + 4 * count > static_cast<std::int64_t>(r.size))
        return {};
    std::vector<POINT> points(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::uint8_t* p = r.data + at + 4 * i;
        points[i] = POINT{MapX(c, Read16(p)), MapY(c, Read16(p + 2))};
    }
    return points;
}

template <bool IsPolygon> void PolyRecord(PlayContext& c, const Record& r) {
    if (!r.Has(28))
        return;
    const std::int64_t count = static_cast<std::uint32_t>(r.Word(6));
    const std::vector<POINT> points = ReadPoints(c, r, 28, count);
    if (points.empty())
        return;
    const int n = static_cast<int>(points.size());
    if constexpr (IsPolygon)
        Polygon(c.dc, points.data(), n);
    else
        Polyline(c.dc, points.data(), n);
}

template <bool IsPolygon> void PolyPolyRecord(PlayContext& c, const Record& r) {
    if (!r.Has(32))
        return;
    const std::int64_t parts = static_cast<std::uint32_t>(r.Word(6));
    const std::int64_t total = static_cast<std::uint32_t>(r.Word(7));
    const std::int64_t pointsAt = 32 + 4 * parts;
    if (pointsAt + 4 * total > static_cast<std::int64_t>(r.size))
        return;
    std::int64_t sum = 0;
    for (std::int64_t i = 0; i < parts; ++i)
        sum += static_cast<std::uint32_t>(r.Word(8 + static_cast<std::size_t>(i)));
    if (sum > total)
        return;
    const std::vector<POINT> points = ReadPoints(c, r, static_cast<std::size_t>(pointsAt), total);
    std::size_t next = 0;
    for (std::int64_t i = 0; i < parts; ++i) {
        const auto n = static_cast<std::uint32_t>(r.Word(8 + static_cast<std::size_t>(i)));
        if (n == 0)
            continue;
        if constexpr (IsPolygon)
            Polygon(c.dc, points.data() + next, static_cast<int>(n));
        else
            Polyline(c.dc, points.data() + next, static_cast<int>(n));
        next += n;
    }
}

void Nothing(PlayContext&, const Record&) {}

const std::array<Handler, kHandlerCount>& Handlers() {
    static const std::array<Handler, kHandlerCount> table = [] {
        std::array<Handler, kHandlerCount> t{};
        t.fill(&Nothing);
        t[9] = &SetExtent;
        t[10] = &SetOrigin;
        t[18] = &SetBackgroundMode;
        t[22] = &SetAlignment;
        t[27] = &MoveTo;
        t[37] = &Select;
        t[38] = &CreatePenRecord;
        t[39] = &CreateBrushRecord;
        t[40] = &DeleteRecord;
        t[42] = &EllipseRecord;
        t[43] = &RectangleRecord;
        t[54] = &LineTo;
        t[82] = &CreateFontRecord;
        t[84] = &TextOutRecord;
        t[86] = &PolyRecord<true>;
        t[87] = &PolyRecord<false>;
        t[90] = &PolyPolyRecord<false>;
        t[91] = &PolyPolyRecord<true>;
        return t;
    }();
    return table;
}

} // namespace

std::unique_ptr<EmfPlayer> EmfPlayer::Create() {
    return std::unique_ptr<EmfPlayer>(new (std::nothrow) EmfPlayer());
}

bool EmfPlayer::LoadBytes(const void* data, std::size_t size) {
    buffer_.clear();
    buffer_.shrink_to_fit();
    if (data == nullptr || size < 44 || size > kMaxFileSize)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (Read32(bytes + 40) != kSignature)
        return false;
    buffer_.assign(bytes, bytes + size);
    return true;
}

bool EmfPlayer::Load(LPCWSTR path) {
    buffer_.clear();
    buffer_.shrink_to_fit();
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool isRead = false;
    std::vector<std::uint8_t> contents;
    if (size != INVALID_FILE_SIZE && high == 0 && size >= 44 && size <= kMaxFileSize) {
        contents.resize(size);
        DWORD read = 0;
        isRead = ReadFile(file, contents.data(), size, &read, nullptr) && read == size;
    }
    CloseHandle(file);
    return isRead && LoadBytes(contents.data(), contents.size());
}

bool EmfPlayer::Play(HDC dc, const RECT& rect) {
    if (buffer_.empty())
        return false;
    PlayContext c;
    c.dc = dc;
    c.left = rect.left;
    c.top = rect.top;
    c.width = static_cast<std::int64_t>(rect.right) - rect.left;
    c.height = static_cast<std::int64_t>(rect.bottom) - rect.top;
    HGDIOBJ oldPen = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ oldBrush = GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);

    const auto& handlers = Handlers();
    bool isSound = true;
    std::size_t at = 0;
    while (at < buffer_.size()) {
        const std::size_t left = buffer_.size() - at;
        if (left < 8) {
            isSound = false;
            break;
        }
        const std::uint32_t type = Read32(buffer_.data() + at);
        const std::uint32_t size = Read32(buffer_.data() + at + 4);
        if (size < 8 || size % 4 != 0 || size > left) {
            isSound = false;
            break;
        }
        if (type == kEndOfFile)
            break;
        if (type < kHandlerCount)
            handlers[type](c, Record{buffer_.data() + at, size});
        at += size;
    }

    // The DC gets its own objects back so that what this play made can be deleted.
    if (oldPen != nullptr)
        SelectObject(dc, oldPen);
    if (oldBrush != nullptr)
        SelectObject(dc, oldBrush);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
    for (const CreatedObject& owned : c.created) {
        if (!owned.isDeleted)
            DeleteObject(owned.handle);
    }
    return isSound;
}
