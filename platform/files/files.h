#pragma once
// Files and folders of the device file system (platform/paths.h) with Win32 semantics: open
// dispositions, share modes, delete-on-close, 32-bit file pointers, folder enumeration with
// wildcards. Handles live in the kernel handle table and close with CloseHandle. Safe from any
// thread; one handle used by several threads at once shares one file position.

#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/types.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;

constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Opens or creates a file. Dispositions: CREATE_NEW fails with ERROR_FILE_EXISTS when the file
// exists; CREATE_ALWAYS empties an existing file (last error ERROR_ALREADY_EXISTS) or creates
// it; OPEN_EXISTING; OPEN_ALWAYS (last error ERROR_ALREADY_EXISTS when it existed);
// TRUNCATE_EXISTING needs GENERIC_WRITE and an existing file. A new file keeps the letter case
// written. An open conflicting with the share modes of other open handles fails with
// ERROR_SHARING_VIOLATION and changes nothing. FILE_FLAG_DELETE_ON_CLOSE deletes the file when
// its last handle closes. Folders cannot be opened (ERROR_ACCESS_DENIED). The open never waits
// (a FIFO opens without a writer at its other end). Security attributes and template are ignored.
// INVALID_HANDLE_VALUE on failure, with the last error set.
[[nodiscard]] HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                 LPVOID securityAttributes, DWORD creationDisposition,
                                 DWORD flagsAndAttributes, HANDLE templateFile);

// Reads at the file position and advances it; TRUE with 0 bytes at the end of the file.
// overlapped must be null. bytesRead (may be null) is set in every case.
[[nodiscard]] BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
                            LPVOID overlapped);
[[nodiscard]] BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                             LPVOID overlapped);

// Moves the file position and returns its low 32 bits. Without distanceHigh the distance is a
// signed 32-bit value and the result must stay below 0xFFFFFFFF; with it the two form a signed
// 64-bit distance and it receives the high half of the result. Positions past the end are
// allowed. INVALID_SET_FILE_POINTER on failure (ERROR_NEGATIVE_SEEK, ERROR_INVALID_PARAMETER,
// ERROR_INVALID_FUNCTION for a handle without a position); the last error is ERROR_SUCCESS
// after success.
[[nodiscard]] DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LPLONG distanceHigh,
                                   DWORD moveMethod);

// Low 32 bits of the size; the high half goes to fileSizeHigh when given. INVALID_FILE_SIZE with
// the last error set on failure (ERROR_SUCCESS after success).
[[nodiscard]] DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);

// Cuts or extends (with zero bytes) the file at the file position; needs GENERIC_WRITE.
[[nodiscard]] BOOL SetEndOfFile(HANDLE file);

// Writes what the system holds of the file to the storage (fsync): after it returns TRUE the
// data survive a power loss. Needs GENERIC_WRITE (ERROR_ACCESS_DENIED); ERROR_WRITE_FAULT when the
// storage refuses; TRUE at once for handles other than files (nothing is held for them).
[[nodiscard]] BOOL FlushFileBuffers(HANDLE file);

// Fails with ERROR_SHARING_VIOLATION while a handle without FILE_SHARE_DELETE is open, with
// ERROR_ACCESS_DENIED for a folder.
[[nodiscard]] BOOL DeleteFileW(LPCWSTR fileName);
// Renames or moves a file or folder; never replaces: ERROR_ALREADY_EXISTS when the new name
// exists (a change of letter case only is allowed).
[[nodiscard]] BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName);
[[nodiscard]] BOOL CreateDirectoryW(LPCWSTR pathName, LPVOID securityAttributes);
// ERROR_DIR_NOT_EMPTY for a folder with entries, ERROR_DIRECTORY for a file.
[[nodiscard]] BOOL RemoveDirectoryW(LPCWSTR pathName);
// FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_READONLY for files the host does not let
// us write or that have no write permission at all, else FILE_ATTRIBUTE_NORMAL;
// INVALID_FILE_ATTRIBUTES with the last error when missing.
[[nodiscard]] DWORD GetFileAttributesW(LPCWSTR fileName);

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID; // object store id; always 0
    WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Enumerates the entries of a folder whose names match the last component of fileName: '*' any
