#include "testdata/tempdir.h"

#include "platform/files/paths.h"

#include <gtest/gtest.h>

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

} // namespace
