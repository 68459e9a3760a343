#include "testdata/tempdir.h"

#include "platform/files/paths.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(TempDeviceRoot, IsTheDeviceRootWhileItLivesAndLeavesNothing) {
    const std::filesystem::path before = platform::DeviceRoot();
    std::filesystem::path host;
    {
        testdata::TempDeviceRoot root;
        host = root.HostPath();
        EXPECT_EQ(platform::DeviceRoot(), host);
        EXPECT_TRUE(std::filesystem::is_directory(host));
        EXPECT_TRUE(std::filesystem::is_empty(host));
        {
            testdata::TempDeviceRoot inner;
            EXPECT_NE(inner.HostPath(), host);
            EXPECT_EQ(platform::DeviceRoot(), inner.HostPath());
        }
        EXPECT_EQ(platform::DeviceRoot(), host) << "an inner root restores the outer one";
        ASSERT_TRUE(root.WriteFile(u"\\My Documents/Deep\\note.txt", "text"));
        EXPECT_EQ(root.ReadFile(u"/My Documents/Deep/note.txt"), "text");
        EXPECT_EQ(root.HostPathOf(u"\\My Documents\\Deep\\note.txt"),
                  host / "My Documents" / "Deep" / "note.txt");
        EXPECT_FALSE(root.ReadFile(u"\\my documents\\deep\\note.txt").has_value())
            << "the fixture itself takes names literally";
        ASSERT_TRUE(root.InstallModule(u"gpstmc.dll"));
        EXPECT_TRUE(root.Exists(u"\\Windows\\gpstmc.dll"));
        ASSERT_TRUE(root.MakeFolder(u"\\Storage Card\\maps"));
        EXPECT_TRUE(std::filesystem::is_directory(host / "Storage Card" / "maps"));
    }
    EXPECT_FALSE(std::filesystem::exists(host));
    EXPECT_EQ(platform::DeviceRoot(), before);
}

TEST(TempDeviceRoot, AtAChosenFolderStartsEmptyAndStaysOnlyWhenKept) {
    testdata::TempDeviceRoot outer;
    const std::filesystem::path folder = outer.HostPath() / "staging";
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        ASSERT_TRUE(outer.WriteFile(u"\\staging\\old\\left.txt", "old"));
        {
            testdata::TempDeviceRoot root(folder, keep);
            EXPECT_EQ(root.HostPath(), folder);
            EXPECT_EQ(platform::DeviceRoot(), folder);
            EXPECT_TRUE(std::filesystem::is_empty(folder)) << "what lay there is gone";
            ASSERT_TRUE(root.WriteFile(u"\\new.txt", "new"));
        }
        EXPECT_EQ(platform::DeviceRoot(), outer.HostPath());
        EXPECT_EQ(testdata::ReadHostFile(folder / "new.txt").has_value(), keep);
    }
}

TEST(TempDeviceRoot, ReadsBackEveryByteWhateverTheFileSize) {
    testdata::TempDeviceRoot root;
    // Around the reader's block of 64 KiB, with every byte value (NUL, CR, LF, 0x1A) in them.
    const std::size_t sizes[] = {0, 1, 65535, 65536, 65537, 3 * 65536 + 5, 10u << 20};
    for (const std::size_t size : sizes) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
        }
        ASSERT_TRUE(root.WriteFile(u"\\sizes\\file.bin", bytes));
        EXPECT_EQ(root.ReadFile(u"\\sizes\\file.bin"), bytes);
        EXPECT_EQ(testdata::ReadHostFile(root.HostPathOf(u"\\sizes\\file.bin")), bytes);
    }
    EXPECT_FALSE(root.ReadFile(u"\\sizes\\missing.bin").has_value());
    EXPECT_FALSE(testdata::ReadHostFile(root.HostPathOf(u"\\sizes\\missing.bin")).has_value());
    // A file whose size the file system gives as 0 is still read to its end.
    const auto command = testdata::ReadHostFile("/proc/self/cmdline");
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(std::filesystem::file_size("/proc/self/cmdline"), 0u);
    EXPECT_EQ(command->substr(0, command->find('\0')), ::program_invocation_name);
}

} // namespace
