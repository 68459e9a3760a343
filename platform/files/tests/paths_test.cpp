#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(DevicePaths, MixedCaseAndBothSeparatorsFindTheStoredName) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Storage Card\\Maps\\Europe.LVL", "x"));
    const std::filesystem::path stored = root.HostPath() / "Storage Card" / "Maps" / "Europe.LVL";

    const std::u16string_view spellings[] = {
        u"\\Storage Card\\Maps\\Europe.LVL",        u"/storage card/maps/europe.lvl",
        u"\\STORAGE CARD/MAPS\\EUROPE.lvl",         u"storage card\\maps\\europe.lvl",
        u"\\\\Storage Card\\\\.\\Maps\\Europe.lvl", u"\\Storage Card\\Other\\..\\Maps\\europe.lvl",
    };
    for (std::u16string_view spelling : spellings) {
        SCOPED_TRACE(std::string(spelling.begin(), spelling.end()));
        const platform::ResolvedPath resolved = platform::ResolveDevicePath(spelling);
        EXPECT_EQ(resolved.status, platform::PathStatus::Exists);
        EXPECT_EQ(resolved.host, stored);
    }
}

TEST(DevicePaths, LatinOneLettersFoldToo) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Straßen\\Übersicht.txt", "x"));
    const platform::ResolvedPath resolved =
        platform::ResolveDevicePath(u"\\STRAßEN\\übersicht.TXT");
    EXPECT_EQ(resolved.status, platform::PathStatus::Exists);
    EXPECT_EQ(resolved.host, root.HostPath() / "Straßen" / "Übersicht.txt");
}

TEST(DevicePaths, MissingLeafKeepsTheCallersCaseAndMissingFolderIsReported) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.MakeFolder(u"\\Windows"));

    const platform::ResolvedPath leaf = platform::ResolveDevicePath(u"\\WINDOWS\\NewFile.Ini");
    EXPECT_EQ(leaf.status, platform::PathStatus::MissingLeaf);
    EXPECT_EQ(leaf.host, root.HostPath() / "Windows" / "NewFile.Ini");
    EXPECT_EQ(platform::PathStatusError(leaf.status), ERROR_FILE_NOT_FOUND);

    const platform::ResolvedPath folder = platform::ResolveDevicePath(u"\\Nowhere\\file.txt");
    EXPECT_EQ(folder.status, platform::PathStatus::MissingFolder);
    EXPECT_EQ(platform::PathStatusError(folder.status), ERROR_PATH_NOT_FOUND);

    ASSERT_TRUE(root.WriteFile(u"\\plain.txt", "x"));
    EXPECT_EQ(platform::ResolveDevicePath(u"\\plain.txt\\below").status,
              platform::PathStatus::MissingFolder)
        << "a file on the way is no folder";
}

TEST(DevicePaths, ForbiddenCharactersAreBadNames) {
    testdata::TempDeviceRoot root;
    for (std::u16string_view path :
         {u"\\a*b", u"\\dir\\what?", u"\\x:y", u"\\q\"", u"\\l<r>", u"\\p|q"}) {
        EXPECT_EQ(platform::ResolveDevicePath(path).status, platform::PathStatus::BadName);
    }
    EXPECT_EQ(platform::PathStatusError(platform::PathStatus::BadName), ERROR_INVALID_NAME);
}

TEST(DevicePaths, RootAndDotsNeverLeaveTheRoot) {
    testdata::TempDeviceRoot root;
    for (std::u16string_view path : {u"", u"\\", u"/", u"\\..\\..", u".\\."}) {
        const platform::ResolvedPath resolved = platform::ResolveDevicePath(path);
        EXPECT_EQ(resolved.status, platform::PathStatus::Exists);
        EXPECT_TRUE(resolved.isRoot);
        EXPECT_EQ(resolved.host, root.HostPath());
    }
    EXPECT_EQ(platform::NormalizeDevicePath(u"/a//b/./c/../D/"), u"\\a\\b\\D");
    EXPECT_EQ(platform::NormalizeDevicePath(u"\\..\\"), u"\\");
}

TEST(DevicePaths, ExactSpellingWinsWhenTheHostHoldsSeveralCases) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\data.bin", "lower"));
    ASSERT_TRUE(root.WriteFile(u"\\DATA.BIN", "upper"));
    EXPECT_EQ(platform::ResolveDevicePath(u"\\DATA.BIN").host, root.HostPath() / "DATA.BIN");
    EXPECT_EQ(platform::ResolveDevicePath(u"\\data.bin").host, root.HostPath() / "data.bin");
    EXPECT_EQ(platform::ResolveDevicePath(u"\\Data.Bin").host, root.HostPath() / "DATA.BIN")
        << "otherwise the first host name in byte order";
}

TEST(DevicePaths, NamesCompareWithoutCase) {
    EXPECT_TRUE(platform::DeviceNamesEqual(u"ziVur.dll", u"ZIVUR.DLL"));
    EXPECT_TRUE(platform::DeviceNamesEqual(u"\u00e4\u00f6\u00fc", u"\u00c4\u00d6\u00dc"));
    EXPECT_TRUE(platform::DeviceNamesEqual(u"Gr\u00f6\u00dfe.WAV", u"GR\u00d6\u00dfE.wav"));
    EXPECT_FALSE(platform::DeviceNamesEqual(u"a.sfs", u"a.sf"));
    EXPECT_FALSE(platform::DeviceNamesEqual(u"a.sfs", u"b.sfs"));
    EXPECT_FALSE(platform::IsValidDeviceName(u""));
    EXPECT_FALSE(platform::IsValidDeviceName(std::u16string(256, u'a')));
    EXPECT_TRUE(platform::IsValidDeviceName(std::u16string(255, u'a')));
}

} // namespace
