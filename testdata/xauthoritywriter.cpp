#include "testdata/xauthoritywriter.h"

#include <fstream>

namespace testdata {

bool WriteXauthorityFile(const std::filesystem::path& file,
                         const std::vector<XauthorityEntry>& entries) {
    std::string bytes;
    const auto putLength = [&bytes](std::size_t value) {
        bytes += static_cast<char>(value >> 8 & 0xFF);
        bytes += static_cast<char>(value & 0xFF);
    };
    for (const XauthorityEntry& entry : entries) {
        putLength(entry.family);
        for (const std::string* field : {&entry.address, &entry.number, &entry.name, &entry.data}) {
            putLength(field->size());
            bytes += *field;
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace testdata
