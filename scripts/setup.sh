#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages, configure, build) and runs the main job: the demo
# install laid out in build/release/install/ and the German scenario played on it headless, its
# frames and sounds left in build/release/scenario/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
bash scripts/main-job.sh build/release
