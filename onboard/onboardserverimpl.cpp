#include "onboard/onboardserverimpl.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/greatcircledistance.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"

#include <new>
#include <utility>
#include <vector>

namespace Onboard {

namespace {

constexpr DWORD kNoAdviceAfterRerouteMs = 2000;
constexpr std::uint32_t kAvoidKeyBit = 0x80000000U;
constexpr std::uint8_t kAvoidFlag = 5;

// The engine as the area query of the GPS manager's matcher, keeping the engine alive.
class EngineAreaQueryHolder final : public six::IntfHolder<RetrievalEngine::IAreaQuery> {
public:
    EngineAreaQueryHolder(RetrievalEngine::RetrievalEnginePtr engine,
                          RetrievalEngine::IAreaQuery* query)
        : IntfHolder(query)
        , m_engine(std::move(engine)) {}
    [[nodiscard]] IntfHolder* Clone() const override {
        RetrievalEngine::RetrievalEnginePtr copy(m_engine);
        return copy ? new (std::nothrow) EngineAreaQueryHolder(std::move(copy), GetInterface())
                    : nullptr;
    }

private:
    RetrievalEngine::RetrievalEnginePtr m_engine;
};

AreaQueryPtr AreaQueryOf(const RetrievalEngine::RetrievalEnginePtr& engine) {
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(engine.Get());
    if (query == nullptr) {
        return nullptr;
    }
    return AreaQueryPtr(new (std::nothrow) EngineAreaQueryHolder(engine, query));
}

double Metres(const GeoPoint& a, const GeoPoint& b) {
    return GreatCircleDistance(a.x, a.y, b.x, b.y);
}

bool Same(const GeoPoint& a, const GeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

// TmcReceiverRunner

TmcReceiverRunner::TmcReceiverRunner()
    : m_event(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

TmcReceiverRunner::~TmcReceiverRunner() {
    Stop();
    if (m_event != nullptr) {
        (void)CloseHandle(m_event);
    }
}

bool TmcReceiverRunner::IsRunning() const {
    return m_event != nullptr && WaitForSingleObject(m_event, 0) == WAIT_TIMEOUT;
}

bool TmcReceiverRunner::SetReceiver(six::RefCntPtr<TmcReceiver> receiver) {
    if (IsRunning()) {
        return false;
    }
    m_receiver = std::move(receiver);
    return true;
}

bool TmcReceiverRunner::Start() {
    Stop();
    if (!m_receiver || m_event == nullptr) {
        return false;
    }
    (void)ResetEvent(m_event);
    m_thread = CreateThread(nullptr, 0, &TmcReceiverRunner::ThreadProc, this, 0, nullptr);
    if (m_thread == nullptr) {
        (void)SetEvent(m_event);
        return false;
    }
    return true;
}

void TmcReceiverRunner::Stop() {
    if (IsRunning() && m_receiver) {
        m_receiver->Stop();
        (void)WaitForSingleObject(m_event, INFINITE);
    }
    if (m_thread != nullptr) {
        (void)WaitForSingleObject(m_thread, INFINITE);
        (void)CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

void TmcReceiverRunner::Release() {
    if (!IsRunning()) {
        m_receiver.Release();
    }
}

DWORD TmcReceiverRunner::ThreadProc(LPVOID parameter) {
    auto* runner = static_cast<TmcReceiverRunner*>(parameter);
    runner->m_receiver->Run();
    (void)SetEvent(runner->m_event);
    return 0;
}

// OnboardServerImpl

OnboardServerImpl::OnboardServerImpl(const RetrievalEngine::RetrievalEnginePtr& engine,
                                     const six::RefCntPtr<DataLocation>& dataLocation)
    : m_engine(engine) {
    m_config.emplace(dataLocation, m_lock);
    if (m_engine) {
        CreateGpsManager(m_gps, AreaQueryOf(m_engine));
        m_datasets = DatasetsImpl::Create(m_engine->GetBlockCache(), m_engine);
        m_routeService = CreateRouteService(m_engine);
        m_tmcStore = CreateTmcMessageStore();
    }
    if (m_gps) {
        m_gps->GetPositionSource().Connect(this, &OnboardServerImpl::OnGpsPosition);
    }
    if (m_engine) {
        m_tracker.reset(new (std::nothrow) RouteTracker());
    }
    if (m_tracker) {
        m_tracker->onRoute.Connect(this, &OnboardServerImpl::OnRouteProgress);
        m_tracker->offRoute.Connect(this, &OnboardServerImpl::Reroute);
    }
    if (m_routeService && m_tmcStore) {
        m_trafficHandler.reset(new (std::nothrow) TrafficHandler(m_routeService, m_tmcStore));
    }
    if (m_trafficHandler) {
        if (m_tracker) {
            m_tracker->onRoute.Connect(m_trafficHandler.get(), &TrafficHandler::SetRouteCursor);
        }
        m_tmcStore->Added.Connect(m_trafficHandler.get(), &TrafficHandler::OnMessageAdded);
        m_tmcStore->Removed.Connect(m_trafficHandler.get(), &TrafficHandler::OnMessageRemoved);
        m_tmcStore->Replaced.Connect(m_trafficHandler.get(), &TrafficHandler::OnMessageReplaced);
        m_trafficHandler->jamSource.Connect(this, &OnboardServerImpl::OnTrafficDecision);
        m_trafficHandler->clearSource.Connect(this, &OnboardServerImpl::OnTrafficDecisionFlag);
    }
    m_config->changed.ConnectUnlocked(this, &OnboardServerImpl::OpenDatabases);
    OpenDatabases();
    if (m_gps) {
        const std::u16string settings = [&] {
            ScopedLock lock(&m_lock);
            return m_config->GetSettingsFile();
        }();
        m_gps->OpenSerialDevice(IniProfile::GetInt(u"GPS", u"AutoLog", settings.c_str(), 0) != 0);
        (void)m_gps->StartWorker();
    }
}

OnboardServerImpl::~OnboardServerImpl() {
    // No server lock while threads that call back into the server are stopped.
    m_receiverRunner.Stop();
    GpsManagerPtr gps;
    {
        ScopedLock lock(&m_lock);
        gps = std::move(m_gps);
    }
    gps.Release();             // ends the device and worker threads
    m_config->DetachEntries(); // waits for a database entry's selection in progress
    m_config.reset();
    {
        ScopedLock lock(&m_lock);
        m_advisor.Release();
    }
    m_trafficHandler.reset(); // ends its timer thread
    m_flaggedElements.clear();
    m_tracker.reset();
    m_receiverRunner.Stop();
    m_receiverRunner.Release();
    m_tmcReceiver.Release();
    m_tmcStore.Release();
    m_routeService.reset();
    m_datasets.Release();
    m_engine = nullptr;
    // The handler list, then the event sources, go with the members and the base.
}

void OnboardServerImpl::SetEmptyRoute() {
    const RouteRequestResult empty(routestatus::kFailed);
    if (m_tracker) {
        m_tracker->SetRoute(empty);
    }
    if (m_trafficHandler) {
        m_trafficHandler->SetRoute(empty);
    }
    if (m_gps) {
        m_gps->SetRoute(empty);
    }
    m_advisor.Release();
}

void OnboardServerImpl::OpenDatabases() {
    ScopedLock lock(&m_lock);
    SetEmptyRoute();
    if (!m_routeService || !m_config) {
        return;
    }
    std::u16string network;
    m_config->GetNetworkFile(network);
    if (!m_routeService->OpenNetwork(network)) {
        return;
    }
    std::u16string folder;
    std::u16string language;
    m_config->GetDatasetFolders(folder, language);
    if (!m_datasets) {
        return;
    }
    m_datasets->Close();
    if (!m_datasets->Open(folder, language)) {
        return;
    }
    std::u16string mapSet;
    m_config->GetMapSetFile(mapSet);
    m_engine->Close();
    if (!m_engine->Open(mapSet)) {
        return;
    }
    std::u16string tmc;
    m_config->GetTmcFolder(tmc);
    if (m_tmcStore) {
        (void)m_tmcStore->OpenDatabase(tmc, m_engine,
                                       static_cast<std::uint32_t>(m_config->GetLanguage()));
    }
}

std::int32_t OnboardServerImpl::RemainingLength(RouteIteratorPtr cursor) {
    if (!cursor || !cursor->IsValid()) {
        return -1;
    }
    std::int32_t metres = 0;
    for (; cursor->IsValid(); cursor->Next()) {
        metres += cursor->Current().length;
    }
    return metres;
}

void OnboardServerImpl::TellUnusableAdvisorFiles() {
    // An advisor file that cannot be used whole leaves the advice unspoken (the route and its
    // pictures go on); the user is told once a run of each such file.
    std::vector<std::u16string> unusable =
        FindUnusableAdvisorFiles(m_config->GetConfigFilesDir(), m_advisorSettings);
    if (unusable.empty()) {
        return;
    }
    // Without a folder named by the settings file the files are looked for in "\ConfigFiles";
    // when none of them is there either, the settings file is what is at fault.
    if (!m_config->IsConfigFilesDirNamed() && !HoldsAdvisorFiles(m_config->GetConfigFilesDir())) {
        unusable = {m_config->GetSettingsFile() + u" (ConfigFilesDir)"};
    }
    for (const std::u16string& file : unusable) {
        (void)ShowSpokenGuidanceMessage(file);
    }
}

void OnboardServerImpl::TellUnusableDrivingSides(const RouteRequestResult& result) {
    // A driving side that is no side word keeps only the roundabouts and U-turns of its country
    // unspoken; the user is told once a run of each such line, once a route goes through roads
    // of that country.
    for (const UnusableDrivingSide& side : FindUnusableDrivingSides(
             m_config->GetConfigFilesDir(), m_advisorSettings, m_engine, result.route)) {
        (void)ShowDrivingSideMessage(side.file, side.country, side.line);
    }
}

RouteRequestResult OnboardServerImpl::RequestRouteLocked(const MatchedPosition& start,
                                                         const RoutePositionPtr& destination,
                                                         std::uint8_t flag,
                                                         ProgressObserver* observer) {
    if (!m_routeService || !m_tracker) {
        return RouteRequestResult(routestatus::kNoNetwork);
    }
    const std::int32_t remaining = RemainingLength(m_tracker->GetCursor());
    RouteRequestResult result = m_routeService->RequestRouteFromCurrentPosition(
        start, destination, flag != 0, observer, remaining);
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, m_engine, result, m_config->GetConfigFilesDir(),
                        m_advisorSettings);
    m_advisor = std::move(advisor);
    if (result.status == routestatus::kFound) {
        TellUnusableAdvisorFiles();
        TellUnusableDrivingSides(result);
    }
    m_tracker->SetRoute(result);
    if (m_trafficHandler) {
        m_trafficHandler->SetRoute(result);
    }
    if (m_gps) {
        m_gps->SetRoute(result);
    }
    RouteEvent.Emit(&result);
    return result;
}

RouteRequestResult& OnboardServerImpl::RequestRoute(RouteRequestResult& out,
                                                    const MatchedPosition* start,
                                                    const RouteRequest& request) {
    ScopedLock lock(&m_lock);
    if (start == nullptr) {
        out = RouteRequestResult(routestatus::kNoStart);
        return out;
    }
    out = RequestRouteLocked(*start, request.destination, request.flag, request.observer);
    return out;
}

std::vector<RouteRequestResult>&
OnboardServerImpl::RequestTour(std::vector<RouteRequestResult>& out,
                               std::vector<RoutePositionPtr> destinations) {
    out.clear();
    if (!m_routeService) {
        return out;
    }
    out = m_routeService->RequestTourRoutes(std::move(destinations), nullptr);
    for (const RouteRequestResult& result : out) {
        RouteEvent.Emit(&result);
    }
    return out;
}

RouteRequestResult& OnboardServerImpl::RequestRouteBetween(RouteRequestResult& out,
                                                           const RoutePositionPtr& start,
                                                           const RoutePositionPtr& destination,
                                                           ProgressObserver* observer) {
    if (!m_routeService) {
        out = RouteRequestResult(routestatus::kNoNetwork);
        return out;
    }
    out = m_routeService->RequestRoute(start, destination, observer);
    RouteEvent.Emit(&out);
    return out;
}

RoutePositionPtr& OnboardServerImpl::CreateStreetDestination(RoutePositionPtr& out,
                                                             ILocatedAddress& address,
                                                             const std::int16_t* houseNumber) {
    out = m_routeService ? m_routeService->CreateAddressPosition(address, houseNumber) : nullptr;
    return out;
}

RoutePositionPtr& OnboardServerImpl::CreateElementSetDestination(RoutePositionPtr& out,
                                                                 ElementCursorPtr elements) {
    out =
        m_routeService && elements ? m_routeService->CreateElementSetPosition(*elements) : nullptr;
    return out;
}

RoutePositionPtr& OnboardServerImpl::CreatePositionDestination(RoutePositionPtr& out,
                                                               const std::uint32_t* elementId,
                                                               const GeoPoint* point) {
    out = m_routeService ? m_routeService->CreatePosition(elementId, point) : nullptr;
    return out;
}

RoutePositionPtr& OnboardServerImpl::CreateElementDestination(RoutePositionPtr& out,
                                                              const std::uint32_t* elementId) {
    out = m_routeService ? m_routeService->CreateElementPosition(elementId) : nullptr;
    return out;
}

void OnboardServerImpl::SetRoutingOptions(const ExternalRouteOptions* options) {
    if (m_routeService) {
        m_routeService->SetOptions(options);
    }
}

const ExternalRouteOptions* OnboardServerImpl::GetRoutingOptions() {
    return m_routeService ? m_routeService->GetOptions() : nullptr;
}

bool OnboardServerImpl::AddFlaggedElementsMarked(std::span<const std::uint32_t> keys,
                                                 std::uint8_t flag) {
    return m_routeService && m_routeService->AddFlaggedElementSpeed(keys, flag);
}

bool OnboardServerImpl::AddFlaggedElements(std::span<const std::uint32_t> keys, std::uint8_t flag) {
    return m_routeService && m_routeService->AddFlaggedElementPercent(keys, flag);
}

bool OnboardServerImpl::RemoveFlaggedElements(std::span<const std::uint32_t> keys) {
    return m_routeService && m_routeService->RemoveFlaggedElement(keys);
}

six::IntfPtr<IDatasets> OnboardServerImpl::GetDatasets() {
    return m_datasets ? six::IntfPtr<IDatasets>(m_datasets) : nullptr;
}

RetrievalEngine::RetrievalEnginePtr OnboardServerImpl::GetRetrievalEngine() {
    return m_engine;
}

six::RefCntPtr<TmcMessageStore> OnboardServerImpl::GetTmcMessageStore() {
    return m_tmcStore;
}

void OnboardServerImpl::OnGpsPosition(const MatchedPosition* position) {
    if (position == nullptr) {
        return;
    }
    if (m_tracker) {
        m_tracker->OnPosition(*position);
    }
    PositionEvent.Emit(position);
}

void OnboardServerImpl::OnRouteProgress(RouteIteratorPtr cursor, const MatchedPosition* position) {
    {
        ScopedLock lock(&m_lock);
        if (GetTickCount() - m_lastReroute <= kNoAdviceAfterRerouteMs) {
            return;
        }
        AdvicePtr advice;
        if (m_advisor && position != nullptr) {
            m_advisor->CreateAdvice(advice, *position, cursor, 0);
        }
        if (advice && advice->IsValid()) {
            AdviceEvent.Emit(advice);
            return;
        }
    }
    Reroute();
}

void OnboardServerImpl::Replan() {
    if (!m_tracker || !m_gps) {
        return;
    }
    const RoutePositionPtr destination = m_tracker->GetDestinations();
    if (!destination) {
        return;
    }
    MatchedPosition here{};
    m_gps->GetMatchedPosition(here);
    (void)RequestRouteLocked(here, destination, 0, nullptr);
}

void OnboardServerImpl::Reroute() {
    ScopedLock lock(&m_lock);
    Replan();
    m_lastReroute = GetTickCount();
}

void OnboardServerImpl::OnTrafficDecision(const char* /*text*/, bool replan) {
    OnTrafficDecisionFlag(replan);
}

void OnboardServerImpl::OnTrafficDecisionFlag(bool replan) {
    if (!replan) {
        TrafficEvent.Emit();
        return;
    }
    ScopedLock lock(&m_lock);
    Replan();
}

AdvicePtr& OnboardServerImpl::GetAdviceAtPosition(AdvicePtr& out) {
    MatchedPosition here{};
    if (m_gps) {
        m_gps->GetMatchedPosition(here);
    }
    ScopedLock lock(&m_lock);
    out = nullptr;
    if (m_advisor && m_tracker && here.street != MatchedPosition::kNoStreet) {
        m_advisor->CreateAdvice(out, here, m_tracker->GetCursor(), 1);
    }
    return out;
}

void OnboardServerImpl::GetDatabases(DatabaseListPtr& out) {
    ScopedLock lock(&m_lock);
    m_config->GetDatabases(out);
}

GpsReceiverPtr& OnboardServerImpl::OpenAlternativeGps(GpsReceiverPtr& out) {
    out = nullptr;
    if (m_gps) {
        m_gps->OpenAlternativeDevice(out);
    }
    return out;
}

void OnboardServerImpl::CloseAlternativeGps() {
    if (m_gps) {
        m_gps->CloseAlternativeDevice();
    }
}

six::RefCntPtr<TmcReceiver> OnboardServerImpl::GetTmcReceiver() {
    ScopedLock lock(&m_lock);
    if (!m_tmcReceiver) {
        m_tmcReceiver = CreateTmcReceiver();
        if (m_tmcReceiver) {
            if (m_tmcStore) {
                m_tmcReceiver->GetMessageSignal().Connect(m_tmcStore.Get(),
                                                          &TmcMessageStore::OnRawMessage);
            }
            if (m_receiverRunner.SetReceiver(m_tmcReceiver)) {
                (void)m_receiverRunner.Start();
            }
        }
    }
    return m_tmcReceiver;
}

std::int32_t OnboardServerImpl::DetectGpsPort(std::int16_t port) {
    return m_gps ? m_gps->DetectPort(port) : 0;
}

double OnboardServerImpl::DistanceToElementEnd(const MatchedPosition& position,
                                               const std::vector<GeoPoint>& points) {
    if (points.size() < 2) {
        return 0.0;
    }
    std::size_t segment = NearestSegmentIndex(position.matched, points);
    if (segment == 0) {
        segment = 1;
    }
    const GeoPoint closest =
        ClosestPointOnSegment(position.matched, points[segment], points[segment - 1]);
    for (const GeoPoint& point : points) {
        if (Same(point, position.segmentStart)) {
            double metres = Metres(closest, points[segment]);
            for (std::size_t i = segment + 1; i < points.size(); ++i) {
                metres += Metres(points[i - 1], points[i]);
            }
            return metres;
        }
        if (Same(point, position.segmentEnd)) {
            double metres = Metres(closest, points[segment - 1]);
            for (std::size_t i = segment - 1; i >= 1; --i) {
                metres += Metres(points[i - 1], points[i]);
            }
            return metres;
        }
    }
    return 0.0;
}

const std::vector<std::uint32_t>* OnboardServerImpl::AvoidRoadAhead(std::int32_t distance,
                                                                    bool replan) {
    ScopedLock lock(&m_lock);
    if (!m_flaggedElements.empty()) {
        (void)RemoveFlaggedElements(m_flaggedElements);
    }
    m_flaggedElements.clear();
    if (!m_gps || !m_tracker) {
        return &m_flaggedElements;
    }
    MatchedPosition here{};
    m_gps->GetMatchedPosition(here);
    if (distance > 0) {
        std::vector<GeoPoint> points;
        if (here.street != MatchedPosition::kNoStreet) {
            const six::IntfPtr<MapElement> element =
                m_engine->GetMappedElement(static_cast<std::uint32_t>(here.street) & 0x0FFFFFFFU);
            if (element && !element->GetPoints(points)) {
                points.clear();
            }
        }
        double metres = DistanceToElementEnd(here, points);
        RouteIteratorPtr cursor = m_tracker->GetCursor();
        if (cursor && cursor->IsValid()) {
            cursor->Next();
        }
        for (; cursor && cursor->IsValid() && metres < distance; cursor->Next()) {
            m_flaggedElements.push_back(cursor->Current().linkId | kAvoidKeyBit);
            metres += cursor->Current().length;
        }
        if (!m_flaggedElements.empty()) {
            (void)AddFlaggedElements(m_flaggedElements, kAvoidFlag);
        }
    }
    if (replan) {
        const RoutePositionPtr destination = m_tracker->GetDestinations();
        (void)RequestRouteLocked(here, destination, 0, nullptr);
        if (m_tracker->GetCursor()) {
            AdvicePtr advice;
            if (m_advisor) {
                m_advisor->CreateAdvice(advice, here, m_tracker->GetCursor(), 0);
            }
            if (advice && advice->IsValid()) {
                AdviceEvent.Emit(advice);
            }
        }
    }
    return &m_flaggedElements;
}

void OnboardServerImpl::EnableTrafficAvoidance(bool isOn) {
    if (m_trafficHandler) {
        m_trafficHandler->SetAvoidance(isOn);
    }
}

std::int32_t OnboardServerImpl::GetLanguage() {
    ScopedLock lock(&m_lock);
    return m_config->GetLanguage();
}

void OnboardServerImpl::SetAdvisorSettings(const AdviceSettings* settings) {
    // Under the lock: re-planning on the GPS worker reads the settings.
    ScopedLock lock(&m_lock);
    if (settings != nullptr) {
        m_advisorSettings = *settings;
    }
}

void OnboardServerImpl::ClearRoute() {
    ScopedLock lock(&m_lock);
    SetEmptyRoute();
}

} // namespace Onboard

Onboard::OnboardServerPtr CreateIOnboardServer(const RetrievalEngine::RetrievalEnginePtr& engine) {
    return CreateIOnboardServer(engine, nullptr);
}

Onboard::OnboardServerPtr CreateIOnboardServer(const RetrievalEngine::RetrievalEnginePtr& engine,
                                               const six::RefCntPtr<DataLocation>& dataLocation) {
    return Onboard::OnboardServerPtr(static_cast<Onboard::IOnboardServer*>(
        new (std::nothrow) Onboard::OnboardServerImpl(engine, dataLocation)));
}
