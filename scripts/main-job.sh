#!/usr/bin/env bash
# The main job: the application on the converted OpenStreetMap extract. Lays out the demo install
# in <build>/install (scripts/install-demo.sh: converts the extract when needed; an earlier
# install there keeps its logbook, presettings, destination lists and tour points) and plays the
# German scenario (resources/scenarios/german.txt) on an install of its own, laid afresh in
# <build>/scenario-install for each run, so that neither sees the other's changes: a destination
# typed in Vaduz, a logged drive, a road closure received on the way and driven around, the
# arrival, the quit. Headless by default; with --visible in the SDL2 window at 20 times real time
# (under xvfb-run -a when there is no display). Leaves the frames, the texts said and the sounds
# in <build>/scenario/.
#   bash scripts/main-job.sh [BUILD] [--visible]
# A BUILD given is read from the folder the script was started in; without one, the checkout's
# build/release.
set -euo pipefail
build=
visible=0
for argument in "$@"; do
  case "$argument" in
    --visible) visible=1 ;;
    --*) echo "main-job.sh: unknown argument $argument" >&2; exit 2 ;;
    /*) build="$argument" ;;
    *) build="$PWD/$argument" ;;
  esac
done
cd "$(dirname "$0")/.."
build="${build:-build/release}"
bash scripts/install-demo.sh "$build"
played="$build/scenario-install"
bash scripts/install-demo.sh "$build" --out "$played" --fresh
out="$build/scenario"
rm -rf --one-file-system "$out"
command=("$played/navigator" "$played" --script resources/scenarios/german.txt --out "$out")
if [ "$visible" = 1 ]; then
  # The scenario's Help step starts the help viewer; in the window the host program would be
  # started (and a host without a browser answered with a message the script does not expect):
  # the played install's viewer is the host's `true`.
  sed -i 's/^Viewer=.*$/Viewer=true\r/' "$played/Windows/launch.ini"
  command+=(--screen=visible:2 --speed 20)
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    command=(xvfb-run -a "${command[@]}")
  fi
fi
"${command[@]}"
echo "main-job.sh: the German scenario ran; frames, said.txt, sounds.wav and messageboxes.txt are in $out"
