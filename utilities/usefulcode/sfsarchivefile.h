#pragma once
// A read-only RawFile over a member of a mounted archive. The instances share one load of the
// archive library ("ziVur.dll", five entry points), made by the first instance and freed by the
// last; a failed load counts for every instance alive meanwhile and is shown in a message box
// once per process (a later instance retries silently). Instances may live on different threads;
// one object has one user at a time.

#include "utilities/usefulcode/rawfile.h"

class SfsArchiveFile final : public RawFile {
public:
    // Loads the library when no other instance exists.
    SfsArchiveFile();
    // Frees the library with the last instance.
    ~SfsArchiveFile() override;

    // Only mode 0, and only while the library is loaded: opens the member for shared reading.
    void Open(const std::u16string& path, RawFileMode mode) override;
    LONG Seek(LONG offset, int origin) override;
    [[nodiscard]] bool Read(void* buffer, DWORD count) override;
    // Not supported: false, nothing written.
    [[nodiscard]] bool Write(const void* buffer, DWORD count) override;
    [[nodiscard]] bool WriteData(const void* buffer, DWORD count) override;
    [[nodiscard]] bool IsOpen() const override;
    // Not supported: -1.
    [[nodiscard]] LONG Tell() override;
    int Close() override;

    // Whether the instances have the library with all five entry points.
    [[nodiscard]] static bool IsLibraryLoaded();

private:
    DWORD m_handle = 0xFFFFFFFFu;
};
