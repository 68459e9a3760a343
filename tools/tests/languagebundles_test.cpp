// The six language bundles built from resources/lang/ load as their libraries and carry the
// application title, the main menu's keys, its menu bar and the pictures drawn at build time.
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"

#include "platform/files/modules.h"
#include "platform/gdi/dib.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {

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
            testdata::ReadTestFile(std::filesystem::path(NAV_LANGUAGE_BUNDLE_DIR) / language.file);
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
            testdata::ReadTestFile(std::filesystem::path(NAV_LANGUAGE_BUNDLE_DIR) / file);
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

// The picture's pixels (0x00RRGGBB, rows top-down) and size; empty when it is no valid bitmap.
std::vector<std::uint32_t> PicturePixels(const std::vector<std::uint8_t>& file, SIZE* size) {
    HBITMAP bitmap = platform::CreateDibFromFile(file);
    std::vector<std::uint32_t> pixels;
    int width = 0, height = 0;
    if (bitmap != nullptr && platform::ReadIconPixels(bitmap, &pixels, &width, &height))
        *size = SIZE{width, height};
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    return pixels;
}

TEST(LanguageBundles, EveryLanguageCarriesTheDrawnPictures) {
    // Buttons: normal, pressed and disabled faces of one size, three different pictures with
    // the same keyed-out corner; north-up's pressed face is also its disabled one.
    const struct {
        std::vector<UINT> ids;
        SIZE size;
        bool isKeyed;
    } groups[] = {
        {{1184}, {128, 52}, false},
        {{3}, {20, 16}, true},
        {{4}, {20, 16}, true},
        {{585, 586, 588}, {200, 32}, true},
        {{420, 421, 423}, {200, 32}, true},
        {{430, 431, 433}, {200, 32}, true},
        {{1102, 1103, 1105}, {200, 32}, true},
        {{440, 441, 443}, {200, 32}, true},
        {{450, 451, 453}, {200, 32}, true},
        {{460, 461, 463}, {200, 32}, true},
        {{894, 895}, {40, 40}, true},
        {{890, 891, 893}, {40, 40}, true},
        {{898, 899, 901}, {40, 40}, true},
        {{902, 903, 905}, {40, 40}, true},
        {{906, 907, 909}, {40, 40}, true},
        {{910, 911, 913}, {40, 40}, true},
        {{946, 947, 949}, {40, 40}, true},
        {{950, 951, 953}, {40, 40}, true},
        {{954, 955, 957}, {40, 40}, true},
        {{1075, 1076, 1078}, {40, 40}, true},
        {{1097, 1098, 1100}, {40, 40}, true},
        {{974, 975, 977}, {40, 40}, true},
        {{970, 971, 973}, {40, 40}, true},
        // The map's direction arrows, copied whole; the marker and the flag key out their
        // first pixel's colour (blue, white).
        {{941, 937, 940, 930, 931, 932, 933, 934, 935, 936, 938, 939}, {47, 47}, false},
        {{390}, {20, 20}, false},
        {{1089}, {16, 16}, false},
    };
    // The settings pages' state buttons: off (id) and on (id + 1) differ; disabled faces (id + 3)
    // exist, some shared with a neighbour's off or on face.
    const UINT switches[] = {1045, 1047, 1049, 1051, 1053, 1055, 1058, 1061, 1069, 1082, 1092,
                             1106, 1108, 1132, 1177, 1179, 1191, 1222, 1224, 1226, 1228};
    constexpr std::uint32_t kKeyPixel = 0xFF00FF;
    for (const char* file : {"LangGerCE.dll", "LangEngCE.dll", "LangFreCE.dll", "LangSpaCE.dll",
                             "LangItaCE.dll", "LangDutCE.dll"}) {
        SCOPED_TRACE(file);
        const std::string bytes =
            testdata::ReadTestFile(std::filesystem::path(NAV_LANGUAGE_BUNDLE_DIR) / file);
        const auto bundle = platform::ReadResourceBundle(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        ASSERT_TRUE(bundle.has_value());
        std::set<UINT> expected;
        for (const auto& group : groups) {
            std::set<std::vector<std::uint32_t>> faces;
            for (const UINT id : group.ids) {
                SCOPED_TRACE(id);
                expected.insert(id);
                ASSERT_TRUE(bundle->bitmaps.contains(id));
                SIZE size{};
                const auto pixels = PicturePixels(bundle->bitmaps.at(id), &size);
                ASSERT_FALSE(pixels.empty());
                EXPECT_EQ(size.cx, group.size.cx);
                EXPECT_EQ(size.cy, group.size.cy);
                EXPECT_EQ(pixels.front() == kKeyPixel, group.isKeyed);
                // A picture, not a plain area: more than a few colours.
                EXPECT_GT(std::set<std::uint32_t>(pixels.begin(), pixels.end()).size(), 3u);
                faces.insert(pixels);
            }
            EXPECT_EQ(faces.size(), group.ids.size());
        }
        // The map keys out blue (COLORREF 0xFF0000) around the marker, white around the flag.
        for (const auto& [id, key] :
             {std::pair<UINT, std::uint32_t>{390, 0x0000FF}, {1089, 0xFFFFFF}}) {
            SIZE size{};
            const auto pixels = PicturePixels(bundle->bitmaps.at(id), &size);
            EXPECT_EQ(pixels.empty() ? 0u : pixels.front(), key) << id;
        }
        for (const UINT id : switches) {
            SCOPED_TRACE(id);
            for (const UINT face : {id, id + 1, id + 3}) {
                expected.insert(face);
                ASSERT_TRUE(bundle->bitmaps.contains(face));
            }
            SIZE size{};
            const auto off = PicturePixels(bundle->bitmaps.at(id), &size);
            EXPECT_EQ(size.cx, 40);
            EXPECT_EQ(size.cy, 40);
            EXPECT_EQ(off.front(), kKeyPixel);
            EXPECT_NE(off, PicturePixels(bundle->bitmaps.at(id + 1), &size));
        }
        std::set<UINT> present;
        for (const auto& [id, picture] : bundle->bitmaps)
            present.insert(id);
        EXPECT_EQ(present, expected);
        ASSERT_EQ(bundle->icons.size(), 1u);
        SIZE iconSize{};
        EXPECT_FALSE(PicturePixels(bundle->icons.at(1), &iconSize).empty());
        EXPECT_EQ(iconSize.cx, 32);
        EXPECT_EQ(iconSize.cy, 32);
    }
}

} // namespace
