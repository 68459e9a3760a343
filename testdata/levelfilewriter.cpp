#include "testdata/levelfilewriter.h"

#include <fstream>

namespace testdata {

LevelFileWriter& LevelFileWriter::AddMapLine(std::string_view mapFile, std::string_view word,
                                             int number, std::string_view lastWord) {
    m_lines.push_back(std::string(mapFile) + ' ' + std::string(word) + ' ' +
                      std::to_string(number) + ' ' + std::string(lastWord));
    return *this;
}

LevelFileWriter& LevelFileWriter::AddIsoLine(std::string_view mapFile) {
    return AddMapLine(mapFile, "Map.iso");
}

LevelFileWriter& LevelFileWriter::AddBlankLine() {
    m_lines.emplace_back();
    return *this;
}

LevelFileWriter& LevelFileWriter::AddLine(std::string_view text) {
    m_lines.emplace_back(text);
    return *this;
}

LevelFileWriter& LevelFileWriter::SetCrLf(bool isCrLf) {
    m_isCrLf = isCrLf;
    return *this;
}

std::string LevelFileWriter::Build() const {
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += m_isCrLf ? "\r\n" : "\n";
    }
    return text;
}

bool LevelFileWriter::WriteTo(const std::filesystem::path& hostPath) const {
    std::ofstream file(hostPath, std::ios::binary | std::ios::trunc);
    const std::string text = Build();
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(file);
}

} // namespace testdata
