#pragma once
// What a scenario's "check" step looks for on the screen: a text the program shows without its
// string (a caption, a dialog's text item, a page title or a message box text left blank, as a
// string missing from the language library shows) or with its placeholder left unfilled, and,
// on a map page that follows the car, the car's marker in the map's view with roads around it.
// User-interface thread.

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <string>
#include <vector>

// Empty when every shown text is whole; otherwise the first blank or unfilled text, named by
// its window.
[[nodiscard]] std::string FindUnfilledText();

// The map window of the active page when that page follows the car and shows its map (the
// guidance page, not its junction pictures; the moving map page); null otherwise.
[[nodiscard]] HWND FollowingMapOfActivePage();

// How long a key or tap on a map holds its following, in milliseconds of the clock.
[[nodiscard]] std::uint64_t FollowSuspensionMs();

// Beyond this many metres a pixel the extract spans a few pixels only, under the marker: no
// roads are looked for around it.
inline constexpr double kRoadlessScale = 1000.0;

// The followed car on the map window (FollowingMapOfActivePage) in the screen's pixels (width a
// row, 0x00RRGGBB): empty when its marker shows in the map where the view drew it last, with
// pixels of the map's roads (the pens of its style sheets, day and night) or of the route around
// it; otherwise what is wrong. Empty too while the view has no position of the car, or no
// position has brought the car back since the user last moved the map.
[[nodiscard]] std::string CheckFollowedCar(HWND map, const std::vector<std::uint32_t>& screen,
                                           int width);
