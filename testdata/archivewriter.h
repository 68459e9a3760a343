#pragma once
// Writer of ".sfs" archives (docs/sfs-format.md) for tests and for the sfspack tool, with named
// faults for the reader's tests. Not thread-safe; one writer per archive.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

// Faults the writer can build into an archive; each breaks exactly one rule of the format.
enum class ArchiveFault {
    None,
    BadMagic,           // magic bytes changed
    UnknownVersion,     // version 2
    SizeFieldMismatch,  // archive size field one more than the file
    CutInsideDirectory, // file (and its size field) end in the middle of the directory
    DirectoryPastEnd,   // directory offset beyond the end of the file
    HugeCount,          // member count 0xFFFFFFFF
    ShortDirectorySize, // directory size field 4 bytes short of the entries
    LongDirectorySize,  // directory size field 1 byte more than the entries (padding)
    MemberPastEnd,      // first member's data offset so that it ends past the file
    MemberSizeOverflow, // first member's size 0xFFFFFFFF
    DuplicateName,      // last member named as the first, in upper case
    BadNameCharacter,   // first member's name gets a backslash
    EmptyName,          // first member's name length 0
};

class ArchiveWriter {
public:
    // Adds a member; false (nothing added) for a name the format forbids or one already added
    // (names compare without letter case). Names are UTF-8.
    [[nodiscard]] bool AddMember(std::string_view name, std::string_view data);
    [[nodiscard]] bool AddMember(std::string_view name, const std::vector<std::uint8_t>& data);

    [[nodiscard]] std::size_t MemberCount() const { return m_members.size(); }

    // The archive bytes, with one fault built in when asked. A fault that needs a member
    // (MemberPastEnd, DuplicateName, BadNameCharacter, ...) needs at least one.
    [[nodiscard]] std::vector<std::uint8_t> Build(ArchiveFault fault = ArchiveFault::None) const;

    // Writes Build(fault) to a host file, replacing it; false when it cannot be written.
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath,
                               ArchiveFault fault = ArchiveFault::None) const;

private:
    struct Member {
        std::string name;
        std::vector<std::uint8_t> data;
    };
    std::vector<Member> m_members;
};

} // namespace testdata
