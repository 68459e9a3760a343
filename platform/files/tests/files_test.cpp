#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

HANDLE Open(std::u16string_view path, DWORD access, DWORD share, DWORD creation, DWORD flags = 0) {
    const std::u16string text(path);
    return CreateFileW(text.c_str(), access, share, nullptr, creation, flags, nullptr);
}

std::string ReadAll(HANDLE file) {
    std::string text(4096, '\0');
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr));
    text.resize(got);
    return text;
}

bool Write(HANDLE file, std::string_view bytes) {
    DWORD put = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

TEST(CreateFile, DispositionsFollowWin32) {
    struct Case {
        DWORD creation;
        bool exists;
        bool opens;
        DWORD error;
        const char* contentAfter; // nullptr: no file afterwards
    };
    const Case cases[] = {
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {0, true, false, ERROR_INVALID_PARAMETER, "old"},
        {6, false, false, ERROR_INVALID_PARAMETER, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "creation " << c.creation << " exists " << c.exists);
        testdata::TempDeviceRoot root;
        if (c.exists) {
            ASSERT_TRUE(root.WriteFile(u"\\f.dat", "old"));
        }
        HANDLE file = Open(u"\\F.DAT", GENERIC_READ | GENERIC_WRITE, 0, c.creation);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        if (file != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(file));
        }
        const auto content = root.ReadFile(c.exists ? u"\\f.dat" : u"\\F.DAT");
        if (c.contentAfter == nullptr) {
            EXPECT_FALSE(content.has_value());
        } else {
            ASSERT_TRUE(content.has_value());
            EXPECT_EQ(*content, c.contentAfter);
        }
    }
}

