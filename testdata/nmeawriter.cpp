#include "testdata/nmeawriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace testdata {
namespace {

constexpr double kKmhPerKnot = 1.852;

// "ddmm.mmmm,N" or "dddmm.mmmm,E" from degrees.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    const int whole = static_cast<int>(magnitude);
    char text[32] = {};
    (void)std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degreeDigits, whole,
                        (magnitude - whole) * 60.0, degrees < 0 ? negative : positive);
    return text;
}

// "lat,N,lon,E", or ",,," without a position.
std::string Position(const NmeaFixValues& values, bool hasPosition) {
    if (!hasPosition) {
        return ",,,";
    }
    return Angle(values.latitude, 2, 'N', 'S') + "," + Angle(values.longitude, 3, 'E', 'W');
}

std::string Time(const NmeaFixValues& values, const std::string& fraction) {
    if (!values.hasTime) {
        return "";
    }
    char text[16] = {};
    (void)std::snprintf(text, sizeof text, "%02d%02d%02d", values.hour, values.minute,
                        values.second);
    return text + fraction;
}

std::string Date(const NmeaFixValues& values) {
    if (!values.hasTime) {
        return "";
    }
    char text[16] = {};
    (void)std::snprintf(text, sizeof text, "%02d%02d%02d", values.day, values.month,
                        values.year % 100);
    return text;
}

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[64] = {};
    (void)std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// "%0*d" of a whole number.
std::string Digits(int value, int width = 2) {
    char text[16] = {};
    (void)std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

int SecondOfDay(const NmeaFixValues& values) {
    return values.hour * 3600 + values.minute * 60 + values.second;
}

// GSA: the satellites used (up to twelve, "%02d" numbers), PDOP, HDOP, VDOP; fix type 1 and
// nothing else without a fix or while dead reckoning.
std::string Gsa(const NmeaFixValues& values) {
    const bool isMeasured = values.quality != 0 && values.quality != 6;
    std::string text = std::string("GPGSA,A,") + (isMeasured ? "3" : "1");
    const int used = isMeasured ? std::clamp(values.satellites, 0, 12) : 0;
    for (int slot = 0; slot < 12; ++slot) {
        text += "," + (slot < used ? Digits(2 * slot + 1) : "");
    }
    return text + (isMeasured ? Format(",%.1f,%.1f,%.1f", values.hdop * 1.6, values.hdop,
                                       values.hdop * 1.3)
                              : ",,,");
}

// count GSV sentences of the satellites in view, four to a sentence.
std::vector<std::string> Gsv(const NmeaFixValues& values, int count) {
    const int inView = std::max(values.satellites, 4);
    std::vector<std::string> texts;
    for (int number = 1; number <= count; ++number) {
        std::string text =
            "GPGSV," + std::to_string(count) + "," + std::to_string(number) + "," + Digits(inView);
        for (int slot = 0; slot < 4; ++slot) {
            const int satellite = (number - 1) * 4 + slot;
            text += "," + Digits(2 * satellite + 1) + "," + Digits(10 + satellite * 7 % 80) + "," +
                    Digits(satellite * 47 % 360, 3) + ",";
            text += satellite < values.satellites ? Digits(30 + satellite) : "";
        }
        texts.push_back(text);
    }
    return texts;
}

// GGA of the mixes: no position without a fix, two-digit satellites, empty hdop with none.
std::string MixGga(const NmeaFixValues& values, const std::string& fraction) {
    const bool hasPosition = values.quality != 0;
    std::string text = "GPGGA," + Time(values, fraction) + "," + Position(values, hasPosition) +
                       "," + std::to_string(values.quality) + "," + Digits(values.satellites) + ",";
    text += values.quality == 1 ? Format("%.1f", values.hdop) : "";
    text += hasPosition ? Format(",%.1f,M,48.0,M,,", values.altitude) : ",,M,,M,,";
    return text;
}

// RMC of the mixes: status V and empty fields in a void cycle; the mode field last.
// Speed and course with two decimals, or padded to one ("012.3").
std::string MixRmc(const NmeaFixValues& values, const std::string& fraction, bool isPadded) {
    const bool isVoid = values.quality == 0;
    std::string text = "GPRMC," + Time(values, fraction) + (isVoid ? ",V," : ",A,") +
                       Position(values, !isVoid) + ",";
    if (!isVoid) {
        const double knots = values.speedKmh / kKmhPerKnot;
        text += isPadded ? Format("%05.1f,%05.1f", knots, values.course)
                         : Format("%.2f,%.2f", knots, values.course);
    } else {
        text += ",";
    }
    const char* mode = isVoid ? "N" : values.quality == 6 ? "E" : "A";
    return text + "," + Date(values) + ",,," + mode;
}

// The sentences of the GgaVtgRmc mix: GGA with the quality as given, RMC always status A.
std::string GgaText(const NmeaFixValues& values, const std::string& fraction) {
    char tail[64] = {};
    (void)std::snprintf(tail, sizeof tail, ",%d,%02d,%.1f,%.1f,M,48.0,M,,", values.quality,
                        values.satellites, values.hdop, values.altitude);
    return "GPGGA," + Time(values, fraction) + "," + Position(values, true) + tail;
}

std::string VtgText(const NmeaFixValues& values) {
    char text[96] = {};
    (void)std::snprintf(text, sizeof text, "GPVTG,%05.1f,T,,M,%05.1f,N,%05.1f,K", values.course,
                        values.speedKmh / kKmhPerKnot, values.speedKmh);
    return text;
}

std::string RmcText(const NmeaFixValues& values, const std::string& fraction) {
    char tail[64] = {};
    (void)std::snprintf(tail, sizeof tail, ",%.1f,%.1f,", values.speedKmh / kKmhPerKnot,
                        values.course);
    return "GPRMC," + Time(values, fraction) + ",A," + Position(values, true) + tail +
           Date(values) + ",,";
}

} // namespace

