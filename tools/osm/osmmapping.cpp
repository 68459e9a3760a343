#include "tools/osm/osmmapping.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string>

namespace osm2nav {
namespace {

using namespace maprecord;

struct HighwayRule {
    std::string_view highway;
    std::uint16_t typeCode;
    std::uint8_t roadClass;
    std::uint32_t speedKmh;
};

// The highway values that become roads; links take their road's class one step lower.
constexpr std::array<HighwayRule, 16> kHighways{{
    {"motorway", kMotorwayType, 0, 120},
    {"motorway_link", kRampType, 1, 60},
    {"trunk", kTrunkType, 1, 100},
    {"trunk_link", kRampType, 2, 60},
    {"primary", kPrimaryType, 2, 80},
    {"primary_link", kRampType, 3, 50},
    {"secondary", kSecondaryType, 3, 70},
    {"secondary_link", kRampType, 4, 50},
    {"tertiary", kTertiaryType, 4, 60},
    {"tertiary_link", kRampType, 5, 40},
    {"unclassified", kMinorRoadType, 5, 50},
    {"road", kMinorRoadType, 5, 50},
    {"residential", kResidentialType, 6, 30},
    {"living_street", kLivingStreetType, 7, 10},
    {"service", kServiceRoadType, kServiceRoadClass, 20},
    {"services", kServiceRoadType, kServiceRoadClass, 20},
}};
constexpr HighwayRule kFerry{"ferry", kFerryType, 9, 10};

// Motorways, trunk and primary roads reach network level 2, secondary and tertiary roads level 1,
// their links with them; every other road stays on level 0.
std::uint8_t NetworkLevelOf(std::string_view highway) {
    const std::string_view road = highway.substr(0, highway.find("_link"));
    return road == "motorway" || road == "trunk" || road == "primary" ? 2
           : road == "secondary" || road == "tertiary"                ? 1
                                                                      : 0;
}

bool IsYes(std::string_view value) {
    return value == "yes" || value == "true" || value == "1";
}

std::uint32_t SpeedOf(std::string_view value, std::uint32_t fallback) {
    if (value.empty() || value.front() < '0' || value.front() > '9') {
        return fallback;
    }
    const std::uint32_t number = static_cast<std::uint32_t>(std::atoi(std::string(value).c_str()));
    const bool isMph = value.find("mph") != std::string_view::npos;
    const std::uint32_t kmh = isMph ? number * 1609 / 1000 : number;
    return kmh == 0 || kmh > 300 ? fallback : kmh;
}

void AppendAlternative(std::string& joined, std::string_view utf8) {
    // '/' separates alternatives, so a part's own '/' would split it.
    std::string part = ToCodePage1252(utf8, 64);
    std::replace(part.begin(), part.end(), '/', '-');
    if (part.empty()) {
        return;
    }
    std::size_t start = 0;
    while (start <= joined.size()) {
        const std::size_t end = std::min(joined.find('/', start), joined.size());
        if (joined.compare(start, end - start, part) == 0 && !joined.empty()) {
            return;
        }
        start = end + 1;
    }
    joined += (joined.empty() ? "" : "/") + part;
}

} // namespace

std::string_view TagValue(const Tags& tags, std::string_view key) {
    for (const auto& [k, v] : tags) {
        if (k == key) {
            return v;
        }
    }
    return {};
}

std::optional<RoadMapping> MapRoad(const Tags& tags, bool withService) {
    const HighwayRule* rule = nullptr;
    const std::string_view highway = TagValue(tags, "highway");
    for (const auto& candidate : kHighways) {
        if (candidate.highway == highway) {
            rule = &candidate;
        }
    }
    const bool isFerry = TagValue(tags, "route") == "ferry";
    if (isFerry) {
        rule = &kFerry;
    }
    if (rule == nullptr || (rule->typeCode == kServiceRoadType && !withService)) {
        return std::nullopt;
    }
    RoadMapping road;
    road.typeCode = rule->typeCode;
    road.roadClass = rule->roadClass;
    road.speedKmh = SpeedOf(TagValue(tags, "maxspeed"), rule->speedKmh);
    road.isFerry = isFerry;
    road.networkLevel = isFerry ? 0 : NetworkLevelOf(highway);
    road.isRoundabout = TagValue(tags, "junction") == "roundabout";
    road.extendedCode = road.isRoundabout             ? kRoundaboutCode
                        : rule->typeCode == kRampType ? kRampCode
                                                      : 0;
    const std::string_view oneway = TagValue(tags, "oneway");
    road.isReversed = oneway == "-1" || oneway == "reverse";
    road.isOneWay = IsYes(oneway) || road.isReversed ||
                    (oneway != "no" &&
                     (road.isRoundabout || highway == "motorway" || highway == "motorway_link"));
    const std::string_view access = TagValue(tags, "access");
    const std::string_view vehicle = TagValue(tags, "motor_vehicle");
    road.isClosed =
        access == "no" || access == "private" || vehicle == "no" || vehicle == "private";
    road.hasToll = IsYes(TagValue(tags, "toll"));
    road.isBridge = !TagValue(tags, "bridge").empty() && TagValue(tags, "bridge") != "no";
    road.isTunnel = !TagValue(tags, "tunnel").empty() && TagValue(tags, "tunnel") != "no";
    return road;
}

std::uint32_t RoadAttributes(const RoadMapping& road) {
    // One-way roads run along their point order: reversed ways were turned round when read.
    return (road.isOneWay ? maprecord::kRawOneWayAlong : maprecord::kRawBothWays) |
           (road.isRoundabout ? maprecord::kRawRing : 0);
}

std::uint8_t LinkClass(const RoadMapping& road) {
    return road.isFerry ? static_cast<std::uint8_t>(kSpecialLinkMark | (road.roadClass & 7u))
                        : road.roadClass;
}

std::uint8_t RoadLayer(const RoadMapping& road) {
    return road.isFerry ? kFerryLayer : kRoadLayer;
}

std::uint16_t PoiTypeOf(const Tags& tags) {
    struct Kind {
        std::string_view key;
        std::string_view value;
    };
    static constexpr std::array<Kind, maprecord::kPoiTypeEnd - maprecord::kFirstPoiType> kKinds{
        {{"amenity", "fuel"},
         {"amenity", "parking"},
         {"amenity", "hospital"},
         {"railway", "station"}}};
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        if (TagValue(tags, kKinds[i].key) == kKinds[i].value) {
            return static_cast<std::uint16_t>(maprecord::kFirstPoiType + i);
        }
    }
    return 0;
}

