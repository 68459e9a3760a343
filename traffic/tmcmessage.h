#pragma once
// One RDS-TMC traffic message (ISO 14819-1 ALERT-C) made from the decoder's 28-byte record: its
// fields, events and location looked up in the TMC database, its lifetime, and on demand its
// description texts, affected road elements and route impact. Used under the message store's
// lock; no lock of its own. The database must outlive the message.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "traffic/tmcdatabase.h"
#include "traffic/tmcrawmessage.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What the map shows for a blocking message: the sign pictures of its update classes.
struct TmcBlockage {
    std::set<std::string> signNames;
    std::uint16_t word = 0xFFFF;
    std::uint16_t values[2] = {0, 0};
};

using TmcBlockagePtr = six::RefCntPtr<TmcBlockage, six::MTModel>;

class TmcRouteImpact {
public:
    virtual ~TmcRouteImpact() = default;
    // Null unless a blocking event was seen.
    [[nodiscard]] virtual TmcBlockagePtr GetBlockage() const { return m_blockage; }
    // Nothing sets it: always null.
    [[nodiscard]] virtual TmcBlockagePtr GetSecond() const { return m_second; }
    // The blockage, made on first use (word 65535, values 0 and 5); null when out of memory.
    TmcBlockagePtr SetBlocking();

private:
    TmcBlockagePtr m_blockage;
    TmcBlockagePtr m_second;
};

// The decoded duration of a message: the event it belongs to and the duration code.
struct TmcDuration {
    std::uint16_t event = 0;
    std::uint8_t code = 0;
    bool isFound = false;
};

class TmcMessage {
public:
    // Copies the record and the engine (may be null), then decodes.
    TmcMessage(const TmcRawMessage& raw, TmcDatabase& database,
               RetrievalEngine::RetrievalEnginePtr engine, std::uint32_t language);
    virtual ~TmcMessage() = default;

    // The five getters the store's users call.
    [[nodiscard]] virtual const TmcRouteImpact& GetRouteImpact() const { return m_routeImpact; }
    // Element ids with their class bits (bit 31 only: a nearby element); empty until built.
    [[nodiscard]] virtual const std::vector<std::uint32_t>& GetElementIds() const {
        return m_elementIds;
    }
    // "location text:  event; event"; empty until built.
    [[nodiscard]] virtual const std::u16string& GetText() const { return m_wideText; }
    // First event code << 16 | location; 0 for control messages and invalid ones.
    [[nodiscard]] virtual std::uint32_t GetId() const { return m_id; }
    [[nodiscard]] virtual const std::u16string& GetCountryText() const { return m_countryText; }

    // Events found and the database knows the location.
    [[nodiscard]] bool IsValid() const { return m_isValid; }
    [[nodiscard]] bool IsControl() const { return m_isControl; }
    [[nodiscard]] bool CancelsAllEvents() const { return m_cancelsAllEvents; }
    [[nodiscard]] bool IsForAllLocations() const { return m_isForAllLocations; }
    [[nodiscard]] const TmcRawMessage& GetRaw() const { return m_raw; }
    [[nodiscard]] const std::vector<TmcEventPtr>& GetEvents() const { return m_events; }
    [[nodiscard]] const std::set<std::uint32_t>& GetUpdateClasses() const {
        return m_updateClasses;
    }
    [[nodiscard]] const std::string& GetNarrowText() const { return m_narrowText; }
    [[nodiscard]] bool IsBidirectional() const { return m_isBidirectional; }
    [[nodiscard]] std::uint32_t GetLifetime() const { return m_lifetime; }
    void SetTimerId(std::uint32_t id) { m_timerId = id; }
    [[nodiscard]] std::uint32_t GetTimerId() const { return m_timerId; }

    // Raw fields. Country codes 0 and 13 read as 1.
    [[nodiscard]] std::uint8_t GetCountryCode() const;
    // The table number, or the country's default when none was received.
    [[nodiscard]] std::uint8_t GetTableNumber() const;
    [[nodiscard]] std::uint16_t GetLocation() const;
    [[nodiscard]] std::uint32_t GetLocationCode() const;
    [[nodiscard]] bool GetDirection() const;
    // The extent bits, + 8 for each control code 6 and + 16 for each 7 (8-bit).
    [[nodiscard]] std::uint8_t GetExtent() const;
    [[nodiscard]] bool IsSingleGroup() const;
    [[nodiscard]] TmcDuration GetDuration() const;
    [[nodiscard]] bool InterchangesDurationType() const;
    [[nodiscard]] bool ChangesDirectionality() const;
    [[nodiscard]] bool HasStopTime() const;
    // The reception time, local seconds since 1970.
    [[nodiscard]] std::uint32_t GetReceptionTime() const;

    // Seconds the message lives from its reception (at least 900); also kept for GetLifetime.
    std::uint32_t ComputeLifetime();
    // Same location code, direction bit and extent, and a shared update class.
    [[nodiscard]] bool SameSituation(const TmcMessage& other) const;
    // Some update class of other is one of this message's.
    [[nodiscard]] bool SharesUpdateClass(const TmcMessage& other) const;
    // Builds the texts, element ids and route impact once.
    void BuildText();

    // One free-format label: 4-bit number and value.
    struct Label {
        std::uint8_t number = 0;
        std::uint16_t value = 0;
    };
    // The labels of a multi-group message up to the end mark (label 0 with value 0, or a label
    // reaching past the 112 bits); empty for a single-group message.
    [[nodiscard]] std::vector<Label> ReadLabels() const;

private:
    void Decode();
    [[nodiscard]] bool HasControlCode(std::uint16_t code) const;
    void BuildLocationText(const TmcLocation& location);
    void BuildPointText(const TmcLocation& location);
    void BuildSegmentText(const TmcLocation& location);
    void BuildAreaText(const TmcLocation& location);
    void BuildCountryText();
    void CollectNearbyElements();
    // The common point of the geometry of two element lists; false when there is none.
    [[nodiscard]] bool FindCommonPoint(const std::vector<std::uint32_t>& a,
                                       const std::vector<std::uint32_t>& b, GeoPoint& point);
    void SearchNearby(const GeoPoint& point);
    [[nodiscard]] const char* Connector() const { return m_isBidirectional ? "<->" : "->"; }

    TmcRawMessage m_raw;
    TmcDatabase* m_database;
    RetrievalEngine::RetrievalEnginePtr m_engine;
    std::vector<TmcEventPtr> m_events;
    std::uint32_t m_language;
    std::uint32_t m_timerId = 0;
    bool m_isValid = false;
    bool m_isControl = false;
    bool m_cancelsAllEvents = false;
    bool m_isForAllLocations = false;
    std::set<std::uint32_t> m_updateClasses;
    std::uint32_t m_id = 0;
    std::uint32_t m_lifetime = 0;
    bool m_isBuilt = false;
    std::vector<std::uint32_t> m_elementIds;
    TmcRouteImpact m_routeImpact;
    bool m_hasNoLocation = false;
    std::string m_narrowText;
    std::u16string m_wideText;
    std::u16string m_countryText;
    bool m_isBidirectional = false;
};

// Whether an event code closes the road (ISO 14819-2 codes this system treats as blocking).
[[nodiscard]] bool IsBlockingTmcEvent(std::uint16_t code);

// What names the country of messages with a country code (0 and 13 read as 1) and table: the
// engine's country of that number when the engine has it, else the fixed name (empty: none).
struct TmcCountryName {
    std::optional<std::uint16_t> engineCountry;
    std::u16string fixedName;
};
[[nodiscard]] TmcCountryName TmcCountryNameOf(std::uint8_t countryCode, std::uint8_t table);
