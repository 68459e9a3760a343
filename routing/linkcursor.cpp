#include "routing/linkcursor.h"

#include <algorithm>
#include <optional>

namespace {

// The rule of the classes with their own rule; nullopt for the others.
std::optional<bool> IsClassOpen(std::uint32_t roadClass, TravelMode mode) {
    switch (roadClass) {
    case 0:
    case 8:
        return mode != kModeFree && mode != kModeFreeWalk;
    case 24:
        return mode == 3 || mode == kModeFree || mode == kModeFreeWalk;
    case 25:
    case 28:
        return mode == kModeFreeWalk;
    case 26:
        return mode == kModeFree || mode == kModeFreeWalk;
    default:
        return std::nullopt;
    }
}

} // namespace

LinkCursor::LinkCursor(const NetworkCrossing& crossing, std::uint32_t first, TravelMode mode)
    : m_crossing(crossing)
    , m_mode(mode) {
    ReadAttributes();
    SetIndex(static_cast<int>(first));
}

LinkCursor::LinkCursor(const NetworkCrossing& crossing, bool isForward, std::uint32_t fromLink,
                       TravelMode mode, ManoeuvreHistory* history)
    : m_crossing(crossing)
    , m_fromLink(static_cast<std::uint8_t>(fromLink))
    , m_isPlain(false)
    , m_isForward(isForward)
    , m_mode(mode)
    , m_history(history) {
    ReadAttributes();
    StartRestricted();
}

void LinkCursor::Restart(const NetworkCrossing& crossing, bool isForward, std::uint32_t fromLink,
                         TravelMode mode, ManoeuvreHistory* history) {
    m_crossing = crossing;
    m_fromLink = static_cast<std::uint8_t>(fromLink);
    m_isPlain = false;
    m_isForward = isForward;
    m_mode = mode;
    m_history = history;
    ReadAttributes();
    StartRestricted();
}

void LinkCursor::ReadAttributes() {
    const CrossingRecord* record = Record();
    if (record != nullptr && record->AttributeBlock() != nullptr) {
        m_attributes.emplace(record->AttributeBlock(), record->AttributeWords());
    } else {
        m_attributes.reset();
    }
}

void LinkCursor::StartRestricted() {
    SetIndex(m_isForward ? 0 : static_cast<int>(m_crossing.GetLinkCount()) - 1);
    if (!IsInRange()) {
        return;
    }
    if (!IsValid()) {
        Next();
        return;
    }
    const auto current = static_cast<std::uint32_t>(m_index);
    const bool isProhibited =
        m_isForward ? IsProhibited(m_fromLink, current) : IsProhibited(current, m_fromLink);
    if (isProhibited || !IsPassable()) {
        Next();
    }
}

bool LinkCursor::HasAdditionalAttributes() const {
    return m_crossing.GetStore() != nullptr && m_crossing.GetStore()->HasAdditionalAttributes();
}

std::uint32_t LinkCursor::GetRoadClass() const {
    const LinkEntry link = Link();
    std::uint32_t code = link.Class();
    if (HasAdditionalAttributes()) {
        if (link.E12()) {
            code += 32;
        }
        const std::uint32_t x = link.ExtendedCode();
        if (x >= 1 && x <= 5) {
            code += 32u << x;
        }
    }
    return code;
}

std::uint32_t LinkCursor::GetElementId() const {
    if (Record() == nullptr || m_index < 0 ||
        static_cast<std::uint32_t>(m_index) >= Record()->LinkCount()) {
        return 0xFFFFFFFF;
    }
    return Record()->ElementId(static_cast<std::uint32_t>(m_index));
}

std::uint32_t LinkCursor::DirectionCode() const {
    const LinkEntry link = Link();
    if (m_mode == kModeFree || m_mode == kModeFreeWalk) {
        return 2;
    }
    const AttributeAccessor* const attributes = Attributes();
    if (m_mode != 0 && m_mode != 1 && attributes && attributes->ListWords(4) != 0) {
        const auto reader = attributes->CreateList4Reader();
        std::optional<std::uint32_t> fallback;
        for (; reader->HasMore(); reader->Next()) {
            if (reader->LinkIndex() != static_cast<std::uint32_t>(m_index)) {
                continue;
            }
            if (reader->IsInUse() && (reader->CodeA() == m_mode || reader->CodeB() == m_mode)) {
                return reader->Code();
            }
            if (reader->CodeB() == 2 || (reader->IsInUse() && reader->CodeA() == 2)) {
                fallback = reader->Code();
            }
        }
        if (fallback && *fallback != 0 && (m_mode == 2 || m_mode == 3 || m_mode == 4)) {
            return *fallback;
        }
        return link.Direction();
    }
    if (m_mode == 3 && link.Class() == 24) {
        return 2;
    }
    return link.Direction();
}

