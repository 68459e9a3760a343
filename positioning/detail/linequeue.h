#pragma once
// A byte queue of text lines with a size cap, for the receiver adapter's TMC and NMEA queues.
// Not locked: its owner guards it.

#include <cstddef>
#include <string>
#include <string_view>

class LineQueue {
public:
    explicit LineQueue(std::size_t capBytes)
        : m_capBytes(capBytes) {}

    // Appends the text. When the queue would pass its cap, whole lines are dropped from the
    // front, after the rest of a line a reader has begun, so that no reader sees a torn line.
    void Append(std::string_view text);
    // Moves up to capacity bytes from the front into buffer; returns their number.
    std::size_t Read(char* buffer, std::size_t capacity);
    [[nodiscard]] std::size_t GetSize() const noexcept { return m_bytes.size() - m_head; }

private:
    std::size_t m_capBytes;
    std::string m_bytes;
    std::size_t m_head = 0;      // the front; bytes before it are read
    bool m_isAtLineStart = true; // the front begins a line
};
