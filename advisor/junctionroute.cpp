#include "advisor/advisorkeywords.h"
#include "advisor/junctionrules.h"

#include <algorithm>
#include <string>

namespace {

namespace K = AdvisorKeywords;
using namespace junctionflags;

// Map elements of these classes name the place around a road: [920, 923).
constexpr std::uint32_t kFirstPlaceClass = 920;
constexpr std::uint32_t kPlaceClassEnd = 923;
// The level of the area hierarchy that names a town.
constexpr std::uint32_t kTownAreaLevel = 2;

std::u16string Bounded(std::u16string text, std::size_t length) {
    if (text.size() > length) {
        text.resize(length);
    }
    return text;
}

std::u16string Decimal(std::int64_t value) {
    const std::string narrow = std::to_string(value);
    return {narrow.begin(), narrow.end()};
}

} // namespace

void JunctionRules::SetElementSource(RetrievalEngine::RetrievalEnginePtr source) {
    m_source = std::move(source);
}

void JunctionRules::AttachRoute(const RouteIteratorPtr& route, const RoutePosition* destination) {
    m_route = route;
    m_iterator = GetRouteIterator(route);
    m_accumulatedLength = 0;
    m_accumulatedTime = 0;
    m_hasNextItem = m_iterator != nullptr;
    m_destinationKind = 1;
    m_destinationElement = 0xFFFFFFFF;
    m_destinationStreetName.clear();
    m_destinationStreetIds.clear();
    if (!destination || destination->GetKind() == 0xFFFFFFFF) {
        return;
    }
    const std::uint32_t kind = destination->GetKind();
    m_destinationElement = destination->GetSingleElementId();
    if (kind == RoutePosition::kOnElement || kind == RoutePosition::kNearestRoad ||
        kind == RoutePosition::kPointElement || kind == RoutePosition::kAddressWithNumber) {
        m_destinationKind = 2;
    }
    m_destinationStreetName = FirstName(m_destinationElement);
    if (m_destinationStreetName.empty() || !m_source) {
        return;
    }
    if (const GeoMoleculePtr street =
            m_source->CreateMappedGeoMolecule(m_destinationElement, m_destinationStreetName, 0)) {
        m_destinationStreetIds = street->GetElementIds();
    }
    KeepOwnDestinationStreet();
}

std::int32_t JunctionRules::TownOf(std::uint32_t elementId) const {
    const six::IntfPtr<MapElement> element = ElementOf(elementId);
    return element ? element->WalkAreas(kTownAreaLevel) : -1;
}

void JunctionRules::KeepOwnDestinationStreet() {
    if (m_destinationStreetIds.empty()) {
        return;
    }
    // The named street goes on wherever an element of the name touches the next one, through
    // other towns too: only the elements in the destination's town are its street.
    const std::int32_t town = TownOf(m_destinationElement);
    if (town != -1) {
        std::erase_if(m_destinationStreetIds, [&](std::uint32_t id) { return TownOf(id) != town; });
    }
    // The route reaches the street at its end; where it drives on the street earlier and leaves
    // it again, that part is on the way, not the destination.
    std::vector<std::uint32_t> driven;
    for (RouteIteratorPtr walker = GetRouteIterator(m_route); walker && walker->IsValid();
         walker->Next()) {
        driven.push_back(walker->Current().linkId);
    }
    const auto isInStreet = [this](std::uint32_t id) {
        return std::find(m_destinationStreetIds.begin(), m_destinationStreetIds.end(), id) !=
               m_destinationStreetIds.end();
    };
    auto reached = driven.end();
    while (reached != driven.begin() && isInStreet(*(reached - 1))) {
        --reached;
    }
    if (reached == driven.end()) {
        return; // a route that ends elsewhere does not tell where it reaches the street
    }
    // Reaching the street is its arrival where the route turns into it from a street of the
    // same town. Where the route comes along the street's name from another town, or turns in
    // from another town's street, the part begins at a town border that nothing on the road
    // shows, and the arrival, told ahead of it, would be told in the other town: there the
    // destination is reached at the route's end, as an address is.
    if (reached != driven.begin()) {
        const std::uint32_t before = *(reached - 1);
        if (FirstName(before) == m_destinationStreetName ||
            (town != -1 && TownOf(before) != town)) {
            m_destinationKind = 2;
        }
    }
    const std::vector<std::uint32_t> atEnd(reached, driven.end());
    std::erase_if(m_destinationStreetIds, [&](std::uint32_t id) {
        return std::find(driven.begin(), reached, id) != reached &&
               std::find(atEnd.begin(), atEnd.end(), id) == atEnd.end();
    });
}

bool JunctionRules::PositionAt(RouteIteratorPtr& iterator, std::uint32_t elementId) const {
    iterator = GetRouteIterator(m_route);
    if (!iterator) {
        return false;
    }
    while (iterator->IsValid()) {
        if (iterator->Current().linkId == elementId) {
            return true;
        }
        iterator->Next();
    }
    return false;
}

std::u16string JunctionRules::FirstName(std::uint32_t elementId) const {
    const six::IntfPtr<MapElement> element = ElementOf(elementId);
    std::vector<std::u16string> names;
    if (!element || !element->GetPrimaryNames(names) || names.empty()) {
        return {};
    }
    return names.front();
}

void JunctionRules::FillSignposts(const RouteItem& item) {
    m_signposts.clear();
    const six::IntfPtr<MapElement> element = ElementOf(item.linkId);
    std::vector<Signpost> signposts;
    if (!element || !element->GetSignposts(signposts)) {
        return;
    }
    // A signpost's value is the element of the road it points to.
    for (const Signpost& signpost : signposts) {
        SignpostRecord record;
        record.word = signpost.value;
        record.text = Bounded(signpost.text, kFieldLength);
        m_signposts.emplace(signpost.value, std::move(record));
    }
}

