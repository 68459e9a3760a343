#include "app/destinations/uddrecord.h"

#include "basiccomp/retrievalengine/code/mapelement.h"

#include "platform/kernel/format.h"
#include "platform/kernel/text.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr char16_t kSeparator = u'|';
constexpr char16_t kSeparatorStandIn = u'/';
constexpr std::u16string_view kAbsentText = u" ";
constexpr std::size_t kFieldCount = 10;
// Half the side of the square searched around a stored point, degrees.
constexpr float kUddNearPointDegrees = 0.0005f;
constexpr std::uint32_t kUddAnyLevel = 0xFFFFFFFFu;

bool IsBlank(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool IsDigitCharacter(char16_t c) {
    // Latin-1's superscript digits count as digits, as in the device's character classes.
    return (c >= u'0' && c <= u'9') || c == 0xB2 || c == 0xB3 || c == 0xB9;
}

bool IsPresent(std::u16string_view field) {
    return !field.empty() && field != kAbsentText;
}

std::u16string TextOf(const char16_t* text) {
    std::u16string result = text != nullptr ? std::u16string(text) : std::u16string();
    for (char16_t& c : result) {
        if (c == kSeparator) {
            c = kSeparatorStandIn;
        }
    }
    return result;
}

// Cuts one character off the end of text, and the first half of a surrogate pair left behind.
void CutOne(std::u16string& text) {
    text.pop_back();
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
        text.pop_back();
    }
}

// Float degrees widened to double, as "%.5f" prints them.
std::u16string FormatCoordinate(float value) {
    return platform::FormatW(u"%.5f", static_cast<double>(value));
}

// A double read from a record, narrowed to float without leaving the float range undefined.
float NarrowCoordinate(double value) {
    if (std::isnan(value)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    if (value > std::numeric_limits<float>::max()) {
        return std::numeric_limits<float>::infinity();
    }
    if (value < -std::numeric_limits<float>::max()) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

float ReadCoordinate(std::u16string_view field) {
    const std::u16string text(field);
    return NarrowCoordinate(wcstod(text.c_str(), nullptr));
}

std::u16string TrailingNumberOf(std::u16string text) {
    return SplitTrailingNumber(text);
}

GeoRect UddRectAround(float x, float y) {
    return GeoRect(x - kUddNearPointDegrees, y - kUddNearPointDegrees, x + kUddNearPointDegrees,
                   y + kUddNearPointDegrees);
}

bool HasName(MapElement& element, const std::u16string& name) {
    std::vector<std::u16string> names;
    (void)element.GetPrimaryNames(names);
    for (const std::u16string& candidate : names) {
        if (candidate == name) {
            return true;
        }
    }
    return false;
}

} // namespace

std::u16string UddRecord::Build(float x, float y, const char16_t* place, const char16_t* street,
                                const char16_t* houseNumber, const char16_t* placeAddition,
                                const char16_t* streetAddition, const char16_t* placeQualifier,
                                const char16_t* streetQualifier, bool userDefined) {
    // The texts in field order 3 to 8.
    std::array<std::u16string, 6> texts{TextOf(place),          TextOf(street),
                                        TextOf(placeAddition),  TextOf(streetAddition),
                                        TextOf(placeQualifier), TextOf(streetQualifier)};
    if (street != nullptr && houseNumber != nullptr && houseNumber[0] != u'\0') {
        texts[1] += u' ';
        texts[1] += TextOf(houseNumber);
    }
    const std::u16string head = u"2|" + FormatCoordinate(x) + u"|" + FormatCoordinate(y) + u"|";
    std::size_t fixed = head.size() + texts.size(); // the texts' separators
    if (userDefined) {
        fixed += kUserDefinedMarker.size() + 1;
    }
    std::size_t length = fixed;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // Absent additions and qualifiers take one blank.
        length += i >= 2 && texts[i].empty() ? 1 : texts[i].size();
    }
    while (length > kMaxLength) {
        std::size_t longest = 0;
        for (std::size_t i = 1; i < texts.size(); ++i) {
            if (texts[i].size() > texts[longest].size()) {
                longest = i;
            }
        }
        if (texts[longest].size() <= 1) {
            break; // only the coordinates are left to be long, and they are bounded
        }
        const std::size_t before = texts[longest].size();
        CutOne(texts[longest]);
        length -= before - texts[longest].size();
    }
    std::u16string record = head;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        record += i >= 2 && texts[i].empty() ? std::u16string(kAbsentText) : texts[i];
        record += kSeparator;
    }
    if (userDefined) {
        record += kUserDefinedMarker;
        record += kSeparator;
    }
    return record;
}

