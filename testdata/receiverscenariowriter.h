#pragma once
// The receiver stand-in's scenario file "gpstmc.ini" (platform/receiver/scenario.h): the GPS
// replay, the tuner's timing and one section per station.

#include <string>
#include <vector>

namespace testdata {

struct ScenarioStation {
    unsigned frequency = 880; // 0.1 MHz
    unsigned programmeId = 0; // written as four hexadecimal digits
    std::string name;         // code page 1252
    std::string radiotext;
    std::vector<unsigned> alternativeFrequencies;
    int rdsHealth = 3;
    int tmcHealth = 2;
    std::string groups; // device path of an RDS group file; empty: none
    unsigned groupsPerSecond = 11;
};

enum class ReceiverScenarioFault {
    None,
    BadNumber,        // "CyclesPerSecond=fast"
    StationOutOfBand, // a section "[Station 1090]"
    DuplicateStation, // the first station's section twice
};

class ReceiverScenarioWriter {
public:
    // [Gps]: the NMEA file to replay and the cycles per second.
    ReceiverScenarioWriter& SetReplay(std::string devicePath, unsigned cyclesPerSecond = 1);
    // [Tuner]
    ReceiverScenarioWriter& SetTuner(unsigned searchStepMs, unsigned acquireMs);
    // [Receiver]: one notification this long after the start.
    ReceiverScenarioWriter& SetNotifyAfter(unsigned ms);
    ReceiverScenarioWriter& AddStation(ScenarioStation station);

    [[nodiscard]] std::string
    Build(ReceiverScenarioFault fault = ReceiverScenarioFault::None) const;

private:
    std::string m_replay;
    unsigned m_cyclesPerSecond = 1;
    unsigned m_searchStepMs = 100;
    unsigned m_acquireMs = 2000;
    int m_notifyAfterMs = -1;
    std::vector<ScenarioStation> m_stations;
};

} // namespace testdata
