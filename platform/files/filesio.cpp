// The calls on open handles: reads, writes, file pointer, size and end of file.

#include "platform/files/files.h"

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <unistd.h>

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

namespace {

// The stream behind a handle, null when it is none. Host files, by far the most common, are
// recognised by their exact type, which spares the general cast on every read and seek.
std::shared_ptr<StreamObject> LookupStream(HANDLE handle) {
    std::shared_ptr<KernelObject> object = LookupHandle(handle);
    if (!object) {
        return nullptr;
    }
    const KernelObject& kernelObject = *object;
    if (typeid(kernelObject) == typeid(HostFile)) {
        auto* stream = static_cast<HostFile*>(object.get());
        return std::shared_ptr<StreamObject>(std::move(object), stream);
    }
    return std::dynamic_pointer_cast<StreamObject>(object);
}

} // namespace
} // namespace platform

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPVOID overlapped) {
    DWORD transferred = 0;
    DWORD error = ERROR_SUCCESS;
    const auto stream = platform::LookupStream(file);
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
    const auto stream = platform::LookupStream(file);
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
    const auto stream = platform::LookupStream(file);
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
    // Without a high word a position of 4 GiB - 1 or more cannot be reported: such a move is
    // undone. A 32-bit distance from the beginning cannot get there, so only the other moves
    // need the position they started from.
    const bool mayPassReportable = distanceHigh == nullptr && moveMethod != FILE_BEGIN;
    std::uint64_t before = 0;
    DWORD error = mayPassReportable ? stream->Seek(0, FILE_CURRENT, before) : ERROR_SUCCESS;
    std::uint64_t position = 0;
    if (error == ERROR_SUCCESS) {
        error = stream->Seek(distance, moveMethod, position);
    }
    if (error == ERROR_SUCCESS && mayPassReportable && position >= 0xFFFFFFFFull) {
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
    const auto stream = platform::LookupStream(file);
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
    const auto stream = platform::LookupStream(file);
    const DWORD error = stream ? stream->SetEnd() : ERROR_INVALID_HANDLE;
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL FlushFileBuffers(HANDLE file) {
    const auto stream = platform::LookupStream(file);
    DWORD error = stream ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    if (auto* hostFile = dynamic_cast<platform::HostFile*>(stream.get())) {
        if ((hostFile->Access() & GENERIC_WRITE) == 0) {
            error = ERROR_ACCESS_DENIED;
        } else if (::fsync(hostFile->Descriptor()) != 0) {
            error = ERROR_WRITE_FAULT;
        }
    }
    SetLastError(error);
    return error == ERROR_SUCCESS ? TRUE : FALSE;
}
