#pragma once
// The yardstick of the converter's speed: one plain libosmium pass over an extract that only
// counts its objects.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace osm2nav {

// Nodes, ways and relations of the extract; nullopt when libosmium cannot read it.
[[nodiscard]] std::optional<std::uint64_t> CountObjects(const std::filesystem::path& extract);

} // namespace osm2nav
