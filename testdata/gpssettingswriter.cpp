#include "testdata/gpssettingswriter.h"

namespace testdata {
namespace {

void Key(std::string& text, const std::string& key, const std::string& value) {
    text += key + "=" + value + "\n";
}

} // namespace

GpsProtocolSection NmeaProtocol() {
    GpsProtocolSection section;
    section.device = "SerialPort";
    section.inputs = {"GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop",
                      "GPVTG,course,,,,,,speed"};
    return section;
}

GpsSettingsWriter& GpsSettingsWriter::SetDefault(std::string protocol,
                                                 std::vector<std::string> candidates) {
    m_text += "[Default GPS]\n";
    Key(m_text, "GPS", protocol);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        Key(m_text, "GPS" + std::to_string(i + 1), candidates[i]);
    }
    return *this;
}

GpsSettingsWriter& GpsSettingsWriter::AddProtocol(GpsProtocolSection section) {
    m_text += "[" + section.name + "]\n";
    for (const auto& [key, value] :
         {std::pair{"Name", section.displayName}, std::pair{"Device", section.device},
          std::pair{"StartDelimiter", section.startDelimiter},
          std::pair{"ChecksumDelimiter", section.checksumDelimiter},
          std::pair{"EndDelimiter", section.endDelimiter},
          std::pair{"FieldDelimiter", section.fieldDelimiter}}) {
        if (!value.empty()) {
            Key(m_text, key, value);
        }
    }
    for (std::size_t i = 0; i < section.inputs.size(); ++i) {
        Key(m_text, "Input" + std::to_string(i + 1), section.inputs[i]);
    }
    for (std::size_t i = 0; i < section.inits.size(); ++i) {
        Key(m_text, "Init" + std::to_string(i + 1), section.inits[i]);
    }
    for (const auto& [field, value] : section.multipliers) {
        Key(m_text, field + "Multiplier", value);
    }
    for (const auto& [field, value] : section.offsets) {
        Key(m_text, field + "Offset", value);
    }
    return *this;
}

GpsSettingsWriter&
GpsSettingsWriter::AddDevice(std::string name,
                             std::vector<std::pair<std::string, std::string>> keys) {
    m_text += "[" + name + "]\n";
    for (const auto& [key, value] : keys) {
        Key(m_text, key, value);
    }
    return *this;
}

GpsSettingsWriter& GpsSettingsWriter::SetDetection(std::string defaults, int portCount,
                                                   int testCount) {
    m_text += "[SerialPort Detection]\n";
    Key(m_text, "Defaults", defaults);
    Key(m_text, "PortCount", std::to_string(portCount));
    Key(m_text, "TestCount", std::to_string(testCount));
    return *this;
}

GpsSettingsWriter&
GpsSettingsWriter::AddTrial(int number, std::vector<std::pair<std::string, std::string>> keys) {
    return AddDevice("SerialPort Try" + std::to_string(number), std::move(keys));
}

std::string GpsSettingsWriter::Build() const {
    return m_text;
}

} // namespace testdata
