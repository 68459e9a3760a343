#include "basiccomp/retrievalengine/code/areatree.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/handlefile.h"

#include "platform/littleendian.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kNameOffset = AreaTreeCursor::kFixedSize;
const char16_t kTreeFileName[] = u"\\EAreaI.tre";

} // namespace

AreaTreeCursor::AreaTreeCursor(CachedFilePtr file)
    : m_file(std::move(file))
    , m_block(m_file, kBlockSize) {}

void AreaTreeCursor::Seek(std::uint32_t id) {
    m_id = id;
    m_offset = id % kBlockSize;
    m_length = 0;
    m_nameLength = 0;
    if (id == kNone || !m_file || !m_block.MoveTo(id / kBlockSize)) {
        return;
    }
    const std::uint32_t available = m_block.GetLength();
    if (m_offset + 2 > available) {
        return;
    }
    const std::uint32_t length = platform::ReadU16(Node());
    if (length <= kNameOffset || length > available - m_offset) {
        return;
    }
    const void* terminator = std::memchr(Node() + kNameOffset, 0, length - kNameOffset);
    if (terminator == nullptr) {
        return;
    }
    m_nameLength =
        static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(terminator) - Node()) -
        kNameOffset;
    m_length = length;
}

void AreaTreeCursor::Next() {
    if (!IsValid()) {
        Seek(0);
        return;
    }
    const std::uint32_t block = m_id / kBlockSize;
    Seek(m_id + m_length);
    if (!IsValid() && m_id / kBlockSize == block) {
        Seek((block + 1) * kBlockSize);
    }
}

std::int32_t AreaTreeCursor::GetId() const {
    return m_id == 0 || m_id == kNone ? -1 : static_cast<std::int32_t>(m_id);
}

std::uint32_t AreaTreeCursor::GetLevel() const {
    return IsValid() ? platform::ReadU32(Node() + 2) : 0;
}

std::uint32_t AreaTreeCursor::GetParent() const {
    return IsValid() ? platform::ReadU32(Node() + 6) : kNone;
}

std::uint32_t AreaTreeCursor::GetElementId() const {
    return IsValid() ? platform::ReadU32(Node() + 10) : 0;
}

GeoRect AreaTreeCursor::GetRect() const {
    if (!IsValid()) {
        return {};
    }
    const std::uint8_t* at = Node() + 14;
    return {platform::ReadLittleEndian<float>(at), platform::ReadLittleEndian<float>(at + 4),
            platform::ReadLittleEndian<float>(at + 8), platform::ReadLittleEndian<float>(at + 12)};
}

std::string_view AreaTreeCursor::GetName() const {
    if (!IsValid()) {
        return {};
    }
    return {reinterpret_cast<const char*>(Node() + kNameOffset), m_nameLength};
}

std::vector<std::uint32_t> AreaTreeCursor::GetChildren() const {
    std::vector<std::uint32_t> children;
    if (!IsValid()) {
        return children;
    }
    for (std::uint32_t at = kNameOffset + m_nameLength + 1; at + 4 <= m_length; at += 4) {
        children.push_back(platform::ReadU32(Node() + at));
    }
    return children;
}

std::int32_t AreaTreeCursor::WalkUpTo(std::uint32_t level) {
    const std::uint64_t blocks = m_file ? m_file->GetBlockCount() : 0;
    for (std::uint64_t steps = blocks * (kBlockSize / (kFixedSize + 1)); IsValid() && steps > 0;
         --steps) {
        if (GetLevel() > level) {
            return -1;
        }
        if (GetLevel() == level) {
            return GetId();
        }
        Seek(GetParent());
    }
    return -1;
}

AreaTreeIndex::AreaTreeIndex(BlockCachePtr cache)
    : m_cache(std::move(cache)) {}

AreaTreeIndex::~AreaTreeIndex() {
    Close();
}

bool AreaTreeIndex::LoadCityIndexes(const std::u16string& folder, bool isArchived) {
    Reset();
    const std::u16string byNamePath = folder + u"\\AllCitiesByName.idx";
    const std::u16string byCountryPath = folder + u"\\AllCitiesByCountry.idx";
    const auto load = [&](IFile& byName, IFile& byCountry) {
        if (!byName.Open(byNamePath, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                         FileHint::None) ||
            !byCountry.Open(byCountryPath, FileAccess::Read, FileShare::Read,
                            FileCreation::OpenExisting, FileHint::None) ||
            !m_cityFiles.Load(byName, byCountry)) {
            return false;
        }
        switch (m_cityFiles.CheckNames()) {
        case CityIndexFiles::Check::Whole:
            return true;
        case CityIndexFiles::Check::ByNameDamaged:
            (void)ShowDamagedFileMessage(byNamePath);
            break;
        case CityIndexFiles::Check::ByCountryDamaged:
            (void)ShowDamagedFileMessage(byCountryPath);
            break;
        }
        m_cityFiles.Reset();
        return false;
    };
    if (isArchived) {
        SfsFile byName;
        SfsFile byCountry;
        return load(byName, byCountry);
    }
    HandleFile byName;
    HandleFile byCountry;
    return load(byName, byCountry);
}

bool AreaTreeIndex::Open(const std::u16string& folder) {
    Close();
    (void)LoadCityIndexes(folder, false);
    if (!m_cache) {
        return false;
    }
    const std::u16string path = folder + kTreeFileName;
    CachedFilePtr file = m_cache->GetMappedFile(path, FileCreation::OpenExisting, FileAccess::Read,
                                                FileShare::Read, AreaTreeCursor::kBlockSize);
    // A mapped file's block is the whole file; a tree is whole blocks, else it was cut short.
    if (file && file->IsOpen() && file->GetBlockSize() % AreaTreeCursor::kBlockSize != 0) {
        m_cache->RemoveFile(file);
        (void)ShowDamagedFileMessage(path);
        return false;
    }
    return OpenFile(std::move(file), path);
}

bool AreaTreeIndex::OpenArchived(const std::u16string& folder) {
    Close();
    (void)LoadCityIndexes(folder, true);
    const std::u16string path = folder + kTreeFileName;
    return m_cache &&
           OpenFile(m_cache->GetArchiveFile(path, FileCreation::OpenExisting, FileAccess::Read,
                                            FileShare::Read, AreaTreeCursor::kBlockSize),
                    path);
}

bool AreaTreeIndex::OpenFile(CachedFilePtr file, const std::u16string& path) {
    m_file = std::move(file);
    // Every tree starts with a node at offset 0 (one no id can name); a length word of 0 there
    // leaves nothing to walk from, as when the file was overwritten with zeros.
    if (IsOpen() && !GetNode(0).IsValid()) {
        m_cache->RemoveFile(m_file);
        m_file = nullptr;
        (void)ShowDamagedFileMessage(path);
        return false;
    }
    return IsOpen();
}

void AreaTreeIndex::Close() {
    if (m_file) {
        m_cache->RemoveFile(m_file);
        m_file = nullptr;
    }
    Reset();
}

AreaTreeCursor AreaTreeIndex::GetNode(std::uint32_t id) const {
    AreaTreeCursor cursor(m_file);
    cursor.Seek(id);
    return cursor;
}
