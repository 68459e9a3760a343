#include "testdata/tempdir.h"
#include "utilities/usefulcode/tests/rawfilemodes.h"
#include "utilities/usefulcode/win32file.h"

#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char16_t* kWin32Path = u"\\Kwa\\net.rd";

class Win32FileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.MakeFolder(u"\\Kwa")); }

    testdata::TempDeviceRoot m_root;
};

TEST_F(Win32FileTest, OpensByModeTable) {
    const RawFileModeCase cases[] = {
        {0, true, true, "old"},    {0, false, false, nullptr}, {1, false, true, ""},
        {1, true, true, "old"},    {2, false, true, ""},       {2, true, true, "old"},
        {3, true, true, ""},       {3, false, false, nullptr}, {4, true, true, nullptr},
        {4, false, true, nullptr}, {5, true, true, nullptr},   {5, false, false, nullptr},
        {6, true, false, "old"},   {-1, true, false, "old"},
    };
    ExpectOpensByMode<Win32File>(m_root, kWin32Path, cases);
}

TEST_F(Win32FileTest, UnknownModesLeaveAnOpenFileOpen) {
    ASSERT_TRUE(m_root.WriteFile(kWin32Path, "abc"));
    Win32File file;
    file.Open(kWin32Path, RawFileMode::Read);
    file.Open(kWin32Path, static_cast<RawFileMode>(9));
    ASSERT_TRUE(file.IsOpen());
    char byte = 0;
    EXPECT_TRUE(file.Read(&byte, 1));
    EXPECT_EQ(byte, 'a');
}

TEST_F(Win32FileTest, ReadsWritesSeeksAndTells) {
    Win32File file;
    file.Open(kWin32Path, RawFileMode::ReadWrite);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Write("0123456789", 10));
    EXPECT_TRUE(file.WriteData("ab", 2));
    EXPECT_EQ(file.Tell(), 12);
    EXPECT_EQ(file.Seek(2, kRawSeekBegin), 2);
    char bytes[4] = {};
    EXPECT_TRUE(file.ReadData(bytes, 3));
    EXPECT_EQ(std::string(bytes, 3), "234");
    EXPECT_EQ(file.Seek(1, kRawSeekCurrent), 6);
    EXPECT_EQ(file.Seek(-2, kRawSeekEnd), 10);
    EXPECT_EQ(file.Seek(-1, 7), 11); // any other origin counts from the end
    EXPECT_EQ(file.Seek(-100, kRawSeekBegin), -1);
    EXPECT_EQ(file.Close(), 1);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(m_root.ReadFile(kWin32Path).value_or(""), "0123456789ab");
}

TEST_F(Win32FileTest, TellsACleanEndFromAShortRead) {
    ASSERT_TRUE(m_root.WriteFile(kWin32Path, "abcd"));
    Win32File file;
    file.Open(kWin32Path, RawFileMode::Read);
    char bytes[8] = {};
    EXPECT_FALSE(file.Read(bytes, 8)); // short: 4 of 8
    EXPECT_FALSE(file.IsAtEnd());
    EXPECT_FALSE(file.Read(bytes, 1));
    EXPECT_TRUE(file.IsAtEnd());
    EXPECT_EQ(file.Seek(0, kRawSeekBegin), 0);
    EXPECT_FALSE(file.IsAtEnd());
    EXPECT_TRUE(file.Read(bytes, 4));
    EXPECT_FALSE(file.Write("x", 1)); // opened for reading
}

TEST_F(Win32FileTest, ReopeningClosesTheFormerHandle) {
    ASSERT_TRUE(m_root.WriteFile(kWin32Path, "abcd"));
    const std::size_t before = platform::OpenHandleCount();
    Win32File file;
    file.Open(kWin32Path, RawFileMode::Read);
    file.Open(kWin32Path, RawFileMode::Read);
    EXPECT_EQ(platform::OpenHandleCount(), before + 1);
    EXPECT_TRUE(OpenOnSearchPath(file, kWin32Path, RawFileMode::Read));
    EXPECT_EQ(platform::OpenHandleCount(), before + 1);
    EXPECT_FALSE(OpenOnSearchPath(file, u"\\Kwa\\missing.rd", RawFileMode::Read));
    EXPECT_EQ(platform::OpenHandleCount(), before);
}

TEST_F(Win32FileTest, CreateRawFileReturnsTheFileEvenWhenItDidNotOpen) {
    ASSERT_TRUE(m_root.WriteFile(kWin32Path, "abcd"));
    const std::unique_ptr<RawFile> opened = CreateRawFile(kWin32Path, RawFileMode::Read, false);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->IsOpen());
    EXPECT_NE(dynamic_cast<Win32File*>(opened.get()), nullptr);
    const std::unique_ptr<RawFile> missing =
        CreateRawFile(u"\\Kwa\\missing.rd", RawFileMode::Read, false);
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->IsOpen());
}

} // namespace