TEST(CreateFile, TruncateExistingNeedsWriteAccessAndFoldersDoNotOpen) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Maps\\a.txt", "keep"));
    EXPECT_EQ(Open(u"\\maps\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(root.ReadFile(u"\\Maps\\a.txt"), "keep");

    EXPECT_EQ(Open(u"\\MAPS", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(u"\\", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(u"\\Nowhere\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(u"\\maps\\a?.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

// A FIFO that nobody has open at its other end opens for reading without waiting for a writer
// (the open runs under the lock every open in the process takes, so another file opens at once
// after it). Should the open wait after all, the test opens the other end itself so that it ends.
TEST(CreateFile, AFifoOpensWithoutWaitingForItsOtherEnd) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\other.bin", "other"));
    const std::filesystem::path fifo = root.HostPathOf(u"\\fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [] {
        return Open(u"\\fifo", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    });
    if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the open waits for the FIFO's other end";
        const int otherEnd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        opening.wait();
        ::close(otherEnd);
    }
    HANDLE file = opening.get();
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE other = Open(u"\\other.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(other), "other");
    EXPECT_TRUE(CloseHandle(other));
    EXPECT_TRUE(CloseHandle(file));
}

TEST(CreateFile, NewFileKeepsTheCallersCaseInsideExistingFolders) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.MakeFolder(u"\\My Documents"));
    HANDLE file = Open(u"/MY DOCUMENTS/PKPosition.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(file, "pos"));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(root.ReadFile(u"\\My Documents\\PKPosition.txt"), "pos");
}

TEST(FileData, ReadWriteSeekAndSizeBehaveLikeWin32) {
    testdata::TempDeviceRoot root;
    const std::size_t before = platform::OpenHandleCount();
    HANDLE file = Open(u"\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(file, "0123456789"));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);

    struct Seek {
        LONG distance;
        DWORD origin;
        DWORD position; // INVALID_SET_FILE_POINTER: refused, position unchanged
        DWORD error;
    };
    const Seek seeks[] = {
        {2, FILE_BEGIN, 2, ERROR_SUCCESS},
        {3, FILE_CURRENT, 5, ERROR_SUCCESS},
        {-1, FILE_END, 9, ERROR_SUCCESS},
        {-10, FILE_CURRENT, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
        {5, 7, INVALID_SET_FILE_POINTER, ERROR_INVALID_PARAMETER},
        {20, FILE_BEGIN, 20, ERROR_SUCCESS}, // past the end is allowed
        {-1, FILE_BEGIN, INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK},
    };
    DWORD expected = 10;
    for (const Seek& s : seeks) {
        SCOPED_TRACE(testing::Message() << s.distance << " from " << s.origin);
        EXPECT_EQ(SetFilePointer(file, s.distance, nullptr, s.origin), s.position);
        EXPECT_EQ(GetLastError(), s.error);
        expected = s.position == INVALID_SET_FILE_POINTER ? expected : s.position;
        EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), expected);
    }

    char buffer[8] = {};
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr)); // at 20: past the end
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(SetFilePointer(file, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "6789");

    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 10u);
    EXPECT_EQ(high, 0u);
    LONG highMove = 1;
    EXPECT_EQ(SetFilePointer(file, 0, &highMove, FILE_BEGIN), 0u) << "4 GiB with a high word";
    EXPECT_EQ(highMove, 1);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER)
        << "4 GiB - 1 cannot be told without a high word";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(platform::OpenHandleCount(), before);
}

TEST(FileData, FlushFileBuffersNeedsAWritableFileHandle) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\flush.bin", std::string_view("old")));
    const struct {
        const char* name;
        DWORD access; // 0: no handle at all
        BOOL result;
        DWORD error;
    } cases[] = {
        {"written file", GENERIC_READ | GENERIC_WRITE, TRUE, ERROR_SUCCESS},
        {"read-only handle", GENERIC_READ, FALSE, ERROR_ACCESS_DENIED},
        {"no handle", 0, FALSE, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE file = c.access == 0
                          ? INVALID_HANDLE_VALUE
                          : Open(u"\\flush.bin", c.access, FILE_SHARE_READ, OPEN_EXISTING);
        if (c.access != 0) {
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
        }
        if ((c.access & GENERIC_WRITE) != 0) {
            ASSERT_TRUE(Write(file, "new"));
        }
        SetLastError(12345);
        EXPECT_EQ(FlushFileBuffers(file), c.result);
        EXPECT_EQ(GetLastError(), c.error);
        if (c.access != 0) {
            CloseHandle(file);
        }
    }
    EXPECT_EQ(root.ReadFile(u"\\flush.bin"), "new");
}

TEST(FileData, SetEndOfFileCutsAndExtendsWithZeros) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\t.bin", "abcdef"));
    HANDLE file = Open(u"\\t.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_BEGIN), 3u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 3u);
    EXPECT_EQ(SetFilePointer(file, 8, nullptr, FILE_BEGIN), 8u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 8u);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(root.ReadFile(u"\\t.bin"), std::string("abc\0\0\0\0\0", 8));
}

// Threads reading or writing through one handle take turns on its one file position: every
// record is read exactly once, and no write lands on another's bytes.
TEST(FileData, ThreadsSharingAHandleShareItsPosition) {
    constexpr int kThreads = 4;
    constexpr std::uint32_t kRecords = 4000;
    testdata::TempDeviceRoot root;
    HANDLE file = Open(u"\\shared.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([file, t] {
            for (std::uint32_t i = 0; i < kRecords / kThreads; ++i) {
                const std::uint32_t record = i * kThreads + static_cast<std::uint32_t>(t);
                DWORD put = 0;
                EXPECT_TRUE(WriteFile(file, &record, sizeof record, &put, nullptr));
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(GetFileSize(file, nullptr), kRecords * sizeof(std::uint32_t));

    ASSERT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
    std::vector<std::vector<std::uint32_t>> seen(kThreads);
    threads.clear();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([file, &mine = seen[static_cast<std::size_t>(t)]] {
            std::uint32_t record = 0;
            DWORD got = 0;
            while (ReadFile(file, &record, sizeof record, &got, nullptr) && got == sizeof record) {
                mine.push_back(record);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::vector<int> counts(kRecords, 0);
    for (const auto& mine : seen) {
        for (const std::uint32_t record : mine) {
            ASSERT_LT(record, kRecords);
            ++counts[record];
        }
    }
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 1), static_cast<std::ptrdiff_t>(kRecords))
        << "each record read once";
    EXPECT_TRUE(CloseHandle(file));
}

TEST(FileData, WritesPastTheEndFillTheGapAndAppendsGoToTheEnd) {
    using namespace std::string_view_literals;
    testdata::TempDeviceRoot root;
    const struct {
        bool append;
        LONG seekTo;
        std::string_view content;
        std::uint64_t positionAfter;
    } cases[] = {
        {false, 6, "abc\0\0\0xy"sv, 8}, // past the end: the gap reads as zeros
        {false, 1, "axy"sv, 3},
        {true, 0, "abcxy"sv, 5}, // appending ignores the position and ends up at the end
        {true, 6, "abcxy"sv, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "append " << c.append << " at " << c.seekTo);
        ASSERT_TRUE(root.WriteFile(u"\\w.bin", "abc"));
        const platform::OpenedFile opened = platform::OpenDeviceFile(
            u"\\w.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0, c.append);
        ASSERT_TRUE(opened.file);
        std::uint64_t position = 0;
        ASSERT_EQ(opened.file->Seek(c.seekTo, FILE_BEGIN, position), ERROR_SUCCESS);
        DWORD put = 0;
        EXPECT_EQ(opened.file->Write("xy", 2, put), ERROR_SUCCESS);
        EXPECT_EQ(put, 2u);
        EXPECT_EQ(opened.file->Seek(0, FILE_CURRENT, position), ERROR_SUCCESS);
        EXPECT_EQ(position, c.positionAfter);
        EXPECT_EQ(root.ReadFile(u"\\w.bin"), c.content);
    }
}

// The host refuses to grow a file past its size limit: a write crossing it stops part-way.
TEST(FileData, AWriteFailingPartWayReportsAndPassesTheBytesItWrote) {
    testdata::TempDeviceRoot root;
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < 10) {
        GTEST_SKIP() << "the file size limit cannot be set";
    }
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const bool append : {false, true}) {
        SCOPED_TRACE(testing::Message() << "append " << append);
        ASSERT_TRUE(root.WriteFile(u"\\limit.bin", "abcd"));
        const platform::OpenedFile opened = platform::OpenDeviceFile(
            u"\\limit.bin", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0, append);
        ASSERT_TRUE(opened.file);
        std::uint64_t position = 0;
        ASSERT_EQ(opened.file->Seek(4, FILE_BEGIN, position), ERROR_SUCCESS);

        struct rlimit limited = saved;
        limited.rlim_cur = 10;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        DWORD put = 99;
        const DWORD error = opened.file->Write("0123456789", 10, put);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);

        EXPECT_EQ(error, ERROR_WRITE_FAULT);
        EXPECT_EQ(put, 6u);
        EXPECT_EQ(opened.file->Seek(0, FILE_CURRENT, position), ERROR_SUCCESS);
        EXPECT_EQ(position, 10u) << "past the bytes that were written";
        EXPECT_EQ(root.ReadFile(u"\\limit.bin"), "abcd012345");
    }
    std::signal(SIGXFSZ, previousHandler);
}

TEST(FileData, AccessRightsAreEnforced) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\r.bin", "abc"));
    HANDLE reader =
        Open(u"\\r.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    DWORD put = 5;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &put, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(put, 0u);
    EXPECT_FALSE(SetEndOfFile(reader));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    HANDLE writer = Open(u"\\r.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
    char c = 0;
    DWORD got = 5;
    EXPECT_FALSE(ReadFile(writer, &c, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_TRUE(CloseHandle(writer));

    EXPECT_FALSE(ReadFile(reader, &c, 1, &got, nullptr)) << "closed handle";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(reader, nullptr), INVALID_FILE_SIZE);
}

TEST(FileSharing, ConflictingOpensAreRefusedWithoutSideEffects) {
    constexpr DWORD R = GENERIC_READ;
    constexpr DWORD W = GENERIC_WRITE;
    constexpr DWORD SR = FILE_SHARE_READ;
    constexpr DWORD SW = FILE_SHARE_WRITE;
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool secondOpens;
    };
    const Case cases[] = {
        {R, 0, R, SR | SW, false},  {R, SR, R, SR, true},
        {R, SR, W, SR | SW, false}, {R, SR | SW, W, SR | SW, true},
        {W, SR, R, SR, false},      {W, SR, R, SR | SW, true},
        {R, SR, R, 0, false},       {R | W, SR | SW, R, SR | SW, true},
        {0, 0, R | W, 0, true}, // an open without data access takes no part
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.firstAccess << "/" << c.firstShare << " then "
                                        << c.secondAccess << "/" << c.secondShare);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.WriteFile(u"\\s.bin", "content"));
        HANDLE first = Open(u"\\s.bin", c.firstAccess, c.firstShare, OPEN_EXISTING);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        HANDLE second = Open(u"\\S.BIN", c.secondAccess, c.secondShare, OPEN_EXISTING);
        EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.secondOpens);
        if (second == INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        } else {
            EXPECT_TRUE(CloseHandle(second));
        }
        EXPECT_TRUE(CloseHandle(first));
    }

    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\s.bin", "content"));
    HANDLE exclusive = Open(u"\\s.bin", GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_EQ(Open(u"\\s.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(root.ReadFile(u"\\s.bin"), "content") << "a refused CREATE_ALWAYS empties nothing";
    EXPECT_TRUE(CloseHandle(exclusive));
    HANDLE again = Open(u"\\s.bin", GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "closing ends the conflict";
    EXPECT_TRUE(CloseHandle(again));
}

TEST(FileSharing, DeleteOnCloseRemovesTheFileWithItsLastHandle) {
    testdata::TempDeviceRoot root;
    HANDLE first =
        Open(u"\\temp.tmp", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
             OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(first, "scratch"));
    HANDLE second =
        Open(u"\\TEMP.TMP", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(root.Exists(u"\\temp.tmp")) << "another handle is still open";
    EXPECT_EQ(ReadAll(second), "scratch");
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_FALSE(root.Exists(u"\\temp.tmp"));
}

TEST(FileNames, DeleteFileRespectsOpenHandles) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Settings.ini", "x"));
    ASSERT_TRUE(root.MakeFolder(u"\\Folder"));
    HANDLE open = Open(u"\\settings.ini", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(DeleteFileW(u"\\SETTINGS.INI"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(open));
    open =
        Open(u"\\settings.ini", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    EXPECT_TRUE(DeleteFileW(u"\\SETTINGS.INI")) << "shared for deleting";
    EXPECT_FALSE(root.Exists(u"\\Settings.ini"));
    EXPECT_TRUE(CloseHandle(open));

    EXPECT_FALSE(DeleteFileW(u"\\Settings.ini"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(u"\\folder"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(FileNames, MoveFileNeverReplaces) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\pro12345.tmp", "new"));
    ASSERT_TRUE(root.WriteFile(u"\\RarUderad.ini", "old"));

    EXPECT_FALSE(MoveFileW(u"\\pro12345.tmp", u"\\raruderad.INI"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(root.ReadFile(u"\\RarUderad.ini"), "old");

    EXPECT_TRUE(DeleteFileW(u"\\RarUderad.ini"));
    EXPECT_TRUE(MoveFileW(u"\\PRO12345.TMP", u"\\RarUderad.ini"));
    EXPECT_EQ(root.ReadFile(u"\\RarUderad.ini"), "new");
    EXPECT_FALSE(root.Exists(u"\\pro12345.tmp"));

    EXPECT_TRUE(MoveFileW(u"\\raruderad.ini", u"\\RARUDERAD.INI")) << "only the case changes";
    EXPECT_EQ(root.ReadFile(u"\\RARUDERAD.INI"), "new");

    EXPECT_FALSE(MoveFileW(u"\\missing", u"\\other"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(root.WriteFile(u"\\Dir\\inner.txt", "in"));
    EXPECT_TRUE(MoveFileW(u"\\dir", u"\\Moved"));
    EXPECT_EQ(root.ReadFile(u"\\Moved\\inner.txt"), "in");
}

TEST(Folders, CreateRemoveAndAttributes) {
    testdata::TempDeviceRoot root;
    EXPECT_TRUE(CreateDirectoryW(u"\\Storage Card", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\STORAGE CARD", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(u"\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(root.WriteFile(u"\\Storage Card\\x.txt", "x"));

    EXPECT_EQ(GetFileAttributesW(u"\\storage card"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(u"/Storage Card/X.TXT"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(u"\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(RemoveDirectoryW(u"\\Storage Card"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(u"\\Storage Card\\x.txt"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_TRUE(DeleteFileW(u"\\Storage Card\\x.txt"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\STORAGE CARD"));
    EXPECT_FALSE(root.Exists(u"\\Storage Card"));
    EXPECT_FALSE(RemoveDirectoryW(u"\\"));
}

std::vector<std::u16string> FindAll(std::u16string_view pattern, DWORD* error = nullptr) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data{};
    const std::u16string text(pattern);
    HANDLE find = FindFirstFileW(text.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (error != nullptr) {
            *error = GetLastError();
        }
        return names;
    }
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(find));
    return names;
}

TEST(FindFiles, WildcardsMatchWithoutCase) {
    testdata::TempDeviceRoot root;
    for (std::u16string_view name :
         {u"\\maps\\Europe.sfs", u"\\maps\\tmc.SFS", u"\\maps\\readme.txt", u"\\maps\\a.b.c",
          u"\\maps\\x", u"\\maps\\Sub\\inner.sfs"}) {
        ASSERT_TRUE(root.WriteFile(name, "12345"));
    }
    using Names = std::vector<std::u16string>;
    const struct {
        std::u16string_view pattern;
        Names names;
    } cases[] = {
        {u"\\maps\\*",
         {u".", u"..", u"a.b.c", u"Europe.sfs", u"readme.txt", u"Sub", u"tmc.SFS", u"x"}},
        {u"\\MAPS\\*.sfs", {u"Europe.sfs", u"tmc.SFS"}},
        {u"/maps/*.*",
         {u".", u"..", u"a.b.c", u"Europe.sfs", u"readme.txt", u"Sub", u"tmc.SFS", u"x"}},
        {u"\\maps\\T?C.sfs", {u"tmc.SFS"}},
        {u"\\maps\\?", {u".", u"x"}},
        {u"\\maps\\*.?", {u"..", u"a.b.c"}},
        {u"\\maps\\e*s", {u"Europe.sfs"}},
        {u"\\maps\\*o*", {u"Europe.sfs"}},
        {u"\\maps\\EUROPE.SFS", {u"Europe.sfs"}},
        {u"\\Maps", {u"maps"}},
        {u"\\*", {u"maps"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern.begin(), c.pattern.end()));
        EXPECT_EQ(FindAll(c.pattern), c.names);
    }
}

TEST(FindFiles, ReportsAttributesSizesAndFailures) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\db\\XO_AN.fsr", "1234567"));
    ASSERT_TRUE(root.MakeFolder(u"\\db\\tmc"));
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(u"\\DB\\xo_an.FSR", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"XO_AN.fsr");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(data.nFileSizeLow, 7u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_GT(platform::FileTimeValue(data.ftLastWriteTime), platform::kFileTimeOf1970);
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    find = FindFirstFileW(u"\\db\\TMC", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(find));

    DWORD error = 0;
    EXPECT_TRUE(FindAll(u"\\db\\*.lvl", &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(FindAll(u"\\db\\none.fsr", &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(FindAll(u"\\kwa\\*", &error).empty());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(FindAll(u"\\db\\", &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    HANDLE file = Open(u"\\db\\xo_an.fsr", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(FindClose(file)) << "not a search handle";
    EXPECT_FALSE(FindNextFileW(file, &data));
    EXPECT_TRUE(CloseHandle(file));
}

// A device without a file position, like a serial port.
struct EchoDevice : platform::StreamObject {
    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override {
        transferred = count > 0 ? 1 : 0;
        if (count > 0) {
            *static_cast<char*>(buffer) = 'E';
        }
        return ERROR_SUCCESS;
    }
    DWORD Write(const void*, DWORD count, DWORD& transferred) override {
        transferred = count;
        return ERROR_SUCCESS;
    }
};

HANDLE OpenEcho(std::u16string_view name, DWORD, DWORD, DWORD, DWORD) {
    if (name != u"COM1:") {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return platform::RegisterHandle(std::make_shared<EchoDevice>());
}

TEST(DeviceNames, GoToTheInstalledOpenerAndHaveNoFilePosition) {
    testdata::TempDeviceRoot root;
    EXPECT_EQ(Open(u"COM1:", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    platform::SetDeviceOpener(&OpenEcho);
    HANDLE port = Open(u"COM1:", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    char c = 0;
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(port, &c, 1, &got, nullptr));
    EXPECT_EQ(c, 'E');
    EXPECT_EQ(SetFilePointer(port, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(GetFileSize(port, nullptr), INVALID_FILE_SIZE);
    EXPECT_TRUE(CloseHandle(port));
    platform::SetDeviceOpener(nullptr);
}

} // namespace
