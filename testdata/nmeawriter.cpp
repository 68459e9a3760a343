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

std::string NmeaWriter::Sentence(std::string_view text) {
    unsigned checksum = 0;
    for (const char c : text) {
        checksum ^= static_cast<unsigned char>(c);
    }
    char digits[4] = {};
    (void)std::snprintf(digits, sizeof digits, "%02X", checksum);
    return "$" + std::string(text) + "*" + digits + "\r\n";
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
    m_sentences.push_back(Gga(values));
    m_sentences.push_back(Vtg(values));
    m_sentences.push_back(Rmc(values));
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
