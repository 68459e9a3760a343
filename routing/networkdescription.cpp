#include "routing/networkdescription.h"

namespace {

constexpr const char16_t* kPlacingMapKeys[] = {
    u"Name", u"Page Size", u"Crossings", u"Last page", u"Last offset", u"x1", u"y1", u"x2", u"y2"};

std::u16string Resolve(const std::u16string& folder, const std::u16string& name) {
    if (name.empty() || name.find_first_of(u"\\/") != std::u16string::npos) {
        return name;
    }
    return folder + name;
}

} // namespace

NetworkDescription ReadNetworkDescription(const DescriptionSource& source,
                                          const std::u16string& rdPath) {
    NetworkDescription d;
    d.maps = source.GetInt(u"General", u"Maps", 0);
    d.format = source.GetInt(u"General", u"Format", -1);
    d.hasAdditionalAttributes = source.GetInt(u"General", u"Additional street attributes", 0) != 0;
    d.sfs = source.GetInt(u"General", u"Sfs", 0);
    d.cacheMaxPercent = source.GetInt(u"Preferences", u"CacheMaxPercent", 20);
    const std::size_t separator = rdPath.find_last_of(u"\\/");
    const std::u16string folder =
        (separator == std::u16string::npos ? u"" : rdPath.substr(0, separator)) + u"\\";
    d.o2sTable = Resolve(folder, source.GetString(u"General", u"O2SFsr"));
    d.s2oTable = Resolve(folder, source.GetString(u"General", u"S2OFsr"));
    for (int level = 0; level < 3 && level < d.maps; ++level) {
        const std::u16string name =
            u"Map " + std::u16string(1, static_cast<char16_t>(u'0' + level));
        const char16_t* section = name.c_str();
        const auto real = [&](const char16_t* key) {
            return static_cast<float>(source.GetDouble(section, key, 0.0));
        };
        PageStoreParameters& p = d.levels[static_cast<std::size_t>(level)];
        p.pageFileName = Resolve(folder, source.GetString(section, u"Name"));
        p.indexFileName = Resolve(folder, source.GetString(section, u"Index"));
        p.pageSize = static_cast<std::uint32_t>(source.GetInt(section, u"Page Size", 0));
        p.crossingCount = static_cast<std::uint32_t>(source.GetInt(section, u"Crossings", 0));
        p.isSeparated = source.GetInt(section, u"Separated", 0) != 0;
        p.endPage = static_cast<std::uint16_t>(source.GetInt(section, u"Last page", 0));
        p.endOffset = static_cast<std::uint16_t>(source.GetInt(section, u"Last offset", 0));
        p.rect = GeoRect(real(u"x1"), real(u"y1"), real(u"x2"), real(u"y2"));
        p.isThroughArchives = d.sfs == 1;
        p.hasAdditionalAttributes = d.hasAdditionalAttributes;
        d.optimisationStarts[static_cast<std::size_t>(level)] =
            static_cast<std::uint32_t>(source.GetInt(section, u"Optimization start", -1));
        for (const char16_t* key : kPlacingMapKeys) {
            d.lacksMapKeys = d.lacksMapKeys || source.GetString(section, key).empty();
        }
    }
    return d;
}

bool IsDescriptionValid(const NetworkDescription& description) {
    if (description.format != 0 || description.maps < 1 || description.maps > 3) {
        return false;
    }
    for (int level = 0; level < description.maps; ++level) {
        if (!IsValidPageSize(description.levels[static_cast<std::size_t>(level)].pageSize)) {
            return false;
        }
    }
    return true;
}

std::optional<std::uint64_t> PositionEntryOffset(std::uint32_t id, std::uint32_t crossingCount,
                                                 std::uint32_t pageSize) {
    const std::uint32_t perPage = pageSize / kPositionEntrySize;
    if (id >= crossingCount || perPage == 0) {
        return std::nullopt;
    }
    return std::uint64_t{id / perPage} * pageSize +
           std::uint64_t{id % perPage} * kPositionEntrySize;
}

bool CheckMapFileSizes(const PageStoreParameters& p, std::uint64_t pageBytes,
                       std::optional<std::uint64_t> positionBytes) {
    const std::uint64_t end = std::uint64_t{p.endPage} * p.pageSize + p.endOffset;
    if (p.endOffset > p.pageSize || end > pageBytes) {
        ReportDamagedNetworkFile(p.pageFileName, u"end address lies beyond the page file");
        return false;
    }
    if (p.crossingCount > 0x1000000 || std::uint64_t{p.crossingCount} * 4 > end) {
        ReportDamagedNetworkFile(p.pageFileName, u"more crossings than the page file holds");
        return false;
    }
    if (positionBytes && p.crossingCount > 0) {
        const auto last = PositionEntryOffset(p.crossingCount - 1, p.crossingCount, p.pageSize);
        if (!last || *last + kPositionEntrySize > *positionBytes) {
            ReportDamagedNetworkFile(PositionFileName(p.pageFileName),
                                     u"more crossings than the position file holds");
            return false;
        }
    }
    return true;
}
