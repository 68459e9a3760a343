#!/usr/bin/env bash
# Runs every test: the formatting check, the suite in a normal build (g++), the
# suite again under AddressSanitizer + UndefinedBehaviorSanitizer (clang), and each fuzz target
# for a few seconds (NAV_FUZZ_SECONDS, default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"

echo "== formatting =="
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run -Werror

echo "== normal build (g++) =="
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure --no-tests=error

echo "== sanitizer build (clang, ASan + UBSan, fuzz targets) =="
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DNAV_SANITIZE=ON -DNAV_FUZZ=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize -j "$jobs" --output-on-failure --no-tests=error -LE fuzz
ctest --test-dir build/sanitize -j "$jobs" --output-on-failure -L fuzz
