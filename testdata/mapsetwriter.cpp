#include "testdata/mapsetwriter.h"

#include "testdata/detail/fileimage.h"
#include "testdata/namefilewriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numeric>

namespace testdata {
namespace {

using detail::PutU16;
using detail::PutU32;

constexpr std::uint32_t kBlockSize = 8192;
constexpr std::uint32_t kMaxLeaf = 255;
constexpr std::uint32_t kMaxInner = 409;
constexpr std::uint32_t kFirstDataOffset = 8; // offset 0 means "no data"

bool HasData(char letter) {
    return letter == 'p' || letter == 'y' || letter == 'r' || letter == 'z';
}
bool IsOffsetList(char letter) {
    return letter == 'r' || letter == 'z';
}
bool IsKnownLetter(char letter) {
    return HasData(letter) || letter == 't' || (letter >= 'l' && letter <= 'o');
}

std::size_t DataSize(const ElementDescription& element) {
    return IsOffsetList(element.typeLetter) ? 2 + 4 * element.points.size()
                                            : 4 + 8 * element.points.size();
}

MapRect BoxOf(const std::vector<MapPoint>& points) {
    MapRect box{points[0].x, points[0].y, points[0].x, points[0].y};
    for (const MapPoint& p : points) {
        box.Extend(p);
    }
    return box;
}

MapRect UnionOf(const MapRect& a, const MapRect& b) {
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}

void PutI32(std::vector<std::uint8_t>& out, std::size_t at, std::int32_t value) {
    PutU32(out, at, static_cast<std::uint32_t>(value));
}

void PutRect(std::vector<std::uint8_t>& out, std::size_t at, const MapRect& rect) {
    PutI32(out, at, rect.x1);
    PutI32(out, at + 4, rect.y1);
    PutI32(out, at + 8, rect.x2);
    PutI32(out, at + 12, rect.y2);
}

struct Node {
    MapRect rect;
    bool isLeaf = true;
    std::vector<std::size_t> children; // element indexes (leaf) or node indexes (inner)
    std::uint32_t block = 0;
};

// Sort-tile-recursive packing of items (by their rectangles' centres) into groups of `capacity`.
std::vector<std::vector<std::size_t>> Pack(const std::vector<MapRect>& rects,
                                           std::vector<std::size_t> items, std::uint32_t capacity) {
    const auto centreX = [&](std::size_t i) { return std::int64_t{rects[i].x1} + rects[i].x2; };
    const auto centreY = [&](std::size_t i) { return std::int64_t{rects[i].y1} + rects[i].y2; };
    const std::size_t groups = (items.size() + capacity - 1) / capacity;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(groups))));
    const std::size_t sliceSize = std::max<std::size_t>(1, slices) * capacity;
    std::stable_sort(items.begin(), items.end(),
                     [&](std::size_t a, std::size_t b) { return centreX(a) < centreX(b); });
    std::vector<std::vector<std::size_t>> result;
    for (std::size_t start = 0; start < items.size(); start += sliceSize) {
        const auto sliceEnd =
            items.begin() + static_cast<std::ptrdiff_t>(std::min(items.size(), start + sliceSize));
        const auto sliceBegin = items.begin() + static_cast<std::ptrdiff_t>(start);
        std::stable_sort(sliceBegin, sliceEnd,
                         [&](std::size_t a, std::size_t b) { return centreY(a) < centreY(b); });
        for (auto group = sliceBegin; group < sliceEnd;) {
            const auto groupEnd =
                group + std::min<std::ptrdiff_t>(capacity, std::distance(group, sliceEnd));
            result.emplace_back(group, groupEnd);
            group = groupEnd;
        }
    }
    return result;
}

} // namespace

MapRect MapSetWriter::RecordBounds(const ElementDescription& element) {
    return HasData(element.typeLetter) && !IsOffsetList(element.typeLetter) &&
                   !element.points.empty()
               ? BoxOf(element.points)
               : element.bounds;
}

bool MapSetWriter::SetAttributes(std::size_t index, std::uint32_t attributes) {
    if (index >= m_elements.size()) {
        return false;
    }
    m_elements[index].attributes = attributes;
    return true;
}

