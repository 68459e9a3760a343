#pragma once
// The level file (".lvl") of a map set: one-byte text whose first usable line names the map file
// ("Europe.rid Europe 3 x"; only the first field is used). Lines end in LF with an optional CR;
// empty lines, lines that begin with CR or LF and lines containing ".iso" are not usable. The
// whole file is read at Open. One reader belongs to one thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class LevelTextFile {
public:
    // Lines are read with room for 254 characters; a longer line continues as the next one.
    static constexpr std::size_t kLineCapacity = 255;

    // Reads the whole file; false (nothing held) when it cannot be opened or read.
    [[nodiscard]] bool Open(const std::u16string& path);
    // Takes the file's bytes from memory.
    void Attach(std::vector<std::uint8_t> bytes);
    void Close();
    [[nodiscard]] bool IsOpen() const { return m_isOpen; }
    [[nodiscard]] bool IsAtEnd() const { return m_position >= m_bytes.size(); }

    // The bytes up to and including the next LF, at most capacity - 1 of them, each widened
    // with its sign (0x80..0xFF become 0xFF80..0xFFFF); empty at the end of the data.
    [[nodiscard]] std::u16string ReadLine(std::size_t capacity = kLineCapacity);

    // The first blank-separated field of the first usable line from the read position on (empty
    // when that line holds only blanks); nullopt when the data ends before a usable line.
    [[nodiscard]] std::optional<std::u16string> ReadMapFileName();

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_isOpen = false;
};