bool JunctionRules::AreaName(std::uint32_t elementId, std::u16string& name) const {
    const six::IntfPtr<MapElement> element = ElementOf(elementId);
    auto* query = m_source ? dynamic_cast<RetrievalEngine::IAreaQuery*>(m_source.Get()) : nullptr;
    if (!element || !query) {
        return false;
    }
    GeoRect rect;
    element->GetBounds(rect);
    const ElementCursorPtr cursor = query->QueryArea(rect, kFirstPlaceClass, kPlaceClassEnd);
    if (!cursor || !cursor->IsValid()) {
        return false;
    }
    const six::IntfPtr<MapElement> place = ElementOf(cursor->GetElementId());
    if (!place) {
        return false;
    }
    name = Bounded(place->GetName(), kFieldLength);
    return true;
}

void JunctionRules::GetStreetName(const RouteItem& item, std::u16string& name) {
    if (item.linkId == 0) {
        name.clear();
        return;
    }
    if ((item.flags & kPlaceName) != 0) {
        (void)AreaName(item.linkId, name);
        return;
    }
    if ((item.flags & kLookedPast) == 0) {
        name = Bounded(FirstName(item.linkId), kFieldLength);
        return;
    }
    const RouteIteratorPtr walker = m_iterator ? m_iterator->Clone() : nullptr;
    bool hasMoved = false;
    while (walker && walker->IsValid() && (walker->Current().elementAttributes & kLookedPast)) {
        walker->Next();
        hasMoved = true;
    }
    if (!hasMoved || !walker->IsValid()) {
        name.clear();
        return;
    }
    name = Bounded(FirstName(walker->Current().linkId), kFieldLength);
}

std::int32_t JunctionRules::GetExitNumber(const RouteItem& item) const {
    if ((item.flags & kRoundabout) == 0) {
        return 1;
    }
    RouteIteratorPtr walker;
    if (!PositionAt(walker, item.linkId)) {
        return 0;
    }
    walker->Next();
    if (!walker->IsValid() || (walker->Current().elementAttributes & kRoundabout) != 0) {
        return -1;
    }
    std::int32_t count = 0;
    walker->Previous();
    std::vector<NeighbourLink> allowed;
    std::vector<NeighbourLink> forbidden;
    while (walker->IsValid() && (walker->Current().elementAttributes & kRoundabout) != 0) {
        walker->GetJunctionStreets(allowed, forbidden);
        count += allowed.empty() ? 0 : 1;
        walker->Previous();
    }
    return 1 + count;
}

std::u16string JunctionRules::NextDirection(const RouteItem& current) {
    if (KindTest2OnNibble(current.flags) || (m_nextItem.flags & kLookedPast) == 0) {
        return m_turnWord;
    }
    const RouteIteratorPtr walker = m_iterator ? m_iterator->Clone() : nullptr;
    if (!walker || !walker->IsValid()) {
        return {};
    }
    while (walker->IsValid() && (walker->Current().elementAttributes & kLookedPast) != 0) {
        walker->Next();
    }
    if (!walker->IsValid()) {
        return {};
    }
    const RouteItem after = RouteItem::Of(walker->Current());
    if (after.length == 0) {
        return m_turnWord;
    }
    float angle = 0.0f;
    std::u16string word;
    if (ClassifyTurn(current, after, walker.get(), angle, word, true) ==
        turnsector::kUnmeasurable) {
        return m_turnWord;
    }
    return -36.0f < angle && angle < 36.0f ? std::u16string(K::kStraightAhead) : word;
}

std::u16string JunctionRules::GetAdviceAttribute(RouteIterator* iterator,
                                                 std::u16string_view name) {
    if (!iterator || !iterator->IsValid()) {
        return {};
    }
    const RouteItem current = RouteItem::Of(iterator->Current());
    std::u16string value;
    if (name == u"FromStreet") {
        GetStreetName(current, value);
    } else if (name == u"ToStreet") {
        GetStreetName(m_nextItem, value);
    } else if (name == u"SignpostInfo") {
        const auto found = m_signposts.find(m_nextItem.linkId);
        if (m_isSignpostInfoWanted && found != m_signposts.end()) {
            value = found->second.text + u"|";
        }
    } else if (name == u"NextDirection") {
        value = NextDirection(current);
    } else if (name == u"Length") {
        value = Decimal(current.length);
    } else if (name == u"Duration") {
        value = Decimal(current.time);
    } else if (name == K::kStreetType) {
        if (!GetRoadClass(current, value)) {
            value = m_conditions[kStreetTypeField];
        }
        value = Bounded(value, kRoadClassLength - 1) +
                ((current.flags & kStreetTypeSuffix) != 0 ? u"t" : u"c");
    } else if (name == u"exit_number") {
        value = Decimal(GetExitNumber(current));
    }
    return value;
}

bool JunctionRules::GetElementPropertyText(std::u16string& text) const {
    if (!m_currentElement || !m_source) {
        return false;
    }
    const std::int32_t area = m_currentElement->GetAreaId();
    if (area == -1) {
        return false;
    }
    text = Bounded(m_source->LookupArea(static_cast<std::uint32_t>(area)), kFieldLength);
    return true;
}

bool JunctionRules::GetPlaceName(std::u16string& text) const {
    if (!m_currentElement) {
        return false;
    }
    ElementAttributes attributes;
    m_currentElement->GetAttributes(attributes);
    if ((attributes.word & kPlaceName) == 0) {
        return false;
    }
    return AreaName(m_currentElement->GetId(), text);
}
