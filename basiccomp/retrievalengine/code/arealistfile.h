#pragma once
// The list files "EAreaP.fsr" and "ETypeP.fsr" (not table files): records {u32 key; u32 count;
// count x u32 ids} up to the end of the file, loaded into a map from key to ids. A repeated key
// keeps its first list.

#include "utilities/usefulcode/ifile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using AreaListMap = std::map<std::uint32_t, std::vector<std::uint32_t>>;

class AreaListFile {
public:
    // Empties the map, then reads the file from its current position to its end. True when the
    // file ends on a record boundary; false when a record is cut or its count claims more ids
    // than the file has left (the records read before stay in the map).
    [[nodiscard]] static bool Load(IFile& file, AreaListMap& map);
    // Opens the file as a plain file (or from the mounted archives) and loads it; a file that
    // does not open empties the map and gives false.
    [[nodiscard]] static bool LoadPlain(const std::u16string& path, AreaListMap& map);
    [[nodiscard]] static bool LoadArchived(const std::u16string& path, AreaListMap& map);
};
