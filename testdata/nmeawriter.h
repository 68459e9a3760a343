#pragma once
// NMEA 0183 sentences (GGA, VTG, RMC) from values, each "$" + text + "*" + two upper-case
// hexadecimal checksum digits + CR LF; a fault knob makes the cycles added after it faulty in
// one way.

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

enum class NmeaFault {
    None,
    LowerCaseChecksum,   // "%02x"
    OneDigitChecksum,    // "%X" (one digit below 0x10)
    NoChecksumDelimiter, // neither "*" nor checksum
    WrongChecksum,       // the right one XOR 0x5A
    LineFeedOnly,        // "\n" instead of CR LF
    GarbageBetween,      // a line without "$" before every sentence
    CutShort,            // the GGA ends after half its text, without checksum or line end
    OverlongLine,        // a sentence of 240 characters before the cycle
    GnTalker,            // "GN" instead of "GP"
    MissingVtg,          // the cycle has no VTG
};

class NmeaWriter {
public:
    // Applies to the cycles added afterwards.
    NmeaWriter& SetFault(NmeaFault fault) {
        m_fault = fault;
        return *this;
    }
    // Without RMC a cycle is GGA then VTG, as the demo writer writes it.
    NmeaWriter& SetRmc(bool isWritten) {
        m_hasRmc = isWritten;
        return *this;
    }

    // Adds the GGA, VTG and RMC sentences of one fix (one receiver cycle).
    NmeaWriter& AddCycle(const NmeaFixValues& values);
    // Adds one sentence of the text between "$" and "*".
    NmeaWriter& AddSentence(std::string_view text);
    [[nodiscard]] std::string Build() const;

    // "$" + text + "*" + checksum + CR LF, changed by the fault.
    [[nodiscard]] static std::string Sentence(std::string_view text,
                                              NmeaFault fault = NmeaFault::None);
    [[nodiscard]] static std::string Gga(const NmeaFixValues& values);
    [[nodiscard]] static std::string Vtg(const NmeaFixValues& values);
    [[nodiscard]] static std::string Rmc(const NmeaFixValues& values);

private:
    std::vector<std::string> m_sentences;
    NmeaFault m_fault = NmeaFault::None;
    bool m_hasRmc = true;
};

} // namespace testdata
