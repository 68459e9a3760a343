#include "testdata/roadnetworkwriter.h"

#include "testdata/archivewriter.h"
#include "testdata/tablefilewriter.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace testdata {

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    PutU16(out, at, value & 0xFFFFu);
    PutU16(out, at + 2, value >> 16);
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    PutU32(out, out.size() - 4, value);
}

std::uint32_t FloatBits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

// Items of list 1 or 2 as words.
std::vector<std::uint32_t> EncodeItems(const std::vector<ManoeuvreItemDescription>& items) {
    std::vector<std::uint32_t> words;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ManoeuvreItemDescription& item = items[i];
        const auto count = static_cast<std::uint32_t>(item.values.size() + 1);
        const std::uint32_t extraWords = count > 5 ? (count - 6) / 4 + 1 : 0;
        std::vector<std::uint32_t> itemWords(1 + extraWords, 0);
        std::uint32_t head = (i == 0 ? items.size() & 15u : 0u) | (item.modeKind & 15u) << 4 |
                             (count & 15u) << 8 | (item.value0 & 15u) << 12;
        itemWords[0] = head;
        for (std::uint32_t v = 1; v < count; ++v) {
            const std::uint32_t nibble = static_cast<std::uint32_t>(item.values[v - 1]) & 15u;
            const std::uint32_t group = (v - 1) / 4;
            const std::uint32_t shift = 16 + 4 * ((v - 1) % 4);
            itemWords[group] |= nibble << shift;
        }
        words.insert(words.end(), itemWords.begin(), itemWords.end());
    }
    return words;
}

std::vector<std::uint32_t> EncodeEntries(const std::vector<LinkEntryDescription>& entries) {
    std::vector<std::uint32_t> words((entries.size() + 1) / 2, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LinkEntryDescription& e = entries[i];
        const std::uint32_t slot = (e.link & 15u) | (e.code & 3u) << 4 | (e.modeA & 15u) << 6 |
                                   (e.modeB & 15u) << 10 | (e.isInUse ? 0x4000u : 0u);
        words[i / 2] |= slot << (16 * (i % 2));
    }
    return words;
}

using LinksByNode = std::map<std::uint32_t, std::vector<std::pair<std::uint32_t, bool>>>;

// The links at each node of a level: world link index, and whether the node is its `from`.
template <typename IsOnLevel>
LinksByNode CollectLinks(const RoadWorld& world, IsOnLevel isOnLevel) {
    LinksByNode linksAt;
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        const WorldLink& link = world.links[i];
        if (isOnLevel(i)) {
            linksAt[link.from].push_back({i, true});
            linksAt[link.to].push_back({i, false});
        }
    }
    return linksAt;
}

// The page tree: cells halved (x at even depth, y at odd) until their records fit a page,
// written in pre-order; leaves get their pages once the records are packed.
struct CellSplitter {
    struct Leaf {
        std::vector<std::uint32_t> nodes;
        std::size_t indexSlot;
    };

    const RoadWorld& world;
    std::function<std::uint32_t(std::uint32_t)> sizeOf;
    std::uint32_t pageSize;
    std::vector<std::uint16_t>& index;
    std::vector<Leaf> leaves;

    void Split(const GeoRect& cell, std::uint32_t depth, std::vector<std::uint32_t> nodes) {
        std::uint64_t bytes = 0;
        for (const std::uint32_t node : nodes) {
            bytes += sizeOf(node);
        }
        if (depth > 0 && (bytes <= pageSize || nodes.size() <= 1 || depth >= 40)) {
            leaves.push_back({std::move(nodes), index.size()});
            index.push_back(0);
            return;
        }
        index.push_back(0xFFFF);
        const bool isX = depth % 2 == 0;
        const float middle = isX ? (cell.minX + cell.maxX) / 2 : (cell.minY + cell.maxY) / 2;
        std::vector<std::uint32_t> lower;
        std::vector<std::uint32_t> upper;
        for (const std::uint32_t node : nodes) {
            const GeoPoint p = world.Position(node);
            ((isX ? p.x : p.y) < middle ? lower : upper).push_back(node);
        }
        GeoRect lowerCell = cell;
        GeoRect upperCell = cell;
        (isX ? lowerCell.maxX : lowerCell.maxY) = middle;
        (isX ? upperCell.minX : upperCell.minY) = middle;
        Split(lowerCell, depth + 1, std::move(lower));
        Split(upperCell, depth + 1, std::move(upper));
    }

