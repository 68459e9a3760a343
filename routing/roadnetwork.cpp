#include "routing/roadnetwork.h"

#include "routing/networkdescription.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"
#include "platform/files/memory.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <string>

namespace {

std::atomic<std::uint32_t> g_cacheBudget{0};

constexpr std::uint32_t kMinimumBudget = 1536;
constexpr std::uint32_t kMaximumBudget = 4096;

std::uint32_t ComputeBudget(std::uint32_t percent) {
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    const DWORD available = std::min(status.dwAvailPhys, status.dwAvailVirtual);
    const std::uint32_t budget = available / 1024 * percent / 100;
    return std::clamp(budget, kMinimumBudget, kMaximumBudget);
}

// True when a crossing with links lies before the map's end address. A header without links
// only marks the unused rest of a page, so a map that counts crossings but holds none there has
// been overwritten (zeroed pages, say). A sound map finds one at its first record.
bool HoldsAnyCrossing(SeparatedPageStore& store) {
    const PageStoreParameters& p = store.GetParameters();
    PagePosition at(&store);
    at.Set(0, 0);
    while (IsBeforeEnd(at.GetPage(), at.GetOffset(), p.endPage, p.endOffset)) {
        const CrossingRecord* record = at.GetRecord();
        if (record != nullptr && record->LinkCount() > 0) {
            return true;
        }
        at.Next();
    }
    return false;
}

class SettingsSource final : public DescriptionSource {
public:
    explicit SettingsSource(const std::u16string& path)
        : m_path(path) {}
    int GetInt(const char16_t* section, const char16_t* key, int fallback) const override {
        return IniProfile::GetInt(section, key, m_path.c_str(), fallback);
    }
    std::u16string GetString(const char16_t* section, const char16_t* key) const override {
        return IniProfile::GetString(section, key, m_path.c_str(), u"");
    }
    double GetDouble(const char16_t* section, const char16_t* key, double fallback) const override {
        return IniProfile::GetDouble(section, key, m_path.c_str(), fallback);
    }

private:
    const std::u16string& m_path;
};

} // namespace

std::uint32_t MapShare(std::uint16_t level, std::uint32_t budgetKb) {
    return static_cast<std::uint32_t>(budgetKb * (level == 2 ? 0.5 : 0.25));
}

SeparatedPageStore::Kind ChooseStoreKind(int sfs, std::uint16_t level, std::uint32_t budgetKb,
                                         std::uint16_t lastPage, std::uint32_t pageSize) {
    if (sfs != 1) {
        return SeparatedPageStore::Kind::Mapped;
    }
    const std::uint64_t needed = (std::uint64_t{lastPage} + 1) * pageSize / 1024;
    return MapShare(level, budgetKb) >= needed ? SeparatedPageStore::Kind::WholeMap
                                               : SeparatedPageStore::Kind::Separated;
}

std::uint32_t GetCacheBudget() {
    return g_cacheBudget.load();
}
void ResetCacheBudget() {
    g_cacheBudget.store(0);
}

RoadNetwork::~RoadNetwork() {
    for (auto& store : m_stores) {
        store.reset();
    }
    m_archives.UnmountAll();
}

bool RoadNetwork::Load(const std::u16string& path,
                       const RetrievalEngine::RetrievalEnginePtr& engine) {
    for (auto& store : m_stores) {
        store.reset();
    }
    for (auto& table : m_linkTargets) {
        table.reset();
    }
    m_mapCount = 0;
    // Reading a missing settings file would create it.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ReportNetworkFileProblem(path, u"missing");
        return false;
    }
    const NetworkDescription description = ReadNetworkDescription(SettingsSource(path), path);
    m_hasAdditionalAttributes = description.hasAdditionalAttributes;
    if (g_cacheBudget.load() == 0) {
        g_cacheBudget.store(ComputeBudget(static_cast<std::uint32_t>(description.cacheMaxPercent)));
    }
    if (description.sfs != 0) {
        const std::size_t separator = path.find_last_of(u"\\/");
        m_archives.UnmountAll();
        (void)MountSfsArchivesInFolder(
            m_archives, separator == std::u16string::npos ? u"" : path.substr(0, separator));
    }
    if (engine) {
        m_mapDataLink = std::make_shared<MapDataLink>(engine);
        m_mapDataLink->SetLinkResolver([this](std::uint32_t id) { return ElementOfLink(id); });
    }
    if (!OpenIdTables(description)) {
        return false;
    }
    if (!IsDescriptionValid(description)) {
        ReportDamagedNetworkFile(
            path, u"needs \"Format\" 0, 1 to 3 \"Maps\" and page sizes of 12 to 65536 bytes");
        return false;
    }
    if (description.lacksMapKeys) {
        ReportDamagedNetworkFile(path, u"a map section lacks a key that places its data");
        return false;
    }
    m_mapCount = static_cast<std::uint16_t>(description.maps);
    for (std::uint16_t level = 0; level < m_mapCount; ++level) {
        if (!LoadMap(level, description)) {
            ReportNetworkFileProblem(path, u"a map does not open");
            return false;
        }
    }
    return true;
}

