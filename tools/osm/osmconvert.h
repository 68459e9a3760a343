#pragma once
// Converts an OpenStreetMap extract into a device data folder through the test-data writers:
// the map set with a detailed and an overview level, the address datasets, the city index files
// with its address index, the road network with its levels and the advisor data and voices, each
// read back by the system's own readers before it counts.

#include "testdata/roadworld.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace osm2nav {

struct ConvertOptions {
    std::filesystem::path extract; // ".osm.pbf" or ".osm"
    std::filesystem::path output;  // missing or empty folder
    std::uint32_t levels = 1;      // road network levels asked for (1..3)
    std::string language = "ger";  // voices and texts
    bool isPacked = false;         // files in ".sfs" archives
    bool withServiceRoads = true;  // service roads as the lowest road class
    // Our advisor data as the build makes them ("ConfigFiles/Advisor.sfs" and
    // "sound/<language>_waves.sfs"); empty: none written.
    std::filesystem::path advisorData;
};

// Folders inside the output: a database of the navigation server ("kwa", "db", "maps").
inline constexpr char16_t kMapFolder[] = u"\\maps";
inline constexpr char16_t kLevelFile[] = u"\\maps\\MAP.LVL";
// The style sheets the level file names, in the map folder.
inline constexpr char16_t kDaySheet[] = u"Day.mpl";
inline constexpr char16_t kNightSheet[] = u"Night.mpl";
inline constexpr char16_t kDatabaseFolder[] = u"\\db";
inline constexpr char16_t kNetworkFolder[] = u"\\kwa";
inline constexpr char16_t kNetworkFile[] = u"\\kwa\\Net.rd";
// The extract the folder was converted from, as read before the conversion, in four lines:
// "extract=" its canonical host path, "size=" its bytes, "modified=" its modification time in
// whole seconds since 1970-01-01 UTC and "cksum=" the POSIX cksum checksum of its bytes (as the
// cksum command prints it, in decimal), each line ended by '\n'.
inline constexpr char16_t kSourceFile[] = u"\\source.txt";

// Writes the folder, its source record (kSourceFile) and the summary; on failure writes nothing
// into the output and returns a message naming the cause (empty on success). With `world`, a
// successful conversion also hands back the road world the network's level 0 was written from
// (its links name the map elements), for a router baseline over the same graph; untouched on
// failure.
[[nodiscard]] std::string Convert(const ConvertOptions& options, std::ostream& summary,
                                  testdata::RoadWorld* world = nullptr);

} // namespace osm2nav
