#pragma once
// The demo install: lays out a device root around a data folder that osm2nav wrote, with the
// program's files at the root, the database in "\Data\Liechtenstein" with TMC tables along a
// stretch of the demo route, an RDS group file closing that stretch, and the receiver
// stand-in's scenario with a standing fix at the route's start. The new root is built beside the
// old one ("<output>.new") and put in its place only when it is complete and written through to
// the storage; the user's files of the old one go into the new one unless it is to start afresh.
// Its files are the installer's by a list it writes ("InstalledFiles.txt"): an install replaces
// only those, and only while the user has not changed them.

#include "basiccomp/retrievalengine/code/mapelement.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace demoinstall {

// Device paths of the install.
inline constexpr char16_t kDataFolder[] = u"\\Data\\Liechtenstein";
inline constexpr char16_t kClosureFile[] = u"\\TmcClosure.txt";
inline constexpr char16_t kStandingFixFile[] = u"\\StandingFix.txt";

struct InstallOptions {
    std::filesystem::path data;         // the folder osm2nav wrote
    std::filesystem::path programFiles; // bundles, "Poi<Lang>.bin", skin folder "Bitmaps"
    std::filesystem::path demoData;     // "ConfigFiles" (advisor, "HiWayImages") and "sound"
    std::filesystem::path navigator;    // the program
    std::filesystem::path source;       // the source tree: page layout, contacts, "deziv.ini"
    std::filesystem::path output;       // the device root made
    // Without it the user's files of an earlier install at output are kept in the new one: the
    // documents folder, every link, every file the earlier install did not lay out, the logbook,
    // the presettings and the "Recent" and "Personal" lists of "PK.ini", the tour points of
    // "Routenpunkte.ini", when the new map covers the same area, the database's "MapSpecific"
    // list in "data.ini", and every settings file of the install's own that the user changed,
    // with the new install's beside it as "<name>.new" (tools/install/userfiles.h). Lines of the
    // logbook and the lists that hold NUL bytes (a file damaged by a power loss) are left out,
    // and the log names them, as it names each file of the install's own that the user changed.
    bool fresh = false;
    // Whether the new install and its folder are written through to the storage before it takes
    // the earlier one's place, so that a power loss leaves one of them whole; tests whose
    // installs are thrown away may leave the writing to the system.
    bool isWrittenThrough = true;
    // Told each step of marking the installer's own folders and of putting the new install in
    // place (tests stop an install there, as a kill would; tools/install/installswap.h names the
    // steps).
    std::function<void(std::string_view step)> reached;
};

// The demo route as the install found it.
struct DemoRoute {
    GeoPoint start{};                     // the standing fix
    std::uint32_t startElement = 0;       // on Feldkircher Strasse in Schaan
    std::uint32_t destinationElement = 0; // of the house number on Äulestrasse in Vaduz
    unsigned houseNumber = 0;          // the lowest the address index holds there; 0: it holds none
    std::vector<std::uint32_t> closed; // the stretch the TMC line runs along, in order
    std::int32_t closedFromMetres = 0; // where the stretch begins along the route
    std::vector<std::uint32_t> pointCodes; // the line's points, in the route's direction
    std::uint16_t programmeId = 0;         // the station's, its country code the tables'
};

// Lays out options.output, filling `route`; prints a line on the TMC line to `log`, and one on
// each of the user's files kept only in part, kept beside the new install's or replaced, and,
// laid afresh, one on what of the user's was not kept. One install at a time on an output: it
// holds "<output>.lock" from its first check to its end, and a second is refused. Only an earlier
// install or an empty folder at options.output (made absolute and lexically normal, trailing
// separators left out) is replaced, and only folders the installer made itself (or empty ones) at
// "<output>.new" and "<output>.old"; an earlier install that an install cut short left at
// "<output>.old" with none at the output is taken back first. Nothing is removed or written
// through a link, and no file of an earlier install is read but a regular one, opened without
// waiting. None is replaced while a program running on it holds its single-instance lock, nor one
// a file system is mounted on or in, and no folder on another file system is entered. Empty on
// success; else why, with the old output untouched and no staging folder left, or, once the new
// install is in place, the folders of the installer's own it could not remove (moved out of the
// way of later installs, which try again), with each entry left in them, the system's reason and
// what the user can do.
[[nodiscard]] std::string Install(const InstallOptions& options, DemoRoute& route,
                                  std::ostream& log);

} // namespace demoinstall
