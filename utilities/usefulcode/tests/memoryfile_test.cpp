#include "testdata/tempdir.h"
#include "utilities/usefulcode/memoryfile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char16_t* kPath = u"\\Kwa\\index.idx";

class MemoryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.WriteFile(kPath, "0123456789abcdefghij"));
        m_file.Open(kPath, RawFileMode::Read);
        ASSERT_TRUE(m_file.IsOpen());
    }

    std::string Next(DWORD count) {
        std::string bytes(count, '\0');
        return m_file.Read(bytes.data(), count) ? bytes : "<failed>";
    }

    testdata::TempDeviceRoot m_root;
    MemoryFile m_file;
};

TEST_F(MemoryFileTest, TellsTheCursorAndSeeksRelativeToIt) {
    EXPECT_EQ(Next(10), "0123456789");
    EXPECT_EQ(m_file.Tell(), 10);
    EXPECT_EQ(m_file.Seek(-4, kRawSeekCurrent), 6);
    EXPECT_EQ(m_file.Tell(), 6);
    EXPECT_EQ(Next(2), "67");
}

TEST_F(MemoryFileTest, SeeksWithinTheLoadedBytesOnly) {
    const struct {
        LONG offset;
        int origin;
        LONG result;
        LONG tellAfter;
    } cases[] = {
        {0, kRawSeekEnd, 20, 20},    {-4, kRawSeekEnd, 16, 16},     {-4, 9, 16, 16},
        {5, kRawSeekBegin, 5, 5},    {15, kRawSeekCurrent, 20, 20}, {1, kRawSeekCurrent, -1, 20},
        {-1, kRawSeekBegin, -1, 20}, {21, kRawSeekBegin, -1, 20},   {1, kRawSeekEnd, -1, 20},
        {-21, kRawSeekEnd, -1, 20},  {0, kRawSeekBegin, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " from " << c.origin);
        EXPECT_EQ(m_file.Seek(c.offset, c.origin), c.result);
        EXPECT_EQ(m_file.Tell(), c.tellAfter);
        EXPECT_TRUE(m_file.IsOpen());
    }
}

TEST_F(MemoryFileTest, AReadPastTheEndCopiesNothing) {
    ASSERT_EQ(m_file.Seek(-3, kRawSeekEnd), 17);
    std::string bytes = "xxxx";
    EXPECT_FALSE(m_file.Read(bytes.data(), 4));
    EXPECT_EQ(bytes, "xxxx");
    EXPECT_EQ(m_file.Tell(), 17);
    EXPECT_TRUE(m_file.ReadData(bytes.data(), 3));
    EXPECT_EQ(bytes, "hijx");
    EXPECT_TRUE(m_file.Read(bytes.data(), 0));
    EXPECT_FALSE(m_file.Read(bytes.data(), 0xFFFFFFFFu));
}

TEST_F(MemoryFileTest, WritesNothing) {
    EXPECT_FALSE(m_file.Write("zz", 2));
    EXPECT_FALSE(m_file.WriteData("zz", 2));
    EXPECT_EQ(Next(2), "01");
}

TEST_F(MemoryFileTest, OpensOnlyForReadingAndOnlyExistingFiles) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Kwa\\empty.idx", ""));
    const struct {
        const char16_t* path;
        int mode;
        bool opens;
        LONG size;
    } cases[] = {
        {kPath, 0, true, 20},
        {u"\\Kwa\\empty.idx", 0, true, 0},
        {u"\\Kwa\\none.idx", 0, false, -1},
        {kPath, 1, false, -1},
        {kPath, 2, false, -1},
        {kPath, 7, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        MemoryFile file;
        file.Open(c.path, static_cast<RawFileMode>(c.mode));
        EXPECT_EQ(file.IsOpen(), c.opens);
        EXPECT_EQ(file.Seek(0, kRawSeekEnd), c.size);
    }
}

TEST_F(MemoryFileTest, CloseFreesTheCopy) {
    EXPECT_EQ(m_file.Close(), 1);
    EXPECT_FALSE(m_file.IsOpen());
    EXPECT_EQ(m_file.Tell(), -1);
    EXPECT_EQ(Next(1), "<failed>");
    EXPECT_TRUE(OpenOnSearchPath(m_file, kPath, RawFileMode::Read));
    EXPECT_EQ(Next(3), "012");
}

TEST_F(MemoryFileTest, KeepsItsCopyWhenTheFileChanges) {
    ASSERT_TRUE(m_root.WriteFile(kPath, "changed"));
    EXPECT_EQ(Next(5), "01234");
    EXPECT_EQ(m_file.Seek(0, kRawSeekEnd), 20);
}

} // namespace