// run of characters, '?' exactly one, letters without case; "*.*" matches every name. Folders
// other than the root also list "." and ".." when they match. A last component without wildcards
// tests that one file or folder exists and reports it under its stored name. Entries come sorted
// without letter case. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when nothing matches,
// ERROR_PATH_NOT_FOUND when the folder is missing.
[[nodiscard]] HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
[[nodiscard]] BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE findFile);

namespace platform {

// A kernel object that ReadFile, WriteFile, SetFilePointer, GetFileSize and SetEndOfFile serve.
// Files are one kind; a device layer (serial ports) may add others. Each operation returns
// ERROR_SUCCESS or a Win32 error code.
class StreamObject : public KernelObject {
public:
    virtual DWORD Read(void* buffer, DWORD count, DWORD& transferred) = 0;
    virtual DWORD Write(const void* buffer, DWORD count, DWORD& transferred) = 0;
    // The defaults suit a handle without a file position: ERROR_INVALID_FUNCTION.
    virtual DWORD Seek(std::int64_t distance, DWORD moveMethod, std::uint64_t& position);
    virtual DWORD Size(std::uint64_t& size);
    virtual DWORD SetEnd();
};

// An open host file of the device file system, as CreateFileW makes it. The stream and archive
// layers hold one directly to use its descriptor; it leaves the share table when destroyed.
class HostFile : public StreamObject {
public:
    ~HostFile() override;
    DWORD Read(void* buffer, DWORD count, DWORD& transferred) override;
    DWORD Write(const void* buffer, DWORD count, DWORD& transferred) override;
    DWORD Seek(std::int64_t distance, DWORD moveMethod, std::uint64_t& position) override;
    DWORD Size(std::uint64_t& size) override;
    DWORD SetEnd() override;

    // Reads up to count bytes at offset, leaving the position alone: fewer only at the end of the
    // file. ERROR_READ_FAULT when the host read fails, with transferred the bytes read before.
    [[nodiscard]] DWORD ReadAt(std::uint64_t offset, void* buffer, DWORD count,
                               DWORD& transferred) const;

    [[nodiscard]] int Descriptor() const { return m_descriptor; }
    [[nodiscard]] DWORD Access() const { return m_access; }

private:
    friend class HostFileOpener;
    HostFile() = default;
    int m_descriptor = -1;
    DWORD m_access = 0;
    std::uint64_t m_shareKey[2] = {0, 0}; // device and inode
    bool m_isShared = false;              // entered in the share table
    bool m_isAppend = false;              // every write goes to the end
    // The file position of this open, kept here so that a seek costs no system call and reads
    // and writes are positional (a descriptor shared through dup keeps its own offset). Threads
    // sharing the handle take turns: each read, write, seek or cut holds the lock throughout.
    std::mutex m_positionMutex;
    std::uint64_t m_position = 0;
};

struct OpenedFile {
    std::shared_ptr<HostFile> file; // null on failure
    DWORD error = ERROR_SUCCESS;    // the reason on failure; ERROR_ALREADY_EXISTS when an
                                    // OPEN_ALWAYS or CREATE_ALWAYS open found the file
};

// Opens a device file with CreateFileW's rules; append makes every write go to the end.
[[nodiscard]] OpenedFile OpenDeviceFile(std::u16string_view path, DWORD desiredAccess,
                                        DWORD shareMode, DWORD creationDisposition,
                                        DWORD flagsAndAttributes, bool append = false);

// Opens a device name such as "COM1:" (no separator, ending in ':') for CreateFileW; installed
// by a device layer. Returns INVALID_HANDLE_VALUE with the last error set on failure.
using DeviceOpener = HANDLE (*)(std::u16string_view deviceName, DWORD desiredAccess,
                                DWORD shareMode, DWORD creationDisposition, DWORD flags);
void SetDeviceOpener(DeviceOpener opener);

} // namespace platform
