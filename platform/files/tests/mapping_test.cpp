#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/mapping.h"
#include "platform/files/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

HANDLE OpenForMapping(std::u16string_view path, DWORD access = GENERIC_READ) {
    return CreateFileForMappingW(std::u16string(path).c_str(), access, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr);
}

TEST(FileMapping, ViewShowsTheFileAndOutlivesItsHandles) {
    testdata::TempDeviceRoot root;
    const std::size_t handlesBefore = platform::OpenHandleCount();
    ASSERT_TRUE(root.WriteFile(u"\\db\\XO_I.fsr", "table bytes"));
    HANDLE file = OpenForMapping(u"\\DB\\xo_i.FSR");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    EXPECT_EQ(std::memcmp(view, "table bytes", 11), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

TEST(FileMapping, EmptyFileCannotBeMapped) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\empty.fsr", ""));
    HANDLE file = OpenForMapping(u"\\empty.fsr");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 1, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(CloseHandle(file));
}

TEST(FileMapping, RefusesWhatItDoesNotOffer) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\f.bin", "abc"));
    HANDLE file = OpenForMapping(u"\\f.bin");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const struct {
        HANDLE file;
        DWORD protect;
        DWORD sizeLow;
        LPCWSTR name;
        DWORD error;
    } cases[] = {
        {file, PAGE_READWRITE, 0, nullptr, ERROR_INVALID_PARAMETER},
        {file, PAGE_READONLY, 0, u"named", ERROR_INVALID_PARAMETER},
        {file, PAGE_READONLY, 4, nullptr, ERROR_INVALID_PARAMETER},
        {INVALID_HANDLE_VALUE, PAGE_READONLY, 0, nullptr, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateFileMappingW(c.file, nullptr, c.protect, 0, c.sizeLow, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_TRUE(CloseHandle(file));
    HANDLE writer = OpenForMapping(u"\\f.bin", GENERIC_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingW(writer, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(writer));
}

TEST(FileMapping, ViewsNeedAlignedOffsetsInsideTheMapping) {
    testdata::TempDeviceRoot root;
    std::string content(70000, 'a');
    content[65536] = 'Z';
    ASSERT_TRUE(root.WriteFile(u"\\big.dat", content));
    HANDLE file = OpenForMapping(u"\\big.dat");
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);

    const auto* tail = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 0));
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail[0], 'Z');
    EXPECT_TRUE(UnmapViewOfFile(tail));

    const struct {
        DWORD access;
        DWORD offset;
        SIZE_T bytes;
        DWORD error;
    } cases[] = {
        {FILE_MAP_READ, 100, 0, ERROR_MAPPED_ALIGNMENT},
        {FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
        {FILE_MAP_READ, 131072, 0, ERROR_ACCESS_DENIED},
        {FILE_MAP_READ, 65536, 5000, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapViewOfFile(mapping, c.access, 0, c.offset, c.bytes), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr) << "a file is no mapping";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(file));
}

} // namespace
