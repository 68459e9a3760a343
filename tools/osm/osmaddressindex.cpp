#include "tools/osm/osmaddressindex.h"

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "tools/osm/osmmapping.h"

#include <algorithm>
#include <numeric>

namespace osm2nav {
namespace {

bool Encloses(const MapRect& outer, const MapRect& inner) {
    return outer.x1 <= inner.x1 && outer.y1 <= inner.y1 && inner.x2 <= outer.x2 &&
           inner.y2 <= outer.y2;
}

double Size(const MapRect& r) {
    return static_cast<double>(r.x2 - r.x1) * static_cast<double>(r.y2 - r.y1);
}

} // namespace

std::size_t AddressIndexBuilder::AddArea(IndexAreaInput area) {
    m_areas.push_back(std::move(area));
    return m_areas.size() - 1;
}

void AddressIndexBuilder::AddCity(IndexCityInput city) {
    m_cities.push_back(std::move(city));
}

void AddressIndexBuilder::Layout() {
    const std::size_t count = m_areas.size();
    // Each area lies under the nearest higher area whose rectangle encloses its own.
    m_parents.assign(count, std::nullopt);
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < count; ++j) {
            const auto& candidate = m_areas[j];
            if (candidate.level <= m_areas[i].level ||
                !Encloses(candidate.bounds, m_areas[i].bounds)) {
                continue;
            }
            const auto& best = m_parents[i];
            if (!best || candidate.level < m_areas[*best].level ||
                (candidate.level == m_areas[*best].level &&
                 Size(candidate.bounds) < Size(m_areas[*best].bounds))) {
                m_parents[i] = j;
            }
        }
    }
    // A city named like the area that holds it stands for that area.
    m_cityElements.assign(count, 0);
    for (const auto& city : m_cities) {
        if (city.area && m_areas[*city.area].name == city.name && m_cityElements[*city.area] == 0) {
            m_cityElements[*city.area] = city.elementId;
        }
    }
    // Parents before children: by depth, then in the order added.
    std::vector<std::size_t> depth(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        for (auto at = m_parents[i]; at && depth[i] <= count; at = m_parents[*at]) {
            ++depth[i];
        }
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return depth[a] < depth[b]; });
    m_treeIndex.assign(count, -1);
    m_tree = {};
    for (const std::size_t i : order) {
        const auto& area = m_areas[i];
        const GeoRect rect = MapUnitsToDegrees(area.bounds);
        m_treeIndex[i] = m_tree.Add({area.name,
                                     area.level,
                                     m_parents[i] ? m_treeIndex[*m_parents[i]] : -1,
                                     m_cityElements[i],
                                     {rect.minX, rect.minY, rect.maxX, rect.maxY}});
        if (area.level == 10 && area.countryNames.empty()) {
            m_tables.AddCountry(area.country, 0, area.name);
        } else if (area.level == 10) {
            for (const auto& [language, name] : area.countryNames) {
                m_tables.AddCountry(area.country, language, name);
            }
        }
    }
    m_cityIndex = {};
    m_cityRecords.clear();
    for (const auto& city : m_cities) {
        const bool isArea = city.area && m_cityElements[*city.area] == city.elementId;
        m_cityRecords.push_back({city.name, isArea ? AreaId(*city.area) : city.elementId, !isArea,
                                 std::nullopt, city.country});
        m_cityIndex.Add(m_cityRecords.back());
    }
}

std::uint32_t AddressIndexBuilder::AreaId(std::size_t area) const {
    return area < m_treeIndex.size() ? m_tree.GetId(m_treeIndex[area]) : 0xFFFFFFFF;
}

std::optional<std::size_t> AddressIndexBuilder::ParentOf(std::size_t area) const {
    return area < m_parents.size() ? m_parents[area] : std::nullopt;
}

void AddressIndexBuilder::AddType(std::int16_t id, const std::string& name) {
    m_tables.AddType(id, name);
}

void AddressIndexBuilder::AddHouseNumbers(std::uint32_t elementId, const PlacedNumbers& numbers) {
    // Two records: the lowest numbers of both sides, then the highest; each side a range of
    // its parity (odd on the first side, even on the second), none where a side has no number.
    const std::uint16_t firstScheme = numbers.odd.empty() ? 0 : 13;
    const std::uint16_t secondScheme = numbers.even.empty() ? 0 : 12;
    using Side = std::vector<std::uint16_t>;
    const auto low = [](const Side& side) -> std::uint16_t {
        return side.empty() ? 0 : side.front();
    };
    const auto high = [](const Side& side) -> std::uint16_t {
        return side.empty() ? 0 : side.back();
    };
    const auto id = static_cast<std::int32_t>(elementId);
    m_tables.AddHouseNumbers(
        {id, firstScheme, secondScheme, low(numbers.odd), low(numbers.even), 0, 0});
    m_tables.AddHouseNumbers(
        {id, firstScheme, secondScheme, high(numbers.odd), high(numbers.even), 0, 0});
    ++m_numberElements;
}

void AddressIndexBuilder::AddPostalCode(const std::string& code, const GeoRect& rect) {
    m_tables.AddPostalCode(0, code, {rect.minX, rect.minY, rect.maxX, rect.maxY});
}

void AddressIndexBuilder::AddCookies(const CookieTables& cookies) {
    cookies.AddTo(m_tables);
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> AddressIndexBuilder::Files() const {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const char* name : {"Cookie2AreaId.fsr", "Cookie2Plz.fsr", "ETypeI.fsr",
                             "HouseNumbers.fsr", "Countries.fsr", "PLZes.fsr"}) {
        if (auto bytes = m_tables.BuildTable(name); !bytes.empty()) {
            files.emplace_back(name, std::move(bytes));
        }
    }
    files.emplace_back("EAreaI.tre", m_tree.Build());
    files.emplace_back("AllCitiesByName.idx", m_cityIndex.BuildByName());
    files.emplace_back("AllCitiesByCountry.idx", m_cityIndex.BuildByCountry());
    return files;
}

bool AddressIndexBuilder::WriteTo(const testdata::TempDeviceRoot& root,
                                  std::u16string_view folder) const {
    for (const auto& [name, bytes] : Files()) {
        if (!root.WriteFile(std::u16string(folder) + u"\\" + WideOf(name), bytes)) {
            return false;
        }
    }
    return true;
}

bool AddressIndexBuilder::AddToArchive(testdata::ArchiveWriter& archive) const {
    for (const auto& [name, bytes] : Files()) {
        if (!archive.AddMember(name, bytes)) {
            return false;
        }
    }
    return true;
}

std::string AddressIndexBuilder::ReadBack(RetrievalEngine::IRetrievalEngine& engine) const {
    if (!engine.HasAddressIndex() || (m_numberElements != 0 && !engine.IsHouseNumbersOpen())) {
        return "the written address index does not open";
    }
    for (const auto& city : m_cities) {
        bool isFound = false;
        for (auto cursor = engine.FindCities(WideOf(city.name), 0);
             cursor && cursor->IsValid() && !isFound; cursor->Next()) {
            isFound = cursor->GetCurrent()->GetElementId() == city.elementId;
        }
        if (!isFound) {
            return "a written city is not found through the address index: " + city.name;
        }
    }
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        const auto parent = m_parents[i];
        if (engine.LookupArea(AreaId(i)).empty() ||
            (parent && engine.WalkAreaHierarchy(AreaId(i), m_areas[*parent].level) !=
                           static_cast<std::int32_t>(AreaId(*parent)))) {
            return "a written area is not found in the area tree: " + m_areas[i].name;
        }
    }
    return {};
}

} // namespace osm2nav
