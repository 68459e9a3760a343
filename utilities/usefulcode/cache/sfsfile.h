#pragma once
// A member of a mounted archive, read through the archive library. Opening never loads the
// library (mounting does); without it every open fails. One user at a time per object.

#include "utilities/usefulcode/ifile.h"

// The archive library's 32-bit handle word with the helpers other code also uses on bare words.
class SfsHandle {
public:
    static constexpr DWORD kClosed = 0xFFFFFFFFu;

    SfsHandle() = default;
    explicit SfsHandle(DWORD word)
        : m_word(word) {}

    [[nodiscard]] DWORD GetWord() const { return m_word; }
    [[nodiscard]] bool IsOpen() const { return m_word != kClosed; }

    // Closes the handle when it is open and sets the closed value; true when it was closed or
    // the library closed it.
    bool Close();
    // Bytes read at the current position (0 at the end and on failure).
    [[nodiscard]] DWORD Read(void* buffer, DWORD count) const;
    // The member's size, leaving the position where it was; 0xFFFFFFFF on failure.
    [[nodiscard]] DWORD GetSize() const;

private:
    DWORD m_word = kClosed;
};

class SfsFile final : public IFile {
public:
    SfsFile() = default;
    // Opens at once; ask IsOpen for the outcome.
    SfsFile(const std::u16string& path, FileAccess access, FileShare share, FileCreation creation,
            FileHint hint);
    ~SfsFile() override;

    [[nodiscard]] bool Open(const std::u16string& path, FileAccess access, FileShare share,
                            FileCreation creation, FileHint hint) override;
    [[nodiscard]] bool IsOpen() const override { return m_handle.IsOpen(); }
    bool Close() override { return m_handle.Close(); }
    DWORD Seek(LONG offset, SeekOrigin origin) override;
    [[nodiscard]] DWORD Read(void* buffer, DWORD count) override;
    [[nodiscard]] DWORD Write(const void* buffer, DWORD count) override;
    [[nodiscard]] DWORD GetSize() override { return m_handle.GetSize(); }
    // Archive members cannot change size: always false, the library is not called.
    [[nodiscard]] bool Truncate(LONG sizeBytes) override;

    [[nodiscard]] DWORD GetHandleWord() const { return m_handle.GetWord(); }

private:
    SfsHandle m_handle;
};
