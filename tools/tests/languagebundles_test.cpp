// The six language bundles built from resources/lang/ load as their libraries and carry the
// application title, the main menu's keys and its menu bar.
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

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

TEST(LanguageBundles, EveryLanguageBindsEachMainMenuCommandToACtrlKeyLeavingTheTestKeys) {
    const std::set<WORD> commands = {585, 420, 430, 1102, 440, 450, 460};
    const std::set<WORD> testKeys = {'L', 'P', 'R', 'S', 'T', 'V'};
    for (const char* file : {"LangGerCE.dll", "LangEngCE.dll", "LangFreCE.dll", "LangSpaCE.dll",
                             "LangItaCE.dll", "LangDutCE.dll"}) {
        SCOPED_TRACE(file);
        const std::string bytes =
            ReadHostFile(std::filesystem::path(NAV_LANGUAGE_BUNDLE_DIR) / file);
        const auto bundle = platform::ReadResourceBundle(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        ASSERT_TRUE(bundle.has_value());
        EXPECT_EQ(bundle->menuBars, std::set<UINT>{101});
        ASSERT_EQ(bundle->accelerators.size(), 1u);
        const auto& table = bundle->accelerators.at(225);
        std::set<WORD> bound;
        std::set<WORD> keys;
        for (const platform::BundleAccelerator& entry : table) {
            bound.insert(entry.command);
            keys.insert(entry.key);
            EXPECT_EQ(entry.flags,
                      platform::kAcceleratorVirtualKey | platform::kAcceleratorControl);
            EXPECT_FALSE(testKeys.contains(entry.key)) << char(entry.key);
        }
        EXPECT_EQ(bound, commands);
        EXPECT_EQ(keys.size(), table.size());
    }
}

} // namespace
