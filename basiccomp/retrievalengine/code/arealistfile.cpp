#include "basiccomp/retrievalengine/code/arealistfile.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"

#include "platform/littleendian.h"

#include <cstddef>

namespace {

bool ReadWhole(IFile& file, void* buffer, DWORD count) {
    auto* at = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const DWORD read = file.Read(at, count);
        if (read == 0 || read > count) {
            return false;
        }
        at += read;
        count -= read;
    }
    return true;
}

bool LoadOpened(IFile& file, AreaListMap& map) {
    if (!file.IsOpen()) {
        map.clear();
        return false;
    }
    return AreaListFile::Load(file, map);
}

} // namespace

bool AreaListFile::Load(IFile& file, AreaListMap& map) {
    map.clear();
    const DWORD size = file.GetSize();
    const DWORD start = file.Seek(0, SeekOrigin::Current);
    if (size == kInvalidFilePosition || start == kInvalidFilePosition || start > size) {
        return false;
    }
    std::uint64_t left = size - start;
    for (;;) {
        std::uint8_t head[8];
        if (left == 0) {
            return true;
        }
        if (left < 8 || !ReadWhole(file, head, 8)) {
            return false;
        }
        left -= 8;
        const std::uint32_t key = platform::ReadU32(head);
        const std::uint32_t count = platform::ReadU32(head + 4);
        if (std::uint64_t{count} * 4 > left) {
            return false;
        }
        std::vector<std::uint8_t> bytes(std::size_t{count} * 4);
        if (count > 0 && !ReadWhole(file, bytes.data(), count * 4)) {
            return false;
        }
        left -= std::uint64_t{count} * 4;
        std::vector<std::uint32_t> ids(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ids[i] = platform::ReadU32(bytes.data() + std::size_t{i} * 4);
        }
        map.try_emplace(key, std::move(ids));
    }
}

bool AreaListFile::LoadPlain(const std::u16string& path, AreaListMap& map) {
    HandleFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::None);
    return LoadOpened(file, map);
}

bool AreaListFile::LoadArchived(const std::u16string& path, AreaListMap& map) {
    SfsFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                 FileHint::None);
    return LoadOpened(file, map);
}
