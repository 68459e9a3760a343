// rescompile SOURCE OUTPUT: compiles the text source of a language library (docs/resources.md)
// into the resource bundle that stands for that library on the device. Bitmap files named in
// the source are read relative to the source's folder.

#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

int Fail(const std::string& message) {
    std::cerr << "rescompile: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Fail("usage: rescompile SOURCE OUTPUT");
    }
    const std::string sourcePath = argv[1];
    const std::string outputPath = argv[2];
    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) {
        return Fail(sourcePath + ": cannot open");
    }
    const std::string source((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    if (in.bad()) {
        return Fail(sourcePath + ": cannot read");
    }
    std::string message;
    const std::filesystem::path folder = std::filesystem::path(sourcePath).parent_path();
    const auto loadBitmap =
        [&folder](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        std::ifstream file(folder / std::string(name), std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
        if (file.bad()) {
            return std::nullopt;
        }
        return bytes;
    };
    const auto bundle = platform::CompileResourceSource(source, &message, loadBitmap);
    if (!bundle) {
        return Fail(sourcePath + ": " + message);
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
