#include "app/destinations/destinationareas.h"

#include "app/destinations/uddrecord.h"
#include "basiccomp/retrievalengine/code/mapelement.h"

namespace {

constexpr std::int32_t kOwnAreaLevel = 1;
constexpr std::int32_t kOuterAreaLevel = 2;

std::u16string AreaName(RetrievalEngine::IRetrievalEngine& engine, std::int32_t area) {
    return area < 0 ? std::u16string() : engine.LookupArea(static_cast<std::uint32_t>(area));
}

StreetAreaNames AreaNamesAt(RetrievalEngine::IRetrievalEngine& engine, std::int32_t own,
                            std::int32_t outer) {
    StreetAreaNames names;
    names.outer = AreaName(engine, outer);
    if (own != outer)
        names.own = AreaName(engine, own);
    return names;
}

} // namespace

StreetAreaNames AreaNamesOfStreet(RetrievalEngine::IRetrievalEngine& engine, IGeoMolecule& street) {
    return AreaNamesAt(engine, street.WalkAreaHierarchy(kOwnAreaLevel),
                       street.WalkAreaHierarchy(kOuterAreaLevel));
}

StreetAreaNames AreaNamesOfElement(RetrievalEngine::IRetrievalEngine& engine,
                                   std::uint32_t elementId) {
    const six::IntfPtr<MapElement> element = engine.GetMappedElement(elementId);
    if (!element)
        return {};
    return AreaNamesAt(engine, element->WalkAreas(kOwnAreaLevel),
                       element->WalkAreas(kOuterAreaLevel));
}

std::u16string QualifierOf(const std::u16string& name, const std::u16string& secondName) {
    return secondName == name ? std::u16string() : secondName;
}

void SetQualifiers(DestinationEntry& entry, const AddressResultPtr& city,
                   const GeoMoleculePtr& street) {
    entry.placeQualifier = city ? city->GetPostalCode() : std::u16string();
    entry.streetQualifier =
        street ? QualifierOf(street->GetName(), street->GetSecondName()) : std::u16string();
}

DestinationAdditions AdditionsOf(RetrievalEngine::IRetrievalEngine* engine,
                                 const DestinationEntry& entry) {
    if (engine == nullptr || !entry.location)
        return {};
    StreetAreaNames names = AreaNamesOfElement(*engine, entry.location->GetSingleElementId());
    DestinationAdditions additions;
    if (names.outer != entry.name)
        additions.place = std::move(names.outer);
    if (names.own != entry.secondText)
        additions.street = std::move(names.own);
    return additions;
}

bool IsSameDestination(std::u16string_view a, std::u16string_view b) {
    struct Key {
        float x = 0;
        float y = 0;
        std::u16string place;
        std::u16string street;
        std::uint8_t userDefined = 0;
        bool operator==(const Key&) const = default;
    };
    const auto keyOf = [](std::u16string_view record) {
        Key key;
        std::u16string placeLine, streetLine, extra, number;
        (void)UddRecord::Parse(record, key.x, key.y, placeLine, streetLine, key.place, key.street,
                               extra, number, key.userDefined);
        return key;
    };
    return keyOf(a) == keyOf(b);
}

std::u16string DestinationRecord(const DestinationEntry& entry, const std::u16string& houseNumber,
                                 const DestinationAdditions& additions) {
    if (!entry.location)
        return {};
    const GeoPoint at = entry.location->GetSinglePoint();
    return UddRecord::Build(at.x, at.y, entry.name.c_str(), entry.secondText.c_str(),
                            houseNumber.c_str(), additions.place.c_str(), additions.street.c_str(),
                            entry.placeQualifier.c_str(), entry.streetQualifier.c_str(),
                            entry.isPickedOnMap != 0);
}
