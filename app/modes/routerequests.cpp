// The route requests of the modes: single routes, the tour leg by leg, the re-plan after a
// traffic jam, the report of a failed request, the route options and the "Recent" list.

#include "app/destinations/addresspage.h"
#include "app/destinations/destinationareas.h"
#include "app/destinations/destinationinputpage.h"
#include "app/destinations/locatedaddress.h"
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "app/modeinterface/routeswitches.h"
#include "app/modes/modecontrollerbase.h"
#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/pages/routelist.h"
#include "app/startup/voicepointer.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/dialogbase.h"
#include "ui/messagedialogs.h"
#include "ui/progressdlg.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/window/input.h"
#include "platform/window/shell.h"

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kRouteFound = 8;
// The start is the destination: a route of no length.
constexpr std::uint32_t kStartIsDestination = 5;
// What a tour stop reached where the one before it was is told with: as a stop reached on the
// way, or as the destination when it is the last.
constexpr char16_t kStopReachedPhrase[] = u"[StopReached]";
constexpr char16_t kDestinationReachedPhrase[] = u"[DestinationReached]";
constexpr int kMaxStopText = 255;
constexpr std::uint32_t kPlaceAreaLevel = 2;
constexpr char16_t kPedestrianZonePhrase[] = u"[Attention] [DestinationInPedestrianZone]";
constexpr char16_t kTrafficJamPhrase[] = u"[TrafficJamCollideWithRoute]";

// The progress dialog as the route service's observer: cancelling is its stop flag, which
// pumping the messages returns.
class DialogProgress final : public ProgressObserver {
public:
    explicit DialogProgress(ProgressSink& sink)
        : m_sink(sink) {}
    bool IsCancelled() override { return m_sink.Pump(); }
    void ReportProgress(std::int32_t percent) override {
        m_isFinished = m_isFinished || percent >= 100;
        m_sink.SetProgress(percent);
    }
    // Completes the dialog's stage of this request unless the search already reported its end.
    void FinishStage() {
        if (!m_isFinished)
            ReportProgress(100);
    }

private:
    ProgressSink& m_sink;
    bool m_isFinished = false;
};

bool HasHouseNumber(const DestinationEntry& entry) {
    const unsigned short number = entry.houseNumber.GetNumber();
    return number >= 1 && number <= 65534;
}

std::u16string HouseNumberText(const DestinationEntry& entry) {
    if (!HasHouseNumber(entry))
        return {};
    const std::string digits = std::to_string(entry.houseNumber.GetNumber());
    return {digits.begin(), digits.end()};
}

std::u16string StopLine(const DestinationEntry& entry) {
    return entry.name + u", " + entry.secondText;
}

ModeControllerBase::FailureDialog& FailureDialogSlot() {
    static ModeControllerBase::FailureDialog dialog;
    return dialog;
}

int RunFailureDialog(UINT textId, const std::u16string& insert, HWND owner) {
    if (const auto& scripted = FailureDialogSlot())
        return scripted(textId, insert, owner);
    DestNotFoundMsgBox dialog(textId, insert);
    (void)dialog.DoModal(owner);
    return dialog.GetResult();
}

// The text shown for a failure code.
UINT FailureTextId(int code) {
    switch (code) {
    case 2:
    case 3:
        return 1086;
    case 5:
        return 543;
    case 13:
    case 14:
        return 1090;
    case 16:
    case 19:
        return 1079;
    case 17:
    case 18:
    case 20:
    case 21:
        return 1074;
    default:
        return 536;
    }
}

bool IsStartSideCode(int code) {
    switch (code) {
    case 2:
    case 3:
    case 5:
    case 13:
    case 16:
    case 17:
    case 18:
        return true;
    default:
        return false;
    }
}

} // namespace

void ModeControllerBase::SetFailureDialog(FailureDialog dialog) {
    FailureDialogSlot() = std::move(dialog);
}

void ModeControllerBase::BuildRouteOptions(ExternalRouteOptions& options) {
    options.speed[6] = 35;
    options.speed[7] = 25;
    options.speed[12] = 30;
    ApplyRoadKindSwitches(options, !m_avoidHighways, !m_avoidFerries, !m_avoidTolls);
    options.routeType = 2;
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    options.customFactor =
        static_cast<float>(IniProfile::GetInt(u"Zudav", u"RouteQuality", settings.c_str(), 25)) *
        0.01f;
    options.mixWeight = (m_dynamicRoute || m_quickest) ? 0.1f : 0.8f;
}

void ModeControllerBase::ApplyRouteOptions() {
    if (!m_server)
        return;
    const ExternalRouteOptions* current = m_server->GetRoutingOptions();
    ExternalRouteOptions options = current != nullptr ? *current : ExternalRouteOptions(1, 1);
    BuildRouteOptions(options);
    m_server->SetRoutingOptions(&options);
}

