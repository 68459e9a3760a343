#include "positioning/detail/linequeue.h"

#include <algorithm>

namespace {

// The position after the line that holds position at (the end when it has no line end).
std::size_t AfterLine(const std::string& bytes, std::size_t at) {
    const std::size_t end = bytes.find('\n', at);
    return end == std::string::npos ? bytes.size() : end + 1;
}

} // namespace

void LineQueue::Append(std::string_view text) {
    // A text longer than the cap keeps only its last lines.
    while (text.size() > m_capBytes) {
        const std::size_t end = text.find('\n');
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    if (GetSize() + text.size() > m_capBytes) {
        const std::size_t keepEnd = m_isAtLineStart ? m_head : AfterLine(m_bytes, m_head);
        std::size_t dropEnd = keepEnd;
        while (dropEnd < m_bytes.size() &&
               (keepEnd - m_head) + (m_bytes.size() - dropEnd) + text.size() > m_capBytes) {
            dropEnd = AfterLine(m_bytes, dropEnd);
        }
        if (keepEnd == m_head) {
            m_head = dropEnd;
        } else {
            m_bytes.erase(keepEnd, dropEnd - keepEnd);
        }
        // The begun line alone may still leave no room: then it goes too.
        if (GetSize() + text.size() > m_capBytes) {
            m_head = m_bytes.size();
            m_isAtLineStart = true;
        }
    }
    if (m_head > m_capBytes || m_head == m_bytes.size()) {
        m_bytes.erase(0, m_head);
        m_head = 0;
    }
    m_bytes.append(text);
}

std::size_t LineQueue::Read(char* buffer, std::size_t capacity) {
    const std::size_t count = std::min(capacity, GetSize());
    if (count == 0 || buffer == nullptr) {
        return 0;
    }
    std::copy_n(m_bytes.data() + m_head, count, buffer);
    m_head += count;
    m_isAtLineStart = buffer[count - 1] == '\n';
    if (m_head == m_bytes.size()) {
        m_bytes.clear();
        m_head = 0;
    }
    return count;
}
