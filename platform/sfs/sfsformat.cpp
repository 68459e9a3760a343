#include "platform/sfs/sfsformat.h"

#include "platform/kernel/text.h"
#include "platform/littleendian.h"

#include <algorithm>
#include <optional>

namespace platform {
namespace {

constexpr std::string_view kErrorTexts[] = {
    "no error",
    "file is smaller than the 32-byte header",
    "magic is not \"SFS\" 0x1A",
    "unsupported version or flags",
    "archive size field differs from the file size",
    "directory lies outside the file",
    "member count cannot fit in the directory",
    "directory entry runs past the directory",
    "member name is empty, too long or has a forbidden character",
    "member data lies outside the file",
    "directory size differs from the sum of its entries",
    "two members have the same name",
    "archive could not be read",
};
static_assert(std::size(kErrorTexts) == static_cast<std::size_t>(SfsFormatError::ReadFailed) + 1,
              "one text per error");

constexpr std::size_t kSmallestEntry = kSfsEntryFixedSize + 1;

bool IsForbidden(char16_t c) {
    return c < 0x20 || c == 0x7F ||
           std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
}

bool DecodeName(std::string_view utf8Name, std::u16string& name) {
    if (utf8Name.empty() || utf8Name.size() > kSfsMaxNameBytes) {
        return false;
    }
    // Strict UTF-8: malformed bytes, overlong forms and encoded surrogates refuse the name.
    const int length = static_cast<int>(utf8Name.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Name.data(), length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    std::optional<std::u16string> decoded(std::in_place, static_cast<std::size_t>(needed), u'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Name.data(), length, decoded->data(),
                            needed) != needed) {
        return false;
    }
    if (*decoded == u"." || *decoded == u".." || decoded->back() == u' ' ||
        decoded->back() == u'.' || std::any_of(decoded->begin(), decoded->end(), IsForbidden)) {
        return false;
    }
    name = std::move(*decoded);
    return true;
}

std::u16string Folded(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) {
        c = TowLower(c);
    }
    return folded;
}

SfsFormatError CheckDuplicates(const std::vector<SfsMember>& members) {
    std::vector<std::u16string> names;
    names.reserve(members.size());
    for (const SfsMember& member : members) {
        names.push_back(Folded(member.name));
    }
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end()
               ? SfsFormatError::None
               : SfsFormatError::DuplicateName;
}

} // namespace

std::string_view SfsFormatErrorText(SfsFormatError error) {
    const auto index = static_cast<std::size_t>(error);
    return index < std::size(kErrorTexts) ? kErrorTexts[index] : "unknown error";
}

SfsFormatError ParseSfsHeader(std::span<const std::uint8_t> bytes, std::uint64_t fileSize,
                              SfsHeader& header) {
    if (bytes.size() < kSfsHeaderSize || fileSize < kSfsHeaderSize) {
        return SfsFormatError::TooSmall;
    }
    if (!std::equal(std::begin(kSfsMagic), std::end(kSfsMagic), bytes.begin())) {
        return SfsFormatError::BadMagic;
    }
    if (ReadU16(bytes, 4) != kSfsVersion || ReadU16(bytes, 6) != 0) {
        return SfsFormatError::UnsupportedVersion;
    }
    header.memberCount = ReadU32(bytes, 8);
    header.directoryOffset = ReadU32(bytes, 12);
    header.directorySize = ReadU32(bytes, 16);
    header.archiveSize = ReadU32(bytes, 20);
    if (header.archiveSize != fileSize) {
        return SfsFormatError::SizeMismatch;
    }
    if (header.directoryOffset < kSfsHeaderSize ||
        std::uint64_t{header.directoryOffset} + header.directorySize > fileSize) {
        return SfsFormatError::DirectoryOutOfBounds;
    }
    if (std::uint64_t{header.memberCount} * kSmallestEntry > header.directorySize) {
        return SfsFormatError::CountTooLarge;
    }
    return SfsFormatError::None;
}

SfsFormatError ParseSfsDirectory(std::span<const std::uint8_t> directory, const SfsHeader& header,
                                 std::uint64_t fileSize, std::vector<SfsMember>& members) {
    members.clear();
    if (directory.size() != header.directorySize) {
        return SfsFormatError::DirectorySizeMismatch;
    }
    members.reserve(header.memberCount); // bounded by the directory size, checked above
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < header.memberCount; ++i) {
        if (directory.size() - at < kSfsEntryFixedSize) {
            return SfsFormatError::DirectoryTruncated;
        }
        SfsMember member;
        member.offset = ReadU32(directory, at);
        member.size = ReadU32(directory, at + 4);
        const std::size_t nameLength = directory[at + 8];
        at += kSfsEntryFixedSize;
        if (directory.size() - at < nameLength) {
            return SfsFormatError::DirectoryTruncated;
        }
        const std::string_view rawName(reinterpret_cast<const char*>(directory.data() + at),
                                       nameLength);
        at += nameLength;
        if (!DecodeName(rawName, member.name)) {
            return SfsFormatError::BadName;
        }
        if (std::uint64_t{member.offset} + member.size > fileSize) {
            return SfsFormatError::MemberOutOfBounds;
        }
        members.push_back(std::move(member));
    }
    if (at != directory.size()) {
        return SfsFormatError::DirectorySizeMismatch;
    }
    return CheckDuplicates(members);
}

SfsFormatError ParseSfsArchive(std::span<const std::uint8_t> archive,
                               std::vector<SfsMember>& members) {
    members.clear();
    SfsHeader header;
    const SfsFormatError headerError = ParseSfsHeader(archive, archive.size(), header);
    if (headerError != SfsFormatError::None) {
        return headerError;
    }
    return ParseSfsDirectory(archive.subspan(header.directoryOffset, header.directorySize), header,
                             archive.size(), members);
}

bool IsValidSfsMemberName(std::string_view utf8Name) {
    std::u16string name;
    return DecodeName(utf8Name, name);
}

} // namespace platform
