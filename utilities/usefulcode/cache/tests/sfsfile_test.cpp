#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char16_t* kMember = u"\\Maps\\streets.dat";

class SfsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
        testdata::ArchiveWriter writer;
        ASSERT_TRUE(writer.AddMember("streets.dat", "0123456789"));
        ASSERT_TRUE(writer.AddMember("empty.dat", ""));
        ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\map.sfs", writer.Build()));
        ASSERT_TRUE(m_mounts.Mount(u"\\Maps\\map.sfs"));
        ASSERT_TRUE(m_file.Open(kMember, FileAccess::Read, FileShare::Read,
                                FileCreation::OpenExisting, FileHint::RandomAccess));
    }

    std::string ReadText(DWORD count) {
        std::string bytes(count, '\0');
        bytes.resize(m_file.Read(bytes.data(), count));
        return bytes;
    }

    testdata::TempDeviceRoot m_root;
    SfsMountSet m_mounts;
    SfsFile m_file;
};

TEST_F(SfsFileTest, ReadsAMemberByFolderAndName) {
    EXPECT_TRUE(m_file.IsOpen());
    EXPECT_NE(m_file.GetHandleWord(), SfsHandle::kClosed);
    EXPECT_EQ(ReadText(4), "0123");
    EXPECT_EQ(ReadText(100), "456789");
    EXPECT_EQ(ReadText(1), "");
}

TEST_F(SfsFileTest, SeeksFromEachOriginAndTakesUnknownOriginsAsTheBeginning) {
    const struct {
        LONG offset;
        SeekOrigin origin;
        DWORD position;
    } cases[] = {{4, SeekOrigin::Begin, 4},
                 {2, SeekOrigin::Current, 7}, // after the byte read at 4
                 {-3, SeekOrigin::End, 7},
                 {2, static_cast<SeekOrigin>(7), 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(m_file.Seek(c.offset, c.origin), c.position);
        EXPECT_EQ(ReadText(1), std::string(1, static_cast<char>('0' + c.position)));
    }
}

TEST_F(SfsFileTest, GetSizeLeavesThePositionWhereItWas) {
    EXPECT_EQ(m_file.Seek(3, SeekOrigin::Begin), 3u);
    EXPECT_EQ(m_file.GetSize(), 10u);
    EXPECT_EQ(ReadText(2), "34");
    EXPECT_EQ(SfsHandle(m_file.GetHandleWord()).GetSize(), 10u);
    EXPECT_EQ(ReadText(1), "5");
}

TEST_F(SfsFileTest, TruncateAndWriteChangeNothing) {
    EXPECT_FALSE(m_file.Truncate(2));
    EXPECT_FALSE(m_file.Truncate(20));
    EXPECT_EQ(m_file.Write("ab", 2), 0u);
    EXPECT_EQ(m_file.GetSize(), 10u);
    EXPECT_EQ(ReadText(10), "0123456789");
}

TEST_F(SfsFileTest, OpenFailsForMissingMembersAndBadIndices) {
    SfsFile file;
    EXPECT_FALSE(file.Open(u"\\Maps\\missing.dat", FileAccess::Read, FileShare::Read,
                           FileCreation::OpenExisting, FileHint::None));
    EXPECT_FALSE(file.Open(u"\\Other\\streets.dat", FileAccess::Read, FileShare::Read,
                           FileCreation::OpenExisting, FileHint::None));
    EXPECT_FALSE(file.Open(kMember, FileAccess::Read, FileShare::Read, static_cast<FileCreation>(9),
                           FileHint::None));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Open(u"\\MAPS\\Empty.DAT", FileAccess::Read, FileShare::All,
                          FileCreation::OpenExisting, FileHint::SequentialScan));
    EXPECT_EQ(file.GetSize(), 0u);
}

TEST_F(SfsFileTest, ReopeningClosesTheFormerHandleAndCloseIsIdempotent) {
    SfsFile file(kMember, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                 FileHint::None);
    ASSERT_TRUE(file.IsOpen());
    const DWORD first = file.GetHandleWord();
    ASSERT_TRUE(file.Open(kMember, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                          FileHint::None));
    // The former handle was closed: closing its word again is refused by the library.
    ASSERT_NE(first, file.GetHandleWord());
    SfsHandle former(first);
    EXPECT_FALSE(former.Close());
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Close());
}

TEST_F(SfsFileTest, BareHandleHelpersFollowTheClosedValue) {
    SfsHandle closed;
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_TRUE(closed.Close());
    char byte = 0;
    EXPECT_EQ(closed.Read(&byte, 1), 0u);
    EXPECT_EQ(closed.GetSize(), kInvalidFilePosition);
    SfsHandle open(m_file.GetHandleWord());
    EXPECT_EQ(open.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, '0');
}

} // namespace