LinkAttributeWord LinkCursor::GetAttributeWord() const {
    const std::uint32_t flags = Link().flags;
    const std::uint32_t roadClass = Link().Class();
    LinkAttributeWord word = (flags >> 10) & 1u;
    if (roadClass >= 16 && roadClass <= 23) {
        word |= 2u;
    }
    word |= ((flags >> 7) & 7u) << 29;
    const std::uint32_t x = Link().ExtendedCode();
    if (HasAdditionalAttributes() && x != 0) {
        word |= Link().E12() ? 4u : 0u;
        word |= x == 2 ? 0x10u : 0u;
        word |= x == 3 ? 0x40u : 0u;
        word |= x == 4 ? 0x80u : 0u;
        word |= x == 5 ? 0x100u : 0u;
    }
    return word;
}

bool LinkCursor::IsInRange() const {
    const CrossingRecord* record = Record();
    return record != nullptr && m_index >= 0 &&
           static_cast<std::uint32_t>(m_index) < record->LinkCount();
}

void LinkCursor::Next() {
    if (m_isPlain) {
        if (IsValid()) {
            SetIndex(m_index + 1);
        }
        return;
    }
    if (!m_attributes) {
        NextWithoutAttributes();
        return;
    }
    // A link that may not be driven in the cursor's direction is passed over, not the end of
    // the links: the links after it may still be taken.
    while (IsInRange()) {
        SetIndex(m_index + (m_isForward ? 1 : -1));
        if (!IsInRange()) {
            return;
        }
        if (!IsValid()) {
            continue;
        }
        const auto current = static_cast<std::uint32_t>(m_index);
        const bool isProhibited =
            m_isForward ? IsProhibited(m_fromLink, current) : IsProhibited(current, m_fromLink);
        if (!isProhibited && IsPassable()) {
            return;
        }
    }
}

void LinkCursor::NextWithoutAttributes() {
    const CrossingRecord* record = Record();
    if (record == nullptr) {
        return;
    }
    const auto count = static_cast<int>(record->LinkCount());
    const bool hasTurnTable = record->HasTurnTable();
    const int step = m_isForward ? 1 : -1;
    while (m_index >= 0 && m_index < count) {
        SetIndex(m_index + step);
        if (m_index < 0 || m_index >= count) {
            return;
        }
        if (!IsValid()) {
            continue;
        }
        // IsProhibited without list-2 items: the same link, or the turn table.
        const auto current = static_cast<std::uint32_t>(m_index);
        const std::uint32_t from = m_isForward ? m_fromLink : current;
        const std::uint32_t to = m_isForward ? current : m_fromLink;
        if (m_mode != kModeFreeWalk &&
            (from == to || (hasTurnTable && m_crossing.IsTurnProhibited(from, to)))) {
            continue;
        }
        if (IsPassableWithoutAttributes()) {
            return;
        }
    }
}

bool LinkCursor::IsPassableWithoutAttributes() {
    if (m_mode == 0) {
        return true;
    }
    const std::uint32_t roadClass = m_link.Class();
    const std::uint32_t direction =
        m_mode == kModeFree || m_mode == kModeFreeWalk || (m_mode == 3 && roadClass == 24)
            ? 2u
            : m_link.Direction();
    if (direction == 0) {
        return roadClass == 24;
    }
    if ((m_isForward && direction == 3) || (!m_isForward && direction == 1)) {
        return false;
    }
    if (const std::optional<bool> isOpen = IsClassOpen(roadClass, m_mode); isOpen && !*isOpen) {
        return false;
    }
    if (!m_isForward && m_history != nullptr && m_link.HasPendingPath()) {
        return !MatchesPendingPath();
    }
    return true;
}

std::uint32_t LinkCursor::GetTargetId() const {
    const NetworkCrossing target(m_crossing.GetNetwork(), GetTarget());
    return target.GetId();
}

std::uint32_t LinkCursor::List3Code() const {
    const AttributeAccessor* const attributes = Attributes();
    if (!attributes || attributes->ListWords(3) == 0 || m_mode == 0 || m_mode == kModeFree ||
        m_mode == kModeFreeWalk) {
        return 0;
    }
    const auto reader = attributes->CreateList3Reader();
    for (; reader->HasMore(); reader->Next()) {
        if (reader->IsInUse() && reader->LinkIndex() == static_cast<std::uint32_t>(m_index) &&
            (reader->CodeA() == 0 || reader->CodeA() == m_mode || reader->CodeB() == m_mode)) {
            return reader->Code();
        }
    }
    return 0;
}