std::string NmeaWriter::Sentence(std::string_view text, NmeaFault fault) {
    unsigned checksum = 0;
    for (const char c : text) {
        checksum ^= static_cast<unsigned char>(c);
    }
    const char* format = "%02X";
    if (fault == NmeaFault::LowerCaseChecksum) {
        format = "%02x";
    } else if (fault == NmeaFault::OneDigitChecksum) {
        format = "%X";
    } else if (fault == NmeaFault::WrongChecksum) {
        checksum ^= 0x5A;
    }
    char digits[4] = {};
    (void)std::snprintf(digits, sizeof digits, format, checksum);
    const char* end = fault == NmeaFault::LineFeedOnly ? "\n" : "\r\n";
    if (fault == NmeaFault::NoChecksumDelimiter) {
        return "$" + std::string(text) + end;
    }
    return "$" + std::string(text) + "*" + digits + end;
}

std::string NmeaWriter::Gga(const NmeaFixValues& values) {
    return Sentence(GgaText(values, ".00"));
}

std::string NmeaWriter::Vtg(const NmeaFixValues& values) {
    return Sentence(VtgText(values));
}

std::string NmeaWriter::Rmc(const NmeaFixValues& values) {
    return Sentence(RmcText(values, ".00"));
}

std::vector<std::string> NmeaWriter::CycleTexts(const NmeaFixValues& values) const {
    const std::string& fraction = m_timeFraction;
    std::vector<std::string> texts;
    switch (m_mix) {
    case NmeaMix::GgaVtgRmc:
        texts = {GgaText(values, fraction), VtgText(values)};
        if (m_hasRmc) {
            texts.push_back(RmcText(values, fraction));
        }
        break;
    case NmeaMix::GsaRmc: {
        const bool isFourth = SecondOfDay(values) % 4 == 0;
        if (isFourth) {
            texts.push_back(MixGga(values, fraction));
        }
        texts.push_back(Gsa(values));
        if (isFourth) {
            for (std::string& gsv : Gsv(values, 3)) {
                texts.push_back(std::move(gsv));
            }
        }
        texts.push_back(MixRmc(values, fraction, false));
        if (SecondOfDay(values) % 30 == 0) {
            texts.emplace_back("PSRF151,3,1463,345600.0,0x000F");
        }
        break;
    }
    case NmeaMix::RmcRmbGga: {
        const bool isVoid = values.quality == 0;
        texts.push_back(MixRmc(values, fraction, true));
        texts.emplace_back("GPRMB,A,,,,,,,,,,,,V,N");
        texts.push_back(MixGga(values, fraction));
        texts.push_back(Gsa(values));
        for (std::string& gsv : Gsv(values, std::clamp((values.satellites + 3) / 4, 1, 3))) {
            texts.push_back(std::move(gsv));
        }
        texts.push_back("GPGLL," + Position(values, !isVoid) + "," + Time(values, fraction) +
                        (isVoid ? ",V,N" : ",A,A"));
        texts.emplace_back("GPBOD,,T,,M,,");
        texts.emplace_back("GPRTE,1,1,c,0");
        texts.emplace_back("PGRME,15.0,M,45.0,M,25.0,M");
        texts.push_back(Format("PGRMZ,%.0f,f,3", values.altitude / 0.3048));
        texts.push_back(Format("HCHDG,%.1f,,,1.2,E", values.course));
        break;
    }
    }
    return texts;
}

