#pragma once
// The encoding table of "encode.properties": lines of name=code, read once through the platform's
// wide text streams (code page 1252, or UTF-8 after a byte-order mark). One user at a time.

#include <cstdint>
#include <map>
#include <string>

class EncodeProperties {
public:
    // Reads the file unless the table is loaded already. False (table unloaded) when the file
    // cannot be opened. Lines are taken in pieces of at most 511 characters; a piece that is
    // empty, holds "#" anywhere or holds no "=" is skipped. The name is the text before the first
    // "=" as it stands, the code that after it read as a decimal integer (0 without digits); a
    // name keeps its first code.
    [[nodiscard]] bool Load(const std::u16string& path);

    // Takes one piece of a line as Load reads it (up to and with its "\n").
    void AddPiece(std::u16string piece);

    // The name's code as its low 8 bits; 255 when the name is not in the table.
    [[nodiscard]] std::uint8_t CodeOf(const std::u16string& name) const;
    // The first name in table order whose code's low 8 bits are code; empty when none.
    [[nodiscard]] std::u16string NameOf(std::uint8_t code) const;

    [[nodiscard]] bool IsLoaded() const { return m_isLoaded; }
    [[nodiscard]] const std::map<std::u16string, std::int32_t>& GetCodes() const { return m_codes; }

private:
    std::map<std::u16string, std::int32_t> m_codes;
    bool m_isLoaded = false;
};
