#pragma once
// Writer of level files (".lvl") for tests: one-byte text lines that name a map set's map file
// ("Europe.rid Europe 3 x"), with blank lines, ".iso" lines, any line as written (a line longer
// than a reader's line buffer), LF or CR LF endings. Not thread-safe.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

class LevelFileWriter {
public:
    // The usable line: the map file, a word, a number and a word.
    LevelFileWriter& AddMapLine(std::string_view mapFile, std::string_view word = "Map",
                                int number = 0, std::string_view lastWord = "x");
    // A map line that holds ".iso" in its second word, which readers skip.
    LevelFileWriter& AddIsoLine(std::string_view mapFile);
    LevelFileWriter& AddBlankLine();
    // A line exactly as given (its ending is added).
    LevelFileWriter& AddLine(std::string_view text);
    // CR LF endings instead of LF.
    LevelFileWriter& SetCrLf(bool isCrLf);

    [[nodiscard]] std::string Build() const;
    // Writes Build() to a host file, replacing it; false when it cannot be written.
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath) const;

private:
    std::vector<std::string> m_lines;
    bool m_isCrLf = false;
};

} // namespace testdata
