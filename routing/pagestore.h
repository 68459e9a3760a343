#pragma once
// Page stores: the bytes of one road-network map. SeparatedPageStore reads pages on demand
// through bounded caches (its GetRecord is locked), WholeMapStore reads the files whole and
// MappedPageStore maps them; the last two need no lock. Records handed out stay valid while
// their RecordBytes live.

#include "routing/crossingrecord.h"
#include "routing/mapdatalink.h"
#include "routing/pagecache.h"
#include "routing/pagetree.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/rawfile.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// A loose file, or with throughArchives a member of a mounted archive and, when no archive holds
// the name, a loose file. Returned whether it opened or not; null only when it cannot be
// allocated.
[[nodiscard]] std::unique_ptr<RawFile> OpenRawFile(const std::u16string& name, RawFileMode mode,
                                                   bool throughArchives);

// The position file of a page file: its name up to the last '.', then ".sep".
[[nodiscard]] std::u16string PositionFileName(const std::u16string& pageFileName);

// Writes "<file>: <problem>" as a debug line: why a network file was refused.
void ReportNetworkFileProblem(const std::u16string& file, std::u16string_view problem);
// The same for a file that is there but cannot be read as its layout says (cut short, say);
// the user is also shown the file-check box naming it (filecheck.h, once a run).
void ReportDamagedNetworkFile(const std::u16string& file, std::u16string_view problem);

struct PageStoreParameters {
    std::u16string pageFileName;
    std::u16string indexFileName;
    std::uint32_t crossingCount = 0;
    std::uint16_t endPage = 0;
    std::uint16_t endOffset = 0;
    GeoRect rect;
    std::uint32_t pageSize = 0;
    bool isWritable = false;
    bool isWithoutIndex = false;
    bool isSeparated = false;
    bool isThroughArchives = false;
    bool hasAdditionalAttributes = false;
};

// Page sizes a map may have: multiples of 4 from 12 to 65536.
[[nodiscard]] bool IsValidPageSize(std::uint32_t pageSize);

class SeparatedPageStore {
public:
    enum class Kind { Separated, WholeMap, Mapped };

    explicit SeparatedPageStore(MapDataLinkPtr mapDataLink);
    virtual ~SeparatedPageStore();
    SeparatedPageStore(const SeparatedPageStore&) = delete;
    SeparatedPageStore& operator=(const SeparatedPageStore&) = delete;

    // False (debug line) when the page file cannot be opened, the page size is not valid, the
    // end address or the crossing count lie beyond the page or position file, or a separated
    // map has neither a position file nor map data. A missing index leaves the tree absent.
    [[nodiscard]] virtual bool Open(const PageStoreParameters& parameters);
    // The record bytes at the address, bounded by its page and the end address; empty at or
    // past the end address or when the page cannot be had.
    [[nodiscard]] virtual RecordBytes GetRecord(std::uint16_t page, std::uint16_t offset);
    // Budget in KB: page limit max(1, share x 1024 / page size), the share being the whole
    // budget or two thirds of it when positions are cached too. Other stores ignore it.
    virtual void SetCacheBudget(std::uint32_t kilobytes);
    // The crossing's position entry: inside the record, or from the position file (nullopt when
    // it is missing or does not hold the crossing's id).
    [[nodiscard]] virtual std::optional<CrossingPositionEntry>
    GetPositionEntry(const CrossingRecord& record);
    [[nodiscard]] virtual Kind GetKind() const { return Kind::Separated; }

    [[nodiscard]] const PageStoreParameters& GetParameters() const { return m_parameters; }
    [[nodiscard]] bool IsSeparated() const { return m_parameters.isSeparated; }
    [[nodiscard]] bool HasAdditionalAttributes() const {
        return m_parameters.hasAdditionalAttributes;
    }
    [[nodiscard]] bool IsPositionFileMissing() const { return m_isPositionFileMissing; }
    [[nodiscard]] const std::optional<PageTree>& GetPageTree() const { return m_pageTree; }
    [[nodiscard]] const MapDataLinkPtr& GetMapDataLink() const { return m_mapDataLink; }
    void SetOptimisationStart(std::uint32_t start) { m_optimisationStart = start; }
    [[nodiscard]] std::uint32_t GetOptimisationStart() const { return m_optimisationStart; }
    // Page-file cache: limit, pages held, hits and misses (zero for other stores).
    struct CacheCounts {
        std::uint32_t pageLimit = 0;
        std::uint32_t positionLimit = 0;
        std::uint64_t hits = 0;
        std::uint64_t misses = 0;
    };
    [[nodiscard]] CacheCounts GetCacheCounts();

protected:
    // Stores the parameters and checks the page size; false when it is not valid.
    [[nodiscard]] bool TakeParameters(const PageStoreParameters& parameters);
    // The position file is missing: true (going on with map data) or false (no fallback).
    [[nodiscard]] bool AcceptMissingPositions();
    void ReadIndex();
    // The record at (page, offset) inside a buffer of `size` bytes holding whole pages.
    [[nodiscard]] RecordBytes RecordIn(const std::uint8_t* data, std::uint64_t size,
                                       std::uint16_t page, std::uint16_t offset) const;
    // The entry at `at` inside a buffer of `size` bytes, when it fits.
    [[nodiscard]] static std::optional<CrossingPositionEntry>
    EntryIn(const std::uint8_t* data, std::uint64_t size, std::optional<std::uint64_t> at);

    PageStoreParameters m_parameters;
    bool m_isPositionFileMissing = false;
    bool m_isOpen = false;

private:
    std::mutex m_mutex;
    std::unique_ptr<PageCache> m_pageCache;
    std::unique_ptr<PageCache> m_positionCache;
    std::optional<PageTree> m_pageTree;
    std::uint32_t m_optimisationStart = 0xFFFFFFFF;
    MapDataLinkPtr m_mapDataLink;
};

class WholeMapStore final : public SeparatedPageStore {
public:
    using SeparatedPageStore::SeparatedPageStore;
    [[nodiscard]] bool Open(const PageStoreParameters& parameters) override;
    [[nodiscard]] RecordBytes GetRecord(std::uint16_t page, std::uint16_t offset) override;
    void SetCacheBudget(std::uint32_t) override {}
    [[nodiscard]] std::optional<CrossingPositionEntry>
    GetPositionEntry(const CrossingRecord& record) override;
    [[nodiscard]] Kind GetKind() const override { return Kind::WholeMap; }

private:
    std::vector<std::uint8_t> m_pages;
    std::vector<std::uint8_t> m_positions;
};

class MappedPageStore final : public SeparatedPageStore {
public:
    using SeparatedPageStore::SeparatedPageStore;
    ~MappedPageStore() override;
    [[nodiscard]] bool Open(const PageStoreParameters& parameters) override;
    [[nodiscard]] RecordBytes GetRecord(std::uint16_t page, std::uint16_t offset) override;
    void SetCacheBudget(std::uint32_t) override {}
    [[nodiscard]] std::optional<CrossingPositionEntry>
    GetPositionEntry(const CrossingRecord& record) override;
    [[nodiscard]] Kind GetKind() const override { return Kind::Mapped; }

private:
    struct View {
        const std::uint8_t* data = nullptr;
        std::uint64_t size = 0;
    };
    [[nodiscard]] static std::optional<View> MapWhole(const std::u16string& name);
    void Unmap();

    View m_pages;
    View m_positions;
};
