// rescompile SOURCE OUTPUT [PICTURES]: compiles the text source of a language library
// (docs/resources.md) into the resource bundle that stands for that library on the device.
// Bitmap files named in a source are read relative to its folder. PICTURES is a second source of
// only [bitmaps] and [icons] (the pictures skinbitmaps draws) whose pictures join the bundle; an
// id both sources define is an error.

#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

int Fail(const std::string& message) {
    std::cerr << "rescompile: " << message << '\n';
    return 1;
}

// Reads a whole text file; nullopt when it cannot.
std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

// Compiles a source whose bitmap files lie beside it; nullopt after naming the fault.
std::optional<platform::ResourceBundle> CompileFile(const std::string& sourcePath) {
    const auto source = ReadText(sourcePath);
    if (!source) {
        (void)Fail(sourcePath + ": cannot open");
        return std::nullopt;
    }
    std::string message;
    const std::filesystem::path folder = std::filesystem::path(sourcePath).parent_path();
    const auto loadBitmap =
        [&folder](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        const auto bytes = ReadText((folder / std::string(name)).string());
        if (!bytes) {
            return std::nullopt;
        }
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
    };
    auto bundle = platform::CompileResourceSource(*source, &message, loadBitmap);
    if (!bundle) {
        (void)Fail(sourcePath + ": " + message);
    }
    return bundle;
}

// Moves the pictures into the bundle; false after naming an id defined twice.
bool AddPictures(platform::ResourceBundle& bundle, platform::ResourceBundle& pictures,
                 const std::string& picturesPath) {
    if (!pictures.strings.empty() || !pictures.accelerators.empty() || !pictures.menuBars.empty()) {
        (void)Fail(picturesPath + ": may hold only [bitmaps] and [icons]");
        return false;
    }
    for (auto [kind, from, to] : {std::tuple{"bitmap", &pictures.bitmaps, &bundle.bitmaps},
                                  std::tuple{"icon", &pictures.icons, &bundle.icons}}) {
        for (auto& [id, bytes] : *from) {
            if (!to->emplace(id, std::move(bytes)).second) {
                (void)Fail(picturesPath + ": " + kind + " id " + std::to_string(id) +
                           " is in the language source too");
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        return Fail("usage: rescompile SOURCE OUTPUT [PICTURES]");
    }
    const std::string outputPath = argv[2];
    auto bundle = CompileFile(argv[1]);
    if (!bundle) {
        return 1;
    }
    if (argc == 4) {
        auto pictures = CompileFile(argv[3]);
        if (!pictures || !AddPictures(*bundle, *pictures, argv[3])) {
            return 1;
        }
    }
    const std::vector<std::uint8_t> bytes = testdata::WriteResourceBundle(*bundle);
    const std::string temporaryPath = outputPath + ".tmp";
    {
        std::ofstream out(temporaryPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            (void)std::remove(temporaryPath.c_str());
            return Fail(outputPath + ": cannot write");
        }
    }
    if (std::rename(temporaryPath.c_str(), outputPath.c_str()) != 0) {
        (void)std::remove(temporaryPath.c_str());
        return Fail(outputPath + ": cannot replace");
    }
    return 0;
}
