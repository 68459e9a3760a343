#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/modules.h"
#include "platform/kernel/debug.h"
#include "platform/sfs/sfs.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using platform::kSfsInvalidHandle;

// The library as its callers see it: loaded by name, entry points looked up.
class ArchiveLibrary : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.InstallModule(platform::kSfsModuleName));
        m_module = LoadLibraryW(platform::kSfsModuleName);
        ASSERT_NE(m_module, nullptr);
        Mount = Entry<platform::SfsMountFunction>(u"SFS_Mount");
        UnMount = Entry<platform::SfsUnMountFunction>(u"SFS_UnMount");
        Create = Entry<platform::SfsCreateFileFunction>(u"SFS_CreateFile");
        Read = Entry<platform::SfsReadFileFunction>(u"SFS_ReadFile");
        Write = Entry<platform::SfsWriteFileFunction>(u"SFS_WriteFile");
        Seek = Entry<platform::SfsSetFilePointerFunction>(u"SFS_SetFilePointer");
        Close = Entry<platform::SfsCloseHandleFunction>(u"SFS_CloseHandle");
        LastError = Entry<platform::SfsGetLastErrorFunction>(u"SFS_GetLastError");
    }
    void TearDown() override {
        if (m_module != nullptr) {
            EXPECT_TRUE(FreeLibrary(m_module));
        }
    }

    template <class Function> Function Entry(std::u16string_view name) {
        FARPROC entry = GetProcAddressW(m_module, std::u16string(name).c_str());
        EXPECT_NE(entry, nullptr);
        return reinterpret_cast<Function>(entry);
    }

    bool WriteArchive(std::u16string_view path,
                      std::initializer_list<std::pair<const char*, std::string>> members,
                      testdata::ArchiveFault fault = testdata::ArchiveFault::None) {
        testdata::ArchiveWriter writer;
        for (const auto& [name, data] : members) {
            if (!writer.AddMember(name, data)) {
                return false;
            }
        }
        return m_root.WriteFile(path, writer.Build(fault));
    }

    DWORD OpenMember(std::u16string_view path) {
        return Create(std::u16string(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                      OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
    }

    std::string ReadAll(DWORD handle, DWORD chunk = 1000) {
        std::string text(chunk, '\0');
        DWORD got = 1234;
        EXPECT_TRUE(Read(handle, text.data(), chunk, &got, nullptr));
        text.resize(got);
        return text;
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    platform::SfsMountFunction Mount = nullptr;
    platform::SfsUnMountFunction UnMount = nullptr;
    platform::SfsCreateFileFunction Create = nullptr;
    platform::SfsReadFileFunction Read = nullptr;
    platform::SfsWriteFileFunction Write = nullptr;
    platform::SfsSetFilePointerFunction Seek = nullptr;
    platform::SfsCloseHandleFunction Close = nullptr;
    platform::SfsGetLastErrorFunction LastError = nullptr;
};

TEST_F(ArchiveLibrary, MembersOpenAsFolderAndNameInAnyCase) {
    ASSERT_TRUE(WriteArchive(u"\\Storage\\CFG\\Advisor.sfs",
                             {{"General.properties", "a=1\n"}, {"SOA.csv", "x;y\n"}}));
    EXPECT_EQ(Mount(u"\\Storage\\CFG\\Advisor.sfs", u"\\Storage\\CFG", 0x80000000, 1, 0), 1);

    for (std::u16string_view path :
         {u"\\Storage\\CFG\\General.properties", u"\\STORAGE\\CFG\\GENERAL.PROPERTIES",
          u"/storage/cfg/general.Properties"}) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        const DWORD handle = OpenMember(path);
        ASSERT_NE(handle, kSfsInvalidHandle);
        EXPECT_EQ(ReadAll(handle), "a=1\n");
        EXPECT_TRUE(Close(handle));
    }
    EXPECT_EQ(OpenMember(u"\\Storage\\CFG\\missing.csv"), kSfsInvalidHandle);
    EXPECT_EQ(LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenMember(u"\\Storage\\SOA.csv"), kSfsInvalidHandle) << "another folder";
    EXPECT_EQ(OpenMember(u"\\Storage\\CFG\\Advisor.sfs\\SOA.csv"), kSfsInvalidHandle);
    EXPECT_NE(UnMount(u"\\storage\\cfg"), 0);
}

TEST_F(ArchiveLibrary, ReadSeekAndSizeLikeWin32) {
    ASSERT_TRUE(WriteArchive(u"\\voice\\eng_waves.sfs",
                             {{"a.wav", "AAAA"}, {"turn.wav", "0123456789"}, {"z.wav", "ZZ"}}));
    ASSERT_EQ(Mount(u"\\voice\\eng_waves.sfs", u"\\voice", 0x80000000, 1, 0), 1);
    const DWORD handle = OpenMember(u"\\voice\\turn.wav");
    ASSERT_NE(handle, kSfsInvalidHandle);

    // Size the way callers take it: remember, seek to the end, seek back.
    EXPECT_EQ(Seek(handle, 3, nullptr, FILE_BEGIN), 3u);
    const DWORD remembered = Seek(handle, 0, nullptr, FILE_CURRENT);
    EXPECT_EQ(Seek(handle, 0, nullptr, FILE_END), 10u);
    EXPECT_EQ(Seek(handle, static_cast<LONG>(remembered), nullptr, FILE_BEGIN), 3u);
    EXPECT_EQ(ReadAll(handle, 4), "3456");

    const struct {
        LONG distance;
        DWORD origin;
        DWORD result;
    } seeks[] = {
        {-2, FILE_END, 8},
        {-1, FILE_CURRENT, 7},
        {-8, FILE_CURRENT, INVALID_SET_FILE_POINTER},
        {1, 7, INVALID_SET_FILE_POINTER},
        {25, FILE_BEGIN, 25},
    };
    for (const auto& s : seeks) {
        EXPECT_EQ(Seek(handle, s.distance, nullptr, s.origin), s.result);
    }
    EXPECT_EQ(ReadAll(handle), "") << "past the end: nothing, but success";
    EXPECT_EQ(Seek(handle, 8, nullptr, FILE_BEGIN), 8u);
    EXPECT_EQ(ReadAll(handle, 100), "89") << "a short read at the end stays inside the member";
    EXPECT_EQ(ReadAll(handle, 100), "");
    EXPECT_TRUE(Close(handle));
    EXPECT_FALSE(Close(handle));
    EXPECT_EQ(LastError(), ERROR_INVALID_HANDLE);
    EXPECT_NE(UnMount(u"\\voice"), 0);
}

TEST_F(ArchiveLibrary, TwoArchivesInOneFolderUnmountTogether) {
    ASSERT_TRUE(WriteArchive(u"\\tmc\\tmc.sfs", {{"events.dat", "events"}}));
    ASSERT_TRUE(WriteArchive(u"\\tmc\\locations.sfs",
                             {{"LCL.dat", "locations"}, {"events.dat", "second copy"}}));
    ASSERT_EQ(Mount(u"\\tmc\\tmc.sfs", u"\\tmc", 0x80000000, 1, 0), 1);
    ASSERT_EQ(Mount(u"\\tmc\\locations.sfs", u"\\tmc", 0x80000000, 1, 0), 1);

    const DWORD events = OpenMember(u"\\TMC\\Events.dat");
    const DWORD locations = OpenMember(u"\\tmc\\lcl.DAT");
    ASSERT_NE(events, kSfsInvalidHandle);
    ASSERT_NE(locations, kSfsInvalidHandle);
    EXPECT_EQ(ReadAll(events), "events") << "the archive mounted first wins a shared name";

    EXPECT_NE(UnMount(u"\\Tmc"), 0);
    EXPECT_EQ(OpenMember(u"\\tmc\\events.dat"), kSfsInvalidHandle);
    EXPECT_EQ(OpenMember(u"\\tmc\\LCL.dat"), kSfsInvalidHandle);
    EXPECT_EQ(UnMount(u"\\tmc"), 0) << "nothing left to unmount";
    EXPECT_EQ(ReadAll(locations), "locations") << "open members stay readable until closed";
    EXPECT_TRUE(Close(events));
    EXPECT_TRUE(Close(locations));

    EXPECT_EQ(Mount(u"\\tmc\\tmc.sfs", u"\\tmc", 0, 0, 0), 1) << "mountable again";
    std::filesystem::remove_all(m_root.HostPathOf(u"\\tmc"));
    EXPECT_NE(UnMount(u"\\TMC"), 0) << "a folder that is gone can still be unmounted";
}

TEST_F(ArchiveLibrary, MountRefusesDuplicatesMissingFilesAndFolders) {
    ASSERT_TRUE(WriteArchive(u"\\maps\\Europe.sfs", {{"Europe.lvl", "level"}}));
    EXPECT_EQ(Mount(u"\\maps\\Europe.sfs", u"\\maps", 0x80000000, 1, 0), 1);
    EXPECT_EQ(Mount(u"\\MAPS\\europe.SFS", u"\\maps", 0x80000000, 1, 0), 0);
    EXPECT_EQ(LastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Mount(u"\\maps\\none.sfs", u"\\maps", 0x80000000, 1, 0), 0);
    EXPECT_EQ(LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Mount(u"\\maps\\Europe.sfs", u"\\nowhere", 0x80000000, 1, 0), 0);
    EXPECT_EQ(LastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Mount(nullptr, u"\\maps", 0, 0, 0), 0);
    EXPECT_EQ(LastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(UnMount(u"\\nowhere"), 0);
    EXPECT_NE(UnMount(u"\\maps"), 0);
}

TEST_F(ArchiveLibrary, CorruptArchivesAreRefusedWithoutMounting) {
    using testdata::ArchiveFault;
    for (ArchiveFault fault :
         {ArchiveFault::BadMagic, ArchiveFault::UnknownVersion, ArchiveFault::SizeFieldMismatch,
          ArchiveFault::CutInsideDirectory, ArchiveFault::DirectoryPastEnd, ArchiveFault::HugeCount,
          ArchiveFault::ShortDirectorySize, ArchiveFault::LongDirectorySize,
          ArchiveFault::MemberPastEnd, ArchiveFault::MemberSizeOverflow,
          ArchiveFault::DuplicateName, ArchiveFault::BadNameCharacter, ArchiveFault::EmptyName}) {
        SCOPED_TRACE(static_cast<int>(fault));
        ASSERT_TRUE(WriteArchive(u"\\bad\\broken.sfs",
                                 {{"first.dat", "1111"}, {"second.dat", "22"}, {"x.dat", "3"}},
                                 fault));
        platform::DebugOutputCapture debugOutput;
        EXPECT_EQ(Mount(u"\\bad\\broken.sfs", u"\\bad", 0x80000000, 1, 0), 0);
        EXPECT_EQ(LastError(), ERROR_FILE_CORRUPT);
        EXPECT_TRUE(debugOutput.Contains(u"\\bad\\broken.sfs: ")) << "one line names the file";
        EXPECT_EQ(OpenMember(u"\\bad\\second.dat"), kSfsInvalidHandle);
        EXPECT_EQ(UnMount(u"\\bad"), 0);
    }
    ASSERT_TRUE(m_root.WriteFile(u"\\bad\\tiny.sfs", "SFS"));
    EXPECT_EQ(Mount(u"\\bad\\tiny.sfs", u"\\bad", 0x80000000, 1, 0), 0);
    EXPECT_EQ(LastError(), ERROR_FILE_CORRUPT);
}

TEST_F(ArchiveLibrary, MembersAreReadOnly) {
    ASSERT_TRUE(WriteArchive(u"\\db\\db.sfs", {{"XO_AN.fsr", "rows"}}));
    ASSERT_EQ(Mount(u"\\db\\db.sfs", u"\\db", 0x80000000, 1, 0), 1);
    const struct {
        DWORD access;
        DWORD creation;
        DWORD error;
    } refused[] = {
        {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {GENERIC_READ, CREATE_NEW, ERROR_FILE_EXISTS},
        {GENERIC_READ, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_ACCESS_DENIED},
        {GENERIC_READ, 9, ERROR_INVALID_PARAMETER},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(Create(u"\\db\\XO_AN.fsr", r.access, 7, nullptr, r.creation, 0, nullptr),
                  kSfsInvalidHandle);
        EXPECT_EQ(LastError(), r.error);
    }
    EXPECT_EQ(Create(u"\\db\\new.fsr", GENERIC_READ, 7, nullptr, OPEN_ALWAYS, 0, nullptr),
              kSfsInvalidHandle)
        << "nothing can be created in an archive";
    const DWORD handle =
        Create(u"\\db\\xo_an.fsr", GENERIC_READ, 7, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, kSfsInvalidHandle);
    DWORD written = 5;
    EXPECT_FALSE(Write(handle, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(LastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadAll(handle), "rows");
    EXPECT_TRUE(Close(handle));
    DWORD got = 5;
    char c = 0;
    EXPECT_FALSE(Read(handle, &c, 1, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(LastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Seek(handle, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_NE(UnMount(u"\\db"), 0);
}

TEST_F(ArchiveLibrary, RootFolderAndManyReadersAtOnce) {
    std::string pages;
    for (int i = 0; i < 4096; ++i) {
        pages.push_back(static_cast<char>('a' + i % 26));
    }
    ASSERT_TRUE(WriteArchive(u"\\kwa.sfs", {{"network.rd", pages}}));
    ASSERT_EQ(Mount(u"\\kwa.sfs", u"\\", 0x80000000, 1, 0), 1);
    std::vector<std::thread> readers;
    readers.reserve(4);
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&, t] {
            const DWORD handle = OpenMember(t % 2 == 0 ? u"\\network.rd" : u"NETWORK.RD");
            for (DWORD offset = static_cast<DWORD>(t); offset < 4000; offset += 97) {
                char c = 0;
                DWORD got = 0;
                const bool isRead =
                    Seek(handle, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
                    Read(handle, &c, 1, &got, nullptr) && got == 1;
                mismatches[t] += isRead && c == pages[offset] ? 0 : 1;
            }
            mismatches[t] += Close(handle) ? 0 : 1;
        });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
    EXPECT_NE(UnMount(u"/"), 0);
}

TEST(ArchiveModule, MissingFileOrEntryPointIsVisibleToCallers) {
    testdata::TempDeviceRoot root;
    EXPECT_EQ(LoadLibraryW(platform::kSfsModuleName), nullptr);
    ASSERT_TRUE(root.InstallModule(u"ZIVUR.DLL", u"\\"));
    HMODULE module = LoadLibraryW(platform::kSfsModuleName);
    ASSERT_NE(module, nullptr);
    for (std::u16string_view name :
         {u"SFS_CreateFile", u"SFS_ReadFile", u"SFS_WriteFile", u"SFS_SetFilePointer",
          u"SFS_CloseHandle", u"SFS_Mount", u"SFS_UnMount", u"SFS_GetLastError"}) {
        EXPECT_NE(GetProcAddressW(module, std::u16string(name).c_str()), nullptr);
    }
    platform::HideEntryPoint(platform::kSfsModuleName, u"SFS_UnMount");
    EXPECT_EQ(GetProcAddressW(module, u"SFS_UnMount"), nullptr);
    platform::ResetHiddenEntryPoints();
    EXPECT_TRUE(FreeLibrary(module));
}

} // namespace
