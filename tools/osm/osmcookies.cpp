#include "tools/osm/osmcookies.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "tools/osm/osmmapping.h"

#include <algorithm>
#include <map>

namespace osm2nav {
namespace {

constexpr std::size_t kSlots = maprecord::kRawSlotMask + 1;

std::string MostFrequent(const std::vector<std::string>& codes) {
    std::map<std::string, std::size_t> counts;
    for (const auto& code : codes) {
        if (!code.empty()) {
            ++counts[code];
        }
    }
    std::string best;
    std::size_t bestCount = 0;
    for (const auto& [code, count] : counts) {
        if (count > bestCount) {
            best = code;
            bestCount = count;
        }
    }
    return best;
}

// Whether the value has a slot in the list or the list has room for it.
template <class T> bool Fits(const std::vector<T>& slots, const T& value) {
    return slots.size() < kSlots || std::find(slots.begin(), slots.end(), value) != slots.end();
}

// The slot of the value in the list, appended when new.
template <class T> std::uint32_t SlotOf(std::vector<T>& slots, const T& value) {
    const auto found = std::find(slots.begin(), slots.end(), value);
    if (found == slots.end()) {
        slots.push_back(value);
        return static_cast<std::uint32_t>(slots.size() - 1);
    }
    return static_cast<std::uint32_t>(found - slots.begin());
}

} // namespace

std::string ChoosePostalCode(const std::vector<std::string>& streetCodes,
                             const std::vector<std::string>& areaCodes) {
    std::string code = MostFrequent(streetCodes);
    return code.empty() ? MostFrequent(areaCodes) : code;
}

std::vector<std::uint32_t> CookieTables::Assign(std::vector<ElementAddress> elements,
                                                std::uint32_t endCookie) {
    std::vector<std::size_t> order(elements.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return elements[a].elementId < elements[b].elementId;
    });
    const auto newRecord = [&](std::uint32_t firstCookie) {
        m_records.push_back({firstCookie, {0}, {std::string()}});
    };
    m_records.clear();
    newRecord(0);
    std::vector<std::uint32_t> bits(elements.size(), 0);
    for (const std::size_t i : order) {
        const ElementAddress& element = elements[i];
        if (!Fits(m_records.back().areas, element.areaId) ||
            !Fits(m_records.back().postalCodes, element.postalCode)) {
            newRecord(element.elementId);
        }
        Record& record = m_records.back();
        bits[i] = maprecord::RawSlotBits(SlotOf(record.areas, element.areaId),
                                         SlotOf(record.postalCodes, element.postalCode));
    }
    m_elements = std::move(elements);
    m_endCookie = endCookie;
    return bits;
}

std::size_t CookieTables::GetElementCount() const {
    return static_cast<std::size_t>(
        std::count_if(m_elements.begin(), m_elements.end(), [](const ElementAddress& element) {
            return element.areaId != 0 || !element.postalCode.empty();
        }));
}

void CookieTables::AddTo(testdata::AddressIndexWriter& writer) const {
    for (const Record& record : m_records) {
        const auto first = static_cast<std::int32_t>(record.firstCookie);
        writer.AddCookieAreas(first, record.areas);
        writer.AddCookiePostalCodes(first, record.postalCodes);
    }
    writer.SetCookieEnd(static_cast<std::int32_t>(m_endCookie));
}

std::string CookieTables::ReadBack(RetrievalEngineImpl& engine) const {
    for (const ElementAddress& element : m_elements) {
        char16_t postalCode[17] = {};
        const auto areaId = engine.GetAreaOfElement(element.elementId);
        const bool isAreaRight = element.areaId == 0
                                     ? areaId == -1
                                     : areaId == static_cast<std::int64_t>(element.areaId);
        (void)engine.GetPostalCodeText(element.elementId, postalCode);
        if (!isAreaRight || postalCode != WideOf(element.postalCode)) {
            return "an element's area or postal code reads back wrong: element " +
                   std::to_string(element.elementId);
        }
    }
    return {};
}

} // namespace osm2nav
