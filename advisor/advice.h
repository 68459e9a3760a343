#pragma once
// Advice handed to the rest of the system: an iterator over its own copy of an advice list, whose
// current record is read through an advice value with the display and spoken texts prepared.
// An advice and its values never share records with the advisor or each other; an advice is
// used by one thread at a time and may be handed to another.

#include "advisor/advicelist.h"
#include "advisor/advicetext.h"
#include "six/refcntptr.h"

#include <cstdint>
#include <string>

class IAdviceValue {
public:
    virtual ~IAdviceValue() = default;

    // Pointers stay valid while the value lives.
    [[nodiscard]] virtual const char16_t* GetFromStreet() const = 0;
    [[nodiscard]] virtual const char16_t* GetStreetName() const = 0;      // the street after it
    [[nodiscard]] virtual std::int32_t GetDistance() const = 0;           // metres to the manoeuvre
    [[nodiscard]] virtual std::uint32_t GetTravelTime() const = 0;        // seconds, truncated
    [[nodiscard]] virtual std::int32_t GetKind() const = 0;               // the manoeuvre code
    [[nodiscard]] virtual std::uint32_t GetRemainingDistance() const = 0; // metres
    [[nodiscard]] virtual std::uint32_t GetRemainingTime() const = 0;     // seconds, truncated
    [[nodiscard]] virtual const char16_t* GetDisplayText() const = 0;
    // The phrase keys to speak; "@" marks an arrival announcement.
    [[nodiscard]] virtual const char16_t* GetSpeechText() const = 0;
    [[nodiscard]] virtual GeoPoint GetPosition() const = 0;
    [[nodiscard]] virtual const char16_t* GetPropertyText() const = 0;
    [[nodiscard]] virtual const char16_t* GetPlaceName() const = 0;
    [[nodiscard]] virtual RouteIteratorPtr GetRouteIterator() const = 0;
    [[nodiscard]] virtual std::int16_t GetApproachPercent() const = 0;
    [[nodiscard]] virtual std::uint8_t IsLinkedToNext() const = 0;

protected:
    IAdviceValue() = default;
    IAdviceValue(const IAdviceValue&) = default;
    IAdviceValue& operator=(const IAdviceValue&) = default;
};

using AdviceValuePtr = six::RefCntPtr<IAdviceValue, six::STModel>;

class IAdvice;
using AdvicePtr = six::RefCntPtr<IAdvice>;

class IAdvice {
public:
    virtual ~IAdvice() = default;

    // One record forward; false (keeping the last record's values) past the end, for good.
    virtual bool Next() = 0;
    // The values of the current record; null when memory runs out.
    [[nodiscard]] virtual AdviceValuePtr Current() const = 0;
    [[nodiscard]] virtual bool IsValid() const = 0;
    // An independent copy at the same record; null when memory runs out.
    [[nodiscard]] virtual AdvicePtr Clone() const = 0;

protected:
    IAdvice() = default;
    IAdvice(const IAdvice&) = default;
    IAdvice& operator=(const IAdvice&) = default;
};

class AdviceValue final : public IAdviceValue {
public:
    AdviceValue(const AdviceRecordHead& head, std::u16string spokenText,
                std::u16string displayText);

    [[nodiscard]] const char16_t* GetFromStreet() const override;
    [[nodiscard]] const char16_t* GetStreetName() const override;
    [[nodiscard]] std::int32_t GetDistance() const override;
    [[nodiscard]] std::uint32_t GetTravelTime() const override;
    [[nodiscard]] std::int32_t GetKind() const override;
    [[nodiscard]] std::uint32_t GetRemainingDistance() const override;
    [[nodiscard]] std::uint32_t GetRemainingTime() const override;
    [[nodiscard]] const char16_t* GetDisplayText() const override;
    [[nodiscard]] const char16_t* GetSpeechText() const override;
    [[nodiscard]] GeoPoint GetPosition() const override;
    [[nodiscard]] const char16_t* GetPropertyText() const override;
    [[nodiscard]] const char16_t* GetPlaceName() const override;
    [[nodiscard]] RouteIteratorPtr GetRouteIterator() const override;
    [[nodiscard]] std::int16_t GetApproachPercent() const override;
    [[nodiscard]] std::uint8_t IsLinkedToNext() const override;

private:
    AdviceRecordHead m_head;
    std::u16string m_spokenText;
    std::u16string m_displayText;
};

class Advice final : public IAdvice {
public:
    // At record 0 of the list; invalid at once for an empty list. The phrase table spells the
    // numbers of the spoken texts (null: no table).
    Advice(AdviceList list, PhraseTablePtr phraseTable);

    bool Next() override;
    [[nodiscard]] AdviceValuePtr Current() const override;
    [[nodiscard]] bool IsValid() const override { return m_isValid; }
    [[nodiscard]] AdvicePtr Clone() const override;

private:
    AdviceList m_list;
    AdviceRecord m_current;
    std::int32_t m_index = 0;
    bool m_isValid = false;
    PhraseTablePtr m_phraseTable;
};

// A new advice over the list; null when memory runs out.
[[nodiscard]] AdvicePtr MakeAdvice(AdviceList list, PhraseTablePtr phraseTable);
