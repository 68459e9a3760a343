#pragma once
// The located addresses the route requests are made for: a street at a house number and a
// city at the middle of its rectangle. Each holds its own reference to the map object.

#include "routing/routepositionimpl.h"
#include "tablefiles/addressinterfaces.h"
#include "tablefiles/housenumber.h"

#include <utility>

// A street located at its house number (or its middle without one).
class LocatedStreet final : public ILocatedAddress {
public:
    LocatedStreet(GeoMoleculePtr street, HouseNumber number)
        : m_street(std::move(street))
        , m_number(number) {}
    AddressLocation GetLocation() override {
        const ElementPosition at = m_street->GetHouseNumberPosition(m_number);
        return {at.elementId, at.point.x, at.point.y};
    }

private:
    GeoMoleculePtr m_street;
    HouseNumber m_number;
};

// A city located at its own element, at the middle of its rectangle.
class LocatedCity final : public ILocatedAddress {
public:
    explicit LocatedCity(AddressResultPtr city)
        : m_city(std::move(city)) {}
    AddressLocation GetLocation() override {
        const GeoRect rect = m_city->GetRect();
        return {m_city->GetElementId(), (rect.minX + rect.maxX) / 2.0f,
                (rect.minY + rect.maxY) / 2.0f};
    }

private:
    AddressResultPtr m_city;
};
