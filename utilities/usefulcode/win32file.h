#pragma once
// A RawFile over a platform file handle; modes 4 and 5 delete the file when it closes.

#include "utilities/usefulcode/rawfile.h"

class Win32File final : public RawFile {
public:
    Win32File() = default;
    ~Win32File() override;

    // Modes outside 0..5 leave the file as it is.
    void Open(const std::u16string& path, RawFileMode mode) override;
    // Clears the end-of-file mark.
    LONG Seek(LONG offset, int origin) override;
    // A successful read of 0 bytes sets the end-of-file mark.
    [[nodiscard]] bool Read(void* buffer, DWORD count) override;
    [[nodiscard]] bool Write(const void* buffer, DWORD count) override;
    [[nodiscard]] bool IsOpen() const override;
    [[nodiscard]] LONG Tell() override;
    int Close() override;

    // Tells a clean end of the file from a read error after a short read.
    [[nodiscard]] bool IsAtEnd() const { return m_isAtEnd; }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_isAtEnd = false;
};
