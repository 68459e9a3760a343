#include "testdata/tempdir.h"

#include "platform/shell/specialfolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SpecialFolderTest, PersonalFolderUnderTheDeviceRoot) {
    const struct {
        const char* name;
        int folder;
        bool existing;  // "\My Documents" made before the call
        bool fileThere; // a file named "My Documents" made before the call
        BOOL create;
        BOOL result;
        bool existsAfter;
    } cases[] = {
        {"personal, missing, no create", CSIDL_PERSONAL, false, false, FALSE, FALSE, false},
        {"personal, missing, create", CSIDL_PERSONAL, false, false, TRUE, TRUE, true},
        {"personal, existing", CSIDL_PERSONAL, true, false, FALSE, TRUE, true},
        {"personal, a file in the way", CSIDL_PERSONAL, false, true, TRUE, FALSE, false},
        {"desktop folder id", 0x0000, false, false, TRUE, FALSE, false},
        {"programs folder id", 0x0002, true, false, TRUE, FALSE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        if (c.existing) {
            ASSERT_TRUE(root.MakeFolder(u"\\My Documents"));
        }
        if (c.fileThere) {
            ASSERT_TRUE(root.WriteFile(u"\\My Documents", "x"));
        }
        WCHAR buffer[MAX_PATH] = {u'?', u'\0'};
        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, buffer, c.folder, c.create), c.result);
        EXPECT_EQ(std::u16string(buffer), c.result ? u"\\My Documents" : u"?");
        const bool isFolder = std::filesystem::is_directory(root.HostPathOf(u"\\My Documents"));
        EXPECT_EQ(isFolder, c.existsAfter);
    }
    EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, nullptr, CSIDL_PERSONAL, TRUE), FALSE);
}

} // namespace