std::u16string ModeControllerBase::FormatStopText(const DestinationEntry& entry, bool isStart) {
    std::u16string text =
        LoadDialogString(isStart ? kStartStopTextId : kDestinationStopTextId, kMaxStopText);
    text += StopLine(entry);
    if (HasHouseNumber(entry))
        text += u" " + HouseNumberText(entry);
    return text;
}

DestinationEntry
ModeControllerBase::EntryFromDescription(const DestinationDescription& description) {
    DestinationEntry entry;
    const std::u16string cityName = description.city ? description.city->GetName() : u"";
    if (!m_server)
        return entry;
    if (description.street) {
        (void)entry.houseNumber.Parse(
            reinterpret_cast<const WCHAR*>(description.houseNumber.c_str()));
        const auto number = static_cast<std::int16_t>(entry.houseNumber.GetNumber());
        LocatedStreet address(description.street, entry.houseNumber);
        (void)m_server->CreateStreetDestination(entry.location, address, &number);
        entry.name = cityName;
        entry.secondText = description.street->GetName();
        SetQualifiers(entry, description.city, description.street);
    } else if (description.city) {
        const std::int16_t number = 0;
        LocatedCity address(description.city);
        (void)m_server->CreateStreetDestination(entry.location, address, &number);
        entry.name = cityName;
        entry.secondText = cityName;
        SetQualifiers(entry, description.city, nullptr);
    }
    return entry;
}

DestinationEntry ModeControllerBase::CurrentDestination() {
    if (m_stopIndex >= 0 && m_stopIndex < static_cast<int>(m_stops.size()))
        return m_stops[static_cast<std::size_t>(m_stopIndex)];
    const PickedDestination& picked = PickedDestination::Instance();
    if (picked.pending != 0) {
        DestinationEntry entry;
        entry.location = picked.destination;
        entry.name = picked.placeName;
        entry.secondText = picked.nameText;
        entry.isPickedOnMap = 1;
        return entry;
    }
    if (!m_description.location)
        return EntryFromDescription(m_description);
    DestinationEntry entry;
    entry.location = m_description.location;
    if (m_description.city)
        entry.name = m_description.city->GetName();
    return entry;
}

void ModeControllerBase::DescriptionFromEntry(const DestinationEntry& entry) {
    if (!entry.location || !m_server)
        return;
    RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine();
    if (!engine)
        return;
    // The place: the level-2 area of the destination's element, else the entry's own place.
    std::u16string place = entry.name;
    if (six::IntfPtr<MapElement> element =
            engine->GetMappedElement(entry.location->GetSingleElementId())) {
        const std::int32_t area = element->WalkAreas(kPlaceAreaLevel);
        if (area != -1) {
            std::u16string name = engine->LookupArea(static_cast<std::uint32_t>(area));
            if (!name.empty())
                place = std::move(name);
        }
    }
    AddressResultPtr city;
    if (!place.empty()) {
        for (AddressCursorPtr cities = engine->FindCities(place, 0); cities && cities->IsValid();
             cities->Next()) {
            AddressResultPtr candidate = cities->GetCurrent();
            if (candidate && candidate->GetName().size() == place.size()) {
                city = std::move(candidate);
                break;
            }
        }
    }
    const GeoPoint at = entry.location->GetSinglePoint();
    GeoMoleculePtr street;
    if (!entry.secondText.empty() && entry.secondText != entry.name)
        street = FindStreetNearPoint(m_server, at.x, at.y, entry.secondText, place);
    m_description.city = city;
    m_description.street = street;
    m_description.location = street ? RoutePositionPtr() : entry.location;
    m_description.houseNumber = HouseNumberText(entry);
}

void ModeControllerBase::AddDestinationToList(const std::u16string& section, int maxCount) {
    const PickedDestination& picked = PickedDestination::Instance();
    DestinationEntry entry;
    if (picked.pending == 0) {
        entry = EntryFromDescription(m_description);
        entry.isPickedOnMap = 0;
    } else {
        entry.location = m_description.location ? m_description.location : picked.destination;
        entry.name = picked.placeName;
        entry.secondText = picked.nameText;
        entry.isPickedOnMap = 1;
    }
    AddToDestinationList(section, maxCount, entry);
}

