// DIB sections, packed DIBs and bitmap files.
#include "platform/gdi/dib.h"

#include "platform/files/files.h"
#include "platform/gdi/detail/gdistate.h"
#include "platform/shell/resources.h"

#include <cstring>
#include <memory>

using namespace platform::gdi_detail;

namespace {

constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
constexpr DWORD kMaxFileSize = 64u << 20;

std::uint32_t U32(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
           (static_cast<std::uint32_t>(data[at + 2]) << 16) |
           (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

std::uint16_t U16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

bool IsKnownBitCount(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
           bits == 32;
}

// Checks the header fields alone; fills colours (the table's entries), stride and size.
bool CheckHeader(const BITMAPINFOHEADER& h, std::size_t* colours, std::size_t* stride,
                 std::size_t* size) {
    if (h.biSize < kHeaderSize || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == MINLONG ||
        h.biWidth > kMaxBitmapSide || std::abs(h.biHeight) > kMaxBitmapSide || h.biPlanes != 1 ||
        !IsKnownBitCount(h.biBitCount))
        return false;
    const auto width = static_cast<std::uint64_t>(h.biWidth);
    const auto height = static_cast<std::uint64_t>(std::abs(h.biHeight));
    if (width * height > static_cast<std::uint64_t>(kMaxBitmapPixels))
        return false;
    if (h.biCompression != BI_RGB &&
        !(h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32)))
        return false;
    if (h.biBitCount <= 8) {
        const std::size_t most = std::size_t{1} << h.biBitCount;
        if (h.biClrUsed > most)
            return false;
        *colours = h.biClrUsed != 0 ? h.biClrUsed : most;
    } else {
        if (h.biClrUsed > 256)
            return false;
        *colours = h.biClrUsed;
    }
    *stride = static_cast<std::size_t>((width * h.biBitCount + 31) / 32 * 4);
    *size = *stride * static_cast<std::size_t>(height);
    return true;
}

void DefaultMasks(const BITMAPINFOHEADER& h, std::uint32_t (&masks)[3]) {
    if (h.biBitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
}

HBITMAP MakeSection(const platform::PackedDib& dib, const std::uint8_t* pixels, void** bits) {
    const BITMAPINFOHEADER& h = dib.header;
    const int height = std::abs(h.biHeight);
    const bool isMono = h.biBitCount == 1 && dib.palette.size() == 2 && dib.palette[0] == 0 &&
                        dib.palette[1] == 0xFFFFFF;
    auto surface = std::make_shared<Surface>(h.biWidth, height, isMono);
    auto section = std::make_unique<Surface::Dib>();
    section->bitCount = h.biBitCount;
    section->stride = static_cast<int>(dib.stride);
    section->isBottomUp = h.biHeight > 0;
    section->palette = dib.palette;
    section->size = dib.stride * static_cast<std::size_t>(height);
    // Bits copied from the data are not zeroed first; a new section's are.
    section->bits = pixels != nullptr
                        ? std::make_unique_for_overwrite<std::uint8_t[]>(section->size)
                        : std::make_unique<std::uint8_t[]>(section->size);
    if (pixels != nullptr)
        std::memcpy(section->bits.get(), pixels, section->size);
    section->redMask = dib.masks[0];
    section->greenMask = dib.masks[1];
    section->blueMask = dib.masks[2];
    if (bits != nullptr)
        *bits = section->bits.get();
    surface->dib = std::move(section);
    DibToPixels(*surface);
    HBITMAP made = AddBitmap(std::move(surface));
    if (made == nullptr && bits != nullptr)
        *bits = nullptr; // the pixel memory went with the surface
    return made;
}

} // namespace

namespace platform {

bool ReadPackedDib(std::span<const std::uint8_t> data, PackedDib* dib, std::size_t pixelOffset) {
    if (dib == nullptr || data.size() < kHeaderSize)
        return false;
    BITMAPINFOHEADER& h = dib->header;
    h.biSize = U32(data, 0);
    h.biWidth = static_cast<LONG>(U32(data, 4));
    h.biHeight = static_cast<LONG>(U32(data, 8));
    h.biPlanes = U16(data, 12);
    h.biBitCount = U16(data, 14);
    h.biCompression = U32(data, 16);
    h.biSizeImage = U32(data, 20);
    h.biXPelsPerMeter = static_cast<LONG>(U32(data, 24));
    h.biYPelsPerMeter = static_cast<LONG>(U32(data, 28));
    h.biClrUsed = U32(data, 32);
    h.biClrImportant = U32(data, 36);
    std::size_t colours = 0;
    std::size_t size = 0;
    if (!CheckHeader(h, &colours, &dib->stride, &size) || h.biSize > data.size())
        return false;
    std::size_t at = h.biSize;
    DefaultMasks(h, dib->masks);
    if (h.biCompression == BI_BITFIELDS) {
        // A 40-byte header is followed by the three masks; longer headers hold them.
        const std::size_t masksAt = h.biSize == kHeaderSize ? at : kHeaderSize;
        if (masksAt + 12 > data.size())
            return false;
        for (int i = 0; i < 3; ++i)
            dib->masks[i] = U32(data, masksAt + 4 * static_cast<std::size_t>(i));
        if (h.biSize == kHeaderSize)
            at += 12;
    }
    if (colours > (data.size() - at) / 4)
        return false;
    dib->palette.clear();
    for (std::size_t i = 0; i < colours; ++i)
        dib->palette.push_back(U32(data, at + 4 * i) & 0xFFFFFF);
    at += colours * 4;
    if (pixelOffset != 0) {
        if (pixelOffset < at)
            return false;
        at = pixelOffset;
    }
    if (at > data.size() || size > data.size() - at)
        return false;
    dib->pixelOffset = at;
    return true;
}

bool ReadBitmapFile(std::span<const std::uint8_t> data, PackedDib* dib) {
    if (data.size() < kFileHeaderSize + kHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    const std::uint32_t pixels = U32(data, 10);
    if (pixels < kFileHeaderSize)
        return false;
    if (!ReadPackedDib(data.subspan(kFileHeaderSize), dib, pixels - kFileHeaderSize))
        return false;
    dib->pixelOffset += kFileHeaderSize;
    return true;
}

HBITMAP CreateDibFromPacked(std::span<const std::uint8_t> data) {
    PackedDib dib;
    if (!ReadPackedDib(data, &dib))
        return nullptr;
    return MakeSection(dib, data.data() + dib.pixelOffset, nullptr);
}

HBITMAP CreateDibFromFile(std::span<const std::uint8_t> data) {
    PackedDib dib;
    if (!ReadBitmapFile(data, &dib))
        return nullptr;
    return MakeSection(dib, data.data() + dib.pixelOffset, nullptr);
}

} // namespace platform

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits != nullptr)
        *bits = nullptr;
    if (info == nullptr || usage != DIB_RGB_COLORS || section != nullptr)
        return nullptr;
    platform::PackedDib dib;
    dib.header = info->bmiHeader;
    std::size_t colours = 0;
    std::size_t size = 0;
    if (!CheckHeader(dib.header, &colours, &dib.stride, &size))
        return nullptr;
    const auto* base = reinterpret_cast<const std::uint8_t*>(info);
    const std::uint8_t* table = base + dib.header.biSize;
    DefaultMasks(dib.header, dib.masks);
    if (dib.header.biCompression == BI_BITFIELDS) {
        const std::uint8_t* masks = dib.header.biSize == kHeaderSize ? table : base + kHeaderSize;
        std::memcpy(dib.masks, masks, sizeof(dib.masks));
        if (dib.header.biSize == kHeaderSize)
            table += sizeof(dib.masks);
    }
    for (std::size_t i = 0; i < colours; ++i) {
        RGBQUAD quad{};
        std::memcpy(&quad, table + i * sizeof(RGBQUAD), sizeof(quad));
        dib.palette.push_back((static_cast<std::uint32_t>(quad.rgbRed) << 16) |
                              (static_cast<std::uint32_t>(quad.rgbGreen) << 8) | quad.rgbBlue);
    }
    return MakeSection(dib, nullptr, bits);
}

HBITMAP SHLoadDIBitmap(LPCWSTR path) {
    if (path == nullptr)
        return nullptr;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    const DWORD size = GetFileSize(file, nullptr);
    // Read over, not zeroed first: a skin picture is read at every start.
    std::unique_ptr<std::uint8_t[]> data;
    DWORD read = 0;
    if (size != INVALID_FILE_SIZE && size != 0 && size <= kMaxFileSize) {
        data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        if (ReadFile(file, data.get(), size, &read, nullptr) == FALSE)
            read = 0;
    }
    CloseHandle(file);
    if (data == nullptr || read != size)
        return nullptr;
    return platform::CreateDibFromFile(std::span<const std::uint8_t>(data.get(), size));
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    const auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name) & 0xFFFF);
    std::vector<std::uint8_t> bytes;
    if (!platform::LoadResourceBitmap(instance, id, &bytes))
        return nullptr;
    return platform::CreateDibFromFile(bytes);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    const auto id = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name) & 0xFFFF);
    std::vector<std::uint8_t> bytes;
    if (!platform::LoadResourceIcon(instance, id, &bytes))
        return nullptr;
    return platform::CreateDibFromFile(bytes);
}

