#include "app/scenario/scenariodrive.h"

#include "positioning/geodistance.h"
#include "positioning/nmeademowriter.h"

#include "platform/files/stdio.h"
#include "platform/kernel/codepage.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSecondsPerDay = 24 * 60 * 60;
// The VTG fields of the speed in knots and in km/h.
constexpr std::size_t kVtgKnotsField = 5;
constexpr std::size_t kVtgKmhField = 7;
constexpr std::size_t kGgaTimeField = 1;
// As the demonstration writer writes a speed ("%06.1f").
constexpr char kStandingSpeed[] = "0000.0";

struct Cycle {
    std::vector<std::string> lines; // without their line ends
    std::optional<GeoPoint> position;
};

// The text between '$' and '*' (or the line's end) split at commas.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    const std::size_t end = line.find('*');
    const std::string body = line.substr(1, end == std::string::npos ? end : end - 1);
    std::size_t start = 0;
    for (std::size_t comma; (comma = body.find(',', start)) != std::string::npos;
         start = comma + 1) {
        fields.push_back(body.substr(start, comma - start));
    }
    fields.push_back(body.substr(start));
    return fields;
}

// '$', the fields joined by commas, '*' and the checksum (the XOR of the characters between).
std::string Sentence(const std::vector<std::string>& fields) {
    std::string body;
    for (std::size_t i = 0; i < fields.size(); ++i)
        body += (i == 0 ? "" : ",") + fields[i];
    unsigned checksum = 0;
    for (const char c : body)
        checksum ^= static_cast<unsigned char>(c);
    char tail[8];
    (void)std::snprintf(tail, sizeof tail, "*%02X", checksum);
    return '$' + body + tail;
}

bool IsSentence(const std::string& line, std::string_view kind) {
    return line.size() > 6 && line[0] == '$' && line.compare(3, 3, kind) == 0;
}

// ddmm.mmmm with its hemisphere letter as degrees; none when not a number.
std::optional<double> Degrees(const std::string& value, const std::string& hemisphere) {
    double number = 0.0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() ||
        !std::isfinite(number)) {
        return std::nullopt;
    }
    const double whole = std::floor(number / 100.0);
    const double degrees = whole + (number - whole * 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

std::optional<GeoPoint> GgaPosition(const std::string& line) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 6)
        return std::nullopt;
    const std::optional<double> latitude = Degrees(fields[2], fields[3]);
    const std::optional<double> longitude = Degrees(fields[4], fields[5]);
    if (!latitude || !longitude || std::fabs(*latitude) > 90.0 || std::fabs(*longitude) > 180.0)
        return std::nullopt;
    return GeoPoint{static_cast<float>(*longitude), static_cast<float>(*latitude)};
}

std::vector<Cycle> Cycles(std::string_view text) {
    std::vector<Cycle> cycles;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (IsSentence(line, "GGA") || cycles.empty())
            cycles.emplace_back();
        if (IsSentence(line, "GGA"))
            cycles.back().position = GgaPosition(line);
        cycles.back().lines.push_back(std::move(line));
    }
    return cycles;
}

// The cycle a drive from car begins with.
std::size_t FirstCycle(const std::vector<Cycle>& cycles, std::optional<GeoPoint> car) {
    if (!car)
        return 0;
    std::optional<GeoPoint> previous;
    double along = 0.0;
    double nearest = kDriveNearMetres;
    std::optional<std::size_t> at;
    for (std::size_t i = 0; i < cycles.size(); ++i) {
        const std::optional<GeoPoint>& position = cycles[i].position;
        if (!position)
            continue;
        if (previous)
            along += GeoDistance(*previous, *position);
        if (along > kDriveCatchUpMetres)
            break;
        previous = position;
        if (const double off = GeoDistance(*car, *position); off <= nearest) {
            nearest = off;
            at = i;
        }
    }
    if (!at)
        return 0;
    return *at + 1 < cycles.size() ? *at + 1 : *at;
}

// hhmmss (a fraction kept) moved on by seconds; the text as it was when it is no time.
std::string LaterTime(const std::string& time, int seconds) {
    int hhmmss = 0;
    const auto [end, error] =
        std::from_chars(time.data(), time.data() + std::min<std::size_t>(time.size(), 6), hhmmss);
    if (time.size() < 6 || error != std::errc() || end != time.data() + 6)
        return time;
    const int ofDay =
        (hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100 + seconds) % kSecondsPerDay;
    char text[16];
    (void)std::snprintf(text, sizeof text, "%02d%02d%02d", ofDay / 3600, ofDay / 60 % 60,
                        ofDay % 60);
    return text + time.substr(6);
}

} // namespace

std::string ShapeDriveText(std::string_view text, std::optional<GeoPoint> car, int parkedFixes) {
    const std::vector<Cycle> cycles = Cycles(text);
    std::size_t last = cycles.size();
    for (std::size_t i = cycles.size(); i-- > 0;) {
        if (cycles[i].position) {
            last = i;
            break;
        }
    }
    if (last == cycles.size())
        return {};
    std::string shaped;
    for (std::size_t i = FirstCycle(cycles, car); i < cycles.size(); ++i) {
        for (const std::string& line : cycles[i].lines)
            shaped += line + "\r\n";
    }
    for (int second = 1; second <= parkedFixes; ++second) {
        for (const std::string& line : cycles[last].lines) {
            std::vector<std::string> fields = Fields(line);
            if (IsSentence(line, "GGA") && fields.size() > kGgaTimeField) {
                fields[kGgaTimeField] = LaterTime(fields[kGgaTimeField], second);
            } else if (IsSentence(line, "VTG") && fields.size() > kVtgKmhField) {
                fields[kVtgKnotsField] = kStandingSpeed;
                fields[kVtgKmhField] = kStandingSpeed;
            } else {
                shaped += line + "\r\n";
                continue;
            }
            shaped += Sentence(fields) + "\r\n";
        }
    }
    return shaped;
}

std::string WriteDriveFile(const std::string& file, const RouteRequestResult& route,
                           std::optional<GeoPoint> car) {
    NmeaDemoWriter writer(file, route);
    if (writer.Write() != 0)
        return "the route cannot be written as " + file;
    const std::u16string name = platform::AnsiToWide(file);
    std::string text;
    if (NavFile* stream = _wfopen(name.c_str(), u"rb")) {
        char buffer[4096];
        for (std::size_t count; (count = fread(buffer, 1, sizeof buffer, stream)) > 0;)
            text.append(buffer, count);
        (void)fclose(stream);
    }
    const std::string shaped = ShapeDriveText(text, car, kDriveParkedFixes);
    if (shaped.empty())
        return file + " holds no position";
    NavFile* stream = _wfopen(name.c_str(), u"wb");
    if (stream == nullptr)
        return "cannot write " + file;
    const bool isWritten = fwrite(shaped.data(), 1, shaped.size(), stream) == shaped.size();
    if (fclose(stream) != 0 || !isWritten)
        return "cannot write " + file;
    return {};
}
