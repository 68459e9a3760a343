#pragma once
// Simulated drives for the position pipeline: one sample a second along a polyline whose pieces
// carry a road element id, with a speed profile, stops, seeded position noise, satellite outages
// and jumps. Each sample keeps its true position and piece; the drive is written as NMEA cycles
// here, or as GpsFix batches by testdata/gpsfixbatches.h.

#include "testdata/nmeawriter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

struct DrivePoint {
    double latitude = 0.0; // degrees
    double longitude = 0.0;
};

struct DriveSample {
    int secondOfDay = 0;     // UTC
    DrivePoint truePosition; // on the polyline
    DrivePoint reported;     // with noise and jumps
    int elementId = -1;      // the piece of the true position
    double course = 0.0;     // degrees clockwise from north, along the piece
    double speedKmh = 0.0;
    bool hasFix = true;          // false during an outage (quality 0)
    bool isEstimated = false;    // dead reckoning (quality 6)
    bool hasTime = true;         // false: the receiver writes no time and date
    bool restartsBefore = false; // the receiver restarts before this sample's cycle
    int satellites = 8;
    double hdop = 1.1;
};

struct DriveSettings {
    int startSecondOfDay = 12 * 3600;
    // (second, km/h) breakpoints, linear between them, the last held; empty: 50 km/h.
    std::vector<std::pair<double, double>> speedProfile;
    // (first sample, seconds) at standstill.
    std::vector<std::pair<int, int>> stops;
    // (first sample, seconds) without a fix (quality 0, 2 satellites).
    std::vector<std::pair<int, int>> outages;
    // (first sample, seconds) without a fix, time or date, and no satellites.
    std::vector<std::pair<int, int>> timelessOutages;
    // (first sample, seconds) of dead reckoning: quality 6, no satellites, the position still
    // reported.
    std::vector<std::pair<int, int>> deadReckoning;
    // (first sample, seconds) in which the receiver still reports a fix (quality 1) with no
    // satellites.
    std::vector<std::pair<int, int>> coasting;
    // Samples before whose cycle the receiver restarts (NmeaWriter::AddRestart).
    std::vector<int> restarts;
    // (sample, metres east) of one reported position off the road.
    std::vector<std::pair<int, double>> jumps;
    double noiseMetres = 0.0; // standard deviation, north and east each
    // 0: each sample's error drawn afresh (white). Above 0: a first-order Gauss-Markov process
    // per axis with this correlation time in seconds, stationary from the first sample, as a
    // receiver's error drifts.
    double noiseCorrelationSeconds = 0.0;
    std::uint32_t seed = 1;
    int maxSamples = 100000;
};

class DriveGenerator {
public:
    // Appends a piece; its first point should be the previous piece's last.
    DriveGenerator& AddPiece(int elementId, std::vector<DrivePoint> points);

    // Walks the polyline from its start until its end (or maxSamples).
    [[nodiscard]] std::vector<DriveSample> Generate(const DriveSettings& settings) const;

    // One cycle per sample: GGA then VTG (and RMC when asked); an outage writes quality 0.
    [[nodiscard]] static std::string ToNmea(const std::vector<DriveSample>& samples,
                                            bool withRmc = false);
    // One cycle per sample added to the writer as its knobs say, with its restarts; the
    // writer's text.
    [[nodiscard]] static std::string ToNmea(const std::vector<DriveSample>& samples,
                                            NmeaWriter writer);
    [[nodiscard]] static NmeaFixValues ToNmeaValues(const DriveSample& sample);

private:
    struct Piece {
        int elementId;
        std::vector<DrivePoint> points;
    };
    std::vector<Piece> m_pieces;
};

} // namespace testdata
