#include "advisor/advice.h"

#include <limits>
#include <new>

namespace {

// Whole seconds of a time the advice measured: none where the measure fell below zero (its sums
// round on the way) or is no number, the largest where it is past the largest.
std::uint32_t WholeSeconds(float seconds) {
    if (!(seconds > 0.0f)) {
        return 0;
    }
    constexpr auto kLargest = static_cast<float>(std::numeric_limits<std::uint32_t>::max());
    return seconds >= kLargest ? std::numeric_limits<std::uint32_t>::max()
                               : static_cast<std::uint32_t>(seconds);
}

} // namespace

AdviceValue::AdviceValue(const AdviceRecordHead& head, std::u16string spokenText,
                         std::u16string displayText)
    : m_head(head)
    , m_spokenText(std::move(spokenText))
    , m_displayText(std::move(displayText)) {}

const char16_t* AdviceValue::GetFromStreet() const {
    return m_head.fromStreet.Chars();
}
const char16_t* AdviceValue::GetStreetName() const {
    return m_head.toStreet.Chars();
}
std::int32_t AdviceValue::GetDistance() const {
    return m_head.distance;
}
std::uint32_t AdviceValue::GetTravelTime() const {
    return WholeSeconds(m_head.travelTime);
}
std::int32_t AdviceValue::GetKind() const {
    return m_head.manoeuvreCode;
}
std::uint32_t AdviceValue::GetRemainingDistance() const {
    return m_head.remainingDistance;
}
std::uint32_t AdviceValue::GetRemainingTime() const {
    return WholeSeconds(m_head.remainingTime);
}
const char16_t* AdviceValue::GetDisplayText() const {
    return m_displayText.c_str();
}
const char16_t* AdviceValue::GetSpeechText() const {
    return m_spokenText.c_str();
}
GeoPoint AdviceValue::GetPosition() const {
    return m_head.position;
}
const char16_t* AdviceValue::GetPropertyText() const {
    return m_head.propertyText.Chars();
}
const char16_t* AdviceValue::GetPlaceName() const {
    return m_head.placeName.Chars();
}
RouteIteratorPtr AdviceValue::GetRouteIterator() const {
    return m_head.route;
}
std::int16_t AdviceValue::GetApproachPercent() const {
    return static_cast<std::int16_t>(m_head.progress);
}
std::uint8_t AdviceValue::IsLinkedToNext() const {
    return m_head.combined;
}

Advice::Advice(AdviceList list, PhraseTablePtr phraseTable)
    : m_list(std::move(list))
    , m_phraseTable(std::move(phraseTable)) {
    m_isValid = m_list.GetRecord(0, m_current);
}

bool Advice::Next() {
    // Past the end the index stays one beyond the last record, so it cannot wrap.
    if (static_cast<std::size_t>(m_index) < m_list.Size()) {
        ++m_index;
    }
    m_isValid = m_list.GetRecord(m_index, m_current);
    return m_isValid;
}

AdviceValuePtr Advice::Current() const {
    try {
        const PhraseTable empty;
        const std::u16string spoken =
            AdviceSpokenText(m_current.text, m_phraseTable ? *m_phraseTable : empty);
        return AdviceValuePtr(
            new (std::nothrow) AdviceValue(m_current, spoken, AdviceDisplayText(m_current.text)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

AdvicePtr Advice::Clone() const {
    try {
        return AdvicePtr(new (std::nothrow) Advice(*this));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

AdvicePtr MakeAdvice(AdviceList list, PhraseTablePtr phraseTable) {
    try {
        return AdvicePtr(new (std::nothrow) Advice(std::move(list), std::move(phraseTable)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
