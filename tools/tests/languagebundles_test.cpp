// The six language bundles built from resources/lang/ load as their libraries and carry the
// application title.
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::string ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(LanguageBundles, EveryLanguageLoadsWithItsTitle) {
    const struct {
        const char* file;
        std::u16string title;
    } languages[] = {
        {"LangGerCE.dll", u"Navigator"},  {"LangEngCE.dll", u"Navigator"},
        {"LangFreCE.dll", u"Navigateur"}, {"LangSpaCE.dll", u"Navegador"},
        {"LangItaCE.dll", u"Navigatore"}, {"LangDutCE.dll", u"Navigator"},
    };
    testdata::TempDeviceRoot root;
    for (const auto& language : languages) {
        SCOPED_TRACE(language.file);
        const std::string bytes =
            ReadHostFile(std::filesystem::path(NAV_LANGUAGE_BUNDLE_DIR) / language.file);
        ASSERT_FALSE(bytes.empty());
        const std::u16string name(language.file, language.file + std::strlen(language.file));
        ASSERT_TRUE(root.WriteFile(u"\\Windows\\" + name, bytes));
        HMODULE module = LoadLibraryW(name.c_str());
        ASSERT_NE(module, nullptr);
        WCHAR title[65];
        const int length = LoadStringW(module, 1, title, 65);
        EXPECT_EQ(std::u16string(title, static_cast<std::size_t>(length)), language.title);
        EXPECT_TRUE(FreeLibrary(module));
    }
}

} // namespace
