#pragma once
// Reader of the ".sfs" archive layout (docs/sfs-format.md): header and member directory, every
// count, offset and length checked against the file size. Pure functions; safe from any thread.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr std::uint8_t kSfsMagic[4] = {0x53, 0x46, 0x53, 0x1A};
constexpr std::uint16_t kSfsVersion = 1;
constexpr std::size_t kSfsHeaderSize = 32;
constexpr std::size_t kSfsEntryFixedSize = 9; // data offset, data size, name length
constexpr std::size_t kSfsMaxNameBytes = 255;

// Why an archive was refused. Append only; the values are stable.
enum class SfsFormatError : int {
    None = 0,
    TooSmall = 1,
    BadMagic = 2,
    UnsupportedVersion = 3,
    SizeMismatch = 4,
    DirectoryOutOfBounds = 5,
    CountTooLarge = 6,
    DirectoryTruncated = 7,
    BadName = 8,
    MemberOutOfBounds = 9,
    DirectorySizeMismatch = 10,
    DuplicateName = 11,
    ReadFailed = 12,
};

[[nodiscard]] std::string_view SfsFormatErrorText(SfsFormatError error);

struct SfsHeader {
    std::uint32_t memberCount = 0;
    std::uint32_t directoryOffset = 0;
    std::uint32_t directorySize = 0;
    std::uint32_t archiveSize = 0;
};

struct SfsMember {
    std::u16string name; // as stored (UTF-16), original letter case
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// Checks the 32 header bytes (more are ignored) against the real file size.
[[nodiscard]] SfsFormatError ParseSfsHeader(std::span<const std::uint8_t> bytes,
                                            std::uint64_t fileSize, SfsHeader& header);

// Reads the directory bytes (exactly header.directorySize of them) into members.
[[nodiscard]] SfsFormatError ParseSfsDirectory(std::span<const std::uint8_t> directory,
                                               const SfsHeader& header, std::uint64_t fileSize,
                                               std::vector<SfsMember>& members);

// Both steps over a whole archive held in memory.
[[nodiscard]] SfsFormatError ParseSfsArchive(std::span<const std::uint8_t> archive,
                                             std::vector<SfsMember>& members);

// True for a UTF-8 name that the format allows (see docs/sfs-format.md).
[[nodiscard]] bool IsValidSfsMemberName(std::string_view utf8Name);

} // namespace platform
