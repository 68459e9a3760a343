// The matcher's settings file and state file.
#include "positioning/mapmatcher.h"
#include "positioning/matcherstate.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/debug.h"

#include <vector>

namespace {

constexpr LPCWSTR kSection = u"Snaping";

std::uint32_t ReadValue(LPCWSTR key, const std::u16string& path, std::uint32_t fallback) {
    return static_cast<std::uint32_t>(
        IniProfile::GetInt(kSection, key, path.c_str(), static_cast<INT>(fallback)));
}

void Report(const std::u16string& path, std::u16string_view what) {
    const std::u16string line = u"MapMatcher: " + path + u": " + std::u16string(what) + u"\n";
    OutputDebugStringW(line.c_str());
}

} // namespace

bool MapMatcher::ReadSettings(const std::u16string& path) {
    const MatcherSettings defaults;
    MatcherSettings& s = m_settings;
    s.speedTolerance = ReadValue(u"Speed tolerance", path, defaults.speedTolerance);
    s.minIncremental = ReadValue(u"Min incremental", path, defaults.minIncremental);
    s.bigThreshold = ReadValue(u"Big Treshold", path, defaults.bigThreshold);
    s.routeTolerance = ReadValue(u"Route tolerance", path, defaults.routeTolerance);
    s.trackLength = ReadValue(u"Track length", path, defaults.trackLength);
    s.areaSize = ReadValue(u"Area size", path, defaults.areaSize);
    s.nearCrossingDistance =
        ReadValue(u"Near crossing distance", path, defaults.nearCrossingDistance);
    s.deceleratePercent =
        ReadValue(u"Decelerate percent criteria", path, defaults.deceleratePercent);
    s.courseChangeCriteria =
        ReadValue(u"Course change criteria", path, defaults.courseChangeCriteria);
    s.calculateErrorStep = ReadValue(u"Calculate error step", path, defaults.calculateErrorStep);
    s.zeroSpeed = ReadValue(u"Zero speed", path, defaults.zeroSpeed);
    s.courseChangeHeadingTolerance =
        ReadValue(u"Course change heading tolerance", path, defaults.courseChangeHeadingTolerance);
    s.normalHeadingTolerance =
        ReadValue(u"Normal Heading tolerance", path, defaults.normalHeadingTolerance);
    s.expectedJump = ReadValue(u"Expected jump", path, defaults.expectedJump);
    SetMaxStreetPondering(static_cast<std::int32_t>(
        ReadValue(u"Max street pondering", path, kDefaultMaxStreetPondering)));
    s.nonDigitizedSpeedTolerance =
        ReadValue(u"Non digitized area speed tolerance", path, defaults.nonDigitizedSpeedTolerance);
    s.maxTunnelRecoverTime =
        ReadValue(u"Max tunnel recover time", path, defaults.maxTunnelRecoverTime);
    s.tunnelCriteriaTime = ReadValue(u"Tunnel criteria time", path, defaults.tunnelCriteriaTime);
    m_simpleMode = ReadValue(u"Sa", path, 1) != 0;
    return SettingsAreValid(s, MaxStreetPondering());
}

int MapMatcher::SaveState(const std::u16string& path) {
    HandleFile file(path, FileAccess::Write, FileShare::ReadWrite, FileCreation::CreateAlways,
                    FileHint::RandomAccess);
    if (!file.IsOpen()) {
        Report(path, u"cannot be created");
        return 0;
    }
    MatcherState state;
    state.record = m_history.Newest();
    state.index = m_history.Index();
    state.wrapped = m_history.IsWrapped();
    const auto bytes = SerializeMatcherState(state);
    if (file.Write(bytes.data(), bytes.size()) != bytes.size()) {
        Report(path, u"cannot be written whole");
        return 0;
    }
    return 1;
}

int MapMatcher::LoadState(const std::u16string& path) {
    HandleFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                    FileHint::RandomAccess);
    if (!file.IsOpen()) {
        Report(path, u"cannot be opened");
        return 0;
    }
    // One byte more than a state tells a longer file from a state.
    std::vector<std::uint8_t> bytes(kMatcherStateSize + 1);
    bytes.resize(file.Read(bytes.data(), static_cast<DWORD>(bytes.size())));
    const std::optional<MatcherState> state = ParseMatcherState(bytes);
    if (!state) {
        Report(path, u"is not an 81-byte state with the magic and an index of -1..383");
        return 0;
    }
    FetchCandidates(state->record);
    m_history.Restore(state->index, state->wrapped);
    if (m_history.IsShort()) {
        return 1;
    }
    RaiseWeightsOfRestoredHistory();
    return 1;
}

void MapMatcher::RaiseWeightsOfRestoredHistory() {
    MatchRecord& newest = m_history.Slot(static_cast<std::size_t>(m_history.Index()));
    SetSearchArea(newest);
    newest.searchRadius = SearchRadius(newest);
    FetchCandidates(newest);
    for (std::size_t i = 0; i < m_history.WalkLength(); ++i) {
        const MatchRecord& h = m_history.NewestFirst(i);
        if (!ContainsPoint(m_graph.GetSearchArea(), h.snapped)) {
            break;
        }
        if (h.HasStreet()) {
            m_graph.RaiseWeight(static_cast<std::uint32_t>(h.street), h.segmentStart, h.segmentEnd);
        }
    }
}
