#pragma once
// The map data file (".rid") of a map set: 8192-byte blocks, block 0 the header, then the block
// tree of element records. Opened read-only through the shared BlockCache and never written.
// No lock of its own: the engine opens and closes it under its engine lock.

#include "utilities/mapgeometry/elementiterator.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <string>

class RidFile {
public:
    static constexpr std::uint32_t kMagic = 0x4C444952; // "RIDL"
    static constexpr std::uint32_t kMaxVersion = 3;
    static constexpr std::uint32_t kMapKindWithAddressIndex = 2;

    explicit RidFile(BlockCachePtr cache);
    ~RidFile();
    RidFile(const RidFile&) = delete;
    RidFile& operator=(const RidFile&) = delete;

    // Opens the map data file of the map set at `path` (its base path; ".rid" is appended
    // unless the extension is exactly "rid" or "RID"), mapped, or as a member of a mounted
    // archive. An open file is closed first. False, with nothing open, when the file cannot be
    // had or its header is refused: magic not "RIDL", version above 3, block size not 8192,
    // format word not 0 or 2, a block count beyond the file or a root not below the count.
    // A refused header also brings the file-check box naming the file (filecheck.h).
    [[nodiscard]] bool Open(const std::u16string& path);
    [[nodiscard]] bool OpenArchived(const std::u16string& path);
    // Takes a block file of 8192-byte units opened elsewhere and checks its header as Open does.
    [[nodiscard]] bool Attach(CachedFilePtr blockFile);
    // Gives the file back to the cache; writes nothing. Always true.
    bool Close();

    [[nodiscard]] bool IsOpen() const { return static_cast<bool>(m_blockFile); }
    [[nodiscard]] std::uint32_t GetRoot() const { return m_root; }
    [[nodiscard]] std::uint32_t GetVersion() const { return m_version; }
    [[nodiscard]] std::uint32_t GetBlockCount() const { return m_blockCount; }
    // Header word 20: kMapKindWithAddressIndex when the map set has an address index.
    [[nodiscard]] std::uint32_t GetMapKind() const { return m_mapKind; }
    // Header word 28.
    [[nodiscard]] std::uint32_t GetMapDataValue() const { return m_mapDataValue; }
    [[nodiscard]] const CachedFilePtr& GetBlockFile() const { return m_blockFile; }
    [[nodiscard]] ElementStore GetElementStore() const;

    // The union of the root's entry rectangles (inner root) or record bounds (leaf root). False,
    // with `extent` unchanged, when nothing is open, the root is 0 or holds no entries.
    [[nodiscard]] bool ReadExtent(MapRect& extent) const;

private:
    enum class Kind { Mapped, Archived };
    [[nodiscard]] bool OpenAs(const std::u16string& path, Kind kind);
    [[nodiscard]] bool ReadHeader();

    BlockCachePtr m_cache;
    CachedFilePtr m_blockFile;
    bool m_isFromCache = false;
    std::uint32_t m_root = 0;
    std::uint32_t m_version = 0;
    std::uint32_t m_blockCount = 0;
    std::uint32_t m_mapKind = 0;
    std::uint32_t m_mapDataValue = 0;
};

// The path of a map data file: `path` unchanged when its extension is exactly "rid" or "RID",
// otherwise `path` + ".rid".
std::u16string RidFilePath(const std::u16string& path);
