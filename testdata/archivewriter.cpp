#include "testdata/archivewriter.h"

#include "testdata/detail/fileimage.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/sfs/sfsformat.h"

#include <fstream>

namespace testdata {
namespace {

using detail::PutU16;
using detail::PutU32;

constexpr std::uint64_t kLargestArchive = 0xFFFFFFFFull;

std::string UpperAscii(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

} // namespace

bool ArchiveWriter::AddMember(std::string_view name, std::string_view data) {
    return AddMember(name, std::vector<std::uint8_t>(data.begin(), data.end()));
}

bool ArchiveWriter::AddMember(std::string_view name, const std::vector<std::uint8_t>& data) {
    if (!platform::IsValidSfsMemberName(name)) {
        return false;
    }
    const std::u16string wideName = platform::Utf8ToUtf16(name);
    std::uint64_t total =
        platform::kSfsHeaderSize + platform::kSfsEntryFixedSize + name.size() + data.size();
    for (const Member& member : m_members) {
        if (platform::DeviceNamesEqual(platform::Utf8ToUtf16(member.name), wideName)) {
            return false;
        }
        total += platform::kSfsEntryFixedSize + member.name.size() + member.data.size();
    }
    if (total > kLargestArchive) {
        return false;
    }
    m_members.push_back(Member{std::string(name), data});
    return true;
}

std::vector<std::uint8_t> ArchiveWriter::Build(ArchiveFault fault) const {
    std::vector<Member> members = m_members;
    if (!members.empty()) {
        if (fault == ArchiveFault::DuplicateName) {
            members.back().name = UpperAscii(members.front().name);
        } else if (fault == ArchiveFault::BadNameCharacter) {
            members.front().name.insert(0, "sub\\");
        } else if (fault == ArchiveFault::EmptyName) {
            members.front().name.clear();
        }
    }
    std::size_t directorySize = 0;
    std::size_t dataSize = 0;
    for (const Member& member : members) {
        directorySize += platform::kSfsEntryFixedSize + member.name.size();
        dataSize += member.data.size();
    }
    const std::size_t dataStart = platform::kSfsHeaderSize + directorySize;
    std::vector<std::uint8_t> out(dataStart + dataSize);
    std::copy(std::begin(platform::kSfsMagic), std::end(platform::kSfsMagic), out.begin());
    PutU16(out, 4, fault == ArchiveFault::UnknownVersion ? 2 : platform::kSfsVersion);
    PutU32(out, 8, static_cast<std::uint32_t>(members.size()));
    PutU32(out, 12, static_cast<std::uint32_t>(platform::kSfsHeaderSize));
    PutU32(out, 16, static_cast<std::uint32_t>(directorySize));

    std::size_t entry = platform::kSfsHeaderSize;
    std::size_t data = dataStart;
    for (const Member& member : members) {
        PutU32(out, entry, static_cast<std::uint32_t>(data));
        PutU32(out, entry + 4, static_cast<std::uint32_t>(member.data.size()));
        out[entry + 8] = static_cast<std::uint8_t>(member.name.size());
        std::copy(member.name.begin(), member.name.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(entry + platform::kSfsEntryFixedSize));
        std::copy(member.data.begin(), member.data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(data));
        entry += platform::kSfsEntryFixedSize + member.name.size();
        data += member.data.size();
    }

    switch (fault) {
    case ArchiveFault::BadMagic:
        out[0] = 'X';
        break;
    case ArchiveFault::CutInsideDirectory:
        out.resize(platform::kSfsHeaderSize + directorySize / 2);
        break;
    case ArchiveFault::DirectoryPastEnd:
        PutU32(out, 12, static_cast<std::uint32_t>(out.size() + 16));
        break;
    case ArchiveFault::HugeCount:
        PutU32(out, 8, 0xFFFFFFFFu);
        break;
    case ArchiveFault::ShortDirectorySize:
        PutU32(out, 16, static_cast<std::uint32_t>(directorySize - 4));
        break;
    case ArchiveFault::LongDirectorySize:
        PutU32(out, 16, static_cast<std::uint32_t>(directorySize + 1));
        break;
    case ArchiveFault::MemberPastEnd:
        if (!members.empty()) {
            PutU32(out, platform::kSfsHeaderSize,
                   static_cast<std::uint32_t>(out.size() - members.front().data.size() + 1));
        }
        break;
    case ArchiveFault::MemberSizeOverflow:
        if (!members.empty()) {
            PutU32(out, platform::kSfsHeaderSize + 4, 0xFFFFFFFFu);
        }
        break;
    default:
        break;
    }
    const std::size_t sizeField = out.size() + (fault == ArchiveFault::SizeFieldMismatch ? 1 : 0);
    PutU32(out, 20, static_cast<std::uint32_t>(sizeField));
    return out;
}

bool ArchiveWriter::WriteTo(const std::filesystem::path& hostPath, ArchiveFault fault) const {
    const std::vector<std::uint8_t> bytes = Build(fault);
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace testdata