std::optional<std::size_t> MapSetWriter::Add(const ElementDescription& element) {
    if (!IsKnownLetter(element.typeLetter)) {
        return std::nullopt;
    }
    if (HasData(element.typeLetter)) {
        if (element.points.empty() || element.points.size() > 0xFFFF ||
            DataSize(element) > kBlockSize - kFirstDataOffset) {
            return std::nullopt;
        }
    }
    if (IsOffsetList(element.typeLetter)) {
        for (const MapPoint& p : element.points) {
            if (p.x < std::numeric_limits<std::int16_t>::min() ||
                p.x > std::numeric_limits<std::int16_t>::max() ||
                p.y < std::numeric_limits<std::int16_t>::min() ||
                p.y > std::numeric_limits<std::int16_t>::max()) {
                return std::nullopt;
            }
        }
    }
    m_elements.push_back(element);
    return m_elements.size() - 1;
}

std::optional<MapPoint> MapSetWriter::NodePosition(const GridSketch& sketch, char node) {
    if (node == '.' || node == ' ') {
        return std::nullopt;
    }
    for (std::size_t row = 0; row < sketch.rows.size(); ++row) {
        const std::size_t column = sketch.rows[row].find(node);
        if (column != std::string::npos) {
            const auto up = static_cast<std::int32_t>(sketch.rows.size() - 1 - row);
            return MapPoint{sketch.origin.x + static_cast<std::int32_t>(column) * sketch.spacing,
                            sketch.origin.y + up * sketch.spacing};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::size_t>> MapSetWriter::AddSketch(const GridSketch& sketch) {
    std::vector<ElementDescription> segments;
    for (const GridSketch::Road& road : sketch.roads) {
        for (std::size_t i = 1; i < road.nodes.size(); ++i) {
            const auto from = NodePosition(sketch, road.nodes[i - 1]);
            const auto to = NodePosition(sketch, road.nodes[i]);
            if (!from || !to) {
                return std::nullopt;
            }
            ElementDescription segment;
            segment.bounds = {from->x, from->y, to->x, to->y};
            segment.bounds.Normalize();
            const MapRect& b = segment.bounds;
            // The letter whose diagonal runs from `from` to `to`.
            const MapPoint ends[4][2] = {{{b.x1, b.y1}, {b.x2, b.y2}},
                                         {{b.x2, b.y1}, {b.x1, b.y2}},
                                         {{b.x2, b.y2}, {b.x1, b.y1}},
                                         {{b.x1, b.y2}, {b.x2, b.y1}}};
            for (int letter = 0; letter < 4; ++letter) {
                if (ends[letter][0] == *from && ends[letter][1] == *to) {
                    segment.typeLetter = static_cast<char>('l' + letter);
                    break;
                }
            }
            segment.typeCode = road.typeCode;
            segment.attributes =
                (road.attributes & ~maprecord::kRawDirectionMask) |
                (road.direction == GridSketch::Direction::OneWay ? maprecord::kRawOneWayAlong
                                                                 : maprecord::kRawBothWays);
            segment.name = road.name;
            segments.push_back(segment);
        }
    }
    std::vector<std::size_t> indexes;
    for (const ElementDescription& segment : segments) {
        m_elements.push_back(segment);
        indexes.push_back(m_elements.size() - 1);
    }
    return indexes;
}

MapSetWriter& MapSetWriter::SetVersion(std::uint32_t version) {
    m_version = version;
    return *this;
}
MapSetWriter& MapSetWriter::SetDepth(std::uint32_t depth) {
    m_depth = std::max<std::uint32_t>(1, depth);
    return *this;
}
MapSetWriter& MapSetWriter::SetEmptyLeaves(std::uint32_t count) {
    m_emptyLeaves = count;
    return *this;
}
MapSetWriter& MapSetWriter::SetHeader(const RidHeaderFields& fields) {
    m_header = fields;
    return *this;
}
MapSetWriter& MapSetWriter::SetFault(MapSetFault fault) {
    m_fault = fault;
    return *this;
}

namespace {

// Lays out the tree: STR-packed leaves, then inner levels, until one root remains and the tree
// has at least `depth` levels. Returns the nodes and sets the root's index.
std::vector<Node> LayOutTree(const std::vector<MapRect>& bounds, std::uint32_t depth,
                             std::uint32_t emptyLeaves, std::uint32_t& levels,
                             std::size_t& rootIndex) {
    std::vector<Node> nodes;
    const std::size_t count = bounds.size();
    const auto fanOut = static_cast<std::uint32_t>(std::max(
        2.0, std::ceil(std::pow(static_cast<double>(count), 1.0 / static_cast<double>(depth)))));
    std::vector<std::size_t> items(count);
    std::iota(items.begin(), items.end(), std::size_t{0});
    std::vector<std::size_t> level;
    for (auto& group : Pack(bounds, items, std::min(fanOut, kMaxLeaf))) {
        Node leaf;
        leaf.rect = bounds[group.front()];
        for (std::size_t i : group) {
            leaf.rect = UnionOf(leaf.rect, bounds[i]);
        }
        leaf.children = std::move(group);
        nodes.push_back(std::move(leaf));
        level.push_back(nodes.size() - 1);
    }
    levels = 1;
    while (level.size() > 1 || levels < depth || (emptyLeaves != 0 && levels < 2)) {
        std::vector<MapRect> rects;
        rects.reserve(nodes.size());
        for (const Node& node : nodes) {
            rects.push_back(node.rect);
        }
        std::vector<std::size_t> next;
        for (auto& group : Pack(rects, level, std::min(fanOut, kMaxInner))) {
            Node inner;
            inner.isLeaf = false;
            inner.rect = nodes[group.front()].rect;
            for (std::size_t i : group) {
                inner.rect = UnionOf(inner.rect, nodes[i].rect);
            }
            inner.children = std::move(group);
            nodes.push_back(std::move(inner));
            next.push_back(nodes.size() - 1);
        }
        level = std::move(next);
        ++levels;
    }
    // Empty leaves first under the root, covering the whole map, so that walks meet them.
    rootIndex = level.front();
    const MapRect extent = nodes[rootIndex].rect;
    std::vector<std::size_t> empties;
    for (std::uint32_t i = 0; i < emptyLeaves; ++i) {
        Node empty;
        empty.rect = extent;
        nodes.push_back(std::move(empty));
        empties.push_back(nodes.size() - 1);
    }
    auto& rootChildren = nodes[rootIndex].children;
    rootChildren.insert(rootChildren.begin(), empties.begin(), empties.end());
    return nodes;
}

// Block numbers in depth-first pre-order from block 1; fills the leaves' element order.
void Number(std::vector<Node>& nodes, std::size_t index, std::uint32_t& nextBlock,
            std::vector<std::size_t>& treeOrder) {
    Node& node = nodes[index];
    node.block = nextBlock++;
    if (node.isLeaf) {
        treeOrder.insert(treeOrder.end(), node.children.begin(), node.children.end());
        return;
    }
    for (std::size_t child : node.children) {
        Number(nodes, child, nextBlock, treeOrder);
    }
}

// Appends an element's point list to the stream, inside one page; returns its offset.
std::uint32_t AppendPointList(std::vector<std::uint8_t>& dat, const ElementDescription& element,
                              bool claimsTooManyPoints) {
    const std::size_t size = DataSize(element);
    const std::size_t used = dat.size() % kBlockSize;
    if (used + size > kBlockSize) {
        dat.resize(dat.size() + kBlockSize - used, 0);
    }
    const std::size_t at = dat.size();
    dat.resize(at + ((size + 3) & ~std::size_t{3}), 0);
    PutU16(dat, at,
           claimsTooManyPoints ? 0xFFFF : static_cast<std::uint32_t>(element.points.size()));
    for (std::size_t p = 0; p < element.points.size(); ++p) {
        const MapPoint& point = element.points[p];
        if (IsOffsetList(element.typeLetter)) {
            PutU16(dat, at + 2 + 4 * p, static_cast<std::uint16_t>(point.x));
            PutU16(dat, at + 4 + 4 * p, static_cast<std::uint16_t>(point.y));
        } else {
            PutI32(dat, at + 4 + 8 * p, point.x);
            PutI32(dat, at + 8 + 8 * p, point.y);
        }
    }
    return static_cast<std::uint32_t>(at);
}

std::size_t BlockStart(std::uint32_t block) {
    return std::size_t{kBlockSize} * block;
}

void PutRecord(std::vector<std::uint8_t>& rid, std::size_t at, const ElementDescription& element,
               const MapRect& bounds, std::uint32_t dataOffset, std::uint32_t nameOffset) {
    PutRect(rid, at, bounds);
    PutU32(rid, at + 16, element.attributes);
    PutU32(rid, at + 20, dataOffset);
    PutU16(rid, at + 24, element.typeCode);
    rid[at + 26] = element.subtype;
    rid[at + 27] = static_cast<std::uint8_t>(element.typeLetter);
    PutU32(rid, at + 28, nameOffset);
}

// Breaks the written tree as the fault asks.
void BreakTree(std::vector<std::uint8_t>& rid, const std::vector<Node>& nodes, const Node& root,
               std::uint32_t blockCount, MapSetFault fault) {
    const std::size_t at = BlockStart(root.block);
    const auto entries = static_cast<std::uint32_t>(root.children.size());
    const auto childAt = [at](std::uint32_t entry) { return at + 24 + std::size_t{20} * entry; };
    switch (fault) {
    case MapSetFault::LeafCountAbove255:
        for (const Node& node : nodes) {
            if (node.isLeaf && !node.children.empty()) {
                PutU16(rid, BlockStart(node.block) + 4, 300);
                break;
            }
        }
        break;
    case MapSetFault::InnerCountAbove409:
        PutU16(rid, at + 4, 500);
        break;
    case MapSetFault::ChildZero:
        PutU32(rid, childAt(0), 0);
        break;
    case MapSetFault::ChildBeyondCount:
        PutU32(rid, childAt(0), blockCount + 5);
        break;
    case MapSetFault::ChildIsAncestor:
        PutU32(rid, childAt(entries - 1), root.block);
        break;
    case MapSetFault::SharedChildren:
        for (std::uint32_t i = 1; i < entries && !root.isLeaf; ++i) {
            PutU32(rid, childAt(i), nodes[root.children[0]].block);
        }
        break;
    default:
        break;
    }
}

} // namespace

void MapSetWriter::WriteDataAndNames(MapSetFiles& files, std::vector<std::uint32_t>& dataOffsets,
                                     std::vector<std::uint32_t>& nameOffsets) const {
    dataOffsets.assign(m_elements.size(), 0);
    nameOffsets.assign(m_elements.size(), NameFileWriter::kNoName);
    files.dat.assign(kFirstDataOffset, 0);
    NameFileWriter names;
    bool isFirstList = true;
    for (std::size_t i = 0; i < m_elements.size(); ++i) {
        const ElementDescription& element = m_elements[i];
        if (!element.name.empty()) {
            nameOffsets[i] = names.Add(element.name);
        }
        if (!HasData(element.typeLetter)) {
            continue;
        }
        dataOffsets[i] = AppendPointList(files.dat, element,
                                         isFirstList && m_fault == MapSetFault::PointsPastPageEnd);
        if (isFirstList && m_fault == MapSetFault::DataPastStreamEnd) {
            dataOffsets[i] = 0x7FFF0000;
        }
        isFirstList = false;
    }
    files.dat.resize((files.dat.size() + kBlockSize - 1) / kBlockSize * kBlockSize, 0);
    files.nam = names.Build();
}

void MapSetWriter::WriteHeader(std::vector<std::uint8_t>& rid) const {
    const std::uint32_t root = m_header.root.value_or(m_root);
    const std::uint32_t blockCount = m_header.blockCount.value_or(m_blockCount);
    PutU32(rid, 0, m_header.magic.value_or(0x4C444952)); // "RIDL"
    PutU32(rid, 4, m_header.version.value_or(m_version));
    PutU32(rid, 8, m_header.blockSize.value_or(kBlockSize));
    PutU16(rid, 12, root & 0xFFFF);
    PutU16(rid, 14, blockCount & 0xFFFF);
    PutU32(rid, 16, m_header.formatWord.value_or(0));
    PutU32(rid, 20, m_header.mapKind);
    PutU32(rid, 28, m_header.mapDataValue);
    PutU16(rid, 512, root >> 16);
    PutU16(rid, 514, blockCount >> 16);
}

MapSetFiles MapSetWriter::Build() {
    MapSetFiles files;
    std::vector<std::uint32_t> dataOffsets;
    std::vector<std::uint32_t> nameOffsets;
    WriteDataAndNames(files, dataOffsets, nameOffsets);
    std::vector<MapRect> bounds;
    bounds.reserve(m_elements.size());
    for (const ElementDescription& element : m_elements) {
        bounds.push_back(RecordBounds(element));
    }

    m_ids.assign(m_elements.size(), 0);
    m_treeOrder.clear();
    std::vector<Node> nodes;
    m_root = 0;
    m_levels = 0;
    std::uint32_t nextBlock = 1;
    std::size_t rootIndex = 0;
    if (!m_elements.empty()) {
        nodes = LayOutTree(bounds, m_depth, m_emptyLeaves, m_levels, rootIndex);
        Number(nodes, rootIndex, nextBlock, m_treeOrder);
        m_root = nodes[rootIndex].block;
    }
    m_blockCount = nextBlock;
    std::vector<std::uint8_t>& rid = files.rid;
    rid.assign(BlockStart(m_blockCount), 0);
    for (const Node& node : nodes) {
        const std::size_t at = BlockStart(node.block);
        rid[at] = node.isLeaf ? 'E' : 'I';
        PutU16(rid, at + 4, static_cast<std::uint32_t>(node.children.size()));
        for (std::size_t slot = 0; slot < node.children.size(); ++slot) {
            const std::size_t child = node.children[slot];
            if (!node.isLeaf) {
                PutRect(rid, at + 8 + 20 * slot, nodes[child].rect);
                PutU32(rid, at + 24 + 20 * slot, nodes[child].block);
                continue;
            }
            PutRecord(rid, at + 8 + 32 * slot, m_elements[child], bounds[child], dataOffsets[child],
                      nameOffsets[child]);
            m_ids[child] =
                node.block * (m_version >= 3 ? 256 : 2048) + static_cast<std::uint32_t>(slot);
        }
    }
    if (!nodes.empty()) {
        BreakTree(rid, nodes, nodes[rootIndex], m_blockCount, m_fault);
    }
    WriteHeader(rid);
    if (m_fault == MapSetFault::RidShorterThanHeader) {
        rid.resize(rid.size() - kBlockSize);
    }
    return files;
}

bool MapSetWriter::WriteTo(const std::filesystem::path& hostBasePath) {
    const MapSetFiles files = Build();
    const std::pair<const char*, const std::vector<std::uint8_t>*> parts[] = {
        {".rid", &files.rid}, {".dat", &files.dat}, {".nam", &files.nam}};
    for (const auto& [extension, bytes] : parts) {
        std::filesystem::path path = hostBasePath;
        path += extension;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()),
                  static_cast<std::streamsize>(bytes->size()));
        if (!out) {
            return false;
        }
    }
    return true;
}

} // namespace testdata

