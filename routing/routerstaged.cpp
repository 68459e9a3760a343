// The staged calculation: the main route, then stage by stage the routes from its junctions over
// their other links, all gathered in a route element tree.

#include "routing/routercore.h"
#include "routing/routetree.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kNoElement = 0xFFFFFFFF;
constexpr std::uint32_t kShortStartLink = 49; // metres
constexpr std::int32_t kNearStageBound = 7;

// One branch waiting to be walked junction by junction.
struct StageEntry {
    std::int32_t stage = 0;
    RouteElement* element = nullptr;
    CrossingAddress junction;    // at the end of the element's link
    std::uint16_t linkIndex = 0; // by which the branch arrives there
    std::int32_t startLinkLength = -1;
};

// One link leaving a junction.
struct JunctionLink {
    std::uint32_t linkId = kNoElement;
    CrossingAddress target;
    std::uint8_t reverseIndex = 0;
    std::int32_t length = 0;
};

// The flags of every calculation after the main one: keep the heading, reuse the saved
// destination search, annotations on.
CalculationFlags FollowUpFlags() {
    CalculationFlags flags;
    flags.keepStartHeading = 1;
    flags.allowReuse = 1;
    flags.word = 0;
    flags.useAnnotations = 1;
    return flags;
}

RoutePositionEntry PointOnly(const GeoPoint& point) {
    return {point, point, kNoElement, 0.0f};
}

std::int32_t UnsignedMetres(float metres) {
    return metres > 0.0f ? static_cast<std::int32_t>(static_cast<std::uint32_t>(metres)) : 0;
}

// The progress observer is off the core for the run and back on every way out.
class ObserverAside {
public:
    explicit ObserverAside(RouterCore& core)
        : m_core(core)
        , m_observer(core.GetProgressObserver()) {
        m_core.SetProgressObserver(nullptr);
    }
    ~ObserverAside() { m_core.SetProgressObserver(m_observer); }
    ObserverAside(const ObserverAside&) = delete;
    ObserverAside& operator=(const ObserverAside&) = delete;

    void Report(std::int32_t percent) const {
        if (m_observer != nullptr) {
            m_observer->ReportProgress(percent);
        }
    }

private:
    RouterCore& m_core;
    ProgressObserver* m_observer;
};

// The way back when J cannot be driven on: into J, turning at its far crossing, back onto f.
// Only for a J whose far end may be left both ways (direction code 2).
RouteTreeElement* BuildTurnBackBranch(RoadNetwork& network, const RouteOptions& options,
                                      TravelMode mode, const MapDataLinkPtr& mapDataLink,
                                      RouteTree& tree, RouteElement* from, const RouteElement& f,
                                      const JunctionLink& j, const GeoPoint& junction,
                                      std::uint32_t level) {
    const auto* onward = dynamic_cast<const RouteTreeElement*>(&f);
    const NetworkCrossingPtr far = network.CreateCrossing(j.target);
    if (onward == nullptr || !far) {
        return nullptr;
    }
    const LinkCursorPtr cursor = network.CreateCursor(*far, j.reverseIndex, mode);
    if (!cursor || !cursor->IsValid() || cursor->GetDirectionCode() != 2) {
        return nullptr;
    }
    const std::vector<GeoPoint>& shape = f.GetPolyline();
    const GeoPoint fStart = shape.empty() ? junction : shape.front();
    const GeoPoint fEnd = shape.empty() ? junction : shape.back();
    const GeoPoint turn = far->Position();
    RouteRecord record;
    record.linkId = cursor->GetElementId();
    record.length = j.length;
    record.time = RecordTime(static_cast<float>(j.length), 1.0f);
    record.attributes.value = 0x0200;
    std::vector<RouteRecord> records(3, record);
    records[0].x = fStart.x;
    records[0].y = fStart.y;
    records[1].x = turn.x;
    records[1].y = turn.y;
    records[2].x = fStart.x;
    records[2].y = fStart.y;
    records[2].linkId = static_cast<std::uint32_t>(f.GetLinkValue());
    const std::uint32_t code = RecordAttributes::FromCursor(*cursor).AttributeCode();
    float speed = static_cast<float>(options.speedTable[code & 0x7FFu]);
    if (speed <= 0.0f) {
        speed = ClassSpeed(options, code); // a table without the class: never a zero division
    }
    const float time = onward->FirstExtra() + static_cast<float>(j.length) / speed * 0.002f;
    const float length = onward->SecondExtra() + 2.0f * static_cast<float>(j.length);
    return tree.BuildBranch(from, records, 0, level, mapDataLink, time, length, options, fEnd);
}

} // namespace

