// The texts drawn into each surface, kept while a check of what the screen shows asks for them.
#include "platform/gdi/detail/gdistate.h"
#include "platform/gdi/text.h"

#include <algorithm>
#include <array>

using namespace platform::gdi_detail;

namespace {

// A surface keeps this many texts at most: past it, those it no longer shows go, then the
// oldest.
constexpr std::size_t kMaxTextsPerSurface = 256;

bool& KeepingTexts() {
    static bool isKeeping = false;
    return isKeeping;
}

// The colour most of the pixels hold; the first of those met most when several are.
std::uint32_t MostFrequent(const std::vector<std::uint32_t>& pixels) {
    // Text lies on few colours: the first kinds met are counted, the rest left out.
    std::array<std::pair<std::uint32_t, std::size_t>, 32> counts{};
    std::size_t kinds = 0;
    std::size_t last = 0; // neighbouring pixels mostly hold one colour
    for (const std::uint32_t pixel : pixels) {
        if (last < kinds && counts[last].first == pixel) {
            ++counts[last].second;
            continue;
        }
        std::size_t i = 0;
        while (i < kinds && counts[i].first != pixel)
            ++i;
        if (i < kinds)
            ++counts[i].second;
        else if (kinds < counts.size())
            counts[kinds++] = {pixel, 1};
        last = i;
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < kinds; ++i) {
        if (counts[i].second > counts[best].second)
            best = i;
    }
    return counts[best].first;
}

// Most of the text's samples show what it painted there.
bool IsStillShown(const Surface& surface, const TextNote& note) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < note.sampleCount; ++i) {
        const TextNote::Sample& sample = note.samples[i];
        if (sample.at.x >= 0 && sample.at.y >= 0 && sample.at.x < surface.width &&
            sample.at.y < surface.height &&
            surface.pixels[static_cast<std::size_t>(sample.at.y) * surface.width + sample.at.x] ==
                sample.pixel)
            ++kept;
    }
    return note.sampleCount > 0 && kept * 4 >= note.sampleCount * 3;
}

bool IsSameText(const TextNote& a, const TextNote& b) {
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.colour == b.colour &&
           a.text == b.text;
}

// Keeps the note in the surface's list: in place of the same text drawn at the same place
// before; past the list's limit the texts the surface no longer shows go first.
void Keep(Surface& surface, TextNote note) {
    std::vector<TextNote>& texts = surface.texts;
    for (TextNote& kept : texts) {
        if (IsSameText(kept, note)) {
            kept = std::move(note);
            return;
        }
    }
    if (texts.size() >= kMaxTextsPerSurface) {
        std::erase_if(texts, [&](const TextNote& kept) { return !IsStillShown(surface, kept); });
        if (texts.size() >= kMaxTextsPerSurface)
            texts.erase(texts.begin(),
                        texts.begin() + static_cast<std::ptrdiff_t>(texts.size() / 2));
    }
    texts.push_back(std::move(note));
}

} // namespace

namespace platform::gdi_detail {

bool IsKeepingTexts() {
    return KeepingTexts();
}

void NoteText(Surface& surface, std::u16string_view text, std::uint32_t colour, POINT origin,
              const std::vector<POINT>& ink, const std::vector<std::uint32_t>& under) {
    if (ink.empty())
        return;
    TextNote note;
    note.text = text;
    note.colour = colour;
    note.background = MostFrequent(under);
    note.origin = origin;
    note.box = RECT{ink.front().x, ink.front().y, ink.front().x + 1, ink.front().y + 1};
    for (const POINT& p : ink) {
        note.box.left = std::min(note.box.left, p.x);
        note.box.top = std::min(note.box.top, p.y);
        note.box.right = std::max(note.box.right, p.x + 1);
        note.box.bottom = std::max(note.box.bottom, p.y + 1);
    }
    note.sampleCount = std::min(ink.size(), note.samples.size());
    for (std::size_t i = 0; i < note.sampleCount; ++i) {
        const POINT at = ink[i * ink.size() / note.sampleCount];
        note.samples[i] =
            TextNote::Sample{at, surface.pixels[static_cast<std::size_t>(at.y) * surface.width +
                                                static_cast<std::size_t>(at.x)]};
    }
    Keep(surface, std::move(note));
}

void CarryTexts(const Surface& source, long long sourceX, long long sourceY, long long width,
                long long height, Surface& dest, long long destX, long long destY,
                const Region& clip) {
    if (source.texts.empty() || width <= 0 || height <= 0)
        return;
    const long long shiftX = destX - sourceX;
    const long long shiftY = destY - sourceY;
    const auto isCopied = [&](POINT at) {
        const long long x = at.x + shiftX;
        const long long y = at.y + shiftY;
        if (at.x < sourceX || at.y < sourceY || at.x >= sourceX + width ||
            at.y >= sourceY + height || x < 0 || y < 0 || x >= dest.width || y >= dest.height)
            return false;
        return std::any_of(clip.begin(), clip.end(), [&](const RECT& r) {
            return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        });
    };
    // A blit within one surface reads the texts as they were before it.
    std::vector<TextNote> before;
    if (&source == &dest)
        before = source.texts;
    for (const TextNote& text : &source == &dest ? before : source.texts) {
        if (text.box.right <= sourceX || text.box.bottom <= sourceY ||
            text.box.left >= sourceX + width || text.box.top >= sourceY + height ||
            !IsStillShown(source, text))
            continue;
        TextNote moved = text;
        moved.sampleCount = 0;
        for (std::size_t i = 0; i < text.sampleCount; ++i) {
            const TextNote::Sample& sample = text.samples[i];
            if (isCopied(sample.at)) {
                moved.samples[moved.sampleCount++] =
                    TextNote::Sample{POINT{static_cast<LONG>(sample.at.x + shiftX),
                                           static_cast<LONG>(sample.at.y + shiftY)},
                                     sample.pixel};
            }
        }
        if (moved.sampleCount == 0)
            continue;
        moved.box = RECT{
            static_cast<LONG>(std::max(text.box.left, static_cast<LONG>(sourceX)) + shiftX),
            static_cast<LONG>(std::max(text.box.top, static_cast<LONG>(sourceY)) + shiftY),
            static_cast<LONG>(std::min<long long>(text.box.right, sourceX + width) + shiftX),
            static_cast<LONG>(std::min<long long>(text.box.bottom, sourceY + height) + shiftY)};
        moved.origin = POINT{static_cast<LONG>(text.origin.x + shiftX),
                             static_cast<LONG>(text.origin.y + shiftY)};
        Keep(dest, std::move(moved));
    }
}

} // namespace platform::gdi_detail

namespace platform {

void KeepDrawnTexts(bool isOn) {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    KeepingTexts() = isOn;
    if (isOn)
        return;
    if (state.screen)
        state.screen->texts.clear();
    for (const auto& [handle, object] : state.objects) {
        if (object->bitmap)
            object->bitmap->texts.clear();
    }
}

void ForgetScreenTexts() {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.screen)
        state.screen->texts.clear();
}

std::vector<DrawnText> ShownDrawnTexts() {
    GdiState& state = State();
    std::lock_guard lock(state.mutex);
    std::vector<DrawnText> shown;
    if (!state.screen)
        return shown;
    for (const TextNote& note : state.screen->texts) {
        if (IsStillShown(*state.screen, note))
            shown.push_back(DrawnText{note.text, ToColorref(note.colour),
                                      ToColorref(note.background), note.box});
    }
    return shown;
}

} // namespace platform
