// PNG screenshots through libpng.
#include "platform/gdi/screenshot.h"

#include "platform/gdi/detail/gdistate.h"
#include "platform/gdi/detail/savedscreen.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <csetjmp>
#include <fstream>
#include <mutex>
#include <png.h>

using namespace platform::gdi_detail;

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

// libpng reports errors by a jump back into this function; nothing with a destructor lives
// across the jump.
bool Encode(const std::uint32_t* pixels, int width, int height, std::uint8_t* rowBuffer,
            std::vector<std::uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            rowBuffer[x * 3] = static_cast<std::uint8_t>(row[x] >> 16);
            rowBuffer[x * 3 + 1] = static_cast<std::uint8_t>(row[x] >> 8);
            rowBuffer[x * 3 + 2] = static_cast<std::uint8_t>(row[x]);
        }
        png_write_row(png, rowBuffer);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

namespace platform {

namespace {

struct ShownReadHook {
    std::mutex mutex;
    std::function<void()> hook;
};

ShownReadHook& TheShownReadHook() {
    static ShownReadHook* hook = new ShownReadHook;
    return *hook;
}

void RunShownReadHook() {
    std::function<void()> hook;
    {
        std::lock_guard lock(TheShownReadHook().mutex);
        hook = TheShownReadHook().hook;
    }
    if (hook)
        hook();
}

// The screen's pixels within rect, with the GDI lock held.
bool CopyScreenLocked(GdiState& state, const RECT* rect, std::vector<std::uint32_t>* pixels,
                      int* width, int* height) {
    const SurfacePtr screen = Screen(state);
    if (!screen)
        return false;
    RECT area{0, 0, screen->width, screen->height};
    if (rect != nullptr) {
        area.left = std::max(area.left, rect->left);
        area.top = std::max(area.top, rect->top);
        area.right = std::min(area.right, rect->right);
        area.bottom = std::min(area.bottom, rect->bottom);
    }
    if (area.left >= area.right || area.top >= area.bottom)
        return false;
    *width = area.right - area.left;
    *height = area.bottom - area.top;
    pixels->clear();
    pixels->reserve(static_cast<std::size_t>(*width) * *height);
    for (LONG y = area.top; y < area.bottom; ++y) {
        const std::uint32_t* row =
            screen->pixels.data() + static_cast<std::size_t>(y) * screen->width;
        pixels->insert(pixels->end(), row + area.left, row + area.right);
    }
    return true;
}

} // namespace

bool ReadScreenPixels(const RECT* rect, std::vector<std::uint32_t>* pixels, int* width,
                      int* height) {
    if (pixels == nullptr || width == nullptr || height == nullptr)
        return false;
    FetchTarget(nullptr);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    return CopyScreenLocked(state, rect, pixels, width, height);
}

bool ReadShownPixels(std::vector<std::uint32_t>* pixels, int* width, int* height) {
    if (pixels == nullptr || width == nullptr || height == nullptr)
        return false;
    FetchTarget(nullptr);
    GdiState& state = State();
    // One step under the lock: a hold taken between a look for it and the read would let the
    // check's own painting through.
    std::lock_guard lock(state.mutex);
    const SurfacePtr screen = Screen(state);
    if (screen && state.heldScreen && state.heldScreen->size() == screen->pixels.size()) {
        *pixels = *state.heldScreen;
        *width = screen->width;
        *height = screen->height;
        return screen->width > 0 && screen->height > 0;
    }
    RunShownReadHook();
    return CopyScreenLocked(state, nullptr, pixels, width, height);
}

void SetShownReadHook(std::function<void()> hook) {
    std::lock_guard lock(TheShownReadHook().mutex);
    TheShownReadHook().hook = std::move(hook);
}

ScreenHold::ScreenHold() {
    FetchTarget(nullptr);
    // The window system's lock comes before GDI's: the watch starts first, and it is what makes
    // a hold the only one.
    if (!StartPaintWatch())
        return;
    {
        GdiState& state = State();
        std::lock_guard lock(state.mutex);
        if (const SurfacePtr screen = Screen(state); screen && !state.heldScreen) {
            state.heldScreen = screen->pixels;
            m_isHolding = true;
        }
    }
    if (!m_isHolding)
        EndPaintWatch();
}

ScreenHold::~ScreenHold() {
    if (!m_isHolding)
        return;
    {
        GdiState& state = State();
        std::lock_guard lock(state.mutex);
        // A screen that changed its size meanwhile keeps what it has: the old picture does not
        // fit.
        if (const SurfacePtr screen = Screen(state);
            screen && state.heldScreen->size() == screen->pixels.size())
            screen->pixels = std::move(*state.heldScreen);
        state.heldScreen.reset();
    }
    // What other windows painted meanwhile is painted again over the picture put back.
    EndPaintWatch();
}

std::optional<RECT> FirstDifference(const std::vector<std::uint32_t>& before,
                                    const std::vector<std::uint32_t>& after, int width) {
    if (width <= 0)
        return std::nullopt;
    const auto rows =
        static_cast<LONG>(std::max(before.size(), after.size()) / static_cast<std::size_t>(width));
    if (before.size() != after.size())
        return RECT{0, 0, width, rows};
    std::optional<RECT> found;
    for (LONG y = 0; y < rows; ++y) {
        const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const auto first = std::mismatch(before.begin() + static_cast<std::ptrdiff_t>(row),
                                         before.begin() + static_cast<std::ptrdiff_t>(row + width),
                                         after.begin() + static_cast<std::ptrdiff_t>(row));
        if (first.first == before.begin() + static_cast<std::ptrdiff_t>(row + width)) {
            if (found)
                break;
            continue;
        }
        LONG last = width - 1;
        while (before[row + static_cast<std::size_t>(last)] ==
               after[row + static_cast<std::size_t>(last)])
            --last;
        const auto left =
            static_cast<LONG>(first.first - before.begin() - static_cast<std::ptrdiff_t>(row));
        if (!found)
            found = RECT{left, y, last + 1, y + 1};
        found->left = std::min(found->left, left);
        found->right = std::max(found->right, last + 1);
        found->bottom = y + 1;
    }
    return found;
}

std::vector<std::uint8_t> EncodePng(const std::vector<std::uint32_t>& pixels, int width,
                                    int height) {
    std::vector<std::uint8_t> out;
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return out;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    if (!Encode(pixels.data(), width, height, row.data(), &out))
        out.clear();
    return out;
}

std::vector<std::uint8_t> ScreenshotPng(HWND window) {
    RECT rect{};
    if (window != nullptr && GetWindowRect(window, &rect) == FALSE)
        return {};
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    if (!ReadScreenPixels(window != nullptr ? &rect : nullptr, &pixels, &width, &height))
        return {};
    return EncodePng(pixels, width, height);
}

namespace {

bool WritePng(const std::vector<std::uint8_t>& png, const std::filesystem::path& hostFile) {
    if (png.empty())
        return false;
    std::ofstream out(hostFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

} // namespace

bool SaveScreenshot(HWND window, const std::filesystem::path& hostFile) {
    return WritePng(ScreenshotPng(window), hostFile);
}

bool SavePng(const std::vector<std::uint32_t>& pixels, int width, int height,
             const std::filesystem::path& hostFile) {
    return WritePng(EncodePng(pixels, width, height), hostFile);
}

} // namespace platform

namespace platform::gdi_detail {

SavedScreen::SavedScreen(const RECT& rect) {
    std::vector<std::uint32_t> shown;
    int width = 0;
    int height = 0;
    if (!ReadShownPixels(&shown, &width, &height))
        return;
    const RECT screen{0, 0, width, height};
    if (IntersectRect(&m_rect, &rect, &screen) == FALSE)
        return;
    m_pixels.reserve(static_cast<std::size_t>(m_rect.right - m_rect.left) *
                     static_cast<std::size_t>(m_rect.bottom - m_rect.top));
    for (LONG y = m_rect.top; y < m_rect.bottom; ++y) {
        const auto row = shown.begin() + static_cast<std::ptrdiff_t>(y) * width;
        m_pixels.insert(m_pixels.end(), row + m_rect.left, row + m_rect.right);
    }
}

void SavedScreen::Restore() const {
    if (m_pixels.empty())
        return;
    FetchTarget(nullptr);
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    const SurfacePtr screen = Screen(state);
    if (!screen || m_rect.right > screen->width || m_rect.bottom > screen->height)
        return;
    const auto rowWidth = static_cast<std::size_t>(m_rect.right - m_rect.left);
    for (LONG y = m_rect.top; y < m_rect.bottom; ++y) {
        std::copy_n(
            m_pixels.begin() +
                static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y - m_rect.top) * rowWidth),
            rowWidth,
            screen->pixels.begin() + static_cast<std::ptrdiff_t>(y) * screen->width + m_rect.left);
    }
}

} // namespace platform::gdi_detail
