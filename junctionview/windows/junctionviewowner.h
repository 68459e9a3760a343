#pragma once
// The callback interface the junction-view windows report to: the map view's listener, which
// the navigation map page implements once and hands to the map view and both windows. The
// windows call OnTap (a tap on them; its result is ignored) and OnBarButton (their corner
// button) only.

#include "mapdisplay/mapview.h"

using JunctionViewOwner = IMapViewListener;
