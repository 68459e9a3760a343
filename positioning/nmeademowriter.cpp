#include "positioning/nmeademowriter.h"

#include "positioning/geodistance.h"

#include "platform/files/stdio.h"
#include "platform/kernel/codepage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double kKnotsPerKmh = 0.5403652869339673;
constexpr double kKmhPerMetrePerSecond = 3.6;

// Degrees as ddmm.mmmm: whole degrees times 100 plus minutes.
double DegreesMinutes(float degrees) {
    const double m = std::fabs(static_cast<double>(degrees)) * 100.0;
    const double whole = std::floor(m * 0.01) * 100.0;
    return whole + (m - whole) * 60.0 * 0.01;
}

// The sentence with "*", the XOR of the characters between '$' and '*' in hex, and a line feed.
void FinishSentence(std::string& line) {
    unsigned checksum = 0;
    for (std::size_t i = 1; i < line.size(); ++i) {
        checksum ^= static_cast<unsigned char>(line[i]);
    }
    char text[8];
    std::snprintf(text, sizeof text, "*%X\n", checksum);
    line += text;
}

template <class... Values> void Append(std::string& line, const char* format, Values... values) {
    char text[64];
    const int count = std::snprintf(text, sizeof text, format, values...);
    if (count > 0) {
        line.append(text, std::min(static_cast<std::size_t>(count), sizeof text - 1));
    }
}

} // namespace

NmeaDemoWriter::NmeaDemoWriter(std::string fileName, const RouteRequestResult& route)
    : m_route(route)
    , m_fileName(std::move(fileName)) {}

NmeaDemoWriter::~NmeaDemoWriter() {
    if (m_stream != nullptr) {
        (void)fclose(m_stream);
    }
}

bool NmeaDemoWriter::BuildPoints() {
    const RouteIteratorPtr records = GetRouteIterator(m_route);
    if (!records) {
        return false;
    }
    std::vector<GeoPoint> points;
    std::vector<std::int32_t> values;
    std::vector<std::int32_t> divisors;
    std::vector<GeoPoint> polyline;
    for (; records->IsValid(); records->Next()) {
        const RouteRecord& record = records->Current();
        // The iterator gives the geometry; a record may also carry its own.
        if (!records->GetItemPolyline(record, polyline)) {
            polyline = record.polyline;
        }
        const std::int32_t s = record.length;
        for (std::size_t i = 1; i < polyline.size(); ++i) {
            points.push_back(polyline[i]);
            if (s >= 10) {
                values.push_back(s);
                divisors.push_back(s / 10);
            } else {
                values.push_back(i == 1 ? s : 10);
                divisors.push_back(1);
            }
        }
    }
    double carry = 0.0;
    double course = 0.0;
    const auto add = [this](GeoPoint point, std::int32_t a, std::int32_t b, double c) {
        m_longitudes.push_back(point.x);
        m_latitudes.push_back(point.y);
        m_values.push_back(a);
        m_divisors.push_back(b);
        m_courses.push_back(c);
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool hasNext = i + 1 < points.size();
        if (hasNext) {
            course = GeoBearing(points[i], points[i + 1]);
        }
        if (!hasNext || values[i] <= m_threshold || divisors[i] < 2) {
            add(points[i], values[i], divisors[i], course);
            continue;
        }
        const std::int32_t speed = values[i] / divisors[i];
        const float dx = points[i + 1].x - points[i].x;
        const float dy = points[i + 1].y - points[i].y;
        const double d = SphericalDistance(0.0, 0.0, std::fabs(dx), std::fabs(dy));
        const double t = (carry + d) / speed;
        const auto steps = static_cast<std::int64_t>(t);
        carry = speed * (t - static_cast<double>(steps));
        for (std::int64_t k = 0; k <= steps; ++k) {
            const float share =
                steps == 0 ? 0.0f : static_cast<float>(static_cast<double>(k) / steps);
            add({points[i].x + dx * share, points[i].y + dy * share}, values[i], divisors[i],
                course);
        }
    }
    return true;
}

void NmeaDemoWriter::AdvanceTime() {
    std::int32_t hours = m_time / 10000;
    std::int32_t minutes = m_time / 100 % 100;
    std::int32_t seconds = m_time % 100 + 1;
    if (seconds == 60) {
        seconds = 0;
        ++minutes;
    }
    if (minutes == 60) {
        minutes = 0;
        ++hours;
    }
    if (hours == 24) {
        hours = 0;
    }
    m_time = hours * 10000 + minutes * 100 + seconds;
}

void NmeaDemoWriter::BuildGga(std::size_t i) {
    AdvanceTime();
    m_gga = "$GPGGA,";
    Append(m_gga, "%.6d,", m_time);
    Append(m_gga, "%04f", DegreesMinutes(m_latitudes[i]));
    m_gga += m_latitudes[i] >= 0.0f ? ",N," : ",S,";
    Append(m_gga, "%010.4f", DegreesMinutes(m_longitudes[i]));
    m_gga +=
        m_longitudes[i] >= 0.0f ? ",E,1,08,1.1,203.9,M,48.0,M,," : ",W,1,08,1.1,203.9,M,48.0,M,,";
    FinishSentence(m_gga);
}

void NmeaDemoWriter::BuildVtg(std::size_t i) {
    const std::int32_t divisor = m_divisors[i] == 0 ? 1 : m_divisors[i];
    const auto kmh = static_cast<float>((m_values[i] / divisor) * kKmhPerMetrePerSecond);
    const double knots = static_cast<double>(kmh) * kKnotsPerKmh;
    m_vtg = "$GPVTG,";
    Append(m_vtg, "%05.1lf", m_courses[i]);
    m_vtg += ",T,";
    Append(m_vtg, "%05.1lf", m_courses[i]);
    m_vtg += ",M,";
    Append(m_vtg, "%06.1f", knots);
    m_vtg += ",N,";
    Append(m_vtg, "%06.1f", static_cast<double>(kmh));
    m_vtg += ",K";
    FinishSentence(m_vtg);
}

int NmeaDemoWriter::Write() {
    if (!BuildPoints()) {
        return 1;
    }
    const std::size_t count = m_longitudes.size();
    if (m_fileName.empty() || count == 0 || m_latitudes.size() != count || m_values.empty() ||
        m_divisors.size() != m_values.size() || m_courses.size() != count) {
        return 1;
    }
    // A text stream: each line feed goes out as CR LF, the parser's end of sentence.
    m_stream = _wfopen(platform::AnsiToWide(m_fileName).c_str(), u"w+");
    if (m_stream == nullptr) {
        return 1;
    }
    m_time = 0;
    for (std::size_t i = 0; i < count; ++i) {
        BuildGga(i);
        BuildVtg(i);
        for (const std::string* line : {&m_gga, &m_vtg}) {
            if (fwrite(line->data(), 1, line->size(), m_stream) != line->size()) {
                return 1;
            }
        }
    }
    const int closed = fclose(m_stream);
    m_stream = nullptr;
    return closed == 0 ? 0 : 1;
}
