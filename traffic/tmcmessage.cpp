#include "traffic/tmcmessage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Value widths in bits of the free-format labels 0-15.
constexpr std::uint8_t kLabelWidths[16] = {3, 3, 5, 5, 5, 8, 8, 8, 8, 11, 16, 16, 16, 16, 0, 0};
constexpr std::uint32_t kFreeFormatBits = 112;

std::uint32_t ReadBits(const std::uint8_t* bytes, std::uint32_t from, std::uint32_t count) {
    std::uint32_t value = 0;
    for (std::uint32_t bit = from; bit < from + count; ++bit) {
        value = value << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1U);
    }
    return value;
}

std::uint16_t Word(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// Seconds a duration code gives, t seconds after local midnight.
std::uint32_t LifetimeOfCode(bool isDynamic, std::uint8_t code, std::uint32_t t) {
    if (isDynamic) {
        static constexpr std::uint32_t kDynamic[8] = {900, 900, 1800, 3600, 7200, 10800, 14400};
        return code == 7 ? 86400 - t : kDynamic[code & 7U];
    }
    return code == 0 ? 3600 : code == 1 ? 7200 : code == 2 ? 86400 - t : 172800 - t;
}

} // namespace

TmcBlockagePtr TmcRouteImpact::SetBlocking() {
    if (!m_blockage) {
        auto* blockage = new (std::nothrow) TmcBlockage;
        if (blockage == nullptr) {
            return nullptr;
        }
        blockage->values[0] = 0;
        blockage->values[1] = 5;
        m_blockage = TmcBlockagePtr(blockage);
    }
    return m_blockage;
}

TmcMessage::TmcMessage(const TmcRawMessage& raw, TmcDatabase& database,
                       RetrievalEngine::RetrievalEnginePtr engine, std::uint32_t language)
    : m_raw(raw)
    , m_database(&database)
    , m_engine(std::move(engine))
    , m_language(language) {
    Decode();
}

std::uint8_t TmcMessage::GetCountryCode() const {
    const auto code = static_cast<std::uint8_t>(m_raw.programmeId[0] >> 4);
    return code == 0 || code == 13 ? 1 : code;
}

std::uint8_t TmcMessage::GetTableNumber() const {
    const auto table = static_cast<std::uint8_t>(m_raw.tableAndProgrammeType >> 2);
    if (table != 0) {
        return table;
    }
    switch (GetCountryCode()) {
    case 4:
    case 9:
        return 9;
    case 8:
    case 14:
        return 17;
    case 12:
        return 10;
    case 15:
        return 32;
    default:
        return 1;
    }
}

std::uint16_t TmcMessage::GetLocation() const {
    return Word(m_raw.blockD);
}

std::uint32_t TmcMessage::GetLocationCode() const {
    return MakeTmcLocationCode(GetCountryCode(), GetTableNumber(), GetLocation());
}

bool TmcMessage::GetDirection() const {
    return (Word(m_raw.blockC) & 0x4000U) != 0;
}

bool TmcMessage::IsSingleGroup() const {
    return (m_raw.blockBLow & 0x08U) != 0;
}

std::uint32_t TmcMessage::GetReceptionTime() const {
    std::uint32_t time = 0;
    for (int i = 3; i >= 0; --i) {
        time = time << 8 | m_raw.receptionTime[i];
    }
    return time;
}

std::vector<TmcMessage::Label> TmcMessage::ReadLabels() const {
    std::vector<Label> labels;
    if (IsSingleGroup()) {
        return labels;
    }
    std::uint32_t bit = 0;
    while (bit + 4 <= kFreeFormatBits) {
        const auto number = static_cast<std::uint8_t>(ReadBits(m_raw.freeFormat, bit, 4));
        const std::uint32_t width = kLabelWidths[number];
        if (bit + 4 + width > kFreeFormatBits) {
            break;
        }
        const auto value = static_cast<std::uint16_t>(ReadBits(m_raw.freeFormat, bit + 4, width));
        if (number == 0 && value == 0) {
            break;
        }
        labels.push_back({number, value});
        bit += 4 + width;
    }
    return labels;
}

bool TmcMessage::HasControlCode(std::uint16_t code) const {
    const std::vector<Label> labels = ReadLabels();
    return std::any_of(labels.begin(), labels.end(),
                       [code](const Label& l) { return l.number == 1 && l.value == code; });
}

