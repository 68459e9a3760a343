// Reads arbitrary bytes as a page index file.
#include "routing/pagetree.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto tree = PageTree::Parse({data, size});
    if (tree) {
        // Every inner child names a node that exists.
        for (const PageTree::Node& node : tree->GetNodes()) {
            for (const std::uint32_t child : {node.lower, node.upper}) {
                if (!PageTree::IsLeaf(child) &&
                    PageTree::NodeOf(child) >= tree->GetNodes().size()) {
                    std::abort();
                }
            }
        }
    }
    return 0;
}
