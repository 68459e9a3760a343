#include "platform/receiver/scenario.h"

#include "platform/kernel/codepage.h"
#include "platform/receiver/inireader.h"

#include <algorithm>
#include <charconv>

namespace platform {
namespace {

constexpr std::string_view kStationPrefix = "Station ";

std::optional<DWORD> ParseNumber(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    DWORD value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Reads the key into *out when present. False (with the reason) for a bad value.
bool ReadNumber(const IniSection& section, std::string_view key, DWORD low, DWORD high, DWORD* out,
                std::string* problem, int base = 10) {
    const std::optional<std::string> value = FindIniValue(section, key);
    if (!value) {
        return true;
    }
    const std::optional<DWORD> number = ParseNumber(*value, base);
    if (!number || *number < low || *number > high) {
        *problem = "[" + section.name + "] " + std::string(key) + ": '" + *value +
                   "' is not a number from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    *out = *number;
    return true;
}

bool ReadFrequencies(const IniSection& section, std::vector<DWORD>* out, std::string* problem) {
    const std::optional<std::string> value = FindIniValue(section, "Af");
    if (!value || value->empty()) {
        return true;
    }
    std::string_view rest = *value;
    while (true) {
        const std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        const std::size_t first = item.find_first_not_of(" \t");
        item = first == std::string_view::npos
                   ? std::string_view()
                   : item.substr(first, item.find_last_not_of(" \t") - first + 1);
        const std::optional<DWORD> frequency = ParseNumber(item, 10);
        if (!frequency || *frequency > 0xFFFF || out->size() == kMaxScenarioFrequencies) {
            *problem = "[" + section.name + "] Af: '" + *value + "' is not a list of up to " +
                       std::to_string(kMaxScenarioFrequencies) + " frequencies";
            return false;
        }
        out->push_back(*frequency);
        if (comma == std::string_view::npos) {
            return true;
        }
        rest.remove_prefix(comma + 1);
    }
}

bool ReadStation(const IniSection& section, ReceiverScenario* scenario, std::string* problem) {
    ReceiverStation station;
    const std::optional<DWORD> frequency =
        ParseNumber(std::string_view(section.name).substr(kStationPrefix.size()), 10);
    if (!frequency || *frequency < kLowestStationFrequency || *frequency > kBandTop ||
        scenario->StationAt(*frequency) != nullptr) {
        *problem = "[" + section.name + "]: not a new frequency from 875 to 1080";
        return false;
    }
    station.frequency = *frequency;
    DWORD rds = 0;
    DWORD tmc = 0;
    if (!ReadNumber(section, "Pi", 0, 0xFFFF, &station.programmeId, problem, 16) ||
        !ReadNumber(section, "RdsHealth", 0, 255, &rds, problem) ||
        !ReadNumber(section, "TmcHealth", 0, 255, &tmc, problem) ||
        !ReadNumber(section, "GroupsPerSecond", 1, kMaxGroupsPerSecond, &station.groupsPerSecond,
                    problem) ||
        !ReadFrequencies(section, &station.alternativeFrequencies, problem)) {
        return false;
    }
    station.rdsHealth = static_cast<int>(rds);
    station.tmcHealth = static_cast<int>(tmc);
    station.name = AnsiToWide(FindIniValue(section, "Name").value_or(""));
    station.radiotext = AnsiToWide(FindIniValue(section, "Radiotext").value_or(""));
    station.groupsPath = AnsiToWide(FindIniValue(section, "Groups").value_or(""));
    scenario->stations.push_back(std::move(station));
    return true;
}

} // namespace

const ReceiverStation* ReceiverScenario::StationAt(DWORD frequency) const {
    for (const ReceiverStation& station : stations) {
        if (station.frequency == frequency) {
            return &station;
        }
    }
    return nullptr;
}

std::optional<ReceiverScenario> ParseReceiverScenario(std::string_view text, std::string* problem) {
    const IniDocument document = ParseIni(text);
    ReceiverScenario scenario;
    for (const IniSection& section : document.sections) {
        bool isRead = true;
        if (IniNamesEqual(section.name, "Gps")) {
            scenario.replayPath = AnsiToWide(FindIniValue(section, "Replay").value_or(""));
            isRead = ReadNumber(section, "CyclesPerSecond", 1, kMaxCyclesPerSecond,
                                &scenario.cyclesPerSecond, problem);
        } else if (IniNamesEqual(section.name, "Tuner")) {
            isRead =
                ReadNumber(section, "SearchStepMs", 1, kMaxStepOrWaitMs, &scenario.searchStepMs,
                           problem) &&
                ReadNumber(section, "AcquireMs", 0, kMaxStepOrWaitMs, &scenario.acquireMs, problem);
        } else if (IniNamesEqual(section.name, "Receiver")) {
            DWORD notifyAfterMs = 0;
            isRead =
                ReadNumber(section, "NotifyAfterMs", 0, kMaxStepOrWaitMs, &notifyAfterMs, problem);
            if (FindIniValue(section, "NotifyAfterMs")) {
                scenario.notifyAfterMs = notifyAfterMs;
            }
        } else if (section.name.size() > kStationPrefix.size() &&
                   IniNamesEqual(std::string_view(section.name).substr(0, kStationPrefix.size()),
                                 kStationPrefix)) {
            isRead = ReadStation(section, &scenario, problem);
        }
        if (!isRead) {
            return std::nullopt;
        }
    }
    std::sort(scenario.stations.begin(), scenario.stations.end(),
              [](const ReceiverStation& a, const ReceiverStation& b) {
                  return a.frequency < b.frequency;
              });
    return scenario;
}

} // namespace platform
