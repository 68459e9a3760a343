#include "testdata/tempdir.h"
#include "utilities/usefulcode/stdiofile.h"
#include "utilities/usefulcode/tests/rawfilemodes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char16_t* kStdioPath = u"\\Kwa\\pages.sep";

class StdioFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.MakeFolder(u"\\Kwa")); }

    testdata::TempDeviceRoot m_root;
};

TEST_F(StdioFileTest, OpensByModeWithReadWriteFallingBackToCreation) {
    const RawFileModeCase cases[] = {
        {0, true, true, "old"},     {0, false, false, nullptr}, {1, true, true, ""},
        {1, false, true, ""},       {2, true, true, "old"},     {2, false, true, ""},
        {3, true, true, ""},        {3, false, true, ""},       {4, true, true, "old"},
        {4, false, true, ""},       {5, true, true, ""},        {6, true, false, "old"},
        {6, false, false, nullptr},
    };
    ExpectOpensByMode<StdioFile>(m_root, kStdioPath, cases);
}

TEST_F(StdioFileTest, ReadsWritesAndSeeksToPositions) {
    StdioFile file;
    file.Open(kStdioPath, RawFileMode::ReadWriteTruncate);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.Seek(3, kRawSeekBegin), 3);
    char bytes[3] = {};
    EXPECT_TRUE(file.Read(bytes, 2));
    EXPECT_EQ(std::string(bytes, 2), "34");
    EXPECT_EQ(file.Tell(), 5);
    EXPECT_EQ(file.Seek(2, kRawSeekCurrent), 7);
    EXPECT_EQ(file.Seek(-1, kRawSeekEnd), 9);
    EXPECT_EQ(file.Seek(0, 5), 10); // any other origin counts from the end
    EXPECT_EQ(file.Seek(-20, kRawSeekBegin), -1);
    EXPECT_FALSE(file.Read(bytes, 1)); // at the end
    EXPECT_EQ(file.Close(), 1);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Close(), 1);
    EXPECT_FALSE(file.Read(bytes, 1));
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_EQ(m_root.ReadFile(kStdioPath).value_or(""), "0123456789");
}

TEST_F(StdioFileTest, AReadOnlyStreamRefusesWrites) {
    ASSERT_TRUE(m_root.WriteFile(kStdioPath, "abc"));
    StdioFile file;
    file.Open(kStdioPath, RawFileMode::Read);
    EXPECT_FALSE(file.WriteData("x", 1));
    file.Close();
    EXPECT_EQ(m_root.ReadFile(kStdioPath).value_or(""), "abc");
}

} // namespace
