#pragma once
// A loose file over a platform file handle. One user at a time.

#include "utilities/usefulcode/ifile.h"

class HandleFile final : public IFile {
public:
    HandleFile() = default;
    // Opens at once; ask IsOpen for the outcome.
    HandleFile(const std::u16string& path, FileAccess access, FileShare share,
               FileCreation creation, FileHint hint);
    ~HandleFile() override;

    [[nodiscard]] bool Open(const std::u16string& path, FileAccess access, FileShare share,
                            FileCreation creation, FileHint hint) override;
    [[nodiscard]] bool IsOpen() const override;
    bool Close() override;
    DWORD Seek(LONG offset, SeekOrigin origin) override;
    [[nodiscard]] DWORD Read(void* buffer, DWORD count) override;
    [[nodiscard]] DWORD Write(const void* buffer, DWORD count) override;
    [[nodiscard]] DWORD GetSize() override;
    [[nodiscard]] bool Truncate(LONG sizeBytes) override;

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// Sets the end of the file behind handle at sizeBytes (cutting or extending it); false when the
// size is negative or the platform refuses. The file position ends at sizeBytes.
[[nodiscard]] bool TruncateHandle(HANDLE handle, LONG sizeBytes);