    // An empty leaf (page -1) takes the page of the next leaf with crossings.
    void SetLeafPages(std::vector<std::uint32_t> pages, std::uint32_t lastPage) {
        std::uint32_t next = lastPage;
        for (std::size_t i = leaves.size(); i-- > 0;) {
            pages[i] = pages[i] == 0xFFFFFFFF ? next : pages[i];
            next = pages[i];
            index[leaves[i].indexSlot] = static_cast<std::uint16_t>(pages[i]);
        }
    }
};

void AppendTurnTable(std::vector<std::uint8_t>& out,
                     const std::vector<std::pair<std::uint8_t, std::uint8_t>>& turns) {
    const auto count = static_cast<int>(turns.size());
    const std::size_t start = out.size();
    out.resize(start + 4 * static_cast<std::size_t>((count - 1) / 3 + 1), 0);
    out[start] = static_cast<std::uint8_t>(count);
    for (std::size_t j = 0; j < turns.size(); ++j) {
        out[start + 4 * (j / 3) + 1 + j % 3] =
            static_cast<std::uint8_t>((turns[j].first & 15u) | (turns[j].second & 15u) << 4);
    }
}

// Position entries in pages of whole entries, by crossing id.
std::vector<std::uint8_t> PositionFile(const RoadWorld& world, const RoadNetworkLevelLayout& layout,
                                       std::uint32_t pageSize) {
    const std::uint32_t perPage = pageSize / 12;
    const auto count = static_cast<std::uint32_t>(layout.nodeOfCrossing.size());
    std::vector<std::uint8_t> sep(std::size_t{pageSize} * (count / perPage) +
                                  std::size_t{count % perPage} * 12);
    for (std::uint32_t id = 0; id < count; ++id) {
        const std::size_t at =
            std::size_t{id / perPage} * pageSize + std::size_t{id % perPage} * 12;
        const GeoPoint p = world.Position(layout.nodeOfCrossing[id]);
        PutU32(sep, at, FloatBits(p.x));
        PutU32(sep, at + 4, FloatBits(p.y));
        PutU32(sep, at + 8, layout.nodeOfCrossing[id]);
    }
    return sep;
}

// An id table of one row per link: its element id in the integer columns, 0 in the others.
std::vector<std::uint8_t> IdTable(const RoadWorld& world, const std::vector<ColumnType>& columns) {
    TableFileWriter writer(columns);
    for (const WorldLink& link : world.links) {
        std::vector<TableValue> row;
        for (const ColumnType column : columns) {
            if (column == ColumnType::Float32 || column == ColumnType::Float64) {
                row.emplace_back(0.0);
            } else {
                row.emplace_back(std::int64_t{link.elementId});
            }
        }
        writer.AddRow(row);
    }
    return writer.Build();
}

} // namespace

std::vector<TableValue> O2SRow(std::size_t columns, std::uint32_t id, std::uint32_t element,
                               const GeoPoint& p, std::uint32_t metres) {
    const auto i = [](std::uint32_t v) { return TableValue{std::int64_t{v}}; };
    const auto f = [](float v) { return TableValue{static_cast<double>(v)}; };
    switch (columns) {
    case 7:
        return {i(id), i(element), f(p.x), f(p.y), i(0), f(static_cast<float>(metres)), i(0)};
    case 5:
        return {i(id), i(element), f(p.x), f(p.y), i(metres)};
    default:
        return {i(id), i(element), i(metres)};
    }
}

