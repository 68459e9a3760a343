#include "tools/gpsdemosteps.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/gpsmanager.h"
#include "positioning/nmeademowriter.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace gpsdemo {
namespace {

// One cycle (GGA and VTG) at 3 sentences a second, rounded up.
constexpr std::uint64_t kCycleMs = 667;
// Host time to wait for a fix before the clock moves again (the device thread may not have begun
// its wait when the clock moved), and the number of such tries.
constexpr auto kWait = std::chrono::milliseconds(200);
constexpr int kTries = 25;

// The receiver's fixes and the manager's publications, waited for in host time.
class Recorder {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    void OnFix(const GpsFix* fix) {
        std::lock_guard locked(m_mutex);
        m_fixes.push_back(*fix);
        m_changed.notify_all();
    }
    void OnPosition(const MatchedPosition* position) {
        std::lock_guard locked(m_mutex);
        m_positions.push_back(*position);
        m_changed.notify_all();
    }
    // Until there are count fixes and the newest one was published.
    bool WaitForPublished(std::size_t count) {
        std::unique_lock locked(m_mutex);
        return m_changed.wait_for(locked, kWait, [&] {
            return m_fixes.size() >= count && !m_positions.empty() &&
                   m_positions.back().fix.utcTime == m_fixes.back().utcTime;
        });
    }
    std::vector<GpsFix> Fixes() {
        std::lock_guard locked(m_mutex);
        return m_fixes;
    }
    std::vector<MatchedPosition> Positions() {
        std::lock_guard locked(m_mutex);
        return m_positions;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<GpsFix> m_fixes;
    std::vector<MatchedPosition> m_positions;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

std::size_t CountGga(const std::string& out) {
    NavFile* file = _wfopen(platform::AnsiToWide(out).c_str(), u"rb");
    if (file == nullptr) {
        return 0;
    }
    std::string bytes;
    char buffer[4096];
    for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, count);
    }
    (void)fclose(file);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = bytes.find("$GPGGA,", at)) != std::string::npos; ++at) {
        ++lines;
    }
    return lines;
}

// Replays the file through a manager until every line was read once.
bool Replay(const Options& options, const AreaQueryPtr& query, Outcome& outcome,
            std::string& error) {
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    platform::SetExecutablePath(options.programFolder + u"\\gpsdemo.exe");
    Recorder recorder;
    GpsManagerPtr manager;
    CreateGpsManager(manager, query);
    if (!manager) {
        error = "no GPS manager";
        return false;
    }
    manager->SetRoute(outcome.route);
    manager->GetPositionSource().Connect(&recorder, &Recorder::OnPosition);
    GpsReceiverPtr receiver;
    manager->OpenAlternativeDevice(receiver);
    if (!receiver || !manager->StartWorker()) {
        error = "no GPS receiver";
        return false;
    }
    receiver->GetFixSignal().Connect(&recorder, &Recorder::OnFix);
    receiver->OpenReplayFile(platform::AnsiToWide(options.out));
    receiver->SetSentenceRate(3.0f);
    bool isComplete = true;
    for (std::size_t i = 1; i <= outcome.linesWritten; ++i) {
        bool isPublished = false;
        for (int tries = 0; tries < kTries && !isPublished; ++tries) {
            clock.Advance(kCycleMs);
            isPublished = recorder.WaitForPublished(i);
        }
        if (!isPublished) {
            error = "the replay stopped after " + std::to_string(i - 1) + " fixes";
            isComplete = false;
            break;
        }
    }
    manager.Release();
    outcome.fixes = recorder.Fixes();
    outcome.positions = recorder.Positions();
    platform::SetExecutablePath(u"");
    return isComplete;
}

} // namespace

Outcome Run(const Options& options, std::string& error, const PositionSink& sink) {
    Outcome outcome;
    error.clear();
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    if (!engine || !engine->Open(options.mapSet)) {
        error = "the map set cannot be opened";
        return outcome;
    }
    const RouteServicePtr service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
    if (!service || !service->OpenNetwork(options.network)) {
        error = "the road network cannot be opened";
        return outcome;
    }
    const RoutePositionPtr start = service->CreatePosition(nullptr, &options.from);
    const RoutePositionPtr destination = service->CreatePosition(nullptr, &options.to);
    outcome.route = service->RequestRoute(start, destination, nullptr);
    if (outcome.route.status != routestatus::kFound) {
        error = "no route (status " + std::to_string(outcome.route.status) + ")";
        return outcome;
    }
    for (RouteIteratorPtr it = GetRouteIterator(outcome.route); it && it->IsValid(); it->Next()) {
        outcome.routeStreets.push_back(it->Current().linkId);
    }
    NmeaDemoWriter writer(options.out, outcome.route);
    if (writer.Write() != 0) {
        error = "the demonstration file cannot be written";
        return outcome;
    }
    outcome.linesWritten = CountGga(options.out);
    if (!Replay(options, AreaQueryPtr(engine), outcome, error)) {
        return outcome;
    }
    std::size_t at = 0; // the route record reached
    for (const MatchedPosition& position : outcome.positions) {
        const auto street = static_cast<std::uint32_t>(position.street);
        const auto found = std::find(outcome.routeStreets.begin() + static_cast<std::ptrdiff_t>(at),
                                     outcome.routeStreets.end(), street);
        const bool isOnRoute = position.street != MatchedPosition::kNoStreet &&
                               std::find(outcome.routeStreets.begin(), outcome.routeStreets.end(),
                                         street) != outcome.routeStreets.end();
        if (isOnRoute) {
            ++outcome.onRoute;
            if (found == outcome.routeStreets.end()) {
                outcome.isInRouteOrder = false;
            } else {
                ++outcome.onRouteInOrder;
                at = static_cast<std::size_t>(found - outcome.routeStreets.begin());
            }
        }
        if (sink) {
            sink(position, isOnRoute);
        }
    }
    return outcome;
}

} // namespace gpsdemo
