#pragma once
// Writer of name files (".nam") for tests and tools: name records packed into 8192-byte blocks,
// never crossing a block, each added record answering with its name offset. One writer per file.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testdata {

// One further text of a name record: narrow code page 1252 text and its code.
struct NameText {
    std::string text;
    std::int8_t code = 0;
};

class NameFileWriter {
public:
    static constexpr std::uint32_t kBlockSize = 8192;
    static constexpr std::uint32_t kNoName = 0xFFFFFFFFu;

    // Adds a record {main text, its code, further texts, '|'} and returns its name offset.
    // kNoName when a text is longer than 255 bytes, a further text is 124 bytes long (its length
    // byte would read as the end mark) or the record does not fit in one block.
    std::uint32_t Add(const std::string& mainText, std::int8_t mainCode = 0,
                      const std::vector<NameText>& furtherTexts = {});

    // Faults for the reader's bounds checks: raw bytes placed so that they end exactly at the end
    // of the current block (or of the next one when they do not fit); returns their offset.
    std::uint32_t AddAtBlockEnd(const std::vector<std::uint8_t>& bytes);
    // Raw bytes at the current position (in the next block when they do not fit); returns
    // their offset.
    std::uint32_t AddRaw(const std::vector<std::uint8_t>& bytes);

    // By default the file is padded to whole blocks; without padding it ends after the last record.
    NameFileWriter& SetPadLastBlock(bool isPadded);

    std::uint32_t GetSize() const { return static_cast<std::uint32_t>(m_bytes.size()); }

    std::vector<std::uint8_t> Build() const;
    [[nodiscard]] bool WriteTo(const std::filesystem::path& hostPath) const;

private:
    // Moves to the next block when `length` bytes do not fit in the current one.
    bool Reserve(std::size_t length);

    std::vector<std::uint8_t> m_bytes;
    bool m_isPadded = true;
};

} // namespace testdata
