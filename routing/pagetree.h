#pragma once
// A map's page tree, read from its index file: u16 values in pre-order, 0xFFFF for an inner node
// followed by its lower and upper child, any other value a leaf page. Inner nodes split their
// cell at the middle of x at even depth and of y at odd depth. Immutable once built.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class PageTree {
public:
    // A child word: bit 0 set for a leaf (bits 1-16 the page), clear for an inner node (bits 1-23
    // its index).
    struct Node {
        std::uint32_t lower = 0;
        std::uint32_t upper = 0;
    };

    // Nullopt (no tree) for fewer than 4 bytes, a first value other than 0xFFFF, or values that
    // end before every inner node has both children. Values after the tree are ignored.
    [[nodiscard]] static std::optional<PageTree> Parse(std::span<const std::uint8_t> bytes);

    // Node 0 is the root; the others follow in the order of their markers.
    [[nodiscard]] const std::vector<Node>& GetNodes() const { return m_nodes; }
    [[nodiscard]] static bool IsLeaf(std::uint32_t child) { return (child & 1u) != 0; }
    [[nodiscard]] static std::uint32_t PageOf(std::uint32_t child) {
        return (child >> 1) & 0xFFFFu;
    }
    [[nodiscard]] static std::uint32_t NodeOf(std::uint32_t child) {
        return (child >> 1) & 0x7FFFFFu;
    }

private:
    std::vector<Node> m_nodes;
};
