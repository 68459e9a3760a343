#include "testdata/tempdir.h"
#include "utilities/usefulcode/handlefile.h"

#include "platform/files/files.h"
#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char16_t* kPath = u"\\Data\\file.bin";

class HandleFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.WriteFile(kPath, "0123456789")); }

    [[nodiscard]] std::string Contents() const { return m_root.ReadFile(kPath).value_or("?"); }

    testdata::TempDeviceRoot m_root;
};

std::string ReadAll(IFile& file, DWORD count) {
    std::string bytes(count, '\0');
    bytes.resize(file.Read(bytes.data(), count));
    return bytes;
}

TEST_F(HandleFileTest, OpensThroughTheIndexTables) {
    const struct {
        FileAccess access;
        FileShare share;
        FileCreation creation;
        FileHint hint;
        const char16_t* path;
        bool opens;
    } cases[] = {
        {FileAccess::Read, FileShare::Read, FileCreation::OpenExisting, FileHint::None, kPath,
         true},
        {FileAccess::Read, FileShare::Read, FileCreation::OpenExisting, FileHint::RandomAccess,
         u"\\data\\FILE.BIN", true},
        {FileAccess::Read, FileShare::Read, FileCreation::OpenExisting, FileHint::None,
         u"\\Data\\missing.bin", false},
        {FileAccess::ReadWrite, FileShare::All, FileCreation::CreateNew, FileHint::None, kPath,
         false},
        {FileAccess::ReadWrite, FileShare::All, FileCreation::OpenAlways, FileHint::SequentialScan,
         u"\\Data\\new.bin", true},
        {static_cast<FileAccess>(3), FileShare::Read, FileCreation::OpenExisting, FileHint::None,
         kPath, false},
        {FileAccess::Read, static_cast<FileShare>(4), FileCreation::OpenExisting, FileHint::None,
         kPath, false},
        {FileAccess::Read, FileShare::Read, static_cast<FileCreation>(4), FileHint::None, kPath,
         false},
        {FileAccess::Read, FileShare::Read, FileCreation::OpenExisting, static_cast<FileHint>(3),
         kPath, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path)));
        HandleFile file;
        EXPECT_EQ(file.Open(c.path, c.access, c.share, c.creation, c.hint), c.opens);
        EXPECT_EQ(file.IsOpen(), c.opens);
    }
}

TEST_F(HandleFileTest, ConstructorOpensAtOnce) {
    HandleFile file(kPath, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::RandomAccess);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetSize(), 10u);
    EXPECT_EQ(ReadAll(file, 4), "0123");
}

TEST_F(HandleFileTest, SeeksFromEachOriginAndTakesUnknownOriginsAsTheBeginning) {
    HandleFile file(kPath, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::None);
    ASSERT_TRUE(file.IsOpen());
    const struct {
        LONG offset;
        SeekOrigin origin;
        DWORD position;
        const char* next;
    } cases[] = {
        {3, SeekOrigin::Begin, 3, "3"},          {2, SeekOrigin::Current, 6, "6"},
        {-2, SeekOrigin::End, 8, "8"},           {5, static_cast<SeekOrigin>(7), 5, "5"},
        {1, static_cast<SeekOrigin>(3), 1, "1"}, {-1, SeekOrigin::Begin, kInvalidFilePosition, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(file.Seek(c.offset, c.origin), c.position);
        if (c.position != kInvalidFilePosition) {
            EXPECT_EQ(ReadAll(file, 1), c.next);
        }
    }
}

TEST_F(HandleFileTest, ReadsZeroAtTheEndAndWritesAtThePosition) {
    HandleFile file(kPath, FileAccess::ReadWrite, FileShare::Exclusive, FileCreation::OpenExisting,
                    FileHint::None);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Seek(0, SeekOrigin::End), 10u);
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1), 0u);
    EXPECT_EQ(file.Seek(2, SeekOrigin::Begin), 2u);
    EXPECT_EQ(file.Write("ab", 2), 2u);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Contents(), "01ab456789");
}

TEST_F(HandleFileTest, WriteToAReadOnlyFileWritesNothing) {
    HandleFile file(kPath, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::None);
    EXPECT_EQ(file.Write("xy", 2), 0u);
    EXPECT_FALSE(file.Truncate(2));
    file.Close();
    EXPECT_EQ(Contents(), "0123456789");
}

TEST_F(HandleFileTest, TruncateCutsAndExtends) {
    HandleFile file(kPath, FileAccess::ReadWrite, FileShare::Exclusive, FileCreation::OpenExisting,
                    FileHint::None);
    ASSERT_TRUE(file.Truncate(4));
    EXPECT_EQ(file.GetSize(), 4u);
    ASSERT_TRUE(file.Truncate(12));
    EXPECT_EQ(file.GetSize(), 12u);
    EXPECT_FALSE(file.Truncate(-1));
    EXPECT_EQ(file.GetSize(), 12u);
    file.Close();
    EXPECT_EQ(Contents(), std::string("0123") + std::string(8, '\0'));
}

TEST_F(HandleFileTest, CloseOfAClosedFileSucceedsWithoutAnyCall) {
    HandleFile file;
    SetLastError(1234);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(GetLastError(), 1234u); // nothing was asked of the platform
    ASSERT_TRUE(file.Open(kPath, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                          FileHint::None));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Close());
}

TEST_F(HandleFileTest, OpenOnAnOpenFileClosesTheOldHandle) {
    const std::size_t before = platform::OpenHandleCount();
    {
        HandleFile file;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(file.Open(kPath, FileAccess::Read, FileShare::Read,
                                  FileCreation::OpenExisting, FileHint::None));
            EXPECT_EQ(platform::OpenHandleCount(), before + 1);
        }
        EXPECT_FALSE(file.Open(u"\\Data\\missing.bin", FileAccess::Read, FileShare::Read,
                               FileCreation::OpenExisting, FileHint::None));
        EXPECT_EQ(platform::OpenHandleCount(), before);
    }
    EXPECT_EQ(platform::OpenHandleCount(), before);
}

TEST_F(HandleFileTest, TruncatesABareHandle) {
    HANDLE handle = CreateFileW(kPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(TruncateHandle(handle, 20));
    EXPECT_EQ(GetFileSize(handle, nullptr), 20u);
    EXPECT_FALSE(TruncateHandle(handle, -5));
    CloseHandle(handle);
}

} // namespace