std::int32_t RouterCore::CalculateStaged(const RouteTreePtr& tree, const RoutePositionEntry& start,
                                         const RoutePositionEntry& destination,
                                         const CalculationFlags& flags, std::int32_t maxStageCount,
                                         float nearDistance) {
    const std::lock_guard lock(m_lock);
    if (!tree) {
        return 36;
    }
    ObserverAside observer(*this);
    observer.Report(0);
    m_stagedCalculations = 1;
    const std::int32_t code = Calculate(start, destination, flags);
    observer.Report(1);
    if (code != 6) {
        return code;
    }
    const std::vector<RouteRecord> mainRecords = BuildRecords(-1, true);
    if (mainRecords.empty()) {
        return 21;
    }
    const MapDataLinkPtr mapDataLink = m_network->GetMapDataLink();
    const TravelMode mode = SearchTravelMode();

    // The end crossing of the first link and the index there of the link the route arrives by.
    // A start without element starts on the route's first link.
    const std::uint32_t startLink =
        start.elementId != kNoElement ? start.elementId : mainRecords.front().linkId;
    CrossingQuery query;
    query.input = mainRecords.size() > 1 ? GeoPoint{mainRecords[1].x, mainRecords[1].y}
                                         : GetDestinationPosition();
    query.radius = 2000.0f;
    query.elementId = startLink;
    query.level = 0;
    if (startLink == kNoElement || !m_network->FindCrossingNear(query)) {
        return 21;
    }
    StageEntry first;
    {
        const NetworkCrossingPtr crossing = m_network->CreateCrossing(query.address);
        LinkCursorPtr cursor = crossing ? m_network->CreateCursor(*crossing, 0, mode) : nullptr;
        while (cursor && cursor->IsValid() && cursor->GetElementId() != startLink) {
            cursor->Next();
        }
        if (!cursor || !cursor->IsValid()) {
            return 21;
        }
        first.junction = crossing->GetAddress();
        first.linkIndex = static_cast<std::uint16_t>(cursor->GetIndex());
        first.startLinkLength = UnsignedMetres(start.offset);
    }
    first.element = tree->BuildBranch(nullptr, mainRecords, 0, 0, mapDataLink, GetTravelTime(),
                                      GetLength(), m_options, GetDestinationPosition());
    std::vector<StageEntry> stageList{first};

    const CalculationFlags followUp = FollowUpFlags();
    const auto calculate = [&](const RoutePositionEntry& from) {
        ++m_stagedCalculations;
        return CalculateBody(from, destination, followUp);
    };
    if (start.elementId != kNoElement && calculate(PointOnly(start.point)) == 6) {
        observer.Report(2);
        const std::vector<RouteRecord>& records = BuildRecords(-1, true);
        StageEntry second = first;
        second.startLinkLength = -1;
        // The second route's own first link and where it ends.
        CrossingQuery end;
        end.input =
            records.size() > 1 ? GeoPoint{records[1].x, records[1].y} : GetDestinationPosition();
        end.radius = 2000.0f;
        end.elementId = records.empty() ? kNoElement : records.front().linkId;
        if (end.elementId != kNoElement && m_network->FindCrossingNear(end)) {
            const NetworkCrossingPtr crossing = m_network->CreateCrossing(end.address);
            LinkCursorPtr cursor = crossing ? m_network->CreateCursor(*crossing, 0, mode) : nullptr;
            while (cursor && cursor->IsValid() && cursor->GetElementId() != end.elementId) {
                cursor->Next();
            }
            if (cursor && cursor->IsValid()) {
                second.junction = crossing->GetAddress();
                second.linkIndex = static_cast<std::uint16_t>(cursor->GetIndex());
                second.startLinkLength =
                    UnsignedMetres(static_cast<float>(cursor->GetLength()) - start.offset);
            }
        }
        second.element = tree->BuildBranch(nullptr, records, 0, 0, mapDataLink, GetTravelTime(),
                                           GetLength(), m_options, GetDestinationPosition());
        stageList.push_back(second);
    }

    std::int32_t stageCounter = 0;
    std::uint32_t pending = 0;
    StageElementList encodeList;
    bool isNear = true;
    std::int64_t progressCounter = 0;
    std::int32_t progress = 1;
    const auto mainCount = static_cast<std::int64_t>(mainRecords.size());
    std::vector<JunctionLink> links;
    // Elements walked. A branch that ran into the tree reaches elements another entry walks:
    // walking them again would only repeat that entry's calculations, mark the slots of its
    // branches as if run into, number its elements twice and count their encoded size twice.
    std::set<const RouteElement*> walked;

    while (!stageList.empty()) {
        std::vector<StageEntry> nextList;
        for (StageEntry entry : stageList) {
            if (entry.element != nullptr && walked.contains(entry.element)) {
                continue; // its walk put it on the encode list already
            }
            walked.insert(entry.element);
            if (entry.element == nullptr || entry.element->GetSuccessors().empty()) {
                encodeList.emplace_back(entry.element, stageCounter);
                continue;
            }
            RouteElement* f = entry.element->GetSuccessors().front();
            if (f != nullptr && !entry.element->IsSuccessorMarked(0)) {
                (void)tree->NumberElement(f);
                progressCounter += f->GetLevel() == 0 ? 98 : 0;
                if (static_cast<std::int32_t>(f->GetLevel()) < entry.stage) {
                    entry.stage = static_cast<std::int32_t>(f->GetLevel());
                } else {
                    f->SetLevel(static_cast<std::uint32_t>(entry.stage));
                }
            }
            const std::int32_t s = entry.stage + 1;
            const NetworkCrossingPtr junction = m_network->CreateCrossing(entry.junction);
            if (!junction) {
                encodeList.emplace_back(entry.element, stageCounter);
                continue;
            }
            const GeoPoint position = junction->Position();
            links.clear();
            {
                const LinkCursorPtr cursor = m_network->CreateRestrictedCursor(
                    *junction, true, entry.linkIndex, mode, nullptr);
                for (; cursor && cursor->IsValid(); cursor->Next()) {
                    links.push_back({cursor->GetElementId(), cursor->GetTarget(),
                                     static_cast<std::uint8_t>(cursor->GetReverseIndex()),
                                     static_cast<std::int32_t>(cursor->GetLength())});
                }
            }
            const auto fLink =
                f != nullptr ? static_cast<std::uint32_t>(f->GetLinkValue()) : kNoElement;
            bool isFound = false;
            std::vector<StageEntry> branches;
            for (const JunctionLink& j : links) {
                if (isNear && calculate(PointOnly(position)) == 6 &&
                    static_cast<float>(static_cast<std::int32_t>(GetLength())) > nearDistance) {
                    isNear = false;
                }
                if (f != nullptr && j.linkId == fLink) {
                    entry.junction = j.target;
                    entry.linkIndex = j.reverseIndex;
                    isFound = true;
                    continue;
                }
                if (s > maxStageCount &&
                    static_cast<std::uint32_t>(entry.startLinkLength) > kShortStartLink &&
                    (!isNear || s > kNearStageBound)) {
                    continue;
                }
                // The start lies on J at the junction, so the route must leave over J.
                m_isRouteValid = true;
                const RoutePositionEntry over{position, position, j.linkId, 0.0f};
                const std::int32_t result = calculate(over);
                RouteTreeElement* made = nullptr;
                std::int32_t startLength = -1;
                if (result == 6) {
                    const std::vector<RouteRecord>& records = BuildRecords(-1, true);
                    made = tree->BuildBranch(
                        entry.element, records, 0, static_cast<std::uint32_t>(s), mapDataLink,
                        GetTravelTime(), GetLength(), m_options, GetDestinationPosition());
                    startLength = s == 1 && maxStageCount == 1 ? j.length : -1;
                } else if ((result == 23 || result == 19 || result == 10) && f != nullptr) {
                    made = BuildTurnBackBranch(*m_network, m_options, mode, mapDataLink, *tree,
                                               entry.element, *f, j, position,
                                               static_cast<std::uint32_t>(s));
                }
                if (made != nullptr) {
                    branches.push_back({s, made, j.target, j.reverseIndex, startLength});
                }
            }
            if (!isFound && f != nullptr) {
                const LinkCursorPtr cursor =
                    m_network->CreateCursor(*junction, entry.linkIndex, mode);
                if (cursor && cursor->IsValid() && cursor->GetElementId() == fLink) {
                    entry.junction = cursor->GetTarget();
                    entry.linkIndex = static_cast<std::uint16_t>(cursor->GetReverseIndex());
                    isFound = true;
                }
            }
            encodeList.emplace_back(entry.element, stageCounter);
            if (isFound && f != nullptr) {
                entry.element = f;
                entry.startLinkLength = -1;
                nextList.push_back(entry);
            }
            nextList.insert(nextList.end(), branches.begin(), branches.end());
            const auto p = static_cast<std::int32_t>(
                std::min<std::int64_t>(progressCounter / std::max<std::int64_t>(mainCount, 1), 98));
            if (p + 2 > progress) {
                progress = p + 2;
                observer.Report(progress);
            }
        }
        stageList = std::move(nextList);
        pending += tree->AppendStageElements(encodeList, stageCounter);
        ++stageCounter;
    }
    const std::uint32_t last = tree->AppendStageElements(encodeList, stageCounter + 10);
    for (std::uint32_t i = 0; i < pending + last; ++i) {
        tree->AppendEncodedSize(nullptr);
    }
    tree->SetLevel0Count(tree->GetRecordCountPlus2());
    if (progress < 100) {
        observer.Report(100);
    }
    return 6;
}
