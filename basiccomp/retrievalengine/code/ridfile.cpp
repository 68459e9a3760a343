#include "basiccomp/retrievalengine/code/ridfile.h"

#include "utilities/mapgeometry/mapcursor.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/kernel/debug.h"

#include <algorithm>
#include <utility>

using namespace maprecord;

namespace {

constexpr std::uint32_t kHeaderBlockSize = 8;
constexpr std::uint32_t kHeaderRootLow = 12;
constexpr std::uint32_t kHeaderCountLow = 14;
constexpr std::uint32_t kHeaderFormat = 16;
constexpr std::uint32_t kHeaderMapKind = 20;
constexpr std::uint32_t kHeaderMapDataValue = 28;
constexpr std::uint32_t kHeaderRootHigh = 512;
constexpr std::uint32_t kHeaderCountHigh = 514;

void Report(const CachedFilePtr& file, const std::u16string& what) {
    OutputDebugStringW((file->GetName() + u": " + what + u"\n").c_str());
}

std::u16string Number(std::uint32_t value) {
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return text;
}

} // namespace

std::u16string RidFilePath(const std::u16string& path) {
    const std::size_t dot = path.rfind(u'.');
    if (dot != std::u16string::npos) {
        const std::u16string_view extension = std::u16string_view(path).substr(dot + 1);
        if (extension == u"rid" || extension == u"RID") {
            return path;
        }
    }
    return path + u".rid";
}

RidFile::RidFile(BlockCachePtr cache)
    : m_cache(std::move(cache)) {}

RidFile::~RidFile() {
    Close();
}

bool RidFile::Open(const std::u16string& path) {
    return OpenAs(path, Kind::Mapped);
}

bool RidFile::OpenArchived(const std::u16string& path) {
    return OpenAs(path, Kind::Archived);
}

bool RidFile::OpenAs(const std::u16string& path, Kind kind) {
    Close();
    if (!m_cache) {
        return false;
    }
    const std::u16string name = RidFilePath(path);
    CachedFilePtr file =
        kind == Kind::Mapped
            ? m_cache->GetMappedFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                     FileShare::Read, kBlockSize)
            : m_cache->GetArchiveFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                      FileShare::Read, kBlockSize);
    if (!file) {
        return false;
    }
    m_isFromCache = true;
    if (!Attach(std::move(file))) {
        // The file is there, but its header does not hold: the user is told which file it is.
        (void)ShowDamagedFileMessage(name);
        return false;
    }
    return true;
}

bool RidFile::Attach(CachedFilePtr blockFile) {
    if (m_blockFile) {
        Close();
    }
    m_blockFile = std::move(blockFile);
    if (!m_blockFile || m_blockFile->GetUnitSize() != kBlockSize || !ReadHeader()) {
        Close();
        return false;
    }
    return true;
}

bool RidFile::ReadHeader() {
    MapCursor cursor(m_blockFile, 0);
    const std::uint8_t* header = cursor.GetData();
    if (header == nullptr) {
        Report(m_blockFile, u"no header block");
        return false;
    }
    const std::uint32_t version = ReadU32(header + 4);
    const std::uint32_t blockSize = ReadU32(header + kHeaderBlockSize);
    const std::uint32_t format = ReadU32(header + kHeaderFormat);
    const std::uint32_t root =
        (std::uint32_t{ReadU16(header + kHeaderRootHigh)} << 16) | ReadU16(header + kHeaderRootLow);
    const std::uint32_t count = (std::uint32_t{ReadU16(header + kHeaderCountHigh)} << 16) |
                                ReadU16(header + kHeaderCountLow);
    const DWORD fileBlocks = m_blockFile->GetBlockCount();
    if (ReadU32(header) != kMagic) {
        Report(m_blockFile, u"magic is not \"RIDL\"");
        return false;
    }
    if (version > kMaxVersion) {
        Report(m_blockFile, u"version " + Number(version) + u", expected 3 or less");
        return false;
    }
    if (blockSize != kBlockSize) {
        Report(m_blockFile, u"block size " + Number(blockSize) + u", expected 8192");
        return false;
    }
    if (format != 0 && format != 2) {
        Report(m_blockFile, u"format word " + Number(format) + u", expected 0 or 2");
        return false;
    }
    if (count > fileBlocks) {
        Report(m_blockFile,
               u"header counts " + Number(count) + u" blocks, file holds " + Number(fileBlocks));
        return false;
    }
    if (root != 0 && root >= count) {
        Report(m_blockFile,
               u"root block " + Number(root) + u" beyond " + Number(count) + u" blocks");
        return false;
    }
    m_version = version;
    m_root = root;
    m_blockCount = count;
    m_mapKind = ReadU32(header + kHeaderMapKind);
    m_mapDataValue = ReadU32(header + kHeaderMapDataValue);
    // The header, not the file size, fixes the number of blocks the walks may read.
    m_blockFile->SetBlockCount(count);
    return true;
}

bool RidFile::Close() {
    if (m_blockFile && m_isFromCache && m_cache) {
        m_cache->RemoveFile(m_blockFile);
    }
    m_blockFile.Release();
    m_isFromCache = false;
    m_root = 0;
    m_version = 0;
    m_blockCount = 0;
    m_mapKind = 0;
    m_mapDataValue = 0;
    return true;
}

ElementStore RidFile::GetElementStore() const {
    return ElementStore(m_blockFile, m_root, m_version);
}

bool RidFile::ReadExtent(MapRect& extent) const {
    if (!m_blockFile || m_root == 0) {
        return false;
    }
    MapCursor cursor(m_blockFile, m_root);
    const std::uint8_t* block = cursor.GetData();
    if (block == nullptr) {
        return false;
    }
    const bool isLeaf = IsLeafBlock(block);
    const std::uint32_t count = BlockEntryCount(block);
    if (count == 0 || count > (isLeaf ? kMaxLeafRecords : kMaxInnerEntries)) {
        return false;
    }
    MapRect result = ReadRect(isLeaf ? LeafRecord(block, 0) : InnerEntry(block, 0));
    for (std::uint32_t i = 1; i < count; ++i) {
        const MapRect rect = ReadRect(isLeaf ? LeafRecord(block, i) : InnerEntry(block, i));
        result.x1 = std::min(result.x1, rect.x1);
        result.y1 = std::min(result.y1, rect.y1);
        result.x2 = std::max(result.x2, rect.x2);
        result.y2 = std::max(result.y2, rect.y2);
    }
    extent = result;
    return true;
}
