#pragma once
// Writers of an address index's area hierarchy: the tree file "EAreaI.tre" (8192-byte blocks of
// area nodes named by their file offset, a nameless node at offset 0, no node crossing a block)
// and the list files "EAreaP.fsr" / "ETypeP.fsr" ({u32 key; u32 count; ids} records); knobs for
// broken files.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// One area of a hierarchy; parents come before their children.
struct AreaSpec {
    std::string name; // code page 1252; a country's name is its number in decimal
    std::uint32_t level = 0;
    std::int32_t parent = -1; // index of the parent area in the description, -1 for none
    std::uint32_t elementId = 0;
    std::array<float, 4> rect{}; // min x, min y, max x, max y (degrees)
};

enum class AreaTreeFault {
    None,
    NodeCrossesBlock, // the last node's length word reaches past the end of its block
    NoNameTerminator, // the first area's node ends inside its name
    ParentCycle,      // the first area's parent is the last area, which descends from it
};

class AreaTreeWriter {
public:
    static constexpr std::uint32_t kBlockSize = 8192;

    // Adds an area; returns its index in the description.
    std::int32_t Add(AreaSpec area);
    [[nodiscard]] const std::vector<AreaSpec>& GetAreas() const { return m_areas; }

    // The node id (file offset) of an area; 0xFFFFFFFF for an index out of range.
    [[nodiscard]] std::uint32_t GetId(std::int32_t index) const;
    // The whole file, padded to whole blocks.
    [[nodiscard]] std::vector<std::uint8_t> Build(AreaTreeFault fault = AreaTreeFault::None) const;

private:
    [[nodiscard]] std::vector<std::int32_t> ChildrenOf(std::int32_t index) const;
    [[nodiscard]] std::vector<std::uint32_t> Layout() const;

    std::vector<AreaSpec> m_areas;
};

struct AreaListEntry {
    std::uint32_t key = 0;
    std::vector<std::uint32_t> ids;
};

enum class AreaListFault {
    None,
    CountPastEnd, // the last record's count claims far more ids than the file holds
    IdsCut,       // the file ends right after the last record's key and count
};

std::vector<std::uint8_t> WriteAreaList(const std::vector<AreaListEntry>& entries,
                                        AreaListFault fault = AreaListFault::None);

} // namespace testdata