namespace {

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace

std::vector<std::uint32_t> EncodeAttributeBlock(const CrossingExtras& extras) {
    const std::vector<std::uint32_t> lists[4] = {
        EncodeItems(extras.list1), EncodeItems(extras.list2), EncodeEntries(extras.list3),
        EncodeEntries(extras.list4)};
    std::size_t words = 0;
    for (const auto& list : lists) {
        words += list.size();
    }
    if (words == 0) {
        return {};
    }
    const auto l1 = static_cast<std::uint32_t>(lists[0].size());
    const auto l2 = static_cast<std::uint32_t>(lists[1].size());
    const auto l3 = static_cast<std::uint32_t>(lists[2].size());
    const auto l4 = static_cast<std::uint32_t>(lists[3].size());
    std::vector<std::uint32_t> block{static_cast<std::uint32_t>(words) | (l4 & 15u) << 8 |
                                     (l1 & 15u) << 12 | (l2 & 15u) << 16 | (l3 & 15u) << 20 |
                                     ((l2 >> 4) & 3u) << 28};
    for (const auto& list : lists) {
        block.insert(block.end(), list.begin(), list.end());
    }
    return block;
}

RoadNetworkWriter::RoadNetworkWriter(RoadWorld world, RoadNetworkOptions options)
    : m_world(std::move(world))
    , m_options(std::move(options)) {}

std::uint32_t RoadNetworkWriter::RecordSize(std::uint32_t level, std::uint32_t node,
                                            std::uint32_t links) const {
    std::uint32_t size = 4 + 12 * links;
    if (const auto found = m_options.extras[level].find(node);
        found != m_options.extras[level].end()) {
        const CrossingExtras& extras = found->second;
        if (extras.hasTurnTable || !extras.prohibitedTurns.empty()) {
            const int count = static_cast<int>(extras.prohibitedTurns.size());
            size += 4 * static_cast<std::uint32_t>((count - 1) / 3 + 1);
        }
        size += 4 * static_cast<std::uint32_t>(EncodeAttributeBlock(extras).size());
    }
    if (level + 1 < m_options.maps && m_layout[level + 1].crossingOfNode.contains(node)) {
        size += 4;
    }
    if (!m_options.separated[level]) {
        size += 12;
    }
    return size;
}

bool RoadNetworkWriter::IsOnLevel(std::uint32_t link, std::uint32_t level) const {
    if (m_onlyOnLevel[link] >= 0) {
        return static_cast<std::uint32_t>(m_onlyOnLevel[link]) == level;
    }
    return m_world.links[link].level >= level && !m_mergedAway[level].contains(link);
}

void RoadNetworkWriter::MergeChains(std::uint32_t level) {
    const auto& starts = m_options.optimisationStarts;
    if (level >= starts.size() || starts[level] < 0) {
        return;
    }
    const std::size_t original = m_onlyOnLevel.size();
    const auto onLevel = [&](std::uint32_t link) {
        return link < original && m_onlyOnLevel[link] < 0 && m_world.links[link].level >= level;
    };
    LinksByNode linksAt = CollectLinks(m_world, onLevel);
    LinksByNode above = CollectLinks(m_world, [&](std::uint32_t link) {
        return onLevel(link) && m_world.links[link].level > level;
    });
    const auto isInterior = [&](std::uint32_t node) {
        const auto& links = linksAt[node];
        return links.size() == 2 && links[0].first != links[1].first &&
               !m_world.links[links[0].first].isOneWay && !m_world.links[links[1].first].isOneWay &&
               (level + 1 >= m_options.maps || !above.contains(node));
    };
    std::set<std::uint32_t> used;
    std::uint32_t next = static_cast<std::uint32_t>(starts[level]);
    for (const auto& [start, links] : linksAt) {
        if (isInterior(start)) {
            continue;
        }
        for (const auto& [first, isFrom] : links) {
            if (used.contains(first) || m_world.links[first].isOneWay) {
                continue;
            }
            OptimisedChain chain{0, {first}, {start}};
            std::uint32_t at = isFrom ? m_world.links[first].to : m_world.links[first].from;
            std::uint32_t units = m_world.links[first].lengthUnits;
            while (isInterior(at) && at != start) {
                chain.nodes.push_back(at);
                const auto& pair = linksAt[at];
                const auto& [link, isFromHere] =
                    pair[0].first == chain.links.back() ? pair[1] : pair[0];
                chain.links.push_back(link);
                units += m_world.links[link].lengthUnits;
                at = isFromHere ? m_world.links[link].to : m_world.links[link].from;
            }
            chain.nodes.push_back(at);
            if (chain.links.size() < 2 || at == start || units > 32767) {
                continue;
            }
            used.insert(chain.links.begin(), chain.links.end());
            chain.id = next;
            next += 2;
            WorldLink merged = m_world.links[first];
            merged.from = start;
            merged.to = at;
            merged.elementId = chain.id;
            merged.lengthUnits = units;
            merged.level = static_cast<std::uint8_t>(level);
            m_mergedAway[level].insert(chain.links.begin(), chain.links.end());
            m_world.links.push_back(merged);
            m_onlyOnLevel.push_back(static_cast<std::int32_t>(level));
            m_layout[level].chains.push_back(std::move(chain));
        }
    }
}

bool RoadNetworkWriter::LayOut(std::uint32_t level) {
    RoadNetworkLevelLayout& layout = m_layout[level];
    LinksByNode linksAt =
        CollectLinks(m_world, [&](std::uint32_t link) { return IsOnLevel(link, level); });
    std::vector<std::uint32_t> nodes;
    MapRect box{};
    for (const auto& [node, links] : linksAt) {
        if (links.size() > 15) {
            return false;
        }
        const MapPoint& at = m_world.nodes[node];
        box = nodes.empty() ? MapRect{at.x, at.y, at.x, at.y} : box;
        box.Extend(at);
        nodes.push_back(node);
    }
    layout.rect = MapUnitsToDegrees(box);
    // Sizes once per node: the page tree asks for them at every depth.
    std::vector<std::uint32_t> sizes(m_world.nodes.size(), 0);
    for (const auto& [node, links] : linksAt) {
        sizes[node] = RecordSize(level, node, static_cast<std::uint32_t>(links.size()));
    }
    const auto sizeOf = [&sizes](std::uint32_t node) { return sizes[node]; };
    CellSplitter splitter{m_world, sizeOf, m_options.pageSize, m_indexes[level], {}};
    m_indexes[level].clear();
    splitter.Split(layout.rect, 0, nodes);

    // Pack the leaves in order; a record never spans pages.
    std::uint32_t page = 0;
    std::uint32_t offset = 0;
    std::vector<std::uint32_t> leafPages;
    for (const CellSplitter::Leaf& leaf : splitter.leaves) {
        leafPages.push_back(0xFFFFFFFF);
        for (const std::uint32_t node : leaf.nodes) {
            const std::uint32_t size = sizeOf(node);
            if (offset + size > m_options.pageSize) {
                ++page;
                offset = 0;
            }
            if (size > m_options.pageSize || page > 0xFFFE) {
                return false;
            }
            leafPages.back() = std::min(leafPages.back(), page);
            layout.crossingOfNode[node] = static_cast<std::uint32_t>(layout.nodeOfCrossing.size());
            layout.nodeOfCrossing.push_back(node);
            layout.addresses.push_back(
                {static_cast<std::uint16_t>(page), static_cast<std::uint16_t>(offset)});
            layout.linksOf.push_back(linksAt[node]);
            offset += size;
        }
    }
    layout.lastPage = static_cast<std::uint16_t>(page);
    layout.lastOffset = static_cast<std::uint16_t>(offset);
    splitter.SetLeafPages(leafPages, page);
    return true;
}

void RoadNetworkWriter::AppendLink(std::vector<std::uint8_t>& out, std::uint32_t level,
                                   std::uint32_t crossing, std::uint32_t i,
                                   const CrossingExtras& extras) const {
    const RoadNetworkLevelLayout& layout = m_layout[level];
    const auto [linkIndex, isFrom] = layout.linksOf[crossing][i];
    const WorldLink& link = m_world.links[linkIndex];
    const std::uint32_t other = layout.crossingOfNode.at(isFrom ? link.to : link.from);
    std::uint32_t reverse = 0;
    const auto& otherLinks = layout.linksOf[other];
    for (std::uint32_t r = 0; r < otherLinks.size(); ++r) {
        if (otherLinks[r] == std::pair{linkIndex, !isFrom}) {
            reverse = r;
        }
    }
    std::uint32_t direction = link.isOneWay ? (isFrom ? 1u : 3u) : 2u;
    if (const auto o = extras.directionOverrides.find(static_cast<std::uint8_t>(i));
        o != extras.directionOverrides.end()) {
        direction = o->second & 3u;
    }
    bool isPending = false;
    for (const std::uint8_t pending : extras.pendingPathLinks) {
        isPending = isPending || pending == i;
    }
    const std::uint32_t flags = direction | (isPending ? 4u : 0u) | reverse << 3 |
                                (link.roadClass & 31u) << 7 | (link.extendedBit ? 0x1000u : 0u) |
                                (link.extendedCode & 7u) << 13;
    AppendU32(out, layout.addresses[other].page | layout.addresses[other].offset << 16);
    AppendU32(out, (link.lengthUnits & 0x7FFFu) | flags << 16);
}

std::vector<std::uint8_t> RoadNetworkWriter::EncodeRecord(std::uint32_t level,
                                                          std::uint32_t crossing) const {
    const RoadNetworkLevelLayout& layout = m_layout[level];
    const std::uint32_t node = layout.nodeOfCrossing[crossing];
    const auto& links = layout.linksOf[crossing];
    static const CrossingExtras kNone;
    const auto found = m_options.extras[level].find(node);
    const CrossingExtras& extras = found != m_options.extras[level].end() ? found->second : kNone;
    const std::vector<std::uint32_t> block = EncodeAttributeBlock(extras);
    const bool hasTurnTable = extras.hasTurnTable || !extras.prohibitedTurns.empty();
    const bool hasUpper =
        level + 1 < m_options.maps && m_layout[level + 1].crossingOfNode.contains(node);

    std::vector<std::uint8_t> out;
    AppendU32(out, crossing | static_cast<std::uint32_t>(links.size()) << 24 |
                       (hasTurnTable ? 1u << 29 : 0u) | (hasUpper ? 1u << 30 : 0u) |
                       (block.empty() ? 0u : 1u << 31));
    for (std::uint32_t i = 0; i < links.size(); ++i) {
        AppendLink(out, level, crossing, i, extras);
    }
    if (hasTurnTable) {
        AppendTurnTable(out, extras.prohibitedTurns);
    }
    for (const std::uint32_t word : block) {
        AppendU32(out, word);
    }
    if (hasUpper) {
        const WrittenAddress upper =
            m_layout[level + 1].addresses[m_layout[level + 1].crossingOfNode.at(node)];
        AppendU32(out, upper.page | upper.offset << 16);
    }
    if (!m_options.separated[level]) {
        const GeoPoint p = m_world.Position(node);
        AppendU32(out, FloatBits(p.x));
        AppendU32(out, FloatBits(p.y));
        AppendU32(out, node);
    }
    for (const auto& [linkIndex, isFrom] : links) {
        // A merged link's id names its direction: bit 0 set when driven against the chain.
        const bool isMerged = linkIndex < m_onlyOnLevel.size() && m_onlyOnLevel[linkIndex] >= 0;
        AppendU32(out, m_world.links[linkIndex].elementId + (isMerged && !isFrom ? 1u : 0u));
    }
    return out;
}

std::string RoadNetworkWriter::Description() const {
    const RoadNetworkOptions& o = m_options;
    const RoadNetworkFaults& f = o.faults;
    std::string text = "[General]\r\n";
    text += "Maps=" + std::to_string(f.rdMaps.value_or(static_cast<int>(o.maps))) + "\r\n";
    if (f.rdFormat.value_or(0) != -1) {
        text += "Format=" + std::to_string(f.rdFormat.value_or(0)) + "\r\n";
    }
    text += "Additional street attributes=" + std::to_string(o.hasAdditionalAttributes ? 1 : 0) +
            "\r\n";
    text += "Sfs=" + std::to_string(o.sfs != -1 ? o.sfs : (o.isArchived ? 1 : 0)) + "\r\n";
    if (!o.o2sColumns.empty()) {
        text += "O2SFsr=" + o.stem + "O2S.fsr\r\n";
    }
    if (!o.s2oColumns.empty()) {
        text += "S2OFsr=" + o.stem + "S2O.fsr\r\n";
    }
    if (o.cacheMaxPercent) {
        text += "[Preferences]\r\nCacheMaxPercent=" + std::to_string(*o.cacheMaxPercent) + "\r\n";
    }
    for (std::uint32_t level = 0; level < o.maps; ++level) {
        const RoadNetworkLevelLayout& layout = m_layout[level];
        const std::string name = o.stem + std::to_string(level);
        char rect[160];
        (void)std::snprintf(
            rect, sizeof rect, "x1=%.9g\r\ny1=%.9g\r\nx2=%.9g\r\ny2=%.9g\r\n",
            static_cast<double>(layout.rect.minX), static_cast<double>(layout.rect.minY),
            static_cast<double>(layout.rect.maxX), static_cast<double>(layout.rect.maxY));
        text += "[Map " + std::to_string(level) + "]\r\n";
        text += "Name=" + name + ".pag\r\nIndex=" + name + ".idx\r\n";
        text += "Page Size=" + std::to_string(f.rdPageSize.value_or(o.pageSize)) + "\r\n";
        text += "Crossings=" +
                std::to_string(f.rdCrossings.value_or(
                    static_cast<std::uint32_t>(layout.nodeOfCrossing.size()))) +
                "\r\n";
        text += "Separated=" + std::to_string(o.separated[level] ? 1 : 0) + "\r\n";
        text += "Last page=" + std::to_string(f.rdLastPage.value_or(layout.lastPage)) + "\r\n";
        text +=
            "Last offset=" + std::to_string(f.rdLastOffset.value_or(layout.lastOffset)) + "\r\n";
        text += rect;
        const std::int64_t start =
            level < o.optimisationStarts.size() ? o.optimisationStarts[level] : -1;
        text += "Optimization start=" + std::to_string(start) + "\r\n";
    }
    return text;
}

void RoadNetworkWriter::AddLevelFiles(
    std::uint32_t level, std::map<std::string, std::vector<std::uint8_t>>& files) const {
    const RoadNetworkOptions& o = m_options;
    const RoadNetworkLevelLayout& layout = m_layout[level];
    const std::string name = o.stem + std::to_string(level);
    std::vector<std::uint8_t> pages(std::size_t{layout.lastPage + 1u} * o.pageSize, 0);
    std::size_t lastOnFirstPage = 0;
    for (std::uint32_t id = 0; id < layout.addresses.size(); ++id) {
        const std::vector<std::uint8_t> record = EncodeRecord(level, id);
        const std::size_t at =
            std::size_t{layout.addresses[id].page} * o.pageSize + layout.addresses[id].offset;
        std::copy(record.begin(), record.end(), pages.begin() + static_cast<long>(at));
        if (layout.addresses[id].page == 0) {
            lastOnFirstPage = at;
        }
    }
    if (o.faults.countPastPage && !layout.addresses.empty()) {
        pages[lastOnFirstPage + 3] = static_cast<std::uint8_t>(pages[lastOnFirstPage + 3] | 0x0F);
    }
    if (o.faults.repeatedId && level == 0 && layout.addresses.size() > 1) {
        const WrittenAddress last = layout.addresses.back();
        const std::size_t at = std::size_t{last.page} * o.pageSize + last.offset;
        std::fill_n(pages.begin() + static_cast<long>(at), 3, std::uint8_t{0});
    }
    files[name + ".pag"] = std::move(pages);
    std::vector<std::uint8_t> index(m_indexes[level].size() * 2);
    for (std::size_t i = 0; i < m_indexes[level].size(); ++i) {
        PutU16(index, 2 * i, m_indexes[level][i]);
    }
    if (o.faults.shortIndex) {
        index.resize(2);
    }
    files[name + ".idx"] = std::move(index);
    if (o.separated[level] && !o.faults.withoutPositionFile) {
        files[name + ".sep"] = PositionFile(m_world, layout, o.pageSize);
    }
}

std::vector<std::uint8_t> RoadNetworkWriter::O2STable() const {
    bool hasChains = false;
    for (const RoadNetworkLevelLayout& layout : m_layout) {
        hasChains = hasChains || !layout.chains.empty();
    }
    if (!hasChains) {
        return IdTable(m_world, m_options.o2sColumns);
    }
    TableFileWriter writer(m_options.o2sColumns);
    writer.SetOrderByKeyOnly(true);
    const std::size_t columns = m_options.o2sColumns.size();
    for (const RoadNetworkLevelLayout& layout : m_layout) {
        for (const OptimisedChain& chain : layout.chains) {
            for (std::size_t k = 0; k < chain.links.size(); ++k) {
                const WorldLink& link = m_world.links[chain.links[k]];
                writer.AddRow(O2SRow(columns, chain.id, link.elementId,
                                     m_world.Position(chain.nodes[k]), link.lengthUnits * 5));
            }
            writer.AddRow(O2SRow(columns, chain.id, 0, m_world.Position(chain.nodes.back()), 0));
        }
    }
    return writer.Build();
}

std::vector<std::uint8_t> RoadNetworkWriter::S2OTable() const {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rows;
    for (const RoadNetworkLevelLayout& layout : m_layout) {
        for (const OptimisedChain& chain : layout.chains) {
            for (const std::uint32_t link : chain.links) {
                rows.emplace_back(m_world.links[link].elementId, chain.id);
                if (m_options.s2oListsBothDirections) {
                    rows.emplace_back(m_world.links[link].elementId, chain.id | 1u);
                }
            }
        }
    }
    if (rows.empty()) {
        return IdTable(m_world, m_options.s2oColumns);
    }
    TableFileWriter writer(m_options.s2oColumns);
    for (const auto& [element, id] : rows) {
        writer.AddRow({std::int64_t{element}, std::int64_t{id}});
    }
    return writer.Build();
}

std::optional<std::map<std::string, std::vector<std::uint8_t>>> RoadNetworkWriter::Build() {
    const RoadNetworkOptions& o = m_options;
    if (o.maps < 1 || o.maps > 3 || o.pageSize < 16 || o.pageSize > 65535 ||
        o.separated.size() < o.maps) {
        return std::nullopt;
    }
    for (const WorldLink& link : m_world.links) {
        if (link.lengthUnits > 32767 || link.from == link.to) {
            return std::nullopt;
        }
    }
    m_layout.assign(o.maps, {});
    m_indexes.assign(o.maps, {});
    if (!m_worldLinks) {
        m_worldLinks = m_world.links.size();
    }
    m_world.links.resize(*m_worldLinks);
    m_onlyOnLevel.assign(m_world.links.size(), -1);
    m_mergedAway.assign(o.maps, {});
    for (std::uint32_t level = 1; level < o.maps; ++level) {
        MergeChains(level);
    }
    for (std::uint32_t level = o.maps; level-- > 0;) {
        if (!LayOut(level)) {
            return std::nullopt;
        }
    }
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (std::uint32_t level = 0; level < o.maps; ++level) {
        AddLevelFiles(level, files);
    }
    if (!o.o2sColumns.empty()) {
        files[o.stem + "O2S.fsr"] = O2STable();
    }
    if (!o.s2oColumns.empty()) {
        files[o.stem + "S2O.fsr"] = S2OTable();
    }
    if (o.isArchived) {
        ArchiveWriter archive;
        for (const auto& [name, bytes] : files) {
            if (!archive.AddMember(name, bytes)) {
                return std::nullopt;
            }
        }
        files.clear();
        files[o.stem + ".sfs"] = archive.Build();
    }
    const std::string rd = Description();
    files[o.stem + ".rd"] = {rd.begin(), rd.end()};
    return files;
}

bool RoadNetworkWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view folder) {
    const auto files = Build();
    if (!files) {
        return false;
    }
    for (const auto& [name, bytes] : *files) {
        std::u16string path(folder);
        path += u'\\';
        path.append(name.begin(), name.end());
        if (!root.WriteFile(path, Text(bytes))) {
            return false;
        }
    }
    return true;
}

bool RoadNetworkWriter::WriteToHost(const std::filesystem::path& folder) {
    const auto files = Build();
    if (!files) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const auto& [name, bytes] : *files) {
        if (!WriteHostFile(folder / name, bytes)) {
            return false;
        }
    }
    return true;
}

} // namespace testdata
