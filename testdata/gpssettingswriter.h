#pragma once
// The GPS settings file "deziv.ini": the protocol in use and the detection candidates, protocol
// sections (delimiters as written, so "^0D^0A" escapes stay escapes; Input and Init lines;
// multipliers and offsets), serial device sections, the detection section and trial sections.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

struct GpsProtocolSection {
    std::string name = "NMEA";
    std::string displayName; // "Name"; none when empty
    std::string device;      // "Device"; none when empty
    // Delimiter values as written; empty ones are left out (the parser keeps its defaults).
    std::string startDelimiter;
    std::string checksumDelimiter;
    std::string endDelimiter;
    std::string fieldDelimiter;
    std::vector<std::string> inputs;                // Input1, Input2, ... ("" leaves a gap)
    std::vector<std::string> inits;                 // Init1, Init2, ...
    std::map<std::string, std::string> multipliers; // field name -> value text
    std::map<std::string, std::string> offsets;
};

// The shipped definition of GP-talker receivers: GGA then VTG, km/h at VTG position 6.
[[nodiscard]] GpsProtocolSection NmeaProtocol();

class GpsSettingsWriter {
public:
    // "Default GPS": GPS = protocol, GPS1, GPS2, ... = candidates.
    GpsSettingsWriter& SetDefault(std::string protocol, std::vector<std::string> candidates = {});
    GpsSettingsWriter& AddProtocol(GpsProtocolSection section);
    // A device section ("SerialPort" or a trial's defaults) with keys in order.
    GpsSettingsWriter& AddDevice(std::string name,
                                 std::vector<std::pair<std::string, std::string>> keys);
    // "SerialPort Detection": Defaults, PortCount, TestCount.
    GpsSettingsWriter& SetDetection(std::string defaults, int portCount, int testCount);
    // "SerialPort Try<n>".
    GpsSettingsWriter& AddTrial(int number, std::vector<std::pair<std::string, std::string>> keys);

    [[nodiscard]] std::string Build() const;

private:
    std::string m_text;
};

} // namespace testdata