bool UddRecord::Parse(std::u16string_view record, float& x, float& y, std::u16string& placeLine,
                      std::u16string& streetLine, std::u16string& place, std::u16string& street,
                      std::u16string& extraText, std::u16string& houseNumber,
                      std::uint8_t& userDefined) {
    std::array<std::u16string_view, kFieldCount> fields{};
    std::size_t index = 0;
    while (index < kFieldCount) {
        const std::size_t end = record.find(kSeparator);
        fields[index++] = record.substr(0, end);
        if (end == std::u16string_view::npos) {
            break;
        }
        record.remove_prefix(end + 1);
    }
    x = ReadCoordinate(fields[1]);
    y = ReadCoordinate(fields[2]);

    placeLine = fields[3];
    (void)SplitTrailingNumber(placeLine);
    place = placeLine;
    if (IsPresent(fields[7])) {
        placeLine += u" (";
        placeLine += fields[7];
        placeLine += u")";
    }
    if (IsPresent(fields[5])) {
        placeLine += u", ";
        placeLine += fields[5];
    }

    street = fields[4];
    houseNumber = TrailingNumberOf(street);
    streetLine = fields[4];
    if (IsPresent(fields[8])) {
        streetLine += u" (";
        streetLine += fields[8];
        streetLine += u")";
    }
    if (IsPresent(fields[6])) {
        streetLine += u", ";
        streetLine += fields[6];
    }
    if (fields[9] == kUserDefinedMarker) {
        userDefined = 1;
    }
    extraText.clear();
    return true;
}

std::u16string SplitTrailingNumber(std::u16string& name) {
    std::size_t end = name.size();
    while (end > 0 && IsBlank(name[end - 1])) {
        --end;
    }
    if (end == 0) {
        return {};
    }
    std::size_t start = end;
    while (start > 0 && !IsBlank(name[start - 1])) {
        --start;
    }
    if (start == 0) {
        return {}; // one word
    }
    // start - 1 is the blank before the last word; a name whose only blanks lead it is one word.
    bool hasTextBefore = false;
    for (std::size_t i = 0; i + 1 < start; ++i) {
        if (!IsBlank(name[i])) {
            hasTextBefore = true;
            break;
        }
    }
    if (!hasTextBefore || !IsDigitCharacter(name[start])) {
        return {};
    }
    std::u16string number = name.substr(start);
    name.erase(start - 1);
    return number;
}

GeoMoleculePtr FindStreetNearPoint(const Onboard::OnboardServerPtr& server, float x, float y,
                                   const std::u16string& street, const std::u16string& place) {
    if (!server) {
        return {};
    }
    RetrievalEngine::RetrievalEnginePtr engine = server->GetRetrievalEngine();
    if (!engine) {
        return {};
    }
    if (auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(engine.Get())) {
        for (ElementCursorPtr cursor =
                 query->QueryArea(UddRectAround(x, y), kUddAnyLevel, kUddAnyLevel);
             cursor && cursor->IsValid(); cursor->Next()) {
            const std::uint32_t id = cursor->GetElementId();
            six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
            if (element && HasName(*element, street)) {
                return engine->CreateMappedGeoMolecule(id, street, 0);
            }
        }
    }
    if (place.empty()) {
        return {};
    }
    if (QueryDefaults* defaults = engine->GetQueryDefaultsRef()) {
        defaults->fromLevel = -1;
        defaults->toLevel = -1;
    }
    AddressCursorPtr cities = engine->FindCities(place, 0);
    for (; cities && cities->IsValid(); cities->Next()) {
        AddressResultPtr city = cities->GetCurrent();
        if (!city || city->GetName().size() != place.size()) {
            continue;
        }
        GeoMoleculeCursorPtr streets =
            engine->FindInArea(static_cast<std::uint32_t>(city->GetAreaId()), street);
        if (streets && streets->IsValid()) {
            if (GeoMoleculePtr found = streets->GetCurrent()) {
                return found;
            }
        }
    }
    return {};
}

bool StreetLiesInArea(const RetrievalEngine::RetrievalEnginePtr& engine, std::uint32_t areaId,
                      const GeoMoleculePtr& street) {
    if (!engine || !street) {
        return false;
    }
    for (const std::uint32_t id : street->GetElementIds()) {
        six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
        if (!element) {
            continue;
        }
        for (const std::uint32_t level : {1u, 2u, 0u}) {
            if (element->WalkAreas(level) == static_cast<std::int32_t>(areaId)) {
                return true;
            }
        }
    }
    return false;
}
