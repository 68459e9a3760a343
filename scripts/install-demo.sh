#!/usr/bin/env bash
# Lays out the demo install, <build>/install/, as a device root: runs the data tool installdemo
# around a folder of the converted OpenStreetMap extract. The folder is current when it holds
# converted data (kwa/Net.rd) newer than the converter and the build's advisor data, and its
# source record (source.txt, written by osm2nav) names the extract as it is now: its size and,
# where its path or modification time differ, its checksum. One run at a time on a build folder. Without --data the script's own folder, <build>/extract, is converted
# afresh when it is not current; a failed conversion leaves it and the install as they were, and
# ends the script with osm2nav's message. A folder named by --data is the user's: it is used as
# it is when current, and otherwise the script stops with a message naming it and what is wrong,
# changing nothing. An earlier install at the output keeps its logbook, presettings, destination
# lists and tour points unless --fresh is given (installdemo).
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
out="${out:-$build/install}"
# field NAME FILE: the value of the first line "NAME=..." of FILE.
field() {
  sed -n "s/^$1=//p" -- "$2" | head -n 1
}
# stale FOLDER: what keeps FOLDER from being the current conversion of the extract, or nothing.
# The extract is the one recorded when its size and checksum are: a copy or a touched file (a
# fresh clone) with the same bytes is, and a line on stderr says what alone differs.
stale() {
  local record="$1/source.txt" path size modified checksum
  if [ ! -f "$1/kwa/Net.rd" ]; then
    echo "holds no converted data (no kwa/Net.rd)"
  elif [ "$build/tools/osm2nav" -nt "$1/kwa/Net.rd" ]; then
    echo "is older than the converter $build/tools/osm2nav"
  elif [ -n "$(find -H "$build/demo" -newer "$1/kwa/Net.rd" -print -quit 2>/dev/null)" ]; then
    echo "is older than the advisor data in $build/demo"
  elif [ ! -f "$extract" ]; then
    echo "cannot be checked against $extract (no such file)"
  elif [ ! -f "$record" ]; then
    echo "holds no record of the extract it was converted from (no source.txt)"
  else
    path="$(realpath -e -- "$extract")"
    size="$(stat -L -c %s -- "$extract")"
    modified="$(stat -L -c %Y -- "$extract")"
    if [ "$(field size "$record")" != "$size" ]; then
      echo "was converted from another extract than $extract as it is now: the size differs" \
        "(see its source.txt)"
    elif [ "$(field extract "$record")" != "$path" ] ||
      [ "$(field modified "$record")" != "$modified" ]; then
      checksum="$(field cksum "$record")"
      if [ -z "$checksum" ]; then
        echo "was converted from another extract than $extract as it is now: the path or time" \
          "differs, and its source.txt records no checksum to compare the content by"
      elif [ "$(cksum < "$extract" | cut -d ' ' -f 1)" != "$checksum" ]; then
        echo "was converted from another extract than $extract as it is now: the content" \
          "differs (see its source.txt)"
      else
        echo "install-demo.sh: $1 was converted from the same content as $extract; only the" \
          "extract's path or modification time differs" >&2
      fi
    fi
  fi
}
# One run at a time on a build folder: a second, of the main job say, does not wait but stops
# before it changes anything.
mkdir -p "$build"
exec 9>>"$build/install-demo.lock"
if ! flock -n 9; then
  echo "install-demo.sh: another install-demo.sh is running on $build (it holds" \
    "$build/install-demo.lock); let it end, then run again; nothing was changed" >&2
  exit 1
fi
if [ -n "$data" ]; then
  problem="$(stale "$data")"
  if [ -n "$problem" ]; then
    echo "install-demo.sh: $data $problem; nothing was changed (convert the extract into an" \
      "empty folder with $build/tools/osm2nav, or leave out --data)" >&2
    exit 1
  fi
else
  data="$build/extract"
  if [ -n "$(stale "$data")" ]; then
    rm -rf --one-file-system "$data.new"
    if ! "$build/tools/osm2nav" "$extract" "$data.new" --levels 3; then
      rm -rf --one-file-system "$data.new"
      echo "install-demo.sh: the conversion failed; $data and $out are left as they were" >&2
      exit 1
    fi
    rm -rf --one-file-system "$data"
    mv "$data.new" "$data"
  fi
fi
"$build/tools/installdemo" . "$build" --data "$data" --out "$out" "${fresh[@]}"
