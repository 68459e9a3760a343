#!/usr/bin/env bash
# scripts/main-job.sh run twice on a build folder of its own (the real build's programs and data,
# its own converted extract): the user's install, holding a logbook, presettings and a "Recent"
# list, is the same file for file after each run, and the scenario passes both times. The install
# and the first run name the build folder relative to the folder they are started in, the second
# run by its absolute path.
#   bash mainjob_test.sh SOURCE-TREE BUILD-FOLDER WORK-FOLDER
set -euo pipefail
source_tree="$1"
real_build="$(cd "$2" && pwd)"
work="$3"
rm -rf "$work" && mkdir -p "$work/build"
for part in tools app demo languages; do
  ln -s "$real_build/$part" "$work/build/$part"
done
build="$work/build"
if ! (cd "$work" && bash "$source_tree/scripts/install-demo.sh" build) >"$work/install.log" 2>&1; then
  echo "FAILED: the install: $(tail -n 5 "$work/install.log")"
  exit 1
fi
# The user's use of the install: a trip logged, formats chosen, a destination taken.
printf '\r\nEintrag\tZweck\r\nStart\tKundenbesuch\t\t\t01.01.2000\t00:00:04\r\n' \
  >"$build/install/Fahrtenbuch.txt"
printf '[Preferences]\r\nDistanceUnitKilometres=0\r\nTimeFormat12h=1\r\n[Recent]\r\n0=2|9.52160|47.13898|Vaduz|\xc4ulestrasse| | | | |\r\n' \
  >>"$build/install/PK.ini"
files() { (cd "$build/install" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
files >"$work/before.txt"
for run in 1 2; do
  named="$build"
  [ "$run" = 2 ] || named=build
  if ! (cd "$work" && bash "$source_tree/scripts/main-job.sh" "$named") >"$work/run$run.log" 2>&1; then
    echo "FAILED: run $run of the main job: $(tail -n 5 "$work/run$run.log")"
    exit 1
  fi
  files >"$work/after$run.txt"
  if ! diff "$work/before.txt" "$work/after$run.txt"; then
    echo "FAILED: run $run of the main job changed the install"
    exit 1
  fi
done
grep -q "the German scenario ran" "$work/run2.log"
rm -rf "$work"
echo "main job: the install unchanged, the scenario passed twice"
