#!/usr/bin/env bash
# The device recipe of README.md (the block after "On the converted extract") followed line by
# line from the source tree, with this build folder for build/release and a folder of its own for
# /tmp/device; then, in place of its last line's start in the window:
# - the English scenario (resources/scenarios/english.txt) played headless on the device: from the
#   recipe's standing fix it routes a destination in Vaduz and says the first advice, whose
#   samples are played;
# - Help tapped in the window (SDL2's driver that shows nothing): the viewer the recipe's
#   "Windows/launch.ini" names (a stand-in of that name, first in PATH) is given the URL of the
#   English help page;
# - the README's block for another language (after "The help page is the one") followed too, and
#   Help tapped again: the viewer is given the French page.
#   bash devicerecipe_test.sh SOURCE-TREE BUILD-FOLDER WORK-FOLDER
set -euo pipefail
source_tree="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
work="$3"
rm -rf "$work" && mkdir -p "$work"
work="$(cd "$work" && pwd)"
device="$work/device"
fail() {
  echo "FAILED: $1"
  exit 1
}
# The indented block after the paragraph that begins with $1.
readme_block() {
  awk -v start="$1" 'index($0, start) == 1 { found = 1; next }
       found && /^    / { code = 1; print substr($0, 5); next }
       code && /[^ ]/ { exit }' "$source_tree/README.md"
}
# Runs the lines of a README block from the source tree, on this build and this device.
follow() {
  sed -e "s|build/release/|$build/|g" -e "s|/tmp/device|$device|g" "$1" >"$1.sh"
  (cd "$source_tree" && bash -e "$1.sh") >"$1.log" 2>&1 || fail "$2: $(tail -n 5 "$1.log")"
}
readme_block "On the converted extract" >"$work/recipe.txt"
start='build/release/app/navigator /tmp/device'
grep -q "^$start" "$work/recipe.txt" || fail "README.md: no recipe ending in '$start'"
grep -v "^$start" "$work/recipe.txt" >"$work/lay"
follow "$work/lay" "the recipe's lines"

env -u NAV_SCREEN SDL_AUDIODRIVER=dummy "$build/app/navigator" "$device" \
  --script "$source_tree/resources/scenarios/english.txt" --out "$work/out" >"$work/run.log" 2>&1 ||
  fail "the English scenario on the recipe's device: $(tail -n 5 "$work/run.log")"
grep -q '^route' "$work/out/routes.txt" || fail "the recipe's device routed nothing"
grep -q '^\[FollowRoad\]' "$work/out/said.txt" || fail "the recipe's device said no advice"
# The samples played: a "data" chunk of at least half a second at its byte rate, not all zero.
sounds="$work/out/sounds.wav"
rate="$(od -An -tu4 -j28 -N4 "$sounds" | tr -d ' ')"
played="$(od -An -tu4 -j40 -N4 "$sounds" | tr -d ' ')"
[ "$(od -An -c -j36 -N4 "$sounds" | tr -d ' ')" = data ] && [ -n "$rate" ] &&
  [ "${played:-0}" -ge $((rate / 2)) ] && [ "$(tail -c +45 "$sounds" | tr -d '\000' | wc -c)" -gt 0 ] ||
  fail "the recipe's device played no sound (sounds.wav: $(wc -c <"$sounds") bytes): $(tail -n 3 "$work/run.log")"

# A stand-in for the viewer the recipe names: it keeps the URL it is given.
viewer="$(sed -n 's/^Viewer=\([^[:space:]]*\)[[:space:]]*$/\1/p' "$device/Windows/launch.ini" 2>/dev/null || true)"
[ -n "$viewer" ] && [ "${viewer#*/}" = "$viewer" ] ||
  fail "the recipe's Windows/launch.ini names no viewer program: '${viewer}'"
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf %%s "$1" > "%s/viewed.part" && mv "%s/viewed.part" "%s/viewed"\n' \
  "$work" "$work" "$work" >"$work/bin/$viewer"
chmod +x "$work/bin/$viewer"
printf 'wait page MsgBox\ntap 1\nwait page Screen\ntap 450\ntap 460\n' >"$work/help.txt"
# Taps Help in the window and checks that the viewer was given the URL of the help page in the
# language $1 (its "lang" attribute).
help_opens() {
  rm -f "$work/viewed"
  env -u NAV_SCREEN PATH="$work/bin:$PATH" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    "$build/app/navigator" "$device" --screen=visible:1 --speed 100 --script "$work/help.txt" \
    --out "$work/help" >"$work/help.log" 2>&1 ||
    fail "Help on the recipe's device: $(tail -n 5 "$work/help.log")"
  for _ in $(seq 50); do
    [ -f "$work/viewed" ] && break
    sleep 0.1
  done
  [ -f "$work/viewed" ] || fail "Help started no viewer: $(cat "$work/help/launches.txt")"
  url="$(cat "$work/viewed")"
  case "$url" in file://*) ;; *) fail "the viewer was given '$url', not a file URL" ;; esac
  page="$(printf '%b' "$(printf %s "${url#file://}" | sed 's/%/\\x/g')")"
  [ -f "$page" ] || fail "Help opened '$url', a page that is not there"
  [ "$page" -ef "$device/ZU_Deridivira.htm" ] ||
    fail "Help opened '$url', not the recipe's page $device/ZU_Deridivira.htm"
  grep -q "<html lang=\"$1\"" "$page" || fail "Help opened a page not in the language '$1': $url"
}
help_opens en

readme_block "The help page is the one" >"$work/language"
[ -s "$work/language" ] || fail "README.md: no lines for Help in another language"
follow "$work/language" "the lines for Help in another language"
help_opens fr
rm -rf "$work"
echo "device recipe: laid as README.md says, the English scenario routed on it, its advice heard, Help opened in English and French"
