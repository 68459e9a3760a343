// The calls on open handles: reads, writes, file pointer, size and end of file.

#include "platform/files.h"

#include <cstdint>

namespace platform {

DWORD StreamObject::Seek(std::int64_t, DWORD, std::uint64_t&) {
    return ERROR_INVALID_FUNCTION;
}
DWORD StreamObject::Size(std::uint64_t&) {
    return ERROR_INVALID_FUNCTION;
}
DWORD StreamObject::SetEnd() {
    return ERROR_INVALID_FUNCTION;
}

} // namespace platform

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped) {
    DWORD transferred = 0;
    DWORD error = ERROR_SUCCESS;
    const auto stream = platform::LookupHandleAs<platform::StreamObject>(file);
    if (!stream) {
        error = ERROR_INVALID_HANDLE;
    } else if (overlapped != nullptr || (buffer == nullptr && bytesToRead != 0)) {
        error = ERROR_INVALID_PARAMETER;
    } else {
        error = stream->Read(buffer, bytesToRead, transferred);
    }
    if (bytesRead != nullptr) {
        *bytesRead = transferred;
    }
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPVOID overlapped) {
    DWORD transferred = 0;
    DWORD error = ERROR_SUCCESS;
    const auto stream = platform::LookupHandleAs<platform::StreamObject>(file);
    if (!stream) {
        error = ERROR_INVALID_HANDLE;
    } else if (overlapped != nullptr || (buffer == nullptr && bytesToWrite != 0)) {
        error = ERROR_INVALID_PARAMETER;
    } else {
        error = stream->Write(buffer, bytesToWrite, transferred);
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = transferred;
    }
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LPLONG distanceHigh, DWORD moveMethod) {
    const auto stream = platform::LookupHandleAs<platform::StreamObject>(file);
    if (!stream) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t distance = distanceToMove;
    if (distanceHigh != nullptr) {
        distance = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
            static_cast<std::uint32_t>(distanceToMove));
    }
    // Without a high word a position of 4 GiB - 1 or more cannot be reported: refuse it before
    // moving.
    std::uint64_t position = 0;
    DWORD error = stream->Seek(0, FILE_CURRENT, position);
    const std::uint64_t before = position;
    if (error == ERROR_SUCCESS) {
        error = stream->Seek(distance, moveMethod, position);
    }
    if (error == ERROR_SUCCESS && distanceHigh == nullptr && position >= 0xFFFFFFFFull) {
        std::uint64_t restored = 0;
        (void)stream->Seek(static_cast<std::int64_t>(before), FILE_BEGIN, restored);
        error = ERROR_INVALID_PARAMETER;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) {
        *distanceHigh = static_cast<LONG>(position >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    const auto stream = platform::LookupHandleAs<platform::StreamObject>(file);
    std::uint64_t size = 0;
    const DWORD error = stream ? stream->Size(size) : ERROR_INVALID_HANDLE;
    SetLastError(error);
    if (error != ERROR_SUCCESS) {
        return INVALID_FILE_SIZE;
    }
    if (fileSizeHigh != nullptr) {
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size);
}

BOOL SetEndOfFile(HANDLE file) {
    const auto stream = platform::LookupHandleAs<platform::StreamObject>(file);
    const DWORD error = stream ? stream->SetEnd() : ERROR_INVALID_HANDLE;
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}
