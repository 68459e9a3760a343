#pragma once
// The ".rd" description of a road network read through a key source, and the checks of its
// values against each other and against the sizes of the map files. Value code; any thread.

#include "routing/pagestore.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Where the description's keys come from (the settings store for a ".rd" file).
class DescriptionSource {
public:
    virtual ~DescriptionSource() = default;
    [[nodiscard]] virtual int GetInt(const char16_t* section, const char16_t* key,
                                     int fallback) const = 0;
    [[nodiscard]] virtual std::u16string GetString(const char16_t* section,
                                                   const char16_t* key) const = 0;
    [[nodiscard]] virtual double GetDouble(const char16_t* section, const char16_t* key,
                                           double fallback) const = 0;
};

struct NetworkDescription {
    int maps = 0;
    int format = -1;
    bool hasAdditionalAttributes = false;
    int sfs = 0;
    int cacheMaxPercent = 20;
    std::u16string o2sTable; // resolved; empty: none
    std::u16string s2oTable;
    std::array<PageStoreParameters, 3> levels;
    std::array<std::uint32_t, 3> optimisationStarts{};
    // A map section read lacks one of the keys that place its data ("Name", "Page Size",
    // "Crossings", "Last page", "Last offset", "x1" to "y2"), as a description cut short does.
    bool lacksMapKeys = false;
};

// Reads every key; names without '\' or '/' are taken in the folder of rdPath.
[[nodiscard]] NetworkDescription ReadNetworkDescription(const DescriptionSource& source,
                                                        const std::u16string& rdPath);

// "Format" 0, 1 to 3 "Maps" and a valid page size for each map.
[[nodiscard]] bool IsDescriptionValid(const NetworkDescription& description);

// False (debug line) when the end address lies beyond pageBytes, the crossings are more than the
// page bytes or 2^24 can hold, or (when given) more than positionBytes holds.
[[nodiscard]] bool CheckMapFileSizes(const PageStoreParameters& parameters, std::uint64_t pageBytes,
                                     std::optional<std::uint64_t> positionBytes);

// Offset of crossing id's entry in a position file, nullopt at or beyond the crossing count.
[[nodiscard]] std::optional<std::uint64_t>
PositionEntryOffset(std::uint32_t id, std::uint32_t crossingCount, std::uint32_t pageSize);
