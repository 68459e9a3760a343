#!/usr/bin/env bash
# The device recipe of README.md (the block after "On the converted extract") followed line by
# line from the source tree, with this build folder for build/release and a folder of its own for
# /tmp/device; then, in place of its last line's start in the window, the English scenario
# (resources/scenarios/english.txt) played headless on the device: from the recipe's standing fix
# it routes a destination in Vaduz and says the first advice.
#   bash devicerecipe_test.sh SOURCE-TREE BUILD-FOLDER WORK-FOLDER
set -euo pipefail
source_tree="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
work="$3"
rm -rf "$work" && mkdir -p "$work"
work="$(cd "$work" && pwd)"
fail() {
  echo "FAILED: $1"
  exit 1
}
awk '/^On the converted extract/ { found = 1; next }
     found && /^    / { code = 1; print substr($0, 5); next }
     code && /[^ ]/ { exit }' "$source_tree/README.md" >"$work/recipe.txt"
start='build/release/app/navigator /tmp/device'
grep -q "^$start" "$work/recipe.txt" || fail "README.md: no recipe ending in '$start'"
grep -v "^$start" "$work/recipe.txt" |
  sed -e "s|build/release/|$build/|g" -e "s|/tmp/device|$work/device|g" >"$work/lay.sh"
(cd "$source_tree" && bash -e "$work/lay.sh") >"$work/lay.log" 2>&1 ||
  fail "the recipe's lines: $(tail -n 5 "$work/lay.log")"
env -u NAV_SCREEN "$build/app/navigator" "$work/device" \
  --script "$source_tree/resources/scenarios/english.txt" --out "$work/out" >"$work/run.log" 2>&1 ||
  fail "the English scenario on the recipe's device: $(tail -n 5 "$work/run.log")"
grep -q '^route' "$work/out/routes.txt" || fail "the recipe's device routed nothing"
rm -rf "$work"
echo "device recipe: laid as README.md says, the English scenario routed on it"
