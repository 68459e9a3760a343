#pragma once
// NMEA 0183 sentences (GGA, VTG, RMC and the rest of a receiver's output) from values, each "$" +
// text + "*" + two upper-case hexadecimal checksum digits + CR LF; a fault knob makes the cycles
// added after it faulty in one way. A mix knob chooses which sentences a cycle holds, as
// receivers of different kinds send them.

#include <string>
#include <string_view>
#include <vector>

namespace testdata {

struct NmeaFixValues {
    int hour = 12;
    int minute = 0;
    int second = 0;
    bool hasTime = true;     // false: time and date fields empty (a receiver without time)
    double latitude = 47.1;  // degrees, negative south
    double longitude = 9.52; // degrees, negative west
    int quality = 1;         // GGA: 0 no fix (a void cycle), 1 fix, 6 dead reckoning
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
    CutShort,            // the first sentence ends after half its text, without checksum or end
    OverlongLine,        // a sentence of 240 characters before the cycle
    GnTalker,            // "GN" instead of "GP"
    MissingVtg,          // the cycle has no VTG
};

// The sentences of one cycle. Quality 0 makes a void cycle: RMC status V with empty position,
// speed and course, GGA quality 0 without position, GSA without satellites.
enum class NmeaMix {
    // GGA, VTG and RMC (status always A); without RMC as SetRmc(false) says.
    GgaVtgRmc,
    // A cycle a second: GSA and RMC (with its mode field: A, E when dead reckoning, N when
    // void); GGA before them and three GSV between them when the second of the day divides by
    // four; a "$PSRF151" status sentence after them every thirtieth second.
    GsaRmc,
    // RMC, RMB, GGA, GSA, one to three GSV (by the satellites), GLL, BOD, RTE, "$PGRME",
    // "$PGRMZ" and "$HCHDG" (talker HC); speed and course with one decimal.
    RmcRmbGga,
};

class NmeaWriter {
public:
    // Applies to the cycles added afterwards.
    NmeaWriter& SetFault(NmeaFault fault) {
        m_fault = fault;
        return *this;
    }
    // Without RMC a GgaVtgRmc cycle is GGA then VTG, as the demo writer writes it.
    NmeaWriter& SetRmc(bool isWritten) {
        m_hasRmc = isWritten;
        return *this;
    }
    NmeaWriter& SetMix(NmeaMix mix) {
        m_mix = mix;
        return *this;
    }
    // Written after the seconds of every time field: ".00" (the default), ".041"
    // (milliseconds), "" (whole seconds).
    NmeaWriter& SetTimeFraction(std::string fraction) {
        m_timeFraction = std::move(fraction);
        return *this;
    }

    // Adds the sentences of one fix (one receiver cycle) in the mix.
    NmeaWriter& AddCycle(const NmeaFixValues& values);
    // Adds one sentence of the text between "$" and "*".
    NmeaWriter& AddSentence(std::string_view text);
    // A receiver restarting: half a sentence without end, a NUL byte, a text banner of two
    // lines without "$" or "*", then "$PSRF150,1" (ready).
    NmeaWriter& AddRestart();
    // The receiver's own ephemeris sentences of one satellite (1 to 32), as receivers that hand
    // out their orbit data send them: three "$PSRF140,<satellite>,<part 1-3>,<data>", the data
    // 80 upper-case hexadecimal digits that differ by satellite and part.
    NmeaWriter& AddEphemeris(int satellite);
    [[nodiscard]] std::string Build() const;

    // "$" + text + "*" + checksum + CR LF, changed by the fault.
    [[nodiscard]] static std::string Sentence(std::string_view text,
                                              NmeaFault fault = NmeaFault::None);
    [[nodiscard]] static std::string Gga(const NmeaFixValues& values);
    [[nodiscard]] static std::string Vtg(const NmeaFixValues& values);
    [[nodiscard]] static std::string Rmc(const NmeaFixValues& values);

private:
    // The texts between "$" and "*" of one cycle in the mix.
    [[nodiscard]] std::vector<std::string> CycleTexts(const NmeaFixValues& values) const;

    std::vector<std::string> m_sentences;
    NmeaFault m_fault = NmeaFault::None;
    NmeaMix m_mix = NmeaMix::GgaVtgRmc;
    std::string m_timeFraction = ".00";
    bool m_hasRmc = true;
};

} // namespace testdata
