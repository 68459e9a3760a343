#pragma once
// Optimised link ids and link annotations. An upper level may merge a chain of map elements into
// one link with a synthetic id; the O2S table lists each chain (bit 0 of an id picks the
// direction), the S2O table the optimised ids an element belongs to. Annotations put a speed
// code with a direction on the links that contain flagged map elements.

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <vector>

inline constexpr float kUnknownCoordinate = 3.4028235e38f;

// One element of an optimised link's chain, in the direction of travel.
struct O2SRecord {
    std::uint32_t optimisedId = 0;
    std::uint32_t elementId = 0;  // 0 ends a chain
    float x = kUnknownCoordinate; // the element's start
    float y = kUnknownCoordinate;
    std::uint32_t field5 = 0xFFFFFFFF;
    float length = 0.0f; // metres
    std::uint32_t field7 = 0xFFFFFFFF;
};

// The chain of an optimised id from the rows of its key in table order: for an even id the rows
// before the first with element 0; for an odd id the reverse chain, each element paired with the
// start of its reverse travel (row r with the element, field 5 and length of row r - 1, from the
// last row down to the second), every record carrying the id.
[[nodiscard]] std::vector<O2SRecord> ChainOfRows(std::span<const O2SRecord> rows, std::uint32_t id);

// The value an annotation points to: its first byte, low 7 bits, is a speed code (0: closed).
// Annotations hold a counted reference, so a value its owner drops stays valid until removed.
using AnnotationValuePtr = std::shared_ptr<const std::uint8_t>;

struct FlaggedElement {
    std::uint32_t elementId = 0;
    float x = 0.0f;
    float y = 0.0f;
};

struct FlaggedElementList {
    std::vector<FlaggedElement> items;
    AnnotationValuePtr value;
    std::uint32_t direction = 0; // only for adding
};

// The annotations of all levels: per level and page of the link's target, entries ordered by
// (target offset, R of the link at the target).
class LinkAnnotation {
public:
    struct Entry {
        std::uint16_t targetOffset = 0;
        std::uint16_t packed = 0; // bits 0-5 R, bits 6-7 direction code
        AnnotationValuePtr value;

        [[nodiscard]] std::uint32_t Key() const {
            return (std::uint32_t{targetOffset} << 6) | (packed & 63u);
        }
        friend bool operator<(const Entry& a, const Entry& b) { return a.Key() < b.Key(); }
    };
    using Slot = std::multiset<Entry>;

    void Resize(std::uint16_t level, std::uint32_t pages);
    void Add(std::uint16_t level, std::uint16_t page, const Entry& entry);
    // Erases the first entry with the key and value (any value when it is null).
    void Remove(std::uint16_t level, std::uint16_t page, const Entry& key,
                const AnnotationValuePtr& value);
    // Null when the page has no slot yet.
    [[nodiscard]] const Slot* GetSlot(std::uint16_t level, std::uint16_t page) const;
    [[nodiscard]] std::uint32_t GetCount(std::uint16_t level) const;

private:
    struct Level {
        std::vector<std::unique_ptr<Slot>> slots;
        std::uint32_t count = 0;
    };
    Level m_levels[3];
};

// Direction code 1 and 2 swap, others stay.
[[nodiscard]] constexpr std::uint32_t SwapDirection(std::uint32_t d) {
    return d == 2 ? 1 : d == 1 ? 2 : d;
}
