#pragma once
// Draws an enhanced-metafile picture (the skin pictures that are not bitmaps) into a rectangle
// of a device context, scaling the picture's window onto it. The file is read once and replayed
// at every draw; a play restores the DC's pen, brush and font and deletes what it created.
// One player per thread; the shared handler table is built once per process.

#include "platform/gdi/gdi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class EmfPlayer {
public:
    // An empty player; null when memory runs out.
    [[nodiscard]] static std::unique_ptr<EmfPlayer> Create();

    virtual ~EmfPlayer() = default;
    // Reads the whole file (at most 16 MB, at least 44 bytes, " EMF" at byte 40). false leaves
    // the player empty.
    virtual bool Load(LPCWSTR path);
    // Plays every record up to the end record into rect. false when nothing is loaded or a
    // record's size is below 8, not a multiple of 4 or past the end (the play stops there).
    virtual bool Play(HDC dc, const RECT& rect);
    // As Load, from a copy of size bytes at data.
    bool LoadBytes(const void* data, std::size_t size);

    [[nodiscard]] bool IsLoaded() const { return !buffer_.empty(); }

protected:
    EmfPlayer() = default;

private:
    std::vector<std::uint8_t> buffer_;
};