bool LinkCursor::IsProhibited(std::uint32_t from, std::uint32_t to) {
    if (m_mode == kModeFreeWalk) {
        return false;
    }
    if (m_crossing.IsTurnProhibited(from, to)) {
        return true;
    }
    const AttributeAccessor* const attributes = Attributes();
    if (from > 15 || to > 15 || !attributes || attributes->ListWords(2) == 0) {
        return false;
    }
    const auto item = attributes->CreateList2Reader();
    for (; item->HasMore(); item->Next()) {
        if (item->Value(0) != static_cast<int>(to) || item->Value(1) != static_cast<int>(from) ||
            item->IsExempt(m_mode)) {
            continue;
        }
        const std::uint32_t values = item->ValueCount();
        if (values == 2) {
            return true;
        }
        if (m_history == nullptr) {
            continue;
        }
        if (!m_isForward) {
            (void)StorePendingPath(*item, to);
            continue;
        }
        m_history->Reset();
        std::uint32_t matched = 0;
        for (std::uint32_t k = 1; k < values && m_history->HasMore(); ++k) {
            if (item->Value(k) != static_cast<int>(m_history->Current())) {
                break;
            }
            m_history->Advance();
            ++matched;
        }
        m_history->Reset();
        if (values >= 1 && matched == values - 1) {
            return true;
        }
    }
    return false;
}

bool LinkCursor::StorePendingPath(ManoeuvreListReader& item, std::uint32_t to) {
    PendingPath path;
    path.values.push_back(static_cast<std::uint16_t>(to));
    NetworkCrossing at = m_crossing;
    const std::uint32_t values = item.ValueCount();
    for (std::uint32_t k = 1; k < values; ++k) {
        const int index = item.Value(k);
        if (index < 0 || static_cast<std::uint32_t>(index) >= at.GetLinkCount()) {
            return false;
        }
        const LinkEntry link = at.GetRecord()->Link(static_cast<std::uint32_t>(index));
        path.values.push_back(
            static_cast<std::uint16_t>(k + 1 < values ? link.ReverseIndex() : index));
        at.MoveTo({link.targetPage, link.targetOffset, 0xFFFFFFFF, at.GetLevel()});
    }
    // The search meets the path from its far end: at the crossing before the one it is stored
    // under, about to take the path's last link, with the arrival indexes back to this crossing
    // in its history. Stored in that order, the check reads it from the front.
    std::reverse(path.values.begin(), path.values.end());
    path.at = at.GetAddress();
    m_history->GetPendingPaths().push_back(std::move(path));
    return true;
}

bool LinkCursor::ForbiddenByList1() const {
    const AttributeAccessor* const attributes = Attributes();
    if (m_fromLink >= 16 || !attributes || attributes->ListWords(1) == 0 ||
        m_mode == kModeFreeWalk) {
        return false;
    }
    const auto current = static_cast<int>(m_index);
    bool isForbidden = false;
    const auto item = attributes->CreateList1Reader();
    for (; item->HasMore(); item->Next()) {
        const std::uint32_t kind = item->ModeKind();
        if (kind != m_mode && kind != 0 && kind != 1) {
            continue;
        }
        if (m_isForward && item->Value(1) == m_fromLink) {
            if (item->Value(0) == current) {
                return false;
            }
            isForbidden = true;
        } else if (!m_isForward && item->Value(1) == current) {
            if (item->Value(0) == m_fromLink) {
                return false;
            }
            isForbidden = true;
        }
    }
    return isForbidden;
}

bool LinkCursor::MatchesPendingPath() {
    const CrossingAddress target = GetTarget();
    const std::vector<PendingPath>& paths = m_history->GetPendingPaths();
    // Several paths may end at the target, each over a link of its own.
    for (const PendingPath& path : paths) {
        if (!(path.at == target) || path.values.empty() ||
            path.values.front() != static_cast<std::uint16_t>(m_index)) {
            continue;
        }
        m_history->Reset();
        bool isAllEqual = true;
        for (std::size_t k = 1; k < path.values.size(); ++k) {
            if (!m_history->HasMore() || m_history->Current() != path.values[k]) {
                isAllEqual = false;
                break;
            }
            m_history->Advance();
        }
        m_history->Reset();
        if (isAllEqual) {
            return true;
        }
    }
    return false;
}

bool LinkCursor::IsPassable() {
    if (m_isPlain || m_mode == 0) {
        return true;
    }
    const std::uint32_t direction = GetDirectionCode();
    const std::uint32_t roadClass = Link().Class();
    if (direction == 0) {
        return roadClass == 24;
    }
    if ((m_isForward && direction == 3) || (!m_isForward && direction == 1)) {
        return false;
    }
    if (IsForbiddenByList1()) {
        return false;
    }
    const std::uint32_t list3 = GetList3Code();
    if (list3 == 1 || list3 == 3) {
        return false;
    }
    if (const std::optional<bool> isOpen = IsClassOpen(roadClass, m_mode); isOpen && !*isOpen) {
        return false;
    }
    // Every open link, whatever its class, may begin a manoeuvre over several links.
    if (!m_isForward && m_history != nullptr && Link().HasPendingPath()) {
        return !MatchesPendingPath();
    }
    return true;
}
