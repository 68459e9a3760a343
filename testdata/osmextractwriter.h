#pragma once
// Writer of OpenStreetMap extracts in the XML format (".osm") for the data tool's tests: nodes
// with their positions, ways and relations, each with its tags, written as the format orders
// them (nodes, then ways, then relations, each kind by id); rings around boxes (four corner
// nodes and a closed way) and boundaries made of one ring. Not thread-safe.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

using OsmTags = std::vector<std::pair<std::string, std::string>>;

// A box in degrees.
struct OsmBox {
    double west = 0;
    double south = 0;
    double east = 0;
    double north = 0;
};

struct OsmMember {
    std::string type; // "node", "way" or "relation"
    std::int64_t ref = 0;
    std::string role;
};

class OsmExtractWriter {
public:
    // An object of an id already added replaces it.
    OsmExtractWriter& AddNode(std::int64_t id, double longitude, double latitude,
                              OsmTags tags = {});
    OsmExtractWriter& AddWay(std::int64_t id, std::vector<std::int64_t> nodes, OsmTags tags = {});
    OsmExtractWriter& AddRelation(std::int64_t id, std::vector<OsmMember> members,
                                  OsmTags tags = {});
    // A closed way around the box through four new corner nodes, with ids of their own (from
    // 1,000,000,000 on); returns the way's id.
    std::int64_t AddRing(const OsmBox& box);
    // A relation of id `id` whose one outer member is a new ring around the box:
    // "type"="boundary" and "boundary"="administrative" with "admin_level" and then `tags`.
    OsmExtractWriter& AddBoundary(std::int64_t id, const OsmBox& box, int adminLevel, OsmTags tags);

    [[nodiscard]] std::string Build() const;
    // Writes Build() to a host file, replacing it; false when it cannot be written.
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath) const;

private:
    struct Node {
        double longitude = 0;
        double latitude = 0;
        OsmTags tags;
    };
    struct Way {
        std::vector<std::int64_t> nodes;
        OsmTags tags;
    };
    struct Relation {
        std::vector<OsmMember> members;
        OsmTags tags;
    };

    std::map<std::int64_t, Node> m_nodes;
    std::map<std::int64_t, Way> m_ways;
    std::map<std::int64_t, Relation> m_relations;
    std::int64_t m_nextId = 1'000'000'000;
};

} // namespace testdata
