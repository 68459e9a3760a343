#pragma once
// Writers of the advisor's files: narrow CR LF configuration text (properties, phrase tables,
// decision tables, "encode.properties") with knobs for the line forms readers must survive, the
// configuration archive "Advisor.sfs" and voice archives of "<Key>.wav" samples. Not
// thread-safe; one writer per file.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testdata {

// Forms the whole text can take; each changes how every line is written, not what it says.
enum class ConfigTextFault {
    None,
    TabsAroundCells,   // a TAB before and after every ";" and at the end of every line
    NoFinalLineEnd,    // the last line without its CR LF
    LfOnlyLines,       // lines end with LF alone
    Utf8ByteOrderMark, // the text starts with EF BB BF (for "encode.properties")
};

class ConfigTextWriter {
public:
    // One line exactly as given (without its line end).
    ConfigTextWriter& Line(std::string_view text);
    // Cells joined with ";".
    ConfigTextWriter& Row(std::initializer_list<std::string_view> cells);
    ConfigTextWriter& Row(const std::vector<std::string>& cells);
    ConfigTextWriter& Comment(std::string_view text); // "#" + text
    ConfigTextWriter& Blank();
    ConfigTextWriter& EndMark(); // a line "EOF"
    // Decision tables: "Module;<name>" and "Condition;<conditions>...".
    ConfigTextWriter& Module(std::string_view name, const std::vector<std::string>& conditions);
    // "Value;<values>...;<result>".
    ConfigTextWriter& Value(const std::vector<std::string>& values, std::string_view result);

    [[nodiscard]] std::string Build(ConfigTextFault fault = ConfigTextFault::None) const;

private:
    std::vector<std::string> m_lines;
};

// A named file of the configuration archive or folder.
struct NamedFile {
    std::string name;
    std::string bytes;
};

// "Advisor.sfs" holding the files under their names.
[[nodiscard]] std::vector<std::uint8_t> BuildConfigArchive(const std::vector<NamedFile>& files);

// A voice archive: each (key, sample) pair becomes the member "<key>.wav".
[[nodiscard]] std::vector<std::uint8_t>
BuildVoiceArchive(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& samples);

// One encoded advice: counted narrow texts, little-endian numbers, as the advisor hands them out.
struct EncodedAdvice {
    std::uint8_t code = 255;
    std::string fromStreet;
    std::string toStreet;
    std::int32_t state = -1;
    std::string targetRoadNumber;
    std::string roundaboutText;
    std::string nextDirection;
    std::string roadClass;
    bool isDestination = false;
    bool isConnector = false;
    std::int32_t element = -1;
    std::int32_t nextElement = -1;
};

enum class EncodedAdviceFault {
    None,
    LastCutShort,    // the last advice loses its last byte
    CountBeyondData, // the last advice's first text claims 200 bytes more than follow
    LongFirstText,   // every first text is 100 characters long (more than a field holds)
};

// The advices one after another.
[[nodiscard]] std::vector<std::uint8_t>
WriteEncodedAdvices(const std::vector<EncodedAdvice>& advices,
                    EncodedAdviceFault fault = EncodedAdviceFault::None);

// "<language>_waves.sfs", the name the voice output mounts.
[[nodiscard]] std::u16string VoiceArchiveName(std::u16string_view language);

} // namespace testdata
