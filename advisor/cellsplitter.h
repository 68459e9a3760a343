#pragma once
// Splits a text into cells at a separator: a cell runs from the position to the next separator or
// the end, and the position moves one past that separator. Past the end every cell is empty, so
// ";;" gives an empty cell and a row may end with or without its separator. Cells are not
// trimmed. One user at a time.

#include <string>
#include <string_view>

template <class CharT> class BasicCellSplitter {
public:
    BasicCellSplitter(std::basic_string_view<CharT> text, CharT separator)
        : m_text(text)
        , m_separator(separator) {}

    // True once the text is used up: every further cell is empty because the text has none.
    [[nodiscard]] bool IsAtEnd() const { return m_position > m_text.size(); }

    // The next cell; empty once the text is used up.
    std::basic_string<CharT> Next() {
        if (m_position > m_text.size()) {
            return {};
        }
        std::size_t end = m_text.find(m_separator, m_position);
        if (end == std::basic_string_view<CharT>::npos) {
            end = m_text.size();
        }
        std::basic_string<CharT> cell(m_text.substr(m_position, end - m_position));
        m_position = static_cast<unsigned>(end + 1);
        return cell;
    }

private:
    std::basic_string<CharT> m_text;
    unsigned m_position = 0;
    CharT m_separator;
};

// Cells of the advisor's configuration files, separated by ";".
class CellSplitter : public BasicCellSplitter<char> {
public:
    explicit CellSplitter(std::string_view text)
        : BasicCellSplitter<char>(text, ';') {}
};

// Cells of a wide text at any separator (the voice output cuts spoken texts at "]").
using WideCellSplitter = BasicCellSplitter<char16_t>;