NmeaWriter& NmeaWriter::AddCycle(const NmeaFixValues& values) {
    std::vector<std::string> cycle = CycleTexts(values);
    if (m_fault == NmeaFault::MissingVtg) {
        std::erase_if(cycle, [](const std::string& text) { return text.starts_with("GPVTG"); });
    }
    if (m_fault == NmeaFault::OverlongLine) {
        m_sentences.push_back(Sentence("GPTXT," + std::string(230, 'X')));
    }
    for (std::string& text : cycle) {
        if (m_fault == NmeaFault::GnTalker && text.starts_with("GP")) {
            text[1] = 'N';
        }
        if (m_fault == NmeaFault::GarbageBetween) {
            m_sentences.emplace_back("GARBAGE,*00\r\n");
        }
        if (m_fault == NmeaFault::CutShort && &text == &cycle.front()) {
            m_sentences.push_back("$" + text.substr(0, text.size() / 2));
            continue;
        }
        m_sentences.push_back(Sentence(text, m_fault));
    }
    return *this;
}

NmeaWriter& NmeaWriter::AddSentence(std::string_view text) {
    m_sentences.push_back(Sentence(text));
    return *this;
}

NmeaWriter& NmeaWriter::AddRestart() {
    m_sentences.push_back(std::string("$GPGSV,3,1,1") + '\0' +
                          "GPS receiver restarted\r\nFirmware 2.3.1 build 0417\r\n");
    m_sentences.push_back(Sentence("PSRF150,1"));
    return *this;
}

NmeaWriter& NmeaWriter::AddEphemeris(int satellite) {
    constexpr int kEphemerisParts = 3;
    constexpr int kEphemerisDigits = 80;
    // Digits of a linear congruential sequence seeded by the satellite and the part.
    for (int part = 1; part <= kEphemerisParts; ++part) {
        std::uint32_t state = static_cast<std::uint32_t>(satellite) * 7919U +
                              static_cast<std::uint32_t>(part) * 104729U;
        std::string data;
        for (int digit = 0; digit < kEphemerisDigits; ++digit) {
            state = state * 1664525U + 1013904223U;
            data += "0123456789ABCDEF"[state >> 28];
        }
        m_sentences.push_back(
            Sentence("PSRF140," + Digits(satellite) + "," + std::to_string(part) + "," + data));
    }
    return *this;
}

std::string NmeaWriter::Build() const {
    std::string out;
    for (const std::string& sentence : m_sentences) {
        out += sentence;
    }
    return out;
}

} // namespace testdata
