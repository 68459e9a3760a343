#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace {

class LanguageLibraryTest : public ::testing::Test {
protected:
    testdata::TempDeviceRoot m_root;

    // Puts a bundle with these strings on the device as the library fileName.
    void Install(std::u16string_view fileName, std::map<UINT, std::u16string> strings,
                 testdata::BundleFault fault = testdata::BundleFault::None) {
        platform::ResourceBundle bundle;
        bundle.strings = std::move(strings);
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\" + std::u16string(fileName),
                                     testdata::WriteResourceBundle(bundle, fault)));
    }

    // String id of module through a buffer of bufferMax characters, filled with 'x' first.
    static std::u16string Load(HMODULE module, UINT id, int bufferMax, int* length) {
        std::u16string buffer(static_cast<std::size_t>(bufferMax) + 1, u'x');
        *length = LoadStringW(module, id, buffer.data(), bufferMax);
        return buffer;
    }

    static std::u16string LoadText(HMODULE module, UINT id) {
        WCHAR buffer[256];
        const int length = LoadStringW(module, id, buffer, 256);
        return std::u16string(buffer, static_cast<std::size_t>(length));
    }
};

TEST_F(LanguageLibraryTest, EachLanguageLibraryGivesItsOwnTexts) {
    Install(u"LangEngCE.dll", {{1, u"Navigator"}, {1101, u"Drive carefully."}});
    Install(u"LangFreCE.dll",
            {{1, u"Navigateur"}, {1101, u"Conduisez prudemment, s'il vous pla\u00EEt."}});
    HMODULE english = LoadLibraryW(u"LangEngCE.dll");
    HMODULE french = LoadLibraryW(u"langfrece.DLL");
    ASSERT_NE(english, nullptr);
    ASSERT_NE(french, nullptr);
    EXPECT_NE(english, french);

    EXPECT_EQ(LoadText(english, 1), u"Navigator");
    EXPECT_EQ(LoadText(french, 1), u"Navigateur");
    EXPECT_EQ(LoadText(english, 1101), u"Drive carefully.");
    EXPECT_EQ(LoadText(french, 1101), u"Conduisez prudemment, s'il vous pla\u00EEt.");
    EXPECT_TRUE(FreeLibrary(english));
    EXPECT_TRUE(FreeLibrary(french));
}