std::string NameOf(const Tags& tags) {
    std::string joined;
    for (const std::string_view key : {"name", "ref", "int_name"}) {
        AppendAlternative(joined, TagValue(tags, key));
    }
    return joined;
}

std::string StreetNameOf(const Tags& tags) {
    const std::string joined = NameOf(tags);
    return joined.substr(0, joined.find('/'));
}

std::string CityNameOf(const Tags& tags) {
    const std::string_view place = TagValue(tags, "place");
    if (place != "city" && place != "town" && place != "village" && place != "suburb") {
        return {};
    }
    return ToCodePage1252(TagValue(tags, "name"));
}

bool IsMunicipalityPlace(const Tags& tags) {
    const std::string_view place = TagValue(tags, "place");
    return place == "city" || place == "town" || place == "village";
}

int AdminLevelOf(const Tags& tags) {
    if (TagValue(tags, "boundary") != "administrative") {
        return 0;
    }
    const std::string_view level = TagValue(tags, "admin_level");
    for (int known = 2; known <= 10; ++known) {
        if (level == std::to_string(known)) {
            return known;
        }
    }
    return 0;
}

std::vector<std::uint32_t> AreaLevelsOf(const std::vector<AdminArea>& areas) {
    constexpr std::uint32_t kInnerLevel = 1;
    const auto isLargerUnit = [&](const AdminArea& area) {
        return area.adminLevel > kCountryAdminLevel && area.adminLevel < kMunicipalityAdminLevel &&
               !area.isMunicipality;
    };
    std::vector<std::uint32_t> levels(areas.size(), kInnerLevel);
    std::vector<std::size_t> units;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        if (areas[i].adminLevel == kCountryAdminLevel) {
            levels[i] = kCountryAreaLevel;
        } else if (areas[i].isMunicipality || areas[i].adminLevel == kMunicipalityAdminLevel) {
            levels[i] = kMunicipalityAreaLevel;
        } else if (isLargerUnit(areas[i])) {
            levels[i] = kMunicipalityAreaLevel + 1;
            units.push_back(i);
        }
    }
    // From the units nearest to the municipalities (the highest admin_level) outwards: a unit's
    // level is final once every unit it holds, all of a higher admin_level, has raised it.
    std::stable_sort(units.begin(), units.end(), [&](std::size_t a, std::size_t b) {
        return areas[a].adminLevel > areas[b].adminLevel;
    });
    for (const std::size_t unit : units) {
        for (const std::size_t holder : areas[unit].holders) {
            if (holder < areas.size() && isLargerUnit(areas[holder]) &&
                areas[holder].adminLevel < areas[unit].adminLevel) {
                levels[holder] = std::max(levels[holder], levels[unit] + 1);
            }
        }
    }
    return levels;
}

