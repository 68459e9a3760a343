// The archive library stays loaded once loaded, so each test runs in a fresh process of its own
// and checks the modes without it first.
#include "testdata/archivewriter.h"
#include "testdata/freshprocess.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/cache/sfslibrary.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/modules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A device with an archive and a loose file beside it, the library not loaded.
struct Device {
    Device() {
        EXPECT_EQ(SfsLibrary::Get(), nullptr);
        EXPECT_TRUE(MemoryArena::Shared().Reserve(1 << 20));
        testdata::ArchiveWriter writer;
        EXPECT_TRUE(writer.AddMember("packed.fsr", std::string(32, 'p')));
        EXPECT_TRUE(root.WriteFile(u"\\Db\\data.sfs", writer.Build()));
        EXPECT_TRUE(root.WriteFile(u"\\Db\\loose.fsr", std::string(32, 'l')));
    }

    testdata::TempDeviceRoot root;
};

TEST(SfsLibraryLoading, WithoutTheLibraryReadersUseLooseFilesOnly) {
    testdata::RunInFreshProcess([] {
        const Device device;
        const std::size_t modulesBefore = platform::LoadedModuleCount();
        EXPECT_FALSE(SfsLibrary::EnsureLoaded());
        SfsMountSet mounts;
        EXPECT_FALSE(mounts.Mount(u"\\Db\\data.sfs"));
        EXPECT_FALSE(mounts.IsMounted(u"\\Db\\data.sfs"));
        EXPECT_FALSE(mounts.IsMounted(u""));
        EXPECT_FALSE(mounts.UnmountAll());
        SfsFile member;
        EXPECT_FALSE(member.Open(u"\\Db\\packed.fsr", FileAccess::Read, FileShare::Read,
                                 FileCreation::OpenExisting, FileHint::None));
        // A bare handle word that no library gave out reads nothing and closes as failed.
        SfsHandle bare(5);
        char byte = 0;
        EXPECT_EQ(bare.Read(&byte, 1), 0u);
        EXPECT_EQ(bare.GetSize(), kInvalidFilePosition);
        EXPECT_FALSE(bare.Close());
        EXPECT_FALSE(bare.IsOpen());

        BlockCachePtr cache = BlockCache::Create(4);
        EXPECT_FALSE(cache->GetArchiveFile(u"\\Db\\packed.fsr", FileCreation::OpenExisting,
                                           FileAccess::Read, FileShare::Read, 32));
        const CachedFilePtr loose = cache->GetPlainFile(
            u"\\Db\\loose.fsr", FileCreation::OpenExisting, FileAccess::Read, FileShare::Read, 32);
        ASSERT_TRUE(loose);
        EXPECT_EQ(loose->GetBlock(0)->GetData()[31], 'l');
        EXPECT_EQ(SfsLibrary::Get(), nullptr);
        EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore);
    });
}

TEST(SfsLibraryLoading, AMissingEntryPointCountsAsNoLibrary) {
    testdata::RunInFreshProcess([] {
        const Device device;
        ASSERT_TRUE(device.root.InstallModule(u"ziVur.dll"));
        const std::size_t modulesBefore = platform::LoadedModuleCount();
        for (const char16_t* entry : {u"SFS_CreateFile", u"SFS_UnMount", u"SFS_GetLastError"}) {
            platform::ResetHiddenEntryPoints();
            platform::HideEntryPoint(u"ziVur.dll", entry);
            EXPECT_FALSE(SfsLibrary::EnsureLoaded());
            SfsMountSet mounts;
            EXPECT_FALSE(mounts.Mount(u"\\Db\\data.sfs"));
            EXPECT_EQ(SfsLibrary::Get(), nullptr);
            EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore); // freed again
        }
    });
}

TEST(SfsLibraryLoading, LoadsOnceTheLibraryIsComplete) {
    testdata::RunInFreshProcess([] {
        const Device device;
        ASSERT_TRUE(device.root.InstallModule(u"ziVur.dll"));
        platform::HideEntryPoint(u"ziVur.dll", u"SFS_Mount");
        EXPECT_FALSE(SfsLibrary::EnsureLoaded());
        platform::ResetHiddenEntryPoints();
        EXPECT_TRUE(SfsLibrary::EnsureLoaded());
        SfsLibrary* library = SfsLibrary::Get();
        ASSERT_NE(library, nullptr);
        EXPECT_TRUE(SfsLibrary::EnsureLoaded());
        EXPECT_EQ(SfsLibrary::Get(), library);
        SfsMountSet mounts;
        EXPECT_TRUE(mounts.Mount(u"\\Db\\data.sfs"));
        SfsFile member(u"\\Db\\packed.fsr", FileAccess::Read, FileShare::Read,
                       FileCreation::OpenExisting, FileHint::None);
        EXPECT_EQ(member.GetSize(), 32u);
    });
}

} // namespace
