#pragma once
// Writer of road networks for tests and tools: from a RoadWorld it writes the ".rd" description,
// per level a page file of crossing records (padded to whole pages, ids and pages in page-tree
// leaf order), its page index, a ".sep" position file for separated levels, the optional O2S and
// S2O id tables and, for archived networks, one ".sfs" archive with every file but the ".rd".
// Crossing positions are the world's float degrees, so they equal the map set's vertices.

#include "tablefiles/columntype.h"
#include "testdata/roadworld.h"
#include "testdata/tablefilewriter.h"
#include "testdata/tempdir.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace testdata {

// A manoeuvre item of list 1 or 2: value 0 and the signed values 1..V-1 (V = 1 + values).
struct ManoeuvreItemDescription {
    std::uint8_t modeKind = 0;
    std::uint8_t value0 = 0;
    std::vector<std::int8_t> values;
};

// A 16-bit entry of list 3 or 4.
struct LinkEntryDescription {
    std::uint8_t link = 0;
    std::uint8_t code = 0;
    std::uint8_t modeA = 0;
    std::uint8_t modeB = 0;
    bool isInUse = true;
};

// The optional parts of one crossing record. Link indexes count the crossing's links in the
// order of the world's links (RoadNetworkLayout::linksOf tells them).
struct CrossingExtras {
    bool hasTurnTable = false; // also without turns: a table with K = 0
    std::vector<std::pair<std::uint8_t, std::uint8_t>> prohibitedTurns; // (from, to)
    std::vector<ManoeuvreItemDescription> list1;
    std::vector<ManoeuvreItemDescription> list2;
    std::vector<LinkEntryDescription> list3;
    std::vector<LinkEntryDescription> list4;
    std::map<std::uint8_t, std::uint8_t> directionOverrides; // link index -> D
    std::vector<std::uint8_t> pendingPathLinks;
};

// Values written instead of the sound ones, each breaking one rule a reader checks.
struct RoadNetworkFaults {
    std::optional<std::uint32_t> rdPageSize;
    std::optional<std::uint16_t> rdLastPage;
    std::optional<std::uint16_t> rdLastOffset;
    std::optional<std::uint32_t> rdCrossings;
    std::optional<int> rdMaps;
    std::optional<int> rdFormat; // -1: no "Format" key
    bool shortIndex = false;     // index files of 2 bytes
    bool countPastPage = false;  // the last record of page 0 claims 15 links
    bool repeatedId = false;     // the last record of level 0 carries the first one's id, 0
    bool withoutPositionFile = false;
};

struct RoadNetworkOptions {
    std::string stem = "Net"; // files "<stem>.rd", "<stem><level>.pag", ".idx", ".sep"
    std::uint32_t maps = 1;
    std::uint32_t pageSize = 1024;
    std::vector<bool> separated{false, false, false}; // per level
    bool isArchived = false;                          // "Sfs" = 1, files in "<stem>.sfs"
    int sfs = -1;                                     // written as given when not -1
    bool hasAdditionalAttributes = false;
    std::optional<int> cacheMaxPercent;
    // Id tables: columns (empty: none) and rows.
    std::vector<ColumnType> o2sColumns;
    std::vector<ColumnType> s2oColumns;
    std::map<std::uint32_t, CrossingExtras> extras[3]; // per level, by world node
    // "Optimization start" per level (-1 or missing: none). A level above 0 with a start merges
    // each chain of two-way links through crossings that have exactly two links there and none
    // on the level above into one link with the optimised id start + 2k (start + 2k + 1 as seen
    // from the chain's end, driven against it); the id tables then list
    // the chains (O2S kind by its 7, 5 or 3 columns) and the elements in them.
    std::vector<std::int64_t> optimisationStarts;
    bool s2oListsBothDirections = true; // else only the even (stored direction) id
    RoadNetworkFaults faults;
};

struct WrittenAddress {
    std::uint16_t page = 0;
    std::uint16_t offset = 0;
};

