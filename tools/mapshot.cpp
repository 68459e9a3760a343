// mapshot DATA-FOLDER LON LAT METRES-PER-PIXEL OUT.png [--size WxH] [--night]: draws one frame of
// the map of a device data folder (as osm2nav writes it, level file "maps\MAP.LVL") in a map
// canvas on the headless screen, centred on the position at the scale, and writes the canvas
// as a PNG image.
#include "mapdisplay/mapcanvas.h"
#include "tools/osm/osmconvert.h"

#include "platform/files/paths.h"
#include "platform/gdi/screenshot.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

struct Options {
    std::filesystem::path folder;
    double longitude = 0;
    double latitude = 0;
    double scale = 0;
    std::filesystem::path out;
    int width = 480;
    int height = 640;
    bool isNight = false;
};

std::optional<double> ParseNumber(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0')
        return std::nullopt;
    return value;
}

std::optional<Options> Parse(int argc, char** argv) {
    if (argc < 6)
        return std::nullopt;
    Options options;
    options.folder = argv[1];
    const auto longitude = ParseNumber(argv[2]);
    const auto latitude = ParseNumber(argv[3]);
    const auto scale = ParseNumber(argv[4]);
    if (!longitude || !latitude || !scale || *longitude < -180 || *longitude > 180 ||
        *latitude < -90 || *latitude > 90 || !(*scale > 0) || *scale > 100000)
        return std::nullopt;
    options.longitude = *longitude;
    options.latitude = *latitude;
    options.scale = *scale;
    options.out = argv[5];
    for (int i = 6; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--night") {
            options.isNight = true;
        } else if (argument == "--size" && i + 1 < argc) {
            int width = 0;
            int height = 0;
            char rest = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &width, &height, &rest) != 2 || width < 16 ||
                height < 16 || width > 4096 || height > 4096)
                return std::nullopt;
            options.width = width;
            options.height = height;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

// Dispatches what the window's thread has queued (the paint among it).
void RunMessages() {
    MSG message{};
    for (int i = 0; i < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0; ++i) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: mapshot DATA-FOLDER LON LAT METRES-PER-PIXEL OUT.png "
                             "[--size WxH] [--night]\n");
        return 2;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(options->folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "mapshot: %s is no folder\n", options->folder.c_str());
        return 1;
    }
    platform::SetDeviceRoot(folder);
    platform::SetScreenSize(options->width, options->height);
    WindowHandle page;
    CreateWindowExW(0, WindowClassRegistry::ClassName(), nullptr, WS_POPUP | WS_VISIBLE, 0, 0,
                    options->width, options->height, nullptr, nullptr, nullptr, &page);
    MapCanvas canvas;
    if (page.window == nullptr ||
        !canvas.Create(page.window, nullptr, WS_CHILD | WS_VISIBLE, false)) {
        std::fprintf(stderr, "mapshot: the window cannot be made\n");
        return 1;
    }
    const auto facade = canvas.GetEngine();
    if (!facade || !facade->LoadLevelFile(osm2nav::kLevelFile) || !facade->HasLevels()) {
        std::fprintf(stderr,
                     "mapshot: %s holds no map (maps/MAP.LVL with its map sets and style "
                     "sheets)\n",
                     folder.c_str());
        return 1;
    }
    RunMessages();
    canvas.SetCenter(
        GeoPoint{static_cast<float>(options->longitude), static_cast<float>(options->latitude)});
    canvas.SetScale(options->scale);
    if (options->isNight && !facade->SelectLevelStyle(static_cast<float>(options->scale), true)) {
        std::fprintf(stderr, "mapshot: the night sheet does not load\n");
        return 1;
    }
    canvas.InvalidateMap();
    UpdateWindow(canvas.GetHwnd());
    RunMessages();
    if (!platform::SaveScreenshot(canvas.GetHwnd(), options->out)) {
        std::fprintf(stderr, "mapshot: %s cannot be written\n", options->out.c_str());
        return 1;
    }
    return 0;
}
