#!/usr/bin/env bash
# The benchmarks, each measured against its baseline in the same run.
set -euo pipefail
build="${1:-build/release}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b") =="
  "$b" --benchmark_min_time=0.2
done
