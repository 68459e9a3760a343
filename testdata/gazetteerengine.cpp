#include "testdata/gazetteerengine.h"

#include <string>
#include <utility>

namespace testdata {
namespace {

bool StartsWith(const std::u16string& text, const std::u16string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

class GazetteerCityResult final : public IAddressResult {
public:
    explicit GazetteerCityResult(GazetteerCity city)
        : m_city(std::move(city)) {}
    std::u16string GetName() override { return m_city.name; }
    std::u16string GetSecondName() override { return m_city.secondName; }
    std::uint16_t GetValue() override { return 0; }
    std::uint32_t GetId() override { return m_city.id; }
    std::int32_t GetAreaId() override { return m_city.areaId; }
    std::u16string GetPostalCode() override { return m_city.postalCode; }
    std::uint32_t GetElementId() override { return 0xFFFFFFFFu; }
    GeoRect GetRect() override { return m_city.rect; }
    bool HasArea() override { return m_city.hasArea; }

private:
    GazetteerCity m_city;
};

class GazetteerStreetResult final : public IGeoMolecule {
public:
    explicit GazetteerStreetResult(GazetteerStreet street)
        : m_street(std::move(street)) {}
    std::uint32_t GetId() override { return 0; }
    std::u16string GetName() override { return m_street.name; }
    std::u16string GetSecondName() override { return {}; }
    std::int32_t GetVariantCode() override { return -1; }
    std::u16string GetPostalCode() override { return m_street.postalCode; }
    std::u16string GetTypeName() override { return {}; }
    std::int32_t GetType() override { return 0; }
    std::int32_t GetAreaId() override { return m_street.areaId; }
    std::int32_t WalkAreaHierarchy(std::int32_t level) override {
        return level == 1 ? m_street.level1Area : -1;
    }
    std::vector<std::uint32_t> GetElementIds() override { return {}; }
    std::vector<std::uint32_t> GetCrossStreets() override { return {}; }
    bool HasHouseNumbers() override { return m_street.hasHouseNumbers; }
    bool HasHouseNumber(const HouseNumber&) override { return false; }
    ElementPosition GetHouseNumberPosition(const HouseNumber&) override { return {}; }
    ElementPosition GetCrossingWith(std::uint32_t) override { return {}; }

private:
    GazetteerStreet m_street;
};

class GazetteerPostalResult final : public IPostalCode {
public:
    explicit GazetteerPostalResult(GazetteerPostalCode code)
        : m_code(std::move(code)) {}
    std::u16string GetText() override { return m_code.text; }
    GeoRect GetRect() override { return m_code.rect; }

private:
    GazetteerPostalCode m_code;
};

// A cursor over results made in advance.
template <class Cursor, class Result> class ListCursor final : public Cursor {
public:
    explicit ListCursor(std::vector<Result> results)
        : m_results(std::move(results)) {}
    bool Next() override { return ++m_index < m_results.size(); }
    Result GetCurrent() override { return IsValid() ? m_results[m_index] : Result(); }
    bool IsValid() override { return m_index < m_results.size(); }

private:
    std::vector<Result> m_results;
    std::size_t m_index = 0;
};

} // namespace

GeoMoleculeCursorPtr GazetteerEngine::FindInArea(std::uint32_t areaId, const std::u16string& name) {
    const std::string area = std::to_string(areaId);
    searches.push_back(u"street:" + std::u16string(area.begin(), area.end()) + u":" + name);
    streetQueries.push_back(m_defaults);
    std::vector<GeoMoleculePtr> found;
    for (const GazetteerStreet& street : streets) {
        if (static_cast<std::uint32_t>(street.areaId) == areaId && StartsWith(street.name, name)) {
            found.push_back(GeoMoleculePtr(new GazetteerStreetResult(street)));
        }
    }
    return GeoMoleculeCursorPtr(
        new ListCursor<IGeoMoleculeCursor, GeoMoleculePtr>(std::move(found)));
}

std::u16string GazetteerEngine::LookupArea(std::uint32_t areaId) {
    const auto name = areaNames.find(areaId);
    return name != areaNames.end() ? name->second : std::u16string();
}

AddressCursorPtr GazetteerEngine::FindCities(const std::u16string& name, std::uint16_t) {
    searches.push_back(u"city:" + name);
    std::vector<AddressResultPtr> found;
    for (const GazetteerCity& city : cities) {
        if (StartsWith(city.name, name)) {
            found.push_back(AddressResultPtr(new GazetteerCityResult(city)));
        }
    }
    return AddressCursorPtr(new ListCursor<IAddressCursor, AddressResultPtr>(std::move(found)));
}

PostalCodeCursorPtr GazetteerEngine::FindPostalCodes(const std::u16string& postalCode,
                                                     std::uint16_t) {
    searches.push_back(u"postal:" + postalCode);
    std::vector<PostalCodePtr> found;
    for (const GazetteerPostalCode& code : postalCodes) {
        if (code.text == postalCode) {
            found.push_back(PostalCodePtr(new GazetteerPostalResult(code)));
        }
    }
    return PostalCodeCursorPtr(new ListCursor<IPostalCodeCursor, PostalCodePtr>(std::move(found)));
}

std::int32_t GazetteerEngine::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) {
    for (const GazetteerCity& city : cities) {
        if (city.id == areaId && value == 3) {
            return city.level3Area;
        }
    }
    return -1;
}

} // namespace testdata
