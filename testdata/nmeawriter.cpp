#include "testdata/nmeawriter.h"

#include <cmath>
#include <cstdio>

namespace testdata {
namespace {

// "ddmm.mmmm,N" or "dddmm.mmmm,E" from degrees.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    const int whole = static_cast<int>(magnitude);
    char text[32] = {};
    (void)std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degreeDigits, whole,
                        (magnitude - whole) * 60.0, degrees < 0 ? negative : positive);
    return text;
}

std::string Time(const NmeaFixValues& values) {
    char text[16] = {};
    (void)std::snprintf(text, sizeof text, "%02d%02d%02d.00", values.hour, values.minute,
                        values.second);
    return text;
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
    char tail[64] = {};
    (void)std::snprintf(tail, sizeof tail, ",%d,%02d,%.1f,%.1f,M,48.0,M,,", values.quality,
                        values.satellites, values.hdop, values.altitude);
    return Sentence("GPGGA," + Time(values) + "," + Angle(values.latitude, 2, 'N', 'S') + "," +
                    Angle(values.longitude, 3, 'E', 'W') + tail);
}

std::string NmeaWriter::Vtg(const NmeaFixValues& values) {
    char text[96] = {};
    (void)std::snprintf(text, sizeof text, "GPVTG,%05.1f,T,,M,%05.1f,N,%05.1f,K", values.course,
                        values.speedKmh / 1.852, values.speedKmh);
    return Sentence(text);
}

std::string NmeaWriter::Rmc(const NmeaFixValues& values) {
    char tail[64] = {};
    (void)std::snprintf(tail, sizeof tail, ",%.1f,%.1f,%02d%02d%02d,,", values.speedKmh / 1.852,
                        values.course, values.day, values.month, values.year % 100);
    return Sentence("GPRMC," + Time(values) + ",A," + Angle(values.latitude, 2, 'N', 'S') + "," +
                    Angle(values.longitude, 3, 'E', 'W') + tail);
}

NmeaWriter& NmeaWriter::AddCycle(const NmeaFixValues& values) {
    std::vector<std::string> cycle = {Gga(values), Vtg(values)};
    if (m_hasRmc) {
        cycle.push_back(Rmc(values));
    }
    if (m_fault == NmeaFault::MissingVtg) {
        cycle.erase(cycle.begin() + 1);
    }
    if (m_fault == NmeaFault::OverlongLine) {
        m_sentences.push_back(Sentence("GPTXT," + std::string(230, 'X')));
    }
    for (std::string& sentence : cycle) {
        // The text between "$" and "*", written again with the fault.
        std::string text = sentence.substr(1, sentence.find('*') - 1);
        if (m_fault == NmeaFault::GnTalker) {
            text[1] = 'N';
        }
        if (m_fault == NmeaFault::GarbageBetween) {
            m_sentences.emplace_back("GARBAGE,*00\r\n");
        }
        if (m_fault == NmeaFault::CutShort && &sentence == &cycle.front()) {
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

std::string NmeaWriter::Build() const {
    std::string out;
    for (const std::string& sentence : m_sentences) {
        out += sentence;
    }
    return out;
}

} // namespace testdata
