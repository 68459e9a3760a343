#pragma once
// Writer of map sets for tests and tools: from map elements, or from a sketch of named nodes on a
// grid with roads as node lists, it writes the map data file (".rid": a packed block tree of a
// chosen depth, version 2 or 3), the geometry stream (".dat": each element's data inside one
// 8192-byte page, offset 0 unused) and the name file (".nam"), and tells each element's id.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "testdata/archivewriter.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

struct ElementDescription {
    char typeLetter = 'l'; // 't', 'l'..'o', 'p', 'r', 'y', 'z'
    // The record's bounds: the point's box ('t') or the segment's box ('l'..'o'); point lists
    // take the box of their points.
    MapRect bounds;
    std::vector<MapPoint> points; // 'p', 'y' (absolute), 'r', 'z' (offsets from the box corner)
    std::uint16_t typeCode = 0;
    std::uint8_t subtype = 0;
    std::uint32_t attributes = 0;
    std::string name; // alternatives separated by '/'; empty: no name
};

// Named nodes on a grid (one character each, '.' or ' ' for none; row 0 at the top) and roads
// through them. Each road becomes one segment element per pair of consecutive nodes, oriented
// from the first node to the second; a one-way road's elements carry the raw direction code of
// one-way along their points.
struct GridSketch {
    // How a road may be driven: both ways, or only from its first node towards its last.
    enum class Direction { TwoWay, OneWay };
    struct Road {
        std::string name;
        std::string nodes; // node characters in order
        std::uint16_t typeCode = maprecord::kResidentialType;
        std::uint32_t attributes = 0; // raw word; the direction code comes from `direction`
        // The road network's view of the road (the map set ignores it): class 0-31 with its
        // extended bit and code (0-5), direction, and the highest network level it reaches.
        std::uint8_t roadClass = 4;
        bool extendedBit = false;
        std::uint8_t extendedCode = 0;
        Direction direction = Direction::TwoWay;
        std::uint8_t level = 0;
    };
    std::vector<std::string> rows;
    std::vector<Road> roads;
    MapPoint origin;             // the bottom-left grid point
    std::int32_t spacing = 1000; // map units between grid points
};

// Header fields written instead of the sound ones.
struct RidHeaderFields {
    std::optional<std::uint32_t> magic;
    std::optional<std::uint32_t> version; // the id scheme still follows SetVersion
    std::optional<std::uint32_t> blockSize;
    std::optional<std::uint32_t> root;
    std::optional<std::uint32_t> blockCount;
    std::optional<std::uint32_t> formatWord;
    std::uint32_t mapKind = 0;
    std::uint32_t mapDataValue = 0;
};

// Broken trees and geometry for the readers' checks.
enum class MapSetFault {
    None,
    LeafCountAbove255,    // the first leaf claims 300 records
    InnerCountAbove409,   // the root claims 500 entries
    ChildZero,            // the root's first entry points at block 0
    ChildBeyondCount,     // the root's first entry points past the last block
    ChildIsAncestor,      // the root's last entry points back at the root
    SharedChildren,       // every root entry points at the same child
    PointsPastPageEnd,    // the first point list claims more points than its page holds
    DataPastStreamEnd,    // the first point list's data offset lies past the ".dat" stream
    RidShorterThanHeader, // the ".rid" file loses its last block
};

struct MapSetFiles {
    std::vector<std::uint8_t> rid;
    std::vector<std::uint8_t> dat;
    std::vector<std::uint8_t> nam;
};

class MapSetWriter {
public:
    // Adds an element; returns its index, or nullopt when its data cannot be written (a point
    // list of no points or too long for one page, offsets beyond 16 bits, an unknown letter).
    std::optional<std::size_t> Add(const ElementDescription& element);
    // Adds the sketch's roads; returns their element indexes in road and node order, or nullopt
    // (nothing added) when a road names a node that is not on the grid.
    std::optional<std::vector<std::size_t>> AddSketch(const GridSketch& sketch);
    // The grid point of a sketch node.
    static std::optional<MapPoint> NodePosition(const GridSketch& sketch, char node);
    // Replaces an added element's raw attribute word; the ids of a later Build stay the same.
    // False for an unknown index.
    bool SetAttributes(std::size_t index, std::uint32_t attributes);

    MapSetWriter& SetVersion(std::uint32_t version); // 2 or 3 (default)
    // Levels of the tree including the leaves (default 3); deeper when the counts need it.
    MapSetWriter& SetDepth(std::uint32_t depth);
    // Leaves with no records, each under a root entry that covers the whole map.
    MapSetWriter& SetEmptyLeaves(std::uint32_t count);
    MapSetWriter& SetHeader(const RidHeaderFields& fields);
    MapSetWriter& SetFault(MapSetFault fault);

    // Builds the three files; every call lays the tree out afresh.
    MapSetFiles Build();
    // Writes base + ".rid", ".dat" and ".nam"; false on failure.
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostBasePath);

    [[nodiscard]] const std::vector<ElementDescription>& GetElements() const { return m_elements; }
    // After Build: the id of each element (by index), and the element indexes in tree order.
    [[nodiscard]] const std::vector<std::uint32_t>& GetElementIds() const { return m_ids; }
    [[nodiscard]] const std::vector<std::size_t>& GetTreeOrder() const { return m_treeOrder; }
    [[nodiscard]] std::uint32_t GetRoot() const { return m_root; }
    [[nodiscard]] std::uint32_t GetBlockCount() const { return m_blockCount; }
    [[nodiscard]] std::uint32_t GetLevels() const { return m_levels; }
    // The bounds a record of the element carries.
    [[nodiscard]] static MapRect RecordBounds(const ElementDescription& element);

private:
    void WriteDataAndNames(MapSetFiles& files, std::vector<std::uint32_t>& dataOffsets,
                           std::vector<std::uint32_t>& nameOffsets) const;
    void WriteHeader(std::vector<std::uint8_t>& rid) const;

    std::vector<ElementDescription> m_elements;
    std::uint32_t m_version = 3;
    std::uint32_t m_depth = 3;
    std::uint32_t m_emptyLeaves = 0;
    RidHeaderFields m_header;
    MapSetFault m_fault = MapSetFault::None;
    std::vector<std::uint32_t> m_ids;
    std::vector<std::size_t> m_treeOrder;
    std::uint32_t m_root = 0;
    std::uint32_t m_blockCount = 0;
    std::uint32_t m_levels = 0;
};

// Adds the map set's files to an archive as base name + ".rid", ".dat" and ".nam"; false when
// a name is refused.
[[nodiscard]] bool AddMapSetToArchive(const MapSetFiles& files, std::string_view baseName,
                                      ArchiveWriter& archive);

// The three link nibbles of an element's raw attribute word; each holds flags b3 b2 b1 b0.
enum class LinkNibble { A, B, C };
// The raw attribute bits that put `flags` (b0 in bit 0 .. b3 in bit 3) into the kind's nibble.
std::uint32_t LinkAttributeBits(LinkNibble kind, std::uint8_t flags);

// One road at a junction: it runs between the junction node 'J' and `node` ('N', 'E', 'S' or
// 'W', one grid step away), starting at the junction when `isOutgoing`, with `flags` in the link
// nibble of the sketch's kind.
struct JunctionArm {
    char node = 'N';
    bool isOutgoing = true;
    std::uint8_t flags = 0;
};
// A sketch of the arms meeting at 'J'; each arm is one segment named "Arm " + its node.
GridSketch JunctionSketch(LinkNibble kind, const std::vector<JunctionArm>& arms);

} // namespace testdata
