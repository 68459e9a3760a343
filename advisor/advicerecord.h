#pragma once
// The advice record: what the advisor knows about one junction that needs advice, copied whole
// into and out of advice lists. A plain value; copies share the route iterator it holds (the
// iterator itself belongs to one thread at a time).

#include "routing/routeiterator.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// A NUL-terminated text of at most Capacity - 1 characters in a fixed array.
template <std::size_t Capacity> class FixedText {
public:
    FixedText() = default;
    FixedText(std::u16string_view text) { Set(text); }

    // Stores the text, cut to Capacity - 1 characters.
    void Set(std::u16string_view text) {
        const std::size_t length = std::min(text.size(), Capacity - 1);
        std::copy_n(text.begin(), length, m_chars.begin());
        m_chars[length] = u'\0';
    }
    [[nodiscard]] std::u16string_view View() const { return std::u16string_view(m_chars.data()); }
    [[nodiscard]] const char16_t* Chars() const { return m_chars.data(); }
    [[nodiscard]] bool IsEmpty() const { return m_chars[0] == u'\0'; }

private:
    std::array<char16_t, Capacity> m_chars{};
};

using AdviceText = FixedText<64>;

// The junction of an advice record: numbers, names and words that the phrases speak.
struct JunctionDescription {
    static constexpr std::uint32_t kDestinationFlag = 0x1; // the destination lies here
    static constexpr std::uint32_t kConnectorFlag = 0x2;
    // Nothing of the manoeuvre is told: a roundabout or U-turn where the driving side is not
    // known. The junction still ends its stretch.
    static constexpr std::uint32_t kUntoldFlag = 0x4;

    AdviceText signpostInfo;
    std::int16_t exitNumber = 0; // at a roundabout or a highway exit
    AdviceText currentRoadNumber;
    AdviceText targetRoadNumber;
    AdviceText roundaboutText;
    AdviceText manoeuvre;     // a module word of the advisor vocabulary ("Destination", "UTurn")
    AdviceText nextDirection; // a direction word ("Left", "SlightRight")
    AdviceText roundaboutDirection;
    FixedText<3> roadClass;         // "A", "B" or "S", with "t" or "c" after it
    std::int32_t junctionId = 0;    // a change means that a new junction is ahead
    std::int32_t stretchLength = 0; // metres from the previous manoeuvre to this junction
    std::uint32_t stretchTime = 0;  // seconds
    std::uint32_t flags = 0;
};

// Every field of an advice record before its junction: what an advice value shows.
struct AdviceRecordHead {
    std::uint32_t remainingDistance = 0; // metres of route after the previous advice junction
    float remainingTime = 0.0f;          // seconds
    AdviceText fromStreet;
    AdviceText toStreet;
    std::int32_t distance = 0; // metres to the junction
    float travelTime = 0.0f;   // seconds to the junction
    std::int32_t manoeuvreCode = -1;
    AdviceText propertyText;
    AdviceText placeName;
    GeoPoint position; // the last vertex of the junction's route item
    RouteIteratorPtr route;
    std::uint16_t progress = 0; // percent of the way between two announcements
    std::uint8_t combined = 0;  // 1: the following manoeuvre was joined to this advice
    std::uint32_t elementId = 0;
    std::uint32_t nextElementId = 0; // the route element after elementId; -1 at the route's end
};

struct AdviceRecord : AdviceRecordHead {
    AdviceRecord() = default;
    // A head copy: the junction and the text stay empty.
    explicit AdviceRecord(const AdviceRecordHead& head)
        : AdviceRecordHead(head) {}

    // Replaces the head only; the junction and the text stay as they are.
    void AssignHead(const AdviceRecordHead& head) { static_cast<AdviceRecordHead&>(*this) = head; }

    void SetText(std::u16string_view newText) { text = newText; }
    [[nodiscard]] bool HasText() const { return !text.empty(); }

    JunctionDescription junction;
    // The advice name from the decision tables (maybe followed by ";" and more), later the words
    // to speak.
    std::u16string text;
    std::uint32_t reserved = 0;
};

// Metres from the point to the end of the polyline, measured along it from the point's
// projection onto the nearest segment (the later one of two equally near) with great-circle
// distances. One point: the distance to it; no points: 0.
[[nodiscard]] double RemainingPolylineDistance(const GeoPoint& point,
                                               std::span<const GeoPoint> polyline);
