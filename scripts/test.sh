#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
build_dir=${TOLVA_BUILD_DIR:-build}
cd "$build_dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
