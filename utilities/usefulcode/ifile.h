#pragma once
// The byte file every reader of data files goes through: a loose file (HandleFile) or a member
// of a mounted archive (SfsFile). One user at a time per object; closed after construction.

#include "platform/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The open arguments are small indices; each implementation turns them into the platform's
// values through tables of its own. Indices outside a table make Open fail.
enum class FileAccess : std::uint32_t { Read = 0, Write = 1, ReadWrite = 2 };
enum class FileShare : std::uint32_t { Exclusive = 0, Read = 1, ReadWrite = 2, All = 3 };
enum class FileCreation : std::uint32_t {
    CreateNew = 0,
    CreateAlways = 1,
    OpenExisting = 2,
    OpenAlways = 3
};
enum class FileHint : std::uint32_t { None = 0, SequentialScan = 1, RandomAccess = 2 };

// Any value other than Current and End counts as Begin.
enum class SeekOrigin : std::uint32_t { Begin = 0, Current = 1, End = 2 };

class IFile {
public:
    virtual ~IFile() = default;

    // Opens the file, closing an open one first; true when a valid handle resulted.
    [[nodiscard]] virtual bool Open(const std::u16string& path, FileAccess access, FileShare share,
                                    FileCreation creation, FileHint hint) = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // True when the file was already closed or closing succeeded.
    virtual bool Close() = 0;
    // The new position from the beginning, 0xFFFFFFFF on failure.
    virtual DWORD Seek(LONG offset, SeekOrigin origin) = 0;
    // Bytes read at the current position (0 at the end and on failure).
    [[nodiscard]] virtual DWORD Read(void* buffer, DWORD count) = 0;
    // Bytes written at the current position (0 on failure).
    [[nodiscard]] virtual DWORD Write(const void* buffer, DWORD count) = 0;
    // Size in bytes, 0xFFFFFFFF on failure.
    [[nodiscard]] virtual DWORD GetSize() = 0;
    // Cuts or extends the file to sizeBytes; false when that is not possible.
    [[nodiscard]] virtual bool Truncate(LONG sizeBytes) = 0;

    IFile() = default;
    IFile(const IFile&) = delete;
    IFile& operator=(const IFile&) = delete;
};

// The closed value of a failed seek or size query.
constexpr DWORD kInvalidFilePosition = 0xFFFFFFFFu;

// The platform's values of one set of open indices.
struct PlatformOpenArguments {
    DWORD access = 0;
    DWORD share = 0;
    DWORD creation = 0;
    DWORD flags = 0;
};

// Which share table to use: index 3 shares everything, which for archive members includes the
// delete right (7) and for loose files only reading and writing (3).
enum class OpenTable { LooseFile, ArchiveMember };

// Translates open indices; nothing for an index outside its table.
[[nodiscard]] inline std::optional<PlatformOpenArguments>
TranslateOpenArguments(FileAccess access, FileShare share, FileCreation creation, FileHint hint,
                       OpenTable table) {
    constexpr std::array<DWORD, 3> kAccess = {0x80000000u, 0x40000000u, 0xC0000000u};
    constexpr std::array<DWORD, 4> kLooseShare = {0, 1, 3, 3};
    constexpr std::array<DWORD, 4> kArchiveShare = {0, 1, 3, 7};
    constexpr std::array<DWORD, 4> kCreation = {1, 2, 3, 4};
    constexpr std::array<DWORD, 3> kHint = {0, 0x08000000u, 0x10000000u};
    const auto accessIndex = static_cast<std::size_t>(access);
    const auto shareIndex = static_cast<std::size_t>(share);
    const auto creationIndex = static_cast<std::size_t>(creation);
    const auto hintIndex = static_cast<std::size_t>(hint);
    if (accessIndex >= kAccess.size() || shareIndex >= kLooseShare.size() ||
        creationIndex >= kCreation.size() || hintIndex >= kHint.size()) {
        return std::nullopt;
    }
    const auto& shareTable = table == OpenTable::LooseFile ? kLooseShare : kArchiveShare;
    return PlatformOpenArguments{kAccess[accessIndex], shareTable[shareIndex],
                                 kCreation[creationIndex], kHint[hintIndex]};
}

// The platform's seek origin: FILE_BEGIN for anything but Current and End.
[[nodiscard]] constexpr DWORD ToPlatformOrigin(SeekOrigin origin) {
    switch (origin) {
    case SeekOrigin::Current:
        return 1;
    case SeekOrigin::End:
        return 2;
    default:
        return 0;
    }
}
