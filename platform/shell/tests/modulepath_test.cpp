#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/kernel/handles.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

namespace {

class ModulePathTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::SetExecutablePath(u"");
        platform::SetProgramFolder(u"\\");
    }
    testdata::TempDeviceRoot m_root;
};

std::u16string FileNameOf(HMODULE module) {
    WCHAR buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    return std::u16string(buffer, length);
}

TEST_F(ModulePathTest, ExecutableLiesInTheProgramFolderUntilSet) {
    platform::SetProgramFolder(u"\\Program Files\\Nav");
    EXPECT_EQ(FileNameOf(nullptr), u"\\Program Files\\Nav\\Navigator.exe");
    platform::SetExecutablePath(u"\\Storage Card\\Nav\\nav.exe");
    EXPECT_EQ(FileNameOf(nullptr), u"\\Storage Card\\Nav\\nav.exe");
}

TEST_F(ModulePathTest, LoadedModuleNamesTheFileItWasFoundAt) {
    platform::SetProgramFolder(u"\\Program Files\\Nav");
    ASSERT_TRUE(m_root.InstallModule(u"LangGerCE.dll", u"\\Program Files\\Nav"));
    HMODULE module = LoadLibraryW(u"LangGerCE.dll");
    ASSERT_NE(module, nullptr);
    const std::u16string path = FileNameOf(module);
    EXPECT_TRUE(platform::DeviceNamesEqual(path, u"\\Program Files\\Nav\\LangGerCE.dll"))
        << std::string(path.begin(), path.end());
    EXPECT_TRUE(FreeLibrary(module));

    SetLastError(ERROR_SUCCESS);
    WCHAR buffer[8] = {u'x'};
    EXPECT_EQ(GetModuleFileNameW(module, buffer, 8), 0u) << "a freed module has no file";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ModulePathTest, CutsToTheBufferAndAlwaysTerminates) {
    platform::SetExecutablePath(u"\\Nav\\nav.exe"); // 12 characters
    const struct {
        DWORD size;
        DWORD result;
        std::u16string text;
        DWORD error; // for cut or failed copies
    } cases[] = {
        {13, 12, u"\\Nav\\nav.exe", ERROR_SUCCESS},
        {12, 12, u"\\Nav\\nav.ex", ERROR_INSUFFICIENT_BUFFER},
        {2, 2, u"\\", ERROR_INSUFFICIENT_BUFFER},
        {1, 1, u"", ERROR_INSUFFICIENT_BUFFER},
        {0, 0, u"?", ERROR_INSUFFICIENT_BUFFER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        WCHAR buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), u'?');
        buffer[1] = u'\0';
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetModuleFileNameW(nullptr, buffer, c.size), c.result);
        EXPECT_EQ(std::u16string(buffer), c.text);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

} // namespace