namespace {

struct CountryNumber {
    std::string_view code;
    std::uint16_t number;
};
// The countries that TMC messages name by an engine country number take that number (the first
// twelve). The other countries of Europe take the numbers left free, in the order of their codes;
// they leave out 2, 26 and 32 as well, by which the road-number shields know further countries.
constexpr std::size_t kTmcCountryCount = 12;
constexpr std::array<CountryNumber, 46> kCountryNumbers{{
    {"AT", 4},  {"BE", 6},  {"CH", 45}, {"DE", 17}, {"DK", 12}, {"ES", 43}, {"FR", 16}, {"GB", 48},
    {"IT", 24}, {"NL", 33}, {"NO", 34}, {"SE", 44}, {"AD", 1},  {"AL", 3},  {"BA", 5},  {"BG", 7},
    {"BY", 8},  {"CY", 9},  {"CZ", 10}, {"EE", 11}, {"FI", 13}, {"GR", 14}, {"HR", 15}, {"HU", 18},
    {"IE", 19}, {"IS", 20}, {"LI", 21}, {"LT", 22}, {"LU", 23}, {"LV", 25}, {"MC", 27}, {"MD", 28},
    {"ME", 29}, {"MK", 30}, {"MT", 31}, {"PL", 35}, {"PT", 36}, {"RO", 37}, {"RS", 38}, {"RU", 39},
    {"SI", 40}, {"SK", 41}, {"SM", 42}, {"TR", 46}, {"UA", 47}, {"VA", 49},
}};
constexpr std::array<std::uint16_t, 3> kShieldOnlyNumbers{2, 26, 32};
constexpr std::uint16_t kLastCountryNumber = 50;

} // namespace

std::uint16_t CountryCodeOf(const Tags& tags) {
    const std::string_view code = TagValue(tags, "ISO3166-1");
    for (const auto& country : kCountryNumbers) {
        if (country.code == code) {
            return country.number;
        }
    }
    return 0;
}

std::uint16_t FreeCountryNumber(const std::set<std::uint16_t>& taken) {
    for (std::uint16_t number = 1; number <= kLastCountryNumber; ++number) {
        const bool isNamed =
            std::any_of(kCountryNumbers.begin(), kCountryNumbers.begin() + kTmcCountryCount,
                        [&](const CountryNumber& country) { return country.number == number; }) ||
            std::find(kShieldOnlyNumbers.begin(), kShieldOnlyNumbers.end(), number) !=
                kShieldOnlyNumbers.end();
        if (!isNamed && taken.count(number) == 0) {
            return number;
        }
    }
    return 0;
}

std::vector<std::pair<std::uint16_t, std::string>> CountryNamesOf(const Tags& tags) {
    struct NameLanguage {
        std::uint16_t number;
        std::string_view key;
    };
    static constexpr std::array<NameLanguage, 7> kLanguages{{{0, "name:de"},
                                                             {1, "name:en"},
                                                             {2, "name:de"},
                                                             {3, "name:fr"},
                                                             {4, "name:es"},
                                                             {5, "name:it"},
                                                             {6, "name:nl"}}};
    std::vector<std::pair<std::uint16_t, std::string>> names;
    const std::string name = ToCodePage1252(TagValue(tags, "name"));
    for (const auto& language : kLanguages) {
        std::string own = ToCodePage1252(TagValue(tags, language.key));
        if (!own.empty() || !name.empty()) {
            names.emplace_back(language.number, own.empty() ? name : std::move(own));
        }
    }
    return names;
}

std::optional<Address> AddressOf(const Tags& tags) {
    Address address{ToCodePage1252(TagValue(tags, "addr:street"), 16),
                    ToCodePage1252(TagValue(tags, "addr:housenumber"), 16),
                    ToCodePage1252(TagValue(tags, "addr:postcode"), 16)};
    if (address.street.empty() || address.number.empty()) {
        return std::nullopt;
    }
    return address;
}

std::u16string WideOf(std::string_view codePage1252) {
    std::u16string wide;
    for (const char c : codePage1252) {
        wide += platform::AnsiToWideChar(static_cast<unsigned char>(c));
    }
    return wide;
}

std::string ToCodePage1252(std::string_view utf8, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size() && out.size() < limit;) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        i += length;
        // Latin-1's printable characters keep their code; code page 1252 has bytes 0x80-0x9F
        // (Latin-1's controls) for 27 characters beyond it, such as the euro sign, Š and dashes.
        unsigned char byte = '?';
        if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) {
            byte = static_cast<unsigned char>(code);
        } else if (code > 0xFF && code <= 0xFFFF &&
                   !platform::WideCharToAnsi(static_cast<WCHAR>(code), byte)) {
            byte = '?';
        }
        out += static_cast<char>(byte);
    }
    return out;
}

} // namespace osm2nav
