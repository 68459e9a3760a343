#include "testdata/osmextractwriter.h"

#include <cstdio>
#include <fstream>

namespace testdata {
namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Degrees(double value) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.7f", value);
    return text;
}

} // namespace

OsmExtractWriter& OsmExtractWriter::AddNode(std::int64_t id, double longitude, double latitude,
                                            OsmTags tags) {
    m_nodes[id] = {longitude, latitude, std::move(tags)};
    return *this;
}

OsmExtractWriter& OsmExtractWriter::AddWay(std::int64_t id, std::vector<std::int64_t> nodes,
                                           OsmTags tags) {
    m_ways[id] = {std::move(nodes), std::move(tags)};
    return *this;
}

OsmExtractWriter& OsmExtractWriter::AddRelation(std::int64_t id, std::vector<OsmMember> members,
                                                OsmTags tags) {
    m_relations[id] = {std::move(members), std::move(tags)};
    return *this;
}

std::int64_t OsmExtractWriter::AddRing(const OsmBox& box) {
    const std::pair<double, double> corners[] = {
        {box.west, box.south}, {box.east, box.south}, {box.east, box.north}, {box.west, box.north}};
    std::vector<std::int64_t> ring;
    for (const auto& [longitude, latitude] : corners) {
        ring.push_back(m_nextId);
        AddNode(m_nextId++, longitude, latitude);
    }
    ring.push_back(ring.front());
    const std::int64_t way = m_nextId++;
    AddWay(way, std::move(ring));
    return way;
}

OsmExtractWriter& OsmExtractWriter::AddBoundary(std::int64_t id, const OsmBox& box, int adminLevel,
                                                OsmTags tags) {
    OsmTags all{{"type", "boundary"},
                {"boundary", "administrative"},
                {"admin_level", std::to_string(adminLevel)}};
    all.insert(all.end(), tags.begin(), tags.end());
    return AddRelation(id, {{"way", AddRing(box), "outer"}}, std::move(all));
}

std::string OsmExtractWriter::Build() const {
    const auto tagLines = [](const OsmTags& tags) {
        std::string lines;
        for (const auto& [key, value] : tags) {
            lines += "    <tag k=\"" + Escaped(key) + "\" v=\"" + Escaped(value) + "\"/>\n";
        }
        return lines;
    };
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<osm version=\"0.6\" generator=\"testdata\">\n";
    for (const auto& [id, node] : m_nodes) {
        out += "  <node id=\"" + std::to_string(id) + "\" version=\"1\" lat=\"" +
               Degrees(node.latitude) + "\" lon=\"" + Degrees(node.longitude) + "\"";
        out += node.tags.empty() ? "/>\n" : ">\n" + tagLines(node.tags) + "  </node>\n";
    }
    for (const auto& [id, way] : m_ways) {
        out += "  <way id=\"" + std::to_string(id) + "\" version=\"1\">\n";
        for (const std::int64_t node : way.nodes) {
            out += "    <nd ref=\"" + std::to_string(node) + "\"/>\n";
        }
        out += tagLines(way.tags) + "  </way>\n";
    }
    for (const auto& [id, relation] : m_relations) {
        out += "  <relation id=\"" + std::to_string(id) + "\" version=\"1\">\n";
        for (const auto& member : relation.members) {
            out += "    <member type=\"" + member.type + "\" ref=\"" + std::to_string(member.ref) +
                   "\" role=\"" + Escaped(member.role) + "\"/>\n";
        }
        out += tagLines(relation.tags) + "  </relation>\n";
    }
    return out + "</osm>\n";
}

bool OsmExtractWriter::WriteTo(const std::filesystem::path& hostPath) const {
    std::ofstream file(hostPath, std::ios::binary | std::ios::trunc);
    const std::string text = Build();
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(file);
}

} // namespace testdata
