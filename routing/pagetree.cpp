#include "routing/pagetree.h"

std::optional<PageTree> PageTree::Parse(std::span<const std::uint8_t> bytes) {
    const std::size_t count = bytes.size() / 2;
    const auto value = [&](std::size_t i) {
        return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    };
    if (bytes.size() < 4 || value(0) != 0xFFFF) {
        return std::nullopt;
    }
    PageTree tree;
    tree.m_nodes.push_back({});
    // Children still to be filled: node index and whether its lower child is done.
    struct Pending {
        std::uint32_t node;
        bool hasLower;
    };
    std::vector<Pending> stack{{0, false}};
    for (std::size_t i = 1; i < count && !stack.empty(); ++i) {
        std::uint32_t child = 0;
        const std::uint16_t v = value(i);
        std::optional<std::uint32_t> newNode;
        if (v == 0xFFFF) {
            if (tree.m_nodes.size() > 0x7FFFFF) {
                return std::nullopt;
            }
            newNode = static_cast<std::uint32_t>(tree.m_nodes.size());
            tree.m_nodes.push_back({});
            child = *newNode << 1;
        } else {
            child = (std::uint32_t{v} << 1) | 1u;
        }
        Pending& top = stack.back();
        if (!top.hasLower) {
            tree.m_nodes[top.node].lower = child;
            top.hasLower = true;
        } else {
            tree.m_nodes[top.node].upper = child;
            stack.pop_back();
        }
        if (newNode) {
            stack.push_back({*newNode, false});
        }
    }
    if (!stack.empty()) {
        return std::nullopt;
    }
    return tree;
}
