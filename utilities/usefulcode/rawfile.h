#pragma once
// The road network's own byte files: RawFile and the factory that picks a loose or an archived
// file. Open failures show only through IsOpen. One user at a time per object.

#include "platform/types.h"

#include <memory>
#include <string>

// 4 and 5 are 2 and 3 with the file deleted when closed (Win32File only; StdioFile treats them
// as 2 and 3). Other values open nothing.
enum class RawFileMode : int {
    Read = 0,
    Write = 1,
    ReadWrite = 2,
    ReadWriteTruncate = 3,
    ReadWriteDeleteOnClose = 4,
    ReadWriteTruncateDeleteOnClose = 5,
};

// Seek origins: 0 from the beginning, 1 from the current position, any other from the end.
constexpr int kRawSeekBegin = 0;
constexpr int kRawSeekCurrent = 1;
constexpr int kRawSeekEnd = 2;

class RawFile {
public:
    virtual ~RawFile() = default;
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens path; an open file is closed first. Ask IsOpen for the outcome.
    virtual void Open(const std::u16string& path, RawFileMode mode) = 0;
    // Moves the position (from the end: end + offset); the new position, or -1 on failure.
    virtual LONG Seek(LONG offset, int origin) = 0;
    // Read's result.
    [[nodiscard]] virtual bool ReadData(void* buffer, DWORD count) { return Read(buffer, count); }
    // True when all count bytes were read.
    [[nodiscard]] virtual bool Read(void* buffer, DWORD count) = 0;
    // Write's result.
    [[nodiscard]] virtual bool WriteData(const void* buffer, DWORD count) {
        return Write(buffer, count);
    }
    // True when all count bytes were written.
    [[nodiscard]] virtual bool Write(const void* buffer, DWORD count) = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // The position, or -1 when the file cannot tell.
    [[nodiscard]] virtual LONG Tell() = 0;
    // Always 1.
    virtual int Close() = 0;

protected:
    RawFile() = default;
};

// A new archive member file when archived, else a new loose file, opened through
// OpenOnSearchPath; returned whether it opened or not (null only when it cannot be allocated).
[[nodiscard]] std::unique_ptr<RawFile> CreateRawFile(const std::u16string& path, RawFileMode mode,
                                                     bool archived);

// Closes the file and opens it at path; IsOpen's result.
[[nodiscard]] bool OpenOnSearchPath(RawFile& file, const std::u16string& path, RawFileMode mode);
