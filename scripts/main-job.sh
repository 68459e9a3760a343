#!/usr/bin/env bash
# The main job until the application exists: the advisor's demo drive, then the GPS demo drive.
# Converts the shared OpenStreetMap extract once into the build folder, then drives from Ruggell
# to Balzers, printing every announcement and leaving the spoken drive in
# <build>/advisordrive-german.wav.
set -euo pipefail
build="${1:-build/release}"
extract=tools/data/osm/liechtenstein-2013-08-03.osm.pbf
data="$build/extract"
# A folder of another layout, a conversion cut short, or one older than the converter or the
# build's advisor data is converted again.
if [ ! -f "$data/kwa/Net.rd" ] || [ "$build/tools/osm2nav" -nt "$data/kwa/Net.rd" ] ||
  [ -n "$(find "$build/demo" -newer "$data/kwa/Net.rd" -print -quit 2>/dev/null)" ]; then
  rm -rf "$data"
  "$build/tools/osm2nav" "$extract" "$data" --levels 3
fi
"$build/tools/advisordrive" "$data" --wav "$build/advisordrive-german.wav"
# The GPS demo drive on the demo world: a route from the B12 onto the Hauptstrasse written as a
# GPS demonstration file and replayed through the GPS manager, each matched position printed.
"$build/tools/roadworld" tools/data/demo.world "$build/demoworld"
"$build/tools/gpsdemo" "$build/demoworld/Demo.rid" "$build/demoworld/Demo.rd" 1.69584,7.1159 \
  1.70791,7.1159 "$build/demoworld/GPSDemoFile.txt"
