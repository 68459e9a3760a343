#include "platform/files/errors.h"
#include "platform/files/memory.h"
#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FormatMessage, WritesTheSystemTextWithLineEnd) {
    WCHAR buffer[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 512, nullptr);
    EXPECT_EQ(std::u16string(buffer), u"The system cannot find the file specified.\r\n");
    EXPECT_EQ(length, std::u16string(buffer).size());
}

TEST(FormatMessage, AllocatesABufferForLocalFree) {
    LPWSTR text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                       ERROR_FILE_INVALID, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, std::u16string(text).size());
    EXPECT_EQ(std::u16string(text).substr(length - 2), u"\r\n");
    EXPECT_EQ(LocalFree(text), nullptr);
}

TEST(FormatMessage, EveryCodeTheLayerReportsHasAText) {
    const DWORD codes[] = {
        ERROR_SUCCESS,           ERROR_PATH_NOT_FOUND,    ERROR_ACCESS_DENIED,
        ERROR_INVALID_HANDLE,    ERROR_NOT_ENOUGH_MEMORY, ERROR_NO_MORE_FILES,
        ERROR_SHARING_VIOLATION, ERROR_FILE_EXISTS,       ERROR_INVALID_PARAMETER,
        ERROR_INVALID_NAME,      ERROR_MOD_NOT_FOUND,     ERROR_PROC_NOT_FOUND,
        ERROR_NEGATIVE_SEEK,     ERROR_DIR_NOT_EMPTY,     ERROR_ALREADY_EXISTS,
        ERROR_BAD_EXE_FORMAT,    ERROR_DIRECTORY,         ERROR_INVALID_ADDRESS,
        ERROR_MAPPED_ALIGNMENT,  ERROR_FILE_CORRUPT,      ERROR_DISK_FULL};
    for (DWORD code : codes) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(platform::SystemErrorText(code).empty());
    }
}

TEST(FormatMessage, FailsClearly) {
    WCHAR small[8];
    const struct {
        DWORD flags;
        DWORD code;
        LPWSTR buffer;
        DWORD size;
        DWORD error;
    } cases[] = {
        {FORMAT_MESSAGE_FROM_SYSTEM, 123456, small, 8, ERROR_MR_MID_NOT_FOUND},
        {FORMAT_MESSAGE_FROM_SYSTEM, ERROR_ACCESS_DENIED, small, 8, ERROR_INSUFFICIENT_BUFFER},
        {FORMAT_MESSAGE_FROM_STRING, ERROR_ACCESS_DENIED, small, 8, ERROR_INVALID_PARAMETER},
        {FORMAT_MESSAGE_FROM_SYSTEM, ERROR_ACCESS_DENIED, nullptr, 8, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(FormatMessageW(c.flags, nullptr, c.code, 0, c.buffer, c.size, nullptr), 0u);
        EXPECT_EQ(GetLastError(), c.error);
    }
    WCHAR exact[std::size(u"Access is denied.\r\n")];
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, exact,
                             std::size(exact), nullptr),
              19u)
        << "exactly enough room, terminator included";
}

} // namespace
