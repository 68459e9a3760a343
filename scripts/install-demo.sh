#!/usr/bin/env bash
# Lays out the demo install, <build>/install/, as a device root: converts the shared
# OpenStreetMap extract into <build>/extract when that folder is missing, cut short, or older
# than the converter, the build's advisor data or the extract, then runs the data tool
# installdemo around it. A failed conversion leaves the converted folder and the install as they
# were, and ends the script with osm2nav's message and exit code. An earlier install at the
# output keeps its logbook, presettings, destination lists and tour points unless --fresh is
# given (installdemo).
#   bash scripts/install-demo.sh [BUILD] [--extract FILE] [--data FOLDER] [--out FOLDER] [--fresh]
# The folders and the file given are read from the folder the script was started in; without a
# BUILD, the checkout's build/release.
set -euo pipefail
# from_start PATH: PATH as the folder the script was started in reads it.
from_start() {
  case "$1" in
    /*) printf '%s' "$1" ;;
    *) printf '%s' "$PWD/$1" ;;
  esac
}
build=
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  build="$(from_start "$1")"
  shift
fi
extract=
data=
out=
fresh=()
while [ $# -gt 0 ]; do
  case "$1" in
    --extract) extract="$(from_start "$2")"; shift 2 ;;
    --data) data="$(from_start "$2")"; shift 2 ;;
    --out) out="$(from_start "$2")"; shift 2 ;;
    --fresh) fresh=(--fresh); shift ;;
    *) echo "install-demo.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
build="${build:-build/release}"
extract="${extract:-tools/data/osm/liechtenstein-2013-08-03.osm.pbf}"
data="${data:-$build/extract}"
out="${out:-$build/install}"
if [ ! -f "$data/kwa/Net.rd" ] || [ ! -f "$extract" ] || [ "$extract" -nt "$data/kwa/Net.rd" ] ||
  [ "$build/tools/osm2nav" -nt "$data/kwa/Net.rd" ] ||
  [ -n "$(find "$build/demo" -newer "$data/kwa/Net.rd" -print -quit 2>/dev/null)" ]; then
  rm -rf "$data.new"
  if ! "$build/tools/osm2nav" "$extract" "$data.new" --levels 3; then
    rm -rf "$data.new"
    echo "install-demo.sh: the conversion failed; $out is left as it was" >&2
    exit 1
  fi
  rm -rf "$data"
  mv "$data.new" "$data"
fi
"$build/tools/installdemo" . "$build" --data "$data" --out "$out" "${fresh[@]}"
