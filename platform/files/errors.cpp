#include "platform/files/errors.h"

#include "platform/files/memory.h"
#include "platform/kernel/handles.h"

#include <cstring>

namespace {

struct ErrorText {
    DWORD code;
    std::u16string_view text;
};

// Sorted by code.
constexpr ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, u"The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, u"Incorrect function."},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file."},
    {ERROR_ACCESS_DENIED, u"Access is denied."},
    {ERROR_INVALID_HANDLE, u"The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, u"Not enough storage is available to process this command."},
    {ERROR_OUTOFMEMORY, u"Not enough storage is available to complete this operation."},
    {ERROR_NO_MORE_FILES, u"There are no more files."},
    {ERROR_WRITE_FAULT, u"The system cannot write to the specified device."},
    {ERROR_READ_FAULT, u"The system cannot read from the specified device."},
    {ERROR_SHARING_VIOLATION,
     u"The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_EOF, u"Reached the end of the file."},
    {ERROR_HANDLE_DISK_FULL, u"The disk is full."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported."},
    {ERROR_FILE_EXISTS, u"The file exists."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect."},
    {ERROR_DISK_FULL, u"There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, u"The file name, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, u"The specified procedure could not be found."},
    {ERROR_NEGATIVE_SEEK,
     u"An attempt was made to move the file pointer before the beginning of the file."},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty."},
    {ERROR_BAD_PATHNAME, u"The specified path is invalid."},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists."},
    {ERROR_BAD_EXE_FORMAT, u"The file is not a valid library."},
    {ERROR_FILENAME_EXCED_RANGE, u"The file name or extension is too long."},
    {ERROR_DIRECTORY, u"The directory name is invalid."},
    {ERROR_MR_MID_NOT_FOUND, u"The system cannot find message text for this message number."},
    {ERROR_INVALID_ADDRESS, u"Attempt to access invalid address."},
    {ERROR_FILE_INVALID, u"The file is empty or no longer valid and cannot be mapped."},
    {ERROR_MAPPED_ALIGNMENT, u"The base address or the file offset does not have the proper "
                             u"alignment."},
    {ERROR_FILE_CORRUPT, u"The file or directory is corrupted and unreadable."},
};

constexpr bool IsSorted() {
    for (std::size_t i = 1; i < std::size(kErrorTexts); ++i) {
        if (kErrorTexts[i - 1].code >= kErrorTexts[i].code) {
            return false;
        }
    }
    return true;
}
static_assert(IsSorted(), "error texts must be sorted by code");

constexpr std::u16string_view kLineEnd = u"\r\n";

} // namespace

namespace platform {

std::u16string_view SystemErrorText(DWORD errorCode) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == errorCode) {
            return entry.text;
        }
    }
    return {};
}

} // namespace platform

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments) {
    (void)source;
    (void)languageId;
    (void)arguments;
    const DWORD supported = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                            FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                            FORMAT_MESSAGE_MAX_WIDTH_MASK;
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || (flags & ~supported) != 0 ||
        buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::u16string_view text = platform::SystemErrorText(messageId);
    if (text.empty()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const std::size_t length = text.size() + kLineEnd.size();
    WCHAR* target = buffer;
    if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        const std::size_t capacity = length + 1 > size ? length + 1 : size;
        target = static_cast<WCHAR*>(LocalAlloc(LPTR, capacity * sizeof(WCHAR)));
        if (target == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        *reinterpret_cast<LPWSTR*>(buffer) = target;
    } else if (size < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(target, text.data(), text.size() * sizeof(WCHAR));
    std::memcpy(target + text.size(), kLineEnd.data(), kLineEnd.size() * sizeof(WCHAR));
    target[length] = 0;
    return static_cast<DWORD>(length);
}