namespace testdata {

bool AddMapSetToArchive(const MapSetFiles& files, std::string_view baseName,
                        ArchiveWriter& archive) {
    const std::string base(baseName);
    return archive.AddMember(base + ".rid", files.rid) &&
           archive.AddMember(base + ".dat", files.dat) &&
           archive.AddMember(base + ".nam", files.nam);
}

std::uint32_t LinkAttributeBits(LinkNibble kind, std::uint8_t flags) {
    // Raw bit of b0 for each nibble.
    constexpr std::uint32_t kFirstBits[] = {maprecord::kRawLinkAShift, maprecord::kRawLinkBShift,
                                            maprecord::kRawLinkCShift};
    return std::uint32_t{flags & 0xFu} << kFirstBits[static_cast<int>(kind)];
}

GridSketch JunctionSketch(LinkNibble kind, const std::vector<JunctionArm>& arms) {
    GridSketch sketch;
    sketch.rows = {".N.", "WJE", ".S."};
    for (const JunctionArm& arm : arms) {
        GridSketch::Road road;
        road.name = std::string("Arm ") + arm.node;
        road.nodes = arm.isOutgoing ? std::string{'J', arm.node} : std::string{arm.node, 'J'};
        road.attributes = LinkAttributeBits(kind, arm.flags);
        sketch.roads.push_back(road);
    }
    return sketch;
}

} // namespace testdata
