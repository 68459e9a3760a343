// poicat SOURCE OUTPUT: turns the readable point-of-interest category source of a language
// (UTF-8, one category a line: text, lowest and highest type code, separated by tabs) into the
// enciphered category file ("Poi<Lang>.bin") the destination input reads beside the executable.

#include "testdata/destinationwriter.h"

#include "platform/kernel/codepage.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

namespace {

int Fail(const std::string& message) {
    std::cerr << "poicat: " << message << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return Fail("usage: poicat SOURCE OUTPUT");
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
    std::vector<testdata::PoiCategorySource> categories;
    std::string error;
    if (!testdata::ReadPoiCategorySource(source, categories, error)) {
        return Fail(sourcePath + ": " + error);
    }
    if (categories.empty()) {
        return Fail(sourcePath + ": no categories");
    }
    for (auto& category : categories) {
        const std::u16string wide = platform::Utf8ToUtf16(category.text);
        category.text = platform::WideToAnsi(wide);
        if (platform::AnsiToWide(category.text) != wide) {
            return Fail(sourcePath + ": \"" + category.text +
                        "\" has characters code page 1252 lacks");
        }
    }
    const std::string bytes = testdata::WritePoiCategoryFile(categories);
    const std::string temporaryPath = outputPath + ".tmp";
    {
        std::ofstream out(temporaryPath, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            return Fail(outputPath + ": cannot write");
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporaryPath, outputPath, renameError);
    if (renameError) {
        return Fail(outputPath + ": cannot write: " + renameError.message());
    }
    return 0;
}
