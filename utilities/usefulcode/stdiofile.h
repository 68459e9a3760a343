#pragma once
// A RawFile over a binary stdio stream.

#include "utilities/usefulcode/rawfile.h"

struct NavFile;

class StdioFile final : public RawFile {
public:
    StdioFile() = default;
    ~StdioFile() override;

    // "rb" (0), "wb" (1), "r+b" or, when that does not open, "w+b" (2 and 4), "w+b" (3 and 5);
    // other modes leave the file as it is.
    void Open(const std::u16string& path, RawFileMode mode) override;
    LONG Seek(LONG offset, int origin) override;
    [[nodiscard]] bool Read(void* buffer, DWORD count) override;
    [[nodiscard]] bool Write(const void* buffer, DWORD count) override;
    [[nodiscard]] bool IsOpen() const override { return m_stream != nullptr; }
    [[nodiscard]] LONG Tell() override;
    int Close() override;

private:
    NavFile* m_stream = nullptr;
};
