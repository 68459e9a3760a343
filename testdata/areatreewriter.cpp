#include "testdata/areatreewriter.h"

#include "testdata/detail/fileimage.h"

#include <bit>
#include <cstddef>

namespace testdata {

namespace {

constexpr std::uint32_t kFixedSize = 30;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

void PutFloat(std::vector<std::uint8_t>& out, std::size_t at, float value) {
    detail::PutU32(out, at, std::bit_cast<std::uint32_t>(value));
}

} // namespace

std::int32_t AreaTreeWriter::Add(AreaSpec area) {
    m_areas.push_back(std::move(area));
    return static_cast<std::int32_t>(m_areas.size() - 1);
}

std::vector<std::int32_t> AreaTreeWriter::ChildrenOf(std::int32_t index) const {
    std::vector<std::int32_t> children;
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        if (m_areas[i].parent == index) {
            children.push_back(static_cast<std::int32_t>(i));
        }
    }
    return children;
}

// Node offsets: the nameless node first, then the areas in order, each moved to the next block
// when it does not fit the rest of its block.
std::vector<std::uint32_t> AreaTreeWriter::Layout() const {
    std::vector<std::uint32_t> offsets;
    std::uint32_t at = kFixedSize + 1;
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        const auto length =
            static_cast<std::uint32_t>(kFixedSize + m_areas[i].name.size() + 1 +
                                       4 * ChildrenOf(static_cast<std::int32_t>(i)).size());
        if (at % kBlockSize + length > kBlockSize) {
            at = (at / kBlockSize + 1) * kBlockSize;
        }
        offsets.push_back(at);
        at += length;
    }
    return offsets;
}

std::uint32_t AreaTreeWriter::GetId(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_areas.size()) {
        return kNone;
    }
    return Layout()[static_cast<std::size_t>(index)];
}

std::vector<std::uint8_t> AreaTreeWriter::Build(AreaTreeFault fault) const {
    const std::vector<std::uint32_t> offsets = Layout();
    // No node crosses a block, so the last node's block ends the file.
    const std::uint32_t last = offsets.empty() ? 0 : offsets.back();
    std::vector<std::uint8_t> file((last / kBlockSize + 1) * kBlockSize, 0);
    detail::PutU16(file, 0, kFixedSize + 1);
    detail::PutU32(file, 6, kNone);
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        const AreaSpec& area = m_areas[i];
        const std::uint32_t at = offsets[i];
        const std::vector<std::int32_t> children = ChildrenOf(static_cast<std::int32_t>(i));
        const auto nameEnd = static_cast<std::uint32_t>(at + kFixedSize + area.name.size());
        std::uint32_t length = nameEnd + 1 + 4 * static_cast<std::uint32_t>(children.size()) - at;
        std::uint32_t parent =
            area.parent < 0 ? kNone : offsets[static_cast<std::size_t>(area.parent)];
        if (i == 0 && fault == AreaTreeFault::NoNameTerminator) {
            length = nameEnd - at;
        }
        if (i == 0 && fault == AreaTreeFault::ParentCycle) {
            parent = offsets.back();
        }
        if (i + 1 == m_areas.size() && fault == AreaTreeFault::NodeCrossesBlock) {
            length = kBlockSize - at % kBlockSize + 4;
        }
        detail::PutU16(file, at, length);
        detail::PutU32(file, at + 2, area.level);
        detail::PutU32(file, at + 6, parent);
        detail::PutU32(file, at + 10, area.elementId);
        for (std::size_t k = 0; k < 4; ++k) {
            PutFloat(file, at + 14 + 4 * k, area.rect[k]);
        }
        for (std::size_t k = 0; k < area.name.size(); ++k) {
            file[at + kFixedSize + k] = static_cast<std::uint8_t>(area.name[k]);
        }
        if (length > nameEnd - at) {
            file[nameEnd] = 0;
            for (std::size_t k = 0; k < children.size(); ++k) {
                detail::PutU32(file, nameEnd + 1 + 4 * k,
                               offsets[static_cast<std::size_t>(children[k])]);
            }
        }
    }
    return file;
}

std::vector<std::uint8_t> WriteAreaList(const std::vector<AreaListEntry>& entries,
                                        AreaListFault fault) {
    std::vector<std::uint8_t> file;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const AreaListEntry& entry = entries[i];
        const bool isLast = i + 1 == entries.size();
        std::uint32_t count = static_cast<std::uint32_t>(entry.ids.size());
        if (isLast && fault == AreaListFault::CountPastEnd) {
            count = 0x3FFFFFFF;
        }
        const std::size_t at = file.size();
        file.resize(at + 8);
        detail::PutU32(file, at, entry.key);
        detail::PutU32(file, at + 4, count);
        if (isLast && fault == AreaListFault::IdsCut) {
            break;
        }
        for (const std::uint32_t id : entry.ids) {
            const std::size_t idAt = file.size();
            file.resize(idAt + 4);
            detail::PutU32(file, idAt, id);
        }
    }
    return file;
}

} // namespace testdata
