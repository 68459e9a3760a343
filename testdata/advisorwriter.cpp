#include "testdata/advisorwriter.h"

#include "testdata/archivewriter.h"

namespace testdata {

ConfigTextWriter& ConfigTextWriter::Line(std::string_view text) {
    m_lines.emplace_back(text);
    return *this;
}

ConfigTextWriter& ConfigTextWriter::Row(std::initializer_list<std::string_view> cells) {
    return Row(std::vector<std::string>(cells.begin(), cells.end()));
}

ConfigTextWriter& ConfigTextWriter::Row(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += (i == 0 ? "" : ";") + cells[i];
    }
    return Line(line);
}

ConfigTextWriter& ConfigTextWriter::Comment(std::string_view text) {
    return Line("#" + std::string(text));
}

ConfigTextWriter& ConfigTextWriter::Blank() {
    return Line("");
}

ConfigTextWriter& ConfigTextWriter::EndMark() {
    return Line("EOF");
}

ConfigTextWriter& ConfigTextWriter::Module(std::string_view name,
                                           const std::vector<std::string>& conditions) {
    Row({"Module", name});
    std::vector<std::string> cells{"Condition"};
    cells.insert(cells.end(), conditions.begin(), conditions.end());
    return Row(cells);
}

ConfigTextWriter& ConfigTextWriter::Value(const std::vector<std::string>& values,
                                          std::string_view result) {
    std::vector<std::string> cells{"Value"};
    cells.insert(cells.end(), values.begin(), values.end());
    cells.emplace_back(result);
    return Row(cells);
}

std::string ConfigTextWriter::Build(ConfigTextFault fault) const {
    std::string text = fault == ConfigTextFault::Utf8ByteOrderMark ? "\xEF\xBB\xBF" : "";
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        std::string line = m_lines[i];
        if (fault == ConfigTextFault::TabsAroundCells) {
            std::string tabbed;
            for (char c : line) {
                tabbed += c == ';' ? std::string("\t;\t") : std::string(1, c);
            }
            line = tabbed + "\t";
        }
        const bool isLast = i + 1 == m_lines.size();
        if (fault == ConfigTextFault::LfOnlyLines) {
            line += "\n";
        } else if (!(isLast && fault == ConfigTextFault::NoFinalLineEnd)) {
            line += "\r\n";
        }
        text += line;
    }
    return text;
}

std::vector<std::uint8_t> BuildConfigArchive(const std::vector<NamedFile>& files) {
    ArchiveWriter writer;
    for (const NamedFile& file : files) {
        (void)writer.AddMember(file.name, file.bytes);
    }
    return writer.Build();
}

std::vector<std::uint8_t>
BuildVoiceArchive(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& samples) {
    ArchiveWriter writer;
    for (const auto& [key, sample] : samples) {
        (void)writer.AddMember(key + ".wav", sample);
    }
    return writer.Build();
}

std::u16string VoiceArchiveName(std::u16string_view language) {
    return std::u16string(language) + u"_waves.sfs";
}

} // namespace testdata
