#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages, configure, build), lays out the demo install in
# build/release/install/ and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
bash scripts/install-demo.sh build/release
bash scripts/main-job.sh build/release