// Where everything went, per level.
// A chain of world links merged into one optimised link, in its stored direction.
struct OptimisedChain {
    std::uint32_t id = 0;
    std::vector<std::uint32_t> links; // world link indexes
    std::vector<std::uint32_t> nodes; // links + 1 nodes
};

struct RoadNetworkLevelLayout {
    std::vector<std::uint32_t> nodeOfCrossing; // by crossing id
    std::map<std::uint32_t, std::uint32_t> crossingOfNode;
    std::vector<WrittenAddress> addresses; // by crossing id
    // The crossing's links: world link index, and whether the crossing is its `from` end.
    std::vector<std::vector<std::pair<std::uint32_t, bool>>> linksOf; // by crossing id
    std::uint16_t lastPage = 0;
    std::uint16_t lastOffset = 0;
    GeoRect rect;
    std::vector<OptimisedChain> chains;
};

class RoadNetworkWriter {
public:
    RoadNetworkWriter(RoadWorld world, RoadNetworkOptions options);

    // The files by name; nullopt when the world cannot be written (a crossing with more than 15
    // links, a record larger than a page, a length beyond 32767 units, more than 65535 pages).
    [[nodiscard]] std::optional<std::map<std::string, std::vector<std::uint8_t>>> Build();
    // Build, then the files into the device folder; false on failure.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view folder);
    // Build, then the files into a host folder; false on failure.
    [[nodiscard]] bool WriteToHost(const std::filesystem::path& folder);

    // After Build.
    [[nodiscard]] const std::vector<RoadNetworkLevelLayout>& GetLayout() const { return m_layout; }
    // With the merged links of upper levels appended after Build.
    [[nodiscard]] const RoadWorld& GetWorld() const { return m_world; }
    [[nodiscard]] const RoadNetworkOptions& GetOptions() const { return m_options; }

private:
    [[nodiscard]] bool LayOut(std::uint32_t level);
    void MergeChains(std::uint32_t level);
    [[nodiscard]] bool IsOnLevel(std::uint32_t link, std::uint32_t level) const;
    [[nodiscard]] std::vector<std::uint8_t> O2STable() const;
    [[nodiscard]] std::vector<std::uint8_t> S2OTable() const;
    [[nodiscard]] std::vector<std::uint8_t> EncodeRecord(std::uint32_t level,
                                                         std::uint32_t crossing) const;
    void AddLevelFiles(std::uint32_t level,
                       std::map<std::string, std::vector<std::uint8_t>>& files) const;
    void AppendLink(std::vector<std::uint8_t>& out, std::uint32_t level, std::uint32_t crossing,
                    std::uint32_t i, const CrossingExtras& extras) const;
    [[nodiscard]] std::uint32_t RecordSize(std::uint32_t level, std::uint32_t node,
                                           std::uint32_t links) const;
    [[nodiscard]] std::string Description() const;

    RoadWorld m_world;
    RoadNetworkOptions m_options;
    std::vector<RoadNetworkLevelLayout> m_layout;
    std::vector<std::vector<std::uint16_t>> m_indexes; // page tree per level
    std::optional<std::size_t> m_worldLinks;           // before merging
    std::vector<std::int32_t> m_onlyOnLevel;           // per link: -1, or a merged link's level
    std::vector<std::set<std::uint32_t>> m_mergedAway; // per level: links inside chains
};

// One O2S row by the table's column count: (id, element, x, y, 0, length, 0) for 7,
// (id, element, x, y, length) for 5, else (id, element, length).
[[nodiscard]] std::vector<TableValue> O2SRow(std::size_t columns, std::uint32_t id,
                                             std::uint32_t element, const GeoPoint& p,
                                             std::uint32_t metres);

// The attribute block (H and its words) of a crossing's extras; empty without lists.
[[nodiscard]] std::vector<std::uint32_t> EncodeAttributeBlock(const CrossingExtras& extras);

} // namespace testdata