std::uint8_t TmcMessage::GetExtent() const {
    std::uint32_t extent = (Word(m_raw.blockC) >> 11) & 7U;
    for (const Label& label : ReadLabels()) {
        if (label.number == 1 && label.value == 6) {
            extent += 8;
        } else if (label.number == 1 && label.value == 7) {
            extent += 16;
        }
    }
    return static_cast<std::uint8_t>(extent);
}

TmcDuration TmcMessage::GetDuration() const {
    TmcDuration duration;
    duration.event = static_cast<std::uint16_t>(Word(m_raw.blockC) & 0x7FFU);
    if (IsSingleGroup()) {
        duration.code = static_cast<std::uint8_t>(m_raw.blockBLow & 7U);
        duration.isFound = duration.code != 0;
        return duration;
    }
    for (const Label& label : ReadLabels()) {
        if (label.number == 9) {
            duration.event = label.value;
        } else if (label.number == 0) {
            duration.code = static_cast<std::uint8_t>(label.value);
            duration.isFound = true;
            break;
        }
    }
    return duration;
}

bool TmcMessage::InterchangesDurationType() const {
    return HasControlCode(3);
}

bool TmcMessage::ChangesDirectionality() const {
    return HasControlCode(2);
}

bool TmcMessage::HasStopTime() const {
    const std::vector<Label> labels = ReadLabels();
    return std::any_of(labels.begin(), labels.end(), [](const Label& l) { return l.number == 8; });
}

void TmcMessage::Decode() {
    std::vector<std::uint16_t> codes = {static_cast<std::uint16_t>(Word(m_raw.blockC) & 0x7FFU)};
    for (const Label& label : ReadLabels()) {
        if (label.number == 9) {
            codes.push_back(label.value);
        }
    }
    for (const std::uint16_t code : codes) {
        if (TmcEventPtr event = m_database->FindEvent(code)) {
            m_events.push_back(event);
        }
    }
    m_isValid = !m_events.empty() && m_database->FindLocation(GetLocationCode());
    if (!m_isValid) {
        return;
    }
    const std::uint32_t id = std::uint32_t{m_events.front()->GetCode()} << 16 | GetLocation();
    if (!IsSingleGroup()) {
        m_id = id;
        for (const TmcEventPtr& event : m_events) {
            m_updateClasses.insert(event->GetUpdateClass());
        }
        return;
    }
    m_isControl = m_events.front()->IsCancellation();
    if (!m_isControl) {
        m_updateClasses.insert(m_events.front()->GetUpdateClass());
        m_id = id;
        return;
    }
    m_cancelsAllEvents = m_events.front()->GetCode() == 2047;
    if (!m_cancelsAllEvents) {
        m_updateClasses.insert(m_events.front()->GetUpdateClass());
    }
    m_isForAllLocations = GetLocation() == 65535;
}

std::uint32_t TmcMessage::ComputeLifetime() {
    const std::uint32_t t = GetReceptionTime() % 86400;
    const TmcDuration duration = GetDuration();
    const bool swaps = InterchangesDurationType();
    std::uint32_t lifetime = 0;
    if (!duration.isFound) {
        const bool someDynamic =
            std::any_of(m_events.begin(), m_events.end(),
                        [](const TmcEventPtr& e) { return e->GetDurationType() == 1; });
        lifetime = someDynamic != swaps ? 900 : 3600;
    } else {
        const TmcEventPtr event = m_database->FindEvent(duration.event);
        const bool isDynamic = (event && event->GetDurationType() == 1) != swaps;
        lifetime = LifetimeOfCode(isDynamic, duration.code, t);
    }
    if (HasStopTime()) {
        lifetime = std::min(lifetime, t > 0 ? 172800 - t : 0U);
    }
    m_lifetime = lifetime == 0 ? 900 : lifetime;
    return m_lifetime;
}

bool TmcMessage::SharesUpdateClass(const TmcMessage& other) const {
    return std::any_of(other.m_updateClasses.begin(), other.m_updateClasses.end(),
                       [this](std::uint32_t c) { return m_updateClasses.contains(c); });
}

bool TmcMessage::SameSituation(const TmcMessage& other) const {
    return GetLocationCode() == other.GetLocationCode() && GetDirection() == other.GetDirection() &&
           GetExtent() == other.GetExtent() && SharesUpdateClass(other);
}
