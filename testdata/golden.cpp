// Golden pictures.
#include "testdata/golden.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <png.h>
#include <vector>

namespace testdata {

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // rows top-down
};

std::optional<Picture> Decode(const std::vector<std::uint8_t>& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png.empty() || !png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return picture;
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

::testing::AssertionResult Compare(const std::vector<std::uint8_t>& actualPng,
                                   const std::filesystem::path& folder, const std::string& name) {
    const std::optional<Picture> actual = Decode(actualPng);
    if (!actual) {
        return ::testing::AssertionFailure() << "no picture to compare with " << name;
    }
    const std::filesystem::path golden = folder / "tests" / "golden" / (name + ".png");
    const char* update = std::getenv("NAV_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        return WriteFile(golden, actualPng)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "cannot write " << golden;
    }
    const std::optional<Picture> expected = Decode(ReadFile(golden));
    if (expected && expected->width == actual->width && expected->height == actual->height &&
        expected->rgb == actual->rgb) {
        return ::testing::AssertionSuccess();
    }
    const std::filesystem::path written =
        std::filesystem::current_path() / "golden-actual" / (name + ".png");
    (void)WriteFile(written, actualPng);
    if (!expected) {
        return ::testing::AssertionFailure()
               << "no golden " << golden << " (NAV_UPDATE_GOLDEN=1 writes it; actual: " << written
               << ")";
    }
    return ::testing::AssertionFailure()
           << "the picture differs from " << golden << "; actual: " << written;
}

} // namespace

::testing::AssertionResult DcMatchesGolden(HDC dc, int width, int height,
                                           const std::filesystem::path& folder,
                                           const std::string& name) {
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            pixels.push_back(static_cast<std::uint32_t>(GetRValue(c)) << 16 |
                             static_cast<std::uint32_t>(GetGValue(c)) << 8 | GetBValue(c));
        }
    }
    return Compare(platform::EncodePng(pixels, width, height), folder, name);
}

::testing::AssertionResult WindowMatchesGolden(HWND window, const std::filesystem::path& folder,
                                               const std::string& name) {
    return Compare(platform::ScreenshotPng(window), folder, name);
}

::testing::AssertionResult PngFileMatchesGolden(const std::filesystem::path& png,
                                                const std::filesystem::path& folder,
                                                const std::string& name) {
    return Compare(ReadFile(png), folder, name);
}

std::pair<int, int> PngFileSize(const std::filesystem::path& png) {
    const std::optional<Picture> picture = Decode(ReadFile(png));
    return picture ? std::pair{picture->width, picture->height} : std::pair{0, 0};
}

PngPicture ReadPngFile(const std::filesystem::path& png) {
    const std::optional<Picture> picture = Decode(ReadFile(png));
    PngPicture result;
    if (!picture)
        return result;
    result.width = picture->width;
    result.height = picture->height;
    result.pixels.reserve(picture->rgb.size() / 3);
    for (std::size_t i = 0; i + 2 < picture->rgb.size(); i += 3) {
        result.pixels.push_back(static_cast<std::uint32_t>(picture->rgb[i]) << 16 |
                                static_cast<std::uint32_t>(picture->rgb[i + 1]) << 8 |
                                picture->rgb[i + 2]);
    }
    return result;
}

} // namespace testdata