BOOL DestroyIcon(HICON icon) {
    if (GetObjectType(icon) != OBJ_BITMAP)
        return FALSE;
    return DeleteObject(icon);
}

namespace platform {

bool ReadIconPixels(HICON icon, std::vector<std::uint32_t>* pixels, int* width, int* height) {
    BITMAP info{};
    if (pixels == nullptr || width == nullptr || height == nullptr ||
        GetObjectType(icon) != OBJ_BITMAP || GetObjectW(icon, sizeof info, &info) == 0)
        return false;
    // Copied into a top-down 32-bit DIB section, whose memory then holds the pixels in order.
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC source = CreateCompatibleDC(nullptr);
    HDC target = CreateCompatibleDC(nullptr);
    bool isRead = false;
    if (copy != nullptr && source != nullptr && target != nullptr) {
        HGDIOBJ oldSource = SelectObject(source, icon);
        HGDIOBJ oldTarget = SelectObject(target, copy);
        isRead = BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY) != 0;
        SelectObject(target, oldTarget);
        SelectObject(source, oldSource);
    }
    if (isRead) {
        const auto* first = static_cast<const std::uint32_t*>(bits);
        pixels->assign(first, first + static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
        for (std::uint32_t& pixel : *pixels)
            pixel &= 0xFFFFFF;
        *width = info.bmWidth;
        *height = info.bmHeight;
    }
    if (target != nullptr)
        DeleteDC(target);
    if (source != nullptr)
        DeleteDC(source);
    if (copy != nullptr)
        DeleteObject(copy);
    return isRead;
}

} // namespace platform
