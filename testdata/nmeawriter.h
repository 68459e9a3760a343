#pragma once
// NMEA 0183 sentences (GGA, VTG, RMC) from values, each "$" + text + "*" + two upper-case
// hexadecimal checksum digits + CR LF.

#include <string>
#include <string_view>
#include <vector>

namespace testdata {

struct NmeaFixValues {
    int hour = 12;
    int minute = 0;
    int second = 0;
    double latitude = 47.1;  // degrees, negative south
    double longitude = 9.52; // degrees, negative west
    int quality = 1;
    int satellites = 8;
    double hdop = 1.1;
    double altitude = 455.0; // metres
    double course = 90.0;    // degrees
    double speedKmh = 50.0;
    int day = 1;
    int month = 1;
    int year = 2000;
};

class NmeaWriter {
public:
    // Adds the GGA, VTG and RMC sentences of one fix (one receiver cycle).
    NmeaWriter& AddCycle(const NmeaFixValues& values);
    // Adds one sentence of the text between "$" and "*".
    NmeaWriter& AddSentence(std::string_view text);
    [[nodiscard]] std::string Build() const;

    // "$" + text + "*" + checksum + CR LF.
    [[nodiscard]] static std::string Sentence(std::string_view text);
    [[nodiscard]] static std::string Gga(const NmeaFixValues& values);
    [[nodiscard]] static std::string Vtg(const NmeaFixValues& values);
    [[nodiscard]] static std::string Rmc(const NmeaFixValues& values);

private:
    std::vector<std::string> m_sentences;
};

} // namespace testdata
