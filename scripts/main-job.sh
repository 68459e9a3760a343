#!/usr/bin/env bash
# The main job until the application exists: the benchmarks, each against its baseline.
set -euo pipefail
build="${1:-build/release}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b") =="
  "$b" --benchmark_min_time=0.2
done
