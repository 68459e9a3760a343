#include "positioning/geodeticdatum.h"

#include <array>

namespace {

// Both tables are constant-initialised: they exist before any dynamic initialiser runs and need
// no tear-down, so no start-up order between source files can see them half built.
constinit const std::array<Ellipsoid, kEllipsoidCount> kEllipsoids{{
    {"Airy 1830", 6377563.396, 299.3249646},             // 0
    {"Modified Airy", 6377340.189, 299.3249646},         // 1
    {"Australian National", 6378160.0, 298.25},          // 2
    {"Bessel 1841", 6377397.155, 299.1528128},           // 3
    {"Clarke 1866", 6378206.4, 294.9786982},             // 4
    {"Clarke 1880", 6378249.145, 293.465},               // 5
    {"Everest (India 1830)", 6377276.345, 300.8017},     // 6
    {"Everest (1948)", 6377304.063, 300.8017},           // 7
    {"Modified Fischer 1960", 6378155.0, 298.3},         // 8
    {"Everest (Pakistan)", 6377309.613, 300.8017},       // 9
    {"Indonesian 1974", 6378160.0, 298.247},             // 10
    {"GRS 80", 6378137.0, 298.257222101},                // 11
    {"Helmert 1906", 6378200.0, 298.3},                  // 12
    {"Hough 1960", 6378270.0, 297.0},                    // 13
    {"International 1924", 6378388.0, 297.0},            // 14
    {"Krassovsky 1940", 6378245.0, 298.3},               // 15
    {"South American 1969", 6378160.0, 298.25},          // 16
    {"Everest (Malaysia 1969)", 6377295.664, 300.8017},  // 17
    {"Everest (Sabah Sarawak)", 6377298.556, 300.8017},  // 18
    {"WGS 72", 6378135.0, 298.26},                       // 19
    {"WGS 84", 6378137.0, 298.257223563},                // 20
    {"Bessel 1841 (Namibia)", 6377483.865, 299.1528128}, // 21
    {"Everest (India 1956)", 6377301.243, 300.8017},     // 22
}};

// Row 102 has no published name; it carries no shift on Bessel 1841.
constinit const std::array<GeodeticDatum, kDatumCount> kDatums{{
    {"Adindan", -162, -12, 206, 5},                // 0
    {"Afgooye", -43, -163, 45, 15},                // 1
    {"Ain el Abd 1970", -150, -251, -2, 14},       // 2
    {"Anna 1 Astro 1965", -491, -22, 435, 2},      // 3
    {"Arc 1950", -143, -90, -294, 5},              // 4
    {"Arc 1960", -160, -8, -300, 5},               // 5
    {"Ascension Island `58", -207, 107, 52, 14},   // 6
    {"Astro B4 Sorol Atoll", 114, -116, -333, 14}, // 7
    {"Astro Beacon \"E\"", 145, 75, -272, 14},     // 8
    {"Astro DOS 71/4", -320, 550, -494, 14},       // 9
    {"Astronomic Stn `52", 124, -234, -25, 14},    // 10
    {"Australian Geod `66", -133, -48, 148, 2},    // 11
    {"Australian Geod `84", -134, -48, 149, 2},    // 12
    {"Bellevue (IGN)", -127, -769, 472, 14},       // 13
    {"Bermuda 1957", -73, 213, 296, 4},            // 14
    {"Bogota Observatory", 307, 304, -318, 14},    // 15
    {"Campo Inchauspe", -148, 136, 90, 14},        // 16
    {"Canton Astro 1966", 298, -304, -375, 14},    // 17
    {"Cape", -136, -108, -292, 5},                 // 18
    {"Cape Canaveral", -2, 150, 181, 4},           // 19
    {"Carthage", -263, 6, 431, 5},                 // 20
    {"CH-1903", 674, 15, 405, 3},                  // 21
    {"Chatham 1971", 175, -38, 113, 14},           // 22
    {"Chua Astro", -134, 229, -29, 14},            // 23
    {"Corrego Alegre", -206, 172, -6, 14},         // 24
    {"Djakarta (Batavia)", -377, 681, -50, 3},     // 25
    {"DOS 1968", 230, -199, -752, 14},             // 26
    {"Easter Island 1967", 211, 147, 111, 14},     // 27
    {"European 1950", -87, -98, -121, 14},         // 28
    {"European 1979", -86, -98, -119, 14},         // 29
    {"Finland Hayford", -78, -231, -97, 14},       // 30
    {"Gandajika Base", -133, -321, 50, 14},        // 31
    {"Geodetic Datum `49", 84, -22, 209, 14},      // 32
    {"Guam 1963", -100, -248, 259, 4},             // 33
    {"GUX 1 Astro", 252, -209, -751, 14},          // 34
    {"Hjorsey 1955", -73, 46, -86, 14},            // 35
    {"Hong Kong 1963", -156, -271, -189, 14},      // 36
    {"Indian Bangladesh", 289, 734, 257, 6},       // 37
    {"Indian Thailand", 214, 836, 303, 6},         // 38
    {"Ireland 1965", 506, -122, 611, 1},           // 39
    {"ISTS 073 Astro `69", 208, -435, -229, 14},   // 40
    {"Johnston Island", 191, -77, -204, 14},       // 41
    {"Kandawala", -97, 787, 86, 6},                // 42
    {"Kerguelen Island", 145, -187, 103, 14},      // 43
    {"Kertau 1948", -11, 851, 5, 7},               // 44
    {"L.C. 5 Astro", 42, 124, 147, 4},             // 45
    {"Liberia 1964", -90, 40, 88, 5},              // 46
    {"Luzon Mindanao", -133, -79, -72, 4},         // 47
    {"Luzon Philippines", -133, -77, -51, 4},      // 48
    {"Mahe 1971", 41, -220, -134, 5},              // 49
    {"Marco Astro", -289, -124, 60, 14},           // 50
    {"Massawa", 639, 405, 60, 3},                  // 51
    {"Merchich", 31, 146, 47, 5},                  // 52
    {"Midway Astro 1961", 912, -58, 1227, 14},     // 53
    {"Minna", -92, -93, 122, 5},                   // 54
    {"NAD27 Alaska", -5, 135, 172, 4},             // 55
    {"NAD27 Bahamas", -4, 154, 178, 4},            // 56
    {"NAD27 Canada", -10, 158, 187, 4},            // 57
    {"NAD27 Canal Zone", 0, 125, 201, 4},          // 58
    {"NAD27 Caribbean", -7, 152, 178, 4},          // 59
    {"NAD27 Central", 0, 125, 194, 4},             // 60
    {"NAD27 CONUS", -8, 160, 176, 4},              // 61
    {"NAD27 Cuba", -9, 152, 178, 4},               // 62
    {"NAD27 Greenland", 11, 114, 195, 4},          // 63
    {"NAD27 Mexico", -12, 130, 190, 4},            // 64
    {"NAD27 San Salvador", 1, 140, 165, 4},        // 65
    {"NAD83", 0, 0, 0, 11},                        // 66
    {"Nahrwn Masirah Ilnd", -247, -148, 369, 5},   // 67
    {"Nahrwn Saudi Arbia", -231, -196, 482, 5},    // 68
    {"Nahrwn United Arab", -249, -156, 381, 5},    // 69
    {"Naparima BWI", -2, 374, 172, 14},            // 70
    {"Observatorio 1966", -425, -169, 81, 14},     // 71
    {"Old Egyptian", -130, 110, -13, 12},          // 72
    {"Old Hawaiian", 61, -285, -181, 4},           // 73
    {"Oman", -346, -1, 224, 5},                    // 74
    {"Ord Srvy Grt Britn", 375, -111, 431, 0},     // 75
    {"Pico De Las Nieves", -307, -92, 127, 14},    // 76
    {"Pitcairn Astro 1967", 185, 165, 42, 14},     // 77
    {"Prov So Amrican `56", -288, 175, -376, 14},  // 78
    {"Prov So Chilean `63", 16, 196, 93, 14},      // 79
    {"Puerto Rico", 11, 72, -101, 4},              // 80
    {"Qatar National", -128, -283, 22, 14},        // 81
    {"Qornoq", 164, 138, -189, 14},                // 82
    {"Reunion", 94, -948, -1262, 14},              // 83
    {"Rome 1940", -225, -65, 9, 14},               // 84
    {"RT 90", 498, -36, 568, 3},                   // 85
    {"Santo (DOS)", 170, 42, 84, 14},              // 86
    {"Sao Braz", -203, 141, 53, 14},               // 87
    {"Sapper Hill 1943", -355, 16, 74, 14},        // 88
    {"Schwarzeck", 616, 97, -251, 21},             // 89
    {"South American `69", -57, 1, -41, 16},       // 90
    {"South Asia", 7, -10, -26, 8},                // 91
    {"Southeast Base", -499, -249, 314, 14},       // 92
    {"Southwest Base", -104, 167, -38, 14},        // 93
    {"Timbalai 1948", -689, 691, -46, 6},          // 94
    {"Tokyo", -128, 481, 664, 3},                  // 95
    {"Tristan Astro 1968", -632, 438, -609, 14},   // 96
    {"Viti Levu 1916", 51, 391, -36, 5},           // 97
    {"Wake-Eniwetok `60", 101, 52, -39, 13},       // 98
    {"WGS 72", 0, 0, 5, 19},                       // 99
    {"WGS 84", 0, 0, 0, 20},                       // 100
    {"Zanderij", -265, 120, -358, 14},             // 101
    {"Bessel 1841 (no shift)", 0, 0, 0, 3},        // 102
    {"Potsdam_Rauenberg_DHDN", 606, 23, 413, 3},   // 103
}};

} // namespace

std::span<const Ellipsoid, kEllipsoidCount> Ellipsoids() {
    return kEllipsoids;
}

std::span<const GeodeticDatum, kDatumCount> GeodeticDatums() {
    return kDatums;
}