void ModeControllerBase::AddToDestinationList(const std::u16string& section, int maxCount,
                                              const DestinationEntry& entry) {
    if (!entry.location || maxCount <= 0)
        return;
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    const std::u16string record =
        DestinationRecord(entry, HouseNumberText(entry), AdditionsOf(engine.Get(), entry));
    if (record.empty())
        return;
    StoredDestinationList list(u"", section);
    if (list.IsDamaged()) {
        // The settings file is never rewritten; the user hears so once.
        IniProfile::ReportDamagedFile(list.Path());
        return;
    }
    std::vector<std::u16string> records = list.Records();
    // An earlier record of the destination goes, also one stored without area names.
    std::erase_if(
        records, [&record](const std::u16string& kept) { return IsSameDestination(kept, record); });
    records.insert(records.begin(), record);
    if (records.size() > static_cast<std::size_t>(maxCount))
        records.resize(static_cast<std::size_t>(maxCount));
    if (!list.Replace(std::move(records))) {
        // The file could not be rewritten (read-only media, a full storage): the user hears so
        // once, as of the other settings that cannot be saved.
        IniProfile::ReportUnsavedFile(list.Path());
    }
}

bool ModeControllerBase::CalculateRoute(bool addToRecent) {
    return PlanRoute(addToRecent, false) == kRouteFound;
}

std::uint32_t ModeControllerBase::PlanRoute(bool addToRecent, bool isTourStop) {
    (void)ShowInputPanel(false);
    RouteRequestResult result(1);
    ApplyRouteOptions();
    const DestinationEntry destination = CurrentDestination();
    if (m_server) {
        ProgressDlg dialog(true);
        m_server->EnableTrafficAvoidance(false);
        DialogProgress observer(dialog);
        BeginRequest();
        (void)m_server->RequestRoute(result, m_position,
                                     Onboard::RouteRequest{destination.location, 0, &observer});
        EndRequest();
    }
    if (isTourStop && result.status == kStartIsDestination) {
        // The stop lies where the car is (a tour that stops twice on one street): it is reached.
        if (addToRecent && m_stopIndex >= 0 && m_stopIndex < static_cast<int>(m_stops.size()))
            AddToDestinationList(kRecentSection, kRecentListSize,
                                 m_stops[static_cast<std::size_t>(m_stopIndex)]);
        return result.status;
    }
    if (result.status != kRouteFound) {
        const DestinationEntry none;
        (void)ReportRouteFailure(static_cast<int>(result.status), &destination, &none, -1);
        return result.status;
    }
    if (m_dynamicRoute) {
        m_server->EnableTrafficAvoidance(true);
        if (!m_trafficConnected) {
            m_server->TrafficEvent.Connect(this, &ModeControllerBase::OnTrafficJamOnRoute);
            m_trafficConnected = true;
        }
    }
    if (addToRecent) {
        if (m_stopIndex >= 0 && m_stopIndex < static_cast<int>(m_stops.size()))
            AddToDestinationList(kRecentSection, kRecentListSize,
                                 m_stops[static_cast<std::size_t>(m_stopIndex)]);
        else
            AddDestinationToList(kRecentSection, kRecentListSize);
    }
    const six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput();
    RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine();
    if (voice && engine && destination.location) {
        six::IntfPtr<MapElement> element =
            engine->GetMappedElement(destination.location->GetSingleElementId());
        if (element && element->GetTypeCode() == maprecord::kPedestrianZoneType)
            (void)voice->Say(kPedestrianZonePhrase);
    }
    // Guidance that ended moments ago (a tour's stop reached) armed the clearing of the
    // server's route: the route planned now is guided.
    DisarmServerTimer();
    if (m_mapPage) {
        // The page's map view takes a route only once the page has its window.
        ShowPage(m_mapPage.get());
        m_mapPage->ShowRoute(result);
    }
    m_mainPageShown = false;
    return kRouteFound;
}

bool ModeControllerBase::NextStop(bool queryOnly) {
    const auto hasNext = [this] {
        return m_stopIndex != -1 && !m_stops.empty() &&
               m_stopIndex + 1 < static_cast<int>(m_stops.size());
    };
    if (queryOnly)
        return hasNext();
    if (!hasNext()) {
        if (m_stopIndex != -1 && !m_stops.empty())
            m_stopIndex = -1;
        return false;
    }
    // A stop where the one before it was is reached at once: told as every stop is, and the
    // tour goes on to the next; the last one so reached ends the tour as its destination.
    for (;;) {
        ++m_stopIndex;
        m_tourOptions = true;
        if (PlanRoute(true, true) != kStartIsDestination)
            return true;
        const bool isLast = !hasNext();
        if (const six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput())
            (void)voice->Say(isLast ? kDestinationReachedPhrase : kStopReachedPhrase);
        if (isLast) {
            m_stopIndex = -1;
            return true;
        }
    }
}

