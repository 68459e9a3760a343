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

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
}

void PutText(std::vector<std::uint8_t>& out, std::string_view text, std::size_t claimed) {
    out.push_back(static_cast<std::uint8_t>(claimed));
    out.push_back(static_cast<std::uint8_t>(claimed >> 8));
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

std::vector<std::uint8_t> WriteEncodedAdvices(const std::vector<EncodedAdvice>& advices,
                                              EncodedAdviceFault fault) {
    constexpr std::size_t kLongText = 100;
    constexpr std::size_t kMissingBytes = 200;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < advices.size(); ++i) {
        const EncodedAdvice& advice = advices[i];
        const bool isLast = i + 1 == advices.size();
        out.push_back(advice.code);
        const std::string first = fault == EncodedAdviceFault::LongFirstText
                                      ? std::string(kLongText, 'L')
                                      : advice.fromStreet;
        const std::size_t claimed = fault == EncodedAdviceFault::CountBeyondData && isLast
                                        ? first.size() + kMissingBytes
                                        : first.size();
        PutText(out, first, claimed);
        PutText(out, advice.toStreet, advice.toStreet.size());
        PutInt32(out, advice.state);
        for (const std::string* text : {&advice.targetRoadNumber, &advice.roundaboutText,
                                        &advice.nextDirection, &advice.roadClass}) {
            PutText(out, *text, text->size());
        }
        out.push_back(advice.isDestination ? 1 : 0);
        out.push_back(advice.isConnector ? 1 : 0);
        PutInt32(out, advice.element);
        PutInt32(out, advice.nextElement);
    }
    if (fault == EncodedAdviceFault::LastCutShort && !out.empty()) {
        out.pop_back();
    }
    return out;
}

} // namespace testdata