TEST_F(LanguageLibraryTest, MissingLibraryIsNotFoundAndGivesNoStrings) {
    Install(u"LangGerCE.dll", {{1, u"Navigator"}});
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(LoadLibraryW(u"LangSpaCE.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    // A freed library gives no strings either.
    HMODULE german = LoadLibraryW(u"LangGerCE.dll");
    ASSERT_NE(german, nullptr);
    EXPECT_EQ(LoadText(german, 1), u"Navigator");
    EXPECT_TRUE(FreeLibrary(german));
    int length = -1;
    EXPECT_EQ(Load(german, 1, 16, &length).front(), u'\0');
    EXPECT_EQ(length, 0);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

// The bundle is read on the first LoadStringW: when its file has gone by then, the library has no
// strings, and the debug line names the file.
TEST_F(LanguageLibraryTest, BundleGoneBeforeTheFirstStringGivesNoStrings) {
    Install(u"LangSpaCE.dll", {{1, u"Navegador"}});
    HMODULE spanish = LoadLibraryW(u"LangSpaCE.dll");
    ASSERT_NE(spanish, nullptr);
    ASSERT_TRUE(std::filesystem::remove(m_root.HostPathOf(u"\\Windows\\LangSpaCE.dll")));
    platform::DebugOutputCapture debug;
    int length = -1;
    EXPECT_EQ(Load(spanish, 1, 16, &length).front(), u'\0');
    EXPECT_EQ(length, 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_TRUE(debug.Contains(u"LangSpaCE.dll: the resource bundle cannot be found"));
    EXPECT_TRUE(FreeLibrary(spanish));
}

TEST_F(LanguageLibraryTest, CopiesFollowWin32TruncationRules) {
    Install(u"LangItaCE.dll", {{1, u"Navigatore"}, {7, u""}});
    HMODULE italian = LoadLibraryW(u"LangItaCE.dll");
    ASSERT_NE(italian, nullptr);
    const struct {
        std::u16string text; // the buffer's text up to its terminator
        UINT id;
        int bufferMax;
        int length;
        DWORD error; // checked for failures only
    } cases[] = {
        {u"Navigatore", 1, 11, 10, 0},
        {u"Navigatore", 1, 64, 10, 0},
        {u"Navigator", 1, 10, 9, 0},
        {u"N", 1, 2, 1, 0},
        {u"", 1, 1, 0, 0},
        {u"", 2, 16, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"", 7, 16, 0, ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.id << ", buffer " << c.bufferMax);
        SetLastError(ERROR_SUCCESS);
        int length = -1;
        const std::u16string buffer = Load(italian, c.id, c.bufferMax, &length);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(buffer.substr(0, buffer.find(u'\0')), c.text);
        EXPECT_EQ(buffer[static_cast<std::size_t>(c.bufferMax)], u'x') << "wrote past the buffer";
        if (c.error != 0) {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }

    // Buffer size 0: the buffer receives a pointer to the stored, unterminated text.
    const WCHAR* stored = nullptr;
    EXPECT_EQ(LoadStringW(italian, 1, reinterpret_cast<LPWSTR>(&stored), 0), 10);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::u16string(stored, 10), u"Navigatore");
    EXPECT_TRUE(FreeLibrary(italian));
}

TEST_F(LanguageLibraryTest, CorruptBundleGivesNoStrings) {
    Install(u"LangDutCE.dll", {{1, u"Navigator"}, {2, u"Kaart"}},
            testdata::BundleFault::UnorderedIds);
    HMODULE dutch = LoadLibraryW(u"LangDutCE.dll");
    ASSERT_NE(dutch, nullptr);
    platform::DebugOutputCapture debug;
    int length = -1;
    EXPECT_EQ(Load(dutch, 1, 16, &length).front(), u'\0');
    EXPECT_EQ(length, 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
    EXPECT_TRUE(debug.Contains(u"LangDutCE.dll: ids are not strictly ascending"));
    EXPECT_TRUE(FreeLibrary(dutch));
}

TEST_F(LanguageLibraryTest, ReloadedLibrarySeesItsNewFileAndLoadedOneKeepsItsTexts) {
    Install(u"LangEngCE.dll", {{1, u"First"}});
    HMODULE first = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LoadText(first, 1), u"First");
    ASSERT_TRUE(std::filesystem::remove(m_root.HostPathOf(u"\\Windows\\LangEngCE.dll")));
    EXPECT_EQ(LoadText(first, 1), u"First") << "a loaded library keeps its resources";
    EXPECT_TRUE(FreeLibrary(first));

    Install(u"LangEngCE.dll", {{1, u"Second, longer"}});
    HMODULE second = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(LoadText(second, 1), u"Second, longer");
    EXPECT_TRUE(FreeLibrary(second));
}

// A loaded library reads its bundle again when the file changed, even to the same size, and
// keeps what it read when the file is gone or is no file.
TEST_F(LanguageLibraryTest, LoadedLibraryFollowsItsFileWhileItIsOne) {
    const std::filesystem::path host = m_root.HostPathOf(u"\\Windows\\LangItaCE.dll");
    const struct {
        const char* what;
        std::function<void()> change;
        std::u16string expected;
    } cases[] = {
        {"unchanged", [] {}, u"Uno"},
        {"same size, a moment later",
         [&] {
             const auto time = std::filesystem::last_write_time(host);
             Install(u"LangItaCE.dll", {{1, u"Due"}});
             std::filesystem::last_write_time(host, time + std::chrono::milliseconds(1));
         },
         u"Due"},
        {"a folder in its place",
         [&] {
             std::filesystem::remove(host);
             std::filesystem::create_directory(host);
         },
         u"Uno"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Install(u"LangItaCE.dll", {{1, u"Uno"}});
        HMODULE module = LoadLibraryW(u"LangItaCE.dll");
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(LoadText(module, 1), u"Uno");
        c.change();
        EXPECT_EQ(LoadText(module, 1), c.expected);
        EXPECT_TRUE(FreeLibrary(module));
        std::filesystem::remove(host);
    }
}

TEST(ResourceInstance, IsWhatTheApplicationSet) {
    EXPECT_EQ(platform::ResourceInstance(), nullptr);
    auto* const module = reinterpret_cast<HINSTANCE>(std::uintptr_t{42});
    platform::SetResourceInstance(module);
    EXPECT_EQ(platform::ResourceInstance(), module);
    platform::SetResourceInstance(nullptr);
    EXPECT_EQ(platform::ResourceInstance(), nullptr);
}

} // namespace
