#!/usr/bin/env bash
# Runs every test: the formatting check; the suite in a normal build (g++), with the build-step
# configure test; the suite again under AddressSanitizer + UndefinedBehaviorSanitizer (clang);
# each fuzz target over its committed corpus and then fuzzing for NAV_FUZZ_SECONDS (default 10 on
# 8 cores, less on fewer; run a reader's target longer by hand after changing the reader), as many
# at once as there are cores; and the threaded tests (label "threaded") under ThreadSanitizer (clang), which builds
# only those.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
# Tests at once in the normal and the sanitizer build: twice the cores. About half of a test's time
# is waiting (for the programs it starts, their stepped clocks, real-time bounds), and every test is
# made to pass with four copies at once on two cores. The fuzz targets and the ThreadSanitizer
# tests, which keep their cores busy, run as many at once as there are cores.
test_jobs=$((2 * jobs))
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# Line tables only (-g1): enough for sanitizer reports and backtraces, at a quarter less compile
# time than full debug information.
release_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
# The sanitizer builds optimise lightly (-O1, as the sanitizers' own documentation advises): their
# tests run four times faster than at -O0, which saves more than the optimiser costs, and the
# AddressSanitizer build keeps its assertions (no NDEBUG).
debug_flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
tsan_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

# Each phase's wall time, printed as it ends and once more in a table at the end (also when a
# phase fails, up to the one that failed).
phase_names=()
phase_seconds=()
phase_start=$SECONDS
phase() {
  local now=$SECONDS
  if [ -n "${phase_current:-}" ]; then
    phase_names+=("$phase_current")
    phase_seconds+=($((now - phase_start)))
    printf '== %s: %d min %02d s ==\n' "$phase_current" $(((now - phase_start) / 60)) $(((now - phase_start) % 60))
  fi
  phase_current=${1:-}
  phase_start=$now
  [ -n "$phase_current" ] && echo "== $phase_current ==" || true
}
phase_report() {
  local status=$?
  phase
  echo "== time by phase =="
  local i
  for i in "${!phase_names[@]}"; do
    printf '%6d s  %s\n' "${phase_seconds[$i]}" "${phase_names[$i]}"
  done
  printf '%6d s  in all\n' "$SECONDS"
  return $status
}
trap phase_report EXIT

phase "formatting"
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run -Werror

phase "normal build (g++)"
cmake -S . -B build/release -G Ninja "${release_flags[@]}" >/dev/null
cmake --build build/release -j "$jobs"
phase "normal build: tests"
ctest --test-dir build/release -j "$test_jobs" --output-on-failure --no-tests=error

phase "sanitizer build (clang, ASan + UBSan, fuzz targets)"
# Each target fuzzes for 10 s on 8 cores and proportionally less on fewer (at least 1 s), so that
# the fuzzing stage takes the same wall time on any machine; every target replays its whole
# corpus first whatever the time.
export NAV_FUZZ_SECONDS="${NAV_FUZZ_SECONDS:-$(( jobs >= 8 ? 10 : (10 * jobs + 7) / 8 ))}"
# The demo voices a test drives with are the normal build's.
# The clang builds precompile no headers here: a precompiled header records the folder it was made
# in, so the sources compiled with it would find nothing in the compiler cache in another clone.
cmake -S . -B build/sanitize -G Ninja "${debug_flags[@]}" -DNAV_PCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DNAV_SANITIZE=ON -DNAV_FUZZ=ON "-DNAV_DEMO_DATA_DIR=$PWD/build/release/demo" >/dev/null
cmake --build build/sanitize -j "$jobs"
phase "sanitizer build: tests"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize -j "$test_jobs" --output-on-failure --no-tests=error -LE fuzz

phase "fuzzing: committed corpora, then ${NAV_FUZZ_SECONDS} s per target"
ctest --test-dir build/sanitize -j "$jobs" --output-on-failure --no-tests=error -L fuzz

phase "ThreadSanitizer build (clang, threaded tests only)"
cmake -S . -B build/tsan -G Ninja "${tsan_flags[@]}" -DNAV_PCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DNAV_TSAN=ON \
  "-DNAV_DEMO_DATA_DIR=$PWD/build/release/demo" >/dev/null
cmake --build build/tsan -j "$jobs" --target threaded_tests
phase "ThreadSanitizer build: tests"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --no-tests=error -L threaded