void ModeControllerBase::Replan() {
    if (!m_server)
        return;
    ProgressDlg dialog(false);
    if (const six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput())
        (void)voice->Say(kTrafficJamPhrase);
    const DestinationEntry destination = CurrentDestination();
    DialogProgress observer(dialog);
    RouteRequestResult dropped(1);
    BeginRequest();
    (void)m_server->RequestRoute(dropped, m_position,
                                 Onboard::RouteRequest{destination.location, 0, &observer});
    EndRequest();
}

int ModeControllerBase::ReportRouteFailure(int code, const DestinationEntry* entryA,
                                           const DestinationEntry* entryB, int index) {
    const bool startSide = IsStartSideCode(code);
    m_startSideFailure = startSide;
    const UINT textId = FailureTextId(code);
    const PickedDestination& picked = PickedDestination::Instance();
    const DestinationEntry* entry = startSide ? entryB : entryA;
    std::u16string insert;
    RoutePositionPtr point;
    GeoPoint at{};
    bool hasPoint = false;
    if (entry == nullptr || !entry->location) {
        if (startSide && m_position != nullptr) {
            const GeoPoint current = m_position->matched;
            at = (current.x != 0.0f && current.y != 0.0f)
                     ? current
                     : GeoPoint{m_position->fix.longitude, m_position->fix.latitude};
            hasPoint = true;
        }
    } else if (picked.pending != 0 && picked.destination) {
        point = picked.destination;
        insert = picked.named != 0 ? picked.nameText : picked.placeName;
    } else {
        point = entry->location;
        insert = entry->name;
    }
    if (point) {
        at = point->GetSinglePoint();
        hasPoint = true;
    }
    if (index != -1)
        m_failingIndex = startSide ? index : index + 1;
    SetCursor(nullptr);
    const int answer = RunFailureDialog(textId, insert, m_mainWindow);
    if (answer == kAnswerBack) {
        m_backChosen = true;
        if (startSide) {
            const DestinationEntry* source =
                (entryB != nullptr && entryB->location) ? entryB : entryA;
            if (source != nullptr)
                DescriptionFromEntry(*source);
        }
        RefreshMainPage();
        ShowPage(m_mainPage.get());
        m_mainPageShown = true;
        (void)ShowInputPanel(true);
    } else if (answer == kAnswerShowMap) {
        if (hasPoint)
            ShowDestinationMap(at.x, at.y, point ? point->GetSingleElementId() : 0);
        m_mainPageShown = false;
    }
    return answer;
}

void ModeControllerBase::CalculateTour() {
    if (!m_server || m_stops.size() < 2)
        return;
    std::vector<RouteRequestResult> results;
    std::vector<TourEntry> legs;
    RouteRequestResult failed(1);
    int leg = 1;
    bool complete = true;
    {
        ProgressDlg dialog(true);
        dialog.SetStages(static_cast<int>(m_stops.size()) - 1);
        ApplyRouteOptions();
        m_server->EnableTrafficAvoidance(m_dynamicRoute);
        for (std::size_t i = 0; i + 1 < m_stops.size(); ++i, ++leg) {
            const DestinationEntry& from = m_stops[i];
            const DestinationEntry& to = m_stops[i + 1];
            dialog.SetRoute(FormatStopText(from, true), FormatStopText(to, false));
            RouteRequestResult result(1);
            DialogProgress observer(dialog);
            BeginRequest();
            (void)m_server->RequestRouteBetween(result, from.location, to.location, &observer);
            EndRequest();
            observer.FinishStage();
            // A stop where the one before it was is a leg of no length: reached at once.
            if (result.status != kRouteFound && result.status != kStartIsDestination) {
                failed = std::move(result);
                complete = false;
                break;
            }
            AddToDestinationList(kRecentSection, kRecentListSize, from);
            AddToDestinationList(kRecentSection, kRecentListSize, to);
            legs.push_back(TourEntry{result, StopLine(from), StopLine(to)});
            results.push_back(std::move(result));
        }
    }
    if (!complete) {
        const std::size_t failing = static_cast<std::size_t>(leg);
        (void)ReportRouteFailure(static_cast<int>(failed.status), &m_stops[failing],
                                 &m_stops[failing - 1], leg);
        return;
    }
    std::int32_t length = 0;
    std::int32_t time = 0;
    if (m_routeListPage)
        m_routeListPage->SetLegs(legs, length, time);
    if (m_routeCalcPage) {
        std::vector<RouteIteratorPtr> routes;
        for (const RouteRequestResult& result : results)
            routes.push_back(result.route);
        // As the map page's, the tour map's view takes the legs once the page has its window.
        ShowPage(m_routeCalcPage.get());
        m_routeCalcPage->SetTour(routes, length, time);
    }
}
