#pragma once
// Link cursors: iterate the links of a crossing for a travel mode. A plain cursor visits every
// link from its start index upwards; a restricted cursor goes forward (upwards from link 0) or
// backward (downwards from the last link) and skips links that are prohibited after the
// from-link or not passable. The cursor keeps its record alive; one user at a time.

#include "routing/crossingrecord.h"
#include "routing/networkcrossing.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

using TravelMode = std::uint32_t;
inline constexpr TravelMode kModeFree = 9;
inline constexpr TravelMode kModeFreeWalk = 12; // nothing prohibited, every direction open

// A path of link values stored at a crossing by a backward cursor.
struct PendingPath {
    CrossingAddress at;
    std::vector<std::uint16_t> values;
};

// The router's record of the manoeuvres that led to the current crossing.
class ManoeuvreHistory {
public:
    virtual ~ManoeuvreHistory() = default;
    virtual void Reset() = 0;
    [[nodiscard]] virtual bool HasMore() const = 0;
    [[nodiscard]] virtual std::uint16_t Current() const = 0;
    virtual void Advance() = 0;
    [[nodiscard]] virtual std::vector<PendingPath>& GetPendingPaths() = 0;
};

// Bits of a link's flags F for the router: bit 0 = F bit 10, bit 1 = class 16-23, bits 29-31 =
// F bits 7-9; with additional attributes and X != 0: bit 2 = E12, bits 4, 6, 7, 8 = X 2..5.
using LinkAttributeWord = std::uint32_t;

class LinkCursor {
public:
    // A plain cursor at start index `first`.
    LinkCursor(const NetworkCrossing& crossing, std::uint32_t first, TravelMode mode);
    // A restricted cursor: isForward starts at link 0, else at the last link.
    LinkCursor(const NetworkCrossing& crossing, bool isForward, std::uint32_t fromLink,
               TravelMode mode, ManoeuvreHistory* history);
    // Starts this restricted cursor anew on another crossing, as the constructor does; spares a
    // search an allocation per crossing it expands.
    void Restart(const NetworkCrossing& crossing, bool isForward, std::uint32_t fromLink,
                 TravelMode mode, ManoeuvreHistory* history);

    [[nodiscard]] std::uint32_t GetLength() const { return Link().LengthMetres(); } // metres
    // The 5-bit class, with additional attributes extended to 11 bits by E12 (+32) and X.
    [[nodiscard]] std::uint32_t GetRoadClass() const;
    [[nodiscard]] std::uint32_t GetElementId() const;
    [[nodiscard]] std::uint32_t GetDirectionCode() const {
        if (m_attributes) {
            return DirectionCode();
        }
        // Without an attribute block no list-4 entry changes the link's own code.
        if (m_mode == kModeFree || m_mode == kModeFreeWalk ||
            (m_mode == 3 && m_link.Class() == 24)) {
            return 2;
        }
        return m_link.Direction();
    }
    [[nodiscard]] LinkAttributeWord GetAttributeWord() const;
    void Next();
    [[nodiscard]] CrossingAddress GetTarget() const {
        return {m_link.targetPage, m_link.targetOffset, 0xFFFFFFFF, m_crossing.GetLevel()};
    }
    [[nodiscard]] bool IsValid() const {
        const CrossingRecord* record = Record();
        if (record == nullptr || m_index < 0 ||
            static_cast<std::uint32_t>(m_index) >= record->LinkCount()) {
            return false;
        }
        if (m_isPlain || (m_mode != 0 && m_mode != 1)) {
            return true;
        }
        if (m_isForward) {
            return m_link.Direction() < 3;
        }
        return m_link.Direction() >= 2 || (m_link.Direction() == 0 && m_link.Class() == 24);
    }
    [[nodiscard]] std::uint32_t GetReverseIndex() const { return Link().ReverseIndex(); }
    // -1 when the target has no record.
    [[nodiscard]] std::uint32_t GetTargetId() const;
    [[nodiscard]] std::uint32_t GetList3Code() const { return m_attributes ? List3Code() : 0u; }
    [[nodiscard]] bool HasPendingPathFlag() const { return Link().HasPendingPath(); }
    [[nodiscard]] std::uint32_t GetIndex() const { return static_cast<std::uint32_t>(m_index); }
    // The crossing whose links the cursor visits.
    [[nodiscard]] const NetworkCrossing& GetCrossing() const { return m_crossing; }

private:
    // The index names one of the crossing's links.
    [[nodiscard]] bool IsInRange() const;
    void StartRestricted();
    // Moves to link `index` and decodes its entry once for the getters.
    void SetIndex(int index) {
        m_index = index;
        const CrossingRecord* record = Record();
        m_link = record != nullptr && m_index >= 0 &&
                         static_cast<std::uint32_t>(m_index) < record->LinkCount()
                     ? record->Link(static_cast<std::uint32_t>(m_index))
                     : LinkEntry{};
    }
    [[nodiscard]] const LinkEntry& Link() const { return m_link; }
    [[nodiscard]] const CrossingRecord* Record() const { return m_crossing.GetRecord(); }
    [[nodiscard]] bool HasAdditionalAttributes() const;
    // The crossing's attribute block, read once per crossing the cursor is put on; null without.
    void ReadAttributes();
    [[nodiscard]] const AttributeAccessor* Attributes() const {
        return m_attributes ? &*m_attributes : nullptr;
    }
    [[nodiscard]] bool IsProhibited(std::uint32_t from, std::uint32_t to);
    [[nodiscard]] bool IsPassable();
    // Next and IsPassable of a restricted cursor on a crossing without an attribute block,
    // where no list item or list-4 code applies: the same links, fewer checks per link.
    void NextWithoutAttributes();
    [[nodiscard]] bool IsPassableWithoutAttributes();
    [[nodiscard]] bool IsForbiddenByList1() const { return m_attributes && ForbiddenByList1(); }
    // The direction code and the two list checks for a crossing with an attribute block.
    [[nodiscard]] std::uint32_t DirectionCode() const;
    [[nodiscard]] std::uint32_t List3Code() const;
    [[nodiscard]] bool ForbiddenByList1() const;
    [[nodiscard]] bool StorePendingPath(ManoeuvreListReader& item, std::uint32_t to);
    [[nodiscard]] bool MatchesPendingPath();

    NetworkCrossing m_crossing;
    std::optional<AttributeAccessor> m_attributes; // reads m_crossing's pinned record
    int m_index = 0;
    LinkEntry m_link; // of m_index; empty outside the record's links
    std::uint8_t m_fromLink = 31;
    bool m_isPlain = true;
    bool m_isForward = true;
    TravelMode m_mode;
    ManoeuvreHistory* m_history = nullptr;
};
using LinkCursorPtr = std::shared_ptr<LinkCursor>;
