#pragma once
// System error texts (FormatMessageW) and the error codes of the file, module and archive layers
// beyond the basic set in platform/types.h. Safe from any thread.

#include "platform/types.h"

#include <cstdarg>
#include <string_view>

constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_FILE_CORRUPT = 1392;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// Writes the system text of messageId, ending with CR LF, and returns its length in characters
// (without the terminating zero). Only FORMAT_MESSAGE_FROM_SYSTEM is offered; the texts have no
// inserts, so arguments is never read. With FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really an
// LPWSTR* that receives a LocalAlloc block (free it with LocalFree) and size is a minimum;
// otherwise size is the capacity of buffer in characters. 0 on failure with the last error:
// ERROR_MR_MID_NOT_FOUND for an unknown code, ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments);

namespace platform {

// The system text of an error code without the line end; empty for an unknown code.
[[nodiscard]] std::u16string_view SystemErrorText(DWORD errorCode);

} // namespace platform
