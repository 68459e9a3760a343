// Fuzzes the ".sfs" header and directory reader: any input must be refused or give members that
// lie inside the input. First bytes with the top bit set build a valid archive with the test-data
// writer and then overwrite some of its bytes, so that mutations reach the directory entries
// quickly.

#include "testdata/archivewriter.h"

#include "platform/littleendian.h"
#include "platform/sfs/sfsformat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPatchBytes = 3; // position low, position high, value

std::vector<std::uint8_t> PatchedArchive(const std::uint8_t* data, std::size_t size) {
    const std::size_t patches = size == 0 ? 0 : std::min<std::size_t>(data[0] % 8, size / 4);
    const std::size_t payloadStart = 1 + patches * kPatchBytes;
    testdata::ArchiveWriter writer;
    if (payloadStart < size) {
        const std::size_t payload = size - payloadStart;
        const std::size_t members = 1 + data[payloadStart - 1] % 4;
        for (std::size_t i = 0; i < members; ++i) {
            const std::size_t from = payloadStart + payload * i / members;
            const std::size_t to = payloadStart + payload * (i + 1) / members;
            (void)writer.AddMember(std::string(1, static_cast<char>('a' + i)),
                                   std::string(data + from, data + to));
        }
    }
    std::vector<std::uint8_t> archive = writer.Build();
    for (std::size_t p = 0; p < patches; ++p) {
        const std::uint8_t* patch = data + 1 + p * kPatchBytes;
        archive[platform::ReadU16(patch) % archive.size()] = patch[2];
    }
    return archive;
}

void Check(std::span<const std::uint8_t> archive) {
    std::vector<platform::SfsMember> members;
    if (platform::ParseSfsArchive(archive, members) != platform::SfsFormatError::None) {
        return;
    }
    for (const platform::SfsMember& member : members) {
        if (std::uint64_t{member.offset} + member.size > archive.size() || member.name.empty()) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && (data[0] & 0x80) != 0) {
        Check(PatchedArchive(data, size));
    } else {
        Check(std::span<const std::uint8_t>(data, size));
    }
    return 0;
}
