#include "testdata/drivegenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace testdata {
namespace {

constexpr double kEarthRadius = 6367444.0; // metres, as the position pipeline measures
constexpr double kDegree = std::numbers::pi / 180.0;

// Local plane offsets in metres (east, north) of b from a.
std::pair<double, double> Offset(const DrivePoint& a, const DrivePoint& b) {
    const double east = (b.longitude - a.longitude) * kDegree * kEarthRadius *
                        std::cos((a.latitude + b.latitude) * 0.5 * kDegree);
    const double north = (b.latitude - a.latitude) * kDegree * kEarthRadius;
    return {east, north};
}

DrivePoint Moved(const DrivePoint& point, double east, double north) {
    DrivePoint moved = point;
    moved.latitude += north / kEarthRadius / kDegree;
    moved.longitude += east / (kEarthRadius * std::cos(point.latitude * kDegree)) / kDegree;
    return moved;
}

double SpeedAt(const DriveSettings& settings, double second) {
    const auto& profile = settings.speedProfile;
    if (profile.empty()) {
        return 50.0;
    }
    if (second <= profile.front().first) {
        return profile.front().second;
    }
    for (std::size_t i = 1; i < profile.size(); ++i) {
        if (second <= profile[i].first) {
            const auto& [t0, v0] = profile[i - 1];
            const auto& [t1, v1] = profile[i];
            return t1 > t0 ? v0 + (v1 - v0) * (second - t0) / (t1 - t0) : v1;
        }
    }
    return profile.back().second;
}

bool IsWithin(const std::vector<std::pair<int, int>>& ranges, int sample) {
    for (const auto& [first, count] : ranges) {
        if (sample >= first && sample < first + count) {
            return true;
        }
    }
    return false;
}

} // namespace

DriveGenerator& DriveGenerator::AddPiece(int elementId, std::vector<DrivePoint> points) {
    m_pieces.push_back({elementId, std::move(points)});
    return *this;
}

std::vector<DriveSample> DriveGenerator::Generate(const DriveSettings& settings) const {
    struct Segment {
        DrivePoint from;
        DrivePoint to;
        double length;
        double course;
        int elementId;
    };
    std::vector<Segment> segments;
    for (const Piece& piece : m_pieces) {
        for (std::size_t i = 1; i < piece.points.size(); ++i) {
            const auto [east, north] = Offset(piece.points[i - 1], piece.points[i]);
            double course = std::atan2(east, north) / kDegree;
            if (course < 0) {
                course += 360.0;
            }
            segments.push_back({piece.points[i - 1], piece.points[i], std::hypot(east, north),
                                course, piece.elementId});
        }
    }
    std::vector<DriveSample> samples;
    if (segments.empty()) {
        return samples;
    }
    std::mt19937 random(settings.seed);
    std::normal_distribution<double> noise(0.0, settings.noiseMetres);
    // One step of a second: x' = a x + sqrt(1 - a^2) w keeps the standard deviation of w.
    const double keep = settings.noiseCorrelationSeconds > 0
                            ? std::exp(-1.0 / settings.noiseCorrelationSeconds)
                            : 0.0;
    const double innovation = std::sqrt(1.0 - keep * keep);
    double driftEast = 0.0;
    double driftNorth = 0.0;
    std::size_t segment = 0;
    double along = 0.0; // metres into the segment
    for (int index = 0; index < settings.maxSamples; ++index) {
        const Segment& at = segments[segment];
        const double fraction = at.length > 0 ? along / at.length : 0.0;
        DriveSample sample;
        sample.secondOfDay = (settings.startSecondOfDay + index) % 86400;
        sample.truePosition = {at.from.latitude + (at.to.latitude - at.from.latitude) * fraction,
                               at.from.longitude +
                                   (at.to.longitude - at.from.longitude) * fraction};
        sample.elementId = at.elementId;
        sample.course = at.course;
        const bool isStopped = IsWithin(settings.stops, index);
        sample.speedKmh = isStopped ? 0.0 : SpeedAt(settings, index);
        double east = settings.noiseMetres > 0 ? noise(random) : 0.0;
        double north = settings.noiseMetres > 0 ? noise(random) : 0.0;
        if (settings.noiseMetres > 0 && settings.noiseCorrelationSeconds > 0) {
            // The first draw is the stationary start; later ones drive the process.
            if (index > 0) {
                east = keep * driftEast + innovation * east;
                north = keep * driftNorth + innovation * north;
            }
            driftEast = east;
            driftNorth = north;
        }
        for (const auto& [jumpSample, metres] : settings.jumps) {
            if (jumpSample == index) {
                east += metres;
            }
        }
        sample.reported = Moved(sample.truePosition, east, north);
        sample.hasFix = !IsWithin(settings.outages, index);
        if (!sample.hasFix) {
            sample.satellites = 2;
        }
        if (IsWithin(settings.timelessOutages, index)) {
            sample.hasFix = false;
            sample.hasTime = false;
            sample.satellites = 0;
        }
        if (IsWithin(settings.deadReckoning, index)) {
            sample.isEstimated = true;
            sample.satellites = 0;
        }
        if (IsWithin(settings.coasting, index)) {
            sample.satellites = 0;
        }
        sample.restartsBefore = std::find(settings.restarts.begin(), settings.restarts.end(),
                                          index) != settings.restarts.end();
        samples.push_back(sample);

        along += sample.speedKmh / 3.6;
        while (segment < segments.size() && along > segments[segment].length) {
            along -= segments[segment].length;
            ++segment;
        }
        if (segment == segments.size()) {
            break;
        }
    }
    return samples;
}

NmeaFixValues DriveGenerator::ToNmeaValues(const DriveSample& sample) {
    NmeaFixValues values;
    values.hour = sample.secondOfDay / 3600;
    values.minute = sample.secondOfDay / 60 % 60;
    values.second = sample.secondOfDay % 60;
    values.latitude = sample.reported.latitude;
    values.longitude = sample.reported.longitude;
    values.hasTime = sample.hasTime;
    values.quality = !sample.hasFix ? 0 : sample.isEstimated ? 6 : 1;
    values.satellites = sample.satellites;
    values.hdop = sample.hdop;
    values.course = sample.course;
    values.speedKmh = sample.speedKmh;
    return values;
}

std::string DriveGenerator::ToNmea(const std::vector<DriveSample>& samples, bool withRmc) {
    NmeaWriter writer;
    writer.SetRmc(withRmc);
    return ToNmea(samples, std::move(writer));
}

std::string DriveGenerator::ToNmea(const std::vector<DriveSample>& samples, NmeaWriter writer) {
    for (const DriveSample& sample : samples) {
        if (sample.restartsBefore) {
            writer.AddRestart();
        }
        writer.AddCycle(ToNmeaValues(sample));
    }
    return writer.Build();
}

} // namespace testdata