bool RoadNetwork::OpenIdTables(const NetworkDescription& description) {
    const auto open = [&](FsrTable& table, const std::u16string& name) {
        const bool isOpen =
            description.sfs == 1 ? table.OpenArchived(name) : table.OpenMapped(name);
        if (!isOpen) {
            // A table that is there but does not open is damaged; a missing one is only logged.
            if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) {
                ReportDamagedNetworkFile(name, u"cannot be opened");
            } else {
                ReportNetworkFileProblem(name, u"cannot be opened");
            }
        }
        return isOpen;
    };
    if (!description.o2sTable.empty()) {
        if (!open(m_o2s, description.o2sTable)) {
            return false;
        }
        using enum ColumnType;
        static constexpr ColumnType kKind0[] = {UInt32, UInt32,  Float32, Float32,
                                                UInt32, Float32, UInt32};
        static constexpr ColumnType kKind1[] = {UInt32, UInt32, UInt32};
        static constexpr ColumnType kKind2[] = {UInt32, UInt32, Float32, Float32, UInt32};
        m_o2sKind = m_o2s.HasColumnTypes(kKind2, 5)   ? 2
                    : m_o2s.HasColumnTypes(kKind0, 7) ? 0
                    : m_o2s.HasColumnTypes(kKind1, 3) ? 1
                                                      : 3;
        if (m_o2sKind == 3) {
            ReportDamagedNetworkFile(description.o2sTable, u"has none of the O2S column layouts");
            return false;
        }
    }
    if (!description.s2oTable.empty()) {
        static constexpr ColumnType kS2O[] = {ColumnType::UInt32, ColumnType::UInt32};
        if (!open(m_s2o, description.s2oTable)) {
            return false;
        }
        if (!m_s2o.HasColumnTypes(kS2O, 2)) {
            ReportDamagedNetworkFile(description.s2oTable, u"needs the columns (u32, u32)");
            return false;
        }
    }
    return true;
}

bool RoadNetwork::LoadMap(std::uint16_t level, const NetworkDescription& description) {
    const PageStoreParameters& p = description.levels[level];
    const std::uint32_t share = MapShare(level, g_cacheBudget.load());
    std::unique_ptr<SeparatedPageStore> store;
    switch (ChooseStoreKind(description.sfs, level, g_cacheBudget.load(), p.endPage, p.pageSize)) {
    case SeparatedPageStore::Kind::Mapped:
        store.reset(new (std::nothrow) MappedPageStore(m_mapDataLink));
        break;
    case SeparatedPageStore::Kind::WholeMap:
        store.reset(new (std::nothrow) WholeMapStore(m_mapDataLink));
        break;
    case SeparatedPageStore::Kind::Separated:
        store.reset(new (std::nothrow) SeparatedPageStore(m_mapDataLink));
        break;
    }
    if (!store) {
        return false;
    }
    m_stores[level] = std::move(store);
    if (!m_stores[level]->Open(p)) {
        return false;
    }
    if (p.crossingCount > 0 && !HoldsAnyCrossing(*m_stores[level])) {
        ReportDamagedNetworkFile(p.pageFileName, u"holds no crossing before its end address");
        return false;
    }
    // The link target table counts against the map's share of the budget: in a store of cached
    // pages it takes at most half and leaves the pages the rest; the other stores cache nothing.
    const bool isCached = m_stores[level]->GetKind() == SeparatedPageStore::Kind::Separated;
    m_linkTargets[level] = LinkTargetTable::Build(*m_stores[level], p.crossingCount,
                                                  std::uint64_t{share} * 1024 / (isCached ? 2 : 1));
    const std::uint64_t tableBytes = m_linkTargets[level] ? m_linkTargets[level]->GetBytes() : 0u;
    m_stores[level]->SetCacheBudget(share - static_cast<std::uint32_t>((tableBytes + 1023) / 1024));
    m_stores[level]->SetOptimisationStart(description.optimisationStarts[level]);
    m_pageCounts[level] = std::uint32_t{p.endPage} + 1;
    m_annotations.Resize(level, m_pageCounts[level]);
    return true;
}

SeparatedPageStore* RoadNetwork::GetStore(std::uint16_t level) const {
    return level < m_mapCount ? m_stores[level].get() : nullptr;
}

NetworkCrossingPtr RoadNetwork::CreateCrossing(const CrossingAddress& address) {
    if (GetStore(address.level) == nullptr) {
        return nullptr;
    }
    return std::make_shared<NetworkCrossing>(*this, address);
}

std::optional<CrossingAddress> RoadNetwork::UpperAddressOf(const NetworkCrossing& crossing) {
    const CrossingRecord* record = crossing.GetRecord();
    if (record == nullptr || !record->HasUpperReference()) {
        return std::nullopt;
    }
    return CrossingAddress{record->UpperPage(), record->UpperOffset(), 0xFFFFFFFF,
                           static_cast<std::uint16_t>(crossing.GetLevel() + 1)};
}

NetworkCrossingPtr RoadNetwork::GetUpperCrossing(const NetworkCrossing& crossing) {
    const std::optional<CrossingAddress> address = UpperAddressOf(crossing);
    return address ? CreateCrossing(*address) : nullptr;
}

GeoRect RoadNetwork::GetMapRect(std::uint16_t level) const {
    const SeparatedPageStore* store = GetStore(level);
    return store != nullptr ? store->GetParameters().rect : GeoRect{};
}

std::uint32_t RoadNetwork::GetCrossingCount(std::uint16_t level) const {
    const SeparatedPageStore* store = GetStore(level);
    return store != nullptr ? store->GetParameters().crossingCount : 0u;
}

std::uint32_t RoadNetwork::GetPageCount(std::uint16_t level) const {
    return level < m_mapCount ? m_pageCounts[level] : 0u;
}

LinkCursorPtr RoadNetwork::CreateRestrictedCursor(const NetworkCrossing& crossing, bool isForward,
                                                  std::uint32_t fromLink, TravelMode mode,
                                                  ManoeuvreHistory* history) {
    return std::make_shared<LinkCursor>(crossing, isForward, fromLink, mode, history);
}

LinkCursorPtr RoadNetwork::CreateCursor(const NetworkCrossing& crossing, std::uint32_t first,
                                        TravelMode mode) {
    return std::make_shared<LinkCursor>(crossing, first, mode);
}
