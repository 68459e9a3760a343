#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/modules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int Answer() {
    return 42;
}
int Twice(int value) {
    return 2 * value;
}

const platform::ModuleRegistration kProbe(u"Probe.dll", {platform::Export(u"Answer", &Answer),
                                                         platform::Export(u"Twice", &Twice)});
const platform::ModuleRegistration kEmpty(u"Empty.dll", {});

int CallAnswer(HMODULE module) {
    FARPROC entry = GetProcAddressW(module, u"Answer");
    return entry == nullptr ? -1 : reinterpret_cast<int (*)()>(entry)();
}

TEST(Modules, AppearAndDisappearWithTheirFile) {
    testdata::TempDeviceRoot root;
    const std::size_t loadsBefore = platform::LoadedModuleCount();
    EXPECT_EQ(LoadLibraryW(u"probe.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    ASSERT_TRUE(root.InstallModule(u"PROBE.DLL"));
    HMODULE module = LoadLibraryW(u"probe.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CallAnswer(module), 42);
    auto twice = reinterpret_cast<int (*)(int)>(GetProcAddressW(module, u"Twice"));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);
    EXPECT_EQ(platform::LoadedModulePath(module), u"\\Windows\\probe.dll");

    EXPECT_TRUE(DeleteFileW(u"\\Windows\\PROBE.DLL"));
    EXPECT_EQ(LoadLibraryW(u"probe.dll"), nullptr) << "the file is gone";
    EXPECT_EQ(CallAnswer(module), 42) << "a loaded module stays usable";
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(platform::LoadedModuleCount(), loadsBefore);
}

TEST(Modules, SearchProgramFolderWindowsAndRootOrTakeAPath) {
    testdata::TempDeviceRoot root;
    platform::SetProgramFolder(u"/Program Files/Navigator/");
    const struct {
        std::u16string_view file;
        std::u16string_view request;
        bool loads;
    } cases[] = {
        {u"\\Program Files\\Navigator\\probe.dll", u"probe.dll", true},
        {u"\\Windows\\probe.dll", u"Probe", true}, // ".dll" is added
        {u"\\probe.dll", u"probe.dll", true},
        {u"\\Storage Card\\probe.dll", u"probe.dll", false},
        {u"\\Storage Card\\probe.dll", u"\\storage card\\PROBE.DLL", true},
        {u"\\Windows\\probe.dll", u"\\Program Files\\probe.dll", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.request.begin(), c.request.end()));
        testdata::TempDeviceRoot fresh;
        ASSERT_TRUE(fresh.WriteFile(c.file, ""));
        HMODULE module = LoadLibraryW(std::u16string(c.request).c_str());
        EXPECT_EQ(module != nullptr, c.loads);
        if (module != nullptr) {
            EXPECT_TRUE(FreeLibrary(module));
        }
    }
    platform::SetProgramFolder(u"\\");
    EXPECT_EQ(platform::ProgramFolder(), u"\\");
}

TEST(Modules, LoadsAreCountedIndependently) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"probe.dll"));
    HMODULE first = LoadLibraryW(u"probe.dll");
    HMODULE second = LoadLibraryW(u"PROBE.DLL");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(GetModuleHandleW(u"Probe"), first);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(CallAnswer(second), 42) << "the other loader still holds it";
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(GetModuleHandleW(u"probe.dll"), nullptr) << "no load holds it";
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(GetProcAddressW(first, u"Answer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(platform::LoadedModulePath(first), u"");
}

TEST(Modules, HiddenAndUnknownEntryPointsGiveNull) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"probe.dll"));
    HMODULE module = LoadLibraryW(u"probe.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddressW(module, u"answer"), nullptr) << "entry names match exactly";
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(GetProcAddressW(module, u"Missing"), nullptr);

    platform::HideEntryPoint(u"PROBE.DLL", u"Answer");
    EXPECT_EQ(GetProcAddressW(module, u"Answer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_NE(GetProcAddressW(module, u"Twice"), nullptr);
    platform::ResetHiddenEntryPoints();
    EXPECT_EQ(CallAnswer(module), 42);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Modules, RegistrationAndFilesWithoutAModule) {
    // Registrations last as long as the process, so every run registers a name of its own.
    static int runs = 0;
    const std::string number = std::to_string(++runs);
    const std::u16string fresh = u"Fresh" + std::u16string(number.begin(), number.end()) + u".dll";
    EXPECT_TRUE(platform::RegisterModule(fresh, {}));
    EXPECT_FALSE(platform::RegisterModule(fresh, {}));
    EXPECT_FALSE(platform::RegisterModule(u"probe.DLL", {}))
        << "names are taken without letter case";

    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"unknown.dll"));
    EXPECT_EQ(LoadLibraryW(u"unknown.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(LoadLibraryW(u""), nullptr);
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    ASSERT_TRUE(root.InstallModule(u"EMPTY.DLL", u"\\"));
    HMODULE empty = LoadLibraryW(u"empty.dll");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetProcAddressW(empty, u"Answer"), nullptr);
    EXPECT_TRUE(FreeLibrary(empty));
}

} // namespace
