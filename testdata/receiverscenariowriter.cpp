#include "testdata/receiverscenariowriter.h"

#include <cstdio>

namespace testdata {
namespace {

std::string StationSection(const ScenarioStation& station) {
    char head[64] = {};
    (void)std::snprintf(head, sizeof head, "[Station %u]\r\nPi=%04X\r\n", station.frequency,
                        station.programmeId);
    std::string out = head;
    out += "Name=" + station.name + "\r\n";
    out += "Radiotext=" + station.radiotext + "\r\n";
    out += "Af=";
    for (std::size_t i = 0; i < station.alternativeFrequencies.size(); ++i) {
        out += (i == 0 ? "" : ",") + std::to_string(station.alternativeFrequencies[i]);
    }
    out += "\r\nRdsHealth=" + std::to_string(station.rdsHealth) + "\r\n";
    out += "TmcHealth=" + std::to_string(station.tmcHealth) + "\r\n";
    if (!station.groups.empty()) {
        out += "Groups=" + station.groups + "\r\n";
    }
    out += "GroupsPerSecond=" + std::to_string(station.groupsPerSecond) + "\r\n";
    return out;
}

} // namespace

ReceiverScenarioWriter& ReceiverScenarioWriter::SetReplay(std::string devicePath,
                                                          unsigned cyclesPerSecond) {
    m_replay = std::move(devicePath);
    m_cyclesPerSecond = cyclesPerSecond;
    return *this;
}

ReceiverScenarioWriter& ReceiverScenarioWriter::SetTuner(unsigned searchStepMs,
                                                         unsigned acquireMs) {
    m_searchStepMs = searchStepMs;
    m_acquireMs = acquireMs;
    return *this;
}

ReceiverScenarioWriter& ReceiverScenarioWriter::SetNotifyAfter(unsigned ms) {
    m_notifyAfterMs = static_cast<int>(ms);
    return *this;
}

ReceiverScenarioWriter& ReceiverScenarioWriter::AddStation(ScenarioStation station) {
    m_stations.push_back(std::move(station));
    return *this;
}

std::string ReceiverScenarioWriter::Build(ReceiverScenarioFault fault) const {
    std::string out = "; receiver scenario\r\n[Gps]\r\n";
    if (!m_replay.empty()) {
        out += "Replay=" + m_replay + "\r\n";
    }
    out += "CyclesPerSecond=" +
           (fault == ReceiverScenarioFault::BadNumber ? std::string("fast")
                                                      : std::to_string(m_cyclesPerSecond)) +
           "\r\n";
    out += "[Tuner]\r\nSearchStepMs=" + std::to_string(m_searchStepMs) +
           "\r\nAcquireMs=" + std::to_string(m_acquireMs) + "\r\n";
    if (m_notifyAfterMs >= 0) {
        out += "[Receiver]\r\nNotifyAfterMs=" + std::to_string(m_notifyAfterMs) + "\r\n";
    }
    for (const ScenarioStation& station : m_stations) {
        out += StationSection(station);
    }
    if (fault == ReceiverScenarioFault::StationOutOfBand) {
        ScenarioStation outside;
        outside.frequency = 1090;
        out += StationSection(outside);
    }
    if (fault == ReceiverScenarioFault::DuplicateStation && !m_stations.empty()) {
        out += StationSection(m_stations.front());
    }
    return out;
}

} // namespace testdata
