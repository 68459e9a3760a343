#!/usr/bin/env bash
# The benchmarks, each measured against its baseline in the same run. Every benchmark runs; the
# script fails naming those that exited with an error, reported one (a case skipped with an
# error still leaves the program's exit status 0, so its JSON report is read as well) or whose
# identity check found a difference (a case's label saying "DIFFER", as "frames DIFFER" or
# "DIFFERENT, first: ...": the measured code gave other results than its check).
set -euo pipefail
build="${1:-build/release}"
report="$(mktemp)"
trap 'rm -f "$report"' EXIT
failed=()
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  name="$(basename "$b")"
  echo "== $name =="
  : >"$report"
  if ! "$b" --benchmark_min_time=0.2 --benchmark_out="$report" --benchmark_out_format=json; then
    failed+=("$name (exit status)")
  elif grep -q '"error_occurred": true' "$report"; then
    failed+=("$name (error reported)")
  elif grep -q '"label": "[^"]*DIFFER' "$report"; then
    failed+=("$name (a difference reported)")
  fi
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "bench.sh: failed: ${failed[*]}" >&2
  exit 1
fi
