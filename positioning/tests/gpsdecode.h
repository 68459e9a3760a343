#pragma once
// Runs gpsdecode (gpsd-clients) on a file of sentences, for comparisons with our parser.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Decoded {
    int timeOfDay = -1; // seconds
    double latitude = 0;
    double longitude = 0;
    double track = 0;
    double speed = 0; // m/s
};

inline double NumberAfter(const std::string& line, const char* key) {
    const std::size_t at = line.find(key);
    return at == std::string::npos ? NAN
                                   : std::strtod(line.c_str() + at + std::strlen(key), nullptr);
}

// One TPV report per line of gpsdecode's JSON output; only those with a time when asked.
inline std::vector<Decoded> RunGpsdecode(const std::string& inputPath, bool needsTime) {
    std::vector<Decoded> reports;
    const std::string command = "gpsdecode < '" + inputPath + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return reports;
    }
    char buffer[2048];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        const std::string line = buffer;
        const std::size_t time = line.find("\"time\":\"");
        if (line.find("\"class\":\"TPV\"") == std::string::npos ||
            (needsTime && time == std::string::npos)) {
            continue;
        }
        Decoded decoded;
        int hour = 0;
        int minute = 0;
        int second = 0;
        if (time != std::string::npos && std::sscanf(line.c_str() + line.find('T', time),
                                                     "T%d:%d:%d", &hour, &minute, &second) == 3) {
            decoded.timeOfDay = hour * 3600 + minute * 60 + second;
        }
        decoded.latitude = NumberAfter(line, "\"lat\":");
        decoded.longitude = NumberAfter(line, "\"lon\":");
        decoded.track = NumberAfter(line, "\"track\":");
        decoded.speed = NumberAfter(line, "\"speed\":");
        reports.push_back(decoded);
    }
    (void)pclose(pipe);
    return reports;
}
