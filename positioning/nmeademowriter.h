#pragma once
// Turns a calculated route into an NMEA text file that the GPS receiver replays as a simulated
// drive: one GGA and one VTG sentence per simulated second, at about 10 m/s along records long
// enough to interpolate. The stream is a text stream, so every line ends in CR LF as on a
// receiver. A writer serves one file: construct, Write once, destroy.

#include "routing/routeservice.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <string>
#include <vector>

struct NavFile;

class NmeaDemoWriter {
public:
    // The file name is 8-bit text (code page 1252).
    NmeaDemoWriter(std::string fileName, const RouteRequestResult& route);
    ~NmeaDemoWriter();
    NmeaDemoWriter(const NmeaDemoWriter&) = delete;
    NmeaDemoWriter& operator=(const NmeaDemoWriter&) = delete;

    // 0 when the file was written; 1 without a route, without points, when the file cannot be
    // created or a line cannot be written.
    [[nodiscard]] int Write();

private:
    // False without a route iterator.
    [[nodiscard]] bool BuildPoints();
    void BuildGga(std::size_t i);
    void BuildVtg(std::size_t i);
    void AdvanceTime();

    RouteRequestResult m_route;
    std::string m_fileName;
    std::int32_t m_threshold = 5;
    std::int32_t m_time = 0; // hhmmss
    NavFile* m_stream = nullptr;
    std::string m_gga;
    std::string m_vtg;
    std::vector<float> m_longitudes;
    std::vector<float> m_latitudes;
    std::vector<std::int32_t> m_values;   // A
    std::vector<std::int32_t> m_divisors; // B
    std::vector<double> m_courses;
};
